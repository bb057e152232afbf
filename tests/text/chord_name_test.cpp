#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "text/chord_name.h"
#include "text/xf_chord.h"

namespace sw {
namespace {

using Bytes = std::vector<uint8_t>;

std::vector<std::string> sampleTypes() {
  std::vector<std::string> types{"", "m7", "7", "maj7", "m7b5", "sus4", "dim7", "+", "6/9", "(9)"};
  for (uint8_t i = 1; i < XFChord::kTypeCount; ++i) types.emplace_back(XFChord::typeName(i));
  return types;
}

TEST(ChordNameTest, EveryRootAccidentalTypeAndBassSpellsBack) {
  const std::string letters = "ABCDEFG";
  const std::string accidentals[] = {" ", "b", "#"};
  const std::string basses[] = {"", "/C", "/Eb", "/F#", "/A", "/g"};
  for (char letter : letters)
    for (const auto& accidental : accidentals)
      for (const auto& type : sampleTypes())
        for (const auto& bass : basses) {
          std::string text = std::string(1, letter) + accidental + type + bass;
          // Lower-case bass letters are read, and spelled in upper case.
          std::string expected = bass == "/g" ? text.substr(0, text.size() - 1) + "G" : text;
          SCOPED_TRACE(text);
          auto strict = parseChordStrict(text);
          auto lenient = parseChordLenient(text);
          ASSERT_TRUE(strict);
          ASSERT_TRUE(lenient);
          EXPECT_EQ(*strict, *lenient);
          EXPECT_EQ(strict->type, type);
          EXPECT_EQ(strict->hasBass(), !bass.empty());
          EXPECT_EQ(spellChord(*strict), expected);
          std::string compact = expected;
          std::erase(compact, ' ');
          EXPECT_EQ(spellChord(*strict, 0, true), compact);
          // The compact form parses leniently to the same chord.
          auto again = parseChordLenient(compact);
          ASSERT_TRUE(again);
          EXPECT_EQ(spellChord(*again, 0, true), compact);
        }
}

TEST(ChordNameTest, RecordFields) {
  auto chord = parseChordStrict("C#m7/Eb");
  ASSERT_TRUE(chord);
  EXPECT_EQ(chord->root, 4);
  EXPECT_EQ(chord->rootAccidental, 1);
  EXPECT_EQ(chord->rootAccidentalChar, '#');
  EXPECT_EQ(chord->bass, 8);
  EXPECT_EQ(chord->bassAccidental, -1);
  EXPECT_EQ(chord->type, "m7");
  EXPECT_EQ(spellChord(*chord), "C#m7/Eb");

  chord = parseChordLenient("A m7/E");
  ASSERT_TRUE(chord);
  EXPECT_EQ(chord->bassAccidentalChar, '\0');  // the bass letter ends the text
  chord = parseChordLenient("Am/Ex");
  EXPECT_EQ(chord->bassAccidentalChar, ' ');
  EXPECT_EQ(spellChord(*chord), "A m/E");
  EXPECT_EQ(parseChordLenient("G  m 7")->type, "m7");
  EXPECT_EQ(parseChordStrict("G")->type, "");
}

TEST(ChordNameTest, StrictAndLenientRejections) {
  EXPECT_FALSE(parseChordStrict("Cm7"));
  EXPECT_TRUE(parseChordLenient("Cm7"));
  EXPECT_EQ(spellChord(*parseChordLenient("Cm7")), "C m7");
  for (const char* text : {"", "c", "cm7", "H7", " C", "/E", "\xC3\xA9"}) {
    EXPECT_FALSE(parseChordLenient(text)) << text;
    EXPECT_FALSE(parseChordStrict(text)) << text;
  }
  std::string longText = "C m" + std::string(48, '7');
  EXPECT_FALSE(parseChordStrict(longText));
  EXPECT_TRUE(parseChordStrict(longText.substr(0, 50)));
}

TEST(ChordNameTest, SlashWithoutNoteLetterStaysInType) {
  auto chord = parseChordLenient("C6/9");
  ASSERT_TRUE(chord);
  EXPECT_FALSE(chord->hasBass());
  EXPECT_EQ(chord->type, "6/9");
  chord = parseChordLenient("C6/9/E");
  EXPECT_EQ(chord->type, "6/9");
  EXPECT_EQ(chord->bass, 8);
  chord = parseChordLenient("C/");
  EXPECT_FALSE(chord->hasBass());
  EXPECT_EQ(spellChord(*chord, 0, true), "C/");
}

TEST(ChordNameTest, LongTypesAreCutWithoutSplittingCharacters) {
  std::string type(31, 'x');
  auto chord = parseChordLenient("C " + type + "\xC3\xA9\xC3\xA9");  // é straddles byte 32
  ASSERT_TRUE(chord);
  EXPECT_EQ(chord->type, type);
  chord = parseChordLenient("C " + std::string(400, 'm') + "/E");
  ASSERT_TRUE(chord);
  EXPECT_EQ(chord->type.size(), ChordName::kMaxTypeLength);
  EXPECT_FALSE(chord->hasBass());  // the slash is past the first 255 bytes
}

TEST(ChordNameTest, Transposition) {
  auto spell = [](const char* text, int t, bool compact = false) {
    return spellChord(*parseChordLenient(text), t, compact);
  };
  EXPECT_EQ(spell("C#m7/E", 2), "Ebm7/Gb");
  EXPECT_EQ(spell("G", 1), "Ab");
  EXPECT_EQ(spell("G m", 2), "A m");
  EXPECT_EQ(spell("G m", 2, true), "Am");
  EXPECT_EQ(spell("Ab7", -1), "G 7");
  EXPECT_EQ(spell("C", 12), "C ");
  EXPECT_EQ(spell("C", -25), "B ");
  EXPECT_EQ(spell("C/E", 1000), spell("C/E", 1000 % 12));
  EXPECT_EQ(spell("C", INT32_MIN), spell("C", INT32_MIN % 12));

  // Up and down again gives the same pitches, spelled from the note list.
  for (const char* text : {"Cb", "C", "C#", "Db", "E#", "Fb", "G#", "Ab", "B#"}) {
    for (int t = -30; t <= 30; ++t) {
      if (t == 0) continue;
      auto chord = parseChordLenient(text);
      auto moved = parseChordLenient(spellChord(*chord, t, true));
      ASSERT_TRUE(moved) << text << " " << t;
      auto back = parseChordLenient(spellChord(*moved, -t, true));
      EXPECT_EQ(spellChord(*back, 12, true), spellChord(*chord, 12, true)) << text << " " << t;
    }
  }
}

// ---- XF chord control bytes ----------------------------------------------------------------

XFChordControl cc(uint8_t root, uint8_t type, uint8_t bass = 127, uint8_t bassType = 127) {
  return {root, type, bass, bassType};
}

TEST(XFChordTest, ControlBytesToText) {
  EXPECT_EQ(XFChord::processCC(cc(0x31, 0x0A)), "Cmin7");
  EXPECT_EQ(XFChord::processCC(cc(0x44, 0x13, 0x36)), "F#7th/A");
  EXPECT_EQ(XFChord::processCC(cc(0x31, 0, 0x31, 5)), "C");  // bass equal to the root is not shown
  EXPECT_EQ(XFChord::processCC(cc(0x31, 8, 0x33, 8)), "Cmin/E");
  EXPECT_EQ(XFChord::processCC(cc(0x31, 8, 0x33, 10)), "Cmin/Emin7");
  EXPECT_EQ(XFChord::processCC(cc(0x07, 34, 0x61)), "Bbbbcc/C###");
}

TEST(XFChordTest, ValidationMessagesInOrder) {
  struct Case {
    XFChordControl control;
    const char* message;
  };
  const Case cases[] = {
      {cc(0x38, 0), "Invalid note number"},
      {cc(0x30, 99, 0, 0), "Invalid note number"},
      {cc(0x71, 0), "Invalid inversion number"},
      {cc(0x71, 99), "Invalid inversion number"},
      {cc(0x31, 35), "Invalid chord type number"},
      {cc(0x31, 0, 0x38, 35), "Invalid bass chord type number"},
      {cc(0x31, 0, 0x38, 127), "Invalid bass note number"},
      {cc(0x31, 0, 0x71, 0), "Invalid bass inversion number"},
  };
  for (const auto& c : cases) {
    XFChord chord(c.control);
    EXPECT_EQ(chord.string(), c.message);
    EXPECT_FALSE(chord.isValid());
    EXPECT_EQ(chord.data().size(), 10u);  // still a complete event
    // A message never reads back as a chord.
    EXPECT_FALSE(parseChordStrict(chord.string())) << c.message;
  }
}

TEST(XFChordTest, TextToControlBytes) {
  EXPECT_EQ(XFChord::processString("Bb/D"), cc(0x27, 0, 0x32, 0));
  EXPECT_EQ(XFChord::processString(" F # 7th / A "), cc(0x44, 19, 0x36, 0));
  EXPECT_EQ(XFChord::processString("C/"), cc(0x31, 0));
  EXPECT_EQ(XFChord::processString("C/ \t"), cc(0x31, 0));
  EXPECT_EQ(XFChord::processString("C/E/G"), cc(0x31, 0, 0x33, 0));
  EXPECT_EQ(XFChord::processString("xmin"), cc(0x31, 8));   // unknown letter counts as C
  EXPECT_EQ(XFChord::processString("cmin7"), cc(0x31, 10));
  EXPECT_EQ(XFChord::processString("CMin7"), cc(0x31, 0));  // type names are case-sensitive
  EXPECT_EQ(XFChord::processString("C#b7th"), cc(0x31, 19)); // mixed run is natural
  EXPECT_EQ(XFChord::processString("Ccc"), cc(0x31, 34));
  EXPECT_EQ(XFChord::processString(""), cc(0, 0));
  EXPECT_EQ(XFChord("").string(), "Invalid note number");
}

TEST(XFChordTest, EveryValidControlRoundTrips) {
  std::vector<uint8_t> notes;
  for (uint8_t accidental = 0; accidental < 7; ++accidental)
    for (uint8_t letter = 1; letter <= 7; ++letter) notes.push_back(uint8_t(accidental << 4 | letter));
  for (uint8_t root : notes)
    for (uint8_t type = 0; type < XFChord::kTypeCount; ++type) {
      std::vector<XFChordControl> controls{cc(root, type), cc(root, type, root == 0x33 ? 0x34 : 0x33, 0),
                                           cc(root, type, root == 0x27 ? 0x26 : 0x27, type == 10 ? 11 : 10)};
      for (const auto& control : controls) {
        XFChord chord(control);
        ASSERT_TRUE(chord.isValid()) << chord.string();
        EXPECT_EQ(XFChord::processString(chord.string()), control) << chord.string();
        XFChord again(chord.string());
        EXPECT_EQ(again.data(), chord.data());
      }
    }
}

TEST(XFChordTest, MetaEvents) {
  const Bytes bytes{0xFF, 0x7F, 0x07, 0x43, 0x7B, 0x01, 0x44, 0x13, 0x36, 0x7F};
  MidiEvent event(bytes.data(), uint32_t(bytes.size()), 2, 960);
  auto chord = XFChord::fromMetaEvent(event);
  ASSERT_TRUE(chord);
  EXPECT_EQ(chord->string(), "F#7th/A");
  EXPECT_EQ(chord->data(), bytes);

  MidiEvent built = chord->metaEvent(3, 480);
  EXPECT_EQ(Bytes(built.data(), built.data() + built.length()), bytes);
  // A bass written as text gets the major bass type.
  EXPECT_EQ(XFChord("F#7th/A").data().back(), 0);
  EXPECT_EQ(built.track(), 3);
  EXPECT_EQ(built.ticks(), 480u);

  // Invalid bytes still give a chord, with the message as text.
  Bytes invalid = bytes;
  invalid[6] = 0x38;
  chord = XFChord::fromMetaEvent(MidiEvent(invalid.data(), uint32_t(invalid.size()), 0, 0));
  ASSERT_TRUE(chord);
  EXPECT_EQ(chord->string(), "Invalid note number");

  const Bytes notChords[] = {
      {0xFF, 0x7F, 0x08, 0x43, 0x7B, 0x01, 0x44, 0x13, 0x36, 0x7F, 0x00},  // 8 data bytes
      {0xFF, 0x7F, 0x06, 0x43, 0x7B, 0x01, 0x44, 0x13, 0x36},               // 6
      {0xFF, 0x7F, 0x07, 0x43, 0x7B, 0x00, 0x44, 0x13, 0x36, 0x7F},         // other XF event
      {0xFF, 0x7F, 0x07, 0x41, 0x7B, 0x01, 0x44, 0x13, 0x36, 0x7F},         // other maker
      {0xFF, 0x01, 0x07, 0x43, 0x7B, 0x01, 0x44, 0x13, 0x36, 0x7F},         // text event
      {0xFF, 0x7F, 0x07, 0x43, 0x7B},                                       // truncated
      {0xFF, 0x7F},
      {0xF0, 0x07, 0x43, 0x7B, 0x01, 0x44, 0x13, 0x36, 0xF7},
      {0x90, 0x40, 0x40},
  };
  for (const auto& b : notChords)
    EXPECT_FALSE(XFChord::fromMetaEvent(MidiEvent(b.data(), uint32_t(b.size()), 0, 0)));
}

TEST(XFChordTest, TypeNames) {
  const auto& types = XFChord::types();
  ASSERT_EQ(types.size(), 34u);
  EXPECT_EQ(types.front(), "Maj");
  EXPECT_EQ(types[10], "min7");
  EXPECT_EQ(types.back(), "1+2+5");
  EXPECT_EQ(XFChord::typeName(35), nullptr);
  EXPECT_EQ(XFChord::typeIndex("Maj"), 0);
}

}  // namespace
}  // namespace sw
