// Plays a sequence through the synthesizer offline, as fast as the machine allows: the
// player runs in slave mode on a clock of its own, one 40 ms window at a time, and the
// synthesizer renders the audio of each window into a WAV file.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "base/status.h"
#include "playback/wav_writer.h"
#include "smf/midi_sequence.h"

namespace sw {

struct RenderOptions {
  std::string bankPath;  // empty: the default General MIDI bank
  uint32_t sampleRate = 44100;
  WavWriter::Format format = WavWriter::Format::PCM16;
  int transpose = 0;      // semitones
  uint16_t muteMask = 0;  // bit n mutes channel n
  uint32_t startTicks = 0;
  double maxTailSeconds = 3.0;  // rendered after the last event until the sound has died away
  // Called after each window with the song position and the duration, in seconds.
  std::function<void(double, double)> progress;
};

struct RenderResult {
  uint64_t frames = 0;
  double seconds = 0;
  std::string bankPath;
};

// The error names the SoundFont or the output file when the fault lies with one of them.
Error renderSequenceToWav(std::shared_ptr<MidiSequence> sequence, const std::string& outputPath,
                          const RenderOptions& options, RenderResult* result = nullptr);

}  // namespace sw
