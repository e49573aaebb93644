#include "r_views.h"

#include <QApplication>
#include <QStyle>
#include <algorithm>
#include <map>

#include "datetime.h"
#include "r_nodes.h"
#include "r_tree.h"

namespace {

bool IsFolderKind(int kind) {
    return kind == nkFolder;
}

}  // namespace

// ---- tree ----

TCheckedRestoreTreeView::TCheckedRestoreTreeView(QWidget* parent) : TTreeWithFileList(parent) {
    SetUpAsTree();
    LoadImages();
    connect(this, &QTreeWidget::itemExpanded, this, &TCheckedRestoreTreeView::ItemExpanded);
    connect(this, &QTreeWidget::itemCollapsed, this, &TCheckedRestoreTreeView::ItemCollapsed);
    connect(this, &QTreeWidget::currentItemChanged, this,
            &TCheckedRestoreTreeView::CurrentItemChanged);
}

TCheckedRestoreTreeView::~TCheckedRestoreTreeView() {
    // The list's items point into the catalogue, which goes with this tree.
    if (List) {
        List->clear();
        List->SetTreeView(nullptr, nullptr);
    }
    Adjusting = true;
    clear();
}

TRestoreNode* TCheckedRestoreTreeView::NodeOf(const QTreeWidgetItem* item) {
    return static_cast<TRestoreNode*>(ItemNode(item));
}

QTreeWidgetItem* TCheckedRestoreTreeView::ItemOf(const TRestoreNode* node) const {
    return FindNodeItem(this, node);
}

bool TCheckedRestoreTreeView::NothingChecked() const {
    return !Catalogue || !Catalogue->Root() || Catalogue->Root()->CheckState == csUnchecked;
}

void TCheckedRestoreTreeView::Build(const std::string& rootPath) {
    if (!Catalogue)
        Catalogue = std::make_unique<TRestoreTree>();
    // The list's items point at the nodes that SetLocation is about to free.
    if (List)
        List->clear();
    Adjusting = true;
    clear();
    RootTreeItem = nullptr;
    Adjusting = false;
    Catalogue->SetLocation(rootPath);
    RootTreeItem = Attach(nullptr, Catalogue->Root());
    AddDrives();
    RefreshStateImages();
    RefreshFileList();
}

QTreeWidgetItem* TCheckedRestoreTreeView::Attach(QTreeWidgetItem* parentItem, TRestoreNode* node) {
    if (!node)
        return nullptr;
    QTreeWidgetItem* item = NewNodeItem(node, ImageLists.get());
    if (parentItem)
        parentItem->addChild(item);
    else
        addTopLevelItem(item);
    return item;
}

void TCheckedRestoreTreeView::AddDrives() {
    if (!RootTreeItem)
        return;
    for (TRestoreNode* node = Catalogue->Root()->FirstChild; node; node = node->NextSibling) {
        if (node->GetKind() == nkDrive)
            AddDrive(node);
    }
    Adjusting = true;
    RootTreeItem->setExpanded(true);
    Adjusting = false;
}

void TCheckedRestoreTreeView::AddDrive(TRestoreNode* driveNode) {
    SetButtonState(Attach(RootTreeItem, driveNode));
}

void TCheckedRestoreTreeView::SetButtonState(QTreeWidgetItem* item) {
    TRestoreNode* node = NodeOf(item);
    if (node && node->HasSubFolders())
        AddDummyNode(item);
}

void TCheckedRestoreTreeView::AddDummyNode(QTreeWidgetItem* item) {
    AddDummyItem(item);
}

bool TCheckedRestoreTreeView::DestroyDummyNode(QTreeWidgetItem* item) {
    return DestroyDummyItem(item);
}

void TCheckedRestoreTreeView::RefreshStateImages() {
    RefreshNodeStateImages<TRestoreNode>(this);
}

void TCheckedRestoreTreeView::CheckNode(QTreeWidgetItem* item, int change) {
    TRestoreNode* node = NodeOf(item);
    if (!node)
        return;
    TWaitCursor wait;
    node->SetCheck(static_cast<TCheckType>(change));
    RefreshStateImages();
    if (List)
        List->RefreshStateImages();
}

void TCheckedRestoreTreeView::ExpandTree(QTreeWidgetItem* item) {
    if (!DestroyDummyNode(item))
        return;
    for (TRestoreNode* child = NodeOf(item)->FirstChild; child; child = child->NextSibling) {
        if (child->GetKind() != nkFile)
            SetButtonState(Attach(item, child));
    }
    SortChildren(item);
}

