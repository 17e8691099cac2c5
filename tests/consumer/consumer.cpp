// A program that uses XRFoundation as an application does, built against an installed copy
// (CMake package or pkg-config) or a source tree added with add_subdirectory. It fails when
// the headers and the library it links disagree or a public function does not work.
#include <cstdint>
#include <cstdio>
#include <string>

#include "xrfoundation/phone/phone_number.h"
#include "xrfoundation/platform/input_stream.h"
#include "xrfoundation/version.h"

int main() {
  if (xr::versionString() != XRF_VERSION_STRING) {
    std::fprintf(stderr, "consumer: headers of %s, library of %s\n", XRF_VERSION_STRING,
                 xr::versionString().c_str());
    return 1;
  }
  if (!xr::compareStrict("650-253-0000", "+1 650-253-0000") ||
      xr::compareStrict("090-1234-5678", "90-1234-5678")) {
    std::fprintf(stderr, "consumer: the number comparison went wrong\n");
    return 1;
  }
  auto stream = xr::makeDataInputStream("BEGIN:VCARD");
  stream->open();
  std::uint8_t buffer[32];
  const auto got = stream->read(buffer, sizeof buffer);
  if (got != 11 || std::string(buffer, buffer + got) != "BEGIN:VCARD") {
    std::fprintf(stderr, "consumer: the data stream read %lld bytes\n",
                 static_cast<long long>(got));
    return 1;
  }
  std::printf("consumer of XRFoundation %s: ok\n", xr::versionString().c_str());
  return 0;
}
