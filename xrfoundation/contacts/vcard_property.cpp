// contacts/vcard_property.cpp: the line formats of the vCard properties.
#include "xrfoundation/contacts/vcard_property.h"

#include <atomic>
#include <cstdint>
#include <initializer_list>

#include "xrfoundation/contacts/base64.h"
#include "xrfoundation/platform/image.h"

namespace xr {
namespace {

constexpr std::string_view kDefaultType = "OTHER";

std::atomic<int32_t> gs_itemCounter{0};

// Joins pieces into one text with a single allocation.
std::string concat(std::initializer_list<std::string_view> pieces) {
  std::size_t size = 0;
  for (std::string_view piece : pieces) size += piece.size();
  std::string text;
  text.reserve(size);
  for (std::string_view piece : pieces) text.append(piece);
  return text;
}

// The service line that follows the generic X-IM line, by vCard service name.
struct ImService {
  std::string_view type;
  std::string_view linePrefix;  // everything before the handle
};
constexpr ImService kImServices[] = {
    {"AIM", "X-AIM;type=HOME:"},
    {"MSN", "X-MSN;type=HOME:"},
    {"Yahoo", "X-Yahoo;type=HOME:"},
    {"Skype", "X-Skype;type=HOME:"},
    {"QQ", "X-QQ;type=HOME:"},
    {"Google Talk", "IMPP;X-SERVICE-TYPE=GoogleTalk;type=HOME:xmpp:"},
    {"ICQ", "X-ICQ;type=HOME:"},
    {"Jabber", "X-Jabber;type=HOME:"},
};
// Every other service, Netmeeting and OTHER included.
constexpr std::string_view kUnknownImLinePrefix = "IMPP;X-SERVICE-TYPE=GaduGadu;type=HOME:xmpp:";

}  // namespace

std::string escapedNewLineString(std::string_view text) {
  std::size_t at = text.find_first_of("\r\n");
  if (at == std::string_view::npos) return std::string(text);
  std::string escaped;
  escaped.reserve(text.size() + 8);
  std::size_t from = 0;
  while (at != std::string_view::npos) {
    escaped.append(text, from, at - from);
    escaped.append("\\n");
    // A CR LF pair is one line break; a lone CR or a lone LF is one too, since a raw one
    // would end the content line early and leave the rest of the value without a name.
    from = at + 1;
    if (text[at] == '\r' && from < text.size() && text[from] == '\n') ++from;
    at = text.find_first_of("\r\n", from);
  }
  escaped.append(text, from);
  return escaped;
}

std::string createUniqueNumber() {
  return std::to_string(gs_itemCounter.fetch_add(1, std::memory_order_relaxed) + 1);
}

std::string_view VCardProperty::typeOrOther() const {
  return type_ && !type_->empty() ? std::string_view(*type_) : kDefaultType;
}

OptionalText VCardProperty::valueEscaped() const {
  std::lock_guard lock(mutex_);
  if (!value_) return std::nullopt;
  return escapedValue();
}

std::string VCardProperty::typeEscaped() const {
  std::lock_guard lock(mutex_);
  return std::string(typeOrOther());
}

OptionalText VCardProperty::toVCardLine() const {
  std::lock_guard lock(mutex_);
  if (!cmd_ || cmd_->empty() || !valueHasText()) return std::nullopt;
  // Presence, not length, chooses the typed form: an empty type gives "TEL;type=;...".
  if (type_) return concat({*cmd_, ";type=", *type_, ";charset=UTF-8:", escapedValue()});
  return concat({*cmd_, ";charset=UTF-8:", escapedValue()});
}

OptionalText VCardEmail::toVCardLine() const {
  std::lock_guard lock(mutex_);
  if (!valueHasText()) return std::nullopt;
  return concat(
      {"EMAIL;charset=UTF-8;type=INTERNET;type=", typeOrOther(), ";type=pref:", escapedValue()});
}

OptionalText VCardContactGroup::toVCardLine() const {
  std::lock_guard lock(mutex_);
  if (!valueHasText()) return std::nullopt;
  return concat({"CATEGORIES;CHARSET=utf-8:", escapedValue()});
}

OptionalText VCardBirthday::toVCardLine() const {
  std::lock_guard lock(mutex_);
  if (!valueHasText()) return std::nullopt;
  return concat({"BDAY:", escapedValue()});
}

OptionalText VCardTitle::toVCardLine() const {
  std::lock_guard lock(mutex_);
  if (!valueHasText()) return std::nullopt;
  return concat({"TITLE:", escapedValue()});
}

OptionalText VCardIM::toVCardLine() const {
  std::lock_guard lock(mutex_);
  if (!valueHasText()) return std::nullopt;
  const std::string_view type = typeOrOther();
  const std::string handle = escapedValue();
  std::string_view service = kUnknownImLinePrefix;
  for (const ImService& known : kImServices) {
    if (type == known.type) {
      service = known.linePrefix;
      break;
    }
  }
  return concat({"X-IM;", type, ":", handle, "\r\n", service, handle});
}

OptionalText VCardDate::toVCardLine() const {
  std::lock_guard lock(mutex_);
  if (!valueHasText()) return std::nullopt;
  const std::string_view type = typeOrOther();
  const std::string date = escapedValue();
  std::string_view label;
  if (type == "Anniversary") {
    label = "_$!<Anniversary>!$_";
  } else if (type == "Other") {
    label = "_$!<Other>!$_";
  } else {
    return concat({"X-DE;", type, ":", date});
  }
  // The number is drawn at each rendering, so that two grouped dates never share a group
  // even across records.
  const std::string item = createUniqueNumber();
  return concat({"item", item, ".X-ABDATE:", date, "\r\nitem", item, ".X-ABLabel:", label,
                 "\r\nX-DE;", type, ":", date});
}

OptionalText VCardAddress::toVCardLine() const {
  std::lock_guard lock(mutex_);
  return concat({"ADR;charset=UTF-8;type=", typeOrOther(),
                 ";type=pref:", escapedNewLineString(postOfficeAddress_), ";",
                 escapedNewLineString(extendedAddress_), ";", escapedNewLineString(street_), ";",
                 escapedNewLineString(locality_), ";", escapedNewLineString(region_), ";",
                 escapedNewLineString(postalCode_), ";", escapedNewLineString(country_)});
}

OptionalText VCardName::toVCardLine() const {
  std::lock_guard lock(mutex_);
  return concat({"N;charset=UTF-8:", escapedNewLineString(firstName_), ";",
                 escapedNewLineString(middleName_), ";", escapedNewLineString(lastName_), ";",
                 escapedNewLineString(prefix_), ";", escapedNewLineString(suffix_)});
}

OptionalText VCardNickName::toVCardLine() const {
  std::lock_guard lock(mutex_);
  return concat({"NICKNAME;charset=UTF-8:", escapedNewLineString(nickName_)});
}

OptionalText VCardPhoto::toVCardLine() const {
  std::lock_guard lock(mutex_);
  if (!imageBase64_ || imageBase64_->empty()) return std::nullopt;
  return concat({"PHOTO;ENCODING=base64;TYPE=JPEG:", *imageBase64_});
}

void VCardPhoto::setImage(const std::shared_ptr<const Image>& image) {
  OptionalText encoded;
  if (image) encoded = base64Encoding(image->jpegRepresentation());
  std::lock_guard lock(mutex_);
  imageBase64_ = std::move(encoded);
}

std::shared_ptr<const Image> VCardPhoto::image() const {
  OptionalText encoded;
  {
    std::lock_guard lock(mutex_);
    encoded = imageBase64_;
  }
  if (!encoded || encoded->empty()) return nullptr;
  auto bytes = dataWithBase64EncodedString(*encoded);
  if (!bytes) return nullptr;
  return Image::fromBytes(*bytes);
}

}  // namespace xr
