// xrf: the library's jobs from the command line. Subcommands are added by the files beside
// this one; see command.h.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <vector>

#include "command.h"

namespace xrf {
namespace {

std::vector<AddCommands>& registry() {
  static auto* adders = new std::vector<AddCommands>;
  return *adders;
}
int g_exitCode = 0;

}  // namespace

CommandRegistrar::CommandRegistrar(AddCommands add) { registry().push_back(add); }
void setExitCode(int code) { g_exitCode = code; }
int exitCode() { return g_exitCode; }
void fail(const std::string& message, int code) {
  std::cerr << "xrf: " << message << '\n';
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

}  // namespace xrf

int main(int argc, char** argv) {
  CLI::App app{"xrf: the XRFoundation library's jobs from the command line", "xrf"};
  app.set_version_flag("--version", std::string("xrf ") + XRF_VERSION);
  app.require_subcommand(1);
  for (auto add : xrf::registry()) add(app);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    return app.exit(error);
  } catch (const std::exception& error) {
    // A job that hits something it did not plan for still ends with one clear line.
    std::cerr << "xrf: " << error.what() << '\n';
    return 1;
  }
  std::fflush(stdout);
  return xrf::exitCode();
}
