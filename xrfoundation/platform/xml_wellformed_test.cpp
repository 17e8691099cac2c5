#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "xrfoundation/platform/xml.h"
#include "xrfoundation/platform/xml_wellformed_internal.h"

namespace xr {
namespace {

// Each of these breaks a rule of XML 1.0 with namespaces that the parser alone would let by.
TEST(XmlWellFormedTest, RefusesTextWithTheFirstRuleItBreaks) {
  const std::pair<const char*, std::vector<std::string>> rows[] = {
      {"undefined entity", {"<a>&nbsp;</a>", "<a b='&copy;'/>", "<a>&A-b.c_:9\xC3\xA9;</a>"}},
      {"internal DTD subset not accepted", {"<!DOCTYPE a [<!ENTITY e 'x'>]><a>&e;</a>"}},
      // The last three: characters a public identifier may not hold.
      {"malformed document type declaration",
       {"<!DOCTYPE a& SYSTEM 'x'><a/>", "<!DOCTYPE a SYSTEM><a/>", "<!DOCTYPE ><a/>",
        "<!DOCTYPE a SYSTEM 'x' y><a/>", "<!DOCTYPE a PUBLIC '{' 'x'><a/>",
        "<!DOCTYPE a PUBLIC 'a\tb' 'x'><a/>", "<!DOCTYPE a PUBLIC '\xC3\xA9' 'x'><a/>"}},
      {"'&' that starts no reference", {"<a>x & y</a>", "<a>&;</a>", "<a>&a b;</a>"}},
      {"reference to a character not allowed in XML",
       {"<a>&#0;</a>", "<a>&#xD800;</a>", "<a>&#x110000;</a>", "<a>&#99999999999;</a>"}},
      {"malformed character reference", {"<a>&#x;</a>", "<a>&#1a;</a>", "<a>&#xaG;</a>"}},
      {"character not allowed in XML",
       {"<a>\x01</a>", "<a>\xEF\xBF\xBF</a>", std::string("<a/>\0", 5)}},  // U+FFFF, NUL
      {"XML declaration not at the start", {" <?xml version='1.0'?><a/>"}},
      {"reserved processing instruction target", {"<?XML version='1.0'?><a/>"}},
      {"processing instruction target not allowed", {"<a><?x?y?></a>"}},
      {"malformed XML declaration",
       {"<?xml?><a/>", "<?xml encoding='UTF-8' version='1.0'?><a/>",
        "<?xml version='1.0' encoding='ISO-8859-1'?><a/>", "<?xml version='1&#46;0'?><a/>",
        "<?xml version='1.0' standalone='maybe'?><a/>", "<?xml version='1.0'encoding='UTF-8'?><a/>",
        "<?xml version='2.0'?><a/>", "<?xml version='1.'?><a/>", "<?xml version='1.x'?><a/>",
        "<?xml version=1.0?><a/>", "<?xml version?><a/>",
        "<?xml version='1.0' standalone=\"no\" x?><a/>"}},
      {"duplicated attribute",
       {"<a b='1' b='2'/>", "<a xmlns:p='u' xmlns:q='u' p:x='1' q:x='2'/>",
        "<a k0='' k1='' k2='' k3='' k4='' k5='' k6='' k7='' k8='' k9='' k10='' k11='' k12=''"
        " k13='' k14='' k15='' k16='' k3=''/>"}},
      // The last one out of scope.
      {"undeclared namespace prefix",
       {"<p:a/>", "<a p:b='1'/>", "<a><p:b xmlns:p='u'/><p:c/></a>"}},
      {"namespace prefix declared empty", {"<a xmlns:p=''/>"}},
      // A namespace is compared as the parser reads it, its references replaced.
      {"reserved namespace prefix or name",
       {"<a xmlns:xml='u'/>", "<a xmlns:xmlns='u'/>", "<a><xmlns:b/></a>",
        "<a xmlns:p='http://www.w3.org/2000/xmlns/'/>",
        "<a xmlns:p='&#x68;ttp://www.w3.org/2000/xmlns/'/>"}},
      {"reserved namespace as the default",
       {"<a xmlns='http://www.w3.org/XML/1998/namespace'/>",
        "<a xmlns='http://www.w3.org/2000/xmlns/'/>",
        "<a xmlns='&#104;ttp://www.w3.org/XML/1998/namespace'/>"}},
      // Names: two colons, a colon at either end, a digit or a combining mark first, and
      // characters between the ranges of name characters (U+00D7 is none).
      {"element name not allowed",
       {"<a:b:c xmlns:a='u'/>", "<a\xC3\x97/>", "<:a/>", "<a:/>", "<1a/>", "<p:1a xmlns:p='u'/>",
        "<\xC2\xB7/>", "<\xCC\x80/>", "<a\xC3\xB7/>", "<a\xCD\xBE/>", "<a\xE2\x80\x80/>",
        "<a\xEF\xB7\x90/>", "<a\xF3\xB0\x80\x80/>"}},
      {"attribute name not allowed", {"<a \xC3\x97='1'/>"}},
      {"'<' in an attribute value", {"<a b='<'/>"}},
      {"']]>' in text", {"<a>]]></a>"}},
      {"'--' inside a comment", {"<a><!-- a ---></a>"}},
      {"document type declaration out of place",
       {"<a/><!DOCTYPE a>", "<!DOCTYPE a><!DOCTYPE a><a/>"}},
  };
  for (const auto& [description, texts] : rows) {
    for (const std::string& text : texts) {
      const XmlFault fault = checkXmlWellFormed(text);
      ASSERT_TRUE(fault) << text;
      EXPECT_STREQ(fault.what, description) << text;
    }
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
