// File names are UTF-8 in the library's interface on every system: files under names outside
// any ANSI code page are made, read and replaced; temporary files and the program's own path.
#include "xrfoundation/platform/file_system.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <string>

#include "xrfoundation/platform/input_stream.h"

namespace xr {
namespace {

namespace fs = std::filesystem;

// The whole content of the file at a UTF-8 path, read through the library's file stream.
std::string readThroughStream(const std::string& path) {
  auto stream = makeFileInputStream(path);
  stream->open();
  std::string content;
  std::uint8_t block[64];
  for (std::int64_t n; (n = stream->read(block, sizeof block)) > 0;) {
    content.append(reinterpret_cast<const char*>(block), static_cast<std::size_t>(n));
  }
  EXPECT_EQ(stream->status(), StreamStatus::AtEnd) << stream->streamError().value_or("");
  return content;
}

bool writeNew(const fs::path& path, const std::string& content) {
  std::FILE* file = createNewFile(path);
  if (!file) return false;
  const bool written = std::fwrite(content.data(), 1, content.size(), file) == content.size();
  return std::fclose(file) == 0 && written;
}

TEST(FileSystemTest, MakesReadsAndReplacesFilesUnderUtf8Names) {
  const fs::path folder = fs::temp_directory_path() / "xr_file_system_test";
  fs::remove_all(folder);
  fs::create_directories(folder);
  for (const std::string name :
       {"M\xC3\xBCller J\xC3\xB6rg.vcf", "\xE9\x80\xA3\xE7\xB5\xA1\xE5\x85\x88.csv"}) {
    const std::string path = pathToUtf8(folder) + "/" + name;
    const fs::path target = pathFromUtf8(path);
    EXPECT_EQ(pathToUtf8(target.filename()), name) << "the name survives the round trip";
    ASSERT_TRUE(writeNew(target, "old\r\n")) << name;
    EXPECT_TRUE(pathExists(path));
    EXPECT_EQ(createNewFile(target), nullptr) << "an existing file is not reused";
    EXPECT_EQ(errno, EEXIST);
    EXPECT_EQ(readThroughStream(path), "old\r\n") << "bytes unchanged, CR LF included";

    const fs::path temporary = pathFromUtf8(path + ".tmp");
    ASSERT_TRUE(writeNew(temporary, "new\n"));
    EXPECT_FALSE(replaceFile(temporary, target)) << "an existing target is replaced";
    EXPECT_EQ(readThroughStream(path), "new\n");
    EXPECT_FALSE(fs::exists(temporary));
  }
  EXPECT_TRUE(replaceFile(folder / "missing", folder / "x")) << "a missing source fails";
  fs::remove_all(folder);
}

TEST(FileSystemTest, TemporaryFileHoldsBytesUnchanged) {
  std::FILE* file = createTemporaryFile();
  ASSERT_NE(file, nullptr);
  ASSERT_EQ(std::fwrite("a\nb", 1, 3, file), 3u);
  std::rewind(file);
  char back[4] = {};
  EXPECT_EQ(std::fread(back, 1, sizeof back, file), 3u) << "binary: no newline translation";
  EXPECT_EQ(std::string(back), "a\nb");
  std::fclose(file);
}

TEST(RunningProgramPathTest, NamesThisTestProgram) {
  const auto path = runningProgramPath();
  ASSERT_TRUE(path.has_value());
  const fs::path program = pathFromUtf8(*path);
  EXPECT_TRUE(program.is_absolute());
  EXPECT_EQ(program.stem(), "file_system_test");  // file_system_test.exe on Windows
  EXPECT_TRUE(pathExists(*path));
}

}  // namespace
}  // namespace xr
