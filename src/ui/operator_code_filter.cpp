#include "ui/operator_code_filter.h"

#include "ui/qt_text.h"

#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QWidget>

namespace priv {

bool IsOperatorCodeCharacter(char32_t c, bool clipboardKeys)
{
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))
        return true;
    switch (c) {
    case ' ':
    case '#':
    case '$':
    case '.':
    case 0x08: // Backspace
    case 0x0D: // Enter
    case 0x1B: // Esc
        return true;
    case 0x03: // Ctrl+C
    case 0x16: // Ctrl+V
    case 0x18: // Ctrl+X
        return clipboardKeys;
    default:
        return false;
    }
}

TOperatorCodeFilter::TOperatorCodeFilter(QWidget* box, bool clipboardKeys)
    : QObject(box), clipboardKeys_(clipboardKeys)
{
    setObjectName(QStringLiteral("operatorCodeFilter"));
}

TOperatorCodeFilter* TOperatorCodeFilter::Install(QWidget* box, bool clipboardKeys)
{
    auto* filter = new TOperatorCodeFilter(box, clipboardKeys);
    box->installEventFilter(filter);
    return filter;
}

bool TOperatorCodeFilter::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        for (const char32_t c : TypedCharacters(*static_cast<QKeyEvent*>(event)))
            if (!IsOperatorCodeCharacter(c, clipboardKeys_))
                return true;
    } else if (event->type() == QEvent::InputMethod) {
        // An input method commits its text in one piece; only the characters
        // a code may hold get through.
        auto* input = static_cast<QInputMethodEvent*>(event);
        if (!input->commitString().isEmpty()) {
            QString kept;
            for (const char32_t c : input->commitString().toStdU32String())
                if (c >= 0x20 && IsOperatorCodeCharacter(c, clipboardKeys_))
                    kept += QString::fromUcs4(&c, 1);
            input->setCommitString(kept, input->replacementStart(), input->replacementLength());
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace priv
