// The accessible interface of a drop-down box (see accessible_views.h).
#include "accessible_views.h"

#include <QAbstractItemView>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QLineEdit>
#include <QStringList>

#include <algorithm>

namespace fennix::detail {
namespace {

// A text that a reader reads but cannot change, offered over the bus's text
// interface: the chosen entry of a drop-down box.
class TReadOnlyText : public QAccessibleTextInterface {
public:
    void selection(int, int* startOffset, int* endOffset) const override
    {
        *startOffset = 0;
        *endOffset = 0;
    }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QString text(int startOffset, int endOffset) const override
    {
        const QString all = ReadText();
        startOffset = std::clamp(startOffset, 0, static_cast<int>(all.size()));
        endOffset = std::clamp(endOffset < 0 ? static_cast<int>(all.size()) : endOffset, startOffset,
                               static_cast<int>(all.size()));
        return all.mid(startOffset, endOffset - startOffset);
    }
    int characterCount() const override { return static_cast<int>(ReadText().size()); }
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int, int* startOffset, int* endOffset) const override
    {
        *startOffset = 0;
        *endOffset = characterCount();
        return {};
    }

protected:
    virtual QString ReadText() const = 0;
};

// A combo box named after its label, its entry as its value, its list and
// its editor as children. A box without an editor offers its chosen entry as
// its text (the bus has no text value for it in Qt 6.4, and the name is the
// label's), and its list reports that entry selected.
class TAccessibleComboBox : public QAccessibleWidget, public TReadOnlyText {
public:
    explicit TAccessibleComboBox(QComboBox* combo) : QAccessibleWidget(combo, QAccessible::ComboBox) {}

    // The text interface's text(start, end) beside the widget's text(kind).
    using TReadOnlyText::text;

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TextInterface && !Combo()->lineEdit())
            return static_cast<QAccessibleTextInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text t) const override
    {
        switch (t) {
        case QAccessible::Name: {
            const QString name = QAccessibleWidget::text(QAccessible::Name);
            // Without a label the entry is the best name there is.
            return name.isEmpty() ? Combo()->currentText() : name;
        }
        case QAccessible::Value:
            return Combo()->currentText();
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
        case QAccessible::Identifier:
            return Combo()->objectName();
#endif
        default:
            return QAccessibleWidget::text(t);
        }
    }

    int childCount() const override
    {
        return Combo()->lineEdit() ? 2 : 1;
    }

    QAccessibleInterface* child(int index) const override
    {
        if (index == 0)
            return QAccessible::queryAccessibleInterface(Combo()->view());
        if (index == 1 && Combo()->lineEdit())
            return QAccessible::queryAccessibleInterface(Combo()->lineEdit());
        return nullptr;
    }

    int indexOfChild(const QAccessibleInterface* child) const override
    {
        if (!child)
            return -1;
        if (child->object() == Combo()->view())
            return 0;
        if (Combo()->lineEdit() && child->object() == Combo()->lineEdit())
            return 1;
        return -1;
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.expandable = true;
        state.expanded = Combo()->view()->isVisible();
        state.editable = Combo()->isEditable();
        return state;
    }

    QStringList actionNames() const override
    {
        return Combo()->isEnabled() ? QStringList{showMenuAction(), pressAction(), setFocusAction()}
                                    : QStringList{};
    }

    void doAction(const QString& name) override
    {
        if (!Combo()->isEnabled())
            return;
        if (name == showMenuAction() || name == pressAction()) {
            if (Combo()->view()->isVisible())
                Combo()->hidePopup();
            else
                Combo()->showPopup();
        } else if (name == setFocusAction()) {
            Combo()->setFocus(Qt::OtherFocusReason);
        }
    }

protected:
    QString ReadText() const override
    {
        return Combo()->currentText();
    }

private:
    QComboBox* Combo() const
    {
        return static_cast<QComboBox*>(widget());
    }
};

} // namespace

QAccessibleInterface* NewAccessibleComboBox(QComboBox* combo)
{
    return new TAccessibleComboBox(combo);
}

} // namespace fennix::detail
