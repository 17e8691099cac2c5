// phone/shared_numbers.h: finds the records (contacts, vCards, rows) that share a telephone
// number, by the library's comparison (compareStrict). Two records that hold numbers denoting
// the same line join one group, and so do chains of them (A shares a number with B, B another
// with C). The result is exactly that of comparing every number with every number of the other
// records, but only numbers that can be equal are compared: equal numbers end in the same
// digits and letters, so numbers are bucketed by their last few of them first.
//
// Pure: reads its input only, keeps no state; any thread may call it.
#pragma once
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "xrfoundation/export.h"

namespace xr {

// Records that share a telephone number with another record of the same group.
struct XR_EXPORT SharedNumberGroup {
  // One record of a group.
  struct Member {
    std::size_t record;                // index into the records given
    std::vector<std::string> numbers;  // its numbers equal to a number of another record, in
                                       // record order, each text once
  };
  std::vector<Member> members;  // two or more, in record order
};

// Groups the records whose numbers denote the same number. numbersByRecord holds each record's
// numbers as typed; a record that repeats its own number is no duplicate of itself. Groups
// come in the order of their first record. keepGoing (when given) is told the share of the
// work done, from time to time, and stops the work when it answers false; the result is then
// none. Numbers of 2^31 bytes or more equal nothing, as with compareStrict, and so do numbers
// without a digit ("", "abc"): compareStrict says such a text equals itself, but it denotes no
// line that two records could share.
XR_EXPORT std::optional<std::vector<SharedNumberGroup>> findSharedNumbers(
    const std::vector<std::vector<std::string>>& numbersByRecord,
    const std::function<bool(double)>& keepGoing = {});

}  // namespace xr
