#!/usr/bin/env python3
"""xrf contacts vcf2csv reads a large vCard file in bounded memory: its peak resident size stays
under a limit however large the file is, because contacts are read one at a time from the file.

Usage: xrf_memory_check.py XRF WORKDIR [MEGABYTES]
The vCard file (MEGABYTES of records, default 200) is written to WORKDIR on the fly, and removed.
"""
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


def write_vcards(path, megabytes):
    records = 0
    with open(path, "wb") as f:
        while f.tell() < megabytes << 20:
            f.write("".join(RECORD.format(n=records + i) for i in range(1000)).encode())
            records += 1000
    return records


def main():
    xrf, work = sys.argv[1], sys.argv[2]
    megabytes = int(sys.argv[3]) if len(sys.argv) > 3 else 200
    os.makedirs(work, exist_ok=True)
    vcf = os.path.join(work, "large.vcf")
    csv = os.path.join(work, "large.csv")
    try:
        records = write_vcards(vcf, megabytes)
        result = subprocess.run([xrf, "contacts", "vcf2csv", vcf, "-o", csv],
                                stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        # The largest resident size of any child this process has waited for: xrf's (KiB).
        peak_mib = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss / 1024
        with open(csv, "rb") as f:
            rows = sum(1 for _ in f) - 1 if result.returncode == 0 else 0
    finally:
        for path in (vcf, csv):
            if os.path.exists(path):
                os.remove(path)
    failures = []
    if result.returncode != 0:
        failures.append(f"vcf2csv exit {result.returncode}: {result.stderr[-300:]!r}")
    if rows != records:
        failures.append(f"vcf2csv wrote {rows} rows of {records} records")
    if peak_mib >= LIMIT_MIB:
        failures.append(f"vcf2csv peaked at {peak_mib:.0f} MiB resident (limit {LIMIT_MIB} MiB)")
    print(f"xrf memory check: {records} records, {megabytes} MB: peak {peak_mib:.1f} MiB")
    for failure in failures:
        print("xrf memory check:", failure, file=sys.stderr)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
