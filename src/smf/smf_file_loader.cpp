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
  // The header's count may be wrong either way: fewer chunks end the reading quietly, and
  // track chunks beyond the count are read too.
  const int announced = std::min<int>(trackCount, kMaxTracks);
  for (int i = 0; i < kMaxTracks; ++i) {
    const size_t chunkStart = in.offset;
    uint8_t chunkHeader[8];
    if (in.read(chunkHeader, 8) < 8) {
      if (i == 0) return eofErr;
      break;
    }
    if (std::memcmp(chunkHeader, "MTrk", 4) != 0) {
      if (i == 0) return kSMFNotMTrkErr;
      // Good tracks came before: they are kept, the rest of the file is lost.
      image.damage.push_back(Error{kSMFNotMTrkErr, "",
                                   "broken chunk header where a track is expected: the rest of the file is not read",
                                   i, int64_t(chunkStart)});
      break;
    }
    size_t length = be32(chunkHeader + 4);
    const size_t remaining = in.remaining();
    bool cutOff = false;
    if (length > remaining) {
      // An over-long chunk: cut it after its first end of track when there is one.
      const uint8_t* rest = in.bytes.data() + in.offset;
      const uint8_t* found = std::search(rest, rest + remaining, kEndOfTrack, kEndOfTrack + 3);
      if (found != rest + remaining) {
        length = size_t(found - rest) + 3;
      } else {
        // Cut off by the end of the file: what is there is read.
        if (remaining == 0 && i == 0) return kSMFTrackTooLongErr;
        image.damage.push_back(Error{kSMFTrackTooLongErr, "",
                                     "chunk of " + groupedNumber(int64_t(length)) +
                                         " bytes cut off by the end of the file after " + groupedNumber(int64_t(remaining)),
                                     i, int64_t(chunkStart)});
        length = remaining;
        cutOff = true;
      }
    }
    if (cutOff && length == 0) break;  // nothing of it left
    std::vector<uint8_t> buffer;
    buffer.reserve(length + 4);
    buffer.assign(in.bytes.data() + in.offset, in.bytes.data() + in.offset + length);
    image.trackOffsets.push_back(int64_t(in.offset));
    image.trackFileLengths.push_back(uint32_t(length));
    in.offset += length;
    if (buffer.size() < 3 || !std::equal(buffer.end() - 3, buffer.end(), kEndOfTrack)) {
      const uint8_t tail[4] = {0x00, 0xFF, 0x2F, 0x00};
      buffer.insert(buffer.end(), tail, tail + 4);
    }
    image.tracks.push_back(std::move(buffer));
    if (cutOff) break;
    // Past the announced count only further track chunks are read.
    if (i + 1 >= announced && (in.remaining() < 8 || std::memcmp(in.bytes.data() + in.offset, "MTrk", 4) != 0)) break;
  }
  image.numTracks = int16_t(image.tracks.size());
  if (image.numTracks == 0) {
    image.clear();
    return eofErr;
  }
  if (image.format == 0 && image.numTracks >= 2) image.format = 1;
  return noErr;
}

}  // namespace

SMFImage SMFImage::empty() {
  SMFImage image;
  image.format = 0;
  image.numTracks = 1;
  image.division = 480;
  image.firstTrackOffset = 14;
  image.trackOffsets.push_back(22);
  image.trackFileLengths.push_back(19);
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

OSStatus readSMFFile(const std::string& path, SMFImage& image, std::vector<uint8_t>* fileBytes) {
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
  status = readSMFBytes(bytes, image);
  if (fileBytes) *fileBytes = std::move(bytes);
  return status;
}

}  // namespace sw
