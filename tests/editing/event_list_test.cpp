#include <gtest/gtest.h>

#include <random>

#include "editing_test_util.h"

using namespace sw;
using namespace swtest;

namespace {

// Track 0: tempo, lyric "Hello", sysex; track 1: notes on channels 1 and 2, controller 5,
// program 4 (shown as 5), controller 7.
std::unique_ptr<FEventList> mixed() {
  MidiFileBuilder file(1, 480);
  file.track()
      .tempo(0, 500000)
      .text(0, 0x05, "Hello")
      .text(0, 0x05, std::string("caf\xE9"))
      .sysex(0, {0x7E, 0x7F, 0x09, 0x01, 0xF7})
      .endOfTrack();
  file.track()
      .control(0, 0, 5, 1)
      .program(0, 1, 4)
      .noteOn(0, 0, 60, 100)
      .noteOn(0, 1, 61, 90)
      .noteOn(0, 1, 70, 90)
      .noteOff(240, 0, 60)
      .noteOff(0, 1, 61)
      .noteOff(0, 1, 70)
      .control(0, 0, 7, 100)
      .endOfTrack();
  return listFrom(file);
}

std::vector<uint32_t> visibleIDs(const FEventList& list) {
  std::vector<uint32_t> ids;
  for (int w : list.filteredIndex()) ids.push_back(list.eventAtIndex(w)->eventID());
  return ids;
}

std::vector<uint8_t> visibleStatuses(const FEventList& list) {
  std::vector<uint8_t> s;
  for (int w : list.filteredIndex()) s.push_back(list.eventAtIndex(w)->status());
  return s;
}

// The view equals what a fresh filter of the same masks gives.
::testing::AssertionResult viewIsExact(FEventList& list) {
  const std::vector<int> kept = list.filteredIndex();
  list.filter();
  if (kept != list.filteredIndex()) return ::testing::AssertionFailure() << "view differs from a fresh filter";
  return ::testing::AssertionSuccess();
}

FEventList::TrackMask tracks(std::initializer_list<int> shown) {
  FEventList::TrackMask mask{};
  for (int t : shown) mask[size_t(t)] = 1;
  return mask;
}

}  // namespace

TEST(FEventListView, NothingShownUntilTracksAreChosen) {
  FEventList list;
  EXPECT_EQ(list.filteredCount(), 0);
  EXPECT_EQ(list.lowerBoundForWholeIndex(0), 0);
  EXPECT_EQ(list.indexForWholeIndex(0), -1);
  try {
    list.wholeIndexAtIndex(0);
    FAIL() << "no exception";
  } catch (const std::out_of_range& e) {
    EXPECT_STREQ(e.what(), "out of range of mFilteredIndex");
  }
  EXPECT_THROW(list.objectAtFilteredIndex(-1), std::out_of_range);
  EXPECT_FALSE(list.objectAtWholeIndex(list.count()).has_value());
  EXPECT_FALSE(list.objectAtWholeIndex(-1).has_value());
  EXPECT_FALSE(list.uuidStr().empty());
  EXPECT_NE(list.uuidStr(), FEventList().uuidStr());
}

