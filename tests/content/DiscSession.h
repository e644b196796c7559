// The built demo disc as a browser meets it: one `qilcd session` over
// math.dat, fed one address at a time, and the small page readers the disc
// tests need (links, picture names, numbers drawn as digit pictures).
//
// The paths come from the environment: QILCD (the program) and
// QIL_DEMO_DISC (the disc); tests skip when either is missing. Every session
// writes its clipboard into a fresh temporary folder of its own.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "common/Qilcd.h"
#include "common/TestFiles.h"

namespace qil::test {

// The start of every address the web view asks for.
inline constexpr const char* kDiscBase = "qilproto://qilproto_local/";

struct DiscAnswer {
  int status = 0;  // 200 or 404; 0 when the session gave no answer
  std::string mime;
  std::string body;
};

class DiscSession {
 public:
  // Starts the session; Started() tells whether it runs.
  DiscSession();
  ~DiscSession();
  DiscSession(const DiscSession&) = delete;
  DiscSession& operator=(const DiscSession&) = delete;

  // The environment's paths; empty when unset.
  static std::string QilcdPath();
  static std::string DiscPath();

  bool Started() const;

  // The answer to one address: a full qilproto address or a bare path.
  DiscAnswer Get(const std::string& address);

  // The body of a generated HTML page; adds a test failure unless the answer
  // is 200 text/html without the module manager's error report.
  std::string Page(const std::string& address);

  // The last document the engine put on the clipboard ("" before the first).
  std::string Clipboard() const;

 private:
  TempDir dir_;
  std::unique_ptr<QilcdSession> session_;
};

// The value of every href, src and action attribute of html, in order, with
// the entity &amp; read as "&".
std::vector<std::string> PageLinks(const std::string& html);

// The addresses of every url(...) of a stylesheet.
std::vector<std::string> StyleUrls(const std::string& css);

// link resolved against the page's address base, without its fragment; ""
// for a link that leaves the scheme's host (another scheme, javascript:, a
// bare fragment).
std::string ResolveLink(const std::string& base, const std::string& link);

// Whether a body is the module manager's error report of a failed page.
bool IsErrorReport(const std::string& body);

// The number that the digit pictures of html draw (problem digits, their
// thousands separator and the counter's digits), read left to right; -1
// when html shows no digit.
long long DrawnNumber(const std::string& html);

// The distinct picture names (gfx=...) of a stretch of a page, in order.
std::vector<std::string> PictureNames(const std::string& html);

// The text between the first occurrence of open and the next close; "" when absent.
std::string Between(const std::string& text, const std::string& open, const std::string& close);

}  // namespace qil::test
