// The built-in synthesizer rendering offline with the Debian SoundFont, its shielding, its
// reset and volume law, its settings, and the sound-bank helpers.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "playback/fluidsynth/dls_music_device.h"
#include "playback/fluidsynth/sound_bank.h"
#include "playback/offline_renderer.h"
#include "playback_test_util.h"
#include "temp_dir.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct Synth : ::testing::Test {
  sw::ManualClock clock;
  std::shared_ptr<sw::DLSMusicDevice> device;

  void SetUp() override {
    if (sw::defaultSoundBankPath().empty())
      GTEST_SKIP() << "no SoundFont installed (apt-get install timgm6mb-soundfont)";
    sw::MusicDevice::Options options;
    options.audio = false;
    options.clock = &clock;
    device = sw::DLSMusicDevice::createWithSettings(nullptr, options);
    ASSERT_TRUE(device);
  }
  // The peak of `seconds` of audio rendered from now on; the clock moves along.
  float renderPeak(double seconds) {
    const int frames = int(seconds * device->sampleRate());
    std::vector<float> left(static_cast<size_t>(frames)), right(static_cast<size_t>(frames));
    device->render(left.data(), right.data(), frames, clock.now());
    clock.advance(uint64_t(seconds * 1e9));
    float peak = 0;
    for (int i = 0; i < frames; ++i) peak = std::max({peak, std::fabs(left[size_t(i)]), std::fabs(right[size_t(i)])});
    return peak;
  }
  void send(std::initializer_list<uint8_t> bytes, uint64_t timeStamp = 0) {
    Bytes b(bytes);
    device->sendBytes(b.data(), int32_t(b.size()), timeStamp);
  }
};

TEST_F(Synth, ANoteSoundsAndStopsAtAllSoundOff) {
  EXPECT_FALSE(device->bankName().empty());
  EXPECT_FALSE(device->hasAudioOutput());
  EXPECT_FALSE(device->isGraphRunning());
  EXPECT_LT(renderPeak(0.1), 1e-6f);
  send({0x90, 60, 110});
  EXPECT_GT(renderPeak(0.3), 0.01f);
  device->allNotesOff(true);
  renderPeak(1.0);  // the reverb dies away
  EXPECT_LT(renderPeak(0.2), 1e-4f);
}

TEST_F(Synth, TimestampedMessagesWaitForTheirBlock) {
  send({0x90, 64, 110}, clock.now() + 200'000'000);  // 0.2 s ahead
  EXPECT_EQ(device->pendingMessageCount(), 1u);
  EXPECT_LT(renderPeak(0.15), 1e-6f);
  EXPECT_GT(renderPeak(0.2), 0.01f);
  EXPECT_EQ(device->pendingMessageCount(), 0u);
  send({0x90, 67, 110}, clock.now() + 100'000'000);
  device->allNotesOff(false);
  EXPECT_EQ(device->pendingMessageCount(), 0u) << "a queued note must not start after the silence";
}

TEST_F(Synth, ResetMessagesRunTheDevicesOwnResetAndClearTheDrumPartFlag) {
  send({0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x1A, 0x15, 0x01, 0x10, 0xF7});  // part 11 as rhythm
  EXPECT_TRUE(device->needsDrumPartReset());
  swtest::PlaybackEnvironment::clearLog();
  device->resetDevice(false, false, false);
  EXPECT_TRUE(device->needsDrumPartReset()) << "no flag: nothing happens";
  ASSERT_FALSE(swtest::PlaybackEnvironment::logLines().empty());
  EXPECT_EQ(swtest::PlaybackEnvironment::logLines().back(), "No reset messages enabled; cannot reset device!");
  send({0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7});  // a file's GS reset
  EXPECT_FALSE(device->needsDrumPartReset());
}

TEST(RPNShieldTest, NRPNsNeverPassRPNZeroDoes) {
  sw::RPNShield shield;
  EXPECT_FALSE(shield.passes(99, 1));
  EXPECT_FALSE(shield.passes(98, 8));
  EXPECT_FALSE(shield.passes(6, 64));
  EXPECT_FALSE(shield.passes(38, 0));
  EXPECT_TRUE(shield.passes(101, 0));
  EXPECT_TRUE(shield.passes(100, 0));
  EXPECT_TRUE(shield.passes(6, 12));
  EXPECT_TRUE(shield.passes(38, 0));
  EXPECT_FALSE(shield.passes(100, 5)) << "an RPN the synthesizer does not know";
  EXPECT_FALSE(shield.passes(38, 0));
  EXPECT_TRUE(shield.passes(6, 1)) << "the MSB still selects RPN 0";
  EXPECT_FALSE(shield.passes(101, 3));
  EXPECT_FALSE(shield.passes(6, 1));
  EXPECT_FALSE(shield.passes(32, 1)) << "bank select LSB";
  EXPECT_TRUE(shield.passes(7, 100));
}

