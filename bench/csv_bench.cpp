// bench/csv_bench.cpp: standard CSV read by StandardCsvReader beside libcsv on the same file in
// the same run, and the contacts CSV import end to end (rows to contacts to vCard records
// written to /dev/null), the library path under `xrf contacts csv2vcf`.
//
// The files are made once under the temporary directory and kept there: an address-book
// export with CR LF line ends, every field quoted as spreadsheets write it, and now and then a
// note with doubled quotes and a line break.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#if XRF_BENCH_PEERS
#include "bench/libcsv_count.h"
#endif
#include "xrfoundation/contacts/contact_csv.h"
#include "xrfoundation/contacts/vcard_info.h"
#include "xrfoundation/input/csv_standard_reader.h"

namespace {

constexpr std::size_t kBlockSize = 256 * 1024;  // bytes per read, for both parsers
constexpr std::uint64_t kRows = 400'000;        // data rows of each file

std::string generated(const std::string& name, const std::function<void(std::string&)>& header,
                      const std::function<void(std::string&, std::uint64_t)>& row) {
  const auto directory = std::filesystem::temp_directory_path() / "xr_csv_bench";
  std::filesystem::create_directories(directory);
  const std::string path = (directory / name).string();
  std::error_code error;
  if (std::filesystem::exists(path, error)) return path;
  std::ofstream out(path + ".part", std::ios::binary | std::ios::trunc);
  std::string chunk;
  header(chunk);
  for (std::uint64_t n = 0; n < kRows; ++n) {
    row(chunk, n);
    if (chunk.size() > (1 << 20)) {
      out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
      chunk.clear();
    }
  }
  out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
  out.close();
  std::filesystem::rename(path + ".part", path);
  return path;
}

// Rows a second, and bytes a second when the rows were read from the file at path.
void reportRows(benchmark::State& state, std::uint64_t rows, const std::string& path = {}) {
  state.counters["rows/s"] =
      benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kIsRate);
  if (!path.empty())
    state.SetBytesProcessed(
        static_cast<std::int64_t>(state.iterations() * std::filesystem::file_size(path)));
}

// The desktop mail program's export: a byte order mark, quoted titles and fields, CR LF.
std::string contactsFile() {
  return generated(
      "contacts.csv",
      [](std::string& out) {
        out +=
            "\xEF\xBB\xBF\"First Name\",\"Last Name\",\"Mobile Phone\",\"Business Phone\","
            "\"E-mail Address\",\"Company\",\"Home City\",\"Notes\"\r\n";
      },
      [](std::string& out, std::uint64_t n) {
        const std::string id = std::to_string(n);
        out += "\"Given" + id + "\",\"Family" + id + "\",\"+44 7700 9" + id + "\",\"020 7946 " +
               std::to_string(n % 10000) + "\",\"given" + id + "@example.org\",\"Acme" +
               (n % 3 == 0 ? ", Inc" : "") + "\",\"London\",\"" +
               (n % 8 == 0 ? "Met at \"\"DevConf\"\", 2019\r\ncall back" : "customer") + "\"\r\n";
      });
}

#if XRF_BENCH_PEERS
// libcsv as a caller would use it, a fresh count each pass.
void BM_StandardCsv_LibCsv(benchmark::State& state) {
  const std::string path = contactsFile();
  std::vector<char> block(kBlockSize);
  std::uint64_t rows = 0;
  for (auto _ : state) {
    LibCsvCount count;
    countWithLibCsv(path, block, count);
    benchmark::DoNotOptimize(count.fieldBytes);
    rows += count.rows;
  }
  reportRows(state, rows, path);
}
BENCHMARK(BM_StandardCsv_LibCsv)->Unit(benchmark::kMillisecond);
#endif  // XRF_BENCH_PEERS

