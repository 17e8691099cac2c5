// tools/xrf/base64_commands.h: the commands of the xrf base64 group, one file each
// (cmd_base64_NAME.cpp); cmd_base64.cpp adds them to the group in the order help lists them.
#pragma once
#include <CLI/CLI.hpp>

namespace xrf {

// xrf base64 encode [FILE]: one unbroken line of Base64 text and a line feed.
void addEncodeCommand(CLI::App& base64);
// xrf base64 decode [FILE]: the bytes; white space and '=' anywhere are accepted.
void addDecodeCommand(CLI::App& base64);

}  // namespace xrf
