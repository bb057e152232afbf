// scorewell-cli edit: applies a script of edit operations to a file, with undo and redo, and
// writes the result. The script is read from a file or standard input, one operation a line.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#include "cli_support.h"
#include "commands.h"
#include "editing/edit_operations.h"
#include "editing/editor_feedback.h"
#include "editing/f_event_list.h"
#include "editing/f_midi_event_pointer.h"
#include "smf/vlq.h"

namespace swcli {

namespace {
const char* kEditHelp =
    "Usage: scorewell-cli edit FILE -o OUT [--running-status] [SCRIPT]\n"
    "\n"
    "Reads FILE, applies the operations of SCRIPT (standard input when no SCRIPT is given)\n"
    "and writes the result to OUT (which may be FILE). Nothing is written when a line fails.\n"
    "\n"
    "Events are numbered from 0 in the order 'scorewell-cli dump' lists them, note-offs\n"
    "included; numbers refer to the list as it is when the line runs. RANGE is N, N-M or a\n"
    "comma-separated list of those. Tracks and channels count from 1. POSITION is a number of\n"
    "ticks or a measure:beat:tick text such as 003:01:000. Blank lines and lines starting\n"
    "with # are skipped.\n"
    "\n"
    "  set N FIELD VALUE       change one field as the editor does: ticks, measure,\n"
    "                          trackPlusOne, channelPlusOne, second, third, noteOnDuration,\n"
    "                          noteOffVelocity, dataString (e.g. set 12 ticks 480)\n"
    "  change RANGE FIELD VALUE  set trackPlusOne, channelPlusOne, second or third of the\n"
    "                          first event and apply it to all (second and third only to\n"
    "                          events of the first one's type)\n"
    "  insert TICKS TRACK HEX... [dur D] [off V]  insert one event given as message bytes\n"
    "                          (insert 0 1 90 3C 64 dur 480); a note-on gets its note-off\n"
    "  remove RANGE            remove events (a note-on with its note-off)\n"
    "  shift RANGE +D|-D|@POSITION [all|channel|track]  move the events so that the first\n"
    "                          moves by D ticks or to POSITION; all, channel, track: every\n"
    "                          event from the first on (on its channel, on its track)\n"
    "  duplicate [RANGE]       copy events next to themselves; alone: a middle C at tick 0\n"
    "  copy RANGE CLIP         save the events to the file CLIP\n"
    "  cut RANGE CLIP          copy, then remove\n"
    "  paste CLIP [POSITION] [track T] [together]  insert the events of CLIP, the first at\n"
    "                          POSITION, on track T; together: all at POSITION. By default a\n"
    "                          clip of another file goes to its own time (scaled to this\n"
    "                          division) on track 1, a clip copied by the same run after the\n"
    "                          last event on that event's track\n"
    "  undo, redo              take back or redo the last operation\n"
    "\n"
    "  -o, --output OUT   the file to write\n"
    "  --running-status   compress channel messages with running status\n";

struct LineError {
  std::string message;
};

std::vector<std::string> words(const std::string& line) {
  std::istringstream in(line);
  return {std::istream_iterator<std::string>(in), std::istream_iterator<std::string>()};
}

long number(const std::string& text, const char* what) {
  auto value = parseInteger(text);
  if (!value) throw LineError{std::string("expected ") + what + ", found '" + text + "'"};
  return *value;
}

class ScriptRunner {
 public:
  ScriptRunner(sw::FEventList& list) : list_(list), ops_(list, undo_, pasteboard_) {}

  void run(const std::vector<std::string>& w, const std::string& line) {
    const std::string& op = w[0];
    // Every operation but undo, redo and copy is there to change the list: one that leaves it
    // as it was (a field the event does not have, the value it has, a note-off named alone)
    // is an error of its line.
    const size_t steps = undo_.undoCount();
    runOperation(w, line);
    if (op != "undo" && op != "redo" && op != "copy" && undo_.undoCount() == steps) throw LineError{nothingChanged(w)};
  }

 private:
  std::string nothingChanged(const std::vector<std::string>& w) const {
    if (w[0] == "remove" || w[0] == "cut") {
      bool onlyNoteOffs = true;
      for (int row : ops_.selection()) onlyNoteOffs = onlyNoteOffs && list_.eventAtIndex(row)->isNoteOff();
      if (onlyNoteOffs) return "a note-off goes with its note-on: remove the note-on";
    }
    if (w[0] == "set" && w.size() > 2) return "the line changes nothing: event " + w[1] + " has no " + w[2] +
                                                " to change, or it has that value already";
    return "the line changes nothing";
  }

