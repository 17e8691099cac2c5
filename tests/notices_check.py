#!/usr/bin/env python3
"""Fails when something that the packages ship has no licence notice.

What the packages carry is read from the build, not from a list kept here:
- the Debian packages: every Debian package whose headers the shipped targets compiled (Ninja's
  record of each object's headers), by its source package; the compiler's and the C library's own
  headers (those that <bits/stdc++.h> reaches) are the system's and need none. Each must have a
  "Files: third-party/SOURCE/*" paragraph in packaging/copyright.
- the Windows ZIP: every source package that cmake/windows/dependencies.txt pins, less the test
  frameworks (the packages of the CMake packages that only the tests and benchmarks find), and
  the packages of the run-time DLLs that cmake/windows/runtime_dlls.txt copies beside the
  programs. Each must have a section
  "Debian source package: SOURCE VERSION" in packaging/THIRD_PARTY_NOTICES.
The copyright file must also be well formed (every licence named has its text or a paragraph of
its own; our own code is MIT), and each notice must carry its licence text, not a pointer to a
file that exists only on Debian.

    notices_check.py --build-dir DIR --shipped TARGET,... --test-frameworks CONFIG_DIR,...
                     --cxx COMPILER --source-dir DIR
"""
import argparse
import os
import re
import subprocess
import sys
import warnings

from debian import copyright  # python3-debian

OBJECT = re.compile(r"^(\S+): #deps \d+")
TARGET_DIR = re.compile(r"CMakeFiles/([^/]+)\.dir/")
DEP5_FORMAT = "https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/"
THIRD_PARTY_FILES = re.compile(r"^third-party/([^/\s]+)/\*$")
NOTICE_SOURCE = re.compile(r"^Debian source package: (\S+) (\S+)$", re.MULTILINE)
NOTICE_RULE = "=" * 80


def run(*command, stdin=None):
    return subprocess.run(command, input=stdin, capture_output=True, text=True, check=False)


def headers_by_target(build_dir):
    """{target: {header path}} for the objects Ninja has built, headers outside the build only."""
    deps = run("ninja", "-C", build_dir, "-t", "deps")
    if deps.returncode != 0:
        sys.exit(f"notices_check: ninja -t deps failed:\n{deps.stderr}")
    found, target = {}, None
    for line in deps.stdout.splitlines():
        match = OBJECT.match(line)
        if match:
            dir_match = TARGET_DIR.search(match.group(1))
            target = dir_match.group(1) if dir_match else None
            found.setdefault(target, set())
        elif line.startswith("    ") and target:
            path = line.strip()
            if os.path.isabs(path):
                found[target].add(os.path.normpath(path))
    return found


def packages_of(paths):
    """{path: binary package} from dpkg; paths no package owns are left out."""
    owners = {}
    paths = sorted(paths)
    for start in range(0, len(paths), 500):
        result = run("dpkg", "-S", *paths[start:start + 500])
        for line in result.stdout.splitlines():
            names, _, path = line.partition(": ")
            owners[path] = names.split(",")[0].split(":")[0].strip()
    return owners


def source_of(packages):
    """{binary package: source package} for installed binary packages."""
    if not packages:
        return {}
    result = run("dpkg-query", "-W", "-f=${Package}\t${source:Package}\n", *sorted(packages))
    sources = {}
    for line in result.stdout.splitlines():
        binary, _, source = line.partition("\t")
        sources[binary] = source or binary
    return sources


def toolchain_sources(cxx):
    """The source packages of the compiler's and the C library's own headers."""
    made = run(cxx, "-std=c++20", "-M", "-x", "c++", "-", stdin="#include <bits/stdc++.h>\n")
    if made.returncode != 0:
        sys.exit(f"notices_check: {cxx} could not list its standard headers:\n{made.stderr}")
    paths = {os.path.normpath(p) for p in made.stdout.replace("\\\n", " ").split()[1:]
             if os.path.isabs(p)}
    owners = packages_of(paths)
    return set(source_of(set(owners.values())).values())


def licence_names(synopsis):
    """The licences of a License: synopsis ("A or B and C with X exception")."""
    return [name.strip() for name in re.split(r"\s+(?:or|and)\s+", synopsis) if name.strip()]


def read_copyright(path, problems):
    """{source package: Files paragraph} of the copyright file, checking its form on the way."""
    try:
        with open(path, encoding="utf-8") as f, warnings.catch_warnings():
            warnings.simplefilter("error")  # python-debian warns of what it tolerates
            parsed = copyright.Copyright(f, strict=True)
    except (copyright.Error, ValueError, Warning) as error:
        problems.append(f"{path}: not a machine-readable copyright file: {error}")
        return {}
    if parsed.header.format != DEP5_FORMAT:
        problems.append(f"{path}: the first paragraph has no Format: {DEP5_FORMAT}")
    standalone = {p.license.synopsis for p in parsed.all_license_paragraphs()
                  if p.license.text.strip()}
    covered, own = {}, None
    for para in parsed.all_files_paragraphs():
        files = " ".join(para.files)
        if not para.license.text.strip():
            for licence in licence_names(para.license.synopsis):
                if licence not in standalone:
                    problems.append(f"{path}: Files: {files} names License: {licence}, "
                                    "which has no text and no paragraph of its own")
        if para.files == ("*",):
            own = para
        match = THIRD_PARTY_FILES.match(files)
        if match:
            covered[match.group(1)] = para
    if (own is None or own.license.synopsis != "Expat"
            or "XRFoundation developers" not in own.copyright):
        problems.append(f"{path}: no 'Files: *' paragraph giving our own code to the "
                        "XRFoundation developers under Expat (MIT)")
    return covered


