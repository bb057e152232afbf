#include "text/lyrics_text_keeper.h"

#include <gtest/gtest.h>

#include "lyrics_test_support.h"
#include "text/lyrics_extractor.h"

using namespace sw;
using namespace lyricstest;

namespace {

std::string textOf(const MidiEvent* e) {
  return std::string(reinterpret_cast<const char*>(e->metaData()), e->metaDataSize());
}

// A Soft Karaoke file: header and words on track 1, a chord text, the melody on track 2.
swtest::MidiFileBuilder softKaraokeSong() {
  swtest::MidiFileBuilder file(1, 480);
  file.track().text(0, 3, "Song").tempo(0, 500000).endOfTrack();
  file.track()
      .text(0, 1, "@KMIDI KARAOKE FILE")
      .text(0, 1, "@TSong title")
      .text(480, 1, "\\Twin")
      .text(480, 1, "kle ")
      .text(0, 1, "%G7")
      .text(480, 1, "/lit")
      .text(480, 1, "tle")
      .endOfTrack();
  file.track().program(0, 0, 74).noteOn(480, 0, 60, 100).noteOff(1920, 0, 60).endOfTrack();
  return file;
}

}  // namespace

TEST(LyricsTextKeeper, LyricsAndChordsSurviveBothConversions) {
  auto seq = load(softKaraokeSong());
  const std::string words = lyrics(*seq);
  ASSERT_EQ(words, "Twinkle \rlittle");

  LyricsTextKeeper keeper;
  seq->convertToZero(&keeper);
  EXPECT_EQ(lyrics(*seq), words);
  EXPECT_FALSE(isSoftKaraoke(*seq));
  std::vector<std::string> texts, lyricEvents;
  for (const MidiEvent* e : seq->events()) {
    if (e->isMeta(meta::kText)) texts.push_back(textOf(e));
    if (e->isMeta(meta::kLyric)) lyricEvents.push_back(textOf(e));
    if (e->isMeta(meta::kTrackName)) {
      EXPECT_EQ(textOf(e), "Song");
    }
  }
  // The header goes with the Soft Karaoke texts; the words are lyric events now.
  EXPECT_EQ(texts, (Strings{"@TSong title", "G 7"}));
  EXPECT_EQ(lyricEvents, (Strings{"Twin", "kle ", "\r", "lit", "tle"}));

  ASSERT_TRUE(seq->convertToOne(false, &keeper));
  EXPECT_TRUE(isSoftKaraoke(*seq));
  EXPECT_EQ(lyrics(*seq), words);
  EXPECT_EQ(seq->trackNames(), (Strings{"Song", "SoftKaraoke", "Words", "Chords", ""}));
  DSyncArray chords, ignored;
  getLyricsDSyncs(*seq, &ignored, &chords);
  ASSERT_EQ(chords.size(), 1u);
  EXPECT_EQ(chords[0].data(), "G7");
  EXPECT_EQ(chords[0].delay(), 960);
}
