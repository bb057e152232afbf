// The batch commands themselves, shared by every front end: for each sheet name the per-file
// method of MidiFileItem it runs, whether the run rewrites files (and so asks first when
// "warnBeforeDestructiveProcessing" is set), and what must hold of its parameters before any
// file is touched. The front ends add only how the parameters are asked for.
#pragma once

#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "library/batch_engine.h"

namespace sw {

struct BatchCommand {
  std::string name;  // the sheet name, as in BatchCommandParameters: "Fix", "Transpose"...
  // Whether a run with the parameters now in the settings rewrites files.
  std::function<bool()> destructive;
  // Rewrites damaged files from what could be read of them (Fix): a run over a damaged file
  // then asks first as a destructive one does.
  bool rewritesDamagedFiles = false;
  PerFileMethod method;
  // A message when the parameters now in the settings make the run pointless or wrong;
  // empty when the run may start. Empty function: nothing to check.
  std::function<std::string()> checkParameters;
};

// Every batch command, in the order of the command table.
std::span<const BatchCommand> allBatchCommands();
// The command of that sheet name; null for none.
const BatchCommand* batchCommand(std::string_view name);

}  // namespace sw
