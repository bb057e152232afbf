#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "base/log.h"
#include "sequence_test_util.h"
#include "smf/gm_names.h"

using namespace sw;
using namespace swtest;

namespace {

std::unique_ptr<MidiSequence> loaded(const MidiFileBuilder& file) {
  OSStatus status = noErr;
  auto seq = load(file.bytes(), kSMFLoadFull, &status);
  EXPECT_EQ(status, noErr);
  return seq;
}

std::string textOf(const MidiEvent* e) {
  return std::string(reinterpret_cast<const char*>(e->metaData()), e->metaDataSize());
}

// (ticks, bytes) of every channel message, in order.
using Timed = std::vector<std::tuple<uint32_t, std::vector<uint8_t>>>;
Timed channelEvents(const MidiSequence& seq) {
  Timed out;
  for (const MidiEvent* e : seq.events())
    if (e->isChannelMessage()) out.emplace_back(e->ticks(), bytesOf(e));
  return out;
}

// Sorted, so that events of one tick compare whatever their order across tracks.
Timed sorted(Timed events) {
  std::stable_sort(events.begin(), events.end());
  return events;
}

// (track, text) of the meta events of a type.
std::vector<std::pair<int, std::string>> metaTexts(const MidiSequence& seq, uint8_t type) {
  std::vector<std::pair<int, std::string>> out;
  for (const MidiEvent* e : seq.events())
    if (e->isMeta(type)) out.emplace_back(e->track(), textOf(e));
  return out;
}

// A format-1 band: conductor, a piano track on channel 0 with a marker, a drum track on
// channel 9 with a GS sysex.
MidiFileBuilder band() {
  MidiFileBuilder file(1, 480);
  file.track().text(0, 3, "Band").timeSignature(0, 3, 2).tempo(0, 600000).tempo(960, 500000).endOfTrack();
  file.track()
      .text(0, 3, "Piano")
      .program(0, 0, 0)
      .noteOn(0, 0, 60, 90)
      .text(120, 6, "verse")
      .noteOff(360, 0, 60)
      .text(0, 6, "chorus")
      .noteOn(0, 0, 64, 80)
      .noteOff(480, 0, 64)
      .endOfTrack();
  file.track()
      .text(0, 3, "Drums")
      .program(0, 9, 25)
      .sysex(0, {0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7})
      .noteOn(0, 9, 36, 100)
      .noteOff(240, 9, 36)
      .control(0, 9, 7, 100)
      .endOfTrack();
  return file;
}

// Records what the conversions ask of a text keeper that rewrites lyrics.
struct RecordingKeeper : SequenceTextKeeper {
  std::vector<std::string> calls;
  size_t lyrics = 0, chords = 0;
  void keep(const MidiSequence&) override { calls.push_back("keep"); }
  size_t lyricCount() const override { return lyrics; }
  size_t chordCount() const override { return chords; }
  void markLyricsAndChords(const MidiSequence&, std::vector<uint8_t>&) override { calls.push_back("remove"); }
  void writeLyricsAndChords(MidiSequence& seq, uint8_t track) override {
    calls.push_back("write " + std::to_string(track) + " of " + std::to_string(seq.numTracks()));
  }
  void restoreInformation(MidiSequence& seq) override {
    calls.push_back("restore");
    seq.insertEvent(event({0xFF, 0x03, 0x04, 'S', 'o', 'n', 'g'}, 0, 0));
  }
};

}  // namespace

// ---------------------------------------------------------------- formats

