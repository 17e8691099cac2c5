#!/usr/bin/python3
"""Writes the address-book corpus: every file listed in corpus.json, in its program's layout,
delimiter, quoting, line ends and encoding.

corpus.json is the readable source (UTF-8): per file the program that writes such a file, the
header line (an id in headers.json, or "outlook:LANG" for a header composed from the column titles
in outlook_titles.json), the encoding and the contacts, which are at the same time the values the
file holds and the values a reader must find in it. SOURCES.md says where each header comes from.

Usage: make_corpus.py [--check]   (--check: compare with the files on disk, write nothing)
"""
import csv
import io
import json
import os
import sys
import unicodedata

HERE = os.path.dirname(os.path.abspath(__file__))


def load(name):
    with open(os.path.join(HERE, name), encoding="utf-8") as f:
        return json.load(f)


# ----------------------------------------------------------------------------- headers
# Titles of the columns the rows fill, in the verbatim desktop mail program headers. "#2" picks
# the second column of that title (the French export has "Titre" for the prefix and the job).
OUTLOOK_VERBATIM = {
    "outlook_en": {
        "Title": "Title", "FirstName": "First Name", "MiddleName": "Middle Name",
        "LastName": "Last Name", "Company": "Company", "Department": "Department",
        "JobTitle": "Job Title", "BusinessPhone": "Business Phone", "HomePhone": "Home Phone",
        "MobilePhone": "Mobile Phone", "EmailAddress": "E-mail Address",
        "EmailType": "E-mail Type", "EmailDisplayName": "E-mail Display Name",
        "Email2Address": "E-mail 2 Address", "Email2Type": "E-mail 2 Type",
        "Email2DisplayName": "E-mail 2 Display Name", "Notes": "Notes"},
    "outlook_de": {
        "Title": "Anrede", "FirstName": "Vorname", "MiddleName": "Weitere Vornamen",
        "LastName": "Nachname", "Company": "Firma", "Department": "Abteilung",
        "JobTitle": "Position", "BusinessPhone": "Telefon geschäftlich",
        "HomePhone": "Telefon privat", "MobilePhone": "Mobiltelefon",
        "EmailAddress": "E-Mail-Adresse", "EmailType": "E-Mail-Typ",
        "EmailDisplayName": "E-Mail: Angezeigter Name", "Email2Address": "E-Mail 2: Adresse",
        "Email2Type": "E-Mail 2: Typ", "Email2DisplayName": "E-Mail 2: Angezeigter Name",
        "Notes": "Notizen"},
    "outlook_fr": {
        "Title": "Titre", "FirstName": "Prénom", "MiddleName": "Deuxième prénom",
        "LastName": "Nom", "Company": "Société", "Department": "Service", "JobTitle": "Titre#2",
        "BusinessPhone": "Téléphone (bureau)", "HomePhone": "Téléphone (domicile)",
        "MobilePhone": "Tél. mobile", "EmailAddress": "Adresse de courrier",
        "EmailType": "Type de courrier",
        "EmailDisplayName": "Nom complet de l'adresse de courrier",
        "Email2Address": "Adresse de courrier 2", "Email2Type": "Type de courrier 2",
        "Email2DisplayName": "Nom complet de l'adresse de courrier 2", "Notes": "Notes"},
}
OUTLOOK_VERBATIM["outlook_en_2003"] = OUTLOOK_VERBATIM["outlook_en"]
OUTLOOK_VERBATIM["linkedin_2015"] = OUTLOOK_VERBATIM["outlook_en"]

# The 48 columns an Outlook export starts with, in its fixed order; the rest follow sorted by
# their title in the UI language, each e-mail address with its type and display name after it.
OUTLOOK_FIXED = 48
EMAIL_GROUPS = [("EmailAddress", "EmailType", "EmailDisplayName"),
                ("Email2Address", "Email2Type", "Email2DisplayName"),
                ("Email3Address", "Email3Type", "Email3DisplayName")]


def sort_key(title):
    folded = unicodedata.normalize("NFD", title.casefold())
    return "".join(c for c in folded if not unicodedata.combining(c))


