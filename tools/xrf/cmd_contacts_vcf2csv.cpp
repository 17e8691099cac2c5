// xrf contacts vcf2csv FILE [-o OUT.csv]: the contacts of a vCard (or CSV) file as a standard CSV
// in csv2vcf's own column names, photos as JPEG files beside OUT.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "command.h"
#include "contact_jobs.h"
#include "contact_reading.h"
#include "contacts_commands.h"
#include "pending_output.h"
#include "xrfoundation/contacts/contact_csv_columns.h"
#include "xrfoundation/platform/file_system.h"

namespace xrf {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kCsvBlockBytes = 1 << 16;  // CSV text gathered before it is written

struct Vcf2CsvOptions {
  std::string input;
  std::string output;  // "" or "-": standard output
  bool verbose = false;
  ReadOptions read;
};

void vcf2csv(const Vcf2CsvOptions& options) {
  setLibraryLogging(options.verbose);
  // Two passes over the file, so that no more than one contact is held at a time: the first
  // counts the columns each family needs, the second writes the rows under them.
  ContactFileImport input;
  if (!openImport(input, options.input, options.read, true)) return failOpen(input);
  xr::ContactCsvItemCounts counts;
  xr::ContactInfo contact;
  ContactFileImport::Next next;
  std::size_t contacts = 0;
  while ((next = input.next(contact)) == ContactFileImport::Next::Contact) {
    counts.include(contact);
    ++contacts;
  }
  if (next == ContactFileImport::Next::Error) return fail(input.error());
  if (contacts == 0) return fail(input.noRecordsError());
  if (!input.rewind()) return fail(input.error());

  std::optional<fs::path> target;
  if (!options.output.empty() && options.output != "-") target = xr::pathFromUtf8(options.output);
  // Photos go to files beside OUT, named in the Photo column relative to OUT's folder, as
  // csv2vcf reads them; with standard output there is no folder to put them in.
  const fs::path photoFolderName =
      target ? xr::pathFromUtf8(xr::pathToUtf8(target->filename()) + ".photos") : fs::path();
  const fs::path photoFolder = target ? target->parent_path() / photoFolderName : fs::path();
  PendingOutput output;
  std::string error;
  const auto writeFailed = [&] { fail(error.empty() ? "cannot write " + output.name() : error); };
  if (!output.create(target, error)) return writeFailed();
  std::string csv;
  xr::appendCsvRecord(csv, xr::contactCsvTitles(counts));
  std::size_t lostContacts = 0;
  std::size_t photosSkipped = 0;
  std::vector<std::string> lostExamples;
  std::size_t n = 0;
  while ((next = input.next(contact)) == ContactFileImport::Next::Contact) {
    std::string photoFile;
    if (contact.icon && target) {
      std::error_code createError;
      fs::create_directories(photoFolder, createError);
      const std::string name = std::to_string(n + 1) + ".jpg";
      const auto& jpeg = contact.icon->jpegRepresentation();
      std::ofstream file(photoFolder / name, std::ios::binary);
      file.write(reinterpret_cast<const char*>(jpeg.data()),
                 static_cast<std::streamsize>(jpeg.size()));
      if (!file) return fail("cannot write " + xr::pathToUtf8(photoFolder / name));
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
  if (next == ContactFileImport::Next::Error) return fail(input.error());
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
  setExitCode(0);
}

}  // namespace

void addVcf2CsvCommand(CLI::App& contacts) {
  auto options = std::make_shared<Vcf2CsvOptions>();
  auto* toCsv = contacts.add_subcommand(
      "vcf2csv",
      "Write the contacts of a vCard (or CSV) file as a standard CSV in csv2vcf's own column "
      "names, photos as JPEG files beside OUT");
  toCsv->add_option("FILE", options->input, "vCard or CSV file ('-': standard input)")->required();
  addReadOptions(toCsv, options->read);
  toCsv->add_option("-o,--output", options->output,
                    "CSV file to write (replaced only once complete; default: standard output)");
  toCsv->add_flag("-v,--verbose", options->verbose, "Show the library's diagnostic lines");
  toCsv->footer("Example:\n  xrf contacts vcf2csv phone.vcf -o contacts.csv");
  toCsv->callback([options] { vcf2csv(*options); });
}

}  // namespace xrf
