// The commands of scorewell-cli; each takes the arguments after its name.
#pragma once

namespace swcli {

int infoCommand(int argc, char** argv);
int dumpCommand(int argc, char** argv);
int writeCommand(int argc, char** argv);
int chordCommand(int argc, char** argv);
int lyricsCommand(int argc, char** argv);
int encodingsCommand(int argc, char** argv);

}  // namespace swcli
