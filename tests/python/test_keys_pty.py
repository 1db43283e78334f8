"""Key names on a pseudo-terminal pair: every press sends the codes of the
key-code table in docs/protocol.md (linked from the README), the chord's
0xF6/0xF7 and the Windows key's release code included; keys that send
nothing send nothing."""

import zezodavoru

# name -> codes, as the key-code table gives them.
KEY_CODES = [
    ("F1", b"\xb0"), ("F2", b"\xb1"), ("F9", b"\xb8"), ("F10", b"\xb9"), ("F11", b"\xba"),
    ("F12", b"\xbb"), ("Shift+F1", b"\xc8"), ("Shift+F10", b"\xd1"), ("Shift+F12", b"\xd3"),
    ("Alt+F10", b"\xb9"), ("Alt+Shift+F10", b"\xd1"), ("Ctrl+F1", b"\xb0"),
    ("Enter", b"\xe9"), ("Escape", b"\x1b"), ("Tab", b"\xee"), ("Backspace", b"\xed"),
    ("Delete", b"\xe6"), ("Insert", b"\xdd"), ("Home", b"\xde"), ("End", b"\xdf"),
    ("PageUp", b"\xe0"), ("PageDown", b"\xe1"), ("Shift+PageUp", b"\xd6"),
    ("Shift+PageDown", b"\xd7"), ("Ctrl+PageUp", b"\xf4"), ("Ctrl+PageDown", b"\xf5"),
    ("Up", b"\xe2"), ("Down", b"\xe3"), ("Left", b"\xe4"), ("Right", b"\xe5"),
    ("Shift+Up", b"\xd8"), ("Shift+Down", b"\xd9"), ("Shift+Left", b"\xda"),
    ("Shift+Right", b"\xdb"), ("Ctrl+Up", b"\xf0"), ("Ctrl+Down", b"\xf1"),
    ("Ctrl+Left", b"\xf2"), ("Ctrl+Right", b"\xf3"), ("Ctrl+Shift+Up", b"\xf6\xf0\xf7"),
    ("Space", b" "), ("A", b"A"), ("z", b"Z"), ("Shift+Q", b"Q"), ("Ctrl+A", b"\x01"),
    ("Ctrl+Z", b"\x1a"), ("Ctrl+Shift+C", b"\xf6\x03\xf7"), ("0", b"0"), ("9", b"9"),
    ("Ctrl+1", b"\xa0"), ("Ctrl+5", b"\xa4"), ("Ctrl+6", b"6"), ("Ctrl+0", b"0"),
    ("Shift+1", b"!"), ("Shift+0", b")"), ("KP0", b"\x60"), ("KP1", b"A"), ("KP9", b"I"),
    ("Ctrl+KP1", b"\x01"), ("!", b"!"), ("~", b"~"), ("`", b"`"), ("/", b"/"), ("?", b"?"),
    ("+", b"+"), ('"', b'"'), ("|", b"|"), ("{", b"{"), ("Win", b"\xec\xed"),
    ("Ctrl+Shift", b"\xf6\xf7"), ("Shift+Ctrl", b"\xf6\xf7"), ("Alt+A", b""), ("Alt", b""),
    ("Shift", b""), ("Ctrl", b""),
]


def test_key_names_send_the_table_codes(pty):
    with zezodavoru.Panel(pty.path) as panel:
        assert panel.state == "linked" and panel.target == pty.path
        wrong = []
        for name, codes in KEY_CODES:
            # Escape after each key marks where its codes end.
            panel.press(name)
            panel.press("Escape")
            got = pty.read(len(codes) + 1)
            if got != codes + b"\x1b":
                wrong.append((name, codes, got))
        assert wrong == []
        panel.type("Hello, World!\n")
        assert pty.read(15) == b"HELLO, WORLD!\xe9"
        panel.send(b"\x00\xff\x41")
        assert pty.read(3) == b"\x00\xff\x41"
        assert panel.sent == sum(len(c) + 1 for _, c in KEY_CODES) + 14 + 3
