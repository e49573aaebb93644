#include "strtable.h"

#include <algorithm>

namespace {

const char* FindIn(std::span<const TStringEntry> table, int id) {
    auto it = std::lower_bound(table.begin(), table.end(), id,
                               [](const TStringEntry& e, int wanted) { return e.Id < wanted; });
    return it != table.end() && it->Id == id ? it->Text : nullptr;
}

}  // namespace

std::string LoadStr(int id) {
    for (auto table : {SharedStringTable(), ProfileStringTable(), RestoreStringTable()}) {
        if (const char* text = FindIn(table, id))
            return text;
    }
    return {};
}
