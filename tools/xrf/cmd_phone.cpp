// xrf selftest, xrf phone compare, xrf phone reversed: the telephone-number routines from the
// command line. Arguments are taken as the byte texts the routines read.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <memory>
#include <optional>
#include <string>

#include "command.h"
#include "xrfoundation/phone/phone_number.h"
#include "xrfoundation/phone/phone_number_selftest.h"

namespace {

struct PhoneOptions {
  std::string first;
  std::string second;
  std::string number;
  std::optional<int32_t> capacity;
};

void addSelfTest(CLI::App& app) {
  auto* selftest = app.add_subcommand(
      "selftest", "Run the telephone-number self-test table (exit status 0 when every row passes)");
  selftest->callback([] { xrf::setExitCode(xr::runPhoneNumberSelfTest(stdout) == 0 ? 0 : 1); });
}

void addPhone(CLI::App& app) {
  static PhoneOptions options;
  auto* phone = app.add_subcommand("phone", "Compare telephone numbers or reduce one");
  phone->require_subcommand(1);

  auto* compare = phone->add_subcommand(
      "compare", "Print \"equal\" (exit 0) or \"different\" (exit 1) for two numbers");
  compare->add_option("A", options.first, "First number")->required();
  compare->add_option("B", options.second, "Second number")->required();
  compare->callback([] {
    const bool equal =
        xr::phone_number_compare_strict(options.first.c_str(), options.second.c_str());
    std::puts(equal ? "equal" : "different");
    xrf::setExitCode(equal ? 0 : 1);
  });

  auto* reversed = phone->add_subcommand(
      "reversed", "Print the dialable characters before the first ',' or ';', last first");
  reversed->add_option("NUMBER", options.number, "The number")->required();
  reversed
      ->add_option("--capacity", options.capacity, "Most characters to keep (default: all of them)")
      ->check(CLI::Range(0, std::numeric_limits<int32_t>::max()));
  reversed->callback([] {
    const std::string& number = options.number;
    // The form never holds more characters than the number has bytes.
    const auto available =
        static_cast<int32_t>(std::min<size_t>(number.size(), std::numeric_limits<int32_t>::max()));
    const int32_t capacity = std::min(options.capacity.value_or(available), available);
    auto buffer = std::make_unique<char[]>(static_cast<size_t>(capacity) + 1);
    int32_t count = 0;
    xr::phone_number_stripped_reversed_inter(number.c_str(), buffer.get(), capacity, &count);
    std::fwrite(buffer.get(), 1, static_cast<size_t>(count), stdout);
    std::fputc('\n', stdout);
    xrf::setExitCode(0);
  });
}

xrf::CommandRegistrar registrar([](CLI::App& app) {
  addSelfTest(app);
  addPhone(app);
});

}  // namespace
