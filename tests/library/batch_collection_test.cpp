// Batches over whole collections: the same results, log and reports whatever the number of
// jobs; results written to another folder without touching the originals; a stop in the middle
// of a parallel run; which files a run takes; failures of writes elsewhere.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "base/settings_store.h"
#include "library/batch_engine.h"
#include "library/batch_log.h"
#include "library/file_information_stream.h"
#include "library/midi_file_item.h"
#include "karaoke_generator.h"
#include "midi_builder.h"
#include "smf/midi_sequence.h"
#include "song_generator.h"
#include "temp_dir.h"

namespace {

namespace fs = std::filesystem;
using sw::BatchEngine;
using sw::BatchOutcome;
using sw::MidiFileItem;

swtest::Bytes formatZeroSong(uint8_t note) {
  swtest::MidiFileBuilder file(0, 480);
  file.track().tempo(0, 500000).noteOn(0, 0, note, 100).noteOn(0, 1, note, 90).noteOff(480, 0, note).noteOff(0, 1, note)
      .endOfTrack();
  return file.bytes();
}

// A collection: songs of format 1 and 0, karaoke files in several encodings, a file without an
// extension, a file that is no MIDI file and a hidden one, over three levels of folders.
void makeCollection(const std::string& root) {
  const auto languages = swtest::languages();
  for (int i = 0; i < 24; ++i) {
    const std::string folder = root + "/" + std::string(1, char('a' + i % 3)) + (i % 2 ? "/deep" : "");
    fs::create_directories(folder);
    swtest::Bytes bytes;
    std::string name = "song" + std::to_string(i);
    if (i % 4 == 0) {
      bytes = swtest::makeKaraokeFile(languages[size_t(i) % languages.size()], uint32_t(i));
      name += ".kar";
    } else if (i % 4 == 1) {
      bytes = swtest::makeSong(3, 60, uint32_t(i));
      name += ".mid";
    } else {
      bytes = formatZeroSong(uint8_t(40 + i));
      name += i % 4 == 2 ? ".mid" : "";
    }
    FILE* out = std::fopen((folder + "/" + name).c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fclose(out);
  }
  FILE* text = std::fopen((root + "/b/notes.txt").c_str(), "wb");
  std::fputs("not a song", text);
  std::fclose(text);
  fs::copy_file(root + "/a/song0.kar", root + "/a/.hidden.mid");
}

// Every regular file below the folder: its path below it and its bytes.
std::map<std::string, std::vector<uint8_t>> contents(const std::string& root) {
  std::map<std::string, std::vector<uint8_t>> files;
  if (!fs::exists(root)) return files;
  for (const auto& entry : fs::recursive_directory_iterator(root))
    if (entry.is_regular_file())
      files[fs::relative(entry.path(), root).string()] = swtest::TempDir::read(entry.path().string());
  return files;
}

// What a run tells, with the folder written as "ROOT" and without times.
struct Transcript : sw::BatchProgress {
  std::string root;
  std::vector<std::string> reports, logs, files;
  std::vector<std::string> found;

  explicit Transcript(std::string folder) : root(std::move(folder)) {}
  std::string rooted(std::string text) const {
    for (size_t at; (at = text.find(root)) != std::string::npos;) text.replace(at, root.size(), "ROOT");
    return text;
  }
  void fileFinished(const sw::BatchFileReport& report) override {
    std::string line = std::to_string(report.number) + " " + rooted(report.path) + " " + sw::outcomeName(report.outcome);
    for (const std::string& change : report.changes) line += " | " + change;
    for (const std::string& written : report.written) line += " > " + rooted(written);
    if (report.error) line += " ! " + std::to_string(report.error.status) + " " + rooted(report.error.message);
    files.push_back(line);
  }
  void attach(sw::BatchLog& log, sw::BatchRun& run) {
    log.addSink([this](const std::string& line) { logs.push_back(rooted(line.substr(line.find('\t') + 1))); });
    run.report = [this](const std::string& line) { reports.push_back(rooted(line)); };
  }
};

class BatchCollection : public ::testing::Test {
 protected:
  void SetUp() override {
    settings().setRunValue("warnBeforeDestructiveProcessing", false);
    settings().setRunValue("formatChosen", int64_t(1));
  }
  void TearDown() override {
    for (const char* key : {"warnBeforeDestructiveProcessing", "formatChosen", "extractLyricsFormat"})
      settings().removeRunValue(key);
  }
  static sw::SettingsStore& settings() { return sw::SettingsStore::shared(); }

  // Converts the files below the folder to format 1 with so many jobs.
  static sw::BatchResult convert(const std::string& root, unsigned jobs, Transcript& transcript,
                                 const std::string& output = "") {
    sw::BatchLog log;
    sw::BatchRun run;
    transcript.attach(log, run);
    BatchEngine engine(log, &transcript);
    engine.setReleasesSequences(true);
    engine.setJobs(jobs);
    engine.setOutputFolder(output);
    MidiFileItem item(root, nullptr);
    return engine.run({&item}, [](MidiFileItem& file, const sw::BatchRun& each) { return file.doConvert(each); }, true,
                      run);
  }

  swtest::TempDir dir;
};

TEST_F(BatchCollection, ParallelRunsGiveWhatOneJobGives) {
  const std::string one = dir.file("one"), four = dir.file("four");
  makeCollection(one);
  fs::copy(one, four, fs::copy_options::recursive);
  Transcript sequential(one), parallel(four);
  const sw::BatchResult first = convert(one, 1, sequential);
  const sw::BatchResult second = convert(four, 4, parallel);
  EXPECT_EQ(contents(one), contents(four));
  EXPECT_EQ(sequential.files, parallel.files);
  EXPECT_EQ(sequential.reports, parallel.reports);
  EXPECT_EQ(sequential.logs, parallel.logs);
  EXPECT_EQ(first.changed, second.changed);
  EXPECT_EQ(first.unchanged, second.unchanged);
  EXPECT_EQ(first.skipped, second.skipped);
  EXPECT_EQ(first.total, 26u);   // 24 songs, the text file, the hidden file
  EXPECT_EQ(first.skipped, 2u);  // the text file and the hidden one
  EXPECT_EQ(first.processed, 24u);
  EXPECT_GT(first.changed, 0u);
  EXPECT_FALSE(second.stopped);
  // The file without an extension got one, on either run.
  EXPECT_TRUE(fs::exists(four + "/a/song3.mid") || fs::exists(four + "/a/deep/song3.mid"));
}

TEST_F(BatchCollection, OutputFolderKeepsTheOriginals) {
  const std::string root = dir.file("in"), out = dir.file("out");
  makeCollection(root);
  std::map<std::string, std::pair<ino_t, int64_t>> before;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    struct stat info {};
    ::stat(entry.path().c_str(), &info);
    before[entry.path().string()] = {info.st_ino, int64_t(info.st_mtim.tv_nsec) + info.st_mtim.tv_sec * 1000000000};
  }
  const auto originals = contents(root);
  Transcript transcript(dir.path());
  const sw::BatchResult result = convert(root, 3, transcript, out);
  EXPECT_EQ(contents(root), originals);
  for (const auto& [path, identity] : before) {
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0) << path;
    EXPECT_EQ(info.st_ino, identity.first) << path;
  }
  // Only what changed is written, with the layout of the input and its corrected names.
  const auto written = contents(out);
  EXPECT_EQ(written.size(), result.changed);
  EXPECT_TRUE(written.count("a/deep/song3.mid") || written.count("a/song3.mid"));
  EXPECT_FALSE(written.count("a/song3"));
  for (const auto& [relative, bytes] : written) EXPECT_EQ(relative.find(".scorewell-"), std::string::npos) << relative;
  for (const std::string& line : transcript.files) {
    if (line.find(" changed") != std::string::npos) {
      EXPECT_NE(line.find("> ROOT/out/"), std::string::npos) << line;
    }
    if (line.find(" unchanged") != std::string::npos) {
      EXPECT_EQ(line.find(" > "), std::string::npos) << line;
    }
  }

