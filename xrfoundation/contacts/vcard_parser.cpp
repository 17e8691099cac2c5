// contacts/vcard_parser.cpp: record reading of the vCard import -- records cut from the text
// (or from a stream, by vcard_contact_reader.cpp), each read in two passes over its logical lines
// (vcard_content_line_internal.h): the first collects the labels of item groups (item1.X-ABLabel),
// the second decodes each value (vcard_value_internal.h) and fills the contact.
#include "xrfoundation/contacts/vcard_parser.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include "xrfoundation/contacts/contact_enums.h"
#include "xrfoundation/contacts/vcard_content_line_internal.h"
#include "xrfoundation/contacts/vcard_record_internal.h"
#include "xrfoundation/contacts/vcard_types_internal.h"
#include "xrfoundation/contacts/vcard_value_internal.h"
#include "xrfoundation/platform/ascii.h"
#include "xrfoundation/platform/charset.h"
#include "xrfoundation/platform/log_internal.h"

namespace xr {
namespace {

using vcard_internal::asUtf8;
using vcard_internal::ContentLine;
using vcard_internal::decodedValue;
using vcard_internal::infoOf;
using vcard_internal::LineInfo;
using vcard_internal::photoOf;
using vcard_internal::PhysicalLine;
using vcard_internal::physicalLineAt;
using vcard_internal::RecordTag;
using vcard_internal::recordTagOf;
using vcard_internal::splitEscaped;
using vcard_internal::unescaped;
using vcard_internal::uriScheme;

std::optional<std::string> nonEmpty(std::string text) {
  if (text.empty()) return std::nullopt;
  return text;
}

// Takes the part at index.
std::optional<std::string> part(std::vector<std::string>& parts, std::size_t index) {
  return index < parts.size() ? nonEmpty(std::move(parts[index])) : std::nullopt;
}

// Builds one contact from the logical lines of one record.
class RecordBuilder {
 public:
  // The file's encoding, for values without a CHARSET of their own that are not UTF-8.
  std::string fileCharset;

  void read(std::string_view body, std::span<const vcard_internal::LineSpan> lines,
            ContactInfo& contact) {
    info_.fileCharset = fileCharset;  // infoOf() leaves it as it is from line to line
    labels_.clear();
    usedGroups_.clear();
    organizationGroups_.clear();
    lastUngrouped_.reset();
    unplaced_.clear();
    categories_.clear();
    nameRead_ = false;
    tokens_.read(body, lines);
    version21_ = tokens_.version21();
    // Lines are cut, joined and split at ASCII bytes only: in a valid body every value is
    // valid, and one check of the body spares one per value.
    bodyUtf8_ = isValidUtf8(body);
    for (const std::string_view text : tokens_.unparsed()) unplaced_.emplace_back(text);
    std::size_t numbers = 0;
    std::size_t emails = 0;
    for (const ContentLine& line : tokens_.lines()) {
      if (line.name == "TEL") {
        ++numbers;
      } else if (line.name == "EMAIL") {
        ++emails;
      } else if (!line.group.empty() && line.name == "X-ABLABEL") {
        infoOf(line, tokens_.paramsOf(line), info_);
        labels_.emplace_back(line.group, trimmed(decodedValue(line, info_, decoded_, bodyUtf8_)));
      }
    }
    // Room for the lists that most records fill with several items, made once.
    contact.groupNumber.arrItem.reserve(numbers);
    contact.groupEmail.arrItem.reserve(emails);
    for (const ContentLine& line : tokens_.lines()) place(line, contact);
    for (const auto& [group, label] : labels_) {
      if (std::find(usedGroups_.begin(), usedGroups_.end(), group) == usedGroups_.end())
        unplaced_.push_back(std::string(findLabelLine(group)));
    }
    if (!unplaced_.empty()) {
      auto& kept = contact.userData[kContactVCardUnplacedKey];
      kept.reserve(kept.size() + unplaced_.size());
      for (auto& text : unplaced_) kept.push_back(asUtf8(std::move(text)));
    }
    if (!categories_.empty()) {
      auto& groups = contact.userData[kContactGroupNamesKey];
      groups.insert(groups.end(), std::make_move_iterator(categories_.begin()),
                    std::make_move_iterator(categories_.end()));
    }
  }

 private:
  std::string_view findLabelLine(std::string_view group) const {
    for (const ContentLine& line : tokens_.lines()) {
      if (line.name == "X-ABLABEL" && line.group == group) return line.raw;
    }
    return {};
  }

