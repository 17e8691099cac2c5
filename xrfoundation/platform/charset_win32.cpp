// platform/charset_win32.cpp: CharsetConverter on Windows, where the C library has no iconv:
// the code pages of MultiByteToWideChar for the legacy encodings, and a decoder of our own
// for UTF-16, which Windows converts only in its own byte order and without BOM handling.
// Names and results follow glibc's iconv, so that text converts as on Linux: "UTF-16" reads
// a BOM and is big-endian without one, "UTF-16LE"/"UTF-16BE" keep a BOM as U+FEFF.
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <string>

#include "xrfoundation/platform/charset.h"

namespace xr {
namespace {

struct CodePageName {
  const char* name;  // upper case, without '-', '_' and spaces
  UINT codePage;
};

// The encodings that phones and address books write. ISO-8859-x are the 2859x pages.
constexpr CodePageName kCodePages[] = {
    {"SHIFTJIS", 932}, {"SJIS", 932},      {"CP932", 932},    {"WINDOWS31J", 932}, {"MSKANJI", 932},
    {"EUCJP", 20932},  {"GBK", 936},       {"GB2312", 936},   {"CP936", 936},      {"BIG5", 950},
    {"CP950", 950},    {"EUCKR", 51949},   {"CP949", 949},    {"KOI8R", 20866},    {"KOI8U", 21866},
    {"ASCII", 20127},  {"USASCII", 20127}, {"LATIN1", 28591}, {"UTF8", CP_UTF8},   {"CP1250", 1250},
    {"CP1251", 1251},  {"CP1252", 1252},   {"CP1253", 1253},  {"CP1254", 1254},    {"CP1255", 1255},
    {"CP1256", 1256},  {"CP1257", 1257},   {"CP1258", 1258},
};

std::string normalized(const std::string& name) {
  std::string out;
  for (char c : name) {
    if (c == '-' || c == '_' || c == ' ') continue;
    out += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
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
// invalid one ends the converter's use.
class BlockConverter : public CharsetConverter {
 public:
  bool convert(std::string_view bytes, std::string& out) override {
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
  std::string pending_;
  bool broken_ = false;
};

class Utf16Converter final : public BlockConverter {
 public:
  enum class Order { Detect, Little, Big };
  explicit Utf16Converter(Order order) : order_(order) {}

 private:
  bool run(std::string_view in, std::string& out, std::size_t& used) override {
    std::size_t at = 0;
    auto unit = [&](std::size_t i) {
      const auto lo = static_cast<unsigned char>(in[i]);
      const auto hi = static_cast<unsigned char>(in[i + 1]);
      return order_ == Order::Little ? static_cast<std::uint32_t>(lo | hi << 8)
                                     : static_cast<std::uint32_t>(hi | lo << 8);
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
    while (at + 2 <= in.size()) {
      const std::uint32_t u = unit(at);
      if (u >= 0xDC00 && u <= 0xDFFF) return false;  // a low surrogate with no high one
      if (u >= 0xD800 && u <= 0xDBFF) {
        if (at + 4 > in.size()) break;  // the pair is cut
        const std::uint32_t low = unit(at + 2);
        if (low < 0xDC00 || low > 0xDFFF) return false;
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

  Order order_;
};

class CodePageConverter final : public BlockConverter {
 public:
  explicit CodePageConverter(UINT codePage) : codePage_(codePage) {
    CPINFO info{};
    doubleByte_ = ::GetCPInfo(codePage, &info) && info.MaxCharSize == 2;
  }

 private:
  bool run(std::string_view in, std::string& out, std::size_t& used) override {
    used = wholeLength(in);
    if (used == 0) return true;
    // Windows maps the five bytes that Windows-1252 leaves undefined to C1 controls; iconv
    // refuses them, and so do we.
    if (codePage_ == 1252 &&
        in.substr(0, used).find_first_of("\x81\x8D\x8F\x90\x9D") != std::string_view::npos) {
      return false;
    }
    const int length = static_cast<int>(used);
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
    if (!doubleByte_) return in.size();
    std::size_t at = 0;
    while (at < in.size()) {
      if (::IsDBCSLeadByteEx(codePage_, static_cast<BYTE>(in[at]))) {
        if (at + 1 == in.size()) return at;
        at += 2;
      } else {
        ++at;
      }
    }
    return in.size();
  }

  UINT codePage_;
  bool doubleByte_ = false;
};

}  // namespace

std::unique_ptr<CharsetConverter> CharsetConverter::toUtf8(const std::string& fromEncoding) {
  const std::string name = normalized(fromEncoding);
  if (name == "UTF16") return std::make_unique<Utf16Converter>(Utf16Converter::Order::Detect);
  if (name == "UTF16LE") return std::make_unique<Utf16Converter>(Utf16Converter::Order::Little);
  if (name == "UTF16BE") return std::make_unique<Utf16Converter>(Utf16Converter::Order::Big);
  const UINT codePage = codePageOf(name);
  if (codePage == 0 || !::IsValidCodePage(codePage)) return nullptr;
  return std::make_unique<CodePageConverter>(codePage);
}

std::optional<std::string> convertToUtf8(std::string_view text, std::string_view fromEncoding) {
  auto converter = CharsetConverter::toUtf8(std::string(fromEncoding));
  if (!converter) return std::nullopt;
  std::string out;
  if (!converter->convert(text, out) || converter->hasPendingBytes()) return std::nullopt;
  return out;
}

}  // namespace xr