TEST(VolumeLaw, DecibelsOfVolumeAndTrim) {
  EXPECT_DOUBLE_EQ(sw::DLSMusicDevice::volumeDecibels(1.0f, 0), 0.0);
  EXPECT_NEAR(sw::DLSMusicDevice::volumeDecibels(0.5f, 0), -6.47, 0.01);
  EXPECT_NEAR(sw::DLSMusicDevice::volumeDecibels(1.0f, -3.0), -3.0, 1e-9);
  EXPECT_DOUBLE_EQ(sw::DLSMusicDevice::volumeDecibels(0.0f, 0), -120.0);
}

TEST(OutputChannels, MapAndMenu) {
  EXPECT_EQ(sw::outputChannelMap(2, 2), (std::vector<int>{-1, -1})) << "pair 3-4 on a two-channel device";
  EXPECT_EQ(sw::outputChannelMap(4, 2), (std::vector<int>{-1, -1, 0, 1}));
  EXPECT_EQ(sw::outputChannelMap(4, 1), (std::vector<int>{0, 1, -1, -1}));
  EXPECT_EQ(sw::outputChannelMenuTitles(2, 0), (std::vector<std::string>{"L-R", "1-2"}));
  EXPECT_EQ(sw::outputChannelMenuTitles(2, 2), (std::vector<std::string>{"L-R", "1-2", "3-4"}));
}

TEST_F(Synth, SettingsRoundTripAndForeignSettingsAreRefused) {
  device->setTuning(25);
  device->setReverbVolume(0.3);
  device->setVolumeOffset(-4.0);
  device->setChannelIndex(2);
  sw::SettingValue::Dictionary saved = device->settings();
  EXPECT_EQ(saved.at("MusicDeviceTuning").integerValue(), 25);
  EXPECT_EQ(saved.at("file-references").dictionaryValue().at("sb-file-ref").stringValue(), device->bankPath());

  sw::MusicDevice::Options options;
  options.audio = false;
  auto other = sw::DLSMusicDevice::createWithSettings(&saved, options);
  ASSERT_TRUE(other);
  EXPECT_EQ(other->tuning(), 25);
  EXPECT_DOUBLE_EQ(other->reverbVolume(), 0.3);
  EXPECT_EQ(other->volumeOffset(), -4.0);
  EXPECT_EQ(other->channelIndex(), 2u);
  EXPECT_NEAR(other->currentGainDecibels(), -4.0, 1e-9);

  sw::SettingValue::Dictionary foreign = saved;
  foreign["subtype"] = int64_t(1);
  foreign["MusicDeviceTuning"] = int64_t(-7);
  EXPECT_EQ(other->setSettings(foreign), sw::paramErr);
  EXPECT_EQ(other->tuning(), 25);
  EXPECT_EQ(other->setSettings(other->defaultSettings()), sw::noErr);
  EXPECT_EQ(other->tuning(), 0);
  EXPECT_EQ(other->setBankPath("/nonexistent/bank.sf2"), sw::fnfErr);

  // The editor's presets go through "Music Device Settings" (in the test's own folder).
  other->setTuning(-40);
  ASSERT_EQ(other->savePreset(), sw::noErr);
  other->setVolumeOffset(6.0);
  EXPECT_EQ(other->factoryDefaults(), sw::noErr);
  EXPECT_EQ(other->tuning(), 0);
  EXPECT_EQ(other->volumeOffset(), 0.0);
  EXPECT_EQ(other->restorePreset(), sw::noErr);
  EXPECT_EQ(other->tuning(), -40);
  sw::SettingsStore::shared().removeObjectForKey("Music Device Settings");
}

