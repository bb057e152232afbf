// scorewell-cli dump: every event of one file, one line each.
#include <charconv>
#include <cmath>
#include <cstdio>
#include <sstream>
#include <string_view>

#include "cli_support.h"
#include "commands.h"
#include "editing/f_event_list.h"
#include "editing/f_midi_event_pointer.h"
#include "editing/midi_names.h"
#include "encoding_option.h"
#include "event_text.h"
#include "smf/event_description.h"
#include "smf/tick_time_cursor.h"

namespace swcli {

namespace {
const char* kDumpHelp =
    "Usage: scorewell-cli dump [--encoding NAME|NUMBER] [FILTERS] FILE\n"
    "\n"
    "Lists every event of FILE in the order it is held: its index (the number 'edit'\n"
    "scripts use, note-offs included), ticks, measure:beat:tick, time from the start,\n"
    "track, channel (1-16, '-' for meta and system events), kind and the data in\n"
    "readable form (middle C, key 60, is C3). Sysex messages show their manufacturer, kind,\n"
    "reset, checksum state and carried text before their bytes.\n"
    "\n"
    "  --encoding E   the encoding of meta and sysex texts: a number or a name such as\n"
    "                 shift_jis, cp1251, utf-8 (see 'scorewell-cli encodings'); by\n"
    "                 default the encoding saved with the file, else the one its\n"
    "                 texts are guessed to be in\n"
    "\n"
    "Filters (as the event editor has them; each list is separated by commas):\n"
    "  --track N,...    only these tracks (1-based)\n"
    "  --channel N,...  only channel messages of these channels (1-16); meta and sysex\n"
    "                   events are not affected\n"
    "  --kind K,...     only these kinds: note-off, note-on, key-pressure, control,\n"
    "                   program, pressure, pitch-bend, sysex, meta (or a status number)\n"
    "  --meta M,...     only these meta events: text, copyright, track-name, instrument,\n"
    "                   lyric, marker, cue, tempo, smpte, time-signature, key-signature,\n"
    "                   sequencer, ... (or a type number)\n"
    "                   With --kind or --meta, kinds and meta types not named are hidden.\n"
    "  --find TEXT      events whose note, value, text or hex bytes contain TEXT (case is\n"
    "                   ignored; notes are spelled as in the editor: key 60 is C3, flats\n"
    "                   for black keys; a note name matches from its start; a number\n"
    "                   matches values, program numbers counted from 1)\n";

std::vector<std::string> splitList(const std::string& text) {
  std::vector<std::string> items;
  std::stringstream stream(text);
  std::string item;
  while (std::getline(stream, item, ',')) items.push_back(item);
  if (items.empty()) items.push_back("");
  return items;
}

// Numbers from 1 to `limit`, or a message in `error`.
bool parseNumbers(const std::string& option, const std::string& text, int limit, std::vector<int>& out,
                  std::string& error) {
  for (const std::string& item : splitList(text)) {
    const auto value = parseInteger(item);
    if (!value || *value < 1 || *value > limit) {
      error = option + " takes numbers from 1 to " + std::to_string(limit) + ", not '" + item + "'";
      return false;
    }
    out.push_back(int(*value));
  }
  return true;
}

// Sets the list's masks from the filter options; false with a message for bad values.
bool applyFilters(const Arguments& args, sw::FEventList& list, std::string& error) {
  list.showEverything();
  if (auto tracks = args.value("--track")) {
    std::vector<int> numbers;
    if (!parseNumbers("--track", *tracks, int(sw::FEventList::TrackMask().size()), numbers, error)) return false;
    sw::FEventList::TrackMask mask{};
    for (int t : numbers) mask[size_t(t - 1)] = 1;
    list.setTrackMask(mask);
  }
  if (auto channels = args.value("--channel")) {
    std::vector<int> numbers;
    if (!parseNumbers("--channel", *channels, 16, numbers, error)) return false;
    uint16_t mask = 0;
    for (int c : numbers) mask = uint16_t(mask | (1u << (c - 1)));
    list.setChannelMask(mask);
  }
  const auto kinds = args.value("--kind"), metas = args.value("--meta");
  if (kinds || metas) {
    uint16_t midiMask = 0;
    sw::FEventList::MetaMask metaMask{};
    if (kinds) {
      for (const std::string& item : splitList(*kinds)) {
        const int status = sw::MidiNames::eventKeyFromName(item);
        if (status < 0) {
          error = "unknown event kind '" + item + "'";
          return false;
        }
        if (status == 0xFF) metaMask.fill(1);
        else midiMask = uint16_t(midiMask | (1u << (status >> 4)));
      }
    }
    if (metas) {
      for (const std::string& item : splitList(*metas)) {
        const int type = sw::MidiNames::metaEventKeyFromName(item);
        if (type < 0) {
          error = "unknown meta event '" + item + "'";
          return false;
        }
        metaMask[size_t(type)] = 1;
      }
    }
    list.setMidiMask(midiMask);
    list.setMetaMask(metaMask);
  }
  if (auto text = args.value("--find")) list.setSearchString(*text);
  list.filter();
  return true;
}

// One row of the listing, built by hand: a million rows through printf cost more than all the
// rest of the command. The columns are those of "%9u %-12s %-11s %5d %3s %-26s %s\n".
class RowWriter {
 public:
  void number(int64_t value, int width) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    pad(width - int(end - digits));
    line_.append(digits, end);
  }
  // At least `digits` digits, zero-padded after any sign, as "%.3i" prints.
  void zeroPadded(int64_t value, int digits) {
    if (value < 0) line_.push_back('-');
    char text[24];
    const auto end = std::to_chars(text, text + sizeof text, value < 0 ? -value : value).ptr;
    line_.append(size_t(std::max(0, digits - int(end - text))), '0');
    line_.append(text, end);
  }
  void text(std::string_view text, int width, bool leftAligned) {
    if (!leftAligned) pad(width - int(text.size()));
    line_.append(text);
    if (leftAligned) pad(width - int(text.size()));
  }
  void character(char c) { line_.push_back(c); }
  size_t size() const { return line_.size(); }
  // Pads what was written since `start` to `width` columns.
  void padFrom(size_t start, int width) { pad(width - int(line_.size() - start)); }
  void flush() {
    std::fwrite(line_.data(), 1, line_.size(), stdout);
    line_.clear();
  }

