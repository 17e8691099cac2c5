// input/buffered_input_stream_csv.cpp: the CSV operations of XRBufferedInputStream. A record is
// one line; a line is cut into fields as UTF-8 bytes, positions given to callers count UTF-16
// units.
#include <fmt/format.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>

#include "xrfoundation/input/buffered_input_stream.h"
#include "xrfoundation/platform/log_internal.h"
#include "xrfoundation/platform/utf8_internal.h"

namespace xr {
namespace {

constexpr char kQuote = '"';
constexpr char kSeparator = ',';

// Cuts the CSV field that starts at byte pos (< line.size()) of a UTF-8 line, appends its text
// to out and returns the byte position after it. Quote and separator are ASCII, so they never
// occur inside a multi-byte character and the line can be cut as bytes. fieldStarted: a first
// character of the field has already been taken (the field can no longer open a quote).
[[gnu::always_inline]] inline std::size_t cutField(std::string_view line, std::size_t pos,
                                                   std::string& out, bool fieldStarted = false) {
  const char* begin = line.data();
  const char* end = begin + line.size();
  const char* p = begin + pos;
  if (!fieldStarted) {
    while (p < end) {
      const std::size_t space = utf8::whitespaceLength(p, end);
      if (space == 0) break;
      p += space;
    }
    if (p < end && *p == kQuote) {
      ++p;
      const char* close = utf8::findByte(p, end, kQuote);
      if (close == nullptr) {  // a quoted part left open runs to the end of the line
        out.append(p, end - p);
        return line.size();
      }
      out.append(p, close - p);
      // After the closing quote whitespace is dropped wherever it stands; anything else,
      // a further quote too, is kept.
      for (p = close + 1; p < end;) {
        if (*p == kSeparator) return static_cast<std::size_t>(p + 1 - begin);
        const std::size_t space = utf8::whitespaceLength(p, end);
        if (space != 0) {
          p += space;
        } else {
          out.push_back(*p++);
        }
      }
      return line.size();
    }
  }
  // An unquoted field: everything up to the separator, whitespace and quotes included.
  const char* separator = utf8::findByte(p, end, kSeparator);
  if (separator == nullptr) {
    out.append(p, end - p);
    return line.size();
  }
  out.append(p, separator - p);
  return static_cast<std::size_t>(separator + 1 - begin);
}

bool hasRepeatedTitle(const CsvTitles& titles) {
  if (!titles) return false;
  std::vector<std::string_view> sorted(titles->begin(), titles->end());
  std::sort(sorted.begin(), sorted.end());
  return std::adjacent_find(sorted.begin(), sorted.end()) != sorted.end();
}

std::string_view withoutLineEnd(std::string_view line) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  return line;
}

}  // namespace

std::optional<std::string_view> XRBufferedInputStream::readCsvLine() {
  const std::optional<std::string_view> line = readLine();
  if (!line || utf8::isValid(*line)) return line;
  // One stray byte of another encoding must not end an import: read the line on with the
  // damage marked, and say which line it was.
  csvLine_.clear();
  utf8::appendRepaired(csvLine_, *line);
  consoleLog().warn("CSV line {} is not valid UTF-8; invalid bytes were replaced by U+FFFD: {}",
                    lineNumber_, withoutLineEnd(csvLine_));
  return std::string_view(csvLine_);
}

std::optional<std::string> XRBufferedInputStream::csvReadToken(std::string_view line,
                                                               std::int32_t& fromIndex) const {
  std::string field;
  if (!csvReadToken(line, fromIndex, field)) return std::nullopt;
  return field;
}

