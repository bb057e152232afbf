// Shared by the playback tests: an output that records what it is sent, a sync source driven
// by hand, and sequences built from MIDI file bytes.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <thread>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/log.h"
#include "midi_builder.h"
#include "playback/midi_player.h"
#include "playback/midi_transport.h"
#include "smf/midi_sequence.h"

namespace swtest {

// Waits for something another thread brings about; false after ten seconds, so that a fault
// fails the test instead of hanging it.
template <class Condition>
bool eventually(Condition condition) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::yield();
  }
  return true;
}

struct Sent {
  std::vector<uint8_t> bytes;
  uint64_t timeStamp;
};

class RecordingOutput : public sw::MidiOutput {
 public:
  sw::OSStatus sendBytes(const uint8_t* bytes, int32_t size, uint64_t timeStamp) override {
    std::lock_guard lock(mutex_);
    sent_.push_back({std::vector<uint8_t>(bytes, bytes + size), timeStamp});
    return 0;
  }
  using sw::MidiOutput::sendBytes;
  void resetDevice(bool GM, bool GS, bool XG) override {
    std::lock_guard lock(mutex_);
    resets_.push_back(std::string(GM ? "GM" : "") + (GS ? "GS" : "") + (XG ? "XG" : ""));
  }
  void allNotesOff(bool allSoundOff) override {
    std::lock_guard lock(mutex_);
    allNotesOff_.push_back(allSoundOff);
  }
  void sendMasterVolume(float volume) override {
    std::lock_guard lock(mutex_);
    volumes_.push_back(volume);
  }
  sw::MusicDevice* musicDevice() override { return nullptr; }

  std::vector<Sent> sent() const {
    std::lock_guard lock(mutex_);
    return sent_;
  }
  // Only the messages whose status kind is `kind` (0x90 note-on ...).
  std::vector<Sent> sentOfKind(uint8_t kind) const {
    std::vector<Sent> result;
    for (const Sent& s : sent())
      if (!s.bytes.empty() && (s.bytes[0] & 0xF0) == kind) result.push_back(s);
    return result;
  }
  std::vector<bool> allNotesOffCalls() const {
    std::lock_guard lock(mutex_);
    return allNotesOff_;
  }
  std::vector<std::string> resets() const {
    std::lock_guard lock(mutex_);
    return resets_;
  }
  std::vector<float> volumes() const {
    std::lock_guard lock(mutex_);
    return volumes_;
  }
  void clear() {
    std::lock_guard lock(mutex_);
    sent_.clear();
    allNotesOff_.clear();
    resets_.clear();
  }

 private:
  mutable std::mutex mutex_;
  std::vector<Sent> sent_;
  std::vector<bool> allNotesOff_;
  std::vector<std::string> resets_;
  std::vector<float> volumes_;
};

// A manual clock whose sleeps each use up one permit and wait while there is none, so a test
// decides how many windows a playback thread runs. Time moves by what each sleep asks.
class GatedClock : public sw::HostClock {
 public:
  uint64_t now() const override { return now_.load(); }
  void sleepFor(uint64_t nanoseconds) override {
    now_.fetch_add(nanoseconds);
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return open_ || permits_ > 0; });
    if (!open_) --permits_;
    ++sleeps_;
    changed_.notify_all();
  }
  void allow(int sleeps) {
    std::lock_guard lock(mutex_);
    permits_ += sleeps;
    changed_.notify_all();
  }
  void open() {
    std::lock_guard lock(mutex_);
    open_ = true;
    changed_.notify_all();
  }
  // Waits until the permits given have been used.
  void waitUntilUsed() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return open_ || permits_ == 0; });
  }

 private:
  std::atomic<uint64_t> now_{1'000'000'000};
  std::mutex mutex_;
  std::condition_variable changed_;
  int permits_ = 0;
  bool open_ = false;
  uint64_t sleeps_ = 0;
};

class HandSync : public sw::SyncSource {
 public:
  void setSyncProc(sw::SyncProc proc, sw::MidiPlayer*) override { proc_ = std::move(proc); }
  bool attached() const { return bool(proc_); }
  void window(uint64_t timeStamp, double from, double range = 40000.0) {
    if (proc_) proc_(timeStamp, from, range);
  }

 private:
  sw::SyncProc proc_;
};

// A transport with one destination that records sends and flushes.
class FakeTransport : public sw::MidiTransport {
 public:
  std::vector<sw::MidiEndpoint> destinations() override { return {{7, 1234, "Fake Synth", "20:0"}}; }
  sw::OSStatus send(sw::MIDIEndpointRef destination, const uint8_t* bytes, size_t size, uint64_t timeStamp) override {
    sent.push_back({std::vector<uint8_t>(bytes, bytes + size), timeStamp});
    log.push_back("send");
    return destination == 7 ? 0 : -1;
  }
  void flushOutput(sw::MIDIEndpointRef) override { log.push_back("flush"); }
  std::vector<Sent> sent;
  std::vector<std::string> log;
};

inline std::shared_ptr<sw::MidiSequence> sequenceFrom(const MidiFileBuilder& file) {
  sw::SMFImage image;
  EXPECT_EQ(sw::readSMFBytes(file.bytes(), image), sw::noErr);
  sw::OSStatus status = sw::noErr;
  auto sequence = std::make_shared<sw::MidiSequence>(image, sw::kSMFLoadFull, &status);
  EXPECT_EQ(status, sw::noErr);
  return sequence;
}

// Settings go to a fresh folder and the library's diagnostics are kept, not printed.
class PlaybackEnvironment : public ::testing::Environment {
 public:
  void SetUp() override;
  void TearDown() override;
  static std::vector<std::string> logLines();
  static void clearLog();
};

}  // namespace swtest
