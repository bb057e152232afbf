// PWEvents ("path watcher events"): a general file-system watcher. It watches folders (inotify,
// recursively) and tells its delegate about every change below them, one PWEvent per changed
// path; the sound-bank list and the browser use it. Changes are collected for `notificationLatency`
// seconds and delivered as one batch on the run loop that started the watch, where paths in
// `excludedPaths` (and, unless switched off, paths below them) are dropped.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "base/run_loop.h"

namespace sw {

// One reported change: the changed path, when, and the inotify mask.
class PWEvent {
 public:
  PWEvent() = default;
  PWEvent(uint64_t eventId, std::chrono::system_clock::time_point eventDate, std::string eventPath, uint32_t eventFlags)
      : eventId_(eventId), eventDate_(eventDate), eventPath_(std::move(eventPath)), eventFlags_(eventFlags) {}
  uint64_t eventId() const { return eventId_; }
  std::chrono::system_clock::time_point eventDate() const { return eventDate_; }
  const std::string& eventPath() const { return eventPath_; }
  uint32_t eventFlags() const { return eventFlags_; }  // the inotify mask
  std::string description() const;

 private:
  uint64_t eventId_ = 0;
  std::chrono::system_clock::time_point eventDate_{};
  std::string eventPath_;
  uint32_t eventFlags_ = 0;
};

class PWEvents;

// The delegate of a PWEvents, called on the run loop that started the watch.
class PWEventListener {
 public:
  virtual ~PWEventListener() = default;
  virtual void pathWatcherEventOccurred(PWEvents& watcher, const PWEvent& event) = 0;
};

// The watcher: one inotify stream over the watched folders, started and stopped on demand.
class PWEvents {
 public:
  static constexpr uint64_t kSinceNow = ~uint64_t(0);

  // One change as the stream reports it.
  struct RawEvent {
    uint64_t id;
    std::string path;
    uint32_t flags;
  };

  PWEvents();
  ~PWEvents();  // stops watching
  PWEvents(const PWEvents&) = delete;
  PWEvents& operator=(const PWEvents&) = delete;

  // False when `paths` is empty, when already watching, or when nothing could be watched.
  bool startWatchingPaths(const std::vector<std::string>& paths);  // on RunLoop::current()
  bool startWatchingPaths(const std::vector<std::string>& paths, std::shared_ptr<RunLoop> runLoop);
  bool stopWatchingPaths();
  // Hands the changes collected so far to the run loop now. The synchronous form returns
  // after they were delivered (at once when called on the run loop's own thread).
  bool flushEventStreamSync();
  bool flushEventStreamAsync();
  std::optional<std::string> streamDescription() const;
  std::string description() const;

  bool isWatchingPaths() const;
  bool ignoreEventsFromSubDirs() const;
  void setIgnoreEventsFromSubDirs(bool ignore);
  // Not owned: clear it before the listener goes away.
  void setDelegate(PWEventListener* delegate);
  std::optional<PWEvent> lastEvent() const;
  double notificationLatency() const;
  void setNotificationLatency(double seconds);  // takes effect at the next start
  std::vector<std::string> watchedPaths() const;
  void setWatchedPaths(std::vector<std::string> paths);
  std::vector<std::string> excludedPaths() const;
  void setExcludedPaths(std::vector<std::string> paths);
  uint64_t resumeFromEventId() const;
  void setResumeFromEventId(uint64_t id);  // kept for callers; inotify reports from now on

  // The delivery of one batch, as done on the run loop.
  void deliverBatch(const std::vector<RawEvent>& events);

  // "/a/b/../c/" → "/a/c"
  static std::string standardizedPath(const std::string& path);

 private:
  struct Stream;
  struct Core;
  std::shared_ptr<Core> core_;
};

}  // namespace sw
