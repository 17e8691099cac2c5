#!/usr/bin/python3
"""Reads the rich contact's record back with an independent vCard 3.0 parser (vobject).

Usage: vcard_parser_check.py WORK_DIR WRITER... WRITER (vcard_sample_writer, with the command
that runs it under Wine before it for a Windows build) writes the record and
the photo's JPEG bytes; every field is then checked as the parser reads it. Two lines keep the
shape that stored files and the device expect although the parser objects to them: the N line
holds the given name third, and "X-IM;Google Talk:..." has a parameter with a space. The first
is checked as the parser reads it; the second is checked byte for byte and left out of parsing.
"""
import os
import subprocess
import sys

import vobject

failures = []


def expect(what, actual, expected):
    if actual != expected:
        failures.append(f"{what}: got {actual!r}, expected {expected!r}")


def main():
    work_dir, writer = sys.argv[1], sys.argv[2:]
    record_path = os.path.join(work_dir, "rich_contact.vcf")
    jpeg_path = os.path.join(work_dir, "rich_contact.jpg")
    # Names relative to the work folder, which a Windows writer under Wine reads as well.
    subprocess.run(writer + ["rich_contact.vcf", "rich_contact.jpg"], cwd=work_dir, check=True)
    raw = open(record_path, "rb").read()
    jpeg = open(jpeg_path, "rb").read()

    # Every line ends with CR LF and no value holds a raw CR or LF of its own.
    unbroken = raw.replace(b"\r\n", b"")
    expect("bare CR or LF", (unbroken.count(b"\r"), unbroken.count(b"\n")), (0, 0))
    text = raw.decode("utf-8")
    lines = text.split("\r\n")
    quirk = "X-IM;Google Talk:ann@gmail.example"
    expect("Google Talk X-IM line kept as written", lines.count(quirk), 1)
    card = vobject.readOne("\r\n".join(line for line in lines if line != quirk))

    expect("VERSION", card.version.value, "3.0")
    n = card.n.value
    # Family name first, then the middle name, and the given name third.
    expect("N", [n.family, n.given, n.additional, n.prefix, n.suffix],
           ["Lee", "J", "Ann", "Dr.", "PhD"])
    expect("FN", card.fn.value, "Dr. Ann J Lee")
    expect("NICKNAME", card.nickname.value, "Annie")
    expect("TEL", [(t.value, t.params.get("TYPE")) for t in card.contents["tel"]],
           [("+1 555 0100", ["CELL"]), ("555 0101", ["FAX", "WORK"]),
            ("555 0102", ["OTHER"]), ("555 0103", ["OTHER"])])
    expect("EMAIL", [(e.value, e.params.get("TYPE")) for e in card.contents["email"]],
           [("ann@home.example", ["INTERNET", "HOME", "pref"]),
            ("ann@phone.example", ["INTERNET", "MOBILE", "pref"]),
            ("ann@x.example", ["INTERNET", "OTHER", "pref"])])
    expect("X-IM", [(i.value, i.singletonparams) for i in card.contents["x-im"]],
           [("ann.aim", ["AIM"]), ("ann.msn", ["MSN"]), ("ann.yahoo", ["Yahoo"]),
            ("ann.skype", ["Skype"]), ("10001", ["QQ"]), ("20002", ["ICQ"]),
            ("ann@jabber.example", ["Jabber"]), ("ann.nm", ["Netmeeting"]),
            ("ann.sip", ["OTHER"]), ("ann.none", ["OTHER"])])
    for name, value in [("x-aim", "ann.aim"), ("x-msn", "ann.msn"), ("x-yahoo", "ann.yahoo"),
                        ("x-skype", "ann.skype"), ("x-qq", "10001"), ("x-icq", "20002"),
                        ("x-jabber", "ann@jabber.example")]:
        expect(name, [(p.value, p.params.get("TYPE")) for p in card.contents[name]],
               [(value, ["HOME"])])
    expect("IMPP", [(p.value, p.params.get("X-SERVICE-TYPE")) for p in card.contents["impp"]],
           [("xmpp:ann@gmail.example", ["GoogleTalk"]), ("xmpp:ann.nm", ["GaduGadu"]),
            ("xmpp:ann.sip", ["GaduGadu"]), ("xmpp:ann.none", ["GaduGadu"])])
    expect("BDAY", [b.value for b in card.contents["bday"]], ["1980-02-03"])
    expect("X-DE", [(d.value, d.singletonparams) for d in card.contents["x-de"]],
           [("1980-02-03", ["Birthdate"]), ("2005-06-07", ["Anniversary"]),
            ("1981-01-01", ["Birthdate"]), ("2010-10-10", ["Other"]),
            ("2011-11-11", ["Other"])])
    dates = [(d.group, d.value) for d in card.contents["x-abdate"]]
    labels = [(l.group, l.value) for l in card.contents["x-ablabel"]]
    expect("X-ABDATE", [value for _, value in dates], ["2005-06-07", "2010-10-10", "2011-11-11"])
    expect("X-ABLabel", [value for _, value in labels],
           ["_$!<Anniversary>!$_", "_$!<Other>!$_", "_$!<Other>!$_"])
    expect("item groups pair dates with labels", [g for g, _ in dates], [g for g, _ in labels])
    expect("item groups distinct", len(set(g for g, _ in dates)), 3)
    expect("CATEGORIES", [c.value for c in card.contents["categories"]], [["Friends"], ["Work"]])
    expect("ADR", [([a.value.box, a.value.extended, a.value.street, a.value.city, a.value.region,
                     a.value.code, a.value.country], a.params.get("TYPE"))
                   for a in card.contents["adr"]],
           [(["", "", "1 Main St\nApt 2", "Springfield", "IL", "62701", "USA"], ["Home", "pref"]),
            (["", "", "2 Office Rd", "Chicago", "IL", "60601", "USA"], ["Work", "pref"]),
            (["", "", "", "Paris", "", "", ""], ["OTHER", "pref"])])
    expect("ORG", [o.value for o in card.contents["org"]],
           [["Acme;Sales"], ["Beta"], [";Research"]])
    expect("TITLE", [t.value for t in card.contents["title"]], ["CEO", " ", "Fellow"])
    expect("URL", card.url.value, "https://ann.example")
    expect("NOTE", card.note.value, "first line\nsecond line")
    expect("PHOTO parameters", (card.photo.params.get("ENCODING"), card.photo.params.get("TYPE")),
           (["base64"], ["JPEG"]))
    expect("PHOTO bytes", card.photo.value, jpeg)

    for failure in failures:
        print("vcard parser check:", failure, file=sys.stderr)
    print(f"vcard parser check: {len(list(card.getChildren()))} properties read, "
          f"{len(failures)} mismatches")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
