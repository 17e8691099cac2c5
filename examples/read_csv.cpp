// examples/read_csv.cpp: reads a CSV file row by row, each row keyed by the header's titles.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "xrfoundation/input/buffered_input_stream.h"
#include "xrfoundation/platform/input_stream.h"

int main() {
  const auto path = std::filesystem::temp_directory_path() / "xrf_example_contacts.csv";
  std::ofstream(path) << "Name,Phone\nAnn Lee,+44 20 7946 0000\n\"Lee, Bo\",020 7946 0001\n";

  // [csv]
  xr::XRBufferedInputStream reader(xr::makeFileInputStream(path.string()), 64 * 1024);
  reader.open();
  reader.csvReadHeader();  // the first line gives the titles
  std::vector<std::string> names;
  while (auto row = reader.csvReadData()) {  // none at the end of the file
    // This reader cuts a line at separators only, as the device's files expect: the last
    // column's title and values keep the line's end ("Phone\n", "Phone\r\n" in CR LF text).
    // StandardCsvReader and ContactCsvReader read address-book CSV without that.
    std::string name(row->value("Name").value_or(""));
    std::string phone(row->value("Phone\n").value_or(""));
    std::printf("%s: %s", name.c_str(), phone.c_str());
    names.push_back(name);
  }
  reader.close();
  // [csv]
  std::filesystem::remove(path);

  if (names != std::vector<std::string>{"Ann Lee", "Lee, Bo"}) {
    std::fprintf(stderr, "read_csv: unexpected rows\n");
    return 1;
  }
  return 0;
}
