#include <gtest/gtest.h>

#include <memory>

#include "base/log.h"
#include "sequence_test_util.h"

using namespace sw;
using namespace swtest;

namespace {
struct QuietLog {
  QuietLog() { previous = setLogSink([this](const std::string& line) { lines.push_back(line); }); }
  ~QuietLog() { setLogSink(previous); }
  LogSink previous;
  std::vector<std::string> lines;
};
}  // namespace

TEST(MidiSequence, FreshSequenceHoldsTheEmptyFile) {
  MidiSequence seq;
  EXPECT_EQ(seq.count(), 2);
  EXPECT_EQ(seq.division(), 480);
  EXPECT_EQ(seq.numTracks(), 1);
  EXPECT_EQ(seq.encoding(), 5u);
  ASSERT_EQ(seq.tempoMap().size(), 1u);
  EXPECT_DOUBLE_EQ(seq.tempoMap().at(0), 500000.0 / 480);
  EXPECT_EQ(seq.signatureMap().at(0), (TimeSignatureRec{4, 4, 24, 8}));
  EXPECT_TRUE(seq.eventAtIndex(0)->isMeta(meta::kTimeSignature));
  EXPECT_TRUE(seq.eventAtIndex(1)->isMeta(meta::kTempo));
  EXPECT_EQ(seq.drumChannelMask(), 0x200);

  MidiSequence copy(seq);
  EXPECT_EQ(copy.count(), 2);
  EXPECT_NE(copy.eventAtIndex(0)->eventID(), seq.eventAtIndex(0)->eventID());
  EXPECT_EQ(bytesOf(copy.eventAtIndex(1)), bytesOf(seq.eventAtIndex(1)));
}

TEST(MidiSequence, InsertionFollowsTicksTrackAndPriority) {
  MidiSequence seq;
  seq.setNumTracks(3);
  seq.insertEvent(event({0x90, 60, 100}, 1, 100, 10, 64));
  seq.insertEvent(event({0x80, 61, 64}, 1, 100));
  seq.insertEvent(event({0xB0, 7, 100}, 1, 100));
  seq.insertEvent(event({0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20}, 1, 100));
  seq.insertEvent(event({0xFF, 0x2F, 0x00}, 1, 100));
  seq.insertEvent(event({0xC0, 5}, 2, 100));
  seq.insertEvent(event({0xC0, 6}, 0, 100));
  IndexRange range = seq.indexRangeAtTicks(100);
  ASSERT_EQ(range.length, 7);
  std::vector<uint8_t> firsts;
  for (int i = range.location; i < range.location + range.length; ++i) firsts.push_back(seq.eventAtIndex(i)->data()[0]);
  EXPECT_EQ(firsts, (std::vector<uint8_t>{0xC0, 0xFF, 0xB0, 0x80, 0x90, 0xFF, 0xC0}));
  EXPECT_TRUE(seq.eventAtIndex(range.location + 5)->isMeta(meta::kEndOfTrack));
  EXPECT_DOUBLE_EQ(seq.tempoMap().at(100), 500000.0 / 480);

  // A usable proposal is taken as soon as the walk meets an event of the same track, among
  // the events of its own priority.
  int at = seq.insertEvent(event({0x90, 62, 1}, 1, 100, 0, 0), range.location + 4);
  EXPECT_EQ(at, range.location + 4);
  // One that would put a note-on before a controller or a note-off is not.
  at = seq.insertEvent(event({0x90, 63, 1}, 1, 100, 0, 0), range.location + 2);
  EXPECT_EQ(at, range.location + 6);
  // Outside the tick's range it is ignored.
  int placed = seq.insertEvent(event({0xB0, 8, 1}, 1, 100), 0);
  EXPECT_EQ(seq.eventAtIndex(placed)->second(), 8);
  EXPECT_GT(placed, range.location);

  const int counted = seq.count();
  EXPECT_THROW(seq.insertEvent(event({0x90, 1, 1}, 3, 0)), std::out_of_range);  // destroyed with its unique_ptr
  EXPECT_EQ(seq.count(), counted);
  EXPECT_EQ(seq.indexRangeAtTicks(999).location, seq.count());
  EXPECT_EQ(seq.indexRangeAtTicks(999).length, 0);
  EXPECT_EQ(seq.indexBefore(seq.count(), 2), range.location + 9);
  EXPECT_EQ(seq.indexAfter(-1, 2), range.location + 9);
  EXPECT_EQ(seq.indexAfter(seq.count(), 0), -1);
}

