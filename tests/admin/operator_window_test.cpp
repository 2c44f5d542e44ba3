// The operator management window on the offscreen platform against a real
// SQLite database: the list, the find panel, the selection rules, delete,
// privilege assignment, the dialogs it opens, and the export that opens it.
#include "operator_fixture.h"
#include "ui/accessibility_walk.h"

#include "admin/department_dialog.h"
#include "admin/operator_add_dialog.h"
#include "admin/operator_list_model.h"
#include "admin/operator_window.h"
#include "admin/user_post_dialog.h"
#include "ui/host_messages.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <QTreeView>

namespace priv::test {
namespace {

class OperatorWindowTest : public OperatorTest {
protected:
    Tfrm_Operator* OpenWindow()
    {
        auto* window = new Tfrm_Operator;
        // Watches the list's model from before its first rows: a broken
        // model contract ends the test run.
        new QAbstractItemModelTester(&window->ListModel(),
                                     QAbstractItemModelTester::FailureReportingMode::Fatal,
                                     &window->ListModel());
        OpenPage(window, "ModalFormMsg=用户管理", true);
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window));
        return window;
    }

    static QTreeView* List(Tfrm_Operator* window) { return FindControl<QTreeView>(window, "cxTLOperator"); }
    static QAction* Action(Tfrm_Operator* window, const char* name)
    {
        return FindControl<QAction>(window, name);
    }

    static std::vector<std::string> ListedCodes(Tfrm_Operator* window)
    {
        std::vector<std::string> codes;
        const QAbstractItemModel* model = List(window)->model();
        for (int row = 0; row < model->rowCount(); ++row)
            codes.push_back(model->index(row, 0).data().toString().toStdString());
        return codes;
    }

    static QStringList RowTexts(Tfrm_Operator* window, const std::string& code)
    {
        const QModelIndex row = window->ListModel().IndexOfCode(code);
        QStringList texts;
        for (int column = 0; column < TOperatorListModel::ColumnCount; ++column)
            texts << row.siblingAtColumn(column).data().toString();
        return texts;
    }

    // Presses the mouse on the operator's row, as a person picks it.
    static void ClickRow(Tfrm_Operator* window, const std::string& code)
    {
        QTreeView* list = List(window);
        const QModelIndex row = window->ListModel().IndexOfCode(code);
        ASSERT_TRUE(row.isValid()) << code;
        list->scrollTo(row);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(row).center());
    }

    static void ClickBelowRows(Tfrm_Operator* window)
    {
        QTreeView* list = List(window);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(20, list->viewport()->height() - 3));
    }

    void Find(Tfrm_Operator* window, const QString& code, const QString& name)
    {
        auto* codeBox = FindControl<QLineEdit>(window, "edtUserID");
        auto* nameBox = FindControl<QLineEdit>(window, "edtUserName");
        codeBox->clear();
        nameBox->clear();
        TypeText(codeBox, code);
        TypeText(nameBox, name);
        QTest::mouseClick(FindControl<QPushButton>(window, "sBtnFind"), Qt::LeftButton);
    }
};

