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
// - an item view's rows report disabled exactly when the item has no
//   Qt::ItemIsEnabled flag.
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

// One row cell of an item view as the accessibility interface reports it.
struct AccessibleItem {
    std::string name;
    bool disabled = false;
    bool expandable = false;
    QAccessible::Role role = QAccessible::NoRole;
};

// The cells an item view offers a reader (captions of a header left out).
inline std::vector<AccessibleItem> AccessibleItems(QAbstractItemView* view)
{
    std::vector<AccessibleItem> items;
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(view);
    if (!iface)
        return items;
    for (int i = 0; i < iface->childCount(); ++i) {
        QAccessibleInterface* child = iface->child(i);
        if (!child || child->role() == QAccessible::ColumnHeader)
            continue;
        items.push_back({Utf8(child->text(QAccessible::Name)), bool(child->state().disabled),
                         bool(child->state().expandable), child->role()});
    }
    return items;
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
        if (auto* view = qobject_cast<QAbstractItemView*>(widget)) {
            CheckItemView(view, problems);
            return; // its cells were checked with the model
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
        problems.push_back("the window has no accessible interface");
    detail::Walk(root, labels, seen, problems);
    if (seen.size() < 2)
        problems.push_back("the walk reached no control of the window");
    return problems;
}

} // namespace priv::test
