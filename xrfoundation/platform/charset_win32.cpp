// platform/charset_win32.cpp: CharsetConverter on Windows, where the C library has no iconv:
// the code pages of MultiByteToWideChar for the legacy encodings, and a decoder of our own
// for UTF-16, which Windows converts only in its own byte order and without BOM handling.
// Names and results follow glibc's iconv, so that text converts as on Linux: "UTF-16" reads
// a BOM and is big-endian without one, "UTF-16LE"/"UTF-16BE" keep a BOM as U+FEFF.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "xrfoundation/platform/ascii.h"
#include "xrfoundation/platform/charset.h"

namespace xr {
namespace {

struct CodePageName {
  const char* name;  // upper case, without '-', '_' and spaces
  UINT codePage;
};

// The encodings that phones and address books write. ISO-8859-x are the 2859x pages; EUC-KR
// is read as its superset 949, which every Windows (and Wine) has.
constexpr CodePageName kCodePages[] = {
    {"SHIFTJIS", 932}, {"SJIS", 932},      {"CP932", 932},     {"WINDOWS31J", 932},
    {"MSKANJI", 932},  {"EUCJP", 20932},   {"GB18030", 54936}, {"GBK", 936},
    {"GB2312", 936},   {"CP936", 936},     {"BIG5", 950},      {"CP950", 950},
    {"EUCKR", 949},    {"CP949", 949},     {"KOI8R", 20866},   {"KOI8U", 21866},
    {"ASCII", 20127},  {"USASCII", 20127}, {"LATIN1", 28591},  {"LATIN2", 28592},
    {"LATIN9", 28605}, {"UHC", 949},       {"UTF8", CP_UTF8},  {"CP1250", 1250},
    {"CP1251", 1251},  {"CP1252", 1252},   {"CP1253", 1253},   {"CP1254", 1254},
    {"CP1255", 1255},  {"CP1256", 1256},   {"CP1257", 1257},   {"CP1258", 1258},
};

std::string normalized(const std::string& name) {
  std::string out;
  for (char c : name) {
    if (c == '-' || c == '_' || c == ' ') continue;
    out += asciiUpper(c);
  }
  return out;
}

// The code page of an encoding name, or 0.
UINT codePageOf(const std::string& upper) {
  for (const CodePageName& entry : kCodePages) {
    if (upper == entry.name) return entry.codePage;
  }
  auto numbered = [&](const char* prefix, UINT base, int low, int high) -> UINT {
    const std::string p(prefix);
    if (upper.size() <= p.size() || upper.compare(0, p.size(), p) != 0) return 0;
    const std::string digits = upper.substr(p.size());
    if (!std::all_of(digits.begin(), digits.end(), ::isdigit) || digits.size() > 2) return 0;
    const int n = std::stoi(digits);
    return n >= low && n <= high ? base + static_cast<UINT>(n) : 0;
  };
  if (UINT cp = numbered("ISO8859", 28590, 1, 15)) return cp;
  if (UINT cp = numbered("WINDOWS125", 1250, 0, 8)) return cp;
  return 0;
}

// Appends code point (a valid scalar value) as UTF-8.
void appendUtf8(std::uint32_t cp, std::string& out) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// Shared by both converters: the bytes of a cut sequence wait for the next block, and an
// invalid one ends the converter's use (a lenient one puts U+FFFD in its place instead).
class BlockConverter : public CharsetConverter {
 public:
  bool convert(std::string_view bytes, std::string& out) override {
    replacements_.clear();
    if (broken_) return false;
    std::string joined;
    if (!pending_.empty()) {
      joined = std::move(pending_);
      joined.append(bytes);
      bytes = joined;
    }
    pending_.clear();
    std::size_t used = 0;
    if (!run(bytes, out, used)) {
      broken_ = true;
      return false;
    }
    pending_.assign(bytes.substr(used));
    return true;
  }
  bool hasPendingBytes() const override { return !pending_.empty(); }

 protected:
  // Converts the whole sequences at the front of in; used: how many bytes they take.
  virtual bool run(std::string_view in, std::string& out, std::size_t& used) = 0;

 private:
  bool broken_ = false;
};

// UTF-16 and UTF-32, either byte order, which the code pages don't convert.
class UnicodeConverter final : public BlockConverter {
 public:
  enum class Order { Detect, Little, Big };
  UnicodeConverter(std::size_t unitBytes, Order order, bool lenient)
      : unitBytes_(unitBytes), order_(order) {
    lenient_ = lenient;
  }

