#include "signin/login_window.h"

#include "boundary/host.h"
#include "boundary/text.h"
#include "boundary/utilities.h"
#include "session/current_operator.h"
#include "session/privilege_manager.h"
#include "store/operator_store.h"
#include "ui/balloon_tool_tip.h"
#include "ui/operator_code_filter.h"
#include "ui/window_utils.h"

#include "ui/qt_text.h"
#include "ui_Tfrm_Login.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QScopeGuard>
#include <QScreen>
#include <QWindow>

#include <mutex>
#include <string>
#include <vector>

// The built-in background is compiled into the static window library, which
// registers its resources only when asked (outside any namespace).
static void RegisterLoginResources()
{
    Q_INIT_RESOURCE(login_resources);
}

namespace priv {
namespace {

// Catalogue messages of the window.
constexpr int kMsgNoCode = 104001;
constexpr int kMsgUnknownOperator = 104002;
constexpr int kMsgWrongPassword = 104003;
constexpr int kMsgThirdFailure = 104005;
constexpr int kMsgWrongPasswordReasons = 104006;

// A window closes itself after this many failed attempts in one run.
constexpr int kMaxFailedAttempts = 3;

// Where the message label stands for each kind of tip.
constexpr int kValidInfoTop = 129;
constexpr int kValidInfoTopWrongPassword = 168;

// The look of the window in the host's colours (0x00BBGGRR).
constexpr HostColor kEditUnfocusedColor = 10049854; // border of an edit box without the focus
constexpr HostColor kButtonShadowColor = 10049854;
constexpr HostColor kWindowColor = 12088655;
// The form's font: 宋体 at 12 pixels, the host's font size being in points
// at the 96 pixels per inch the window's layout is measured in.
constexpr const char* kFormFontFamily = "宋体";
constexpr int kFormFontPixels = 12;
constexpr int kLayoutDpi = 96;

constexpr int kCapsLockBalloonInterval = 12000;

QString ColorName(HostColor color)
{
    return HostColorToQColor(color).name();
}

} // namespace

const char* const Tfrm_Login::kCapsLockTitle = "大写锁定打开";
const char* const Tfrm_Login::kCapsLockText =
    "保持大写锁定打开可能会使您错误输入密码。\r\n\r\n在输入密码前，您应该按\"Caps Lock\"键来将其关闭。";

// --- TLoginImage ----------------------------------------------------------------

TLoginImage::TLoginImage(QWidget* parent) : QWidget(parent)
{
    // The picture covers every pixel: erasing the background first would
    // only make it flicker.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
}

void TLoginImage::SetPicture(const QPixmap& picture)
{
    picture_ = picture;
    update();
}

bool TLoginImage::LoadFromFile(const QString& path)
{
    QPixmap picture;
    if (!picture.load(path))
        return false;
    SetPicture(picture);
    return true;
}

void TLoginImage::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    // A picture smaller than the control leaves the window colour around it.
    const QRect covered(QPoint(0, 0), picture_.deviceIndependentSize().toSize());
    if (!covered.contains(rect()))
        painter.fillRect(rect(), palette().color(QPalette::Window));
    if (!picture_.isNull())
        painter.drawPixmap(QPoint(0, 0), picture_);
}

void TLoginImage::mousePressEvent(QMouseEvent* event)
{
    emit MouseDown(event);
    event->accept();
}

void TLoginImage::mouseMoveEvent(QMouseEvent* event)
{
    emit MouseMove(event);
    event->accept();
}

void TLoginImage::mouseReleaseEvent(QMouseEvent* event)
{
    emit MouseUp(event);
    event->accept();
}

// --- Tfrm_Login -----------------------------------------------------------------

