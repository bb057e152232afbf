#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <vector>

#include "base/log.h"
#include "sysex/gs_parameters.h"
#include "sysex/sysex.h"

using namespace sw;

namespace {

using Bytes = std::vector<uint8_t>;

// Event data of a Roland data set to `model` at address a b c, with its checksum.
Bytes dataSet(uint8_t a, uint8_t b, uint8_t c, const Bytes& values, uint8_t model = 0x42) {
  Bytes wire{0xF0, 0x41, 0x10, model, 0x12, a, b, c};
  wire.insert(wire.end(), values.begin(), values.end());
  wire.push_back(0x00);  // the checksum, filled in below
  wire.push_back(0xF7);
  Bytes data = Sysex::eventDataFromMIDIData(wire.data(), wire.size());
  Sysex::computeCheckSum(data);
  return data;
}

Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

// The checksum worked out here, independently: address, data and checksum add up to 0 mod 128.
bool checksumHolds(const Bytes& data) {
  const Sysex sysex(data);
  unsigned sum = 0;
  for (size_t i = 1 + sysex.VLQLen() + 4; i + 1 < data.size(); ++i) sum += data[i];
  return sum % 128 == 0;
}

class GSParametersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = setLogSink([](const std::string&) {});
  }
  void TearDown() override { setLogSink(previous_); }

 private:
  LogSink previous_;
};

}  // namespace

TEST_F(GSParametersTest, SystemParameters) {
  Sysex volume(dataSet(0x40, 0x00, 0x04, {0x64}));
  EXPECT_EQ(volume.type(), "MASTER VOLUME (0-127)");
  EXPECT_EQ(volume.text(), "100");
  EXPECT_TRUE(volume.canSetText());
  EXPECT_EQ(volume.checksumState(), Sysex::ChecksumState::Correct);

  EXPECT_EQ(Sysex(dataSet(0x40, 0x00, 0x05, {0x40})).text(), "0 semitones");
  EXPECT_EQ(Sysex(dataSet(0x40, 0x00, 0x05, {0x28})).text(), "-24 semitones");

  Sysex tune(dataSet(0x40, 0x00, 0x00, {0x00, 0x04, 0x00, 0x00}));
  EXPECT_EQ(tune.type(), "MASTER TUNE (-100.0/+100.0)");
  EXPECT_EQ(tune.text(), "   0.0 cent");
  EXPECT_FALSE(tune.canSetText());
  EXPECT_EQ(Sysex(dataSet(0x40, 0x00, 0x00, {0x00, 0x07, 0x0E, 0x08})).text(), " 100.0 cent");
  EXPECT_EQ(Sysex(dataSet(0x40, 0x00, 0x00, {0x00, 0x00, 0x01, 0x08})).text(), "-100.0 cent");
  // Three of the four nibbles: the label only.
  Sysex shortTune(dataSet(0x40, 0x00, 0x00, {0x00, 0x04, 0x00}));
  EXPECT_EQ(shortTune.type(), "MASTER TUNE (-100.0/+100.0)");
  EXPECT_EQ(shortTune.text(), "");

  Sysex mode(dataSet(0x40, 0x00, 0x7F, {0x00}));
  EXPECT_EQ(mode.type(), "GS MODE SET (0,127)");
  EXPECT_EQ(mode.text(), "0");
  EXPECT_FALSE(mode.canSetText());
  for (uint8_t xx : {0x01, 0x03, 0x07, 0x7E}) EXPECT_EQ(Sysex(dataSet(0x40, 0x00, xx, {0x00})).type(), "") << int(xx);
}

