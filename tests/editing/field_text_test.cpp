#include <gtest/gtest.h>

#include "editing/midi_names.h"
#include "editing_test_util.h"
#include "text/xf_chord.h"

using namespace sw;
using namespace swtest;

namespace {

// One event of every kind the editor shows, on track 0 of a format-0 file.
std::unique_ptr<FEventList> everyKind() {
  MidiFileBuilder file(0, 480);
  file.track()
      .timeSignature(0, 3, 2)
      .tempo(0, 500000)
      .meta(0, 0x59, {0xFD, 1})
      .meta(0, 0x54, {0x61, 2, 3, 4, 5})
      .meta(0, 0x00, {0x01, 0x02})
      .meta(0, 0x21, {3})
      .meta(0, 0x4B, {2, 'A', 'b'})
      .text(0, 0x05, "Hi")
      .meta(0, 0x7F, {0x43, 0x7B, 0x01, 0x31, 0x00, 0x7F, 0x7F})
      .meta(0, 0x7F, {0x00, 0x00, 0x41})
      .meta(0, 0x60, {1})
      .sysex(0, {0x7E, 0x7F, 0x09, 0x01, 0xF7})
      .noteOn(0, 2, 60, 100)
      .control(0, 2, 7, 100)
      .program(0, 9, 5)
      .pitchBend(0, 3, 0)
      .raw(0, {0xA4, 61, 30})
      .raw(0, {0xD5, 40})
      .noteOff(480, 2, 60, 64)
      .pitchBend(0, 3, 0x2000)
      .control(480, 0, 10, 64)
      .meta(0, 0x59, {8, 0})
      .endOfTrack();
  return listFrom(file);
}

FMidiEventPointer at(FEventList& list, uint8_t status, int type = -1) {
  const int w = find(list, status, type);
  EXPECT_GE(w, 0) << "no event of status " << int(status);
  return *list.objectAtWholeIndex(w);
}

std::string third(FEventList& list, uint8_t status, int type = -1) { return fieldText(at(list, status, type).third()); }

}  // namespace

TEST(FieldText, MetaEventThirds) {
  auto list = everyKind();
  EXPECT_EQ(third(*list, 0xFF, 0x58), "3/4, Click: 24, MIDI Clock: 8");
  EXPECT_EQ(std::get<double>(at(*list, 0xFF, 0x51).third()), 120.0);
  EXPECT_EQ(third(*list, 0xFF, 0x59), "Cm");
  EXPECT_EQ(third(*list, 0xFF, 0x54), "01 : 02 : 03 : 04 : 05, 30 FPS");
  EXPECT_EQ(std::get<int64_t>(at(*list, 0xFF, 0x00).third()), 258);
  EXPECT_EQ(std::get<int64_t>(at(*list, 0xFF, 0x21).third()), 4);
  EXPECT_EQ(third(*list, 0xFF, 0x4B), "[2]Ab");
  EXPECT_EQ(third(*list, 0xFF, 0x05), "Hi");
  EXPECT_EQ(third(*list, 0xFF, 0x7F), "XFChord:" + XFChord(XFChordControl{0x31, 0, 127, 127}).string());
  EXPECT_EQ(third(*list, 0xFF, 0x60), "unknown");
  EXPECT_EQ(std::get<int64_t>(at(*list, 0xFF, 0x05).second()), 5);

  // The second sequencer-specific event is no chord: an empty cell; sf 8 is no key.
  int plain = -1, badKey = -1;
  for (int i = 0; i < list->count(); ++i) {
    const MidiEvent* e = list->eventAtIndex(i);
    if (e->isMeta(0x7F) && e->metaDataSize() == 3) plain = i;
    if (e->isMeta(0x59) && e->metaData()[0] == 8) badKey = i;
  }
  ASSERT_GE(plain, 0);
  ASSERT_GE(badKey, 0);
  EXPECT_TRUE(isEmpty(list->objectAtWholeIndex(plain)->third()));
  EXPECT_EQ(fieldText(list->objectAtWholeIndex(badKey)->third()), "INVALID");
}

