// The user's trash as Linux desktops keep it: $XDG_DATA_HOME/Trash (else
// ~/.local/share/Trash) with the file under files/ and a ".trashinfo" record under info/
// telling where it came from and when, so a file manager can put it back.
#pragma once

#include <string>

#include "base/status.h"

namespace sw {

// Moves a file into the trash; a missing file is fnfErr. A file on another file system is
// copied there and then removed.
OSStatus moveFileToTrash(const std::string& path);

}  // namespace sw
