#include "ui/window_utils.h"

#include <QApplication>
#include <QImage>
#include <QPalette>
#include <QWidget>

#include <cmath>
#include <mutex>

// The images are compiled into the static window library; a static library
// registers them only when asked.
static void RegisterModuleImages()
{
    Q_INIT_RESOURCE(privui);
}

namespace priv {

void PrepareModuleWindows()
{
    static std::once_flag prepared;
    std::call_once(prepared, [] {
        InstallFontSubstitutions();
        RegisterModuleImages();
    });
}

QIcon ModuleIcon(const QString& name)
{
    PrepareModuleWindows();
    return QIcon(QStringLiteral(":/privui/images/%1.png").arg(name));
}

void InstallFontSubstitutions()
{
    static std::once_flag installed;
    std::call_once(installed, [] {
        const QString cjk = QString::fromLatin1(kCjkFontFamily);
        for (const char* name : {"宋体", "黑体", "SimSun", "SimHei", "新宋体", "NSimSun"})
            QFont::insertSubstitution(QString::fromUtf8(name), cjk);
    });
}

QFont PixelFont(const QString& family, int pixelSize, bool bold)
{
    QFont font(family);
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

QColor HostColorToQColor(HostColor color)
{
    if ((color & 0xFF000000u) == 0xFF000000u) {
        // System colour by index, as the original toolkit encodes clBtnFace & co.
        const QPalette palette = QApplication::palette();
        switch (color & 0xFFu) {
        case 5:
            return palette.color(QPalette::Base); // window
        case 7:
            return palette.color(QPalette::WindowText); // menu text
        case 8:
            return palette.color(QPalette::Text); // window text
        case 9:
            return palette.color(QPalette::HighlightedText); // caption text
        case 13:
            return palette.color(QPalette::Highlight); // highlight
        case 14:
            return palette.color(QPalette::HighlightedText); // highlight text
        case 15:
            return palette.color(QPalette::Button); // button face
        case 16:
            return palette.color(QPalette::Dark); // button shadow
        case 17:
            return palette.color(QPalette::Disabled, QPalette::Text); // grey text
        case 18:
            return palette.color(QPalette::ButtonText); // button text
        case 20:
            return palette.color(QPalette::Light); // button highlight
        case 21:
            return palette.color(QPalette::Shadow); // 3D dark shadow
        case 22:
            return palette.color(QPalette::Midlight); // 3D light
        case 23:
            return palette.color(QPalette::ToolTipText); // info text
        case 24:
            return palette.color(QPalette::ToolTipBase); // info background
        default:
            return palette.color(QPalette::Window);
        }
    }
    return QColor(static_cast<int>(color & 0xFFu), static_cast<int>((color >> 8) & 0xFFu),
                  static_cast<int>((color >> 16) & 0xFFu));
}

void ApplyHostWindowSkin(QWidget* window)
{
    Host& host = CurrentHost();
    QFont windowFont = window->font();
    if (host.giSysFontSize() > 0)
        windowFont.setPointSize(host.giSysFontSize());
    window->setFont(windowFont);
    // Qt chooses glyphs by the text itself; the character set is kept for
    // controls and hosts that ask for it.
    window->setProperty("fontCharSet", host.giSysFontCharSet());

    QPalette windowPalette = window->palette();
    const QColor fontColor = HostColorToQColor(host.gclSysFontColor());
    // The font colour is for controls in use; disabled ones keep the greyed
    // text of the style, so that a disabled button looks disabled.
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        windowPalette.setColor(group, QPalette::WindowText, fontColor);
        windowPalette.setColor(group, QPalette::Text, fontColor);
        windowPalette.setColor(group, QPalette::ButtonText, fontColor);
    }
    windowPalette.setColor(QPalette::Window, HostColorToQColor(host.gclModuleBackColor()));
    window->setPalette(windowPalette);
    window->setAutoFillBackground(true);
}

void FillBand(QWidget* band, const QColor& color)
{
    QPalette bandPalette = band->palette();
    bandPalette.setColor(QPalette::Window, color);
    bandPalette.setColor(QPalette::Button, color);
    band->setPalette(bandPalette);
    band->setAutoFillBackground(true);
}

bool ForceForeground(QWidget* window)
{
    if (!window)
        return false;
    QWidget* top = window->window();
    if (top->isMinimized())
        top->showNormal();
    if (top->isActiveWindow())
        return true;
    top->raise();
    top->activateWindow();
    // The platform reports the activation through its event queue.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    return top->isActiveWindow();
}

void ClearImeNames(QWidget* window)
{
    if (!window)
        return;
    for (QWidget* control : window->findChildren<QWidget*>())
        control->setProperty("imeName", QString());
}

QColor BlendColor(const QColor& a, const QColor& b, int alpha)
{
    const float x = static_cast<float>(alpha) / 255.0f;
    const float rest = 1.0f - x;
    const auto channel = [&](int ca, int cb) {
        const float value = static_cast<float>(ca) * x + static_cast<float>(cb) * rest;
        return static_cast<int>(std::nearbyint(value));
    };
    const QColor ra = a.toRgb();
    const QColor rb = b.toRgb();
    return QColor(channel(ra.red(), rb.red()), channel(ra.green(), rb.green()),
                  channel(ra.blue(), rb.blue()));
}

void DrawDropShadow(QImage& canvas, const QRect& rect, int width, const QColor& shadow)
{
    if (width <= 0 || canvas.isNull())
        return;
    const int l = rect.x();
    const int t = rect.y();
    const int r = rect.x() + rect.width();
    const int b = rect.y() + rect.height();
    const int step = 128 / width;

    for (int i = 1; i <= width; ++i) {
        const int alpha = 128 - (i - 1) * step;
        const auto shade = [&](int x, int y) {
            if (!canvas.valid(x, y))
                return;
            const QColor blended = BlendColor(shadow, QColor::fromRgb(canvas.pixel(x, y)), alpha);
            canvas.setPixel(x, y, blended.rgb());
        };
        // Bottom edge: fades in diagonally 2w pixels from the left end.
        for (int y = b - 1; y <= b + i - 2; ++y)
            shade(l + 2 * width - i, y);
        shade(l + 2 * width - i + 1, b + i - 2);
        for (int x = l + 2 * width - i + 1; x <= r + i - 2; ++x)
            shade(x, b + i - 1);
        shade(r + i - 2, b + i - 2);
        // Right edge: fades in diagonally 2w pixels from the top.
        for (int x = r - 1; x <= r + i - 2; ++x)
            shade(x, t + 2 * width - i);
        shade(r + i - 2, t + 2 * width - i + 1);
        for (int y = t + 2 * width - i + 1; y <= b + i - 2; ++y)
            shade(r + i - 1, y);
    }
}

} // namespace priv
