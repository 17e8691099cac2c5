#!/usr/bin/python3
"""Feeds the xrf subcommands input nobody should give them: empty and binary files, a 100 MiB
line, invalid UTF-8, NUL bytes, paths that can't be read. Each run must end within its time
limit with a correct result or a clear error (non-zero exit, one "xrf: " line on stderr),
never a signal. Usage: xrf_bad_input_check.py XRF WORK_DIR."""
import base64
import json
import os
import random
import subprocess
import sys
import threading

TIME_LIMIT = 120  # seconds for one run; the 100 MiB cases take a few under AddressSanitizer
BIG = 100 * 1024 * 1024

failures = []


def run(xrf, args, stdin=b""):
    """Runs xrf; returns (exit status, stdout, stderr), or None after recording a hang."""
    try:
        done = subprocess.run([xrf, *args], input=stdin, capture_output=True, timeout=TIME_LIMIT)
    except subprocess.TimeoutExpired:
        failures.append(f"{args}: no end within {TIME_LIMIT} s")
        return None
    if done.returncode < 0:
        failures.append(f"{args}: killed by signal {-done.returncode}: {done.stderr[-2000:]!r}")
        return None
    return done.returncode, done.stdout, done.stderr


def name(args):
    return " ".join(a if len(a) < 60 else a[:20] + f"...({len(a)} bytes)" for a in args)


def expect_ok(xrf, args, stdout=None, check=None, status=0, stdin=b""):
    result = run(xrf, args, stdin)
    if result is None:
        return
    code, out, err = result
    if code != status:
        failures.append(f"{name(args)}: exit {code}, expected {status}; stderr {err[-500:]!r}")
    elif stdout is not None and out != stdout:
        failures.append(f"{name(args)}: stdout {out[:200]!r}..., expected {stdout[:200]!r}...")
    elif check is not None:
        problem = check(out)
        if problem:
            failures.append(f"{name(args)}: {problem}")


def expect_error(xrf, args, stdin=b""):
    """A clear refusal: non-zero exit and a single "xrf: " line on stderr."""
    result = run(xrf, args, stdin)
    if result is None:
        return
    code, _, err = result
    lines = err.decode("utf-8", "replace").splitlines()
    if code == 0:
        failures.append(f"{name(args)}: exit 0, expected an error")
    elif len(lines) != 1 or not lines[0].startswith("xrf: "):
        failures.append(f"{name(args)}: stderr is not one 'xrf: ' line: {err[-500:]!r}")


def expect_answer(xrf, args, stdin=b""):
    """Either a result (exit 0) or a clear refusal (exit 1 and one "xrf: " line after any
    "xrf: warning: " lines), never more."""
    result = run(xrf, args, stdin)
    if result is None:
        return
    code, _, err = result
    # Split at line feeds only: splitlines() would also cut at form feeds and U+2028.
    lines = err.decode("utf-8", "replace").split("\n")[:-1]
    errors = [line for line in lines if not line.startswith("xrf: warning: ")]
    if code != 0 and (code != 1 or len(errors) != 1 or not errors[0].startswith("xrf: ")):
        failures.append(f"{name(args)}: exit {code}, stderr {err[-500:]!r}")


def expect_usage_error(xrf, args):
    """A usage error: exit 2 and one "xrf: " line."""
    result = run(xrf, args)
    if result is None:
        return
    code, _, err = result
    lines = err.decode("utf-8", "replace").splitlines()
    if code != 2 or len(lines) != 1 or not lines[0].startswith("xrf: "):
        failures.append(f"{name(args)}: exit {code}, stderr {err[-500:]!r}; expected a usage error")


def json_lines(count):
    def check(out):
        # One row a line; splitlines() would also cut at the U+2028 a row may hold.
        lines = out.decode("utf-8").split("\n")[:-1]  # invalid UTF-8 raises: a failure too
        if len(lines) != count:
            return f"{len(lines)} rows, expected {count}"
        for line in lines:
            if not isinstance(json.loads(line), dict):
                return f"not a JSON object: {line[:100]}"
        return None
    return check


def write(directory, file_name, data):
    path = os.path.join(directory, file_name)
    with open(path, "wb") as file:
        file.write(data)
    return path


def file_commands(path, work):
    """Every subcommand that reads a file, over path."""
    return [["base64", "encode", path], ["base64", "decode", path], ["vcard", "count", path],
            ["vcard", "split", path, "-o", os.path.join(work, "split")], ["csv", "rows", path],
            ["csv", "rows", "--standard", path], ["contacts", "csv2vcf", path], ["xml", "info", path]]


