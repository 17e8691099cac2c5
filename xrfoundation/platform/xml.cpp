#include "xrfoundation/platform/xml.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <forward_list>
#include <new>
#include <pugixml.hpp>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
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

// Where and why a text is not a well-formed message.
struct Fault {
  const char* what = nullptr;
  size_t offset = 0;
  explicit operator bool() const { return what != nullptr; }
};

// Characters XML 1.0 allows in a document (its Char production).
bool isXmlChar(uint32_t c) {
  if (c < 0x20) return c == 0x9 || c == 0xA || c == 0xD;
  return c <= 0xD7FF || (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

// Decodes the UTF-8 sequence at bytes[i]; returns its length, or 0 when it is not UTF-8
// (overlong forms, UTF-16 surrogates and values past U+10FFFF included).
size_t decodeUtf8(const unsigned char* bytes, size_t size, size_t i, uint32_t& code) {
  unsigned char lead = bytes[i];
  if (lead < 0x80) {
    code = lead;
    return 1;
  }
  size_t length;
  uint32_t min;
  if ((lead & 0xE0) == 0xC0) {
    length = 2, min = 0x80, code = lead & 0x1F;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, min = 0x800, code = lead & 0x0F;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, min = 0x10000, code = lead & 0x07;
  } else {
    return 0;
  }
  if (size - i < length) return 0;
  for (size_t k = 1; k < length; ++k) {
    if ((bytes[i + k] & 0xC0) != 0x80) return 0;
    code = (code << 6) | (bytes[i + k] & 0x3F);
  }
  if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return length;
}

// Sixteen bytes at once where the processor can (every x86-64 can), else eight.
#if defined(__SSE2__)
size_t skipPrintableAscii(std::string_view text, size_t i) {
  // As signed bytes, those outside ASCII are negative: one comparison finds both kinds.
  const __m128i space = _mm_set1_epi8(0x20);
  while (text.size() - i >= 16) {
    __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i));
    int found = _mm_movemask_epi8(_mm_cmplt_epi8(block, space));
    if (found != 0) return i + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(found)));
    i += 16;
  }
  while (i < text.size() && static_cast<signed char>(text[i]) >= 0x20) ++i;
  return i;
}

// The first '<', '&' or ']' at or after i, or the end.
size_t findMarkup(std::string_view text, size_t i) {
  const __m128i lt = _mm_set1_epi8('<');
  const __m128i amp = _mm_set1_epi8('&');
  const __m128i bracket = _mm_set1_epi8(']');
  while (text.size() - i >= 16) {
    __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i));
    __m128i hits = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(block, lt), _mm_cmpeq_epi8(block, amp)),
                                _mm_cmpeq_epi8(block, bracket));
    int found = _mm_movemask_epi8(hits);
    if (found != 0) return i + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(found)));
    i += 16;
  }
  while (i < text.size() && text[i] != '<' && text[i] != '&' && text[i] != ']') ++i;
  return i;
}
#else
size_t skipPrintableAscii(std::string_view text, size_t i) {
  constexpr uint64_t kOnes = 0x0101010101010101ULL;
  while (text.size() - i >= 8) {
    uint64_t word;
    std::memcpy(&word, text.data() + i, 8);
    if (((word - kOnes * 0x20) | word) & (kOnes * 0x80)) break;
    i += 8;
  }
  while (i < text.size() && static_cast<unsigned char>(text[i]) >= 0x20 &&
         static_cast<unsigned char>(text[i]) < 0x80) {
    ++i;
  }
  return i;
}

size_t findMarkup(std::string_view text, size_t i) {
  while (i < text.size() && text[i] != '<' && text[i] != '&' && text[i] != ']') ++i;
  return i;
}
#endif

