// Running a piece of work on the main thread and waiting for its result.
//
// GTK may only be used from the main thread, but the engine asks its
// questions (retry a read, put a document on the clipboard) from the threads
// that answer the web view's requests. RunOnMainThread runs work at once when
// called on the main thread; from any other thread it hands work to the main
// loop and blocks until it has run. The main loop must be running, or be
// pumped by the thread that waits for this one.
#pragma once

#include <glib.h>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>

namespace qil::gtk {

template <class Result>
Result RunOnMainThread(const std::function<Result()>& work) {
  GMainContext* context = g_main_context_default();
  if (g_main_context_is_owner(context)) return work();

  struct Call {
    const std::function<Result()>* work;
    std::optional<Result> result;
    std::mutex mutex;
    std::condition_variable done;
  } call{&work, std::nullopt, {}, {}};

  g_main_context_invoke(
      context,
      [](gpointer data) -> gboolean {
        auto* call = static_cast<Call*>(data);
        Result result = (*call->work)();
        std::lock_guard<std::mutex> lock(call->mutex);
        call->result = std::move(result);
        call->done.notify_one();
        return G_SOURCE_REMOVE;
      },
      &call);
  std::unique_lock<std::mutex> lock(call.mutex);
  call.done.wait(lock, [&] { return call.result.has_value(); });
  return std::move(*call.result);
}

}  // namespace qil::gtk
