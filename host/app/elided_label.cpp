#include "elided_label.h"

#include <QPainter>
#include <QStyle>

namespace privhost {

QSize TElidedLabel::minimumSizeHint() const
{
    return QSize(fontMetrics().horizontalAdvance(QStringLiteral("…")) * 4,
                 QLabel::minimumSizeHint().height());
}

void TElidedLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRect area = contentsRect();
    const QString shown = fontMetrics().elidedText(text(), Qt::ElideRight, area.width());
    if (toolTip() != (shown == text() ? QString() : text()))
        setToolTip(shown == text() ? QString() : text());
    style()->drawItemText(&painter, area, Qt::AlignLeft | Qt::AlignVCenter, palette(), isEnabled(), shown,
                          foregroundRole());
}

} // namespace privhost
