// TStatusBar: the main window's status bar. Its notice ends with "…" where
// the signed-in context on its right leaves it too little room, instead of
// being cut off mid-character.
#pragma once

#include <QStatusBar>

namespace privhost {

class TStatusBar : public QStatusBar {
public:
    using QStatusBar::QStatusBar;

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace privhost
