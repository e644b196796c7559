// The platform's URL functions, as the protocol handler needs them: split an
// address into its parts, canonicalize it, decode its escapes, combine a base
// with a relative address, and build an address from parts.
//
// A thin layer over GLib's GUri and g_uri_* functions. Text is 8-bit; escapes
// are neither added nor removed except where a function says so. Addresses
// are read up to their first NUL byte, except by UrlDecode, which reads every
// byte. Pure functions, safe from any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qil {

struct UrlParts {
  std::string scheme;
  std::string user;
  std::string password;
  std::string host;
  int port = -1;      // -1 when the address names none
  std::string path;
  std::string extra;  // "?query" and/or "#fragment", as written
};

// Splits url into its parts (escapes kept); nullopt when url is not an
// address that has a scheme.
std::optional<UrlParts> UrlCrack(std::string_view url);

// The canonical form: unsafe characters (blanks, controls, quotes, bytes of
// 128 and above, ...) escaped, existing escapes kept, "." and ".." path
// segments resolved.
std::string UrlCanonicalize(std::string_view url);

// Every well-formed escape "%XX" replaced by its byte; nothing is encoded.
// A malformed escape ("%", "%4", "%zz") stays as written.
std::string UrlDecode(std::string_view url);

// relative resolved against base; nullopt when base is not an absolute address.
std::optional<std::string> UrlCombine(std::string_view base, std::string_view relative);

// An address built from parts; empty parts are left out.
std::string UrlCreate(const UrlParts& parts);

}  // namespace qil
