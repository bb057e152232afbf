// Damaged files in the browser and the batch: the diagnosis names the fault, every rewriting
// command but Fix leaves them byte for byte unless forced, Fix rewrites what could be read.
#include <gtest/gtest.h>

#include "batch_test_support.h"
#include "library/batch_engine.h"
#include "library/batch_log.h"
#include "library/library_strings.h"

namespace {

using batchtest::onDisk;
using sw::MidiFileItem;

// Three tracks; the second breaks at tick 50 on a data byte without a running status, the
// others run on: 81, 6 and 21 events can be read.
struct DamagedSong {
  swtest::MidiFileBuilder file{1, 96};
  int64_t faultOffset = 0;

  DamagedSong() {
    auto& first = file.track();
    first.text(0, 3, "Lead").text(0, 5, "la").text(0, 6, "intro");
    for (int i = 0; i < 39; ++i) first.noteOn(0, 0, uint8_t(60 + i % 12), 90).noteOff(10, 0, uint8_t(60 + i % 12));
    first.endOfTrack();
    auto& broken = file.track();
    broken.text(0, 3, "Broken");
    for (int i = 0; i < 5; ++i) broken.text(10, 1, "x");
    faultOffset = int64_t(14 + 8 + file.track(0).bytes().size() + 8 + broken.bytes().size() + 1);
    broken.raw(0, {0x40, 0x40}).noteOn(0, 1, 60, 90).noteOff(10, 1, 60).endOfTrack();
    auto& third = file.track();
    third.text(0, 3, "Bass");
    for (int i = 0; i < 10; ++i) third.noteOn(0, 2, 40, 90).noteOff(40, 2, 40);
    third.endOfTrack();
  }
};

std::vector<int> eventsPerTrack(const sw::MidiSequence& seq) {
  std::vector<int> counts(seq.numTracks(), 0);
  for (const sw::MidiEvent* e : seq.events()) ++counts[e->track()];
  return counts;
}

class DamagedFile : public batchtest::BatchTest {
 protected:
  DamagedSong song;
  std::string where() const { return "track 2, byte " + sw::groupedNumber(song.faultOffset) + ": "; }
};

TEST_F(DamagedFile, IsListedAndDiagnosedWithTheFault) {
  auto item = this->item("song.mid", song.file);
  ASSERT_EQ(item->damage().size(), 1u);  // from the information scan, without a full load
  EXPECT_FALSE(item->hasCachedEventList());
  const sw::Error& fault = item->damage()[0];
  EXPECT_EQ(fault.status, sw::kSMFNoStatusErr);
  EXPECT_EQ(fault.path, item->fullPath());
  const std::string explanation = item->bugExplanation();
  EXPECT_NE(explanation.find(sw::libraryString("DAMAGED") + where() + "data byte without a running status\n"),
            std::string::npos)
      << explanation;
  EXPECT_EQ(item->tracks(), 3);

  // The whole load keeps every track but the broken one to its end.
  ASSERT_NE(item->eventList(), nullptr);
  EXPECT_EQ(eventsPerTrack(*item->eventList()), (std::vector<int>{81, 6, 21}));

  swtest::MidiFileBuilder sound = song.file;
  sound.track(1).bytes() = swtest::TrackBuilder().text(0, 3, "Fine").endOfTrack().bytes();
  EXPECT_FALSE(this->item("sound.mid", sound)->isDamaged());

  // The log says where the fault lies.
  sw::BatchLog log;
  std::string line;
  log.addSink([&](const std::string& text) { line = text; });
  log.logError(fault, fault.path);
  EXPECT_NE(line.find(" " + where() + "data byte without a running status [-19989]"), std::string::npos) << line;
}

TEST_F(DamagedFile, RewritingCommandsRefuseItAndLeaveItAsItWas) {
  set("nameOfTrackToRemove", std::string("Bass"));
  set("transposeAmount", int64_t(2));
  set("MIDIChannelOld", int64_t(1));
  set("MIDIChannelNew", int64_t(2));
  using Method = sw::Error (MidiFileItem::*)(const sw::BatchRun&);
  const std::pair<const char*, Method> methods[] = {
      {"compand", &MidiFileItem::doCompand},
      {"convert", &MidiFileItem::doConvert},
      {"karaoke", &MidiFileItem::doConvertKaraoke},
      {"utf8", &MidiFileItem::doConvertToUTF8},
      {"markers to lyrics", &MidiFileItem::doMarkersToLyrics},
      {"lyrics to markers", &MidiFileItem::doLyricsToMarkers},
      {"set text", &MidiFileItem::doSetMetaEventText},
      {"channel", &MidiFileItem::doChangeMIDIChannel},
      {"transpose", &MidiFileItem::doTranspose},
      {"remove track", &MidiFileItem::doRemoveTrack},
  };
  auto item = this->item("song.mid", song.file);
  const batchtest::OnDisk before = onDisk(item->fullPath());
  for (bool dryRun : {false, true}) {
    for (const auto& [name, method] : methods) {
      SCOPED_TRACE(name);
      told.clear();
      const sw::Error error = ((*item).*method)(recording(dryRun));
      EXPECT_EQ(error.status, sw::kSMFNoStatusErr);
      EXPECT_EQ(error.track, 1);
      EXPECT_EQ(error.offset, song.faultOffset);
      EXPECT_NE(error.toString().find(where() + "data byte without a running status; the file is damaged"),
                std::string::npos)
          << error.toString();
      EXPECT_TRUE(told.empty());
      EXPECT_EQ(onDisk(item->fullPath()), before);
      EXPECT_TRUE(item->isDamaged());
    }
  }
  // Texts beside the file change nothing in it: they are still written.
  EXPECT_FALSE(item->doExtractLyrics(recording()));
  EXPECT_EQ(onDisk(item->fullPath()), before);

  // The browser's text edits are refused as well.
  item->setTitle("New");
  EXPECT_EQ(item->doCommitChanges(), sw::kSMFNoStatusErr);
  EXPECT_TRUE(item->isDirty());
  EXPECT_EQ(onDisk(item->fullPath()), before);
}

TEST_F(DamagedFile, AForcedRunRewritesWhatWasSalvaged) {
  auto item = this->item("song.mid", song.file);
  sw::BatchRun forced = recording();
  forced.force = true;
  ASSERT_FALSE(item->doCompand(forced));
  EXPECT_FALSE(item->isDamaged());
  auto written = reread(item->fullPath());
  EXPECT_FALSE(written->isDamaged());
  EXPECT_EQ(eventsPerTrack(*written), (std::vector<int>{81, 6, 21}));
}

TEST_F(DamagedFile, FixRewritesWhatCouldBeReadAndSaysSo) {
  set("fixExtension", false);
  set("fixSignature", false);
  set("fixBadDeltaTime", false);
  set("fixMissingResetMessage", false);
  auto item = this->item("song.mid", song.file);
  const batchtest::OnDisk before = onDisk(item->fullPath());
  ASSERT_FALSE(item->doFix(recording(true)));
  EXPECT_EQ(onDisk(item->fullPath()), before);
  ASSERT_GE(told.size(), 1u);  // then "would be written"
  EXPECT_EQ(told[0], "file would be rewritten from what could be read: 108 events on 3 tracks; " + where() +
                         "data byte without a running status (6 events of the track kept)");

  told.clear();
  ASSERT_FALSE(item->doFix(recording()));
  EXPECT_EQ(told.size(), 1u) << ::testing::PrintToString(told);
  EXPECT_FALSE(item->isDamaged());
  EXPECT_EQ(item->bugExplanation().find(sw::libraryString("DAMAGED")), std::string::npos);
  auto written = reread(item->fullPath());
  EXPECT_FALSE(written->isDamaged());
  EXPECT_EQ(eventsPerTrack(*written), (std::vector<int>{81, 6, 21}));
  // Now sound: other commands work on it again, and a second fix changes nothing.
  const batchtest::OnDisk fixed = onDisk(item->fullPath());
  EXPECT_FALSE(item->doFix(recording()));
  EXPECT_EQ(onDisk(item->fullPath()), fixed);
  EXPECT_FALSE(item->doCompand(recording()));
}

TEST_F(DamagedFile, FixAsksFirstWhenADamagedFileIsAmongThoseListed) {
  // Fix warns only for its tempo repair, but rewriting a damaged file loses what could not be
  // read: a run over a folder holding one asks first, and a refusal leaves it as it was.
  struct Asked : sw::BatchConfirmation {
    int times = 0;
    bool confirmDestructive(const std::string&, const std::string&) override { return ++times, false; }
  } asked;
  set("warnBeforeDestructiveProcessing", true);
  auto damaged = this->item("song.mid", song.file);
  const batchtest::OnDisk before = onDisk(damaged->fullPath());
  MidiFileItem folder(dir.path(), nullptr);
  sw::BatchLog log;
  sw::BatchEngine engine(log, nullptr, &asked);
  engine.setWarnsBeforeRewritingDamaged(true);
  const sw::PerFileMethod fix = [](MidiFileItem& file, const sw::BatchRun& run) { return file.doFix(run); };
  EXPECT_TRUE(engine.run({&folder}, fix, false).cancelled);
  EXPECT_EQ(asked.times, 1);
  EXPECT_EQ(onDisk(damaged->fullPath()), before);

  // Without a damaged file among them nothing is asked.
  swtest::TempDir soundDir;
  swtest::MidiFileBuilder sound(0, 96);
  sound.track().noteOn(0, 0, 60, 90).noteOff(96, 0, 60).endOfTrack();
  soundDir.write("sound.mid", sound.bytes());
  MidiFileItem soundFolder(soundDir.path(), nullptr);
  EXPECT_FALSE(engine.run({&soundFolder}, fix, false).cancelled);
  EXPECT_EQ(asked.times, 1);
}

}  // namespace
