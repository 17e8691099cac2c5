// bench/libcsv_count.h: libcsv as a caller would use it, shared by the benchmarks that measure
// a CSV reader beside it: the file in blocks, a callback per field and per row.
#pragma once

#include <csv.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

// What one pass of libcsv over a file saw.
struct LibCsvCount {
  std::uint64_t fields = 0;      // fields handed to the field callback
  std::uint64_t fieldBytes = 0;  // bytes of those fields, quotes undone
  std::uint64_t rows = 0;        // rows handed to the row callback
};

// Parses the file at path with libcsv, reading it in blocks of block.size() bytes, and adds
// what it saw to count.
inline void countWithLibCsv(const std::string& path, std::vector<char>& block, LibCsvCount& count) {
  csv_parser parser;
  csv_init(&parser, 0);
  const int fd = ::open(path.c_str(), O_RDONLY);
  const auto onField = [](void*, size_t length, void* data) {
    auto* c = static_cast<LibCsvCount*>(data);
    ++c->fields;
    c->fieldBytes += length;
  };
  const auto onRow = [](int, void* data) { ++static_cast<LibCsvCount*>(data)->rows; };
  for (ssize_t n; (n = ::read(fd, block.data(), block.size())) > 0;) {
    csv_parse(&parser, block.data(), static_cast<size_t>(n), onField, onRow, &count);
  }
  csv_fini(&parser, onField, onRow, &count);
  csv_free(&parser);
  ::close(fd);
}
