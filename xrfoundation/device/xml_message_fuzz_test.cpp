// Random and mutated messages through every helper. Run under the asan preset this shows that
// no input crashes a helper, leaks, or reads freed memory; in every build it checks the
// properties that hold for any input (round trips, escaping, result records).
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "xrfoundation/device/xml_message.h"
#include "xrfoundation/platform/log.h"

namespace xr {
namespace {

constexpr uint32_t kSeed = 20240607;
constexpr int kRandomTexts = 1500;
constexpr int kMutatedTexts = 3000;
constexpr int kGeneratedTrees = 600;
constexpr int kDeepNesting = 3000;

const char* const kSeeds[] = {
    R"(<iq id="42" type="result"><response ns="file.list"><files n="2"><f>a</f><f>b</f></files></response></iq>)",
    R"(<notify id="7"><body ns="sms.new"><sms from="&lt;x&gt;">hi &amp; bye</sms></body></notify>)",
    R"(<iq id="9" type="error"><error>disk <b>full</b></error><response/></iq>)",
    "<?xml version=\"1.0\"?><!-- c --><m><![CDATA[<raw> & ]]>中文<x a='1'/></m>",
};

const char* const kNames[] = {"iq", "response", "body", "error", "files", "f", "a", "b", "消息"};
const char* const kAttributes[] = {"id", "type", "ns", "name"};
const char* const kValues[] = {"error", "Error", "x", "", "a&amp;b", "&lt;&gt;", "中文", "1 2"};
const char* const kTexts[] = {"t",        "a &amp; b", "&#x4E2D;", " ", "<![CDATA[c]]>",
                              "<!--n-->", "]]&gt;",    "&quot;'"};
const char* const kPaths[] = {"body",     "response", "error",  "response/*[1]", "//f", "//@ns",
                              "/",        "..",       "text()", "//node()",      "@*",  "*[last()]",
                              "count(*)", "][",       "",       "//f[",          "$v",  "string(.)",
                              "/*/*/*/*", "self::iq"};
constexpr char kAlphabet[] = "<>/=\"'&;![]-?# \n\tabcdeiqnsrCDAT:0123456789";

class Fuzzer {
 public:
  std::mt19937 random{kSeed};

  size_t below(size_t n) {
    return n == 0 ? 0 : std::uniform_int_distribution<size_t>(0, n - 1)(random);
  }
  template <class T, size_t N>
  const T& pick(const T (&items)[N]) {
    return items[below(N)];
  }

  std::string randomText() {
    std::string text;
    size_t length = below(200);
    for (size_t i = 0; i < length; ++i) {
      // Mostly XML punctuation and letters, sometimes any byte (invalid UTF-8 included).
      text += below(8) == 0 ? char(below(256)) : kAlphabet[below(sizeof kAlphabet - 1)];
    }
    return text;
  }

  std::string mutate(std::string text) {
    int edits = 1 + int(below(4));
    for (int e = 0; e < edits; ++e) {
      size_t at = below(text.size() + 1);
      switch (below(5)) {
        case 0:
          if (!text.empty()) text[below(text.size())] = char(below(256));
          break;
        case 1:
          text.insert(at, std::string(1, kAlphabet[below(sizeof kAlphabet - 1)]));
          break;
        case 2:
          text.erase(at, below(8));
          break;
        case 3:
          text.insert(at, text.substr(below(text.size() + 1), below(20)));
          break;
        default:
          text.resize(at);
          break;
      }
    }
    return text;
  }

