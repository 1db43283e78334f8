# Shared by the tests of zezodavoru-cli (tests/cli/*.sh): the tool's path
# from the first argument, a scratch folder $work removed at exit (a script
# may define `cleanup` for more), failure counting and the closing verdict.
set -u
cli=$1
failures=0
work=$(mktemp -d)
at_exit() {
    declare -F cleanup >/dev/null && cleanup
    rm -rf "$work"
}
trap at_exit EXIT

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# expect NAME WANT GOT: fails NAME with a diff unless GOT equals WANT.
expect() {
    if [[ "$2" != "$3" ]]; then
        fail "$1"
        diff <(printf '%s\n' "$2") <(printf '%s\n' "$3") | head -n 20
    fi
}

# The last line of every script: the verdict and the exit status.
finish() {
    if [[ $failures -gt 0 ]]; then
        echo "$failures failure(s)"
        exit 1
    fi
    echo "all passed"
    exit 0
}

# expect_line NAME LINE WANT: line LINE of $out (the last run's output).
expect_line() {
    expect "$1" "$3" "$(sed -n "$2p" <<<"${out-}")"
}
