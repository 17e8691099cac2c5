#!/usr/bin/python3
"""End-to-end checks of xrf contacts csv2vcf / dedupe and xrf demo, run as a user runs them.

Usage: xrf_tool_check.py XRF WORK_DIR CASE   (CASE: csv2vcf, dedupe, cancel, errors, demo, help)
"""
import base64
import os
import shutil
import signal
import subprocess
import sys
import time

XRF, WORK = sys.argv[1], sys.argv[2]
DATA = os.path.join(os.path.dirname(os.path.abspath(__file__)), "data")
SAMPLES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "samples")
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


def run(*args, timeout=60):
    return subprocess.run([XRF, *args], capture_output=True, timeout=timeout)


def fresh_dir(name):
    path = os.path.join(WORK, name)
    shutil.rmtree(path, ignore_errors=True)
    os.makedirs(path)
    return path


def leftovers(directory):
    return [f for f in os.listdir(directory) if ".xrf-" in f]


def case_csv2vcf():
    out_dir = fresh_dir("csv2vcf")
    out = os.path.join(out_dir, "small.vcf")
    with open(out, "wb") as f:
        f.write(b"an older file, to be replaced whole\n")
    expected = open(os.path.join(DATA, "small.vcf"), "rb").read()

    to_file = run("contacts", "csv2vcf", "--form", "device", os.path.join(DATA, "small.csv"), "-o", out)
    check(to_file.returncode == 0, f"csv2vcf -o exit {to_file.returncode}: {to_file.stderr!r}")
    check(open(out, "rb").read() == expected, "csv2vcf -o output differs from data/small.vcf")
    check(to_file.stdout == b"", f"csv2vcf -o wrote to standard output: {to_file.stdout[:80]!r}")
    # Unknown and repeated columns: one line each, once for the whole file.
    check(to_file.stderr.decode().splitlines() == [
        'xrf: warning: unknown columns ignored: "Shoe Size"',
        'xrf: warning: repeated columns ignored: "phone 1"'], f"warnings: {to_file.stderr!r}")
    check(leftovers(out_dir) == [], f"temporary files left: {leftovers(out_dir)}")

    to_stdout = run("contacts", "csv2vcf", "--form", "device", os.path.join(DATA, "small.csv"))
    check(to_stdout.returncode == 0, f"csv2vcf to stdout exit {to_stdout.returncode}")
    check(to_stdout.stdout == expected, "csv2vcf to standard output differs from data/small.vcf")

    # The photo line carries the photo file's bytes exactly.
    text = expected.decode()
    start = text.index("PHOTO;ENCODING=base64;TYPE=JPEG:") + len("PHOTO;ENCODING=base64;TYPE=JPEG:")
    folded = text[start:text.index("\r\nEND:VCARD", start)]
    photo = base64.b64decode(folded.replace("\r\n ", ""))
    check(photo == open(os.path.join(DATA, "photo.jpg"), "rb").read(),
          "the PHOTO line does not decode to data/photo.jpg")


def case_dedupe():
    result = run("contacts", "dedupe", os.path.join(DATA, "numbers.vcf"))
    check(result.returncode == 0, f"dedupe exit {result.returncode}: {result.stderr!r}")
    expected = """\
Group 1: 3 records share a number
  #1 Ann Lee: +44 20 7946 0018, +44 20 7946 0999
  #2 Lee, Ann: 020 7946 0018
  #8 Front Desk: +44 20 7946 0999
Group 2: 2 records share a number
  #3 Kenji Sato: 090-1234-5678
  #4 Kenji (work): +81-90-1234-5678
Group 3: 2 records share a number
  #6 Bob Smith: +1-650-253-0000
  #7 Robert: (650) 253-0000
Group 4: 2 records share a number
  #10 (no name): +33 6 12 34 56 78
  #11 Lucas Martin: 06 12 34 56 78
4 groups: 9 of 11 records share a number with another record.
"""
    check(result.stdout.decode() == expected, "dedupe groups:\n" + result.stdout.decode())

    unique_dir = fresh_dir("dedupe")
    unique = os.path.join(unique_dir, "unique.vcf")
    with open(unique, "w") as f:
        f.write("BEGIN:VCARD\r\nFN:A\r\nTEL:+44 20 7946 0018\r\nEND:VCARD\r\n"
                "BEGIN:VCARD\r\nFN:B\r\nTEL:+49 20 7946 0018\r\nEND:VCARD\r\n")
    result = run("contacts", "dedupe", unique)
    check(result.returncode == 0 and
          result.stdout == b"No two of the 2 records share a number.\n",
          f"dedupe without duplicates: {result.returncode} {result.stdout!r}")


