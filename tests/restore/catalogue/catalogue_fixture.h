#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "r_tree.h"
#include "sandboxdata.h"
#include "testenv.h"

// A backup location made by hand: drive C: is the source folder, E: holds the backup root
// E:\Vaultaire, F: is another destination. Copies are real archives of source files.
class TCatalogueTest : public testing::Test {
  protected:
    void SetUp() override;

    // Writes C:\<source> (relative, "\"-separated) with content and backs it up as version
    // version in E:\Vaultaire\C\..., its time on disk minutesAgo minutes before now. key is
    // the password key. Returns the copy's path.
    std::string Backup(const std::string& source, const std::string& content, int version = 1,
                       int minutesAgo = 0, int32_t key = 0);
    // An archive at copy (relative to the backup root, "\"-separated) whose header names
    // storedPath, holding content.
    std::string Plant(const std::string& copy, const std::string& storedPath,
                      const std::string& content);

    std::filesystem::path HostOf(const std::string& drivePath) const;
    std::filesystem::path RootHost() const { return Drives.Path() / "e/Vaultaire"; }
    static constexpr const char* Root = "E:\\Vaultaire";

    // The child of node named name, or null.
    static TRestoreNode* Child(TRestoreNode* node, const std::string& name);
    static std::vector<std::string> ChildNames(TRestoreNode* node);
    // The child of node named name, its folder loaded first.
    TRestoreNode* Open(TRestoreNode* node, const std::string& name);

    TFreshDataFolder Data;
    TTempDir Drives;
    TRestoreTree Tree;
};
