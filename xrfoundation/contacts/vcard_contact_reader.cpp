// contacts/vcard_contact_reader.cpp: the stream form of the vCard import. The input is read in
// blocks into one text that holds only what the record cutter still needs (the open record, or
// the line it has not yet seen whole); a UTF-16 or UTF-32 input is converted block by block. A
// legacy input stays as it is (a value's CHARSET parameter must meet its own bytes); its
// encoding goes to the record parser, and a second decoder only checks the bytes.
#include "xrfoundation/contacts/vcard_contact_reader.h"

#include <fmt/format.h>

#include <algorithm>
#include <string_view>
#include <utility>

#include "xrfoundation/contacts/vcard_record_internal.h"
#include "xrfoundation/platform/charset.h"
#include "xrfoundation/platform/text_encoding.h"
#include "xrfoundation/platform/utf8_internal.h"

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
  std::optional<std::string> given;        // the encoding setEncoding() named
  std::unique_ptr<TextDecoder> converter;  // for UTF-16 and UTF-32 input
  std::unique_ptr<TextDecoder> checker;    // for legacy input: counts what it can't decode
  std::string checked;                     // the checker's output, dropped
  bool asciiSoFar = false;                 // UTF-8 so far only because all was ASCII
  std::string encoding = "UTF-8";          // display name
  DecodeDamage noDamage;
  std::string raw;   // a block before conversion
  std::string text;  // UTF-8 text from the cutter's keepFrom() on
  std::uint64_t bytesRead = 0;
  std::uint64_t droppedLines = 0;  // line breaks in the text dropped, while it was ASCII
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
      if (asciiSoFar) droppedLines = linesBefore(keep) - 1;
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
        if (converter) converter->decode({}, text, true);
        if (checker) check({}, true);
        return false;
      }
      bytesRead += static_cast<std::uint64_t>(got);
      if (!converter) {
        if (asciiSoFar) settleAscii(held);
        if (checker) check(std::string_view(text).substr(held), false);
        return true;
      }
      const std::size_t before = text.size();
      converter->decode(raw, text);
      if (text.size() > before) return true;
    }
  }

  void check(std::string_view bytes, bool last) {
    checker->decode(bytes, checked, last);
    checked.clear();
  }

  // A legacy encoding from here on: records read later take it for their values.
  void useLegacy(const std::string& name, std::uint64_t line) {
    checker = TextDecoder::create(name, line);
    if (!checker) return;
    encoding = checker->encoding();
    records.setFileCharset(encoding);
  }

  // While the input has been plain ASCII: whether the bytes from held on show its encoding.
  void settleAscii(std::size_t held) {
    const auto settled = encodingAfterAscii(text, 0, held, endSeen);
    if (!settled) return;
    const auto& [from, ascii, later] = *settled;
    const std::string_view fresh = std::string_view(text).substr(from);
    asciiSoFar = false;
    if (later.basis == EncodingBasis::Guessed) useLegacy(later.name, linesBefore(from));
    if (checker) check(fresh.substr(0, held - from), false);  // checked from held on by fetch()
  }

  // The line that text[at] is on, counting what was dropped before (by its LFs: the line ends
  // of vCard files).
  std::uint64_t linesBefore(std::size_t at) const {
    return droppedLines +
           static_cast<std::uint64_t>(std::count(text.begin(), text.begin() + at, '\n')) + 1;
  }

  // Reads the first bytes, passes over a byte order mark and learns the encoding: UTF-16 and
  // UTF-32 are converted from here on, a legacy encoding goes to the record parser.
  bool start() {
    // A pipe may deliver fewer bytes per read than a mark takes; the first block is the sample
    // of a legacy encoding, so that no more is read than the first record needs.
    while (text.size() < kMarkBytes && fetch()) {
    }
    if (!error.empty()) return false;
    DetectedEncoding found;
    if (given) {
      const std::optional<std::string> name = encodingDisplayName(*given);
      if (!name && !TextDecoder::create(*given)) return fail("unknown encoding \"" + *given + "\"");
      found.name = name.value_or(*given);
      found.basis = EncodingBasis::Given;
      const std::optional<ByteOrderMark> mark = byteOrderMarkOf(text);
      if (mark && mark->encoding == found.name) found.markLength = mark->length;
    } else {
      found = detectEncoding(text, endSeen);
    }
    encoding = found.name;
    if (found.name == "UTF-8") {
      text.erase(0, found.markLength);
      asciiSoFar = found.asciiOnly;
      return true;
    }
    if (!found.name.starts_with("UTF-")) {
      useLegacy(found.name, 1);
      if (!checker)
        return fail(
            fmt::format("the input is {} text and this system cannot convert it", found.name));
      check(text, endSeen);
      return true;
    }
    converter = TextDecoder::create(found.name);
    if (!converter)
      return fail(
          fmt::format("the input is {} text and this system cannot convert it", found.name));
    const std::string rest = text.substr(found.markLength);
    text.clear();
    converter->decode(rest, text, endSeen);
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
  std::optional<std::string> given = std::move(state_->given);
  state_ = std::make_unique<State>();
  State& s = *state_;
  s.blockSize = blockSize;
  s.given = std::move(given);
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

void VCardContactReader::setEncoding(std::optional<std::string> encoding) {
  state_->given = std::move(encoding);
}

const std::string& VCardContactReader::encoding() const { return state_->encoding; }

const DecodeDamage& VCardContactReader::undecodable() const {
  const State& s = *state_;
  if (s.converter) return s.converter->damage();
  return s.checker ? s.checker->damage() : s.noDamage;
}

std::uint64_t VCardContactReader::bytesRead() const { return state_->bytesRead; }

}  // namespace xr
