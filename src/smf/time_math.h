// The arithmetic shared by MidiSequence and SMFSignatureMap: conversions between ticks,
// microseconds, measure positions and SMPTE time over a tempo map, a signature map and a
// division. Degenerate values that a damaged file can carry (division 0, a zero or negative
// tempo, a signature with 0 beats or note value 0) are read as the nearest sound value, so no
// conversion divides by zero or overflows.
#pragma once

#include <cstdint>
#include <string>

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

// Microseconds per tick of a SMPTE division, whose ticks run in real time whatever the tempo:
// `SMPTEFormat` is bits 8-14 of the division word (the negative frame rate, -29 meaning
// 29.97 frames a second), `ticksPerFrame` its low byte.
double SMPTETickDuration(int16_t SMPTEFormat, int16_t ticksPerFrame);

// Frames per second of a SMPTE rate code (24, 25, 30, 30; 30 for an unknown code).
int32_t framesPerSecond(int32_t rateCode);
SMPTERec addSMPTE(const SMPTERec& a, const SMPTERec& b);

}  // namespace sw::timemath