// The parser passes bytes through as they come, control characters and all; a message that
// is not UTF-8, or holds a character XML forbids, is refused before it is parsed.
Fault characterFault(std::string_view text) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  size_t i = 0;
  while (i < text.size()) {
    i = skipPrintableAscii(text, i);
    if (i >= text.size()) break;
    unsigned char lead = bytes[i];
    if (lead >= 0x20 && lead < 0x80) {
      ++i;
      continue;
    }
    uint32_t code = 0;
    size_t length = decodeUtf8(bytes, text.size(), i, code);
    if (length == 0) return {"text is not valid UTF-8", i};
    if (!isXmlChar(code)) return {"character not allowed in XML", i};
    i += length;
  }
  return {};
}

bool startsWith(std::string_view text, size_t at, std::string_view prefix) {
  return text.size() - at >= prefix.size() && text.compare(at, prefix.size(), prefix) == 0;
}

bool isAsciiNameByte(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c == ':' || c == '-' || c == '.' || c >= 0x80;
}

bool isXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// XML 1.0's PubidChar: the characters of a public identifier.
bool isPubidChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' ' ||
         c == '\n' || c == '\r' ||
         std::string_view("-'()+,./:=?;!*#@$_%").find(c) != std::string_view::npos;
}

// The reference that starts with the '&' at text[at]: one of XML's five predefined entities or
// a character reference to a character XML allows. Without a DTD no other entity is defined,
// and entities a DOCTYPE declares are not expanded, so a message using one is refused too.
// Sets *end past the ';'.
Fault referenceFault(std::string_view text, size_t at, size_t* end) {
  size_t semicolon = text.find(';', at + 1);
  size_t stop = std::min(semicolon, text.size());
  std::string_view body = text.substr(at + 1, stop - at - 1);
  if (semicolon == std::string_view::npos || body.empty()) {
    return {"'&' that starts no reference", at};
  }
  *end = semicolon + 1;
  if (body[0] == '#') {
    bool hex = body.size() > 1 && body[1] == 'x';
    std::string_view digits = body.substr(hex ? 2 : 1);
    if (digits.empty()) return {"malformed character reference", at};
    uint32_t value = 0;
    for (char c : digits) {
      uint32_t digit;
      if (c >= '0' && c <= '9') {
        digit = static_cast<uint32_t>(c - '0');
      } else if (hex && c >= 'a' && c <= 'f') {
        digit = static_cast<uint32_t>(c - 'a' + 10);
      } else if (hex && c >= 'A' && c <= 'F') {
        digit = static_cast<uint32_t>(c - 'A' + 10);
      } else {
        return {"malformed character reference", at};
      }
      value = value * (hex ? 16 : 10) + digit;
      if (value > 0x10FFFF) return {"reference to a character not allowed in XML", at};
    }
    if (!isXmlChar(value)) return {"reference to a character not allowed in XML", at};
    return {};
  }
  if (body == "lt" || body == "gt" || body == "amp" || body == "apos" || body == "quot") return {};
  for (char c : body) {
    if (!isAsciiNameByte(static_cast<unsigned char>(c))) {
      return {"'&' that starts no reference", at};
    }
  }
  return {"undefined entity", at};
}

// XML 1.0 (fifth edition) name characters beyond ASCII.
bool isNameStartCode(uint32_t c) {
  return (c >= 0xC0 && c <= 0xD6) || (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF) ||
         (c >= 0x370 && c <= 0x37D) || (c >= 0x37F && c <= 0x1FFF) ||
         (c >= 0x200C && c <= 0x200D) || (c >= 0x2070 && c <= 0x218F) ||
         (c >= 0x2C00 && c <= 0x2FEF) || (c >= 0x3001 && c <= 0xD7FF) ||
         (c >= 0xF900 && c <= 0xFDCF) || (c >= 0xFDF0 && c <= 0xFFFD) ||
         (c >= 0x10000 && c <= 0xEFFFF);
}

bool isNameCode(uint32_t c) {
  return isNameStartCode(c) || c == 0xB7 || (c >= 0x300 && c <= 0x36F) ||
         (c >= 0x203F && c <= 0x2040);
}

