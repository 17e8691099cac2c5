// The vCard line helpers on random lines: formatToFixWidth only inserts breaks, cuts an ASCII
// line every 64 bytes and never splits a character of a valid line or lets a piece pass 64
// UTF-16 code units; extractPropertyName gives the text before the first ':' or ';' without its
// group prefix.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "fuzz/utf8_check.h"
#include "xrfoundation/contacts/vcard_info.h"

namespace {

constexpr std::string_view kBreak = "\r\n ";
constexpr size_t kWidth = 64;

std::string withoutBreaks(std::string_view text) {
  std::string kept;
  for (size_t at = 0; at < text.size();) {
    const size_t next = std::min(text.find(kBreak, at), text.size());
    kept.append(text.substr(at, next - at));
    at = next + kBreak.size();
  }
  return kept;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view line(reinterpret_cast<const char*>(data), size);

  // Folding. An ASCII line is cut every 64 bytes exactly. Any line comes back once the breaks
  // are taken out, and when it is valid UTF-8 no break splits a character and no piece
  // between breaks is longer than 64 code units.
  const std::string folded = xr::formatToFixWidth(line);
  const auto units = xr::fuzz::utf16LengthOfValid(line);
  if (std::all_of(line.begin(), line.end(), [](char c) { return (c & 0x80) == 0; })) {
    std::string expected;
    for (size_t at = 0; at < line.size(); at += kWidth) {
      expected.append(line.substr(at, kWidth));
      if (line.size() - at >= kWidth) expected.append(kBreak);
    }
    FUZZ_CHECK(folded == expected);
  }
  // (A CR in the line could pair with an inserted break into another "\r\n ".)
  if (line.find('\r') == std::string_view::npos) {
    FUZZ_CHECK(withoutBreaks(folded) == withoutBreaks(line));
  }
  if (units) {
    for (size_t at = 0; at <= folded.size();) {
      const size_t next = std::min(folded.find(kBreak, at), folded.size());
      const auto pieceUnits = xr::fuzz::utf16LengthOfValid(folded.substr(at, next - at));
      FUZZ_CHECK(pieceUnits && *pieceUnits <= kWidth);
      at = next + kBreak.size();
    }
  }

  const auto name = xr::VCardInfo::extractPropertyName(line);
  const size_t cut = line.find_first_of(":;");
  FUZZ_CHECK(name.has_value() == (cut != std::string_view::npos));
  if (name) {
    const std::string_view head = line.substr(0, cut);
    FUZZ_CHECK(head.ends_with(*name));
    FUZZ_CHECK(name->size() == head.size() || head[head.size() - name->size() - 1] == '.');
    FUZZ_CHECK(xr::VCardInfo::isPropertyGroup(line) == (name->size() != head.size()));
  }
  return 0;
}
