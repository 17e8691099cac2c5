// contacts/vcard_property.cpp: the line formats of the vCard properties.
#include "xrfoundation/contacts/vcard_property.h"

#include <atomic>
#include <cstdint>

#include "xrfoundation/contacts/base64.h"
#include "xrfoundation/platform/image.h"

namespace xr {
namespace {

constexpr std::string_view kDefaultType = "OTHER";

std::atomic<int32_t> gs_itemCounter{0};

// Appends pieces in order; escaped pieces go through the line-break escaping.
class LineWriter {
 public:
  explicit LineWriter(std::string& out) : out_(out) {}
  LineWriter& operator<<(std::string_view piece) {
    out_.append(piece);
    return *this;
  }
  struct Escaped {
    std::string_view text;
  };
  LineWriter& operator<<(Escaped piece) {
    appendEscapedNewLines(out_, piece.text);
    return *this;
  }

 private:
  std::string& out_;
};
using Escaped = LineWriter::Escaped;

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

void appendEscapedNewLines(std::string& out, std::string_view text) {
  // A plain scan: find_first_of would search its two-character set once per character.
  const char* from = text.data();
  const char* const end = from + text.size();
  for (const char* at = from; at != end; ++at) {
    if (*at != '\r' && *at != '\n') continue;
    out.append(from, at);
    out.append("\\n");
    // A CR LF pair is one line break; a lone CR or a lone LF is one too, since a raw one
    // would end the content line early and leave the rest of the value without a name.
    if (*at == '\r' && at + 1 != end && at[1] == '\n') ++at;
    from = at + 1;
  }
  out.append(from, end);
}

std::string escapedNewLineString(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size());
  appendEscapedNewLines(escaped, text);
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
  return escapedNewLineString(*value_);
}

std::string VCardProperty::typeEscaped() const {
  std::lock_guard lock(mutex_);
  return std::string(typeOrOther());
}

OptionalText VCardProperty::toVCardLine() const {
  std::string line;
  if (!appendVCardLine(line)) return std::nullopt;
  return line;
}

bool VCardProperty::appendVCardLine(std::string& out) const {
  std::lock_guard lock(mutex_);
  if (!cmd_ || cmd_->empty() || !valueHasText()) return false;
  LineWriter line(out);
  line << *cmd_;
  // Presence, not length, chooses the typed form: an empty type gives "TEL;type=;...".
  if (type_) line << ";type=" << *type_;
  line << ";charset=UTF-8:" << Escaped{*value_};
  return true;
}

bool VCardEmail::appendVCardLine(std::string& out) const {
  std::lock_guard lock(mutex_);
  if (!valueHasText()) return false;
  LineWriter(out) << "EMAIL;charset=UTF-8;type=INTERNET;type=" << typeOrOther()
                  << ";type=pref:" << Escaped{rawValue()};
  return true;
}

bool VCardContactGroup::appendVCardLine(std::string& out) const {
  std::lock_guard lock(mutex_);
  if (!valueHasText()) return false;
  LineWriter(out) << "CATEGORIES;CHARSET=utf-8:" << Escaped{rawValue()};
  return true;
}

bool VCardBirthday::appendVCardLine(std::string& out) const {
  std::lock_guard lock(mutex_);
  if (!valueHasText()) return false;
  LineWriter(out) << "BDAY:" << Escaped{rawValue()};
  return true;
}

bool VCardTitle::appendVCardLine(std::string& out) const {
  std::lock_guard lock(mutex_);
  if (!valueHasText()) return false;
  LineWriter(out) << "TITLE:" << Escaped{rawValue()};
  return true;
}

bool VCardIM::appendVCardLine(std::string& out) const {
  std::lock_guard lock(mutex_);
  if (!valueHasText()) return false;
  const std::string_view type = typeOrOther();
  std::string_view service = kUnknownImLinePrefix;
  for (const ImService& known : kImServices) {
    if (type == known.type) {
      service = known.linePrefix;
      break;
    }
  }
  const Escaped handle{rawValue()};
  LineWriter(out) << "X-IM;" << type << ":" << handle << "\r\n" << service << handle;
  return true;
}

bool VCardDate::appendVCardLine(std::string& out) const {
  std::lock_guard lock(mutex_);
  if (!valueHasText()) return false;
  const std::string_view type = typeOrOther();
  const Escaped date{rawValue()};
  LineWriter line(out);
  std::string_view label;
  if (type == "Anniversary") {
    label = "_$!<Anniversary>!$_";
  } else if (type == "Other") {
    label = "_$!<Other>!$_";
  }
  if (!label.empty()) {
    // The number is drawn at each rendering, so that two grouped dates never share a group
    // even across records.
    const std::string item = createUniqueNumber();
    line << "item" << item << ".X-ABDATE:" << date << "\r\nitem" << item << ".X-ABLabel:" << label
         << "\r\n";
  }
  line << "X-DE;" << type << ":" << date;
  return true;
}

bool VCardAddress::appendVCardLine(std::string& out) const {
  std::lock_guard lock(mutex_);
  LineWriter(out) << "ADR;charset=UTF-8;type=" << typeOrOther()
                  << ";type=pref:" << Escaped{postOfficeAddress_} << ";"
                  << Escaped{extendedAddress_} << ";" << Escaped{street_} << ";"
                  << Escaped{locality_} << ";" << Escaped{region_} << ";" << Escaped{postalCode_}
                  << ";" << Escaped{country_};
  return true;
}

bool VCardName::appendVCardLine(std::string& out) const {
  std::lock_guard lock(mutex_);
  LineWriter(out) << "N;charset=UTF-8:" << Escaped{firstName_} << ";" << Escaped{middleName_} << ";"
                  << Escaped{lastName_} << ";" << Escaped{prefix_} << ";" << Escaped{suffix_};
  return true;
}

bool VCardNickName::appendVCardLine(std::string& out) const {
  std::lock_guard lock(mutex_);
  LineWriter(out) << "NICKNAME;charset=UTF-8:" << Escaped{nickName_};
  return true;
}

bool VCardPhoto::appendVCardLine(std::string& out) const {
  std::lock_guard lock(mutex_);
  if (!imageBase64_ || imageBase64_->empty()) return false;
  LineWriter(out) << "PHOTO;ENCODING=base64;TYPE=JPEG:" << *imageBase64_;
  return true;
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