TEST(FEventListView, TrackChannelKindAndMetaMasks) {
  auto list = mixed();
  EXPECT_EQ(list->filteredCount(), list->count());

  list->setTrackMask(tracks({0}));
  list->filter();
  for (int w : list->filteredIndex()) EXPECT_EQ(list->eventAtIndex(w)->track(), 0);
  EXPECT_EQ(list->filteredCount(), 4);

  // Channel 2 only: its channel events, and the meta and sysex events the channel mask
  // leaves alone.
  list->setTrackMask(tracks({0, 1}));
  list->setChannelMask(1u << 1);
  list->filter();
  for (int w : list->filteredIndex()) {
    const MidiEvent* e = list->eventAtIndex(w);
    if (e->isChannelMessage()) {
      EXPECT_EQ(e->channel(), 1);
    }
  }
  EXPECT_EQ(list->filteredCount(), 4 + 5);

  // No note-offs and no sysex.
  list->setChannelMask(0xFFFF);
  list->setMidiMask(uint16_t(0xFFFF & ~(1u << 8) & ~(1u << 15)));
  list->filter();
  for (uint8_t s : visibleStatuses(*list)) {
    EXPECT_NE(s, 0x80);
    EXPECT_NE(s, 0xF0);
  }
  EXPECT_TRUE(list->isMasked(0x80));
  EXPECT_FALSE(list->isMasked(0x90));

  // Lyrics only.
  FEventList::MetaMask lyrics{};
  lyrics[0x05] = 1;
  list->setMetaMask(lyrics);
  list->setMidiMask(0);
  list->filter();
  EXPECT_EQ(visibleStatuses(*list), (std::vector<uint8_t>{0xFF, 0xFF}));
}

TEST(FEventListView, SearchesSecondThirdAndDataString) {
  auto list = mixed();
  list->setSearchEventMask(FEventList::kSearchSecond);
  list->setSearchString("5");
  list->filter();
  // Controller 5, program 4 read as 5, and the lyric events' meta type 5.
  std::vector<uint8_t> found = visibleStatuses(*list);
  EXPECT_EQ(std::count(found.begin(), found.end(), 0xB0), 1);
  EXPECT_EQ(std::count(found.begin(), found.end(), 0xC0), 1);
  EXPECT_EQ(std::count(found.begin(), found.end(), 0xFF), 2);
  EXPECT_EQ(found.size(), 4u);

  list->setSearchString("5a");
  list->filter();
  EXPECT_EQ(list->filteredCount(), 0);

  // Note names of note-ons match from their start only: "b" finds Bb3 (70), not Db3 (61);
  // note-offs match anywhere in the name.
  list->setSearchString("b");
  list->filter();
  found = visibleStatuses(*list);
  EXPECT_EQ(found, (std::vector<uint8_t>{0x90, 0x80, 0x80}));
  EXPECT_EQ(list->eventAtIndex(list->wholeIndexAtIndex(0))->second(), 70);
  list->setSearchString("db");
  list->filter();
  found = visibleStatuses(*list);
  EXPECT_EQ(std::count(found.begin(), found.end(), 0x90), 1);
  EXPECT_EQ(std::count(found.begin(), found.end(), 0x80), 1);  // note-offs match anywhere in the name

  // Texts without regard to case, decoded in the list's encoding.
  list->setSearchEventMask(FEventList::kSearchThird);
  list->setSearchString("HELLO");
  list->filter();
  EXPECT_EQ(list->filteredCount(), 1);
  list->setSearchString("CAF\xC3\x89");  // "CAFÉ"
  list->filter();
  EXPECT_EQ(list->filteredCount(), 1);
  list->setSearchString("120");  // the tempo's beats per minute
  list->filter();
  EXPECT_EQ(visibleStatuses(*list), (std::vector<uint8_t>{0xFF}));

  list->setSearchEventMask(FEventList::kSearchDataString);
  list->setSearchString("7e 7f");
  list->filter();
  EXPECT_EQ(visibleStatuses(*list), (std::vector<uint8_t>{0xF0}));
  list->setSearchEventMask(0);
  list->filter();
  EXPECT_EQ(list->filteredCount(), 0);
  list->setSearchString("");
  list->filter();
  EXPECT_EQ(list->filteredCount(), list->count());
}

