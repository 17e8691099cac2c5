// input/csv_standard_reader.cpp: the record scanner of StandardCsvReader. A record is parsed
// from its first byte each time; when the buffer ends inside it, more input is appended and
// the record is parsed again, which the geometric growth in fetch() keeps linear.
#include "xrfoundation/input/csv_standard_reader.h"

#include <algorithm>
#include <array>

#include "xrfoundation/platform/ascii.h"
#include "xrfoundation/platform/byte_search_internal.h"
#include "xrfoundation/platform/charset.h"
#include "xrfoundation/platform/log_internal.h"
#include "xrfoundation/platform/utf8_internal.h"

namespace xr {
namespace {

constexpr char kQuote = '"';
// Bytes read before the encoding and the separator are decided, if the header line is longer.
constexpr std::size_t kSampleBytes = 64 * 1024;

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

// The separator of a header line at the start of text: the one of comma, semicolon and tab
// found most often outside quotes, a comma when two tie or none is there.
char separatorOf(std::string_view text) {
  std::size_t comma = 0;
  std::size_t semicolon = 0;
  std::size_t tab = 0;
  bool quoted = false;
  for (const char c : text) {
    if (c == kQuote) {
      quoted = !quoted;
    } else if (quoted) {
      continue;
    } else if (c == '\n' || c == '\r') {
      break;
    } else if (c == ',') {
      ++comma;
    } else if (c == ';') {
      ++semicolon;
    } else if (c == '\t') {
      ++tab;
    }
  }
  if (semicolon > comma && semicolon > tab) return ';';
  if (tab > comma && tab > semicolon) return '\t';
  return ',';
}

// The length of a spreadsheet's "sep=X" line at the start of text, its line end included, and
// X; 0 when text doesn't start with one.
std::size_t separatorLineOf(std::string_view text, bool complete, char& separator) {
  if (text.size() < 5) return 0;
  if (!startsWithIgnoringCase(text, "sep=") || text[4] == '\n' || text[4] == '\r') return 0;
  if (text.size() == 5) {
    if (!complete) return 0;
    separator = text[4];
    return 5;
  }
  if (text[5] != '\n' && text[5] != '\r') return 0;
  separator = text[4];
  return text[5] == '\r' && text.size() > 6 && text[6] == '\n' ? 7 : 6;
}

StandardCsvReader::Encoding encodingOf(std::string_view name) {
  using Encoding = StandardCsvReader::Encoding;
  if (name == "UTF-8") return Encoding::Utf8;
  if (name == "UTF-16LE") return Encoding::Utf16LE;
  if (name == "UTF-16BE") return Encoding::Utf16BE;
  if (name == "UTF-32LE") return Encoding::Utf32LE;
  if (name == "UTF-32BE") return Encoding::Utf32BE;
  return Encoding::Legacy;
}

// U+FFFD characters in text.
std::size_t replacementsIn(std::string_view text) {
  std::size_t found = 0;
  for (std::size_t at = text.find(utf8::kReplacementCharacter); at != std::string_view::npos;
       at = text.find(utf8::kReplacementCharacter, at + 3)) {
    ++found;
  }
  return found;
}

}  // namespace

StandardCsvReader::StandardCsvReader(std::shared_ptr<InputStream> stream, std::size_t blockSize)
    : StandardCsvReader(std::move(stream), CsvReadOptions{}, blockSize) {}

StandardCsvReader::StandardCsvReader(std::shared_ptr<InputStream> stream, CsvReadOptions options,
                                     std::size_t blockSize)
    : stream_(std::move(stream)),
      blockSize_(std::max<std::size_t>(blockSize, 16)),
      options_(std::move(options)) {}

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
  decoder_.reset();
  rawStart_.clear();
  asciiSoFar_ = false;
  encodingName_ = "UTF-8";
  basis_ = EncodingBasis::Utf8;
  utf8Damage_ = {};
  delimiter_ = ',';
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
  std::string().swap(rawStart_);
  fields_.clear();
  spans_.clear();
  decoder_.reset();
}

