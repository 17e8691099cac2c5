// contacts/vcard_types.cpp: the standard form's type words, read and written.
#include <algorithm>
#include <array>
#include <iterator>
#include <map>
#include <utility>

#include "xrfoundation/contacts/contact_enums.h"
#include "xrfoundation/contacts/label_conversion.h"
#include "xrfoundation/contacts/label_conversion_internal.h"
#include "xrfoundation/contacts/vcard_types_internal.h"
#include "xrfoundation/platform/ascii.h"

namespace xr::vcard_internal {
namespace {

struct KindWords {
  const char* kind;
  const char* words;
};

// Kinds that the device's type table leaves without a type of their own.
constexpr KindWords kExtraNumberTypes[] = {{E_Number_Main, "MAIN"},
                                           {E_Number_OtherFax, "FAX"},
                                           {E_Number_Radio, "RADIO"},
                                           {E_Number_Telex, "TELEX"},
                                           {E_Number_TTY, "TTY"}};

// The device table's "FAX;type=WORK" as "FAX,WORK"; Other as no type at all.
const std::map<std::string, std::string, std::less<>>& numberTypeTable() {
  static const auto* const table = [] {
    auto* built = new std::map<std::string, std::string, std::less<>>;
    for (auto [kind, vcard] : makeNumberToVCardDictionary()) {
      std::string words;
      for (std::size_t at = 0; at <= vcard.size();) {
        std::size_t end = vcard.find(';', at);
        if (end == std::string::npos) end = vcard.size();
        std::string_view word = std::string_view(vcard).substr(at, end - at);
        if (word.substr(0, 5) == "type=") word.remove_prefix(5);
        if (!words.empty()) words += ',';
        words += word;
        at = end + 1;
      }
      built->emplace(kind, kind == E_Number_Other ? "" : words);
    }
    for (const KindWords& extra : kExtraNumberTypes) built->emplace(extra.kind, extra.words);
    return built;
  }();
  return *table;
}

// Upper case without a leading "X-", spaces, '-' and '_': the form in which words compare.
std::string wordKey(std::string_view word) {
  std::string key = toUpperCopy(word);
  if (key.size() > 2 && key.compare(0, 2, "X-") == 0) key.erase(0, 2);
  key.erase(std::remove_if(key.begin(), key.end(),
                           [](char c) { return c == ' ' || c == '-' || c == '_' || c == '"'; }),
            key.end());
  return key;
}

// The TYPE words that name a kind, one bit each; the others (PREF, VOICE, INTERNET, ...) say
// nothing of it.
enum KindWord : unsigned {
  kHome = 1u << 0,
  kWork = 1u << 1,
  kFax = 1u << 2,
  kCell = 1u << 3,
  kPager = 1u << 4,
  kCompanyMain = 1u << 5,
  kMain = 1u << 6,
  kAssistant = 1u << 7,
  kCallback = 1u << 8,
  kCar = 1u << 9,
  kIsdn = 1u << 10,
  kMms = 1u << 11,
  kRadio = 1u << 12,
  kTelex = 1u << 13,
  kTty = 1u << 14,
};

// Keys are compared whole, as the sixteen bytes KindWordSet builds: zeros after the letters.
using KeyBytes = std::array<char, 16>;

struct KindWordKey {
  constexpr KindWordKey(std::string_view text, KindWord kindWord)
      : size(text.size()), word(kindWord) {
    for (std::size_t i = 0; i < text.size(); ++i) key[i] = text[i];
  }

