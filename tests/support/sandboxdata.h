#pragma once

#include <cstdlib>
#include <string>

#include "testenv.h"

// Points the program's data folder (profiles, settings, log, drive map) at a fresh folder
// for the life of the object; the drive map there starts as the test default.
class TFreshDataFolder {
  public:
    TFreshDataFolder() : Saved(std::getenv("VAULTAIRE_HOME")) {
        setenv("VAULTAIRE_HOME", Folder.Path().c_str(), 1);
        UseDefaultTestDriveMap();
    }
    ~TFreshDataFolder() {
        setenv("VAULTAIRE_HOME", Saved.c_str(), 1);
        UseDefaultTestDriveMap();
    }
    const TTempDir& Dir() const { return Folder; }

  private:
    TTempDir Folder;
    std::string Saved;
};