  // Side files go beside the results, not beside the originals.
  settings().setRunValue("extractLyricsFormat", int64_t(0));
  sw::BatchLog log;
  BatchEngine engine(log);
  engine.setOutputFolder(dir.file("lyrics"));
  engine.setJobs(2);
  MidiFileItem item(root, nullptr);
  engine.run({&item}, [](MidiFileItem& file, const sw::BatchRun& each) { return file.doExtractLyrics(each); }, false);
  EXPECT_TRUE(fs::exists(dir.file("lyrics/a/song0.txt")));
  EXPECT_EQ(contents(root), originals);

  // A folder inside the input is refused before anything is touched; so is the folder of a
  // named file.
  Transcript refused(dir.path());
  const sw::BatchResult inside = convert(root, 2, refused, root + "/b/results");
  EXPECT_TRUE(inside.refusal);
  EXPECT_EQ(inside.processed, 0u);
  EXPECT_FALSE(fs::exists(root + "/b/results"));
  ASSERT_EQ(refused.logs.size(), 1u);
  EXPECT_NE(refused.logs[0].find("ROOT/in/b/results lies inside ROOT/in"), std::string::npos) << refused.logs[0];
  // An item of the browser's tree goes on describing its file, not the result written elsewhere.
  {
    MidiFileItem folder(root + "/a", nullptr);
    MidiFileItem* song = nullptr;
    for (const auto& child : folder.children())
      if (child->name() == "song6.mid") song = dynamic_cast<MidiFileItem*>(child.get());
    ASSERT_NE(song, nullptr);
    ASSERT_EQ(song->tracks(), 1);
    sw::BatchLog songLog;
    BatchEngine browser(songLog);
    browser.setOutputFolder(dir.file("browser"));
    browser.run({song}, [](MidiFileItem& file, const sw::BatchRun& each) { return file.doConvert(each); }, true);
    EXPECT_TRUE(fs::exists(dir.file("browser/song6.mid")));
    EXPECT_FALSE(song->hasCachedEventList());
    EXPECT_EQ(song->tracks(), 1);
    EXPECT_EQ(song->fullPath(), root + "/a/song6.mid");
  }

