// contacts/vcard_property.cpp: the line formats of the vCard properties.
#include "xrfoundation/contacts/vcard_property.h"

#include <atomic>
#include <cstdint>

#include "xrfoundation/contacts/base64.h"
#include "xrfoundation/platform/image.h"

namespace xr {
namespace {

constexpr std::string_view kDefaultType = "OTHER";

bool hasText(const OptionalText& text) { return text && !text->empty(); }

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

std::string_view VCardProperty::typeOrOther(const OptionalText& type) {
  return type && !type->empty() ? std::string_view(*type) : kDefaultType;
}

OptionalText VCardProperty::valueEscaped() const {
  return value_.with([](const OptionalText& value) -> OptionalText {
    if (!value) return std::nullopt;
    return escapedNewLineString(*value);
  });
}

std::string VCardProperty::typeEscaped() const { return std::string(typeOrOther(type())); }

OptionalText VCardProperty::toVCardLine() const {
  std::string line;
  if (!appendVCardLine(line)) return std::nullopt;
  return line;
}

bool VCardProperty::appendVCardLine(std::string& out) const {
  const OptionalText cmd = this->cmd();
  const OptionalText value = this->value();
  if (!hasText(cmd) || !hasText(value)) return false;
  const OptionalText type = this->type();
  LineWriter line(out);
  line << *cmd;
  // Presence, not length, chooses the typed form: an empty type gives "TEL;type=;...".
  if (type) line << ";type=" << *type;
  line << ";charset=UTF-8:" << Escaped{*value};
  return true;
}

bool VCardEmail::appendVCardLine(std::string& out) const {
  const OptionalText value = this->value();
  if (!hasText(value)) return false;
  const OptionalText type = this->type();
  LineWriter(out) << "EMAIL;charset=UTF-8;type=INTERNET;type=" << typeOrOther(type)
                  << ";type=pref:" << Escaped{*value};
  return true;
}

bool VCardContactGroup::appendVCardLine(std::string& out) const {
  const OptionalText value = this->value();
  if (!hasText(value)) return false;
  LineWriter(out) << "CATEGORIES;CHARSET=utf-8:" << Escaped{*value};
  return true;
}

bool VCardBirthday::appendVCardLine(std::string& out) const {
  const OptionalText value = this->value();
  if (!hasText(value)) return false;
  LineWriter(out) << "BDAY:" << Escaped{*value};
  return true;
}

bool VCardTitle::appendVCardLine(std::string& out) const {
  const OptionalText value = this->value();
  if (!hasText(value)) return false;
  LineWriter(out) << "TITLE:" << Escaped{*value};
  return true;
}

bool VCardIM::appendVCardLine(std::string& out) const {
  const OptionalText value = this->value();
  if (!hasText(value)) return false;
  const OptionalText typeText = this->type();
  const std::string_view type = typeOrOther(typeText);
  std::string_view service = kUnknownImLinePrefix;
  for (const ImService& known : kImServices) {
    if (type == known.type) {
      service = known.linePrefix;
      break;
    }
  }
  const Escaped handle{*value};
  LineWriter(out) << "X-IM;" << type << ":" << handle << "\r\n" << service << handle;
  return true;
}

bool VCardDate::appendVCardLine(std::string& out) const {
  const OptionalText value = this->value();
  if (!hasText(value)) return false;
  const OptionalText typeText = this->type();
  const std::string_view type = typeOrOther(typeText);
  const Escaped date{*value};
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
  const OptionalText type = this->type();
  LineWriter(out) << "ADR;charset=UTF-8;type=" << typeOrOther(type)
                  << ";type=pref:" << Escaped{postOfficeAddress()} << ";"
                  << Escaped{extendedAddress()} << ";" << Escaped{street()} << ";"
                  << Escaped{locality()} << ";" << Escaped{region()} << ";" << Escaped{postalCode()}
                  << ";" << Escaped{country()};
  return true;
}

bool VCardName::appendVCardLine(std::string& out) const {
  LineWriter(out) << "N;charset=UTF-8:" << Escaped{firstName()} << ";" << Escaped{middleName()}
                  << ";" << Escaped{lastName()} << ";" << Escaped{prefix()} << ";"
                  << Escaped{suffix()};
  return true;
}

bool VCardNickName::appendVCardLine(std::string& out) const {
  LineWriter(out) << "NICKNAME;charset=UTF-8:" << Escaped{nickName()};
  return true;
}

bool VCardPhoto::appendVCardLine(std::string& out) const {
  return imageBase64_.with([&out](const OptionalText& encoded) {
    if (!hasText(encoded)) return false;
    LineWriter(out) << "PHOTO;ENCODING=base64;TYPE=JPEG:" << *encoded;
    return true;
  });
}

void VCardPhoto::setImage(const std::shared_ptr<const Image>& image) {
  OptionalText encoded;
  if (image) encoded = base64Encoding(image->jpegRepresentation());
  imageBase64_.set(std::move(encoded));
}

std::shared_ptr<const Image> VCardPhoto::image() const {
  const OptionalText encoded = imageBase64_.get();
  if (!encoded || encoded->empty()) return nullptr;
  auto bytes = dataWithBase64EncodedString(*encoded);
  if (!bytes) return nullptr;
  return Image::fromBytes(*bytes);
}

}  // namespace xr
