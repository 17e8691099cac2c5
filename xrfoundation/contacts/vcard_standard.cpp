// contacts/vcard_standard.cpp: the writer of the standard form -- escaping ("\\", "\,", "\;",
// "\n"), a line writer that folds at 75 octets without cutting a UTF-8 sequence, and the item
// groups (numbered from 1 in each record) that tie dates other than the first birthday, and
// several organisations, to their labels and titles.
#include "xrfoundation/contacts/vcard_standard.h"

#include <algorithm>
#include <initializer_list>
#include <string>
#include <string_view>

#include "xrfoundation/contacts/base64.h"
#include "xrfoundation/contacts/contact_csv_row.h"
#include "xrfoundation/contacts/contact_enums.h"
#include "xrfoundation/contacts/vcard_property.h"
#include "xrfoundation/contacts/vcard_types_internal.h"
#include "xrfoundation/platform/image.h"

namespace xr {
namespace {

constexpr std::size_t kLineOctets = 75;  // octets of a physical line, CR LF not counted

bool hasText(const std::optional<std::string>& text) { return text && !text->empty(); }

void appendEscaped(std::string& out, std::string_view text) {
  for (std::size_t at = 0; at < text.size(); ++at) {
    const char c = text[at];
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case ',':
        out += "\\,";
        break;
      case ';':
        out += "\\;";
        break;
      case '\r':
        if (at + 1 < text.size() && text[at + 1] == '\n') ++at;
        out += "\\n";
        break;
      case '\n':
        out += "\\n";
        break;
      default:
        out.push_back(c);
    }
  }
}

// Writes logical lines, each folded and ended with CR LF.
class Writer {
 public:
  explicit Writer(std::string& out) : out_(out) {}

  // Starts a line: "[group.]NAME[;TYPE=types]:".
  Writer& begin(std::string_view name, std::string_view types = {}, std::string_view group = {}) {
    lineStart_ = out_.size();
    if (!group.empty()) out_.append(group).push_back('.');
    out_.append(name);
    if (!types.empty()) out_.append(";TYPE=").append(types);
    out_.push_back(':');
    return *this;
  }
  Writer& text(std::string_view value) {
    appendEscaped(out_, value);
    return *this;
  }
  // A structured value: each component escaped, ";" between them.
  Writer& components(std::initializer_list<std::string_view> values) {
    std::string_view separator;
    for (std::string_view value : values) {
      raw(separator).text(value);
      separator = ";";
    }
    return *this;
  }
  Writer& raw(std::string_view value) {
    out_.append(value);
    return *this;
  }
  // A value that is no text (a number, URI or handle): written as it is, but a line break
  // in it is escaped, since a raw one would end the line.
  Writer& uri(std::string_view value) {
    appendEscapedNewLines(out_, value);
    return *this;
  }
  void end() {
    fold();
    out_.append("\r\n");
  }

  // A whole line whose value is one escaped text.
  void textLine(std::string_view name, std::string_view value, std::string_view types = {},
                std::string_view group = {}) {
    begin(name, types, group).text(value).end();
  }

 private:
  // Folds the line begun at lineStart_: pieces of at most 75 octets, each later one after
  // CR LF and a space (which counts), never between the bytes of one UTF-8 sequence.
  void fold() {
    if (out_.size() - lineStart_ <= kLineOctets) return;
    std::string line = out_.substr(lineStart_);
    out_.resize(lineStart_);
    std::size_t at = 0;
    std::size_t room = kLineOctets;
    while (line.size() - at > room) {
      std::size_t cut = at + room;
      while (cut > at && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) --cut;
      if (cut == at) cut = at + room;  // no lead byte in reach: not UTF-8, cut anyway
      out_.append(line, at, cut - at).append("\r\n ");
      at = cut;
      room = kLineOctets - 1;
    }
    out_.append(line, at, std::string::npos);
  }

  std::string& out_;
  std::size_t lineStart_ = 0;
};

// The formatted name a contact without a display name gets, as vCard 3.0 requires one:
// its name parts, else its first company, e-mail address or number.
std::optional<std::string> fallbackFullName(const ContactInfo& contact) {
  if (auto name = displayNameFromParts(contact)) return name;
  for (const auto& item : contact.groupOrganization.arrItem) {
    if (hasText(item.company)) return item.company;
  }
  for (const auto& item : contact.groupEmail.arrItem) {
    if (hasText(item.email)) return item.email;
  }
  for (const auto& item : contact.groupNumber.arrItem) {
    if (hasText(item.mobile)) return item.mobile;
  }
  return std::nullopt;
}

const std::string& orEmpty(const std::optional<std::string>& text) {
  static const std::string empty;
  return text ? *text : empty;
}

}  // namespace

