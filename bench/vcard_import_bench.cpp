// bench/vcard_import_bench.cpp: vCard import (records per second on typical records of about
// 1 KB, as phones and address books export them), from the whole text and from a stream over
// the same text; an address book of 50,000 such records with a photo in every tenth; KDE's
// KContacts on the same texts where it was found (XRF_BENCH_KCONTACTS); and duplicate finding
// over 100,000 records.
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "xrfoundation/contacts/vcard_contact_reader.h"
#include "xrfoundation/contacts/vcard_parser.h"
#include "xrfoundation/phone/shared_numbers.h"
#include "xrfoundation/platform/input_stream.h"
#if XRF_BENCH_PHOTOS
#include "xrfoundation/contacts/base64.h"
#include "xrfoundation/platform/testing/test_images.h"
#endif
#if XRF_BENCH_KCONTACTS
#include <KContacts/VCardConverter>
#endif

namespace {

constexpr int kRecords = 10000;

// A record of about 1 KB: names, three numbers (one grouped with a label), two e-mail
// addresses, an address, an organisation, a birthday, a URL, a note and a few lines of the
// writer's own.
std::string typicalRecord(int n) {
  const std::string id = std::to_string(n);
  return "BEGIN:VCARD\r\nVERSION:3.0\r\nPRODID:-//Example//Address Book 1.0//EN\r\n"
         "N:Lee-" +
         id + ";Ann;Jane;Dr.;\r\nFN:Dr. Ann Jane Lee-" + id +
         "\r\n"
         "NICKNAME:Annie\r\nTEL;TYPE=CELL,VOICE:+44 7700 9" +
         id +
         "\r\n"
         "TEL;TYPE=HOME:020 7946 " +
         id +
         "\r\n"
         "item1.TEL;type=pref:+1 (650) 253-" +
         id +
         "\r\nitem1.X-ABLabel:_$!<WorkFAX>!$_\r\n"
         "EMAIL;TYPE=INTERNET,HOME:ann." +
         id +
         "@example.org\r\n"
         "EMAIL;TYPE=INTERNET,WORK:ann.lee" +
         id +
         "@work.example.com\r\n"
         "ADR;TYPE=HOME:;;221B Baker Street\\, Flat " +
         id +
         ";London;Greater London;NW1 6XE;"
         "United Kingdom\r\nORG:Example Widgets\\, Ltd;Research and Development\r\n"
         "TITLE:Principal Engineer\r\nBDAY:1980-02-03\r\nURL:https://ann.example.org/" +
         id +
         "\r\nNOTE:Met at the conference in Zürich\\, 2019. Prefers e-mail to calls\\; "
         "call only in the afternoon.\\nLikes tea.\r\nCATEGORIES:Friends,Work\r\n"
         "X-SOCIALPROFILE;TYPE=twitter:https://twitter.example/ann" +
         id +
         "\r\n"
         "UID:urn:uuid:4fbe8971-0bc3-424c-9c26-36c3e1eff6b1-" +
         id +
         "\r\n"
         "REV:2024-01-15T10:20:30Z\r\nEND:VCARD\r\n";
}

std::string typicalRecords() {
  std::string text;
  for (int n = 0; n < kRecords; ++n) text += typicalRecord(n);
  return text;
}

void BM_VCardImport(benchmark::State& state) {
  const std::string text = typicalRecords();
  std::size_t numbers = 0;
  for (auto _ : state) {
    numbers = 0;
    xr::readVCardContacts(text, [&numbers](xr::ContactInfo& contact) {
      numbers += contact.groupNumber.arrItem.size();
      return true;
    });
    benchmark::DoNotOptimize(numbers);
  }
  if (numbers != 3u * kRecords) state.SkipWithError("records misread");
  state.SetItemsProcessed(state.iterations() * kRecords);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
  state.counters["bytes_per_record"] = static_cast<double>(text.size()) / kRecords;
}
BENCHMARK(BM_VCardImport)->Unit(benchmark::kMillisecond);

// The same records through VCardContactReader, read from a stream in its default blocks.
void BM_VCardStreamImport(benchmark::State& state) {
  const std::string text = typicalRecords();
  std::size_t numbers = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto input = xr::makeDataInputStream(text);  // a copy of the text, not timed
    state.ResumeTiming();
    numbers = 0;
    xr::VCardContactReader reader;
    xr::ContactInfo contact;
    if (!reader.open(std::move(input))) state.SkipWithError("open failed");
    while (reader.next(contact) == xr::VCardContactReader::Next::Contact)
      numbers += contact.groupNumber.arrItem.size();
    benchmark::DoNotOptimize(numbers);
  }
  if (numbers != 3u * kRecords) state.SkipWithError("records misread");
  state.SetItemsProcessed(state.iterations() * kRecords);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_VCardStreamImport)->Unit(benchmark::kMillisecond);

