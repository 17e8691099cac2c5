#!/usr/bin/python3
"""Drives `xrf base64` as a user would: usage: xrf_base64_check.py XRF WORK_DIR."""
import base64
import os
import random
import subprocess
import sys

failures = []


def run(xrf, args, data):
    return subprocess.run([xrf, "base64", *args], input=data, capture_output=True)


def expect(what, actual, expected):
    if actual != expected:
        failures.append(f"{what}: got {actual!r}, expected {expected!r}")


def main():
    xrf, work_dir = sys.argv[1], sys.argv[2]
    payload = random.Random(5).randbytes(100000)

    encoded = run(xrf, ["encode"], payload)
    expect("encode exit", encoded.returncode, 0)
    expect("encode output", encoded.stdout, base64.b64encode(payload) + b"\n")

    path = os.path.join(work_dir, "xrf_base64_input.bin")
    with open(path, "wb") as file:
        file.write(payload)
    expect("encode FILE output", run(xrf, ["encode", path], b"").stdout, encoded.stdout)

    wrapped = base64.encodebytes(payload).replace(b"\n", b"\r\n")
    decoded = run(xrf, ["decode"], wrapped)
    expect("decode exit", decoded.returncode, 0)
    expect("decode output", decoded.stdout, payload)
    expect("decode unpadded", run(xrf, ["decode"], b"QQ").stdout, b"A")

    for bad in [b"QU-D", b"Q", b"QUJ\xc3\xa9"]:
        result = run(xrf, ["decode"], bad)
        expect(f"decode {bad!r} exit", result.returncode != 0, True)
        expect(f"decode {bad!r} stdout", result.stdout, b"")
        expect(f"decode {bad!r} stderr", result.stderr.startswith(b"xrf: input is not valid Base64"),
               True)

    missing = run(xrf, ["encode", os.path.join(work_dir, "no such file")], b"")
    expect("missing file exit", missing.returncode != 0, True)
    expect("missing file stdout", missing.stdout, b"")
    expect("missing file stderr", missing.stderr.startswith(b"xrf: cannot open "), True)

    for failure in failures:
        print("xrf base64 check:", failure, file=sys.stderr)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