TEST_F(OperatorWindowTest, ListsEveryOperatorWithAPostSortedByCode)
{
    SignInAs("admin", "0");
    Tfrm_Operator* window = OpenWindow();
    EXPECT_EQ(List(window)->model(), &window->ListModel());
    EXPECT_EQ(window->windowTitle(), QStringLiteral("用户管理"));
    EXPECT_EQ(MainFrame().CopyDataTexts(CD_PAGE_OPENED).size(), 1u);

    // "nopost" has no post link; "Brien" sorts among the b's.
    EXPECT_EQ(ListedCodes(window), (std::vector<std::string>{"admin", "audit", "Brien", "clerk", "kuaiji",
                                                             "root", "sys2", "sysadm"}));
    EXPECT_EQ(RowTexts(window, "admin"), (QStringList{"admin", "管理员", "超级管理员", "办公室"}));
    EXPECT_EQ(RowTexts(window, "sysadm"), (QStringList{"sysadm", "系统管理员甲", "系统管理员", "办公室"}));
    EXPECT_EQ(RowTexts(window, "clerk"), (QStringList{"clerk", "张三", "业务员", "财务部"}));
    EXPECT_EQ(RowTexts(window, "audit"), (QStringList{"audit", "李审", "审核员", "——"}));
    EXPECT_EQ(RowTexts(window, "kuaiji"), (QStringList{"kuaiji", "王会计", "税务会计", "财务部"}));

    const QAbstractItemModel* model = List(window)->model();
    QStringList headers;
    for (int column = 0; column < model->columnCount(); ++column)
        headers << model->headerData(column, Qt::Horizontal).toString();
    EXPECT_EQ(headers, (QStringList{"用户代码", "用户名称", "岗位", "部门"}));
    EXPECT_FALSE(model->flags(model->index(0, 0)) & Qt::ItemIsEditable);

    EXPECT_TRUE(Action(window, "actEditOperator")->isEnabled());
    EXPECT_FALSE(FindControl<QWidget>(window, "pnlFind")->isVisible());
    EXPECT_FALSE(FindControl<QToolButton>(window, "tbtExit")->isVisible());
    SaveScreenshot(window->window(), "operator_list");
}

TEST_F(OperatorWindowTest, AFailedListQueryLeavesAnEmptyListWithoutCommands)
{
    SignInAs("admin", "0");
    fennix::FailStatementsContaining("FROM QX_CZY t1");
    Tfrm_Operator* window = OpenWindow();
    EXPECT_EQ(List(window)->model()->rowCount(), 0);
    EXPECT_FALSE(Action(window, "actEditOperator")->isEnabled());
    EXPECT_FALSE(Action(window, "actDelOperator")->isEnabled());
    EXPECT_TRUE(fennix::ShownMessages().empty());
}

TEST_F(OperatorWindowTest, SelectionRulesFollowTheSignedInOperatorAndTheRow)
{
    struct Case {
        const char* signedIn;
        const char* category;
        const char* row;
        bool edit;
        bool remove;
    };
    const Case cases[] = {
        // The super administrator may touch everybody but delete himself.
        {"admin", "0", "admin", true, false},
        {"admin", "0", "root", true, true},
        {"admin", "0", "sysadm", true, true},
        {"admin", "0", "clerk", true, true},
        // A system administrator touches neither super nor system
        // administrators, himself included.
        {"sysadm", "SYSTEM", "admin", false, false},
        {"sysadm", "SYSTEM", "sysadm", false, false},
        {"sysadm", "SYSTEM", "sys2", false, false},
        {"sysadm", "SYSTEM", "clerk", true, true},
        {"sysadm", "SYSTEM", "kuaiji", true, true},
        // Any other signed-in operator may not delete himself.
        {"clerk", "BUSINESS", "clerk", true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.signedIn) + " on " + c.row);
        SignInAs(c.signedIn, c.category);
        Tfrm_Operator* window = OpenWindow();
        ClickRow(window, c.row);
        ASSERT_NE(window->SelectedOperator(), nullptr);
        EXPECT_EQ(window->SelectedOperator()->Code, c.row);
        EXPECT_EQ(Action(window, "actEditOperator")->isEnabled(), c.edit);
        EXPECT_EQ(Action(window, "actDelOperator")->isEnabled(), c.remove);
        EXPECT_EQ(FindControl<QToolButton>(window, "tbtOperEdit")->isEnabled(), c.edit);
        EXPECT_EQ(FindControl<QToolButton>(window, "tbtOperDel")->isEnabled(), c.remove);

        // Pressing below the last row focuses no row: nothing to edit or delete.
        ClickBelowRows(window);
        EXPECT_EQ(window->SelectedOperator(), nullptr);
        EXPECT_FALSE(Action(window, "actEditOperator")->isEnabled());
        EXPECT_FALSE(Action(window, "actDelOperator")->isEnabled());
        window->close();
        RunDeferredDeletes();
    }
}