TEST_F(GSParametersTest, EditedValuesStayInRangeAndFixTheChecksum) {
  Sysex shift(dataSet(0x40, 0x00, 0x05, {0x40}));
  EXPECT_FALSE(shift.validateSetText("30"));
  EXPECT_FALSE(shift.validateSetText("-25"));
  EXPECT_FALSE(shift.setText("25"));
  EXPECT_EQ(shift.data(), dataSet(0x40, 0x00, 0x05, {0x40}));
  EXPECT_TRUE(shift.setText("-5"));
  EXPECT_EQ(shift.data()[9], 0x3B);
  EXPECT_EQ(shift.text(), "-5 semitones");
  EXPECT_TRUE(checksumHolds(shift.data()));
  EXPECT_EQ(shift.data(), dataSet(0x40, 0x00, 0x05, {0x3B}));

  Sysex pan(dataSet(0x40, 0x00, 0x06, {0x40}));
  EXPECT_FALSE(pan.validateSetText("0"));
  EXPECT_TRUE(pan.setText("127"));
  EXPECT_TRUE(checksumHolds(pan.data()));

  Sysex reverb(dataSet(0x40, 0x01, 0x30, {0x04}));
  EXPECT_EQ(reverb.type(), "REVERB MACRO (0-7)");
  EXPECT_EQ(reverb.text(), "4 (Hall 2)");
  EXPECT_FALSE(reverb.validateSetText("8"));
  EXPECT_TRUE(reverb.setText("7"));
  EXPECT_EQ(reverb.text(), "7 (Panning Delay)");
  EXPECT_TRUE(checksumHolds(reverb.data()));
  // A macro value past the names is shown bare.
  EXPECT_EQ(Sysex(dataSet(0x40, 0x01, 0x30, {0x09})).text(), "9");
  EXPECT_EQ(Sysex(dataSet(0x40, 0x01, 0x38, {0x07})).text(), "7 (Short Delay (FB))");

  // Only the first value of a message carrying several is described and edited.
  Sysex reverbBlock(dataSet(0x40, 0x01, 0x33, {0x40, 0x50, 0x60}));
  EXPECT_EQ(reverbBlock.type(), "REVERB LEVEL (0-127)");
  EXPECT_TRUE(reverbBlock.setText("0"));
  EXPECT_EQ(reverbBlock.data(), dataSet(0x40, 0x01, 0x33, {0x00, 0x50, 0x60}));

  // Shown-only parameters refuse any edit.
  for (const Bytes& data : {dataSet(0x40, 0x11, 0x15, {0x01}), dataSet(0x41, 0x04, 0x24, {0x40}),
                            dataSet(0x40, 0x01, 0x1A, {0x02}), dataSet(0x10, 0x08, 0x01, {0x01}, 0x45)}) {
    Sysex sysex(data);
    EXPECT_FALSE(sysex.canSetText()) << sysex.type();
    EXPECT_FALSE(sysex.setText("1"));
    EXPECT_EQ(sysex.data(), data);
  }
}

TEST_F(GSParametersTest, PatchNameAndDisplayedLetters) {
  Sysex name(dataSet(0x40, 0x01, 0x00, text("Piano")));
  EXPECT_EQ(name.type(), "PATCH NAME");
  EXPECT_EQ(name.text(), "Piano");
  EXPECT_TRUE(name.fields().carriesCharacters);

  EXPECT_TRUE(name.setText("ABCDEFGHIJKLMNOPQRST"));
  EXPECT_EQ(name.text(), "ABCDEFGHIJKLMNOP");
  EXPECT_EQ(name.data(), dataSet(0x40, 0x01, 0x00, text("ABCDEFGHIJKLMNOP")));
  EXPECT_EQ(name.dataLen(), name.data().size() - 2);
  EXPECT_TRUE(checksumHolds(name.data()));
  EXPECT_TRUE(name.setText("Strings 12"));
  EXPECT_EQ(name.text(), "Strings 12\t\t\t\t\t\t");
  EXPECT_TRUE(checksumHolds(name.data()));
  // A character with the top bit set cannot stand in a data set: refused, nothing changes.
  const Bytes before = name.data();
  EXPECT_FALSE(name.validateSetText("Caf\u00E9"));
  EXPECT_FALSE(name.setText("Caf\u00E9"));
  EXPECT_EQ(name.data(), before);
  // Such a byte already in the message makes it malformed.
  Bytes high = dataSet(0x40, 0x01, 0x00, text("Ab"));
  high[10] = 0xE9;
  Sysex malformed(high);
  EXPECT_TRUE(malformed.isMalformed());
  EXPECT_EQ(malformed.type(), "");
  EXPECT_FALSE(malformed.canSetText());

  Sysex letters(dataSet(0x10, 0x00, 0x00, text("Hello"), 0x45));
  EXPECT_EQ(letters.type(), "DISPLAYED LETTER");
  EXPECT_EQ(letters.text(), "Hello");
  EXPECT_TRUE(letters.setText(std::string(40, 'x')));
  EXPECT_EQ(letters.text(), std::string(32, 'x'));
  EXPECT_TRUE(letters.setText("Hi"));
  EXPECT_EQ(letters.data(), dataSet(0x10, 0x00, 0x00, text("Hi"), 0x45));

  // A message longer than 127 bytes has a two-byte length; positions move on with it.
  Sysex longLetters(dataSet(0x10, 0x00, 0x00, text(std::string(130, 'a')), 0x45));
  EXPECT_EQ(longLetters.VLQLen(), 2u);
  EXPECT_EQ(longLetters.type(), "DISPLAYED LETTER");
  EXPECT_EQ(longLetters.text(), std::string(130, 'a'));
  EXPECT_TRUE(longLetters.setText("short"));
  EXPECT_EQ(longLetters.data(), dataSet(0x10, 0x00, 0x00, text("short"), 0x45));
  EXPECT_EQ(longLetters.VLQLen(), 1u);
}

