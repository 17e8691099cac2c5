#include "xrfoundation/records/device_file_info.h"

#include <gtest/gtest.h>

#include <latch>
#include <string>
#include <thread>

namespace xr {
namespace {

TEST(DeviceFileInfoTest, NewRecordIsEmpty) {
  DeviceFileInfo info;
  const IDeviceFileInfo& view = info;
  EXPECT_EQ(view.fileName(), std::nullopt);
  EXPECT_EQ(view.filePath(), std::nullopt);
  EXPECT_EQ(view.fileSize(), 0);
  EXPECT_EQ(view.fileAttributes(), 0);
  EXPECT_FALSE(view.isFolder());
  EXPECT_FALSE(info.isExists());
  EXPECT_EQ(view.creationTime(), std::nullopt);
  EXPECT_EQ(view.lastWriteTime(), std::nullopt);
}

TEST(DeviceFileInfoTest, KeepsItsOwnCopyOfTheName) {
  DeviceFileInfo info;
  std::string name = "a.txt";
  info.setFileName(name);
  name[0] = 'b';
  EXPECT_EQ(info.fileName(), "a.txt");
  // An empty name is a name; none is no name.
  info.setFileName("");
  EXPECT_EQ(info.fileName(), "");
}

TEST(DeviceFileInfoTest, ReadersOnOtherThreadsSeeWholeTexts) {
  DeviceFileInfo info;
  const std::string shortPath = "/a";
  const std::string longPath(200, 'p');
  constexpr int kRounds = 2000;
  std::latch start(2);
  std::thread writer([&] {
    start.arrive_and_wait();
    for (int i = 0; i < kRounds; ++i) info.setFilePath(i % 2 ? shortPath : longPath);
  });
  int torn = 0;
  start.arrive_and_wait();
  for (int i = 0; i < kRounds; ++i) {
    auto path = info.filePath();
    torn += path && *path != shortPath && *path != longPath;
  }
  writer.join();
  EXPECT_EQ(torn, 0);
}

}  // namespace
}  // namespace xr