Tfrm_Login::Tfrm_Login(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), ui(std::make_unique<Ui::Tfrm_Login>())
{
    static std::once_flag registered;
    std::call_once(registered, [] { RegisterLoginResources(); });
    InstallFontSubstitutions();

    // The password check needs a privilege manager for as long as the
    // window is open; the sign-in export brings one, the change of operator
    // does not.
    if (!ActivePrivilegeMgr())
        ownManager_ = std::make_unique<TPrivilegeMgr>();

    ui->setupUi(this);
    setFixedSize(592, 322);
    setFont(PixelFont(QString::fromUtf8(kFormFontFamily), kFormFontPixels));
    ui->Image321->SetPicture(QPixmap(QStringLiteral(":/signin/images/login-background.png")));
    ui->Image321->lower();

    if (QLineEdit* comboEdit = ui->cbxOperatorId->lineEdit())
        comboEdit->setMaxLength(10);

    connect(ui->sBtnLogin, &QToolButton::clicked, this, &Tfrm_Login::sBtnLoginClick);
    connect(ui->sBtnCancle, &QToolButton::clicked, this, &Tfrm_Login::sBtnCancleClick);
    connect(ui->edtOperatorID, &QLineEdit::textChanged, this, &Tfrm_Login::HideTips);
    connect(ui->edtOperatorPwd, &QLineEdit::textChanged, this, &Tfrm_Login::HideTips);
    connect(ui->cbxOperatorId, &QComboBox::editTextChanged, this, &Tfrm_Login::ShowOperatorDetails);
    connect(ui->Image321, &TLoginImage::MouseDown, this, &Tfrm_Login::Image321MouseDown);
    connect(ui->Image321, &TLoginImage::MouseMove, this, &Tfrm_Login::Image321MouseMove);
    connect(ui->Image321, &TLoginImage::MouseUp, this, &Tfrm_Login::Image321MouseUp);

    // Codes are plain ASCII: anything else the keys would type is dropped.
    TOperatorCodeFilter::Install(ui->edtOperatorID, true);
    TOperatorCodeFilter::Install(ui->cbxOperatorId, false);
    if (QLineEdit* comboEdit = ui->cbxOperatorId->lineEdit())
        TOperatorCodeFilter::Install(comboEdit, false);
    // The window sees every key before the box that has the focus (a filter
    // installed later runs first).
    ui->edtOperatorID->installEventFilter(this);
    ui->edtOperatorPwd->installEventFilter(this);
    ui->cbxOperatorId->installEventFilter(this);
    if (QLineEdit* comboEdit = ui->cbxOperatorId->lineEdit())
        comboEdit->installEventFilter(this);
    ui->cbxOperatorId->view()->installEventFilter(this);

    // Centred on the host's main window, or on the screen without one.
    QRect area;
    if (auto* mainFrame = static_cast<QWidget*>(CurrentHost().GetMainFrameHandle()))
        area = mainFrame->frameGeometry();
    else if (QScreen* screen = QGuiApplication::primaryScreen())
        area = screen->availableGeometry();
    if (area.isValid())
        move(area.center() - rect().center());
}

Tfrm_Login::~Tfrm_Login() = default;

QString Tfrm_Login::BackgroundFileForVersion(const std::string& appPath, const std::string& versionType)
{
    const char* file = "Image\\Tradition\\login.jpg";
    if (versionType == "50")
        file = "Image\\Tradition\\login-mulcomp.jpg";
    else if (versionType == "100")
        file = "Image\\Tradition\\login-agency.jpg";
    QString path = FromUtf8(appPath + file);
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return path;
}

void Tfrm_Login::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (opened_)
        return;
    opened_ = true;
    try {
        FormShow();
    } catch (...) {
        // The window still opens; an operator list that could not be read
        // leaves every attempt with the tip that the operator is unknown.
    }
}

void Tfrm_Login::FormShow()
{
    ClearImeNames(this);
    ApplyLook();
    LoadBackground();
    UpdateCapsLockWarning();
    ui->edtOperatorID->setFocus();

    ReadOperatorList();
    {
        const QSignalBlocker blocker(ui->cbxOperatorId);
        for (const OperatorInfo& info : operators_)
            ui->cbxOperatorId->addItem(FromUtf8(info.Code));
    }
    failedAttempts_ = 0;
    PrevOperatorText() = ReadPrevOperator();
    ProposeOperator();
}

