# `zezodavoru-cli font`: the listing format, the telling rows of the three
# fonts, their blank codes, the picture sheet, and bad options.
source "$(dirname "$0")/common.bash"

for rom in 0 1 8x16; do
    "$cli" font --rom "$rom" >"$work/$rom.txt" || fail "font --rom $rom exited with $?"
done

# Format: 240 lines, codes 10..ff in order, 5 or 16 lowercase hex bytes.
for rom in 0 1 8x16; do
    count=5
    [[ $rom == 8x16 ]] && count=16
    [[ $(wc -l <"$work/$rom.txt") -eq 240 ]] || fail "rom $rom: $(wc -l <"$work/$rom.txt") lines"
    [[ $(cut -d: -f1 "$work/$rom.txt" | paste -sd ' ') == "$(printf '%02x ' $(seq 16 255) | sed 's/ $//')" ]] ||
        fail "rom $rom: codes out of order"
    bad=$(grep -Evc "^[0-9a-f]{2}:( [0-9a-f]{2}){$count}\$" "$work/$rom.txt")
    [[ $bad -eq 0 ]] || fail "rom $rom: $bad malformed lines"
done

# Telling rows.
while read -r rom line; do
    grep -qx "$line" "$work/$rom.txt" || fail "rom $rom: want '$line', have '$(grep "^${line%%:*}:" "$work/$rom.txt")'"
done <<'EOF_ROWS'
0 10: 00 00 00 00 00
1 10: 00 7f 3e 1c 08
0 30: 7c 8a 92 a2 7c
1 30: 3e 45 49 51 3e
0 41: 7e 90 90 90 7e
1 41: 1f 24 44 24 1f
0 5c: a8 68 3e 68 a8
1 5c: 20 10 08 04 02
0 7e: 10 10 54 38 10
1 7e: 04 08 08 04 08
0 7f: 10 38 54 10 10
1 7f: 1e 22 42 22 1e
0 80: 00 00 00 00 00
1 80: 7f 49 49 49 66
0 a5: 00 18 18 00 00
1 a5: 54 34 1f 34 54
0 df: e0 a0 e0 00 00
1 df: 01 3e 49 49 36
0 ff: ff ff ff ff ff
1 ff: 18 45 05 45 1e
8x16 10: 00 80 c0 e0 f0 f8 fc f8 f0 e0 c0 80 00 00 00 00
8x16 41: 00 00 7c c6 c6 c6 c6 fe c6 c6 c6 c6 00 00 00 00
8x16 80: 00 00 3c 66 c2 c0 c0 c0 c2 66 3c 0c 06 7c 00 00
8x16 b0: 11 44 11 44 11 44 11 44 11 44 11 44 11 44 11 44
8x16 fe: 00 00 00 00 7e 7e 7e 7e 7e 7e 7e 00 00 00 00 00
8x16 20: 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00
8x16 ff: 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00
EOF_ROWS

# Blank codes: 0x10..0x20, 0x80..0xA0 and 0xFE in the first ROM font, only
# 0x20 in the second; no other code has the same bytes in both.
blank_codes() { grep ': 00 00 00 00 00$' "$1" | cut -d: -f1 | paste -sd ' '; }
want0="$(printf '%02x ' $(seq 16 32) $(seq 128 160) 254 | sed 's/ $//')"
[[ $(blank_codes "$work/0.txt") == "$want0" ]] || fail "rom 0 blanks: $(blank_codes "$work/0.txt")"
[[ $(blank_codes "$work/1.txt") == 20 ]] || fail "rom 1 blanks: $(blank_codes "$work/1.txt")"
same=$(paste -d'|' "$work/0.txt" "$work/1.txt" | awk -F'|' '$1 == $2 { printf "%s ", substr($1, 1, 2) }')
[[ $same == "20 " ]] || fail "codes equal in both ROM fonts: $same"

# Picture sheet: a PNG of 16 x 15 glyph cells, written whole.
png_size() { od -An -tu1 -j16 -N8 "$1" | awk '{ print $1 * 16777216 + $2 * 65536 + $3 * 256 + $4, $5 * 16777216 + $6 * 65536 + $7 * 256 + $8 }'; }
for rom in 1 8x16; do
    "$cli" font --rom "$rom" --png "$work/sheet-$rom.png" >"$work/listing" || fail "png $rom: status $?"
    cmp -s "$work/listing" "$work/$rom.txt" || fail "png $rom: listing differs"
    [[ $(od -An -tx1 -N8 "$work/sheet-$rom.png" | tr -d ' ') == 89504e470d0a1a0a ]] ||
        fail "png $rom: no PNG signature"
done
[[ $(png_size "$work/sheet-1.png") == "456 608" ]] || fail "png 1 size $(png_size "$work/sheet-1.png")"
[[ $(png_size "$work/sheet-8x16.png") == "648 1088" ]] || fail "png 8x16 size $(png_size "$work/sheet-8x16.png")"
[[ $(ls "$work" | grep -c tmp) -eq 0 ]] || fail "temporary files left: $(ls "$work")"
# An unwritable target: failure, nothing left behind.
status=0
"$cli" font --rom 0 --png "$work/missing/sheet.png" >/dev/null 2>"$work/err" || status=$?
[[ $status -ne 0 && -s "$work/err" ]] || fail "unwritable png: status $status"
[[ ! -e "$work/missing" ]] || fail "unwritable png left files"

# Bad options: status 2, one stderr line naming the option.
while IFS='|' read -r args pattern; do
    status=0
    # shellcheck disable=SC2086
    "$cli" font $args >"$work/out" 2>"$work/err" || status=$?
    [[ $status -eq 2 ]] || fail "font $args: status $status"
    [[ $(wc -l <"$work/err") -eq 1 ]] && grep -qF -- "$pattern" "$work/err" ||
        fail "font $args: stderr '$(cat "$work/err")'"
    [[ ! -s "$work/out" ]] || fail "font $args: printed a listing"
done <<'EOF_BAD'
|--rom
--rom 2|'2'
--rom 8x8|'8x8'
--rom|--rom
--bogus 1|unknown option --bogus
--rom 1 --png|--png
EOF_BAD

finish
