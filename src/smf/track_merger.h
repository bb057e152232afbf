// Merges the tracks of an SMFImage into one stream of events in time order; on equal ticks
// the lower track goes first, and within a track the file's order is kept. A fault in a track
// ends that track only: every other track is read to its end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/status.h"
#include "smf/smf_image.h"

namespace sw {

enum SMFEventClass : uint32_t { kClassMeta = 1, kClassChannel = 2, kClassSystem = 4, kClassAll = 7 };

struct SMFParsedEvent {
  const uint8_t* bytes = nullptr;  // the complete message (status restored for running status)
  uint32_t length = 0;
  uint32_t ticks = 0;
  uint8_t track = 0;
  uint8_t status = 0;  // high nibble for channel messages, the whole byte otherwise
  uint32_t eventClass = 0;
  bool runningStatus = false;
  uint8_t restored[3] = {0, 0, 0};  // storage for a message read with running status
};

class SMFTrackMerger {
 public:
  // Absolute ticks above this end a track: they would not fit the time maps' keys.
  static constexpr uint64_t kMaxTicks = 0x7FFFFFFF;

  explicit SMFTrackMerger(const SMFImage& image);
  // noErr with `event` filled, or kSMFEndOfTracks when every track is done.
  OSStatus next(uint32_t classMask, SMFParsedEvent& event);
  // The faults that ended tracks early (kSMFNoStatusErr, kSMFBadStatusErr, eofErr for an
  // event or delta time that runs past the end of its track), each with its track and byte
  // offset in the file; empty for sound tracks.
  const std::vector<Error>& damage() const { return damage_; }

 private:
  struct Cursor {
    const uint8_t* data = nullptr;
    uint32_t length = 0;
    uint32_t offset = 0;
    uint64_t ticks = 0;
    uint64_t nextTicks = 0;
    uint8_t track = 0;
    uint8_t runningStatus = 0;
    uint8_t runningLength = 0;
    uint8_t deltaSize = 0;  // bytes of the delta time at offset, read ahead
    int64_t fileOffset = -1;  // where the track's bytes start in the file; -1 when unknown
    uint32_t fileLength = 0;  // how many of them the file holds
    bool cutOff = false;      // the end of the file cut the chunk: the loader told that already
  };
  // Reads the delta time at the cursor's offset into nextTicks; false when it is cut off or
  // malformed, which ends the track.
  static bool readNextDelta(Cursor& c);
  void finish(size_t index);
  // Records a fault at byte `at` of the cursor's track.
  void recordFault(const Cursor& c, uint64_t at, OSStatus status, std::string message);
  // The same, and ends that track.
  void endWithFault(size_t index, uint64_t at, OSStatus status, std::string message);
  // Steps over the well-formed channel messages at the cursor, as a scan that does not want
  // them would, and answers whether it moved. Anything else is left to the full reader.
  bool skipChannelMessages(Cursor& c);

  // The cursor whose next event comes first; the lower track on equal ticks.
  size_t choose(uint32_t classMask);
  void rebuildKeys();
  // Times fit 31 bits and indices 8: the smallest key is the earliest time, the lowest track
  // among equals.
  uint64_t keyOf(size_t index) const { return (cursors_[index].nextTicks << 8) | index; }

  static constexpr size_t kNoCursor = SIZE_MAX;
  std::vector<Cursor> cursors_;  // active cursors in track order
  std::vector<uint64_t> keys_;   // each cursor's next time and index, for choose()
  size_t lastChosen_ = kNoCursor;
  Cursor saved_;  // the cursor before the event read, to put it back after skipped ones
  std::vector<Error> damage_;
};

}  // namespace sw
