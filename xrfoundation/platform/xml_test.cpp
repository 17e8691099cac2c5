#include "xrfoundation/platform/xml.h"

#include <gtest/gtest.h>

#include <tuple>

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