TEST_F(GSParametersTest, PartParameters) {
  const std::string rhythm = "USE FOR RHYTHM PART (0 = OFF, 1 = MAP1, 2 = MAP2)";
  Sysex part1(dataSet(0x40, 0x11, 0x15, {0x02}));
  EXPECT_EQ(part1.type(), "Part 1 " + rhythm);
  EXPECT_EQ(part1.text(), "2");
  EXPECT_EQ(Sysex(dataSet(0x40, 0x10, 0x15, {0x01})).type(), "Part 10 " + rhythm);
  EXPECT_EQ(Sysex(dataSet(0x40, 0x1A, 0x15, {0x01})).type(), "Part 11 " + rhythm);
  EXPECT_EQ(Sysex(dataSet(0x40, 0x1F, 0x15, {0x01})).type(), "Part 16 " + rhythm);

  Sysex tone(dataSet(0x40, 0x12, 0x00, {0x08, 0x51}));
  EXPECT_EQ(tone.type(), "Part 2 TONE NUMBER - CC0 (0-127)");
  EXPECT_EQ(tone.text(), "8, PC (1-128): 81");
  EXPECT_EQ(Sysex(dataSet(0x40, 0x12, 0x00, {0x08})).text(), "");  // the program byte is missing
  EXPECT_EQ(Sysex(dataSet(0x40, 0x11, 0x16, {0x4C})).text(), "12 semitones");
  EXPECT_EQ(Sysex(dataSet(0x40, 0x11, 0x17, {0x08, 0x00})).text(), "  0.0 Hz");
  EXPECT_EQ(Sysex(dataSet(0x40, 0x11, 0x17, {0x00, 0x00})).text(), "-12.8 Hz");
  EXPECT_EQ(Sysex(dataSet(0x40, 0x11, 0x1C, {0x00})).text(), "-64");
  EXPECT_EQ(Sysex(dataSet(0x40, 0x11, 0x37, {0x72})).type(), "Part 1 TONE MODIFY 8 Vibrato delay (-50/+50)");
  EXPECT_EQ(Sysex(dataSet(0x40, 0x11, 0x37, {0x72})).text(), "50");

  Bytes scale;
  for (uint8_t i = 0; i < 12; ++i) scale.push_back(uint8_t(0x40 + i - 6));
  Sysex tuning(dataSet(0x40, 0x13, 0x40, scale));
  EXPECT_EQ(tuning.type(), "Part 3 SCALE TUNING (-64/+63)");
  EXPECT_EQ(tuning.text(),
            "C -6 cent, C#: -5 cent, D: -4 cent, D#: -3 cent, E: -2 cent, F: -1 cent, F#: 0 cent, G: 1 cent, "
            "G#: 2 cent, A: 3 cent, A#: 4 cent, B: 5 cent");
  scale.pop_back();
  EXPECT_EQ(Sysex(dataSet(0x40, 0x13, 0x40, scale)).text(), "");

  // Addresses without a parameter keep the part prefix.
  for (uint8_t xx : {0x01, 0x18, 0x24, 0x3F, 0x41, 0x7F}) {
    Sysex empty(dataSet(0x40, 0x11, xx, {0x05}));
    EXPECT_EQ(empty.type(), "Part 1 ") << int(xx);
    EXPECT_EQ(empty.text(), "");
  }

  Sysex bend(dataSet(0x40, 0x21, 0x10, {0x4C}));
  EXPECT_EQ(bend.type(), "Part 1 BEND PITCH CONTROL (0/+24)");
  EXPECT_EQ(bend.text(), "12 semitones");
  EXPECT_EQ(Sysex(dataSet(0x40, 0x20, 0x00, {0x40})).type(), "Part 10 MOD PITCH CONTROL (-24/+24)");
  EXPECT_EQ(Sysex(dataSet(0x40, 0x2F, 0x31, {0x30})).type(), "Part 16 PAf TVF CUTOFF CONTROL (-64/+63)");
  EXPECT_EQ(Sysex(dataSet(0x40, 0x2F, 0x31, {0x30})).text(), "-16");
  EXPECT_EQ(Sysex(dataSet(0x40, 0x21, 0x5A, {0x7F})).type(), "Part 1 CC2 LFO2 TVA DEPTH (0-127)");
  EXPECT_EQ(Sysex(dataSet(0x40, 0x21, 0x5A, {0x7F})).text(), "127");
  EXPECT_EQ(Sysex(dataSet(0x40, 0x21, 0x1B, {0x00})).type(), "Part 1 BEND ");
  EXPECT_EQ(Sysex(dataSet(0x40, 0x21, 0x60, {0x00})).type(), "Part 1 ");

  EXPECT_EQ(Sysex(dataSet(0x40, 0x01, 0x1A, {0x02})).type(), "Part 11 VOICE RESERVE (0-28)");
  EXPECT_EQ(Sysex(dataSet(0x40, 0x01, 0x11, {0x02})).type(), "Part  1 VOICE RESERVE (0-28)");
  for (uint8_t xx : {0x01, 0x0F, 0x20, 0x2F, 0x37, 0x40}) EXPECT_EQ(Sysex(dataSet(0x40, 0x01, xx, {0x00})).type(), "");
  // Other blocks of 40 are not described.
  EXPECT_EQ(Sysex(dataSet(0x40, 0x30, 0x00, {0x00})).type(), "");
}

