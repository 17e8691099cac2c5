// contacts/vcard_parser.cpp: vCard 2.1, 3.0 and 4.0 text into ContactInfo.
//
// A record is read in two passes over its logical lines (unfolded; QUOTED-PRINTABLE soft
// breaks joined): the first collects the labels of item groups (item1.X-ABLabel), the second
// fills the contact. Values are decoded in this order: QUOTED-PRINTABLE, then the CHARSET to
// UTF-8, then structured values are cut at unescaped ';' and backslash escapes are read --
// the charset first, since a SHIFT_JIS character may end in the byte of a backslash.
#include "xrfoundation/contacts/vcard_parser.h"

#include <algorithm>
#include <forward_list>
#include <utility>

#include "xrfoundation/contacts/base64.h"
#include "xrfoundation/contacts/contact_enums.h"
#include "xrfoundation/contacts/vcard_types_internal.h"
#include "xrfoundation/platform/charset.h"
#include "xrfoundation/platform/image.h"
#include "xrfoundation/platform/log_internal.h"

namespace xr {
namespace {

using vcard_internal::upperAscii;

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }

bool equalsUpper(std::string_view text, std::string_view upperWord) {
  return text.size() == upperWord.size() &&
         std::equal(text.begin(), text.end(), upperWord.begin(),
                    [](char a, char b) { return upper(a) == b; });
}

bool containsUpper(std::string_view text, std::string_view upperWord) {
  return std::search(text.begin(), text.end(), upperWord.begin(), upperWord.end(),
                     [](char a, char b) { return upper(a) == b; }) != text.end();
}

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
    text.remove_suffix(1);
  return text;
}

// One physical line of a text and where the next one begins. A line ends at LF, CR LF, a lone
// CR (old Mac files), or CR CR LF as some phones write it: a run of CRs before an LF is one
// line end, so that a folded line after it still continues its line.
struct PhysicalLine {
  std::string_view text;  // without its line end
  std::size_t next;       // index of the next line's first byte
};

PhysicalLine physicalLineAt(std::string_view text, std::size_t at) {
  std::size_t end = at;
  while (end < text.size() && text[end] != '\n' && text[end] != '\r') ++end;
  std::size_t next = end + 1;
  if (end < text.size() && text[end] == '\r') {
    std::size_t feed = end + 1;
    while (feed < text.size() && text[feed] == '\r') ++feed;
    if (feed < text.size() && text[feed] == '\n') next = feed + 1;
  }
  return {text.substr(at, end - at), std::min(next, text.size())};
}

struct Param {
  std::string_view name;   // "" for a bare 2.1 parameter (";CELL", ";QUOTED-PRINTABLE")
  std::string_view value;  // quotes removed
};

// One logical content line.
struct Line {
  std::string_view raw;    // the whole unfolded line
  std::string_view group;  // "item1" of "item1.TEL", or ""
  std::string name;        // upper case
  std::size_t firstParam = 0;
  std::size_t paramCount = 0;
  std::string_view value;  // still encoded
};

// What a line's parameters say.
struct LineInfo {
  std::vector<std::string_view> types;
  std::string_view encoding;  // upper-case word, or ""
  std::string_view charset;
  std::string_view valueType;
  std::string_view service;  // X-SERVICE-TYPE, or the device's bare X-IM parameter
};

bool isEncodingWord(std::string_view word) {
  return equalsUpper(word, "QUOTED-PRINTABLE") || equalsUpper(word, "BASE64") ||
         equalsUpper(word, "B") || equalsUpper(word, "8BIT") || equalsUpper(word, "7BIT");
}

