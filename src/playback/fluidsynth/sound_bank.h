// SoundFont banks (.sf2, .sf3): their own names, the folders they are kept in, and the
// default General MIDI bank.
#pragma once

#include <string>
#include <vector>

#include "base/status.h"

namespace sw {

struct SoundBankEntry {
  std::string name;  // the bank's own name (its INAM record), else the file name
  std::string path;
  bool operator==(const SoundBankEntry&) const = default;
};

// The name stored in a SoundFont file. paramErr when the file is not a SoundFont or has no
// name, the file's own status when it cannot be read.
OSStatus soundBankName(const std::string& path, std::string* name);

// System folders (/usr/share/sounds/sf2, /usr/share/soundfonts) then the user's
// ($XDG_DATA_HOME/soundfonts, ~/.local/share/soundfonts with the home directory of the user
// database entry), without repeats.
std::vector<std::string> soundBankFolders();
// Every .sf2 and .sf3 file (any case) found recursively under the folders, sorted by name
// within each folder; folders that do not exist are skipped.
std::vector<SoundBankEntry> findSoundBanks(const std::vector<std::string>& folders);
// The General MIDI bank to start with: default-GM.sf2, FluidR3_GM.sf2, TimGM6mb.sf2 in the
// system folder, else the first bank found; empty when there is none.
std::string defaultSoundBankPath();

}  // namespace sw
