#pragma once

#include <string>
#include <vector>

#include "vlshare_export.h"

// Starts program (drive form or host path) with arguments and does not wait for it: the
// program runs on after this process ends and inherits none of its open files. False, with
// the last error set (2: no such program, 5: not allowed to run it), when it could not be
// started.
VLSHARE_EXPORT bool StartDetachedProgram(const std::string& program,
                                         const std::vector<std::string>& arguments);
