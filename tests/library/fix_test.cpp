// Fix and the file-writing services: each repair on built files, renaming, safe replacement
// (mode, attributes, the saved encoding), failures that leave the file as it was, dry runs,
// and the format commands built on the same writing path.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "base/finder_info.h"
#include "base/log.h"
#include "base/plist_attribute.h"
#include "base/settings_store.h"
#include "library/batch_defaults.h"
#include "library/midi_file_item.h"
#include "midi_builder.h"
#include "smf/midi_sequence.h"
#include "temp_dir.h"

namespace {

using sw::MidiFileItem;
using swtest::Bytes;

// Every test of this program works on a settings folder of its own and sets values for the
// run only, so nothing is saved.
class SettingsEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    folder_ = "/tmp/scorewell-library-test-" + std::to_string(::getpid());
    ::setenv("SCOREWELL_CONFIG_DIR", folder_.c_str(), 1);
    sw::setLogSink([](const std::string&) {});
    sw::registerBatchDefaults();
  }
  void TearDown() override {
    std::error_code error;
    std::filesystem::remove_all(folder_, error);
  }

 private:
  std::string folder_;
};
[[maybe_unused]] ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new SettingsEnvironment);

// Settings for one test, cleared afterwards.
struct RunSettings {
  RunSettings(std::initializer_list<std::pair<const char*, sw::SettingValue>> values) {
    for (const auto& [key, value] : values) {
      EXPECT_EQ(sw::SettingsStore::shared().setRunValue(key, value), sw::noErr);
      keys.push_back(key);
    }
  }
  ~RunSettings() {
    for (const std::string& key : keys) sw::SettingsStore::shared().removeRunValue(key);
  }
  std::vector<std::string> keys;
};

const Bytes kGMResetBody{0x7E, 0x7F, 0x09, 0x01, 0xF7};
const Bytes kGSResetBody{0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7};

Bytes plainSong(bool tempo = true, bool signature = true) {
  swtest::MidiFileBuilder file(1, 480);
  auto& t = file.track();
  t.sysex(0, kGMResetBody);
  if (signature) t.timeSignature(0, 4, 2);
  if (tempo) t.tempo(0, 500000);
  t.noteOn(0, 0, 60, 100).noteOff(480, 0, 60).endOfTrack();
  return file.bytes();
}

std::unique_ptr<MidiFileItem> listed(const std::string& path) {
  auto item = std::make_unique<MidiFileItem>(path, nullptr);
  sw::OSStatus status = 1;
  EXPECT_TRUE(item->isDisplayable(&status)) << path;
  return item;
}

std::vector<const sw::MidiEvent*> metaEvents(const sw::MidiSequence& sequence, uint8_t type) {
  std::vector<const sw::MidiEvent*> found;
  for (const sw::MidiEvent* event : sequence.events())
    if (event->isMeta(type)) found.push_back(event);
  return found;
}

size_t sysexCount(const sw::MidiSequence& sequence, uint8_t manufacturer) {
  size_t count = 0;
  for (const sw::MidiEvent* event : sequence.events())
    if (event->isSysex() && event->length() > 2 && event->data()[2] == manufacturer) ++count;
  return count;
}

struct timespec mtimeOf(const std::string& path) {
  struct stat info {};
  ::stat(path.c_str(), &info);
  return info.st_mtim;
}
bool sameTime(const struct timespec& a, const struct timespec& b) { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; }

