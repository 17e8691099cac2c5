// xrf base64 decode [FILE]: the bytes that the Base64 text of FILE (or standard input) encodes;
// white space and '=' anywhere in the text are accepted.
#include <memory>
#include <string>

#include "base64_commands.h"
#include "command.h"
#include "xrfoundation/contacts/base64.h"

namespace xrf {
namespace {

void decode(const std::string& path) {
  const auto text = xrf::readWholeInput(path);
  if (!text) return;
  const auto bytes = xr::dataWithBase64EncodedString(*text);
  if (!bytes) {
    xrf::fail(
        "input is not valid Base64 (a character outside A-Z a-z 0-9 + / = and white "
        "space, or a lone character left over at the end)");
    return;
  }
  xrf::writeStandardOutput(bytes->data(), bytes->size());
}

}  // namespace

void addDecodeCommand(CLI::App& base64) {
  auto decodePath = std::make_shared<std::string>();
  auto* decodeCommand = base64.add_subcommand(
      "decode", "Write the bytes that the Base64 text of FILE (or standard input) encodes");
  decodeCommand->add_option("FILE", *decodePath, "file to decode (default: standard input)");
  decodeCommand->callback([decodePath] { decode(*decodePath); });
}

}  // namespace xrf
