// What decoding found in one system-exclusive message, and a bounds-checked view of its
// bytes. The GS parameter readers fill the same record as the core decoder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>

namespace sw {

// Where editable text characters stand in the event data; location 0 means none.
struct TextRange {
  uint32_t location = 0;
  uint32_t length = 0;
};

struct SysexFields {
  std::string type;  // the kind of message; empty when not recognised
  std::string text;  // the value or text carried, as shown; empty when none
  TextRange textRange;
  uint32_t fixedTextLength = 0;  // edited text is padded with tabs or cut to this length
  uint32_t maxTextLength = 0;    // without a fixed length: edited text is cut to this length
  uint32_t byteValueOffset = 0;  // position of a single editable value byte; 0 means none
  int32_t byteValueMin = 0;
  int32_t byteValueMax = 0;
  int32_t byteValueBias = 0;  // stored byte = typed value + bias (values shown off-centre)
  bool xgChord = false;       // root and type bytes at positions 5 and 6 are editable
  bool carriesCharacters = false;  // the text is characters of the message (a name), not a value

  void clear() { *this = SysexFields(); }
};

// Read-only view of event data where every read is checked: a position past the end reads
// as -1, which never equals a byte.
class SysexBytes {
 public:
  SysexBytes(const uint8_t* bytes, size_t size) : bytes_(bytes), size_(size) {}

  int at(size_t position) const { return position < size_ ? bytes_[position] : -1; }
  bool matches(size_t position, std::initializer_list<uint8_t> expected) const {
    for (uint8_t b : expected)
      if (at(position++) != b) return false;
    return true;
  }
  size_t size() const { return size_; }
  const uint8_t* bytes() const { return bytes_; }

 private:
  const uint8_t* bytes_;
  size_t size_;
};

}  // namespace sw
