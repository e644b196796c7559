#include "shell/RequestQueue.h"

#include <chrono>

#include "base/Text.h"
#include "protocol/ProtocolHandler.h"

namespace qil {

RequestQueue::RequestQueue(int file_threads) {
  threads_.emplace_back([this] { Work(pages_); });
  for (int i = 0; i < file_threads; ++i) threads_.emplace_back([this] { Work(files_); });
}

RequestQueue::~RequestQueue() { Stop(); }

bool RequestQueue::IsPageRequest(const std::string& url) {
  // Judged on the decoded address, as the server sees it; an escaped
  // ".stmp" must not slip past. Anything that merely mentions a template
  // goes the safe way.
  const std::string decoded = DecodeRequestUrl(url).value_or(url);
  return LowerCase(decoded).find(".stmp") != std::string::npos;
}

void RequestQueue::Submit(std::string url, Done done) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!stopping_) {
      Lane& lane = IsPageRequest(url) ? pages_ : files_;
      lane.waiting.push_back({std::move(url), std::move(done)});
      lane.wake.notify_one();
      return;
    }
  }
  done(FetchResult());
}

void RequestQueue::Work(Lane& lane) {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    lane.wake.wait(lock, [&] { return stopping_ || !lane.waiting.empty(); });
    if (stopping_) return;
    Request request = std::move(lane.waiting.front());
    lane.waiting.pop_front();
    ++running_;
    lock.unlock();
    request.done(FetchAddress(request.url));
    lock.lock();
    --running_;
    idle_.notify_all();
  }
}

void RequestQueue::Stop(const std::function<void()>& pump) {
  std::vector<Request> dropped;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    if (threads_.empty()) return;
    stopping_ = true;
    for (Lane* lane : {&pages_, &files_}) {
      for (Request& request : lane->waiting) dropped.push_back(std::move(request));
      lane->waiting.clear();
      lane->wake.notify_all();
    }
    while (running_ > 0) {
      if (!pump) {
        idle_.wait(lock, [this] { return running_ == 0; });
        break;
      }
      idle_.wait_for(lock, std::chrono::milliseconds(5));
      lock.unlock();
      pump();
      lock.lock();
    }
  }
  for (std::thread& thread : threads_) thread.join();
  threads_.clear();
  for (Request& request : dropped) request.done(FetchResult());
}

}  // namespace qil
