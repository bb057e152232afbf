// Change MIDI channel, Transpose and Remove track on built files.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>

#include "base/plist_attribute.h"
#include "batch_test_support.h"

namespace {

using batchtest::onDisk;
using sw::MidiFileItem;
namespace meta = sw::meta;
using Strings = std::vector<std::string>;

// Every event as hex bytes with its track, to compare whole files.
Strings dump(const sw::MidiSequence& sequence) {
  Strings lines;
  for (const sw::MidiEvent* e : sequence.events()) {
    std::string line = std::to_string(e->track()) + "@" + std::to_string(e->ticks()) + ":";
    char hex[4];
    for (uint32_t i = 0; i < e->length(); ++i) {
      std::snprintf(hex, sizeof hex, " %02X", e->data()[i]);
      line += hex;
    }
    lines.push_back(line);
  }
  return lines;
}

class MusicalCommands : public batchtest::BatchTest {};

TEST_F(MusicalCommands, ChangeChannelMovesEveryChannelMessageOnly) {
  swtest::MidiFileBuilder file(0, 480);
  file.track()
      .sysex(0, {0x7E, 0x7F, 0x09, 0x01, 0xF7})
      .raw(0, {0xFF, 0x20, 0x01, 0x00})  // channel prefix 1 stays
      .program(0, 0, 5)
      .control(0, 0, 7, 100)
      .pitchBend(0, 0, 0x2000)
      .raw(0, {0xD0, 0x40})
      .raw(0, {0xA0, 0x3C, 0x10})
      .noteOn(0, 0, 60, 100)
      .noteOn(0, 1, 62, 100)
      .noteOff(480, 0, 60)
      .noteOff(0, 1, 62)
      .endOfTrack();
  auto song = item("channels.mid", file);
  const bool attributes = sw::writeNumberAttribute(song->fullPath(), MidiFileItem::kEncodingAttribute, 8) == sw::noErr;
  const Strings original = dump(*reread(song->fullPath()));
  set("MIDIChannelOld", 1);
  set("MIDIChannelNew", 3);
  const auto before = onDisk(song->fullPath());
  EXPECT_FALSE(song->doChangeMIDIChannel(recording(true)));
  EXPECT_EQ(onDisk(song->fullPath()), before);
  EXPECT_EQ(told, Strings{"7 events moved to channel 3"});

  EXPECT_FALSE(song->doChangeMIDIChannel());
  Strings expected = original;
  for (std::string& line : expected) {
    const size_t at = line.find(": ");
    if (line.compare(at + 2, 1, "F") != 0 && line[at + 3] == '0') line[at + 3] = '2';  // channel 1 to 3
  }
  EXPECT_EQ(dump(*reread(song->fullPath())), expected);
  if (attributes) {
    EXPECT_EQ(sw::readNumberAttribute(song->fullPath(), MidiFileItem::kEncodingAttribute), 8);
  }

  set("MIDIChannelNew", 17);  // would wrap onto channel 1
  EXPECT_EQ(song->doChangeMIDIChannel().status, sw::paramErr);
}

TEST_F(MusicalCommands, TransposeFollowsTheMaskAndTheChords) {
  swtest::MidiFileBuilder file(0, 480);
  file.track()
      .text(480, meta::kText, "%Am")
      .noteOn(0, 0, 60, 100)
      .noteOn(0, 9, 36, 100)  // drums: not in the default mask
      .noteOn(0, 2, 126, 100)
      .noteOff(480, 0, 60)
      .noteOff(0, 9, 36)
      .noteOff(0, 2, 126)
      .endOfTrack();
  auto song = item("transpose.mid", file);
  set("transposeAmount", 2);
  set("transposeChannelMask", 65023);
  const auto before = onDisk(song->fullPath());
  EXPECT_FALSE(song->doTranspose(recording(true)));
  EXPECT_EQ(onDisk(song->fullPath()), before);
  EXPECT_EQ(told, Strings{"2 notes and 1 chord transposed by +2"});

  EXPECT_FALSE(song->doTranspose());  // after the dry run the notes move once only
  auto after = reread(song->fullPath());
  Strings notes;
  for (const sw::MidiEvent* e : after->events())
    if (e->isNoteOn()) notes.push_back(std::to_string(e->channel()) + "/" + std::to_string(e->second()));
  EXPECT_EQ(notes, (Strings{"0/62", "9/36", "2/116"}));
  EXPECT_EQ(metaTexts(*after, meta::kText), Strings{"0:480:%B m"});

  // Zero semitones changes nothing: the file is not written, and the run hears so.
  set("transposeAmount", 0);
  const auto unchangedBefore = onDisk(song->fullPath());
  bool unchanged = false;
  sw::BatchRun run;
  run.unchanged = [&] { unchanged = true; };
  EXPECT_FALSE(song->doTranspose(run));
  EXPECT_TRUE(unchanged);
  EXPECT_EQ(onDisk(song->fullPath()), unchangedBefore);
  set("transposeAmount", 200);
  EXPECT_EQ(song->doTranspose().status, sw::paramErr);
}

swtest::MidiFileBuilder threeTracks() {
  swtest::MidiFileBuilder file(1, 480);
  file.track().text(0, meta::kTrackName, "Drums").noteOn(0, 9, 36, 100).noteOff(480, 9, 36).endOfTrack();
  file.track().text(0, meta::kTrackName, "Piano").noteOn(0, 0, 60, 100).noteOff(480, 0, 60).endOfTrack();
  file.track().endOfTrack();  // empty but for its end
  file.track().text(0, meta::kTrackName, "Piano").noteOn(0, 1, 64, 100).noteOff(480, 1, 64).endOfTrack();
  return file;
}

TEST_F(MusicalCommands, RemoveTrackTakesTheFirstOfTheName) {
  auto song = item("tracks.mid", threeTracks());
  set("nameOfTrackToRemove", "Piano");
  const auto before = onDisk(song->fullPath());
  EXPECT_FALSE(song->doRemoveTrack(recording(true)));
  EXPECT_EQ(onDisk(song->fullPath()), before);
  EXPECT_EQ(song->eventList()->numTracks(), 4);

  EXPECT_FALSE(song->doRemoveTrack(recording()));
  auto after = reread(song->fullPath());
  EXPECT_EQ(after->trackNames(), (Strings{"Drums", "Piano"}));
  EXPECT_EQ(metaTexts(*after, meta::kTrackName), (Strings{"0:0:Drums", "1:0:Piano"}));
  for (const sw::MidiEvent* e : after->events())
    if (e->isNoteOn()) {
      EXPECT_NE(e->second(), 60);  // the first piano's notes are gone
    }
  EXPECT_EQ(song->tracks(), 2);
  ASSERT_EQ(told.size(), 4u);
  EXPECT_EQ(told[2], "track 2 \"Piano\" removed (3 events)");
}

TEST_F(MusicalCommands, RemoveTrackWithoutTheNameOrWithNothingLeft) {
  auto song = item("missing.mid", threeTracks());
  set("nameOfTrackToRemove", "Bass");  // still rewritten, with its empty track removed
  EXPECT_FALSE(song->doRemoveTrack(recording()));
  EXPECT_EQ(reread(song->fullPath())->numTracks(), 3);
  EXPECT_EQ(told, (Strings{"no track named \"Bass\"", "1 empty track removed"}));

  set("nameOfTrackToRemove", "");  // unnamed tracks are not taken for the name ""
  EXPECT_EQ(song->doRemoveTrack().status, sw::paramErr);

  swtest::MidiFileBuilder single(0, 480);
  single.track().text(0, meta::kTrackName, "Solo").noteOn(0, 0, 60, 100).noteOff(480, 0, 60).endOfTrack();
  auto solo = item("solo.mid", single);
  const auto before = onDisk(solo->fullPath());
  set("nameOfTrackToRemove", "Solo");
  EXPECT_EQ(solo->doRemoveTrack().status, sw::paramErr);
  EXPECT_EQ(onDisk(solo->fullPath()), before);
}

TEST_F(MusicalCommands, UnreadableFilesAndFailedWrites) {
  const std::string path = dir.write("broken.mid", {'M', 'T', 'h', 'd', 0, 0});
  sw::MidiFileItem broken(path, nullptr);
  const sw::Error error = broken.doTranspose();
  EXPECT_TRUE(error);
  EXPECT_EQ(error.path, path);

  // A write that fails drops the cached sequence, so the next run starts from the file.
  auto song = item("gone.mid", threeTracks());
  set("MIDIChannelOld", 1);
  set("MIDIChannelNew", 2);
  ASSERT_TRUE(song->eventList());
  ASSERT_EQ(::unlink(song->fullPath().c_str()), 0);
  ASSERT_EQ(::mkdir(song->fullPath().c_str(), 0700), 0);  // only files are replaced
  EXPECT_EQ(song->doChangeMIDIChannel().status, sw::paramErr);
  EXPECT_FALSE(song->hasCachedEventList());
}

}  // namespace

