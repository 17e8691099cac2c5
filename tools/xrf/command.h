// tools/xrf/command.h: how a command group joins the xrf tool. Each file of tools/xrf/ defines
// one static CommandRegistrar whose function adds its subcommands to the application; a
// subcommand's callback reports its exit status with setExitCode().
#pragma once
#include <CLI/CLI.hpp>

namespace xrf {

using AddCommands = void (*)(CLI::App& app);

struct CommandRegistrar {
  explicit CommandRegistrar(AddCommands add);
};

void setExitCode(int code);
int exitCode();

// Prints "xrf: MESSAGE" on standard error and sets a non-zero exit status.
void fail(const std::string& message, int code = 1);

}  // namespace xrf
