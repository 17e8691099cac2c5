#!/usr/bin/env python3
"""The C++ blocks of the README and of the pages under docs/ are excerpts of the examples,
which are built and run as tests.

A block is announced by a comment line `<!-- example: FILE NAME -->` right before it; its text
must equal the lines of examples/FILE between the markers `// [NAME]`, with their common
indentation removed. Every C++ block of a page must be announced, so no untested code reaches a
reader.
"""
import glob
import os
import re
import sys
import textwrap

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
ANNOUNCE = re.compile(r"^<!-- example: (\S+) (\S+) -->$")


def excerpt(file_name, name):
    with open(os.path.join(ROOT, "examples", file_name), encoding="utf-8") as source:
        lines = source.read().split("\n")
    marks = [i for i, line in enumerate(lines) if line.strip() == f"// [{name}]"]
    if len(marks) != 2:
        raise ValueError(f"{file_name}: expected two '// [{name}]' markers, found {len(marks)}")
    return textwrap.dedent("\n".join(lines[marks[0] + 1:marks[1]]))


def check(page, text):
    problems = []
    lines = text.split("\n")
    blocks = 0
    for i, line in enumerate(lines):
        if line.strip() != "```cpp":
            continue
        blocks += 1
        end = next((j for j in range(i + 1, len(lines)) if lines[j].strip() == "```"), None)
        if end is None:
            problems.append(f"{page}:{i + 1}: unterminated block")
            continue
        announced = ANNOUNCE.match(lines[i - 1].strip()) if i > 0 else None
        if not announced:
            problems.append(f"{page}:{i + 1}: C++ block not taken from an example")
            continue
        try:
            expected = excerpt(*announced.groups())
        except (OSError, ValueError) as error:
            problems.append(f"{page}:{i}: {error}")
            continue
        if "\n".join(lines[i + 1:end]) != expected:
            problems.append(f"{page}:{i + 1}: block differs from {announced.group(1)} "
                            f"[{announced.group(2)}]")
    return blocks, problems


def main():
    pages = ["README.md"] + sorted(os.path.relpath(path, ROOT)
                                   for path in glob.glob(os.path.join(ROOT, "docs", "*.md")))
    blocks, problems = 0, []
    for page in pages:
        with open(os.path.join(ROOT, page), encoding="utf-8") as source:
            found, wrong = check(page, source.read())
        blocks += found
        problems += wrong
    for problem in problems:
        print(problem, file=sys.stderr)
    if blocks == 0:
        print("no C++ blocks found in " + ", ".join(pages), file=sys.stderr)
        return 1
    print(f"{blocks} blocks checked in {len(pages)} pages")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