// A qualified name: an XML name with at most one colon, neither first nor last.
bool isQualifiedName(std::string_view name) {
  if (name.empty() || name.front() == ':' || name.back() == ':') return false;
  // The common case: ASCII letters, digits, '_', '-', '.' and no colon.
  auto plain = [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || (c >= '0' && c <= '9') ||
           c == '-' || c == '.';
  };
  char first = name.front();
  if (((first >= 'a' && first <= 'z') || (first >= 'A' && first <= 'Z') || first == '_') &&
      std::all_of(name.begin() + 1, name.end(), plain)) {
    return true;
  }
  const auto* bytes = reinterpret_cast<const unsigned char*>(name.data());
  size_t colons = 0;
  for (size_t i = 0; i < name.size();) {
    uint32_t c = bytes[i];
    size_t length = 1;
    if (c >= 0x80) {
      length = decodeUtf8(bytes, name.size(), i, c);
      if (length == 0) return false;
    }
    bool startsPart = i == 0 || name[i - 1] == ':';  // of the prefix or of the local name
    bool ok;
    if (c < 0x80) {
      bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
      ok = letter || c == ':' || (!startsPart && ((c >= '0' && c <= '9') || c == '-' || c == '.'));
    } else {
      ok = startsPart ? isNameStartCode(c) : isNameCode(c);
    }
    if (!ok) return false;
    if (c == ':' && ++colons > 1) return false;
    i += length;
  }
  return true;
}

constexpr std::string_view kXmlNamespace = "http://www.w3.org/XML/1998/namespace";
constexpr std::string_view kXmlnsNamespace = "http://www.w3.org/2000/xmlns/";

std::string_view prefixOf(std::string_view name) {
  size_t colon = name.find(':');
  return colon == std::string_view::npos ? std::string_view() : name.substr(0, colon);
}

// The value of an attribute as the parser reads it: references replaced, and each tab, line
// end and carriage return a space. Only called for namespace declarations that hold one of
// these, since the text itself is the value otherwise. The references are known to be good.
std::string attributeValue(std::string_view raw) {
  std::string out;
  for (size_t i = 0; i < raw.size(); ++i) {
    char c = raw[i];
    if (c != '&') {
      out += isXmlSpace(c) ? ' ' : c;
      continue;
    }
    size_t semicolon = raw.find(';', i);
    std::string_view body = raw.substr(i + 1, semicolon - i - 1);
    i = semicolon;
    if (body[0] != '#') {
      out += body == "lt"     ? '<'
             : body == "gt"   ? '>'
             : body == "amp"  ? '&'
             : body == "apos" ? '\''
                              : '"';
      continue;
    }
    bool hex = body[1] == 'x';
    uint32_t code = static_cast<uint32_t>(
        std::stoul(std::string(body.substr(hex ? 2 : 1)), nullptr, hex ? 16 : 10));
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xC0 | (code >> 6));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      out += static_cast<char>(0xE0 | (code >> 12));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (code >> 18));
      out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
  }
  return out;
}

// Said when the pass cannot follow the markup. Such text is not well-formed; the parser's own
// reason is given when it has one.
constexpr const char* kUnclearMarkup = "malformed markup";

// Well-formedness rules the parser does not enforce, checked in one pass over the text before
// it is parsed: references, "]]>" in text, '<' in attribute values, "--" in comments, the
// place of the XML declaration (the very start) and of the DOCTYPE (before the element),
// reserved processing-instruction targets, names, duplicated attributes, namespace prefixes
// and their declarations, and the nesting depth. The tags are read here only as far as these
// checks need; their syntax is the parser's to judge.
class MarkupCheck {
 public:
  explicit MarkupCheck(std::string_view text) : text_(text), n_(text.size()) {}

