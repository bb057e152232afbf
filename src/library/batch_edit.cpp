#include "library/batch_edit.h"

#include "library/midi_file_item.h"
#include "smf/midi_sequence.h"
#include "smf/smf_image.h"

namespace sw {

BatchEdit::BatchEdit(MidiFileItem& item, const BatchRun& run, Use use) : item_(item), run_(run) {
  MidiSequence* cached = item.eventList();
  if (!cached) {
    SMFImage image;
    OSStatus status = readSMFFile(item.fullPath(), image);
    if (status == noErr) status = ioErr;
    error_ = failure(status, "cannot be read as a MIDI file");
    return;
  }
  if (use == Use::Rewrite) {
    if (Error refusal = item.refusalToRewriteDamaged(run)) {
      error_ = std::move(refusal);
      return;
    }
  }
  if (run.dryRun) {
    copy_ = std::make_unique<MidiSequence>(*cached);
    target_ = copy_.get();
  } else {
    target_ = cached;
  }
}

BatchEdit::~BatchEdit() = default;

Error BatchEdit::failure(OSStatus status, std::string message) const {
  return Error{status, item_.fullPath(), std::move(message)};
}

Error BatchEdit::write() {
  if (!target_) return error_;
  if (run_.dryRun) return {};
  const OSStatus status = target_->writeToFile(item_.fullPath(), false);
  if (status != noErr) {
    target_ = nullptr;
    item_.eventList_.reset();
    return failure(status, "cannot be written: " + statusDescription(status));
  }
  target_->clearDamage();  // the file now holds what was salvaged (a forced run)
  item_.updateInfo();
  return {};
}

}  // namespace sw
