// The one rule for what an operator-code box takes, shared by every window
// with one: letters A to Z and a to z, digits, space, '#', '$' and '.', plus
// the editing characters Backspace, Enter and Esc (and, where the box allows
// them, Ctrl+C, Ctrl+V and Ctrl+X). Anything else typed is dropped, anything
// above code 127 included; an input method's commit keeps only the
// characters a code may hold.
//
// It judges what is typed, key by key, as the code boxes always have: text
// pasted into a box is not judged, and a key that types a control character
// outside the set (Ctrl+A) does nothing. A QValidator judges the resulting
// text instead, which would filter pasted text and let Ctrl+A select.
#pragma once

#include <QObject>

class QLineEdit;
class QWidget;

namespace priv {

bool IsOperatorCodeCharacter(char32_t c, bool clipboardKeys);

class TOperatorCodeFilter final : public QObject {
    Q_OBJECT
public:
    // Watches `box` (and is freed with it); `clipboardKeys` lets Ctrl+C,
    // Ctrl+V and Ctrl+X through.
    static TOperatorCodeFilter* Install(QWidget* box, bool clipboardKeys);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TOperatorCodeFilter(QWidget* box, bool clipboardKeys);

    bool clipboardKeys_;
};

} // namespace priv
