#include "ui/balloon_tool_tip.h"

#include "ui/window_utils.h"

#include <QApplication>
#include <QEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QRegion>
#include <QScreen>
#include <QStyle>
#include <QTimer>

#include <algorithm>
#include <stdexcept>

namespace priv {
namespace {

constexpr int kStemHeight = 14;
constexpr int kStemWidth = 16;
constexpr int kStemSlant = 4;
constexpr int kPreferredStemX = 18;
constexpr int kPaddingX = 12;
constexpr int kPaddingTop = 9;
constexpr int kPaddingBottom = 10;
constexpr int kIconSize = 16;
constexpr int kTitleRowHeight = 22;
constexpr int kMaxTextWidth = 300;
constexpr int kCornerRadius = 6;

const QColor kBalloonBackground(255, 255, 225);
const QColor kBalloonBorder(118, 118, 118);
const QColor kBalloonText(32, 32, 32);

QFont BalloonFont(bool bold)
{
    return PixelFont(QStringLiteral("宋体"), 12, bold);
}

QStyle::StandardPixmap IconPixmap(TTipTool_ICON icon)
{
    switch (icon) {
    case ttInformationIcon:
        return QStyle::SP_MessageBoxInformation;
    case ttWarningIcon:
        return QStyle::SP_MessageBoxWarning;
    case ttStopIcon:
        return QStyle::SP_MessageBoxCritical;
    case ttNoneIcon:
        break;
    }
    return QStyle::SP_CustomBase;
}

} // namespace

TBalloonWindow::TBalloonWindow()
    : QWidget(nullptr,
              Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus)
{
    PrepareModuleWindows();
    setObjectName(QStringLiteral("BalloonToolTip"));
    // Shaped by a mask of its outline and drawn opaque: a translucent window
    // shows black corners on a desktop without a compositor, and a shaped
    // one looks the same with and without one.
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);
}

void TBalloonWindow::SetContent(TTipTool_ICON icon, const QString& title, const QString& text)
{
    icon_ = icon;
    title_ = title;
    text_ = text;
    update();
}

QSize TBalloonWindow::BodySize() const
{
    const QFontMetrics titleMetrics(BalloonFont(true));
    const QFontMetrics textMetrics(BalloonFont(false));
    int width = 0;
    int height = kPaddingTop + kPaddingBottom;
    if (icon_ != ttNoneIcon || !title_.isEmpty()) {
        const int iconWidth = icon_ != ttNoneIcon ? kIconSize + 6 : 0;
        width = iconWidth + titleMetrics.horizontalAdvance(title_);
        height += kTitleRowHeight;
    }
    if (!text_.isEmpty()) {
        const QRect textRect =
            textMetrics.boundingRect(QRect(0, 0, kMaxTextWidth, 10000), Qt::TextWordWrap, text_);
        width = std::max(width, textRect.width());
        height += textRect.height();
    }
    return {std::max(width, kStemWidth + 2 * kPreferredStemX) + 2 * kPaddingX, height};
}

QRect TBalloonWindow::TitleRect() const
{
    const int top = stemUp_ ? kStemHeight : 0;
    return {kPaddingX, top + kPaddingTop, width() - 2 * kPaddingX, kTitleRowHeight};
}

void TBalloonWindow::PointAt(const QPoint& point)
{
    const QSize body = BodySize();
    const QSize total(body.width(), body.height() + kStemHeight);
    QScreen* screen = QGuiApplication::screenAt(point);
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->geometry() : QRect(point - QPoint(2000, 2000), QSize(4000, 4000));

    int left = point.x() - kPreferredStemX;
    left = std::min(left, area.right() + 1 - total.width());
    left = std::max(left, area.left());
    const int stemX =
        std::clamp(point.x() - left, kCornerRadius, total.width() - kStemWidth - kStemSlant - kCornerRadius);
    left = point.x() - stemX;

    stemUp_ = point.y() + total.height() <= area.bottom() + 1;
    const int top = stemUp_ ? point.y() : point.y() - total.height() + 1;
    stemTip_ = QPoint(stemX, stemUp_ ? 0 : total.height() - 1);
    setGeometry(left, top, total.width(), total.height());
    setMask(OutlineRegion());
    update();
}

QPainterPath TBalloonWindow::Outline() const
{
    const int bodyTop = stemUp_ ? kStemHeight : 0;
    const int bodyHeight = height() - kStemHeight;
    const QRectF body(0.5, bodyTop + 0.5, width() - 1.0, bodyHeight - 1.0);
    QPainterPath outline;
    outline.addRoundedRect(body, kCornerRadius, kCornerRadius);
    QPainterPath stem;
    const qreal tipX = stemTip_.x() + 0.5;
    if (stemUp_) {
        stem.moveTo(tipX, 0.5);
        stem.lineTo(tipX + kStemSlant + kStemWidth, bodyTop + 1.5);
        stem.lineTo(tipX + kStemSlant, bodyTop + 1.5);
    } else {
        stem.moveTo(tipX, height() - 0.5);
        stem.lineTo(tipX + kStemSlant + kStemWidth, bodyHeight - 1.5);
        stem.lineTo(tipX + kStemSlant, bodyHeight - 1.5);
    }
    stem.closeSubpath();
    return outline.united(stem);
}

QRegion TBalloonWindow::OutlineRegion() const
{
    // The outline's pixels with its one-pixel border line.
    QPainterPathStroker stroker;
    stroker.setWidth(2);
    stroker.setJoinStyle(Qt::RoundJoin);
    const QPainterPath shape = Outline().united(stroker.createStroke(Outline()));
    return QRegion(shape.toFillPolygon().toPolygon(), Qt::WindingFill);
}

void TBalloonWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    // Outside the outline the mask cuts the window away; what the border
    // line blends with is the balloon's own colour.
    painter.fillRect(rect(), kBalloonBackground);
    painter.setRenderHint(QPainter::Antialiasing);
    const int bodyTop = stemUp_ ? kStemHeight : 0;
    painter.setPen(QPen(kBalloonBorder, 1));
    painter.setBrush(kBalloonBackground);
    painter.drawPath(Outline());

    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(kBalloonText);
    int textTop = bodyTop + kPaddingTop;
    if (icon_ != ttNoneIcon || !title_.isEmpty()) {
        const QRect row = TitleRect();
        int titleLeft = row.left();
        if (icon_ != ttNoneIcon) {
            const QIcon icon = style()->standardIcon(IconPixmap(icon_), nullptr, this);
            icon.paint(&painter, QRect(row.left(), row.top() + (row.height() - kIconSize) / 2 - 2, kIconSize,
                                       kIconSize));
            titleLeft += kIconSize + 6;
        }
        painter.setFont(BalloonFont(true));
        painter.drawText(QRect(titleLeft, row.top(), row.right() - titleLeft, row.height() - 4),
                         Qt::AlignLeft | Qt::AlignVCenter, title_);
        textTop += kTitleRowHeight;
    }
    if (!text_.isEmpty()) {
        painter.setFont(BalloonFont(false));
        painter.drawText(QRect(kPaddingX, textTop, width() - 2 * kPaddingX, height() - textTop),
                         Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop, text_);
    }
}

QObject* TToolTip::CheckedOwner(QObject* owner)
{
    if (!qobject_cast<QWidget*>(owner))
        throw std::invalid_argument("TToolTip's owner must be a 'TWinControl' type.");
    return owner;
}

TToolTip::TToolTip(QObject* owner)
    : QObject(CheckedOwner(owner)), balloon_(std::make_unique<TBalloonWindow>())
{
    hideTimer_ = new QTimer(this);
    hideTimer_->setSingleShot(false);
    connect(hideTimer_, &QTimer::timeout, this, [this] { Expire(); });
}

void TToolTip::Expire()
{
    HideBalloon();
    RestoreTargetHint();
    shown_ = false;
    hideTimer_->stop();
}

TToolTip::~TToolTip()
{
    if (watchedWindow_)
        watchedWindow_->removeEventFilter(this);
    HideBalloon();
    RestoreTargetHint();
    hideTimer_->stop();
}

void TToolTip::SetText(const QString& text)
{
    text_ = text;
    balloon_->SetContent(icon_, title_, text_);
}

void TToolTip::SetTitle(const QString& title)
{
    title_ = title;
    balloon_->SetContent(icon_, title_, text_);
}

void TToolTip::SetICON(TTipTool_ICON icon)
{
    icon_ = icon;
    balloon_->SetContent(icon_, title_, text_);
}

bool TToolTip::HideTimerActive() const
{
    return hideTimer_->isActive();
}

void TToolTip::ShowBalloon(QWidget* target, TTipTool_ICON icon, const QString& text, const QString& title)
{
    SetICON(icon);
    SetTitle(title);
    SetText(text);
    ShowAt(target);
}

QPoint TToolTip::BalloonPoint(const QRect& windowRect, TTipAlignment alignment)
{
    const int left = windowRect.x();
    const int top = windowRect.y();
    const int right = windowRect.x() + windowRect.width();
    const int bottom = windowRect.y() + windowRect.height();
    const int y = top + (bottom - top) / 2 + 5;
    switch (alignment) {
    case taClosewithLeft:
        return {left + 15, y};
    case taCenter:
        return {left + (right - left) / 2, y};
    case taRight:
        return {right, y};
    case taLeft:
        break;
    }
    return {left, y};
}

void TToolTip::ShowAt(QWidget* target)
{
    if (!target)
        return;
    if (target_ != target)
        RestoreTargetHint();
    target_ = target;
    // The control's ordinary tool tip would cover the balloon.
    if (!targetHintOff_ && !target->toolTip().isEmpty()) {
        targetHint_ = target->toolTip();
        target->setToolTip(QString());
        targetHintOff_ = true;
    }
    WatchWindowOf(target);
    Reposition();
    balloon_->show();
    balloon_->raise();
    shown_ = true;
    RestartHideTimer();
}

void TToolTip::Reposition()
{
    if (!target_)
        return;
    const QRect windowRect(target_->mapToGlobal(QPoint(0, 0)), target_->size());
    balloon_->PointAt(BalloonPoint(windowRect, alignment_));
}

void TToolTip::WatchWindowOf(QWidget* target)
{
    QWidget* window = target->window();
    if (watchedWindow_ == window)
        return;
    if (watchedWindow_)
        watchedWindow_->removeEventFilter(this);
    watchedWindow_ = window;
    window->installEventFilter(this);
}

bool TToolTip::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == watchedWindow_ && shown_) {
        // A dragged window takes its balloon along, so that the balloon never
        // stays behind over other controls; a hidden one takes it away.
        if (event->type() == QEvent::Move || event->type() == QEvent::Resize)
            Reposition();
        else if (event->type() == QEvent::Hide ||
                 (event->type() == QEvent::WindowStateChange && watchedWindow_->isMinimized()))
            Expire();
    }
    return QObject::eventFilter(watched, event);
}

void TToolTip::RestartHideTimer()
{
    hideTimer_->stop();
    if (interval_ != 0 && shown_)
        hideTimer_->start(interval_);
}

void TToolTip::HideBalloon()
{
    if (balloon_)
        balloon_->hide();
}

void TToolTip::RestoreTargetHint()
{
    if (targetHintOff_ && target_)
        target_->setToolTip(targetHint_);
    targetHintOff_ = false;
    targetHint_.clear();
}

} // namespace priv
