#!/bin/bash
# device and demo on network ports: a stream with 0xFF goes out through
# socket:// to a raw TCP listener byte for byte and its answer comes back;
# rfc2217:// to a port nothing serves, a host name that is not known and a
# malformed URL each fail with one line in the link's words.
source "$(dirname "$0")/common.bash"
listener=""
cleanup() { [ -n "$listener" ] && kill "$listener" 2>/dev/null; }

port=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
printf '\101' >"$work/answer"
socat "TCP-LISTEN:$port,bind=127.0.0.1,reuseaddr" "SYSTEM:cat $work/answer; cat >$work/received" &
listener=$!
for _ in $(seq 50); do ss -ltn | grep -q "127.0.0.1:$port " && break; sleep 0.1; done
printf '8c 02 ff 41 ff ff\n' >"$work/stream.hex"
out=$(sleep 0.5 | "$cli" device "socket://127.0.0.1:$port" --hex "$work/stream.hex" 2>&1) ||
    fail "device on socket:// exited with $?: $out"
expect "socket:// answer" "41" "$out"
wait "$listener" 2>/dev/null
listener=""
expect "socket:// stream" "8c 02 ff 41 ff ff" \
    "$(od -An -tx1 -v "$work/received" | tr -s ' \n' ' ' | sed 's/^ //; s/ $//')"

out=$("$cli" device "rfc2217://127.0.0.1:$port" --hex "$work/stream.hex" 2>&1 </dev/null)
expect "refused: status" 1 "$?"
expect "refused" "zezodavoru-cli: cannot open rfc2217://127.0.0.1:$port: connection refused" "$out"
out=$("$cli" demo "rfc2217://no-such-host.invalid:7001" --for 1 2>&1)
expect "unknown host: status" 1 "$?"
expect "unknown host" "zezodavoru-cli: demo: cannot open rfc2217://no-such-host.invalid:7001: host not found" "$out"
out=$("$cli" device "rfc2217://127.0.0.1" --hex "$work/stream.hex" 2>&1 </dev/null)
expect "no port: status" 1 "$?"
expect "no port" "zezodavoru-cli: cannot open rfc2217://127.0.0.1: not a port this program can open" "$out"
finish
