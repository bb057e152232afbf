// The batch log: one line per message, "date time<TAB>message", sent to every sink (the CLI's
// stderr and --log file, the desktop log window). Per-file errors read "path description [code]"
// with the home folder shown as "~".
#pragma once

#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "base/status.h"

namespace sw {

class BatchLog {
 public:
  // Receives each whole line, ending in a line feed.
  using Sink = std::function<void(const std::string& line)>;

  void addSink(Sink sink) { sinks_.push_back(std::move(sink)); }
  // The clock the lines are stamped with (tests fix it).
  void setClock(std::function<std::time_t()> clock) { clock_ = std::move(clock); }

  // Logs the message as it is: no format directives are interpreted; control characters are
  // made printable.
  void logText(const std::string& message);
  // "%@ %@ [%d]": the path (home abbreviated), the error's description, its status.
  void logError(const Error& error, const std::string& path);

  // The line for a message at a time: the date in the short style and the time in the medium
  // style of the locale's LC_TIME, a blank between, then a tab and the message.
  static std::string formatLine(std::time_t when, const std::string& message);
  // The path with the home folder ($HOME) written as "~".
  static std::string abbreviatedPath(const std::string& path);
  // The text with control characters (line feeds, tabs...) written as "\n", "\t" or "\xNN",
  // so that one message stays one line.
  static std::string printable(const std::string& text);

 private:
  std::vector<Sink> sinks_;
  std::function<std::time_t()> clock_;
};

}  // namespace sw
