// The commands of scorewell-cli; each takes the arguments after its name.
#pragma once

namespace swcli {

int infoCommand(int argc, char** argv);
int dumpCommand(int argc, char** argv);
int writeCommand(int argc, char** argv);
int chordCommand(int argc, char** argv);
int playCommand(int argc, char** argv);
int portsCommand(int argc, char** argv);
int renderCommand(int argc, char** argv);

}  // namespace swcli
