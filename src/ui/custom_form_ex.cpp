#include "ui/custom_form_ex.h"

#include "ui/host_messages.h"
#include "ui/main_frame_channel.h"
#include "ui/window_utils.h"

#include "ui_custom_form.h"
#include "ui_custom_form_ex.h"

#include <QEvent>
#include <QToolBar>
#include <QToolButton>

namespace priv {

Tfrm_CustomEx::Tfrm_CustomEx(QWidget* parent)
    : Tfrm_Custom(parent), pageButtonsUi(std::make_unique<Ui::Tfrm_CustomEx>())
{
    // The panel is placed by code over the tool bar row, not by the layout.
    toolResizePanel_ = new QWidget(this);
    pageButtonsUi->setupUi(toolResizePanel_);
    connect(pageButtonsUi->spToolPageMax, &QToolButton::clicked, this,
            [this] { RunGuarded([this] { spToolPageMaxClick(); }); });
    connect(pageButtonsUi->spToolPageForm, &QToolButton::clicked, this,
            [this] { RunGuarded([this] { spToolPageFormClick(); }); });
    connect(pageButtonsUi->spToolPageClose, &QToolButton::clicked, this,
            [this] { RunGuarded([this] { spToolPageCloseClick(); }); });
    for (QToolButton* button :
         {pageButtonsUi->spToolPageMax, pageButtonsUi->spToolPageForm, pageButtonsUi->spToolPageClose})
        button->setFocusPolicy(Qt::NoFocus);
    formUi->ModuleToolbar->installEventFilter(this);
    SetToolPageState(kPageNormal);
    FormResize();
}

Tfrm_CustomEx::~Tfrm_CustomEx() = default;

void Tfrm_CustomEx::FormCreate()
{
    Tfrm_Custom::FormCreate();
    SetToolPageState(kPageNormal);
}

void Tfrm_CustomEx::ApplySkinScheme()
{
    Tfrm_Custom::ApplySkinScheme();
    FillBand(toolResizePanel_, formUi->ModuleToolbar->palette().color(QPalette::Window));
}

void Tfrm_CustomEx::SetToolPageState(std::uint8_t state)
{
    toolPageState_ = state;
    if (state == kPageNormal) {
        pageButtonsUi->spToolPageMax->setVisible(true);
        pageButtonsUi->spToolPageForm->setVisible(false);
    } else if (state == kPageMaximised) {
        pageButtonsUi->spToolPageMax->setVisible(false);
        pageButtonsUi->spToolPageForm->setVisible(true);
    }
}

void Tfrm_CustomEx::spToolPageMaxClick()
{
    SendMainFrameData(CD_PAGE_SIZE, "max");
    SetToolPageState(kPageMaximised);
}

void Tfrm_CustomEx::spToolPageFormClick()
{
    SendMainFrameData(CD_PAGE_SIZE, "reset");
    SetToolPageState(kPageNormal);
}

void Tfrm_CustomEx::spToolPageCloseClick()
{
    // The host's page goes back to normal size before the window leaves it.
    if (toolPageState_ == kPageMaximised)
        SendMainFrameData(CD_PAGE_SIZE, "reset");
    close();
}

void Tfrm_CustomEx::FormResize()
{
    toolResizePanel_->raise();
    const QRect bar = formUi->ModuleToolbar->geometry();
    toolResizePanel_->move(bar.width() - toolResizePanel_->width(), bar.top() + 2);
}

void Tfrm_CustomEx::resizeEvent(QResizeEvent* event)
{
    Tfrm_Custom::resizeEvent(event);
    FormResize();
}

bool Tfrm_CustomEx::eventFilter(QObject* watched, QEvent* event)
{
    // The layout sizes the tool bar after the window; follow it.
    if (watched == formUi->ModuleToolbar &&
        (event->type() == QEvent::Resize || event->type() == QEvent::Move))
        FormResize();
    return Tfrm_Custom::eventFilter(watched, event);
}

} // namespace priv
