// Plays the pictures of an image list one after the other on a timer: each
// frame stays Delay milliseconds, the last one DelayUntilRepeat before the
// loop starts again. The status window's moving progress strip is one.
#pragma once

#include <QColor>
#include <QImage>
#include <QPointer>
#include <QWidget>

#include <cstdint>
#include <functional>

class QTimer;

namespace priv {

class TZorvImageList;

class TZorvAnimator : public QWidget {
    Q_OBJECT
    Q_PROPERTY(bool Animate READ Animate WRITE SetAnimate)
    Q_PROPERTY(int Delay READ Delay WRITE SetDelayProperty)
    Q_PROPERTY(int DelayUntilRepeat READ DelayUntilRepeat WRITE SetDelayUntilRepeatProperty)
    Q_PROPERTY(int ImageIndex READ ImageIndex WRITE SetImageIndex)
    Q_PROPERTY(bool Transparent READ Transparent WRITE SetTransparent)
    Q_PROPERTY(QColor Color READ Color WRITE SetColor)
public:
    // Told each time a frame other than the last one drawn is drawn.
    using FrameChangeEvent = std::function<void(QObject* sender, int frame)>;

    explicit TZorvAnimator(QWidget* parent = nullptr);
    ~TZorvAnimator() override;

    bool Animate() const { return animate_; }
    virtual void SetAnimate(bool value);
    std::uint16_t Delay() const { return delay_; }
    virtual void SetDelay(std::uint16_t value);
    std::uint16_t DelayUntilRepeat() const { return delayUntilRepeat_; }
    void SetDelayUntilRepeat(std::uint16_t value) { delayUntilRepeat_ = value; }
    int ImageIndex() const { return imageIndex_; }
    virtual void SetImageIndex(int value);
    // Not owned. While set, the control keeps the list's frame size; when the
    // list is destroyed the control forgets it.
    TZorvImageList* ImageList() const { return imageList_; }
    virtual void SetImageList(TZorvImageList* list);
    bool Transparent() const { return transparent_; }
    virtual void SetTransparent(bool value);
    // The background behind the frames when not transparent.
    QColor Color() const { return color_; }
    void SetColor(const QColor& value);
    void SetOnFrameChange(FrameChangeEvent handler) { onFrameChange_ = std::move(handler); }

    // The index of the last frame drawn; -1 before the first.
    int LastFrameDrawn() const { return lastFrame_; }
    // The timer's current interval, in milliseconds.
    int TimerInterval() const;
    bool TimerActive() const;

    // Draws frame ImageIndex now (when the control is on screen) and tells
    // OnFrameChange when it differs from the last frame drawn.
    virtual void DrawFrame();
    // One step of the animation; the timer calls it. When a step fails the
    // animation stops and the failure goes on to the caller.
    void TimerTick();

    QSize sizeHint() const override;

signals:
    void Click();
    void DblClick();

protected:
    // Tells OnFrameChange, when it is set.
    virtual void FrameChange(int frame);
    void ImageListChange(QObject* sender);

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void SetDelayProperty(int value) { SetDelay(static_cast<std::uint16_t>(value)); }
    void SetDelayUntilRepeatProperty(int value) { SetDelayUntilRepeat(static_cast<std::uint16_t>(value)); }
    // Steps 1-3 of drawing: the frame picture over the background.
    void RenderFrame();
    // Step 5 of drawing: the frame change notification.
    void NoteFrameDrawn();

    bool animate_ = true;
    std::uint16_t delay_ = 100;
    std::uint16_t delayUntilRepeat_ = 100;
    int imageIndex_ = 0;
    int lastFrame_ = -1;
    bool transparent_ = false;
    QColor color_;
    QPointer<TZorvImageList> imageList_;
    QMetaObject::Connection listChanged_;
    QImage frame_;
    QTimer* timer_ = nullptr;
    FrameChangeEvent onFrameChange_;
};

} // namespace priv