// Splits "[group.]NAME;params:value" into line; false when there is no ':'.
bool parseLine(std::string_view text, Line& line, std::vector<Param>& params) {
  line.raw = text;
  line.firstParam = params.size();
  line.paramCount = 0;
  std::size_t at = 0;
  // The name runs to the first ';' or ':'.
  while (at < text.size() && text[at] != ';' && text[at] != ':') ++at;
  if (at == text.size()) return false;
  std::string_view name = text.substr(0, at);
  const std::size_t dot = name.find('.');
  line.group = dot == std::string_view::npos ? std::string_view() : name.substr(0, dot);
  if (dot != std::string_view::npos) name.remove_prefix(dot + 1);
  line.name = upperAscii(trimmed(name));
  while (text[at] == ';') {
    const std::size_t start = ++at;
    bool quoted = false;
    while (at < text.size() && (quoted || (text[at] != ';' && text[at] != ':'))) {
      if (text[at] == '"') quoted = !quoted;
      ++at;
    }
    if (at == text.size()) return false;
    std::string_view param = text.substr(start, at - start);
    const std::size_t equals = param.find('=');
    Param entry;
    if (equals == std::string_view::npos) {
      entry.value = trimmed(param);
    } else {
      entry.name = trimmed(param.substr(0, equals));
      entry.value = trimmed(param.substr(equals + 1));
    }
    if (entry.value.size() >= 2 && entry.value.front() == '"' && entry.value.back() == '"')
      entry.value = entry.value.substr(1, entry.value.size() - 2);
    params.push_back(entry);
    ++line.paramCount;
  }
  line.value = text.substr(at + 1);
  return true;
}

void splitWords(std::string_view list, std::vector<std::string_view>& out) {
  while (!list.empty()) {
    const std::size_t comma = std::min(list.find(','), list.size());
    const std::string_view word = trimmed(list.substr(0, comma));
    if (!word.empty()) out.push_back(word);
    list.remove_prefix(std::min(comma + 1, list.size()));
  }
}

