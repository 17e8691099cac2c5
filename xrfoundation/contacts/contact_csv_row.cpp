// contacts/contact_csv_row.cpp: one row's values as a contact (contactFromRow(), behind
// ContactCsvColumns::contactFromRecord): kind words, items put together from their parts, dates
// from their parts, and photos read from files.
#include "xrfoundation/contacts/contact_csv_row.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <map>
#include <system_error>

#include "xrfoundation/contacts/contact_csv_columns_internal.h"
#include "xrfoundation/contacts/contact_csv_row_internal.h"
#include "xrfoundation/contacts/contact_enums.h"
#include "xrfoundation/platform/ascii.h"
#include "xrfoundation/platform/image.h"

namespace xr {
namespace {

using contact_csv_internal::Field;
using contact_csv_internal::kFieldCount;
using contact_csv_internal::kPartCount;
using contact_csv_internal::normalized;
using contact_csv_internal::Part;

constexpr std::uintmax_t kMaxPhotoBytes = 16 * 1024 * 1024;  // larger "photos" are refused
// The web address book puts several values in one field with this between them.
constexpr std::string_view kMultiValueSeparator = " ::: ";

std::vector<std::string> splitOn(std::string_view text, std::string_view separator) {
  std::vector<std::string> parts;
  while (true) {
    const std::size_t cut = text.find(separator);
    const std::string_view part = trimmed(text.substr(0, cut));
    if (!part.empty()) parts.emplace_back(part);
    if (cut == std::string_view::npos) break;
    text.remove_prefix(cut + separator.size());
  }
  return parts;
}

// The kinds a type column may name: the enumeration names without their "E_Kind_" prefix,
// compared as normalized text ("Work Mobile" is E_Number_WorkMobile), and the words the
// address books write.
struct KindWords {
  const char* what;  // for messages: "phone number kind"
  std::map<std::string, std::string> byWord;
  std::string listed;  // "Home, Mobile, ..."
};

KindWords makeKindWords(const char* what, const EnumDictionary& dictionary,
                        std::initializer_list<std::pair<const char*, const char*>> aliases = {}) {
  KindWords words{what, {}, {}};
  std::vector<std::pair<int, std::string>> byCode;
  for (const auto& [code, name] : dictionary) byCode.emplace_back(std::stoi(code), name);
  std::sort(byCode.begin(), byCode.end());
  for (const auto& [code, name] : byCode) {
    const std::string word = name.substr(name.find('_', 2) + 1);
    words.byWord[normalized(word)] = name;
    words.byWord[normalized(name)] = name;
    words.listed += (words.listed.empty() ? "" : ", ") + word;
  }
  for (const auto& [alias, name] : aliases) words.byWord[alias] = name;
  return words;
}

const KindWords& kindWords(Field family) {
  static const auto* phone =
      new KindWords(makeKindWords("phone number kind", makeNumberEnumDictionary(),
                                  {{"cell", E_Number_Mobile},
                                   {"iphone", E_Number_Mobile},
                                   {"workfax", E_Number_FaxWork},
                                   {"businessfax", E_Number_FaxWork},
                                   {"homefax", E_Number_FaxHome},
                                   {"otherfax", E_Number_OtherFax},
                                   {"business", E_Number_Work},
                                   {"googlevoice", E_Number_Other},
                                   {"workpager", E_Number_WorkPager}}));
  static const auto* email =
      new KindWords(makeKindWords("e-mail kind", makeEmailEnumDictionary(),
                                  {{"personal", E_Email_Home},
                                   {"business", E_Email_Work},
                                   // The desktop mail program's "E-mail Type" names the transport.
                                   {"smtp", E_Email_Other},
                                   {"ex", E_Email_Other},
                                   {"internet", E_Email_Other}}));
  static const auto* im =
      new KindWords(makeKindWords("instant-messaging service", makeImEnumDictionary()));
  static const auto* date = new KindWords(makeKindWords("date kind", makeDateEnumDictionary()));
  static const auto* address = new KindWords(
      makeKindWords("address kind", makeAddressEnumDictionary(), {{"business", E_Address_Work}}));
  switch (family) {
    case Field::Phone:
      return *phone;
    case Field::Email:
      return *email;
    case Field::Im:
      return *im;
    case Field::Date:
      return *date;
    default:
      return *address;
  }
}

// The values of one item of a family in one row, by part, with the column each came from.
// Only values with text are put here, so an empty view is a part that isn't there. The views
// point into the row's fields.
struct ItemParts {
  std::array<std::string_view, kPartCount> text{};
  std::array<std::size_t, kPartCount> column{};
  const char* kind = nullptr;  // named by a column

