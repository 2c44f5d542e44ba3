#include "ui/qt_text.h"

#include <QKeyEvent>

namespace priv {

std::u32string TypedCharacters(const QKeyEvent& event)
{
    const int key = event.key();
    switch (key) {
    case Qt::Key_Backspace:
        return U"\x08";
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return U"\x0D";
    case Qt::Key_Escape:
        return U"\x1B";
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Delete:
        return {};
    default:
        break;
    }
    const Qt::KeyboardModifiers modifiers = event.modifiers();
    if ((modifiers & Qt::ControlModifier) && !(modifiers & Qt::AltModifier) && key >= Qt::Key_A &&
        key <= Qt::Key_Z)
        return std::u32string(1, static_cast<char32_t>(key - Qt::Key_A + 1));
    return event.text().toStdU32String();
}

} // namespace priv
