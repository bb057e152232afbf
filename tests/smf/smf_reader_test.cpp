#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <iterator>
#include <random>

#include "base/log.h"
#include "sequence_test_util.h"
#include "smf/track_merger.h"
#include "temp_dir.h"

using namespace sw;
using namespace swtest;

namespace {
int countEvents(const MidiSequence& seq, uint8_t status) {
  int n = 0;
  for (const MidiEvent* e : seq.events()) n += e->status() == status;
  return n;
}
}  // namespace

TEST(SMFReader, HeaderAndChunkStatuses) {
  SMFImage image;
  EXPECT_EQ(readSMFBytes(Bytes{'M', 'T', 'h', 'd', 0, 0}, image), eofErr);
  EXPECT_EQ(readSMFBytes(Bytes{'R', 'I', 'F', 'F', 0, 0, 0, 6, 0, 0, 0, 1, 0, 96}, image), kSMFNotMThdErr);

  MidiFileBuilder noTracks(0, 96);
  noTracks.headerTracks(0);
  EXPECT_EQ(readSMFBytes(noTracks.bytes(), image), kSMFNoTracksErr);
  MidiFileBuilder negative(1, 96);
  negative.headerTracks(0x8001);
  negative.track().endOfTrack();
  EXPECT_EQ(readSMFBytes(negative.bytes(), image), eofErr);

  MidiFileBuilder oneTrack(0, 96);
  oneTrack.headerTracks(1);
  Bytes headerOnly = oneTrack.bytes();
  EXPECT_EQ(readSMFBytes(headerOnly, image), eofErr);  // no chunk at all

  Bytes notTrack = headerOnly;
  Bytes junk = chunk("XFIH", {0, 0xFF, 0x2F, 0});
  notTrack.insert(notTrack.end(), junk.begin(), junk.end());
  EXPECT_EQ(readSMFBytes(notTrack, image), kSMFNotMTrkErr);

  // A first chunk that claims more than the file holds is read up to the end of the file;
  // with nothing after its header there is nothing to read.
  Bytes emptyFirst = headerOnly;
  emptyFirst.insert(emptyFirst.end(), {'M', 'T', 'r', 'k', 0, 0, 0, 9});
  EXPECT_EQ(readSMFBytes(emptyFirst, image), kSMFTrackTooLongErr);

  TempDir dir;
  MidiSequence missing(dir.file("nothing.mid"), 0, nullptr);
  OSStatus status = 0;
  MidiSequence gone(dir.file("nothing.mid"), 0, &status);
  EXPECT_EQ(status, fnfErr);
  EXPECT_EQ(gone.count(), 0);
  EXPECT_EQ(gone.division(), 0);
  EXPECT_TRUE(gone.tempoMap().empty());
  EXPECT_EQ(gone.filename(), dir.file("nothing.mid"));
  MidiSequence folder(dir.path(), 0, &status);
  EXPECT_NE(status, noErr);
  // A FIFO without a writer must not block the reader.
  ASSERT_EQ(::mkfifo(dir.file("pipe.mid").c_str(), 0600), 0);
  MidiSequence pipe(dir.file("pipe.mid"), 0, &status);
  EXPECT_EQ(status, paramErr);
}