TEST(FormatConversion, ZeroThenOneThenZeroKeepsEveryChannelEventAndItsTime) {
  auto seq = loaded(band());
  const Timed original = channelEvents(*seq);

  seq->convertToZero();
  EXPECT_EQ(seq->numTracks(), 1);
  EXPECT_TRUE(std::all_of(seq->events().begin(), seq->events().end(), [](auto* e) { return e->track() == 0; }));
  EXPECT_EQ(sorted(channelEvents(*seq)), sorted(original));
  EXPECT_TRUE(isConsistent(*seq));
  // The markers of the piano track follow a prefix for channel 0, the sysex one for channel 9.
  std::vector<std::string> flow;
  for (const MidiEvent* e : seq->events()) {
    if (e->isMeta(meta::kChannelPrefix)) flow.push_back("prefix " + std::to_string(e->metaData()[0]));
    if (e->isMeta(meta::kMarker)) flow.push_back(textOf(e));
    if (e->isSysex()) flow.push_back("sysex");
  }
  EXPECT_EQ(flow, (std::vector<std::string>{"prefix 9", "sysex", "prefix 0", "verse", "chorus"}));
  EXPECT_EQ(metaTexts(*seq, meta::kTrackName), (std::vector<std::pair<int, std::string>>{{0, "Band"}}));

  ASSERT_TRUE(seq->convertToOne(true));
  EXPECT_EQ(sorted(channelEvents(*seq)), sorted(original));
  EXPECT_TRUE(isConsistent(*seq, false));
  // Tracks left: conductor, System, channel 0, channel 9; the markers went with their prefix.
  EXPECT_EQ(seq->numTracks(), 4);
  EXPECT_EQ(seq->trackNames(), (std::vector<std::string>{"Band", "System", "Acoustic Grand Piano", "TR-808 Kit"}));
  for (const MidiEvent* e : seq->events()) {
    if (e->isMeta(meta::kMarker)) { EXPECT_EQ(e->track(), 2); }
    if (e->isSysex()) { EXPECT_EQ(e->track(), 1); }
    if (e->isMeta(meta::kTempo) || e->isMeta(meta::kTimeSignature)) { EXPECT_EQ(e->track(), 0); }
    if (e->isChannelMessage()) { EXPECT_EQ(e->track(), e->channel() == 0 ? 2 : 3); }
  }

  seq->convertToZero();
  EXPECT_EQ(sorted(channelEvents(*seq)), sorted(original));
  // Written and read back, the file still holds the same channel events and tempo.
  OSStatus status = noErr;
  auto reread = load(seq->dataRepresentation(true), kSMFLoadFull, &status);
  ASSERT_EQ(status, noErr);
  EXPECT_EQ(reread->numTracks(), 1);
  EXPECT_EQ(sorted(channelEvents(*reread)), sorted(original));
  EXPECT_EQ(reread->tempoMap(), seq->tempoMap());
}

TEST(FormatConversion, ZeroDropsNamesAndTheKaraokeHeaderButKeepsTheSequenceName) {
  MidiFileBuilder file(1, 480);
  file.track().text(0, 3, "Song").text(0, 1, "@KMIDI KARAOKE FILE").text(0, 1, "@TTitle").endOfTrack();
  file.track().endOfTrack();
  file.track()
      .text(0, 3, "Bass")
      .raw(0, {0xFF, 0x20, 0x01, 0x05})
      .control(0, 2, 10, 64)
      .text(10, 6, "one")
      .text(10, 6, "two")
      .endOfTrack();
  auto seq = loaded(file);
  RecordingKeeper keeper;
  seq->convertToZero(&keeper);
  EXPECT_EQ(keeper.calls, (std::vector<std::string>{"keep", "remove", "write 0 of 1", "restore"}));
  EXPECT_EQ(metaTexts(*seq, meta::kTrackName), (std::vector<std::pair<int, std::string>>{{0, "Song"}}));
  EXPECT_EQ(metaTexts(*seq, meta::kText), (std::vector<std::pair<int, std::string>>{{0, "@TTitle"}}));

  // Without a keeper the lyrics stay as they are, and so does the karaoke header.
  auto plain = loaded(file);
  plain->convertToZero();
  EXPECT_EQ(metaTexts(*plain, meta::kTrackName), (std::vector<std::pair<int, std::string>>{{0, "Song"}}));
  EXPECT_EQ(metaTexts(*plain, meta::kText).size(), 2u);
  // The old prefix (channel 5) goes; the track's channel comes from its control change.
  std::vector<std::vector<uint8_t>> prefixes;
  for (const MidiEvent* e : seq->events())
    if (e->isMeta(meta::kChannelPrefix)) prefixes.push_back(bytesOf(e));
  EXPECT_EQ(prefixes, (std::vector<std::vector<uint8_t>>{{0xFF, 0x20, 0x01, 0x02}}));
  // Directly before the first marker, at its time.
  int marker = 0;
  while (!seq->eventAtIndex(marker)->isMeta(meta::kMarker)) ++marker;
  EXPECT_TRUE(seq->eventAtIndex(marker - 1)->isMeta(meta::kChannelPrefix));
  EXPECT_EQ(seq->eventAtIndex(marker - 1)->ticks(), 10u);
}

