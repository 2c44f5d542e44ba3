// What binds a module window to its host, the same for page windows and
// dialogs, so that the two base windows take these steps in one place: the
// host context captured when the window is made (with the function code the
// window belongs to), the input methods of its edit boxes, the creation run
// once, and the host's announcement of a new skin. Each base window owns one.
#pragma once

#include "ui/host_context.h"

#include <functional>
#include <string>

class QEvent;
class QWidget;

namespace priv {

class EditImeHook;

class TWindowBinding final {
public:
    enum class Kind { Page, Dialog };

    // Captures the host context (the two parent forms only for a page) and
    // the current function code, and gives `window` its input-method hook.
    // `applySkin` and `formCreate` are the window's own (virtual) steps; they
    // are called only once the window is fully made.
    TWindowBinding(QWidget* window, Kind kind, std::function<void()> applySkin,
                   std::function<void()> formCreate);
    TWindowBinding(const TWindowBinding&) = delete;
    TWindowBinding& operator=(const TWindowBinding&) = delete;

    const HostContext& Context() const { return context_; }
    const std::string& FuncCode() const { return funcCode_; }

    // Reads the host context afresh; the function code stays the one the
    // window was made with.
    void CaptureContext();
    // Gives the window's edit boxes the input method of their mode.
    void HookEditIme();
    // Runs the window's FormCreate unless it ran already.
    void EnsureCreated();
    // The creation steps of every base window: its skin, the input methods
    // of its edit boxes, and its controls published to accessibility.
    void CreateSteps();
    // The host's skin announcement re-skins the window and hooks its edit
    // boxes again (true: the event is done with); the first polish runs the
    // creation (false: the event goes on).
    bool HandleHostEvent(QEvent* event);

private:
    QWidget* window_;
    Kind kind_;
    std::function<void()> applySkin_;
    std::function<void()> formCreate_;
    HostContext context_;
    std::string funcCode_;
    EditImeHook* imeHook_;
    bool created_ = false;
};

} // namespace priv
