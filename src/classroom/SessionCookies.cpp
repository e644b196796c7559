#include "classroom/SessionCookies.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>

#include <charconv>

#include "base/Convert.h"
#include "base/Files.h"
#include "base/LittleEndian.h"
#include "classroom/Compression.h"
#include "framework/Session.h"

namespace qil {

namespace {

constexpr const char* kVersion = "1";
constexpr size_t kMaxPayload = 64 * 1024;  // inflated variables of one session

std::string Base64(std::string_view bytes) {
  std::string out(4 * ((bytes.size() + 2) / 3) + 1, '\0');
  const int length = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                     reinterpret_cast<const unsigned char*>(bytes.data()),
                                     static_cast<int>(bytes.size()));
  out.resize(static_cast<size_t>(length));
  return out;
}

std::optional<std::string> FromBase64(std::string_view text) {
  if (text.size() % 4 != 0) return std::nullopt;
  std::string out(3 * (text.size() / 4) + 1, '\0');
  const int length = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                     reinterpret_cast<const unsigned char*>(text.data()),
                                     static_cast<int>(text.size()));
  if (length < 0) return std::nullopt;
  size_t padding = 0;
  while (padding < 2 && padding < text.size() && text[text.size() - 1 - padding] == '=') ++padding;
  out.resize(static_cast<size_t>(length) - padding);
  return out;
}

void AppendField(std::string& out, std::string_view field) {
  AppendLE32(out, static_cast<uint32_t>(field.size()));
  out.append(field);
}

// A whole decimal number of seconds; nullopt for anything else.
std::optional<int64_t> Seconds(std::string_view text) {
  int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
  return value;
}

// The next length-prefixed field of payload, or nullopt when it runs short.
std::optional<std::string> TakeField(std::string_view& payload) {
  if (payload.size() < 4) return std::nullopt;
  const uint32_t length = ReadLE32(payload, 0);
  payload.remove_prefix(4);
  if (length > payload.size()) return std::nullopt;
  std::string field(payload.substr(0, length));
  payload.remove_prefix(length);
  return field;
}

std::string CookieName(int index) {
  return index == 0 ? std::string(SessionSealer::kCookieName)
                    : SessionSealer::kCookieName + std::to_string(index);
}

// The fields of a sealed value, split at its dots.
std::vector<std::string_view> SplitDots(std::string_view text) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  for (size_t dot; (dot = text.find('.', start)) != std::string_view::npos; start = dot + 1) {
    parts.push_back(text.substr(start, dot - start));
  }
  parts.push_back(text.substr(start));
  return parts;
}

// The variables of an inflated payload; nullopt when it is malformed.
std::optional<std::unique_ptr<Session>> ReadVariables(std::string_view payload) {
  auto session = std::make_unique<Session>("client");
  while (!payload.empty()) {
    std::optional<std::string> name = TakeField(payload);
    if (!name) return std::nullopt;
    std::optional<std::string> value = TakeField(payload);
    if (!value) return std::nullopt;
    session->GetVar(*name);
    session->SetVar(*name, Variant(std::move(*value)));
  }
  return session;
}

}  // namespace

SessionSealer::SessionSealer(std::string key, int64_t lifetime)
    : key_(std::move(key)), lifetime_(lifetime) {
  if (key_.size() < kMinKeySize) {
    throw Exception("The session key must be at least " + std::to_string(kMinKeySize) + " bytes long.");
  }
}

std::string SessionSealer::Mac(std::string_view text) const {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  HMAC(EVP_sha256(), key_.data(), static_cast<int>(key_.size()),
       reinterpret_cast<const unsigned char*>(text.data()), text.size(), digest, &length);
  return Base64(std::string_view(reinterpret_cast<const char*>(digest), length));
}

std::vector<std::string> SessionSealer::Seal(const Session& session, int64_t now) const {
  std::string variables;
  for (const auto& [name, value] : session.Variables()) {
    AppendField(variables, name);
    AppendField(variables, value);
  }
  const std::string body = "." + std::to_string(now + lifetime_) + "." + Base64(Deflate(variables));
  // The count of cookies is part of what is signed, so it is fixed first.
  const size_t estimate = std::char_traits<char>::length(kVersion) + 4 + body.size() + 45;
  const size_t cookies = (estimate + kCookieValueSize - 1) / kCookieValueSize;
  if (cookies > static_cast<size_t>(kMaxCookies)) {
    throw SessionTooLarge("The session is too large to keep (" + std::to_string(estimate) + " bytes).");
  }
  std::string signed_part = std::string(kVersion) + "." + std::to_string(cookies) + body;
  const std::string value = signed_part + "." + Mac(signed_part);

  std::vector<std::string> headers;
  const std::string attributes = "; Path=/; Max-Age=" + std::to_string(lifetime_) + "; HttpOnly; SameSite=Lax";
  for (size_t i = 0; i < cookies; ++i) {
    const std::string piece = value.substr(i * kCookieValueSize, kCookieValueSize);
    headers.push_back(CookieName(static_cast<int>(i)) + "=" + piece + attributes);
  }
  return headers;
}

SessionSealer::Opened SessionSealer::Open(const CookieLookup& cookies, int64_t now) const {
  auto fresh = [] { return Opened{std::make_unique<Session>("client"), 0}; };
  std::optional<std::string> value = cookies(CookieName(0));
  if (!value) return fresh();
  std::vector<std::string_view> head = SplitDots(*value);
  if (head.size() < 2 || head[0] != kVersion) return fresh();
  const std::optional<int32_t> count = TryStrToInt(head[1]);
  if (!count || *count < 1 || *count > kMaxCookies) return fresh();
  for (int i = 1; i < *count; ++i) {
    std::optional<std::string> piece = cookies(CookieName(i));
    if (!piece) return fresh();
    *value += *piece;
  }

  const std::vector<std::string_view> parts = SplitDots(*value);
  if (parts.size() != 5) return fresh();
  const std::string_view mac = parts[4];
  const std::string_view signed_part(value->data(), value->size() - mac.size() - 1);
  const std::string expected = Mac(signed_part);
  if (mac.size() != expected.size() || CRYPTO_memcmp(mac.data(), expected.data(), mac.size()) != 0) {
    return fresh();
  }
  const std::optional<int64_t> expires = Seconds(parts[2]);
  if (!expires || *expires <= now) return fresh();
  const std::optional<std::string> deflated = FromBase64(parts[3]);
  if (!deflated) return fresh();
  const std::optional<std::string> payload = Inflate(*deflated, kMaxPayload);
  if (!payload) return fresh();
  std::optional<std::unique_ptr<Session>> session = ReadVariables(*payload);
  if (!session) return fresh();
  return Opened{std::move(*session), *expires};
}

std::string ReadSessionKey(const std::string& path) {
  std::string key;
  try {
    key = ReadWholeFile(path);
  } catch (const Exception& error) {
    throw Exception("Cannot read the session key " + path + ": " + error.Message());
  }
  if (key.size() < SessionSealer::kMinKeySize) {
    throw Exception("The session key " + path + " is shorter than " +
                    std::to_string(SessionSealer::kMinKeySize) + " bytes.");
  }
  return key;
}

std::string RandomSessionKey() {
  std::string key(SessionSealer::kMinKeySize, '\0');
  if (RAND_bytes(reinterpret_cast<unsigned char*>(key.data()), static_cast<int>(key.size())) != 1) {
    throw Exception("The system gave no random bytes for the session key.");
  }
  return key;
}

}  // namespace qil