  Fault run() {
    const size_t start = startsWith(text_, 0, "\xEF\xBB\xBF") ? 3 : 0;  // a byte order mark
    size_t i = start;
    while (i < n_) {
      // Plain text runs to the next byte that matters.
      i = findMarkup(text_, i);
      if (i >= n_) break;
      char c = text_[i];
      if (c == '&') {
        size_t end = i + 1;
        if (Fault fault = referenceFault(text_, i, &end)) return fault;
        i = end;
        continue;
      }
      if (c == ']') {
        if (startsWith(text_, i, "]]>")) return {"']]>' in text", i};
        ++i;
        continue;
      }
      Fault fault;
      char next = i + 1 < n_ ? text_[i + 1] : '\0';
      if (next == '!') {
        fault = declaration(i);
      } else if (next == '?') {
        fault = instruction(i, start);
      } else if (next == '/') {
        fault = endTag(i);
      } else {
        fault = startTag(i);
      }
      if (fault) return fault;
    }
    return {};
  }

 private:
  struct Binding {
    std::string_view prefix;
    std::string_view uri;
    int depth;
  };
  struct Attribute {
    std::string_view name;
    std::string_view value;
    bool plain;  // a plain name (see kClasses)
  };
  struct ExpandedName {
    std::string_view uri;  // "" for no namespace
    std::string_view local;
    bool operator<(const ExpandedName& other) const {
      return uri != other.uri ? uri < other.uri : local < other.local;
    }
    bool operator==(const ExpandedName& other) const = default;
  };

  Fault unclear(size_t at) const { return {kUnclearMarkup, at}; }

  // Comment, CDATA section or DOCTYPE at text_[i] ("<!"); i goes past it.
  Fault declaration(size_t& i) {
    if (startsWith(text_, i, "<!--")) {
      size_t dashes = text_.find("--", i + 4);
      if (dashes == std::string_view::npos) return unclear(i);
      if (dashes + 2 >= n_ || text_[dashes + 2] != '>') return {"'--' inside a comment", dashes};
      i = dashes + 3;
      return {};
    }
    if (startsWith(text_, i, "<![CDATA[")) {
      size_t end = text_.find("]]>", i + 9);
      if (end == std::string_view::npos) return unclear(i);
      i = end + 3;
      return {};
    }
    if (!startsWith(text_, i, "<!DOCTYPE")) return unclear(i);
    if (elementSeen_ || doctypeSeen_) return {"document type declaration out of place", i};
    doctypeSeen_ = true;
    // Only the root's name and an external identifier, which nothing reads: the parser
    // skips a DOCTYPE unchecked, and the declarations of an internal subset (entities,
    // default attributes) would change what the message says, so a message with one is
    // refused rather than read without them.
    size_t j = i + 9;
    size_t nameStart = skipSpace(j);
    if (nameStart == j) return {"malformed document type declaration", i};
    bool plain = false;
    j = nameEnd(nameStart, &plain);
    if (!plain && !isQualifiedName(text_.substr(nameStart, j - nameStart))) {
      return {"malformed document type declaration", i};
    }
    size_t keyword = skipSpace(j);
    int literals = 0;
    if (keyword > j && startsWith(text_, keyword, "SYSTEM")) {
      literals = 1;
      j = keyword + 6;
    } else if (keyword > j && startsWith(text_, keyword, "PUBLIC")) {
      literals = 2;
      j = keyword + 6;
    }
    for (int k = 0; k < literals; ++k) {
      size_t quote = skipSpace(j);
      if (quote == j || quote >= n_ || (text_[quote] != '"' && text_[quote] != '\'')) {
        return {"malformed document type declaration", i};
      }
      size_t close = text_.find(text_[quote], quote + 1);
      if (close == std::string_view::npos) return unclear(i);
      // A public identifier (the first of two literals) holds only PubidChar characters.
      if (literals == 2 && k == 0 &&
          !std::all_of(text_.begin() + quote + 1, text_.begin() + close, isPubidChar)) {
        return {"malformed document type declaration", i};
      }
      j = close + 1;
    }
    j = skipSpace(j);
    if (j < n_ && text_[j] == '[') return {"internal DTD subset not accepted", j};
    if (j >= n_ || text_[j] != '>') return {"malformed document type declaration", i};
    i = j + 1;
    return {};
  }

