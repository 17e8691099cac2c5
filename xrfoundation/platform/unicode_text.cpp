// platform/unicode_text.cpp: foldedNfc over utf8proc.
#include "xrfoundation/platform/unicode_text.h"

#include <utf8proc.h>

#include <cstdlib>
#include <memory>

#include "xrfoundation/platform/ascii.h"

namespace xr {

std::string foldedNfc(std::string_view text) {
  if (text.empty()) return {};
  utf8proc_uint8_t* mapped = nullptr;
  const utf8proc_ssize_t length = utf8proc_map(
      reinterpret_cast<const utf8proc_uint8_t*>(text.data()),
      static_cast<utf8proc_ssize_t>(text.size()), &mapped,
      static_cast<utf8proc_option_t>(UTF8PROC_STABLE | UTF8PROC_COMPOSE | UTF8PROC_CASEFOLD));
  const std::unique_ptr<utf8proc_uint8_t, decltype(&std::free)> owned(mapped, &std::free);
  if (length >= 0) return std::string(reinterpret_cast<const char*>(mapped), length);
  // Not UTF-8: ASCII letters fold, other bytes stay.
  return toLowerCopy(text);
}

}  // namespace xr
