#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <thread>
#include <vector>

#include "smf/flattened_event_list.h"
#include "smf/midi_event.h"
#include "smf/vlq.h"

using namespace sw;

namespace {
std::vector<uint8_t> bytesOf(const MidiEvent& e) { return {e.data(), e.data() + e.length()}; }
}  // namespace

TEST(MidiEvent, StorageAccessorsAndCopies) {
  const uint8_t noteOn[] = {0x93, 0x3C, 0x64};
  MidiEvent e(noteOn, 3, 2, 480, 96, 40);
  EXPECT_EQ(e.status(), 0x90);
  EXPECT_EQ(e.channel(), 3);
  EXPECT_EQ(e.second(), 0x3C);
  EXPECT_EQ(e.third(), 0x64);
  e.setChannel(9);
  EXPECT_EQ(e.data()[0], 0x99);

  MidiEvent copy(e);
  EXPECT_NE(copy.eventID(), e.eventID());
  EXPECT_EQ(bytesOf(copy), bytesOf(e));
  EXPECT_EQ(copy.ticks(), 480u);
  EXPECT_EQ(copy.duration(), 96u);
  EXPECT_EQ(copy.offVelocity(), 40);
  EXPECT_NE(copy.data(), e.data());

  const uint8_t prefix[] = {0xFF, 0x20, 0x01, 0x05};
  MidiEvent meta(prefix, 4, 0, 0);
  EXPECT_EQ(meta.channel(), 0);
  meta.setChannel(3);
  EXPECT_EQ(bytesOf(meta), std::vector<uint8_t>(prefix, prefix + 4));
  EXPECT_EQ(meta.metaDataSize(), 1u);
  EXPECT_EQ(meta.metaData()[0], 0x05);

  // Growing from inline to heap and back keeps the bytes right.
  const uint8_t single[] = {0xF6};
  meta.setData(single, 1);
  EXPECT_EQ(meta.status(), 0xF6);
  meta.setData(prefix, 4);
  EXPECT_EQ(bytesOf(meta), std::vector<uint8_t>(prefix, prefix + 4));
}

TEST(MidiEvent, MetaAndSysexPayloads) {
  const uint8_t emptyName[] = {0xFF, 0x03, 0x00};
  MidiEvent name(emptyName, 3, 0, 0);
  name.setMetaData(reinterpret_cast<const uint8_t*>("Words"), 5);
  EXPECT_EQ(bytesOf(name), (std::vector<uint8_t>{0xFF, 0x03, 0x05, 'W', 'o', 'r', 'd', 's'}));
  EXPECT_EQ(name.length(), 8u);
  std::string big(200, 'x');
  name.setMetaData(reinterpret_cast<const uint8_t*>(big.data()), 200);
  EXPECT_EQ(name.length(), 2u + 2u + 200u);
  EXPECT_EQ(name.metaDataSize(), 200u);
  name.setMetaData(nullptr, 0);
  EXPECT_EQ(bytesOf(name), (std::vector<uint8_t>{0xFF, 0x03, 0x00}));

  const uint8_t gmOn[] = {0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7};
  MidiEvent sysex(gmOn, 7, 0, 0);
  EXPECT_EQ(sysex.sysexDataSize(), 4u);
  EXPECT_EQ(sysex.sysexData()[0], 0x7E);
  EXPECT_EQ(sysex.channel(), 0);

  // A length that claims more than the event holds is bounded by what is there.
  const uint8_t lying[] = {0xF0, 0x7F, 0x41, 0xF7};
  MidiEvent bad(lying, 4, 0, 0);
  EXPECT_EQ(bad.sysexDataSize(), 1u);

  // Accessors on the wrong kind are programming errors; an F7 escape is not a sysex.
  const uint8_t escape[] = {0xF7, 0x01, 0x41, 0xF7};
  MidiEvent f7(escape, 4, 0, 0);
  EXPECT_THROW(f7.sysexDataSize(), AssertionFailure);
  EXPECT_THROW(sysex.metaDataSize(), AssertionFailure);
  try {
    sysex.metaData();
  } catch (const AssertionFailure& failure) {
    EXPECT_STREQ(failure.what(), "Invalid parameter not satisfying: status()==META_EVENT");
  }
}

TEST(MidiEvent, SameKind) {
  const uint8_t cc7[] = {0xB0, 7, 100}, cc10[] = {0xB1, 10, 64}, cc7b[] = {0xB5, 7, 1};
  const uint8_t text[] = {0xFF, 0x01, 0x00}, lyric[] = {0xFF, 0x05, 0x00};
  MidiEvent a(cc7, 3, 0, 0), b(cc10, 3, 0, 0), c(cc7b, 3, 0, 0), t(text, 3, 0, 0), l(lyric, 3, 0, 0);
  EXPECT_FALSE(a.isSameTypeOfEvent(b));
  EXPECT_TRUE(a.isSameTypeOfEvent(c));
  EXPECT_FALSE(t.isSameTypeOfEvent(l));
}