  // Processing instruction or XML declaration at text_[i] ("<?"); i goes past it.
  Fault instruction(size_t& i, size_t documentStart) {
    size_t targetEnd = i + 2;
    while (targetEnd < n_ && !isXmlSpace(text_[targetEnd]) && text_[targetEnd] != '?') {
      ++targetEnd;
    }
    std::string_view target = text_.substr(i + 2, targetEnd - i - 2);
    if (target.size() == 3 && (target[0] | 0x20) == 'x' && (target[1] | 0x20) == 'm' &&
        (target[2] | 0x20) == 'l') {
      if (target != "xml") return {"reserved processing instruction target", i};
      if (i != documentStart) return {"XML declaration not at the start", i};
      size_t end = text_.find("?>", targetEnd);
      if (end != std::string_view::npos &&
          text_.substr(i, end - i).find('&') != std::string_view::npos) {
        return {"malformed XML declaration", i};  // no references there
      }
    } else if (!isQualifiedName(target) || target.find(':') != std::string_view::npos) {
      return {"processing instruction target not allowed", i};
    }
    size_t end = text_.find("?>", targetEnd);
    if (end == std::string_view::npos) return unclear(i);
    i = end + 2;
    return {};
  }

  // Byte classes of the tag reader, looked up rather than compared one by one.
  // A plain name is all ASCII letters, digits, '_', '-' and '.', and starts with a letter or
  // '_': a valid name without a prefix, as nearly every name of a message is.
  enum : unsigned char { kSpace = 1, kNameStop = 2, kValueStop = 4, kPlainStart = 8, kPlain = 16 };
  static constexpr std::array<unsigned char, 256> kClasses = [] {
    std::array<unsigned char, 256> classes{};
    for (unsigned char c : {' ', '\t', '\n', '\r'}) classes[c] = kSpace | kNameStop;
    for (unsigned char c : {'/', '>', '='}) classes[c] = kNameStop;
    for (unsigned char c : {'"', '\'', '<', '&'}) classes[c] = kValueStop;
    for (int c = 0; c < 256; ++c) {
      bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
      if (letter) classes[c] = kPlainStart | kPlain;
      if ((c >= '0' && c <= '9') || c == '-' || c == '.') classes[c] = kPlain;
    }
    return classes;
  }();
  bool is(size_t j, unsigned char kind) const {
    return (kClasses[static_cast<unsigned char>(text_[j])] & kind) != 0;
  }

  size_t skipSpace(size_t j) const {
    while (j < n_ && is(j, kSpace)) ++j;
    return j;
  }

  // End of the name that starts at j; *plain tells whether it is a plain name.
  size_t nameEnd(size_t j, bool* plain) const {
    const size_t first = j;
    unsigned char all = kPlain;
    while (j < n_ && !is(j, kNameStop)) all &= kClasses[static_cast<unsigned char>(text_[j++])];
    *plain = j > first && all != 0 && is(first, kPlainStart);
    return j;
  }

  Fault endTag(size_t& i) {
    size_t close = i + 2;
    while (close < n_ && text_[close] != '>') ++close;
    if (close >= n_ || depth_ == 0) return unclear(i);
    leave();
    i = close + 1;
    return {};
  }

  void leave() {
    --depth_;
    while (!scope_.empty() && scope_.back().depth > depth_) scope_.pop_back();
  }