TEST(SMFReader, TrackCountsAndChunkRepairs) {
  SMFImage image;
  MidiFileBuilder twoInFormat0(0, 96);
  twoInFormat0.track().endOfTrack();
  twoInFormat0.track().endOfTrack();
  ASSERT_EQ(readSMFBytes(twoInFormat0.bytes(), image), noErr);
  EXPECT_EQ(image.format, 1);

  MidiFileBuilder many(1, 96);
  for (int i = 0; i < 65; ++i) many.track().noteOn(0, 0, 60, 1).noteOff(1, 0, 60).endOfTrack();
  ASSERT_EQ(readSMFBytes(many.bytes(), image), noErr);
  EXPECT_EQ(image.numTracks, 64);

  MidiFileBuilder fewer(1, 96);
  fewer.headerTracks(3);
  fewer.track().endOfTrack();
  fewer.track().endOfTrack();
  ASSERT_EQ(readSMFBytes(fewer.bytes(), image), noErr);
  EXPECT_EQ(image.numTracks, 2);

  // A chunk without an end of track gets one.
  MidiFileBuilder open(0, 96);
  open.track().noteOn(0, 0, 60, 100).noteOff(96, 0, 60);
  ASSERT_EQ(readSMFBytes(open.bytes(), image), noErr);
  EXPECT_EQ((Bytes(image.tracks[0].end() - 4, image.tracks[0].end())), (Bytes{0, 0xFF, 0x2F, 0}));
  OSStatus status;
  auto seq = load(open.bytes(), 0, &status);
  EXPECT_EQ(seq->count(), 2);  // the appended end of track is not kept
}

TEST(SMFReader, OverLongChunksAreCutAtTheirEnd) {
  SMFImage image;
  MidiFileBuilder file(1, 96);
  file.track().text(0, 3, "first").endOfTrack();
  file.track().noteOn(0, 0, 60, 100).noteOff(10, 0, 60).endOfTrack();
  file.track().text(0, 3, "third").endOfTrack();
  Bytes bytes = file.bytes();
  // Second chunk's length field claims far more than the file holds.
  size_t second = 14 + 8 + file.track(0).bytes().size();
  bytes[second + 4] = 0x10;
  ASSERT_EQ(readSMFBytes(bytes, image), noErr);
  ASSERT_EQ(image.numTracks, 3);
  EXPECT_EQ(image.tracks[1], file.track(1).bytes());
  EXPECT_EQ(image.tracks[2], file.track(2).bytes());

  // The same on the last chunk, whose end of track closes the file: the track is kept.
  MidiFileBuilder last(1, 96);
  last.track().endOfTrack();
  last.track().noteOn(0, 0, 60, 100).noteOff(10, 0, 60).endOfTrack();
  bytes = last.bytes();
  bytes[14 + 8 + 4 + 4] = 0x10;
  ASSERT_EQ(readSMFBytes(bytes, image), noErr);
  EXPECT_EQ(image.numTracks, 2);

  // The same on the first chunk.
  MidiFileBuilder first(0, 96);
  first.track().noteOn(0, 0, 60, 100).noteOff(10, 0, 60).endOfTrack();
  bytes = first.bytes();
  bytes[21] += 10;
  ASSERT_EQ(readSMFBytes(bytes, image), noErr);
  EXPECT_EQ(image.tracks[0], first.track(0).bytes());
  EXPECT_TRUE(image.damage.empty());  // nothing was lost
}

TEST(SMFReader, NotePairingAndRepairs) {
  MidiFileBuilder file(0, 96);
  file.track()
      .noteOff(0, 0, 50)        // orphan: dropped
      .noteOn(0, 0, 60, 100)
      .noteOn(10, 0, 60, 90)
      .noteOff(10, 0, 60, 11)   // pairs with the first (first in, first out)
      .noteOff(10, 0, 60, 22)
      .noteOn(70, 1, 64, 80)    // at 100, never ended
      .noteOn(0, 2, 65, 0)      // note-on velocity 0 without a note-on: orphan note-off
      .endOfTrack();
  OSStatus status;
  auto seq = load(file.bytes(), 0, &status);
  ASSERT_EQ(status, noErr);
  ASSERT_TRUE(isConsistent(*seq));
  const MidiEvent* first = seq->eventAtIndex(0);
  const MidiEvent* second = seq->eventAtIndex(1);
  EXPECT_EQ(first->duration(), 20u);
  EXPECT_EQ(first->offVelocity(), 11);
  EXPECT_EQ(second->duration(), 20u);
  EXPECT_EQ(second->offVelocity(), 22);
  const MidiEvent* open = seq->eventAtIndex(seq->indexAtTicks(100));
  EXPECT_EQ(open->duration(), 1u);
  EXPECT_EQ(open->offVelocity(), 64);
  EXPECT_EQ(seq->eventAtIndex(seq->count() - 1)->ticks(), 101u);
  EXPECT_EQ(countEvents(*seq, 0x80), 3);
  EXPECT_EQ(countEvents(*seq, 0xFF), 0);  // the end of track is not kept by a full load

  // Note-ons of velocity 0 are note-offs of velocity 64.
  MidiFileBuilder zero(0, 96);
  zero.track().noteOn(0, 3, 60, 100).noteOn(48, 3, 60, 0).endOfTrack();
  seq = load(zero.bytes(), 0, &status);
  EXPECT_EQ(bytesOf(seq->eventAtIndex(1)), (Bytes{0x83, 60, 64}));
  EXPECT_EQ(seq->eventAtIndex(0)->duration(), 48u);
}

