#!/usr/bin/env python3
"""Fails when the README and the pages under docs/ no longer hold together.

- The README is a front page: at most 250 lines.
- Every page under docs/ is named in the README's map of the documents.
- Every link between them resolves: to a file of the tree and, where it names one, to a heading
  of the page it points to (as GitHub makes a heading's anchor).
- The manual (docs/xrf.md) keeps a man page's shape, since the man page is written from it: its
  sections start with NAME and SYNOPSIS.

    pages_check.py [SOURCE_DIR]
"""
import glob
import os
import re
import sys

README_LINES = 250
LINK = re.compile(r"(?<!!)\[[^\]]*\]\(([^)\s]+)\)")
HEADING = re.compile(r"^(#{1,6}) +(.*?) *#*$")


def prose(text):
    """The page without its fenced and indented code and its code spans, line by line."""
    lines, fenced = [], False
    for line in text.split("\n"):
        if line.startswith("```"):
            fenced = not fenced
            lines.append("")
        elif fenced or line.startswith("    "):
            lines.append("")
        else:
            lines.append(re.sub(r"`[^`]*`", "", line))
    return lines


def anchors(text):
    """The anchors GitHub gives the page's headings: lower case, punctuation dropped, spaces as
    '-', and '-1', '-2', ... after a repeated one."""
    found, seen = set(), {}
    fenced = False
    for line in text.split("\n"):
        if line.startswith("```"):
            fenced = not fenced
        match = None if fenced else HEADING.match(line)
        if not match:
            continue
        slug = re.sub(r"[^\w\- ]", "", match.group(2).lower()).replace(" ", "-")
        count = seen.get(slug, 0)
        seen[slug] = count + 1
        found.add(slug if count == 0 else f"{slug}-{count}")
    return found


def check(root):
    problems = []
    pages = ["README.md"] + sorted(os.path.relpath(path, root)
                                   for path in glob.glob(os.path.join(root, "docs", "*.md")))
    texts = {}
    for page in pages:
        with open(os.path.join(root, page), encoding="utf-8") as source:
            texts[page] = source.read()

    length = len(texts["README.md"].rstrip("\n").split("\n"))
    if length > README_LINES:
        problems.append(f"README.md: {length} lines, more than {README_LINES}")

    for page in pages:
        for number, line in enumerate(prose(texts[page]), 1):
            for target in LINK.findall(line):
                if re.match(r"^[a-z]+:", target):
                    continue  # a web address or mail link
                path, _, anchor = target.partition("#")
                resolved = os.path.normpath(os.path.join(os.path.dirname(page), path or
                                                         os.path.basename(page)))
                where = f"{page}:{number}: link to {target}"
                if resolved.startswith("..") or not os.path.exists(os.path.join(root, resolved)):
                    problems.append(f"{where}: no such file")
                    continue
                if not anchor:
                    continue
                if not resolved.endswith(".md"):
                    problems.append(f"{where}: an anchor in a file that is not a page")
                    continue
                if resolved not in texts:
                    with open(os.path.join(root, resolved), encoding="utf-8") as source:
                        texts[resolved] = source.read()
                if anchor not in anchors(texts[resolved]):
                    problems.append(f"{where}: no heading of {resolved} has that anchor")

    linked = {os.path.normpath(path) for line in prose(texts["README.md"])
              for path in (target.partition("#")[0] for target in LINK.findall(line)) if path}
    for page in pages[1:]:
        if page not in linked:
            problems.append(f"README.md: the map of the documents does not name {page}")

    manual = os.path.join("docs", "xrf.md")
    if manual in texts:
        sections = [line[3:].strip() for line in texts[manual].split("\n")
                    if line.startswith("## ")]
        if sections[:2] != ["NAME", "SYNOPSIS"]:
            problems.append(f"{manual}: the man page's sections must start with NAME and "
                            f"SYNOPSIS, not {sections[:2]}")
    return pages, problems


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(
        os.path.dirname(os.path.abspath(__file__)))
    pages, problems = check(root)
    for problem in problems:
        print(problem, file=sys.stderr)
    print(f"{len(pages)} pages checked, {len(problems)} problems")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
