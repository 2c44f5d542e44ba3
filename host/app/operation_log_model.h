// The operation log as a table for the desktop host's "操作日志" page: the
// rows that match the reader's filter, newest first or sorted by a column,
// read a page at a time as the view scrolls down (a log of a million rows
// opens as fast as one of a hundred), and written to a CSV file page by page.
#pragma once

#include "store/audit_pages.h"

#include <QAbstractTableModel>
#include <QString>

#include <vector>

namespace privhost {

class OperationLogModel : public QAbstractTableModel {
    Q_OBJECT

public:
    // Rows read at a time, for the view and for an export.
    static constexpr int kPageRows = 200;
    static constexpr int kExportRows = 2000;

    explicit OperationLogModel(QObject* parent = nullptr);

    // Whether the database keeps a log, as the last Reload found it.
    priv::audit::LogState State() const { return state_; }
    // Why the last read failed; empty when it did not.
    const QString& Error() const { return error_; }

    // Takes `filter` and reads its first page. False (the rows unchanged,
    // the reason in `message`) when a time of the filter cannot be read.
    bool SetFilter(const priv::audit::Filter& filter, QString& message);
    const priv::audit::Filter& Filter() const { return filter_; }
    const priv::audit::PageOrder& Order() const { return order_; }
    // Reads the first page again: the rows written since then appear.
    void Reload();

    // Writes every row of the filter, in the order shown, to `path`: UTF-8
    // with a byte-order mark (spreadsheet programs then read the Chinese),
    // the captions first, lines ending in CR LF. The number of rows written,
    // or -1 with the reason in `message`.
    long long ExportCsv(const QString& path, QString& message) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    // The caption of a column: 序号, 时间, ...
    static QString Caption(priv::audit::Column column);
    // What a cell shows: the event by its Chinese name where it has one.
    static QString CellText(const priv::audit::Row& row, priv::audit::Column column);

signals:
    // After every read: the rows shown changed, or a read failed.
    void RowsRead();

private:
    bool ReadNextPage();

    priv::audit::Filter filter_;
    priv::audit::PageOrder order_;
    priv::audit::LogState state_ = priv::audit::LogState::Present;
    std::vector<priv::audit::Row> rows_;
    bool atEnd_ = true;
    QString error_;
};

} // namespace privhost
