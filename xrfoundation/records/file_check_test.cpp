#include "xrfoundation/records/file_check.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace xr {
namespace {

namespace fs = std::filesystem;

class FileCheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() /
            ("xr_file_check_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
    fs::create_directories(root_ / "dir");
    std::ofstream(root_ / "file.txt") << "x";
    fs::create_symlink(root_ / "file.txt", root_ / "link");
    fs::create_symlink(root_ / "missing", root_ / "dangling");
  }
  void TearDown() override {
    std::error_code ignored;
    fs::permissions(root_ / "dir", fs::perms::owner_all, ignored);
    fs::remove_all(root_, ignored);
  }
  std::string path(const char* name) const { return (root_ / name).string(); }

  fs::path root_;
};

TEST_F(FileCheckTest, AnswersForEachKindOfPath) {
  struct Row {
    std::string path;
    bool exists;
  };
  const Row rows[] = {
      {path("dir"), true},
      {path("file.txt"), true},
      {path("link"), true},
      {path("dangling"), false},
      {path("missing"), false},
      {path("missing/deeper"), false},
      {path("file.txt/below"), false},  // a file on the way
      {"", false},
  };
  for (const Row& row : rows) EXPECT_EQ(fileExistAtPath(row.path), row.exists) << row.path;
}

TEST_F(FileCheckTest, UnsearchableDirectoryGivesFalse) {
  std::ofstream(root_ / "dir" / "inner") << "x";
  fs::permissions(root_ / "dir", fs::perms::none);
  std::error_code error;
  if (fs::exists(root_ / "dir" / "inner", error)) GTEST_SKIP() << "may search it anyway (root)";
  ASSERT_TRUE(error) << "examining the path must fail for the check to mean something";
  EXPECT_FALSE(fileExistAtPath(path("dir/inner")));
  EXPECT_TRUE(fileExistAtPath(path("dir"))) << "the directory itself is still there";
}

}  // namespace
}  // namespace xr
