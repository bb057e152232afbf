// Speed of the browser's information refresh: for each of 2,000 generated karaoke files of
// about 50 KB on disk (a quarter each in ASCII, ISO Latin 1, Windows Cyrillic and Shift JIS),
// the information scan, the information record and the diagnosis. And what `info` shows of
// each (the same with the encoding resolved and the texts decoded), for those files and for
// 2,000 typical 50 KB songs. Then, in memory, the steps of a conversion to format 0 of such a
// karaoke file: reading its bytes into a sequence, the conversion with the lyrics rewritten,
// and the bytes written.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/log.h"
#include "karaoke_generator.h"
#include "library/file_information.h"
#include "library/midi_file_item.h"
#include "smf/midi_sequence.h"
#include "smf/smf_image.h"
#include "song_generator.h"
#include "text/lyrics_text_keeper.h"

namespace {

// 2,000 files written to a folder of their own, removed at the end.
struct Folder {
  std::filesystem::path path;
  std::vector<std::string> files;
  Folder(const std::string& kind, const std::function<swtest::Bytes(uint32_t)>& make) {
    sw::setLogSink([](const std::string&) {});
    path = std::filesystem::temp_directory_path() / ("scorewell-library-bench-" + kind + "-" + std::to_string(::getpid()));
    std::filesystem::create_directories(path);
    for (uint32_t i = 0; i < 2000; ++i) {
      const swtest::Bytes bytes = make(i);
      files.push_back((path / (kind + std::to_string(i) + (kind == "karaoke" ? ".kar" : ".mid"))).string());
      std::ofstream(files.back(), std::ios::binary)
          .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
  }
  ~Folder() { std::filesystem::remove_all(path); }
};

// Karaoke files in four languages and encodings.
const Folder& folder() {
  static const std::vector<swtest::Language> languages = swtest::languages();
  static Folder instance("karaoke", [](uint32_t i) { return swtest::makeKaraokeFile(languages[i % languages.size()], i); });
  return instance;
}

// Typical songs of about 50 KB: eight tracks of notes, controllers and pitch bend, and lyrics.
const Folder& songs() {
  static Folder instance("song", [](uint32_t i) { return swtest::makeSong(8, 950, i); });
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

// What `info --json` shows of each file.
void fileInformation(benchmark::State& state, const Folder& f) {
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
void BM_FileInformationOfSongs(benchmark::State& state) { fileInformation(state, songs()); }
BENCHMARK(BM_FileInformationOfSongs)->Unit(benchmark::kMillisecond);
void BM_FileInformationOfKaraokeFiles(benchmark::State& state) { fileInformation(state, folder()); }
BENCHMARK(BM_FileInformationOfKaraokeFiles)->Unit(benchmark::kMillisecond);

// Sixteen karaoke files in memory, four in each language. The heap is set as the command
// line sets it for batches, so that freed memory is kept rather than given back each time.
const std::vector<swtest::Bytes>& karaokeBytes() {
  static const std::vector<swtest::Bytes> files = [] {
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
    mallopt(M_TOP_PAD, 16 << 20);
    std::vector<swtest::Bytes> made;
    const std::vector<swtest::Language> languages = swtest::languages();
    for (uint32_t seed = 0; seed < 16; ++seed) made.push_back(swtest::makeKaraokeFile(languages[seed % 4], seed));
    return made;
  }();
  return files;
}

std::unique_ptr<sw::MidiSequence> loaded(const swtest::Bytes& bytes) {
  sw::SMFImage image;
  sw::readSMFBytes(bytes, image);
  sw::OSStatus status = sw::noErr;
  return std::make_unique<sw::MidiSequence>(image, sw::kSMFLoadFull, &status);
}

void BM_KaraokeFileLoad(benchmark::State& state) {
  size_t events = 0;
  for (auto _ : state)
    for (const swtest::Bytes& bytes : karaokeBytes()) events += size_t(loaded(bytes)->count());
  state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(karaokeBytes().size()));
  state.counters["events/file"] = double(events) / double(state.iterations() * karaokeBytes().size());
}
BENCHMARK(BM_KaraokeFileLoad)->Unit(benchmark::kMicrosecond);

void BM_KaraokeConvertToZero(benchmark::State& state) {
  size_t written = 0;
  for (auto _ : state)
    for (const swtest::Bytes& bytes : karaokeBytes()) {
      std::unique_ptr<sw::MidiSequence> sequence = loaded(bytes);
      sw::LyricsTextKeeper keeper;
      sequence->convertToZero(&keeper);
      written += sequence->dataRepresentation(true).size();
    }
  state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(karaokeBytes().size()));
  state.counters["bytes/file"] = double(written) / double(state.iterations() * karaokeBytes().size());
}
BENCHMARK(BM_KaraokeConvertToZero)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