TEST_F(OperatorWindowTest, TheFindPanelFiltersByCodeAndNameAndResetOnlyEmptiesTheBoxes)
{
    ASSERT_TRUE(Db().Exec("UPDATE QX_CZY SET CZY_MC='Sean O''Brien' WHERE CZY_DM='Brien'"));
    SignInAs("admin", "0");
    Tfrm_Operator* window = OpenWindow();
    auto* query = FindControl<QToolButton>(window, "tbtQuery");
    QTest::mouseClick(query, Qt::LeftButton);
    EXPECT_TRUE(query->isChecked());
    EXPECT_TRUE(FindControl<QWidget>(window, "pnlFind")->isVisible());

    Find(window, "", "O'Brien");
    EXPECT_EQ(ListedCodes(window), (std::vector<std::string>{"Brien"}));
    SaveScreenshot(window->window(), "operator_find_panel");

    Find(window, "sys", "");
    EXPECT_EQ(ListedCodes(window), (std::vector<std::string>{"sys2", "sysadm"}));
    Find(window, " sys ", "乙");
    EXPECT_EQ(ListedCodes(window), (std::vector<std::string>{"sys2"})) << "filters are trimmed and combined";
    Find(window, "nobody", "");
    EXPECT_TRUE(ListedCodes(window).empty());
    EXPECT_FALSE(Action(window, "actEditOperator")->isEnabled());

    Find(window, "sys", "");
    QTest::mouseClick(FindControl<QPushButton>(window, "sBtnClear"), Qt::LeftButton);
    EXPECT_TRUE(FindControl<QLineEdit>(window, "edtUserID")->text().isEmpty());
    EXPECT_TRUE(FindControl<QLineEdit>(window, "edtUserName")->text().isEmpty());
    EXPECT_EQ(ListedCodes(window).size(), 2u) << "reset does not reload";

    // Hiding the panel keeps its filters for the refresh after a command.
    Find(window, "", "管理员");
    EXPECT_EQ(ListedCodes(window), (std::vector<std::string>{"admin", "root", "sys2", "sysadm"}));
    QTest::mouseClick(query, Qt::LeftButton);
    EXPECT_FALSE(FindControl<QWidget>(window, "pnlFind")->isVisible());
    ClickRow(window, "sys2");
    ScriptAnswers({1});
    Action(window, "actDelOperator")->trigger();
    EXPECT_EQ(ListedCodes(window), (std::vector<std::string>{"admin", "root", "sysadm"}));
}

