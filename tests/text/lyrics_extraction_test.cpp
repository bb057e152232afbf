#include <gtest/gtest.h>

#include "lyrics_test_support.h"
#include "text/lyrics_extractor.h"
#include "text/xf_chord.h"

using namespace sw;
using namespace lyricstest;
using swtest::MidiFileBuilder;

namespace {

struct Extracted {
  DSyncArray lyrics, chords;
  FourCharCode type = 0xDEADBEEF;
  uint32_t count = 0;
};

Extracted extract(const MidiFileBuilder& file) {
  auto sequence = load(file);
  Extracted result;
  result.count = getLyricsDSyncs(*sequence, &result.lyrics, &result.chords, &result.type);
  return result;
}

MidiFileBuilder softKaraoke(const Strings& syllables) {
  MidiFileBuilder file(1, 480);
  file.track().text(0, meta::kText, "@KMIDI KARAOKE FILE").endOfTrack();
  auto& words = file.track();
  words.text(0, meta::kText, "@TTitle");
  for (const std::string& syllable : syllables) words.text(480, meta::kText, syllable);
  words.endOfTrack();
  return file;
}

}  // namespace

TEST(LyricsExtraction, SoftKaraokeLinesComeFromTheMarks) {
  Extracted e = extract(softKaraoke({"\\Hel", "lo", "/World", "/lo/\r\nx", "/%Am", "\\"}));
  EXPECT_EQ(e.type, kSoftKaraokeType);
  EXPECT_EQ(texts(e.lyrics), (Strings{"Hel", "lo\r", "World\r", "lox\r"}));
  EXPECT_EQ(delays(e.lyrics), (std::vector<int32_t>{480, 960, 1440, 1920}));
  EXPECT_EQ(e.count, 4u + 2u + 6u + 4u + 1u);  // each mark counts as its CR
  EXPECT_EQ(texts(e.chords), (Strings{"Am"}));

  // A header alone still names the dialect; six lyric events rule it out.
  Extracted header = extract(softKaraoke({}));
  EXPECT_EQ(header.type, kSoftKaraokeType);
  EXPECT_TRUE(header.lyrics.empty());
  EXPECT_TRUE(isSoftKaraoke(*load(withEvents(meta::kText, {"/"}, 0))));     // one byte at tick 0
  EXPECT_FALSE(isSoftKaraoke(*load(withEvents(meta::kText, {"/la"}, 0))));  // tick 0 wants "@K"
  MidiFileBuilder manyLyrics = softKaraoke({"/la"});
  auto& track = manyLyrics.track();
  for (int i = 0; i < 6; ++i) track.text(10, meta::kLyric, "x");
  EXPECT_FALSE(isSoftKaraoke(*load(manyLyrics)));

  MidiSequence empty;
  DSyncArray stale{DSyncItem("stale", 0)};
  FourCharCode type = 1;
  EXPECT_EQ(getLyricsDSyncs(empty, &stale, nullptr, &type), 0u);
  EXPECT_TRUE(stale.empty());
  EXPECT_EQ(type, 0u);
}

TEST(LyricsExtraction, LyricEventsWithEveryLineBreakAndMark) {
  Extracted e = extract(withEvents(meta::kLyric, {"a\n", "b\r\n", "c\n\r", "\r\n", "/d", "%Am", "e", "<<<f", "<",
                                                  "??? ??", "?g", std::string("h\0i", 3)},
                                   0));
  // CR LF is one break; LF CR is a line and an empty line.
  EXPECT_EQ(texts(e.lyrics), (Strings{"a\r", "b\r", "c\r", "\r", "\r", "\r", "d", "e\r", "f", "?g", "h"}));
  EXPECT_EQ(e.lyrics.front().delay(), 0);  // lyric events count at tick 0 too
  EXPECT_EQ(e.type, kLineMarkKaraokeType);
  EXPECT_EQ(e.count, 2u + 2u + 3u + 1u + 2u + 1u + 2u + 2u + 3u);
  EXPECT_EQ(texts(e.chords), (Strings{"Am"}));

  EXPECT_EQ(extract(withEvents(meta::kLyric, {"la"})).type, kLyricKaraokeType);
}

TEST(LyricsExtraction, TheListWithMoreBytesWinsAndLyricsWinTies) {
  MidiFileBuilder tie(1, 480);
  tie.track().text(480, meta::kLyric, "ab").text(480, meta::kText, "<c").endOfTrack();
  EXPECT_EQ(texts(extract(tie).lyrics), (Strings{"ab"}));

  MidiFileBuilder more(1, 480);
  more.track().text(480, meta::kLyric, "ab").text(480, meta::kText, "<cd").endOfTrack();
  Extracted e = extract(more);
  EXPECT_EQ(texts(e.lyrics), (Strings{"cd"}));
  EXPECT_EQ(e.count, 3u);
}

TEST(LyricsExtraction, TextEventsOutsideSoftKaraokeAreStrictChords) {
  Extracted e = extract(withEvents(meta::kText, {"Am7", "A m7", "C#m7/E", "%G7", "Hello there", "@Tx", "<la"}));
  EXPECT_EQ(texts(e.chords), (Strings{"Am7", "C#m7/E", "G7"}));
  EXPECT_EQ(delays(e.chords), (std::vector<int32_t>{960, 1440, 1920}));
  EXPECT_EQ(texts(e.lyrics), (Strings{"la"}));

  Extracted atZero = extract(withEvents(meta::kText, {"A m7", "<la"}, 0));  // never lyrics or chords
  EXPECT_TRUE(atZero.chords.empty());
  EXPECT_EQ(texts(atZero.lyrics), (Strings{"la"}));
}

