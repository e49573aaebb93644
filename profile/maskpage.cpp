#include "maskpage.h"

#include <QApplication>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScrollBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>

#include "commatext.h"
#include "interaction.h"
#include "masks.h"
#include "profile.h"
#include "strtable.h"
#include "vstringutil.h"

namespace {

constexpr int StrProductName = 101;

const char* const kDragFormat = "application/x-vaultaire-mask-source";

// Types every registered list offers besides the desktop's: "All Files" first, the backup
// and temporary files last.
const TFileType kAllFiles{".*", "All Files"};
const TFileType kTrailingTypes[] = {{".bak", "BAK files"}, {".tmp", "Temporary files"}};

// The characters the wizard's custom edits refuse: an extension holds none of them.
const char* const kCustomAllowed = R"([^.<>:"/\\|]*)";

constexpr int kGutterWidth = 30;
constexpr int kArrowSize = 22;

struct TCaptions {
    const char* Source;
    const char* Custom;
    const char* IncludeMasks;
    const char* ExcludeMasks;
    const char* Defaults;
};
constexpr TCaptions kEditorCaptions{"Registered File Types", "Custom File Type",
                                    "Included File Types", "Excluded File Types", "&Defaults"};
constexpr TCaptions kWizardCaptions{"&Registered File Types", "&Custom File Type",
                                    "&Included File Types", "&Excluded File Types",
                                    "Use &Defaults"};

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

bool Listed(const std::vector<std::string>& list, const std::string& mask) {
    return std::any_of(list.begin(), list.end(),
                       [&mask](const std::string& entry) { return SameText(entry, mask); });
}

// The entry that stands for a typed extension: trimmed, with a leading dot.
std::string NormalisedMask(const std::string& typed) {
    const std::string mask = Trim(typed);
    if (mask.empty() || mask[0] == '.')
        return mask;
    return "." + mask;
}

std::vector<TFileType> RegisteredListOf(std::vector<TFileType> types) {
    std::erase_if(types, [](const TFileType& type) {
        return type.Extension == kAllFiles.Extension ||
               std::any_of(
                   std::begin(kTrailingTypes), std::end(kTrailingTypes),
                   [&type](const TFileType& t) { return SameText(t.Extension, type.Extension); });
    });
    std::stable_sort(types.begin(), types.end(), [](const TFileType& a, const TFileType& b) {
        return AnsiUpperCase(a.Extension) < AnsiUpperCase(b.Extension);
    });
    std::vector<TFileType> list{kAllFiles};
    list.insert(list.end(), types.begin(), types.end());
    list.insert(list.end(), std::begin(kTrailingTypes), std::end(kTrailingTypes));
    return list;
}

void FillRegisteredView(QTreeWidget* view, const std::vector<TFileType>& types) {
    view->clear();
    QList<QTreeWidgetItem*> items;
    items.reserve(static_cast<qsizetype>(types.size()));
    for (const TFileType& type : types)
        items.append(new QTreeWidgetItem(QStringList{Q(type.Extension), Q(type.Description)}));
    view->addTopLevelItems(items);
    view->setCurrentItem(view->topLevelItem(0));
}

void SetUpRegisteredView(QTreeWidget* view) {
    view->setColumnCount(2);
    view->setHeaderHidden(true);
    view->setRootIsDecorated(false);
    view->setItemsExpandable(false);
    view->setUniformRowHeights(true);
    view->setSortingEnabled(false);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setAllColumnsShowFocus(true);
    view->header()->setStretchLastSection(true);
    view->setColumnWidth(0, TMaskListBox::kMaskColumnWidth);
}

QToolButton* MakeArrow(QWidget* owner, const QString& name, Qt::ArrowType arrow) {
    auto* button = new QToolButton(owner);
    button->setObjectName(name);
    button->setArrowType(arrow);
    button->setFixedSize(kArrowSize, kArrowSize);
    // The focus stays in the list or the edit the arrow belongs to.
    button->setFocusPolicy(Qt::NoFocus);
    button->hide();
    return button;
}

bool IsInsertKey(const QKeyEvent* e) {
    return e->key() == Qt::Key_Insert && e->modifiers() == Qt::NoModifier;
}

}  // namespace

