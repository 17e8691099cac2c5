// tools/xrf/contact_jobs.cpp: contacts CSV to ContactInfo, vCard composition, and the grouping
// of vCard records by shared telephone numbers.
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

#include "xrfoundation/contacts/contact_enums.h"
#include "xrfoundation/contacts/vcard_info.h"
#include "xrfoundation/contacts/vcard_parser.h"
#include "xrfoundation/phone/phone_number.h"
#include "xrfoundation/phone/shared_numbers.h"
#include "xrfoundation/platform/image.h"

namespace xrf {
namespace {

constexpr std::uint64_t kReadBlockSize = 256 * 1024;         // bytes per read of an input file
constexpr std::uintmax_t kMaxPhotoBytes = 16 * 1024 * 1024;  // larger "photos" are refused

enum class Field {
  GivenName,
  MiddleName,
  FamilyName,
  Prefix,
  Suffix,
  DisplayName,
  Nickname,
  Organization,
  Department,
  Title,
  Note,
  Groups,
  Photo,
  Birthday,
  Anniversary,
  // Numbered families.
  Phone,
  Email,
  Im,
  Date,
  Address,
  Website,
};

enum class Part { Value, Type, Street, City, Region, Postcode, Country };

// Lower case without spaces, '_' and '-': the form in which titles and kind words compare.
std::string normalized(std::string_view text) {
  std::string out;
  for (const char c : text) {
    if (c == ' ' || c == '_' || c == '-' || c == '\t' || c == '\r' || c == '\n') continue;
    out.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
  }
  return out;
}

// A field's text without surrounding white space and the line end the CSV reader keeps on the
// last field of a line.
std::string_view trimmed(std::string_view text) {
  const auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && isSpace(text.back())) text.remove_suffix(1);
  return text;
}

struct SingleTitle {
  const char* title;  // normalized
  Field field;
};
constexpr SingleTitle kSingleTitles[] = {
    {"givenname", Field::GivenName},
    {"firstname", Field::GivenName},
    {"middlename", Field::MiddleName},
    {"additionalname", Field::MiddleName},
    {"familyname", Field::FamilyName},
    {"lastname", Field::FamilyName},
    {"surname", Field::FamilyName},
    {"prefix", Field::Prefix},
    {"nameprefix", Field::Prefix},
    {"suffix", Field::Suffix},
    {"namesuffix", Field::Suffix},
    {"displayname", Field::DisplayName},
    {"fullname", Field::DisplayName},
    {"nickname", Field::Nickname},
    {"organization", Field::Organization},
    {"organisation", Field::Organization},
    {"company", Field::Organization},
    {"department", Field::Department},
    {"title", Field::Title},
    {"jobtitle", Field::Title},
    {"note", Field::Note},
    {"notes", Field::Note},
    {"groups", Field::Groups},
    {"group", Field::Groups},
    {"categories", Field::Groups},
    {"photo", Field::Photo},
    {"birthday", Field::Birthday},
    {"anniversary", Field::Anniversary},
};

struct FamilyTitle {
  const char* prefix;  // normalized
  Field field;
};
// Longer prefixes first, so that "website" is not read as "web" and so on.
constexpr FamilyTitle kFamilyTitles[] = {
    {"webaddress", Field::Website}, {"website", Field::Website}, {"address", Field::Address},
    {"phone", Field::Phone},        {"email", Field::Email},     {"date", Field::Date},
    {"url", Field::Website},        {"im", Field::Im},
};

std::optional<Part> partOf(Field family, std::string_view rest) {
  if (rest.empty()) return family == Field::Address ? Part::Street : Part::Value;
  if (family == Field::Website) return std::nullopt;
  if (rest == "type" || (family == Field::Im && rest == "service")) return Part::Type;
  if (family != Field::Address) return std::nullopt;
  if (rest == "street") return Part::Street;
  if (rest == "city" || rest == "locality") return Part::City;
  if (rest == "region" || rest == "state") return Part::Region;
  if (rest == "postcode" || rest == "postalcode" || rest == "zip") return Part::Postcode;
  if (rest == "country") return Part::Country;
  return std::nullopt;
}

// The kinds a type column may name: the enumeration names without their "E_Kind_" prefix,
// compared as normalized text ("Work Mobile" is E_Number_WorkMobile).
struct KindWords {
  const char* what;  // for messages: "phone number kind"
  std::map<std::string, std::string> byWord;
  std::string listed;  // "Home, Mobile, ..."
};

KindWords makeKindWords(const char* what, const xr::EnumDictionary& dictionary,
                        std::initializer_list<std::pair<const char*, const char*>> aliases = {}) {
  KindWords words{what, {}, {}};
  // The dictionary is keyed by code text; list the kinds in code order.
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
  static const auto* phone = new KindWords(makeKindWords(
      "phone number kind", xr::makeNumberEnumDictionary(), {{"cell", xr::E_Number_Mobile}}));
  static const auto* email =
      new KindWords(makeKindWords("e-mail kind", xr::makeEmailEnumDictionary()));
  static const auto* im =
      new KindWords(makeKindWords("instant-messaging service", xr::makeImEnumDictionary()));
  static const auto* date = new KindWords(makeKindWords("date kind", xr::makeDateEnumDictionary()));
  static const auto* address =
      new KindWords(makeKindWords("address kind", xr::makeAddressEnumDictionary()));
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

// The items of one numbered family in one row, by item number.
struct RowItems {
  std::map<int, std::map<Part, std::string>> items;
};

// Takes CSV text and turns it into a ContactInfo; collects the first error.
class RowBuilder {
 public:
  RowBuilder(const std::filesystem::path& photoBase, std::string& error)
      : photoBase_(photoBase), error_(error) {}

  // Absent text stays absent in the contact; kind words are checked here.
  std::optional<std::string> kind(Field family, const std::string& title, const std::string& word) {
    if (word.empty()) return std::nullopt;
    const KindWords& words = kindWords(family);
    const auto found = words.byWord.find(normalized(word));
    if (found != words.byWord.end()) return found->second;
    fail("\"" + word + "\" in column \"" + title + "\" is not a " + words.what + " (one of " +
         words.listed + ")");
    return std::nullopt;
  }

  std::shared_ptr<const xr::Image> photo(const std::string& file) {
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
    auto image = xr::Image::fromBytes(bytes);
    if (!image) fail("photo " + path.string() + " is not a JPEG or PNG image");
    return image;
  }

  bool failed() const { return !error_.empty(); }

 private:
  void fail(std::string message) {
    if (error_.empty()) error_ = std::move(message);
  }

  const std::filesystem::path& photoBase_;
  std::string& error_;
};

std::optional<std::string> textOrNone(const std::map<Part, std::string>& parts, Part part) {
  const auto found = parts.find(part);
  if (found == parts.end() || found->second.empty()) return std::nullopt;
  return found->second;
}

}  // namespace

struct ContactColumns::Binding {
  Field field;
  int index;  // item number for the numbered families, else 1
  Part part;
  auto key() const { return std::tie(field, index, part); }
};

ContactColumns::ContactColumns(const std::vector<std::string>& titles) {
  std::vector<Binding> taken;
  for (const std::string& rawTitle : titles) {
    std::string_view titleText = trimmed(rawTitle);
    // Spreadsheets often begin a UTF-8 file with a byte order mark.
    if (titleText.substr(0, 3) == "\xEF\xBB\xBF") titleText.remove_prefix(3);
    const std::string title(titleText);
    const std::string name = normalized(title);
    std::optional<Binding> binding;
    for (const SingleTitle& single : kSingleTitles) {
      if (name == single.title) binding = Binding{single.field, 1, Part::Value};
    }
    for (const FamilyTitle& family : kFamilyTitles) {
      if (binding || name.rfind(family.prefix, 0) != 0) continue;
      std::string_view rest = std::string_view(name).substr(std::strlen(family.prefix));
      int index = 1;
      const std::size_t digits = rest.find_first_not_of("0123456789");
      const std::size_t digitCount = digits == std::string_view::npos ? rest.size() : digits;
      if (digitCount > 0) {
        // More than six digits is no item number anyone writes; such a title is unknown.
        if (digitCount > 6) break;
        index = std::stoi(std::string(rest.substr(0, digitCount)));
        rest.remove_prefix(digitCount);
        if (index < 1) break;
      }
      if (const auto part = partOf(family.field, rest))
        binding = Binding{family.field, index, *part};
      break;
    }
    if (!binding) {
      unknown_.push_back(title);
      continue;
    }
    const bool repeats = std::any_of(taken.begin(), taken.end(),
                                     [&](const Binding& b) { return b.key() == binding->key(); });
    if (repeats) {
      repeated_.push_back(title);
      continue;
    }
    taken.push_back(*binding);
    bindings_.emplace_back(rawTitle, *binding);
  }
}

ContactColumns::~ContactColumns() = default;
ContactColumns::ContactColumns(ContactColumns&&) noexcept = default;
ContactColumns& ContactColumns::operator=(ContactColumns&&) noexcept = default;

std::optional<xr::ContactInfo> ContactColumns::contactFromRow(
    const xr::CsvRow& row, const std::filesystem::path& photoBase, std::string& error) const {
  error.clear();
  xr::ContactInfo contact;
  std::map<Field, RowItems> families;
  std::string photoFile;
  bool any = false;
  RowBuilder build(photoBase, error);
  std::map<std::pair<Field, int>, std::string> typeTitles;  // for messages

  for (const auto& [title, binding] : bindings_) {
    const auto field = row.value(title);
    if (!field) continue;
    std::string text(trimmed(*field));
    if (text.empty()) continue;
    any = true;
    switch (binding.field) {
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
        photoFile = std::move(text);
        break;
      case Field::Groups: {
        // Several group names share the column, separated by ';'.
        auto& names = contact.userData[xr::kContactGroupNamesKey];
        std::string_view rest = text;
        while (!rest.empty()) {
          const std::size_t cut = std::min(rest.find(';'), rest.size());
          const std::string_view name = trimmed(rest.substr(0, cut));
          if (!name.empty()) names.emplace_back(name);
          rest.remove_prefix(std::min(cut + 1, rest.size()));
        }
        break;
      }
      case Field::Organization:
      case Field::Department:
      case Field::Title:
      case Field::Birthday:
      case Field::Anniversary:
        // Gathered as parts of one item of their own kind below.
        families[binding.field].items[1][Part::Value] = std::move(text);
        break;
      default:
        if (binding.part == Part::Type) {
          typeTitles[{binding.field, binding.index}] = std::string(trimmed(title));
        }
        families[binding.field].items[binding.index][binding.part] = std::move(text);
        break;
    }
  }
  if (!any) return std::nullopt;

  if (!contact.displayName) contact.displayName = displayNameFromParts(contact);

  const auto typeOf = [&](Field family, int index, const std::map<Part, std::string>& parts) {
    const auto word = textOrNone(parts, Part::Type);
    return word ? build.kind(family, typeTitles[{family, index}], *word) : std::nullopt;
  };
  for (const auto& [index, parts] : families[Field::Phone].items) {
    if (auto number = textOrNone(parts, Part::Value)) {
      const auto type = typeOf(Field::Phone, index, parts);
      contact.groupNumber.arrItem.push_back(
          {std::move(number), type.value_or(xr::E_Number_Mobile)});
    }
  }
  for (const auto& [index, parts] : families[Field::Email].items) {
    if (auto email = textOrNone(parts, Part::Value)) {
      const auto type = typeOf(Field::Email, index, parts);
      contact.groupEmail.arrItem.push_back({std::move(email), type.value_or(xr::E_Email_Other)});
    }
  }
  for (const auto& [index, parts] : families[Field::Im].items) {
    if (auto handle = textOrNone(parts, Part::Value)) {
      contact.groupIm.arrItem.push_back({std::move(handle), typeOf(Field::Im, index, parts)});
    }
  }
  // Birthday and anniversary columns come first, then the numbered dates.
  if (auto date = textOrNone(families[Field::Birthday].items[1], Part::Value)) {
    contact.groupDate.arrItem.push_back({std::move(date), xr::E_Date_Birthday});
  }
  if (auto date = textOrNone(families[Field::Anniversary].items[1], Part::Value)) {
    contact.groupDate.arrItem.push_back({std::move(date), xr::E_Date_Anniversary});
  }
  for (const auto& [index, parts] : families[Field::Date].items) {
    if (auto date = textOrNone(parts, Part::Value)) {
      const auto type = typeOf(Field::Date, index, parts);
      contact.groupDate.arrItem.push_back({std::move(date), type.value_or(xr::E_Date_Other)});
    }
  }
  for (const auto& [index, parts] : families[Field::Address].items) {
    xr::ContactAddressItem address;
    address.street = textOrNone(parts, Part::Street);
    address.city = textOrNone(parts, Part::City);
    address.region = textOrNone(parts, Part::Region);
    address.postcode = textOrNone(parts, Part::Postcode);
    address.country = textOrNone(parts, Part::Country);
    if (!address.street && !address.city && !address.region && !address.postcode &&
        !address.country) {
      continue;
    }
    address.addressType = typeOf(Field::Address, index, parts).value_or(xr::E_Address_Other);
    contact.groupAddress.arrItem.push_back(std::move(address));
  }
  {
    xr::ContactOrganizationItem organization;
    organization.company = textOrNone(families[Field::Organization].items[1], Part::Value);
    organization.department = textOrNone(families[Field::Department].items[1], Part::Value);
    organization.title = textOrNone(families[Field::Title].items[1], Part::Value);
    if (organization.company || organization.department || organization.title) {
      contact.groupOrganization.arrItem.push_back(std::move(organization));
    }
  }
  for (const auto& [index, parts] : families[Field::Website].items) {
    if (auto website = textOrNone(parts, Part::Value)) {
      contact.groupWebsite.arrItem.push_back({std::move(website)});
    }
  }
  if (!photoFile.empty() && !build.failed()) contact.icon = build.photo(photoFile);
  if (build.failed()) return std::nullopt;
  return contact;
}

// Counts the bytes the CSV reader takes from the file, for the share read.
class ContactCsvReader::CountingStream final : public xr::InputStream {
 public:
  explicit CountingStream(std::shared_ptr<xr::InputStream> inner) : inner_(std::move(inner)) {}
  xr::StreamStatus status() const override { return inner_->status(); }
  void open() override { inner_->open(); }
  void close() override { inner_->close(); }
  std::int64_t read(std::uint8_t* buffer, std::uint64_t maxLength) override {
    const std::int64_t got = inner_->read(buffer, maxLength);
    if (got > 0) bytes_ += static_cast<std::uint64_t>(got);
    return got;
  }
  bool hasBytesAvailable() const override { return inner_->hasBytesAvailable(); }
  bool getBuffer(const std::uint8_t*& buffer, std::uint64_t& length) override {
    return inner_->getBuffer(buffer, length);
  }
  std::optional<std::string> streamError() const override { return inner_->streamError(); }
  std::uint64_t bytes() const { return bytes_; }

