#include "ui/zorv_panel_box.h"

#include <QPainter>

namespace priv {

TZorvPanelBox::TZorvPanelBox(QWidget* parent) : QWidget(parent)
{
    // A panel is opaque in its own (by default the parent's) colour.
    setAutoFillBackground(true);
    BordersChanged();
}

void TZorvPanelBox::SetHasBorder(bool value)
{
    hasBorder_ = value;
    BordersChanged();
}

void TZorvPanelBox::SetBorderColor(const QColor& value)
{
    borderColor_ = value;
    update();
}

void TZorvPanelBox::SetHasTopBorder(bool value)
{
    hasTop_ = value;
    BordersChanged();
}

void TZorvPanelBox::SetHasBottomBorder(bool value)
{
    hasBottom_ = value;
    BordersChanged();
}

void TZorvPanelBox::SetHasLeftBorder(bool value)
{
    hasLeft_ = value;
    BordersChanged();
}

void TZorvPanelBox::SetHasRightBorder(bool value)
{
    hasRight_ = value;
    BordersChanged();
}

void TZorvPanelBox::BordersChanged()
{
    // One pixel on every framed side; a side whose own flag is off gives it back.
    const auto edge = [this](bool side) { return hasBorder_ && side ? 1 : 0; };
    setContentsMargins(edge(hasLeft_), edge(hasTop_), edge(hasRight_), edge(hasBottom_));
    update();
}

void TZorvPanelBox::paintEvent(QPaintEvent* event)
{
    QWidget::paintEvent(event);
    if (!hasBorder_)
        return;
    QPainter painter(this);
    const int w = width();
    const int h = height();
    if (hasTop_)
        painter.fillRect(0, 0, w, 1, borderColor_);
    if (hasLeft_)
        painter.fillRect(0, 0, 1, h, borderColor_);
    if (hasRight_)
        painter.fillRect(w - 1, 0, 1, h, borderColor_);
    if (hasBottom_)
        painter.fillRect(0, h - 1, w, 1, borderColor_);
}

} // namespace priv