  bool has(Part part) const { return !text[static_cast<std::size_t>(part)].empty(); }
  std::string_view operator[](Part part) const { return text[static_cast<std::size_t>(part)]; }
  std::size_t columnOf(Part part) const { return column[static_cast<std::size_t>(part)]; }
};

std::optional<std::string> textOf(const ItemParts& item, Part part) {
  if (!item.has(part)) return std::nullopt;
  return std::string(item[part]);
}

// The items of a row by family and item number, in number order. A row holds a few items,
// so small sorted vectors serve (a map per row cost most of the row's time).
class RowItems {
 public:
  using Items = std::vector<std::pair<int, ItemParts>>;

  ItemParts& item(Field field, int index) {
    Items& items = byField_[static_cast<std::size_t>(field)];
    auto at = std::lower_bound(items.begin(), items.end(), index,
                               [](const auto& entry, int i) { return entry.first < i; });
    if (at == items.end() || at->first != index) at = items.emplace(at, index, ItemParts{});
    return at->second;
  }
  const Items& items(Field field) const { return byField_[static_cast<std::size_t>(field)]; }
  const ItemParts& first(Field field) const {
    static const ItemParts kNone;
    const Items& items = byField_[static_cast<std::size_t>(field)];
    return items.empty() ? kNone : items.front().second;
  }

 private:
  std::array<Items, kFieldCount> byField_;
};

// Builds one contact from the placed values of a row; collects the first error and the values
// it could not place after all.
class RowBuilder {
 public:
  RowBuilder(const ContactCsvColumns& columns, const std::filesystem::path& photoBase,
             std::vector<ContactCsvUnplaced>& unplaced, std::string& error)
      : columns_(columns), photoBase_(photoBase), unplaced_(unplaced), error_(error) {}

  // The kind an item's type value names, the item's column kind, or the default. A word of
  // this library's own layout that names no kind is an error; in an address book's export it
  // is a label of the user's, kept as unplaced, and the item takes the default.
  std::string kind(Field family, const ItemParts& item, const char* fallback) {
    if (!item.has(Part::Type)) return item.kind ? item.kind : fallback;
    const std::string word(item[Part::Type]);
    const std::size_t column = item.columnOf(Part::Type);
    std::string key = normalized(word);
    key.erase(0, key.find_first_not_of('*'));  // "* Home": the web address book's primary mark
    const KindWords& words = kindWords(family);
    const auto found = words.byWord.find(key);
    if (found != words.byWord.end()) return found->second;
    if (columns_.layout() == ContactCsvColumns::Layout::Own) {
      fail("\"" + word + "\" in column \"" + columns_.columnName(column) + "\" is not a " +
           words.what + " (one of " + words.listed + ")");
    } else {
      unplaced_.push_back({column, word});
    }
    return item.kind ? item.kind : fallback;
  }

  std::optional<std::string> imService(const ItemParts& item) {
    if (!item.has(Part::Type))
      return item.kind ? std::optional<std::string>(item.kind) : std::nullopt;
    return kind(Field::Im, item, nullptr);
  }

  std::shared_ptr<const Image> photo(const std::string& file) {
    const std::filesystem::path path = photoBase_ / file;
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error) {
      fail("cannot read photo " + path.string() + ": " + error.message());
      return nullptr;
    }
    if (size > kMaxPhotoBytes) {
      fail("photo " + path.string() + " is larger than 16 MiB");
      return nullptr;
    }
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes(static_cast<std::size_t>(size));
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!in) {
      fail("cannot read photo " + path.string());
      return nullptr;
    }
    auto image = Image::fromBytes(bytes);
    if (!image) fail("photo " + path.string() + " is not a JPEG or PNG image");
    return image;
  }

  bool failed() const { return !error_.empty(); }

 private:
  void fail(std::string message) {
    if (error_.empty()) error_ = std::move(message);
  }

  const ContactCsvColumns& columns_;
  const std::filesystem::path& photoBase_;
  std::vector<ContactCsvUnplaced>& unplaced_;
  std::string& error_;
};