TEST(FieldText, ChannelEventFields) {
  auto list = everyKind();
  auto on = at(*list, 0x90);
  EXPECT_EQ(fieldText(on.second()), "C3");
  EXPECT_EQ(fieldText(on.third()), "100 064 480");
  EXPECT_EQ(on.channelPlusOne(), 3);
  EXPECT_EQ(fieldText(on.channelOrIcon()), "3");
  EXPECT_EQ(on.dataString(), "92 3C 64");
  EXPECT_EQ(fieldText(at(*list, 0x80).second()), "C3");
  EXPECT_EQ(fieldText(at(*list, 0x80).third()), "64");
  EXPECT_EQ(fieldText(at(*list, 0xA0).second()), "Db3");
  EXPECT_EQ(fieldText(at(*list, 0xA0).third()), "30");
  EXPECT_EQ(fieldText(at(*list, 0xB0).second()), "7");
  EXPECT_EQ(fieldText(at(*list, 0xB0).third()), "100");
  EXPECT_TRUE(isEmpty(at(*list, 0xC0).third()));
  EXPECT_TRUE(at(*list, 0xC0).isDrumPatch());
  EXPECT_FALSE(at(*list, 0xB0).isDrumPatch());
  EXPECT_EQ(fieldText(at(*list, 0xD0).second()), "40");
  EXPECT_TRUE(isEmpty(at(*list, 0xE0).second()));
  EXPECT_EQ(fieldText(at(*list, 0xE0).third()), "-8192");
  int centre = -1;
  for (int i = 0; i < list->count(); ++i)
    if (list->eventAtIndex(i)->status() == 0xE0 && list->eventAtIndex(i)->ticks() == 480) centre = i;
  EXPECT_EQ(fieldText(list->objectAtWholeIndex(centre)->third()), "0");

  EXPECT_EQ(MidiEventPointer::noteName(0), "C-2");
  EXPECT_EQ(MidiEventPointer::noteName(127), "G8");
}

TEST(FieldText, SysexAndIcons) {
  auto list = everyKind();
  auto sysex = at(*list, 0xF0);
  EXPECT_EQ(sysex.dataString(), "F0 7E 7F 09 01 F7");
  EXPECT_EQ(fieldText(sysex.channelOrIcon()), "SymbolS");
  EXPECT_EQ(sysex.channelPlusOne(), 0);
  EXPECT_EQ(fieldText(sysex.second()), sysex.sysex().manufacturer() + " " + sysex.sysex().type());
  auto tempo = at(*list, 0xFF, 0x51);
  EXPECT_EQ(fieldText(tempo.icon()), "SymbolM");
  EXPECT_EQ(tempo.dataString(), "FF 51 07 A1 20");
  EXPECT_TRUE(isEmpty(at(*list, 0x90).icon()));
}

TEST(FieldText, PositionsAndDescription) {
  auto list = everyKind();
  int late = -1;
  for (int i = 0; i < list->count(); ++i)
    if (list->eventAtIndex(i)->status() == 0xB0 && list->eventAtIndex(i)->ticks() == 960) late = i;
  ASSERT_GE(late, 0);
  auto cc = *list->objectAtWholeIndex(late);
  EXPECT_EQ(cc.measure(), "001:03:000");  // 3/4: beat 3 of the first measure
  // The SMPTE offset event of the file (01:02:03:04) starts the clock; a second later.
  EXPECT_EQ(cc.frame(), "01:02:04:04");
  EXPECT_DOUBLE_EQ(cc.beats(), 2.0);
  EXPECT_EQ(cc.description(), "001:03:000\t0\t0\t176\t10\t64\t01:02:04:04");
  // Meta events leave the channel item empty.
  EXPECT_EQ(at(*list, 0xFF, 0x05).description(), "001:01:000\t0\t\t255\t5\tHi\t01:02:03:04");
  EXPECT_EQ(std::get<int64_t>(cc.valueForKey(FieldKey::WholeIndex)), late);
  EXPECT_EQ(std::get<int64_t>(cc.valueForKey(FieldKey::Index)), late);
}

TEST(FieldText, MalformedMetaDataStaysInBounds) {
  FEventList list;
  list.showEverything();
  const uint8_t cut[2] = {0xFF, 0x51};
  const uint8_t shortTempo[4] = {0xFF, 0x51, 0x01, 0x07};
  const uint8_t shortSignature[4] = {0xFF, 0x58, 0x01, 0x04};
  list.insertEvent(std::make_unique<MidiEvent>(cut, 2, 0, 10));
  list.insertEvent(std::make_unique<MidiEvent>(shortTempo, 4, 0, 20));
  list.insertEvent(std::make_unique<MidiEvent>(shortSignature, 4, 0, 30));
  for (int i = 0; i < list.count(); ++i) {
    auto p = *list.objectAtWholeIndex(i);
    for (int k = 0; k <= int(FieldKey::Description); ++k) (void)p.valueForKey(FieldKey(k));
  }
  for (int i = 0; i < list.count(); ++i) {
    const MidiEvent* e = list.eventAtIndex(i);
    auto p = *list.objectAtWholeIndex(i);
    if (e->ticks() == 10) EXPECT_EQ(p.dataString(), "INVALID DATA");
    if (e->ticks() >= 10) EXPECT_TRUE(isEmpty(p.third()));
  }
}

