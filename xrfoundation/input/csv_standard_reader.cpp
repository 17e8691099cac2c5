// input/csv_standard_reader.cpp: the record scanner of StandardCsvReader. A record is parsed
// from its first byte each time; when the buffer ends inside it, more input is appended and
// the record is parsed again, which the geometric growth in fetch() keeps linear.
#include "xrfoundation/input/csv_standard_reader.h"

#include <algorithm>
#include <array>

#include "xrfoundation/platform/byte_search_internal.h"
#include "xrfoundation/platform/charset.h"
#include "xrfoundation/platform/log_internal.h"
#include "xrfoundation/platform/utf8_internal.h"

namespace xr {
namespace {

constexpr char kSeparator = ',';
constexpr char kQuote = '"';

// Bytes that end an unquoted field.
constexpr std::array<bool, 256> kEndsField = [] {
  std::array<bool, 256> table{};
  table[static_cast<unsigned char>(kSeparator)] = true;
  table['\n'] = true;
  table['\r'] = true;
  return table;
}();

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// Line breaks in text as an editor counts them: LF, CR LF and a lone CR are one each.
std::uint64_t countBreaks(const char* p, std::size_t n) {
  std::uint64_t breaks = 0;
  for (std::size_t i = 0; i < n; ++i) {
    if (p[i] == '\n') {
      ++breaks;
    } else if (p[i] == '\r' && (i + 1 == n || p[i + 1] != '\n')) {
      ++breaks;
    }
  }
  return breaks;
}

}  // namespace

StandardCsvReader::StandardCsvReader(std::shared_ptr<InputStream> stream, std::size_t blockSize)
    : stream_(std::move(stream)), blockSize_(std::max<std::size_t>(blockSize, 16)) {}

StandardCsvReader::~StandardCsvReader() { close(); }

bool StandardCsvReader::open() {
  close();
  error_.clear();
  errorLine_ = 0;
  errorReason_.clear();
  buffer_.clear();
  pos_ = 0;
  endSeen_ = false;
  line_ = 1;
  recordLine_ = 0;
  bytesRead_ = 0;
  repairedRecords_ = 0;
  encoding_ = Encoding::Utf8;
  converter_.reset();
  if (!stream_) return fail(0, "no input");
  shouldClose_ = stream_->status() == StreamStatus::NotOpen;
  if (shouldClose_) stream_->open();
  opened_ = true;
  if (stream_->status() == StreamStatus::Error) {
    return fail(0, stream_->streamError().value_or("cannot open the input"));
  }
  return detectEncoding();
}

void StandardCsvReader::close() {
  if (!opened_) return;
  opened_ = false;
  if (shouldClose_) stream_->close();
  shouldClose_ = false;
  std::string().swap(buffer_);
  std::string().swap(raw_);
  std::string().swap(scratch_);
  std::string().swap(repaired_);
  fields_.clear();
  spans_.clear();
  converter_.reset();
}

bool StandardCsvReader::detectEncoding() {
  // Four bytes tell every mark apart; a pipe may deliver fewer per read.
  while (buffer_.size() < 4 && !endSeen_) {
    if (!readBlock(blockSize_) && failed()) return false;
  }
  const std::optional<ByteOrderMark> mark = byteOrderMarkOf(buffer_);
  if (mark && mark->encoding.starts_with("UTF-32")) {
    return fail(0, "the input is UTF-32 text, which is not read; save it as UTF-8");
  }
  if (mark && mark->encoding == "UTF-8") {
    pos_ = mark->length;  // the UTF-8 byte order mark that spreadsheets write
    return true;
  }
  if (mark) {
    const bool little = mark->encoding == "UTF-16LE";
    encoding_ = little ? Encoding::Utf16LE : Encoding::Utf16BE;
    converter_ = CharsetConverter::toUtf8(std::string(mark->encoding));
    if (!converter_) {
      return fail(0,
                  "the input is UTF-16 text and this system cannot convert it; save it as UTF-8");
    }
    const std::string rawStart = buffer_.substr(mark->length);
    buffer_.clear();
    if (!converter_->convert(rawStart, buffer_)) return fail(1, "the input is not valid UTF-16");
    return true;
  }
  if (buffer_.size() >= 2 && (buffer_[0] == '\0' || buffer_[1] == '\0')) {
    return fail(0,
                "the input starts with NUL bytes (UTF-16 without a byte order mark?); save it "
                "as UTF-8");
  }
  return true;
}

bool StandardCsvReader::readBlock(std::size_t want) {
  if (endSeen_ || failed()) return false;
  for (;;) {
    char* target;
    std::string* into = converter_ ? &raw_ : &buffer_;
    const std::size_t held = converter_ ? 0 : buffer_.size();
    into->resize(held + want);
    target = into->data() + held;
    const std::int64_t got = stream_->read(reinterpret_cast<std::uint8_t*>(target), want);
    into->resize(held + static_cast<std::size_t>(std::max<std::int64_t>(got, 0)));
    if (got < 0) {
      return fail(0, stream_->streamError().value_or("cannot read the input"));
    }
    if (got == 0) {
      endSeen_ = true;
      if (converter_ && converter_->hasPendingBytes()) {
        return fail(line_, "the input ends inside a UTF-16 character");
      }
      return false;
    }
    bytesRead_ += static_cast<std::uint64_t>(got);
    if (!converter_) return true;
    const std::size_t before = buffer_.size();
    if (!converter_->convert(raw_, buffer_)) {
      return fail(line_, "the input is not valid UTF-16 (a lone surrogate)");
    }
    if (buffer_.size() > before) return true;
  }
}

bool StandardCsvReader::fetch() {
  if (endSeen_ || failed()) return false;
  if (pos_ > 0) {
    buffer_.erase(0, pos_);
    pos_ = 0;
  }
  if (buffer_.size() > kMaxRecordBytes) {
    return fail(line_, "a record longer than 64 MiB (a quote left open?)");
  }
  return readBlock(std::max(blockSize_, buffer_.size()));
}

bool StandardCsvReader::fail(std::uint64_t line, const std::string& reason) {
  if (!error_.empty()) return false;
  error_ = line > 0 ? "line " + std::to_string(line) + ": " + reason : reason;
  errorLine_ = line;
  errorReason_ = reason;
  return false;
}

const std::vector<std::string_view>* StandardCsvReader::readRecord() {
  if (!opened_ || failed()) return nullptr;
  for (;;) {
    switch (parse()) {
      case Parse::Record:
        return &fields_;
      case Parse::End:
      case Parse::Failed:
        return nullptr;
      case Parse::NeedMore:
        // At the end (or on failure) the buffer's end is final; parse once more knowing it.
        if (!fetch() && failed()) return nullptr;
        break;
    }
  }
}

StandardCsvReader::Parse StandardCsvReader::parse() {
  const char* b = buffer_.data();
  const std::size_t n = buffer_.size();
  // Lines holding nothing are no record.
  for (;;) {
    if (pos_ == n) {
      if (!endSeen_) return Parse::NeedMore;
      fields_.clear();
      return Parse::End;
    }
    if (b[pos_] == '\n') {
      ++pos_;
      ++line_;
    } else if (b[pos_] == '\r') {
      if (pos_ + 1 == n && !endSeen_) return Parse::NeedMore;
      pos_ += pos_ + 1 < n && b[pos_ + 1] == '\n' ? 2 : 1;
      ++line_;
    } else {
      break;
    }
  }

  spans_.clear();
  scratch_.clear();
  std::uint64_t breaks = 0;  // line breaks inside the record's quoted fields so far
  std::size_t i = pos_;      // start of the field
  std::size_t end = 0;       // where the record's terminator ends
  for (;;) {
    std::size_t j = i;
    while (j < n && isBlank(b[j])) ++j;
    if (j == n && !endSeen_) return Parse::NeedMore;
    std::size_t k;  // the byte after the field: separator, terminator or the buffer's end
    if (j < n && b[j] == kQuote) {
      const std::size_t open = j + 1;
      std::size_t segment = open;  // the part not yet copied, of a field with doubled quotes
      std::size_t search = open;
      const std::size_t scratchStart = scratch_.size();
      bool doubled = false;
      std::size_t close;
      for (;;) {
        const char* found = search < n ? findByte(b + search, n - search, kQuote) : nullptr;
        if (!found) {
          if (!endSeen_) return Parse::NeedMore;
          fail(line_ + breaks, "a quoted field is not closed before the end of the input");
          return Parse::Failed;
        }
        const std::size_t at = static_cast<std::size_t>(found - b);
        if (at + 1 == n && !endSeen_) return Parse::NeedMore;  // "" cut by the buffer's end?
        if (at + 1 < n && b[at + 1] == kQuote) {
          scratch_.append(b + segment, at + 1 - segment);
          segment = search = at + 2;
          doubled = true;
          continue;
        }
        close = at;
        break;
      }
      breaks += countBreaks(b + open, close - open);
      if (doubled) {
        scratch_.append(b + segment, close - segment);
        spans_.push_back({scratchStart, scratch_.size() - scratchStart, true});
      } else {
        spans_.push_back({open, close - open, false});
      }
      k = close + 1;
      while (k < n && isBlank(b[k])) ++k;
      if (k == n && !endSeen_) return Parse::NeedMore;
      if (k < n && !kEndsField[static_cast<unsigned char>(b[k])]) {
        fail(line_ + breaks,
             "text after the closing quote of a field (a quote inside a quoted field "
             "is written twice)");
        return Parse::Failed;
      }
    } else {
      k = i;
      while (k < n && !kEndsField[static_cast<unsigned char>(b[k])]) ++k;
      if (k == n && !endSeen_) return Parse::NeedMore;
      spans_.push_back({i, k - i, false});
    }
    if (k == n) {  // the input's last record, without a terminator
      end = n;
      break;
    }
    if (b[k] == kSeparator) {
      i = k + 1;
      continue;
    }
    if (b[k] == '\r') {
      if (k + 1 == n && !endSeen_) return Parse::NeedMore;
      end = k + 1 < n && b[k + 1] == '\n' ? k + 2 : k + 1;
    } else {
      end = k + 1;
    }
    ++breaks;
    break;
  }

  recordLine_ = line_;
  line_ += breaks;
  finishFields(pos_, end);
  pos_ = end;
  return Parse::Record;
}

void StandardCsvReader::finishFields(std::size_t start, std::size_t end) {
  fields_.clear();
  const std::string_view record(buffer_.data() + start, end - start);
  // Doubled quotes are ASCII, so the copied fields are valid whenever the record is.
  const bool valid = utf8::isAscii(record.data(), record.size()) || utf8::isValid(record);
  const auto text = [&](const Span& span) {
    return std::string_view((span.inScratch ? scratch_ : buffer_).data() + span.offset,
                            span.length);
  };
  if (valid) {
    for (const Span& span : spans_) fields_.push_back(text(span));
    return;
  }
  // One stray byte of another encoding must not end an import: read on with the damage
  // marked, and say where.
  repaired_.clear();
  std::vector<std::size_t> ends;
  for (const Span& span : spans_) {
    utf8::appendRepaired(repaired_, text(span));
    ends.push_back(repaired_.size());
  }
  std::size_t from = 0;
  for (const std::size_t to : ends) {
    fields_.emplace_back(repaired_.data() + from, to - from);
    from = to;
  }
  ++repairedRecords_;
  consoleLog().warn("CSV line {} is not valid UTF-8; invalid bytes were replaced by U+FFFD",
                    recordLine_);
}

}  // namespace xr
