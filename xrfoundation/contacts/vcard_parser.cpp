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

using vcard_internal::appendUnescaped;
using vcard_internal::asUtf8;
using vcard_internal::ContentLine;
using vcard_internal::decodedValue;
using vcard_internal::EscapedPart;
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
    unplaced_.assign(tokens_.unparsed().begin(), tokens_.unparsed().end());
    std::size_t numbers = 0;
    std::size_t emails = 0;
    for (const ContentLine& line : tokens_.lines()) {
      // As views, the names compare their lengths first.
      const std::string_view name = line.name;
      if (name == "TEL") {
        ++numbers;
      } else if (name == "EMAIL") {
        ++emails;
      } else if (!line.group.empty() && name == "X-ABLABEL") {
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
        unplaced_.push_back(findLabelLine(group));
    }
    if (!unplaced_.empty()) {
      auto& kept = contact.userData[kContactVCardUnplacedKey];
      kept.reserve(kept.size() + unplaced_.size());
      // Each kept line is part of the body: valid UTF-8 when the body is.
      for (const std::string_view text : unplaced_)
        kept.push_back(bodyUtf8_ ? std::string(text) : asUtf8(std::string(text)));
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
      if (std::string_view(line.name) == "X-ABLABEL" && line.group == group) return line.raw;
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
      splitEscaped(value(), ';', parts_);
      setPart(contact.familyName, 0);
      setPart(contact.givenName, 1);
      setPart(contact.middleName, 2);
      setPart(contact.prefix, 3);
      setPart(contact.suffix, 4);
    } else if (name == "FN" && !contact.displayName) {
      setText(contact.displayName, value());
    } else if (name == "NICKNAME" && !contact.nickname) {
      setText(contact.nickname, value());
    } else if (name == "TEL") {
      std::string_view number = trimmed(value());
      if (startsWithIgnoringCase(number, "TEL:")) number.remove_prefix(4);
      if (number.empty()) return keep(line);
      const std::string* label = labelOf(line.group);
      // Items are filled where they stand in the contact: nothing is moved into place.
      ContactNumberItem& item = contact.groupNumber.arrItem.emplace_back();
      item.mobile.emplace(number);
      if (label) item.mobileType = vcard_internal::numberKindOfLabel(*label);
      if (!item.mobileType) item.mobileType = vcard_internal::numberKindOfTypes(words(info));
    } else if (name == "EMAIL") {
      // Reading escapes leaves at least one byte of each: only an empty text gives none.
      const std::string_view email = trimmed(value());
      if (email.empty()) return keep(line);
      const std::string* label = labelOf(line.group);
      ContactEmailItem& item = contact.groupEmail.arrItem.emplace_back();
      appendUnescaped(item.email.emplace(), email, version21_);
      if (label) item.emailType = vcard_internal::emailKindOfLabel(*label);
      if (!item.emailType) item.emailType = vcard_internal::emailKindOfTypes(words(info));
    } else if (name == "ADR") {
      splitEscaped(value(), ';', parts_);
      ContactAddressItem& address = contact.groupAddress.arrItem.emplace_back();
      std::string& street = address.street.emplace();
      for (std::size_t i = 0; i < 3 && i < parts_.size(); ++i) {
        if (parts_[i].text.empty()) continue;
        if (!street.empty()) street += '\n';
        appendUnescaped(street, parts_[i], version21_);
      }
      if (street.empty()) address.street.reset();
      const std::string* label = labelOf(line.group);
      if (label) address.addressType = vcard_internal::addressKindOfLabel(*label);
      if (!address.addressType)
        address.addressType = vcard_internal::addressKindOfTypes(words(info));
      setPart(address.city, 3);
      setPart(address.region, 4);
      setPart(address.postcode, 5);
      setPart(address.country, 6);
    } else if (name == "ORG") {
      splitEscaped(value(), ';', parts_);
      ContactOrganizationItem& organization = organizationFor(line.group, contact, true);
      setPart(organization.company, 0);
      std::string& department = organization.department.emplace();
      for (std::size_t i = 1; i < parts_.size(); ++i) {
        if (parts_[i].text.empty()) continue;
        if (!department.empty()) department += ';';
        appendUnescaped(department, parts_[i], version21_);
      }
      if (department.empty()) organization.department.reset();
    } else if (name == "TITLE") {
      ContactOrganizationItem& organization = organizationFor(line.group, contact, false);
      setText(organization.title, value());
    } else if (name == "URL") {
      const std::string_view url = trimmed(value());
      if (url.empty()) return keep(line);
      contact.groupWebsite.arrItem.emplace_back().website.emplace(url);
    } else if (name == "NOTE") {
      appendUnescaped(contact.groupNote.arrItem.emplace_back().note.emplace(), value(), version21_);
    } else if (name == "CATEGORIES") {
      splitEscaped(value(), ',', parts_);
      for (const EscapedPart& category : parts_) {
        if (!category.text.empty()) categories_.push_back(unescaped(category, version21_));
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

  // Sets field to the part at index of the structured value split last, escapes read; to none
  // when that is empty. The text is written in place: no string is moved into the field.
  void setPart(std::optional<std::string>& field, std::size_t index) const {
    if (index >= parts_.size() || parts_[index].text.empty()) {
      field.reset();
      return;
    }
    appendUnescaped(field.emplace(), parts_[index], version21_);
  }

  // Sets field to text with its escapes read; to none when that is empty.
  void setText(std::optional<std::string>& field, std::string_view text) const {
    std::string& out = field.emplace();
    appendUnescaped(out, text, version21_);
    if (out.empty()) field.reset();
  }

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
  std::vector<EscapedPart> parts_;  // of the structured value being read
  std::string decoded_;             // the value being read, when it needed decoding
  std::vector<std::pair<std::string_view, std::string>> labels_;  // group -> decoded label
  std::vector<std::string_view> usedGroups_;
  std::vector<std::pair<std::string_view, std::size_t>> organizationGroups_;
  std::optional<std::size_t> lastUngrouped_;
  std::vector<std::string_view> unplaced_;  // into the body or the tokenizer's storage
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
    lines_.push_back({lineStart - bodyStart_, line.text.size(), tag});
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
