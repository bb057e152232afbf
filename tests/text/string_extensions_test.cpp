#include "text/string_extensions.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "text/text_conversion.h"

using namespace sw;

namespace {

std::vector<uint8_t> pascalBytes(std::initializer_list<uint8_t> list) { return std::vector<uint8_t>(list); }

std::string payload(const PascalString& p) { return std::string(reinterpret_cast<const char*>(p.data() + 1), p[0]); }

}  // namespace

TEST(PascalString, DecodesUpToTheLengthOrAnEmbeddedNUL) {
  std::string text;
  auto sjis = pascalBytes({4, 0x93, 0xFA, 0x96, 0x7B, 'x', 'y'});
  ASSERT_EQ(stringWithPascalString(sjis, kShiftJISStringEncoding, text), noErr);
  EXPECT_EQ(text, "日本");
  auto withNul = pascalBytes({5, 'a', 'b', 0, 'c', 'd'});
  ASSERT_EQ(stringWithPascalString(withNul, kISOLatin1StringEncoding, text), noErr);
  EXPECT_EQ(text, "ab");
  auto empty = pascalBytes({0});
  ASSERT_EQ(stringWithPascalString(empty, text), noErr);
  EXPECT_EQ(text, "");
  auto utf8 = pascalBytes({2, 0xC3, 0xA9});
  ASSERT_EQ(stringWithPascalString(utf8, text), noErr);
  EXPECT_EQ(text, "é");
}

TEST(PascalString, BadBuffersAndBytesAreReported) {
  std::string text = "left over";
  EXPECT_EQ(stringWithPascalString(std::span<const uint8_t>(), kISOLatin1StringEncoding, text), eofErr);
  EXPECT_EQ(text, "");
  auto truncated = pascalBytes({10, 'a', 'b'});
  EXPECT_EQ(stringWithPascalString(truncated, kISOLatin1StringEncoding, text), eofErr);
  auto broken = pascalBytes({2, 'a', 0x93});
  EXPECT_EQ(stringWithPascalString(broken, kShiftJISStringEncoding, text), kTextUnsupportedEncodingErr);
  EXPECT_EQ(stringWithPascalString(broken, kNoEncoding, text), kTextUnsupportedEncodingErr);
}

TEST(PascalString, EncodesLossilyAndZeroFills) {
  PascalString p;
  p.fill(0xAA);
  ASSERT_EQ(pascalStringUsingEncoding("Привет", kKOI8RStringEncoding, p), noErr);
  EXPECT_EQ(payload(p), std::string("\xF0\xD2\xC9\xD7\xC5\xD4"));
  for (size_t i = 1 + p[0]; i < p.size(); ++i) ASSERT_EQ(p[i], 0) << i;
  ASSERT_EQ(pascalStringUsingEncoding("a日b", kISOLatin1StringEncoding, p), noErr);
  EXPECT_EQ(payload(p), "a?b");
  EXPECT_EQ(pascalStringUsingEncoding("x", kNoEncoding, p), kTextUnsupportedEncodingErr);
  EXPECT_EQ(p[0], 0);
  ASSERT_EQ(pascalString("", p), noErr);
  EXPECT_EQ(p[0], 0);
}

TEST(PascalString, TooLongTextIsAnErrorButKeepsWholeCharacters) {
  PascalString p;
  ASSERT_EQ(pascalStringUsingEncoding(std::string(255, 'a'), kISOLatin1StringEncoding, p), noErr);
  EXPECT_EQ(p[0], 255);
  EXPECT_EQ(pascalStringUsingEncoding(std::string(256, 'a'), kISOLatin1StringEncoding, p), paramErr);
  EXPECT_EQ(p[0], 255);

  // 200 two-byte characters: 127 fit, the 128th would need byte 256.
  std::string japanese;
  for (int i = 0; i < 200; ++i) japanese += "日";
  EXPECT_EQ(pascalStringUsingEncoding(japanese, kShiftJISStringEncoding, p), paramErr);
  EXPECT_EQ(p[0], 254);
  std::string back;
  ASSERT_EQ(stringWithPascalString(p, kShiftJISStringEncoding, back), noErr);
  EXPECT_EQ(back.size(), 127u * 3);

  // UTF-8 cut between characters, even with four-byte ones.
  std::string emoji;
  for (int i = 0; i < 100; ++i) emoji += "\U0001F600";
  EXPECT_EQ(pascalString(emoji, p), paramErr);
  EXPECT_EQ(p[0], 252);
  EXPECT_TRUE(isValidUTF8(payload(p)));

  // Very long text, mixed widths.
  std::string mixed;
  for (int i = 0; i < 20000; ++i) mixed += i % 3 ? "a" : "ж";
  EXPECT_EQ(pascalStringUsingEncoding(mixed, kUTF8StringEncoding, p), paramErr);
  EXPECT_GE(p[0], 254);
  EXPECT_TRUE(isValidUTF8(payload(p)));
}

TEST(OSType, FourCharactersMostSignificantFirst) {
  EXPECT_EQ(stringWithOSType(fourCC("Midi")), "Midi");
  EXPECT_EQ(stringWithOSType(fourCC("SK  ")), "SK  ");
  EXPECT_EQ(stringWithOSType(0), "");
  EXPECT_EQ(stringWithOSType(0x8E000A41), "é??A");  // Mac Roman byte, NUL and control
  EXPECT_EQ(OSTypeValue("Midi"), fourCC("Midi"));
  EXPECT_EQ(OSTypeValue("T1"), fourCC("T1  "));
  EXPECT_EQ(OSTypeValue("Krl2 and more"), fourCC("Krl2"));
  EXPECT_EQ(OSTypeValue("éabc"), 0x8E616263u);
  EXPECT_EQ(OSTypeValue("日本"), fourCC("??  "));
  EXPECT_EQ(OSTypeValue(""), fourCC("    "));
  EXPECT_EQ(OSTypeValue(stringWithOSType(0xA5E9C3FF)), 0xA5E9C3FFu);
}
