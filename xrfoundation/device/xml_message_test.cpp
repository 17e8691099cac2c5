#include "xrfoundation/device/xml_message.h"

#include <gtest/gtest.h>

#include <latch>
#include <thread>
#include <vector>

#include "xrfoundation/platform/testing/log_capture.h"

namespace xr {
namespace {

using testing::LogCapture;

constexpr const char* kParseError = "NSXMLElement* stringToElement(el == nil)";

struct Shape {
  const char* label;
  const char* text;
  const char* packType;
  const char* contentType;
  const char* cmdId;
  const char* notifyType;
  const char* msgType;
};

// Replies, notifications and awkward but well-formed texts, with what each reader finds.
constexpr Shape kShapes[] = {
    {"reply",
     R"(<iq id="42" type="result"><response ns="file.list"><files n="2"/></response></iq>)",
     "file.list", "files", "42", "iq", ""},
    {"notification", R"(<notify id="7"><body ns="sms.new"><sms>hi</sms></body></notify>)",
     "sms.new", "", "7", "notify", "sms.new"},
    {"response wins over body", R"(<iq><body ns="b"/><response ns="a"><x/></response></iq>)", "a",
     "x", "", "iq", "b"},
    {"response without ns hides body's", R"(<iq><response><x/></response><body ns="b"/></iq>)", "",
     "x", "", "iq", "b"},
    {"text before the first element", R"(<iq><response ns="p">text<x/></response></iq>)", "p", "",
     "", "iq", ""},
    {"empty response", R"(<iq><response ns="p"></response></iq>)", "p", "", "", "iq", ""},
    {"indented", "<iq id=\"3\">\n  <response ns=\"p\">\n    <item/>\n  </response>\n</iq>\n", "p",
     "item", "3", "iq", ""},
    {"entities", R"(<iq id="&lt;1&gt;"><response ns="a&amp;b&#x21;"><c/></response></iq>)", "a&b!",
     "c", "<1>", "iq", ""},
    {"CDATA first", R"(<iq><response ns="x"><![CDATA[<raw/>]]><y/></response></iq>)", "x", "", "",
     "iq", ""},
    {"non-ASCII", R"(<消息 id="编号"><body ns="短信"/></消息>)", "短信", "", "编号", "消息",
     "短信"},
    {"names are case-sensitive", R"(<iq ID="1"><Response ns="x"/><BODY ns="y"/></iq>)", "", "", "",
     "iq", ""},
    {"declaration and comment", "<?xml version=\"1.0\"?><!-- hello --><iq id=\"9\"/>", "", "", "9",
     "iq", ""},
};

TEST(XmlMessageTest, ShapeReadersFindTheirFields) {
  for (const Shape& s : kShapes) {
    XmlNode message = stringToElement(s.text);
    ASSERT_TRUE(message) << s.label;
    EXPECT_EQ(getPackType(message), s.packType) << s.label;
    EXPECT_EQ(getPackContentType(message), s.contentType) << s.label;
    EXPECT_EQ(getPackCmdID(message), s.cmdId) << s.label;
    EXPECT_EQ(getNotifyType(message), s.notifyType) << s.label;
    EXPECT_EQ(getMsgType(message), s.msgType) << s.label;
  }
}

TEST(XmlMessageTest, ReadersOfNoElementGiveEmptyText) {
  XmlNode none;
  EXPECT_EQ(getPackType(none), "");
  EXPECT_EQ(getPackContentType(none), "");
  EXPECT_EQ(getPackCmdID(none), "");
  EXPECT_EQ(getNotifyType(none), "");
  EXPECT_EQ(getMsgType(none), "");
  // A text node has neither a name nor attributes.
  XmlNode text = stringToElement("<iq>words</iq>").firstChild();
  ASSERT_EQ(text.kind(), XmlNodeKind::Text);
  EXPECT_EQ(getNotifyType(text), "");
  EXPECT_EQ(getPackCmdID(text), "");
}

TEST(XmlMessageTest, MissingPayloadIsLoggedWithTheElement) {
  XmlNode message = stringToElement(R"(<iq id="1"><other/></iq>)");
  LogCapture log;
  EXPECT_EQ(getPackType(message), "");
  EXPECT_EQ(getPackContentType(message), "");
  EXPECT_EQ(getPackType(XmlNode()), "");
  EXPECT_EQ(log.texts(), (std::vector<std::string>{
                             R"(unexpected element: <iq id="1"><other/></iq>)",
                             R"(unexpected element: <iq id="1"><other/></iq>)",
                             "unexpected element: (null)",
                         }));
  // A notification has "body" but no "response": only the content-type reader complains.
  log.clear();
  XmlNode notification = stringToElement(R"(<n><body ns="x"/></n>)");
  getPackType(notification);
  EXPECT_TRUE(log.texts().empty());
  getPackContentType(notification);
  EXPECT_EQ(log.count(R"(unexpected element: <n><body ns="x"/></n>)"), 1u);
}

TEST(XmlMessageTest, MalformedTextGivesNoneAndOneXrLogError) {
  const char* malformed[] = {
      "",
      "   ",
      "plain text",
      "<iq>",
      "<iq></IQ>",
      "<iq id=\"1></iq>",
      "<iq><response></iq>",
      "<a/><b/>",
      "before<a/>",
      "<a/>after",
      "<![CDATA[x]]><a/>",
      "<a/><?xml version=\"1.0\"?>",
      "<a>\xff\xfe</a>",      // not UTF-8
      "<a>\xc0\xaf</a>",      // overlong encoding of '/'
      "<a>\xed\xa0\x80</a>",  // UTF-16 surrogate
      "<a>\xe4\xb8</a>",      // cut short
      "<a b=c/>",
      "<1a/>",
  };
  for (const char* text : malformed) {
    LogCapture log;
    EXPECT_FALSE(stringToElement(text)) << "[" << text << "]";
    ASSERT_EQ(log.lines().size(), 1u) << "[" << text << "]";
    EXPECT_EQ(log.lines()[0].logger, "XRLog");
    EXPECT_EQ(log.lines()[0].level, LogLevel::Error);
    EXPECT_EQ(log.lines()[0].text, kParseError);
  }
}

TEST(XmlMessageTest, ValuesDecodeEntitiesCdataAndNonAscii) {
  XmlNode message = stringToElement(
      "<iq type=\"error\"><error>a &amp; b <![CDATA[<c> & ]]>&#x4E2D;文 &quot;q&apos;</error>"
      "<error>second</error></iq>");
  ASSERT_TRUE(message);
  const std::string expected = "a & b <c> & 中文 \"q'";
  EXPECT_EQ(firstXPathNodeValue(message, "error"), expected);
  auto result = checkElementError(message);
  EXPECT_FALSE(result->isSuccess());
  EXPECT_EQ(result->result(), "error");
  EXPECT_EQ(result->errorDescription(), expected);
}

TEST(XmlMessageTest, CheckElementErrorReadsTheTypeExactly) {
  struct Row {
    const char* text;  // nullptr: no message at all
    bool success;
    const char* word;
    std::optional<std::string> description;
  };
  const Row rows[] = {
      {nullptr, false, "error", std::nullopt},
      {R"(<iq type="error"><error>no space</error></iq>)", false, "error", "no space"},
      {R"(<iq type="error"/>)", false, "error", std::nullopt},
      {R"(<iq type="error"><error/></iq>)", false, "error", ""},
      {R"(<iq type="error"><error>outer <b>inner</b></error></iq>)", false, "error", "outer inner"},
      {R"(<iq type="Error"><error>x</error></iq>)", true, "success", std::nullopt},
      {R"(<iq type="error "/>)", true, "success", std::nullopt},
      {R"(<iq type="result"/>)", true, "success", std::nullopt},
      {R"(<iq><error>ignored without type</error></iq>)", true, "success", std::nullopt},
  };
  for (const Row& row : rows) {
    std::string label = row.text ? row.text : "(none)";
    auto result = checkElementError(row.text ? stringToElement(row.text) : XmlNode());
    ASSERT_TRUE(result) << label;
    EXPECT_EQ(result->isSuccess(), row.success) << label;
    EXPECT_EQ(result->result(), row.word) << label;
    EXPECT_EQ(result->errorDescription(), row.description) << label;
    EXPECT_EQ(result->errorCode(), 0) << label;
  }
  EXPECT_NE(checkElementError(XmlNode()), checkElementError(XmlNode())) << "a new record each";
}

TEST(XmlMessageTest, DictionaryKeepsTheLastOfEachName) {
  struct Row {
    const char* text;
    XmlDictionary expected;
  };
  const Row rows[] = {
      {"<m><a>1</a><b>2</b><a>3</a></m>", {{"a", "3"}, {"b", "2"}}},
      // Grandchildren count through their parent's text only; text and comments are skipped.
      {"<m k=\"attr\">loose<x><y>1</y>-<z>2</z></x><!--c--><e/></m>", {{"x", "1-2"}, {"e", ""}}},
      {"<m>only text</m>", {}},
      {"<m/>", {}},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(dictionaryFromNode(stringToElement(row.text)), row.expected) << row.text;
  }
  EXPECT_TRUE(dictionaryFromNode(XmlNode()).empty());
}

TEST(XmlMessageTest, EscapingReplacesAmpersandFirst) {
  const std::pair<const char*, const char*> rows[] = {
      {"<&''", "&lt;&amp;&apos;&apos;"},
      {"&lt;", "&amp;lt;"},
      {"a&b<c>d'e\"f", "a&amp;b&lt;c&gt;d&apos;e&quot;f"},
      {"\"&\"", "&quot;&amp;&quot;"},
      {"", ""},
      {"中文 plain", "中文 plain"},
  };
  for (const auto& [text, escaped] : rows) {
    EXPECT_EQ(replaceXmlSpecialChar(text), escaped) << text;
  }
}

TEST(XmlMessageTest, EscapedTextParsesBackToItself) {
  const std::string text = "if a < b && c > 'd' then \"&amp;\"";
  XmlNode parsed = stringToElement("<v a=\"" + replaceXmlSpecialChar(text) + "\">" +
                                   replaceXmlSpecialChar(text) + "</v>");
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed.stringValue(), text);
  EXPECT_EQ(parsed.attribute("a"), text);
}

TEST(XmlMessageTest, ElementToStringPrettyPrintsAndParsesBack) {
  XmlNode message = stringToElement(
      R"(<iq id="1"><response ns="a&amp;b"><files><file>x &lt; y</file><file/></files></response></iq>)");
  std::optional<std::string> text = elementToString(message);
  ASSERT_TRUE(text);
  EXPECT_EQ(*text,
            "<iq id=\"1\">\n"
            "    <response ns=\"a&amp;b\">\n"
            "        <files>\n"
            "            <file>x &lt; y</file>\n"
            "            <file />\n"
            "        </files>\n"
            "    </response>\n"
            "</iq>\n");
  XmlNode again = stringToElement(*text);
  EXPECT_EQ(getPackType(again), "a&b");
  EXPECT_EQ(elementToString(again), text);
}

TEST(XmlMessageTest, ElementToStringOfAnElementInsideAnotherGivesNone) {
  XmlNode message = stringToElement(R"(<iq><response><files/></response></iq>)");
  XmlNode files = extractIqFirstElement(message, "files");
  ASSERT_TRUE(files);
  LogCapture log;
  EXPECT_EQ(elementToString(files), std::nullopt);
  EXPECT_EQ(elementToString(message.firstChild()), std::nullopt);
  EXPECT_EQ(elementToString(stringToElement("<a>t</a>").firstChild()), std::nullopt);  // text
  std::vector<std::string> texts = log.texts();
  ASSERT_EQ(texts.size(), 3u);
  for (const std::string& line : texts) {
    EXPECT_EQ(line.rfind("ERROR:element to string: ", 0), 0u) << line;
    EXPECT_GT(line.size(), sizeof("ERROR:element to string: ")) << "the reason follows";
  }
  log.clear();
  EXPECT_EQ(elementToString(XmlNode()), std::nullopt);
}

TEST(XmlMessageTest, XPathHelpers) {
  XmlNode message =
      stringToElement(R"(<iq id="5"><response ns="r"><f name="a">1</f><f name="b">2</f></response>)"
                      R"(<body ns="b">text</body></iq>)");
  ASSERT_TRUE(message);
  struct Row {
    const char* path;
    std::optional<std::string> value;
    std::string nameAttribute;
  };
  const Row rows[] = {
      {"response/f", "1", "a"},  // the first in document order
      {"response/f[2]", "2", "b"},
      {"//f[@name='b']", "2", "b"},
      {"response/@ns", "r", ""},    // an attribute node has no attributes
      {"body/text()", "text", ""},  // nor has a text node
      {"missing", std::nullopt, ""},
      {"", std::nullopt, ""},  // rejected expressions give none, never throw
      {"][", std::nullopt, ""},
      {"response/f[", std::nullopt, ""},
      {"count(response/f)", std::nullopt, ""},  // not a node set
      {"$undefined", std::nullopt, ""},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(firstXPathNodeValue(message, row.path), row.value) << row.path;
    EXPECT_EQ(bool(firstXPathNode(message, row.path)), row.value.has_value()) << row.path;
    EXPECT_EQ(firstXPathNodeAttributeValue(message, row.path, "name"), row.nameAttribute)
        << row.path;
  }
  EXPECT_EQ(firstXPathNode(message, "response"), firstChildElementWithName(message, "response"));
  EXPECT_EQ(firstXPathNodeValue(message, std::string_view("body\0x", 6)), std::nullopt);
  EXPECT_FALSE(firstXPathNode(XmlNode(), "response"));
}

TEST(XmlMessageTest, ExtractIqFirstElementLooksOnlyUnderResponse) {
  XmlNode message =
      stringToElement(R"(<iq><files>top</files><response><a/><files>in</files></response></iq>)");
  EXPECT_EQ(extractIqFirstElement(message, "files").stringValue(), "in");
  EXPECT_FALSE(extractIqFirstElement(message, "none"));
  EXPECT_FALSE(extractIqFirstElement(stringToElement("<iq><files/></iq>"), "files"));
  EXPECT_FALSE(extractIqFirstElement(XmlNode(), "files"));
}

TEST(XmlMessageTest, ANodeKeepsItsMessageAlive) {
  // The message element itself is a temporary here; its payload must stay readable (ASan
  // reports a use after free otherwise).
  XmlNode files = extractIqFirstElement(
      stringToElement(R"(<iq><response><files count="3"><f>x</f></files></response></iq>)"),
      "files");
  ASSERT_TRUE(files);
  EXPECT_EQ(files.attribute("count"), "3");
  EXPECT_EQ(dictionaryFromNode(files), (XmlDictionary{{"f", "x"}}));
}

TEST(XmlMessageTest, ThreadsMayReadOneMessageAtOnce) {
  XmlNode message = stringToElement(
      R"(<iq id="1" type="error"><response ns="p"><c>v</c></response><error>e</error></iq>)");
  constexpr int kThreads = 4;
  std::latch start(kThreads);
  std::vector<std::thread> threads;
  std::vector<int> mismatches(kThreads, 0);
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      start.arrive_and_wait();
      for (int i = 0; i < 500; ++i) {
        XmlNode copy = message;  // shares the document across threads
        mismatches[t] += getPackType(copy) != "p";
        mismatches[t] += getPackContentType(copy) != "c";
        mismatches[t] += checkElementError(copy)->errorDescription() != "e";
        mismatches[t] += dictionaryFromNode(extractIqFirstElement(copy, "c")).size() != 0;
      }
    });
  }
  for (auto& thread : threads) thread.join();
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(mismatches[t], 0) << "thread " << t;
}

}  // namespace
}  // namespace xr
