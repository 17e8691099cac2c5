// xrf phone reversed NUMBER [--capacity N]: the dialable characters of a telephone number before
// the first ',' or ';', last first, at most N of them.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <memory>
#include <optional>
#include <string>

#include "command.h"
#include "phone_commands.h"
#include "xrfoundation/phone/phone_number.h"

namespace xrf {
namespace {

struct ReversedOptions {
  std::string number;
  std::optional<int32_t> capacity;
};

}  // namespace

void addPhoneReversedCommand(CLI::App& phone) {
  static ReversedOptions options;
  auto* reversed = phone.add_subcommand(
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

}  // namespace xrf
