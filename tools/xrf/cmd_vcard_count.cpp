// xrf vcard count FILE: the number of vCard records in FILE ("-": standard input), as the
// library's record reader cuts them.
#include <cstdint>
#include <iostream>
#include <memory>
#include <string>

#include "command.h"
#include "input_commands.h"
#include "tool_input.h"

namespace xrf {
namespace {

void countRecords(const std::string& path) {
  auto reader = openReader(path);
  if (!reader) return;
  std::uint64_t count = 0;
  while (reader->nextVCardRecord()) ++count;
  if (endedCleanly(*reader)) std::cout << count << '\n';
}

}  // namespace

void addVCardCountCommand(CLI::App& vcard) {
  auto* count = vcard.add_subcommand("count", "Print the number of vCard records in FILE");
  auto countFile = std::make_shared<std::string>();
  count->add_option("FILE", *countFile, "vCard file, or - for standard input")->required();
  count->footer("Example:\n  xrf vcard count contacts.vcf");
  count->callback([countFile] { countRecords(*countFile); });
}

}  // namespace xrf
