#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/log.h"
#include "smf/midi_event.h"
#include "sysex/sysex.h"
#include "sysex/xg_chord.h"

using namespace sw;

namespace {

using Bytes = std::vector<uint8_t>;

// Records the log lines written while a test runs.
class SysexTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = setLogSink([this](const std::string& line) { lines.push_back(line); });
  }
  void TearDown() override { setLogSink(previous_); }
  bool logged(const std::string& line) const { return std::count(lines.begin(), lines.end(), line) > 0; }

  std::vector<std::string> lines;

 private:
  LogSink previous_;
};

// Event data for the message F0 `body`: the length of `body` goes after F0.
Bytes eventData(const Bytes& body) {
  Bytes wire{0xF0};
  wire.insert(wire.end(), body.begin(), body.end());
  return Sysex::eventDataFromMIDIData(wire.data(), wire.size());
}

Bytes midisoft(uint8_t kind, const std::string& text, const Bytes& tail = {}) {
  Bytes body{0x00, 0x20, 0x24, 0x00, kind};
  body.insert(body.end(), text.begin(), text.end());
  body.insert(body.end(), tail.begin(), tail.end());
  body.push_back(0xF7);
  return eventData(body);
}

}  // namespace

TEST_F(SysexTest, ResetsAreIdentifiedAndRecognisedExactly) {
  const Bytes gmOn{0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7};
  const Bytes gmOff{0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x02, 0xF7};
  const Bytes gs{0xF0, 0x0A, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7};
  const Bytes xg{0xF0, 0x08, 0x43, 0x10, 0x4C, 0x00, 0x00, 0x7E, 0x00, 0xF7};

  Sysex on(gmOn);
  EXPECT_EQ(on.type(), "GM On");
  EXPECT_EQ(on.manufacturer(), "Universal Non-Real Time");
  EXPECT_EQ(on.ID(), 0x7E);
  EXPECT_FALSE(on.canSetText());
  EXPECT_EQ(Sysex(gmOff).type(), "GM Off");
  EXPECT_EQ(Sysex(xg).type(), "XG MODE RESET");
  EXPECT_EQ(Sysex(xg).manufacturer(), "Yamaha");
  Sysex roland(gs);
  EXPECT_EQ(roland.manufacturer(), "Roland");
  EXPECT_EQ(roland.checksumState(), Sysex::ChecksumState::Correct);

  EXPECT_EQ(Sysex::resetType(gmOn), fourCC("GM  "));
  EXPECT_EQ(Sysex::resetType(gs), fourCC("GS  "));
  EXPECT_EQ(Sysex::resetType(xg), fourCC("XG  "));
  EXPECT_EQ(Sysex::resetType(gmOff), 0u);
  // The message as sent is recognised too.
  EXPECT_EQ(Sysex::resetType(Sysex(gs).MIDIData()), fourCC("GS  "));
  EXPECT_EQ(Sysex(gmOn).MIDIData(), (Bytes{0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7}));

  // Exact bytes only: another device ID, a wrong length byte, a byte too many, a cut message.
  Bytes otherDevice = gs;
  otherDevice[3] = 0x11;
  EXPECT_EQ(Sysex::resetType(otherDevice), 0u);
  Bytes wrongLength = gmOn;
  wrongLength[1] = 0x06;
  EXPECT_EQ(Sysex::resetType(wrongLength), 0u);
  Bytes longer = xg;
  longer.insert(longer.end() - 1, 0x00);
  EXPECT_EQ(Sysex::resetType(longer), 0u);
  EXPECT_EQ(Sysex::resetType(gmOn.data(), 4), 0u);
  EXPECT_EQ(Sysex::resetType(nullptr, 0), 0u);

  for (const char* kind : {"GM  ", "GS  ", "XG  "}) {
    FourCharCode code = fourCCFromString(kind);
    Bytes built = Sysex::resetEventData(code);
    EXPECT_EQ(Sysex::resetType(built), code) << kind;
  }
  EXPECT_EQ(Sysex::resetEventData(fourCC("GS  ")), gs);
  EXPECT_TRUE(Sysex::resetEventData(fourCC("XX  ")).empty());
  EXPECT_TRUE(lines.empty());
}