TEST_F(OperatorWindowTest, DeleteChecksTheRowAsksAndDeletes)
{
    SignInAs("admin", "0");
    Tfrm_Operator* window = OpenWindow();
    Tfrm_Operator& w = *window;

    ClickBelowRows(window);
    w.actDelOperatorExecute();
    ClickRow(window, "admin");
    w.actDelOperatorExecute();
    ClickRow(window, "root");
    w.actDelOperatorExecute();
    EXPECT_EQ(ShownNumbers(), (std::vector<int>{104008, 104011, 104012}));

    fennix::ClearShownMessages();
    ClickRow(window, "clerk");
    ScriptAnswers({0});
    Action(window, "actDelOperator")->trigger();
    ASSERT_EQ(fennix::ShownMessages().size(), 1u);
    EXPECT_EQ(fennix::ShownMessages()[0].number, 104013);
    EXPECT_EQ(fennix::ShownMessages()[0].arguments, "clerk");
    EXPECT_EQ(Column("clerk", "CZY_MC"), "张三") << "not confirmed, not deleted";

    fennix::ClearShownMessages();
    ScriptAnswers({1});
    Action(window, "actDelOperator")->trigger();
    EXPECT_EQ(ShownNumbers(), (std::vector<int>{104013, 104014}));
    EXPECT_EQ(fennix::ShownMessages()[1].arguments, "clerk");
    EXPECT_EQ(Db().Scalar("SELECT COUNT(*) FROM QX_CZY WHERE CZY_DM='clerk'"), "0");
    EXPECT_EQ(Db().Scalar("SELECT COUNT(*) FROM QX_CZYRROLE WHERE CZY_DM='clerk'"), "0");
    EXPECT_EQ(window->ListModel().IndexOfCode("clerk"), QModelIndex()) << "the list is refreshed";
    const std::vector<std::string> log = Db().LogLines();
    ASSERT_FALSE(log.empty());
    EXPECT_NE(log.back().find("删除张三用户。"), std::string::npos) << log.back();

    fennix::ClearShownMessages();
    fennix::FailStatementsContaining("DELETE from QX_CZY WHERE");
    ClickRow(window, "audit");
    ScriptAnswers({1});
    Action(window, "actDelOperator")->trigger();
    ASSERT_EQ(ShownNumbers(), (std::vector<int>{104013, 104015}));
    EXPECT_EQ(fennix::ShownMessages()[1].arguments, std::string("70018508\x01") + "audit");
    EXPECT_NE(fennix::ShownMessages()[1].text.find("70018508"), std::string::npos);
    EXPECT_EQ(Column("audit", "CZY_MC"), "李审");
}

TEST_F(OperatorWindowTest, PrivilegeAssignmentGoesThroughTheHostFunction)
{
    std::vector<std::string> received;
    void* receivedOwner = nullptr;
    fennix::RegisterFunction(Tfrm_Operator::kPrivilegeAssignFunction, [&](void* owner, char** buffer) {
        receivedOwner = owner;
        received.push_back(HostToUtf8(buffer[0]));
        return true;
    });

    SignInAs("sysadm", "SYSTEM");
    Tfrm_Operator* window = OpenWindow();
    ClickRow(window, "admin");
    Action(window, "actPrivAssign")->trigger();
    EXPECT_EQ(ShownNumbers(), (std::vector<int>{104009}));
    EXPECT_TRUE(received.empty());

    fennix::ClearShownMessages();
    ClickRow(window, "clerk");
    Action(window, "actPrivAssign")->trigger();
    EXPECT_TRUE(fennix::ShownMessages().empty());
    EXPECT_EQ(received, (std::vector<std::string>{"CLOSEPREV=false;TOVIEW=false"}));
    EXPECT_EQ(receivedOwner, static_cast<void*>(window->parentWidget()));
    window->close();

    SignInAs("lina", "BUSINESS");
    window = OpenWindow();
    ClickRow(window, "clerk");
    Action(window, "actPrivAssign")->trigger();
    EXPECT_EQ(ShownNumbers(), (std::vector<int>{104010}));
    window->close();

    // The host withdrew the function from the signed-in operator.
    fennix::ClearShownMessages();
    for (SubAppDescriptor* app : fennix::AllDescriptors())
        for (FunctionRecord& function : app->functions)
            if (function.code == Tfrm_Operator::kPrivilegeAssignFunction)
                function.enabled = false;
    SignInAs("admin", "0");
    window = OpenWindow();
    Action(window, "actPrivAssign")->trigger();
    EXPECT_EQ(ShownTexts(), (std::vector<std::string>{"您没有权限使用本功能。"}));
    EXPECT_EQ(received.size(), 1u);
    fennix::RegisterFunction(Tfrm_Operator::kPrivilegeAssignFunction, {});
}