TEST_F(GSParametersTest, DrumSetupAndDisplay) {
  Sysex pan(dataSet(0x41, 0x04, 0x24, {0x40}));
  EXPECT_EQ(pan.type(), "DRUM NOTE 36 PANPOT (-64 = RANDOM, -63 = LEFT, 63 = RIGHT)");
  EXPECT_EQ(pan.text(), "0");
  Sysex chorus(dataSet(0x41, 0x16, 0x7F, {0x20}));  // map 1
  EXPECT_EQ(chorus.type(), "DRUM NOTE 127 CHORUS SEND LEVEL (0-127)");
  EXPECT_EQ(chorus.text(), " 32");
  EXPECT_EQ(Sysex(dataSet(0x41, 0x01, 0x24, {0x26})).type(), "DRUM PLAY NOTE NUMBER (0-127)");
  EXPECT_EQ(Sysex(dataSet(0x41, 0x09, 0x24, {0x01})).type(), "");

  Sysex map(dataSet(0x41, 0x00, 0x00, text(std::string("Standard 1\0xyz", 14))));
  EXPECT_EQ(map.type(), "DRUM MAP NAME");
  EXPECT_EQ(map.text(), "Standard 1");
  EXPECT_FALSE(map.canSetText());
  EXPECT_EQ(Sysex(dataSet(0x41, 0x10, 0x00, text(std::string(40, 'm')))).text(), std::string(31, 'm'));

  EXPECT_EQ(Sysex(dataSet(0x10, 0x01, 0x00, {0x00, 0x01}, 0x45)).text(), "(Raw data)");
  Sysex parameter(dataSet(0x10, 0x08, 0x10, {0x06}, 0x45));
  EXPECT_EQ(parameter.type(), "DISPLAYED PARAMETER (0-6)");
  EXPECT_EQ(parameter.text(), "6 (MIDI CH)");
  EXPECT_EQ(Sysex(dataSet(0x10, 0x08, 0x10, {0x07}, 0x45)).text(), "7");
  Sysex block(dataSet(0x10, 0x10, 0x00, {0x0A}, 0x45));
  EXPECT_EQ(block.type(), "Select Block (Part)");
  EXPECT_EQ(block.text(), "10 (11)");
  EXPECT_EQ(Sysex(dataSet(0x10, 0x11, 0x13, {0x01}, 0x45)).type(), "Block 3 (Part 3) Mute");
  EXPECT_EQ(Sysex(dataSet(0x10, 0x11, 0x10, {0x01}, 0x45)).type(), "Block 0 (Part 10) Mute");
  EXPECT_EQ(Sysex(dataSet(0x10, 0x11, 0x00, {0x01}, 0x45)).type(), "ALL Mute (0-1)");
  for (const Bytes& other : {dataSet(0x10, 0x11, 0x20, {0x01}, 0x45), dataSet(0x10, 0x02, 0x00, {0x01}, 0x45),
                             dataSet(0x20, 0x00, 0x00, {0x01}, 0x45)})
    EXPECT_EQ(Sysex(other).type(), "");
}