TEST_F(SysexTest, MasterVolumeValueIsShownEditedAndRecognised) {
  const Bytes universal{0xF0, 0x07, 0x7F, 0x7F, 0x04, 0x01, 0x00, 0x64, 0xF7};
  Sysex volume(universal);
  EXPECT_EQ(volume.manufacturer(), "Universal Real Time");
  EXPECT_EQ(volume.type(), "MASTER VOLUME (0-127)");
  EXPECT_EQ(volume.text(), "100");
  EXPECT_TRUE(volume.canSetText());

  EXPECT_TRUE(volume.validateSetText("127"));
  EXPECT_TRUE(volume.validateSetText(" 0 "));
  EXPECT_FALSE(volume.validateSetText("128"));
  EXPECT_FALSE(volume.validateSetText("256"));  // must not wrap round to 0
  EXPECT_FALSE(volume.validateSetText("-1"));
  EXPECT_FALSE(volume.validateSetText("abc"));
  EXPECT_FALSE(volume.validateSetText("12abc"));
  EXPECT_FALSE(volume.validateSetText(""));

  EXPECT_FALSE(volume.setText("200"));
  EXPECT_EQ(volume.data(), universal);
  EXPECT_TRUE(volume.setText("127"));
  EXPECT_EQ(volume.data()[7], 0x7F);
  EXPECT_EQ(volume.text(), "127");
  EXPECT_EQ(volume.data().size(), universal.size());

  auto found = Sysex::masterVolume(universal);
  ASSERT_TRUE(found);
  EXPECT_EQ(found->kind, Sysex::MasterVolumeKind::Universal);
  EXPECT_EQ(found->value, 100);
  found = Sysex::masterVolume(Sysex(universal).MIDIData());
  ASSERT_TRUE(found);
  EXPECT_EQ(found->value, 100);
  EXPECT_EQ(Sysex::masterVolumeEventData(100), universal);
  EXPECT_EQ(Sysex::masterVolumeEventData(200)[7], 127);

  Bytes gs = Sysex::masterVolumeEventData(90, Sysex::MasterVolumeKind::GS);
  EXPECT_EQ(gs, (Bytes{0xF0, 0x0A, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x04, 0x5A, 0x62, 0xF7}));
  EXPECT_EQ(Sysex(gs).checksumState(), Sysex::ChecksumState::Correct);
  found = Sysex::masterVolume(gs);
  ASSERT_TRUE(found);
  EXPECT_EQ(found->kind, Sysex::MasterVolumeKind::GS);
  EXPECT_EQ(found->value, 90);

  Bytes fineVolume = universal;  // a non-zero LSB is not the exact form
  fineVolume[6] = 0x10;
  EXPECT_FALSE(Sysex::masterVolume(fineVolume));
  Bytes badValue = universal;  // a value byte with its top bit set
  badValue[7] = 0xE4;
  EXPECT_FALSE(Sysex::masterVolume(badValue));
  EXPECT_FALSE(Sysex::masterVolume(universal.data(), 7));
  EXPECT_FALSE(Sysex::masterVolume(Bytes{0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7}));
}

