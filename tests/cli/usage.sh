#!/bin/bash
# The command line shared by every subcommand: --version and --help answer
# on standard output with status 0 without running anything, a missing or
# unknown subcommand or option is one line on standard error with status 2,
# and an option given twice takes its last value.
source "$(dirname "$0")/common.bash"

# run ARGS... < input: the status, standard output and standard error of one
# run in $status, $work/out and $work/err.
run() {
    status=0
    "$cli" "$@" >"$work/out" 2>"$work/err" || status=$?
}

run --version </dev/null
[[ $status -eq 0 && ! -s "$work/err" ]] || fail "--version: status $status, $(cat "$work/err")"
grep -qxE 'zezodavoru-cli [0-9]+(\.[0-9]+)+' "$work/out" || fail "--version: '$(cat "$work/out")'"

# Help for the tool and for each subcommand, even where a required option
# or argument is missing; the subcommand itself must not run (replay and
# controller would print a dump, device and demo would look for a port).
for command in "" font controller replay device demo; do
    # shellcheck disable=SC2086
    run $command --help </dev/null
    name="help${command:+ for $command}"
    [[ $status -eq 0 && ! -s "$work/err" ]] || fail "$name: status $status, $(cat "$work/err")"
    grep -q "^Usage: zezodavoru-cli${command:+ $command}" "$work/out" ||
        fail "$name: no usage line: $(head -n 3 "$work/out")"
    grep -q "^dots$\|^repaints" "$work/out" && fail "$name: the subcommand ran"
done
run --help </dev/null
for command in font controller replay device demo; do
    grep -q "^  $command " "$work/out" || fail "tool help does not list $command"
done

# usage_error NAME PATTERN ARGS...: status 2, nothing on standard output,
# one line on standard error in the tool's form that contains PATTERN.
usage_error() {
    local name=$1 pattern=$2
    shift 2
    run "$@" </dev/null
    [[ $status -eq 2 ]] || fail "$name: status $status"
    [[ ! -s "$work/out" ]] || fail "$name: printed '$(head -c 100 "$work/out")'"
    [[ $(wc -l <"$work/err") -eq 1 ]] || fail "$name: stderr is not one line: $(cat "$work/err")"
    grep -q "^zezodavoru-cli: " "$work/err" || fail "$name: stderr '$(cat "$work/err")'"
    grep -qF -- "$pattern" "$work/err" || fail "$name: stderr lacks '$pattern': $(cat "$work/err")"
}

usage_error "no subcommand" "subcommand"
usage_error "no subcommand names demo" "demo"
usage_error "unknown subcommand" "unknown subcommand fonts" fonts --rom 1
usage_error "unknown option before the subcommand" "unknown option --fast" --fast replay
usage_error "unknown short option" "replay: unknown option -x" replay -x
usage_error "misspelt option before a required one" "unknown option --ron" font --ron 1
usage_error "argument too many" "unexpected argument c" device a b c
usage_error "numbers are decimal digits only" "'0x10'" replay --ticks 0x10
usage_error "seconds are decimal only" "option --for: '0x10'" device /dev/null --for 0x10
usage_error "seconds without exponent" "option --for: '1e1'" demo /dev/null --for 1e1
usage_error "seconds without sign or space" "option --stream: ' 1'" demo --stream " 1"

# demo: a port or a stream, never both; the stream's options only with it.
usage_error "demo with neither" "demo: needs a PORT or --stream" demo
usage_error "demo with both" "demo: PORT excludes --stream" demo /dev/null --stream 1
usage_error "demo --hex on a port" "demo: option --hex requires --stream" demo /dev/null --hex
usage_error "demo --for with a stream" "--for" demo --stream 1 --for 1
usage_error "demo --stream zero" "'0'" demo --stream 0
usage_error "demo --stream over a day" "'86401'" demo --stream 86401
usage_error "demo --seed not a number" "'-1'" demo --stream 1 --seed -1

# The last of a repeated option counts, in every subcommand.
"$cli" font --rom 0 >"$work/rom0" || fail "font --rom 0: status $?"
"$cli" font --rom 1 --rom 0 >"$work/out" || fail "repeated --rom: status $?"
cmp -s "$work/rom0" "$work/out" || fail "repeated --rom: not the listing of ROM 0"
out=$(echo 'i 0c d 41' | "$cli" controller --geometry 40x2 --geometry 16x2) ||
    fail "repeated --geometry: status $?"
expect_line "repeated --geometry: 16 cells a row" 4 "41$(printf ' 20%.0s' {1..15})"
expect_line "repeated --geometry: 2 rows" 6 "dots"

finish
