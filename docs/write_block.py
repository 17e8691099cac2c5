#!/usr/bin/env python3
"""Replaces a marked block of a documentation page with the text read from standard input.

    write_block.py PAGE NAME < TEXT

The block is everything between the lines `<!-- begin: NAME -->` and `<!-- end: NAME -->`; the
marker lines stay. The scripts that measure (scripts/bench_report.sh, scripts/coverage.sh)
write their figures this way, so that no figure on the pages is typed by hand. A page without
both markers, or with either twice, is left alone and the call fails.
"""
import sys


def replace_block(page_text, name, block):
    begin, end = f"<!-- begin: {name} -->", f"<!-- end: {name} -->"
    lines = page_text.split("\n")
    starts = [i for i, line in enumerate(lines) if line.strip() == begin]
    ends = [i for i, line in enumerate(lines) if line.strip() == end]
    if len(starts) != 1 or len(ends) != 1 or ends[0] < starts[0]:
        raise ValueError(f"expected one '{begin}' line and, after it, one '{end}' line")
    body = block.rstrip("\n").split("\n") if block.strip() else []
    return "\n".join(lines[:starts[0] + 1] + body + lines[ends[0]:])


def write_block(page, name, block):
    """Replaces the block NAME of the file PAGE; a ValueError names the page when it cannot."""
    with open(page, encoding="utf-8") as source:
        text = source.read()
    try:
        text = replace_block(text, name, block)
    except ValueError as error:
        raise ValueError(f"{page}: {error}") from error
    with open(page, "w", encoding="utf-8") as target:
        target.write(text)


def main():
    if len(sys.argv) != 3:
        print(__doc__.strip().split("\n\n")[1], file=sys.stderr)
        return 2
    try:
        write_block(sys.argv[1], sys.argv[2], sys.stdin.read())
    except ValueError as error:
        print(error, file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
