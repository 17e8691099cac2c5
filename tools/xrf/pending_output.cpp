// tools/xrf/pending_output.cpp: a conversion's output file, put in place when complete.
#include "pending_output.h"

#include <cerrno>
#include <cstring>
#include <random>
#include <system_error>
#include <utility>

#include "command.h"
#include "xrfoundation/platform/file_system.h"

namespace xrf {

namespace fs = std::filesystem;

bool PendingOutput::create(const std::optional<fs::path>& target, std::string& error) {
  target_ = target;
  if (!target) {
    file_ = xr::createTemporaryFile();
    if (!file_) error = std::string("cannot make a temporary file: ") + std::strerror(errno);
    return file_ != nullptr;
  }
  // A device or a pipe (-o /dev/null, a FIFO) is written in place: a temporary file beside
  // it would be renamed over the device itself.
  std::error_code statusError;
  const fs::file_status status = fs::status(*target, statusError);
  if (!statusError && fs::exists(status) && !fs::is_regular_file(status)) {
    if (fs::is_directory(status)) {
      error = xr::pathToUtf8(*target) + " is a directory";
      return false;
    }
    file_ = std::fopen(xr::pathToUtf8(*target).c_str(), "wb");
    if (!file_) error = "cannot open " + xr::pathToUtf8(*target) + ": " + std::strerror(errno);
    inPlace_ = file_ != nullptr;
    return file_ != nullptr;
  }
  fs::path directory = target->parent_path();
  if (directory.empty()) directory = ".";
  std::random_device random;
  for (int attempt = 0; attempt < kTempNameAttempts; ++attempt) {
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".xrf-%08x.tmp", static_cast<unsigned>(random()));
    const fs::path candidate =
        directory / xr::pathFromUtf8("." + xr::pathToUtf8(target->filename()) + suffix);
    // Fail rather than reuse a file that exists.
    file_ = xr::createNewFile(candidate);
    if (file_) {
      temp_ = candidate;
      return true;
    }
    if (errno != EEXIST) break;
  }
  error = "cannot create a file in " + xr::pathToUtf8(directory) + ": " + std::strerror(errno);
  return false;
}

bool PendingOutput::write(const std::string& bytes) {
  return std::fwrite(bytes.data(), 1, bytes.size(), file_) == bytes.size();
}

bool PendingOutput::commit(std::string& error) {
  if (!target_) {
    std::rewind(file_);
    char chunk[1 << 16];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file_)) > 0) {
      if (std::fwrite(chunk, 1, got, stdout) != got) break;
    }
    const bool ok = !std::ferror(file_) && !std::ferror(stdout) && std::fflush(stdout) == 0;
    if (!ok) error = std::string("cannot write standard output: ") + std::strerror(errno);
    return ok;
  }
  std::FILE* file = std::exchange(file_, nullptr);
  if (std::fclose(file) != 0) {
    error =
        "cannot write " + xr::pathToUtf8(inPlace_ ? *target_ : temp_) + ": " + std::strerror(errno);
    return false;
  }
  if (inPlace_) return true;
  // Atomic on every system, an existing OUT included (Windows: MoveFileExW, replacing).
  const std::error_code renameError = xr::replaceFile(temp_, *target_);
  if (renameError) {
    error = "cannot replace " + xr::pathToUtf8(*target_) + ": " + renameError.message();
    return false;
  }
  temp_.clear();
  return true;
}

void PendingOutput::discard() {
  if (file_) std::fclose(std::exchange(file_, nullptr));
  if (!temp_.empty()) {
    std::error_code ignored;
    fs::remove(temp_, ignored);
    temp_.clear();
  }
}

std::string PendingOutput::name() const {
  return target_ ? xr::pathToUtf8(*target_) : "standard output";
}

}  // namespace xrf
