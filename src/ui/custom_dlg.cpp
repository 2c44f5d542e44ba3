#include "ui/custom_dlg.h"

#include "ui/host_messages.h"
#include "ui/main_frame_channel.h"
#include "ui/window_utils.h"

#include "ui_custom_dlg.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>

namespace priv {

Tfrm_CustomDlg::Tfrm_CustomDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      dialogUi(std::make_unique<Ui::Tfrm_CustomDlg>())
{
    PrepareModuleWindows();
    dialogUi->setupUi(this);
    setFont(PixelFont(QStringLiteral("宋体"), 12));
    setProperty("fontCharSet", 134); // GB2312, as the form is written
    dialogUi->lbBusinessName->setFont(PixelFont(QStringLiteral("黑体"), 16));
    SetClientSize(491, 312);
    connect(dialogUi->sBtnClose, &QAbstractButton::clicked, this, &Tfrm_CustomDlg::sBtnCloseClick);
    binding_ = std::make_unique<TWindowBinding>(
        this, TWindowBinding::Kind::Dialog, [this] { ApplySkinScheme(); }, [this] { FormCreate(); });
}

Tfrm_CustomDlg::~Tfrm_CustomDlg() = default;

void Tfrm_CustomDlg::InitHostContext()
{
    binding_->CaptureContext();
}

void Tfrm_CustomDlg::EnsureFormCreated()
{
    binding_->EnsureCreated();
}

void Tfrm_CustomDlg::FormCreate()
{
    binding_->CreateSteps();
}

void Tfrm_CustomDlg::ApplySkinScheme()
{
    Host& host = CurrentHost();
    ApplyHostWindowSkin(this);
    FillBand(dialogUi->pnlTop, HostColorToQColor(host.gclTopBarColor()));
    // The title is written white on the band, whatever the font colour.
    QPalette titlePalette = dialogUi->lbBusinessName->palette();
    titlePalette.setColor(QPalette::WindowText, Qt::white);
    dialogUi->lbBusinessName->setPalette(titlePalette);

    host.SetSkinSchemeCtrls(static_cast<QWidget*>(this));
}

void Tfrm_CustomDlg::HookEditIme()
{
    binding_->HookEditIme();
}

void Tfrm_CustomDlg::SetDlgTitle(const QString& caption, const QString& title)
{
    setWindowTitle(caption);
    dialogUi->lbBusinessName->setText(title);
}

QWidget* Tfrm_CustomDlg::ClientArea() const
{
    return dialogUi->pnlClient;
}

void Tfrm_CustomDlg::AddDialogButton(QAbstractButton* button)
{
    const int closeIndex = dialogUi->layButtons->indexOf(dialogUi->sBtnClose);
    dialogUi->layButtons->insertWidget(closeIndex, button);
}

QPushButton* Tfrm_CustomDlg::CloseButton() const
{
    return dialogUi->sBtnClose;
}

QLabel* Tfrm_CustomDlg::TitleLabel() const
{
    return dialogUi->lbBusinessName;
}

void Tfrm_CustomDlg::SetClientSize(int width, int height)
{
    setFixedSize(width, height);
}

void Tfrm_CustomDlg::accept()
{
    done(mrOk);
}

void Tfrm_CustomDlg::reject()
{
    done(mrCancel);
}

void Tfrm_CustomDlg::sBtnCloseClick()
{
    reject();
}

void Tfrm_CustomDlg::FormKeyDown(QKeyEvent* event)
{
    if (event->key() == Qt::Key_F1)
        SendMainFrameMsg(WM_MAINFRAME_HELP);
}

bool Tfrm_CustomDlg::event(QEvent* event)
{
    if (binding_ && binding_->HandleHostEvent(event))
        return true;
    return QDialog::event(event);
}

void Tfrm_CustomDlg::keyPressEvent(QKeyEvent* event)
{
    // Without key preview the dialog sees only the keys pressed while none
    // of its controls has the focus; a key a control passed on is not one.
    QWidget* focus = focusWidget();
    if (!focus || focus == this)
        RunGuarded([this, event] { FormKeyDown(event); });
    const bool dialogKey =
        event->modifiers() == Qt::NoModifier &&
        (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter);
    if (dialogKey) {
        // QDialog would close on Esc and press a default button on Enter;
        // the module's dialogs leave both keys to their own buttons.
        event->ignore();
        return;
    }
    QDialog::keyPressEvent(event);
}

void Tfrm_CustomDlg::showEvent(QShowEvent* event)
{
    if (!placed_) {
        placed_ = true;
        if (QScreen* screen = QGuiApplication::primaryScreen()) {
            QRect frame = frameGeometry();
            frame.moveCenter(screen->availableGeometry().center());
            move(frame.topLeft());
        }
    }
    QDialog::showEvent(event);
}

void Tfrm_CustomDlg::closeEvent(QCloseEvent* event)
{
    // Close action "free" - except for a dialog running modally, which its
    // opener frees after reading the modal result.
    if (!testAttribute(Qt::WA_ShowModal))
        setAttribute(Qt::WA_DeleteOnClose);
    QDialog::closeEvent(event);
}

} // namespace priv
