#!/usr/bin/python3
"""xrf.exe under Wine writes byte for byte what the Linux xrf writes, on the tool's own test data:
the same standard output and exit status for each command, and the same files, written under
UTF-8 names (Müller Jörg.vcf from 連絡先.csv) and replaced when they exist.

Usage: windows_compare.py LINUX_XRF WORK_DIR WINDOWS_RUNNER... XRF_EXE
  (WINDOWS_RUNNER...: the command that runs a Windows program, the build's Wine emulator)
"""
import os
import shutil
import subprocess
import sys

LINUX, WORK = sys.argv[1], sys.argv[2]
WINDOWS = sys.argv[3:]
DATA = os.path.join(os.path.dirname(os.path.abspath(__file__)), "data")
failures = []

if not os.access(LINUX, os.X_OK):
    sys.exit(f"no Linux xrf at {LINUX}: build the default preset's xrf first")

CSV = ["small.csv", "google.csv", "google_new.csv", "outlook.csv", "thunderbird.csv"]
VCF = ["small.vcf", "numbers.vcf"]
COMMANDS = [["contacts", "csv2vcf", f] for f in CSV]
COMMANDS += [["contacts", "csv2vcf", "--form", "device", "small.csv"]]
COMMANDS += [["contacts", c, f] + extra for f in VCF
             for c, extra in [("show", []), ("show", ["--json"]), ("dedupe", []),
                              ("dedupe", ["--json"]), ("vcf2csv", [])]]
COMMANDS += [["contacts", "csv2vcf", "連絡先.csv", "-o", "Müller Jörg.vcf"]]
COMMANDS += [["contacts", "csv2vcf", "-"]]  # standard input


def run(program, args, folder):
    stdin = open(os.path.join(folder, "small.csv"), "rb").read() if args[-1] == "-" else None
    result = subprocess.run(program + args, cwd=folder, capture_output=True, input=stdin,
                            timeout=300)
    return result.returncode, result.stdout


def prepare(name):
    folder = os.path.join(WORK, name)
    shutil.rmtree(folder, ignore_errors=True)
    shutil.copytree(DATA, folder)
    shutil.copy(os.path.join(folder, "small.csv"), os.path.join(folder, "連絡先.csv"))
    return folder


linux, windows = prepare("linux"), prepare("windows")
for args in COMMANDS:
    expected = run([LINUX], args, linux)
    got = run(WINDOWS, args, windows)
    if got != expected:
        failures.append(f"{' '.join(args)}: status {got[0]} and {len(got[1])} bytes, "
                        f"Linux {expected[0]} and {len(expected[1])} bytes")
# The second run replaced the file the first one wrote.
run(WINDOWS, COMMANDS[-2], windows)
written = [open(os.path.join(d, "Müller Jörg.vcf"), "rb").read() for d in (linux, windows)]
if written[0] != written[1] or not written[0]:
    failures.append("Müller Jörg.vcf differs")
leftovers = [f for f in os.listdir(windows) if ".xrf-" in f]
if leftovers:
    failures.append(f"temporary files left: {leftovers}")

for failure in failures:
    print("FAIL:", failure)
print(f"{len(COMMANDS)} commands compared, {len(failures)} differences")
sys.exit(1 if failures else 0)
