// Extract lyrics, markers to lyrics and back, and Set meta-event text on built files.
#include "batch_test_support.h"
#include "library/reg_ex_transformer.h"
#include "text/string_encoding.h"

namespace {

using batchtest::exists;
using batchtest::onDisk;
using sw::MidiFileItem;
namespace meta = sw::meta;
using Strings = std::vector<std::string>;

// 120 BPM at 480 ticks per quarter: tick 480 is half a second.
swtest::MidiFileBuilder karaoke(const std::string& name = "Song", const std::string& first = "Hel") {
  swtest::MidiFileBuilder file(1, 480);
  auto& t = file.track();
  if (name.empty()) t.program(0, 0, 1);  // texts after it are not taken for the name
  else t.text(0, meta::kTrackName, name);
  t.tempo(0, 500000).timeSignature(0, 4, 2);
  t.text(480, meta::kLyric, first).text(0, meta::kText, "%Am").text(240, meta::kLyric, "lo\r");
  t.text(240, meta::kLyric, "World").text(0, meta::kText, "%G7").noteOn(0, 0, 60, 100).noteOff(480, 0, 60);
  t.endOfTrack();
  return file;
}

std::string sideFile(const std::string& path) {
  auto bytes = swtest::TempDir::read(path);
  return std::string(bytes.begin(), bytes.end());
}

class TextCommands : public batchtest::BatchTest {};

TEST_F(TextCommands, ExtractLyricsWritesEachFormatBesideTheFile) {
  auto song = item("song.kar", karaoke());
  const auto before = onDisk(song->fullPath());
  set("selectedEncoding", int(sw::kISOLatin1StringEncoding));
  // Every side file ends with a line feed.
  const std::vector<std::pair<int, std::string>> expected{
      {0, "Hello\nWorld\n"},
      {1, "\n[00:00.50]Hello\n[00:01.00]World\n"},
      {2, "\n[00:00.50]<00:00.50>Hel<00:00.75>lo\n[00:01.00]<00:01.00>World\n"},
      {3, "{title:Song}\n{subtitle:}\n\n[Am]Hello\n[G7]World\n"},
  };
  for (const auto& [format, text] : expected) {
    set("extractLyricsFormat", format);
    EXPECT_FALSE(song->doExtractLyrics(recording()));
    const std::string extension = format == 0 ? "txt" : format == 3 ? "cpm" : "lrc";
    EXPECT_EQ(sideFile(dir.file("song." + extension)), text) << format;
  }
  EXPECT_EQ(onDisk(song->fullPath()), before);  // the MIDI file is not touched
  set("extractLyricsFormat", 4);
  EXPECT_EQ(song->doExtractLyrics().status, sw::paramErr);
}

TEST_F(TextCommands, ExtractLyricsDecodesWithTheChosenEncoding) {
  auto song = item("latin", karaoke("", "Caf\xE9 "));
  set("extractLyricsFormat", 0);
  set("selectedEncoding", int(sw::kISOLatin1StringEncoding));
  EXPECT_FALSE(song->doExtractLyrics());
  EXPECT_EQ(sideFile(dir.file("latin.txt")), "Caf\xC3\xA9 lo\nWorld\n");
  set("selectedEncoding", int(sw::kUTF8StringEncoding));
  EXPECT_EQ(song->doExtractLyrics().status, sw::kTextUnsupportedEncodingErr);
  // No number chosen: the file's own encoding (ISO Latin 1 by default) decodes.
  set("selectedEncoding", 0);
  EXPECT_FALSE(song->doExtractLyrics());

  // ChordPro falls back to the file name for its title and is written even without lyrics.
  set("extractLyricsFormat", 3);
  EXPECT_FALSE(song->doExtractLyrics());
  // In a chosen folder the file name stands alone; a file chosen itself shows its path.
  EXPECT_EQ(sideFile(dir.file("latin.cpm")).substr(0, 7 + dir.path().size()), "{title:" + dir.path());
  swtest::MidiFileBuilder silent(0, 480);
  silent.track().noteOn(0, 0, 60, 100).noteOff(480, 0, 60).endOfTrack();
  dir.write("quiet.mid", silent.bytes());
  MidiFileItem folder(dir.path(), nullptr);
  MidiFileItem* quiet = nullptr;
  for (auto& child : folder.children())
    if (child->name() == "quiet.mid") quiet = static_cast<MidiFileItem*>(child.get());
  ASSERT_TRUE(quiet);
  EXPECT_FALSE(quiet->doExtractLyrics());
  EXPECT_EQ(sideFile(dir.file("quiet.cpm")), "{title:quiet}\n{subtitle:}\n\n");
  for (int format : {0, 1, 2}) {
    set("extractLyricsFormat", format);
    EXPECT_FALSE(quiet->doExtractLyrics());
  }
  EXPECT_FALSE(exists(dir.file("quiet.txt")));
  EXPECT_FALSE(exists(dir.file("quiet.lrc")));
}

TEST_F(TextCommands, ExtractLyricsNeverReplacesTheMidiFileOrWritesUnderADryRun) {
  set("selectedEncoding", int(sw::kISOLatin1StringEncoding));
  set("extractLyricsFormat", 0);
  auto named = item("song.txt", karaoke());  // the side file would be the MIDI file itself
  const auto before = onDisk(named->fullPath());
  EXPECT_EQ(named->doExtractLyrics().status, sw::paramErr);
  EXPECT_EQ(onDisk(named->fullPath()), before);

  auto song = item("dry.mid", karaoke());
  EXPECT_FALSE(song->doExtractLyrics(recording(true)));
  EXPECT_FALSE(exists(dir.file("dry.txt")));
  EXPECT_EQ(told, Strings{"lyrics written to dry.txt (2 lines)"});
}

TEST_F(TextCommands, MarkersAndLyricsTradePlaces) {
  swtest::MidiFileBuilder file(1, 480);
  file.track()
      .text(0, meta::kMarker, "@zero")  // tick 0: never converted
      .text(480, meta::kMarker, "@/word")
      .text(0, meta::kMarker, "@@at")
      .text(0, meta::kMarker, "%Am")
      .text(0, meta::kMarker, "@")
      .text(0, meta::kMarker, "plain")
      .text(0, meta::kMarker, "")
      .text(0, meta::kMarker, "@\\x")
      .endOfTrack();
  auto song = item("markers.mid", file);
  const auto before = onDisk(song->fullPath());
  EXPECT_FALSE(song->doMarkersToLyrics(recording(true)));
  EXPECT_EQ(onDisk(song->fullPath()), before);
  EXPECT_EQ(told, Strings{"2 markers changed into lyrics, 2 into texts, 1 emptied"});

  EXPECT_FALSE(song->doMarkersToLyrics());
  auto after = reread(song->fullPath());
  EXPECT_EQ(metaTexts(*after, meta::kLyric), (Strings{"0:480:\rword", "0:480:\nx"}));
  EXPECT_EQ(metaTexts(*after, meta::kText), (Strings{"0:480:@at", "0:480:%Am"}));
  EXPECT_EQ(metaTexts(*after, meta::kMarker), (Strings{"0:0:@zero", "0:480:", "0:480:plain", "0:480:"}));

  // Back again: line breaks become "/" and "\", lyrics get "@", texts "%" unless they have one.
  EXPECT_FALSE(song->doLyricsToMarkers());
  after = reread(song->fullPath());
  EXPECT_TRUE(metaTexts(*after, meta::kLyric).empty());
  EXPECT_TRUE(metaTexts(*after, meta::kText).empty());
  EXPECT_EQ(metaTexts(*after, meta::kMarker), (Strings{"0:0:@zero", "0:480:@/word", "0:480:%@at", "0:480:%Am",
                                                       "0:480:", "0:480:plain", "0:480:", "0:480:@\\x"}));
}

TEST_F(TextCommands, SetMetaEventTextFromTheFileName) {
  swtest::MidiFileBuilder file(1, 480);
  file.track().text(0, meta::kTrackName, "Old").text(0, meta::kText, "intro").text(480, meta::kTrackName, "Late")
      .endOfTrack();
  file.track().text(0, meta::kTrackName, "Other").endOfTrack();
  auto song = item("07 - Song.mid", file);
  set("targetMetaEvent", 3);
  set("targetMetaEventSource", 1);
  set("regExp1", "^[0-9]+ *- *");
  set("replaceStr1", "");
  EXPECT_FALSE(song->doSetMetaEventText());
  auto after = reread(song->fullPath());
  EXPECT_EQ(metaTexts(*after, meta::kTrackName), (Strings{"0:0:Song", "1:0:Other", "0:480:Late"}));
  EXPECT_EQ(metaTexts(*after, meta::kText), Strings{"0:0:intro"});
  EXPECT_EQ(song->sequenceName(), "Song");  // the information follows the write

  // Groups in the template; another type gets a new event and leaves the names alone.
  set("regExp2", "^(\\w+)$");
  set("replaceStr2", "$1 ($1)");
  set("targetMetaEvent", 2);
  EXPECT_FALSE(song->doSetMetaEventText());
  after = reread(song->fullPath());
  EXPECT_EQ(metaTexts(*after, meta::kCopyright), Strings{"0:0:Song (Song)"});
  EXPECT_EQ(metaTexts(*after, meta::kTrackName).front(), "0:0:Song");

  // A bad pattern is an error of the file, which is left as it was: a half-made text is not
  // written.
  set("regExp2", "(unclosed");
  set("regExp3", "Song");
  set("replaceStr3", "Tune");
  const auto before = swtest::TempDir::read(song->fullPath());
  const sw::Error bad = song->doSetMetaEventText(recording());
  EXPECT_EQ(bad.status, sw::paramErr);
  EXPECT_NE(bad.message.find("\"(unclosed\": U_REGEX_MISMATCHED_PAREN"), std::string::npos) << bad.message;
  EXPECT_EQ(swtest::TempDir::read(song->fullPath()), before);
  EXPECT_TRUE(told.empty());
  EXPECT_TRUE(logged.empty());
}

TEST_F(TextCommands, SetMetaEventFixedTextAndRemoval) {
  swtest::MidiFileBuilder file(1, 480);
  file.track().noteOn(0, 0, 60, 100).text(480, meta::kTrackName, "Late").noteOff(0, 0, 60).endOfTrack();
  file.track().text(0, meta::kTrackName, "Other").endOfTrack();
  auto song = item("fixed.mid", file);
  set("targetMetaEvent", 3);
  set("targetMetaEventSource", 0);
  set("selectedEncoding", int(sw::kISOLatin1StringEncoding));
  set("targetMetaEventString", "Caf\xC3\xA9");
  EXPECT_FALSE(song->doSetMetaEventText());
  auto after = reread(song->fullPath());
  EXPECT_EQ(metaTexts(*after, meta::kTrackName), (Strings{"0:0:Caf\xE9", "1:0:Other", "0:480:Late"}));

  set("targetMetaEventString", "\xE6\x97\xA5");  // not in ISO Latin 1
  EXPECT_EQ(song->doSetMetaEventText().status, sw::kTextUnsupportedEncodingErr);
  set("targetMetaEvent", 0x51);  // a tempo cannot take a text
  EXPECT_EQ(song->doSetMetaEventText().status, sw::paramErr);

  // An empty text removes the event; once it is gone the file is left as it is.
  set("targetMetaEvent", 3);
  set("targetMetaEventString", "");
  EXPECT_FALSE(song->doSetMetaEventText());
  EXPECT_EQ(metaTexts(*reread(song->fullPath()), meta::kTrackName), (Strings{"1:0:Other", "0:480:Late"}));
  const auto before = onDisk(song->fullPath());
  EXPECT_FALSE(song->doSetMetaEventText(recording()));
  EXPECT_EQ(onDisk(song->fullPath()), before);
  EXPECT_EQ(told, Strings{"no sequence name to remove"});

  set("targetMetaEventString", "New");
  EXPECT_FALSE(song->doSetMetaEventText(recording(true)));
  EXPECT_EQ(onDisk(song->fullPath()), before);
  EXPECT_EQ(told.back(), "sequence name set to \"New\"");
  EXPECT_EQ(metaTexts(*song->eventList(), meta::kTrackName).size(), 2u);  // the cache is untouched
}

TEST(RegExTransformer, WorkStaysBounded) {
  using sw::RegExTransformer;
  EXPECT_EQ(RegExTransformer::removingExtension("a.b.mid"), "a.b");
  EXPECT_EQ(RegExTransformer::removingExtension(".hidden"), ".hidden");
  sw::Error problem;
  // Catastrophic backtracking runs out of time instead of hanging.
  RegExTransformer runaway({{{"(a+)+$", "x"}, {}, {}, {}}});
  EXPECT_EQ(runaway.transformedValue(std::string(40, 'a') + "b.mid", &problem), std::string(40, 'a') + "b");
  EXPECT_NE(problem.message.find("takes too long"), std::string::npos) << problem.message;
  // A result that grows without limit is refused.
  RegExTransformer growing({{{".", std::string(1000, 'x')}, {}, {}, {}}});
  EXPECT_EQ(growing.transformedValue(std::string(100, 'n'), &problem), std::string(100, 'n'));
  EXPECT_NE(problem.message.find("too long"), std::string::npos);
  // A template naming a missing group, and ill-formed UTF-8 in the name.
  RegExTransformer missing({{{"(a)", "$2"}, {}, {}, {}}});
  EXPECT_EQ(missing.transformedValue("abc", &problem), "abc");
  EXPECT_TRUE(problem);
  RegExTransformer broken({{{"b", "B"}, {}, {}, {}}});
  EXPECT_EQ(broken.transformedValue("a\xFF" "b", &problem), "a\xEF\xBF\xBD" "B");
  EXPECT_FALSE(problem);
}

}  // namespace
