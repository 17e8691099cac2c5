// encoding_detectors: measures the two encoding detectors that Debian offers, uchardet and
// ICU's ucsdet, over a folder of sample files named after their true encoding, up to the
// first dot (DIR/Windows-1252.csv, DIR/cp1250.outlook_pl.csv, ...; scripts/encoded_samples.py
// --dir DIR writes a set). Prints per
// file the true encoding and each detector's guess, then how many each got right. A guess
// counts as right when it names the same encoding (an alias or a superset such as GB18030 for
// GBK, UHC for EUC-KR) or when it decodes the file to the very text the true one gives.
// Linux only; the one program that links ICU.
#include <iconv.h>
#include <uchardet/uchardet.h>
#include <unicode/ucsdet.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "xrfoundation/platform/text_encoding.h"

namespace {

std::optional<std::string> decoded(const std::string& bytes, const std::string& encoding) {
  iconv_t cd = iconv_open("UTF-8", encoding.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  std::string out(bytes.size() * 4 + 16, '\0');
  char* in = const_cast<char*>(bytes.data());
  std::size_t inLeft = bytes.size();
  char* to = out.data();
  std::size_t outLeft = out.size();
  const std::size_t result = iconv(cd, &in, &inLeft, &to, &outLeft);
  iconv_close(cd);
  if (result == static_cast<std::size_t>(-1)) return std::nullopt;
  out.resize(out.size() - outLeft);
  return out;
}

std::string uchardetGuess(const std::string& bytes) {
  uchardet_t detector = uchardet_new();
  uchardet_handle_data(detector, bytes.data(), bytes.size());
  uchardet_data_end(detector);
  std::string guess = uchardet_get_charset(detector);
  uchardet_delete(detector);
  return guess;
}

std::string icuGuess(const std::string& bytes) {
  UErrorCode status = U_ZERO_ERROR;
  UCharsetDetector* detector = ucsdet_open(&status);
  ucsdet_setText(detector, bytes.data(), static_cast<int32_t>(bytes.size()), &status);
  const UCharsetMatch* match = ucsdet_detect(detector, &status);
  std::string guess = match && U_SUCCESS(status) ? ucsdet_getName(match, &status) : "";
  ucsdet_close(detector);
  return guess;
}

bool right(const std::string& bytes, const std::string& truth, const std::string& guess) {
  if (guess.empty()) return false;
  if (xr::encodingDisplayName(guess) == xr::encodingDisplayName(truth)) return true;
  const auto expected = decoded(bytes, truth);
  const auto got = decoded(bytes, guess);
  return expected && got && *expected == *got;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: encoding_detectors DIR\n");
    return 2;
  }
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(argv[1])) {
    if (entry.is_regular_file()) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  int uchardetRight = 0;
  int icuRight = 0;
  int libraryRight = 0;
  std::printf("%-14s %6s  %-14s %-14s %-14s %s\n", "true", "bytes", "uchardet", "ICU", "library",
              "file");
  for (const auto& path : files) {
    std::ifstream in(path, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), {}};
    const std::string name = path.filename().string();
    const std::string truth = name.substr(0, name.find('.'));
    const std::string byUchardet = uchardetGuess(bytes);
    const std::string byIcu = icuGuess(bytes);
    const std::string byLibrary = xr::detectEncoding(bytes, true).name;
    const bool u = right(bytes, truth, byUchardet);
    const bool i = right(bytes, truth, byIcu);
    const bool l = right(bytes, truth, byLibrary);
    uchardetRight += u;
    icuRight += i;
    libraryRight += l;
    std::printf("%-14s %6zu  %-13s%s %-13s%s %-13s%s %s\n", truth.c_str(), bytes.size(),
                byUchardet.c_str(), u ? " " : "*", byIcu.c_str(), i ? " " : "*", byLibrary.c_str(),
                l ? " " : "*", name.c_str());
  }
  std::printf("right of %zu: uchardet %d, ICU %d, library %d  (* wrong)\n", files.size(),
              uchardetRight, icuRight, libraryRight);
  return 0;
}
