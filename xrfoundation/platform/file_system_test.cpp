#include "xrfoundation/platform/file_system.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace xr {
namespace {

TEST(RunningProgramPathTest, NamesThisTestProgram) {
  const auto path = runningProgramPath();
  ASSERT_TRUE(path.has_value());
  const std::filesystem::path program(*path);
  EXPECT_TRUE(program.is_absolute());
  EXPECT_EQ(program.filename(), "file_system_test");
  EXPECT_TRUE(pathExists(*path));
}

}  // namespace
}  // namespace xr
