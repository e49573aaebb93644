#include "ct_views.h"

#include <QPalette>

#include "platform/drivemap.h"
#include "platform/syserror.h"

namespace {

// The drive types that are never shown: a letter whose drive cannot be told, or has no root.
bool ShowableDriveType(int type) {
    return type != DRIVE_UNKNOWN && type != DRIVE_NO_ROOT_DIR;
}

QString ReadErrorText(int error) {
    if (error == ERROR_PATH_NOT_FOUND || error == ERROR_FILE_NOT_FOUND)
        return QStringLiteral("This folder is no longer there.");
    return QStringLiteral("This folder cannot be read: ") +
           QString::fromStdString(SysErrorMessage(error));
}

}  // namespace

// ---- tree ----

TCheckedDirTreeView::TCheckedDirTreeView(QWidget* parent, TDriveTypes driveTypes)
    : TTreeWithFileList(parent),
      DriveTypes(driveTypes ? driveTypes : DriveTypeBit(DRIVE_FIXED)),
      Tree(std::make_unique<TDirTree>(true)) {
    SetUpAsTree();
    LoadImages();
    connect(this, &QTreeWidget::itemExpanded, this, &TCheckedDirTreeView::ItemExpanded);
    connect(this, &QTreeWidget::itemCollapsed, this, &TCheckedDirTreeView::ItemCollapsed);
    connect(this, &QTreeWidget::currentItemChanged, this, &TCheckedDirTreeView::CurrentItemChanged);
}

TCheckedDirTreeView::~TCheckedDirTreeView() {
    // The list's items point into the model, which goes with this tree.
    if (List) {
        List->clear();
        List->SetTreeView(nullptr, nullptr);
    }
    Adjusting = true;
    clear();
}

TDirTreeNode* TCheckedDirTreeView::NodeOf(const QTreeWidgetItem* item) {
    return static_cast<TDirTreeNode*>(ItemNode(item));
}

QTreeWidgetItem* TCheckedDirTreeView::ItemOf(const TDirTreeNode* node) const {
    return FindNodeItem(this, node);
}

void TCheckedDirTreeView::AttachRoot() {
    // The list's items point at nodes the model is about to free.
    if (List)
        List->clear();
    Adjusting = true;
    clear();
    RootTreeItem = nullptr;
    Adjusting = false;
}

void TCheckedDirTreeView::Build() {
    AttachRoot();
    Tree->Build();
    RootTreeItem = Attach(nullptr, Tree->Root());
    AddDrives();
    RefreshStateImages();
}

std::vector<std::string> TCheckedDirTreeView::BuildFromList(const std::vector<std::string>& list,
                                                            int mode) {
    if (mode != CheckListedFolders)
        return {};
    AttachRoot();
    std::vector<std::string> notFound = Tree->BuildFromList(list);
    RootTreeItem = Attach(nullptr, Tree->Root());
    AddDrives();
    RefreshStateImages();
    return notFound;
}

std::vector<std::string> TCheckedDirTreeView::GetFolders(bool checkedOnly) const {
    return Tree->GetFolders(checkedOnly);
}

QTreeWidgetItem* TCheckedDirTreeView::Attach(QTreeWidgetItem* parentItem, TDirTreeNode* node) {
    if (!node)
        return nullptr;
    node->LookUpImages();
    QTreeWidgetItem* item = NewNodeItem(node, ImageLists.get());
    if (parentItem)
        parentItem->addChild(item);
    else
        addTopLevelItem(item);
    return item;
}

void TCheckedDirTreeView::AddDrives() {
    if (!RootTreeItem)
        return;
    for (TDirTreeNode* node = Tree->Root()->FirstChild; node; node = node->NextSibling) {
        auto* drive = static_cast<TDriveNode*>(node);
        if (ShowableDriveType(drive->DriveType) && (DriveTypes & DriveTypeBit(drive->DriveType)))
            AddDrive(drive);
    }
    Adjusting = true;
    RootTreeItem->setExpanded(true);
    Adjusting = false;
}

void TCheckedDirTreeView::AddDrive(TDriveNode* driveNode) {
    SetButtonState(Attach(RootTreeItem, driveNode));
}

void TCheckedDirTreeView::SetButtonState(QTreeWidgetItem* item) {
    TDirTreeNode* node = NodeOf(item);
    if (!node)
        return;
    // A diskette or disc is not touched before the user opens its drive.
    const bool changingMedia =
        node->GetKind() == nkDrive && static_cast<TDriveNode*>(node)->HasChangingMedia();
    if (changingMedia || node->HasSubFolders())
        AddDummyNode(item);
    ShowReadState(item);
}

