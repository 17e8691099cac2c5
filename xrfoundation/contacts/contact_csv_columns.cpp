// contacts/contact_csv_columns.cpp: the column vocabulary -- the title tables of each layout
// and the binding of a header's titles to fields -- and the writer of this library's own
// layout, which uses the same names.
#include "xrfoundation/contacts/contact_csv_columns.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <set>

#include "xrfoundation/contacts/contact_csv_columns_internal.h"
#include "xrfoundation/contacts/contact_enums.h"
#include "xrfoundation/contacts/text_trim.h"
#include "xrfoundation/contacts/vcard_parser.h"

namespace xr {
namespace contact_csv_internal {

// Lower case without blanks, '_' and '-': the form in which titles and kind words compare.
std::string normalized(std::string_view text) {
  std::string out;
  for (const char c : text) {
    if (c == ' ' || c == '_' || c == '-' || c == '\t' || c == '\r' || c == '\n') continue;
    out.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
  }
  return out;
}

}  // namespace contact_csv_internal

namespace {

using contact_csv_internal::Field;
using contact_csv_internal::normalized;
using contact_csv_internal::Part;

constexpr int kMaxItemDigits = 6;  // "Phone 1234567" is no item number anyone writes
// Item numbers of columns that name their item by a word ("Home Street", "Mobile Phone"):
// above any written number, so that they never meet a numbered column's item.
constexpr int kWordItemBase = 10'000'000;

struct SingleTitle {
  const char* title;  // normalized
  Field field;
  Part part;
};
// This library's own names and those every layout shares.
constexpr SingleTitle kSingleTitles[] = {
    {"givenname", Field::GivenName, Part::Value},
    {"firstname", Field::GivenName, Part::Value},
    {"middlename", Field::MiddleName, Part::Value},
    {"additionalname", Field::MiddleName, Part::Value},
    {"familyname", Field::FamilyName, Part::Value},
    {"lastname", Field::FamilyName, Part::Value},
    {"surname", Field::FamilyName, Part::Value},
    {"prefix", Field::Prefix, Part::Value},
    {"nameprefix", Field::Prefix, Part::Value},
    {"suffix", Field::Suffix, Part::Value},
    {"namesuffix", Field::Suffix, Part::Value},
    {"displayname", Field::DisplayName, Part::Value},
    {"fullname", Field::DisplayName, Part::Value},
    {"name", Field::DisplayName, Part::Value},
    {"nickname", Field::Nickname, Part::Value},
    {"organisation", Field::Organization, Part::Value},
    {"company", Field::Organization, Part::Value},
    {"department", Field::Organization, Part::Department},
    {"title", Field::Organization, Part::JobTitle},
    {"jobtitle", Field::Organization, Part::JobTitle},
    {"note", Field::Note, Part::Value},
    {"notes", Field::Note, Part::Value},
    {"groups", Field::Groups, Part::Value},
    {"group", Field::Groups, Part::Value},
    {"categories", Field::Groups, Part::Value},
    {"groupmembership", Field::Groups, Part::Value},
    {"labels", Field::Groups, Part::Value},
    {"photo", Field::Photo, Part::Value},
    {"birthday", Field::Birthday, Part::Value},
    {"anniversary", Field::Anniversary, Part::Value},
    {"webpage", Field::Website, Part::Value},
    {"webpage1", Field::Website, Part::Value},
    {"webpage2", Field::Website, Part::Value},
    {"birthyear", Field::Birthday, Part::Year},
    {"birthmonth", Field::Birthday, Part::Month},
};

struct KindTitle {
  const char* title;  // normalized
  Field field;
  const char* kind;  // the kind every value of the column has
};
// Columns of the mail programs that name a kind by the column: one item per column.
constexpr KindTitle kKindTitles[] = {
    {"mobilephone", Field::Phone, E_Number_Mobile},
    {"homephone", Field::Phone, E_Number_Home},
    {"homephone2", Field::Phone, E_Number_Home},
    {"businessphone", Field::Phone, E_Number_Work},
    {"businessphone2", Field::Phone, E_Number_Work},
    {"businessfax", Field::Phone, E_Number_FaxWork},
    {"homefax", Field::Phone, E_Number_FaxHome},
    {"otherfax", Field::Phone, E_Number_OtherFax},
    {"pager", Field::Phone, E_Number_Pager},
    {"primaryphone", Field::Phone, E_Number_Main},
    {"companymainphone", Field::Phone, E_Number_CompanyMain},
    {"assistant'sphone", Field::Phone, E_Number_Assistant},
    {"carphone", Field::Phone, E_Number_Car},
    {"callback", Field::Phone, E_Number_Callback},
    {"isdn", Field::Phone, E_Number_ISDN},
    {"radiophone", Field::Phone, E_Number_Radio},
    {"tty/tddphone", Field::Phone, E_Number_TTY},
    {"telex", Field::Phone, E_Number_Telex},
    {"otherphone", Field::Phone, E_Number_Other},
    {"workphone", Field::Phone, E_Number_Work},
    {"faxnumber", Field::Phone, E_Number_FaxWork},
    {"pagernumber", Field::Phone, E_Number_Pager},
    {"mobilenumber", Field::Phone, E_Number_Mobile},
    {"primaryemail", Field::Email, nullptr},
    {"secondaryemail", Field::Email, nullptr},
    {"screenname", Field::Im, E_Im_AIM},
};

// Address columns named "<place> <part>": "Home Street", "Business Postal Code", "Work ZipCode".
struct AddressPlace {
  const char* word;
  const char* kind;
  int item;
};
constexpr AddressPlace kAddressPlaces[] = {{"home", E_Address_Home, 1},
                                           {"business", E_Address_Work, 2},
                                           {"work", E_Address_Work, 2},
                                           {"other", E_Address_Other, 3}};
struct AddressPartWord {
  const char* word;
  Part part;
};
constexpr AddressPartWord kAddressPartWords[] = {
    {"street", Part::Street},    {"address", Part::Street},         {"street2", Part::Street2},
    {"street3", Part::Street2},  {"address2", Part::Street2},       {"pobox", Part::PoBox},
    {"city", Part::City},        {"state", Part::Region},           {"postalcode", Part::Postcode},
    {"zipcode", Part::Postcode}, {"country/region", Part::Country}, {"country", Part::Country},
};

struct FamilyTitle {
  const char* prefix;  // normalized
  Field field;
};
// Longer prefixes first, so that "website" is not read as "web" and so on.
constexpr FamilyTitle kFamilyTitles[] = {
    {"organization", Field::Organization},
    {"webaddress", Field::Website},
    {"website", Field::Website},
    {"address", Field::Address},
    {"phone", Field::Phone},
    {"email", Field::Email},
    {"event", Field::Date},
    {"date", Field::Date},
    {"url", Field::Website},
    {"im", Field::Im},
};

// The part a numbered column names by the words after its number ("type", "value", "city").
std::optional<Part> partOf(Field family, std::string_view rest, ContactCsvColumns::Layout layout) {
  if (rest.empty()) {
    return family == Field::Address ? Part::Street : Part::Value;
  }
  if (rest == "value" || (family == Field::Email && rest == "address")) {
    return family == Field::Address ? std::nullopt : std::optional<Part>(Part::Value);
  }
  if (family == Field::Email && rest == "displayname") return Part::Redundant;
  if (family == Field::Website) return std::nullopt;  // a website's label has no place
  if (family == Field::Organization) {
    if (rest == "name") return Part::Value;
    if (rest == "title") return Part::JobTitle;
    if (rest == "department") return Part::Department;
    return std::nullopt;
  }
  if (family == Field::Im) {
    if (rest == "service") return Part::Type;
    // The web address book's "IM 1 - Type" is Home or Work, which an IM item doesn't keep.
    if (rest == "type" && layout != ContactCsvColumns::Layout::WebAddressBook) return Part::Type;
    return std::nullopt;
  }
  if (rest == "type" || rest == "label") return Part::Type;
  if (family != Field::Address) return std::nullopt;
  if (rest == "street") return Part::Street;
  if (rest == "city" || rest == "locality") return Part::City;
  if (rest == "region" || rest == "state") return Part::Region;
  if (rest == "postcode" || rest == "postalcode" || rest == "zip") return Part::Postcode;
  if (rest == "country") return Part::Country;
  if (rest == "pobox") return Part::PoBox;
  if (rest == "extendedaddress") return Part::Extended;
  if (rest == "formatted") return Part::Formatted;
  return std::nullopt;
}

ContactCsvColumns::Layout detectLayout(const std::set<std::string>& names) {
  const auto has = [&](std::initializer_list<const char*> any) {
    return std::any_of(any.begin(), any.end(), [&](const char* n) { return names.count(n) > 0; });
  };
  if (has({"birthyear", "primaryemail", "mobilenumber", "homezipcode", "workzipcode"})) {
    return ContactCsvColumns::Layout::OpenSourceMail;
  }
  if (has({"emailaddress", "mobilephone", "businessphone", "homestreet", "businessstreet"})) {
    return ContactCsvColumns::Layout::DesktopMail;
  }
  if (has({"phone1value", "email1value", "groupmembership", "phone1label", "email1label",
           "address1formatted", "organization1name", "organizationname"})) {
    return ContactCsvColumns::Layout::WebAddressBook;
  }
  return ContactCsvColumns::Layout::Own;
}

std::optional<ContactCsvColumns::Binding> bindingOf(const std::string& name,
                                                    ContactCsvColumns::Layout layout,
                                                    std::size_t column) {
  using Binding = ContactCsvColumns::Binding;
  using Layout = ContactCsvColumns::Layout;
  const int wordItem = kWordItemBase + static_cast<int>(column);
  // Names whose meaning depends on the layout.
  if (layout == Layout::DesktopMail && name == "title") {
    return Binding{Field::Prefix, 1, Part::Value};  // "Mr.", "Dr."
  }
  if (layout == Layout::OpenSourceMail && name == "birthday") {
    return Binding{Field::Birthday, 1, Part::Day};  // "Birth Day", beside "Birth Month"
  }
  for (const KindTitle& kindTitle : kKindTitles) {
    if (name != kindTitle.title) continue;
    // The two mail client e-mail columns are items 1 and 2 of the family.
    if (name == "primaryemail") return Binding{Field::Email, 1, Part::Value};
    if (name == "secondaryemail") return Binding{Field::Email, 2, Part::Value};
    return Binding{kindTitle.field, wordItem, Part::Value, kindTitle.kind};
  }
  for (const SingleTitle& single : kSingleTitles) {
    if (name == single.title) {
      const int index = single.field == Field::Website ? wordItem : 1;
      return Binding{single.field, index, single.part};
    }
  }
  for (const AddressPlace& place : kAddressPlaces) {
    const std::size_t length = std::strlen(place.word);
    if (name.compare(0, length, place.word) != 0) continue;
    const std::string_view rest = std::string_view(name).substr(length);
    for (const AddressPartWord& word : kAddressPartWords) {
      if (rest == word.word) {
        return Binding{Field::Address, kWordItemBase + place.item, word.part, place.kind};
      }
    }
  }
  for (const FamilyTitle& family : kFamilyTitles) {
    if (name.rfind(family.prefix, 0) != 0) continue;
    std::string_view rest = std::string_view(name).substr(std::strlen(family.prefix));
    int index = 1;
    const std::size_t digits = rest.find_first_not_of("0123456789");
    const std::size_t digitCount = digits == std::string_view::npos ? rest.size() : digits;
    if (digitCount > 0) {
      if (digitCount > kMaxItemDigits) return std::nullopt;
      index = std::stoi(std::string(rest.substr(0, digitCount)));
      rest.remove_prefix(digitCount);
      if (index < 1) return std::nullopt;
    }
    if (const auto part = partOf(family.field, rest, layout)) {
      return Binding{family.field, index, *part};
    }
    return std::nullopt;
  }
  return std::nullopt;
}

}  // namespace

ContactCsvColumns::ContactCsvColumns(const std::vector<std::string>& titles) {
  std::vector<std::string> names;
  for (std::size_t i = 0; i < titles.size(); ++i) {
    std::string_view title = trimmed(titles[i]);
    // Spreadsheets often begin a UTF-8 file with a byte order mark; the standard reader drops
    // it, a caller with its own reader may not.
    if (i == 0 && title.substr(0, 3) == "\xEF\xBB\xBF") title = trimmed(title.substr(3));
    titles_.emplace_back(title);
    names.push_back(normalized(title));
  }
  layout_ = detectLayout(std::set<std::string>(names.begin(), names.end()));
  std::vector<Binding> taken;
  for (std::size_t column = 0; column < titles_.size(); ++column) {
    std::optional<Binding> binding = bindingOf(names[column], layout_, column);
    if (!binding) {
      unknown_.push_back(titles_[column]);
      bindings_.emplace_back();
      continue;
    }
    const bool repeats = std::any_of(taken.begin(), taken.end(),
                                     [&](const Binding& b) { return b.key() == binding->key(); });
    if (repeats) {
      repeated_.push_back(titles_[column]);
      bindings_.emplace_back();
      continue;
    }
    taken.push_back(*binding);
    bindings_.push_back(binding);
  }
}

ContactCsvColumns::~ContactCsvColumns() = default;
ContactCsvColumns::ContactCsvColumns(ContactCsvColumns&&) noexcept = default;
ContactCsvColumns& ContactCsvColumns::operator=(ContactCsvColumns&&) noexcept = default;

std::string ContactCsvColumns::columnName(std::size_t column) const {
  if (column < titles_.size() && !titles_[column].empty()) return titles_[column];
  return "(column " + std::to_string(column + 1) + ")";
}

namespace {

// The own layout's kind word: the enumeration name without "E_Kind_", as the type
// columns read it back.
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
