// xrf demo: the library end to end on the sample data (the repository's samples/ folder, which
// is installed as share/xrfoundation/samples), as one sequential composite task with a progress
// bar. It reads a contacts CSV, composes vCards (one with a JPEG photo), writes them, cuts the
// written file back into records, finds the records that share a telephone number and parses a
// device reply -- one step each -- and prints what each step found and the composite's outcome.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <system_error>

#include "command.h"
#include "contact_jobs.h"
#include "step_runner.h"
#include "xrfoundation/device/xml_message.h"
#include "xrfoundation/input/buffered_input_stream.h"
#include "xrfoundation/phone/shared_numbers.h"
#include "xrfoundation/platform/file_system.h"

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kTitleWidth = 34;  // the step titles and their dots
constexpr char kSummaryIndent[] = "      ";

struct DemoOptions {
  std::string samples;  // "" : share/xrfoundation/samples beside the program (installedSamples)
  std::string output;   // "" : a temporary directory, removed at the end
  bool verbose = false;
};

// What the steps hand on to one another. Each step runs after the one before has finished.
struct DemoState {
  fs::path samples;
  fs::path outputDir;
  std::vector<xr::ContactInfo> contacts;
  std::vector<std::string> records;  // composed, in contact order
  fs::path vcardFile;
  std::vector<xrf::CardNumbers> cards;  // read back from the file
};

std::string kilobytes(std::uintmax_t bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f KB", static_cast<double>(bytes) / 1024.0);
  return text;
}

std::string quoted(const std::string& text) { return "\"" + text + "\""; }

bool readContacts(DemoState& state, xrf::StepContext& step) {
  xrf::ContactFileImport reader;
  const fs::path csv = state.samples / "contacts.csv";
  if (!reader.open(csv.string())) return step.fail(reader.error());
  xr::ContactInfo contact;
  for (;;) {
    if (step.cancelled()) return false;
    const auto next = reader.next(contact);
    if (next == xrf::ContactFileImport::Next::End) break;
    if (next == xrf::ContactFileImport::Next::Error) return step.fail(reader.error());
    state.contacts.push_back(std::move(contact));
    step.progress(reader.fractionRead());
  }
  if (state.contacts.empty()) return step.fail(csv.string() + " holds no contact");
  const xr::ContactCsvColumns* columns = reader.reader().csvColumns();
  if (columns && !columns->unknown().empty())
    step.warn(std::to_string(columns->unknown().size()) + " unknown columns ignored");
  std::size_t numbers = 0;
  for (const auto& c : state.contacts) numbers += c.groupNumber.arrItem.size();
  step.setSummary(std::to_string(state.contacts.size()) + " contacts with " +
                  std::to_string(numbers) + " phone numbers from " + csv.filename().string());
  return true;
}

bool composeRecords(DemoState& state, xrf::StepContext& step) {
  std::string photoNote;
  for (std::size_t i = 0; i < state.contacts.size(); ++i) {
    if (step.cancelled()) return false;
    const xr::ContactInfo& contact = state.contacts[i];
    state.records.push_back(xrf::composeVCard(contact));
    if (contact.icon && photoNote.empty()) {
      photoNote = ", " + contact.displayName.value_or("one") + "'s with a " +
                  std::to_string(contact.icon->width()) + "x" +
                  std::to_string(contact.icon->height()) + " JPEG photo (" +
                  std::to_string(contact.icon->jpegRepresentation().size()) + " bytes)";
    }
    step.progress(static_cast<double>(i + 1) / static_cast<double>(state.contacts.size()));
  }
  if (photoNote.empty()) return step.fail("no contact of the sample has a photo");
  step.setSummary(std::to_string(state.records.size()) + " vCard 3.0 records" + photoNote);
  return true;
}

bool writeRecords(DemoState& state, xrf::StepContext& step) {
  state.vcardFile = state.outputDir / "contacts.vcf";
  std::ofstream out(state.vcardFile, std::ios::binary | std::ios::trunc);
  if (!out) return step.fail("cannot create " + state.vcardFile.string());
  std::uintmax_t bytes = 0;
  for (std::size_t i = 0; i < state.records.size(); ++i) {
    if (step.cancelled()) return false;
    out << state.records[i];
    bytes += state.records[i].size();
    step.progress(static_cast<double>(i + 1) / static_cast<double>(state.records.size()));
  }
  out.close();
  if (!out) return step.fail("cannot write " + state.vcardFile.string());
  step.setSummary(kilobytes(bytes) + " to " + state.vcardFile.string());
  return true;
}

