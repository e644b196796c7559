// libFuzzer target: the whole request path, from an address to its answer.
//
// The disc is the archive named by $QIL_FUZZ_DISC (fuzz/run-all.sh sets the
// demo disc of a normal build). Every input starts an engine of its own on
// it, as qilcd does, so no worksheet or cache outlives an input, and asks it
// for the input's lines in order, each an address as `qilcd session` reads
// it (a bare path gets the scheme and host in front). The answers pass
// through the protocol handler, the content server, the module manager and
// every page module: lists, problems, pictures, goto, the worksheet pages
// with the random generator, and the clipboard copies with their picture
// conversion and RTF merging. Nothing may crash or raise, and every copy
// leaves one balanced RTF document on the clipboard: on a sound disc no part
// of an address reaches a copy's RTF but as a number.
//
// Seeds: fuzz/make-seeds.sh writes walks of the demo disc and a crawl of it.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "platform/headless/HeadlessPlatform.h"
#include "richtext/RtfTokenizer.h"
#include "shell/Engine.h"
#include "shell/Fetch.h"

namespace {

constexpr size_t kMaxAddresses = 32;

std::string g_disc;
qil::HeadlessPlatform* g_platform = nullptr;

// A full URL stays as it is; a bare path gets the scheme and host in front.
std::string Expand(std::string_view line) {
  if (line.find("://") != std::string_view::npos) return std::string(line);
  if (!line.empty() && line.front() == '/') line.remove_prefix(1);
  return std::string(qil::Engine::kSchemeName) + "://" + qil::Engine::kHostName + "/" +
         std::string(line);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const char* disc = std::getenv("QIL_FUZZ_DISC");
  if (disc == nullptr || *disc == '\0') {
    std::fprintf(stderr, "request_fuzz: set QIL_FUZZ_DISC to a disc (e.g. build/math.dat)\n");
    std::exit(1);
  }
  g_disc = disc;
  // The generator seeds itself from the time of day: fixed, so runs repeat.
  static qil::HeadlessPlatform platform;
  platform.SetFixedTimeOfDay(43200000);
  qil::SetCurrentPlatform(&platform);
  g_platform = &platform;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  qil::EngineOptions options;
  options.ArchivePath = g_disc;
  std::string error;
  const std::unique_ptr<qil::Engine> engine = qil::StartEngine(options, error);
  if (!engine) {
    std::fprintf(stderr, "request_fuzz: %s: %s\n", g_disc.c_str(), error.c_str());
    std::abort();
  }

  const std::string_view input(reinterpret_cast<const char*>(data), size);
  size_t start = 0;
  for (size_t asked = 0; start <= input.size() && asked < kMaxAddresses; ++asked) {
    const size_t end = std::min(input.find('\n', start), input.size());
    std::string_view line = input.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    g_platform->SetClipboardRTF("");
    qil::FetchAddress(Expand(line));
    const std::string document = g_platform->ClipboardContent();
    if (!document.empty() && !qil::IsOneBalancedGroup(document)) std::abort();
  }
  return 0;
}
