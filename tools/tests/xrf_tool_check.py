#!/usr/bin/python3
"""End-to-end checks of xrf contacts csv2vcf / dedupe, xrf demo and the tool's conventions, run
as a user runs them.

Usage: xrf_tool_check.py XRF WORK_DIR CASE
  (CASE: csv2vcf, layouts, dedupe, cancel, errors, demo, help, usage, stdin, csvinput)
"""
import base64
import os
import shutil
import signal
import stat
import subprocess
import sys
import threading
import time

XRF, WORK = sys.argv[1], sys.argv[2]
DATA = os.path.join(os.path.dirname(os.path.abspath(__file__)), "data")
SAMPLES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "samples")
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


def run(*args, timeout=60, stdin=None):
    return subprocess.run([XRF, *args], capture_output=True, timeout=timeout, input=stdin)


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
    # Unknown and repeated columns: one line each, once for the whole file; then the summary,
    # with the values those columns held.
    check(to_file.stderr.decode().splitlines() == [
        'xrf: warning: unknown columns ignored: "Shoe Size"',
        'xrf: warning: repeated columns ignored: "phone 1"',
        "xrf: " + os.path.join(DATA, "small.csv") + ": this library's own, English, ',', UTF-8",
        "xrf: 3 contacts, 3 numbers, 2 e-mails written",
        'xrf: warning: 1 value in column "Shoe Size" not written: no place in a contact',
        'xrf: warning: 1 value in column "phone 1" not written: no place in a contact'],
        f"warnings: {to_file.stderr!r}")
    check(leftovers(out_dir) == [], f"temporary files left: {leftovers(out_dir)}")

    to_stdout = run("contacts", "csv2vcf", "--form", "device", os.path.join(DATA, "small.csv"))
    check(to_stdout.returncode == 0, f"csv2vcf to stdout exit {to_stdout.returncode}")
    check(to_stdout.stdout == expected, "csv2vcf to standard output differs from data/small.vcf")

    # A pipe (or a device such as /dev/null) named by -o is written in place, never replaced
    # by a renamed temporary file.
    fifo = os.path.join(out_dir, "pipe")
    os.mkfifo(fifo)
    received = []
    reader = threading.Thread(target=lambda: received.append(open(fifo, "rb").read()), daemon=True)
    reader.start()
    to_pipe = run("contacts", "csv2vcf", os.path.join(DATA, "small.csv"), "--form", "device",
                  "-o", fifo)
    reader.join(30)
    check(to_pipe.returncode == 0 and received == [expected],
          f"csv2vcf -o FIFO: exit {to_pipe.returncode}, {to_pipe.stderr!r}")
    check(stat.S_ISFIFO(os.stat(fifo).st_mode), "csv2vcf -o FIFO replaced the FIFO")
    check(leftovers(out_dir) == [], f"csv2vcf -o FIFO left {leftovers(out_dir)}")

    # The photo line carries the photo file's bytes exactly.
    text = expected.decode()
    start = text.index("PHOTO;ENCODING=base64;TYPE=JPEG:") + len("PHOTO;ENCODING=base64;TYPE=JPEG:")
    folded = text[start:text.index("\r\nEND:VCARD", start)]
    photo = base64.b64decode(folded.replace("\r\n ", ""))
    check(photo == open(os.path.join(DATA, "photo.jpg"), "rb").read(),
          "the PHOTO line does not decode to data/photo.jpg")


def vcard_lines(data):
    """The content lines of csv2vcf's output, folded lines joined."""
    return data.decode().replace("\r\n ", "").split("\r\n")


