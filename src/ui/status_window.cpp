#include "ui/status_window.h"

#include "boundary/status_display.h"
#include "ui/window_utils.h"
#include "ui/zorv_animator.h"
#include "ui/zorv_image_list.h"

#include "ui_status_window.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>

namespace priv {

QImage StatusStripFrame(int index)
{
    constexpr int kWidth = 94;
    constexpr int kHeight = 7;
    constexpr int kStripePeriod = 16;
    QImage frame(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    frame.fill(Qt::transparent);
    QPainter painter(&frame);
    painter.setRenderHint(QPainter::Antialiasing);

    QPainterPath track;
    track.addRoundedRect(QRectF(0.5, 0.5, kWidth - 1, kHeight - 1), 3, 3);
    painter.fillPath(track, QColor(214, 233, 248));

    // Slanted stripes, a quarter period further right in each frame.
    painter.save();
    painter.setClipPath(track);
    const int offset = (index % 4) * (kStripePeriod / 4);
    for (int x = -2 * kStripePeriod + offset; x < kWidth + kStripePeriod; x += kStripePeriod) {
        QPainterPath stripe;
        stripe.moveTo(x, kHeight);
        stripe.lineTo(x + 8, kHeight);
        stripe.lineTo(x + 8 + kHeight, 0);
        stripe.lineTo(x + kHeight, 0);
        stripe.closeSubpath();
        painter.fillPath(stripe, QColor(86, 156, 219));
    }
    // A soft highlight along the top gives the bar some depth.
    painter.fillRect(QRectF(0, 1, kWidth, 1.5), QColor(255, 255, 255, 70));
    painter.restore();

    painter.setPen(QPen(QColor(122, 172, 212), 1));
    painter.drawPath(track);
    return frame;
}

Tfrm_Status::Tfrm_Status(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      ui(std::make_unique<Ui::Tfrm_Status>())
{
    PrepareModuleWindows();
    ui->setupUi(this);
    setFixedSize(278, 73);
    setFont(PixelFont(QStringLiteral("宋体"), 11));
    setAttribute(Qt::WA_ShowWithoutActivating);
    // The window paints every pixel itself from its picture (the background
    // is not erased, so the shadow is not painted over).
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAutoFillBackground(false);

    QPalette windowPalette = palette();
    windowPalette.setColor(QPalette::Window, WindowColor());
    setPalette(windowPalette);
    ui->lblStatus->setFont(PixelFont(QStringLiteral("宋体"), 12));

    imageListAff_ = new TZorvImageList(94, 7, this);
    imageListAff_->setObjectName(QStringLiteral("ImageListAff"));
    for (int i = 0; i < 4; ++i)
        imageListAff_->Add(StatusStripFrame(i));

    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = geometry();
        frame.moveCenter(screen->geometry().center());
        move(frame.topLeft());
    }
}

Tfrm_Status::~Tfrm_Status() = default;

void Tfrm_Status::SetStatusText(const QString& text)
{
    ui->lblStatus->setText(text);
}

QString Tfrm_Status::StatusText() const
{
    return ui->lblStatus->text();
}

void Tfrm_Status::SetProgress(int done, int total)
{
    ui->lblProgress->setText(QStringLiteral("%1 / %2").arg(done).arg(total));
}

QString Tfrm_Status::ProgressText() const
{
    return ui->lblProgress->text();
}

void Tfrm_Status::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    FormShow();
}

void Tfrm_Status::FormShow()
{
    if (!strip_) {
        strip_ = new TZorvAnimator(ui->Panel1);
        strip_->setObjectName(QStringLiteral("ProgressStrip"));
        strip_->setVisible(false);
        strip_->SetAnimate(false);
        strip_->setGeometry(0, 0, 0, 0);
        strip_->SetImageList(imageListAff_);
        strip_->SetDelay(50);
        strip_->SetTransparent(true);
    }
    strip_->setVisible(true);
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    strip_->setGeometry(90, 48, 94, 7);
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    strip_->SetAnimate(true);
}

void Tfrm_Status::paintEvent(QPaintEvent*)
{
    if (paintCount_ == 0) {
        // The shadow is blended in once; later paints show the same picture
        // instead of darkening it again.
        canvas_ = QImage(size(), QImage::Format_RGB32);
        canvas_.fill(WindowColor());
        DrawDropShadow(canvas_, ui->Panel1->geometry(), kShadowWidth, Qt::black);
        paintCount_ = 1;
    }
    QPainter painter(this);
    painter.drawImage(0, 0, canvas_);
}

namespace {

// The one status window of the module. A window still open when the
// application has gone is left alone: Qt can no longer destroy it.
struct StatusWindowSlot {
    std::unique_ptr<Tfrm_Status> window;
    ~StatusWindowSlot()
    {
        if (!QCoreApplication::instance())
            (void)window.release();
    }
};

StatusWindowSlot& Slot()
{
    static StatusWindowSlot slot;
    return slot;
}

class StatusWindowDisplay final : public StatusDisplay {
public:
    void ShowStatus(const std::string& text) override { priv::ShowStatus(text); }
    void HideStatus() override { priv::HideStatus(); }
    void ShowProgress(int done, int total) override { ShowStatusProgress(done, total); }
};

// Made on first use: loading the library runs no constructor of it.
StatusDisplay& WindowDisplay()
{
    static StatusWindowDisplay display;
    return display;
}

} // namespace

void ShowStatus(const std::string& text)
{
    StatusWindowSlot& slot = Slot();
    if (!slot.window)
        slot.window = std::make_unique<Tfrm_Status>();
    slot.window->show();
    slot.window->SetStatusText(QString::fromStdString(text));
    slot.window->repaint();
}

void ShowStatusProgress(int done, int total)
{
    Tfrm_Status* window = Slot().window.get();
    if (!window)
        return;
    window->SetProgress(done, total);
    window->repaint();
}

void HideStatus()
{
    StatusWindowSlot& slot = Slot();
    if (!slot.window)
        return;
    // A window still open when the application has gone is left alone: Qt
    // can no longer close or destroy it.
    if (!QCoreApplication::instance()) {
        (void)slot.window.release();
        return;
    }
    slot.window->close();
    slot.window.reset();
}

Tfrm_Status* CurrentStatusWindow()
{
    return Slot().window.get();
}

StatusDisplay& StatusWindowDisplay()
{
    return WindowDisplay();
}

void InstallStatusWindow()
{
    SetStatusDisplay(&WindowDisplay());
}

void UninstallStatusWindow()
{
    HideStatus();
    SetStatusDisplay(nullptr);
}

} // namespace priv
