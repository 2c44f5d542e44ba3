// Reads a window the way a screen reader or an automation tool reads it over
// the accessibility bus: through the QAccessible interfaces Qt hands the
// bridge, starting at the window and walking its children (no bus needed).
//
//     const auto problems = priv::test::AccessibilityProblems(window);
//     EXPECT_TRUE(problems.empty()) << priv::test::Joined(problems);
//     const auto items = priv::test::AccessibleItems(tree);
//
// AccessibilityProblems checks what every window promises:
// - every enabled input control it shows has a non-empty accessible name,
//   and a control that a label stands before is named exactly by that label
//   (its mnemonic removed);
// - every named control publishes its object name as its accessible
//   description;
// - a password box never reads out its text;
// - a drop-down box reads out its chosen entry (its text, or its editor's),
//   and its list reports exactly that entry selected;
// - an item view's rows report disabled exactly when the item has no
//   Qt::ItemIsEnabled flag; the cells of a tree whose rows open tell their
//   level in their description ("第N级", 1 at the top), and the first cell
//   of a row with a branch offers to expand or collapse it;
// - controls a window placed on an item view (a check-all box) are walked
//   like any other.
#pragma once

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QTreeView>
#include <QWidget>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace priv::test {

inline std::string Utf8(const QString& text)
{
    return text.toStdString();
}

inline std::string Joined(const std::vector<std::string>& lines)
{
    std::string all;
    for (const std::string& line : lines)
        all += line + "\n";
    return all;
}

// A label's text as a reader says it: without the mnemonic's ampersand.
inline QString WithoutMnemonic(const QString& text)
{
    QString plain;
    for (int i = 0; i < text.size(); ++i) {
        if (text.at(i) == QLatin1Char('&') && i + 1 < text.size())
            ++i;
        plain += text.at(i);
    }
    return plain;
}

// The level a tree cell tells in its description ("第2级..."); 0 when none.
inline int ToldLevel(QAccessibleInterface* cell)
{
    const QString description = cell ? cell->text(QAccessible::Description) : QString();
    const qsizetype end = description.indexOf(QStringLiteral("级"));
    if (!description.startsWith(QStringLiteral("第")) || end < 2)
        return 0;
    return QStringView(description).mid(1, end - 1).toInt();
}

// One row cell of an item view as the accessibility interface reports it.
struct AccessibleItem {
    std::string name;
    bool disabled = false;
    bool expandable = false;
    bool expanded = false;
    bool selected = false;
    QAccessible::Role role = QAccessible::NoRole;
    int level = 0; // a tree's cells: 1 at the top; 0 when not told
    std::vector<std::string> actions;
};

inline AccessibleItem ReadItem(QAccessibleInterface* cell)
{
    AccessibleItem item{Utf8(cell->text(QAccessible::Name)),
                        bool(cell->state().disabled),
                        bool(cell->state().expandable),
                        bool(cell->state().expanded),
                        bool(cell->state().selected),
                        cell->role(),
                        ToldLevel(cell),
                        {}};
    if (QAccessibleActionInterface* actions = cell->actionInterface())
        for (const QString& action : actions->actionNames())
            item.actions.push_back(Utf8(action));
    return item;
}

// The cells an item view offers a reader (captions of a header left out).
inline std::vector<AccessibleItem> AccessibleItems(QAbstractItemView* view)
{
    std::vector<AccessibleItem> items;
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(view);
    if (!iface)
        return items;
    for (int i = 0; i < iface->childCount(); ++i) {
        QAccessibleInterface* child = iface->child(i);
        // Captions and the controls placed on the view are no cells.
        if (!child || child->role() == QAccessible::ColumnHeader || child->object())
            continue;
        items.push_back(ReadItem(child));
    }
    return items;
}

// The column captions of a tree view's header, as a reader reads them.
inline std::vector<std::string> AccessibleColumnCaptions(QAbstractItemView* view)
{
    std::vector<std::string> captions;
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(view);
    for (int i = 0; iface && i < iface->childCount(); ++i)
        if (QAccessibleInterface* child = iface->child(i);
            child && child->role() == QAccessible::ColumnHeader)
            captions.push_back(Utf8(child->text(QAccessible::Name)));
    return captions;
}

// The chosen entry of a drop-down box as a reader reads it: the box's text,
// or its editor's when it has one.
inline QString ReadChosenEntry(QAccessibleInterface* combo)
{
    if (!combo)
        return {};
    if (QAccessibleTextInterface* text = combo->textInterface())
        return text->text(0, text->characterCount());
    for (int i = 0; i < combo->childCount(); ++i)
        if (QAccessibleInterface* child = combo->child(i);
            child && child->role() == QAccessible::EditableText)
            if (QAccessibleTextInterface* text = child->textInterface())
                return text->text(0, text->characterCount());
    return {};
}
inline std::string ChosenEntry(QComboBox* combo)
{
    return Utf8(ReadChosenEntry(QAccessible::queryAccessibleInterface(combo)));
}

