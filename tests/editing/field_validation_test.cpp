#include <gtest/gtest.h>

#include "editing/editor_feedback.h"
#include "editing/editor_strings.h"
#include "editing_test_util.h"

using namespace sw;
using namespace swtest;

namespace {

std::unique_ptr<FEventList> threeTracks() {
  MidiFileBuilder file(1, 480);
  file.track().timeSignature(0, 4, 2).tempo(0, 500000).meta(0, 0x59, {0, 0}).endOfTrack();
  file.track().noteOn(0, 0, 60, 100).noteOff(480, 0, 60).control(0, 0, 7, 90).endOfTrack();
  file.track()
      .sysex(10, {0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7})
      .meta(0, 0x54, {0x60, 0, 0, 0, 0})
      .meta(0, 0x4B, {1, 'x'})
      .meta(0, 0x7F, {0x43, 0x7B, 0x01, 0x31, 0x00, 0x7F, 0x7F})
      .pitchBend(0, 1, 0x2000)
      .endOfTrack();
  return listFrom(file);
}

bool accepts(MidiEventPointer& p, FieldKey key, FieldValue value, FieldValue* normal = nullptr) {
  std::string error;
  const bool ok = p.validateValue(key, value, &error);
  if (normal) *normal = value;
  if (!ok) {
    EXPECT_EQ(error, localizedString("INCORRECT_VALUE"));
  }
  return ok;
}

}  // namespace

TEST(NoteParser, NamesOctavesAndLimits) {
  int note = -1;
  EXPECT_TRUE(MidiEventPointer::processNote("C3", &note));
  EXPECT_EQ(note, 60);
  EXPECT_TRUE(MidiEventPointer::processNote("C", &note));
  EXPECT_EQ(note, 24);
  EXPECT_TRUE(MidiEventPointer::processNote("C-2", &note));
  EXPECT_EQ(note, 0);
  EXPECT_TRUE(MidiEventPointer::processNote("db3", &note));
  EXPECT_EQ(note, 61);
  EXPECT_TRUE(MidiEventPointer::processNote(" c # 3", &note));
  EXPECT_EQ(note, 61);
  EXPECT_TRUE(MidiEventPointer::processNote("G8", &note));
  EXPECT_EQ(note, 127);
  EXPECT_FALSE(MidiEventPointer::processNote("B8", &note));
  EXPECT_FALSE(MidiEventPointer::processNote("Cb3", &note));
  EXPECT_FALSE(MidiEventPointer::processNote("C9", &note));
  EXPECT_FALSE(MidiEventPointer::processNote("C-3", &note));
  EXPECT_FALSE(MidiEventPointer::processNote("", &note));
  EXPECT_FALSE(MidiEventPointer::processNote("3", &note));
  EXPECT_FALSE(MidiEventPointer::processNote("C3x", &note));
  EXPECT_FALSE(MidiEventPointer::processNote("C99999999999999999999", &note));
  EXPECT_FALSE(MidiEventPointer::processNote("\xC3\x28", &note));
}