std::string MaskDescription(const std::string& mask, const std::vector<TFileType>& types) {
    auto found = std::find_if(types.begin(), types.end(), [&mask](const TFileType& type) {
        return SameText(type.Extension, mask);
    });
    if (found != types.end())
        return found->Description;
    std::string bare = mask;
    std::erase(bare, '.');
    return bare + " Files";
}

// ---- TMaskListBox ----

TMaskListBox::TMaskListBox(TMaskPage* page, QWidget* owner) : QListWidget(owner), Page(page) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setDragDropMode(QAbstractItemView::DropOnly);
    setDropIndicatorShown(false);
    setAcceptDrops(true);
    setUniformItemSizes(true);
    setItemDelegate(new TMaskItemDelegate(this));
}

std::vector<std::string> TMaskListBox::Masks() const {
    std::vector<std::string> masks;
    masks.reserve(static_cast<size_t>(count()));
    for (int row = 0; row < count(); ++row)
        masks.push_back(item(row)->text().toStdString());
    return masks;
}

void TMaskListBox::SetMasks(std::vector<std::string> masks) {
    std::stable_sort(masks.begin(), masks.end(), [](const std::string& a, const std::string& b) {
        return AnsiUpperCase(a) < AnsiUpperCase(b);
    });
    clear();
    for (const std::string& mask : masks)
        addItem(Q(mask));
}

int TMaskListBox::RowOf(const std::string& mask) const {
    for (int row = 0; row < count(); ++row)
        if (SameText(item(row)->text().toStdString(), mask))
            return row;
    return -1;
}

std::string TMaskListBox::DescriptionAt(int row) const {
    const QListWidgetItem* entry = item(row);
    return entry ? MaskDescription(entry->text().toStdString(), Page->Types) : std::string();
}

void TMaskListBox::dragEnterEvent(QDragEnterEvent* e) {
    if (Page->CanDrop(e->mimeData()))
        e->acceptProposedAction();
    else
        e->ignore();
}

void TMaskListBox::dragMoveEvent(QDragMoveEvent* e) {
    if (Page->CanDrop(e->mimeData()))
        e->acceptProposedAction();
    else
        e->ignore();
}

void TMaskListBox::dropEvent(QDropEvent* e) {
    if (!Page->CanDrop(e->mimeData())) {
        e->ignore();
        return;
    }
    e->acceptProposedAction();
    Page->Drop(e->mimeData());
}

void TMaskListBox::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Delete && e->modifiers() == Qt::NoModifier) {
        Page->DeleteButtonClick();
        return;
    }
    QListWidget::keyPressEvent(e);
}

void TMaskListBox::focusInEvent(QFocusEvent* e) {
    QListWidget::focusInEvent(e);
    Page->TargetMasksEnter();
}

// ---- TMaskItemDelegate ----

TMaskItemDelegate::TMaskItemDelegate(TMaskListBox* box) : QStyledItemDelegate(box), Box(box) {}

void TMaskItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
    QStyleOptionViewItem opt(option);
    initStyleOption(&opt, index);
    const QWidget* widget = opt.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    const QString mask = opt.text;
    opt.text.clear();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, &opt, widget) + 1;
    const QRect row = opt.rect.adjusted(margin, 0, -margin, 0);
    const QRect maskRect(row.left(), row.top(), TMaskListBox::kMaskColumnWidth - margin,
                         row.height());
    const QRect descriptionRect(opt.rect.left() + TMaskListBox::kMaskColumnWidth, row.top(),
                                row.right() - opt.rect.left() - TMaskListBox::kMaskColumnWidth,
                                row.height());
    const QPalette::ColorGroup group = !(opt.state & QStyle::State_Enabled) ? QPalette::Disabled
                                       : (opt.state & QStyle::State_Active) ? QPalette::Active
                                                                            : QPalette::Inactive;
    const QPalette::ColorRole role =
        (opt.state & QStyle::State_Selected) ? QPalette::HighlightedText : QPalette::Text;
    painter->save();
    painter->setPen(opt.palette.color(group, role));
    painter->setFont(opt.font);
    const QString description = Q(Box->DescriptionAt(index.row()));
    const int flags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine;
    painter->drawText(maskRect, flags,
                      opt.fontMetrics.elidedText(mask, Qt::ElideRight, maskRect.width()));
    painter->drawText(
        descriptionRect, flags,
        opt.fontMetrics.elidedText(description, Qt::ElideRight, descriptionRect.width()));
    painter->restore();
}