// The same file without its byte order mark: plain ASCII, which leaves the encoding open
// until the last block.
std::string unmarkedContactsFile() {
  const auto path = std::filesystem::path(contactsFile()).replace_filename("contacts_unmarked.csv");
  std::error_code error;
  if (std::filesystem::exists(path, error)) return path.string();
  std::ifstream in(contactsFile(), std::ios::binary);
  in.seekg(3);  // past the mark
  std::ofstream out(path.string() + ".part", std::ios::binary | std::ios::trunc);
  out << in.rdbuf();
  out.close();
  std::filesystem::rename(path.string() + ".part", path);
  return path.string();
}

// How the separator and the encoding are learned (the benchmark's argument): found from the
// input or named by the caller, in the file with its byte order mark and in the one without
// (the three bytes less move every record, which alone costs some per cent: compare within a
// file).
enum Learned { kDetected, kGiven, kDetectedUnmarked, kGivenUnmarked };

bool unmarked(const benchmark::State& state) { return state.range(0) >= kDetectedUnmarked; }

void learnedArgs(benchmark::internal::Benchmark* family) {
  family->ArgName("learned")->Unit(benchmark::kMillisecond);
  for (const Learned learned : {kDetected, kGiven, kDetectedUnmarked, kGivenUnmarked}) {
    family->Arg(learned);
  }
}

xr::CsvReadOptions optionsFor(const benchmark::State& state) {
  if (state.range(0) != kGiven && state.range(0) != kGivenUnmarked) return {};
  return {',', "UTF-8"};
}

void BM_StandardCsv_Ours(benchmark::State& state) {
  const std::string path = unmarked(state) ? unmarkedContactsFile() : contactsFile();
  std::uint64_t rows = 0;
  for (auto _ : state) {
    xr::StandardCsvReader reader(xr::makeFileInputStream(path), optionsFor(state), kBlockSize);
    if (!reader.open()) state.SkipWithError(reader.error().c_str());
    std::uint64_t fieldBytes = 0;
    while (const auto* fields = reader.readRecord()) {
      for (const std::string_view field : *fields) fieldBytes += field.size();
      ++rows;
    }
    if (reader.failed()) state.SkipWithError(reader.error().c_str());
    benchmark::DoNotOptimize(fieldBytes);
  }
  reportRows(state, rows, path);
}
BENCHMARK(BM_StandardCsv_Ours)->Apply(learnedArgs);

// The mapping alone: rows to contacts.
void BM_ContactCsvRead(benchmark::State& state) {
  const std::string path = unmarked(state) ? unmarkedContactsFile() : contactsFile();
  const xr::CsvReadOptions options = optionsFor(state);
  std::uint64_t rows = 0;
  for (auto _ : state) {
    xr::ContactCsvReader reader;
    reader.setDelimiter(options.delimiter);
    reader.setEncoding(options.encoding);
    if (!reader.open(xr::makeFileInputStream(path), ".")) {
      state.SkipWithError(reader.errorReason().c_str());
      break;
    }
    xr::ContactInfo contact;
    while (reader.next(contact) == xr::ContactCsvReader::Next::Contact) ++rows;
  }
  reportRows(state, rows);
}
BENCHMARK(BM_ContactCsvRead)->Apply(learnedArgs);

// What `xrf contacts csv2vcf FILE -o /dev/null` does per row, without the tool's task steps:
// read the row, map it to a contact, compose its vCard record and write it.
void BM_ContactCsvToVCard(benchmark::State& state) {
  const std::string path = contactsFile();
  std::FILE* sink = std::fopen("/dev/null", "wb");
  if (!sink) return state.SkipWithError("no /dev/null to write to");
  std::uint64_t rows = 0;
  for (auto _ : state) {
    xr::ContactCsvReader reader;
    if (!reader.open(xr::makeFileInputStream(path), ".")) {
      state.SkipWithError(reader.errorReason().c_str());
      break;
    }
    xr::ContactInfo contact;
    xr::VCardInfo card;
    while (reader.next(contact) == xr::ContactCsvReader::Next::Contact) {
      card.loadFromContactInfo(contact);
      const std::vector<std::uint8_t> bytes = card.toVCardData();
      std::fwrite(bytes.data(), 1, bytes.size(), sink);
      ++rows;
    }
    if (!reader.errorReason().empty()) state.SkipWithError(reader.errorReason().c_str());
  }
  std::fclose(sink);
  reportRows(state, rows);
}
BENCHMARK(BM_ContactCsvToVCard)->Unit(benchmark::kMillisecond);

