// input/buffered_input_stream.h: XRBufferedInputStream reads a byte stream in blocks of a
// fixed size and cuts it into lines (at each line feed), vCard records ("BEGIN:VCARD" through
// "END:VCARD") or CSV rows. Memory stays bounded by the block size and the longest line (or
// record): a file of any size is read through the block made at open() (and a second one, made
// when first needed, while a record handed out must outlive a line or CSV read).
//
// Lines and records are handed out as views of the reader's own buffers. A line is valid
// until the next read of any kind; a record until the next readVCardData(), open() or
// close(), whatever lines or CSV rows are read in between. A caller that keeps one longer
// copies it. The reader is itself an
// InputStream: status, read, hasBytesAvailable and getBuffer pass through to the wrapped
// stream. One thread at a time; no locks but the one that keeps csvTitles consistent.
#pragma once
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "xrfoundation/export.h"
#include "xrfoundation/input/csv_row.h"
#include "xrfoundation/platform/input_stream.h"

namespace xr {

// The buffered reader over a byte stream; see the top of this file.
class XR_EXPORT XRBufferedInputStream final : public InputStream {
 public:
  // Largest block size open() accepts (1 GiB); a larger one fails as open() describes.
  static constexpr std::uint64_t kMaxBlockSize = std::uint64_t{1} << 30;

  // Takes a share of stream and records the block size (at least 1 byte is used). Neither
  // touches the stream nor allocates: that is open()'s work.
  XRBufferedInputStream(std::shared_ptr<InputStream> stream, std::uint64_t bufferSize);
  // Performs close().
  ~XRBufferedInputStream() override;
  // Not copyable: the buffers handed out belong to one reader.
  XRBufferedInputStream(const XRBufferedInputStream&) = delete;
  // Not copyable.
  XRBufferedInputStream& operator=(const XRBufferedInputStream&) = delete;

  // Makes the block and the buffers and opens the wrapped stream if nobody has yet (and then
  // closes it at close()). A block larger than kMaxBlockSize, or one that cannot be had, fails
  // the open as a result: nothing is touched or read, status() says Error and streamError()
  // why. An open() while open does nothing: buffers, position and CSV titles stay. After
  // close(), open() makes new buffers over the wrapped stream as it then stands; one that
  // close() closed stays closed, so reads end at once.
  void open() override;
  // Drops the buffers and the CSV titles; closes the wrapped stream if open() opened it.
  void close() override;
  // Error when open() failed (or the second block could not be had); else NotOpen before
  // open(), Closed after close(); in between the wrapped stream's Error, or AtEnd once atEnd()
  // holds, else Open.
  StreamStatus status() const override;

  // The next line with its line feed (a CR LF line keeps both), or the input's last bytes
  // when they have no line feed; none at the end of the input, after a read error, and
  // before open() or after close(). Only the byte 0x0A ends a line; nothing is decoded.
  std::optional<std::string_view> readLine();

  // The next vCard record: the bytes from the line holding "BEGIN:VCARD" through the line
  // holding "END:VCARD", as they stood; valid until the next readVCardData(), open() or close().
  // Markers count anywhere in a line, in any letter case, but not in a line that is not valid
  // UTF-8. Text outside records is dropped. None when nothing was gathered: at the end of the
  // input, but also for an "END:VCARD" line outside any record -- nextVCardRecord() passes
  // such lines over.
  std::optional<std::string_view> readVCardData();

  // The next vCard record as readVCardData() cuts it, passing over "END:VCARD" lines outside
  // any record: none only once the input is used up or a read has failed (readError() tells
  // which). Valid as readVCardData()'s record is.
  std::optional<std::string_view> nextVCardRecord();

  // Why reading stopped short of the end of the input: open()'s failure, or the wrapped
  // stream's error once a read of it has failed. None while reads go well and at a clean end.
  // Line, record and CSV reads give none after a read error as they do at the end; this tells
  // the two apart.
  std::optional<std::string> readError() const;

  // Whether the input is used up: the wrapped stream has reported its end (or an error) and
  // every byte before it has been handed out. True before open() and after close(). Doesn't
  // read; a reader that has not yet met the end says false even if no line is left.
  bool atEnd() const;

