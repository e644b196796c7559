// The protocol handler through which the web view reaches the content server.
//
// One ProtocolHandler serves one request of the scheme "qilproto": Start
// decodes the address's escapes, asks the process-wide RequestHandler (the
// content server's GetContent) for the whole answer, reports the MIME type
// and "all data available" to the sink, and Read then hands the bytes out.
// The handler also answers questions about the scheme's addresses (ParseUrl,
// CombineUrl, CompareUrl, QueryInfo).
//
// Guarantees:
//  - No method lets an exception out; each returns a result code.
//  - Result buffers are never written past their capacity (counted in bytes,
//    the terminating NUL included). An answer that does not fit writes
//    nothing, sets the length to the capacity it needs (NUL included) and
//    returns E_NOT_SUFFICIENT_BUFFER.
//  - An address whose decoded form does not fit the 2048-character decoding
//    buffer (2047 characters and a NUL) is answered as "not found".
//  - Malformed escapes ("%", "%4", "%zz") are kept as written.
// Strings at this boundary are 8-bit std::string. Not thread-safe: one
// object serves one request on one thread. RequestHandler and SchemeName are
// written by the content server before the first request and after the last.
#pragma once

#include <optional>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "base/MemoryStream.h"

namespace qil {

// Result codes (the platform's values).
using ProtocolResult = int32_t;
constexpr ProtocolResult S_OK = 0;
constexpr ProtocolResult S_FALSE = 1;
constexpr ProtocolResult E_FAIL = static_cast<ProtocolResult>(0x80004005u);
constexpr ProtocolResult E_NOINTERFACE = static_cast<ProtocolResult>(0x80004002u);
constexpr ProtocolResult E_NOT_SUFFICIENT_BUFFER = static_cast<ProtocolResult>(0x8007007Au);
constexpr ProtocolResult INET_E_INVALID_REQUEST = static_cast<ProtocolResult>(0x800C000Cu);
constexpr ProtocolResult INET_E_DEFAULT_ACTION = static_cast<ProtocolResult>(0x800C0011u);
constexpr ProtocolResult INET_E_QUERYOPTION_UNKNOWN = static_cast<ProtocolResult>(0x800C0013u);

// Codes reported to the sink.
constexpr uint32_t BINDSTATUS_VERIFIEDMIMETYPEAVAILABLE = 22;
constexpr uint32_t BSCF_DATAFULLYAVAILABLE = 0x04;
constexpr uint32_t BSCF_LASTDATANOTIFICATION = 0x08;

// Parse actions of ParseUrl.
enum ParseAction : uint32_t {
  PARSE_CANONICALIZE = 1,
  PARSE_FRIENDLY = 2,
  PARSE_SECURITY_URL = 3,
  PARSE_ROOTDOCUMENT = 4,
  PARSE_DOCUMENT = 5,
  PARSE_ANCHOR = 6,
  PARSE_ENCODE = 7,
  PARSE_DECODE = 8,
  PARSE_PATH_FROM_URL = 9,
  PARSE_URL_FROM_PATH = 10,
  PARSE_MIME = 11,
  PARSE_SERVER = 12,
  PARSE_SCHEMA = 13,
  PARSE_SITE = 14,
  PARSE_DOMAIN = 15,
  PARSE_LOCATION = 16,
  PARSE_SECURITY_DOMAIN = 17,
};

// Query options of QueryInfo.
enum QueryOption : uint32_t {
  QUERY_CAN_NAVIGATE = 7,
  QUERY_USES_NETWORK = 8,
  QUERY_IS_SECURE = 13,
  QUERY_IS_SAFE = 14,
};

// The longest decoded address Start accepts is this many characters minus one.
constexpr size_t kDecodeBufferChars = 2048;

// Answers one address: on success stream holds the answer (owned by the
// caller), size its length and mimeType its type; when nothing answers, stream
// stays empty and size untouched.
using RequestCallback = std::function<void(const std::string& url, std::string& mimeType,
                                           int32_t& size, std::unique_ptr<MemoryStream>& stream)>;

// Process-wide: written by the content server, read by every handler.
extern RequestCallback RequestHandler;
extern std::string SchemeName;

// What the handler tells the web view about a request.
class ProtocolSink {
 public:
  virtual ~ProtocolSink() = default;
  virtual void ReportProgress(uint32_t statusCode, const std::string& statusText) = 0;
  virtual void ReportData(uint32_t flags, uint32_t progress, uint32_t progressMax) = 0;
  virtual void ReportResult(ProtocolResult result, uint32_t error, const std::string& resultText) = 0;
};

class ProtocolHandler {
 public:
  ProtocolHandler() = default;
  ProtocolHandler(const ProtocolHandler&) = delete;
  ProtocolHandler& operator=(const ProtocolHandler&) = delete;

  // Fetches the whole answer. S_OK, or S_FALSE when there is none or an error occurred.
  ProtocolResult Start(const std::string& url, std::shared_ptr<ProtocolSink> sink, uint32_t flags = 0);
  // Copies up to count bytes; S_OK while data flows, S_FALSE (0 bytes) at the end.
  ProtocolResult Read(char* buffer, uint32_t count, uint32_t& bytesRead);
  // Releases the answer. S_OK.
  ProtocolResult Terminate(uint32_t options);

  ProtocolResult Continue() { return INET_E_INVALID_REQUEST; }
  ProtocolResult Abort(ProtocolResult /*reason*/, uint32_t /*options*/) { return INET_E_INVALID_REQUEST; }
  ProtocolResult Suspend() { return INET_E_INVALID_REQUEST; }
  ProtocolResult Resume() { return INET_E_INVALID_REQUEST; }
  ProtocolResult Seek(int64_t /*move*/, uint32_t /*origin*/, uint64_t& /*newPosition*/) { return E_FAIL; }
  ProtocolResult LockRequest(uint32_t /*options*/) { return S_OK; }
  ProtocolResult UnlockRequest() { return S_OK; }

  // Answers a parse action about url into buffer (capacity in bytes).
  ProtocolResult ParseUrl(const std::string& url, uint32_t action, uint32_t flags, char* buffer,
                   uint32_t capacity, uint32_t& length);
  // relative resolved against base into buffer. S_OK also when they cannot be
  // combined (then the result is empty); E_NOT_SUFFICIENT_BUFFER when it does not fit.
  ProtocolResult CombineUrl(const std::string& base, const std::string& relative, uint32_t flags,
                     char* buffer, uint32_t capacity, uint32_t& length);
  // S_OK when the addresses are equal ignoring the case of A to Z, else S_FALSE.
  ProtocolResult CompareUrl(const std::string& url1, const std::string& url2, uint32_t flags);
  // Answers a query option with a 32-bit value in buffer (capacity in bytes).
  ProtocolResult QueryInfo(const std::string& url, uint32_t option, uint32_t flags, void* buffer,
                    uint32_t capacity, uint32_t& length);

  const std::string& MimeType() const { return mime_type_; }
  bool HasData() const { return data_ != nullptr; }

 private:
  ProtocolResult ParseUrlInner(const std::string& url, uint32_t action, char* buffer, uint32_t capacity,
                        uint32_t& length);

  std::shared_ptr<ProtocolSink> sink_;
  std::string mime_type_ = "text/html";
  std::unique_ptr<MemoryStream> data_;
};

// The address as Start passes it on: escapes decoded, malformed ones kept;
// nullopt when the decoded address does not fit the decoding buffer.
std::optional<std::string> DecodeRequestUrl(std::string_view url);

}  // namespace qil
