#include <gtest/gtest.h>

#include "lyrics_test_support.h"
#include "temp_dir.h"
#include "text/lyrics_extractor.h"
#include "text/lyrics_writer.h"
#include "text/text_conversion.h"

using namespace sw;
using namespace lyricstest;
using swtest::Bytes;
using swtest::MidiFileBuilder;
using Strings = std::vector<std::string>;

namespace {

struct Meta {
  uint8_t track;
  uint32_t ticks;
  uint8_t type;
  std::string text;
  bool operator==(const Meta&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Meta& m) {
  return out << "{" << int(m.track) << "," << m.ticks << "," << int(m.type) << ",'" << m.text << "'}";
}

// The meta events of the given types, in sequence order.
std::vector<Meta> metas(const MidiSequence& sequence, std::initializer_list<uint8_t> types) {
  std::vector<Meta> result;
  for (const MidiEvent* e : sequence.events()) {
    if (!e->isMeta()) continue;
    for (uint8_t type : types)
      if (e->second() == type)
        result.push_back({e->track(), e->ticks(), type,
                          std::string(reinterpret_cast<const char*>(e->metaData()), e->metaDataSize())});
  }
  return result;
}

DSyncItem chordItem(std::string text, int32_t delay) {
  DSyncItem item(std::move(text), delay);
  item.setIsChord(true);
  return item;
}

class LyricsWriting : public ::testing::Test {
 protected:
  swtest::TempDir dir_;
  XFChordManager aliases_{dir_.file("aliases.plist")};  // no file: the default aliases
};

MidiFileBuilder plainLyrics() {
  MidiFileBuilder file(1, 480);
  file.track().text(0, meta::kTrackName, "Song").endOfTrack();
  file.track()
      .text(480, meta::kLyric, "Hel")
      .text(240, meta::kLyric, "lo\r")
      .text(240, meta::kLyric, "World")
      .text(0, meta::kLyric, "%Am")
      .endOfTrack();
  return file;
}

}  // namespace

TEST_F(LyricsWriting, PlainLyricsWrittenBackGiveOneEventPerSyllableAndLineEnd) {
  auto sequence = load(plainLyrics());
  DSyncArray lyrics, chords;
  getLyricsDSyncs(*sequence, &lyrics, &chords);
  ASSERT_TRUE(setLyrics(*sequence, lyrics, chords, false, 0, nullptr, &aliases_));
  EXPECT_EQ(metas(*sequence, {meta::kLyric, meta::kText}),
            (std::vector<Meta>{{0, 480, 5, "Hel"}, {0, 720, 5, "lo"}, {0, 720, 5, "\r"},
                               {0, 960, 5, "World"}, {0, 960, 1, "A m"}}));

  DSyncArray again, againChords;
  FourCharCode type = 0;
  getLyricsDSyncs(*sequence, &again, &againChords, &type);
  EXPECT_EQ(texts(again), texts(lyrics));
  EXPECT_EQ(delays(again), delays(lyrics));
  EXPECT_EQ(texts(againChords), (Strings{"Am"}));  // "A m" reads back strictly
  EXPECT_EQ(type, kLyricKaraokeType);
}

TEST_F(LyricsWriting, SoftKaraokeLosesItsMarkersButKeepsItsTags) {
  MidiFileBuilder file(1, 480);
  file.track().text(0, meta::kText, "@KMIDI KARAOKE FILE").text(0, meta::kText, "@K").endOfTrack();
  file.track()
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
  ASSERT_TRUE(setLyrics(*sequence, lyrics, chords, false, 1, nullptr, &aliases_));
  EXPECT_EQ(metas(*sequence, {meta::kText}),
            (std::vector<Meta>{{1, 0, 1, "@TTitle"}, {1, 0, 1, "@"}, {1, 1440, 1, ""}}));
  EXPECT_FALSE(isSoftKaraoke(*sequence));

  DSyncArray again;
  getLyricsDSyncs(*sequence, &again, nullptr);
  EXPECT_EQ(texts(again), (Strings{"Twin", "kle\r", "star"}));
  EXPECT_EQ(texts(again), texts(lyrics));
}

TEST_F(LyricsWriting, ChordsAsTextEvents) {
  auto sequence = load(plainLyrics());
  DSyncArray chords{chordItem("Cm7", 10), chordItem("C#m7/E", 500), chordItem("Hm", 1000),
                    chordItem(std::string(255, 'C'), 1500), chordItem("", 2000)};
  ASSERT_TRUE(setLyrics(*sequence, {}, chords, false, 1, nullptr, &aliases_));
  // A text that is no chord (or too long to be one) leaves an empty text event.
  EXPECT_EQ(metas(*sequence, {meta::kText, meta::kLyric}),
            (std::vector<Meta>{{1, 10, 1, "C m7"}, {1, 500, 1, "C#m7/E"}, {1, 1000, 1, ""}, {1, 1500, 1, ""}}));
  DSyncArray lyrics, again;
  getLyricsDSyncs(*sequence, &lyrics, &again);
  EXPECT_EQ(texts(again), (Strings{"Cm7", "C#m7/E"}));
  EXPECT_TRUE(lyrics.empty());
}

TEST_F(LyricsWriting, ChordsAsXFChordEvents) {
  auto sequence = load(plainLyrics());
  DSyncArray chords{chordItem("Am7", 480), chordItem("F#/A", 960)};
  XFChordError error;
  ASSERT_TRUE(setLyrics(*sequence, {}, chords, true, 1, &error, &aliases_));
  std::vector<Meta> written = metas(*sequence, {meta::kSequencerSpecific});
  ASSERT_EQ(written.size(), 2u);
  EXPECT_EQ(written[0].text.substr(0, 3), "\x43\x7B\x01");
  DSyncArray lyrics, again;
  getLyricsDSyncs(*sequence, &lyrics, &again);
  EXPECT_EQ(delays(again), (std::vector<int32_t>{480, 960}));
  EXPECT_EQ(again[1].data(), "F#/A");
}

TEST_F(LyricsWriting, AChordWithoutXFFormStopsChordWritingWhenAnErrorIsAskedFor) {
  auto sequence = load(plainLyrics());
  DSyncArray lyrics{DSyncItem("la\r", 100)};
  DSyncArray chords{chordItem("C", 480), chordItem("Cxyz", 960), chordItem("D", 1440)};
  XFChordError error;
  EXPECT_FALSE(setLyrics(*sequence, lyrics, chords, true, 1, &error, &aliases_));
  EXPECT_EQ(error.description, "Unknow chord type");
  EXPECT_TRUE(metas(*sequence, {meta::kSequencerSpecific}).empty());
  EXPECT_EQ(metas(*sequence, {meta::kLyric}), (std::vector<Meta>{{1, 100, 5, "la"}, {1, 100, 5, "\r"}}));

  // Without an error the chord is skipped and the others are written.
  EXPECT_TRUE(setLyrics(*sequence, lyrics, chords, true, 1, nullptr, &aliases_));
  EXPECT_EQ(metas(*sequence, {meta::kSequencerSpecific}).size(), 2u);
}

TEST_F(LyricsWriting, RemovalOfEveryDialect) {
  MidiFileBuilder file(1, 480);
  file.track()
      .text(0, meta::kText, "@KMIDI KARAOKE FILE")
      .text(0, meta::kText, "@TKeep")
      .meta(0, meta::kLyric, {})
      .control(0, 0, 31, 5)  // before a Midisoft message: removed
      .control(0, 0, 98, 1)
      .control(0, 1, 31, 5)  // another channel: kept
      .control(0, 0, 7, 100)
      .sysex(10, midisoft(4, "line"))
      .sysex(10, {0x43, 0x7E, 0x02, 0x33, 0x0A, 0x7F, 0x00, 0xF7})
      .sysex(0, {0x7E, 0x7F, 0x09, 0x01, 0xF7})  // GM reset stays
      .meta(10, meta::kSequencerSpecific, {0x43, 0x7B, 0x01, 0x33, 0x00, 0x7F, 0x7F})
      .meta(0, meta::kSequencerSpecific, {0x43, 0x7B, 0x0C, 0x01})  // other XF data stays
      .text(10, meta::kLyric, "la")
      .text(0, meta::kText, "la")
      .text(0, meta::kMarker, "Verse")
      .control(10, 0, 31, 5)  // after the last Midisoft message: kept
      .endOfTrack();
  auto sequence = load(file);
  int before = sequence->count();
  ASSERT_TRUE(setLyrics(*sequence, DSyncArray{}, DSyncArray{}, false, 0, nullptr, &aliases_));
  EXPECT_EQ(sequence->count(), before - 8);
  EXPECT_EQ(metas(*sequence, {meta::kText, meta::kLyric, meta::kMarker}),
            (std::vector<Meta>{{0, 0, 1, "@TKeep"}, {0, 0, 5, ""}, {0, 40, 6, "Verse"}}));
  int controls = 0, sysexes = 0;
  for (const MidiEvent* e : sequence->events()) {
    controls += e->status() == 0xB0;
    sysexes += e->isSysex();
  }
  EXPECT_EQ(controls, 3);
  EXPECT_EQ(sysexes, 1);
}

TEST_F(LyricsWriting, TextItemsAreEncodedAndNeverBeforeTickOne) {
  auto sequence = load(plainLyrics());
  TSyncArray lyrics{TSyncItem("さく", 0), TSyncItem("ら\n", 480), TSyncItem("", 600), TSyncItem("x€", 700)};
  TSyncItem chord("Am", 480);
  chord.setIsChord(true);
  setLyrics(*sequence, lyrics, TSyncArray{chord, TSyncItem("", 900)}, kShiftJISStringEncoding, 1);
  std::vector<Meta> written = metas(*sequence, {meta::kLyric, meta::kText});
  ASSERT_EQ(written.size(), 5u);
  EXPECT_EQ(written[0], (Meta{1, 1, 5, *encodeText("さく", kShiftJISStringEncoding)}));
  EXPECT_EQ(written[2], (Meta{1, 480, 5, "\r"}));
  EXPECT_EQ(written[3], (Meta{0, 480, 1, "Am"}));  // chords are inserted after the lyrics
  EXPECT_EQ(written[4], (Meta{1, 700, 5, "x?"}));  // lossy: the euro sign has no Shift JIS form here

  DSyncArray again;
  getLyricsDSyncs(*sequence, &again, nullptr);
  TSyncArray decoded = SyncArray::TSyncWithDSyncs(again, kShiftJISStringEncoding);
  ASSERT_EQ(decoded.size(), 3u);
  EXPECT_EQ(decoded[1].text(), "ら");
  EXPECT_TRUE(decoded[1].EOL());
}

TEST_F(LyricsWriting, ATrackOutsideTheSequenceChangesNothing) {
  auto sequence = load(plainLyrics());
  int before = sequence->count();
  EXPECT_THROW(setLyrics(*sequence, DSyncArray{DSyncItem("la", 0)}, DSyncArray{}, false, 2), std::out_of_range);
  EXPECT_THROW(setLyrics(*sequence, DSyncArray{}, DSyncArray{}, false, 255), std::out_of_range);  // -1
  EXPECT_THROW(setLyrics(*sequence, TSyncArray{}, TSyncArray{}, kUTF8StringEncoding, -3), std::out_of_range);
  EXPECT_EQ(sequence->count(), before);
  EXPECT_EQ(metas(*sequence, {meta::kLyric}).size(), 4u);
  // 257 is 1 as a signed 8-bit value.
  EXPECT_TRUE(setLyrics(*sequence, DSyncArray{DSyncItem("la", 0)}, DSyncArray{}, false, 257));
  EXPECT_EQ(metas(*sequence, {meta::kLyric}), (std::vector<Meta>{{1, 0, 5, "la"}}));
}

TEST_F(LyricsWriting, EnormousLyricsSurviveARoundTrip) {
  auto sequence = load(plainLyrics());
  DSyncArray lyrics{DSyncItem(std::string(70000, 'a') + "\r", 10), DSyncItem("b\r", 20)};
  ASSERT_TRUE(setLyrics(*sequence, lyrics, DSyncArray{}, false, 1));
  std::vector<Meta> written = metas(*sequence, {meta::kLyric});
  ASSERT_EQ(written.size(), 4u);
  EXPECT_EQ(written[0].text.size(), 70000u);
  EXPECT_EQ(written[1].text, "\r");
  EXPECT_EQ(written[2], (Meta{1, 20, 5, "b"}));
  EXPECT_EQ(written[3], (Meta{1, 20, 5, "\r"}));
  DSyncArray again;
  getLyricsDSyncs(*sequence, &again, nullptr);
  EXPECT_EQ(texts(again), texts(lyrics));
}
