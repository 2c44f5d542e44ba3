// The editable drop-down box of the administration dialogs. Besides the
// toolkit's own signals it tells when the user enters the box and when its
// list drops down, the two moments at which the dialogs switch the grey
// prompt back to the normal text colour.
//
// Leaving the box keeps the typed text as it is: the toolkit would pick the
// entry it matches (ignoring letter case) and report that as a pick, so that
// typing a known name and pressing a button would press it on changed
// buttons. A pick is made in the list (or with the arrow keys or Enter).
#pragma once

#include <QComboBox>

namespace priv {

class TDropDownComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit TDropDownComboBox(QWidget* parent = nullptr);

    void showPopup() override;

    // The colour of the text typed into the box (grey for a prompt).
    void SetTextColor(const QColor& color);
    QColor TextColor() const;

signals:
    void entered();
    void droppedDown();

protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
};

} // namespace priv