TEST(FEventListUpkeep, HiddenNoteOffsStayHiddenOnInsertAndRemove) {
  auto list = mixed();
  list->setMidiMask(uint16_t(0xFFFF & ~(1u << 8)));
  list->filter();
  const int wholeBefore = list->count(), rowsBefore = list->filteredCount();
  const uint32_t lastID = list->eventAtIndex(list->filteredIndex().back())->eventID();

  const uint8_t on[3] = {0x90, 64, 80};
  auto result = list->insertEventAtSuggestedWholeIndex(std::make_unique<MidiEvent>(on, 3, 1, 100, 50, 40), -1);
  EXPECT_TRUE(result.isVisible());
  EXPECT_EQ(list->count(), wholeBefore + 2);
  EXPECT_EQ(list->filteredCount(), rowsBefore + 1);
  EXPECT_EQ(list->eventAtIndex(list->wholeIndexAtIndex(result.filteredIndex))->second(), 64);
  EXPECT_EQ(list->wholeIndexAtIndex(result.filteredIndex), result.wholeIndex);
  EXPECT_EQ(list->eventAtIndex(list->filteredIndex().back())->eventID(), lastID);
  EXPECT_TRUE(viewIsExact(*list));
  EXPECT_TRUE(isConsistent(*list));

  // Removing a visible note-on removes its hidden note-off: two whole events, one row.
  const std::vector<uint32_t> idsBefore = visibleIDs(*list);
  list->removeObjectAtWholeIndex(result.wholeIndex);
  EXPECT_EQ(list->count(), wholeBefore);
  EXPECT_EQ(list->filteredCount(), rowsBefore);
  std::vector<uint32_t> expected = idsBefore;
  expected.erase(expected.begin() + result.filteredIndex);
  EXPECT_EQ(visibleIDs(*list), expected);
  EXPECT_TRUE(viewIsExact(*list));
  EXPECT_TRUE(isConsistent(*list));
}

TEST(FEventListUpkeep, InsertedEventsShowUntilTheNextFilter) {
  auto list = mixed();
  list->setTrackMask(tracks({1}));
  list->filter();
  const int rows = list->filteredCount();
  const uint8_t text[7] = {0xFF, 0x01, 0x04, 'n', 'o', 't', 'e'};
  auto result = list->insertEventAtSuggestedWholeIndex(std::make_unique<MidiEvent>(text, 7, 0, 10), -1);
  EXPECT_TRUE(result.isVisible());
  EXPECT_EQ(list->filteredCount(), rows + 1);
  list->filter();
  EXPECT_EQ(list->filteredCount(), rows);
  EXPECT_EQ(list->filteredIndexOfEvent(list->eventAtIndex(result.wholeIndex)), -1);
}

TEST(FEventListUpkeep, ZeroLengthNotesKeepTheirNoteOffBehind) {
  FEventList list;
  list.showEverything();
  list.filter();
  const uint8_t on[3] = {0x90, 60, 100};
  auto result = list.insertEventAtSuggestedWholeIndex(std::make_unique<MidiEvent>(on, 3, 0, 0, 0, 64), -1);
  EXPECT_TRUE(list.eventAtIndex(result.wholeIndex)->isNoteOn());
  EXPECT_TRUE(list.eventAtIndex(result.wholeIndex + 1)->isNoteOff());
  EXPECT_EQ(list.wholeIndexAtIndex(result.filteredIndex), result.wholeIndex);
  EXPECT_TRUE(isConsistent(list));
  EXPECT_TRUE(viewIsExact(list));
}

