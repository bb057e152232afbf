// Reading what the writer wrote gives back the same events, and writing is deterministic,
// for every kind of event, with and without running status, in both formats.
#include <gtest/gtest.h>

#include <random>

#include "sequence_test_util.h"

namespace {

using sw::kSMFLoadFull;
using sw::noErr;
using sw::OSStatus;
using swtest::Bytes;

struct Flat {
  uint32_t ticks, duration;
  uint8_t track;
  Bytes bytes;
  bool operator==(const Flat&) const = default;
};

std::vector<Flat> flatten(const sw::MidiSequence& seq) {
  std::vector<Flat> out;
  for (const sw::MidiEvent* e : seq.events()) out.push_back({e->ticks(), e->duration(), e->track(), swtest::bytesOf(e)});
  return out;
}

Bytes everyKindOfEvent(uint16_t format, bool runningStatus) {
  swtest::MidiFileBuilder file(format, 384);
  auto& conductor = file.track().useRunningStatus(runningStatus);
  conductor.text(0, 0x03, "Conductor")
      .timeSignature(0, 6, 3, 36, 8)
      .tempo(0, 428571)
      .meta(0, 0x59, {0xFD, 0x01})              // key signature: 3 flats, minor
      .meta(0, 0x54, {0x60, 0, 0, 0, 0})        // SMPTE offset
      .meta(0, 0x7F, {0x43, 0x7B, 0x01, 0x31, 0x22, 0x7F, 0x7F})
      .text(100, 0x06, "Chorus")
      .tempo(700, 600000);
  if (format == 1) conductor.endOfTrack(5);
  auto& music = format == 1 ? file.track().useRunningStatus(runningStatus) : conductor;
  music.meta(0, 0x20, {0x02})
      .program(0, 2, 19)
      .control(0, 2, 7, 110)
      .control(0, 2, 10, 64)
      .noteOn(0, 2, 60, 100)
      .noteOn(0, 2, 64, 90)
      .raw(10, {0xA2, 60, 30})  // polyphonic pressure
      .raw(10, {0xD2, 40})      // channel pressure
      .pitchBend(10, 2, 0x2345)
      .noteOff(354, 2, 60, 40)
      .raw(0, {0x92, 64, 0})  // note-on with velocity 0 ends the note
      .sysex(0, {0x7E, 0x7F, 0x09, 0x01, 0xF7})
      .raw(0, {0xF7, 0x03, 0xF3, 0x01, 0xF7})  // escaped bytes
      .text(0, 0x05, "la\r")
      .text(0, 0x01, std::string("\xE3\x81\x82", 3))
      .noteOn(1000, 9, 36, 127)
      .noteOff(0, 9, 36)
      .endOfTrack(20);
  return file.bytes();
}

TEST(RoundTrip, EveryKindOfEventSurvivesWriting) {
  for (uint16_t format : {0, 1})
    for (bool inputRunning : {false, true})
      for (bool compress : {false, true}) {
        SCOPED_TRACE(testing::Message() << "format " << format << " running " << inputRunning << " compress " << compress);
        OSStatus status = 1;
        auto first = swtest::load(everyKindOfEvent(format, inputRunning), kSMFLoadFull, &status);
        ASSERT_EQ(status, noErr);
        ASSERT_TRUE(swtest::isConsistent(*first));
        Bytes written = first->dataRepresentation(compress);
        auto second = swtest::load(written, kSMFLoadFull, &status);
        ASSERT_EQ(status, noErr);
        EXPECT_EQ(flatten(*second), flatten(*first));
        EXPECT_EQ(second->numTracks(), first->numTracks());
        EXPECT_EQ(second->division(), first->division());
        EXPECT_EQ(second->tempoMap(), first->tempoMap());
        EXPECT_EQ(second->signatureMap(), first->signatureMap());
        EXPECT_EQ(second->SMPTEOffset(), first->SMPTEOffset());
        EXPECT_EQ(second->dataRepresentation(compress), written);  // a fixed point
        EXPECT_EQ(written[9], format);
        if (compress) {
          EXPECT_LT(written.size(), first->dataRepresentation(false).size());
        }
      }
}

// Random well-formed files: channel messages of every kind on random channels and tracks,
// texts, sysex and tempo changes at random times.
Bytes randomFile(std::mt19937& rng) {
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  const int tracks = pick(1, 5);
  swtest::MidiFileBuilder file(tracks == 1 ? 0 : 1, uint16_t(pick(24, 960)));
  for (int t = 0; t < tracks; ++t) {
    auto& track = file.track().useRunningStatus(pick(0, 1) == 1);
    const int events = pick(0, 60);
    for (int i = 0; i < events; ++i) {
      const uint32_t delta = pick(0, 3) == 0 ? 0 : uint32_t(pick(0, 1) ? pick(1, 100) : pick(100, 300000));
      const uint8_t ch = uint8_t(pick(0, 15));
      switch (pick(0, 8)) {
        case 0: track.noteOn(delta, ch, uint8_t(pick(0, 127)), uint8_t(pick(1, 127))); break;
        case 1: track.noteOff(delta, ch, uint8_t(pick(0, 127)), uint8_t(pick(0, 127))); break;
        case 2: track.control(delta, ch, uint8_t(pick(0, 127)), uint8_t(pick(0, 127))); break;
        case 3: track.program(delta, ch, uint8_t(pick(0, 127))); break;
        case 4: track.pitchBend(delta, ch, uint16_t(pick(0, 0x3FFF))); break;
        case 5: track.raw(delta, {uint8_t(0xD0 | ch), uint8_t(pick(0, 127))}); break;
        case 6: track.text(delta, uint8_t(pick(1, 7)), std::string(size_t(pick(0, 300)), char(pick(32, 126)))); break;
        case 7: track.sysex(delta, {0x41, 0x10, 0x42, 0x12, uint8_t(pick(0, 127)), 0xF7}); break;
        case 8: track.tempo(delta, uint32_t(pick(200000, 2000000))); break;
      }
    }
    track.endOfTrack(uint32_t(pick(0, 10)));
  }
  return file.bytes();
}

TEST(RoundTrip, RandomFilesAreFixedPointsOfReadAndWrite) {
  std::mt19937 rng(20261207);
  for (int round = 0; round < 300; ++round) {
    SCOPED_TRACE(round);
    OSStatus status = 1;
    auto first = swtest::load(randomFile(rng), kSMFLoadFull, &status);
    ASSERT_EQ(status, noErr);
    for (bool compress : {false, true}) {
      Bytes written = first->dataRepresentation(compress);
      auto second = swtest::load(written, kSMFLoadFull, &status);
      ASSERT_EQ(status, noErr);
      ASSERT_EQ(flatten(*second), flatten(*first));
      ASSERT_EQ(second->dataRepresentation(compress), written);
      ASSERT_EQ(second->duration(), first->duration());
    }
  }
}

}  // namespace

