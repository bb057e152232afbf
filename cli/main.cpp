// scorewell-cli: the Scorewell engine on the command line.
#include <cstdio>
#include <cstring>
#include <string>

#include "batch_runner.h"
#include "cli_support.h"
#include "commands.h"
#include "heap_setup.h"

namespace {

const char* kUsage =
    "Usage: scorewell-cli COMMAND [OPTIONS] ARGS...\n"
    "\n"
    "Commands:\n"
    "  info PATH...           format, tracks, division, events, duration and tempo of MIDI files\n"
    "  dump FILE              every event of a file, one line each\n"
    "  write IN -o OUT        read a file and write it back (with or without running status)\n"
    "  chord NAME...          chord names spelled back, with their XF chord meta bytes\n"
    "  lyrics FILE            the lyrics of a karaoke file as text, LRC or ChordPro\n"
    "  convert PATH...        rewrite files as SMF format 0 or 1 (IN -o OUT: one file to another)\n"
    "  transpose PATH...      move notes and chord names by semitones (IN -o OUT: one file)\n"
    "  fix PATH...            repair type, extension, long gaps, tempo and signature, resets\n"
    "  karaoke PATH...        rewrite files as one-track karaoke files with lyric events\n"
    "  utf8 PATH...           convert the texts of files to UTF-8\n"
    "  compand PATH...        rewrite files with or without running status\n"
    "  extract-lyrics PATH... write the lyrics beside each file as text, LRC or ChordPro\n"
    "  markers-to-lyrics PATH...  turn marker events into lyric events\n"
    "  lyrics-to-markers PATH...  turn lyric events into marker events\n"
    "  set-text PATH...       set a meta-event text, fixed or made from the file name\n"
    "  channel PATH...        move one MIDI channel's messages to another channel\n"
    "  remove-track PATH...   remove the track of a given name\n"
    "  encodings              the text encodings, with the enabled list and the default one\n"
    "  play FILE              play a file to a MIDI destination or the built-in synthesizer\n"
    "  ports                  list the MIDI destinations\n"
    "  render FILE -o OUT     play a file through the synthesizer into a WAV file\n"
    "  settings [KEY [VALUE]] list, show, set or reset (--reset KEY) the settings\n"
    "  presets [LIST [NAME]]  list, show or delete (--delete LIST NAME) saved presets\n"
    "  edit FILE -o OUT       apply a script of edit operations, with undo and redo\n"
    "\n"
    "'scorewell-cli COMMAND --help' tells more about each command.\n";

struct Command {
  const char* name;
  int (*run)(int, char**);
};

const Command kCommands[] = {
    {"info", swcli::infoCommand},
    {"dump", swcli::dumpCommand},
    {"write", swcli::writeCommand},
    {"chord", swcli::chordCommand},
    {"lyrics", swcli::lyricsCommand},
    {"convert", swcli::convertCommand},
    {"transpose", swcli::transposeCommand},
    {"encodings", swcli::encodingsCommand},
    {"play", swcli::playCommand},
    {"ports", swcli::portsCommand},
    {"render", swcli::renderCommand},
    {"settings", swcli::settingsCommand},
    {"presets", swcli::presetsCommand},
    {"edit", swcli::editCommand},
};

// The commands that load a whole file into memory, the ones the heap set-up speeds up (about
// half the time on a file of a million events); the others run with the ordinary heap.
bool loadsWholeFiles(const std::string& name) {
  for (const char* command : {"edit", "write", "dump", "lyrics", "convert", "transpose"})
    if (name == command) return true;
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs(kUsage, stderr);
    return swcli::kExitUsage;
  }
  std::string name = argv[1];
  if (loadsWholeFiles(name)) {
    swcli::setUpHeap();
  } else if (name == "info") {
    swcli::setUpHeapForManyFiles();
  } else {
    for (const swcli::BatchCommandSpec& command : swcli::batchCommands())
      if (name == command.name) swcli::setUpHeapForManyFiles();
  }
  if (name == "--help" || name == "-h" || name == "help") {
    std::fputs(kUsage, stdout);
    return swcli::kExitOK;
  }
  for (const swcli::BatchCommandSpec& command : swcli::batchCommands())
    if (name == command.name) return swcli::runBatchCommand(command, argc - 2, argv + 2);
  for (const Command& command : kCommands)
    if (name == command.name) return command.run(argc - 2, argv + 2);
  std::fprintf(stderr, "scorewell-cli: unknown command '%s'\n%s", name.c_str(), kUsage);
  return swcli::kExitUsage;
}
