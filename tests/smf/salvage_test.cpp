// Files damaged on purpose in each of the ways real collections hold: a fault ends only the
// track it is in, and the load tells which track, where and what.
#include <gtest/gtest.h>

#include "sequence_test_util.h"
#include "temp_dir.h"

using namespace sw;
using namespace swtest;

namespace {

// A track of `notes` notes of 10 ticks on `channel`, named first: 1 + 2 × notes events.
void addNotes(TrackBuilder& track, uint8_t channel, int notes) {
  track.text(0, 3, "Part");
  for (int i = 0; i < notes; ++i)
    track.noteOn(0, channel, uint8_t(50 + i % 20), 90).noteOff(10, channel, uint8_t(50 + i % 20));
}

std::vector<int> eventsPerTrack(const MidiSequence& seq) {
  std::vector<int> counts(seq.numTracks(), 0);
  for (const MidiEvent* e : seq.events()) ++counts[e->track()];
  return counts;
}

// Where track `index` starts in the file (its chunk header).
size_t chunkOffset(MidiFileBuilder& file, size_t index) {
  size_t at = 14;
  for (size_t i = 0; i < index; ++i) at += 8 + file.track(i).bytes().size();
  return at;
}

}  // namespace

TEST(Salvage, AFaultInOneTrackEndsOnlyThatTrack) {
  // Track 2 breaks at tick 50 with a data byte where a status is needed (no channel message
  // came before it, so there is no running status); the others run on to tick 400.
  MidiFileBuilder file(1, 96);
  addNotes(file.track(), 0, 40);
  auto& broken = file.track();
  broken.text(0, 3, "Broken");
  for (int i = 0; i < 5; ++i) broken.text(10, 1, "x");
  const size_t faultInTrack = broken.bytes().size() + 1;  // after the delta byte
  broken.raw(0, {0x40, 0x40}).noteOn(0, 1, 60, 90).noteOff(10, 1, 60).endOfTrack();
  addNotes(file.track(), 2, 40);
  file.track(0).endOfTrack();
  file.track(2).endOfTrack();
  const Bytes bytes = file.bytes();

  for (uint32_t flags : {kSMFLoadFull, kSMFLoadDropRepeats, kSMFLoadInfoScan}) {
    SCOPED_TRACE(flags);
    OSStatus status;
    auto seq = load(bytes, flags, &status);
    ASSERT_EQ(status, noErr);
    ASSERT_EQ(seq->damage().size(), 1u);
    const Error& fault = seq->damage()[0];
    EXPECT_EQ(fault.status, kSMFNoStatusErr);
    EXPECT_EQ(fault.track, 1);
    EXPECT_EQ(fault.offset, int64_t(chunkOffset(file, 1) + 8 + faultInTrack));
    EXPECT_EQ(fault.message, "data byte without a running status");
    if (flags == kSMFLoadInfoScan) continue;
    EXPECT_TRUE(isConsistent(*seq));
    EXPECT_EQ(eventsPerTrack(*seq), (std::vector<int>{81, 6, 81}));
    EXPECT_EQ(seq->eventAtIndex(seq->count() - 1)->ticks(), 400u);
  }

  // A status byte that cannot stand in a track, in the first track.
  MidiFileBuilder bad(1, 96);
  addNotes(bad.track(), 0, 3);
  const size_t badAt = bad.track(0).bytes().size() + 1;
  bad.track(0).raw(0, {0xF4}).noteOn(0, 0, 60, 1).endOfTrack();
  addNotes(bad.track(), 1, 30);
  bad.track(1).endOfTrack();
  OSStatus status;
  auto seq = load(bad.bytes(), kSMFLoadFull, &status);
  ASSERT_EQ(status, noErr);
  EXPECT_EQ(eventsPerTrack(*seq), (std::vector<int>{7, 61}));
  ASSERT_EQ(seq->damage().size(), 1u);
  EXPECT_EQ(seq->damage()[0].status, kSMFBadStatusErr);
  EXPECT_EQ(seq->damage()[0].offset, int64_t(14 + 8 + badAt));
  EXPECT_EQ(seq->damage()[0].message, "status byte F4 that cannot stand in a track");

  // Nothing read at all: the load fails with the fault's status.
  MidiFileBuilder nothing(0, 96);
  nothing.track().raw(0, {0x3C, 0x40}).endOfTrack();
  seq = load(nothing.bytes(), kSMFLoadFull, &status);
  EXPECT_EQ(status, kSMFNoStatusErr);
  EXPECT_EQ(seq->count(), 0);
}

