// contacts/vcard_content_line.cpp: physical lines, unfolding and the split of a content line.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <optional>

#include "xrfoundation/contacts/vcard_content_line_internal.h"
#include "xrfoundation/contacts/vcard_types_internal.h"
#include "xrfoundation/platform/ascii.h"

namespace xr::vcard_internal {
namespace {

// The bytes that end or split a name or a parameter: ';' ':' '.' '"' '='.
constexpr auto kSpecial = [] {
  std::array<bool, 256> table{};
  for (const unsigned char c : std::string_view(";:.\"=")) table[c] = true;
  return table;
}();
bool isSpecial(char c) { return kSpecial[static_cast<unsigned char>(c)]; }

bool isIndented(std::string_view line) {
  return !line.empty() && (line.front() == ' ' || line.front() == '\t');
}

// A QUOTED-PRINTABLE line that ends in its soft break '=' goes on in the next line.
bool endsInSoftBreak(std::string_view line) {
  return !line.empty() && line.back() == '=' &&
         containsIgnoringCase(line.substr(0, line.find(':')), "QUOTED-PRINTABLE");
}

// Whether a content line is a VERSION line, and then whether it says 2.1.
std::optional<bool> versionOf(const ContentLine& line) {
  if (line.name != "VERSION") return std::nullopt;
  return trimmed(line.value) == "2.1";
}

// What the first VERSION line of physical names (lines of nested records passed over); none
// when it holds none.
std::optional<bool> versionFrom(std::span<const std::string_view> physical) {
  int depth = 0;
  ContentLine line;
  std::vector<Param> params;
  for (const std::string_view text : physical) {
    const RecordTag tag = recordTagOf(text);
    if (tag == RecordTag::Begin) {
      ++depth;
    } else if (depth > 0) {
      if (tag == RecordTag::End) --depth;
    } else if (!isIndented(text) && parseContentLine(text, line, params)) {
      if (const std::optional<bool> version = versionOf(line)) return version;
    }
  }
  return std::nullopt;
}

// The first byte of text from at on that ends a line (CR or LF), or its end. memchr() looks
// for the LF and then for a CR before it, within a window so that a file of lone CRs is not
// searched to its end for an LF on every line.
std::size_t lineEndFrom(std::string_view text, std::size_t at) {
  constexpr std::size_t kWindow = 256;
  while (at < text.size()) {
    const char* const from = text.data() + at;
    const std::size_t size = std::min(kWindow, text.size() - at);
    const auto* feed = static_cast<const char*>(std::memchr(from, '\n', size));
    const std::size_t beforeFeed = feed ? static_cast<std::size_t>(feed - from) : size;
    if (const auto* cr = static_cast<const char*>(std::memchr(from, '\r', beforeFeed)))
      return at + static_cast<std::size_t>(cr - from);
    if (feed) return at + beforeFeed;
    at += size;
  }
  return text.size();
}

}  // namespace

RecordTag recordTagOf(std::string_view line) {
  constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
  // Most lines fail at their first byte: a line end never starts a line, a blank folds.
  if (line.empty()) return RecordTag::None;
  const char first = asciiUpper(line.front());
  if (first != 'B' && first != 'E' && first != kUtf8Mark[0]) return RecordTag::None;
  if (line.starts_with(kUtf8Mark)) line.remove_prefix(kUtf8Mark.size());
  line = trimmed(line);
  if (equalsIgnoringCase(line, "BEGIN:VCARD")) return RecordTag::Begin;
  if (equalsIgnoringCase(line, "END:VCARD")) return RecordTag::End;
  return RecordTag::None;
}

PhysicalLine physicalLineAt(std::string_view text, std::size_t at) {
  const std::size_t end = lineEndFrom(text, at);
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
  std::size_t dot = std::string_view::npos;
  // The name runs to the first ';' or ':'; a group before it ends at its first '.'. Names and
  // parameters are short: a table lookup per byte beats memchr() here.
  for (; at < text.size(); ++at) {
    const char c = text[at];
    if (!isSpecial(c)) continue;
    if (c == ';' || c == ':') break;
    if (c == '.' && dot == std::string_view::npos) dot = at;
  }
  if (at == text.size()) return false;
  std::string_view name = text.substr(0, at);
  line.group = dot == std::string_view::npos ? std::string_view() : name.substr(0, dot);
  if (dot != std::string_view::npos) name.remove_prefix(dot + 1);
  name = trimmed(name);
  line.name.resize(name.size());
  std::transform(name.begin(), name.end(), line.name.begin(), asciiUpper);
  while (text[at] == ';') {
    const std::size_t start = ++at;
    bool quoted = false;
    for (; at < text.size(); ++at) {
      const char c = text[at];
      if (!isSpecial(c)) continue;
      if (c == '"') {
        quoted = !quoted;
      } else if (!quoted && (c == ';' || c == ':')) {
        break;
      }
    }
    if (at == text.size()) return false;
    std::string_view param = text.substr(start, at - start);
    std::size_t equals = 0;
    while (equals < param.size() && param[equals] != '=') ++equals;
    Param entry;
    if (equals == param.size()) {
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
  for (std::size_t at = 0; at < body.size();) {
    const PhysicalLine line = physicalLineAt(body, at);
    physical_.push_back(line.text);
    at = line.next;
  }
  unfold();
}

void ContentLineReader::read(std::string_view body, std::span<const LineSpan> physical) {
  physical_.clear();
  for (const LineSpan& line : physical) physical_.push_back(body.substr(line.start, line.size));
  unfold();
}

void ContentLineReader::unfold() {
  lines_.clear();
  params_.clear();
  unparsed_.clear();
  storage_.clear();
  // 2.1 keeps the blank that starts a folded line: it was there before the fold. The first
  // VERSION line decides; the lines are read ahead for it at a fold that comes before it.
  std::optional<bool> version21;
  int depth = 0;
  for (std::size_t i = 0; i < physical_.size();) {
    const std::size_t first = i;
    std::string_view text = physical_[i++];
    const RecordTag tag = recordTagOf(text);
    if (tag == RecordTag::Begin) {
      ++depth;
      continue;
    }
    if (depth > 0) {
      if (tag == RecordTag::End) --depth;
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
            if (!version21)
              version21 = versionFrom(std::span(physical_).subspan(first)).value_or(false);
            joined.append(next.substr(*version21 ? 0 : 1));
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
    } else if (!version21) {
      version21 = versionOf(line);
    }
  }
  version21_ = version21.value_or(false);
}

}  // namespace xr::vcard_internal
