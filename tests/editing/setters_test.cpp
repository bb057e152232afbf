#include <gtest/gtest.h>

#include "editing/editor_feedback.h"
#include "editing_test_util.h"

using namespace sw;
using namespace swtest;

namespace {

// Track 0: maps and texts; track 1: a note, a controller, a bend; track 2: a lone note-on.
std::unique_ptr<FEventList> song() {
  MidiFileBuilder file(1, 480);
  file.track()
      .timeSignature(0, 4, 2)
      .tempo(0, 500000)
      .text(480, 0x01, "words")
      .meta(0, 0x54, {0x60, 0, 0, 0, 0})
      .meta(0, 0x59, {0, 0})
      .endOfTrack();
  file.track()
      .noteOn(0, 0, 60, 100)
      .control(0, 0, 7, 90)
      .pitchBend(0, 0, 0x2000)
      .noteOff(240, 0, 60, 64)
      .endOfTrack();
  file.track().sysex(0, {0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7}).endOfTrack();
  return listFrom(file);
}

FMidiEventPointer pointerTo(FEventList& list, uint8_t status, int type = -1) {
  const int w = find(list, status, type);
  EXPECT_GE(w, 0);
  return *list.objectAtWholeIndex(w);
}

const MidiEvent* partnerOf(const MidiSequence& seq, const MidiEvent* on) {
  const int p = seq.noteOffIndexForNoteOn(on);
  return p >= 0 ? seq.eventAtIndex(p) : nullptr;
}

// The whole index of the nth meta event of that type (from 0), -1 when none.
int findNth(const MidiSequence& seq, uint8_t type, int nth) {
  for (int i = 0; i < seq.count(); ++i)
    if (seq.eventAtIndex(i)->isMeta(type) && nth-- == 0) return i;
  return -1;
}

std::vector<uint8_t> payload(const MidiEvent* e) { return {e->metaData(), e->metaData() + e->metaDataSize()}; }

template <typename Exception, typename F>
std::string reasonOf(F f) {
  try {
    f();
  } catch (const Exception& e) {
    return e.what();
  }
  return "no exception";
}

}  // namespace

TEST(NoteSetters, ThirdMovesThePartner) {
  auto list = song();
  auto on = pointerTo(*list, 0x90);
  on.setThird(std::string("100 064 480"));
  EXPECT_EQ(on.midiEvent()->third(), 100);
  EXPECT_EQ(on.midiEvent()->offVelocity(), 64);
  EXPECT_EQ(on.midiEvent()->duration(), 480u);
  const MidiEvent* off = partnerOf(*list, on.midiEvent());
  ASSERT_NE(off, nullptr);
  EXPECT_EQ(off->ticks(), 480u);
  EXPECT_TRUE(isConsistent(*list));

  on.setThird(std::string("90 30 0"));  // a zero-length note keeps its note-off after it
  EXPECT_EQ(on.midiEvent()->offVelocity(), 30);
  EXPECT_TRUE(isConsistent(*list));

  EXPECT_EQ(reasonOf<std::invalid_argument>([&] { on.setThird(std::string("1 2")); }),
            "error -50 while setting note on data");
  EXPECT_EQ(reasonOf<std::out_of_range>([&] { on.setNoteOnDuration(-1); }), "invalid duration: -1");
  EXPECT_TRUE(isConsistent(*list));
}

TEST(NoteSetters, KeyChannelTrackAndVelocityFollowToThePartner) {
  auto list = song();
  auto on = pointerTo(*list, 0x90);
  on.setSecond(std::string("D3"));
  EXPECT_EQ(on.midiEvent()->second(), 62);
  on.setChannelPlusOne(5);
  EXPECT_EQ(on.midiEvent()->channel(), 4);
  on.setNoteOffVelocity(12);
  const MidiEvent* off = partnerOf(*list, on.midiEvent());
  ASSERT_NE(off, nullptr);
  EXPECT_EQ(off->second(), 62);
  EXPECT_EQ(off->channel(), 4);
  EXPECT_EQ(off->third(), 12);

  // Moving to track 3 keeps tracks ordered within the ticks and takes the note-off along.
  on.setTrackPlusOne(3);
  EXPECT_EQ(on.midiEvent()->track(), 2);
  off = partnerOf(*list, on.midiEvent());
  ASSERT_NE(off, nullptr);
  EXPECT_EQ(off->track(), 2);
  EXPECT_TRUE(isConsistent(*list));
  EXPECT_THROW(on.setTrack(3), std::out_of_range);
  EXPECT_TRUE(isConsistent(*list));
}

