#include "base/pw_events.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <filesystem>
#include <map>
#include <thread>

namespace sw {

namespace fs = std::filesystem;

namespace {

constexpr uint32_t kWatchMask = IN_CREATE | IN_DELETE | IN_CLOSE_WRITE | IN_MOVED_FROM | IN_MOVED_TO | IN_ATTRIB |
                                IN_DELETE_SELF | IN_MOVE_SELF;
constexpr size_t kMaxWatches = 8192;
constexpr auto kFlushWait = std::chrono::seconds(5);

std::atomic<uint64_t> gNextEventId{1};

std::string joinPaths(const std::vector<std::string>& paths) {
  std::string text = "(";
  for (size_t i = 0; i < paths.size(); ++i) text += (i ? ", " : "") + paths[i];
  return text + ")";
}

bool isAtOrBelow(const std::string& path, const std::string& folder) {
  if (folder.empty()) return false;
  if (path.compare(0, folder.size(), folder) != 0) return false;
  return path.size() == folder.size() || folder.back() == '/' || path[folder.size()] == '/';
}

}  // namespace

std::string PWEvent::description() const {
  return "<PWEvent { eventId = " + std::to_string(eventId_) + ", eventPath = " + eventPath_ +
         ", eventFlags = " + std::to_string(eventFlags_) + " } >";
}

std::string PWEvents::standardizedPath(const std::string& path) {
  if (path.empty()) return path;
  std::string normal = fs::path(path).lexically_normal().string();
  while (normal.size() > 1 && normal.back() == '/') normal.pop_back();
  return normal;
}

// ---- The inotify stream: one thread reading the watches, batching by the latency.

struct PWEvents::Stream {
  using Post = std::function<void(std::vector<RawEvent>)>;

  int fd = -1;
  int wake = -1;
  std::map<int, std::string> watches;  // descriptor → folder or file; the stream thread's once running
  std::atomic<size_t> watchCount{0};
  std::chrono::steady_clock::duration latency;
  Post post;
  std::thread thread;

  std::mutex mutex;  // the two counters and the quit flag
  std::condition_variable changed;
  uint64_t flushRequested = 0;
  uint64_t flushPosted = 0;
  bool quit = false;

  ~Stream() {
    {
      std::lock_guard lock(mutex);
      quit = true;
    }
    signal();
    if (thread.joinable()) thread.join();
    if (fd >= 0) ::close(fd);
    if (wake >= 0) ::close(wake);
  }

  void signal() const {
    if (wake < 0) return;
    uint64_t one = 1;
    [[maybe_unused]] ssize_t written = ::write(wake, &one, sizeof one);
  }

  void addWatch(const std::string& path) {
    if (watches.size() >= kMaxWatches) return;
    int descriptor = inotify_add_watch(fd, path.c_str(), kWatchMask);
    if (descriptor >= 0) watches[descriptor] = path;
    watchCount = watches.size();
  }

  // Watches a folder and every folder below it (links to folders are not followed); files
  // found there are reported through `found` when given.
  void addWatchTree(const std::string& root, std::vector<RawEvent>* found) {
    addWatch(root);
    std::error_code error;
    if (!fs::is_directory(fs::symlink_status(root, error))) return;
    fs::recursive_directory_iterator it(root, fs::directory_options::skip_permission_denied, error), end;
    for (; !error && it != end; it.increment(error)) {
      std::error_code statError;
      if (it->is_directory(statError) && !it->is_symlink(statError))
        addWatch(it->path().string());
      else if (found)
        found->push_back({gNextEventId++, it->path().string(), IN_CREATE});
      if (watches.size() >= kMaxWatches) break;
    }
  }

  void readEvents(std::vector<RawEvent>& batch) {
    alignas(inotify_event) char buffer[16384];
    for (;;) {
      ssize_t length = ::read(fd, buffer, sizeof buffer);
      if (length <= 0) return;
      for (ssize_t offset = 0; offset + ssize_t(sizeof(inotify_event)) <= length;) {
        const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
        offset += ssize_t(sizeof(inotify_event) + event->len);
        if (offset > length) break;
        if (event->mask & IN_Q_OVERFLOW) {
          for (const auto& [descriptor, path] : watches) batch.push_back({gNextEventId++, path, event->mask});
          continue;
        }
        auto watch = watches.find(event->wd);
        if (watch == watches.end()) continue;
        if (event->mask & IN_IGNORED) {
          watches.erase(watch);
          watchCount = watches.size();
          continue;
        }
        std::string path = watch->second;
        if (event->len > 0 && event->name[0]) path += "/" + std::string(event->name);
        batch.push_back({gNextEventId++, path, event->mask});
        if ((event->mask & IN_ISDIR) && (event->mask & (IN_CREATE | IN_MOVED_TO))) addWatchTree(path, &batch);
      }
    }
  }

