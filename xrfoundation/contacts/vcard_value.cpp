// contacts/vcard_value.cpp: parameters, QUOTED-PRINTABLE, charsets, escapes and photos.
#include <algorithm>
#include <utility>

#include "xrfoundation/contacts/base64.h"
#include "xrfoundation/contacts/text_trim.h"
#include "xrfoundation/contacts/vcard_types_internal.h"
#include "xrfoundation/contacts/vcard_value_internal.h"
#include "xrfoundation/platform/charset.h"

namespace xr::vcard_internal {
namespace {

bool isEncodingWord(std::string_view word) {
  return equalsUpper(word, "QUOTED-PRINTABLE") || equalsUpper(word, "BASE64") ||
         equalsUpper(word, "B") || equalsUpper(word, "8BIT") || equalsUpper(word, "7BIT");
}

void splitWords(std::string_view list, std::vector<std::string_view>& out) {
  while (!list.empty()) {
    const std::size_t comma = std::min(list.find(','), list.size());
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
  const std::string key = upperAscii(charset);
  if (key == "SHIFT_JIS" || key == "SHIFT-JIS" || key == "SJIS" || key == "X-SJIS" ||
      key == "WINDOWS-31J" || key == "MS_KANJI" || key == "CP932")
    return "CP932";
  return charset;
}

}  // namespace

LineInfo infoOf(const ContentLine& line, std::span<const Param> params) {
  LineInfo info;
  for (const Param& param : params) {
    if (param.name.empty()) {
      if (isEncodingWord(param.value)) {
        info.encoding = param.value;
      } else if (line.name == "X-IM") {
        info.service = param.value;
      } else {
        splitWords(param.value, info.types);
      }
    } else if (equalsUpper(param.name, "TYPE")) {
      splitWords(param.value, info.types);
    } else if (equalsUpper(param.name, "ENCODING")) {
      info.encoding = param.value;
    } else if (equalsUpper(param.name, "CHARSET")) {
      info.charset = param.value;
    } else if (equalsUpper(param.name, "VALUE")) {
      info.valueType = param.value;
    } else if (equalsUpper(param.name, "X-SERVICE-TYPE")) {
      info.service = param.value;
    }
  }
  return info;
}

std::string asUtf8(std::string text) {
  if (isValidUtf8(text)) return text;
  if (auto converted = convertToUtf8(text, "WINDOWS-1252")) return std::move(*converted);
  return convertToUtf8(text, "ISO-8859-1").value_or(std::string());
}

std::string decodedValue(const ContentLine& line, const LineInfo& info) {
  std::string bytes = equalsUpper(info.encoding, "QUOTED-PRINTABLE")
                          ? quotedPrintableDecoded(line.value)
                          : std::string(line.value);
  if (!info.charset.empty() && !equalsUpper(info.charset, "UTF-8") &&
      !equalsUpper(info.charset, "US-ASCII")) {
    if (auto converted = convertToUtf8(bytes, iconvName(info.charset)))
      return std::move(*converted);
  } else if (info.charset.empty() && !info.fileCharset.empty() && !isValidUtf8(bytes)) {
    if (auto converted = convertToUtf8(bytes, iconvName(info.fileCharset)))
      return std::move(*converted);
  }
  return asUtf8(std::move(bytes));
}

std::string unescaped(std::string_view text, bool version21) {
  std::size_t at = text.find('\\');
  if (at == std::string_view::npos) return std::string(text);
  std::string out;
  out.reserve(text.size());
  out.append(text.substr(0, at));
  for (; at < text.size(); ++at) {
    const char c = text[at];
    if (c != '\\' || at + 1 == text.size()) {
      out.push_back(c);
      continue;
    }
    const char next = text[at + 1];
    if (version21) {
      if (next == ';') {
        out.push_back(';');
        ++at;
      } else {
        out.push_back(c);
      }
      continue;
    }
    switch (next) {
      case 'n':
      case 'N':
        out.push_back('\n');
        break;
      case '\\':
      case ',':
      case ';':
      case ':':
        out.push_back(next);
        break;
      default:
        out.push_back(c);
        continue;
    }
    ++at;
  }
  return out;
}

std::string unescaped(std::string&& text, bool version21) {
  if (text.find('\\') == std::string::npos) return std::move(text);
  return unescaped(std::string_view(text), version21);
}

std::vector<std::string> splitEscaped(std::string_view text, char separator, bool version21) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (std::size_t at = 0; at <= text.size(); ++at) {
    // A backslash escapes the character after it; one that ends the text stays a character.
    if (at + 1 < text.size() && text[at] == '\\') {
      ++at;
      continue;
    }
    if (at == text.size() || text[at] == separator) {
      parts.push_back(unescaped(text.substr(start, at - start), version21));
      start = at + 1;
    }
  }
  return parts;
}

std::string_view uriScheme(std::string_view text) {
  const std::size_t colon = text.find(':');
  if (colon == std::string_view::npos || colon == 0) return {};
  const std::string_view scheme = text.substr(0, colon);
  const bool valid = std::all_of(scheme.begin(), scheme.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '+' ||
           c == '.' || c == '-';
  });
  return valid ? scheme : std::string_view();
}

std::shared_ptr<const Image> photoOf(const ContentLine& line, const LineInfo& info) {
  std::string_view value = line.value;
  std::string payload;
  if (equalsUpper(value.substr(0, 5), "DATA:")) {
    const std::size_t comma = value.find(',');
    if (comma == std::string_view::npos || !containsUpper(value.substr(0, comma), ";BASE64"))
      return nullptr;
    value.remove_prefix(comma + 1);
  } else if (!equalsUpper(info.encoding, "B") && !equalsUpper(info.encoding, "BASE64")) {
    return nullptr;
  }
  payload.reserve(value.size());
  for (const char c : value) {
    if (c != ' ' && c != '\t' && c != '\r' && c != '\n') payload.push_back(c);
  }
  const auto bytes = dataWithBase64EncodedString(payload);
  if (!bytes) return nullptr;
  return Image::fromBytes(*bytes);
}

}  // namespace xr::vcard_internal
