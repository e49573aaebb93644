#pragma once

#include <span>
#include <string>

#include "vlshare_export.h"

// The program's texts, compiled in and looked up by id. The three tables keep the ids
// apart: the shared table (101-658, 32000-32021 and our own additions), the profile
// dialogs' table (751-781) and the restore wizard's table (701-711).
struct TStringEntry {
    int Id;
    const char* Text;
};

VLSHARE_EXPORT std::span<const TStringEntry> SharedStringTable();
VLSHARE_EXPORT std::span<const TStringEntry> ProfileStringTable();
VLSHARE_EXPORT std::span<const TStringEntry> RestoreStringTable();

// The text of string id from whichever table holds it; empty when no table does.
VLSHARE_EXPORT std::string LoadStr(int id);
