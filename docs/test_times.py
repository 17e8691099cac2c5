#!/usr/bin/env python3
"""Writes how long the test command took into docs/testing.md and README.md, from the command's
own output.

    scripts/test.sh 2>&1 | tee build/test.log
    docs/test_times.py build/test.log ["how the machine stood: a warm compiler cache, ..."]

scripts/test.sh says `=== NAME done in N s` after each stage and `all test runs passed in N s`
at its end. The block between `<!-- begin: test-command-time -->` and
`<!-- end: test-command-time -->` gets the whole time, a table of the stages, the day the log
was written and this machine's CPU and cores (run it on the machine that ran the command); the
README's block of the same name gets the whole time in one sentence. The optional second
argument says how the machine stood, which the log cannot tell (a cold or warm compiler cache,
other work beside it); both blocks carry it. A log of a run that did not pass writes nothing.
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


def total_seconds(log_text):
    whole = [int(m.group(1)) for m in map(WHOLE.match, log_text.split("\n")) if m]
    if not whole:
        raise ValueError("the log holds no passed run of the test command")
    return whole[-1]


def summary(log_text, day, machine, note=""):
    """The README's sentence: the whole time of the last passed run."""
    total = total_seconds(log_text)
    how = f", {note}" if note else ""
    return (f"Its last run written here took {total // 60} min {total % 60} s, on {day}"
            f" ({machine}{how}).\n")


def block(log_text, day, machine, note=""):
    stages = [(m.group(1), int(m.group(2))) for m in map(STAGE.match, log_text.split("\n")) if m]
    total = total_seconds(log_text)
    if not stages:
        raise ValueError("the log holds no passed run of the test command")
    how = f", {note}" if note else ""
    lines = [f"The last run written here, on {day} ({machine}{how}): {total // 60} min {total % 60} s"
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
    if len(sys.argv) not in (2, 3):
        print(__doc__.strip().split("\n\n")[1], file=sys.stderr)
        return 2
    log = sys.argv[1]
    note = sys.argv[2] if len(sys.argv) == 3 else ""
    docs = os.path.dirname(os.path.abspath(__file__))
    page = os.path.join(docs, "testing.md")
    readme = os.path.join(os.path.dirname(docs), "README.md")
    day = datetime.datetime.fromtimestamp(os.path.getmtime(log), datetime.timezone.utc)
    with open(log, encoding="utf-8", errors="replace") as source:
        text = source.read()
    try:
        day_text = day.strftime("%Y-%m-%d")
        write_block.write_block(page, "test-command-time", block(text, day_text, machine(), note))
        write_block.write_block(readme, "test-command-time",
                                summary(text, day_text, machine(), note))
    except ValueError as error:
        print(f"test_times: {log}: {error}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
