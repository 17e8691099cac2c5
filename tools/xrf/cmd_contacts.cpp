// xrf contacts csv2vcf and xrf contacts dedupe: contact files from the command line.
//   xrf contacts csv2vcf IN.csv [-o OUT.vcf] [--strict]   one vCard 3.0 record per CSV row
//   xrf contacts dedupe FILE.vcf               records that share a telephone number
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <system_error>

#include "command.h"
#include "contact_jobs.h"
#include "step_runner.h"

namespace {

namespace fs = std::filesystem;

constexpr int kTempNameAttempts = 16;            // tries at a temporary name nobody holds
constexpr int kExitCancelled = 130;              // as for a process ended by Ctrl-C
constexpr std::uint64_t kRowsPerProgress = 256;  // rows between progress reports

struct Csv2VcfOptions {
  std::string input;   // "-": standard input
  std::string output;  // "" or "-": standard output
  bool strict = false;
};

// The output of one conversion: a temporary file that becomes OUT only when every record is
// in it, so that a failed or cancelled run never leaves a partial OUT. For standard output
// the records gather in an anonymous temporary file and are copied out at the end.
class PendingOutput {
 public:
  ~PendingOutput() { discard(); }

  // Creates the temporary file beside target (nullopt: standard output).
  bool create(const std::optional<fs::path>& target, std::string& error) {
    target_ = target;
    if (!target) {
      file_ = std::tmpfile();
      if (!file_) error = std::string("cannot make a temporary file: ") + std::strerror(errno);
      return file_ != nullptr;
    }
    // A device or a pipe (-o /dev/null, a FIFO) is written in place: a temporary file beside
    // it would be renamed over the device itself.
    std::error_code statusError;
    const fs::file_status status = fs::status(*target, statusError);
    if (!statusError && fs::exists(status) && !fs::is_regular_file(status)) {
      if (fs::is_directory(status)) {
        error = target->string() + " is a directory";
        return false;
      }
      file_ = std::fopen(target->c_str(), "wb");
      if (!file_) error = "cannot open " + target->string() + ": " + std::strerror(errno);
      inPlace_ = file_ != nullptr;
      return file_ != nullptr;
    }
    fs::path directory = target->parent_path();
    if (directory.empty()) directory = ".";
    std::random_device random;
    for (int attempt = 0; attempt < kTempNameAttempts; ++attempt) {
      char suffix[32];
      std::snprintf(suffix, sizeof suffix, ".xrf-%08x.tmp", static_cast<unsigned>(random()));
      const fs::path candidate = directory / ("." + target->filename().string() + suffix);
      // "x": fail rather than reuse a file that exists.
      file_ = std::fopen(candidate.c_str(), "wbx");
      if (file_) {
        temp_ = candidate;
        return true;
      }
      if (errno != EEXIST) break;
    }
    error = "cannot create a file in " + directory.string() + ": " + std::strerror(errno);
    return false;
  }

  bool write(const std::string& bytes) {
    return std::fwrite(bytes.data(), 1, bytes.size(), file_) == bytes.size();
  }

  // Puts the records in place: renames the temporary file to OUT, or copies it out.
  bool commit(std::string& error) {
    if (!target_) {
      std::rewind(file_);
      char chunk[1 << 16];
      std::size_t got;
      while ((got = std::fread(chunk, 1, sizeof chunk, file_)) > 0) {
        if (std::fwrite(chunk, 1, got, stdout) != got) break;
      }
      const bool ok = !std::ferror(file_) && !std::ferror(stdout) && std::fflush(stdout) == 0;
      if (!ok) error = std::string("cannot write standard output: ") + std::strerror(errno);
      return ok;
    }
    std::FILE* file = std::exchange(file_, nullptr);
    if (std::fclose(file) != 0) {
      error = "cannot write " + (inPlace_ ? target_->string() : temp_.string()) + ": " +
              std::strerror(errno);
      return false;
    }
    if (inPlace_) return true;
    std::error_code renameError;
    fs::rename(temp_, *target_, renameError);
    if (renameError) {
      error = "cannot replace " + target_->string() + ": " + renameError.message();
      return false;
    }
    temp_.clear();
    return true;
  }

  // Closes and removes whatever was not committed.
  void discard() {
    if (file_) std::fclose(std::exchange(file_, nullptr));
    if (!temp_.empty()) {
      std::error_code ignored;
      fs::remove(temp_, ignored);
      temp_.clear();
    }
  }

  std::string name() const { return target_ ? target_->string() : "standard output"; }

