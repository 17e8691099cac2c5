// phone/shared_numbers.cpp: grouping records by shared telephone numbers.
//
// Why the buckets are sound. The comparison ends "equal" only after its backward match ran
// without a mismatch until one side's working text (the whole text, or what follows a country
// calling code or a trunk digit) had no significant byte left; separators are passed over,
// digits, '#', '*', '+' and letters must be equal. So two equal numbers a and b agree in their
// last min(L(a), L(b)) significant bytes, where L(x) is the number of significant bytes in the
// shortest working text x can have: the shortest of the whole text, the remainders after a
// country calling code read with and without the "166" prefix, and the text after the trunk
// digit. A number with L >= kKeyLength therefore goes into the bucket of its last kKeyLength
// significant bytes, and a shorter one is compared with every number that ends in its last L
// significant bytes.
//
// A number without a digit ("", "abc", "-") joins no group: the comparison says that a text
// equals itself and that "" equals "", but such texts denote no line two records could share.
#include "xrfoundation/phone/shared_numbers.h"

#include <algorithm>
#include <limits>
#include <numeric>
#include <string_view>
#include <unordered_map>

#include "xrfoundation/phone/phone_number.h"
#include "xrfoundation/phone/phone_number_internal.h"

namespace xr {
namespace {

constexpr std::size_t kKeyLength = 7;         // significant bytes that make a bucket's key
constexpr std::size_t kProgressEvery = 4096;  // numbers between two calls of keepGoing
constexpr std::size_t kMaxTextLength = std::numeric_limits<int32_t>::max();

// One number of one record, ready to compare.
struct Entry {
  std::size_t record;
  std::size_t index;     // position among the record's numbers
  std::string text;      // without parentheses, cut at the first NUL, as compareStrict reads it
  std::string tail;      // its last significant bytes (up to kKeyLength), last byte first
  std::size_t shortest;  // significant bytes in its shortest working text
};

std::string asCompared(std::string_view number) {
  number = number.substr(0, number.find('\0'));
  std::string text;
  text.reserve(number.size());
  for (const char c : number) {
    if (c != '(' && c != ')') text.push_back(c);
  }
  return text;
}

bool hasDigit(std::string_view text) {
  return std::any_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

void describe(Entry& entry) {
  const std::string& text = entry.text;
  int32_t start = 0;
  for (const bool accept166 : {true, false}) {
    int32_t pos = -1;
    std::size_t len = text.size();
    if (tryGetCountryCallingCode(text.data(), text.size(), &pos, &len, accept166) >= 0) {
      start = std::max(start, pos);
    }
  }
  int32_t trunk = -1;
  std::size_t trunkLength = text.size();
  tryGetTrunkPrefixOmittedStr(text.data(), text.size(), &trunk, &trunkLength);
  start = std::max(start, trunk);

  entry.shortest = 0;
  for (std::size_t at = text.size(); at-- > 0;) {
    if (isSeparator(text[at])) continue;
    if (entry.tail.size() < kKeyLength) entry.tail.push_back(text[at]);
    if (at >= static_cast<std::size_t>(start)) {
      ++entry.shortest;
    } else if (entry.tail.size() == kKeyLength) {
      break;
    }
  }
}

// Union-find over the records.
class RecordSets {
 public:
  explicit RecordSets(std::size_t count) : parent_(count) {
    std::iota(parent_.begin(), parent_.end(), 0);
  }
  std::size_t root(std::size_t record) {
    while (parent_[record] != record) record = parent_[record] = parent_[parent_[record]];
    return record;
  }
  void join(std::size_t a, std::size_t b) { parent_[root(a)] = root(b); }

 private:
  std::vector<std::size_t> parent_;
};

}  // namespace

std::optional<std::vector<SharedNumberGroup>> findSharedNumbers(
    const std::vector<std::vector<std::string>>& numbersByRecord,
    const std::function<bool(double)>& keepGoing) {
  std::vector<Entry> entries;
  std::vector<std::vector<bool>> matched(numbersByRecord.size());
  for (std::size_t r = 0; r < numbersByRecord.size(); ++r) {
    matched[r].resize(numbersByRecord[r].size());
    for (std::size_t n = 0; n < numbersByRecord[r].size(); ++n) {
      Entry entry{r, n, asCompared(numbersByRecord[r][n]), {}, 0};
      // Too long for a number, or no digit: equals nothing.
      if (entry.text.size() >= kMaxTextLength || !hasDigit(entry.text)) continue;
      describe(entry);
      entries.push_back(std::move(entry));
    }
  }

  // Buckets of the long numbers, and for each length a short number has, every number by
  // its last significant bytes of that length.
  std::unordered_map<std::string_view, std::vector<std::size_t>> buckets;
  std::vector<bool> shortLength(kKeyLength, false);
  for (std::size_t e = 0; e < entries.size(); ++e) {
    if (entries[e].shortest >= kKeyLength) {
      buckets[entries[e].tail].push_back(e);
    } else {
      shortLength[entries[e].shortest] = true;
    }
  }
  std::vector<std::unordered_map<std::string_view, std::vector<std::size_t>>> byTail(kKeyLength);
  for (std::size_t length = 0; length < kKeyLength; ++length) {
    if (!shortLength[length]) continue;
    for (std::size_t e = 0; e < entries.size(); ++e) {
      const std::string& tail = entries[e].tail;
      if (tail.size() >= length)
        byTail[length][std::string_view(tail).substr(0, length)].push_back(e);
    }
  }

  RecordSets sets(numbersByRecord.size());
  const auto compare = [&](std::size_t i, std::size_t j) {
    const Entry& a = entries[i];
    const Entry& b = entries[j];
    if (a.record == b.record) return;
    if (!phone_number_compare_strict(a.text.c_str(), b.text.c_str())) return;
    matched[a.record][a.index] = true;
    matched[b.record][b.index] = true;
    sets.join(a.record, b.record);
  };

  std::size_t done = 0;
  const auto progress = [&](std::size_t step) {
    const std::size_t before = done / kProgressEvery;
    done += step;
    if (!keepGoing || done / kProgressEvery == before) return true;
    return keepGoing(
        entries.empty() ? 1.0 : static_cast<double>(done) / static_cast<double>(entries.size()));
  };
  for (const auto& [tail, members] : buckets) {
    for (std::size_t i = 0; i < members.size(); ++i) {
      for (std::size_t j = i + 1; j < members.size(); ++j) compare(members[i], members[j]);
    }
    if (!progress(members.size())) return std::nullopt;
  }
  for (std::size_t e = 0; e < entries.size(); ++e) {
    const Entry& entry = entries[e];
    if (entry.shortest >= kKeyLength) continue;
    const auto& candidates = byTail[entry.shortest];
    const auto found = candidates.find(std::string_view(entry.tail).substr(0, entry.shortest));
    if (found != candidates.end()) {
      for (const std::size_t other : found->second) {
        if (other != e) compare(e, other);
      }
    }
    if (!progress(1)) return std::nullopt;
  }
  if (keepGoing && !keepGoing(1.0)) return std::nullopt;

  std::unordered_map<std::size_t, std::size_t> groupOfRoot;  // set root -> index in groups
  std::vector<SharedNumberGroup> groups;
  for (std::size_t r = 0; r < numbersByRecord.size(); ++r) {
    SharedNumberGroup::Member member{r, {}};
    for (std::size_t n = 0; n < numbersByRecord[r].size(); ++n) {
      const std::string& number = numbersByRecord[r][n];
      // A record that lists one number twice shows it once.
      if (matched[r][n] &&
          std::find(member.numbers.begin(), member.numbers.end(), number) == member.numbers.end())
        member.numbers.push_back(number);
    }
    if (member.numbers.empty()) continue;
    const auto [at, added] = groupOfRoot.emplace(sets.root(r), groups.size());
    if (added) groups.emplace_back();
    groups[at->second].members.push_back(std::move(member));
  }
  return groups;
}

}  // namespace xr