  Fault startTag(size_t& i) {
    const size_t tag = i;
    elementSeen_ = true;
    bool plainName = false;
    size_t j = nameEnd(i + 1, &plainName);
    std::string_view name = text_.substr(i + 1, j - i - 1);
    attributes_.clear();
    bool empty = false;
    for (;;) {
      j = skipSpace(j);
      if (j >= n_) return unclear(tag);
      if (text_[j] == '>') {
        ++j;
        break;
      }
      if (text_[j] == '/') {
        if (j + 1 >= n_ || text_[j + 1] != '>') return unclear(tag);
        empty = true;
        j += 2;
        break;
      }
      bool plain = false;
      size_t attributeEnd = nameEnd(j, &plain);
      std::string_view attributeName = text_.substr(j, attributeEnd - j);
      j = skipSpace(attributeEnd);
      if (j >= n_ || text_[j] != '=') return unclear(tag);
      j = skipSpace(j + 1);
      if (j >= n_ || (text_[j] != '"' && text_[j] != '\'')) return unclear(tag);
      const char quote = text_[j];
      size_t close = j + 1;
      for (;;) {
        while (close < n_ && !is(close, kValueStop)) ++close;
        if (close >= n_) return unclear(tag);
        char c = text_[close];
        if (c == quote) break;
        if (c == '<') return {"'<' in an attribute value", close};
        if (c == '&') {
          size_t end = close + 1;
          if (Fault fault = referenceFault(text_, close, &end)) return fault;
          close = end;
        } else {
          ++close;  // the other quote
        }
      }
      attributes_.push_back({attributeName, text_.substr(j + 1, close - j - 1), plain});
      j = close + 1;
    }
    i = j;
    if (++depth_ > kMaxXmlDepth) return {"element nested too deeply", tag};
    if (Fault fault = checkElement(name, plainName, tag)) return fault;
    if (empty) leave();
    return {};
  }

  // The namespace a prefix stands for where the element is, or none when it is undeclared.
  std::optional<std::string_view> lookup(std::string_view prefix) const {
    if (prefix == "xml") return kXmlNamespace;
    if (prefix == "xmlns") return kXmlnsNamespace;
    for (auto it = scope_.rbegin(); it != scope_.rend(); ++it) {
      if (it->prefix == prefix) return it->uri;
    }
    return std::nullopt;
  }

  // The element's names, its namespace declarations and prefixes, and duplicated attributes.
  Fault checkElement(std::string_view name, bool plainName, size_t tag) {
    if (!plainName && !isQualifiedName(name)) return {"element name not allowed", tag};
    bool prefixed = !plainName && name.find(':') != std::string_view::npos;
    // Declarations first: they hold for the element's own name and attributes.
    for (const Attribute& a : attributes_) {
      if (a.plain) {
        if (a.name != "xmlns") continue;
      } else if (!isQualifiedName(a.name)) {
        return {"attribute name not allowed", tag};
      } else if (a.name.find(':') == std::string_view::npos) {
        if (a.name != "xmlns") continue;
      } else {
        prefixed = true;
        if (prefixOf(a.name) != "xmlns") continue;
      }
      std::string_view value = a.value;
      if (value.find_first_of("&\t\n\r") != std::string_view::npos) {
        decoded_.push_front(attributeValue(value));
        value = decoded_.front();
      }
      if (a.name == "xmlns") {
        if (value == kXmlNamespace || value == kXmlnsNamespace) {
          return {"reserved namespace as the default", tag};
        }
        continue;
      }
      std::string_view prefix = a.name.substr(6);
      bool isXml = prefix == "xml";
      if (prefix == "xmlns" || isXml != (value == kXmlNamespace) || value == kXmlnsNamespace) {
        return {"reserved namespace prefix or name", tag};
      }
      if (value.empty()) return {"namespace prefix declared empty", tag};
      scope_.push_back({prefix, value, depth_});
    }
    if (!prefixed && attributes_.size() <= 16) {
      // No namespace anywhere in the tag, and few attributes (as a rule): names compared in
      // pairs tell duplicates. Otherwise they are sorted by namespace and local name below.
      for (size_t i = 0; i < attributes_.size(); ++i) {
        for (size_t k = i + 1; k < attributes_.size(); ++k) {
          if (attributes_[i].name == attributes_[k].name) return {"duplicated attribute", tag};
        }
      }
      return {};
    }
    std::string_view prefix = prefixOf(name);
    // xmlns is bound only so that declarations have a namespace; no element may use it.
    if (prefix == "xmlns") return {"reserved namespace prefix or name", tag};
    if (!prefix.empty() && !lookup(prefix)) return {"undeclared namespace prefix", tag};
    names_.clear();
    for (const Attribute& a : attributes_) {
      std::string_view attributePrefix = prefixOf(a.name);
      if (attributePrefix.empty()) {
        names_.push_back({"", a.name});
        continue;
      }
      std::optional<std::string_view> uri = lookup(attributePrefix);
      if (!uri) return {"undeclared namespace prefix", tag};
      names_.push_back({*uri, a.name.substr(attributePrefix.size() + 1)});
    }
    std::sort(names_.begin(), names_.end());
    if (std::adjacent_find(names_.begin(), names_.end()) != names_.end()) {
      return {"duplicated attribute", tag};
    }
    return {};
  }

