// Lyrics, names, timing and encodings of karaoke files laid out the way files in the wild are.
#include <gtest/gtest.h>
#include <unicode/ucnv.h>

#include "lyrics_test_support.h"
#include "smf/smf_signature_map.h"
#include "text/encoding_guess.h"
#include "text/lyrics_extractor.h"
#include "text/sequence_info.h"
#include "text/synced_text.h"

using namespace sw;
using namespace lyricstest;
using swtest::MidiFileBuilder;
using swtest::TrackBuilder;

namespace {

struct Extracted {
  DSyncArray lyrics, chords;
  FourCharCode type = 0;
};

Extracted extract(const MidiFileBuilder& file) {
  Extracted result;
  getLyricsDSyncs(*load(file), &result.lyrics, &result.chords, &result.type);
  return result;
}

std::string joined(const DSyncArray& items) {
  std::string text;
  for (const DSyncItem& item : items) text += item.data();
  return text;
}

// Soft Karaoke syllables, one every 240 ticks from tick 0, after the words headers.
void addSyllables(TrackBuilder& track, const Strings& syllables) {
  track.text(0, meta::kText, "@LENGL").text(0, meta::kText, "@TRoad Song");
  for (size_t i = 0; i < syllables.size(); ++i) track.text(i == 0 ? 0 : 240, meta::kText, syllables[i]);
}

const Strings kSong = {"\\More", " than", " once", " she's", " left", " me", "/on", " the", " side", " of", " the",
                       " road."};

std::string pascal(const PascalString& field) { return std::string(pascalBytes(field)); }

std::string inCharset(const std::string& utf8, const char* charset) {
  std::string out(utf8.size() * 4 + 16, '\0');
  UErrorCode status = U_ZERO_ERROR;
  const int32_t length =
      ucnv_convert(charset, "UTF-8", out.data(), int32_t(out.size()), utf8.data(), int32_t(utf8.size()), &status);
  EXPECT_TRUE(U_SUCCESS(status)) << charset;
  out.resize(size_t(std::max(length, 0)));
  return out;
}

}  // namespace

TEST(RealKaraokeFiles, TheLayerWithTheWordsWinsWhenBothExist) {
  // The lyric events repeat the syllables without their spaces.
  MidiFileBuilder squashed(1, 480);
  squashed.track().text(0, meta::kText, "@KMIDI KARAOKE FILE").endOfTrack();
  auto& words = squashed.track();
  addSyllables(words, kSong);
  words.endOfTrack();
  auto& lyricTrack = squashed.track();
  for (size_t i = 0; i < kSong.size(); ++i) {
    std::string syllable = kSong[i].substr(kSong[i][0] == ' ' ? 1 : 0);
    lyricTrack.text(i == 0 ? 0 : 240, meta::kLyric, syllable);
  }
  lyricTrack.endOfTrack();
  Extracted e = extract(squashed);
  EXPECT_EQ(joined(e.lyrics), "More than once she's left me\ron the side of the road.");
  EXPECT_EQ(e.type, kSoftKaraokeType);

  // The lyric events hold only the first line.
  MidiFileBuilder firstLine(0, 480);
  auto& track = firstLine.track();
  addSyllables(track, kSong);
  track.text(0, meta::kLyric, "More than once ").text(0, meta::kLyric, "she's left me");
  for (int i = 0; i < 6; ++i) track.text(0, meta::kLyric, " ");
  track.endOfTrack();
  EXPECT_EQ(joined(extract(firstLine).lyrics), "More than once she's left me\ron the side of the road.");

  // Lyric events with more words win, and name their dialect.
  MidiFileBuilder lyricsBetter(1, 480);
  auto& both = lyricsBetter.track();
  both.text(0, meta::kText, "@KMIDI KARAOKE FILE").text(10, meta::kText, "/Morethanonce");
  both.text(0, meta::kLyric, "More ").text(0, meta::kLyric, "than ").text(0, meta::kLyric, "once").endOfTrack();
  Extracted l = extract(lyricsBetter);
  EXPECT_EQ(joined(l.lyrics), "More than once");
  EXPECT_EQ(l.type, kLyricKaraokeType);
}

TEST(RealKaraokeFiles, SoftKaraokeWordsComeFromTheWordsTrackFromTickZero) {
  // Headers on track 1, the words (first syllable at tick 0) on track 2, a copyright line and
  // an instrument comment on track 3: only the words are lyrics.
  MidiFileBuilder file(1, 480);
  file.track().tempo(0, 500000).endOfTrack();
  file.track().text(0, meta::kText, "@KMIDI KARAOKE FILE").text(0, meta::kText, "@V0100").endOfTrack();
  auto& words = file.track();
  addSyllables(words, {"Ma", "ry", " was", "/a", " lit", "tle", " lamb"});
  words.endOfTrack();
  file.track().text(0, meta::kText, "(C) 1990 Someone").text(480, meta::kText, "Piano part").endOfTrack();
  Extracted e = extract(file);
  EXPECT_EQ(joined(e.lyrics), "Mary was\ra little lamb");
  EXPECT_EQ(e.lyrics.front().delay(), 0);
  EXPECT_EQ(e.type, kSoftKaraokeType);

  // Without marks the track of the words headers holds the words.
  MidiFileBuilder unmarked(1, 480);
  unmarked.track().text(0, meta::kText, "@KMIDI KARAOKE FILE").text(10, meta::kText, "Comment").endOfTrack();
  auto& plain = unmarked.track();
  addSyllables(plain, {"Hel", "lo"});
  plain.endOfTrack();
  EXPECT_EQ(joined(extract(unmarked).lyrics), "Hello");
  EXPECT_EQ(findSoftKaraokeWords(*load(unmarked)).track, 1);
  EXPECT_FALSE(findSoftKaraokeWords(*load(withEvents(meta::kText, {"Hello"}))).present);
}