  // Two named folders with the same names: the first one found keeps the output path.
  fs::copy(root, dir.file("twin"), fs::copy_options::recursive);
  {
    sw::BatchLog twinLog;
    BatchEngine twins(twinLog);
    twins.setJobs(3);
    twins.setOutputFolder(dir.file("merged"));
    MidiFileItem first(root, nullptr), second(dir.file("twin"), nullptr);
    const sw::BatchResult both = twins.run(
        {&first, &second}, [](MidiFileItem& file, const sw::BatchRun& each) { return file.doConvert(each); }, true);
    EXPECT_EQ(both.failed, result.changed + result.unchanged);  // each file of the twin
    EXPECT_EQ(contents(dir.file("merged")), written);
  }
  MidiFileItem named(root + "/a/song0.kar", nullptr);
  EXPECT_TRUE(BatchEngine::outputFolderRefusal(root + "/a/", {&named}));
  EXPECT_FALSE(BatchEngine::outputFolderRefusal(root + "/b", {&named}));
  EXPECT_EQ(contents(root), originals);
}

// More workers than files: every worker ends and the run returns.
TEST_F(BatchCollection, ARunOfFewerFilesThanWorkersEnds) {
  const std::string root = dir.file("one");
  fs::create_directories(root);
  dir.write("one/song.mid", swtest::makeSong(3, 60, 5));
  for (unsigned jobs : {2u, 8u}) {
    Transcript transcript(root);
    const sw::BatchResult result = convert(root, jobs, transcript);
    EXPECT_EQ(result.processed, 1u) << "jobs " << jobs;
    EXPECT_FALSE(result.stopped);
  }
}

