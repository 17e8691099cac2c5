// contacts/contact_csv_writer.cpp: the own layout's titles and fields, and RFC 4180 records.
#include "xrfoundation/contacts/contact_csv_writer.h"

#include <algorithm>
#include <initializer_list>
#include <type_traits>

#include "xrfoundation/contacts/vcard_parser.h"

namespace xr {
namespace {

// The own layout's kind word: the enumeration name without "E_Kind_", as the type columns
// read it back.
std::string kindWord(const std::optional<std::string>& kind) {
  if (!kind) return "";
  const std::size_t cut = kind->find('_', 2);
  return cut == std::string::npos ? *kind : kind->substr(cut + 1);
}

std::string orEmpty(const std::optional<std::string>& text) { return text.value_or(""); }

}  // namespace

void ContactCsvItemCounts::include(const ContactInfo& c) {
  phones = std::max(phones, c.groupNumber.arrItem.size());
  emails = std::max(emails, c.groupEmail.arrItem.size());
  ims = std::max(ims, c.groupIm.arrItem.size());
  dates = std::max(dates, c.groupDate.arrItem.size());
  addresses = std::max(addresses, c.groupAddress.arrItem.size());
  websites = std::max(websites, c.groupWebsite.arrItem.size());
}

ContactCsvItemCounts contactCsvItemCounts(const std::vector<ContactInfo>& contacts) {
  ContactCsvItemCounts counts;
  for (const auto& c : contacts) counts.include(c);
  return counts;
}

std::vector<std::string> contactCsvTitles(const ContactCsvItemCounts& counts) {
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

std::vector<std::string> contactCsvFields(const ContactInfo& c, const ContactCsvItemCounts& counts,
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
  items(c.groupNumber.arrItem, counts.phones, [&](const ContactNumberItem& i) {
    fields.push_back(orEmpty(i.mobile));
    fields.push_back(kindWord(i.mobileType));
  });
  items(c.groupEmail.arrItem, counts.emails, [&](const ContactEmailItem& i) {
    fields.push_back(orEmpty(i.email));
    fields.push_back(kindWord(i.emailType));
  });
  items(c.groupIm.arrItem, counts.ims, [&](const ContactImItem& i) {
    fields.push_back(orEmpty(i.im));
    fields.push_back(kindWord(i.imType));
  });
  items(c.groupDate.arrItem, counts.dates, [&](const ContactDateItem& i) {
    fields.push_back(orEmpty(i.date));
    fields.push_back(kindWord(i.dateType));
  });
  items(c.groupAddress.arrItem, counts.addresses, [&](const ContactAddressItem& i) {
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
        [&](const ContactWebsiteItem& i) { fields.push_back(orEmpty(i.website)); });
  std::string note;
  for (const auto& item : c.groupNote.arrItem) {
    if (!item.note || item.note->empty()) continue;
    if (!note.empty()) note += "\n\n";  // one Note column: notes follow one another
    note += *item.note;
  }
  fields.push_back(note);
  std::string groups;
  if (const auto* names = c.userDataForKey(kContactGroupNamesKey)) {
    for (const auto& name : *names) groups += (groups.empty() ? "" : ";") + name;
  }
  fields.push_back(groups);
  fields.push_back(photoFile);
  if (const auto* unplaced = c.userDataForKey(kContactVCardUnplacedKey)) {
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

}  // namespace xr