TEST(NoteSetters, DurationWithoutPartnerChangesNothing) {
  QuietLog log;
  FEventList list;
  list.showEverything();
  list.filter();
  const uint8_t on[3] = {0x90, 60, 100};
  list.MidiSequence::insertEvent(std::make_unique<MidiEvent>(on, 3, 0, 10, 100, 64));  // no note-off
  auto p = pointerTo(list, 0x90);
  p.setNoteOnDuration(50);
  EXPECT_EQ(p.midiEvent()->duration(), 100u);
  p.setNoteOffVelocity(5);
  EXPECT_EQ(p.midiEvent()->offVelocity(), 64);
  EXPECT_EQ(list.count(), 3);
}

TEST(TimeSetters, MovingANoteWithHiddenNoteOffs) {
  auto list = song();
  list->setMidiMask(uint16_t(0xFFFF & ~(1u << 8)));
  list->filter();
  ReloadCounter reloads;
  auto on = pointerTo(*list, 0x90);
  on.setTicks(1000);
  EXPECT_EQ(on.midiEvent()->ticks(), 1000u);
  EXPECT_GE(on.index(), 0);
  const MidiEvent* off = partnerOf(*list, on.midiEvent());
  ASSERT_NE(off, nullptr);
  EXPECT_EQ(off->ticks(), 1240u);
  EXPECT_EQ(list->indexForWholeIndex(list->indexOfEvent(off)), -1);
  EXPECT_TRUE(isConsistent(*list));
  const std::vector<int> view = list->filteredIndex();
  list->filter();
  EXPECT_EQ(view, list->filteredIndex());
  EXPECT_GE(reloads.count, 1);
  EXPECT_EQ(reloads.lastList, list->uuidStr());

  on.setMeasure("001:02:000");
  EXPECT_EQ(on.midiEvent()->ticks(), 480u);
  on.setMeasure("nonsense");
  EXPECT_EQ(on.midiEvent()->ticks(), 480u);
  EXPECT_TRUE(isConsistent(*list));
}

TEST(TimeSetters, MovingATempoMovesItsMapEntry) {
  auto list = song();
  auto tempo = pointerTo(*list, 0xFF, 0x51);
  tempo.setThird(std::string("96"));
  EXPECT_DOUBLE_EQ(list->tempoMap().at(0), 625000.0 / 480);
  EXPECT_EQ(payload(tempo.midiEvent()), (std::vector<uint8_t>{0x09, 0x89, 0x68}));
  tempo.setTicks(960);
  EXPECT_DOUBLE_EQ(list->tempoMap().at(960), 625000.0 / 480);
  EXPECT_DOUBLE_EQ(list->tempoMap().at(0), 500000.0 / 480);  // the default again
  EXPECT_TRUE(isConsistent(*list));
  EXPECT_THROW(tempo.setThird(std::string("0")), std::invalid_argument);
  EXPECT_THROW(tempo.setThird(std::string("2")), std::invalid_argument);
  EXPECT_EQ(payload(tempo.midiEvent()), (std::vector<uint8_t>{0x09, 0x89, 0x68}));
}

TEST(TimeSetters, PlainSequencePointersKeepPairsToo) {
  MidiSequence seq;
  const uint8_t on[3] = {0x90, 60, 100};
  seq.insertEvent(std::make_unique<MidiEvent>(on, 3, 0, 0, 240, 64));
  seq.insertNoteOffForNoteOn(seq.eventAtIndex(find(seq, 0x90)));
  MidiEventPointer p(seq.eventAtIndex(find(seq, 0x90)), &seq);
  p.setTicks(100);
  EXPECT_TRUE(isConsistent(seq));
  p.setNoteOnDuration(0);
  EXPECT_TRUE(isConsistent(seq));
  p.setNoteOnDuration(30);
  EXPECT_EQ(seq.eventAtIndex(seq.noteOffIndexForNoteOn(p.midiEvent()))->ticks(), 130u);
  EXPECT_TRUE(isConsistent(seq));
}

