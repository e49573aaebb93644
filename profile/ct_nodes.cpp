#include "ct_nodes.h"

#include "platform/drivemap.h"
#include "platform/files.h"
#include "platform/syserror.h"
#include "platform/volume.h"

// ---- TDirTreeNode ----

TDirTreeNode::TDirTreeNode(std::string name, TDirTreeNode* parent) : Name(std::move(name)) {
    LinkAsLastChild(this, parent);
}

TDirTreeNode::~TDirTreeNode() {
    DestroyChildrenAndUnlink(this);
}

TDirTreeNode* TDirTreeNode::LastChild() const {
    return LastChildOf(this);
}

TDirTreeNode* TDirTreeNode::FindChild(const std::string& name) const {
    for (TDirTreeNode* child = FirstChild; child; child = child->NextSibling) {
        if (child->Name == name)
            return child;
    }
    return nullptr;
}

std::string TDirTreeNode::GetPath() const {
    const std::string folder = Parent ? Parent->GetPath() : std::string();
    if (!folder.empty() && folder.back() == '\\')
        return folder + Name;
    return folder + "\\" + Name;
}

bool TDirTreeNode::HasSubFolders() {
    if (FirstChild)
        return HasLoadedFolderChild(this);
    if (!IsFolderKind())
        return false;
    TFileSearch search(GetPath() + (GetPath().back() == '\\' ? "*.*" : "\\*.*"),
                       faAnyFile & ~faArchive, sdKinds);
    for (; search.Found(); search.Next()) {
        if (search.IsDirectory()) {
            ReadError = 0;
            return true;
        }
    }
    ReadError = search.Error();
    return false;
}

void TDirTreeNode::LookUpImages() {
    if (ImageIndex >= 0)
        return;
    ImageIndex = ClosedImage();
    SelectedIndex = OpenImage();
}

// ---- TDriveNode ----

TDriveNode::TDriveNode(char letter, TDirTreeNode* parent)
    : TFolderNode(std::string(1, letter) + ":", parent) {
    DriveType = static_cast<uint8_t>(GetDriveType(GetPath()));
    const std::string drive = "(" + Name + ")";
    TVolumeInfo info;
    const bool read = GetVolumeInformation(GetPath(), info);
    VolumeSerial = read ? info.Serial : NoSerial;
    const std::string label = read && !info.Label.empty() ? info.Label : DefaultDriveName(letter);
    DisplayText = label.empty() ? drive : label + " " + drive;
}

int64_t TDriveNode::GetSize() {
    int64_t total = 0, available = 0;
    Size = GetDiskFreeSpace(GetPath(), total, available) ? total : 0;
    return Size;
}

uint32_t TDriveNode::ReadVolumeSerial() {
    TVolumeInfo info;
    return GetVolumeInformation(GetPath(), info) ? info.Serial : NoSerial;
}

bool TDriveNode::HasChangingMedia() const {
    return DriveType == DRIVE_REMOVABLE || DriveType == DRIVE_CDROM;
}
