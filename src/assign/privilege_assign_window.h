// The post privilege assignment page: choose a post, tick the companies it
// may work for and, one company at a time, the applications and functions it
// may use there; then save. What the post is granted is held as one
// permission set, read and written by the post store; the company list and
// the function tree edit that set.
#pragma once

#include "assign/company_list_model.h"
#include "models/app_funcs_tree.h"
#include "ui/custom_form_ex.h"

#include <memory>
#include <string>
#include <vector>

class QToolButton;

namespace Ui {
class TfrmPrivilegeAssignEx;
}

namespace priv {

class TMVCItemModel;
class TRolePermissions;
class TRolesMgr;
class TRolesWordBook;

class TfrmPrivilegeAssignEx : public Tfrm_CustomEx, public TMVCWindow {
    Q_OBJECT
public:
    explicit TfrmPrivilegeAssignEx(QWidget* parent = nullptr);
    ~TfrmPrivilegeAssignEx() override;

    // The post the window opens with ("JS_DM" of the export).
    std::string PostCode;

    // Reads the companies and builds the function tree. False (after telling
    // the user) when the companies cannot be read: the window is then not
    // to be shown.
    bool Prepare();

    // The function tree shows nothing ticked any more.
    void UncheckShownCompany() override;

    // --- What tests and the host look at ----------------------------------------------
    const std::vector<TCompanyRecord>& Companies() const { return FCompanies; }
    // The position of the company whose grants the function tree shows; -1
    // for none.
    int ShownCompany() const { return FShownCompany; }
    bool SkipClick() const { return FSkipClick; }
    int ScrollLeft() const { return FScrollLeft; }
    TRolePermissions& Permissions() const { return *FPermissions; }
    TAppFuncsTree& AppFuncsTree() const { return *FAppFuncsTree; }

    static constexpr const char* kPlaceholderTip = "(请先选择岗位后再进行权限分配)";
    static constexpr const char* kBuiltInAssignedTip = "(系统内置岗位，已预先分配了相应权限，无需再进行分配)";
    static constexpr const char* kBuiltInTip = "(系统内置岗位)";
    static constexpr const char* kNoCompanyCaption = "请勾选一家单位进行分配";
    static constexpr const char* kSavingText = "正在保存，请稍候 ...";

public slots:
    void cbxRolesChange();
    void cbxCompListClick();
    void tBtnSaveClick();
    void tbtnCloseClick();

protected:
    void FormCreate() override;
    void FormShow();
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void vstCompListChecked(int row, bool ticked);
    void vstCompListClick(const QModelIndex& index);
    void vstCompListFocusChanging(const QModelIndex& from, const QModelIndex& to);
    void vstCompListScroll(int dx);

    void ApplyPostPosition(int position);
    void ShowCompanyRowsAfresh();
    void SynchroniseCompanyTicks();
    void StoreShownCompany();
    void ShowCompany(int row);
    void HideCompany();
    void SetFunctionsCaption(const std::string& caption);
    void PlaceCheckAllBox();
    bool RecordGranted(int row) const;

    std::unique_ptr<Ui::TfrmPrivilegeAssignEx> ui;
    QToolButton* btnBack = nullptr;
    QToolButton* tBtnSave = nullptr;
    QToolButton* tbtnClose = nullptr;
    TCompanyListModel* compModel_ = nullptr;
    TMVCItemModel* funcModel_ = nullptr;

    std::vector<TCompanyRecord> FCompanies;
    int FShownCompany = -1;
    bool FSkipClick = false;
    int FScrollLeft = 0;
    int lastHorizontalScroll_ = 0;
    bool shownOnce_ = false;

    std::unique_ptr<TRolesMgr> FRolesMgr;
    std::unique_ptr<TRolePermissions> FPermissions;
    std::unique_ptr<TRolesWordBook> FWordBook;
    std::unique_ptr<TAppFuncsTree> FAppFuncsTree;
};

} // namespace priv
