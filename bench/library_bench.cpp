// Speed of the browser's information refresh: for each of 2,000 generated karaoke files of
// about 50 KB on disk (a quarter each in ASCII, ISO Latin 1, Windows Cyrillic and Shift JIS),
// the information scan, the information record and the diagnosis; and what `info` shows of
// each (the same with the encoding resolved and the texts decoded).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/log.h"
#include "karaoke_generator.h"
#include "library/file_information.h"
#include "library/midi_file_item.h"

namespace {

struct Folder {
  std::filesystem::path path =
      std::filesystem::temp_directory_path() / ("scorewell-library-bench-" + std::to_string(::getpid()));
  std::vector<std::string> files;
  Folder() {
    sw::setLogSink([](const std::string&) {});
    std::filesystem::create_directories(path);
    const std::vector<swtest::Language> languages = swtest::languages();
    for (uint32_t i = 0; i < 2000; ++i) {
      const swtest::Bytes bytes = swtest::makeKaraokeFile(languages[i % languages.size()], i);
      files.push_back((path / ("song" + std::to_string(i) + ".kar")).string());
      std::ofstream(files.back(), std::ios::binary)
          .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
  }
  ~Folder() { std::filesystem::remove_all(path); }
};

const Folder& folder() {
  static Folder instance;
  return instance;
}

void BM_InformationRefresh(benchmark::State& state) {
  const Folder& f = folder();
  size_t flagged = 0;
  for (auto _ : state) {
    for (const std::string& path : f.files) {
      sw::MidiFileItem item(path, nullptr);
      sw::OSStatus status = sw::noErr;
      if (item.isDisplayable(&status)) flagged += item.buggy();
    }
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(f.files.size()));
  state.counters["flagged_per_run"] = double(flagged) / double(state.iterations());
}
BENCHMARK(BM_InformationRefresh)->Unit(benchmark::kMillisecond);

void BM_FileInformation(benchmark::State& state) {
  const Folder& f = folder();
  size_t guessed = 0;
  for (auto _ : state) {
    for (const std::string& path : f.files) {
      const sw::FileInformation information = sw::fileInformation(path);
      guessed += information.encoding.source == sw::EncodingSource::Guess;
      benchmark::DoNotOptimize(information.title.data());
    }
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(f.files.size()));
  state.counters["guessed_per_run"] = double(guessed) / double(state.iterations());
}
BENCHMARK(BM_FileInformation)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
