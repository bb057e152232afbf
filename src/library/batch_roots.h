// The files and folders a user names for a batch, turned into the items the engine runs over.
// What cannot be processed (missing, not a MIDI file, hidden, a link to a file) is logged with
// its reason and counted, so every front end reports it alike.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "library/batch_log.h"
#include "library/midi_file_item.h"

namespace sw {

struct BatchRoots {
  std::vector<std::unique_ptr<MidiFileItem>> items;
  size_t unusable = 0;  // named paths logged as not processed

  std::vector<MidiFileItem*> pointers() const;
};

// Nested paths are dropped (a file inside a named folder is processed once). A link to a folder
// given by name is followed; a link to a file is not, since renaming it would rename the link.
BatchRoots collectBatchRoots(const std::vector<std::string>& paths, BatchLog& log);

}  // namespace sw
