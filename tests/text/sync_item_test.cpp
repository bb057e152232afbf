#include <gtest/gtest.h>

#include "smf/midi_event.h"
#include "text/sync_array.h"
#include "text/sync_item.h"
#include "text/text_conversion.h"

using namespace sw;

namespace {

DSyncItem chordD(std::string bytes, int32_t delay) {
  DSyncItem item(std::move(bytes), delay);
  item.setIsChord(true);
  return item;
}

TSyncItem chordT(std::string text, int32_t delay) {
  TSyncItem item(std::move(text), delay);
  item.setIsChord(true);
  return item;
}

std::vector<std::string> dataOf(const DSyncArray& items) {
  std::vector<std::string> result;
  for (const DSyncItem& item : items) result.push_back(item.data());
  return result;
}

}  // namespace

TEST(DSyncItem, TrailingNulEOLAndEmpty) {
  EXPECT_EQ(DSyncItem(std::string("abc\0", 4), 0).data(), "abc");
  EXPECT_EQ(DSyncItem(std::string("abc\0\0", 5), 0).data(), std::string("abc\0", 4));
  EXPECT_EQ(DSyncItem::withPascalString(std::string_view("\x03" "abcdef"), 1).data(), "abc");
  EXPECT_EQ(DSyncItem::withPascalString(std::string_view("\xFF" "ab"), 1).data(), "ab");  // length beyond the buffer
  EXPECT_EQ(DSyncItem::withPascalString({}, 1).data(), "");

  DSyncItem item("la", 0);
  item.setEOL(true);
  item.setEOL(true);
  EXPECT_EQ(item.data(), "la\r");
  DSyncItem lf("la\n", 0);
  lf.setEOL(false);
  lf.setEOL(false);
  EXPECT_EQ(lf.data(), "la");
  DSyncItem none;
  none.setEOL(false);
  EXPECT_EQ(none.data(), "");

  EXPECT_TRUE(DSyncItem("", 0).empty());
  EXPECT_TRUE(DSyncItem(" \r\n ", 0).empty());
  EXPECT_FALSE(DSyncItem("\t", 0).empty());
}

TEST(TSyncItem, LineBreakProcessing) {
  struct Case {
    const char* given;
    const char* text;
    bool eol;
  };
  for (const Case& c : {Case{"Hello\r\n", "Hello", true}, Case{"Hello\n\n", "Hello\n", true},
                        Case{"Hi\n\r", "Hi\n", true}, Case{"Line\u2028", "Line", true}, Case{"x\u0085", "x", true},
                        Case{"\r", "", true}, Case{"word", "word", false}, Case{"a\tb\t", "a\tb\t", false},
                        // ill-formed UTF-8 and an encoded surrogate become U+FFFD
                        Case{"a\xC3(\xED\xA0\x80z", "a\uFFFD(\uFFFD\uFFFD\uFFFDz", false}}) {
    TSyncItem item(c.given, 3);
    EXPECT_EQ(item.text(), c.text) << c.given;
    EXPECT_EQ(item.EOL(), c.eol) << c.given;
  }

  TSyncItem plain("word", 0);
  plain.setEOL(true);
  plain.setText("other\r", false);  // stored as given, EOL untouched
  EXPECT_EQ(plain.text(), "other\r");
  EXPECT_TRUE(plain.EOL());
  plain.setText("again");
  EXPECT_FALSE(plain.EOL());
}

TEST(TSyncItem, DecodingFallsBackToSingleBytes) {
  DSyncItem latin("Gr\xFC\xDF" "e\r", 9);
  latin.setIsChord(true);
  TSyncItem decoded(latin, kISOLatin1StringEncoding);
  EXPECT_EQ(decoded.text(), "Grüße");
  EXPECT_TRUE(decoded.EOL());
  EXPECT_TRUE(decoded.isChord());
  EXPECT_EQ(decoded.delay(), 9);

  EXPECT_EQ(TSyncItem(DSyncItem("a\xC3(b", 0), kUTF8StringEncoding).text(), "a?(b");
  // A truncated character spoils the whole: every byte of it fails alone.
  EXPECT_EQ(TSyncItem(DSyncItem("\xE3\x81\x82\xE3", 0), kUTF8StringEncoding).text(), "????");
  EXPECT_EQ(TSyncItem(DSyncItem("\x82\xA0", 0), kShiftJISStringEncoding).text(), "あ");
  EXPECT_EQ(TSyncItem(DSyncItem("", 0), kShiftJISStringEncoding).text(), "");
  // An encoding without a converter reads as ISO Latin 1.
  EXPECT_EQ(TSyncItem(DSyncItem("\xE9", 0), 0x7777).text(), "é");
}

