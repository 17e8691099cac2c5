// contacts/vcard_info.h: one vCard 3.0 record in the making. loadFromContactInfo() turns a
// contact into a version line and an ordered list of properties; toVCardData() renders them
// as UTF-8 bytes with CR LF line ends between "BEGIN:VCARD" and "END:VCARD", folding only the
// photo line at 64 characters. A VCardInfo has no lock: one thread uses it at a time, while
// records on different threads share only the item counter of grouped dates.
//
// That is the device form, which the phone and stored files rely on byte for byte. The
// standard form (VCardForm::Standard) is for other programs: see appendStandardVCard().
//
// Two lines of the device form keep the shape that stored files and the device expect,
// although a strict reader frowns on them: the N line holds the given name third
// ("N;charset=UTF-8:Lee;;Ann;;"), and the X-IM line's parameter is the service name itself
// ("X-IM;Google Talk:ann").
#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "xrfoundation/contacts/contact_info.h"
#include "xrfoundation/contacts/vcard_property.h"
#include "xrfoundation/contacts/vcard_standard.h"
#include "xrfoundation/export.h"

namespace xr {

// Folds a line into pieces of 64 characters (UTF-16 code units), each full piece followed by
// CR LF and one space. A line whose length is an exact multiple of 64 therefore ends with
// CR LF and a space. The empty line gives "".
std::string formatToFixWidth(std::string_view line);

// The two shapes in which a contact becomes a vCard 3.0 record.
enum class VCardForm {
  Device,    // the phone's own shape, unchanged: given name third in N, "charset=UTF-8"
             // parameters, X-IM pairs, only the photo folded (at 64 characters)
  Standard,  // what other programs read right: see appendStandardVCard()
};

// A vCard record in the making, rendered in one of the two forms.
class XR_EXPORT VCardInfo {
 public:
  VCardInfo() = default;  // no properties, absent version

  // Replaces the version ("VERSION:3.0") and every property with those of contact, in the
  // fixed order N, FN, NICKNAME, TEL, EMAIL, X-IM, dates, CATEGORIES, ADR, ORG, TITLE, URL,
  // NOTE, PHOTO. nullptr stands for an absent contact and yields an empty name alone.
  void loadFromContactInfo(const ContactInfo* contact);
  void loadFromContactInfo(const ContactInfo& contact) { loadFromContactInfo(&contact); }

  // Loads contact for rendering in form: the device form as above, or the standard form
  // (appendStandardVCard), whose text is made here and kept until the next load.
  void loadFromContactInfo(const ContactInfo& contact, VCardForm form);

  // The form that the last load chose; Device for a record never loaded.
  VCardForm form() const { return form_; }

  // The rendered record. Device form: grouped dates draw new item numbers at every
  // rendering, and the debug line "vcard: CLASS" is written per property. Standard form: the
  // text made by the load.
  std::vector<uint8_t> toVCardData() const;

  // The whole version line without its break: "VERSION:3.0" after a load, absent before.
  const std::optional<std::string>& version() const { return version_; }
  // Replaces the version line that the device form writes (an absent one is written as an
  // empty line); the standard form's text is not affected. The next load sets it again.
  void setVersion(std::optional<std::string> version) { version_ = std::move(version); }

  // Whole-line, case-insensitive matches of "BEGIN:VCARD" / "END:VCARD"; nothing is trimmed.
  static bool isBeginTag(std::string_view line);
  static bool isEndTag(std::string_view line);

  // The property name of a content line without its group prefix ("item1.X-ABDATE:x" gives
  // "X-ABDATE", "TEL;type=CELL:1" gives "TEL"); absent when the line has no ':' or ';'.
  static std::optional<std::string> extractPropertyName(std::string_view line);
  // True when the line's property name carries a group prefix ("item1.X-ABDATE:x").
  static bool isPropertyGroup(std::string_view line);

  // Reading content lines back into properties is not supported: these give nullptr for
  // every line, and extractForADR an address whose parts are all empty and whose type is
  // absent.
  static std::shared_ptr<VCardProperty> extractForN(std::string_view line);
  static std::shared_ptr<VCardProperty> extractForFN(std::string_view line);
  static std::shared_ptr<VCardProperty> extractForORG(std::string_view line);
  static std::shared_ptr<VCardProperty> extractForTEL(std::string_view line);
  static std::shared_ptr<VCardProperty> extractForEMAIL(std::string_view line);
  static std::shared_ptr<VCardAddress> extractForADR(std::string_view line);
  static std::shared_ptr<VCardProperty> extractInfo(std::string_view line);

 private:
  std::optional<std::string> version_;
  std::vector<std::shared_ptr<VCardProperty>> arrInfo_;
  const VCardPhoto* photo_ = nullptr;  // the photo in arrInfo_, whose line alone is folded
  VCardForm form_ = VCardForm::Device;
  std::string standard_;  // the standard form's record, when form_ is Standard
};

}  // namespace xr
