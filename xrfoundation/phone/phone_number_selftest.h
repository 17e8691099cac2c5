// phone/phone_number_selftest.h: the built-in self-test of the telephone-number comparison.
// A fixed table of 45 pairs with their expected outcome is both the test and the reference
// statement of how the comparison behaves. Output goes to a stdio stream (standard output
// unless told otherwise), since the phone folder depends on nothing else of the library.
#pragma once
#include <cstdint>
#include <cstdio>

#include "xrfoundation/export.h"
#include "xrfoundation/phone/phone_number.h"

namespace xr {

// Runs every row through phone_number_compare_strict and prints one line per row whose
// result differs from the expectation, e.g. "123456789 == 923456789 while we expect
// 123456789 != 923456789", then "total: 45, error: N", an empty line and "Success!" or
// "Failure... :(". An absent text shows as "(null)". Always returns 0.
XR_EXPORT int32_t testPhoneNumber(std::FILE* out = stdout);

// The same run with the same output, returning the number of failing rows. compare stands
// in for phone_number_compare_strict (a test can feed a faulty comparison).
XR_EXPORT int32_t
runPhoneNumberSelfTest(std::FILE* out = stdout,
                       bool (*compare)(const char*, const char*) = phone_number_compare_strict);

}  // namespace xr
