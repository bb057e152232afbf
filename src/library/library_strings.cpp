#include "library/library_strings.h"

#include <array>
#include <utility>

namespace sw {

namespace {
// The defect texts each end a line: the diagnosis joins them without separators.
constexpr std::array<std::pair<std::string_view, std::string_view>, 11> kTexts{{
    {"BAD_FINDER_TYPE", "The file type or the name extension is not that of a MIDI file (.mid or .kar).\n"},
    {"BAD_TEMPO_SIGNATURE", "The first tempo or time signature is not on the first track before the first note.\n"},
    {"MISSING_RESET_MESSAGE", "No GM, GS or XG reset message: players may start in the state of the previous song.\n"},
    // Followed by one line per fault.
    {"DAMAGED", "The file is damaged: what follows each fault below could not be read.\n"},
    // The preset pop-up.
    {"LAST_USED_SETTINGS", "Last Used Settings"},
    {"SAVE_PRESET", "Save Preset"},
    {"SAVE_PRESET_AS", "Save Preset As…"},
    {"RENAME_PRESET", "Rename Preset…"},
    {"DELETE_PRESET", "Delete Preset"},
    // The warning before a batch that rewrites files.
    {"WARN_BEFORE_PROCESSING_TITLE", "The files will be changed in place."},
    {"WARN_BEFORE_PROCESSING_MESSAGE", "This command rewrites every file it processes and cannot be undone."},
}};
}  // namespace

std::string libraryString(std::string_view key) {
  for (const auto& [k, text] : kTexts)
    if (k == key) return std::string(text);
  return "";
}

}  // namespace sw