  void runOperation(const std::vector<std::string>& w, const std::string& line) {
    const std::string& op = w[0];
    if (op == "undo" || op == "redo") {
      need(w, 1, 1);
      if (op == "undo" ? !undo_.canUndo() : !undo_.canRedo()) throw LineError{"nothing to " + op};
      op == "undo" ? undo_.undo() : undo_.redo();
    } else if (op == "set") {
      setField(w, line);
    } else if (op == "change") {
      change(w, line);
    } else if (op == "insert") {
      insert(w);
    } else if (op == "remove") {
      need(w, 2, 2);
      select(w[1]);
      ops_.clear();
    } else if (op == "shift") {
      shift(w);
    } else if (op == "duplicate") {
      need(w, 1, 2);
      if (w.size() == 2) select(w[1]);
      else ops_.setSelection({});
      ops_.duplicate();
    } else if (op == "copy" || op == "cut") {
      need(w, 3, 3);
      select(w[1]);
      ops_.copy();
      saveClip(w[2]);
      if (op == "cut") ops_.clear();
    } else if (op == "paste") {
      paste(w);
    } else {
      throw LineError{"unknown operation '" + op + "'"};
    }
  }

  static void need(const std::vector<std::string>& w, size_t least, size_t most) {
    if (w.size() < least || w.size() > most) throw LineError{"wrong number of words for '" + w[0] + "'"};
  }

  int index(const std::string& text) const {
    const long n = number(text, "an event number");
    if (n < 0 || n >= list_.count()) {
      throw LineError{"no event " + text + " (the list has " + std::to_string(list_.count()) + ")"};
    }
    return int(n);
  }

  // The whole list is shown, so rows are whole indexes.
  void select(const std::string& range) {
    sw::IndexSet rows;
    std::stringstream parts(range);
    std::string part;
    while (std::getline(parts, part, ',')) {
      const size_t dash = part.find('-', 1);
      const int first = index(part.substr(0, dash));
      const int last = dash == std::string::npos ? first : index(part.substr(dash + 1));
      if (last < first) throw LineError{"empty range '" + part + "'"};
      for (int i = first; i <= last; ++i) rows.insert(rows.end(), i);
    }
    if (rows.empty()) throw LineError{"no events named"};
    ops_.setSelection(rows);
  }

  // Everything after the first `skip` words of the line, as typed.
  static std::string rest(const std::string& line, size_t skip) {
    size_t at = 0;
    for (size_t i = 0; i < skip; ++i) {
      at = line.find_first_not_of(" \t", at);
      at = line.find_first_of(" \t", at);
      if (at == std::string::npos) return "";
    }
    at = line.find_first_not_of(" \t", at);
    return at == std::string::npos ? "" : line.substr(at);
  }

  static sw::FieldKey field(const std::string& name) {
    auto key = sw::fieldKeyFromName(name);
    if (!key) throw LineError{"unknown field '" + name + "'"};
    return *key;
  }

  void setField(const std::vector<std::string>& w, const std::string& line) {
    if (w.size() < 4) throw LineError{"set takes an event number, a field and a value"};
    const int n = index(w[1]);
    std::string error;
    if (!ops_.setValue(n, field(w[2]), sw::FieldValue(rest(line, 3)), &error))
      throw LineError{"the value was refused" + (error.empty() ? std::string() : ": " + error)};
  }

  void change(const std::vector<std::string>& w, const std::string& line) {
    if (w.size() < 4) throw LineError{"change takes a range, a field and a value"};
    select(w[1]);
    const sw::FieldKey key = field(w[2]);
    sw::BulkChange which;
    if (key == sw::FieldKey::TrackPlusOne) which.track = true;
    else if (key == sw::FieldKey::ChannelPlusOne) which.channel = true;
    else if (key == sw::FieldKey::Second) which.second = true;
    else if (key == sw::FieldKey::Third) which.third = true;
    else throw LineError{"change sets trackPlusOne, channelPlusOne, second or third"};
    sw::FMidiEventCopy model = list_.objectAtFilteredIndex(*ops_.selection().begin()).copy();
    sw::FieldValue value(rest(line, 3));
    std::string error;
    const bool usable = key == sw::FieldKey::ChannelPlusOne ? model.midiEvent()->isChannelMessage() : model.isEditableKey(key);
    if (!usable || !model.validateValue(key, value, &error))
      throw LineError{"the value was refused" + (error.empty() ? std::string() : ": " + error)};
    model.setValueForKey(key, value);
    ops_.applyChanges(model, which);
  }

