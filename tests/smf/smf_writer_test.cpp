#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <random>

#include "base/finder_info.h"
#include "base/xattr.h"
#include "sequence_test_util.h"
#include "smf/midi_sequence.h"
#include "temp_dir.h"

using namespace sw;
using swtest::Bytes;
using swtest::event;

namespace {

// A sequence without events: one track, division 480.
std::unique_ptr<MidiSequence> emptySequence(uint16_t tracks = 1) {
  auto seq = std::make_unique<MidiSequence>();
  while (seq->count() > 0) seq->removeObjectAtIndex(0);
  seq->setNumTracks(tracks);
  return seq;
}

Bytes header(uint16_t format, uint16_t tracks, uint16_t division) {
  return {'M', 'T', 'h', 'd', 0, 0, 0, 6, uint8_t(format >> 8), uint8_t(format), uint8_t(tracks >> 8),
          uint8_t(tracks), uint8_t(division >> 8), uint8_t(division)};
}

Bytes concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// The event bytes of a chunk (between its header and its end of track) in a written file.
Bytes trackBody(const Bytes& file, int track) {
  size_t at = 14;
  for (int i = 0;; ++i) {
    uint32_t length = uint32_t(file.at(at + 4)) << 24 | uint32_t(file.at(at + 5)) << 16 |
                      uint32_t(file.at(at + 6)) << 8 | file.at(at + 7);
    if (i == track) return Bytes(file.begin() + long(at + 8), file.begin() + long(at + 8 + length - 4));
    at += 8 + length;
  }
}

}  // namespace

TEST(SMFWriter, ByteExactLayouts) {
  // One track, a note and its note-off.
  auto seq = emptySequence();
  seq->insertEvent(event({0x90, 0x3C, 0x64}, 0, 0, 96, 0x40));
  seq->insertEvent(event({0x80, 0x3C, 0x40}, 0, 96));
  Bytes expected = concat({header(0, 1, 480), {'M', 'T', 'r', 'k', 0, 0, 0, 0x0C},
                           {0x00, 0x90, 0x3C, 0x64, 0x60, 0x80, 0x3C, 0x40, 0x00, 0xFF, 0x2F, 0x00}});
  EXPECT_EQ(seq->dataRepresentation(), expected);
  // Compressed, the note-off of velocity 64 is the note-on of velocity 0 and shares its status.
  EXPECT_EQ(seq->dataRepresentation(true),
            concat({header(0, 1, 480), {'M', 'T', 'r', 'k', 0, 0, 0, 0x0B},
                    {0x00, 0x90, 0x3C, 0x64, 0x60, 0x3C, 0x00, 0x00, 0xFF, 0x2F, 0x00}}));

  // Three tracks, the middle one empty: still a chunk, holding only the end of track.
  auto three = emptySequence(3);
  three->insertEvent(event({0xC0, 0x05}, 0, 0));
  three->insertEvent(event({0xC2, 0x07}, 2, 0));
  Bytes threeExpected = concat({header(1, 3, 480),
                                {'M', 'T', 'r', 'k', 0, 0, 0, 7, 0x00, 0xC0, 0x05, 0x00, 0xFF, 0x2F, 0x00},
                                {'M', 'T', 'r', 'k', 0, 0, 0, 4, 0x00, 0xFF, 0x2F, 0x00},
                                {'M', 'T', 'r', 'k', 0, 0, 0, 7, 0x00, 0xC2, 0x07, 0x00, 0xFF, 0x2F, 0x00}});
  EXPECT_EQ(three->dataRepresentation(), threeExpected);

  // Delta times are per track and use the variable-length form at every size boundary.
  auto deltas = emptySequence(2);
  deltas->insertEvent(event({0xB0, 0x07, 0x64}, 0, 128));      // 81 00
  deltas->insertEvent(event({0xB0, 0x07, 0x65}, 0, 0x407F));   // +0x3FFF: FF 7F
  deltas->insertEvent(event({0xB0, 0x07, 0x66}, 0, 0x807F));   // +0x4000: 81 80 00
  deltas->insertEvent(event({0xB1, 0x07, 0x64}, 1, 200));      // track 1 counts from 0: 81 48
  deltas->insertEvent(event({0xB1, 0x07, 0x65}, 1, 0x200000 + 200));  // 81 80 80 00
  Bytes file = deltas->dataRepresentation();
  EXPECT_EQ(trackBody(file, 0), (Bytes{0x81, 0x00, 0xB0, 0x07, 0x64, 0xFF, 0x7F, 0xB0, 0x07, 0x65, 0x81, 0x80,
                                       0x00, 0xB0, 0x07, 0x66}));
  EXPECT_EQ(trackBody(file, 1),
            (Bytes{0x81, 0x48, 0xB1, 0x07, 0x64, 0x81, 0x80, 0x80, 0x00, 0xB1, 0x07, 0x65}));

  // Without tracks, one empty track: a file of no track does not read back. No crash and no
  // event touched.
  auto none = emptySequence(1);
  none->insertEvent(event({0x90, 0x3C, 0x64}, 0, 0));
  none->setNumTracks(0);
  const Bytes oneEmptyTrack = concat({header(0, 1, 480), {'M', 'T', 'r', 'k', 0, 0, 0, 4, 0x00, 0xFF, 0x2F, 0x00}});
  EXPECT_EQ(none->dataRepresentation(true), oneEmptyTrack);
  EXPECT_EQ(none->eventAtIndex(0)->track(), 0);
}

