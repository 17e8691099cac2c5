#include "xrfoundation/platform/xml.h"

#include <algorithm>
#include <new>
#include <pugixml.hpp>
#include <utility>

#include "xrfoundation/platform/xml_wellformed_internal.h"

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
// kept as nodes for the same reason. Entities of a DOCTYPE are never expanded. White space
// alone is kept as text only where it is all an element holds (parse_ws_pcdata_single).
constexpr unsigned kParseFlags = pugi::parse_default | pugi::parse_comments |
                                 pugi::parse_declaration | pugi::parse_fragment |
                                 pugi::parse_ws_pcdata_single;

// The parser writes a carriage return in text as it is, which a reader takes for a line end
// and turns into a line feed. A parsed text can hold one only from a character reference
// (line ends are normalised, and attribute values are escaped by the writer), so every
// carriage return in the output is a text's own and goes out as a reference again.
class StringWriter : public pugi::xml_writer {
 public:
  explicit StringWriter(std::string& out) : out_(out) {}
  void write(const void* data, size_t size) override {
    std::string_view chunk(static_cast<const char*>(data), size);
    for (size_t cr = chunk.find('\r'); cr != std::string_view::npos; cr = chunk.find('\r')) {
      out_.append(chunk.substr(0, cr));
      out_ += "&#13;";
      chunk.remove_prefix(cr + 1);
    }
    out_.append(chunk);
  }

 private:
  std::string& out_;
};

unsigned formatFlags(XmlFormat format) {
  return format == XmlFormat::Pretty ? pugi::format_indent : pugi::format_raw;
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

// Text that a dropped processing instruction split ("<a>x<?pi?>y</a>") is one text, as it is
// once printed and read again; the parser leaves it as two.
void joinSplitText(pugi::xml_node element) {
  for (pugi::xml_node child = element.first_child(); child;) {
    pugi::xml_node next = child.next_sibling();
    if (child.type() == pugi::node_pcdata && next && next.type() == pugi::node_pcdata) {
      std::string joined = child.value();
      joined += next.value();
      child.set_value(joined.c_str());
      element.remove_child(next);
      continue;
    }
    if (child.type() == pugi::node_element) joinSplitText(child);
    child = next;
  }
}

XmlNode parseXmlElement(std::string_view text, XmlParseError* error) {
  // Where the check lost the markup, the parser's reason comes first: it says more.
  const XmlFault fault = checkXmlWellFormed(text);
  if (fault && !fault.unclear()) {
    setError(error, fault.what, fault.offset);
    return XmlNode();
  }
  auto document = std::make_shared<pugi::xml_document>();
  pugi::xml_parse_result parsed =
      document->load_buffer(text.data(), text.size(), kParseFlags, kEncoding);
  if (!parsed) {
    // The parser counts the end of a truncated text one past its last byte.
    setError(error, parsed.description(),
             std::min(static_cast<size_t>(parsed.offset), text.size()));
    return XmlNode();
  }
  if (fault) {
    setError(error, fault.what, fault.offset);
    return XmlNode();
  }
  // Exactly one element; comments, processing instructions and the declaration (which the
  // check has placed and read) around it are harmless.
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
      default:
        break;
    }
  }
  if (!element) {
    setError(error, "no element found", text.size());
    return XmlNode();
  }
  // Only a processing instruction splits text; the declaration, if any, stands at byte 0.
  if (text.find("<?", 1) != std::string_view::npos) joinSplitText(element);
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
