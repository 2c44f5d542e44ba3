#include "admin/operator_add_dialog.h"

#include "boundary/codepage.h"
#include "boundary/host.h"
#include "boundary/utilities.h"
#include "cipher/crypt.h"
#include "models/word_book.h"
#include "session/privilege_manager.h"
#include "store/records.h"
#include "ui/balloon_tool_tip.h"
#include "ui/operator_code_filter.h"
#include "ui/record_failure.h"
#include "ui/window_utils.h"

#include "ui/qt_text.h"
#include "ui_Tfrm_OperatorAdd.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <string>
#include <vector>

namespace priv {
namespace {

constexpr int kMsgStoreFailed = 104016;
constexpr int kMsgNoCode = 104017;
constexpr int kMsgNoName = 104018;
constexpr int kMsgPasswordsDiffer = 104019;
constexpr int kMsgBadPhone = 104020;
constexpr int kMsgBadEmail = 104021;
constexpr int kMsgCodeExists = 104022;
constexpr int kMsgAdded = 104024;
constexpr int kMsgModified = 104026;

constexpr const char* kStoreErrorNumber = "70018509";
constexpr const char* kChoosePostText = "请先选择所属岗位。";
constexpr const char* kModifyFailedText = "系统错误：[70018502]\r\n修改用户信息操作失败：数据库操作出错。";
constexpr const char* kModifyFailedLogLine = "[70018502]修改用户信息操作失败：数据库操作出错。";
constexpr const char* kSuperAdminName = "超级管理员";
// The password boxes' limit, in characters.
constexpr std::size_t kPasswordMaxLength = 20;
// The post list opens on the clerk's post for a new operator.
constexpr int kBusinessPostPosition = 2;

void FillCombo(QComboBox* combo, const TBaseWordBook& book)
{
    std::vector<std::string> names;
    book.FillStrings(names);
    QStringList items;
    items.reserve(static_cast<qsizetype>(names.size()));
    for (const std::string& name : names)
        items << FromUtf8(name);
    combo->clear();
    combo->addItems(items);
}

// The address box takes at most 200 characters, and no more than the
// operator's record keeps: kRecordTextBytes bytes of the host's code page,
// so that what is typed there is what the next edit shows. Two hundred
// Chinese characters would take twice that and come back cut.
constexpr qsizetype kAddressMaxCharacters = 200;
constexpr const char* kAddressFullTitle = "住址已满";
constexpr const char* kAddressFullText =
    "住址最多可录入200个字符、255个字节，\r\n一个汉字占2个字节。已达上限。";
constexpr int kAddressFullShownMs = 5000;

std::size_t HostLength(const QString& text)
{
    return Utf8ToHost(ToUtf8(text)).size();
}

bool AddressFits(const QString& text)
{
    return text.size() <= kAddressMaxCharacters && HostLength(text) <= kRecordTextBytes;
}

// The longest start of `text` that is at most `characters` long and takes at
// most `bytes` host bytes, never half of a surrogate pair.
QString FittingStart(const QString& text, qsizetype characters, std::size_t bytes)
{
    QString start = FromUtf8(CutToHostBytes(ToUtf8(text), bytes));
    if (start.size() > characters) {
        start.truncate(characters);
        if (!start.isEmpty() && start.back().isHighSurrogate())
            start.chop(1);
    }
    return start;
}

} // namespace

Tfrm_OperatorAdd::Tfrm_OperatorAdd(QWidget* parent)
    : Tfrm_CustomDlgEx(parent), ui(std::make_unique<Ui::Tfrm_OperatorAdd>()),
      rolesWordBook_(std::make_unique<TRolesWordBook>()),
      departmentsWordBook_(std::make_unique<TDepartmentsWordBook>())
{
    setObjectName(QStringLiteral("frm_OperatorAdd"));
    ui->setupUi(ClientArea());
    SetDlgTitle(QStringLiteral("用户新增"), QStringLiteral("用户信息"));
    SetClientSize(501, 245);

    auto* save = new QPushButton(QStringLiteral("确定"), this);
    save->setObjectName(QStringLiteral("sBtnSave"));
    save->setFixedSize(67, 22);
    save->setAutoDefault(false);
    AddDialogButton(save);
    CloseButton()->setText(QStringLiteral("取消"));
    setTabOrder(ui->ckbYxbz, save);
    setTabOrder(save, CloseButton());
    connect(save, &QPushButton::clicked, this, [this] { RunGuarded([this] { sBtnSaveClick(); }); });

    // A password is not required: its marks stay hidden.
    ui->lblPasswordStar->setVisible(false);
    ui->lblConfirmPasswordStar->setVisible(false);
    ui->edtPassword->setMaxLength(static_cast<int>(kPasswordMaxLength));
    ui->edtConfirmPassword->setMaxLength(static_cast<int>(kPasswordMaxLength));
    // Typed codes keep only the characters a code may hold.
    TOperatorCodeFilter::Install(ui->edtOpId, true);
    connect(ui->edtZz, &QLineEdit::textChanged, this,
            [this](const QString& text) { RunGuarded([this, text] { FitAddress(text); }); });
}

QString Tfrm_OperatorAdd::AddressFullTitle()
{
    return QString::fromUtf8(kAddressFullTitle);
}

QString Tfrm_OperatorAdd::AddressFullText()
{
    return QString::fromUtf8(kAddressFullText);
}

void Tfrm_OperatorAdd::FitAddress(const QString& text)
{
    if (AddressFits(text)) {
        fittedAddress_ = text;
        return;
    }
    // What stood in the box stays; of what arrived, as much as fits. Found
    // as the part between what the old and the new text share at both
    // ends, so text after the cursor is never pushed out by typing.
    const QString& before = fittedAddress_;
    qsizetype head = 0;
    while (head < before.size() && head < text.size() && before[head] == text[head])
        ++head;
    qsizetype tail = 0;
    while (tail < before.size() - head && tail < text.size() - head &&
           before[before.size() - 1 - tail] == text[text.size() - 1 - tail])
        ++tail;
    // Never half of a surrogate pair on either side of the arrival.
    if (head > 0 && text[head - 1].isHighSurrogate())
        --head;
    if (tail > 0 && text[text.size() - tail].isLowSurrogate())
        --tail;
    const QString kept = text.left(head) + text.right(tail);
    QString fitted;
    qsizetype cursor = 0;
    if (AddressFits(kept)) {
        const QString arrived =
            FittingStart(text.mid(head, text.size() - head - tail), kAddressMaxCharacters - kept.size(),
                         kRecordTextBytes - HostLength(kept));
        fitted = text.left(head) + arrived + text.right(tail);
        cursor = head + arrived.size();
    } else {
        fitted = FittingStart(text, kAddressMaxCharacters, kRecordTextBytes);
        cursor = fitted.size();
    }
    fittedAddress_ = fitted;
    ui->edtZz->setText(fitted);
    ui->edtZz->setCursorPosition(static_cast<int>(cursor));
    ShowAddressFull();
}

void Tfrm_OperatorAdd::ShowAddressFull()
{
    if (!addressBalloon_) {
        addressBalloon_ = std::make_unique<TToolTip>(this);
        addressBalloon_->SetAlignment(taClosewithLeft);
        addressBalloon_->SetInterval(kAddressFullShownMs);
    }
    addressBalloon_->ShowBalloon(ui->edtZz, ttInformationIcon, AddressFullText(), AddressFullTitle());
}

bool Tfrm_OperatorAdd::AddressEdited() const
{
    return ui->edtZz->text() != shownAddress_;
}

Tfrm_OperatorAdd::~Tfrm_OperatorAdd() = default;

TPrivilegeMgr& Tfrm_OperatorAdd::Manager()
{
    if (TPrivilegeMgr* active = ActivePrivilegeMgr())
        return *active;
    ownManager_ = std::make_unique<TPrivilegeMgr>();
    return *ownManager_;
}

void Tfrm_OperatorAdd::showEvent(QShowEvent* event)
{
    Tfrm_CustomDlgEx::showEvent(event);
    if (shown_)
        return;
    shown_ = true;
    RunGuarded([this] { FormShow(); });
}

void Tfrm_OperatorAdd::FormShow()
{
    ui->edtOpId->setFocus();
    selfEdit_ = false;
    FillCombo(ui->cbxDeprt, *departmentsWordBook_);
    ui->cbxDeprt->setCurrentIndex(0);
    FillCombo(ui->cbOperatorLb, *rolesWordBook_);
    ui->cbOperatorLb->setCurrentIndex(kBusinessPostPosition);
    if (!editMode_)
        return;
    SetDlgTitle(QStringLiteral("用户修改"), QStringLiteral("用户信息"));
    ui->edtOpName->setFocus();
    ui->edtOpId->setText(FromUtf8(operatorCode_));
    LoadOperator();
    ui->edtOpId->setEnabled(false);
    if (operatorCode_ == Context().UserField("CZY_DM")) {
        // An operator cannot change his own code, post or enabled state.
        selfEdit_ = true;
        ui->edtOpId->setEnabled(false);
        ui->cbOperatorLb->setEnabled(false);
        ui->ckbYxbz->setEnabled(false);
    }
}

void Tfrm_OperatorAdd::LoadOperator()
{
    try {
        OperatorInfo info;
        if (!Manager().Operators().LoadOperator(operatorCode_, info)) {
            CurrentHost().InforMsg(kMsgStoreFailed, kStoreErrorNumber);
            // Closes as soon as the dialog runs.
            QTimer::singleShot(0, this, [this] { done(mrCancel); });
            return;
        }
        loaded_ = info;
        loadedPassword_ = DecryptPassword(info.Password);
        ui->edtOpName->setText(FromUtf8(info.Name));
        ui->edtPassword->setText(FromUtf8(loadedPassword_));
        ui->edtConfirmPassword->setText(FromUtf8(loadedPassword_));
        if (!IsSuperAdmin(info.PostCode)) {
            // By the code's position: names may repeat. No entry when the
            // post is gone (the placeholder is no post).
            const int post = rolesWordBook_->GetPositionByCode(info.PostCode);
            loadedPostIndex_ = post > 0 ? post : -1;
            ui->cbOperatorLb->setCurrentIndex(loadedPostIndex_);
        } else {
            ui->cbOperatorLb->clear();
            ui->cbOperatorLb->addItem(QString::fromUtf8(kSuperAdminName));
            ui->cbOperatorLb->setCurrentIndex(0);
            ui->cbOperatorLb->setEnabled(false);
        }
        ui->edtDhhm->setText(FromUtf8(info.Phone));
        ui->edtEmail->setText(FromUtf8(info.Email));
        // Another workstation may have stored a longer address than the
        // record keeps; the whole one goes back unless the box is edited.
        storedAddress_ = info.Address;
        if (HostLength(FromUtf8(info.Address)) + 2 > kRecordTextBytes)
            Manager().Operators().LoadOperatorAddress(info.Code, storedAddress_);
        ui->edtZz->setText(FromUtf8(info.Address));
        shownAddress_ = ui->edtZz->text();
        ui->ckbYxbz->setChecked(info.ValidFlag == "Y");
        const int department = departmentsWordBook_->GetPositionByCode(info.DepartmentCode);
        loadedDepartmentIndex_ = department < 0 ? 0 : department;
        ui->cbxDeprt->setCurrentIndex(loadedDepartmentIndex_);
    } catch (...) {
    }
}

OperatorInfo Tfrm_OperatorAdd::CollectOperator() const
{
    OperatorInfo info = loaded_;
    info.Name = ToUtf8(ui->edtOpName->text().trimmed());
    info.Password = EncryptPassword(ToUtf8(ui->edtPassword->text()));
    if (!selfEdit_) {
        info.Code = ToUtf8(ui->edtOpId->text().trimmed());
        // The super administrator's box offers only his own post; the word
        // book does not know it, so its code stays as loaded. So does a post
        // left where it was loaded; any other is the picked entry's code.
        const int post = ui->cbOperatorLb->currentIndex();
        info.PostCode = editMode_ && (IsSuperAdmin(loaded_.PostCode) || post == loadedPostIndex_)
                            ? loaded_.PostCode
                            : rolesWordBook_->GetCodeByIndex(post);
        info.ValidFlag = ui->ckbYxbz->isChecked() ? "Y" : "N";
    }
    info.Phone = ToUtf8(ui->edtDhhm->text());
    info.Email = ToUtf8(ui->edtEmail->text());
    info.Address = editMode_ && !AddressEdited() ? storedAddress_ : ToUtf8(ui->edtZz->text());
    info.DepartmentName.clear();
    info.Description.clear();
    // By position, as the post. On the placeholder this is the placeholder
    // text itself, which is how "no department" has always been stored.
    const int department = ui->cbxDeprt->currentIndex();
    if (editMode_ && department == loadedDepartmentIndex_)
        info.DepartmentCode = loaded_.DepartmentCode;
    else
        info.DepartmentCode = department > 0 ? departmentsWordBook_->GetCodeByIndex(department)
                                             : std::string(kWordBookPlaceholder);
    return info;
}

bool Tfrm_OperatorAdd::IsOperatorChanged() const
{
    const OperatorInfo now = CollectOperator();
    // No department reads as the placeholder or as empty text, depending on
    // who stored the operator; both mean the same.
    auto department = [](const std::string& code) {
        return code == kWordBookPlaceholder ? std::string() : code;
    };
    return now.Name != loaded_.Name || ToUtf8(ui->edtPassword->text()) != loadedPassword_ ||
           now.PostCode != loaded_.PostCode || now.Phone != loaded_.Phone ||
           now.ValidFlag != loaded_.ValidFlag || now.Email != loaded_.Email ||
           now.Address != storedAddress_ ||
           department(now.DepartmentCode) != department(loaded_.DepartmentCode);
}

void Tfrm_OperatorAdd::ClearPasswords()
{
    ui->edtPassword->clear();
    ui->edtConfirmPassword->clear();
}

bool Tfrm_OperatorAdd::CheckPasswordStorable()
{
    const std::string password = ToUtf8(ui->edtPassword->text());
    if (editMode_ && password == loadedPassword_)
        return true;
    // The same check, with the same words, as every other way of setting a
    // password: the cipher works on the host code-page bytes, and a password
    // it cannot keep exactly could never be typed again.
    std::string reason;
    if (PasswordStorable(password, &reason))
        return true;
    CurrentHost().InfoMsgBox(reason);
    ClearPasswords();
    ui->edtPassword->setFocus();
    return false;
}

void Tfrm_OperatorAdd::sBtnSaveClick()
{
    Host& host = CurrentHost();
    if (ui->edtOpId->text().trimmed().isEmpty()) {
        host.InforMsg(kMsgNoCode, "");
        ui->edtOpId->setFocus();
        return;
    }
    if (ui->edtOpName->text().trimmed().isEmpty()) {
        host.InforMsg(kMsgNoName, "");
        ui->edtOpName->setFocus();
        return;
    }
    if (ui->edtPassword->text() != ui->edtConfirmPassword->text()) {
        host.InforMsg(kMsgPasswordsDiffer, "");
        ClearPasswords();
        ui->edtPassword->setFocus();
        return;
    }
    if (!CheckPasswordStorable())
        return;
    // A box without any entry picked (a post that no longer exists) is no
    // choice either; an operator editing himself keeps his post.
    if (!IsSuperAdmin(loaded_.PostCode) && !selfEdit_ && ui->cbOperatorLb->currentIndex() <= 0) {
        host.InfoMsgBox(kChoosePostText);
        ClearPasswords();
        ui->edtPassword->setFocus();
        return;
    }
    if (!IsValidPhone(ToUtf8(ui->edtDhhm->text()))) {
        host.InforMsg(kMsgBadPhone, "");
        ui->edtDhhm->clear();
        ui->edtDhhm->setFocus();
        return;
    }
    if (!IsValidEmail(ToUtf8(ui->edtEmail->text()))) {
        host.InforMsg(kMsgBadEmail, "");
        ui->edtEmail->clear();
        ui->edtEmail->setFocus();
        return;
    }
    const bool saved = editMode_ ? SaveChanges() : SaveNew();
    if (saved)
        done(mrOk);
}

bool Tfrm_OperatorAdd::SaveNew()
{
    Host& host = CurrentHost();
    TPrivilegeMgr& manager = Manager();
    if (manager.Operators().OperatorExists(ToUtf8(ui->edtOpId->text().trimmed()))) {
        host.InforMsg(kMsgCodeExists, "");
        ui->edtOpId->clear();
        ui->edtOpId->setFocus();
        return false;
    }
    if (!manager.AddOperator(CollectOperator())) {
        if (!ShowRecordFailure())
            host.InforMsg(kMsgStoreFailed, kStoreErrorNumber);
        return false;
    }
    host.InforMsg(kMsgAdded, "");
    host.Info("1", "新增" + ToUtf8(ui->edtOpName->text()) + "用户。");
    return true;
}

bool Tfrm_OperatorAdd::SaveChanges()
{
    Host& host = CurrentHost();
    if (!IsOperatorChanged())
        return true;
    TPrivilegeMgr& manager = Manager();
    const OperatorInfo changed = CollectOperator();
    if (!manager.ModifyOperator(changed)) {
        if (!ShowRecordFailure())
            host.ErrorMsgBox(kModifyFailedText);
        host.Error("1", kModifyFailedLogLine);
        return false;
    }
    if (selfEdit_ && !manager.LoadUserInfo(changed.Code)) {
        // The change is stored, but the host still shows the old record.
        host.ErrorMsgBox(kModifyFailedText);
        return false;
    }
    host.InforMsg(kMsgModified, "");
    return true;
}

void Tfrm_OperatorAdd::sBtnCloseClick()
{
    done(mrCancel);
}

namespace {

bool RunOperatorDialog(bool editMode, const std::string& code)
{
    try {
        auto dialog = std::make_unique<Tfrm_OperatorAdd>(static_cast<QWidget*>(CurrentHost().GetAppHandle()));
        dialog->SetEditMode(editMode);
        dialog->SetOperatorCode(code);
        return dialog->exec() == mrOk;
    } catch (...) {
        return false;
    }
}

} // namespace

bool ShowOperatorAdd()
{
    return RunOperatorDialog(false, {});
}

bool ShowOperatorEdit(const std::string& operatorCode)
{
    return RunOperatorDialog(true, operatorCode);
}

} // namespace priv
