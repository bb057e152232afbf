#include "transport/transport_bar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QSlider>
#include <QStyle>
#include <QTimer>
#include <QToolButton>

#include <chrono>
#include <cmath>

#include "playback/midi_client.h"
#include "transport/levels_view.h"

namespace swapp {

namespace {

std::shared_ptr<sw::MIDIFilter>& outputOverride() {
  static std::shared_ptr<sw::MIDIFilter> output;
  return output;
}

qint64 nowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

constexpr int kPollIntervalMs = 33;

}  // namespace

std::shared_ptr<sw::MIDIFilter> TransportBar::sharedOutput() {
  if (outputOverride()) return outputOverride();
  return sw::MIDIClient::sharedMIDIClient().midiOutput();
}

void TransportBar::setSharedOutput(std::shared_ptr<sw::MIDIFilter> output) { outputOverride() = std::move(output); }

TransportBar::TransportBar(QWidget* parent)
    : QWidget(parent), controller_(std::make_unique<sw::MidiPlayerController>(sharedOutput())) {
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(6, 3, 6, 3);
  playButton_ = new QToolButton(this);
  playButton_->setToolTip(tr("Play or stop (Space)"));
  playButton_->setFocusPolicy(Qt::NoFocus);
  connect(playButton_, &QToolButton::clicked, this, [this] { togglePlay(); });
  timeLabel_ = new QLabel(this);
  timeLabel_->setMinimumWidth(timeLabel_->fontMetrics().horizontalAdvance(QStringLiteral("00:00:00")));
  slider_ = new QSlider(Qt::Horizontal, this);
  slider_->setFocusPolicy(Qt::NoFocus);
  // Dragging, clicks on the groove and keys move the player; the program's own updates do not.
  connect(slider_, &QSlider::sliderPressed, this, [this] { sliderHeld_ = true; });
  connect(slider_, &QSlider::sliderReleased, this, [this] { sliderHeld_ = false; });
  connect(slider_, &QSlider::sliderMoved, this, &TransportBar::seek);
  connect(slider_, &QSlider::actionTriggered, this, [this](int action) {
    if (action != QAbstractSlider::SliderMove) seek(slider_->sliderPosition());
  });
  levels_ = new LevelsView(this);
  levels_->setFixedWidth(160);
  layout->addWidget(playButton_);
  layout->addWidget(timeLabel_);
  layout->addWidget(slider_, 1);
  layout->addWidget(levels_);
  timer_ = new QTimer(this);
  timer_->setInterval(kPollIntervalMs);
  connect(timer_, &QTimer::timeout, this, &TransportBar::poll);
  showState();
}

TransportBar::~TransportBar() {
  timer_->stop();
  controller_->stop();
}

void TransportBar::setSequence(std::shared_ptr<sw::MidiSequence> sequence) {
  controller_->setEventList(std::move(sequence));
  poll();
  showState();
}

uint32_t TransportBar::ticks() const {
  const int32_t ticks = controller_->midiPlayer().ticks();
  return ticks < 0 ? 0 : uint32_t(ticks);
}

QString TransportBar::timeText() const { return QString::fromStdString(controller_->timeText()); }

void TransportBar::seek(int milliseconds) {
  if (!controller_->eventList()) return;
  controller_->doSetTime(milliseconds / 1000.0);
  nextSecond_ = nowMs() + qint64(controller_->secondsTimerInterval() * 1000);
  showState();
  emit positionChanged(ticks());
}

void TransportBar::togglePlay(std::optional<uint32_t> fromTicks) {
  if (controller_->isPlaying()) {
    stop();
    return;
  }
  if (!controller_->eventList()) return;
  if (fromTicks) controller_->setTime(*fromTicks);
  play();
}

void TransportBar::play() {
  if (!controller_->eventList() || controller_->isPlaying()) return;
  controller_->start();
  if (!controller_->isPlaying()) return;
  nextSecond_ = nowMs() + qint64(controller_->secondsTimerInterval() * 1000);
  timer_->start();
  wasPlaying_ = true;
  showState();
  emit playStateChanged(true);
}

void TransportBar::stop() {
  controller_->stop();
  poll();
}

void TransportBar::poll() {
  if (controller_->isPlaying()) {
    if (controller_->timersActive()) {
      controller_->idle();
      if (nowMs() >= nextSecond_) {
        controller_->secondsTimerFired();
        nextSecond_ = nowMs() + qint64(controller_->secondsTimerInterval() * 1000);
      }
    }
    for (int channel = 0; channel < 16; ++channel) levels_->setValue(controller_->level(channel), channel);
    showState();
    emit positionChanged(ticks());
  }
  if (!controller_->isPlaying() && wasPlaying_) {
    // Stopped here, at the end of the song, or by another transport that started.
    wasPlaying_ = false;
    timer_->stop();
    for (int channel = 0; channel < 16; ++channel) levels_->setValue(0, channel);
    showState();
    emit positionChanged(ticks());
    emit playStateChanged(false);
  }
}

void TransportBar::showState() {
  const bool playing = controller_->isPlaying();
  playButton_->setIcon(style()->standardIcon(playing ? QStyle::SP_MediaStop : QStyle::SP_MediaPlay));
  playButton_->setEnabled(bool(controller_->eventList()));
  const double seconds = controller_->midiPlayer().time() / 1000.0;
  timeLabel_->setText(QString::fromStdString(sw::MidiPlayerController::formatInterval(seconds)));
  slider_->setMaximum(int(std::lround(controller_->durationSecs() * 1000)));
  if (!slider_->isSliderDown() && !sliderHeld_) slider_->setValue(int(controller_->midiPlayer().time()));
}

}  // namespace swapp
