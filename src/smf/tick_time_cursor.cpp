#include "smf/tick_time_cursor.h"

#include <mutex>

#include "smf/midi_sequence.h"
#include "smf/time_math.h"

namespace sw {

namespace tm = timemath;

namespace {
std::unique_ptr<const tm::TimeTables> tablesOf(const MidiSequence& sequence) {
  std::lock_guard guard(sequence.lock());
  return std::make_unique<const tm::TimeTables>(
      tm::Maps{sequence.tempoMap(), sequence.signatureMap(), sequence.division()});
}
}  // namespace

TickTimeCursor::TickTimeCursor(const MidiSequence& sequence) : tables_(tablesOf(sequence)) {}

TickTimeCursor::TickTimeCursor(const TempoMap& tempoMap, const SignatureMap& signatureMap, int16_t division)
    : tables_(std::make_unique<const tm::TimeTables>(tm::Maps{tempoMap, signatureMap, division})) {}

TickTimeCursor::~TickTimeCursor() = default;
TickTimeCursor::TickTimeCursor(TickTimeCursor&&) noexcept = default;
TickTimeCursor& TickTimeCursor::operator=(TickTimeCursor&&) noexcept = default;

double TickTimeCursor::microSecondsAtTicks(int32_t ticks) { return tables_->microSecondsAtTicks(ticks, &tempoHint_); }

MeasureRec TickTimeCursor::measureAtTicks(int32_t ticks, uint16_t* totBeats) {
  return tables_->measureAtTicks(ticks, totBeats, &signatureHint_);
}

int32_t TickTimeCursor::ticksAtMicroseconds(double microseconds, double* timeOffset) {
  return tables_->ticksAtMicroseconds(microseconds, timeOffset, tm::TickRounding::Sequence);
}

}  // namespace sw