  const std::string* labelOf(std::string_view group) {
    if (group.empty()) return nullptr;
    for (const auto& [labelGroup, label] : labels_) {
      if (labelGroup == group) {
        usedGroups_.push_back(group);
        return &label;
      }
    }
    return nullptr;
  }

  void place(const ContentLine& line, ContactInfo& contact) {
    // A view compares its length first, so each test below is cheap when it fails.
    const std::string_view name = line.name;
    if (name == "VERSION" || name == "X-ABLABEL") return;
    const LineInfo& info = info_;
    infoOf(line, tokens_.paramsOf(line), info_);
    if (name == "PHOTO" && !contact.icon) {
      if ((contact.icon = photoOf(line, info))) return;
      return keep(line);
    }
    // Decoded only where a field takes it: a line that is kept is kept as it stands.
    const auto value = [&] { return decodedValue(line, info, decoded_, bodyUtf8_); };
    if (name == "N" && !nameRead_) {
      nameRead_ = true;
      std::vector<std::string>& parts = parts_;
      splitEscaped(value(), ';', version21_, parts);
      contact.familyName = part(parts, 0);
      contact.givenName = part(parts, 1);
      contact.middleName = part(parts, 2);
      contact.prefix = part(parts, 3);
      contact.suffix = part(parts, 4);
    } else if (name == "FN" && !contact.displayName) {
      contact.displayName = nonEmpty(unescaped(value(), version21_));
    } else if (name == "NICKNAME" && !contact.nickname) {
      contact.nickname = nonEmpty(unescaped(value(), version21_));
    } else if (name == "TEL") {
      std::string_view number = trimmed(value());
      if (startsWithIgnoringCase(number, "TEL:")) number.remove_prefix(4);
      if (number.empty()) return keep(line);
      const std::string* label = labelOf(line.group);
      std::optional<std::string> kind =
          label ? vcard_internal::numberKindOfLabel(*label) : std::nullopt;
      if (!kind) kind = vcard_internal::numberKindOfTypes(words(info));
      contact.groupNumber.arrItem.push_back({std::string(number), std::move(kind)});
    } else if (name == "EMAIL") {
      std::string email = unescaped(trimmed(value()), version21_);
      if (email.empty()) return keep(line);
      const std::string* label = labelOf(line.group);
      std::optional<std::string> kind =
          label ? vcard_internal::emailKindOfLabel(*label) : std::nullopt;
      if (!kind) kind = vcard_internal::emailKindOfTypes(words(info));
      contact.groupEmail.arrItem.push_back({std::move(email), std::move(kind)});
    } else if (name == "ADR") {
      std::vector<std::string>& parts = parts_;
      splitEscaped(value(), ';', version21_, parts);
      std::string street;
      for (std::size_t i : {0, 1, 2}) {
        if (i >= parts.size() || parts[i].empty()) continue;
        if (!street.empty()) street += '\n';
        street += parts[i];
      }
      ContactAddressItem address;
      const std::string* label = labelOf(line.group);
      std::optional<std::string> kind =
          label ? vcard_internal::addressKindOfLabel(*label) : std::nullopt;
      address.addressType =
          kind ? std::move(kind) : vcard_internal::addressKindOfTypes(words(info));
      address.street = nonEmpty(std::move(street));
      address.city = part(parts, 3);
      address.region = part(parts, 4);
      address.postcode = part(parts, 5);
      address.country = part(parts, 6);
      contact.groupAddress.arrItem.push_back(std::move(address));
    } else if (name == "ORG") {
      std::vector<std::string>& parts = parts_;
      splitEscaped(value(), ';', version21_, parts);
      std::string department;
      for (std::size_t i = 1; i < parts.size(); ++i) {
        if (parts[i].empty()) continue;
        if (!department.empty()) department += ';';
        department += parts[i];
      }
      ContactOrganizationItem& organization = organizationFor(line.group, contact, true);
      organization.company = part(parts, 0);
      organization.department = nonEmpty(std::move(department));
    } else if (name == "TITLE") {
      ContactOrganizationItem& organization = organizationFor(line.group, contact, false);
      organization.title = nonEmpty(unescaped(value(), version21_));
    } else if (name == "URL") {
      const std::string_view url = trimmed(value());
      if (url.empty()) return keep(line);
      contact.groupWebsite.arrItem.push_back({std::string(url)});
    } else if (name == "NOTE") {
      contact.groupNote.arrItem.push_back({unescaped(value(), version21_)});
    } else if (name == "CATEGORIES") {
      splitEscaped(value(), ',', version21_, parts_);
      for (auto& category : parts_) {
        if (!category.empty()) categories_.push_back(std::move(category));
      }
    } else if (name == "BDAY") {
      addDate(trimmed(value()), E_Date_Birthday, contact, false);
    } else if (name == "ANNIVERSARY" || name == "X-ANNIVERSARY" ||
               name == "X-EVOLUTION-ANNIVERSARY") {
      addDate(trimmed(value()), E_Date_Anniversary, contact, false);
    } else if (name == "X-ABDATE") {
      const std::string* label = labelOf(line.group);
      addDate(trimmed(value()), label ? vcard_internal::dateKindOfLabel(*label) : E_Date_Other,
              contact, false);
    } else if (name == "X-DE") {
      // The device form's copy of a date it already wrote as BDAY or X-ABDATE.
      const std::string_view type = line.paramCount ? tokens_.paramsOf(line).front().value : "";
      addDate(trimmed(value()), vcard_internal::dateKindOfLabel(type), contact, true);
    } else if (name == "IMPP" || name == "X-IM" || vcard_internal::imKindOfProperty(name)) {
      addIm(line, info, value(), contact);
    } else {
      keep(line);
    }
  }

