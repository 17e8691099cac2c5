#include "xrfoundation/platform/xml.h"

#include <gtest/gtest.h>

namespace xr {
namespace {

TEST(XmlTest, ParseErrorsSayWhyAndWhere) {
  struct Row {
    const char* text;
    const char* description;
    size_t offset;
  };
  const Row rows[] = {
      {"<a>\xff</a>", "text is not valid UTF-8", 3},
      {"<a/><b/>", "more than one top-level element", 4},
      {"<a/>tail", "text outside the element", 4},
      {"<!-- only a comment -->", "no element found", 23},
  };
  for (const Row& row : rows) {
    XmlParseError error;
    EXPECT_FALSE(parseXmlElement(row.text, &error)) << row.text;
    EXPECT_EQ(error.description, row.description) << row.text;
    EXPECT_EQ(error.offset, row.offset) << row.text;
  }
  XmlParseError error;
  EXPECT_FALSE(parseXmlElement("<a><b></a>", &error));
  EXPECT_FALSE(error.description.empty()) << "the parser's own reason";
}

TEST(XmlTest, NodesReportKindNameAndValue) {
  XmlNode root = parseXmlElement(R"(<r k="v">one<!--note--><![CDATA[two]]><e>three</e></r>)");
  ASSERT_TRUE(root);
  std::vector<XmlNode> children = root.children();
  ASSERT_EQ(children.size(), 4u);
  struct Row {
    XmlNode node;
    XmlNodeKind kind;
    std::optional<std::string> name;
    std::string value;
  };
  const Row rows[] = {
      {root, XmlNodeKind::Element, "r", "onetwothree"},  // comments are not text
      {children[0], XmlNodeKind::Text, std::nullopt, "one"},
      {children[1], XmlNodeKind::Comment, std::nullopt, "note"},
      {children[2], XmlNodeKind::Text, std::nullopt, "two"},
      {children[3], XmlNodeKind::Element, "e", "three"},
      {root.select("@k")->at(0), XmlNodeKind::Attribute, "k", "v"},
      {root.select("/")->at(0), XmlNodeKind::Document, std::nullopt, "onetwothree"},
      {XmlNode(), XmlNodeKind::None, std::nullopt, ""},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    EXPECT_EQ(rows[i].node.kind(), rows[i].kind) << "row " << i;
    EXPECT_EQ(rows[i].node.name(), rows[i].name) << "row " << i;
    EXPECT_EQ(rows[i].node.stringValue(), rows[i].value) << "row " << i;
  }
}

TEST(XmlTest, SelectTellsRejectedFromEmpty) {
  XmlNode root = parseXmlElement("<r><a/><a/></r>");
  EXPECT_EQ(root.select("a")->size(), 2u);
  EXPECT_EQ(root.select("b"), std::vector<XmlNode>{}) << "valid, selects nothing";
  EXPECT_EQ(root.select("a["), std::nullopt);
  EXPECT_EQ(root.select("1 + 1"), std::nullopt) << "a number is not a node set";
  EXPECT_EQ(XmlNode().select("a"), std::nullopt);
  // Relative to an attribute node, ".." is its element.
  XmlNode attribute = parseXmlElement(R"(<r k="v"/>)").select("@k")->at(0);
  EXPECT_EQ(attribute.select("..")->at(0).name(), "r");
}

TEST(XmlTest, OnlyADocumentsOwnElementCanBecomeARoot) {
  XmlNode root = parseXmlElement("<r><a>x</a></r>");
  EXPECT_EQ(serializeAsDocument(root, XmlFormat::Compact), "<r><a>x</a></r>");
  EXPECT_EQ(serializeAsDocument(root, XmlFormat::Pretty), "<r>\n    <a>x</a>\n</r>\n");
  EXPECT_THROW(serializeAsDocument(root.firstChildElement("a"), XmlFormat::Pretty), XmlError);
  EXPECT_THROW(serializeAsDocument(root.select("//text()")->at(0), XmlFormat::Pretty), XmlError);
  EXPECT_THROW(serializeAsDocument(XmlNode(), XmlFormat::Pretty), XmlError);
}

TEST(XmlTest, HandlesOfOneNodeAreEqualAndOutliveTheirRoot) {
  XmlNode child;
  {
    XmlNode root = parseXmlElement("<r><a>kept</a></r>");
    child = root.firstChildElement("a");
    EXPECT_EQ(child, root.select("a")->at(0));
    EXPECT_FALSE(child == root);
  }
  EXPECT_EQ(child.stringValue(), "kept");
  EXPECT_EQ(child.toXml(), "<a>kept</a>");
}

}  // namespace
}  // namespace xr
