#!/bin/bash
# replay: whole-screen commands -- full-screen text with its discarded byte,
# row texts, centred text, the self-test screen, scrolling -- from hex text
# and from a raw byte file, and the window picture at every size preset.
source "$(dirname "$0")/common.bash"
run() {
    local input=$1
    shift
    out=$(printf '%s\n' "$input" | "$cli" replay --hex "$@") || fail "replay exited with $? for: $input"
}


# hex_run BYTE COUNT: COUNT copies of the hex byte, space-separated.
hex_run() {
    local i text=""
    for ((i = 0; i < $2; i++)); do text+="$1 "; done
    printf '%s' "$text"
}

blank="20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20"

# Full-screen text: the byte after 8B is discarded even when it is a command
# byte; the 80 characters fill the rows in order; one repaint.
run "8B 89 $(hex_run 41 20) $(hex_run 42 20) $(hex_run 43 20) $(hex_run 44 20)"
expect_line "full screen repaints" 1 "repaints 1"
expect_line "full screen row 1" 5 "$(hex_run 41 19)41"
expect_line "full screen row 2" 6 "$(hex_run 42 19)42"
expect_line "full screen row 3" 7 "$(hex_run 43 19)43"
expect_line "full screen row 4" 8 "$(hex_run 44 19)44"

# The same stream as raw bytes from a file.
{
    printf '\x8b\x00'
    for c in A B C D; do printf "%0.s$c" {1..20}; done
} >"$work/screen.bin"
out=$("$cli" replay "$work/screen.bin") || fail "raw replay exited with $?"
expect_line "raw full screen row 2" 6 "$(hex_run 42 19)42"
expect_line "raw full screen row 4" 8 "$(hex_run 44 19)44"

# Centred text on row 2 over a row of text, then an empty centred text.
run "8C 02 $(hex_run 23 20) 99 02 48 69 00"
expect_line "centred text" 6 "20 20 20 20 20 20 20 20 20 48 69 20 20 20 20 20 20 20 20 20"
expect_line "centred text cursor after text" 2 "address 4b"
run "99 02 48 69 00 99 02 00"
expect_line "empty centred text" 6 "$blank"
expect_line "empty centred text cursor at column 11" 2 "address 4a"
# A centred text longer than its buffer: the first 23 characters from
# column 1, the rest dropped, and the command ends at its 0.
run "99 03 $(hex_run 41 10) $(hex_run 42 10) $(hex_run 43 10) 00 97 01 02 8E 21"
expect_line "long centred text row 3" 7 "$(hex_run 41 10)$(hex_run 42 9)42"
expect_line "long centred text runs on, then 0x97 0x8E" 6 "21 43 43 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20"

# Blank-filled row: blanks from the first 0.
run "A2 04 41 42 00 $(hex_run 5A 17)"
expect_line "blank-filled row" 8 "41 42 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20"

# Self-test screen.
run "9F"
expect_line "display test row 1" 5 "31 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 32"
expect_line "display test row 2" 6 "20 20 20 20 44 69 73 70 6c 61 79 20 54 65 73 74 20 20 20 20"
expect_line "display test row 3" 7 "20 20 20 20 20 20 31 20 32 20 33 20 34 20 20 20 20 20 20 20"
expect_line "display test row 4" 8 "33 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 34"

# Scrolling the lower rows keeps the status line and moves custom glyphs.
run "8C 02 00 01 02 03 04 05 06 07 $(hex_run 2E 12) 9D"
expect_line "scroll down keeps status line" 5 "52 58 31 35 02 02 02 02 02 02 02 02 02 02 02 02 54 58 31 35"
expect_line "scroll down blanks row 2" 6 "$blank"
expect_line "scroll down moves glyphs" 7 "00 01 02 03 04 05 06 07 $(hex_run 2e 11)2e"

# png_size FILE: the width and height stored in a PNG header.
png_size() {
    local bytes
    bytes=($(od -An -tu1 -j16 -N8 "$1"))
    echo "$(((bytes[0] << 24) | (bytes[1] << 16) | (bytes[2] << 8) | bytes[3]))x$(((bytes[4] << 24) | (bytes[5] << 16) | (bytes[6] << 8) | bytes[7]))"
}
run "9F" --png "$work/plain.png"
[[ "$(png_size "$work/plain.png")" == "488x180" ]] || fail "unscaled picture is $(png_size "$work/plain.png")"
sizes=(x 256x90 337x120 378x135 498x180)
for preset in 1 2 3 4; do
    run "9F" --png "$work/size$preset.png" --size $preset --scheme 0
    [[ "$(png_size "$work/size$preset.png")" == "${sizes[$preset]}" ]] ||
        fail "preset $preset picture is $(png_size "$work/size$preset.png")"
done

finish
