#pragma once

#include "cli.h"

// The commands; each returns the exit code or raises ECommandError.
int RunProfiles(const TArgs& args);
int RunArchive(const std::vector<std::string>& words);