def case_cancel():
    work = fresh_dir("cancel")
    big = os.path.join(work, "big.csv")
    with open(big, "w") as f:
        f.write("Given Name,Family Name,Phone 1,Phone 1 Type,Email 1,Note\n")
        for i in range(400000):
            f.write(f"Given{i},Family{i},+44 20 7946 {i % 10000:04d},Work,p{i}@example.org,n {i}\n")
    out = os.path.join(work, "big.vcf")
    process = subprocess.Popen([XRF, "contacts", "csv2vcf", big, "-o", out],
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    # The temporary file appears once the job has begun; interrupt it then.
    deadline = time.monotonic() + 30
    while not leftovers(work) and process.poll() is None and time.monotonic() < deadline:
        time.sleep(0.005)
    began = bool(leftovers(work))
    process.send_signal(signal.SIGINT)
    stdout, stderr = process.communicate(timeout=60)
    check(began, "the conversion ended before it could be interrupted; make the CSV larger")
    check(process.returncode not in (0, None), f"cancelled run exit {process.returncode}")
    check(process.returncode == 130, f"cancelled run exit {process.returncode}, not 130")
    check(not os.path.exists(out), "a cancelled run left big.vcf")
    check(leftovers(work) == [], f"a cancelled run left {leftovers(work)}")
    check(b"xrf: cancelled" in stderr, f"stderr of the cancelled run: {stderr!r}")


def case_errors():
    work = fresh_dir("errors")
    bad_kind = os.path.join(work, "bad_kind.csv")
    with open(bad_kind, "w") as f:
        f.write("Given Name,Phone,Phone Type\nAnn,123,Cellular\n")
    late_photo = os.path.join(work, "late_photo.csv")
    with open(late_photo, "w") as f:
        f.write("Given Name,Photo\nAnn,\nBob,\nCid,missing.jpg\n")
    not_image = os.path.join(work, "not_image.csv")
    with open(not_image, "w") as f:
        f.write("Given Name,Photo\nAnn,not_image.csv\n")
    empty = os.path.join(work, "empty.csv")
    open(empty, "w").close()
    kept = os.path.join(work, "kept.vcf")
    broken_samples = os.path.join(work, "samples")
    shutil.copytree(SAMPLES, broken_samples)
    with open(os.path.join(broken_samples, "device_reply.xml"), "w") as f:
        f.write("<iq id='1'><response>")

    rows = [
        (["contacts", "csv2vcf", os.path.join(work, "missing.csv")], "missing.csv: No such file"),
        (["contacts", "csv2vcf", empty], "no header line"),
        (["contacts", "csv2vcf", bad_kind, "-o", kept], '"Cellular" in column "Phone Type"'),
        (["contacts", "csv2vcf", late_photo], "late_photo.csv:4: cannot read photo"),
        (["contacts", "csv2vcf", not_image], "is not a JPEG or PNG image"),
        (["contacts", "csv2vcf", bad_kind, "-o", os.path.join(work, "no", "dir.vcf")],
         "cannot create a file in"),
        (["contacts", "dedupe", os.path.join(work, "missing.vcf")], "missing.vcf: No such file"),
        (["contacts", "dedupe", bad_kind], "no vCard records"),
        (["demo", "--samples", os.path.join(work, "nowhere")], "pass --samples DIR"),
        (["demo", "--samples", broken_samples], "demo failed: Parse the device reply:"),
    ]
    with open(kept, "wb") as f:
        f.write(b"the file from before\n")
    for args, message in rows:
        result = run(*args)
        name = " ".join(a.replace(work + "/", "") for a in args)
        lines = result.stderr.decode().splitlines()
        check(result.returncode != 0, f"{name}: exit 0")
        check(len(lines) == 1 and lines[0].startswith("xrf: ") and message in lines[0],
              f"{name}: stderr {result.stderr!r}, expected one line with {message!r}")
        if args[0] == "demo":
            # The demo reports each step it ran, then the outcome; never success.
            check(b"Outcome: success" not in result.stdout, f"{name}: success on stdout")
            if "device" in message:
                check(b"Outcome: failed: Parse the device reply: " in result.stdout,
                      f"{name}: no failed outcome on stdout: {result.stdout[-120:]!r}")
        else:
            # Nothing presented as a result: no records or groups on standard output.
            check(result.stdout == b"", f"{name}: partial result on stdout: {result.stdout[:80]!r}")
    check(open(kept, "rb").read() == b"the file from before\n", "a failed run changed its -o file")
    check(leftovers(work) == [], f"failed runs left {leftovers(work)}")


def case_demo():
    result = run("demo", timeout=30)
    out = result.stdout.decode()
    check(result.returncode == 0, f"demo exit {result.returncode}: {result.stderr!r}")
    check(result.stderr == b"", f"demo wrote to stderr without a terminal: {result.stderr!r}")
    for expected in [" 1. Read the sample contacts ", "12 contacts with 16 phone numbers",
                     " 2. Compose the vCards ", "with a 64x64 JPEG photo",
                     " 3. Write the vCard file ", " 4. Cut the file back into records ",
                     "12 records, as many as written, each byte for byte",
                     " 5. Find duplicate numbers ", "3 groups of records that share a number",
                     "#7 Robert Smith: (650) 253-0000", " 6. Parse the device reply ",
                     'packet type "contact", content type "syncContactsResult", command id "42"',
                     "outcome: success", "Outcome: success, 6 steps"]:
        check(expected in out, f"demo output lacks {expected!r}:\n{out}")

    keep = fresh_dir("demo")
    result = run("demo", "-o", keep, "--samples", SAMPLES)
    check(result.returncode == 0, f"demo -o exit {result.returncode}")
    written = open(os.path.join(keep, "contacts.vcf"), "rb").read()
    check(written.count(b"BEGIN:VCARD\r\n") == 12, "demo -o: not 12 records in contacts.vcf")
    check(written.count(b"PHOTO;ENCODING=base64;TYPE=JPEG:") == 1, "demo -o: not one photo")


def case_help():
    for args in [["contacts", "csv2vcf"], ["contacts", "dedupe"], ["demo"], ["contacts"]]:
        result = run(*args, "--help")
        check(result.returncode == 0 and b"Usage" in result.stdout,
              f"{' '.join(args)} --help: exit {result.returncode}, {result.stdout[:60]!r}")


if __name__ == "__main__":
    os.makedirs(WORK, exist_ok=True)
    globals()["case_" + sys.argv[3]]()
    for failure in failures:
        print("FAIL:", failure)
    sys.exit(1 if failures else 0)
