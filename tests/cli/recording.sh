#!/bin/bash
# Recordings and the decoder through the tool: decode against the worked
# examples of docs/protocol.md (the commands put back together are the
# stream, their repaints add up to the example's count), a recording made
# by `record` replayed whole, at a time and damaged, and the usage errors.
source "$(dirname "$0")/common.bash"

doc="$(dirname "$0")/../../docs/protocol.md"
awk -v dir="$work" '
    in_block && /^```/ { close(dir "/" n ".stream"); in_block = 0; next }
    in_block { print > (dir "/" n ".stream"); next }
    /^```stream[ \t]*$/ { n++; in_block = 1; printf "" > (dir "/" n ".stream"); next }
    /^repaints [0-9]+$/ { print $2 > (dir "/" n ".repaints"); close(dir "/" n ".repaints") }
' "$doc"
count=0
for stream in "$work"/*.stream; do
    k=$(basename "$stream" .stream)
    count=$((count + 1))
    json=$("$cli" decode --hex --json "$stream") || fail "example $k: decode failed"
    bytes=$(sed 's/#.*//' "$stream" | tr -d ' \n\tt' | tr 'A-F' 'a-f')
    joined=$(sed -E 's/.*"bytes":"([0-9a-f]*)".*/\1/' <<<"$json" | tr -d '\n')
    expect "example $k: the commands put back together" "$bytes" "$joined"
    # Every repaint a command asks for (clear row twice); ticks add the
    # flash text's return, so examples with ticks are left out.
    if ! sed 's/#.*//' "$stream" | grep -q t; then
        asked=$(grep -c '"repaint":true' <<<"$json" || true)
        twice=$(grep -c '"command":"0x8A"' <<<"$json" || true)
        expect "example $k: repaints" "$(cat "$work/$k.repaints")" "$((asked + twice))"
    fi
done
[[ $count -gt 20 ]] || fail "only $count worked examples found"

# The warnings of the examples that go out of range.
out=$(echo '97 15 01 97 01 09 99 01 41 42 43 44 45 46 47 48 49 4A 4B 4C 4D 4E 4F 50 51 52 53 54 55 56 57 58 00 8C 02 41 0A' |
    "$cli" decode --hex)
expect_line "column out of range" 1 "       0  97 15 01  cursor position column=21 row=1  [repaint]  ! column 21 is not 1..20: the cursor goes to row 3 column 1"
expect_line "row out of range" 2 "       3  97 01 09  cursor position column=1 row=9  [repaint]  ! row 9 is not 1..4: row 1 is used"
grep -q "24 characters: only the first 23 are kept" <<<"$(sed -n 3p <<<"$out")" || fail "long centred text: $(sed -n 3p <<<"$out")"
grep -q "character 0x0A at offset 36 is skipped: nothing is written but it counts.*cut off by the end of the stream: 3 of its 21 argument bytes came" <<<"$(sed -n 4p <<<"$out")" ||
    fail "skipped and cut off: $(sed -n 4p <<<"$out")"

# A recording of the demo device, replayed whole and at a time into it.
"$cli" record demo "$work/demo.jsonl" --for 2.5 || fail "record exited with $?"
head -n 1 "$work/demo.jsonl" | grep -q '"format":"zezodavoru-recording"' || fail "no header"
grep -q '"tick"' "$work/demo.jsonl" || fail "no ticks recorded"
whole=$("$cli" replay "$work/demo.jsonl") || fail "replay of the recording failed"
early=$("$cli" replay --at 0.0 "$work/demo.jsonl") || fail "replay --at 0.0 failed"
[[ $(head -n 1 <<<"$early") == "repaints 0" ]] || fail "--at 0.0 ran events: $(head -n 1 <<<"$early")"
[[ $whole != "$early" ]] || fail "the whole recording replays to the start-up screen"
grep -q '"rx"' "$work/demo.jsonl" || fail "no rx events"
# The rx bytes as a raw stream with the ticks, replayed the old way, give the same screen.
sed -n '2,$p' "$work/demo.jsonl" | sed -nE 's/^\[[0-9.e-]+,"rx","([0-9a-f]+)"\]$/\1/p; s/^\[[0-9.e-]+,"tick"\]$/t/p' >"$work/demo.hex"
expect "replay of the recording equals replay of its bytes and ticks" \
    "$(sed -n '2,$p' <<<"$whole")" "$("$cli" replay --hex "$work/demo.hex" | sed -n '2,$p')"

# Cut in the middle of a line: replayed up to the last whole event, with a warning.
size=$(stat -c %s "$work/demo.jsonl")
head -c $((size - 5)) "$work/demo.jsonl" >"$work/cut.jsonl"
out=$("$cli" replay "$work/cut.jsonl" 2>"$work/err")
status=$?
expect "a cut recording still replays" 0 "$status"
grep -qE "^zezodavoru-cli: replay: warning: .*cut.jsonl: line [0-9]+ is cut off: read up to the event before it, at [0-9.]+ s \([0-9]+ events\)$" "$work/err" ||
    fail "no warning for the cut recording: $(cat "$work/err")"
decoded=$("$cli" decode "$work/demo.jsonl" | head -n 3)
grep -qE '^ +0\.[0-9]{3} s +0  85  no operation$' <<<"$decoded" || fail "decode of a recording: $decoded"

# Usage errors: one line, status 2.
usage() {
    local name=$1 want=$2
    shift 2
    local err status=0
    err=$("$cli" "$@" 2>&1 >/dev/null) || status=$?
    expect "$name: status" 2 "$status"
    expect "$name: message" "$want" "$err"
}
usage "--at on a byte stream" "zezodavoru-cli: replay: --at needs a recording; standard input is a byte stream" replay --at 1 </dev/null
usage "record without a file" "zezodavoru-cli: record: FILE is required" record demo
usage "decode --follow with a file" "zezodavoru-cli: decode: option --follow excludes FILE" decode --follow demo x
usage "--for without --follow" "zezodavoru-cli: decode: option --for requires --follow" decode --for 1
usage "--at not a time" "zezodavoru-cli: replay: option --at: 'x' is not a number of seconds" replay --at x
record_status=0
"$cli" record demo "$work" --for 1 2>"$work/err" || record_status=$?
expect "record into a folder" 1 "$record_status"
grep -q "it is a directory" "$work/err" || fail "record into a folder: $(cat "$work/err")"

finish
