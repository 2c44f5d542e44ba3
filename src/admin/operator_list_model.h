// The model behind the operator list of the operator window: a thin view of
// the window's array of list entries (the six fields of each operator that
// the list shows). The array keeps the order in which
// the rows were read; the list shows them sorted by operator code. Nothing is
// copied per row into Qt, so a list of a hundred thousand operators costs one
// sort and stays responsive.
#pragma once

#include "store/records.h"

#include <QAbstractItemModel>

#include <vector>

namespace priv {

class TOperatorListModel final : public QAbstractItemModel {
    Q_OBJECT
public:
    enum Column : int {
        ColumnUserId = 0,
        ColumnUserName = 1,
        ColumnPost = 2,
        ColumnDepartment = 3,
        ColumnCount
    };

    explicit TOperatorListModel(QObject* parent = nullptr);

    // Replaces every row.
    void SetOperators(TOperatorListEntries operators);
    void Clear();

    // The records in the order they were read.
    const TOperatorListEntries& Operators() const { return operators_; }
    // The record behind a row of the list; null for an invalid index.
    const OperatorListEntry* RecordAt(const QModelIndex& index) const;
    // The list row that shows the operator with this code; invalid when none.
    QModelIndex IndexOfCode(const std::string& code) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    TOperatorListEntries operators_;
    // Positions in operators_, in the order the list shows them.
    std::vector<int> order_;
};

} // namespace priv
