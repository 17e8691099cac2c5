// bench/contacts_bench.cpp: Base64 throughput beside a plain table-driven codec and OpenSSL's
// EVP block functions in the same run, and vCard composition of a rich contact.
//
// "GB/s" counts the 16 MiB of binary data (10^9 bytes per GB) in both directions, so encode
// and decode figures compare directly (the photo-sized runs count their 96 KiB). Our codec is
// measured through its public functions, allocation of the result included, and its encoder
// also into a buffer made once; the reference and OpenSSL write into buffers made once outside
// the timed loop, which favours them.
#include <benchmark/benchmark.h>
#if XRF_BENCH_PEERS
#include <openssl/evp.h>
#endif

#include <array>
#include <random>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "xrfoundation/contacts/base64.h"
#include "xrfoundation/contacts/contact_enums.h"
#include "xrfoundation/contacts/contact_info.h"
#include "xrfoundation/contacts/vcard_info.h"

namespace {

constexpr std::size_t kPayload = 16 * 1024 * 1024;
constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

const std::vector<uint8_t>& payload() {
  static const auto* bytes = [] {
    auto* data = new std::vector<uint8_t>(kPayload);
    std::mt19937_64 random(2024);
    for (auto& byte : *data) byte = static_cast<uint8_t>(random());
    return data;
  }();
  return *bytes;
}

const std::string& encoded() {
  static const auto* text = new std::string(*xr::base64Encoding(payload()));
  return *text;
}

// MIME layout: 76 characters, CR LF.
const std::string& wrapped() {
  static const auto* text = [] {
    auto* lines = new std::string;
    const std::string& plain = encoded();
    for (std::size_t at = 0; at < plain.size(); at += 76) {
      lines->append(plain, at, 76);
      lines->append("\r\n");
    }
    return lines;
  }();
  return *text;
}

void reportThroughput(benchmark::State& state, std::size_t bytes = kPayload) {
  state.counters["GB/s"] =
      benchmark::Counter(static_cast<double>(bytes), benchmark::Counter::kIsIterationInvariantRate);
}

// The plain codec: one table lookup per character, no skipping of layout.
void referenceEncode(const uint8_t* in, std::size_t size, char* out) {
  std::size_t i = 0;
  for (; i + 3 <= size; i += 3) {
    const uint32_t group = (uint32_t{in[i]} << 16) | (uint32_t{in[i + 1]} << 8) | in[i + 2];
    *out++ = kAlphabet[group >> 18];
    *out++ = kAlphabet[(group >> 12) & 63];
    *out++ = kAlphabet[(group >> 6) & 63];
    *out++ = kAlphabet[group & 63];
  }
  if (size - i == 1) {
    *out++ = kAlphabet[in[i] >> 2];
    *out++ = kAlphabet[(in[i] & 3) << 4];
    *out++ = '=';
    *out++ = '=';
  } else if (size - i == 2) {
    *out++ = kAlphabet[in[i] >> 2];
    *out++ = kAlphabet[((in[i] & 3) << 4) | (in[i + 1] >> 4)];
    *out++ = kAlphabet[(in[i + 1] & 15) << 2];
    *out++ = '=';
  }
}

std::ptrdiff_t referenceDecode(const char* in, std::size_t size, uint8_t* out) {
  static const auto table = [] {
    std::array<uint8_t, 256> t;
    t.fill(0xFF);
    for (int i = 0; i < 64; ++i) t[static_cast<uint8_t>(kAlphabet[i])] = static_cast<uint8_t>(i);
    return t;
  }();
  while (size > 0 && in[size - 1] == '=') --size;
  uint8_t* start = out;
  uint32_t bits = 0;
  int count = 0;
  for (std::size_t i = 0; i < size; ++i) {
    const uint8_t v = table[static_cast<uint8_t>(in[i])];
    if (v == 0xFF) return -1;
    bits = (bits << 6) | v;
    if (++count == 4) {
      *out++ = static_cast<uint8_t>(bits >> 16);
      *out++ = static_cast<uint8_t>(bits >> 8);
      *out++ = static_cast<uint8_t>(bits);
      bits = 0;
      count = 0;
    }
  }
  if (count == 2) *out++ = static_cast<uint8_t>(bits >> 4);
  if (count == 3) {
    *out++ = static_cast<uint8_t>(bits >> 10);
    *out++ = static_cast<uint8_t>(bits >> 2);
  }
  return out - start;
}

void BM_Base64Encode_Ours(benchmark::State& state) {
  const auto& in = payload();
  for (auto _ : state) benchmark::DoNotOptimize(xr::base64Encoding(in));
  reportThroughput(state);
}
BENCHMARK(BM_Base64Encode_Ours)->Unit(benchmark::kMillisecond);

// The codec alone, into a buffer made once, as the reference and OpenSSL are measured: a fresh
// 21 MB result costs far more to obtain from some allocators (Windows' heap, under Wine at
// least) than from glibc's, which keeps such a block for the next iteration.
void BM_Base64Encode_OursIntoBuffer(benchmark::State& state) {
  const auto& in = payload();
  std::string out(xr::base64EncodedLength(in.size()), '\0');
  for (auto _ : state) {
    xr::base64Encode(in, out.data());
    benchmark::DoNotOptimize(out.data());
  }
  reportThroughput(state);
}
BENCHMARK(BM_Base64Encode_OursIntoBuffer)->Unit(benchmark::kMillisecond);

// A contact photo's size (a 96 KiB JPEG) both ways through the public functions, result
// allocation included, as a vCard export and import meet them.
constexpr std::size_t kPhoto = 96 * 1024;

void BM_Base64EncodePhoto_Ours(benchmark::State& state) {
  const std::span<const uint8_t> in(payload().data(), kPhoto);
  for (auto _ : state) benchmark::DoNotOptimize(xr::base64Encoding(in));
  reportThroughput(state, kPhoto);
}
BENCHMARK(BM_Base64EncodePhoto_Ours)->Unit(benchmark::kMicrosecond);

void BM_Base64DecodePhoto_Ours(benchmark::State& state) {
  const std::string_view text = std::string_view(encoded()).substr(0, kPhoto / 3 * 4);
  for (auto _ : state) {
    auto bytes = xr::dataWithBase64EncodedString(text);
    if (!bytes || bytes->size() != kPhoto) state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(bytes);
  }
  reportThroughput(state, kPhoto);
}
BENCHMARK(BM_Base64DecodePhoto_Ours)->Unit(benchmark::kMicrosecond);

void BM_Base64Encode_Reference(benchmark::State& state) {
  const auto& in = payload();
  std::string out(xr::base64EncodedLength(in.size()), '\0');
  for (auto _ : state) {
    referenceEncode(in.data(), in.size(), out.data());
    benchmark::DoNotOptimize(out.data());
  }
  reportThroughput(state);
}
BENCHMARK(BM_Base64Encode_Reference)->Unit(benchmark::kMillisecond);

#if XRF_BENCH_PEERS
void BM_Base64Encode_OpenSSL(benchmark::State& state) {
  const auto& in = payload();
  std::vector<unsigned char> out(xr::base64EncodedLength(in.size()) + 1);
  for (auto _ : state) {
    benchmark::DoNotOptimize(EVP_EncodeBlock(out.data(), in.data(), static_cast<int>(in.size())));
  }
  reportThroughput(state);
}
BENCHMARK(BM_Base64Encode_OpenSSL)->Unit(benchmark::kMillisecond);
#endif  // XRF_BENCH_PEERS

void BM_Base64Decode_Ours(benchmark::State& state) {
  const std::string& text = encoded();
  for (auto _ : state) {
    auto bytes = xr::dataWithBase64EncodedString(text);
    if (!bytes || bytes->size() != kPayload) state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(bytes);
  }
  reportThroughput(state);
}
BENCHMARK(BM_Base64Decode_Ours)->Unit(benchmark::kMillisecond);

void BM_Base64Decode_Reference(benchmark::State& state) {
  const std::string& text = encoded();
  std::vector<uint8_t> out(text.size() / 4 * 3 + 3);
  for (auto _ : state) {
    if (referenceDecode(text.data(), text.size(), out.data()) != std::ptrdiff_t{kPayload}) {
      state.SkipWithError("decode failed");
    }
    benchmark::DoNotOptimize(out.data());
  }
  reportThroughput(state);
}
BENCHMARK(BM_Base64Decode_Reference)->Unit(benchmark::kMillisecond);

#if XRF_BENCH_PEERS
void BM_Base64Decode_OpenSSL(benchmark::State& state) {
  const std::string& text = encoded();
  std::vector<unsigned char> out(text.size() / 4 * 3 + 3);
  for (auto _ : state) {
    const int size =
        EVP_DecodeBlock(out.data(), reinterpret_cast<const unsigned char*>(text.data()),
                        static_cast<int>(text.size()));
    if (size < 0) state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(out.data());
  }
  reportThroughput(state);
}
BENCHMARK(BM_Base64Decode_OpenSSL)->Unit(benchmark::kMillisecond);
#endif  // XRF_BENCH_PEERS

void BM_Base64DecodeWrapped_Ours(benchmark::State& state) {
  const std::string& text = wrapped();
  for (auto _ : state) {
    auto bytes = xr::dataWithBase64EncodedString(text);
    if (!bytes || bytes->size() != kPayload) state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(bytes);
  }
  reportThroughput(state);
}
BENCHMARK(BM_Base64DecodeWrapped_Ours)->Unit(benchmark::kMillisecond);

#if XRF_BENCH_PEERS
// OpenSSL's line-tolerant decoder (EVP_DecodeBlock stops at the first line break).
void BM_Base64DecodeWrapped_OpenSSL(benchmark::State& state) {
  const std::string& text = wrapped();
  std::vector<unsigned char> out(text.size() / 4 * 3 + 80);
  EVP_ENCODE_CTX* context = EVP_ENCODE_CTX_new();
  for (auto _ : state) {
    EVP_DecodeInit(context);
    int size = 0;
    int tail = 0;
    if (EVP_DecodeUpdate(context, out.data(), &size,
                         reinterpret_cast<const unsigned char*>(text.data()),
                         static_cast<int>(text.size())) < 0 ||
        EVP_DecodeFinal(context, out.data() + size, &tail) < 0 ||
        static_cast<std::size_t>(size + tail) != kPayload) {
      state.SkipWithError("decode failed");
    }
    benchmark::DoNotOptimize(out.data());
  }
  EVP_ENCODE_CTX_free(context);
  reportThroughput(state);
}
BENCHMARK(BM_Base64DecodeWrapped_OpenSSL)->Unit(benchmark::kMillisecond);
#endif  // XRF_BENCH_PEERS

// A contact with a field of every kind and no photo.
xr::ContactInfo richContact() {
  using namespace xr;
  ContactInfo c;
  c.familyName = "Lee";
  c.middleName = "J";
  c.givenName = "Ann";
  c.prefix = "Dr.";
  c.suffix = "PhD";
  c.displayName = "Dr. Ann J Lee";
  c.nickname = "Annie";
  c.groupNumber.arrItem = {{"+1 555 0100", E_Number_Mobile},
                           {"+1 555 0101", E_Number_Work},
                           {"+1 555 0102", E_Number_FaxWork},
                           {"+1 555 0103", E_Number_Main}};
  c.groupEmail.arrItem = {{"ann@home.example", E_Email_Home}, {"ann@work.example", E_Email_Work}};
  c.groupIm.arrItem = {{"ann.skype", E_Im_Skype}, {"ann@gmail.example", E_Im_GoogleTalk}};
  c.groupDate.arrItem = {{"1980-02-03", E_Date_Birthday}, {"2005-06-07", E_Date_Anniversary}};
  c.userData[kContactGroupNamesKey] = {"Friends", "Work"};
  c.groupAddress.arrItem = {
      {E_Address_Home, "1 Main St\nApt 2", "Springfield", "IL", "62701", "USA"},
      {E_Address_Work, "2 Office Rd", "Chicago", "IL", "60601", "USA"}};
  c.groupOrganization.arrItem = {{"Acme", "Sales", "Director of Sales"}};
  c.groupWebsite.arrItem = {{"https://ann.example"}};
  c.groupNote.arrItem = {{"Met at the 2019 conference.\nPrefers e-mail."}};
  return c;
}

void BM_VCardCompose(benchmark::State& state) {
  const xr::ContactInfo contact = richContact();
  std::size_t bytes = 0;
  for (auto _ : state) {
    xr::VCardInfo card;
    card.loadFromContactInfo(contact);
    const std::vector<uint8_t> record = card.toVCardData();
    bytes = record.size();
    benchmark::DoNotOptimize(record.data());
  }
  state.counters["record_bytes"] = static_cast<double>(bytes);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_VCardCompose);

}  // namespace
