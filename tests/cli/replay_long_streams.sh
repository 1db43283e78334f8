#!/bin/bash
# replay: streams longer than the memory the tool may use run to the end,
# read in pieces (64 KiB) -- raw bytes and hex text of 300 MB under a 100 MB
# address-space limit -- and hex text reads the same however the pieces cut
# it: through a pair, through a comment, and in its error positions.
source "$(dirname "$0")/common.bash"

# A long stream under the limit; sanitizer builds reserve far more address
# space than that, so there it is left out.
limited() {
    (ulimit -v 100000 && "$cli" replay "$@")
}
if ldd "$cli" 2>/dev/null | grep -q 'lib[at]san'; then
    echo "note: sanitizer build, the address-space limit is left out"
else
    out=$(head -c 300M /dev/zero | limited)
    status=$?
    [[ $status -eq 0 ]] || fail "300 MB of raw bytes under the limit (status $status)"
    expect_line "300 MB of raw bytes: the dump follows" 1 "repaints 0"
    out=$(yes '85 t # no operation, one tick' | head -c 300M | limited --hex)
    status=$?
    [[ $status -eq 0 ]] || fail "300 MB of hex text under the limit (status $status)"
    expect_line "300 MB of hex text: the dump follows" 1 "repaints 0"
fi

# 0x8E 'A' with its first pair cut between the first two pieces, then a
# comment of hex letters that runs across the second cut, then 0x8E 'B'.
short=$(printf '8E41 8E42' | "$cli" replay --hex)
{
    printf '%65535s' ''
    printf '8E41 #'
    head -c 70000 /dev/zero | tr '\0' 'a'
    printf '\n8E42'
} >"$work/long.hex"
long=$("$cli" replay --hex "$work/long.hex")
expect "a pair and a comment across the pieces" "$short" "$long"

# An error after the first piece names its line and column in the whole text.
{
    printf '\n'
    head -c 70000 /dev/zero | tr '\0' ' '
    printf 'G'
} >"$work/bad.hex"
"$cli" replay --hex "$work/bad.hex" >"$work/out" 2>"$work/err"
status=$?
[[ $status -eq 2 && ! -s "$work/out" ]] || fail "error after the first piece (status $status)"
expect "error position after the first piece" \
    "zezodavoru-cli: replay: line 2, column 70001: unexpected 'G'" "$(cat "$work/err")"

finish
