// A Standard MIDI File as loaded from disk: the header fields and one buffer per track
// chunk, before the tracks are merged into a sequence.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "base/status.h"

namespace sw {

inline constexpr int kMaxTracks = 64;

// Load flags.
inline constexpr uint32_t kSMFLoadFull = 0;
inline constexpr uint32_t kSMFLoadDropRepeats = 1;  // drop repeated channel messages (player)
inline constexpr uint32_t kSMFLoadInfoScan = 2;     // quick information scan (browser)

struct SMFImage {
  int16_t format = 0;
  int16_t numTracks = 0;       // track buffers filled, at most kMaxTracks
  int16_t SMPTEFormat = 0;     // for a SMPTE division: bits 8-14 of the division word
  int16_t division = 0;        // ticks per quarter; for SMPTE the ticks-per-frame byte
  int16_t firstTrackOffset = 0;
  int32_t fileSize = 0;
  std::vector<std::vector<uint8_t>> tracks;
  std::vector<int64_t> trackOffsets;  // where each track's bytes start in the file
  std::vector<uint32_t> trackFileLengths;  // how many of them the file holds (an end may be added)
  // What the loader could not read (a chunk cut off by the end of the file, a broken chunk
  // header after good tracks): track, byte offset, status and message of each fault.
  std::vector<Error> damage;

  void clear() { *this = SMFImage(); }
  // The image of an empty one-track file: a 4/4 signature and 120 BPM at tick 0.
  static SMFImage empty();
};

// Loads a file into an image, repairing truncated and over-long track chunks. A file that
// is damaged after its first track's data keeps what could be read: the status is then 0
// and the image's `damage` tells what was lost.
// `fileBytes` (when given) receives the bytes read, so that a caller can compare them later
// without reading the file again.
OSStatus readSMFFile(const std::string& path, SMFImage& image, std::vector<uint8_t>* fileBytes = nullptr);
// The same for bytes already in memory; `fileSize` is their length.
OSStatus readSMFBytes(std::span<const uint8_t> bytes, SMFImage& image);

}  // namespace sw
