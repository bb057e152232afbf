#include <gtest/gtest.h>

#include "lyrics_test_support.h"
#include "temp_dir.h"
#include "text/lyrics_extractor.h"
#include "text/lyrics_writer.h"
#include "text/text_conversion.h"

using namespace sw;
using namespace lyricstest;
using swtest::MidiFileBuilder;

namespace {

// "track tick type text" of each meta event of the given types, in sequence order.
Strings metas(const MidiSequence& sequence, std::initializer_list<uint8_t> types) {
  Strings result;
  for (const MidiEvent* e : sequence.events())
    if (e->isMeta() && std::find(types.begin(), types.end(), e->second()) != types.end())
      result.push_back(std::to_string(e->track()) + " " + std::to_string(e->ticks()) + " " +
                       std::to_string(e->second()) + " " +
                       std::string(reinterpret_cast<const char*>(e->metaData()), e->metaDataSize()));
  return result;
}

DSyncItem chordItem(std::string text, int32_t delay) {
  DSyncItem item(std::move(text), delay);
  item.setIsChord(true);
  return item;
}

class LyricsWriting : public ::testing::Test {
 protected:
  std::unique_ptr<MidiSequence> sequence_ = load(withEvents(meta::kLyric, {"Hel", "lo\r", "World", "%Am"}));
  swtest::TempDir dir_;
  XFChordManager aliases_{dir_.file("aliases.plist")};  // no file: the default aliases
};

}  // namespace

TEST_F(LyricsWriting, ExtractedLyricsWrittenBackReadTheSame) {
  sequence_->setNumTracks(2);
  DSyncArray lyrics, chords;
  getLyricsDSyncs(*sequence_, &lyrics, &chords);
  ASSERT_TRUE(setLyrics(*sequence_, lyrics, chords, false, 1, nullptr, &aliases_));
  EXPECT_EQ(metas(*sequence_, {meta::kLyric, meta::kText}),
            (Strings{"1 480 5 Hel", "1 960 5 lo", "1 960 5 \r", "1 1440 5 World", "1 1920 1 A m"}));

  DSyncArray again, againChords;
  getLyricsDSyncs(*sequence_, &again, &againChords);
  EXPECT_EQ(texts(again), texts(lyrics));
  EXPECT_EQ(delays(again), delays(lyrics));
  EXPECT_EQ(texts(againChords), (Strings{"Am"}));  // "A m" reads back strictly
}

TEST_F(LyricsWriting, SoftKaraokeLosesItsMarkersButKeepsItsTags) {
  MidiFileBuilder file(1, 480);
  file.track()
      .text(0, meta::kText, "@KMIDI KARAOKE FILE")
      .text(0, meta::kText, "@TTitle")
      .text(0, meta::kText, "@")
      .text(480, meta::kText, "\\Twin")
      .text(480, meta::kText, "kle")
      .text(480, meta::kText, "/star")
      .meta(0, meta::kText, {})
      .endOfTrack();
  auto sequence = load(file);
  DSyncArray lyrics, chords;
  getLyricsDSyncs(*sequence, &lyrics, &chords);
  ASSERT_TRUE(setLyrics(*sequence, lyrics, chords, false, 0, nullptr, &aliases_));
  EXPECT_EQ(metas(*sequence, {meta::kText}), (Strings{"0 0 1 @TTitle", "0 0 1 @", "0 1440 1 "}));
  DSyncArray again;
  getLyricsDSyncs(*sequence, &again, nullptr);
  EXPECT_EQ(texts(again), (Strings{"Twin", "kle\r", "star"}));
}

TEST_F(LyricsWriting, ChordsAsTextEventsAndAsXFChords) {
  DSyncArray chords{chordItem("Cm7", 10), chordItem("C#m7/E", 500), chordItem("Hm", 1000),
                    chordItem(std::string(255, 'C'), 1500), chordItem("", 2000)};
  ASSERT_TRUE(setLyrics(*sequence_, {}, chords, false, 0, nullptr, &aliases_));
  // A text that is no chord (or too long to be one) leaves an empty text event.
  EXPECT_EQ(metas(*sequence_, {meta::kText, meta::kLyric}),
            (Strings{"0 10 1 C m7", "0 500 1 C#m7/E", "0 1000 1 ", "0 1500 1 "}));

  XFChordError error;
  ASSERT_TRUE(setLyrics(*sequence_, {}, {chordItem("Am7", 480), chordItem("F#/A", 960)}, true, 0, &error, &aliases_));
  EXPECT_EQ(metas(*sequence_, {meta::kText}), (Strings{"0 1000 1 ", "0 1500 1 "}));  // empty: never removed
  DSyncArray lyrics, again;
  getLyricsDSyncs(*sequence_, &lyrics, &again);
  EXPECT_EQ(texts(again), (Strings{"Amin7", "F#/A"}));
  EXPECT_EQ(delays(again), (std::vector<int32_t>{480, 960}));
}

TEST_F(LyricsWriting, LyricsAndChordsInterleaveByTimeLyricsFirstAtOneTick) {
  // A marker at 480 was there before: the new texts go after it, the lyric before the chord
  // at each tick they share, however the two lists were ordered.
  const uint8_t marker[4] = {META_EVENT, meta::kMarker, 1, 'M'};
  sequence_->insertEvent(std::make_unique<MidiEvent>(marker, 4, 0, 480));
  DSyncArray lyrics{DSyncItem("one ", 480), DSyncItem("two\r", 960), DSyncItem("three", 1440)};
  DSyncArray chords{chordItem("C", 0), chordItem("G", 480), chordItem("Am", 1200), chordItem("F", 1440)};
  ASSERT_TRUE(setLyrics(*sequence_, lyrics, chords, false, 0, nullptr, &aliases_));
  EXPECT_EQ(metas(*sequence_, {meta::kLyric, meta::kText, meta::kMarker}),
            (Strings{"0 0 1 C ", "0 480 6 M", "0 480 5 one ", "0 480 1 G ", "0 960 5 two", "0 960 5 \r",
                     "0 1200 1 A m", "0 1440 5 three", "0 1440 1 F "}));
}