TEST_F(GSParametersTest, ShortMessagesAndLyingLengths) {
  // No data byte: the checksum is not taken for the value.
  Sysex noValue(Bytes{0xF0, 0x09, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x04, 0x3C, 0xF7});
  EXPECT_EQ(noValue.type(), "MASTER VOLUME (0-127)");
  EXPECT_EQ(noValue.text(), "");
  EXPECT_FALSE(noValue.canSetText());
  Sysex noName(Bytes{0xF0, 0x09, 0x41, 0x10, 0x42, 0x12, 0x40, 0x01, 0x00, 0x3F, 0xF7});
  EXPECT_EQ(noName.type(), "PATCH NAME");
  EXPECT_FALSE(noName.setText("x"));
  // The address cut short: the checksum is not taken for an address byte.
  EXPECT_EQ(Sysex(Bytes{0xF0, 0x08, 0x41, 0x10, 0x42, 0x12, 0x40, 0x11, 0x15, 0xF7}).type(), "");
  for (const Bytes& cut : {Bytes{0xF0, 0x07, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0xF7},
                           Bytes{0xF0, 0x06, 0x41, 0x10, 0x42, 0x12, 0x41, 0xF7},
                           Bytes{0xF0, 0x07, 0x41, 0x10, 0x45, 0x12, 0x10, 0x00, 0xF7}}) {
    Sysex sysex(cut);
    EXPECT_EQ(sysex.manufacturer(), "Roland");
    EXPECT_EQ(sysex.type(), "");
    EXPECT_EQ(sysex.text(), "");
    EXPECT_FALSE(sysex.canSetText());
  }
  // A length byte that lies is tolerated: the bytes present are read.
  Bytes lying = dataSet(0x40, 0x00, 0x04, {0x64});
  lying[1] = 0x7F;
  Sysex tolerated(lying);
  EXPECT_TRUE(tolerated.isMalformed());
  EXPECT_EQ(tolerated.text(), "100");
  EXPECT_TRUE(tolerated.setText("90"));
  EXPECT_TRUE(checksumHolds(tolerated.data()));
}

// Random data sets at the described addresses: decoding never reads out of bounds, and an
// edit either leaves the data as it was or yields a message with 7-bit data, a right checksum
// and the same label.
TEST(GSParametersRandom, ArbitraryDataSetsDecodeAndEditSafely) {
  sw::setLogSink([](const std::string&) {});
  uint32_t seed = 2024;
  auto next = [&seed] { return (seed = seed * 1664525u + 1013904223u) >> 8; };
  // Model and address; random bytes complete the address half of the time.
  const Bytes heads[] = {{0x42, 0x40, 0x00, 0x04}, {0x42, 0x40, 0x00, 0x05}, {0x42, 0x40, 0x00, 0x06},
                         {0x42, 0x40, 0x00, 0x00}, {0x42, 0x40, 0x01, 0x00}, {0x42, 0x40, 0x01, 0x30},
                         {0x42, 0x40, 0x01, 0x3F}, {0x42, 0x40, 0x1A, 0x40}, {0x42, 0x40, 0x2B, 0x10},
                         {0x42, 0x41, 0x00, 0x00}, {0x42, 0x41, 0x14, 0x24}, {0x45, 0x10, 0x00, 0x00},
                         {0x45, 0x10, 0x11, 0x13}};
  const std::string edits[] = {"12", "-5", "0", "127", "Name", "", std::string(40, 'z')};
  for (int round = 0; round < 20000; ++round) {
    const Bytes& head = heads[next() % std::size(heads)];
    Bytes wire{0xF0, 0x41, 0x10, head[0], 0x12};
    const size_t kept = next() % 2 ? 4 : 1 + next() % 4;
    wire.insert(wire.end(), head.begin() + 1, head.begin() + kept);
    const size_t extra = next() % 20;
    for (size_t i = 0; i < extra; ++i) wire.push_back(uint8_t(next() % 16 == 0 ? next() : next() % 0x80));
    if (next() % 4) wire.push_back(0xF7);
    Bytes data = Sysex::eventDataFromMIDIData(wire.data(), wire.size());
    if (next() % 5 == 0) data[1] = uint8_t(next());
    Sysex sysex(data);
    (void)sysex.textBytes();
    if (!sysex.canSetText()) continue;
    for (const std::string& edit : edits) {
      const Bytes before = sysex.data();
      const std::string type = sysex.type();
      if (!sysex.setText(edit)) {
        EXPECT_EQ(sysex.data(), before);
        continue;
      }
      EXPECT_EQ(sysex.type(), type);
      EXPECT_TRUE(checksumHolds(sysex.data()));
      for (size_t i = 1 + sysex.VLQLen(); i + 1 < sysex.data().size(); ++i) ASSERT_LT(sysex.data()[i], 0x80);
    }
  }
}
