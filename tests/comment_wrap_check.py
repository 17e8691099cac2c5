#!/usr/bin/env python3
"""Fails on comments whose lines a rewrap broke or joined.

Two marks of a damaged comment, in the tracked C++ and CMake sources:
- a line of a paragraph broken early: a comment line that ends well before the column limit
  while the next line of the same paragraph goes on with a word that would have fitted on it
  (the next line starts in lower case and is not an item of a list or a "label: ..." line);
- rows of an aligned table joined into one paragraph: a row, cut near the column limit, that
  holds an aligned gap and runs on into a lower-case continuation row.
Run from anywhere: comment_wrap_check.py SOURCE_DIR
"""
import re
import subprocess
import sys

LIMIT = 100  # .clang-format's ColumnLimit
SLACK = 10  # a word this much shorter than the room left would have fitted
COMMENT = re.compile(r"^(\s*)(//|#) (\s*\S.*)$")
ITEM = re.compile(r"^([-*]|\d+[.)]|\S+:(\s|$)|[\"`(|<])")


def damaged(lines):
    for i in range(len(lines) - 1):
        a, b = COMMENT.match(lines[i]), COMMENT.match(lines[i + 1])
        if not a or not b or a.group(1) != b.group(1) or a.group(2) != b.group(2):
            continue
        text, following = a.group(3), b.group(3)
        table_row = text.startswith("  ")
        if table_row != following.startswith("  "):
            continue
        following = following.lstrip()
        first = following.split()[0]
        if not following[0].islower() or ITEM.match(following) or "(" in first:
            continue
        if table_row:
            new_row = first == text.split()[0]  # rows of a table start alike
            if not new_row and len(lines[i]) >= LIMIT - 3 and re.search(r"\S {2,}\S", text):
                yield i + 1, "table rows joined into one paragraph"
        elif len(lines[i]) + 1 + len(first) <= LIMIT - SLACK and not text.endswith(":"):
            yield i + 1, f"line broken early ('{first}' fits on it)"


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else "."
    files = subprocess.run(
        ["git", "-C", root, "ls-files", "*.h", "*.cpp", "*.h.in", "*.cpp.in", "*.cmake",
         "*CMakeLists.txt"], capture_output=True, text=True, check=True).stdout.split()
    found = 0
    for name in files:
        with open(f"{root}/{name}", encoding="utf-8") as source:
            for line, why in damaged(source.read().split("\n")):
                print(f"{name}:{line}: {why}")
                found += 1
    if found:
        print(f"comment_wrap_check: {found} damaged comment line(s); rewrap them by hand")
        return 1
    print(f"comment_wrap_check: {len(files)} files, no damaged comment")
    return 0


if __name__ == "__main__":
    sys.exit(main())
