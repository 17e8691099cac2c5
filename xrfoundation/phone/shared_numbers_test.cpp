// Grouping by shared numbers: the bucketed search must give exactly the groups that comparing
// every number with every number of the other records gives.
#include "xrfoundation/phone/shared_numbers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <numeric>
#include <random>

#include "xrfoundation/phone/phone_number.h"

namespace xr {
namespace {

using Records = std::vector<std::vector<std::string>>;

bool hasDigit(const std::string& number) {
  return number.substr(0, number.find('\0')).find_first_of("0123456789") != std::string::npos;
}

// The reference: every number against every number of every other record; a number without a
// digit matches nothing.
std::vector<SharedNumberGroup> allPairs(const Records& records) {
  std::vector<std::size_t> parent(records.size());
  std::iota(parent.begin(), parent.end(), 0);
  const auto root = [&](std::size_t r) {
    while (parent[r] != r) r = parent[r];
    return r;
  };
  std::vector<std::vector<bool>> matched(records.size());
  for (std::size_t r = 0; r < records.size(); ++r) matched[r].resize(records[r].size());
  for (std::size_t a = 0; a < records.size(); ++a) {
    for (std::size_t b = a + 1; b < records.size(); ++b) {
      for (std::size_t i = 0; i < records[a].size(); ++i) {
        for (std::size_t j = 0; j < records[b].size(); ++j) {
          if (!hasDigit(records[a][i]) || !hasDigit(records[b][j])) continue;
          if (!compareStrict(records[a][i], records[b][j])) continue;
          matched[a][i] = matched[b][j] = true;
          parent[root(a)] = root(b);
        }
      }
    }
  }
  std::map<std::size_t, std::size_t> groupOfRoot;
  std::vector<SharedNumberGroup> groups;
  for (std::size_t r = 0; r < records.size(); ++r) {
    SharedNumberGroup::Member member{r, {}};
    for (std::size_t n = 0; n < records[r].size(); ++n) {
      if (matched[r][n] && std::find(member.numbers.begin(), member.numbers.end(), records[r][n]) ==
                               member.numbers.end())
        member.numbers.push_back(records[r][n]);
    }
    if (member.numbers.empty()) continue;
    const auto [at, added] = groupOfRoot.emplace(root(r), groups.size());
    if (added) groups.emplace_back();
    groups[at->second].members.push_back(std::move(member));
  }
  return groups;
}

// The groups as "[ #record{'number'...} ... ]" lines.
std::string describe(const std::vector<SharedNumberGroup>& groups) {
  std::string out;
  for (const auto& group : groups) {
    out += "[";
    for (const auto& member : group.members) {
      out += " #" + std::to_string(member.record) + "{";
      for (const auto& number : member.numbers) out += "'" + number + "'";
      out += "}";
    }
    out += " ]\n";
  }
  return out;
}

// Numbers drawn from a small pool of lines, each written in one of the ways people and phones
// write it: with or without a country code (+, 00, 011, 166), a trunk digit, a leading 1,
// separators, parentheses, letters; plus short numbers and service codes.
class NumberMaker {
 public:
  explicit NumberMaker(unsigned seed) : random_(seed) {}

  std::string make() {
    static const char* const kShort[] = {"",   "1",     "112",   "*100#", "#31#", "+",
                                         "11", "1 12",  "abc",   "ABC",   "0",    "911",
                                         "*",  "1-800", "12345", "2345",  "(1)",  "N"};
    static const char* const kLines[] = {"2079460018", "6502530000", "9012345678", "201234",
                                         "22345678",   "5551234",    "8001234567", "4567"};
    static const char* const kCodes[] = {"+44", "0044", "011 44", "+1",   "+81", "0081",
                                         "+66", "166",  "1 66",   "+886", "+7",  "+20"};
    if (pick(10) == 0) return kShort[pick(std::size(kShort))];
    std::string line = kLines[pick(std::size(kLines))];
    if (pick(6) == 0) line.push_back("0123456789#*"[pick(12)]);  // a near miss
    if (pick(8) == 0) line += pick(2) ? "FLOWERS" : "flowers";
    // A country code, a trunk digit, a leading 1, or none.
    const std::string prefixes[] = {std::string(kCodes[pick(std::size(kCodes))]) + " ",
                                    std::string(1, "0123456789"[pick(10)]), "1 ", "", ""};
    std::string number = prefixes[pick(5)] + line;
    // Separators, sometimes parentheses, at random places.
    static const char kSeparators[] = " -./(),;";
    for (int n = pick(4); n > 0; --n) {
      number.insert(number.begin() + static_cast<long>(pick(number.size() + 1)),
                    kSeparators[pick(sizeof kSeparators - 1)]);
    }
    return number;
  }

