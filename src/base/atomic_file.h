// Safe replacement of a file's content: the bytes go to a temporary file in the same folder,
// which is flushed to disk, given the original's permissions and extended attributes, and
// renamed over the original in one step. On any failure the original is left untouched and
// the temporary file is removed.
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
