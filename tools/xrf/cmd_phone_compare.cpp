// xrf phone compare A B: whether two telephone numbers denote the same number, as the library's
// strict comparison decides; "equal" (exit 0) or "different" (exit 1).
#include <cstdio>
#include <string>

#include "command.h"
#include "phone_commands.h"
#include "xrfoundation/phone/phone_number.h"

namespace xrf {
namespace {

struct CompareOptions {
  std::string first;
  std::string second;
};

}  // namespace

void addPhoneCompareCommand(CLI::App& phone) {
  static CompareOptions options;
  auto* compare = phone.add_subcommand(
      "compare", "Print \"equal\" (exit 0) or \"different\" (exit 1) for two numbers");
  compare->add_option("A", options.first, "First number")->required();
  compare->add_option("B", options.second, "Second number")->required();
  compare->callback([] {
    const bool equal =
        xr::phone_number_compare_strict(options.first.c_str(), options.second.c_str());
    std::puts(equal ? "equal" : "different");
    xrf::setExitCode(equal ? 0 : 1);
  });
}

}  // namespace xrf
