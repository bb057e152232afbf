// scorewell-cli encodings: the text encodings this build converts, with the user's list.
#include <algorithm>
#include <cstdio>
#include <vector>

#include "cli_support.h"
#include "commands.h"
#include "text/encoding_manager.h"
#include "text/string_encoding.h"

namespace swcli {

namespace {

const char* kEncodingsHelp =
    "Usage: scorewell-cli encodings [--json] [--enabled]\n"
    "\n"
    "Lists the text encodings: number (decimal and hex, as stored in settings and file\n"
    "attributes), name, ICU converter, and whether the encoding is in the user's list of\n"
    "enabled encodings and is the default one. Any number or name shown can be given to\n"
    "--encoding options.\n"
    "\n"
    "  --json      one JSON object per line instead of a table\n"
    "  --enabled   only the enabled encodings, as the encoding menus show them\n";

}  // namespace

int encodingsCommand(int argc, char** argv) {
  OptionSpec spec;
  spec.flags = {"--help", "--json", "--enabled"};
  spec.aliases = {{"-h", "--help"}};
  Arguments args(argc, argv, spec);
  if (std::optional<int> done = helpOrUsageError("encodings", kEncodingsHelp, args)) return *done;
  if (!args.positional().empty()) {
    reportUsage("encodings", "takes no arguments");
    return kExitUsage;
  }

  sw::EncodingManager& manager = sw::EncodingManager::sharedInstance();
  std::vector<sw::StringEncoding> enabled = manager.enabledEncodings();
  sw::StringEncoding defaultEncoding = manager.storedDefaultEncoding();
  std::vector<sw::StringEncoding> listed = enabled;
  if (!args.has("--enabled")) {
    listed.clear();
    for (const sw::EncodingInfo& info : sw::supportedEncodings()) listed.push_back(info.encoding);
    sw::sortEncodingsByName(listed);
  }

  bool json = args.has("--json");
  if (!json) std::printf("%10s  %-10s  %-7s  %-7s  %-36s  %s\n", "number", "hex", "enabled", "default", "name", "converter");
  for (sw::StringEncoding encoding : listed) {
    const sw::EncodingInfo* info = sw::encodingInfo(encoding);
    if (!info) continue;
    bool isEnabled = std::find(enabled.begin(), enabled.end(), encoding) != enabled.end();
    bool isDefault = encoding == defaultEncoding;
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08X", encoding);
    if (json) {
      std::printf("{\"number\":%u,\"hex\":\"%s\",\"name\":%s,\"converter\":%s,\"enabled\":%s,\"default\":%s}\n",
                  encoding, hex, jsonString(info->displayName).c_str(), jsonString(info->converterName).c_str(),
                  isEnabled ? "true" : "false", isDefault ? "true" : "false");
    } else {
      std::printf("%10u  %-10s  %-7s  %-7s  %-36s  %s\n", encoding, hex, isEnabled ? "yes" : "-",
                  isDefault ? "yes" : "-", info->displayName, info->converterName);
    }
  }
  return kExitOK;
}

}  // namespace swcli
