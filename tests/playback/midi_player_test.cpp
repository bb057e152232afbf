// The player engine against a recording output, on a clock of its own: windows driven by
// hand in slave mode, and the playback thread running as fast as the fake clock lets it.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>

#include "playback/scorewell_player.h"
#include "playback_test_util.h"

namespace {

using swtest::HandSync;
using swtest::MidiFileBuilder;
using swtest::RecordingOutput;
using swtest::sequenceFrom;

constexpr uint64_t kBase = 5'000'000'000ull;  // host time of song time 0 in the slave tests

struct SlavePlayer {
  std::shared_ptr<RecordingOutput> output = std::make_shared<RecordingOutput>();
  sw::ManualClock clock{kBase};
  HandSync sync;  // outlives the player, which detaches from it
  sw::ScorewellPlayer player{output, clock};

  explicit SlavePlayer(std::shared_ptr<sw::MidiSequence> sequence) {
    player.setEventList(std::move(sequence));
    player.setSyncSource(&sync, true);
    player.play(0);
  }
  // Runs windows over [from, to) song microseconds, with song time t at host time kBase + t.
  void run(double from, double to) {
    for (double f = from; f < to; f += 40000.0) sync.window(kBase + uint64_t(f * 1000.0), f);
  }
};

// Division 480 at 120 BPM: one tick lasts 1041.67 us, so windows never end on a tick.
MidiFileBuilder everyTickNotes(int count) {
  MidiFileBuilder file(0, 480);
  auto& t = file.track();
  t.tempo(0, 500000);
  for (int i = 0; i < count; ++i) t.noteOn(i == 0 ? 0 : 1, 0, uint8_t(40 + i % 40), 100);
  t.endOfTrack(480);
  return file;
}

TEST(MidiPlayerWindows, EveryTickIsPlayedOnceInOrderAcrossWindowBoundaries) {
  SlavePlayer p(sequenceFrom(everyTickNotes(300)));
  p.run(0, 400000.0);
  auto notes = p.output->sentOfKind(0x90);
  ASSERT_EQ(notes.size(), 300u);
  for (size_t i = 0; i < notes.size(); ++i) {
    EXPECT_EQ(notes[i].bytes[1], uint8_t(40 + i % 40)) << i;
    if (i) {
      EXPECT_GT(notes[i].timeStamp, notes[i - 1].timeStamp) << i;
    }
  }
}

TEST(MidiPlayerWindows, TimestampsFollowTheTempoMapIncludingAChangeInsideAWindow) {
  MidiFileBuilder file(0, 480);
  auto& t = file.track();
  t.tempo(0, 500000).noteOn(0, 0, 60, 100).noteOn(20, 0, 61, 100);
  t.tempo(10, 1000000);  // 60 BPM from tick 30: ticks twice as long, same window
  t.noteOn(5, 0, 62, 100).noteOn(960, 0, 63, 100).endOfTrack(10);
  auto sequence = sequenceFrom(file);
  SlavePlayer p(sequence);
  p.run(0, 3000000.0);
  auto notes = p.output->sentOfKind(0x90);
  ASSERT_EQ(notes.size(), 4u);
  const uint32_t ticks[] = {0, 20, 35, 995};
  for (size_t i = 0; i < 4; ++i) {
    double expected = double(kBase) + sequence->microSecondsAtTicks(int32_t(ticks[i])) * 1000.0;
    EXPECT_NEAR(double(notes[i].timeStamp), expected, 2.0) << "note " << i;
  }
  EXPECT_DOUBLE_EQ(p.player.tempo(), 60.0);
}

TEST(MidiPlayerWindows, TransposesAllButDrumChannelsAndDropsNotesLeavingTheRange) {
  MidiFileBuilder file(0, 480);
  file.track().noteOn(0, 0, 60, 100).noteOn(0, 9, 36, 100).noteOn(0, 1, 126, 90).noteOff(10, 0, 60).endOfTrack();
  auto sequence = sequenceFrom(file);
  SlavePlayer p(sequence);
  p.player.setPitch(300);
  EXPECT_DOUBLE_EQ(p.player.pitch(), 300.0);
  p.run(0, 80000.0);
  std::vector<std::vector<uint8_t>> notes;
  for (const auto& s : p.output->sent())
    if ((s.bytes[0] & 0xE0) == 0x80) notes.push_back(s.bytes);
  // 126 + 3 would be 129, not a data byte: neither that note nor its note-off is sent.
  ASSERT_EQ(notes.size(), 4u);
  EXPECT_EQ(notes[0], (std::vector<uint8_t>{0x90, 63, 100}));
  EXPECT_EQ(notes[1], (std::vector<uint8_t>{0x99, 36, 100}));
  EXPECT_EQ(notes[2][1], 36);
  EXPECT_EQ(notes[3], (std::vector<uint8_t>{0x80, 63, 64}));  // the note-off moves with its note-on
  EXPECT_EQ(sequence->eventAtIndex(sequence->indexAtTicks(0))->second(), 60) << "the stored event is unchanged";
}

TEST(MidiPlayerWindows, SysexGoesOutWithoutItsLengthButMasterVolumeNever) {
  MidiFileBuilder file(0, 480);
  file.track()
      .sysex(0, {0x7F, 0x7F, 0x04, 0x01, 0x00, 0x40, 0xF7})
      .sysex(0, {0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x04, 0x40, 0x7C, 0xF7})
      .sysex(0, {0x43, 0x10, 0x4C, 0x00, 0x00, 0x7E, 0x00, 0xF7})
      .endOfTrack();
  SlavePlayer p(sequenceFrom(file));
  p.run(0, 40000.0);
  auto sent = p.output->sent();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].bytes, (std::vector<uint8_t>{0xF0, 0x43, 0x10, 0x4C, 0x00, 0x00, 0x7E, 0x00, 0xF7}));
}

