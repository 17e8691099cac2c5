// tools/xrf/command.h: how a command group joins the xrf tool, and what every command shares.
// Each group's file, cmd_GROUP.cpp, defines one static CommandRegistrar whose function adds the
// group's commands to the application; a group of several commands has a file per command
// (cmd_GROUP_NAME.cpp, declared in GROUP_commands.h). A command's callback reports its exit
// status with setExitCode(). Used on the main thread only.
#pragma once
#include <CLI/CLI.hpp>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace xrf {

// The exit status of a job that was cancelled, as for a process ended by Ctrl-C.
inline constexpr int kExitCancelled = 130;
// Tries at a temporary file or directory name that nobody holds.
inline constexpr int kTempNameAttempts = 16;

using AddCommands = void (*)(CLI::App& app);

struct CommandRegistrar {
  explicit CommandRegistrar(AddCommands add);
};

// Adds the subcommands of every registered group to app; main() calls it once.
void addRegisteredCommands(CLI::App& app);

void setExitCode(int code);
int exitCode();

// Whether -v / --verbose was given, before or after the command's name.
bool verbose();
// Records the tool's own -v; main() calls it once the command line is parsed.
void setVerbose(bool verbose);

// The library's console and XRLog lines from info up when verbose (or when the tool's -v was
// given), else none.
void setLibraryLogging(bool verbose);

// text with its control characters written as escapes ("\n", "\x1b"), so that a message
// quoting the input stays one line and can't drive the terminal.
std::string printable(std::string_view text);

// Prints "xrf: MESSAGE" (made printable) on standard error and sets a non-zero exit status.
void fail(const std::string& message, int code = 1);

// The whole of the file at path, or of standard input when path is empty or "-"; absent after
// reporting why ("cannot open PATH: reason", "cannot read PATH: reason"). Read errors are
// told apart from the end of the input, so a directory or a failing device is an error.
std::optional<std::string> readWholeInput(const std::string& path);

// Writes size bytes of data to standard output and flushes it; false after reporting why
// ("cannot write standard output: reason").
bool writeStandardOutput(const void* data, std::size_t size);

}  // namespace xrf
