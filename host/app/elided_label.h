// TElidedLabel: a one-line label that, when it is narrower than its text,
// ends the text with "…" instead of cutting a character in half; the whole
// text is then its tool tip. text() stays the whole text.
#pragma once

#include <QLabel>

namespace privhost {

class TElidedLabel : public QLabel {
public:
    using QLabel::QLabel;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace privhost