def read_notices(path, problems):
    """{source package: section text} of THIRD_PARTY_NOTICES, checking each has its text."""
    with open(path, encoding="utf-8") as f:
        text = f.read()
    sections = {}
    heads = list(NOTICE_SOURCE.finditer(text))
    for index, head in enumerate(heads):
        end = heads[index + 1].start() if index + 1 < len(heads) else len(text)
        body = text[head.end():end].replace(NOTICE_RULE, "")
        # The next section's title line sits before its "Debian source package" line.
        if index + 1 < len(heads):
            body = body.rstrip().rpartition("\n")[0]
        if len(body.split()) < 50:
            problems.append(f"{path}: the section of {head.group(1)} has no licence text")
        if "/usr/share/common-licenses" in body:
            problems.append(f"{path}: the section of {head.group(1)} points to a Debian file "
                            "instead of giving the licence text")
        sections[head.group(1)] = body
    return sections


def windows_pins(path):
    """The names that dependencies.txt pins (source or binary package names)."""
    with open(path, encoding="utf-8") as f:
        return [line.split()[0] for line in f if line.strip() and not line.startswith("#")]


def runtime_dlls(path):
    with open(path, encoding="utf-8") as f:
        return [line.strip() for line in f if line.strip() and not line.startswith("#")]


def dll_sources(names, problems):
    """{source package: DLL} of the run-time DLLs, found by name in the installed packages."""
    found = {}
    for name in names:
        result = run("dpkg", "-S", f"*/{name}")
        owners = {line.partition(": ")[0].split(",")[0].split(":")[0].strip()
                  for line in result.stdout.splitlines() if line.endswith("/" + name)}
        if not owners:
            problems.append(f"no installed package has {name}: its origin is unknown")
        for source in source_of(owners).values():
            found.setdefault(source, name)
    return found


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build-dir", required=True)
    parser.add_argument("--shipped", required=True, help="the shipped targets, comma-separated")
    parser.add_argument("--test-frameworks", required=True,
                        help="the config folders of the packages only tests use, comma-separated")
    parser.add_argument("--cxx", required=True)
    parser.add_argument("--source-dir", required=True)
    args = parser.parse_args()
    src = args.source_dir
    problems = []

    by_target = headers_by_target(args.build_dir)
    shipped = [t for t in args.shipped.split(",") if t]
    unbuilt = [t for t in shipped if not by_target.get(t)]
    if unbuilt:
        sys.exit(f"notices_check: no built objects of {', '.join(unbuilt)}: build them first")
    owners = packages_of(set().union(*by_target.values()))
    sources = source_of(set(owners.values()))
    system = toolchain_sources(args.cxx)

    def sources_of(targets):
        found = {}
        for target in targets:
            for path in sorted(by_target.get(target, ())):
                if path.startswith((os.path.abspath(src) + os.sep,
                                    os.path.abspath(args.build_dir) + os.sep)):
                    continue
                if path not in owners:
                    problems.append(f"{target} compiles {path}, which no Debian package owns")
                    continue
                found.setdefault(sources[owners[path]], f"{target} compiles {path}")
        return found

    in_shipped = {s: why for s, why in sources_of(shipped).items() if s not in system}
    framework_dirs = {os.path.normpath(d) for d in args.test_frameworks.split(",") if d}
    framework_owners = packages_of(framework_dirs)
    if len(framework_owners) != len(framework_dirs):
        sys.exit(f"notices_check: no package owns {framework_dirs - set(framework_owners)}")
    test_only = set(source_of(set(framework_owners.values())).values())

    copyright_path = os.path.join(src, "packaging", "copyright")
    notices_path = os.path.join(src, "packaging", "THIRD_PARTY_NOTICES")
    covered = read_copyright(copyright_path, problems)
    sections = read_notices(notices_path, problems)

    for source, why in sorted(in_shipped.items()):
        if source not in covered:
            problems.append(f"{copyright_path}: no Files: third-party/{source}/* paragraph "
                            f"({why})")

    pins = windows_pins(os.path.join(src, "cmake", "windows", "dependencies.txt"))
    pinned = {source_of({p}).get(p, p): p for p in pins}
    dlls = dll_sources(runtime_dlls(os.path.join(src, "cmake", "windows", "runtime_dlls.txt")),
                       problems)
    windows = {s: f"dependencies.txt pins {p}" for s, p in pinned.items() if s not in test_only}
    windows.update({s: f"the ZIP ships {dll}" for s, dll in dlls.items()})
    for source, why in sorted(windows.items()):
        if source not in sections:
            problems.append(f"{notices_path}: no section for Debian source package {source} "
                            f"({why})")

    print(f"Debian packages compile in: {', '.join(sorted(in_shipped))}")
    print(f"the Windows ZIP carries: {', '.join(sorted(windows))}")
    print(f"test frameworks, not shipped: {', '.join(sorted(test_only))}")
    for problem in problems:
        print(f"notices_check: {problem}", file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
