// contacts/contact_file_reader.cpp: the format sniffing, and one reader over the vCard and the
// CSV import. The bytes read to sniff the format are handed to the chosen reader again by a
// stream that replays them before the rest of the input.
#include "xrfoundation/contacts/contact_file_reader.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "xrfoundation/contacts/contact_csv.h"
#include "xrfoundation/contacts/vcard_contact_reader.h"
#include "xrfoundation/contacts/vcard_content_line_internal.h"
#include "xrfoundation/platform/charset.h"
#include "xrfoundation/platform/file_system.h"
#include "xrfoundation/platform/text_encoding.h"

namespace xr {
namespace {

constexpr std::size_t kSniffBytes = 4096;            // read before the format is looked at
constexpr std::size_t kMaxBlankBytes = 1024 * 1024;  // blank bytes read on before CSV is taken

// The ASCII text an encoding candidate makes of the head: it stops at the first unit that is
// not ASCII or is a zero (the sign of a wider or narrower encoding).
struct AsciiView {
  std::string text;
  bool whole = false;  // it reached the head's end (no unit stopped it)
};

AsciiView asciiView(std::string_view head, std::size_t width, bool bigEndian) {
  AsciiView view;
  std::size_t at = 0;
  for (; at + width <= head.size(); at += width) {
    std::uint32_t unit = 0;
    for (std::size_t b = 0; b < width; ++b) {
      const auto byte = static_cast<unsigned char>(head[at + (bigEndian ? b : width - 1 - b)]);
      unit = (unit << 8) | byte;
    }
    if (unit == 0 || unit >= 0x80) return view;
    view.text.push_back(static_cast<char>(unit));
  }
  view.whole = true;
  return view;
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Whether text begins, after blank lines, with a BEGIN:VCARD line; whole: text is all there
// is of the head, so that its end may end the line.
bool beginsVCard(std::string_view text, bool whole) {
  std::size_t at = 0;
  while (at < text.size() && isBlank(text[at])) ++at;
  const std::size_t end = text.find_first_of("\r\n", at);
  if (end == std::string_view::npos && !whole) return false;  // the line may go on
  return vcard_internal::recordTagOf(text.substr(at, end - at)) == vcard_internal::RecordTag::Begin;
}

// The head's bytes first, then the rest of the input. Opening and closing it leave the input
// alone: whoever opened the input closes it.
class ReplayStream final : public InputStream {
 public:
  ReplayStream(std::shared_ptr<InputStream> input, std::string head)
      : input_(std::move(input)), head_(std::move(head)) {}

  StreamStatus status() const override {
    if (closed_) return StreamStatus::Closed;
    if (!opened_) return StreamStatus::NotOpen;
    if (at_ < head_.size()) return StreamStatus::Open;
    return input_->status();
  }
  void open() override { opened_ = !closed_; }
  void close() override { closed_ = opened_; }
  std::int64_t read(std::uint8_t* buffer, std::uint64_t maxLength) override {
    if (!opened_ || closed_) return -1;
    if (at_ < head_.size()) {
      const std::size_t n =
          static_cast<std::size_t>(std::min<std::uint64_t>(maxLength, head_.size() - at_));
      std::memcpy(buffer, head_.data() + at_, n);
      at_ += n;
      if (at_ == head_.size()) {
        std::string().swap(head_);  // replayed: the memory goes back
        at_ = 0;
      }
      return static_cast<std::int64_t>(n);
    }
    if (input_->status() == StreamStatus::AtEnd) return 0;
    return input_->read(buffer, maxLength);
  }
  bool hasBytesAvailable() const override {
    return opened_ && !closed_ && (at_ < head_.size() || input_->hasBytesAvailable());
  }
  bool getBuffer(const std::uint8_t*&, std::uint64_t&) override { return false; }
  std::optional<std::string> streamError() const override { return input_->streamError(); }

 private:
  std::shared_ptr<InputStream> input_;
  std::string head_;
  std::size_t at_ = 0;
  bool opened_ = false;
  bool closed_ = false;
};

std::string delimiterName(char delimiter) {
  if (delimiter == '\t') return "tab";
  return std::string("'") + delimiter + "'";
}

}  // namespace

ContactFileSniff sniffContactFile(std::string_view head) {
  struct Candidate {
    std::string_view encoding;
    std::size_t width;
    bool bigEndian;
  };
  static constexpr std::array<Candidate, 5> kCandidates = {{{"UTF-8", 1, false},
                                                            {"UTF-16LE", 2, false},
                                                            {"UTF-16BE", 2, true},
                                                            {"UTF-32LE", 4, false},
                                                            {"UTF-32BE", 4, true}}};
  ContactFileSniff sniff;
  AsciiView best;
  if (const std::optional<ByteOrderMark> mark = byteOrderMarkOf(head.substr(0, 4))) {
    sniff.marked = true;
    sniff.encoding = std::string(mark->encoding);
    for (const Candidate& candidate : kCandidates) {
      if (candidate.encoding == mark->encoding)
        best = asciiView(head.substr(mark->length), candidate.width, candidate.bigEndian);
    }
  } else {
    // 8-bit text unless a wider encoding reads more ASCII characters.
    best = asciiView(head, 1, false);
    for (const Candidate& candidate : kCandidates) {
      if (candidate.width == 1) continue;
      AsciiView view = asciiView(head, candidate.width, candidate.bigEndian);
      if (view.text.size() > best.text.size()) {
        best = std::move(view);
        sniff.encoding = std::string(candidate.encoding);
      }
    }
  }
  sniff.blank = best.whole && std::all_of(best.text.begin(), best.text.end(), isBlank);
  if (beginsVCard(best.text, best.whole)) sniff.format = ContactFileFormat::VCard;
  return sniff;
}

std::string describeContactFile(const ContactFileSummary& summary) {
  if (summary.format == ContactFileFormat::VCard) return "vCard, " + summary.encoding;
  return summary.layout + ", " + summary.language + ", " + delimiterName(summary.delimiter) + ", " +
         summary.encoding;
}

struct ContactFileReader::Readers {
  std::shared_ptr<InputStream> input;
  bool closeInput = false;  // the reader opened input
  std::unique_ptr<VCardContactReader> vcard;
  std::unique_ptr<ContactCsvReader> csv;
  bool csvOpened = false;  // csv has read the header: its columns are there

