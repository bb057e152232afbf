// Damaged files never crash the reader: each ends with a status code or a consistent
// sequence, whatever the damage.
#include <gtest/gtest.h>

#include <random>

#include "base/log.h"
#include "sequence_test_util.h"

using namespace sw;
using namespace swtest;

namespace {

Bytes sampleFile(std::mt19937& rng, int tracks) {
  MidiFileBuilder file(1, 96);
  for (int t = 0; t < tracks; ++t) {
    auto& track = file.track();
    track.useRunningStatus(t % 2 == 1);
    track.text(0, 3, "Track").tempo(0, 500000 + t).timeSignature(0, 4, 2);
    for (int i = 0; i < 40; ++i) {
      uint8_t ch = uint8_t(rng() % 16), key = uint8_t(30 + rng() % 60);
      track.noteOn(rng() % 50, ch, key, uint8_t(1 + rng() % 126));
      if (rng() % 3 == 0) track.control(0, ch, uint8_t(rng() % 120), uint8_t(rng() % 128));
      if (rng() % 5 == 0) track.text(0, 5, "la");
      if (rng() % 7 == 0) track.sysex(0, {0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7});
      if (rng() % 9 == 0) track.pitchBend(0, ch, uint16_t(rng() % 16384));
      track.noteOff(rng() % 50, ch, key);
    }
    track.endOfTrack();
  }
  return file.bytes();
}

void damage(std::mt19937& rng, Bytes& bytes) {
  switch (rng() % 4) {
    case 0:  // bit flips
      for (int n = 1 + int(rng() % 4); n > 0; --n) bytes[rng() % bytes.size()] ^= uint8_t(1u << (rng() % 8));
      break;
    case 1:  // truncation
      bytes.resize(rng() % bytes.size());
      break;
    case 2: {  // inserted garbage
      size_t at = rng() % (bytes.size() + 1);
      Bytes junk(1 + rng() % 16);
      for (auto& b : junk) b = uint8_t(rng());
      bytes.insert(bytes.begin() + std::ptrdiff_t(at), junk.begin(), junk.end());
      break;
    }
    default:  // a byte set to a value that matters to the parser
      bytes[rng() % bytes.size()] = std::array<uint8_t, 8>{0xFF, 0xF0, 0x80, 0x7F, 0x00, 0x2F, 0xF7, 0x90}[rng() % 8];
      break;
  }
}

}  // namespace

TEST(Corruption, EveryDamagedFileGivesAStatusOrAConsistentSequence) {
  LogSink previous = setLogSink([](const std::string&) {});
  std::mt19937 rng(20261206);
  int loaded = 0, refused = 0;
  for (int round = 0; round < 3000; ++round) {
    Bytes bytes = sampleFile(rng, 1 + int(rng() % 4));
    damage(rng, bytes);
    if (rng() % 2) damage(rng, bytes);
    if (bytes.empty()) continue;
    for (uint32_t flags : {kSMFLoadFull, kSMFLoadDropRepeats, kSMFLoadInfoScan}) {
      OSStatus status;
      auto seq = load(bytes, flags, &status);
      if (!seq) {
        ++refused;
        continue;
      }
      ++loaded;
      // A sequence that stopped at a bad byte still keeps its invariants; one from which
      // nothing was salvaged gives the status of its first fault.
      ASSERT_TRUE(status == noErr || status == kSMFNoStatusErr || status == kSMFBadStatusErr ||
                  status == kSMFTrackTooLongErr || status == eofErr)
          << status;
      ASSERT_EQ(status != noErr, seq->isDamaged() && status == seq->damage().front().status) << status;
      for (const Error& fault : seq->damage()) {
        ASSERT_GE(fault.track, 0);
        ASSERT_LT(fault.track, kMaxTracks);
        ASSERT_GE(fault.offset, 14);
        ASSERT_LE(fault.offset, int64_t(bytes.size()));
      }
      if (flags != kSMFLoadInfoScan) {
        ASSERT_TRUE(isConsistent(*seq)) << "round " << round;
      }
      ASSERT_LE(seq->numTracks(), kMaxTracks);
    }
  }
  setLogSink(previous);
  EXPECT_GT(loaded, 1000);
  EXPECT_GT(refused, 100);
}

TEST(Corruption, AbsurdHeadersAndLengths) {
  SMFImage image;
  // Huge chunk lengths, VLQ lengths of sysex and meta past the end, garbage after MThd.
  Bytes header = {'M', 'T', 'h', 'd', 0xFF, 0xFF, 0xFF, 0xFF, 0, 1, 0x7F, 0xFF, 0, 96};
  EXPECT_NE(readSMFBytes(header, image), noErr);
  Bytes hugeTrack = header;
  Bytes body = {'M', 'T', 'r', 'k', 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0xF0, 0xFF, 0xFF, 0xFF, 0x7F};
  hugeTrack.insert(hugeTrack.end(), body.begin(), body.end());
  EXPECT_EQ(readSMFBytes(hugeTrack, image), noErr);  // what the file holds is read
  OSStatus hugeStatus;
  EXPECT_EQ(load(hugeTrack, 0, &hugeStatus)->count(), 0);
  EXPECT_EQ(hugeStatus, kSMFTrackTooLongErr);  // but nothing of it could be salvaged

  MidiFileBuilder file(1, 96);
  file.track().raw(0, {0xF0, 0xFF, 0xFF, 0xFF, 0x7F, 0x01}).endOfTrack();
  file.track().raw(0, {0xFF, 0x05, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}).endOfTrack();
  file.track().raw(0, {0xFF}).raw(0, {0xFF, 0xFF});
  OSStatus status;
  auto seq = load(file.bytes(), 0, &status);
  ASSERT_NE(seq, nullptr);
  EXPECT_EQ(seq->count(), 0);
  // Delta times that add up past what the time maps can hold end the track.
  MidiFileBuilder far(0, 96);
  auto& t = far.track();
  for (int i = 0; i < 20; ++i) t.control(0x0FFFFFFF, 0, 7, uint8_t(i));
  t.endOfTrack();
  seq = load(far.bytes(), 0, &status);
  ASSERT_NE(seq, nullptr);
  EXPECT_EQ(seq->count(), 8);  // 8 × 0x0FFFFFFF still fits, the ninth does not
  EXPECT_LE(seq->eventAtIndex(seq->count() - 1)->ticks(), 0x7FFFFFFFu);
}
