#include "xrfoundation/device/xml_message.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "xrfoundation/platform/testing/latch.h"
#include "xrfoundation/platform/testing/log_capture.h"

namespace xr {
namespace {

using testing::LogCapture;

// What the readers find in a message: "packType|contentType|cmdId|notifyType|msgType|outcome",
// the outcome empty for success, else checkElementError's word and [description] if any.
std::string shape(const XmlNode& m) {
  auto r = checkElementError(m);
  bool sound = r->isSuccess() == (r->result() == "success") && r->errorCode() == 0;
  return getPackType(m) + "|" + getPackContentType(m) + "|" + getPackCmdID(m) + "|" +
         getNotifyType(m) + "|" + getMsgType(m) + "|" +
         (r->isSuccess() ? "" : r->result().value_or("(none)")) +
         (r->errorDescription() ? std::string("[") + *r->errorDescription() + "]" : "") +
         (sound ? "" : " (inconsistent record)");
}

TEST(XmlMessageTest, ReadersOfRepliesNotificationsAndErrors) {
  const std::pair<const char*, const char*> rows[] = {
      {R"(<iq id="42"><response ns="list"><files n="2"/></response></iq>)", "list|files|42|iq||"},
      {R"(<note id="7"><body ns="sms"><sms>hi</sms></body></note>)", "sms||7|note|sms|"},
      {R"(<iq><body ns="b"/><response ns="a"><x/></response></iq>)", "a|x||iq|b|"},
      {R"(<iq><response><x/></response><body ns="b"/></iq>)", "|x||iq|b|"},  // ns-less
      {R"(<iq><response ns="p">text<x/></response></iq>)", "p|||iq||"},      // text first
      {R"(<iq><response ns="p"></response></iq>)", "p|||iq||"},
      {"<iq id=\"3\">\n <response ns=\"p\">\n  <i/>\n </response>\n</iq>\n", "p|i|3|iq||"},
      {R"(<iq ID="1"><Response ns="x"/><BODY ns="y"/></iq>)", "|||iq||"},  // case matters
      {"<iq>", "|||||error"},                                              // malformed: no element
      // Error replies: "type" must be exactly "error"; the first "error" child describes it.
      {R"(<iq type="error"/>)", "|||iq||error"},
      {R"(<iq type="error"><error/></iq>)", "|||iq||error[]"},
      {"<iq type=\"error\"><error>outer <b>inner</b></error><error>2</error></iq>",
       "|||iq||error[outer inner]"},
      {R"(<iq type="Error"><error>x</error></iq>)", "|||iq||"},
      {R"(<iq type="error "/>)", "|||iq||"},
      {"<iq type=\"error\">\n  <error> </error>\n</iq>", "|||iq||error[ ]"},  // a value of blanks
  };
  for (const auto& [text, expected] : rows) {
    EXPECT_EQ(shape(stringToElement(text)), expected) << text;
  }
  EXPECT_NE(checkElementError(XmlNode()), checkElementError(XmlNode())) << "a new record each";
}

TEST(XmlMessageTest, MissingPayloadIsLoggedWithTheElement) {
  LogCapture log;
  shape(stringToElement(R"(<n><body ns="x"/></n>)"));  // only the content-type reader complains
  getPackType(stringToElement(R"(<iq id="1"><other/></iq>)"));
  getPackType(XmlNode());
  EXPECT_EQ(log.texts(),
            (std::vector<std::string>{R"(unexpected element: <n><body ns="x"/></n>)",
                                      R"(unexpected element: <iq id="1"><other/></iq>)",
                                      "unexpected element: (null)"}));
}

TEST(XmlMessageTest, MalformedTextGivesNoneAndOneXrLogError) {
  // Refused by the parser (a lenient one would take the last two), or nested past the limit.
  std::string deep;
  for (int i = 0; i < kMaxXmlDepth + 1; ++i) deep = "<e>" + deep + "</e>";
  for (const char* text :
       {"", "<iq>", "<a/><b/>", "<iq>&nbsp;</iq>", "<a>\xc0\xaf</a>", deep.c_str()}) {
    LogCapture log;
    EXPECT_FALSE(stringToElement(text)) << "[" << text << "]";
    ASSERT_EQ(log.lines().size(), 1u) << "[" << text << "]";
    EXPECT_EQ(log.lines()[0].logger, "XRLog");
    EXPECT_EQ(log.lines()[0].level, LogLevel::Error);
    EXPECT_EQ(log.lines()[0].text, "NSXMLElement* stringToElement(el == nil)");
  }
}

TEST(XmlMessageTest, DictionaryKeepsTheLastOfEachName) {
  const std::pair<const char*, XmlDictionary> rows[] = {
      {"<m><a>1</a><b>2</b><a>3</a></m>", {{"a", "3"}, {"b", "2"}}},
      // Grandchildren count through their parent's text only; text and comments are skipped.
      {"<m k=\"attr\">loose<x><y>1</y>-<z>2</z></x><!--c--><e/></m>", {{"x", "1-2"}, {"e", ""}}},
      {"<m>only text</m>", {}},
      // White space that is a value is kept; between elements it is layout, not a child.
      {"<sms><text>  </text><n>\n</n></sms>", {{"text", "  "}, {"n", "\n"}}},
      {"<iq>\n  <response ns=\"a\">\n    <f/>\n  </response>\n  <error> </error>\n</iq>",
       {{"response", ""}, {"error", " "}}},
  };
  for (const auto& [text, expected] : rows) {
    EXPECT_EQ(dictionaryFromNode(stringToElement(text)), expected) << text;
  }
  EXPECT_TRUE(dictionaryFromNode(XmlNode()).empty());
}

TEST(XmlMessageTest, EscapingReplacesAmpersandFirst) {
  EXPECT_EQ(replaceXmlSpecialChar("&lt;a&b<c>d'e\"f"), "&amp;lt;a&amp;b&lt;c&gt;d&apos;e&quot;f");
}

TEST(XmlMessageTest, ElementToStringPrettyPrintsOnlyARoot) {
  XmlNode message = stringToElement(
      R"(<iq><response ns="a&amp;b"><files><file>x &lt; y</file><file/></files></response></iq>)");
  std::optional<std::string> text = elementToString(message);
  EXPECT_EQ(text,
            "<iq>\n    <response ns=\"a&amp;b\">\n        <files>\n"
            "            <file>x &lt; y</file>\n            <file />\n"
            "        </files>\n    </response>\n</iq>\n");
  EXPECT_EQ(elementToString(stringToElement(text.value_or(""))), text);

  // An element inside another, a text node: none, the reason logged, nothing thrown.
  EXPECT_EQ(elementToString(XmlNode()), std::nullopt);
  LogCapture log;
  EXPECT_EQ(elementToString(extractIqFirstElement(message, "files")), std::nullopt);
  EXPECT_EQ(elementToString(message.firstChild()), std::nullopt);
  EXPECT_EQ(elementToString(stringToElement("<a>t</a>").firstChild()), std::nullopt);
  ASSERT_EQ(log.texts().size(), 3u);
  for (const std::string& line : log.texts()) {
    EXPECT_TRUE(line.starts_with("ERROR:element to string: ") && line.size() > 30) << "a reason";
  }
}

TEST(XmlMessageTest, XPathHelpers) {
  XmlNode message = stringToElement(
      R"(<iq><response ns="r"><f name="a">1</f><f name="b">2</f></response><body>text</body></iq>)");
  // Path, then "value|name attribute" of the first node selected, "(none)" for no node. The
  // first in document order wins; attribute and text nodes have no attributes; rejected
  // expressions give none, no throw.
  const std::pair<std::string_view, const char*> rows[] = {
      {"response/f", "1|a"},      {"//f[@name='b']", "2|b"},
      {"response/@ns", "r|"},     {"body/text()", "text|"},
      {"missing", "(none)|"},     {"", "(none)|"},
      {"response/f[", "(none)|"}, {std::string_view("body\0x", 6), "(none)|"}};
  for (const auto& [path, expected] : rows) {
    const std::optional<std::string> value = firstXPathNodeValue(message, path);
    EXPECT_EQ(bool(firstXPathNode(message, path)), value.has_value()) << path;
    EXPECT_EQ(value.value_or("(none)") + "|" + firstXPathNodeAttributeValue(message, path, "name"),
              expected)
        << path;
  }
  EXPECT_EQ(firstXPathNode(message, "response"), firstChildElementWithName(message, "response"));
  EXPECT_FALSE(firstXPathNode(XmlNode(), "response"));
}

TEST(XmlMessageTest, ExtractIqFirstElementLooksUnderResponseAndKeepsTheMessageAlive) {
  // The message is a temporary: its payload must stay readable (ASan sees a use after free).
  XmlNode files = extractIqFirstElement(
      stringToElement(
          R"(<iq><files>top</files><response><a/><files><f>in</f></files></response></iq>)"),
      "files");
  EXPECT_EQ(dictionaryFromNode(files), (XmlDictionary{{"f", "in"}}));
  EXPECT_FALSE(extractIqFirstElement(stringToElement("<iq><files/></iq>"), "files"));
  EXPECT_FALSE(extractIqFirstElement(XmlNode(), "files"));
}

TEST(XmlMessageTest, ThreadsMayReadOneMessageAtOnce) {
  XmlNode message = stringToElement(
      R"(<iq id="1" type="error"><response ns="p"><c>v</c></response><error>e</error></iq>)");
  testing::Latch start(4);
  std::atomic<int> mismatches{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {  // each copy shares the one document across the threads
      start.arrive_and_wait();
      for (int i = 0; i < 500; ++i) mismatches += shape(XmlNode(message)) != "p|c|1|iq||error[e]";
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(mismatches.load(), 0);
}

}  // namespace
}  // namespace xr
