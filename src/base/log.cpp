#include "base/log.h"

#include <cstdio>
#include <mutex>

namespace sw {

namespace {
std::mutex& logMutex() {
  static std::mutex mutex;
  return mutex;
}
LogSink& currentSink() {
  static LogSink sink;
  return sink;
}
}  // namespace

void logMessage(const std::string& line) {
  std::lock_guard lock(logMutex());
  if (currentSink()) {
    currentSink()(line);
  } else {
    std::fprintf(stderr, "%s\n", line.c_str());
  }
}

LogSink setLogSink(LogSink sink) {
  std::lock_guard lock(logMutex());
  LogSink previous = std::move(currentSink());
  currentSink() = std::move(sink);
  return previous;
}

}  // namespace sw
