#!/usr/bin/env python3
"""Writes how long the test command took into docs/testing.md, from the command's own output.

    scripts/test.sh 2>&1 | tee build/test.log
    docs/test_times.py build/test.log

scripts/test.sh says `=== NAME done in N s` after each stage and `all test runs passed in N s`
at its end. The block between `<!-- begin: test-command-time -->` and
`<!-- end: test-command-time -->` gets the whole time, a table of the stages, the day the log
was written and this machine's CPU and cores (run it on the machine that ran the command). A
log of a run that did not pass writes nothing.
"""
import datetime
import os
import re
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import write_block  # noqa: E402

STAGE = re.compile(r"^=== (.+) done in (\d+) s$")
WHOLE = re.compile(r"^all test runs passed in (\d+) s$")


def minutes(seconds):
    return f"{seconds // 60}:{seconds % 60:02d}"


def block(log_text, day, machine):
    stages = [(m.group(1), int(m.group(2))) for m in map(STAGE.match, log_text.split("\n")) if m]
    whole = [int(m.group(1)) for m in map(WHOLE.match, log_text.split("\n")) if m]
    if not whole or not stages:
        raise ValueError("the log holds no passed run of the test command")
    total = whole[-1]
    lines = [f"The last run written here, on {day} ({machine}): {total // 60} min {total % 60} s"
             f" ({total:,} s) in all. The stages took (minutes:seconds):", "",
             "| " + " | ".join(name for name, _ in stages) + " |",
             "|" + "---|" * len(stages),
             "| " + " | ".join(minutes(seconds) for _, seconds in stages) + " |"]
    return "\n".join(lines) + "\n"


def machine():
    model = "an unknown CPU"
    with open("/proc/cpuinfo", encoding="utf-8") as info:
        for line in info:
            if line.startswith("model name"):
                model = line.split(":", 1)[1].strip()
                break
    return f"{model}, {os.cpu_count()} cores"


def main():
    if len(sys.argv) != 2:
        print(__doc__.strip().split("\n\n")[1], file=sys.stderr)
        return 2
    log = sys.argv[1]
    page = os.path.join(os.path.dirname(os.path.abspath(__file__)), "testing.md")
    day = datetime.datetime.fromtimestamp(os.path.getmtime(log), datetime.timezone.utc)
    with open(log, encoding="utf-8", errors="replace") as source:
        text = source.read()
    try:
        write_block.write_block(page, "test-command-time",
                                block(text, day.strftime("%Y-%m-%d"), machine()))
    except ValueError as error:
        print(f"test_times: {log}: {error}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