TEST(KindSetters, StatusChangesRebuildTheEvent) {
  auto list = song();
  auto cc = pointerTo(*list, 0xB0);
  cc.setStatus(0xC0);
  EXPECT_EQ(cc.data(), (std::vector<uint8_t>{0xC0, 7}));
  cc.setStatus(0x90);
  EXPECT_EQ(cc.midiEvent()->status(), 0x90);
  EXPECT_EQ(cc.midiEvent()->duration(), 1u);
  EXPECT_EQ(cc.midiEvent()->offVelocity(), 64);
  EXPECT_EQ(cc.midiEvent()->third(), 64);  // velocity 0 would mean a note-off
  const MidiEvent* off = partnerOf(*list, cc.midiEvent());
  ASSERT_NE(off, nullptr);
  EXPECT_EQ(off->ticks(), 1u);
  EXPECT_TRUE(isConsistent(*list));
  // Back to a controller: the partner goes.
  cc.setStatus(0xB0);
  EXPECT_EQ(cc.midiEvent()->duration(), 0u);
  EXPECT_TRUE(isConsistent(*list));
  cc.setStatus(0xFF);
  EXPECT_EQ(cc.data(), (std::vector<uint8_t>{0xFF, 0x01, 0x00}));
  cc.setStatus(0xF0);
  EXPECT_EQ(cc.data(), (std::vector<uint8_t>{0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7}));
  cc.setStatus(0xE0);
  EXPECT_EQ(cc.data(), (std::vector<uint8_t>{0xE0, 0x05, 0x7E}));  // data bytes keep 7 bits
  EXPECT_TRUE(isConsistent(*list));

  // A tempo turned into a controller gives its map entry back.
  auto tempo = pointerTo(*list, 0xFF, 0x51);
  tempo.setThird(std::string("60"));
  tempo.setStatus(0xB0);
  EXPECT_DOUBLE_EQ(list->tempoMap().at(0), 500000.0 / 480);
  EXPECT_TRUE(isConsistent(*list));
}

TEST(KindSetters, MetaTypeChanges) {
  QuietLog log;
  int beeps = 0;
  auto previous = EditorFeedback::setBeepHandler([&] { ++beeps; });
  auto list = song();
  auto text = pointerTo(*list, 0xFF, 0x01);
  text.setSecond(int64_t(0x05));
  EXPECT_EQ(text.midiEvent()->second(), 0x05);
  EXPECT_EQ(fieldText(text.third()), "words");
  text.setSecond(int64_t(0x51));  // a new tempo of 120 BPM at tick 480, in the map too
  EXPECT_EQ(payload(text.midiEvent()), (std::vector<uint8_t>{0x07, 0xA1, 0x20}));
  ASSERT_TRUE(list->tempoMap().count(480));
  EXPECT_DOUBLE_EQ(list->tempoMap().at(480), 500000.0 / 480);
  text.setThird(std::string("240"));
  EXPECT_DOUBLE_EQ(list->tempoMap().at(480), 250000.0 / 480);

  text.setSecond(int64_t(0x2F));  // not creatable: nothing changes, the map keeps its entry
  EXPECT_TRUE(log.has("second is not settable to type: 2F"));
  EXPECT_EQ(beeps, 1);
  EXPECT_TRUE(text.midiEvent()->isMeta(0x51));
  EXPECT_TRUE(list->tempoMap().count(480));
  text.setSecond(int64_t(0x58));
  EXPECT_EQ(payload(text.midiEvent()), (std::vector<uint8_t>{4, 2, 24, 8}));
  EXPECT_FALSE(list->tempoMap().count(480));
  EXPECT_TRUE(list->signatureMap().count(480));
  text.setSecond(int64_t(0x4B));
  EXPECT_EQ(payload(text.midiEvent()), (std::vector<uint8_t>{1}));
  EXPECT_FALSE(list->signatureMap().count(480));

  auto bend = pointerTo(*list, 0xE0);
  bend.setSecond(int64_t(3));
  EXPECT_TRUE(log.has("second is not settable for status: E0"));
  EXPECT_EQ(beeps, 2);
  EXPECT_TRUE(isConsistent(*list));
  EditorFeedback::setBeepHandler(previous);
}

