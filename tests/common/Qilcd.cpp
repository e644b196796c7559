#include "common/Qilcd.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <set>
#include <sstream>
#include <thread>

#include "common/TestFiles.h"

extern char** environ;

namespace qil::test {

namespace {

namespace fs = std::filesystem;

// A size field above this is taken for a broken frame rather than allocated.
constexpr size_t kMaxBody = size_t{1} << 30;
// A header line longer than this is a broken frame.
constexpr size_t kMaxHeader = 4096;

// The redirections and the folder of one child, released at the end.
class SpawnActions {
 public:
  SpawnActions() { posix_spawn_file_actions_init(&actions_); }
  ~SpawnActions() { posix_spawn_file_actions_destroy(&actions_); }
  SpawnActions(const SpawnActions&) = delete;
  SpawnActions& operator=(const SpawnActions&) = delete;
  posix_spawn_file_actions_t* Get() { return &actions_; }

 private:
  posix_spawn_file_actions_t actions_;
};

std::string VariableName(const std::string& entry) { return entry.substr(0, entry.find('=')); }

std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (std::string& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

// Starts qilcd with the redirections already in actions. The process id, or
// -1 with the reason in error.
pid_t Spawn(const std::vector<std::string>& args, const fs::path& dir,
            const std::vector<std::string>& environment, SpawnActions& actions, std::string& error) {
  const std::string qilcd = QilcdPath();
  if (qilcd.empty()) {
    error = "QILCD is not set";
    return -1;
  }
  // Absolute, because the child changes its folder before it starts the program.
  const std::string program = fs::absolute(qilcd).string();
  if (!dir.empty() && posix_spawn_file_actions_addchdir_np(actions.Get(), dir.c_str()) != 0) {
    error = "cannot change to " + dir.string();
    return -1;
  }
  std::vector<std::string> argv = {program};
  argv.insert(argv.end(), args.begin(), args.end());
  std::set<std::string> replaced;
  for (const std::string& entry : environment) replaced.insert(VariableName(entry));
  std::vector<std::string> envp;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    if (!replaced.contains(VariableName(*entry))) envp.emplace_back(*entry);
  }
  envp.insert(envp.end(), environment.begin(), environment.end());

  pid_t pid = -1;
  const int failure = posix_spawn(&pid, program.c_str(), actions.Get(), nullptr,
                                  Pointers(argv).data(), Pointers(envp).data());
  if (failure != 0) {
    error = "cannot start " + program + ": " + std::strerror(failure);
    return -1;
  }
  return pid;
}

// The exit code of the child, -1 when it did not exit normally.
int WaitForExit(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Waits for the child of run, killing it once limit (when positive) has
// passed, and records how it ended.
void WaitForRun(pid_t pid, std::chrono::milliseconds limit, QilcdRun& run) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  auto pause = std::chrono::microseconds(200);
  int status = 0;
  for (;;) {
    const pid_t done = waitpid(pid, &status, limit.count() > 0 ? WNOHANG : 0);
    if (done == pid) break;
    if (done < 0 && errno != EINTR) return;
    if (done == 0 && std::chrono::steady_clock::now() >= deadline) {
      kill(pid, SIGKILL);
      run.timed_out = true;
      while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
      }
      break;
    }
    if (done == 0) {
      std::this_thread::sleep_for(pause);
      pause = std::min<std::chrono::microseconds>(pause * 2, std::chrono::milliseconds(5));
    }
  }
  if (WIFEXITED(status)) run.exit_code = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) run.signal = WTERMSIG(status);
}

// Reads "STATUS MIME SIZE" into answer and size; false when line is not that.
bool ParseHeader(const std::string& line, SessionAnswer& answer, size_t& size) {
  std::istringstream fields(line);
  std::string size_text, extra;
  if (!(fields >> answer.status >> answer.mime >> size_text) || (fields >> extra)) return false;
  if (size_text.size() > 10 || size_text.find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  size = std::stoull(size_text);
  return size <= kMaxBody;
}

}  // namespace

std::string QilcdPath() {
  const char* path = std::getenv("QILCD");
  return path == nullptr ? std::string() : std::string(path);
}

