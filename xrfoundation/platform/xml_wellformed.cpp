// platform/xml_wellformed.cpp
#include <algorithm>
#include <array>
#include <cstdint>
#include <forward_list>
#include <optional>
#include <string>
#include <vector>

#include "xrfoundation/platform/ascii.h"
#include "xrfoundation/platform/utf8_internal.h"
#include "xrfoundation/platform/xml.h"  // kMaxXmlDepth
#include "xrfoundation/platform/xml_wellformed_internal.h"

namespace xr {
namespace {

// Characters XML 1.0 allows in a document (its Char production).
bool isXmlChar(char32_t c) {
  if (c < 0x20) return c == 0x9 || c == 0xA || c == 0xD;
  return c <= 0xD7FF || (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

// The parser passes bytes through as they come, control characters and all; a message that
// is not UTF-8, or holds a character XML forbids, is refused before it is parsed.
XmlFault characterFault(std::string_view text) {
  size_t i = 0;
  while (i < text.size()) {
    i += utf8::asciiTextPrefix(text.substr(i));
    if (i >= text.size()) break;
    char32_t code = 0;
    size_t length = utf8::decode(text.substr(i), &code);
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
  return isAsciiAlpha(c) || isAsciiDigit(c) || c == ' ' || c == '\n' || c == '\r' ||
         std::string_view("-'()+,./:=?;!*#@$_%").find(c) != std::string_view::npos;
}

// The reference that starts with the '&' at text[at]: one of XML's five predefined entities or
// a character reference to a character XML allows. Without a DTD no other entity is defined,
// and entities a DOCTYPE declares are not expanded, so a message using one is refused too.
// Sets *end past the ';'.
XmlFault referenceFault(std::string_view text, size_t at, size_t* end) {
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
    char32_t value = 0;
    for (char c : digits) {
      char32_t digit;
      if (c >= '0' && c <= '9') {
        digit = static_cast<char32_t>(c - '0');
      } else if (hex && c >= 'a' && c <= 'f') {
        digit = static_cast<char32_t>(c - 'a' + 10);
      } else if (hex && c >= 'A' && c <= 'F') {
        digit = static_cast<char32_t>(c - 'A' + 10);
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

// What stands between "<?xml" and "?>" in an XML declaration: version, then optionally
// encoding and standalone, in this order, each after white space, and nothing else. The text is
// read as UTF-8 whatever it says, so the encoding must say UTF-8. The values are taken as they
// stand: a reference is no more allowed there than a tag.
bool isDeclarationBody(std::string_view body) {
  size_t i = 0;
  auto skipSpace = [&](size_t j) {
    while (j < body.size() && isXmlSpace(body[j])) ++j;
    return j;
  };
  // The value of ` name = "value"` at i, which then goes past it; none when that is not there.
  auto pseudoAttribute = [&](std::string_view name) -> std::optional<std::string_view> {
    size_t j = skipSpace(i);
    if (j == i || !startsWith(body, j, name)) return std::nullopt;
    j = skipSpace(j + name.size());
    if (j >= body.size() || body[j] != '=') return std::nullopt;
    j = skipSpace(j + 1);
    if (j >= body.size() || (body[j] != '"' && body[j] != '\'')) return std::nullopt;
    size_t close = body.find(body[j], j + 1);
    if (close == std::string_view::npos) return std::nullopt;
    i = close + 1;
    return body.substr(j + 1, close - j - 1);
  };
  std::optional<std::string_view> version = pseudoAttribute("version");
  if (!version || version->size() < 3 || version->substr(0, 2) != "1." ||
      !std::all_of(version->begin() + 2, version->end(), isAsciiDigit)) {
    return false;
  }
  if (std::optional<std::string_view> encoding = pseudoAttribute("encoding")) {
    if (!equalsIgnoringCase(*encoding, "UTF-8")) return false;
  }
  if (std::optional<std::string_view> standalone = pseudoAttribute("standalone")) {
    if (*standalone != "yes" && *standalone != "no") return false;
  }
  return skipSpace(i) == body.size();
}

// XML 1.0 (fifth edition) name characters beyond ASCII.
bool isNameStartCode(char32_t c) {
  return (c >= 0xC0 && c <= 0xD6) || (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF) ||
         (c >= 0x370 && c <= 0x37D) || (c >= 0x37F && c <= 0x1FFF) ||
         (c >= 0x200C && c <= 0x200D) || (c >= 0x2070 && c <= 0x218F) ||
         (c >= 0x2C00 && c <= 0x2FEF) || (c >= 0x3001 && c <= 0xD7FF) ||
         (c >= 0xF900 && c <= 0xFDCF) || (c >= 0xFDF0 && c <= 0xFFFD) ||
         (c >= 0x10000 && c <= 0xEFFFF);
}

bool isNameCode(char32_t c) {
  return isNameStartCode(c) || c == 0xB7 || (c >= 0x300 && c <= 0x36F) ||
         (c >= 0x203F && c <= 0x2040);
}

// A qualified name: an XML name with at most one colon, neither first nor last.
bool isQualifiedName(std::string_view name) {
  if (name.empty() || name.front() == ':' || name.back() == ':') return false;
  // The common case: ASCII letters, digits, '_', '-', '.' and no colon.
  auto plain = [](char c) {
    return isAsciiAlpha(c) || c == '_' || isAsciiDigit(c) || c == '-' || c == '.';
  };
  char first = name.front();
  if ((isAsciiAlpha(first) || first == '_') && std::all_of(name.begin() + 1, name.end(), plain)) {
    return true;
  }
  size_t colons = 0;
  for (size_t i = 0; i < name.size();) {
    char32_t c = static_cast<unsigned char>(name[i]);
    size_t length = 1;
    if (c >= 0x80) {
      length = utf8::decode(name.substr(i), &c);
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
    utf8::appendEncoded(out, static_cast<char32_t>(std::stoul(std::string(body.substr(hex ? 2 : 1)),
                                                              nullptr, hex ? 16 : 10)));
  }
  return out;
}

// The rules of the markup (all those of the header but the characters), in one pass over text
// whose characters have been checked.
class MarkupCheck {
 public:
  explicit MarkupCheck(std::string_view text) : text_(text), n_(text.size()) {}

  XmlFault run() {
    const size_t start = startsWith(text_, 0, "\xEF\xBB\xBF") ? 3 : 0;  // a byte order mark
    size_t i = start;
    while (i < n_) {
      // Plain text runs to the next byte that matters.
      const char* markup = utf8::findAnyByte(text_.data() + i, text_.data() + n_, '<', '&', ']');
      if (markup == nullptr) break;
      i = static_cast<size_t>(markup - text_.data());
      char c = text_[i];
      if (c == '&') {
        size_t end = i + 1;
        if (XmlFault fault = referenceFault(text_, i, &end)) return fault;
        i = end;
        continue;
      }
      if (c == ']') {
        if (startsWith(text_, i, "]]>")) return {"']]>' in text", i};
        ++i;
        continue;
      }
      XmlFault fault;
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

  XmlFault unclear(size_t at) const { return {kUnclearXmlMarkup.data(), at}; }

  // Comment, CDATA section or DOCTYPE at text_[i] ("<!"); i goes past it.
  XmlFault declaration(size_t& i) {
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
  XmlFault instruction(size_t& i, size_t documentStart) {
    // The target ends at white space or at the end of the instruction; a '?' inside it ("<?a?b")
    // makes it no name.
    size_t targetEnd = i + 2;
    while (targetEnd < n_ && !isXmlSpace(text_[targetEnd]) && !startsWith(text_, targetEnd, "?>")) {
      ++targetEnd;
    }
    std::string_view target = text_.substr(i + 2, targetEnd - i - 2);
    const bool declaration = equalsIgnoringCase(target, "xml");
    if (declaration) {
      if (target != "xml") return {"reserved processing instruction target", i};
      if (i != documentStart) return {"XML declaration not at the start", i};
    } else if (!isQualifiedName(target) || target.find(':') != std::string_view::npos) {
      return {"processing instruction target not allowed", i};
    }
    size_t end = text_.find("?>", targetEnd);
    if (end == std::string_view::npos) return unclear(i);
    if (declaration && !isDeclarationBody(text_.substr(targetEnd, end - targetEnd))) {
      return {"malformed XML declaration", i};
    }
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

  XmlFault endTag(size_t& i) {
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

  XmlFault startTag(size_t& i) {
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
          if (XmlFault fault = referenceFault(text_, close, &end)) return fault;
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
    if (XmlFault fault = checkElement(name, plainName, tag)) return fault;
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
  XmlFault checkElement(std::string_view name, bool plainName, size_t tag) {
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

}  // namespace

XmlFault checkXmlWellFormed(std::string_view text) {
  if (XmlFault fault = characterFault(text)) return fault;
  return MarkupCheck(text).run();
}

}  // namespace xr