TEST(MetaSetters, ThirdsByType) {
  QuietLog log;
  auto list = song();
  auto smpte = pointerTo(*list, 0xFF, 0x54);
  smpte.setThird(std::string("01 02 03 04 05"));
  EXPECT_EQ(payload(smpte.midiEvent()), (std::vector<uint8_t>{0x61, 0x02, 0x03, 0x04, 0x05}));
  EXPECT_EQ(reasonOf<std::invalid_argument>([&] { smpte.setThird(std::string("99 0 0 0 0")); }),
            "error -50 while setting SMPTE");

  auto signature = pointerTo(*list, 0xFF, 0x58);
  signature.setThird(std::string("6/8, Click: 36, MIDI Clock: 8"));
  EXPECT_EQ(payload(signature.midiEvent()), (std::vector<uint8_t>{6, 3, 36, 8}));
  EXPECT_EQ(list->signatureMap().at(0), (TimeSignatureRec{6, 8, 36, 8}));
  EXPECT_EQ(reasonOf<std::invalid_argument>([&] { signature.setThird(std::string("6/7 1 1")); }),
            "error -50 while setting Time Signature");

  auto key = pointerTo(*list, 0xFF, 0x59);
  key.setThird(std::string("f#m"));
  EXPECT_EQ(payload(key.midiEvent()), (std::vector<uint8_t>{3, 1}));
  EXPECT_EQ(fieldText(key.third()), "F#m");
  EXPECT_EQ(reasonOf<std::invalid_argument>([&] { key.setThird(std::string("Q")); }),
            "error -50 while setting Key Signature");

  auto text = pointerTo(*list, 0xFF, 0x01);
  text.setThird(std::string("caf\xC3\xA9"));  // stored in ISO Latin 1, the list's encoding
  EXPECT_EQ(payload(text.midiEvent()), (std::vector<uint8_t>{'c', 'a', 'f', 0xE9}));
  text.setThird(std::string("\xE6\x97\xA5"));  // no Latin 1 form: unchanged
  EXPECT_EQ(payload(text.midiEvent()), (std::vector<uint8_t>{'c', 'a', 'f', 0xE9}));
  text.setSecond(int64_t(0x4B));
  text.setThird(std::string("[3]Name"));
  EXPECT_EQ(payload(text.midiEvent()), (std::vector<uint8_t>{3, 'N', 'a', 'm', 'e'}));
  EXPECT_EQ(fieldText(text.third()), "[3]Name");
  text.setSecond(int64_t(0x21));
  text.setThird(int64_t(2));
  EXPECT_EQ(payload(text.midiEvent()), (std::vector<uint8_t>{1}));
  text.setSecond(int64_t(0x00));
  text.setThird(int64_t(258));
  EXPECT_EQ(payload(text.midiEvent()), (std::vector<uint8_t>{1, 2}));
  EXPECT_TRUE(isConsistent(*list));
}

TEST(ChannelSetters, ValuesStayDataBytes) {
  auto list = song();
  auto bend = pointerTo(*list, 0xE0);
  bend.setThird(int64_t(-1));
  EXPECT_EQ(bend.data(), (std::vector<uint8_t>{0xE0, 0x7F, 0x3F}));
  bend.setThird(int64_t(100000));
  EXPECT_EQ(bend.data(), (std::vector<uint8_t>{0xE0, 0x7F, 0x7F}));
  EXPECT_EQ(fieldText(bend.third()), "8191");
  auto cc = pointerTo(*list, 0xB0);
  cc.setThird(int64_t(300));
  cc.setSecond(int64_t(-4));
  EXPECT_EQ(cc.data(), (std::vector<uint8_t>{0xB0, 0, 127}));
}

TEST(DataSetters, SysexAndSequencerSpecificTexts) {
  auto list = song();
  auto sysex = pointerTo(*list, 0xF0);
  sysex.setDataString("F0 41 10 42 12 40 00 7F 00 00 F7");  // checksum corrected
  EXPECT_EQ(sysex.data(), (std::vector<uint8_t>{0xF0, 10, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7}));
  QuietLog log;
  EXPECT_EQ(reasonOf<std::invalid_argument>([&] { sysex.setDataString("F0 41 80 F7"); }),
            "error -50 while setting sysex data");
  auto text = pointerTo(*list, 0xFF, 0x01);
  text.setSecond(int64_t(0x7F));
  text.setDataString("FF 7F 43 7B 01 31 00 7F 7F");
  EXPECT_TRUE(text.isXFChord());
  text.setThird(std::string("XFChord:Amin7"));
  EXPECT_EQ(fieldText(text.third()), "XFChord:Amin7");
  text.setThird(std::string("XFChord:"));  // no chord: unchanged
  EXPECT_EQ(fieldText(text.third()), "XFChord:Amin7");
  EXPECT_EQ(reasonOf<std::invalid_argument>([&] { text.setDataString("FF 51 01"); }),
            "error -50 while setting meta event data");
  auto cc = pointerTo(*list, 0xB0);
  cc.setDataString("F0 01 F7");  // ignored for channel events
  EXPECT_EQ(cc.midiEvent()->status(), 0xB0);
  EXPECT_THROW(cc.setData({}), std::invalid_argument);
  EXPECT_THROW(cc.setData({0x30, 1}), std::invalid_argument);
  EXPECT_TRUE(isConsistent(*list));
}

