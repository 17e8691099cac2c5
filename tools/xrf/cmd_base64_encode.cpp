// xrf base64 encode [FILE]: FILE (or standard input) as one unbroken line of Base64 text and a
// line feed.
#include <memory>
#include <string>

#include "base64_commands.h"
#include "command.h"
#include "xrfoundation/contacts/base64.h"

namespace xrf {
namespace {

void encode(const std::string& path) {
  const auto data = xrf::readWholeInput(path);
  if (!data) return;
  auto text =
      xr::base64Encoding(std::span(reinterpret_cast<const uint8_t*>(data->data()), data->size()));
  if (!text) {
    xrf::fail("out of memory");
    return;
  }
  text->push_back('\n');
  xrf::writeStandardOutput(text->data(), text->size());
}

}  // namespace

void addEncodeCommand(CLI::App& base64) {
  auto encodePath = std::make_shared<std::string>();
  auto* encodeCommand =
      base64.add_subcommand("encode", "Write FILE (or standard input) as one line of Base64 text");
  encodeCommand->add_option("FILE", *encodePath, "file to encode (default: standard input)");
  encodeCommand->callback([encodePath] { encode(*encodePath); });
}

}  // namespace xrf
