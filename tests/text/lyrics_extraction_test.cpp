#include <gtest/gtest.h>

#include "lyrics_test_support.h"
#include "text/lyrics_extractor.h"
#include "text/xf_chord.h"

using namespace sw;
using namespace lyricstest;
using swtest::Bytes;
using swtest::MidiFileBuilder;
using Strings = std::vector<std::string>;

namespace {

struct Extracted {
  DSyncArray lyrics;
  DSyncArray chords;
  FourCharCode type = 0xDEADBEEF;
  uint32_t count = 0;
};

Extracted extract(const MidiFileBuilder& file) {
  auto sequence = load(file);
  Extracted result;
  result.count = getLyricsDSyncs(*sequence, &result.lyrics, &result.chords, &result.type);
  return result;
}

// Lyric (type 5) or text (type 1) events, one every 480 ticks from `first`.
MidiFileBuilder withEvents(uint8_t type, const Strings& items, uint32_t first = 480) {
  MidiFileBuilder file(1, 480);
  auto& track = file.track();
  for (size_t i = 0; i < items.size(); ++i) track.text(i == 0 ? first : 480, type, items[i]);
  track.endOfTrack();
  return file;
}

MidiFileBuilder softKaraoke(const Strings& syllables) {
  MidiFileBuilder file(1, 480);
  file.track().text(0, meta::kText, "@KMIDI KARAOKE FILE").endOfTrack();
  auto& words = file.track();
  words.text(0, meta::kText, "@TTitle").text(0, meta::kText, "@LENGL");
  for (const std::string& syllable : syllables) words.text(480, meta::kText, syllable);
  words.endOfTrack();
  return file;
}

Bytes xfChordPayload(const char* name) {
  XFChord chord(name);
  return Bytes(chord.data().begin() + 3, chord.data().end());
}

}  // namespace

TEST(LyricsExtraction, SoftKaraokeSyllablesTakeTheirLinesFromTheMarks) {
  Extracted e = extract(softKaraoke({"\\Hel", "lo", "/World", "\\Next"}));
  EXPECT_EQ(e.type, kSoftKaraokeType);
  EXPECT_EQ(texts(e.lyrics), (Strings{"Hel", "lo\r", "World\r", "Next"}));
  EXPECT_EQ(delays(e.lyrics), (std::vector<int32_t>{480, 960, 1440, 1920}));
  // The marks count: "\Hel" went in as CR "Hel".
  EXPECT_EQ(e.count, 4u + 2u + 6u + 5u);
  EXPECT_TRUE(e.chords.empty());
}

TEST(LyricsExtraction, SoftKaraokeMarksAnywhereInTheTextAreRemoved) {
  Extracted e = extract(softKaraoke({"Hel", "/lo/\r\nx", "/%Am", "\\"}));
  EXPECT_EQ(texts(e.lyrics), (Strings{"Hel\r", "lox\r"}));
  ASSERT_EQ(e.chords.size(), 1u);
  EXPECT_EQ(e.chords[0].data(), "Am");
  EXPECT_TRUE(e.chords[0].isChord());
}

TEST(LyricsExtraction, SoftKaraokeRecognition) {
  // A header without anything after it still names the dialect.
  MidiFileBuilder headerOnly(1, 480);
  headerOnly.track().text(0, meta::kText, "@KMIDI KARAOKE FILE").endOfTrack();
  Extracted e = extract(headerOnly);
  EXPECT_EQ(e.type, kSoftKaraokeType);
  EXPECT_TRUE(e.lyrics.empty());
  EXPECT_EQ(e.count, 0u);

  EXPECT_TRUE(isSoftKaraoke(*load(withEvents(meta::kText, {"la", "/la"}))));
  EXPECT_TRUE(isSoftKaraoke(*load(withEvents(meta::kText, {"/"}, 0))));     // one byte at tick 0
  EXPECT_FALSE(isSoftKaraoke(*load(withEvents(meta::kText, {"/la"}, 0))));  // tick 0 wants "@K"
  EXPECT_FALSE(isSoftKaraoke(*load(withEvents(meta::kText, {"@K"}, 10))));

  MidiFileBuilder manyLyrics = softKaraoke({"/la"});
  auto& track = manyLyrics.track();
  for (int i = 0; i < 6; ++i) track.text(10, meta::kLyric, "x");
  track.endOfTrack();
  EXPECT_FALSE(isSoftKaraoke(*load(manyLyrics)));

  MidiSequence empty;
  EXPECT_FALSE(isSoftKaraoke(empty));
  DSyncArray lyrics{DSyncItem("stale", 0)};
  FourCharCode type = 1;
  EXPECT_EQ(getLyricsDSyncs(empty, &lyrics, nullptr, &type), 0u);
  EXPECT_TRUE(lyrics.empty());
  EXPECT_EQ(type, 0u);
}

