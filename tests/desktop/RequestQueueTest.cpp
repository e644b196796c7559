// The queue that answers the web view's requests off its thread, and the
// configuration files.
#include "shell/RequestQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include "common/TestFiles.h"
#include "platform/ConfigFile.h"
#include "protocol/ProtocolHandler.h"

namespace qil {
namespace {

using namespace std::chrono_literals;

std::string Address(const std::string& path) { return "qilproto://qilproto_local/" + path; }

// Answers every address with itself after a pause, noting the pages in the
// order they ran and whether two ever ran at once.
struct SlowServer {
  SlowServer() {
    RequestHandler = [this](const std::string& url, std::string& mime, int32_t& size,
                            std::unique_ptr<MemoryStream>& stream) {
      const bool page = url.find(".stmp") != std::string::npos;
      if (page && running++ != 0) overlapped = true;
      std::this_thread::sleep_for(page ? 20ms : 5ms);
      if (page) {
        std::lock_guard<std::mutex> lock(mutex);
        pages.push_back(url);
        --running;
      }
      stream = std::make_unique<MemoryStream>(url);
      size = static_cast<int32_t>(url.size());
      mime = page ? "text/html" : "image/png";
    };
  }
  ~SlowServer() { RequestHandler = nullptr; }

  std::mutex mutex;
  std::vector<std::string> pages;
  std::atomic<int> running{0};
  std::atomic<bool> overlapped{false};
};

TEST(RequestQueue, PagesOneAtATimeInArrivalOrderFilesAlongside) {
  SlowServer server;
  std::vector<std::string> expected;
  std::atomic<int> pages_found{0}, files_found{0}, files_while_a_page_ran{0};
  {
    RequestQueue queue(3);
    for (int i = 0; i < 8; ++i) {
      expected.push_back(Address("solution.stmp?id=" + std::to_string(i)));
      queue.Submit(expected.back(), [&](FetchResult result) { pages_found += result.MimeType == "text/html"; });
      queue.Submit(Address("picture.png"), [&](FetchResult result) {
        files_while_a_page_ran += server.running > 0;
        files_found += result.Body == Address("picture.png");
      });
    }
    // The queue's end would drop what still waits: let everything run first.
    for (int i = 0; i < 1000 && pages_found + files_found < 16; ++i) std::this_thread::sleep_for(10ms);
  }
  EXPECT_EQ(pages_found + files_found, 16);
  EXPECT_EQ(server.pages, expected);
  EXPECT_FALSE(server.overlapped) << "two pages ran at once";
  EXPECT_GT(files_while_a_page_ran.load(), 0) << "the files waited for the pages";
  for (const char* page : {"MAIN.STMP?x=1", "main%2Estmp", "main.%73tmp"}) {
    EXPECT_TRUE(RequestQueue::IsPageRequest(Address(page))) << page;
  }
  EXPECT_FALSE(RequestQueue::IsPageRequest(Address("disc.css")));
}

TEST(RequestQueue, StopFinishesRunningRequestsAndAnswersTheRestAsNotFound) {
  SlowServer server;
  std::atomic<int> found{0}, not_found{0};
  RequestQueue queue(1);
  auto count = [&](FetchResult result) { ++(result.Found ? found : not_found); };
  for (int i = 0; i < 20; ++i) queue.Submit(Address("p.stmp?n=" + std::to_string(i)), count);
  std::this_thread::sleep_for(30ms);
  queue.Stop([] {});  // the path that pumps while it waits
  EXPECT_EQ(found + not_found, 20);
  EXPECT_GE(found.load(), 1);
  EXPECT_GE(not_found.load(), 10);
  bool answered = false;  // after Stop, at once and without the server
  queue.Submit(Address("late.png"), [&](FetchResult result) { answered = !result.Found; });
  EXPECT_TRUE(answered);
}

TEST(ConfigFile, UserFileFirstThenTheMachines) {
  test::TempDir dir;
  test::WriteBytes(dir.File("user.conf"), "# mine\n patchlevel = 01 \nOther=x\n");
  test::WriteBytes(dir.File("machine.conf"), "PatchLevel=00\nPatchPath=/opt/p\nPatchPath=/opt/q\n");
  const std::vector<std::string> files = {dir.File("none.conf"), dir.File("user.conf"), dir.File("machine.conf")};
  EXPECT_EQ(ReadConfigValue(files, "PatchLevel"), "01");
  EXPECT_EQ(ReadConfigValue(files, "PatchPath"), "/opt/q");
  EXPECT_EQ(ReadConfigValue(files, "Missing"), std::nullopt);
}

}  // namespace
}  // namespace qil