TEST(RealKaraokeFiles, LyricMarksAndQuestionMarks) {
  Extracted e = extract(withEvents(meta::kLyric, {"\\Verse", " one", "\\Why", "?", "/So", " ?", "??", "Now?", "?"}));
  EXPECT_EQ(texts(e.lyrics), (Strings{"Verse", " one\r", "Why", "?\r", "So", "Now?"}));
  // "?" on its own at the start, after a space or after another mark is still noise.
  EXPECT_TRUE(extract(withEvents(meta::kLyric, {"?"})).lyrics.empty());
}

TEST(RealKaraokeFiles, ASyllableNeverNamesTheFile) {
  // Format 0, no program change before the words.
  MidiFileBuilder file(0, 480);
  auto& track = file.track();
  track.text(0, meta::kText, "@KMIDI KARAOKE FILE");
  addSyllables(track, {"Ma", "ry", " was"});
  track.noteOn(0, 0, 60, 90).noteOff(480, 0, 60).endOfTrack();
  auto sequence = load(file);
  SequenceInfo info;
  DSyncArray lyrics;
  getInfo(*sequence, info, &lyrics);
  EXPECT_EQ(pascal(info.seqName), "");
  EXPECT_EQ(pascal(info.title), "Road Song");
  EXPECT_EQ(joined(lyrics), "Mary was");

  // Naming the file adds a track name and leaves the syllables alone.
  setSeqName(*sequence, std::string_view("Mary"), std::nullopt, std::nullopt, std::nullopt);
  getInfo(*sequence, info, &lyrics);
  EXPECT_EQ(pascal(info.seqName), "Mary");
  EXPECT_EQ(joined(lyrics), "Mary was");
}

TEST(RealKaraokeFiles, SMPTEDivisionsRunInRealTime) {
  // 25 frames a second, 40 ticks a frame: 1000 ticks a second, whatever the tempo says.
  MidiFileBuilder file(0, 480);
  file.divisionWord(0xE728);
  file.track().tempo(0, 500000).text(1500, meta::kLyric, "la").tempo(500, 1000000).text(1000, meta::kLyric, "di").endOfTrack();
  auto sequence = load(file);
  EXPECT_DOUBLE_EQ(sequence->microSecondsAtTicks(1500), 1500000);
  EXPECT_DOUBLE_EQ(sequence->microSecondsAtTicks(3000), 3000000);
  DSyncArray lyrics;
  getLyricsDSyncs(*sequence, &lyrics, nullptr);
  SyncedText text(lyrics, kISOLatin1StringEncoding, SMFSignatureMap::fromSequence(*sequence));
  EXPECT_EQ(text.LRCEnhanced(false), "\n[00:01.50]ladi");
  EXPECT_EQ(getInfo(*sequence).duration, 3000u);

  // 29.97 frames a second (drop frame), 80 ticks a frame.
  MidiFileBuilder drop(0, 480);
  drop.divisionWord(0xE350);
  drop.track().endOfTrack();
  EXPECT_NEAR(load(drop)->tickDurationAtTicks(0), 1e6 / (30000.0 / 1001.0 * 80), 1e-9);
}

TEST(RealKaraokeFiles, TheEncodingIsGuessedFromAllTextsOfTheFile) {
  // A short Shift JIS title: the detector alone reads it as some Western charset.
  for (const char* title : {"上を向いて歩こう", "北国の春", "カラオケ"}) {
    MidiFileBuilder file(1, 480);
    file.track().text(0, meta::kTrackName, inCharset(title, "Shift_JIS")).endOfTrack();
    const SequenceEncodingGuess guess = guessSequenceEncoding(*load(file));
    EXPECT_EQ(guess.encoding, kShiftJISStringEncoding) << title;
    EXPECT_TRUE(guess.confident) << title;
  }
  // Japanese spread over a name, a marker and a few lyrics counts together.
  MidiFileBuilder spread(1, 480);
  spread.track()
      .text(0, meta::kTrackName, inCharset("夕焼け小焼け", "Shift_JIS"))
      .text(0, meta::kMarker, inCharset("一番", "Shift_JIS"))
      .text(10, meta::kLyric, inCharset("ゆう", "Shift_JIS"))
      .endOfTrack();
  EXPECT_EQ(guessSequenceEncoding(*load(spread)).encoding, kShiftJISStringEncoding);

  // Short Western and Cyrillic texts are not taken for Japanese, nor trusted.
  for (auto [text, charset] : {std::pair{"Ça été l'été", "ISO-8859-1"}, std::pair{"Катюша", "windows-1251"}}) {
    MidiFileBuilder file(1, 480);
    file.track().text(0, meta::kTrackName, inCharset(text, charset)).endOfTrack();
    const SequenceEncodingGuess guess = guessSequenceEncoding(*load(file));
    EXPECT_NE(guess.encoding, kShiftJISStringEncoding) << text;
    EXPECT_FALSE(guess.confident) << text;
  }
  // UTF-8 is confident only with bytes beyond ASCII.
  EXPECT_EQ(guessSampleEncoding("plain\n").encoding, kUTF8StringEncoding);
  EXPECT_FALSE(guessSampleEncoding("plain\n").confident);
  EXPECT_TRUE(guessSampleEncoding("北国の春\n").confident);
  EXPECT_FALSE(guessSampleEncoding("").confident);
}
