#include "base/status.h"

#include <cerrno>

namespace sw {

std::string statusDescription(OSStatus status) {
  switch (status) {
    case noErr: return "no error";
    case dskFulErr: return "the disk is full";
    case ioErr: return "input/output error";
    case eofErr: return "the file ends too early";
    case fnfErr: return "the file does not exist";
    case wPrErr: return "the volume is write-protected";
    case dupFNErr: return "a file of that name exists";
    case paramErr: return "bad parameter";
    case permErr: return "permission denied";
    case memFullErr: return "out of memory";
    case dirNFErr: return "the folder does not exist";
    case kTextUnsupportedEncodingErr: return "the text cannot be converted";
    case kFileChangedErr: return "the file was changed by another program meanwhile";
    case kSMFTrackTooLongErr: return "the first track chunk claims more bytes than the file holds";
    case kSMFNoStatusErr: return "a data byte stands where a status byte is needed";
    case kSMFBadStatusErr: return "a status byte that cannot appear in a track";
    case kSMFNotMThdErr: return "not a Standard MIDI File (no MThd header)";
    case kSMFNotMTrkErr: return "a chunk where a track is expected is not MTrk";
    case kSMFNoTracksErr: return "the header announces no tracks";
    default: return "error " + std::to_string(status);
  }
}

OSStatus statusFromErrno(int error) {
  switch (error) {
    case 0: return noErr;
    case ENOENT: return fnfErr;
    case ENOTDIR: return dirNFErr;
    case ENOSPC:
    case EDQUOT: return dskFulErr;
    case EACCES:
    case EPERM: return permErr;
    case EROFS: return wPrErr;
    case ENOMEM: return memFullErr;
    case EINVAL: return paramErr;
    default: return ioErr;
  }
}

std::string groupedNumber(int64_t value) {
  const bool negative = value < 0;
  const uint64_t magnitude = negative ? uint64_t(0) - uint64_t(value) : uint64_t(value);
  const std::string digits = std::to_string(magnitude);
  std::string text;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i && (digits.size() - i) % 3 == 0) text += ',';
    text += digits[i];
  }
  return negative ? "-" + text : text;
}

std::string Error::where() const {
  std::string text;
  if (track >= 0) text = "track " + std::to_string(track + 1);
  if (offset >= 0) text += (text.empty() ? "byte " : ", byte ") + groupedNumber(offset);
  return text.empty() ? text : text + ": ";
}

std::string Error::toString() const {
  std::string text = path;
  if (!text.empty()) text += ": ";
  text += where();
  if (!subject.empty()) text += subject + ": ";
  text += message.empty() ? statusDescription(status) : message;
  text += " [" + std::to_string(status) + "]";
  return text;
}

}  // namespace sw
