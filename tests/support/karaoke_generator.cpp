#include "karaoke_generator.h"

#include <unicode/ucnv.h>

#include <random>

namespace swtest {

namespace {
std::string inCharset(const std::string& utf8, const char* charset) {
  std::string out(utf8.size() * 4 + 16, '\0');
  UErrorCode status = U_ZERO_ERROR;
  int32_t length = ucnv_convert(charset, "UTF-8", out.data(), int32_t(out.size()), utf8.data(), int32_t(utf8.size()), &status);
  out.resize(U_SUCCESS(status) ? size_t(length) : 0);
  return out;
}

}  // namespace

std::vector<Language> languages() {
  auto make = [](const char* charset, std::initializer_list<const char*> words) {
    Language language{charset, {}};
    for (const char* w : words) language.words.push_back(inCharset(w, charset));
    return language;
  };
  return {
      make("US-ASCII", {"love ", "me ", "ten", "der ", "night ", "and ", "day ", "sing ", "a", "long "}),
      make("ISO-8859-1", {"é", "té ", "à ", "la ", "clai", "re ", "fon", "tai", "ne ", "ça "}),
      make("windows-1251", {"рас", "цве", "та", "ли ", "яб", "ло", "ни ", "и ", "гру", "ши "}),
      make("Shift_JIS", {"はる", "の", "お", "がわ", "は", "さら", "さら", "いく", "よ", "。"}),
  };
}

swtest::Bytes makeKaraokeFile(const Language& language, uint32_t seed) {
  std::mt19937 rng(seed);
  swtest::MidiFileBuilder file(1, 480);
  file.track().text(0, 3, "Song " + std::to_string(seed)).tempo(0, 500000).timeSignature(0, 4, 2).endOfTrack();
  auto& words = file.track();
  words.text(0, 1, "@KMIDI KARAOKE FILE").text(0, 1, "@TTitle " + std::to_string(seed)).text(0, 1, "@TArtist");
  for (int i = 0; i < 1800; ++i) {
    std::string syllable = language.words[rng() % language.words.size()];
    if (i % 8 == 0) syllable = (i % 32 == 0 ? "\\" : "/") + syllable;
    words.text(uint32_t(60 + rng() % 120), 1, syllable);
  }
  words.endOfTrack();
  for (int t = 0; t < 4; ++t) {
    auto& track = file.track();
    track.useRunningStatus().program(0, uint8_t(t), uint8_t(rng() % 128));
    for (int i = 0; i < 1500; ++i) {
      uint8_t key = uint8_t(40 + rng() % 40);
      track.noteOn(uint32_t(rng() % 120), uint8_t(t), key, 90).noteOn(uint32_t(60 + rng() % 120), uint8_t(t), key, 0);
    }
    track.endOfTrack();
  }
  return file.bytes();
}

}  // namespace swtest
