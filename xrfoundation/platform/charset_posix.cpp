// platform/charset_posix.cpp: CharsetConverter over iconv(3) (Linux and other POSIX systems).
#include <iconv.h>

#include <algorithm>
#include <cerrno>

#include "xrfoundation/platform/ascii.h"
#include "xrfoundation/platform/charset.h"

namespace xr {
namespace {

constexpr std::size_t kOutputChunk = 16 * 1024;  // bytes of UTF-8 made per iconv call

class IconvConverter final : public CharsetConverter {
 public:
  explicit IconvConverter(iconv_t handle, bool lenient = false, std::size_t unit = 1)
      : handle_(handle), unit_(unit) {
    lenient_ = lenient;
  }
  ~IconvConverter() override { ::iconv_close(handle_); }
  IconvConverter(const IconvConverter&) = delete;
  IconvConverter& operator=(const IconvConverter&) = delete;

  bool convert(std::string_view bytes, std::string& out) override {
    replacements_.clear();
    if (broken_) return false;
    std::string joined;
    if (!pending_.empty()) {
      // The cut sequence goes first; a rare copy of one block.
      joined = std::move(pending_);
      joined.append(bytes);
      bytes = joined;
    }
    std::size_t used = 0;
    if (!run(bytes, out, used)) return false;
    pending_.assign(bytes.substr(used));
    return true;
  }

  bool hasPendingBytes() const override { return !pending_.empty(); }

 private:
  // Converts as much of in as forms whole sequences; used: how many bytes that was.
  bool run(std::string_view in, std::string& out, std::size_t& used) {
    char* source = const_cast<char*>(in.data());  // iconv's interface; it doesn't write there
    std::size_t sourceLeft = in.size();
    while (sourceLeft > 0) {
      const std::size_t start = out.size();
      out.resize(start + kOutputChunk);
      char* target = out.data() + start;
      std::size_t targetLeft = kOutputChunk;
      const std::size_t result = ::iconv(handle_, &source, &sourceLeft, &target, &targetLeft);
      out.resize(start + (kOutputChunk - targetLeft));
      if (result != static_cast<std::size_t>(-1)) continue;
      if (errno == E2BIG) continue;
      if (errno == EINVAL) break;  // a sequence cut by the end of in
      if (lenient_) {              // EILSEQ: one unit the encoding doesn't explain
        replaced(out);
        const std::size_t skip = std::min(unit_, sourceLeft);
        source += skip;
        sourceLeft -= skip;
        ::iconv(handle_, nullptr, nullptr, nullptr, nullptr);
        continue;
      }
      broken_ = true;  // EILSEQ: not text in this encoding
      used = in.size() - sourceLeft;
      return false;
    }
    used = in.size() - sourceLeft;
    return true;
  }

  iconv_t handle_;
  std::size_t unit_;  // bytes a lenient converter skips past a fault
  bool broken_ = false;
};

// One conversion descriptor per thread, kept for the charset last used: a file usually
// names the same charset on every line, and iconv_open reads tables each time.
class Converter {
 public:
  ~Converter() { close(); }

  iconv_t forCharset(std::string_view charset) {
    if (cd_ != invalid() && charset == charset_) {
      iconv(cd_, nullptr, nullptr, nullptr, nullptr);  // back to the initial shift state
      return cd_;
    }
    close();
    charset_.assign(charset);
    cd_ = iconv_open("UTF-8", charset_.c_str());
    return cd_;
  }

  static iconv_t invalid() { return reinterpret_cast<iconv_t>(-1); }

 private:
  void close() {
    if (cd_ != invalid()) iconv_close(cd_);
    cd_ = invalid();
  }

  std::string charset_;
  iconv_t cd_ = invalid();
};

}  // namespace

std::unique_ptr<CharsetConverter> CharsetConverter::toUtf8(const std::string& fromEncoding) {
  const iconv_t handle = ::iconv_open("UTF-8", fromEncoding.c_str());
  if (handle == reinterpret_cast<iconv_t>(-1)) return nullptr;
  return std::make_unique<IconvConverter>(handle);
}

std::unique_ptr<CharsetConverter> CharsetConverter::toUtf8Lenient(const std::string& fromEncoding) {
  const iconv_t handle = ::iconv_open("UTF-8", fromEncoding.c_str());
  if (handle == reinterpret_cast<iconv_t>(-1)) return nullptr;
  const std::size_t unit = startsWithIgnoringCase(fromEncoding, "UTF-16")   ? 2
                           : startsWithIgnoringCase(fromEncoding, "UTF-32") ? 4
                                                                            : 1;
  return std::make_unique<IconvConverter>(handle, true, unit);
}

std::optional<std::string> convertToUtf8(std::string_view bytes, std::string_view charset) {
  thread_local Converter converter;
  const iconv_t cd = converter.forCharset(charset);
  if (cd == Converter::invalid()) return std::nullopt;
  std::string out(bytes.size() * 2 + 16, '\0');
  char* in = const_cast<char*>(bytes.data());  // iconv's interface is not const-correct
  std::size_t inLeft = bytes.size();
  std::size_t written = 0;
  for (;;) {
    char* to = out.data() + written;
    std::size_t outLeft = out.size() - written;
    const std::size_t result = iconv(cd, inLeft ? &in : nullptr, &inLeft, &to, &outLeft);
    written = out.size() - outLeft;
    if (result != static_cast<std::size_t>(-1)) {
      if (inLeft == 0) break;
      continue;
    }
    if (errno == E2BIG) {
      out.resize(out.size() * 2);
      continue;
    }
    return std::nullopt;  // EILSEQ or EINVAL: not valid in that charset
  }
  // Flush a pending shift sequence.
  for (;;) {
    char* to = out.data() + written;
    std::size_t outLeft = out.size() - written;
    if (iconv(cd, nullptr, nullptr, &to, &outLeft) != static_cast<std::size_t>(-1)) {
      written = out.size() - outLeft;
      break;
    }
    if (errno != E2BIG) return std::nullopt;
    out.resize(out.size() * 2);
  }
  out.resize(written);
  return out;
}

}  // namespace xr
