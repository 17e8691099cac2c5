#include "xrfoundation/platform/testing/turkish_locales.h"

#include <clocale>
#include <string>

namespace xr::testing {

int underTurkishLocales(const std::function<void(const char* locale)>& check) {
  const std::string saved = std::setlocale(LC_ALL, nullptr);
  int ran = 0;
  for (const char* locale : {"tr_TR.UTF-8", "tr_TR.ISO-8859-9"}) {
    if (!std::setlocale(LC_ALL, locale)) continue;
    ++ran;
    check(locale);
  }
  std::setlocale(LC_ALL, saved.c_str());
  return ran;
}

}  // namespace xr::testing