TEST(SMFWriter, RunningStatus) {
  auto seq = emptySequence();
  uint8_t text[] = {0xFF, 0x01, 0x01, 'a'};
  uint8_t sysex[] = {0xF0, 0x02, 0x7E, 0xF7};
  seq->insertEvent(event({0x90, 0x3C, 0x64}, 0, 0, 10, 0));
  seq->insertEvent(event({0x90, 0x40, 0x64}, 0, 0, 10, 0));
  seq->insertEvent(std::make_unique<MidiEvent>(text, 4, 0, 5));
  seq->insertEvent(event({0x90, 0x3C, 0x00}, 0, 10));  // after a meta event: status dropped
  seq->insertEvent(std::make_unique<MidiEvent>(sysex, 4, 0, 12));
  seq->insertEvent(event({0x90, 0x40, 0x00}, 0, 12));  // after a sysex: status dropped
  seq->insertEvent(event({0x91, 0x40, 0x00}, 0, 13));  // another channel: status written
  seq->insertEvent(event({0xB0, 0x07, 0x64}, 0, 14));
  seq->insertEvent(event({0x90, 0x41, 0x00}, 0, 15));  // status changed in between: written

  Bytes compressed = trackBody(seq->dataRepresentation(true), 0);
  EXPECT_EQ(compressed, (Bytes{0x00, 0x90, 0x3C, 0x64, 0x00, 0x40, 0x64, 0x05, 0xFF, 0x01, 0x01, 'a',
                               0x05, 0x3C, 0x00, 0x02, 0xF0, 0x02, 0x7E, 0xF7, 0x00, 0x40, 0x00,
                               0x01, 0x91, 0x40, 0x00, 0x01, 0xB0, 0x07, 0x64, 0x01, 0x90, 0x41, 0x00}));
  Bytes plain = trackBody(seq->dataRepresentation(false), 0);
  EXPECT_EQ(plain.size(), compressed.size() + 3);

  // Running status starts afresh in every track.
  auto two = emptySequence(2);
  two->insertEvent(event({0xC0, 0x01}, 0, 0));
  two->insertEvent(event({0xC0, 0x02}, 1, 0));
  Bytes file = two->dataRepresentation(true);
  EXPECT_EQ(trackBody(file, 1), (Bytes{0x00, 0xC0, 0x02}));

  // Both forms read back as the same events (controllers: the reader pairs notes anew).
  auto controls = emptySequence(2);
  controls->insertEvent(event({0xB0, 0x07, 0x64}, 0, 0));
  controls->insertEvent(event({0xB0, 0x0A, 0x40}, 0, 0));
  controls->insertEvent(std::make_unique<MidiEvent>(text, 4, 0, 300));
  controls->insertEvent(event({0xB0, 0x0B, 0x7F}, 0, 300));
  controls->insertEvent(std::make_unique<MidiEvent>(sysex, 4, 1, 301));
  controls->insertEvent(event({0xB0, 0x0B, 0x10}, 1, 302));
  controls->insertEvent(event({0xB0, 0x0B, 0x11}, 1, 302));
  for (bool compress : {false, true}) {
    OSStatus status = 1;
    auto back = swtest::load(controls->dataRepresentation(compress), kSMFLoadFull, &status);
    ASSERT_EQ(status, noErr);
    ASSERT_EQ(back->count(), controls->count());
    for (int i = 0; i < controls->count(); ++i) {
      const MidiEvent* a = back->eventAtIndex(i);
      const MidiEvent* b = controls->eventAtIndex(i);
      EXPECT_EQ(swtest::bytesOf(a), swtest::bytesOf(b)) << i;
      EXPECT_EQ(a->ticks(), b->ticks()) << i;
      EXPECT_EQ(a->track(), b->track()) << i;
    }
  }
}

