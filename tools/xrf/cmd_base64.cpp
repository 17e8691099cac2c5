// xrf base64: the library's Base64 codec on files or standard input.
//   xrf base64 encode [FILE]   one unbroken line of Base64 text and a line feed
//   xrf base64 decode [FILE]   the bytes; white space and '=' anywhere are accepted
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "command.h"
#include "xrfoundation/contacts/base64.h"

namespace {

bool writeAll(const void* data, std::size_t size) {
  if (std::fwrite(data, 1, size, stdout) != size || std::fflush(stdout) != 0) {
    xrf::fail(std::string("cannot write standard output: ") + std::strerror(errno));
    return false;
  }
  return true;
}

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
  writeAll(text->data(), text->size());
}

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
  writeAll(bytes->data(), bytes->size());
}

xrf::CommandRegistrar registrar([](CLI::App& app) {
  auto* base64 = app.add_subcommand("base64", "Base64 (RFC 4648) encoding and decoding");
  base64->require_subcommand(1);

  auto encodePath = std::make_shared<std::string>();
  auto* encodeCommand =
      base64->add_subcommand("encode", "Write FILE (or standard input) as one line of Base64 text");
  encodeCommand->add_option("FILE", *encodePath, "file to encode (default: standard input)");
  encodeCommand->callback([encodePath] { encode(*encodePath); });

  auto decodePath = std::make_shared<std::string>();
  auto* decodeCommand = base64->add_subcommand(
      "decode", "Write the bytes that the Base64 text of FILE (or standard input) encodes");
  decodeCommand->add_option("FILE", *decodePath, "file to decode (default: standard input)");
  decodeCommand->callback([decodePath] { decode(*decodePath); });
});

}  // namespace
