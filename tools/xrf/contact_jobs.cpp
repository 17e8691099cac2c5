// tools/xrf/contact_jobs.cpp: the contacts import over a named file, vCard composition, and the
// names and numbers of contacts.
#include "contact_jobs.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <numeric>
#include <system_error>
#include <tuple>

#include "tool_input.h"
#include "xrfoundation/contacts/vcard_info.h"
#include "xrfoundation/contacts/vcard_parser.h"
#include "xrfoundation/contacts/vcard_standard.h"
#include "xrfoundation/platform/ascii.h"
#include "xrfoundation/platform/file_system.h"

namespace xrf {

ContactFileImport::~ContactFileImport() {
  // The copy's stream only reads the C stream; it never closes it.
  if (copy_) std::fclose(copy_);
}

bool ContactFileImport::open(const std::string& path, bool rereadable) {
  path_ = path;
  name_ = isStandardInput(path) ? std::string("standard input") : path;
  if (isStandardInput(path) && rereadable) {
    // A pipe is read once: its bytes go to a temporary file, never all into memory.
    copy_ = std::tmpfile();
    if (!copy_) {
      error_ = std::string("cannot make a temporary file: ") + std::strerror(errno);
      return false;
    }
    char chunk[1 << 16];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, stdin)) > 0) {
      if (std::fwrite(chunk, 1, got, copy_) != got) {
        error_ = std::string("cannot write a temporary file: ") + std::strerror(errno);
        return false;
      }
    }
    if (std::ferror(stdin)) {
      error_ = std::string("cannot read standard input: ") + std::strerror(errno);
      return false;
    }
    copySize_ = static_cast<std::uint64_t>(std::ftell(copy_));
  }
  return rewind();
}

bool ContactFileImport::rewind() {
  error_.clear();
  bool opened;
  if (copy_) {
    std::rewind(copy_);
    // Photos are named relative to the working folder for a pipe.
    opened = reader_.open(openStdioStream(copy_, name_), copySize_);
  } else if (isStandardInput(path_)) {
    opened = reader_.open(openInputStream(path_));
  } else {
    opened = reader_.open(xr::pathFromUtf8(path_));
  }
  return opened || failed();
}

ContactFileImport::Next ContactFileImport::next(xr::ContactInfo& contact) {
  switch (reader_.next(contact)) {
    case xr::ContactFileReader::Next::Contact:
      return Next::Contact;
    case xr::ContactFileReader::Next::End:
      return Next::End;
    case xr::ContactFileReader::Next::Error:
      break;
  }
  failed();
  return Next::Error;
}

bool ContactFileImport::failed() {
  const std::string& reason = reader_.errorReason();
  static constexpr std::string_view kNoField = "no column names a contact field";
  if (reason.rfind(kNoField, 0) == 0) {
    // The header as a whole is at fault, not its line: "no column of FILE names ...".
    error_ = "no column of " + name_ + " names a contact field" + reason.substr(kNoField.size());
  } else if (reader_.errorLine() > 0) {
    error_ = name_ + ":" + std::to_string(reader_.errorLine()) + ": " + reason;
  } else if (reason.find(name_) != std::string::npos) {
    error_ = reason;  // the stream's own message names the file
  } else {
    error_ = name_ + ": " + reason;
  }
  return false;
}

std::string ContactFileImport::noRecordsError() const {
  if (reader_.format() == xr::ContactFileFormat::Csv && !reader_.blank())
    return path_ + ": no contacts in the file";
  return path_ + ": no vCard records (BEGIN:VCARD ... END:VCARD) in the file";
}

double ContactFileImport::fractionRead() const {
  const std::optional<std::uint64_t> total = reader_.totalBytes();
  if (!total || *total == 0) return 0.0;
  return std::min(1.0, static_cast<double>(reader_.bytesRead()) / static_cast<double>(*total));
}

std::vector<std::string> ContactFileImport::warnings() const {
  const xr::ContactFileSummary& summary = reader_.summary();
  std::vector<std::string> out;
  for (const std::uint64_t line : summary.replacedLines) {
    out.push_back(name_ + ":" + std::to_string(line) + ": bytes that " + summary.encoding +
                  " does not explain were replaced by U+FFFD");
  }
  if (summary.replaced > summary.replacedLines.size()) {
    out.push_back(name_ + ": " + std::to_string(summary.replaced) +
                  " bytes replaced in all (the first lines are named above)");
  }
  return out;
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
    return text && !xr::trimmed(*text).empty();
  };
  if (hasText(contact.displayName)) {
    card.name = std::string(xr::trimmed(*contact.displayName));
  } else {
    // "Family, Given Middle Prefix Suffix": the family name first, then the other parts of N
    // that have text, in N's order.
    std::string rest;
    for (const auto* part :
         {&contact.givenName, &contact.middleName, &contact.prefix, &contact.suffix}) {
      if (!hasText(*part)) continue;
      if (!rest.empty()) rest += ' ';
      rest += xr::trimmed(**part);
    }
    if (!hasText(contact.familyName)) {
      card.name = rest;
    } else {
      card.name = std::string(xr::trimmed(*contact.familyName)) + (rest.empty() ? "" : ", " + rest);
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

std::vector<std::vector<std::string>> numbersOf(const std::vector<CardNumbers>& cards) {
  std::vector<std::vector<std::string>> numbers;
  numbers.reserve(cards.size());
  for (const auto& card : cards) numbers.push_back(card.numbers);
  return numbers;
}

void printDuplicateGroups(std::ostream& out, const std::vector<xr::SharedNumberGroup>& groups,
                          const std::vector<CardNumbers>& cards, std::string_view indent) {
  for (std::size_t g = 0; g < groups.size(); ++g) {
    out << indent << "Group " << g + 1 << ": " << groups[g].members.size()
        << " records share a number\n";
    for (const auto& member : groups[g].members) {
      const std::string& name = cards[member.record].name;
      out << indent << "  #" << member.record + 1 << ' ' << (name.empty() ? "(no name)" : name)
          << ": ";
      for (std::size_t n = 0; n < member.numbers.size(); ++n)
        out << (n ? ", " : "") << member.numbers[n];
      out << '\n';
    }
  }
}

}  // namespace xrf
