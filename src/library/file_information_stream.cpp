#include "library/file_information_stream.h"

#include <algorithm>
#include <atomic>
#include <thread>

namespace sw {

namespace {
// Records computed ahead of the one handed over: enough to keep every thread busy while the
// caller prints, few enough that memory does not grow with the number of files.
constexpr size_t kWindow = 256;
}  // namespace

void streamFileInformation(const std::vector<std::string>& paths, std::optional<StringEncoding> given,
                           unsigned jobs, const std::function<void(const FileInformation&)>& consume) {
  if (jobs == 0) jobs = std::max(1u, std::thread::hardware_concurrency());
  if (jobs == 1 || paths.size() < 2) {
    for (const std::string& path : paths) consume(fileInformation(path, given));
    return;
  }
  std::vector<FileInformation> records(std::min(kWindow, paths.size()));
  for (size_t first = 0; first < paths.size(); first += kWindow) {
    const size_t count = std::min(kWindow, paths.size() - first);
    std::atomic<size_t> next{0};
    auto work = [&] {
      for (size_t i = next++; i < count; i = next++) records[i] = fileInformation(paths[first + i], given);
    };
    std::vector<std::thread> threads;
    for (unsigned t = 1; t < std::min<size_t>(jobs, count); ++t) threads.emplace_back(work);
    work();
    for (std::thread& thread : threads) thread.join();
    for (size_t i = 0; i < count; ++i) consume(records[i]);
  }
}

}  // namespace sw
