// Input methods of edit boxes. Each edit box of a base window records an
// input-method mode and name as dynamic properties (kept as on the original
// desktop so that forms and the host speak of them the same way) and gets the
// matching Qt input-method hints while it has the focus:
//   closed / English -> Qt::ImhLatinOnly | Qt::ImhPreferLatin
//   open / Chinese   -> no Latin restriction (the user's Chinese input method)
#pragma once

#include <QObject>
#include <QString>

class QLineEdit;
class QWidget;

namespace priv {

// The input-method modes of the original toolkit; forms write them as text
// ("imOpen", "imChinese" ...) in the dynamic property "imeMode".
enum class ImeMode {
    Disable,
    Close,
    Open,
    DontCare,
    SAlpha,
    Alpha,
    Hira,
    SKata,
    Kata,
    Chinese,
    SHanguel,
    Hanguel
};

inline constexpr const char* kImeModeProperty = "imeMode";
inline constexpr const char* kImeNameProperty = "imeName";
// Set to true (in the form or with MarkOwnEnterHandler) on an edit box that
// handles entering itself; such a box keeps its handler and gets no
// input-method switching.
inline constexpr const char* kOwnEnterHandlerProperty = "hasOwnEnterHandler";

// The name given to a box in closed mode.
inline constexpr const char* kEnglishImeName = "英语";
// The user setting that names the Chinese input method, and its default.
inline constexpr const char* kImeSection = "RunParameter";
inline constexpr const char* kImeKey = "SysIME";
inline constexpr const char* kImeDefaultName = "-请选择-";

QString ImeModeText(ImeMode mode);
// Unknown or missing text reads as DontCare, the toolkit's default.
ImeMode ImeModeFromText(const QString& text);

ImeMode GetImeMode(const QWidget* control);
void SetImeMode(QWidget* control, ImeMode mode);
QString GetImeName(const QWidget* control);

void MarkOwnEnterHandler(QLineEdit* edit);
bool HasOwnEnterHandler(const QLineEdit* edit);

// A form's own edit box: a QLineEdit that is not the inner editor of a
// drop-down or spin box.
bool IsFormEditBox(const QObject* object);

// Gives edit boxes EditImeEnter when they receive the focus. One per window.
class EditImeHook final : public QObject {
    Q_OBJECT
public:
    explicit EditImeHook(QObject* parent) : QObject(parent) {}

    // Walks the window's edit boxes: clears the window's own input-method
    // name and hooks every box that has no entering handler of its own.
    // Running it again changes nothing more.
    void Hook(QWidget* window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

// Sets the input method of an edit box that is being entered: open or Chinese
// mode takes the user's configured system input method, every other mode
// becomes closed with the name "英语". Anything but a form edit box is ignored.
void EditImeEnter(QObject* sender);

} // namespace priv
