#include "editing/edit_operations.h"

#include <gtest/gtest.h>

#include <random>

#include "editing/f_midi_event_pointer.h"
#include "editing_test_util.h"

using namespace sw;
using namespace swtest;

namespace {

// Track 0: tempo, 4/4, a name and a tempo change at 1920; track 1 (channel 1): a program, a
// volume, C E G quarter notes and a pan; track 2 (channel 2): a volume and two short notes.
MidiFileBuilder band(uint16_t division = 480) {
  const uint32_t q = division;
  MidiFileBuilder file(1, division);
  file.track().tempo(0, 500000).timeSignature(0, 4, 2).text(0, 0x03, "Band").tempo(4 * q, 400000).endOfTrack();
  file.track()
      .program(0, 0, 1)
      .control(0, 0, 7, 100)
      .noteOn(0, 0, 60, 100)
      .noteOff(q, 0, 60)
      .noteOn(0, 0, 64, 100)
      .noteOff(q, 0, 64)
      .control(0, 0, 10, 64)
      .noteOn(0, 0, 67, 100)
      .noteOff(q, 0, 67)
      .endOfTrack();
  file.track()
      .control(0, 1, 7, 90)
      .noteOn(0, 1, 36, 80)
      .noteOff(q / 2, 1, 36)
      .noteOn(q / 2, 1, 38, 80)
      .noteOff(q / 2, 1, 38)
      .endOfTrack();
  return file;
}

// Everything that makes up the list's content: each event with its position, the maps and
// the track count.
std::vector<uint8_t> snapshot(const MidiSequence& seq) {
  FlattenedEventList all;
  for (int i = 0; i < seq.count(); ++i) all.add(*seq.eventAtIndex(i), i);
  std::vector<uint8_t> out = all.bytes();
  auto put = [&](const void* p, size_t n) {
    const auto* b = static_cast<const uint8_t*>(p);
    out.insert(out.end(), b, b + n);
  };
  for (const auto& [ticks, value] : seq.tempoMap()) {
    put(&ticks, sizeof ticks);
    put(&value, sizeof value);
  }
  for (const auto& [ticks, s] : seq.signatureMap()) {
    put(&ticks, sizeof ticks);
    put(&s, sizeof s);
  }
  const uint16_t tracks = seq.numTracks();
  put(&tracks, sizeof tracks);
  return out;
}

struct Document {
  explicit Document(const MidiFileBuilder& file) : list(listFrom(file)), ops(*list, undo, pasteboard) {}
  std::unique_ptr<FEventList> list;
  UndoManager undo;
  MemoryPasteboard pasteboard;
  EditOperations ops;

