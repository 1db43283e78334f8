#!/bin/bash
# replay: bad input and bad options end with exit status 2, one line on
# standard error naming the position or the option, and no dump.
source "$(dirname "$0")/common.bash"

# bad NAME PATTERN STDIN ARGS...: expects status 2, nothing on standard
# output, and exactly one line on standard error that matches PATTERN.
bad() {
    local name=$1 pattern=$2 input=$3
    shift 3
    printf '%s' "$input" | "$cli" replay "$@" >"$work/out" 2>"$work/err"
    local status=$?
    local lines
    lines=$(wc -l <"$work/err")
    if [[ $status -ne 2 || -s "$work/out" || $lines -ne 1 ]] || ! grep -q -- "$pattern" "$work/err"; then
        fail "$name (status $status, $lines error line(s))"
        cat "$work/err"
    fi
}

bad "odd number of hex digits" "line 1, column 4" "94 7" --hex
bad "odd digits on a later line" "line 3, column 1" $'94 07\n# a comment 9\nA' --hex
bad "character that is not hex" "line 2, column 4" $'9E\n94 0G' --hex
bad "digit split by a tick" "line 1, column 1" "9t4" --hex
bad "0x prefix" "line 1, column 1: .*\"0x\" prefixes are not pairs" "0x87" --hex
bad "unknown option" "--fast" "" --fast
bad "ticks without a value" "--ticks" "" --ticks
bad "ticks not a number" "--ticks" "" --ticks ten
bad "negative ticks" "--ticks" "" --ticks -1
bad "size 0" "--size" "" --size 0
bad "size 5" "--size" "" --size 5
bad "scheme not a number" "--scheme" "" --scheme blue
bad "png without a file" "--png" "" --png
bad "unreadable file" "$work/missing.bin" "" "$work/missing.bin"

# Good input next to the bad: comments, ticks and upper or lower case.
out=$(printf '%s\n' "# start" "9e T 94 0a # ten" "t95 2a" | "$cli" replay --hex) ||
    fail "valid hex text rejected"
expect_line "valid hex text" 1 "repaints 3"

finish
