// Karaoke files for benchmarks: Soft Karaoke lyrics in one of several languages and
// encodings over four tracks of notes, about 50 KB each.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "midi_builder.h"

namespace swtest {

struct Language {
  const char* charset;
  std::vector<std::string> words;  // in the charset
};

// ASCII, ISO Latin 1, Windows Cyrillic and Shift JIS.
std::vector<Language> languages();
Bytes makeKaraokeFile(const Language& language, uint32_t seed);

}  // namespace swtest
