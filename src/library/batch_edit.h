// The sequence one per-file batch method works on, and writing it back over the file. Under a
// dry run the method works on a copy, so that neither the file nor the item's cached sequence
// changes and a later real run starts from what is on disk.
#pragma once

#include <memory>
#include <string>

#include "base/status.h"
#include "library/batch_run.h"

namespace sw {

class MidiFileItem;
class MidiSequence;

class BatchEdit {
 public:
  // Whether the method writes the sequence back: a damaged file is then refused unless the
  // run forces it (MidiFileItem::refusalToRewriteDamaged).
  enum class Use { Rewrite, ReadOnly };

  BatchEdit(MidiFileItem& item, const BatchRun& run, Use use = Use::Rewrite);
  ~BatchEdit();
  BatchEdit(const BatchEdit&) = delete;
  BatchEdit& operator=(const BatchEdit&) = delete;

  // Null when the file does not load or is refused; error() then tells why.
  MidiSequence* sequence() const { return target_; }
  const Error& error() const { return error_; }
  bool dryRun() const { return run_.dryRun; }

  // Writes the sequence over the file without running status (nothing under a dry run) and
  // refreshes the item's information. When the write fails the item drops its cached
  // sequence, which no longer matches the file. Bytes equal to the file's are not written and
  // the run is told the file is unchanged.
  Error write();
  // Success without writing, for a method that changed nothing: the run is told so.
  Error unchanged();
  // An error about the item's file.
  Error failure(OSStatus status, std::string message) const;

 private:
  MidiFileItem& item_;
  const BatchRun& run_;
  std::unique_ptr<MidiSequence> copy_;
  MidiSequence* target_ = nullptr;
  Error error_;
};

}  // namespace sw
