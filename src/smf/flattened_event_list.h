// The byte form of a set of events (pasteboard, bulk insertion). Each record, little-endian:
// u16 record length (= data length + 24), u8 track, pad, u32 ticks, u32 duration,
// u8 note-off velocity, 3 pad, i32 proposed index (-1 none), u16 data length, data, 2 pad.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace sw {

class MidiEvent;

struct FlattenedRecord {
  uint8_t track = 0;
  uint32_t ticks = 0;
  uint32_t duration = 0;
  uint8_t offVelocity = 0;
  int32_t proposedIndex = -1;
  std::span<const uint8_t> data;
};

class FlattenedEventList {
 public:
  static constexpr uint32_t kHeaderSize = 22;
  static constexpr uint32_t kOverhead = 24;
  static constexpr uint32_t kMaxDataLength = 0xFFFF - kOverhead;

  FlattenedEventList() = default;
  // Copies the bytes. Records that run past the end are not visited.
  explicit FlattenedEventList(std::span<const uint8_t> bytes);

  const std::vector<uint8_t>& bytes() const { return bytes_; }
  size_t byteLength() const { return bytes_.size(); }
  bool empty() const { return bytes_.empty(); }

  // Iteration: a cursor from offset 0 stepping by each record's length.
  size_t begin() const { return 0; }
  bool atEnd(size_t offset) const;
  size_t next(size_t offset) const;
  FlattenedRecord record(size_t offset) const;
  size_t recordCount() const;

  // Adds one record keeping the list sorted by ticks, stable among equal ticks. Data
  // longer than kMaxDataLength cannot be stored and is refused (returns false).
  bool add(const FlattenedRecord& record);
  bool add(const MidiEvent& event, int32_t proposedIndex = -1);

  // Merges two lists by ticks; on equal ticks the records of `first` go first.
  static FlattenedEventList merge(const FlattenedEventList& first, const FlattenedEventList& second);

 private:
  std::vector<uint8_t> bytes_;
  uint32_t lastTicks_ = 0;
  bool hasLast_ = false;
  mutable std::vector<size_t> offsets_;  // built lazily, dropped on change
  void buildOffsets() const;
  static void append(std::vector<uint8_t>& out, const FlattenedRecord& record);
};

}  // namespace sw
