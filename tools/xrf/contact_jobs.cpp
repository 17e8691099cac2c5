// tools/xrf/contact_jobs.cpp: the contacts CSV import over a named file, vCard composition,
// and the grouping of vCard records by shared telephone numbers.
#include "contact_jobs.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <numeric>
#include <system_error>
#include <tuple>

#include "tool_input.h"
#include "xrfoundation/contacts/contact_enums.h"
#include "xrfoundation/contacts/vcard_info.h"
#include "xrfoundation/contacts/vcard_parser.h"
#include "xrfoundation/phone/phone_number.h"
#include "xrfoundation/phone/shared_numbers.h"
#include "xrfoundation/platform/image.h"

namespace xrf {
namespace {

// A field's text without surrounding white space and line ends.
std::string_view trimmed(std::string_view text) {
  const auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && isSpace(text.back())) text.remove_suffix(1);
  return text;
}

}  // namespace

ContactCsvReader::ContactCsvReader() = default;
ContactCsvReader::~ContactCsvReader() = default;

bool ContactCsvReader::open(const std::string& path) {
  name_ = isStandardInput(path) ? std::string("standard input") : path;
  // Photos are named relative to the CSV file's folder (the working folder for a pipe).
  const std::filesystem::path base = isStandardInput(path)
                                         ? std::filesystem::path(".")
                                         : std::filesystem::path(path).parent_path();
  std::error_code sizeError;
  fileSize_ = isStandardInput(path) ? 0 : std::filesystem::file_size(path, sizeError);
  reader_.setStrict(strict_);
  if (!reader_.open(openInputStream(path), base.empty() ? "." : base)) {
    setError();
    return false;
  }
  return true;
}

void ContactCsvReader::setError() {
  const std::string& reason = reader_.errorReason();
  if (reader_.errorLine() > 0) {
    error_ = name_ + ":" + std::to_string(reader_.errorLine()) + ": " + reason;
  } else if (reason.find(name_) != std::string::npos) {
    error_ = reason;  // the stream's own message names the file
  } else {
    error_ = name_ + ": " + reason;
  }
}

ContactCsvReader::Next ContactCsvReader::next(xr::ContactInfo& contact) {
  switch (reader_.next(contact)) {
    case xr::ContactCsvReader::Next::Contact:
      return Next::Contact;
    case xr::ContactCsvReader::Next::End:
      return Next::End;
    case xr::ContactCsvReader::Next::Error:
      break;
  }
  setError();
  return Next::Error;
}

double ContactCsvReader::fractionRead() const {
  if (fileSize_ == 0) return 0.0;
  return std::min(1.0, static_cast<double>(reader_.bytesRead()) / static_cast<double>(fileSize_));
}

std::string composeVCard(const xr::ContactInfo& contact, xr::VCardForm form) {
  if (form == xr::VCardForm::Standard) {
    std::string text;
    xr::appendStandardVCard(contact, text);
    return text;
  }
  xr::VCardInfo card;
  card.loadFromContactInfo(contact);
  const std::vector<uint8_t> bytes = card.toVCardData();
  return std::string(bytes.begin(), bytes.end());
}

CardNumbers cardNumbersFromContact(const xr::ContactInfo& contact) {
  CardNumbers card;
  const auto hasText = [](const std::optional<std::string>& text) {
    return text && !trimmed(*text).empty();
  };
  if (hasText(contact.displayName)) {
    card.name = std::string(trimmed(*contact.displayName));
  } else {
    // "Family, Given Middle Prefix Suffix": the family name first, then the other parts of N
    // that have text, in N's order.
    std::string rest;
    for (const auto* part :
         {&contact.givenName, &contact.middleName, &contact.prefix, &contact.suffix}) {
      if (!hasText(*part)) continue;
      if (!rest.empty()) rest += ' ';
      rest += trimmed(**part);
    }
    if (!hasText(contact.familyName)) {
      card.name = rest;
    } else {
      card.name = std::string(trimmed(*contact.familyName)) + (rest.empty() ? "" : ", " + rest);
    }
  }
  // A name is printed on one line.
  std::replace(card.name.begin(), card.name.end(), '\n', ' ');
  std::replace(card.name.begin(), card.name.end(), '\r', ' ');
  for (const auto& item : contact.groupNumber.arrItem) {
    if (item.mobile && !item.mobile->empty()) card.numbers.push_back(*item.mobile);
  }
  return card;
}

