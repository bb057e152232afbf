// Standard MIDI File output: one chunk per track, delta times recomputed per track, an end of
// track closing every chunk, and optional running-status compression.
//
// The bytes are produced in two passes over the events. The first sizes every chunk exactly
// (applying the same running-status rule as the second), so the whole file is allocated once;
// the second copies each event straight to its track's place in that buffer.

#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

#include "base/atomic_file.h"
#include "base/finder_info.h"
#include "smf/midi_sequence.h"
#include "smf/vlq.h"

namespace sw {

namespace {

constexpr uint8_t kEndOfTrack[4] = {0x00, 0xFF, 0x2F, 0x00};
constexpr size_t kHeaderSize = 14;
constexpr size_t kChunkHeaderSize = 8;
constexpr size_t kWord = 8;  // the bytes an event holds without a buffer of its own

struct TrackState {
  uint32_t lastTicks = 0;
  uint8_t lastStatus = 0;
  size_t size = 0;         // event bytes of the chunk, end of track excluded
  uint8_t* out = nullptr;  // write position during the second pass
};

// The delta written before an event. Events are in ticks order, so the delta is never
// negative in a sound sequence; should an event precede the previous one of its track, it is
// written at the same time rather than as a wrapped-around huge delta. A gap beyond the
// largest quantity is written as that quantity, the rest carried to the next event.
inline uint32_t deltaFor(const TrackState& track, uint32_t ticks) {
  if (ticks <= track.lastTicks) return 0;
  uint32_t delta = ticks - track.lastTicks;
  return delta > kMaxVLQ ? kMaxVLQ : delta;
}

// With running status, a note-off of velocity 64 is written as the note-on of velocity 0 that
// means the same, so that it shares the status of the notes around it.
inline bool writtenAsNoteOn(const uint8_t* data, uint32_t length, bool compress) {
  return compress && length == 3 && (data[0] & 0xF0) == 0x80 && data[2] == 0x40;
}

// How many leading bytes of the message are left out: 1 when running status applies. A
// message made of its status byte alone keeps it, or nothing would follow the delta.
inline uint32_t skippedBytes(TrackState& track, const uint8_t* data, uint32_t length, bool compress) {
  uint8_t first = writtenAsNoteOn(data, length, compress) ? uint8_t(0x90 | (data[0] & 0x0F)) : data[0];
  if (!compress || first >= 0xF0) return 0;
  uint32_t skip = first == track.lastStatus && length > 1 ? 1 : 0;
  track.lastStatus = first;
  return skip;
}

inline void put32(uint8_t* out, uint32_t value) {
  out[0] = uint8_t(value >> 24);
  out[1] = uint8_t(value >> 16);
  out[2] = uint8_t(value >> 8);
  out[3] = uint8_t(value);
}

inline void put16(uint8_t* out, uint16_t value) {
  out[0] = uint8_t(value >> 8);
  out[1] = uint8_t(value);
}

}  // namespace

uint16_t MidiSequence::divisionWord() const {
  if (SMPTEFormat_ != 0) return uint16_t(0x8000 | ((SMPTEFormat_ & 0x7F) << 8) | (division_ & 0xFF));
  return uint16_t(division_);
}

std::vector<uint8_t> MidiSequence::dataRepresentation(bool compress) {
  std::lock_guard guard(lock_);  // the track fix-up below changes events the player may read
  const size_t trackCount = numTracks_;
  // A file needs a track to read back: a sequence without any gets one empty track.
  std::vector<TrackState> tracks(std::max<size_t>(trackCount, 1));

  // Pass 1: bring every event into a track that exists, and size the chunks.
  for (const auto& event : wholeList_) {
    uint32_t length = event->length();
    // Without tracks there is nowhere to put an event; an empty message has nothing to write
    // and would leave a bare delta time that breaks the chunk.
    if (trackCount == 0 || length == 0) continue;
    if (event->track() >= trackCount) event->setTrack(uint8_t(trackCount - 1));
    TrackState& track = tracks[event->track()];
    uint32_t delta = deltaFor(track, event->ticks());
    track.lastTicks += delta;
    track.size += vlqSize(delta) + length - skippedBytes(track, event->data(), length, compress);
  }

  size_t total = kHeaderSize;
  for (const TrackState& track : tracks) total += kChunkHeaderSize + track.size + sizeof kEndOfTrack;
  // Room for one word beyond the end: short messages are copied a whole word at a time, the
  // bytes past the message overwritten by what comes after it.
  std::vector<uint8_t> bytes(total + kWord);
  uint8_t* out = bytes.data();

  // Where each chunk's events go; the headers and the closing end-of-track events are written
  // after the events, which may have spilled a word's spare bytes over them.
  uint8_t* chunk = out + kHeaderSize;
  for (TrackState& track : tracks) {
    track.out = chunk + kChunkHeaderSize;
    chunk += kChunkHeaderSize + track.size + sizeof kEndOfTrack;
    track.lastTicks = 0;
    track.lastStatus = 0;
  }

  // Pass 2: the events, each straight into its chunk.
  for (const auto& event : wholeList_) {
    uint32_t length = event->length();
    if (trackCount == 0 || length == 0) continue;
    TrackState& track = tracks[event->track()];
    uint32_t delta = deltaFor(track, event->ticks());
    track.lastTicks += delta;
    if (delta < 0x80) *track.out++ = uint8_t(delta);
    else track.out += writeVLQ(delta, track.out);
    const uint8_t* data = event->data();
    uint32_t skip = skippedBytes(track, data, length, compress);
    if (length <= kWord) {
      // The message held in the event: moved as one word (the word's spare bytes zero).
      uint8_t word[2 * kWord] = {};
      std::memcpy(word, data, kWord);
      if (writtenAsNoteOn(data, length, compress)) {
        word[0] = uint8_t(0x90 | (data[0] & 0x0F));
        word[2] = 0;
      }
      std::memcpy(track.out, word + skip, kWord);
    } else {
      std::memcpy(track.out, data + skip, length - skip);
    }
    track.out += length - skip;
  }

  std::memcpy(out, "MThd", 4);
  put32(out + 4, 6);
  put16(out + 8, trackCount <= 1 ? 0 : 1);
  put16(out + 10, uint16_t(tracks.size()));
  put16(out + 12, divisionWord());
  chunk = out + kHeaderSize;
  for (TrackState& track : tracks) {
    std::memcpy(chunk, "MTrk", 4);
    put32(chunk + 4, uint32_t(track.size + sizeof kEndOfTrack));
    std::memcpy(chunk + kChunkHeaderSize + track.size, kEndOfTrack, sizeof kEndOfTrack);
    chunk += kChunkHeaderSize + track.size + sizeof kEndOfTrack;
  }
  bytes.resize(total);
  return bytes;
}

OSStatus MidiSequence::writeToFile(const std::string& path, bool compress, FileIdentity* expected) {
  return writeDataToFile(path, dataRepresentation(compress), expected);
}

OSStatus MidiSequence::writeDataToFile(const std::string& path, const std::vector<uint8_t>& bytes,
                                       FileIdentity* expected) {
  // The replacement carries over every attribute of the file it replaces, the Finder codes
  // among them; they are checked afterwards all the same, since a file whose attributes could
  // not be read through an open descriptor would otherwise lose its type.
  FinderInfo before = FinderInfo::read(path);
  OSStatus status = writeFileAtomically(path, bytes, expected);
  if (status == noErr && (before.type != 0 || before.creator != 0)) {
    FinderInfo after = FinderInfo::read(path);
    if (after.type != before.type || after.creator != before.creator) {
      before.write(path);  // best effort
      if (expected) {
        if (auto now = FileIdentity::of(path)) *expected = *now;
      }
    }
  }
  return status;
}

}  // namespace sw