TEST_F(BatchCollection, ARenamedResultElsewhereNeverReplacesAnotherFilesResult) {
  settings().setRunValue("formatChosen", int64_t(0));
  const std::string root = dir.file("in"), out = dir.file("out");
  const auto languages = swtest::languages();
  fs::create_directories(root);
  // song.kar is named song.mid once it is of format 0, where song.mid's own result goes; tune
  // and tune.kar both are to be named tune.mid.
  dir.write("in/song.kar", swtest::makeKaraokeFile(languages[0], 1));
  dir.write("in/song.mid", swtest::makeSong(3, 60, 2));
  dir.write("in/tune", formatZeroSong(50));
  dir.write("in/tune.kar", swtest::makeKaraokeFile(languages[1], 3));
  const auto originals = contents(root);
  for (unsigned jobs : {1u, 3u}) {
    fs::remove_all(out);
    Transcript transcript(dir.path());
    const sw::BatchResult result = convert(root, jobs, transcript, out);
    EXPECT_EQ(contents(root), originals);
    const auto written = contents(out);
    // song.mid's result is song.mid's own content; song.kar's stays under its name and fails.
    sw::OSStatus status = 1;
    sw::MidiSequence song(out + "/song.mid", sw::kSMFLoadFull, &status);
    ASSERT_EQ(status, sw::noErr);
    EXPECT_EQ(song.numTracks(), 1);
    EXPECT_TRUE(written.count("song.kar")) << "jobs " << jobs;
    // Of tune and tune.kar one takes tune.mid, the other keeps its name and fails.
    ASSERT_TRUE(written.count("tune.mid"));
    EXPECT_EQ(written.count("tune") + written.count("tune.kar"), 1u) << "jobs " << jobs;
    EXPECT_EQ(result.failed, 2u);
    size_t taken = 0;
    for (const std::string& line : transcript.files) taken += line.find("the name is taken") != std::string::npos;
    EXPECT_EQ(taken, 2u);
  }
}

TEST_F(BatchCollection, WritesElsewhereThatFailLeaveNothingHalfWritten) {
  const std::string root = dir.file("in"), out = dir.file("out");
  makeCollection(root);
  // The results of folder "a" cannot be written: a plain file stands where their folder goes.
  fs::create_directories(out);
  dir.write("out/a", {'x'});
  Transcript transcript(dir.path());
  const sw::BatchResult result = convert(root, 2, transcript, out);
  EXPECT_GT(result.failed, 0u);
  EXPECT_GT(result.changed, 0u);  // the other folders went on
  for (const auto& [relative, bytes] : contents(out)) {
    EXPECT_EQ(relative.find(".scorewell-"), std::string::npos) << relative;
    if (relative == "a") continue;
    sw::OSStatus status = 1;
    sw::MidiSequence sequence(out + "/" + relative, sw::kSMFLoadFull, &status);
    EXPECT_EQ(status, sw::noErr) << relative;  // every result there is whole
  }
  for (const std::string& line : transcript.logs)
    EXPECT_NE(line.find("ROOT/in/a/"), std::string::npos) << line;  // only those of "a" failed
}

TEST_F(BatchCollection, AStopFinishesTheFilesInProgressAndStartsNoOther) {
  const std::string root = dir.file("in"), expected = dir.file("expected");
  makeCollection(root);
  fs::copy(root, expected, fs::copy_options::recursive);
  const auto originals = contents(root);
  Transcript sequential(expected);
  convert(expected, 1, sequential);
  const auto converted = contents(expected);

  sw::BatchLog log;
  BatchEngine engine(log);
  engine.setJobs(3);
  std::atomic<int> calls{0};
  MidiFileItem item(root, nullptr);
  const sw::BatchResult result = engine.run(
      {&item},
      [&](MidiFileItem& file, const sw::BatchRun& each) {
        if (++calls == 5) engine.requestStop();  // as Ctrl-C does, from another thread
        return file.doConvert(each);
      },
      true);
  EXPECT_TRUE(result.stopped);
  EXPECT_GE(result.processed, 5u);
  EXPECT_LT(result.processed, 5u + 3u);
  EXPECT_EQ(result.processed, size_t(calls.load()));
  // (Files are found while the run goes on: how many were found but not taken before the stop
  // depends on how far the walk got, so it is not checked.)
  // Every file is the original or the complete result; nothing else lies there.
  size_t rewritten = 0;
  for (const auto& [relative, bytes] : contents(root)) {
    const bool original = originals.count(relative) && originals.at(relative) == bytes;
    const bool result_ = converted.count(relative) && converted.at(relative) == bytes;
    EXPECT_TRUE(original || result_) << relative;
    rewritten += !original;
  }
  EXPECT_LE(rewritten, result.processed);
}