TEST_F(OperatorWindowTest, AddAndDoubleClickOpenTheDialogAndRefreshWhenConfirmed)
{
    SignInAs("admin", "0");
    Tfrm_Operator* window = OpenWindow();
    auto* query = FindControl<QToolButton>(window, "tbtQuery");
    QTest::mouseClick(query, Qt::LeftButton);
    Find(window, "k", "");

    WhenDialogRuns<Tfrm_OperatorAdd>([](Tfrm_OperatorAdd& dialog) {
        EXPECT_FALSE(dialog.EditMode());
        QTest::keyClicks(FindControl<QLineEdit>(&dialog, "edtOpId"), "kaka");
        TypeText(FindControl<QLineEdit>(&dialog, "edtOpName"), QStringLiteral("卡卡"));
        QTest::mouseClick(FindControl<QPushButton>(&dialog, "sBtnSave"), Qt::LeftButton);
    });
    QTest::mouseClick(FindControl<QToolButton>(window, "tbtOperAdd"), Qt::LeftButton);
    EXPECT_EQ(ListedCodes(window), (std::vector<std::string>{"clerk", "kaka", "kuaiji"}))
        << "refreshed with the filter";

    // Double click edits; a cancelled dialog leaves the list alone.
    ASSERT_TRUE(Db().Exec("UPDATE QX_CZY SET CZY_MC='改名' WHERE CZY_DM='kuaiji'"));
    const QModelIndex row = window->ListModel().IndexOfCode("kuaiji");
    QTreeView* list = List(window);
    WhenDialogRuns<Tfrm_OperatorAdd>([](Tfrm_OperatorAdd& dialog) {
        EXPECT_TRUE(dialog.EditMode());
        EXPECT_EQ(FindControl<QLineEdit>(&dialog, "edtOpId")->text(), QStringLiteral("kuaiji"));
        QTest::mouseClick(FindControl<QPushButton>(&dialog, "sBtnClose"), Qt::LeftButton);
    });
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(row).center());
    EXPECT_EQ(RowTexts(window, "kuaiji").at(1), QStringLiteral("王会计"));
}

TEST_F(OperatorWindowTest, DoubleClickDoesNothingWhereEditIsNotAllowed)
{
    SignInAs("sysadm", "SYSTEM");
    Tfrm_Operator* window = OpenWindow();
    QTreeView* list = List(window);
    // A person's double click presses the row first (QTest's double click
    // alone never reaches a row that was not pressed). A dialog that opened
    // would run its own event loop inside the double click; the watch counts
    // it and closes it there.
    auto dialogsOnDoubleClick = [&](const std::string& code) {
        ClickRow(window, code);
        const DialogsOpened<Tfrm_OperatorAdd> dialogs;
        const QModelIndex row = window->ListModel().IndexOfCode(code);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(row).center());
        return dialogs.Count();
    };
    EXPECT_EQ(dialogsOnDoubleClick("admin"), 0);
    EXPECT_EQ(dialogsOnDoubleClick("clerk"), 1)
        << "a business operator is the system administrator's to edit";
}

TEST_F(OperatorWindowTest, ThePopUpMenuFollowsTheCommands)
{
    SignInAs("sysadm", "SYSTEM");
    Tfrm_Operator* window = OpenWindow();
    auto* menu = FindControl<QMenu>(window, "pmuOperator");
    QStringList texts;
    for (QAction* item : menu->actions())
        texts << item->text();
    EXPECT_EQ(texts, (QStringList{"新增用户", "修改所选用户", "删除所选用户", "分配所选用户权限"}));
    ClickRow(window, "admin");
    EXPECT_FALSE(menu->actions().at(1)->isEnabled());
    EXPECT_FALSE(menu->actions().at(2)->isEnabled());
    ClickRow(window, "clerk");
    EXPECT_TRUE(menu->actions().at(1)->isEnabled());
    EXPECT_TRUE(menu->actions().at(2)->isEnabled());
}