 private:
  void pad(int count) {
    if (count > 0) line_.append(size_t(count), ' ');
  }
  std::string line_;
};

// measure:beat:tick as "%.3i:%.2i:%.3i", then "m:ss.mmm" as minutesSecondsMillis writes it.
void writePositionAndTime(RowWriter& row, const sw::MeasureRec& m, double seconds) {
  const size_t start = row.size();
  row.zeroPadded(m.measure, 3);
  row.character(':');
  row.zeroPadded(m.beat, 2);
  row.character(':');
  row.zeroPadded(m.tick, 3);
  row.padFrom(start, 12);
  row.character(' ');
  if (!(seconds >= 0)) seconds = 0;
  const long long millis = std::llround(seconds * 1000);
  const size_t timeStart = row.size();
  row.zeroPadded(millis / 60000, 1);
  row.character(':');
  row.zeroPadded((millis / 1000) % 60, 2);
  row.character('.');
  row.zeroPadded(millis % 1000, 3);
  row.padFrom(timeStart, 11);
}

}  // namespace

int dumpCommand(int argc, char** argv) {
  OptionSpec spec;
  spec.flags = {"--help"};
  spec.valued = {"--encoding", "--track", "--channel", "--kind", "--meta", "--find"};
  spec.aliases = {{"-h", "--help"}};
  Arguments args(argc, argv, spec);
  if (std::optional<int> done = helpOrUsageError("dump", kDumpHelp, args)) return *done;
  if (args.positional().size() != 1) {
    reportUsage("dump", "give exactly one file");
    return kExitUsage;
  }
  std::optional<sw::StringEncoding> chosen;
  if (args.has("--encoding")) {
    std::string error;
    chosen = parseEncodingOption(*args.value("--encoding"), &error);
    if (*chosen == sw::kNoEncoding) {
      reportUsage("dump", error);
      return kExitUsage;
    }
  }
  const std::string& path = args.positional()[0];
  sw::OSStatus status;
  sw::FEventList sequence(path, sw::kSMFLoadFull, &status);
  if (status != sw::noErr && sequence.count() == 0) {
    reportError(path, status);
    return kExitFailed;
  }
  const sw::StringEncoding encoding = textEncodingForFile(path, sequence, chosen);
  sequence.setEncoding(encoding);
  std::string filterError;
  if (!applyFilters(args, sequence, filterError)) {
    reportUsage("dump", filterError);
    return kExitUsage;
  }
  std::printf("# %s: %d tracks, division %d, %d events", path.c_str(), sequence.numTracks(), sequence.division(),
              sequence.count());
  if (sequence.filteredCount() != sequence.count()) std::printf(", %d shown", sequence.filteredCount());
  // INDEX is the event's number in the whole list, note-offs included, as `edit` scripts count.
  std::printf("\n%7s %9s %-12s %-11s %5s %3s %-26s %s\n", "INDEX", "TICKS", "POSITION", "TIME", "TRACK", "CH", "KIND", "DATA");
  // Rows come in ticks order: the cursor walks the maps once for all of them.
  sw::TickTimeCursor time(sequence);
  RowWriter line;
  for (int row = 0; row < sequence.filteredCount(); ++row) {
    const sw::FMidiEventPointer pointer = sequence.objectAtFilteredIndex(row);
    const sw::MidiEvent* event = pointer.midiEvent();
    int32_t ticks = int32_t(event->ticks());
    line.number(sequence.wholeIndexAtIndex(row), 7);
    line.character(' ');
    line.number(event->ticks(), 9);
    line.character(' ');
    writePositionAndTime(line, time.measureAtTicks(ticks), time.microSecondsAtTicks(ticks) / 1e6);
    line.character(' ');
    line.number(event->track() + 1, 5);
    line.character(' ');
    if (event->isChannelMessage()) line.number(event->channel() + 1, 3);
    else line.text("-", 3, false);
    line.character(' ');
    line.text(sw::eventKindName(*event), 26, true);
    line.character(' ');
    line.text(dumpDataText(pointer, encoding), 0, true);
    line.character('\n');
    if (line.size() >= 1 << 16) line.flush();
  }
  line.flush();
  if (status != sw::noErr) {
    reportError(path, status, "the file was read up to a damaged event: " + sw::statusDescription(status));
    return kExitFailed;
  }
  for (const sw::Error& fault : sequence.damage())
    reportError(path, fault.status, "damaged: " + fault.where() + fault.message + "; what follows was not read");
  return sequence.isDamaged() ? kExitFailed : kExitOK;
}

}  // namespace swcli
