// The device message helpers on random and mutated messages: the input's first line is an
// XPath path, the rest a message. Nothing may crash or leak; a parsed message prints to a text
// that parses to a message printing the same; escaping leaves no markup and reverses exactly;
// an error reply is recognised by its type alone.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_check.h"
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

void readEverything(const xr::XmlNode& message, std::string_view path) {
  (void)xr::getMsgType(message);
  (void)xr::getPackType(message);
  (void)xr::getPackContentType(message);
  (void)xr::getNotifyType(message);
  (void)xr::getPackCmdID(message);
  (void)xr::firstChildElementWithName(message, "response");
  (void)xr::extractIqFirstElement(message, "files");
  for (const auto& [name, value] : xr::dictionaryFromNode(message)) FUZZ_CHECK(!name.empty());
  if (const xr::XmlNode node = xr::firstXPathNode(message, path)) {
    FUZZ_CHECK(xr::firstXPathNodeValue(message, path) == node.stringValue());
    (void)xr::firstXPathNodeAttributeValue(message, path, "ns");
    (void)xr::dictionaryFromNode(node);
    (void)xr::elementToString(node);  // refused when the node lies inside the message
  }
  const auto result = xr::checkElementError(message);
  FUZZ_CHECK(result != nullptr);
  FUZZ_CHECK(result->isSuccess() == (message && message.attribute("type") != "error"));
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
  const auto printed = xr::elementToString(message);
  FUZZ_CHECK(printed.has_value());
  const xr::XmlNode reparsed = xr::stringToElement(*printed);
  FUZZ_CHECK(reparsed);
  FUZZ_CHECK(xr::elementToString(reparsed) == printed);
  FUZZ_CHECK(xr::getPackCmdID(reparsed) == xr::getPackCmdID(message));
  readEverything(reparsed, path);
  return 0;
}