def composed_outlook_header(lang, table):
    """The header an Outlook export in LANG writes, composed from the language's titles."""
    titles = table["titles"][lang]
    props = [p for p in table["properties"] if p in titles]
    fixed = [p for p in props if table["properties"].index(p) < OUTLOOK_FIXED]
    grouped = [g for g in EMAIL_GROUPS if g[0] in titles]
    in_groups = {p for g in grouped for p in g}
    rest = [(p,) for p in props if table["properties"].index(p) >= OUTLOOK_FIXED
            and p not in in_groups] + [tuple(p for p in g if p in titles) for g in grouped]
    rest.sort(key=lambda group: sort_key(titles[group[0]]))
    order = fixed + [p for group in rest for p in group]
    header = [titles[p] for p in order]
    # A title the header holds twice names the first column, "Title#2" the second.
    names = {}
    for n, p in enumerate(order):
        seen = header[:n].count(header[n])
        names[p] = f"{header[n]}#{seen + 1}" if seen else header[n]
    return header, names


def column(header, title):
    """Index of TITLE ("Title#N": its Nth occurrence) in HEADER."""
    name, _, nth = title.partition("#")
    hits = [i for i, t in enumerate(header) if t == name]
    n = int(nth or 1)
    if len(hits) < n:
        raise KeyError(f"no column {title!r} in the header")
    return hits[n - 1]


# ----------------------------------------------------------------------------- layouts
# Each layout puts a contact's values where its program writes them. Kinds are Mobile, Home, Work.

def numbers_of(contact, kind):
    return [n["number"] for n in contact["numbers"] if n["kind"] == kind]


def org(contact, key):
    return contact.get("organization", {}).get(key, "")


def one(values, what, contact):
    if len(values) > 1:
        raise ValueError(f"{contact['given']} {contact['family']}: one {what} column only")
    return values[0] if values else ""


def outlook_rows(header, titles, contacts):
    rows = []
    for c in contacts:
        row = [""] * len(header)

        def put(prop, value, required=True):
            if not value:
                return
            try:
                row[column(header, titles[prop])] = value
            except KeyError:
                if required:
                    raise KeyError(f"the header has no column for {prop}") from None
        name = f"{c['given']} {c['family']}"
        put("Title", c.get("prefix", ""))
        put("FirstName", c["given"])
        put("MiddleName", c.get("middle", ""))
        put("LastName", c["family"])
        put("Company", org(c, "company"))
        put("Department", org(c, "department"))
        put("JobTitle", org(c, "title"))
        put("BusinessPhone", one(numbers_of(c, "Work"), "business phone", c))
        put("HomePhone", one(numbers_of(c, "Home"), "home phone", c))
        put("MobilePhone", one(numbers_of(c, "Mobile"), "mobile phone", c))
        if len(c["emails"]) > 2:
            raise ValueError(f"{name}: more e-mail addresses than the corpus writes")
        for (address, kind, shown), email in zip(EMAIL_GROUPS, c["emails"]):
            put(address, email)
            put(kind, "SMTP", required=False)
            put(shown, f"{name} ({email})", required=False)
        put("Notes", c.get("note", ""))
        rows.append(row)
    return rows


def fill(header, values):
    row = [""] * len(header)
    for title, value in values.items():
        if value:
            row[column(header, title)] = value
    return row


def phone_groups(contact):
    """Google joins the values of one kind with " ::: " in one group."""
    groups = []
    for kind in ("Mobile", "Home", "Work"):
        values = numbers_of(contact, kind)
        if values:
            groups.append((kind, " ::: ".join(values)))
    return groups


def google_old(header, contacts):
    """The old export repeats its E-mail N and Phone N groups as often as the fullest contact
    needs; the header in headers.json has one of each."""
    emails = max(1 if c["emails"] else 0 for c in contacts)
    phones = max(len(phone_groups(c)) for c in contacts)
    start = header.index("E-mail 1 - Type")
    end = header.index("Address 1 - Type")
    head = header[:start]
    for n in range(1, max(emails, 1) + 1):
        head += [f"E-mail {n} - Type", f"E-mail {n} - Value"]
    for n in range(1, max(phones, 1) + 1):
        head += [f"Phone {n} - Type", f"Phone {n} - Value"]
    head += header[end:]
    rows = []
    for c in contacts:
        values = {"Name": c.get("display", ""), "Given Name": c["given"],
                  "Additional Name": c.get("middle", ""), "Family Name": c["family"],
                  "Group Membership": "* myContacts",
                  "Organization 1 - Name": org(c, "company"),
                  "Organization 1 - Title": org(c, "title"),
                  "Organization 1 - Department": org(c, "department")}
        values.update(c.get("extra", {}))
        if c["emails"]:
            values["E-mail 1 - Type"] = "* Other"
            values["E-mail 1 - Value"] = " ::: ".join(c["emails"])
        for n, (kind, value) in enumerate(phone_groups(c), 1):
            values[f"Phone {n} - Type"] = kind
            values[f"Phone {n} - Value"] = value
        rows.append(fill(head, values))
    return head, rows


