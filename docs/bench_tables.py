#!/usr/bin/env python3
"""The tables scripts/bench_report.sh writes into the pages, made from what the programs wrote.

    bench_tables.py benchmarks DIR PROGRAM...     tables of DIR/PROGRAM.json (Google Benchmark)
    bench_tables.py wine DIR PROGRAM...           the Windows build's speed against Linux's, from
                                                  DIR/PROGRAM.windows.json and .linux.json
    bench_tables.py corpus DIR                    copies the address-book corpus into DIR, each
                                                  file named after its manifest's encoding
    bench_tables.py detectors SAMPLES CORPUS      tables of two reports of encoding_detectors

The tables go to standard output.
"""
import json
import os
import re
import shutil
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
# What each program sets beside the library's code, in the same run.
ABOUT = {
    "tasks_bench": "tasks and composites; peer: a plain thread pool with a plain loop",
    "events_bench": "dispatcher, prepared calls and main-loop posting; peers: direct calls and "
                    "a plain mutex + condition variable + deque loop",
    "integration_bench": "the Qt and GLib adapters' posting; peers: `QMetaObject::invokeMethod` "
                         "and `g_main_context_invoke`",
    "phone_bench": "phone-number comparison; peers: a digits-only strcmp and libphonenumber",
    "contacts_bench": "Base64 and vCard composition; peers: a plain reference codec and OpenSSL",
    "vcard_import_bench": "vCard import and shared numbers; peer: KDE KContacts",
    "input_bench": "line, vCard-record and CSV reading; peers: `std::getline`, read + memchr, "
                   "libcsv",
    "csv_bench": "standard and contact CSV reading; peer: libcsv",
    "device_bench": "device messages and socket readiness",
    "xml_bench": "the XML check before pugixml; peers: pugixml and expat alone",
    "win32_bench": "the Win32 adapter's posting, under Wine; peers: `PostMessageW` and "
                   "`SendMessageW` to a window procedure of the benchmark's own",
}
STANDARD = {"name", "family_index", "per_family_instance_index", "run_name", "run_type",
            "repetitions", "repetition_index", "threads", "iterations", "real_time", "cpu_time",
            "time_unit", "items_per_second", "bytes_per_second", "label", "aggregate_name",
            "aggregate_unit", "error_occurred", "error_message"}
BYTE_RATES = ("bytes_per_second", "GB/s")  # Google Benchmark's own, and a counter so named
# The manifest names encodings as Python does; the detectors' program reads iconv's names.
ICONV_NAMES = {"utf-8-sig": "UTF-8", "utf-16-le": "UTF-16LE", "ascii": "ASCII"}


def short(value):
    for limit, suffix in ((1e9, " G"), (1e6, " M"), (1e3, " k")):
        if abs(value) >= limit:
            return f"{value / limit:.3g}{suffix}"
    return f"{value:.3g}"


def duration(seconds):
    for unit, size in (("s", 1.0), ("ms", 1e-3), ("us", 1e-6)):
        if seconds >= size:
            return f"{seconds / size:.3g} {unit}"
    return f"{seconds / 1e-9:.3g} ns"


def figures(run):
    """Real time, CPU time, rates and the other counters of one run, as table cells."""
    rate = [f"{short(run['items_per_second'])}/s"] if "items_per_second" in run else []
    rate += [f"{run[key] / 1e9:.3g} GB/s" for key in BYTE_RATES if key in run]
    counters = [f"{key} {short(value)}" for key, value in run.items()
                if key not in STANDARD and key not in BYTE_RATES and
                isinstance(value, (int, float))]
    scale = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}[run.get("time_unit", "ns")]
    return [duration(run["real_time"] * scale), duration(run["cpu_time"] * scale),
            ", ".join(rate), ", ".join(counters)]


def chosen_runs(runs):
    """The medians where the benchmarks ran repeatedly, else each run."""
    medians = [run for run in runs if run.get("aggregate_name") == "median"]
    return medians or [run for run in runs if run.get("run_type", "iteration") == "iteration"]


def benchmark_table(program, runs):
    """One program's table."""
    chosen = chosen_runs(runs)
    lines = [f"`{program}`: {ABOUT.get(program, 'the library alone')}.", "",
             "| benchmark | real time | CPU time | rate | counters |", "|---|---|---|---|---|"]
    for run in chosen:
        name = run.get("run_name", run["name"])
        if run.get("label"):
            name += f" ({run['label']})"
        cells = ([f"error: {run.get('error_message', '')}", "", "", ""]
                 if run.get("error_occurred") else figures(run))
        lines.append(f"| `{name}` | " + " | ".join(cells) + " |")
    return "\n".join(lines) + "\n"


