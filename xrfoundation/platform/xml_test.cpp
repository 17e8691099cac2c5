#include "xrfoundation/platform/xml.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

namespace xr {
namespace {

// The device message tests cover what the message helpers make of this model; here: the parse
// errors they cannot see, and what each kind of node reports.
TEST(XmlTest, ParseErrorsSayWhyAndWhere) {
  const std::tuple<const char*, const char*, size_t> rows[] = {
      {"<a>\xff</a>", "text is not valid UTF-8", 3},
      {"<a/><b/>", "more than one top-level element", 4},
      {"<a/>tail", "text outside the element", 4},
      {"<!-- only a comment -->", "no element found", 23},
  };
  for (const auto& [text, description, offset] : rows) {
    XmlParseError error;
    EXPECT_FALSE(parseXmlElement(text, &error)) << text;
    EXPECT_EQ(error.description, description) << text;
    EXPECT_EQ(error.offset, offset) << text;
  }
  XmlParseError error;
  EXPECT_FALSE(parseXmlElement("<a><b></a>", &error));
  EXPECT_FALSE(error.description.empty()) << "the parser's own reason";
  // Where the parser stops at the end of a truncated text, the offset is still inside it.
  for (std::string_view cut : {"<a b", "<a b='", "<a><b", "<a>x"}) {
    EXPECT_FALSE(parseXmlElement(cut, &error)) << cut;
    EXPECT_LE(error.offset, cut.size()) << cut;
  }
}

TEST(XmlTest, WellFormedTextIsStillRead) {
  const std::pair<std::string, std::string> rows[] = {
      {"\xEF\xBB\xBF<?xml version='1.0' encoding='UTF-8' standalone='yes'?><a>x</a>", "x"},
      {"<?xml version = '1.0' encoding = 'utf-8' ?><a/>", ""},
      {"<!DOCTYPE a PUBLIC '-//x//y' 'a.dtd' ><a>&lt;&gt;&amp;&apos;&quot;</a>", "<>&'\""},
      {"<!DOCTYPE a PUBLIC \"az AZ 09\r\n-'()+,./:=?;!*#@$_%\" '{~|[\xC3\xA9'><a/>", ""},
      {"<!DOCTYPE p:a><p:a xmlns:p='u'/>", ""},
      {"<a>&#65;&#x10FFFF;&#xE9;</a>", "A\xF4\x8F\xBF\xBF\xC3\xA9"},
      {"<p:a xmlns:p='u' p:b='1' b='2' xml:lang='en'><p:c/></p:a>", ""},
      {"<a xmlns:p='u' xmlns:q='v' p:x='1' q:x='2'/>", ""},  // same local name, other namespace
      {"<a xmlns='u' xmlns:p='&#117;'><b p:c='1' c='2'/></a>", ""},
      {"<a b='x>y' c=\"it's\" d='&#10;'><!-- - --><?pi data?>]] ]></a>", "]] ]>"},
      {"<\xC3\xA9l\xC3\xA9ment/>", ""},
      {"<a></a >", ""},
  };
  for (const auto& [text, value] : rows) {
    XmlParseError error;
    XmlNode element = parseXmlElement(text, &error);
    EXPECT_TRUE(element) << text << ": " << error.description << " at " << error.offset;
    EXPECT_EQ(element.stringValue(), value) << text;
  }
}

TEST(XmlTest, WhiteSpaceIsTextOnlyWhereItIsAllAnElementHolds) {
  XmlNode root = parseXmlElement("<r>\n  <t>  </t>\n  <n>\n</n> <e/><m> <b/> </m></r>");
  ASSERT_TRUE(root);
  std::vector<std::string> kinds;
  for (const XmlNode& child : root.children()) kinds.push_back(child.name().value_or("text"));
  EXPECT_EQ(kinds, (std::vector<std::string>{"t", "n", "e", "m"}));
  EXPECT_EQ(root.firstChildElement("t").stringValue(), "  ");
  EXPECT_EQ(root.firstChildElement("n").stringValue(), "\n");
  EXPECT_EQ(root.firstChildElement("m").children().size(), 1u);
}

TEST(XmlTest, PrintedTextReadsBackTheSame) {
  // A carriage return can only come from a reference; printed raw it would read back as a
  // line feed.
  XmlNode root = parseXmlElement("<a b='&#13;&#9;'>x&#13;y\n<c>  </c></a>");
  ASSERT_TRUE(root);
  EXPECT_EQ(root.toXml(), "<a b=\"&#13;&#09;\">x&#13;y\n<c>  </c></a>");
  for (XmlFormat format : {XmlFormat::Compact, XmlFormat::Pretty}) {
    XmlNode again = parseXmlElement(root.toXml(format));
    ASSERT_TRUE(again);
    EXPECT_EQ(again.firstChild().stringValue(), "x\ry\n");
    EXPECT_EQ(again.attribute("b"), "\r\t");
    EXPECT_EQ(again.firstChildElement("c").stringValue(), "  ");
  }
  // A processing instruction inside an element is dropped; the text around it is one text,
  // before printing as after.
  XmlNode split = parseXmlElement("<a>x<?pi data?>y<b/>z</a>");
  ASSERT_TRUE(split);
  for (const XmlNode& node : {split, parseXmlElement(split.toXml())}) {
    ASSERT_EQ(node.children().size(), 3u);
    EXPECT_EQ(node.firstChild().stringValue(), "xy");
  }
}

TEST(XmlTest, NodesReportKindNameAndValue) {
  XmlNode root = parseXmlElement(R"(<r k="v">one<!--note--><![CDATA[two]]><e>three</e></r>)");
  const std::tuple<XmlNode, XmlNodeKind, std::optional<std::string>, std::string> rows[] = {
      {root, XmlNodeKind::Element, "r", "onetwothree"},  // comments are not text, CDATA is
      {root.children().at(1), XmlNodeKind::Comment, std::nullopt, "note"},
      {root.select("@k")->at(0), XmlNodeKind::Attribute, "k", "v"},
      {root.select("/")->at(0), XmlNodeKind::Document, std::nullopt, "onetwothree"},
      {XmlNode(), XmlNodeKind::None, std::nullopt, ""},
  };
  for (const auto& [node, kind, name, value] : rows) {
    EXPECT_EQ(node.kind(), kind) << value;
    EXPECT_EQ(node.name(), name) << value;
    EXPECT_EQ(node.stringValue(), value);
  }
  // Select tells a valid path that finds nothing from a rejected one.
  EXPECT_EQ(root.select("b"), std::vector<XmlNode>{});
  EXPECT_EQ(root.select("a["), std::nullopt);
  EXPECT_EQ(root.select("@k")->at(0).select("..")->at(0), root) << "an attribute's parent";
  // An attribute prints as name="value" with only what would end or break the value escaped.
  EXPECT_EQ(parseXmlElement(R"(<r k="&amp;&lt;&gt;&quot;'"/>)").select("@k")->at(0).toXml(),
            R"(k="&amp;&lt;>&quot;'")");
  EXPECT_THROW(serializeAsDocument(root.firstChildElement("e"), XmlFormat::Compact), XmlError);
}

}  // namespace
}  // namespace xr
