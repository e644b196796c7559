// Answers the web view's requests off the thread that draws the window.
//
// Generated pages (addresses of ".stmp" templates) share the one session of
// the program, which is not thread-safe, so they are answered one at a time,
// in the order they arrived, on one worker thread. Plain archive entries
// (pictures, style sheets, scripts, fonts) are answered in parallel by a few
// more threads: the archive's pooled readers allow that.
//
// Every answer is fetched through a protocol handler (FetchAddress), exactly
// as a single-threaded web view would; done receives it on the worker thread
// that made it, and must hand it over to the window's thread itself.
//
// Thread-safe. Stop (also run by the destructor) waits for the requests in
// progress and answers every queued one as not found without fetching it.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "shell/Fetch.h"

namespace qil {

class RequestQueue {
 public:
  using Done = std::function<void(FetchResult)>;

  explicit RequestQueue(int file_threads = 3);
  ~RequestQueue();
  RequestQueue(const RequestQueue&) = delete;
  RequestQueue& operator=(const RequestQueue&) = delete;

  // Queues url; done is called exactly once.
  void Submit(std::string url, Done done);

  // Stops taking requests, answers queued ones as not found and waits for the
  // running ones. While it waits it calls pump (when given) every few
  // milliseconds, so that a request that needs the waiting thread (a
  // question to the user, the clipboard) can finish.
  void Stop(const std::function<void()>& pump = nullptr);

  // Whether an address is answered by a page module (and so is serialized).
  static bool IsPageRequest(const std::string& url);

 private:
  struct Request {
    std::string url;
    Done done;
  };
  struct Lane {
    std::deque<Request> waiting;
    std::condition_variable wake;
  };

  void Work(Lane& lane);

  std::mutex mutex_;
  std::condition_variable idle_;
  Lane pages_;
  Lane files_;
  int running_ = 0;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace qil
