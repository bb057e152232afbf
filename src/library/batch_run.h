// What a per-file batch method needs besides the user defaults: whether it only reports what
// it would change, where it tells what it changed and what it wrote, and where it tells that
// it left the file as it was.
#pragma once

#include <functional>
#include <string>

namespace sw {

struct BatchRun {
  // Nothing is written; the method reports what it would change.
  bool dryRun = false;
  // One line per change worth telling ("12 events moved to channel 3", "3 texts replaced").
  std::function<void(const std::string& line)> report;
  // Called when the method succeeds without changing the file (nothing was, or under a dry
  // run would be, written).
  std::function<void()> unchanged;
  // Damaged files are rewritten too, from what could be read of them; otherwise every
  // rewriting method but Fix refuses them and leaves them as they are.
  bool force = false;
  // Called after each file the method wrote (the MIDI file, a side file, new attributes); a
  // rename gives the path it left as `previous`.
  std::function<void(const std::string& path, const std::string& previous)> wrote;
  // For results written elsewhere: takes a path for this file's result, false when another
  // file's result of the same run has it. Without it every path may be taken.
  std::function<bool(const std::string& path)> claim;

  void tell(const std::string& line) const {
    if (report) report(line);
  }
  void tellUnchanged() const {
    if (unchanged) unchanged();
  }
  bool claimPath(const std::string& path) const { return !claim || claim(path); }
  void tellWritten(const std::string& path, const std::string& previous = "") const {
    if (wrote) wrote(path, previous);
  }
};

}  // namespace sw