TEST(DispatchSetters, ValuesByKey) {
  auto list = song();
  auto on = pointerTo(*list, 0x90);
  on.setValueForKey(FieldKey::Third, std::string("80 10 100"));
  on.setValueForKey(FieldKey::Second, std::string("E3"));
  on.setValueForKey(FieldKey::Ticks, std::string("30"));
  EXPECT_EQ(on.midiEvent()->ticks(), 30u);
  EXPECT_EQ(on.midiEvent()->second(), 64);
  EXPECT_EQ(on.midiEvent()->duration(), 100u);
  EXPECT_TRUE(isConsistent(*list));
  EXPECT_THROW(on.setValueForKey(FieldKey::Ticks, std::string("x")), std::invalid_argument);
  EXPECT_THROW(on.setValueForKey(FieldKey::Beats, int64_t(1)), std::invalid_argument);
  EXPECT_THROW(on.setValueForKey(FieldKey::Ticks, int64_t(-1)), std::out_of_range);
}

TEST(DataSetters, SysexTextStaysSevenBit) {
  // A Midisoft lyric line: its text lies inside the message, where every byte is a data byte.
  MidiFileBuilder file(0, 480);
  file.track().sysex(0, {0x00, 0x20, 0x24, 0x00, 0x04, 'H', 'i', 0xF7}).endOfTrack();
  auto list = listFrom(file);
  auto line = pointerTo(*list, 0xF0);
  const auto before = line.data();
  std::string error;
  FieldValue accented = std::string("Caf\xC3\xA9");  // "Café": é is E9 in Latin 1
  EXPECT_FALSE(line.validateValue(FieldKey::Third, accented, &error));
  line.setThird(accented);
  EXPECT_EQ(line.data(), before);
  for (const uint8_t byte : line.data()) {
    if (byte == 0xF0 || byte == 0xF7) continue;
    EXPECT_LT(byte, 0x80);
  }
  FieldValue plain = std::string("Cafe");
  EXPECT_TRUE(line.validateValue(FieldKey::Third, plain, &error));
}

// Two tempo and two signature events share tick 960: the map follows the last of each kind,
// whichever of them a setter changes or turns into something else.
TEST(TimeSetters, MapsFollowTheLastEventAtATick) {
  MidiFileBuilder file(1, 480);
  file.track()
      .tempo(960, 600000)  // 100 BPM, hidden by the next
      .tempo(0, 400000)    // 150 BPM
      .timeSignature(0, 3, 2)
      .timeSignature(0, 6, 3)
      .endOfTrack();
  auto list = listFrom(file);
  auto at = [&](uint8_t type, int nth) { return *list->objectAtWholeIndex(findNth(*list, type, nth)); };
  ASSERT_DOUBLE_EQ(list->tempoMap().at(960), 400000.0 / 480);

  at(0x51, 0).setThird(std::string("50"));  // the hidden one
  EXPECT_DOUBLE_EQ(list->tempoMap().at(960), 400000.0 / 480);
  at(0x51, 1).setThird(std::string("120"));
  EXPECT_DOUBLE_EQ(list->tempoMap().at(960), 500000.0 / 480);
  at(0x51, 1).setSecond(int64_t(0x01));  // no longer a tempo: the one left rules
  EXPECT_DOUBLE_EQ(list->tempoMap().at(960), 1200000.0 / 480);
  at(0x51, 0).setData({0xFF, 0x01, 0x00});  // the last tempo there goes: the entry too
  EXPECT_FALSE(list->tempoMap().count(960));

  at(0x58, 0).setThird(std::string("5/4 24 8"));  // hidden by 6/8
  EXPECT_EQ(list->signatureMap().at(960).num, 6);
  at(0x58, 1).setSecond(int64_t(0x59));
  EXPECT_EQ(list->signatureMap().at(960).num, 5);
  EXPECT_EQ(list->signatureMap().at(960).denom, 4);
  EXPECT_TRUE(isConsistent(*list));
}
