// The transport model: the time text, one playing controller at a time, the rewind at the
// end, the end of a song seen by the seconds timer, muting while playing and the meters.
#include <gtest/gtest.h>

#include <thread>

#include "playback/midi_player_controller.h"
#include "playback_test_util.h"

namespace {

using swtest::MidiFileBuilder;
using swtest::RecordingOutput;

std::shared_ptr<sw::MidiSequence> longSong() {
  MidiFileBuilder file(0, 480);
  auto& t = file.track();
  t.tempo(0, 500000);
  for (int i = 0; i < 400; ++i) t.noteOn(i ? 240 : 0, uint8_t(i % 3), 60, 100).noteOff(240, uint8_t(i % 3), 60);
  t.endOfTrack();
  return swtest::sequenceFrom(file);  // the last note-off at beat 399.5
}

struct Controllers : ::testing::Test {
  std::shared_ptr<RecordingOutput> synth = std::make_shared<RecordingOutput>();
  sw::ManualClock clock;
  std::shared_ptr<sw::MIDIFilter> output = std::make_shared<sw::MIDIFilter>(nullptr, 0, synth, clock);
};

TEST(TimeText, MinutesSecondsAndHours) {
  EXPECT_EQ(sw::MidiPlayerController::formatInterval(75), "01:15");
  EXPECT_EQ(sw::MidiPlayerController::formatInterval(3725), "1:02:05");
  EXPECT_EQ(sw::MidiPlayerController::formatInterval(59.6), "00:59");
  EXPECT_EQ(sw::MidiPlayerController::formatInterval(0), "00:00");
  EXPECT_EQ(sw::MidiPlayerController::formatInterval(-5), "00:00");
}

TEST_F(Controllers, StartingASecondControllerStopsTheFirst) {
  sw::MidiPlayerController first(output, clock), second(output, clock);
  first.setEventList(longSong());
  second.setEventList(longSong());
  EXPECT_DOUBLE_EQ(first.durationSecs(), 199.75);
  EXPECT_DOUBLE_EQ(first.sliderMaximum(), 199.75);
  first.start();
  EXPECT_TRUE(first.isPlaying());
  EXPECT_EQ(first.buttonImage(), sw::MidiPlayerController::ButtonImage::Stop);
  EXPECT_EQ(sw::MidiPlayerController::playingCount(), 1);
  second.start();
  EXPECT_FALSE(first.isPlaying());
  EXPECT_EQ(first.buttonImage(), sw::MidiPlayerController::ButtonImage::Play);
  EXPECT_FALSE(first.timersActive());
  EXPECT_TRUE(second.isPlaying());
  EXPECT_EQ(sw::MidiPlayerController::playingCount(), 1);
  second.doTogglePlayState();
  EXPECT_FALSE(second.isPlaying());
  EXPECT_EQ(sw::MidiPlayerController::playingCount(), 0);
}

TEST_F(Controllers, AnEmptySongDoesNotCountAsPlaying) {
  sw::MidiPlayerController controller(output, clock);
  auto empty = std::make_shared<sw::MidiSequence>();
  while (empty->count()) empty->removeObjectAtIndex(0);
  controller.setEventList(empty);
  controller.start();
  EXPECT_FALSE(controller.isPlaying());
  EXPECT_EQ(sw::MidiPlayerController::playingCount(), 0);
}

TEST_F(Controllers, StartAtTheEndRewindsAndTheSecondsTimerEndsTheSong) {
  MidiFileBuilder file(0, 480);
  file.track().tempo(0, 500000).noteOn(0, 0, 60, 100).noteOff(960, 0, 60).endOfTrack();  // 1 s
  // The playing thread waits at its first sleep until the time is read: a free-running clock
  // could already be near the end of the song under load.
  swtest::GatedClock gated;
  auto gatedOutput = std::make_shared<sw::MIDIFilter>(nullptr, 0, synth, gated);
  sw::MidiPlayerController controller(gatedOutput, gated);
  struct OpenAtExit {  // a failed assertion must not leave the thread waiting
    swtest::GatedClock& clock;
    ~OpenAtExit() { clock.open(); }
  } openAtExit{gated};
  controller.setEventList(swtest::sequenceFrom(file));
  controller.doSetTime(5.0);  // past the end
  controller.start();
  ASSERT_TRUE(controller.isPlaying());
  EXPECT_LT(controller.midiPlayer().time(), 1000u) << "rewound";
  // Then the clock runs ahead as fast as the thread sleeps; the timer sees the end.
  gated.open();
  while (controller.secondsTimerFired()) {
    EXPECT_GT(controller.secondsTimerInterval(), 0.0);
    EXPECT_LE(controller.secondsTimerInterval(), 1.0);
    std::this_thread::yield();
  }
  EXPECT_FALSE(controller.isPlaying());
  EXPECT_FALSE(controller.timersActive());
  EXPECT_GE(controller.sliderValue(), 1.0) << "stopped once the time reached the duration";
}

TEST_F(Controllers, MutingWhilePlayingSilencesTheChannelAtOnce) {
  sw::MidiPlayerController controller(output, clock);
  controller.setEventList(longSong());
  controller.setFilterChannelMask(0x0001);
  EXPECT_EQ(output->filterChannelMask(), 0) << "handed over only when playing starts";
  controller.start();
  EXPECT_EQ(output->filterChannelMask(), 0x0001);
  synth->clear();
  controller.setFilterChannelMask(0x0003);
  auto sent = synth->sent();
  bool silencedChannel2 = false;
  for (const auto& s : sent)
    if (s.bytes == std::vector<uint8_t>{0xB1, 123, 0}) silencedChannel2 = true;
  EXPECT_TRUE(silencedChannel2);
  controller.stop();
}

TEST_F(Controllers, MeterLevelsDecayFasterWithoutHeldNotes) {
  sw::MidiPlayerController controller(output, clock);
  const uint32_t now = sw::systemTicks(clock);
  output->setNoteVelocity(0, 100, now);
  output->setNoteVelocity(1, 100, now);
  const uint8_t held[3] = {0x90, 60, 20};  // a held note on channel 0 (below the level)
  output->sendBytes(held, 3, 0);
  EXPECT_TRUE(controller.idle());
  EXPECT_EQ(controller.level(0), 100);
  clock.advance(1'000'000'000 / 60 * 2 + 1000);  // two system ticks
  controller.idle();
  EXPECT_EQ(controller.level(0), 94);  // 2 x 3
  EXPECT_EQ(controller.level(1), 82);  // 2 x 9
  clock.advance(1'000'000'000);
  controller.idle();
  EXPECT_EQ(controller.level(1), 0);
  EXPECT_FALSE(controller.idle()) << "nothing changed";
}

}  // namespace