void Tfrm_Login::ApplyLook()
{
    Host& host = CurrentHost();
    host.SetSkinSchemeCtrls(this);

    QFont font = this->font();
    const int points = host.giSysFontSize();
    font.setPixelSize(points > 0 ? (points * kLayoutDpi + 36) / 72 : kFormFontPixels);
    // The host's character set (GB2312 for Chinese) needs no counterpart:
    // Qt picks glyphs by Unicode, and the CJK font stands in for 宋体.
    setFont(font);

    const QString text = ColorName(host.gclSysFontColor());
    QPalette colours = palette();
    colours.setColor(QPalette::Window, HostColorToQColor(kWindowColor));
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        colours.setColor(role, HostColorToQColor(host.gclSysFontColor()));
    setPalette(colours);
    QPalette comboColours = ui->cbxOperatorId->palette();
    comboColours.setColor(QPalette::Window, HostColorToQColor(kWindowColor));
    ui->cbxOperatorId->setPalette(comboColours);

    const QString unfocused = ColorName(kEditUnfocusedColor);
    const QString shadow = ColorName(kButtonShadowColor);
    setStyleSheet(
        QStringLiteral(
            "QLineEdit { background: #FFFFFF; color: %1; border: 1px solid %2; border-radius: 2px;"
            "  padding: 0px 3px; selection-background-color: #3D6DB5; selection-color: #FFFFFF;"
            "  lineedit-password-character: 42; }"
            "QLineEdit:focus { border: 1px solid #F5B84A; }"
            "QToolButton { color: #1E3A66; border: 1px solid %3; border-radius: 3px;"
            "  background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #FFFFFF, stop:1 #D9E6F6); }"
            "QToolButton:hover { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #FFFFFF,"
            "  stop:1 #ECF3FC); border-color: #F5B84A; }"
            "QToolButton:pressed { background: #C4D7F0; }"
            "QToolButton:disabled { color: #7F93B3; background: #C9D5E6; }"
            "QToolButton#sBtnLogin { color: #FFFFFF; font-weight: bold; border-color: %3;"
            "  background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #F7BE55, stop:1 #E8922B); }"
            "QToolButton#sBtnLogin:hover { background: qlineargradient(x1:0, y1:0, x2:0, y2:1,"
            "  stop:0 #FAC968, stop:1 #EFA23A); border-color: #FFE2A8; }"
            "QToolButton#sBtnLogin:pressed { background: #D9852A; }"
            "QToolButton#sBtnLogin:disabled { color: #F4E3C8; background: #C79A63; }")
            .arg(text, unfocused, shadow));
}

void Tfrm_Login::LoadBackground()
{
    Host& host = CurrentHost();
    const QString path = BackgroundFileForVersion(host.GetAppPath(), host.gsAppVerTypeCode());
    // A picture that is missing or unreadable leaves the built-in one.
    if (QFileInfo(path).isFile())
        ui->Image321->LoadFromFile(path);
}

void Tfrm_Login::ReadOperatorList()
{
    operators_.clear();
    // An operator list that cannot be read whole offers no one.
    TOperator store;
    if (!store.ListSignInOperators(operators_))
        operators_.clear();
}

void Tfrm_Login::ProposeOperator()
{
    QComboBox* combo = ui->cbxOperatorId;
    const std::string& previous = PrevOperatorText();
    std::vector<std::string> codes;
    codes.reserve(static_cast<std::size_t>(combo->count()));
    for (int i = 0; i < combo->count(); ++i)
        codes.push_back(ToUtf8(combo->itemText(i)));
    const auto proposed = FindCode(codes.begin(), codes.end(), previous,
                                   [](const std::string& c) -> const std::string& { return c; });
    int index = proposed == codes.end() ? -1 : static_cast<int>(proposed - codes.begin());
    if (index < 0 && combo->count() > 0)
        index = 0;
    if (index < 0)
        return;
    const QString code = combo->itemText(index);
    {
        const QSignalBlocker blocker(combo);
        combo->setCurrentIndex(index);
        combo->setEditText(code);
    }
    ShowOperatorDetails();
    ui->edtOperatorID->setText(code);
    ui->edtOperatorID->selectAll();
}

const OperatorInfo* Tfrm_Login::FindOperator(const std::string& code) const
{
    // Found as every lookup of a code finds it: the operator stored exactly
    // under the code typed, else the one it names in another letter case.
    const auto found = FindCode(operators_.begin(), operators_.end(), code,
                                [](const OperatorInfo& info) -> const std::string& { return info.Code; });
    return found == operators_.end() ? nullptr : &*found;
}

void Tfrm_Login::ShowOperatorDetails()
{
    ui->lbOperatorName->clear();
    ui->edtOperatorPwd->clear();
    ui->lbOperatorType->clear();
    if (const OperatorInfo* info = FindOperator(TrimText(ToUtf8(ui->cbxOperatorId->currentText())))) {
        ui->lbOperatorName->setText(FromUtf8(info->Name));
        ui->lbOperatorType->setText(FromUtf8(info->PostName));
    }
}

