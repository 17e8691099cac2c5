// platform/xml_wellformed_internal.h: the well-formedness rules of XML 1.0 with namespaces that
// the parser behind xml.h does not enforce, checked over the raw text before it is parsed:
// UTF-8 and XML's characters, references, "]]>" in text, '<' in attribute values, "--" in
// comments, the XML declaration (its place at the very start and its pseudo-attributes), the
// DOCTYPE (its place, its literals, no internal subset), processing-instruction targets, names,
// duplicated attributes, namespace prefixes and their declarations, and the nesting depth.
// Tags are read only as far as these rules need: the syntax of a tag, and which elements stand
// at the top, are the parser's to judge. Stateless; any thread may call it.
#pragma once
#include <cstddef>
#include <string_view>

namespace xr {

// Said when the check cannot follow the markup (a tag cut short, an end tag with nothing
// open). Such text is not well-formed, but the parser's own reason says more when it has one.
inline constexpr std::string_view kUnclearXmlMarkup = "malformed markup";

// Where and why a text is not well-formed.
struct XmlFault {
  const char* what = nullptr;  // the rule the text breaks; null when it breaks none
  std::size_t offset = 0;      // byte offset into the text, at most its size
  explicit operator bool() const { return what != nullptr; }
  // Whether the check lost the markup here rather than finding a rule broken.
  bool unclear() const { return what != nullptr && what == kUnclearXmlMarkup; }
};

// The first of the rules above that text breaks, in text order (UTF-8 and characters first);
// no fault when it breaks none. A fault that is unclear() stops the check where it stands, so
// rules further on are not checked.
[[nodiscard]] XmlFault checkXmlWellFormed(std::string_view text);

}  // namespace xr
