// Converts many ticks of one sequence to times and measure positions: the walks over the
// tempo and signature maps are stored once at every map key, a run of increasing ticks steps
// through them once and any other tick is found by a binary search. The answers are those of
// MidiSequence's conversions, bit for bit. A snapshot: make a new cursor after the maps change.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "smf/time_types.h"

namespace sw {

class MidiSequence;
namespace timemath {
class TimeTables;
}

class TickTimeCursor {
 public:
  explicit TickTimeCursor(const MidiSequence& sequence);
  TickTimeCursor(const TempoMap& tempoMap, const SignatureMap& signatureMap, int16_t division);
  ~TickTimeCursor();
  TickTimeCursor(TickTimeCursor&&) noexcept;
  TickTimeCursor& operator=(TickTimeCursor&&) noexcept;

  double microSecondsAtTicks(int32_t ticks);
  MeasureRec measureAtTicks(int32_t ticks, uint16_t* totBeats = nullptr);
  int32_t ticksAtMicroseconds(double microseconds, double* timeOffset);

 private:
  std::unique_ptr<const timemath::TimeTables> tables_;
  size_t tempoHint_ = 0;
  size_t signatureHint_ = 0;
};

}  // namespace sw