#if XRF_BENCH_PHOTOS
constexpr int kAddressBookRecords = 50000;

// 50,000 typical records, every tenth with a 96x96 JPEG photo in Base64 folded into lines of
// 75 bytes, as address books export it.
std::string addressBookWithPhotos() {
  const std::string photo = *xr::base64Encoding(xr::testing::makeTestJpeg(96, 96));
  std::string photoLines = "PHOTO;ENCODING=b;TYPE=JPEG:";
  for (std::size_t at = 0; at < photo.size(); at += 74) {
    if (at > 0) photoLines += "\r\n ";
    photoLines += photo.substr(at, 74);
  }
  photoLines += "\r\n";
  std::string text;
  for (int n = 0; n < kAddressBookRecords; ++n) {
    std::string record = typicalRecord(n);
    if (n % 10 == 0) record.insert(record.rfind("END:VCARD"), photoLines);
    text += record;
  }
  return text;
}

void BM_VCardImportAddressBook(benchmark::State& state) {
  const std::string text = addressBookWithPhotos();
  std::size_t numbers = 0;
  std::size_t photos = 0;
  for (auto _ : state) {
    numbers = photos = 0;
    xr::readVCardContacts(text, [&](xr::ContactInfo& contact) {
      numbers += contact.groupNumber.arrItem.size();
      photos += contact.icon ? 1 : 0;
      return true;
    });
    benchmark::DoNotOptimize(numbers);
  }
  if (numbers != 3u * kAddressBookRecords || photos != kAddressBookRecords / 10u)
    state.SkipWithError("records misread");
  state.SetItemsProcessed(state.iterations() * kAddressBookRecords);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_VCardImportAddressBook)->Unit(benchmark::kMillisecond);
#endif  // XRF_BENCH_PHOTOS

#if XRF_BENCH_KCONTACTS
// KDE's KContacts (VCardConverter::parseVCards) on the same texts: every record into an
// Addressee, numbers and photo included.
void readWithKContacts(benchmark::State& state, const std::string& text, int records) {
  const QByteArray bytes = QByteArray::fromRawData(text.data(), static_cast<int>(text.size()));
  std::size_t numbers = 0;
  for (auto _ : state) {
    const KContacts::Addressee::List contacts = KContacts::VCardConverter().parseVCards(bytes);
    numbers = 0;
    for (const KContacts::Addressee& contact : contacts)
      numbers += static_cast<std::size_t>(contact.phoneNumbers().size());
    benchmark::DoNotOptimize(numbers);
  }
  // KContacts passes over the grouped number (item1.TEL): two of the three.
  if (numbers != 2u * static_cast<std::size_t>(records)) state.SkipWithError("records misread");
  state.SetItemsProcessed(state.iterations() * records);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}

void BM_KContactsImport(benchmark::State& state) {
  readWithKContacts(state, typicalRecords(), kRecords);
}
BENCHMARK(BM_KContactsImport)->Unit(benchmark::kMillisecond);

#if XRF_BENCH_PHOTOS
void BM_KContactsImportAddressBook(benchmark::State& state) {
  readWithKContacts(state, addressBookWithPhotos(), kAddressBookRecords);
}
BENCHMARK(BM_KContactsImportAddressBook)->Unit(benchmark::kMillisecond);
#endif
#endif  // XRF_BENCH_KCONTACTS

// 100,000 records of one or two numbers written in the ways people write them, one in twenty
// sharing a number with another record.
void BM_SharedNumbers100k(benchmark::State& state) {
  std::mt19937 random(2026);
  std::vector<std::vector<std::string>> records(100000);
  // Built by appending: GCC 12 at -O3 falsely warns (-Wrestrict) on "literal" + std::string.
  const auto number = [&random](std::string text) {
    return text.append(std::to_string(200000000 + random() % 700000000));
  };
  for (auto& record : records) {
    record.push_back(number("+44 "));
    if (random() % 2) record.push_back(number("0"));
  }
  for (std::size_t r = 0; r < records.size(); r += 20) {
    records[r].push_back(std::string("0").append(records[(r * 7919 + 1) % records.size()][0], 4));
  }
  std::size_t groups = 0;
  for (auto _ : state) {
    const auto found = xr::findSharedNumbers(records);
    groups = found ? found->size() : 0;
    benchmark::DoNotOptimize(groups);
  }
  if (groups < 1000) state.SkipWithError("too few groups found");
  state.counters["groups"] = static_cast<double>(groups);
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(records.size()));
}
BENCHMARK(BM_SharedNumbers100k)->Unit(benchmark::kMillisecond);

}  // namespace
