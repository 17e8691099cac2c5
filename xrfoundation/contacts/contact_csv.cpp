// contacts/contact_csv.cpp: the column tables of each layout, the row-to-contact mapping and
// the reader over StandardCsvReader.
#include "xrfoundation/contacts/contact_csv.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <system_error>
#include <tuple>

#include "xrfoundation/contacts/contact_enums.h"
#include "xrfoundation/input/csv_standard_reader.h"
#include "xrfoundation/platform/image.h"

namespace xr {
namespace {

constexpr std::uintmax_t kMaxPhotoBytes = 16 * 1024 * 1024;  // larger "photos" are refused
constexpr int kMaxItemDigits = 6;  // "Phone 1234567" is no item number anyone writes
// Item numbers of columns that name their item by a word ("Home Street", "Mobile Phone"):
// above any written number, so that they never meet a numbered column's item.
constexpr int kWordItemBase = 10'000'000;
// The web address book puts several values in one field with this between them.
constexpr std::string_view kMultiValueSeparator = " ::: ";

enum class Field {
  GivenName,
  MiddleName,
  FamilyName,
  Prefix,
  Suffix,
  DisplayName,
  Nickname,
  Note,
  Groups,
  Photo,
  Birthday,
  Anniversary,
  // Families of items, numbered.
  Organization,
  Phone,
  Email,
  Im,
  Date,
  Address,
  Website,
};

enum class Part {
  Value,
  Type,
  Street,
  Street2,  // a second or third street line, joined to the street
  PoBox,
  Extended,
  City,
  Region,
  Postcode,
  Country,
  Formatted,  // the whole address in one text, used only when no other part has text
  Department,
  JobTitle,
  Year,
  Month,
  Day,
  Redundant,  // a rendering of other columns ("E-mail Display Name"), not kept
};

// Lower case without blanks, '_' and '-': the form in which titles and kind words compare.
std::string normalized(std::string_view text) {
  std::string out;
  for (const char c : text) {
    if (c == ' ' || c == '_' || c == '-' || c == '\t' || c == '\r' || c == '\n') continue;
    out.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
  }
  return out;
}

// A value without surrounding blanks and line ends.
std::string_view trimmed(std::string_view text) {
  const auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && isSpace(text.back())) text.remove_suffix(1);
  return text;
}

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

}  // namespace

struct ContactCsvColumns::Binding {
  Field field;
  int index;  // item number for the families, else 1
  Part part;
  const char* kind = nullptr;  // a kind that the column itself names
  auto key() const { return std::tie(field, index, part); }
};

namespace {

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

constexpr std::size_t kPartCount = static_cast<std::size_t>(Part::Redundant) + 1;
constexpr std::size_t kFieldCount = static_cast<std::size_t>(Field::Website) + 1;

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

std::optional<ContactInfo> ContactCsvColumns::contactFromRecord(
    const std::vector<std::string_view>& fields, const std::filesystem::path& photoBase,
    std::vector<ContactCsvUnplaced>& unplaced, std::string& error) const {
  error.clear();
  unplaced.clear();
  ContactInfo contact;
  RowItems families;
  std::optional<std::pair<std::string, std::size_t>> photoFile;
  bool any = false;
  RowBuilder build(*this, photoBase, unplaced, error);

  for (std::size_t column = 0; column < fields.size(); ++column) {
    const std::string_view value = trimmed(fields[column]);
    if (value.empty()) continue;
    const Binding* binding =
        column < bindings_.size() && bindings_[column] ? &*bindings_[column] : nullptr;
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
                         layout_ == Layout::WebAddressBook;
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
    for (const Part part : {Part::PoBox, Part::Street, Part::Street2, Part::Extended}) {
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

ContactCsvReader::ContactCsvReader() = default;
ContactCsvReader::~ContactCsvReader() = default;

bool ContactCsvReader::open(std::shared_ptr<InputStream> input, std::filesystem::path photoBase) {
  photoBase_ = std::move(photoBase);
  summary_ = {};
  unplacedByColumn_.clear();
  errorLine_ = 0;
  errorReason_.clear();
  columns_.reset();
  csv_ = std::make_unique<StandardCsvReader>(std::move(input));
  if (!csv_->open()) {
    readerFailed();
    return false;
  }
  const auto* titles = csv_->readRecord();
  if (!titles) {
    if (csv_->failed()) {
      readerFailed();
      return false;
    }
    errorReason_ = "no header line (an empty file)";
    return false;
  }
  columns_ =
      std::make_unique<ContactCsvColumns>(std::vector<std::string>(titles->begin(), titles->end()));
  return true;
}

ContactCsvReader::Next ContactCsvReader::readerFailed() {
  errorLine_ = csv_->errorLine();
  errorReason_ = csv_->errorReason();
  return Next::Error;
}

ContactCsvReader::Next ContactCsvReader::next(ContactInfo& contact) {
  if (!csv_ || !columns_ || !errorReason_.empty()) return Next::Error;
  std::string reason;
  while (const auto* fields = csv_->readRecord()) {
    auto read = columns_->contactFromRecord(*fields, photoBase_, rowUnplaced_, reason);
    if (!reason.empty()) {
      errorLine_ = csv_->recordLine();
      errorReason_ = reason;
      return Next::Error;
    }
    if (strict_ && !rowUnplaced_.empty()) {
      const ContactCsvUnplaced& first = rowUnplaced_.front();
      errorLine_ = csv_->recordLine();
      errorReason_ = "\"" + first.value + "\" in column \"" + columns_->columnName(first.column) +
                     "\" has no place in a contact";
      return Next::Error;
    }
    countUnplaced(rowUnplaced_);
    if (!read) {
      ++summary_.blankRows;
      continue;
    }
    contact = std::move(*read);
    ++summary_.contacts;
    summary_.numbers += contact.groupNumber.arrItem.size();
    summary_.emails += contact.groupEmail.arrItem.size();
    return Next::Contact;
  }
  if (csv_->failed()) return readerFailed();
  return Next::End;
}

void ContactCsvReader::countUnplaced(const std::vector<ContactCsvUnplaced>& unplaced) {
  if (unplaced.empty()) return;
  for (const ContactCsvUnplaced& value : unplaced) {
    if (unplacedByColumn_.size() <= value.column) unplacedByColumn_.resize(value.column + 1);
    ++unplacedByColumn_[value.column];
  }
  summary_.unplaced.clear();
  for (std::size_t column = 0; column < unplacedByColumn_.size(); ++column) {
    if (unplacedByColumn_[column] > 0) {
      summary_.unplaced.emplace_back(columns_->columnName(column), unplacedByColumn_[column]);
    }
  }
}

std::uint64_t ContactCsvReader::bytesRead() const { return csv_ ? csv_->bytesRead() : 0; }

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