TEST(MidiPlayerChase, ResendsRecordedStateInItsFixedOrderBeforeResuming) {
  MidiFileBuilder file(0, 480);
  file.track()
      .control(0, 2, 64, 127)  // sustain
      .control(0, 2, 32, 1)    // bank LSB, sent right after controller 0
      .control(0, 2, 0, 8)
      .control(0, 2, 14, 5)  // never chased
      .program(0, 2, 19)
      .pitchBend(0, 2, 0x2001)
      .raw(0, {0xA2, 60, 30})
      .raw(0, {0xA2, 61, 31})  // only the latest poly pressure survives
      .raw(0, {0xD2, 44})
      .control(0, 2, 7, 90)
      .control(10, 2, 7, 50)  // the later value wins
      .noteOn(950, 2, 60, 100)
      .endOfTrack(480);
  auto output = std::make_shared<RecordingOutput>();
  sw::ManualClock clock;
  HandSync sync;
  sw::ScorewellPlayer player(output, clock);
  player.setChaseEvents(true);
  player.setEventList(sequenceFrom(file));
  player.setSyncSource(&sync, true);

  player.setTicks(0);
  player.play(0);
  EXPECT_TRUE(output->sent().empty()) << "starting at tick 0 never chases";
  player.stop();

  player.setTicks(960);
  player.play(0);
  std::vector<std::vector<uint8_t>> expected = {
      {0xB2, 0, 8}, {0xB2, 32, 1}, {0xB2, 7, 50}, {0xB2, 64, 127}, {0xC2, 19},
      {0xE2, 0x01, 0x40}, {0xA2, 61, 31}, {0xD2, 44}};
  auto sent = output->sent();
  ASSERT_EQ(sent.size(), expected.size());
  for (size_t i = 0; i < sent.size(); ++i) {
    EXPECT_EQ(sent[i].bytes, expected[i]) << i;
    EXPECT_EQ(sent[i].timeStamp, 0u);
  }
}