TEST(NumberParsers, RangesAndMissingNumbers) {
  int v, o, d;
  EXPECT_TRUE(MidiEventPointer::processNoteThird("100 064 480", &v, &o, &d));
  EXPECT_EQ(v, 100);
  EXPECT_EQ(o, 64);
  EXPECT_EQ(d, 480);
  EXPECT_TRUE(MidiEventPointer::processNoteThird("a1b2c3", &v, &o, &d));
  EXPECT_FALSE(MidiEventPointer::processNoteThird("100 64", &v, &o, &d));
  EXPECT_FALSE(MidiEventPointer::processNoteThird("128 64 1", &v, &o, &d));
  EXPECT_FALSE(MidiEventPointer::processNoteThird("1 64 1000000", &v, &o, &d));
  EXPECT_FALSE(MidiEventPointer::processNoteThird("1 64 99999999999999999999999", &v, &o, &d));

  SMPTERec s;
  EXPECT_TRUE(MidiEventPointer::processSMPTE("01 02 03 04 05", &s));
  EXPECT_EQ(s, (SMPTERec{3, 1, 2, 3, 4, 5}));
  EXPECT_FALSE(MidiEventPointer::processSMPTE("24 0 0 0 0", &s));
  EXPECT_FALSE(MidiEventPointer::processSMPTE("0 0 0 30 0", &s));
  EXPECT_FALSE(MidiEventPointer::processSMPTE("0 0 0 0", &s));

  TimeSignatureRec t;
  EXPECT_TRUE(MidiEventPointer::processTimeSignature("6/8, Click: 36, MIDI Clock: 8", &t));
  EXPECT_EQ(t, (TimeSignatureRec{6, 8, 36, 8}));
  EXPECT_FALSE(MidiEventPointer::processTimeSignature("3/6 24 8", &t));
  EXPECT_FALSE(MidiEventPointer::processTimeSignature("3/128 24 8", &t));
  EXPECT_FALSE(MidiEventPointer::processTimeSignature("0/4 24 8", &t));
  EXPECT_FALSE(MidiEventPointer::processTimeSignature("100/4 24 8", &t));
  EXPECT_FALSE(MidiEventPointer::processTimeSignature("4/4 0 8", &t));
  EXPECT_FALSE(MidiEventPointer::processTimeSignature("4/4 24", &t));

  int8_t sf;
  uint8_t mode;
  EXPECT_TRUE(MidiEventPointer::processKeySignature("f#m", &sf, &mode));
  EXPECT_EQ(sf, 3);
  EXPECT_EQ(mode, 1);
  EXPECT_TRUE(MidiEventPointer::processKeySignature(" E b ", &sf, &mode));
  EXPECT_EQ(sf, -3);
  EXPECT_EQ(mode, 0);
  EXPECT_TRUE(MidiEventPointer::processKeySignature("Cb", &sf, &mode));
  EXPECT_EQ(sf, -7);
  EXPECT_FALSE(MidiEventPointer::processKeySignature("H", &sf, &mode));
  EXPECT_FALSE(MidiEventPointer::processKeySignature("", &sf, &mode));
}

TEST(HexParsers, SysexAndSequencerSpecific) {
  QuietLog log;
  std::vector<uint8_t> data;
  ASSERT_TRUE(MidiEventPointer::processSysexDataString("F0 41 10 42 12 40 00 7F 00 41 F7", &data));
  EXPECT_EQ(data, (std::vector<uint8_t>{0xF0, 10, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7}));
  // A wrong Roland checksum is corrected.
  ASSERT_TRUE(MidiEventPointer::processSysexDataString("f0,41,10,42,12,40,00,7f,00,00,f7 trailing", &data));
  EXPECT_EQ(data[10], 0x41);
  EXPECT_FALSE(MidiEventPointer::processSysexDataString("F0 41 80 F7", &data));
  EXPECT_TRUE(log.has("Invalid hex value: 80"));
  EXPECT_FALSE(MidiEventPointer::processSysexDataString("F0 4G F7", &data));
  EXPECT_TRUE(log.has("Invalid hex string"));
  EXPECT_FALSE(MidiEventPointer::processSysexDataString("F0 41 10", &data));
  EXPECT_FALSE(MidiEventPointer::processSysexDataString("41 F7", &data));
  EXPECT_FALSE(MidiEventPointer::processSysexDataString("", &data));
  // 200 bytes after F0: a two-byte length.
  std::string longText = "F0";
  for (int i = 0; i < 199; ++i) longText += " 01";
  longText += " F7";
  ASSERT_TRUE(MidiEventPointer::processSysexDataString(longText, &data));
  EXPECT_EQ(data.size(), 203u);
  EXPECT_EQ(data[1], 0x81);
  EXPECT_EQ(data[2], 0x48);

  ASSERT_TRUE(MidiEventPointer::processSequencerSpecific("FF 7F 43 7B 01", &data));
  EXPECT_EQ(data, (std::vector<uint8_t>{0xFF, 0x7F, 3, 0x43, 0x7B, 0x01}));
  ASSERT_TRUE(MidiEventPointer::processSequencerSpecific("FF 7F 01 FF 02", &data));
  EXPECT_EQ(data, (std::vector<uint8_t>{0xFF, 0x7F, 1, 0x01}));
  EXPECT_FALSE(MidiEventPointer::processSequencerSpecific("FF 51 01", &data));
  EXPECT_FALSE(MidiEventPointer::processSequencerSpecific("FF", &data));
  EXPECT_FALSE(MidiEventPointer::processSequencerSpecific("FF 7F 100", &data));
}