TEST(Salvage, AChunkCutOffByTheEndOfTheFileIsReadUpToIt) {
  MidiFileBuilder file(1, 96);
  addNotes(file.track(), 0, 10);
  file.track(0).endOfTrack();
  addNotes(file.track(), 1, 200);
  file.track(1).endOfTrack();
  Bytes bytes = file.bytes();
  // Cut after the note-on of note 101 of the second track: its length now runs past the end.
  const size_t second = chunkOffset(file, 1);
  bytes.resize(second + 8 + 8 + 100 * 8 + 4);
  OSStatus status;
  auto seq = load(bytes, kSMFLoadFull, &status);
  ASSERT_EQ(status, noErr);
  EXPECT_TRUE(isConsistent(*seq));
  // The name, 100 whole notes and the note-on of the cut one, ended by the reader.
  EXPECT_EQ(eventsPerTrack(*seq), (std::vector<int>{21, 1 + 200 + 2}));
  ASSERT_EQ(seq->damage().size(), 1u);
  EXPECT_EQ(seq->damage()[0].status, kSMFTrackTooLongErr);
  EXPECT_EQ(seq->damage()[0].track, 1);
  EXPECT_EQ(seq->damage()[0].offset, int64_t(second));

  // The first and only chunk: the same.
  MidiFileBuilder one(0, 96);
  addNotes(one.track(), 0, 50);
  one.track(0).endOfTrack();
  bytes = one.bytes();
  bytes.resize(bytes.size() - 40);
  seq = load(bytes, kSMFLoadFull, &status);
  ASSERT_EQ(status, noErr);
  EXPECT_GT(seq->count(), 80);
  ASSERT_EQ(seq->damage().size(), 1u);
  EXPECT_EQ(seq->damage()[0].offset, 14);
}

TEST(Salvage, AnEventOrDeltaPastTheEndOfItsTrackIsALoss) {
  // A text whose length runs past the end of its chunk swallows the rest of the track.
  MidiFileBuilder file(1, 96);
  addNotes(file.track(), 0, 4);
  const size_t textAt = file.track(0).bytes().size() + 1;
  file.track(0).raw(0, {0xFF, 0x01, 0x83, 0x7F, 'a'});  // 511 bytes
  addNotes(file.track(0), 0, 20);
  file.track(0).endOfTrack();
  // A delta time of five bytes.
  addNotes(file.track(), 1, 6);
  const size_t deltaAt = file.track(1).bytes().size();
  file.track(1).bytes().insert(file.track(1).bytes().end(), {0x81, 0x81, 0x81, 0x81, 0x01, 0xB1, 7, 2});
  file.track(1).endOfTrack();
  addNotes(file.track(), 2, 30);
  file.track(2).endOfTrack();
  for (uint32_t flags : {kSMFLoadFull, kSMFLoadInfoScan}) {
    SCOPED_TRACE(flags);
    OSStatus status;
    auto seq = load(file.bytes(), flags, &status);
    ASSERT_EQ(status, noErr);
    ASSERT_EQ(seq->damage().size(), 2u);
    EXPECT_EQ(seq->damage()[0].status, eofErr);
    EXPECT_EQ(seq->damage()[0].offset, int64_t(14 + 8 + textAt));
    EXPECT_EQ(seq->damage()[0].message, "event runs past the end of the track");
    EXPECT_EQ(seq->damage()[1].track, 1);
    EXPECT_EQ(seq->damage()[1].offset, int64_t(chunkOffset(file, 1) + 8 + deltaAt));
    if (flags == kSMFLoadFull) {
      EXPECT_EQ(eventsPerTrack(*seq), (std::vector<int>{9, 13, 61}));
    }
  }
}

