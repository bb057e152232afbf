// Conversions between ticks, time, measure positions and SMPTE, on sequences and snapshots.
#include <gtest/gtest.h>

#include <limits>
#include <utility>

#include "sequence_test_util.h"
#include "smf/smf_signature_map.h"
#include "smf/time_math.h"

namespace {

using sw::MeasureRec;
using sw::MidiSequence;
using sw::SMFSignatureMap;
using sw::TimeSignatureRec;

TEST(TimeMap, MicrosecondsAndTicksBothWays) {
  MidiSequence seq;
  EXPECT_DOUBLE_EQ(seq.microSecondsAtTicks(960), 1000000);
  double offset = -1;
  EXPECT_EQ(seq.ticksAtMicroseconds(1000500, &offset), 961);
  EXPECT_NEAR(offset, 541.6667, 0.001);
  EXPECT_EQ(seq.ticksAtMicroseconds(1000500, nullptr), 960);
  EXPECT_EQ(seq.ticksAtMicroseconds(1000000, &offset), 960);
  EXPECT_NEAR(offset, 0, 1e-6);
  EXPECT_DOUBLE_EQ(seq.tempoForTickDuration(seq.tickDurationAtTicks(0)), 120);

  seq.setTempo(60, 960);
  EXPECT_DOUBLE_EQ(seq.microSecondsAtTicks(1920), 3000000);
  EXPECT_EQ(seq.ticksAtMicroseconds(3000000, nullptr), 1920);
  EXPECT_EQ(seq.ticksAtMicroseconds(1000000, nullptr), 960);  // exactly at the tempo change
  // Every tick maps back to itself across the change.
  for (int32_t t = 0; t < 3000; t += 7) EXPECT_EQ(seq.ticksAtMicroseconds(seq.microSecondsAtTicks(t), &offset), t) << t;
}

TEST(TimeMap, SnapshotRoundsToNearestTick) {
  MidiSequence seq;
  auto map = SMFSignatureMap::fromSequence(seq);
  const double tick = 500000.0 / 480;
  EXPECT_EQ(map->ticksAtMicroseconds(10 * tick + 0.4 * tick, nullptr), 10);
  EXPECT_EQ(map->ticksAtMicroseconds(10 * tick + 0.6 * tick, nullptr), 11);
  double offset = 0;
  EXPECT_EQ(map->ticksAtMicroseconds(10 * tick + 0.25 * tick, &offset), 11);
  EXPECT_NEAR(offset, 0.75 * tick, 1e-6);
  EXPECT_EQ(map->ticksAtMicroseconds(0, &offset), 0);
  EXPECT_DOUBLE_EQ(map->microSecondsAtTicks(960), 1000000);
  // The snapshot outlives changes to the sequence.
  seq.setTempo(60, 0);
  EXPECT_DOUBLE_EQ(map->microSecondsAtTicks(960), 1000000);
}

TEST(TimeMap, MeasuresAcrossSignatureChanges) {
  MidiSequence seq;
  EXPECT_EQ(seq.measureAtTicks(0), (MeasureRec{1, 1, 0}));
  EXPECT_EQ(seq.measureAtTicks(1919), (MeasureRec{1, 4, 479}));
  EXPECT_EQ(seq.measureAtTicks(1920), (MeasureRec{2, 1, 0}));
  EXPECT_EQ(seq.ticksAtMeasure({2, 1, 0}), 1920);

  // 3/4 from 2400: the half-filled second measure closes there.
  seq.setSignature(TimeSignatureRec{3, 4, 24, 8}, 2400);
  EXPECT_EQ(seq.measureAtTicks(2400), (MeasureRec{3, 1, 0}));
  EXPECT_EQ(seq.measureAtTicks(2400 + 1440), (MeasureRec{4, 1, 0}));
  EXPECT_EQ(seq.measureAtTicks(2399), (MeasureRec{2, 1, 479}));
  uint16_t beats = 0;
  seq.measureAtTicks(2400 + 1440, &beats);
  EXPECT_EQ(beats, 5 + 3);
  // ticksAtMeasure inverts measureAtTicks on every beat, on both sides of the change.
  for (int32_t t = 0; t < 8000; t += 480) {
    if (t == 2400 - 480 || (t > 1920 && t < 2400)) continue;
    EXPECT_EQ(seq.ticksAtMeasure(seq.measureAtTicks(t)), t) << t;
  }
  for (int32_t t = 2400; t < 8000; t += 161) EXPECT_EQ(seq.ticksAtMeasure(seq.measureAtTicks(t)), t) << t;

  // 6/8: a beat is an eighth note.
  MidiSequence eighths;
  eighths.setSignature(TimeSignatureRec{6, 8, 24, 8}, 0);
  EXPECT_EQ(eighths.measureAtTicks(240 * 6), (MeasureRec{2, 1, 0}));
  EXPECT_EQ(eighths.ticksAtMeasure({3, 2, 10}), 2 * 1440 + 240 + 10);
}

TEST(TimeMap, BeatNumbers) {
  MidiSequence seq;
  bool isBeat = false;
  EXPECT_EQ(seq.beatNumAtTicks(480, &isBeat), 2);
  EXPECT_TRUE(isBeat);
  EXPECT_EQ(seq.beatNumAtTicks(481, &isBeat), 2);
  EXPECT_FALSE(isBeat);
  EXPECT_EQ(seq.beatNumAtTicks(1920, &isBeat), 1);
}

TEST(TimeMap, TypedPositions) {
  MidiSequence seq;
  MeasureRec m;
  EXPECT_TRUE(seq.convertMeasureString("002:03:100", &m));
  EXPECT_EQ(m, (MeasureRec{2, 3, 100}));
  EXPECT_TRUE(seq.convertMeasureString(" 2 - 3 - 100 ", &m));
  EXPECT_FALSE(seq.convertMeasureString("2:5:0", &m));  // beat 5 in 4/4
  EXPECT_EQ(m, (MeasureRec{2, 5, 0}));
  EXPECT_FALSE(seq.convertMeasureString("2.1.480", &m));  // tick must be below 480
  EXPECT_FALSE(seq.convertMeasureString("0:1:0", &m));
  EXPECT_FALSE(seq.convertMeasureString("2:1", &m));
  EXPECT_FALSE(seq.convertMeasureString("", &m));
  EXPECT_FALSE(seq.convertMeasureString("2:0:0", &m));
  EXPECT_FALSE(seq.convertMeasureString("99999999999999999999:1:0", &m));
  EXPECT_TRUE(seq.convertMeasureString("2147483647:1:0", &m));  // clamps, no overflow
}

TEST(TimeMap, SMPTE) {
  MidiSequence seq;
  sw::SMPTERec s = seq.SMPTEatTicks(720);  // 0.75 s at 30 fps
  EXPECT_EQ(s, (sw::SMPTERec{3, 0, 0, 0, 22, 50}));
  // An offset at 25 fps: frames and hundredths carry into the seconds, seconds into hours.
  seq.setSMPTEOffset(sw::SMPTERec{1, 1, 59, 59, 24, 60});
  EXPECT_EQ(seq.SMPTEatTicks(720), (sw::SMPTERec{1, 2, 0, 0, 18, 35}));  // + 18.75 frames
  seq.setTempo(60, 960);  // from 1 s on, a quarter lasts 1 s
  EXPECT_EQ(seq.SMPTEatTicks(960 + 480 * 3600), (sw::SMPTERec{1, 3, 0, 0, 24, 60}));
}

TEST(TimeMap, Duration) {
  MidiSequence seq;
  seq.insertEvent(swtest::event({0x80, 60, 0}, 0, 1000));
  EXPECT_EQ(seq.duration(), 1000u);
  seq.insertEvent(swtest::event({0x90, 62, 100}, 0, 1000, 200));
  EXPECT_EQ(seq.duration(), 1200u);
}

// Values a damaged file can carry must not divide by zero, overflow or hang.
TEST(TimeMap, DegenerateMapsAreSafe) {
  sw::TempoMap zeroTempo{{0, 0.0}, {100, -5.0}};
  sw::SignatureMap badSignatures{{0, TimeSignatureRec{0, 0, 24, 8}}, {50, TimeSignatureRec{4, 255, 24, 8}}};
  for (int16_t division : {int16_t(0), int16_t(-25), int16_t(1), int16_t(480)}) {
    SMFSignatureMap map(&badSignatures, &zeroTempo, division);
    EXPECT_GE(map.microSecondsAtTicks(1000), 0);
    double offset = 0;
    EXPECT_GE(map.ticksAtMicroseconds(1e18, &offset), 0);
    EXPECT_GE(map.ticksAtMicroseconds(-5, &offset), 0);
    MeasureRec m = map.measureAtTicks(std::numeric_limits<int32_t>::max());
    EXPECT_GE(m.measure, 1);
    EXPECT_GE(map.ticksAtMeasure({std::numeric_limits<int32_t>::max(), 1000, 1000}), 0);
    map.convertMeasureString("5:1:0", &m);
    EXPECT_EQ(map.measureAtTicks(-100), (MeasureRec{1, 1, 0}));
  }
  SMFSignatureMap empty(nullptr, nullptr, 480);
  EXPECT_EQ(empty.measureAtTicks(1920), (MeasureRec{2, 1, 0}));
  EXPECT_DOUBLE_EQ(empty.microSecondsAtTicks(960), 1000000);
  MidiSequence seq;
  EXPECT_EQ(seq.tempoForTickDuration(0), 0);
  EXPECT_EQ(seq.ticksAtMicroseconds(std::numeric_limits<double>::infinity(), nullptr),
            std::numeric_limits<int32_t>::max());
}

}  // namespace

// The frame rate of a SMPTE division, from bits 8-14 of the division word, and its tick length.
TEST(TimeMap, SMPTEDivisionFrameRates) {
  for (const auto& [highByte, rate] : {std::pair{0xE8, 24}, {0xE7, 25}, {0xE3, 29}, {0xE2, 30}}) {
    const int16_t format = int16_t(highByte & 0x7F);
    EXPECT_EQ(sw::timemath::SMPTEFrameRate(format), rate) << highByte;
    const double frames = rate == 29 ? 30000.0 / 1001.0 : rate;
    EXPECT_DOUBLE_EQ(sw::timemath::SMPTETickDuration(format, 40), 1000000.0 / (frames * 40)) << highByte;
  }
}