TEST(Validation, TicksMeasureAndChannel) {
  auto list = threeTracks();
  auto cc = *list->objectAtWholeIndex(find(*list, 0xB0));
  FieldValue normal;
  EXPECT_FALSE(accepts(cc, FieldKey::Ticks, int64_t(0), &normal));
  EXPECT_EQ(std::get<int64_t>(normal), 480);  // the current value comes back
  EXPECT_FALSE(accepts(cc, FieldKey::Ticks, int64_t(-5)));
  EXPECT_FALSE(accepts(cc, FieldKey::Ticks, std::string("12abc")));
  EXPECT_TRUE(accepts(cc, FieldKey::Ticks, std::string(" 960 "), &normal));
  EXPECT_EQ(std::get<int64_t>(normal), 960);

  EXPECT_TRUE(accepts(cc, FieldKey::Measure, std::string("001:01:000")));
  EXPECT_TRUE(accepts(cc, FieldKey::Measure, std::string("3:4:479")));
  EXPECT_FALSE(accepts(cc, FieldKey::Measure, std::string("001:05:000")));
  EXPECT_FALSE(accepts(cc, FieldKey::Measure, std::string("001:01:480")));
  EXPECT_FALSE(accepts(cc, FieldKey::Measure, std::string("0:1:0")));
  EXPECT_FALSE(accepts(cc, FieldKey::Measure, std::string("garbage"), &normal));
  EXPECT_EQ(std::get<std::string>(normal), "001:02:000");
  int32_t ticks = -1;
  EXPECT_TRUE(cc.processMeasure("001:01:000", &ticks));
  EXPECT_EQ(ticks, 0);
  EXPECT_TRUE(cc.processMeasure("2:2:10", &ticks));
  EXPECT_EQ(ticks, 1920 + 480 + 10);
  // A time signature stands on the first beat of a measure.
  auto signature = *list->objectAtWholeIndex(find(*list, 0xFF, 0x58));
  EXPECT_TRUE(signature.processMeasure("3:1:0", &ticks));
  EXPECT_EQ(ticks, 3840);
  EXPECT_FALSE(signature.processMeasure("3:2:0", &ticks));
  EXPECT_FALSE(signature.processMeasure("3:1:5", &ticks));

  EXPECT_TRUE(accepts(cc, FieldKey::ChannelPlusOne, int64_t(16)));
  EXPECT_FALSE(accepts(cc, FieldKey::ChannelPlusOne, int64_t(17)));
  EXPECT_FALSE(accepts(cc, FieldKey::ChannelOrIcon, int64_t(0)));
}

TEST(Validation, TrackAdditionAsksTheUser) {
  auto list = threeTracks();
  auto cc = *list->objectAtWholeIndex(find(*list, 0xB0));
  int asked = 0;
  std::string informative;
  bool answer = false;
  auto previous = EditorFeedback::setTrackAdditionHandler([&](const TrackAdditionPrompt& prompt) {
    ++asked;
    informative = prompt.informativeText;
    EXPECT_EQ(prompt.message, "Do you want to add a new track?");
    return answer;
  });
  FieldValue normal;
  EXPECT_TRUE(accepts(cc, FieldKey::TrackPlusOne, int64_t(3)));
  EXPECT_FALSE(accepts(cc, FieldKey::TrackPlusOne, int64_t(0)));
  EXPECT_EQ(asked, 0);
  EXPECT_FALSE(accepts(cc, FieldKey::TrackPlusOne, int64_t(5), &normal));  // "Cancel"
  EXPECT_EQ(std::get<int64_t>(normal), 2);
  EXPECT_EQ(list->numTracks(), 3);
  answer = true;
  EXPECT_TRUE(accepts(cc, FieldKey::TrackPlusOne, int64_t(5), &normal));  // "Add"
  EXPECT_EQ(std::get<int64_t>(normal), 4);
  EXPECT_EQ(list->numTracks(), 4);
  EXPECT_EQ(informative, "This document currently contains 3 track(s).");
  EXPECT_EQ(asked, 2);
  EditorFeedback::setTrackAdditionHandler(previous);
  // Without a handler the answer is "Cancel".
  EXPECT_FALSE(accepts(cc, FieldKey::TrackPlusOne, int64_t(9)));
}

