// contacts/vcard_types_internal.h: the standard vCard form's type words per contact-field
// kind, shared by the writer (vcard_standard.cpp) and the reader (vcard_parser.cpp) so that
// what one writes the other reads back as the same kind.
#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace xr::vcard_internal {

// The TYPE words of a kind in the standard form, comma-separated ("FAX,WORK"); "" for the
// kind that is written without a TYPE (each family's Other).
std::string_view standardNumberTypes(const std::optional<std::string>& kind);
std::string_view standardEmailTypes(const std::optional<std::string>& kind);
std::string_view standardAddressTypes(const std::optional<std::string>& kind);

// The kind that a set of TYPE words names, words in any letter case, with or without "X-";
// words that say nothing of the kind (PREF, VOICE, INTERNET, ...) are passed over. Unknown
// sets give the family's Other.
std::string numberKindOfTypes(const std::vector<std::string_view>& types);
std::string emailKindOfTypes(const std::vector<std::string_view>& types);
std::string addressKindOfTypes(const std::vector<std::string_view>& types);

// The property name of an instant-messaging service in the standard form ("X-SKYPE"), or ""
// for a kind that has none; and the service kind of such a name (absent when it names none).
std::string_view imPropertyOfKind(const std::optional<std::string>& kind);
std::optional<std::string> imKindOfProperty(std::string_view upperName);
// The service kind of an IMPP URI scheme ("xmpp", "skype"...) or X-SERVICE-TYPE value.
std::optional<std::string> imKindOfService(std::string_view service);

// The kind of a date from an Apple-style label ("_$!<Anniversary>!$_") or a plain word.
std::string dateKindOfLabel(std::string_view label);
// The label written beside a grouped date of the kind.
std::string_view dateLabelOfKind(const std::optional<std::string>& kind);

// The phone kind of an Apple-style label ("_$!<HomeFAX>!$_", "iPhone"), through the address
// book's label table; absent when the label names no kind.
std::optional<std::string> numberKindOfLabel(std::string_view label);
std::optional<std::string> emailKindOfLabel(std::string_view label);
std::optional<std::string> addressKindOfLabel(std::string_view label);

}  // namespace xr::vcard_internal