  const std::vector<std::string_view>& words(const LineInfo& info) const { return info.types; }

  void keep(const ContentLine& line) { unplaced_.emplace_back(line.raw); }

  void addDate(std::string_view date, std::string kind, ContactInfo& contact, bool unlessKnown) {
    if (date.empty()) return;
    if (unlessKnown) {
      for (const auto& item : contact.groupDate.arrItem) {
        if (item.date == date && item.dateType == kind) return;
      }
    }
    contact.groupDate.arrItem.push_back({std::string(date), std::move(kind)});
  }

  void addIm(const ContentLine& line, const LineInfo& info, std::string_view value,
             ContactInfo& contact) {
    std::string handle(trimmed(value));
    std::optional<std::string> kind;
    if (line.name == "IMPP") {
      const std::string_view scheme = uriScheme(handle);
      kind = vcard_internal::imKindOfService(info.service.empty() ? scheme : info.service);
      if (!scheme.empty() && (kind || equalsIgnoringCase(scheme, "IM") || !info.service.empty()))
        handle.erase(0, scheme.size() + 1);
    } else if (line.name == "X-IM") {
      kind = vcard_internal::imKindOfService(info.service);
    } else {
      kind = vcard_internal::imKindOfProperty(line.name);
    }
    if (handle.empty()) return keep(line);
    // The device form writes each handle twice: X-IM;SERVICE and the service's own line.
    for (const auto& item : contact.groupIm.arrItem) {
      if (item.im == handle && item.imType == kind) return;
    }
    contact.groupIm.arrItem.push_back({std::move(handle), std::move(kind)});
  }

  // The organisation a line of group belongs to: the group's own, else (no group) the last
  // ungrouped one when the field is still free, else a new one.
  ContactOrganizationItem& organizationFor(std::string_view group, ContactInfo& contact,
                                           bool forName) {
    auto& items = contact.groupOrganization.arrItem;
    const auto isFree = [&](std::size_t index) {
      const auto& item = items[index];
      return forName ? !item.company && !item.department : !item.title;
    };
    if (!group.empty()) {
      for (const auto& [known, index] : organizationGroups_) {
        if (known == group && isFree(index)) return items[index];
      }
    } else if (lastUngrouped_ && isFree(*lastUngrouped_)) {
      return items[*lastUngrouped_];
    }
    items.emplace_back();
    if (group.empty()) {
      lastUngrouped_ = items.size() - 1;
    } else {
      organizationGroups_.emplace_back(group, items.size() - 1);
    }
    return items.back();
  }

