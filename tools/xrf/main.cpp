// xrf: the library's jobs from the command line. Subcommands are added by the files beside
// this one; see command.h.
#include <algorithm>
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "command.h"
#include "xrfoundation/platform/file_system.h"

namespace xrf {
namespace {

// Usage errors exit with this status, as the shells' own builtins do.
constexpr int kExitUsage = 2;

// CLI11 reads a lone "++" as the end of a subcommand's arguments, but to this tool it is a
// value (a telephone number made of two plus signs). It stands in as this text while CLI11
// parses, and every option turns it back.
constexpr std::string_view kPlusPlusStandIn = "\x1F++";

void restorePlusPlus(CLI::App* app) {
  for (CLI::Option* option : app->get_options()) {
    if (option->get_type_size() == 0) continue;  // a flag takes no value
    option->transform(
        [](std::string value) { return value == kPlusPlusStandIn ? std::string("++") : value; });
  }
  for (CLI::App* sub : app->get_subcommands([](CLI::App*) { return true; })) restorePlusPlus(sub);
}

// The commands named on the line, from the tool down to the deepest one reached ("contacts
// csv2vcf"); and the first word that named no command where one was due.
struct CommandPath {
  std::vector<CLI::App*> apps;
  std::optional<std::string> unknown;
};

CommandPath commandPath(CLI::App& app, int argc, char** argv) {
  CommandPath path{{&app}, std::nullopt};
  for (int i = 1; i < argc; ++i) {
    const std::string word = argv[i];
    if (word == "--") break;
    if (!word.empty() && word[0] == '-') continue;
    CLI::App* current = path.apps.back();
    const auto subcommands = current->get_subcommands([](CLI::App*) { return true; });
    if (subcommands.empty()) break;  // a command's own arguments follow
    const auto found = std::find_if(subcommands.begin(), subcommands.end(),
                                    [&](CLI::App* sub) { return sub->check_name(word); });
    if (found == subcommands.end()) {
      path.unknown = word;
      break;
    }
    path.apps.push_back(*found);
  }
  return path;
}

// An example for each command's --help whose registration gave none; a group of commands shows
// its first command's.
constexpr std::pair<std::string_view, std::string_view> kExamples[] = {
    {"base64 encode", "xrf base64 encode photo.jpg > photo.txt"},
    {"base64 decode", "xrf base64 decode photo.txt > photo.jpg"},
    {"contacts csv2vcf", "xrf contacts csv2vcf contacts.csv -o contacts.vcf"},
    {"contacts dedupe", "xrf contacts dedupe contacts.vcf"},
    {"contacts show", "xrf contacts show contacts.vcf --json"},
    {"demo", "xrf demo -o demo-output"},
    {"vcard count", "xrf vcard count contacts.vcf"},
    {"csv rows", "xrf csv rows --standard contacts.csv"},
    {"selftest", "xrf selftest"},
    {"phone compare", "xrf phone compare '+44 20 7946 0018' '020 7946 0018'"},
    {"phone reversed", "xrf phone reversed '+1 650-253-0000' --capacity 7"},
    {"xml info", "xrf xml info reply.xml"},
};

// Gives every command below app (named path) an example in its --help, and returns the first
// example found at or below it.
std::string addExamples(CLI::App* app, const std::string& path) {
  std::string first;
  for (const auto& [command, example] : kExamples) {
    if (command == path) first = example;
  }
  for (CLI::App* sub : app->get_subcommands([](CLI::App*) { return true; })) {
    const std::string example =
        addExamples(sub, path.empty() ? sub->get_name() : path + " " + sub->get_name());
    if (first.empty()) first = example;
  }
  if (!path.empty() && app->get_footer().find("Example") == std::string::npos && !first.empty()) {
    app->footer(app->get_footer() + (app->get_footer().empty() ? "" : "\n") + "Example:\n  " +
                first);
  }
  return first;
}

std::string commandName(const CommandPath& path) {
  std::string name = "xrf";
  for (std::size_t i = 1; i < path.apps.size(); ++i) name += " " + path.apps[i]->get_name();
  return name;
}

std::string subcommandList(CLI::App* app) {
  std::string list;
  for (CLI::App* sub : app->get_subcommands([](CLI::App*) { return true; })) {
    list += (list.empty() ? "" : ", ") + sub->get_name();
  }
  return list;
}

// One line for a usage error: what is wrong and where to look.
std::string usageLine(CLI::App& app, int argc, char** argv, const CLI::ParseError& error) {
  const CommandPath path = commandPath(app, argc, argv);
  const std::string name = commandName(path);
  std::string message;
  CLI::App* deepest = path.apps.back();
  if (path.unknown) {
    message = "unknown command \"" + *path.unknown + "\" for " + name +
              " (one of: " + subcommandList(deepest) + ")";
  } else if (!deepest->get_subcommands([](CLI::App*) { return true; }).empty() &&
             deepest->get_subcommands().empty()) {
    message = name + " needs a command (one of: " + subcommandList(deepest) + ")";
  } else {
    message = error.what();
    std::replace(message.begin(), message.end(), '\n', ' ');
    for (std::size_t at; (at = message.find(kPlusPlusStandIn)) != std::string::npos;) {
      message.replace(at, kPlusPlusStandIn.size(), "++");
    }
    while (!message.empty() && message.back() == ' ') message.pop_back();
    if (path.apps.size() > 1) message = name.substr(4) + ": " + message;
  }
  return message + "; see " + name + " --help";
}

}  // namespace
}  // namespace xrf

int main(int argc, char** argv) {
  xr::useBinaryStandardStreams();  // "-" is a file: the same bytes as on every system
  CLI::App app{"xrf: the XRFoundation library's jobs from the command line", "xrf"};
  app.set_version_flag("--version", std::string("xrf ") + XRF_VERSION);
  app.require_subcommand(1);
  // Options of the tool itself, such as -v, may also stand after a command's name: every
  // command made below inherits this.
  app.fallthrough();
  bool verbose = false;
  app.add_flag("-v,--verbose", verbose,
               "Show the library's diagnostic lines (before or after the command)");
  xrf::addRegisteredCommands(app);
  xrf::restorePlusPlus(&app);
  xrf::addExamples(&app, "");
  // Set after the commands were added: each would otherwise inherit it as its own.
  app.footer(
      "FILE arguments take - for standard input. Usage errors exit with status 2.\n"
      "Example:\n  xrf contacts csv2vcf contacts.csv -o contacts.vcf");
  // Runs once the whole line is parsed, before any command's callback.
  app.parse_complete_callback([&verbose] {
    xrf::setVerbose(verbose);
    xrf::setLibraryLogging(verbose);
  });
  std::vector<std::string> arguments;
  for (int i = argc - 1; i > 0; --i) {  // CLI11 takes them last first
    arguments.emplace_back(std::string_view(argv[i]) == "++" ? xrf::kPlusPlusStandIn : argv[i]);
  }
  try {
    app.parse(arguments);
  } catch (const CLI::CallForHelp& request) {
    return app.exit(request);
  } catch (const CLI::CallForAllHelp& request) {
    return app.exit(request);
  } catch (const CLI::CallForVersion& request) {
    return app.exit(request);
  } catch (const CLI::ParseError& error) {
    std::cerr << "xrf: " << xrf::usageLine(app, argc, argv, error) << '\n';
    return xrf::kExitUsage;
  } catch (const std::exception& error) {
    // A job that hits something it did not plan for still ends with one clear line.
    std::cerr << "xrf: " << error.what() << '\n';
    return 1;
  }
  std::fflush(stdout);
  return xrf::exitCode();
}
