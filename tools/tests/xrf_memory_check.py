#!/usr/bin/env python3
"""xrf contacts vcf2csv reads a large vCard file, and a large CSV file, in bounded memory: its peak
resident size stays under a limit however large the file is, because contacts are read one at a
time from the file, whichever its format.

Usage: xrf_memory_check.py XRF WORKDIR [MEGABYTES]
Each input file (MEGABYTES of contacts, default 200) is written to WORKDIR on the fly, and
removed.
"""
import csv
import os
import resource
import subprocess
import sys

LIMIT_MIB = 64

# One record as phones write them: folded name, two numbers, e-mail, address, a long note.
RECORD = ("BEGIN:VCARD\r\nVERSION:3.0\r\nN:Lee;Ann {n};;;\r\nFN:Ann {n} Lee\r\n"
          "TEL;TYPE=CELL:+44 20 7946 {n:04d}\r\nTEL;TYPE=WORK:020 7946 {n:04d}\r\n"
          "EMAIL;TYPE=WORK:ann{n}@example.com\r\n"
          "ADR;TYPE=HOME:;;1 High Street;London;;N1 9GU;United Kingdom\r\n"
          "NOTE:" + "met at the conference, " * 12 + "\r\n  and again later\r\n"
          "END:VCARD\r\n")


# The same contact as a row of an address book's export, with a quoted note over two lines.
CSV_HEADER = "First Name,Last Name,Mobile Phone,Business Phone,E-mail Address,Home Street,Notes\r\n"
ROW = ("Ann {n},Lee,+44 20 7946 {n:04d},020 7946 {n:04d},ann{n}@example.com,1 High Street,"
       '"' + "met at the conference, " * 12 + '\r\nand again later"\r\n')


def write_contacts(path, megabytes, template, header=""):
    records = 0
    with open(path, "wb") as f:
        f.write(header.encode())
        while f.tell() < megabytes << 20:
            f.write("".join(template.format(n=records + i) for i in range(1000)).encode())
            records += 1000
    return records


def convert(xrf, source, target):
    """vcf2csv SOURCE -o TARGET: exit status, standard error, peak resident MiB, rows written."""
    with open(os.devnull, "wb") as out, open(target + ".err", "w+b") as err:
        process = subprocess.Popen([xrf, "contacts", "vcf2csv", source, "-o", target],
                                   stdout=out, stderr=err)
        # This child's own resource use (KiB), whatever ran before it.
        _, status, usage = os.wait4(process.pid, 0)
        process.returncode = os.waitstatus_to_exitcode(status)
        err.seek(0)
        stderr = err.read()
    os.remove(target + ".err")
    rows = 0
    if process.returncode == 0:
        with open(target, newline="", encoding="utf-8") as f:
            rows = sum(1 for _ in csv.reader(f)) - 1
    return process.returncode, stderr, usage.ru_maxrss / 1024, rows


def main():
    xrf, work = sys.argv[1], sys.argv[2]
    megabytes = int(sys.argv[3]) if len(sys.argv) > 3 else 200
    os.makedirs(work, exist_ok=True)
    out = os.path.join(work, "out.csv")
    failures = []
    for kind, name, template, header in (("vCard", "large.vcf", RECORD, ""),
                                         ("CSV", "large.csv", ROW, CSV_HEADER)):
        source = os.path.join(work, name)
        try:
            records = write_contacts(source, megabytes, template, header)
            code, stderr, peak_mib, rows = convert(xrf, source, out)
        finally:
            for path in (source, out):
                if os.path.exists(path):
                    os.remove(path)
        if code != 0:
            failures.append(f"{kind}: vcf2csv exit {code}: {stderr[-300:]!r}")
        if rows != records:
            failures.append(f"{kind}: vcf2csv wrote {rows} rows of {records} contacts")
        if peak_mib >= LIMIT_MIB:
            failures.append(f"{kind}: vcf2csv peaked at {peak_mib:.0f} MiB resident "
                            f"(limit {LIMIT_MIB} MiB)")
        print(f"xrf memory check: {kind}, {records} contacts, {megabytes} MB: "
              f"peak {peak_mib:.1f} MiB")
    for failure in failures:
        print("xrf memory check:", failure, file=sys.stderr)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
