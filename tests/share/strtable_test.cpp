// The three compiled-in string tables: ids sorted, unique and inside their ranges,
// no id in two tables, and a sample of texts exactly as the program shows them.

#include "strtable.h"

#include <gtest/gtest.h>

#include <cstring>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace {

struct TIdRange {
    int First;
    int Last;
};

struct TTableUnderTest {
    const char* Name;
    std::span<const TStringEntry> Entries;
    std::vector<TIdRange> Ranges;
};

std::vector<TTableUnderTest> AllTables() {
    return {
        {"shared", SharedStringTable(), {{101, 658}, {901, 999}, {32000, 32021}}},
        {"profile", ProfileStringTable(), {{751, 781}}},
        {"restore", RestoreStringTable(), {{701, 711}}},
    };
}

// Looks the id up in the tables themselves (independent of LoadStr); null when absent.
const char* FindText(int id) {
    for (const auto& table : AllTables()) {
        for (const auto& entry : table.Entries) {
            if (entry.Id == id)
                return entry.Text;
        }
    }
    return nullptr;
}

TEST(StringTables, AreNotEmpty) {
    for (const auto& table : AllTables())
        EXPECT_FALSE(table.Entries.empty()) << table.Name;
}

TEST(StringTables, IdsAreSortedAndUniqueWithinEachTable) {
    for (const auto& table : AllTables()) {
        for (std::size_t i = 1; i < table.Entries.size(); ++i) {
            EXPECT_LT(table.Entries[i - 1].Id, table.Entries[i].Id)
                << table.Name << " table, entries " << i - 1 << " and " << i;
        }
    }
}

TEST(StringTables, IdsLieInTheirTablesRange) {
    for (const auto& table : AllTables()) {
        for (const auto& entry : table.Entries) {
            bool inRange = false;
            for (const auto& range : table.Ranges)
                inRange = inRange || (entry.Id >= range.First && entry.Id <= range.Last);
            EXPECT_TRUE(inRange) << table.Name << " table holds id " << entry.Id;
        }
    }
}

TEST(StringTables, IdsAreDisjointAcrossTables) {
    const auto tables = AllTables();
    for (std::size_t a = 0; a < tables.size(); ++a) {
        for (std::size_t b = a + 1; b < tables.size(); ++b) {
            for (const auto& x : tables[a].Entries) {
                for (const auto& y : tables[b].Entries) {
                    EXPECT_NE(x.Id, y.Id)
                        << "id " << x.Id << " in " << tables[a].Name << " and " << tables[b].Name;
                }
            }
        }
    }
}

TEST(StringTables, EveryTextIsPresent) {
    for (const auto& table : AllTables()) {
        for (const auto& entry : table.Entries) {
            ASSERT_NE(entry.Text, nullptr) << entry.Id;
            EXPECT_GT(std::strlen(entry.Text), 0u) << entry.Id;
        }
    }
}

// A sample of the texts, byte for byte.
TEST(StringTables, QuotedTextsAreExact) {
    const std::pair<int, const char*> expected[] = {
        {101, "Vaultaire 2000"},
        {104, "\\Software\\Orvanet\\"},
        {153, "Click \"Next\" to continue."},
        {355,
         "Vaultaire 2000 cannot monitor and backup files without at least one profile.\n"
         "To create a profile, select \"New Profile\" from the main menu."},
        {363,
         "The Profiles are missing or have beed damaged. You will have to create new "
         "profiles to replace them."},
        {407, "Saving file: "},
        {417, "Target drive full. Shutting down"},
        {656, "Skip diskette number %d and label this diskette number %d."},
        {32005,
         "Unable to read from drive \"%c.\"\n\nEither the drive bay is empty or the "
         "diskette is damaged.\n\nPlease try another diskette."},
        {32010,
         "Drive \"%c\" does not have the capacity to for this operation. You will be "
         "prompted to select another drive."},
        {32019, "Drive \"%c\" is not a removeable drive"},
        {702, "Click \"Finish\" to restore your files."},
        {752, " Edit Profile - "},
        {763,
         "\"Password\" and \"Confirm Password\" fields do not match. Please re-enter your "
         "password."},
    };
    for (const auto& [id, text] : expected) {
        const char* actual = FindText(id);
        ASSERT_NE(actual, nullptr) << "id " << id << " missing";
        EXPECT_EQ(std::string(actual), std::string(text)) << "id " << id;
    }
}

TEST(StringTables, Message778StartsWithTheQuotedSentence) {
    const char* text = FindText(778);
    ASSERT_NE(text, nullptr);
    const std::string first = "Vaultaire 2000 does not perform backups to network drives.";
    EXPECT_EQ(std::string(text).substr(0, first.size()), first);
}

}  // namespace