 private:
  std::shared_ptr<xr::InputStream> inner_;
  std::uint64_t bytes_ = 0;
};

ContactCsvReader::ContactCsvReader() = default;
ContactCsvReader::~ContactCsvReader() = default;

bool ContactCsvReader::open(const std::filesystem::path& path) {
  path_ = path;
  std::error_code sizeError;
  fileSize_ = std::filesystem::file_size(path, sizeError);
  if (sizeError) {
    error_ = "cannot read " + path.string() + ": " + sizeError.message();
    return false;
  }
  counter_ = std::make_shared<CountingStream>(xr::makeFileInputStream(path.string()));
  reader_ = std::make_unique<xr::XRBufferedInputStream>(counter_, kReadBlockSize);
  reader_->open();
  const xr::CsvTitles titles = reader_->csvReadHeader();
  if (reader_->status() == xr::StreamStatus::Error) {
    error_ = reader_->streamError().value_or("cannot read " + path.string());
    return false;
  }
  if (!titles) {
    error_ = path.string() + ": no header line (an empty file)";
    return false;
  }
  columns_ = std::make_unique<ContactColumns>(*titles);
  return true;
}

ContactCsvReader::Next ContactCsvReader::next(xr::ContactInfo& contact) {
  const std::filesystem::path photoBase = path_.parent_path();
  std::string reason;
  while (auto row = reader_->csvReadData()) {
    ++line_;
    auto read = columns_->contactFromRow(*row, photoBase, reason);
    if (read) {
      contact = std::move(*read);
      ++contacts_;
      return Next::Contact;
    }
    if (!reason.empty()) {
      error_ = path_.string() + ":" + std::to_string(line_) + ": " + reason;
      return Next::Error;
    }
    ++blankRows_;
  }
  if (reader_->status() == xr::StreamStatus::Error) {
    error_ = reader_->streamError().value_or("cannot read " + path_.string());
    return Next::Error;
  }
  return Next::End;
}

double ContactCsvReader::fractionRead() const {
  if (!counter_ || fileSize_ == 0) return 1.0;
  return std::min(1.0, static_cast<double>(counter_->bytes()) / static_cast<double>(fileSize_));
}

std::optional<std::string> displayNameFromParts(const xr::ContactInfo& contact) {
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
    for (const auto* part : {&contact.givenName, &contact.middleName, &contact.prefix,
                             &contact.suffix}) {
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
  std::vector<std::string> titles = {"Given Name", "Middle Name", "Family Name", "Prefix",
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
  numbered("Address", counts.addresses, {"Street", "City", "Region", "Postcode", "Country", "Type"});
  titles.insert(titles.end(), {"Organization", "Department", "Title"});
  numbered("Website", counts.websites, {""});
  titles.insert(titles.end(), {"Note", "Groups", "Photo"});
  return titles;
}

std::vector<std::string> contactCsvFields(const xr::ContactInfo& c, const CsvItemCounts& counts,
                                          const std::string& photoFile,
                                          std::vector<std::string>& lost) {
  std::vector<std::string> fields = {orEmpty(c.givenName),   orEmpty(c.middleName),
                                     orEmpty(c.familyName),  orEmpty(c.prefix),
                                     orEmpty(c.suffix),      orEmpty(c.displayName),
                                     orEmpty(c.nickname)};
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
    fields.insert(fields.end(), {orEmpty(organizations[0].company),
                                 orEmpty(organizations[0].department),
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
