// xrf contacts csv2vcf IN.csv [-o OUT.vcf] [--strict] [--form F]: one vCard 3.0 record per row
// of a contacts CSV, as three steps with a progress bar; Ctrl-C cancels and leaves no partial
// output.
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "command.h"
#include "contact_jobs.h"
#include "contact_reading.h"
#include "contacts_commands.h"
#include "pending_output.h"
#include "step_runner.h"
#include "xrfoundation/contacts/contact_csv_columns.h"
#include "xrfoundation/platform/file_system.h"

namespace xrf {
namespace {

namespace fs = std::filesystem;

constexpr std::uint64_t kRowsPerProgress = 256;  // rows between progress reports

struct Csv2VcfOptions {
  std::string input;   // "-": standard input
  std::string output;  // "" or "-": standard output
  ReadOptions read;
  std::string form = "standard";  // "standard" or "device"
};

std::string joined(const std::vector<std::string>& texts) {
  std::string out;
  for (const auto& text : texts) out += (out.empty() ? "\"" : ", \"") + printable(text) + "\"";
  return out;
}

// The import's account on standard error: what was written, and every column whose values
// found no place in a contact.
void printSummary(const xr::ContactFileSummary& summary) {
  const auto plural = [](std::uint64_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
  };
  std::cerr << "xrf: " << plural(summary.contacts, "contact", "contacts") << ", "
            << plural(summary.numbers, "number", "numbers") << ", "
            << plural(summary.emails, "e-mail", "e-mails") << " written\n";
  for (const auto& [column, count] : summary.unplaced) {
    std::cerr << "xrf: warning: " << plural(count, "value", "values") << " in column \""
              << printable(column) << "\" not written: no place in a contact\n";
  }
}

void csv2vcf(const Csv2VcfOptions& options) {
  struct Job {
    ContactFileImport reader;
    PendingOutput output;
  };
  auto job = std::make_shared<Job>();
  std::optional<fs::path> target;
  if (!options.output.empty() && options.output != "-") target = xr::pathFromUtf8(options.output);

  std::vector<Step> steps;
  steps.push_back({"Read the CSV header", false,
                   [job, target, input = options.input, read = options.read](StepContext& step) {
                     if (!openImport(job->reader, input, read))
                       return step.fail(job->reader.error());
                     if (const xr::ContactCsvColumns* columns = job->reader.reader().csvColumns()) {
                       if (!columns->unknown().empty())
                         step.warn("unknown columns ignored: " + joined(columns->unknown()));
                       if (!columns->repeated().empty())
                         step.warn("repeated columns ignored: " + joined(columns->repeated()));
                     }
                     std::string error;
                     return job->output.create(target, error) || step.fail(error);
                   }});
  const xr::VCardForm form =
      options.form == "device" ? xr::VCardForm::Device : xr::VCardForm::Standard;
  steps.push_back({"Compose vCards", true, [job, form](StepContext& step) {
                     xr::ContactInfo contact;
                     std::uint64_t rows = 0;
                     for (;;) {
                       if (step.cancelled()) return false;
                       const auto next = job->reader.next(contact);
                       if (next == ContactFileImport::Next::End) break;
                       if (next == ContactFileImport::Next::Error)
                         return step.fail(job->reader.error());
                       if (!job->output.write(composeVCard(contact, form)))
                         return step.fail("cannot write: " + std::string(std::strerror(errno)));
                       // The bar moves in steps of a pixel; a report per row costs more
                       // than the row's vCard.
                       if (++rows % kRowsPerProgress == 0)
                         step.progress(job->reader.fractionRead());
                     }
                     step.setSummary(std::to_string(job->reader.reader().summary().contacts) +
                                     " contacts");
                     return true;
                   }});
  steps.push_back(
      {"Write " + (target ? xr::pathToUtf8(target->filename()) : std::string("the output")), false,
       [job](StepContext& step) {
         std::string error;
         return job->output.commit(error) || step.fail(error);
       }});

  const RunOutcome outcome = runSteps(std::move(steps));
  job->output.discard();
  switch (outcome.kind) {
    case RunOutcome::Kind::Success:
      printImportSummary(job->reader);
      printSummary(job->reader.reader().summary());
      setExitCode(0);
      break;
    case RunOutcome::Kind::Cancelled:
      fail("cancelled; nothing written to " + job->output.name(), kExitCancelled);
      break;
    case RunOutcome::Kind::Failed:
      fail(outcome.description);
      break;
  }
}

}  // namespace

void addCsv2VcfCommand(CLI::App& contacts) {
  auto options = std::make_shared<Csv2VcfOptions>();
  auto* convert = contacts.add_subcommand(
      "csv2vcf",
      "Write one vCard 3.0 record per row of a contacts CSV (header line first; the column "
      "names are listed in docs/contacts.md). Ctrl-C cancels and leaves no partial output.");
  convert->add_option("IN", options->input, "contacts CSV file, or - for standard input")
      ->required();
  convert->add_option("-o,--output", options->output,
                      "vCard file to write (replaced only once complete; default: standard "
                      "output)");
  convert->add_flag("--strict", options->read.strict,
                    "Refuse (exit 1, nothing written) a file with a value that has no place in a "
                    "contact, or bytes that its encoding does not explain, instead of reporting "
                    "it");
  addReadOptions(convert, options->read, false);
  convert
      ->add_option("--form", options->form,
                   "standard (default): vCard 3.0 as other programs read it; device: the "
                   "phone's own shape")
      ->check(CLI::IsMember({"standard", "device"}));
  convert->footer(
      "The input is standard CSV: quoted fields may hold commas, \"\" and line breaks; a UTF-8 or\n"
      "UTF-16 byte order mark is understood. The exports of the common address books are\n"
      "recognised by their column names (First Name, E-mail Address, Mobile Phone, ...;\n"
      "Phone 1 - Type, Phone 1 - Value, ...; Primary Email, Mobile Number, ...).\n"
      "Own columns (letter case, spaces, '_' and '-' don't matter; N is 1 when left out):\n"
      "  Given Name, Middle Name, Family Name, Prefix, Suffix, Display Name, Nickname\n"
      "  Phone N, Phone N Type          Type: Mobile (default), Home, Work, WorkMobile, FaxWork,\n"
      "                                 FaxHome, Pager, Main, Other, ... (the E_Number_ kinds)\n"
      "  Email N, Email N Type          Home, Work, Other (default), Mobile\n"
      "  IM N, IM N Service             AIM, MSN, Yahoo, Skype, QQ, GoogleTalk, ICQ, Jabber,\n"
      "                                 NetMeeting\n"
      "  Birthday, Anniversary, Date N, Date N Type (Anniversary, Other, Birthday)\n"
      "  Address N Street, City, Region, Postcode, Country, Address N Type (Home, Work, Other)\n"
      "  Organization, Department, Title, Website N, Note\n"
      "  Groups (names separated by ';'), Photo (JPEG or PNG file, relative to IN's folder)\n"
      "Other columns are reported on standard error, and so is every value that was not\n"
      "written, by column, after the count of contacts, numbers and e-mails written.\n"
      "Example:\n"
      "  xrf contacts csv2vcf contacts.csv -o contacts.vcf --strict");
  convert->callback([options] { csv2vcf(*options); });
}

}  // namespace xrf
