#include "text/text_conversion.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sysex/sysex_text_codec.h"
#include "text/sysex_codec_factory.h"

using namespace sw;

namespace {

std::string bytes(std::initializer_list<uint8_t> list) { return std::string(list.begin(), list.end()); }

struct Sample {
  StringEncoding encoding;
  std::string encoded;
  std::string utf8;
};

// Real texts as the encodings store them.
const std::vector<Sample>& samples() {
  static const std::vector<Sample> list = {
      {kShiftJISStringEncoding, bytes({0x93, 0xFA, 0x96, 0x7B, 0x8C, 0xEA, 0x83, 0x4A, 0x83, 0x89, 0x83, 0x49, 0x83, 0x50}),
       "日本語カラオケ"},
      {kShiftJISStringEncoding, bytes({0x81, 0x60, 0x87, 0x40}), "～①"},  // Windows extensions
      {kJapaneseEUCStringEncoding, bytes({0xC6, 0xFC, 0xCB, 0xDC}), "日本"},
      {kISO2022JPStringEncoding, bytes({0x1B, 0x24, 0x42, 0x46, 0x7C, 0x4B, 0x5C, 0x1B, 0x28, 0x42}), "日本"},
      {kGB18030StringEncoding, bytes({0xD6, 0xD0, 0xCE, 0xC4, 0x90, 0x30, 0x81, 0x30}), "中文\U00010000"},
      {kBig5StringEncoding, bytes({0xA4, 0xA4, 0xA4, 0xE5}), "中文"},
      {kEUCKRStringEncoding, bytes({0xC7, 0xD1, 0xB1, 0xB9, 0xBE, 0xEE}), "한국어"},
      {kKOI8RStringEncoding, bytes({0xF0, 0xD2, 0xC9, 0xD7, 0xC5, 0xD4}), "Привет"},
      {kWindowsCP1251StringEncoding, bytes({0xCF, 0xF0, 0xE8, 0xE2, 0xE5, 0xF2}), "Привет"},
      {kMacOSRomanStringEncoding, bytes({0x63, 0x61, 0x66, 0x8E, 0xDB, 0xA7}), "café€ß"},
      {kISOLatin1StringEncoding, bytes({0x63, 0x61, 0x66, 0xE9}), "café"},
      {kUTF16LittleEndianStringEncoding, bytes({0x41, 0x00, 0x3D, 0xD8, 0x00, 0xDE}), "A\U0001F600"},
      {kUTF32BigEndianStringEncoding, bytes({0, 0, 0, 0x41, 0, 0x01, 0xF6, 0}), "A\U0001F600"},
  };
  return list;
}

}  // namespace

TEST(TextConversion, RealSamplesDecodeAndEncodeBack) {
  for (const Sample& sample : samples()) {
    SCOPED_TRACE(nameOfEncoding(sample.encoding));
    std::string utf8;
    ASSERT_EQ(convertToUTF8(sample.encoded, sample.encoding, utf8), noErr);
    EXPECT_EQ(utf8, sample.utf8);
    std::string encoded;
    ASSERT_EQ(convertFromUTF8(sample.utf8, sample.encoding, encoded), noErr);
    EXPECT_EQ(encoded, sample.encoded);
  }
}

TEST(TextConversion, EveryEncodingRoundTripsASCIIAndEmptyText) {
  for (const EncodingInfo& info : supportedEncodings()) {
    SCOPED_TRACE(info.displayName);
    std::string encoded, decoded;
    ASSERT_EQ(convertFromUTF8("Happy Birthday 123", info.encoding, encoded), noErr);
    ASSERT_EQ(convertToUTF8(encoded, info.encoding, decoded), noErr);
    EXPECT_EQ(decoded, "Happy Birthday 123");
    EXPECT_EQ(convertToUTF8("", info.encoding, decoded), noErr);
    EXPECT_EQ(decoded, "");
  }
}

TEST(TextConversion, BrokenBytesDoNotConvert) {
  const std::vector<Sample> broken = {
      {kShiftJISStringEncoding, bytes({'a', 0x93}), ""},              // lead byte at the end
      {kShiftJISStringEncoding, bytes({0x93, 0x0A}), ""},             // lead byte without trail
      {kEUCKRStringEncoding, bytes({0xC7, 0xD1, 0xB1}), ""},
      {kBig5StringEncoding, bytes({0xA4}), ""},
      {kGB18030StringEncoding, bytes({0x90, 0x30, 0x81}), ""},        // truncated four-byte form
      {kUTF8StringEncoding, bytes({0xC3, 0x28}), ""},
      {kUTF8StringEncoding, bytes({0xED, 0xA0, 0x80}), ""},           // encoded surrogate
      {kUTF8StringEncoding, bytes({0xC0, 0xAF}), ""},                 // overlong '/'
      {kUTF8StringEncoding, bytes({0xF4, 0x90, 0x80, 0x80}), ""},     // above U+10FFFF
      {kUTF16LittleEndianStringEncoding, bytes({0x00, 0xD8, 0x41, 0x00}), ""},  // lone high surrogate
      {kUTF16LittleEndianStringEncoding, bytes({0x00, 0xDC}), ""},    // lone low surrogate
      {kUTF16BigEndianStringEncoding, bytes({0x00, 0x41, 0x00}), ""}, // odd length
      {kUTF32LittleEndianStringEncoding, bytes({0x00, 0x00, 0x11, 0x00}), ""},
  };
  for (const Sample& sample : broken) {
    SCOPED_TRACE(nameOfEncoding(sample.encoding));
    std::string utf8 = "left over";
    EXPECT_EQ(convertToUTF8(sample.encoded, sample.encoding, utf8), kTextUnsupportedEncodingErr);
    EXPECT_EQ(utf8, "");
    // The lossy form marks the broken piece instead.
    ASSERT_EQ(convertToUTF8(sample.encoded, sample.encoding, utf8, ConversionMode::Lossy), noErr);
    EXPECT_NE(utf8.find("\xEF\xBF\xBD"), std::string::npos);
  }
}

