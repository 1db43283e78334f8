# Bad input to `zezodavoru-cli controller`: exit status 2 and one line on
# standard error naming the line and token or the option; output printed
# before the fault stands. Also the accepted byte forms and comments.
source "$(dirname "$0")/common.bash"

# bad NAME WANT_STDOUT PATTERN... -- ARGS < script: status 2, exactly one
# stderr line containing every PATTERN, standard output as given.
bad() {
    local name=$1 want_out=$2
    shift 2
    local patterns=()
    while [[ $1 != -- ]]; do
        patterns+=("$1")
        shift
    done
    shift
    local status=0
    "$cli" controller "$@" >"$work/out" 2>"$work/err" || status=$?
    [[ $status -eq 2 ]] || fail "$name: status $status, want 2"
    [[ $(wc -l <"$work/err") -eq 1 ]] || fail "$name: stderr is not one line: $(cat "$work/err")"
    grep -q "^zezodavoru-cli: controller: " "$work/err" || fail "$name: stderr '$(cat "$work/err")'"
    for p in "${patterns[@]}"; do
        grep -qF -- "$p" "$work/err" || fail "$name: stderr lacks '$p': $(cat "$work/err")"
    done
    [[ $(cat "$work/out") == "$want_out" ]] || fail "$name: stdout '$(head -c 200 "$work/out")'"
}

bad "unknown token" "" "line 3" "'bogus'" -- <<<$'i 0c\n\n  d 41 bogus'
bad "unknown token after a comment" "" "line 2" "'x1'" -- <<<$'d 41 # r r\nx1 d 42'
bad "missing byte" "" "line 2" "'d'" -- <<<$'i 0c\nd'
bad "malformed byte" "" "line 1" "'zz'" -- <<<'i zz'
bad "three digits" "" "line 1" "'123'" -- <<<'d 123'
bad "bare 0x" "" "line 1" "'0x'" -- <<<'d 0x'
bad "0x with three digits" "" "line 1" "'0x100'" -- <<<'d 0x100'
bad "byte on the next line" "" "line 2" "'dump'" -- <<<$'d\ndump'
bad "missing tick count" "" "line 1" "'tick'" -- <<<'tick'
bad "negative tick count" "" "line 1" "'-1'" -- <<<'tick -1'
bad "huge tick count" "" "line 1" "'99999999999'" -- <<<'tick 99999999999'
bad "output before the fault stands" $'20\n41' "line 2" "'oops'" -- <<<$'i 0c d 41 i 81 r i 80\nr oops r'
bad "malformed geometry" "" "--geometry" "'20by4'" -- --geometry 20by4 </dev/null
bad "geometry without rows" "" "--geometry" "'20x'" -- --geometry 20x </dev/null
bad "geometry overflow" "" "--geometry" "'99999999999x4'" -- --geometry 99999999999x4 </dev/null
bad "malformed ROM select" "" "--rom" "'x'" -- --rom x </dev/null
bad "missing ROM select" "" "--rom" -- --rom
bad "unknown option" "" "unknown option --bogus" -- --bogus </dev/null
bad "unknown short option" "" "unknown option" "-x" -- -x </dev/null
bad "two scripts" "" "unexpected argument b" -- a b
bad "unreadable script" "" "$work/none.txt" -- "$work/none.txt"
bad "directory as script" "" "$work" -- "$work"

# Accepted: byte forms, '#' comments ending a token, a script file.
printf 'i 0C # display on\nd 0x41 d 0X42 d a d 7e#tilde\nd 5 r\n' >"$work/script.txt"
status=0
"$cli" controller "$work/script.txt" >"$work/out" 2>"$work/err" || status=$?
[[ $status -eq 0 && ! -s "$work/err" ]] || fail "valid script: status $status, $(cat "$work/err")"
[[ $(sed -n 1p "$work/out") == 20 ]] || fail "valid script: read $(sed -n 1p "$work/out")"
[[ $(sed -n 5p "$work/out") == "41 42 0a 7e 05 $(printf '20 %.0s' {1..15} | sed 's/ $//')" ]] ||
    fail "valid script: cells $(sed -n 5p "$work/out")"
[[ $(sed -n 2p "$work/out") == "address 06" ]] || fail "valid script: $(sed -n 2p "$work/out")"

finish
