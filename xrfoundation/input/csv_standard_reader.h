// input/csv_standard_reader.h: StandardCsvReader reads comma-separated text as spreadsheets and
// address books write it (RFC 4180): a field in double quotes may hold separators, line breaks
// and quotes written twice (""), and a record ends at CR LF, LF or a lone CR. It stands beside
// the line-based CSV reader of XRBufferedInputStream, whose rules (one line per record, no
// escaped quote) stay as they are for the files that rely on them.
//
// Separators: comma, semicolon or tab, as the header line shows (the one found most often
// outside quotes; a tie, or none, is a comma), or as a spreadsheet's first line "sep=X" names
// it (that line is then no record). An option names it instead.
//
// Encodings (platform/text_encoding.h): a byte order mark (UTF-8, UTF-16, UTF-32), UTF-16's
// zero bytes, valid UTF-8, else the detector's guess; an option names it instead. A UTF-8
// byte order mark is dropped; other encodings are converted to UTF-8 as they are read, each
// byte the encoding doesn't explain replaced by U+FFFD, and its line kept (undecodable()).
// Plain ASCII at the start decides nothing: the first other bytes, however late, choose
// between UTF-8 and a guess. A record that isn't valid UTF-8 in UTF-8 input is read with each
// invalid sequence replaced by U+FFFD, and a warning names its line.
//
// Memory: the reader keeps one block of the input and the record being read, so it stays
// bounded by the block size and the longest record (which is capped, so that one quote left
// open can't make the whole file one record in memory). One thread at a time.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "xrfoundation/export.h"
#include "xrfoundation/platform/input_stream.h"
#include "xrfoundation/platform/text_encoding.h"

namespace xr {

// How to read a CSV input; what is left none is found from the input.
struct XR_EXPORT CsvReadOptions {
  std::optional<char> delimiter;        // ',', ';', '\t' or any other byte
  std::optional<std::string> encoding;  // a name encodingDisplayName() knows: "cp1252", ...
};

// Reads the records of standard CSV text from a byte stream, in order.
class XR_EXPORT StandardCsvReader {
 public:
  // The input's encoding, as its first bytes tell it.
  enum class Encoding {
    Utf8,     // with or without a byte order mark
    Utf16LE,  // converted while read
    Utf16BE,  // converted while read
    Utf32LE,  // converted while read
    Utf32BE,  // converted while read
    Legacy,   // another encoding (encodingName()), converted while read
  };

  // The longest record read, in bytes of UTF-8; a longer one is an error.
  static constexpr std::size_t kMaxRecordBytes = 64 * 1024 * 1024;

  // Takes a share of stream; blockSize is how many bytes one read asks for. Touches nothing
  // before open().
  explicit StandardCsvReader(std::shared_ptr<InputStream> stream,
                             std::size_t blockSize = 256 * 1024);
  // The same, with the separator or the encoding named rather than found.
  StandardCsvReader(std::shared_ptr<InputStream> stream, CsvReadOptions options,
                    std::size_t blockSize = 256 * 1024);
  // Performs close().
  ~StandardCsvReader();
  StandardCsvReader(const StandardCsvReader&) = delete;
  StandardCsvReader& operator=(const StandardCsvReader&) = delete;

  // Opens the stream if nobody has yet (close() then closes it) and reads the first block to
  // learn the encoding and the separator. False, with error() set, when the stream can't be
  // opened or read, or the encoding option names none this system converts.
  bool open();
  // Starts over, with encoding, on the text read so far: possible while the encoding is a
  // guess and no more than the first block has been read (the header line is in it). The
  // caller that can judge the decoded text (a header naming known columns) confirms a guess
  // with it. False, changing nothing, when not possible or the encoding is unknown.
  bool reread(std::string_view encoding);
  // The header record, as readRecord() gives it, with a guessed encoding confirmed: when the
  // header decoded in the guess scores 0, each of legacyEncodings() is tried and the one whose
  // header scores highest is kept (the earlier on a tie, the guess when all score 0).
  using HeaderScore = std::function<std::size_t(const std::vector<std::string_view>&)>;
  const std::vector<std::string_view>* readHeader(const HeaderScore& score);
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
  // The encoding taken, by display name ("UTF-8", "UTF-16LE", "Windows-1252", ...), and how it
  // was learned; valid after open(). An ASCII start reads as UTF-8 until other bytes show.
  const std::string& encodingName() const { return encodingName_; }
  EncodingBasis encodingBasis() const { return basis_; }
  // The separator taken; valid after open().
  char delimiter() const { return delimiter_; }
  // Where bytes that the encoding doesn't explain were replaced by U+FFFD so far.
  const DecodeDamage& undecodable() const;

 private:
  enum class Parse { Record, NeedMore, End, Failed };
  struct Span {
    std::size_t offset;
    std::size_t length;
    bool inScratch;  // the text is in scratch_ (a field with doubled quotes), else in buffer_
  };

  bool detectEncoding();
  bool startDecoding(std::string_view encoding, std::size_t skip);
  // Reads the "sep=X" line and finds the separator, at the start of the text.
  void startText();
  // While the text has been plain ASCII: whether bytes from held on show another encoding.
  void settleAscii(std::size_t held);
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
  CsvReadOptions options_;
  std::unique_ptr<TextDecoder> decoder_;  // for input not in UTF-8
  std::string raw_;                       // a block before conversion
  std::string rawStart_;                  // the first block, while a guess may be reread
  bool asciiSoFar_ = false;               // UTF-8 so far only because all was ASCII
  std::string encodingName_;
  EncodingBasis basis_ = EncodingBasis::Utf8;
  DecodeDamage utf8Damage_;  // records of UTF-8 input repaired
  char delimiter_ = ',';
  std::array<bool, 256> endsField_{};  // bytes that end an unquoted field
  std::string buffer_;                 // UTF-8 text from pos_ on not yet read
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