def case_layouts():
    """The exports of the common address books, as those programs write them."""
    out_dir = fresh_dir("layouts")
    rows = [
        ("outlook.csv",
         ["TEL;type=HOME;charset=UTF-8:020 7946 0018", "TEL;type=CELL;charset=UTF-8:07700 900123",
          "TEL;type=FAX;type=WORK;charset=UTF-8:020 7946 0101",
          "N;charset=UTF-8:Lee;Marie;Ann;Dr.;PhD", "NOTE;charset=UTF-8:Met at \"DevConf\", 2019\\nSecond line",
          "EMAIL;charset=UTF-8;type=INTERNET;type=OTHER;type=pref:ann.lee@work.example",
          "ADR;charset=UTF-8;type=Home;type=pref:;;12 Hanover Square\\nFlat 3;London;Greater London;"
          "W1S 1JA;United Kingdom", "TEL;type=CELL;charset=UTF-8:(650) 253-0000"],
         "xrf: 2 contacts, 6 numbers, 3 e-mails written", ["Spouse"]),
        ("google.csv",
         ["TEL;type=CELL;charset=UTF-8:090-1234-5678", "TEL;type=CELL;charset=UTF-8:+81 90 8765 4321",
          "TEL;type=FAX;type=WORK;charset=UTF-8:03-1234-5678",
          "EMAIL;charset=UTF-8;type=INTERNET;type=HOME;type=pref:k.sato@example.jp",
          "CATEGORIES;CHARSET=utf-8:Friends", "TEL;type=CELL;charset=UTF-8:06 12 34 56 78",
          "NOTE;charset=UTF-8:Prefers \"LINE\", not e-mail"],
         "xrf: 2 contacts, 4 numbers, 2 e-mails written", ["Photo", "Phone 1 - Type"]),
        ("google_new.csv",
         ["TEL;type=CELL;charset=UTF-8:+420 601 123 456", "TEL;type=HOME;charset=UTF-8:+420 2 1234 5678",
          "EMAIL;charset=UTF-8;type=INTERNET;type=WORK;type=pref:eva@example.cz", "TITLE:CTO"],
         "xrf: 1 contact, 2 numbers, 1 e-mail written", ["Website 1 - Label"]),
        ("thunderbird.csv",
         ["N;charset=UTF-8:Dubois;;L\u00e9a;;", "TEL;type=WORK;charset=UTF-8:+33 1 23 45 67 89",
          "BDAY:1988-03-09", "NOTE;charset=UTF-8:ligne 1\\nligne 2",
          "ADR;charset=UTF-8;type=Home;type=pref:;;5 rue de la Paix, B\u00e2timent B;Paris;;75002;France"],
         "xrf: 1 contact, 2 numbers, 2 e-mails written", ["Custom 1"]),
    ]
    for file_name, expected_lines, summary, unplaced in rows:
        source = os.path.join(DATA, file_name)
        result = run("contacts", "csv2vcf", source, "--form", "device")
        check(result.returncode == 0, f"{file_name}: exit {result.returncode}: {result.stderr!r}")
        lines = vcard_lines(result.stdout)
        for line in expected_lines:
            check(line in lines, f"{file_name}: no line {line!r} in\n" + "\n".join(lines))
        errors = result.stderr.decode().splitlines()
        check(summary in errors, f"{file_name}: no summary {summary!r}: {errors}")
        # Every column that lost a value says so, and nothing else is reported lost.
        lost = [line for line in errors if "not written" in line]
        check(len(lost) == len(unplaced) and all(f'"{c}"' in line for c, line in zip(unplaced, lost)),
              f"{file_name}: unplaced {lost}, expected columns {unplaced}")

        # --strict: exit 1, one line naming the file, line and column, nothing written.
        out = os.path.join(out_dir, file_name + ".vcf")
        strict = run("contacts", "csv2vcf", source, "-o", out, "--strict")
        lines = strict.stderr.decode().splitlines()
        check(strict.returncode == 1, f"{file_name} --strict: exit {strict.returncode}")
        check(any(file_name + ":" in line and f'column "{unplaced[0]}"' in line for line in lines),
              f"{file_name} --strict: stderr {strict.stderr!r}")
        check(not os.path.exists(out) and leftovers(out_dir) == [],
              f"{file_name} --strict wrote {os.listdir(out_dir)}")

    # The default, standard form of the same export: N in its standard order, text escaped.
    standard = vcard_lines(run("contacts", "csv2vcf", os.path.join(DATA, "outlook.csv")).stdout)
    for line in ["N:Lee;Ann;Marie;Dr.;PhD", "ORG:Acme\\; Inc;Design", "TEL;TYPE=CELL:07700 900123",
                 'NOTE:Met at "DevConf"\\, 2019\\nSecond line']:
        check(line in standard, f"outlook.csv standard form: no line {line!r} in\n" + "\n".join(standard))

    # The same export in UTF-16 with its mark gives the same records.
    utf8 = open(os.path.join(DATA, "outlook.csv"), "rb").read()
    utf16 = os.path.join(out_dir, "outlook16.csv")
    with open(utf16, "wb") as f:
        f.write(utf8.decode("utf-8-sig").encode("utf-16"))
    one = run("contacts", "csv2vcf", os.path.join(DATA, "outlook.csv"))
    other = run("contacts", "csv2vcf", utf16)
    check(other.returncode == 0 and other.stdout == one.stdout,
          f"UTF-16 export: exit {other.returncode}, {other.stderr!r}")
    # A quote left open is an error that names its line, with nothing written.
    broken = os.path.join(out_dir, "broken.csv")
    with open(broken, "wb") as f:
        f.write(b'First Name,Notes\r\nAnn,"fine"\r\nBob,"never closed\r\nCid,x\r\n')
    result = run("contacts", "csv2vcf", broken)
    check(result.returncode == 1 and result.stdout == b"" and
          result.stderr.decode().startswith("xrf: ") and "broken.csv:3: " in result.stderr.decode(),
          f"open quote: exit {result.returncode}, {result.stderr!r}")


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
        (["contacts", "dedupe", empty], "empty.csv: no vCard records"),
        (["contacts", "show", bad_kind], 'bad_kind.csv:2: "Cellular" in column "Phone Type"'),
        # A directory opens but cannot be read: a read error, not an empty input.
        (["vcard", "count", work], "cannot read " + work + ": Is a directory"),
        (["csv", "rows", work], "cannot read " + work + ": Is a directory"),
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


