// The content-line tokenizer: line ends, unfolding, nested records and the split of a line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "xrfoundation/contacts/vcard_content_line_internal.h"

namespace xr::vcard_internal {
namespace {

std::vector<std::string> rawLines(const ContentLineReader& reader) {
  std::vector<std::string> out;
  for (const ContentLine& line : reader.lines()) out.emplace_back(line.raw);
  return out;
}

TEST(VCardContentLineTest, UnfoldsWhateverTheLineEnds) {
  std::vector<std::pair<std::string, std::vector<std::string>>> rows = {
      {"FN:Ann\r\n Lee\r\nN:Lee;Ann\r\n", {"FN:AnnLee", "N:Lee;Ann"}},
      {"FN:Ann\n\t Lee\n", {"FN:Ann Lee"}},
      {"FN:Ann\r Lee\rNOTE:x\r", {"FN:AnnLee", "NOTE:x"}},  // CR alone, as old Macs wrote
      // CR CR LF is one line end, so the fold after it still continues its line.
      {"FN:Ann\r\r\n  Lee\r\r\nTEL:1\r\r\r\n", {"FN:Ann Lee", "TEL:1"}},
      // A soft break joins the next line whatever it starts with; '=' and indent both go.
      {"NOTE;ENCODING=QUOTED-PRINTABLE:a=\r\nb=\r\n c\r\n", {"NOTE;ENCODING=QUOTED-PRINTABLE:abc"}},
      {"NOTE:a=\r\nb:c\r\n", {"NOTE:a=", "b:c"}},  // not QUOTED-PRINTABLE: no soft break
      // An indented line after an empty one continues nothing that is there.
      {"FN:Four\r\n\r\n\tX:1\r\n", {"FN:Four", "X:1"}},
      // 2.1 folds before a blank that was there: unfolding keeps it, 3.0 and 4.0 drop it. The
      // first VERSION line of the record decides, wherever it stands.
      {"VERSION:2.1\r\nNOTE:an\r\n example\r\n", {"VERSION:2.1", "NOTE:an example"}},
      {"VERSION:3.0\r\nNOTE:an\r\n example\r\n", {"VERSION:3.0", "NOTE:anexample"}},
      {"NOTE:an\n\texample\nitem1.version : 2.1 \nVERSION:3.0\n",
       {"NOTE:an\texample", "item1.version : 2.1 ", "VERSION:3.0"}},
      {"AGENT:\nBEGIN:VCARD\nVERSION:2.1\nEND:VCARD\nNOTE:an\n example\n",
       {"AGENT:", "NOTE:anexample"}},  // the nested record's version is its own
      // 2.1's soft breaks stay as they are beside its folds.
      {"VERSION:2.1\r\nNOTE;QUOTED-PRINTABLE:a=3D=\r\nb=\r\n c\r\nFN:Ann\r\n Lee\r\n",
       {"VERSION:2.1", "NOTE;QUOTED-PRINTABLE:a=3Dbc", "FN:Ann Lee"}},
      // A folded line continues whatever it reads: no nested record begins or ends there.
      {"NOTE:a\r\n END:VCARD\r\n\tBEGIN:VCARD\r\nFN:b\r\n", {"NOTE:aEND:VCARDBEGIN:VCARD", "FN:b"}},
      {"AGENT:\nBEGIN:VCARD\nNOTE:x\n END:VCARD\nEND:VCARD\nFN:Out\n", {"AGENT:", "FN:Out"}},
      // A nested record (2.1 AGENT) is passed over, however deep.
      {"AGENT:\r\nBEGIN:VCARD\r\nbegin:vcard\r\nFN:In\r\nEND:VCARD\r\nEND:VCARD\r\nFN:Out\r\n",
       {"AGENT:", "FN:Out"}},
  };
  // Line ends are looked for sixteen bytes a step: lines of many steps, whatever their line end.
  const std::string longValue(700, 'x');
  for (const char* end : {"\r", "\n", "\r\n", "\r\r\n"}) {
    rows.push_back(
        {"NOTE:" + longValue + end + "FN:a" + end + " b" + end, {"NOTE:" + longValue, "FN:ab"}});
  }
  ContentLineReader reader;
  for (const auto& [body, lines] : rows) {
    reader.read(body);
    EXPECT_EQ(rawLines(reader), lines) << ::testing::PrintToString(body);
  }
  reader.read("NO COLON\r\nFN:x\r\n  \r\n");
  EXPECT_EQ(reader.unparsed(), std::vector<std::string_view>{"NO COLON"});
}

TEST(VCardContentLineTest, SplitsGroupNameParametersAndValue) {
  ContentLine line;
  std::vector<Param> params;
  ASSERT_TRUE(parseContentLine("item1.tel;TYPE=\"cell,voice\";PREF;x-a=\"b:c;d\":+1 555:0199", line,
                               params));
  EXPECT_EQ(line.group, "item1");
  EXPECT_EQ(line.name, "TEL");
  EXPECT_EQ(line.value, "+1 555:0199");
  ASSERT_EQ(line.paramCount, 3u);
  EXPECT_EQ(params[0].name, "TYPE");
  EXPECT_EQ(params[0].value, "cell,voice");
  EXPECT_EQ(params[1].name, "");
  EXPECT_EQ(params[1].value, "PREF");
  EXPECT_EQ(params[2].value, "b:c;d");  // a quoted ':' or ';' ends nothing
  EXPECT_FALSE(parseContentLine("NOTE;TYPE=\"open:", line, params));
  EXPECT_FALSE(parseContentLine("NO COLON", line, params));
}

}  // namespace
}  // namespace xr::vcard_internal
