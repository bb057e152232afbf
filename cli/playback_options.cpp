#include "playback_options.h"

#include <cstdio>
#include <filesystem>
#include <mutex>
#include <set>

#include "base/log.h"
#include "playback/fluidsynth/sound_bank.h"
#include "cli_support.h"

namespace swcli {

std::optional<uint16_t> parseChannelList(const std::string& text) {
  uint16_t mask = 0;
  size_t start = 0;
  if (text.empty()) return std::nullopt;
  while (start <= text.size()) {
    size_t comma = text.find(',', start);
    std::string item = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    size_t dash = item.find('-', 1);
    std::optional<long> first = parseInteger(item.substr(0, dash));
    std::optional<long> last = dash == std::string::npos ? first : parseInteger(item.substr(dash + 1));
    if (!first || !last || *first < 1 || *last > 16 || *first > *last) return std::nullopt;
    for (long channel = *first; channel <= *last; ++channel) mask |= uint16_t(1u << (channel - 1));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return mask;
}

std::optional<int> parseTranspose(const std::string& text) {
  std::string digits = !text.empty() && text[0] == '+' ? text.substr(1) : text;
  std::optional<long> value = parseInteger(digits);
  if (!value || *value < -48 || *value > 48) return std::nullopt;
  return int(*value);
}

std::optional<uint32_t> parsePosition(const sw::MidiSequence& sequence, const std::string& text) {
  sw::MeasureRec measure;
  if (!sequence.convertMeasureString(text, &measure)) return std::nullopt;
  int32_t ticks = sequence.ticksAtMeasure(measure);
  if (ticks < 0) return std::nullopt;
  return uint32_t(ticks);
}

std::string resolveBankPath(const std::string& text) {
  std::error_code error;
  if (std::filesystem::exists(text, error) || text.find('/') != std::string::npos) return text;
  for (const sw::SoundBankEntry& bank : sw::findSoundBanks(sw::soundBankFolders())) {
    const std::filesystem::path path(bank.path);
    if (bank.name == text || path.filename() == text || path.stem() == text) return bank.path;
  }
  return text;
}

void installPlaybackLog(bool verbose) {
  sw::setLogSink([verbose](const std::string& line) {
    static std::mutex mutex;
    static std::set<std::string> shown;
    const bool forUser = line.rfind("No audio output", 0) == 0 || line.rfind("No MIDI sequencer", 0) == 0 ||
                         line.rfind("No SoundFont", 0) == 0 || line.rfind("Audio output through", 0) == 0;
    if (!verbose && !forUser) return;
    std::lock_guard lock(mutex);
    if (!verbose && !shown.insert(line).second) return;  // each once
    std::fprintf(stderr, "scorewell-cli: %s\n", line.c_str());
  });
}

}  // namespace swcli
