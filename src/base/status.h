// Status codes shared by every layer: 0 for success, the classic negative codes, and the
// codes of the MIDI file reader.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sw {

using OSStatus = int32_t;

enum : OSStatus {
  noErr = 0,
  dskFulErr = -34,
  ioErr = -36,
  eofErr = -39,
  fnfErr = -43,
  wPrErr = -44,
  dupFNErr = -48,  // a file of that name exists
  paramErr = -50,
  permErr = -54,
  memFullErr = -108,
  dirNFErr = -120,
  kTextUnsupportedEncodingErr = -8738,  // text cannot be converted
  kFileChangedErr = -19970,  // the file changed on disk since it was read (this project's own code)

  // Standard MIDI File reader
  kSMFTrackTooLongErr = -19986,
  kSMFNoStatusErr = -19989,
  kSMFBadStatusErr = -19990,
  kSMFNotMThdErr = -19991,
  kSMFNotMTrkErr = -19992,
  kSMFNoTracksErr = -19993,
  kSMFEndOfTracks = -19998,  // internal to the sequence builder, never returned
};

// A short English text for a status code, for messages on the command line and in logs.
std::string statusDescription(OSStatus status);

// Maps an errno value from a failed system call to the closest status code.
OSStatus statusFromErrno(int error);

// An error as a value: the status, the file it concerns and a short message, and for a fault
// inside a file, where it lies. Every runtime failure of the engine is one of these.
struct Error {
  OSStatus status = noErr;
  std::string path;
  std::string message;
  int track = -1;       // the track it concerns, counted from 0 as everywhere in the engine; -1: none
  int64_t offset = -1;  // byte offset in the file; -1: none
  std::string subject{};  // the named thing inside the file it concerns (an attribute, a key); empty: none
  int code = 0;         // the errno value or a module's own code behind the status; 0: none
  std::vector<Error> underlying{};  // one per item for an operation on several that failed for some

  explicit operator bool() const { return status != noErr; }
  // "track 3, byte 1,204: " (the track counted from 1, as users see it), or what of it is set;
  // empty when neither is.
  std::string where() const;
  // "path: track 3, byte 1,204: subject: message [status]"
  std::string toString() const;
};

// A number with a comma between groups of three digits: 1,204.
std::string groupedNumber(int64_t value);

}  // namespace sw
