#include "smf/track_merger.h"

#include <algorithm>
#include <array>

#include "smf/vlq.h"

namespace sw {

namespace {
constexpr const char* kBrokenDelta = "delta time broken or past the largest tick";
}  // namespace

SMFTrackMerger::SMFTrackMerger(const SMFImage& image) {
  size_t count = std::min<size_t>(image.tracks.size(), kMaxTracks);
  cursors_.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    Cursor c;
    c.data = image.tracks[i].data();
    c.length = uint32_t(image.tracks[i].size());
    c.track = uint8_t(i);
    if (i < image.trackOffsets.size() && i < image.trackFileLengths.size()) {
      c.fileOffset = image.trackOffsets[i];
      c.fileLength = image.trackFileLengths[i];
    }
    for (const Error& fault : image.damage)
      c.cutOff = c.cutOff || (fault.track == int(i) && fault.status == kSMFTrackTooLongErr);
    if (!readNextDelta(c)) {
      recordFault(c, 0, eofErr, kBrokenDelta);
      c.length = 0;
    }
    cursors_.push_back(c);
  }
  rebuildKeys();
}

bool SMFTrackMerger::readNextDelta(Cursor& c) {
  if (c.offset >= c.length) return true;  // the end: noticed when the cursor is chosen
  VLQRead delta = readVLQ(c.data + c.offset, c.length - c.offset);
  if (!delta.ok()) return false;
  c.deltaSize = uint8_t(delta.size);
  c.nextTicks = c.ticks + delta.value;
  return c.nextTicks <= kMaxTicks;
}

namespace {

// Data bytes that follow each status byte of a channel message; 0 for the bytes that are not
// channel statuses (data bytes, system and meta statuses).
constexpr std::array<uint8_t, 256> kChannelDataBytes = [] {
  std::array<uint8_t, 256> table{};
  for (int b = 0x80; b < 0xF0; ++b) table[size_t(b)] = (b >= 0xC0 && b <= 0xDF) ? 1 : 2;
  return table;
}();

}  // namespace

bool SMFTrackMerger::skipChannelMessages(Cursor& c) {
  // Works on local copies: stores through the cursor would be reloaded after every byte read.
  const uint8_t* const data = c.data;
  const uint32_t length = c.length;
  uint32_t offset = c.offset, deltaSize = c.deltaSize;
  uint64_t ticks = c.ticks, nextTicks = c.nextTicks;
  uint8_t running = c.runningStatus;
  uint32_t runningData = running ? c.runningLength - 1u : 0;  // data bytes of a running message
  bool moved = false;
  bool broken = false;

  // Bytes the channel message starting with `b` takes in the file, running status included,
  // or 0 when it is not one this loop may skip. Written without branches: which kind of
  // message comes next is hard to predict.
  auto fileBytes = [&](uint8_t b) -> uint32_t {
    const bool isData = b < 0x80;
    const uint32_t dataBytes = kChannelDataBytes[b];
    const uint32_t size = isData ? runningData : (dataBytes ? dataBytes + 1 : 0);
    running = isData ? running : (dataBytes ? b : running);
    runningData = isData ? runningData : (dataBytes ? dataBytes : runningData);
    return size;
  };
  // Reads the delta time at `offset`; false when it is malformed, which ends the track.
  auto readDelta = [&]() {
    VLQRead delta = readVLQ(data + offset, length - offset);
    if (!delta.ok() || ticks + delta.value > kMaxTicks) return false;
    deltaSize = delta.size;
    nextTicks = ticks + delta.value;
    return true;
  };

  while (offset < length && !broken) {
    // The common case: a one-byte delta with the whole message and the next delta in the
    // track, so no byte needs a bound check of its own.
    while (deltaSize == 1 && offset + 4 < length) {
      const uint32_t size = fileBytes(data[offset + 1]);
      if (!size) goto done;
      moved = true;
      ticks = nextTicks;
      offset += 1 + size;
      const uint8_t d = data[offset];
      if (d >= 0x80) {
        if (!readDelta()) broken = true;
        break;
      }
      nextTicks = ticks + d;
    }
    if (broken || offset >= length) break;
    if (deltaSize == 1 && offset + 4 < length) continue;
    // Near the end of the track, or after a long delta: every byte checked.
    const uint32_t at = offset + deltaSize;
    if (at >= length) break;
    const uint32_t size = fileBytes(data[at]);
    if (!size || uint64_t(at) + size > length) break;
    moved = true;
    ticks = nextTicks;
    offset = at + size;
    if (offset >= length) break;
    if (!readDelta()) broken = true;
  }
done:
  c.offset = offset;
  c.ticks = ticks;
  c.runningStatus = running;
  c.runningLength = running ? uint8_t(runningData + 1) : c.runningLength;
  if (broken) {
    recordFault(c, offset, eofErr, kBrokenDelta);
    c.length = offset;  // a broken delta ends the track here, as the full reader does
    return true;
  }
  c.deltaSize = uint8_t(deltaSize);
  c.nextTicks = nextTicks;
  return moved;
}