def commands(prefix=()):
    """Every command path, from the command lists that --help prints."""
    result = run(*prefix, "--help")
    text = result.stdout.decode()
    if "Subcommands:" not in text:
        return [list(prefix)]
    paths = [list(prefix)] if prefix else []
    for line in text.split("Subcommands:")[1].splitlines()[1:]:
        if not line.startswith("  ") or not line.strip():
            break
        paths += commands((*prefix, line.split()[0]))
    return paths


def case_help():
    paths = commands()
    check(["contacts", "csv2vcf"] in paths and ["csv", "rows"] in paths and len(paths) > 15,
          f"commands found: {paths}")
    for args in paths:
        result = run(*args, "--help")
        name = " ".join(args)
        check(result.returncode == 0 and b"Usage" in result.stdout,
              f"{name} --help: exit {result.returncode}, {result.stdout[:60]!r}")
        # Each shows how it is used, with a line that runs the tool.
        text = result.stdout.decode()
        check("Example:\n  xrf " in text, f"{name} --help has no example:\n{text}")


def expect_usage_error(args, words):
    result = run(*args)
    lines = result.stderr.decode().splitlines()
    check(result.returncode == 2, f"{args}: exit {result.returncode}, expected 2")
    check(len(lines) == 1 and lines[0].startswith("xrf: ") and all(w in lines[0] for w in words),
          f"{args}: stderr {result.stderr!r}, expected one line with {words}")
    check(result.stdout == b"", f"{args}: stdout {result.stdout[:80]!r}")


