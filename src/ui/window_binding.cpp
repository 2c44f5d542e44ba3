#include "ui/window_binding.h"

#include "ui/edit_ime.h"
#include "ui/host_messages.h"
#include "ui/window_utils.h"

#include <QEvent>
#include <QWidget>

#include <utility>

namespace priv {

TWindowBinding::TWindowBinding(QWidget* window, Kind kind, std::function<void()> applySkin,
                               std::function<void()> formCreate)
    : window_(window), kind_(kind), applySkin_(std::move(applySkin)), formCreate_(std::move(formCreate)),
      imeHook_(new EditImeHook(window))
{
    CaptureContext();
    funcCode_ = context_.curFuncCode;
}

void TWindowBinding::CaptureContext()
{
    context_ = CaptureHostContext(kind_ == Kind::Page);
}

void TWindowBinding::HookEditIme()
{
    imeHook_->Hook(window_);
}

void TWindowBinding::EnsureCreated()
{
    if (created_)
        return;
    created_ = true;
    formCreate_();
}

void TWindowBinding::CreateSteps()
{
    applySkin_();
    HookEditIme();
}

bool TWindowBinding::HandleHostEvent(QEvent* event)
{
    if (event->type() == HostMessageType(WM_MODULE_SKIN)) {
        RunGuarded([this] {
            applySkin_();
            HookEditIme();
        });
        return true;
    }
    if (event->type() == QEvent::Polish)
        RunGuarded([this] { EnsureCreated(); });
    return false;
}

} // namespace priv
