// tools/xrf/command.cpp: what every command of the tool shares -- the registry of command
// groups, the exit status, -v and the library's log level, and the reporting and whole-input
// helpers.
#include "command.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <vector>

#include "xrfoundation/platform/log.h"

namespace xrf {
namespace {

std::vector<AddCommands>& registry() {
  static auto* adders = new std::vector<AddCommands>;
  return *adders;
}
int g_exitCode = 0;
bool g_verbose = false;

}  // namespace

CommandRegistrar::CommandRegistrar(AddCommands add) { registry().push_back(add); }

void addRegisteredCommands(CLI::App& app) {
  for (const AddCommands add : registry()) add(app);
}

bool verbose() { return g_verbose; }
void setVerbose(bool verbose) { g_verbose = verbose; }
void setExitCode(int code) { g_exitCode = code; }
int exitCode() { return g_exitCode; }
std::string printable(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte != 0x7F) {
      out.push_back(c);
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else {
      static constexpr char kHex[] = "0123456789abcdef";
      out += {'\\', 'x', kHex[byte >> 4], kHex[byte & 0xF]};
    }
  }
  return out;
}

void fail(const std::string& message, int code) {
  // One line, whatever the message quotes from the input.
  std::cerr << "xrf: " << printable(message) << '\n';
  g_exitCode = code;
}

std::optional<std::string> readWholeInput(const std::string& path) {
  const bool standardInput = path.empty() || path == "-";
  const std::string name = standardInput ? std::string("standard input") : path;
  std::FILE* in = standardInput ? stdin : std::fopen(path.c_str(), "rb");
  if (!in) {
    fail("cannot open " + name + ": " + std::strerror(errno));
    return std::nullopt;
  }
  std::string data;
  char chunk[1 << 16];
  std::size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, in)) > 0) data.append(chunk, got);
  const bool failed = std::ferror(in) != 0;
  const int error = errno;
  if (!standardInput) std::fclose(in);
  if (failed) {
    fail("cannot read " + name + ": " + std::strerror(error));
    return std::nullopt;
  }
  return data;
}

bool writeStandardOutput(const void* data, std::size_t size) {
  if (std::fwrite(data, 1, size, stdout) != size || std::fflush(stdout) != 0) {
    fail(std::string("cannot write standard output: ") + std::strerror(errno));
    return false;
  }
  return true;
}

void setLibraryLogging(bool verbose) {
  // The tool's -v counts wherever it stood; a command's own flag can only add to it.
  verbose = verbose || xrf::verbose();
  // Without -v the library says nothing: what the user must know, the tool says itself as
  // "xrf: ..." or "xrf: warning: ...".
  // A failed step reaches the user as one "xrf: ..." line; the composite's own error line on
  // XRLog says the same again, so it too shows only with --verbose.
  xr::setLogLevel(verbose ? xr::LogLevel::Info : xr::LogLevel::Off);
}

}  // namespace xrf
