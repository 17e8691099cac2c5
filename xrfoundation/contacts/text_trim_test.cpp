// trimmed(): blanks and line ends go at both ends only, other white space stays.
#include "xrfoundation/contacts/text_trim.h"

#include <gtest/gtest.h>

namespace xr {
namespace {

struct Row {
  const char* text;
  const char* trimmed;
};
constexpr Row kRows[] = {
    {"", ""},
    {" \t\r\n", ""},
    {"a", "a"},
    {"\r\n  Ann Lee \t", "Ann Lee"},
    {"two\nlines\n", "two\nlines"},
    {"\v x \v", "\v x \v"},                            // a vertical tab is no blank
    {"\xC2\xA0nbsp\xC2\xA0", "\xC2\xA0nbsp\xC2\xA0"},  // nor is a no-break space
};

TEST(TextTrimTest, DropsBlanksAndLineEndsAtBothEndsOnly) {
  for (const Row& row : kRows) EXPECT_EQ(trimmed(row.text), row.trimmed) << "input: " << row.text;
  static_assert(trimmed("  x ") == "x");
}

}  // namespace
}  // namespace xr
