#!/usr/bin/env python3
"""Checks that the manual page and the bash completion cover the whole command.

    check-command-docs.py BINARY MANPAGE[.gz] COMPLETION

Walks the command's help (every subcommand and their subcommands) and fails, naming each gap,
when the manual page has no section for a subcommand or the bash completion lacks a
subcommand or an option. Exits 77 (skipped) when the manual page was not built.
"""
import gzip
import os
import re
import subprocess
import sys


def help_text(binary, path):
    result = subprocess.run([binary, *path, "--help"], capture_output=True, text=True, check=False)
    if result.returncode != 0:
        raise SystemExit(f"{' '.join([binary, *path])} --help exited {result.returncode}: {result.stderr}")
    return result.stdout


def block(text, title):
    """Lines of a help block such as 'Options:' or 'Subcommands:'."""
    lines, inside = [], False
    for line in text.splitlines():
        if line == title:
            inside = True
        elif inside and (line.startswith("  ") or not line):
            if line:
                lines.append(line)
        elif inside:
            break
    return lines


def subcommands(text):
    return [m.group(1) for line in block(text, "Subcommands:") if (m := re.match(r"  ([a-z][a-z-]*)\s", line))]


def options(text):
    found = []
    for line in block(text, "Options:"):
        m = re.match(r"  (?:-\w,)?(--[a-z][a-z-]*)", line)
        if m:
            found.append(m.group(1))
    return found


def walk(binary, path=()):
    text = help_text(binary, list(path))
    yield path, text
    for name in subcommands(text):
        yield from walk(binary, (*path, name))


def main(argv):
    if len(argv) != 4:
        print(__doc__, file=sys.stderr)
        return 64
    binary, manpage, completion = argv[1:]
    if not os.path.exists(manpage):
        print(f"no manual page at {manpage} (help2man missing?)")
        return 77
    opener = gzip.open if manpage.endswith(".gz") else open
    with opener(manpage, "rt", encoding="utf-8") as f:
        page = f.read()
    with open(completion, encoding="utf-8") as f:
        words = set(re.findall(r"--?[a-z][a-z-]*|[a-z][a-z-]*", f.read()))

    gaps = []
    commands = 0
    for path, text in walk(binary):
        if path:
            commands += 1
            title = "zarezodud " + " ".join(path)
            if f'.SS "{title}"' not in page:
                gaps.append(f"manual page: no section for '{title}'")
            if path[-1] not in words:
                gaps.append(f"bash completion: subcommand '{title}' missing")
        for option in options(text):
            if option not in words:
                gaps.append(f"bash completion: option {option} of 'zarezodud {' '.join(path)}' missing")
    if commands == 0:
        gaps.append("the command's help lists no subcommand")
    for gap in gaps:
        print(gap)
    if not gaps:
        print(f"manual page and bash completion cover all {commands} subcommands and their options")
    return 1 if gaps else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