TEST_F(SysexTest, RolandChecksumIsCheckedAndCorrected) {
  const Bytes wrong{0xF0, 0x0A, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x00, 0xF7};
  const Bytes right{0xF0, 0x0A, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7};
  Sysex gs(wrong);
  EXPECT_EQ(gs.checksumState(), Sysex::ChecksumState::Wrong);
  EXPECT_EQ(gs.data(), right);

  Bytes inPlace = wrong;
  EXPECT_TRUE(Sysex::computeCheckSum(inPlace));
  EXPECT_EQ(inPlace, right);
  EXPECT_FALSE(Sysex::computeCheckSum(inPlace));

  // A sum that is a multiple of 128 gives the checksum 0.
  Bytes zero{0xF0, 0x0A, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x40, 0x00, 0x55, 0xF7};
  EXPECT_TRUE(Sysex::computeCheckSum(zero));
  EXPECT_EQ(zero[10], 0x00);

  MidiEvent event(wrong.data(), uint32_t(wrong.size()), 0, 0);
  EXPECT_TRUE(Sysex::computeCheckSum(event));
  EXPECT_EQ(Bytes(event.data(), event.data() + event.length()), right);
  const uint8_t noteOn[] = {0x90, 0x3C, 0x40};
  MidiEvent note(noteOn, 3, 0, 0);
  EXPECT_FALSE(Sysex::computeCheckSum(note));

  // Other manufacturers are left alone.
  Bytes yamaha = wrong;
  yamaha[2] = 0x43;
  Sysex notRoland(yamaha);
  EXPECT_EQ(notRoland.checksumState(), Sysex::ChecksumState::NotApplicable);
  EXPECT_EQ(notRoland.data(), yamaha);

  // Too short for address, data and checksum: logged, unchanged.
  const Bytes shortRoland{0xF0, 0x07, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0xF7};
  Sysex tooShort(shortRoland);
  EXPECT_EQ(tooShort.checksumState(), Sysex::ChecksumState::TooShort);
  EXPECT_EQ(tooShort.data(), shortRoland);
  EXPECT_TRUE(logged("computeCheckSum failed: _dataLen _dataLen < _VLQLen + 5 + 2"));

  // A length that claims more bytes than there are: the checksum covers the bytes present.
  Bytes bogusLength = wrong;
  bogusLength[1] = 0x7F;
  Sysex bogus(bogusLength);
  EXPECT_TRUE(bogus.isMalformed());
  EXPECT_TRUE(logged("Malformed sysex"));
  EXPECT_EQ(bogus.data()[10], 0x41);
}

TEST_F(SysexTest, XGChordTextIsShownAndEdited) {
  const Bytes chord{0xF0, 0x08, 0x43, 0x7E, 0x02, 0x33, 0x0A, 0x7F, 0x00, 0xF7};
  Sysex sysex(chord);
  EXPECT_EQ(sysex.type(), "XG Chord Control Code");
  EXPECT_EQ(sysex.text(), "Em7");
  EXPECT_TRUE(sysex.canSetText());

  EXPECT_TRUE(sysex.setText("F#m7"));
  EXPECT_EQ(sysex.data()[5], 0x44);
  EXPECT_EQ(sysex.data()[6], 10);
  EXPECT_EQ(sysex.text(), "F#m7");
  EXPECT_TRUE(sysex.setText("f# xyz"));
  EXPECT_EQ(sysex.data()[5], 0x44);
  EXPECT_EQ(sysex.data()[6], 0);
  EXPECT_TRUE(sysex.setText("Bb 7"));
  EXPECT_EQ(sysex.data()[5], 0x27);
  EXPECT_EQ(sysex.data()[6], 19);
  EXPECT_TRUE(sysex.setText("G"));
  EXPECT_EQ(sysex.data()[5], 0x35);
  EXPECT_FALSE(sysex.validateSetText("H7"));
  EXPECT_FALSE(sysex.setText("  "));
  EXPECT_EQ(sysex.text(), "G");

  // Only the ten-byte form is a chord.
  Bytes longer = chord;
  longer.insert(longer.end() - 1, 0x00);
  longer[1] = 0x09;
  EXPECT_EQ(Sysex(longer).type(), "");

  EXPECT_EQ(XGChord::name(0x11, 34), "Cbbcc");
  EXPECT_EQ(XGChord::name(0x67, 0), "B###");
  EXPECT_EQ(XGChord::name(0x71, 0), "");  // no accidental 7
  EXPECT_EQ(XGChord::name(0x38, 0), "");  // no letter 8
  EXPECT_EQ(XGChord::name(0x31, 35), "");
  Bytes noName = chord;
  noName[5] = 0x7F;
  EXPECT_EQ(Sysex(noName).text(), "");
}