// "1985", "4", "12" as 1985-04-12; "--04-12" without a year. None when the parts are not
// numbers of a date.
std::optional<std::string> dateFromParts(const ItemParts& item) {
  const auto number = [&](Part part, int low, int high) -> std::optional<int> {
    const auto text = textOf(item, part);
    if (!text) return std::nullopt;
    if (text->empty() || text->size() > 4 ||
        text->find_first_not_of("0123456789") != std::string::npos) {
      return -1;
    }
    const int value = std::stoi(*text);
    return value >= low && value <= high ? value : -1;
  };
  const auto year = number(Part::Year, 1, 9999);
  const auto month = number(Part::Month, 1, 12);
  const auto day = number(Part::Day, 1, 31);
  if (!month || !day || *month < 0 || *day < 0 || (year && *year < 0)) return std::nullopt;
  char text[48];
  if (year) {
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", *year, *month, *day);
  } else {
    std::snprintf(text, sizeof text, "--%02d-%02d", *month, *day);
  }
  return std::string(text);
}

// The desktop mail program writes "0/0/00" for a date it doesn't have.
bool isEmptyDate(std::string_view text) { return text == "0/0/00" || text == "0/0/0000"; }

}  // namespace

std::optional<ContactInfo> contact_csv_internal::contactFromRow(
    const ContactCsvColumns& columns,
    const std::vector<std::optional<ContactCsvColumns::Binding>>& bindings,
    const std::vector<std::string_view>& fields, const std::filesystem::path& photoBase,
    std::vector<ContactCsvUnplaced>& unplaced, std::string& error) {
  error.clear();
  unplaced.clear();
  ContactInfo contact;
  RowItems families;
  std::optional<std::pair<std::string, std::size_t>> photoFile;
  bool any = false;
  RowBuilder build(columns, photoBase, unplaced, error);

  for (std::size_t column = 0; column < fields.size(); ++column) {
    const std::string_view value = trimmed(fields[column]);
    if (value.empty()) continue;
    const ContactCsvColumns::Binding* binding =
        column < bindings.size() && bindings[column] ? &*bindings[column] : nullptr;
    if (!binding) {
      unplaced.push_back({column, std::string(value)});
      continue;
    }
    if (binding->part == Part::Redundant) continue;
    std::string text;  // a copy for the fields kept whole
    if (binding->field < Field::Birthday) text = value;
    switch (binding->field) {
      case Field::GivenName:
        contact.givenName = std::move(text);
        break;
      case Field::MiddleName:
        contact.middleName = std::move(text);
        break;
      case Field::FamilyName:
        contact.familyName = std::move(text);
        break;
      case Field::Prefix:
        contact.prefix = std::move(text);
        break;
      case Field::Suffix:
        contact.suffix = std::move(text);
        break;
      case Field::DisplayName:
        contact.displayName = std::move(text);
        break;
      case Field::Nickname:
        contact.nickname = std::move(text);
        break;
      case Field::Note:
        contact.groupNote.arrItem.push_back({std::move(text)});
        break;
      case Field::Photo:
        // The web address book writes the photo's web address, which names no file here.
        if (text.rfind("http://", 0) == 0 || text.rfind("https://", 0) == 0) {
          unplaced.push_back({column, std::move(text)});
          continue;
        }
        photoFile.emplace(std::move(text), column);
        break;
      case Field::Groups: {
        auto& names = contact.userData[kContactGroupNamesKey];
        const bool web = text.find(kMultiValueSeparator) != std::string::npos ||
                         columns.layout() == ContactCsvColumns::Layout::WebAddressBook;
        for (std::string name : splitOn(text, web ? kMultiValueSeparator : ";")) {
          // "* myContacts" is the web address book's mark on every contact, no group of the
          // user's; its other system groups lose their "* ".
          if (web && name.rfind("* ", 0) == 0) {
            if (name == "* myContacts") continue;
            name.erase(0, 2);
          }
          names.push_back(std::move(name));
        }
        if (names.empty()) contact.userData.erase(kContactGroupNamesKey);
        break;
      }
      default: {
        ItemParts& item = families.item(binding->field, binding->index);
        if (binding->kind) item.kind = binding->kind;
        item.text[static_cast<std::size_t>(binding->part)] = value;
        item.column[static_cast<std::size_t>(binding->part)] = column;
        break;
      }
    }
    any = true;
  }

  if (!contact.displayName) contact.displayName = displayNameFromParts(contact);

  // Several numbers or addresses in one value: one item each, of the same kind.
  for (const auto& [index, item] : families.items(Field::Phone)) {
    const auto value = textOf(item, Part::Value);
    if (!value) continue;
    const std::string type = build.kind(Field::Phone, item, E_Number_Mobile);
    for (std::string& number : splitOn(*value, kMultiValueSeparator)) {
      contact.groupNumber.arrItem.push_back({std::move(number), type});
    }
  }
  for (const auto& [index, item] : families.items(Field::Email)) {
    const auto value = textOf(item, Part::Value);
    if (!value) continue;
    const std::string type = build.kind(Field::Email, item, E_Email_Other);
    for (std::string& email : splitOn(*value, kMultiValueSeparator)) {
      contact.groupEmail.arrItem.push_back({std::move(email), type});
    }
  }
  for (const auto& [index, item] : families.items(Field::Im)) {
    if (auto handle = textOf(item, Part::Value)) {
      contact.groupIm.arrItem.push_back({std::move(handle), build.imService(item)});
    }
  }
  // Birthday and anniversary columns come first, then the numbered dates.
  for (const auto& [field, kind] : {std::pair{Field::Birthday, E_Date_Birthday},
                                    std::pair{Field::Anniversary, E_Date_Anniversary}}) {
    const ItemParts& item = families.first(field);
    std::optional<std::string> date = textOf(item, Part::Value);
    if (date && isEmptyDate(*date)) date.reset();
    if (!date && (item.has(Part::Year) || item.has(Part::Month) || item.has(Part::Day))) {
      date = dateFromParts(item);
      if (!date) {
        for (const Part part : {Part::Year, Part::Month, Part::Day}) {
          if (item.has(part)) unplaced.push_back({item.columnOf(part), std::string(item[part])});
        }
      }
    }
    if (date) contact.groupDate.arrItem.push_back({std::move(date), kind});
  }
  for (const auto& [index, item] : families.items(Field::Date)) {
    if (auto date = textOf(item, Part::Value)) {
      contact.groupDate.arrItem.push_back(
          {std::move(date), build.kind(Field::Date, item, E_Date_Other)});
    }
  }
  for (const auto& [index, item] : families.items(Field::Address)) {
    ContactAddressItem address;
    std::string street;
    for (const Part part :
         {Part::PoBox, Part::Street, Part::Street2, Part::Street3, Part::Extended}) {
      if (const auto text = textOf(item, part)) street += (street.empty() ? "" : ", ") + *text;
    }
    address.city = textOf(item, Part::City);
    address.region = textOf(item, Part::Region);
    address.postcode = textOf(item, Part::Postcode);
    address.country = textOf(item, Part::Country);
    if (street.empty() && !address.city && !address.region && !address.postcode &&
        !address.country) {
      // Only the address in one text: that is all there is of it.
      if (auto formatted = textOf(item, Part::Formatted)) street = std::move(*formatted);
    }
    if (!street.empty()) address.street = std::move(street);
    if (!address.street && !address.city && !address.region && !address.postcode &&
        !address.country) {
      continue;
    }
    address.addressType = build.kind(Field::Address, item, E_Address_Other);
    contact.groupAddress.arrItem.push_back(std::move(address));
  }
  for (const auto& [index, item] : families.items(Field::Organization)) {
    ContactOrganizationItem organization;
    organization.company = textOf(item, Part::Value);
    organization.department = textOf(item, Part::Department);
    organization.title = textOf(item, Part::JobTitle);
    if (organization.company || organization.department || organization.title) {
      contact.groupOrganization.arrItem.push_back(std::move(organization));
    }
  }
  for (const auto& [index, item] : families.items(Field::Website)) {
    if (auto website = textOf(item, Part::Value)) {
      contact.groupWebsite.arrItem.push_back({std::move(website)});
    }
  }
  if (photoFile && !build.failed()) contact.icon = build.photo(photoFile->first);
  if (build.failed()) return std::nullopt;
  if (!any) return std::nullopt;
  std::sort(
      unplaced.begin(), unplaced.end(),
      [](const ContactCsvUnplaced& a, const ContactCsvUnplaced& b) { return a.column < b.column; });
  return contact;
}

std::optional<std::string> displayNameFromParts(const ContactInfo& contact) {
  std::string name;
  for (const auto* part : {&contact.prefix, &contact.givenName, &contact.middleName,
                           &contact.familyName, &contact.suffix}) {
    if (!*part || (*part)->empty()) continue;
    if (!name.empty()) name += ' ';
    name += **part;
  }
  if (name.empty()) return std::nullopt;
  return name;
}

}  // namespace xr