TEST(MidiSequence, RemovalKeepsPairsAndMaps) {
  QuietLog quiet;
  MidiSequence seq;
  seq.setNumTracks(2);
  MidiEvent* on = placed(seq, event({0x90, 60, 100}, 1, 0, 480, 40));
  seq.insertNoteOffForNoteOn(on);
  int onIndex = seq.indexOfEvent(on);
  int offIndex = seq.noteOffIndexForNoteOn(on);
  ASSERT_GE(offIndex, 0);
  EXPECT_EQ(bytesOf(seq.eventAtIndex(offIndex)), (std::vector<uint8_t>{0x80, 60, 40}));
  EXPECT_EQ(seq.eventAtIndex(offIndex)->ticks(), 480u);

  // Removing the set with only the note-on takes its note-off too.
  int before = seq.count();
  seq.removeObjectsAtIndexes({onIndex});
  EXPECT_EQ(seq.count(), before - 2);

  // Removing the note-on alone leaves its note-off.
  on = placed(seq, event({0x90, 62, 100}, 1, 0, 480, 40));
  seq.insertNoteOffForNoteOn(on);
  before = seq.count();
  seq.removeObjectAtIndex(seq.indexOfEvent(on));
  EXPECT_EQ(seq.count(), before - 1);
  EXPECT_THROW(seq.removeObjectAtIndex(seq.count()), std::out_of_range);

  // The tempo at tick 0 falls back to 120 BPM; one at 960 is erased from the map once no
  // tempo event is left there.
  seq.insertEvent(event({0xFF, 0x51, 0x03, 0x0F, 0x42, 0x40}, 0, 960));
  seq.insertEvent(event({0xFF, 0x51, 0x03, 0x0F, 0x42, 0x40}, 0, 960));
  EXPECT_DOUBLE_EQ(seq.tempoMap().at(960), 1000000.0 / 480);
  seq.removeObjectAtIndex(seq.indexRangeAtTicks(960).location);
  EXPECT_DOUBLE_EQ(seq.tempoMap().at(960), 1000000.0 / 480);
  seq.removeObjectAtIndex(seq.indexRangeAtTicks(960).location);
  EXPECT_EQ(seq.tempoMap().count(960), 0u);
  int tempo0 = 1;
  ASSERT_TRUE(seq.eventAtIndex(tempo0)->isMeta(meta::kTempo));
  seq.insertEvent(event({0xFF, 0x51, 0x03, 0x0F, 0x42, 0x40}, 0, 0));
  seq.removeObjectAtIndex(tempo0);
  seq.removeObjectAtIndex(tempo0);
  EXPECT_DOUBLE_EQ(seq.tempoMap().at(0), 500000.0 / 480);
  seq.removeObjectAtIndex(0);
  EXPECT_EQ(seq.signatureMap().at(0), (TimeSignatureRec{4, 4, 24, 8}));

  // A note-on whose note-off is missing answers -1 and logs it.
  MidiEvent* lonely = placed(seq, event({0x90, 64, 1}, 0, 10, 5, 0));
  EXPECT_EQ(seq.noteOffIndexForNoteOn(lonely), -1);
  ASSERT_FALSE(quiet.lines.empty());
  EXPECT_EQ(quiet.lines.back(), "Note off missing for note on at ticks: 10");
}

TEST(MidiSequence, BulkInsertionMatchesSingleInsertion) {
  // The flattened insertion adds note-offs and returns the positions of the other events.
  MidiSequence seq;
  seq.setNumTracks(2);
  FlattenedEventList list;
  std::unique_ptr<MidiEvent> a(event({0x90, 60, 90}, 1, 0, 100, 30));
  std::unique_ptr<MidiEvent> b(event({0xB0, 7, 90}, 1, 0));
  std::unique_ptr<MidiEvent> c(event({0xFF, 0x06, 0x01, 'M'}, 0, 50));
  list.add(*a);
  list.add(*b);
  list.add(*c);
  IndexSet added = seq.insertFlattenedEventList(list);
  EXPECT_EQ(seq.count(), 6);
  EXPECT_EQ(added.size(), 3u);
  for (int index : added) EXPECT_NE(seq.eventAtIndex(index)->status(), 0x80);
  EXPECT_TRUE(isConsistent(seq));
  EXPECT_EQ(seq.eventAtIndex(seq.count() - 1)->status(), 0x80);
  EXPECT_EQ(seq.eventAtIndex(seq.count() - 1)->third(), 30);

  // A record on a track the sequence does not have is refused before anything changes.
  FlattenedEventList bad;
  std::unique_ptr<MidiEvent> d(event({0x90, 1, 1}, 5, 0));
  bad.add(*d);
  EXPECT_THROW(seq.insertFlattenedEventList(bad), std::out_of_range);
  EXPECT_EQ(seq.count(), 6);
}

