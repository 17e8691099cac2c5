// The library's XML reading against the libraries it could have used instead. parseXmlElement
// is a well-formedness check of our own followed by pugixml, which builds the tree but checks
// little; expat checks all of XML 1.0 with namespaces but builds nothing. The numbers that keep
// the hand-written check honest: what it adds to pugixml alone, and what expat checking in its
// place (then pugixml building the tree) would cost, on the same messages.
#include <benchmark/benchmark.h>
#include <expat.h>

#include <pugixml.hpp>
#include <string>

#include "device_messages.h"
#include "xrfoundation/platform/xml.h"

namespace {

// A contact list of n entries whose texts are partly beyond ASCII, with a declaration,
// namespaces and references: the check's slower paths.
std::string contactReply(int contacts) {
  std::string text =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
      "<iq id=\"7\" type=\"result\" xmlns:c=\"urn:xr:contact\"><response ns=\"contact.list\">";
  for (int i = 0; i < contacts; ++i) {
    text += "<c:contact c:id=\"" + std::to_string(i) +
            "\"><name>\xE5\xBC\xA0\xE4\xBC\x9F \xC3\x85ngstr\xC3\xB6m &amp; "
            "\xD0\x9C\xD0\xB0\xD1\x80\xD0\xB8\xD1\x8F</name><phone type=\"2\">+86 10 1234 5678"
            "</phone><note>&#x1F600; &lt;caf\xC3\xA9&gt;</note></c:contact>";
  }
  return text + "</response></iq>";
}

std::string message(const benchmark::State& state) {
  const int n = static_cast<int>(state.range(1));
  return state.range(0) == 0 ? listingReply(n) : contactReply(n);
}

// What parseXmlElement asks of pugixml (the flags of platform/xml.cpp).
constexpr unsigned kPugiFlags = pugi::parse_default | pugi::parse_comments |
                                pugi::parse_declaration | pugi::parse_fragment |
                                pugi::parse_ws_pcdata_single;

bool pugixmlParses(pugi::xml_document& document, const std::string& text) {
  return document.load_buffer(text.data(), text.size(), kPugiFlags, pugi::encoding_utf8);
}

// Expat with namespace processing, reused from one message to the next as an application
// would; no handlers, so it only checks.
class ExpatChecker {
 public:
  ExpatChecker() : parser_(XML_ParserCreateNS("UTF-8", ' ')) {}
  ~ExpatChecker() { XML_ParserFree(parser_); }
  ExpatChecker(const ExpatChecker&) = delete;
  ExpatChecker& operator=(const ExpatChecker&) = delete;
  bool accepts(const std::string& text) {
    XML_ParserReset(parser_, "UTF-8");
    return XML_Parse(parser_, text.data(), static_cast<int>(text.size()), XML_TRUE) ==
           XML_STATUS_OK;
  }

 private:
  XML_Parser parser_;
};

// Every variant reads the same message, and all must accept it, or the comparison is void.
bool allAccept(benchmark::State& state, const std::string& text) {
  pugi::xml_document document;
  if (!xr::parseXmlElement(text) || !pugixmlParses(document, text) ||
      !ExpatChecker().accepts(text)) {
    state.SkipWithError("a reader refused the message");
    return false;
  }
  return true;
}

void report(benchmark::State& state, const std::string& text) {
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}

// Our check, then pugixml's tree: what the library does.
void BM_CheckThenPugixml(benchmark::State& state) {
  const std::string text = message(state);
  if (!allAccept(state, text)) return;
  for (auto _ : state) benchmark::DoNotOptimize(xr::parseXmlElement(text));
  report(state, text);
}

// pugixml's tree and no check: the floor.
void BM_PugixmlAlone(benchmark::State& state) {
  const std::string text = message(state);
  if (!allAccept(state, text)) return;
  for (auto _ : state) {
    pugi::xml_document document;
    benchmark::DoNotOptimize(pugixmlParses(document, text));
  }
  report(state, text);
}

// Expat's check alone, to set beside our check (CheckThenPugixml less PugixmlAlone).
void BM_ExpatAlone(benchmark::State& state) {
  const std::string text = message(state);
  if (!allAccept(state, text)) return;
  ExpatChecker expat;
  for (auto _ : state) benchmark::DoNotOptimize(expat.accepts(text));
  report(state, text);
}

// The alternative to writing the check: expat checks, then pugixml builds the tree.
void BM_ExpatThenPugixml(benchmark::State& state) {
  const std::string text = message(state);
  if (!allAccept(state, text)) return;
  ExpatChecker expat;
  for (auto _ : state) {
    pugi::xml_document document;
    benchmark::DoNotOptimize(expat.accepts(text) && pugixmlParses(document, text));
  }
  report(state, text);
}

// {message kind, entries}: listings of 10 files (742 bytes, a typical reply) and 1,000 (70 KB);
// a contact list of 100 entries (16 KB, its names and notes partly beyond ASCII).
void messages(benchmark::internal::Benchmark* b) {
  b->ArgNames({"contacts", "n"})->Args({0, 10})->Args({0, 1000})->Args({1, 100});
}
BENCHMARK(BM_CheckThenPugixml)->Apply(messages);
BENCHMARK(BM_PugixmlAlone)->Apply(messages);
BENCHMARK(BM_ExpatAlone)->Apply(messages);
BENCHMARK(BM_ExpatThenPugixml)->Apply(messages);

}  // namespace