TEST(SMFWriter, TracksDivisionAndRepeatability) {
  // An event beyond the last track goes into the last track, and stays there.
  auto seq = emptySequence(6);
  seq->insertEvent(event({0xC0, 0x01}, 0, 0));
  seq->insertEvent(event({0xC5, 0x02}, 5, 0));
  seq->setNumTracks(2);
  Bytes first = seq->dataRepresentation();
  EXPECT_EQ(trackBody(first, 1), (Bytes{0x00, 0xC5, 0x02}));
  EXPECT_EQ(seq->eventAtIndex(1)->track(), 1);
  EXPECT_EQ(seq->dataRepresentation(), first);  // the same bytes every time
  Bytes compressed = seq->dataRepresentation(true);
  EXPECT_EQ(seq->dataRepresentation(true), compressed);

  // A SMPTE division is written back as it was read: 25 frames, 40 ticks per frame.
  OSStatus status = 1;
  swtest::MidiFileBuilder builder(1, 480);
  builder.divisionWord(0xE728);
  builder.track().noteOn(0, 0, 60, 100).noteOff(40, 0, 60).endOfTrack();
  auto smpte = swtest::load(builder.bytes(), kSMFLoadFull, &status);
  ASSERT_EQ(status, noErr);
  EXPECT_EQ(smpte->divisionWord(), 0xE728);
  Bytes written = smpte->dataRepresentation();
  EXPECT_EQ(written[12], 0xE7);
  EXPECT_EQ(written[13], 0x28);
  auto again = swtest::load(written, kSMFLoadFull, &status);
  EXPECT_EQ(again->SMPTEFormat(), smpte->SMPTEFormat());
  EXPECT_EQ(again->division(), 40);

  auto metrical = emptySequence();
  metrical->setDivision(960);
  Bytes plain = metrical->dataRepresentation();
  EXPECT_EQ(plain[12], 0x03);
  EXPECT_EQ(plain[13], 0xC0);
}

TEST(SMFWriter, LargeSequenceLayout) {
  auto seq = emptySequence(4);
  const int kNotes = 40000;
  for (int i = 0; i < kNotes; ++i) {
    uint8_t track = uint8_t(i % 4);
    seq->appendEventUnordered(event({uint8_t(0x90 | track), uint8_t(i % 128), 100}, track, uint32_t(i * 10), 5, 0));
    seq->appendEventUnordered(event({uint8_t(0x80 | track), uint8_t(i % 128), 0}, track, uint32_t(i * 10 + 5)));
  }
  Bytes file = seq->dataRepresentation(true);
  // Per track 10000 notes, each a one-byte delta and three bytes for the note-on and the
  // note-off alike: their statuses alternate, so nothing is dropped.
  EXPECT_EQ(file.size(), 14 + 4 * (8 + (kNotes / 4) * 8 + 4));
  OSStatus status = 1;
  auto back = swtest::load(file, kSMFLoadFull, &status);
  ASSERT_EQ(status, noErr);
  EXPECT_EQ(back->count(), seq->count());
}

