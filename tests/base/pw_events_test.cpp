// The file-system watcher: its delivery rules on given batches, its start and stop, and real
// inotify events arriving on the run loop that started it.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

#include "base/pw_events.h"
#include "temp_dir.h"

namespace {

struct Recorder : sw::PWEventListener {
  std::vector<std::string> paths;
  std::vector<std::thread::id> threads;
  void pathWatcherEventOccurred(sw::PWEvents&, const sw::PWEvent& event) override {
    paths.push_back(event.eventPath());
    threads.push_back(std::this_thread::get_id());
  }
};

struct Delivery : ::testing::Test {
  sw::PWEvents watcher;
  Recorder recorder;
  void SetUp() override {
    watcher.setDelegate(&recorder);
    watcher.setExcludedPaths({"/banks/private"});
  }
};

TEST_F(Delivery, ExcludedPathsAndPathsBelowThemAreDropped) {
  watcher.deliverBatch({{1, "/banks/private", 0}, {2, "/banks/a.sf2", 0}, {3, "/banks//x/../b.sf2/", 0}});
  EXPECT_EQ(recorder.paths, (std::vector<std::string>{"/banks/a.sf2", "/banks/b.sf2"}));
  ASSERT_TRUE(watcher.lastEvent());
  EXPECT_EQ(watcher.lastEvent()->eventId(), 3u);
  recorder.paths.clear();
  watcher.deliverBatch({{4, "/banks/private/c.sf2", 0}, {5, "/banks/privateer.sf2", 0}});
  EXPECT_EQ(recorder.paths, (std::vector<std::string>{"/banks/privateer.sf2"}));
  watcher.setIgnoreEventsFromSubDirs(false);
  recorder.paths.clear();
  watcher.deliverBatch({{6, "/banks/private/c.sf2", 0}, {7, "/banks/private", 0}});
  EXPECT_EQ(recorder.paths, (std::vector<std::string>{"/banks/private/c.sf2"}));
}

TEST_F(Delivery, ADroppedLastEventDoesNotBecomeTheLastEvent) {
  watcher.deliverBatch({{1, "/banks/a.sf2", 0}});
  watcher.deliverBatch({{2, "/banks/b.sf2", 0}, {3, "/banks/private", 0}});
  ASSERT_TRUE(watcher.lastEvent());
  EXPECT_EQ(watcher.lastEvent()->eventId(), 1u);
  watcher.deliverBatch({});
  EXPECT_EQ(watcher.lastEvent()->eventId(), 1u);
  EXPECT_EQ(watcher.lastEvent()->description(), "<PWEvent { eventId = 1, eventPath = /banks/a.sf2, eventFlags = 0 } >");
}

TEST(Watching, StartRefusesNothingToWatchAndASecondStart) {
  swtest::TempDir dir;
  sw::PWEvents watcher;
  EXPECT_FALSE(watcher.startWatchingPaths({}));
  EXPECT_FALSE(watcher.startWatchingPaths({dir.file("missing")}));
  EXPECT_FALSE(watcher.stopWatchingPaths());
  EXPECT_FALSE(watcher.flushEventStreamSync());
  EXPECT_FALSE(watcher.streamDescription());
  ASSERT_TRUE(watcher.startWatchingPaths({dir.path()}));
  EXPECT_TRUE(watcher.isWatchingPaths());
  EXPECT_FALSE(watcher.startWatchingPaths({dir.path()}));
  EXPECT_TRUE(watcher.isWatchingPaths());
  EXPECT_TRUE(watcher.streamDescription());
  EXPECT_NE(watcher.description().find(dir.path()), std::string::npos);
  EXPECT_TRUE(watcher.stopWatchingPaths());
  EXPECT_FALSE(watcher.isWatchingPaths());
}

// Drains the current run loop until `done` or the guard time (which only stops a broken
// watcher from hanging the test) has passed.
template <class Done>
bool pumpUntil(Done done) {
  const auto guard = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!done() && std::chrono::steady_clock::now() < guard) sw::RunLoop::current()->runFor(std::chrono::milliseconds(20));
  return done();
}

TEST(Watching, ANewFileBelowAWatchedFolderIsDeliveredOnTheStartingThread) {
  swtest::TempDir dir;
  std::filesystem::create_directories(dir.file("deep"));
  sw::PWEvents watcher;
  Recorder recorder;
  watcher.setDelegate(&recorder);
  watcher.setNotificationLatency(0.05);
  watcher.setExcludedPaths({dir.file("ignored")});
  ASSERT_TRUE(watcher.startWatchingPaths({dir.path()}));
  std::filesystem::create_directories(dir.file("ignored"));
  dir.write("ignored/x.sf2", {1});
  dir.write("deep/new.sf2", {1, 2});
  auto seen = [&] { return std::find(recorder.paths.begin(), recorder.paths.end(), dir.file("deep/new.sf2")) != recorder.paths.end(); };
  ASSERT_TRUE(pumpUntil(seen));
  for (const std::string& path : recorder.paths) EXPECT_EQ(path.find(dir.file("ignored")), std::string::npos) << path;
  for (std::thread::id id : recorder.threads) EXPECT_EQ(id, std::this_thread::get_id());

  // A folder made while watching is watched too, with what was already in it.
  std::filesystem::create_directories(dir.file("later/inner"));
  dir.write("later/inner/b.sf3", {1});
  dir.write("later/inner/c.sf2", {1});
  auto seenLater = [&] {
    return std::find(recorder.paths.begin(), recorder.paths.end(), dir.file("later/inner/c.sf2")) != recorder.paths.end();
  };
  ASSERT_TRUE(pumpUntil(seenLater));
  watcher.stopWatchingPaths();
}

TEST(Watching, FlushDeliversPendingChangesBeforeTheLatencyRunsOut) {
  swtest::TempDir dir;
  sw::PWEvents watcher;
  Recorder recorder;
  watcher.setDelegate(&recorder);
  watcher.setNotificationLatency(3600);  // would never deliver by itself during the test
  ASSERT_TRUE(watcher.startWatchingPaths({dir.path()}));
  dir.write("now.sf2", {1});
  // The stream may not have read the change yet: flush until it has.
  auto seen = [&] {
    watcher.flushEventStreamSync();
    return !recorder.paths.empty();
  };
  ASSERT_TRUE(pumpUntil(seen));
  EXPECT_EQ(recorder.paths.front(), dir.file("now.sf2"));
}

}  // namespace
