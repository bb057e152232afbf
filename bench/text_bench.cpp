// Speed of what the browser computes for every file: the information scan of the file, its
// information record and the encoding guess, over 1,000 generated karaoke files of about
// 50 KB with lyrics in ASCII, ISO Latin 1, Windows Cyrillic and Shift JIS.
#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "base/log.h"
#include "karaoke_generator.h"
#include "midi_builder.h"
#include "smf/midi_sequence.h"
#include "text/encoding_guess.h"
#include "text/sequence_info.h"
#include "text/utf8_validator.h"

namespace {

struct Files {
  std::vector<swtest::Bytes> files;
  size_t bytes = 0;
  Files() {
    sw::setLogSink([](const std::string&) {});
    const std::vector<swtest::Language> langs = swtest::languages();
    for (uint32_t i = 0; i < 1000; ++i) {
      files.push_back(swtest::makeKaraokeFile(langs[i % langs.size()], i));
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
  for (auto _ : state) {
    for (const swtest::Bytes& bytes : f.files) {
      sw::SMFImage image;
      sw::readSMFBytes(bytes, image);
      sw::OSStatus status;
      sw::MidiSequence sequence(image, sw::kSMFLoadInfoScan, &status);
      sw::SequenceInfo info;
      sw::getInfo(sequence, info);
      const sw::StringEncoding guess = sw::guessEncoding(sequence);
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
  for (const swtest::Bytes& bytes : f.files) {
    sw::SMFImage image;
    sw::readSMFBytes(bytes, image);
    sw::OSStatus status;
    sequences.push_back(std::make_unique<sw::MidiSequence>(image, sw::kSMFLoadInfoScan, &status));
  }
  for (auto _ : state)
    for (size_t i = 0; i < sequences.size(); ++i) benchmark::DoNotOptimize(sw::guessEncoding(*sequences[i]));
  state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(sequences.size()));
}
BENCHMARK(BM_GuessOnly)->Unit(benchmark::kMillisecond);

// ICU's detector alone, on the text samples of the information record's guess that are not
// UTF-8: the least a file with such texts costs, whatever the rest of the scan does.
void BM_DetectorOnly(benchmark::State& state) {
  const Files& f = files();
  std::vector<std::string> samples;
  for (const swtest::Bytes& bytes : f.files) {
    sw::SMFImage image;
    sw::readSMFBytes(bytes, image);
    sw::OSStatus status;
    const sw::MidiSequence sequence(image, sw::kSMFLoadInfoScan, &status);
    std::string sample = sw::sequenceTextSample(sequence);
    sw::UTF8Validator validator;
    validator.feed(sample);
    if (!validator.valid()) samples.push_back(std::move(sample));
  }
  for (auto _ : state)
    for (const std::string& sample : samples) benchmark::DoNotOptimize(sw::detectEncoding(sample));
  state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(samples.size()));
  state.counters["samples_of_1000_files"] = double(samples.size());
}
BENCHMARK(BM_DetectorOnly)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