TEST(MidiPlayerPosition, ReadoutsWithAndWithoutASequence) {
  auto output = std::make_shared<RecordingOutput>();
  sw::ManualClock clock;
  sw::MidiPlayer player(output, clock);
  EXPECT_TRUE(player.isDone());
  EXPECT_EQ(player.time(), 0u);
  EXPECT_EQ(player.getMeasure(), (sw::MeasureRec{1, 1, 0}));
  EXPECT_EQ(player.signatureNum(), 4);
  EXPECT_EQ(player.play(0), 0);
  EXPECT_FALSE(player.isPlaying());

  MidiFileBuilder file(0, 480);
  file.track().tempo(0, 500000).timeSignature(0, 3, 2).noteOn(1440, 0, 60, 100).noteOff(480, 0, 60).endOfTrack();
  player.setEventList(sequenceFrom(file));
  EXPECT_EQ(player.firstNoteDelay(), 1440u);
  EXPECT_EQ(player.duration(), 2000u);
  EXPECT_EQ(player.signatureNum(), 3);
  player.setTime(1500);
  EXPECT_EQ(player.ticks(), 1440);
  EXPECT_EQ(player.time(), 1500u);
  EXPECT_EQ(player.getMeasure(), (sw::MeasureRec{2, 1, 0}));
  player.setTicks(0);
  player.setStartFromFirstNote(true);
  EXPECT_EQ(player.getMeasure(), (sw::MeasureRec{1, 1, 0}));
}

TEST(MidiPlayerPreroll, ResetsOnceAndSkipsTheLeadInBeforeTheFirstNote) {
  MidiFileBuilder file(0, 480);
  file.track().program(0, 0, 5).control(100, 0, 7, 80).noteOn(860, 0, 60, 100).noteOff(480, 0, 60).endOfTrack();
  auto output = std::make_shared<RecordingOutput>();
  sw::ManualClock clock;
  sw::MidiPlayer player(output, clock);
  player.setEventList(sequenceFrom(file));
  player.setStartFromFirstNote(true);
  player.preroll();
  EXPECT_EQ(output->resets(), (std::vector<std::string>{""})) << "the defaults ask for no reset messages";
  auto sent = output->sent();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].bytes, (std::vector<uint8_t>{0xC0, 5}));
  EXPECT_EQ(sent[1].timeStamp, 0u);
  EXPECT_EQ(player.ticks(), 960);
  player.preroll();
  EXPECT_EQ(output->resets().size(), 1u);
}

// ---- The playback thread, on a clock that jumps wherever a sleep asks.

struct ThreadedPlayer {
  std::shared_ptr<RecordingOutput> output = std::make_shared<RecordingOutput>();
  sw::ManualClock clock;
  sw::ScorewellPlayer player{output, clock};

  void waitForNotes(size_t count) {
    ASSERT_TRUE(swtest::eventually(
        [&] { return output->sentOfKind(0x90).size() >= count || !player.isPlayingThreadRunning(); }));
  }
};

