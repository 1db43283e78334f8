#!/bin/bash
# The worked examples of docs/protocol.md against the program: every
# ```stream block is replayed with `zezodavoru-cli replay --hex` and what the
# tool prints must equal the ```screen block after it -- the four rows in
# the document's cell notation, the repaint count and the cursor address --
# so that the reference cannot drift from the program.
source "$(dirname "$0")/common.bash"

doc="$(dirname "$0")/../../docs/protocol.md"
[[ -r $doc ]] || {
    fail "cannot read $doc"
    finish
}

# Splits the examples into $work/N.stream, $work/N.screen and $work/N.line
# (the line of the stream block) and prints how many it found; a malformed
# pairing is reported on a line starting with "error".
count=$(awk -v dir="$work" '
    function close_pending() {
        if (pending) { print "error: stream block at line " pending_line " has no screen block" }
    }
    in_block && /^```/ { close(dir "/" n "." in_block); in_block = 0; next }
    in_block { print > (dir "/" n "." in_block); next }
    /^```stream[ \t]*$/ {
        close_pending()
        n++; in_block = "stream"; pending = 1; pending_line = NR
        print NR > (dir "/" n ".line")
        close(dir "/" n ".line")
        printf "" > (dir "/" n ".stream")
        next
    }
    /^```screen[ \t]*$/ {
        if (!pending) { print "error: screen block at line " NR " follows no stream block" }
        in_block = "screen"; pending = 0
        printf "" > (dir "/" n ".screen")
        next
    }
    /^```/ { close_pending(); pending = 0 }
    END {
        close_pending()
        if (in_block) print "error: a block is not closed"
        print n + 0
    }' "$doc")
while IFS= read -r line; do
    [[ $line == error* ]] && fail "docs/protocol.md: ${line#error: }"
done <<<"$count"
count=$(tail -n 1 <<<"$count")
[[ $count -gt 0 ]] || fail "docs/protocol.md has no worked examples"

# screen_of: the tool's dump (standard input) in the document's notation:
# the repaint count, the address in capitals, and each row between bars with
# codes 0..7 as circled digits, 0x20..0x7E (but "{") as themselves and every
# other code as {HH}.
screen_of() {
    awk '
        BEGIN {
            split("⓪ ① ② ③ ④ ⑤ ⑥ ⑦", circled, " ")
            for (i = 0; i < 256; i++) {
                h = sprintf("%02x", i)
                if (i < 8) cell[h] = circled[i + 1]
                else if (i >= 32 && i < 127 && i != 123) cell[h] = sprintf("%c", i)
                else cell[h] = "{" toupper(h) "}"
            }
        }
        NR == 1 { print; next }
        NR == 2 { print $1 " " toupper($2); next }
        /^cells$/ { rows = 4; next }
        rows > 0 {
            line = "|"
            for (i = 1; i <= NF; i++) line = line cell[$i]
            print line "|"
            rows--
        }' | awk 'NR <= 2 { kept[NR] = $0; next } { print } END { print kept[1]; print kept[2] }'
}

for ((k = 1; k <= count; k++)); do
    at="example at line $(cat "$work/$k.line")"
    [[ -f $work/$k.screen ]] || continue # reported above
    status=0
    dump=$("$cli" replay --hex <"$work/$k.stream" 2>&1) || status=$?
    if [[ $status -ne 0 ]]; then
        fail "$at: replay exited with status $status: $dump"
        continue
    fi
    want=$(sed 's/[[:space:]]*$//' "$work/$k.screen")
    expect "$at" "$want" "$(screen_of <<<"$dump")"
done
echo "$count worked examples"

finish