  // A well-formed message of random shape, so that the readers see many parsed trees.
  std::string tree(int depth = 0) {
    std::string name = pick(kNames);
    std::string out = "<" + name;
    for (size_t i = below(3); i > 0; --i) {
      out += std::string(" ") + pick(kAttributes) + "=\"" + pick(kValues) + "\"";
    }
    if (depth > 6 || below(4) == 0) return out + "/>";
    out += ">";
    for (size_t i = below(5); i > 0; --i) out += below(3) == 0 ? pick(kTexts) : tree(depth + 1);
    return out + "</" + name + ">";
  }
};

// Everything a helper can be asked about one node; checks what must hold for any node.
void exerciseNode(Fuzzer& fuzzer, const XmlNode& node, const std::string& context) {
  getPackType(node);
  getPackContentType(node);
  getNotifyType(node);
  getPackCmdID(node);
  getMsgType(node);
  extractIqFirstElement(node, fuzzer.pick(kNames));
  firstChildElementWithName(node, fuzzer.pick(kNames));

  std::string path =
      fuzzer.below(4) == 0 ? fuzzer.mutate(fuzzer.pick(kPaths)) : fuzzer.pick(kPaths);
  XmlNode found = firstXPathNode(node, path);
  EXPECT_EQ(firstXPathNodeValue(node, path).has_value(), bool(found)) << context << " " << path;
  std::string attribute = firstXPathNodeAttributeValue(node, path, fuzzer.pick(kAttributes));
  if (!found.isElement()) {
    EXPECT_EQ(attribute, "") << context << " " << path;
  }

  XmlDictionary dictionary = dictionaryFromNode(node);
  std::vector<XmlNode> children = node.children();
  EXPECT_LE(dictionary.size(), children.size()) << context;
  for (const auto& [key, value] : dictionary) {
    // The value is that of the last child of the name.
    XmlNode last;
    for (const XmlNode& child : children) {
      if (child.name() == key) last = child;
    }
    ASSERT_TRUE(last) << context << " key " << key;
    EXPECT_EQ(value, last.stringValue()) << context << " key " << key;
  }

  auto result = checkElementError(node);
  bool failed = !node || node.attribute("type") == "error";
  EXPECT_EQ(result->isSuccess(), !failed) << context;
  EXPECT_EQ(result->result(), failed ? "error" : "success") << context;

  std::optional<std::string> text = elementToString(node);
  if (node.hasParentElement() || !node.isElement()) {
    EXPECT_FALSE(text) << context;
  }
}

// A message that parsed must survive being printed and parsed again, read the same.
void checkRoundTrip(const XmlNode& message, const std::string& context) {
  std::optional<std::string> printed = elementToString(message);
  ASSERT_TRUE(printed) << context;
  XmlNode again = stringToElement(*printed);
  ASSERT_TRUE(again) << context << "\nprinted: " << *printed;
  EXPECT_EQ(getPackType(again), getPackType(message)) << context;
  EXPECT_EQ(getPackContentType(again), getPackContentType(message)) << context;
  EXPECT_EQ(getNotifyType(again), getNotifyType(message)) << context;
  EXPECT_EQ(getPackCmdID(again), getPackCmdID(message)) << context;
  EXPECT_EQ(getMsgType(again), getMsgType(message)) << context;
  EXPECT_EQ(dictionaryFromNode(again), dictionaryFromNode(message)) << context;
  EXPECT_EQ(checkElementError(again)->errorDescription(),
            checkElementError(message)->errorDescription())
      << context;
  EXPECT_EQ(elementToString(again), printed) << context;
}

void checkEscaping(const std::string& text) {
  std::string escaped = replaceXmlSpecialChar(text);
  EXPECT_EQ(escaped.find_first_of("<>\"'"), std::string::npos) << text;
  EXPECT_GE(escaped.size(), text.size());
  for (size_t at = escaped.find('&'); at != std::string::npos; at = escaped.find('&', at + 1)) {
    std::string_view rest = std::string_view(escaped).substr(at);
    bool entity = rest.starts_with("&amp;") || rest.starts_with("&lt;") ||
                  rest.starts_with("&gt;") || rest.starts_with("&apos;") ||
                  rest.starts_with("&quot;");
    EXPECT_TRUE(entity) << text;
  }
}

void exerciseText(Fuzzer& fuzzer, const std::string& text) {
  checkEscaping(text);
  XmlNode message = stringToElement(text);
  if (!message) return;
  ASSERT_TRUE(message.isElement()) << text;
  checkRoundTrip(message, text);
  exerciseNode(fuzzer, message, text);
  // Every node of the message (attributes too) goes through every helper.
  std::optional<std::vector<XmlNode>> nodes = message.select("//node() | //@*");
  ASSERT_TRUE(nodes) << text;
  for (const XmlNode& node : *nodes) exerciseNode(fuzzer, node, text);
}

class XmlMessageFuzzTest : public ::testing::Test {
 protected:
  // Thousands of rejected texts would each log a line; only the results matter here.
  void SetUp() override {
    consoleLog().setLevel(LogLevel::Off);
    xrLog().setLevel(LogLevel::Off);
  }
  void TearDown() override {
    consoleLog().setLevel(consoleLevel_);
    xrLog().setLevel(xrLevel_);
  }

  Fuzzer fuzzer;
  LogLevel consoleLevel_ = consoleLog().level();
  LogLevel xrLevel_ = xrLog().level();
};

TEST_F(XmlMessageFuzzTest, RandomTexts) {
  for (int i = 0; i < kRandomTexts; ++i) exerciseText(fuzzer, fuzzer.randomText());
}

TEST_F(XmlMessageFuzzTest, MutatedMessages) {
  int parsed = 0;
  for (int i = 0; i < kMutatedTexts; ++i) {
    std::string text = fuzzer.mutate(fuzzer.pick(kSeeds));
    parsed += bool(stringToElement(text));
    exerciseText(fuzzer, text);
  }
  // Mutation must leave a fair share of texts readable, or the readers see too little.
  EXPECT_GT(parsed, kMutatedTexts / 20);
}

TEST_F(XmlMessageFuzzTest, GeneratedMessages) {
  for (int i = 0; i < kGeneratedTrees; ++i) {
    std::string text = fuzzer.tree();
    ASSERT_TRUE(stringToElement(text)) << text;
    exerciseText(fuzzer, text);
  }
}

TEST_F(XmlMessageFuzzTest, DeeplyNestedMessage) {
  std::string text;
  for (int i = 0; i < kDeepNesting; ++i) text += "<body ns=\"n\">";
  text += "deep";
  for (int i = 0; i < kDeepNesting; ++i) text += "</body>";
  XmlNode message = stringToElement(text);
  ASSERT_TRUE(message);
  EXPECT_EQ(message.stringValue(), "deep");
  EXPECT_EQ(getMsgType(message), "n");
  EXPECT_EQ(dictionaryFromNode(message), (XmlDictionary{{"body", "deep"}}));
  checkRoundTrip(message, "deep nesting");
}

}  // namespace
}  // namespace xr
