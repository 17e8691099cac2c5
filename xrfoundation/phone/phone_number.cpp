// phone/phone_number.cpp: the telephone-number comparison. Each side is read once from the
// front for its international prefix (a few bytes in practice) and once from the back to
// match it against the other side; no byte is copied.
#include "xrfoundation/phone/phone_number.h"

#include <cstring>
#include <limits>
#include <string>

#include "xrfoundation/phone/phone_number_internal.h"

namespace xr {
namespace {

// Byte classes, fixed ASCII (the process locale must not change what a letter is).
constexpr uint8_t kDigit = 1;
constexpr uint8_t kDialable = 2;  // a digit, '#', '*' or '+'
constexpr uint8_t kLetter = 4;

constexpr std::array<uint8_t, 256> makeClasses() {
  std::array<uint8_t, 256> classes{};
  for (int c = '0'; c <= '9'; ++c) classes[c] = kDigit | kDialable;
  for (char c : {'#', '*', '+'}) classes[static_cast<uint8_t>(c)] = kDialable;
  for (int c = 'A'; c <= 'Z'; ++c) classes[c] = kLetter;
  for (int c = 'a'; c <= 'z'; ++c) classes[c] = kLetter;
  return classes;
}
constexpr std::array<uint8_t, 256> kClasses = makeClasses();

inline uint8_t classOf(char ch) { return kClasses[static_cast<uint8_t>(ch)]; }
inline bool isDigitByte(char ch) { return (classOf(ch) & kDigit) != 0; }
inline bool isDialableByte(char ch) { return (classOf(ch) & kDialable) != 0; }
inline bool isSeparatorByte(char ch) { return classOf(ch) == 0; }

constexpr std::size_t kMaxTextLength = std::numeric_limits<int32_t>::max();

// The unmatched bytes str[0..pos] of a side compared under the strict-remainder rule may hold
// separators and letters, and at most one "1" over both sides when allowOne1 is still set.
bool remainderIsIgnorable(const char* str, int32_t pos, bool& allowOne1) {
  for (; pos >= 0; --pos) {
    const char ch = str[pos];
    if (!isDialableByte(ch)) continue;
    if (!allowOne1 || ch != '1') return false;
    allowOne1 = false;
  }
  return true;
}

// Under the ignorable-prefix rule a side fails when its unmatched bytes could be part of the
// number. On the side whose trunk digit was dropped nothing but separators may be left.
bool failsIgnorablePrefix(const char* str, int32_t pos, bool trunkOmitted) {
  if (trunkOmitted) {
    // The backward match stops as soon as the other side runs out, possibly on a separator
    // ("0 20 12345" against "+442012345" stops on the space); the number is still complete.
    while (pos >= 0 && isSeparatorByte(str[pos])) --pos;
    if (pos >= 0) return true;
  }
  return !checkPrefixIsIgnorable(str, pos);
}

// One side of a comparison: its text, what the prefix steps found, and the part to match.
struct Side {
  const char* text;
  std::size_t length;
  int32_t code = -1;
  int32_t newPos = -1;  // start of the remainder, when a prefix step found one
  std::size_t newLen;
  bool trunkOmitted = false;

