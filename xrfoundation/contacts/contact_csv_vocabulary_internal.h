// contacts/contact_csv_vocabulary_internal.h: the column titles of the address-book exports
// that the import knows, one table per layout and language, made at build time from
// csv_columns.tsv (the reference of every title, its meaning and its public source).
#pragma once
#include <span>

#include "xrfoundation/contacts/contact_csv_columns_internal.h"

namespace xr::contact_csv_internal {

// One title of a table and the place it names.
struct VocabularyEntry {
  const char* title;  // as the program writes it
  Field field;
  int item;  // item number; 0: the column is an item of its own (an address: one per kind)
  Part part;
  const char* kind;  // the kind the column names, or null
  bool placed;       // false: a known title whose values have no place in a contact
};

// The titles of one layout in one user-interface language.
struct VocabularyTable {
  ContactCsvColumns::Layout layout;
  const char* language;  // in English: "German"
  const char* source;    // where the titles were found
  std::span<const VocabularyEntry> entries;
};

// Every table, in the data file's order: the first tables win a tie.
std::span<const VocabularyTable> vocabularyTables();

// A layout's name in English words: "desktop mail program".
const char* layoutName(ContactCsvColumns::Layout layout);

}  // namespace xr::contact_csv_internal