  vcard_internal::ContentLineReader tokens_;
  LineInfo info_;                   // of the line being read
  std::vector<std::string> parts_;  // of the structured value being read
  std::string decoded_;             // the value being read, when it needed decoding
  std::vector<std::pair<std::string_view, std::string>> labels_;  // group -> decoded label
  std::vector<std::string_view> usedGroups_;
  std::vector<std::pair<std::string_view, std::size_t>> organizationGroups_;
  std::optional<std::size_t> lastUngrouped_;
  std::vector<std::string> unplaced_;
  std::vector<std::string> categories_;
  bool version21_ = false;
  bool bodyUtf8_ = false;
  bool nameRead_ = false;
};

// text as UTF-8: text itself, or after a UTF-16 (or UTF-32) byte order mark its conversion
// into storage; none when the text is not valid in the encoding its mark names.
std::optional<std::string_view> utf8Text(std::string_view text, std::string& storage) {
  const std::optional<ByteOrderMark> mark = byteOrderMarkOf(text);
  if (!mark || mark->encoding == "UTF-8") return text;
  auto converted = convertToUtf8(text.substr(mark->length), mark->encoding);
  if (!converted) {
    consoleLog().warn("vCard text after a {} byte order mark is not valid {}; no record read",
                      mark->encoding, mark->encoding);
    return std::nullopt;
  }
  storage = std::move(*converted);
  return std::string_view(storage);
}

}  // namespace

namespace vcard_internal {

RecordCutter::Step RecordCutter::next(std::string_view text, bool complete,
                                      std::string_view& body) {
  while (scan_ < text.size()) {
    const PhysicalLine line = physicalLineAt(text, scan_);
    // A line is whole once its line end is seen: an LF, or a CR with something other than CR
    // after it (CR CR LF is one line end).
    if (!complete && line.next == text.size() && text.back() != '\n') return Step::NeedMore;
    const std::size_t lineStart = scan_;
    scan_ = line.next;
    const RecordTag tag = recordTagOf(line.text);
    if (depth_ == 0) {
      if (tag == RecordTag::Begin) {
        depth_ = 1;
        bodyStart_ = line.next;
        lines_.clear();
      }
      continue;
    }
    if (tag == RecordTag::End && --depth_ == 0) {
      body = text.substr(bodyStart_, lineStart - bodyStart_);
      return Step::Record;
    }
    if (tag == RecordTag::Begin) ++depth_;
    // Kept for the parser, which so need not look for the line ends again.
    lines_.push_back({lineStart - bodyStart_, line.text.size()});
  }
  if (!complete) return Step::NeedMore;
  if (depth_ == 0) return Step::End;
  // A record cut short: what it has is still a contact.
  depth_ = 0;
  body = text.substr(std::min(bodyStart_, text.size()));
  return Step::Record;
}

std::size_t RecordCutter::keepFrom() const {
  return depth_ > 0 ? std::min(bodyStart_, scan_) : scan_;
}

void RecordCutter::dropped(std::size_t count) {
  scan_ -= count;
  if (depth_ > 0) bodyStart_ -= count;
}

class RecordParser::Impl {
 public:
  RecordBuilder builder;
};

RecordParser::RecordParser() : impl_(std::make_unique<Impl>()) {}

RecordParser::~RecordParser() = default;

void RecordParser::setFileCharset(std::string_view charset) {
  impl_->builder.fileCharset = charset;
}

void RecordParser::read(std::string_view body, std::span<const LineSpan> lines,
                        ContactInfo& contact) {
  impl_->builder.read(body, lines, contact);
}

}  // namespace vcard_internal

std::size_t readVCardContacts(std::string_view input,
                              const std::function<bool(ContactInfo&)>& sink) {
  std::string converted;
  const std::optional<std::string_view> text = utf8Text(input, converted);
  if (!text) return 0;
  vcard_internal::RecordCutter cutter;
  vcard_internal::RecordParser parser;
  std::size_t records = 0;
  std::string_view body;
  while (cutter.next(*text, true, body) == vcard_internal::RecordCutter::Step::Record) {
    ContactInfo contact;
    parser.read(body, cutter.lines(), contact);
    ++records;
    if (!sink(contact)) break;
  }
  return records;
}

std::optional<ContactInfo> contactFromVCard(std::string_view text) {
  std::optional<ContactInfo> first;
  readVCardContacts(text, [&first](ContactInfo& contact) {
    first = std::move(contact);
    return false;
  });
  return first;
}

std::vector<ContactInfo> contactsFromVCards(std::string_view text) {
  std::vector<ContactInfo> contacts;
  readVCardContacts(text, [&contacts](ContactInfo& contact) {
    contacts.push_back(std::move(contact));
    return true;
  });
  return contacts;
}

}  // namespace xr
