#include "xrfoundation/device/xml_message.h"

#include <exception>
#include <utility>

#include "xrfoundation/platform/log_internal.h"

namespace xr {
namespace {

constexpr std::string_view kResponse = "response";
constexpr std::string_view kBody = "body";
constexpr std::string_view kNs = "ns";
constexpr std::string_view kErrorWord = "error";

// The element as the console log shows it: its XML text, or "(null)" for none.
std::string readable(const XmlNode& element) {
  return element ? element.toXml(XmlFormat::Compact) : std::string(kNullText);
}

}  // namespace

XmlNode firstChildElementWithName(const XmlNode& element, std::string_view name) {
  return element.firstChildElement(name);
}

XmlNode stringToElement(std::string_view text) {
  XmlNode element = parseXmlElement(text);
  // The parser's own reason is not passed on: the application's logs have always shown
  // this one line for every unreadable message.
  if (!element) XR_LOG_ERROR("NSXMLElement* stringToElement(el == nil)");
  return element;
}

std::optional<std::string> elementToString(const XmlNode& element) {
  if (!element) return std::nullopt;
  try {
    return serializeAsDocument(element, XmlFormat::Pretty);
  } catch (const std::exception& error) {
    consoleLog().error("ERROR:element to string: {}", error.what());
    return std::nullopt;
  }
}

std::string getMsgType(const XmlNode& element) {
  return firstXPathNodeAttributeValue(element, kBody, kNs);
}

std::string getPackType(const XmlNode& element) {
  XmlNode payload = firstChildElementWithName(element, kResponse);
  if (!payload) payload = firstChildElementWithName(element, kBody);
  if (!payload) {
    consoleLog().info("unexpected element: {}", readable(element));
    return "";
  }
  // A reply's type is read from "response" alone, even when it lacks "ns" and a "body" has one.
  return payload.attribute(kNs).value_or("");
}

std::string getPackContentType(const XmlNode& element) {
  XmlNode response = firstChildElementWithName(element, kResponse);
  if (!response) {
    consoleLog().info("unexpected element: {}", readable(element));
    return "";
  }
  return response.firstChild().name().value_or("");
}

std::string getNotifyType(const XmlNode& element) { return element.name().value_or(""); }

std::string getPackCmdID(const XmlNode& element) { return element.attribute("id").value_or(""); }

XmlNode firstXPathNode(const XmlNode& node, std::string_view path) {
  std::optional<std::vector<XmlNode>> found = node.select(path);
  if (!found || found->empty()) return XmlNode();
  return std::move(found->front());
}

std::optional<std::string> firstXPathNodeValue(const XmlNode& node, std::string_view path) {
  XmlNode found = firstXPathNode(node, path);
  if (!found) return std::nullopt;
  return found.stringValue();
}

std::string firstXPathNodeAttributeValue(const XmlNode& node, std::string_view path,
                                         std::string_view attributeName) {
  // attribute() answers none for anything but an element, since only elements have attributes.
  return firstXPathNode(node, path).attribute(attributeName).value_or("");
}

XmlDictionary dictionaryFromNode(const XmlNode& node) {
  XmlDictionary dictionary;
  for (const XmlNode& child : node.children()) {
    std::optional<std::string> name = child.name();
    if (!name) continue;
    // Assignment, not insertion: the last child of a name wins.
    dictionary[*name] = child.stringValue();
  }
  return dictionary;
}

std::string replaceXmlSpecialChar(std::string_view text) { return escapeXml(text); }

XmlNode extractIqFirstElement(const XmlNode& message, std::string_view name) {
  XmlNode response = firstChildElementWithName(message, kResponse);
  if (!response) return XmlNode();
  return firstChildElementWithName(response, name);
}

std::shared_ptr<TaskResult> checkElementError(const XmlNode& message) {
  auto result = std::make_shared<TaskResult>();
  if (!message) {
    result->setIsSuccess(false);
    result->setResult(std::string(kErrorWord));
  } else if (message.attribute("type") == kErrorWord) {
    result->setIsSuccess(false);
    result->setResult(std::string(kErrorWord));
    result->setErrorDescription(firstXPathNodeValue(message, "error"));
  } else {
    result->setIsSuccess(true);
    result->setResult("success");
  }
  return result;
}

}  // namespace xr
