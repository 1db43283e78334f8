#!/usr/bin/env bash
# End-to-end tests of the Windows program under Wine and Xvfb: the program
# as a user and a device meet it (see e2e.py for the checks).
#
# Uses what the presets built: build/native/bin/zezodavoru-cli and
# build/windows/bin/{zezodavoru.exe,e2e_ui_driver.exe}; ZEZ_CLI, ZEZ_EXE and
# ZEZ_DRIVER point elsewhere. A Wine prefix of its own (build/e2e-prefix,
# or ZEZ_E2E_PREFIX), a work folder (build/e2e-run, or ZEZ_E2E_WORK) and a
# private Xvfb display (or ZEZ_E2E_DISPLAY, one its caller keeps for this
# run alone: scripts/test shares its display and prefix with the Win32
# tests); everything started here is ended on exit, however the run ends,
# and the run ends after ZEZ_E2E_LIMIT seconds (300) at most.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
cd "$root"
. scripts/lib/wine.sh

export ZEZ_CLI="${ZEZ_CLI:-$root/build/native/bin/zezodavoru-cli}"
export ZEZ_EXE="${ZEZ_EXE:-$root/build/windows/bin/zezodavoru.exe}"
export ZEZ_DRIVER="${ZEZ_DRIVER:-$root/build/windows/bin/e2e_ui_driver.exe}"
export WINEPREFIX="${ZEZ_E2E_PREFIX:-$root/build/e2e-prefix}"

work="${ZEZ_E2E_WORK:-$root/build/e2e-run}"
rm -rf "$work"
mkdir -p "$work"
XVFB_PID=""

cleanup() {
  local pid
  if [ -f "$work/pids" ]; then
    while read -r pid; do kill "$pid" 2>/dev/null || true; done <"$work/pids"
  fi
  wineserver -k 2>/dev/null || true
  if [ -n "$XVFB_PID" ]; then kill "$XVFB_PID" 2>/dev/null || true; fi
}
trap cleanup EXIT
trap 'exit 1' INT TERM

start=$(date +%s)
wine_setup
# A display of our own, whatever DISPLAY says: the checks read the screen.
unset DISPLAY
if [ -n "${ZEZ_E2E_DISPLAY:-}" ]; then export DISPLAY="$ZEZ_E2E_DISPLAY"; fi
xvfb_setup
# One wineserver for the whole run, so each program start is quick. Wine's
# server opens the files, so as root it runs without the capabilities that
# override file permissions: a read-only folder is then read-only to the
# program too. A server left over from an earlier run of this prefix goes
# first.
wineserver -k >/dev/null 2>&1 || true
if [ "$(id -u)" -eq 0 ]; then
  setpriv --bounding-set=-dac_override,-dac_read_search -- wineserver -p >>"$work/wine.log" 2>&1
else
  wineserver -p >>"$work/wine.log" 2>&1
fi
status=0
timeout -k 10 "${ZEZ_E2E_LIMIT:-300}" /usr/bin/python3 tests/e2e/e2e.py "$work" || status=$?
echo "end-to-end run took $(($(date +%s) - start)) s (log: $work/e2e.log)"
exit "$status"
