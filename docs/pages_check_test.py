#!/usr/bin/env python3
"""Checks the helpers that keep the pages whole and true: pages_check.py, and the writers of
the measured figures (write_block.py, test_times.py, bench_tables.py)."""
import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import bench_tables  # noqa: E402
import pages_check  # noqa: E402
import test_times  # noqa: E402
import write_block  # noqa: E402

README = """# Project

| page | what |
|---|---|
| [Guide](docs/guide.md) | how |
| [Manual](docs/xrf.md) | the tool |

```sh
see [not a link](nowhere.md)
```
"""
GUIDE = """# Guide

## In your application's loop

Back to the [README](../README.md), on to the [manual](xrf.md#synopsis), `[code](nowhere.md)`.
"""
MANUAL = "# xrf(1)\n\n## NAME\n\nxrf\n\n## SYNOPSIS\n\nxrf group\n"


class PagesCheckTest(unittest.TestCase):
    def problems(self, readme=README, guide=GUIDE, manual=MANUAL, extra=None):
        with tempfile.TemporaryDirectory() as root:
            os.mkdir(os.path.join(root, "docs"))
            files = {"README.md": readme, "docs/guide.md": guide, "docs/xrf.md": manual}
            files.update(extra or {})
            for name, text in files.items():
                with open(os.path.join(root, name), "w", encoding="utf-8") as target:
                    target.write(text)
            return pages_check.check(root)[1]

    def test_pages_that_hold_together_pass(self):
        self.assertEqual(self.problems(), [])

    def test_each_fault_is_named(self):
        cases = [
            ("a missing page", {"guide": GUIDE + "[gone](gone.md)\n"}, "docs/guide.md:6: link "
             "to gone.md: no such file"),
            ("a missing heading", {"guide": GUIDE + "[x](xrf.md#options)\n"},
             "docs/guide.md:6: link to xrf.md#options: no heading of docs/xrf.md has that "
             "anchor"),
            ("an apostrophe kept in an anchor",
             {"readme": README + "[loop](docs/guide.md#in-your-application's-loop)\n"},
             "no heading of docs/guide.md has that anchor"),
            ("a long README", {"readme": README + "line\n" * 250}, "README.md: 260 lines, more than 250"),
            ("a page left off the map", {"extra": {"docs/design.md": "# Design\n"}},
             "README.md: the map of the documents does not name docs/design.md"),
            ("a manual that lost its shape",
             {"manual": "# xrf\n\n## DESCRIPTION\n\n## SYNOPSIS\n"},
             "docs/xrf.md: the man page's sections must start with NAME and SYNOPSIS"),
        ]
        for name, arguments, expected in cases:
            with self.subTest(name):
                found = self.problems(**arguments)
                self.assertEqual(len(found), 1, found)
                self.assertIn(expected, found[0])


class WriteBlockTest(unittest.TestCase):
    PAGE = "# Page\n\n<!-- begin: figures -->\nold\nlines\n<!-- end: figures -->\n\nAfter.\n"

    def test_the_block_is_replaced_and_the_rest_kept(self):
        self.assertEqual(write_block.replace_block(self.PAGE, "figures", "new\n"),
                         "# Page\n\n<!-- begin: figures -->\nnew\n<!-- end: figures -->\n\n"
                         "After.\n")
        self.assertEqual(write_block.replace_block(self.PAGE, "figures", ""),
                         "# Page\n\n<!-- begin: figures -->\n<!-- end: figures -->\n\nAfter.\n")

    def test_markers_missing_repeated_or_reversed_are_refused(self):
        for page in ("no markers\n", self.PAGE + self.PAGE,
                     "<!-- end: figures -->\n<!-- begin: figures -->\n"):
            with self.subTest(page=page), self.assertRaises(ValueError):
                write_block.replace_block(page, "figures", "new\n")
        with self.assertRaises(ValueError):
            write_block.replace_block(self.PAGE, "other", "new\n")