void appendStandardVCard(const ContactInfo& contact, std::string& out) {
  Writer line(out);
  int item = 0;
  const auto nextGroup = [&item] { return "item" + std::to_string(++item); };

  out.append("BEGIN:VCARD\r\nVERSION:3.0\r\n");
  line.begin("N")
      .components({orEmpty(contact.familyName), orEmpty(contact.givenName),
                   orEmpty(contact.middleName), orEmpty(contact.prefix), orEmpty(contact.suffix)})
      .end();
  const auto fullName =
      hasText(contact.displayName) ? contact.displayName : fallbackFullName(contact);
  if (fullName) line.textLine("FN", *fullName);
  if (hasText(contact.nickname)) line.textLine("NICKNAME", *contact.nickname);

  for (const auto& number : contact.groupNumber.arrItem) {
    if (!hasText(number.mobile)) continue;
    line.begin("TEL", vcard_internal::standardNumberTypes(number.mobileType))
        .uri(*number.mobile)
        .end();
  }
  for (const auto& email : contact.groupEmail.arrItem) {
    if (!hasText(email.email)) continue;
    line.textLine("EMAIL", *email.email, vcard_internal::standardEmailTypes(email.emailType));
  }
  for (const auto& im : contact.groupIm.arrItem) {
    if (!hasText(im.im)) continue;
    const std::string_view property = vcard_internal::imPropertyOfKind(im.imType);
    if (!property.empty()) {
      line.begin(property).uri(*im.im).end();
    } else {
      // A handle of no known service: an IMPP URI, "im:" when it has no scheme of its own.
      line.begin("IMPP").raw(im.im->find(':') == std::string::npos ? "im:" : "").uri(*im.im).end();
    }
  }
  bool birthdayPending = true;
  for (const auto& date : contact.groupDate.arrItem) {
    if (!hasText(date.date)) continue;
    if (birthdayPending && date.dateType == E_Date_Birthday) {
      line.textLine("BDAY", *date.date);
      birthdayPending = false;
      continue;
    }
    const std::string group = nextGroup();
    line.textLine("X-ABDATE", *date.date, {}, group);
    line.textLine("X-ABLabel", vcard_internal::dateLabelOfKind(date.dateType), {}, group);
  }
  if (const auto* groups = contact.userDataForKey(kContactGroupNamesKey)) {
    bool first = true;
    for (const std::string& name : *groups) {
      if (name.empty()) continue;
      if (first) line.begin("CATEGORIES");
      line.raw(first ? "" : ",").text(name);
      first = false;
    }
    if (!first) line.end();
  }
  for (const auto& address : contact.groupAddress.arrItem) {
    if (!hasText(address.street) && !hasText(address.city) && !hasText(address.region) &&
        !hasText(address.postcode) && !hasText(address.country))
      continue;
    line.begin("ADR", vcard_internal::standardAddressTypes(address.addressType))
        .components({"", "", orEmpty(address.street), orEmpty(address.city),
                     orEmpty(address.region), orEmpty(address.postcode), orEmpty(address.country)})
        .end();
  }
  // One organisation is written plainly; several are grouped, so that each title stays with
  // its own organisation.
  const auto& organizations = contact.groupOrganization.arrItem;
  for (const auto& organization : organizations) {
    const bool named = hasText(organization.company) || hasText(organization.department);
    if (!named && !hasText(organization.title)) continue;
    const std::string group = organizations.size() > 1 ? nextGroup() : std::string();
    if (named) {
      line.begin("ORG", {}, group).text(orEmpty(organization.company));
      if (hasText(organization.department)) line.raw(";").text(*organization.department);
      line.end();
    }
    if (hasText(organization.title)) line.textLine("TITLE", *organization.title, {}, group);
  }
  for (const auto& website : contact.groupWebsite.arrItem) {
    if (hasText(website.website)) line.begin("URL").uri(*website.website).end();
  }
  for (const auto& note : contact.groupNote.arrItem) {
    if (hasText(note.note)) line.textLine("NOTE", *note.note);
  }
  if (contact.icon) {
    if (const auto encoded = base64Encoding(contact.icon->jpegRepresentation())) {
      line.begin("PHOTO;ENCODING=b", "JPEG").raw(*encoded).end();
    }
  }
  out.append("END:VCARD\r\n");
}

}  // namespace xr
