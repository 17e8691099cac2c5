// platform/xml.h: the XML document model the device message helpers read. A document is
// parsed from text once and never changed afterwards; XmlNode is a cheap handle to one of its
// nodes (element, text, comment, attribute, ...) that shares ownership of the whole document,
// so a node handed out keeps its document alive for as long as anyone holds it. Since nothing
// changes a parsed document, handles may be read from several threads at once.
#pragma once
#include <cstddef>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "xrfoundation/export.h"

namespace xr {

// Raised by the document model when asked for something it cannot do (see serializeAsDocument).
class XR_EXPORT XmlError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// What a node is.
enum class XmlNodeKind {
  None,       // no node
  Document,   // the document that holds a parsed element
  Element,    // an element
  Text,       // text or a CDATA section
  Comment,    // a comment
  Attribute,  // an attribute of an element
  Other,      // anything else (a declaration, a processing instruction)
};

// How toXml() and serializeAsDocument() lay out the text.
enum class XmlFormat {
  Compact,  // the whole node on one line, as it would travel on the wire
  Pretty,   // one element per line, indented by four spaces per level
};

// A read-only handle to one node of a parsed document; see the top of this file.
class XR_EXPORT XmlNode {
 public:
  XmlNode() = default;  // no node ("none")

  // Whether this is a node at all.
  explicit operator bool() const { return kind() != XmlNodeKind::None; }
  // What the node is; None for no node.
  XmlNodeKind kind() const;
  // Whether the node is an element.
  bool isElement() const { return kind() == XmlNodeKind::Element; }

  // The element's or attribute's name; none for nodes without a name (text, comment,
  // document) and for no node.
  std::optional<std::string> name() const;

  // The node's value as text. For an element or a document: all the text inside it, that of
  // every descendant text and CDATA section in document order (the XPath string value). For
  // an attribute its value, for a text or a comment its content; "" for no node.
  std::string stringValue() const;

  // Value of the named attribute of an element; none when the node isn't an element or has
  // no attribute of that name.
  std::optional<std::string> attribute(std::string_view name) const;

  // Child nodes in document order (elements, texts, comments, ...); empty for a leaf.
  std::vector<XmlNode> children() const;
  XmlNode firstChild() const;
  // First child element with this exact (case-sensitive) name, or none.
  XmlNode firstChildElement(std::string_view name) const;

  // True for a node inside an element (not the document's top element): such a node cannot
  // become the root of a document of its own.
  bool hasParentElement() const;

  // Nodes that an XPath 1.0 expression selects relative to this node, in document order.
  // None when the expression is rejected (syntax error, not a node set) or there is no node;
  // never throws.
  std::optional<std::vector<XmlNode>> select(std::string_view xpath) const;

  // The node as XML text (an element with everything inside it); "" for no node.
  std::string toXml(XmlFormat format = XmlFormat::Compact) const;

  // Same node of the same document.
  friend bool operator==(const XmlNode& a, const XmlNode& b) {
    return a.node_ == b.node_ && a.attribute_ == b.attribute_;
  }

 private:
  friend struct XmlAccess;
  std::shared_ptr<const void> document_;  // the parsed document this node lives in
  void* node_ = nullptr;                  // the parser's node, unless an attribute
  void* attribute_ = nullptr;             // the parser's attribute, for attribute nodes
};

// Why parseXmlElement refused a text, and where.
struct XR_EXPORT XmlParseError {
  std::string description;  // the rule the text breaks, or the parser's own reason
  std::size_t offset = 0;   // byte offset into the text where parsing stopped
};

// Deepest nesting of elements parseXmlElement accepts (the element itself is at depth 1). No
// device message comes near it; deeper text is refused, since the work of printing grows
// with the square of the depth.
inline constexpr int kMaxXmlDepth = 256;

// Parses text (UTF-8) that holds exactly one element, optionally preceded by an XML
// declaration (which may name no encoding but UTF-8) and accompanied by comments. The text
// must be well-formed XML 1.0 with namespaces: only the five predefined entities and
// references to characters XML allows, no duplicated attribute, no undeclared prefix, no
// control character, the declaration at the very start; and no deeper than kMaxXmlDepth. A
// DOCTYPE may name the root and an external DTD, which is not read; one with an internal
// subset is refused, so no entity it would declare is ever expanded. White space alone
// between elements is dropped; white space that is all an element holds is kept as its
// text. Returns the element, or none with the reason in *error when one is given.
XR_EXPORT XmlNode parseXmlElement(std::string_view text, XmlParseError* error = nullptr);

// Serialises a document whose root is element. Throws XmlError when the node is not an
// element or cannot be made a root because it lies inside another element.
XR_EXPORT std::string serializeAsDocument(const XmlNode& element, XmlFormat format);

// The text with each of the characters listed in which (any of & < > ' ") replaced by its
// entity, in one pass: an ampersand an entity brings in is never escaped again, one already in
// the text is ("&lt;" becomes "&amp;lt;"). Other characters of which are ignored.
XR_EXPORT std::string escapeXml(std::string_view text, std::string_view which = "&<>'\"");

}  // namespace xr