 private:
  std::optional<fs::path> target_;
  std::FILE* file_ = nullptr;
  fs::path temp_;         // the temporary file while it exists
  bool inPlace_ = false;  // target_ is a device or pipe, written directly
};

std::string joined(const std::vector<std::string>& texts) {
  std::string out;
  for (const auto& text : texts) out += (out.empty() ? "\"" : ", \"") + xrf::printable(text) + "\"";
  return out;
}

// The import's account on standard error: what was written, and every column whose values
// found no place in a contact.
void printSummary(const xr::ContactCsvSummary& summary) {
  const auto plural = [](std::uint64_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
  };
  std::cerr << "xrf: " << plural(summary.contacts, "contact", "contacts") << ", "
            << plural(summary.numbers, "number", "numbers") << ", "
            << plural(summary.emails, "e-mail", "e-mails") << " written\n";
  for (const auto& [column, count] : summary.unplaced) {
    std::cerr << "xrf: warning: " << plural(count, "value", "values") << " in column \""
              << xrf::printable(column) << "\" not written: no place in a contact\n";
  }
}

void csv2vcf(const Csv2VcfOptions& options) {
  struct Job {
    xrf::ContactCsvReader reader;
    PendingOutput output;
  };
  auto job = std::make_shared<Job>();
  job->reader.setStrict(options.strict);
  std::optional<fs::path> target;
  if (!options.output.empty() && options.output != "-") target = options.output;

  std::vector<xrf::Step> steps;
  steps.push_back(
      {"Read the CSV header", false, [job, target, input = options.input](xrf::StepContext& step) {
         if (!job->reader.open(input)) return step.fail(job->reader.error());
         const auto& columns = job->reader.columns();
         if (!columns.unknown().empty())
           step.warn("unknown columns ignored: " + joined(columns.unknown()));
         if (!columns.repeated().empty())
           step.warn("repeated columns ignored: " + joined(columns.repeated()));
         std::string error;
         return job->output.create(target, error) || step.fail(error);
       }});
  steps.push_back({"Compose vCards", true, [job](xrf::StepContext& step) {
                     xr::ContactInfo contact;
                     std::uint64_t rows = 0;
                     for (;;) {
                       if (step.cancelled()) return false;
                       const auto next = job->reader.next(contact);
                       if (next == xrf::ContactCsvReader::Next::End) break;
                       if (next == xrf::ContactCsvReader::Next::Error)
                         return step.fail(job->reader.error());
                       if (!job->output.write(xrf::composeVCard(contact)))
                         return step.fail("cannot write: " + std::string(std::strerror(errno)));
                       // The bar moves in steps of a pixel; a report per row costs more
                       // than the row's vCard.
                       if (++rows % kRowsPerProgress == 0)
                         step.progress(job->reader.fractionRead());
                     }
                     step.setSummary(std::to_string(job->reader.contactsRead()) + " contacts");
                     return true;
                   }});
  steps.push_back({"Write " + (target ? target->filename().string() : std::string("the output")),
                   false, [job](xrf::StepContext& step) {
                     std::string error;
                     return job->output.commit(error) || step.fail(error);
                   }});

  const xrf::RunOutcome outcome = xrf::runSteps(std::move(steps));
  job->output.discard();
  switch (outcome.kind) {
    case xrf::RunOutcome::Kind::Success:
      printSummary(job->reader.summary());
      xrf::setExitCode(0);
      break;
    case xrf::RunOutcome::Kind::Cancelled:
      xrf::fail("cancelled; nothing written to " + job->output.name(), kExitCancelled);
      break;
    case xrf::RunOutcome::Kind::Failed:
      xrf::fail(outcome.description);
      break;
  }
}

void dedupe(const std::string& file, bool verbose) {
  xrf::setLibraryLogging(verbose);
  std::vector<xrf::CardNumbers> cards;
  std::string error;
  if (!xrf::readCardNumbers(file, cards, error)) return xrf::fail(error);
  if (cards.empty()) {
    return xrf::fail(file + ": no vCard records (BEGIN:VCARD ... END:VCARD) in the file");
  }
  const auto groups = xrf::findDuplicateNumbers(cards);
  std::size_t sharing = 0;
  for (const auto& group : *groups) sharing += group.members.size();
  xrf::printDuplicateGroups(std::cout, *groups, cards);
  if (groups->empty()) {
    std::cout << "No two of the " << cards.size() << " records share a number.\n";
  } else {
    std::cout << groups->size() << (groups->size() == 1 ? " group: " : " groups: ") << sharing
              << " of " << cards.size() << " records share a number with another record.\n";
  }
  xrf::setExitCode(0);
}

xrf::CommandRegistrar registrar([](CLI::App& app) {
  auto* contacts = app.add_subcommand("contacts", "Contact files: CSV to vCard, duplicate numbers");
  contacts->require_subcommand(1);

  auto options = std::make_shared<Csv2VcfOptions>();
  auto* convert = contacts->add_subcommand(
      "csv2vcf",
      "Write one vCard 3.0 record per row of a contacts CSV (header line first; the column "
      "names are listed in the README). Ctrl-C cancels and leaves no partial output.");
  convert->add_option("IN", options->input, "contacts CSV file, or - for standard input")
      ->required();
  convert->add_option("-o,--output", options->output,
                      "vCard file to write (replaced only once complete; default: standard "
                      "output)");
  convert->add_flag("--strict", options->strict,
                    "Refuse (exit 1, nothing written) a file with a value that has no place in a "
                    "contact, instead of reporting it");
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

  auto file = std::make_shared<std::string>();
  auto verbose = std::make_shared<bool>(false);
  auto* dedupeCommand = contacts->add_subcommand(
      "dedupe",
      "Group the records of a vCard file whose telephone numbers denote the same number, "
      "with their names and the matching numbers");
  dedupeCommand->add_option("FILE", *file, "vCard file")->required();
  dedupeCommand->add_flag("-v,--verbose", *verbose, "Show the library's diagnostic lines");
  dedupeCommand->callback([file, verbose] { dedupe(*file, *verbose); });
});

}  // namespace