  std::string_view text_;
  size_t n_;
  bool elementSeen_ = false;
  bool doctypeSeen_ = false;
  int depth_ = 0;
  // Working lists, kept per thread from one message to the next so that a check allocates
  // nothing as a rule.
  struct Scratch {
    std::vector<Attribute> attributes;  // of the tag being read
    std::vector<Binding> scope;         // namespace declarations in force
    std::vector<ExpandedName> names;
  };
  static Scratch& scratch() {
    thread_local Scratch lists;
    lists.attributes.clear();
    lists.scope.clear();
    lists.names.clear();
    return lists;
  }

  Scratch& scratch_ = scratch();
  std::vector<Attribute>& attributes_ = scratch_.attributes;
  std::vector<Binding>& scope_ = scratch_.scope;
  std::vector<ExpandedName>& names_ = scratch_.names;
  std::forward_list<std::string> decoded_;  // declared namespaces that differ from their text
};

// The XML declaration's pseudo-attributes: version, then optionally encoding (UTF-8) and
// standalone, in this order and nothing else.
bool isDeclarationWellFormed(pugi::xml_node declaration) {
  pugi::xml_attribute a = declaration.first_attribute();
  auto all = [](std::string_view s, auto ok) {
    return std::all_of(s.begin(), s.end(), [&](char c) { return ok(c); });
  };
  std::string_view version = a.value();
  if (std::string_view(a.name()) != "version" || version.size() < 3 ||
      version.substr(0, 2) != "1." ||
      !all(version.substr(2), [](char c) { return c >= '0' && c <= '9'; })) {
    return false;
  }
  a = a.next_attribute();
  if (a && std::string_view(a.name()) == "encoding") {
    // The text is read as UTF-8 whatever it says, so it must say UTF-8.
    std::string_view encoding = a.value();
    if (encoding.size() != 5 || (encoding[0] | 0x20) != 'u' || (encoding[1] | 0x20) != 't' ||
        (encoding[2] | 0x20) != 'f' || encoding.substr(3) != "-8") {
      return false;
    }
    a = a.next_attribute();
  }
  if (a && std::string_view(a.name()) == "standalone") {
    std::string_view standalone = a.value();
    if (standalone != "yes" && standalone != "no") return false;
    a = a.next_attribute();
  }
  return !a;
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
  if (Fault fault = characterFault(text)) {
    setError(error, fault.what, fault.offset);
    return XmlNode();
  }
  const Fault markupFault = MarkupCheck(text).run();
  if (markupFault && markupFault.what != kUnclearMarkup) {
    setError(error, markupFault.what, markupFault.offset);
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
  if (markupFault) {
    setError(error, markupFault.what, markupFault.offset);
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
        if (!isDeclarationWellFormed(child)) {
          setError(error, "malformed XML declaration", offset);
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
