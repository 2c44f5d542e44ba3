#include "assign/mvc_item_model.h"

#include "assign/grid_views.h"
#include "ui/window_utils.h"

#include <QTreeView>

namespace priv {

TMVCItemModel::TMVCItemModel(QTreeView* view) : QAbstractItemModel(view), view_(view) {}

TMVCItemModel::~TMVCItemModel()
{
    if (tree_ && tree_->View() == this)
        tree_->BindView(nullptr);
}

TMVCNode* TMVCItemModel::NodeOf(const QModelIndex& index)
{
    return index.isValid() ? static_cast<TMVCNode*>(index.internalPointer()) : nullptr;
}

QModelIndex TMVCItemModel::IndexOf(const TMVCNode* node) const
{
    if (!tree_ || !node || node->Tree() != tree_ || !node->Parent())
        return {};
    const int row = node->Index();
    if (row < 0 || (node->Parent() == &tree_->Root() && row >= topLevelRows_))
        return {};
    return createIndex(row, 0, const_cast<TMVCNode*>(node));
}

QModelIndex TMVCItemModel::index(int row, int column, const QModelIndex& parent) const
{
    if (!tree_ || column != 0 || row < 0 || row >= rowCount(parent))
        return {};
    TMVCNode* parentNode = NodeOf(parent);
    if (parent.isValid() && !parentNode)
        return {};
    // Making the row's index is the row's initialisation: the node learns
    // that it has a row.
    TMVCNode* node = tree_->InitRow(parentNode, row, const_cast<TMVCItemModel*>(this));
    return createIndex(row, column, node);
}

QModelIndex TMVCItemModel::parent(const QModelIndex& child) const
{
    TMVCNode* node = NodeOf(child);
    if (!tree_ || !node)
        return {};
    TMVCNode* above = node->Parent();
    if (!above || above == &tree_->Root())
        return {};
    return createIndex(above->Index(), 0, above);
}

int TMVCItemModel::rowCount(const QModelIndex& parent) const
{
    if (!tree_)
        return 0;
    if (!parent.isValid())
        return topLevelRows_;
    if (parent.column() != 0)
        return 0;
    const TMVCNode* node = NodeOf(parent);
    return node ? node->ChildCount() : 0;
}

int TMVCItemModel::columnCount(const QModelIndex&) const
{
    return 1;
}

bool TMVCItemModel::hasChildren(const QModelIndex& parent) const
{
    return rowCount(parent) > 0;
}

QVariant TMVCItemModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    const TMVCNode* node = NodeOf(index);
    switch (role) {
    case Qt::DisplayRole:
        return QString::fromStdString(TMVCTree::RowText(node));
    case Qt::CheckStateRole:
        if (!node)
            return {};
        return node->IsChecked() ? Qt::Checked : Qt::Unchecked;
    case Qt::ForegroundRole:
        return QColor(Qt::black);
    case Qt::AccessibleTextRole:
        return QString::fromStdString(TMVCTree::RowText(node));
    default:
        return {};
    }
}

bool TMVCItemModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    TMVCNode* node = NodeOf(index);
    if (!tree_ || !node || role != Qt::CheckStateRole)
        return false;
    const TCheckState state = value.toInt() == Qt::Checked ? TCheckState::Checked : TCheckState::Unchecked;
    RunGuarded([&] { tree_->UserChecked(node, state); });
    return true;
}

Qt::ItemFlags TMVCItemModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    // Rows of a disabled list report themselves disabled.
    const Qt::ItemFlags enabled = view_->isEnabled() ? Qt::ItemIsEnabled : Qt::NoItemFlags;
    if (!NodeOf(index))
        return enabled;
    return enabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable;
}

QVariant TMVCItemModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && section == 0 && role == Qt::DisplayRole)
        return QStringLiteral("系统名称");
    return {};
}

void TMVCItemModel::HookTree(TMVCTree& tree)
{
    beginResetModel();
    tree_ = &tree;
    topLevelRows_ = 0;
    endResetModel();
    if (view_->model() != this)
        view_->setModel(this);
    ApplyLook();
}

void TMVCItemModel::UnhookTree(TMVCTree& tree)
{
    if (tree_ != &tree)
        return;
    beginResetModel();
    tree_ = nullptr;
    topLevelRows_ = 0;
    endResetModel();
}

void TMVCItemModel::ClearRows(int topLevelRows)
{
    beginResetModel();
    if (tree_)
        tree_->ForgetRows();
    topLevelRows_ = tree_ ? std::max(0, topLevelRows) : 0;
    endResetModel();
}

void TMVCItemModel::ShowRowCheckState(TMVCNode& node)
{
    const QModelIndex at = IndexOf(&node);
    if (at.isValid())
        emit dataChanged(at, at, {Qt::CheckStateRole});
}

void TMVCItemModel::BeginAddChildRow(TMVCNode& parent)
{
    const QModelIndex at = IndexOf(&parent);
    beginInsertRows(at, parent.ChildCount(), parent.ChildCount());
}

void TMVCItemModel::EndAddChildRow(TMVCNode&)
{
    endInsertRows();
}

void TMVCItemModel::BeginRemoveChildRow(TMVCNode& parent, int index)
{
    beginRemoveRows(IndexOf(&parent), index, index);
}

void TMVCItemModel::EndRemoveChildRow(TMVCNode&)
{
    endRemoveRows();
}

void TMVCItemModel::Refresh()
{
    view_->viewport()->update();
}

void TMVCItemModel::ApplyLook()
{
    if (lookApplied_)
        return;
    lookApplied_ = true;
    view_->setFrameShape(QFrame::NoFrame);
    // Set in full, so that nothing of the surrounding bold group box font
    // is inherited.
    QFont font(QStringLiteral("宋体"), 9);
    font.setBold(false);
    font.setItalic(false);
    view_->setFont(font);
    view_->setUniformRowHeights(true);
    view_->setItemDelegate(new TGridRowDelegate(kRowHeight, view_));
    view_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    view_->setTextElideMode(Qt::ElideRight);
    auto* header = new THeaderBand(Qt::Horizontal, view_);
    header->setStretchLastSection(true);
    view_->setHeader(header);
    view_->setHeaderHidden(false);
    view_->setSelectionMode(QAbstractItemView::SingleSelection);
    view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    QPalette palette = view_->palette();
    palette.setColor(QPalette::Text, Qt::black);
    view_->setPalette(palette);
    connect(view_, &QAbstractItemView::clicked, this, [this](const QModelIndex& index) { OnClicked(index); });
}

void TMVCItemModel::OnClicked(const QModelIndex& index)
{
    // The row shows the node's state, so the node keeps it: nothing changes
    // here unless the row and the node ever part.
    TMVCNode* node = NodeOf(index);
    if (tree_ && node)
        RunGuarded([&] {
            const bool rowChecked = data(index, Qt::CheckStateRole).toInt() == Qt::Checked;
            tree_->RowClicked(node, rowChecked ? TCheckState::Checked : TCheckState::Unchecked);
        });
}

} // namespace priv
