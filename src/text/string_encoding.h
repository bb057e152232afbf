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

// The number of an encoding known by its code-page constant: the classic number for the
// encodings that have one (Mac Roman 0 gives 30, ISO Latin 1 0x0201 gives 5, UTF-8 0x08000100
// gives 4, ...), otherwise 0x80000000 | the constant.
constexpr StringEncoding encodingFromCodePage(uint32_t codePage) {
  switch (codePage) {
    case 0x0600: return 1;        // ASCII
    case 0x0B01: return 2;        // NeXTSTEP
    case 0x0920: return 3;        // EUC-JP
    case 0x08000100: return 4;    // UTF-8
    case 0x0201: return 5;        // ISO Latin 1
    case 0x0021: return 6;        // Mac Symbol
    case 0x0BFF: return 7;        // non-lossy ASCII
    case 0x0420: return 8;        // DOS Japanese (Windows Shift JIS)
    case 0x0202: return 9;        // ISO Latin 2
    case 0x0100: return 10;       // UTF-16 with byte-order mark
    case 0x0502: return 11;       // Windows Cyrillic
    case 0x0500: return 12;       // Windows Latin 1
    case 0x0503: return 13;       // Windows Greek
    case 0x0504: return 14;       // Windows Latin 5
    case 0x0501: return 15;       // Windows Latin 2
    case 0x0820: return 21;       // ISO 2022-JP
    case 0x0000: return 30;       // Mac Roman
    default: return 0x80000000u | codePage;
  }
}

// The inverse: the code-page constant of an encoding number.
constexpr uint32_t codePageFromEncoding(StringEncoding encoding) {
  switch (encoding) {
    case 1: return 0x0600;
    case 2: return 0x0B01;
    case 3: return 0x0920;
    case 4: return 0x08000100;
    case 5: return 0x0201;
    case 6: return 0x0021;
    case 7: return 0x0BFF;
    case 8: return 0x0420;
    case 9: return 0x0202;
    case 10: return 0x0100;
    case 11: return 0x0502;
    case 12: return 0x0500;
    case 13: return 0x0503;
    case 14: return 0x0504;
    case 15: return 0x0501;
    case 21: return 0x0820;
    case 30: return 0x0000;
    default: return encoding & 0x7FFFFFFFu;
  }
}

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
  kGBKStringEncoding = encodingFromCodePage(0x0631),
  kWindowsCP1255StringEncoding = encodingFromCodePage(0x0505),
  kWindowsCP1256StringEncoding = encodingFromCodePage(0x0506),
  kWindowsCP1257StringEncoding = encodingFromCodePage(0x0507),
  kWindowsCP1258StringEncoding = encodingFromCodePage(0x0508),
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

// The Unicode encodings other than UTF-8: the UTF-16 and UTF-32 forms (code-page constants
// whose low 12 bits are 0x100).
bool isUnicodeEncoding(StringEncoding encoding);

// NO for the UTF-16 and UTF-32 forms, YES for every other encoding (UTF-8 and multi-byte
// code pages included).
bool is8BitEncoding(StringEncoding encoding);

}  // namespace sw
