// platform/text_encoding.cpp: encoding detection (byte order marks, UTF-16's zero bytes, UTF-8,
// then uchardet's guess) and the lenient decoder over CharsetConverter.
#include "xrfoundation/platform/text_encoding.h"

#include <uchardet/uchardet.h>

#include <algorithm>
#include <array>

#include "xrfoundation/platform/ascii.h"
#include "xrfoundation/platform/charset.h"
#include "xrfoundation/platform/utf8_internal.h"

namespace xr {
namespace {

// Bytes of a sample that the zero-byte test and the detector look at: enough for any
// address book's first rows, little enough to cost nothing beside the reading.
constexpr std::size_t kZeroSample = 4096;
constexpr std::size_t kGuessSample = 64 * 1024;

struct KnownEncoding {
  std::string_view display;
  std::string_view converter;               // the name both iconv and the Windows code pages accept
  std::array<std::string_view, 6> aliases;  // upper case, without '-', '_' and blanks
};

// Shift_JIS is read as Microsoft's CP932 and EUC-KR as CP949, the supersets that the
// programs writing them use (vendor characters, the 0x5C backslash); GBK and GB2312 as
// GB18030, which holds them both.
constexpr KnownEncoding kKnown[] = {
    {"UTF-8", "UTF-8", {"UTF8"}},
    {"UTF-16", "UTF-16", {"UTF16"}},
    {"UTF-16LE", "UTF-16LE", {"UTF16LE"}},
    {"UTF-16BE", "UTF-16BE", {"UTF16BE"}},
    {"UTF-32LE", "UTF-32LE", {"UTF32LE"}},
    {"UTF-32BE", "UTF-32BE", {"UTF32BE"}},
    {"Windows-1250", "WINDOWS-1250", {"WINDOWS1250", "CP1250"}},
    {"Windows-1251", "WINDOWS-1251", {"WINDOWS1251", "CP1251"}},
    {"Windows-1252", "WINDOWS-1252", {"WINDOWS1252", "CP1252"}},
    {"Windows-1253", "WINDOWS-1253", {"WINDOWS1253", "CP1253"}},
    {"Windows-1254", "WINDOWS-1254", {"WINDOWS1254", "CP1254"}},
    {"Windows-1255", "WINDOWS-1255", {"WINDOWS1255", "CP1255"}},
    {"Windows-1256", "WINDOWS-1256", {"WINDOWS1256", "CP1256"}},
    {"Windows-1257", "WINDOWS-1257", {"WINDOWS1257", "CP1257"}},
    {"Windows-1258", "WINDOWS-1258", {"WINDOWS1258", "CP1258"}},
    {"ISO-8859-1", "ISO-8859-1", {"ISO88591", "LATIN1", "L1"}},
    {"ISO-8859-2", "ISO-8859-2", {"ISO88592", "LATIN2", "L2"}},
    {"ISO-8859-5", "ISO-8859-5", {"ISO88595"}},
    {"ISO-8859-7", "ISO-8859-7", {"ISO88597"}},
    {"ISO-8859-9", "ISO-8859-9", {"ISO88599", "LATIN5"}},
    {"ISO-8859-13", "ISO-8859-13", {"ISO885913", "LATIN7"}},
    {"ISO-8859-15", "ISO-8859-15", {"ISO885915", "LATIN9"}},
    {"KOI8-R", "KOI8-R", {"KOI8R"}},
    {"KOI8-U", "KOI8-U", {"KOI8U"}},
    {"IBM866", "CP866", {"IBM866", "CP866"}},
    {"Shift_JIS", "CP932", {"SHIFTJIS", "SJIS", "CP932", "WINDOWS31J", "MSKANJI", "XSJIS"}},
    {"EUC-JP", "EUC-JP", {"EUCJP"}},
    {"GB18030", "GB18030", {"GB18030", "GBK", "CP936", "GB2312", "EUCCN"}},
    {"Big5", "BIG5", {"BIG5", "CP950"}},
    {"EUC-KR", "CP949", {"EUCKR", "CP949", "UHC", "KSC5601"}},
};

// The encodings a guess among legacy text may confuse, most common first: a tie between two
// keeps the earlier.
constexpr std::string_view kLegacy[] = {
    "Windows-1252", "ISO-8859-15",  "Windows-1250", "ISO-8859-2", "Windows-1257",
    "Windows-1254", "Windows-1253", "Windows-1251", "KOI8-R",     "Shift_JIS",
    "EUC-JP",       "GB18030",      "Big5",         "EUC-KR",
};

std::string normalized(std::string_view name) {
  std::string out;
  for (const char c : name) {
    if (c == '-' || c == '_' || c == ' ') continue;
    out += asciiUpper(c);
  }
  return out;
}

const KnownEncoding* knownEncoding(std::string_view name) {
  const std::string key = normalized(name);
  for (const KnownEncoding& entry : kKnown) {
    if (std::find(entry.aliases.begin(), entry.aliases.end(), key) != entry.aliases.end()) {
      return &entry;
    }
  }
  return nullptr;
}

// How much of sample ends on a whole UTF-8 sequence: a lead byte near the end whose sequence
// the end cuts is left out.
std::size_t wholeUtf8Length(std::string_view sample) {
  const std::size_t n = sample.size();
  for (std::size_t back = 1; back <= std::min<std::size_t>(3, n); ++back) {
    const auto byte = static_cast<unsigned char>(sample[n - back]);
    if (utf8::isContinuation(byte)) continue;
    const std::size_t need = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
    return need > back ? n - back : n;
  }
  return n;
}

// UTF-16 without a mark, as its ASCII characters show it: one byte of each pair zero, the
// other not. "UTF-16LE", "UTF-16BE" or "".
std::string_view utf16ByZeroBytes(std::string_view sample) {
  sample = sample.substr(0, std::min(sample.size(), kZeroSample) & ~std::size_t{1});
  std::size_t zeroFirst = 0;   // pairs 00 xx: big-endian ASCII
  std::size_t zeroSecond = 0;  // pairs xx 00: little-endian ASCII
  const std::size_t pairs = sample.size() / 2;
  for (std::size_t i = 0; i < sample.size(); i += 2) {
    const bool first = sample[i] == '\0';
    const bool second = sample[i + 1] == '\0';
    if (first && !second) ++zeroFirst;
    if (second && !first) ++zeroSecond;
    if (first && second) return "";  // UTF-32, or binary
  }
  // Half the characters ASCII (digits, separators and line ends are), and the other order
  // next to never.
  if (zeroSecond * 2 >= pairs && zeroSecond > 0 && zeroFirst * 16 <= zeroSecond) return "UTF-16LE";
  if (zeroFirst * 2 >= pairs && zeroFirst > 0 && zeroSecond * 16 <= zeroFirst) return "UTF-16BE";
  return "";
}

// Whether mostly-UTF-8 text with a few stray bytes is UTF-8 nonetheless: many characters of
// several bytes decode and few bytes don't. Legacy text seldom forms a valid sequence.
bool mostlyUtf8(std::string_view sample) {
  std::size_t multibyte = 0;
  std::size_t invalid = 0;
  std::size_t at = 0;
  while (at < sample.size()) {
    at += utf8::asciiPrefix(sample.substr(at));
    if (at == sample.size()) break;
    char32_t code;
    const std::size_t length = utf8::decode(sample.substr(at), &code);
    if (length == 0) {
      ++invalid;
      ++at;
    } else {
      ++multibyte;
      at += length;
    }
  }
  return multibyte > 4 * invalid;
}

// The detector's guess corrected where it is known to mistake close encodings on short samples: an
// ISO-8859 guess for text with bytes 0x80 to 0x9F (controls there, letters and punctuation in the
// Windows sibling that programs actually write), and ISO-8859-1 and 9 always (see below);
// Windows-1252 for text with bytes it leaves undefined and Windows-1250 uses; GB18030 for text
// whose characters include Japanese kana, which Chinese text hardly uses (EUC-JP shares the byte
// layout).
std::string_view corrected(std::string_view guess, std::string_view sample) {
  const auto has = [&](std::string_view bytes) {
    return sample.find_first_of(bytes) != std::string_view::npos;
  };
  static constexpr std::pair<std::string_view, std::string_view> kSiblings[] = {
      {"ISO-8859-1", "Windows-1252"}, {"ISO-8859-15", "Windows-1252"},
      {"ISO-8859-2", "Windows-1250"}, {"ISO-8859-7", "Windows-1253"},
      {"ISO-8859-9", "Windows-1254"}, {"ISO-8859-13", "Windows-1257"},
  };
  const std::string_view c1(
      "\x80\x81\x82\x83\x84\x85\x86\x87\x88\x89\x8A\x8B\x8C\x8D\x8E\x8F"
      "\x90\x91\x92\x93\x94\x95\x96\x97\x98\x99\x9A\x9B\x9C\x9D\x9E\x9F");
  // Text taken for Latin-1 is Windows-1252 in practice, which reads every Latin-1 letter
  // the same; unless it holds the bytes where ISO-8859-15 has the euro sign and its letters.
  // Windows-1254 reads every letter of ISO-8859-9 the same way.
  if (guess == "ISO-8859-1") {
    return has("\xA4\xA6\xA8\xBC\xBD\xBE") && !has(c1) ? "ISO-8859-15" : "Windows-1252";
  }
  if (guess == "ISO-8859-9") return "Windows-1254";
  for (const auto& [iso, windows] : kSiblings) {
    if (guess == iso && has(c1)) guess = windows;
  }
  // Bytes that Windows-1252 leaves undefined and Windows-1250 makes T and Z with a caron and
  // an acute.
  if (guess == "Windows-1252" && has("\x8D\x8F\x9D")) return "Windows-1250";
  if (guess == "GB18030") {
    std::size_t kana = 0;
    for (std::size_t at = 0; at + 1 < sample.size(); ++at) {
      const auto lead = static_cast<unsigned char>(sample[at]);
      if (lead < 0x80) continue;
      const auto trail = static_cast<unsigned char>(sample[at + 1]);
      if ((lead == 0xA4 || lead == 0xA5) && trail >= 0xA1 && trail <= 0xF6) ++kana;
      ++at;
    }
    if (kana >= 2 && convertToUtf8(sample, "EUC-JP")) return "EUC-JP";
  }
  return guess;
}

}  // namespace

std::optional<std::string> encodingDisplayName(std::string_view name) {
  if (const KnownEncoding* entry = knownEncoding(name)) return std::string(entry->display);
  return std::nullopt;
}

std::span<const std::string_view> legacyEncodings() { return kLegacy; }

std::string guessLegacyEncoding(std::string_view sample) {
  sample = sample.substr(0, std::min(sample.size(), kGuessSample));
  uchardet_t detector = uchardet_new();
  uchardet_handle_data(detector, sample.data(), sample.size());
  uchardet_data_end(detector);
  const std::string guess = uchardet_get_charset(detector);
  uchardet_delete(detector);
  const KnownEncoding* entry = knownEncoding(guess);
  // ASCII or UTF-8 can't be right for bytes that aren't valid UTF-8, and a guess among the
  // DOS and Mac code pages is seldom right for an address book: Windows-1252 unless it can't be.
  if (!entry || entry->display.starts_with("UTF") || entry->display == "IBM866") {
    // A few bytes of Japanese (a phone's vCard) get such guesses too: Shift_JIS when the
    // bytes read as it, and many are the lead bytes 0x81 to 0x9F, which Windows-1252 text
    // hardly holds.
    const std::size_t high =
        static_cast<std::size_t>(std::count_if(sample.begin(), sample.end(), [](char c) {
          return static_cast<unsigned char>(c) >= 0x80;
        }));
    const std::size_t leads =
        static_cast<std::size_t>(std::count_if(sample.begin(), sample.end(), [](char c) {
          return static_cast<unsigned char>(c) >= 0x81 && static_cast<unsigned char>(c) <= 0x9F;
        }));
    if (leads * 4 >= high && convertToUtf8(sample, "CP932")) return "Shift_JIS";
    return std::string(corrected("Windows-1252", sample));
  }
  return std::string(corrected(entry->display, sample));
}

DetectedEncoding detectEncoding(std::string_view sample, bool complete) {
  DetectedEncoding found;
  if (const std::optional<ByteOrderMark> mark = byteOrderMarkOf(sample)) {
    found.name = mark->encoding;
    found.basis = EncodingBasis::ByteOrderMark;
    found.markLength = mark->length;
    return found;
  }
  if (const std::string_view utf16 = utf16ByZeroBytes(sample); !utf16.empty()) {
    found.name = utf16;
    found.basis = EncodingBasis::ZeroBytes;
    return found;
  }
  return detectLaterEncoding(sample, complete);
}

std::optional<EncodingAfterAscii> encodingAfterAscii(std::string_view text, std::size_t floor,
                                                     std::size_t held, bool complete) {
  std::size_t from = held;
  while (from > floor && held - from < 3 && (text[from - 1] & 0x80) != 0) --from;
  const std::string_view fresh = text.substr(from);
  if (utf8::isAscii(fresh.data(), fresh.size())) return std::nullopt;  // word by word
  const std::size_t ascii = utf8::asciiPrefix(fresh);
  DetectedEncoding later = detectLaterEncoding(fresh.substr(ascii), complete);
  if (later.asciiOnly) return std::nullopt;  // only a cut sequence so far
  return EncodingAfterAscii{from, ascii, std::move(later)};
}

DetectedEncoding detectLaterEncoding(std::string_view bytes, bool complete) {
  DetectedEncoding found;
  const std::string_view whole = complete ? bytes : bytes.substr(0, wholeUtf8Length(bytes));
  found.name = "UTF-8";
  found.basis = EncodingBasis::Utf8;
  if (utf8::asciiPrefix(whole) == whole.size()) {
    found.asciiOnly = true;
    return found;
  }
  if (utf8::isValid(whole) || mostlyUtf8(whole)) return found;
  found.name = guessLegacyEncoding(bytes);
  found.basis = EncodingBasis::Guessed;
  return found;
}

void DecodeDamage::add(std::uint64_t line) {
  ++count;
  if (lines.size() < kMaxLines && (lines.empty() || lines.back() != line)) lines.push_back(line);
}

std::unique_ptr<TextDecoder> TextDecoder::create(std::string_view encoding,
                                                 std::uint64_t firstLine) {
  const KnownEncoding* entry = knownEncoding(encoding);
  if (entry && entry->display == "UTF-8") {
    return std::unique_ptr<TextDecoder>(new TextDecoder(nullptr, "UTF-8", firstLine));
  }
  const std::string converterName(entry ? entry->converter : encoding);
  auto converter = CharsetConverter::toUtf8Lenient(converterName);
  if (!converter) return nullptr;
  return std::unique_ptr<TextDecoder>(new TextDecoder(
      std::move(converter), std::string(entry ? entry->display : encoding), firstLine));
}

TextDecoder::TextDecoder(std::unique_ptr<CharsetConverter> converter, std::string name,
                         std::uint64_t firstLine)
    : converter_(std::move(converter)), name_(std::move(name)), line_(firstLine) {}

TextDecoder::~TextDecoder() = default;

void TextDecoder::decode(std::string_view bytes, std::string& out, bool last) {
  const std::size_t from = out.size();
  std::vector<std::size_t> at;
  if (!converter_) {
    decodeUtf8(bytes, out, last, at);
  } else {
    converter_->convert(bytes, out);
    at = converter_->replacements();
    if (last) {
      converter_->finish(out);
      at.insert(at.end(), converter_->replacements().begin(), converter_->replacements().end());
    }
  }
  lastReplaced_ = !at.empty();
  count(out, from, at);
}

void TextDecoder::decodeUtf8(std::string_view bytes, std::string& out, bool last,
                             std::vector<std::size_t>& at) {
  std::string joined;
  if (!pending_.empty()) {
    joined = std::move(pending_);
    pending_.clear();
    joined.append(bytes);
    bytes = joined;
  }
  std::size_t i = 0;
  while (i < bytes.size()) {
    const std::size_t ascii = utf8::asciiPrefix(bytes.substr(i));
    out.append(bytes.substr(i, ascii));
    i += ascii;
    if (i == bytes.size()) break;
    char32_t code = 0;
    const std::size_t length = utf8::decode(bytes.substr(i), &code);
    if (length > 0) {
      out.append(bytes.substr(i, length));
      i += length;
      continue;
    }
    // A lead byte whose continuation bytes so far are right, cut by the end of the block,
    // waits for the next one.
    const auto lead = static_cast<unsigned char>(bytes[i]);
    const std::size_t want = lead >= 0xC2 && lead <= 0xDF   ? 2
                             : lead >= 0xE0 && lead <= 0xEF ? 3
                             : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                            : 0;
    std::size_t held = 1;
    while (i + held < bytes.size() && held < want &&
           utf8::isContinuation(static_cast<unsigned char>(bytes[i + held]))) {
      ++held;
    }
    if (!last && want > 0 && i + held == bytes.size()) {
      pending_.assign(bytes.substr(i));
      break;
    }
    // Not UTF-8: each maximal invalid part becomes one U+FFFD.
    const std::size_t before = out.size();
    utf8::appendRepaired(out, bytes.substr(i, want > 0 ? held : 1));
    for (std::size_t p = before; p + 2 < out.size(); p += 3) at.push_back(p);
    i += want > 0 ? held : 1;
  }
}

void TextDecoder::count(const std::string& out, std::size_t from,
                        const std::vector<std::size_t>& at) {
  // Lines as an editor counts them: LF, CR LF and a lone CR end one each.
  const auto breaks = [&](std::size_t begin, std::size_t end) {
    const std::string_view part(out.data() + begin, end - begin);
    if (part.empty()) return;
    if (part.find('\r') == std::string_view::npos) {
      line_ += static_cast<std::uint64_t>(std::count(part.begin(), part.end(), '\n'));
      if (afterCr_ && part.front() == '\n') --line_;
    } else {
      for (const char c : part) {
        if (c == '\r' || (c == '\n' && !afterCr_)) ++line_;
        afterCr_ = c == '\r';
      }
    }
    afterCr_ = part.back() == '\r';
  };
  std::size_t done = from;
  for (const std::size_t offset : at) {
    breaks(done, offset);
    damage_.add(line_);
    done = offset;
  }
  breaks(done, out.size());
}

}  // namespace xr
