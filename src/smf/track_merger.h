// Merges the tracks of an SMFImage into one stream of events in time order; on equal ticks
// the lower track goes first, and within a track the file's order is kept.
#pragma once

#include <cstdint>
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
  // noErr with `event` filled, kSMFEndOfTracks when every track is done, or the error of a
  // malformed track (kSMFNoStatusErr, kSMFBadStatusErr).
  OSStatus next(uint32_t classMask, SMFParsedEvent& event);

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
  };
  // Reads the delta time at the cursor's offset into nextTicks; false when it is cut off or
  // malformed, which ends the track.
  static bool readNextDelta(Cursor& c);
  void finish(size_t index);
  // Steps over the well-formed channel messages at the cursor, as a scan that does not want
  // them would, and answers whether it moved. Anything else is left to the full reader.
  static bool skipChannelMessages(Cursor& c);

  std::vector<Cursor> cursors_;  // active cursors in track order
};

}  // namespace sw
