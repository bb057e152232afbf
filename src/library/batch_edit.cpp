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
  // The method has told what it changes; a dry run needs no "would be written" besides.
  BatchRun quiet = run_;
  quiet.report = nullptr;
  const OSStatus status = item_.writeSequence(*target_, false, quiet);
  if (status != noErr) {
    target_ = nullptr;
    if (!run_.dryRun) item_.releaseEventList();
    return item_.writeFailure(status);
  }
  return {};
}

Error BatchEdit::unchanged() {
  if (!target_) return error_;
  run_.tellUnchanged();
  return {};
}

}  // namespace sw
