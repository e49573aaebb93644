#pragma once

#include <cstdint>
#include <string>

#include "checkmarks.h"

// The nodes of the folder tree: "My Computer", its drives, their folders and files, each
// with a three-state check mark. Folders are read from the disk when they are opened.

// Indices into the views' image list (those of the shared pictures, TViewImage).
enum TDirTreeImage : int {
    diComputer = 0,
    diOpenFolder = 1,
    diClosedFolder = 2,
    diDrive = 3,
    diDocument = 4,
};

// A node of the folder tree. It owns its children, which form a doubly linked list in the
// order they were found on disk; a new node is appended after its parent's last child.
class TDirTreeNode {
  public:
    // Appends the node to parent's children (parent may be null for the root).
    TDirTreeNode(std::string name, TDirTreeNode* parent);
    // Destroys the children front to back, then unlinks the node from its siblings.
    virtual ~TDirTreeNode();
    TDirTreeNode(const TDirTreeNode&) = delete;
    TDirTreeNode& operator=(const TDirTreeNode&) = delete;

    virtual int64_t GetSize() { return Size; }
    // The text the views show.
    virtual std::string GetText() const { return Name; }
    virtual TNodeKind GetKind() const = 0;

    // "C:\" for a drive, "C:\Data\Sub" below it, empty for the root.
    virtual std::string GetPath() const;
    void SetCheck(TCheckType change) { ApplyCheck(this, change); }
    // Whether the node has drive or folder children; when its folder has not been read,
    // whether the disk holds a sub-folder (ReadError tells why none could be seen).
    bool HasSubFolders();
    bool IsFolderKind() const { return GetKind() != nkFile; }
    // Looks the node's pictures up, once (ImageIndex is -1 until then).
    void LookUpImages();
    TDirTreeNode* LastChild() const;
    // The child named name, or null (names compared as the host compares them).
    TDirTreeNode* FindChild(const std::string& name) const;

    std::string Name;  // the entry's own name; "X:" for a drive
    TDirTreeNode* Parent = nullptr;
    TDirTreeNode* NextSibling = nullptr;
    TDirTreeNode* PrevSibling = nullptr;
    TDirTreeNode* FirstChild = nullptr;  // null until the node's folder is loaded
    int ImageIndex = -1;                 // -1: not looked up yet
    int SelectedIndex = -1;
    int32_t CheckState = csUnchecked;
    int Attributes = 0;  // of the entry as found on disk
    int32_t Time = 0;    // DOS packed date-time of the entry
    int64_t Size = 0;    // of a file, from its directory entry; of a drive, its disk's
    // The system error that kept the folder from being read the last time it was tried
    // (3: it has vanished, 5: it may not be read, 21: no medium); 0 when it was read.
    int ReadError = 0;

  protected:
    virtual int ClosedImage() const = 0;
    virtual int OpenImage() const { return ClosedImage(); }
};

class TFolderNode : public TDirTreeNode {
  public:
    using TDirTreeNode::TDirTreeNode;
    TNodeKind GetKind() const override { return nkFolder; }

  protected:
    int ClosedImage() const override { return diClosedFolder; }
    int OpenImage() const override { return diOpenFolder; }
};

// A drive, named "X:", with the type and the medium's serial number read when it is made.
class TDriveNode : public TFolderNode {
  public:
    static constexpr uint32_t NoSerial = 0xFFFFFFFF;

    TDriveNode(char letter, TDirTreeNode* parent);
    // The total size of its disk, read each time; 0 when there is no medium.
    int64_t GetSize() override;
    // "Label (C:)", or the drive's usual name when its medium has no label.
    std::string GetText() const override { return DisplayText; }
    TNodeKind GetKind() const override { return nkDrive; }
    std::string GetPath() const override { return Name + "\\"; }
    // Reads the serial number of the medium now in the drive (NoSerial without one).
    uint32_t ReadVolumeSerial();
    // Diskette and optical drives: their media come and go, so they are never read before
    // the user opens them.
    bool HasChangingMedia() const;

    uint8_t DriveType = 0;  // DRIVE_... of the drive map
    uint32_t VolumeSerial = NoSerial;

  protected:
    int ClosedImage() const override { return diDrive; }

  private:
    std::string DisplayText;
};

class TRootNode : public TFolderNode {
  public:
    TRootNode() : TFolderNode("My Computer", nullptr) {}
    TNodeKind GetKind() const override { return nkRoot; }
    std::string GetPath() const override { return {}; }

  protected:
    int ClosedImage() const override { return diComputer; }
};

class TFileNode : public TDirTreeNode {
  public:
    using TDirTreeNode::TDirTreeNode;
    TNodeKind GetKind() const override { return nkFile; }

  protected:
    int ClosedImage() const override { return diDocument; }
};
