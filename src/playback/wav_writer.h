// A RIFF WAVE file written as it is produced: 16-bit PCM or 32-bit float, interleaved. The
// samples go to a temporary file beside the target, renamed over it by finish(), so a failed
// or abandoned render never leaves a damaged file under the target's name.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "base/status.h"

namespace sw {

class WavWriter {
 public:
  enum class Format { PCM16, Float32 };

  WavWriter() = default;
  ~WavWriter();  // abandons an unfinished file
  WavWriter(const WavWriter&) = delete;
  WavWriter& operator=(const WavWriter&) = delete;

  OSStatus open(const std::string& path, uint32_t sampleRate, uint16_t channels = 2, Format format = Format::PCM16);
  // `frames` frames of one buffer per channel (two channels: left, right); floats are
  // clipped to -1..1 for 16-bit output.
  OSStatus writeStereo(const float* left, const float* right, size_t frames);
  OSStatus finish();
  void abandon();

  uint64_t framesWritten() const { return frames_; }
  bool isOpen() const { return file_ != nullptr; }

  // The 44-byte header for `dataBytes` bytes of samples.
  static std::string header(uint32_t sampleRate, uint16_t channels, Format format, uint32_t dataBytes);

 private:
  std::FILE* file_ = nullptr;
  std::string path_, tempPath_;
  uint32_t sampleRate_ = 0;
  uint16_t channels_ = 2;
  Format format_ = Format::PCM16;
  uint64_t frames_ = 0;
  uint64_t dataBytes_ = 0;
};

}  // namespace sw
