// Telephone-number comparison speed: phone_number_compare_strict against libphonenumber's
// IsNumberMatch and a strip-the-non-digits-and-strcmp baseline, on the same pairs in the same
// run. Each iteration is one comparison, so the time per iteration is the time per pair.
// "allocs" counts calls of the global operator new per comparison.
#include <benchmark/benchmark.h>
#if XRF_BENCH_PEERS
#include <phonenumbers/logger.h>
#include <phonenumbers/phonenumberutil.h>
#endif

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <random>
#include <string>
#include <vector>

#include "xrfoundation/phone/phone_number.h"

namespace {
std::atomic<size_t> g_allocations{0};
}  // namespace

// The counting operator new below hands out malloc blocks; GCC sees the matching free only
// after inlining and mistakes the pair for a new/free mismatch.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(size_t size) {
  g_allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
  throw std::bad_alloc();
}
void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, size_t) noexcept { std::free(block); }

namespace {

struct Pair {
  const char* a;  // nullptr: absent text
  const char* b;
};

// The self-test's 45 pairs.
const std::vector<Pair>& referencePairs() {
  static const auto* pairs = new std::vector<Pair>{
      {nullptr, nullptr},
      {"", nullptr},
      {nullptr, ""},
      {"", ""},
      {"999", "999"},
      {"119", "119"},
      {"123456789", "923456789"},
      {"123456789", "123456781"},
      {"123456789", "1234567890"},
      {"123456789", "0123456789"},
      {"650-253-0000", "6502530000"},
      {"650-253-0000", "650 253 0000"},
      {"650 253 0000", "6502530000"},
      {"650-253-0000", "1-650-253-0000"},
      {"650-253-0000", "   1-650-253-0000"},
      {"650-253-0000", "11-650-253-0000"},
      {"650-253-0000", "0-650-253-0000"},
      {"555-4141", "+1-700-555-4141"},
      {"+1 650-253-0000", "6502530000"},
      {"001 650-253-0000", "6502530000"},
      {"0111 650-253-0000", "6502530000"},
      {"+19012345678", "+819012345678"},
      {"+79161234567", "89161234567"},
      {"+33123456789", "0123456789"},
      {"+31771234567", "0771234567"},
      {"090-1234-5678", "+819012345678"},
      {"090(1234)5678", "+819012345678"},
      {"090-1234-5678", "+81-90-1234-5678"},
      {"090-1234-5678", "90-1234-5678"},
      {"090-1234-5678", "080-1234-5678"},
      {"090-1234-5678", "190-1234-5678"},
      {"090-1234-5678", "890-1234-5678"},
      {"+81-90-1234-5678", "+81-090-1234-5678"},
      {"+593(800)123-1234", "8001231234"},
      {"008001231234", "8001231234"},
      {"+66811234567", "166811234567"},
      {"080-1234-5678", "+819012345678"},
      {"650-000-3456", "16500003456"},
      {"011 1 7005554141", "+17005554141"},
      {"011 11 7005554141", "+17005554141"},
      {"+44 207 792 3490", "00 207 792 3490"},
      {"16610001234", "6610001234"},
      {"abcd", "bcde"},
      {"1-800-flowers", "800-flowers"},
      {"1-800-flowers", "1-800-abcdefg"},
  };
  return *pairs;
}

struct Country {
  const char* code;
  const char* trunk;        // "" where the national form has none
  std::vector<int> groups;  // digits per group of the national significant number
};

const std::vector<Country> kCountries = {
    {"1", "", {3, 3, 4}},     {"44", "0", {2, 4, 4}},       {"81", "0", {2, 4, 4}},
    {"49", "0", {2, 8}},      {"33", "0", {1, 2, 2, 2, 2}}, {"86", "", {3, 4, 4}},
    {"7", "8", {3, 3, 2, 2}}, {"91", "0", {5, 5}},          {"593", "0", {2, 3, 4}},
};

std::string joined(const Country& country, const std::string& digits, const char* separator) {
  std::string text;
  size_t at = 0;
  for (size_t g = 0; g < country.groups.size(); ++g) {
    if (g > 0) text += separator;
    text += digits.substr(at, static_cast<size_t>(country.groups[g]));
    at += static_cast<size_t>(country.groups[g]);
  }
  return text;
}

// One of the ways people and phones write a number: national with dashes, spaces, brackets
// or nothing; international with "+" or "00", spaced or compact.
std::string written(const Country& c, const std::string& digits, int style) {
  switch (style) {
    case 0:
      return std::string(c.trunk) + joined(c, digits, "-");
    case 1:
      return std::string(c.trunk) + joined(c, digits, " ");
    case 2:
      return std::string("+") + c.code + " " + joined(c, digits, " ");
    case 3:
      return std::string("+") + c.code + digits;
    case 4:
      return std::string("00") + c.code + " " + joined(c, digits, " ");
    case 5: {
      const auto area = static_cast<size_t>(c.groups[0]);
      return std::string("(") + c.trunk + digits.substr(0, area) + ") " + digits.substr(area);
    }
    default:
      return std::string(c.trunk) + digits;
  }
}

// Half the pairs are one number written two ways; the other half differ in one digit or in
// the country.
const std::vector<std::pair<std::string, std::string>>& mixTexts() {
  static const auto* texts = [] {
    auto* out = new std::vector<std::pair<std::string, std::string>>;
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> digit(0, 9), style(0, 6), coin(0, 3);
    std::uniform_int_distribution<size_t> country(0, kCountries.size() - 1);
    for (int i = 0; i < 512; ++i) {
      const Country& c = kCountries[country(rng)];
      size_t length = 0;
      for (int g : c.groups) length += static_cast<size_t>(g);
      std::string digits;
      digits += static_cast<char>('2' + digit(rng) % 8);  // national numbers do not start with 0
      while (digits.size() < length) digits += static_cast<char>('0' + digit(rng));
      std::string other = digits;
      const Country* otherCountry = &c;
      switch (coin(rng)) {
        case 0:
          other[length - 1 - static_cast<size_t>(digit(rng)) % 4] =
              static_cast<char>('0' + (other.back() - '0' + 1) % 10);
          break;
        case 1:
          otherCountry =
              &kCountries[(static_cast<size_t>(&c - kCountries.data()) + 1) % kCountries.size()];
          other.resize(length);
          {
            size_t otherLength = 0;
            for (int g : otherCountry->groups) otherLength += static_cast<size_t>(g);
            other.resize(otherLength, '5');
          }
          break;
        default:
          break;
      }
      out->emplace_back(written(c, digits, style(rng)), written(*otherCountry, other, style(rng)));
    }
    return out;
  }();
  return *texts;
}

const std::vector<Pair>& mixPairs() {
  static const auto* pairs = [] {
    auto* out = new std::vector<Pair>;
    for (const auto& [a, b] : mixTexts()) out->push_back({a.c_str(), b.c_str()});
    return out;
  }();
  return *pairs;
}

const std::vector<Pair>& pairsFor(const benchmark::State& state) {
  return state.range(0) == 0 ? referencePairs() : mixPairs();
}

// Runs compare over the pairs, one pair per iteration, and reports allocations and the share
// of pairs found equal.
template <class Compare>
void runPairs(benchmark::State& state, Compare compare) {
  const std::vector<Pair>& pairs = pairsFor(state);
  state.SetLabel(state.range(0) == 0 ? "45 reference pairs" : "national/international mix");
  size_t next = 0;
  size_t equal = 0;
  const size_t before = g_allocations.load(std::memory_order_relaxed);
  for (auto _ : state) {
    const Pair& p = pairs[next];
    const bool same = compare(p.a, p.b);
    benchmark::DoNotOptimize(same);
    equal += same ? 1 : 0;
    if (++next == pairs.size()) next = 0;
  }
  const size_t allocations = g_allocations.load(std::memory_order_relaxed) - before;
  const auto n = static_cast<double>(state.iterations());
  state.counters["allocs"] = static_cast<double>(allocations) / n;
  state.counters["equal"] = static_cast<double>(equal) / n;
  state.SetItemsProcessed(state.iterations());
}

void BM_PhoneNumberCompareStrict(benchmark::State& state) {
  runPairs(state,
           [](const char* a, const char* b) { return xr::phone_number_compare_strict(a, b); });
}
BENCHMARK(BM_PhoneNumberCompareStrict)->Arg(0)->Arg(1);

void BM_CompareStrictText(benchmark::State& state) {
  runPairs(state, [](const char* a, const char* b) {
    return xr::compareStrict(a != nullptr ? a : "",
                             b != nullptr ? std::optional<std::string_view>(b) : std::nullopt);
  });
}
BENCHMARK(BM_CompareStrictText)->Arg(0)->Arg(1);

// The baseline: keep only the digits of each side and compare what is left.
bool digitsEqual(const char* a, const char* b) {
  char left[64];
  char right[64];
  auto strip = [](const char* text, char* out) {
    size_t n = 0;
    for (; text != nullptr && *text != '\0' && n + 1 < 64; ++text) {
      if (*text >= '0' && *text <= '9') out[n++] = *text;
    }
    out[n] = '\0';
  };
  strip(a, left);
  strip(b, right);
  return std::strcmp(left, right) == 0;
}

void BM_StripDigitsStrcmp(benchmark::State& state) { runPairs(state, digitsEqual); }
BENCHMARK(BM_StripDigitsStrcmp)->Arg(0)->Arg(1);

#if XRF_BENCH_PEERS
void BM_LibphonenumberIsNumberMatch(benchmark::State& state) {
  using i18n::phonenumbers::PhoneNumberUtil;
  static PhoneNumberUtil* util = [] {
    PhoneNumberUtil* instance = PhoneNumberUtil::GetInstance();
    instance->SetLogger(new i18n::phonenumbers::NullLogger);  // parse failures are expected
    return instance;
  }();
  // The string arguments are made outside the timed loop, as the other contenders get theirs.
  const std::vector<Pair>& pairs = pairsFor(state);
  std::vector<std::pair<std::string, std::string>> texts;
  for (const Pair& p : pairs)
    texts.emplace_back(p.a != nullptr ? p.a : "", p.b != nullptr ? p.b : "");
  size_t index = 0;
  runPairs(state, [&](const char*, const char*) {
    // runPairs walks the same pairs in the same order.
    const auto& [a, b] = texts[index];
    if (++index == texts.size()) index = 0;
    const auto match = util->IsNumberMatchWithTwoStrings(a, b);
    return match != PhoneNumberUtil::NO_MATCH && match != PhoneNumberUtil::INVALID_NUMBER;
  });
}
BENCHMARK(BM_LibphonenumberIsNumberMatch)->Arg(0)->Arg(1);
#endif  // XRF_BENCH_PEERS

}  // namespace
