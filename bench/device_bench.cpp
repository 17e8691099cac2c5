// Device message helpers and socket readiness: the costs an application pays per message.
#include <benchmark/benchmark.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

#include "device_messages.h"
#include "xrfoundation/device/socket_ready.h"
#include "xrfoundation/device/xml_message.h"

namespace {

void BM_StringToElement(benchmark::State& state) {
  std::string text = listingReply(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(xr::stringToElement(text));
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}
// Arg(10) is about 1 KB, the size of a typical reply.
BENCHMARK(BM_StringToElement)->Arg(1)->Arg(10)->Arg(100)->Arg(1000);

void BM_ClassifyReply(benchmark::State& state) {
  xr::XmlNode message = xr::stringToElement(listingReply(100));
  for (auto _ : state) {
    benchmark::DoNotOptimize(xr::getPackType(message));
    benchmark::DoNotOptimize(xr::getPackContentType(message));
    benchmark::DoNotOptimize(xr::getPackCmdID(message));
    benchmark::DoNotOptimize(xr::checkElementError(message));
  }
}
BENCHMARK(BM_ClassifyReply);

void BM_FirstXPathNodeValue(benchmark::State& state) {
  xr::XmlNode message = xr::stringToElement(listingReply(100));
  for (auto _ : state) {
    benchmark::DoNotOptimize(xr::firstXPathNodeValue(message, "response/files/file[50]"));
  }
}
BENCHMARK(BM_FirstXPathNodeValue);

void BM_DictionaryFromNode(benchmark::State& state) {
  xr::XmlNode files = xr::extractIqFirstElement(xr::stringToElement(listingReply(100)), "files");
  for (auto _ : state) benchmark::DoNotOptimize(xr::dictionaryFromNode(files));
}
BENCHMARK(BM_DictionaryFromNode);

void BM_ElementToString(benchmark::State& state) {
  xr::XmlNode message = xr::stringToElement(listingReply(100));
  for (auto _ : state) benchmark::DoNotOptimize(xr::elementToString(message));
}
BENCHMARK(BM_ElementToString);

void BM_ReplaceXmlSpecialChar(benchmark::State& state) {
  std::string text(1024, 'a');
  for (size_t i = 0; i < text.size(); i += 16) text[i] = "<>&'\""[i / 16 % 5];
  for (auto _ : state) benchmark::DoNotOptimize(xr::replaceXmlSpecialChar(text));
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}
BENCHMARK(BM_ReplaceXmlSpecialChar);

void BM_SocketReadyToRecv(benchmark::State& state) {
  int fds[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0) {
    state.SkipWithError("socketpair failed");
    return;
  }
  (void)!::write(fds[1], "x", 1);
  for (auto _ : state) benchmark::DoNotOptimize(xr::is_sockect_ready_to_recv(fds[0], 0));
  ::close(fds[0]);
  ::close(fds[1]);
}
BENCHMARK(BM_SocketReadyToRecv);

}  // namespace
