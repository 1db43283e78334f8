#!/usr/bin/env bash
# The layer rules of the source tree: each portable folder includes only the
# project folders below it, and no portable file (one whose name does not end
# in _win32 or _posix) includes a system header of one platform. The Python
# module (python/) is at the top: it may use every layer and the tools'
# picture files.
# Usage: layers.sh SOURCE_ROOT
set -u
cd "$1" || exit 2

allowed() {
    case "$1" in
        display) echo "display" ;;
        protocol) echo "display protocol" ;;
        keyboard) echo "keyboard" ;;
        image) echo "display image" ;;
        link) echo "link platform" ;;
        platform) echo "platform" ;;
        demo) echo "demo protocol" ;;
        panel) echo "panel protocol display keyboard link platform demo record" ;;
        python) echo "python panel protocol display keyboard image link platform demo record tools" ;;
        record) echo "record protocol display" ;;
        web) echo "web panel image protocol display keyboard link platform demo" ;;
    esac
}

failures=0
for layer in display protocol keyboard image link platform demo panel record web python; do
    [ -d "$layer" ] || continue
    ok=" $(allowed "$layer") "
    while IFS=: read -r file line text; do
        folder=$(sed -E 's/.*#include "([a-z_0-9]+)\/.*/\1/' <<<"$text")
        case "$ok" in
            *" $folder "*) ;;
            *) echo "$file:$line: $layer may not include $folder/"; failures=$((failures + 1)) ;;
        esac
    done < <(grep -rn -E '^\s*#\s*include\s+"[a-z_0-9]+/' "$layer")
    while IFS=: read -r file line _; do
        case "$file" in *_win32.* | *_posix.*) continue ;; esac
        echo "$file:$line: a portable file includes a platform header"
        failures=$((failures + 1))
    done < <(grep -rn -E '^\s*#\s*include\s+<(windows|winbase|commctrl|termios|unistd|fcntl)\.h>' "$layer")
done

if [ "$failures" -ne 0 ]; then
    echo "$failures include(s) break the layer rules"
    exit 1
fi
echo "layers: every include keeps to its layer"
