#include "admin/drop_down_combo_box.h"

#include <QFocusEvent>
#include <QLineEdit>
#include <QSignalBlocker>

namespace priv {

TDropDownComboBox::TDropDownComboBox(QWidget* parent) : QComboBox(parent) {}

void TDropDownComboBox::showPopup()
{
    emit droppedDown();
    QComboBox::showPopup();
}

void TDropDownComboBox::SetTextColor(const QColor& color)
{
    QWidget* target = lineEdit() ? static_cast<QWidget*>(lineEdit()) : static_cast<QWidget*>(this);
    QPalette palette = target->palette();
    palette.setColor(QPalette::Text, color);
    target->setPalette(palette);
}

QColor TDropDownComboBox::TextColor() const
{
    const QWidget* source =
        lineEdit() ? static_cast<const QWidget*>(lineEdit()) : static_cast<const QWidget*>(this);
    return source->palette().color(QPalette::Text);
}

void TDropDownComboBox::focusInEvent(QFocusEvent* event)
{
    QComboBox::focusInEvent(event);
    // The list taking the focus back after it closes is no new entry.
    if (event->reason() != Qt::PopupFocusReason)
        emit entered();
}

void TDropDownComboBox::focusOutEvent(QFocusEvent* event)
{
    const QSignalBlocker quiet(lineEdit());
    QComboBox::focusOutEvent(event);
}

} // namespace priv