  // One CSV field of line starting at fromIndex (counted in UTF-16 code units, as are all CSV
  // positions), or none when fromIndex is at or past the end (or negative). Advances
  // fromIndex past the separator that ended the field, or to the end of the line. Leading
  // whitespace (tab and Unicode space separators) is dropped; a leading quote opens a quoted
  // part up to the next quote; whitespace after a closing quote is dropped. line is UTF-8; a
  // line that isn't valid is read as csvReadData reads it, each invalid sequence as U+FFFD.
  // A call checks the whole line and counts code units from its start, so cutting a line
  // field by field costs its length times its field count; csvReadData cuts it in one pass.
  std::optional<std::string> csvReadToken(std::string_view line, std::int32_t& fromIndex) const;
  // The same into a caller's string, whose storage is reused from field to field; false (and
  // field empty) where the form above gives none.
  bool csvReadToken(std::string_view line, std::int32_t& fromIndex, std::string& field) const;
  // Reads the next line as column titles, stores them in csvTitles and returns them; none
  // (csvTitles unchanged) at the end of the input.
  CsvTitles csvReadHeader();
  // Reads the next line as a row keyed by csvTitles; fields beyond the titles get the keys
  // "field<i>" (i from 0) and, when there are titles, a warning with the line. None only at
  // the end of the input. A line that isn't valid UTF-8 is read with each invalid sequence
  // replaced by U+FFFD (as is a header line), and a warning names the line.
  std::optional<CsvRow> csvReadData();

  // Pass-through to the wrapped stream; these don't touch the reader's block, so bytes the
  // line reads have already taken into it are not seen here. Use one kind of read or the other.
  std::int64_t read(std::uint8_t* buffer, std::uint64_t maxLength) override;
  // Pass-through, as read().
  bool hasBytesAvailable() const override;
  // Pass-through, as read().
  bool getBuffer(const std::uint8_t*& buffer, std::uint64_t& length) override;
  // Why open() failed, if it did; else the wrapped stream's error.
  std::optional<std::string> streamError() const override;

  // Sum of what read() has returned since open(); line, record and CSV reads don't count.
  std::uint64_t bytesProcessed() const { return state_.bytesProcessed; }
  // Stored and reported only: every line ends with its line feed, so none is empty, and no
  // read trims.
  bool wantsEmptyLines() const { return state_.wantsEmptyLines; }
  // Stores the flag; see wantsEmptyLines().
  void setWantsEmptyLines(bool wants) { state_.wantsEmptyLines = wants; }
  // Stored and reported only, as wantsEmptyLines().
  bool trimLines() const { return state_.trimLines; }
  // Stores the flag; see trimLines().
  void setTrimLines(bool trim) { state_.trimLines = trim; }
  // The column titles csvReadData keys rows by (null until a header is read or set); safe to
  // call from another thread than the reading one.
  CsvTitles csvTitles() const;
  // Replaces the column titles; null drops them.
  void setCsvTitles(CsvTitles titles);
  char16_t quote() const { return state_.quote; }          // '"'
  char16_t separator() const { return state_.separator; }  // ','

 private:
  // The reader's own fields keep their plain names (bufSize, pos, read, ...); they live in
  // one struct because several share their names with the accessors above.
  struct State {
    std::shared_ptr<InputStream> stream;
    std::uint64_t bufSize = 0;
    std::unique_ptr<std::uint8_t[]> dataBuffer;  // bufSize bytes, between open and close
    std::unique_ptr<std::string> lineBuffer;     // a line that spans blocks is put together here
    std::unique_ptr<std::string> vcardData;      // a record that spans blocks is put together here
    std::int64_t pos = 0;                        // next unread byte of dataBuffer
    std::int64_t read = 0;  // valid bytes in dataBuffer; 0 or less: end of input or error
    std::uint64_t bytesProcessed = 0;
    bool shouldCloseStream = false;
    bool wantsEmptyLines = false;
    bool trimLines = false;
    CsvTitles csvTitles;  // guarded by titlesMutex_
    char16_t quote = u'"';
    char16_t separator = u',';
  };

  void refill();
  // The next line for the CSV reader: the line itself when it is valid UTF-8, else a repaired
  // copy in csvLine_, with a warning. None at the end of the input.
  std::optional<std::string_view> readCsvLine();

  State state_;
  mutable std::mutex titlesMutex_;
  bool everOpened_ = false;
  bool endSeen_ = false;          // the last refill met the end of the input or an error
  bool readFailed_ = false;       // ... and it was an error of the wrapped stream
  std::uint64_t lineNumber_ = 0;  // lines handed out since open(), for warnings
  // Start in dataBuffer of the record readVCardData is gathering, or -1. A record is one run
  // of the input, so its bytes are copied to vcardData only when a refill is about to
  // overwrite them; a record within one block is handed out where it lies.
  std::int64_t recordStart_ = -1;
  // The record readVCardData handed out last lies in dataBuffer: a refill first swaps in
  // spareBuffer_ rather than overwrite it. Only a line or CSV read between two record reads
  // pays for this.
  bool recordInBlock_ = false;
  std::unique_ptr<std::uint8_t[]> spareBuffer_;  // bufSize bytes, made on first need
  std::optional<std::string> openError_;         // why open() (or the spare block) failed
  std::string csvLine_;                          // a repaired CSV line
  CsvTitles checkedTitles_;                      // the titles titlesRepeat_ was worked out for
  bool titlesRepeat_ = false;
  std::vector<std::size_t> rowEnds_;  // where each field of the row being read ends
};

}  // namespace xr
