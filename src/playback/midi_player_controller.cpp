#include "playback/midi_player_controller.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "playback/fluidsynth/music_device.h"

namespace sw {

std::atomic<int> MidiPlayerController::playing_{0};

MidiPlayerController::MidiPlayerController(std::shared_ptr<MIDIFilter> output, HostClock& clock)
    : output_(std::move(output)), clock_(clock), player_(output_, clock) {
  player_.setChaseEvents(true);
  char id[32];
  std::snprintf(id, sizeof id, "%p", static_cast<void*>(this));
  id_ = id;
  observer_ = NotificationCenter::shared().addObserver(
      kPlayerNotification, [this](const std::string&, const NotificationCenter::UserInfo& info) { playerNotification(info); });
}

MidiPlayerController::~MidiPlayerController() {
  stop();
  NotificationCenter::shared().removeObserver(observer_);
}

void MidiPlayerController::setEventList(std::shared_ptr<MidiSequence> sequence) {
  stop();
  player_.setEventList(std::move(sequence));
  setTime(0);
  sliderMaximum_ = durationSecs();
}

void MidiPlayerController::setTime(uint32_t ticks) {
  player_.setTicks(ticks);
  player_.preroll();
  updateUI(player_.time() / 1000.0);
}

void MidiPlayerController::doSetTime(double seconds) {
  if (!std::isfinite(seconds) || seconds < 0) seconds = 0;
  player_.setTime(uint32_t(std::min(seconds * 1000.0, 4294967295.0)));
  updateUI(player_.time() / 1000.0);
  if (timersActive_) secondsTimerFired();
}

void MidiPlayerController::doTogglePlayState() {
  if (player_.isPlaying())
    stop();
  else
    start();
}

void MidiPlayerController::start() {
  const bool wasPlaying = player_.isPlaying();
  if (!wasPlaying) ++playing_;
  sendPlayerNotification(kWillStart);
  if (MusicDevice* device = output_->musicDevice()) device->startAUGraph();
  output_->setFilterChannelMask(filterChannelMask_);
  if (player_.time() / 1000.0 >= durationSecs()) setTime(0);
  if (player_.play(0) == 0) {
    if (!wasPlaying && !player_.isPlaying()) {
      // Nothing to play (an empty sequence): the count must not stay raised.
      --playing_;
      return;
    }
    updateUI(player_.time() / 1000.0);
    timersActive_ = true;
    buttonImage_ = ButtonImage::Stop;
  }
}

void MidiPlayerController::stop() {
  timersActive_ = false;
  if (player_.isPlaying()) {
    --playing_;
    player_.stop();
    sendPlayerNotification(kStopped);
  }
  for (int channel = 0; channel < 16; ++channel) setLevel(channel, 0);
}

void MidiPlayerController::setFilterChannelMask(uint16_t mask) {
  filterChannelMask_ = mask;
  if (player_.isPlaying()) output_->setFilterChannelMask(mask);
}

// ---- Notifications

void MidiPlayerController::sendPlayerNotification(const char* state) {
  NotificationCenter::shared().post(kPlayerNotification, {{kStateKey, state}, {kSenderKey, id_}});
}

void MidiPlayerController::playerNotification(const NotificationCenter::UserInfo& info) {
  auto state = info.find(kStateKey);
  auto sender = info.find(kSenderKey);
  const bool fromMe = sender != info.end() && sender->second == id_;
  if (state != info.end()) {
    if (state->second == kWillStart && !fromMe && player_.isPlaying()) stop();
    if (state->second == kStopped && fromMe) buttonImage_ = ButtonImage::Play;
  }
  if (playing_ == 0)
    if (MusicDevice* device = output_->musicDevice()) device->stopAUGraph(kSynthesizerIdleStop);
}

// ---- Display and timers

std::string MidiPlayerController::formatInterval(double seconds) {
  if (!std::isfinite(seconds) || seconds < 0) seconds = 0;
  const auto total = static_cast<long long>(std::min(seconds, 1e12));
  char text[48];
  if (total >= 3600)
    std::snprintf(text, sizeof text, "%lld:%.2lld:%.2lld", total / 3600, total % 3600 / 60, total % 60);
  else
    std::snprintf(text, sizeof text, "%.2lld:%.2lld", total / 60, total % 60);
  return text;
}

void MidiPlayerController::updateUI(double seconds) {
  timeText_ = formatInterval(seconds);
  sliderValue_ = seconds;
}

double MidiPlayerController::secondsTimerInterval() const {
  const double t = player_.time() / 1000.0;
  return std::floor(t) + 1.0 - t;
}

bool MidiPlayerController::secondsTimerFired() {
  const double t = player_.time() / 1000.0;
  updateUI(t);
  if (t < durationSecs()) return true;
  stop();  // the end of the song
  return false;
}

bool MidiPlayerController::setLevel(int channel, int16_t value) {
  int16_t& cached = cachedNoteVelocity_[size_t(channel & 15)];
  if (cached == value) return false;
  cached = value;
  return true;
}

bool MidiPlayerController::idle() {
  bool redrawn = false;
  const uint32_t now = systemTicks(clock_);
  for (int channel = 0; channel < 16; ++channel) {
    int level = output_->noteVelocity(channel);
    if (level > 0) {
      const uint32_t stamp = output_->noteTicks(channel);
      const int32_t elapsed = int32_t(now - stamp);
      if (elapsed > 0) {
        const int step = output_->playingNotes(channel) > 0 ? 3 : 9;
        level -= int(std::min<int64_t>(level, int64_t(elapsed) * step));
        output_->setNoteVelocity(channel, uint8_t(level), now);
      }
    }
    redrawn |= setLevel(channel, int16_t(level));
  }
  return redrawn;
}

}  // namespace sw
