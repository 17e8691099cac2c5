// Value decoding: parameters, QUOTED-PRINTABLE with charsets, escapes by version, photos.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "xrfoundation/contacts/base64.h"
#include "xrfoundation/contacts/vcard_value_internal.h"
#include "xrfoundation/platform/testing/test_images.h"

namespace xr::vcard_internal {
namespace {

// The decoded value of one content line, escapes still in.
std::string decode(std::string_view text) {
  ContentLine line;
  std::vector<Param> params;
  EXPECT_TRUE(parseContentLine(text, line, params)) << text;
  return decodedValue(line, infoOf(line, params));
}

TEST(VCardValueTest, DecodesQuotedPrintableThenTheCharset) {
  const std::pair<const char*, const char*> rows[] = {
      {"FN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:=C3=91and=C3=BA", "Ñandú"},
      // "表" in SHIFT_JIS is 95 5C: its second byte is a backslash's, and stays part of it.
      {"N;CHARSET=SHIFT_JIS;ENCODING=QUOTED-PRINTABLE:=8E=52=93=63;=95=5C", "山田;表"},
      {"NOTE;QUOTED-PRINTABLE;CHARSET=ISO-8859-1:Caf=E9=0D=0A=4", "Café\r\n=4"},
      {"NOTE:caf\xE9 \x80", "café €"},  // no charset, not UTF-8: Windows-1252
      {"NOTE;CHARSET=NO-SUCH:Zo\xC3\xAB", "Zoë"},
      {"NOTE;QUOTED-PRINTABLE;CHARSET=UTF-8:=c3=a9=G1=", "é=G1="},
      {"NOTE;CHARSET=US-ASCII:Zo\xC3\xAB", "Zoë"},
      // Every name of SHIFT_JIS is read as Microsoft's, whose 5C is a backslash, not a yen sign.
      {"N;CHARSET=Shift-JIS;ENCODING=QUOTED-PRINTABLE:=95=5C=5C", "表\\"},
      {"N;CHARSET=sjis;ENCODING=QUOTED-PRINTABLE:=95=5C=5C", "表\\"},
      {"N;CHARSET=X-SJIS;ENCODING=QUOTED-PRINTABLE:=95=5C=5C", "表\\"},
      {"N;CHARSET=Windows-31J;ENCODING=QUOTED-PRINTABLE:=95=5C=5C", "表\\"},
      {"N;CHARSET=MS_Kanji;ENCODING=QUOTED-PRINTABLE:=95=5C=5C", "表\\"},
      {"N;CHARSET=cp932;ENCODING=QUOTED-PRINTABLE:=95=5C=5C", "表\\"},
  };
  for (const auto& [line, value] : rows) EXPECT_EQ(decode(line), value) << line;
}

TEST(VCardValueTest, ReadsEscapesAsItsVersionWritesThem) {
  EXPECT_EQ(unescaped(std::string_view("a\\nb\\N\\\\c\\,d\\;e\\:f\\x\\"), false),
            "a\nb\n\\c,d;e:f\\x\\");
  EXPECT_EQ(unescaped(std::string("a\\nb\\;c\\,"), true), "a\\nb;c\\,");
  EXPECT_EQ(splitEscaped("Lee\\;Smith;Ann;;\\", ';', false),
            (std::vector<std::string>{"Lee;Smith", "Ann", "", "\\"}));
  EXPECT_EQ(splitEscaped("work\\,golf,x", ',', false),
            (std::vector<std::string>{"work,golf", "x"}));
}

TEST(VCardValueTest, ReadsParametersInEverySpelling) {
  ContentLine line;
  std::vector<Param> params;
  ASSERT_TRUE(parseContentLine(
      "TEL;type=cell;TYPE=\"voice, pref\";HOME;Encoding=b;charset=x;VALUE=uri:1", line, params));
  const LineInfo info = infoOf(line, params);
  EXPECT_EQ(info.types, (std::vector<std::string_view>{"cell", "voice", "pref", "HOME"}));
  EXPECT_EQ(info.encoding, "b");
  EXPECT_EQ(info.charset, "x");
  EXPECT_EQ(info.valueType, "uri");
  params.clear();
  ASSERT_TRUE(parseContentLine("X-IM;Google Talk;QUOTED-PRINTABLE:a", line, params));
  EXPECT_EQ(infoOf(line, params).service, "Google Talk");
  EXPECT_EQ(uriScheme("xmpp:ann@example"), "xmpp");
  EXPECT_EQ(uriScheme("ann (at) example: x"), "");
}

TEST(VCardValueTest, PhotosComeFromBase64OrDataUris) {
  const std::vector<uint8_t> png = testing::makeTestPng(4, 4);
  const std::string base64(*base64Encoding(png));
  const auto photo = [](std::string text) {
    ContentLine line;
    std::vector<Param> params;
    EXPECT_TRUE(parseContentLine(text, line, params));
    return photoOf(line, infoOf(line, params));
  };
  EXPECT_NE(photo("PHOTO;ENCODING=b:" + base64.substr(0, 8) + " \t" + base64.substr(8)), nullptr);
  EXPECT_NE(photo("PHOTO:data:image/png;base64," + base64), nullptr);
  EXPECT_EQ(photo("PHOTO:data:image/png," + base64), nullptr);  // not base64
  EXPECT_EQ(photo("PHOTO;VALUE=uri:https://example/a.png"), nullptr);
  EXPECT_EQ(photo("PHOTO;ENCODING=b:" + base64.substr(0, 12)), nullptr);  // no image
}

}  // namespace
}  // namespace xr::vcard_internal