TEST(LyricsExtraction, ChordsOfEveryKindAndBurstsKeepTheLast) {
  XFChord xf("F#7th/A");
  MidiFileBuilder file(1, 480);  // 120 BPM: about 1.04 ms a tick
  file.track()
      .meta(480, meta::kSequencerSpecific, Bytes(xf.data().begin() + 3, xf.data().end()))
      .meta(480, meta::kSequencerSpecific, {0x43, 0x7B, 0x01, 0x00, 0x00, 0x7F, 0x7F})  // invalid root
      .sysex(480, {0x43, 0x7E, 0x02, 0x33, 0x0A, 0x7F, 0x00, 0xF7})                     // XG "Em7"
      .sysex(0, {0x43, 0x7E, 0x02, 0xF7})                                               // cut short
      .text(480, meta::kLyric, "%C")
      .text(5, meta::kLyric, "%D")      // 5 ms later: C goes
      .text(100, meta::kLyric, "%E")    // 104 ms later: D stays
      .text(0, meta::kLyric, "%F")      // same tick: replaces E
      .text(0, meta::kLyric, "%bogus")  // does not parse
      .endOfTrack();
  Extracted e = extract(file);
  EXPECT_EQ(texts(e.chords), (Strings{"F#7th/A", "Em7", "D", "F"}));
  EXPECT_EQ(delays(e.chords), (std::vector<int32_t>{480, 1440, 1925, 2025}));
  EXPECT_TRUE(e.chords[0].isChord());

  auto sequence = load(file);
  DSyncArray chords{DSyncItem("kept", 0)};
  EXPECT_EQ(getLyricsDSyncs(*sequence, nullptr, &chords), 0u);
  EXPECT_EQ(texts(chords), (Strings{"kept"}));
}

TEST(LyricsExtraction, MidisoftLinesTimedBySyncsAndSplitByHighlights) {
  MidiFileBuilder file(1, 480);
  file.track()
      .sysex(0, midisoft(4, "one\ntwo"))
      .sysex(0, midisoft(5, "three"))
      .sysex(480, midisoft(8, ""))  // times both pending lines
      .sysex(100, midisoft(1, "C\nm7"))  // a chord, shown half a second later
      .sysex(0, midisoft(4, "ab cd ef"))  // a lower line type starts a new block
      .sysex(100, midisoft(8, ""))
      .control(120, 0, 31, 4)
      .control(0, 1, 31, 20)  // other channels are not highlights
      .control(120, 0, 31, 2)  // a count going back lights nothing twice
      .control(120, 0, 31, 6)
      .text(0, meta::kLyric, "la")
      .endOfTrack();
  Extracted e = extract(file);
  EXPECT_EQ(e.type, kMidisoftKaraokeType);
  EXPECT_EQ(texts(e.lyrics), (Strings{"one\r", "two\r", "three\r", "ab cd", " ef"}));
  EXPECT_EQ(delays(e.lyrics), (std::vector<int32_t>{480, 480, 480, 800, 1040}));
  EXPECT_EQ(e.count, 8u + 6u + 9u);
  EXPECT_EQ(texts(e.chords), (Strings{"Cm7"}));
  EXPECT_EQ(e.chords[0].delay(), 580 + 480);

  // Highlights without sync messages time the lines themselves.
  MidiFileBuilder highlights(1, 480);
  highlights.track()
      .sysex(0, midisoft(4, "HELLO WORLD\r"))
      .control(100, 0, 31, 1)  // times the line; what it lights at that tick is passed over
      .control(380, 0, 31, 5)
      .control(120, 0, 31, 10)
      .endOfTrack();
  Extracted h = extract(highlights);
  EXPECT_EQ(texts(h.lyrics), (Strings{"HELLO", " WORLD"}));
  EXPECT_EQ(delays(h.lyrics), (std::vector<int32_t>{480, 600}));
}

TEST(LyricsExtraction, MidisoftLinesLoseToNoiseLongerListsAndCutMessages) {
  MidiFileBuilder noisy(1, 480);
  noisy.track().sysex(0, midisoft(4, "??????ab")).sysex(0, midisoft(8, "")).text(480, meta::kLyric, "x").endOfTrack();
  EXPECT_EQ(texts(extract(noisy).lyrics), (Strings{"x"}));

  MidiFileBuilder cut(1, 480);
  cut.track()
      .sysex(0, {0x00, 0x20, 0x24, 0x00, 0x04})  // a line without text or F7
      .sysex(0, {0x00, 0x20, 0x24, 0x00})
      .sysex(0, {})
      .sysex(10, {0x00, 0x20, 0x24, 0x00, 0x01})
      .sysex(10, {0x00, 0x20, 0x24, 0x00, 0x08})
      .endOfTrack();
  Extracted e = extract(cut);
  EXPECT_TRUE(e.lyrics.empty());
  EXPECT_TRUE(e.chords.empty());
}

TEST(LyricsExtraction, EnormousAndEmptyTexts) {
  std::string big(200000, 'x');
  big[100000] = '\n';
  MidiFileBuilder file(1, 480);
  file.track().meta(480, meta::kLyric, {}).text(0, meta::kText, "").text(10, meta::kLyric, big).endOfTrack();
  Extracted e = extract(file);
  ASSERT_EQ(e.lyrics.size(), 2u);
  EXPECT_EQ(e.lyrics[0].data().size(), 100001u);
  EXPECT_EQ(e.count, 200000u);
}