 private:
  bool run(std::string_view in, std::string& out, std::size_t& used) override {
    std::size_t at = 0;
    auto unit = [&](std::size_t i) {
      std::uint32_t value = 0;
      for (std::size_t k = 0; k < unitBytes_; ++k) {
        const std::size_t byte = order_ == Order::Little ? i + unitBytes_ - 1 - k : i + k;
        value = value << 8 | static_cast<unsigned char>(in[byte]);
      }
      return value;
    };
    if (order_ == Order::Detect) {
      if (in.size() < 2) {
        used = 0;
        return true;
      }
      // A BOM says the order and is no text; without one, big-endian, as iconv reads it.
      const auto first = static_cast<unsigned char>(in[0]);
      const auto second = static_cast<unsigned char>(in[1]);
      order_ = first == 0xFF && second == 0xFE ? Order::Little : Order::Big;
      if ((first == 0xFF && second == 0xFE) || (first == 0xFE && second == 0xFF)) at = 2;
    }
    auto fault = [&](std::size_t skip) {
      if (!lenient_) return false;
      replaced(out);
      at += skip;
      return true;
    };
    while (at + unitBytes_ <= in.size()) {
      const std::uint32_t u = unit(at);
      if (unitBytes_ == 4) {
        if (u > 0x10FFFF || (u >= 0xD800 && u <= 0xDFFF)) {
          if (!fault(4)) return false;
          continue;
        }
        appendUtf8(u, out);
        at += 4;
        continue;
      }
      if (u >= 0xDC00 && u <= 0xDFFF) {  // a low surrogate with no high one
        if (!fault(2)) return false;
        continue;
      }
      if (u >= 0xD800 && u <= 0xDBFF) {
        if (at + 4 > in.size()) break;  // the pair is cut
        const std::uint32_t low = unit(at + 2);
        if (low < 0xDC00 || low > 0xDFFF) {
          if (!fault(2)) return false;
          continue;
        }
        appendUtf8(0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00), out);
        at += 4;
        continue;
      }
      appendUtf8(u, out);
      at += 2;
    }
    used = at;
    return true;
  }

  std::size_t unitBytes_;
  Order order_;
};

class CodePageConverter final : public BlockConverter {
 public:
  CodePageConverter(UINT codePage, bool lenient) : codePage_(codePage) {
    lenient_ = lenient;
    CPINFO info{};
    doubleByte_ = ::GetCPInfo(codePage, &info) && info.MaxCharSize == 2;
  }

 private:
  bool run(std::string_view in, std::string& out, std::size_t& used) override {
    used = wholeLength(in);
    if (used == 0) return true;
    if (append(in.substr(0, used), out)) return true;
    if (!lenient_) return false;
    // Some character of the block is undefined: convert one character at a time, and put
    // U+FFFD for each byte that none explains.
    std::size_t at = 0;
    while (at < used) {
      const std::size_t length = characterLength(in, at, used);
      if (length > 1 && append(in.substr(at, length), out)) {
        at += length;
      } else if (append(in.substr(at, 1), out)) {
        at += 1;
      } else {
        replaced(out);
        at += 1;
      }
    }
    return true;
  }

