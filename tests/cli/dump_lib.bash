# Helpers for the controller tests of zezodavoru-cli, sourced by
# tests/cli/controller_*.sh. The tool's path is the script's first argument.
source "$(dirname "${BASH_SOURCE[0]}")/common.bash"
out=""
dump=""

# run [options...] < script: runs the controller subcommand; its output goes
# to $out and its last dump to $dump.
run() {
    local status=0
    out=$("$cli" controller "$@") || status=$?
    [[ $status -eq 0 ]] || fail "controller $* exited with status $status"
    use_dump last
}

# use_dump N|last: selects the Nth dump of $out (1-based) or the last one.
use_dump() {
    dump=$(printf '%s\n' "$out" | awk -v want="$1" '
        /^address / { n++ }
        n > 0 && (want == "last" || n == want) { if (n != cur) { buf = ""; cur = n } buf = buf $0 "\n" }
        END { printf "%s", buf }')
}


# Lines of the selected dump before its first dot row (address, shift, cells).
head_lines() { printf '%s\n' "$dump" | awk '{ print } /^dots$/ { exit }'; }
field() { printf '%s\n' "$dump" | awk -v k="$1" '$1 == k { print $2; exit }'; }
# cells N: the codes of text row N (0-based).
cells() { printf '%s\n' "$dump" | awk -v n="$1" 'f && i++ == n { print; exit } /^cells$/ { f = 1 }'; }
# dot_rows: the dot rows of the selected dump; dot_row Y: one of them.
dot_rows() { printf '%s\n' "$dump" | awk 'f { print } /^dots$/ { f = 1 }'; }
dot_row() { dot_rows | sed -n "$(($1 + 1))p"; }
# text_cell ROW COL: the 9 rows of 5 dots of a text-variant cell.
text_cell() {
    dot_rows | awk -v y0=$((9 * $1)) -v x0=$((6 * $2 + 1)) 'NR > y0 && NR <= y0 + 9 { print substr($0, x0, 5) }'
}
# count CHAR: how many dots of the selected dump show CHAR.
count() { dot_rows | tr -cd "$1" | wc -c | tr -d ' '; }
# geometry: "text-rows columns dot-height dot-width" of the selected dump.
geometry() {
    local rows columns height width
    rows=$(printf '%s\n' "$dump" | awk 'f && /^dots$/ { exit } f { n++ } /^cells$/ { f = 1 } END { print n + 0 }')
    columns=$(cells 0 | wc -w | tr -d ' ')
    height=$(dot_rows | wc -l | tr -d ' ')
    width=$(dot_row 0 | tr -d '\n' | wc -c | tr -d ' ')
    echo "$rows $columns $height $width"
}

# repeat N TEXT: TEXT N times, one per line.
repeat() { for ((k = 0; k < $1; k++)); do echo "$2"; done; }
# spaces N: N cells of code 20.
spaces() { repeat "$1" 20 | paste -sd ' '; }

