// Diagnostic lines for developers. They go to stderr unless a sink is installed (tests and
// benchmarks install a silent or recording one).
#pragma once

#include <functional>
#include <string>

namespace sw {

using LogSink = std::function<void(const std::string&)>;

void logMessage(const std::string& line);
// Installs a sink and returns the previous one; an empty sink restores stderr.
LogSink setLogSink(LogSink sink);

}  // namespace sw
