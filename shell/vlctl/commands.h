#pragma once

#include "cli.h"

// The commands; each returns the exit code or raises ECommandError.
int RunProfiles(const TArgs& args);
int RunArchive(const std::vector<std::string>& words);
int RunProfile(const std::vector<std::string>& words);
int RunBackup(const TArgs& args);
int RunDrives(const TArgs& args);
