// The transport model that the browser and editor windows embed: play/stop, the position and
// time display values, the 16 level values of the channel meter, and one playing controller
// at a time. The front end draws these values and runs two timers while playing: one on
// whole seconds (secondsTimerFired, next interval from secondsTimerInterval) and the meter
// every 0.04 s (idle).
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "base/notification_center.h"
#include "playback/midi_filter.h"
#include "playback/scorewell_player.h"

namespace sw {

class MidiPlayerController {
 public:
  static constexpr const char* kPlayerNotification = "PlayerNotification";
  static constexpr const char* kStateKey = "state";
  static constexpr const char* kWillStart = "PlayerWillStart";
  static constexpr const char* kStopped = "PlayerStopped";
  // User-info key naming the posting controller (the notification's object).
  static constexpr const char* kSenderKey = "sender";
  static constexpr double kIdleInterval = 0.04;
  static constexpr double kSynthesizerIdleStop = 6.0;

  enum class ButtonImage { Play, Stop };  // "play_gray"/"play_blue", "stop_gray"/"stop_blue"

  // `output` is the shared MIDIFilter: the player's output, the source of the levels and the
  // receiver of the channel mask.
  explicit MidiPlayerController(std::shared_ptr<MIDIFilter> output, HostClock& clock = HostClock::system());
  ~MidiPlayerController();
  MidiPlayerController(const MidiPlayerController&) = delete;
  MidiPlayerController& operator=(const MidiPlayerController&) = delete;

  ScorewellPlayer& midiPlayer() { return player_; }
  const std::shared_ptr<MidiSequence>& eventList() const { return player_.eventList(); }
  void setEventList(std::shared_ptr<MidiSequence> sequence);
  bool isPlaying() const { return player_.isPlaying(); }
  double durationSecs() const { return player_.duration() / 1000.0; }

  // Moves to a tick and shows the time there.
  void setTime(uint32_t ticks);
  void preRoll() { player_.preroll(); }
  void start();
  void stop();
  void doTogglePlayState();
  // From the position slider.
  void doSetTime(double seconds);
  uint16_t filterChannelMask() const { return filterChannelMask_; }
  void setFilterChannelMask(uint16_t mask);

  // ---- Display
  // "01:15", "1:02:05".
  static std::string formatInterval(double seconds);
  void updateUI(double seconds);
  const std::string& timeText() const { return timeText_; }
  double sliderValue() const { return sliderValue_; }
  double sliderMaximum() const { return sliderMaximum_; }
  ButtonImage buttonImage() const { return buttonImage_; }

  // ---- Timers (the front end runs them while timersActive())
  bool timersActive() const { return timersActive_; }
  // Seconds until the next whole second of the song.
  double secondsTimerInterval() const;
  // Shows the time; at the end of the song stops. Returns whether the timer goes on.
  bool secondsTimerFired();
  // Decays and reads the 16 levels; true when a bar changed.
  bool idle();
  int16_t level(int channel) const { return cachedNoteVelocity_[size_t(channel & 15)]; }

  // Number of controllers playing in this process.
  static int playingCount() { return playing_.load(); }

 private:
  void sendPlayerNotification(const char* state);
  void playerNotification(const NotificationCenter::UserInfo& info);
  bool setLevel(int channel, int16_t value);

  std::shared_ptr<MIDIFilter> output_;
  HostClock& clock_;
  ScorewellPlayer player_;
  uint16_t filterChannelMask_ = 0;
  std::array<int16_t, 16> cachedNoteVelocity_{};
  std::string timeText_ = "00:00";
  double sliderValue_ = 0;
  double sliderMaximum_ = 0;
  ButtonImage buttonImage_ = ButtonImage::Play;
  bool timersActive_ = false;
  std::string id_;
  NotificationCenter::Token observer_ = 0;

  static std::atomic<int> playing_;
};

}  // namespace sw