def case_usage():
    work = fresh_dir("usage")
    for args, words in [
            (["nosuch"], ['unknown command "nosuch"', "contacts"]),
            ([], ["needs a command"]),
            (["csv"], ["xrf csv needs a command", "rows"]),
            (["csv", "nosuch", "x"], ['unknown command "nosuch"', "rows"]),
            (["csv", "rows"], ["FILE is required", "xrf csv rows --help"]),
            (["contacts", "csv2vcf", "a.csv", "--bogus"], ["--bogus"]),
            (["phone", "compare", "1"], ["B is required"]),
            (["phone", "reversed", "1", "--capacity", "x"], ["--capacity"]),
            (["vcard", "split", "x.vcf"], ["--output"])]:
        expect_usage_error(args, words)

    # "++" is a number, not CLI11's end of a command's arguments.
    result = run("phone", "compare", "++", "++")
    check(result.returncode == 0 and result.stdout == b"equal\n", f"compare ++ ++: {result!r}")
    result = run("phone", "reversed", "++")
    check(result.returncode == 0 and result.stdout == b"+\n", f"reversed ++: {result!r}")

    # -v before or after the command turns the library's lines on; without it they stay off
    # while the tool's own warnings show.
    csv = os.path.join(work, "surplus.csv")
    with open(csv, "w") as f:
        f.write("a\n1,2\n")
    quiet = run("csv", "rows", csv)
    check(quiet.returncode == 0 and quiet.stderr == b"", f"library lines without -v: {quiet.stderr!r}")
    for args in [["-v", "csv", "rows", csv], ["csv", "-v", "rows", csv], ["csv", "rows", csv, "-v"],
                 ["csv", "rows", "--verbose", csv]]:
        loud = run(*args)
        check(loud.returncode == 0 and b"possible error in following line" in loud.stderr
              and loud.stdout == quiet.stdout, f"{args}: {loud.returncode} {loud.stderr!r}")
    contacts = os.path.join(work, "contacts.csv")
    with open(contacts, "w") as f:
        f.write("Given Name,Shoe Size\nAnn,38\n")
    result = run("contacts", "csv2vcf", contacts)
    check(b"xrf: warning: unknown columns ignored" in result.stderr, f"tool warning: {result.stderr!r}")

    # vcard split leaves existing files alone unless --force.
    out = os.path.join(work, "split")
    os.makedirs(out)
    with open(os.path.join(out, "2.vcf"), "w") as f:
        f.write("mine\n")
    vcf = os.path.join(DATA, "numbers.vcf")
    refused = run("vcard", "split", vcf, "-o", out)
    check(refused.returncode == 1 and b"--force" in refused.stderr and
          len(refused.stderr.splitlines()) == 1, f"split over files: {refused!r}")
    check(sorted(os.listdir(out)) == ["2.vcf"] and open(os.path.join(out, "2.vcf")).read() == "mine\n",
          f"a refused split changed {os.listdir(out)}")
    forced = run("vcard", "split", vcf, "-o", out, "--force")
    check(forced.returncode == 0 and open(os.path.join(out, "2.vcf")).read().startswith("BEGIN:VCARD"),
          f"split --force: {forced!r}")


def case_stdin():
    """ "-" reads standard input wherever a FILE is due, with the same output as the file."""
    vcf = os.path.join(DATA, "numbers.vcf")
    csv = os.path.join(DATA, "small.csv")
    google = os.path.join(DATA, "google.csv")
    for args, path in [(["vcard", "count"], vcf), (["csv", "rows"], csv),
                       (["csv", "rows", "--standard"], google), (["base64", "encode"], vcf),
                       (["contacts", "csv2vcf"], google)]:
        from_file = run(*args, path)
        from_stdin = run(*args, "-", stdin=open(path, "rb").read())
        check(from_file.returncode == 0 and from_stdin.returncode == 0 and
              from_stdin.stdout == from_file.stdout and from_file.stdout,
              f"{args} -: exit {from_stdin.returncode}, {from_stdin.stderr!r}")
    split = fresh_dir("stdin_split")
    result = run("vcard", "split", "-", "-o", split, stdin=open(vcf, "rb").read())
    check(result.returncode == 0 and len(os.listdir(split)) == 11, f"split -: {os.listdir(split)}")

    # An "END:VCARD" line outside any record does not end the reading.
    stray = b"END:VCARD\r\nBEGIN:VCARD\r\nEND:VCARD\r\nEND:VCARD\r\nBEGIN:VCARD\r\nEND:VCARD\r\n"
    counted = run("vcard", "count", "-", stdin=stray).stdout
    check(counted == b"2\n", f"count with stray END:VCARD lines: {counted!r}")

    # The line-based reader keeps its output; the standard one reads the quoting.
    text = b'Name,Note\r\nAnn,"Met at ""DevConf"", 2019\r\nline 2"\r\n'
    lines = run("csv", "rows", "-", stdin=text).stdout
    check(lines == b'{"Name":"Ann","Note\\r\\n":"Met at \\"DevConf\\"\\"","field2":"2019\\r\\n"}\n'
                   b'{"Name":"line 2\\"\\r\\n"}\n', f"csv rows: {lines!r}")
    standard = run("csv", "rows", "--standard", "-", stdin=text).stdout
    check(standard == b'{"Name":"Ann","Note":"Met at \\"DevConf\\", 2019\\r\\nline 2"}\n',
          f"csv rows --standard: {standard!r}")


