#include "base/run_loop.h"

namespace sw {

RunLoop::RunLoop() : owner_(std::this_thread::get_id()) {}

std::shared_ptr<RunLoop> RunLoop::current() {
  thread_local std::shared_ptr<RunLoop> loop = std::make_shared<RunLoop>();
  return loop;
}

void RunLoop::post(std::function<void()> task) {
  {
    std::lock_guard lock(mutex_);
    tasks_.push_back(std::move(task));
  }
  wake_.notify_all();
}

size_t RunLoop::runPending() {
  size_t count = 0;
  for (;;) {
    std::function<void()> task;
    {
      std::lock_guard lock(mutex_);
      if (tasks_.empty()) return count;
      task = std::move(tasks_.front());
      tasks_.pop_front();
    }
    if (task) task();
    ++count;
  }
}

size_t RunLoop::runFor(std::chrono::milliseconds timeout) {
  {
    std::unique_lock lock(mutex_);
    wake_.wait_for(lock, timeout, [this] { return !tasks_.empty(); });
  }
  return runPending();
}

}  // namespace sw
