#include "ui/custom_form.h"

#include "boundary/param_string.h"
#include "ui/host_messages.h"
#include "ui/main_frame_channel.h"
#include "ui/window_utils.h"

#include "ui_custom_form.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QProxyStyle>
#include <QScreen>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWindow>

#include <algorithm>

namespace priv {
namespace {

// The tool bar holds its 30-pixel buttons without margins of its own, so
// that it is exactly as high as they are and the page starts right below.
class TFlatToolBarStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;
    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override
    {
        switch (metric) {
        case PM_ToolBarItemMargin:
        case PM_ToolBarFrameWidth:
        case PM_ToolBarItemSpacing:
        case PM_ToolBarSeparatorExtent:
            return metric == PM_ToolBarSeparatorExtent ? 6 : 0;
        default:
            return QProxyStyle::pixelMetric(metric, option, widget);
        }
    }
};

} // namespace

Tfrm_Custom::Tfrm_Custom(QWidget* parent)
    : QWidget(parent, Qt::Window), formUi(std::make_unique<Ui::Tfrm_Custom>())
{
    PrepareModuleWindows();
    formUi->setupUi(this);
    setFont(PixelFont(QStringLiteral("宋体"), 12));
    auto* toolBarStyle = new TFlatToolBarStyle(QApplication::style()->name());
    toolBarStyle->setParent(formUi->ModuleToolbar);
    formUi->ModuleToolbar->setStyle(toolBarStyle);
    formUi->ModuleToolbar->setFixedHeight(kToolButtonHeight);
    SetOuterSize(kDefaultOuterSize);
    // Close action "free": a closed page window is destroyed.
    setAttribute(Qt::WA_DeleteOnClose);
    binding_ = std::make_unique<TWindowBinding>(
        this, TWindowBinding::Kind::Page, [this] { ApplySkinScheme(); }, [this] { FormCreate(); });
}

Tfrm_Custom::~Tfrm_Custom()
{
    // The page's life ends here for the host too; it learns which function
    // the page belonged to. Nothing may escape a destructor.
    try {
        SendMainFrameData(CD_PAGE_CLOSED, binding_->FuncCode());
    } catch (...) {
    }
}

void Tfrm_Custom::SetOuterSize(const QSize& size)
{
    outerSize_ = size;
    resize(size);
}

void Tfrm_Custom::SetClientSize(const QSize& size)
{
    outerSize_ = QSize();
    resize(size);
}

// The desktop the module was designed for counts a form's width and height
// with its frame and title bar, so a free-standing page must come out at its
// outer size, not larger by the frame. The frame is known only once the
// window manager has framed the window, which on X is a moment after it was
// mapped and may bring no move or resize of the window itself: the platform
// window is watched from the show on, and when it is first exposed, moved or
// resized with a frame, the client area becomes the outer size less the
// frame, once, with the frame's top left corner where ShowModuleForm put it.
// A user resizing the window later is not fought.
void Tfrm_Custom::WatchForFrame()
{
    if (outerSizeKept_ || !outerSize_.isValid() || !isWindow() || !windowHandle())
        return;
    framePosition_ = pos();
    windowHandle()->installEventFilter(this);
    KeepOuterSize();
}

void Tfrm_Custom::KeepOuterSize()
{
    QWindow* window = windowHandle();
    if (outerSizeKept_ || !window || !isWindow())
        return;
    const QMargins frame = window->frameMargins();
    // Not framed yet, or never (no window manager): the size is right as it is.
    if (frame.isNull())
        return;
    outerSizeKept_ = true;
    window->removeEventFilter(this);
    // Placed by its client area: the widget's own idea of its frame may not
    // have caught up with the window manager yet.
    setGeometry(
        QRect(framePosition_ + QPoint(frame.left(), frame.top()), ClientSizeForOuterSize(outerSize_, frame)));
}

bool Tfrm_Custom::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == windowHandle() &&
        (event->type() == QEvent::Expose || event->type() == QEvent::Move || event->type() == QEvent::Resize))
        RunGuarded([this] { KeepOuterSize(); });
    return QWidget::eventFilter(watched, event);
}

void Tfrm_Custom::InitHostContext()
{
    binding_->CaptureContext();
}

void Tfrm_Custom::EnsureFormCreated()
{
    binding_->EnsureCreated();
}

void Tfrm_Custom::FormCreate()
{
    binding_->CreateSteps();
}

void Tfrm_Custom::ApplySkinScheme()
{
    Host& host = CurrentHost();
    ApplyHostWindowSkin(this);
    FillBand(formUi->ModuleToolbar, HostColorToQColor(host.gclModuleToolBarColor()));
    host.SetSkinSchemeCtrls(static_cast<QWidget*>(this));
}

void Tfrm_Custom::HookEditIme()
{
    binding_->HookEditIme();
}

QToolBar* Tfrm_Custom::ModuleToolbar() const
{
    return formUi->ModuleToolbar;
}

QWidget* Tfrm_Custom::ClientArea() const
{
    return formUi->pnlClient;
}

