#!/usr/bin/env bash
# Runs a Win32 test program that needs COM ports (the serial link's test, the
# main window's test) under Wine, with COM ports made of pseudo-terminal
# pairs:
#   - the main pair: its near end is a COM port, its far end is given to the
#     program as a path it opens itself;
#   - a pair that is ended when the program creates a request file and made
#     again under the same names when it creates a second one, as a USB
#     adapter is pulled and plugged back (the script deletes each file once
#     it has done what it asks);
#   - a COM port that names an ordinary file;
#   - a pair whose near end ser2net serves as raw TCP on a loopback port
#     (when ser2net is there), for socket://.
# Port numbers are claimed from 101 up among the names free in the Wine
# prefix, so that runs beside each other do not meet. Everything is removed
# again on exit, whatever happens.
#
# Usage: with_com_ports.sh <test.exe> [gtest arguments...]
set -euo pipefail

exe="$1"
shift
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
# shellcheck source=../../scripts/lib/wine.sh
source "$root/scripts/lib/wine.sh"
wine_setup
xvfb_setup
# The prefix's server, if this run starts it, outlives the program by a few
# seconds: started here on its own, it keeps neither the output nor the
# caller waiting.
wineserver >/dev/null 2>&1 </dev/null || true

work="$(mktemp -d /tmp/zez-com.XXXXXX)"
claimed=()
main_socat=""
net_socat=""
server=""
watcher=""

cleanup() {
  set +e
  [ -n "$watcher" ] && kill "$watcher" 2>/dev/null
  [ -n "$main_socat" ] && kill "$main_socat" 2>/dev/null
  [ -n "$server" ] && kill "$server" 2>/dev/null
  [ -n "$net_socat" ] && kill "$net_socat" 2>/dev/null
  [ -f "$work/vanish.pid" ] && kill "$(cat "$work/vanish.pid")" 2>/dev/null
  for link in "${claimed[@]}"; do rm -f "$link"; done
  if [ -n "${XVFB_PID:-}" ]; then
    # Wine's own processes leave first, so that they do not lose their display.
    timeout 15 wineserver -w
    kill "$XVFB_PID" 2>/dev/null
  fi
  rm -rf "$work"
  return 0
}
trap cleanup EXIT

# Links the first free COM name of the prefix to $1 and prints its number.
# Names left behind by a run that was killed (their folder is gone) are free.
claim_port() {
  local n link
  for n in $(seq 101 250); do
    link="$WINEPREFIX/dosdevices/com$n"
    if [ -L "$link" ] && [[ "$(readlink "$link")" == /tmp/zez-com.* ]] &&
      [ ! -d "$(dirname "$(readlink "$link")")" ]; then
      rm -f "$link"
    fi
    if ln -s "$1" "$link" 2>/dev/null; then
      echo "$n"
      return 0
    fi
  done
  echo "no free COM port name in $WINEPREFIX" >&2
  return 1
}

wait_for() {
  local _
  for _ in $(seq 100); do [ -e "$1" ] && return 0; sleep 0.05; done
  echo "$1 did not appear" >&2
  return 1
}

windows_path() { echo "Z:${1//\//\\}"; }

socat pty,raw,echo=0,link="$work/near" pty,raw,echo=0,link="$work/far" 2>/dev/null &
main_socat=$!

# The vanishing pair lives in a watcher of its own, which ends it and makes
# it again on request.
start_vanishing_pair() {
  socat pty,raw,echo=0,link="$work/v-near" pty,raw,echo=0,link="$work/v-far" 2>/dev/null &
  echo $! >"$work/vanish.pid"
}
(
  start_vanishing_pair
  while [ ! -e "$work/vanish" ]; do sleep 0.05; done
  kill "$(cat "$work/vanish.pid")"
  wait
  rm -f "$work/vanish"
  while [ ! -e "$work/return" ]; do sleep 0.05; done
  start_vanishing_pair
  wait_for "$work/v-near" && wait_for "$work/v-far"
  rm -f "$work/return"
  wait
) &
watcher=$!

: >"$work/plain"
wait_for "$work/near"
wait_for "$work/far"
wait_for "$work/v-near"

port="$(claim_port "$work/near")"
claimed+=("$WINEPREFIX/dosdevices/com$port")
vanish_port="$(claim_port "$work/v-near")"
claimed+=("$WINEPREFIX/dosdevices/com$vanish_port")
file_port="$(claim_port "$work/plain")"
claimed+=("$WINEPREFIX/dosdevices/com$file_port")

export ZEZ_TEST_COM_PORT="$port"
ZEZ_TEST_COM_PEER="$(windows_path "$work/far")"
export ZEZ_TEST_COM_PEER
export ZEZ_TEST_VANISH_PORT="$vanish_port"
ZEZ_TEST_VANISH_REQUEST="$(windows_path "$work/vanish")"
export ZEZ_TEST_VANISH_REQUEST
ZEZ_TEST_VANISH_RETURN="$(windows_path "$work/return")"
export ZEZ_TEST_VANISH_RETURN
ZEZ_TEST_VANISH_PEER="$(windows_path "$work/v-far")"
export ZEZ_TEST_VANISH_PEER
export ZEZ_TEST_FILE_PORT="$file_port"

if command -v ser2net >/dev/null; then
  socat pty,raw,echo=0,link="$work/n-near" pty,raw,echo=0,link="$work/n-far" 2>/dev/null &
  net_socat=$!
  wait_for "$work/n-near" && wait_for "$work/n-far"
  tcp_port=$(/usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  ser2net -n -d -Y "connection: &test#  accepter: tcp,127.0.0.1,$tcp_port#  connector: serialdev(nouucplock=true),$work/n-near,19200n81,local#  options:#    chardelay: false" >/dev/null 2>&1 &
  server=$!
  for _ in $(seq 50); do ss -ltn "sport = :$tcp_port" | grep -q LISTEN && break; sleep 0.1; done
  export ZEZ_TEST_SOCKET_PORT="$tcp_port"
  ZEZ_TEST_SOCKET_PEER="$(windows_path "$work/n-far")"
  export ZEZ_TEST_SOCKET_PEER
fi

timeout -k 5 120 wine "$exe" "$@"
