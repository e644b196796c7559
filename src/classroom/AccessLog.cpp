#include "classroom/AccessLog.h"

#include <cerrno>
#include <cstring>

#include "base/Exceptions.h"

namespace qil {

namespace {

bool IsStandardOutput(const std::string& path) { return path.empty() || path == "-"; }

std::FILE* OpenForAppending(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "ae");
  if (file == nullptr) return nullptr;
  std::setvbuf(file, nullptr, _IOFBF, 1 << 16);
  return file;
}

// A request line as it goes between quotes: quotes and control bytes escaped.
std::string Quoted(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c == 0x7f) {
      char escaped[5];
      std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
      out += escaped;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

}  // namespace

void LogProblem(const std::string& message) {
  std::fprintf(stderr, "orvella-serve: %s\n", message.c_str());
}

std::string CommonLogLine(const std::string& client, std::time_t when, const std::string& requestLine,
                          int status, uint64_t bytes) {
  std::tm utc{};
  gmtime_r(&when, &utc);
  char stamp[40];
  std::strftime(stamp, sizeof stamp, "%d/%b/%Y:%H:%M:%S +0000", &utc);
  return client + " - - [" + stamp + "] \"" + Quoted(requestLine) + "\" " + std::to_string(status) + " " +
         (bytes == 0 ? std::string("-") : std::to_string(bytes));
}

AccessLog::AccessLog(std::string path) : path_(std::move(path)), file_(stdout) {
  if (IsStandardOutput(path_)) return;
  file_ = OpenForAppending(path_);
  if (file_ == nullptr) {
    throw Exception("Cannot open the access log " + path_ + ": " + std::strerror(errno));
  }
}

AccessLog::~AccessLog() {
  if (file_ != stdout) std::fclose(file_);
}

void AccessLog::Write(const std::string& client, std::time_t when, const std::string& requestLine,
                      int status, uint64_t bytes) {
  const std::string line = CommonLogLine(client, when, requestLine, status, bytes) + "\n";
  std::lock_guard<std::mutex> hold(lock_);
  std::fwrite(line.data(), 1, line.size(), file_);
  std::fflush(file_);
}

std::string AccessLog::Reopen() {
  if (IsStandardOutput(path_)) return {};
  std::FILE* reopened = OpenForAppending(path_);
  if (reopened == nullptr) return std::strerror(errno);
  std::lock_guard<std::mutex> hold(lock_);
  std::fclose(file_);
  file_ = reopened;
  return {};
}

}  // namespace qil
