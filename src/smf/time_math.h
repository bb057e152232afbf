// The arithmetic shared by MidiSequence and SMFSignatureMap: conversions between ticks,
// microseconds, measure positions and SMPTE time over a tempo map, a signature map and a
// division. Degenerate values that a damaged file can carry (division 0, a zero or negative
// tempo, a signature with 0 beats or note value 0) are read as the nearest sound value, so no
// conversion divides by zero or overflows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "smf/time_types.h"

namespace sw::timemath {

struct Maps {
  const TempoMap& tempo;
  const SignatureMap& signatures;
  int16_t division;
};

int32_t safeDivision(int16_t division);
// Microseconds per tick for 120 BPM at the division.
double defaultTickDuration(int16_t division);
// (division × 4) / note value, at least 1.
int32_t ticksPerBeat(const TimeSignatureRec& signature, int16_t division);

double tickDurationAtTicks(const Maps& maps, int32_t ticks);
TimeSignatureRec signatureAtTicks(const Maps& maps, int32_t ticks);
// The key of the signature entry in effect (0 for an empty map).
int32_t signatureKeyAtTicks(const Maps& maps, int32_t ticks);
uint8_t beatNumAtTicks(const Maps& maps, int32_t ticks, bool* isBeat);
double microSecondsAtTicks(const Maps& maps, int32_t ticks);

enum class TickRounding { Sequence, Snapshot };
int32_t ticksAtMicroseconds(const Maps& maps, double microseconds, double* timeOffset, TickRounding rounding);

MeasureRec measureAtTicks(const Maps& maps, int32_t ticks, uint16_t* totBeats);
int32_t ticksAtMeasure(const Maps& maps, const MeasureRec& measure);
bool convertMeasureString(const Maps& maps, const std::string& text, MeasureRec* measure);
SMPTERec SMPTEatTicks(const Maps& maps, const SMPTERec& offset, int32_t ticks);

// The frame rate a SMPTE division names: `SMPTEFormat` is bits 8-14 of the division word, the
// negative frame rate in two's complement (24, 25, 29 meaning 29.97 frames a second, or 30 in
// a sound file; other values as they stand).
int32_t SMPTEFrameRate(int16_t SMPTEFormat);
// Microseconds per tick of a SMPTE division, whose ticks run in real time whatever the tempo;
// `ticksPerFrame` is the low byte of the division word.
double SMPTETickDuration(int16_t SMPTEFormat, int16_t ticksPerFrame);

// ---- The walks the conversions make over the maps, one step per map entry. A conversion at
// tick t passes every entry whose key is <= t, in key order, then finishes from the state
// reached; the tables below store that state at every key, so the step and finish functions
// here are the only place the arithmetic lives.

// Tempo: the time S at the last key passed, that key, and the tick duration in effect.
struct TempoWalk {
  double sum = 0;
  int64_t previousKey = 0;
  double duration = 0;
};
TempoWalk startTempoWalk(const Maps& maps);
void passTempoEntry(TempoWalk& walk, int32_t key, double value, int16_t division);
double microsecondsAt(const TempoWalk& walk, int32_t ticks);

// Signatures: measure and beat count at the last key passed, that key, the signature in effect.
struct MeasureWalk {
  int64_t measure = 1;
  int64_t beats = 0;
  int64_t previousKey = 0;
  TimeSignatureRec current;
};
MeasureWalk startMeasureWalk(const Maps& maps);
void passSignatureEntry(MeasureWalk& walk, int32_t key, const TimeSignatureRec& signature, int16_t division);
// `ticks` not below the walk's previous key (measureAtTicks reads negative ticks as 0).
MeasureRec measureAt(const MeasureWalk& walk, int32_t ticks, int16_t division, uint16_t* totBeats);

// Microseconds to ticks: the segment of the tempo map holding the time, and the rounding.
struct TempoSegment {
  double start = 0;       // time at the segment start
  int64_t startTick = 0;  // tick at the segment start
  double duration = 0;
};
double usableMicroseconds(double microseconds);
int32_t ticksInSegment(const TempoSegment& segment, double microseconds, double* timeOffset, TickRounding rounding);

// The walk states stored at every key of the maps, so that a conversion finds its state by a
// binary search instead of walking from the start, with answers equal to the walks' bit for
// bit. A hint (the number of entries passed by the previous conversion) turns a run of
// increasing ticks into one walk over the maps. The tables are a snapshot of the maps.
class TimeTables {
 public:
  explicit TimeTables(const Maps& maps);
  double microSecondsAtTicks(int32_t ticks, size_t* hint = nullptr) const;
  MeasureRec measureAtTicks(int32_t ticks, uint16_t* totBeats, size_t* hint = nullptr) const;
  int32_t ticksAtMicroseconds(double microseconds, double* timeOffset, TickRounding rounding) const;

 private:
  int16_t division_;
  TempoWalk tempoStart_;
  std::vector<int32_t> tempoKeys_;
  std::vector<TempoWalk> tempoStates_;  // after passing tempoKeys_[i]
  MeasureWalk measureStart_;
  std::vector<int32_t> signatureKeys_;
  std::vector<MeasureWalk> measureStates_;  // after passing signatureKeys_[i]
  // One segment per tempo entry after tick 0, with the time at which it ends; the last
  // segment (the state after every entry) has no end.
  std::vector<TempoSegment> segments_;
  std::vector<double> segmentEnds_;
};

// Frames per second of a SMPTE rate code (24, 25, 30, 30; 30 for an unknown code).
int32_t framesPerSecond(int32_t rateCode);
SMPTERec addSMPTE(const SMPTERec& a, const SMPTERec& b);

}  // namespace sw::timemath
