// The batch engine: order over nested folders, selection of nested items, children loaded
// for the run and freed again, stopping between files, the confirmation of destructive runs,
// and the log lines.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <regex>
#include <stdexcept>

#include "base/settings_store.h"
#include "library/batch_engine.h"
#include "library/batch_log.h"
#include "library/midi_file_item.h"
#include "midi_builder.h"
#include "temp_dir.h"

namespace {

using sw::BatchEngine;
using sw::MidiFileItem;

swtest::Bytes tinySong() {
  swtest::MidiFileBuilder file(0, 480);
  file.track().tempo(0, 500000).noteOn(0, 0, 60, 100).noteOff(480, 0, 60).endOfTrack();
  return file.bytes();
}

// root/ a.mid, b/ (c.mid, d/ (e.mid), notes.txt), f.mid
struct Tree {
  swtest::TempDir dir;
  Tree() {
    std::filesystem::create_directories(dir.file("b/d"));
    for (const char* name : {"a.mid", "b/c.mid", "b/d/e.mid", "f.mid"}) dir.write(name, tinySong());
    dir.write("b/notes.txt", {'h', 'i'});
  }
};

struct Recorder : sw::BatchProgress {
  std::vector<std::string> names;
  size_t total = 0;
  size_t stopAfter = 1000;
  void begin(size_t files) override {
    total = files;
    names.clear();
  }
  void fileStarted(size_t number, size_t found, const std::string& name) override {
    EXPECT_EQ(number, names.size() + 1);
    EXPECT_GE(found, number);  // files are found while the run goes on
    names.push_back(name);
  }
  bool shouldContinue() override { return names.size() < stopAfter; }
};

struct Confirmer : sw::BatchConfirmation {
  bool answer = true;
  int asked = 0;
  bool confirmDestructive(const std::string& title, const std::string& message) override {
    ++asked;
    EXPECT_FALSE(title.empty());
    EXPECT_FALSE(message.empty());
    return answer;
  }
};

sw::PerFileMethod record(std::vector<std::string>& paths) {
  return [&paths](MidiFileItem& item, const sw::BatchRun&) {
    paths.push_back(item.fullPath());
    return sw::Error{};
  };
}

TEST(BatchEngine, NestedFoldersInOrderAndChildrenFreed) {
  Tree tree;
  MidiFileItem root(tree.dir.path(), nullptr);
  sw::BatchLog log;
  Recorder progress;
  BatchEngine engine(log, &progress);
  std::vector<std::string> paths;
  sw::BatchResult result = engine.run({&root}, record(paths), false);
  EXPECT_EQ(paths, (std::vector<std::string>{tree.dir.file("a.mid"), tree.dir.file("b/c.mid"),
                                              tree.dir.file("b/d/e.mid"), tree.dir.file("f.mid")}));
  EXPECT_EQ(progress.names, (std::vector<std::string>{"a.mid", "c.mid", "e.mid", "f.mid"}));
  EXPECT_EQ(result.total, 5u);  // notes.txt is found, and skipped: no MIDI file
  EXPECT_EQ(result.skipped, 1u);
  EXPECT_EQ(result.processed, 4u);
  EXPECT_FALSE(root.childrenLoaded());  // loaded for the run only

  // Children the browser had loaded stay, and so do the cached sequences in them.
  root.loadChildren();
  MidiFileItem* a = dynamic_cast<MidiFileItem*>(root.childAtIndex(0));
  ASSERT_NE(a, nullptr);
  paths.clear();
  engine.run({&root}, [&](MidiFileItem& item, const sw::BatchRun&) {
    item.eventList();
    paths.push_back(item.fullPath());
    return sw::Error{};
  }, false);
  EXPECT_EQ(paths.size(), 4u);
  ASSERT_TRUE(root.childrenLoaded());
  EXPECT_TRUE(a->hasCachedEventList());
  sw::FileSystemItem* b = root.childAtIndex(1);
  ASSERT_TRUE(b && b->isDirectory());
  EXPECT_FALSE(b->childrenLoaded());  // below the loaded level: loaded for the run, freed
}

TEST(BatchEngine, ItemsBelowASelectedFolderRunOnce) {
  Tree tree;
  MidiFileItem root(tree.dir.path(), nullptr);
  root.loadChildren();
  auto* a = dynamic_cast<MidiFileItem*>(root.childAtIndex(0));
  sw::BatchLog log;
  BatchEngine engine(log);
  std::vector<std::string> paths;
  engine.run({a, &root, a}, record(paths), false);
  EXPECT_EQ(paths.size(), 4u);
  EXPECT_EQ(std::count(paths.begin(), paths.end(), tree.dir.file("a.mid")), 1);

  const std::string folder = tree.dir.path();
  EXPECT_EQ(BatchEngine::withoutNestedPaths({folder + "/a.mid", folder, folder + "/./b/../a.mid", folder + "/f.mid"}),
            (std::vector<std::string>{folder}));
  EXPECT_EQ(BatchEngine::withoutNestedPaths({folder + "/a.mid", folder + "/f.mid", folder + "/a.mid"}),
            (std::vector<std::string>{folder + "/a.mid", folder + "/f.mid"}));
  // A sibling whose name starts like the folder's is not inside it.
  EXPECT_EQ(BatchEngine::withoutNestedPaths({folder + "/b", folder + "/b2"}).size(), 2u);
}

TEST(BatchEngine, StopsBetweenFiles) {
  Tree tree;
  MidiFileItem root(tree.dir.path(), nullptr);
  sw::BatchLog log;
  Recorder progress;
  progress.stopAfter = 2;
  BatchEngine engine(log, &progress);
  std::vector<std::string> paths;
  sw::BatchResult result = engine.run({&root}, record(paths), false);
  EXPECT_EQ(paths.size(), 2u);  // the second file was finished, the third never started
  EXPECT_TRUE(result.stopped);
  EXPECT_EQ(result.processed, 2u);
  EXPECT_FALSE(root.childrenLoaded());

  // A stop asked from inside a file (as Ctrl-C does) takes effect before the next one.
  paths.clear();
  BatchEngine quiet(log);
  result = quiet.run({&root}, [&](MidiFileItem& item, const sw::BatchRun&) {
    paths.push_back(item.fullPath());
    quiet.requestStop();
    return sw::Error{};
  }, false);
  EXPECT_EQ(paths.size(), 1u);
  EXPECT_TRUE(result.stopped);
}

TEST(BatchEngine, ConfirmationBeforeDestructiveRuns) {
  Tree tree;
  MidiFileItem root(tree.dir.path(), nullptr);
  sw::BatchLog log;
  Confirmer confirmer;
  BatchEngine engine(log, nullptr, &confirmer);
  std::vector<std::string> paths;
  sw::SettingsStore::shared().setRunValue("warnBeforeDestructiveProcessing", true);
  confirmer.answer = false;
  EXPECT_TRUE(engine.run({&root}, record(paths), true).cancelled);
  EXPECT_TRUE(paths.empty());
  EXPECT_EQ(confirmer.asked, 1);
  engine.run({&root}, record(paths), false);  // not destructive: not asked
  EXPECT_EQ(confirmer.asked, 1);
  confirmer.answer = true;
  paths.clear();
  EXPECT_EQ(engine.run({&root}, record(paths), true).processed, 4u);
  EXPECT_EQ(confirmer.asked, 2);
  sw::SettingsStore::shared().setRunValue("warnBeforeDestructiveProcessing", false);
  engine.run({&root}, record(paths), true);
  EXPECT_EQ(confirmer.asked, 2);
  // Destructive without anyone to ask: nothing runs.
  sw::SettingsStore::shared().setRunValue("warnBeforeDestructiveProcessing", true);
  BatchEngine unattended(log);
  paths.clear();
  EXPECT_TRUE(unattended.run({&root}, record(paths), true).cancelled);
  EXPECT_TRUE(paths.empty());
  sw::SettingsStore::shared().removeRunValue("warnBeforeDestructiveProcessing");
}

TEST(BatchLog, LinesAndErrors) {
  // "date time<TAB>message<LF>", the message taken literally.
  const std::string line = sw::BatchLog::formatLine(0, "100% done %d %@");
  EXPECT_TRUE(std::regex_match(line, std::regex("[^\t\n ]+ [^\t\n]+\t100% done %d %@\n"))) << line;

  const char* savedHome = std::getenv("HOME");
  const std::string home = savedHome ? savedHome : "";
  ::setenv("HOME", "/home/sam", 1);
  EXPECT_EQ(sw::BatchLog::abbreviatedPath("/home/sam/Music/a.mid"), "~/Music/a.mid");
  EXPECT_EQ(sw::BatchLog::abbreviatedPath("/home/samuel/a.mid"), "/home/samuel/a.mid");

  Tree tree;
  ::setenv("HOME", tree.dir.path().c_str(), 1);
  MidiFileItem root(tree.dir.path(), nullptr);
  sw::BatchLog log;
  log.setClock([] { return std::time_t(86400 * 365); });
  std::vector<std::string> lines;
  log.addSink([&](const std::string& text) { lines.push_back(text); });
  BatchEngine engine(log);
  sw::BatchResult result = engine.run({&root}, [&](MidiFileItem& item, const sw::BatchRun&) -> sw::Error {
    if (item.name() == "c.mid") return sw::Error{sw::fnfErr, item.fullPath(), "is 50% gone"};
    if (item.name() == "e.mid") throw std::out_of_range("track 7 out of range");
    return {};
  }, false);
  if (savedHome) ::setenv("HOME", home.c_str(), 1); else ::unsetenv("HOME");
  EXPECT_EQ(result.processed, 4u);  // failures never stop the run
  EXPECT_EQ(result.failed, 2u);
  ASSERT_EQ(lines.size(), 2u);
  const std::string stamp = sw::BatchLog::formatLine(86400 * 365, "").substr(0, lines[0].find('\t'));
  EXPECT_EQ(lines[0], stamp + "\t~/b/c.mid is 50% gone [-43]\n");
  EXPECT_EQ(lines[1], stamp + "\t~/b/d/e.mid track 7 out of range [-50]\n");
}

TEST(BatchEngine, ReportLinesNameTheFile) {
  Tree tree;
  MidiFileItem root(tree.dir.file("a.mid"), nullptr);
  sw::BatchLog log;
  BatchEngine engine(log);
  std::vector<std::string> told;
  sw::BatchRun run;
  run.dryRun = true;
  run.report = [&](const std::string& line) { told.push_back(line); };
  engine.run({&root}, [](MidiFileItem&, const sw::BatchRun& each) {
    EXPECT_TRUE(each.dryRun);
    each.tell("would change");
    return sw::Error{};
  }, false, run);
  EXPECT_EQ(told, (std::vector<std::string>{sw::BatchLog::abbreviatedPath(tree.dir.file("a.mid")) + ": would change"}));
}

TEST(BatchEngine, EachFileIsReportedOnceAsWhatHappened) {
  Tree tree;
  MidiFileItem root(tree.dir.path(), nullptr);
  sw::BatchLog log;
  std::vector<std::string> lines;
  log.addSink([&](const std::string& text) { lines.push_back(text.substr(text.find('\t') + 1)); });
  BatchEngine engine(log);
  std::vector<std::string> told;
  sw::BatchRun run;
  run.report = [&](const std::string& line) { told.push_back(line.substr(line.rfind('/') + 1)); };
  const std::string side = tree.dir.file("b/c.txt");
  sw::BatchResult result = engine.run({&root}, [&](MidiFileItem& item, const sw::BatchRun& each) -> sw::Error {
    each.tell("changed");
    // A write that failed after the change was told: only the failure is reported.
    if (item.name() == "a.mid") return sw::Error{sw::permErr, item.fullPath(), "may not be written"};
    // A side file that could not be written: the log names it, not the MIDI file.
    if (item.name() == "c.mid") return sw::Error{sw::ioErr, side, "cannot be written"};
    if (item.name() == "e.mid") each.tellUnchanged();
    else each.tellWritten(item.fullPath());
    return {};
  }, false, run);
  EXPECT_EQ(result.failed, 2u);
  EXPECT_EQ(result.unchanged, 1u);
  EXPECT_EQ(told, (std::vector<std::string>{"e.mid: changed", "e.mid: unchanged", "f.mid: changed"}));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NE(lines[0].find("/a.mid may not be written [-54]"), std::string::npos) << lines[0];
  EXPECT_NE(lines[1].find("/b/c.txt cannot be written [-36]"), std::string::npos) << lines[1];

  // A line feed in a name does not split the log line.
  log.logError(sw::Error{sw::ioErr, "", "failed"}, "/music/two\nlines.mid");
  EXPECT_EQ(lines.back(), "/music/two\\nlines.mid failed [-36]\n");
}

TEST(BatchEngine, ARunRemovesTemporaryFilesOfInterruptedWrites) {
  Tree tree;
  const std::string stale = tree.dir.file("b/.c.mid.scorewell-0123456789abcdef");
  tree.dir.write("b/.c.mid.scorewell-0123456789abcdef", tinySong());
  struct timespec old[2] = {{0, UTIME_OMIT}, {std::time(nullptr) - 3600, 0}};
  ::utimensat(AT_FDCWD, stale.c_str(), old, 0);
  MidiFileItem root(tree.dir.path(), nullptr);
  sw::BatchLog log;
  BatchEngine engine(log);
  std::vector<std::string> told;
  sw::BatchRun run;
  run.report = [&](const std::string& line) { told.push_back(line); };
  std::vector<std::string> names;
  sw::BatchResult result = engine.run({&root}, [&](MidiFileItem& item, const sw::BatchRun&) {
    names.push_back(item.name());
    return sw::Error{};
  }, false, run);
  EXPECT_EQ(result.processed, 4u);  // the temporary file is no MIDI file of the run
  EXPECT_FALSE(std::filesystem::exists(stale));
  ASSERT_EQ(told.size(), 1u);
  EXPECT_NE(told[0].find(".c.mid.scorewell-0123456789abcdef: removed"), std::string::npos) << told[0];
}

}  // namespace
