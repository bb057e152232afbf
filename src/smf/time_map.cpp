// Time conversions of a sequence over its own tempo map, signature map and division.
#include "smf/midi_sequence.h"
#include "smf/time_math.h"

namespace sw {

namespace tm = timemath;

namespace {
// The maps the conversions work on.
tm::Maps mapsOf(const MidiSequence& owner) { return {owner.tempoMap(), owner.signatureMap(), owner.division()}; }
}  // namespace

double MidiSequence::tickDurationAtTicks(int32_t ticks) const { return tm::tickDurationAtTicks(mapsOf(*this), ticks); }

double MidiSequence::tempoForTickDuration(double tickDuration) const {
  const double denominator = double(tm::safeDivision(division_)) * tickDuration;
  return denominator > 0 ? 60000000.0 / denominator : 0;
}

TimeSignatureRec MidiSequence::signatureAtTicks(int32_t ticks) const { return tm::signatureAtTicks(mapsOf(*this), ticks); }

uint8_t MidiSequence::beatNumAtTicks(int32_t ticks, bool* isBeat) const {
  return tm::beatNumAtTicks(mapsOf(*this), ticks, isBeat);
}

double MidiSequence::microSecondsAtTicks(int32_t ticks) const { return tm::microSecondsAtTicks(mapsOf(*this), ticks); }

int32_t MidiSequence::ticksAtMicroseconds(double microseconds, double* timeOffset) const {
  return tm::ticksAtMicroseconds(mapsOf(*this), microseconds, timeOffset, tm::TickRounding::Sequence);
}

MeasureRec MidiSequence::measureAtTicks(int32_t ticks, uint16_t* totBeats) const {
  return tm::measureAtTicks(mapsOf(*this), ticks, totBeats);
}

int32_t MidiSequence::ticksAtMeasure(const MeasureRec& measure) const { return tm::ticksAtMeasure(mapsOf(*this), measure); }

bool MidiSequence::convertMeasureString(const std::string& text, MeasureRec* measure) const {
  return tm::convertMeasureString(mapsOf(*this), text, measure);
}

SMPTERec MidiSequence::SMPTEatTicks(int32_t ticks) const { return tm::SMPTEatTicks(mapsOf(*this), SMPTEOffset_, ticks); }

uint32_t MidiSequence::duration() const {
  if (wholeList_.empty()) return 0;
  const MidiEvent* last = wholeList_.back().get();
  return last->ticks() + last->duration();
}

}  // namespace sw
