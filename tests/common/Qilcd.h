// Running the qilcd program from tests. Its path comes from the environment
// variable QILCD, which the build sets for every test; a test that needs
// qilcd skips when it is unset. RunQilcd runs one command to its end;
// QilcdSession keeps one `qilcd session` running and asks it one line at a
// time; PackDisc makes a small disc with `qilcd pack`; IsErrorPage tells
// the engine's error page from other answers. The program starts
// directly (no shell), so arguments pass as they are. Session answers are
// framed as "STATUS MIME SIZE" LF, SIZE bytes, LF: the readers add a test
// failure for output that breaks the framing and return what came before it.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qil::test {

// The value of QILCD; "" when unset.
std::string QilcdPath();

struct QilcdRun {
  int exit_code = -1;      // -1 when qilcd did not start or did not exit normally
  int signal = 0;          // the signal that ended qilcd; 0 when it exited
  bool timed_out = false;  // killed because it outlived the time limit
  std::string out;
  std::string err;
};

// Runs qilcd with args and input as its standard input, in the folder dir
// (the test's own when empty), with environment ("NAME=VALUE" entries)
// replacing or adding to the test's variables. With a positive limit, kills
// qilcd (SIGKILL, timed_out) once it has run that long. When qilcd cannot be
// started, exit_code is -1 and err says why.
QilcdRun RunQilcd(const std::vector<std::string>& args, const std::string& input = "",
                  const std::filesystem::path& dir = {}, const std::vector<std::string>& environment = {},
                  std::chrono::milliseconds limit = {});

struct SessionAnswer {
  std::string status;  // "200" or "404"
  std::string mime;    // "-" with 404
  std::string body;
};

// The module manager's error page opens with one of these, then the address
// of the failed request and a quote: its wording, written once for all tests.
inline constexpr std::string_view kErrorPageOpenings[] = {"<pre>Error executing template script: \"",
                                                          "<pre>Template script not found for template: \""};
// Whether body holds an error page; with a path ("/main.stmp?x=1"), one for that address.
bool IsErrorPage(std::string_view body, const std::string& path = "");

// The answers in the whole output of a session.
std::vector<SessionAnswer> ParseSessionAnswers(const std::string& out);

// One running qilcd with piped standard input and output; its standard error
// is the test's. Not thread safe. Constructing one ignores SIGPIPE for the
// process, so a qilcd that died shows as a missing answer.
class QilcdSession {
 public:
  // Starts qilcd with args; dir and environment as for RunQilcd.
  explicit QilcdSession(const std::vector<std::string>& args, const std::filesystem::path& dir = {},
                        const std::vector<std::string>& environment = {});
  // Ends the input, which ends the session, and waits for qilcd.
  ~QilcdSession();
  QilcdSession(const QilcdSession&) = delete;
  QilcdSession& operator=(const QilcdSession&) = delete;

  bool Started() const { return in_ != nullptr && out_ != nullptr; }

  // Sends line and a LF, and reads one answer. nullopt when none came (not
  // started, or the output ended); a broken frame also fails the test.
  std::optional<SessionAnswer> Ask(const std::string& line);

 private:
  pid_t pid_ = -1;
  FILE* in_ = nullptr;
  FILE* out_ = nullptr;
};

// A small disc: writes files (entry name -> bytes; a problems/ folder
// becomes the problem database) under dir/src and packs them into dir/name
// with `qilcd pack` and options (e.g. {"--product-id", "OTHER"}). The
// archive's path; "" after a test failure when packing failed.
std::string PackDisc(const std::filesystem::path& dir, const std::map<std::string, std::string>& files,
                     const std::string& name = "math.dat", const std::vector<std::string>& options = {});

}  // namespace qil::test
