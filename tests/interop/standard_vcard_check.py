#!/usr/bin/python3
"""Reads the standard vCard form back with two independent readers, vobject and ical.js.

Usage: standard_vcard_check.py WORK_DIR NODE READER_JS WRITER... WRITER (standard_vcard_writer,
with the command that runs it under Wine before it for a Windows build)
writes the record and the photo's JPEG bytes; every field is checked as each reader reads it:
non-ASCII, escaped ',', ';' and '\\', line breaks, folded lines, item groups and the photo.
"""
import base64
import json
import os
import subprocess
import sys

import vobject

failures = []


def expect(what, actual, expected):
    if actual != expected:
        failures.append(f"{what}: got {actual!r}, expected {expected!r}")


FN = "Smith, John \\ Müller-Lüdenscheidt 日本語のとても長い表示名です"
NOTE = 'Met at "DevConf", 2019\nsecond line; ünïcödé'
TELS = [("+1 555 0100", ["CELL"]), ("555 0101", ["FAX", "WORK"]), ("555 0102", ["MAIN"]),
        ("555 0103", None)]
EMAILS = [("ann@home.example", ["INTERNET", "HOME"]), ("ann@phone.example", ["INTERNET", "CELL"]),
          ("ann@x.example", ["INTERNET"])]
IMS = [("x-aim", "ann.aim"), ("x-msn", "ann.msn"), ("x-yahoo", "ann.yahoo"),
       ("x-skype", "ann.skype"), ("x-qq", "10001"), ("x-google-talk", "ann@gmail.example"),
       ("x-icq", "20002"), ("x-jabber", "ann@jabber.example"), ("x-netmeeting", "ann.nm")]
DATES = [("2005-06-07", "_$!<Anniversary>!$_"), ("1981-01-01", "_$!<Birthday>!$_"),
         ("2010-10-10", "_$!<Other>!$_"), ("2011-11-11", "_$!<Other>!$_")]
ADRS = [(["", "", "1 Main St\nApt 2", "Springfield", "IL", "62701", "USA"], ["HOME"]),
        (["", "", "2 Office Rd", "Chicago", "IL", "60601", "USA"], ["WORK"]),
        (["", "", "", "Paris", "", "", ""], None)]


def check_raw(raw):
    unbroken = raw.replace(b"\r\n", b"")
    expect("bare CR or LF", (unbroken.count(b"\r"), unbroken.count(b"\n")), (0, 0))
    for line in raw.split(b"\r\n"):
        if len(line) > 75:
            failures.append(f"line of {len(line)} octets: {line[:40]!r}...")
        line.decode("utf-8")  # each physical line holds whole UTF-8 sequences
    text = raw.decode("utf-8")
    expect("folded lines", text.count("\r\n ") >= 2, True)
    expect("no charset parameters", "charset" in text.lower(), False)


def check_vobject(raw, jpeg):
    card = vobject.readOne(raw.decode("utf-8"))
    n = card.n.value
    expect("vobject N", [n.family, n.given, n.additional, n.prefix, n.suffix],
           ["Lee;Smith", "Ann", "J", "Dr.", "PhD"])
    expect("vobject FN", card.fn.value, FN)
    expect("vobject TEL", [(t.value, t.params.get("TYPE")) for t in card.contents["tel"]], TELS)
    expect("vobject EMAIL", [(e.value, e.params.get("TYPE")) for e in card.contents["email"]],
           EMAILS)
    expect("vobject IM", [(name, card.contents[name][0].value) for name, _ in IMS], IMS)
    expect("vobject IMPP", [p.value for p in card.contents["impp"]], ["im:ann.sip", "im:ann.none"])
    expect("vobject BDAY", card.bday.value, "1980-02-03")
    dates = {d.group: d.value for d in card.contents["x-abdate"]}
    labels = {l.group: l.value for l in card.contents["x-ablabel"]}
    expect("vobject grouped dates", sorted((dates[g], labels[g]) for g in dates), sorted(DATES))
    expect("vobject CATEGORIES", card.categories.value, ["Friends", "Work"])
    expect("vobject ADR", [([a.value.box, a.value.extended, a.value.street, a.value.city,
                             a.value.region, a.value.code, a.value.country], a.params.get("TYPE"))
                           for a in card.contents["adr"]], ADRS)
    orgs = {o.group: o.value for o in card.contents["org"]}
    titles = {t.group: t.value for t in card.contents["title"]}
    expect("vobject ORG", sorted(orgs.values()), [["Acme; Inc", "Sales"], ["Beta"]])
    expect("vobject TITLE beside its ORG",
           [(orgs[g], titles.get(g)) for g in sorted(orgs)],
           [(["Acme; Inc", "Sales"], "CEO"), (["Beta"], None)])
    expect("vobject URL", card.url.value, "https://ann.example")
    # vobject leaves NOTE's escapes to its caller; read them as vCard 3.0 says.
    note = card.note.value
    for escaped, plain in (("\\n", "\n"), ("\\,", ","), ("\\;", ";"), ("\\\\", "\\")):
        note = note.replace(escaped, plain)
    expect("vobject NOTE", note, NOTE)
    expect("vobject PHOTO", (card.photo.params.get("ENCODING"), card.photo.params.get("TYPE"),
                             card.photo.value == jpeg), (["b"], ["JPEG"], True))


