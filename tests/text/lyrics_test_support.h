// Small karaoke sequences for the lyrics tests.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "midi_builder.h"
#include "smf/midi_sequence.h"
#include "text/sync_array.h"

namespace lyricstest {

using Strings = std::vector<std::string>;
using swtest::Bytes;

inline std::unique_ptr<sw::MidiSequence> load(const swtest::MidiFileBuilder& file) {
  sw::SMFImage image;
  std::vector<uint8_t> bytes = file.bytes();
  EXPECT_EQ(sw::readSMFBytes(bytes, image), sw::noErr);
  sw::OSStatus status = sw::noErr;
  auto sequence = std::make_unique<sw::MidiSequence>(image, sw::kSMFLoadFull, &status);
  EXPECT_EQ(status, sw::noErr);
  return sequence;
}

// The bytes of each item.
inline std::vector<std::string> texts(const sw::DSyncArray& items) {
  std::vector<std::string> result;
  for (const sw::DSyncItem& item : items) result.push_back(item.data());
  return result;
}

inline std::vector<int32_t> delays(const sw::DSyncArray& items) {
  std::vector<int32_t> result;
  for (const sw::DSyncItem& item : items) result.push_back(item.delay());
  return result;
}

// Lyric (type 5) or text (type 1) events, one every 480 ticks from `first`.
inline swtest::MidiFileBuilder withEvents(uint8_t type, const Strings& items, uint32_t first = 480) {
  swtest::MidiFileBuilder file(1, 480);
  auto& track = file.track();
  for (size_t i = 0; i < items.size(); ++i) track.text(i == 0 ? first : 480, type, items[i]);
  track.endOfTrack();
  return file;
}

// A Midisoft message: 00 20 24, a zero byte, the type, the text and F7.
inline swtest::Bytes midisoft(uint8_t type, const std::string& text) {
  swtest::Bytes body{0x00, 0x20, 0x24, 0x00, type};
  body.insert(body.end(), text.begin(), text.end());
  body.push_back(0xF7);
  return body;
}

}  // namespace lyricstest