def google_new(header, contacts):
    rows = []
    for c in contacts:
        values = {"First Name": c["given"], "Middle Name": c.get("middle", ""),
                  "Last Name": c["family"], "Labels": "* myContacts",
                  "Organization Name": org(c, "company"), "Organization Title": org(c, "title"),
                  "Organization Department": org(c, "department")}
        for n, email in enumerate(c["emails"], 1):
            values[f"E-mail {n} - Label"] = "* Other" if n == 1 else "Other"
            values[f"E-mail {n} - Value"] = email
        for n, (kind, value) in enumerate(phone_groups(c), 1):
            values[f"Phone {n} - Label"] = kind
            values[f"Phone {n} - Value"] = value
        rows.append(fill(header, values))
    return rows


# Thunderbird writes the same columns in every language; the rows fill them by position.
THUNDERBIRD = {"given": 0, "family": 1, "display": 2, "email1": 4, "email2": 5, "Work": 7,
               "Home": 8, "Mobile": 11, "title": 24, "department": 25, "company": 26, "note": 36}


def thunderbird_rows(header, contacts):
    rows = []
    for c in contacts:
        row = [""] * len(header)
        row[THUNDERBIRD["given"]] = c["given"]
        row[THUNDERBIRD["family"]] = c["family"]
        row[THUNDERBIRD["display"]] = c.get("display", "")
        for key, email in zip(("email1", "email2"), c["emails"]):
            row[THUNDERBIRD[key]] = email
        for kind in ("Work", "Home", "Mobile"):
            row[THUNDERBIRD[kind]] = one(numbers_of(c, kind), kind, c)
        for key in ("title", "department", "company"):
            row[THUNDERBIRD[key]] = org(c, key)
        row[THUNDERBIRD["note"]] = c.get("note", "")
        rows.append(row)
    return rows


# Layouts with one column per value: the title of the column each value goes to.
TITLED = {
    "outlookcom": {"given": "First Name", "middle": "Middle Name", "family": "Last Name",
                   "company": "Company", "department": "Department", "title": "Job Title",
                   "Mobile": "Mobile Phone", "Home": "Home Phone", "Work": "Business Phone",
                   "note": "Notes",
                   "emails": ["E-mail Address", "E-mail 2 Address", "E-mail 3 Address"]},
    "yahoo": {"given": "First", "middle": "Middle", "family": "Last", "company": "Company",
              "title": "Title", "Mobile": "Mobile", "Home": "Home", "Work": "Work",
              "note": "Comments", "emails": ["Email", "Alternate Email 1", "Alternate Email 2"]},
    "roundcube": {"display": "Display Name", "given": "First Name", "middle": "Middle Name",
                  "family": "Last Name", "company": "Company", "department": "Department",
                  "title": "Job Title", "Mobile": "Home Mobile", "Home": "Home Phone",
                  "Work": "Business Phone", "note": "Notes",
                  "emails": ["Email Home", "Email Work", "Email Other"]},
}


def titled_rows(header, contacts, titles):
    rows = []
    for c in contacts:
        values = {titles[key]: c.get(key, "") for key in ("given", "middle", "family", "note")}
        if "display" in titles:
            values[titles["display"]] = c.get("display", "")
        for key in ("company", "department", "title"):
            if key in titles:
                values[titles[key]] = org(c, key)
            elif org(c, key):
                raise KeyError(f"the layout has no column for the {key}")
        for kind in ("Mobile", "Home", "Work"):
            values[titles[kind]] = one(numbers_of(c, kind), kind, c)
        if len(c["emails"]) > len(titles["emails"]):
            raise ValueError(f"{c['given']} {c['family']}: more e-mail addresses than columns")
        values.update(zip(titles["emails"], c["emails"]))
        rows.append(fill(header, values))
    return rows


