#include "text/chord_transposer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "smf/midi_sequence.h"
#include "sysex/sysex.h"
#include "text/xf_chord.h"

using namespace sw;

namespace {

using Bytes = std::vector<uint8_t>;

std::unique_ptr<MidiEvent> make(const Bytes& bytes, uint32_t ticks, uint8_t track = 0) {
  return std::make_unique<MidiEvent>(bytes.data(), uint32_t(bytes.size()), track, ticks);
}

std::unique_ptr<MidiEvent> textEvent(uint8_t type, const std::string& text, uint32_t ticks) {
  Bytes bytes{0xFF, type, uint8_t(text.size())};
  bytes.insert(bytes.end(), text.begin(), text.end());
  return make(bytes, ticks);
}

std::string textOf(const MidiEvent* e) {
  return std::string(reinterpret_cast<const char*>(e->metaData()), e->metaDataSize());
}

Bytes bytesOf(const MidiEvent* e) { return Bytes(e->data(), e->data() + e->length()); }

Bytes midisoftChord(const std::string& text) {
  Bytes bytes{0xF0, uint8_t(text.size() + 6), 0x00, 0x20, 0x24, 0x00, 0x01};
  bytes.insert(bytes.end(), text.begin(), text.end());
  bytes.push_back(0xF7);
  return bytes;
}

// Texts after tick 0 in the order inserted, each on its own tick.
class ChordTransposerTest : public ::testing::Test {
 protected:
  // Inserts the event and answers it, now the sequence's.
  MidiEvent* add(std::unique_ptr<MidiEvent> e) {
    MidiEvent* at = e.get();
    seq.insertEvent(std::move(e));
    return at;
  }
  std::string transposedText(uint8_t type, const std::string& text, int semitones) {
    MidiEvent* e = add(textEvent(type, text, 100));
    seq.changePitch(semitones, ChordTransposer::forSequence(seq).hook());
    return textOf(e);
  }
  MidiSequence seq;
};

}  // namespace

TEST_F(ChordTransposerTest, ChordTextsAndNotesMoveTogether) {
  add(make({0x90, 57, 100}, 100));
  add(textEvent(meta::kText, "%Am", 100));
  add(textEvent(meta::kText, "A m", 200));
  add(textEvent(meta::kText, "Am", 300));        // not a strict chord
  add(textEvent(meta::kText, "@Am", 400));       // a tag
  add(textEvent(meta::kText, "<Am", 500));
  add(textEvent(meta::kLyric, "%C#7/G#", 600));  // a chord lyric
  add(textEvent(meta::kLyric, "Am", 700));       // a plain lyric
  add(textEvent(meta::kText, "%Hm", 800));       // no chord: left alone
  add(make({0x80, 57, 0}, 900));
  ASSERT_FALSE(isSoftKaraoke(seq));
  ASSERT_TRUE(seq.changePitch(2, ChordTransposer::forSequence(seq).hook()));

  std::vector<std::string> texts;
  std::vector<int> keys;
  for (const MidiEvent* e : seq.events()) {
    if (e->isMeta(meta::kText) || e->isMeta(meta::kLyric)) texts.push_back(textOf(e));
    if (e->isNoteOn() || e->isNoteOff()) keys.push_back(e->second());
  }
  EXPECT_EQ(texts, (std::vector<std::string>{"%B m", "B m", "Am", "@Am", "<Am", "%Eb7/Bb", "Am", "%Hm"}));
  EXPECT_EQ(keys, (std::vector<int>{59, 59}));
}

TEST_F(ChordTransposerTest, SoftKaraokeTextsAreLyricsUnlessMarked) {
  add(textEvent(meta::kText, "@KMIDI KARAOKE FILE", 0));
  ASSERT_TRUE(isSoftKaraoke(seq));
  EXPECT_EQ(transposedText(meta::kText, "A m", 3), "A m");
  EXPECT_EQ(transposedText(meta::kText, "\\%Gm", 3), "%Bbm");
  EXPECT_EQ(transposedText(meta::kText, "/Hello", 3), "/Hello");
  // A chord text that crosses a line: CR LF and LF count as CR, then go.
  EXPECT_EQ(transposedText(meta::kText, "/\r\n%D", 3), "%F ");
}

TEST_F(ChordTransposerTest, SyllablesStayWhenTheWordsAreAlsoLyricEvents) {
  // Six lyric events no longer make the Soft Karaoke words chords; texts of another track still are.
  seq.setNumTracks(2);
  add(textEvent(meta::kText, "@KMIDI KARAOKE FILE", 0));
  add(textEvent(meta::kText, "/Sing", 10));
  MidiEvent* first = add(textEvent(meta::kText, "E ", 0));  // the first syllable, at tick 0
  for (int i = 0; i < 6; ++i) add(textEvent(meta::kLyric, "la", 20));
  MidiEvent* other = add(make({0xFF, meta::kText, 3, 'A', ' ', 'm'}, 30, 1));
  EXPECT_EQ(transposedText(meta::kText, "A ", 2), "A ");
  EXPECT_EQ(textOf(first), "E ");
  EXPECT_EQ(textOf(other), "B m");
}

TEST_F(ChordTransposerTest, XFChordMetaEventsAreRespelled) {
  MidiEvent* xf = add(std::make_unique<MidiEvent>(XFChord(std::string_view("F#min7/A")).metaEvent(0, 100)));
  seq.changePitch(-1, ChordTransposer::forSequence(seq).hook());
  std::optional<XFChord> chord = XFChord::fromMetaEvent(*xf);
  ASSERT_TRUE(chord);
  EXPECT_EQ(chord->string(), "Fmin7/Ab");
}

TEST_F(ChordTransposerTest, XGAndMidisoftChordMessagesAreRewritten) {
  MidiEvent* xg = add(make({0xF0, 0x08, 0x43, 0x7E, 0x02, 0x33, 0x0A, 0x7F, 0x00, 0xF7}, 100));  // Em7
  MidiEvent* midisoft = add(make(midisoftChord("Dm"), 200));
  MidiEvent* broken = add(make(midisoftChord("xyz"), 300));
  const Bytes before = bytesOf(broken);
  seq.changePitch(2, ChordTransposer::forSequence(seq).hook());
  EXPECT_EQ(Sysex::fromEvent(*xg).text(), "Gbm7");
  EXPECT_EQ(bytesOf(midisoft), midisoftChord("Em"));
  EXPECT_EQ(bytesOf(broken), before);
}

TEST_F(ChordTransposerTest, OddEventsAreLeftAlone) {
  const std::vector<Bytes> odd = {
      {0xF0},
      {0xF0, 0x03, 0x00, 0x20, 0xF7},
      {0xF0, 0x06, 0x00, 0x20, 0x24, 0x00, 0x01, 0xF7},  // a Midisoft chord without text
      {0xF0, 0x7F, 0x43},                               // a length past the data
      {0xFF, 0x7F, 0x07, 0x43, 0x7B, 0x01, 0x7F, 0x7F, 0x7F, 0x7F},
      {0xFF, 0x01, 0x01, '%'},
      {0xFF, 0x05, 0x02, '%', 'H'},
      {0xFF, 0x01, 0x05, '@'},  // a length past the data
  };
  std::vector<MidiEvent*> events;
  for (const Bytes& b : odd) {
    events.push_back(add(make(b, 100)));
  }
  seq.changePitch(3, ChordTransposer::forSequence(seq).hook());
  for (size_t i = 0; i < odd.size(); ++i) EXPECT_EQ(bytesOf(events[i]), odd[i]) << i;
}
