// xrf vcard split FILE -o DIR [--force]: each vCard record of FILE ("-": standard input), byte
// for byte, as DIR/1.vcf, DIR/2.vcf, ...; record files that DIR already holds are replaced only
// with --force.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>

#include "command.h"
#include "input_commands.h"
#include "tool_input.h"
#include "xrfoundation/platform/file_system.h"

namespace xrf {
namespace {

// The first record file ("1.vcf", "2.vcf", ...) that already stands in directory, if any.
std::optional<std::filesystem::path> existingRecordFile(const std::string& directory) {
  std::error_code error;
  std::optional<std::filesystem::path> first;
  std::uint64_t firstNumber = 0;
  for (const auto& entry :
       std::filesystem::directory_iterator(xr::pathFromUtf8(directory), error)) {
    const std::string name = xr::pathToUtf8(entry.path().filename());
    const std::size_t digits = name.find_first_not_of("0123456789");
    if (digits == 0 || digits > 19 || name.substr(digits) != ".vcf") continue;
    const std::uint64_t number = std::stoull(name.substr(0, digits));
    if (!first || number < firstNumber) {
      first = entry.path();
      firstNumber = number;
    }
  }
  return first;
}

void splitRecords(const std::string& path, const std::string& directory, bool force) {
  // Refused before anything is read or written, so that a refusal changes nothing.
  if (!force) {
    if (const auto existing = existingRecordFile(directory)) {
      return xrf::fail(xr::pathToUtf8(*existing) + " already exists; pass --force to replace the " +
                       "record files in " + directory);
    }
  }
  auto reader = openReader(path);
  if (!reader) return;
  std::error_code error;
  std::filesystem::create_directories(xr::pathFromUtf8(directory), error);
  if (error) return xrf::fail("cannot create " + directory + ": " + error.message());
  std::uint64_t count = 0;
  while (const auto record = reader->nextVCardRecord()) {
    const auto file = xr::pathFromUtf8(directory) / (std::to_string(++count) + ".vcf");
    std::ofstream out(file, std::ios::binary);
    out.write(record->data(), static_cast<std::streamsize>(record->size()));
    if (out.close(), !out) return xrf::fail("cannot write " + xr::pathToUtf8(file));
  }
  endedCleanly(*reader);
}

}  // namespace

void addVCardSplitCommand(CLI::App& vcard) {
  auto* split = vcard.add_subcommand(
      "split", "Write each vCard record of FILE, byte for byte, as DIR/1.vcf, DIR/2.vcf, ...");
  auto splitFile = std::make_shared<std::string>();
  auto splitDir = std::make_shared<std::string>();
  auto splitForce = std::make_shared<bool>(false);
  split->add_option("FILE", *splitFile, "vCard file, or - for standard input")->required();
  split->add_option("-o,--output", *splitDir, "directory for the records (made if missing)")
      ->required();
  split->add_flag("--force", *splitForce, "Replace record files that DIR already holds");
  split->footer("Example:\n  xrf vcard split contacts.vcf -o records/");
  split->callback(
      [splitFile, splitDir, splitForce] { splitRecords(*splitFile, *splitDir, *splitForce); });
}

}  // namespace xrf
