// The assignment window's save: the post's marked changes written in one go,
// and, when another workstation changed the same nodes meanwhile, the post
// read afresh with a message that names the companies whose unsaved ticks
// were dropped.
#include "assign/privilege_assign_window.h"

#include "boundary/host.h"
#include "boundary/status_display.h"
#include "models/word_book.h"
#include "store/permit.h"
#include "store/post_store.h"
#include "ui/record_failure.h"
#include "ui/status_window.h"

#include "ui_privilege_assign_window.h"

#include <QComboBox>

#include <string>
#include <vector>

namespace priv {

namespace {

// The functions whose loss locks one out of administering operators.
constexpr const char* kUserManagementFunction = "01003-01-07-00-00";
constexpr const char* kPrivilegeAssignFunction = "01003-01-19-00-00";

// Added to a save refused because another workstation changed the same
// nodes: the window has read the post afresh, and says what it dropped.
constexpr const char* kConflictReloadText = "已重新读取该岗位当前的权限，本页未保存的勾选已全部放弃";
constexpr const char* kConflictRetryText = "请在此基础上重新勾选后保存。";
// Companies named per kind of change before the rest are only counted.
constexpr std::size_t kNamedLostCompanies = 5;

bool ChangedBeneath(const TAbstractPermit& node)
{
    for (int i = 0; i < node.Count(); ++i) {
        const TAbstractPermit* child = node.Items(i);
        if (child->PermitState() != kPermitUnchanged || ChangedBeneath(*child))
            return true;
    }
    return false;
}

// The companies whose unsaved ticks a reload drops, one line per kind of
// change ("授予单位：甲公司、乙公司"), or nothing when there were none.
std::string LostChangesText(const TRolePermissions& permissions, const std::vector<TCompanyRecord>& companies)
{
    std::vector<std::string> granted, withdrawn, edited;
    for (int i = 0; i < permissions.Count(); ++i) {
        const TCompPermit* company = permissions.Items(i);
        std::string name = company->CompanyName();
        for (const TCompanyRecord& record : companies)
            if (record.QYID == company->CompanyId()) {
                name = record.QYMC;
                break;
            }
        if (name.empty())
            name = company->CompanyId();
        if (company->PermitState() == kPermitAdded)
            granted.push_back(name);
        else if (company->PermitState() == kPermitRemoved)
            withdrawn.push_back(name);
        // A stored company ticked whole again keeps its children until saved.
        else if (ChangedBeneath(*company) || (company->AllGranted() && company->Count() > 0))
            edited.push_back(name);
    }
    std::string text;
    const auto line = [&text](const char* kind, const std::vector<std::string>& names) {
        if (names.empty())
            return;
        text += "\r\n";
        text += kind;
        for (std::size_t i = 0; i < names.size() && i < kNamedLostCompanies; ++i)
            text += (i == 0 ? "" : "、") + names[i];
        if (names.size() > kNamedLostCompanies)
            text += "等" + std::to_string(names.size()) + "家单位";
    };
    line("授予单位：", granted);
    line("撤销单位：", withdrawn);
    line("修改了应用或功能的单位：", edited);
    return text;
}

} // namespace

void TfrmPrivilegeAssignEx::tBtnSaveClick()
{
    Host& host = CurrentHost();
    StoreShownCompany();
    ScopedStatus status(StatusWindowDisplay(), true, kSavingText);

    const bool ownPost = FPermissions->IsSignedInPost();
    if (ownPost && (FPermissions->FunctionState(kUserManagementFunction) == kPermitRemoved ||
                    FPermissions->FunctionState(kPrivilegeAssignFunction) == kPermitRemoved)) {
        const std::string question = "系统检查到岗位[" + ui->cbxRoles->currentText().toStdString() +
                                     "]权限发生变化，可能影响您系统使用，是否需要保存已分配权限？\r\n"
                                     "（已有权限“用户管理”或“权限分配”，在权限分配中设置时被小取消）";
        if (!host.ConfirmMsgBoxA(question))
            return;
    }

    // A post deleted meanwhile gives the store nothing to say: the window
    // names the reason itself.
    std::string message = "权限分配失败：岗位[" + FPermissions->PostCode() + "]已不存在或无法读取。";
    // A save of many companies takes minutes on a busy server: the status
    // window counts the companies through.
    StatusProgress progress(StatusWindowDisplay(), FPermissions->Count());
    FRolesMgr->SetSaveProgressHandler([&progress](int done, int) { progress.Step(done); });
    const bool saved = FRolesMgr->SavePostPermissions(FPermissions.get(), message);
    FRolesMgr->SetSaveProgressHandler({});
    status.Hide();
    if (!saved) {
        if (FRolesMgr->LastSaveConflicted()) {
            // Another workstation granted or withdrew the same nodes: the
            // ticks describe a state that no longer exists and saving them
            // again would fail the same way. Read the post afresh, as when
            // it is picked, so that the user ticks again on what is stored.
            // None of the unsaved ticks is carried over: chosen against the
            // state the page was read with, on the new state they can mean
            // something else (withdrawing one application where the other
            // one is gone empties the company, re-ticking brings back what
            // the other administrator withdrew), and the page would show
            // them as if they were stored. The message names the companies
            // whose changes were dropped, so that the administrator redoes
            // them knowingly; it is shown over the page as read afresh.
            const std::string lost = LostChangesText(*FPermissions, FCompanies);
            host.Error("1", "[70018506]保存出错：子系统分配权限无法写入数据库。");
            cbxRolesChange();
            host.ErrorMsgBox("系统错误：[70018505]\r\n" + message + "\r\n" + kConflictReloadText +
                             (lost.empty() ? "。" : "：") + lost + "\r\n" + kConflictRetryText);
            return;
        }
        // The ticks stay as the user left them, so that saving again works
        // once the cause is gone. A save undone because its row in the
        // operation log could not be written says so.
        if (!ShowRecordFailure())
            host.ErrorMsgBox("系统错误：[70018505]\r\n" + message);
        host.Error("1", "[70018506]保存出错：子系统分配权限无法写入数据库。");
        return;
    }
    const std::string name = FWordBook->GetNameByCode(FPermissions->PostCode());
    if (ownPost)
        host.InfoMsgBox("保存岗位[" + name +
                        "]权限信息成功。\r\n您修改了当前登录岗位的权限，重新登录后即可生效。");
    else
        host.InfoMsgBox("保存岗位[" + name + "]权限信息成功。");
}

} // namespace priv
