#include "admin/operator_list_model.h"

#include "boundary/text.h"
#include "ui/qt_text.h"

#include <algorithm>
#include <numeric>

namespace priv {
namespace {

// Codes are letters, digits and a few signs; "Admin" and "admin" sort
// together, and among equal codes the order of reading stands. The keys are
// lowered once, not in every comparison of the sort.
std::vector<std::string> SortKeys(const TOperatorListEntries& operators)
{
    std::vector<std::string> keys;
    keys.reserve(operators.size());
    for (const OperatorListEntry& info : operators) {
        std::string key = info.Code;
        for (char& c : key)
            c = LowerAscii(c);
        keys.push_back(std::move(key));
    }
    return keys;
}

} // namespace

TOperatorListModel::TOperatorListModel(QObject* parent) : QAbstractItemModel(parent) {}

void TOperatorListModel::SetOperators(TOperatorListEntries operators)
{
    beginResetModel();
    operators_ = std::move(operators);
    order_.resize(operators_.size());
    std::iota(order_.begin(), order_.end(), 0);
    const std::vector<std::string> keys = SortKeys(operators_);
    std::stable_sort(order_.begin(), order_.end(), [&keys](int a, int b) { return keys[a] < keys[b]; });
    endResetModel();
}

void TOperatorListModel::Clear()
{
    SetOperators({});
}

const OperatorListEntry* TOperatorListModel::RecordAt(const QModelIndex& index) const
{
    if (!index.isValid() || index.model() != this || index.row() < 0 ||
        index.row() >= static_cast<int>(order_.size()))
        return nullptr;
    return &operators_[order_[index.row()]];
}

QModelIndex TOperatorListModel::IndexOfCode(const std::string& code) const
{
    for (std::size_t row = 0; row < order_.size(); ++row)
        if (operators_[order_[row]].Code == code)
            return index(static_cast<int>(row), 0);
    return {};
}

QModelIndex TOperatorListModel::index(int row, int column, const QModelIndex& parent) const
{
    if (parent.isValid() || row < 0 || row >= static_cast<int>(order_.size()) || column < 0 ||
        column >= ColumnCount)
        return {};
    return createIndex(row, column);
}

QModelIndex TOperatorListModel::parent(const QModelIndex& /*child*/) const
{
    return {};
}

int TOperatorListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(order_.size());
}

int TOperatorListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TOperatorListModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole && role != Qt::ToolTipRole)
        return {};
    const OperatorListEntry* record = RecordAt(index);
    if (!record)
        return {};
    switch (index.column()) {
    case ColumnUserId:
        return FromUtf8(record->Code);
    case ColumnUserName:
        return FromUtf8(record->Name);
    case ColumnPost:
        return FromUtf8(record->PostName);
    case ColumnDepartment:
        return FromUtf8(record->DepartmentName);
    default:
        return {};
    }
}

QVariant TOperatorListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || (role != Qt::DisplayRole && role != Qt::AccessibleTextRole))
        return {};
    switch (section) {
    case ColumnUserId:
        return QStringLiteral("用户代码");
    case ColumnUserName:
        return QStringLiteral("用户名称");
    case ColumnPost:
        return QStringLiteral("岗位");
    case ColumnDepartment:
        return QStringLiteral("部门");
    default:
        return {};
    }
}

Qt::ItemFlags TOperatorListModel::flags(const QModelIndex& index) const
{
    // Read-only rows, selected whole.
    if (!RecordAt(index))
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

} // namespace priv
