// device/xml_message.h: helpers for the XML messages exchanged with the device. They turn
// message text into an element and back, read the fields that tell what a message is, pick
// nodes by XPath, turn a node's children into a dictionary, escape text for XML and turn an
// error reply into a TaskResult. None of them sends or receives anything.
//
// The message shape they read (names are case-sensitive):
//   <iq id="CMD" type="error">             id: command id; type "error": failed request
//     <response ns="PACKET-TYPE">          payload of a reply; its first child's name is
//       <CONTENT-TYPE .../>                the content type
//     </response>
//     <body ns="MESSAGE-TYPE">...</body>   payload of a message that is not a reply
//     <error>DESCRIPTION</error>
//   </iq>
// A field reader that finds nothing returns "" (not none), unless said otherwise.
//
// An element is an XmlNode (platform/xml.h); an empty XmlNode is "none". The functions keep
// no state and may run on any thread; parsed messages are never changed, so several threads
// may read one at once. Failures are results: none, "", or a failed TaskResult.
#pragma once
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "xrfoundation/export.h"
#include "xrfoundation/platform/xml.h"
#include "xrfoundation/tasks/task_result.h"

namespace xr {

// Dictionary from a child's name to its value as text.
using XmlDictionary = std::map<std::string, std::string>;

// The first child element of element with this name, or none.
XR_EXPORT XmlNode firstChildElementWithName(const XmlNode& element, std::string_view name);

// The element parsed from text, or none when the text is not one well-formed element (logged
// once on XRLog at error level). The element keeps its document alive while it is held.
XR_EXPORT XmlNode stringToElement(std::string_view text);

// The element's text, pretty-printed (one element per line, four-space indent, no XML
// declaration), or none when the element cannot be made the root of a document of its own:
// no element, not an element, or an element that lies inside another element (serialise its
// message, or parse a copy of it, instead). The reason goes to the console log, but for a
// missing element.
XR_EXPORT std::optional<std::string> elementToString(const XmlNode& element);

// "ns" of the first node that the path "body" selects relative to element, or "".
XR_EXPORT std::string getMsgType(const XmlNode& element);
// "ns" of the element's "response" child, else of its "body" child; "" when the child taken
// has no "ns", and "" (logged) when the element has neither child.
XR_EXPORT std::string getPackType(const XmlNode& element);
// Name of the first child node of the element's "response" child; "" when that child is a
// text node or there is none, and "" (logged) when the element has no "response".
XR_EXPORT std::string getPackContentType(const XmlNode& element);
// The element's name (the notification type), or "".
XR_EXPORT std::string getNotifyType(const XmlNode& element);
// The element's "id" attribute (the command id), or "".
XR_EXPORT std::string getPackCmdID(const XmlNode& element);

// The first node (in document order) that an XPath 1.0 path selects relative to node; none
// when it selects nothing or the path is rejected.
XR_EXPORT XmlNode firstXPathNode(const XmlNode& node, std::string_view path);
// That node's value as text (for an element, all the text inside it), or none.
XR_EXPORT std::optional<std::string> firstXPathNodeValue(const XmlNode& node,
                                                         std::string_view path);
// The named attribute of that node, or "" when there is no node, it is not an element, or it
// lacks the attribute.
XR_EXPORT std::string firstXPathNodeAttributeValue(const XmlNode& node, std::string_view path,
                                                   std::string_view attributeName);

// For each child node of node, in document order: child name -> child's value as text. A
// later child of the same name replaces an earlier one. Nameless children (text, comments)
// are skipped; attributes are not included. Empty for none or a leaf.
XR_EXPORT XmlDictionary dictionaryFromNode(const XmlNode& node);

// text with & < > ' " replaced by &amp; &lt; &gt; &apos; &quot; ("&" first, so an entity
// already in the text is escaped again: "&lt;" becomes "&amp;lt;").
XR_EXPORT std::string replaceXmlSpecialChar(std::string_view text);

// The first child element with this name of the message's "response" child, or none.
XR_EXPORT XmlNode extractIqFirstElement(const XmlNode& message, std::string_view name);

// A new record for a reply: no message gives failure with result "error"; a message whose
// "type" is exactly "error" gives failure with result "error" and the text of its first
// "error" child as description (none without one); anything else gives success, "success".
// The error code stays 0.
XR_EXPORT std::shared_ptr<TaskResult> checkElementError(const XmlNode& message);

}  // namespace xr
