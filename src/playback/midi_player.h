// Plays one MidiSequence in real time to a MidiOutput. A playback thread hands the output,
// every 40 ms, all events of the next 40 ms window with timestamps 40 ms ahead, so the
// output does the fine timing. An external sync source can drive the same window routine
// instead (slave mode).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "base/status.h"
#include "playback/host_clock.h"
#include "playback/midi_output.h"
#include "smf/midi_sequence.h"

namespace sw {

class MidiPlayer;

// The callback a sync source calls for each window: host timestamp (0 = now + lead), window
// start in song microseconds, window length in microseconds.
using SyncProc = std::function<void(uint64_t timeStamp, double fromMicroseconds, double rangeMicroseconds)>;

// An external clock that drives a player. It receives the callback (or none to detach).
class SyncSource {
 public:
  virtual ~SyncSource() = default;
  virtual void setSyncProc(SyncProc proc, MidiPlayer* player) = 0;
};

class MidiPlayer {
 public:
  static constexpr double kWindowMicroseconds = 40000.0;
  static constexpr uint64_t kDefaultHostTimeDelay = 40 * kNanosPerMilli;

  explicit MidiPlayer(std::shared_ptr<MidiOutput> output, HostClock& clock = HostClock::system());
  MidiPlayer(const MidiPlayer&) = delete;
  MidiPlayer& operator=(const MidiPlayer&) = delete;
  virtual ~MidiPlayer();

  // ---- Sequence
  void setEventList(std::shared_ptr<MidiSequence> sequence);
  const std::shared_ptr<MidiSequence>& eventList() const { return eventList_; }
  // Loads with the player's load flags; 0 on success. The tempo argument is not used.
  OSStatus loadFile(const std::string& path, double bpm = 0);
  void cleanup();
  const std::string& filename() const { return filename_; }
  void setFilename(std::string name) { filename_ = std::move(name); }

  // ---- Transport
  // Starts at host time `hostTime` (0 = now). Always 0.
  OSStatus play(uint64_t hostTime = 0);
  void stop();
  void preroll();
  bool isPlaying() const { return isPlaying_.load(); }
  bool isSlave() const { return isSlave_.load(); }
  bool isPlayingThreadRunning() const { return threadRunning_.load(); }

  // ---- Position
  void setTicks(uint32_t ticks);
  // The last processed tick; -1 before the first tick of a window that began at 0.
  int32_t ticks() const { return ticks_.load(); }
  void setTime(uint32_t milliseconds);
  uint32_t time() const;  // ms
  uint32_t duration() const;  // ms
  uint32_t durationTicks() const;
  bool isDone() const;
  MeasureRec getMeasure() const;
  uint8_t signatureNum() const;
  uint8_t signatureDenom() const;
  double tempo() const { return tempo_.load(); }
  uint32_t firstNoteDelay() const { return firstNoteDelay_; }

  // ---- Parameters
  double pitch() const { return pitch_.load() * 100.0; }  // cents
  void setPitch(double cents);
  float rate() const { return rate_.load(); }
  void setRate(float rate);
  float volume() const { return volume_; }
  void setVolume(float volume);
  bool startFromFirstNote() const { return isSlave() ? false : startFromFirstNote_; }
  void setStartFromFirstNote(bool value) { startFromFirstNote_ = value; }
  int32_t startFromFirstNoteDelay() const { return startFromFirstNoteDelay_; }
  void setStartFromFirstNoteDelay(int32_t milliseconds) { startFromFirstNoteDelay_ = milliseconds; }
  bool chaseEvents() const { return chaseEvents_; }
  void setChaseEvents(bool value) { chaseEvents_ = value; }
  uint64_t hostTimeDelay() const { return hostTimeDelay_; }
  const std::shared_ptr<MidiOutput>& output() const { return output_; }
  HostClock& clock() const { return clock_; }

  // ---- Slave mode
  void setSyncSource(SyncSource* source, bool receiveSync);

  // ---- Window and event primitives
  void processEventsFromTime(double fromMicroseconds, double rangeMicroseconds, uint64_t timeStamp);
  virtual void processEventsAtTicks(int32_t ticks, uint64_t timeStamp);
  void processEvent(const MidiEvent& event, uint64_t timeStamp);
  void transposedNoteSend(const MidiEvent& event, uint64_t timeStamp);
  void sysexSend(const MidiEvent& event, uint64_t timeStamp);
  void chaseEventsBeforeTicks(uint32_t ticks);
  // The index of the first event at or after `ticks` (at most count - 1), with the tempo
  // and signature in effect there; the event through `event` when asked.
  int initGlobalsAtTicks(uint32_t ticks, const MidiEvent** event);

 protected:
  // Held around every walk over the sequence's events and maps; the base player takes no
  // lock, ScorewellPlayer takes the sequence's own.
  virtual std::unique_lock<std::recursive_mutex> guardSequence() const { return {}; }

 private:
  void playThread(uint64_t hostTime);
  void joinFinishedThread();
  void allNotesOffFromDefaults();
  uint64_t microsToHost(double microseconds) const;

  std::shared_ptr<MidiOutput> output_;
  HostClock& clock_;
  std::shared_ptr<MidiSequence> eventList_;
  std::string filename_;

  std::atomic<int16_t> pitch_{0};
  std::atomic<TimeSignatureRec> curSignature_{TimeSignatureRec{}};
  std::atomic<double> tempo_{120.0};
  std::atomic<double> microSecondsPerTicks_{0};
  std::atomic<bool> threadRunning_{false};
  std::atomic<bool> threadCancelling_{false};
  bool needsChaseEvents_ = false;
  bool needsReset_ = false;
  uint32_t firstNoteDelay_ = 0;
  std::optional<uint64_t> prerollDate_;  // host time
  std::atomic<uint64_t> curSyncTime_{0};
  uint64_t hostTimeDelay_ = kDefaultHostTimeDelay;
  std::atomic<double> curStartUSecs_{0};
  std::atomic<uint32_t> requestedSongPosition_{0};
  bool startFromFirstNote_ = false;
  int32_t startFromFirstNoteDelay_ = 0;
  bool chaseEvents_ = false;
  std::atomic<bool> isPlaying_{false};
  std::atomic<bool> isSlave_{false};
  std::atomic<float> rate_{1.0f};
  float volume_ = 1.0f;
  std::atomic<int32_t> ticks_{0};
  std::thread thread_;
  SyncSource* syncSource_ = nullptr;
};

}  // namespace sw