TEST(TextConversion, TextTheEncodingLacksOrInvalidUTF8DoesNotConvert) {
  std::string out = "left over";
  EXPECT_EQ(convertFromUTF8("日本", kISOLatin1StringEncoding, out), kTextUnsupportedEncodingErr);
  EXPECT_EQ(out, "");
  EXPECT_EQ(convertFromUTF8("Привет", kMacOSRomanStringEncoding, out), kTextUnsupportedEncodingErr);
  EXPECT_EQ(convertFromUTF8(bytes({'a', 0xFF}), kUTF16LittleEndianStringEncoding, out), kTextUnsupportedEncodingErr);
  EXPECT_EQ(convertFromUTF8(bytes({0xED, 0xB0, 0x80}), kUTF16BigEndianStringEncoding, out),
            kTextUnsupportedEncodingErr);
  EXPECT_EQ(convertFromUTF8(bytes({'a', 0xE6, 0x97}), kShiftJISStringEncoding, out), kTextUnsupportedEncodingErr);

  ASSERT_EQ(convertFromUTF8("a日b", kISOLatin1StringEncoding, out, ConversionMode::Lossy), noErr);
  EXPECT_EQ(out, "a?b");
  ASSERT_EQ(convertFromUTF8(bytes({'a', 0xFF, 'b'}), kShiftJISStringEncoding, out, ConversionMode::Lossy), noErr);
  EXPECT_EQ(out, "a?b");
}

TEST(TextConversion, UnsupportedEncodingsFailInEveryMode) {
  std::string out;
  for (StringEncoding encoding : {StringEncoding(kNoEncoding), StringEncoding(12345), StringEncoding(0)}) {
    EXPECT_EQ(convertToUTF8("abc", encoding, out), kTextUnsupportedEncodingErr);
    EXPECT_EQ(convertToUTF8("abc", encoding, out, ConversionMode::Lossy), kTextUnsupportedEncodingErr);
    EXPECT_EQ(convertFromUTF8("abc", encoding, out, ConversionMode::Lossy), kTextUnsupportedEncodingErr);
  }
}

TEST(TextConversion, LongTextsConvertWholeAcrossBufferBoundaries) {
  // Two-byte characters straddle every internal buffer boundary somewhere.
  std::string sjis, expected;
  for (int i = 0; i < 50000; ++i) {
    sjis += bytes({'x', 0x93, 0xFA});
    expected += "x日";
  }
  std::string utf8;
  ASSERT_EQ(convertToUTF8(sjis, kShiftJISStringEncoding, utf8), noErr);
  EXPECT_EQ(utf8, expected);
  std::string back;
  ASSERT_EQ(convertFromUTF8(utf8, kShiftJISStringEncoding, back), noErr);
  EXPECT_EQ(back, sjis);
  // A broken byte at the very end of a long text is still found.
  sjis.push_back(char(0x93));
  EXPECT_EQ(convertToUTF8(sjis, kShiftJISStringEncoding, utf8), kTextUnsupportedEncodingErr);
}

TEST(TextConversion, ValidUTF8Check) {
  EXPECT_TRUE(isValidUTF8(""));
  EXPECT_TRUE(isValidUTF8("café 日本 \U0001F600"));
  EXPECT_FALSE(isValidUTF8(bytes({0xE6, 0x97})));
  EXPECT_FALSE(isValidUTF8(bytes({0xED, 0xA0, 0x80})));
  EXPECT_FALSE(isValidUTF8(bytes({0xE0, 0x80, 0x80})));
  EXPECT_FALSE(isValidUTF8(bytes({0xFE})));
}

TEST(SysexCodecFactory, CodecConvertsInTheEncoding) {
  SysexTextCodec codec = sysexTextCodecForEncoding(kShiftJISStringEncoding);
  EXPECT_EQ(codec.decodeText(bytes({0x83, 0x4A, 0x83, 0x89})), "カラ");
  EXPECT_EQ(codec.encodeText("カラ"), bytes({0x83, 0x4A, 0x83, 0x89}));
  EXPECT_EQ(codec.decodeText(bytes({'A', 0x83})), "A\xEF\xBF\xBD");  // broken text still shows
  EXPECT_EQ(codec.encodeText("Привет€"), std::nullopt);
  EXPECT_EQ(codec.encodeText(bytes({0xC3})), std::nullopt);

  SysexTextCodec cyrillic = sysexTextCodecForEncoding(kKOI8RStringEncoding);
  EXPECT_EQ(cyrillic.encodeText("Привет"), bytes({0xF0, 0xD2, 0xC9, 0xD7, 0xC5, 0xD4}));

  // An encoding that is not supported falls back to ISO Latin 1.
  SysexTextCodec fallback = sysexTextCodecForEncoding(kNoEncoding);
  EXPECT_EQ(fallback.decodeText(bytes({0xE9})), "é");
  EXPECT_EQ(fallback.encodeText("é"), bytes({0xE9}));
}