  Side(const char* t, std::size_t len) : text(t), length(len), newLen(len) {}
  const char* working() const { return newPos >= 0 ? text + newPos : text; }
  std::size_t workingLength() const { return newPos >= 0 ? newLen : length; }
  void omitTrunkPrefix() {
    tryGetTrunkPrefixOmittedStr(text, length, &newPos, &newLen);
    trunkOmitted = true;
  }
};

}  // namespace

bool isSeparator(char ch) { return isSeparatorByte(ch); }

int32_t tryGetCountryCallingCode(const char* str, std::size_t len, int32_t* newPos,
                                 std::size_t* newLen, bool acceptPrefix166) {
  // States: 0 nothing significant yet; 1 after "+"; 2 after "0"; 3 after "00"; 4 after "01";
  // 5 after "011"; 6 one code digit; 7 two code digits; 8 after "1"; 9 after "16".
  int state = 0;
  int32_t code = 0;
  auto found = [&](std::size_t i, int32_t value) {
    if (newPos != nullptr) *newPos = static_cast<int32_t>(i + 1);
    if (newLen != nullptr) *newLen = len - i - 1;
    return value;
  };
  for (std::size_t i = 0; i < len; ++i) {
    const char ch = str[i];
    switch (state) {
      case 0:
        if (ch == '+') {
          state = 1;
        } else if (ch == '0') {
          state = 2;
        } else if (ch == '1' && acceptPrefix166) {
          state = 8;
        } else if (isDialableByte(ch)) {
          return -1;
        }
        break;
      case 2:
        if (ch == '0') {
          state = 3;
        } else if (ch == '1') {
          state = 4;
        } else if (isDialableByte(ch)) {
          return -1;
        }
        break;
      case 4:
        if (ch == '1') {
          state = 5;
        } else if (isDialableByte(ch)) {
          return -1;
        }
        break;
      case 1:
      case 3:
      case 5:
      case 6:
      case 7:
        if (ch >= '1' && ch <= '9') {
          code = code * 10 + (ch - '0');
          if (code > 99 || two_length_country_code_map[static_cast<std::size_t>(code)]) {
            return found(i, code);
          }
          state = state == 6 ? 7 : 6;
        } else if (isDialableByte(ch)) {
          return -1;  // a '0' never belongs to a country calling code
        }
        break;
      case 8:
        if (ch == '6') {
          state = 9;
        } else if (isDialableByte(ch)) {
          return -1;
        }
        break;
      case 9:
        // "16" must be followed at once by the second "6".
        return ch == '6' ? found(i, 66) : -1;
    }
  }
  return -1;
}

void tryGetTrunkPrefixOmittedStr(const char* str, std::size_t len, int32_t* newPos,
                                 std::size_t* newLen) {
  for (std::size_t i = 0; i < len; ++i) {
    const char ch = str[i];
    if (isDigitByte(ch)) {
      if (newPos != nullptr) *newPos = static_cast<int32_t>(i + 1);
      if (newLen != nullptr) *newLen = len - i - 1;
      return;
    }
    if (isDialableByte(ch)) return;
  }
}

bool checkPrefixIsIgnorable(const char* str, int32_t pos) {
  bool digitSeen = false;
  for (; pos >= 0; --pos) {
    const char ch = str[pos];
    if (isDigitByte(ch)) {
      if (digitSeen) return false;
      digitSeen = true;
    } else if (isDialableByte(ch)) {
      return false;
    }
  }
  return true;
}

bool phone_number_compare_inter(const char* a, const char* b, bool acceptPrefix166) {
  const char* textA = a != nullptr ? a : "";
  const char* textB = b != nullptr ? b : "";
  Side sideA(textA, std::strlen(textA));
  Side sideB(textB, std::strlen(textB));
  if (sideA.length > kMaxTextLength || sideB.length > kMaxTextLength) return false;

  sideA.code = tryGetCountryCallingCode(sideA.text, sideA.length, &sideA.newPos, &sideA.newLen,
                                        acceptPrefix166);
  sideB.code = tryGetCountryCallingCode(sideB.text, sideB.length, &sideB.newPos, &sideB.newLen,
                                        acceptPrefix166);
  bool ignorablePrefixRule = false;
  bool allowOne1 = false;
  if (sideA.code >= 0 && sideB.code >= 0) {
    if (sideA.code != sideB.code) return false;
  } else if (sideA.code < 0 && sideB.code < 0) {
    allowOne1 = true;
  } else {
    // Only the side without a code may carry a national trunk digit.
    ignorablePrefixRule = true;
    if (sideA.code < 0) sideA.omitTrunkPrefix();
    if (sideB.code < 0) sideB.omitTrunkPrefix();
  }

  const char* workA = sideA.working();
  const char* workB = sideB.working();
  int32_t i = static_cast<int32_t>(sideA.workingLength()) - 1;
  int32_t j = static_cast<int32_t>(sideB.workingLength()) - 1;
  while (i >= 0 && j >= 0) {
    bool skipped = false;
    if (isSeparatorByte(workA[i])) {
      --i;
      skipped = true;
    }
    if (isSeparatorByte(workB[j])) {
      --j;
      skipped = true;
    }
    if (!skipped) {
      if (workA[i] != workB[j]) return false;
      --i;
      --j;
    }
  }

  if (ignorablePrefixRule) {
    if (failsIgnorablePrefix(workA, i, sideA.trunkOmitted) ||
        failsIgnorablePrefix(workB, j, sideB.trunkOmitted)) {
      // "166" read as code 66 may have been a local number starting with 166.
      return acceptPrefix166 && phone_number_compare_inter(a, b, false);
    }
    return true;
  }
  return remainderIsIgnorable(workA, i, allowOne1) && remainderIsIgnorable(workB, j, allowOne1);
}

bool phone_number_compare_strict(const char* a, const char* b) {
  return phone_number_compare_inter(a, b, true);
}

bool phone_number_stripped_reversed_inter(const char* input, char* out, int32_t capacity,
                                          int32_t* count) {
  if (out == nullptr) capacity = 0;
  int32_t written = 0;
  bool plusTaken = false;
  const std::size_t length = input != nullptr ? std::strlen(input) : 0;
  for (std::size_t k = length; k-- > 0;) {
    const char ch = input[k];
    if ((isDialableByte(ch) && ch != '+') || ch == 'N') {  // 'N' is kept here, unlike in compare
      if (written < capacity) out[written++] = ch;
    } else if (ch == ',' || ch == ';') {
      // What comes after a pause or wait is sent once the call connects; it is not part of
      // the number, so start the buffer over.
      written = 0;
    } else if (ch == '+' && !plusTaken) {
      plusTaken = true;
      if (written < capacity) out[written++] = ch;
    }
  }
  if (count != nullptr) *count = written;
  return true;
}

namespace {
std::string withoutParentheses(std::string_view text) {
  std::string copy;
  copy.reserve(text.size());
  for (char ch : text) {
    if (ch == '\0') break;  // the byte text ends here, as a C string would
    if (ch != '(' && ch != ')') copy.push_back(ch);
  }
  return copy;
}
}  // namespace

bool compareStrict(std::string_view text, std::optional<std::string_view> other) {
  const std::string a = withoutParentheses(text);
  const std::string b = other ? withoutParentheses(*other) : std::string();
  return phone_number_compare_strict(a.c_str(), b.c_str());
}

}  // namespace xr
