#include "assign/company_list_model.h"

#include "ui/window_utils.h"

#include <QWidget>

namespace priv {

TCompanyListModel::TCompanyListModel(const std::vector<TCompanyRecord>& records, QWidget* view)
    : QAbstractTableModel(view), records_(records), view_(view)
{
}

void TCompanyListModel::ShowRowsAfresh()
{
    beginResetModel();
    rows_ = static_cast<int>(records_.size());
    endResetModel();
}

void TCompanyListModel::RowTickChanged(int row)
{
    if (row < 0 || row >= rows_)
        return;
    const QModelIndex at = index(row, 0);
    emit dataChanged(at, at, {Qt::CheckStateRole});
}

int TCompanyListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : rows_;
}

int TCompanyListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant TCompanyListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rows_ || index.row() >= static_cast<int>(records_.size()))
        return {};
    const TCompanyRecord& record = records_[static_cast<std::size_t>(index.row())];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        if (index.column() == 1)
            return QString::fromStdString(record.QYSBH);
        if (index.column() == 2)
            return QString::fromStdString(record.QYMC);
        // The tick shows no text; a reader names it after the company it
        // grants (by its number when the company has no name).
        if (role == Qt::AccessibleTextRole)
            return QString::fromStdString(record.QYMC.empty() ? record.QYSBH : record.QYMC);
        return {};
    case Qt::CheckStateRole:
        if (index.column() == 0)
            return record.Granted ? Qt::Checked : Qt::Unchecked;
        return {};
    case Qt::TextAlignmentRole:
        return index.column() == 0 ? int(Qt::AlignRight | Qt::AlignVCenter)
                                   : int(Qt::AlignLeft | Qt::AlignVCenter);
    default:
        return {};
    }
}

bool TCompanyListModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || index.column() != 0 || role != Qt::CheckStateRole || index.row() >= rows_)
        return false;
    if (!checkHandling_ || !onChecked_)
        return false;
    const bool ticked = value.toInt() == Qt::Checked;
    const int row = index.row();
    RunGuarded([&] { onChecked_(row, ticked); });
    return true;
}

Qt::ItemFlags TCompanyListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    // Rows of a disabled list report themselves disabled.
    Qt::ItemFlags flags = Qt::ItemIsSelectable;
    if (!view_ || view_->isEnabled())
        flags |= Qt::ItemIsEnabled;
    if (index.column() == 0)
        flags |= Qt::ItemIsUserCheckable;
    return flags;
}

QVariant TCompanyListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal)
        return {};
    if (role == Qt::DisplayRole) {
        if (section == 1)
            return codeCaption_;
        if (section == 2)
            return QStringLiteral("单位名称");
        return QString();
    }
    // The tick column has no caption on screen (the check-all box stands
    // there); a reader hears what a tick means.
    if (role == Qt::AccessibleTextRole && section == 0)
        return QStringLiteral("授权");
    if (role == Qt::TextAlignmentRole)
        return section == 0 ? int(Qt::AlignRight | Qt::AlignVCenter) : int(Qt::AlignLeft | Qt::AlignVCenter);
    return {};
}

} // namespace priv