TEST(FEventListUpkeep, RandomEditsKeepTheViewExact) {
  auto list = mixed();
  list->setChannelMask(0x0003);
  list->setMidiMask(uint16_t(0xFFFF & ~(1u << 8)));
  list->filter();
  std::mt19937 random(7);
  QuietLog log;
  for (int step = 0; step < 300; ++step) {
    const int choice = int(random() % 4);
    if (choice < 2 || list->count() < 4) {
      // Events that pass the masks (channels 1-2), or note-offs, which stay hidden.
      const uint32_t ticks = random() % 2000;
      const uint8_t track = uint8_t(random() % 2);
      if (choice == 0) {
        const uint8_t on[3] = {uint8_t(0x90 | (random() % 2)), uint8_t(random() % 128), 90};
        list->insertEventAtSuggestedWholeIndex(std::make_unique<MidiEvent>(on, 3, track, ticks, random() % 500, 64),
                                               int(random() % uint32_t(list->count() + 1)));
      } else {
        const uint8_t cc[3] = {uint8_t(0xB0 | (random() % 2)), 7, 100};
        list->insertEventAtSuggestedWholeIndex(std::make_unique<MidiEvent>(cc, 3, track, ticks), -1);
      }
    } else if (choice == 2) {
      const int w = int(random() % uint32_t(list->count()));
      if (!list->eventAtIndex(w)->isNoteOff()) list->removeObjectAtWholeIndex(w);
    } else {
      IndexSet some;
      for (int i = 0; i < 3; ++i) {
        const int w = int(random() % uint32_t(list->count()));
        if (!list->eventAtIndex(w)->isNoteOff()) some.insert(w);
      }
      list->removeObjectsAtWholeIndexes(some);
    }
    ASSERT_TRUE(viewIsExact(*list)) << "step " << step;
    ASSERT_TRUE(isConsistent(*list)) << "step " << step;
  }
}

TEST(FEventListUpkeep, SequenceInterfaceKeepsTheViewToo) {
  auto list = mixed();
  list->setMidiMask(uint16_t(0xFFFF & ~(1u << 8)));
  list->filter();
  MidiSequence& seq = *list;
  const uint8_t cc[3] = {0xB0, 10, 64};
  seq.insertEvent(std::make_unique<MidiEvent>(cc, 3, 1, 5));
  EXPECT_TRUE(viewIsExact(*list));
  const uint8_t off[3] = {0x80, 10, 64};
  seq.insertEvent(std::make_unique<MidiEvent>(off, 3, 1, 7));
  EXPECT_TRUE(viewIsExact(*list));
  seq.removeObjectAtIndex(find(*list, 0xB0));
  EXPECT_TRUE(viewIsExact(*list));
  seq.removeObjectAtIndex(find(*list, 0x80));
  EXPECT_TRUE(viewIsExact(*list));
  // Bulk insertion, with and without the inserted indexes (lyrics are written back without).
  FlattenedEventList bulk;
  FlattenedRecord record;
  record.track = 1;
  record.ticks = 6;
  record.data = std::span<const uint8_t>(cc, 3);
  bulk.add(record);
  seq.addFlattenedEventList(bulk);
  EXPECT_TRUE(viewIsExact(*list));
  EXPECT_EQ(seq.insertFlattenedEventList(bulk).size(), 1u);
  EXPECT_TRUE(viewIsExact(*list));
  EXPECT_THROW(seq.removeObjectAtIndex(list->count()), std::out_of_range);
  EXPECT_THROW(list->removeObjectAtWholeIndex(-1), std::out_of_range);
  EXPECT_TRUE(viewIsExact(*list));
}

TEST(FEventListPasteboard, CollectionsLeaveNoteOffsOutAndComeBackWhole) {
  auto list = mixed();
  IndexSet all;
  for (int i = 0; i < list->count(); ++i) all.insert(i);
  auto data = list->pasteBoardDataAtWholeIndexes(all);
  EXPECT_EQ(data.division, 480);
  EXPECT_EQ(data.srcUUID, list->uuidStr());
  FlattenedEventList flat(data.eventList);
  int noteOns = 0;
  for (size_t at = flat.begin(); !flat.atEnd(at); at = flat.next(at)) {
    const FlattenedRecord r = flat.record(at);
    EXPECT_NE(r.data[0] & 0xF0, 0x80);
    EXPECT_GE(r.proposedIndex, 0);
    EXPECT_EQ(list->eventAtIndex(r.proposedIndex)->ticks(), r.ticks);
    noteOns += (r.data[0] & 0xF0) == 0x90;
  }
  EXPECT_EQ(noteOns, 3);
  EXPECT_EQ(flat.recordCount(), size_t(list->count() - 3));

  // Cut and put back while note-offs are hidden: the note-offs come back and the view is exact.
  const int before = list->count();
  list->setMidiMask(uint16_t(0xFFFF & ~(1u << 8)));
  list->filter();
  IndexSet cut;
  for (int i = 0; i < list->count(); ++i)
    if (!list->eventAtIndex(i)->isNoteOff()) cut.insert(i);
  list->removeObjectsAtWholeIndexes(cut);
  EXPECT_EQ(list->count(), 0);
  EXPECT_EQ(list->filteredCount(), 0);
  list->insertEventCollection(data.eventList);
  EXPECT_EQ(list->count(), before);
  EXPECT_EQ(list->filteredCount(), before - 3);
  EXPECT_TRUE(isConsistent(*list));
  EXPECT_TRUE(viewIsExact(*list));

  // Out-of-range indexes are skipped.
  EXPECT_TRUE(list->persistentObjectsAtWholeIndexes({-1, list->count()}).empty());
}

