// What `info` and the desktop's information panel show of one file: its information record,
// its diagnosis and its texts decoded in its encoding, all from one reading of the file.
// Front ends print these values; they compute none of their own.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/status.h"
#include "library/file_text_encoding.h"
#include "text/sequence_info.h"

namespace sw {

// One defect the diagnosis can find: its text key and the letter a table shows for it.
struct DiagnosisDefect {
  const char* key;
  char letter;
};
// In the order of the diagnosis.
std::span<const DiagnosisDefect> diagnosisDefects();

struct FileInformation {
  std::string path;
  // The reader's status. When `readable` is false the file is not a Standard MIDI File that
  // reads, and nothing below is filled.
  OSStatus status = noErr;
  bool readable = false;
  // Nonzero when the file stops part way: what was read is shown.
  OSStatus scanStatus = noErr;

  SequenceInfo record{};
  int format = 0;  // 0 below two tracks, else 1, as the browser shows it
  int tracks = 0;
  int division = 0;
  int SMPTEFormat = 0;  // 0 for ticks per quarter note, else the frames per second code
  uint32_t durationMSecs = 0;
  std::string duration;  // "m:ss", seconds cut
  int tempo = 120;       // beats per minute of the first tempo before the first note
  std::string karaokeType;          // "SK", "T1"... without the padding; "" for none
  std::vector<std::string> resets;  // "GM", "GS", "XG" as found
  bool hasChords = false;
  bool utf8 = false;

  FileTextEncoding encoding;
  std::string sequenceName, title, author, copyright, genre, composer;  // UTF-8
  std::string type, creator;                                         // four-character codes
  std::vector<const DiagnosisDefect*> defects;                       // in diagnosis order
  std::string bugExplanation;
  std::vector<Error> damage;  // what could not be read: track, byte offset, fault
};

// Reads the file once: the record, the diagnosis and the guess of its texts' encoding. The
// texts are decoded in the given encoding, else as file_text_encoding.h resolves it.
FileInformation fileInformation(const std::string& path, std::optional<StringEncoding> given = std::nullopt);

}  // namespace sw