CardNumbers cardNumbersFromRecord(std::string_view record) {
  const auto contact = xr::contactFromVCard(record);
  return contact ? cardNumbersFromContact(*contact) : CardNumbers{};
}

std::optional<std::vector<DuplicateGroup>> findDuplicateNumbers(
    const std::vector<CardNumbers>& cards, const std::function<bool(double)>& keepGoing) {
  std::vector<std::vector<std::string>> numbers;
  numbers.reserve(cards.size());
  for (const auto& card : cards) numbers.push_back(card.numbers);
  auto shared = xr::findSharedNumbers(numbers, keepGoing);
  if (!shared) return std::nullopt;
  std::vector<DuplicateGroup> groups;
  groups.reserve(shared->size());
  for (auto& group : *shared) {
    DuplicateGroup& out = groups.emplace_back();
    for (auto& member : group.members) {
      out.members.push_back({member.record, std::move(member.numbers)});
    }
  }
  return groups;
}

namespace {

// The kind word of csv2vcf's type columns: the enumeration name without "E_Kind_".
std::string kindWord(const std::optional<std::string>& kind) {
  if (!kind) return "";
  const std::size_t cut = kind->find('_', 2);
  return cut == std::string::npos ? *kind : kind->substr(cut + 1);
}

std::string orEmpty(const std::optional<std::string>& text) { return text.value_or(""); }

}  // namespace

CsvItemCounts csvItemCounts(const std::vector<xr::ContactInfo>& contacts) {
  CsvItemCounts counts;
  for (const auto& c : contacts) {
    counts.phones = std::max(counts.phones, c.groupNumber.arrItem.size());
    counts.emails = std::max(counts.emails, c.groupEmail.arrItem.size());
    counts.ims = std::max(counts.ims, c.groupIm.arrItem.size());
    counts.dates = std::max(counts.dates, c.groupDate.arrItem.size());
    counts.addresses = std::max(counts.addresses, c.groupAddress.arrItem.size());
    counts.websites = std::max(counts.websites, c.groupWebsite.arrItem.size());
  }
  return counts;
}

std::vector<std::string> contactCsvTitles(const CsvItemCounts& counts) {
  std::vector<std::string> titles = {"Given Name", "Middle Name",  "Family Name", "Prefix",
                                     "Suffix",     "Display Name", "Nickname"};
  const auto numbered = [&](const char* family, std::size_t count,
                            std::initializer_list<const char*> parts) {
    for (std::size_t n = 1; n <= count; ++n) {
      for (const char* part : parts) {
        titles.push_back(std::string(family) + " " + std::to_string(n) + (*part ? " " : "") + part);
      }
    }
  };
  numbered("Phone", counts.phones, {"", "Type"});
  numbered("Email", counts.emails, {"", "Type"});
  numbered("IM", counts.ims, {"", "Service"});
  numbered("Date", counts.dates, {"", "Type"});
  numbered("Address", counts.addresses,
           {"Street", "City", "Region", "Postcode", "Country", "Type"});
  titles.insert(titles.end(), {"Organization", "Department", "Title"});
  numbered("Website", counts.websites, {""});
  titles.insert(titles.end(), {"Note", "Groups", "Photo"});
  return titles;
}

