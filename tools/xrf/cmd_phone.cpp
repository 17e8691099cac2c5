// xrf selftest, xrf phone compare, xrf phone reversed: the telephone-number routines from the
// command line. Arguments are taken as the byte texts the routines read.
// Each command is a file of its own, cmd_selftest.cpp and cmd_phone_NAME.cpp.
#include "command.h"
#include "phone_commands.h"

namespace {

xrf::CommandRegistrar phoneGroup([](CLI::App& app) {
  xrf::addSelfTestCommand(app);

  auto* phone = app.add_subcommand("phone", "Compare telephone numbers or reduce one");
  phone->require_subcommand(1);
  xrf::addPhoneCompareCommand(*phone);
  xrf::addPhoneReversedCommand(*phone);
});

}  // namespace
