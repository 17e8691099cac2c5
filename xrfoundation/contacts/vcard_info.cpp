// contacts/vcard_info.cpp: composing a vCard record from a contact.
#include "xrfoundation/contacts/vcard_info.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "xrfoundation/contacts/contact_enums.h"
#include "xrfoundation/contacts/label_conversion.h"
#include "xrfoundation/platform/ascii.h"
#include "xrfoundation/platform/log_internal.h"
#include "xrfoundation/platform/utf8_internal.h"

namespace xr {
namespace {

constexpr std::size_t kFoldWidth = 64;  // UTF-16 code units per folded piece
constexpr std::string_view kFoldBreak = "\r\n ";
constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kBegin = "BEGIN:VCARD";
constexpr std::string_view kEnd = "END:VCARD";
constexpr char kVersion[] = "VERSION:3.0";

bool hasText(const std::optional<std::string>& text) { return text && !text->empty(); }

std::string orEmpty(const std::optional<std::string>& text) { return text.value_or(""); }

template <class Property>
std::shared_ptr<Property> withValue(std::optional<std::string> value,
                                    std::optional<std::string> type = std::nullopt) {
  auto property = std::make_shared<Property>();
  property->setValue(std::move(value));
  if (type) property->setType(std::move(type));
  return property;
}

}  // namespace

std::string formatToFixWidth(std::string_view line) {
  std::string folded;
  const bool ascii = std::all_of(line.begin(), line.end(),
                                 [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  if (ascii) {
    folded.reserve(line.size() + line.size() / kFoldWidth * kFoldBreak.size() + 3);
    for (std::size_t at = 0; at < line.size(); at += kFoldWidth) {
      const std::string_view piece = line.substr(at, kFoldWidth);
      folded.append(piece);
      if (piece.size() == kFoldWidth) folded.append(kFoldBreak);
    }
    return folded;
  }
  // Characters are counted as UTF-16 code units; a character of two units that would
  // straddle a boundary moves whole to the next piece, since UTF-8 cannot split it.
  std::size_t at = 0;
  while (at < line.size()) {
    std::size_t units = 0;
    std::size_t end = at;
    while (end < line.size()) {
      // A byte that begins no character counts as one, as the U+FFFD that stands for it would.
      char32_t code = 0;
      std::size_t length = utf8::decode(line.substr(end), &code);
      const std::size_t charUnits = length != 0 && code > 0xFFFF ? 2 : 1;
      if (length == 0) length = 1;
      if (units + charUnits > kFoldWidth) break;
      units += charUnits;
      end += length;
    }
    folded.append(line.substr(at, end - at));
    if (units == kFoldWidth || end < line.size()) folded.append(kFoldBreak);
    at = end;
  }
  return folded;
}

void VCardInfo::loadFromContactInfo(const ContactInfo& contact, VCardForm form) {
  if (form == VCardForm::Device) return loadFromContactInfo(&contact);
  version_ = kVersion;
  arrInfo_.clear();
  photo_ = nullptr;
  form_ = VCardForm::Standard;
  standard_.clear();
  appendStandardVCard(contact, standard_);
}

void VCardInfo::loadFromContactInfo(const ContactInfo* contact) {
  form_ = VCardForm::Device;
  standard_.clear();
  version_ = kVersion;
  arrInfo_.clear();
  photo_ = nullptr;

  // The given name goes third: the device and stored files read N as
  // family;middle;given;prefix;suffix.
  auto name = std::make_shared<VCardName>();
  if (contact) {
    name->setFirstName(orEmpty(contact->familyName));
    name->setMiddleName(orEmpty(contact->middleName));
    name->setLastName(orEmpty(contact->givenName));
    name->setPrefix(orEmpty(contact->prefix));
    name->setSuffix(orEmpty(contact->suffix));
  }
  arrInfo_.push_back(std::move(name));
  if (!contact) return;

  if (hasText(contact->displayName)) {
    arrInfo_.push_back(withValue<VCardFullName>(contact->displayName));
  }
  if (hasText(contact->nickname)) {
    auto nickname = std::make_shared<VCardNickName>();
    nickname->setNickName(*contact->nickname);
    arrInfo_.push_back(std::move(nickname));
  }
  for (const auto& item : contact->groupNumber.arrItem) {
    arrInfo_.push_back(
        withValue<VCardTel>(item.mobile, convertContactNumberTypeToVCard(item.mobileType)));
  }
  for (const auto& item : contact->groupEmail.arrItem) {
    arrInfo_.push_back(
        withValue<VCardEmail>(item.email, convertContactEmailTypeToVCard(item.emailType)));
  }
  for (const auto& item : contact->groupIm.arrItem) {
    arrInfo_.push_back(withValue<VCardIM>(item.im, convertContactImTypeToVCard(item.imType)));
  }
  // Only the first birthday also becomes the BDAY line, just before its own date line.
  bool birthdayPending = true;
  for (const auto& item : contact->groupDate.arrItem) {
    auto date = withValue<VCardDate>(item.date, convertContactDateTypeToVCard(item.dateType));
    if (birthdayPending && item.dateType == E_Date_Birthday) {
      arrInfo_.push_back(withValue<VCardBirthday>(item.date));
      birthdayPending = false;
    }
    arrInfo_.push_back(std::move(date));
  }
  if (const auto* groups = contact->userDataForKey(kContactGroupNamesKey)) {
    for (const std::string& group : *groups) {
      arrInfo_.push_back(withValue<VCardContactGroup>(group));
    }
  }
  for (const auto& item : contact->groupAddress.arrItem) {
    auto address = std::make_shared<VCardAddress>();
    address->setType(convertContactAddressTypeToVCard(item.addressType));
    address->setStreet(orEmpty(item.street));
    address->setLocality(orEmpty(item.city));
    address->setRegion(orEmpty(item.region));
    address->setPostalCode(orEmpty(item.postcode));
    address->setCountry(orEmpty(item.country));
    arrInfo_.push_back(std::move(address));
  }
  for (const auto& item : contact->groupOrganization.arrItem) {
    // Company and department are joined by "\;", which the escaping leaves alone and a
    // vCard reader takes as a semicolon inside the organisation's name ("Acme;Sales"), the
    // form that stored files and the device hold. A department without a company follows an
    // empty company.
    std::optional<std::string> value = item.company;
    if (hasText(item.department)) value = orEmpty(item.company) + "\\;" + *item.department;
    arrInfo_.push_back(withValue<VCardOrg>(std::move(value)));
  }
  for (const auto& item : contact->groupOrganization.arrItem) {
    arrInfo_.push_back(withValue<VCardTitle>(hasText(item.title) ? item.title : " "));
  }
  for (const auto& item : contact->groupWebsite.arrItem) {
    arrInfo_.push_back(withValue<VCardURL>(item.website));
  }
  for (const auto& item : contact->groupNote.arrItem) {
    arrInfo_.push_back(withValue<VCardNote>(item.note));
  }
  if (contact->icon) {
    auto photo = std::make_shared<VCardPhoto>();
    photo->setImage(contact->icon);
    photo_ = photo.get();
    arrInfo_.push_back(std::move(photo));
  }
}

std::vector<uint8_t> VCardInfo::toVCardData() const {
  if (form_ == VCardForm::Standard) return std::vector<uint8_t>(standard_.begin(), standard_.end());
  std::string text;
  text.reserve(256 + arrInfo_.size() * 64);
  text.append(kBegin).append(kLineEnd);
  if (version_) text.append(*version_);
  text.append(kLineEnd);
  for (const auto& property : arrInfo_) {
    consoleLog().debug("vcard: {}", property->className());
    const std::size_t lineStart = text.size();
    if (!property->appendVCardLine(text)) continue;
    // Only the photo line is folded; every other line, however long, stays whole.
    if (property.get() == photo_) {
      std::string folded = formatToFixWidth(std::string_view(text).substr(lineStart));
      text.replace(lineStart, std::string::npos, folded);
    }
    text.append(kLineEnd);
  }
  text.append(kEnd).append(kLineEnd);
  std::vector<uint8_t> bytes(text.size());
  std::memcpy(bytes.data(), text.data(), text.size());
  return bytes;
}

bool VCardInfo::isBeginTag(std::string_view line) { return equalsIgnoringCase(line, kBegin); }
bool VCardInfo::isEndTag(std::string_view line) { return equalsIgnoringCase(line, kEnd); }

std::optional<std::string> VCardInfo::extractPropertyName(std::string_view line) {
  const std::size_t cut = line.find_first_of(":;");
  if (cut == std::string_view::npos) return std::nullopt;  // a single piece
  const std::string_view first = line.substr(0, cut);
  const std::size_t dot = first.find('.');
  return std::string(dot == std::string_view::npos ? first : first.substr(dot + 1));
}

bool VCardInfo::isPropertyGroup(std::string_view line) {
  const std::size_t cut = line.find_first_of(":;");
  return cut != std::string_view::npos && line.substr(0, cut).find('.') != std::string_view::npos;
}

std::shared_ptr<VCardProperty> VCardInfo::extractForN(std::string_view) { return nullptr; }
std::shared_ptr<VCardProperty> VCardInfo::extractForFN(std::string_view) { return nullptr; }
std::shared_ptr<VCardProperty> VCardInfo::extractForORG(std::string_view) { return nullptr; }
std::shared_ptr<VCardProperty> VCardInfo::extractForTEL(std::string_view) { return nullptr; }
std::shared_ptr<VCardProperty> VCardInfo::extractForEMAIL(std::string_view) { return nullptr; }
std::shared_ptr<VCardAddress> VCardInfo::extractForADR(std::string_view) {
  return std::make_shared<VCardAddress>();
}
std::shared_ptr<VCardProperty> VCardInfo::extractInfo(std::string_view) { return nullptr; }

}  // namespace xr
