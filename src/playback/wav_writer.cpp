#include "playback/wav_writer.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

namespace sw {

namespace {

constexpr uint64_t kMaxDataBytes = 0xFFFFFFFFull - 36;

void put16(std::string& out, uint16_t value) {
  out += char(value & 0xFF);
  out += char(value >> 8);
}
void put32(std::string& out, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out += char((value >> shift) & 0xFF);
}

// The process's file-creation mask, read without changing it.
mode_t currentUmask() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("Umask:", 0) == 0) return mode_t(std::strtoul(line.c_str() + 6, nullptr, 8));
  return 022;
}

}  // namespace

std::string WavWriter::header(uint32_t sampleRate, uint16_t channels, Format format, uint32_t dataBytes) {
  const uint16_t bytesPerSample = format == Format::PCM16 ? 2 : 4;
  std::string out = "RIFF";
  put32(out, 36 + dataBytes);
  out += "WAVEfmt ";
  put32(out, 16);
  put16(out, format == Format::PCM16 ? 1 : 3);
  put16(out, channels);
  put32(out, sampleRate);
  put32(out, sampleRate * channels * bytesPerSample);
  put16(out, uint16_t(channels * bytesPerSample));
  put16(out, uint16_t(bytesPerSample * 8));
  out += "data";
  put32(out, dataBytes);
  return out;
}

WavWriter::~WavWriter() { abandon(); }

OSStatus WavWriter::open(const std::string& path, uint32_t sampleRate, uint16_t channels, Format format) {
  abandon();
  if (path.empty() || sampleRate == 0 || channels == 0 || channels > 2) return paramErr;
  std::error_code error;
  if (std::filesystem::is_directory(path, error)) return paramErr;
  std::string folder = std::filesystem::path(path).parent_path().string();
  if (folder.empty()) folder = ".";
  std::string pattern = folder + "/." + std::filesystem::path(path).filename().string() + ".XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  int fd = mkstemp(name.data());
  if (fd < 0) return statusFromErrno(errno);
  file_ = fdopen(fd, "wb");
  if (!file_) {
    OSStatus status = statusFromErrno(errno);
    ::close(fd);
    ::unlink(name.data());
    return status;
  }
  fchmod(fd, 0666 & ~currentUmask());  // mkstemp made it 0600
  path_ = path;
  tempPath_ = name.data();
  sampleRate_ = sampleRate;
  channels_ = channels;
  format_ = format;
  frames_ = 0;
  dataBytes_ = 0;
  const std::string head = header(sampleRate, channels, format, 0);
  if (std::fwrite(head.data(), 1, head.size(), file_) != head.size()) {
    OSStatus status = statusFromErrno(errno);
    abandon();
    return status;
  }
  return noErr;
}

OSStatus WavWriter::writeStereo(const float* left, const float* right, size_t frames) {
  if (!file_) return paramErr;
  if (!left || !right) return paramErr;
  const size_t bytesPerFrame = size_t(channels_) * (format_ == Format::PCM16 ? 2 : 4);
  if (dataBytes_ + frames * bytesPerFrame > kMaxDataBytes) return dskFulErr;  // the format's 4 GB limit
  std::vector<uint8_t> buffer(frames * bytesPerFrame);
  uint8_t* out = buffer.data();
  auto emit = [&](float sample) {
    if (!std::isfinite(sample)) sample = 0;
    if (format_ == Format::PCM16) {
      auto value = int16_t(std::lrint(std::clamp(sample, -1.0f, 1.0f) * 32767.0f));
      *out++ = uint8_t(uint16_t(value) & 0xFF);
      *out++ = uint8_t(uint16_t(value) >> 8);
    } else {
      uint32_t bits;
      std::memcpy(&bits, &sample, 4);
      for (int shift = 0; shift < 32; shift += 8) *out++ = uint8_t((bits >> shift) & 0xFF);
    }
  };
  for (size_t i = 0; i < frames; ++i) {
    if (channels_ == 1) {
      emit(0.5f * (left[i] + right[i]));
    } else {
      emit(left[i]);
      emit(right[i]);
    }
  }
  if (std::fwrite(buffer.data(), 1, buffer.size(), file_) != buffer.size()) return statusFromErrno(errno);
  frames_ += frames;
  dataBytes_ += buffer.size();
  return noErr;
}

OSStatus WavWriter::finish() {
  if (!file_) return paramErr;
  const std::string head = header(sampleRate_, channels_, format_, uint32_t(dataBytes_));
  OSStatus status = noErr;
  if (std::fseek(file_, 0, SEEK_SET) != 0 || std::fwrite(head.data(), 1, head.size(), file_) != head.size() ||
      std::fflush(file_) != 0 || fsync(fileno(file_)) != 0)
    status = statusFromErrno(errno ? errno : EIO);
  if (std::fclose(file_) != 0 && status == noErr) status = statusFromErrno(errno);
  file_ = nullptr;
  if (status == noErr && std::rename(tempPath_.c_str(), path_.c_str()) != 0) status = statusFromErrno(errno);
  if (status != noErr) ::unlink(tempPath_.c_str());
  tempPath_.clear();
  return status;
}

void WavWriter::abandon() {
  if (!file_) return;
  std::fclose(file_);
  file_ = nullptr;
  ::unlink(tempPath_.c_str());
  tempPath_.clear();
}

}  // namespace sw
