// An output that keeps what it is sent, so that the transport plays with no sound device.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "playback/midi_output.h"

namespace apptest {

class RecordingOutput : public sw::MidiOutput {
 public:
  sw::OSStatus sendBytes(const uint8_t* bytes, int32_t size, uint64_t) override {
    std::lock_guard lock(mutex_);
    sent_.emplace_back(bytes, bytes + size);
    return 0;
  }
  using sw::MidiOutput::sendBytes;
  void resetDevice(bool, bool, bool) override {}
  void allNotesOff(bool) override {}
  void sendMasterVolume(float) override {}
  sw::MusicDevice* musicDevice() override { return nullptr; }

  // The keys of the note-ons (velocity above 0) sent, or of the note-offs.
  std::vector<int> keys(bool noteOns) const {
    std::lock_guard lock(mutex_);
    std::vector<int> keys;
    for (const auto& message : sent_) {
      if (message.size() < 3) continue;
      const bool on = (message[0] & 0xF0) == 0x90 && message[2] > 0;
      const bool off = (message[0] & 0xF0) == 0x80 || ((message[0] & 0xF0) == 0x90 && message[2] == 0);
      if (noteOns ? on : off) keys.push_back(message[1]);
    }
    return keys;
  }
  void clear() {
    std::lock_guard lock(mutex_);
    sent_.clear();
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::vector<uint8_t>> sent_;
};

// The output every transport of the test program plays through.
std::shared_ptr<RecordingOutput> recording();

}  // namespace apptest
