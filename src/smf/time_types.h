// Value records of musical and SMPTE time.
#pragma once

#include <cstdint>
#include <map>

namespace sw {

struct TimeSignatureRec {
  uint8_t num = 4;        // beats per measure
  uint8_t denom = 4;      // note value of a beat: 1, 2, 4, 8 ...
  uint8_t metronome = 24; // MIDI clocks per metronome click
  uint8_t MIDIClock = 8;  // notated 32nd notes per quarter note
  bool operator==(const TimeSignatureRec&) const = default;
};

struct MeasureRec {
  int32_t measure = 1;  // from 1
  int32_t beat = 1;     // from 1
  int32_t tick = 0;     // within the beat, from 0
  bool operator==(const MeasureRec&) const = default;
};

struct SMPTERec {
  int32_t yy = 3;  // frame-rate code: 0 → 24, 1 → 25, 2 → 30 (no drop), 3 → 30
  int32_t hh = 0;
  int32_t mm = 0;
  int32_t ss = 0;
  int32_t fr = 0;  // frames
  int32_t ff = 0;  // hundredths of a frame
  bool operator==(const SMPTERec&) const = default;
};

using TempoMap = std::map<int32_t, double>;              // ticks → microseconds per tick
using SignatureMap = std::map<int32_t, TimeSignatureRec>; // ticks → signature in effect

}  // namespace sw
