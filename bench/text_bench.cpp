// Speed of what the browser computes for every file: the information scan of the file, its
// information record and the encoding guess, over 1,000 generated karaoke files of about
// 50 KB with lyrics in ASCII, ISO Latin 1, Windows Cyrillic and Shift JIS.
#include <benchmark/benchmark.h>
#include <unicode/ucnv.h>

#include <random>
#include <string>
#include <vector>

#include "base/log.h"
#include "midi_builder.h"
#include "smf/midi_sequence.h"
#include "text/encoding_guess.h"
#include "text/sequence_info.h"

namespace {

std::string inCharset(const std::string& utf8, const char* charset) {
  std::string out(utf8.size() * 4 + 16, '\0');
  UErrorCode status = U_ZERO_ERROR;
  int32_t length = ucnv_convert(charset, "UTF-8", out.data(), int32_t(out.size()), utf8.data(), int32_t(utf8.size()), &status);
  out.resize(U_SUCCESS(status) ? size_t(length) : 0);
  return out;
}

struct Language {
  const char* charset;
  std::vector<std::string> words;  // in the charset
};

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

struct Files {
  std::vector<swtest::Bytes> files;
  size_t bytes = 0;
  Files() {
    sw::setLogSink([](const std::string&) {});
    const std::vector<Language> langs = languages();
    for (uint32_t i = 0; i < 1000; ++i) {
      files.push_back(makeKaraokeFile(langs[i % langs.size()], i));
      bytes += files.back().size();
    }
  }
};

const Files& files() {
  static Files instance;
  return instance;
}

void BM_InfoScanInfoAndGuess(benchmark::State& state) {
  const Files& f = files();
  size_t guessed = 0;
  std::string lyrics;
  for (auto _ : state) {
    for (const swtest::Bytes& bytes : f.files) {
      sw::SMFImage image;
      sw::readSMFBytes(bytes, image);
      sw::OSStatus status;
      sw::MidiSequence sequence(image, sw::kSMFLoadInfoScan, &status);
      sw::SequenceInfo info;
      sw::getInfoAndLyricBytes(sequence, info, lyrics);
      const sw::StringEncoding guess = sw::guessEncoding(sequence.events(), lyrics);
      guessed += guess != sw::kNoEncoding;
      benchmark::DoNotOptimize(info);
    }
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(f.files.size()));
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(f.bytes));
  state.counters["KB_per_file"] = double(f.bytes) / double(f.files.size()) / 1024;
  state.counters["guessed_per_run"] = double(guessed) / double(state.iterations());
}
BENCHMARK(BM_InfoScanInfoAndGuess)->Unit(benchmark::kMillisecond);

// The parts alone, on the same files.
void BM_InfoScanOnly(benchmark::State& state) {
  const Files& f = files();
  for (auto _ : state) {
    for (const swtest::Bytes& bytes : f.files) {
      sw::SMFImage image;
      sw::readSMFBytes(bytes, image);
      sw::OSStatus status;
      sw::MidiSequence sequence(image, sw::kSMFLoadInfoScan, &status);
      benchmark::DoNotOptimize(sequence.count());
    }
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(f.files.size()));
}
BENCHMARK(BM_InfoScanOnly)->Unit(benchmark::kMillisecond);

void BM_InfoOnly(benchmark::State& state) {
  const Files& f = files();
  std::vector<std::unique_ptr<sw::MidiSequence>> sequences;
  for (const swtest::Bytes& bytes : f.files) {
    sw::SMFImage image;
    sw::readSMFBytes(bytes, image);
    sw::OSStatus status;
    sequences.push_back(std::make_unique<sw::MidiSequence>(image, sw::kSMFLoadInfoScan, &status));
  }
  for (auto _ : state)
    for (const auto& sequence : sequences) {
      sw::SequenceInfo info;
      sw::getInfo(*sequence, info);
      benchmark::DoNotOptimize(info);
    }
  state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(sequences.size()));
}
BENCHMARK(BM_InfoOnly)->Unit(benchmark::kMillisecond);

void BM_GuessOnly(benchmark::State& state) {
  const Files& f = files();
  std::vector<std::unique_ptr<sw::MidiSequence>> sequences;
  std::vector<std::string> lyrics;
  for (const swtest::Bytes& bytes : f.files) {
    sw::SMFImage image;
    sw::readSMFBytes(bytes, image);
    sw::OSStatus status;
    sequences.push_back(std::make_unique<sw::MidiSequence>(image, sw::kSMFLoadInfoScan, &status));
    sw::DSyncArray items;
    sw::SequenceInfo info;
    sw::getInfo(*sequences.back(), info, &items);
    lyrics.push_back(sw::joinedLyrics(items));
  }
  for (auto _ : state)
    for (size_t i = 0; i < sequences.size(); ++i)
      benchmark::DoNotOptimize(sw::guessEncoding(sequences[i]->events(), lyrics[i]));
  state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(sequences.size()));
}
BENCHMARK(BM_GuessOnly)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
