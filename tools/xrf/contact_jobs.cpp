// tools/xrf/contact_jobs.cpp: the contacts CSV import over a named file, vCard composition,
// and the grouping of vCard records by shared telephone numbers.
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

#include "tool_input.h"
#include "xrfoundation/contacts/contact_enums.h"
#include "xrfoundation/contacts/vcard_info.h"
#include "xrfoundation/phone/phone_number.h"
#include "xrfoundation/platform/image.h"

namespace xrf {
namespace {

constexpr std::uint64_t kReadBlockSize = 256 * 1024;  // bytes per read of an input file

// A field's text without surrounding white space and line ends.
std::string_view trimmed(std::string_view text) {
  const auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && isSpace(text.back())) text.remove_suffix(1);
  return text;
}

}  // namespace

ContactCsvReader::ContactCsvReader() = default;
ContactCsvReader::~ContactCsvReader() = default;

bool ContactCsvReader::open(const std::string& path) {
  name_ = isStandardInput(path) ? std::string("standard input") : path;
  // Photos are named relative to the CSV file's folder (the working folder for a pipe).
  const std::filesystem::path base = isStandardInput(path)
                                         ? std::filesystem::path(".")
                                         : std::filesystem::path(path).parent_path();
  std::error_code sizeError;
  fileSize_ = isStandardInput(path) ? 0 : std::filesystem::file_size(path, sizeError);
  reader_.setStrict(strict_);
  if (!reader_.open(openInputStream(path), base.empty() ? "." : base)) {
    setError();
    return false;
  }
  return true;
}

void ContactCsvReader::setError() {
  const std::string& reason = reader_.errorReason();
  if (reader_.errorLine() > 0) {
    error_ = name_ + ":" + std::to_string(reader_.errorLine()) + ": " + reason;
  } else if (reason.find(name_) != std::string::npos) {
    error_ = reason;  // the stream's own message names the file
  } else {
    error_ = name_ + ": " + reason;
  }
}

ContactCsvReader::Next ContactCsvReader::next(xr::ContactInfo& contact) {
  switch (reader_.next(contact)) {
    case xr::ContactCsvReader::Next::Contact:
      return Next::Contact;
    case xr::ContactCsvReader::Next::End:
      return Next::End;
    case xr::ContactCsvReader::Next::Error:
      break;
  }
  setError();
  return Next::Error;
}

double ContactCsvReader::fractionRead() const {
  if (fileSize_ == 0) return 0.0;
  return std::min(1.0, static_cast<double>(reader_.bytesRead()) / static_cast<double>(fileSize_));
}

std::string composeVCard(const xr::ContactInfo& contact) {
  xr::VCardInfo card;
  card.loadFromContactInfo(contact);
  const std::vector<uint8_t> bytes = card.toVCardData();
  return std::string(bytes.begin(), bytes.end());
}

namespace {

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

// A property value with vCard's backslash escapes read for display: "\n" a space, "\," ",",
// "\;" ";", "\\" "\".
std::string unescaped(std::string_view value) {
  std::string out;
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] != '\\' || i + 1 == value.size()) {
      out.push_back(value[i]);
      continue;
    }
    const char next = value[++i];
    out.push_back(next == 'n' || next == 'N' ? ' ' : next);
  }
  return out;
}

// The parts of a structured value, cut at the semicolons that are not escaped.
std::vector<std::string> structuredParts(std::string_view value) {
  std::vector<std::string> parts(1);
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '\\' && i + 1 < value.size()) {
      parts.back() += value.substr(i, 2);
      ++i;
    } else if (value[i] == ';') {
      parts.emplace_back();
    } else {
      parts.back().push_back(value[i]);
    }
  }
  for (auto& part : parts) part = std::string(trimmed(unescaped(part)));
  return parts;
}

// N as "Family, Given Middle": the family name first, then the other parts that have text.
// Writers disagree on where the given name stands among the rest, so their order is kept.
std::string nameFromN(std::string_view value) {
  const std::vector<std::string> parts = structuredParts(value);
  std::string rest;
  for (std::size_t i = 1; i < parts.size(); ++i) {
    if (parts[i].empty()) continue;
    if (!rest.empty()) rest += ' ';
    rest += parts[i];
  }
  if (parts[0].empty()) return rest;
  return rest.empty() ? parts[0] : parts[0] + ", " + rest;
}

}  // namespace

