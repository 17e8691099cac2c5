#include "xrfoundation/platform/xml.h"

#include <cstdint>
#include <new>
#include <pugixml.hpp>
#include <utility>

namespace xr {

// The one place that turns XmlNode's opaque fields into parser handles and back.
struct XmlAccess {
  static pugi::xml_node node(const XmlNode& n) {
    return pugi::xml_node(static_cast<pugi::xml_node_struct*>(n.node_));
  }
  static pugi::xml_attribute attribute(const XmlNode& n) {
    return pugi::xml_attribute(static_cast<pugi::xml_attribute_struct*>(n.attribute_));
  }
  static XmlNode make(const std::shared_ptr<const void>& document, pugi::xml_node node,
                      pugi::xml_attribute attribute = pugi::xml_attribute()) {
    XmlNode n;
    if (!node) return n;
    n.document_ = document;
    n.node_ = node.internal_object();
    n.attribute_ = attribute.internal_object();
    return n;
  }
  static const std::shared_ptr<const void>& document(const XmlNode& n) { return n.document_; }
  static bool isAttribute(const XmlNode& n) { return n.attribute_ != nullptr; }
};

namespace {

constexpr pugi::xml_encoding kEncoding = pugi::encoding_utf8;
constexpr const char* kIndent = "    ";

// Fragment mode keeps text that stands outside the element, so that parseXmlElement can
// reject it rather than have the parser skip it silently. Comments and the declaration are
// kept as nodes for the same reason. Entities of a DOCTYPE are never expanded.
constexpr unsigned kParseFlags =
    pugi::parse_default | pugi::parse_comments | pugi::parse_declaration | pugi::parse_fragment;

class StringWriter : public pugi::xml_writer {
 public:
  explicit StringWriter(std::string& out) : out_(out) {}
  void write(const void* data, size_t size) override {
    out_.append(static_cast<const char*>(data), size);
  }

 private:
  std::string& out_;
};

unsigned formatFlags(XmlFormat format) {
  return format == XmlFormat::Pretty ? pugi::format_indent : pugi::format_raw;
}

// The parser passes bytes through as they come; a message that is not UTF-8 would hand out
// texts that are not UTF-8 either, so it is refused up front. Returns the offset of the first
// bad byte, or text.size() when all is well.
size_t firstInvalidUtf8(std::string_view text) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  size_t i = 0;
  while (i < text.size()) {
    unsigned char lead = bytes[i];
    if (lead < 0x80) {
      ++i;
      continue;
    }
    size_t length;
    uint32_t min;
    uint32_t code;
    if ((lead & 0xE0) == 0xC0) {
      length = 2, min = 0x80, code = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
      length = 3, min = 0x800, code = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
      length = 4, min = 0x10000, code = lead & 0x07;
    } else {
      return i;
    }
    if (text.size() - i < length) return i;
    for (size_t k = 1; k < length; ++k) {
      if ((bytes[i + k] & 0xC0) != 0x80) return i;
      code = (code << 6) | (bytes[i + k] & 0x3F);
    }
    // Overlong forms, UTF-16 surrogates and values past U+10FFFF are not UTF-8.
    if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return i;
    i += length;
  }
  return text.size();
}

void setError(XmlParseError* error, std::string description, size_t offset) {
  if (error) *error = XmlParseError{std::move(description), offset};
}

bool isText(pugi::xml_node node) {
  return node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata;
}

// XPath string value: every text and CDATA section below root, in document order. Walked
// without recursion so that a deeply nested message cannot exhaust the stack.
std::string descendantText(pugi::xml_node root) {
  std::string out;
  pugi::xml_node current = root.first_child();
  while (current) {
    if (isText(current)) out += current.value();
    if (current.first_child()) {
      current = current.first_child();
      continue;
    }
    while (current != root && !current.next_sibling()) current = current.parent();
    if (current == root) break;
    current = current.next_sibling();
  }
  return out;
}

// The entity that stands for one of XML's five special characters; null for other characters.
const char* entityOf(char c) {
  switch (c) {
    case '&':
      return "&amp;";
    case '<':
      return "&lt;";
    case '>':
      return "&gt;";
    case '\'':
      return "&apos;";
    case '"':
      return "&quot;";
    default:
      return nullptr;
  }
}

}  // namespace

XmlNodeKind XmlNode::kind() const {
  if (attribute_) return XmlNodeKind::Attribute;
  switch (XmlAccess::node(*this).type()) {
    case pugi::node_null:
      return XmlNodeKind::None;
    case pugi::node_document:
      return XmlNodeKind::Document;
    case pugi::node_element:
      return XmlNodeKind::Element;
    case pugi::node_pcdata:
    case pugi::node_cdata:
      return XmlNodeKind::Text;
    case pugi::node_comment:
      return XmlNodeKind::Comment;
    default:
      return XmlNodeKind::Other;
  }
}

std::optional<std::string> XmlNode::name() const {
  switch (kind()) {
    case XmlNodeKind::Attribute:
      return std::string(XmlAccess::attribute(*this).name());
    case XmlNodeKind::Element:
    case XmlNodeKind::Other:
      return std::string(XmlAccess::node(*this).name());
    default:
      return std::nullopt;
  }
}