TEST_F(SysexTest, KaraokeTextIsCarriedAndRewritten) {
  Sysex line(midisoft(0x04, "Hi", {0x0A, 'x'}));
  EXPECT_EQ(line.manufacturer(), "Midisoft");
  EXPECT_EQ(line.ID(), 0x2024);
  EXPECT_EQ(line.type(), "Line 1");
  EXPECT_EQ(line.text(), "Hi");
  EXPECT_EQ(line.textRange().location, 7u);
  EXPECT_EQ(line.textRange().length, 2u);

  EXPECT_TRUE(line.setText("Hello"));
  EXPECT_EQ(line.data(), midisoft(0x04, "Hello", {0x0A, 'x'}));
  EXPECT_EQ(line.text(), "Hello");
  // A line feed or an F7 would end the text early: refused.
  EXPECT_FALSE(line.setText("a\nb"));
  EXPECT_FALSE(line.setText("\xC3\xB7"));  // U+00F7 is the byte F7
  EXPECT_FALSE(line.setText("\xE2\x82\xAC"));  // not ISO Latin 1
  EXPECT_EQ(line.text(), "Hello");
  // Every byte of the message is a data byte: a character that encodes to 80 or above is
  // refused, as a typed hex byte of that size is.
  EXPECT_FALSE(line.setText("caf\xC3\xA9"));
  EXPECT_EQ(line.textBytes(), "Hello");
  EXPECT_TRUE(line.setText("cafe"));
  EXPECT_EQ(line.text(), "cafe");
  EXPECT_FALSE(line.isMalformed());

  EXPECT_EQ(Sysex(midisoft(0x07, "x")).type(), "Line 4");
  EXPECT_EQ(Sysex(midisoft(0x01, "Am")).type(), "Chord");
  EXPECT_EQ(Sysex(midisoft(0x01, "Am")).text(), "Am");
  EXPECT_EQ(Sysex(midisoft(0x08, "")).type(), "Sync");
  EXPECT_FALSE(Sysex(midisoft(0x08, "")).canSetText());
  EXPECT_EQ(Sysex(midisoft(0x03, "x")).type(), "");
  Bytes notZero = midisoft(0x04, "x");
  notZero[5] = 0x01;
  EXPECT_EQ(Sysex(notZero).manufacturer(), "Midisoft");
  EXPECT_EQ(Sysex(notZero).type(), "");

  // An empty line still has a place for text.
  Sysex empty(midisoft(0x05, ""));
  EXPECT_TRUE(empty.canSetText());
  EXPECT_TRUE(empty.setText("ab"));
  EXPECT_EQ(empty.data(), midisoft(0x05, "ab"));

  // A line longer than 127 bytes has a two-byte length; shortening it gives a one-byte one.
  std::string longText(200, 'a');
  Sysex longLine(midisoft(0x05, longText));
  EXPECT_EQ(longLine.VLQLen(), 2u);
  EXPECT_EQ(longLine.type(), "Line 2");
  EXPECT_EQ(longLine.text(), longText);
  EXPECT_TRUE(longLine.setText("short"));
  EXPECT_EQ(longLine.data(), midisoft(0x05, "short"));
  EXPECT_EQ(longLine.VLQLen(), 1u);
  EXPECT_TRUE(longLine.setText(longText));
  EXPECT_EQ(longLine.data()[1], 0x81);
  EXPECT_EQ(longLine.MIDIData().size(), longLine.data().size() - 2);

  Bytes farfisa = eventData({0x00, 0x20, 0x0B, 0x10, 0x7D, 'l', 'a', 0x0A, 0xF7});
  Sysex lyrics(farfisa);
  EXPECT_EQ(lyrics.manufacturer(), "Farfisa");
  EXPECT_EQ(lyrics.type(), "Lyrics");
  EXPECT_EQ(lyrics.text(), "la\n");

  // Another decoding of the same bytes.
  SysexTextCodec codec;
  codec.decode = [](std::string_view bytes) { return "<" + std::string(bytes) + ">"; };
  Sysex decoded(midisoft(0x04, "Hi"), codec);
  EXPECT_EQ(decoded.text(), "<Hi>");
  decoded.setTextCodec({});
  EXPECT_EQ(decoded.text(), "Hi");
}

