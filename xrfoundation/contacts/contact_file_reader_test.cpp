// The one import for any contacts file: the format told by the content (marks, UTF-16 and
// UTF-32 without a mark, blank lines, look-alikes), the same results over both formats, the
// progress up to the input's size, and the errors with their lines.
#include "xrfoundation/contacts/contact_file_reader.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <tuple>

#include "xrfoundation/contacts/testing/wide_text.h"
#include "xrfoundation/platform/testing/fake_input_stream.h"
#include "xrfoundation/platform/testing/test_images.h"

namespace xr {
namespace {

using Next = ContactFileReader::Next;
using testing::wide;

TEST(ContactFileSniff, TellsTheFormatByTheContent) {
  const std::string vcard = "BEGIN:VCARD\r\nFN:Ann\r\nEND:VCARD\r\n";
  using F = ContactFileFormat;
  // What a row shows, the head, and the format, encoding and blankness told of it.
  const std::tuple<const char*, std::string, F, const char*, bool> rows[] = {
      {"lower case, blanks", "\r\n \n\t\r\n  begin:vcard \t\nFN:A\n", F::VCard, "", false},
      {"UTF-8 mark", "\xEF\xBB\xBF" + vcard, F::VCard, "UTF-8", false},
      {"UTF-16LE mark", "\xFF\xFE" + wide("\r\n" + vcard, 2, false), F::VCard, "UTF-16LE", false},
      {"UTF-16LE, no mark", wide("\n" + vcard, 2, false), F::VCard, "UTF-16LE", false},
      {"UTF-32LE, no mark", wide(vcard, 4, false), F::VCard, "UTF-32LE", false},
      {"nothing after the line", "BEGIN:VCARD", F::VCard, "", false},
      {"CSV with ; after it", "begin:vcard;Phone\n", F::Csv, "", false},
      {"a longer word", "BEGIN:VCARDS\r\n", F::Csv, "", false},
      {"a letter beyond ASCII after it", "BEGIN:VCARD\xC3\xA9\r\n", F::Csv, "", false},
      {"the line later", "Name\r\nBEGIN:VCARD\r\n", F::Csv, "", false},
      {"blank lines", "\r\n\r\n \t\n", F::Csv, "", true},
      {"a mark and blank lines", "\xFF\xFE" + wide("\r\n\r\n", 2, false), F::Csv, "UTF-16LE", true},
      {"cut short", "BEGIN:VCA", F::Csv, "", false},
  };
  for (const auto& [what, head, format, encoding, blank] : rows) {
    const ContactFileSniff sniff = sniffContactFile(head);
    EXPECT_EQ(sniff.format, format) << what;
    EXPECT_EQ(sniff.encoding, encoding) << what;
    EXPECT_EQ(sniff.blank, blank) << what;
  }
}

// Names and numbers of every contact, and the reader's end, as one text.
std::string readAll(ContactFileReader& reader) {
  std::string out;
  ContactInfo contact;
  Next next;
  while ((next = reader.next(contact)) == Next::Contact) {
    out += contact.givenName.value_or("?") + " " + contact.familyName.value_or("?") + ":";
    // Appended piece by piece: g++ 12 at -O3 warns wrongly about "text" + std::string&&.
    for (const auto& item : contact.groupNumber.arrItem) (out += ' ') += item.mobile.value_or("?");
    for (const auto& item : contact.groupEmail.arrItem) (out += ' ') += item.email.value_or("?");
    out += "\n";
  }
  if (next == Next::Error)
    ((out += "error at ") += std::to_string(reader.errorLine()) + ": ") += reader.errorReason();
  return out;
}

// readAll's text of a reader with these options over text ("not opened" when it opens
// nothing), and its summary.
struct Read {
  std::string text;
  ContactFileSummary summary;
};
Read readWith(const std::string& text, std::optional<std::string> encoding = std::nullopt,
              bool strict = false, std::optional<char> delimiter = std::nullopt) {
  ContactFileReader reader;
  if (encoding) reader.setEncoding(*encoding);
  if (delimiter) reader.setDelimiter(*delimiter);
  reader.setStrict(strict);
  if (!reader.open(makeDataInputStream(text))) return {"not opened", reader.summary()};
  std::string read = readAll(reader);
  return {std::move(read), reader.summary()};
}

const char kVCards[] =
    "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Lee;Ann;;;\r\nTEL:+44 20 7946 0018\r\n"
    "EMAIL:ann@example.org\r\nEND:VCARD\r\n"
    "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Ng;Cy;;;\r\nTEL:555 0100\r\nTEL:555 0101\r\nEND:VCARD\r\n";
const char kCsv[] =
    "Given Name,Family Name,Phone 1,Phone 2,Email 1\r\n"
    "Ann,Lee,+44 20 7946 0018,,ann@example.org\r\n"
    "Cy,Ng,555 0100,555 0101,\r\n";

TEST(ContactFileReader, GivesTheSameContactsAndCountsForEitherFormat) {
  const std::string expected =
      "Ann Lee: +44 20 7946 0018 ann@example.org\n"
      "Cy Ng: 555 0100 555 0101\n";
  // Also in UTF-16 without a mark, told by its zero bytes, and in UTF-32.
  const std::pair<std::string, const char*> inputs[] = {
      {kVCards, "vCard, UTF-8"},
      {kCsv, "this library's own, English, ',', UTF-8"},
      {wide(kVCards, 2, false), "vCard, UTF-16LE"},
      {wide(kVCards, 2, true), "vCard, UTF-16BE"},
      {wide(kCsv, 2, true), "this library's own, English, ',', UTF-16BE"},
      {std::string("\xFF\xFE\0\0", 4) + wide(kVCards, 4, false), "vCard, UTF-32LE"},
      {std::string("\0\0\xFE\xFF", 4) + wide(kVCards, 4, true), "vCard, UTF-32BE"},
  };
  for (const auto& [text, described] : inputs) {
    const bool isVCard = std::string_view(described).starts_with("vCard");
    // Few bytes per read, as from a pipe: the sniffing must gather its head across reads.
    auto stream = std::make_shared<testing::FakeInputStream>(text);
    stream->setChunkLimit(3);
    if (!isVCard) stream->open();  // the caller's to close
    {
      ContactFileReader reader;
      ASSERT_TRUE(reader.open(stream, text.size())) << reader.errorReason();
      EXPECT_EQ(reader.format(), isVCard ? ContactFileFormat::VCard : ContactFileFormat::Csv);
      EXPECT_EQ(reader.csvColumns() == nullptr, isVCard);
      EXPECT_EQ(readAll(reader), expected) << described;
      const ContactFileSummary& summary = reader.summary();
      EXPECT_EQ(summary.contacts, 2u);
      EXPECT_EQ(summary.numbers, 3u);
      EXPECT_EQ(summary.emails, 1u);
      EXPECT_EQ(reader.bytesRead(), text.size());
      EXPECT_EQ(describeContactFile(summary), described);
      EXPECT_EQ(stream->closeCalls(), 0) << "the input is closed with the reader";
    }
    EXPECT_EQ(stream->closeCalls(), isVCard ? 1 : 0) << described << ": closed if it opened it";
  }
}

// A large input of either format: the progress climbs to the input's size, and the reader
// never takes much more of the input than the contact it hands out needs.
TEST(ContactFileReader, ProgressClimbsToTheSizeAndReadsOnlyAhead) {
  std::string vcards, csv = "Given Name,Phone 1,Note\r\n";
  for (int i = 0; i < 20000; ++i) {
    const std::string n = std::to_string(i);
    vcards += "BEGIN:VCARD\r\nN:;P" + n + ";;;\r\nTEL:+1 555 " + n +
              "\r\nNOTE:" + std::string(100, 'x') + "\r\nEND:VCARD\r\n";
    csv += "P" + n + ",+1 555 " + n + "," + std::string(100, 'x') + "\r\n";
  }
  for (const std::string* text : {&vcards, &csv}) {
    ContactFileReader reader;
    ASSERT_TRUE(reader.open(makeDataInputStream(*text), text->size()));
    ASSERT_EQ(reader.totalBytes(), text->size());
    std::uint64_t last = 0, contacts = 0;
    ContactInfo contact;
    Next next;
    while ((next = reader.next(contact)) == Next::Contact) {
      const std::uint64_t read = reader.bytesRead();
      ASSERT_GE(read, last);
      ASSERT_LE(read, text->size());
      if (++contacts == 1) {
        EXPECT_LT(read, 1u << 20) << "the whole input was taken at once";
      }
      last = read;
    }
    ASSERT_EQ(next, Next::End) << reader.errorReason();
    EXPECT_EQ(contacts, 20000u);
    EXPECT_EQ(reader.bytesRead(), text->size());
  }
}

TEST(ContactFileReader, OpensAPathWithItsSizeAndPhotosBesideIt) {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() /
      ("contact_file_reader_" + std::to_string(std::random_device()()));
  std::filesystem::create_directories(folder);
  const std::vector<uint8_t> jpeg = testing::makeTestJpeg(4, 3);
  std::ofstream(folder / "p.jpg", std::ios::binary)
      .write(reinterpret_cast<const char*>(jpeg.data()), static_cast<std::streamsize>(jpeg.size()));
  const std::string text = "Given Name,Photo\r\nAnn,p.jpg\r\n";
  std::ofstream(folder / "c.csv", std::ios::binary) << text;

  ContactFileReader reader;
  ASSERT_TRUE(reader.open(folder / "c.csv")) << reader.errorReason();
  EXPECT_EQ(reader.totalBytes(), text.size());
  ContactInfo contact;
  ASSERT_EQ(reader.next(contact), Next::Contact) << reader.errorReason();
  ASSERT_TRUE(contact.icon);
  EXPECT_EQ(contact.icon->width(), 4);

  EXPECT_FALSE(reader.open(folder / "missing.csv"));
  EXPECT_EQ(reader.errorLine(), 0u);
  EXPECT_NE(reader.errorReason().find("missing.csv"), std::string::npos) << reader.errorReason();
  EXPECT_EQ(reader.next(contact), Next::Error);
  std::filesystem::remove_all(folder);
}

TEST(ContactFileReader, ErrorsNameTheirLineAndStay) {
  // What a row shows, the text, strictness, and readAll's text with its error.
  const std::tuple<const char*, std::string, bool, std::string> rows[] = {
      {"quote left open", "Given Name,Note\r\nAnn,x\r\nBob,\"open\r\nCy,y\r\n", false,
       "Ann ?:\nerror at 3: "},
      {"strict: a value without a place", "Given Name,Shoe Size\r\nAnn,\r\nBob,42\r\n", true,
       "Ann ?:\nerror at 3: \"42\" in column \"Shoe Size\" has no place in a contact"},
      {"a header only", "Given Name,Phone 1\r\n", false, ""},
  };
  for (const auto& [what, text, strict, expected] : rows) {
    ContactFileReader reader;
    reader.setStrict(strict);
    ASSERT_TRUE(reader.open(makeDataInputStream(text))) << what;
    const std::string got = readAll(reader);
    // The reason's own wording is the readers'; the start of it and the line are this one's.
    EXPECT_EQ(got.substr(0, expected.size()), expected) << what;
    if (got.find("error") != std::string::npos) {
      EXPECT_FALSE(reader.errorReason().empty()) << what;
      ContactInfo contact;
      EXPECT_EQ(reader.next(contact), Next::Error) << what << ": the error stays";
    } else {
      EXPECT_EQ(got, expected) << what;
    }
  }
  using Unplaced = std::vector<std::pair<std::string, std::uint64_t>>;
  EXPECT_EQ(readWith("Given Name,Shoe Size\r\nAnn,1\r\nBo,2\r\n").summary.unplaced,
            (Unplaced{{"Shoe Size", 2}}));
}

// What the CSV reader detected, or took from the options, comes back in the summary.
TEST(ContactFileReader, CsvOptionsAndWhatWasTaken) {
  // A German spreadsheet's export: semicolons, Windows-1252.
  const std::string latin =
      "Vorname;Nachname;Mobiltelefon\r\nJ\xFCrgen;M\xFCller;030 1234\r\n"
      "Fran\xE7oise;L\xE9vy;06\r\n";
  for (const bool told : {false, true}) {
    const Read read = readWith(latin, told ? std::optional<std::string>("latin1") : std::nullopt);
    EXPECT_EQ(read.text, "J\u00FCrgen M\u00FCller: 030 1234\nFran\u00E7oise L\u00E9vy: 06\n");
    EXPECT_EQ(describeContactFile(read.summary),
              std::string("desktop mail program, German, ';', ") +
                  (told ? "ISO-8859-1" : "Windows-1252"));
  }
  // Told ',', the header is one unknown title; an unknown encoding opens nothing.
  EXPECT_EQ(readWith(latin, std::nullopt, false, ',').text, "not opened");
  EXPECT_EQ(readWith(latin, "no-such-encoding").text, "not opened");
  // Bytes that UTF-8 does not explain are counted with their lines.
  const Read utf8 = readWith("Given Name,Phone 1\r\nAnn,1\r\nB\xFFo,2\r\n", "UTF-8");
  EXPECT_EQ(utf8.text, "Ann ?: 1\nB\uFFFDo ?: 2\n");
  EXPECT_EQ(utf8.summary.replaced, 1u);
  EXPECT_EQ(utf8.summary.replacedLines, std::vector<std::uint64_t>{3});
}

// The same for a vCard input: the encoding given, and bytes it does not explain.
TEST(ContactFileReader, VCardEncodingAndReplacedBytes) {
  const Read latin =
      readWith("BEGIN:VCARD\r\nN:M\xFCller;J\xFCrgen;;;\r\nTEL:1\r\nEND:VCARD\r\n", "Windows-1252");
  EXPECT_EQ(latin.text, "J\u00FCrgen M\u00FCller: 1\n");
  EXPECT_EQ(describeContactFile(latin.summary), "vCard, Windows-1252");
  // UTF-16 without a mark, with a lone surrogate on line 5.
  std::string bad = wide("BEGIN:VCARD\r\nN:Lee;Ann;;;\r\nEND:VCARD\r\n", 2, false);
  bad += wide("BEGIN:VCARD\r\nN:Ng;Cy;;;\r\nEND:VCARD\r\n", 2, false);
  bad.insert(bad.rfind(wide("y;", 2, false)), "\x00\xD8", 2);
  const Read lenient = readWith(bad);
  EXPECT_EQ(lenient.text, "Ann Lee:\nC\uFFFDy Ng:\n");
  EXPECT_EQ(lenient.summary.replacedLines, std::vector<std::uint64_t>{5});
  // Strict, nothing with a replaced byte is handed out; the error names the line.
  const std::string strict = readWith(bad, std::nullopt, true).text;
  EXPECT_EQ(strict.find("C\uFFFDy"), std::string::npos) << strict;
  EXPECT_NE(strict.find("error at 5: "), std::string::npos) << strict;
}

// A blank input, and a header without a field, open as no contacts file.
TEST(ContactFileReader, BlankInputOrAHeaderWithoutAFieldIsAnError) {
  for (const std::string text : {"", "\r\n\r\n", "\xEF\xBB\xBF\n", "Colour,Size\r\nred,2\r\n"}) {
    ContactFileReader reader;
    EXPECT_FALSE(reader.open(makeDataInputStream(text))) << ::testing::PrintToString(text);
    EXPECT_EQ(reader.blank(), text.size() < 5);
    EXPECT_EQ(reader.format(), ContactFileFormat::Csv);
    EXPECT_EQ(reader.csvColumns(), nullptr);
    EXPECT_FALSE(reader.errorReason().empty());
  }
}

}  // namespace
}  // namespace xr