TEST(MidiSequence, ProposedIndexesOnlyPlaceEventsWithinTheirTrack) {
  // At tick 0: the two meta events on track 0, then a controller on track 1.
  MidiSequence seq;
  seq.setNumTracks(2);
  seq.insertEvent(event({0xB1, 7, 90}, 1, 0));
  // Proposing the end of the tick (inside track 1's run) for a track 0 event is ignored.
  std::unique_ptr<MidiEvent> marker(event({0xFF, 0x06, 0x01, 'M'}, 0, 0));
  EXPECT_EQ(seq.bestIndexForEvent(marker.get(), 3), 2);
  // Inside its own run, a proposal that puts a marker before the signature and the tempo
  // would break the order of event kinds: ignored too.
  EXPECT_EQ(seq.bestIndexForEvent(marker.get(), 0), 2);
  std::unique_ptr<MidiEvent> signature(event({0xFF, 0x58, 0x04, 0x03, 0x02, 0x18, 0x08}, 0, 0));
  EXPECT_EQ(seq.bestIndexForEvent(signature.get(), 0), 0);  // among its own kind: taken

  // Records copied from another list carry that list's positions; pasted here they keep the
  // track order whatever those positions say.
  MidiSequence other;
  other.setNumTracks(2);
  for (int i = 0; i < 4; ++i) other.insertEvent(event({0xB0, uint8_t(i), 1}, 1, 0));
  FlattenedEventList copied;
  for (int i = 2; i < other.count(); ++i) copied.add(*other.eventAtIndex(i), i);
  std::unique_ptr<MidiEvent> first(event({0xFF, 0x06, 0x01, 'A'}, 0, 0));
  copied.add(*first, 0);  // a track 0 record proposed at position 0
  seq.insertFlattenedEventList(copied);
  EXPECT_TRUE(isConsistent(seq));
  EXPECT_EQ(seq.count(), 8);
}

TEST(MidiSequence, BulkInsertionSortsRecordsByTicksAndTrack) {
  // Bytes from outside need not be in order; a note-off of track 0 meets a record of track 1.
  MidiSequence seq;
  seq.setNumTracks(2);
  FlattenedEventList a, b, c;
  std::unique_ptr<MidiEvent> late(event({0xB1, 7, 1}, 1, 480));
  std::unique_ptr<MidiEvent> note(event({0x90, 60, 100}, 0, 0, 480, 64));
  std::unique_ptr<MidiEvent> early(event({0xB1, 7, 2}, 1, 10));
  a.add(*late);
  b.add(*note);
  c.add(*early);
  std::vector<uint8_t> bytes = a.bytes();
  bytes.insert(bytes.end(), b.bytes().begin(), b.bytes().end());
  bytes.insert(bytes.end(), c.bytes().begin(), c.bytes().end());
  seq.insertEventCollection(bytes);
  EXPECT_EQ(seq.count(), 6);
  EXPECT_TRUE(isConsistent(seq));
}

TEST(MidiSequence, ANoteOnIsPairedWithTheNoteOffOfItsOwnTrack) {
  // Equal notes on tracks 0 and 1: removing track 1's note leaves track 0's note whole.
  MidiSequence seq;
  seq.setNumTracks(2);
  seq.insertEvent(event({0x90, 60, 100}, 1, 0, 480, 64));
  seq.insertEvent(event({0x80, 60, 64}, 1, 480));
  seq.insertEvent(event({0x90, 60, 100}, 0, 100, 380, 64));
  seq.insertEvent(event({0x80, 60, 64}, 0, 480));
  int on1 = -1;
  for (int i = 0; i < seq.count(); ++i)
    if (seq.eventAtIndex(i)->isNoteOn() && seq.eventAtIndex(i)->track() == 1) on1 = i;
  seq.removeObjectsAtIndexes({on1});
  ASSERT_EQ(seq.count(), 4);
  for (const MidiEvent* e : seq.events()) EXPECT_EQ(e->track(), 0);
  EXPECT_TRUE(isConsistent(seq));
}