TEST_F(SysexTest, ManufacturerNames) {
  EXPECT_EQ(Sysex(eventData({0x01, 0x00, 0xF7})).manufacturer(), "Sequential Circuits");
  EXPECT_EQ(Sysex(eventData({0x42, 0x30, 0xF7})).manufacturer(), "Korg");
  EXPECT_EQ(Sysex(eventData({0x7D, 0x00, 0xF7})).manufacturer(), "Non-Commercial");
  EXPECT_EQ(Sysex(eventData({0x60, 0x00, 0xF7})).manufacturer(), "Unknown manufacturer ID: 0x60");
  Sysex access(eventData({0x00, 0x20, 0x33, 0x01, 0xF7}));
  EXPECT_EQ(access.manufacturer(), "Access");
  EXPECT_EQ(access.ID(), 0x2033);
  EXPECT_EQ(access.sID(), 0);
  EXPECT_EQ(Sysex(eventData({0x00, 0x00, 0x0E, 0x01, 0xF7})).manufacturer(), "Alesis");
  Sysex unknown(eventData({0x00, 0x12, 0x34, 0x01, 0xF7}));
  EXPECT_EQ(unknown.manufacturer(), "Unknown manufacturer ID: 0x001234");
  EXPECT_EQ(unknown.type(), "");
  EXPECT_EQ(Sysex(eventData({0x00, 0x01, 0xF7})).manufacturer(), "Unknown manufacturer ID: 0x00");
}

TEST_F(SysexTest, BadInputGivesEmptyResults) {
  // Not F0 ... F7: ignored, and an object keeps what it had.
  for (const Bytes& bad : {Bytes{}, Bytes{0xF0}, Bytes{0xF7}, Bytes{0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01},
                           Bytes{0x90, 0x3C, 0xF7}}) {
    Sysex sysex(bad);
    EXPECT_TRUE(sysex.data().empty());
    EXPECT_EQ(sysex.type(), "");
    EXPECT_EQ(sysex.manufacturer(), "");
    EXPECT_FALSE(sysex.canSetText());
    EXPECT_FALSE(sysex.setText("1"));
    EXPECT_TRUE(sysex.MIDIData().empty());
  }
  Sysex kept(Bytes{0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7});
  kept.setData(Bytes{0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x02});
  EXPECT_EQ(kept.type(), "GM On");
  kept.setMIDIData(Bytes{});
  EXPECT_EQ(kept.type(), "GM On");

  // Nothing between the length and F7, or an unreadable length.
  for (const Bytes& bad : {Bytes{0xF0, 0xF7}, Bytes{0xF0, 0x00, 0xF7}, Bytes{0xF0, 0x01, 0xF7},
                           Bytes{0xF0, 0x81, 0xF7}, Bytes{0xF0, 0x81, 0x81, 0x81, 0x81, 0x01, 0x7E, 0xF7}}) {
    Sysex sysex(bad);
    EXPECT_EQ(sysex.data(), bad);
    EXPECT_FALSE(sysex.hasID());
    EXPECT_EQ(sysex.manufacturer(), "");
    EXPECT_EQ(sysex.type(), "");
    EXPECT_EQ(sysex.isMalformed(), bad.size() != 3 || bad[1] != 0x01);
    EXPECT_FALSE(sysex.computeCheckSum());
  }
  EXPECT_TRUE(logged("Malformed sysex"));

  // A length bigger than the data is tolerated.
  Sysex tooLong(Bytes{0xF0, 0x7F, 0x7E, 0x7F, 0x09, 0x01, 0xF7});
  EXPECT_TRUE(tooLong.isMalformed());
  EXPECT_EQ(tooLong.type(), "GM On");
  EXPECT_EQ(tooLong.MIDIData(), (Bytes{0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7}));

  // Data bytes with the top bit set: manufacturer only.
  Sysex highValue(Bytes{0xF0, 0x07, 0x7F, 0x7F, 0x04, 0x01, 0x00, 0xE4, 0xF7});
  EXPECT_EQ(highValue.manufacturer(), "Universal Real Time");
  EXPECT_EQ(highValue.type(), "");
  EXPECT_EQ(highValue.text(), "");
  EXPECT_FALSE(highValue.canSetText());
  EXPECT_TRUE(highValue.isMalformed());
  Sysex highID(Bytes{0xF0, 0x05, 0x90, 0x7F, 0x09, 0x01, 0xF7});
  EXPECT_EQ(highID.manufacturer(), "Unknown manufacturer ID: 0x90");
  EXPECT_EQ(highID.type(), "");
  Sysex earlyEnd(Bytes{0xF0, 0x08, 0x43, 0x10, 0x4C, 0x00, 0xF7, 0x7E, 0x00, 0xF7});
  EXPECT_EQ(earlyEnd.type(), "");
  // A master volume without its value byte.
  EXPECT_EQ(Sysex(Bytes{0xF0, 0x06, 0x7F, 0x7F, 0x04, 0x01, 0x00, 0xF7}).type(), "");

  // Every cut of well-formed messages, closed with F7, and garbage lengths: no read out of
  // bounds (the sanitizers watch), and every operation answers.
  const std::vector<Bytes> samples = {
      {0xF0, 0x0A, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7},
      {0xF0, 0x0A, 0x41, 0x10, 0x45, 0x12, 0x10, 0x00, 0x00, 0x41, 0x2F, 0xF7},
      {0xF0, 0x0A, 0x41, 0x10, 0x42, 0x12, 0x40, 0x11, 0x15, 0x02, 0x18, 0xF7},
      {0xF0, 0x0A, 0x41, 0x10, 0x42, 0x12, 0x41, 0x04, 0x24, 0x40, 0x57, 0xF7},
      {0xF0, 0x08, 0x43, 0x7E, 0x02, 0x33, 0x0A, 0x7F, 0x00, 0xF7},
      {0xF0, 0x07, 0x7F, 0x7F, 0x04, 0x01, 0x00, 0x64, 0xF7},
      midisoft(0x04, "Hello"),
      eventData({0x00, 0x20, 0x0B, 0x10, 0x7D, 'l', 'a', 0xF7}),
  };
  for (const Bytes& sample : samples) {
    for (size_t cut = 1; cut <= sample.size(); ++cut) {
      for (uint8_t length : {uint8_t(0x00), uint8_t(0x05), uint8_t(0x7F), uint8_t(0x80), uint8_t(0xFF)}) {
        Bytes bytes(sample.begin(), sample.begin() + cut);
        if (bytes.back() != 0xF7) bytes.push_back(0xF7);
        if (bytes.size() > 1 && length != 0x05) bytes[1] = length;
        Sysex sysex(bytes);
        (void)sysex.MIDIData();
        (void)sysex.textBytes();
        for (const char* text : {"1", "Am7", "abc"})
          if (sysex.validateSetText(text)) {
            EXPECT_TRUE(sysex.setText(text));
          }
        sysex.computeCheckSum();
        Bytes copy = sysex.data();
        Sysex::computeCheckSum(copy);
        (void)Sysex::resetType(bytes);
        (void)Sysex::masterVolume(bytes);
      }
    }
  }
}

