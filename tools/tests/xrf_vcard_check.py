#!/usr/bin/python3
"""End-to-end checks of xrf contacts show, vcf2csv, dedupe and csv2vcf --form on vCard files
in the shapes phones, web and desktop address books write.

Usage: xrf_vcard_check.py XRF WORK_DIR
"""
import csv
import io
import json
import os
import shutil
import subprocess
import sys

XRF, WORK = sys.argv[1], sys.argv[2]
failures = []

# A phone's 2.1 export: SHIFT_JIS and UTF-8 names in QUOTED-PRINTABLE, a soft line break.
PHONE_21 = (b"BEGIN:VCARD\r\nVERSION:2.1\r\n"
            b"N;CHARSET=SHIFT_JIS;ENCODING=QUOTED-PRINTABLE:=8E=52=93=63;=91=BE=98=59\r\n"
            b"TEL;CELL:090-1234-5678\r\nEND:VCARD\r\n"
            b"BEGIN:VCARD\r\nVERSION:2.1\r\n"
            b"FN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:=C3=91and=C3=BA P=\r\n=C3=A9rez\r\n"
            b"TEL;HOME:+81 90 1234 5678\r\nTEL;WORK:555 0100\r\n"
            b"NOTE;ENCODING=QUOTED-PRINTABLE:Met at \"DevConf\", 2019=0D=0Asecond line\r\n"
            b"END:VCARD\r\n"
            # A desktop book's 3.0 record sharing nothing.
            b"BEGIN:VCARD\r\nVERSION:3.0\r\nN:Lee;Ann;;;\r\nFN:Ann Lee\r\n"
            b"TEL;TYPE=WORK,VOICE:+44 20 7946 0018\r\nORG:Acme\\, Inc;Sales\r\n"
            b"X-UNKNOWN-THING:kept\r\nEND:VCARD\r\n")


def check(condition, message):
    if not condition:
        failures.append(message)


def run(*args, stdin=None):
    return subprocess.run([XRF, *args], capture_output=True, timeout=60, input=stdin)