class TestTimesTest(unittest.TestCase):
    LOG = ("=== setup\n=== setup done in 1 s\nbuilding...\n=== default done in 497 s\n"
           "=== fuzz done in 200 s\nall test runs passed in 698 s\n")

    def test_the_stages_and_the_whole_time_are_taken_from_the_log(self):
        self.assertEqual(test_times.block(self.LOG, "2026-12-08", "a CPU, 2 cores"),
                         "The last run written here, on 2026-12-08 (a CPU, 2 cores): 11 min 38 s"
                         " (698 s) in all. The stages took (minutes:seconds):\n\n"
                         "| setup | default | fuzz |\n|---|---|---|\n| 0:01 | 8:17 | 3:20 |\n")

    def test_the_readme_gets_the_whole_time_and_how_the_machine_stood(self):
        self.assertEqual(test_times.summary(self.LOG, "2026-12-08", "a CPU, 2 cores", "warm cache"),
                         "Its last run written here took 11 min 38 s, on 2026-12-08"
                         " (a CPU, 2 cores, warm cache).\n")

    def test_a_run_that_did_not_pass_writes_nothing(self):
        with self.assertRaises(ValueError):
            test_times.block(self.LOG.replace("all test runs passed in 698 s\n", ""), "", "")
        with self.assertRaises(ValueError):
            test_times.summary(self.LOG.replace("all test runs passed in 698 s\n", ""), "", "")


class BenchTablesTest(unittest.TestCase):
    def test_medians_are_taken_with_their_rates_counters_and_labels(self):
        runs = [
            {"name": "BM_A/1_mean", "run_name": "BM_A/1", "aggregate_name": "mean",
             "real_time": 9.0, "cpu_time": 9.0, "time_unit": "ms"},
            {"name": "BM_A/1_median", "run_name": "BM_A/1", "aggregate_name": "median",
             "label": "mix", "real_time": 2500.0, "cpu_time": 0.5, "time_unit": "ms",
             "items_per_second": 1.5e6, "GB/s": 3.04e9, "allocs": 0},
        ]
        self.assertEqual(bench_tables.benchmark_table("phone_bench", runs).split("\n")[-2],
                         "| `BM_A/1 (mix)` | 2.5 s | 500 us | 1.5 M/s, 3.04 GB/s | allocs 0 |")

    def test_a_run_without_repetitions_or_with_an_error_is_shown_as_it_is(self):
        runs = [{"name": "BM_B", "run_type": "iteration", "real_time": 12.0, "cpu_time": 11.0,
                 "time_unit": "ns"},
                {"name": "BM_C", "error_occurred": True, "error_message": "decode differs"}]
        self.assertEqual(bench_tables.benchmark_table("x", runs).split("\n")[-3:-1],
                         ["| `BM_B` | 12 ns | 11 ns |  |  |",
                          "| `BM_C` | error: decode differs |  |  |  |"])

    def test_wine_ratios_pair_the_benchmarks_both_builds_ran(self):
        windows = [{"name": "BM_A", "real_time": 1, "cpu_time": 400.0, "time_unit": "ns"},
                   {"name": "BM_OnlyWindows", "real_time": 1, "cpu_time": 1.0}]
        linux = [{"name": "BM_A", "real_time": 1, "cpu_time": 0.1, "time_unit": "us"}]
        self.assertEqual(bench_tables.wine_table([(windows, linux)]).split("\n")[2:],
                         ["| `BM_A` | 400 ns | 100 ns | 0.25x |", ""])

    def test_a_detector_report_gives_its_guesses_with_the_wrong_ones_marked(self):
        report = ("true  bytes  uchardet  ICU  library  file\n"
                  "CP1252  2212  MAC-CENTRALEUROPE* ISO-8859-1     Windows-1252   "
                  "CP1252.outlook_nl.csv\n"
                  "right of 1: uchardet 0, ICU 1, library 1  (* wrong)\n")
        self.assertEqual(bench_tables.detector_rows(report),
                         ([("CP1252", ["MAC-CENTRALEUROPE (wrong)", "ISO-8859-1", "Windows-1252"],
                            "outlook_nl.csv")], "right of 1: uchardet 0, ICU 1, library 1"))


if __name__ == "__main__":
    unittest.main()