namespace {

// The meta and system events of a sequence, without the ends of track the scan keeps.
std::vector<Flat> metaAndSystemEvents(const sw::MidiSequence& seq) {
  std::vector<Flat> out;
  for (const sw::MidiEvent* e : seq.events())
    if (e->status() >= 0xF0 && !(e->status() == 0xFF && e->second() == 0x2F))
      out.push_back({e->ticks(), 0, e->track(), swtest::bytesOf(e)});
  return out;
}

// The information scan skips channel messages its own way; it must find the same meta and
// system events, at the same times, and the same status, as a full load, damaged files included.
TEST(RoundTrip, InformationScanFindsWhatAFullLoadFinds) {
  std::mt19937 rng(7);
  for (int round = 0; round < 600; ++round) {
    SCOPED_TRACE(round);
    Bytes file = randomFile(rng);
    if (round % 2) {  // damage half of them
      for (int i = 0; i < 3 && file.size() > 30; ++i) file[14 + rng() % (file.size() - 14)] = uint8_t(rng());
      if (rng() % 3 == 0) file.resize(14 + rng() % (file.size() - 14));
    }
    OSStatus fullStatus = 1, scanStatus = 1;
    auto full = swtest::load(file, kSMFLoadFull, &fullStatus);
    auto scan = swtest::load(file, sw::kSMFLoadInfoScan, &scanStatus);
    ASSERT_EQ(scanStatus, fullStatus);
    if (!full) continue;
    // The browser's diagnosis of damage comes from the scan: it must name the same faults.
    ASSERT_EQ(scan->damage().size(), full->damage().size());
    for (size_t i = 0; i < full->damage().size(); ++i)
      ASSERT_EQ(scan->damage()[i].toString(), full->damage()[i].toString());
    ASSERT_EQ(metaAndSystemEvents(*scan), metaAndSystemEvents(*full));
    EXPECT_EQ(scan->tempoMap(), full->tempoMap());
  }
}

}  // namespace
