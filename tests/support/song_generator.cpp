#include "song_generator.h"

#include <algorithm>
#include <random>
#include <string>

namespace swtest {

namespace {

// A note and the rest before the next one last 29.5 + 129.5 ticks on average (see the note loop).
constexpr uint32_t kAverageNoteTicks = 159;

void addNoteTracks(MidiFileBuilder& file, std::mt19937& rng, int tracks, int notesPerTrack, bool markers);

}  // namespace

Bytes makeSong(int tracks, int notesPerTrack, uint32_t seed, bool markers) {
  std::mt19937 rng(seed);
  MidiFileBuilder file(1, 480);
  auto& conductor = file.track();
  conductor.text(0, 3, "Benchmark").timeSignature(0, 4, 2);
  for (int i = 0; i < notesPerTrack / 64; ++i) conductor.tempo(i ? 1920 : 0, 400000 + uint32_t(rng() % 200000));
  conductor.endOfTrack();
  addNoteTracks(file, rng, tracks, notesPerTrack, markers);
  return file.bytes();
}

Bytes makeSongWithTempoChanges(int tracks, int notesPerTrack, int tempoChanges, uint32_t seed) {
  std::mt19937 rng(seed);
  MidiFileBuilder file(1, 480);
  auto& conductor = file.track();
  conductor.text(0, 3, "Benchmark").timeSignature(0, 4, 2);
  const uint32_t spacing =
      std::max<uint32_t>(1, uint32_t(uint64_t(notesPerTrack) * kAverageNoteTicks / uint64_t(std::max(tempoChanges, 1))));
  for (int i = 0; i < tempoChanges; ++i) {
    conductor.tempo(i ? spacing : 0, 400000 + uint32_t(rng() % 200000));
    if (i % 512 == 511) conductor.timeSignature(0, (i / 512) % 2 ? 4 : 3, 2);
  }
  conductor.endOfTrack();
  addNoteTracks(file, rng, tracks, notesPerTrack, false);
  return file.bytes();
}

namespace {

void addNoteTracks(MidiFileBuilder& file, std::mt19937& rng, int tracks, int notesPerTrack, bool markers) {
  for (int t = 1; t < tracks; ++t) {
    auto& track = file.track();
    track.useRunningStatus();
    uint8_t ch = uint8_t((t - 1) % 16);
    track.text(0, 3, "Track " + std::to_string(t)).program(0, ch, uint8_t(rng() % 128));
    for (int i = 0; i < notesPerTrack; ++i) {
      uint8_t key = uint8_t(36 + rng() % 48);
      track.noteOn(uint32_t(rng() % 60), ch, key, uint8_t(40 + rng() % 80));
      if (i % 8 == 0) track.control(0, ch, 7, uint8_t(rng() % 128));
      if (i % 16 == 0) track.pitchBend(0, ch, uint16_t(rng() % 16384));
      if (t == 1 && i % 4 == 0) track.text(0, 5, "la");
      if (markers && i % 512 == 0) track.text(0, 6, "marker");
      track.noteOn(uint32_t(30 + rng() % 200), ch, key, 0);
    }
    track.endOfTrack();
  }
}

}  // namespace

}  // namespace swtest