QToolButton* Tfrm_Custom::AddToolButton(const QString& objectName, const QString& text, const QIcon& icon,
                                        int width)
{
    auto* button = new QToolButton(formUi->ModuleToolbar);
    button->setObjectName(objectName);
    button->setText(text);
    button->setIcon(icon);
    button->setIconSize(QSize(24, 24));
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button->setAutoRaise(true);
    // Tool bar commands do not take the focus from the page's controls.
    button->setFocusPolicy(Qt::NoFocus);
    button->setFixedSize(width, kToolButtonHeight);
    formUi->ModuleToolbar->addWidget(button);
    return button;
}

QToolButton* Tfrm_Custom::AddToolButton(const QString& objectName, QAction* action, int width)
{
    QToolButton* button = AddToolButton(objectName, action->text(), action->icon(), width);
    button->setDefaultAction(action);
    return button;
}

void Tfrm_Custom::AddToolSeparator()
{
    formUi->ModuleToolbar->addSeparator();
}

void Tfrm_Custom::SetToolButtonVisible(QToolButton* button, bool visible)
{
    for (QAction* action : formUi->ModuleToolbar->actions()) {
        if (formUi->ModuleToolbar->widgetForAction(action) == button) {
            action->setVisible(visible);
            return;
        }
    }
}

void Tfrm_Custom::FormKeyDown(QKeyEvent* event)
{
    if (event->key() == Qt::Key_F1)
        SendMainFrameMsg(WM_MAINFRAME_HELP);
}

bool Tfrm_Custom::event(QEvent* event)
{
    if (event->type() == HostMessageType(WM_MODULE_CLOSE)) {
        close();
        return true;
    }
    if (binding_ && binding_->HandleHostEvent(event))
        return true;
    const bool handled = QWidget::event(event);
    // Embedded pages fill the host's page; only a window of its own has a
    // frame to count.
    if (event->type() == QEvent::Show)
        RunGuarded([this] { WatchForFrame(); });
    // Only a page that is a window of its own is activated; an embedded page
    // sees the activation of the host's window, which needs no answer.
    if (event->type() == QEvent::WindowActivate && isWindow()) {
        // Keeps the host's caption active while the focus is in the module's
        // page. Only a handle the host hands out is used here.
        RunGuarded([] {
            if (HostHandle frame = CurrentHost().GetMainFrameHandle())
                CurrentHost().SendWindowMessage(frame, WM_NCACTIVATE, 1, 0);
        });
    }
    return handled;
}

void Tfrm_Custom::keyPressEvent(QKeyEvent* event)
{
    // A key that the focused control does not use travels up to the window,
    // so F1 reaches it wherever the focus is in the page.
    RunGuarded([this, event] { FormKeyDown(event); });
    QWidget::keyPressEvent(event);
}

void Tfrm_Custom::closeEvent(QCloseEvent* event)
{
    setAttribute(Qt::WA_DeleteOnClose);
    QWidget::closeEvent(event);
}

namespace {

void FillContainer(QWidget* parent, Tfrm_Custom* window)
{
    window->setParent(parent);
    QLayout* layout = parent->layout();
    if (!layout) {
        layout = new QVBoxLayout(parent);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
    }
    layout->addWidget(window);
}

void CentreOnMainForm(Tfrm_Custom* window)
{
    QRect area;
    if (auto* mainForm = static_cast<QWidget*>(CurrentHost().GetMainFrameHandle()))
        area = mainForm->frameGeometry();
    else if (QScreen* screen = QGuiApplication::primaryScreen())
        area = screen->availableGeometry();
    if (area.isValid()) {
        // A page with an outer size gets that size once it is framed.
        QRect frame = window->frameGeometry();
        if (window->OuterSize().isValid())
            frame.setSize(window->OuterSize());
        frame.moveCenter(area.center());
        window->move(frame.topLeft());
    }
}

} // namespace

QSize ClientSizeForOuterSize(const QSize& outer, const QMargins& frame)
{
    return QSize(std::max(1, outer.width() - frame.left() - frame.right()),
                 std::max(1, outer.height() - frame.top() - frame.bottom()));
}

void ShowModuleForm(QWidget* parent, Tfrm_Custom* window, const std::string& paramString, bool lastFlag)
{
    if (!window)
        return;
    try {
        if (parent) {
            FillContainer(parent, window);
            window->show();
            const std::string message = GetParamValue(paramString, "ModalFormMsg");
            if (!message.empty()) {
                // The third field is the help page of the window: the module
                // publishes none.
                const std::string text =
                    message + "|" + WindowHandleText(window) + "|0|" + (lastFlag ? "1" : "0");
                SendMainFrameData(CD_PAGE_OPENED, text);
            }
        } else {
            window->setWindowFlag(Qt::WindowStaysOnTopHint, true);
            // The platform window first, so that its frame is known when
            // the window is centred.
            window->winId();
            CentreOnMainForm(window);
            window->show();
        }
    } catch (...) {
        // The host called an export that must not fail; the window stays as
        // far as it got.
    }
}

} // namespace priv