// The entries of a drop-down box's list that report themselves selected.
inline std::vector<std::string> SelectedEntries(QComboBox* combo)
{
    std::vector<std::string> selected;
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(combo);
    for (int i = 0; iface && i < iface->childCount(); ++i) {
        QAccessibleInterface* child = iface->child(i);
        if (!child || (child->role() != QAccessible::List && child->role() != QAccessible::Tree))
            continue;
        for (int row = 0; row < child->childCount(); ++row)
            if (QAccessibleInterface* entry = child->child(row); entry && entry->state().selected)
                selected.push_back(Utf8(entry->text(QAccessible::Name)));
    }
    return selected;
}

// Runs the accessible action `action` of `control` as a reader or an
// automation tool does; false when the control does not offer it.
inline bool DoAccessibleAction(QWidget* control, const QString& action)
{
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(control);
    QAccessibleActionInterface* actions = iface ? iface->actionInterface() : nullptr;
    if (!actions || !actions->actionNames().contains(action))
        return false;
    actions->doAction(action);
    return true;
}

inline bool IsInputControl(const QWidget* widget)
{
    return qobject_cast<const QLineEdit*>(widget) || qobject_cast<const QComboBox*>(widget) ||
           qobject_cast<const QTextEdit*>(widget) || qobject_cast<const QPlainTextEdit*>(widget) ||
           qobject_cast<const QAbstractSpinBox*>(widget) || qobject_cast<const QAbstractSlider*>(widget) ||
           qobject_cast<const QAbstractItemView*>(widget) || qobject_cast<const QAbstractButton*>(widget);
}