def case_csvinput():
    """show, dedupe and vcf2csv read CSV files as they read vCard files, told by the content."""
    work = fresh_dir("csvinput")
    vcf = os.path.join(DATA, "numbers.vcf")
    # The vCard file as CSV, under a name that says nothing of either.
    as_csv = os.path.join(work, "numbers.txt")
    result = run("contacts", "vcf2csv", vcf, "-o", as_csv)
    check(result.returncode == 0, f"vcf2csv: {result.returncode} {result.stderr!r}")
    check(("xrf: " + vcf + ": vCard, UTF-8") in result.stderr.decode().splitlines(),
          f"vcf2csv names what it read: {result.stderr!r}")
    same_vcf = os.path.join(work, "cards.csv")  # a vCard file under a CSV name
    shutil.copy(vcf, same_vcf)
    for command in (["dedupe"], ["dedupe", "--json"], ["show"], ["show", "--json"]):
        from_vcf = run("contacts", *command, vcf)
        from_csv = run("contacts", *command, as_csv)
        from_named = run("contacts", *command, same_vcf)
        check(from_vcf.returncode == 0 and from_csv.returncode == 0 and from_named.returncode == 0,
              f"{command}: exit {from_vcf.returncode}/{from_csv.returncode}/{from_named.returncode}"
              f" {from_csv.stderr!r}")
        check(from_named.stdout == from_vcf.stdout, f"{command}: a .csv name changed the reading")
        # The CSV carries names and numbers alike; the one difference: a CSV row's empty
        # display name is made of the name parts, where the vCard record had N only.
        expected = from_vcf.stdout.replace(b"Lee, Ann", b"Ann Lee")
        if command != ["show", "--json"]:
            check(from_csv.stdout == expected, f"{command} over CSV: {from_csv.stdout[-300:]!r}")
        else:
            check(from_csv.stdout.count(b'"numbers"') == 11, f"show --json over CSV: {from_csv.stdout[:200]!r}")
        check(("xrf: " + as_csv + ": this library's own, English, ',', UTF-8").encode()
              in from_csv.stderr, f"{command}: summary {from_csv.stderr!r}")
    # CSV to CSV: the own columns come back as they went.
    again = os.path.join(work, "again.csv")
    twice = os.path.join(work, "twice.csv")
    first = run("contacts", "vcf2csv", as_csv, "-o", again)
    second = run("contacts", "vcf2csv", again, "-o", twice)
    check(first.returncode == 0 and second.returncode == 0 and
          open(again, "rb").read() == open(twice, "rb").read(),
          f"vcf2csv over its own CSV: {second.returncode} {second.stderr!r}")

    # A semicolon CSV, as spreadsheets in many countries write it.
    semi = os.path.join(work, "semi.csv")
    with open(semi, "w") as f:
        f.write("Given Name;Family Name;Phone 1\nAnn;Lee;+44 20 7946 0018\nBo;Ng;020 7946 0018\n")
    result = run("contacts", "show", semi, "--delimiter", ";")
    check(result.returncode == 0 and result.stdout.decode().splitlines()[0] == "#1 Ann Lee",
          f"show --delimiter ';': {result.returncode} {result.stdout!r} {result.stderr!r}")
    check("this library's own, English, ';', UTF-8".encode() in result.stderr, f"';' summary: {result.stderr!r}")
    result = run("contacts", "dedupe", semi, "--delimiter", ";")
    check(result.returncode == 0 and b"1 group: 2 of 2 records" in result.stdout,
          f"dedupe --delimiter ';': {result.stdout!r} {result.stderr!r}")
    tab = os.path.join(work, "tab.csv")
    with open(tab, "w") as f:
        f.write("Given Name\tPhone 1\nAnn\t1\n")
    for word in ("tab", "\\t"):
        result = run("contacts", "show", tab, "--delimiter", word)
        check(result.returncode == 0 and result.stdout.startswith(b"#1 Ann\n  phone 1"),
              f"--delimiter {word}: {result.stdout!r} {result.stderr!r}")
    result = run("contacts", "show", tab, "--delimiter", "|")
    check(result.returncode == 2, f"--delimiter '|': exit {result.returncode}")

    # A header in which no column names a contact field: an error, never 0 contacts.
    nothing = os.path.join(work, "nothing.csv")
    with open(nothing, "w") as f:
        f.write("Colour,Size,Weight\nred,2,3\n")
    for command in ("show", "dedupe", "vcf2csv", "csv2vcf"):
        result = run("contacts", command, nothing)
        check(result.returncode == 1 and result.stdout == b"" and result.stderr.decode() ==
              f"xrf: no column of {nothing} names a contact field; its columns: Colour, Size, "
              "Weight\n" or command == "csv2vcf" and result.returncode == 1 and
              f"no column of {nothing} names a contact field".encode() in result.stderr,
              f"{command} without fields: {result.returncode} {result.stderr!r}")

    # A byte that no encoding explains is reported with its file and line; --strict refuses.
    bad = os.path.join(work, "bad.csv")
    with open(bad, "wb") as f:
        f.write(b"Given Name,Phone 1\nAnn,1\nB\xffo,2\n")
    # A vCard file in UTF-16 without a mark, with a lone surrogate on line 5.
    bad_vcf = os.path.join(work, "bad.vcf")
    with open(bad_vcf, "wb") as f:
        f.write("BEGIN:VCARD\nFN:Ann\nEND:VCARD\nBEGIN:VCARD\nFN:B".encode("utf-16-le") +
                b"\x00\xd8" + "o\nEND:VCARD\n".encode("utf-16-le"))
    for command, bad in [(c, bad) for c in ("show", "dedupe", "csv2vcf", "vcf2csv")] + \
            [(c, bad_vcf) for c in ("show", "dedupe", "vcf2csv")]:
        line, encoding = (3, ["--encoding", "UTF-8"]) if bad.endswith(".csv") else (5, [])
        result = run("contacts", command, bad, *encoding)
        check(result.returncode == 0 and
              any(text.startswith(f"xrf: warning: {bad}:{line}: ") for text in
                  result.stderr.decode().splitlines()),
              f"{command} {bad}: no warning for line {line}: {result.returncode} {result.stderr!r}")
        strict = run("contacts", command, bad, *encoding, "--strict")
        check(strict.returncode == 1 and strict.stdout == b"" and
              strict.stderr.decode().startswith("xrf: ") and f"{bad}:{line}: " in strict.stderr.decode(),
              f"{command} {bad} --strict: {strict.returncode} {strict.stderr!r}")


if __name__ == "__main__":
    os.makedirs(WORK, exist_ok=True)
    globals()["case_" + sys.argv[3]]()
    for failure in failures:
        print("FAIL:", failure)
    sys.exit(1 if failures else 0)
