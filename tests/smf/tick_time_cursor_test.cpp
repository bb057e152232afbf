// The stored walks (TimeTables, TickTimeCursor, SMFSignatureMap) against the plain walks over
// the maps: equal answers, bit for bit, on random maps with damaged entries and random ticks,
// in increasing runs and in random order.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "sequence_test_util.h"
#include "smf/smf_signature_map.h"
#include "smf/tick_time_cursor.h"
#include "smf/time_math.h"

namespace {

namespace tm = sw::timemath;
using sw::MeasureRec;

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

struct RandomMaps {
  sw::TempoMap tempo;
  sw::SignatureMap signatures;
  int16_t division = 480;
};

// Keys mostly spread over a song, some negative or at the far end (ticks past 2^31 read as
// int32), durations sometimes zero, negative or not a number, signatures sometimes 0/0.
RandomMaps randomMaps(std::mt19937& rng) {
  RandomMaps maps;
  const int divisions[] = {480, 96, 1, 0, -3, 960};
  maps.division = int16_t(divisions[rng() % 6]);
  auto key = [&]() -> int32_t {
    switch (rng() % 10) {
      case 0: return -int32_t(rng() % 5000);
      case 1: return std::numeric_limits<int32_t>::max() - int32_t(rng() % 1000);
      case 2: return 0;
      default: return int32_t(rng() % 200000);
    }
  };
  const int tempos = int(rng() % 40);
  for (int i = 0; i < tempos; ++i) {
    double duration = 300 + double(rng() % 3000) / 3.0;
    switch (rng() % 12) {
      case 0: duration = 0; break;
      case 1: duration = -5; break;
      case 2: duration = std::nan(""); break;
      default: break;
    }
    maps.tempo[key()] = duration;
  }
  const int signatures = int(rng() % 12);
  for (int i = 0; i < signatures; ++i) {
    sw::TimeSignatureRec s{uint8_t(rng() % 8), uint8_t(1u << (rng() % 5)), 24, 8};
    if (rng() % 8 == 0) s.denom = 0;
    maps.signatures[key()] = s;
  }
  return maps;
}

int32_t randomTicks(std::mt19937& rng) {
  switch (rng() % 8) {
    case 0: return -int32_t(rng() % 10000);
    case 1: return std::numeric_limits<int32_t>::max() - int32_t(rng() % 3000);
    default: return int32_t(rng() % 220000);
  }
}

void expectSameAnswers(const RandomMaps& random, const std::vector<int32_t>& ticks, const std::vector<double>& times) {
  const tm::Maps maps{random.tempo, random.signatures, random.division};
  const tm::TimeTables tables(maps);
  sw::TickTimeCursor cursor(random.tempo, random.signatures, random.division);
  const sw::SMFSignatureMap snapshot(&random.signatures, &random.tempo, random.division);
  for (int32_t t : ticks) {
    const double walked = tm::microSecondsAtTicks(maps, t);
    ASSERT_TRUE(sameBits(tables.microSecondsAtTicks(t), walked)) << t;
    ASSERT_TRUE(sameBits(cursor.microSecondsAtTicks(t), walked)) << t;
    ASSERT_TRUE(sameBits(snapshot.microSecondsAtTicks(t), walked)) << t;
    uint16_t walkedBeats = 0, cursorBeats = 1;
    const MeasureRec measure = tm::measureAtTicks(maps, t, &walkedBeats);
    ASSERT_EQ(cursor.measureAtTicks(t, &cursorBeats), measure) << t;
    ASSERT_EQ(cursorBeats, walkedBeats) << t;
    ASSERT_EQ(snapshot.measureAtTicks(t), measure) << t;
  }
  for (double us : times) {
    for (auto rounding : {tm::TickRounding::Sequence, tm::TickRounding::Snapshot}) {
      double walkedOffset = -1, storedOffset = -1;
      ASSERT_EQ(tables.ticksAtMicroseconds(us, &storedOffset, rounding),
                tm::ticksAtMicroseconds(maps, us, &walkedOffset, rounding))
          << us;
      ASSERT_TRUE(sameBits(storedOffset, walkedOffset)) << us;
      ASSERT_EQ(tables.ticksAtMicroseconds(us, nullptr, rounding), tm::ticksAtMicroseconds(maps, us, nullptr, rounding))
          << us;
    }
    double a = -1, b = -1;
    ASSERT_EQ(cursor.ticksAtMicroseconds(us, &a), tm::ticksAtMicroseconds(maps, us, &b, tm::TickRounding::Sequence));
    ASSERT_TRUE(sameBits(a, b));
    ASSERT_EQ(snapshot.ticksAtMicroseconds(us, nullptr),
              tm::ticksAtMicroseconds(maps, us, nullptr, tm::TickRounding::Snapshot));
  }
}

TEST(TickTimeCursor, MatchesTheWalkOnRandomMaps) {
  std::mt19937 rng(20261207);
  for (int round = 0; round < 300; ++round) {
    SCOPED_TRACE(round);
    const RandomMaps maps = randomMaps(rng);
    // A random order (binary searches, the cursor jumping back and forth), then an increasing
    // run with repeats (the cursor stepping on).
    std::vector<int32_t> ticks;
    for (int i = 0; i < 200; ++i) ticks.push_back(randomTicks(rng));
    std::vector<int32_t> run = ticks;
    std::sort(run.begin(), run.end());
    for (size_t i = 0; i + 1 < run.size(); i += 7) run.insert(run.begin() + std::ptrdiff_t(i), run[i]);
    ticks.insert(ticks.end(), run.begin(), run.end());
    // Times around each segment end as well as random ones.
    std::vector<double> times = {0, -1, std::nan(""), std::numeric_limits<double>::infinity(), 1e300};
    for (const auto& [key, value] : maps.tempo) {
      const double at = tm::microSecondsAtTicks({maps.tempo, maps.signatures, maps.division}, key);
      times.insert(times.end(), {at, std::nextafter(at, 0.0), std::nextafter(at, 1e308), at + 0.5});
    }
    for (int i = 0; i < 100; ++i) times.push_back(double(rng() % 400000000) / 3.0);
    expectSameAnswers(maps, ticks, times);
  }
}

TEST(TickTimeCursor, FollowsASequenceBuiltFromAFile) {
  swtest::MidiFileBuilder file(1, 480);
  auto& conductor = file.track();
  conductor.timeSignature(0, 4, 2).tempo(0, 500000).tempo(960, 1000000).timeSignature(1440, 3, 2).tempo(100, 400000);
  conductor.endOfTrack();
  sw::OSStatus status;
  auto seq = swtest::load(file.bytes(), sw::kSMFLoadFull, &status);
  ASSERT_EQ(status, sw::noErr);
  sw::TickTimeCursor cursor(*seq);
  for (int32_t t = 0; t < 6000; t += 13) {
    ASSERT_TRUE(sameBits(cursor.microSecondsAtTicks(t), seq->microSecondsAtTicks(t))) << t;
    ASSERT_EQ(cursor.measureAtTicks(t), seq->measureAtTicks(t)) << t;
  }
  // 120 BPM for 960 ticks, then 60 BPM: 1920 ticks last 3 s.
  EXPECT_DOUBLE_EQ(cursor.microSecondsAtTicks(1920), 3000000);
  // 4/4 up to 2400, which closes the second measure early: 3/4 from measure 3.
  EXPECT_EQ(cursor.measureAtTicks(2400), (MeasureRec{3, 1, 0}));
  EXPECT_EQ(cursor.measureAtTicks(2400 + 1440), (MeasureRec{4, 1, 0}));
}

}  // namespace
