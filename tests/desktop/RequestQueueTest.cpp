// The queue that answers the web view's requests off its thread, and the
// configuration files.
#include "shell/RequestQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <thread>

#include "common/TestFiles.h"
#include "platform/ConfigFile.h"
#include "protocol/ProtocolHandler.h"

namespace qil {
namespace {

using namespace std::chrono_literals;

// Answers every address with itself after a pause; records the page
// requests' order and whether two pages ever ran at once.
class SlowServer {
 public:
  SlowServer() {
    RequestHandler = [this](const std::string& url, std::string& mime, int32_t& size,
                            std::unique_ptr<MemoryStream>& stream) {
      const bool page = url.find(".stmp") != std::string::npos;
      if (page && pages_running_.fetch_add(1) != 0) overlapped_ = true;
      std::this_thread::sleep_for(page ? 20ms : 5ms);
      if (page) {
        std::lock_guard<std::mutex> lock(mutex_);
        order_.push_back(url);
        pages_running_.fetch_sub(1);
      }
      if (url.find("missing") != std::string::npos) return;
      stream = std::make_unique<MemoryStream>(url);
      size = static_cast<int32_t>(url.size());
      mime = page ? "text/html" : "image/png";
    };
  }
  ~SlowServer() { RequestHandler = nullptr; }

  std::vector<std::string> Order() {
    std::lock_guard<std::mutex> lock(mutex_);
    return order_;
  }
  bool Overlapped() const { return overlapped_; }

 private:
  std::mutex mutex_;
  std::vector<std::string> order_;
  std::atomic<int> pages_running_{0};
  std::atomic<bool> overlapped_{false};
};

std::string Address(const std::string& path) { return "qilproto://qilproto_local/" + path; }

TEST(RequestQueue, PagesOneAtATimeInArrivalOrderFilesAlongside) {
  SlowServer server;
  std::vector<std::string> expected;
  std::vector<std::future<FetchResult>> answers;
  std::atomic<int> files_done_while_pages_ran{0};
  {
    RequestQueue queue(3);
    for (int i = 0; i < 8; ++i) {
      const std::string page = Address("solution.stmp?id=" + std::to_string(i));
      expected.push_back(page);
      auto promise = std::make_shared<std::promise<FetchResult>>();
      answers.push_back(promise->get_future());
      queue.Submit(page, [promise](FetchResult result) { promise->set_value(std::move(result)); });
      queue.Submit(Address("picture" + std::to_string(i) + ".png"), [&](FetchResult result) {
        EXPECT_TRUE(result.Found);
        if (server.Order().size() < 8) ++files_done_while_pages_ran;
      });
    }
    for (auto& answer : answers) {
      const FetchResult result = answer.get();
      EXPECT_TRUE(result.Found);
      EXPECT_EQ(result.MimeType, "text/html");
    }
  }
  EXPECT_EQ(server.Order(), expected);
  EXPECT_FALSE(server.Overlapped());
  EXPECT_GT(files_done_while_pages_ran.load(), 0);
}

TEST(RequestQueue, EscapedTemplatesAreStillPages) {
  EXPECT_TRUE(RequestQueue::IsPageRequest(Address("main.stmp")));
  EXPECT_TRUE(RequestQueue::IsPageRequest(Address("MAIN.STMP?x=1")));
  EXPECT_TRUE(RequestQueue::IsPageRequest(Address("main%2Estmp")));
  EXPECT_TRUE(RequestQueue::IsPageRequest(Address("main.%73tmp")));
  EXPECT_FALSE(RequestQueue::IsPageRequest(Address("disc.css")));
}

TEST(RequestQueue, StopFinishesRunningRequestsAndAnswersTheRestAsNotFound) {
  SlowServer server;
  std::atomic<int> found{0};
  std::atomic<int> not_found{0};
  std::atomic<int> pumped{0};
  RequestQueue queue(1);
  for (int i = 0; i < 20; ++i) {
    queue.Submit(Address("p.stmp?n=" + std::to_string(i)),
                 [&](FetchResult result) { ++(result.Found ? found : not_found); });
  }
  queue.Submit(Address("missing.png"), [&](FetchResult result) { ++(result.Found ? found : not_found); });
  std::this_thread::sleep_for(30ms);
  queue.Stop([&] { ++pumped; });
  EXPECT_EQ(found + not_found, 21);
  EXPECT_GE(found.load(), 1);
  EXPECT_GE(not_found.load(), 10);
  // Requests after Stop are answered at once, without the server.
  bool answered = false;
  queue.Submit(Address("late.png"), [&](FetchResult result) { answered = !result.Found; });
  EXPECT_TRUE(answered);
}

TEST(ConfigFile, UserFileFirstThenTheMachines) {
  test::TempDir dir;
  test::WriteBytes(dir.File("user.conf"), "# mine\n patchlevel = 01 \nOther=x\n");
  test::WriteBytes(dir.File("machine.conf"), "PatchLevel=00\nPatchPath=/opt/p\nPatchPath=/opt/q\n");
  const std::vector<std::string> files = {dir.File("none.conf"), dir.File("user.conf"),
                                          dir.File("machine.conf")};
  EXPECT_EQ(ReadConfigValue(files, "PatchLevel"), "01");
  EXPECT_EQ(ReadConfigValue(files, "PatchPath"), "/opt/q");
  EXPECT_EQ(ReadConfigValue(files, "Missing"), std::nullopt);
}

}  // namespace
}  // namespace qil