  // The row of the note-on of that key (on that track when given).
  int noteRow(int key, int track = -1) const {
    for (int row = 0; row < list->filteredCount(); ++row) {
      const MidiEvent* e = list->eventAtIndex(list->wholeIndexAtIndex(row));
      if (e->isNoteOn() && e->second() == key && (track < 0 || e->track() == track)) return row;
    }
    return -1;
  }
  int rowOf(uint8_t status, int second) const {
    for (int row = 0; row < list->filteredCount(); ++row) {
      const MidiEvent* e = list->eventAtIndex(list->wholeIndexAtIndex(row));
      if (e->status() == status && e->second() == second) return row;
    }
    return -1;
  }
  const MidiEvent* atRow(int row) const { return list->eventAtIndex(list->wholeIndexAtIndex(row)); }
  int countNotes(int key) const {
    int n = 0;
    for (const MidiEvent* e : list->events()) n += e->isNoteOn() && e->second() == key;
    return n;
  }
};

// Runs an edit, then checks that undo restores the list exactly and redo re-applies it.
void expectExactUndo(Document& doc, const std::function<void()>& edit) {
  const auto before = snapshot(*doc.list);
  edit();
  ASSERT_TRUE(isConsistent(*doc.list));
  const auto after = snapshot(*doc.list);
  ASSERT_NE(before, after) << "the edit changed nothing";
  ASSERT_TRUE(doc.undo.canUndo());
  doc.undo.undo();
  EXPECT_EQ(snapshot(*doc.list), before);
  EXPECT_TRUE(isConsistent(*doc.list));
  doc.undo.redo();
  EXPECT_EQ(snapshot(*doc.list), after);
  doc.undo.undo();
  EXPECT_EQ(snapshot(*doc.list), before);
}

TEST(EditOperations, EveryEditIsUndoneExactlyAndRedone) {
  Document doc(band());
  expectExactUndo(doc, [&] {
    doc.ops.setSelection({doc.noteRow(64)});
    doc.ops.clear();
  });
  expectExactUndo(doc, [&] {
    doc.ops.setSelection({doc.noteRow(60), doc.noteRow(36), doc.rowOf(0xB0, 10)});
    doc.ops.cut();
  });
  expectExactUndo(doc, [&] {
    doc.ops.setSelection({doc.noteRow(60), doc.noteRow(64)});
    doc.ops.duplicate();
  });
  expectExactUndo(doc, [&] {
    doc.ops.setSelection({doc.rowOf(0xFF, 0x51)});  // the tempo at tick 0
    doc.ops.clear();
  });
  expectExactUndo(doc, [&] {
    doc.ops.setSelection({doc.noteRow(60), doc.noteRow(67)});
    doc.ops.copy();
    doc.ops.setSelection({doc.noteRow(38)});
    doc.ops.paste();
  });
  for (auto range : {ShiftRange::Selection, ShiftRange::ToEnd, ShiftRange::SameChannel, ShiftRange::SameTrack}) {
    expectExactUndo(doc, [&] {
      doc.ops.setSelection({doc.noteRow(64), doc.noteRow(38)});
      doc.ops.shift(2000, range);
    });
  }
  expectExactUndo(doc, [&] {
    doc.ops.setSelection({doc.noteRow(60), doc.noteRow(36)});
    FMidiEventCopy model = doc.list->objectAtFilteredIndex(doc.noteRow(60)).copy();
    model.privateList()->setNumTracks(3);
    model.setTrackPlusOne(3);
    model.setChannelPlusOne(5);
    BulkChange change;
    change.track = change.channel = true;
    doc.ops.applyChanges(model, change);
  });
}

TEST(EditOperations, SingleFieldChangesAreUndoneExactly) {
  Document doc(band());
  auto whole = [&](int row) { return doc.list->wholeIndexAtIndex(row); };
  expectExactUndo(doc, [&] { EXPECT_TRUE(doc.ops.setValue(whole(doc.noteRow(64)), FieldKey::Ticks, int64_t(100))); });
  expectExactUndo(doc, [&] {
    EXPECT_TRUE(doc.ops.setValue(whole(doc.noteRow(67)), FieldKey::Third, std::string("90/30/120")));
  });
  expectExactUndo(doc, [&] {
    EXPECT_TRUE(doc.ops.setValue(whole(doc.rowOf(0xFF, 0x51)), FieldKey::Third, std::string("100")));
  });
  std::string error;
  const size_t steps = doc.undo.undoCount();
  EXPECT_FALSE(doc.ops.setValue(whole(doc.noteRow(60)), FieldKey::Second, std::string("no note"), &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(doc.ops.setValue(doc.list->count(), FieldKey::Ticks, int64_t(1)));
  EXPECT_EQ(doc.undo.undoCount(), steps);
}

TEST(EditOperations, RemovingANoteOnTakesItsNoteOffAndUndoBringsBothBack) {
  Document doc(band());
  const int before = doc.list->count();
  doc.ops.setSelection({doc.noteRow(64)});
  doc.ops.clear();
  EXPECT_EQ(doc.list->count(), before - 2);
  EXPECT_TRUE(doc.ops.selection().empty());
  EXPECT_EQ(doc.undo.undoActionName(), "Delete");
  doc.undo.undo();
  EXPECT_EQ(doc.list->count(), before);
  // The restored note is selected, as after any insertion.
  ASSERT_EQ(doc.ops.selection().size(), 1u);
  EXPECT_EQ(doc.atRow(*doc.ops.selection().begin())->second(), 64);
}

TEST(EditOperations, PasteInTheSameListWithoutSelectionAppendsAfterTheLastEvent) {
  Document doc(band());
  doc.ops.setSelection({doc.noteRow(60), doc.noteRow(64), doc.noteRow(67)});
  doc.ops.copy();
  // The last row is track 2's end of track at 960.
  const MidiEvent* last = doc.atRow(doc.list->filteredCount() - 1);
  const uint32_t end = last->ticks() + last->duration();
  const uint8_t lastTrack = last->track();
  doc.ops.setSelection({});
  ASSERT_TRUE(doc.ops.paste());
  EXPECT_TRUE(isConsistent(*doc.list));
  ASSERT_EQ(doc.ops.selection().size(), 3u);
  std::vector<uint32_t> ticks;
  for (int row : doc.ops.selection()) {
    EXPECT_EQ(doc.atRow(row)->track(), lastTrack);
    ticks.push_back(doc.atRow(row)->ticks());
  }
  EXPECT_EQ(ticks, (std::vector<uint32_t>{end, end + 480, end + 960}));
  EXPECT_EQ(doc.countNotes(64), 2);
}

TEST(EditOperations, PasteFromAnotherDivisionScalesTimesAndDurations) {
  Document source(band(96));
  source.ops.setSelection({source.noteRow(64), source.noteRow(67)});
  source.ops.copy();
  Document target(band(480));
  target.pasteboard = source.pasteboard;
  auto plan = target.ops.pastePlan();
  ASSERT_TRUE(plan);
  EXPECT_FALSE(plan->sameList);
  EXPECT_DOUBLE_EQ(plan->scale, 5.0);
  EXPECT_EQ(plan->position, 96 * 5);  // the first pasted event at its own time x 5
  plan->track = 2;
  ASSERT_TRUE(target.ops.paste(*plan));
  EXPECT_TRUE(isConsistent(*target.list));
  std::vector<std::pair<uint32_t, uint32_t>> got;
  for (int row : target.ops.selection()) got.emplace_back(target.atRow(row)->ticks(), target.atRow(row)->duration());
  EXPECT_EQ(got, (std::vector<std::pair<uint32_t, uint32_t>>{{480, 480}, {960, 480}}));
}

TEST(EditOperations, PasteWithTheTimingOptionPutsEverythingAtThePosition) {
  Document doc(band());
  doc.ops.setSelection({doc.noteRow(60), doc.noteRow(67)});
  doc.ops.copy();
  auto plan = doc.ops.pastePlan();
  ASSERT_TRUE(plan);
  const auto ticks = doc.ops.ticksForNewTime("003:01:000");
  ASSERT_TRUE(ticks);
  EXPECT_EQ(*ticks, 3840);
  EXPECT_EQ(doc.ops.measureText(3840 + 480 + 5), "003:02:005");
  plan->position = *ticks;
  plan->keepTiming = false;
  plan->track = 0;
  ASSERT_TRUE(doc.ops.paste(*plan));
  for (int row : doc.ops.selection()) EXPECT_EQ(doc.atRow(row)->ticks(), 3840u);
  EXPECT_TRUE(isConsistent(*doc.list));
  std::string error;
  EXPECT_FALSE(doc.ops.ticksForNewTime("three", &error));
  EXPECT_FALSE(error.empty());
}

TEST(EditOperations, PasteOntoAMissingTrackInsertsNothingAndSaysWhy) {
  Document doc(band());
  doc.ops.setSelection({doc.noteRow(60)});
  doc.ops.copy();
  auto plan = doc.ops.pastePlan();
  plan->track = 3;
  const auto before = snapshot(*doc.list);
  QuietLog log;
  EXPECT_FALSE(doc.ops.paste(*plan));
  EXPECT_TRUE(log.has("An exception occured while pasting event: fatal error while inserting object: track out of range"));
  EXPECT_EQ(snapshot(*doc.list), before);
  EXPECT_FALSE(doc.undo.canUndo());
}

TEST(EditOperations, PasteNeedsAnEventCollection) {
  Document doc(band());
  EXPECT_FALSE(doc.ops.pastePlan());
  doc.pasteboard.setData(Pasteboard::kEventCollectionType, {1, 2, 3, 4, 5, 6, 7, 8, 9});
  EXPECT_FALSE(doc.ops.pastePlan());
  EXPECT_FALSE(doc.ops.paste());
  EXPECT_FALSE(doc.undo.canUndo());
}

TEST(EditOperations, CopyPutsTheCollectionAndTheRowsAsText) {
  Document doc(band());
  doc.ops.setTabularColumns({FieldKey::Ticks, FieldKey::ChannelOrIcon, FieldKey::TrackPlusOne});
  doc.ops.setSelection({doc.rowOf(0xFF, 0x03), doc.noteRow(64)});
  doc.ops.copy();
  const auto text = doc.pasteboard.data(Pasteboard::kStringType);
  ASSERT_TRUE(text);
  // The meta event's icon gives an empty field.
  EXPECT_EQ(std::string(text->begin(), text->end()), "0\t\t1\n480\t1\t2");
  EXPECT_EQ(doc.pasteboard.data(Pasteboard::kTabularTextType), text);
  auto data = unarchiveEventCollection(*doc.pasteboard.data(Pasteboard::kEventCollectionType));
  ASSERT_TRUE(data);
  EXPECT_EQ(data->division, 480);
  EXPECT_EQ(data->srcUUID, doc.list->uuidStr());
  EXPECT_EQ(FlattenedEventList(data->eventList).recordCount(), 2u);  // note-off left out
}

TEST(EditOperations, DuplicateWithoutSelectionInsertsAMiddleCQuarterNote) {
  Document doc(band());
  const int before = doc.list->count();
  doc.ops.setSelection({});
  ASSERT_TRUE(doc.ops.duplicate());
  EXPECT_EQ(doc.list->count(), before + 2);
  ASSERT_EQ(doc.ops.selection().size(), 1u);
  const MidiEvent* note = doc.atRow(*doc.ops.selection().begin());
  EXPECT_EQ(bytesOf(note), (std::vector<uint8_t>{0x90, 0x3C, 0x40}));
  EXPECT_EQ(note->ticks(), 0u);
  EXPECT_EQ(note->track(), 0);
  EXPECT_EQ(note->duration(), 480u);
  EXPECT_EQ(note->offVelocity(), 64);
  EXPECT_GE(doc.list->noteOffIndexForNoteOn(note), 0);
  EXPECT_TRUE(isConsistent(*doc.list));
}

TEST(EditOperations, DuplicatedEventsLandNextToTheirOriginals) {
  Document doc(band());
  doc.ops.setSelection({doc.rowOf(0xB0, 7), doc.noteRow(60)});
  ASSERT_TRUE(doc.ops.duplicate());
  EXPECT_EQ(doc.undo.undoActionName(), "Duplicate");
  EXPECT_TRUE(isConsistent(*doc.list));
  // Each copy goes in right before its original; the order of event kinds stays (controllers
  // before notes).
  std::vector<uint8_t> statuses;
  for (const MidiEvent* e : doc.list->events())
    if (e->ticks() == 0 && e->track() == 1) statuses.push_back(e->status());
  EXPECT_EQ(statuses, (std::vector<uint8_t>{0xC0, 0xB0, 0xB0, 0x90, 0x90}));
}

TEST(EditOperations, ShiftRangesMoveTheRightEvents) {
  // Channel 2's first note is the reference; the range decides what else goes along.
  struct Case {
    ShiftRange range;
    std::vector<int> movedKeys;  // notes found at their ticks + 240 afterwards
    std::vector<int> keptKeys;
  };
  const std::vector<Case> cases = {
      {ShiftRange::Selection, {36}, {38, 60, 64, 67}},
      {ShiftRange::ToEnd, {36, 38, 64, 67}, {60}},
      {ShiftRange::SameChannel, {36, 38}, {60, 64, 67}},
      {ShiftRange::SameTrack, {36, 38}, {60, 64, 67}},
  };
  for (const Case& c : cases) {
    Document doc(band());
    std::map<int, uint32_t> start;
    for (int key : {36, 38, 60, 64, 67}) start[key] = doc.atRow(doc.noteRow(key))->ticks();
    // Row of note 36 at tick 0 comes after note 60 on track 1.
    doc.ops.setSelection({doc.noteRow(36)});
    ASSERT_TRUE(doc.ops.shift(240, c.range));
    EXPECT_TRUE(isConsistent(*doc.list)) << int(c.range);
    for (int key : c.movedKeys) EXPECT_EQ(doc.atRow(doc.noteRow(key))->ticks(), start[key] + 240) << key;
    for (int key : c.keptKeys) EXPECT_EQ(doc.atRow(doc.noteRow(key))->ticks(), start[key]) << key;
  }
}

TEST(EditOperations, ShiftingATrackBackAndUndoingBothRestoresTheList) {
  Document doc(band());
  const auto original = snapshot(*doc.list);
  doc.ops.setSelection({doc.noteRow(64)});
  ASSERT_TRUE(doc.ops.shift(1000, ShiftRange::SameTrack));
  EXPECT_EQ(doc.undo.undoActionName(), "Shift");
  // Channel 2's notes and the tempo change stay put.
  EXPECT_EQ(doc.atRow(doc.noteRow(38))->ticks(), 480u);
  EXPECT_EQ(doc.atRow(doc.noteRow(67))->ticks(), 1480u);
  doc.ops.setSelection({doc.noteRow(64)});
  ASSERT_TRUE(doc.ops.shift(480, ShiftRange::SameTrack));
  EXPECT_TRUE(isConsistent(*doc.list));
  doc.undo.undo();
  doc.undo.undo();
  EXPECT_EQ(snapshot(*doc.list), original);
  EXPECT_FALSE(doc.ops.shift(480, ShiftRange::Selection));  // nothing selected
}

TEST(EditOperations, ShiftLeavesTheNoteOffsOfEarlierNotesAlone) {
  // Note 60 sounds over the reference (a volume change at 240); its note-off at 480 lies in
  // the range but stays, so note 60 keeps exactly one note-off.
  MidiFileBuilder file(1, 480);
  file.track().noteOn(0, 0, 60, 100).control(240, 0, 7, 50).noteOff(240, 0, 60).noteOn(0, 0, 62, 100).noteOff(480, 0, 62).endOfTrack();
  Document doc(file);
  doc.ops.setSelection({doc.rowOf(0xB0, 7)});
  ASSERT_TRUE(doc.ops.shift(720, ShiftRange::ToEnd));
  EXPECT_TRUE(isConsistent(*doc.list));
  EXPECT_EQ(doc.atRow(doc.noteRow(60))->duration(), 480u);
  EXPECT_EQ(doc.atRow(doc.noteRow(62))->ticks(), 960u);
}

TEST(EditOperations, BulkSecondChangesOnlyEventsOfTheModelsType) {
  Document doc(band());
  const int volume = doc.rowOf(0xB0, 7);
  const int pan = doc.rowOf(0xB0, 10);
  const int note = doc.noteRow(60);
  doc.ops.setSelection({volume, pan, note, doc.rowOf(0xC0, 1)});
  FMidiEventCopy model = doc.list->objectAtFilteredIndex(volume).copy();
  model.setThird(FieldValue(int64_t(33)));
  BulkChange change;
  change.third = true;
  ASSERT_TRUE(doc.ops.applyChanges(model, change));
  EXPECT_EQ(doc.undo.undoActionName(), "Change");
  EXPECT_EQ(doc.list->eventAtIndex(doc.list->wholeIndexAtIndex(doc.rowOf(0xB0, 7)))->third(), 33);
  EXPECT_EQ(doc.list->eventAtIndex(doc.list->wholeIndexAtIndex(doc.rowOf(0xB0, 10)))->third(), 64);  // another controller
  EXPECT_EQ(doc.atRow(doc.noteRow(60))->third(), 100);
  // A meta model gives no channel.
  doc.ops.setSelection({doc.rowOf(0xFF, 0x03), doc.noteRow(60)});
  BulkChange channel;
  channel.channel = true;
  EXPECT_FALSE(doc.ops.applyChanges(doc.list->objectAtFilteredIndex(doc.rowOf(0xFF, 0x03)).copy(), channel));
  EXPECT_EQ(doc.atRow(doc.noteRow(60))->channel(), 0);
  // Nothing to change: no undo step.
  doc.ops.setSelection({doc.rowOf(0xB0, 7)});
  const size_t steps = doc.undo.undoCount();
  EXPECT_FALSE(doc.ops.applyChanges(model, change));
  EXPECT_EQ(doc.undo.undoCount(), steps);
}

TEST(EditOperations, BulkChangeCanAddTheTrackTheModelAccepted) {
  Document doc(band());
  doc.ops.setSelection({doc.noteRow(60), doc.noteRow(64)});
  FMidiEventCopy model = doc.list->objectAtFilteredIndex(doc.noteRow(60)).copy();
  model.privateList()->setNumTracks(5);  // as after "Do you want to add a new track?"
  model.setTrackPlusOne(5);
  BulkChange change;
  change.track = true;
  const auto before = snapshot(*doc.list);
  ASSERT_TRUE(doc.ops.applyChanges(model, change));
  EXPECT_EQ(doc.list->numTracks(), 5);
  EXPECT_EQ(doc.atRow(doc.noteRow(64))->track(), 4);
  EXPECT_TRUE(isConsistent(*doc.list));
  doc.undo.undo();
  EXPECT_EQ(snapshot(*doc.list), before);
  EXPECT_EQ(doc.list->numTracks(), 3);
}

// Moving many events to another track at once gives the list that moving them one by one
// gives (order, note-offs, maps), and is undone exactly.
TEST(EditOperations, BulkTrackChangeGivesWhatMovingOneByOneGives) {
  for (int target : {1, 2, 3}) {
    SCOPED_TRACE(target);
    Document bulk(band()), single(band());
    IndexSet everything;
    for (int row = 0; row < bulk.list->filteredCount(); ++row) everything.insert(everything.end(), row);
    FMidiEventCopy model = bulk.list->objectAtFilteredIndex(bulk.noteRow(38)).copy();
    model.setTrackPlusOne(target);
    BulkChange change;
    change.track = true;
    bulk.ops.setSelection(everything);
    expectExactUndo(bulk, [&] { ASSERT_TRUE(bulk.ops.applyChanges(model, change)); });
    bulk.undo.redo();

    std::vector<std::pair<uint32_t, uint32_t>> ids;  // in row order
    for (int row : everything) ids.emplace_back(single.atRow(row)->eventID(), single.atRow(row)->ticks());
    for (const auto& [id, ticks] : ids) {
      const IndexRange run = single.list->indexRangeAtTicks(ticks);
      for (int w = run.location; w < run.location + run.length; ++w) {
        if (single.list->eventAtIndex(w)->eventID() != id) continue;
        FMidiEventPointer pointer(single.list->eventAtIndex(w), single.list.get());
        if (pointer.isEditableKey(FieldKey::TrackPlusOne)) pointer.setValueForKey(FieldKey::TrackPlusOne, int64_t(target));
        break;
      }
    }
    EXPECT_EQ(snapshot(*bulk.list), snapshot(*single.list));
    EXPECT_TRUE(isConsistent(*bulk.list));
  }
}

TEST(EditOperations, TheDocumentIsCleanAgainAfterUndoingBackToTheSavePoint) {
  Document doc(band());
  doc.undo.markClean();
  doc.ops.setSelection({doc.noteRow(60)});
  doc.ops.duplicate();
  doc.undo.markClean();  // saved
  doc.ops.setSelection({doc.noteRow(64)});
  doc.ops.cut();
  doc.ops.setSelection({});
  doc.ops.paste();
  EXPECT_FALSE(doc.undo.isClean());
  doc.undo.undo();
  EXPECT_FALSE(doc.undo.isClean());
  doc.undo.undo();
  EXPECT_TRUE(doc.undo.isClean());
  doc.undo.undo();
  EXPECT_FALSE(doc.undo.isClean());
  doc.undo.redo();
  EXPECT_TRUE(doc.undo.isClean());
}

TEST(EditOperations, RandomEditsAndUndoKeepTheListConsistent) {
  for (unsigned seed = 1; seed <= 40; ++seed) {
    Document doc(band());
    std::mt19937 random(seed);
    auto pick = [&](int n) { return int(random() % unsigned(n)); };
    const auto original = snapshot(*doc.list);
    for (int i = 0; i < 120; ++i) {
      IndexSet rows;
      const int n = doc.list->filteredCount();
      for (int k = pick(4); k >= 0 && n > 0; --k) rows.insert(pick(n));
      doc.ops.setSelection(rows);
      const int op = pick(9);
      switch (op) {
        case 0: doc.ops.clear(); break;
        case 1: doc.ops.cut(); break;
        case 2: doc.ops.copy(); break;
        case 3: doc.ops.paste(); break;
        case 4: doc.ops.duplicate(); break;
        case 5: doc.ops.shift(pick(3000), ShiftRange(pick(4))); break;
        case 6:
          if (!rows.empty()) {
            FMidiEventCopy model = doc.list->objectAtFilteredIndex(*rows.begin()).copy();
            model.privateList()->setNumTracks(3);
            if (model.isEditableKey(FieldKey::TrackPlusOne)) model.setTrackPlusOne(1 + pick(3));
            BulkChange change;
            change.track = true;
            change.third = pick(2);
            doc.ops.applyChanges(model, change);
          }
          break;
        case 7:
          if (doc.undo.canUndo()) doc.undo.undo();
          break;
        case 8:
          if (doc.undo.canRedo()) doc.undo.redo();
          break;
      }
      ASSERT_TRUE(isConsistent(*doc.list)) << "seed " << seed << " step " << i;
    }
    const auto edited = snapshot(*doc.list);
    int undone = 0;
    while (doc.undo.canUndo()) {
      doc.undo.undo();
      ASSERT_TRUE(isConsistent(*doc.list));
      ++undone;
    }
    EXPECT_EQ(snapshot(*doc.list), original) << "seed " << seed;
    for (int k = 0; k < undone; ++k) doc.undo.redo();
    EXPECT_EQ(snapshot(*doc.list), edited) << "seed " << seed;
  }
}

TEST(EventCollectionArchive, RoundTripsAndRefusesDamagedData) {
  FEventList::PasteboardData data{{1, 2, 3}, 96, "ABC"};
  const auto bytes = archiveEventCollection(data);
  auto back = unarchiveEventCollection(bytes);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->eventList, data.eventList);
  EXPECT_EQ(back->division, 96);
  EXPECT_EQ(back->srcUUID, "ABC");
  for (size_t cut = 0; cut < bytes.size(); cut += 7) {
    const std::vector<uint8_t> truncated(bytes.begin(), bytes.begin() + std::ptrdiff_t(cut));
    unarchiveEventCollection(truncated);  // must not crash
  }
  data.division = 0;
  EXPECT_FALSE(unarchiveEventCollection(archiveEventCollection(data)));
}

}  // namespace

TEST(EditOperations, PastedAndShiftedRepeatedNotesEndBeforeTheySoundAgain) {
  // One track of C4 quarter notes with a rest: 0-480 and 960-1440.
  MidiFileBuilder file(0, 480);
  file.track().noteOn(0, 0, 60, 100).noteOff(480, 0, 60).noteOn(480, 0, 60, 100).noteOff(480, 0, 60).endOfTrack();
  auto offBeforeOnAt = [](const FEventList& list, uint32_t ticks) {
    std::vector<uint8_t> statuses;
    for (const MidiEvent* e : list.events())
      if (e->ticks() == ticks && (e->isNoteOn() || e->isNoteOff())) statuses.push_back(e->status());
    return statuses == std::vector<uint8_t>{0x80, 0x90};
  };

  // The second note moved back onto the first one's end.
  Document shifted(file);
  shifted.ops.setSelection({shifted.list->indexForWholeIndex(find(*shifted.list, 0x90) + 2)});
  ASSERT_EQ(shifted.atRow(*shifted.ops.selection().begin())->ticks(), 960u);
  ASSERT_TRUE(shifted.ops.shift(480, ShiftRange::Selection));
  EXPECT_TRUE(offBeforeOnAt(*shifted.list, 480));

  // The first note pasted at the first one's end, its row selected so that the paste is
  // proposed right there.
  Document pasted(file);
  pasted.ops.setSelection({pasted.noteRow(60)});
  pasted.ops.copy();
  std::optional<PastePlan> plan = pasted.ops.pastePlan();
  ASSERT_TRUE(plan);
  plan->position = 480;
  plan->suggestedWholeIndex = find(*pasted.list, 0x80);
  ASSERT_TRUE(pasted.ops.paste(*plan));
  EXPECT_TRUE(offBeforeOnAt(*pasted.list, 480));
  EXPECT_TRUE(isConsistent(*pasted.list, true));
}

namespace {

// A four-track song of short notes with tempo changes, controllers, pitch bends and lyrics.
std::unique_ptr<Document> song() {
  MidiFileBuilder file(1, 480);
  file.track().tempo(0, 500000).timeSignature(0, 4, 2).tempo(700, 450000).tempo(700, 420000).endOfTrack();
  std::mt19937 rng(5);
  for (int t = 0; t < 3; ++t) {
    auto& track = file.track();
    for (int i = 0; i < 40; ++i) {
      const uint8_t key = uint8_t(48 + rng() % 24);
      track.noteOn(rng() % 40, uint8_t(t), key, 90);
      if (i % 5 == 0) track.control(0, uint8_t(t), 7, uint8_t(rng() % 128));
      if (t == 0 && i % 4 == 0) track.text(0, 0x05, "la");
      track.noteOff(20 + rng() % 200, uint8_t(t), key);
    }
    track.endOfTrack();
  }
  return std::make_unique<Document>(file);
}

IndexSet everyRow(const Document& doc) {
  IndexSet rows;
  for (int row = 0; row < doc.list->filteredCount(); ++row) rows.insert(row);
  return rows;
}

}  // namespace

TEST(EditOperations, EditsOfEveryEventAreUndoneExactly) {
  auto doc = song();
  expectExactUndo(*doc, [&] {
    doc->ops.setSelection({0});
    EXPECT_TRUE(doc->ops.shift(240, ShiftRange::ToEnd));
  });
  expectExactUndo(*doc, [&] {
    doc->ops.setSelection(everyRow(*doc));
    EXPECT_TRUE(doc->ops.duplicate());
  });
  const int before = doc->list->count();
  doc->ops.setSelection(everyRow(*doc));
  doc->ops.duplicate();
  EXPECT_EQ(doc->list->count(), 2 * before);
  EXPECT_TRUE(isConsistent(*doc->list));
  doc->undo.undo();
  expectExactUndo(*doc, [&] {
    IndexSet rows;
    for (int row = 0; row < doc->list->filteredCount(); ++row)
      if (doc->atRow(row)->isChannelMessage()) rows.insert(row);
    doc->ops.setSelection(rows);
    FMidiEventCopy model = doc->list->objectAtFilteredIndex(*rows.begin()).copy();
    model.setChannelPlusOne(9);
    BulkChange change;
    change.channel = true;
    EXPECT_TRUE(doc->ops.applyChanges(model, change));
  });
}

TEST(EditOperations, UndoRestoresTheTempoMapWhenTempoEventsShareATick) {
  // Two tempo events at one tick: moving one away leaves the other's entry in the map; undo
  // and redo give the maps back exactly.
  MidiFileBuilder file(1, 480);
  file.track().tempo(0, 500000).tempo(960, 400000).endOfTrack();
  file.track().tempo(960, 300000).noteOn(0, 0, 60, 90).noteOff(480, 0, 60).endOfTrack();
  Document doc(file);
  int row = -1;
  for (int r = 0; r < doc.list->filteredCount(); ++r)
    if (doc.atRow(r)->isMeta(meta::kTempo) && doc.atRow(r)->track() == 1) row = r;
  ASSERT_GE(row, 0);
  expectExactUndo(doc, [&] {
    doc.ops.setSelection({row});
    doc.ops.shift(1920, ShiftRange::Selection);
  });
  expectExactUndo(doc, [&] {
    EXPECT_TRUE(doc.ops.setValue(doc.list->wholeIndexAtIndex(row), FieldKey::TrackPlusOne, int64_t(1)));
  });
}

namespace {

// Track 0: a tempo at 0 and two at 960 (400000 then 300000 microseconds), a 3/4 and a 6/8 at
// 1920; track 1: a note.
MidiFileBuilder twoTemposAtOneTick() {
  MidiFileBuilder file(1, 480);
  file.track()
      .tempo(0, 500000)
      .tempo(960, 400000)
      .tempo(0, 300000)
      .timeSignature(960, 3, 2)
      .timeSignature(0, 6, 3)
      .endOfTrack();
  file.track().noteOn(0, 0, 60, 90).noteOff(480, 0, 60).endOfTrack();
  return file;
}

int rowOfMeta(const Document& doc, uint8_t type, int nth) {
  for (int row = 0; row < doc.list->filteredCount(); ++row)
    if (doc.atRow(row)->isMeta(type) && nth-- == 0) return row;
  return -1;
}

}  // namespace

TEST(EditOperations, MapsFollowTheEventsLeftAtATick) {
  // The last tempo or signature event of a tick sets the map there, as when the file is read;
  // taking one of two away leaves the other's value, not a hole.
  Document doc(twoTemposAtOneTick());
  ASSERT_DOUBLE_EQ(doc.list->tempoMap().at(960), 300000.0 / 480);
  // A copy of the first lands next to it, before the last.
  doc.ops.setSelection({rowOfMeta(doc, meta::kTempo, 1)});
  ASSERT_TRUE(doc.ops.duplicate());
  std::vector<uint32_t> tempos;
  for (const MidiEvent* e : doc.list->events())
    if (e->isMeta(meta::kTempo) && e->ticks() == 960) tempos.push_back(e->data()[3] << 16 | e->data()[4] << 8 | e->data()[5]);
  ASSERT_EQ(tempos, (std::vector<uint32_t>{400000, 400000, 300000}));
  EXPECT_DOUBLE_EQ(doc.list->tempoMap().at(960), 300000.0 / 480);
  doc.undo.undo();
  doc.ops.setSelection({rowOfMeta(doc, meta::kTempo, 2)});  // 300000
  doc.ops.clear();
  ASSERT_EQ(doc.list->tempoMap().count(960), 1u);
  EXPECT_DOUBLE_EQ(doc.list->tempoMap().at(960), 400000.0 / 480);
  doc.ops.setSelection({rowOfMeta(doc, meta::kTimeSignature, 0)});  // 3/4
  doc.ops.clear();
  ASSERT_EQ(doc.list->signatureMap().count(1920), 1u);
  EXPECT_EQ(doc.list->signatureMap().at(1920).num, 6);
  doc.ops.setSelection({rowOfMeta(doc, meta::kTempo, 1), rowOfMeta(doc, meta::kTimeSignature, 0)});
  doc.ops.clear();
  EXPECT_EQ(doc.list->tempoMap().count(960), 0u);
  EXPECT_EQ(doc.list->signatureMap().count(1920), 0u);
  doc.undo.undo();
  doc.undo.undo();
  doc.undo.undo();
  EXPECT_EQ(snapshot(*doc.list), snapshot(*Document(twoTemposAtOneTick()).list));
}

TEST(EditOperations, RedoAfterUndoingEverythingGivesTheEditedListBack) {
  // A shift moves one of two tempo events of a tick away; setting the other to its own value
  // then must leave the maps as they were or be an undo step of its own, so that redoing
  // every step ends on the edited list, maps included.
  Document doc(twoTemposAtOneTick());
  const auto original = snapshot(*doc.list);
  doc.ops.setSelection({rowOfMeta(doc, meta::kTempo, 1)});
  ASSERT_TRUE(doc.ops.shift(1440, ShiftRange::Selection));
  const int kept = rowOfMeta(doc, meta::kTempo, 1);
  ASSERT_EQ(doc.atRow(kept)->ticks(), 960u);
  doc.ops.setSelection({kept});
  FMidiEventCopy model = doc.list->objectAtFilteredIndex(kept).copy();
  BulkChange change;
  change.third = true;
  doc.ops.applyChanges(model, change);
  const auto edited = snapshot(*doc.list);
  int undone = 0;
  for (; doc.undo.canUndo(); ++undone) doc.undo.undo();
  EXPECT_EQ(snapshot(*doc.list), original);
  for (int k = 0; k < undone; ++k) doc.undo.redo();
  EXPECT_EQ(snapshot(*doc.list), edited);
}

TEST(EditOperations, AChangeThatMovesOnlyTheMapsIsUndoable) {
  // Maps out of step with the events (as restored by an older undo record): re-setting the
  // tempo to its own value puts the entry back, and that is one undo step.
  Document doc(twoTemposAtOneTick());
  TempoMap withoutEntry = doc.list->tempoMap();
  withoutEntry.erase(960);
  doc.list->restoreMaps(withoutEntry, doc.list->signatureMap());
  const auto before = snapshot(*doc.list);
  const int row = rowOfMeta(doc, meta::kTempo, 2);
  doc.ops.setSelection({row});
  FMidiEventCopy model = doc.list->objectAtFilteredIndex(row).copy();
  BulkChange change;
  change.third = true;
  EXPECT_TRUE(doc.ops.applyChanges(model, change));
  const auto after = snapshot(*doc.list);
  ASSERT_NE(after, before);
  ASSERT_TRUE(doc.undo.canUndo());
  doc.undo.undo();
  EXPECT_EQ(snapshot(*doc.list), before);
  doc.undo.redo();
  EXPECT_EQ(snapshot(*doc.list), after);
}

namespace {

// The rows a fresh filter() gives the list as it is.
std::vector<int> refiltered(FEventList& list) {
  const std::vector<int> kept = list.filteredIndex();
  list.filter();
  std::vector<int> fresh = list.filteredIndex();
  EXPECT_EQ(kept, fresh) << "the rows were not in step with the list";
  return fresh;
}

}  // namespace

// A cell edit changes only the rows of the events it touches: an event the filters would now
// hide keeps its row until the next filter(), and undo gives the view back exactly.
TEST(EditOperations, CellEditsKeepTheRowsInStepWithoutRefiltering) {
  Document doc(band());
  doc.list->setChannelMask(0x0001);  // channel 1 only (and the meta events)
  doc.list->filter();
  const std::vector<int> before = doc.list->filteredIndex();
  const int row = doc.noteRow(64);
  ASSERT_GE(row, 0);
  const int whole = doc.list->wholeIndexAtIndex(row);

  ASSERT_TRUE(doc.ops.setValue(whole, FieldKey::ChannelPlusOne, int64_t(2)));
  EXPECT_EQ(doc.list->filteredIndex(), before);  // still shown, now on channel 2
  EXPECT_EQ(doc.atRow(row)->channel(), 1);
  doc.undo.undo();
  EXPECT_EQ(doc.list->filteredIndex(), before);
  EXPECT_EQ(doc.atRow(row)->channel(), 0);

  // Moving the note re-creates it and its note-off elsewhere; the rows follow both ways.
  ASSERT_TRUE(doc.ops.setValue(whole, FieldKey::Ticks, int64_t(100)));
  refiltered(*doc.list);
  EXPECT_TRUE(isConsistent(*doc.list));
  doc.undo.undo();
  EXPECT_EQ(doc.list->filteredIndex(), before);
  doc.undo.redo();
  refiltered(*doc.list);
  doc.undo.undo();
  EXPECT_EQ(refiltered(*doc.list), before);
}