  void run() {
    std::vector<RawEvent> batch;
    auto batchStart = std::chrono::steady_clock::now();
    for (;;) {
      int timeout = -1;
      if (!batch.empty()) {
        auto left = latency - (std::chrono::steady_clock::now() - batchStart);
        timeout = int(std::max<int64_t>(0, std::chrono::duration_cast<std::chrono::milliseconds>(left).count()));
      }
      pollfd fds[2] = {{fd, POLLIN, 0}, {wake, POLLIN, 0}};
      ::poll(fds, 2, timeout);
      if (fds[1].revents & POLLIN) {
        uint64_t count;
        [[maybe_unused]] ssize_t got = ::read(wake, &count, sizeof count);
      }
      uint64_t flushTicket;
      {
        std::lock_guard lock(mutex);
        if (quit) return;
        flushTicket = flushRequested;
      }
      const bool wasEmpty = batch.empty();
      readEvents(batch);
      if (wasEmpty && !batch.empty()) batchStart = std::chrono::steady_clock::now();
      const bool due = !batch.empty() && std::chrono::steady_clock::now() - batchStart >= latency;
      bool flushing;
      {
        std::lock_guard lock(mutex);
        flushing = flushTicket > flushPosted;
      }
      if (due || (flushing && !batch.empty())) {
        post(std::move(batch));
        batch.clear();
      }
      if (flushing) {
        std::lock_guard lock(mutex);
        flushPosted = flushTicket;
        changed.notify_all();
      }
    }
  }

  // Returns after the stream has posted what it had (or gave up waiting).
  void flush(bool wait) {
    uint64_t ticket;
    {
      std::lock_guard lock(mutex);
      ticket = ++flushRequested;
    }
    signal();
    if (!wait) return;
    std::unique_lock lock(mutex);
    changed.wait_for(lock, kFlushWait, [&] { return flushPosted >= ticket || quit; });
  }
};

// ---- State shared with the tasks posted to the run loop.

struct PWEvents::Core {
  mutable std::recursive_mutex mutex;
  PWEvents* owner = nullptr;
  std::unique_ptr<Stream> stream;
  std::shared_ptr<RunLoop> runLoop;
  bool ignoreEventsFromSubDirs = true;
  PWEventListener* delegate = nullptr;
  std::optional<PWEvent> lastEvent;
  double notificationLatency = 3.0;
  std::vector<std::string> watchedPaths;
  std::vector<std::string> excludedPaths;
  uint64_t resumeFromEventId = kSinceNow;

  std::mutex deliveryMutex;
  std::condition_variable delivered;
  uint64_t batchesPosted = 0;
  uint64_t batchesDelivered = 0;

  void deliver(const std::vector<RawEvent>& events) {
    std::lock_guard lock(mutex);
    if (!owner) return;
    for (size_t i = 0; i < events.size(); ++i) {
      const std::string path = standardizedPath(events[i].path);
      if (std::find(excludedPaths.begin(), excludedPaths.end(), path) != excludedPaths.end()) continue;
      if (ignoreEventsFromSubDirs &&
          std::any_of(excludedPaths.begin(), excludedPaths.end(),
                      [&](const std::string& excluded) { return isAtOrBelow(path, standardizedPath(excluded)); }))
        continue;
      PWEvent event(events[i].id, std::chrono::system_clock::now(), path, events[i].flags);
      if (i + 1 == events.size()) lastEvent = event;
      if (delegate) delegate->pathWatcherEventOccurred(*owner, event);
      if (!owner) return;  // the delegate destroyed the watcher
    }
  }
};

PWEvents::PWEvents() : core_(std::make_shared<Core>()) { core_->owner = this; }

PWEvents::~PWEvents() {
  stopWatchingPaths();
  std::lock_guard lock(core_->mutex);
  core_->owner = nullptr;
}

bool PWEvents::startWatchingPaths(const std::vector<std::string>& paths) {
  return startWatchingPaths(paths, RunLoop::current());
}

bool PWEvents::startWatchingPaths(const std::vector<std::string>& paths, std::shared_ptr<RunLoop> runLoop) {
  if (paths.empty() || !runLoop) return false;
  std::lock_guard lock(core_->mutex);
  if (core_->stream) return false;
  auto stream = std::make_unique<Stream>();
  stream->fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  stream->wake = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (stream->fd < 0 || stream->wake < 0) return false;
  for (const std::string& path : paths) stream->addWatchTree(standardizedPath(path), nullptr);
  if (stream->watches.empty()) return false;
  const double latency = std::isfinite(core_->notificationLatency) ? std::clamp(core_->notificationLatency, 0.0, 3600.0) : 3.0;
  stream->latency = std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(latency));
  std::weak_ptr<Core> weak = core_;
  stream->post = [weak, runLoop](std::vector<RawEvent> batch) {
    auto core = weak.lock();
    if (!core) return;
    {
      std::lock_guard lock(core->deliveryMutex);
      ++core->batchesPosted;
    }
    runLoop->post([weak, batch = std::move(batch)] {
      auto core = weak.lock();
      if (!core) return;
      core->deliver(batch);
      std::lock_guard lock(core->deliveryMutex);
      ++core->batchesDelivered;
      core->delivered.notify_all();
    });
  };
  core_->runLoop = runLoop;
  core_->watchedPaths = paths;
  Stream* raw = stream.get();
  stream->thread = std::thread([raw] { raw->run(); });
  core_->stream = std::move(stream);
  return true;
}

