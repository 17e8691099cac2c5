// xrf base64: the library's Base64 codec on files or standard input.
//   xrf base64 encode [FILE]   one unbroken line of Base64 text and a line feed
//   xrf base64 decode [FILE]   the bytes; white space and '=' anywhere are accepted
// Each command is a file of its own, cmd_base64_NAME.cpp.
#include "base64_commands.h"
#include "command.h"

namespace {

xrf::CommandRegistrar base64Group([](CLI::App& app) {
  auto* base64 = app.add_subcommand("base64", "Base64 (RFC 4648) encoding and decoding");
  base64->require_subcommand(1);
  xrf::addEncodeCommand(*base64);
  xrf::addDecodeCommand(*base64);
});

}  // namespace
