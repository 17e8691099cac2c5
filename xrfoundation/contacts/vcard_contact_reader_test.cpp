// The vCard import over a stream: the same contacts as the whole-text import however the input
// is cut into reads, the position it reports, where it stops, and its failures.
#include "xrfoundation/contacts/vcard_contact_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "xrfoundation/contacts/testing/contact_text.h"
#include "xrfoundation/contacts/testing/wide_text.h"
#include "xrfoundation/contacts/vcard_parser.h"
#include "xrfoundation/platform/testing/encoded_samples.h"
#include "xrfoundation/platform/testing/fake_input_stream.h"
#include "xrfoundation/platform/testing/heap_usage.h"

namespace xr {
namespace {

using Next = VCardContactReader::Next;
using testing::contactText;
using testing::utf16le;

// A contact as text with its photo's bytes, so that two imports compare whole.
std::string signature(const ContactInfo& contact) {
  const std::vector<uint8_t> photo =
      contact.icon ? contact.icon->jpegRepresentation() : std::vector<uint8_t>();
  return contactText(contact) + std::string(photo.begin(), photo.end());
}

std::string card(const std::string& name) {
  return "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:" + name + "\r\nNOTE:" + std::string(200, 'x') +
         "\r\nEND:VCARD\r\n";
}

TEST(VCardContactReader, ReadsWhatTheWholeTextImportReadsHoweverTheInputIsCut) {
  const std::string two = card("Ann") + card("Bob");
  std::string crcrlf, lone;
  for (const char c : two) {
    crcrlf += c == '\n' ? "\r\n" : std::string(1, c);
    if (c != '\n') lone += c;
  }
  const std::pair<const char*, std::string> rows[] = {
      {"UTF-8 marks, files joined", "\xEF\xBB\xBF" + two + "\xEF\xBB\xBF" + two},
      {"UTF-16LE mark", utf16le(two)},
      {"CR CR LF line ends", crcrlf},
      {"lone CR line ends, record cut short", lone.substr(0, lone.size() - 5)},
      {"folded lines",
       "BEGIN:VCARD\nFN:A\n nn\nNOTE;ENCODING=QUOTED-PRINTABLE:a=\n=3Db\nEND:VCARD"},
      {"2.1 folds beside soft breaks",
       "BEGIN:VCARD\r\nVERSION:2.1\r\nFN:An\r\n example\r\n"
       "NOTE;ENCODING=QUOTED-PRINTABLE:x=3D=\r\ny\r\nEND:VCARD\r\n" +
           two},
      {"folds that read END and BEGIN",
       "BEGIN:VCARD\nNOTE:a\n END:VCARD\n BEGIN:VCARD\nFN:Ann\nEND:VCARD\n" + two},
      {"stray END, text between",
       "END:VCARD\r\njunk\r\n" + card("Ann") + "junk\r\nEND:VCARD\r\n" + card("Bob")},
      {"nested AGENT",
       "BEGIN:VCARD\nAGENT:\nBEGIN:VCARD\nFN:In\nEND:VCARD\nFN:Out\nEND:VCARD\n" + two},
      {"no record", "no record\r\n"},
      {"empty", ""},
  };
  for (const auto& [what, input] : rows) {
    std::vector<std::string> expected;
    for (const ContactInfo& contact : contactsFromVCards(input))
      expected.push_back(signature(contact));
    // Reads of 1 to 7 bytes end blocks at every place in a line end, a mark and a record.
    for (const std::size_t block : {1, 2, 3, 7, 64, 4096}) {
      auto stream = std::make_shared<testing::FakeInputStream>(input);
      stream->setChunkLimit(block);
      VCardContactReader reader(block);
      ASSERT_TRUE(reader.open(stream)) << what << ": " << reader.errorReason();
      std::vector<std::string> read;
      std::uint64_t position = reader.bytesRead();
      ContactInfo contact;
      for (;;) {
        contact.nickname = "from the contact before";  // replaced with the rest
        const Next next = reader.next(contact);
        EXPECT_GE(reader.bytesRead(), position) << what << ", block " << block;
        position = reader.bytesRead();
        if (next != Next::Contact) {
          EXPECT_EQ(next, Next::End) << what << ", block " << block;
          break;
        }
        read.push_back(signature(contact));
      }
      EXPECT_EQ(reader.bytesRead(), input.size()) << what << ", block " << block;
      ASSERT_EQ(read, expected) << what << ", block " << block;
    }
  }
}

TEST(VCardContactReader, ReadsNoFurtherThanTheCallerAsks) {
  std::string input;
  for (int n = 0; n < 2000; ++n) input += card("Ann " + std::to_string(n));
  constexpr std::size_t kBlock = 4096;
  auto stream = std::make_shared<testing::FakeInputStream>(input);
  VCardContactReader reader(kBlock);
  ASSERT_TRUE(reader.open(stream));
  ContactInfo contact;
  for (int n = 0; n < 10; ++n) ASSERT_EQ(reader.next(contact), Next::Contact);
  EXPECT_EQ(contact.displayName, "Ann 9");
  // A caller that cancels stops asking: the reader has taken at most a block beyond the tenth
  // record, and no more until asked.
  EXPECT_LE(reader.bytesRead(), 10 * card("Ann 9").size() + kBlock);
  EXPECT_EQ(stream->delivered(), reader.bytesRead());
  reader.close();
  EXPECT_EQ(stream->closeCalls(), 1);
  EXPECT_EQ(reader.next(contact), Next::End);
  EXPECT_EQ(contact.displayName, "Ann 9");
}

TEST(VCardContactReader, FailuresEndTheReadingAfterTheRecordsBeforeThem) {
  // The stream fails inside the second record.
  const std::string ann = "BEGIN:VCARD\r\nFN:Ann\r\nEND:VCARD\r\n";
  for (const std::size_t block : {std::size_t{4}, VCardContactReader::kDefaultBlockSize}) {
    auto stream = std::make_shared<testing::FakeInputStream>(ann + ann);
    stream->setFailAt(ann.size() + 5);
    VCardContactReader reader(block);
    ASSERT_TRUE(reader.open(stream));
    ContactInfo contact;
    EXPECT_EQ(reader.next(contact), Next::Contact) << "block " << block;
    contact.nickname = "kept";
    EXPECT_EQ(reader.next(contact), Next::Error) << "block " << block;
    EXPECT_EQ(reader.errorReason(), "injected read error");
    EXPECT_EQ(reader.next(contact), Next::Error) << "block " << block;
    EXPECT_EQ(contact.displayName, "Ann") << "block " << block;
    EXPECT_EQ(contact.nickname, "kept") << "block " << block;
  }
  VCardContactReader reader;
  EXPECT_FALSE(reader.open(makeFileInputStream("/nonexistent/contacts.vcf")));
  EXPECT_NE(reader.errorReason().find("/nonexistent/contacts.vcf"), std::string::npos);
  ContactInfo contact;
  EXPECT_EQ(reader.next(contact), Next::Error);
  VCardContactReader unknown;
  unknown.setEncoding("no-such-encoding");
  EXPECT_FALSE(unknown.open(std::make_shared<testing::FakeInputStream>(ann)));
  EXPECT_EQ(unknown.errorReason(), "unknown encoding \"no-such-encoding\"");
}

TEST(VCardContactReader, MemoryStaysBoundedByTheBlockAndTheLongestRecord) {
  if (!testing::heapBytesInUse()) GTEST_SKIP() << "the heap cannot be measured in this build";
  constexpr std::size_t kRecords = 50000;  // about 13 MB of vCards, held by the stream
  std::string input;
  for (std::size_t n = 0; n < kRecords; ++n) input += card("Ann " + std::to_string(n));
  auto stream = std::make_shared<testing::FakeInputStream>(std::move(input));
  stream->open();  // the caller's to close
  VCardContactReader reader(64 * 1024);
  ASSERT_TRUE(reader.open(stream));
  const std::size_t before = *testing::heapBytesInUse();
  std::size_t peak = before, records = 0;
  ContactInfo contact;
  while (reader.next(contact) == Next::Contact) {
    if (++records % 500 == 0) peak = std::max(peak, *testing::heapBytesInUse());
  }
  EXPECT_EQ(records, kRecords);
  EXPECT_GT(reader.bytesRead(), kRecords * 250);
  EXPECT_LT(peak - before, std::size_t{1} << 20);
  reader.close();
  EXPECT_EQ(stream->closeCalls(), 0);
}

struct VCardRead {
  std::vector<std::string> names;  // display names
  std::vector<std::string> notes;  // every note, in order
  std::string encoding;
  DecodeDamage damage;
};

VCardRead readVCards(const std::string& input, std::optional<std::string> encoding = {},
                     std::size_t blockSize = VCardContactReader::kDefaultBlockSize) {
  VCardContactReader reader(blockSize);
  reader.setEncoding(std::move(encoding));
  VCardRead read;
  EXPECT_TRUE(reader.open(std::make_shared<testing::FakeInputStream>(input)));
  ContactInfo contact;
  while (reader.next(contact) == VCardContactReader::Next::Contact) {
    read.names.push_back(contact.displayName.value_or(""));
    for (const auto& note : contact.groupNote.arrItem) read.notes.push_back(note.note.value_or(""));
  }
  read.encoding = reader.encoding();
  read.damage = reader.undecodable();
  return read;
}

std::vector<std::string_view> linesOf(std::string_view text) {
  std::vector<std::string_view> lines;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t end = text.find('\n', at);
    lines.push_back(text.substr(at, end - at));
    at = end + 1;
  }
  return lines;
}

TEST(VCardContactReader, ReadsLegacyExportsWhereCharsetParametersWin) {
  // A phone's export of each sample's rows: no CHARSET on the names and notes, which are in
  // the file's encoding, and one note that names its own.
  for (const testing::EncodedSample& sample : testing::encodedSamples()) {
    const auto encodedRows = linesOf(sample.bytes);
    const auto rows = linesOf(sample.utf8);
    std::string file;
    std::vector<std::string> names;
    for (std::size_t i = 1; i < encodedRows.size(); ++i) {
      const std::string_view row = encodedRows[i];
      const std::string_view name = row.substr(0, row.find(','));
      const std::string_view note = row.substr(row.rfind(',') + 1);
      file += "BEGIN:VCARD\r\nVERSION:2.1\r\nFN:" + std::string(name) +
              "\r\nNOTE:" + std::string(note) +
              "\r\nNOTE;CHARSET=UTF-8:Caf\xC3\xA9\r\nEND:VCARD\r\n";
      names.emplace_back(rows[i].substr(0, rows[i].find(',')));
    }
    const VCardRead told = readVCards(file, std::string(sample.encoding));
    EXPECT_EQ(told.names, names) << sample.encoding;
    ASSERT_EQ(told.notes.size(), 6u) << sample.encoding;
    EXPECT_EQ(told.notes[0], rows[1].substr(rows[1].rfind(',') + 1)) << sample.encoding;
    EXPECT_EQ(told.notes[1], "Caf\xC3\xA9") << sample.encoding;
    EXPECT_EQ(told.damage.count, 0u) << sample.encoding;
    if (sample.encoding == "ISO-8859-2") continue;  // guessed as Windows-1250
    const VCardRead detected = readVCards(file);
    EXPECT_EQ(detected.names, names) << sample.encoding << " read as " << detected.encoding;
    // Plain ASCII records fill the first block: the encoding is learnt where it shows.
    std::string ascii;
    for (int i = 0; i < 10; ++i) ascii += card("Ann");
    const VCardRead late = readVCards(ascii + file, std::nullopt, 2048);
    names.insert(names.begin(), 10, "Ann");
    EXPECT_EQ(late.names, names) << sample.encoding << " read as " << late.encoding;
    EXPECT_EQ(late.encoding, detected.encoding);
  }
}

}  // namespace
}  // namespace xr