TEST(MidiPlayerThread, PlaysInOrderAndStopSendsAllNotesOff) {
  auto output = std::make_shared<RecordingOutput>();
  swtest::GatedClock clock;
  sw::ScorewellPlayer player(output, clock);
  player.setEventList(sequenceFrom(everyTickNotes(2000)));
  ASSERT_EQ(player.play(0), 0);
  EXPECT_TRUE(player.isPlaying());
  EXPECT_EQ(player.play(0), 0) << "a second play returns at once";
  clock.allow(5);  // five windows of 40 ms: ticks 0-191
  clock.waitUntilUsed();
  // The thread goes on one window at a time while stop() waits for it: opening the clock
  // instead could let it reach the end of the song before stop() is called.
  std::atomic<bool> stopped{false};
  std::thread stopper([&] {
    player.stop();
    stopped = true;
  });
  while (!stopped) {
    clock.allow(1);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  stopper.join();
  clock.open();
  EXPECT_FALSE(player.isPlayingThreadRunning());
  EXPECT_EQ(output->allNotesOffCalls(), (std::vector<bool>{true}));  // "allSoundsOffOnStop" is YES
  auto notes = output->sentOfKind(0x90);
  ASSERT_GE(notes.size(), 192u);
  for (size_t i = 1; i < notes.size(); ++i) ASSERT_GT(notes[i].timeStamp, notes[i - 1].timeStamp);
  EXPECT_EQ(player.ticks(), int32_t(notes.size()) - 1);

  // Play right after stop resumes at the last tick the thread processed.
  const int32_t at = player.ticks();
  output->clear();
  player.play(0);
  // Under load the free-running thread may have reached the end before the stop: then there
  // is nothing left to resume.
  ASSERT_TRUE(swtest::eventually([&] { return !output->sentOfKind(0x90).empty() || player.isDone(); }));
  player.stop();
  if (!output->sentOfKind(0x90).empty()) {
    EXPECT_EQ(output->sentOfKind(0x90)[0].bytes[1], uint8_t(40 + at % 40));
  }
}

TEST(MidiPlayerThread, StopAtTheEndSendsNoAllNotesOff) {
  ThreadedPlayer p;
  p.player.setEventList(sequenceFrom(everyTickNotes(10)));
  p.player.play(0);
  ASSERT_TRUE(swtest::eventually([&] { return p.player.isDone(); }));
  p.player.stop();
  EXPECT_TRUE(p.output->allNotesOffCalls().empty());
}

TEST(MidiPlayerThread, PitchChangeWhilePlayingSilencesSoundingNotes) {
  ThreadedPlayer p;
  p.player.setEventList(sequenceFrom(everyTickNotes(2000)));
  p.player.play(0);
  p.waitForNotes(5);
  p.player.setPitch(-250);  // truncated to -2 semitones
  EXPECT_DOUBLE_EQ(p.player.pitch(), -200.0);
  EXPECT_EQ(p.output->allNotesOffCalls().size(), 1u);
  p.player.setPitch(-210);  // still -2: nothing
  EXPECT_EQ(p.output->allNotesOffCalls().size(), 1u);
  p.player.stop();
}

TEST(MidiPlayerThread, EditsUnderTheSequenceLockDuringPlaybackAreSafe) {
  ThreadedPlayer p;
  auto sequence = sequenceFrom(everyTickNotes(3000));
  p.player.setEventList(sequence);
  p.player.play(0);
  for (int round = 0; round < 300; ++round) {
    const uint8_t bytes[3] = {0x91, uint8_t(30 + round % 50), 80};
    const uint32_t tick = uint32_t(std::max(0, p.player.ticks())) + uint32_t(round % 7);
    sequence->insertEvent(std::make_unique<sw::MidiEvent>(bytes, 3, 0, tick));
    sequence->removeObjectAtIndex(sequence->indexAtTicks(tick));
    if (round % 3 == 0) sequence->removeObjectAtIndex(sequence->count() / 2);
    std::this_thread::yield();
  }
  p.player.stop();
  EXPECT_FALSE(p.player.isPlayingThreadRunning());
}

TEST(MidiPlayerSlave, DetachingTheSourceLeavesSlaveMode) {
  auto output = std::make_shared<RecordingOutput>();
  HandSync sync;
  sw::MidiPlayer player(output);
  player.setSyncSource(&sync, true);
  EXPECT_TRUE(player.isSlave());
  EXPECT_TRUE(sync.attached());
  EXPECT_FALSE(player.startFromFirstNote());
  player.setSyncSource(nullptr, false);
  EXPECT_FALSE(player.isSlave());
  EXPECT_FALSE(sync.attached());
}

}  // namespace