TEST(DSyncItem, EncodingATextItem) {
  TSyncItem text = chordT("Grüße 日", 40);
  text.setEOL(true);
  DSyncItem bytes(text, kISOLatin1StringEncoding);
  EXPECT_EQ(bytes.data(), "Gr\xFC\xDF" "e ?\r");
  EXPECT_EQ(bytes.delay(), 40);
  EXPECT_TRUE(bytes.isChord());

  // A line break kept inside the text survives the way back.
  TSyncItem paragraph("Hello\n\n", 0);
  DSyncItem encoded(paragraph, kUTF8StringEncoding);
  TSyncItem back(encoded, kUTF8StringEncoding);
  EXPECT_EQ(back.text(), "Hello\n");
  EXPECT_TRUE(back.EOL());

  try {
    DSyncItem wrong(text, kUTF16LittleEndianStringEncoding);
    FAIL() << "a 16-bit encoding was accepted";
  } catch (const AssertionFailure& failure) {
    EXPECT_STREQ(failure.what(), "Invalid parameter not satisfying: is8BitEncoding(encoding)");
  }
}

TEST(TSyncItem, Archive) {
  TSyncItem item = chordT("Am", -20);
  item.setEOL(true);
  TSyncItem back = TSyncItem::unarchive(item.archive());
  EXPECT_EQ(back.text(), "Am");
  EXPECT_EQ(back.delay(), -20);
  EXPECT_TRUE(back.EOL());
  EXPECT_TRUE(back.isChord());

  // An old archive with the line break still in the text and no "EOL" key.
  TSyncItem old = TSyncItem::unarchive({{"text", "la\n"}, {"delay", 5}});
  EXPECT_EQ(old.text(), "la");
  EXPECT_TRUE(old.EOL());
  EXPECT_FALSE(old.isChord());

  // Wrong types are skipped, delays beyond 32 bits are clamped.
  TSyncItem odd = TSyncItem::unarchive({{"text", 12}, {"delay", int64_t(1) << 40}, {"EOL", "x"}});
  EXPECT_EQ(odd.text(), "");
  EXPECT_EQ(odd.delay(), INT32_MAX);
  EXPECT_FALSE(odd.EOL());
  EXPECT_EQ(TSyncItem::unarchive({}).text(), "");
}

TEST(SyncArray, NormalizedDSyncs) {
  EXPECT_EQ(dataOf(SyncArray::normalizedDSyncsWithDSyncs({DSyncItem("la\r\n", 1)})),
            (std::vector<std::string>{"la\r", "\r"}));
  EXPECT_EQ(dataOf(SyncArray::normalizedDSyncsWithDSyncs({DSyncItem("\rla", 1)})), (std::vector<std::string>{"la"}));

  // A break opening an item closes the open line before it; LF becomes CR.
  DSyncArray source{DSyncItem("Hel", 0), DSyncItem("lo", 5), DSyncItem("\nworld\nagain", 9), chordD("\r", 12),
                    DSyncItem("", 13), DSyncItem("end", 14)};
  DSyncArray normalized = SyncArray::normalizedDSyncsWithDSyncs(source);
  EXPECT_EQ(dataOf(normalized), (std::vector<std::string>{"Hel", "lo\r", "world\r", "again\r", "end"}));
  EXPECT_EQ(normalized[2].delay(), 9);
  EXPECT_EQ(normalized[3].delay(), 9);
  EXPECT_FALSE(normalized[3].isChord());
  EXPECT_EQ(source[2].data(), "\nworld\nagain");  // the source stays as it was

  // Breaks after a finished line become empty lines.
  EXPECT_EQ(dataOf(SyncArray::normalizedDSyncsWithDSyncs({DSyncItem("a\r", 0), DSyncItem("\r\rb", 1)})),
            (std::vector<std::string>{"a\r", "\r", "\r", "b"}));
  EXPECT_TRUE(SyncArray::normalizedDSyncsWithDSyncs({}).empty());
  EXPECT_TRUE(SyncArray::normalizedDSyncsWithDSyncs({DSyncItem("\n\r\n", 0)}).empty());  // leading breaks all go
}

