#include "logmodel.h"

#include <QApplication>
#include <QPixmap>
#include <QStyle>

namespace {

// How much of an entry's text its tool tip shows.
constexpr int kToolTipChars = 1000;

}  // namespace

QString KindName(TLogEntryKind kind) {
    switch (kind) {
        case lkSaved:
            return QStringLiteral("Saved");
        case lkRestored:
            return QStringLiteral("Restored");
        case lkError:
            return QStringLiteral("Error");
        case lkStartStop:
            return QStringLiteral("Start/stop");
        case lkOther:
            break;
    }
    return QStringLiteral("Other");
}

QString AsRichText(const QString& text) {
    return QStringLiteral("<p style=\"white-space:pre-wrap\">") + text.toHtmlEscaped() +
           QStringLiteral("</p>");
}

TLogModel::TLogModel(QObject* parent)
    : QAbstractTableModel(parent),
      ErrorIcon(QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning)) {
    // The other kinds get an empty picture of the same size, so that every kind's name
    // begins at the same place.
    QPixmap blank(ErrorIcon.availableSizes().value(0, QSize(16, 16)));
    blank.fill(Qt::transparent);
    NoIcon = QIcon(blank);
}

int TLogModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(Rows.size());
}

int TLogModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kLogColumns;
}

QVariant TLogModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const TRow& row = RowAt(index.row());
    switch (role) {
        case Qt::DisplayRole:
            if (index.column() == colTime)
                return row.Time;
            if (index.column() == colKind)
                return KindName(row.Kind);
            return row.Text;
        case Qt::DecorationRole:
            if (index.column() == colKind)
                return row.Kind == lkError ? ErrorIcon : NoIcon;
            return {};
        case Qt::ToolTipRole:
            return ToolTip(row, index.column());
        case KindRole:
            return static_cast<int>(row.Kind);
        default:
            return {};
    }
}

QVariant TLogModel::ToolTip(const TRow& row, int column) const {
    if (column == colTime) {
        if (row.Damaged)
            return QStringLiteral("This line of the log file is not an entry: it has no time.");
        if (row.FromBackup)
            return QStringLiteral("From the previous log file");
        return {};
    }
    if (column != colText)
        return {};
    QString tip = row.Text.size() > kToolTipChars ? row.Text.left(kToolTipChars) + u'…' : row.Text;
    if (row.Shortened)
        tip += QStringLiteral("\n(Only the beginning of this very long line is shown.)");
    return AsRichText(tip);
}

QVariant TLogModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
        case colTime:
            return QStringLiteral("Time");
        case colKind:
            return QStringLiteral("Kind");
        case colText:
            return QStringLiteral("Entry");
        default:
            return {};
    }
}

TLogModel::TRow TLogModel::RowOf(const TLogEntry& entry) {
    return {QString::fromStdString(entry.Time),
            QString::fromUtf8(entry.Text.data(), static_cast<qsizetype>(entry.Text.size())),
            entry.Kind,
            entry.Damaged,
            entry.Shortened,
            entry.FromBackup};
}

void TLogModel::SetEntries(const std::vector<TLogEntry>& entries) {
    beginResetModel();
    Rows.clear();
    Rows.reserve(entries.size());
    for (const TLogEntry& entry : entries)
        Rows.push_back(RowOf(entry));
    endResetModel();
}

void TLogModel::AddNewest(const std::vector<TLogEntry>& entries, size_t count) {
    if (count == 0 || count > entries.size())
        return;
    beginInsertRows(QModelIndex(), 0, static_cast<int>(count) - 1);
    for (size_t i = entries.size() - count; i < entries.size(); ++i)
        Rows.push_back(RowOf(entries[i]));
    endInsertRows();
}

QString TLogModel::LineAt(int row) const {
    const TRow& entry = RowAt(row);
    if (entry.Damaged)
        return entry.Text;
    return entry.Time + QStringLiteral(". ") + entry.Text;
}

TLogFilter::TLogFilter(QObject* parent) : QSortFilterProxyModel(parent) {}

void TLogFilter::SetKind(int kind) {
    if (kind == Kind)
        return;
    Kind = kind;
    invalidateFilter();
}

void TLogFilter::SetSearch(const QString& text) {
    if (text == Search)
        return;
    Search = text;
    invalidateFilter();
}

bool TLogFilter::filterAcceptsRow(int sourceRow, const QModelIndex&) const {
    const auto* model = static_cast<const TLogModel*>(sourceModel());
    if (Kind != kAllKinds && model->KindAt(sourceRow) != Kind)
        return false;
    if (Search.isEmpty())
        return true;
    return model->TextAt(sourceRow).contains(Search, Qt::CaseInsensitive) ||
           model->TimeAt(sourceRow).contains(Search, Qt::CaseInsensitive);
}
