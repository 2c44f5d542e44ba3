#include "admin/operator_modify_pwd.h"

#include "boundary/host.h"
#include "cipher/crypt.h"
#include "session/privilege_manager.h"
#include "ui/record_failure.h"
#include "ui/window_utils.h"

#include "ui_operator_modify_pwd.h"

#include <QLineEdit>
#include <QShowEvent>
#include <QToolButton>

namespace priv {

namespace {

constexpr int kWrongOldPassword = 104028;
constexpr int kNewPasswordsDiffer = 104029;
constexpr int kPasswordChanged = 104030;
constexpr const char* kModifyFailedText = "系统错误：[70018503]\r\n修改密码失败：数据库操作出错。";
constexpr const char* kModifyFailedLog = "[70018503]修改密码失败：数据库操作出错。";

} // namespace

Tfrm_OperatorModifyPwdInner::Tfrm_OperatorModifyPwdInner(QWidget* parent)
    : Tfrm_CustomEx(parent), ui(std::make_unique<Ui::Tfrm_OperatorModifyPwdInner>())
{
    ui->setupUi(ClientArea());
    setWindowTitle(QStringLiteral("密码修改"));
    SetOuterSize(QSize(583, 396));

    tbtnSave =
        AddToolButton(QStringLiteral("tbtnSave"), QStringLiteral("更改"), ModuleIcon(QStringLiteral("save")));
    tbtnClose = AddToolButton(QStringLiteral("tbtnClose"), QStringLiteral("关闭"),
                              ModuleIcon(QStringLiteral("close")));
    // The page closes through the host's page or its own close button.
    tbtnClose->setEnabled(false);
    SetToolButtonVisible(tbtnClose, false);
    connect(tbtnSave, &QToolButton::clicked, this, [this] { RunGuarded([this] { tbtnSaveClick(); }); });

    // The boxes mask each character with a star, as the sign-in window does;
    // the rule touches nothing else of the boxes' look.
    for (QLineEdit* box : {ui->edtOldPwd, ui->edtNewPwd, ui->edtReNewPwd})
        box->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));

    ui->lblUserID->setText(QString::fromStdString(Context().UserField("CZY_DM")));
    ui->lblUserName->setText(QString::fromStdString(Context().UserField("CZY_MC")));
}

Tfrm_OperatorModifyPwdInner::~Tfrm_OperatorModifyPwdInner() = default;

void Tfrm_OperatorModifyPwdInner::ApplySkinScheme()
{
    Tfrm_CustomEx::ApplySkinScheme();
    FillBand(ui->pnlMain, HostColorToQColor(CurrentHost().gclModuleBackColor()));
}

void Tfrm_OperatorModifyPwdInner::showEvent(QShowEvent* event)
{
    Tfrm_CustomEx::showEvent(event);
    if (shown_ || event->spontaneous())
        return;
    shown_ = true;
    ui->edtOldPwd->setFocus();
}

void Tfrm_OperatorModifyPwdInner::tbtnSaveClick()
{
    Host& host = CurrentHost();
    TPrivilegeMgr manager;

    const std::string storedPassword = DecryptPassword(Context().UserField("PWD"));
    if (!EqualInConstantTime(storedPassword, ui->edtOldPwd->text().toStdString())) {
        host.InforMsg(kWrongOldPassword, "");
        ui->edtOldPwd->clear();
        ui->edtOldPwd->setFocus();
        return;
    }
    const std::string newPassword = ui->edtNewPwd->text().toStdString();
    if (newPassword != ui->edtReNewPwd->text().toStdString()) {
        host.InforMsg(kNewPasswordsDiffer, "");
        ui->edtNewPwd->clear();
        ui->edtReNewPwd->clear();
        ui->edtNewPwd->setFocus();
        return;
    }
    // A password the cipher cannot keep exactly could never be typed again;
    // refused with the same words as every other way of setting one.
    std::string unstorable;
    if (!PasswordStorable(newPassword, &unstorable)) {
        host.InfoMsgBox(unstorable);
        ui->edtNewPwd->clear();
        ui->edtReNewPwd->clear();
        ui->edtNewPwd->setFocus();
        return;
    }

    const std::string operatorCode = Context().UserField("CZY_DM");
    if (!manager.ModifyPassword(operatorCode, EncryptPassword(newPassword))) {
        if (!ShowRecordFailure())
            host.ErrorMsgBox(kModifyFailedText);
        host.Error("1", kModifyFailedLog);
        return;
    }
    // The user record takes the new enciphered password, which the next
    // change checks against. The stored password has changed either way.
    if (!manager.LoadUserInfo(operatorCode)) {
        host.ErrorMsgBox(kModifyFailedText);
        return;
    }
    host.InforMsg(kPasswordChanged, "");
    host.Info("1", "操作员[" + ui->lblUserName->text().toStdString() + "]修改了登录密码。");
    // Back to the host page's normal size, as the restore button does.
    spToolPageFormClick();
}

} // namespace priv