void TCheckedDirTreeView::ShowReadState(QTreeWidgetItem* item) {
    const TDirTreeNode* node = NodeOf(item);
    if (!node)
        return;
    const bool unreadable = node->ReadError != 0 && node->GetKind() == nkFolder;
    item->setToolTip(0, unreadable ? ReadErrorText(node->ReadError) : QString());
    item->setForeground(0, unreadable ? palette().brush(QPalette::Disabled, QPalette::Text)
                                      : palette().brush(QPalette::Active, QPalette::Text));
}

void TCheckedDirTreeView::RefreshStateImages() {
    RefreshNodeStateImages<TDirTreeNode>(this);
}

void TCheckedDirTreeView::CheckNode(QTreeWidgetItem* item, int change) {
    TDirTreeNode* node = NodeOf(item);
    if (!node)
        return;
    TWaitCursor wait;
    node->SetCheck(static_cast<TCheckType>(change));
    RefreshStateImages();
    if (List)
        List->RefreshStateImages();
}

void TCheckedDirTreeView::ExpandTree(QTreeWidgetItem* item) {
    if (!DestroyDummyNode(item))
        return;
    for (TDirTreeNode* child = NodeOf(item)->FirstChild; child; child = child->NextSibling) {
        if (child->IsFolderKind())
            SetButtonState(Attach(item, child));
    }
    // Folders in alphabetical order without regard to case; drives keep their letter order.
    SortChildItems(item, [](const QTreeWidgetItem* child) {
        const TDirTreeNode* node = NodeOf(child);
        return node && node->GetKind() == nkFolder;
    });
}

bool TCheckedDirTreeView::MediumUnchanged(QTreeWidgetItem* item) {
    TDirTreeNode* node = NodeOf(item);
    while (node && node->GetKind() != nkDrive)
        node = node->Parent;
    auto* drive = static_cast<TDriveNode*>(node);
    if (!drive || !drive->HasChangingMedia())
        return true;
    const uint32_t serial = drive->ReadVolumeSerial();
    const bool unchanged = serial != TDriveNode::NoSerial && serial == drive->VolumeSerial;
    drive->VolumeSerial = serial;
    return unchanged;
}

bool TCheckedDirTreeView::StillExists(QTreeWidgetItem* item) const {
    return item == RootTreeItem || Tree->NodeExists(NodeOf(item));
}

void TCheckedDirTreeView::RemoveVanished(QTreeWidgetItem* item) {
    TDirTreeNode* node = NodeOf(item);
    if (!node || node->GetKind() != nkFolder)
        return;
    // The list may show files of the folder that goes, or of one below it.
    if (List && IsAtOrBelow(currentItem(), item))
        List->clear();
    Adjusting = true;
    delete item;
    Adjusting = false;
    Tree->RemoveNode(node);
    RefreshStateImages();
    RefreshFileList();
}

void TCheckedDirTreeView::RemoveVanishedLater(const TDirTreeNode* node) {
    // Qt is still busy with the item in the handler that found it gone; by the time the
    // removal runs the item may have gone another way, so it is looked up again.
    QMetaObject::invokeMethod(
        this,
        [this, node] {
            if (QTreeWidgetItem* item = ItemOf(node); item && !StillExists(item))
                RemoveVanished(item);
        },
        Qt::QueuedConnection);
}

bool TCheckedDirTreeView::CanExpand(QTreeWidgetItem* item) {
    TDirTreeNode* node = NodeOf(item);
    if (!node)
        return false;
    TWaitCursor wait;
    const bool loaded = Tree->LoadChildren(node);
    ShowReadState(item);
    if (!loaded) {
        // Nothing to open: an empty, vanished or unreadable folder loses its button.
        if (item != RootTreeItem)
            DestroyDummyNode(item);
        return false;
    }
    if (!FLiveUpdate || item == RootTreeItem || !MediumUnchanged(item) || StillExists(item)) {
        ExpandTree(item);
        return true;
    }
    RemoveVanishedLater(node);
    return false;
}

