#include "status_bar.h"

#include <QLabel>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>

#include <algorithm>

namespace privhost {

void TStatusBar::paintEvent(QPaintEvent* event)
{
    const QString message = currentMessage();
    if (message.isEmpty()) {
        QStatusBar::paintEvent(event);
        return;
    }
    QPainter painter(this);
    QStyleOption option;
    option.initFrom(this);
    style()->drawPrimitive(QStyle::PE_PanelStatusBar, &option, &painter, this);
    int right = width();
    for (const QLabel* label : findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly))
        if (label->isVisible())
            right = std::min(right, label->x());
    const QRect area(6, 0, std::max(0, right - 12), height());
    painter.setPen(palette().windowText().color());
    painter.drawText(area, Qt::AlignLeading | Qt::AlignVCenter | Qt::TextSingleLine,
                     fontMetrics().elidedText(message, Qt::ElideRight, area.width()));
}

} // namespace privhost
