// The transport of an editor window: play/stop, the time, the position slider and the channel
// meter over one player controller. A 30 Hz timer on the main thread reads the player's state,
// so the playback thread never touches a widget.
#pragma once

#include <QWidget>

#include <cstdint>
#include <memory>
#include <optional>

#include "playback/midi_filter.h"
#include "playback/midi_player_controller.h"

class QLabel;
class QSlider;
class QTimer;
class QToolButton;

namespace swapp {

class LevelsView;

class TransportBar : public QWidget {
  Q_OBJECT
 public:
  // The output every transport plays through: the MIDI client's shared output unless another
  // one was set (the tests give a recording output).
  static std::shared_ptr<sw::MIDIFilter> sharedOutput();
  static void setSharedOutput(std::shared_ptr<sw::MIDIFilter> output);

  explicit TransportBar(QWidget* parent = nullptr);
  ~TransportBar() override;

  // Stops, then plays this sequence from now on (none: nothing to play).
  void setSequence(std::shared_ptr<sw::MidiSequence> sequence);
  sw::MidiPlayerController& controller() { return *controller_; }
  bool isPlaying() const { return controller_->isPlaying(); }
  // The last tick the player processed (0 before any).
  uint32_t ticks() const;
  QString timeText() const;

 public slots:
  // Plays (from `fromTicks` when given and stopped) or stops.
  void togglePlay(std::optional<uint32_t> fromTicks = std::nullopt);
  void play();
  void stop();
  // Moves the player (playing or not) to a time of the song, as the slider does.
  void seek(int milliseconds);
  // Reads the player's state now (the timer does it 30 times a second).
  void poll();

 signals:
  void playStateChanged(bool playing);
  // While playing, on every poll; and after a stop or a move.
  void positionChanged(uint32_t ticks);

 private:
  void showState();

  std::unique_ptr<sw::MidiPlayerController> controller_;
  QToolButton* playButton_ = nullptr;
  QLabel* timeLabel_ = nullptr;
  QSlider* slider_ = nullptr;
  LevelsView* levels_ = nullptr;
  QTimer* timer_ = nullptr;
  qint64 nextSecond_ = 0;  // ms on the monotonic clock when the seconds timer fires next
  bool wasPlaying_ = false;
  bool sliderHeld_ = false;
};

}  // namespace swapp