  // Appends the UTF-8 form of whole characters; false, with out untouched, when one is not
  // defined in the code page.
  bool append(std::string_view in, std::string& out) const {
    // Windows maps the five bytes that Windows-1252 leaves undefined to C1 controls; iconv
    // refuses them, and so do we.
    if (codePage_ == 1252 && in.find_first_of("\x81\x8D\x8F\x90\x9D") != std::string_view::npos) {
      return false;
    }
    const int length = static_cast<int>(in.size());
    const int wideLength =
        ::MultiByteToWideChar(codePage_, MB_ERR_INVALID_CHARS, in.data(), length, nullptr, 0);
    if (wideLength <= 0) return false;
    std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
    ::MultiByteToWideChar(codePage_, MB_ERR_INVALID_CHARS, in.data(), length, wide.data(),
                          wideLength);
    const int size = ::WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide.data(), wideLength,
                                           nullptr, 0, nullptr, nullptr);
    if (size <= 0) return false;
    const std::size_t start = out.size();
    out.resize(start + static_cast<std::size_t>(size));
    ::WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide.data(), wideLength,
                          out.data() + start, size, nullptr, nullptr);
    return true;
  }

  // Bytes of the character at in[at] (before end) as its lead byte says: 4 for a GB18030
  // four-byte sequence, 2 after a lead byte of a double-byte code page, else 1.
  std::size_t characterLength(std::string_view in, std::size_t at, std::size_t end) const {
    const auto lead = static_cast<unsigned char>(in[at]);
    if (codePage_ == 54936 && lead >= 0x81 && lead <= 0xFE && at + 1 < end) {
      const auto second = static_cast<unsigned char>(in[at + 1]);
      return std::min<std::size_t>(second >= 0x30 && second <= 0x39 ? 4 : 2, end - at);
    }
    if (doubleByte_ && ::IsDBCSLeadByteEx(codePage_, lead))
      return std::min<std::size_t>(2, end - at);
    return 1;
  }

  // How much of in ends on a whole character: a lead byte (or, in UTF-8, the start of a
  // sequence) at the end waits for the next block.
  std::size_t wholeLength(std::string_view in) const {
    if (codePage_ == CP_UTF8) {
      std::size_t back = 0;
      while (back < in.size() && back < 3 &&
             (static_cast<unsigned char>(in[in.size() - 1 - back]) & 0xC0) == 0x80) {
        ++back;
      }
      if (back < in.size()) {
        const auto lead = static_cast<unsigned char>(in[in.size() - 1 - back]);
        const std::size_t need = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        if (need > back + 1) return in.size() - back - 1;
      }
      return in.size();
    }
    if (!doubleByte_ && codePage_ != 54936) return in.size();
    std::size_t at = 0;
    while (at < in.size()) {
      const auto lead = static_cast<unsigned char>(in[at]);
      std::size_t need = 1;
      if (codePage_ == 54936 && lead >= 0x81 && lead <= 0xFE) {
        if (at + 1 == in.size()) return at;
        const auto second = static_cast<unsigned char>(in[at + 1]);
        need = second >= 0x30 && second <= 0x39 ? 4 : 2;
      } else if (doubleByte_ && ::IsDBCSLeadByteEx(codePage_, lead)) {
        need = 2;
      }
      if (at + need > in.size()) return at;
      at += need;
    }
    return in.size();
  }

  UINT codePage_;
  bool doubleByte_ = false;
};

}  // namespace

namespace {

std::unique_ptr<CharsetConverter> makeConverter(const std::string& fromEncoding, bool lenient) {
  using Order = UnicodeConverter::Order;
  const std::string name = normalized(fromEncoding);
  if (name == "UTF16") return std::make_unique<UnicodeConverter>(2, Order::Detect, lenient);
  if (name == "UTF16LE") return std::make_unique<UnicodeConverter>(2, Order::Little, lenient);
  if (name == "UTF16BE") return std::make_unique<UnicodeConverter>(2, Order::Big, lenient);
  if (name == "UTF32LE") return std::make_unique<UnicodeConverter>(4, Order::Little, lenient);
  if (name == "UTF32BE") return std::make_unique<UnicodeConverter>(4, Order::Big, lenient);
  UINT codePage = codePageOf(name);
  // Systems without GB18030's code page (Wine) read it as GBK, its two-byte part.
  if (codePage == 54936 && !::IsValidCodePage(codePage)) codePage = 936;
  if (codePage == 0 || !::IsValidCodePage(codePage)) return nullptr;
  return std::make_unique<CodePageConverter>(codePage, lenient);
}

}  // namespace

std::unique_ptr<CharsetConverter> CharsetConverter::toUtf8(const std::string& fromEncoding) {
  return makeConverter(fromEncoding, false);
}

std::unique_ptr<CharsetConverter> CharsetConverter::toUtf8Lenient(const std::string& fromEncoding) {
  return makeConverter(fromEncoding, true);
}

std::optional<std::string> convertToUtf8(std::string_view text, std::string_view fromEncoding) {
  auto converter = CharsetConverter::toUtf8(std::string(fromEncoding));
  if (!converter) return std::nullopt;
  std::string out;
  if (!converter->convert(text, out) || converter->hasPendingBytes()) return std::nullopt;
  return out;
}

}  // namespace xr
