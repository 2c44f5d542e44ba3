#include "ui/zorv_image_list.h"

#include <QPainter>

namespace priv {

TZorvImageList::TZorvImageList(int width, int height, QObject* parent)
    : QObject(parent), width_(width), height_(height)
{
}

int TZorvImageList::Add(const QImage& picture)
{
    QImage frame = picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (frame.size() != FrameSize())
        frame = frame.scaled(FrameSize(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    frames_.push_back(std::move(frame));
    emit Changed();
    return Count() - 1;
}

void TZorvImageList::Clear()
{
    frames_.clear();
    emit Changed();
}

QImage TZorvImageList::Frame(int index) const
{
    if (index < 0 || index >= Count())
        return {};
    return frames_[static_cast<std::size_t>(index)];
}

void TZorvImageList::Draw(QPainter& painter, int x, int y, int index) const
{
    if (index < 0 || index >= Count())
        return;
    painter.drawImage(x, y, frames_[static_cast<std::size_t>(index)]);
}

} // namespace priv