TEST(LyricsExtraction, PlainLyricEventsWithEveryLineBreak) {
  Extracted e = extract(withEvents(meta::kLyric, {"a\n", "b\r\n", "c\n\r", "d\r", "\r\n", "e"}, 0));
  EXPECT_EQ(e.type, kLyricKaraokeType);
  // CR LF is one break; LF CR and CR CR are a line and an empty line.
  EXPECT_EQ(texts(e.lyrics), (Strings{"a\r", "b\r", "c\r", "\r", "d\r", "\r", "e"}));
  EXPECT_EQ(e.lyrics.front().delay(), 0);  // lyric events count at tick 0 too
  EXPECT_EQ(e.count, 2u + 2u + 3u + 2u + 1u + 1u);
}

TEST(LyricsExtraction, LyricMarks) {
  Extracted e = extract(withEvents(meta::kLyric, {"one", "/two", "%Am", "<<<three", "<", "??? ??", "?la", "%"}));
  EXPECT_EQ(texts(e.lyrics), (Strings{"one\r", "two\r", "three", "?la"}));
  EXPECT_EQ(e.type, kLineMarkKaraokeType);
  ASSERT_EQ(e.chords.size(), 1u);
  EXPECT_EQ(e.chords[0].data(), "Am");
  EXPECT_EQ(e.chords[0].delay(), 1440);
}

TEST(LyricsExtraction, NoiseAndNulBytes) {
  uint32_t count = 0;
  DSyncArray items;
  EXPECT_EQ(appendString("", items, 0), 0u);
  EXPECT_EQ(appendString("? \r?", items, 0), 0u);
  EXPECT_EQ(appendString("  \r", items, 0), 3u);  // blank without "?" is kept
  count = appendString(std::string("ab\0cd", 5), items, 7);
  EXPECT_EQ(count, 5u);
  EXPECT_EQ(texts(items), (Strings{"  \r", "ab"}));
}

TEST(LyricsExtraction, TheListWithMoreBytesWinsAndLyricsWinTies) {
  MidiFileBuilder file(1, 480);
  file.track().text(480, meta::kLyric, "ab").text(480, meta::kText, "<c").endOfTrack();
  Extracted tie = extract(file);  // 2 bytes each: the mark counts as a CR
  EXPECT_EQ(texts(tie.lyrics), (Strings{"ab"}));
  EXPECT_EQ(tie.type, kLineMarkKaraokeType);  // the mark was seen, so no "T1  "

  MidiFileBuilder more(1, 480);
  more.track().text(480, meta::kLyric, "ab").text(480, meta::kText, "<cde").endOfTrack();
  Extracted e = extract(more);
  EXPECT_EQ(texts(e.lyrics), (Strings{"cde"}));  // the leading break of the text is dropped
  EXPECT_EQ(e.count, 4u);
}

TEST(LyricsExtraction, TextEventsOutsideSoftKaraokeAreStrictChords) {
  Extracted e = extract(withEvents(meta::kText, {"Am7", "A m7", "C#m7/E", "%G7", "Hello there", "@Tx", "<la"}));
  EXPECT_EQ(texts(e.chords), (Strings{"Am7", "C#m7/E", "G7"}));
  EXPECT_EQ(delays(e.chords), (std::vector<int32_t>{960, 1440, 1920}));
  EXPECT_EQ(texts(e.lyrics), (Strings{"la"}));
  EXPECT_EQ(e.type, kLineMarkKaraokeType);

  // Text at tick 0 is never a lyric or a chord.
  Extracted atZero = extract(withEvents(meta::kText, {"A m7", "%C", "<la"}, 0));
  EXPECT_EQ(texts(atZero.chords), (Strings{"C"}));
  EXPECT_EQ(atZero.chords[0].delay(), 480);
}

