#include "ui/zorv_animator.h"

#include "ui/zorv_image_list.h"

#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

namespace priv {

TZorvAnimator::TZorvAnimator(QWidget* parent) : QWidget(parent), color_(palette().color(QPalette::Window))
{
    resize(40, 40);
    timer_ = new QTimer(this);
    timer_->setInterval(delay_);
    connect(timer_, &QTimer::timeout, this, [this] {
        // A failed step has stopped the animation already; a failure cannot
        // travel on through the event loop.
        try {
            TimerTick();
        } catch (...) {
        }
    });
    timer_->start();
}

TZorvAnimator::~TZorvAnimator() = default;

void TZorvAnimator::SetAnimate(bool value)
{
    if (value == animate_)
        return;
    animate_ = value;
    if (animate_)
        timer_->start();
    else
        timer_->stop();
}

void TZorvAnimator::SetDelay(std::uint16_t value)
{
    if (value == delay_)
        return;
    delay_ = value;
    timer_->setInterval(delay_);
}

void TZorvAnimator::SetImageIndex(int value)
{
    if (value == imageIndex_)
        return;
    imageIndex_ = value;
    update();
}

void TZorvAnimator::SetImageList(TZorvImageList* list)
{
    if (imageList_)
        disconnect(listChanged_);
    imageList_ = list;
    if (imageList_) {
        listChanged_ =
            connect(imageList_, &TZorvImageList::Changed, this, [this, list] { ImageListChange(list); });
        resize(imageList_->FrameSize());
    }
    update();
}

void TZorvAnimator::SetTransparent(bool value)
{
    if (value == transparent_)
        return;
    transparent_ = value;
    update();
}

void TZorvAnimator::SetColor(const QColor& value)
{
    color_ = value;
    update();
}

int TZorvAnimator::TimerInterval() const
{
    return timer_->interval();
}

bool TZorvAnimator::TimerActive() const
{
    return timer_->isActive();
}

void TZorvAnimator::ImageListChange(QObject* sender)
{
    if (sender == imageList_ && isVisible())
        repaint();
}

void TZorvAnimator::RenderFrame()
{
    frame_ = QImage(imageList_->FrameSize(), QImage::Format_ARGB32_Premultiplied);
    // Transparent: the parent has painted what lies behind the control
    // already (Qt draws a widget over its parent's picture), so the frame
    // goes over nothing of its own.
    frame_.fill(transparent_ ? QColor(Qt::transparent) : color_);
    QPainter painter(&frame_);
    imageList_->Draw(painter, 0, 0, imageIndex_);
}

void TZorvAnimator::NoteFrameDrawn()
{
    if (imageIndex_ != lastFrame_) {
        // Remember first, so that a handler that repaints is not told twice.
        lastFrame_ = imageIndex_;
        FrameChange(imageIndex_);
    }
}

void TZorvAnimator::DrawFrame()
{
    if (!imageList_)
        return;
    if (isVisible())
        repaint(); // paints the frame and tells about a change
    else
        RenderFrame();
    NoteFrameDrawn();
}

void TZorvAnimator::FrameChange(int frame)
{
    if (onFrameChange_)
        onFrameChange_(this, frame);
}

void TZorvAnimator::TimerTick()
{
    if (!imageList_)
        return;
    try {
        timer_->setInterval(delay_);
        if (imageIndex_ >= imageList_->Count())
            imageIndex_ = 0;
        DrawFrame();
        ++imageIndex_;
        if (imageIndex_ >= imageList_->Count()) {
            imageIndex_ = 0;
            timer_->setInterval(delayUntilRepeat_);
        }
    } catch (...) {
        SetAnimate(false);
        throw;
    }
}

QSize TZorvAnimator::sizeHint() const
{
    return imageList_ ? imageList_->FrameSize() : QSize(40, 40);
}

void TZorvAnimator::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (!transparent_)
        painter.fillRect(rect(), color_);
    if (!imageList_)
        return;
    RenderFrame();
    painter.drawImage(0, 0, frame_);
    NoteFrameDrawn();
}

void TZorvAnimator::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (imageList_ && size() != imageList_->FrameSize())
        resize(imageList_->FrameSize());
}

void TZorvAnimator::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit Click();
    QWidget::mouseReleaseEvent(event);
}

void TZorvAnimator::mouseDoubleClickEvent(QMouseEvent* event)
{
    emit DblClick();
    QWidget::mouseDoubleClickEvent(event);
}

} // namespace priv
