# Glyph lookup and rasteriser through `zezodavoru-cli controller`: ROM
# select, character-generator RAM glyphs, the graphic font, cell layout,
# display shift, cursor and blink, display off, and graphic RAM rows.
source "$(dirname "$0")/dump_lib.bash"

cell_of() { printf '%s\n' "$@"; }
blank_cell=$(repeat 9 .....)
solid_cell=$(repeat 9 '#####')
letter_a=$(cell_of ..... ..#.. .#.#. '#...#' '#...#' '#####' '#...#' '#...#' .....)

# A blank 20 x 4 display switched on: every dot off.
run <<<"i 0c"
expect "blank display" "5280" "$(count .)"

# 'A' of ROM select 1: columns 1F 24 44 24 1F.
run <<<"i 0c d 41"
expect "A, ROM select 1" "$letter_a" "$(text_cell 0 0)"
expect "A, nothing else lit" "16" "$(count '#')"

# ROM select: 0x5C and 0xA5 differ between the fonts; 2 behaves as 1.
run --rom 1 <<<"i 0c d 5c d a5"
rom1=$out
run --rom 2 <<<"i 0c d 5c d a5"
expect "ROM select 2 as 1" "$rom1" "$out"
run --rom 0 <<<"i 0c d 5c d a5"
expect "ROM select 0: yen sign" "$(cell_of '#...#' .#.#. '#####' ..#.. '#####' ..#.. ..#.. ..... .....)" \
    "$(text_cell 0 0)"
expect "ROM select 0: centred dot" "$(cell_of ..... ..... ..... .##.. .##.. ..... ..... ..... .....)" \
    "$(text_cell 0 1)"
out=$rom1
use_dump last
expect "ROM select 1: backslash" "$(cell_of ..... ..... '#....' .#... ..#.. ...#. ....# ..... .....)" \
    "$(text_cell 0 0)"

# Codes 0..15 before any custom character: rows 0, 2, 4, 6 lit.
aa_cell=$(cell_of '#####' ..... '#####' ..... '#####' ..... '#####' ..... .....)
run <<<"i 0c d 00 d 07 d 08 d 0f"
for column in 0 1 2 3; do
    expect "code pattern 0xAA, column $column" "$aa_cell" "$(text_cell 0 "$column")"
done

# A slot changed after a render shows its new row at the next render.
run <<<"i 0c d 03 dump i 59 d 1f"
use_dump 1
expect "slot 3 before" "$aa_cell" "$(text_cell 0 0)"
use_dump last
expect "slot 3 after" "$(cell_of '#####' '#####' '#####' ..... '#####' ..... '#####' ..... .....)" \
    "$(text_cell 0 0)"

# Graphic variant: codes 0, 15 and 16 show the same triangle, 0x20 nothing.
run --geometry 115x64 <<<"i 0c d 00 d 0f d 10 d 20"
triangle=$(cell_of ........ '#.......' '##......' '###.....' '####....' '#####...' '######..' \
    '#####...' '####....' '###.....' '##......' '#.......' ........ ........ ........ ........)
for column in 0 1 2; do
    expect "graphic code at column $column" "$triangle" \
        "$(dot_rows | sed -n 1,16p | cut -c $((8 * column + 1))-$((8 * column + 8)))"
done
expect "graphic space" "$(repeat 16 ........)" "$(dot_rows | sed -n 1,16p | cut -c 25-32)"

# Underline cursor: counter at 0x40 -> dots (0..4, 17); at 0x28 and 0x68
# (shown in no cell) nothing; while CGRAM is addressed it stays on its cell.
while IFS='|' read -r script want; do
    run <<<"$script"
    expect "underline: $script" "$want" "$(count '#') $(dot_row 17 | cut -c 1-5) $(dot_row 8 | cut -c 31-35)"
done <<'EOF'
i 0e i c0|5 ##### .....
i 0e i a8|0 ..... .....
i 0e i e8|0 ..... .....
i 0e i 85 i 40|5 ..... #####
EOF

# Blinking block: solid while blink_phase is 0 (ticks 8..15 of the period),
# the character while it is 1 (ticks 1..7); 0x0F shows the underline then.
a_underlined=$(sed '$d' <<<"$letter_a"; echo '#####')
while IFS='|' read -r control ticks want; do
    run <<<"i $control d 41 i 80 tick $ticks"
    case $want in
        block) want_cell=$solid_cell ;;
        letter) want_cell=$letter_a ;;
        underline) want_cell=$a_underlined ;;
    esac
    expect "cursor $control after $ticks ticks" "$want_cell" "$(text_cell 0 0)"
