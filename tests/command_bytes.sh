#!/usr/bin/env bash
# The display commands are spelled by name (Command::row_text, ...) outside
# the vocabulary itself, protocol/commands.h: no C++ source of protocol/,
# demo/ or tools/ may write a byte 0x85..0xA6 as a number, as a hex literal
# or as a "\x.." escape in a string, comments included. A value in that
# range that is not a command byte (a character code, an instruction) goes
# into a named constant whose line says "not a command byte".
# Usage: command_bytes.sh SOURCE_ROOT
set -u
cd "$1" || exit 2

pattern='(0[xX]|\\x)(8[5-9a-fA-F]|9[0-9a-fA-F]|[aA][0-6])([^0-9a-fA-F]|$)'
found=$(grep -rnE --include='*.cpp' --include='*.h' "$pattern" protocol demo tools record |
    grep -v '^protocol/commands\.h:' | grep -v 'not a command byte')
if [ -n "$found" ]; then
    echo "$found"
    echo "command bytes written as numbers: use the names of protocol/commands.h"
    exit 1
fi
echo "command bytes: every one spelled by name outside protocol/commands.h"
