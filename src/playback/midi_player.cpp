#include "playback/midi_player.h"

#include <pthread.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

#include "base/log.h"
#include "playback/playback_defaults.h"
#include "smf/vlq.h"
#include "sysex/sysex.h"

namespace sw {

namespace {

void pollSleep() { std::this_thread::sleep_for(std::chrono::milliseconds(1)); }

// Per-channel controller state recorded by the chase; -1 = not set.
struct ChaseState {
  int16_t controllers[128];
  int16_t program = -1;
  int16_t channelPressure = -1;
  int16_t bendLSB = -1, bendMSB = -1;
  int16_t polyNote = -1, polyValue = -1;
  ChaseState() { std::fill(std::begin(controllers), std::end(controllers), int16_t(-1)); }
};

}  // namespace

MidiPlayer::MidiPlayer(std::shared_ptr<MidiOutput> output, HostClock& clock)
    : output_(std::move(output)), clock_(clock) {}

MidiPlayer::~MidiPlayer() {
  if (syncSource_) syncSource_->setSyncProc(nullptr, nullptr);
  cleanup();
  stop();
}

uint64_t MidiPlayer::microsToHost(double microseconds) const {
  return microseconds <= 0 ? 0 : uint64_t(microseconds * double(kNanosPerMicro));
}

// ---- Sequence

void MidiPlayer::setEventList(std::shared_ptr<MidiSequence> sequence) {
  cleanup();
  if (!sequence) return;
  eventList_ = std::move(sequence);
  auto guard = guardSequence();
  firstNoteDelay_ = 0;
  for (const MidiEvent* event : eventList_->events())
    if (event->status() == 0x90) {
      firstNoteDelay_ = event->ticks();
      break;
    }
  microSecondsPerTicks_ = eventList_->tickDurationAtTicks(0);
  tempo_ = eventList_->tempoForTickDuration(microSecondsPerTicks_);
  curSignature_ = eventList_->signatureAtTicks(0);
  needsReset_ = true;
}

void MidiPlayer::cleanup() {
  if (!eventList_) return;
  stop();
  setTime(0);
  setTicks(0);
  setPitch(0);
  setRate(1.0f);
  filename_.clear();
  eventList_.reset();
  tempo_ = 120.0;
}

OSStatus MidiPlayer::loadFile(const std::string& path, double) {
  OSStatus status = noErr;
  auto sequence = std::make_shared<MidiSequence>(path, kSMFLoadDropRepeats, &status);
  if (status == noErr) {
    setEventList(sequence);
    setFilename(path);
  }
  return status;
}

// ---- Transport

void MidiPlayer::joinFinishedThread() {
  while (threadRunning_) pollSleep();
  if (thread_.joinable()) thread_.join();
}

OSStatus MidiPlayer::play(uint64_t hostTime) {
  if (threadRunning_ && !threadCancelling_) return 0;
  joinFinishedThread();
  if (!eventList_) return 0;
  {
    auto guard = guardSequence();
    if (eventList_->count() == 0) return 0;
  }
  if (isSlave_) initGlobalsAtTicks(uint32_t(std::max(0, ticks_.load())), nullptr);
  if (needsChaseEvents_) {
    needsChaseEvents_ = false;
    chaseEventsBeforeTicks(uint32_t(std::max(0, ticks_.load())));
  }
  isPlaying_ = true;
  if (isSlave_) return 0;
  // Raised here rather than in the thread, so that a stop right after this call waits for it.
  threadCancelling_ = false;
  threadRunning_ = true;
  thread_ = std::thread(&MidiPlayer::playThread, this, hostTime);
  return 0;
}

void MidiPlayer::playThread(uint64_t hostTime) {
  // Thread names are limited to 15 characters; this is the start of "com.tessary.midiplayer-thread".
  pthread_setname_np(pthread_self(), "com.tessary.mid");
  preroll();
  if (prerollDate_) {
    uint64_t until = *prerollDate_ + uint64_t(std::max(0, startFromFirstNoteDelay_)) * kNanosPerMilli;
    uint64_t now = clock_.now();
    if (until > now) clock_.sleepFor(until - now);
    prerollDate_.reset();
  }
  const uint32_t startTick = uint32_t(std::max(0, ticks_.load()));
  int startIndex = initGlobalsAtTicks(startTick, nullptr);
  double songPosition;
  {
    auto guard = guardSequence();
    songPosition = eventList_->microSecondsAtTicks(int32_t(startTick));
  }

  bool cancelled = false;
  if (hostTime > hostTimeDelay_) {
    const uint64_t target = hostTime - hostTimeDelay_;
    for (;;) {
      uint64_t now = clock_.now();
      if (now >= target) break;
      uint64_t remaining = target - now;
      if (remaining < 150'001'000) {
        clock_.sleepFor(remaining / kNanosPerMicro * kNanosPerMicro);
        continue;
      }
      clock_.sleepFor(100 * kNanosPerMilli);
      if (threadCancelling_) {
        cancelled = true;
        break;
      }
    }
  }
  requestedSongPosition_ = 0;

  if (!cancelled && !threadCancelling_) {
    float lastRate = -1.0f;
    double period = 0;
    uint64_t windows = 0;
    uint64_t base = 0;
    for (;;) {
      {
        auto guard = guardSequence();
        if (startIndex >= eventList_->count()) break;
      }
      processEventsFromTime(songPosition, kWindowMicroseconds, clock_.now() + hostTimeDelay_);
      float rate = rate_;
      if (rate != lastRate) {
        base = clock_.now();
        period = kWindowMicroseconds / rate;
        lastRate = rate;
        windows = 0;
      }
      double lateness = double((clock_.now() - base) / kNanosPerMicro) - double(windows) * period;
      if (period > lateness)
        clock_.sleepFor(uint64_t(period - lateness) * kNanosPerMicro);
      else
        std::printf("uSecsInterval %.f error %.f\n", kWindowMicroseconds, lateness);
      songPosition += kWindowMicroseconds;
      ++windows;
      if (threadCancelling_) break;
    }
  }

  {
    auto guard = guardSequence();
    if (startIndex == eventList_->count()) ticks_ = int32_t(std::min<uint32_t>(eventList_->duration(), INT32_MAX));
  }
  threadCancelling_ = false;
  threadRunning_ = false;
}

void MidiPlayer::allNotesOffFromDefaults() { output_->allNotesOff(playbackDefaultBool("allSoundsOffOnStop")); }

void MidiPlayer::stop() {
  const bool audible = isPlaying_ && !isDone();
  if (threadRunning_) threadCancelling_ = true;
  joinFinishedThread();
  isPlaying_ = false;
  curSyncTime_ = 0;
  curStartUSecs_ = 0;
  if (audible) {
    clock_.sleepFor(40 * kNanosPerMilli);  // lets the messages already scheduled go out
    allNotesOffFromDefaults();
  }
}

void MidiPlayer::preroll() {
  if (!eventList_) return;
  if (needsReset_) {
    needsReset_ = false;
    output_->resetDevice(playbackDefaultBool("GMReset"), playbackDefaultBool("GSReset"),
                         playbackDefaultBool("XGReset"));
  }
  if (!startFromFirstNote()) return;
  auto guard = guardSequence();
  const MidiSequence& sequence = *eventList_;
  int index = sequence.indexAtTicks(uint32_t(std::max(0, ticks_.load())));
  if (index >= sequence.count() || sequence.eventAtIndex(index)->ticks() >= firstNoteDelay_) return;
  bool sawChannelMessage = false;
  for (; index < sequence.count(); ++index) {
    const MidiEvent* event = sequence.eventAtIndex(index);
    if (event->status() < 0xF1) sawChannelMessage = true;
    if (event->ticks() >= firstNoteDelay_) break;
    processEvent(*event, 0);
  }
  if (sawChannelMessage) prerollDate_ = clock_.now();
  ticks_ = int32_t(firstNoteDelay_);
}

// ---- Position

void MidiPlayer::setTicks(uint32_t ticks) {
  const bool wasPlaying = isPlaying_;
  if (wasPlaying) stop();
  requestedSongPosition_ = 0;
  ticks_ = int32_t(std::min<uint32_t>(ticks, INT32_MAX));
  if (!eventList_) return;
  {
    auto guard = guardSequence();
    if (eventList_->count() == 0) return;
  }
  needsChaseEvents_ = ticks > 0 && chaseEvents_;
  initGlobalsAtTicks(ticks, nullptr);
  if (wasPlaying) play(0);
}

void MidiPlayer::setTime(uint32_t milliseconds) {
  if (!eventList_) return;
  int32_t ticks;
  {
    auto guard = guardSequence();
    double offset = 0;
    ticks = eventList_->ticksAtMicroseconds(double(milliseconds) * 1000.0, &offset);
  }
  setTicks(uint32_t(std::max(0, ticks)));
  requestedSongPosition_ = milliseconds;
}

uint32_t MidiPlayer::time() const {
  if (!eventList_) return 0;
  const double start = curStartUSecs_;
  if (start == 0) {
    auto guard = guardSequence();
    double us = eventList_->microSecondsAtTicks(std::max(0, ticks_.load()));
    return uint32_t(std::clamp(us / 1000.0, 0.0, double(INT32_MAX)));
  }
  const uint64_t sync = curSyncTime_;
  const uint64_t now = clock_.now();
  const double elapsed = now > sync ? double(now - sync) : 0.0;
  const double ms = (start + elapsed / 1000.0) / 1000.0;
  return ms <= 0 ? 0 : uint32_t(std::min(ms, double(INT32_MAX)));
}

uint32_t MidiPlayer::durationTicks() const {
  if (!eventList_) return 0;
  auto guard = guardSequence();
  return eventList_->duration();
}

uint32_t MidiPlayer::duration() const {
  if (!eventList_) return 0;
  uint32_t ticks = durationTicks();
  auto guard = guardSequence();
  double ms = eventList_->microSecondsAtTicks(int32_t(std::min<uint32_t>(ticks, INT32_MAX))) / 1000.0;
  return uint32_t(std::clamp(ms, 0.0, 2147483647.0));
}

bool MidiPlayer::isDone() const {
  if (!eventList_) return true;
  return int64_t(ticks_.load()) >= int64_t(durationTicks());
}

MeasureRec MidiPlayer::getMeasure() const {
  if (!eventList_) return {1, 1, 0};
  const int32_t ticks = ticks_.load();
  if (ticks < int64_t(firstNoteDelay_) && startFromFirstNote()) return {1, 1, 0};
  auto guard = guardSequence();
  return eventList_->measureAtTicks(std::max(0, ticks));
}

uint8_t MidiPlayer::signatureNum() const { return eventList_ ? curSignature_.load().num : 4; }
uint8_t MidiPlayer::signatureDenom() const { return eventList_ ? curSignature_.load().denom : 4; }

// ---- Parameters

void MidiPlayer::setPitch(double cents) {
  if (!std::isfinite(cents)) return;
  // Beyond ten octaves every note leaves the MIDI range anyway.
  auto semitones = int16_t(std::clamp(std::trunc(cents / 100.0), -127.0, 127.0));
  if (semitones == pitch_) return;
  pitch_ = semitones;
  if (isPlaying_ || isSlave_) allNotesOffFromDefaults();
}

void MidiPlayer::setRate(float rate) {
  // A rate of zero or below would make the window period endless or negative.
  if (!std::isfinite(rate) || rate <= 0.0f) return;
  rate_ = std::clamp(rate, 0.01f, 100.0f);
}

void MidiPlayer::setVolume(float volume) {
  volume_ = volume;
  output_->sendMasterVolume(volume);
}

// ---- Slave mode

void MidiPlayer::setSyncSource(SyncSource* source, bool receiveSync) {
  if (syncSource_ && syncSource_ != source) syncSource_->setSyncProc(nullptr, nullptr);
  syncSource_ = source;
  if (source) {
    SyncProc proc;
    if (receiveSync)
      proc = [this](uint64_t timeStamp, double from, double range) {
        if (eventList_) processEventsFromTime(from, range, timeStamp);
      };
    source->setSyncProc(std::move(proc), this);
  }
  isSlave_ = source != nullptr;
}

// ---- Windows and events

void MidiPlayer::processEventsFromTime(double from, double range, uint64_t timeStamp) {
  if (!isPlaying_) return;
  if (!eventList_) {
    logMessage("nil _eventList");
    return;
  }
  if (microSecondsPerTicks_ == 0) {
    logMessage("null _microSecondsPerTicks");
    return;
  }
  int32_t first, end;
  double offset = 0;
  {
    auto guard = guardSequence();
    first = eventList_->ticksAtMicroseconds(from, &offset);
    // The first tick at or after the window's end, so consecutive windows meet without a gap.
    double endOffset = 0;
    end = eventList_->ticksAtMicroseconds(from + range, &endOffset);
  }
  if (isSlave_ || threadRunning_) {
    const uint64_t now = clock_.now();
    curSyncTime_ = now;
    if (timeStamp == 0) timeStamp = now + hostTimeDelay_;
    curStartUSecs_ = from - double(int64_t(timeStamp - now)) / double(kNanosPerMicro);
    double ts = double(timeStamp) + offset * double(kNanosPerMicro);
    for (int32_t t = first; t < end; ++t) {
      processEventsAtTicks(t, uint64_t(ts));
      ts += microSecondsPerTicks_ * double(kNanosPerMicro);
    }
  }
  ticks_ = end - 1;
}

void MidiPlayer::processEventsAtTicks(int32_t ticks, uint64_t timeStamp) {
  if (ticks < 0) return;
  auto guard = guardSequence();
  const MidiSequence& sequence = *eventList_;
  for (int index = sequence.indexAtTicks(uint32_t(ticks)); index < sequence.count(); ++index) {
    const MidiEvent* event = sequence.eventAtIndex(index);
    if (event->ticks() != uint32_t(ticks)) break;
    processEvent(*event, timeStamp);
  }
}

void MidiPlayer::processEvent(const MidiEvent& event, uint64_t timeStamp) {
  if (event.length() == 0) return;
  const uint8_t status = event.status();
  switch (status) {
    case 0x80:
    case 0x90:
      if (pitch_ != 0 && !(eventList_->drumChannelMask() & (1u << event.channel())))
        transposedNoteSend(event, timeStamp);
      else
        output_->sendBytes(event.data(), int32_t(event.length()), timeStamp);
      return;
    case 0xF0:
      sysexSend(event, timeStamp);
      return;
    case 0xF7: {  // an escape: the bytes after the length go out as they are
      VLQRead vlq = readVLQ(event.data() + 1, event.length() - 1);
      if (vlq.ok() && vlq.value > 0 && vlq.value <= event.length() - 1 - vlq.size)
        output_->sendBytes(event.data() + 1 + vlq.size, int32_t(vlq.value), timeStamp);
      return;
    }
    case 0xFF:
      if (event.isMeta(meta::kTempo)) {
        microSecondsPerTicks_ = eventList_->tickDurationAtTicks(int32_t(event.ticks()));
        tempo_ = eventList_->tempoForTickDuration(microSecondsPerTicks_);
      } else if (event.isMeta(meta::kTimeSignature)) {
        curSignature_ = eventList_->signatureAtTicks(int32_t(event.ticks()));
      }
      return;
    default:
      output_->sendBytes(event.data(), int32_t(event.length()), timeStamp);
  }
}

void MidiPlayer::transposedNoteSend(const MidiEvent& event, uint64_t timeStamp) {
  if (event.length() < 3) return;
  const int note = int(event.second()) + pitch_;
  // A note moved out of 0-127 is dropped: its low byte could read as a status byte.
  if (note < 0 || note > 127) return;
  const uint8_t bytes[3] = {event.data()[0], uint8_t(note), event.third()};
  output_->sendBytes(bytes, 3, timeStamp);
}

void MidiPlayer::sysexSend(const MidiEvent& event, uint64_t timeStamp) {
  const uint8_t* data = event.data();
  const uint32_t length = event.length();
  if (length < 2) return;
  if (Sysex::masterVolume(data, length)) return;  // the user's volume setting rules
  VLQRead vlq = readVLQ(data + 1, length - 1);
  if (!vlq.ok() || vlq.value > length - 1 - vlq.size) return;
  std::vector<uint8_t> message;
  message.reserve(vlq.value + 1);
  message.push_back(0xF0);
  message.insert(message.end(), data + 1 + vlq.size, data + 1 + vlq.size + vlq.value);
  output_->sendBytes(message.data(), int32_t(message.size()), timeStamp);
}

int MidiPlayer::initGlobalsAtTicks(uint32_t ticks, const MidiEvent** eventOut) {
  if (eventOut) *eventOut = nullptr;
  if (!eventList_) return 0;
  auto guard = guardSequence();
  const MidiSequence& sequence = *eventList_;
  if (sequence.count() == 0) return 0;
  int index = std::min(sequence.indexAtTicks(ticks), sequence.count() - 1);
  const MidiEvent* event = sequence.eventAtIndex(index);
  if (eventOut) *eventOut = event;
  microSecondsPerTicks_ = sequence.tickDurationAtTicks(int32_t(event->ticks()));
  tempo_ = sequence.tempoForTickDuration(microSecondsPerTicks_);
  curSignature_ = sequence.signatureAtTicks(int32_t(std::min<uint32_t>(ticks, INT32_MAX)));
  return index;
}

void MidiPlayer::chaseEventsBeforeTicks(uint32_t ticks) {
  if (!eventList_) return;
  ChaseState channels[16];
  {
    auto guard = guardSequence();
    for (const MidiEvent* event : eventList_->events()) {
      if (event->ticks() >= ticks) break;
      if (!event->isChannelMessage()) continue;
      ChaseState& state = channels[event->channel()];
      switch (event->status()) {
        case 0xA0:
          state.polyNote = event->second();
          state.polyValue = event->third();
          break;
        case 0xB0:
          if (event->second() < 128) state.controllers[event->second()] = event->third();
          break;
        case 0xC0: state.program = event->second(); break;
        case 0xD0: state.channelPressure = event->second(); break;
        case 0xE0:
          state.bendLSB = event->second();
          state.bendMSB = event->third();
          break;
        default: break;
      }
    }
  }
  for (uint8_t channel = 0; channel < 16; ++channel) {
    const ChaseState& state = channels[channel];
    auto controller = [&](int number) {
      if (state.controllers[number] < 0) return;
      const uint8_t bytes[3] = {uint8_t(0xB0 | channel), uint8_t(number), uint8_t(state.controllers[number])};
      output_->sendBytes(bytes, 3, 0);
    };
    for (int number = 0; number <= 13; ++number) {
      controller(number);
      controller(number + 32);
    }
    for (int number = 16; number <= 19; ++number) {
      controller(number);
      controller(number + 32);
    }
    for (int number = 64; number <= 95; ++number) controller(number);
    if (state.program >= 0) {
      const uint8_t bytes[2] = {uint8_t(0xC0 | channel), uint8_t(state.program)};
      output_->sendBytes(bytes, 2, 0);
    }
    if (state.bendMSB >= 0) {
      const uint8_t bytes[3] = {uint8_t(0xE0 | channel), uint8_t(state.bendLSB), uint8_t(state.bendMSB)};
      output_->sendBytes(bytes, 3, 0);
    }
    if (state.polyNote >= 0) {
      const uint8_t bytes[3] = {uint8_t(0xA0 | channel), uint8_t(state.polyNote), uint8_t(state.polyValue)};
      output_->sendBytes(bytes, 3, 0);
    }
    if (state.channelPressure >= 0) {
      const uint8_t bytes[2] = {uint8_t(0xD0 | channel), uint8_t(state.channelPressure)};
      output_->sendBytes(bytes, 2, 0);
    }
  }
}

}  // namespace sw