def check_icaljs(node, reader, record_path, jpeg):
    out = subprocess.run([node, reader, record_path], check=True, capture_output=True).stdout
    props = json.loads(out)

    def all_of(name):
        return [p for p in props if p["name"] == name]

    def one(name):
        found = all_of(name)
        expect(f"ical.js {name} count", len(found), 1)
        return found[0]["values"][0] if found else None

    def types(p):
        t = p["params"].get("type")
        return None if t is None else ([t] if isinstance(t, str) else t)

    expect("ical.js N", one("n"), ["Lee;Smith", "Ann", "J", "Dr.", "PhD"])
    expect("ical.js FN", one("fn"), FN)
    expect("ical.js NICKNAME", one("nickname"), "Annie")
    expect("ical.js TEL", [(p["values"][0], types(p)) for p in all_of("tel")], TELS)
    expect("ical.js EMAIL", [(p["values"][0], types(p)) for p in all_of("email")], EMAILS)
    expect("ical.js IM", [(name, one(name)) for name, _ in IMS], IMS)
    bday = one("bday")
    expect("ical.js BDAY", (bday["year"], bday["month"], bday["day"]), (1980, 2, 3))
    dates = {p["group"]: p["values"][0] for p in all_of("x-abdate")}
    labels = {p["group"]: p["values"][0] for p in all_of("x-ablabel")}
    expect("ical.js grouped dates", sorted((dates[g], labels.get(g)) for g in dates), sorted(DATES))
    expect("ical.js CATEGORIES", [v for p in all_of("categories") for v in p["values"]],
           ["Friends", "Work"])
    expect("ical.js ADR", [(p["values"][0], types(p)) for p in all_of("adr")], ADRS)
    orgs = {p["group"]: p["values"][0] for p in all_of("org")}
    titles = {p["group"]: p["values"][0] for p in all_of("title")}
    expect("ical.js ORG and TITLE", [(orgs[g], titles.get(g)) for g in sorted(orgs)],
           [(["Acme; Inc", "Sales"], "CEO"), ("Beta", None)])
    expect("ical.js URL", one("url"), "https://ann.example")
    # ical.js reads a single text value by vCard 4.0's rule, where only structured values
    # escape ';', so it leaves "\;" as written; every other escape it reads.
    expect("ical.js NOTE", one("note").replace("\\;", ";"), NOTE)
    expect("ical.js NOTE keeps only the semicolon's backslash", one("note").count("\\"), 1)
    photo = all_of("photo")
    expect("ical.js PHOTO", len(photo) == 1 and base64.b64decode(photo[0]["values"][0]["value"]) == jpeg,
           True)


def main():
    work_dir, node, reader, writer = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4:]
    record_path = os.path.join(work_dir, "standard_contact.vcf")
    jpeg_path = os.path.join(work_dir, "standard_contact.jpg")
    # Names relative to the work folder, which a Windows writer under Wine reads as well.
    subprocess.run(writer + ["standard_contact.vcf", "standard_contact.jpg"], cwd=work_dir,
                   check=True)
    raw = open(record_path, "rb").read()
    jpeg = open(jpeg_path, "rb").read()
    check_raw(raw)
    check_vobject(raw, jpeg)
    check_icaljs(node, reader, record_path, jpeg)
    for failure in failures:
        print("standard vcard check:", failure, file=sys.stderr)
    print(f"standard vcard check: {len(failures)} mismatches")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
