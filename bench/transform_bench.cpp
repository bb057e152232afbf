// Speed of the format conversions on a generated 16-track file of about a million events:
// format 1 to format 0, and that format-0 sequence back to the 21-track layout.
#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <string>

#include "base/log.h"
#include "midi_builder.h"
#include "song_generator.h"
#include "smf/midi_sequence.h"

namespace {

swtest::Bytes makeFile(int tracks, int notesPerTrack, uint32_t seed) {
  return swtest::makeSong(tracks, notesPerTrack, seed, true);
}

struct Sequences {
  std::unique_ptr<sw::MidiSequence> formatOne;
  std::unique_ptr<sw::MidiSequence> formatZero;
  Sequences() {
    sw::setLogSink([](const std::string&) {});
    swtest::Bytes bytes = makeFile(16, 30000, 1);  // ≈ 1,000,000 events
    sw::SMFImage image;
    sw::readSMFBytes(bytes, image);
    sw::OSStatus status;
    formatOne = std::make_unique<sw::MidiSequence>(image, sw::kSMFLoadFull, &status);
    formatZero = std::make_unique<sw::MidiSequence>(*formatOne);
    formatZero->convertToZero();
  }
};

Sequences& sequences() {
  static Sequences instance;
  return instance;
}

void BM_ConvertToZero(benchmark::State& state) {
  const sw::MidiSequence& source = *sequences().formatOne;
  for (auto _ : state) {
    state.PauseTiming();
    auto seq = std::make_unique<sw::MidiSequence>(source);
    state.ResumeTiming();
    seq->convertToZero();
    benchmark::DoNotOptimize(seq->count());
    state.PauseTiming();
    seq.reset();
    state.ResumeTiming();
  }
  state.counters["events"] = double(source.count());
}
BENCHMARK(BM_ConvertToZero)->Unit(benchmark::kMillisecond);

void BM_ConvertToOne(benchmark::State& state) {
  const sw::MidiSequence& source = *sequences().formatZero;
  for (auto _ : state) {
    state.PauseTiming();
    auto seq = std::make_unique<sw::MidiSequence>(source);
    state.ResumeTiming();
    seq->convertToOne(true);
    benchmark::DoNotOptimize(seq->count());
    state.PauseTiming();
    seq.reset();
    state.ResumeTiming();
  }
  state.counters["events"] = double(source.count());
}
BENCHMARK(BM_ConvertToOne)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