TEST(FormatConversion, OneRefusesASequenceOfSeveralTracks) {
  auto seq = loaded(band());
  std::vector<std::vector<uint8_t>> before;
  for (const MidiEvent* e : seq->events()) before.push_back(bytesOf(e));
  EXPECT_FALSE(seq->convertToOne(true));
  EXPECT_EQ(seq->numTracks(), 3);
  ASSERT_EQ(seq->count(), int(before.size()));
  for (int i = 0; i < seq->count(); ++i) EXPECT_EQ(bytesOf(seq->eventAtIndex(i)), before[size_t(i)]);
}

TEST(FormatConversion, OneLaysOutSoftKaraokeTracks) {
  MidiFileBuilder file(0, 480);
  auto& t = file.track();
  t.text(0, 3, "Song").text(0, 5, "Oh ").program(0, 0, 40);
  const char* lyrics[] = {"Hel", "lo", "\r", "world", "\n", "again", "\r", "a", "\r", "b", "\r", "c"};
  for (const char* l : lyrics) t.text(10, 5, l);
  t.text(5, 1, "Am").noteOn(0, 0, 60, 100).noteOff(100, 0, 60).endOfTrack();
  auto seq = loaded(file);
  ASSERT_TRUE(seq->convertToOne(true));

  auto names = seq->trackNames();
  EXPECT_EQ(names, (std::vector<std::string>{"Song", "SoftKaraoke", "Words", "Chords", "Violin"}));
  EXPECT_EQ(seq->numTracks(), 5);
  std::vector<std::string> words;
  for (const MidiEvent* e : seq->events())
    if (e->track() == 2 && e->isMeta(meta::kText)) words.push_back(textOf(e));
  // Two line ends give slashes, the third a paragraph; LF always a paragraph. A lyric at
  // tick 0 would read as a header there: it moves to tick 1 instead of being lost.
  EXPECT_EQ(words, (std::vector<std::string>{"@T", "\\Oh ", "Hel", "lo", "/world", "\\again", "/a", "/b", "\\c"}));
  EXPECT_EQ(metaTexts(*seq, meta::kLyric).size(), 0u);
  auto texts = metaTexts(*seq, meta::kText);
  EXPECT_NE(std::find(texts.begin(), texts.end(), std::make_pair(1, std::string("@KMIDI KARAOKE FILE"))), texts.end());
  EXPECT_NE(std::find(texts.begin(), texts.end(), std::make_pair(3, std::string("%Am"))), texts.end());
  EXPECT_TRUE(isConsistent(*seq));
}

TEST(FormatConversion, SoftKaraokeTextsStayLyricsWithoutAKeeper) {
  MidiFileBuilder file(1, 480);
  file.track().text(0, 1, "@KMIDI KARAOKE FILE").tempo(0, 500000).endOfTrack();
  file.track()
      .text(0, 1, "@TTwinkle")
      .text(0, 1, "\\Twin")
      .text(480, 1, "kle ")
      .text(0, 1, "%C")
      .text(480, 1, "/lit")
      .endOfTrack();
  file.track().text(0, 3, "Melody").program(0, 0, 74).noteOn(0, 0, 60, 100).noteOff(960, 0, 60).endOfTrack();
  auto seq = loaded(file);
  seq->convertToZero();
  auto texts = metaTexts(*seq, meta::kText);
  ASSERT_EQ(texts.size(), 6u);
  EXPECT_EQ(texts[0].second, "@KMIDI KARAOKE FILE");

  RecordingKeeper keeper;
  keeper.lyrics = 1;
  ASSERT_TRUE(seq->convertToOne(false, &keeper));
  EXPECT_EQ(keeper.calls, (std::vector<std::string>{"keep", "write 0 of 1", "restore"}));

  auto again = loaded(file);
  again->convertToZero();
  ASSERT_TRUE(again->convertToOne(false));
  EXPECT_EQ(again->trackNames(), (std::vector<std::string>{"", "SoftKaraoke", "Words", "Chords", ""}));
  std::vector<std::pair<int, std::string>> expected{{1, "@KMIDI KARAOKE FILE"}, {2, "@TTwinkle"}, {2, "\\Twin"},
                                                    {2, "kle "},                {3, "%C"},         {2, "/lit"}};
  EXPECT_EQ(metaTexts(*again, meta::kText), expected);
}

