#!/usr/bin/python3
"""Reads every file of the address-book corpus with `xrf contacts show FILE --json` and compares
the contacts with the values the corpus manifest says the file holds: names, numbers and their
kinds, e-mail addresses and the organisation. Every difference is reported (file, contact, field,
expected, got); any difference fails the check.

Usage: xrf_address_book_check.py XRF CORPUS_DIR [NAME_PART ...]
       (NAME_PART: check only the files whose name contains one of them)
"""
import collections
import json
import os
import subprocess
import sys


def name_of(contact):
    return f"{contact['given']} {contact['family']}"


def compare(expected, got):
    """Differences between the expected contacts of one file and the JSON `show` printed for it,
    as (contact, field, expected, got) tuples; contact is the 1-based position, 0 for the file."""
    found = []
    if len(got) != len(expected):
        found.append((0, "contacts", len(expected), len(got)))
    for n, (want, have) in enumerate(zip(expected, got), 1):
        def differ(field, wanted, had):
            if wanted != had:
                found.append((n, field, wanted, had))
        differ("givenName", want["given"], have.get("givenName"))
        differ("familyName", want["family"], have.get("familyName"))
        if "middle" in want:
            differ("middleName", want["middle"], have.get("middleName"))
        if "prefix" in want:
            differ("prefix", want["prefix"], have.get("prefix"))
        if "display" in want:
            differ("displayName", want["display"], have.get("displayName"))
        numbers = collections.Counter((x["number"], x["kind"]) for x in want["numbers"])
        had = collections.Counter((x.get("number"), x.get("kind"))
                                  for x in have.get("numbers", []))
        if numbers != had:
            differ("numbers", sorted(numbers.elements()), sorted(had.elements(), key=str))
        emails = collections.Counter(want["emails"])
        had = collections.Counter(x.get("email") for x in have.get("emails", []))
        if emails != had:
            differ("emails", sorted(emails.elements()), sorted(had.elements(), key=str))
        organizations = have.get("organizations", [])
        if "organization" in want:
            first = organizations[0] if organizations else {}
            for key, value in want["organization"].items():
                differ(f"organization.{key}", value, first.get(key))
        elif organizations:
            differ("organizations", [], organizations)
    return found


def self_test():
    """The comparison catches each kind of fault it is meant to report."""
    want = [{"given": "Ann", "family": "Lee", "display": "Ann Lee",
             "organization": {"company": "Acme"}, "emails": ["ann@example.org"],
             "numbers": [{"number": "+44 20 7946 0000", "kind": "Mobile"}]}]
    right = [{"givenName": "Ann", "familyName": "Lee", "displayName": "Ann Lee",
              "organizations": [{"company": "Acme"}], "emails": [{"email": "ann@example.org"}],
              "numbers": [{"number": "+44 20 7946 0000", "kind": "Mobile"}]}]
    assert compare(want, right) == [], compare(want, right)
    faults = {
        "givenName": {"givenName": "Lee", "familyName": "Ann"},
        "numbers": {"numbers": [{"number": "+44 20 7946 0000", "kind": "Home"}]},
        "emails": {"emails": []},
        "organization.company": {"organizations": []},
        "displayName": {"displayName": "Lee, Ann"},
    }
    for field, change in faults.items():
        wrong = [dict(right[0], **change)]
        fields = [f for _, f, _, _ in compare(want, wrong)]
        assert field in fields, (field, fields)
    assert compare(want, right + right)[0][:2] == (0, "contacts")
    no_org = [dict(want[0])]
    del no_org[0]["organization"]
    assert [f for _, f, _, _ in compare(no_org, right)] == ["organizations"]


def main():
    self_test()
    xrf, corpus_dir, only = sys.argv[1], sys.argv[2], sys.argv[3:]
    with open(os.path.join(corpus_dir, "corpus.json"), encoding="utf-8") as f:
        corpus = json.load(f)
    files = [e for e in corpus["files"] if not only or any(p in e["file"] for p in only)]
    failed, mismatches, contacts = [], 0, 0
    # The committed files must be what the manifest says they hold.
    current = subprocess.run([sys.executable, os.path.join(corpus_dir, "make_corpus.py"),
                              "--check"], capture_output=True, text=True, timeout=120)
    stale = current.returncode != 0
    if stale:
        print(current.stdout + current.stderr)
    for entry in files:
        path = os.path.join(corpus_dir, entry["file"])
        contacts += len(entry["contacts"])
        shown = subprocess.run([xrf, "contacts", "show", path, "--json"], capture_output=True,
                               timeout=60)
        if shown.returncode != 0:
            failed.append(entry["file"])
            mismatches += 1
            print(f"{entry['file']}: exit {shown.returncode}: "
                  f"{shown.stderr.decode('utf-8', 'replace').strip()}")
            continue
        try:
            got = json.loads(shown.stdout)
        except ValueError as error:
            failed.append(entry["file"])
            mismatches += 1
            print(f"{entry['file']}: not JSON ({error})")
            continue
        found = compare(entry["contacts"], got)
        if found:
            failed.append(entry["file"])
            mismatches += len(found)
        for n, field, wanted, had in found:
            who = f"contact {n} ({name_of(entry['contacts'][n - 1])})" if n else "file"
            print(f"{entry['file']}: {who}: {field}: expected {wanted!r}, got {had!r}")
    print(f"{len(files)} files, {contacts} contacts: {len(files) - len(failed)} files read right, "
          f"{len(failed)} with {mismatches} differences"
          + ("; the corpus files are not what make_corpus.py writes" if stale else ""))
    return 1 if failed or stale or not files else 0


if __name__ == "__main__":
    sys.exit(main())