void SMFTrackMerger::finish(size_t index) {
  cursors_.erase(cursors_.begin() + std::ptrdiff_t(index));
  rebuildKeys();  // the indices after it moved
}

void SMFTrackMerger::rebuildKeys() {
  keys_.resize(cursors_.size());
  for (size_t i = 0; i < cursors_.size(); ++i) keys_[i] = keyOf(i);
  lastChosen_ = kNoCursor;
}

size_t SMFTrackMerger::choose(uint32_t mask) {
  // Only the cursor chosen last has moved since the keys were made.
  if (lastChosen_ != kNoCursor) keys_[lastChosen_] = keyOf(lastChosen_);
  if (mask != kClassAll) {
    // A scan that skips events: its tracks of channel messages are soon done, and a plain
    // search among the few left is quicker.
    size_t chosen = 0;
    for (size_t i = 1; i < keys_.size(); ++i)
      if (keys_[i] < keys_[chosen]) chosen = i;
    return lastChosen_ = chosen;
  }
  // Taking the minimum of keys needs no branch, where the tracks of a song take turns too
  // irregularly to be predicted.
  uint64_t best = UINT64_MAX;
  for (const uint64_t key : keys_) best = std::min(best, key);
  return lastChosen_ = size_t(best & 0xFF);
}

void SMFTrackMerger::recordFault(const Cursor& c, uint64_t at, OSStatus status, std::string message) {
  // A track cut off by the end of the file ends in a broken event: that is known already.
  if (c.cutOff && status == eofErr) return;
  // A fault in the end of track the loader added lies where the file's bytes end.
  const int64_t offset = c.fileOffset >= 0 ? c.fileOffset + int64_t(std::min<uint64_t>(at, c.fileLength)) : -1;
  damage_.push_back(Error{status, "", std::move(message), c.track, offset});
}

void SMFTrackMerger::endWithFault(size_t index, uint64_t at, OSStatus status, std::string message) {
  recordFault(cursors_[index], at, status, std::move(message));
  finish(index);
}

OSStatus SMFTrackMerger::next(uint32_t mask, SMFParsedEvent& event) {
  for (;;) {
    if (cursors_.empty()) return kSMFEndOfTracks;
    const size_t chosen = choose(mask);
    Cursor& c = cursors_[chosen];
    if (!(mask & kClassChannel) && skipChannelMessages(c)) continue;  // its next time moved

    bool skipped = false;
    const bool mayPutBack = mask != kClassAll;
    for (;;) {
      if (c.offset >= c.length) {
        finish(chosen);
        break;
      }
      if (mayPutBack) saved_ = c;
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
        if (!c.runningStatus) {
          endWithFault(chosen, at, kSMFNoStatusErr, "data byte without a running status");
          break;
        }
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
          endWithFault(chosen, at, eofErr, "length of a meta or sysex event broken or past the end of the track");
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
        static const char* const kHex = "0123456789ABCDEF";
        endWithFault(chosen, at, kSMFBadStatusErr,
                     std::string("status byte ") + kHex[b >> 4] + kHex[b & 15] + " that cannot stand in a track");
        break;
      }

      uint64_t end = at + fileBytes;
      if (end > c.length) {
        // The event runs past the end of its track: dropped, and the track is done.
        endWithFault(chosen, at, eofErr, "event runs past the end of the track");
        break;
      }
      c.offset = uint32_t(end);
      const bool brokenDelta = !readNextDelta(c);
      if (brokenDelta) c.length = c.offset;  // a broken delta ends the track here

      if (!(eventClass & mask)) {
        if (brokenDelta) recordFault(c, c.offset, eofErr, kBrokenDelta);
        skipped = true;
        continue;
      }
      if (skipped) {
        // Events were skipped before this one: put it back and choose again, so that the
        // order across tracks stays right.
        c = saved_;
        break;
      }
      if (brokenDelta) recordFault(c, c.offset, eofErr, kBrokenDelta);
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
