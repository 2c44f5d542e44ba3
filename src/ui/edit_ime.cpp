#include "ui/edit_ime.h"

#include "boundary/host.h"
#include "ui/window_utils.h"

#include <QAbstractSpinBox>
#include <QComboBox>
#include <QEvent>
#include <QLineEdit>

#include <array>

namespace priv {
namespace {

constexpr std::array<const char*, 12> kModeNames = {"imDisable", "imClose",   "imOpen",     "imDontCare",
                                                    "imSAlpha",  "imAlpha",   "imHira",     "imSKata",
                                                    "imKata",    "imChinese", "imSHanguel", "imHanguel"};

constexpr const char* kHookedProperty = "imeEnterHooked";

constexpr Qt::InputMethodHints kLatinHints = Qt::ImhLatinOnly | Qt::ImhPreferLatin;

} // namespace

QString ImeModeText(ImeMode mode)
{
    return QString::fromLatin1(kModeNames[static_cast<std::size_t>(mode)]);
}

ImeMode ImeModeFromText(const QString& text)
{
    for (std::size_t i = 0; i < kModeNames.size(); ++i)
        if (text == QLatin1String(kModeNames[i]))
            return static_cast<ImeMode>(i);
    return ImeMode::DontCare;
}

ImeMode GetImeMode(const QWidget* control)
{
    return ImeModeFromText(control->property(kImeModeProperty).toString());
}

void SetImeMode(QWidget* control, ImeMode mode)
{
    control->setProperty(kImeModeProperty, ImeModeText(mode));
}

QString GetImeName(const QWidget* control)
{
    return control->property(kImeNameProperty).toString();
}

void MarkOwnEnterHandler(QLineEdit* edit)
{
    edit->setProperty(kOwnEnterHandlerProperty, true);
}

bool HasOwnEnterHandler(const QLineEdit* edit)
{
    return edit->property(kOwnEnterHandlerProperty).toBool();
}

bool IsFormEditBox(const QObject* object)
{
    const auto* edit = qobject_cast<const QLineEdit*>(object);
    if (!edit)
        return false;
    const QObject* parent = edit->parent();
    return !qobject_cast<const QComboBox*>(parent) && !qobject_cast<const QAbstractSpinBox*>(parent);
}

void EditImeHook::Hook(QWidget* window)
{
    for (QLineEdit* edit : window->findChildren<QLineEdit*>()) {
        if (!IsFormEditBox(edit))
            continue;
        window->setProperty(kImeNameProperty, QString());
        if (HasOwnEnterHandler(edit) || edit->property(kHookedProperty).toBool())
            continue;
        edit->setProperty(kHookedProperty, true);
        edit->installEventFilter(this);
    }
}

bool EditImeHook::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusIn)
        RunGuarded([watched] { EditImeEnter(watched); });
    return QObject::eventFilter(watched, event);
}

void EditImeEnter(QObject* sender)
{
    if (!IsFormEditBox(sender))
        return;
    auto* edit = static_cast<QLineEdit*>(sender);
    const ImeMode mode = GetImeMode(edit);
    if (mode == ImeMode::Open || mode == ImeMode::Chinese) {
        const std::string name = CurrentHost().GetUserConfigParam(kImeSection, kImeKey, kImeDefaultName);
        SetImeMode(edit, ImeMode::Open);
        edit->setProperty(kImeNameProperty, QString::fromStdString(name));
        edit->setInputMethodHints(edit->inputMethodHints() & ~kLatinHints);
    } else {
        SetImeMode(edit, ImeMode::Close);
        edit->setProperty(kImeNameProperty, QString::fromUtf8(kEnglishImeName));
        edit->setInputMethodHints(edit->inputMethodHints() | kLatinHints);
    }
}

} // namespace priv