void TCheckedRestoreTreeView::SortChildren(QTreeWidgetItem* item) {
    // Folders in alphabetical order of their texts, without regard to case; drives keep
    // their letter order.
    SortChildItems(item, [](const QTreeWidgetItem* child) {
        const TRestoreNode* node = NodeOf(child);
        return node && IsFolderKind(node->GetKind());
    });
}

bool TCheckedRestoreTreeView::StillExists(QTreeWidgetItem* item) const {
    return item == RootTreeItem || (Catalogue && Catalogue->NodeExists(NodeOf(item)));
}

void TCheckedRestoreTreeView::RemoveVanished(QTreeWidgetItem* item) {
    TRestoreNode* node = NodeOf(item);
    if (!node || node->GetKind() != nkFolder)
        return;
    // The list may show files of the folder that goes, or of one below it: it lets go of
    // them first.
    if (List && IsAtOrBelow(currentItem(), item))
        List->clear();
    Adjusting = true;
    delete item;
    Adjusting = false;
    Catalogue->RemoveNode(node);
    RefreshStateImages();
    RefreshFileList();
    if (List)
        List->RefreshStateImages();
}

bool TCheckedRestoreTreeView::CanExpand(QTreeWidgetItem* item) {
    TRestoreNode* node = NodeOf(item);
    if (!node)
        return false;
    TWaitCursor wait;
    if (!Catalogue->LoadChildren(node))
        return false;
    if (item == RootTreeItem || StillExists(item)) {
        ExpandTree(item);
        return true;
    }
    RemoveVanishedLater(node);
    return false;
}

bool TCheckedRestoreTreeView::CanCollapse(QTreeWidgetItem* item) {
    if (item == RootTreeItem)
        return true;
    if (!StillExists(item)) {
        RemoveVanishedLater(NodeOf(item));
        return false;
    }
    if (currentItem() && IsAtOrBelow(currentItem()->parent(), item)) {
        Adjusting = true;
        setCurrentItem(item);
        Adjusting = false;
        Change(item);
    }
    qDeleteAll(item->takeChildren());
    SetButtonState(item);
    return true;
}

void TCheckedRestoreTreeView::ItemExpanded(QTreeWidgetItem* item) {
    if (Adjusting)
        return;
    const bool allowed = CanExpand(item);
    // A removed item is gone; only one that stays is closed again.
    if (!allowed && ItemOf(NodeOf(item)) == item) {
        Adjusting = true;
        item->setExpanded(false);
        Adjusting = false;
    }
}

void TCheckedRestoreTreeView::ItemCollapsed(QTreeWidgetItem* item) {
    if (Adjusting)
        return;
    CanCollapse(item);
}

bool TCheckedRestoreTreeView::CanChange(QTreeWidgetItem* item) {
    if (!item || StillExists(item))
        return true;
    // A drive that vanished is refused; a folder also leaves the tree.
    RemoveVanished(item);
    return false;
}

void TCheckedRestoreTreeView::CurrentItemChanged(QTreeWidgetItem* current,
                                                 QTreeWidgetItem* previous) {
    if (Adjusting)
        return;
    if (current && !NodeOf(current))
        return;  // a placeholder is never selected for long
    if (StillExists(current) || !current) {
        Change(current);
        return;
    }
    // The selection stays where it was; the vanished folder goes once Qt is done with it.
    TRestoreNode* vanished = NodeOf(current);
    Adjusting = true;
    setCurrentItem(previous);
    Adjusting = false;
    RemoveVanishedLater(vanished);
}

void TCheckedRestoreTreeView::RemoveVanishedLater(const TRestoreNode* node) {
    // Qt is still busy with the item in the handler that found it gone. By the time the
    // removal runs, the item may have gone another way: it is looked up again.
    QMetaObject::invokeMethod(
        this,
        [this, node] {
            if (QTreeWidgetItem* item = ItemOf(node))
                CanChange(item);
        },
        Qt::QueuedConnection);
}

void TCheckedRestoreTreeView::Change(QTreeWidgetItem* item) {
    if (TRestoreNode* node = NodeOf(item)) {
        TWaitCursor wait;
        Catalogue->LoadChildren(node);
    }
    RefreshFileList();
}

void TCheckedRestoreTreeView::ToggleCheck(QTreeWidgetItem* item) {
    CheckNode(item, ctToggle);
}

// ---- list ----

TCheckedRestoreListView::TCheckedRestoreListView(QWidget* parent) : TCheckedItemView(parent) {
    SetUpAsList({QStringLiteral("Name"), QStringLiteral("Size"), QStringLiteral("Modified")});
}

