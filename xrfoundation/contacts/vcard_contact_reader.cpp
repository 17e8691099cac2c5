// contacts/vcard_contact_reader.cpp: the stream form of the vCard import. The input is read in
// blocks into one text that holds only what the record cutter still needs (the open record, or
// the line it has not yet seen whole); a UTF-16 or UTF-32 input is converted block by block.
#include "xrfoundation/contacts/vcard_contact_reader.h"

#include <fmt/format.h>

#include <algorithm>
#include <string_view>
#include <utility>

#include "xrfoundation/contacts/vcard_record_internal.h"
#include "xrfoundation/platform/charset.h"

namespace xr {
namespace {

// Four bytes tell every byte order mark apart (FF FE begins both UTF-16LE's and UTF-32LE's).
constexpr std::size_t kMarkBytes = 4;

}  // namespace

struct VCardContactReader::State {
  std::shared_ptr<InputStream> stream;
  std::size_t blockSize = 0;
  bool opened = false;
  bool shouldClose = false;
  bool endSeen = false;  // the stream has reported its end: the text's end is the input's
  std::unique_ptr<CharsetConverter> converter;  // for input with a UTF-16 or UTF-32 mark
  std::string_view encoding;                    // the mark's encoding, for messages
  std::string raw;                              // a block before conversion
  std::string text;                             // UTF-8 text from the cutter's keepFrom() on
  std::uint64_t bytesRead = 0;
  std::string error;
  bool errorReported = false;  // next() has given Error
  vcard_internal::RecordCutter cutter;
  vcard_internal::RecordParser records;

  bool fail(std::string reason) {
    error = std::move(reason);
    return false;
  }

  // Drops what the cutter no longer needs, then reads one more block, or as many bytes as the
  // text still holds when that is more: a line longer than a block is then scanned again a
  // logarithmic number of times, not once per block. False at the end of the input or on
  // failure.
  bool fetch() {
    if (endSeen || !error.empty()) return false;
    const std::size_t keep = cutter.keepFrom();
    if (keep > 0) {
      text.erase(0, keep);
      cutter.dropped(keep);
    }
    const std::size_t want = std::max(blockSize, text.size());
    for (;;) {
      std::string& into = converter ? raw : text;
      const std::size_t held = converter ? 0 : text.size();
      into.resize(held + want);
      const std::int64_t got =
          stream->read(reinterpret_cast<std::uint8_t*>(into.data() + held), want);
      into.resize(held + static_cast<std::size_t>(std::max<std::int64_t>(got, 0)));
      if (got < 0) return fail(stream->streamError().value_or("read error"));
      if (got == 0) {
        endSeen = true;
        if (converter && converter->hasPendingBytes())
          return fail(fmt::format("the input ends inside a {} character", encoding));
        return false;
      }
      bytesRead += static_cast<std::uint64_t>(got);
      if (!converter) return true;
      const std::size_t before = text.size();
      if (!converter->convert(raw, text))
        return fail(fmt::format("the input is not valid {}", encoding));
      if (text.size() > before) return true;
    }
  }

  // Reads the first bytes and passes over a byte order mark, converting from here on after a
  // UTF-16 or UTF-32 one.
  bool start() {
    // A pipe may deliver fewer bytes per read than a mark takes.
    while (text.size() < kMarkBytes && fetch()) {
    }
    if (!error.empty()) return false;
    const std::optional<ByteOrderMark> mark = byteOrderMarkOf(text);
    if (!mark) return true;
    if (mark->encoding == "UTF-8") {
      text.erase(0, mark->length);
      return true;
    }
    encoding = mark->encoding;
    converter = CharsetConverter::toUtf8(std::string(encoding));
    if (!converter)
      return fail(fmt::format("the input is {} text and this system cannot convert it", encoding));
    const std::string rest = text.substr(mark->length);
    text.clear();
    // Bad text is next()'s Error, after the records before it.
    if (!converter->convert(rest, text)) fail(fmt::format("the input is not valid {}", encoding));
    return true;
  }
};

VCardContactReader::VCardContactReader(std::size_t blockSize) : state_(std::make_unique<State>()) {
  state_->blockSize = std::max<std::size_t>(blockSize, 1);
}

VCardContactReader::~VCardContactReader() { close(); }

bool VCardContactReader::open(std::shared_ptr<InputStream> input) {
  close();
  const std::size_t blockSize = state_->blockSize;
  state_ = std::make_unique<State>();
  State& s = *state_;
  s.blockSize = blockSize;
  s.stream = std::move(input);
  s.opened = true;
  if (!s.stream) return s.fail("no input");
  s.shouldClose = s.stream->status() == StreamStatus::NotOpen;
  if (s.shouldClose) s.stream->open();
  if (s.stream->status() == StreamStatus::Error)
    return s.fail(s.stream->streamError().value_or("cannot open the input"));
  return s.start();
}

void VCardContactReader::close() {
  State& s = *state_;
  if (!s.opened) return;
  s.opened = false;
  if (s.shouldClose) s.stream->close();
  s.shouldClose = false;
  std::string().swap(s.text);
  std::string().swap(s.raw);
  s.converter.reset();
}

VCardContactReader::Next VCardContactReader::next(ContactInfo& contact) {
  State& s = *state_;
  if (s.errorReported) return Next::Error;
  if (!s.opened) return s.error.empty() ? Next::End : Next::Error;
  for (;;) {
    std::string_view body;
    // A failure ends the text short of the input's end: a record open there is not complete.
    switch (s.cutter.next(s.text, s.endSeen && s.error.empty(), body)) {
      case vcard_internal::RecordCutter::Step::Record: {
        ContactInfo read;
        s.records.read(body, s.cutter.lines(), read);
        contact = std::move(read);
        return Next::Contact;
      }
      case vcard_internal::RecordCutter::Step::End:
        return Next::End;
      case vcard_internal::RecordCutter::Step::NeedMore:
        // After a failure the text read before it is cut first: its whole records are good.
        if (!s.error.empty()) {
          s.errorReported = true;
          return Next::Error;
        }
        s.fetch();
        break;
    }
  }
}

const std::string& VCardContactReader::errorReason() const { return state_->error; }

std::uint64_t VCardContactReader::bytesRead() const { return state_->bytesRead; }

}  // namespace xr