  void insert(const std::vector<std::string>& w) {
    if (w.size() < 4) throw LineError{"insert takes ticks, a track and the message bytes"};
    const long ticks = number(w[1], "ticks");
    const long track = number(w[2], "a track");
    if (ticks < 0 || ticks > INT32_MAX) throw LineError{"ticks out of range"};
    if (track < 1 || track > list_.numTracks())
      throw LineError{"no track " + w[2] + " (the file has " + std::to_string(list_.numTracks()) + ")"};
    std::vector<uint8_t> bytes;
    long duration = -1, offVelocity = 64;
    for (size_t i = 3; i < w.size(); ++i) {
      if ((w[i] == "dur" || w[i] == "off") && i + 1 < w.size()) {
        const long v = number(w[i + 1], w[i] == "dur" ? "a duration" : "a velocity");
        if (w[i] == "dur" ? (v < 0 || v > INT32_MAX) : (v < 0 || v > 127)) throw LineError{w[i] + " out of range"};
        (w[i] == "dur" ? duration : offVelocity) = v;
        ++i;
        continue;
      }
      char* end = nullptr;
      const unsigned long b = std::strtoul(w[i].c_str(), &end, 16);
      if (w[i].size() > 2 || *end || b > 0xFF) throw LineError{"'" + w[i] + "' is not a hex byte"};
      bytes.push_back(uint8_t(b));
    }
    checkMessage(bytes);
    const bool noteOn = (bytes[0] & 0xF0) == 0x90;
    const uint32_t length = noteOn ? uint32_t(duration >= 0 ? duration : std::max<int>(list_.division(), 1)) : 0;
    const sw::MidiEvent event(bytes.data(), uint32_t(bytes.size()), uint8_t(track - 1), uint32_t(ticks), length,
                              noteOn ? uint8_t(offVelocity) : 0);
    sw::FlattenedEventList one;
    if (!one.add(event, -1)) throw LineError{"the message is too long"};
    if (!ops_.insertEvents(one)) throw LineError{"the event could not be inserted"};
  }

  // A complete message: a channel message of its length, FF type length payload, or F0
  // length bytes ending with F7.
  static void checkMessage(const std::vector<uint8_t>& m) {
    if (m.empty() || m[0] < 0x80) throw LineError{"the message must start with a status byte"};
    const uint8_t status = m[0] < 0xF0 ? (m[0] & 0xF0) : m[0];
    if (status < 0xF0) {
      const size_t want = status == 0xC0 || status == 0xD0 ? 2 : 3;
      if (m.size() != want) throw LineError{"this channel message takes " + std::to_string(want) + " bytes"};
      for (size_t i = 1; i < m.size(); ++i)
        if (m[i] > 0x7F) throw LineError{"data bytes go up to 7F"};
      if (status == 0x80) throw LineError{"note-offs come with their note-ons: insert a note-on with dur"};
      return;
    }
    if (status == 0xFF || status == 0xF0) {
      const size_t start = status == 0xFF ? 2 : 1;
      if (m.size() < start + 1 || (status == 0xFF && m[1] > 0x7F)) throw LineError{"incomplete message"};
      const sw::VLQRead length = sw::readVLQ(m.data() + start, m.size() - start);
      if (!length.ok() || start + length.size + length.value != m.size())
        throw LineError{"the length byte does not match the bytes given"};
      if (status == 0xF0 && m.back() != 0xF7) throw LineError{"a system exclusive message ends with F7"};
      return;
    }
    throw LineError{"only channel, meta (FF) and system exclusive (F0) messages can be inserted"};
  }

  void shift(const std::vector<std::string>& w) {
    need(w, 3, 4);
    select(w[1]);
    const sw::MidiEvent* first = list_.eventAtIndex(*ops_.selection().begin());
    int64_t target;
    if (w[2][0] == '+' || w[2][0] == '-') {
      target = int64_t(first->ticks()) + number(w[2][0] == '+' ? w[2].substr(1) : w[2], "a number of ticks");
    } else if (w[2][0] == '@') {
      target = position(w[2].substr(1));
    } else {
      throw LineError{"give +TICKS, -TICKS or @POSITION"};
    }
    if (target < 0) throw LineError{"the events would move before the start"};
    sw::ShiftRange range = sw::ShiftRange::Selection;
    if (w.size() == 4) {
      if (w[3] == "all") range = sw::ShiftRange::ToEnd;
      else if (w[3] == "channel") range = sw::ShiftRange::SameChannel;
      else if (w[3] == "track") range = sw::ShiftRange::SameTrack;
      else throw LineError{"the range is all, channel or track"};
    }
    ops_.shift(target, range);
  }

