// One MIDI event: the complete message bytes with its track, absolute ticks and, for a
// note-on, the length of the note and the velocity of its note-off.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace sw {

inline constexpr uint8_t META_EVENT = 0xFF;
inline constexpr uint8_t SYSEX = 0xF0;

// Meta types the sequence logic acts on.
namespace meta {
inline constexpr uint8_t kText = 0x01;
inline constexpr uint8_t kCopyright = 0x02;
inline constexpr uint8_t kTrackName = 0x03;
inline constexpr uint8_t kInstrumentName = 0x04;
inline constexpr uint8_t kLyric = 0x05;
inline constexpr uint8_t kMarker = 0x06;
inline constexpr uint8_t kCuePoint = 0x07;
inline constexpr uint8_t kChannelPrefix = 0x20;
inline constexpr uint8_t kPort = 0x21;
inline constexpr uint8_t kEndOfTrack = 0x2F;
inline constexpr uint8_t kTempo = 0x51;
inline constexpr uint8_t kSMPTEOffset = 0x54;
inline constexpr uint8_t kTimeSignature = 0x58;
inline constexpr uint8_t kKeySignature = 0x59;
inline constexpr uint8_t kSequencerSpecific = 0x7F;
}  // namespace meta

// Raised when an accessor is used on the wrong kind of event: a programming error.
class AssertionFailure : public std::logic_error {
 public:
  AssertionFailure(const std::string& condition, const std::string& function, const std::string& file);
  const std::string& function() const { return function_; }
  const std::string& file() const { return file_; }

 private:
  std::string function_;
  std::string file_;
};

// For tests of failure paths: while one lives, the calling thread's next `allocations` events
// are made and every one after fails with std::bad_alloc.
class EventAllocationLimit {
 public:
  explicit EventAllocationLimit(long allocations);
  ~EventAllocationLimit();
  EventAllocationLimit(const EventAllocationLimit&) = delete;
  EventAllocationLimit& operator=(const EventAllocationLimit&) = delete;
};

class MidiEvent {
 public:
  MidiEvent();
  MidiEvent(const uint8_t* bytes, uint32_t length, uint8_t track, uint32_t ticks, uint32_t duration = 0,
            uint8_t offVelocity = 0);
  MidiEvent(const MidiEvent& other);  // a copy gets a new eventID
  MidiEvent& operator=(const MidiEvent& other);
  ~MidiEvent();

  // Events live in pools (one allocation per thousands of events); see midi_event.cpp.
  static void* operator new(size_t size);
  static void operator delete(void* pointer) noexcept;

  uint8_t track() const { return track_; }
  uint32_t ticks() const { return ticks_; }
  uint32_t duration() const { return duration_; }
  uint8_t offVelocity() const { return offVelocity_; }
  uint32_t length() const { return length_; }
  uint32_t eventID() const { return eventID_; }
  // Messages of up to this many bytes are held inside the record; longer ones on the heap.
  static constexpr uint32_t kInlineCapacity = 8;
  bool isInline() const { return length_ <= kInlineCapacity; }
  const uint8_t* data() const { return isInline() ? inline_ : heap_; }
  uint8_t* data() { return isInline() ? inline_ : heap_; }

  uint8_t status() const {
    uint8_t b = length_ ? data()[0] : 0;
    return b < 0xF0 ? (b & 0xF0) : b;
  }
  uint8_t channel() const {
    uint8_t b = length_ ? data()[0] : 0;
    return b < 0xF0 ? (b & 0x0F) : 0;
  }
  uint8_t second() const { return length_ > 1 ? data()[1] : 0; }
  uint8_t third() const { return length_ > 2 ? data()[2] : 0; }
  void setSecond(uint8_t value) {
    if (length_ > 1) data()[1] = value;
  }
  void setThird(uint8_t value) {
    if (length_ > 2) data()[2] = value;
  }
  void setChannel(uint8_t channel);

  void setData(const uint8_t* bytes, uint32_t length);
  void setTrack(uint8_t track) { track_ = track; }
  void setTicks(uint32_t ticks) { ticks_ = ticks; }
  void setDuration(uint32_t duration) { duration_ = duration; }
  void setOffVelocity(uint8_t velocity) { offVelocity_ = velocity; }

  bool isMeta() const { return status() == META_EVENT; }
  bool isMeta(uint8_t type) const { return status() == META_EVENT && second() == type; }
  bool isSysex() const { return status() == SYSEX; }
  bool isNoteOn() const { return status() == 0x90; }
  bool isNoteOff() const { return status() == 0x80; }
  bool isChannelMessage() const { return length_ > 0 && data()[0] < 0xF0 && data()[0] >= 0x80; }

  // Meta events only: the payload length and its bytes.
  uint32_t metaDataSize() const;
  const uint8_t* metaData() const;
  void setMetaData(const uint8_t* payload, uint32_t length);
  // System-exclusive only: the bytes after the length, without the closing F7.
  uint32_t sysexDataSize() const;
  const uint8_t* sysexData() const;

  // Same status, and the same controller number or meta type where those apply.
  bool isSameTypeOfEvent(const MidiEvent& other) const;

  // The serial number the next event made on this thread receives; every event made before,
  // on any thread, has a lower one.
  static uint32_t nextEventID();

 private:
  void assign(const uint8_t* bytes, uint32_t length);
  void release();

  uint32_t ticks_ = 0;
  uint32_t duration_ = 0;
  uint32_t length_ = 0;
  uint32_t eventID_ = 0;
  uint8_t track_ = 0;
  uint8_t offVelocity_ = 0;
  union {
    uint8_t inline_[kInlineCapacity];
    uint8_t* heap_;
  };
};

}  // namespace sw
