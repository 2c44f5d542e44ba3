// The accessible interfaces of item views: the view with its cells and
// column captions (see accessible_views.h).
#include "accessible_views.h"

#include <QAbstractItemView>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QHeaderView>
#include <QListView>
#include <QPointer>
#include <QStringList>
#include <QTreeView>
#include <QWindow>

#include <utility>
#include <vector>

namespace fennix::detail {
namespace {

// The drop-down box whose list `view` is, or none.
QComboBox* ComboOfList(const QAbstractItemView* view)
{
    for (QWidget* up = view ? view->parentWidget() : nullptr; up; up = up->parentWidget())
        if (auto* combo = qobject_cast<QComboBox*>(up))
            return combo->view() == view ? combo : nullptr;
    return nullptr;
}

// The actions a tree row offers besides Qt's own: opening and closing the
// row's branch, as a double-click or the arrow keys do.
const QString& ExpandAction()
{
    static const QString name = QStringLiteral("expand");
    return name;
}
const QString& CollapseAction()
{
    static const QString name = QStringLiteral("collapse");
    return name;
}

// One row's cell of an item view (or a column caption of its header).
//
// The cells of a tree whose rows open and close tell their depth in their
// description ("第1级" for a top row): Qt 6.4 has no level of its own, and its
// bridge passes neither object attributes nor unknown text attributes. The
// first cell of a row with a branch offers to open or close it. The cells of
// a drop-down box's list report the box's chosen entry as selected while the
// list is closed, as the list itself no longer tracks it then.
class TAccessibleItem : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    // A cell: `index` valid. A column caption: `index` invalid, `headerColumn`
    // its column.
    TAccessibleItem(QAbstractItemView* view, const QModelIndex& index, QAccessible::Role role,
                    int headerColumn = -1)
        : view_(view), index_(index), role_(role), headerColumn_(headerColumn)
    {
    }

    bool IsHeader() const { return headerColumn_ >= 0; }
    QModelIndex Index() const { return index_; }
    int HeaderColumn() const { return headerColumn_; }

    bool isValid() const override
    {
        return view_ && view_->model() &&
               (IsHeader() ? headerColumn_ < view_->model()->columnCount() : index_.isValid());
    }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override
    {
        return view_ && view_->window() ? view_->window()->windowHandle() : nullptr;
    }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(view_); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }

    QString text(QAccessible::Text t) const override
    {
        if (!isValid())
            return {};
        if (IsHeader()) {
            if (t != QAccessible::Name)
                return {};
            // A column whose caption is not written (the tick column) still
            // tells a reader what it holds.
            const QString accessible =
                view_->model()->headerData(headerColumn_, Qt::Horizontal, Qt::AccessibleTextRole).toString();
            return accessible.isEmpty()
                       ? view_->model()->headerData(headerColumn_, Qt::Horizontal, Qt::DisplayRole).toString()
                       : accessible;
        }
        switch (t) {
        case QAccessible::Name: {
            const QString accessible = index_.data(Qt::AccessibleTextRole).toString();
            return accessible.isEmpty() ? index_.data(Qt::DisplayRole).toString() : accessible;
        }
        case QAccessible::Description: {
            QString own = index_.data(Qt::AccessibleDescriptionRole).toString();
            if (own.isEmpty())
                own = index_.data(Qt::ToolTipRole).toString();
            if (!TellsLevel())
                return own;
            const QString level = QStringLiteral("第%1级").arg(Level());
            return own.isEmpty() ? level : level + QStringLiteral("，") + own;
        }
        default:
            return {};
        }
    }
    void setText(QAccessible::Text, const QString&) override {}

    QRect rect() const override
    {
        if (!isValid())
            return {};
        if (IsHeader()) {
            const auto* tree = qobject_cast<const QTreeView*>(view_.data());
            if (!tree)
                return {};
            const QHeaderView* header = tree->header();
            return QRect(header->mapToGlobal(QPoint(header->sectionViewportPosition(headerColumn_), 0)),
                         QSize(header->sectionSize(headerColumn_), header->height()));
        }
        QRect cell = view_->visualRect(index_);
        cell.translate(view_->viewport()->mapToGlobal(QPoint(0, 0)));
        return cell;
    }

    QAccessible::Role role() const override { return IsHeader() ? QAccessible::ColumnHeader : role_; }