TEST(FormatConversion, OneNamesChannelTracksOnlyWithKnownPrograms) {
  MidiFileBuilder file(0, 96);
  file.track()
      .text(0, 1, "Plain text becomes the name")
      .program(0, 9, 3)  // no drum kit
      .program(0, 1, 33)
      .program(0, 1, 0)  // the first program of a channel counts
      .raw(0, {0xFF, 0x20, 0x01, 0x01})
      .text(0, 4, "Bass instrument")
      .noteOn(0, 9, 36, 100)
      .noteOff(10, 9, 36)
      .endOfTrack();
  auto seq = loaded(file);
  ASSERT_TRUE(seq->convertToOne(true));
  // Conductor, channel 1, channel 9; the instrument name followed the prefix to channel 1.
  EXPECT_EQ(seq->trackNames(),
            (std::vector<std::string>{"Plain text becomes the name", "Electric Bass (finger)", ""}));
  EXPECT_EQ(metaTexts(*seq, meta::kInstrumentName),
            (std::vector<std::pair<int, std::string>>{{1, "Bass instrument"}}));

  auto unnamed = loaded(file);
  ASSERT_TRUE(unnamed->convertToOne(false));
  EXPECT_EQ(unnamed->trackNames()[1], "");
}

// ---------------------------------------------------------------- track clean-up

TEST(TrackCleanUp, AllToTrack0KeepsOnlyTheFirstName) {
  auto seq = loaded(band());
  seq->insertEvent(event({0xFF, 0x20, 0x01, 0x00}, 1, 0));
  seq->insertEvent(event({0xFF, 0x04, 0x01, 'x'}, 2, 0));
  const Timed original = channelEvents(*seq);
  seq->allToTrack0();
  EXPECT_EQ(seq->numTracks(), 1);
  EXPECT_EQ(metaTexts(*seq, meta::kTrackName), (std::vector<std::pair<int, std::string>>{{0, "Band"}}));
  EXPECT_TRUE(metaTexts(*seq, meta::kInstrumentName).empty());
  EXPECT_TRUE(metaTexts(*seq, meta::kChannelPrefix).empty());
  EXPECT_EQ(channelEvents(*seq), original);
}

TEST(TrackCleanUp, RemoveEmptyTracksRenumbers) {
  MidiSequence seq;  // two events on track 0
  seq.setNumTracks(6);
  for (int i = 0; i < 3; ++i) seq.insertEvent(event({0xB0, 7, 1}, 0, uint32_t(i)));
  for (int i = 0; i < 3; ++i) seq.insertEvent(event({0xB1, 7, 1}, 2, uint32_t(i)));
  seq.insertEvent(event({0xB2, 7, 1}, 5, 0));
  seq.removeEmptyTracks();
  EXPECT_EQ(seq.numTracks(), 3);
  std::vector<int> counts(3);
  for (const MidiEvent* e : seq.events()) ++counts.at(e->track());
  EXPECT_EQ(counts, (std::vector<int>{5, 3, 1}));

  while (seq.count()) seq.removeObjectAtIndex(0);
  seq.removeEmptyTracks();
  EXPECT_EQ(seq.numTracks(), 0);
}

// ---------------------------------------------------------------- transposition

TEST(Transposition, NotesMoveAndFoldBackByOctaves) {
  MidiFileBuilder file(0, 480);
  file.track()
      .noteOn(0, 0, 126, 100)
      .noteOn(0, 1, 60, 100)
      .noteOn(0, 9, 36, 100)
      .noteOn(0, 2, 1, 100)
      .noteOff(100, 0, 126)
      .noteOff(0, 1, 60)
      .noteOff(0, 9, 36)
      .noteOff(0, 2, 1)
      .endOfTrack();
  auto seq = loaded(file);
  ASSERT_TRUE(seq->changePitch(2));
  std::vector<int> keys;
  for (const MidiEvent* e : seq->events())
    if (e->isNoteOn()) keys.push_back(e->second());
  EXPECT_EQ(keys, (std::vector<int>{116, 62, 36, 3}));
  EXPECT_TRUE(isConsistent(*seq));

  ASSERT_TRUE(seq->changePitch(-40, 0xFFFF));
  keys.clear();
  for (const MidiEvent* e : seq->events())
    if (e->isNoteOn()) keys.push_back(e->second());
  EXPECT_EQ(keys, (std::vector<int>{76, 22, 8, 11}));  // 3 - 40 = -37, three octaves up
  EXPECT_TRUE(isConsistent(*seq));

  auto before = channelEvents(*seq);
  EXPECT_FALSE(seq->changePitch(128, 0xFFFF));
  EXPECT_FALSE(seq->changePitch(-200, 0xFFFF));
  EXPECT_EQ(channelEvents(*seq), before);
}

