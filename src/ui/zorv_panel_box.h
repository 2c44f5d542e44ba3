// A panel that frames itself with a one-pixel line of its own colour on any
// of its four sides. Its client area (contentsRect(), which layouts use) is
// one pixel smaller on each framed side.
//
// In .ui forms set its properties with stdset="0" (they are read through
// Qt's property system by name).
#pragma once

#include <QColor>
#include <QWidget>

namespace priv {

class TZorvPanelBox : public QWidget {
    Q_OBJECT
    Q_PROPERTY(bool HasBorder READ HasBorder WRITE SetHasBorder)
    Q_PROPERTY(QColor BorderColor READ BorderColor WRITE SetBorderColor)
    Q_PROPERTY(bool HasTopBorder READ HasTopBorder WRITE SetHasTopBorder)
    Q_PROPERTY(bool HasBottomBorder READ HasBottomBorder WRITE SetHasBottomBorder)
    Q_PROPERTY(bool HasLeftBorder READ HasLeftBorder WRITE SetHasLeftBorder)
    Q_PROPERTY(bool HasRightBorder READ HasRightBorder WRITE SetHasRightBorder)
public:
    explicit TZorvPanelBox(QWidget* parent = nullptr);

    bool HasBorder() const { return hasBorder_; }
    void SetHasBorder(bool value);
    QColor BorderColor() const { return borderColor_; }
    void SetBorderColor(const QColor& value);
    bool HasTopBorder() const { return hasTop_; }
    void SetHasTopBorder(bool value);
    bool HasBottomBorder() const { return hasBottom_; }
    void SetHasBottomBorder(bool value);
    bool HasLeftBorder() const { return hasLeft_; }
    void SetHasLeftBorder(bool value);
    bool HasRightBorder() const { return hasRight_; }
    void SetHasRightBorder(bool value);

    // The area the panel's children use.
    QRect ClientRect() const { return contentsRect(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void BordersChanged();

    bool hasBorder_ = true;
    QColor borderColor_{142, 142, 142};
    bool hasTop_ = true;
    bool hasBottom_ = true;
    bool hasLeft_ = true;
    bool hasRight_ = true;
};

} // namespace priv
