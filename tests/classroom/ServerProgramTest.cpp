// orvella-serve as a program: it refuses what it cannot serve with status 2,
// answers 500 for a disc damaged under it and goes on, reopens its log on
// SIGHUP and stops cleanly on SIGTERM.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <sstream>
#include <thread>

#include "classroom/HttpFetch.h"
#include "common/Qilcd.h"
#include "common/TestFiles.h"

extern char** environ;

namespace qil::test {
namespace {

// One orvella-serve on 127.0.0.1 and a free port; killed at the end if still running.
class ServerProgram {
 public:
  explicit ServerProgram(std::vector<std::string> args) {
    args.insert(args.begin(), ORVELLA_SERVE);
    for (const char* fixed : {"--address", "127.0.0.1", "--port", "0"}) args.emplace_back(fixed);
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    int pipe_fds[2];
    if (pipe(pipe_fds) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], STDERR_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipe_fds[0]);
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(pipe_fds[1]);
    err_ = fdopen(pipe_fds[0], "r");
    char line[512];
    // The first line says where it listens, or why it could not.
    if (err_ != nullptr && std::fgets(line, sizeof line, err_) != nullptr) {
      first_line_ = line;
      const size_t colon = first_line_.rfind(':');
      if (first_line_.starts_with("Listening on ")) port_ = std::stoi(first_line_.substr(colon + 1));
    }
  }
  ~ServerProgram() {
    if (pid_ > 0 && !status_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (err_ != nullptr) fclose(err_);
  }
  int Port() const { return port_; }
  const std::string& FirstLine() const { return first_line_; }
  void Signal(int number) const { kill(pid_, number); }
  // The exit status, waiting at most limit; nullopt when it did not end or was killed.
  std::optional<int> Exit(std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!status_ && std::chrono::steady_clock::now() < end) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      }
    }
    return status_;
  }

 private:
  pid_t pid_ = -1;
  FILE* err_ = nullptr;
  int port_ = 0;
  std::string first_line_;
  std::optional<int> status_;
};

TEST(ServerProgramTest, WhatCannotBeServedEndsStartUpWithStatusTwo) {
  TempDir dir;
  WriteBytes(dir.File("garbage.dat"), std::string(4096, 'g'));
  WriteBytes(dir.File("short.key"), "too short");
  const std::vector<std::vector<std::string>> refusals = {
      {"--archive", dir.File("missing.dat")},
      {"--archive", dir.File("garbage.dat")},
      {"--archive", QIL_DEMO_DISC, "--key-file", dir.File("short.key")},
      {"--archive", QIL_DEMO_DISC, "--log", dir.File("no/such/folder/log")},
      {"--archive", QIL_DEMO_DISC, "--threads", "many"},
      {"--port", "8080"},
  };
  for (const auto& args : refusals) {
    ServerProgram program(args);
    EXPECT_EQ(program.Exit(std::chrono::seconds(10)), 2) << args.back();
    EXPECT_TRUE(program.FirstLine().starts_with("orvella-serve: ")) << program.FirstLine();
  }
}

TEST(ServerProgramTest, ADiscDamagedWhileServingFailsOnlyItsRequests) {
  TempDir dir;
  const std::string disc = dir.File("math.dat");
  std::filesystem::copy_file(QIL_DEMO_DISC, disc);
  ServerProgram program({"--archive", disc, "--log", dir.File("access.log")});
  ASSERT_GT(program.Port(), 0) << program.FirstLine();
  ASSERT_EQ(Fetch(program.Port(), "/index.html").status, 200);

  std::filesystem::resize_file(disc, std::filesystem::file_size(disc) / 3);
  std::istringstream names(RunQilcd({"ls", QIL_DEMO_DISC}).out);
  int failed = 0;
  for (std::string line; std::getline(names, line);) {
    const long status = Fetch(program.Port(), "/" + line.substr(line.find('\t') + 1)).status;
    EXPECT_TRUE(status == 200 || status == 500) << line << ": " << status;
    failed += status == 500;
  }
  const long page = Fetch(program.Port(), "/solution.stmp?id=1000").status;
  EXPECT_GT(failed + (page == 500), 0);
  EXPECT_EQ(Fetch(program.Port(), "/index.html").status, 200);
}

// Whether the file at path comes to hold text within a few seconds (a
// request's log line is written when its answer has gone out).
bool ComesToHold(const std::string& path, const std::string& text) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    if (ReadBytes(path).find(text) != std::string::npos) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

TEST(ServerProgramTest, HangUpReopensTheLogAndTerminateStops) {
  TempDir dir;
  const std::string log = dir.File("access.log");
  ServerProgram program({"--archive", QIL_DEMO_DISC, "--log", log});
  ASSERT_GT(program.Port(), 0) << program.FirstLine();
  Fetch(program.Port(), "/index.html");
  ASSERT_TRUE(ComesToHold(log, "\"GET /index.html HTTP/1.1\" 200 "));
  std::filesystem::rename(log, log + ".1");
  program.Signal(SIGHUP);
  for (int attempt = 0; attempt < 100 && !std::filesystem::exists(log); ++attempt) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  ASSERT_TRUE(std::filesystem::exists(log));
  Fetch(program.Port(), "/disc.css");
  EXPECT_TRUE(ComesToHold(log, "\"GET /disc.css HTTP/1.1\" 200 "));
  EXPECT_EQ(ReadBytes(log + ".1").find("disc.css"), std::string::npos);

  program.Signal(SIGTERM);
  EXPECT_EQ(program.Exit(std::chrono::seconds(15)), 0);
  EXPECT_EQ(Fetch(program.Port(), "/index.html").status, 0);
}

}  // namespace
}  // namespace qil::test
