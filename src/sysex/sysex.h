// One system-exclusive event decoded: who sent it, what kind of message it is and the value
// or text it carries; in-place editing of that value with the length and the Roland checksum
// kept right; and the exact recognition and building of reset and master-volume messages.
//
// Event data is F0, a variable-length quantity counting the bytes that follow, those bytes
// ending with F7. MIDI data is the message as sent: F0 ... F7 without the length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/four_char_code.h"
#include "sysex/sysex_fields.h"
#include "sysex/sysex_text_codec.h"
#include "sysex/xg_chord.h"

namespace sw {

class MidiEvent;

class Sysex {
 public:
  enum class ChecksumState {
    NotApplicable,  // not a Roland message, or nothing decoded
    TooShort,       // a Roland message too short to hold address, data and checksum
    Correct,
    Wrong,  // the data given had a wrong checksum; data() holds the corrected one
  };
  enum class MasterVolumeKind { Universal, GS };
  struct MasterVolume {
    MasterVolumeKind kind;
    uint8_t value;
  };

  // An empty object; setData() gives it a message.
  Sysex() = default;
  // Texts carried by the message are decoded with `codec` (ISO Latin 1 without one).
  explicit Sysex(const std::vector<uint8_t>& eventData, SysexTextCodec codec = {});
  Sysex(const uint8_t* bytes, size_t length, SysexTextCodec codec = {});
  // The data of a sysex event; a non-sysex event gives an empty object.
  static Sysex fromEvent(const MidiEvent& event, SysexTextCodec codec = {});

  // Decodes new event data and corrects its Roland checksum. Data that does not begin with
  // F0 and end with F7 is ignored: the previous decoding stays.
  void setData(const std::vector<uint8_t>& eventData);
  void setData(const uint8_t* bytes, size_t length);
  const std::vector<uint8_t>& data() const { return data_; }
  // The message as sent (the length quantity removed), and the reverse.
  std::vector<uint8_t> MIDIData() const;
  void setMIDIData(const uint8_t* bytes, size_t length);
  void setMIDIData(const std::vector<uint8_t>& message) { setMIDIData(message.data(), message.size()); }

  // Decodes the carried text again with another codec.
  void setTextCodec(SysexTextCodec codec);

  // The one-byte manufacturer ID, or the 16-bit extended ID when the one-byte ID is 0.
  uint16_t ID() const { return sID_ ? sID_ : extendedID_; }
  uint8_t sID() const { return sID_; }
  uint16_t extendedID() const { return extendedID_; }
  bool hasID() const { return hasID_; }

  const std::string& manufacturer() const { return manufacturer_; }
  const std::string& type() const { return fields_.type; }
  const std::string& text() const { return fields_.text; }
  // The raw bytes of the editable text, before decoding; empty when there is none.
  std::string_view textBytes() const;
  TextRange textRange() const { return fields_.textRange; }
  const SysexFields& fields() const { return fields_; }

  uint64_t sysexLen() const { return data_.size(); }
  uint32_t dataLen() const { return dataLen_; }  // the value of the length quantity
  uint32_t VLQLen() const { return VLQLen_; }    // the size of the length quantity
  // The length quantity is unreadable or disagrees with the data size, or a byte other than
  // a text character has its top bit set.
  bool isMalformed() const { return malformed_; }
  ChecksumState checksumState() const { return checksumState_; }

  bool canSetText() const;
  bool validateSetText(const std::string& text) const;
  // Rewrites the carried text or value, the length and the checksum. Returns false and
  // changes nothing when the text is refused (see validateSetText) or cannot be encoded.
  bool setText(const std::string& text);

  // Corrects the Roland checksum in data(); true when a byte changed.
  bool computeCheckSum();
  // The same on event data in place; true when a byte changed.
  static bool computeCheckSum(std::vector<uint8_t>& eventData);
  static bool computeCheckSum(MidiEvent& event);

  static bool processXGChord(const std::string& name, XGChordBytes* result) { return XGChord::parse(name, result); }

  // Exact recognitions on event data (F0, one-byte length, bytes) or on MIDI data (F0,
  // bytes). resetType answers fourCC("GM  "), fourCC("GS  "), fourCC("XG  ") or 0.
  static FourCharCode resetType(const uint8_t* bytes, size_t length);
  static FourCharCode resetType(const std::vector<uint8_t>& bytes) { return resetType(bytes.data(), bytes.size()); }
  static std::optional<MasterVolume> masterVolume(const uint8_t* bytes, size_t length);
  static std::optional<MasterVolume> masterVolume(const std::vector<uint8_t>& bytes) {
    return masterVolume(bytes.data(), bytes.size());
  }

  // Event data of the GM System On, GS reset or XG System On message; empty for another code.
  static std::vector<uint8_t> resetEventData(FourCharCode kind);
  // Event data of a master volume message (the value is cut to 127); the GS form carries its
  // checksum.
  static std::vector<uint8_t> masterVolumeEventData(uint8_t value,
                                                    MasterVolumeKind kind = MasterVolumeKind::Universal);
  // Conversions between the two forms, for any length.
  static std::vector<uint8_t> eventDataFromMIDIData(const uint8_t* bytes, size_t length);
  static std::vector<uint8_t> MIDIDataFromEventData(const uint8_t* bytes, size_t length);

 private:
  void processSysex(const uint8_t* bytes, size_t length);
  void decodeOneByteID(const SysexBytes& bytes, size_t shift);
  void decodeThreeByteID(const SysexBytes& bytes, size_t shift);
  void finishText();
  void checkDataBytes();
  ChecksumState checksum(uint8_t* expected) const;
  std::optional<std::vector<uint8_t>> replacedText(const std::string& text) const;

  std::vector<uint8_t> data_;
  SysexTextCodec codec_;
  SysexFields fields_;
  std::string manufacturer_;
  uint32_t dataLen_ = 0;
  uint32_t VLQLen_ = 0;
  uint16_t extendedID_ = 0;
  uint8_t sID_ = 0;
  bool hasID_ = false;
  bool malformed_ = false;
  ChecksumState checksumState_ = ChecksumState::NotApplicable;
};

}  // namespace sw
