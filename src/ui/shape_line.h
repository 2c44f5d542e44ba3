// A line drawn across a strip of the form, like the shape controls of the
// original forms: a background in the brush colour and one line through the
// middle in the pen colour and style. The page windows' one-pixel rule under
// the tool bar and the dialogs' dotted brand line are made of it.
#pragma once

#include <QColor>
#include <QWidget>

namespace priv {

class TShapeLine : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QColor PenColor READ PenColor WRITE SetPenColor)
    Q_PROPERTY(QColor BrushColor READ BrushColor WRITE SetBrushColor)
    Q_PROPERTY(Qt::PenStyle PenStyle READ PenStyle WRITE SetPenStyle)
public:
    explicit TShapeLine(QWidget* parent = nullptr);

    QColor PenColor() const { return penColor_; }
    void SetPenColor(const QColor& color);
    // An invalid colour leaves the background to the parent.
    QColor BrushColor() const { return brushColor_; }
    void SetBrushColor(const QColor& color);
    Qt::PenStyle PenStyle() const { return penStyle_; }
    void SetPenStyle(Qt::PenStyle style);

    QSize sizeHint() const override { return {20, 1}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor penColor_{Qt::black};
    QColor brushColor_;
    Qt::PenStyle penStyle_ = Qt::SolidLine;
};

} // namespace priv
