#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/hostpath.h"
#include "vlshare_export.h"

// Starting another program as a process of its own, which this one does not wait for.

// The program file name that lies in the running program's folder; empty when the system
// cannot say where the running program is.
VLSHARE_EXPORT THostPath ProgramBesideThis(const std::string& name);

// Starts program with arguments and returns at once. False, with the reason in error, when
// it could not be started (missing, not executable).
VLSHARE_EXPORT bool StartDetachedProgram(const THostPath& program,
                                         const std::vector<std::string>& arguments,
                                         std::string& error);

// What starts programs: tests put a recorder in its place. SetProgramStarter returns the one
// it replaces; an empty function restores the real one.
using TProgramStarter = std::function<bool(
    const THostPath& program, const std::vector<std::string>& arguments, std::string& error)>;
VLSHARE_EXPORT TProgramStarter SetProgramStarter(TProgramStarter starter);
