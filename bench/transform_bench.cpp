// Speed of the format conversions on a generated 16-track file of about a million events:
// format 1 to format 0, and that format-0 sequence back to the 21-track layout.
#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <string>

#include "base/log.h"
#include "midi_builder.h"
#include "smf/midi_sequence.h"

namespace {

swtest::Bytes makeFile(int tracks, int notesPerTrack, uint32_t seed) {
  std::mt19937 rng(seed);
  swtest::MidiFileBuilder file(1, 480);
  auto& conductor = file.track();
  conductor.text(0, 3, "Benchmark").timeSignature(0, 4, 2);
  for (int i = 0; i < notesPerTrack / 64; ++i) conductor.tempo(i ? 1920 : 0, 400000 + uint32_t(rng() % 200000));
  conductor.endOfTrack();
  for (int t = 1; t < tracks; ++t) {
    auto& track = file.track();
    track.useRunningStatus();
    uint8_t ch = uint8_t((t - 1) % 16);
    track.text(0, 3, "Track " + std::to_string(t)).program(0, ch, uint8_t(rng() % 128));
    for (int i = 0; i < notesPerTrack; ++i) {
      uint8_t key = uint8_t(36 + rng() % 48);
      track.noteOn(uint32_t(rng() % 60), ch, key, uint8_t(40 + rng() % 80));
      if (i % 8 == 0) track.control(0, ch, 7, uint8_t(rng() % 128));
      if (i % 16 == 0) track.pitchBend(0, ch, uint16_t(rng() % 16384));
      if (t == 1 && i % 4 == 0) track.text(0, 5, "la");
      if (i % 512 == 0) track.text(0, 6, "marker");
      track.noteOn(uint32_t(30 + rng() % 200), ch, key, 0);
    }
    track.endOfTrack();
  }
  return file.bytes();
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