TEST(Transposition, OffersOnlyChordCarriersOfMaskedChannelsToTheHook) {
  MidiFileBuilder file(0, 480);
  file.track()
      .text(0, 1, "tick-0 text")
      .text(0, 5, "tick-0 lyric")
      .text(10, 1, "%C")
      .text(0, 5, "la")
      .text(0, 6, "marker")
      .meta(0, 0x7F, {0x43, 0x7B, 0x01, 0x31, 0x00, 0x7F, 0x7F})
      .sysex(0, {0x43, 0x10, 0x4C, 0x00, 0x00, 0x7E, 0x00, 0xF7})
      .control(0, 0, 7, 100)
      .endOfTrack();
  auto seq = loaded(file);
  std::vector<std::string> offered;
  auto hook = [&](MidiEvent& e, int n) {
    EXPECT_EQ(n, 5);
    offered.push_back(e.isSysex() ? "sysex" : std::to_string(e.second()) + "@" + std::to_string(e.ticks()));
  };
  seq->changePitch(5, 0xFFFF, hook);
  EXPECT_EQ(offered, (std::vector<std::string>{"5@0", "1@10", "5@10", "127@10", "sysex"}));
  // Meta and sysex events count as channel 0.
  offered.clear();
  seq->changePitch(5, 0xFFFE, hook);
  EXPECT_TRUE(offered.empty());
}

// ---------------------------------------------------------------- tempo rate

TEST(RateChange, DividesEveryTempoAndKeepsTheMapInStep) {
  auto seq = loaded(band());
  const double division = seq->division();
  ASSERT_TRUE(seq->changeRate(2.0));
  std::vector<std::vector<uint8_t>> tempi;
  for (const MidiEvent* e : seq->events())
    if (e->isMeta(meta::kTempo)) tempi.push_back(bytesOf(e));
  EXPECT_EQ(tempi, (std::vector<std::vector<uint8_t>>{{0xFF, 0x51, 0x03, 0x04, 0x93, 0xE0},
                                                        {0xFF, 0x51, 0x03, 0x03, 0xD0, 0x90}}));
  EXPECT_DOUBLE_EQ(seq->tempoMap().at(0), 300000 / division);
  EXPECT_DOUBLE_EQ(seq->tempoMap().at(960), 250000 / division);
  EXPECT_EQ(seq->eventAtIndex(seq->count() - 1)->ticks(), 960u);  // times do not change

  // 250000 / 3 = 83333.33: truncated.
  ASSERT_TRUE(seq->changeRate(3.0));
  EXPECT_DOUBLE_EQ(seq->tempoMap().at(960), 83333 / division);
}

TEST(RateChange, RefusesFactorsWhoseTempiDoNotFitAndChangesNothing) {
  auto seq = loaded(band());
  const TempoMap map = seq->tempoMap();
  EXPECT_FALSE(seq->changeRate(0.03));  // 600000 / 0.03 = 20,000,000 > 0xFFFFFF
  EXPECT_FALSE(seq->changeRate(0.0));
  EXPECT_FALSE(seq->changeRate(-1.0));
  EXPECT_FALSE(seq->changeRate(std::nan("")));
  EXPECT_FALSE(seq->changeRate(1e9));  // every tempo would become 0
  EXPECT_EQ(seq->tempoMap(), map);
  for (const MidiEvent* e : seq->events())
    if (e->isMeta(meta::kTempo)) { EXPECT_TRUE(e->metaData()[0] == 0x09 || e->metaData()[0] == 0x07); }
  EXPECT_TRUE(seq->changeRate(1.0));
  EXPECT_EQ(seq->tempoMap(), map);
}