// Working out a header's layout, language and column places: once per file. The header is a
// German desktop mail program's export (92 titles, many beyond ASCII).
void BM_ContactCsvColumns(benchmark::State& state) {
  const std::vector<std::string> titles = {"Anrede",
                                           "Vorname",
                                           "Weitere Vornamen",
                                           "Nachname",
                                           "Suffix",
                                           "Firma",
                                           "Abteilung",
                                           "Position",
                                           "Straße geschäftlich",
                                           "Straße geschäftlich 2",
                                           "Straße geschäftlich 3",
                                           "Ort geschäftlich",
                                           "Region geschäftlich",
                                           "Postleitzahl geschäftlich",
                                           "Land/Region geschäftlich",
                                           "Straße privat",
                                           "Straße privat 2",
                                           "Straße privat 3",
                                           "Ort privat",
                                           "Bundesland/Kanton privat",
                                           "Postleitzahl privat",
                                           "Land/Region privat",
                                           "Weitere Straße",
                                           "Weitere Straße 2",
                                           "Weitere Straße 3",
                                           "Weiterer Ort",
                                           "Weiteres/r Bundesland/Kanton",
                                           "Weitere Postleitzahl",
                                           "Weiteres/e Land/Region",
                                           "Telefon Assistent",
                                           "Fax geschäftlich",
                                           "Telefon geschäftlich",
                                           "Telefon geschäftlich 2",
                                           "Rückmeldung",
                                           "Autotelefon",
                                           "Telefon Firma",
                                           "Fax privat",
                                           "Telefon privat",
                                           "Telefon privat 2",
                                           "ISDN",
                                           "Mobiltelefon",
                                           "Weiteres Fax",
                                           "Weiteres Telefon",
                                           "Pager",
                                           "Haupttelefon",
                                           "Mobiltelefon 2",
                                           "Telefon für Hörbehinderte",
                                           "Telex",
                                           "Abrechnungsinformation",
                                           "Benutzer 1",
                                           "Benutzer 2",
                                           "Benutzer 3",
                                           "Benutzer 4",
                                           "Beruf",
                                           "Büro",
                                           "E-Mail-Adresse",
                                           "E-Mail-Typ",
                                           "E-Mail: Angezeigter Name",
                                           "E-Mail 2: Adresse",
                                           "E-Mail 2: Typ",
                                           "E-Mail 2: Angezeigter Name",
                                           "E-Mail 3: Adresse",
                                           "E-Mail 3: Typ",
                                           "E-Mail 3: Angezeigter Name",
                                           "Empfohlen von",
                                           "Geburtstag",
                                           "Geschlecht",
                                           "Hobby",
                                           "Initialen",
                                           "Internet-Frei/Gebucht",
                                           "Jahrestag",
                                           "Kategorien",
                                           "Kinder",
                                           "Konto",
                                           "Name Assistent",
                                           "Name des/der Vorgesetzten",
                                           "Notizen",
                                           "Organisationsnr.",
                                           "Ort",
                                           "Partner",
                                           "Postfach geschäftlich",
                                           "Postfach privat",
                                           "Priorität",
                                           "Privat",
                                           "Regierungsnr.",
                                           "Reisekilometer",
                                           "Sprache",
                                           "Stichwörter",
                                           "Vertraulichkeit",
                                           "Verzeichnisserver",
                                           "Webseite",
                                           "Weiteres Postfach"};
  std::size_t unknown = 0;
  for (auto _ : state) {
    const xr::ContactCsvColumns columns(titles);
    unknown += columns.unknown().size();
  }
  benchmark::DoNotOptimize(unknown);
}
BENCHMARK(BM_ContactCsvColumns)->Unit(benchmark::kMicrosecond);

}  // namespace
