// contacts/label_conversion_internal.h: the label table's look-ups without strings, for the
// vCard import, which looks up the label of every grouped line. Pure; any thread.
#pragma once
#include <string_view>

namespace xr::label_internal {

// The enumeration name that the label table gives label ("phone.workfax" -> E_Number_FaxWork),
// or nullptr for a label it lacks: convertPhoneLabel() and its kin without their default.
const char* phoneKindOfLabel(std::string_view label);
const char* emailKindOfLabel(std::string_view label);
const char* addressKindOfLabel(std::string_view label);

}  // namespace xr::label_internal