TEST(Validation, SecondThirdAndDataString) {
  QuietLog log;
  auto list = threeTracks();
  auto on = *list->objectAtWholeIndex(find(*list, 0x90));
  FieldValue normal;
  EXPECT_TRUE(accepts(on, FieldKey::Second, std::string("c#3"), &normal));
  EXPECT_EQ(std::get<std::string>(normal), "Db3");
  EXPECT_FALSE(accepts(on, FieldKey::Second, std::string("B8"), &normal));
  EXPECT_EQ(std::get<std::string>(normal), "C3");
  EXPECT_TRUE(accepts(on, FieldKey::Third, std::string("1 2 3")));
  EXPECT_FALSE(accepts(on, FieldKey::Third, std::string("1 2")));
  EXPECT_FALSE(accepts(on, FieldKey::DataString, std::string("90 3C 40")));

  auto cc = *list->objectAtWholeIndex(find(*list, 0xB0));
  EXPECT_TRUE(accepts(cc, FieldKey::Third, int64_t(127)));
  EXPECT_FALSE(accepts(cc, FieldKey::Third, int64_t(200)));
  EXPECT_FALSE(accepts(cc, FieldKey::Second, int64_t(128)));
  auto bend = *list->objectAtWholeIndex(find(*list, 0xE0));
  EXPECT_TRUE(accepts(bend, FieldKey::Third, int64_t(-8192)));
  EXPECT_FALSE(accepts(bend, FieldKey::Third, int64_t(8192)));

  auto tempo = *list->objectAtWholeIndex(find(*list, 0xFF, 0x51));
  EXPECT_TRUE(accepts(tempo, FieldKey::Third, std::string("96.5")));
  EXPECT_FALSE(accepts(tempo, FieldKey::Third, std::string("0")));
  EXPECT_FALSE(accepts(tempo, FieldKey::Third, std::string("1")));  // 60 s per quarter: no room
  EXPECT_FALSE(accepts(tempo, FieldKey::Third, std::string("fast")));
  auto key = *list->objectAtWholeIndex(find(*list, 0xFF, 0x59));
  EXPECT_TRUE(accepts(key, FieldKey::Third, std::string("f#m")));
  EXPECT_FALSE(accepts(key, FieldKey::Third, std::string("X")));
  auto smpte = *list->objectAtWholeIndex(find(*list, 0xFF, 0x54));
  EXPECT_FALSE(accepts(smpte, FieldKey::Third, std::string("25:00:00:00:00")));
  auto signature = *list->objectAtWholeIndex(find(*list, 0xFF, 0x58));
  EXPECT_FALSE(accepts(signature, FieldKey::Third, std::string("4/3 24 8")));
  auto tag = *list->objectAtWholeIndex(find(*list, 0xFF, 0x4B));
  EXPECT_TRUE(accepts(tag, FieldKey::Third, std::string("[5]Title")));
  EXPECT_FALSE(accepts(tag, FieldKey::Third, std::string("[6]Title")));
  EXPECT_FALSE(accepts(tag, FieldKey::Third, std::string("[1")));
  auto chord = *list->objectAtWholeIndex(find(*list, 0xFF, 0x7F));
  EXPECT_TRUE(accepts(chord, FieldKey::Third, std::string("XFChord:Am7")));
  EXPECT_FALSE(accepts(chord, FieldKey::Third, std::string("XFChord:")));

  auto sysex = *list->objectAtWholeIndex(find(*list, 0xF0));
  EXPECT_TRUE(accepts(sysex, FieldKey::DataString, std::string("F0 7E 7F 09 01 F7")));
  EXPECT_FALSE(accepts(sysex, FieldKey::DataString, std::string("F0 41 80 F7"), &normal));
  EXPECT_EQ(std::get<std::string>(normal), sysex.dataString());
  EXPECT_FALSE(accepts(tempo, FieldKey::DataString, std::string("FF 51 03 07 A1 20")));
}