void TCheckedRestoreListView::SetTreeView(TCheckedRestoreTreeView* tree,
                                          const TRestoreImages* images) {
    Tree = tree;
    ImagesForDelegate = images;
    viewport()->update();
}

QString TCheckedRestoreListView::SizeText(int64_t size) {
    return KilobyteText(size);
}

QString TCheckedRestoreListView::TimeText(int32_t dosTime) {
    return QString::fromStdString(FormatDateTime("m/d/yy h:nn AM/PM", FileDateToDateTime(dosTime)));
}

void TCheckedRestoreListView::AddFileItem(TRestoreNode* node) {
    QTreeWidgetItem* item = NewNodeItem(node, ImagesForDelegate);
    item->setText(1, SizeText(node->GetSize()));
    item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    item->setText(2, TimeText(node->Time));
    addTopLevelItem(item);
}

void TCheckedRestoreListView::RefreshItemList() {
    QTreeWidgetItem* selected = Tree ? Tree->currentItem() : nullptr;
    TRestoreNode* folder = TCheckedRestoreTreeView::NodeOf(selected);
    setUpdatesEnabled(false);
    // Without a selected folder there is nothing to list, and the old items may point at
    // nodes the catalogue no longer has.
    clear();
    if (folder) {
        std::map<QString, QTreeWidgetItem*> listed;  // by caption
        for (TRestoreNode* node = folder->FirstChild; node; node = node->NextSibling) {
            if (node->GetKind() != nkFile)
                continue;
            const QString text = QString::fromStdString(node->GetText());
            if (!FShowDuplicates) {
                auto found = listed.find(text);
                if (found != listed.end()) {
                    TRestoreNode* shown = TCheckedRestoreTreeView::NodeOf(found->second);
                    if (shown->Time >= node->Time)
                        continue;
                    delete found->second;
                    listed.erase(found);
                }
            }
            AddFileItem(node);
            listed[text] = topLevelItem(topLevelItemCount() - 1);
        }
        sortItems(0, Qt::AscendingOrder);
    }
    setUpdatesEnabled(true);
}

bool TCheckedRestoreListView::IsExcluded(const QTreeWidgetItem* item) const {
    return IsSwapFileItem(item);
}

void TCheckedRestoreListView::RefreshStateImages() {
    RefreshNodeStateImages<TRestoreNode>(
        this, [this](const QTreeWidgetItem* item) { return IsExcluded(item); });
}

void TCheckedRestoreListView::ResizeColumns() {
    // At least the widths of old (name 6/10 of the width, size 60, modified 120 pixels)
    // where the desktop's font fits them; size and time take what their longest texts
    // need, and the name the rest, so that all three stay in view.
    const int width = viewport()->width();
    const QFontMetrics metrics(font());
    const int padding = 2 * style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 12;
    constexpr int SizeWidth = 60;
    constexpr int ModifiedWidth = 120;
    const int sizeWidth =
        std::max(SizeWidth, metrics.horizontalAdvance(QStringLiteral("99,999,999KB")) + padding);
    const int modifiedWidth = std::max(
        ModifiedWidth, metrics.horizontalAdvance(QStringLiteral("12/31/26 12:59 PM")) + padding);
    const int nameWidth = std::max(width - sizeWidth - modifiedWidth, width * 3 / 10);
    setColumnWidth(0, nameWidth);
    setColumnWidth(1, sizeWidth);
    setColumnWidth(2, modifiedWidth);
}

void TCheckedRestoreListView::SetAutoSizeColumns(bool value) {
    if (value == FAutoSizeColumns)
        return;
    FAutoSizeColumns = value;
    ResizeColumns();
}

void TCheckedRestoreListView::SetShowDuplicates(bool value) {
    if (value == FShowDuplicates)
        return;
    FShowDuplicates = value;
    RefreshItemList();
}

void TCheckedRestoreListView::showEvent(QShowEvent* e) {
    QTreeWidget::showEvent(e);
    if (!ColumnsSized) {
        ColumnsSized = true;
        ResizeColumns();
    }
}

void TCheckedRestoreListView::resizeEvent(QResizeEvent* e) {
    QTreeWidget::resizeEvent(e);
    if (FAutoSizeColumns)
        ResizeColumns();
}

void TCheckedRestoreListView::ToggleCheck(QTreeWidgetItem* item) {
    TRestoreNode* node = TCheckedRestoreTreeView::NodeOf(item);
    if (!node)
        return;
    node->SetCheck(ctToggle);
    item->setData(0, StateImageRole, static_cast<int>(node->CheckState));
    if (Tree)
        Tree->RefreshStateImages();
}
