// The device message helpers on random and mutated messages: the input's first line is an
// XPath path, the rest a message. Nothing may crash or leak; every text of an accepted message
// (names, values, comments) is valid UTF-8; a parsed message prints to a text that parses to
// the same tree, which prints the same; escaping leaves no markup and reverses exactly; an
// error reply is recognised by its type alone. The node the path selects (an element, an
// attribute, a text) meets every helper too, and only a document's own element prints.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "fuzz/utf8_check.h"
#include "xrfoundation/device/xml_message.h"

namespace {

std::string unescape(std::string_view text) {
  static constexpr std::pair<std::string_view, char> kEntities[] = {
      {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&apos;", '\''}, {"&quot;", '"'}};
  std::string plain;
  for (size_t i = 0; i < text.size();) {
    bool matched = false;
    for (const auto& [entity, c] : kEntities) {
      if (text.substr(i, entity.size()) == entity) {
        plain.push_back(c);
        i += entity.size();
        matched = true;
        break;
      }
    }
    FUZZ_CHECK(matched || text[i] != '&');
    if (!matched) plain.push_back(text[i++]);
  }
  return plain;
}

bool isUtf8(std::string_view text) { return xr::fuzz::utf16LengthOfValid(text).has_value(); }

// Every name and text below node is valid UTF-8.
void checkTexts(const xr::XmlNode& node) {
  if (const auto name = node.name()) FUZZ_CHECK(isUtf8(*name));
  if (node.kind() != xr::XmlNodeKind::Element) {
    FUZZ_CHECK(isUtf8(node.stringValue()));
    return;
  }
  for (const xr::XmlNode& attribute : node.select("@*").value_or(std::vector<xr::XmlNode>{})) {
    checkTexts(attribute);
  }
  for (const xr::XmlNode& child : node.children()) checkTexts(child);
}

// Same kinds, names, attributes (in order) and texts, all the way down.
bool sameTree(const xr::XmlNode& a, const xr::XmlNode& b) {
  if (a.kind() != b.kind() || a.name() != b.name()) return false;
  if (a.kind() != xr::XmlNodeKind::Element) return a.stringValue() == b.stringValue();
  const auto attributesA = a.select("@*"), attributesB = b.select("@*");
  if (!attributesA || !attributesB || attributesA->size() != attributesB->size()) return false;
  for (size_t i = 0; i < attributesA->size(); ++i) {
    if (!sameTree((*attributesA)[i], (*attributesB)[i])) return false;
  }
  const std::vector<xr::XmlNode> childrenA = a.children(), childrenB = b.children();
  if (childrenA.size() != childrenB.size()) return false;
  for (size_t i = 0; i < childrenA.size(); ++i) {
    if (!sameTree(childrenA[i], childrenB[i])) return false;
  }
  return true;
}

// Every helper on one node of any kind: the message, or whatever the path selects in it.
void readNode(const xr::XmlNode& node) {
  (void)xr::getMsgType(node);
  (void)xr::getPackType(node);
  (void)xr::getPackContentType(node);
  (void)xr::getNotifyType(node);
  (void)xr::getPackCmdID(node);
  (void)xr::firstChildElementWithName(node, "response");
  (void)xr::extractIqFirstElement(node, "files");
  for (const auto& [name, value] : xr::dictionaryFromNode(node)) FUZZ_CHECK(!name.empty());
  const auto result = xr::checkElementError(node);
  FUZZ_CHECK(result != nullptr);
  FUZZ_CHECK(result->isSuccess() == (node && node.attribute("type") != "error"));
  // Only a document's own element prints; a node inside the message is refused.
  FUZZ_CHECK(xr::elementToString(node).has_value() ==
             (node.isElement() && !node.hasParentElement()));
}

void readEverything(const xr::XmlNode& message, std::string_view path) {
  readNode(message);
  if (const xr::XmlNode node = xr::firstXPathNode(message, path)) {
    FUZZ_CHECK(xr::firstXPathNodeValue(message, path) == node.stringValue());
    (void)xr::firstXPathNodeAttributeValue(message, path, "ns");
    readNode(node);
  } else {
    FUZZ_CHECK(!xr::firstXPathNodeValue(message, path));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const size_t feed = input.find('\n');
  const std::string_view path = feed == std::string_view::npos ? "body" : input.substr(0, feed);
  const std::string_view text = feed == std::string_view::npos ? input : input.substr(feed + 1);

  const std::string escaped = xr::replaceXmlSpecialChar(text);
  FUZZ_CHECK(escaped.find_first_of("<>\"'") == std::string::npos);
  FUZZ_CHECK(unescape(escaped) == text);

  const xr::XmlNode message = xr::stringToElement(text);
  readEverything(message, path);
  if (!message) return 0;
  FUZZ_CHECK(message.isElement());
  checkTexts(message);
  const auto printed = xr::elementToString(message);
  FUZZ_CHECK(printed.has_value());
  const xr::XmlNode reparsed = xr::stringToElement(*printed);
  FUZZ_CHECK(reparsed);
  FUZZ_CHECK(sameTree(message, reparsed));
  FUZZ_CHECK(sameTree(message, xr::stringToElement(message.toXml(xr::XmlFormat::Compact))));
  FUZZ_CHECK(xr::elementToString(reparsed) == printed);
  FUZZ_CHECK(xr::getPackCmdID(reparsed) == xr::getPackCmdID(message));
  readEverything(reparsed, path);
  return 0;
}
