// xrf selftest: the library's telephone-number self-test table, each row's outcome on standard
// output; exit status 0 when every row passes.
#include <cstdio>

#include "command.h"
#include "phone_commands.h"
#include "xrfoundation/phone/phone_number_selftest.h"

namespace xrf {

void addSelfTestCommand(CLI::App& app) {
  auto* selftest = app.add_subcommand(
      "selftest", "Run the telephone-number self-test table (exit status 0 when every row passes)");
  selftest->callback([] { xrf::setExitCode(xr::runPhoneNumberSelfTest(stdout) == 0 ? 0 : 1); });
}

}  // namespace xrf
