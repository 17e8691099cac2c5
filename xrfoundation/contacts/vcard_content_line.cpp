// contacts/vcard_content_line.cpp: physical lines, unfolding and the split of a content line.
#include <algorithm>

#include "xrfoundation/contacts/text_trim.h"
#include "xrfoundation/contacts/vcard_content_line_internal.h"
#include "xrfoundation/contacts/vcard_types_internal.h"

namespace xr::vcard_internal {
namespace {

char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }

bool isIndented(std::string_view line) {
  return !line.empty() && (line.front() == ' ' || line.front() == '\t');
}

// A QUOTED-PRINTABLE line that ends in its soft break '=' goes on in the next line.
bool endsInSoftBreak(std::string_view line) {
  return !line.empty() && line.back() == '=' &&
         containsUpper(line.substr(0, line.find(':')), "QUOTED-PRINTABLE");
}

// Whether the record's own first VERSION line (not a nested record's) says 2.1.
bool isVersion21(const std::vector<std::string_view>& physical) {
  int depth = 0;
  for (const std::string_view text : physical) {
    if (isIndented(text)) continue;
    if (isRecordTag(text, "BEGIN:VCARD")) {
      ++depth;
    } else if (depth > 0) {
      if (isRecordTag(text, "END:VCARD")) --depth;
    } else {
      const std::size_t end = std::min(text.find_first_of(";:"), text.size());
      std::string_view name = text.substr(0, end);
      name.remove_prefix(std::min(name.find('.') + 1, name.size()));  // the group, if any
      const std::size_t colon = text.find(':', end);
      if (colon != std::string_view::npos && equalsUpper(trimmed(name), "VERSION"))
        return trimmed(text.substr(colon + 1)) == "2.1";
    }
  }
  return false;
}

}  // namespace

bool isRecordTag(std::string_view line, std::string_view upperTag) {
  constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
  if (isIndented(line)) return false;
  if (line.starts_with(kUtf8Mark)) line.remove_prefix(kUtf8Mark.size());
  return equalsUpper(trimmed(line), upperTag);
}

bool equalsUpper(std::string_view text, std::string_view upperWord) {
  return text.size() == upperWord.size() &&
         std::equal(text.begin(), text.end(), upperWord.begin(),
                    [](char a, char b) { return upper(a) == b; });
}

bool containsUpper(std::string_view text, std::string_view upperWord) {
  return std::search(text.begin(), text.end(), upperWord.begin(), upperWord.end(),
                     [](char a, char b) { return upper(a) == b; }) != text.end();
}

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

bool parseContentLine(std::string_view text, ContentLine& line, std::vector<Param>& params) {
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

void ContentLineReader::read(std::string_view body) {
  physical_.clear();
  lines_.clear();
  params_.clear();
  unparsed_.clear();
  storage_.clear();
  for (std::size_t at = 0; at < body.size();) {
    const PhysicalLine line = physicalLineAt(body, at);
    physical_.push_back(line.text);
    at = line.next;
  }
  version21_ = isVersion21(physical_);
  // 2.1 keeps the blank that starts a folded line: it was there before the fold.
  const std::size_t foldBlank = version21_ ? 0 : 1;
  int depth = 0;
  for (std::size_t i = 0; i < physical_.size();) {
    std::string_view text = physical_[i++];
    if (isRecordTag(text, "BEGIN:VCARD")) {
      ++depth;
      continue;
    }
    if (depth > 0) {
      if (isRecordTag(text, "END:VCARD")) --depth;
      continue;
    }
    const auto continues = [&](std::string_view current) {
      return i < physical_.size() && (isIndented(physical_[i]) || endsInSoftBreak(current));
    };
    if (continues(text)) {
      std::string& joined = storage_.emplace_front(text);
      while (continues(joined)) {
        const std::string_view next = physical_[i++];
        if (isIndented(next)) {
          // A QUOTED-PRINTABLE soft break followed by an indented line: both go.
          if (endsInSoftBreak(joined)) {
            joined.pop_back();
            joined.append(next.substr(1));
          } else {
            joined.append(next.substr(foldBlank));
          }
        } else {
          joined.pop_back();  // the soft break's '='
          joined.append(next);
        }
      }
      text = joined;
    }
    if (trimmed(text).empty()) continue;
    ContentLine& line = lines_.emplace_back();
    if (!parseContentLine(text, line, params_)) {
      lines_.pop_back();
      unparsed_.push_back(text);
    }
  }
}

}  // namespace xr::vcard_internal
