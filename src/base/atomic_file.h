// Safe replacement of a file's content: the bytes go to a temporary file in the same folder,
// which is given the original's owner, permissions and extended attributes, flushed to disk
// and renamed over the original in one step. On any failure the original is left untouched
// and the temporary file is removed. A symbolic link is followed: the file it points to is
// replaced and the link stays. A new file gets the permissions the process's mask allows.
// Only regular files are replaced (paramErr otherwise); hard links to the original keep the
// old content, as with any replacement by renaming.
#pragma once

#include <cstddef>
#include <span>
#include <string>

#include "base/status.h"

namespace sw {

OSStatus writeFileAtomically(const std::string& path, std::span<const unsigned char> bytes);

// Reads a whole file; the status is fnfErr for a missing file, else what the system said.
OSStatus readWholeFile(const std::string& path, std::string& contents);

}  // namespace sw
