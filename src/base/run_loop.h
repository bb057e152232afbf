// A small run loop of our own: a queue of tasks that other threads post to and the owning
// thread drains, so callbacks arrive on the thread that asked for them.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace sw {

class RunLoop {
 public:
  RunLoop();
  // The run loop of the calling thread, made on first use.
  static std::shared_ptr<RunLoop> current();

  // Any thread.
  void post(std::function<void()> task);
  // Runs the tasks queued now (and those they queue); returns how many ran.
  size_t runPending();
  // Waits up to `timeout` for a task, then runs everything queued; returns how many ran.
  size_t runFor(std::chrono::milliseconds timeout);
  bool isCurrent() const { return std::this_thread::get_id() == owner_; }

 private:
  std::thread::id owner_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> tasks_;
};

}  // namespace sw