TEST(FixExtension, NamesAndKaraokeFiles) {
  EXPECT_EQ(MidiFileItem::correctedPath("/d/song", false), "/d/song.mid");
  EXPECT_EQ(MidiFileItem::correctedPath("/d/song.md", false), "/d/song.md.mid");
  EXPECT_EQ(MidiFileItem::correctedPath("/d/song.midi", false), "/d/song.mid");
  EXPECT_EQ(MidiFileItem::correctedPath("/d/song.txt", true), "/d/song.kar");
  EXPECT_EQ(MidiFileItem::correctedPath("/d.x/song", false), "/d.x/song.mid");  // a dot in a folder is no extension
  EXPECT_EQ(MidiFileItem::pathWithExtension("/d/song.kar", "txt"), "/d/song.txt");
  EXPECT_EQ(MidiFileItem::pathWithExtension("/d/song", "lrc"), "/d/song.lrc");

  swtest::TempDir dir;
  RunSettings settings{{"fixExtension", true}};
  // Soft Karaoke: "kar" from two tracks on, "mid" with one.
  auto softKaraoke = [](int tracks) {
    swtest::MidiFileBuilder file(1, 480);
    auto& first = file.track();
    first.text(0, 0x01, "@KMIDI KARAOKE FILE").tempo(0, 500000);
    if (tracks == 1) first.text(480, 0x01, "\\Twin").text(240, 0x01, "kle").endOfTrack();
    else first.endOfTrack();
    if (tracks > 1) file.track().text(480, 0x01, "\\Twin").text(240, 0x01, "kle").noteOn(0, 0, 60, 90).noteOff(240, 0, 60).endOfTrack();
    return file.bytes();
  };
  auto two = listed(dir.write("two.mid", softKaraoke(2)));
  EXPECT_FALSE(two->doFix());
  EXPECT_TRUE(std::filesystem::exists(dir.file("two.kar")));
  EXPECT_EQ(two->fullPath(), dir.file("two.kar"));
  auto one = listed(dir.write("one.kar", softKaraoke(1)));
  EXPECT_FALSE(one->doFix());
  EXPECT_TRUE(std::filesystem::exists(dir.file("one.mid")));

  // Upper case is left alone; an existing file of the new name is never replaced.
  auto upper = listed(dir.write("SONG.MID", plainSong()));
  EXPECT_FALSE(upper->doFix());
  EXPECT_TRUE(std::filesystem::exists(dir.file("SONG.MID")));
  const Bytes other = plainSong(false);
  dir.write("taken.mid", other);
  auto taken = listed(dir.write("taken.txt", plainSong()));
  sw::Error failure = taken->doFix();
  EXPECT_EQ(failure.status, sw::dupFNErr);
  EXPECT_EQ(swtest::TempDir::read(dir.file("taken.mid")), other);
  EXPECT_TRUE(std::filesystem::exists(dir.file("taken.txt")));
}

TEST(Fix, TypeAndCreator) {
  swtest::TempDir dir;
  const std::string path = dir.write("song.mid", plainSong());
  sw::FinderInfo{sw::fourCC("TEXT"), sw::fourCC("ttxt")}.write(path);
  {
    RunSettings settings{{"fixExtension", true}};
    auto item = listed(path);
    EXPECT_FALSE(item->doFix());
    EXPECT_EQ(sw::FinderInfo::read(path).type, sw::fourCC("Midi"));
    EXPECT_EQ(sw::FinderInfo::read(path).creator, sw::fourCC("ttxt"));  // kept without setCreator
    EXPECT_EQ(item->fdType(), sw::fourCC("Midi"));
  }
  RunSettings settings{{"fixExtension", true}, {"setCreator", true}, {"currentCreator", "TVOD"}};
  auto item = listed(path);
  EXPECT_FALSE(item->doFix());
  EXPECT_EQ(sw::FinderInfo::read(path).creator, sw::fourCC("TVOD"));
}

TEST(Fix, OnlyTheNameCheckedLeavesTheContent) {
  swtest::TempDir dir;
  const std::string path = dir.write("song.mid", plainSong());
  sw::FinderInfo{sw::fourCC("Midi"), 0}.write(path);
  const auto before = mtimeOf(path);
  RunSettings settings{{"fixExtension", true}, {"fixMissingResetMessage", false}};
  auto item = listed(path);
  EXPECT_FALSE(item->doFix());
  EXPECT_EQ(swtest::TempDir::read(path), plainSong());
  EXPECT_TRUE(sameTime(mtimeOf(path), before));
}