  std::size_t pick(std::size_t bound) {
    return std::uniform_int_distribution<std::size_t>(0, bound - 1)(random_);
  }

 private:
  std::mt19937 random_;
};

// The groups found, described, or "(stopped)".
std::string groupsOf(const Records& records) {
  const auto groups = findSharedNumbers(records);
  return groups ? describe(*groups) : "(stopped)";
}

void expectSameGroups(const Records& records) {
  ASSERT_EQ(groupsOf(records), describe(allPairs(records))) << ::testing::PrintToString(records);
}

TEST(SharedNumbers, RandomRecordsGiveTheGroupsOfComparingEveryPair) {
  NumberMaker maker(20261206);
  std::size_t grouped = 0;
  for (int round = 0; round < 300; ++round) {
    Records records(1 + maker.pick(40));
    for (auto& record : records) {
      record.resize(maker.pick(4));
      for (auto& number : record) number = maker.make();
    }
    expectSameGroups(records);
    grouped += allPairs(records).size();
  }
  // The data must really produce groups, or the comparison above proves little.
  EXPECT_GT(grouped, 300u);
}

TEST(SharedNumbers, KnownEqualFormsJoinAndChainsMerge) {
  const Records records = {
      {"+44 20 7946 0018"},           // 0
      {"020 7946 0018", "555-1234"},  // 1: trunk digit, and a second number
      {"5551234;"},                   // 2: chained to 1
      {"44 20 7946 0018"},            // 3: no code, no trunk: a different number
      {"1 66 1234", "+66 1234"},      // 4: its own number twice is no duplicate
      {"1-800-FLOWERS"},              // 5
      {"1-800-flowers"},              // 6: letters differ in case
  };
  EXPECT_EQ(groupsOf(records),
            "[ #0{'+44 20 7946 0018'} #1{'020 7946 0018''555-1234'} #2{'5551234;'} ]\n");
}

TEST(SharedNumbers, ShortAndEmptyNumbersMeetEveryCandidate) {
  // "123" equals "1123" and "0123"; the texts without a digit stay out.
  expectSameGroups({{""}, {"abc"}, {"1"}, {"-"}, {"123"}, {"1123"}, {"0123"}, {"+"}, {"+"}});
  expectSameGroups({{"1(6)6 1234"}, {"+66 1234"}, {"1234"}, {"61234"}});
}

TEST(SharedNumbers, NumbersWithoutADigitShareNothing) {
  // Each pair below is equal by the comparison (a text equals itself, "" equals ""), yet none
  // is a number two contacts could share; the digits in the last records still join them.
  ASSERT_TRUE(compareStrict("", "") && compareStrict("abc", "abc"));
  // A text ends at its first NUL, as the comparison reads it: "x\01" and "x\02" are both "x".
  const std::string x1("x\0001", 3), x2("x\0002", 3);
  const Records records = {{""},       {""},  {"abc"}, {"abc"}, {"-"},   {"-"},
                           {"#", "+"}, {"+"}, {x1},    {x2},    {"*1#"}, {"*1#"}};
  EXPECT_EQ(groupsOf(records), "[ #10{'*1#'} #11{'*1#'} ]\n");
}

TEST(SharedNumbers, KeepGoingStopsTheWorkAndSeesItFinish) {
  // Distinct lines, so that the work is long enough to report progress several times.
  std::mt19937 random(7);
  Records records(20000);
  for (auto& record : records) {
    record = {std::to_string(100000000 + random() % 900000000),
              "+44 " + std::to_string(100000000 + random() % 900000000)};
  }
  std::vector<double> seen;
  const auto all = findSharedNumbers(records, [&](double share) {
    seen.push_back(share);
    return true;
  });
  ASSERT_TRUE(all.has_value());
  ASSERT_FALSE(seen.empty());
  EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
  EXPECT_DOUBLE_EQ(seen.back(), 1.0);
  int asked = 0;
  EXPECT_FALSE(findSharedNumbers(records, [&](double) {
                 ++asked;
                 return false;
               }).has_value());
  EXPECT_EQ(asked, 1) << "a stopped search asks no more";
}

}  // namespace
}  // namespace xr
