// Device messages shared by the benchmarks that read them (device_bench, xml_bench).
#pragma once
#include <string>

// A directory listing reply of n files: the largest kind of message the device sends often.
inline std::string listingReply(int files) {
  std::string text = R"(<iq id="42" type="result"><response ns="file.list"><files>)";
  for (int i = 0; i < files; ++i) {
    text += "<file name=\"IMG_" + std::to_string(i) + ".jpg\" size=\"123456\">/sdcard/DCIM/IMG_" +
            std::to_string(i) + ".jpg</file>";
  }
  return text + "</files></response></iq>";
}
