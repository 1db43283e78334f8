#!/usr/bin/env python3
"""Writes the help2man include file of the command-line tool's manual page:
the hand-written sections of STATIC, then a SUBCOMMANDS section with the
help of every subcommand, as "TOOL SUBCOMMAND --help" prints it.

The subcommands are those that "TOOL --help" lists under "Subcommands:", so
a new one reaches the manual page without an edit here. Each help text goes
in as it is printed (no filling), escaped for roff.

Usage: subcommands_h2m.py TOOL STATIC OUTPUT
"""
import os
import re
import subprocess
import sys


def help_text(*command):
    done = subprocess.run(command, capture_output=True, text=True, check=False)
    if done.returncode != 0 or not done.stdout.strip():
        sys.exit(f"subcommands_h2m.py: {' '.join(command)} failed: {done.stderr.strip()}")
    return done.stdout


def subcommands(tool_help):
    """Names listed under "Subcommands:" (indented lines up to a blank one)."""
    names, listing = [], False
    for line in tool_help.splitlines():
        if line.strip() == "Subcommands:":
            listing = True
        elif listing and re.match(r"^\s+\S", line):
            names.append(line.split()[0])
        elif listing:
            break
    return names


def roff(text):
    """Text for a no-fill block: backslashes and minus signs escaped, lines
    that would read as requests guarded."""
    lines = []
    for line in text.rstrip("\n").splitlines():
        line = line.replace("\\", "\\e").replace("-", "\\-")
        if line.startswith((".", "'")):
            line = "\\&" + line
        lines.append(line)
    return "\n".join(lines)


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__.strip().splitlines()[-1])
    tool, static, output = sys.argv[1:]
    names = subcommands(help_text(tool, "--help"))
    if not names:
        sys.exit(f"subcommands_h2m.py: {tool} --help lists no subcommands")
    name = os.path.basename(tool)
    parts = [open(static, encoding="utf-8").read().rstrip("\n"), "", "[SUBCOMMANDS]",
             f"Each subcommand describes itself with \\fB{name} \\fISUBCOMMAND\\fB \\-\\-help\\fR:"]
    for sub in names:
        parts += [f".SS {sub}", ".nf", roff(help_text(tool, sub, "--help")), ".fi"]
    with open(output, "w", encoding="utf-8") as out:
        out.write("\n".join(parts) + "\n")


if __name__ == "__main__":
    main()
