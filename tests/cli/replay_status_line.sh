#!/bin/bash
# replay: the status-line commands from the start-up screen -- the worked
# example, overrides, three-digit numbers, and flash text expiring through
# timer ticks.
source "$(dirname "$0")/common.bash"

# run HEX-TEXT [OPTIONS...]: replays the hex text, output in $out.
run() {
    local input=$1
    shift
    out=$(printf '%s\n' "$input" | "$cli" replay --hex "$@") || fail "replay exited with $? for: $input"
}

# Lines of the dump: 1 repaints, 2 address, 5..8 the cells of rows 1..4.
row1=5
blank="20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20"

run ""
expect_line "idle screen" $row1 "52 58 31 35 02 02 02 02 02 02 02 02 02 02 02 02 54 58 31 35"
expect_line "idle screen repaints" 1 "repaints 0"
expect_line "idle screen cursor" 2 "address 00"
expect_line "idle screen row 2" 6 "$blank"

run "9E 94 07 95 2A 93 05 A0 42"
expect_line "worked example repaints" 1 "repaints 5"
expect_line "worked example row 1" $row1 "52 58 30 37 04 01 01 00 02 02 02 05 48 50 02 02 54 58 34 32"
expect_line "worked example cursor" 2 "address 00"

# Device text keeps its place around the status line; whitespace between
# bytes is optional. The link bar blanks the numbers; meter level 0x94 is
# out of range and draws nothing.
run "97 03 02 8D 61 00 9E 9394 95C8 A1 57 41 49 54 8D 62 00"
expect_line "text around status line" 6 "20 20 61 62 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20"
expect_line "right number 200, third digit on row 3" 7 "30 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20"
expect_line "right number 200 on row 1" $row1 "52 58 20 20 02 02 02 02 02 02 02 57 41 49 54 02 54 58 32 30"
expect_line "status commands repaint" 1 "repaints 7"

run "A6 01 41 42 43  94 05  A6 00 78 79 7A  95 09"
expect_line "overrides shown" $row1 "41 42 43 00 02 02 02 02 02 02 02 02 02 02 02 02 78 79 7a 00"
expect_line "override commands repaint" 1 "repaints 4"
run "A6 01 41 42 43  94 05  A6 01 00 00 00  94 05"
expect_line "override hidden" $row1 "41 42 30 35 02 02 02 02 02 02 02 02 02 02 02 02 54 58 31 35"

# Flash text: shown at once, replaced on the tenth tick by the mode field.
run "A0 40  A1 46 4C 53 48  ttttttttt"
expect_line "flash after nine ticks" $row1 "52 58 31 35 04 02 02 02 02 02 02 46 4c 53 48 02 54 58 31 35"
expect_line "flash repaints before expiry" 1 "repaints 2"
run "A0 40  A1 46 4C 53 48  tttttttttt"
expect_line "flash expired on tenth tick" $row1 "52 58 31 35 04 02 02 02 02 02 02 05 48 02 02 02 54 58 31 35"
expect_line "expiry repaints once" 1 "repaints 3"
run "A0 40  A1 46 4C 53 48" --ticks 25
expect_line "flash expired with --ticks" $row1 "52 58 31 35 04 02 02 02 02 02 02 05 48 02 02 02 54 58 31 35"
expect_line "expiry repaints once with --ticks" 1 "repaints 3"
# The reset command cancels the expiry: the cleared status line stays.
run "A1 46 4C 53 48 ttttt 87 tttttttttt"
expect_line "reset cancels flash expiry" $row1 "$blank"
expect_line "reset cancels expiry repaint" 1 "repaints 2"

# Busy indicator at row 4 column 20: eight steps end on glyph 3 again.
run "A4 14 04 A3 A3 A3 A3 A3 A3 A3 A3"
expect_line "busy cycle" 8 "20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 03"
expect_line "busy steps do not repaint" 1 "repaints 0"

finish
