#include "smf/time_math.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>

namespace sw::timemath {
namespace {

constexpr int64_t kMaxTicks = std::numeric_limits<int32_t>::max();
constexpr int64_t kMinTicks = std::numeric_limits<int32_t>::min();

int32_t clampTicks(int64_t ticks) { return int32_t(std::clamp(ticks, kMinTicks, kMaxTicks)); }

int32_t beatsPerMeasure(const TimeSignatureRec& signature) { return signature.num ? signature.num : 1; }

// A usable tick duration: a zero, negative or non-finite value is read as the default tempo.
double usableDuration(double duration, int16_t division) {
  return (std::isfinite(duration) && duration > 0) ? duration : defaultTickDuration(division);
}

const TimeSignatureRec kDefaultSignature{4, 4, 24, 8};

// The first entry of each map; a missing map answers with its default entry at tick 0.
TimeSignatureRec firstSignature(const Maps& maps) {
  return maps.signatures.empty() ? kDefaultSignature : maps.signatures.begin()->second;
}
double firstDuration(const Maps& maps) {
  return usableDuration(maps.tempo.empty() ? 0 : maps.tempo.begin()->second, maps.division);
}

}  // namespace

int32_t safeDivision(int16_t division) { return division > 0 ? division : 1; }

double defaultTickDuration(int16_t division) { return 60000000.0 / 120.0 / safeDivision(division); }

int32_t SMPTEFrameRate(int16_t SMPTEFormat) {
  // The high byte of the division word is the frame rate negated, in two's complement.
  return -int32_t(int8_t(uint8_t(0x80 | (SMPTEFormat & 0x7F))));
}

double SMPTETickDuration(int16_t SMPTEFormat, int16_t ticksPerFrame) {
  const int32_t rate = SMPTEFrameRate(SMPTEFormat);
  const double framesPerSecond = rate == 29 ? 30000.0 / 1001.0 : double(rate);
  return 1000000.0 / (framesPerSecond * safeDivision(ticksPerFrame));
}

int32_t ticksPerBeat(const TimeSignatureRec& signature, int16_t division) {
  if (signature.denom == 0) return std::max(1, safeDivision(division));
  return std::max(1, safeDivision(division) * 4 / signature.denom);
}

double tickDurationAtTicks(const Maps& maps, int32_t ticks) {
  if (maps.tempo.empty()) return defaultTickDuration(maps.division);
  auto it = maps.tempo.upper_bound(ticks);
  if (it != maps.tempo.begin()) --it;
  return it->second;
}

TimeSignatureRec signatureAtTicks(const Maps& maps, int32_t ticks) {
  if (maps.signatures.empty()) return kDefaultSignature;
  auto it = maps.signatures.upper_bound(ticks);
  if (it != maps.signatures.begin()) --it;
  return it->second;
}

int32_t signatureKeyAtTicks(const Maps& maps, int32_t ticks) {
  if (maps.signatures.empty()) return 0;
  auto it = maps.signatures.upper_bound(ticks);
  if (it != maps.signatures.begin()) --it;
  return it->first;
}

uint8_t beatNumAtTicks(const Maps& maps, int32_t ticks, bool* isBeat) {
  const TimeSignatureRec signature = signatureAtTicks(maps, ticks);
  const int64_t span = std::max<int64_t>(0, int64_t(ticks) - signatureKeyAtTicks(maps, ticks));
  const int64_t perBeat = ticksPerBeat(signature, maps.division);
  if (isBeat) *isBeat = span % perBeat == 0;
  return uint8_t((span / perBeat) % beatsPerMeasure(signature) + 1);
}

TempoWalk startTempoWalk(const Maps& maps) { return TempoWalk{0, 0, firstDuration(maps)}; }

void passTempoEntry(TempoWalk& walk, int32_t key, double value, int16_t division) {
  walk.sum += walk.duration * double(key - walk.previousKey);
  walk.previousKey = key;
  walk.duration = usableDuration(value, division);
}

double microsecondsAt(const TempoWalk& walk, int32_t ticks) {
  return walk.sum + walk.duration * double(int64_t(ticks) - walk.previousKey);
}

double microSecondsAtTicks(const Maps& maps, int32_t ticks) {
  TempoWalk walk = startTempoWalk(maps);
  for (const auto& [key, value] : maps.tempo) {
    if (key > ticks) break;
    passTempoEntry(walk, key, value, maps.division);
  }
  return microsecondsAt(walk, ticks);
}

double usableMicroseconds(double microseconds) { return std::isnan(microseconds) ? 0 : std::max(0.0, microseconds); }

int32_t ticksInSegment(const TempoSegment& segment, double microseconds, double* timeOffset, TickRounding rounding) {
  const double duration = segment.duration;
  const int64_t startTick = segment.startTick;
  const double rest = microseconds - segment.start;
  // A time that lands on a tick up to binary rounding error counts as that tick.
  const double whole = std::floor(rest / duration + 1e-9);
  if (!std::isfinite(whole) || whole >= double(kMaxTicks)) {
    if (timeOffset) *timeOffset = 0;
    return int32_t(kMaxTicks);
  }
  const int64_t n = int64_t(whole);
  const double fraction = std::max(0.0, rest - double(n) * duration);
  if (rounding == TickRounding::Sequence) {
    if (!timeOffset) return clampTicks(startTick + n);
    if (fraction > 0.0000001) {
      *timeOffset = duration - fraction;
      return clampTicks(startTick + n + 1);
    }
    *timeOffset = fraction;
    return clampTicks(startTick + n);
  }
  if (fraction == 0) return clampTicks(startTick + n);
  if (timeOffset) {
    *timeOffset = duration - fraction;
    return clampTicks(startTick + n + 1);
  }
  return clampTicks(startTick + n + (fraction >= duration * 0.5 ? 1 : 0));
}

int32_t ticksAtMicroseconds(const Maps& maps, double microseconds, double* timeOffset, TickRounding rounding) {
  microseconds = usableMicroseconds(microseconds);
  TempoSegment segment{0, 0, firstDuration(maps)};
  for (const auto& [key, value] : maps.tempo) {
    if (key <= 0) {  // an entry at (or before) tick 0 only sets the first duration
      segment.duration = usableDuration(value, maps.division);
      continue;
    }
    const double end = segment.start + double(key - segment.startTick) * segment.duration;
    if (end >= microseconds) break;
    segment = TempoSegment{end, key, usableDuration(value, maps.division)};
  }
  return ticksInSegment(segment, microseconds, timeOffset, rounding);
}

MeasureWalk startMeasureWalk(const Maps& maps) { return MeasureWalk{1, 0, 0, firstSignature(maps)}; }

void passSignatureEntry(MeasureWalk& walk, int32_t key, const TimeSignatureRec& signature, int16_t division) {
  const int64_t span = std::max<int64_t>(0, key - walk.previousKey);
  const int64_t perBeat = ticksPerBeat(walk.current, division);
  const int64_t b = span / perBeat, r = span % perBeat;
  const int64_t num = beatsPerMeasure(walk.current);
  walk.beats += b;
  // A signature change inside a measure closes that measure early.
  walk.measure += b / num + ((b % num != 0 || r != 0) ? 1 : 0);
  walk.previousKey = std::max<int64_t>(walk.previousKey, key);
  walk.current = signature;
}

MeasureRec measureAt(const MeasureWalk& walk, int32_t ticks, int16_t division, uint16_t* totBeats) {
  const int64_t perBeat = ticksPerBeat(walk.current, division);
  const int64_t num = beatsPerMeasure(walk.current);
  const int64_t b = (ticks - walk.previousKey) / perBeat, r = (ticks - walk.previousKey) % perBeat;
  if (totBeats) *totBeats = uint16_t(walk.beats + b);
  return MeasureRec{clampTicks(walk.measure + b / num), int32_t(b % num + 1), int32_t(r)};
}

MeasureRec measureAtTicks(const Maps& maps, int32_t ticks, uint16_t* totBeats) {
  ticks = std::max(ticks, 0);
  MeasureWalk walk = startMeasureWalk(maps);
  for (const auto& [key, signature] : maps.signatures) {
    if (key > ticks) break;
    passSignatureEntry(walk, key, signature, maps.division);
  }
  return measureAt(walk, ticks, maps.division, totBeats);
}

int32_t ticksAtMeasure(const Maps& maps, const MeasureRec& m) {
  int64_t baseKey = 0, baseMeasure = 1;
  TimeSignatureRec base = firstSignature(maps);
  // The measure of each key, found in one walk as measureAtTicks would give it.
  MeasureWalk walk = startMeasureWalk(maps);
  bool firstEntry = true;
  for (const auto& [key, signature] : maps.signatures) {
    passSignatureEntry(walk, key, signature, maps.division);
    // The base is the last entry that starts at or before the measure asked for.
    if (!firstEntry && walk.measure > m.measure) break;
    firstEntry = false;
    baseKey = key;
    baseMeasure = walk.measure;
    base = signature;
  }
  const int64_t num = beatsPerMeasure(base);
  const int64_t perBeat = ticksPerBeat(base, maps.division);
  const int64_t ticks =
      baseKey + int64_t(m.tick) + (int64_t(m.beat) + (int64_t(m.measure) - baseMeasure) * num - 1) * perBeat;
  return clampTicks(ticks);
}

// ---------------------------------------------------------------- tables

namespace {

// The number of keys <= ticks. With a hint (the previous answer) a later tick steps on from
// there, so a run of increasing ticks walks the keys once; anything else is a binary search.
size_t entriesUpTo(const std::vector<int32_t>& keys, int64_t ticks, size_t* hint) {
  size_t passed;
  const size_t from = hint ? std::min(*hint, keys.size()) : 0;
  if (from > 0 && keys[from - 1] > ticks) {
    passed = size_t(std::upper_bound(keys.begin(), keys.begin() + std::ptrdiff_t(from), ticks) - keys.begin());
  } else {
    passed = from;
    for (int step = 0; step < 4 && passed < keys.size() && keys[passed] <= ticks; ++step) ++passed;
    if (passed < keys.size() && keys[passed] <= ticks)
      passed = size_t(std::upper_bound(keys.begin() + std::ptrdiff_t(passed), keys.end(), ticks) - keys.begin());
  }
  if (hint) *hint = passed;
  return passed;
}

}  // namespace

TimeTables::TimeTables(const Maps& maps)
    : division_(maps.division), tempoStart_(startTempoWalk(maps)), measureStart_(startMeasureWalk(maps)) {
  tempoKeys_.reserve(maps.tempo.size());
  tempoStates_.reserve(maps.tempo.size());
  TempoWalk tempo = tempoStart_;
  for (const auto& [key, value] : maps.tempo) {
    passTempoEntry(tempo, key, value, division_);
    tempoKeys_.push_back(key);
    tempoStates_.push_back(tempo);
  }
  signatureKeys_.reserve(maps.signatures.size());
  measureStates_.reserve(maps.signatures.size());
  MeasureWalk measure = measureStart_;
  for (const auto& [key, signature] : maps.signatures) {
    passSignatureEntry(measure, key, signature, division_);
    signatureKeys_.push_back(key);
    measureStates_.push_back(measure);
  }
  // The segments exactly as ticksAtMicroseconds walks them.
  TempoSegment segment{0, 0, firstDuration(maps)};
  for (const auto& [key, value] : maps.tempo) {
    if (key <= 0) {
      segment.duration = usableDuration(value, maps.division);
      continue;
    }
    const double end = segment.start + double(key - segment.startTick) * segment.duration;
    segments_.push_back(segment);
    segmentEnds_.push_back(end);
    segment = TempoSegment{end, key, usableDuration(value, maps.division)};
  }
  segments_.push_back(segment);
}

double TimeTables::microSecondsAtTicks(int32_t ticks, size_t* hint) const {
  const size_t passed = entriesUpTo(tempoKeys_, ticks, hint);
  return microsecondsAt(passed ? tempoStates_[passed - 1] : tempoStart_, ticks);
}

MeasureRec TimeTables::measureAtTicks(int32_t ticks, uint16_t* totBeats, size_t* hint) const {
  ticks = std::max(ticks, 0);
  const size_t passed = entriesUpTo(signatureKeys_, ticks, hint);
  return measureAt(passed ? measureStates_[passed - 1] : measureStart_, ticks, division_, totBeats);
}

int32_t TimeTables::ticksAtMicroseconds(double microseconds, double* timeOffset, TickRounding rounding) const {
  microseconds = usableMicroseconds(microseconds);
  // The walk stops at the first segment whose end reaches the time; the ends only grow.
  const size_t at = size_t(std::lower_bound(segmentEnds_.begin(), segmentEnds_.end(), microseconds) - segmentEnds_.begin());
  return ticksInSegment(segments_[at], microseconds, timeOffset, rounding);
}

bool convertMeasureString(const Maps& maps, const std::string& text, MeasureRec* measure) {
  MeasureRec parsed{1, 1, 0};
  size_t position = 0;
  // Skips to the next digit and reads a number; NO when there is none or it does not fit.
  auto readNumber = [&](int32_t* out) {
    while (position < text.size() && !std::isdigit(static_cast<unsigned char>(text[position]))) ++position;
    if (position >= text.size()) return false;
    int64_t value = 0;
    while (position < text.size() && std::isdigit(static_cast<unsigned char>(text[position]))) {
      value = value * 10 + (text[position++] - '0');
      if (value > kMaxTicks) return false;
    }
    *out = int32_t(value);
    return true;
  };
  bool ok = readNumber(&parsed.measure) && parsed.measure >= 1 && readNumber(&parsed.beat) &&
            readNumber(&parsed.tick);
  if (measure) *measure = parsed;
  if (!ok) return false;
  const TimeSignatureRec signature = signatureAtTicks(maps, ticksAtMeasure(maps, parsed));
  return parsed.beat >= 1 && parsed.beat <= beatsPerMeasure(signature) &&
         parsed.tick < ticksPerBeat(signature, maps.division);
}

int32_t framesPerSecond(int32_t rateCode) {
  switch (rateCode) {
    case 0: return 24;
    case 1: return 25;
    default: return 30;
  }
}

namespace {

SMPTERec spanOfTicks(int64_t ticks, double duration, const SMPTERec& like) {
  const double seconds = duration * double(ticks) / 1000000.0;
  double whole = std::floor(seconds);
  double fraction = seconds - whole;
  if (fraction > 0.999999999999) {
    whole += 1;
    fraction = 0;
  }
  // Round away the last bits of binary error so that 22.5 frames stay 22 frames 50 hundredths.
  const double frames = framesPerSecond(like.yy) * fraction + 1e-9;
  const int64_t W = int64_t(std::min(whole, 9.0e15));
  SMPTERec span{};
  span.yy = like.yy;
  span.hh = int32_t(std::min<int64_t>(W / 3600, std::numeric_limits<int32_t>::max()));
  span.mm = int32_t(W % 3600 / 60);
  span.ss = int32_t(W % 60);
  span.fr = int32_t(frames);
  span.ff = int32_t((frames - std::floor(frames)) * 100);
  return span;
}

}  // namespace

SMPTERec addSMPTE(const SMPTERec& a, const SMPTERec& b) {
  const int32_t fps = framesPerSecond(a.yy);
  SMPTERec sum = a;
  int64_t ff = int64_t(a.ff) + b.ff, fr = int64_t(a.fr) + b.fr;
  int64_t seconds = (int64_t(a.hh) + b.hh) * 3600 + (int64_t(a.mm) + b.mm) * 60 + int64_t(a.ss) + b.ss;
  if (ff >= 100) {
    ff -= 100;
    fr += 1;
  }
  if (fr >= fps) {
    fr -= fps;
    seconds += 1;
  }
  sum.ff = int32_t(ff);
  sum.fr = int32_t(fr);
  sum.hh = int32_t(std::min<int64_t>(seconds / 3600, std::numeric_limits<int32_t>::max()));
  sum.mm = int32_t(seconds % 3600 / 60);
  sum.ss = int32_t(seconds % 60);
  return sum;
}

SMPTERec SMPTEatTicks(const Maps& maps, const SMPTERec& offset, int32_t ticks) {
  ticks = std::max(ticks, 0);
  SMPTERec result = offset;
  int64_t previousKey = 0;
  double duration = firstDuration(maps);
  for (const auto& [key, value] : maps.tempo) {
    if (key > ticks) break;
    if (key > previousKey) result = addSMPTE(result, spanOfTicks(key - previousKey, duration, offset));
    previousKey = std::max<int64_t>(previousKey, key);
    duration = usableDuration(value, maps.division);
  }
  return addSMPTE(result, spanOfTicks(ticks - previousKey, duration, offset));
}

}  // namespace sw::timemath