def linkedin_rows(header, contacts):
    rows = []
    for n, c in enumerate(contacts):
        if c["numbers"] or len(c["emails"]) > 1:
            raise ValueError("a connections export has no numbers and one e-mail address")
        slug = "".join(ch for ch in sort_key(f"{c['given']}-{c['family']}") if ch.isascii())
        slug = slug.replace(" ", "-")
        rows.append(fill(header, {
            "First Name": c["given"], "Last Name": c["family"],
            "URL": f"https://www.linkedin.com/in/{slug}-{n + 1}",
            "Email Address": c["emails"][0] if c["emails"] else "",
            "Company": org(c, "company"), "Position": org(c, "title"),
            "Connected On": f"{12 + n} Mar 2024"}))
    return rows


# ----------------------------------------------------------------------------- writing
def csv_text(header, rows, entry):
    out = io.StringIO()
    newline = entry["newline"]
    for line in entry.get("preamble", []):
        out.write(line + newline)
    if entry["quoting"] == "outlook2003":
        # Outlook 2003 quotes the header and every non-empty value, and leaves empty ones bare.
        def cell(value, is_header):
            return '"' + value.replace('"', '""') + '"' if value or is_header else ""
        for is_header, row in [(True, header)] + [(False, r) for r in rows]:
            out.write(entry["delimiter"].join(cell(v, is_header) for v in row) + newline)
        return out.getvalue()
    quoting = {"all": csv.QUOTE_ALL, "minimal": csv.QUOTE_MINIMAL}[entry["quoting"]]
    writer = csv.writer(out, delimiter=entry["delimiter"], quoting=quoting,
                        lineterminator=newline)
    writer.writerow(header)
    writer.writerows(rows)
    return out.getvalue()


def csv_file(entry, headers, table):
    if entry["header"].startswith("outlook:"):
        header, titles = composed_outlook_header(entry["header"].split(":", 1)[1], table)
    else:
        header = headers[entry["header"]]
        titles = OUTLOOK_VERBATIM.get(entry["header"])
    layout, contacts = entry["layout"], entry["contacts"]
    if layout == "outlook":
        rows = outlook_rows(header, titles, contacts)
    elif layout == "google_old":
        header, rows = google_old(header, contacts)
    elif layout in TITLED:
        rows = titled_rows(header, contacts, TITLED[layout])
    else:
        rows = {"google_new": google_new, "thunderbird": thunderbird_rows,
                "linkedin": linkedin_rows}[layout](header, contacts)
    return csv_text(header, rows, entry)


def quoted_printable(data):
    """QUOTED-PRINTABLE as vCard 2.1 writers produce it: soft line breaks keep lines short."""
    pieces = [chr(b) if 33 <= b <= 126 and b != ord("=") or b == 32 else f"={b:02X}"
              for b in data]
    if pieces and pieces[-1] == " ":
        pieces[-1] = "=20"
    lines, line = [], ""
    for piece in pieces:
        if len(line) + len(piece) > 60:
            lines.append(line + "=")
            line = ""
        line += piece
    return "\r\n".join(lines + [line])


def vcard_text(entry):
    out = []
    for line in entry["lines"]:
        while "{qp:" in line:
            start = line.index("{qp:")
            end = line.index("}", start)
            charset, text = line[start + 4:end].split(":", 1)
            line = line[:start] + quoted_printable(text.encode(charset)) + line[end + 1:]
        out.append(line)
    newline = entry["newline"]
    return newline.join(out).replace("\r\n", newline) + newline


def render(entry, headers, table):
    """The bytes of one corpus file."""
    text = vcard_text(entry) if entry["layout"] == "vcard" else csv_file(entry, headers, table)
    data = text.encode(entry["encoding"])  # strict: every name must exist in the encoding
    if entry.get("bom"):
        data = {"utf-16-le": b"\xff\xfe", "utf-16-be": b"\xfe\xff",
                "utf-8": b"\xef\xbb\xbf"}[entry["encoding"]] + data
    return data


def main():
    corpus, headers, table = load("corpus.json"), load("headers.json"), load("outlook_titles.json")
    check = "--check" in sys.argv[1:]
    stale = []
    for entry in corpus["files"]:
        data = render(entry, headers, table)
        path = os.path.join(HERE, entry["file"])
        if check:
            with open(path, "rb") as f:
                if f.read() != data:
                    stale.append(entry["file"])
        else:
            with open(path, "wb") as f:
                f.write(data)
    if stale:
        print("out of date (run make_corpus.py):", " ".join(stale))
        return 1
    print(f"{len(corpus['files'])} files {'checked' if check else 'written'}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
