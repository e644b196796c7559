// A client's session carried in its own browser: the session's variables
// travel in cookies that the server signs, so the server keeps nothing per
// client and any instance that holds the same key can serve any request.
//
// Sealed form of a session (the value of the cookie "session", continued in
// "session1", "session2", ... when it is longer than one cookie holds):
//     1.<cookies>.<expires>.<payload>.<mac>
// cookies is how many cookies carry the value, expires the end of its life in
// seconds since 1970 (UTC), payload the variables (each a 4-byte
// little-endian length and the name's bytes, then the same for the value),
// raw-deflated and base64-encoded, and mac the base64 HMAC-SHA256, under the
// key, of everything before ".<mac>".
//
// Guarantees:
//  - Open never raises for what a client sends: a missing, malformed,
//    tampered, expired or foreign (signed with another key) value gives a
//    fresh session without variables.
//  - A session's value is never longer than kMaxCookies cookies of at most
//    kCookieValueSize bytes each; Seal raises SessionTooLarge beyond that.
//  - The comparison of signatures takes the same time whatever they hold.
// Thread safety: a sealer is immutable after construction; Seal and Open may
// run on any number of threads at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/Exceptions.h"

namespace qil {

class Session;

// A session too large for its cookies.
class SessionTooLarge : public Exception {
 public:
  using Exception::Exception;
};

// Looks up the value of one cookie the client sent; nullopt when it sent none.
using CookieLookup = std::function<std::optional<std::string>(const std::string& name)>;

class SessionSealer {
 public:
  static constexpr size_t kMinKeySize = 32;
  static constexpr size_t kCookieValueSize = 3800;
  static constexpr int kMaxCookies = 3;
  static constexpr const char* kCookieName = "session";

  // key: at least kMinKeySize bytes (raises Exception otherwise); lifetime:
  // how long a sealed session stays valid, in seconds.
  SessionSealer(std::string key, int64_t lifetime);

  // The Set-Cookie header values that hand session to the client, valid
  // until now + lifetime (now in seconds since 1970).
  std::vector<std::string> Seal(const Session& session, int64_t now) const;

  // The client's session, or a fresh one (see above).
  struct Opened {
    std::unique_ptr<Session> session;
    int64_t expires = 0;  // when the client's value runs out; 0 for a fresh session
  };
  Opened Open(const CookieLookup& cookies, int64_t now) const;

  int64_t Lifetime() const { return lifetime_; }

 private:
  std::string Mac(std::string_view text) const;

  std::string key_;
  int64_t lifetime_;
};

// Reads a key file: all its bytes, a final line break included. Raises
// Exception with a message naming the file when it cannot be read or holds
// fewer than SessionSealer::kMinKeySize bytes.
std::string ReadSessionKey(const std::string& path);

// kMinKeySize bytes from the system's random source.
std::string RandomSessionKey();

}  // namespace qil