TEST(FieldText, EditableKeysFollowTheKind) {
  auto list = everyKind();
  EXPECT_FALSE(at(*list, 0x80).isEditableKey(FieldKey::Ticks));
  EXPECT_TRUE(at(*list, 0x90).isEditableKey(FieldKey::Third));
  EXPECT_FALSE(at(*list, 0x90).isEditableKey(FieldKey::DataString));
  EXPECT_FALSE(at(*list, 0xC0).isEditableKey(FieldKey::Third));
  EXPECT_FALSE(at(*list, 0xE0).isEditableKey(FieldKey::Second));
  EXPECT_TRUE(at(*list, 0xF0).isEditableKey(FieldKey::DataString));
  EXPECT_FALSE(at(*list, 0xF0).isEditableKey(FieldKey::Second));
  EXPECT_FALSE(at(*list, 0xF0).isEditableKey(FieldKey::Third));  // GM System On carries no text
  EXPECT_TRUE(at(*list, 0xFF, 0x51).isEditableKey(FieldKey::Third));
  EXPECT_FALSE(at(*list, 0xFF, 0x51).isEditableKey(FieldKey::DataString));
  EXPECT_FALSE(at(*list, 0xFF, 0x60).isEditableKey(FieldKey::Ticks));
  auto chord = at(*list, 0xFF, 0x7F);
  EXPECT_TRUE(chord.isEditableKey(FieldKey::Third));
  EXPECT_FALSE(chord.isEditableKey(FieldKey::ChannelOrIcon));
  EXPECT_FALSE(chord.isEditableKey(FieldKey::Beats));  // read-only everywhere
  for (int i = 0; i < list->count(); ++i) {
    if (!list->eventAtIndex(i)->isMeta(0x7F) || list->eventAtIndex(i)->metaDataSize() != 3) continue;
    auto plain = *list->objectAtWholeIndex(i);
    EXPECT_TRUE(plain.isEditableKey(FieldKey::DataString));
    EXPECT_FALSE(plain.isEditableKey(FieldKey::Third));
  }
  // An End of Track event has no editable cell.
  FEventList empty;
  const uint8_t eot[3] = {0xFF, 0x2F, 0x00};
  empty.insertEvent(std::make_unique<MidiEvent>(eot, 3, 0, 100));
  for (int k = 0; k <= int(FieldKey::Description); ++k)
    EXPECT_FALSE(empty.objectAtWholeIndex(find(empty, 0xFF, 0x2F))->isEditableKey(FieldKey(k)));
}

TEST(MidiNames, ListsAndLookups) {
  EXPECT_EQ(MidiNames::gmNames().size(), 128u);
  EXPECT_EQ(MidiNames::gmNames()[0], "Acoustic Grand Piano");
  EXPECT_EQ(MidiNames::gmNames()[127], "Gunshot");
  EXPECT_EQ(MidiNames::gmGroups().size(), 16u);
  EXPECT_EQ(MidiNames::controllers().size(), 128u);
  EXPECT_EQ(MidiNames::controllers()[7], "Volume");
  EXPECT_STREQ(MidiNames::percussionName(35), "Acoustic Bass Drum");
  EXPECT_STREQ(MidiNames::percussionName(81), "Open Triangle");
  EXPECT_EQ(MidiNames::percussionName(26), nullptr);
  EXPECT_EQ(MidiNames::percussionName(88), nullptr);
  EXPECT_NE(MidiNames::gmDrumName(0), nullptr);
  EXPECT_EQ(MidiNames::gmDrumName(1), nullptr);
  EXPECT_EQ(MidiNames::eventKeys().size(), MidiNames::eventNames().size());
  EXPECT_EQ(MidiNames::metaEventKeys().size(), MidiNames::metaEventNames().size());
  EXPECT_EQ(MidiNames::eventKeyFromName("Note-On"), 0x90);
  EXPECT_EQ(MidiNames::eventKeyFromName("program change"), 0xC0);
  EXPECT_EQ(MidiNames::eventKeyFromName("sysex"), 0xF0);
  EXPECT_EQ(MidiNames::eventKeyFromName("0x93"), 0x90);
  EXPECT_EQ(MidiNames::eventKeyFromName("0x40"), -1);
  EXPECT_EQ(MidiNames::eventKeyFromName("banana"), -1);
  EXPECT_EQ(MidiNames::metaEventKeyFromName("Lyric"), 0x05);
  EXPECT_EQ(MidiNames::metaEventKeyFromName("time signature"), 0x58);
  EXPECT_EQ(MidiNames::metaEventKeyFromName("81"), 81);
  EXPECT_EQ(MidiNames::metaEventKeyFromName("200"), -1);
  EXPECT_EQ(MidiNames::metaEventKeyFromName(""), -1);
}
