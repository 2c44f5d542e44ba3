// A list of equally sized pictures, drawn by index with their transparency
// (the frames of an animation, the images of a tool bar).
#pragma once

#include <QImage>
#include <QObject>
#include <QSize>

#include <vector>

class QPainter;

namespace priv {

class TZorvImageList : public QObject {
    Q_OBJECT
public:
    TZorvImageList(int width, int height, QObject* parent = nullptr);

    int Width() const { return width_; }
    int Height() const { return height_; }
    QSize FrameSize() const { return {width_, height_}; }
    int Count() const { return static_cast<int>(frames_.size()); }

    // Adds a picture (scaled to the list's size when it differs); returns its index.
    int Add(const QImage& picture);
    void Clear();
    // An empty image for an index out of range.
    QImage Frame(int index) const;
    // Draws picture `index` at (x, y); transparent pixels leave what is
    // underneath. An index out of range draws nothing.
    void Draw(QPainter& painter, int x, int y, int index) const;

signals:
    // The pictures changed.
    void Changed();

private:
    int width_;
    int height_;
    std::vector<QImage> frames_;
};

} // namespace priv
