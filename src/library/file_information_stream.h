// The information records of many files, computed on several threads and handed over in the
// order of the paths, so a listing reads as a one-thread one would.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "library/file_information.h"

namespace sw {

// Calls `consume` on the calling thread with each path's record, in the order of `paths`.
// `jobs` 0 takes the number of cores; 1 computes everything on the calling thread.
void streamFileInformation(const std::vector<std::string>& paths, std::optional<StringEncoding> given,
                           unsigned jobs, const std::function<void(const FileInformation&)>& consume);

}  // namespace sw
