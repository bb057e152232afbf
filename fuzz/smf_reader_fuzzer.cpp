// Any bytes as a Standard MIDI File: read, built into a sequence with each load mode, and
// described event by event.
#include <cstddef>
#include <cstdint>
#include <span>

#include "smf/event_description.h"
#include "smf/midi_sequence.h"
#include "smf/smf_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  sw::SMFImage image;
  if (sw::readSMFBytes(std::span<const uint8_t>(data, size), image) != sw::noErr) return 0;
  for (uint32_t flags : {sw::kSMFLoadFull, sw::kSMFLoadDropRepeats, sw::kSMFLoadInfoScan}) {
    sw::OSStatus status = sw::noErr;
    sw::MidiSequence sequence(image, flags, &status);
    if (status != sw::noErr || flags != sw::kSMFLoadFull) continue;
    for (const sw::MidiEvent* event : sequence.events()) {
      (void)sw::eventKindName(*event);
      (void)sw::eventDataText(*event);
    }
  }
  return 0;
}
