#include "platform/registry.h"

#include <map>
#include <optional>

#include "platform/filelock.h"
#include "platform/folders.h"
#include "platform/hostfs.h"
#include "platform/inifile.h"
#include "platform/keptfiles.h"
#include "platform/syserror.h"

namespace {

// The settings file holds a few short values; one far larger is not a settings file.
constexpr int64_t kMaxSettingsFileSize = 1 << 20;
// Writers of the settings file take turns under this lock.
constexpr const char* kSettingsLock = "settings";

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

// Key paths use backslashes ("\Software\Orvanet\Vaultaire 2000"); names in the settings
// file are parted by "/".
std::string GroupOf(const std::string& key) {
    std::string group = key;
    for (char& c : group) {
        if (c == '\\')
            c = '/';
    }
    while (!group.empty() && group.front() == '/')
        group.erase(0, 1);
    while (!group.empty() && group.back() == '/')
        group.pop_back();
    return group;
}

enum TReadResult { rrRead, rrMissing, rrDamaged };

// Only a regular file of a sane size is read: reading a pipe would wait for ever and a
// device would never end.
TReadResult ReadSettingsFile(const std::string& file, TIniFile& ini) {
    int64_t size = 0;
    switch (FileKindOf(file, size)) {
        case fkMissing:
            ini = TIniFile();
            return rrMissing;
        case fkOther:
            throw ERegistryException("The settings file " + Quoted(file) +
                                     " is not a regular file; the settings are neither read "
                                     "from it nor saved to it.");
        case fkRegular:
            break;
    }
    std::string text;
    if (size > kMaxSettingsFileSize ||
        !hostfs::ReadWholeFile(THostPath(file), text, kMaxSettingsFileSize))
        return rrDamaged;
    std::optional<TIniFile> parsed = TIniFile::Parse(text);
    if (!parsed)
        return rrDamaged;
    ini = std::move(*parsed);
    return rrRead;
}

}  // namespace

struct TRegistry::TStore {
    TIniFile Read;
    // Values set (a value text) or deleted (none) since the file was read or written.
    std::map<std::string, std::optional<std::string>> Changes;

    const std::string* Find(const std::string& key) const {
        auto changed = Changes.find(key);
        if (changed != Changes.end())
            return changed->second ? &*changed->second : nullptr;
        return Read.Find(key);
    }
};

TRegistry::TRegistry() : Store(std::make_unique<TStore>()) {
    if (ReadSettingsFile(FileName(), Store->Read) == rrDamaged) {
        Store.reset();
        throw KeepDamagedFile();
    }
}

TRegistry::~TRegistry() = default;

std::string TRegistry::FileName() {
    return (DataFolderHost() / "Vaultaire 2000.ini").Text();
}

ERegistryDamaged TRegistry::KeepDamagedFile() {
    std::string file = FileName();
    std::string keptAs;
    if (!::KeepDamagedFile(file, keptAs)) {
        return {"The settings file " + Quoted(file) + " is damaged and could not be kept aside (" +
                    SysErrorMessage(GetLastError()) + "); the settings are not saved.",
                false};
    }
    return {"The settings file " + Quoted(file) + " is damaged; it was kept as " + Quoted(keptAs) +
                " and the settings start anew.",
            true};
}

bool TRegistry::OpenKey(const std::string& key, bool canCreate) {
    std::string group = GroupOf(key);
    bool exists = group.empty() || Store->Read.HasGroup(group.substr(0, group.find('/')));
    if (!exists && !canCreate)
        return false;
    CurrentKey = group;
    return true;
}

// What another process wrote since this registry read the file is kept: the changes made
// here go onto the file as it is now, under the lock, and the file is replaced at once.
void TRegistry::CloseKey() {
    if (Store->Changes.empty())
        return;
    const std::string file = FileName();
    TFileLock lock(kSettingsLock);
    TIniFile current;
    if (ReadSettingsFile(file, current) == rrDamaged)
        throw ERegistryException("The settings file " + Quoted(file) + " is damaged.");
    for (const auto& [key, value] : Store->Changes) {
        if (value)
            current.Set(key, *value);
        else
            current.Remove(key);
    }
    if (!hostfs::WriteWholeFile(THostPath(file), current.Text())) {
        throw ERegistryException("Cannot write the settings file " + Quoted(file) + " (" +
                                 SysErrorMessage(GetLastError()) + ").");
    }
    Store->Read = std::move(current);
    Store->Changes.clear();
}

std::string TRegistry::ValueKey(const std::string& name) const {
    return CurrentKey.empty() ? name : CurrentKey + "/" + name;
}

bool TRegistry::ValueExists(const std::string& name) const {
    return Store->Find(ValueKey(name)) != nullptr;
}

std::vector<uint8_t> TRegistry::ReadBinaryData(const std::string& name) const {
    const std::string* text = Store->Find(ValueKey(name));
    TIniValue value = text ? DecodeIniValue(*text) : TIniValue();
    if (value.Kind != TIniValue::ivBinary)
        throw ERegistryException("The setting \"" + name + "\" is not binary data.");
    return {value.Text.begin(), value.Text.end()};
}

void TRegistry::WriteBinaryData(const std::string& name, const std::vector<uint8_t>& data) {
    Store->Changes[ValueKey(name)] = EncodeIniBinary(data);
}

std::string TRegistry::ReadString(const std::string& name) const {
    const std::string* text = Store->Find(ValueKey(name));
    return text ? IniValueText(DecodeIniValue(*text)) : std::string();
}

void TRegistry::WriteString(const std::string& name, const std::string& value) {
    Store->Changes[ValueKey(name)] = EncodeIniText(value);
}

int32_t TRegistry::ReadInteger(const std::string& name) const {
    const std::string* text = Store->Find(ValueKey(name));
    std::optional<int32_t> number = text ? IniValueInteger(DecodeIniValue(*text)) : std::nullopt;
    if (!number)
        throw ERegistryException("The setting \"" + name + "\" is not a number.");
    return *number;
}

void TRegistry::WriteInteger(const std::string& name, int32_t value) {
    Store->Changes[ValueKey(name)] = EncodeIniInteger(value);
}

bool TRegistry::DeleteValue(const std::string& name) {
    if (!ValueExists(name))
        return false;
    Store->Changes[ValueKey(name)] = std::nullopt;
    return true;
}