// Tempo and signature events that share a tick: after a rate change or a cut between them
// the maps are what a read of the result gives, set by the last event of each kind there.
TEST(Transformations, MapsMatchAReadOfTheResult) {
  MidiFileBuilder file(1, 480);
  file.track()
      .tempo(0, 500000)
      .noteOn(0, 0, 60, 100)
      .noteOff(960, 0, 60)
      .tempo(0, 600000)
      .timeSignature(0, 3, 2)
      .meta(0, 0x51, {0x07, 0xA1})  // too short: read as a tempo of 0
      .timeSignature(0, 6, 3)
      .endOfTrack();
  auto reread = [](MidiSequence& seq) {
    OSStatus status = noErr;
    auto again = load(seq.dataRepresentation(false), kSMFLoadFull, &status);
    EXPECT_EQ(status, noErr);
    return again;
  };
  auto rated = loaded(file);
  ASSERT_TRUE(rated->changeRate(2.0));
  EXPECT_EQ(rated->tempoMap(), reread(*rated)->tempoMap());
  EXPECT_DOUBLE_EQ(rated->tempoMap().at(960), 0);

  for (int type : {meta::kTempo, meta::kTimeSignature}) {
    SCOPED_TRACE(type);
    auto cut = loaded(file);
    int last = -1;
    for (int i = 0; i < cut->count(); ++i)
      if (cut->eventAtIndex(i)->isMeta(uint8_t(type))) last = i;
    ASSERT_TRUE(cut->truncateAtIndex(last));
    const auto again = reread(*cut);
    EXPECT_EQ(cut->tempoMap(), again->tempoMap());
    EXPECT_EQ(cut->signatureMap(), again->signatureMap());
  }
}

// ---------------------------------------------------------------- truncation

TEST(Truncation, CutsAndAppendsTheFortyEightResets) {
  MidiFileBuilder file(0, 480);
  auto& t = file.track();
  for (int i = 0; i < 99; ++i) t.control(10, uint8_t(i % 16), 1, uint8_t(i));
  t.tempo(10, 400000).endOfTrack();
  auto seq = loaded(file);
  ASSERT_EQ(seq->count(), 100);
  ASSERT_TRUE(seq->tempoMap().count(1000));

  ASSERT_TRUE(seq->truncateAtIndex(10));
  ASSERT_EQ(seq->count(), 10 + 48);
  const uint32_t end = seq->eventAtIndex(9)->ticks();
  for (int i = 10; i < seq->count(); ++i) {
    const MidiEvent* e = seq->eventAtIndex(i);
    EXPECT_EQ(e->track(), 0);
    EXPECT_EQ(e->ticks(), end);
    const int c = (i - 10) / 3;
    const uint8_t controller[] = {0x7B, 0x42, 0x40};
    EXPECT_EQ(bytesOf(e), (std::vector<uint8_t>{uint8_t(0xB0 + c), controller[(i - 10) % 3], 0}));
  }
  // The tempo event that left the sequence left the map too.
  EXPECT_FALSE(seq->tempoMap().count(1000));

  // A kept tempo at the tick of a cut one stays in the map.
  MidiSequence twice;
  twice.insertEvent(event({0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20}, 0, 960));
  twice.insertEvent(event({0xFF, 0x51, 0x03, 0x03, 0xD0, 0x90}, 0, 960));
  ASSERT_TRUE(twice.truncateAtIndex(3));
  EXPECT_DOUBLE_EQ(twice.tempoMap().at(960), 500000.0 / 480);
}

TEST(Truncation, EndsNotesWhoseNoteOffWasCutAndRefusesBadIndexes) {
  MidiFileBuilder file(0, 480);
  file.track()
      .noteOn(0, 0, 60, 100)
      .noteOn(0, 0, 60, 100)  // the same note twice: one note-off stays
      .noteOn(10, 1, 62, 100)
      .noteOff(10, 0, 60)
      .noteOff(100, 0, 60)
      .noteOff(0, 1, 62)
      .endOfTrack();
  auto seq = loaded(file);
  ASSERT_EQ(seq->count(), 6);
  EXPECT_FALSE(seq->truncateAtIndex(-1));
  EXPECT_FALSE(seq->truncateAtIndex(7));
  EXPECT_EQ(seq->count(), 6);

  ASSERT_TRUE(seq->truncateAtIndex(4));  // the note-off at 20 stays, the two at 120 go
  EXPECT_EQ(seq->count(), 4 + 2 + 48);
  EXPECT_TRUE(isConsistent(*seq));
  for (int i = 4; i < 6; ++i) {
    EXPECT_TRUE(seq->eventAtIndex(i)->isNoteOff());
    EXPECT_EQ(seq->eventAtIndex(i)->ticks(), 20u);
  }
  EXPECT_EQ(seq->eventAtIndex(6)->ticks(), 20u);

  ASSERT_TRUE(seq->truncateAtIndex(seq->count()));
  EXPECT_EQ(seq->count(), 4 + 2 + 96);
}