TEST(SyncArray, NormalizedTSyncsAndLines) {
  TSyncItem source("a\r\nb", 7);
  source.setText("a\r\nb\u2029c", false);
  source.setEOL(true);
  TSyncArray pieces = SyncArray::normalizedTSyncsWithTSyncs({source, TSyncItem("d", 8)});
  ASSERT_EQ(pieces.size(), 5u);
  std::string joined;
  for (const TSyncItem& piece : pieces) joined += piece.text() + (piece.EOL() ? "|" : "") + ",";
  EXPECT_EQ(joined, "a|,|,b|,c|,d,");
  EXPECT_EQ(pieces[3].delay(), 7);

  DSyncArray lines = SyncArray::DSyncsWithString("one\nzwö", kISOLatin1StringEncoding);
  EXPECT_EQ(dataOf(lines), (std::vector<std::string>{"one\r", "zw\xF6\r"}));
  EXPECT_EQ(lines[1].delay(), 0);
  EXPECT_EQ(SyncArray::DSyncsWithString("", kUTF8StringEncoding).size(), 1u);
}

TEST(SyncArray, MergeLyricsWithChords) {
  TSyncArray lyrics{TSyncItem("l0", 0), TSyncItem("l10", 10)};
  TSyncArray chords{chordT("c0", 0), chordT("c10", 10), chordT("c20", 20)};
  std::string order;
  for (const TSyncItem& item : SyncArray::mergeSyncs(lyrics, chords)) order += item.text() + " ";
  EXPECT_EQ(order, "c0 l0 c10 l10 c20 ");

  // Delays compare as signed values.
  DSyncArray merged = SyncArray::mergeSyncs(DSyncArray{DSyncItem("l", -1)}, DSyncArray{chordD("c", -5)});
  EXPECT_EQ(merged[0].data(), "c");
  EXPECT_TRUE(SyncArray::mergeSyncs(TSyncArray{}, TSyncArray{}).empty());
  EXPECT_EQ(SyncArray::mergeSyncs(TSyncArray{}, chords).size(), 3u);
}

TEST(SyncArray, ChordProAndPlainText) {
  DSyncArray lyrics{DSyncItem("Gr\xFC", 0), DSyncItem("\xDF" "e\r", 10), DSyncItem("da", 30)};
  DSyncArray chords{chordD(" C m 7", 0), chordD("G\t7", 30)};
  EXPECT_EQ(SyncArray::chordProWithLyricsDSyncs(lyrics, chords, kISOLatin1StringEncoding),
            "[Cm7]Grüße\n[G7]da");
  EXPECT_EQ(SyncArray::chordProWithLyricsDSyncs({}, {}, kUTF8StringEncoding), "");

  // A chord ending a line keeps its break.
  TSyncItem lineChord = chordT("D\r", 5);
  EXPECT_EQ(SyncArray::chordProWithTSyncs({}, {lineChord}), "[D]\n");

  EXPECT_EQ(SyncArray::stringWithDSyncs(lyrics, kISOLatin1StringEncoding), "Grüße\nda");
  EXPECT_EQ(SyncArray::stringWithDSyncs({DSyncItem("\xC3\xA9\n", 0)}, kUTF16LittleEndianStringEncoding), "é\n");
}

TEST(SyncArray, ItemConversions) {
  DSyncArray bytes{DSyncItem("\x93\xFA\x96\x7B\r", 0), chordD("Am", 4)};
  TSyncArray texts = SyncArray::TSyncWithDSyncs(bytes, kShiftJISStringEncoding);
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[0].text(), "日本");
  EXPECT_TRUE(texts[0].EOL());
  EXPECT_TRUE(texts[1].isChord());
  EXPECT_EQ(dataOf(SyncArray::DSyncWithTSyncs(texts, kShiftJISStringEncoding)), dataOf(bytes));
  EXPECT_THROW(SyncArray::DSyncWithTSyncs(texts, kUnicodeStringEncoding), AssertionFailure);
}

TEST(TextConversion, BadInput) {
  EXPECT_FALSE(decodeBytes("\xFF\xFE", kUTF8StringEncoding));
  EXPECT_EQ(decodeBytes(std::string_view("a\0b", 3), kUTF8StringEncoding), std::string("a\0b", 3));
  EXPECT_EQ(encodeText("\xFF", kISOLatin1StringEncoding), "?");  // ill-formed input, then unmappable
  EXPECT_EQ(encodeText("", kShiftJISStringEncoding), "");
  std::string big(1 << 20, 'x');
  EXPECT_EQ(decodeBytes(big, kShiftJISStringEncoding)->size(), big.size());
}