def main():
    shutil.rmtree(WORK, ignore_errors=True)
    os.makedirs(WORK)
    vcf = os.path.join(WORK, "phone.vcf")
    with open(vcf, "wb") as f:
        f.write(PHONE_21)

    shown = run("contacts", "show", vcf, "--json")
    check(shown.returncode == 0, f"show --json: exit {shown.returncode} {shown.stderr!r}")
    contacts = json.loads(shown.stdout)
    check([c.get("familyName") for c in contacts] == ["山田", None, "Lee"],
          f"show: family names {[c.get('familyName') for c in contacts]}")
    check(contacts[1].get("displayName") == "Ñandú Pérez", f"show: FN {contacts[1]}")
    check([n["kind"] for n in contacts[1]["numbers"]] == ["Home", "Work"],
          f"show: kinds {contacts[1]['numbers']}")
    check(contacts[1]["notes"] == ['Met at "DevConf", 2019\r\nsecond line'],
          f"show: note {contacts[1]['notes']}")
    check(contacts[2]["organizations"] == [{"company": "Acme, Inc", "department": "Sales"}],
          f"show: ORG {contacts[2]['organizations']}")
    check(contacts[2]["unplacedLines"] == ["X-UNKNOWN-THING:kept"],
          f"show: unplaced {contacts[2]['unplacedLines']}")

    # dedupe prints decoded names, in today's text format and as JSON.
    text = run("contacts", "dedupe", vcf)
    check(text.returncode == 0, f"dedupe: exit {text.returncode}")
    out = text.stdout.decode("utf-8")
    check(out == ("Group 1: 2 records share a number\n"
                  "  #1 山田, 太郎: 090-1234-5678\n"
                  "  #2 Ñandú Pérez: +81 90 1234 5678\n"
                  "1 group: 2 of 3 records share a number with another record.\n"),
          f"dedupe text: {out!r}")
    js = json.loads(run("contacts", "dedupe", vcf, "--json").stdout)
    check(js["records"] == 3 and len(js["groups"]) == 1, f"dedupe --json: {js}")
    check([m["name"] for m in js["groups"][0]["members"]] == ["山田, 太郎", "Ñandú Pérez"],
          f"dedupe --json names: {js}")

    # vcf2csv: standard CSV in csv2vcf's column names, the note's line break inside quotes.
    out_csv = os.path.join(WORK, "contacts.csv")
    converted = run("contacts", "vcf2csv", vcf, "-o", out_csv)
    check(converted.returncode == 0, f"vcf2csv: exit {converted.returncode} {converted.stderr!r}")
    check(b"no CSV column" in converted.stderr, f"vcf2csv: unplaced line not reported "
                                                f"{converted.stderr!r}")
    with open(out_csv, newline="", encoding="utf-8") as f:
        rows = list(csv.DictReader(f))
    check(len(rows) == 3, f"vcf2csv: {len(rows)} rows")
    check(rows[0]["Family Name"] == "山田" and rows[0]["Phone 1 Type"] == "Mobile",
          f"vcf2csv row 1: {rows[0]}")
    check(rows[1]["Note"] == 'Met at "DevConf", 2019\r\nsecond line', f"vcf2csv note: {rows[1]}")
    check(rows[2]["Organization"] == "Acme, Inc" and rows[2]["Department"] == "Sales",
          f"vcf2csv org: {rows[2]}")
    stdout_csv = run("contacts", "vcf2csv", vcf)
    check(stdout_csv.stdout == open(out_csv, "rb").read(), "vcf2csv: stdout differs from -o")

    # csv2vcf writes the standard form unless asked for the device form.
    simple = os.path.join(WORK, "simple.csv")
    with open(simple, "w", encoding="utf-8") as f:
        f.write("Given Name,Family Name,Phone 1,Phone 1 Type\nAnn,Lee,555 0100,Work\n")
    standard = run("contacts", "csv2vcf", simple).stdout.decode("utf-8")
    device = run("contacts", "csv2vcf", simple, "--form", "device").stdout.decode("utf-8")
    check("\r\nN:Lee;Ann;;;\r\n" in standard and "TEL;TYPE=WORK:555 0100" in standard,
          f"csv2vcf standard: {standard!r}")
    check("N;charset=UTF-8:Lee;;Ann;;" in device, f"csv2vcf --form device: {device!r}")
    bad = run("contacts", "csv2vcf", simple, "--form", "nosuch")
    check(bad.returncode != 0, "csv2vcf --form nosuch accepted")

    # A byte order mark before the first record, and CR CR LF line ends around a folded name:
    # every command that reads vCards sees every record that vcard count counts.
    two = (b"\xef\xbb\xbfBEGIN:VCARD\r\nVERSION:3.0\r\nFN:Ann\r\nEND:VCARD\r\n"
           b"BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Bob\r\nEND:VCARD\r\n")
    one = two[:two.index(b"BEGIN:VCARD", 4)]
    crcrlf = b"BEGIN:VCARD\r\r\nVERSION:3.0\r\r\nFN:Ann\r\r\n Lee\r\r\nEND:VCARD\r\r\n"
    # Unfolding drops the one blank that marks a fold, as it does after CR LF.
    for data, names in [(two, ["Ann", "Bob"]), (one, ["Ann"]), (crcrlf, ["AnnLee"])]:
        path = os.path.join(WORK, "marked.vcf")
        with open(path, "wb") as f:
            f.write(data)
        count = run("vcard", "count", path).stdout
        shown = run("contacts", "show", "--json", path)
        got = [c.get("displayName") for c in json.loads(shown.stdout or b"[]")]
        check(count == b"%d\n" % len(names) and got == names,
              f"{data[:24]!r}...: count {count!r}, show {got} {shown.stderr!r}")
        for command in ["dedupe", "vcf2csv"]:
            result = run("contacts", command, path)
            check(result.returncode == 0, f"{data[:24]!r}...: {command} {result.stderr!r}")

    for failure in failures:
        print("xrf vcard check:", failure, file=sys.stderr)
    print(f"xrf vcard check: {len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