  KeyBytes key{};  // as wordKey() gives it
  std::size_t size;
  KindWord word;
};

// In the order of their first letters, which kRowsFrom indexes.
constexpr KindWordKey kKindWordKeys[] = {
    {"ASSISTANT", kAssistant},
    {"CALLBACK", kCallback},
    {"CAR", kCar},
    {"CELL", kCell},
    {"COMPANYMAIN", kCompanyMain},
    {"FAX", kFax},
    {"HOME", kHome},
    {"IPHONE", kCell},
    {"ISDN", kIsdn},
    {"MAIN", kMain},
    {"MMS", kMms},
    {"MOBILE", kCell},
    {"PAGER", kPager},
    {"RADIO", kRadio},
    {"TELEX", kTelex},
    {"TEXTPHONE", kTty},
    {"TLX", kTelex},
    {"TTY", kTty},
    {"WORK", kWork},
};
static_assert(std::is_sorted(std::begin(kKindWordKeys), std::end(kKindWordKeys),
                             [](const KindWordKey& a, const KindWordKey& b) {
                               return a.key[0] < b.key[0];
                             }));

// The first row of kKindWordKeys whose key starts with 'A' + letter or a later letter: a word's
// candidates are the rows from its letter's entry to the next letter's.
constexpr auto kRowsFrom = [] {
  std::array<unsigned char, 27> from{};
  unsigned char row = 0;
  for (std::size_t letter = 0; letter < from.size(); ++letter) {
    while (row < std::size(kKindWordKeys) &&
           static_cast<std::size_t>(kKindWordKeys[row].key[0] - 'A') < letter)
      ++row;
    from[letter] = row;
  }
  return from;
}();

// Which kind-naming words a set of TYPE words holds, their other spellings (MOBILE, IPHONE,
// TLX, TEXTPHONE) read as the word they mean.
class KindWordSet {
 public:
  explicit KindWordSet(const std::vector<std::string_view>& types) {
    for (std::string_view type : types) {
      // wordKey() without a string: a key longer than the longest word names none.
      if (type.size() > 2 && (type[0] == 'x' || type[0] == 'X') && type[1] == '-')
        type.remove_prefix(2);
      KeyBytes key{};
      std::size_t size = 0;
      for (const char c : type) {
        if (c == ' ' || c == '-' || c == '_' || c == '"') continue;
        if (size == key.size()) break;
        key[size++] = asciiUpper(c);
      }
      if (size == 0 || key[0] < 'A' || key[0] > 'Z') continue;
      const std::size_t letter = static_cast<std::size_t>(key[0] - 'A');
      for (std::size_t row = kRowsFrom[letter]; row < kRowsFrom[letter + 1]; ++row) {
        if (size == kKindWordKeys[row].size && key == kKindWordKeys[row].key) {
          words_ |= kKindWordKeys[row].word;
          break;  // each key stands once
        }
      }
    }
  }

  bool has(KindWord word) const { return (words_ & word) != 0; }

