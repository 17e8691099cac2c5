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
      {"<!DOCTYPE a><!DOCTYPE a><a/>", "document type declaration out of place"},
      {"<!DOCTYPE ><a/>", "malformed document type declaration"},
      {"<!DOCTYPE a SYSTEM 'x' y><a/>", "malformed document type declaration"},
      {"<a>&;</a>", "'&' that starts no reference"},
      {"<a>&a b;</a>", "'&' that starts no reference"},
      {"<a>&A-b.c_:9\xC3\xA9;</a>", "undefined entity"},
      {"<a>&#1a;</a>", "malformed character reference"},
      {"<a>&#xaG;</a>", "malformed character reference"},
      {"<?xml version='2.0'?><a/>", "malformed XML declaration"},
      {"<?xml version='1.'?><a/>", "malformed XML declaration"},
      {"<?xml version='1.x'?><a/>", "malformed XML declaration"},
      {"<?xml version=1.0?><a/>", "malformed XML declaration"},
      {"<?xml version?><a/>", "malformed XML declaration"},
      {"<?xml version='1.0' standalone=\"no\" x?><a/>", "malformed XML declaration"},
      {"<a xmlns='http://www.w3.org/XML/1998/namespace'/>", "reserved namespace as the default"},
      {"<a xmlns='http://www.w3.org/2000/xmlns/'/>", "reserved namespace as the default"},
      {"<a xmlns:p='http://www.w3.org/2000/xmlns/'/>", "reserved namespace prefix or name"},
      // A namespace is compared as the parser reads it, its references replaced.
      {"<a xmlns:p='&#x68;ttp://www.w3.org/2000/xmlns/'/>", "reserved namespace prefix or name"},
      {"<a xmlns='&#104;ttp://www.w3.org/XML/1998/namespace'/>",
       "reserved namespace as the default"},
      {"<a \xC3\x97='1'/>", "attribute name not allowed"},
      // Names: a colon at either end, a digit or a combining mark first, and characters between
      // the ranges of name characters.
      {"<:a/>", "element name not allowed"},
      {"<a:/>", "element name not allowed"},
      {"<1a/>", "element name not allowed"},
      {"<p:1a xmlns:p='u'/>", "element name not allowed"},
      {"<\xC2\xB7/>", "element name not allowed"},
      {"<\xCC\x80/>", "element name not allowed"},
      {"<a\xC3\xB7/>", "element name not allowed"},
      {"<a\xCD\xBE/>", "element name not allowed"},
      {"<a\xE2\x80\x80/>", "element name not allowed"},
      {"<a\xEF\xB7\x90/>", "element name not allowed"},
      {"<a\xF3\xB0\x80\x80/>", "element name not allowed"},
  };
  for (const auto& [text, description] : rows) {
    const XmlFault fault = checkXmlWellFormed(text);
    ASSERT_TRUE(fault) << text;
    EXPECT_STREQ(fault.what, description) << text;
  }
}

// What the rules allow passes: characters beyond the BMP and the private use area, every kind
// of reference, a full declaration, document types, instructions, comments, and names from
// each range of name characters.
TEST(XmlWellFormedTest, AcceptsWhatTheRulesAllow) {
  for (const char* text : {
           "<a>\xEE\x80\x80\xF0\x9F\x99\x82</a>",
           "<a b='&lt;&gt;&amp;&apos;&quot;'>&#xaf;&#xAF;&#65;</a>",
           "<?xml version = \"1.0\" encoding='utf-8' standalone=\"yes\" ?><a/>",
           "<!DOCTYPE a PUBLIC \"-//A//B\" \"x\"><a/>",
           "<!DOCTYPE a SYSTEM 'x'><?pi data?><?pi?><a><!--x--></a >",
           "<_a-b.c:d xmlns:_a-b.c='u' A:B='1' xmlns:A='v'/>",
           "<a xmlns:p='u&amp;&lt;&gt;&apos;&quot;&#65;&#x42;\t\n' xmlns:xml="
           "'http://www.w3.org/XML/1998/namespace' p:x='1' \xC3\xA9='2'/>",
           "<\xC3\x80\xC3\x98\xC3\xB8\xCD\xB0\xCE\xB1\xE2\x80\x8C\xE2\x81\xB0\xE2\xB0\x80\xE3\x81"
           "\x82\xEF\xA4\x80\xEF\xB7\xB0\xF0\x90\x80\x80\xC2\xB7\xCC\x80\xE2\x80\xBF/>",
       }) {
    const XmlFault fault = checkXmlWellFormed(text);
    EXPECT_FALSE(fault) << text << ": " << (fault ? fault.what : "");
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
