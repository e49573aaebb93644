#pragma once

#include <memory>

#include "checkviews.h"

class TRestoreNode;
class TRestoreTree;
class TCheckedRestoreListView;

// The restore views' pictures are those of every checked view.
using TRestoreImages = TCheckViewImages;

// The drives and folders of a backup location, each with a three-state check box. Folders
// are read when they are opened; the tree owns the catalogue.
class TCheckedRestoreTreeView
    : public TTreeWithFileList<TCheckedRestoreTreeView, TCheckedRestoreListView> {
    Q_OBJECT

  public:
    explicit TCheckedRestoreTreeView(QWidget* parent = nullptr);
    ~TCheckedRestoreTreeView() override;

    void Build(const std::string& rootPath);
    TRestoreTree* RestoreTree() const { return Catalogue.get(); }
    // Whether nothing at all is checked (the catalogue's root is unchecked, or there is none).
    bool NothingChecked() const;

    QTreeWidgetItem* Attach(QTreeWidgetItem* parentItem, TRestoreNode* node);
    void AddDrives();
    void AddDrive(TRestoreNode* driveNode);
    void SetButtonState(QTreeWidgetItem* item);
    void AddDummyNode(QTreeWidgetItem* item);
    bool DestroyDummyNode(QTreeWidgetItem* item);
    void RefreshStateImages();
    void CheckNode(QTreeWidgetItem* item, int change);
    void ExpandTree(QTreeWidgetItem* item);

    static TRestoreNode* NodeOf(const QTreeWidgetItem* item);
    // The item that shows node, or none.
    QTreeWidgetItem* ItemOf(const TRestoreNode* node) const;
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
    bool StillExists(QTreeWidgetItem* item) const;
    void RemoveVanished(QTreeWidgetItem* item);
    void RemoveVanishedLater(const TRestoreNode* node);
    void SortChildren(QTreeWidgetItem* item);

    QTreeWidgetItem* RootTreeItem = nullptr;
    std::unique_ptr<TRestoreTree> Catalogue;
    // Expanding or collapsing an item from inside the handlers does not ask again.
    bool Adjusting = false;
};

// The backed-up files of the folder selected in the partner tree: the newest version of
// each, or every version, each with a check box.
class TCheckedRestoreListView : public TCheckedItemView {
    Q_OBJECT

  public:
    explicit TCheckedRestoreListView(QWidget* parent = nullptr);

    void RefreshItemList();
    void RefreshStateImages();
    bool IsExcluded(const QTreeWidgetItem* item) const;
    void ResizeColumns();
    bool AutoSizeColumns() const { return FAutoSizeColumns; }
    void SetAutoSizeColumns(bool value);
    bool ShowDuplicates() const { return FShowDuplicates; }
    void SetShowDuplicates(bool value);

    // The partner tree connects itself (SetFileList) and shares its pictures.
    void SetTreeView(TCheckedRestoreTreeView* tree, const TRestoreImages* images);
    TCheckedRestoreTreeView* TreeView() const { return Tree; }

    // The size column's text for a file of size bytes ("5,120KB"), and the modified
    // column's text for a DOS date-time ("3/7/24 2:05 PM").
    static QString SizeText(int64_t size);
    static QString TimeText(int32_t dosTime);

  protected:
    void showEvent(QShowEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void ToggleCheck(QTreeWidgetItem* item) override;

  private:
    void AddFileItem(TRestoreNode* node);

    TCheckedRestoreTreeView* Tree = nullptr;
    bool FAutoSizeColumns = false;
    bool FShowDuplicates = false;
    bool ColumnsSized = false;
};
