// Fuzzes the URL functions and the protocol handler over arbitrary bytes:
// ParseURL, StripQuery, SplitQuery, the platform URL wrappers, and the
// handler's Start/Read (with a stub server), ParseUrl for every action,
// CombineUrl and QueryInfo into buffers of exact size, so that any write past
// a buffer is caught by the address sanitizer.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "base/StringList.h"
#include "base/UrlText.h"
#include "protocol/PlatformURL.h"
#include "protocol/ProtocolHandler.h"

namespace {

struct NullSink : qil::ProtocolSink {
  void ReportProgress(uint32_t, const std::string&) override {}
  void ReportData(uint32_t, uint32_t, uint32_t) override {}
  void ReportResult(qil::ProtocolResult, uint32_t, const std::string&) override {}
};

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);

  const qil::ParsedUrl parsed = qil::ParseURL(input);
  Check(parsed.path.size() <= input.size());
  Check(qil::StripQuery(input).size() <= input.size());
  qil::StringList items;
  qil::SplitQuery(input, items);
  qil::LastPos("/", input);

  const std::string decoded = qil::UrlDecode(input);
  Check(decoded.size() <= input.size());
  qil::UrlCanonicalize(input);
  if (const std::optional<qil::UrlParts> parts = qil::UrlCrack(input)) qil::UrlCreate(*parts);
  const size_t half = input.size() / 2;
  qil::UrlCombine(input.substr(0, half), input.substr(half));

  qil::RequestHandler = [](const std::string& url, std::string& mime, int32_t& size,
                           std::unique_ptr<qil::MemoryStream>& stream) {
    if (url.size() % 2) return;
    stream = std::make_unique<qil::MemoryStream>(url);
    mime = "text/plain";
    size = static_cast<int32_t>(url.size());
  };
  qil::SchemeName = "qilproto";
  qil::ProtocolHandler handler;
  if (handler.Start(input, std::make_shared<NullSink>()) == qil::S_OK) {
    std::vector<char> chunk(7);
    uint32_t count = 0;
    std::string body;
    while (handler.Read(chunk.data(), static_cast<uint32_t>(chunk.size()), count) == qil::S_OK) {
      body.append(chunk.data(), count);
    }
    Check(body == decoded);
  }
  handler.Terminate(0);

  const uint32_t capacity = static_cast<uint32_t>(size % 64);
  for (uint32_t action = 0; action <= 18; ++action) {
    std::unique_ptr<char[]> buffer(new char[capacity + 1]);  // +1: never zero-sized
    uint32_t length = 0;
    handler.ParseUrl(input, action, 0, capacity ? buffer.get() : nullptr, capacity, length);
  }
  {
    std::unique_ptr<char[]> buffer(new char[capacity + 1]);
    uint32_t length = 0;
    handler.CombineUrl(input.substr(0, half), input.substr(half), 0,
                       capacity ? buffer.get() : nullptr, capacity, length);
    uint32_t value = 0;
    handler.QueryInfo(input, static_cast<uint32_t>(size % 20), 0, &value, sizeof value, length);
  }
  handler.CompareUrl(input, decoded, 0);
  qil::RequestHandler = nullptr;
  return 0;
}
