#include "smf/smf_signature_map.h"

#include <mutex>

#include "smf/midi_sequence.h"
#include "smf/time_math.h"

namespace sw {

namespace tm = timemath;

SMFSignatureMap::SMFSignatureMap(const SignatureMap* signatureMap, const TempoMap* tempoMap, int16_t division)
    : division_(division), hasSignatureMap_(signatureMap != nullptr), hasTempoMap_(tempoMap != nullptr) {
  if (signatureMap) signatureMap_ = *signatureMap;
  if (tempoMap) tempoMap_ = *tempoMap;
  tables_ = std::make_shared<const tm::TimeTables>(tm::Maps{tempoMap_, signatureMap_, division_});
}

std::shared_ptr<SMFSignatureMap> SMFSignatureMap::signatureWithSignatureMap(const SignatureMap* signatureMap,
                                                                            const TempoMap* tempoMap,
                                                                            int16_t division) {
  return std::make_shared<SMFSignatureMap>(signatureMap, tempoMap, division);
}

std::shared_ptr<SMFSignatureMap> SMFSignatureMap::fromSequence(const MidiSequence& sequence) {
  std::lock_guard guard(sequence.lock());
  return signatureWithSignatureMap(&sequence.signatureMap(), &sequence.tempoMap(), sequence.division());
}

namespace {
// The maps the conversions work on.
tm::Maps mapsOf(const SMFSignatureMap& owner) { return {owner.tempoMap(), owner.signatureMap(), owner.division()}; }
}  // namespace

TimeSignatureRec SMFSignatureMap::signatureAtTicks(int32_t ticks) const { return tm::signatureAtTicks(mapsOf(*this), ticks); }
MeasureRec SMFSignatureMap::measureAtTicks(int32_t ticks) const { return tables_->measureAtTicks(ticks, nullptr); }
int32_t SMFSignatureMap::ticksAtMeasure(const MeasureRec& measure) const { return tm::ticksAtMeasure(mapsOf(*this), measure); }
bool SMFSignatureMap::convertMeasureString(const std::string& text, MeasureRec* measure) const {
  return tm::convertMeasureString(mapsOf(*this), text, measure);
}
double SMFSignatureMap::microSecondsAtTicks(int32_t ticks) const { return tables_->microSecondsAtTicks(ticks); }
int32_t SMFSignatureMap::ticksAtMicroseconds(double microseconds, double* timeOffset) const {
  return tables_->ticksAtMicroseconds(microseconds, timeOffset, tm::TickRounding::Snapshot);
}

}  // namespace sw
