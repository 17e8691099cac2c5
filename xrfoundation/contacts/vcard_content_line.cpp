// contacts/vcard_content_line.cpp: physical lines, unfolding and the split of a content line.
#include <algorithm>
#include <array>
#include <optional>

#include "xrfoundation/contacts/vcard_content_line_internal.h"
#include "xrfoundation/contacts/vcard_types_internal.h"
#include "xrfoundation/platform/ascii.h"
#include "xrfoundation/platform/byte_search_internal.h"

namespace xr::vcard_internal {
namespace {

// What a byte is to the split of a content line into name and parameters: most are plain; a
// lower-case letter makes the name need upper-casing; ';' and ':' end a name or parameter.
enum ByteClass : unsigned char { kPlain, kLower, kDot, kQuote, kEquals, kEnd };
constexpr auto kByteClass = [] {
  std::array<unsigned char, 256> table{};
  for (int c = 'a'; c <= 'z'; ++c) table[c] = kLower;
  table['.'] = kDot;
  table['"'] = kQuote;
  table['='] = kEquals;
  table[';'] = table[':'] = kEnd;
  return table;
}();
unsigned char classOf(char c) { return kByteClass[static_cast<unsigned char>(c)]; }

bool isIndented(std::string_view line) {
  return !line.empty() && (line.front() == ' ' || line.front() == '\t');
}

// Whether the name and parameters of a line say QUOTED-PRINTABLE.
bool saysQuotedPrintable(std::string_view line) {
  return containsIgnoringCase(line.substr(0, line.find(':')), "QUOTED-PRINTABLE");
}

// A QUOTED-PRINTABLE line that ends in its soft break '=' goes on in the next line. The last
// byte is looked at first, where the unfolding asks about every line.
bool endsInSoftBreak(std::string_view line) {
  return !line.empty() && line.back() == '=' && saysQuotedPrintable(line);
}

// Whether a content line is a VERSION line, and then whether it says 2.1.
std::optional<bool> versionOf(const ContentLine& line) {
  if (line.name != "VERSION") return std::nullopt;
  return trimmed(line.value) == "2.1";
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
  const char* const begin = text.data();
  const std::size_t size = text.size();
  const char* const found = findLineEnd(begin + at, size - at);
  if (found == nullptr) return {text.substr(at), size};
  const auto end = static_cast<std::size_t>(found - begin);
  std::size_t next = end + 1;
  if (*found == '\r') {
    std::size_t feed = next;
    while (feed < size && begin[feed] == '\r') ++feed;
    if (feed < size && begin[feed] == '\n') next = feed + 1;
  }
  return {std::string_view(begin + at, end - at), std::min(next, size)};
}

bool parseContentLine(std::string_view text, ContentLine& line, std::vector<Param>& params) {
  constexpr std::size_t kNone = std::string_view::npos;
  line.raw = text;
  line.firstParam = params.size();
  line.paramCount = 0;
  const std::size_t size = text.size();
  // Every piece lies within text: views made from its bytes need no bounds checks.
  const auto piece = [&text](std::size_t from, std::size_t to) {
    return std::string_view(text.data() + from, to - from);
  };
  std::size_t at = 0;
  std::size_t dot = kNone;
  bool lower = false;
  // The name runs to the first ';' or ':'; a group before it ends at its first '.'. Names and
  // parameters are short: a table lookup per byte beats memchr() here.
  for (; at < size; ++at) {
    const unsigned char kind = classOf(text[at]);
    if (kind == kPlain) continue;
    if (kind == kEnd) break;
    if (kind == kLower) {
      lower = true;
    } else if (kind == kDot && dot == kNone) {
      dot = at;
    }
  }
  if (at == size) return false;
  line.group = dot == kNone ? std::string_view() : piece(0, dot);
  line.name.assign(trimmed(piece(dot == kNone ? 0 : dot + 1, at)));
  if (lower) std::transform(line.name.begin(), line.name.end(), line.name.begin(), asciiUpper);
  while (text[at] == ';') {
    const std::size_t start = ++at;
    std::size_t equals = kNone;  // the parameter's first '=', quoted or not
    bool quoted = false;
    for (; at < size; ++at) {
      const unsigned char kind = classOf(text[at]);
      if (kind <= kDot) continue;
      if (kind == kEquals) {
        if (equals == kNone) equals = at;
      } else if (kind == kQuote) {
        quoted = !quoted;
      } else if (!quoted) {
        break;
      }
    }
    if (at == size) return false;
    Param& entry = params.emplace_back();
    if (equals == kNone) {
      entry.value = trimmed(piece(start, at));
    } else {
      entry.name = trimmed(piece(start, equals));
      entry.value = trimmed(piece(equals + 1, at));
    }
    if (entry.value.size() >= 2 && entry.value.front() == '"' && entry.value.back() == '"')
      entry.value = entry.value.substr(1, entry.value.size() - 2);
    ++line.paramCount;
  }
  line.value = piece(at + 1, size);
  return true;
}

void ContentLineReader::read(std::string_view body) {
  physical_.clear();
  for (std::size_t at = 0; at < body.size();) {
    const PhysicalLine line = physicalLineAt(body, at);
    physical_.push_back({line.text, recordTagOf(line.text)});
    at = line.next;
  }
  unfold();
}

void ContentLineReader::read(std::string_view body, std::span<const LineSpan> physical) {
  physical_.clear();
  for (const LineSpan& line : physical)
    physical_.push_back({body.substr(line.start, line.size), line.tag});
  unfold();
}

std::optional<bool> ContentLineReader::versionFrom(std::size_t first) const {
  int depth = 0;
  ContentLine line;
  std::vector<Param> params;
  for (std::size_t i = first; i < physical_.size(); ++i) {
    const auto& [text, tag] = physical_[i];
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

void ContentLineReader::unfold() {
  lineCount_ = 0;
  params_.clear();
  unparsed_.clear();
  storage_.clear();
  // 2.1 keeps the blank that starts a folded line: it was there before the fold. The first
  // VERSION line decides; the lines are read ahead for it at a fold that comes before it.
  std::optional<bool> version21;
  int depth = 0;
  for (std::size_t i = 0; i < physical_.size();) {
    const std::size_t first = i;
    const auto [physicalText, tag] = physical_[i++];
    std::string_view text = physicalText;
    if (tag == RecordTag::Begin) {
      ++depth;
      continue;
    }
    if (depth > 0) {
      if (tag == RecordTag::End) --depth;
      continue;
    }
    const auto continues = [&](std::string_view current) {
      return i < physical_.size() && (isIndented(physical_[i].text) || endsInSoftBreak(current));
    };
    if (continues(text)) {
      std::string& joined = storage_.emplace_front(text);
      while (continues(joined)) {
        const std::string_view next = physical_[i++].text;
        if (isIndented(next)) {
          // A QUOTED-PRINTABLE soft break followed by an indented line: both go.
          if (endsInSoftBreak(joined)) {
            joined.pop_back();
            joined.append(next.substr(1));
          } else {
            if (!version21) version21 = versionFrom(first).value_or(false);
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
    if (lineCount_ == lines_.size()) lines_.emplace_back();
    ContentLine& line = lines_[lineCount_];
    if (!parseContentLine(text, line, params_)) {
      unparsed_.push_back(text);
      continue;
    }
    ++lineCount_;
    if (!version21) version21 = versionOf(line);
  }
  version21_ = version21.value_or(false);
}

}  // namespace xr::vcard_internal
