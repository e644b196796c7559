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
#include <functional>
#include <set>
#include <sstream>
#include <thread>

#include "common/TestFiles.h"

extern char** environ;

namespace qil::test {

namespace {

namespace fs = std::filesystem;

constexpr size_t kMaxBody = size_t{1} << 30;  // a larger size field is a broken frame
constexpr size_t kMaxHeader = 4096;           // and so is a longer header line

std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (std::string& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

// Starts qilcd with the standard streams that redirect sets up: its process
// id, or -1 with the reason in error.
pid_t Spawn(const std::vector<std::string>& args, const fs::path& dir, const std::vector<std::string>& environment,
            const std::function<void(posix_spawn_file_actions_t*)>& redirect, std::string& error) {
  // Absolute, because the child changes its folder before it starts the program.
  std::vector<std::string> argv = {fs::absolute(QilcdPath()).string()};
  argv.insert(argv.end(), args.begin(), args.end());
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  redirect(&actions);
  if (!dir.empty()) posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
  auto name = [](const std::string& entry) { return entry.substr(0, entry.find('=')); };
  std::set<std::string> replaced;
  for (const std::string& entry : environment) replaced.insert(name(entry));
  std::vector<std::string> envp;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    if (!replaced.contains(name(*entry))) envp.emplace_back(*entry);
  }
  envp.insert(envp.end(), environment.begin(), environment.end());
  pid_t pid = -1;
  const int failure =
      posix_spawn(&pid, argv[0].c_str(), &actions, nullptr, Pointers(argv).data(), Pointers(envp).data());
  posix_spawn_file_actions_destroy(&actions);
  if (failure == 0) return pid;
  error = "cannot start " + argv[0] + ": " + std::strerror(failure);
  return -1;
}

// Waits for the child; with a positive limit, kills it once that has passed.
void Wait(pid_t pid, std::chrono::milliseconds limit, QilcdRun& run) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  int status = 0;
  for (pid_t done; (done = waitpid(pid, &status, limit.count() > 0 ? WNOHANG : 0)) != pid;) {
    if (done < 0 && errno != EINTR) return;
    if (done == 0 && std::chrono::steady_clock::now() >= deadline) {
      kill(pid, SIGKILL);
      run.timed_out = true;
      limit = {};  // now wait for the end without a limit
    } else if (done == 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
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
  if (size_text.size() > 10 || size_text.find_first_not_of("0123456789") != std::string::npos) return false;
  size = std::stoull(size_text);
  return size <= kMaxBody;
}

}  // namespace

std::string QilcdPath() { return std::getenv("QILCD") == nullptr ? "" : std::getenv("QILCD"); }

QilcdRun RunQilcd(const std::vector<std::string>& args, const std::string& input, const fs::path& dir,
                  const std::vector<std::string>& environment, std::chrono::milliseconds limit) {
  QilcdRun run;
  // Through files of a private folder: nothing fills up while qilcd runs.
  TempDir streams;
  const std::string in = streams.File("in"), out = streams.File("out"), err = streams.File("err");
  WriteBytes(in, input);
  std::string error;
  const pid_t pid = Spawn(args, dir, environment, [&](posix_spawn_file_actions_t* actions) {
    posix_spawn_file_actions_addopen(actions, 0, in.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  }, error);
  if (pid < 0) {
    run.err = error + "\n";
    return run;
  }
  Wait(pid, limit, run);
  run.out = ReadBytes(out);
  run.err = ReadBytes(err);
  return run;
}

bool IsErrorPage(std::string_view body, const std::string& path) {
  return std::any_of(std::begin(kErrorPageOpenings), std::end(kErrorPageOpenings), [&](std::string_view opening) {
    return body.find(std::string(opening) + (path.empty() ? "" : path + "\"")) != std::string_view::npos;
  });
}

std::vector<SessionAnswer> ParseSessionAnswers(const std::string& out) {
  std::vector<SessionAnswer> answers;
  for (size_t at = 0; at < out.size();) {
    const size_t eol = out.find('\n', at);
    SessionAnswer answer;
    size_t size = 0;
    if (eol == std::string::npos || !ParseHeader(out.substr(at, eol - at), answer, size)) {
      ADD_FAILURE() << "answer " << answers.size() << ": bad header \"" << out.substr(at, 80) << "\"";
      break;
    }
    at = eol + 1;
    if (size >= out.size() - at || out[at + size] != '\n') {
      ADD_FAILURE() << "answer " << answers.size() << ": body of " << size << " bytes not followed by LF";
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
  std::signal(SIGPIPE, SIG_IGN);
  // Close-on-exec, so no other child keeps these ends open; qilcd's copies stay open.
  int to_child[2] = {-1, -1}, from_child[2] = {-1, -1};
  std::string error;
  if (pipe2(to_child, O_CLOEXEC) == 0 && pipe2(from_child, O_CLOEXEC) == 0) {
    pid_ = Spawn(args, dir, environment, [&](posix_spawn_file_actions_t* actions) {
      posix_spawn_file_actions_adddup2(actions, to_child[0], 0);
      posix_spawn_file_actions_adddup2(actions, from_child[1], 1);
    }, error);
  }
  in_ = pid_ > 0 ? fdopen(to_child[1], "w") : nullptr;
  out_ = pid_ > 0 ? fdopen(from_child[0], "r") : nullptr;
  for (const int fd : {to_child[0], from_child[1], in_ ? -1 : to_child[1], out_ ? -1 : from_child[0]}) {
    if (fd >= 0) close(fd);
  }
}

QilcdSession::~QilcdSession() {
  if (in_ != nullptr) std::fclose(in_);
  if (out_ != nullptr) std::fclose(out_);
  QilcdRun ignored;
  if (pid_ > 0) Wait(pid_, {}, ignored);
}

std::optional<SessionAnswer> QilcdSession::Ask(const std::string& line) {
  if (!Started()) return std::nullopt;
  std::fwrite(line.data(), 1, line.size(), in_);
  std::fputc('\n', in_);
  std::fflush(in_);
  std::string header;
  int c;
  while ((c = std::fgetc(out_)) != EOF && c != '\n' && header.size() < kMaxHeader) header += static_cast<char>(c);
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

std::string PackDisc(const fs::path& dir, const std::map<std::string, std::string>& files,
                     const std::string& name, const std::vector<std::string>& options) {
  const fs::path source = dir / "src";
  fs::remove_all(source);
  for (const auto& [entry, bytes] : files) WriteFile(source / entry, bytes);
  std::vector<std::string> args = {"pack", source.string(), (dir / name).string()};
  args.insert(args.end(), options.begin(), options.end());
  const QilcdRun pack = RunQilcd(args);
  EXPECT_EQ(pack.exit_code, 0) << "qilcd pack: " << pack.err;
  return pack.exit_code == 0 ? (dir / name).string() : "";
}

}  // namespace qil::test
