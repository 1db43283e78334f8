#!/bin/bash
# demo PORT: the demo device played on one end of a socat pseudo-terminal
# pair while `zezodavoru-cli device` on the other end stands in for the
# program, sending key codes and printing what arrives. The device sends
# its stream as --stream would, answers keys, never faster than the line's
# 1,920 bytes a second, and ends with --for, the line hanging up or SIGTERM.
source "$(dirname "$0")/common.bash"
socat_pid=""
cleanup() { [ -n "$socat_pid" ] && kill "$socat_pid" 2>/dev/null; }

device="$work/device"
program="$work/program"
# link: a fresh pseudo-terminal pair.
link() {
    cleanup
    rm -f "$device" "$program"
    socat "pty,link=$device,raw,echo=0" "pty,link=$program,raw,echo=0" &
    socat_pid=$!
    for _ in $(seq 50); do [ -e "$device" ] && [ -e "$program" ] && break; sleep 0.1; done
    [ -e "$program" ] || { echo "FAIL: socat made no pseudo-terminal pair"; exit 1; }
}
# ticks N: N 100 ms pauses of hex text.
ticks() { printf 't%.0s' $(seq "$1"); echo; }
# A command run under $bounded ends after 10 s, and is killed 2 s later if
# it holds out, so that no stuck process can stall the script.
bounded=(timeout -k 2 10)
# play SECONDS KEYS-FILE [DEMO OPTIONS...]: the demo on the device's end
# for SECONDS while the program's end sends the hex text KEYS-FILE; what
# arrives is in $work/arrived (one hex byte a line, each after the time it
# arrived), the demo's status in $demo_status.
play() {
    local seconds=$1 keys=$2
    shift 2
    link
    "${bounded[@]}" "$cli" demo "$device" --for "$seconds" "$@" 2>"$work/demo.err" &
    local demo=$!
    sleep 0.1
    "${bounded[@]}" "$cli" device "$program" --hex --for "$seconds" "$keys" </dev/null |
        while read -t 15 -r byte; do echo "$EPOCHREALTIME $byte"; done >"$work/arrived"
    wait "$demo"
    demo_status=$?
    [[ $demo_status -eq 0 && ! -s "$work/demo.err" ]] ||
        fail "demo --for $seconds: status $demo_status, $(cat "$work/demo.err")"
}
arrived_count() { wc -l <"$work/arrived" | tr -d ' '; }

# A port that cannot be opened: the link's reason, status 1.
err=$("$cli" demo "$work/no-such-port" --for 1 2>&1 >/dev/null)
status=$?
expect "missing port: status" 1 "$status"
expect "missing port: message" "zezodavoru-cli: demo: cannot open $work/no-such-port: port not found" "$err"

# The start-up screen and the menu arrive as --stream sends them, with the
# same seed; Down then Enter after the menu is up opens the calibration.
{ ticks 26; echo "e3 e9"; ticks 10; } >"$work/calibrate.hex"
play 3.5 "$work/calibrate.hex" --seed 7
"$cli" demo --stream 2 --seed 7 | od -An -tx1 -v | tr -s ' \n' '\n\n' | sed '/^$/d' >"$work/first"
first=$(wc -l <"$work/first")
awk '{ print $2 }' "$work/arrived" | head -n "$first" >"$work/head"
cmp -s "$work/first" "$work/head" || fail "the first two seconds differ from demo --stream 2 --seed 7"
out=$(awk '{ print $2 }' "$work/arrived" | "$cli" replay --hex)
calibrating=$(printf 'Calibrating' | od -An -tx1 | tr -s ' \n' ' ')
expect_line "Down, Enter: calibrating" 6 "20 20 07 20${calibrating}20 07 20 20 20"
[[ $(arrived_count) -le $((35 * 192 / 10 + 64)) ]] || fail "3.5 s brought $(arrived_count) bytes"

# Pacing: 200 presses of F12 (self-test, menu, self-test, ...) queue far
# more than the line carries; it goes out at 1,920 bytes a second, not at
# once: the last 1,000 bytes take about half a second, and the whole run
# brings no more than the line could.
{ ticks 24; for _ in $(seq 200); do printf 'bb '; done; echo; ticks 20; } >"$work/burst.hex"
play 4 "$work/burst.hex"
count=$(arrived_count)
[[ $count -le $((4 * 1920 + 64)) ]] || fail "4 s brought $count bytes"
[[ $count -ge 1500 ]] || fail "the key answers brought only $count bytes"
span=$(tail -n 1000 "$work/arrived" | awk 'NR == 1 { t = $1 } END { printf "%d", ($1 - t) * 1000 }')
[[ $span -ge 450 && $span -le 1500 ]] || fail "the last 1000 bytes took $span ms"

# The program's end going away ends the demo at once: one note, status 0.
link
"${bounded[@]}" "$cli" demo "$device" --for 10 2>"$work/demo.err" &
demo=$!
sleep 0.5
begin=$(date +%s%N)
cleanup
wait "$demo"
status=$?
took=$((($(date +%s%N) - begin) / 1000000))
[[ $status -eq 0 && $took -lt 3000 ]] || fail "hang-up: status $status after $took ms"
expect "hang-up: the note" "zezodavoru-cli: demo: the line went away" "$(cat "$work/demo.err")"

# SIGTERM ends a demo without --for, with status 0.
link
"${bounded[@]}" "$cli" demo "$device" 2>"$work/demo.err" &
demo=$!
sleep 0.5
kill -TERM "$demo" 2>/dev/null
wait "$demo"
status=$?
[[ $status -eq 0 && ! -s "$work/demo.err" ]] || fail "SIGTERM: status $status, $(cat "$work/demo.err")"

finish