TEST(SMFReader, ManyUnterminatedNotesKeepTheOrder) {
  // Note-offs added at the end go where single insertion would put them.
  MidiFileBuilder file(1, 96);
  for (int t = 0; t < 3; ++t) {
    auto& track = file.track();
    for (int i = 0; i < 50; ++i) {
      track.noteOn(i % 3 == 0 ? 1 : 0, uint8_t(i % 4), uint8_t(40 + i % 20), 100);
      if (i % 5 == 0) track.control(0, 0, 7, uint8_t(i));
    }
    track.endOfTrack();
  }
  OSStatus status;
  auto seq = load(file.bytes(), 0, &status);
  ASSERT_EQ(status, noErr);
  EXPECT_TRUE(isConsistent(*seq));

  // Rebuild by inserting the same note-offs one at a time.
  auto reference = load(file.bytes(), kSMFLoadInfoScan, &status);
  MidiSequence manual(*seq);
  IndexSet offs;
  for (int i = 0; i < manual.count(); ++i)
    if (manual.eventAtIndex(i)->status() == 0x80) offs.insert(i);
  std::vector<MidiEvent> copies;
  for (int i : offs) copies.push_back(*manual.eventAtIndex(i));
  // removeObjectsAtIndexes would pair them with note-ons: remove one by one from the end.
  for (auto it = offs.rbegin(); it != offs.rend(); ++it) manual.removeObjectAtIndex(*it);
  for (const MidiEvent& off : copies) manual.insertEvent(std::make_unique<MidiEvent>(off));
  ASSERT_EQ(manual.count(), seq->count());
  for (int i = 0; i < seq->count(); ++i) {
    EXPECT_EQ(bytesOf(manual.eventAtIndex(i)), bytesOf(seq->eventAtIndex(i))) << i;
    EXPECT_EQ(manual.eventAtIndex(i)->track(), seq->eventAtIndex(i)->track()) << i;
  }
}

