// The operator edit dialog: adds an operator (add mode) or changes one (edit
// mode). The operator window opens it through ShowOperatorAdd and
// ShowOperatorEdit and refreshes its list when they answer true.
#pragma once

#include "store/records.h"
#include "ui/custom_dlg_ex.h"

#include <memory>
#include <string>

namespace Ui {
class Tfrm_OperatorAdd;
}

namespace priv {

class TDepartmentsWordBook;
class TPrivilegeMgr;
class TRolesWordBook;

class Tfrm_OperatorAdd : public Tfrm_CustomDlgEx {
    Q_OBJECT
public:
    explicit Tfrm_OperatorAdd(QWidget* parent = nullptr);
    ~Tfrm_OperatorAdd() override;

    // Set by the opener before the dialog is shown.
    void SetEditMode(bool editMode) { editMode_ = editMode; }
    void SetOperatorCode(const std::string& code) { operatorCode_ = code; }
    bool EditMode() const { return editMode_; }
    // Whether the operator being edited is the signed-in one; known once the
    // dialog is shown.
    bool SelfEdit() const { return selfEdit_; }

    // The record the controls describe (the code, post and enabled flag stay
    // as loaded when an operator edits himself).
    OperatorInfo CollectOperator() const;
    // Edit mode: whether the controls differ from the record as loaded.
    bool IsOperatorChanged() const;

public slots:
    void sBtnSaveClick();
    void sBtnCloseClick() override;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormShow();
    void LoadOperator();
    bool SaveNew();
    bool SaveChanges();
    // Refuses a password the stored form cannot keep; true when it may be
    // stored.
    bool CheckPasswordStorable();
    void ClearPasswords();
    TPrivilegeMgr& Manager();

    std::unique_ptr<Ui::Tfrm_OperatorAdd> ui;
    std::unique_ptr<TRolesWordBook> rolesWordBook_;
    std::unique_ptr<TDepartmentsWordBook> departmentsWordBook_;
    // Used only when no window made a privilege manager before.
    std::unique_ptr<TPrivilegeMgr> ownManager_;
    bool editMode_ = false;
    bool selfEdit_ = false;
    bool shown_ = false;
    std::string operatorCode_;
    OperatorInfo loaded_;
    std::string loadedPassword_; // deciphered
    // Positions picked on loading; names may repeat, positions do not.
    int loadedPostIndex_ = -1;
    int loadedDepartmentIndex_ = -1;
};

// Shows the dialog in add mode; true when an operator was added.
bool ShowOperatorAdd();
// Shows the dialog in edit mode for the operator with this code; true when the
// user confirmed (with or without a change).
bool ShowOperatorEdit(const std::string& operatorCode);

} // namespace priv
