#include "checkviews.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QSvgRenderer>
#include <algorithm>

namespace {

constexpr int StateMargin = 2;  // on either side of the check-box picture

const char* const ImageFiles[] = {
    ":/vaultaire/computer.svg", ":/vaultaire/folder-open.svg", ":/vaultaire/folder-closed.svg",
    ":/vaultaire/drive.svg",    ":/vaultaire/document.svg",
};
const char* const StateFiles[] = {
    ":/vaultaire/state-blank.svg",
    ":/vaultaire/state-unchecked.svg",
    ":/vaultaire/state-checked.svg",
    ":/vaultaire/state-partial.svg",
};

// The item data that marks a placeholder child: no node can have this address.
const char DummyMarker = 0;
const quintptr DummyValue = reinterpret_cast<quintptr>(&DummyMarker);

// Draws the picture of file at size pixels square, sharp on the screen's pixel ratio.
QPixmap RenderPicture(const char* file, int size, qreal ratio, bool& ok) {
    QSvgRenderer renderer{QString::fromLatin1(file)};
    QPixmap pixmap(QSize(size, size) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    if (!renderer.isValid()) {
        ok = false;
        return pixmap;
    }
    QPainter painter(&pixmap);
    renderer.render(&painter, QRectF(0, 0, size, size));
    return pixmap;
}

}  // namespace

// ---- pictures ----

QIcon TCheckViewImages::IconOf(int imageIndex, int selectedIndex) const {
    QIcon icon;
    auto valid = [this](int index) {
        return index >= 0 && index < static_cast<int>(Images.size());
    };
    if (valid(imageIndex))
        icon.addPixmap(Images[imageIndex], QIcon::Normal);
    if (valid(selectedIndex))
        icon.addPixmap(Images[selectedIndex], QIcon::Selected);
    return icon;
}

bool TCheckViewImages::Load(qreal ratio) {
    bool ok = true;
    for (size_t i = 0; i < Images.size(); ++i)
        Images[i] = RenderPicture(ImageFiles[i], ViewImageSize, ratio, ok);
    for (size_t i = 0; i < States.size(); ++i)
        States[i] = RenderPicture(StateFiles[i], StateImageSize, ratio, ok);
    return ok;
}

TStateImageDelegate::TStateImageDelegate(QObject* parent, const TCheckViewImages* const* images)
    : QStyledItemDelegate(parent), Images(images) {}

QRect TStateImageDelegate::StateRect(const QRect& cell) {
    const int top = cell.top() + (cell.height() - StateImageSize) / 2;
    return QRect(cell.left() + StateMargin, top, StateImageSize, StateImageSize);
}

void TStateImageDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                const QModelIndex& index) const {
    if (index.column() != 0) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    const int state = index.data(StateImageRole).toInt();
    if (*Images && state > siBlank && state <= siPartial)
        painter->drawPixmap(StateRect(option.rect), (*Images)->States[state]);
    QStyleOptionViewItem rest(option);
    rest.rect.setLeft(option.rect.left() + StateImageSize + 2 * StateMargin);
    QStyledItemDelegate::paint(painter, rest, index);
}

QSize TStateImageDelegate::sizeHint(const QStyleOptionViewItem& option,
                                    const QModelIndex& index) const {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    if (index.column() == 0) {
        size.rwidth() += StateImageSize + 2 * StateMargin;
        size.setHeight(std::max(size.height(), StateImageSize + 2 * StateMargin));
    }
    return size;
}

// ---- items ----

void* ItemNode(const QTreeWidgetItem* item) {
    if (!item)
        return nullptr;
    const quintptr value = item->data(0, NodeRole).value<quintptr>();
    return value == DummyValue ? nullptr : reinterpret_cast<void*>(value);
}

void SetItemNode(QTreeWidgetItem* item, const void* node) {
    item->setData(0, NodeRole, QVariant::fromValue(reinterpret_cast<quintptr>(node)));
}

bool IsDummyItem(const QTreeWidgetItem* item) {
    return item && item->data(0, NodeRole).value<quintptr>() == DummyValue;
}

void AddDummyItem(QTreeWidgetItem* item) {
    if (!item || item->childCount() > 0)
        return;
    auto* dummy = new QTreeWidgetItem;
    dummy->setData(0, NodeRole, QVariant::fromValue(DummyValue));
    item->addChild(dummy);
}

bool DestroyDummyItem(QTreeWidgetItem* item) {
    if (!item || item->childCount() != 1 || !IsDummyItem(item->child(0)))
        return false;
    delete item->takeChild(0);
    return true;
}

void SortChildItems(QTreeWidgetItem* item,
                    const std::function<bool(const QTreeWidgetItem*)>& sortable) {
    QList<QTreeWidgetItem*> children = item->takeChildren();
    std::stable_sort(children.begin(), children.end(),
                     [&](const QTreeWidgetItem* a, const QTreeWidgetItem* b) {
                         if (!sortable(a) || !sortable(b))
                             return false;
                         return a->text(0).toCaseFolded() < b->text(0).toCaseFolded();
                     });
    item->addChildren(children);
}

QTreeWidgetItem* FindNodeItem(const QTreeWidget* view, const void* node) {
    if (!node)
        return nullptr;
    for (QTreeWidgetItemIterator it(const_cast<QTreeWidget*>(view)); *it; ++it) {
        if (ItemNode(*it) == node)
            return *it;
    }
    return nullptr;
}

bool IsAtOrBelow(const QTreeWidgetItem* at, const QTreeWidgetItem* item) {
    for (; at; at = at->parent()) {
        if (at == item)
            return true;
    }
    return false;
}

bool IsSwapFileItem(const QTreeWidgetItem* item) {
    return item && item->text(0).endsWith(QStringLiteral(".swp"), Qt::CaseInsensitive);
}

// ---- views ----

TCheckedItemView::TCheckedItemView(QWidget* parent) : QTreeWidget(parent) {
    setSortingEnabled(false);
    setEditTriggers(NoEditTriggers);
    setIconSize(QSize(ViewImageSize, ViewImageSize));
    setItemDelegate(new TStateImageDelegate(this, &ImagesForDelegate));
}

void TCheckedItemView::SetUpAsTree() {
    setColumnCount(1);
    setHeaderHidden(true);
    setRootIsDecorated(true);
    setItemsExpandable(true);
}

void TCheckedItemView::SetUpAsList(const QStringList& labels) {
    setColumnCount(static_cast<int>(labels.size()));
    setHeaderLabels(labels);
    headerItem()->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    header()->setStretchLastSection(false);
}

void TCheckedItemView::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton) {
        const QPoint at = e->position().toPoint();
        QTreeWidgetItem* item = itemAt(at);
        if (ItemNode(item) && TStateImageDelegate::StateRect(visualItemRect(item)).contains(at))
            ToggleCheck(item);
    }
    QTreeWidget::mousePressEvent(e);
}

void TCheckedItemView::keyPressEvent(QKeyEvent* e) {
    // The space bar ticks the selected entry, for those who work without a mouse.
    if (e->key() == Qt::Key_Space && e->modifiers() == Qt::NoModifier && ItemNode(currentItem())) {
        ToggleCheck(currentItem());
        return;
    }
    QTreeWidget::keyPressEvent(e);
}

QString KilobyteText(int64_t size) {
    constexpr int64_t KiloByte = 1024;
    const int64_t kilobytes = size <= 0 ? 0 : (size < KiloByte ? 1 : size / KiloByte);
    return QLocale().toString(static_cast<qlonglong>(kilobytes)) + QStringLiteral("KB");
}
