// xrf contacts: contact files from the command line. Every command reads vCard and CSV files
// alike (the library's ContactFileReader tells them apart by their content).
//   xrf contacts csv2vcf IN.csv [-o OUT.vcf] [--strict] [--form F]  one vCard 3.0 record per row
//   xrf contacts dedupe FILE [--json]            contacts that share a telephone number
//   xrf contacts vcf2csv FILE [-o OUT.csv]       contacts as a CSV in csv2vcf's own columns
//   xrf contacts show FILE [--json]              the contacts a file holds
// The reading options of all four: --delimiter X, --encoding NAME, --strict.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <system_error>

#include "command.h"
#include "contact_jobs.h"
#include "step_runner.h"
#include "xrfoundation/contacts/contact_csv_columns.h"
#include "xrfoundation/contacts/vcard_parser.h"
#include "xrfoundation/phone/shared_numbers.h"
#include "xrfoundation/platform/file_system.h"
#include "xrfoundation/platform/image.h"

namespace {

namespace fs = std::filesystem;

constexpr std::uint64_t kRowsPerProgress = 256;  // rows between progress reports
constexpr std::size_t kCsvBlockBytes = 1 << 16;  // CSV text gathered before it is written

// How a command reads its contacts file.
struct ReadOptions {
  std::string delimiter;  // "" (found from the header), ",", ";", "tab" or "\t"
  std::string encoding;   // "": what the bytes show
  bool strict = false;
};

struct Csv2VcfOptions {
  std::string input;   // "-": standard input
  std::string output;  // "" or "-": standard output
  ReadOptions read;
  std::string form = "standard";  // "standard" or "device"
};

// Gives the reading options to import and opens path.
bool openImport(xrf::ContactFileImport& import, const std::string& path, const ReadOptions& read,
                bool rereadable = false) {
  import.setStrict(read.strict);
  import.setEncoding(read.encoding);
  if (read.delimiter == "tab" || read.delimiter == "\\t" || read.delimiter == "\t") {
    import.setDelimiter('\t');
  } else if (read.delimiter.size() == 1) {
    import.setDelimiter(read.delimiter[0]);
  }
  return import.open(path, rereadable);
}

// What the import took and its warnings, on standard error: "xrf: FILE: vCard, UTF-8", then a
// line for each line of the file where bytes were replaced.
void printImportSummary(const xrf::ContactFileImport& import) {
  std::cerr << "xrf: " << xrf::printable(import.name()) << ": "
            << xrf::printable(xr::describeContactFile(import.reader().summary())) << "\n";
  for (const std::string& warning : import.warnings())
    std::cerr << "xrf: warning: " << xrf::printable(warning) << "\n";
}

// The message of an import that could not be opened: an empty file has no records, as the
// commands that read vCard files have always said.
void failOpen(const xrf::ContactFileImport& import) {
  xrf::fail(import.reader().blank() ? import.noRecordsError() : import.error());
}

// Adds --delimiter, --encoding and (unless the command has its own) --strict.
void addReadOptions(CLI::App* command, ReadOptions& read, bool strict = true) {
  command
      ->add_option("--delimiter", read.delimiter,
                   "CSV field delimiter: ',', ';', 'tab' or '\\t' (default: found from the "
                   "header line)")
      ->check(CLI::IsMember({",", ";", "tab", "\\t", "\t"}));
  command->add_option("--encoding", read.encoding,
                      "Text encoding when the file has no byte order mark (UTF-8, "
                      "Windows-1252, ISO-8859-15, UTF-16LE, ...; default: what the bytes show)");
  if (strict) {
    command->add_flag("--strict", read.strict,
                      "Refuse (exit 1) a file with a value that has no place in a contact or "
                      "bytes that its encoding does not explain, instead of warning");
  }
}

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
      file_ = xr::createTemporaryFile();
      if (!file_) error = std::string("cannot make a temporary file: ") + std::strerror(errno);
      return file_ != nullptr;
    }
    // A device or a pipe (-o /dev/null, a FIFO) is written in place: a temporary file beside
    // it would be renamed over the device itself.
    std::error_code statusError;
    const fs::file_status status = fs::status(*target, statusError);
    if (!statusError && fs::exists(status) && !fs::is_regular_file(status)) {
      if (fs::is_directory(status)) {
        error = xr::pathToUtf8(*target) + " is a directory";
        return false;
      }
      file_ = std::fopen(xr::pathToUtf8(*target).c_str(), "wb");
      if (!file_) error = "cannot open " + xr::pathToUtf8(*target) + ": " + std::strerror(errno);
      inPlace_ = file_ != nullptr;
      return file_ != nullptr;
    }
    fs::path directory = target->parent_path();
    if (directory.empty()) directory = ".";
    std::random_device random;
    for (int attempt = 0; attempt < xrf::kTempNameAttempts; ++attempt) {
      char suffix[32];
      std::snprintf(suffix, sizeof suffix, ".xrf-%08x.tmp", static_cast<unsigned>(random()));
      const fs::path candidate =
          directory / xr::pathFromUtf8("." + xr::pathToUtf8(target->filename()) + suffix);
      // Fail rather than reuse a file that exists.
      file_ = xr::createNewFile(candidate);
      if (file_) {
        temp_ = candidate;
        return true;
      }
      if (errno != EEXIST) break;
    }
    error = "cannot create a file in " + xr::pathToUtf8(directory) + ": " + std::strerror(errno);
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
      error = "cannot write " + xr::pathToUtf8(inPlace_ ? *target_ : temp_) + ": " +
              std::strerror(errno);
      return false;
    }
    if (inPlace_) return true;
    // Atomic on every system, an existing OUT included (Windows: MoveFileExW, replacing).
    const std::error_code renameError = xr::replaceFile(temp_, *target_);
    if (renameError) {
      error = "cannot replace " + xr::pathToUtf8(*target_) + ": " + renameError.message();
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

  std::string name() const { return target_ ? xr::pathToUtf8(*target_) : "standard output"; }

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
void printSummary(const xr::ContactFileSummary& summary) {
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
    xrf::ContactFileImport reader;
    PendingOutput output;
  };
  auto job = std::make_shared<Job>();
  std::optional<fs::path> target;
  if (!options.output.empty() && options.output != "-") target = xr::pathFromUtf8(options.output);

  std::vector<xrf::Step> steps;
  steps.push_back(
      {"Read the CSV header", false,
       [job, target, input = options.input, read = options.read](xrf::StepContext& step) {
         if (!openImport(job->reader, input, read)) return step.fail(job->reader.error());
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
  steps.push_back({"Compose vCards", true, [job, form](xrf::StepContext& step) {
                     xr::ContactInfo contact;
                     std::uint64_t rows = 0;
                     for (;;) {
                       if (step.cancelled()) return false;
                       const auto next = job->reader.next(contact);
                       if (next == xrf::ContactFileImport::Next::End) break;
                       if (next == xrf::ContactFileImport::Next::Error)
                         return step.fail(job->reader.error());
                       if (!job->output.write(xrf::composeVCard(contact, form)))
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
       [job](xrf::StepContext& step) {
         std::string error;
         return job->output.commit(error) || step.fail(error);
       }});

  const xrf::RunOutcome outcome = xrf::runSteps(std::move(steps));
  job->output.discard();
  switch (outcome.kind) {
    case xrf::RunOutcome::Kind::Success:
      printImportSummary(job->reader);
      printSummary(job->reader.reader().summary());
      xrf::setExitCode(0);
      break;
    case xrf::RunOutcome::Kind::Cancelled:
      xrf::fail("cancelled; nothing written to " + job->output.name(), xrf::kExitCancelled);
      break;
    case xrf::RunOutcome::Kind::Failed:
      xrf::fail(outcome.description);
      break;
  }
}

struct DedupeOptions {
  std::string file;
  bool verbose = false;
  bool json = false;
  ReadOptions read;
};

void dedupe(const DedupeOptions& options) {
  xrf::setLibraryLogging(options.verbose);
  xrf::ContactFileImport input;
  if (!openImport(input, options.file, options.read)) return failOpen(input);
  // Each contact is cut down to its name and numbers as soon as it is read, so that a large
  // file's photos and notes are not all held at once.
  std::vector<xrf::CardNumbers> cards;
  xr::ContactInfo contact;
  xrf::ContactFileImport::Next next;
  while ((next = input.next(contact)) == xrf::ContactFileImport::Next::Contact)
    cards.push_back(xrf::cardNumbersFromContact(contact));
  if (next == xrf::ContactFileImport::Next::Error) return xrf::fail(input.error());
  if (cards.empty()) return xrf::fail(input.noRecordsError());
  printImportSummary(input);

  // The grouping runs as a step, so that a long run shows a progress bar and Ctrl-C stops it.
  auto groups = std::make_shared<std::optional<std::vector<xr::SharedNumberGroup>>>();
  std::vector<xrf::Step> steps;
  steps.push_back({"Find shared numbers", true, [&cards, groups](xrf::StepContext& step) {
                     *groups = xr::findSharedNumbers(xrf::numbersOf(cards), [&step](double done) {
                       step.progress(done);
                       return !step.cancelled();
                     });
                     return groups->has_value();
                   }});
  const xrf::RunOutcome outcome = xrf::runSteps(std::move(steps));
  if (outcome.kind == xrf::RunOutcome::Kind::Cancelled) {
    return xrf::fail("cancelled", xrf::kExitCancelled);
  }
  if (outcome.kind != xrf::RunOutcome::Kind::Success || !*groups) {
    return xrf::fail(outcome.description);
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
    return xrf::setExitCode(0);
  }
  xrf::printDuplicateGroups(std::cout, **groups, cards);
  if ((*groups)->empty()) {
    std::cout << "No two of the " << cards.size() << " records share a number.\n";
  } else {
    std::cout << (*groups)->size() << ((*groups)->size() == 1 ? " group: " : " groups: ") << sharing
              << " of " << cards.size() << " records share a number with another record.\n";
  }
  xrf::setExitCode(0);
}

nlohmann::ordered_json contactJson(const xr::ContactInfo& c) {
  nlohmann::ordered_json out = nlohmann::ordered_json::object();
  const auto text = [&out](const char* key, const std::optional<std::string>& value) {
    if (value) out[key] = *value;
  };
  const auto kind = [](const std::optional<std::string>& name) -> nlohmann::ordered_json {
    if (!name) return nullptr;
    const std::size_t cut = name->find('_', 2);
    return cut == std::string::npos ? *name : name->substr(cut + 1);
  };
  text("displayName", c.displayName);
  text("familyName", c.familyName);
  text("givenName", c.givenName);
  text("middleName", c.middleName);
  text("prefix", c.prefix);
  text("suffix", c.suffix);
  text("nickname", c.nickname);
  auto& numbers = out["numbers"] = nlohmann::ordered_json::array();
  for (const auto& i : c.groupNumber.arrItem)
    numbers.push_back({{"number", i.mobile.value_or("")}, {"kind", kind(i.mobileType)}});
  auto& emails = out["emails"] = nlohmann::ordered_json::array();
  for (const auto& i : c.groupEmail.arrItem)
    emails.push_back({{"email", i.email.value_or("")}, {"kind", kind(i.emailType)}});
  auto& ims = out["ims"] = nlohmann::ordered_json::array();
  for (const auto& i : c.groupIm.arrItem)
    ims.push_back({{"handle", i.im.value_or("")}, {"service", kind(i.imType)}});
  auto& dates = out["dates"] = nlohmann::ordered_json::array();
  for (const auto& i : c.groupDate.arrItem)
    dates.push_back({{"date", i.date.value_or("")}, {"kind", kind(i.dateType)}});
  auto& addresses = out["addresses"] = nlohmann::ordered_json::array();
  for (const auto& i : c.groupAddress.arrItem) {
    nlohmann::ordered_json address = {{"kind", kind(i.addressType)}};
    if (i.street) address["street"] = *i.street;
    if (i.city) address["city"] = *i.city;
    if (i.region) address["region"] = *i.region;
    if (i.postcode) address["postcode"] = *i.postcode;
    if (i.country) address["country"] = *i.country;
    addresses.push_back(std::move(address));
  }
  auto& organizations = out["organizations"] = nlohmann::ordered_json::array();
  for (const auto& i : c.groupOrganization.arrItem) {
    nlohmann::ordered_json organization = nlohmann::ordered_json::object();
    if (i.company) organization["company"] = *i.company;
    if (i.department) organization["department"] = *i.department;
    if (i.title) organization["title"] = *i.title;
    organizations.push_back(std::move(organization));
  }
  auto& websites = out["websites"] = nlohmann::ordered_json::array();
  for (const auto& i : c.groupWebsite.arrItem) websites.push_back(i.website.value_or(""));
  auto& notes = out["notes"] = nlohmann::ordered_json::array();
  for (const auto& i : c.groupNote.arrItem) notes.push_back(i.note.value_or(""));
  const auto* groups = c.userDataForKey(xr::kContactGroupNamesKey);
  out["groups"] = groups ? *groups : std::vector<std::string>{};
  if (c.icon) {
    out["photo"] = {{"width", c.icon->width()},
                    {"height", c.icon->height()},
                    {"jpegBytes", c.icon->jpegRepresentation().size()}};
  }
  const auto* unplaced = c.userDataForKey(xr::kContactVCardUnplacedKey);
  out["unplacedLines"] = unplaced ? *unplaced : std::vector<std::string>{};
  return out;
}

void show(const DedupeOptions& options) {
  xrf::setLibraryLogging(options.verbose);
  xrf::ContactFileImport input;
  if (!openImport(input, options.file, options.read)) return failOpen(input);
  // The contacts are printed as they are read, to a temporary file that reaches standard output
  // only once the whole file has been read: a failure prints nothing but its message.
  PendingOutput output;
  std::string error;
  if (!output.create(std::nullopt, error)) return xrf::fail(error);
  xr::ContactInfo contact;
  xrf::ContactFileImport::Next next = xrf::ContactFileImport::Next::End;
  std::size_t n = 0;
  bool written = true;
  while (written && (next = input.next(contact)) == xrf::ContactFileImport::Next::Contact) {
    std::ostringstream out;
    if (options.json) {
      // Each contact as an element of one array, indented as the array's dump() indents it.
      std::istringstream element(
          contactJson(contact).dump(2, ' ', false, nlohmann::json::error_handler_t::replace));
      out << (n == 0 ? "[\n" : ",\n");
      std::string line;
      for (bool first = true; std::getline(element, line); first = false)
        out << (first ? "" : "\n") << "  " << line;
    } else {
      const xrf::CardNumbers card = xrf::cardNumbersFromContact(contact);
      out << "#" << n + 1 << " " << (card.name.empty() ? "(no name)" : card.name) << "\n";
      for (const auto& i : contact.groupNumber.arrItem)
        out << "  phone " << i.mobile.value_or("") << " (" << i.mobileType.value_or("") << ")\n";
      for (const auto& i : contact.groupEmail.arrItem)
        out << "  email " << i.email.value_or("") << " (" << i.emailType.value_or("") << ")\n";
    }
    written = output.write(out.str());
    ++n;
  }
  if (!written)
    return xrf::fail("cannot write a temporary file: " + std::string(std::strerror(errno)));
  if (next == xrf::ContactFileImport::Next::Error) return xrf::fail(input.error());
  if (n == 0) return xrf::fail(input.noRecordsError());
  printImportSummary(input);
  written =
      output.write(options.json ? std::string("\n]\n")
                                : std::to_string(n) + (n == 1 ? " contact\n" : " contacts\n"));
  if (!written || !output.commit(error))
    return xrf::fail(error.empty() ? "cannot write standard output" : error);
  xrf::setExitCode(0);
}

struct Vcf2CsvOptions {
  std::string input;
  std::string output;  // "" or "-": standard output
  bool verbose = false;
  ReadOptions read;
};

void vcf2csv(const Vcf2CsvOptions& options) {
  xrf::setLibraryLogging(options.verbose);
  // Two passes over the file, so that no more than one contact is held at a time: the first
  // counts the columns each family needs, the second writes the rows under them.
  xrf::ContactFileImport input;
  if (!openImport(input, options.input, options.read, true)) return failOpen(input);
  xr::ContactCsvItemCounts counts;
  xr::ContactInfo contact;
  xrf::ContactFileImport::Next next;
  std::size_t contacts = 0;
  while ((next = input.next(contact)) == xrf::ContactFileImport::Next::Contact) {
    counts.include(contact);
    ++contacts;
  }
  if (next == xrf::ContactFileImport::Next::Error) return xrf::fail(input.error());
  if (contacts == 0) return xrf::fail(input.noRecordsError());
  if (!input.rewind()) return xrf::fail(input.error());

  std::optional<fs::path> target;
  if (!options.output.empty() && options.output != "-") target = xr::pathFromUtf8(options.output);
  // Photos go to files beside OUT, named in the Photo column relative to OUT's folder, as
  // csv2vcf reads them; with standard output there is no folder to put them in.
  const fs::path photoFolderName =
      target ? xr::pathFromUtf8(xr::pathToUtf8(target->filename()) + ".photos") : fs::path();
  const fs::path photoFolder = target ? target->parent_path() / photoFolderName : fs::path();
  PendingOutput output;
  std::string error;
  const auto writeFailed = [&] {
    xrf::fail(error.empty() ? "cannot write " + output.name() : error);
  };
  if (!output.create(target, error)) return writeFailed();
  std::string csv;
  xr::appendCsvRecord(csv, xr::contactCsvTitles(counts));
  std::size_t lostContacts = 0;
  std::size_t photosSkipped = 0;
  std::vector<std::string> lostExamples;
  std::size_t n = 0;
  while ((next = input.next(contact)) == xrf::ContactFileImport::Next::Contact) {
    std::string photoFile;
    if (contact.icon && target) {
      std::error_code createError;
      fs::create_directories(photoFolder, createError);
      const std::string name = std::to_string(n + 1) + ".jpg";
      const auto& jpeg = contact.icon->jpegRepresentation();
      std::ofstream file(photoFolder / name, std::ios::binary);
      file.write(reinterpret_cast<const char*>(jpeg.data()),
                 static_cast<std::streamsize>(jpeg.size()));
      if (!file) return xrf::fail("cannot write " + xr::pathToUtf8(photoFolder / name));
      photoFile = xr::pathToUtf8(photoFolderName) + "/" + name;  // the same on every system
    } else if (contact.icon) {
      ++photosSkipped;
    }
    std::vector<std::string> lost;
    xr::appendCsvRecord(csv, xr::contactCsvFields(contact, counts, photoFile, lost));
    if (!lost.empty()) {
      ++lostContacts;
      if (lostExamples.size() < 3)
        lostExamples.push_back("#" + std::to_string(n + 1) + " " + lost[0]);
    }
    ++n;
    // Rows go out in blocks of about kCsvBlockBytes.
    if (csv.size() >= kCsvBlockBytes) {
      if (!output.write(csv)) return writeFailed();
      csv.clear();
    }
  }
  if (next == xrf::ContactFileImport::Next::Error) return xrf::fail(input.error());
  printImportSummary(input);
  if (photosSkipped) {
    std::cerr << "xrf: warning: " << photosSkipped
              << " photos not written: give -o OUT.csv to have them saved beside it\n";
  }
  if (lostContacts) {
    std::cerr << "xrf: warning: " << lostContacts
              << " contacts hold values that have no CSV column (e.g. ";
    for (std::size_t i = 0; i < lostExamples.size(); ++i)
      std::cerr << (i ? "; " : "") << lostExamples[i];
    std::cerr << ")\n";
  }
  if (!output.write(csv) || !output.commit(error)) return writeFailed();
  std::cerr << "xrf: " << n << " contacts written to " << output.name() << "\n";
  xrf::setExitCode(0);
}

xrf::CommandRegistrar registrar([](CLI::App& app) {
  auto* contacts = app.add_subcommand(
      "contacts", "Contact files (vCard or CSV): convert, show, duplicate numbers");
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

  auto dedupeOptions = std::make_shared<DedupeOptions>();
  auto* dedupeCommand = contacts->add_subcommand(
      "dedupe",
      "Group the contacts of a vCard or CSV file whose telephone numbers denote the same "
      "number, with their names and the matching numbers");
  dedupeCommand->add_option("FILE", dedupeOptions->file, "vCard or CSV file ('-': standard input)")
      ->required();
  addReadOptions(dedupeCommand, dedupeOptions->read);
  dedupeCommand->add_flag("--json", dedupeOptions->json, "Print the groups as JSON");
  dedupeCommand->add_flag("-v,--verbose", dedupeOptions->verbose,
                          "Show the library's diagnostic lines");
  dedupeCommand->callback([dedupeOptions] { dedupe(*dedupeOptions); });

  auto showOptions = std::make_shared<DedupeOptions>();
  auto* showCommand = contacts->add_subcommand(
      "show",
      "Print the contacts of a vCard (2.1, 3.0 or 4.0) or CSV file as the library reads them");
  showCommand->add_option("FILE", showOptions->file, "vCard or CSV file ('-': standard input)")
      ->required();
  addReadOptions(showCommand, showOptions->read);
  showCommand->add_flag("--json", showOptions->json, "Print every field as JSON");
  showCommand->add_flag("-v,--verbose", showOptions->verbose,
                        "Show the library's diagnostic lines");
  showCommand->callback([showOptions] { show(*showOptions); });

  auto csvOptions = std::make_shared<Vcf2CsvOptions>();
  auto* toCsv = contacts->add_subcommand(
      "vcf2csv",
      "Write the contacts of a vCard (or CSV) file as a standard CSV in csv2vcf's own column "
      "names, photos as JPEG files beside OUT");
  toCsv->add_option("FILE", csvOptions->input, "vCard or CSV file ('-': standard input)")
      ->required();
  addReadOptions(toCsv, csvOptions->read);
  toCsv->add_option("-o,--output", csvOptions->output,
                    "CSV file to write (replaced only once complete; default: standard output)");
  toCsv->add_flag("-v,--verbose", csvOptions->verbose, "Show the library's diagnostic lines");
  toCsv->footer("Example:\n  xrf contacts vcf2csv phone.vcf -o contacts.csv");
  toCsv->callback([csvOptions] { vcf2csv(*csvOptions); });
});

}  // namespace