def wine_table(pairs):
    """The Windows build's speed against Linux's: Linux's CPU time over Windows's, per benchmark
    that both ran; `pairs` holds (Windows runs, Linux runs) for each program."""
    lines = ["| benchmark | CPU time under Wine | CPU time on Linux | Windows speed against Linux |",
             "|---|---|---|---|"]
    for windows_runs, linux_runs in pairs:
        linux = {run.get("run_name", run["name"]): run for run in chosen_runs(linux_runs)}
        for run in chosen_runs(windows_runs):
            name = run.get("run_name", run["name"])
            other = linux.get(name)
            if other is None or run.get("error_occurred") or other.get("error_occurred"):
                continue
            scale = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}
            ours = run["cpu_time"] * scale[run.get("time_unit", "ns")]
            theirs = other["cpu_time"] * scale[other.get("time_unit", "ns")]
            label = f" ({run['label']})" if run.get("label") else ""
            lines.append(f"| `{name}`{label} | {duration(ours)} | {duration(theirs)} | "
                         f"{theirs / ours:.2f}x |")
    return "\n".join(lines) + "\n"


def detector_rows(report):
    """The rows of an encoding_detectors report: true encoding, the three guesses (a wrong one
    marked), the file's name without the encoding before it; and the report's last line."""
    lines = report.rstrip("\n").split("\n")
    rows = []
    for line in lines[1:-1]:
        words = re.sub(r"\s*\*", "*", line).split()
        guesses = [guess[:-1] + " (wrong)" if guess.endswith("*") else guess
                   for guess in words[2:5]]
        rows.append((words[0], guesses, words[5].split(".", 1)[-1]))
    return rows, lines[-1].replace("  (* wrong)", "")


def detector_tables(samples, corpus):
    rows, total = detector_rows(samples)
    lines = ["The samples (a guess without a mark decodes the file to the true text):", "",
             "| true encoding | uchardet | ICU | library |", "|---|---|---|---|"]
    lines += [f"| {true} | " + " | ".join(guesses) + " |" for true, guesses, _ in rows]
    lines += ["", total + ".", ""]
    rows, total = detector_rows(corpus)
    lines += ["The corpus, the files some detector got wrong:", "",
              "| file | its encoding | uchardet | ICU | library |", "|---|---|---|---|---|"]
    lines += [f"| `{name}` | {true} | " + " | ".join(guesses) + " |"
              for true, guesses, name in rows if any(g.endswith("(wrong)") for g in guesses)]
    lines += ["", total + "."]
    return "\n".join(lines) + "\n"


def copy_corpus(target):
    corpus = os.path.join(ROOT, "tests", "data", "address_books")
    with open(os.path.join(corpus, "corpus.json"), encoding="utf-8") as manifest:
        for entry in json.load(manifest)["files"]:
            encoding = ICONV_NAMES.get(entry["encoding"],
                                       entry["encoding"].replace("_", "-").upper())
            shutil.copy(os.path.join(corpus, entry["file"]),
                        os.path.join(target, f"{encoding}.{entry['file']}"))


def main():
    command, arguments = (sys.argv[1], sys.argv[2:]) if len(sys.argv) > 2 else ("", [])
    if command == "benchmarks":
        for program in arguments[1:]:
            with open(os.path.join(arguments[0], program + ".json"), encoding="utf-8") as source:
                print(benchmark_table(program, json.load(source)["benchmarks"]))
    elif command == "wine":
        pairs = []
        for program in arguments[1:]:
            runs = []
            for system in ("windows", "linux"):
                path = os.path.join(arguments[0], f"{program}.{system}.json")
                with open(path, encoding="utf-8") as source:
                    runs.append(json.load(source)["benchmarks"])
            pairs.append(tuple(runs))
        sys.stdout.write(wine_table(pairs))
    elif command == "corpus":
        copy_corpus(arguments[0])
    elif command == "detectors" and len(arguments) == 2:
        with open(arguments[0], encoding="utf-8") as samples, \
             open(arguments[1], encoding="utf-8") as corpus:
            sys.stdout.write(detector_tables(samples.read(), corpus.read()))
    else:
        print(__doc__.strip().split("\n\n")[1], file=sys.stderr)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main())
