# Debian packages of the build, the tests and the run, and the function that
# installs those that are missing (non-interactive apt-get).

# The Linux program, the command-line tool and the Python module (the native
# preset also wants GoogleTest, and xdpyinfo tells whether a display is
# there).
NATIVE_PACKAGES=(cmake ninja-build g++ pkg-config libpng-dev qt6-base-dev libcli11-dev
  pybind11-dev python3-dev libtelnet-dev nlohmann-json3-dev libgtest-dev x11-utils)

BUILD_PACKAGES=(cmake ninja-build g++ pkg-config libpng-dev qt6-base-dev libcli11-dev
  pybind11-dev python3-dev libtelnet-dev nlohmann-json3-dev g++-mingw-w64-x86-64-posix
  binutils-mingw-w64-x86-64 python3)
RUN_PACKAGES=("${BUILD_PACKAGES[@]}" wine wine64 xvfb)
# The Python module's farm tests use Debian's labgrid and pytest-xdist.
TEST_PACKAGES=("${RUN_PACKAGES[@]}" libgtest-dev googletest libbenchmark-dev
  socat ser2net xdotool x11-utils imagemagick file python3-pil python3-pytest python3-pytest-xdist
  python3-labgrid)

ensure_packages() {
  local missing=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  if [ "${#missing[@]}" -gt 0 ]; then
    echo "installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
  fi
}

# The fuzzing harnesses (scripts/fuzz): clang with its libFuzzer and sanitizer runtimes.
FUZZ_PACKAGES=(cmake ninja-build clang libclang-rt-14-dev pkg-config libtelnet-dev
  nlohmann-json3-dev)

# The release packages (scripts/package): both builds without their tests
# (GoogleTest is still needed to configure them), dpkg-shlibdeps and
# dpkg-buildflags, file (which CPack uses to find the binaries), the manual
# pages, and the checks of the menu entry and the Debian package.
PACKAGE_PACKAGES=("${BUILD_PACKAGES[@]}" libgtest-dev googletest dpkg-dev file help2man
  desktop-file-utils lintian)

# The web page (preset wasm, tests/web): Debian's Emscripten (whose
# optimiser needs node-acorn), GoogleTest's sources for the test programs
# under Node, the system's Chromium for the browser checks (Playwright from
# npm drives it; npm comes with the machine's Node.js), and the WebSocket
# bridge to a pseudo-terminal.
WEB_PACKAGES=(cmake ninja-build emscripten node-acorn nodejs googletest chromium websockify socat)