TEST(Fix, TempoAndSignature) {
  swtest::TempDir dir;
  RunSettings settings{{"fixExtension", false}, {"fixSignature", true}};
  // A tempo at tick 0 on the third track moves to the first, and the file is written for it.
  swtest::MidiFileBuilder file(1, 480);
  file.track().timeSignature(0, 3, 2).endOfTrack();
  file.track().noteOn(0, 0, 60, 100).noteOff(480, 0, 60).endOfTrack();
  file.track().tempo(0, 400000).endOfTrack();
  const std::string path = dir.write("moved.mid", file.bytes());
  auto item = listed(path);
  EXPECT_FALSE(item->doFix());
  sw::OSStatus status = 0;
  sw::MidiSequence written(path, 0, &status);
  ASSERT_EQ(status, sw::noErr);
  auto tempos = metaEvents(written, 0x51);
  ASSERT_EQ(tempos.size(), 1u);
  EXPECT_EQ(tempos[0]->track(), 0);
  EXPECT_EQ(tempos[0]->ticks(), 0u);
  EXPECT_EQ(metaEvents(written, 0x58).size(), 1u);  // nothing added
  EXPECT_NEAR(written.tickDurationAtTicks(0), 400000.0 / 480, 1e-6);

  // Neither at tick 0: the defaults go in on the first track, byte for byte.
  swtest::MidiFileBuilder late(1, 480);
  late.track().tempo(960, 600000).endOfTrack();
  late.track().noteOn(0, 0, 60, 100).noteOff(1920, 0, 60).endOfTrack();
  const std::string latePath = dir.write("late.mid", late.bytes());
  auto lateItem = listed(latePath);
  EXPECT_FALSE(lateItem->doFix());
  sw::MidiSequence fixed(latePath, 0, &status);
  auto lateTempos = metaEvents(fixed, 0x51);
  ASSERT_EQ(lateTempos.size(), 2u);
  EXPECT_EQ(lateTempos[0]->ticks(), 0u);
  EXPECT_EQ(Bytes(lateTempos[0]->data(), lateTempos[0]->data() + lateTempos[0]->length()),
            (Bytes{0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20}));
  auto signatures = metaEvents(fixed, 0x58);
  ASSERT_EQ(signatures.size(), 1u);
  EXPECT_EQ(Bytes(signatures[0]->data(), signatures[0]->data() + signatures[0]->length()),
            (Bytes{0xFF, 0x58, 0x04, 0x04, 0x02, 0x18, 0x08}));
  EXPECT_EQ(signatures[0]->track(), 0);
  EXPECT_NEAR(fixed.tickDurationAtTicks(960), 600000.0 / 480, 1e-6);  // the later tempo still counts
}

TEST(Fix, LongGaps) {
  swtest::TempDir dir;
  RunSettings settings{{"fixExtension", false}, {"fixBadDeltaTime", true}};
  // At 120 BPM and 480 ticks a quarter one tick is 1041.67 us: 576 000 ticks are exactly 600 s.
  auto withGap = [](uint32_t gapTicks) {
    swtest::MidiFileBuilder file(0, 480);
    file.track().tempo(0, 500000).noteOn(0, 0, 60, 100).noteOff(480, 0, 60).noteOn(gapTicks, 0, 62, 100).noteOff(480, 0, 62).endOfTrack();
    return file.bytes();
  };
  const std::string keptPath = dir.write("kept.mid", withGap(576000));
  const auto before = mtimeOf(keptPath);
  auto kept = listed(keptPath);
  EXPECT_FALSE(kept->doFix());
  EXPECT_EQ(swtest::TempDir::read(keptPath), withGap(576000));
  EXPECT_TRUE(sameTime(mtimeOf(keptPath), before));

  const std::string cutPath = dir.write("cut.mid", withGap(576001));
  auto cut = listed(cutPath);
  EXPECT_FALSE(cut->doFix());
  sw::OSStatus status = 0;
  sw::MidiSequence written(cutPath, 0, &status);
  int notes = 0;
  for (const sw::MidiEvent* event : written.events()) {
    if (event->isNoteOn() && event->third() > 0) ++notes;
    EXPECT_LE(event->ticks(), 480u);  // the note after the gap and its off are gone
  }
  EXPECT_EQ(notes, 1);
}

TEST(Fix, MissingResets) {
  swtest::TempDir dir;
  RunSettings settings{{"fixExtension", false}, {"fixMissingResetMessage", true}, {"addGMReset", true},
                       {"addGSReset", true}};
  swtest::MidiFileBuilder file(0, 480);
  file.track().sysex(0, kGSResetBody).tempo(0, 500000).noteOn(0, 0, 60, 100).noteOff(480, 0, 60).endOfTrack();
  const std::string path = dir.write("gs.mid", file.bytes());
  auto item = listed(path);
  EXPECT_FALSE(item->doFix());
  sw::OSStatus status = 0;
  sw::MidiSequence written(path, 0, &status);
  EXPECT_EQ(sysexCount(written, 0x7E), 1u);  // GM added
  EXPECT_EQ(sysexCount(written, 0x41), 1u);  // GS not doubled
  EXPECT_EQ(item->resetSysEx()->find("GM"), 0u);  // information refreshed after the write

  // Nothing missing: nothing written.
  const auto before = mtimeOf(path);
  auto again = listed(path);
  EXPECT_FALSE(again->doFix());
  EXPECT_TRUE(sameTime(mtimeOf(path), before));
}