done <<'EOF'
0d|0|block
0d|1|letter
0d|7|letter
0d|8|block
0d|15|block
0d|16|letter
0f|0|block
0f|3|underline
0c|0|letter
0e|3|underline
EOF
# Long runs end where their remainder modulo 15 puts the counter.
run <<<"i 0d d 41 i 80 tick 1000000001"
expect "cursor after 1000000001 ticks" "$solid_cell" "$(text_cell 0 0)"
run <<<"i 0d d 41 i 80 tick 999999997"
expect "cursor after 999999997 ticks" "$letter_a" "$(text_cell 0 0)"

# Display shift: after 0x18 column 19 shows 0x00 and 0x40; after 0x1C
# column 0 shows 0x13 and the shift reads 19.
run <<<"d 41 i c0 d 42 i 18"
expect "shift left: row 0" "$(spaces 19) 41" "$(cells 0)"
expect "shift left: row 1" "$(spaces 19) 42" "$(cells 1)"
run <<<"i 93 d 5a i 94 d 5b i 1c"
expect "shift right: row 0" "5a $(spaces 19)" "$(cells 0)"
expect "shift right: row 2 keeps to its row" "$(spaces 1) 5b $(spaces 18)" "$(cells 2)"
expect "shift right: value" "19" "$(field shift)"
run <<<"i 0c i 93 d 41 i 1c"
expect "shift right: dots" "$letter_a" "$(text_cell 0 0)"

# 1 row, 8 columns, display shift 75: addresses 75..79, 0, 1, 2.
run --geometry 8x1 <<<"i cb d 4b d 4c d 4d d 4e d 4f d 30 d 31 d 32 $(repeat 5 'i 1c')"
expect "8x1 shift 75: cells" "4b 4c 4d 4e 4f 30 31 32" "$(cells 0)"
expect "8x1 shift 75: value" "75" "$(field shift)"
# 40 columns with 4 rows repeat the first 20 addresses.
run --geometry 40x4 <<<"d 41"
expect "40x4 row 0" "41 $(spaces 19) 41 $(spaces 19)" "$(cells 0)"

# Display off: every cell dot 255, the gap columns and 8 bottom rows off.
run <<<"i 08 d 41"
expect "display off" "$(repeat 36 "$(repeat 20 '@@@@@.' | tr -d '\n')"; repeat 8 "$(printf '%120s' '' | tr ' ' .)")" \
    "$(dot_rows)"

# Graphic text layer: the block cursor in column 14 shows 3 dots wide; in
# column 15 it is beyond the edge; display off fills all 115 x 64 dots.
while IFS='|' read -r script want; do
    run --geometry 115x64 <<<"$script"
    expect "graphic text layer: $script" "$want" \
        "$(count '#') $(count '@') $(dot_row 0 | cut -c 113-115) $(dot_row 0 | wc -c)"
done <<'EOF'
i 0d i 87|48 0 ### 116
i 0d i 87 d 20|0 0 ... 116
i 08|0 7360 @@@ 116
i 0e i 90|8 0 ... 116
EOF
run --geometry 115x64 <<<"i 0e i 90"
expect "graphic underline" "########" "$(dot_row 31 | cut -c 1-8)"

# Graphic RAM rows: upper and lower half of a 32-byte line; 112 dots wide.
run --geometry 115x64 <<<"i 36 i 80 i 80 d 80 d 00 d 00 d 00 d 00 d 00 d 00 d 00 d 00 d 00 d 00 d 00 d 00 d 01 d ff d ff d c0"
expect "graphic RAM row 0" "#$(printf '%110s' '' | tr ' ' .)#..." "$(dot_row 0)"
expect "graphic RAM row 32" "##$(printf '%113s' '' | tr ' ' .)" "$(dot_row 32)"
expect "graphic RAM lit" "4" "$(count '#')"

finish