bool readRecordsBack(DemoState& state, xrf::StepContext& step) {
  xr::XRBufferedInputStream reader(xr::makeFileInputStream(state.vcardFile.string()), 64 * 1024);
  reader.open();
  std::size_t count = 0;
  std::size_t differing = 0;
  for (;;) {
    if (step.cancelled()) return false;
    const auto record = reader.readVCardData();
    if (!record) {
      if (reader.atEnd()) break;
      continue;
    }
    if (count >= state.records.size() || *record != state.records[count]) ++differing;
    state.cards.push_back(xrf::cardNumbersFromRecord(*record));
    ++count;
    step.progress(static_cast<double>(count) / static_cast<double>(state.records.size()));
  }
  if (reader.status() == xr::StreamStatus::Error)
    return step.fail(reader.streamError().value_or("cannot read " + state.vcardFile.string()));
  if (count != state.records.size()) {
    return step.fail(std::to_string(count) + " records in " + state.vcardFile.string() + ", " +
                     std::to_string(state.records.size()) + " written");
  }
  if (differing != 0)
    return step.fail(std::to_string(differing) + " records read back differ from those written");
  step.setSummary(std::to_string(count) + " records, as many as written, each byte for byte");
  return true;
}

bool findDuplicates(DemoState& state, xrf::StepContext& step) {
  const auto groups = xr::findSharedNumbers(xrf::numbersOf(state.cards), [&step](double done) {
    step.progress(done);
    return !step.cancelled();
  });
  if (!groups) return false;
  std::ostringstream summary;
  if (groups->empty()) {
    summary << "no two records share a number";
  } else {
    summary << groups->size() << (groups->size() == 1 ? " group" : " groups")
            << " of records that share a number:\n";
    xrf::printDuplicateGroups(summary, *groups, state.cards, kSummaryIndent);
  }
  std::string text = summary.str();
  if (!text.empty() && text.back() == '\n') text.pop_back();
  step.setSummary(text);
  return true;
}

bool parseDeviceReply(DemoState& state, xrf::StepContext& step) {
  const fs::path file = state.samples / "device_reply.xml";
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  if (!in) return step.fail("cannot read " + file.string());
  const xr::XmlNode message = xr::stringToElement(text.str());
  if (!message) return step.fail(file.string() + " is not a well-formed XML message");
  const std::string contentType = xr::getPackContentType(message);
  std::string fields;
  for (const auto& [name, value] :
       xr::dictionaryFromNode(xr::extractIqFirstElement(message, contentType))) {
    fields += (fields.empty() ? "" : ", ") + name + "=" + value;
  }
  const auto outcome = xr::checkElementError(message);
  std::string summary = "packet type " + quoted(xr::getPackType(message)) + ", content type " +
                        quoted(contentType) + ", command id " + quoted(xr::getPackCmdID(message)) +
                        "\n" + kSummaryIndent + "fields: " + (fields.empty() ? "(none)" : fields) +
                        "\n" + kSummaryIndent + "outcome: " + outcome->result().value_or("(none)");
  if (const auto description = outcome->errorDescription()) summary += " (" + *description + ")";
  step.setSummary(summary);
  return true;
}

// A new directory of our own under the system's temporary directory.
std::optional<fs::path> makeTemporaryDirectory(std::string& error) {
  std::error_code code;
  const fs::path base = fs::temp_directory_path(code);
  if (code) {
    error = "no temporary directory: " + code.message();
    return std::nullopt;
  }
  std::random_device random;
  for (int attempt = 0; attempt < xrf::kTempNameAttempts; ++attempt) {
    char name[32];
    std::snprintf(name, sizeof name, "xrf-demo-%08x", static_cast<unsigned>(random()));
    if (fs::create_directory(base / name, code)) return base / name;
    if (code) break;
  }
  error = "cannot create a directory in " + base.string() + (code ? ": " + code.message() : "");
  return std::nullopt;
}

