#include "pagerules.h"

#include <QComboBox>
#include <QLineEdit>
#include <algorithm>

#include "numberedit.h"
#include "pickers.h"
#include "platform/ascii.h"
#include "profile.h"
#include "strtable.h"
#include "vutil.h"

namespace {

constexpr int StrDrives = 772;
constexpr int StrDrive = 773;
constexpr int StrAllFolders = 774;
constexpr int StrSelectedFolders = 775;
constexpr int StrYes = 776;
constexpr int StrNo = 777;

// A drive root, "C:\", is three characters long.
constexpr size_t kDriveRootLength = 3;

// Network drives are offered as targets.
constexpr bool kTargetsOnNetworkDrives = true;

const char* const kPasswordProtectionNote =
    "The password is asked for before files are restored. The backed-up copies are not "
    "encrypted: anyone who can open the target drive or folder can read them without it.";

bool IsDriveRoot(const std::string& path) {
    return path.size() == kDriveRootLength && IsAsciiLetter(path[0]) && path[1] == ':' &&
           path[2] == '\\';
}

int IndexOfFolder(const QComboBox* box, const QString& folder) {
    for (int i = 0; i < box->count(); ++i) {
        if (AttachedDriveLetter(box, i) == 0 && box->itemText(i) == folder)
            return i;
    }
    return -1;
}

}  // namespace

std::string TargetOfEntry(char driveLetter, const std::string& text) {
    if (driveLetter == 0)
        return text;
    return std::string(1, AsciiUpper(driveLetter)) + ":\\";
}

std::string SelectedTarget(const QComboBox* box) {
    const int index = box->currentIndex();
    if (index < 0)
        return {};
    return TargetOfEntry(AttachedDriveLetter(box, index), box->itemText(index).toStdString());
}

void FillTargetList(QComboBox* box, const TProfile* profile) {
    BuildDriveList(box, profile, kTargetsOnNetworkDrives);
    if (!profile || profile->Target.empty() || IsDriveRoot(profile->Target))
        return;
    const QString folder = QString::fromStdString(profile->Target);
    int index = IndexOfFolder(box, folder);
    if (index < 0) {
        box->addItem(folder);
        index = box->count() - 1;
        box->setItemData(index, 0, DriveLetterRole);
    }
    box->setCurrentIndex(index);
}

int ApplyTarget(TProfile& profile, const QComboBox* box) {
    return profile.UpdateTarget(SelectedTarget(box));
}

void SetUpPasswordField(QLineEdit* field) {
    ShowAsStars(field);
    field->setEchoMode(QLineEdit::Password);
    field->setMaxLength(kLongestPassword);
}

void EnablePasswordFields(QLineEdit* password, QLineEdit* confirmation, bool enabled) {
    for (QLineEdit* field : {password, confirmation}) {
        if (!enabled)
            field->clear();
        field->setEnabled(enabled);
    }
}

TPasswordEntry ReadPasswordEntry(const TProfile& profile, const std::string& password,
                                 const std::string& confirmation) {
    if (password != confirmation)
        return TPasswordEntry::peMismatch;
    const bool protectedNow = profile.Header.Key != 0;
    if (!protectedNow)
        return password.empty() ? TPasswordEntry::peEmpty : TPasswordEntry::peNew;
    if (password.empty() || profile.IsPassword(password))
        return TPasswordEntry::peUnchanged;
    return TPasswordEntry::peChanged;
}

const char* PasswordProtectionNote() {
    return kPasswordProtectionNote;
}

void SetUpVersionsField(TNumberEdit* field) {
    field->SetLimits(kFewestVersions, kMostVersions, kVersionsDigits);
}

std::string SourceSummaryText(const std::vector<std::string>& folders) {
    std::string letters;
    bool allFolders = true;
    for (const std::string& folder : folders) {
        if (folder.empty() || !IsAsciiLetter(folder[0]))
            continue;
        const char letter = AsciiUpper(folder[0]);
        if (letters.find(letter) != std::string::npos)
            allFolders = false;
        else
            letters += letter;
    }
    if (letters.empty())
        return {};
    std::sort(letters.begin(), letters.end());
    std::string text = LoadStr(letters.size() > 1 ? StrDrives : StrDrive);
    for (size_t i = 0; i < letters.size(); ++i)
        text += (i == 0 ? " " : ", ") + std::string(1, letters[i]);
    return text + LoadStr(allFolders ? StrAllFolders : StrSelectedFolders);
}

std::string MaskSummaryText(const std::vector<std::string>& masks) {
    std::string text;
    for (const std::string& mask : masks)
        text += (text.empty() ? "" : ", ") + mask;
    return text;
}

std::string YesNoText(bool yes) {
    return LoadStr(yes ? StrYes : StrNo);
}