TEST_F(OperatorWindowTest, PostAndDepartmentSettingsRefreshTheListWhateverTheyAnswer)
{
    SignInAs("admin", "0");
    Tfrm_Operator* window = OpenWindow();
    // What the dialogs change shows in the list once they close.
    WhenDialogRuns<TfrmUserPost>([this](TfrmUserPost& dialog) {
        EXPECT_TRUE(Db().Exec("UPDATE QX_ROLES SET JS_MC='税务主管' WHERE JS_DM='GW00001'"));
        dialog.reject();
    });
    QTest::mouseClick(FindControl<QToolButton>(window, "ToolButton1"), Qt::LeftButton);
    EXPECT_EQ(RowTexts(window, "kuaiji").at(2), QStringLiteral("税务主管"));

    WhenDialogRuns<TfrmDepartmentMgr>([this](TfrmDepartmentMgr& dialog) {
        EXPECT_TRUE(Db().Exec("UPDATE XT_BMXX SET BM_MC='财务处' WHERE BM_DM='D01'"));
        dialog.reject();
    });
    QTest::mouseClick(FindControl<QToolButton>(window, "ToolButton2"), Qt::LeftButton);
    EXPECT_EQ(RowTexts(window, "kuaiji").at(3), QStringLiteral("财务处"));
    EXPECT_EQ(RowTexts(window, "clerk").at(3), QStringLiteral("财务处"));
}

TEST_F(OperatorWindowTest, TheExportOpensTheWindowInTheHostsPage)
{
    SignInAs("admin", "0");
    LoadedModule module;
    ASSERT_NE(module.Handle(), nullptr) << dlerror();
    auto show = module.Window("ShowOperatorMgrProc");
    ASSERT_NE(show, nullptr);

    QWidget* page = HostPage();
    HostBuffer buffer("ModalFormMsg=用户管理");
    show(appWindow_.get(), page, buffer.argv);
    auto* window = page->findChild<QWidget*>("frm_Operator");
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    auto* list = window->findChild<QTreeView*>("cxTLOperator");
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->model()->rowCount(), 8);
    const std::vector<std::string> opened = MainFrame().CopyDataTexts(CD_PAGE_OPENED);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].substr(0, opened[0].find('|')), "用户管理");
    EXPECT_EQ(opened[0].substr(opened[0].size() - 4), "|0|1");
    window->close();
    RunDeferredDeletes();

    // Without a parameter string the page still opens, announcing nothing.
    MainFrame().Clear();
    show(appWindow_.get(), page, nullptr);
    char* noText[1] = {nullptr};
    show(appWindow_.get(), page, noText);
    const QList<QWidget*> windows = page->findChildren<QWidget*>("frm_Operator", Qt::FindDirectChildrenOnly);
    EXPECT_EQ(windows.size(), 2);
    EXPECT_TRUE(MainFrame().CopyDataTexts(CD_PAGE_OPENED).empty());
    for (QWidget* left : windows)
        left->close();
    RunDeferredDeletes();
}

TEST_F(OperatorWindowTest, AReaderNamesEveryControlAndReadsTheOperatorList)
{
    SignInAs("admin", "0");
    Tfrm_Operator* window = OpenWindow();
    const std::vector<std::string> problems = priv::test::AccessibilityProblems(window);
    EXPECT_TRUE(problems.empty()) << priv::test::Joined(problems);
    EXPECT_FALSE(priv::test::AccessibleItems(List(window)).empty());

    // "查找..." through its accessible action opens the find panel and closes
    // it again, as a click does; the panel's boxes are then read like the rest.
    auto* query = FindControl<QToolButton>(window, "tbtQuery");
    QWidget* panel = FindControl<QWidget>(window, "pnlFind");
    ASSERT_TRUE(priv::test::DoAccessibleAction(query, QAccessibleActionInterface::toggleAction()));
    EXPECT_TRUE(query->isChecked());
    EXPECT_TRUE(panel->isVisible());
    const std::vector<std::string> opened = priv::test::AccessibilityProblems(window);
    EXPECT_TRUE(opened.empty()) << priv::test::Joined(opened);
    ASSERT_TRUE(priv::test::DoAccessibleAction(query, QAccessibleActionInterface::toggleAction()));
    EXPECT_FALSE(query->isChecked());
    EXPECT_FALSE(panel->isVisible());
}

} // namespace
} // namespace priv::test
