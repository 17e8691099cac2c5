// platform/testing/turkish_locales.h: runs a check under the Turkish locales, whose case rules
// differ from ASCII's ("I" lowers to a dotless "ı", "i" raises to a dotted "İ"), for tests that
// show the library does not ask the process's locale. One thread at a time: the locale is the
// process's.
#pragma once
#include <functional>

namespace xr::testing {

// Calls check once under each Turkish locale this system has (tr_TR.UTF-8, tr_TR.ISO-8859-9),
// with its name, and restores the process's locale afterwards. Returns how many ran: 0 where
// the system has none (scripts/setup.sh makes the UTF-8 one with localedef).
int underTurkishLocales(const std::function<void(const char* locale)>& check);

}  // namespace xr::testing
