#include "shell/Fetch.h"

#include <memory>

#include "protocol/ProtocolHandler.h"

namespace qil {

namespace {

constexpr uint32_t kReadChunk = 64 * 1024;

// Keeps the MIME type the handler announces.
class CollectingSink : public ProtocolSink {
 public:
  void ReportProgress(uint32_t statusCode, const std::string& statusText) override {
    if (statusCode == BINDSTATUS_VERIFIEDMIMETYPEAVAILABLE) mime_type = statusText;
  }
  void ReportData(uint32_t, uint32_t, uint32_t) override {}
  void ReportResult(ProtocolResult, uint32_t, const std::string&) override {}

  std::string mime_type;
};

}  // namespace

FetchResult FetchAddress(const std::string& url) {
  FetchResult result;
  auto sink = std::make_shared<CollectingSink>();
  ProtocolHandler handler;
  if (handler.Start(url, sink) != S_OK) return result;
  result.Found = true;
  result.MimeType = sink->mime_type;
  std::string chunk(kReadChunk, '\0');
  uint32_t count = 0;
  while (handler.Read(chunk.data(), kReadChunk, count) == S_OK) result.Body.append(chunk, 0, count);
  handler.Terminate(0);
  return result;
}

}  // namespace qil
