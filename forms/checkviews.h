#pragma once

#include <QApplication>
#include <QIcon>
#include <QPixmap>
#include <QStyledItemDelegate>
#include <QTreeWidget>
#include <QTreeWidgetItem>
#include <QTreeWidgetItemIterator>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>

#include "vlforms_export.h"

// What the checked views (the restore tree and list, the folder tree and file list of the
// profile editor) share: their pictures, the check box drawn in front of each entry, the
// placeholder child that gives an unread folder its expand button, and the size texts.

// The views' pictures: 16 by 16 images of the entries and 13 by 13 check-box states.
enum TViewImage : int {
    viComputer = 0,
    viOpenFolder = 1,
    viClosedFolder = 2,
    viDrive = 3,
    viDocument = 4,
};
enum TStateImage : int {
    siBlank = 0,  // no check box
    siUnchecked = 1,
    siChecked = 2,
    siPartial = 3,
};

// Item data of the views: the node an item shows, and the state picture it carries.
enum TCheckItemRole : int {
    NodeRole = Qt::UserRole,
    StateImageRole = Qt::UserRole + 1,
};

constexpr int ViewImageSize = 16;
constexpr int StateImageSize = 13;

// The two picture lists that a tree owns and its list shares.
struct VLFORMS_EXPORT TCheckViewImages {
    std::array<QPixmap, 5> Images;
    std::array<QPixmap, 4> States;
    // The icon of an entry from its image indices; an index out of range adds nothing.
    QIcon IconOf(int imageIndex, int selectedIndex) const;
    // Draws the pictures for a screen of the pixel ratio ratio; false when one of them
    // could not be drawn (it is then left empty).
    bool Load(qreal ratio);
};

// Draws an item's check-box picture in front of its own picture and text.
class VLFORMS_EXPORT TStateImageDelegate : public QStyledItemDelegate {
  public:
    // images points at the pictures in use (null: none), which may change.
    TStateImageDelegate(QObject* parent, const TCheckViewImages* const* images);
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    // Where the check-box picture of an item whose cell is cell lies.
    static QRect StateRect(const QRect& cell);

  private:
    const TCheckViewImages* const* Images;
};

// The node an item shows (NodeRole), or null for no item and for a placeholder.
VLFORMS_EXPORT void* ItemNode(const QTreeWidgetItem* item);
VLFORMS_EXPORT void SetItemNode(QTreeWidgetItem* item, const void* node);
VLFORMS_EXPORT bool IsDummyItem(const QTreeWidgetItem* item);
// Gives item an empty placeholder child, only when it has no children, so that it shows an
// expand button before its folder is read.
VLFORMS_EXPORT void AddDummyItem(QTreeWidgetItem* item);
// When item's only child is the placeholder, deletes it and returns true.
VLFORMS_EXPORT bool DestroyDummyItem(QTreeWidgetItem* item);
// Puts item's children in alphabetical order of their texts, without regard to case, where
// sortable says both may move; others keep their order (drives stay in letter order).
VLFORMS_EXPORT void SortChildItems(QTreeWidgetItem* item,
                                   const std::function<bool(const QTreeWidgetItem*)>& sortable);

// The item that shows node in view, or null (also for a null node).
VLFORMS_EXPORT QTreeWidgetItem* FindNodeItem(const QTreeWidget* view, const void* node);
// Whether at is item or lies below it (false for a null at).
VLFORMS_EXPORT bool IsAtOrBelow(const QTreeWidgetItem* at, const QTreeWidgetItem* item);
// Whether a list item shows a swap file (".swp"), which the lists leave without a check box.
VLFORMS_EXPORT bool IsSwapFileItem(const QTreeWidgetItem* item);

// A new item for node (any node of a checked tree): its text, pictures, check state and node.
template <typename TNode>
QTreeWidgetItem* NewNodeItem(const TNode* node, const TCheckViewImages* images) {
    auto* item = new QTreeWidgetItem;
    item->setText(0, QString::fromStdString(node->GetText()));
    if (images)
        item->setIcon(0, images->IconOf(node->ImageIndex, node->SelectedIndex));
    item->setData(0, StateImageRole, static_cast<int>(node->CheckState));
    SetItemNode(item, node);
    return item;
}