bool StandardCsvReader::detectEncoding() {
  // Four bytes tell every mark apart, and the separator wants the header line; a pipe may
  // deliver fewer per read.
  const auto lineSeen = [&] {
    return buffer_.find_first_of("\r\n") != std::string::npos || buffer_.size() >= kSampleBytes;
  };
  while ((buffer_.size() < 4 || !lineSeen()) && !endSeen_) {
    if (!readBlock(blockSize_) && failed()) return false;
  }
  const std::optional<ByteOrderMark> mark = byteOrderMarkOf(buffer_);
  if (options_.encoding) {
    const std::optional<std::string> name = encodingDisplayName(*options_.encoding);
    basis_ = EncodingBasis::Given;
    if (name == "UTF-8") {
      pos_ = mark && mark->encoding == "UTF-8" ? mark->length : 0;
      startText();
      return true;
    }
    // A mark of the encoding named is no text.
    const std::size_t skip = mark && name == mark->encoding ? mark->length : 0;
    if (!startDecoding(*options_.encoding, skip)) {
      return fail(0, "unknown encoding \"" + *options_.encoding + "\"");
    }
    return true;
  }
  const DetectedEncoding found = xr::detectEncoding(buffer_, endSeen_);
  basis_ = found.basis;
  if (found.name == "UTF-8") {
    pos_ = found.markLength;  // the UTF-8 byte order mark that spreadsheets write
    asciiSoFar_ = found.asciiOnly;
    startText();
    return true;
  }
  if (found.basis == EncodingBasis::Guessed) rawStart_ = buffer_;
  if (!startDecoding(found.name, found.markLength)) {
    return fail(0, "the input is " + found.name +
                       " text and this system cannot convert it; save it as UTF-8");
  }
  return true;
}

bool StandardCsvReader::startDecoding(std::string_view encoding, std::size_t skip) {
  std::unique_ptr<TextDecoder> decoder = TextDecoder::create(encoding);
  if (!decoder) return false;
  decoder_ = std::move(decoder);
  encodingName_ = decoder_->encoding();
  encoding_ = encodingOf(encodingName_);
  const std::string rawStart = buffer_.substr(std::min(skip, buffer_.size()));
  buffer_.clear();
  pos_ = 0;
  decoder_->decode(rawStart, buffer_, endSeen_);
  startText();
  return true;
}

bool StandardCsvReader::reread(std::string_view encoding) {
  if (rawStart_.empty() || bytesRead_ != rawStart_.size() || (failed() && errorLine_ == 0)) {
    return false;
  }
  std::unique_ptr<TextDecoder> decoder = TextDecoder::create(encoding);
  if (!decoder) return false;
  error_.clear();  // a fault in the text as the last encoding read it
  errorLine_ = 0;
  errorReason_.clear();
  decoder_ = std::move(decoder);
  encodingName_ = decoder_->encoding();
  encoding_ = encodingOf(encodingName_);
  buffer_.clear();
  pos_ = 0;
  line_ = 1;
  recordLine_ = 0;
  repairedRecords_ = 0;
  decoder_->decode(rawStart_, buffer_, endSeen_);
  startText();
  return true;
}

const std::vector<std::string_view>* StandardCsvReader::readHeader(const HeaderScore& score) {
  const std::vector<std::string_view>* header = readRecord();
  if (!header || basis_ != EncodingBasis::Guessed || score(*header) > 0 || rawStart_.empty() ||
      bytesRead_ != rawStart_.size()) {
    return header;
  }
  const std::string guess = encodingName_;
  std::string best = guess;
  std::size_t bestScore = 0;
  for (const std::string_view candidate : legacyEncodings()) {
    if (candidate == guess || !reread(candidate)) continue;
    header = readRecord();
    const std::size_t got = header ? score(*header) : 0;
    if (got > bestScore) {
      best = candidate;
      bestScore = got;
    }
  }
  reread(best);
  return readRecord();
}

