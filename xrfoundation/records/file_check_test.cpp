#include "xrfoundation/records/file_check.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <utility>

namespace xr {
namespace {

namespace fs = std::filesystem;

// A fresh directory with one entry of each kind, removed afterwards.
class FileCheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::remove_all(root_);
    fs::create_directories(root_ / "dir");
    std::ofstream(root_ / "file.txt") << "x";
    std::ofstream(root_ / "dir" / "inner") << "x";
    // MinGW's std::filesystem makes no symbolic links (Windows needs a privilege for them).
    std::error_code noLinks;
    fs::create_symlink(root_ / "file.txt", root_ / "link", noLinks);
    fs::create_symlink(root_ / "missing", root_ / "dangling", noLinks);
    links_ = !noLinks;
  }
  void TearDown() override {
    fs::permissions(root_ / "dir", fs::perms::owner_all, error_);
    fs::remove_all(root_, error_);
  }
  std::string path(const char* name) const { return (root_ / name).string(); }

  const fs::path root_ = fs::temp_directory_path() / ("xr_file_check_" + std::to_string(getpid()));
  std::error_code error_;
  bool links_ = false;  // whether the symbolic links were made
};

TEST_F(FileCheckTest, AnswersForEachKindOfPath) {
  const std::pair<std::string, bool> rows[] = {
      {path("dir"), true},
      {path("file.txt/below"), false},
      {"", false},
      // The system would stop reading at the NUL and answer for the directory.
      {path("dir") + std::string("\0/missing", 9), false},
  };
  for (const auto& [path, exists] : rows) EXPECT_EQ(fileExistAtPath(path), exists) << path;
}

TEST_F(FileCheckTest, SymbolicLinkCountsByWhatItPointsTo) {
  if (!links_) GTEST_SKIP() << "no symbolic links here (MinGW's std::filesystem on Windows)";
  EXPECT_TRUE(fileExistAtPath(path("link")));
  EXPECT_FALSE(fileExistAtPath(path("dangling")));
}

TEST_F(FileCheckTest, UnsearchableDirectoryGivesFalse) {
  fs::permissions(root_ / "dir", fs::perms::none);
  if (fs::exists(root_ / "dir" / "inner", error_))
    GTEST_SKIP()
        << "the directory can be searched anyway (run as root, or no POSIX permissions: Windows)";
  ASSERT_TRUE(error_) << "examining the path must fail for the check to mean something";
  EXPECT_FALSE(fileExistAtPath(path("dir/inner")));
  EXPECT_TRUE(fileExistAtPath(path("dir"))) << "the directory itself is still there";
}

}  // namespace
}  // namespace xr