TEST(SMFReader, StatusErrorsKeepWhatWasRead) {
  MidiFileBuilder noStatus(0, 96);
  noStatus.track().raw(0, {0x3C, 0x40});
  OSStatus status;
  auto seq = load(noStatus.bytes(), 0, &status);
  EXPECT_EQ(status, kSMFNoStatusErr);

  MidiFileBuilder badStatus(0, 96);
  badStatus.track().control(0, 0, 7, 100).raw(10, {0xF4}).endOfTrack();
  seq = load(badStatus.bytes(), 0, &status);
  EXPECT_EQ(status, noErr);  // what was read before the fault is salvaged
  EXPECT_EQ(seq->count(), 1);
  EXPECT_TRUE(seq->tempoMap().count(0));
  ASSERT_EQ(seq->damage().size(), 1u);
  EXPECT_EQ(seq->damage()[0].status, kSMFBadStatusErr);

  // Running status survives meta and sysex events; a running-status event keeps its status.
  MidiFileBuilder running(0, 96);
  running.track().noteOn(0, 0, 60, 100).text(0, 1, "x").raw(0, {62, 100}).sysex(0, {0x7E, 0xF7}).raw(5, {60, 0}).raw(
      0, {62, 0});
  seq = load(running.bytes(), 0, &status);
  ASSERT_EQ(status, noErr);
  EXPECT_TRUE(isConsistent(*seq));
  EXPECT_EQ(countEvents(*seq, 0x90), 2);
  EXPECT_EQ(countEvents(*seq, 0x80), 2);

  // Events that run past the end of their track are dropped; the rest stays.
  MidiFileBuilder cut(0, 96);
  cut.track().control(0, 0, 7, 1).raw(0, {0xFF, 0x01, 0x8F, 0xFF, 0xFF, 0x7F, 'a'});
  seq = load(cut.bytes(), 0, &status);
  EXPECT_EQ(status, noErr);
  EXPECT_EQ(seq->count(), 1);
  // A delta time longer than four bytes ends the track.
  MidiFileBuilder vlq(0, 96);
  auto& t = vlq.track().control(0, 0, 7, 1);
  t.bytes().insert(t.bytes().end(), {0x81, 0x81, 0x81, 0x81, 0x01, 0xB0, 7, 2});
  seq = load(vlq.bytes(), 0, &status);
  EXPECT_EQ(status, noErr);
  EXPECT_EQ(seq->count(), 1);
}

TEST(SMFReader, LoadFlags) {
  MidiFileBuilder file(1, 96);
  file.track().text(0, 3, "Song").tempo(0, 600000).timeSignature(0, 3, 3).endOfTrack(2000);
  file.track()
      .control(0, 0, 7, 100)
      .control(0, 0, 7, 100)
      .noteOn(0, 0, 60, 100)
      .control(0, 0, 7, 100)
      .noteOff(100, 0, 60)
      .text(10, 5, "la")
      .sysex(0, {0x41, 0x10, 0x42, 0x12, 0x40, 0x11, 0x15, 0x01, 0x19, 0xF7})
      .endOfTrack(5);
  OSStatus status;
  auto drop = load(file.bytes(), kSMFLoadDropRepeats, &status);
  ASSERT_EQ(status, noErr);
  EXPECT_EQ(countEvents(*drop, 0xB0), 2);  // the repeat after the first is dropped, not the one after the note
  EXPECT_EQ(drop->drumChannelMask(), 0x200 | 0x001);
  EXPECT_DOUBLE_EQ(drop->tempoMap().at(0), 600000.0 / 96);
  EXPECT_EQ(drop->signatureMap().at(0), (TimeSignatureRec{3, 8, 24, 8}));

  auto scan = load(file.bytes(), kSMFLoadInfoScan, &status);
  ASSERT_EQ(status, noErr);
  EXPECT_EQ(countEvents(*scan, 0xB0), 2);
  EXPECT_EQ(countEvents(*scan, 0x90), 1);
  EXPECT_EQ(countEvents(*scan, 0x80), 0);
  EXPECT_EQ(countEvents(*scan, 0xF0), 1);
  int endOfTracks = 0;
  for (const MidiEvent* e : scan->events()) endOfTracks += e->isMeta(meta::kEndOfTrack);
  EXPECT_EQ(endOfTracks, 2);
  EXPECT_EQ(scan->eventAtIndex(scan->count() - 1)->ticks(), 2000u);
  EXPECT_EQ(scan->eventAtIndex(0)->duration(), 0u);  // notes stay unterminated

  // Drum parts from GS messages: block 0 is channel 10, block 2 channel 2, value 0 clears.
  MidiFileBuilder drums(0, 96);
  drums.track()
      .sysex(0, {0x41, 0x10, 0x42, 0x12, 0x40, 0x12, 0x15, 0x01, 0x18, 0xF7})
      .sysex(0, {0x41, 0x10, 0x42, 0x12, 0x40, 0x10, 0x15, 0x00, 0x1B, 0xF7})
      .endOfTrack();
  auto seq = load(drums.bytes(), 0, &status);
  EXPECT_EQ(seq->drumChannelMask(), 0x002);
}

