#include <gtest/gtest.h>

#include <climits>
#include <stdexcept>

#include "text/synced_text.h"

using namespace sw;

namespace {

TSyncItem line(std::string text, int32_t delay, bool eol = false) {
  TSyncItem item(std::move(text), delay);
  item.setEOL(eol);
  return item;
}

TSyncItem chord(std::string text, int32_t delay) {
  TSyncItem item(std::move(text), delay);
  item.setIsChord(true);
  return item;
}

SyncedText withDelays(std::initializer_list<int32_t> delays) {
  TSyncArray items;
  for (int32_t delay : delays) items.push_back(line("ab", delay));
  return SyncedText(items, kUTF8StringEncoding, nullptr);
}

// A map of constant tempo, the given microseconds per tick.
std::shared_ptr<SMFSignatureMap> constantTempo(double microsecondsPerTick) {
  TempoMap tempo{{0, microsecondsPerTick}};
  return SMFSignatureMap::signatureWithSignatureMap(nullptr, &tempo, 480);
}

}  // namespace

TEST(SyncedText, RangesCountUTF16UnitsAndTileTheString) {
  TSyncArray items{line("Grü", 0), line("ße", 10, true), line("😀x", 20), line("", 30), line("é", 40, true)};
  SyncedText text(items, kUTF8StringEncoding, nullptr);
  EXPECT_EQ(text.encodedString(), "Grüße\n😀xé\n");
  ASSERT_EQ(text.numberOfSyncs(), 5u);

  const std::vector<SyncRec>& records = text.syncVector();
  EXPECT_EQ(records[0].range, (SyncRange{0, 3}));
  EXPECT_EQ(records[1].range, (SyncRange{3, 3}));  // "ße" and the line break
  EXPECT_EQ(records[2].range, (SyncRange{6, 3}));  // a surrogate pair and "x"
  EXPECT_EQ(records[3].range, (SyncRange{9, 0}));
  EXPECT_EQ(records[4].range, (SyncRange{9, 2}));
  EXPECT_EQ(records[2].byteRange, (SyncRange{8, 5}));
  EXPECT_EQ(records[4].byteRange.end(), text.encodedString().size());

  TSyncArray back = text.syncs();
  ASSERT_EQ(back.size(), items.size());
  for (size_t i = 0; i < items.size(); ++i) {
    EXPECT_EQ(back[i].text(), items[i].text());
    EXPECT_EQ(back[i].EOL(), items[i].EOL());
    EXPECT_EQ(back[i].delay(), items[i].delay());
  }

  EXPECT_EQ(text.syncIndexAtCharacterIndex(0), 0u);
  EXPECT_EQ(text.syncIndexAtCharacterIndex(5), 1u);  // the line break belongs to its item
  EXPECT_EQ(text.syncIndexAtCharacterIndex(7), 2u);
  EXPECT_EQ(text.syncIndexAtCharacterIndex(9), 4u);  // the empty record holds nothing
  EXPECT_EQ(text.syncIndexAtCharacterIndex(11), 5u);
  EXPECT_EQ(text.syncIndexAtCharacterIndex(UINT64_MAX), 5u);
}

TEST(SyncedText, EmptyText) {
  SyncedText empty(DSyncArray{}, kUTF8StringEncoding, nullptr);
  EXPECT_EQ(empty.numberOfSyncs(), 0u);
  EXPECT_FALSE(empty.hasDelays());
  EXPECT_EQ(empty.LRCEnhanced(false), "");
  EXPECT_EQ(empty.LRCEnhanced(true), "");
  EXPECT_EQ(empty.chordProByMergingChordsTSyncs({}), "");
  EXPECT_EQ(empty.syncIndexAtDelay(100), -1);
  EXPECT_EQ(empty.syncIndexAtCharacterIndex(0), 0u);
  EXPECT_THROW(empty.delayAtSyncIndex(0), std::out_of_range);
  EXPECT_THROW(empty.rangeAtSyncIndex(0, true), std::out_of_range);

  EXPECT_FALSE(withDelays({0, 0}).hasDelays());
  EXPECT_FALSE(withDelays({5, -1}).hasDelays());
  EXPECT_TRUE(withDelays({0, 1}).hasDelays());
}

TEST(SyncedText, LookupsByDelay) {
  SyncedText text = withDelays({0, 5, 5, 5, 7});
  EXPECT_EQ(text.syncIndexAtDelay(6), 1);
  EXPECT_EQ(text.syncIndexAtDelay(5), 1);
  EXPECT_EQ(text.syncIndexAtDelay(-1), -1);
  EXPECT_EQ(text.syncIndexAtDelay(0), 0);
  EXPECT_EQ(text.syncIndexAtDelay(INT32_MAX), 4);
  EXPECT_EQ(withDelays({3, 3}).syncIndexAtDelay(3), 0);

  EXPECT_EQ(text.rangeAtSyncIndex(2, false), (SyncRange{4, 2}));
  EXPECT_EQ(text.rangeAtSyncIndex(2, true), (SyncRange{2, 6}));  // items 1 to 3
  EXPECT_EQ(text.rangeAtSyncIndex(1, true), (SyncRange{2, 6}));
  EXPECT_EQ(text.rangeAtSyncIndex(4, true), (SyncRange{8, 2}));
  EXPECT_THROW(text.rangeAtSyncIndex(5, false), std::out_of_range);

  // Out of order: the backward walk passes later records, the union stays contiguous.
  SyncedText unordered = withDelays({5, 6, 5, 9});
  EXPECT_EQ(unordered.rangeAtSyncIndex(2, true), (SyncRange{0, 6}));

  SyncedText negative = withDelays({-40, 3});
  EXPECT_EQ(negative.delayAtSyncIndex(0), 0);
  EXPECT_EQ(negative.delayAtSyncIndex(1), 3);
}