    QAccessible::State state() const override
    {
        QAccessible::State state;
        if (!isValid()) {
            state.invalid = true;
            return state;
        }
        if (!view_->isEnabled())
            state.disabled = true;
        if (IsHeader()) {
            const auto* tree = qobject_cast<const QTreeView*>(view_.data());
            state.invisible = !tree || tree->isHeaderHidden();
            return state;
        }
        const Qt::ItemFlags flags = index_.flags();
        if (!(flags & Qt::ItemIsEnabled))
            state.disabled = true;
        if (!view_->viewport()->rect().intersects(view_->visualRect(index_)))
            state.invisible = true;
        if (flags & Qt::ItemIsSelectable) {
            state.selectable = true;
            state.focusable = true;
            state.multiSelectable = view_->selectionMode() == QAbstractItemView::MultiSelection;
            state.extSelectable = view_->selectionMode() == QAbstractItemView::ExtendedSelection;
        }
        if (const QItemSelectionModel* selection = view_->selectionModel()) {
            state.selected = selection->isSelected(index_);
            state.focused = selection->currentIndex() == index_;
        }
        if (const QComboBox* combo = ComboOfList(view_); combo && !view_->isVisible())
            state.selected =
                index_.row() == combo->currentIndex() && index_.parent() == combo->rootModelIndex();
        const QVariant check = index_.data(Qt::CheckStateRole);
        if ((flags & Qt::ItemIsUserCheckable) && check.isValid()) {
            state.checkable = true;
            const auto checkState = static_cast<Qt::CheckState>(check.toInt());
            state.checked = checkState == Qt::Checked;
            state.checkStateMixed = checkState == Qt::PartiallyChecked;
        }
        if (const auto* tree = qobject_cast<const QTreeView*>(view_.data()); tree && index_.column() == 0) {
            state.expandable =
                tree->model()->hasChildren(index_) && tree->itemsExpandable() && (flags & Qt::ItemIsEnabled);
            state.expanded = tree->isExpanded(index_);
        }
        return state;
    }

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this)
                                                    : nullptr;
    }

    // A disabled item offers nothing to do, as it takes no clicks. Opening
    // or closing a branch comes last, so that the other actions keep their
    // places.
    QStringList actionNames() const override
    {
        if (!isValid() || IsHeader() || !(index_.flags() & Qt::ItemIsEnabled) || !view_->isEnabled())
            return {};
        QStringList names{pressAction(), setFocusAction()};
        const QAccessible::State current = state();
        if (current.checkable)
            names << toggleAction();
        if (current.expandable)
            names << (current.expanded ? CollapseAction() : ExpandAction());
        return names;
    }

    QString localizedActionName(const QString& name) const override
    {
        if (name == ExpandAction())
            return QStringLiteral("展开");
        if (name == CollapseAction())
            return QStringLiteral("折叠");
        return QAccessibleActionInterface::localizedActionName(name);
    }
    QString localizedActionDescription(const QString& name) const override
    {
        if (name == ExpandAction())
            return QStringLiteral("展开下级");
        if (name == CollapseAction())
            return QStringLiteral("折叠下级");
        return QAccessibleActionInterface::localizedActionDescription(name);
    }

    void doAction(const QString& name) override
    {
        if (!actionNames().contains(name))
            return;
        QAbstractItemView* view = view_;
        const QModelIndex index = index_;
        if (name == setFocusAction() || name == pressAction()) {
            view->setCurrentIndex(index);
            view->scrollTo(index);
        }
        if (name == pressAction())
            emit view->activated(index); // what Enter or a double-click does
        if (name == toggleAction()) {
            const bool checked = index.data(Qt::CheckStateRole).toInt() == Qt::Checked;
            view->model()->setData(index, checked ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
        }
        if (name == ExpandAction() || name == CollapseAction())
            if (auto* tree = qobject_cast<QTreeView*>(view))
                tree->setExpanded(index, name == ExpandAction());
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    // A flat list shown in a tree view (its rows never open) has no levels.
    bool TellsLevel() const
    {
        const auto* tree = qobject_cast<const QTreeView*>(view_.data());
        return tree && !IsHeader() && (tree->itemsExpandable() || index_.parent().isValid());
    }
    // 1 for a row at the top of the view, 2 for a row beneath one, ...
    int Level() const
    {
        int level = 1;
        const QModelIndex root = view_ ? view_->rootIndex() : QModelIndex();
        for (QModelIndex up = index_.parent(); up.isValid() && up != root; up = up.parent())
            ++level;
        return level;
    }

    QPointer<QAbstractItemView> view_;
    QPersistentModelIndex index_;
    QAccessible::Role role_;
    int headerColumn_;
};

// A tree or list view. Its children are laid out as Qt's own item views lay
// them out (so that the focus events the views send name the right child):
// the column captions of a tree's header first (hidden or not), then the
// cells of every row the view shows, row by row; after them the controls a
// window placed on the view itself (a check-all box over the header).
class TAccessibleItemView : public QAccessibleWidget {
public:
    TAccessibleItemView(QAbstractItemView* view, QAccessible::Role role) : QAccessibleWidget(view, role) {}

    ~TAccessibleItemView() override
    {
        for (const auto& entry : cells_)
            QAccessible::deleteAccessibleInterface(entry.second);
    }

    int childCount() const override { return ItemCount() + static_cast<int>(PlacedControls().size()); }

    QAccessibleInterface* child(int index) const override
    {
        if (index < 0)
            return nullptr;
        if (const int items = ItemCount(); index >= items) {
            const std::vector<QWidget*> placed = PlacedControls();
            const auto at = static_cast<std::size_t>(index - items);
            return at < placed.size() ? QAccessible::queryAccessibleInterface(placed[at]) : nullptr;
        }
        if (!HasModel())
            return nullptr;
        const int columns = Columns();
        if (columns <= 0)
            return nullptr;
        if (index < HeaderRows() * columns)
            return Header(index);
        const int row = index / columns - HeaderRows();
        const std::vector<QModelIndex> rows = VisibleRows(row + 1);
        if (row >= static_cast<int>(rows.size()))
            return nullptr;
        const QModelIndex first = rows[static_cast<std::size_t>(row)];
        return Cell(first.sibling(first.row(), ModelColumn(index % columns)));
    }

    int indexOfChild(const QAccessibleInterface* child) const override
    {
        if (child && child->object()) {
            const std::vector<QWidget*> placed = PlacedControls();
            for (std::size_t at = 0; at < placed.size(); ++at)
                if (placed[at] == child->object())
                    return ItemCount() + static_cast<int>(at);
            return -1;
        }
        const auto* item = dynamic_cast<const TAccessibleItem*>(child);
        if (!item || !item->isValid() || item->parent() != this)
            return -1;
        if (item->IsHeader())
            return item->HeaderColumn();
        const QModelIndex index = item->Index();
        const QModelIndex first = index.sibling(index.row(), ModelColumn(0));
        const std::vector<QModelIndex> rows = VisibleRows();
        for (std::size_t row = 0; row < rows.size(); ++row)
            if (rows[row] == first)
                return (HeaderRows() + static_cast<int>(row)) * Columns() + ViewColumn(index.column());
        return -1;
    }

    QAccessibleInterface* childAt(int x, int y) const override
    {
        if (!HasModel())
            return nullptr;
        const QPoint point = View()->viewport()->mapFromGlobal(QPoint(x, y));
        const QModelIndex index = View()->indexAt(point);
        return index.isValid() ? Cell(index) : nullptr;
    }

    QAccessibleInterface* focusChild() const override
    {
        const QModelIndex current = HasModel() ? View()->currentIndex() : QModelIndex();
        return current.isValid() ? Cell(current) : nullptr;
    }

#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
    // The object name the forms and the tests use.
    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Identifier && !View()->objectName().isEmpty())
            return View()->objectName();
        return QAccessibleWidget::text(t);
    }