// ---- TMaskPage ----

TMaskPage::TMaskPage(bool include, TMaskCaptions captions) : IsInclude(include) {
    setObjectName(include ? "IncludeMaskPage" : "ExcludeMaskPage");
    ExecDrag = [](QDrag* drag) { drag->exec(Qt::CopyAction); };
    MakeControls(captions);
    Connect();
}

void TMaskPage::MakeControls(TMaskCaptions captions) {
    const TCaptions& text = captions == TMaskCaptions::Editor ? kEditorCaptions : kWizardCaptions;
    const QString prefix = IsInclude ? "Include" : "Exclude";

    SourceBox = new QGroupBox(text.Source, this);
    SourceView = new QTreeWidget(SourceBox);
    SourceView->setObjectName(prefix + "Source");
    SetUpRegisteredView(SourceView);
    (new QVBoxLayout(SourceBox))->addWidget(SourceView);

    CustomBox = new QGroupBox(text.Custom, this);
    CustomEdit = new QLineEdit(CustomBox);
    CustomEdit->setObjectName(prefix + "Custom");
    (new QVBoxLayout(CustomBox))->addWidget(CustomEdit);

    MasksBox = new QGroupBox(IsInclude ? text.IncludeMasks : text.ExcludeMasks, this);
    MaskList = new TMaskListBox(this, MasksBox);
    MaskList->setObjectName(prefix + "Masks");
    Defaults = new QPushButton(text.Defaults, MasksBox);
    Defaults->setObjectName(prefix + "DefButton");
    auto* masksLayout = new QVBoxLayout(MasksBox);
    masksLayout->addWidget(MaskList);
    auto* buttonRow = new QHBoxLayout;
    buttonRow->addStretch();
    buttonRow->addWidget(Defaults);
    masksLayout->addLayout(buttonRow);

    // The arrows float in a gutter between the sources and the list, beside the entry or
    // the edit they act on.
    Gutter = new QWidget(this);
    Gutter->setFixedWidth(kGutterWidth);
    Insert = MakeArrow(Gutter, prefix + "InsertButton", Qt::RightArrow);
    Delete = MakeArrow(Gutter, prefix + "DeleteButton", Qt::LeftArrow);

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->addWidget(SourceBox, 0, 0);
    grid->addWidget(CustomBox, 1, 0);
    grid->addWidget(Gutter, 0, 1, 2, 1);
    grid->addWidget(MasksBox, 0, 2, 2, 1);
    grid->setRowStretch(0, 1);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(2, 1);
}

void TMaskPage::Connect() {
    SourceView->installEventFilter(this);
    SourceView->viewport()->installEventFilter(this);
    CustomEdit->installEventFilter(this);
    connect(SourceView, &QTreeWidget::itemSelectionChanged, this,
            &TMaskPage::SourceMasksSelectItem);
    connect(CustomEdit, &QLineEdit::textChanged, this, &TMaskPage::SourceMaskChange);
    connect(MaskList, &QListWidget::itemSelectionChanged, this, &TMaskPage::UpdateArrows);
    connect(SourceView->verticalScrollBar(), &QScrollBar::valueChanged, this,
            &TMaskPage::UpdateArrows);
    connect(MaskList->verticalScrollBar(), &QScrollBar::valueChanged, this,
            &TMaskPage::UpdateArrows);
    connect(Insert, &QToolButton::clicked, this, &TMaskPage::InsertButtonClick);
    connect(Delete, &QToolButton::clicked, this, &TMaskPage::DeleteButtonClick);
    connect(Defaults, &QPushButton::clicked, this, &TMaskPage::DefButtonClick);
}

