// A small HTTP client for the classroom server's tests (libcurl): one
// request, its status, headers and body. Cookies are kept by a Browser,
// one per simulated student.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace qil::test {

struct Fetched {
  long status = 0;                              // 0 when no answer came
  std::map<std::string, std::string> headers;  // names in lower case; the last of each
  std::vector<std::string> cookies;             // every Set-Cookie value
  std::string body;                             // as sent (not decompressed)
};

// One request to 127.0.0.1:port. headers: "Name: value" lines.
Fetched Fetch(int port, const std::string& target, const std::vector<std::string>& headers = {},
              const std::string& method = "GET");

// A client that keeps the cookies the server sets, as a browser does.
class Browser {
 public:
  explicit Browser(int port) : port_(port) {}
  Fetched Get(const std::string& target);
  std::map<std::string, std::string>& Cookies() { return cookies_; }

 private:
  int port_;
  std::map<std::string, std::string> cookies_;
};

}  // namespace qil::test
