// A snapshot of a sequence's tempo map, signature map and division that answers the same time
// conversions after the sequence itself is gone (lyrics keep one).
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "smf/time_types.h"

namespace sw {

class MidiSequence;
namespace timemath {
class TimeTables;
}

class SMFSignatureMap {
 public:
  // Copies the maps that are given; a conversion that needs an absent map answers as if the
  // map held its default entry (4/4, or 120 BPM at the division).
  SMFSignatureMap(const SignatureMap* signatureMap, const TempoMap* tempoMap, int16_t division);
  static std::shared_ptr<SMFSignatureMap> signatureWithSignatureMap(const SignatureMap* signatureMap,
                                                                    const TempoMap* tempoMap, int16_t division);
  // The maps and division of a sequence, taken under its lock.
  static std::shared_ptr<SMFSignatureMap> fromSequence(const MidiSequence& sequence);

  int16_t division() const { return division_; }
  const SignatureMap& signatureMap() const { return signatureMap_; }
  const TempoMap& tempoMap() const { return tempoMap_; }
  bool hasSignatureMap() const { return hasSignatureMap_; }
  bool hasTempoMap() const { return hasTempoMap_; }

  TimeSignatureRec signatureAtTicks(int32_t ticks) const;
  MeasureRec measureAtTicks(int32_t ticks) const;
  int32_t ticksAtMeasure(const MeasureRec& measure) const;
  bool convertMeasureString(const std::string& text, MeasureRec* measure) const;
  double microSecondsAtTicks(int32_t ticks) const;
  // Rounds to the nearest tick when no offset is asked for; with an offset pointer, a time
  // between two ticks gives the later tick and the time still to wait until it.
  int32_t ticksAtMicroseconds(double microseconds, double* timeOffset) const;

 private:
  // The maps never change after construction: measures and times are searched in tables
  // built once, so converting every lyric of a song costs no walk over the maps each.
  std::shared_ptr<const timemath::TimeTables> tables_;
  SignatureMap signatureMap_;
  TempoMap tempoMap_;
  int16_t division_;
  bool hasSignatureMap_;
  bool hasTempoMap_;
};

}  // namespace sw
