// The department settings dialog: add, rename and delete departments. The
// user types or picks the department's code in one box and types its name
// into the other; codes are the user's own, not generated.
#pragma once

#include "store/department_store.h"
#include "store/records.h"
#include "ui/custom_dlg_ex.h"

#include <memory>
#include <string>

namespace Ui {
class TfrmDepartmentMgr;
}

namespace priv {

class TfrmDepartmentMgr : public Tfrm_CustomDlgEx {
    Q_OBJECT
public:
    explicit TfrmDepartmentMgr(QWidget* parent = nullptr);
    ~TfrmDepartmentMgr() override;

    const TDepartmentList& Departments() const { return FDepartmentList; }

public slots:
    void btnAddClick();
    void btnEditClick();
    void btnDelClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void LoadDepartments();
    void UpdateDeptButtons();
    // Both boxes filled; otherwise focuses the empty one, says in `message`
    // what is missing and fails. The command shows the message.
    bool CheckDept(std::string& message);
    bool FindDeptByCode(const std::string& code, DepartmentInfo& department) const;
    std::string CodeText() const;
    std::string NameText() const;
    // The code as the database holds it for the department whose code stands
    // in the box (letter case ignored); the typed code when none is listed.
    // The database compares codes exactly.
    std::string StoredCode() const;

    std::unique_ptr<Ui::TfrmDepartmentMgr> ui;
    TDepartmentMgr FDepartmentMgr;
    TDepartmentList FDepartmentList;
    bool shown_ = false;
};

// Shows the department settings dialog modally and frees it. True when it
// closed with OK, which none of its commands does: the caller refreshes
// regardless.
bool ShowDepartmentMgr();

} // namespace priv
