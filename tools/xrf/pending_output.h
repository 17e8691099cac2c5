// tools/xrf/pending_output.h: the output of one conversion, put in place only when it is whole.
#pragma once
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

namespace xrf {

// A temporary file that becomes OUT only when every record is in it, so that a failed or
// cancelled run never leaves a partial OUT. For standard output the records gather in an
// anonymous temporary file and are copied out at the end. A device or a pipe (-o /dev/null, a
// FIFO) is written in place. Whatever was not committed is removed when the object goes.
class PendingOutput {
 public:
  PendingOutput() = default;
  ~PendingOutput() { discard(); }
  PendingOutput(const PendingOutput&) = delete;
  PendingOutput& operator=(const PendingOutput&) = delete;

  // Creates the temporary file beside target (nullopt: standard output); false with error set
  // ("PATH is a directory", "cannot create a file in DIR: reason", ...) when it can't.
  bool create(const std::optional<std::filesystem::path>& target, std::string& error);

  // Appends bytes; false when they could not all be written.
  bool write(const std::string& bytes);

  // Puts the records in place: renames the temporary file to OUT (replacing it), or copies it
  // to standard output; false with error set when that fails.
  bool commit(std::string& error);

  // Closes and removes whatever was not committed.
  void discard();

  // OUT as given, or "standard output".
  std::string name() const;

 private:
  std::optional<std::filesystem::path> target_;
  std::FILE* file_ = nullptr;
  std::filesystem::path temp_;  // the temporary file while it exists
  bool inPlace_ = false;        // target_ is a device or pipe, written directly
};

}  // namespace xrf
