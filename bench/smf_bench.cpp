// Speed of reading and writing Standard MIDI Files, on files generated here: a 16-track
// file of about a million events and a typical 50 KB song.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <random>
#include <string>

#include "base/log.h"
#include "midi_builder.h"
#include "song_generator.h"
#include "smf/midi_sequence.h"

namespace {

swtest::Bytes makeFile(int tracks, int notesPerTrack, uint32_t seed) {
  return swtest::makeSong(tracks, notesPerTrack, seed, false);
}

std::string writeTemp(const swtest::Bytes& bytes, const char* name) {
  std::string path = "/tmp/scorewell-bench-" + std::to_string(::getpid()) + "-" + name;
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  return path;
}

struct Files {
  swtest::Bytes large = makeFile(16, 27000, 1);  // ≈ 1,000,000 events
  swtest::Bytes small = makeFile(8, 950, 2);     // ≈ 50 KB
  std::string largePath = writeTemp(large, "large.mid");
  std::string smallPath = writeTemp(small, "small.mid");
  Files() { sw::setLogSink([](const std::string&) {}); }
  ~Files() {
    std::remove(largePath.c_str());
    std::remove(smallPath.c_str());
  }
};

Files& files() {
  static Files instance;
  return instance;
}

// Heap memory a loaded sequence holds once loading is done, per event: the event records,
// their out-of-line data and the event vector. Registered first, so that the event pool has
// not yet kept memory from earlier loads.
size_t heapInUse() {
  struct mallinfo2 info = ::mallinfo2();
  return info.uordblks + info.hblkhd;
}

void BM_MemoryPerEvent(benchmark::State& state) {
  const Files& f = files();
  double perEvent = 0;
  for (auto _ : state) {
    const size_t before = heapInUse();
    sw::OSStatus status;
    auto seq = std::make_unique<sw::MidiSequence>(f.largePath, sw::kSMFLoadFull, &status);
    perEvent = double(heapInUse() - before) / seq->count();
    state.PauseTiming();
    seq.reset();
    state.ResumeTiming();
  }
  state.counters["bytes/event"] = perEvent;
}
BENCHMARK(BM_MemoryPerEvent)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_FullLoad(benchmark::State& state) {
  const Files& f = files();
  int events = 0;
  for (auto _ : state) {
    sw::OSStatus status;
    sw::MidiSequence seq(f.largePath, sw::kSMFLoadFull, &status);
    events = seq.count();
    benchmark::DoNotOptimize(events);
  }
  state.counters["events"] = events;
  state.counters["events/s"] = benchmark::Counter(double(events), benchmark::Counter::kIsIterationInvariantRate);
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(f.large.size()));
}
BENCHMARK(BM_FullLoad)->Unit(benchmark::kMillisecond);

void BM_InfoScanSmallFile(benchmark::State& state) {
  const Files& f = files();
  for (auto _ : state) {
    sw::OSStatus status;
    sw::MidiSequence seq(f.smallPath, sw::kSMFLoadInfoScan, &status);
    benchmark::DoNotOptimize(seq.count());
  }
  state.counters["files/s"] = benchmark::Counter(1, benchmark::Counter::kIsIterationInvariantRate);
  state.counters["fileKB"] = double(f.small.size()) / 1024;
}
BENCHMARK(BM_InfoScanSmallFile)->Unit(benchmark::kMicrosecond);

void BM_Write(benchmark::State& state) {
  const Files& f = files();
  sw::OSStatus status;
  sw::MidiSequence seq(f.largePath, sw::kSMFLoadFull, &status);
  bool compress = state.range(0) != 0;
  size_t size = 0;
  for (auto _ : state) {
    std::vector<uint8_t> bytes = seq.dataRepresentation(compress);
    size = bytes.size();
    benchmark::DoNotOptimize(bytes.data());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(size));
  state.SetLabel(compress ? "running status" : "no running status");
}
BENCHMARK(BM_Write)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