TEST(VariableLengthQuantity, EncodeAndReadBack) {
  uint8_t out[4];
  EXPECT_EQ(writeVLQ(0x80, out), 2u);
  EXPECT_EQ(out[0], 0x81);
  EXPECT_EQ(out[1], 0x00);
  EXPECT_EQ(writeVLQ(0x3FFF, out), 2u);
  EXPECT_EQ(out[0], 0xFF);
  EXPECT_EQ(out[1], 0x7F);
  EXPECT_EQ(writeVLQ(0x4000, out), 3u);
  EXPECT_EQ((std::vector<uint8_t>(out, out + 3)), (std::vector<uint8_t>{0x81, 0x80, 0x00}));
  EXPECT_EQ(encodeVLQ(0x80).bytes, 0x8100u);
  EXPECT_EQ(encodeVLQ(0x80).size, 2u);
  EXPECT_EQ(encodeVLQ(kMaxVLQ).bytes, 0xFFFFFF7Fu);
  for (uint32_t v : {0u, 1u, 0x7Fu, 0x80u, 0x1FFFFFu, 0x200000u, kMaxVLQ}) {
    uint32_t n = writeVLQ(v, out);
    VLQRead r = readVLQ(out, n);
    EXPECT_EQ(r.value, v);
    EXPECT_EQ(r.size, n);
  }
  // Cut off, or longer than four bytes: no value.
  const uint8_t five[] = {0x81, 0x81, 0x81, 0x81, 0x01};
  EXPECT_FALSE(readVLQ(five, 5).ok());
  EXPECT_FALSE(readVLQ(five, 2).ok());
}

TEST(FlattenedEventList, SortedAddAndMerge) {
  FlattenedEventList list;
  const uint8_t bytes[4][3] = {{0x90, 1, 1}, {0x90, 2, 1}, {0x90, 3, 1}, {0x90, 4, 1}};
  uint32_t ticks[4] = {10, 5, 10, 5};
  for (int i = 0; i < 4; ++i) {
    FlattenedRecord r;
    r.ticks = ticks[i];
    r.data = std::span<const uint8_t>(bytes[i], 3);
    list.add(r);
  }
  std::vector<int> keys;
  for (size_t at = list.begin(); !list.atEnd(at); at = list.next(at)) keys.push_back(list.record(at).data[1]);
  EXPECT_EQ(keys, (std::vector<int>{2, 4, 1, 3}));
  EXPECT_EQ(list.recordCount(), 4u);

  FlattenedEventList other;
  FlattenedRecord r;
  r.ticks = 5;
  r.track = 7;
  r.data = std::span<const uint8_t>(bytes[0], 3);
  other.add(r);
  FlattenedEventList merged = FlattenedEventList::merge(list, other);
  std::vector<int> tracks;
  for (size_t at = merged.begin(); !merged.atEnd(at); at = merged.next(at)) tracks.push_back(merged.record(at).track);
  EXPECT_EQ(tracks, (std::vector<int>{0, 0, 7, 0, 0}));

  // Bytes from outside (the pasteboard) with a damaged record stop at it.
  std::vector<uint8_t> raw = merged.bytes();
  raw[0] = 3;  // record length below the fixed part
  FlattenedEventList damaged(raw);
  EXPECT_EQ(damaged.recordCount(), 0u);
  raw = merged.bytes();
  raw.resize(raw.size() - 5);
  EXPECT_EQ(FlattenedEventList(raw).recordCount(), 4u);
}

// Events made on several threads at once never share an ID, and an ID announced as the next
// one lies above every event made before it, on whatever thread.
TEST(MidiEvent, IDsStayUniqueAcrossThreadsAndNextIsAboveAll) {
  const uint8_t noteOn[] = {0x90, 0x3C, 0x64};
  std::vector<std::vector<uint32_t>> ids(3);
  std::vector<std::thread> threads;
  for (auto& list : ids)
    threads.emplace_back([&list, &noteOn] {
      for (int i = 0; i < 5000; ++i) list.push_back(MidiEvent(noteOn, 3, 0, 0).eventID());
    });
  for (std::thread& thread : threads) thread.join();
  std::vector<uint32_t> all;
  for (const auto& list : ids) {
    EXPECT_TRUE(std::is_sorted(list.begin(), list.end()));
    all.insert(all.end(), list.begin(), list.end());
  }
  std::sort(all.begin(), all.end());
  EXPECT_EQ(std::adjacent_find(all.begin(), all.end()), all.end());
  const uint32_t next = MidiEvent::nextEventID();
  EXPECT_GT(next, all.back());
  EXPECT_GE(MidiEvent(noteOn, 3, 0, 0).eventID(), next);
}
