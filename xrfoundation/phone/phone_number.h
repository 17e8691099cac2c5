// phone/phone_number.h: decides whether two telephone numbers, as people type them and as the
// phone stores them, denote the same line: "650-253-0000" and "+1 650-253-0000", or
// "090-1234-5678" and "+81-90-1234-5678", are one number; "090-1234-5678" and "90-1234-5678"
// are not. Separators of every kind, an international prefix with a country calling code on
// one side only, a trunk digit on the side without one and a single leading "1" are tolerated.
//
// The byte routines take NUL-terminated UTF-8 texts (a null pointer is an absent text and
// counts as ""). They allocate nothing, copy nothing, keep no state and read only inside the
// texts they are given, so any thread may call them at any time.
#pragma once
#include <cstdint>
#include <optional>
#include <string_view>

#include "xrfoundation/export.h"

namespace xr {

// True when a and b denote the same number. Letters take part and must match exactly (case
// included); every byte that is neither a digit, '#', '*', '+' nor an ASCII letter is a
// separator. The result is the same with a and b swapped, and a text always equals itself.
// A text of 2^31 bytes or more is no telephone number: it compares different from everything.
[[nodiscard]] XR_EXPORT bool phone_number_compare_strict(const char* a, const char* b);

// Writes the dialable characters (digits, '#', '*', 'N' and one '+', the rightmost) of the part
// of input before its first ',' or ';', last character first, into out, at most capacity
// of them; stores their number in *count. The output is not NUL-terminated. A null input
// counts as "", a null out or a negative capacity as capacity 0, and a null count is not
// written. Always returns true.
XR_EXPORT bool phone_number_stripped_reversed_inter(const char* input, char* out, int32_t capacity,
                                                    int32_t* count);

// phone_number_compare_strict over the library's texts: every '(' and ')' is removed from
// both first (so "1(6)6 1234" reads as "166 1234"), and an absent other counts as "". As with
// the byte texts, a text ends at its first NUL byte. Allocates the two copies.
[[nodiscard]] XR_EXPORT bool compareStrict(std::string_view text,
                                           std::optional<std::string_view> other);

}  // namespace xr
