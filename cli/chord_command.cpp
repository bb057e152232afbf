// scorewell-cli chord: chord names read as the lyrics code reads them, spelled back, and
// their XF chord meta event.
#include <cstdio>
#include <string>

#include "cli_support.h"
#include "commands.h"
#include "text/chord_name.h"
#include "text/xf_chord_manager.h"

namespace swcli {

namespace {

const char* kChordHelp =
    "Usage: scorewell-cli chord [--json] NAME...\n"
    "\n"
    "Reads each chord NAME (such as 'C#m7/E' or 'A m7'), spells it back and shows the\n"
    "XF chord it becomes through the chord aliases, with the bytes of its meta event.\n"
    "The aliases come from the user's alias file, or the defaults when there is none.\n"
    "\n"
    "  --json   one JSON object per name instead of a line of text\n"
    "\n"
    "Exit status: 0 when every name was read, 1 when a name is not a chord or its type\n"
    "has no XF chord, 2 for bad usage.\n";

std::string hexBytes(const std::vector<uint8_t>& bytes) {
  std::string text;
  char hex[4];
  for (uint8_t b : bytes) {
    std::snprintf(hex, sizeof hex, "%s%02X", text.empty() ? "" : " ", b);
    text += hex;
  }
  return text;
}

}  // namespace

int chordCommand(int argc, char** argv) {
  OptionSpec spec;
  spec.flags = {"--help", "--json"};
  spec.aliases = {{"-h", "--help"}};
  Arguments args(argc, argv, spec);
  if (std::optional<int> done = helpOrUsageError("chord", kChordHelp, args)) return *done;
  if (args.positional().empty()) {
    reportUsage("chord", "give at least one chord name");
    return kExitUsage;
  }
  bool json = args.has("--json");
  const sw::XFChordManager& manager = sw::XFChordManager::sharedInstance();
  int result = kExitOK;
  for (const std::string& name : args.positional()) {
    std::optional<sw::ChordName> chord = sw::parseChordLenient(name);
    if (!chord) {
      std::fprintf(stderr, "scorewell-cli chord: '%s' is not a chord name (it must start with A to G)\n",
                   name.c_str());
      result = kExitFailed;
      continue;
    }
    std::string spelled = sw::spellChord(*chord, 0, true);
    sw::XFChordError error;
    std::optional<sw::XFChord> xf = manager.xgChordWithString(name, &error);
    if (!xf) {
      std::fprintf(stderr, "scorewell-cli chord: %s: %s [%s]\n", name.c_str(), error.description.c_str(),
                   error.suggestion.c_str());
      result = kExitFailed;
    }
    if (json) {
      std::printf("{\"input\":%s,\"name\":%s,\"xf\":%s,\"bytes\":%s}\n", jsonString(name).c_str(),
                  jsonString(spelled).c_str(), xf ? jsonString(xf->string()).c_str() : "null",
                  xf ? jsonString(hexBytes(xf->data())).c_str() : "null");
    } else {
      std::printf("%s\t%s\t%s\t%s\n", name.c_str(), spelled.c_str(), xf ? xf->string().c_str() : "-",
                  xf ? hexBytes(xf->data()).c_str() : "-");
    }
  }
  return result;
}

}  // namespace swcli
