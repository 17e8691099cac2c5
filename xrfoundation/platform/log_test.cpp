#include "xrfoundation/platform/log.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "xrfoundation/platform/log_internal.h"
#include "xrfoundation/platform/testing/log_capture.h"

namespace xr {
namespace {

struct Line {
  LogLevel level;
  std::string logger;
  std::string text;
  bool operator==(const Line&) const = default;
};

// A handler that keeps what it receives; shared so that it outlives a late delivery.
struct Recorder {
  std::mutex mutex;
  std::vector<Line> lines;  // guarded by mutex
  LogHandler handler() {
    return [this](LogLevel level, std::string_view logger, std::string_view text) {
      std::lock_guard lock(mutex);
      lines.push_back({level, std::string(logger), std::string(text)});
    };
  }
  std::vector<Line> taken() {
    std::lock_guard lock(mutex);
    return lines;
  }
};

// Each test starts from the process defaults and leaves them behind.
class LogTest : public ::testing::Test {
 protected:
  void TearDown() override {
    setLogHandler(nullptr);
    setLogLevel(LogLevel::Warn);
  }
  Recorder recorder_;
};

void writeOneOfEach() {
  consoleLog().debug("vcard: {}", "VCardName");
  consoleLog().info("(+)AsyncTask number({}), task left count:{}", 7, 1);
  consoleLog().warn("Warning: possible error in following line\n{}\n", "1,2,3");
  XR_LOG_WARN("[self isCancelled] || [self cancelState]");
  XR_LOG_ERROR("Task failed:errDescription = {}", "D");
}

TEST_F(LogTest, LevelChoosesWhatReachesTheHandlerAndACaptureSeesAll) {
  EXPECT_EQ(logLevel(), LogLevel::Warn) << "the default";
  setLogHandler(recorder_.handler());
  {
    // Sees every line and passes on what was visible before; gives back handler and level.
    testing::LogCapture capture;
    writeOneOfEach();
    EXPECT_EQ(capture.lines().size(), 5u);
  }
  EXPECT_EQ(logLevel(), LogLevel::Warn);
  const std::vector<Line> visible = {
      {LogLevel::Warn, "console", "Warning: possible error in following line\n1,2,3\n"},
      {LogLevel::Warn, "XRLog", "[self isCancelled] || [self cancelState]"},
      {LogLevel::Error, "XRLog", "Task failed:errDescription = D"}};
  EXPECT_EQ(recorder_.taken(), visible);

  setLogLevel(LogLevel::Info);
  writeOneOfEach();
  ASSERT_EQ(recorder_.taken().size(), 7u);
  EXPECT_EQ(recorder_.taken()[3],
            (Line{LogLevel::Info, "console", "(+)AsyncTask number(7), task left count:1"}));
  setLogLevel(LogLevel::Error);
  writeOneOfEach();
  ASSERT_EQ(recorder_.taken().size(), 8u);
  EXPECT_EQ(recorder_.taken()[7].level, LogLevel::Error);
  setLogLevel(LogLevel::Off);
  writeOneOfEach();
  EXPECT_EQ(recorder_.taken().size(), 8u);
}

TEST_F(LogTest, EmptyHandlerRestoresStandardErrorAndTheReplacedOneIsReturned) {
  EXPECT_FALSE(setLogHandler(recorder_.handler())) << "the default output is no handler";
  LogHandler previous = setLogHandler(nullptr);
  ASSERT_TRUE(previous);

  ::testing::internal::CaptureStderr();
  XR_LOG_ERROR("NSXMLElement* stringToElement(el == nil)");
  consoleLog().info("below the threshold");
  const std::string standardError = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(standardError.find("NSXMLElement* stringToElement(el == nil)"), std::string::npos);
  EXPECT_NE(standardError.find("XRLog"), std::string::npos) << standardError;
  EXPECT_EQ(standardError.find("below the threshold"), std::string::npos);
  EXPECT_TRUE(recorder_.taken().empty()) << "the replaced handler is no longer called";
}

TEST_F(LogTest, ThrowingHandlerDoesNotReachTheCaller) {
  setLogHandler([](LogLevel, std::string_view, std::string_view) {
    throw std::runtime_error("application logger failed");
  });
  EXPECT_NO_THROW(XR_LOG_ERROR("Task failed:errDescription = {}", "D"));
}

TEST_F(LogTest, HandlerMayLogAndReplaceItselfWithoutDeadlock) {
  auto recorder = std::make_shared<Recorder>();
  setLogHandler([recorder](LogLevel, std::string_view, std::string_view text) {
    setLogHandler(recorder->handler());
    consoleLog().error("re-entered after {}", text);
  });
  consoleLog().error("first");
  ASSERT_EQ(recorder->taken().size(), 1u);
  EXPECT_EQ(recorder->taken()[0].text, "re-entered after first");
}

// Lines written while another thread swaps handlers reach exactly one of them, once.
TEST_F(LogTest, HandlerCanBeReplacedWhileOtherThreadsLog) {
  constexpr int kWriters = 3, kLinesEach = 2000;
  auto first = std::make_shared<std::atomic<int>>(0);
  auto second = std::make_shared<std::atomic<int>>(0);
  auto counting = [](std::shared_ptr<std::atomic<int>> count) {
    return LogHandler([count](LogLevel, std::string_view, std::string_view) { ++*count; });
  };
  setLogHandler(counting(first));
  std::atomic<bool> writing{true};
  std::thread swapper([&] {
    for (int i = 0; writing; ++i) setLogHandler(counting(i % 2 ? first : second));
  });
  std::vector<std::thread> writers;
  for (int w = 0; w < kWriters; ++w)
    writers.emplace_back([w] {
      for (int i = 0; i < kLinesEach; ++i) consoleLog().warn("writer {} line {}", w, i);
    });
  for (auto& writer : writers) writer.join();
  writing = false;
  swapper.join();
  EXPECT_EQ(*first + *second, kWriters * kLinesEach);
}

}  // namespace
}  // namespace xr