std::string XmlNode::stringValue() const {
  switch (kind()) {
    case XmlNodeKind::None:
      return "";
    case XmlNodeKind::Attribute:
      return XmlAccess::attribute(*this).value();
    case XmlNodeKind::Document:
    case XmlNodeKind::Element:
      return descendantText(XmlAccess::node(*this));
    default:
      return XmlAccess::node(*this).value();
  }
}

std::optional<std::string> XmlNode::attribute(std::string_view name) const {
  if (!isElement()) return std::nullopt;
  for (pugi::xml_attribute a : XmlAccess::node(*this).attributes()) {
    if (name == a.name()) return std::string(a.value());
  }
  return std::nullopt;
}

std::vector<XmlNode> XmlNode::children() const {
  std::vector<XmlNode> out;
  if (attribute_) return out;
  for (pugi::xml_node child : XmlAccess::node(*this).children()) {
    out.push_back(XmlAccess::make(document_, child));
  }
  return out;
}

XmlNode XmlNode::firstChild() const {
  if (attribute_) return XmlNode();
  return XmlAccess::make(document_, XmlAccess::node(*this).first_child());
}

XmlNode XmlNode::firstChildElement(std::string_view name) const {
  if (attribute_) return XmlNode();
  for (pugi::xml_node child : XmlAccess::node(*this).children()) {
    if (child.type() == pugi::node_element && name == child.name()) {
      return XmlAccess::make(document_, child);
    }
  }
  return XmlNode();
}

bool XmlNode::hasParentElement() const {
  if (attribute_) return true;
  return XmlAccess::node(*this).parent().type() == pugi::node_element;
}

std::optional<std::vector<XmlNode>> XmlNode::select(std::string_view xpath) const {
  if (!*this) return std::nullopt;
  try {
    // The parser wants a terminated string, and a NUL inside would cut the expression short
    // without a word; such an expression is rejected instead.
    if (xpath.find('\0') != std::string_view::npos) return std::nullopt;
    pugi::xpath_query query(std::string(xpath).c_str());
    pugi::xpath_node context =
        attribute_ ? pugi::xpath_node(XmlAccess::attribute(*this), XmlAccess::node(*this))
                   : pugi::xpath_node(XmlAccess::node(*this));
    pugi::xpath_node_set found = query.evaluate_node_set(context);
    found.sort();
    std::vector<XmlNode> out;
    out.reserve(found.size());
    for (const pugi::xpath_node& hit : found) {
      out.push_back(hit.attribute() ? XmlAccess::make(document_, hit.parent(), hit.attribute())
                                    : XmlAccess::make(document_, hit.node()));
    }
    return out;
  } catch (const pugi::xpath_exception&) {
    return std::nullopt;  // rejected: a syntax error, or the result is not a node set
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

std::string XmlNode::toXml(XmlFormat format) const {
  std::string out;
  switch (kind()) {
    case XmlNodeKind::None:
      break;
    case XmlNodeKind::Attribute: {
      pugi::xml_attribute a = XmlAccess::attribute(*this);
      out = std::string(a.name()) + "=\"" + escapeXml(a.value(), "&<\"") + "\"";
      break;
    }
    default: {
      StringWriter writer(out);
      XmlAccess::node(*this).print(writer, kIndent, formatFlags(format), kEncoding);
    }
  }
  return out;
}

XmlNode parseXmlElement(std::string_view text, XmlParseError* error) {
  size_t bad = firstInvalidUtf8(text);
  if (bad != text.size()) {
    setError(error, "text is not valid UTF-8", bad);
    return XmlNode();
  }
  auto document = std::make_shared<pugi::xml_document>();
  pugi::xml_parse_result parsed =
      document->load_buffer(text.data(), text.size(), kParseFlags, kEncoding);
  if (!parsed) {
    setError(error, parsed.description(), static_cast<size_t>(parsed.offset));
    return XmlNode();
  }
  // Exactly one element; a declaration only in front of everything else; comments and
  // processing instructions around it are harmless.
  pugi::xml_node element;
  for (pugi::xml_node child : document->children()) {
    auto offset = static_cast<size_t>(child.offset_debug() < 0 ? 0 : child.offset_debug());
    switch (child.type()) {
      case pugi::node_element:
        if (element) {
          // The parser places an element at its name; the tag starts one byte before.
          setError(error, "more than one top-level element", offset > 0 ? offset - 1 : 0);
          return XmlNode();
        }
        element = child;
        break;
      case pugi::node_pcdata:
      case pugi::node_cdata:
        setError(error, "text outside the element", offset);
        return XmlNode();
      case pugi::node_declaration:
        if (child != document->first_child()) {
          setError(error, "XML declaration not at the start", offset);
          return XmlNode();
        }
        break;
      default:
        break;
    }
  }
  if (!element) {
    setError(error, "no element found", text.size());
    return XmlNode();
  }
  std::shared_ptr<const void> owner = std::move(document);
  return XmlAccess::make(owner, element);
}

std::string serializeAsDocument(const XmlNode& element, XmlFormat format) {
  if (!element.isElement()) throw XmlError("only an element can be the root of a document");
  if (element.hasParentElement()) {
    throw XmlError("cannot make an element with a parent the root of a document; copy it first");
  }
  return element.toXml(format);
}

std::string escapeXml(std::string_view text, std::string_view which) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    const char* entity = entityOf(c);
    if (entity != nullptr && which.find(c) != std::string_view::npos) {
      out += entity;
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace xr
