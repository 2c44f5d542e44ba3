#include "ui/shape_line.h"

#include <QPainter>

namespace priv {

TShapeLine::TShapeLine(QWidget* parent) : QWidget(parent) {}

void TShapeLine::SetPenColor(const QColor& color)
{
    penColor_ = color;
    update();
}

void TShapeLine::SetBrushColor(const QColor& color)
{
    brushColor_ = color;
    update();
}

void TShapeLine::SetPenStyle(Qt::PenStyle style)
{
    penStyle_ = style;
    update();
}

void TShapeLine::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (brushColor_.isValid())
        painter.fillRect(rect(), brushColor_);
    const int y = height() / 2;
    if (penStyle_ == Qt::DotLine) {
        // Every other pixel, as the original toolkit draws a dotted pen; Qt's
        // own dot pattern is two pixels long at width 1.
        for (int x = 0; x < width(); x += 2)
            painter.fillRect(x, y, 1, 1, penColor_);
        return;
    }
    if (penStyle_ == Qt::NoPen)
        return;
    QPen pen(penColor_, 0, penStyle_);
    painter.setPen(pen);
    painter.drawLine(0, y, width() - 1, y);
}

} // namespace priv
