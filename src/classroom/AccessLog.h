// The classroom server's access log: one line per request in the common log
// format,
//     127.0.0.1 - - [06/Dec/2026:18:40:12 +0000] "GET /index.html HTTP/1.1" 200 2326
// written to standard output or appended to a file.
//
// Reopen opens the file again under the same name (after a log rotation
// moved it away); on failure the old file stays in use and the reason is
// answered. Lines are written whole and flushed one by one. Thread-safe: any
// number of threads may write while another reopens.
#pragma once

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <string>

namespace qil {

class AccessLog {
 public:
  // path "" or "-": standard output. Raises Exception when the file cannot
  // be opened for appending.
  explicit AccessLog(std::string path);
  ~AccessLog();

  AccessLog(const AccessLog&) = delete;
  AccessLog& operator=(const AccessLog&) = delete;

  // Writes one request's line. bytes: the body's length (0 is written "-").
  void Write(const std::string& client, std::time_t when, const std::string& requestLine,
             int status, uint64_t bytes);

  // Reopens the file; "" on success, otherwise why it failed. Does nothing
  // for standard output.
  std::string Reopen();

 private:
  std::mutex lock_;
  std::string path_;
  std::FILE* file_;
};

// The server's own problems (a page that failed, a part of the disc that
// cannot be read): one line "orvella-serve: MESSAGE" on standard error.
void LogProblem(const std::string& message);

// The line Write writes, without its line break (for tests and tools).
std::string CommonLogLine(const std::string& client, std::time_t when, const std::string& requestLine,
                          int status, uint64_t bytes);

}  // namespace qil
