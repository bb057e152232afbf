// One encoding for a file's texts in every command (given, saved, confident guess, default),
// the information that `info` shows, and the batch methods that read or write texts with it.
#include "base/plist_attribute.h"
#include "batch_test_support.h"
#include "library/file_information.h"
#include "library/file_text_encoding.h"
#include "text/encoding_manager.h"
#include "text/string_encoding.h"
#include "text/text_conversion.h"

namespace {

using batchtest::onDisk;
using sw::EncodingSource;
namespace meta = sw::meta;

std::string encoded(const std::string& utf8, sw::StringEncoding encoding) {
  std::string bytes;
  EXPECT_EQ(sw::convertFromUTF8(utf8, encoding, bytes, sw::ConversionMode::Strict), sw::noErr);
  return bytes;
}

// A Soft Karaoke song whose title and lyrics are in one encoding; `syllables` lyric events
// make the sample long enough (500 bytes and more) for a confident guess.
swtest::MidiFileBuilder song(const std::string& title, const std::vector<std::string>& words, int syllables) {
  swtest::MidiFileBuilder file(1, 480);
  auto& t = file.track();
  t.tempo(0, 500000).timeSignature(0, 4, 2).text(0, meta::kText, "@KMIDI KARAOKE FILE").text(0, meta::kText, "@T" + title);
  for (int i = 0; i < syllables; ++i) t.text(120, meta::kText, words[size_t(i) % words.size()]);
  t.noteOn(0, 0, 60, 100).noteOff(480, 0, 60).endOfTrack();
  return file;
}

const std::vector<std::string> kKana{"はる", "の", "お", "がわ", "は", "さら", "さら", "いく", "よ", "。"};

std::vector<std::string> inEncoding(const std::vector<std::string>& words, sw::StringEncoding encoding) {
  std::vector<std::string> out;
  for (const std::string& word : words) out.push_back(encoded(word, encoding));
  return out;
}

swtest::MidiFileBuilder japaneseSong(int syllables = 400) {
  return song(encoded("さくら", sw::kShiftJISStringEncoding), inEncoding(kKana, sw::kShiftJISStringEncoding),
              syllables);
}

std::string fileText(const std::string& path) {
  auto bytes = swtest::TempDir::read(path);
  return std::string(bytes.begin(), bytes.end());
}

class FileTextEncoding : public batchtest::BatchTest {};

TEST_F(FileTextEncoding, GivenThenSavedThenConfidentGuessThenDefault) {
  auto japanese = item("sakura.kar", japaneseSong());
  auto latin = item("cafe.kar", song("Caf\xE9", {"la "}, 3));  // too little text to tell
  sw::OSStatus status = 1;
  const sw::MidiSequence sequence(japanese->fullPath(), sw::kSMFLoadFull, &status);

  auto resolved = sw::resolveFileTextEncoding(japanese->fullPath(), sequence, std::nullopt);
  EXPECT_EQ(resolved.encoding, sw::kShiftJISStringEncoding);
  EXPECT_EQ(resolved.source, EncodingSource::Guess);
  EXPECT_EQ(japanese->textEncoding().source, EncodingSource::Guess);  // the same from the item's scan
  EXPECT_EQ(japanese->title(), "さくら");

  ASSERT_EQ(sw::writeNumberAttribute(japanese->fullPath(), sw::MidiFileItem::kEncodingAttribute,
                                     sw::kWindowsCP1251StringEncoding), sw::noErr);
  resolved = sw::resolveFileTextEncoding(japanese->fullPath(), sequence, std::nullopt);
  EXPECT_EQ(resolved.encoding, sw::kWindowsCP1251StringEncoding);
  EXPECT_EQ(resolved.source, EncodingSource::Saved);
  resolved = sw::resolveFileTextEncoding(japanese->fullPath(), sequence, sw::kUTF8StringEncoding);
  EXPECT_EQ(resolved.encoding, sw::kUTF8StringEncoding);
  EXPECT_EQ(resolved.source, EncodingSource::Given);

  EXPECT_EQ(latin->textEncoding().source, EncodingSource::Default);
  EXPECT_EQ(latin->textEncoding().encoding, sw::kISOLatin1StringEncoding);
  EXPECT_FALSE(latin->textEncoding().trusted());
  // A UTF-8 default cannot read texts that are not UTF-8: ISO Latin 1 stands in for it.
  set(sw::EncodingManager::kDefaultEncodingKey, int(sw::kUTF8StringEncoding));
  EXPECT_EQ(sw::resolveTextEncoding(std::nullopt, std::nullopt, [] { return sw::EncodingGuess{}; }).encoding,
            sw::kISOLatin1StringEncoding);
  set(sw::EncodingManager::kDefaultEncodingKey, int(sw::kWindowsCP1251StringEncoding));
  EXPECT_EQ(latin->textEncoding().encoding, sw::kWindowsCP1251StringEncoding);
}

TEST_F(FileTextEncoding, InformationIsTheRecordAsTheBrowserShowsIt) {
  // Format 1 in the header, one track; the only tempo (60 BPM: 1 ms per tick) at tick 1,
  // before the first note; the end 59,998.5 ms in.
  swtest::MidiFileBuilder file(1, 1000);
  file.track()
      .text(0, meta::kTrackName, encoded("Привет", sw::kWindowsCP1251StringEncoding))
      .tempo(1, 1000000)
      .noteOn(9, 0, 60, 100)
      .noteOff(59989, 0, 60)
      .endOfTrack();
  const std::string path = dir.write("one.mid", file.bytes());
  sw::FileInformation information = sw::fileInformation(path);
  ASSERT_TRUE(information.readable);
  EXPECT_EQ(information.format, 0);
  EXPECT_EQ(information.tracks, 1);
  EXPECT_EQ(information.tempo, 60);
  EXPECT_EQ(information.duration, "0:59");  // the seconds are cut, not rounded
  ASSERT_EQ(information.defects.size(), 2u);  // no time signature, no reset
  EXPECT_STREQ(information.defects[0]->key, "BAD_TEMPO_SIGNATURE");
  EXPECT_STREQ(information.defects[1]->key, "MISSING_RESET_MESSAGE");
  information = sw::fileInformation(path, sw::kWindowsCP1251StringEncoding);
  EXPECT_EQ(information.sequenceName, "Привет");
  EXPECT_EQ(information.encoding.source, EncodingSource::Given);

  const std::string japanese = dir.write("sakura.kar", japaneseSong().bytes());
  information = sw::fileInformation(japanese);
  EXPECT_EQ(information.title, "さくら");
  EXPECT_EQ(information.encoding.encoding, sw::kShiftJISStringEncoding);

  dir.write("garbage.mid", {'n', 'o'});
  information = sw::fileInformation(dir.file("garbage.mid"));
  EXPECT_FALSE(information.readable);
  EXPECT_NE(information.status, sw::noErr);
}

TEST_F(FileTextEncoding, ConvertToUTF8UsesTheGuessAndRefusesWhenUnsure) {
  auto japanese = item("sakura.kar", japaneseSong());
  EXPECT_FALSE(japanese->doConvertToUTF8(recording()));
  auto titles = metaTexts(*reread(japanese->fullPath()), meta::kText);
  EXPECT_EQ(titles[1], "0:0:@Tさくら");
  EXPECT_EQ(japanese->savedEncoding(), sw::kUTF8StringEncoding);

  // Too little text to tell: nothing is rewritten or recorded unless an encoding is given.
  const std::string cyrillic = encoded("Привет", sw::kWindowsCP1251StringEncoding);
  auto unsure = item("short.kar", song(cyrillic, {"la "}, 3));
  ASSERT_FALSE(unsure->textEncoding().trusted());
  const auto before = onDisk(unsure->fullPath());
  const sw::Error refused = unsure->doConvertToUTF8(recording());
  EXPECT_EQ(refused.status, sw::kTextUnsupportedEncodingErr);
  EXPECT_NE(refused.message.find("confidence"), std::string::npos);
  EXPECT_EQ(onDisk(unsure->fullPath()), before);
  EXPECT_FALSE(unsure->savedEncoding());
  set("selectedEncoding", int(sw::kWindowsCP1251StringEncoding));
  EXPECT_FALSE(unsure->doConvertToUTF8(recording()));
  EXPECT_EQ(metaTexts(*reread(unsure->fullPath()), meta::kText)[1], "0:0:@TПривет");
}

TEST_F(FileTextEncoding, TextCommandsUseTheFilesEncoding) {
  auto japanese = item("sakura.kar", japaneseSong(300));
  set("extractLyricsFormat", 0);
  EXPECT_FALSE(japanese->doExtractLyrics());
  EXPECT_EQ(fileText(dir.file("sakura.txt")).substr(0, 12), "はるのお");
  set("extractLyricsFormat", 3);
  EXPECT_FALSE(japanese->doExtractLyrics());
  EXPECT_EQ(fileText(dir.file("sakura.cpm")).substr(0, 17), "{title:さくら}");

  set("targetMetaEventSource", 0);
  set("targetMetaEventString", "はる");
  set("targetMetaEvent", int(meta::kTrackName));
  EXPECT_FALSE(japanese->doSetMetaEventText(recording()));
  EXPECT_EQ(metaTexts(*reread(japanese->fullPath()), meta::kTrackName),
            std::vector<std::string>{"0:0:" + encoded("はる", sw::kShiftJISStringEncoding)});
}

}  // namespace