TEST(FEventListLookups, RowsAndWholeIndexesMapBothWays) {
  auto list = mixed();
  list->setTrackMask(tracks({1}));
  list->filter();
  const int first = list->wholeIndexAtIndex(0);
  EXPECT_EQ(list->indexForWholeIndex(first), 0);
  EXPECT_EQ(list->indexForWholeIndex(0), -1);  // track 0
  EXPECT_EQ(list->indexesAtWholeIndexes({0, first, first + 1}), (IndexSet{0, 1}));
  EXPECT_EQ(list->wholeIndexesAtIndexes({0, 1}), (IndexSet{first, first + 1}));
  EXPECT_EQ(list->filteredIndexAtTicks(240), list->lowerBoundForWholeIndex(list->indexAtTicks(240)));
  const MidiEvent* last = list->eventAtIndex(list->filteredIndex().back());
  EXPECT_EQ(list->filteredIndexOfEvent(last), list->filteredCount() - 1);
  EXPECT_EQ(list->filteredIndexOfEvent(list->eventAtIndex(0)), -1);
  auto pointer = list->objectAtFilteredIndex(1);
  EXPECT_EQ(pointer.index(), 1);
  EXPECT_EQ(pointer.wholeIndex(), first + 1);
}

TEST(FEventListLookups, CopiesKeepFiltersWithANewIdentity) {
  auto list = mixed();
  list->setTrackMask(tracks({1}));
  list->setSearchString("c3");
  list->filter();
  FEventList copy(*list);
  EXPECT_EQ(copy.filteredIndex(), list->filteredIndex());
  EXPECT_EQ(copy.searchString(), "c3");
  EXPECT_NE(copy.uuidStr(), list->uuidStr());
  EXPECT_NE(copy.eventAtIndex(0)->eventID(), list->eventAtIndex(0)->eventID());
}

TEST(FMidiEventCopy, IsIndependentOfTheDocument) {
  auto list = mixed();
  auto on = *list->objectAtWholeIndex(find(*list, 0x90));
  FMidiEventCopy copy = on.copy();
  EXPECT_NE(copy.parentList(), on.parentList());
  EXPECT_EQ(copy.parentList()->numTracks(), 2);
  EXPECT_EQ(copy.parentList()->division(), 480);
  EXPECT_EQ(copy.data(), on.data());
  EXPECT_NE(copy.midiEvent()->eventID(), on.midiEvent()->eventID());
  EXPECT_EQ(copy.parentList()->count(), 2);  // the note-on and its note-off
  EXPECT_TRUE(isConsistent(*copy.parentList()));
  copy.setSecond(std::string("D3"));
  EXPECT_EQ(on.midiEvent()->second(), 60);
  EXPECT_EQ(copy.midiEvent()->second(), 62);
  EXPECT_TRUE(isConsistent(*copy.parentList()));
  FMidiEventCopy second = copy;  // shares the private list
  list.reset();
  EXPECT_EQ(second.midiEvent()->second(), 62);
}
