#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "xrfoundation/platform/xml.h"
#include "xrfoundation/platform/xml_wellformed_internal.h"

namespace xr {
namespace {

// Each of these breaks a rule of XML 1.0 with namespaces that the parser alone would let by.
TEST(XmlWellFormedTest, RefusesTextWithTheFirstRuleItBreaks) {
  const std::pair<std::string, const char*> rows[] = {
      {"<a>&nbsp;</a>", "undefined entity"},
      {"<a b='&copy;'/>", "undefined entity"},
      {"<!DOCTYPE a [<!ENTITY e 'x'>]><a>&e;</a>", "internal DTD subset not accepted"},
      {"<!DOCTYPE a& SYSTEM 'x'><a/>", "malformed document type declaration"},
      {"<!DOCTYPE a SYSTEM><a/>", "malformed document type declaration"},
      // Characters a public identifier may not hold.
      {"<!DOCTYPE a PUBLIC '{' 'x'><a/>", "malformed document type declaration"},
      {"<!DOCTYPE a PUBLIC 'a\tb' 'x'><a/>", "malformed document type declaration"},
      {"<!DOCTYPE a PUBLIC '\xC3\xA9' 'x'><a/>", "malformed document type declaration"},
      {"<a>x & y</a>", "'&' that starts no reference"},
      {"<a>&#0;</a>", "reference to a character not allowed in XML"},
      {"<a>&#xD800;</a>", "reference to a character not allowed in XML"},
      {"<a>&#x110000;</a>", "reference to a character not allowed in XML"},
      {"<a>&#99999999999;</a>", "reference to a character not allowed in XML"},
      {"<a>&#x;</a>", "malformed character reference"},
      {"<a>\x01</a>", "character not allowed in XML"},
      {"<a>\xEF\xBF\xBF</a>", "character not allowed in XML"},  // U+FFFF
      {std::string("<a/>\0", 5), "character not allowed in XML"},
      {" <?xml version='1.0'?><a/>", "XML declaration not at the start"},
      {"<?XML version='1.0'?><a/>", "reserved processing instruction target"},
      {"<a><?x?y?></a>", "processing instruction target not allowed"},
      {"<?xml?><a/>", "malformed XML declaration"},
      {"<?xml encoding='UTF-8' version='1.0'?><a/>", "malformed XML declaration"},
      {"<?xml version='1.0' encoding='ISO-8859-1'?><a/>", "malformed XML declaration"},
      {"<?xml version='1&#46;0'?><a/>", "malformed XML declaration"},
      {"<?xml version='1.0' standalone='maybe'?><a/>", "malformed XML declaration"},
      {"<?xml version='1.0'encoding='UTF-8'?><a/>", "malformed XML declaration"},
      {"<a b='1' b='2'/>", "duplicated attribute"},
      {"<a xmlns:p='u' xmlns:q='u' p:x='1' q:x='2'/>", "duplicated attribute"},
      {"<a k0='' k1='' k2='' k3='' k4='' k5='' k6='' k7='' k8='' k9='' k10='' k11='' k12=''"
       " k13='' k14='' k15='' k16='' k3=''/>",
       "duplicated attribute"},
      {"<p:a/>", "undeclared namespace prefix"},
      {"<a p:b='1'/>", "undeclared namespace prefix"},
      {"<a><p:b xmlns:p='u'/><p:c/></a>", "undeclared namespace prefix"},  // out of scope
      {"<a xmlns:p=''/>", "namespace prefix declared empty"},
      {"<a xmlns:xml='u'/>", "reserved namespace prefix or name"},
      {"<a xmlns:xmlns='u'/>", "reserved namespace prefix or name"},
      {"<a><xmlns:b/></a>", "reserved namespace prefix or name"},
      {"<a:b:c xmlns:a='u'/>", "element name not allowed"},
      {"<a\xC3\x97/>", "element name not allowed"},  // U+00D7 is no name character
      {"<a b='<'/>", "'<' in an attribute value"},
      {"<a>]]></a>", "']]>' in text"},
      {"<a><!-- a ---></a>", "'--' inside a comment"},
      {"<a/><!DOCTYPE a>", "document type declaration out of place"},
  };
  for (const auto& [text, description] : rows) {
    const XmlFault fault = checkXmlWellFormed(text);
    ASSERT_TRUE(fault) << text;
    EXPECT_STREQ(fault.what, description) << text;
  }
}

// A tag cut short is left to the parser, which says what it expected; so is an end tag with
// nothing open, which the check cannot place.
TEST(XmlWellFormedTest, LeavesMarkupItCannotFollowToTheParser) {
  for (const char* text : {"<a b", "<a b='1'", "<a/></b>", "<a><!-- x", "<?xml version='1.0'"}) {
    const XmlFault fault = checkXmlWellFormed(text);
    EXPECT_TRUE(fault.unclear()) << text << ": " << (fault ? fault.what : "no fault");
  }
}

TEST(XmlWellFormedTest, RefusesNestingDeeperThanTheLimit) {
  auto nested = [](int depth) {
    std::string text;
    for (int i = 0; i < depth; ++i) text += "<e>";
    for (int i = 0; i < depth; ++i) text += "</e>";
    return text;
  };
  EXPECT_FALSE(checkXmlWellFormed(nested(kMaxXmlDepth)));
  const XmlFault fault = checkXmlWellFormed(nested(kMaxXmlDepth + 1));
  EXPECT_STREQ(fault.what, "element nested too deeply");
  EXPECT_EQ(fault.offset, 3u * kMaxXmlDepth);
  // Empty elements do not nest.
  std::string siblings = "<r>";
  for (int i = 0; i < 2 * kMaxXmlDepth; ++i) siblings += "<e/>";
  EXPECT_FALSE(checkXmlWellFormed(siblings + "</r>"));
}

}  // namespace
}  // namespace xr
