// input/buffered_input_stream_vcard.cpp: readVCardData of XRBufferedInputStream, which cuts a
// vCard file into records.

#include "xrfoundation/input/buffered_input_stream.h"
#include "xrfoundation/platform/ascii.h"
#include "xrfoundation/platform/byte_search_internal.h"
#include "xrfoundation/platform/utf8_internal.h"

namespace xr {
namespace {

struct Markers {
  bool begin = false;  // holds "BEGIN:VCARD"
  bool end = false;    // holds "END:VCARD"
};

// Both markers hold ":VCARD", so only the colons of a line need a closer look; a vCard line
// mostly has one, after its property name. Letter case is ignored in the markers.
Markers findMarkers(std::string_view line) {
  Markers found;
  const char* start = line.data();
  const char* end = start + line.size();
  const char* colon = findByte(start, line.size(), ':');
  while (colon != nullptr) {
    const auto at = static_cast<std::size_t>(colon - start);
    if (startsWithIgnoringCase(line.substr(at + 1), "VCARD")) {
      if (endsWithIgnoringCase(line.substr(0, at), "BEGIN")) found.begin = true;
      if (endsWithIgnoringCase(line.substr(0, at), "END")) found.end = true;
    }
    colon = findByte(colon + 1, static_cast<std::size_t>(end - colon - 1), ':');
  }
  // A line that isn't UTF-8 has no text, so it holds no marker; only candidates need the check.
  if ((found.begin || found.end) && !utf8::isValid(line)) return {};
  return found;
}

}  // namespace

std::optional<std::string_view> XRBufferedInputStream::readVCardData() {
  State& s = state_;
  if (!s.dataBuffer) return std::nullopt;
  std::string& gathered = *s.vcardData;
  gathered.clear();
  recordStart_ = -1;
  recordInBlock_ = false;  // the record handed out last may go now
  const char* data = reinterpret_cast<const char*>(s.dataBuffer.get());
  for (;;) {
    const std::optional<std::string_view> line = readLine();
    if (!line) break;
    const Markers markers = findMarkers(*line);
    if (markers.begin && recordStart_ < 0) {
      if (line->data() == s.lineBuffer->data()) {
        // The line was put together across blocks; its first bytes are gone from the block.
        gathered.append(*line);
        recordStart_ = s.pos;
      } else {
        recordStart_ = line->data() - data;
      }
    }
    if (markers.end) break;
  }
  if (recordStart_ >= 0) {
    const char* tail = data + recordStart_;
    const auto length = static_cast<std::size_t>(std::max<std::int64_t>(s.pos - recordStart_, 0));
    recordStart_ = -1;
    if (gathered.empty()) {
      if (length == 0) return std::nullopt;
      recordInBlock_ = true;  // kept there until the next record read
      return std::string_view(tail, length);
    }
    gathered.append(tail, length);
  }
  if (gathered.empty()) return std::nullopt;
  return std::string_view(gathered);
}

std::optional<std::string_view> XRBufferedInputStream::nextVCardRecord() {
  // Each pass that gives none without reaching the end has consumed a stray "END:VCARD" line.
  for (;;) {
    const std::optional<std::string_view> record = readVCardData();
    if (record || atEnd()) return record;
  }
}

}  // namespace xr
