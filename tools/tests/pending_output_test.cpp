// A conversion's output reaches OUT only when committed: until then OUT keeps what it held and
// the records wait in a temporary file beside it, which a discard removes.
#include "pending_output.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace xrf {
namespace {

namespace fs = std::filesystem;

std::string contentOf(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), {}};
}

// The names in folder, sorted.
std::vector<std::string> namesIn(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

class PendingOutputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }

  // A folder of each case's own: ctest runs the cases side by side.
  const fs::path folder_ =
      fs::temp_directory_path() / (std::string("xrf_pending_output_") +
                                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
  const fs::path out_ = folder_ / "out.vcf";
};

TEST_F(PendingOutputTest, OutAppearsWholeOnlyOnCommit) {
  for (const bool existed : {false, true}) {
    if (existed) std::ofstream(out_, std::ios::binary) << "old";
    std::string error;
    PendingOutput output;
    ASSERT_TRUE(output.create(out_, error)) << error;
    ASSERT_TRUE(output.write("BEGIN:VCARD\r\n"));
    ASSERT_TRUE(output.write("END:VCARD\r\n"));
    const std::vector<std::string> names = namesIn(folder_);
    ASSERT_EQ(names.size(), existed ? 2u : 1u);
    const std::string temporary = names[0];  // ".out.vcf.xrf-XXXXXXXX.tmp" sorts first
    EXPECT_EQ(temporary.rfind(".out.vcf.xrf-", 0), 0u) << temporary;
    EXPECT_EQ(temporary.size(), std::string(".out.vcf.xrf-12345678.tmp").size()) << temporary;
    if (existed) {
      EXPECT_EQ(contentOf(out_), "old") << "OUT is left alone until the commit";
    }

    ASSERT_TRUE(output.commit(error)) << error;
    EXPECT_EQ(contentOf(out_), "BEGIN:VCARD\r\nEND:VCARD\r\n");
    EXPECT_EQ(namesIn(folder_), std::vector<std::string>{"out.vcf"}) << "no temporary file left";
    EXPECT_EQ(output.name(), out_.string());
  }
}

TEST_F(PendingOutputTest, DiscardOrDestructionLeavesOutAsItWas) {
  std::ofstream(out_, std::ios::binary) << "old";
  for (const bool explicitly : {true, false}) {
    {
      std::string error;
      PendingOutput output;
      ASSERT_TRUE(output.create(out_, error)) << error;
      ASSERT_TRUE(output.write("partial"));
      if (explicitly) output.discard();
    }
    EXPECT_EQ(contentOf(out_), "old");
    EXPECT_EQ(namesIn(folder_), std::vector<std::string>{"out.vcf"});
  }
}

TEST_F(PendingOutputTest, TargetThatCannotBeWrittenIsRefusedAtOnce) {
  struct Row {
    fs::path target;
    std::string error;  // the message's start
  };
  const Row rows[] = {
      {folder_, folder_.string() + " is a directory"},
      {folder_ / "missing" / "out.vcf",
       "cannot create a file in " + (folder_ / "missing").string() + ": "},
  };
  for (const Row& row : rows) {
    std::string error;
    PendingOutput output;
    EXPECT_FALSE(output.create(row.target, error)) << row.target;
    EXPECT_EQ(error.substr(0, row.error.size()), row.error);
  }
  EXPECT_TRUE(namesIn(folder_).empty());
}

TEST_F(PendingOutputTest, StandardOutputGetsTheBytesOnCommit) {
  std::string error;
  PendingOutput output;
  ASSERT_TRUE(output.create(std::nullopt, error)) << error;
  EXPECT_EQ(output.name(), "standard output");
  testing::internal::CaptureStdout();
  ASSERT_TRUE(output.write(std::string("a\nb\0c", 5)));
  const std::string beforeCommit = testing::internal::GetCapturedStdout();
  EXPECT_EQ(beforeCommit, "") << "nothing is printed before the commit";
  testing::internal::CaptureStdout();
  EXPECT_TRUE(output.commit(error)) << error;
  EXPECT_EQ(testing::internal::GetCapturedStdout(), std::string("a\nb\0c", 5));
}

#ifndef _WIN32
TEST_F(PendingOutputTest, DeviceIsWrittenInPlace) {
  std::string error;
  PendingOutput output;
  ASSERT_TRUE(output.create(fs::path("/dev/null"), error)) << error;
  ASSERT_TRUE(output.write("gone"));
  ASSERT_TRUE(output.commit(error)) << error;
  EXPECT_TRUE(fs::is_character_file("/dev/null")) << "not replaced by a file";
}
#endif

}  // namespace
}  // namespace xrf