void Tfrm_Login::ShowTip(Tip tip)
{
    Host& host = CurrentHost();
    int number = kMsgNoCode;
    int top = kValidInfoTop;
    if (tip == Tip::UnknownOperator)
        number = kMsgUnknownOperator;
    else if (tip == Tip::WrongPassword) {
        number = kMsgWrongPassword;
        top = kValidInfoTopWrongPassword;
    }
    QLabel* message = ui->lblValidInfo;
    message->setText(FromUtf8(host.GetMsg(number, "")));
    // Long catalogue texts wrap inside the window instead of running off it.
    message->setGeometry(
        message->x(), top, message->width(),
        std::max(message->heightForWidth(message->width()), message->fontMetrics().height()));
    message->setVisible(true);
    if (tip != Tip::WrongPassword)
        return;
    const std::string reasons = host.GetMsg(kMsgWrongPasswordReasons, "");
    QLabel* const lines[] = {ui->lblTipInfo, ui->lblTipInfo2, ui->lblTipInfo3};
    for (int i = 0; i < 3; ++i) {
        lines[i]->setText(FromUtf8(GetTextField(reasons, i, "\r\n")));
        lines[i]->setVisible(true);
    }
}

void Tfrm_Login::HideTips()
{
    for (QLabel* label : {ui->lblValidInfo, ui->lblTipInfo, ui->lblTipInfo2, ui->lblTipInfo3}) {
        label->clear();
        label->setVisible(false);
    }
}

void Tfrm_Login::sBtnLoginClick()
{
    // Enter in the password box while a check is still running (a message
    // box runs its own loop) must not start a second one.
    if (!ui->sBtnLogin->isEnabled())
        return;
    ui->sBtnLogin->setEnabled(false);
    const auto enableAgain = qScopeGuard([this] { ui->sBtnLogin->setEnabled(true); });
    try {
        if (ui->edtOperatorID->text().isEmpty()) {
            ShowTip(Tip::NoCode);
            ui->edtOperatorID->setFocus();
            return;
        }
        const OperatorInfo* found = FindOperator(TrimText(ToUtf8(ui->edtOperatorID->text())));
        if (!found) {
            audit::RecordSignIn(TrimText(ToUtf8(ui->edtOperatorID->text())),
                                audit::SignInOutcome::UnknownOperator, audit::SignInRoad::Window);
            ShowTip(Tip::UnknownOperator);
            ui->edtOperatorID->setFocus();
            return;
        }
        TPrivilegeMgr* manager = ActivePrivilegeMgr();
        PasswordCheckReason reason = PasswordCheckReason::Error;
        // The password is compared as typed: leading and trailing spaces count.
        const bool signedIn =
            manager && manager->CheckPassword(ToUtf8(ui->edtOperatorPwd->text()), *found, reason);
        audit::RecordSignIn(found->Code, SignInOutcomeOf(signedIn, reason), audit::SignInRoad::Window);
        if (signedIn) {
            QComboBox* combo = ui->cbxOperatorId;
            const std::string chosen = TrimText(ToUtf8(combo->currentText()));
            bool listed = false;
            for (int i = 0; i < combo->count() && !listed; ++i)
                listed = SameTextAscii(ToUtf8(combo->itemText(i)), chosen);
            if (!listed && !chosen.empty()) {
                const QSignalBlocker blocker(combo);
                combo->addItem(FromUtf8(chosen));
            }
            // The password check made the signed-in operator the previous one.
            WritePrevOperator(PrevOperatorText());
            accept();
            return;
        }
        ++failedAttempts_;
        if (failedAttempts_ >= kMaxFailedAttempts) {
            CurrentHost().InforMsg(kMsgThirdFailure, "");
            reject();
            return;
        }
        if (reason == PasswordCheckReason::NotActive) {
            ShowTip(Tip::UnknownOperator);
            return;
        }
        // A wrong password and an error inside the check read the same.
        ui->edtOperatorPwd->clear();
        ui->edtOperatorPwd->setFocus();
        ShowTip(Tip::WrongPassword);
    } catch (...) {
        // The host is never reached by an exception; the window stays open.
    }
}

void Tfrm_Login::sBtnCancleClick()
{
    reject();
}

