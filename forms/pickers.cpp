#include "pickers.h"

#include <QComboBox>
#include <QFileDialog>
#include <QVariant>
#include <cctype>

#include "display.h"
#include "interaction.h"
#include "platform/ascii.h"
#include "platform/drivemap.h"
#include "platform/hostpath.h"
#include "platform/paths.h"
#include "profile.h"
#include "vfileutil.h"

namespace {

constexpr int StrNoNetworkDrives = 778;
constexpr int StrNoRamDrives = 779;
constexpr int StrFolderUnderNoDrive = 923;

constexpr char CarriageReturn = 13;
constexpr int FirstRefusedChar = ':';
constexpr int LastRefusedChar = 127;
constexpr size_t DriveRootLength = 3;  // "C:\"

std::optional<std::string> DesktopFolderDialog(QWidget* owner, const std::string& caption) {
    QString chosen = QFileDialog::getExistingDirectory(owner, QString::fromStdString(caption));
    if (chosen.isEmpty())
        return std::nullopt;
    return chosen.toStdString();
}

TFolderDialog& FolderDialog() {
    static TFolderDialog dialog = DesktopFolderDialog;
    return dialog;
}

std::string DriveRoot(char letter) {
    return std::string(1, letter) + ":\\";
}

// The text a drive's item shows: its display name, or its root when it has none.
QString DriveItemText(char letter) {
    std::string root = DriveRoot(letter);
    std::string name = GetDisplayName(root);
    return QString::fromStdString(name.empty() ? root : name);
}

bool IsOfferedDriveType(int type, bool allowNetwork) {
    return type != DRIVE_RAMDISK && (allowNetwork || type != DRIVE_REMOTE);
}

int FindLetter(const QComboBox* box, char letter) {
    for (int i = 0; i < box->count(); ++i) {
        if (AttachedDriveLetter(box, i) == letter)
            return i;
    }
    return -1;
}

// Whether a folder on this drive may be used; says why not when it may not.
bool IsAcceptableDrive(const std::string& folder, bool allowNetwork) {
    int type = GetDriveType(folder.substr(0, DriveRootLength));
    if (type == DRIVE_REMOTE && !allowNetwork) {
        DisplayMessage(StrNoNetworkDrives, MB_ICONSTOP);
        return false;
    }
    if (type == DRIVE_RAMDISK) {
        DisplayMessage(StrNoRamDrives, MB_ICONSTOP);
        return false;
    }
    return true;
}

}  // namespace

char AttachedDriveLetter(const QComboBox* box, int index) {
    if (!box || index < 0 || index >= box->count())
        return 0;
    return static_cast<char>(box->itemData(index, DriveLetterRole).toInt());
}

int BuildDriveList(QComboBox* box, const TProfile* profile, bool allowNetwork) {
    box->clear();
    const std::string target = profile ? profile->Target : std::string();
    const char targetLetter = target.empty() ? 0 : AsciiUpper(target[0]);
    int targetIndex = -1;
    const uint32_t drives = GetLogicalDrives();
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        if ((drives & (1u << (letter - 'A'))) == 0)
            continue;
        if (!IsOfferedDriveType(GetDriveType(DriveRoot(letter)), allowNetwork))
            continue;
        box->addItem(DriveItemText(letter));
        box->setItemData(box->count() - 1, static_cast<int>(letter), DriveLetterRole);
        if (letter == targetLetter)
            targetIndex = box->count() - 1;
    }
    if (targetIndex >= 0) {
        box->setCurrentIndex(targetIndex);
        return targetIndex;
    }
    if (target.empty()) {
        box->setCurrentIndex(-1);
        return -1;
    }
    box->addItem(QString::fromStdString(target));
    box->setItemData(box->count() - 1, 0, DriveLetterRole);
    box->setCurrentIndex(box->count() - 1);
    return -1;
}

std::optional<std::string> ChooseFolder(QWidget* owner, const std::string& caption) {
    const TFolderDialog& dialog = FolderDialog();
    std::optional<std::string> host = dialog(owner, caption);
    if (!host || host->empty())
        return std::nullopt;
    std::string folder;
    if (!THostPath::IsHostPathText(*host) || !DrivePathOf(THostPath(*host), folder)) {
        DisplayMessage(StrFolderUnderNoDrive, MB_ICONSTOP);
        return std::nullopt;
    }
    return folder;
}

bool BrowseForFolder(QComboBox* box, const std::string& caption, bool allowNetwork) {
    std::optional<std::string> folder = ChooseFolder(box ? box->window() : nullptr, caption);
    if (!folder || !IsAcceptableDrive(*folder, allowNetwork))
        return false;
    if (folder->size() == DriveRootLength) {
        int index = FindLetter(box, AsciiUpper((*folder)[0]));
        if (index >= 0)
            box->setCurrentIndex(index);
        return true;
    }
    const QString text = QString::fromStdString(*folder);
    if (box->findText(text, Qt::MatchExactly) >= 0)
        return true;
    box->addItem(text);
    box->setItemData(box->count() - 1, 0, DriveLetterRole);
    box->setCurrentIndex(box->count() - 1);
    return true;
}

bool IsValidChar(char c) {
    const int code = static_cast<unsigned char>(c);
    if (code == CarriageReturn)
        return false;
    return code < FirstRefusedChar || code > LastRefusedChar;
}

TFolderDialog SetFolderDialog(TFolderDialog dialog) {
    TFolderDialog previous = FolderDialog();
    FolderDialog() = dialog ? std::move(dialog) : TFolderDialog(DesktopFolderDialog);
    return previous;
}
