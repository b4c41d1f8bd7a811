#!/usr/bin/env python3
"""Prints the registry of a stopped Wine prefix, one line per key and value.

    tests/package/wine_registry.py PREFIX

Reads PREFIX/system.reg (as "hklm\\...") and PREFIX/user.reg (as
"hkcu\\..."), the files the Wine server writes when it stops. Both
registry views are in them: the 32-bit view of a 64-bit prefix lies below
"wow6432node" keys. A key prints as its path, a value as
"<key path> :: <value name> = <data as stored>", "@" naming the default
value. Paths and value names are lowercased, since the registry compares
them without case; data stays as it is. Lines come sorted, so that two
prefixes compare with comm(1).
"""

import re
import sys

KEY_LINE = re.compile(r'^\[(.*)\](?: \d+)?$')
VALUE_LINE = re.compile(r'^(@|"(?:[^"\\]|\\.)*")=(.*)$')


def unescape_name(text):
    return re.sub(r'\\(.)', r'\1', text)


def read_hive(path, hive):
    lines = set()
    key = None
    pending = ""
    try:
        with open(path, encoding="utf-8", errors="replace") as f:
            raw = f.read().splitlines()
    except FileNotFoundError:
        return lines
    for line in raw:
        # Long binary values continue on the next line after a backslash.
        if pending:
            line = pending + line.lstrip()
            pending = ""
        if line.endswith("\\") and key is not None and not line.startswith("["):
            pending = line[:-1]
            continue
        m = KEY_LINE.match(line)
        if m:
            key = hive + "\\" + m.group(1).replace("\\\\", "\\").lower()
            # Wine leaves out the section of a key that has subkeys and no
            # values: every ancestor is a key too.
            parts = key.split("\\")
            for depth in range(2, len(parts) + 1):
                lines.add("\\".join(parts[:depth]))
            continue
        if key is None or not line or line.startswith("#") or line.startswith(";"):
            continue
        m = VALUE_LINE.match(line)
        if m:
            name = "@" if m.group(1) == "@" else unescape_name(m.group(1)[1:-1]).lower()
            lines.add(f"{key} :: {name} = {m.group(2)}")
    return lines


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    prefix = sys.argv[1]
    lines = read_hive(f"{prefix}/system.reg", "hklm") | read_hive(f"{prefix}/user.reg", "hkcu")
    sys.stdout.write("".join(line + "\n" for line in sorted(lines)))


if __name__ == "__main__":
    main()
