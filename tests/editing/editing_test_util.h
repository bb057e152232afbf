// Lists built from MIDI bytes for the editing tests, and a quiet log that records its lines.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "../smf/sequence_test_util.h"
#include "base/log.h"
#include "base/notification_center.h"
#include "editing/f_event_list.h"
#include "editing/f_midi_event_pointer.h"

namespace swtest {

// Every event shown.
inline std::unique_ptr<sw::FEventList> listFrom(const MidiFileBuilder& file) {
  sw::SMFImage image;
  const Bytes bytes = file.bytes();
  EXPECT_EQ(sw::readSMFBytes(bytes, image), sw::noErr);
  sw::OSStatus status = sw::noErr;
  auto list = std::make_unique<sw::FEventList>(image, sw::kSMFLoadFull, &status);
  EXPECT_EQ(status, sw::noErr);
  list->showEverything();
  list->filter();
  return list;
}

// The whole index of the first event of that status (and meta type), -1 when none.
inline int find(const sw::MidiSequence& seq, uint8_t status, int type = -1) {
  for (int i = 0; i < seq.count(); ++i) {
    const sw::MidiEvent* e = seq.eventAtIndex(i);
    if (e->status() == status && (type < 0 || e->second() == type)) return i;
  }
  return -1;
}

struct QuietLog {
  QuietLog() { previous = sw::setLogSink([this](const std::string& line) { lines.push_back(line); }); }
  ~QuietLog() { sw::setLogSink(previous); }
  bool has(const std::string& line) const {
    for (const auto& l : lines)
      if (l == line) return true;
    return false;
  }
  sw::LogSink previous;
  std::vector<std::string> lines;
};

// Counts "ReloadData" posts while alive.
struct ReloadCounter {
  ReloadCounter() {
    token = sw::NotificationCenter::shared().addObserver(
        "ReloadData", [this](const std::string&, const sw::NotificationCenter::UserInfo& info) {
          ++count;
          lastList = info.count("list") ? info.at("list") : "";
        });
  }
  ~ReloadCounter() { sw::NotificationCenter::shared().removeObserver(token); }
  sw::NotificationCenter::Token token;
  int count = 0;
  std::string lastList;
};

}  // namespace swtest