std::vector<std::string> contactCsvFields(const xr::ContactInfo& c, const CsvItemCounts& counts,
                                          const std::string& photoFile,
                                          std::vector<std::string>& lost) {
  std::vector<std::string> fields = {
      orEmpty(c.givenName), orEmpty(c.middleName),  orEmpty(c.familyName), orEmpty(c.prefix),
      orEmpty(c.suffix),    orEmpty(c.displayName), orEmpty(c.nickname)};
  const auto items = [&](const auto& list, std::size_t count, auto&& add) {
    for (std::size_t n = 0; n < count; ++n) {
      if (n < list.size()) {
        add(list[n]);
      } else {
        add(std::decay_t<decltype(list[0])>{});
      }
    }
  };
  items(c.groupNumber.arrItem, counts.phones, [&](const xr::ContactNumberItem& i) {
    fields.push_back(orEmpty(i.mobile));
    fields.push_back(kindWord(i.mobileType));
  });
  items(c.groupEmail.arrItem, counts.emails, [&](const xr::ContactEmailItem& i) {
    fields.push_back(orEmpty(i.email));
    fields.push_back(kindWord(i.emailType));
  });
  items(c.groupIm.arrItem, counts.ims, [&](const xr::ContactImItem& i) {
    fields.push_back(orEmpty(i.im));
    fields.push_back(kindWord(i.imType));
  });
  items(c.groupDate.arrItem, counts.dates, [&](const xr::ContactDateItem& i) {
    fields.push_back(orEmpty(i.date));
    fields.push_back(kindWord(i.dateType));
  });
  items(c.groupAddress.arrItem, counts.addresses, [&](const xr::ContactAddressItem& i) {
    fields.insert(fields.end(), {orEmpty(i.street), orEmpty(i.city), orEmpty(i.region),
                                 orEmpty(i.postcode), orEmpty(i.country)});
    fields.push_back(kindWord(i.addressType));
  });
  const auto& organizations = c.groupOrganization.arrItem;
  if (organizations.empty()) {
    fields.insert(fields.end(), {"", "", ""});
  } else {
    fields.insert(fields.end(),
                  {orEmpty(organizations[0].company), orEmpty(organizations[0].department),
                   orEmpty(organizations[0].title)});
  }
  for (std::size_t n = 1; n < organizations.size(); ++n) {
    lost.push_back("organisation \"" + orEmpty(organizations[n].company) + "\"");
  }
  items(c.groupWebsite.arrItem, counts.websites,
        [&](const xr::ContactWebsiteItem& i) { fields.push_back(orEmpty(i.website)); });
  std::string note;
  for (const auto& item : c.groupNote.arrItem) {
    if (!item.note || item.note->empty()) continue;
    if (!note.empty()) note += "\n\n";  // one Note column: notes follow one another
    note += *item.note;
  }
  fields.push_back(note);
  std::string groups;
  if (const auto* names = c.userDataForKey(xr::kContactGroupNamesKey)) {
    for (const auto& name : *names) groups += (groups.empty() ? "" : ";") + name;
  }
  fields.push_back(groups);
  fields.push_back(photoFile);
  if (const auto* unplaced = c.userDataForKey(xr::kContactVCardUnplacedKey)) {
    for (const auto& line : *unplaced) lost.push_back("line \"" + line.substr(0, 60) + "\"");
  }
  return fields;
}

void appendCsvRecord(std::string& out, const std::vector<std::string>& fields) {
  for (std::size_t f = 0; f < fields.size(); ++f) {
    if (f) out.push_back(',');
    const std::string& field = fields[f];
    const bool quote = field.find_first_of("\",\r\n") != std::string::npos ||
                       (!field.empty() && (field.front() == ' ' || field.back() == ' '));
    if (!quote) {
      out += field;
      continue;
    }
    out.push_back('"');
    for (const char c : field) {
      if (c == '"') out.push_back('"');
      out.push_back(c);
    }
    out.push_back('"');
  }
  out += "\r\n";
}

void printDuplicateGroups(std::ostream& out, const std::vector<DuplicateGroup>& groups,
                          const std::vector<CardNumbers>& cards, std::string_view indent) {
  for (std::size_t g = 0; g < groups.size(); ++g) {
    out << indent << "Group " << g + 1 << ": " << groups[g].members.size()
        << " records share a number\n";
    for (const auto& member : groups[g].members) {
      const std::string& name = cards[member.card].name;
      out << indent << "  #" << member.card + 1 << ' ' << (name.empty() ? "(no name)" : name)
          << ": ";
      for (std::size_t n = 0; n < member.numbers.size(); ++n)
        out << (n ? ", " : "") << member.numbers[n];
      out << '\n';
    }
  }
}

}  // namespace xrf