 private:
  unsigned words_ = 0;
};

// "_$!<HomeFAX>!$_" -> "HomeFAX"; other labels unchanged.
std::string_view unwrapLabel(std::string_view label) {
  if (label.size() > 10 && label.substr(0, 4) == "_$!<" && label.substr(label.size() - 4) == ">!$_")
    return label.substr(4, label.size() - 8);
  return label;
}

std::string lowerKey(std::string_view label) {
  std::string key;
  for (char c : unwrapLabel(label)) {
    if (c == ' ' || c == '-' || c == '_') continue;
    key.push_back(asciiLower(c));
  }
  return key;
}

// The kind that the label table gives family + key; none for a label it lacks or gives the
// family's Other.
std::optional<std::string> kindInTable(const char* (*kindOfLabel)(std::string_view),
                                       std::string_view family, std::string key,
                                       std::string_view other) {
  key.insert(0, family);
  const char* kind = kindOfLabel(key);
  if (kind == nullptr || kind == other) return std::nullopt;
  return kind;
}

struct ImRow {
  const char* kind;
  const char* property;
};
constexpr ImRow kImProperties[] = {
    {E_Im_AIM, "X-AIM"},     {E_Im_MSN, "X-MSN"},       {E_Im_Yahoo, "X-YAHOO"},
    {E_Im_Skype, "X-SKYPE"}, {E_Im_QQ, "X-QQ"},         {E_Im_GoogleTalk, "X-GOOGLE-TALK"},
    {E_Im_ICQ, "X-ICQ"},     {E_Im_Jabber, "X-JABBER"}, {E_Im_NetMeeting, "X-NETMEETING"},
};

}  // namespace

std::string_view standardNumberTypes(const std::optional<std::string>& kind) {
  if (!kind) return "";
  const auto& table = numberTypeTable();
  const auto found = table.find(*kind);
  return found == table.end() ? std::string_view() : std::string_view(found->second);
}

std::string_view standardEmailTypes(const std::optional<std::string>& kind) {
  if (kind == E_Email_Home) return "INTERNET,HOME";
  if (kind == E_Email_Work) return "INTERNET,WORK";
  if (kind == E_Email_Mobile) return "INTERNET,CELL";
  return "INTERNET";
}

std::string_view standardAddressTypes(const std::optional<std::string>& kind) {
  if (kind == E_Address_Home) return "HOME";
  if (kind == E_Address_Work) return "WORK";
  return "";
}

std::string numberKindOfTypes(const std::vector<std::string_view>& types) {
  const KindWordSet keys(types);
  const bool home = keys.has(kHome);
  const bool work = keys.has(kWork);
  if (keys.has(kFax)) return home ? E_Number_FaxHome : work ? E_Number_FaxWork : E_Number_OtherFax;
  if (keys.has(kCell)) return work ? E_Number_WorkMobile : E_Number_Mobile;
  if (keys.has(kPager)) return work ? E_Number_WorkPager : E_Number_Pager;
  struct KindOfWord {
    const char* kind;
    KindWord word;
  };
  static constexpr KindOfWord kSingle[] = {
      {E_Number_CompanyMain, kCompanyMain},
      {E_Number_Main, kMain},
      {E_Number_Assistant, kAssistant},
      {E_Number_Callback, kCallback},
      {E_Number_Car, kCar},
      {E_Number_ISDN, kIsdn},
      {E_Number_MMS, kMms},
      {E_Number_Radio, kRadio},
      {E_Number_Telex, kTelex},
      {E_Number_TTY, kTty},
      {E_Number_Home, kHome},
      {E_Number_Work, kWork},
  };
  for (const KindOfWord& row : kSingle) {
    if (keys.has(row.word)) return row.kind;
  }
  return E_Number_Other;
}

std::string emailKindOfTypes(const std::vector<std::string_view>& types) {
  const KindWordSet keys(types);
  if (keys.has(kHome)) return E_Email_Home;
  if (keys.has(kWork)) return E_Email_Work;
  if (keys.has(kCell)) return E_Email_Mobile;
  return E_Email_Other;
}

std::string addressKindOfTypes(const std::vector<std::string_view>& types) {
  const KindWordSet keys(types);
  if (keys.has(kHome)) return E_Address_Home;
  if (keys.has(kWork)) return E_Address_Work;
  return E_Address_Other;
}

std::string_view imPropertyOfKind(const std::optional<std::string>& kind) {
  if (!kind) return "";
  for (const ImRow& row : kImProperties) {
    if (*kind == row.kind) return row.property;
  }
  return "";
}

std::optional<std::string> imKindOfProperty(std::string_view upperName) {
  if (upperName.size() < 3 || upperName.substr(0, 2) != "X-") return std::nullopt;
  for (const ImRow& row : kImProperties) {
    if (upperName == row.property) return row.kind;
  }
  if (upperName == "X-SKYPE-USERNAME") return E_Im_Skype;
  if (upperName == "X-GTALK" || upperName == "X-GOOGLETALK") return E_Im_GoogleTalk;
  if (upperName == "X-MS-IMADDRESS") return E_Im_MSN;
  return std::nullopt;
}

std::optional<std::string> imKindOfService(std::string_view service) {
  const std::string key = wordKey(service);
  if (key == "AIM") return E_Im_AIM;
  if (key == "MSN" || key == "MSNIM" || key == "WINDOWSLIVE") return E_Im_MSN;
  if (key == "YAHOO" || key == "YMSGR") return E_Im_Yahoo;
  if (key == "SKYPE") return E_Im_Skype;
  if (key == "QQ") return E_Im_QQ;
  if (key == "GOOGLETALK" || key == "GTALK") return E_Im_GoogleTalk;
  if (key == "ICQ") return E_Im_ICQ;
  if (key == "JABBER" || key == "XMPP") return E_Im_Jabber;
  if (key == "NETMEETING") return E_Im_NetMeeting;
  return std::nullopt;
}

std::string dateKindOfLabel(std::string_view label) {
  const std::string key = lowerKey(label);
  if (key == "anniversary") return E_Date_Anniversary;
  if (key == "birthday" || key == "birthdate") return E_Date_Birthday;
  return E_Date_Other;
}

std::string_view dateLabelOfKind(const std::optional<std::string>& kind) {
  if (kind == E_Date_Anniversary) return "_$!<Anniversary>!$_";
  if (kind == E_Date_Birthday) return "_$!<Birthday>!$_";
  return "_$!<Other>!$_";
}

std::optional<std::string> numberKindOfLabel(std::string_view label) {
  std::string key = lowerKey(label);
  if (key == "iphone" || key == "cell") key = "mobile";
  if (key == "other") return E_Number_Other;
  return kindInTable(label_internal::phoneKindOfLabel, "phone.", std::move(key), E_Number_Other);
}

std::optional<std::string> emailKindOfLabel(std::string_view label) {
  std::string key = lowerKey(label);
  if (key == "other") return E_Email_Other;
  return kindInTable(label_internal::emailKindOfLabel, "email.", std::move(key), E_Email_Other);
}

std::optional<std::string> addressKindOfLabel(std::string_view label) {
  std::string key = lowerKey(label);
  if (key == "other") return E_Address_Other;
  return kindInTable(label_internal::addressKindOfLabel, "address.", std::move(key),
                     E_Address_Other);
}

}  // namespace xr::vcard_internal