bool TMaskPage::eventFilter(QObject* watched, QEvent* e) {
    if (e->type() == QEvent::FocusIn) {
        if (watched == SourceView)
            SourceMasksEnter();
        else if (watched == CustomEdit)
            SourceMaskEnter();
    } else if (e->type() == QEvent::KeyPress && IsInsertKey(static_cast<QKeyEvent*>(e))) {
        // The arrows take no focus; the key is the keyboard's way to insert.
        InsertButtonClick();
        return true;
    } else if (StartDragFrom(watched, e)) {
        return true;
    }
    return QWidget::eventFilter(watched, e);
}

void TMaskPage::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    if (Shown)
        Shown(this);
}

void TMaskPage::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    UpdateArrows();
}

// A left press on a registered type, or on the custom edit while there is something to
// insert, becomes a drag once the mouse has moved the system's drag distance.
bool TMaskPage::StartDragFrom(QObject* watched, QEvent* e) {
    const bool fromSource = watched == SourceView->viewport();
    if (!fromSource && watched != CustomEdit)
        return false;
    if (e->type() == QEvent::MouseButtonPress) {
        auto* press = static_cast<QMouseEvent*>(e);
        const bool draggable = fromSource
                                   ? SourceView->itemAt(press->position().toPoint()) != nullptr
                                   : Insert->isEnabled();
        PressedIn = press->button() == Qt::LeftButton && draggable ? watched : nullptr;
        PressPos = press->position().toPoint();
        return false;
    }
    if (e->type() == QEvent::MouseButtonRelease) {
        PressedIn = nullptr;
        return false;
    }
    if (e->type() != QEvent::MouseMove || PressedIn != watched)
        return false;
    auto* move = static_cast<QMouseEvent*>(e);
    if (!(move->buttons() & Qt::LeftButton)) {
        PressedIn = nullptr;
        return false;
    }
    if ((move->position().toPoint() - PressPos).manhattanLength() <
        QApplication::startDragDistance())
        return fromSource ? false : true;
    PressedIn = nullptr;
    const TMaskControl from = fromSource ? mcSource : mcCustom;
    if (fromSource && !Insert->isEnabled())
        return false;
    auto* drag = new QDrag(fromSource ? static_cast<QObject*>(SourceView) : CustomEdit);
    drag->setMimeData(MakeDragData(from));
    ExecDrag(drag);
    drag->deleteLater();
    return true;
}

QMimeData* TMaskPage::MakeDragData(TMaskControl from) const {
    auto* data = new QMimeData;
    const QString token = QStringLiteral("%1:%2:%3")
                              .arg(QCoreApplication::applicationPid())
                              .arg(reinterpret_cast<quintptr>(this))
                              .arg(static_cast<int>(from));
    data->setData(kDragFormat, token.toUtf8());
    return data;
}

// Only this process's drags from this page's own sources count.
TMaskPage::TMaskControl TMaskPage::DragSourceOf(const QMimeData* data) const {
    if (!data || !data->hasFormat(kDragFormat))
        return mcNone;
    const QStringList parts = QString::fromUtf8(data->data(kDragFormat)).split(':');
    if (parts.size() != 3 || parts[0] != QString::number(QCoreApplication::applicationPid()) ||
        parts[1] != QString::number(reinterpret_cast<quintptr>(this)))
        return mcNone;
    const int from = parts[2].toInt();
    return from == mcSource || from == mcCustom ? static_cast<TMaskControl>(from) : mcNone;
}

bool TMaskPage::CanDrop(const QMimeData* data) const {
    return DragSourceOf(data) != mcNone && Insert->isEnabled();
}

void TMaskPage::Drop(const QMimeData* data) {
    const TMaskControl from = DragSourceOf(data);
    if (from != mcNone && Insert->isEnabled())
        InsertFrom(from);
}

std::string TMaskPage::CandidateMask() const {
    if (LastControl == mcSource) {
        const QTreeWidgetItem* item = SourceView->currentItem();
        return item && item->isSelected() ? item->text(0).toStdString() : std::string();
    }
    const std::string mask = NormalisedMask(CustomEdit->text().toStdString());
    // A dot alone names no extension.
    return mask == "." ? std::string() : mask;
}