TEST(Salvage, ABrokenChunkHeaderAfterGoodTracksKeepsThem) {
  MidiFileBuilder file(1, 96);
  for (int t = 0; t < 17; ++t) {
    addNotes(file.track(), uint8_t(t % 16), 3);
    file.track(size_t(t)).endOfTrack();
  }
  file.headerTracks(20);
  Bytes bytes = file.bytes();
  const size_t broken = bytes.size();
  Bytes junk = chunk("MTrX", {0, 0xFF, 0x2F, 0});
  bytes.insert(bytes.end(), junk.begin(), junk.end());
  Bytes more = chunk("MTrk", file.track(0).bytes());  // after the break: not read
  bytes.insert(bytes.end(), more.begin(), more.end());
  OSStatus status;
  auto seq = load(bytes, kSMFLoadFull, &status);
  ASSERT_EQ(status, noErr);
  EXPECT_EQ(seq->numTracks(), 17);
  EXPECT_EQ(eventsPerTrack(*seq), std::vector<int>(17, 7));
  ASSERT_EQ(seq->damage().size(), 1u);
  EXPECT_EQ(seq->damage()[0].status, kSMFNotMTrkErr);
  EXPECT_EQ(seq->damage()[0].track, 17);
  EXPECT_EQ(seq->damage()[0].offset, int64_t(broken));
}

TEST(Salvage, TheHeadersTrackCountMayBeWrongEitherWay) {
  MidiFileBuilder file(0, 96);
  for (int t = 0; t < 3; ++t) {
    addNotes(file.track(), uint8_t(t), 2);
    file.track(size_t(t)).endOfTrack();
  }
  file.headerTracks(1);
  Bytes bytes = file.bytes();
  Bytes trailer = chunk("XFIH", {1, 2, 3});  // whatever follows the tracks is left alone
  bytes.insert(bytes.end(), trailer.begin(), trailer.end());
  OSStatus status;
  auto seq = load(bytes, kSMFLoadFull, &status);
  ASSERT_EQ(status, noErr);
  EXPECT_EQ(eventsPerTrack(*seq), (std::vector<int>{5, 5, 5}));
  EXPECT_FALSE(seq->isDamaged());
  SMFImage image;
  ASSERT_EQ(readSMFBytes(bytes, image), noErr);
  EXPECT_EQ(image.format, 1);

  file.headerTracks(9);  // fewer chunks than announced: nothing is missing
  seq = load(file.bytes(), kSMFLoadFull, &status);
  ASSERT_EQ(status, noErr);
  EXPECT_EQ(seq->numTracks(), 3);
  EXPECT_FALSE(seq->isDamaged());
}

TEST(Salvage, TheDamageNamesTheFileTrackAndByte) {
  MidiFileBuilder file(1, 96);
  addNotes(file.track(), 0, 2);
  file.track(0).endOfTrack();
  addNotes(file.track(), 1, 2);
  file.track(1).raw(0, {0xF1}).endOfTrack();
  addNotes(file.track(), 2, 300);
  file.track(2).raw(0, {0xF9}).endOfTrack();
  TempDir dir;
  const std::string path = dir.write("damaged.mid", file.bytes());
  OSStatus status;
  MidiSequence seq(path, kSMFLoadFull, &status);
  ASSERT_EQ(status, noErr);
  ASSERT_EQ(seq.damage().size(), 2u);  // in file order
  const int64_t second = int64_t(chunkOffset(file, 2) + 8 + file.track(2).bytes().size() - 5);
  EXPECT_EQ(seq.damage()[1].offset, second);
  EXPECT_GT(second, 1000);
  EXPECT_EQ(seq.damage()[1].toString(), path + ": track 3, byte " + groupedNumber(second) +
                                           ": status byte F9 that cannot stand in a track [-19990]");
  EXPECT_EQ(seq.damage()[0].path, path);

  // The copy a dry run works on knows it too; a rewrite of what was salvaged clears it.
  MidiSequence copy(seq);
  EXPECT_EQ(copy.damage().size(), 2u);
  copy.clearDamage();
  EXPECT_FALSE(copy.isDamaged());
}

TEST(ErrorText, GroupsDigitsAndNamesThePlace) {
  EXPECT_EQ(groupedNumber(0), "0");
  EXPECT_EQ(groupedNumber(999), "999");
  EXPECT_EQ(groupedNumber(1204), "1,204");
  EXPECT_EQ(groupedNumber(1234567), "1,234,567");
  EXPECT_EQ(groupedNumber(-1000), "-1,000");
  Error error{kSMFNoStatusErr, "a.mid", "data byte without a running status", 2, 1204};
  EXPECT_EQ(error.toString(), "a.mid: track 3, byte 1,204: data byte without a running status [-19989]");
  error.track = -1;
  EXPECT_EQ(error.toString(), "a.mid: byte 1,204: data byte without a running status [-19989]");
  error.offset = -1;
  EXPECT_EQ(error.toString(), "a.mid: data byte without a running status [-19989]");
}
