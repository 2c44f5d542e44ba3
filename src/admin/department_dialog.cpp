#include "admin/department_dialog.h"

#include "boundary/host.h"
#include "boundary/text.h"
#include "store/audited_changes.h"
#include "ui/record_failure.h"
#include "ui/window_utils.h"

#include "ui/qt_text.h"
#include "ui_department_dialog.h"

#include <QLineEdit>
#include <QShowEvent>
#include <QSignalBlocker>

#include <algorithm>

namespace priv {

namespace {

} // namespace

TfrmDepartmentMgr::TfrmDepartmentMgr(QWidget* parent)
    : Tfrm_CustomDlgEx(parent), ui(std::make_unique<Ui::TfrmDepartmentMgr>())
{
    ui->setupUi(ClientArea());
    SetDlgTitle(QStringLiteral("部门设置"), QStringLiteral("增加，删除，修改用户岗位"));
    SetClientSize(368, 167);
    for (QAbstractButton* button : {ui->btnAdd, ui->btnDel, ui->btnEdit})
        AddDialogButton(button);

    ui->cbxDeprtCode->lineEdit()->setMaxLength(20);
    ui->cbxDeprtCode->setCompleter(nullptr);
    ui->cbxDeprtCode->setAccessibleName(ui->lblDeprtCode->text());
    for (QLabel* mark : {ui->lblDeprtCodeMark, ui->lblDeprtNameMark}) {
        QPalette palette = mark->palette();
        palette.setColor(QPalette::WindowText, Qt::red);
        mark->setPalette(palette);
    }

    // Each keystroke in the code box and each pick from its list.
    connect(ui->cbxDeprtCode, &QComboBox::editTextChanged, this,
            [this] { RunGuarded([this] { UpdateDeptButtons(); }); });
    connect(ui->cbxDeprtCode, &QComboBox::activated, this,
            [this] { RunGuarded([this] { UpdateDeptButtons(); }); });
    connect(ui->btnAdd, &QAbstractButton::clicked, this, [this] { RunGuarded([this] { btnAddClick(); }); });
    connect(ui->btnEdit, &QAbstractButton::clicked, this, [this] { RunGuarded([this] { btnEditClick(); }); });
    connect(ui->btnDel, &QAbstractButton::clicked, this, [this] { RunGuarded([this] { btnDelClick(); }); });
}

TfrmDepartmentMgr::~TfrmDepartmentMgr() = default;

void TfrmDepartmentMgr::showEvent(QShowEvent* event)
{
    Tfrm_CustomDlgEx::showEvent(event);
    if (shown_ || event->spontaneous())
        return;
    shown_ = true;
    RunGuarded([this] {
        LoadDepartments();
        // The code comes first: typing it fills in the rest.
        ui->cbxDeprtCode->setFocus();
    });
}

void TfrmDepartmentMgr::LoadDepartments()
{
    try {
        // A list that cannot be read keeps what the box shows; one read
        // without rows empties it, or the last department deleted would
        // still be offered.
        if (FDepartmentMgr.GetDepartmentList(FDepartmentList)) {
            // The refilled list keeps the code typed into the box.
            const QString text = ui->cbxDeprtCode->currentText();
            const QSignalBlocker blocker(ui->cbxDeprtCode);
            ui->cbxDeprtCode->clear();
            for (const DepartmentInfo& department : FDepartmentList)
                ui->cbxDeprtCode->addItem(FromUtf8(department.Code));
            ui->cbxDeprtCode->setCurrentIndex(-1);
            ui->cbxDeprtCode->setEditText(text);
        }
    } catch (...) {
    }
    UpdateDeptButtons();
}

void TfrmDepartmentMgr::UpdateDeptButtons()
{
    ui->edtDeprtName->clear();
    ui->btnAdd->setEnabled(true);
    ui->btnDel->setEnabled(false);
    ui->btnEdit->setEnabled(false);

    DepartmentInfo found;
    if (FindDeptByCode(CodeText(), found)) {
        ui->btnAdd->setEnabled(false);
        ui->btnDel->setEnabled(true);
        ui->btnEdit->setEnabled(true);
        ui->edtDeprtName->setText(FromUtf8(found.Name));
    }
}

bool TfrmDepartmentMgr::FindDeptByCode(const std::string& code, DepartmentInfo& department) const
{
    // The code typed means the department stored exactly so; only when there
    // is none, the one it names in another letter case.
    const auto it = FindCode(FDepartmentList.begin(), FDepartmentList.end(), code,
                             [](const DepartmentInfo& entry) -> const std::string& { return entry.Code; });
    if (it == FDepartmentList.end())
        return false;
    department = *it;
    return true;
}

std::string TfrmDepartmentMgr::CodeText() const
{
    return TrimText(ui->cbxDeprtCode->currentText().toStdString());
}

std::string TfrmDepartmentMgr::NameText() const
{
    return TrimText(ui->edtDeprtName->text().toStdString());
}

std::string TfrmDepartmentMgr::StoredCode() const
{
    DepartmentInfo listed;
    return FindDeptByCode(CodeText(), listed) ? listed.Code : CodeText();
}

bool TfrmDepartmentMgr::CheckDept(std::string& message)
{
    if (CodeText().empty()) {
        message = "请输入部门编码！";
        ui->cbxDeprtCode->setFocus();
        return false;
    }
    if (NameText().empty()) {
        message = "请输入部门名称！";
        ui->edtDeprtName->setFocus();
        return false;
    }
    return true;
}

void TfrmDepartmentMgr::btnAddClick()
{
    Host& host = CurrentHost();
    std::string message;
    if (!CheckDept(message)) {
        host.InfoMsgBox(message);
        return;
    }
    DepartmentInfo department{CodeText(), NameText()};
    if (FDepartmentMgr.DepartmentCodeExists(department.Code)) {
        host.InfoMsgBox("新增部门失败：该部门编码已存在。");
        ui->cbxDeprtCode->setEditText(QString());
        ui->cbxDeprtCode->setFocus();
        ui->edtDeprtName->clear();
        return;
    }
    if (FDepartmentMgr.DepartmentNameExists(department.Name)) {
        host.InfoMsgBox("新增部门失败：该部门名称已存在。");
        ui->edtDeprtName->setFocus();
        return;
    }
    if (!audit::AddDepartment(FDepartmentMgr, department)) {
        if (!ShowRecordFailure())
            host.InfoMsgBox("新增部门失败。");
        return;
    }
    host.InfoMsgBox("新增部门成功。");
    ui->cbxDeprtCode->setFocus();
    LoadDepartments();
}

void TfrmDepartmentMgr::btnEditClick()
{
    Host& host = CurrentHost();
    std::string message;
    if (!CheckDept(message)) {
        host.InfoMsgBox(message);
        return;
    }
    // Another department's name may be taken over; only the code is unique.
    if (!audit::ModifyDepartment(FDepartmentMgr, DepartmentInfo{StoredCode(), NameText()})) {
        if (!ShowRecordFailure())
            host.InfoMsgBox("修改部门失败。");
        return;
    }
    host.InfoMsgBox("修改部门成功。");
    LoadDepartments();
}

void TfrmDepartmentMgr::btnDelClick()
{
    Host& host = CurrentHost();
    std::string message;
    if (!CheckDept(message)) {
        host.InfoMsgBox("请先选择部门。");
        return;
    }
    const std::string code = StoredCode();
    if (FDepartmentMgr.DepartmentInUse(code)) {
        host.InfoMsgBox("删除部门[" + code + "]失败：该部门已分配给用户。");
        return;
    }
    if (!audit::DeleteDepartment(FDepartmentMgr, code)) {
        if (!ShowRecordFailure())
            host.InfoMsgBox("系统错误：[70018510]删除部门[" + code + "]失败。");
        return;
    }
    host.InfoMsgBox("删除部门[" + code + "]成功。");
    ui->cbxDeprtCode->setEditText(QString());
    LoadDepartments();
}

bool ShowDepartmentMgr()
{
    try {
        auto dialog = std::make_unique<TfrmDepartmentMgr>();
        return dialog->exec() == mrOk;
    } catch (...) {
        return false;
    }
}

} // namespace priv
