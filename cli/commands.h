// The commands of scorewell-cli; each takes the arguments after its name.
#pragma once

namespace sw {
class MidiSequence;
}

namespace swcli {

int infoCommand(int argc, char** argv);
int dumpCommand(int argc, char** argv);
int writeCommand(int argc, char** argv);
int chordCommand(int argc, char** argv);
int lyricsCommand(int argc, char** argv);
int encodingsCommand(int argc, char** argv);
int convertCommand(int argc, char** argv);
int transposeCommand(int argc, char** argv);

// The format a sequence is written in: 0 for one track, 1 for more (convert_command.cpp).
int fileFormat(const sw::MidiSequence& sequence);
// Converts to format 0 or 1 unless the sequence is in it already; true when it changed.
bool convertToFormat(sw::MidiSequence& sequence, int format, bool gmNames);
int playCommand(int argc, char** argv);
int portsCommand(int argc, char** argv);
int renderCommand(int argc, char** argv);
int settingsCommand(int argc, char** argv);
int presetsCommand(int argc, char** argv);
int editCommand(int argc, char** argv);

}  // namespace swcli
