// Running the qilcd program from tests. Its path comes from the environment
// variable QILCD, which the build sets for every test; a test that needs
// qilcd skips when it is unset:
//
//   if (test::QilcdPath().empty()) GTEST_SKIP() << "QILCD is not set";
//
// RunQilcd runs one command to its end. QilcdSession keeps one
// `qilcd session` running and asks it one line at a time. Both start the
// program directly (no shell), so arguments are passed as they are.
//
// Session answers are framed as "STATUS MIME SIZE" LF, SIZE bytes, LF. The
// readers here add a GoogleTest failure for output that breaks the framing
// and return what they read before it.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
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
// (the test's own when empty), with environment ("NAME=VALUE" entries) added
// to the test's, replacing variables of the same names. Waits for it to end;
// with a positive limit, at most that long: then it kills qilcd (SIGKILL) and
// sets timed_out. When qilcd cannot be started, exit_code is -1 and err says why.
QilcdRun RunQilcd(const std::vector<std::string>& args, const std::string& input = "",
                  const std::filesystem::path& dir = {},
                  const std::vector<std::string>& environment = {},
                  std::chrono::milliseconds limit = {});

struct SessionAnswer {
  std::string status;  // "200" or "404"
  std::string mime;    // "-" with 404
  std::string body;
};

// The answers in the whole output of a session.
std::vector<SessionAnswer> ParseSessionAnswers(const std::string& out);

// One running qilcd with piped standard input and output; its standard error
// is the test's. Not thread safe. Writing to a qilcd that has died does not
// raise SIGPIPE: constructing a session ignores that signal for the process.
class QilcdSession {
 public:
  // Starts qilcd with args (e.g. {"session", "--archive", "math.dat"}); dir
  // and environment as for RunQilcd.
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

}  // namespace qil::test
