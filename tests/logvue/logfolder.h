#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "testenv.h"

// A data folder of its own for each test, so that each starts without a log.
class TLogFolderTest : public testing::Test {
  protected:
    void SetUp() override {
        const char* home = std::getenv("VAULTAIRE_HOME");
        SavedHome = home ? home : "";
        setenv("VAULTAIRE_HOME", Dir.Path().c_str(), 1);
    }
    void TearDown() override { setenv("VAULTAIRE_HOME", SavedHome.c_str(), 1); }

    std::filesystem::path LogPath() const { return Dir.Path() / "Vaultaire 2000.log"; }
    std::filesystem::path BackupPath() const { return Dir.Path() / "Vaultaire 2000.log.BAK"; }

    // A line as the log writes it, at 05/12/2026 with the given time of day.
    static std::string Line(const std::string& text, const std::string& time = "11:20:58 pm") {
        return "05/12/2026 " + time + ". " + text;
    }
    static std::string Joined(const std::vector<std::string>& lines) {
        std::string text;
        for (const std::string& line : lines)
            text += line + "\n";
        return text;
    }

    TTempDir Dir;
    std::string SavedHome;
};