TEST(FileWriting, ReplacementKeepsModeAttributesAndEncoding) {
  swtest::TempDir dir;
  const std::string path = dir.write("song.mid", plainSong());
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  ASSERT_EQ(sw::writeNumberAttribute(path, MidiFileItem::kEncodingAttribute, 1280), sw::noErr);
  sw::FinderInfo{sw::fourCC("Midi"), sw::fourCC("Krl2")}.write(path);
  RunSettings settings{{"compandAction", 0}};
  auto item = listed(path);
  EXPECT_FALSE(item->doCompand());
  struct stat info {};
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  EXPECT_EQ(sw::readNumberAttribute(path, MidiFileItem::kEncodingAttribute), 1280);
  EXPECT_EQ(sw::FinderInfo::read(path).creator, sw::fourCC("Krl2"));
  EXPECT_EQ(sw::FinderInfo::read(path).type, sw::fourCC("Midi"));
  // Nothing left beside it.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(FileWriting, FailedWriteLeavesTheFileByteForByte) {
  swtest::TempDir dir;
  // A long file, so that the new content cannot fit under a file-size limit lower than it.
  swtest::MidiFileBuilder file(0, 480);
  auto& t = file.track();
  for (int i = 0; i < 400; ++i) t.noteOn(0, 0, 60, 100).noteOff(120, 0, 60);
  t.endOfTrack();
  const Bytes original = file.bytes();
  const std::string path = dir.write("long.mid", original);
  RunSettings settings{{"compandAction", 0}};  // compressing changes the bytes: a write is needed
  auto item = listed(path);
  ASSERT_NE(item->eventList(), nullptr);

  struct rlimit saved {};
  ::getrlimit(RLIMIT_FSIZE, &saved);
  struct sigaction quiet {}, previous {};
  quiet.sa_handler = SIG_IGN;
  ::sigaction(SIGXFSZ, &quiet, &previous);
  struct rlimit limited = saved;
  limited.rlim_cur = 512;
  ::setrlimit(RLIMIT_FSIZE, &limited);
  sw::Error failure = item->doCompand();
  ::setrlimit(RLIMIT_FSIZE, &saved);
  ::sigaction(SIGXFSZ, &previous, nullptr);

  EXPECT_TRUE(failure);
  EXPECT_EQ(failure.path, path);
  EXPECT_EQ(swtest::TempDir::read(path), original);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);  // no temporary left
}

TEST(FileWriting, DryRunWritesNothing) {
  swtest::TempDir dir;
  swtest::MidiFileBuilder file(1, 480);
  file.track().noteOn(0, 0, 60, 100).noteOff(480, 0, 60).endOfTrack();
  const Bytes original = file.bytes();
  const std::string path = dir.write("song", original);
  const auto before = mtimeOf(path);
  RunSettings settings{{"fixExtension", true}, {"fixSignature", true}, {"fixMissingResetMessage", true},
                       {"formatChosen", 1}, {"compandAction", 0}};
  std::vector<std::string> told;
  sw::BatchRun run;
  run.dryRun = true;
  run.report = [&](const std::string& line) { told.push_back(line); };
  auto item = listed(path);
  EXPECT_FALSE(item->doFix(run));
  EXPECT_FALSE(item->hasCachedEventList());  // the unwritten repairs are not kept
  EXPECT_FALSE(item->doConvert(run));
  EXPECT_FALSE(item->doConvertKaraoke(run));
  EXPECT_FALSE(item->doConvertToUTF8(run));
  EXPECT_FALSE(item->doCompand(run));
  EXPECT_FALSE(item->writeToFile("words", "txt", run));
  EXPECT_EQ(swtest::TempDir::read(path), original);
  EXPECT_TRUE(sameTime(mtimeOf(path), before));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
  EXPECT_FALSE(sw::FinderInfo::read(path).type);
  EXPECT_FALSE(sw::readNumberAttribute(path, MidiFileItem::kEncodingAttribute));
  // It told what a real run does.
  auto told_ = [&](const std::string& text) {
    for (const std::string& line : told)
      if (line.find(text) != std::string::npos) return true;
    return false;
  };
  EXPECT_TRUE(told_("would be renamed to song.mid"));
  EXPECT_TRUE(told_("tempo 120 would be added"));
  EXPECT_TRUE(told_("GM reset would be added"));
  EXPECT_TRUE(told_("would write song.txt"));
}

