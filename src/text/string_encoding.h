// Text encodings by number. The numbers are the string-encoding numbers that stored settings
// and extended attributes already hold: the classic named ones (UTF-8 4, ISO Latin 1 5, ...)
// and, for every other encoding, 0x80000000 | its code-page constant (DOS Latin US
// 0x80000400, Shift JIS 0x80000A01, ...). Conversion goes through ICU; an encoding whose
// ICU converter does not open on this machine is not supported.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace sw {

using StringEncoding = uint32_t;

// The value of no encoding (also the tag of menu items that are not encodings).
constexpr StringEncoding kNoEncoding = 0xFFFFFFFF;

// The number of an encoding known by its code-page constant.
constexpr StringEncoding encodingFromCodePage(uint32_t codePage) { return 0x80000000u | codePage; }

enum : StringEncoding {
  kASCIIStringEncoding = 1,
  kJapaneseEUCStringEncoding = 3,
  kUTF8StringEncoding = 4,
  kISOLatin1StringEncoding = 5,
  kSymbolStringEncoding = 6,
  kShiftJISStringEncoding = 8,  // the Windows form (code page 932)
  kISOLatin2StringEncoding = 9,
  kUnicodeStringEncoding = 10,  // UTF-16, with a byte-order mark
  kWindowsCP1251StringEncoding = 11,
  kWindowsCP1252StringEncoding = 12,
  kWindowsCP1253StringEncoding = 13,
  kWindowsCP1254StringEncoding = 14,
  kWindowsCP1250StringEncoding = 15,
  kISO2022JPStringEncoding = 21,
  kMacOSRomanStringEncoding = 30,
  kUTF16BigEndianStringEncoding = 0x90000100,
  kUTF16LittleEndianStringEncoding = 0x94000100,
  kUTF32StringEncoding = 0x8c000100,
  kUTF32BigEndianStringEncoding = 0x98000100,
  kUTF32LittleEndianStringEncoding = 0x9c000100,

  kDOSLatinUSStringEncoding = encodingFromCodePage(0x0400),
  kGB18030StringEncoding = encodingFromCodePage(0x0632),
  kBig5StringEncoding = encodingFromCodePage(0x0A03),
  kEUCKRStringEncoding = encodingFromCodePage(0x0940),
  kKOI8RStringEncoding = encodingFromCodePage(0x0A02),
  kShiftJISPlainStringEncoding = encodingFromCodePage(0x0A01),  // Shift JIS proper
};

struct EncodingInfo {
  StringEncoding encoding;
  const char* converterName;  // ICU converter name
  const char* displayName;    // English name for menus and listings
};

// Every supported encoding (its converter opens here), in table order.
const std::vector<EncodingInfo>& supportedEncodings();
bool isSupportedEncoding(StringEncoding encoding);
// The table entry of a supported encoding, or nullptr.
const EncodingInfo* encodingInfo(StringEncoding encoding);

// The display name, e.g. "Japanese (Shift JIS)"; "" for an unsupported encoding.
std::string nameOfEncoding(StringEncoding encoding);

// The encoding a user named on the command line: a number (decimal or 0x hex), a display name
// or an ICU/IANA name or alias ("shift_jis", "cp1251", "utf-8", "latin1"), case-insensitive.
// kNoEncoding when the text names no supported encoding.
StringEncoding encodingFromName(std::string_view text);

// NO for the UTF-16 and UTF-32 forms, YES for every other encoding (UTF-8 and multi-byte
// code pages included).
bool is8BitEncoding(StringEncoding encoding);

}  // namespace sw
