#include "xrfoundation/records/device_file_info.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "xrfoundation/platform/testing/latch.h"

namespace xr {
namespace {

// The texts are the only fields that are not a single machine word: a reader on another thread
// must get the old or the new text whole, never a mix (ASan/TSan also watch the accesses).
TEST(DeviceFileInfoTest, ReadersOnOtherThreadsSeeWholeTexts) {
  DeviceFileInfo info;
  const std::string shortPath = "/a", longPath(200, 'p');
  testing::Latch start(2);
  std::thread writer([&] {  // not std::jthread, which libc++ 14 lacks
    start.arrive_and_wait();
    for (int i = 0; i < 2000; ++i) info.setFilePath(i % 2 ? shortPath : longPath);
  });
  int torn = 0;
  start.arrive_and_wait();
  for (int i = 0; i < 2000; ++i) {
    auto path = info.filePath();
    torn += path && *path != shortPath && *path != longPath;
  }
  writer.join();
  EXPECT_EQ(torn, 0);
}

}  // namespace
}  // namespace xr