void StandardCsvReader::startText() {
  char named = ',';
  const std::size_t sepLine =
      separatorLineOf(std::string_view(buffer_).substr(pos_), endSeen_, named);
  if (sepLine > 0) {
    pos_ += sepLine;
    line_ = 2;
  }
  if (options_.delimiter) {
    delimiter_ = *options_.delimiter;
  } else {
    delimiter_ = sepLine > 0 ? named : separatorOf(std::string_view(buffer_).substr(pos_));
  }
  endsField_ = {};
  endsField_[static_cast<unsigned char>(delimiter_)] = true;
  endsField_['\n'] = true;
  endsField_['\r'] = true;
}

void StandardCsvReader::settleAscii(std::size_t held) {
  const auto settled = encodingAfterAscii(buffer_, pos_, held, endSeen_);
  if (!settled) return;
  const auto& [from, ascii, later] = *settled;
  const std::string_view fresh = std::string_view(buffer_).substr(from);
  asciiSoFar_ = false;
  if (later.basis != EncodingBasis::Guessed) return;
  // Plain ASCII reads the same in every encoding guessed: convert from here on.
  const std::uint64_t line = line_ + countBreaks(buffer_.data() + pos_, from - pos_);
  decoder_ = TextDecoder::create(later.name, line);
  if (!decoder_) return;
  basis_ = EncodingBasis::Guessed;
  encodingName_ = decoder_->encoding();
  encoding_ = Encoding::Legacy;
  consoleLog().warn("CSV line {}: the first bytes that are not ASCII are not UTF-8; read as {}",
                    line + countBreaks(fresh.data(), ascii), encodingName_);
  const std::string rest(fresh);
  buffer_.resize(from);
  decoder_->decode(rest, buffer_, endSeen_);
}

const DecodeDamage& StandardCsvReader::undecodable() const {
  return decoder_ ? decoder_->damage() : utf8Damage_;
}

bool StandardCsvReader::readBlock(std::size_t want) {
  if (endSeen_ || failed()) return false;
  for (;;) {
    char* target;
    std::string* into = decoder_ ? &raw_ : &buffer_;
    const std::size_t held = decoder_ ? 0 : buffer_.size();
    into->resize(held + want);
    target = into->data() + held;
    const std::int64_t got = stream_->read(reinterpret_cast<std::uint8_t*>(target), want);
    into->resize(held + static_cast<std::size_t>(std::max<std::int64_t>(got, 0)));
    if (got < 0) {
      return fail(0, stream_->streamError().value_or("cannot read the input"));
    }
    if (got == 0) {
      endSeen_ = true;
      // A sequence cut short for good becomes U+FFFD.
      if (decoder_) decoder_->decode({}, buffer_, true);
      return false;
    }
    bytesRead_ += static_cast<std::uint64_t>(got);
    if (!decoder_) {
      if (asciiSoFar_) settleAscii(held);
      return true;
    }
    const std::size_t before = buffer_.size();
    decoder_->decode(raw_, buffer_);
    if (decoder_->lastReplaced()) {
      consoleLog().warn("CSV line {}: bytes that are not valid {} text were replaced by U+FFFD",
                        decoder_->damage().lines.empty() ? 0 : decoder_->damage().lines.back(),
                        encodingName_);
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
  const char separator = delimiter_;
  const bool* endsField = endsField_.data();
  // Blanks around a quoted field; a tab is none when it separates.
  const auto isBlank = [separator](char c) { return c == ' ' || (c == '\t' && separator != '\t'); };
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
      if (k < n && !endsField[static_cast<unsigned char>(b[k])]) {
        fail(line_ + breaks,
             "text after the closing quote of a field (a quote inside a quoted field "
             "is written twice)");
        return Parse::Failed;
      }
    } else {
      k = i;
      while (k < n && !endsField[static_cast<unsigned char>(b[k])]) ++k;
      if (k == n && !endSeen_) return Parse::NeedMore;
      spans_.push_back({i, k - i, false});
    }
    if (k == n) {  // the input's last record, without a terminator
      end = n;
      break;
    }
    if (b[k] == separator) {
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
  const std::size_t replaced = replacementsIn(repaired_) - replacementsIn(record);
  for (std::size_t i = 0; i < replaced; ++i) utf8Damage_.add(recordLine_);
  consoleLog().warn("CSV line {} is not valid UTF-8; invalid bytes were replaced by U+FFFD",
                    recordLine_);
}

}  // namespace xr