TEST_F(LyricsWriting, AChordWithoutXFFormStopsChordWritingWhenAnErrorIsAskedFor) {
  DSyncArray lyrics{DSyncItem("la\r", 100)};
  DSyncArray chords{chordItem("C", 480), chordItem("Cxyz", 960), chordItem("D", 1440)};
  XFChordError error;
  EXPECT_FALSE(setLyrics(*sequence_, lyrics, chords, true, 0, &error, &aliases_));
  EXPECT_EQ(error.description, "Unknow chord type");
  EXPECT_TRUE(metas(*sequence_, {meta::kSequencerSpecific}).empty());
  EXPECT_EQ(metas(*sequence_, {meta::kLyric}), (Strings{"0 100 5 la", "0 100 5 \r"}));

  EXPECT_TRUE(setLyrics(*sequence_, lyrics, chords, true, 0, nullptr, &aliases_));  // skips the one
  EXPECT_EQ(metas(*sequence_, {meta::kSequencerSpecific}).size(), 2u);
}

TEST(LyricsRemoval, EveryDialectGoesTitlesAndOtherEventsStay) {
  MidiFileBuilder file(1, 480);
  file.track()
      .text(0, meta::kText, "@KMIDI KARAOKE FILE")
      .text(0, meta::kText, "@TKeep")
      .meta(0, meta::kLyric, {})
      .control(0, 0, 31, 5)  // before a Midisoft message: removed
      .control(0, 0, 98, 1)
      .control(0, 1, 31, 5)  // another channel: kept
      .sysex(10, midisoft(4, "line"))
      .sysex(10, {0x43, 0x7E, 0x02, 0x33, 0x0A, 0x7F, 0x00, 0xF7})
      .sysex(0, {0x7E, 0x7F, 0x09, 0x01, 0xF7})  // GM reset
      .meta(10, meta::kSequencerSpecific, {0x43, 0x7B, 0x01, 0x33, 0x00, 0x7F, 0x7F})
      .meta(0, meta::kSequencerSpecific, {0x43, 0x7B, 0x0C, 0x01})  // other XF data
      .text(10, meta::kLyric, "la")
      .text(0, meta::kText, "la")
      .text(0, meta::kMarker, "Verse")
      .control(10, 0, 31, 5)  // after the last Midisoft message: kept
      .endOfTrack();
  auto sequence = load(file);
  int before = sequence->count();
  removeLyricsAndChords(*sequence);
  EXPECT_EQ(sequence->count(), before - 8);
  EXPECT_EQ(metas(*sequence, {meta::kText, meta::kLyric, meta::kMarker, meta::kSequencerSpecific}),
            (Strings{"0 0 1 @TKeep", "0 0 5 ", "0 30 127 \x43\x7B\x0C\x01", "0 40 6 Verse"}));
}

TEST_F(LyricsWriting, TextItemsAreEncodedAndNeverBeforeTickOne) {
  sequence_->setNumTracks(2);
  TSyncArray lyrics{TSyncItem("さく", 0), TSyncItem("ら\n", 480), TSyncItem("", 600), TSyncItem("x€", 700)};
  TSyncItem chord("Am", 480);
  setLyrics(*sequence_, lyrics, TSyncArray{chord, TSyncItem("", 900)}, kShiftJISStringEncoding, 1);
  EXPECT_EQ(metas(*sequence_, {meta::kLyric, meta::kText}),
            (Strings{"1 1 5 " + *encodeText("さく", kShiftJISStringEncoding), "0 480 1 Am",
                     "1 480 5 " + *encodeText("ら", kShiftJISStringEncoding), "1 480 5 \r",
                     "1 700 5 x?"}));  // lossy: no euro sign in this code page; tracks in order at 480
}

TEST_F(LyricsWriting, ATrackOutsideTheSequenceChangesNothing) {
  int before = sequence_->count();
  EXPECT_THROW(setLyrics(*sequence_, DSyncArray{DSyncItem("la", 0)}, DSyncArray{}, false, 1), std::out_of_range);
  EXPECT_THROW(setLyrics(*sequence_, TSyncArray{}, TSyncArray{}, kUTF8StringEncoding, -3), std::out_of_range);
  EXPECT_EQ(sequence_->count(), before);
  EXPECT_TRUE(setLyrics(*sequence_, DSyncArray{DSyncItem("la", 0)}, DSyncArray{}, false, 256));  // 0 in 8 bits
  EXPECT_EQ(metas(*sequence_, {meta::kLyric}), (Strings{"0 0 5 la"}));
}

TEST_F(LyricsWriting, LyricsTooLongForOneBatchKeepTheirOrder) {
  DSyncArray lyrics{DSyncItem(std::string(70000, 'a') + "\r", 10), DSyncItem("b\r", 10)};
  ASSERT_TRUE(setLyrics(*sequence_, lyrics, DSyncArray{}, false, 0));
  DSyncArray again;
  getLyricsDSyncs(*sequence_, &again, nullptr);
  EXPECT_EQ(texts(again), texts(lyrics));
}
