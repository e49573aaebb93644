#pragma once

#include <QAbstractTableModel>
#include <QIcon>
#include <QSortFilterProxyModel>
#include <QString>
#include <vector>

#include "logentry.h"

// The columns of the entry list.
enum TLogColumn : int { colTime, colKind, colText, kLogColumns };

// What the list calls each kind of entry ("Saved", "Error", ...).
QString KindName(TLogEntryKind kind);

// text for a tool tip, which would take a text that looks like markup for markup: a file
// name such as "<img src=...>" shows as it is written.
QString AsRichText(const QString& text);

// The entries of the log, newest first.
class TLogModel : public QAbstractTableModel {
    Q_OBJECT

  public:
    // The kind of an entry (an int of TLogEntryKind) in every column.
    static constexpr int KindRole = Qt::UserRole + 1;

    explicit TLogModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // Shows entries, given oldest first as the log holds them.
    void SetEntries(const std::vector<TLogEntry>& entries);
    // Adds the last count of entries, which came after those shown, at the top.
    void AddNewest(const std::vector<TLogEntry>& entries, size_t count);

    TLogEntryKind KindAt(int row) const { return RowAt(row).Kind; }
    const QString& TimeAt(int row) const { return RowAt(row).Time; }
    const QString& TextAt(int row) const { return RowAt(row).Text; }
    // The entry of row as the log writes it: time stamp and text.
    QString LineAt(int row) const;

  private:
    struct TRow {
        QString Time;
        QString Text;
        TLogEntryKind Kind;
        bool Damaged;
        bool Shortened;
        bool FromBackup;
    };
    static TRow RowOf(const TLogEntry& entry);
    // Rows are kept oldest first, so that new entries are added at the end.
    const TRow& RowAt(int row) const { return Rows[Rows.size() - 1 - static_cast<size_t>(row)]; }
    QVariant ToolTip(const TRow& row, int column) const;

    std::vector<TRow> Rows;
    QIcon ErrorIcon;
    QIcon NoIcon;
};

// The entries of one kind, or of every kind, whose time or text holds a search text.
class TLogFilter : public QSortFilterProxyModel {
    Q_OBJECT

  public:
    static constexpr int kAllKinds = -1;

    explicit TLogFilter(QObject* parent = nullptr);

    // kAllKinds or a TLogEntryKind.
    void SetKind(int kind);
    // Case does not count; empty shows every entry.
    void SetSearch(const QString& text);

  protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

  private:
    int Kind = kAllKinds;
    QString Search;
};
