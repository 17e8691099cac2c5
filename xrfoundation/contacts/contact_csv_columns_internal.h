// contacts/contact_csv_columns_internal.h: what the column vocabulary (contact_csv_columns.cpp)
// hands the row mapping (contact_csv_row.cpp): the fields and parts a column can name, and a
// column's binding to one of them.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <tuple>

#include "xrfoundation/contacts/contact_csv_columns.h"

namespace xr::contact_csv_internal {

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
  Street2,  // a second street line, joined to the street
  Street3,  // a third street line, joined after the second
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

constexpr std::size_t kPartCount = static_cast<std::size_t>(Part::Redundant) + 1;
constexpr std::size_t kFieldCount = static_cast<std::size_t>(Field::Website) + 1;

// Lower case without blanks, '_' and '-': the form in which titles and kind words compare.
std::string normalized(std::string_view text);

}  // namespace xr::contact_csv_internal

namespace xr {

struct ContactCsvColumns::Binding {
  contact_csv_internal::Field field;
  int index;  // item number for the families, else 1
  contact_csv_internal::Part part;
  const char* kind = nullptr;  // a kind that the column itself names
  auto key() const { return std::tie(field, index, part); }
};

}  // namespace xr
