#include "library/batch_log.h"

#include <cstdio>
#include <cstdlib>

namespace sw {

std::string BatchLog::formatLine(std::time_t when, const std::string& message) {
  std::tm local{};
  ::localtime_r(&when, &local);
  char stamp[128];
  if (std::strftime(stamp, sizeof stamp, "%x %X", &local) == 0) stamp[0] = '\0';
  return std::string(stamp) + "\t" + message + "\n";
}

std::string BatchLog::abbreviatedPath(const std::string& path) {
  const char* home = std::getenv("HOME");
  if (!home || !*home) return path;
  std::string folder = home;
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  if (folder == "/") return path;
  if (path == folder) return "~";
  if (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 && path[folder.size()] == '/')
    return "~" + path.substr(folder.size());
  return path;
}

std::string BatchLog::printable(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (byte < 0x20 || byte == 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
      out += escaped;
    } else {
      out += c;
    }
  }
  return out;
}

void BatchLog::logText(const std::string& message) {
  const std::string line = formatLine(clock_ ? clock_() : std::time(nullptr), printable(message));
  for (const Sink& sink : sinks_) sink(line);
}

void BatchLog::logError(const Error& error, const std::string& path) {
  const std::string description =
      error.where() + (error.message.empty() ? statusDescription(error.status) : error.message);
  logText(abbreviatedPath(path) + " " + description + " [" + std::to_string(error.status) + "]");
}

}  // namespace sw
