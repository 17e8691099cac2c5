// Throughput of the text readers over generated files, beside the plain alternatives measured
// in the same run: std::getline on an std::ifstream and a read(2)+memchr loop for lines,
// libcsv for CSV. The files are made once under the temporary directory and kept there.
// BM_PeakRss reads a 1 GiB file line by line and reports the process's peak resident memory;
// it runs first, before any other benchmark has raised the high-water mark.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>
#if __has_include(<sys/resource.h>)
#include <sys/resource.h>  // getrusage for the peak memory, where the system has it
#endif

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#if XRF_BENCH_PEERS
#include "bench/libcsv_count.h"
#endif
#include "xrfoundation/input/buffered_input_stream.h"

namespace {

constexpr std::uint64_t kBlockSize = 64 * 1024;
constexpr std::uint64_t kFileSize = 128ull << 20;  // bytes of each throughput file
constexpr std::uint64_t kGiB = 1ull << 30;

// Writes the file once, from pieces that next() appends to a chunk, until it holds size bytes.
std::string generated(const std::string& name, std::uint64_t size,
                      const std::function<void(std::string&)>& next) {
  const auto directory = std::filesystem::temp_directory_path() / "xr_input_bench";
  std::filesystem::create_directories(directory);
  const std::string path = (directory / name).string();
  std::error_code error;
  if (std::filesystem::file_size(path, error) >= size && !error) return path;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  std::string chunk;
  for (std::uint64_t written = 0; written < size;) {
    chunk.clear();
    while (chunk.size() < (1 << 20)) next(chunk);
    out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    written += chunk.size();
  }
  return path;
}

// Text lines of 59 characters and a line feed.
std::string linesFile(std::uint64_t size, const char* name) {
  std::uint64_t n = 0;
  return generated(name, size, [&](std::string& chunk) {
    std::string line = "line " + std::to_string(n++) + " ";
    line.resize(59, 'a' + static_cast<char>(n % 26));
    chunk += line;
    chunk += '\n';
  });
}

// Contacts as a phone exports them: CR LF lines, a few properties each, every tenth with a
// photo folded into 75-byte lines.
std::string vcardFile() {
  std::mt19937 random(1);
  std::uint64_t n = 0;
  return generated("contacts.vcf", kFileSize, [&](std::string& chunk) {
    const std::string id = std::to_string(n++);
    chunk += "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Surname" + id + ";Given;;;\r\nFN:Given Surname" + id +
             "\r\nTEL;TYPE=CELL:+49 170 " + std::to_string(random() % 10000000) +
             "\r\nTEL;TYPE=WORK:030 " + std::to_string(random() % 1000000) +
             "\r\nEMAIL;TYPE=INTERNET:given.surname" + id +
             "@example.com\r\nADR;TYPE=HOME:;;Hauptstr. 1;Berlin;;10115;Germany\r\n"
             "NOTE:met at the conference 2023\\, call back\r\n";
    if (n % 10 == 0) {
      chunk += "PHOTO;ENCODING=b;TYPE=JPEG:";
      for (int i = 0; i < 40; ++i) chunk += std::string(74, 'A' + i % 26) + "\r\n ";
      chunk += "AAAA\r\n";
    }
    chunk += "END:VCARD\r\n";
  });
}

// A contacts export: a header, then rows with a quoted field now and then.
std::string csvFile() {
  std::uint64_t n = 0;
  return generated("contacts.csv", kFileSize, [&](std::string& chunk) {
    if (n == 0) chunk += "Name,Phone,Email,City,Note\n";
    const std::string id = std::to_string(n++);
    chunk += "Given " + id + ",+4917" + id + ",g" + id + "@example.com," +
             (n % 4 == 0 ? "\"Berlin, Mitte\"" : "Hamburg") + ",note\n";
  });
}

void reportBytes(benchmark::State& state, std::uint64_t bytesPerIteration) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytesPerIteration));
}

std::uint64_t fileSize(const std::string& path) { return std::filesystem::file_size(path); }

