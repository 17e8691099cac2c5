// Random and mutated messages through every helper. Under the asan preset this shows that no
// input crashes a helper, leaks or reads freed memory; in every build it checks what holds for
// any input. (Deeper coverage-guided fuzzing of these helpers lives under fuzz/.)
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "xrfoundation/device/xml_message.h"
#include "xrfoundation/platform/log_internal.h"

namespace xr {
namespace {

const char* const kSeeds[] = {
    R"(<iq id="42" type="result"><response ns="files"><files><f>a</f><f>b</f></files></response></iq>)",
    R"(<notify id="7"><body ns="sms.new"><sms from="&lt;x&gt;">hi &amp; bye</sms></body></notify>)",
    R"(<iq id="9" type="error"><error>disk <b>full</b></error><response/></iq>)",
    "<?xml version=\"1.0\"?><!-- c --><m><![CDATA[<raw> & ]]>中文<x a='1'/></m>",
};
const char* const kPaths[] = {"body", "response/*[1]", "//f", "//@ns", "..",   "text()",
                              "/",    "count(*)",      "][",  "",      "//f[", "$v"};
constexpr char kAlphabet[] = "<>/=\"'&;![]-?# \nabeiqnsrCDAT:019";

std::mt19937 rng{20240607};
size_t below(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng); }

// Mostly XML punctuation and letters, sometimes any byte (invalid UTF-8 included).
std::string randomText() {
  std::string t(below(200), ' ');
  for (char& c : t) c = below(8) ? kAlphabet[below(sizeof kAlphabet - 1)] : char(below(256));
  return t;
}

std::string mutate(std::string t) {
  for (size_t edits = 1 + below(2); edits > 0; --edits) {
    size_t at = below(t.size() + 1), op = below(5);
    if (op == 0) t.insert(at, 1, char(below(256)));
    if (op == 1) t.insert(at, 1, kAlphabet[below(sizeof kAlphabet - 1)]);
    if (op == 2) t.erase(at, below(8));
    if (op == 3) t.insert(at, t.substr(below(t.size() + 1), below(20)));
    if (op == 4) t.resize(at);
  }
  return t;
}

// Every helper on one node, with the properties that hold for any node.
void exercise(const XmlNode& node, const std::string& text) {
  getPackType(node), getPackContentType(node), getNotifyType(node), getPackCmdID(node);
  getMsgType(node), extractIqFirstElement(node, "files"), dictionaryFromNode(node);
  std::string path = kPaths[below(std::size(kPaths))];
  if (below(4) == 0) path = mutate(path);
  EXPECT_EQ(firstXPathNodeValue(node, path).has_value(), bool(firstXPathNode(node, path))) << text;
  firstXPathNodeAttributeValue(node, path, "ns");
  EXPECT_EQ(checkElementError(node)->isSuccess(), node && node.attribute("type") != "error");
  // Only a document's own element prints; what it prints parses back and prints the same.
  std::optional<std::string> printed = elementToString(node);
  ASSERT_EQ(printed.has_value(), node.isElement() && !node.hasParentElement()) << text;
  if (printed) {
    EXPECT_EQ(elementToString(stringToElement(*printed)), printed) << text;
  }
}

TEST(XmlMessageFuzzTest, RandomAndMutatedMessagesThroughEveryHelper) {
  // Thousands of rejected texts would each log a line; only the results matter here.
  LogLevel consoleLevel = consoleLog().level(), xrLevel = xrLog().level();
  consoleLog().setLevel(LogLevel::Off), xrLog().setLevel(LogLevel::Off);
  std::string deep;  // deeper than any recursion should go
  for (int i = 0; i < 3000; ++i) deep.insert(0, "<body ns=\"n\">").append("</body>");
  int parsed = 0;
  for (int i = 0; i < 4000; ++i) {
    std::string text = i == 0  ? deep
                       : i % 3 ? mutate(kSeeds[below(std::size(kSeeds))])
                               : randomText();
    EXPECT_EQ(replaceXmlSpecialChar(text).find_first_of("<>\"'"), std::string::npos) << text;
    XmlNode message = stringToElement(text);
    parsed += bool(message);
    for (const XmlNode& node : message.select("//node() | //@*").value_or(std::vector{message})) {
      exercise(node, text);
    }
  }
  EXPECT_GT(parsed, 4000 / 20) << "mutation must leave enough texts readable";
  consoleLog().setLevel(consoleLevel), xrLog().setLevel(xrLevel);
}

}  // namespace
}  // namespace xr
