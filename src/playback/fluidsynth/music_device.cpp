#include "playback/fluidsynth/music_device.h"

#include <fluidsynth.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/log.h"
#include "playback/midi_messages.h"

namespace sw {

namespace {

constexpr int kBlockFrames = 64;
constexpr uint64_t kAudioRetryInterval = 2'000'000'000ull;  // between explicit starts after a failed open

// FluidSynth's messages: errors go to our log, except while audio drivers are probed, when
// they are collected and summarised in one line of our own.
thread_local std::string* gCapturedLog = nullptr;

void fluidLog(int level, const char* message, void*) {
  if (gCapturedLog) {
    if (!gCapturedLog->empty()) *gCapturedLog += "; ";
    *gCapturedLog += message ? message : "";
    return;
  }
  if (level <= FLUID_ERR) logMessage(std::string("fluidsynth: ") + (message ? message : ""));
}

void installLogFunctions() {
  static std::once_flag once;
  std::call_once(once, [] {
    fluid_set_log_function(FLUID_PANIC, fluidLog, nullptr);
    fluid_set_log_function(FLUID_ERR, fluidLog, nullptr);
    fluid_set_log_function(FLUID_WARN, fluidLog, nullptr);
    fluid_set_log_function(FLUID_INFO, fluidLog, nullptr);
    fluid_set_log_function(FLUID_DBG, fluidLog, nullptr);
  });
}

void collectOption(void* data, const char*, const char* option) {
  static_cast<std::vector<std::string>*>(data)->push_back(option);
}

// Drivers to try, in order: $SCOREWELL_AUDIO_DRIVER alone when set ("none" for no audio),
// otherwise the desktop sound servers, then ALSA, among those this FluidSynth offers.
std::vector<std::string> driverCandidates(fluid_settings_t* settings) {
  if (const char* chosen = std::getenv("SCOREWELL_AUDIO_DRIVER"); chosen && *chosen) {
    if (std::strcmp(chosen, "none") == 0) return {};
    return {chosen};
  }
  std::vector<std::string> available;
  fluid_settings_foreach_option(settings, "audio.driver", &available, collectOption);
  std::vector<std::string> result;
  for (const char* name : {"pipewire", "pulseaudio", "alsa", "sdl2", "oss"})
    if (std::find(available.begin(), available.end(), name) != available.end()) result.push_back(name);
  return result;
}

}  // namespace

std::shared_ptr<MusicDevice> MusicDevice::create(const Options& options) {
  std::shared_ptr<MusicDevice> device(new MusicDevice(options));
  if (!device->initialize()) return nullptr;
  return device;
}

MusicDevice::MusicDevice(const Options& options)
    : clock_(options.clock ? options.clock : &HostClock::system()),
      audioWanted_(options.audio),
      sampleRate_(options.sampleRate > 8000 ? options.sampleRate : 44100.0) {}

bool MusicDevice::initialize() {
  installLogFunctions();
  settings_ = new_fluid_settings();
  if (!settings_) return false;
  fluid_settings_setnum(settings_, "synth.sample-rate", sampleRate_);
  fluid_settings_setint(settings_, "synth.reverb.active", 1);
  fluid_settings_setint(settings_, "synth.chorus.active", 1);
  fluid_settings_setstr(settings_, "synth.midi-bank-select", "gs");
  int period = 64;
  if (fluid_settings_getint(settings_, "audio.period-size", &period) == FLUID_OK && period > 0)
    bufferFrameSize_ = uint32_t(period);
  synth_ = new_fluid_synth(settings_);
  if (!synth_) {
    delete_fluid_settings(settings_);
    settings_ = nullptr;
    return false;
  }
  if (!audioWanted_) audioStatus_ = "No audio output: the synthesizer renders offline";
  return true;
}

void MusicDevice::shutdown() {
  {
    std::lock_guard lock(timerMutex_);
    timerQuit_ = true;
    timerPending_ = false;
  }
  timerWake_.notify_all();
  if (timerThread_.joinable()) timerThread_.join();
  stopNow();
}

MusicDevice::~MusicDevice() {
  shutdown();
  if (synth_) delete_fluid_synth(synth_);
  if (settings_) delete_fluid_settings(settings_);
}

// ---- Sending

OSStatus MusicDevice::sendBytes(const uint8_t* bytes, int32_t size, uint64_t timeStamp) {
  if (!bytes || size <= 0) return -50;
  if (size == 3 && (bytes[0] & 0xF0) == 0x90 && !isGraphRunning()) startAudio(false);
  // Future messages wait for the block of audio they belong to, when audio is rendered.
  const bool queued = timeStamp > clock_->now() && (!audioWanted_ || isGraphRunning());
  std::lock_guard lock(queueMutex_);
  if (queued)
    pending_.emplace(timeStamp, std::vector<uint8_t>(bytes, bytes + size));
  else
    deliverNow(bytes, size_t(size));
  return 0;
}

void MusicDevice::deliverNow(const uint8_t* bytes, size_t size) {
  const uint8_t status = bytes[0];
  if (status < 0x80) return;  // data without a status byte
  if (status < 0xF0) {
    const int channel = status & 0x0F;
    const int data1 = size >= 2 ? bytes[1] & 0x7F : 0;
    const int data2 = size >= 3 ? bytes[2] & 0x7F : 0;
    switch (status & 0xF0) {
      case 0x80: fluid_synth_noteoff(synth_, channel, data1); break;
      case 0x90:
        if (data2)
          fluid_synth_noteon(synth_, channel, data1, data2);
        else
          fluid_synth_noteoff(synth_, channel, data1);
        break;
      case 0xA0: fluid_synth_key_pressure(synth_, channel, data1, data2); break;
      case 0xB0: fluid_synth_cc(synth_, channel, data1, data2); break;
      case 0xC0: fluid_synth_program_change(synth_, channel, data1); break;
      case 0xD0: fluid_synth_channel_pressure(synth_, channel, data1); break;
      case 0xE0: fluid_synth_pitch_bend(synth_, channel, data1 | (data2 << 7)); break;
    }
    return;
  }
  if (status == 0xF0 && size >= 2) {
    size_t length = size - 1;
    if (bytes[size - 1] == 0xF7) --length;
    if (length > 0) fluid_synth_sysex(synth_, reinterpret_cast<const char*>(bytes + 1), int(length), nullptr, nullptr,
                                      nullptr, 0);
  }
}

void MusicDevice::resetDevice(bool GM, bool GS, bool XG) {
  if (!GM && !GS && !XG) return;
  {
    std::lock_guard lock(queueMutex_);
    if (GM) deliverNow(midi::kGMSystemOn.data(), midi::kGMSystemOn.size());
    if (GS) deliverNow(midi::kGSReset.data(), midi::kGSReset.size());
    if (XG) deliverNow(midi::kXGSystemOn.data(), midi::kXGSystemOn.size());
  }
  afterSynthReset();
  clock_->sleepFor(40 * kNanosPerMilli);
}

void MusicDevice::allNotesOff(bool allSoundOff) {
  std::lock_guard lock(queueMutex_);
  // Notes still waiting in the queue would start after the silence.
  pending_.clear();
  for (int channel = 0; channel < 16; ++channel) {
    fluid_synth_cc(synth_, channel, midi::kAllNotesOff, 0);
    fluid_synth_cc(synth_, channel, midi::kSostenuto, 0);
    fluid_synth_cc(synth_, channel, midi::kSustain, 0);
    if (allSoundOff) fluid_synth_cc(synth_, channel, midi::kAllSoundOff, 0);
  }
}

void MusicDevice::sendMasterVolume(float volume) {
  auto message = midi::masterVolumeMessage(volume);
  std::lock_guard lock(queueMutex_);
  deliverNow(message.data(), message.size());
}

size_t MusicDevice::pendingMessageCount() const {
  std::lock_guard lock(queueMutex_);
  return pending_.size();
}

// ---- Rendering

void MusicDevice::dispatchDue(uint64_t hostTime) {
  std::lock_guard lock(queueMutex_);
  while (!pending_.empty() && pending_.begin()->first <= hostTime) {
    const std::vector<uint8_t>& message = pending_.begin()->second;
    deliverNow(message.data(), message.size());
    pending_.erase(pending_.begin());
  }
}

void MusicDevice::renderBlocks(float* left, float* right, int frames, uint64_t hostTime) {
  for (int done = 0; done < frames; done += kBlockFrames) {
    const int count = std::min(kBlockFrames, frames - done);
    dispatchDue(hostTime + uint64_t(double(done) * 1e9 / sampleRate_));
    fluid_synth_write_float(synth_, count, left, done, 1, right, done, 1);
  }
}

void MusicDevice::render(float* left, float* right, int frames, uint64_t hostTime) {
  if (!left || !right || frames <= 0) return;
  renderBlocks(left, right, frames, hostTime);
}

int MusicDevice::audioCallback(void* data, int len, int, float*[], int nout, float* out[]) {
  auto* self = static_cast<MusicDevice*>(data);
  self->deviceChannels_ = nout;
  if (nout < 1 || len <= 0) return FLUID_OK;
  const uint64_t now = self->clock_->now();
  const uint64_t pair = self->channelPair_;
  if (pair == 0 && nout >= 2) {
    self->renderBlocks(out[0], out[1], len, now);
    return FLUID_OK;
  }
  if (self->scratchLeft_.size() < size_t(len)) {
    self->scratchLeft_.resize(size_t(len));
    self->scratchRight_.resize(size_t(len));
  }
  std::fill_n(self->scratchLeft_.data(), len, 0.0f);
  std::fill_n(self->scratchRight_.data(), len, 0.0f);
  self->renderBlocks(self->scratchLeft_.data(), self->scratchRight_.data(), len, now);
  if (pair == 0) {  // a one-channel device
    for (int i = 0; i < len; ++i) out[0][i] = 0.5f * (self->scratchLeft_[size_t(i)] + self->scratchRight_[size_t(i)]);
    return FLUID_OK;
  }
  const uint64_t leftChannel = 2 * pair - 2, rightChannel = 2 * pair - 1;
  if (rightChannel < uint64_t(nout)) {
    std::copy_n(self->scratchLeft_.data(), len, out[leftChannel]);
    std::copy_n(self->scratchRight_.data(), len, out[rightChannel]);
  }
  return FLUID_OK;
}

// ---- Audio state

bool MusicDevice::isGraphRunning() const {
  std::lock_guard lock(audioMutex_);
  return driver_ != nullptr;
}

bool MusicDevice::hasAudioOutput() const {
  std::lock_guard lock(audioMutex_);
  return audioWanted_ && !audioFailed_;
}

std::string MusicDevice::audioStatus() const {
  std::lock_guard lock(audioMutex_);
  return audioStatus_;
}

std::string MusicDevice::audioDriverName() const {
  std::lock_guard lock(audioMutex_);
  return driverName_;
}

int MusicDevice::deviceChannelCount() const { return deviceChannels_; }

void MusicDevice::startAUGraph() { startAudio(true); }

void MusicDevice::startAudio(bool retryAfterFailure) {
  removeDeferredStopTimer();
  if (!audioWanted_) return;
  {
    std::lock_guard lock(audioMutex_);
    if (driver_) return;
    const uint64_t now = clock_->now();
    // Probing the drivers takes time: never from a note on the playback thread once it failed.
    if (audioFailed_ && (!retryAfterFailure || now - audioFailedAt_ < kAudioRetryInterval)) return;
    std::vector<std::string> candidates = driverCandidates(settings_);
    std::string errors;
    for (const std::string& name : candidates) {
      fluid_settings_setstr(settings_, "audio.driver", name.c_str());
      std::string captured;
      gCapturedLog = &captured;
      fluid_audio_driver_t* driver = new_fluid_audio_driver2(settings_, audioCallback, this);
      gCapturedLog = nullptr;
      if (driver) {
        driver_ = driver;
        driverName_ = name;
        const bool wasFailed = audioFailed_;
        audioFailed_ = false;
        audioStatus_ = "Audio output through " + name;
        if (wasFailed) logMessage(audioStatus_);
        break;
      }
      errors += (errors.empty() ? "" : ", ") + name;
    }
    if (!driver_) {
      const bool first = !audioFailed_;
      audioFailed_ = true;
      audioFailedAt_ = now;
      audioStatus_ = candidates.empty()
                         ? std::string("No audio output: audio is switched off; the synthesizer runs silently")
                         : "No audio output: no sound device could be opened (tried " + errors +
                               "); the synthesizer runs silently";
      if (first) logMessage(audioStatus_);
      return;
    }
  }
  clock_->sleepFor(20 * kNanosPerMilli);
}

void MusicDevice::stopNow() {
  fluid_audio_driver_t* driver;
  {
    std::lock_guard lock(audioMutex_);
    driver = driver_;
    driver_ = nullptr;
  }
  if (driver) delete_fluid_audio_driver(driver);  // waits for the audio thread
  std::lock_guard lock(queueMutex_);
  pending_.clear();
}

void MusicDevice::stopAUGraph(double delaySeconds) {
  if (!isGraphRunning()) return;
  removeDeferredStopTimer();
  if (!(delaySeconds > 0)) {
    deferredStopTimer();
    return;
  }
  std::lock_guard lock(timerMutex_);
  if (timerQuit_) return;
  timerPending_ = true;
  timerDeadline_ = clock_->now() + uint64_t(std::min(delaySeconds, 86400.0) * 1e9);
  if (!timerThread_.joinable()) timerThread_ = std::thread(&MusicDevice::timerLoop, this);
  timerWake_.notify_all();
}

void MusicDevice::timerLoop() {
  std::unique_lock lock(timerMutex_);
  while (!timerQuit_) {
    if (!timerPending_) {
      timerWake_.wait(lock);
      continue;
    }
    const uint64_t now = clock_->now();
    if (now < timerDeadline_) {
      // Waits in steps of at most 50 ms so a clock of our own (tests) is followed too.
      uint64_t wait = std::min<uint64_t>(timerDeadline_ - now, 50 * kNanosPerMilli);
      timerWake_.wait_for(lock, std::chrono::nanoseconds(wait));
      continue;
    }
    timerPending_ = false;
    lock.unlock();
    deferredStopTimer();
    lock.lock();
  }
}

void MusicDevice::deferredStopTimer() {
  {
    std::lock_guard lock(timerMutex_);
    timerPending_ = false;
  }
  if (!isGraphRunning()) return;
  allNotesOff(true);
  stopNow();
}

void MusicDevice::removeDeferredStopTimer() {
  std::lock_guard lock(timerMutex_);
  timerPending_ = false;
}

bool MusicDevice::hasDeferredStop() const {
  std::lock_guard lock(timerMutex_);
  return timerPending_;
}

void MusicDevice::rebuildAUGraph() {
  const bool wasRunning = isGraphRunning();
  stopNow();
  if (!wasRunning) return;
  startAUGraph();
  if (!isGraphRunning()) {
    char line[64];
    std::snprintf(line, sizeof line, "rebuildAUGraph err: %d", -1);
    logMessage(line);
  }
}

void MusicDevice::printAUParameters() const {
  for (const char* name : {"synth.gain", "synth.reverb.room-size", "synth.reverb.damp", "synth.reverb.width",
                           "synth.reverb.level", "synth.chorus.level"}) {
    double min = 0, max = 0, def = 0;
    fluid_settings_getnum_range(settings_, name, &min, &max);
    fluid_settings_getnum_default(settings_, name, &def);
    char line[160];
    std::snprintf(line, sizeof line, "%s min %.f max %.f default %.f", name, min, max, def);
    logMessage(line);
  }
}

// ---- Output channels

std::vector<int> outputChannelMap(int deviceChannels, uint64_t pair) {
  std::vector<int> map(size_t(std::max(0, deviceChannels)), -1);
  if (pair >= 1 && 2 * pair <= uint64_t(map.size())) {
    map[size_t(2 * pair - 2)] = 0;
    map[size_t(2 * pair - 1)] = 1;
  }
  return map;
}

std::vector<std::string> outputChannelMenuTitles(int deviceChannels, uint64_t pair) {
  std::vector<std::string> titles{"L-R"};
  const uint64_t limit = std::max<uint64_t>(uint64_t(std::max(0, deviceChannels)), 2 * std::min<uint64_t>(pair, 512));
  for (uint64_t first = 1; first + 1 <= limit; first += 2) {
    char title[48];
    std::snprintf(title, sizeof title, "%llu-%llu", (unsigned long long)first, (unsigned long long)(first + 1));
    titles.push_back(title);
  }
  return titles;
}

}  // namespace sw
