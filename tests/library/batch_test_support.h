// Shared by the batch-command tests: settings set for one test and removed afterwards, file
// items over built files, and what a file looks like on disk.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <memory>
#include <string>
#include <vector>

#include "base/log.h"
#include "base/settings_store.h"
#include "library/batch_run.h"
#include "library/midi_file_item.h"
#include "midi_builder.h"
#include "smf/midi_sequence.h"
#include "temp_dir.h"

namespace batchtest {

// Bytes, inode and modification time: a rewrite replaces the inode.
struct OnDisk {
  std::vector<uint8_t> bytes;
  ino_t inode = 0;
  int64_t mtime = 0;
  bool operator==(const OnDisk&) const = default;
};

inline OnDisk onDisk(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return {};
  return {swtest::TempDir::read(path), info.st_ino, int64_t(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec};
}

inline bool exists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0;
}

class BatchTest : public ::testing::Test {
 protected:
  void SetUp() override { previousSink_ = sw::setLogSink([this](const std::string& line) { logged.push_back(line); }); }
  void TearDown() override {
    for (const std::string& key : keys_) sw::SettingsStore::shared().removeObjectForKey(key);
    sw::setLogSink(previousSink_);
  }
  void set(const std::string& key, sw::SettingValue value) {
    keys_.push_back(key);
    ASSERT_EQ(sw::SettingsStore::shared().setObject(key, std::move(value)), sw::noErr);
  }
  // A listed item over a new file.
  std::unique_ptr<sw::MidiFileItem> item(const std::string& name, const swtest::MidiFileBuilder& file) {
    auto made = std::make_unique<sw::MidiFileItem>(dir.write(name, file.bytes()), nullptr);
    sw::OSStatus status = 1;
    EXPECT_TRUE(made->isDisplayable(&status));
    return made;
  }
  static std::unique_ptr<sw::MidiSequence> reread(const std::string& path) {
    sw::OSStatus status = 1;
    auto sequence = std::make_unique<sw::MidiSequence>(path, sw::kSMFLoadFull, &status);
    EXPECT_EQ(status, sw::noErr) << path;
    return sequence;
  }
  // The texts of one meta type as "track:ticks:text".
  static std::vector<std::string> metaTexts(const sw::MidiSequence& sequence, uint8_t type) {
    std::vector<std::string> texts;
    for (const sw::MidiEvent* e : sequence.events())
      if (e->isMeta(type))
        texts.push_back(std::to_string(e->track()) + ":" + std::to_string(e->ticks()) + ":" +
                        std::string(reinterpret_cast<const char*>(e->metaData()), e->metaDataSize()));
    return texts;
  }
  sw::BatchRun recording(bool dryRun = false) {
    sw::BatchRun run;
    run.dryRun = dryRun;
    run.report = [this](const std::string& line) { told.push_back(line); };
    return run;
  }

  swtest::TempDir dir;
  std::vector<std::string> told;
  std::vector<std::string> logged;

 private:
  std::vector<std::string> keys_;
  sw::LogSink previousSink_;
};

}  // namespace batchtest