namespace detail {

inline QString Describe(const QWidget* widget)
{
    return QStringLiteral("%1 \"%2\"")
        .arg(QString::fromLatin1(widget->metaObject()->className()), widget->objectName());
}

// The rows a tree or list view shows, with the names the model gives them,
// split by whether the item is enabled.
inline void ModelRows(QAbstractItemView* view, std::multiset<std::string>& enabled,
                      std::multiset<std::string>& disabled)
{
    QAbstractItemModel* model = view->model();
    if (!model)
        return;
    const auto add = [&](const QModelIndex& index) {
        QString name = index.data(Qt::AccessibleTextRole).toString();
        if (name.isEmpty())
            name = index.data(Qt::DisplayRole).toString();
        (index.flags() & Qt::ItemIsEnabled ? enabled : disabled).insert(Utf8(name));
    };
    if (auto* tree = qobject_cast<QTreeView*>(view)) {
        for (QModelIndex index = model->index(0, 0, view->rootIndex()); index.isValid();
             index = tree->indexBelow(index))
            for (int column = 0; column < model->columnCount(index.parent()); ++column)
                add(index.sibling(index.row(), column));
        return;
    }
    for (int row = 0; row < model->rowCount(view->rootIndex()); ++row)
        add(model->index(row, 0, view->rootIndex()));
}

// A tree's cells, in the order the view shows them, against the model: the
// level each tells, and the branch action of a row's first cell.
inline void CheckTreeRows(QAbstractItemView* view, std::vector<std::string>& problems)
{
    auto* tree = qobject_cast<QTreeView*>(view);
    QAbstractItemModel* model = view->model();
    if (!tree || !model)
        return;
    std::vector<QModelIndex> cells;
    for (QModelIndex index = model->index(0, 0, view->rootIndex()); index.isValid();
         index = tree->indexBelow(index))
        for (int column = 0; column < model->columnCount(index.parent()); ++column)
            cells.push_back(index.sibling(index.row(), column));
    const std::vector<AccessibleItem> items = AccessibleItems(view);
    if (items.size() != cells.size()) {
        problems.push_back(Utf8(Describe(view)) + ": " + std::to_string(items.size()) + " cells read, " +
                           std::to_string(cells.size()) + " shown");
        return;
    }
    for (std::size_t at = 0; at < cells.size(); ++at) {
        const QModelIndex& cell = cells[at];
        const AccessibleItem& item = items[at];
        int level = 1;
        for (QModelIndex up = cell.parent(); up.isValid() && up != view->rootIndex(); up = up.parent())
            ++level;
        if (!tree->itemsExpandable() && level == 1)
            level = 0; // a flat list tells none
        if (item.level != level)
            problems.push_back(Utf8(Describe(view)) + ": the cell \"" + item.name + "\" tells level " +
                               std::to_string(item.level) + ", it is at level " + std::to_string(level));
        const bool branch = cell.column() == 0 && model->hasChildren(cell) && tree->itemsExpandable() &&
                            (cell.flags() & Qt::ItemIsEnabled) && view->isEnabled();
        const std::string wanted = tree->isExpanded(cell) ? "collapse" : "expand";
        const bool offered =
            std::find(item.actions.begin(), item.actions.end(), wanted) != item.actions.end();
        if (branch != offered)
            problems.push_back(Utf8(Describe(view)) + ": the cell \"" + item.name + "\" " +
                               (branch ? "does not offer to " + wanted : "offers a branch action") +
                               " (it has " + (branch ? "a" : "no") + " branch)");
    }
}

// A drop-down box reads its chosen entry, and its list reports exactly that
// entry selected.
inline void CheckComboBox(QComboBox* combo, QAccessibleInterface* iface, std::vector<std::string>& problems)
{
    const QString entry = ReadChosenEntry(iface);
    if (entry != combo->currentText())
        problems.push_back(Utf8(Describe(combo)) + ": reads the entry \"" + Utf8(entry) + "\", shows \"" +
                           Utf8(combo->currentText()) + "\"");
    std::vector<std::string> chosen;
    if (combo->currentIndex() >= 0)
        chosen.push_back(Utf8(combo->itemText(combo->currentIndex())));
    if (SelectedEntries(combo) != chosen)
        problems.push_back(Utf8(Describe(combo)) + ": its list reports " +
                           std::to_string(SelectedEntries(combo).size()) +
                           " entries selected, not the chosen one");
}

inline void CheckItemView(QAbstractItemView* view, std::vector<std::string>& problems)
{
    std::multiset<std::string> enabled;
    std::multiset<std::string> disabled;
    ModelRows(view, enabled, disabled);
    std::multiset<std::string> readEnabled;
    std::multiset<std::string> readDisabled;
    for (const AccessibleItem& item : AccessibleItems(view))
        (item.disabled ? readDisabled : readEnabled).insert(item.name);
    if (readDisabled != disabled || readEnabled != enabled)
        problems.push_back(Utf8(Describe(view)) + ": the rows read " + std::to_string(readEnabled.size()) +
                           " enabled and " + std::to_string(readDisabled.size()) +
                           " disabled, the model has " + std::to_string(enabled.size()) + " and " +
                           std::to_string(disabled.size()));
    CheckTreeRows(view, problems);
}

inline void Walk(QAccessibleInterface* iface, const std::map<const QWidget*, QString>& labels,
                 std::set<const QObject*>& seen, std::vector<std::string>& problems)
{
    if (!iface || !iface->isValid())
        return;
    auto* widget = qobject_cast<QWidget*>(iface->object());
    if (widget) {
        if (!seen.insert(widget).second)
            return;
        if (!widget->isVisibleTo(widget->window()) || !widget->isVisible())
            return;
        const QString objectName = widget->objectName();
        if (!objectName.isEmpty() && !objectName.startsWith(QLatin1String("qt_")) &&
            iface->text(QAccessible::Description) != objectName)
            problems.push_back(Utf8(Describe(widget)) + ": the description reads \"" +
                               Utf8(iface->text(QAccessible::Description)) + "\", not its object name");
        if (IsInputControl(widget) && widget->isEnabled()) {
            const QString name = iface->text(QAccessible::Name);
            const auto label = labels.find(widget);
            if (name.trimmed().isEmpty())
                problems.push_back(Utf8(Describe(widget)) + ": no accessible name");
            else if (label != labels.end() && name != label->second)
                problems.push_back(Utf8(Describe(widget)) + ": named \"" + Utf8(name) +
                                   "\", its label reads \"" + Utf8(label->second) + "\"");
        }
        if (auto* edit = qobject_cast<QLineEdit*>(widget);
            edit && edit->echoMode() != QLineEdit::Normal && !edit->text().isEmpty()) {
            QString read = iface->text(QAccessible::Value) + iface->text(QAccessible::Name);
            if (QAccessibleTextInterface* text = iface->textInterface())
                read += text->text(0, text->characterCount());
            if (read.contains(edit->text()))
                problems.push_back(Utf8(Describe(widget)) + ": the password can be read");
        }
        if (auto* combo = qobject_cast<QComboBox*>(widget))
            CheckComboBox(combo, iface, problems);
        if (auto* view = qobject_cast<QAbstractItemView*>(widget)) {
            CheckItemView(view, problems);
            // Its cells were checked with the model; the controls placed on
            // it are walked.
            for (int i = 0; i < iface->childCount(); ++i)
                if (QAccessibleInterface* child = iface->child(i); child && child->object())
                    Walk(child, labels, seen, problems);
            return;
        }
    }
    for (int i = 0; i < iface->childCount(); ++i)
        Walk(iface->child(i), labels, seen, problems);
}

} // namespace detail

// Everything in `window` that a reader cannot name or read correctly; empty
// when the window keeps every promise above.
inline std::vector<std::string> AccessibilityProblems(QWidget* window)
{
    std::vector<std::string> problems;
    std::map<const QWidget*, QString> labels;
    for (QLabel* label : window->findChildren<QLabel*>())
        if (label->buddy() && label->isVisible())
            labels[label->buddy()] = WithoutMnemonic(label->text());
    std::set<const QObject*> seen;
    QAccessibleInterface* root = QAccessible::queryAccessibleInterface(window);
    if (!root)
        problems.emplace_back("the window has no accessible interface");
    detail::Walk(root, labels, seen, problems);
    if (seen.size() < 2)
        problems.emplace_back("the walk reached no control of the window");
    return problems;
}

} // namespace priv::test