// ---------------------------------------------------------------- names

TEST(TrackNames, NamesSettleTextsDoNot) {
  MidiFileBuilder file(1, 480);
  file.track().text(0, 1, "@KMIDI KARAOKE FILE").text(0, 1, "first text").text(0, 1, "second text").endOfTrack();
  file.track().endOfTrack();
  file.track().text(0, 3, "Bass").text(0, 1, "not this").text(0, 3, "nor this").text(1, 3, "too late").endOfTrack();
  file.track().raw(0, {0xFF, 0x03, 0x04, 'C', 0xE9, 'l', 'o'}).endOfTrack();
  auto seq = loaded(file);
  EXPECT_EQ(seq->trackNames(), (std::vector<std::string>{"second text", "", "Bass", "C\xC3\xA9lo"}));
  EXPECT_EQ(seq->numberedTrackNames(),
            (std::vector<std::string>{"01 second text", "02 ", "03 Bass", "04 C\xC3\xA9lo"}));

  // A name that is UTF-8 already is kept; one cut by a NUL ends there.
  MidiSequence other;
  other.setNumTracks(2);
  other.insertEvent(event({0xFF, 0x03, 0x03, 'C', 0xC3, 0xA9}, 0, 0));
  other.insertEvent(event({0xFF, 0x03, 0x03, 'a', 0x00, 'b'}, 1, 0));
  EXPECT_EQ(other.trackNames(), (std::vector<std::string>{"C\xC3\xA9", "a"}));
}

TEST(GMNames, TablesAreComplete) {
  EXPECT_EQ(gm::programNames().size(), 128u);
  for (const char* name : gm::programNames()) EXPECT_TRUE(name && *name);
  EXPECT_STREQ(gm::programName(0), "Acoustic Grand Piano");
  EXPECT_STREQ(gm::programName(127), "Gunshot");
  EXPECT_EQ(gm::programName(128), nullptr);
  EXPECT_STREQ(gm::groupName(127), "Sound Effects");
  EXPECT_STREQ(gm::groupName(8), "Chromatic Percussion");
  EXPECT_STREQ(gm::drumKitName(0), "Standard Kit");
  EXPECT_STREQ(gm::drumKitName(127), "CM-64/CM-32L Kit");
  EXPECT_EQ(gm::drumKitName(1), nullptr);
}

// ---------------------------------------------------------------- odd events

TEST(Transformations, SurviveTruncatedAndMalformedEvents) {
  const std::vector<std::vector<uint8_t>> odd = {
      {0xFF},          {0xFF, 0x01},       {0xFF, 0x01, 0x05, 'a'}, {0xFF, 0x05, 0x01, 0x0D}, {0xF0},
      {0x90},          {0xC0},             {0xFF, 0x51, 0x01, 0x00}, {0xFF, 0x20, 0x00},       {0xFF, 0x03, 0x80},
      {0xFF, 0x01, 0x02, '@'}, {0xF7, 0x01, 0x00}, {0xFF, 0x05, 0x00},
  };
  for (int round = 0; round < 2; ++round) {
    MidiSequence seq;
    seq.setNumTracks(3);
    uint32_t ticks = 0;
    for (const auto& bytes : odd) {
      for (uint8_t track = 0; track < 3; ++track) {
        seq.insertEvent(std::make_unique<MidiEvent>(bytes.data(), uint32_t(bytes.size()), track, ticks));
        seq.insertEvent(std::make_unique<MidiEvent>(bytes.data(), uint32_t(bytes.size()), track, 0));
      }
      ticks += 10;
    }
    seq.trackNames();
    seq.changePitch(7, 0xFFFF, [](MidiEvent&, int) {});
    EXPECT_TRUE(seq.changeRate(1.5));
    if (round == 0) {
      seq.convertToZero();
      EXPECT_TRUE(seq.convertToOne(true));
      seq.convertToZero();
    } else {
      seq.allToTrack0();
      seq.removeEmptyTracks();
    }
    EXPECT_TRUE(seq.truncateAtIndex(seq.count() / 2));
    for (const MidiEvent* e : seq.events()) EXPECT_LT(e->track(), seq.numTracks());
  }
}

