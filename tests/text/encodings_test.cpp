#include <gtest/gtest.h>

#include <set>
#include <string>

#include "text/string_encoding.h"

using namespace sw;

TEST(StringEncoding, NumbersMatchTheStoredSettings) {
  EXPECT_EQ(kUTF8StringEncoding, 4u);
  EXPECT_EQ(kISOLatin1StringEncoding, 5u);
  EXPECT_EQ(kShiftJISStringEncoding, 8u);
  EXPECT_EQ(kMacOSRomanStringEncoding, 30u);
  EXPECT_EQ(kWindowsCP1255StringEncoding, 0x80000505u);
  EXPECT_EQ(kGB18030StringEncoding, 0x80000632u);
  // Code pages with a classic number get that number, not the 0x80000000 form.
  EXPECT_EQ(encodingFromCodePage(0x0000), kMacOSRomanStringEncoding);
  EXPECT_EQ(encodingFromCodePage(0x0201), kISOLatin1StringEncoding);
  EXPECT_EQ(encodingFromCodePage(0x08000100), kUTF8StringEncoding);
  EXPECT_EQ(encodingFromCodePage(0x0420), kShiftJISStringEncoding);
  EXPECT_EQ(encodingFromCodePage(0x0502), kWindowsCP1251StringEncoding);
  EXPECT_EQ(encodingFromCodePage(0x10000100), kUTF16BigEndianStringEncoding);
  EXPECT_EQ(encodingFromCodePage(0x0400), kDOSLatinUSStringEncoding);
  for (const EncodingInfo& info : supportedEncodings())
    EXPECT_EQ(encodingFromCodePage(codePageFromEncoding(info.encoding)), info.encoding) << info.displayName;
}

TEST(StringEncoding, TableIsCompleteAndConsistent) {
  // The families users of karaoke files meet, all with a working converter here.
  for (StringEncoding encoding : std::initializer_list<StringEncoding>{kUTF8StringEncoding, kISOLatin1StringEncoding, kMacOSRomanStringEncoding, kShiftJISStringEncoding,
        kShiftJISPlainStringEncoding, kJapaneseEUCStringEncoding, kISO2022JPStringEncoding, kGB18030StringEncoding,
        kGBKStringEncoding, kBig5StringEncoding, kEUCKRStringEncoding, kKOI8RStringEncoding,
        kWindowsCP1250StringEncoding, kWindowsCP1251StringEncoding, kWindowsCP1253StringEncoding,
        kWindowsCP1254StringEncoding, kWindowsCP1255StringEncoding, kWindowsCP1256StringEncoding,
        kWindowsCP1257StringEncoding, kWindowsCP1258StringEncoding, kDOSLatinUSStringEncoding,
        encodingFromCodePage(0x041D) /* Thai */, encodingFromCodePage(0x020B) /* ISO 8859-11 */,
        encodingFromCodePage(0x041B) /* DOS 866 */, kUTF16LittleEndianStringEncoding})
    EXPECT_TRUE(isSupportedEncoding(encoding)) << std::hex << encoding;
  EXPECT_FALSE(isSupportedEncoding(kNoEncoding));
  EXPECT_EQ(nameOfEncoding(kNoEncoding), "");

  std::set<StringEncoding> numbers;
  std::set<std::string> names;
  for (const EncodingInfo& info : supportedEncodings()) {
    EXPECT_TRUE(numbers.insert(info.encoding).second) << info.displayName;
    EXPECT_TRUE(names.insert(info.displayName).second) << info.displayName;
  }
}

TEST(StringEncoding, NamesNumbersAndAliasesFindTheEncoding) {
  EXPECT_EQ(encodingFromName("4"), kUTF8StringEncoding);
  EXPECT_EQ(encodingFromName("0x80000A03"), kBig5StringEncoding);
  EXPECT_EQ(encodingFromName(" Cyrillic (KOI8-R) "), kKOI8RStringEncoding);
  EXPECT_EQ(encodingFromName("western (mac os roman)"), kMacOSRomanStringEncoding);
  EXPECT_EQ(encodingFromName("shift_jis"), kShiftJISPlainStringEncoding);
  EXPECT_EQ(encodingFromName("cp1251"), kWindowsCP1251StringEncoding);
  EXPECT_EQ(encodingFromName("latin1"), kISOLatin1StringEncoding);
  EXPECT_EQ(encodingFromName("gbk"), kGBKStringEncoding);
  EXPECT_EQ(encodingFromName("windows-936"), encodingFromCodePage(0x0421));
  EXPECT_EQ(encodingFromName("utf8"), kUTF8StringEncoding);

  EXPECT_EQ(encodingFromName(""), kNoEncoding);
  EXPECT_EQ(encodingFromName("12345"), kNoEncoding);         // a number that is no encoding
  EXPECT_EQ(encodingFromName("99999999999"), kNoEncoding);   // out of range
  EXPECT_EQ(encodingFromName("0x"), kNoEncoding);
  EXPECT_EQ(encodingFromName("no-such-charset"), kNoEncoding);
  EXPECT_EQ(encodingFromName("../../etc/passwd"), kNoEncoding);
  EXPECT_EQ(encodingFromName(std::string(5000, 'a')), kNoEncoding);
}

TEST(StringEncoding, OnlyTheUTF16AndUTF32FormsAreNot8Bit) {
  EXPECT_TRUE(is8BitEncoding(kUTF8StringEncoding));
  EXPECT_TRUE(is8BitEncoding(kShiftJISStringEncoding));
  EXPECT_TRUE(is8BitEncoding(kGB18030StringEncoding));
  EXPECT_FALSE(is8BitEncoding(kUTF16LittleEndianStringEncoding));
  EXPECT_FALSE(is8BitEncoding(kUnicodeStringEncoding));
  EXPECT_FALSE(is8BitEncoding(kUTF32BigEndianStringEncoding));

  EXPECT_FALSE(isUnicodeEncoding(kUTF8StringEncoding));
  EXPECT_FALSE(isUnicodeEncoding(kShiftJISStringEncoding));
  for (StringEncoding encoding : {kUnicodeStringEncoding, kUTF16BigEndianStringEncoding,
                                  kUTF16LittleEndianStringEncoding, kUTF32StringEncoding,
                                  kUTF32BigEndianStringEncoding, kUTF32LittleEndianStringEncoding})
    EXPECT_TRUE(isUnicodeEncoding(encoding));
}