  int64_t position(const std::string& text) const {
    if (auto ticks = parseInteger(text)) {
      if (*ticks < 0 || *ticks > INT32_MAX) throw LineError{"position out of range"};
      return *ticks;
    }
    auto ticks = ops_.ticksForNewTime(text);
    if (!ticks) throw LineError{"'" + text + "' is not a position"};
    return *ticks;
  }

  void saveClip(const std::string& path) {
    const auto data = pasteboard_.data(sw::Pasteboard::kEventCollectionType);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (data) out.write(reinterpret_cast<const char*>(data->data()), std::streamsize(data->size()));
    if (!out) throw LineError{"could not write the clip " + path};
  }

  void paste(const std::vector<std::string>& w) {
    need(w, 2, 6);
    std::ifstream in(w[1], std::ios::binary);
    if (!in) throw LineError{"could not read the clip " + w[1]};
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() > (64u << 20)) throw LineError{w[1] + " is too large for a clip"};
    pasteboard_.clearContents();
    pasteboard_.setData(sw::Pasteboard::kEventCollectionType, bytes);
    ops_.setSelection({});
    auto plan = ops_.pastePlan();
    if (!plan) throw LineError{w[1] + " is not a clip of events"};
    for (size_t i = 2; i < w.size(); ++i) {
      if (w[i] == "together") {
        plan->keepTiming = false;
      } else if (w[i] == "track" && i + 1 < w.size()) {
        const long t = number(w[++i], "a track");
        if (t < 1 || t > list_.numTracks())
          throw LineError{"no track " + w[i] + " (the file has " + std::to_string(list_.numTracks()) + ")"};
        plan->track = uint8_t(t - 1);
      } else {
        plan->position = position(w[i]);
      }
    }
    ops_.paste(*plan);
  }

  sw::FEventList& list_;
  sw::UndoManager undo_;
  sw::MemoryPasteboard pasteboard_;
  sw::EditOperations ops_;
};

}  // namespace

int editCommand(int argc, char** argv) {
  OptionSpec spec;
  spec.flags = {"--help", "--running-status"};
  spec.valued = {"--output"};
  spec.aliases = {{"-h", "--help"}, {"-o", "--output"}};
  Arguments args(argc, argv, spec);
  if (std::optional<int> done = helpOrUsageError("edit", kEditHelp, args)) return *done;
  if (args.positional().empty() || args.positional().size() > 2 || !args.has("--output")) {
    reportUsage("edit", "give one input file, -o OUT and optionally a script file");
    return kExitUsage;
  }
  const std::string& in = args.positional()[0];
  const std::string out = *args.value("--output");
  const std::string scriptName = args.positional().size() == 2 ? args.positional()[1] : "-";

  std::ifstream scriptFile;
  if (scriptName != "-") {
    scriptFile.open(scriptName);
    if (!scriptFile) {
      reportError(scriptName, sw::fnfErr, "could not be read");
      return kExitFailed;
    }
  }
  std::istream& script = scriptName == "-" ? std::cin : scriptFile;

  sw::OSStatus status = sw::noErr;
  std::unique_ptr<sw::MidiSequence> loaded = loadSequence(in, &status);
  if (!loaded) return kExitFailed;
  sw::FEventList list(*loaded);
  loaded.reset();
  list.showEverything();
  list.filter();

  // A script that names a track past the last one adds it.
  auto previous = sw::EditorFeedback::setTrackAdditionHandler([](const sw::TrackAdditionPrompt&) { return true; });
  ScriptRunner runner(list);
  std::string line;
  int lineNumber = 0;
  int result = kExitOK;
  while (std::getline(script, line)) {
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const auto w = words(line);
    if (w.empty() || w[0][0] == '#') continue;
    try {
      runner.run(w, line);
    } catch (const LineError& e) {
      reportError((scriptName == "-" ? "<stdin>" : scriptName) + ":" + std::to_string(lineNumber), sw::paramErr,
                  e.message);
      result = kExitFailed;
      break;
    } catch (const std::exception& e) {
      reportError((scriptName == "-" ? "<stdin>" : scriptName) + ":" + std::to_string(lineNumber), sw::paramErr,
                  e.what());
      result = kExitFailed;
      break;
    }
  }
  sw::EditorFeedback::setTrackAdditionHandler(previous);
  if (result != kExitOK) return result;

  status = list.writeToFile(out, args.has("--running-status"));
  if (status != sw::noErr) {
    reportError(out, status, "could not be written: " + sw::statusDescription(status));
    return kExitFailed;
  }
  return kExitOK;
}

}  // namespace swcli
