#!/bin/bash
# device: plays the device on one end of a socat pseudo-terminal pair while
# the other end stands in for the program -- the stream goes out byte for
# byte (hex text with comments and tick pauses, or raw), bytes coming back
# are printed one per line, the run ends with standard input or --for, and
# bad input or options exit with status 2 and one line naming the fault.
source "$(dirname "$0")/common.bash"
socat_pid=""
cleanup() { [ -n "$socat_pid" ] && kill "$socat_pid" 2>/dev/null; }

device="$work/device"
program="$work/program"
socat "pty,link=$device,raw,echo=0" "pty,link=$program,raw,echo=0" &
socat_pid=$!
for _ in $(seq 50); do [ -e "$device" ] && [ -e "$program" ] && break; sleep 0.1; done
[ -e "$program" ] || { echo "FAIL: socat made no pseudo-terminal pair"; exit 1; }

# Collects what reaches the program's end for a while, as hex.
receive() { timeout "$1" cat "$program" >"$work/received" & receiver=$!; sleep 0.2; }
received() {
    wait "$receiver"
    got=$(od -An -tx1 -v "$work/received" | tr -s ' \n' ' ' | sed 's/^ //; s/ $//')
}

# Hex text: pairs with and without spaces, both cases, comments, ticks.
printf '41 42 # a comment with 43 in it\n0aFF t T 7e\n' >"$work/stream.hex"
receive 2
begin=$(date +%s%N)
"$cli" device "$device" --hex "$work/stream.hex" </dev/null || fail "device exited with $?"
took=$((($(date +%s%N) - begin) / 1000000))
received
[ "$got" = "41 42 0a ff 7e" ] || fail "hex stream arrived as: $got"
[ "$took" -ge 200 ] || fail "two ticks paused only $took ms"

# Raw input is sent as it stands, 't' and '#' included.
printf 't#\000\377' >"$work/stream.raw"
receive 1.5
"$cli" device "$device" "$work/stream.raw" </dev/null || fail "raw device exited with $?"
received
[ "$got" = "74 23 00 ff" ] || fail "raw stream arrived as: $got"

# Bytes from the program's end are printed one per line, lowercase hex;
# with the stream on standard input, --for keeps it listening.
begin=$(date +%s%N)
(sleep 0.4; printf '\000\377A\n' >"$program") &
out=$(printf '' | "$cli" device "$device" --for 1.2)
took=$((($(date +%s%N) - begin) / 1000000))
[ "$out" = $'00\nff\n41\n0a' ] || fail "received bytes printed as: $out"
[ "$took" -ge 1100 ] && [ "$took" -lt 3000 ] || fail "--for 1.2 ran $took ms"

# With the stream in a file, the run lasts until standard input closes.
printf '31' >"$work/one.hex"
begin=$(date +%s%N)
sleep 1 | "$cli" device "$device" --hex "$work/one.hex" >/dev/null
took=$((($(date +%s%N) - begin) / 1000000))
[ "$took" -ge 900 ] && [ "$took" -lt 3000 ] || fail "run with open standard input took $took ms"
# ... unless --for ends it first.
begin=$(date +%s%N)
"$cli" device "$device" --hex --for 0.5 "$work/one.hex" >/dev/null < <(sleep 5)
took=$((($(date +%s%N) - begin) / 1000000))
[ "$took" -lt 3000 ] || fail "--for 0.5 with open standard input took $took ms"

# Bad input and options: status 2, one line that names the fault.
expect_refusal() {
    local what=$1 pattern=$2
    shift 2
    local err status
    err=$("$@" 2>&1 >/dev/null)
    status=$?
    [ "$status" -eq 2 ] || fail "$what: status $status"
    [ "$(printf '%s\n' "$err" | wc -l)" -eq 1 ] || fail "$what: more than one line: $err"
    [[ "$err" == *"$pattern"* ]] || fail "$what: message '$err' lacks '$pattern'"
}
printf '41 42\n 4g\n' >"$work/bad.hex"
expect_refusal "bad hex digit" "line 2, column 2" "$cli" device "$device" --hex "$work/bad.hex"
printf '41 4' >"$work/odd.hex"
expect_refusal "odd digit" "line 1, column 4" "$cli" device "$device" --hex "$work/odd.hex"
printf '41 x2' >"$work/junk.hex"
expect_refusal "stray letter" "column 4" "$cli" device "$device" --hex "$work/junk.hex"
expect_refusal "unknown option" "--fast" "$cli" device "$device" --fast
expect_refusal "--for without seconds" "--for" "$cli" device "$device" --for
expect_refusal "--for zero" "--for" "$cli" device "$device" --for 0
expect_refusal "missing port" "PORT" "$cli" device
expect_refusal "missing file" "nope.hex" "$cli" device "$device" "$work/nope.hex"
# Nothing of a refused stream reaches the line (after the 31s sent above
# have been taken off it).
receive 0.5
received
[ "$got" = "31 31" ] || fail "the streams from files arrived as: $got"
receive 1
"$cli" device "$device" --hex "$work/bad.hex" 2>/dev/null
received
[ -z "$got" ] || fail "a refused stream was partly sent: $got"

# A port that cannot be opened is an error, not bad input.
"$cli" device "$work/no-such-port" </dev/null 2>/dev/null
status=$?
[ "$status" -ne 0 ] && [ "$status" -ne 2 ] || fail "missing port: status $status"

# A line that takes nothing more (nobody reads the program's end) fails the
# stream after two seconds without progress, however long the far end holds
# the line.
head -c 200000 /dev/zero >"$work/long.raw"
err=$(timeout 20 "$cli" device "$device" "$work/long.raw" </dev/null 2>&1 >/dev/null)
status=$?
[ "$status" -eq 1 ] || fail "a line that stopped taking bytes: status $status"
[[ "$err" == *"the line stopped taking the stream"* ]] || fail "stalled line said: $err"
# What it could not take is thrown away before the next case.
timeout 1 cat "$program" >/dev/null

# The line going away ends a run that only listens, at once and without
# failure.
begin=$(date +%s%N)
"$cli" device "$device" --for 10 </dev/null >/dev/null &
listener=$!
sleep 0.3
kill "$socat_pid"
wait "$socat_pid" 2>/dev/null
socat_pid=""
wait "$listener"
status=$?
took=$((($(date +%s%N) - begin) / 1000000))
[ "$status" -eq 0 ] && [ "$took" -lt 3000 ] || fail "hang-up while listening: status $status after $took ms"

finish