CardNumbers cardNumbersFromRecord(std::string_view record) {
  CardNumbers card;
  std::optional<std::string> fullName;
  std::optional<std::string> structuredName;
  // A content line may be folded: a line that begins with a space or a tab continues the one
  // before it.
  std::vector<std::string> lines;
  while (!record.empty()) {
    const std::size_t end = std::min(record.find('\n'), record.size());
    std::string_view line = record.substr(0, end);
    record.remove_prefix(std::min(end + 1, record.size()));
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!lines.empty() && !line.empty() && (line.front() == ' ' || line.front() == '\t')) {
      lines.back().append(line.substr(1));
    } else {
      lines.emplace_back(line);
    }
  }
  for (const std::string& line : lines) {
    const std::size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    const auto property = xr::VCardInfo::extractPropertyName(line);
    if (!property) continue;
    const std::string_view value = trimmed(std::string_view(line).substr(colon + 1));
    if (equalsIgnoringCase(*property, "TEL")) {
      std::string_view number = value;
      // vCard 4 writes numbers as "tel:" URIs.
      if (number.size() > 4 && equalsIgnoringCase(number.substr(0, 4), "tel:")) {
        number.remove_prefix(4);
      }
      if (!number.empty()) card.numbers.emplace_back(number);
    } else if (equalsIgnoringCase(*property, "FN") && !fullName) {
      const std::string name(trimmed(unescaped(value)));
      if (!name.empty()) fullName = name;
    } else if (equalsIgnoringCase(*property, "N") && !structuredName) {
      structuredName = nameFromN(value);
    }
  }
  card.name = fullName.value_or(structuredName.value_or(""));
  return card;
}

bool readCardNumbers(const std::filesystem::path& path, std::vector<CardNumbers>& cards,
                     std::string& error) {
  xr::XRBufferedInputStream reader(xr::makeFileInputStream(path.string()), kReadBlockSize);
  reader.open();
  // A stray "END:VCARD" line makes readVCardData give none before the end of the input, so
  // atEnd() decides when to stop.
  for (;;) {
    if (const auto record = reader.readVCardData()) {
      cards.push_back(cardNumbersFromRecord(*record));
    } else if (reader.atEnd()) {
      break;
    }
  }
  if (reader.status() == xr::StreamStatus::Error) {
    error = reader.streamError().value_or("cannot read " + path.string());
    return false;
  }
  return true;
}

std::optional<std::vector<DuplicateGroup>> findDuplicateNumbers(
    const std::vector<CardNumbers>& cards, const std::function<bool(double)>& keepGoing) {
  struct Entry {
    std::size_t card;
    std::size_t number;
  };
  std::vector<Entry> entries;
  for (std::size_t c = 0; c < cards.size(); ++c) {
    for (std::size_t n = 0; n < cards[c].numbers.size(); ++n) entries.push_back({c, n});
  }
  // Union-find over the cards: two cards that share a number join one set.
  std::vector<std::size_t> parent(cards.size());
  std::iota(parent.begin(), parent.end(), 0);
  const auto root = [&](std::size_t card) {
    while (parent[card] != card) card = parent[card] = parent[parent[card]];
    return card;
  };
  std::vector<std::vector<bool>> matched(cards.size());
  for (std::size_t c = 0; c < cards.size(); ++c) matched[c].resize(cards[c].numbers.size());

  for (std::size_t i = 0; i < entries.size(); ++i) {
    const Entry& a = entries[i];
    const std::string& first = cards[a.card].numbers[a.number];
    for (std::size_t j = i + 1; j < entries.size(); ++j) {
      const Entry& b = entries[j];
      if (b.card == a.card) continue;  // a card repeating its own number is no duplicate
      if (!xr::compareStrict(first, cards[b.card].numbers[b.number])) continue;
      matched[a.card][a.number] = true;
      matched[b.card][b.number] = true;
      parent[root(a.card)] = root(b.card);
    }
    if (keepGoing && !keepGoing(static_cast<double>(i + 1) / static_cast<double>(entries.size())))
      return std::nullopt;
  }

  std::map<std::size_t, std::size_t> groupOfRoot;  // root -> index in groups
  std::vector<DuplicateGroup> groups;
  for (std::size_t c = 0; c < cards.size(); ++c) {
    DuplicateGroup::Member member{c, {}};
    for (std::size_t n = 0; n < cards[c].numbers.size(); ++n) {
      const std::string& number = cards[c].numbers[n];
      // A record that lists one number twice shows it once.
      if (matched[c][n] &&
          std::find(member.numbers.begin(), member.numbers.end(), number) == member.numbers.end())
        member.numbers.push_back(number);
    }
    if (member.numbers.empty()) continue;
    const auto [at, added] = groupOfRoot.emplace(root(c), groups.size());
    if (added) groups.emplace_back();
    groups[at->second].members.push_back(std::move(member));
  }
  return groups;
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
