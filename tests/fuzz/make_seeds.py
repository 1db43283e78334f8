#!/usr/bin/env python3
# Writes the fuzzing harnesses' seed corpus (tests/fuzz/corpus/<harness>/)
# from the project's own test material: the end-to-end streams, the worked
# examples of docs/protocol.md, the literal streams and controller scripts
# of the CLI tests, and a few hand-made records and key sequences. Run it
# again after those change; each seed is a small file named after its
# source.
import pathlib
import re

root = pathlib.Path(__file__).resolve().parents[2]
out = root / "tests/fuzz/corpus"


def write(harness, name, data):
    folder = out / harness
    folder.mkdir(parents=True, exist_ok=True)
    (folder / name).write_bytes(data)


def hex_steps(text):
    """Hex stream text (with 't' ticks and '#' comments) as bytes and None for a tick."""
    steps = []
    for line in text.splitlines():
        line = line.split("#", 1)[0]
        for pair in re.findall(r"[0-9A-Fa-f]{2}|[tT]", line):
            steps.append(None if pair in "tT" else int(pair, 16))
    return steps


def interpreter_seed(steps, picture):
    """The interpreter harness's framing: a marker the stream does not use, then the stream."""
    used = {s for s in steps if s is not None}
    order = list(range(0xFF, 0xF7, -1)) if picture else list(range(0xF7, -1, -1))
    marker = next(m for m in order if m not in used)
    return bytes([marker] + [marker if s is None else s for s in steps])


streams = []  # (name, hex text)
for path in sorted((root / "tests/e2e").glob("*.hex")):
    streams.append(("e2e-" + path.stem, path.read_text()))
doc = (root / "docs/protocol.md").read_text()
for n, block in enumerate(re.findall(r"```stream\n(.*?)```", doc, re.S), 1):
    streams.append(("protocol-%02d" % n, block))
for path in sorted((root / "tests/cli").glob("replay_*.sh")):
    for n, text in enumerate(re.findall(r'^run "([^"$]*)"', path.read_text(), re.M), 1):
        streams.append(("%s-%02d" % (path.stem, n), text))

for n, (name, text) in enumerate(streams):
    write("interpreter", name, interpreter_seed(hex_steps(text), n % 3 == 0))
    if not name.startswith("replay_"):
        write("cli_readers", "stream-" + name, text.encode())

# Controller scripts: geometry, ROM select and the steps of the CLI tests.
scripts = []
model = (root / "tests/cli/controller_model.sh").read_text()
for geometry, script in re.findall(r"^(\d+x\d+)\|([^|]*)\|", model, re.M):
    scripts.append((geometry, "1", script))
for path in ("controller_model.sh", "controller_render.sh"):
    for options, script in re.findall(r'^\s*run([^<\n]*)<<<"([^"$]*)"', (root / "tests/cli" / path).read_text(), re.M):
        geometry = re.search(r"--geometry (\d+x\d+)", options)
        rom = re.search(r"--rom (\d+)", options)
        scripts.append((geometry.group(1) if geometry else "20x4", rom.group(1) if rom else "1", script))

kinds = {"i": 0, "d": 1, "r": 2, "dump": 3}
for n, (geometry, rom, script) in enumerate(scripts):
    columns, rows = (int(v) for v in geometry.split("x"))
    head = [0x80, 0, int(rom)] if (columns, rows) == (115, 64) else [columns + 8, rows & 0xFF, int(rom)]
    body, tokens = [], script.split()
    while tokens:
        token = tokens.pop(0)
        if token in ("i", "d"):
            body += [kinds[token], int(tokens.pop(0), 16)]
        elif token == "tick":
            body += [3, int(tokens.pop(0)) & 1]
        elif token in kinds:
            body += [kinds[token], 0]
    write("controller", "script-%02d-%s" % (n, geometry), bytes(head + body + [3, 0]))
    if n % 3 == 0:
        write("cli_readers", "script-%02d" % n, script.encode())
write("cli_readers", "error-unpaired", b"9E 4\n")
write("cli_readers", "error-unexpected", b"# start\n9e T 94 0a # ten\nt95 2a g\n")
write("cli_readers", "script-numbers", b"i 0C # display on\nd 0x41 d 0X42 d a d 7e#tilde\nd 5 r\ntick 4294967295\n")

# Settings: the file read.
write("settings", "whole-file", bytes([3, 9, 8, 7, 2, 0, 0, 0, 4, 1, 2, 3]))
write("settings", "out-of-range", bytes([3, 9, 8, 7, 0xFF, 0xFF, 0xFF, 0xFF, 9, 1, 2, 3]))
write("settings", "short-file", bytes([5, 0, 0, 0, 0]))
write("settings", "long-file", bytes(range(12)) + bytes(range(0x80, 0x94)))
write("settings", "path", b"C:\\Program Files\\tools.exe.d\\zezodavoru.exe")

# Key messages: (message, virtual key); message bit 2 Shift, bit 3 Ctrl.
write("key_translation", "typing", bytes([0, 0x48, 4, 0x49, 0, 0x31, 4, 0x31, 8, 0x33, 0, 0x0D, 1, 0x0D]))
write("key_translation", "chord", bytes([4, 0x10, 12, 0x11, 12, 0x41, 5, 0x10, 1, 0x11, 8, 0x11, 1, 0x11]))
write("key_translation", "system-keys", bytes([2, 0x79, 6, 0x79, 3, 0x79, 0, 0x5B, 1, 0x5B, 8, 0x21, 4, 0x70]))

# A telnet server's bytes: byte 0 picks the pieces, the rest is the server.
# ser2net's opening, its acknowledgements and line reports, device bytes
# with 0xFF doubled, a report split by the pieces, a refusal and an
# unfinished subnegotiation.
ser2net_opening = bytes.fromhex("fffb03fffd03fffb01fffe01fffd00fffb00fffd2c")
acks = bytes.fromhex("fffa2c6b00fff0fffa2c650000 4b00fff0fffa2c6608fff0fffa2c6701fff0fffa2c6801fff0fffa2c6901fff0".replace(" ", ""))
write("com_port_telnet", "ser2net-opening", b"\x00" + ser2net_opening + acks)
write("com_port_telnet", "data-with-ff", b"\x02" + ser2net_opening + bytes.fromhex("8c02ffff41ffff00ff"))
write("com_port_telnet", "split-reports", b"\x01" + bytes.fromhex("fffd2cfffa2c6a00fffffff0fffa2c6b"))
write("com_port_telnet", "refused", b"\x03" + bytes.fromhex("fffe2cfffc00") + b"Port already in use\r\n")
write("com_port_telnet", "unfinished", b"\x05" + bytes.fromhex("fffd2cfffa2c06") + b"A" * 64)
