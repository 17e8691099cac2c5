// contacts/contact_csv_columns.cpp: the binding of a header's titles to fields -- by the title
// tables made from csv_columns.tsv and by the numbered families' rules.
#include "xrfoundation/contacts/contact_csv_columns.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

#include "xrfoundation/contacts/contact_csv_columns_internal.h"
#include "xrfoundation/contacts/contact_csv_row_internal.h"
#include "xrfoundation/contacts/contact_csv_vocabulary_internal.h"
#include "xrfoundation/contacts/contact_enums.h"
#include "xrfoundation/platform/ascii.h"
#include "xrfoundation/platform/unicode_text.h"

namespace xr {
namespace contact_csv_internal {

// Folded case without blanks, '_' and '-': the form in which titles and kind words compare.
// ASCII text, nearly every title and kind word, folds without a library call.
std::string normalized(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  bool ascii = true;
  for (const char c : text) {
    if (c == ' ' || c == '_' || c == '-' || c == '\t' || c == '\r' || c == '\n') continue;
    ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    out.push_back(asciiLower(c));
  }
  return ascii ? out : foldedNfc(out);
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

// The place a numbered title names: "Phone 2", "E-mail 1 - Value", "Address 3 City".
std::optional<ContactCsvColumns::Binding> numberedBinding(std::string_view name,
                                                          ContactCsvColumns::Layout layout) {
  for (const FamilyTitle& family : kFamilyTitles) {
    if (name.rfind(family.prefix, 0) != 0) continue;
    std::string_view rest = name.substr(std::strlen(family.prefix));
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
      return ContactCsvColumns::Binding{family.field, index, *part};
    }
    return std::nullopt;
  }
  return std::nullopt;
}

// Where the tables hold each title: table and entry indexes by normalized title, in table order.
using Place = std::pair<std::size_t, std::size_t>;
const std::unordered_map<std::string, std::vector<Place>>& titleIndex() {
  static const auto* index = [] {
    auto* made = new std::unordered_map<std::string, std::vector<Place>>();
    const auto tables = contact_csv_internal::vocabularyTables();
    for (std::size_t t = 0; t < tables.size(); ++t) {
      for (std::size_t e = 0; e < tables[t].entries.size(); ++e) {
        (*made)[normalized(tables[t].entries[e].title)].emplace_back(t, e);
      }
    }
    return made;
  }();
  return *index;
}

// The item of an address column that names its kind: one per kind, so that "Home Street" and
// "Home City" make one address.
int addressItem(const char* kind) {
  if (kind == nullptr) return kWordItemBase;
  const std::string_view k(kind);
  if (k == E_Address_Home) return kWordItemBase + 1;
  if (k == E_Address_Work) return kWordItemBase + 2;
  return kWordItemBase + 3;
}

std::optional<ContactCsvColumns::Binding> entryBinding(
    const contact_csv_internal::VocabularyEntry& entry, std::size_t column) {
  if (!entry.placed) return std::nullopt;
  int item = entry.item;
  if (item == 0) {
    switch (entry.field) {
      case Field::Address:
        item = addressItem(entry.kind);
        break;
      case Field::Phone:
      case Field::Email:
      case Field::Im:
      case Field::Date:
      case Field::Website:
        item = kWordItemBase + static_cast<int>(column);
        break;
      default:
        item = 1;
    }
  }
  return ContactCsvColumns::Binding{entry.field, item, entry.part, entry.kind};
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

  // The layout and language: the table that knows the most columns; the first on a tie.
  const auto tables = contact_csv_internal::vocabularyTables();
  const auto& index = titleIndex();
  std::vector<const std::vector<Place>*> found(names.size(), nullptr);
  std::vector<std::size_t> score(tables.size(), 0);
  for (std::size_t column = 0; column < names.size(); ++column) {
    const auto at = index.find(names[column]);
    if (at == index.end()) continue;
    found[column] = &at->second;
    std::size_t last = tables.size();
    for (const auto& [table, entry] : at->second) {
      if (table != last) ++score[table];  // a table's own spellings count once
      last = table;
    }
  }
  std::size_t best = 0;
  for (std::size_t t = 1; t < tables.size(); ++t) {
    if (score[t] > score[best]) best = t;
  }
  layout_ = tables[best].layout;
  language_ = tables[best].language;

  // A column's place: in the best table, in the layout's other languages, by its number, or in
  // any table, in this order. A title that a table holds more than once ("Ville" for the home
  // and the work city) takes its entries in turn, one per column of that title.
  std::unordered_map<std::string_view, std::size_t> seen;  // earlier columns, by name
  const auto bindingOf = [&](std::size_t column) -> std::optional<Binding> {
    const std::vector<Place> none;
    const std::vector<Place>& places = found[column] ? *found[column] : none;
    std::size_t earlier = seen[names[column]]++;
    const auto firstWhere = [&](auto&& wanted, std::size_t skip) -> const Place* {
      const Place* first = nullptr;
      for (const Place& place : places) {
        if (!wanted(place.first)) continue;
        if (!first) first = &place;
        if (skip-- == 0) return &place;
      }
      return first;
    };
    const Place* place = firstWhere([&](std::size_t t) { return t == best; }, earlier);
    if (!place) {
      place = firstWhere([&](std::size_t t) { return tables[t].layout == layout_; }, 0);
    }
    if (!place) {
      if (auto numbered = numberedBinding(names[column], layout_)) return numbered;
      if (!places.empty()) place = &places.front();
    }
    if (!place) return std::nullopt;
    return entryBinding(tables[place->first].entries[place->second], column);
  };

  std::vector<Binding> taken;
  for (std::size_t column = 0; column < titles_.size(); ++column) {
    std::optional<Binding> binding = bindingOf(column);
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

std::string ContactCsvColumns::layoutName() const {
  return contact_csv_internal::layoutName(layout_);
}

std::string ContactCsvColumns::columnName(std::size_t column) const {
  if (column < titles_.size() && !titles_[column].empty()) return titles_[column];
  return "(column " + std::to_string(column + 1) + ")";
}

std::optional<ContactInfo> ContactCsvColumns::contactFromRecord(
    const std::vector<std::string_view>& fields, const std::filesystem::path& photoBase,
    std::vector<ContactCsvUnplaced>& unplaced, std::string& error) const {
  return contact_csv_internal::contactFromRow(*this, bindings_, fields, photoBase, unplaced, error);
}

}  // namespace xr
