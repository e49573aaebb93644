#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "checkviews.h"
#include "ct_dirtree.h"

class TCheckedFileListView;

// Which drive types a folder tree shows: bit DRIVE_... set for each.
using TDriveTypes = uint8_t;
constexpr TDriveTypes DriveTypeBit(int driveType) {
    return static_cast<TDriveTypes>(1u << driveType);
}

// The machine's drives and folders, each with a three-state check box, in which the user
// chooses the folders a profile guards. Folders are read when they are opened; the tree
// owns its model.
class TCheckedDirTreeView : public TTreeWithFileList<TCheckedDirTreeView, TCheckedFileListView> {
    Q_OBJECT

  public:
    // driveTypes: the kinds of drive shown; none given means fixed drives alone.
    explicit TCheckedDirTreeView(QWidget* parent = nullptr, TDriveTypes driveTypes = 0);
    ~TCheckedDirTreeView() override;

    TDriveTypes GetDriveTypes() const { return DriveTypes; }
    bool LiveUpdate() const { return FLiveUpdate; }
    // With live update, moving in the tree looks at the disk again: a folder that has gone
    // leaves the tree, and an exchanged medium is noticed.
    void SetLiveUpdate(bool value) { FLiveUpdate = value; }
    TDirTree* Model() const { return Tree.get(); }

    // (Re)builds the model and the tree with nothing checked.
    void Build();
    // The mode of BuildFromList that checks the folders of a list.
    static constexpr int CheckListedFolders = 1;
    // (Re)builds the model and the tree and checks the drives and folders named in list;
    // returns those that cannot be found. Any other mode changes nothing.
    std::vector<std::string> BuildFromList(const std::vector<std::string>& list,
                                           int mode = CheckListedFolders);
    // With checkedOnly, the fewest drives and folders whose subtrees hold exactly the
    // checked folders (the profile's sources); else every loaded drive and folder.
    std::vector<std::string> GetFolders(bool checkedOnly) const;

    QTreeWidgetItem* Attach(QTreeWidgetItem* parentItem, TDirTreeNode* node);
    void AddDrives();
    void AddDrive(TDriveNode* driveNode);
    void SetButtonState(QTreeWidgetItem* item);
    void AddDummyNode(QTreeWidgetItem* item) { AddDummyItem(item); }
    bool DestroyDummyNode(QTreeWidgetItem* item) { return DestroyDummyItem(item); }
    void RefreshStateImages();
    void CheckNode(QTreeWidgetItem* item, int change);
    void ExpandTree(QTreeWidgetItem* item);

    static TDirTreeNode* NodeOf(const QTreeWidgetItem* item);
    // The item that shows node, or none.
    QTreeWidgetItem* ItemOf(const TDirTreeNode* node) const;
    QTreeWidgetItem* RootItem() const { return RootTreeItem; }

  protected:
    void ToggleCheck(QTreeWidgetItem* item) override;

  private:
    bool CanExpand(QTreeWidgetItem* item);
    bool CanCollapse(QTreeWidgetItem* item);
    bool CanChange(QTreeWidgetItem* item);
    void Change(QTreeWidgetItem* item);
    void ItemExpanded(QTreeWidgetItem* item);
    void ItemCollapsed(QTreeWidgetItem* item);
    void CurrentItemChanged(QTreeWidgetItem* current, QTreeWidgetItem* previous);
    // Whether the medium of the item's drive is the one seen before (always, for drives
    // whose media do not change); remembers the serial number now in the drive.
    bool MediumUnchanged(QTreeWidgetItem* item);
    bool StillExists(QTreeWidgetItem* item) const;
    void RemoveVanished(QTreeWidgetItem* item);
    void RemoveVanishedLater(const TDirTreeNode* node);
    // Shows whether the item's folder could be read the last time it was tried.
    void ShowReadState(QTreeWidgetItem* item);
    void AttachRoot();

    TDriveTypes DriveTypes;
    bool FLiveUpdate = false;
    QTreeWidgetItem* RootTreeItem = nullptr;
    std::unique_ptr<TDirTree> Tree;
    // Expanding, collapsing or selecting an item from inside the handlers does not ask again.
    bool Adjusting = false;
};

// The files of the folder selected in the partner tree, each with the tree's check box.
class TCheckedFileListView : public TCheckedItemView {
    Q_OBJECT

  public:
    explicit TCheckedFileListView(QWidget* parent = nullptr);

    void RefreshItemList();
    void RefreshStateImages();
    bool IsExcluded(const QTreeWidgetItem* item) const;
    void ResizeColumns();
    bool AutoSizeColumns() const { return FAutoSizeColumns; }
    void SetAutoSizeColumns(bool value);

    // The partner tree connects itself (SetFileList) and shares its pictures.
    void SetTreeView(TCheckedDirTreeView* tree, const TCheckViewImages* images);
    TCheckedDirTreeView* TreeView() const { return Tree; }

  protected:
    void resizeEvent(QResizeEvent* e) override;
    void ToggleCheck(QTreeWidgetItem* item) override;

  private:
    void AddFileItem(TDirTreeNode* node);

    TCheckedDirTreeView* Tree = nullptr;
    bool FAutoSizeColumns = true;
};
