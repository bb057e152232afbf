#include "text/string_encoding.h"

#include <unicode/ucnv.h>

#include <algorithm>
#include <cctype>
#include <charconv>

namespace sw {

namespace {

constexpr StringEncoding cp(uint32_t codePage) { return encodingFromCodePage(codePage); }

// Number, ICU converter, display name. Where two numbers share a converter, the first entry
// is the one an ICU alias resolves to.
constexpr EncodingInfo kEncodingTable[] = {
    // Unicode
    {kUTF8StringEncoding, "UTF-8", "Unicode (UTF-8)"},
    {kUnicodeStringEncoding, "UTF-16", "Unicode (UTF-16)"},
    {kUTF16BigEndianStringEncoding, "UTF-16BE", "Unicode (UTF-16BE)"},
    {kUTF16LittleEndianStringEncoding, "UTF-16LE", "Unicode (UTF-16LE)"},
    {kUTF32StringEncoding, "UTF-32", "Unicode (UTF-32)"},
    {kUTF32BigEndianStringEncoding, "UTF-32BE", "Unicode (UTF-32BE)"},
    {kUTF32LittleEndianStringEncoding, "UTF-32LE", "Unicode (UTF-32LE)"},

    // Western and the ISO 8859 family
    {kASCIIStringEncoding, "US-ASCII", "Western (ASCII)"},
    {kISOLatin1StringEncoding, "ISO-8859-1", "Western (ISO Latin 1)"},
    {kISOLatin2StringEncoding, "ISO-8859-2", "Central European (ISO Latin 2)"},
    {cp(0x0203), "ISO-8859-3", "Western (ISO Latin 3)"},
    {cp(0x0204), "ISO-8859-4", "Central European (ISO Latin 4)"},
    {cp(0x0205), "ISO-8859-5", "Cyrillic (ISO 8859-5)"},
    {cp(0x0206), "ISO-8859-6", "Arabic (ISO 8859-6)"},
    {cp(0x0207), "ISO-8859-7", "Greek (ISO 8859-7)"},
    {cp(0x0208), "ISO-8859-8", "Hebrew (ISO 8859-8)"},
    {cp(0x0209), "ISO-8859-9", "Turkish (ISO Latin 5)"},
    {cp(0x020A), "ISO-8859-10", "Nordic (ISO Latin 6)"},
    {cp(0x020B), "ISO-8859-11", "Thai (ISO 8859-11)"},
    {cp(0x020D), "ISO-8859-13", "Baltic (ISO Latin 7)"},
    {cp(0x020E), "ISO-8859-14", "Celtic (ISO Latin 8)"},
    {cp(0x020F), "ISO-8859-15", "Western (ISO Latin 9)"},
    {cp(0x0210), "ISO-8859-16", "Romanian (ISO Latin 10)"},

    // Windows
    {kWindowsCP1252StringEncoding, "windows-1252", "Western (Windows Latin 1)"},
    {kWindowsCP1250StringEncoding, "windows-1250", "Central European (Windows Latin 2)"},
    {kWindowsCP1251StringEncoding, "windows-1251", "Cyrillic (Windows)"},
    {kWindowsCP1253StringEncoding, "windows-1253", "Greek (Windows)"},
    {kWindowsCP1254StringEncoding, "windows-1254", "Turkish (Windows Latin 5)"},
    {kWindowsCP1255StringEncoding, "windows-1255", "Hebrew (Windows)"},
    {kWindowsCP1256StringEncoding, "windows-1256", "Arabic (Windows)"},
    {kWindowsCP1257StringEncoding, "windows-1257", "Baltic (Windows)"},
    {kWindowsCP1258StringEncoding, "windows-1258", "Vietnamese (Windows)"},

    // Mac OS
    {kMacOSRomanStringEncoding, "macintosh", "Western (Mac OS Roman)"},
    {cp(0x0006), "x-mac-greek", "Greek (Mac OS)"},
    {cp(0x0007), "x-mac-cyrillic", "Cyrillic (Mac OS)"},
    {cp(0x001D), "x-mac-centraleurroman", "Central European (Mac OS)"},
    {cp(0x0023), "x-mac-turkish", "Turkish (Mac OS)"},

    // DOS code pages
    {kDOSLatinUSStringEncoding, "ibm-437", "Latin-US (DOS)"},
    {cp(0x0405), "ibm-737", "Greek (DOS)"},
    {cp(0x0406), "ibm-775", "Baltic (DOS)"},
    {cp(0x0410), "ibm-850", "Western (DOS Latin 1)"},
    {cp(0x0411), "ibm-851", "Greek (DOS Greek 1)"},
    {cp(0x0412), "ibm-852", "Central European (DOS Latin 2)"},
    {cp(0x0413), "ibm-855", "Cyrillic (DOS)"},
    {cp(0x0414), "ibm-857", "Turkish (DOS)"},
    {cp(0x0415), "ibm-860", "Portuguese (DOS)"},
    {cp(0x0416), "ibm-861", "Icelandic (DOS)"},
    {cp(0x0417), "ibm-862", "Hebrew (DOS)"},
    {cp(0x0418), "ibm-863", "Canadian French (DOS)"},
    {cp(0x0419), "ibm-864", "Arabic (DOS)"},
    {cp(0x041A), "ibm-865", "Nordic (DOS)"},
    {cp(0x041B), "ibm-866", "Russian (DOS)"},
    {cp(0x041C), "ibm-869", "Greek (DOS Greek 2)"},
    {cp(0x041D), "windows-874", "Thai (Windows, DOS)"},

    // Japanese
    {kShiftJISStringEncoding, "windows-31j", "Japanese (Windows, DOS)"},
    {kShiftJISPlainStringEncoding, "Shift_JIS", "Japanese (Shift JIS)"},
    {kJapaneseEUCStringEncoding, "EUC-JP", "Japanese (EUC)"},
    {kISO2022JPStringEncoding, "ISO-2022-JP", "Japanese (ISO 2022-JP)"},
    {cp(0x0822), "ISO-2022-JP-1", "Japanese (ISO 2022-JP-1)"},
    {cp(0x0821), "ISO-2022-JP-2", "Japanese (ISO 2022-JP-2)"},

    // Chinese
    {kGB18030StringEncoding, "GB18030", "Chinese (GB 18030)"},
    {cp(0x0421), "windows-936", "Simplified Chinese (Windows, DOS)"},
    {kGBKStringEncoding, "GBK", "Simplified Chinese (GBK)"},
    {cp(0x0930), "EUC-CN", "Simplified Chinese (GB 2312)"},
    {cp(0x0A05), "HZ-GB-2312", "Simplified Chinese (HZ GB 2312)"},
    {cp(0x0830), "ISO-2022-CN", "Chinese (ISO 2022-CN)"},
    {cp(0x0831), "ISO-2022-CN-EXT", "Chinese (ISO 2022-CN-EXT)"},
    {kBig5StringEncoding, "Big5", "Traditional Chinese (Big 5)"},
    {cp(0x0423), "windows-950", "Traditional Chinese (Windows, DOS)"},
    {cp(0x0A06), "Big5-HKSCS", "Traditional Chinese (Big 5 HKSCS)"},
    {cp(0x0931), "EUC-TW", "Traditional Chinese (EUC)"},

    // Korean
    {kEUCKRStringEncoding, "EUC-KR", "Korean (EUC)"},
    {cp(0x0422), "windows-949", "Korean (Windows, DOS)"},
    {cp(0x0840), "ISO-2022-KR", "Korean (ISO 2022-KR)"},

    // Cyrillic
    {kKOI8RStringEncoding, "KOI8-R", "Cyrillic (KOI8-R)"},
    {cp(0x0A08), "KOI8-U", "Ukrainian (KOI8-U)"},
};

struct Supported {
  std::vector<EncodingInfo> entries;
  std::vector<std::string> canonicalNames;  // ICU's own converter name of each entry
};

const Supported& supported() {
  static const Supported table = [] {
    Supported result;
    for (const EncodingInfo& info : kEncodingTable) {
      UErrorCode error = U_ZERO_ERROR;
      UConverter* converter = ucnv_open(info.converterName, &error);
      if (U_FAILURE(error) || !converter) continue;
      error = U_ZERO_ERROR;
      const char* name = ucnv_getName(converter, &error);
      result.entries.push_back(info);
      result.canonicalNames.push_back(U_SUCCESS(error) && name ? name : info.converterName);
      ucnv_close(converter);
    }
    return result;
  }();
  return table;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(uint8_t(x)) == std::tolower(uint8_t(y));
         });
}

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && std::isspace(uint8_t(text.front()))) text.remove_prefix(1);
  while (!text.empty() && std::isspace(uint8_t(text.back()))) text.remove_suffix(1);
  return text;
}