TEST_F(BatchCollection, WhichFilesARunTakes) {
  const std::string root = dir.file("in");
  makeCollection(root);
  ASSERT_EQ(::link((root + "/a/song0.kar").c_str(), (root + "/c/same.kar").c_str()), 0);
  ASSERT_EQ(::symlink((root + "/b/song1.mid").c_str(), (root + "/c/link.mid").c_str()), 0);
  ASSERT_EQ(::symlink((root + "/b").c_str(), (root + "/c/folder").c_str()), 0);
  auto taken = [&](sw::BatchSelection selection, std::vector<MidiFileItem*> roots = {}) {
    sw::BatchLog log;
    BatchEngine engine(log);
    engine.setSelection(std::move(selection));
    MidiFileItem item(root, nullptr);
    if (roots.empty()) roots = {&item};
    std::vector<std::string> paths;
    engine.run(roots, [&](MidiFileItem& file, const sw::BatchRun&) {
      paths.push_back(fs::relative(file.fullPath(), root).string());
      return sw::Error{};
    }, false);
    return paths;
  };
  const std::vector<std::string> all = taken({});
  EXPECT_EQ(all.size(), 24u);  // the hard link is the same file, links are not followed
  EXPECT_EQ(std::count(all.begin(), all.end(), "c/same.kar"), 0);
  EXPECT_TRUE(std::is_sorted(all.begin(), all.end()));

  sw::BatchSelection karaoke;
  karaoke.includes = {"*.kar"};
  karaoke.excludes = {"deep"};
  for (const std::string& path : taken(karaoke)) {
    EXPECT_EQ(path.substr(path.size() - 4), ".kar") << path;
    EXPECT_EQ(path.find("deep"), std::string::npos) << path;
  }
  sw::BatchSelection byPath;
  byPath.includes = {"b/deep/*"};
  for (const std::string& path : taken(byPath)) EXPECT_EQ(path.rfind("b/deep/", 0), 0u) << path;
  EXPECT_FALSE(taken(byPath).empty());

  sw::BatchSelection shallow;
  shallow.recurse = false;
  EXPECT_TRUE(taken(shallow).empty());  // the named folder holds only folders

  // Links followed: the folder link leads to files met already, the file link too.
  sw::BatchSelection links;
  links.followLinks = true;
  EXPECT_EQ(taken(links), all);

  // A folder named twice, and a file inside it named too: each file once.
  MidiFileItem again(root, nullptr), twice(root, nullptr);
  EXPECT_EQ(taken({}, {&again, &twice}).size(), 24u);
}

}  // namespace

namespace {

// The records of a listing read on several threads: the same, in the same order, as on one.
TEST_F(BatchCollection, InformationOnSeveralThreadsMatchesOneThread) {
  makeCollection(dir.path());
  std::vector<std::string> paths;
  for (const auto& entry : fs::recursive_directory_iterator(dir.path()))
    if (entry.is_regular_file()) paths.push_back(entry.path().string());
  std::sort(paths.begin(), paths.end());
  auto listing = [&](unsigned jobs) {
    std::vector<std::string> rows;
    sw::streamFileInformation(paths, std::nullopt, jobs, [&](const sw::FileInformation& f) {
      rows.push_back(f.path + " " + std::to_string(f.readable) + " " + f.duration + " " + f.karaokeType + " " +
                     f.title + " " + std::to_string(f.encoding.encoding) + " " + std::to_string(f.defects.size()));
    });
    return rows;
  };
  const std::vector<std::string> one = listing(1);
  ASSERT_EQ(one.size(), paths.size());
  EXPECT_EQ(listing(4), one);
}

}  // namespace
