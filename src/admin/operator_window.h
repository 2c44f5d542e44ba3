// The operator management window ("用户管理"): the page in which an
// administrator lists the operators, finds them by code and name, adds, edits
// and deletes them, and opens the post and department dialogs and the host's
// privilege assignment.
#pragma once

#include "store/records.h"
#include "ui/custom_form_ex.h"

#include <memory>
#include <string>

class QAction;
class QMenu;
class QModelIndex;
class QToolButton;
class QTreeView;

namespace Ui {
class Tfrm_Operator;
}

namespace priv {

class TOperatorListModel;
class TPrivilegeMgr;

class Tfrm_Operator : public Tfrm_CustomEx {
    Q_OBJECT
public:
    explicit Tfrm_Operator(QWidget* parent = nullptr);
    ~Tfrm_Operator() override;

    // The Tfrm_CustomEx skin; then the list's column headers take the tool
    // bar's colour and its rows white, and panels tagged -1 (the find panel)
    // the module's background colour.
    void ApplySkinScheme() override;

    // Reads the operators that have a post, narrowed by the code and name
    // filters (parts of the text; empty: no narrowing), into the list. False,
    // with an empty list, when the statement fails.
    bool LoadOperators(const std::string& codeFilter, const std::string& nameFilter);

    TOperatorListModel& ListModel() const { return *model_; }
    // The record of the focused row; null when no row is focused.
    const OperatorListEntry* SelectedOperator() const;

    // The privilege function the host runs for privilege assignment.
    static constexpr const char* kPrivilegeAssignFunction = "01003-01-19-00-00";

public slots:
    void tbtQueryClick();
    void sBtnFindClick();
    void sBtnClearClick();
    void cxTLOperatorChange();
    void cxTLOperatorDblClick();
    void actAddOperatorExecute();
    void actEditOperatorExecute();
    void actDelOperatorExecute();
    void actPrivAssignExecute();
    void actSettingPostExecute();
    void actSettingDeprtExecute();

protected:
    void FormCreate() override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildToolbar();
    void BuildList();
    void BuildMenu();
    void ShareColumnWidths();
    // Creates the privilege manager through which the window and its dialogs
    // reach the operators, unless one is there already.
    void EnsurePrivilegeMgr();
    // The find with the filters standing in the find boxes.
    void RefreshList();
    std::string SignedInCode() const;
    std::string SignedInCategory() const;

    std::unique_ptr<Ui::Tfrm_Operator> ui;
    TOperatorListModel* model_ = nullptr;
    std::unique_ptr<TPrivilegeMgr> privilegeMgr_;

    QAction* actAddOperator = nullptr;
    QAction* actDelOperator = nullptr;
    QAction* actEditOperator = nullptr;
    QAction* actSettingPost = nullptr;
    QAction* actPrivAssign = nullptr;
    QAction* actSettingDeprt = nullptr;
    QToolButton* tbtQuery = nullptr;
    QToolButton* tbtExit = nullptr;
    QMenu* pmuOperator = nullptr;
};

} // namespace priv
