#!/usr/bin/env python3
"""Checks doxygen_filter.awk on the shapes the library's headers use."""
import os
import subprocess
import unittest

FILTER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "doxygen_filter.awk")


def run(text):
    return subprocess.run(["awk", "-f", FILTER], input=text, capture_output=True, text=True,
                          check=True).stdout


class DoxygenFilterTest(unittest.TestCase):
    def test_top_comment_describes_the_file(self):
        self.assertEqual(run("// a.h: what it is.\n// More.\n#pragma once\n"),
                         "/// a.h: what it is.\n/// More. @file\n#pragma once\n")

    def test_block_directly_above_a_declaration_documents_it(self):
        source = "#pragma once\n  // Does it.\n  // Contract.\n  void f();\n"
        self.assertEqual(run(source),
                         "#pragma once\n  /// Does it.\n  /// Contract.\n  void f();\n")

    def test_block_above_a_run_of_declarations_documents_each(self):
        source = ("#pragma once\n  // Standard outcomes;\n  // each call makes a new record.\n"
                  "  static R a();\n  static R b();  // own words\n  static R c();\n\n"
                  "  static R d();\n")
        self.assertEqual(run(source),
                         "#pragma once\n  /// Standard outcomes;\n  /// each call makes a new record.\n"
                         "  static R a();\n  static R b();  ///< own words\n"
                         "  static R c();  ///< Standard outcomes; each call makes a new record.\n"
                         "\n  static R d();\n")

    def test_run_stops_at_anything_but_a_one_line_declaration(self):
        source = ("#pragma once\n// Pair.\nint f();\nint g(int a,\n      int b);\nint h();\n"
                  "// Class.\nclass A {\n int i;\n};\n")
        self.assertEqual(run(source),
                         "#pragma once\n/// Pair.\nint f();\nint g(int a,\n      int b);\nint h();\n"
                         "/// Class.\nclass A {\n int i;\n};\n")

    def test_block_before_a_blank_line_or_closing_brace_stays_plain(self):
        source = "#pragma once\n// Section.\n\nint a;\n  // last words\n};\n"
        self.assertEqual(run(source), source)

    def test_trailing_comments_document_members_and_enumerators(self):
        source = ("#pragma once\n  int x_ = 0;  // units\n  Off,  // none\n  Last  // end\n"
                  "  bool f() const;  // absent until set\n")
        self.assertEqual(run(source),
                         "#pragma once\n  int x_ = 0;  ///< units\n  Off,  ///< none\n"
                         "  Last  ///< end\n  bool f() const;  ///< absent until set\n")

    def test_trailing_comments_after_braces_directives_and_in_strings_stay(self):
        source = ('#pragma once\n}  // namespace xr\n#endif  // X\nclass A {  // a\n'
                  'const char* u = "http://x";\n')
        self.assertEqual(run(source), source)

    def test_comment_text_is_not_read_as_markup(self):
        source = '#pragma once\n// Reads <iq id="1">, "%@" and \\r\\n; costs $1 & #2 @ once.\nint f();\n'
        self.assertEqual(run(source),
                         '#pragma once\n/// Reads \\<iq id="1"\\>, "\\%\\@" and \\\\r\\\\n; '
                         'costs \\$1 \\& \\#2 \\@ once.\nint f();\n')

    def test_existing_doc_comments_and_line_count_are_kept(self):
        source = "#pragma once\n/// Already.\nint a;  ///< too\n\n\n"
        out = run(source)
        self.assertEqual(out, source)
        self.assertEqual(out.count("\n"), source.count("\n"))


if __name__ == "__main__":
    unittest.main()
