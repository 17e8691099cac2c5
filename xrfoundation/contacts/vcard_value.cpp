// contacts/vcard_value.cpp: parameters, QUOTED-PRINTABLE, charsets, escapes and photos.
#include <algorithm>
#include <utility>

#include "xrfoundation/contacts/base64.h"
#include "xrfoundation/contacts/vcard_types_internal.h"
#include "xrfoundation/contacts/vcard_value_internal.h"
#include "xrfoundation/platform/ascii.h"
#include "xrfoundation/platform/charset.h"
#include "xrfoundation/platform/utf8_internal.h"

namespace xr::vcard_internal {
namespace {

bool isEncodingWord(std::string_view word) {
  return equalsIgnoringCase(word, "QUOTED-PRINTABLE") || equalsIgnoringCase(word, "BASE64") ||
         equalsIgnoringCase(word, "B") || equalsIgnoringCase(word, "8BIT") ||
         equalsIgnoringCase(word, "7BIT");
}

void splitWords(std::string_view list, std::vector<std::string_view>& out) {
  while (!list.empty()) {
    std::size_t comma = 0;  // a plain loop: the lists are short
    while (comma < list.size() && list[comma] != ',') ++comma;
    const std::string_view word = trimmed(list.substr(0, comma));
    if (!word.empty()) out.push_back(word);
    list.remove_prefix(std::min(comma + 1, list.size()));
  }
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::string quotedPrintableDecoded(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t at = 0; at < text.size(); ++at) {
    if (text[at] == '=' && at + 2 < text.size() + 0 && hexValue(text[at + 1]) >= 0 &&
        hexValue(text[at + 2]) >= 0) {
      out.push_back(static_cast<char>(hexValue(text[at + 1]) * 16 + hexValue(text[at + 2])));
      at += 2;
    } else {
      out.push_back(text[at]);
    }
  }
  return out;
}

// The name iconv knows a vCard charset by. SHIFT_JIS is read as Microsoft's CP932, which
// keeps 0x5C a backslash (plain SHIFT_JIS makes it a yen sign) and knows the vendor
// characters that Japanese phones write.
std::string_view iconvName(std::string_view charset) {
  const std::string key = toUpperCopy(charset);
  if (key == "SHIFT_JIS" || key == "SHIFT-JIS" || key == "SJIS" || key == "X-SJIS" ||
      key == "WINDOWS-31J" || key == "MS_KANJI" || key == "CP932")
    return "CP932";
  return charset;
}

}  // namespace

LineInfo infoOf(const ContentLine& line, std::span<const Param> params) {
  LineInfo info;
  infoOf(line, params, info);
  return info;
}

void infoOf(const ContentLine& line, std::span<const Param> params, LineInfo& info) {
  info.types.clear();
  info.encoding = info.charset = info.valueType = info.service = {};
  for (const Param& param : params) {
    if (param.name.empty()) {
      if (isEncodingWord(param.value)) {
        info.encoding = param.value;
      } else if (line.name == "X-IM") {
        info.service = param.value;
      } else {
        splitWords(param.value, info.types);
      }
    } else if (equalsIgnoringCase(param.name, "TYPE")) {
      splitWords(param.value, info.types);
    } else if (equalsIgnoringCase(param.name, "ENCODING")) {
      info.encoding = param.value;
    } else if (equalsIgnoringCase(param.name, "CHARSET")) {
      info.charset = param.value;
    } else if (equalsIgnoringCase(param.name, "VALUE")) {
      info.valueType = param.value;
    } else if (equalsIgnoringCase(param.name, "X-SERVICE-TYPE")) {
      info.service = param.value;
    }
  }
}

std::string asUtf8(std::string text) {
  if (isValidUtf8(text)) return text;
  if (auto converted = convertToUtf8(text, "WINDOWS-1252")) return std::move(*converted);
  return convertToUtf8(text, "ISO-8859-1").value_or(std::string());
}

std::string decodedValue(const ContentLine& line, const LineInfo& info) {
  std::string bytes = equalsIgnoringCase(info.encoding, "QUOTED-PRINTABLE")
                          ? quotedPrintableDecoded(line.value)
                          : std::string(line.value);
  if (!info.charset.empty() && !equalsIgnoringCase(info.charset, "UTF-8") &&
      !equalsIgnoringCase(info.charset, "US-ASCII")) {
    if (auto converted = convertToUtf8(bytes, iconvName(info.charset)))
      return std::move(*converted);
  } else if (info.charset.empty() && !info.fileCharset.empty() && !isValidUtf8(bytes)) {
    if (auto converted = convertToUtf8(bytes, iconvName(info.fileCharset)))
      return std::move(*converted);
  }
  return asUtf8(std::move(bytes));
}

std::string_view decodedValue(const ContentLine& line, const LineInfo& info, std::string& storage,
                              bool knownUtf8) {
  if (!equalsIgnoringCase(info.encoding, "QUOTED-PRINTABLE") &&
      (info.charset.empty() || equalsIgnoringCase(info.charset, "UTF-8") ||
       equalsIgnoringCase(info.charset, "US-ASCII")) &&
      (knownUtf8 || isValidUtf8(line.value)))
    return line.value;
  storage = decodedValue(line, info);
  return storage;
}

std::string unescaped(std::string_view text, bool version21) {
  std::string out;
  appendUnescaped(out, text, version21);
  return out;
}

void appendUnescaped(std::string& out, std::string_view text, bool version21) {
  std::size_t at = text.find('\\');
  if (at == std::string_view::npos) {
    out.append(text);
    return;
  }
  out.reserve(out.size() + text.size());
  std::size_t copied = 0;  // text before this is in out
  for (; at != std::string_view::npos; at = text.find('\\', copied)) {
    out.append(text.substr(copied, at - copied));
    const char next = at + 1 < text.size() ? text[at + 1] : '\0';
    char meant = '\0';
    if (version21) {
      if (next == ';') meant = ';';
    } else if (next == 'n' || next == 'N') {
      meant = '\n';
    } else if (next == '\\' || next == ',' || next == ';' || next == ':') {
      meant = next;
    }
    // Any other backslash stays, and the character after it is read as any other.
    out.push_back(meant ? meant : '\\');
    copied = at + (meant ? 2 : 1);
  }
  out.append(text.substr(copied));
}

std::string unescaped(std::string&& text, bool version21) {
  if (text.find('\\') == std::string::npos) return std::move(text);
  return unescaped(std::string_view(text), version21);
}

std::vector<std::string> splitEscaped(std::string_view text, char separator, bool version21) {
  std::vector<std::string> parts;
  splitEscaped(text, separator, version21, parts);
  return parts;
}

void splitEscaped(std::string_view text, char separator, bool version21,
                  std::vector<std::string>& parts) {
  std::vector<EscapedPart> views;
  splitEscaped(text, separator, views);
  parts.clear();
  for (const EscapedPart& part : views) parts.push_back(unescaped(part, version21));
}

void splitEscaped(std::string_view text, char separator, std::vector<EscapedPart>& parts) {
  parts.clear();
  const char* const end = text.data() + text.size();
  const char* start = text.data();
  bool escapes = false;
  for (const char* at = start;;) {
    at = utf8::findAnyByte(at, end, separator, '\\', separator);
    // A backslash escapes the character after it; one that ends the text stays a character.
    if (at != nullptr && *at == '\\') {
      escapes = true;
      at += at + 1 < end ? 2 : 1;
      continue;
    }
    if (at == nullptr) at = end;
    parts.push_back({std::string_view(start, static_cast<std::size_t>(at - start)), escapes});
    if (at == end) return;
    start = ++at;
    escapes = false;
  }
}

std::string unescaped(const EscapedPart& part, bool version21) {
  return part.escapes ? unescaped(part.text, version21) : std::string(part.text);
}

void appendUnescaped(std::string& out, const EscapedPart& part, bool version21) {
  if (part.escapes) {
    appendUnescaped(out, part.text, version21);
  } else {
    out.append(part.text);
  }
}

std::string_view uriScheme(std::string_view text) {
  const std::size_t colon = text.find(':');
  if (colon == std::string_view::npos || colon == 0) return {};
  const std::string_view scheme = text.substr(0, colon);
  const bool valid = std::all_of(scheme.begin(), scheme.end(), [](char c) {
    return isAsciiAlpha(c) || isAsciiDigit(c) || c == '+' || c == '.' || c == '-';
  });
  return valid ? scheme : std::string_view();
}

std::shared_ptr<const Image> photoOf(const ContentLine& line, const LineInfo& info) {
  std::string_view value = line.value;
  if (startsWithIgnoringCase(value, "DATA:")) {
    const std::size_t comma = value.find(',');
    if (comma == std::string_view::npos || !containsIgnoringCase(value.substr(0, comma), ";BASE64"))
      return nullptr;
    value.remove_prefix(comma + 1);
  } else if (!equalsIgnoringCase(info.encoding, "B") &&
             !equalsIgnoringCase(info.encoding, "BASE64")) {
    return nullptr;
  }
  // The decoder passes over the blanks and line ends that folding leaves.
  const auto bytes = dataWithBase64EncodedString(value);
  if (!bytes) return nullptr;
  return Image::fromBytes(*bytes);
}

}  // namespace xr::vcard_internal