  ~Readers() {
    vcard.reset();
    csv.reset();
    if (closeInput) input->close();
  }
};

ContactFileReader::ContactFileReader() = default;
ContactFileReader::~ContactFileReader() = default;

void ContactFileReader::close() {
  readers_.reset();
  sniff_ = {};
  summary_ = {};
  totalBytes_.reset();
  errorLine_ = 0;
  errorReason_.clear();
  failed_ = false;
}

bool ContactFileReader::fail(std::uint64_t line, std::string reason) {
  errorLine_ = line;
  errorReason_ = std::move(reason);
  failed_ = true;
  return false;
}

bool ContactFileReader::open(const std::filesystem::path& path) {
  std::error_code sizeError;
  const std::uintmax_t size = std::filesystem::file_size(path, sizeError);
  std::filesystem::path base = path.parent_path();
  if (base.empty()) base = ".";
  return open(makeFileInputStream(pathToUtf8(path)),
              sizeError ? std::nullopt : std::optional<std::uint64_t>(size), std::move(base));
}

bool ContactFileReader::open(std::shared_ptr<InputStream> input, std::optional<std::uint64_t> size,
                             std::filesystem::path photoBase) {
  close();
  totalBytes_ = size;
  if (!input) return fail(0, "no input");
  readers_ = std::make_unique<Readers>();
  Readers& r = *readers_;
  r.input = input;
  r.closeInput = input->status() == StreamStatus::NotOpen;
  if (r.closeInput) input->open();
  if (input->status() == StreamStatus::Error)
    return fail(0, input->streamError().value_or("cannot open the input"));

  // The head: enough bytes to see the format, or all of a blank start up to a limit.
  std::string head;
  for (std::size_t want = kSniffBytes;;) {
    const std::size_t held = head.size();
    head.resize(want);
    std::int64_t got = 0;
    std::size_t filled = held;
    while (filled < want &&
           (got = input->read(reinterpret_cast<std::uint8_t*>(head.data() + filled),
                              want - filled)) > 0)
      filled += static_cast<std::size_t>(got);
    head.resize(filled);
    if (got < 0) return fail(0, input->streamError().value_or("read error"));
    sniff_ = sniffContactFile(head);
    if (got == 0) break;
    if (!sniff_.blank) break;
    if (head.size() >= kMaxBlankBytes) {
      sniff_.blank = false;  // taken for CSV; what follows is not known
      break;
    }
    want = head.size() * 2;
  }
  if (sniff_.blank) return fail(0, "no header line (an empty file)");

  summary_.format = sniff_.format;
  summary_.encoding = sniff_.encoding.empty() ? "UTF-8" : sniff_.encoding;
  auto stream = std::make_shared<ReplayStream>(input, std::move(head));
  if (sniff_.format == ContactFileFormat::VCard) {
    r.vcard = std::make_unique<VCardContactReader>();
    if (!encoding_.empty()) r.vcard->setEncoding(encoding_);
    if (!r.vcard->open(stream)) return fail(0, r.vcard->errorReason());
    summary_.encoding = r.vcard->encoding();
    return true;
  }
  r.csv = std::make_unique<ContactCsvReader>();
  r.csv->setStrict(strict_);
  if (delimiter_ != 0) r.csv->setDelimiter(delimiter_);
  if (!encoding_.empty()) r.csv->setEncoding(encoding_);
  const bool opened = r.csv->open(stream, std::move(photoBase));
  takeCsvSummary();
  if (!opened) return fail(r.csv->errorLine(), r.csv->errorReason());
  r.csvOpened = true;
  summary_.delimiter = r.csv->delimiter();
  summary_.encoding = r.csv->encoding();
  summary_.layout = r.csv->columns().layoutName();
  summary_.language = r.csv->columns().languageName();
  return true;
}

const ContactCsvColumns* ContactFileReader::csvColumns() const {
  return readers_ && readers_->csvOpened ? &readers_->csv->columns() : nullptr;
}

ContactFileReader::Next ContactFileReader::next(ContactInfo& contact) {
  if (failed_ || !readers_) return Next::Error;
  Readers& r = *readers_;
  if (r.vcard) {
    // Read aside: a strict reader refuses a contact whose text had bytes replaced.
    ContactInfo read;
    const VCardContactReader::Next next = r.vcard->next(read);
    if (next == VCardContactReader::Next::Error) {
      fail(0, r.vcard->errorReason());
      return Next::Error;
    }
    const DecodeDamage& damage = r.vcard->undecodable();
    summary_.replaced = damage.count;
    if (summary_.replacedLines.size() != damage.lines.size()) summary_.replacedLines = damage.lines;
    if (strict_ && damage.count > 0) {
      // The reader decodes ahead of the records: the first such line may lie a little ahead.
      fail(damage.lines.empty() ? 0 : damage.lines.front(),
           "bytes that are not valid " + r.vcard->encoding() + " text");
      return Next::Error;
    }
    if (next == VCardContactReader::Next::End) return Next::End;
    contact = std::move(read);
  } else {
    const ContactCsvReader::Next next = r.csv->next(contact);
    takeCsvSummary();
    switch (next) {
      case ContactCsvReader::Next::Contact:
        break;
      case ContactCsvReader::Next::End:
        return Next::End;
      case ContactCsvReader::Next::Error:
        fail(r.csv->errorLine(), r.csv->errorReason());
        return Next::Error;
    }
  }
  ++summary_.contacts;
  summary_.numbers += contact.groupNumber.arrItem.size();
  summary_.emails += contact.groupEmail.arrItem.size();
  return Next::Contact;
}

void ContactFileReader::takeCsvSummary() {
  const ContactCsvSummary& csv = readers_->csv->summary();
  if (summary_.unplaced.size() != csv.unplaced.size() ||
      summary_.replacedLines.size() != csv.undecodableLines.size()) {
    summary_.unplaced = csv.unplaced;
    summary_.replacedLines = csv.undecodableLines;
  } else {
    // Same columns and lines: the counts only.
    for (std::size_t i = 0; i < csv.unplaced.size(); ++i)
      summary_.unplaced[i].second = csv.unplaced[i].second;
  }
  summary_.replaced = csv.undecodable;
}

std::uint64_t ContactFileReader::bytesRead() const {
  if (!readers_) return 0;
  if (readers_->vcard) return readers_->vcard->bytesRead();
  if (readers_->csv) return readers_->csv->bytesRead();
  return 0;
}

}  // namespace xr