// Something to insert: a mask that this page's list does not hold yet.
bool TMaskPage::HasSomethingToInsert() const {
    if (!Profile || LastControl == mcNone)
        return false;
    const std::string mask = CandidateMask();
    return !mask.empty() && MaskList->RowOf(mask) < 0;
}

void TMaskPage::SelectMatchingMask(const std::string& mask) {
    const int row = mask.empty() ? -1 : MaskList->RowOf(mask);
    if (row < 0)
        MaskList->clearSelection();
    else
        MaskList->setCurrentRow(row);
}

void TMaskPage::PlaceButton(QToolButton* button, QWidget* beside, const QRect& rect) {
    const QPoint centre = Gutter->mapFromGlobal(beside->mapToGlobal(rect.center()));
    const int top =
        std::clamp(centre.y() - kArrowSize / 2, 0, std::max(0, Gutter->height() - kArrowSize));
    button->move((Gutter->width() - kArrowSize) / 2, top);
    button->show();
    button->raise();
}

void TMaskPage::UpdateArrows() {
    Insert->setEnabled(FocusedControl != MaskList && HasSomethingToInsert());
    if (FocusedControl == MaskList) {
        Insert->hide();
        QListWidgetItem* selected = MaskList->currentItem();
        const QRect rect =
            selected && selected->isSelected() ? MaskList->visualItemRect(selected) : QRect();
        if (rect.isValid() && MaskList->viewport()->rect().contains(rect.center()))
            PlaceButton(Delete, MaskList->viewport(), rect);
        else
            Delete->hide();
        return;
    }
    Delete->hide();
    if (FocusedControl == SourceView) {
        QTreeWidgetItem* selected = SourceView->currentItem();
        const QRect rect =
            selected && selected->isSelected() ? SourceView->visualItemRect(selected) : QRect();
        if (rect.isValid() && SourceView->viewport()->rect().contains(rect.center()))
            PlaceButton(Insert, SourceView->viewport(), rect);
        else
            Insert->hide();
    } else if (FocusedControl == CustomEdit) {
        PlaceButton(Insert, CustomEdit, CustomEdit->rect());
    } else {
        Insert->hide();
    }
}

void TMaskPage::SourceMasksEnter() {
    FocusedControl = SourceView;
    LastControl = mcSource;
    SourceMasksSelectItem();
}

void TMaskPage::SourceMasksSelectItem() {
    if (FocusedControl != SourceView)
        return;
    SelectMatchingMask(CandidateMask());
    UpdateArrows();
}

void TMaskPage::SourceMaskEnter() {
    FocusedControl = CustomEdit;
    LastControl = mcCustom;
    SourceMaskChange();
}

void TMaskPage::SourceMaskChange() {
    if (FocusedControl != CustomEdit)
        return;
    const std::string mask = CandidateMask();
    if (!mask.empty())
        SelectMatchingMask(mask);
    UpdateArrows();
}

void TMaskPage::TargetMasksEnter() {
    FocusedControl = MaskList;
    if (MaskList->count() > 0 && MaskList->selectedItems().isEmpty())
        MaskList->setCurrentRow(0);
    UpdateArrows();
}

void TMaskPage::InsertButtonClick() {
    if (HasSomethingToInsert())
        InsertFrom(LastControl);
}

void TMaskPage::InsertFrom(TMaskControl from) {
    if (!Profile || from == mcNone)
        return;
    LastControl = from;
    const std::string mask = CandidateMask();
    if (mask.empty() || !Profile->AddMask(mask, IsInclude))
        return;
    MaskList->SetMasks(IsInclude ? Profile->Masks.Includes : Profile->Masks.Excludes);
    if (Other)
        Other->MaskList->SetMasks(IsInclude ? Profile->Masks.Excludes : Profile->Masks.Includes);
    SelectMatchingMask(NormalisedMask(mask));
    UpdateArrows();
    Q_EMIT MasksChanged();
}

void TMaskPage::DeleteButtonClick() {
    QListWidgetItem* selected = MaskList->currentItem();
    if (!Profile || !selected || !selected->isSelected())
        return;
    const int row = MaskList->row(selected);
    Profile->DeleteMask(selected->text().toStdString(), IsInclude);
    // Shown as the profile holds them, also should the two have disagreed.
    MaskList->SetMasks(IsInclude ? Profile->Masks.Includes : Profile->Masks.Excludes);
    if (MaskList->count() > 0)
        MaskList->setCurrentRow(std::min(row, MaskList->count() - 1));
    UpdateArrows();
    Q_EMIT MasksChanged();
}

