// input/csv_standard_reader.h: StandardCsvReader reads comma-separated text as spreadsheets and
// address books write it (RFC 4180): a field in double quotes may hold separators, line breaks
// and quotes written twice (""), and a record ends at CR LF, LF or a lone CR. It stands beside
// the line-based CSV reader of XRBufferedInputStream, whose rules (one line per record, no
// escaped quote) stay as they are for the files that rely on them.
//
// Encodings: a UTF-8 byte order mark is dropped; input that starts with a UTF-16 byte order
// mark is converted to UTF-8 as it is read; input that starts with NUL bytes (UTF-16 without
// a mark) or a UTF-32 mark is refused with an error. A record that isn't valid UTF-8 is read
// with each invalid sequence replaced by U+FFFD, and a warning names its line.
//
// Memory: the reader keeps one block of the input and the record being read, so it stays
// bounded by the block size and the longest record (which is capped, so that one quote left
// open can't make the whole file one record in memory). One thread at a time.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "xrfoundation/export.h"
#include "xrfoundation/platform/input_stream.h"

namespace xr {

class CharsetConverter;

// Reads the records of standard CSV text from a byte stream, in order.
class XR_EXPORT StandardCsvReader {
 public:
  // The input's encoding, as its first bytes tell it.
  enum class Encoding {
    Utf8,     // with or without a byte order mark
    Utf16LE,  // converted while read
    Utf16BE,  // converted while read
  };

  // The longest record read, in bytes of UTF-8; a longer one is an error.
  static constexpr std::size_t kMaxRecordBytes = 64 * 1024 * 1024;

  // Takes a share of stream; blockSize is how many bytes one read asks for. Touches nothing
  // before open().
  explicit StandardCsvReader(std::shared_ptr<InputStream> stream,
                             std::size_t blockSize = 256 * 1024);
  // Performs close().
  ~StandardCsvReader();
  StandardCsvReader(const StandardCsvReader&) = delete;
  StandardCsvReader& operator=(const StandardCsvReader&) = delete;

  // Opens the stream if nobody has yet (close() then closes it) and reads the first block to
  // learn the encoding. False, with error() set, when the stream can't be opened or read or
  // the encoding is one the reader refuses.
  bool open();
  // Drops the buffers; closes the stream if open() opened it.
  void close();

  // The fields of the next record, as views valid until the next call or close(); null at the
  // end of the input and on failure (failed() tells them apart). Lines holding nothing are
  // no record. Fields keep their text as written, inner line breaks included; only the
  // quotes around a quoted field and the doubling of its quotes are undone, and blanks between
  // a closing quote and the separator are dropped.
  const std::vector<std::string_view>* readRecord();

  // Whether reading stopped on an error rather than at the end of the input.
  bool failed() const { return !error_.empty(); }
  // Why: "line N: reason" for a fault in the text, the stream's reason for a read error;
  // "" when nothing failed.
  const std::string& error() const { return error_; }
  // The line error() names, or 0 when it names none (the stream's own failures).
  std::uint64_t errorLine() const { return errorLine_; }
  // error() without its "line N: ".
  const std::string& errorReason() const { return errorReason_; }
  // The line (from 1) on which the record last returned begins; a record with quoted line
  // breaks spans several lines.
  std::uint64_t recordLine() const { return recordLine_; }
  // Bytes taken from the stream so far (before any conversion): the share read of a file.
  std::uint64_t bytesRead() const { return bytesRead_; }
  // Records read whose invalid UTF-8 was replaced.
  std::uint64_t repairedRecords() const { return repairedRecords_; }
  Encoding encoding() const { return encoding_; }

 private:
  enum class Parse { Record, NeedMore, End, Failed };
  struct Span {
    std::size_t offset;
    std::size_t length;
    bool inScratch;  // the text is in scratch_ (a field with doubled quotes), else in buffer_
  };

  bool detectEncoding();
  // Drops the bytes before pos_ and appends at least as many new bytes as the buffer holds
  // (or one block), so that a long record is re-read a logarithmic number of times. False at
  // the end of the input or on failure.
  bool fetch();
  bool readBlock(std::size_t want);
  Parse parse();
  bool fail(std::uint64_t line, const std::string& reason);
  void finishFields(std::size_t start, std::size_t end);

  std::shared_ptr<InputStream> stream_;
  std::size_t blockSize_;
  std::unique_ptr<CharsetConverter> converter_;  // for UTF-16 input
  std::string raw_;                              // a block before conversion
  std::string buffer_;                           // UTF-8 text from pos_ on not yet read
  std::size_t pos_ = 0;
  bool endSeen_ = false;  // the stream has reported its end: the buffer's end is the input's
  bool opened_ = false;
  bool shouldClose_ = false;
  std::string error_;
  std::uint64_t errorLine_ = 0;
  std::string errorReason_;
  std::uint64_t line_ = 1;  // line of the next byte at pos_
  std::uint64_t recordLine_ = 0;
  std::uint64_t bytesRead_ = 0;
  std::uint64_t repairedRecords_ = 0;
  Encoding encoding_ = Encoding::Utf8;
  std::vector<Span> spans_;
  std::string scratch_;
  std::string repaired_;
  std::vector<std::string_view> fields_;
};

}  // namespace xr