#if __has_include(<sys/resource.h>)
void BM_PeakRss(benchmark::State& state) {
  const std::string path = linesFile(kGiB, "lines-1GiB.txt");
  std::uint64_t lines = 0;
  for (auto _ : state) {
    xr::XRBufferedInputStream reader(xr::makeFileInputStream(path), kBlockSize);
    reader.open();
    while (auto line = reader.readLine()) lines += line->size() > 0;
  }
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  state.counters["peak_rss_MiB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;  // KiB
  state.counters["lines"] = static_cast<double>(lines);
  reportBytes(state, fileSize(path));
}
BENCHMARK(BM_PeakRss)->Iterations(1)->Unit(benchmark::kMillisecond);
#endif

void BM_ReadLine(benchmark::State& state) {
  const std::string path = linesFile(kFileSize, "lines.txt");
  for (auto _ : state) {
    xr::XRBufferedInputStream reader(xr::makeFileInputStream(path), kBlockSize);
    reader.open();
    std::uint64_t lines = 0;
    while (auto line = reader.readLine()) lines += line->back() == '\n';
    benchmark::DoNotOptimize(lines);
  }
  reportBytes(state, fileSize(path));
}
BENCHMARK(BM_ReadLine)->Unit(benchmark::kMillisecond);

void BM_StdGetline(benchmark::State& state) {
  const std::string path = linesFile(kFileSize, "lines.txt");
  for (auto _ : state) {
    std::ifstream in(path, std::ios::binary);
    std::string line;
    std::uint64_t lines = 0;
    while (std::getline(in, line)) lines += !line.empty();
    benchmark::DoNotOptimize(lines);
  }
  reportBytes(state, fileSize(path));
}
BENCHMARK(BM_StdGetline)->Unit(benchmark::kMillisecond);

// The floor: read(2) into one block and memchr for every line feed, nothing handed out.
void BM_ReadMemchr(benchmark::State& state) {
  const std::string path = linesFile(kFileSize, "lines.txt");
  std::vector<char> block(kBlockSize);
  for (auto _ : state) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    std::uint64_t lines = 0;
    for (ssize_t n; (n = ::read(fd, block.data(), block.size())) > 0;) {
      const char* end = block.data() + n;
      for (const char* p = block.data();
           (p = static_cast<const char*>(std::memchr(p, '\n', end - p))) != nullptr; ++p) {
        ++lines;
      }
    }
    ::close(fd);
    benchmark::DoNotOptimize(lines);
  }
  reportBytes(state, fileSize(path));
}
BENCHMARK(BM_ReadMemchr)->Unit(benchmark::kMillisecond);

void BM_ReadVCardData(benchmark::State& state) {
  const std::string path = vcardFile();
  std::uint64_t records = 0;
  for (auto _ : state) {
    xr::XRBufferedInputStream reader(xr::makeFileInputStream(path), kBlockSize);
    reader.open();
    while (auto record = reader.readVCardData()) records += record->size() > 0;
  }
  state.counters["records/s"] =
      benchmark::Counter(static_cast<double>(records), benchmark::Counter::kIsRate);
  reportBytes(state, fileSize(path));
}
BENCHMARK(BM_ReadVCardData)->Unit(benchmark::kMillisecond);

#if XRF_BENCH_PEERS
// libcsv as a caller would use it; the count runs on over all passes.
void BM_LibCsv(benchmark::State& state) {
  const std::string path = csvFile();
  std::vector<char> block(kBlockSize);
  LibCsvCount count;
  for (auto _ : state) {
    countWithLibCsv(path, block, count);
  }
  state.counters["rows/s"] =
      benchmark::Counter(static_cast<double>(count.rows), benchmark::Counter::kIsRate);
  reportBytes(state, fileSize(path));
}
BENCHMARK(BM_LibCsv)->Unit(benchmark::kMillisecond);
#endif  // XRF_BENCH_PEERS

// csvReadToken over every whole line, header included.
void BM_CsvReadToken(benchmark::State& state) {
  const std::string path = csvFile();
  std::uint64_t fields = 0;
  for (auto _ : state) {
    xr::XRBufferedInputStream reader(xr::makeFileInputStream(path), kBlockSize);
    reader.open();
    while (auto line = reader.readLine()) {
      std::int32_t position = 0;
      while (auto field = reader.csvReadToken(*line, position)) fields += field->size() > 0;
    }
  }
  benchmark::DoNotOptimize(fields);
  reportBytes(state, fileSize(path));
}
BENCHMARK(BM_CsvReadToken)->Unit(benchmark::kMillisecond);

// The same through the form that fills one string again and again, as std::getline does.
void BM_CsvReadTokenInto(benchmark::State& state) {
  const std::string path = csvFile();
  std::uint64_t fields = 0;
  std::string field;
  for (auto _ : state) {
    xr::XRBufferedInputStream reader(xr::makeFileInputStream(path), kBlockSize);
    reader.open();
    while (auto line = reader.readLine()) {
      std::int32_t position = 0;
      while (reader.csvReadToken(*line, position, field)) fields += !field.empty();
    }
  }
  benchmark::DoNotOptimize(fields);
  reportBytes(state, fileSize(path));
}
BENCHMARK(BM_CsvReadTokenInto)->Unit(benchmark::kMillisecond);

void BM_CsvReadData(benchmark::State& state) {
  const std::string path = csvFile();
  std::uint64_t rows = 0;
  for (auto _ : state) {
    xr::XRBufferedInputStream reader(xr::makeFileInputStream(path), kBlockSize);
    reader.open();
    reader.csvReadHeader();
    while (auto row = reader.csvReadData()) rows += !row->empty();
  }
  state.counters["rows/s"] =
      benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kIsRate);
  reportBytes(state, fileSize(path));
}
BENCHMARK(BM_CsvReadData)->Unit(benchmark::kMillisecond);

}  // namespace
