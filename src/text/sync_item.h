// Sync items: one piece of lyrics or one chord name with the time at which it is sung or
// played. A DSyncItem holds the bytes as they stand in a MIDI file, a TSyncItem the decoded
// UTF-8 text. Both are plain copyable values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/settings_store.h"
#include "text/string_encoding.h"

namespace sw {

class TSyncItem;

class SyncItem {
 public:
  // Ticks from the start of the song, or milliseconds where no time map applies.
  int32_t delay() const { return delay_; }
  void setDelay(int32_t delay) { delay_ = delay; }
  bool isChord() const { return isChord_; }
  void setIsChord(bool isChord) { isChord_ = isChord; }

 protected:
  SyncItem() = default;
  explicit SyncItem(int32_t delay) : delay_(delay) {}
  // "[%.6d] %@ %s" of the delay, the text with its line breaks made visible, and the kind.
  std::string describe(std::string_view text, bool eol) const;

  int32_t delay_ = 0;
  bool isChord_ = false;
};

class DSyncItem : public SyncItem {
 public:
  DSyncItem() = default;
  DSyncItem(std::string data, int32_t delay);
  DSyncItem(const void* bytes, size_t length, int32_t delay);
  // The text converted (lossy) to the encoding, which must be an 8-bit one (AssertionFailure
  // otherwise); a CR is appended when the text item ends a line.
  DSyncItem(const TSyncItem& item, StringEncoding encoding);
  // A length byte followed by the bytes; the length is cut to the bytes present.
  static DSyncItem withPascalString(std::string_view buffer, int32_t delay);
  // The bytes up to the terminating NUL; a null pointer gives empty data.
  static DSyncItem withCString(const char* text, int32_t delay);

  const std::string& data() const { return data_; }
  // Stores the bytes without one trailing NUL byte.
  void setData(std::string data);

  // The data ends with CR or LF.
  bool EOL() const;
  // YES appends one CR, NO removes the last byte; nothing happens when the value matches.
  void setEOL(bool eol);
  // Every byte is CR, LF or space (empty data included).
  bool empty() const;

  std::string description() const;

 private:
  std::string data_;
};

class TSyncItem : public SyncItem {
 public:
  TSyncItem() = default;
  // The delay, then setText(text): a trailing line break becomes EOL.
  TSyncItem(std::string text, int32_t delay);
  // The bytes decoded with the encoding; when they do not decode as a whole, byte by byte
  // with "?" for each byte that does not decode alone.
  TSyncItem(const DSyncItem& item, StringEncoding encoding);

  const std::string& text() const { return text_; }
  // Ill-formed UTF-8 is stored as U+FFFD. With processEOL, EOL is cleared and then set again
  // when the text ends with a newline character (or CR LF), which is cut off.
  void setText(std::string text, bool processEOL = true);
  bool EOL() const { return eol_; }
  void setEOL(bool eol) { eol_ = eol; }

  // Archive with the keys "text", "delay", "EOL" and "isChord".
  SettingValue::Dictionary archive() const;
  // Reads "delay", then "text" through setText, then "EOL" and "isChord", each only when the
  // archive holds it with a usable type.
  static TSyncItem unarchive(const SettingValue::Dictionary& archive);

  std::string description() const;

 private:
  std::string text_;
  bool eol_ = false;
};

}  // namespace sw