TEST(FileWriting, SideFile) {
  swtest::TempDir dir;
  auto item = listed(dir.write("song.kar", plainSong()));
  EXPECT_FALSE(item->writeToFile("Twinkle \xC3\xA9toile\n", "txt"));
  const Bytes text = swtest::TempDir::read(dir.file("song.txt"));
  EXPECT_EQ(std::string(text.begin(), text.end()), "Twinkle \xC3\xA9toile\n");
  EXPECT_FALSE(item->writeToFile("again", "txt"));  // replaced
  const Bytes again = swtest::TempDir::read(dir.file("song.txt"));
  EXPECT_EQ(std::string(again.begin(), again.end()), "again");
  std::filesystem::create_directory(dir.file("song.lrc"));
  EXPECT_TRUE(item->writeToFile("x", "lrc"));  // a folder is never replaced
}

TEST(FormatCommands, ConvertRenamesAndConvertsTexts) {
  swtest::TempDir dir;
  {
    RunSettings settings{{"formatChosen", 1}};
    swtest::MidiFileBuilder file(0, 480);
    file.track().tempo(0, 500000).noteOn(0, 0, 60, 100).noteOn(0, 1, 64, 100).noteOff(480, 0, 60).noteOff(0, 1, 64).endOfTrack();
    auto item = listed(dir.write("song.txt", file.bytes()));
    EXPECT_FALSE(item->doConvert());
    ASSERT_TRUE(std::filesystem::exists(dir.file("song.mid")));
    EXPECT_GE(item->tracks().value_or(0), 2);
  }
  {
    // Latin-1 texts become UTF-8 and the file's encoding says so; UTF-8 texts stay.
    swtest::MidiFileBuilder file(0, 480);
    file.track().text(0, 0x03, "Fr\xE8re").text(0, 0x01, "d\xC3\xA9j\xC3\xA0").noteOn(0, 0, 60, 1).noteOff(10, 0, 60).endOfTrack();
    const std::string path = dir.write("latin.mid", file.bytes());
    ASSERT_EQ(sw::writeNumberAttribute(path, MidiFileItem::kEncodingAttribute, 5), sw::noErr);
    auto item = listed(path);
    EXPECT_FALSE(item->doConvertToUTF8());
    EXPECT_EQ(sw::readNumberAttribute(path, MidiFileItem::kEncodingAttribute), 4);
    sw::OSStatus status = 0;
    sw::MidiSequence written(path, 0, &status);
    auto names = metaEvents(written, 0x03);
    ASSERT_EQ(names.size(), 1u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(names[0]->metaData()), names[0]->metaDataSize()), "Fr\xC3\xA8re");
    auto texts = metaEvents(written, 0x01);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(texts[0]->metaData()), texts[0]->metaDataSize()), "d\xC3\xA9j\xC3\xA0");
  }
}

TEST(FormatCommands, KaraokeGoesToOneTrack) {
  swtest::TempDir dir;
  RunSettings settings{{"karaokeFormatChosen", 0}};
  swtest::MidiFileBuilder file(1, 480);
  file.track().text(0, 0x01, "@KMIDI KARAOKE FILE").tempo(0, 500000).endOfTrack();
  file.track().text(480, 0x01, "\\Twin").text(240, 0x01, "kle").text(240, 0x01, "/lit").text(240, 0x01, "tle")
      .noteOn(0, 0, 60, 90).noteOff(240, 0, 60).endOfTrack();
  const std::string path = dir.write("song.kar", file.bytes());
  auto item = listed(path);
  EXPECT_FALSE(item->doConvertKaraoke());
  sw::OSStatus status = 0;
  sw::MidiSequence written(path, 0, &status);
  EXPECT_EQ(written.numTracks(), 1);
  std::string words;
  for (const sw::MidiEvent* event : metaEvents(written, 0x05))
    words.append(reinterpret_cast<const char*>(event->metaData()), event->metaDataSize());
  EXPECT_NE(words.find("Twinkle"), std::string::npos);
  EXPECT_NE(words.find("little"), std::string::npos);
  EXPECT_TRUE(std::filesystem::exists(path));  // the name stays
}

TEST(FormatCommands, UnreadableFileIsAnError) {
  swtest::TempDir dir;
  MidiFileItem item(dir.write("gone.mid", plainSong()), nullptr);
  std::filesystem::remove(dir.file("gone.mid"));
  for (auto method : {&MidiFileItem::doConvert, &MidiFileItem::doConvertKaraoke, &MidiFileItem::doConvertToUTF8,
                      &MidiFileItem::doCompand}) {
    sw::Error error = (item.*method)(sw::BatchRun{});
    EXPECT_EQ(error.status, sw::paramErr);
  }
}

}  // namespace
