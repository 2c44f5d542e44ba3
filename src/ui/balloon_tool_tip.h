// A balloon-shaped tip that points at one control: a title with an icon and
// a text, shown until its time runs out, it is shown again elsewhere, or it
// is destroyed. While it is shown the control's own tool tip is switched off.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <memory>

class QPainterPath;
class QRegion;
class QTimer;

namespace priv {

// The title icon; the values are those the platform numbers them with.
enum TTipTool_ICON { ttNoneIcon = 0, ttInformationIcon = 1, ttWarningIcon = 2, ttStopIcon = 3 };
// Where on the control the balloon's stem points.
enum TTipAlignment { taLeft, taClosewithLeft, taCenter, taRight };

// The balloon window itself: frameless, on top, never takes the focus.
class TBalloonWindow : public QWidget {
    Q_OBJECT
public:
    TBalloonWindow();

    void SetContent(TTipTool_ICON icon, const QString& title, const QString& text);
    // Places the window so that the tip of its stem is at `point` (screen
    // coordinates): below the point when there is room, above it otherwise.
    void PointAt(const QPoint& point);
    // Where the stem's tip is, in screen coordinates.
    QPoint TipPosition() const { return mapToGlobal(stemTip_); }

    QString Title() const { return title_; }
    QString Text() const { return text_; }
    TTipTool_ICON Icon() const { return icon_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QSize BodySize() const;
    QRect TitleRect() const;
    // The balloon's body with its stem, and the pixels it covers.
    QPainterPath Outline() const;
    QRegion OutlineRegion() const;

    TTipTool_ICON icon_ = ttNoneIcon;
    QString title_;
    QString text_;
    QPoint stemTip_;
    bool stemUp_ = true;
};

class TToolTip : public QObject {
    Q_OBJECT
public:
    // The owner must be a window or control; anything else makes the
    // constructor throw std::invalid_argument with the message
    // "TToolTip's owner must be a 'TWinControl' type.".
    explicit TToolTip(QObject* owner);
    ~TToolTip() override;

    // The balloon window.
    TBalloonWindow* Handle() const { return balloon_.get(); }

    QString Text() const { return text_; }
    void SetText(const QString& text);
    QString Title() const { return title_; }
    void SetTitle(const QString& title);
    TTipTool_ICON ICON() const { return icon_; }
    void SetICON(TTipTool_ICON icon);
    TTipAlignment Alignment() const { return alignment_; }
    void SetAlignment(TTipAlignment alignment) { alignment_ = alignment; }
    // Milliseconds until the balloon hides itself; 0: it stays.
    int Interval() const { return interval_; }
    void SetInterval(int milliseconds) { interval_ = milliseconds; }

    bool Shown() const { return shown_; }
    QWidget* Target() const { return target_; }
    bool HideTimerActive() const;

    void ShowBalloon(QWidget* target, TTipTool_ICON icon, const QString& text, const QString& title);
    // Shows the balloon pointing at `target` by Alignment and restarts the
    // hide timer.
    void ShowAt(QWidget* target);

    // The point a balloon aims at on a control whose window rectangle (screen
    // coordinates, right and bottom exclusive) is `windowRect`.
    static QPoint BalloonPoint(const QRect& windowRect, TTipAlignment alignment);

protected:
    // Follows the target's window: the balloon moves with it and hides
    // with it.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static QObject* CheckedOwner(QObject* owner);
    void Reposition();
    void WatchWindowOf(QWidget* target);
    void Expire();
    void RestartHideTimer();
    void HideBalloon();
    void RestoreTargetHint();

    std::unique_ptr<TBalloonWindow> balloon_;
    QTimer* hideTimer_ = nullptr;
    QString text_;
    QString title_;
    TTipTool_ICON icon_ = ttNoneIcon;
    TTipAlignment alignment_ = taLeft;
    int interval_ = 1000;
    bool shown_ = false;
    QPointer<QWidget> target_;
    QPointer<QWidget> watchedWindow_;
    // The target's own tool tip while the balloon has switched it off.
    QString targetHint_;
    bool targetHintOff_ = false;
};

} // namespace priv
