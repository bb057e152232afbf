// How scorewell-cli sets up its heap before it runs a command.
#pragma once

namespace swcli {

// For the commands that load whole files (see main.cpp): large files make short-lived
// vectors of tens of megabytes. The heap keeps the memory it was
// given instead of handing it back and asking again, and it is backed by huge pages where the
// system offers them: each fresh 4 KB page costs a page fault, which on a virtual machine
// weighs more than the work done on it. Nothing changes where the system refuses either.
void setUpHeap();

// For the commands that read many files one after another (info, the batch commands): each
// file's buffers are freed and asked for again, and a heap that hands its top back every time
// costs a system call or two per file. The heap keeps a few megabytes at its top instead.
void setUpHeapForManyFiles();

}  // namespace swcli
