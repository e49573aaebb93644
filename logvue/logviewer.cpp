#include "logviewer.h"

#include <QClipboard>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QScrollBar>
#include <QStringList>
#include <QStyle>
#include <algorithm>

#include "logfile.h"
#include "strtable.h"
#include "ui_logviewer.h"

namespace {

constexpr int StrProductName = 101;

// Room beside a column's text for the cell's margins and the header's sort mark.
constexpr int kColumnPadding = 24;

// A time stamp as wide as any the log writes.
const char* const kWidestTime = "00/00/0000 00:00:00 pm";

struct TKindChoice {
    const char* Caption;
    int Kind;
};
constexpr TKindChoice kKindChoices[] = {
    {"All entries", TLogFilter::kAllKinds}, {"Saved files", lkSaved},
    {"Restored files", lkRestored},         {"Errors", lkError},
    {"Start and stop", lkStartStop},        {"Other entries", lkOther},
};

}  // namespace

TLogViewer::TLogViewer(QWidget* parent)
    : TLogViewer(std::make_unique<TLogReader>(LogFileName(), LogBackupFileName()), parent) {}

TLogViewer::TLogViewer(std::unique_ptr<TLogReader> reader, QWidget* parent)
    : QMainWindow(parent), Ui(std::make_unique<Ui::TLogViewer>()), Reader(std::move(reader)) {
    Ui->setupUi(this);
    setObjectName(QStringLiteral("LogViewer"));
    setWindowTitle(QString::fromStdString(LoadStr(StrProductName)) + QStringLiteral(" Log"));
    CountLabel = new QLabel(this);
    CountLabel->setObjectName(QStringLiteral("CountLabel"));
    CountLabel->setTextFormat(Qt::PlainText);
    FileLabel = new QLabel(
        QStringLiteral("Log file: %1").arg(QString::fromStdString(Reader->LogName())), this);
    FileLabel->setToolTip(AsRichText(QStringLiteral("The log file; the log before it is in \"%1\".")
                                         .arg(QString::fromStdString(Reader->BackupName()))));
    FileLabel->setObjectName(QStringLiteral("FileLabel"));
    FileLabel->setTextFormat(Qt::PlainText);
    FileLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    Ui->StatusBar->addWidget(CountLabel);
    Ui->StatusBar->addPermanentWidget(FileLabel);
    Ui->MessageLabel->hide();

    Filter.setSourceModel(&Model);
    SetUpFilter();
    SetUpList();

    connect(&RefreshTimer, &QTimer::timeout, this, &TLogViewer::RefreshNow);
    RefreshTimer.start(kRefreshMs);
    RefreshNow();
}

TLogViewer::~TLogViewer() = default;

void TLogViewer::SetUpFilter() {
    for (const TKindChoice& choice : kKindChoices)
        Ui->KindFilter->addItem(QString::fromUtf8(choice.Caption), choice.Kind);
    connect(Ui->KindFilter, &QComboBox::currentIndexChanged, this, [this](int index) {
        Filter.SetKind(Ui->KindFilter->itemData(index).toInt());
        ShowCounts();
    });
    connect(Ui->SearchEdit, &QLineEdit::textChanged, this, [this](const QString& text) {
        Filter.SetSearch(text.trimmed());
        ShowCounts();
    });
}

void TLogViewer::SetUpList() {
    QTreeView* list = Ui->EntryList;
    list->setModel(&Filter);
    // Measuring every row for the widths would take long in a full log: the widths come
    // from the widest texts a column can hold.
    QFontMetrics metrics(list->font());
    int kindWidth = 0;
    for (int kind = 0; kind < kLogEntryKinds; ++kind) {
        kindWidth = std::max(kindWidth,
                             metrics.horizontalAdvance(KindName(static_cast<TLogEntryKind>(kind))));
    }
    kindWidth += list->iconSize().isValid() ? list->iconSize().width()
                                            : list->style()->pixelMetric(QStyle::PM_SmallIconSize);
    QHeaderView* header = list->header();
    header->setStretchLastSection(true);
    header->setSectionsMovable(false);
    header->resizeSection(
        colTime, metrics.horizontalAdvance(QString::fromLatin1(kWidestTime)) + kColumnPadding);
    header->resizeSection(colKind, kindWidth + kColumnPadding);

    Ui->CopyAction->setShortcut(QKeySequence::Copy);
    Ui->CopyAction->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    list->addAction(Ui->CopyAction);
    connect(Ui->CopyAction, &QAction::triggered, this, &TLogViewer::CopySelection);
}

void TLogViewer::RefreshNow() {
    ApplyChange(Reader->Refresh());
}

void TLogViewer::ApplyChange(TLogChange change) {
    if (change == lgUnchanged)
        return;
    if (change == lgReplaced) {
        Model.SetEntries(Reader->Entries());
    } else {
        // Entries that the user scrolled to stay in view while new ones come in above
        // them; at the top, the new ones show.
        QTreeView* list = Ui->EntryList;
        bool atTop = list->verticalScrollBar()->value() == 0;
        QPersistentModelIndex first = list->indexAt(QPoint(0, 0));
        Model.AddNewest(Reader->Entries(), Reader->Appended());
        if (!atTop && first.isValid())
            list->scrollTo(first, QAbstractItemView::PositionAtTop);
    }
    ShowMessages();
    ShowCounts();
}

void TLogViewer::ShowMessages() {
    QStringList lines;
    for (const std::string& message : Reader->Messages())
        lines << QString::fromStdString(message);
    Ui->MessageLabel->setText(lines.join(u'\n'));
    Ui->MessageLabel->setVisible(!lines.isEmpty());
}

void TLogViewer::ShowCounts() {
    int total = Model.rowCount();
    int shown = Filter.rowCount();
    QString entries = total == 1 ? QStringLiteral("entry") : QStringLiteral("entries");
    if (shown == total)
        CountLabel->setText(QStringLiteral("%1 %2").arg(total).arg(entries));
    else
        CountLabel->setText(QStringLiteral("%1 of %2 %3 shown").arg(shown).arg(total).arg(entries));
}

void TLogViewer::CopySelection() {
    QModelIndexList rows = Ui->EntryList->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    QStringList lines;
    for (const QModelIndex& index : rows)
        lines << Model.LineAt(Filter.mapToSource(index).row());
    if (!lines.isEmpty())
        QGuiApplication::clipboard()->setText(lines.join(u'\n') + u'\n');
}
