#!/bin/bash
# demo --stream: what the built-in demo device sends with no key pressed,
# replayed the way the program would show it -- the start-up screen, then
# the menu under the status line at two seconds, with the program's timer
# ticks placed where that time has passed -- the same bytes for the same
# seed, and raw and hex output carrying the same bytes.
source "$(dirname "$0")/common.bash"

# screen SECONDS [OPTIONS...]: the dump of the stream replayed, in $out.
screen() {
    local seconds=$1
    shift
    out=$("$cli" demo --stream "$seconds" --hex "$@" | "$cli" replay --hex) ||
        fail "demo --stream $seconds $* | replay: status $?"
}
# codes TEXT: the character codes of TEXT as the dump prints them.
codes() { printf '%s' "$1" | od -An -tx1 -v | tr -s ' \n' ' ' | sed 's/^ //; s/ $//'; }
# hex_bytes: hex text on standard input without comments and ticks, one
# byte a line.
hex_bytes() { sed 's/#.*//' | tr -d 't \n' | fold -w2; echo; }

# Dump lines 5..8 are the text rows 1..4.
blank=$(codes "$(printf '%20s' '')")
screen 1
expect_line "1 s: row 1 blank, no status line yet" 5 "$blank"
expect_line "1 s: start-up screen row 2" 6 "$(codes "  Qor demo device   ")"
expect_line "1 s: start-up screen row 3" 7 "$(codes "    firmware 1.0    ")"
expect_line "1 s: second line of the start-up screen" 8 "$(codes "    starting ...    ")"
screen 0.9
expect_line "0.9 s: no second line yet" 8 "$blank"

# At three seconds: the status line ("RX" .. "TX", the levels between) and
# the menu with its pointer on the first item.
screen 3
row1=$(sed -n 5p <<<"$out")
expect "3 s: RX and TX on row 1" "52 58 54 58" "$(awk '{ print $1, $2, $17, $18 }' <<<"$row1")"
expect_line "3 s: menu row 2 with the pointer" 6 "$(codes "> Name: QOR-7       ")"
expect_line "3 s: menu row 3" 7 "$(codes "  Calibrate         ")"

# The program's ticks: one per 100 ms, fractions of a tick left out...
"$cli" demo --stream 2.55 --hex >"$work/2.55.hex" || fail "demo --stream 2.55: status $?"
ticks=$(sed 's/#.*//' "$work/2.55.hex" | tr -cd 't' | wc -c)
[[ $ticks -eq 25 ]] || fail "2.55 s of stream holds $ticks ticks"
# ... and each one after what the device sent by then: the main screen
# (at two seconds) comes between the 19th and the 20th.
# upto N: the hex text of 3 s up to and including its Nth tick.
upto() {
    "$cli" demo --stream 3 --hex | sed 's/#.*//' | tr -s ' \n' '\n\n' |
        awk -v n="$1" '{ print } $0 == "t" && ++k == n { exit }'
}
out=$(upto 19 | "$cli" replay --hex)
expect_line "19 ticks: still the start-up screen" 6 "$(codes "  Qor demo device   ")"
out=$(upto 20 | "$cli" replay --hex)
expect_line "20 ticks: the menu" 6 "$(codes "> Name: QOR-7       ")"

# Raw output is the same bytes as the hex text, without the ticks.
"$cli" demo --stream 5 >"$work/5.raw" || fail "demo --stream 5 (raw): status $?"
"$cli" demo --stream 5 --hex | hex_bytes >"$work/5.bytes"
od -An -tx1 -v "$work/5.raw" | tr -s ' \n' '\n\n' | sed '/^$/d' >"$work/5.raw.bytes"
cmp -s "$work/5.raw.bytes" "$work/5.bytes" || fail "raw and hex streams differ"
[[ $(wc -c <"$work/5.raw") -gt 200 ]] || fail "5 s of stream is only $(wc -c <"$work/5.raw") bytes"

# The same seed gives the same bytes; another seed other readings (the
# status line's levels come from it).
"$cli" demo --stream 6 --seed 42 >"$work/a" && "$cli" demo --stream 6 --seed 42 >"$work/b" ||
    fail "demo --stream 6 --seed 42: status $?"
cmp -s "$work/a" "$work/b" || fail "seed 42 gave two different streams"
"$cli" demo --stream 6 --seed 43 >"$work/c" || fail "demo --stream 6 --seed 43: status $?"
cmp -s "$work/a" "$work/c" && fail "seeds 42 and 43 gave the same stream"
"$cli" demo --stream 6 >"$work/default" && "$cli" demo --stream 6 --seed 1 >"$work/one" ||
    fail "demo --stream 6: status $?"
cmp -s "$work/default" "$work/one" || fail "the default seed is not 1"

finish
