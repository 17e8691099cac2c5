// tools/xrf/phone_commands.h: the telephone-number commands, xrf selftest and the xrf phone
// group, one file each (cmd_selftest.cpp, cmd_phone_NAME.cpp); cmd_phone.cpp adds them in the
// order help lists them.
#pragma once
#include <CLI/CLI.hpp>

namespace xrf {

// xrf selftest: the library's telephone-number self-test table; exit status 0 when every row
// passes.
void addSelfTestCommand(CLI::App& app);
// xrf phone compare A B: "equal" (exit 0) or "different" (exit 1).
void addPhoneCompareCommand(CLI::App& phone);
// xrf phone reversed NUMBER [--capacity N]: the dialable characters, last first.
void addPhoneReversedCommand(CLI::App& phone);

}  // namespace xrf
