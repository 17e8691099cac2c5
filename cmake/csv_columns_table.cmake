# Turns the contacts CSV column vocabulary (xrfoundation/contacts/csv_columns.tsv) into a C++
# source of constant tables. Run as a script at build time:
#   cmake -DIN=csv_columns.tsv -DOUT=contact_csv_vocabulary_tables.cpp -P csv_columns_table.cmake
# The data file's format is described at its top; a line this script cannot read stops the build
# with its line number.
# One list element per line, empty lines included, so that the line numbers of errors are right.
# A ';' (CMake's list separator) stands as a control character until a cell is taken out.
file(READ "${IN}" text)
string(ASCII 1 semicolon)
string(REPLACE ";" "${semicolon}" text "${text}")
string(REPLACE "\n" ";" lines "${text}")
macro(cell index var)
  list(GET cells ${index} ${var})
  string(REPLACE "${semicolon}" ";" ${var} "${${var}}")
endmacro()

set(fields_given GivenName)
set(fields_middle MiddleName)
set(fields_family FamilyName)
set(fields_prefix Prefix)
set(fields_suffix Suffix)
set(fields_display DisplayName)
set(fields_nickname Nickname)
set(fields_note Note)
set(fields_groups Groups)
set(fields_photo Photo)
set(fields_birthday Birthday)
set(fields_anniversary Anniversary)
set(fields_org Organization)
set(fields_phone Phone)
set(fields_email Email)
set(fields_im Im)
set(fields_date Date)
set(fields_address Address)
set(fields_web Website)
set(kinds_phone E_Number_)
set(kinds_email E_Email_)
set(kinds_im E_Im_)
set(kinds_date E_Date_)
set(kinds_address E_Address_)
foreach(part Value Type Street Street2 Street3 PoBox Extended City Region Postcode Country Formatted
             Department JobTitle Year Month Day Redundant)
  string(TOLOWER "${part}" word)
  set(parts_${word} ${part})
endforeach()

function(cxx_string out text)
  string(REPLACE "\\" "\\\\" text "${text}")
  string(REPLACE "\"" "\\\"" text "${text}")
  set(${out} "\"${text}\"" PARENT_SCOPE)
endfunction()

set(tables "")      # one "{...}," per table
set(entries "")     # the entry arrays
set(layout_cases "")
set(table_count 0)
set(line_number 0)
set(in_table FALSE)
macro(close_table)
  if(in_table)
    string(APPEND entries "};\n")
    cxx_string(language_literal "${language}")
    cxx_string(source_literal "${source}")
    string(APPEND tables "    {ContactCsvColumns::Layout::${layout_enum}, ${language_literal},\n"
                         "     ${source_literal},\n     kTable${table_count}},\n")
    math(EXPR table_count "${table_count} + 1")
  endif()
endmacro()

foreach(line IN LISTS lines)
  math(EXPR line_number "${line_number} + 1")
  if(line MATCHES "^#" OR line MATCHES "^[ \t]*$")
    continue()
  endif()
  string(REPLACE "\t" ";" cells "${line}")
  cell(0 first)
  list(LENGTH cells cell_count)
  if(first STREQUAL "@layout")
    # @layout KEY ENUM ENGLISH-NAME
    cell(1 key)
    cell(2 enum)
    cell(3 name)
    set(layout_of_${key} ${enum})
    cxx_string(name_literal "${name}")
    string(APPEND layout_cases "    case ContactCsvColumns::Layout::${enum}:\n"
                               "      return ${name_literal};\n")
  elseif(first STREQUAL "@table")
    # @table LAYOUT-KEY LANGUAGE
    close_table()
    cell(1 key)
    cell(2 language)
    if(NOT DEFINED layout_of_${key})
      message(FATAL_ERROR "${IN}:${line_number}: no @layout ${key} before this table")
    endif()
    set(layout_enum ${layout_of_${key}})
    set(source "")
    set(in_table TRUE)
    string(APPEND entries "constexpr VocabularyEntry kTable${table_count}[] = {\n")
  elseif(first STREQUAL "@source")
    cell(1 text)
    if(source STREQUAL "")
      set(source "${text}")
    else()
      set(source "${source}; ${text}")
    endif()
  elseif(first MATCHES "^@")
    message(FATAL_ERROR "${IN}:${line_number}: unknown directive ${first}")
  else()
    if(NOT in_table OR NOT cell_count EQUAL 2)
      message(FATAL_ERROR "${IN}:${line_number}: expected TITLE<tab>MEANING inside a @table")
    endif()
    cell(1 meaning)
    cxx_string(title_literal "${first}")
    if(meaning STREQUAL "-")
      string(APPEND entries "    {${title_literal}, Field::Note, 0, Part::Value, nullptr, false},\n")
      continue()
    endif()
    # FIELD[#ITEM][.PART][:KIND]
    if(NOT meaning MATCHES "^([a-z]+)(#([0-9]+))?(\\.([a-z0-9]+))?(:([A-Za-z]+))?$")
      message(FATAL_ERROR "${IN}:${line_number}: cannot read the meaning \"${meaning}\"")
    endif()
    set(field_word "${CMAKE_MATCH_1}")
    set(item "${CMAKE_MATCH_3}")
    set(part_word "${CMAKE_MATCH_5}")
    set(kind_word "${CMAKE_MATCH_7}")
    if(NOT DEFINED fields_${field_word})
      message(FATAL_ERROR "${IN}:${line_number}: unknown field \"${field_word}\"")
    endif()
    if(item STREQUAL "")
      set(item 0)
    endif()
    if(part_word STREQUAL "")
      set(part_word value)
    endif()
    if(NOT DEFINED parts_${part_word})
      message(FATAL_ERROR "${IN}:${line_number}: unknown part \"${part_word}\"")
    endif()
    set(kind nullptr)
    if(NOT kind_word STREQUAL "")
      if(NOT DEFINED kinds_${field_word})
        message(FATAL_ERROR "${IN}:${line_number}: a ${field_word} column names no kind")
      endif()
      set(kind "${kinds_${field_word}}${kind_word}")
    endif()
    string(APPEND entries "    {${title_literal}, Field::${fields_${field_word}}, ${item}, "
                          "Part::${parts_${part_word}}, ${kind}, true},\n")
  endif()
endforeach()
close_table()

set(text "// Generated from xrfoundation/contacts/csv_columns.tsv by cmake/csv_columns_table.cmake;
// edit the data file, not this one.
#include \"xrfoundation/contacts/contact_csv_vocabulary_internal.h\"

#include \"xrfoundation/contacts/contact_enums.h\"

namespace xr::contact_csv_internal {
namespace {

${entries}
constexpr VocabularyTable kTables[] = {
${tables}};

}  // namespace

std::span<const VocabularyTable> vocabularyTables() { return kTables; }

const char* layoutName(ContactCsvColumns::Layout layout) {
  switch (layout) {
${layout_cases}  }
  return \"\";
}

}  // namespace xr::contact_csv_internal
")
file(WRITE "${OUT}" "${text}")