TEST(LyricsExtraction, ChordBurstsKeepTheLastChord) {
  MidiFileBuilder file(1, 480);  // 120 BPM: about 1.04 ms per tick
  file.track()
      .text(480, meta::kLyric, "%C")
      .text(5, meta::kLyric, "%D")      // 5 ms later: C goes
      .text(200, meta::kLyric, "%E")    // 208 ms later: D stays
      .text(0, meta::kLyric, "%F")      // same tick: replaces E
      .text(100, meta::kLyric, "%G")    // 104 ms later
      .text(0, meta::kLyric, "%bogus")  // does not parse: ignored
      .endOfTrack();
  Extracted e = extract(file);
  EXPECT_EQ(texts(e.chords), (Strings{"D", "F", "G"}));
  EXPECT_TRUE(e.lyrics.empty());
}

TEST(LyricsExtraction, XFAndXGChordEvents) {
  MidiFileBuilder file(1, 480);
  file.track()
      .meta(480, meta::kSequencerSpecific, xfChordPayload("F#7th/A"))
      .meta(480, meta::kSequencerSpecific, {0x43, 0x7B, 0x01, 0x00, 0x00, 0x7F, 0x7F})  // invalid root
      .sysex(480, {0x43, 0x7E, 0x02, 0x33, 0x0A, 0x7F, 0x00, 0xF7})                     // XG "Em7"
      .sysex(480, {0x43, 0x7E, 0x02, 0xF7})                                             // cut short
      .endOfTrack();
  Extracted e = extract(file);
  EXPECT_EQ(texts(e.chords), (Strings{"F#7th/A", "Em7"}));
  EXPECT_EQ(delays(e.chords), (std::vector<int32_t>{480, 1440}));
  EXPECT_EQ(e.type, 0u);
}

TEST(LyricsExtraction, ChordsAreLeftAloneWhenNotAskedFor) {
  auto sequence = load(withEvents(meta::kLyric, {"%Am", "la"}));
  DSyncArray lyrics;
  EXPECT_EQ(getLyricsDSyncs(*sequence, &lyrics, nullptr), 2u);
  EXPECT_EQ(texts(lyrics), (Strings{"la"}));
  EXPECT_EQ(sw::lyrics(*sequence), "la");

  DSyncArray chords{DSyncItem("kept", 0)};
  EXPECT_EQ(getLyricsDSyncs(*sequence, nullptr, &chords), 0u);
  EXPECT_EQ(texts(chords), (Strings{"kept"}));
}

TEST(LyricsExtraction, MidisoftLinesSplitByHighlights) {
  MidiFileBuilder file(1, 480);
  file.track()
      .sysex(0, midisoft(4, "HELLO WORLD\r"))
      .sysex(480, midisoft(8, ""))
      .control(120, 0, 31, 5)
      .control(120, 0, 31, 10)
      .control(0, 1, 31, 20)  // other channels are not highlights
      .endOfTrack();
  Extracted e = extract(file);
  EXPECT_EQ(e.type, kMidisoftKaraokeType);
  EXPECT_EQ(texts(e.lyrics), (Strings{"HELLO", " WORLD"}));
  EXPECT_EQ(delays(e.lyrics), (std::vector<int32_t>{600, 720}));
  EXPECT_EQ(e.count, 12u);
}

TEST(LyricsExtraction, MidisoftLinesTimedBySyncsWithoutHighlights) {
  MidiFileBuilder file(1, 480);
  file.track()
      .sysex(0, midisoft(4, "one\ntwo"))
      .sysex(0, midisoft(5, "three"))
      .sysex(480, midisoft(8, ""))  // times both pending lines
      .sysex(100, midisoft(4, "four"))
      .sysex(100, midisoft(1, "C\nm7"))  // a chord, shown half a second later
      .sysex(480, midisoft(8, ""))
      .text(0, meta::kLyric, "la")
      .endOfTrack();
  Extracted e = extract(file);
  EXPECT_EQ(e.type, kMidisoftKaraokeType);
  EXPECT_EQ(texts(e.lyrics), (Strings{"one\r", "two\r", "three\r", "four\r"}));
  EXPECT_EQ(delays(e.lyrics), (std::vector<int32_t>{480, 480, 480, 1160}));
  ASSERT_EQ(e.chords.size(), 1u);
  EXPECT_EQ(e.chords[0].data(), "Cm7");
  EXPECT_EQ(e.chords[0].delay(), 680 + 480);  // 500 ms at 120 BPM and 480 ticks a quarter
}