TEST_F(MusicalCommands, AFileChangedOrDeletedMeanwhileIsLeftAlone) {
  auto song = item("busy.mid", threeTracks());
  set("transposeAmount", 2);
  set("transposeChannelMask", 0xFFFF);
  // The sequence is read for the batch; then another program rewrites the file.
  ASSERT_NE(song->eventList(), nullptr);
  swtest::MidiFileBuilder other(0, 480);
  other.track().noteOn(0, 0, 40, 100).noteOff(480, 0, 40).endOfTrack();
  const swtest::Bytes theirs = other.bytes();
  dir.write("busy.mid", theirs);
  struct timespec later[2] = {{0, UTIME_OMIT}, {std::time(nullptr) + 10, 0}};
  ::utimensat(AT_FDCWD, song->fullPath().c_str(), later, 0);
  const sw::Error changed = song->doTranspose(recording());
  EXPECT_EQ(changed.status, sw::kFileChangedErr);
  EXPECT_EQ(swtest::TempDir::read(song->fullPath()), theirs);
  // The next run starts from what is on disk now.
  EXPECT_FALSE(song->doTranspose());
  EXPECT_EQ(reread(song->fullPath())->eventAtIndex(0)->second(), 42);

  // Deleted meanwhile: not recreated.
  ASSERT_NE(song->eventList(), nullptr);
  ::unlink(song->fullPath().c_str());
  EXPECT_EQ(song->doTranspose().status, sw::fnfErr);
  EXPECT_FALSE(batchtest::exists(song->fullPath()));
}