bool TCheckedDirTreeView::CanCollapse(QTreeWidgetItem* item) {
    // Without live update a closed folder keeps its items; reopening it shows them again.
    if (!FLiveUpdate || item == RootTreeItem)
        return true;
    if (!MediumUnchanged(item))
        return false;
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

void TCheckedDirTreeView::ItemExpanded(QTreeWidgetItem* item) {
    if (Adjusting)
        return;
    // A refused item that is still in the tree is closed again.
    if (!CanExpand(item) && ItemOf(NodeOf(item)) == item) {
        Adjusting = true;
        item->setExpanded(false);
        Adjusting = false;
    }
}

void TCheckedDirTreeView::ItemCollapsed(QTreeWidgetItem* item) {
    if (Adjusting)
        return;
    if (!CanCollapse(item) && ItemOf(NodeOf(item)) == item) {
        Adjusting = true;
        item->setExpanded(true);
        Adjusting = false;
    }
}

bool TCheckedDirTreeView::CanChange(QTreeWidgetItem* item) {
    if (!FLiveUpdate || !item || item == RootTreeItem)
        return true;
    if (!MediumUnchanged(item)) {
        RefreshFileList();
        return false;
    }
    if (StillExists(item))
        return true;
    RemoveVanishedLater(NodeOf(item));
    return false;
}

void TCheckedDirTreeView::CurrentItemChanged(QTreeWidgetItem* current, QTreeWidgetItem* previous) {
    if (Adjusting)
        return;
    if (current && !NodeOf(current))
        return;  // a placeholder is never selected for long
    if (CanChange(current)) {
        Change(current);
        return;
    }
    // The selection stays where it was.
    Adjusting = true;
    setCurrentItem(previous);
    Adjusting = false;
}

void TCheckedDirTreeView::Change(QTreeWidgetItem*) {
    // Only what is loaded is listed: a folder shows its files once it has been opened.
    RefreshFileList();
}

void TCheckedDirTreeView::ToggleCheck(QTreeWidgetItem* item) {
    CheckNode(item, ctToggle);
}

// ---- list ----

TCheckedFileListView::TCheckedFileListView(QWidget* parent) : TCheckedItemView(parent) {
    SetUpAsList({QStringLiteral("Name"), QStringLiteral("Size")});
}

void TCheckedFileListView::SetTreeView(TCheckedDirTreeView* tree, const TCheckViewImages* images) {
    Tree = tree;
    ImagesForDelegate = images;
    viewport()->update();
}

void TCheckedFileListView::AddFileItem(TDirTreeNode* node) {
    node->LookUpImages();
    QTreeWidgetItem* item = NewNodeItem(node, ImagesForDelegate);
    item->setText(1, KilobyteText(node->GetSize()));
    item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    addTopLevelItem(item);
}

void TCheckedFileListView::RefreshItemList() {
    if (!Tree || !Tree->currentItem()) {
        // Nothing selected: the old items may point at nodes the model no longer has.
        clear();
        return;
    }
    TDirTreeNode* folder = TCheckedDirTreeView::NodeOf(Tree->currentItem());
    setUpdatesEnabled(false);
    clear();
    if (folder) {
        for (TDirTreeNode* node = folder->FirstChild; node; node = node->NextSibling) {
            if (node->GetKind() == nkFile)
                AddFileItem(node);
        }
        sortItems(0, Qt::AscendingOrder);
    }
    setUpdatesEnabled(true);
}

bool TCheckedFileListView::IsExcluded(const QTreeWidgetItem* item) const {
    return IsSwapFileItem(item);
}

void TCheckedFileListView::RefreshStateImages() {
    RefreshNodeStateImages<TDirTreeNode>(
        this, [this](const QTreeWidgetItem* item) { return IsExcluded(item); });
}

void TCheckedFileListView::ResizeColumns() {
    // The name takes three quarters of the width (at least half), the size the rest (at
    // least a quarter).
    const int width = viewport()->width();
    const int nameWidth = std::max(width * 3 / 4, width / 2);
    setColumnWidth(0, nameWidth);
    setColumnWidth(1, std::max(width - nameWidth, width / 4));
}

void TCheckedFileListView::SetAutoSizeColumns(bool value) {
    FAutoSizeColumns = value;
    ResizeColumns();
}

void TCheckedFileListView::resizeEvent(QResizeEvent* e) {
    QTreeWidget::resizeEvent(e);
    if (FAutoSizeColumns)
        ResizeColumns();
}

void TCheckedFileListView::ToggleCheck(QTreeWidgetItem* item) {
    TDirTreeNode* node = TCheckedDirTreeView::NodeOf(item);
    if (!node)
        return;
    node->SetCheck(ctToggle);
    item->setData(0, StateImageRole, static_cast<int>(node->CheckState));
    if (Tree)
        Tree->RefreshStateImages();
}
