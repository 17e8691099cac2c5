// xrf contacts dedupe FILE [--json]: the contacts of a vCard or CSV file whose telephone
// numbers denote the same number, in groups, with their names and the matching numbers.
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "command.h"
#include "contact_jobs.h"
#include "contact_reading.h"
#include "contacts_commands.h"
#include "step_runner.h"
#include "xrfoundation/phone/shared_numbers.h"

namespace xrf {
namespace {

void dedupe(const PrintOptions& options) {
  setLibraryLogging(options.verbose);
  ContactFileImport input;
  if (!openImport(input, options.file, options.read)) return failOpen(input);
  // Each contact is cut down to its name and numbers as soon as it is read, so that a large
  // file's photos and notes are not all held at once.
  std::vector<CardNumbers> cards;
  xr::ContactInfo contact;
  ContactFileImport::Next next;
  while ((next = input.next(contact)) == ContactFileImport::Next::Contact)
    cards.push_back(cardNumbersFromContact(contact));
  if (next == ContactFileImport::Next::Error) return fail(input.error());
  if (cards.empty()) return fail(input.noRecordsError());
  printImportSummary(input);

  // The grouping runs as a step, so that a long run shows a progress bar and Ctrl-C stops it.
  auto groups = std::make_shared<std::optional<std::vector<xr::SharedNumberGroup>>>();
  std::vector<Step> steps;
  steps.push_back({"Find shared numbers", true, [&cards, groups](StepContext& step) {
                     *groups = xr::findSharedNumbers(numbersOf(cards), [&step](double done) {
                       step.progress(done);
                       return !step.cancelled();
                     });
                     return groups->has_value();
                   }});
  const RunOutcome outcome = runSteps(std::move(steps));
  if (outcome.kind == RunOutcome::Kind::Cancelled) {
    return fail("cancelled", kExitCancelled);
  }
  if (outcome.kind != RunOutcome::Kind::Success || !*groups) {
    return fail(outcome.description);
  }
  std::size_t sharing = 0;
  for (const auto& group : **groups) sharing += group.members.size();
  if (options.json) {
    nlohmann::ordered_json out = nlohmann::ordered_json::object();
    out["records"] = cards.size();
    out["sharing"] = sharing;
    auto& list = out["groups"] = nlohmann::ordered_json::array();
    for (const auto& group : **groups) {
      nlohmann::ordered_json members = nlohmann::ordered_json::array();
      for (const auto& member : group.members) {
        members.push_back({{"record", member.record + 1},
                           {"name", cards[member.record].name},
                           {"numbers", member.numbers}});
      }
      list.push_back({{"members", std::move(members)}});
    }
    std::cout << out.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
    return setExitCode(0);
  }
  printDuplicateGroups(std::cout, **groups, cards);
  if ((*groups)->empty()) {
    std::cout << "No two of the " << cards.size() << " records share a number.\n";
  } else {
    std::cout << (*groups)->size() << ((*groups)->size() == 1 ? " group: " : " groups: ") << sharing
              << " of " << cards.size() << " records share a number with another record.\n";
  }
  setExitCode(0);
}

}  // namespace

void addDedupeCommand(CLI::App& contacts) {
  auto options = std::make_shared<PrintOptions>();
  auto* command = contacts.add_subcommand(
      "dedupe",
      "Group the contacts of a vCard or CSV file whose telephone numbers denote the same "
      "number, with their names and the matching numbers");
  addPrintOptions(command, *options, "Print the groups as JSON");
  command->callback([options] { dedupe(*options); });
}

}  // namespace xrf