bool parseNumber(std::string_view text, StringEncoding& value) {
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
    base = 16;
  }
  if (text.empty()) return false;
  uint32_t number = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number, base);
  if (error != std::errc() || end != text.data() + text.size()) return false;
  value = number;
  return true;
}

}  // namespace

const std::vector<EncodingInfo>& supportedEncodings() { return supported().entries; }

const EncodingInfo* encodingInfo(StringEncoding encoding) {
  for (const EncodingInfo& info : supported().entries)
    if (info.encoding == encoding) return &info;
  return nullptr;
}

bool isSupportedEncoding(StringEncoding encoding) { return encodingInfo(encoding) != nullptr; }

std::string nameOfEncoding(StringEncoding encoding) {
  const EncodingInfo* info = encodingInfo(encoding);
  return info ? info->displayName : "";
}

StringEncoding encodingFromName(std::string_view text) {
  text = trimmed(text);
  if (text.empty()) return kNoEncoding;
  const Supported& table = supported();

  StringEncoding number = 0;
  if (std::isdigit(uint8_t(text[0])) && parseNumber(text, number)) {
    return isSupportedEncoding(number) ? number : kNoEncoding;
  }
  for (const EncodingInfo& info : table.entries)
    if (equalsIgnoringCase(text, info.displayName)) return info.encoding;
  // Our own converter names first, so that names shared by two entries pick the right one.
  for (const EncodingInfo& info : table.entries)
    if (ucnv_compareNames(std::string(text).c_str(), info.converterName) == 0) return info.encoding;

  // Any other alias ICU knows, looked up in its alias table only (never as a file name).
  if (text.size() > 64 || text.find_first_of("/\\") != std::string_view::npos) return kNoEncoding;
  UErrorCode error = U_ZERO_ERROR;
  const char* canonical = ucnv_getAlias(std::string(text).c_str(), 0, &error);
  if (U_FAILURE(error) || !canonical) return kNoEncoding;
  for (size_t i = 0; i < table.entries.size(); ++i)
    if (ucnv_compareNames(canonical, table.canonicalNames[i].c_str()) == 0) return table.entries[i].encoding;
  return kNoEncoding;
}

bool isUnicodeEncoding(StringEncoding encoding) {
  return encoding != kUTF8StringEncoding && encoding != kNoEncoding &&
         (codePageFromEncoding(encoding) & 0xFFF) == 0x100;
}

bool is8BitEncoding(StringEncoding encoding) {
  switch (encoding) {
    case kUnicodeStringEncoding:
    case kUTF16BigEndianStringEncoding:
    case kUTF16LittleEndianStringEncoding:
    case kUTF32StringEncoding:
    case kUTF32BigEndianStringEncoding:
    case kUTF32LittleEndianStringEncoding: return false;
    default: return true;
  }
}

}  // namespace sw
