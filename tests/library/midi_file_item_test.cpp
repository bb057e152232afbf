// The browser's view of one file: listing, information columns, diagnosis, saved encoding
// and the pending edits of the four texts.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/atomic_file.h"
#include "base/finder_info.h"
#include "base/log.h"
#include "base/plist_attribute.h"
#include "library/library_strings.h"
#include "library/midi_file_item.h"
#include "midi_builder.h"
#include "smf/midi_sequence.h"
#include "temp_dir.h"
#include "text/string_encoding.h"

namespace {

using sw::MidiFileItem;
using sw::OSStatus;
using swtest::Bytes;

const Bytes kGMReset{0x7E, 0x7F, 0x09, 0x01, 0xF7};

// A karaoke-style file: a GM reset, tempo and signature on the first track, then notes.
Bytes song(int tracks, bool reset = true, uint32_t lengthTicks = 1920) {
  swtest::MidiFileBuilder file(1, 480);
  auto& first = file.track();
  if (reset) first.sysex(0, kGMReset);
  first.text(0, 0x03, "Name").timeSignature(0, 4, 2).tempo(0, 500000);
  if (tracks == 1) first.noteOn(0, 0, 60, 100).noteOff(lengthTicks, 0, 60);
  first.endOfTrack();
  for (int t = 1; t < tracks; ++t) file.track().noteOn(0, 0, 60, 100).noteOff(lengthTicks, 0, 60).endOfTrack();
  return file.bytes();
}

struct Listed {
  bool displayable;
  OSStatus status;
};
Listed list(MidiFileItem& item) {
  OSStatus status = 1;
  bool shown = item.isDisplayable(&status);
  return {shown, status};
}

TEST(MidiFileItem, ListingAndColumns) {
  sw::setLogSink([](const std::string&) {});
  swtest::TempDir dir;
  MidiFileItem one(dir.write("one.mid", song(1)), nullptr);
  EXPECT_TRUE(list(one).displayable);
  EXPECT_EQ(one.format(), 0);  // the header says 1, one track shows 0
  EXPECT_EQ(one.tracks(), 1);
  EXPECT_EQ(one.division(), 480);
  EXPECT_EQ(one.tempo(), 120);
  EXPECT_EQ(one.resetSysEx(), "GM ");
  EXPECT_EQ(one.sequenceName(), "Name");
  EXPECT_EQ(one.duration(), "0:02");
  MidiFileItem two(dir.write("two.mid", song(2)), nullptr);
  list(two);
  EXPECT_EQ(two.format(), 1);

  // Invisible files, symbolic links and files that do not read are not listed.
  MidiFileItem hidden(dir.write(".hidden.mid", song(1)), nullptr);
  EXPECT_FALSE(list(hidden).displayable);
  ASSERT_EQ(::symlink(dir.file("one.mid").c_str(), dir.file("link.mid").c_str()), 0);
  MidiFileItem link(dir.file("link.mid"), nullptr);
  EXPECT_FALSE(list(link).displayable);
  MidiFileItem text(dir.write("notes.mid", Bytes{'h', 'e', 'l', 'l', 'o'}), nullptr);
  Listed unreadable = list(text);
  EXPECT_FALSE(unreadable.displayable);
  EXPECT_NE(unreadable.status, sw::noErr);

  // A folder lists its displayable entries, and has no file columns.
  MidiFileItem folder(dir.path(), nullptr);
  EXPECT_TRUE(list(folder).displayable);
  std::vector<std::string> names;
  for (const auto& child : folder.children()) names.push_back(child->name());
  EXPECT_EQ(names, (std::vector<std::string>{"one.mid", "two.mid"}));
  EXPECT_FALSE(folder.format().has_value());
  EXPECT_EQ(folder.durationMSecs(), 0u);
  EXPECT_EQ(folder.hasChords(), "");
  EXPECT_EQ(folder.bugExplanation(), "");
}

TEST(MidiFileItem, DurationText) {
  swtest::TempDir dir;
  // 120 BPM at division 480: 960 ticks a second.
  struct Case {
    uint32_t ticks;
    const char* text;
  } cases[] = {{960 * 59 + 959, "0:59"}, {960 * 60, "1:00"}, {960 * 3600, "60:00"}};
  for (const Case& c : cases) {
    MidiFileItem item(dir.write("d.mid", song(1, true, c.ticks)), nullptr);
    list(item);
    EXPECT_EQ(item.duration(), c.text) << c.ticks;
  }
}

TEST(MidiFileItem, Diagnosis) {
  swtest::TempDir dir;
  const std::string badType = sw::libraryString("BAD_FINDER_TYPE");
  const std::string noReset = sw::libraryString("MISSING_RESET_MESSAGE");
  ASSERT_FALSE(badType.empty());

  MidiFileItem good(dir.write("Song.MID", song(1)), nullptr);
  list(good);
  EXPECT_EQ(good.bugExplanation(), "");  // no type at all is no defect here
  EXPECT_FALSE(good.buggy());
  sw::FinderInfo{sw::fourCC("Midi"), 0}.write(dir.file("Song.MID"));
  list(good);
  EXPECT_EQ(good.bugExplanation(), "");

  if (sw::FinderInfo::read(dir.file("Song.MID")).type == sw::fourCC("Midi")) {  // xattrs available
    sw::FinderInfo{sw::fourCC("TEXT"), 0}.write(dir.file("Song.MID"));
    list(good);
    EXPECT_EQ(good.bugExplanation(), badType);
  }
  MidiFileItem wrongName(dir.write("song.midi", song(1, false)), nullptr);
  list(wrongName);
  EXPECT_EQ(wrongName.bugExplanation(), badType + noReset);  // finder text first
  EXPECT_TRUE(wrongName.buggy());

  // Tempo after the first note.
  swtest::MidiFileBuilder late(0, 480);
  late.track().sysex(0, kGMReset).noteOn(0, 0, 60, 100).tempo(10, 400000).noteOff(470, 0, 60).endOfTrack();
  MidiFileItem lateTempo(dir.write("late.mid", late.bytes()), nullptr);
  list(lateTempo);
  EXPECT_EQ(lateTempo.bugExplanation(), sw::libraryString("BAD_TEMPO_SIGNATURE"));
}

TEST(MidiFileItem, SavedEncodingDecodesTexts) {
  swtest::TempDir dir;
  swtest::MidiFileBuilder file(0, 480);
  file.track().sysex(0, kGMReset).text(0, 0x03, "\x82\xB3\x82\xAD\x82\xE7").endOfTrack();  // さくら
  const std::string path = dir.write("sakura.mid", file.bytes());
  if (sw::writeNumberAttribute(path, MidiFileItem::kEncodingAttribute, sw::kShiftJISStringEncoding) != sw::noErr)
    GTEST_SKIP() << "no extended attributes on this file system";
  MidiFileItem item(path, nullptr);
  list(item);
  EXPECT_EQ(item.savedEncoding(), sw::kShiftJISStringEncoding);
  EXPECT_EQ(item.sequenceName(), "さくら");

  // Edits are written in the file's own encoding, so they read back the same.
  item.setSequenceName("さくら さくら");
  ASSERT_EQ(item.doCommitChanges(), sw::noErr);
  MidiFileItem again(path, nullptr);
  list(again);
  EXPECT_EQ(again.sequenceName(), "さくら さくら");
  // Text the encoding cannot hold is refused and stays pending.
  again.setTitle("Ελληνικά");
  EXPECT_EQ(again.doCommitChanges(), sw::kTextUnsupportedEncodingErr);
  EXPECT_TRUE(again.isDirty());
}

TEST(MidiFileItem, EditsStayPendingUntilWritten) {
  swtest::TempDir dir;
  const std::string path = dir.write("edit.mid", song(2));
  MidiFileItem item(path, nullptr);
  list(item);
  item.setTitle("New title");
  EXPECT_TRUE(item.isDirty());
  EXPECT_EQ(item.title(), "");  // the old value until written
  ASSERT_EQ(item.doCommitChanges(), sw::noErr);
  EXPECT_FALSE(item.isDirty());
  EXPECT_EQ(item.title(), "New title");
  MidiFileItem reread(path, nullptr);
  list(reread);
  EXPECT_EQ(reread.title(), "New title");

  // A file that has gone: reload reports it and the edits stay.
  item.setAuthor("Someone");
  ASSERT_EQ(::unlink(path.c_str()), 0);
  EXPECT_EQ(item.reload(), sw::fnfErr);
  EXPECT_TRUE(item.isDirty());
  EXPECT_NE(item.doCommitChanges(), sw::noErr);
  EXPECT_TRUE(item.isDirty());
  item.doDiscardChanges();
  EXPECT_FALSE(item.isDirty());
}

// A rewrite tells "unchanged" only when the file holds exactly the result: compared with the
// bytes kept from the read while the file is still the one read, else with the file itself.
TEST(MidiFileItem, RewriteIsUnchangedOnlyForTheFilesOwnBytes) {
  swtest::TempDir dir;
  const std::string path = dir.write("same.mid", song(1));
  auto onDisk = [&] {
    std::string bytes;
    EXPECT_EQ(sw::readWholeFile(path, bytes), sw::noErr);
    return bytes;
  };
  int unchanged = 0;
  sw::BatchRun run;
  run.unchanged = [&] { ++unchanged; };
  auto firstNoteOn = [](sw::MidiSequence& sequence) {
    for (int i = 0; i < sequence.count(); ++i)
      if (sequence.eventAtIndex(i)->isNoteOn()) return sequence.eventAtIndex(i);
    return static_cast<sw::MidiEvent*>(nullptr);
  };

  MidiFileItem item(path, nullptr);
  list(item);
  ASSERT_NE(item.eventList(), nullptr);
  ASSERT_EQ(item.writeToFileByCompressing(false, run), sw::noErr);  // the writer's own form
  const std::string written = onDisk();
  unchanged = 0;
  EXPECT_EQ(item.writeToFileByCompressing(false, run), sw::noErr);
  EXPECT_EQ(unchanged, 1);
  EXPECT_EQ(onDisk(), written);

  // A result one byte away from the file is written.
  sw::MidiEvent* note = firstNoteOn(*item.eventList());
  ASSERT_NE(note, nullptr);
  note->setThird(uint8_t(note->third() - 1));
  EXPECT_EQ(item.writeToFileByCompressing(false, run), sw::noErr);
  EXPECT_EQ(unchanged, 1);
  const std::string edited = onDisk();
  ASSERT_EQ(edited.size(), written.size());
  int differing = 0;
  for (size_t i = 0; i < edited.size(); ++i) differing += edited[i] != written[i];
  EXPECT_EQ(differing, 1);

  // Another program puts the earlier bytes back in place after the load: the result equals
  // what was read but not what the file now holds, so the file is not reported unchanged and
  // is left as that program made it.
  MidiFileItem reloaded(path, nullptr);
  list(reloaded);
  ASSERT_NE(reloaded.eventList(), nullptr);
  {
    const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, written.data(), written.size()), ssize_t(written.size()));
    const timespec later[2] = {{0, UTIME_OMIT}, {::time(nullptr) + 5, 0}};
    ASSERT_EQ(::futimens(fd, later), 0);  // a clock too coarse to tell the write apart
    ::close(fd);
  }
  unchanged = 0;
  EXPECT_EQ(reloaded.writeToFileByCompressing(false, run), sw::kFileChangedErr);
  EXPECT_EQ(unchanged, 0);
  EXPECT_EQ(onDisk(), written);
  // When the file already holds the result, it is unchanged whatever happened to it.
  MidiFileItem again(path, nullptr);
  list(again);
  ASSERT_NE(again.eventList(), nullptr);
  ASSERT_EQ(::truncate(path.c_str(), 0), 0);
  {
    const int fd = ::open(path.c_str(), O_WRONLY);
    ASSERT_EQ(::write(fd, written.data(), written.size()), ssize_t(written.size()));
    const timespec later[2] = {{0, UTIME_OMIT}, {::time(nullptr) + 9, 0}};
    ASSERT_EQ(::futimens(fd, later), 0);
    ::close(fd);
  }
  EXPECT_EQ(again.writeToFileByCompressing(false, run), sw::noErr);
  EXPECT_EQ(unchanged, 1);
}

}  // namespace