TEST(SyncedText, LRC) {
  TSyncArray items{line("Hel", 0), line("lo", 500, true), line("World", 61000)};
  SyncedText text(items, kUTF8StringEncoding, nullptr);
  EXPECT_EQ(text.LRCEnhanced(false), "\n[00:00.00]Hello\n[01:01.00]World");
  EXPECT_EQ(text.LRCEnhanced(true), "\n[00:00.00]<00:00.00>Hel<00:00.50>lo\n[01:01.00]<01:01.00>World");

  // Hours are dropped, hundredths truncated, negative times start the song, an inner line
  // break never reaches the output.
  SyncedText odd({line("late", 3723456, true), line("before", -300, true), line("a\nb", 1999)},
                 kUTF8StringEncoding, nullptr);
  EXPECT_EQ(odd.LRCEnhanced(false), "\n[02:03.45]late\n[00:00.00]before\n[00:01.99]ab");
  SyncedText huge({line("x", INT32_MAX)}, kUTF8StringEncoding, nullptr);
  EXPECT_EQ(huge.LRCEnhanced(false), "\n[31:23.64]x");  // 2147483.647 s
}

TEST(SyncedText, TimesThroughASignatureMap) {
  // 999.6 µs per tick: tick 10 is 9.996 ms, rounded to 10 ms for LRC, truncated to 9 otherwise.
  SyncedText text({line("a", 10), line("b", 960)}, kUTF8StringEncoding, constantTempo(999.6));
  EXPECT_EQ(text.msecsAtDelay(10), 9u);
  EXPECT_EQ(text.LRCEnhanced(true), "\n[00:00.01]<00:00.01>a<00:00.96>b");

  SyncedText standard(TSyncArray{}, kUTF8StringEncoding, constantTempo(500000.0 / 480));
  EXPECT_EQ(standard.msecsAtDelay(960), 1000u);
  EXPECT_EQ(standard.msecsAtDelay(-480), 0u);
  SyncedText slow(TSyncArray{}, kUTF8StringEncoding, constantTempo(1e9));
  EXPECT_EQ(slow.msecsAtDelay(INT32_MAX), UINT32_MAX);

  SyncedText plain(TSyncArray{}, kUTF8StringEncoding, nullptr);
  EXPECT_EQ(plain.msecsAtDelay(1234), 1234u);
  EXPECT_EQ(plain.msecsAtDelay(-1), 0u);
  EXPECT_EQ(plain.msecsAtDelay(INT32_MAX), uint32_t(INT32_MAX));
}

TEST(SyncedText, DecodingAndEncodingTheRawItems) {
  DSyncArray raw{DSyncItem("caf\xE9\r", 0), DSyncItem("\x82\xA0", 10)};
  SyncedText text(raw, kISOLatin1StringEncoding, nullptr);
  EXPECT_EQ(text.encodedString(), "café\n\xC2\x82\xC2\xA0");
  EXPECT_EQ(text.encoding(), kISOLatin1StringEncoding);

  text.buildStringUsingEncoding(kShiftJISStringEncoding);
  EXPECT_EQ(text.encodedString(), "caf?\nあ");  // 0xE9 then CR is no Shift JIS character
  EXPECT_EQ(text.syncVector()[1].range, (SyncRange{5, 1}));

  // Built even with no encoding at all (read as ISO Latin 1).
  SyncedText none(raw, kNoEncoding, nullptr);
  EXPECT_EQ(none.numberOfSyncs(), 2u);

  // New raw items are decoded again even in the same encoding.
  text.setRawDSyncs({DSyncItem("neu", 0)});
  text.buildStringUsingEncoding(kShiftJISStringEncoding);
  EXPECT_EQ(text.encodedString(), "neu");

  SyncedText fromText({line("日本", 0, true), line("語", 5)}, kShiftJISStringEncoding, nullptr);
  ASSERT_EQ(fromText.rawDSyncs().size(), 2u);
  EXPECT_EQ(fromText.rawDSyncs()[0].data(), "\x93\xFA\x96\x7B\r");
  fromText.setSyncs({line("x", 1)});
  ASSERT_EQ(fromText.rawDSyncs().size(), 1u);
  EXPECT_EQ(fromText.rawDSyncs()[0].data(), "x");
  EXPECT_EQ(fromText.dSyncsUsingEncoding(kUTF8StringEncoding)[0].data(), "x");
}

TEST(SyncedText, ChordProMergesChordsIntoLyrics) {
  SyncedText text({line("Hel", 0), line("lo", 10, true), line("World", 20)}, kUTF8StringEncoding, nullptr);
  EXPECT_EQ(text.chordProByMergingChordsTSyncs({chord(" C m 7", 0), chord("G", 15), chord("F", 99)}),
            "[Cm7]Hello\n[G]World[F]");
  EXPECT_EQ(text.chordProByMergingChordsTSyncs({}), "Hello\nWorld");
}
