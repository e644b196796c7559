#include "protocol/ProtocolHandler.h"

#include <cstring>
#include <stdexcept>

#include "base/Text.h"
#include "protocol/PlatformURL.h"

namespace qil {

RequestCallback RequestHandler;
std::string SchemeName;

namespace {

// The longest MIME type reported to the sink.
constexpr size_t kMaxReportedMimeType = 4095;
// The longest scheme answer of PARSE_SCHEMA.
constexpr size_t kMaxSchemaAnswer = 511;

// Copies answer and its NUL into buffer when both fit.
ProtocolResult WriteAnswer(std::string_view answer, char* buffer, uint32_t capacity, uint32_t& length) {
  const uint64_t needed = static_cast<uint64_t>(answer.size()) + 1;
  if (buffer == nullptr || needed > capacity) {
    length = needed > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(needed);
    return E_NOT_SUFFICIENT_BUFFER;
  }
  std::memcpy(buffer, answer.data(), answer.size());
  buffer[answer.size()] = '\0';
  length = static_cast<uint32_t>(answer.size());
  return S_OK;
}

ProtocolResult WriteDword(uint32_t value, void* buffer, uint32_t capacity, uint32_t& length) {
  if (buffer == nullptr || capacity < sizeof(value)) {
    length = sizeof(value);
    return E_NOT_SUFFICIENT_BUFFER;
  }
  std::memcpy(buffer, &value, sizeof(value));
  length = sizeof(value);
  return S_OK;
}

UrlParts CrackOrFail(const std::string& url) {
  std::optional<UrlParts> parts = UrlCrack(url);
  if (!parts) throw std::invalid_argument("not an address");
  return *parts;
}

}  // namespace

std::optional<std::string> DecodeRequestUrl(std::string_view url) {
  // Decoding never makes an address longer, so a very long one is refused unread.
  if (url.size() >= kDecodeBufferChars * 3) return std::nullopt;
  std::string decoded = UrlDecode(url);
  if (decoded.size() >= kDecodeBufferChars) return std::nullopt;
  return decoded;
}

ProtocolResult ProtocolHandler::Start(const std::string& url, std::shared_ptr<ProtocolSink> sink,
                                   uint32_t /*flags*/) {
  try {
    const std::optional<std::string> decoded = DecodeRequestUrl(url);
    sink_ = std::move(sink);
    mime_type_ = "text/html";
    data_.reset();
    int32_t size = -1;
    if (decoded && RequestHandler) RequestHandler(*decoded, mime_type_, size, data_);
    if (size == -1 || !data_) {
      data_.reset();
      if (sink_) sink_->ReportResult(S_FALSE, 1, std::string());
      return S_FALSE;
    }
    data_->SetPosition(0);
    if (sink_) {
      sink_->ReportProgress(BINDSTATUS_VERIFIEDMIMETYPEAVAILABLE,
                            mime_type_.substr(0, kMaxReportedMimeType));
      const auto progress = static_cast<uint32_t>(size);
      sink_->ReportData(BSCF_LASTDATANOTIFICATION | BSCF_DATAFULLYAVAILABLE, progress, progress);
    }
    return S_OK;
  } catch (...) {
    data_.reset();
    return S_FALSE;
  }
}

ProtocolResult ProtocolHandler::Read(char* buffer, uint32_t count, uint32_t& bytesRead) {
  bytesRead = 0;
  if (!data_) return S_FALSE;
  try {
    if (buffer == nullptr && count > 0) throw std::invalid_argument("no buffer");
    bytesRead = static_cast<uint32_t>(data_->Read(buffer, count));
    if (bytesRead > 0) return S_OK;
    if (sink_) sink_->ReportResult(S_OK, 0, std::string());
    data_.reset();
    return S_FALSE;
  } catch (...) {
    bytesRead = 0;
    try {
      if (sink_) sink_->ReportResult(S_OK, 0, std::string());
    } catch (...) {
    }
    return S_FALSE;
  }
}

ProtocolResult ProtocolHandler::Terminate(uint32_t /*options*/) {
  data_.reset();
  return S_OK;
}

ProtocolResult ProtocolHandler::ParseUrl(const std::string& url, uint32_t action, uint32_t /*flags*/,
                                      char* buffer, uint32_t capacity, uint32_t& length) {
  try {
    return ParseUrlInner(url, action, buffer, capacity, length);
  } catch (...) {
    return S_FALSE;
  }
}

ProtocolResult ProtocolHandler::ParseUrlInner(const std::string& url, uint32_t action, char* buffer,
                                           uint32_t capacity, uint32_t& length) {
  switch (action) {
    case PARSE_CANONICALIZE:
    case PARSE_ENCODE:
      return WriteAnswer(UrlCanonicalize(url), buffer, capacity, length);
    case PARSE_FRIENDLY:
    case PARSE_SECURITY_URL:
    case PARSE_DOMAIN:
      return WriteAnswer(url, buffer, capacity, length);
    case PARSE_ROOTDOCUMENT: {
      const UrlParts parts = CrackOrFail(url);
      UrlParts root;
      root.scheme = parts.scheme;
      root.host = parts.host;
      root.port = parts.port;
      return WriteAnswer(UrlCreate(root), buffer, capacity, length);
    }
    case PARSE_DOCUMENT: {
      const size_t hash = url.find('#');
      if (hash == std::string::npos) return S_OK;  // buffer and length untouched
      return WriteAnswer(std::string_view(url).substr(0, hash), buffer, capacity, length);
    }
    case PARSE_ANCHOR: {
      const size_t hash = url.find('#');
      if (hash == std::string::npos) return S_OK;
      return WriteAnswer(std::string_view(url).substr(hash), buffer, capacity, length);
    }
    case PARSE_DECODE: {
      std::string decoded = UrlDecode(url);
      return WriteAnswer(decoded, buffer, capacity, length);
    }
    case PARSE_PATH_FROM_URL: {
      UrlParts parts = CrackOrFail(url);
      parts.host.clear();
      parts.user.clear();
      parts.password.clear();
      return WriteAnswer(UrlCreate(parts), buffer, capacity, length);
    }
    case PARSE_MIME:
      return WriteAnswer(mime_type_, buffer, capacity, length);
    case PARSE_SERVER:
    case PARSE_SITE:
      return WriteAnswer(CrackOrFail(url).host, buffer, capacity, length);
    case PARSE_SCHEMA:
      return WriteAnswer((SchemeName + ":").substr(0, kMaxSchemaAnswer), buffer, capacity, length);
    case PARSE_SECURITY_DOMAIN:
      return WriteAnswer("file:c|\\", buffer, capacity, length);
    default:
      return INET_E_DEFAULT_ACTION;
  }
}

ProtocolResult ProtocolHandler::CombineUrl(const std::string& base, const std::string& relative,
                                        uint32_t /*flags*/, char* buffer, uint32_t capacity,
                                        uint32_t& length) {
  try {
    const std::string combined = UrlCombine(base, relative).value_or("");
    const ProtocolResult result = WriteAnswer(combined, buffer, capacity, length);
    return result == E_NOT_SUFFICIENT_BUFFER ? result : S_OK;
  } catch (...) {
    return S_FALSE;
  }
}

ProtocolResult ProtocolHandler::CompareUrl(const std::string& url1, const std::string& url2,
                                        uint32_t /*flags*/) {
  try {
    return SameText(url1, url2) ? S_OK : S_FALSE;
  } catch (...) {
    return S_FALSE;
  }
}

ProtocolResult ProtocolHandler::QueryInfo(const std::string& /*url*/, uint32_t option,
                                       uint32_t /*flags*/, void* buffer, uint32_t capacity,
                                       uint32_t& length) {
  switch (option) {
    case QUERY_CAN_NAVIGATE:
    case QUERY_IS_SAFE:
      return WriteDword(1, buffer, capacity, length);
    case QUERY_USES_NETWORK:
    case QUERY_IS_SECURE:
      return WriteDword(0, buffer, capacity, length);
    default:
      if (option >= 1 && option <= 12) return INET_E_DEFAULT_ACTION;
      return INET_E_QUERYOPTION_UNKNOWN;
  }
}

}  // namespace qil
