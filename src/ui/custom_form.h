// Page windows: the base of every administration window that the host shows
// inside one of its pages (or free-standing), with the tool bar along the top.
//
// Creation happens in two steps. The constructor takes the host context and
// the window's function code, so a page reports the function that was
// current when it was made. The rest of the creation - the skin and the
// input methods of the edit boxes, which need the descendant's controls and
// its own version of ApplySkinScheme - runs in FormCreate, once, when the
// window is first polished (just before it is first shown) or when
// EnsureFormCreated is called. Descendants extend FormCreate (calling the
// base first) for creation steps of their own, and build their controls in
// their constructor on ClientArea() and ModuleToolbar().
#pragma once

#include "boundary/host.h"
#include "ui/host_context.h"
#include "ui/window_binding.h"

#include <QMargins>
#include <QPoint>
#include <QSize>
#include <QWidget>

#include <memory>
#include <string>

class QAction;
class QIcon;
class QKeyEvent;
class QToolBar;
class QToolButton;

namespace Ui {
class Tfrm_Custom;
}

namespace priv {

class Tfrm_Custom : public QWidget {
    Q_OBJECT
public:
    // Made without a parent, as a window owned by the application; the host's
    // page becomes its parent when ShowModuleForm embeds it.
    explicit Tfrm_Custom(QWidget* parent = nullptr);
    ~Tfrm_Custom() override;

    // Font, colours and the host's own skinning of the controls. Called at
    // creation and whenever the host announces a new skin.
    virtual void ApplySkinScheme();
    // Gives every edit box without an entering handler of its own the input
    // method of its mode when it is entered (see edit_ime.h).
    void HookEditIme();

    const HostContext& Context() const { return binding_->Context(); }
    // The function code that was current when the window was made; reported
    // to the host when the window is destroyed.
    const std::string& FuncCode() const { return binding_->FuncCode(); }

    // Runs FormCreate now unless it ran already.
    void EnsureFormCreated();

    QToolBar* ModuleToolbar() const;
    // The area under the tool bar that descendants fill with their controls.
    QWidget* ClientArea() const;

    // A tool bar button, list style, 24 x 24 image beside the caption,
    // `width` x 30 pixels.
    QToolButton* AddToolButton(const QString& objectName, const QString& text, const QIcon& icon,
                               int width = kToolButtonWidth);
    QToolButton* AddToolButton(const QString& objectName, QAction* action, int width = kToolButtonWidth);
    void AddToolSeparator();
    // Shows or hides a tool bar button (a tool bar hides its buttons through
    // their actions; QWidget::setVisible on the button has no effect there).
    void SetToolButtonVisible(QToolButton* button, bool visible);

    // A page's size as the host's desktop counts a form's size: the outer
    // size, frame and title bar included. The window takes it as its size at
    // once (right for an embedded page and for a window without a frame);
    // when it is shown free-standing, its client area shrinks by the frame
    // that the window manager puts around it, once, as soon as that frame is
    // known. 542 x 373 unless a descendant sets its own.
    void SetOuterSize(const QSize& size);
    // For a page whose form size is the size of its client area: the window
    // takes that size and keeps it whatever its frame.
    void SetClientSize(const QSize& size);
    // The outer size; empty for a page sized by its client area.
    QSize OuterSize() const { return outerSize_; }

    static constexpr int kToolButtonWidth = 85;
    static constexpr int kToolButtonHeight = 30;
    static constexpr QSize kDefaultOuterSize{542, 373};

protected:
    // The creation steps after the host context: ApplySkinScheme, HookEditIme.
    virtual void FormCreate();
    // Keys the window sees before its controls keep them: F1 asks the host
    // for help. Descendants extend it.
    virtual void FormKeyDown(QKeyEvent* event);

    void InitHostContext();

    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

    std::unique_ptr<Ui::Tfrm_Custom> formUi;

private:
    // A free-standing window with an outer size watches its platform window
    // for the frame; KeepOuterSize gives it the outer size once the frame is
    // known.
    void WatchForFrame();
    void KeepOuterSize();

    std::unique_ptr<TWindowBinding> binding_;
    QSize outerSize_;
    // Where the frame's top left corner was when the window was shown.
    QPoint framePosition_;
    bool outerSizeKept_ = false;
};

// The client size that makes a window of `outer` size once the window
// manager has put `frame` around it; at least one pixel each way, however
// wide the frame.
QSize ClientSizeForOuterSize(const QSize& outer, const QMargins& frame);

// Puts a page window on screen and returns at once; the window frees itself
// when it closes.
// With a `parent` (the host's page container): the window becomes the
// container's child and fills it (through the container's layout, which is
// made when the container has none), is shown, and - when the parameter
// string has a "ModalFormMsg" value - announces itself to the host's main
// window with CD_PAGE_OPENED: value|handle|0|1 (0 at the end when
// `lastFlag` is false), the handle being WindowHandleText(window).
// Without a parent: the window - its frame at its outer size, when it has
// one - is centred on the host's main window, stays on top and is shown;
// nothing is announced.
// Failures while showing are swallowed; the window stays as far as it got.
void ShowModuleForm(QWidget* parent, Tfrm_Custom* window, const std::string& paramString, bool lastFlag);

} // namespace priv