TEST(SMFReader, SMPTEDivisionAndOffset) {
  MidiFileBuilder file(0, 0);
  file.divisionWord(0xE728);  // -25 frames, 40 ticks per frame
  file.track().meta(0, 0x54, {0x61, 0x02, 0x03, 0x04, 0x05}).endOfTrack();
  OSStatus status;
  auto seq = load(file.bytes(), 0, &status);
  ASSERT_EQ(status, noErr);
  EXPECT_EQ(seq->division(), 0x28);
  EXPECT_EQ(seq->SMPTEFormat(), 0x67);
  EXPECT_EQ(seq->SMPTEOffset(), (SMPTERec{3, 1, 2, 3, 4, 5}));
}

// The merger with a mask that changes from one event to the next, as an information scan's
// does: whatever a call passes over is gone, but what comes back keeps the order of a merge of
// every event, each event in its call's mask, and the meta events, wanted by every call, all
// come back. Five tracks take turns irregularly, with equal ticks across tracks, running
// status, and a track that ends early.
TEST(SMFReader, MergingWithChangingMasksKeepsTheOrder) {
  MidiFileBuilder file(1, 96);
  std::mt19937 random(7);
  for (int t = 0; t < 5; ++t) {
    TrackBuilder& track = file.track();
    track.useRunningStatus(t % 2 == 0);
    const int events = t == 3 ? 12 : 200;
    for (int i = 0; i < events; ++i) {
      const uint32_t delta = random() % 4 == 0 ? 0 : random() % 30;
      switch (random() % 5) {
        case 0: track.text(delta, meta::kLyric, "x" + std::to_string(i)); break;
        case 1: track.sysex(delta, {0x7E, 0x7F, 0x09, 0x01, 0xF7}); break;
        default: track.control(delta, uint8_t(t), 7, uint8_t(i % 128)); break;
      }
    }
    track.endOfTrack();
  }
  SMFImage image;
  ASSERT_EQ(readSMFBytes(file.bytes(), image), noErr);

  struct Seen {
    uint32_t ticks;
    uint8_t track, eventClass;
    std::vector<uint8_t> bytes;
    bool operator==(const Seen&) const = default;
  };
  auto seen = [](const SMFParsedEvent& e) {
    return Seen{e.ticks, e.track, uint8_t(e.eventClass), std::vector<uint8_t>(e.bytes, e.bytes + e.length)};
  };
  std::vector<Seen> all;
  SMFTrackMerger full(image);
  SMFParsedEvent event;
  while (full.next(kClassAll, event) == noErr) all.push_back(seen(event));
  ASSERT_GT(all.size(), 800u);

  const uint32_t masks[] = {kClassAll, kClassMeta | kClassSystem, kClassMeta, kClassAll, kClassMeta | kClassChannel};
  SMFTrackMerger changing(image);
  size_t position = 0, metas = 0;
  for (size_t call = 0; changing.next(masks[(call / 3) % std::size(masks)], event) == noErr; ++call) {
    const Seen got = seen(event);
    ASSERT_TRUE(got.eventClass & masks[(call / 3) % std::size(masks)]) << "call " << call;
    while (position < all.size() && !(all[position] == got)) {
      EXPECT_NE(all[position].eventClass, uint8_t(kClassMeta)) << "a meta event lost before call " << call;
      ++position;
    }
    ASSERT_LT(position, all.size()) << "call " << call << " came back out of order";
    ++position;
    metas += got.eventClass == kClassMeta;
  }
  EXPECT_EQ(metas, size_t(std::count_if(all.begin(), all.end(), [](const Seen& e) { return e.eventClass == kClassMeta; })));
}