QilcdRun RunQilcd(const std::vector<std::string>& args, const std::string& input,
                  const fs::path& dir, const std::vector<std::string>& environment,
                  std::chrono::milliseconds limit) {
  QilcdRun run;
  // The streams go through files of a private folder: nothing fills up while
  // qilcd runs, and the working folder gets no extra files.
  TempDir streams;
  const std::string in = streams.File("in"), out = streams.File("out"), err = streams.File("err");
  WriteBytes(in, input);
  SpawnActions actions;
  posix_spawn_file_actions_addopen(actions.Get(), 0, in.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(actions.Get(), 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(actions.Get(), 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  std::string error;
  const pid_t pid = Spawn(args, dir, environment, actions, error);
  if (pid < 0) {
    run.err = error + "\n";
    return run;
  }
  WaitForRun(pid, limit, run);
  run.out = ReadBytes(out);
  run.err = ReadBytes(err);
  return run;
}

std::vector<SessionAnswer> ParseSessionAnswers(const std::string& out) {
  std::vector<SessionAnswer> answers;
  size_t at = 0;
  while (at < out.size()) {
    const size_t eol = out.find('\n', at);
    SessionAnswer answer;
    size_t size = 0;
    if (eol == std::string::npos || !ParseHeader(out.substr(at, eol - at), answer, size)) {
      ADD_FAILURE() << "answer " << answers.size() << ": bad header at byte " << at << ": \""
                    << out.substr(at, 80) << "\"";
      break;
    }
    at = eol + 1;
    if (size >= out.size() - at || out[at + size] != '\n') {
      ADD_FAILURE() << "answer " << answers.size() << ": body of " << size << " bytes at byte "
                    << at << " not followed by LF";
      break;
    }
    answer.body = out.substr(at, size);
    at += size + 1;
    answers.push_back(std::move(answer));
  }
  return answers;
}

QilcdSession::QilcdSession(const std::vector<std::string>& args, const fs::path& dir,
                           const std::vector<std::string>& environment) {
  std::signal(SIGPIPE, SIG_IGN);  // a qilcd that died shows as a missing answer
  // Close-on-exec, so that no other child keeps these ends open; the copies
  // qilcd gets as its input and output stay open.
  int to_child[2], from_child[2];
  if (pipe2(to_child, O_CLOEXEC) != 0) return;
  if (pipe2(from_child, O_CLOEXEC) != 0) {
    close(to_child[0]);
    close(to_child[1]);
    return;
  }
  SpawnActions actions;
  posix_spawn_file_actions_adddup2(actions.Get(), to_child[0], 0);
  posix_spawn_file_actions_adddup2(actions.Get(), from_child[1], 1);
  std::string error;
  pid_ = Spawn(args, dir, environment, actions, error);
  close(to_child[0]);
  close(from_child[1]);
  in_ = pid_ > 0 ? fdopen(to_child[1], "w") : nullptr;
  out_ = pid_ > 0 ? fdopen(from_child[0], "r") : nullptr;
  if (in_ == nullptr) close(to_child[1]);
  if (out_ == nullptr) close(from_child[0]);
}

QilcdSession::~QilcdSession() {
  if (in_ != nullptr) std::fclose(in_);
  if (out_ != nullptr) std::fclose(out_);
  if (pid_ > 0) WaitForExit(pid_);
}

std::optional<SessionAnswer> QilcdSession::Ask(const std::string& line) {
  if (!Started()) return std::nullopt;
  std::fwrite(line.data(), 1, line.size(), in_);
  std::fputc('\n', in_);
  std::fflush(in_);

  std::string header;
  int c;
  while ((c = std::fgetc(out_)) != EOF && c != '\n' && header.size() < kMaxHeader) {
    header += static_cast<char>(c);
  }
  if (c == EOF && header.empty()) return std::nullopt;  // the output ended
  SessionAnswer answer;
  size_t size = 0;
  if (c != '\n' || !ParseHeader(header, answer, size)) {
    ADD_FAILURE() << "answer to " << line << ": bad header \"" << header.substr(0, 80) << "\"";
    return std::nullopt;
  }
  answer.body.resize(size);
  if (std::fread(answer.body.data(), 1, size, out_) != size || std::fgetc(out_) != '\n') {
    ADD_FAILURE() << "answer to " << line << ": body of " << size << " bytes not followed by LF";
    return std::nullopt;
  }
  return answer;
}

}  // namespace qil::test
