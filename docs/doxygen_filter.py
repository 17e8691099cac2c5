#!/usr/bin/env python3
"""Doxygen input filter: reads the library's headers, which use plain // comments, as
documented source. Line numbers are kept, so warnings point at the real lines.

- the file's top comment (the // lines before the first code line) describes the file (@file);
- a // block directly above a declaration documents it (becomes ///);
- a trailing // comment after a member, an enumerator or a declaration documents it (///<).
A // block followed by a blank line stays a plain comment, as do trailing comments after a
closing brace or a preprocessor line. The comments are plain text, not Doxygen markup: the
characters Doxygen would read as commands or HTML ("<iq>", "%@", "\\r\\n") are escaped.
"""
import re
import sys

COMMENT = re.compile(r"^(\s*)//(?![/!])(.*)$")
# A trailing comment: code, two spaces or more, then //. Quotes before it are skipped, so
# "//" inside a string literal is left alone.
TRAILING = re.compile(r'^((?:[^"/]|"(?:[^"\\]|\\.)*"|/(?!/))*?\S)(\s+)//(?![/!<])(.*)$')


SPECIAL = re.compile(r"([\\@<>&#%$])")


def doc(text):
    return SPECIAL.sub(r"\\\1", text)


def convert(lines):
    out = list(lines)
    n = len(lines)
    i = 0
    seen_code = False
    while i < n:
        m = COMMENT.match(lines[i])
        if not m:
            if lines[i].strip():
                seen_code = True
                t = TRAILING.match(lines[i])
                code = t.group(1).strip() if t else ""
                if t and not code.startswith(("#", "}")) and not code.endswith("{"):
                    out[i] = f"{t.group(1)}{t.group(2)}///<{doc(t.group(3))}"
            i += 1
            continue
        start = i
        while i < n and COMMENT.match(lines[i]):
            i += 1
        following = lines[i].strip() if i < n else ""
        if not seen_code:
            # The file's top comment: the file's description.
            for k in range(start, i):
                c = COMMENT.match(lines[k])
                out[k] = f"{c.group(1)}///{doc(c.group(2))}"
            out[i - 1] += " @file"
        elif following and not following.startswith("}"):
            for k in range(start, i):
                c = COMMENT.match(lines[k])
                out[k] = f"{c.group(1)}///{doc(c.group(2))}"
    return out


def main():
    with open(sys.argv[1], encoding="utf-8") as source:
        text = source.read()
    lines = text.split("\n")
    sys.stdout.write("\n".join(convert(lines)))


if __name__ == "__main__":
    main()