#endif

private:
    QAbstractItemView* View() const
    {
        return static_cast<QAbstractItemView*>(widget());
    }

    int ItemCount() const
    {
        if (!HasModel())
            return 0;
        return (HeaderRows() + static_cast<int>(VisibleRows().size())) * Columns();
    }

    // The controls a window put on the view, in the order of their creation:
    // the view's own children but its parts (viewport, header, scroll bars).
    std::vector<QWidget*> PlacedControls() const
    {
        std::vector<QWidget*> placed;
        const QAbstractItemView* view = View();
        const QTreeView* tree = Tree();
        for (QObject* child : view->children()) {
            auto* control = qobject_cast<QWidget*>(child);
            if (!control || control->isWindow() || control == view->viewport() ||
                (tree && control == tree->header()) || control->objectName().isEmpty() ||
                control->objectName().startsWith(QLatin1String("qt_")))
                continue;
            placed.push_back(control);
        }
        return placed;
    }
    const QTreeView* Tree() const
    {
        return qobject_cast<const QTreeView*>(View());
    }
    bool HasModel() const
    {
        return View() && View()->model();
    }

    int Columns() const
    {
        if (Tree())
            return View()->model()->columnCount(View()->rootIndex());
        return 1;
    }
    // A tree counts its header's row even when the header is hidden: the
    // focus events of Qt's tree view number the cells that way.
    int HeaderRows() const
    {
        const QTreeView* tree = Tree();
        return tree && tree->header() ? 1 : 0;
    }
    int ModelColumn(int viewColumn) const
    {
        if (const auto* list = qobject_cast<const QListView*>(View()))
            return list->modelColumn();
        return viewColumn;
    }
    int ViewColumn(int modelColumn) const
    {
        return Tree() ? modelColumn : 0;
    }

    // The rows the view shows, in order (the first column's index of each);
    // at most `limit` of them when it is not negative.
    std::vector<QModelIndex> VisibleRows(int limit = -1) const
    {
        std::vector<QModelIndex> rows;
        const QAbstractItemModel* model = View()->model();
        const QModelIndex root = View()->rootIndex();
        if (const QTreeView* tree = Tree()) {
            QModelIndex index = model->index(0, 0, root);
            while (index.isValid() && tree->isRowHidden(index.row(), index.parent()))
                index = tree->indexBelow(index);
            for (; index.isValid() && (limit < 0 || static_cast<int>(rows.size()) < limit);
                 index = tree->indexBelow(index))
                rows.push_back(index);
            return rows;
        }
        const auto* list = qobject_cast<const QListView*>(View());
        const int column = ModelColumn(0);
        for (int row = 0; row < model->rowCount(root) && (limit < 0 || static_cast<int>(rows.size()) < limit);
             ++row)
            if (!list || !list->isRowHidden(row))
                rows.push_back(model->index(row, column, root));
        return rows;
    }

    QAccessibleInterface* Cell(const QModelIndex& index) const
    {
        PurgeStaleCells();
        for (const auto& entry : cells_)
            if (entry.first == index)
                return QAccessible::accessibleInterface(entry.second);
        auto* cell =
            new TAccessibleItem(View(), index, Tree() ? QAccessible::TreeItem : QAccessible::ListItem);
        const QAccessible::Id id = QAccessible::registerAccessibleInterface(cell);
        cells_.emplace_back(QPersistentModelIndex(index), id);
        return cell;
    }

    QAccessibleInterface* Header(int column) const
    {
        PurgeStaleCells();
        for (const auto& entry : headers_)
            if (entry.first == column)
                return QAccessible::accessibleInterface(entry.second);
        auto* header = new TAccessibleItem(View(), QModelIndex(), QAccessible::ColumnHeader, column);
        const QAccessible::Id id = QAccessible::registerAccessibleInterface(header);
        headers_.emplace_back(column, id);
        cells_.emplace_back(QPersistentModelIndex(), id);
        return header;
    }

    // Cells whose rows were removed (or whose model was reset) answer no more.
    void PurgeStaleCells() const
    {
        for (auto it = cells_.begin(); it != cells_.end();) {
            QAccessibleInterface* cell = QAccessible::accessibleInterface(it->second);
            if (cell && cell->isValid()) {
                ++it;
                continue;
            }
            for (auto header = headers_.begin(); header != headers_.end(); ++header)
                if (header->second == it->second) {
                    headers_.erase(header);
                    break;
                }
            if (cell)
                QAccessible::deleteAccessibleInterface(it->second);
            it = cells_.erase(it);
        }
    }

    // Every interface this view made (cells and captions), by model index.
    mutable std::vector<std::pair<QPersistentModelIndex, QAccessible::Id>> cells_;
    mutable std::vector<std::pair<int, QAccessible::Id>> headers_;
};

} // namespace

QAccessibleInterface* NewAccessibleItemView(QAbstractItemView* view, QAccessible::Role role)
{
    return new TAccessibleItemView(view, role);
}

} // namespace fennix::detail
