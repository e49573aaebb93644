#pragma once

#include <cstdint>
#include <deque>
#include <string>

#include "checkmarks.h"

// The nodes of the restore catalogue: the backup root, one node per backed-up source drive,
// one per folder and one per backed-up copy (one version of one file), each with a
// three-state check mark.

// Indices into the views' 16 x 16 image list.
enum TNodeImage : int {
    niComputer = 0,
    niOpenFolder = 1,
    niFolder = 2,
    niDrive = 3,
    niDocument = 4,
};

// A node of the catalogue. It owns its children, which form a doubly linked list in the
// order they were found on disk; a new node is appended after its parent's last child.
class TRestoreNode {
  public:
    // Appends the node to parent's children (parent may be null for the root).
    TRestoreNode(std::string name, TRestoreNode* parent);
    // Destroys the children front to back, then unlinks the node from its siblings.
    virtual ~TRestoreNode();
    TRestoreNode(const TRestoreNode&) = delete;
    TRestoreNode& operator=(const TRestoreNode&) = delete;

    virtual int64_t GetSize() const { return Size; }
    // The text the views show.
    virtual std::string GetText() const = 0;
    virtual TNodeKind GetKind() const = 0;

    // The full path of the entry: the root's name, or the parent's path and this name.
    std::string GetPath() const;
    // Applies a change to this node, hands its state down to every loaded descendant and
    // recomputes the ancestors from their children.
    void SetCheck(TCheckType change);
    // Whether the node has (or, not yet loaded, would have) drive or folder children.
    bool HasSubFolders() const;
    // Whether this node is a root, drive or folder node.
    bool IsFolderKind() const { return GetKind() != nkFile; }
    // The last child, or null.
    TRestoreNode* LastChild() const;

    std::string Name;  // the entry's own name; the root's is the backup root's full path
    TRestoreNode* Parent = nullptr;
    TRestoreNode* NextSibling = nullptr;
    TRestoreNode* PrevSibling = nullptr;
    TRestoreNode* FirstChild = nullptr;  // null until the node's folder is loaded
    int ImageIndex = 0;
    int SelectedIndex = 0;
    uint8_t CheckState = csUnchecked;
    int Attributes = 0;  // of the entry as found on disk
    int32_t Time = 0;    // DOS packed date-time of the entry as found on disk
    int64_t Size = 0;    // the source file's size (file nodes), else 0
};

class TRestoreFolderNode : public TRestoreNode {
  public:
    TRestoreFolderNode(std::string name, TRestoreNode* parent);
    std::string GetText() const override { return Name; }
    TNodeKind GetKind() const override { return nkFolder; }
};

class TRestoreDriveNode : public TRestoreFolderNode {
  public:
    TRestoreDriveNode(std::string name, TRestoreNode* parent);
    // "(C)".
    std::string GetText() const override;
    TNodeKind GetKind() const override { return nkDrive; }
};

class TRestoreRootNode : public TRestoreFolderNode {
  public:
    explicit TRestoreRootNode(std::string rootPath);
    std::string GetText() const override { return "My Computer"; }
    TNodeKind GetKind() const override { return nkRoot; }
};

// One backed-up copy. Its name is the source file's name and a six-character version
// suffix (".VL001"); the rest comes from the copy's header, read once when the node is made.
class TRestoreFileNode : public TRestoreNode {
  public:
    // A node for the copy named name at path; reads its header, and its time from the open
    // file. A copy whose header cannot be read is marked Damaged, with size 0.
    TRestoreFileNode(std::string name, TRestoreNode* parent, const std::string& path,
                     int attributes);
    // The name less its last six characters (empty for a name of six or fewer).
    std::string GetText() const override;
    TNodeKind GetKind() const override { return nkFile; }
    // The version number of the suffix (".VL003" is 3), or 0 for a name without one.
    int VersionNumber() const;

    bool Damaged = false;          // the header could not be read
    std::string OriginalPath;      // where the file was backed up from, as the header says
    int32_t OriginalFileTime = 0;  // the source file's DOS date-time, from the header
    int32_t Key = 0;               // the password key; 0 for none
};

// The name a copy stands for: its name less the six-character version suffix.
std::string SourceNameOf(const std::string& copyName);
// The version number of a copy's name (".VL012" is 12), or 0 for a name without that suffix.
int VersionNumberOf(const std::string& copyName);
// Whether name is a work file that a restore or an archive being written left beside its
// target (".VLR4711-a8Zk2p"), not a backed-up copy.
bool IsWorkFileName(const std::string& name);

// A first-in-first-out queue of folder paths.
class TDirStack {
  public:
    void Push(std::string path) { Paths.push_back(std::move(path)); }
    // The oldest path, taken out of the queue; empty when the queue is empty.
    std::string Pop();
    int Count() const { return static_cast<int>(Paths.size()); }
    bool Empty() const { return Paths.empty(); }
    void Clear() { Paths.clear(); }

  private:
    std::deque<std::string> Paths;
};
