// Loading a file into an SMFImage: the header, then one buffer per track chunk, repairing
// over-long and truncated chunks on the way.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>
#include <new>

#include "base/log.h"
#include "smf/smf_image.h"

namespace sw {

namespace {

uint32_t be32(const uint8_t* p) { return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3]; }
uint16_t be16(const uint8_t* p) { return uint16_t((p[0] << 8) | p[1]); }

const uint8_t kEndOfTrack[3] = {0xFF, 0x2F, 0x00};

// A source of bytes with a read offset: the whole file already in memory.
struct ByteSource {
  std::span<const uint8_t> bytes;
  size_t offset = 0;
  size_t remaining() const { return bytes.size() - offset; }
  size_t read(uint8_t* out, size_t count) {
    count = std::min(count, remaining());
    if (count) std::memcpy(out, bytes.data() + offset, count);
    offset += count;
    return count;
  }
};

OSStatus loadImage(ByteSource& in, SMFImage& image) {
  image.clear();
  image.fileSize = int32_t(std::min<size_t>(in.bytes.size(), INT32_MAX));

  uint8_t header[14];
  if (in.read(header, 14) < 14) return eofErr;
  if (std::memcmp(header, "MThd", 4) != 0) return kSMFNotMThdErr;
  int16_t format = int16_t(be16(header + 8));
  int16_t trackCount = int16_t(be16(header + 10));
  uint16_t divisionWord = be16(header + 12);
  if (trackCount == 0) return kSMFNoTracksErr;
  if (trackCount < 0) return eofErr;
  image.firstTrackOffset = int16_t(be32(header + 4) + 8);
  image.format = (format == 0 && trackCount >= 2) ? int16_t(1) : format;
  if (divisionWord & 0x8000) {
    image.SMPTEFormat = int16_t((divisionWord >> 8) & 0x7F);
    image.division = int16_t(divisionWord & 0xFF);
  } else {
    image.SMPTEFormat = 0;
    image.division = int16_t(divisionWord);
  }
  int count = std::min<int>(trackCount, kMaxTracks);

  for (int i = 0; i < count; ++i) {
    uint8_t chunkHeader[8];
    if (in.read(chunkHeader, 8) < 8) {
      if (i == 0) return eofErr;
      count = i;
      break;
    }
    if (std::memcmp(chunkHeader, "MTrk", 4) != 0) return kSMFNotMTrkErr;
    size_t length = be32(chunkHeader + 4);
    size_t remaining = in.remaining();
    bool lastChunk = false;
    if (length > remaining) {
      if (i == 0) return kSMFTrackTooLongErr;
      // An over-long chunk: cut it after its first end of track when there is one.
      const uint8_t* rest = in.bytes.data() + in.offset;
      const uint8_t* found = std::search(rest, rest + remaining, kEndOfTrack, kEndOfTrack + 3);
      size_t p = size_t(found - rest);
      if (found != rest + remaining && p + 3 <= remaining) {
        length = p + 3;
      } else {
        // No end of track before the end of the file: this chunk does not count.
        length = remaining;
        count = i;
        lastChunk = true;
      }
    }
    std::vector<uint8_t> buffer;
    buffer.reserve(length + 4);
    const size_t taken = std::min(length, in.remaining());
    buffer.assign(in.bytes.data() + in.offset, in.bytes.data() + in.offset + taken);
    in.offset += taken;
    if (buffer.size() < 3 || !std::equal(buffer.end() - 3, buffer.end(), kEndOfTrack)) {
      const uint8_t tail[4] = {0x00, 0xFF, 0x2F, 0x00};
      buffer.insert(buffer.end(), tail, tail + 4);
    }
    if (!lastChunk) image.tracks.push_back(std::move(buffer));
    if (lastChunk || i + 1 >= count) break;
  }
  image.numTracks = int16_t(image.tracks.size());
  if (image.numTracks == 0) {
    image.clear();
    return eofErr;
  }
  return noErr;
}

}  // namespace

SMFImage SMFImage::empty() {
  SMFImage image;
  image.format = 0;
  image.numTracks = 1;
  image.division = 480;
  image.firstTrackOffset = 14;
  image.tracks.push_back({0x00, 0xFF, 0x58, 0x04, 0x04, 0x02, 0x18, 0x08, 0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1,
                          0x20, 0x00, 0xFF, 0x2F, 0x00});
  image.fileSize = 14 + 8 + 19;
  return image;
}

OSStatus readSMFBytes(std::span<const uint8_t> bytes, SMFImage& image) {
  try {
    ByteSource source{bytes, 0};
    OSStatus status = loadImage(source, image);
    if (status != noErr) image.clear();
    return status;
  } catch (const std::bad_alloc&) {
    image.clear();
    return memFullErr;
  } catch (const std::exception& e) {
    logMessage(e.what());
    image.clear();
    return ioErr;
  }
}

OSStatus readSMFFile(const std::string& path, SMFImage& image) {
  image.clear();
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return errno == ENOENT || errno == ENOTDIR ? fnfErr : statusFromErrno(errno);
  // Only regular files: a FIFO or a device would block or never end.
  if (!S_ISREG(info.st_mode)) return paramErr;
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return statusFromErrno(errno);
  std::vector<uint8_t> bytes;
  OSStatus status = noErr;
  try {
    // One read for the whole file: the chunks are then cut from memory.
    size_t size = info.st_size > 0 ? size_t(info.st_size) : 0;
    bytes.resize(size);
    size_t done = 0;
    while (done < bytes.size()) {
      ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
      if (n < 0) {
        if (errno == EINTR) continue;
        status = statusFromErrno(errno);
        break;
      }
      if (n == 0) break;
      done += size_t(n);
    }
    bytes.resize(done);
  } catch (const std::bad_alloc&) {
    status = memFullErr;
  }
  ::close(fd);
  if (status != noErr) return status;
  return readSMFBytes(bytes, image);
}

}  // namespace sw