TEST(SoundBanks, NamesFromTheFileAndDamagedFilesRefused) {
  swtest::TempDir dir;
  // RIFF sfbk with LIST INFO holding ifil and INAM.
  Bytes bank{'R', 'I', 'F', 'F', 40, 0, 0, 0, 's', 'f', 'b', 'k', 'L', 'I', 'S', 'T', 28, 0, 0, 0, 'I', 'N', 'F', 'O',
             'i', 'f', 'i', 'l', 4, 0, 0, 0, 2, 0, 1, 0, 'I', 'N', 'A', 'M', 4, 0, 0, 0, 'G', 'M', 0xE9, 0};
  std::string name;
  EXPECT_EQ(sw::soundBankName(dir.write("a.sf2", bank), &name), sw::noErr);
  EXPECT_EQ(name, "GM\xC3\xA9") << "Latin-1 text arrives as UTF-8";
  Bytes huge = bank;
  huge[40] = 0xFF, huge[41] = 0xFF, huge[42] = 0xFF, huge[43] = 0x7F;  // INAM length far past the end
  EXPECT_EQ(sw::soundBankName(dir.write("b.sf2", huge), &name), sw::noErr);
  Bytes cut(bank.begin(), bank.begin() + 30);
  EXPECT_EQ(sw::soundBankName(dir.write("c.sf2", cut), &name), sw::paramErr);
  EXPECT_EQ(sw::soundBankName(dir.write("d.sf2", {'R', 'I', 'F', 'F'}), &name), sw::paramErr);
  EXPECT_EQ(sw::soundBankName(dir.file("none.sf2"), &name), sw::fnfErr);

  std::filesystem::create_directories(dir.file("sub"));
  dir.write("sub/E.SF3", bank);
  dir.write("notes.txt", bank);
  auto banks = sw::findSoundBanks({dir.path(), dir.file("missing")});
  ASSERT_EQ(banks.size(), 5u);  // a-d, and E.SF3 below
  EXPECT_EQ(banks[0].path, dir.file("a.sf2"));
  EXPECT_EQ(banks[3].name, "d") << "no name of its own: the file name";
  EXPECT_EQ(banks[4].path, dir.file("sub/E.SF3"));
}

TEST(OfflineRender, WritesAWavFileThatIsNotSilentAndReplacesOnlyOnSuccess) {
  if (sw::defaultSoundBankPath().empty()) GTEST_SKIP() << "no SoundFont installed (apt-get install timgm6mb-soundfont)";
  swtest::MidiFileBuilder file(0, 480);
  file.track().tempo(0, 500000).program(0, 0, 0).noteOn(0, 0, 60, 110).noteOff(480, 0, 60).endOfTrack();
  auto sequence = swtest::sequenceFrom(file);
  swtest::TempDir dir;
  sw::RenderResult result;
  const sw::Error rendered = sw::renderSequenceToWav(sequence, dir.file("out.wav"), {}, &result);
  ASSERT_EQ(rendered.status, sw::noErr) << rendered.message;
  Bytes wav = swtest::TempDir::read(dir.file("out.wav"));
  ASSERT_GT(wav.size(), 44u);
  EXPECT_EQ(std::string(wav.begin(), wav.begin() + 4), "RIFF");
  EXPECT_EQ(wav.size() - 44, result.frames * 4);
  EXPECT_GE(result.seconds, 0.5);
  EXPECT_LT(result.seconds, 0.5 + 3.1);
  int peak = 0;
  for (size_t i = 44; i + 1 < wav.size(); i += 2) peak = std::max(peak, std::abs(int(int16_t(wav[i] | wav[i + 1] << 8))));
  EXPECT_GT(peak, 300);

  dir.write("keep.wav", {1, 2, 3});
  sw::RenderOptions bad;
  bad.bankPath = dir.file("notes.sf2");
  dir.write("notes.sf2", {'n', 'o'});
  const sw::Error refused = sw::renderSequenceToWav(sequence, dir.file("keep.wav"), bad, &result);
  EXPECT_NE(refused.status, sw::noErr);
  EXPECT_EQ(refused.path, bad.bankPath);
  EXPECT_EQ(swtest::TempDir::read(dir.file("keep.wav")), (Bytes{1, 2, 3}));
}

TEST(WavHeader, FieldsOfA16BitStereoFile) {
  std::string head = sw::WavWriter::header(44100, 2, sw::WavWriter::Format::PCM16, 1000);
  ASSERT_EQ(head.size(), 44u);
  auto le = [&](size_t at, int size) {
    uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i) value = value << 8 | uint8_t(head[at + size_t(i)]);
    return value;
  };
  EXPECT_EQ(head.substr(0, 4), "RIFF");
  EXPECT_EQ(le(4, 4), 1036u);
  EXPECT_EQ(head.substr(8, 8), "WAVEfmt ");
  EXPECT_EQ(le(20, 2), 1u);  // PCM
  EXPECT_EQ(le(22, 2), 2u);
  EXPECT_EQ(le(24, 4), 44100u);
  EXPECT_EQ(le(28, 4), 176400u);
  EXPECT_EQ(le(32, 2), 4u);
  EXPECT_EQ(le(34, 2), 16u);
  EXPECT_EQ(head.substr(36, 4), "data");
  EXPECT_EQ(le(40, 4), 1000u);
}

}  // namespace