void Tfrm_Login::UpdateCapsLockWarning()
{
    try {
        if (!CurrentHost().CapsLockStatus()) {
            capsBalloon_.reset();
            return;
        }
        if (!capsBalloon_) {
            capsBalloon_ = std::make_unique<TToolTip>(this);
            capsBalloon_->SetInterval(kCapsLockBalloonInterval);
            capsBalloon_->SetAlignment(taClosewithLeft);
        }
        capsBalloon_->ShowBalloon(ui->edtOperatorPwd, ttWarningIcon, QString::fromUtf8(kCapsLockText),
                                  QString::fromUtf8(kCapsLockTitle));
    } catch (...) {
        // A balloon that cannot be shown is no reason to stop a sign-in.
    }
}

bool Tfrm_Login::FormKeyDown(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        reject();
        return true;
    }
    if (event->key() == Qt::Key_CapsLock) {
        UpdateCapsLockWarning();
        return true;
    }
    return false;
}

void Tfrm_Login::FormKeyUp(QKeyEvent* event)
{
    // The display server switches the lock when the key comes up, not when
    // it goes down: this is when the new state can be read.
    if (event->key() == Qt::Key_CapsLock)
        UpdateCapsLockWarning();
}

void Tfrm_Login::keyReleaseEvent(QKeyEvent* event)
{
    FormKeyUp(event);
    QDialog::keyReleaseEvent(event);
}

void Tfrm_Login::keyPressEvent(QKeyEvent* event)
{
    if (FormKeyDown(event))
        return;
    // Enter signs in only from the password box; elsewhere it does nothing
    // (no default button takes it).
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool Tfrm_Login::eventFilter(QObject* watched, QEvent* event)
{
    QLineEdit* const codeBox = ui->edtOperatorID;
    QLineEdit* const passwordBox = ui->edtOperatorPwd;
    QComboBox* const combo = ui->cbxOperatorId;
    const bool comboPart = watched == combo || watched == combo->lineEdit();

    switch (event->type()) {
    case QEvent::KeyPress: {
        if (watched != codeBox && watched != passwordBox && !comboPart)
            break;
        auto* key = static_cast<QKeyEvent*>(event);
        if (FormKeyDown(key))
            return true;
        if (watched == passwordBox && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
            sBtnLoginClick();
            return true;
        }
        break;
    }
    case QEvent::KeyRelease:
        if ((watched == codeBox || watched == passwordBox || comboPart) &&
            static_cast<QKeyEvent*>(event)->key() == Qt::Key_CapsLock)
            FormKeyUp(static_cast<QKeyEvent*>(event));
        break;
    case QEvent::FocusIn:
        if (watched == passwordBox)
            UpdateCapsLockWarning();
        break;
    case QEvent::Hide:
        if (watched == combo->view())
            cbxOperatorIdCloseUp();
        break;
    default:
        break;
    }
    return QDialog::eventFilter(watched, event);
}

void Tfrm_Login::cbxOperatorIdCloseUp()
{
    QComboBox* combo = ui->cbxOperatorId;
    if (combo->currentIndex() < 0 && combo->count() > 0)
        combo->setCurrentIndex(0);
}

bool Tfrm_Login::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate) {
        ForceForeground(this); // above other programs, not only the host
        // Caps Lock may have been switched in another program meanwhile.
        if (opened_)
            UpdateCapsLockWarning();
    }
    return QDialog::event(event);
}

void Tfrm_Login::Image321MouseDown(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton || isMinimized() || isMaximized())
        return;
    // The system moves the window where it can; elsewhere the window follows
    // the mouse until the button is released.
    if (QWindow* window = windowHandle(); window && window->startSystemMove())
        return;
    dragging_ = true;
    dragOffset_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
}

void Tfrm_Login::Image321MouseMove(QMouseEvent* event)
{
    if (dragging_ && event->buttons() != Qt::NoButton)
        move(event->globalPosition().toPoint() - dragOffset_);
}

void Tfrm_Login::Image321MouseUp(QMouseEvent* /*event*/)
{
    dragging_ = false;
}

bool RunLoginDialog()
{
    try {
        if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
            return false;
        const auto window = std::make_unique<Tfrm_Login>();
        return window->exec() == QDialog::Accepted;
    } catch (...) {
        return false;
    }
}

} // namespace priv
