#!/usr/bin/env bash
# The web page's browser checks (page.test.mjs) in headless Chromium:
# installs Playwright from the lockfile (no browser download: the system's
# Chromium is used), then runs the checks with Node's test runner.
# Usage: run_web.sh WEB_DIR CLI   (build/wasm/web, the native zezodavoru-cli)
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
export ZEZ_WEB="$(cd "$1" && pwd)"
export ZEZ_CLI="$(cd "$(dirname "$2")" && pwd)/$(basename "$2")"
export PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1
cd "$here"
npm ci --no-audit --no-fund --loglevel=error
exec node --test page.test.mjs