TEST(LyricsExtraction, MidisoftLinesLoseToLongerOrNoisyAlternatives) {
  MidiFileBuilder noisy(1, 480);
  noisy.track().sysex(0, midisoft(4, "??????ab")).text(480, meta::kLyric, "x").endOfTrack();
  Extracted e = extract(noisy);
  EXPECT_EQ(e.type, kLyricKaraokeType);
  EXPECT_EQ(texts(e.lyrics), (Strings{"x"}));

  MidiFileBuilder shorter(1, 480);
  shorter.track().sysex(0, midisoft(4, "ab")).text(480, meta::kLyric, "abcdef").endOfTrack();
  EXPECT_EQ(texts(extract(shorter).lyrics), (Strings{"abcdef"}));
}

TEST(LyricsExtraction, MidisoftMessagesCutShort) {
  MidiFileBuilder file(1, 480);
  file.track()
      .sysex(0, {0x00, 0x20, 0x24, 0x00, 0x04})  // no text, no F7
      .sysex(0, {0x00, 0x20, 0x24, 0x00})        // no type
      .sysex(0, {0x00, 0x20})
      .sysex(0, {})
      .sysex(10, {0x00, 0x20, 0x24, 0x00, 0x01})  // a chord without text
      .sysex(10, {0x00, 0x20, 0x24, 0x00, 0x08})
      .endOfTrack();
  Extracted e = extract(file);
  EXPECT_EQ(texts(e.lyrics), (Strings{}));  // the lone CR line is dropped by line splitting
  EXPECT_TRUE(e.chords.empty());

  MSStateRec state;
  DSyncArray lines;
  MidiEvent control(std::vector<uint8_t>{0xB0, 31, 3}.data(), 3, 0, 0);
  EXPECT_FALSE(appendMidiSoftSysex(control, lines, state));  // nothing pending
  EXPECT_EQ(state.lastType, 8);
}

TEST(LyricsExtraction, HighlightsWithoutSyncMessagesTimeTheLines) {
  MidiFileBuilder file(1, 480);
  file.track()
      .sysex(0, midisoft(4, "ab cd"))
      .control(240, 0, 31, 2)  // times the line; lighting at that same tick is passed over
      .control(240, 0, 31, 4)
      .endOfTrack();
  Extracted e = extract(file);
  EXPECT_EQ(texts(e.lyrics), (Strings{"ab cd"}));
  EXPECT_EQ(delays(e.lyrics), (std::vector<int32_t>{480}));
}

TEST(LyricsExtraction, AHighlightCountGoingBackNeverRepeatsText) {
  MidiFileBuilder file(1, 480);
  file.track()
      .sysex(0, midisoft(4, "ab cd ef"))
      .sysex(480, midisoft(8, ""))
      .control(120, 0, 31, 4)
      .control(120, 0, 31, 2)
      .control(120, 0, 31, 6)
      .endOfTrack();
  Extracted e = extract(file);
  EXPECT_EQ(texts(e.lyrics), (Strings{"ab cd", " ef"}));
  EXPECT_EQ(delays(e.lyrics), (std::vector<int32_t>{600, 840}));
}

TEST(LyricsExtraction, EnormousAndEmptyTexts) {
  std::string big(200000, 'x');
  big[100000] = '\n';
  MidiFileBuilder file(1, 480);
  file.track().meta(480, meta::kLyric, {}).text(0, meta::kText, "").text(10, meta::kLyric, big).endOfTrack();
  Extracted e = extract(file);
  ASSERT_EQ(e.lyrics.size(), 2u);
  EXPECT_EQ(e.lyrics[0].data().size(), 100001u);
  EXPECT_EQ(e.lyrics[1].data().size(), 99999u);
  EXPECT_EQ(e.count, 200000u);
}

TEST(LyricsExtraction, LineBreakNormalisation) {
  std::string text = "a\r\n\n\r\r\nb\n";
  normalizeLineBreaks(text);
  EXPECT_EQ(text, "a\r\r\r\rb\r");
}