// ---------------------------------------------------------------- failed allocations

namespace {

// Everything a failed operation must leave as it was.
struct Snapshot {
  uint16_t tracks = 0;
  std::vector<std::tuple<uint32_t, int, uint32_t, std::vector<uint8_t>>> events;  // ticks, track, duration, bytes
  TempoMap tempo;
  SignatureMap signatures;
  bool operator==(const Snapshot&) const = default;
};

Snapshot snapshotOf(const MidiSequence& seq) {
  Snapshot s{seq.numTracks(), {}, seq.tempoMap(), seq.signatureMap()};
  for (const MidiEvent* e : seq.events()) s.events.emplace_back(e->ticks(), e->track(), e->duration(), bytesOf(e));
  return s;
}

// Leaves texts alone, so that only the sequence's own rebuild makes events.
struct SilentKeeper : SequenceTextKeeper {
  void keep(const MidiSequence&) override {}
  size_t lyricCount() const override { return 0; }
  size_t chordCount() const override { return 0; }
  void markLyricsAndChords(const MidiSequence&, std::vector<uint8_t>&) override {}
  void writeLyricsAndChords(MidiSequence&, uint8_t) override {}
  void restoreInformation(MidiSequence&) override {}
};

// Runs the operation on a fresh band with ever larger allocation limits until it succeeds;
// every failed run must leave the sequence exactly as it was. Answers how many runs failed.
template <typename Operation>
int failuresLeavingTheBandAsItWas(Operation operation) {
  int failures = 0;
  for (long limit = 0; limit < 500; ++limit) {
    auto seq = loaded(band());
    const Snapshot before = snapshotOf(*seq);
    try {
      EventAllocationLimit allocations(limit);
      operation(*seq);
      return failures;
    } catch (const std::bad_alloc&) {
      ++failures;
    }
    EXPECT_TRUE(snapshotOf(*seq) == before) << "after a failure at allocation " << limit;
    EXPECT_TRUE(isConsistent(*seq)) << "after a failure at allocation " << limit;
  }
  ADD_FAILURE() << "never succeeded";
  return failures;
}

}  // namespace

TEST(FailedAllocation, LeavesTheSequenceAsItWas) {
  SilentKeeper keeper;
  // The channel prefixes of format 0 are made before any event moves.
  EXPECT_GT(failuresLeavingTheBandAsItWas([&](MidiSequence& seq) { seq.convertToZero(&keeper); }), 0);
  // The note-offs of cut notes and the resets likewise.
  EXPECT_GE(failuresLeavingTheBandAsItWas([](MidiSequence& seq) { seq.truncateAtIndex(seq.count() / 2); }), 48);
  // Pasted and restored events.
  EXPECT_GT(failuresLeavingTheBandAsItWas([](MidiSequence& seq) {
              FlattenedEventList list;
              list.add(*event({0x90, 62, 90}, 1, 100, 200, 64));
              list.add(*event({0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20}, 0, 300));
              list.add(*event({0xB0, 7, 90}, 2, 500));
              seq.insertFlattenedEventList(list);
            }),
            2);
  EXPECT_GT(failuresLeavingTheBandAsItWas([](MidiSequence& seq) {
              seq.insertEventsAtExactIndexes({PlacedEvent{1, *event({0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20}, 0, 0)},
                                              PlacedEvent{4, *event({0xB0, 7, 90}, 2, 0)}});
            }),
            1);
  // A refused insertion destroys the event with its unique_ptr and changes nothing.
  auto seq = loaded(band());
  const Snapshot before = snapshotOf(*seq);
  EXPECT_THROW(seq->insertEvent(event({0x90, 1, 1}, 9, 0)), std::out_of_range);
  EXPECT_TRUE(snapshotOf(*seq) == before);
}