bool PWEvents::stopWatchingPaths() {
  std::unique_ptr<Stream> stream;
  {
    std::lock_guard lock(core_->mutex);
    if (!core_->stream) return false;
    stream = std::move(core_->stream);
    core_->runLoop.reset();
  }
  stream.reset();  // joins the thread outside the lock
  return true;
}

bool PWEvents::flushEventStreamSync() {
  Stream* stream;
  std::shared_ptr<RunLoop> runLoop;
  {
    std::lock_guard lock(core_->mutex);
    if (!core_->stream) return false;
    stream = core_->stream.get();
    runLoop = core_->runLoop;
  }
  stream->flush(true);
  if (runLoop->isCurrent()) {
    runLoop->runPending();
  } else {
    std::unique_lock lock(core_->deliveryMutex);
    core_->delivered.wait_for(lock, kFlushWait, [&] { return core_->batchesDelivered >= core_->batchesPosted; });
  }
  return true;
}

bool PWEvents::flushEventStreamAsync() {
  std::lock_guard lock(core_->mutex);
  if (!core_->stream) return false;
  core_->stream->flush(false);
  return true;
}

std::optional<std::string> PWEvents::streamDescription() const {
  std::lock_guard lock(core_->mutex);
  if (!core_->stream) return std::nullopt;
  return "<inotify stream { fd = " + std::to_string(core_->stream->fd) +
         ", watches = " + std::to_string(core_->stream->watchCount.load()) +
         ", paths = " + joinPaths(core_->watchedPaths) + " } >";
}

std::string PWEvents::description() const {
  std::lock_guard lock(core_->mutex);
  return "<PWEvents { watchedPaths = " + joinPaths(core_->watchedPaths) +
         ", excludedPaths = " + joinPaths(core_->excludedPaths) + " } >";
}

void PWEvents::deliverBatch(const std::vector<RawEvent>& events) { core_->deliver(events); }

bool PWEvents::isWatchingPaths() const {
  std::lock_guard lock(core_->mutex);
  return core_->stream != nullptr;
}
bool PWEvents::ignoreEventsFromSubDirs() const {
  std::lock_guard lock(core_->mutex);
  return core_->ignoreEventsFromSubDirs;
}
void PWEvents::setIgnoreEventsFromSubDirs(bool ignore) {
  std::lock_guard lock(core_->mutex);
  core_->ignoreEventsFromSubDirs = ignore;
}
void PWEvents::setDelegate(PWEventListener* delegate) {
  std::lock_guard lock(core_->mutex);
  core_->delegate = delegate;
}
std::optional<PWEvent> PWEvents::lastEvent() const {
  std::lock_guard lock(core_->mutex);
  return core_->lastEvent;
}
double PWEvents::notificationLatency() const {
  std::lock_guard lock(core_->mutex);
  return core_->notificationLatency;
}
void PWEvents::setNotificationLatency(double seconds) {
  std::lock_guard lock(core_->mutex);
  core_->notificationLatency = seconds;
}
std::vector<std::string> PWEvents::watchedPaths() const {
  std::lock_guard lock(core_->mutex);
  return core_->watchedPaths;
}
void PWEvents::setWatchedPaths(std::vector<std::string> paths) {
  std::lock_guard lock(core_->mutex);
  core_->watchedPaths = std::move(paths);
}
std::vector<std::string> PWEvents::excludedPaths() const {
  std::lock_guard lock(core_->mutex);
  return core_->excludedPaths;
}
void PWEvents::setExcludedPaths(std::vector<std::string> paths) {
  std::lock_guard lock(core_->mutex);
  for (std::string& path : paths) path = standardizedPath(path);
  core_->excludedPaths = std::move(paths);
}
uint64_t PWEvents::resumeFromEventId() const {
  std::lock_guard lock(core_->mutex);
  return core_->resumeFromEventId;
}
void PWEvents::setResumeFromEventId(uint64_t id) {
  std::lock_guard lock(core_->mutex);
  core_->resumeFromEventId = id;
}

}  // namespace sw