// Where the samples are when --samples is not given: ../share/xrfoundation/samples from the
// directory of the running program. An installation puts them there, and the build copies the
// repository's samples/ to the same place beside its own xrf, so that no path of the build is
// compiled into the program and an installed xrf works from any directory.
std::optional<fs::path> installedSamples() {
  const std::optional<std::string> program = xr::runningProgramPath();
  if (!program) return std::nullopt;
  const fs::path self = xr::pathFromUtf8(*program);
  return (self.parent_path() / ".." / "share" / "xrfoundation" / "samples").lexically_normal();
}

void printStep(std::size_t index, const std::string& title, const std::string& summary) {
  std::string dotted = title + " ";
  if (dotted.size() < kTitleWidth) dotted.append(kTitleWidth - dotted.size(), '.');
  std::printf("%2zu. %s %s\n", index + 1, dotted.c_str(), summary.c_str());
}

void demo(const DemoOptions& options) {
  xrf::setLibraryLogging(options.verbose);
  auto state = std::make_shared<DemoState>();
  if (options.samples.empty()) {
    const auto found = installedSamples();
    if (!found) return xrf::fail("cannot tell where xrf runs from; pass --samples DIR");
    state->samples = *found;
  } else {
    state->samples = options.samples;
  }
  std::error_code code;
  for (const char* file : {"contacts.csv", "device_reply.xml"}) {
    if (!fs::is_regular_file(state->samples / file, code)) {
      return xrf::fail("no " + std::string(file) + " in " + state->samples.string() +
                       "; pass --samples DIR with the repository's samples folder");
    }
  }

  const bool temporary = options.output.empty();
  if (temporary) {
    std::string error;
    const auto directory = makeTemporaryDirectory(error);
    if (!directory) return xrf::fail(error);
    state->outputDir = *directory;
  } else {
    state->outputDir = options.output;
    fs::create_directories(state->outputDir, code);
    if (code) return xrf::fail("cannot create " + options.output + ": " + code.message());
  }

  std::printf("xrf demo: contacts from CSV to vCard and back, and a device reply (samples: %s)\n",
              state->samples.string().c_str());
  std::fflush(stdout);
  const auto step = [state](bool (*work)(DemoState&, xrf::StepContext&)) {
    return [state, work](xrf::StepContext& context) { return work(*state, context); };
  };
  std::vector<xrf::Step> steps = {
      {"Read the sample contacts", true, step(readContacts)},
      {"Compose the vCards", true, step(composeRecords)},
      {"Write the vCard file", true, step(writeRecords)},
      {"Cut the file back into records", true, step(readRecordsBack)},
      {"Find duplicate numbers", true, step(findDuplicates)},
      {"Parse the device reply", true, step(parseDeviceReply)},
  };
  const std::size_t stepCount = steps.size();
  xrf::RunOptions run;
  run.onStepDone = printStep;
  const xrf::RunOutcome outcome = xrf::runSteps(std::move(steps), run);

  if (temporary) fs::remove_all(state->outputDir, code);
  switch (outcome.kind) {
    case xrf::RunOutcome::Kind::Success:
      std::printf("Outcome: success, %zu steps in %.2f s%s\n", stepCount, outcome.seconds,
                  temporary ? " (the temporary vCard file is removed; -o DIR keeps it)" : "");
      xrf::setExitCode(0);
      break;
    case xrf::RunOutcome::Kind::Cancelled:
      std::printf("Outcome: canceled\n");
      xrf::fail("demo cancelled", xrf::kExitCancelled);
      break;
    case xrf::RunOutcome::Kind::Failed:
      std::printf("Outcome: failed: %s\n", outcome.description.c_str());
      xrf::fail("demo failed: " + outcome.description);
      break;
  }
}

xrf::CommandRegistrar demoGroup([](CLI::App& app) {
  auto options = std::make_shared<DemoOptions>();
  auto* demoCommand = app.add_subcommand(
      "demo",
      "The library end to end on the sample data, as one composite task with a progress bar");
  demoCommand->add_option("--samples", options->samples,
                          "folder with contacts.csv, photo.jpg and device_reply.xml (default: "
                          "../share/xrfoundation/samples from xrf's own folder)");
  demoCommand->add_option("-o,--output", options->output,
                          "folder to keep the written contacts.vcf in (default: a temporary "
                          "folder, removed at the end)");
  demoCommand->add_flag("-v,--verbose", options->verbose, "Show the library's diagnostic lines");
  demoCommand->callback([options] { demo(*options); });
});

}  // namespace
