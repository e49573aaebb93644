#include "platform/registry.h"

#include <QSettings>
#include <QString>

#include "platform/folders.h"
#include "platform/keptfiles.h"
#include "platform/syserror.h"

struct TRegistry::TStore {
    explicit TStore(const QString& file) : Settings(file, QSettings::IniFormat) {}
    QSettings Settings;
};

namespace {

// The settings file holds a few short values; one far larger is not a settings file.
constexpr int64_t kMaxSettingsFileSize = 1 << 20;

QString ToQt(const std::string& text) {
    return QString::fromStdString(text);
}

// QSettings separates groups with "/"; key paths here use backslashes.
QString GroupOf(const std::string& key) {
    QString group = ToQt(key);
    group.replace('\\', '/');
    while (group.startsWith('/'))
        group.remove(0, 1);
    while (group.endsWith('/'))
        group.chop(1);
    return group;
}

void CheckStatus(const QSettings& settings, const char* action) {
    if (settings.status() == QSettings::AccessError) {
        throw ERegistryException(std::string("Cannot ") + action + " the settings file \"" +
                                 settings.fileName().toStdString() + "\".");
    }
    if (settings.status() == QSettings::FormatError) {
        throw ERegistryException("The settings file \"" + settings.fileName().toStdString() +
                                 "\" is damaged.");
    }
}

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

// Only a regular file of a sane size is handed to QSettings: it would wait for ever on a
// pipe and read a device without end.
void CheckSettingsFile(const std::string& file) {
    int64_t size = 0;
    switch (FileKindOf(file, size)) {
        case fkMissing:
            return;
        case fkOther:
            throw ERegistryException("The settings file " + Quoted(file) +
                                     " is not a regular file; the settings are neither read "
                                     "from it nor saved to it.");
        case fkRegular:
            if (size > kMaxSettingsFileSize)
                throw TRegistry::KeepDamagedFile();
            return;
    }
}

}  // namespace

TRegistry::TRegistry() {
    std::string file = FileName();
    CheckSettingsFile(file);
    Store = std::make_unique<TStore>(ToQt(file));
    if (Store->Settings.status() != QSettings::NoError) {
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
    QString group = GroupOf(key);
    bool exists =
        Store->Settings.childGroups().contains(group.section('/', 0, 0)) || group.isEmpty();
    if (!exists && !canCreate)
        return false;
    CurrentKey = group.toStdString();
    return true;
}

void TRegistry::CloseKey() {
    Store->Settings.sync();
    CheckStatus(Store->Settings, "write");
}

std::string TRegistry::ValueKey(const std::string& name) const {
    return CurrentKey.empty() ? name : CurrentKey + "/" + name;
}

bool TRegistry::ValueExists(const std::string& name) const {
    return Store->Settings.contains(ToQt(ValueKey(name)));
}

std::vector<uint8_t> TRegistry::ReadBinaryData(const std::string& name) const {
    QVariant value = Store->Settings.value(ToQt(ValueKey(name)));
    if (value.typeId() != QMetaType::QByteArray) {
        throw ERegistryException("The setting \"" + name + "\" is not binary data.");
    }
    QByteArray bytes = value.toByteArray();
    return {bytes.begin(), bytes.end()};
}

void TRegistry::WriteBinaryData(const std::string& name, const std::vector<uint8_t>& data) {
    QByteArray bytes(reinterpret_cast<const char*>(data.data()),
                     static_cast<qsizetype>(data.size()));
    Store->Settings.setValue(ToQt(ValueKey(name)), bytes);
}

std::string TRegistry::ReadString(const std::string& name) const {
    return Store->Settings.value(ToQt(ValueKey(name))).toString().toStdString();
}

void TRegistry::WriteString(const std::string& name, const std::string& value) {
    Store->Settings.setValue(ToQt(ValueKey(name)), ToQt(value));
}

int32_t TRegistry::ReadInteger(const std::string& name) const {
    bool ok = false;
    int value = Store->Settings.value(ToQt(ValueKey(name))).toInt(&ok);
    if (!ok)
        throw ERegistryException("The setting \"" + name + "\" is not a number.");
    return value;
}

void TRegistry::WriteInteger(const std::string& name, int32_t value) {
    Store->Settings.setValue(ToQt(ValueKey(name)), value);
}

bool TRegistry::DeleteValue(const std::string& name) {
    if (!ValueExists(name))
        return false;
    Store->Settings.remove(ToQt(ValueKey(name)));
    return true;
}
