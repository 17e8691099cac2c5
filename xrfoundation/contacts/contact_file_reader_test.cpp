// The one import for any contacts file: the format told by the content (marks, UTF-16 and
// UTF-32 without a mark, blank lines, look-alikes), the same results over both formats, the
// progress up to the input's size, and the errors with their lines.
#include "xrfoundation/contacts/contact_file_reader.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>

#include "xrfoundation/platform/testing/fake_input_stream.h"
#include "xrfoundation/platform/testing/test_images.h"

namespace xr {
namespace {

using Next = ContactFileReader::Next;

std::string wide(std::string_view ascii, std::size_t width, bool bigEndian) {
  std::string out;
  for (const char c : ascii) {
    std::string unit(width, '\0');
    unit[bigEndian ? width - 1 : 0] = c;
    out += unit;
  }
  return out;
}

TEST(ContactFileSniff, TellsTheFormatByTheContent) {
  const std::string vcard = "BEGIN:VCARD\r\nFN:Ann\r\nEND:VCARD\r\n";
  const std::string csv = "Given Name,Phone 1\r\nAnn,1\r\n";
  struct Row {
    const char* what;
    std::string head;
    ContactFileFormat format;
    const char* encoding;
    bool blank;
  };
  using F = ContactFileFormat;
  const Row rows[] = {
      {"plain vCard", vcard, F::VCard, "", false},
      {"lower case, blank lines, spaces", "\r\n \n\t\r\n  begin:vcard \t\nFN:A\n", F::VCard, "",
       false},
      {"UTF-8 mark", "\xEF\xBB\xBF" + vcard, F::VCard, "UTF-8", false},
      {"UTF-16LE mark", "\xFF\xFE" + wide("\r\n" + vcard, 2, false), F::VCard, "UTF-16LE", false},
      {"UTF-16BE mark", "\xFE\xFF" + wide(vcard, 2, true), F::VCard, "UTF-16BE", false},
      {"UTF-16LE, no mark", wide("\n" + vcard, 2, false), F::VCard, "UTF-16LE", false},
      {"UTF-16BE, no mark", wide(vcard, 2, true), F::VCard, "UTF-16BE", false},
      {"UTF-32LE, no mark", wide(vcard, 4, false), F::VCard, "UTF-32LE", false},
      {"UTF-32BE mark", std::string("\0\0\xFE\xFF", 4) + wide(vcard, 4, true), F::VCard,
       "UTF-32BE", false},
      {"nothing after the line", "BEGIN:VCARD", F::VCard, "", false},
      {"CSV", csv, F::Csv, "", false},
      {"CSV, UTF-16LE, no mark", wide(csv, 2, false), F::Csv, "UTF-16LE", false},
      {"CSV, UTF-16BE mark", "\xFE\xFF" + wide(csv, 2, true), F::Csv, "UTF-16BE", false},
      {"CSV whose first title is BEGIN:VCARD", "BEGIN:VCARD,Phone\r\nx,1\r\n", F::Csv, "", false},
      {"CSV with ; after it", "begin:vcard;Phone\n", F::Csv, "", false},
      {"a longer word", "BEGIN:VCARDS\r\n", F::Csv, "", false},
      {"a letter beyond ASCII after it", "BEGIN:VCARD\xC3\xA9\r\n", F::Csv, "", false},
      {"the line later", "Name\r\nBEGIN:VCARD\r\n", F::Csv, "", false},
      {"8-bit CSV", "Vorname;Nachname\r\nJ\xFCrgen;M\xFCller\r\n", F::Csv, "", false},
      {"empty", "", F::Csv, "", true},
      {"blank lines", "\r\n\r\n \t\n", F::Csv, "", true},
      {"a mark and blank lines", "\xFF\xFE" + wide("\r\n\r\n", 2, false), F::Csv, "UTF-16LE",
       true},
      {"cut short", "BEGIN:VCA", F::Csv, "", false},
  };
  for (const Row& row : rows) {
    const ContactFileSniff sniff = sniffContactFile(row.head);
    EXPECT_EQ(sniff.format, row.format) << row.what;
    EXPECT_EQ(sniff.encoding, row.encoding) << row.what;
    EXPECT_EQ(sniff.blank, row.blank) << row.what;
  }
}

// Names and numbers of every contact, and the reader's end, as one text.
std::string readAll(ContactFileReader& reader) {
  std::string out;
  ContactInfo contact;
  Next next;
  while ((next = reader.next(contact)) == Next::Contact) {
    out += contact.givenName.value_or("?") + " " + contact.familyName.value_or("?") + ":";
    for (const auto& item : contact.groupNumber.arrItem) out += " " + item.mobile.value_or("?");
    for (const auto& item : contact.groupEmail.arrItem) out += " " + item.email.value_or("?");
    out += "\n";
  }
  if (next == Next::Error)
    out += "error at " + std::to_string(reader.errorLine()) + ": " + reader.errorReason();
  return out;
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
  struct Input {
    std::string text;
    bool isVCard;
    const char* described;
  };
  // Also in UTF-16 without a mark, told by its zero bytes.
  const Input inputs[] = {
      {kVCards, true, "vCard, UTF-8"},
      {kCsv, false, "this library's own, English, ',', UTF-8"},
      {wide(kVCards, 2, false), true, "vCard, UTF-16LE"},
      {wide(kCsv, 2, true), false, "this library's own, English, ',', UTF-16BE"},
  };
  for (const Input& input : inputs) {
    const std::string& text = input.text;
    // Few bytes per read, as from a pipe: the sniffing must gather its head across reads.
    auto stream = std::make_shared<testing::FakeInputStream>(text);
    stream->setChunkLimit(3);
    ContactFileReader reader;
    ASSERT_TRUE(reader.open(stream, text.size())) << reader.errorReason();
    EXPECT_EQ(reader.format(), input.isVCard ? ContactFileFormat::VCard : ContactFileFormat::Csv);
    EXPECT_EQ(reader.csvColumns() == nullptr, input.isVCard);
    EXPECT_EQ(readAll(reader), expected) << input.described;
    const ContactFileSummary& summary = reader.summary();
    EXPECT_EQ(summary.contacts, 2u);
    EXPECT_EQ(summary.numbers, 3u);
    EXPECT_EQ(summary.emails, 1u);
    EXPECT_EQ(reader.bytesRead(), text.size());
    EXPECT_EQ(describeContactFile(summary), input.described);
    EXPECT_EQ(stream->closeCalls(), 0) << "the input is closed with the reader";
  }
}

TEST(ContactFileReader, ClosesOnlyTheInputItOpened) {
  for (const bool openedByCaller : {false, true}) {
    auto stream = std::make_shared<testing::FakeInputStream>(kVCards);
    if (openedByCaller) stream->open();
    {
      ContactFileReader reader;
      ASSERT_TRUE(reader.open(stream));
      EXPECT_FALSE(readAll(reader).empty());
    }
    EXPECT_EQ(stream->closeCalls(), openedByCaller ? 0 : 1);
  }
}

// A large input of either format: the progress climbs to the input's size, and the reader
// never takes much more of the input than the contact it hands out needs.
TEST(ContactFileReader, ProgressClimbsToTheSizeAndReadsOnlyAhead) {
  std::string vcards, csv = "Given Name,Phone 1,Note\r\n";
  for (int i = 0; i < 20000; ++i) {
    const std::string n = std::to_string(i);
    vcards += "BEGIN:VCARD\r\nN:;P" + n + ";;;\r\nTEL:+1 555 " + n + "\r\nNOTE:" +
              std::string(100, 'x') + "\r\nEND:VCARD\r\n";
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
  struct Row {
    const char* what;
    std::string text;
    bool strict;
    bool opens;
    std::string expected;  // readAll's text, error included
  };
  const Row rows[] = {
      {"quote left open", "Given Name,Note\r\nAnn,x\r\nBob,\"open\r\nCy,y\r\n", false, true,
       "Ann ?:\nerror at 3: "},
      {"strict: a value without a place", "Given Name,Shoe Size\r\nAnn,\r\nBob,42\r\n", true,
       true, "Ann ?:\nerror at 3: \"42\" in column \"Shoe Size\" has no place in a contact"},
      {"not strict: counted", "Given Name,Shoe Size\r\nAnn,\r\nBob,42\r\n", false, true,
       "Ann ?:\nBob ?:\n"},
      {"a UTF-16 vCard cut inside a character, strict", "\xFF\xFE" + wide(kVCards, 2, false) + "x",
       true, true, "Ann Lee: +44 20 7946 0018 ann@example.org\nCy Ng: 555 0100 555 0101\nerror at "},
      {"a header only", "Given Name,Phone 1\r\n", false, true, ""},
  };
  for (const Row& row : rows) {
    ContactFileReader reader;
    reader.setStrict(row.strict);
    ASSERT_EQ(reader.open(makeDataInputStream(row.text)), row.opens) << row.what;
    const std::string got = readAll(reader);
    // The reason's own wording is the readers'; the start of it and the line are this one's.
    EXPECT_EQ(got.substr(0, row.expected.size()), row.expected) << row.what;
    if (got.find("error") != std::string::npos) {
      EXPECT_FALSE(reader.errorReason().empty()) << row.what;
      ContactInfo contact;
      EXPECT_EQ(reader.next(contact), Next::Error) << row.what << ": the error stays";
    } else {
      EXPECT_EQ(got, row.expected) << row.what;
    }
  }
  ContactFileReader strict;
  strict.setStrict(true);
  ASSERT_TRUE(strict.open(makeDataInputStream("Given Name,Shoe Size\r\nAnn,\r\n")));
  EXPECT_EQ(readAll(strict), "Ann ?:\n");

  ContactFileReader counting;
  ASSERT_TRUE(counting.open(makeDataInputStream("Given Name,Shoe Size\r\nAnn,1\r\nBo,2\r\n")));
  readAll(counting);
  using Unplaced = std::vector<std::pair<std::string, std::uint64_t>>;
  EXPECT_EQ(counting.summary().unplaced, (Unplaced{{"Shoe Size", 2}}));
}

// The options reach the CSV reader, and what it took comes back in the summary.
TEST(ContactFileReader, CsvOptionsAndWhatWasTaken) {
  const std::string latin = "Vorname;Nachname;Mobiltelefon\r\nJ\xFCrgen;M\xFCller;030 1234\r\n";
  ContactFileReader reader;
  reader.setDelimiter(';');
  reader.setEncoding("Windows-1252");
  ASSERT_TRUE(reader.open(makeDataInputStream(latin))) << reader.errorReason();
  ContactInfo contact;
  ASSERT_EQ(reader.next(contact), Next::Contact) << reader.errorReason();
  EXPECT_EQ(contact.givenName, "J\u00FCrgen");
  EXPECT_EQ(reader.summary().delimiter, ';');
  EXPECT_EQ(reader.summary().encoding, "Windows-1252");
  EXPECT_EQ(reader.summary().language, "German");
  EXPECT_EQ(describeContactFile(reader.summary()), "desktop mail program, German, ';', Windows-1252");

  // Bytes that UTF-8 does not explain: counted with their lines, or an error when strict.
  const std::string bad = "Given Name,Phone 1\r\nAnn,1\r\nB\xFFo,2\r\nCy,3\r\n";
  for (const bool strict : {false, true}) {
    ContactFileReader utf8;
    utf8.setEncoding("UTF-8");
    utf8.setStrict(strict);
    ASSERT_TRUE(utf8.open(makeDataInputStream(bad))) << utf8.errorReason();
    const std::string got = readAll(utf8);
    if (strict) {
      EXPECT_NE(got.find("error at 3: "), std::string::npos) << got;
    } else {
      EXPECT_EQ(got, "Ann ?: 1\nB\uFFFDo ?: 2\nCy ?: 3\n");
      EXPECT_EQ(utf8.summary().replaced, 1u);
      EXPECT_EQ(utf8.summary().replacedLines, std::vector<std::uint64_t>{3});
    }
  }
}

// The same for a vCard input: the encoding given, and bytes it does not explain.
TEST(ContactFileReader, VCardEncodingAndReplacedBytes) {
  const std::string latin = "BEGIN:VCARD\r\nN:M\xFCller;J\xFCrgen;;;\r\nTEL:1\r\nEND:VCARD\r\n";
  ContactFileReader reader;
  reader.setEncoding("Windows-1252");
  ASSERT_TRUE(reader.open(makeDataInputStream(latin))) << reader.errorReason();
  EXPECT_EQ(readAll(reader), "J\u00FCrgen M\u00FCller: 1\n");
  EXPECT_EQ(describeContactFile(reader.summary()), "vCard, Windows-1252");

  // UTF-16 without a mark, with a lone surrogate on line 5.
  const std::string bad = wide("BEGIN:VCARD\r\nN:Lee;Ann;;;\r\nEND:VCARD\r\n"
                               "BEGIN:VCARD\r\nN:Ng;C", 2, false) +
                          std::string("\x00\xD8", 2) + wide("y;;;\r\nEND:VCARD\r\n", 2, false);
  for (const bool strict : {false, true}) {
    ContactFileReader utf8;
    utf8.setStrict(strict);
    ASSERT_TRUE(utf8.open(makeDataInputStream(bad))) << utf8.errorReason();
    const std::string got = readAll(utf8);
    if (strict) {
      // Nothing with a replaced byte is handed out; the error names the line.
      EXPECT_EQ(got.find("C\uFFFDy"), std::string::npos) << got;
      EXPECT_NE(got.find("error at 5: "), std::string::npos) << got;
    } else {
      EXPECT_EQ(got, "Ann Lee:\nC\uFFFDy Ng:\n");
      EXPECT_EQ(utf8.summary().replacedLines, std::vector<std::uint64_t>{5});
    }
  }
}

TEST(ContactFileReader, AHeaderWithoutAFieldIsAnError) {
  ContactFileReader reader;
  EXPECT_FALSE(reader.open(makeDataInputStream("Colour,Size\r\nred,2\r\n")));
  EXPECT_EQ(reader.format(), ContactFileFormat::Csv);
  EXPECT_NE(reader.errorReason().find("Colour, Size"), std::string::npos) << reader.errorReason();
  EXPECT_EQ(reader.csvColumns(), nullptr);
}

TEST(ContactFileReader, BlankInputIsNoContactsFile) {
  for (const std::string text : {"", "\r\n\r\n", "\xEF\xBB\xBF\n"}) {
    ContactFileReader reader;
    EXPECT_FALSE(reader.open(makeDataInputStream(text))) << ::testing::PrintToString(text);
    EXPECT_TRUE(reader.blank());
    EXPECT_FALSE(reader.errorReason().empty());
  }
}

}  // namespace
}  // namespace xr
