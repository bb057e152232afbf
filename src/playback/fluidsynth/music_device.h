// MusicDevice: the built-in software synthesizer (FluidSynth) behind the MidiOutput
// contract. Timestamped messages wait in a queue and are applied, 64 frames at a time, while
// audio is rendered, so the synthesizer does the fine timing; messages for now are applied
// at once. Audio goes out through FluidSynth's audio drivers and runs only while needed:
// the first note-on starts it and stopAUGraph stops it, at once or a few seconds later.
// With no sound device the synthesizer still takes every message, and says once that there
// is no audio output. Offline, render() produces the audio for a stretch of host time.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "playback/host_clock.h"
#include "playback/midi_output.h"

typedef struct _fluid_hashtable_t fluid_settings_t;
typedef struct _fluid_synth_t fluid_synth_t;
typedef struct _fluid_audio_driver_t fluid_audio_driver_t;

namespace sw {

class MusicDevice : public MidiOutput {
 public:
  struct Options {
    bool audio = true;  // false: never open an audio driver (offline rendering, tests)
    double sampleRate = 44100.0;
    HostClock* clock = &HostClock::system();
  };

  // Nothing when the synthesizer cannot be created.
  static std::shared_ptr<MusicDevice> create(const Options& options);
  static std::shared_ptr<MusicDevice> create() { return create(Options{}); }
  ~MusicDevice() override;

  OSStatus sendBytes(const uint8_t* bytes, int32_t size, uint64_t timeStamp) override;
  using MidiOutput::sendBytes;
  void resetDevice(bool GM, bool GS, bool XG) override;
  void allNotesOff(bool allSoundOff) override;
  void sendMasterVolume(float volume) override;
  MusicDevice* musicDevice() override { return this; }

  // ---- Audio ("graph") state
  void startAUGraph();
  // With a delay of 0 or less stops now, otherwise once after `delay` seconds.
  void stopAUGraph(double delaySeconds);
  void deferredStopTimer();
  void removeDeferredStopTimer();
  bool hasDeferredStop() const;
  bool isGraphRunning() const;
  // Stops and restarts the audio output, as after a device change.
  void rebuildAUGraph();
  // False once opening an audio device has failed; see audioStatus().
  bool hasAudioOutput() const;
  std::string audioStatus() const;
  std::string audioDriverName() const;
  // Output channels the audio device offered at the last callback (2 until one ran).
  int deviceChannelCount() const;

  double sampleRate() const { return sampleRate_; }
  uint32_t bufferFrameSize() const { return bufferFrameSize_; }
  void printAUParameters() const;

  // Offline: applies every queued message due by each 64-frame block and renders `frames`
  // frames beginning at host time `hostTime`. Not for use while an audio driver runs.
  void render(float* left, float* right, int frames, uint64_t hostTime);
  size_t pendingMessageCount() const;

 protected:
  explicit MusicDevice(const Options& options);
  bool initialize();
  fluid_synth_t* synth() const { return synth_; }
  fluid_settings_t* settings() const { return settings_; }
  HostClock& clock() const { return *clock_; }
  // Hands one message to FluidSynth now.
  void deliverNow(const uint8_t* bytes, size_t size);
  // The output channel pair: 0 = the device's first two channels, n = channels 2n-1, 2n.
  uint64_t outputChannelPair() const { return channelPair_; }
  void setOutputChannelPair(uint64_t pair) { channelPair_ = pair; }
  // Applied after FluidSynth's own state was reset (tuning lives on the channels).
  virtual void afterSynthReset() {}
  // Stops the timer and the audio; every destructor in the hierarchy calls it first.
  void shutdown();

 private:
  void startAudio(bool retryAfterFailure);
  static int audioCallback(void* data, int len, int nfx, float* fx[], int nout, float* out[]);
  void renderBlocks(float* left, float* right, int frames, uint64_t hostTime);
  void dispatchDue(uint64_t hostTime);
  void stopNow();
  void timerLoop();

  HostClock* clock_;
  bool audioWanted_;
  double sampleRate_;
  uint32_t bufferFrameSize_ = 64;
  fluid_settings_t* settings_ = nullptr;
  fluid_synth_t* synth_ = nullptr;

  mutable std::mutex audioMutex_;  // driver state
  fluid_audio_driver_t* driver_ = nullptr;
  std::string driverName_;
  std::string audioStatus_;
  bool audioFailed_ = false;
  uint64_t audioFailedAt_ = 0;
  std::atomic<int> deviceChannels_{2};
  std::atomic<uint64_t> channelPair_{0};
  std::vector<float> scratchLeft_, scratchRight_;

  mutable std::mutex queueMutex_;  // pending messages, keyed by host time (stable for equal times)
  std::multimap<uint64_t, std::vector<uint8_t>> pending_;

  mutable std::mutex timerMutex_;
  std::condition_variable timerWake_;
  std::thread timerThread_;
  bool timerPending_ = false;
  bool timerQuit_ = false;
  uint64_t timerDeadline_ = 0;
};

// Channel map of a device with `deviceChannels` outputs for channel pair `pair` (>= 1):
// entries -1 (not connected), except 2n-2 and 2n-1 mapped to synthesizer outputs 0 and 1
// when both exist.
std::vector<int> outputChannelMap(int deviceChannels, uint64_t pair);
// The output-channel menu: "L-R", then "1-2", "3-4" ... up to the larger of the device's
// channel count and twice the current pair.
std::vector<std::string> outputChannelMenuTitles(int deviceChannels, uint64_t pair);

}  // namespace sw
