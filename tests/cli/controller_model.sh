# The controller model through `zezodavoru-cli controller`: creation and
# clamping, address-counter wrap rules, display shift, character-generator
# RAM, Function set and graphic-RAM addressing.
source "$(dirname "$0")/dump_lib.bash"

# Geometry: requested size -> "text-rows columns dot-height dot-width".
while read -r request want; do
    run --geometry "$request" </dev/null
    expect "geometry $request" "$want" "$(geometry)"
done <<'EOF'
20x4 4 20 44 120
16x2 2 16 26 96
40x1 1 40 17 240
3x3 2 8 26 48
115x64 4 16 64 115
100x0 1 40 17 240
EOF
run </dev/null
expect "default geometry" "4 20 44 120" "$(geometry)"

# A new 20 x 4 controller.
run </dev/null
expect "new controller" "$(printf 'address 00\nshift 0\ncells\n'; repeat 4 "$(spaces 20)"; echo dots)" \
    "$(head_lines)"

# 41 writes from address 0 run through 0x00..0x27 and on at 0x40; 80 come
# back to 0x00.
codes=$(for n in $(seq 0 40); do printf '%02x\n' $((0x30 + n)); done)
run <<<"i 06 $(printf 'd %s\n' $codes)"
expect "41 writes: address" "41" "$(field address)"
expect "41 writes: row 0" "$(sed -n 1,20p <<<"$codes" | paste -sd ' ')" "$(cells 0)"
expect "41 writes: row 2" "$(sed -n 21,40p <<<"$codes" | paste -sd ' ')" "$(cells 2)"
expect "41 writes: row 1" "58 $(spaces 19)" "$(cells 1)"
run <<<"i 06 $(repeat 80 'd 2a')"
expect "80 writes: address" "00" "$(field address)"
expect "80 writes: row 3" "$(repeat 20 2a | paste -sd ' ')" "$(cells 3)"

# One step of the address counter: script -> address afterwards.
while IFS='|' read -r geometry script want; do
    run --geometry "$geometry" <<<"$script"
    expect "$geometry: $script" "$want" "$(field address)"
done <<'EOF'
20x4|i 04 i c0 d 41|27
20x4|i 04 i 80 d 41|67
16x2|i 04 i c0 d 41|27
40x1|i 04 i 80 d 41|4f
40x1|i a7 d 41|28
20x4|i c0 i 10|27
20x4|i a7 i 14|40
20x4|i ff|7f
20x4|i ff d 41|00
20x4|i bf d 41|40
115x64|i 90 d 41|10
115x64|i 9f d 41 d 42|00
115x64|i 80 i 04 d 41|1f
EOF
run --geometry 115x64 <<<"i 9f d 41 d 42"
expect "graphic text: bytes 62, 63" "$(spaces 14) 41 42" "$(cells 3)"

# Display shift, read after rendering (a negative shift shows normalised).
while IFS='|' read -r script want; do
    run <<<"$script"
    expect "shift: $script" "$want" "$(field shift)"
done <<'EOF'
i 07 d 41 d 42 d 43|3
i 05 d 41 d 42 d 43|17
i 18|1
i 1c|19
i 18 i 18 i 02|0
i 1c i 18 i 18 i 01|0
i 14 i 10|0
EOF

# Character-generator RAM: rows are written and read back as 5-bit rows.
run <<<"i 40 d 1f d 00 d 1f d 00 d 1f d 00 d 1f d 00 i 40 r r r r r r r r"
expect "CGRAM read-back" "$(printf '%s\n' 1f 00 1f 00 1f 00 1f 00)" "$(sed -n 1,8p <<<"$out")"
run <<<"i 40 d 01 d 02 d 04 d 08 d 10 d e0 d ff d 11 i 40 r r r r r r r r"
expect "CGRAM rows" "$(printf '%s\n' 01 02 04 08 10 00 1f 11)" "$(sed -n 1,8p <<<"$out")"
# ... and shown as the glyph of code 0.
run <<<"i 0c i 40 d 01 d 02 d 04 d 08 d 10 d e0 d ff d 11 i 80 d 00"
expect "CGRAM glyph" "$(printf '%s\n' '....#' '...#.' '..#..' '.#...' '#....' '.....' '#####' '#...#' '.....')" \
    "$(text_cell 0 0)"

# The 65th byte after Set CGRAM address 0 lands in row 0 of slot 8.
run <<<"i 40 $(repeat 64 'd 1f') d 00 dump i 0c i 80 d 08 d 00"
use_dump 1
expect "65th byte: address" "01" "$(field address)"
use_dump last
expect "65th byte: slot 8" "$(printf '%s\n' '.....' '.....' '#####' '.....' '#####' '.....' '#####' '.....' '.....')" \
    "$(text_cell 0 0)"
expect "65th byte: slot 0" "$(repeat 8 '#####'; echo .....)" "$(text_cell 0 1)"

# Counting down through CGRAM: 0x3F -> 0x3E and 0 -> 127.
run <<<"i 7f i 04 d 00"
expect "CGRAM 0x3F down" "3e" "$(field address)"
run <<<"i 04 i 40 d 00 dump d 1f i 06 i 0c i 80 d 0f"
use_dump 1
expect "CGRAM 0 down" "3f" "$(field address)"
use_dump last
expect "CGRAM 0 down: row 7 of slot 15" "#####" "$(text_cell 0 0 | sed -n 8p)"

# Set CGRAM address, Clear display, data: the byte goes to CGRAM.
run <<<"i 0c i 40 i 01 d 00 dump i 80 d 00"
use_dump 1
expect "CGRAM after clear: display RAM" "$(repeat 4 "$(spaces 20)")" "$(for r in 0 1 2 3; do cells $r; done)"
use_dump last
expect "CGRAM after clear: slot 0 row 0" "....." "$(text_cell 0 0 | sed -n 1p)"
expect "CGRAM after clear: slot 0 row 2" "#####" "$(text_cell 0 0 | sed -n 3p)"

# Function set: nothing on the text variant; RE and G on the graphic one,
# seen as graphic RAM (all off) instead of the switched-off text layer.
run <<<"d 41"
plain=$out
run <<<"i 38 i 36 d 41"
expect "Function set on text" "$plain" "$out"
while IFS='|' read -r script want; do
    run --geometry 115x64 <<<"$script"
    expect "graphic Function set: $script" "$want" "$(count '@')"
done <<'EOF'
i 36|0
i 36 i 34|7360
i 36 i 30|0
i 32|7360
i 34 i 36|0
EOF

# Graphic RAM addressing: script -> lit dots "x,y" in order.
lit_dots() {
    dot_rows | awk '{ for (x = 1; x <= length($0); x++) if (substr($0, x, 1) == "#") printf "%d,%d ", x - 1, NR - 1 }'
}
while IFS='|' read -r script want; do
    run --geometry 115x64 <<<"i 36 $script"
    expect "graphic RAM: $script" "$want" "$(lit_dots)"
done <<'EOF'
i 83 i 85 d ff|80,3 81,3 82,3 83,3 84,3 85,3 86,3 87,3 
i 83 d 81|0,0 7,0 
i 9c i 8b d 80 d 01 d 80|0,0 48,60 63,60 
i 9f i 8f d ff d 80|0,0 
i 80 i 88 d c0|0,32 1,32 
i 9f i 86 d 81|96,31 103,31 
i 9f i 8e d 01|103,63 
EOF

finish