TEST(MidiSequence, ARepeatedNoteEndsBeforeItSoundsAgain) {
  // C4 from 0 to 480 and again from 480: at 480 the note-off must come first, or the second
  // note is cut by the first one's end at once.
  auto placedInOrder = [](const MidiSequence& seq) {
    std::vector<uint8_t> at480;
    for (const MidiEvent* e : seq.events())
      if (e->ticks() == 480) at480.push_back(e->status());
    return at480 == std::vector<uint8_t>{0x80, 0x90};
  };
  // One event at a time, the note-on proposed where it was copied from (before the note-off).
  MidiSequence single;
  MidiEvent* first = placed(single, event({0x90, 60, 100}, 0, 0, 480, 64));
  const int off = single.insertNoteOffForNoteOn(first);
  single.insertEvent(event({0x90, 60, 100}, 0, 480, 480, 64), off);
  EXPECT_TRUE(placedInOrder(single));

  // Both notes in one bulk insertion: the first one's note-off is made with them.
  MidiSequence bulk;
  FlattenedEventList notes;
  std::unique_ptr<MidiEvent> a(event({0x90, 60, 100}, 0, 0, 480, 64));
  std::unique_ptr<MidiEvent> b(event({0x90, 60, 100}, 0, 480, 480, 64));
  notes.add(*a, -1);
  notes.add(*b, -1);
  bulk.insertFlattenedEventList(notes);
  EXPECT_TRUE(placedInOrder(bulk));
  EXPECT_TRUE(isConsistent(bulk, true));

  // A note without length keeps its note-off right behind it.
  MidiSequence zero;
  FlattenedEventList blip;
  std::unique_ptr<MidiEvent> c(event({0x90, 62, 100}, 0, 0, 0, 64));
  blip.add(*c, -1);
  blip.add(*a, -1);
  zero.insertFlattenedEventList(blip);
  EXPECT_TRUE(isConsistent(zero));
}

TEST(MidiSequence, NoteOffsOfABulkInsertionKeepTheirListOrderAtEqualTicks) {
  // Note-offs come out of the list's order (a long note before short ones); at equal ticks and
  // track they follow their note-ons' order, and tracks stay in order.
  MidiSequence seq;
  seq.setNumTracks(2);
  FlattenedEventList list;
  std::unique_ptr<MidiEvent> longOne(event({0x91, 50, 100}, 1, 0, 300, 1));
  std::unique_ptr<MidiEvent> first(event({0x90, 60, 100}, 0, 0, 100, 2));
  std::unique_ptr<MidiEvent> second(event({0x90, 62, 100}, 0, 50, 50, 3));
  std::unique_ptr<MidiEvent> other(event({0x91, 64, 100}, 1, 100, 0, 4));
  for (const MidiEvent* e : {longOne.get(), first.get(), second.get(), other.get()}) list.add(*e);
  seq.insertFlattenedEventList(list);
  ASSERT_TRUE(isConsistent(seq));
  std::vector<std::pair<uint32_t, uint8_t>> offs;  // ticks, velocity of each note-off in order
  for (const MidiEvent* e : seq.events())
    if (e->isNoteOff()) offs.emplace_back(e->ticks(), e->third());
  EXPECT_EQ(offs, (std::vector<std::pair<uint32_t, uint8_t>>{{100, 2}, {100, 3}, {100, 4}, {300, 1}}));
}

TEST(MidiSequence, ExactReinsertionInOnePassMatchesOneByOne) {
  // Undo puts removed events back at their old positions: all at once (one merge) or one at a
  // time, the list comes back the same, tempo map included.
  MidiFileBuilder file(1, 480);
  file.track().tempo(0, 500000).tempo(480, 400000).text(0, 0x06, "M").endOfTrack();
  auto& notes = file.track();
  for (int i = 0; i < 12; ++i) notes.noteOn(i % 3 ? 0 : 120, 0, uint8_t(60 + i), 90).noteOff(60, 0, uint8_t(60 + i));
  notes.endOfTrack();
  OSStatus status;
  auto original = load(file.bytes(), kSMFLoadFull, &status);
  ASSERT_EQ(status, noErr);
  const IndexSet taken = {0, 1, 4, 5, 6, 11, original->count() - 2, original->count() - 1};
  const std::vector<PlacedEvent> removed = original->eventsAtIndexes(taken);

  MidiSequence together(*original), oneByOne(*original);
  together.removeEventsAtExactIndexes(taken);
  oneByOne.removeEventsAtExactIndexes(taken);
  together.insertEventsAtExactIndexes(removed);
  for (const PlacedEvent& placed : removed) oneByOne.insertEventsAtExactIndexes({placed});
  ASSERT_EQ(together.count(), original->count());
  ASSERT_EQ(oneByOne.count(), original->count());
  for (int i = 0; i < original->count(); ++i) {
    EXPECT_EQ(bytesOf(together.eventAtIndex(i)), bytesOf(original->eventAtIndex(i))) << i;
    EXPECT_EQ(together.eventAtIndex(i)->ticks(), original->eventAtIndex(i)->ticks()) << i;
    EXPECT_EQ(bytesOf(oneByOne.eventAtIndex(i)), bytesOf(original->eventAtIndex(i))) << i;
  }
  EXPECT_EQ(together.tempoMap(), original->tempoMap());
  // Positions past the end land at the end, in order.
  together.insertEventsAtExactIndexes({{together.count() + 5, removed[0].event}, {together.count() + 9, removed[1].event}});
  EXPECT_EQ(bytesOf(together.eventAtIndex(together.count() - 1)), bytesOf(&removed[1].event));
}