// Random messages, with and without F7 and with lengths that lie, decode without reading out
// of bounds, and a text edit either succeeds and reads back or changes nothing.
TEST(SysexRandom, ArbitraryBytesDecodeSafely) {
  sw::setLogSink([](const std::string&) {});
  uint32_t seed = 12345;
  auto next = [&seed] { return seed = seed * 1664525u + 1013904223u; };
  const uint8_t prefixes[][4] = {{0x41, 0x10, 0x42, 0x12}, {0x43, 0x10, 0x4C, 0x00}, {0x7E, 0x7F, 0x09, 0x01},
                                 {0x7F, 0x7F, 0x04, 0x01}, {0x00, 0x20, 0x24, 0x00}, {0x43, 0x7B, 0x0C, 0x01}};
  for (int round = 0; round < 20000; ++round) {
    Bytes data{0xF0};
    const size_t length = next() % 24;
    data.push_back(uint8_t(next() % 3 == 0 ? next() : length));  // the length byte may lie
    const auto& prefix = prefixes[next() % 6];
    for (size_t i = 0; i < length; ++i) data.push_back(i < 4 && next() % 2 ? prefix[i] : uint8_t(next()));
    if (next() % 2) data.push_back(0xF7);
    Sysex sysex(data);
    (void)sysex.manufacturer();
    (void)sysex.type();
    (void)sysex.checksumState();
    (void)Sysex::resetType(data);
    (void)Sysex::masterVolume(data);
    if (sysex.canSetText()) {
      const Bytes before = sysex.data();
      if (!sysex.setText("12")) {
        EXPECT_EQ(sysex.data(), before);
      }
    }
  }
}
