#include "text/sequence_info.h"

#include <gtest/gtest.h>

#include <string>

#include "../smf/sequence_test_util.h"
#include "midi_builder.h"
#include "sysex/sysex.h"
#include "text/lyrics_extractor.h"

namespace {

using sw::fourCC;
using swtest::MidiFileBuilder;

std::unique_ptr<sw::MidiSequence> loadFile(const MidiFileBuilder& file, uint32_t flags = sw::kSMFLoadFull) {
  sw::OSStatus status = sw::noErr;
  auto sequence = swtest::load(file.bytes(), flags, &status);
  EXPECT_EQ(status, sw::noErr);
  return sequence;
}

std::string str(const sw::PascalString& pascal) { return std::string(sw::pascalBytes(pascal)); }
std::string str(const sw::ShortPascalString& pascal) { return std::string(sw::pascalBytes(pascal)); }

int countTextEvents(const sw::MidiSequence& sequence, uint8_t type, const std::string& prefix = "") {
  int count = 0;
  for (const sw::MidiEvent* event : sequence.events()) {
    if (!event->isMeta(type)) continue;
    std::string text(reinterpret_cast<const char*>(event->metaData()), event->metaDataSize());
    if (text.starts_with(prefix)) ++count;
  }
  return count;
}

// A Soft Karaoke song: conductor on track 0, header tags on track 1, syllables on track 2.
MidiFileBuilder softKaraoke() {
  MidiFileBuilder file(1, 480);
  file.track().tempo(0, 500000).timeSignature(0, 4, 2).text(0, 3, "Song").endOfTrack();
  file.track().text(0, 1, "@KMIDI KARAOKE FILE").text(0, 1, "@TMy Song").text(0, 1, "@TSome Artist").endOfTrack();
  file.track()
      .noteOn(0, 0, 60, 100)
      .text(480, 1, "\\Hel")
      .text(120, 1, "lo")
      .text(120, 1, "/World")
      .noteOff(240, 0, 60)
      .endOfTrack();
  return file;
}

TEST(SequenceInfo, SoftKaraokeTitleAuthorAndFacts) {
  auto sequence = loadFile(softKaraoke());
  sw::DSyncArray lyrics, chords;
  sw::SequenceInfo info;
  sw::getInfo(*sequence, info, &lyrics, &chords);
  EXPECT_EQ(str(info.title), "My Song");
  EXPECT_EQ(str(info.author), "Some Artist");
  EXPECT_EQ(str(info.seqName), "Song");
  EXPECT_EQ(info.karaokeType, fourCC("SK  "));
  EXPECT_EQ(info.bpm, 120);
  EXPECT_EQ(info.badTempoSignatureTrack, 0);
  EXPECT_EQ(info.division, 480);
  EXPECT_EQ(info.numTracks, 3);
  EXPECT_EQ(info.duration, 1000u);  // 960 ticks at 120 BPM
  EXPECT_EQ(info.UTF8, 1);
  EXPECT_EQ(info.hasChords, 0);
  ASSERT_EQ(lyrics.size(), 3u);
  EXPECT_EQ(lyrics[1].data(), "lo\r");
  EXPECT_EQ(lyrics[2].data(), "World");
}

TEST(SequenceInfo, InformationScanGivesTheSameRecord) {
  auto full = loadFile(softKaraoke());
  auto scan = loadFile(softKaraoke(), sw::kSMFLoadInfoScan);
  const sw::SequenceInfo a = sw::getInfo(*full), b = sw::getInfo(*scan);
  EXPECT_EQ(str(a.title), str(b.title));
  EXPECT_EQ(str(a.author), str(b.author));
  EXPECT_EQ(a.karaokeType, b.karaokeType);
  EXPECT_EQ(a.duration, b.duration);
  EXPECT_EQ(a.badTempoSignatureTrack, b.badTempoSignatureTrack);
}

TEST(SequenceInfo, SequenceNameConventions) {
  {  // the only track name of the file, on track 2
    MidiFileBuilder file(1, 480);
    file.track().tempo(0, 500000).endOfTrack();
    file.track().endOfTrack();
    file.track().text(0, 3, "Lead").endOfTrack();
    EXPECT_EQ(str(sw::getInfo(*loadFile(file)).seqName), "Lead");
  }
  {  // two track names off track 0: no name
    MidiFileBuilder file(1, 480);
    file.track().endOfTrack();
    file.track().text(0, 3, "Bass").endOfTrack();
    file.track().text(0, 3, "Lead").endOfTrack();
    EXPECT_EQ(str(sw::getInfo(*loadFile(file)).seqName), "");
  }
  {  // header tags never name the sequence; a plain text before channel events does
    MidiFileBuilder file(0, 480);
    file.track().text(0, 1, "@TTitle").text(0, 1, "").text(0, 1, "Hello\r\nWorld").endOfTrack();
    EXPECT_EQ(str(sw::getInfo(*loadFile(file)).seqName), "HelloWorld");
  }
  {  // a text after a controller does not; a note-on does not stop it
    MidiFileBuilder file(0, 480);
    file.track().control(0, 0, 7, 100).text(0, 1, "Late").endOfTrack();
    EXPECT_EQ(str(sw::getInfo(*loadFile(file)).seqName), "");
    MidiFileBuilder noted(0, 480);
    noted.track().noteOn(0, 0, 60, 90).text(0, 1, "Early").noteOff(10, 0, 60).endOfTrack();
    EXPECT_EQ(str(sw::getInfo(*loadFile(noted)).seqName), "Early");
  }
  {  // a C string: the text ends at NUL; long texts are cut to 255 bytes
    MidiFileBuilder file(0, 480);
    std::string withNul("Name\0Hidden", 11);
    file.track().text(0, 3, withNul).text(0, 2, std::string(100000, 'c')).endOfTrack();
    const sw::SequenceInfo info = sw::getInfo(*loadFile(file));
    EXPECT_EQ(str(info.seqName), "Name");
    EXPECT_EQ(str(info.copyright), std::string(255, 'c'));
  }
}

TEST(SequenceInfo, TaggedTextsAndCopyright) {
  MidiFileBuilder file(0, 480);
  file.track()
      .text(0, 2, "")
      .text(0, 2, "(c) 1999")
      .text(0, 2, "(c) 2000")
      .meta(0, 0x4B, {1, 'P', 'o', 'p'})
      .meta(0, 0x4B, {2, 'A', 'n', 'n'})
      .meta(0, 0x4B, {3, 'B', 'o', 'b'})
      .meta(0, 0x4B, {1, 'R', 'o', 'c', 'k'})
      .meta(0, 0x4B, {})
      .text(0, 1, "@TTitle")
      .text(0, 1, "@TLater")
      .endOfTrack();
  const sw::SequenceInfo info = sw::getInfo(*loadFile(file));
  EXPECT_EQ(str(info.copyright), "(c) 1999");
  EXPECT_EQ(str(info.genre), "Pop");
  EXPECT_EQ(str(info.author), "Ann");  // the tag came first, the second "@T" is not used
  EXPECT_EQ(str(info.composer), "Bob");
  EXPECT_EQ(str(info.title), "Title");
}

TEST(SequenceInfo, TempoAndSignatureTrack) {
  auto info = [](uint8_t conductorTrack, uint32_t quarter, bool afterNote) {
    MidiFileBuilder file(1, 480);
    file.track();
    file.track();
    auto& conductor = file.track(conductorTrack);
    if (afterNote) conductor.noteOn(0, 0, 60, 90).noteOff(10, 0, 60);
    conductor.tempo(0, quarter).timeSignature(0, 3, 2);
    file.track(0).endOfTrack();
    file.track(1).endOfTrack();
    return sw::getInfo(*loadFile(file));
  };
  EXPECT_EQ(info(0, 500000, false).badTempoSignatureTrack, 0);
  EXPECT_EQ(info(1, 500000, false).badTempoSignatureTrack, 1);
  EXPECT_EQ(info(0, 500000, true).badTempoSignatureTrack, 1);
  EXPECT_EQ(info(0, 600000, false).bpm, 100);
  EXPECT_EQ(info(0, 500000, false).bpm, 120);
  EXPECT_EQ(info(0, 600000, true).bpm, 120);  // only a tempo before the first note counts
  EXPECT_EQ(info(0, 0, false).bpm, 120);      // no division by zero
  EXPECT_EQ(info(0, 1, false).bpm, INT16_MAX);
}

TEST(SequenceInfo, ResetsInFixedOrder) {
  auto resetBody = [](const char* kind) {
    std::vector<uint8_t> data = sw::Sysex::resetEventData(sw::fourCCFromString(kind));
    return swtest::Bytes(data.begin() + 2, data.end());  // without F0 and the length
  };
  MidiFileBuilder file(0, 480);
  file.track().sysex(0, resetBody("XG  ")).sysex(0, resetBody("GS  ")).sysex(0, {0x7E, 0x7F, 0x09, 0x02, 0xF7}).endOfTrack();
  EXPECT_EQ(str(sw::getInfo(*loadFile(file)).sysex), "GS XG ");
  MidiFileBuilder all(0, 480);
  all.track().sysex(0, resetBody("XG  ")).sysex(0, resetBody("GM  ")).sysex(0, resetBody("GS  ")).endOfTrack();
  EXPECT_EQ(str(sw::getInfo(*loadFile(all)).sysex), "GM GS XG ");
}

TEST(SequenceInfo, KaraokeTypesAndChords) {
  {  // lyric meta events, a chord among them
    MidiFileBuilder file(0, 480);
    file.track().text(10, 5, "la").text(10, 5, "%Am").text(10, 5, "li").endOfTrack();
    const sw::SequenceInfo info = sw::getInfo(*loadFile(file));
    EXPECT_EQ(info.karaokeType, fourCC("T1  "));
    EXPECT_EQ(info.hasChords, 1);
  }
  {  // "<" line marks
    MidiFileBuilder file(0, 480);
    file.track().text(10, 5, "<<Hello").text(10, 5, "<").text(10, 5, " you").endOfTrack();
    sw::DSyncArray lyrics;
    sw::SequenceInfo info;
    sw::getInfo(*loadFile(file), info, &lyrics);
    EXPECT_EQ(info.karaokeType, fourCC("SO  "));
    ASSERT_EQ(lyrics.size(), 2u);
    EXPECT_EQ(lyrics[0].data(), "Hello");
  }
  {  // strict chords in text events of a plain file; text at tick 0 is never a chord
    MidiFileBuilder file(0, 480);
    file.track().text(0, 1, "C m").text(480, 1, "Am7").endOfTrack();
    EXPECT_EQ(sw::getInfo(*loadFile(file)).hasChords, 0);
    MidiFileBuilder strict(0, 480);
    strict.track().text(480, 1, "A m7").endOfTrack();
    sw::DSyncArray lyrics, chords;
    sw::SequenceInfo info;
    sw::getInfo(*loadFile(strict), info, &lyrics, &chords);
    EXPECT_EQ(info.hasChords, 1);
    ASSERT_EQ(chords.size(), 1u);
    EXPECT_EQ(chords[0].data(), "Am7");
    EXPECT_TRUE(chords[0].isChord());
  }
  {  // Midisoft lines outweigh the lyric events and are split at the highlights
    MidiFileBuilder file(0, 480);
    const std::string line = "HELLO WORLD\r";
    swtest::Bytes sysexBody{0x00, 0x20, 0x24, 0x00, 0x04};  // a lyric line
    sysexBody.insert(sysexBody.end(), line.begin(), line.end());
    sysexBody.push_back(0xF7);
    file.track()
        .sysex(0, sysexBody)
        .sysex(10, {0x00, 0x20, 0x24, 0x00, 0x08, 0xF7})
        .text(0, 5, "x")
        .control(100, 0, 31, 5)
        .control(100, 0, 31, 10)
        .endOfTrack();
    sw::DSyncArray lyrics;
    sw::SequenceInfo info;
    sw::getInfo(*loadFile(file), info, &lyrics);
    EXPECT_EQ(info.karaokeType, fourCC("MS  "));
    ASSERT_EQ(lyrics.size(), 2u);
    EXPECT_EQ(lyrics[0].data(), "HELLO");
    EXPECT_EQ(lyrics[1].data(), " WORLD");
    EXPECT_EQ(lyrics[1].delay(), 210);
  }
}

TEST(SequenceInfo, UTF8Flag) {
  auto flag = [](const std::string& title, std::initializer_list<std::string> syllables) {
    MidiFileBuilder file(0, 480);
    auto& t = file.track();
    t.text(0, 1, "@T" + title);
    for (const std::string& s : syllables) t.text(10, 5, s);
    t.endOfTrack();
    return sw::getInfo(*loadFile(file)).UTF8;
  };
  EXPECT_EQ(flag("Plain", {"la", "la"}), 1);
  EXPECT_EQ(flag("Caf\xC3\xA9", {"\xE6\x98\xA5", "\xE3\x81\xAE"}), 1);
  EXPECT_EQ(flag("Caf\xE9", {"la"}), 0);                  // Latin-1 title
  EXPECT_EQ(flag("Plain", {"\xE6\x98", "la"}), 0);        // a character cut short
  EXPECT_EQ(flag("Plain", {"\xE6\x98", "\xA5"}), 1);      // split over two syllables
  EXPECT_EQ(flag("\xED\xA0\x80", {"la"}), 0);             // an encoded surrogate
  EXPECT_EQ(flag("\xC0\xAF", {"la"}), 0);                 // an overlong form
  EXPECT_EQ(flag(std::string(300, 'a') + "\xC3\xA9", {}), 1);  // cut at 255 bytes: only 'a's left
}

TEST(SequenceInfo, JoinedLyricBytesMatchTheItems) {
  // Leading breaks, LF and CR LF line ends, an empty line, NUL-cut syllables.
  MidiFileBuilder file(0, 480);
  file.track()
      .text(10, 5, "\r\n")
      .text(10, 5, "\nOne")
      .text(10, 5, " two\r\n")
      .text(10, 5, "\n")
      .text(10, 5, "thr\nee")
      .text(10, 5, std::string("fo\0ur", 5))
      .text(10, 5, "/five")
      .endOfTrack();
  auto sequence = loadFile(file);
  sw::DSyncArray lyrics;
  sw::SequenceInfo withItems;
  sw::getInfo(*sequence, withItems, &lyrics);
  std::string joined;
  for (const sw::DSyncItem& item : lyrics) joined += item.data();
  EXPECT_EQ(sw::lyrics(*sequence), joined);
  EXPECT_EQ(joined.substr(0, 3), "One");
  EXPECT_EQ(withItems.UTF8, sw::getInfo(*sequence).UTF8);
}

TEST(SequenceInfo, EmptySequenceKeepsDefaults) {
  MidiFileBuilder file(0, 96);
  file.track().endOfTrack();
  const sw::SequenceInfo info = sw::getInfo(*loadFile(file));
  EXPECT_EQ(info.division, 96);
  EXPECT_EQ(info.bpm, 120);
  EXPECT_EQ(info.duration, 0u);
  EXPECT_EQ(info.badTempoSignatureTrack, 1);
  EXPECT_EQ(info.karaokeType, 0u);
  EXPECT_EQ(str(info.seqName), "");
  EXPECT_EQ(str(info.sysex), "");
}

TEST(SetSequenceTexts, TitleRewriteKeepsAuthor) {
  auto sequence = loadFile(softKaraoke());
  sw::setSeqName(*sequence, std::nullopt, "New", std::nullopt, std::nullopt);
  sw::SequenceInfo info = sw::getInfo(*sequence);
  EXPECT_EQ(str(info.title), "New");
  EXPECT_EQ(str(info.author), "Some Artist");
  EXPECT_EQ(str(info.seqName), "Song");

  sw::setSeqName(*sequence, std::nullopt, "", "", std::nullopt);
  EXPECT_EQ(countTextEvents(*sequence, sw::meta::kText, "@T"), 0);
  EXPECT_EQ(countTextEvents(*sequence, sw::meta::kText, "@K"), 1);
  EXPECT_TRUE(swtest::isConsistent(*sequence));
}

TEST(SetSequenceTexts, NewAuthorFollowsTitleOnItsTrack) {
  // The title lies on track 1: an author on track 0 would be read first and become the title.
  MidiFileBuilder file(1, 480);
  file.track().endOfTrack();
  file.track().text(0, 1, "@TOnly Title").endOfTrack();
  auto sequence = loadFile(file);
  sw::setSeqName(*sequence, std::nullopt, std::nullopt, "Writer", std::nullopt);
  const sw::SequenceInfo info = sw::getInfo(*sequence);
  EXPECT_EQ(str(info.title), "Only Title");
  EXPECT_EQ(str(info.author), "Writer");
}

TEST(SetSequenceTexts, NameAndCopyright) {
  {  // the lone track name on track 2 is the target, and survives clearing
    MidiFileBuilder file(1, 480);
    file.track().endOfTrack();
    file.track().endOfTrack();
    file.track().text(0, 3, "Lead").endOfTrack();
    auto sequence = loadFile(file);
    sw::setSeqName(*sequence, "Renamed", std::nullopt, std::nullopt, std::nullopt);
    EXPECT_EQ(countTextEvents(*sequence, sw::meta::kTrackName), 1);
    EXPECT_EQ(str(sw::getInfo(*sequence).seqName), "Renamed");
    sw::setSeqName(*sequence, "", std::nullopt, std::nullopt, std::nullopt);
    EXPECT_EQ(countTextEvents(*sequence, sw::meta::kTrackName), 1);
  }
  {  // new events on an empty sequence, long texts cut, clearing removes them
    sw::MidiSequence sequence(sw::SMFImage(), sw::kSMFLoadFull, nullptr);
    sw::setSeqName(sequence, std::string(400, 'n'), "T", "A", "(c)");
    sw::SequenceInfo info = sw::getInfo(sequence);
    EXPECT_EQ(str(info.seqName), std::string(255, 'n'));
    EXPECT_EQ(str(info.title), "T");
    EXPECT_EQ(str(info.author), "A");
    EXPECT_EQ(str(info.copyright), "(c)");
    sw::setSeqName(sequence, "", "", "", "");
    EXPECT_EQ(sequence.count(), 0);
  }
  {  // a long title keeps 253 bytes after its mark
    MidiFileBuilder file(0, 480);
    file.track().text(0, 2, "old").endOfTrack();
    auto sequence = loadFile(file);
    sw::setSeqName(*sequence, std::nullopt, std::string(300, 't'), std::nullopt, "new");
    const sw::SequenceInfo info = sw::getInfo(*sequence);
    EXPECT_EQ(str(info.title), std::string(253, 't'));
    EXPECT_EQ(str(info.copyright), "new");
    EXPECT_EQ(countTextEvents(*sequence, sw::meta::kCopyright), 1);
  }
}

}  // namespace
