// The operator edit dialog: adds an operator (add mode) or changes one (edit
// mode). The operator window opens it through ShowOperatorAdd and
// ShowOperatorEdit and refreshes its list when they answer true.
#pragma once

#include "store/records.h"
#include "ui/custom_dlg_ex.h"

#include <QString>

#include <memory>
#include <string>

namespace Ui {
class Tfrm_OperatorAdd;
}

namespace priv {

class TDepartmentsWordBook;
class TPrivilegeMgr;
class TRolesWordBook;
class TToolTip;

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

    // What the address box tells the operator when it is full.
    static QString AddressFullTitle();
    static QString AddressFullText();
    TToolTip* AddressBalloon() const { return addressBalloon_.get(); }

public slots:
    void sBtnSaveClick();
    void sBtnCloseClick() override;

protected:
    void showEvent(QShowEvent* event) override;

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
    // Holds the address box to what the record keeps, however the text
    // arrived (typed, pasted, an input method, set from outside), and tells
    // the operator when it is full.
    void FitAddress(const QString& text);
    void ShowAddressFull();
    // Whether the address box holds other text than it was given on loading.
    bool AddressEdited() const;

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
    // The address as stored (possibly longer than a record keeps), the
    // text the box was given from it, and the box's last text that fitted.
    std::string storedAddress_;
    QString shownAddress_;
    QString fittedAddress_;
    std::unique_ptr<TToolTip> addressBalloon_;
};

// Shows the dialog in add mode; true when an operator was added.
bool ShowOperatorAdd();
// Shows the dialog in edit mode for the operator with this code; true when the
// user confirmed (with or without a change).
bool ShowOperatorEdit(const std::string& operatorCode);

} // namespace priv