LineInfo infoOf(const Line& line, const std::vector<Param>& params) {
  LineInfo info;
  for (std::size_t i = 0; i < line.paramCount; ++i) {
    const Param& param = params[line.firstParam + i];
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

// Bytes that are not UTF-8 and came without a charset: read as Windows-1252, else Latin-1.
std::string asUtf8(std::string text) {
  if (isValidUtf8(text)) return text;
  if (auto converted = convertToUtf8(text, "WINDOWS-1252")) return std::move(*converted);
  return convertToUtf8(text, "ISO-8859-1").value_or(std::string());
}

// The value's bytes after QUOTED-PRINTABLE and the charset: UTF-8 text, escapes still in.
std::string decodedValue(const Line& line, const LineInfo& info) {
  std::string bytes = equalsUpper(info.encoding, "QUOTED-PRINTABLE")
                          ? quotedPrintableDecoded(line.value)
                          : std::string(line.value);
  if (!info.charset.empty() && !equalsUpper(info.charset, "UTF-8") &&
      !equalsUpper(info.charset, "US-ASCII")) {
    if (auto converted = convertToUtf8(bytes, iconvName(info.charset)))
      return std::move(*converted);
  }
  return asUtf8(std::move(bytes));
}

// Reads backslash escapes: "\n" and "\N" a line break, "\\" "\", "\," ",", "\;" ";",
// "\:" ":"; any other backslash stays. Version 2.1 knows only "\;".
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

// The same for a value of its own, which is handed back untouched when it holds no escape.
std::string unescaped(std::string&& text, bool version21) {
  if (text.find('\\') == std::string::npos) return std::move(text);
  return unescaped(std::string_view(text), version21);
}

// Cuts a value at the separators that no backslash escapes, then reads each part's escapes.
std::vector<std::string> splitEscaped(std::string_view text, char separator, bool version21) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (std::size_t at = 0; at <= text.size(); ++at) {
    if (at < text.size() && text[at] == '\\') {
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

std::optional<std::string> nonEmpty(std::string text) {
  if (text.empty()) return std::nullopt;
  return text;
}

std::optional<std::string> part(const std::vector<std::string>& parts, std::size_t index) {
  return index < parts.size() ? nonEmpty(parts[index]) : std::nullopt;
}

// "scheme:rest" -> scheme, when the text starts with a URI scheme.
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

std::shared_ptr<const Image> photoOf(const Line& line, const LineInfo& info) {
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

// Builds one contact from the logical lines of one record.
class RecordReader {
 public:
  void read(std::string_view body, ContactInfo& contact) {
    lines_.clear();
    params_.clear();
    storage_.clear();
    labels_.clear();
    usedGroups_.clear();
    organizationGroups_.clear();
    lastUngrouped_.reset();
    unplaced_.clear();
    categories_.clear();
    version21_ = false;
    nameRead_ = false;
    unfold(body);
    for (const Line& line : lines_) {
      if (line.name == "VERSION") version21_ = trimmed(line.value) == "2.1";
      if (!line.group.empty() && line.name == "X-ABLABEL") {
        labels_.emplace_back(line.group, trimmed(decodedValue(line, infoOf(line, params_))));
      }
    }
    for (const Line& line : lines_) place(line, contact);
    for (const auto& [group, label] : labels_) {
      if (std::find(usedGroups_.begin(), usedGroups_.end(), group) == usedGroups_.end())
        unplaced_.push_back(std::string(findLabelLine(group)));
    }
    if (!unplaced_.empty()) {
      auto& kept = contact.userData[kContactVCardUnplacedKey];
      for (auto& text : unplaced_) kept.push_back(asUtf8(std::move(text)));
    }
    if (!categories_.empty()) {
      auto& groups = contact.userData[kContactGroupNamesKey];
      groups.insert(groups.end(), categories_.begin(), categories_.end());
    }
  }

 private:
  // Cuts the body into logical lines: a line that starts with a space or a tab continues the
  // one before it (the one white-space character dropped); a QUOTED-PRINTABLE line that ends
  // in '=' continues on the next line whatever that starts with. Nested records (2.1 AGENT)
  // are passed over.
  void unfold(std::string_view body) {
    std::vector<std::string_view>& physical = physical_;
    physical.clear();
    for (std::size_t at = 0; at < body.size();) {
      const PhysicalLine line = physicalLineAt(body, at);
      physical.push_back(line.text);
      at = line.next;
    }
    int depth = 0;
    for (std::size_t i = 0; i < physical.size();) {
      std::string_view text = physical[i++];
      if (equalsUpper(trimmed(text), "BEGIN:VCARD")) {
        ++depth;
        continue;
      }
      if (depth > 0) {
        if (equalsUpper(trimmed(text), "END:VCARD")) --depth;
        continue;
      }
      const auto continues = [&](std::string_view current) {
        if (i >= physical.size()) return false;
        const std::string_view next = physical[i];
        if (!next.empty() && (next.front() == ' ' || next.front() == '\t')) return true;
        return !current.empty() && current.back() == '=' &&
               containsUpper(current.substr(0, current.find(':')), "QUOTED-PRINTABLE");
      };
      if (continues(text)) {
        std::string& joined = storage_.emplace_front(text);
        while (continues(joined)) {
          const std::string_view next = physical[i++];
          if (!next.empty() && (next.front() == ' ' || next.front() == '\t')) {
            // A QUOTED-PRINTABLE soft break followed by an indented line: both go.
            if (!joined.empty() && joined.back() == '=' &&
                containsUpper(joined.substr(0, joined.find(':')), "QUOTED-PRINTABLE"))
              joined.pop_back();
            joined.append(next.substr(1));
          } else {
            joined.pop_back();  // the soft break's '='
            joined.append(next);
          }
        }
        text = joined;
      }
      if (trimmed(text).empty()) continue;
      Line& line = lines_.emplace_back();
      if (!parseLine(text, line, params_)) {
        lines_.pop_back();
        unplaced_.emplace_back(text);
      }
    }
  }

  std::string_view findLabelLine(std::string_view group) const {
    for (const Line& line : lines_) {
      if (line.name == "X-ABLABEL" && line.group == group) return line.raw;
    }
    return {};
  }

  const std::string* labelOf(std::string_view group) {
    if (group.empty()) return nullptr;
    for (const auto& [labelGroup, label] : labels_) {
      if (labelGroup == group) {
        usedGroups_.push_back(group);
        return &label;
      }
    }
    return nullptr;
  }

  void place(const Line& line, ContactInfo& contact) {
    // A view compares its length first, so each test below is cheap when it fails.
    const std::string_view name = line.name;
    if (name == "VERSION" || name == "X-ABLABEL") return;
    const LineInfo info = infoOf(line, params_);
    if (name == "PHOTO" && !contact.icon) {
      if ((contact.icon = photoOf(line, info))) return;
      return keep(line);
    }
    std::string value = decodedValue(line, info);
    if (name == "N" && !nameRead_) {
      nameRead_ = true;
      const auto parts = splitEscaped(value, ';', version21_);
      contact.familyName = part(parts, 0);
      contact.givenName = part(parts, 1);
      contact.middleName = part(parts, 2);
      contact.prefix = part(parts, 3);
      contact.suffix = part(parts, 4);
    } else if (name == "FN" && !contact.displayName) {
      contact.displayName = nonEmpty(unescaped(std::move(value), version21_));
    } else if (name == "NICKNAME" && !contact.nickname) {
      contact.nickname = nonEmpty(unescaped(std::move(value), version21_));
    } else if (name == "TEL") {
      std::string_view number = trimmed(value);
      if (equalsUpper(number.substr(0, 4), "TEL:")) number.remove_prefix(4);
      if (number.empty()) return keep(line);
      const std::string* label = labelOf(line.group);
      std::optional<std::string> kind =
          label ? vcard_internal::numberKindOfLabel(*label) : std::nullopt;
      if (!kind) kind = vcard_internal::numberKindOfTypes(words(info));
      contact.groupNumber.arrItem.push_back({std::string(number), std::move(kind)});
    } else if (name == "EMAIL") {
      std::string email = unescaped(trimmed(value), version21_);
      if (email.empty()) return keep(line);
      const std::string* label = labelOf(line.group);
      std::optional<std::string> kind =
          label ? vcard_internal::emailKindOfLabel(*label) : std::nullopt;
      if (!kind) kind = vcard_internal::emailKindOfTypes(words(info));
      contact.groupEmail.arrItem.push_back({std::move(email), std::move(kind)});
    } else if (name == "ADR") {
      const auto parts = splitEscaped(value, ';', version21_);
      std::string street;
      for (std::size_t i : {0, 1, 2}) {
        if (i >= parts.size() || parts[i].empty()) continue;
        if (!street.empty()) street += '\n';
        street += parts[i];
      }
      ContactAddressItem address;
      const std::string* label = labelOf(line.group);
      std::optional<std::string> kind =
          label ? vcard_internal::addressKindOfLabel(*label) : std::nullopt;
      address.addressType =
          kind ? std::move(kind) : vcard_internal::addressKindOfTypes(words(info));
      address.street = nonEmpty(std::move(street));
      address.city = part(parts, 3);
      address.region = part(parts, 4);
      address.postcode = part(parts, 5);
      address.country = part(parts, 6);
      contact.groupAddress.arrItem.push_back(std::move(address));
    } else if (name == "ORG") {
      const auto parts = splitEscaped(value, ';', version21_);
      std::string department;
      for (std::size_t i = 1; i < parts.size(); ++i) {
        if (parts[i].empty()) continue;
        if (!department.empty()) department += ';';
        department += parts[i];
      }
      ContactOrganizationItem& organization = organizationFor(line.group, contact, true);
      organization.company = part(parts, 0);
      organization.department = nonEmpty(std::move(department));
    } else if (name == "TITLE") {
      ContactOrganizationItem& organization = organizationFor(line.group, contact, false);
      organization.title = nonEmpty(unescaped(std::move(value), version21_));
    } else if (name == "URL") {
      if (trimmed(value).empty()) return keep(line);
      contact.groupWebsite.arrItem.push_back({std::string(trimmed(value))});
    } else if (name == "NOTE") {
      contact.groupNote.arrItem.push_back({unescaped(std::move(value), version21_)});
    } else if (name == "CATEGORIES") {
      for (auto& category : splitEscaped(value, ',', version21_)) {
        if (!category.empty()) categories_.push_back(std::move(category));
      }
    } else if (name == "BDAY") {
      addDate(trimmed(value), E_Date_Birthday, contact, false);
    } else if (name == "ANNIVERSARY" || name == "X-ANNIVERSARY" ||
               name == "X-EVOLUTION-ANNIVERSARY") {
      addDate(trimmed(value), E_Date_Anniversary, contact, false);
    } else if (name == "X-ABDATE") {
      const std::string* label = labelOf(line.group);
      addDate(trimmed(value), label ? vcard_internal::dateKindOfLabel(*label) : E_Date_Other,
              contact, false);
    } else if (name == "X-DE") {
      // The device form's copy of a date it already wrote as BDAY or X-ABDATE.
      const std::string_view type = line.paramCount ? params_[line.firstParam].value : "";
      addDate(trimmed(value), vcard_internal::dateKindOfLabel(type), contact, true);
    } else if (name == "IMPP" || name == "X-IM" || vcard_internal::imKindOfProperty(name)) {
      addIm(line, info, value, contact);
    } else {
      keep(line);
    }
  }

  const std::vector<std::string_view>& words(const LineInfo& info) const { return info.types; }

  void keep(const Line& line) { unplaced_.emplace_back(line.raw); }

  void addDate(std::string_view date, std::string kind, ContactInfo& contact, bool unlessKnown) {
    if (date.empty()) return;
    if (unlessKnown) {
      for (const auto& item : contact.groupDate.arrItem) {
        if (item.date == date && item.dateType == kind) return;
      }
    }
    contact.groupDate.arrItem.push_back({std::string(date), std::move(kind)});
  }

  void addIm(const Line& line, const LineInfo& info, const std::string& value,
             ContactInfo& contact) {
    std::string handle(trimmed(value));
    std::optional<std::string> kind;
    if (line.name == "IMPP") {
      const std::string_view scheme = uriScheme(handle);
      kind = vcard_internal::imKindOfService(info.service.empty() ? scheme : info.service);
      if (!scheme.empty() && (kind || equalsUpper(scheme, "IM") || !info.service.empty()))
        handle.erase(0, scheme.size() + 1);
    } else if (line.name == "X-IM") {
      kind = vcard_internal::imKindOfService(info.service);
    } else {
      kind = vcard_internal::imKindOfProperty(line.name);
    }
    if (handle.empty()) return keep(line);
    // The device form writes each handle twice: X-IM;SERVICE and the service's own line.
    for (const auto& item : contact.groupIm.arrItem) {
      if (item.im == handle && item.imType == kind) return;
    }
    contact.groupIm.arrItem.push_back({std::move(handle), std::move(kind)});
  }

  // The organisation a line of group belongs to: the group's own, else (no group) the last
  // ungrouped one when the field is still free, else a new one.
  ContactOrganizationItem& organizationFor(std::string_view group, ContactInfo& contact,
                                           bool forName) {
    auto& items = contact.groupOrganization.arrItem;
    const auto isFree = [&](std::size_t index) {
      const auto& item = items[index];
      return forName ? !item.company && !item.department : !item.title;
    };
    if (!group.empty()) {
      for (const auto& [known, index] : organizationGroups_) {
        if (known == group && isFree(index)) return items[index];
      }
    } else if (lastUngrouped_ && isFree(*lastUngrouped_)) {
      return items[*lastUngrouped_];
    }
    items.emplace_back();
    if (group.empty()) {
      lastUngrouped_ = items.size() - 1;
    } else {
      organizationGroups_.emplace_back(group, items.size() - 1);
    }
    return items.back();
  }

  std::vector<std::string_view> physical_;  // the body's lines, before unfolding
  std::vector<Line> lines_;
  std::vector<Param> params_;
  std::forward_list<std::string> storage_;  // unfolded lines that span several physical lines
  std::vector<std::pair<std::string_view, std::string>> labels_;  // group -> decoded label
  std::vector<std::string_view> usedGroups_;
  std::vector<std::pair<std::string_view, std::size_t>> organizationGroups_;
  std::optional<std::size_t> lastUngrouped_;
  std::vector<std::string> unplaced_;
  std::vector<std::string> categories_;
  bool version21_ = false;
  bool nameRead_ = false;
};

// A UTF-8 byte order mark may stand before a record's first line: address books write one at
// the start of a file, and files joined end to end carry theirs along.
bool isTag(std::string_view line, std::string_view upperTag) {
  if (line.starts_with(kUtf8Mark)) line.remove_prefix(kUtf8Mark.size());
  return equalsUpper(trimmed(line), upperTag);
}

// text as UTF-8: text itself, or after a UTF-16 (or UTF-32) byte order mark its conversion
// into storage; none when the text is not valid in the encoding its mark names.
std::optional<std::string_view> utf8Text(std::string_view text, std::string& storage) {
  const std::optional<ByteOrderMark> mark = byteOrderMarkOf(text);
  if (!mark || mark->encoding == "UTF-8") return text;
  auto converted = convertToUtf8(text.substr(mark->length), mark->encoding);
  if (!converted) {
    consoleLog().warn("vCard text after a {} byte order mark is not valid {}; no record read",
                      mark->encoding, mark->encoding);
    return std::nullopt;
  }
  storage = std::move(*converted);
  return std::string_view(storage);
}

}  // namespace

std::size_t readVCardContacts(std::string_view input,
                              const std::function<bool(ContactInfo&)>& sink) {
  std::string converted;
  const std::optional<std::string_view> utf8 = utf8Text(input, converted);
  if (!utf8) return 0;
  const std::string_view text = *utf8;
  std::size_t records = 0;
  std::size_t at = 0;
  std::size_t bodyStart = std::string_view::npos;
  int depth = 0;
  RecordReader reader;  // kept across records, so that its lists keep their room
  while (at < text.size()) {
    const auto [line, next] = physicalLineAt(text, at);
    if (isTag(line, "BEGIN:VCARD")) {
      if (depth++ == 0) bodyStart = next;
    } else if (depth > 0 && isTag(line, "END:VCARD") && --depth == 0) {
      ContactInfo contact;
      reader.read(text.substr(bodyStart, at - bodyStart), contact);
      ++records;
      if (!sink(contact)) return records;
    }
    at = next;
  }
  if (depth > 0) {
    // A record cut short: what it has is still a contact.
    ContactInfo contact;
    reader.read(text.substr(std::min(bodyStart, text.size())), contact);
    ++records;
    sink(contact);
  }
  return records;
}

std::optional<ContactInfo> contactFromVCard(std::string_view text) {
  std::optional<ContactInfo> first;
  readVCardContacts(text, [&first](ContactInfo& contact) {
    first = std::move(contact);
    return false;
  });
  return first;
}

std::vector<ContactInfo> contactsFromVCards(std::string_view text) {
  std::vector<ContactInfo> contacts;
  readVCardContacts(text, [&contacts](ContactInfo& contact) {
    contacts.push_back(std::move(contact));
    return true;
  });
  return contacts;
}

}  // namespace xr
