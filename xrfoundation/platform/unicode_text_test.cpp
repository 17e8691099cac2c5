// Case folding and normalisation for comparing names: the same name typed another way folds to
// the same text, different names stay apart, and damaged UTF-8 does not break it.
#include "xrfoundation/platform/unicode_text.h"

#include <gtest/gtest.h>

#include <string>

namespace xr {
namespace {

TEST(UnicodeTextTest, FoldsCaseAndComposesBeyondAscii) {
  struct Case {
    std::string text;
    std::string folded;
  };
  const Case cases[] = {
      {"ÉMAIL", "émail"},
      {"E\xCC\x81mail", "émail"},                             // "E" and a combining acute: composed
      {"\xCE\xA3\xCE\x9F\xCE\xA6\xCE\x99\xCE\x91", "σοφια"},  // Greek capitals
      {"ПОЧТА", "почта"},
      {"Straße", "strasse"},     // full folding: ß is "ss"
      {"電話番号", "電話番号"},  // no case: unchanged
      {"", ""},
      {"Ab\xFF"
       "C",
       "ab\xFF"
       "c"},  // not UTF-8: ASCII folds, the rest stays
  };
  for (const Case& c : cases) EXPECT_EQ(foldedNfc(c.text), c.folded) << c.text;
  EXPECT_NE(foldedNfc("émail"), foldedNfc("email"));
}

}  // namespace
}  // namespace xr