bool XRBufferedInputStream::csvReadToken(std::string_view line, std::int32_t& fromIndex,
                                         std::string& field) const {
  field.clear();
  if (fromIndex < 0) return false;
  if (!utf8::isAscii(line.data(), line.size()) && !utf8::isValid(line)) {
    // Positions count the code units of the decoded line, and a byte that decodes to nothing
    // (a stray continuation byte) has none: a field of such bytes alone would hand back the
    // position it was given, and a caller's loop would never end. Read the line as the row
    // reader does, with each invalid sequence one U+FFFD.
    std::string repaired;
    utf8::appendRepaired(repaired, line);
    return csvReadToken(repaired, fromIndex, field);
  }
  // Find the byte where fromIndex UTF-16 units of the line end; in ASCII, units are bytes.
  const auto target = static_cast<std::size_t>(fromIndex);
  const auto* bytes = reinterpret_cast<const unsigned char*>(line.data());
  std::size_t byte = 0;
  std::size_t units = 0;
  if (const std::size_t prefix = std::min(target, line.size());
      utf8::isAscii(line.data(), prefix)) {
    byte = units = prefix;
  }
  while (units < target && byte < line.size()) {
    units += utf8::utf16UnitsOfByte(bytes[byte++]);
    while (byte < line.size() && utf8::isContinuation(bytes[byte])) ++byte;
  }
  bool fieldStarted = false;
  if (units > target) {
    // fromIndex falls between the two halves of a character outside the Basic Multilingual
    // Plane; the lone second half can't be written as UTF-8 and stands as U+FFFD.
    field.assign(utf8::kReplacementCharacter);
    fieldStarted = true;
  } else if (byte >= line.size()) {
    return false;
  }
  const std::size_t next = byte < line.size() ? cutField(line, byte, field, fieldStarted) : byte;
  const std::size_t length = next - byte;
  units += utf8::isAscii(line.data() + byte, length) ? length
                                                     : utf8::utf16Length(line.substr(byte, length));
  fromIndex = static_cast<std::int32_t>(
      std::min<std::size_t>(units, std::numeric_limits<std::int32_t>::max()));
  return true;
}

CsvTitles XRBufferedInputStream::csvReadHeader() {
  const std::optional<std::string_view> line = readCsvLine();
  if (!line) return nullptr;
  auto titles = std::make_shared<std::vector<std::string>>();
  for (std::size_t pos = 0; pos < line->size();) {
    std::string title;
    pos = cutField(*line, pos, title);
    titles->push_back(std::move(title));
  }
  setCsvTitles(titles);
  return titles;
}

std::optional<CsvRow> XRBufferedInputStream::csvReadData() {
  const std::optional<std::string_view> line = readCsvLine();
  if (!line) return std::nullopt;
  CsvTitles titles = csvTitles();
  if (titles != checkedTitles_) {
    titlesRepeat_ = hasRepeatedTitle(titles);
    checkedTitles_ = titles;
  }
  const std::size_t titleCount = titles ? titles->size() : 0;
  CsvRow row(std::move(titles));
  // Fields are never longer than their line, so one reservation serves the whole row and,
  // when it has no more fields than titles, the table of their ends too.
  row.buffer_.reserve(line->size() + (titleCount + 1) * sizeof(std::size_t));
  rowEnds_.clear();
  for (std::size_t pos = 0; pos < line->size();) {
    pos = cutField(*line, pos, row.buffer_);
    rowEnds_.push_back(row.buffer_.size());
  }
  for (std::size_t i = titleCount; i < rowEnds_.size(); ++i) {
    row.extraKeys_.push_back(fmt::format("field{}", i));
    if (row.titles_) consoleLog().warn("Warning: possible error in following line\n{}\n", *line);
  }
  row.finish(rowEnds_, titlesRepeat_);
  return row;
}

CsvTitles XRBufferedInputStream::csvTitles() const {
  std::lock_guard<std::mutex> lock(titlesMutex_);
  return state_.csvTitles;
}

void XRBufferedInputStream::setCsvTitles(CsvTitles titles) {
  std::lock_guard<std::mutex> lock(titlesMutex_);
  state_.csvTitles = std::move(titles);
}

}  // namespace xr
