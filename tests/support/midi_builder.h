// Builds the bytes of Standard MIDI Files for tests and benchmarks.
//
//   MidiFileBuilder file(0, 480);
//   auto& t = file.track();
//   t.noteOn(0, 0, 60, 100).noteOff(480, 0, 60).endOfTrack();
//   std::vector<uint8_t> bytes = file.bytes();
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace swtest {

using Bytes = std::vector<uint8_t>;

class TrackBuilder {
 public:
  // Every call takes a delta time in ticks.
  TrackBuilder& raw(uint32_t delta, std::initializer_list<uint8_t> bytes);
  TrackBuilder& raw(uint32_t delta, const Bytes& bytes);
  TrackBuilder& noteOn(uint32_t delta, uint8_t channel, uint8_t key, uint8_t velocity);
  TrackBuilder& noteOff(uint32_t delta, uint8_t channel, uint8_t key, uint8_t velocity = 64);
  TrackBuilder& control(uint32_t delta, uint8_t channel, uint8_t controller, uint8_t value);
  TrackBuilder& program(uint32_t delta, uint8_t channel, uint8_t program);
  TrackBuilder& pitchBend(uint32_t delta, uint8_t channel, uint16_t value);
  TrackBuilder& meta(uint32_t delta, uint8_t type, const Bytes& payload);
  TrackBuilder& text(uint32_t delta, uint8_t type, const std::string& text);
  TrackBuilder& tempo(uint32_t delta, uint32_t microsecondsPerQuarter);
  TrackBuilder& timeSignature(uint32_t delta, uint8_t num, uint8_t denomPower, uint8_t metronome = 24,
                              uint8_t clocks = 8);
  TrackBuilder& sysex(uint32_t delta, const Bytes& bytesAfterF0);  // must end with F7
  TrackBuilder& endOfTrack(uint32_t delta = 0);
  // Writes channel messages with running status where the status repeats.
  TrackBuilder& useRunningStatus(bool on = true);

  const Bytes& bytes() const { return bytes_; }
  Bytes& bytes() { return bytes_; }

 private:
  void delta(uint32_t ticks);
  void channelMessage(uint32_t delta, std::initializer_list<uint8_t> bytes);
  Bytes bytes_;
  bool runningStatus_ = false;
  uint8_t lastStatus_ = 0;
};

class MidiFileBuilder {
 public:
  MidiFileBuilder(uint16_t format = 1, uint16_t division = 480);
  TrackBuilder& track();  // adds a track
  TrackBuilder& track(size_t index) { return tracks_[index]; }
  size_t trackCount() const { return tracks_.size(); }
  // Overrides the track count written in the header (default: the tracks added).
  MidiFileBuilder& headerTracks(uint16_t count);
  MidiFileBuilder& divisionWord(uint16_t word);
  Bytes bytes() const;

 private:
  uint16_t format_;
  uint16_t division_;
  int headerTracks_ = -1;
  std::vector<TrackBuilder> tracks_;
};

void appendVLQ(Bytes& out, uint32_t value);
Bytes chunk(const char* id, const Bytes& body);

}  // namespace swtest
