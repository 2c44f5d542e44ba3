// Small helpers every window of the module shares: fonts, the host's colours,
// bringing a window to the front, input-method names, and the colour blending
// and drop shadow of the status window.
#pragma once

#include "boundary/host.h"

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QRect>

class QImage;
class QWidget;

namespace priv {

// The window fonts of the module are named as on the original desktop
// ("宋体", "黑体"); Linux has neither. Maps both (and their Latin names) to the
// installed CJK font so that sizes and metrics come from a font that has the
// glyphs. Runs once; every window constructor calls it.
void InstallFontSubstitutions();

// Everything the module's windows need before the first one is made: the
// font substitutions and the module's images. Runs once; every window
// constructor calls it.
void PrepareModuleWindows();

// One of the module's tool bar images by name ("add", "delete", "edit",
// "find", "post", "privilege", "department", "save", "back", "close",
// "refresh"; 24 x 24) or page button ("page_max", "page_restore",
// "page_close"; 19 x 19). Forms reach the same files as
// ":/privui/images/NAME.png".
QIcon ModuleIcon(const QString& name);

// Runs work of a window's event handler: a failure (the host gone, a host
// service failing) cannot travel on through Qt's event loop, so it ends the
// work there and the event is done with.
template <class Work> void RunGuarded(Work&& work) noexcept
{
    try {
        work();
    } catch (...) {
    }
}

// The CJK font that stands in for "宋体" and "黑体".
inline constexpr const char* kCjkFontFamily = "WenQuanYi Micro Hei";

// A font as the forms name it: family and height in pixels.
QFont PixelFont(const QString& family, int pixelSize, bool bold = false);

// A host colour (0x00BBGGRR) as a QColor. Colours with the high byte 0xFF
// are system colours by index (button face, window, window text ...) and take
// the matching colour of the application's palette.
QColor HostColorToQColor(HostColor color);

// Restores a minimised window, raises it and makes it the active window.
// Returns whether it is the active window afterwards.
bool ForceForeground(QWidget* window);

// What every base window takes from the host's skin: the font size and
// character set, the font colour and the module background colour.
void ApplyHostWindowSkin(QWidget* window);

// Fills a band of a window (tool bar, title band, panel) with one colour.
void FillBand(QWidget* band, const QColor& color);

// Clears the input-method name of every control of the window, so that the
// input method the user has switched to stays in force. A null window is
// ignored.
void ClearImeNames(QWidget* window);

// Per channel a × x + b × (1 − x) with x = alpha / 255 held in single
// precision, rounded to the nearest integer (halves to even).
QColor BlendColor(const QColor& a, const QColor& b, int alpha);

// A soft shadow of `width` rings outside the right and bottom edges of `rect`,
// starting 2 × width pixels from its left and top. `rect` is taken with
// exclusive right and bottom: R = x + width, B = y + height. Ring i (1 ..
// width) blends `shadow` over the pixels already on the canvas with alpha
// 128 − (i − 1) × (128 div width). Pixels outside the canvas are skipped; a
// width of 0 or less draws nothing. The canvas must be a 32-bit image.
void DrawDropShadow(QImage& canvas, const QRect& rect, int width, const QColor& shadow);

} // namespace priv