// The defaults replace the page's masks in the profile as well as in the list, so that
// the list, the summary and the saved profile agree. A default mask that the other list
// holds leaves it: a mask is never both included and excluded.
void TMaskPage::DefButtonClick() {
    if (Profile) {
        std::vector<std::string> defaults =
            FromCommaText(IsInclude ? TMasks::DefaultIncludeMasks : TMasks::DefaultExcludeMasks);
        std::vector<std::string>& list =
            IsInclude ? Profile->Masks.Includes : Profile->Masks.Excludes;
        std::vector<std::string>& other =
            IsInclude ? Profile->Masks.Excludes : Profile->Masks.Includes;
        const size_t otherSize = other.size();
        std::erase_if(other,
                      [&defaults](const std::string& mask) { return Listed(defaults, mask); });
        if (list != defaults || other.size() != otherSize) {
            list = std::move(defaults);
            Profile->Modified = true;
        }
        MaskList->SetMasks(list);
        if (Other)
            Other->MaskList->SetMasks(other);
    }
    SourceView->setCurrentItem(SourceView->topLevelItem(0));
    CustomEdit->clear();
    UpdateArrows();
    Q_EMIT MasksChanged();
}

// ---- TMaskPages ----

TMaskPages::TMaskPages(TMaskCaptions captions, QObject* owner)
    : QObject(owner),
      Include(new TMaskPage(true, captions)),
      Exclude(new TMaskPage(false, captions)),
      Active(Include) {
    Include->Other = Exclude;
    Exclude->Other = Include;
    for (TMaskPage* page : {Include.data(), Exclude.data()})
        page->Shown = [this](TMaskPage* shown) { Activate(shown); };
}

TMaskPages::~TMaskPages() {
    for (TMaskPage* page : {Include.data(), Exclude.data()}) {
        if (!page)
            continue;
        page->Shown = nullptr;
        if (!page->parent())
            delete page;
    }
}

bool TMaskPages::BuildMaskLists(const std::function<std::vector<TFileType>()>& source) {
    std::vector<TFileType> types;
    try {
        types = RegisteredListOf(source());
    } catch (const std::exception& e) {
        Interaction().MessageBox({0, e.what(), LoadStr(StrProductName), MB_OK});
        return false;
    }
    for (TMaskPage* page : {Include.data(), Exclude.data()}) {
        page->Types = types;
        FillRegisteredView(page->SourceView, types);
        page->UpdateArrows();
    }
    return true;
}

void TMaskPages::SetProfile(TProfile* profile) {
    Include->Profile = profile;
    Exclude->Profile = profile;
    Refill();
}

void TMaskPages::Refill() {
    TProfile* profile = Include->Profile;
    Include->MaskList->SetMasks(profile ? profile->Masks.Includes : std::vector<std::string>());
    Exclude->MaskList->SetMasks(profile ? profile->Masks.Excludes : std::vector<std::string>());
    Include->UpdateArrows();
    Exclude->UpdateArrows();
}

void TMaskPages::IncludePageShow() {
    Activate(Include);
}

void TMaskPages::ExcludePageShow() {
    Activate(Exclude);
}

void TMaskPages::Activate(TMaskPage* page) {
    Active = page;
    page->UpdateArrows();
}

void TMaskPages::SetCustomKeyFilter(bool on) {
    for (TMaskPage* page : {Include.data(), Exclude.data()}) {
        QLineEdit* edit = page->CustomEdit;
        const QValidator* old = edit->validator();
        edit->setValidator(
            on ? new QRegularExpressionValidator(QRegularExpression(kCustomAllowed), edit)
               : nullptr);
        delete old;
    }
}

std::string TMaskPages::MasksText(bool include) const {
    return ToCommaText((include ? Include : Exclude)->MaskList->Masks());
}

bool TMaskPages::IncludeListEmpty() const {
    return Include->MaskList->count() == 0;
}
