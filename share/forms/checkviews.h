#pragma once

#include <QApplication>
#include <QIcon>
#include <QPixmap>
#include <QStyledItemDelegate>
#include <QTreeWidgetItem>
#include <array>
#include <cstdint>
#include <functional>

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
