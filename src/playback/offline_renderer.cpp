#include "playback/offline_renderer.h"

#include <cmath>
#include <vector>

#include "playback/fluidsynth/dls_music_device.h"
#include "playback/fluidsynth/sound_bank.h"
#include "playback/midi_filter.h"
#include "playback/scorewell_player.h"

namespace sw {

namespace {

// A sync source that the renderer drives by hand.
class SteppedSync : public SyncSource {
 public:
  void setSyncProc(SyncProc proc, MidiPlayer*) override { proc_ = std::move(proc); }
  void step(uint64_t timeStamp, double from, double range) {
    if (proc_) proc_(timeStamp, from, range);
  }

 private:
  SyncProc proc_;
};

}  // namespace

Error renderSequenceToWav(std::shared_ptr<MidiSequence> sequence, const std::string& outputPath,
                          const RenderOptions& options, RenderResult* result) {
  RenderResult local;
  RenderResult& out = result ? *result : local;
  if (!sequence || options.sampleRate < 8000 || options.sampleRate > 192000) {
    return Error{paramErr, "", "bad render parameters"};
  }
  const std::string bank = options.bankPath.empty() ? defaultSoundBankPath() : options.bankPath;
  if (bank.empty()) {
    return Error{fnfErr, "", "no SoundFont found: install timgm6mb-soundfont or give --bank"};
  }

  ManualClock clock;
  MusicDevice::Options deviceOptions;
  deviceOptions.audio = false;
  deviceOptions.sampleRate = options.sampleRate;
  deviceOptions.clock = &clock;
  std::shared_ptr<DLSMusicDevice> device = DLSMusicDevice::createWithSettings(nullptr, deviceOptions);
  if (!device) {
    return Error{memFullErr, "", "the synthesizer could not be created"};
  }
  if (device->bankPath() != bank) {
    if (OSStatus status = device->setBankPath(bank); status != noErr)
      return Error{status, bank, "not a usable SoundFont"};
  }
  out.bankPath = bank;

  auto filter = std::make_shared<MIDIFilter>(nullptr, 0, device, clock);
  ScorewellPlayer player(filter, clock);
  SteppedSync sync;
  player.setEventList(sequence);
  player.setChaseEvents(true);
  player.setPitch(options.transpose * 100.0);
  filter->setFilterChannelMask(options.muteMask);
  player.setSyncSource(&sync, true);
  player.setTicks(options.startTicks);
  player.preroll();

  WavWriter writer;
  if (OSStatus status = writer.open(outputPath, options.sampleRate, 2, options.format); status != noErr)
    return Error{status, outputPath, "cannot create the file"};

  const double window = MidiPlayer::kWindowMicroseconds;
  double songPosition;
  double endPosition;
  {
    std::lock_guard lock(sequence->lock());
    songPosition = sequence->microSecondsAtTicks(int32_t(std::min<uint32_t>(options.startTicks, INT32_MAX)));
    endPosition = sequence->microSecondsAtTicks(int32_t(std::min<uint32_t>(sequence->duration(), INT32_MAX)));
  }
  player.play(0);

  const double framesPerWindow = window * 1e-6 * options.sampleRate;
  std::vector<float> left(size_t(framesPerWindow) + 2), right(size_t(framesPerWindow) + 2);
  const double tailLimit = std::isfinite(options.maxTailSeconds) ? std::clamp(options.maxTailSeconds, 0.0, 60.0) : 3.0;
  double framePosition = 0;  // fractional frames rendered so far
  double tail = 0;
  double quiet = 0;
  OSStatus status = noErr;
  for (uint64_t windowIndex = 0;; ++windowIndex) {
    const bool inSong = songPosition < endPosition;
    if (!inSong) {
      // After the song: until the sound has been quiet for 0.2 s, or the tail limit.
      if (tail >= tailLimit || quiet >= 0.2) break;
      tail += window * 1e-6;
    }
    const uint64_t now = clock.now();
    // No lead: the window's events fall into the audio rendered right after them.
    if (inSong) sync.step(now, songPosition, window);
    const double nextPosition = framePosition + framesPerWindow;
    const int frames = int(std::llround(nextPosition) - std::llround(framePosition));
    std::fill(left.begin(), left.end(), 0.0f);
    std::fill(right.begin(), right.end(), 0.0f);
    device->render(left.data(), right.data(), frames, now);
    float peak = 0;
    for (int i = 0; i < frames; ++i) peak = std::max({peak, std::fabs(left[size_t(i)]), std::fabs(right[size_t(i)])});
    quiet = !inSong && peak < 1e-4f ? quiet + window * 1e-6 : 0;
    if ((status = writer.writeStereo(left.data(), right.data(), size_t(frames))) != noErr) break;
    framePosition = nextPosition;
    songPosition += window;
    clock.advance(uint64_t(window * double(kNanosPerMicro)));
    if (options.progress && inSong) options.progress(songPosition / 1e6, endPosition / 1e6);
  }
  player.setSyncSource(nullptr, false);
  player.stop();
  if (status != noErr) {
    writer.abandon();
    return Error{status, outputPath, "cannot write the file"};
  }
  out.frames = writer.framesWritten();
  out.seconds = double(out.frames) / options.sampleRate;
  if ((status = writer.finish()) != noErr) return Error{status, outputPath, "cannot write the file"};
  return {};
}

}  // namespace sw