// Shows the check state of each item's node (of type TNode) in view; items for which
// withoutBox says so show none. Placeholders are left alone.
template <typename TNode>
void RefreshNodeStateImages(QTreeWidget* view,
                            const std::function<bool(const QTreeWidgetItem*)>& withoutBox = {}) {
    for (QTreeWidgetItemIterator it(view); *it; ++it) {
        const auto* node = static_cast<const TNode*>(ItemNode(*it));
        if (!node)
            continue;
        const bool blank = withoutBox && withoutBox(*it);
        (*it)->setData(0, StateImageRole,
                       blank ? static_cast<int>(siBlank) : static_cast<int>(node->CheckState));
    }
}

// A view whose entries carry the check box that TStateImageDelegate draws: a left click on
// an entry's box, or the space bar on the selected entry, toggles the check mark of the
// entry's node. Placeholders have no check mark.
class VLFORMS_EXPORT TCheckedItemView : public QTreeWidget {
    Q_OBJECT

  public:
    explicit TCheckedItemView(QWidget* parent);

  protected:
    // Toggles the check mark of the node that item shows.
    virtual void ToggleCheck(QTreeWidgetItem* item) = 0;
    // A folder tree: one column without a header, with expand buttons, in the order the
    // items were added.
    void SetUpAsTree();
    // A file list: columns under labels, the second (the size) aligned to the right.
    void SetUpAsList(const QStringList& labels);

    void mousePressEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

    // The pictures the check boxes are drawn from (null: none); a list shares its tree's.
    const TCheckViewImages* ImagesForDelegate = nullptr;
};

// A folder tree (TTree, the class deriving from this) with the file list (TList) that shows
// the files of its selected folder. The tree owns the pictures both views draw from; the
// list has SetTreeView(tree, images) and RefreshItemList().
template <typename TTree, typename TList>
class TTreeWithFileList : public TCheckedItemView {
  public:
    using TCheckedItemView::TCheckedItemView;

    // Connects list (null: none) in place of the list before, which lets go of its items.
    void SetFileList(TList* list) {
        if (List) {
            List->clear();
            disconnect(List, &QObject::destroyed, this, nullptr);
            List->SetTreeView(nullptr, nullptr);
        }
        List = list;
        if (!List)
            return;
        List->SetTreeView(static_cast<TTree*>(this), ImagesForDelegate);
        List->RefreshItemList();
        connect(List, &QObject::destroyed, this, [this](QObject* gone) {
            if (gone == List)
                List = nullptr;
        });
    }
    TList* FileList() const { return List; }
    const TCheckViewImages* Images() const { return ImageLists.get(); }

    // Draws the pictures for this screen; false when one of them could not be drawn. Without
    // its pictures the view still works: entries show no icons or check boxes.
    bool LoadImages() {
        auto images = std::make_unique<TCheckViewImages>();
        const bool ok = images->Load(devicePixelRatioF());
        ImageLists = std::move(images);
        ImagesForDelegate = ImageLists.get();
        if (List)
            List->SetTreeView(static_cast<TTree*>(this), ImagesForDelegate);
        return ok;
    }
    void RefreshFileList() {
        if (List)
            List->RefreshItemList();
    }

  protected:
    TList* List = nullptr;
    std::unique_ptr<TCheckViewImages> ImageLists;
};

// The size column's text for a file of size bytes: "0KB", "1KB" up to 1023 bytes, else the
// whole kilobytes with thousands separators ("5,120KB").
VLFORMS_EXPORT QString KilobyteText(int64_t size);

// The hourglass, for as long as the disk is read.
class TWaitCursor {
  public:
    TWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~TWaitCursor() { QApplication::restoreOverrideCursor(); }
    TWaitCursor(const TWaitCursor&) = delete;
    TWaitCursor& operator=(const TWaitCursor&) = delete;
};