def main():
    xrf, work = sys.argv[1], os.path.join(sys.argv[2], "xrf_bad_input")
    os.makedirs(work, exist_ok=True)
    rng = random.Random(10)

    # No input at all: nothing to encode, no records, no rows, and no XML message.
    empty = write(work, "empty", b"")
    expect_ok(xrf, ["base64", "encode", empty], b"\n")
    expect_ok(xrf, ["base64", "decode", empty], b"")
    expect_ok(xrf, ["vcard", "count", empty], b"0\n")
    expect_ok(xrf, ["csv", "rows", empty], b"")
    expect_ok(xrf, ["csv", "rows", "--standard", empty], b"")
    expect_error(xrf, ["contacts", "csv2vcf", empty])
    expect_error(xrf, ["xml", "info", empty])

    # Binary bytes (NULs, invalid UTF-8, stray CRs): Base64 goes round trip, the readers
    # finish with an answer, the XML reader refuses.
    binary = rng.randbytes(1 << 20)
    binary_path = write(work, "binary", binary)
    encoded = base64.b64encode(binary) + b"\n"
    expect_ok(xrf, ["base64", "encode", binary_path], encoded)
    expect_ok(xrf, ["base64", "decode", write(work, "binary.b64", encoded)], binary)
    expect_error(xrf, ["base64", "decode", binary_path])
    expect_ok(xrf, ["vcard", "count", binary_path], check=lambda out: None if out.strip().isdigit()
              else f"not a count: {out[:100]!r}")
    # Every line after the header is a row.
    expect_ok(xrf, ["csv", "rows", binary_path],
              check=json_lines(binary.count(b"\n") - binary.endswith(b"\n")))
    # Standard CSV finds quotes in the wrong places there (or, by chance, none).
    expect_answer(xrf, ["csv", "rows", "--standard", binary_path])
    expect_answer(xrf, ["contacts", "csv2vcf", binary_path])
    expect_error(xrf, ["xml", "info", binary_path])

    # One line of 100 MiB, no line feed anywhere.
    line = write(work, "big_line", b"QUJD" * (BIG // 4))
    expect_ok(xrf, ["base64", "decode", line],
              check=lambda out: None if out == b"ABC" * (BIG // 4) else f"{len(out)} bytes")
    expect_ok(xrf, ["base64", "encode", line],
              check=lambda out: None if len(out) == (BIG + 2) // 3 * 4 + 1 else f"{len(out)} bytes")
    expect_ok(xrf, ["vcard", "count", line], b"0\n")
    expect_ok(xrf, ["csv", "rows", line], b"")  # the header line alone
    big_csv = write(work, "big_csv", b"title\n" + b"x" * BIG)
    expect_ok(xrf, ["csv", "rows", big_csv], json.dumps({"title\n": "x" * BIG},
                                                        separators=(",", ":")).encode() + b"\n")
    # A record above the standard reader's 64 MiB is refused, with its line, not gathered.
    expect_error(xrf, ["csv", "rows", "--standard", big_csv])
    expect_error(xrf, ["csv", "rows", "--standard", write(work, "open_quote", b'a\n"' + b"q" * BIG)])
    expect_ok(xrf, ["csv", "rows", "--standard", write(work, "long_note", b'n\n"' + b"q\n" * (BIG // 4) + b'"\n')],
              check=lambda out: None if len(out) == len(b'{"n":""}\n') + 3 * (BIG // 4) else f"{len(out)} bytes")
    big_record = write(work, "big_record", b"BEGIN:VCARD\nNOTE:" + b"n" * BIG + b"\nEND:VCARD\n")
    expect_ok(xrf, ["vcard", "count", big_record], b"1\n")
    big_xml = write(work, "big_xml", b'<iq id="7"><body ns="m">' + b"t" * BIG + b"</body></iq>")
    expect_ok(xrf, ["xml", "info", big_xml], check=lambda out: None if b"command id: 7\n" in out
              and b"message type: m\n" in out else f"output {out[:300]!r}")

    # Invalid UTF-8 and NUL bytes inside otherwise good input.
    vcards = (b"BEGIN:VCARD\nFN:\xff\xfe\x00x\nEND:VCARD\n"
              b"\xc3\x28 BEGIN:VCARD\n"  # a marker in an invalid line doesn't count
              b"BEGIN:VCARD\r\nN:\x00\r\nEND:VCARD\r\n")
    vcard_path = write(work, "vcards", vcards)
    expect_ok(xrf, ["vcard", "count", vcard_path], b"2\n")
    split_dir = os.path.join(work, "split_good")
    expect_ok(xrf, ["vcard", "split", vcard_path, "-o", split_dir, "--force"], b"")
    parts = [open(os.path.join(split_dir, f"{i}.vcf"), "rb").read() for i in (1, 2)]
    if parts != [b"BEGIN:VCARD\nFN:\xff\xfe\x00x\nEND:VCARD\n",
                 b"BEGIN:VCARD\r\nN:\x00\r\nEND:VCARD\r\n"]:
        failures.append(f"vcard split of invalid UTF-8 and NUL: {parts!r}")
    csv_path = write(work, "csv", b"a,b\n\xff,\xc3\n\x00,\"x\x00y\"\n")
    expect_ok(xrf, ["csv", "rows", csv_path],
              b'{"a":"\xef\xbf\xbd","b\\n":"\xef\xbf\xbd\\n"}\n{"a":"\\u0000","b\\n":"x\\u0000y\\n"}\n')
    # Not UTF-8: the standard reader takes the bytes for Windows-1252 letters.
    expect_ok(xrf, ["csv", "rows", "--standard", csv_path],
              '{"a":"ÿ","b":"Ã"}\n'.encode() + b'{"a":"\\u0000","b":"x\\u0000y"}\n')
    # UTF-16 without a byte order mark is told by its zero bytes, not read as NUL-laden text.
    expect_ok(xrf, ["csv", "rows", "--standard", write(work, "utf16", "a,b\n1,2\n".encode("utf-16-le"))],
              b'{"a":"1","b":"2"}\n')
    expect_ok(xrf, ["csv", "rows", "--standard", write(work, "utf16bom", "a,b\n1,2\n".encode("utf-16"))],
              b'{"a":"1","b":"2"}\n')
    expect_ok(xrf, ["base64", "decode", write(work, "nul.b64", b"QUJD\x00!!!")], b"ABC")
    expect_ok(xrf, ["xml", "info", write(work, "utf8.xml", b'<iq id="\xe4\xb8\xad"/>')],
              check=lambda out: None if "command id: 中\n".encode() in out else f"{out!r}")
    expect_error(xrf, ["xml", "info", write(work, "nul.xml", b'<iq id="1">\x00</iq>')])
    expect_error(xrf, ["xml", "info", write(work, "bad.xml", b"<iq><body></iq>")])

    # Odd arguments to the phone commands: argv holds any bytes but NUL, up to 128 KiB each.
    long_number = "5" * 100000
    expect_ok(xrf, ["selftest"], check=lambda out: None if out else "no output")
    expect_ok(xrf, ["phone", "compare", "", ""], b"equal\n")
    expect_ok(xrf, ["phone", "compare", long_number, long_number], b"equal\n")
    expect_ok(xrf, ["phone", "compare", long_number, long_number + "1"], b"different\n", status=1)
    expect_ok(xrf, ["phone", "compare", "\udcff\udcfe", "+1 650"], b"different\n", status=1)
    expect_ok(xrf, ["phone", "reversed", ""], b"\n")
    expect_ok(xrf, ["phone", "reversed", "\udcff+1 (650) 253-0000"], b"00003520561+\n")
    expect_ok(xrf, ["phone", "reversed", long_number, "--capacity", "2147483647"],
              long_number.encode() + b"\n")
    expect_ok(xrf, ["phone", "reversed", "123", "--capacity", "0"], b"\n")
    for bad in [["phone", "reversed", "123", "--capacity", "-1"],
                ["phone", "reversed", "123", "--capacity", "99999999999"],
                ["phone", "reversed", "123", "--capacity", "x"], ["phone", "compare", "1"],
                ["nosuch"], ["csv", "rows", "\udcff", "extra"], ["-\udcff"]]:
        expect_usage_error(xrf, bad)

    # Paths that can't be read: missing, a directory, a file whose reads fail (/proc/self/mem
    # at offset 0 opens but every read gives EIO).
    for path in [os.path.join(work, "missing"), work, "/proc/self/mem"]:
        for args in file_commands(path, work):
            expect_error(xrf, args)
    # A split whose output directory can't be made: a file stands in the way.
    expect_error(xrf, ["vcard", "split", vcard_path, "-o", os.path.join(empty, "sub")])

    # A FIFO: no size, no seeking; a writer hands over the data and closes.
    fifo = os.path.join(work, "fifo")
    if os.path.exists(fifo):
        os.unlink(fifo)
    os.mkfifo(fifo)
    for args, data, expected in [(["base64", "encode", fifo], b"hello", b"aGVsbG8=\n"),
                                 (["vcard", "count", fifo], vcards, b"2\n"),
                                 (["csv", "rows", fifo], b"k\nv\n", b'{"k\\n":"v\\n"}\n')]:
        # A daemon, so that a writer left waiting for a reader that never came can't hold
        # the check open.
        writer = threading.Thread(target=lambda d=data: open(fifo, "wb").write(d), daemon=True)
        writer.start()
        expect_ok(xrf, args, expected)
        writer.join(TIME_LIMIT)

    for failure in failures:
        print("FAIL", failure)
    print(f"{len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