TEST(SMFWriter, WriteToFileKeepsAttributesAndFailsSafely) {
  swtest::TempDir dir;
  auto seq = emptySequence();
  seq->insertEvent(event({0x90, 0x3C, 0x64}, 0, 0, 96, 0x40));
  seq->insertEvent(event({0x80, 0x3C, 0x40}, 0, 96));

  // A new file.
  std::string fresh = dir.file("fresh.mid");
  ASSERT_EQ(seq->writeToFile(fresh, false), noErr);
  EXPECT_EQ(swtest::TempDir::read(fresh), seq->dataRepresentation(false));

  // Over an existing file: type, creator, other attributes and permissions stay.
  std::string path = dir.write("song.mid", Bytes(100, 0x55));
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  FinderInfo info{fourCC("Midi"), fourCC("TSMF")};
  ASSERT_EQ(info.write(path), noErr);
  ASSERT_EQ(xattr::set(path, "com.tessary.encoding", {'4'}), noErr);
  ASSERT_EQ(seq->writeToFile(path, true), noErr);
  EXPECT_EQ(swtest::TempDir::read(path), seq->dataRepresentation(true));
  FinderInfo after = FinderInfo::read(path);
  EXPECT_EQ(after.type, info.type);
  EXPECT_EQ(after.creator, info.creator);
  EXPECT_EQ(xattr::get(path, "com.tessary.encoding"), (xattr::Bytes{'4'}));
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);

  // Failures are reported and leave everything as it was.
  Bytes before = swtest::TempDir::read(path);
  EXPECT_NE(seq->writeToFile(dir.file("missing/song.mid"), false), noErr);
  std::filesystem::create_directory(dir.file("folder.mid"));
  EXPECT_NE(seq->writeToFile(dir.file("folder.mid"), false), noErr);
  EXPECT_TRUE(std::filesystem::is_directory(dir.file("folder.mid")));
  EXPECT_EQ(swtest::TempDir::read(path), before);
  size_t entries = 0;
  for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(dir.path())) ++entries;
  EXPECT_EQ(entries, 3u);  // fresh.mid, song.mid, folder.mid: no temporary file left
}

TEST(SMFWriter, CompressingNeverGrowsAFileOfZeroVelocityNoteOns) {
  // Songs written the usual compact way: running status, note-ends as note-ons of velocity 0,
  // with controllers and a second channel mixed in.
  std::mt19937 random(7);
  for (int song = 0; song < 40; ++song) {
    swtest::MidiFileBuilder file(0, 480);
    auto& t = file.track().useRunningStatus();
    t.tempo(0, 500000);
    for (int i = 0; i < 200; ++i) {
      const uint8_t channel = uint8_t(random() % 2);
      const uint8_t key = uint8_t(40 + random() % 40);
      if (random() % 8 == 0) t.control(0, channel, 7, uint8_t(random() % 128));
      t.noteOn(uint32_t(random() % 3) * 60, channel, key, 100);
      t.noteOn(uint32_t(1 + random() % 240), channel, key, 0);
    }
    t.endOfTrack();
    const Bytes original = file.bytes();
    OSStatus status = noErr;
    auto seq = swtest::load(original, 0, &status);
    ASSERT_EQ(status, noErr);
    const Bytes compressed = seq->dataRepresentation(true);
    EXPECT_LE(compressed.size(), original.size()) << "song " << song;
    // The same music: every note-off reads back where it was.
    auto again = swtest::load(compressed, 0, &status);
    ASSERT_EQ(status, noErr);
    ASSERT_EQ(again->count(), seq->count());
    for (int i = 0; i < seq->count(); ++i) {
      EXPECT_EQ(swtest::bytesOf(again->eventAtIndex(i)), swtest::bytesOf(seq->eventAtIndex(i))) << i;
      EXPECT_EQ(again->eventAtIndex(i)->ticks(), seq->eventAtIndex(i)->ticks()) << i;
    }
  }
}
