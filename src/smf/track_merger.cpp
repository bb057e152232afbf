#include "smf/track_merger.h"

#include "smf/vlq.h"

namespace sw {

SMFTrackMerger::SMFTrackMerger(const SMFImage& image) {
  size_t count = std::min<size_t>(image.tracks.size(), kMaxTracks);
  cursors_.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    Cursor c;
    c.data = image.tracks[i].data();
    c.length = uint32_t(image.tracks[i].size());
    c.track = uint8_t(i);
    if (!readNextDelta(c)) c.length = 0;
    cursors_.push_back(c);
  }
}

bool SMFTrackMerger::readNextDelta(Cursor& c) {
  if (c.offset >= c.length) return true;  // the end: noticed when the cursor is chosen
  VLQRead delta = readVLQ(c.data + c.offset, c.length - c.offset);
  if (!delta.ok()) return false;
  c.deltaSize = uint8_t(delta.size);
  c.nextTicks = c.ticks + delta.value;
  return c.nextTicks <= kMaxTicks;
}

bool SMFTrackMerger::skipChannelMessages(Cursor& c) {
  // Works on local copies: stores through the cursor would be reloaded after every byte read.
  const uint8_t* const data = c.data;
  const uint32_t length = c.length;
  uint32_t offset = c.offset, deltaSize = c.deltaSize;
  uint64_t ticks = c.ticks, nextTicks = c.nextTicks;
  uint8_t running = c.runningStatus, runningLength = c.runningLength;
  bool moved = false;
  while (offset < length) {
    const uint32_t at = offset + deltaSize;
    if (at >= length) break;
    const uint8_t b = data[at];
    uint32_t size;
    if (b < 0x80) {
      if (!running) break;
      size = runningLength - 1u;
    } else if (b < 0xF0) {
      size = (b >= 0xC0 && b <= 0xDF) ? 2 : 3;
      running = b;
      runningLength = uint8_t(size);
    } else {
      break;
    }
    if (uint64_t(at) + size > length) break;
    moved = true;
    ticks = nextTicks;
    offset = at + size;
    if (offset >= length) break;
    if (data[offset] < 0x80) {  // the usual one-byte delta
      deltaSize = 1;
      nextTicks = ticks + data[offset];
      continue;
    }
    VLQRead delta = readVLQ(data + offset, length - offset);
    if (!delta.ok() || ticks + delta.value > kMaxTicks) {
      // A broken delta ends the track here, as the full reader does.
      c.offset = offset;
      c.length = offset;
      c.ticks = ticks;
      c.runningStatus = running;
      c.runningLength = runningLength;
      return true;
    }
    deltaSize = delta.size;
    nextTicks = ticks + delta.value;
  }
  c.offset = offset;
  c.deltaSize = uint8_t(deltaSize);
  c.ticks = ticks;
  c.nextTicks = nextTicks;
  c.runningStatus = running;
  c.runningLength = runningLength;
  return moved;
}

void SMFTrackMerger::finish(size_t index) { cursors_.erase(cursors_.begin() + std::ptrdiff_t(index)); }

OSStatus SMFTrackMerger::next(uint32_t mask, SMFParsedEvent& event) {
  for (;;) {
    if (cursors_.empty()) return kSMFEndOfTracks;
    size_t chosen = 0;
    for (size_t i = 1; i < cursors_.size(); ++i)
      if (cursors_[i].nextTicks < cursors_[chosen].nextTicks) chosen = i;
    Cursor& c = cursors_[chosen];
    if (!(mask & kClassChannel) && skipChannelMessages(c)) continue;  // its next time moved

    bool skipped = false;
    for (;;) {
      if (c.offset >= c.length) {
        finish(chosen);
        break;
      }
      const Cursor saved = c;
      // The delta time was read into nextTicks already; step over it.
      uint64_t at = uint64_t(c.offset) + c.deltaSize;
      c.ticks = c.nextTicks;
      if (at >= c.length) {
        finish(chosen);
        break;
      }
      const uint8_t* p = c.data + at;
      size_t available = c.length - at;
      uint8_t b = p[0];
      uint64_t fileBytes;     // bytes the event takes in the file
      uint32_t messageLength; // bytes of the complete message
      bool running = false;
      uint8_t eventClass;
      if (b < 0x80) {
        if (!c.runningStatus) return kSMFNoStatusErr;
        running = true;
        messageLength = c.runningLength;
        fileBytes = messageLength - 1;
        eventClass = kClassChannel;
      } else if (b < 0xF0) {
        messageLength = (b >= 0xC0 && b <= 0xDF) ? 2 : 3;
        fileBytes = messageLength;
        c.runningStatus = b;
        c.runningLength = uint8_t(messageLength);
        eventClass = kClassChannel;
      } else if (b == 0xF0 || b == 0xF7 || b == 0xFF) {
        // F7 packets (sysex continuations and escaped bytes) carry a length like F0.
        size_t vlqAt = b == 0xFF ? 2 : 1;
        VLQRead size = available > vlqAt ? readVLQ(p + vlqAt, available - vlqAt) : VLQRead{};
        if (!size.ok()) {
          // A length that is cut off or longer than four bytes runs past the track.
          finish(chosen);
          break;
        }
        fileBytes = uint64_t(vlqAt) + size.size + size.value;
        messageLength = uint32_t(fileBytes);
        eventClass = b == 0xFF ? kClassMeta : kClassSystem;
      } else if (b == 0xF3) {
        fileBytes = messageLength = 2;
        eventClass = kClassSystem;
      } else if (b == 0xF6 || b == 0xFA || b == 0xFB || b == 0xFC || b == 0xFE) {
        fileBytes = messageLength = 1;
        eventClass = kClassSystem;
      } else {
        return kSMFBadStatusErr;
      }

      uint64_t end = at + fileBytes;
      if (end > c.length) {
        // The event runs past the end of its track: dropped, and the track is done.
        finish(chosen);
        break;
      }
      c.offset = uint32_t(end);
      if (!readNextDelta(c)) c.length = c.offset;  // a broken delta ends the track here

      if (!(eventClass & mask)) {
        skipped = true;
        continue;
      }
      if (skipped) {
        // Events were skipped before this one: put it back and choose again, so that the
        // order across tracks stays right.
        c = saved;
        break;
      }
      event.track = c.track;
      event.ticks = uint32_t(c.ticks);
      event.eventClass = eventClass;
      event.runningStatus = running;
      event.length = messageLength;
      if (running) {
        event.restored[0] = c.runningStatus;
        event.restored[1] = p[0];
        if (messageLength == 3) event.restored[2] = p[1];
        event.bytes = event.restored;
        event.status = c.runningStatus & 0xF0;
      } else {
        event.bytes = p;
        event.status = b < 0xF0 ? (b & 0xF0) : b;
      }
      return noErr;
    }
  }
}

}  // namespace sw
