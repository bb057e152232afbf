// The outputs: the fixed messages byte for byte, a sequencer destination through a fake
// transport, the fallback to the synthesizer, channel muting and level data, and the client
// on a machine without a sequencer.
#include <gtest/gtest.h>

#include <filesystem>

#include "playback/alsa/alsa_sequencer.h"
#include "playback/midi_client.h"
#include "playback/midi_filter.h"
#include "playback/midi_messages.h"
#include "playback_test_util.h"

namespace {

using swtest::FakeTransport;
using swtest::RecordingOutput;
using Bytes = std::vector<uint8_t>;

Bytes bytesOf(const auto& array) { return Bytes(array.begin(), array.end()); }

TEST(FixedMessages, ByteForByte) {
  EXPECT_EQ(bytesOf(sw::midi::kGMSystemOn), (Bytes{0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7}));
  EXPECT_EQ(bytesOf(sw::midi::kGSReset), (Bytes{0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7}));
  EXPECT_EQ(bytesOf(sw::midi::kXGSystemOn), (Bytes{0xF0, 0x43, 0x10, 0x4C, 0x00, 0x00, 0x7E, 0x00, 0xF7}));
  EXPECT_EQ(bytesOf(sw::midi::masterVolumeMessage(1.0f)), (Bytes{0xF0, 0x7F, 0x7F, 0x04, 0x01, 0x00, 0x7F, 0xF7}));
  EXPECT_EQ(sw::midi::masterVolumeMessage(0.5f)[6], 89);  // trunc(sqrt(0.5) x 127)
  EXPECT_EQ(sw::midi::masterVolumeMessage(0.0f)[6], 0);
  EXPECT_EQ(sw::midi::masterVolumeMessage(7.0f)[6], 127) << "never above a data byte";
}

struct DestinationOutput : ::testing::Test {
  FakeTransport transport;
  std::shared_ptr<RecordingOutput> synth = std::make_shared<RecordingOutput>();
  sw::ManualClock clock;
  sw::MIDIOutput output{&transport, 7, synth, clock};
};

TEST_F(DestinationOutput, ResetSendsTheChosenMessagesInOrder) {
  output.resetDevice(true, false, true);
  ASSERT_EQ(transport.sent.size(), 2u);
  EXPECT_EQ(transport.sent[0].bytes, bytesOf(sw::midi::kGMSystemOn));
  EXPECT_EQ(transport.sent[1].bytes, bytesOf(sw::midi::kXGSystemOn));
  EXPECT_TRUE(synth->resets().empty());
}

TEST_F(DestinationOutput, AllNotesOffFlushesThenSilencesEveryChannel) {
  output.allNotesOff(true);
  ASSERT_EQ(transport.log.front(), "flush");
  ASSERT_EQ(transport.sent.size(), 64u);
  EXPECT_EQ(transport.sent[0].bytes, (Bytes{0xB0, 123, 0}));
  EXPECT_EQ(transport.sent[1].bytes, (Bytes{0xB0, 66, 0}));
  EXPECT_EQ(transport.sent[2].bytes, (Bytes{0xB0, 64, 0}));
  EXPECT_EQ(transport.sent[3].bytes, (Bytes{0xB0, 120, 0}));
  EXPECT_EQ(transport.sent[63].bytes, (Bytes{0xBF, 120, 0}));
  transport.sent.clear();
  output.allNotesOff(false);
  EXPECT_EQ(transport.sent.size(), 48u);
}

TEST_F(DestinationOutput, OversizedMessagesAreSkippedAndStatusesPassThrough) {
  swtest::PlaybackEnvironment::clearLog();
  Bytes huge(32769, 0x10);
  huge.front() = 0xF0;
  huge.back() = 0xF7;
  EXPECT_EQ(output.sendBytes(huge.data(), int32_t(huge.size()), 0), -50);
  EXPECT_TRUE(transport.sent.empty());
  ASSERT_FALSE(swtest::PlaybackEnvironment::logLines().empty());
  EXPECT_NE(swtest::PlaybackEnvironment::logLines().back().find("packetSize (32769)"), std::string::npos);
  const uint8_t note[3] = {0x90, 60, 100};
  EXPECT_EQ(output.sendBytes(note, 3, 1234), 0);
  EXPECT_EQ(transport.sent.back().timeStamp, 1234u);
  output.sendMasterVolume(1.0f);
  EXPECT_EQ(transport.sent.back().bytes, bytesOf(sw::midi::masterVolumeMessage(1.0f)));
}

TEST_F(DestinationOutput, DestinationZeroAndMutingRouteToTheSynthesizerOrNowhere) {
  output.setDest(0);
  const uint8_t note[3] = {0x90, 60, 100};
  output.sendBytes(note, 3, 99);
  output.resetDevice(false, false, false);
  output.sendMasterVolume(0.25f);
  EXPECT_TRUE(transport.sent.empty());
  ASSERT_EQ(synth->sent().size(), 1u);
  EXPECT_EQ(synth->sent()[0].timeStamp, 99u);
  EXPECT_EQ(synth->resets(), (std::vector<std::string>{""}));
  EXPECT_EQ(synth->volumes(), (std::vector<float>{0.25f}));

  output.setMuted(true);
  EXPECT_EQ(synth->allNotesOffCalls(), (std::vector<bool>{true})) << "muting silences first";
  output.sendBytes(note, 3, 0);
  EXPECT_EQ(synth->sent().size(), 1u);
}

struct Filter : ::testing::Test {
  std::shared_ptr<RecordingOutput> synth = std::make_shared<RecordingOutput>();
  sw::ManualClock clock;
  sw::MIDIFilter filter{nullptr, 0, synth, clock};
  void send(std::initializer_list<uint8_t> bytes) {
    Bytes b(bytes);
    filter.sendBytes(b.data(), int32_t(b.size()), 0);
  }
};

TEST_F(Filter, MutingDropsOnlyNoteOnsSoSoundingNotesStillEnd) {
  send({0x99, 36, 100});
  filter.setFilterChannelMask(1u << 9);
  // Silencing the muted channel: All Notes Off, then sustain off.
  auto sent = synth->sent();
  ASSERT_EQ(sent.size(), 3u);
  EXPECT_EQ(sent[1].bytes, (Bytes{0xB9, 123, 0}));
  EXPECT_EQ(sent[2].bytes, (Bytes{0xB9, 64, 0}));
  send({0x99, 38, 100});  // dropped
  send({0x89, 36, 0});    // passes
  send({0xB9, 7, 90});    // passes
  send({0x90, 60, 100});  // another channel passes
  sent = synth->sent();
  ASSERT_EQ(sent.size(), 6u);
  EXPECT_EQ(sent[3].bytes, (Bytes{0x89, 36, 0}));
  EXPECT_EQ(sent[5].bytes, (Bytes{0x90, 60, 100}));
}

TEST_F(Filter, LevelsFollowVelocitiesAndHeldNotes) {
  send({0x92, 60, 70});
  send({0x92, 62, 50});  // lower: the level stays
  EXPECT_EQ(filter.noteVelocity(2), 70);
  EXPECT_EQ(filter.playingNotes(2), 2);
  send({0x92, 60, 0});  // velocity 0 counts as a note-off
  EXPECT_EQ(filter.playingNotes(2), 1);
  send({0x82, 62, 0});
  send({0x82, 62, 0});  // never below zero
  EXPECT_EQ(filter.playingNotes(2), 0);
  send({0x95, 60, 120});
  EXPECT_EQ(filter.noteTicks(5), sw::systemTicks(clock));
  send({0xB5, 123, 0});
  EXPECT_EQ(filter.noteVelocity(5), 0);
  EXPECT_EQ(filter.playingNotes(5), 0);
  send({0x93, 60, 110});
  filter.allNotesOff(false);
  EXPECT_EQ(filter.noteVelocity(3), 0);
}

TEST(Endpoints, RepeatedTitlesGetANumberAndTheirOwnIdentifier) {
  std::vector<sw::MidiEndpoint> endpoints{{1, sw::endpointUniqueID("A", "B"), "T", "20:0"},
                                          {2, sw::endpointUniqueID("A", "B"), "T", "21:0"},
                                          {3, sw::endpointUniqueID("C", "D"), "U", "22:0"}};
  sw::disambiguateEndpoints(endpoints);
  EXPECT_EQ(endpoints[0].name, "T");
  EXPECT_EQ(endpoints[1].name, "T #2");
  EXPECT_NE(endpoints[0].uniqueID, endpoints[1].uniqueID);
  EXPECT_EQ(endpoints[0].uniqueID, sw::endpointUniqueID("A", "B")) << "stable across runs";
}

TEST(Client, FindsDestinationsByIdAddressOrName) {
  auto synth = std::make_shared<RecordingOutput>();
  sw::MIDIClient client(std::make_unique<FakeTransport>(), synth);
  ASSERT_EQ(client.destinations().size(), 1u);
  EXPECT_TRUE(client.findDestination("1234"));
  EXPECT_TRUE(client.findDestination("0x4d2"));
  EXPECT_TRUE(client.findDestination("20:0"));
  EXPECT_TRUE(client.findDestination("Fake Synth"));
  EXPECT_FALSE(client.findDestination("99"));
  EXPECT_FALSE(client.findDestination(""));
}

TEST(Client, WithoutASequencerListsNothingAndPlaysThroughTheSynthesizer) {
  if (std::filesystem::exists("/dev/snd/seq")) GTEST_SKIP() << "this machine has an ALSA sequencer";
  sw::Error error;
  EXPECT_EQ(sw::AlsaSequencer::open(&error), nullptr);
  EXPECT_TRUE(error);
  EXPECT_FALSE(error.message.empty());

  auto synth = std::make_shared<RecordingOutput>();
  sw::MIDIClient client(sw::AlsaSequencer::open(), synth);
  EXPECT_FALSE(client.hasTransport());
  EXPECT_TRUE(client.destinations().empty());
  EXPECT_FALSE(client.findDestination("20:0"));
  const std::shared_ptr<sw::MIDIFilter>& output = client.midiOutput();
  EXPECT_EQ(output->dest(), 0u);
  const uint8_t note[3] = {0x90, 60, 100};
  output->sendBytes(note, 3, 0);
  EXPECT_EQ(synth->sent().size(), 1u);
  client.dispose();
  EXPECT_FALSE(synth->allNotesOffCalls().empty());
}

}  // namespace
