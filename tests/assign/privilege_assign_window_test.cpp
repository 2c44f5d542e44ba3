// The privilege assignment window on the offscreen platform against a real
// SQLite database: posts by position, the company list driven by mouse and
// keyboard, the function tree, the check-all box, and what saving leaves in
// the tables (and, through privhost, what the post's operator may then use).
#include "assign/mvc_item_model.h"
#include "assign/privilege_assign_window.h"
#include "boundary/status_display.h"
#include "cipher/crypt.h"
#include "store/permit.h"
#include "store/post_store.h"
#include "store/store_fixture.h"
#include "support/arrange.h"
#include "ui/accessibility_walk.h"
#include "ui/host_context.h"
#include "ui/status_window.h"
#include "window_test_support.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace priv {
namespace {

using Grants = std::set<std::string>;

constexpr const char* kPost = "GW00001";
constexpr const char* kUserManagement = "01003-01-07-00-00";
constexpr const char* kPrivilegeAssign = "01003-01-19-00-00";

QString Q(const std::string& text)
{
    return QString::fromStdString(text);
}

// Calls `seen` with every event `watched` receives while the spy lives.
class EventSpy : public QObject {
public:
    EventSpy(QObject* watched, std::function<void(QEvent*)> seen) : seen_(std::move(seen))
    {
        watched->installEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* event) override
    {
        seen_(event);
        return false;
    }

private:
    std::function<void(QEvent*)> seen_;
};

class AssignWindowTest : public test::WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        if (HasFatalFailure())
            return;
        ASSERT_TRUE(test::AddCompany(Db(), 1, "91110000000000001A", "北京甲公司"));
        ASSERT_TRUE(test::AddCompany(Db(), 2, "91110000000000002B", "北京乙公司"));
        ASSERT_TRUE(test::AddCompany(Db(), 3, "91110000000000003C", "北京丙公司"));
        ASSERT_TRUE(test::AddCompany(Db(), 4, "91110000000000004D", "北京丁公司"));
        ASSERT_TRUE(test::AddCompany(Db(), 9, "代理机构", "某代理记账公司", 10));
        ASSERT_TRUE(test::AddPost(Db(), "GW00001", "出纳岗"));
        ASSERT_TRUE(test::AddPost(Db(), "GW00002", "稽核岗"));
        // Company 1: two VAT functions and the privilege assignment; company
        // 2: everything.
        TRolesMgr store;
        TRolePermissions permissions;
        ASSERT_TRUE(store.LoadPostPermissions(kPost, &permissions));
        TCompPermit* partial = static_cast<TCompPermit*>(permissions.Mark("1", true));
        partial->SetAllGranted(false);
        TAbstractPermit* vat = partial->Mark("02", true);
        vat->Mark("02001-01-01-00-00", true);
        vat->Mark("02001-01-03-00-00", true);
        partial->Mark("01", true)->Mark(kPrivilegeAssign, true);
        permissions.Mark("2", true);
        std::string message;
        ASSERT_TRUE(store.SavePostPermissions(&permissions, message)) << message;
        ASSERT_EQ(StoredGrants(), (Grants{"1:01", "1:01:" + std::string(kPrivilegeAssign), "1:02",
                                          "1:02:02001-01-01-00-00", "1:02:02001-01-03-00-00", "2:*"}));
    }

    // What the tables grant a post: "QYID:*" for a whole company, else
    // "QYID:app" and "QYID:app:function".
    Grants StoredGrants(const std::string& post = kPost)
    {
        Grants grants;
        QueryResult companies =
            Db().Query("SELECT m.PRMS_DM, m.KZDM FROM QX_ROLEPRMS r, QX_PRMSMAP m WHERE r.JS_DM='" + post +
                       "' AND m.PRMS_DM=r.PRMS_DM AND m.PRMS_TYPE='10'");
        for (; !companies.Eof(); companies.Next()) {
            const std::string company = companies.AsString("KZDM");
            QueryResult apps =
                Db().Query("SELECT PRMS_DM, DYDM FROM QX_PRMSMAP WHERE PRMS_TYPE='20' AND PARENT_DM=" +
                           companies.AsString("PRMS_DM"));
            if (apps.Eof())
                grants.insert(company + ":*");
            for (; !apps.Eof(); apps.Next()) {
                const std::string app = company + ":" + apps.AsString("DYDM");
                grants.insert(app);
                QueryResult functions =
                    Db().Query("SELECT DYDM FROM QX_PRMSMAP WHERE PRMS_TYPE='30' AND PARENT_DM=" +
                               apps.AsString("PRMS_DM"));
                for (; !functions.Eof(); functions.Next())
                    grants.insert(app + ":" + functions.AsString("DYDM"));
            }
        }
        return grants;
    }

    TfrmPrivilegeAssignEx* Open(const std::string& post)
    {
        auto* window = new TfrmPrivilegeAssignEx;
        // Both lists' models are watched from before their first rows: a
        // broken model contract ends the test run.
        QAbstractItemModel* companies = test::FindControl<QTreeView>(window, "vstCompList")->model();
        auto* functions = window->findChild<TMVCItemModel*>();
        EXPECT_NE(functions, nullptr);
        for (QAbstractItemModel* model : {companies, static_cast<QAbstractItemModel*>(functions)})
            if (model)
                new QAbstractItemModelTester(model, QAbstractItemModelTester::FailureReportingMode::Fatal,
                                             model);
        window->PostCode = post;
        EXPECT_TRUE(window->Prepare());
        OpenPage(window, "", false);
        window_ = window;
        return window;
    }

    QTreeView* Companies() { return test::FindControl<QTreeView>(window_, "vstCompList"); }
    QTreeView* Functions() { return test::FindControl<QTreeView>(window_, "vstSysFuncs"); }
    QString FunctionsCaption() { return test::FindControl<QGroupBox>(window_, "gbxAppFuncs")->title(); }
    bool Ticked(int row)
    {
        return Companies()->model()->index(row, 0).data(Qt::CheckStateRole).toInt() == Qt::Checked;
    }

    // A mouse click on a company's row (its name) or on its check box.
    void ClickRow(int row)
    {
        QTreeView* view = Companies();
        const QRect cell = view->visualRect(view->model()->index(row, 2));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cell.center());
    }
    void ClickBox(int row)
    {
        QTreeView* view = Companies();
        const QRect cell = view->visualRect(view->model()->index(row, 0));
        const int margin = view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1;
        const int box = view->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, view);
        const bool before = Ticked(row);
        // The box stands at the right end of its column.
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                          QPoint(cell.right() - margin - box / 2, cell.center().y()));
        ASSERT_NE(Ticked(row), before) << "the click missed the box of row " << row;
    }
    void Key(Qt::Key key)
    {
        Companies()->setFocus();
        QTest::keyClick(Companies(), key);
    }

    TMVCNode* FunctionNode(const std::string& code)
    {
        TMVCNode& root = window_->AppFuncsTree().Model()->Root();
        for (int i = 0; i < root.ChildCount(); ++i) {
            TMVCNode* app = root.ChildAt(i);
            if (app->Code() == code)
                return app;
            for (int j = 0; j < app->ChildCount(); ++j)
                if (app->ChildAt(j)->Code() == code)
                    return app->ChildAt(j);
        }
        ADD_FAILURE() << "no node " << code;
        return nullptr;
    }
    // The user ticks or unticks a function or application row, as the
    // view's delegate does on a click on its box.
    void SetFunction(const std::string& code, bool checked)
    {
        auto* model = static_cast<TMVCItemModel*>(Functions()->model());
        const QModelIndex at = model->IndexOf(FunctionNode(code));
        ASSERT_TRUE(at.isValid()) << code;
        ASSERT_TRUE(Functions()->isEnabled());
        model->setData(at, checked ? Qt::Checked : Qt::Unchecked, Qt::CheckStateRole);
    }
    // Every function code whose node is checked, and "app:*" for checked
    // applications.
    Grants CheckedFunctions()
    {
        Grants checked;
        TMVCNode& root = window_->AppFuncsTree().Model()->Root();
        for (int i = 0; i < root.ChildCount(); ++i) {
            TMVCNode* app = root.ChildAt(i);
            if (app->IsChecked())
                checked.insert(app->Code() + ":*");
            for (int j = 0; j < app->ChildCount(); ++j)
                if (app->ChildAt(j)->IsChecked())
                    checked.insert(app->ChildAt(j)->Code());
        }
        return checked;
    }
    int FunctionCount()
    {
        int count = 0;
        TMVCNode& root = window_->AppFuncsTree().Model()->Root();
        for (int i = 0; i < root.ChildCount(); ++i)
            count += 1 + root.ChildAt(i)->ChildCount();
        return count;
    }

    void Save() { test::FindControl<QToolButton>(window_, "tBtnSave")->click(); }

    // The signed-in operator holds the post being edited.
    void SignInWithThePost()
    {
        HostRecord& user = Host().GetUserInfoVO();
        RecordEntry* entry = user.Find("CZY_LB");
        if (!entry)
            entry = &user.Append("CZY_LB");
        entry->kind = EntryKind::Text;
        entry->text = kPost;
    }
    // Statements run since the log was last cleared that write anything.
    static std::vector<std::string> WritingStatements()
    {
        std::vector<std::string> found;
        for (const std::string& statement : fennix::ExecutedStatements())
            for (const char* verb : {"INSERT", "DELETE", "UPDATE"})
                if (statement.find(verb) != std::string::npos)
                    found.push_back(statement);
        return found;
    }
    std::vector<fennix::ShownMessage> Messages() { return fennix::ShownMessages(); }

    TfrmPrivilegeAssignEx* window_ = nullptr;
};

TEST_F(AssignWindowTest, PostsByTheirPositionInTheList)
{
    struct Case {
        const char* post;
        int position;
        const char* tip;
        bool editable;
        std::vector<bool> ticks;
    };
    const std::vector<Case> cases = {
        {"NOPE", 0, TfrmPrivilegeAssignEx::kPlaceholderTip, false, {false, false, false, false}},
        {"", 0, TfrmPrivilegeAssignEx::kPlaceholderTip, false, {false, false, false, false}},
        {"SYSTEM", 1, TfrmPrivilegeAssignEx::kBuiltInAssignedTip, false, {true, true, true, true}},
        {"BUSINESS", 2, TfrmPrivilegeAssignEx::kBuiltInAssignedTip, false, {true, true, true, true}},
        {"AUDITOR", 3, TfrmPrivilegeAssignEx::kBuiltInTip, true, {false, false, false, false}},
        {"GW00001", 4, "", true, {true, true, false, false}},
        {"GW00002", 5, "", true, {false, false, false, false}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.post);
        Open(c.post);
        // Only companies of the installation's kind are listed.
        ASSERT_EQ(window_->Companies().size(), 4u);
        EXPECT_EQ(test::FindControl<QComboBox>(window_, "cbxRoles")->currentIndex(), c.position);
        EXPECT_EQ(test::FindControl<QLabel>(window_, "lblRoleTip")->text(), QString::fromUtf8(c.tip));
        EXPECT_EQ(Companies()->isEnabled(), c.editable);
        EXPECT_EQ(test::FindControl<QCheckBox>(window_, "cbxCompList")->isEnabled(), c.editable);
        EXPECT_EQ(test::FindControl<QToolButton>(window_, "tBtnSave")->isEnabled(), c.editable);
        EXPECT_FALSE(Functions()->isEnabled());
        // Rows of a disabled list report themselves disabled.
        EXPECT_EQ(bool(Companies()->model()->flags(Companies()->model()->index(0, 1)) & Qt::ItemIsEnabled),
                  c.editable);
        EXPECT_FALSE(Functions()->model()->flags(Functions()->model()->index(0, 0)) & Qt::ItemIsEnabled);
        EXPECT_EQ(FunctionsCaption(), QString::fromUtf8(TfrmPrivilegeAssignEx::kNoCompanyCaption));
        for (int row = 0; row < 4; ++row)
            EXPECT_EQ(Ticked(row), c.ticks[static_cast<std::size_t>(row)]) << row;
        if (c.position == 0)
            test::SaveScreenshot(window_, "assign-placeholder-post");
        window_->close();
        test::RunDeferredDeletes();
    }
}

TEST_F(AssignWindowTest, ChoosingAnotherPostLoadsItAndDropsUnsavedTicks)
{
    Open("GW00002");
    QComboBox* roles = test::FindControl<QComboBox>(window_, "cbxRoles");
    EXPECT_EQ(roles->itemText(0), QStringLiteral("－请选择－"));
    EXPECT_EQ(roles->itemText(4), QStringLiteral("出纳岗"));
    ClickBox(3);
    roles->setCurrentIndex(4);
    EXPECT_TRUE(Ticked(0));
    EXPECT_TRUE(Ticked(1));
    EXPECT_EQ(window_->ShownCompany(), -1);
    roles->setCurrentIndex(5);
    EXPECT_FALSE(Ticked(3));
    roles->setCurrentIndex(3);
    EXPECT_EQ(test::FindControl<QLabel>(window_, "lblRoleTip")->text(), QStringLiteral("(系统内置岗位)"));
    EXPECT_TRUE(Companies()->isEnabled());
    Save();
    EXPECT_EQ(StoredGrants("GW00002"), Grants{});
}

TEST_F(AssignWindowTest, KeyboardFocusStoresTheFirstCompanyAndShowsTheNext)
{
    Open(kPost);
    ClickRow(0);
    EXPECT_EQ(window_->ShownCompany(), 0);
    EXPECT_EQ(FunctionsCaption(), QStringLiteral("为所选单位[91110000000000001A]分配系统权限"));
    EXPECT_TRUE(Functions()->isEnabled());
    EXPECT_EQ(CheckedFunctions(),
              (Grants{"01:*", kPrivilegeAssign, "02:*", "02001-01-01-00-00", "02001-01-03-00-00"}));
    SetFunction("02001-01-01-00-00", false);
    SetFunction("02001-01-04-00-00", true);
    Functions()->expandAll();
    test::SaveScreenshot(window_, "assign-created-post-partly-ticked");

    Key(Qt::Key_Down);
    EXPECT_EQ(window_->ShownCompany(), 1);
    EXPECT_EQ(FunctionsCaption(), QStringLiteral("为所选单位[91110000000000002B]分配系统权限"));
    EXPECT_EQ(static_cast<int>(CheckedFunctions().size()), FunctionCount());
    // An unticked company: nothing is shown.
    Key(Qt::Key_Down);
    EXPECT_EQ(window_->ShownCompany(), -1);
    EXPECT_FALSE(Functions()->isEnabled());
    Key(Qt::Key_Up);
    Key(Qt::Key_Up);
    EXPECT_EQ(window_->ShownCompany(), 0);
    EXPECT_EQ(CheckedFunctions(),
              (Grants{"01:*", kPrivilegeAssign, "02:*", "02001-01-03-00-00", "02001-01-04-00-00"}));

    Save();
    EXPECT_EQ(StoredGrants(), (Grants{"1:01", "1:01:" + std::string(kPrivilegeAssign), "1:02",
                                      "1:02:02001-01-03-00-00", "1:02:02001-01-04-00-00", "2:*"}));
    ASSERT_FALSE(Messages().empty());
    EXPECT_EQ(Messages().back().text, "保存岗位[出纳岗]权限信息成功。");
}

TEST_F(AssignWindowTest, TickingACompanyStoresTheShownOneFirstAndStartsWithEverything)
{
    Open(kPost);
    ClickRow(0);
    SetFunction("02001-01-03-00-00", false);
    ClickBox(2);
    EXPECT_FALSE(window_->SkipClick()) << "the click that ticked the box is over";
    EXPECT_EQ(Companies()->currentIndex().row(), 2);
    EXPECT_EQ(window_->ShownCompany(), 2);
    EXPECT_EQ(static_cast<int>(CheckedFunctions().size()), FunctionCount());
    SetFunction("03", false);
    Save();
    Grants expected = {"1:01", "1:01:" + std::string(kPrivilegeAssign), "1:02", "1:02:02001-01-01-00-00",
                       "2:*"};
    TMVCNode& root = window_->AppFuncsTree().Model()->Root();
    for (int i = 0; i < root.ChildCount(); ++i) {
        const TMVCNode* app = root.ChildAt(i);
        if (app->Code() == "03")
            continue;
        expected.insert("3:" + app->Code());
        for (int j = 0; j < app->ChildCount(); ++j)
            expected.insert("3:" + app->Code() + ":" + app->ChildAt(j)->Code());
    }
    EXPECT_EQ(StoredGrants(), expected);
}

TEST_F(AssignWindowTest, UntickingTheLastFunctionUnticksTheCompany)
{
    Open(kPost);
    ClickRow(1);
    ASSERT_EQ(window_->ShownCompany(), 1);
    TMVCNode& root = window_->AppFuncsTree().Model()->Root();
    for (int i = 0; i < root.ChildCount(); ++i)
        SetFunction(root.ChildAt(i)->Code(), false);
    EXPECT_FALSE(Ticked(1));
    EXPECT_FALSE(window_->Companies()[1].Granted);
    EXPECT_EQ(window_->ShownCompany(), 1) << "the tree keeps showing the company";
    // The next click on another ticked company shows that company's grants.
    ClickRow(0);
    EXPECT_EQ(window_->ShownCompany(), 0);
    EXPECT_EQ(CheckedFunctions(),
              (Grants{"01:*", kPrivilegeAssign, "02:*", "02001-01-01-00-00", "02001-01-03-00-00"}));

    // A partly granted company unticked and ticked again has everything.
    ClickBox(0);
    EXPECT_TRUE(CheckedFunctions().empty());
    ClickBox(0);
    EXPECT_EQ(static_cast<int>(CheckedFunctions().size()), FunctionCount());
    Save();
    EXPECT_EQ(StoredGrants(), Grants{"1:*"});
}

TEST_F(AssignWindowTest, TheCheckAllBoxTicksEveryCompanyWithoutTouchingTheTree)
{
    Open(kPost);
    ClickRow(0);
    const Grants shown = CheckedFunctions();
    QCheckBox* all = test::FindControl<QCheckBox>(window_, "cbxCompList");
    EXPECT_FALSE(all->isChecked());
    QTest::mouseClick(all, Qt::LeftButton);
    EXPECT_TRUE(all->isChecked());
    EXPECT_TRUE(all->isEnabled());
    EXPECT_TRUE(Companies()->isEnabled());
    for (int row = 0; row < 4; ++row)
        EXPECT_TRUE(Ticked(row)) << row;
    EXPECT_EQ(CheckedFunctions(), shown);
    Save();
    EXPECT_EQ(StoredGrants(),
              (Grants{"1:01", "1:01:" + std::string(kPrivilegeAssign), "1:02", "1:02:02001-01-01-00-00",
                      "1:02:02001-01-03-00-00", "2:*", "3:*", "4:*"}));

    // Unticking one company clears the box; ticking it again fills it.
    ClickBox(3);
    EXPECT_FALSE(all->isChecked());
    ClickBox(3);
    EXPECT_TRUE(all->isChecked());
    QTest::mouseClick(all, Qt::LeftButton);
    for (int row = 0; row < 4; ++row)
        EXPECT_FALSE(Ticked(row)) << row;
    Save();
    EXPECT_EQ(StoredGrants(), Grants{});
}

TEST_F(AssignWindowTest, OwnPostQuestionAnsweredNoSavesNothing)
{
    SignInWithThePost();
    Open(kPost);
    ClickRow(0);
    SetFunction(kPrivilegeAssign, false);
    const Grants before = StoredGrants();
    fennix::ClearShownMessages();
    test::ScriptAnswers({0});
    Save();
    const auto shown = Messages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].kind, fennix::MessageKind::Confirm);
    EXPECT_EQ(shown[0].text,
              "系统检查到岗位[出纳岗]权限发生变化，可能影响您系统使用，是否需要保存已分配权限？\r\n"
              "（已有权限“用户管理”或“权限分配”，在权限分配中设置时被小取消）");
    EXPECT_EQ(CurrentStatusWindow(), nullptr);
    EXPECT_EQ(StoredGrants(), before);

    // Yes saves, and says that it takes effect at the next sign-in.
    fennix::ClearShownMessages();
    test::ScriptAnswers({1});
    Save();
    ASSERT_EQ(Messages().size(), 2u);
    EXPECT_EQ(Messages()[1].text,
              "保存岗位[出纳岗]权限信息成功。\r\n您修改了当前登录岗位的权限，重新登录后即可生效。");
    EXPECT_EQ(StoredGrants().count("1:01:" + std::string(kPrivilegeAssign)), 0u);
    EXPECT_EQ(CurrentStatusWindow(), nullptr);

    // Removing something else of one's own post asks nothing.
    fennix::ClearShownMessages();
    SetFunction("02001-01-01-00-00", false);
    Save();
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0].kind, fennix::MessageKind::Info);
}

TEST_F(AssignWindowTest, TheQuestionAndTheStatusWindowAsShown)
{
    SignInWithThePost();
    Open(kPost);
    ClickRow(0);
    SetFunction(kPrivilegeAssign, false);
    fennix::SetInteractive(true);
    bool asked = false;
    bool statusShown = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &poll, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        poll.stop();
        asked = true;
        if (Tfrm_Status* status = CurrentStatusWindow()) {
            statusShown = status->isVisible();
            EXPECT_EQ(status->StatusText(), QStringLiteral("正在保存，请稍候 ..."));
            test::SaveScreenshot(status, "assign-status-while-saving");
        }
        test::SaveScreenshot(box, "assign-own-post-question");
        box->button(QMessageBox::No)->click();
    });
    poll.start(20);
    Save();
    poll.stop();
    fennix::SetInteractive(false);
    EXPECT_TRUE(asked);
    EXPECT_TRUE(statusShown);
    EXPECT_EQ(CurrentStatusWindow(), nullptr);
}

// A save that runs longer than a second counts the post's companies in the
// status window. The clock moves a second per reading, and each reading
// notes what the window shows at that moment.
TEST_F(AssignWindowTest, ALongSaveCountsItsCompaniesInTheStatusWindow)
{
    Open(kPost);
    ClickBox(2);
    ClickBox(3);
    std::vector<QString> seen;
    auto now = std::make_shared<StatusProgress::Clock::time_point>();
    SetStatusProgressClock([now, &seen] {
        if (Tfrm_Status* status = CurrentStatusWindow()) {
            EXPECT_EQ(status->StatusText(), QStringLiteral("正在保存，请稍候 ..."));
            seen.push_back(status->ProgressText());
        }
        return *now += std::chrono::seconds(1);
    });
    Save();
    SetStatusProgressClock({});
    EXPECT_EQ(CurrentStatusWindow(), nullptr);
    const Grants saved = StoredGrants();
    EXPECT_EQ(saved.count("3:*"), 1u);
    EXPECT_EQ(saved.count("4:*"), 1u);

    // Read as the save starts, before its first company, and then before
    // each count is shown: the last reading sees the count before the last.
    const int companies = static_cast<int>(seen.size()) - 2;
    ASSERT_GE(companies, 3);
    EXPECT_EQ(seen[0], QString());
    EXPECT_EQ(seen[1], QString());
    for (int done = 0; done < companies; ++done)
        EXPECT_EQ(seen[static_cast<std::size_t>(done + 2)],
                  QStringLiteral("%1 / %2").arg(done).arg(companies));
}

TEST_F(AssignWindowTest, APostDeletedMeanwhileIsNotSaved)
{
    Open(kPost);
    ClickBox(2);
    ASSERT_TRUE(Db().Exec("DELETE FROM QX_ROLES WHERE JS_DM='GW00001'"));
    const Grants before = StoredGrants();
    fennix::ClearShownMessages();
    Save();
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0].kind, fennix::MessageKind::Error);
    EXPECT_EQ(Messages()[0].text, "系统错误：[70018505]\r\n权限分配失败：岗位[GW00001]已不存在或无法读取。");
    EXPECT_EQ(StoredGrants(), before);
    const std::vector<std::string> log = Db().LogLines();
    ASSERT_FALSE(log.empty());
    EXPECT_NE(log.back().find("[70018506]保存出错：子系统分配权限无法写入数据库。"), std::string::npos);
}

TEST_F(AssignWindowTest, AFailedSaveKeepsTheTicksSoThatSavingAgainWorks)
{
    Open(kPost);
    ClickBox(2);
    ClickRow(0);
    SetFunction("02001-01-03-00-00", false);
    // The new company's node fails, after the removal in company 1 ran.
    const Grants before = StoredGrants();
    fennix::FailStatementsContaining("INSERT INTO QX_PRMSMAP", 0, 1);
    fennix::ClearShownMessages();
    Save();
    fennix::ClearStatementFailures();
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0].text.rfind("系统错误：[70018505]\r\n权限分配失败：保存[", 0), 0u)
        << Messages()[0].text;
    EXPECT_EQ(StoredGrants(), before);
    EXPECT_TRUE(Ticked(2));
    EXPECT_EQ(window_->ShownCompany(), 0);

    Save();
    const Grants saved = StoredGrants();
    EXPECT_EQ(saved.count("3:*"), 1u);
    EXPECT_EQ(saved.count("1:02:02001-01-03-00-00"), 0u);
    EXPECT_EQ(saved.count("1:02:02001-01-01-00-00"), 1u);
    EXPECT_EQ(Db().Scalar("SELECT COUNT(*) FROM QX_PRMSMAP WHERE PRMS_TYPE='10' AND KZDM=3"), "1");

    // A further save without changes writes nothing.
    fennix::ClearExecutedStatements();
    Save();
    EXPECT_EQ(WritingStatements(), std::vector<std::string>{});
    EXPECT_EQ(StoredGrants(), saved);
}

TEST_F(AssignWindowTest, ASaveRefusedForAnotherWorkstationsChangeReadsThePostAfresh)
{
    Open(kPost);
    // The user grants company 3 and withdraws one function in company 1.
    ClickBox(2);
    ClickRow(0);
    SetFunction("02001-01-03-00-00", false);

    // Meanwhile another workstation grants company 3 as well and withdraws
    // company 2, through a store of its own.
    {
        TRolesMgr other;
        TRolePermissions theirs;
        ASSERT_TRUE(other.LoadPostPermissions(kPost, &theirs));
        theirs.Mark("3", true);
        theirs.Mark("2", false);
        std::string message;
        ASSERT_TRUE(other.SavePostPermissions(&theirs, message)) << message;
    }
    const Grants theirs = StoredGrants();
    ASSERT_EQ(theirs.count("3:*"), 1u);
    ASSERT_EQ(theirs.count("2:*"), 0u);

    fennix::ClearShownMessages();
    Save();
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0].kind, fennix::MessageKind::Error);
    const std::string shown = Messages()[0].text;
    EXPECT_EQ(shown.rfind("系统错误：[70018505]\r\n权限分配失败：[3]已在其他工作站上授予该岗位", 0), 0u)
        << shown;
    EXPECT_NE(
        shown.find("\r\n已重新读取该岗位当前的权限，本页未保存的勾选已全部放弃：\r\n授予单位：北京丙公司\r\n"
                   "修改了应用或功能的单位：北京甲公司\r\n请在此基础上重新勾选后保存。"),
        std::string::npos)
        << "the message names what the reload dropped: " << shown;
    EXPECT_EQ(StoredGrants(), theirs) << "the refused save wrote nothing";

    // The window shows what is stored now, not the user's ticks.
    EXPECT_TRUE(Ticked(0));
    EXPECT_FALSE(Ticked(1)) << "withdrawn by the other workstation";
    EXPECT_TRUE(Ticked(2));
    EXPECT_FALSE(Ticked(3));
    EXPECT_EQ(window_->ShownCompany(), -1);
    EXPECT_EQ(FunctionsCaption(), Q(TfrmPrivilegeAssignEx::kNoCompanyCaption));
    ClickRow(0);
    EXPECT_EQ(CheckedFunctions(),
              (Grants{"01:*", kPrivilegeAssign, "02:*", "02001-01-01-00-00", "02001-01-03-00-00"}))
        << "the withdrawn function is ticked again as stored";

    // Ticking again on that state saves.
    SetFunction("02001-01-03-00-00", false);
    ClickBox(3);
    fennix::ClearShownMessages();
    Save();
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0].text, "保存岗位[出纳岗]权限信息成功。");
    EXPECT_EQ(StoredGrants(), (Grants{"1:01", "1:01:" + std::string(kPrivilegeAssign), "1:02",
                                      "1:02:02001-01-01-00-00", "3:*", "4:*"}));
    EXPECT_EQ(Db().Scalar("SELECT COUNT(*) FROM QX_PRMSMAP WHERE PRMS_TYPE='10' AND KZDM=3"), "1")
        << "company 3 is held once";
}

class AssignWindowOnBothDatabasesTest : public AssignWindowTest,
                                        public ::testing::WithParamInterface<test::Backend> {
protected:
    test::Backend DatabaseBackend() const override { return GetParam(); }
};

// Company 1 holds the applications 01 and 02. Two windows open the post
// before either saves; each withdraws a different one of them. The second
// save would leave company 1 without applications, that is wholly granted.
TEST_P(AssignWindowOnBothDatabasesTest, TwoWindowsWithdrawingDifferentApplicationsNeverGrantTheWholeCompany)
{
    TfrmPrivilegeAssignEx* first = Open(kPost);
    TfrmPrivilegeAssignEx* second = Open(kPost);
    window_ = first;
    ClickRow(0);
    SetFunction("01", false);
    window_ = second;
    ClickRow(0);
    SetFunction("02", false);

    window_ = first;
    fennix::ClearShownMessages();
    Save();
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0].text, "保存岗位[出纳岗]权限信息成功。");
    const Grants afterFirst = StoredGrants();
    ASSERT_EQ(afterFirst, (Grants{"1:02", "1:02:02001-01-01-00-00", "1:02:02001-01-03-00-00", "2:*"}));

    window_ = second;
    fennix::ClearShownMessages();
    Save();
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0].kind, fennix::MessageKind::Error);
    EXPECT_EQ(Messages()[0].text, "系统错误：[70018505]\r\n权限分配失败：[北京甲公司]"
                                  "的其他应用已在其他工作站上撤销，保存后该单位将被整体"
                                  "授予，请重新打开该岗位的权限后再保存。\r\n已重新读取该岗位当前的权限，本页"
                                  "未保存的勾选已全部放弃：\r\n"
                                  "修改了应用或功能的单位：北京甲公司\r\n请在此基础上重新勾选后保存。");
    EXPECT_EQ(StoredGrants(), afterFirst) << "company 1 is not granted whole";
    test::SaveScreenshot(second, "assign-two-windows-refused");

    // The second window shows what is stored now, and saves on it.
    ClickRow(0);
    EXPECT_EQ(CheckedFunctions(), (Grants{"02:*", "02001-01-01-00-00", "02001-01-03-00-00"}));
    SetFunction("02001-01-01-00-00", false);
    fennix::ClearShownMessages();
    Save();
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0].text, "保存岗位[出纳岗]权限信息成功。");
    EXPECT_EQ(StoredGrants(), (Grants{"1:02", "1:02:02001-01-03-00-00", "2:*"}));
}

INSTANTIATE_TEST_SUITE_P(Backends, AssignWindowOnBothDatabasesTest,
                         ::testing::ValuesIn(test::AvailableBackends()), test::BackendName);

TEST_F(AssignWindowTest, AFailedCompanyListKeepsTheWindowClosed)
{
    fennix::FailStatementsContaining("from XT_QYXX");
    auto* window = new TfrmPrivilegeAssignEx;
    window->PostCode = kPost;
    EXPECT_FALSE(window->Prepare());
    delete window;
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0].kind, fennix::MessageKind::Error);
    EXPECT_EQ(Messages()[0].text, "系统错误：[70018504]\r\n取用户权限范围出错。");
    const std::vector<std::string> log = Db().LogLines();
    ASSERT_FALSE(log.empty());
    EXPECT_NE(log.back().find("[70018504]取用户权限范围出错。"), std::string::npos);
}

// The page is held still exactly while the store lets events run during a
// load: when the post itself holds more than 1000 companies, whether or not
// the company list shows them, and never for a small load beside a long list
// (disabling the page there would only move the focus away).
TEST_F(AssignWindowTest, ALargeLoadHoldsThePageStillWhileEventsRun)
{
    struct Case {
        const char* what;
        int category;       // of the 1200 more companies: 0 listed, 10 not listed
        bool postHoldsThem; // granted to GW00002
    };
    const Case cases[] = {
        {"listed and held by the post", 0, true},
        {"held by the post but not listed", 10, true},
        {"listed but not held by the post", 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(Db().ExecAll({
            "DELETE FROM QX_ROLEPRMS WHERE JS_DM='GW00002'",
            "DELETE FROM QX_PRMSMAP WHERE KZDM >= 100",
            "DELETE FROM XT_QYXX WHERE QYID >= 100",
            "INSERT INTO XT_QYXX (QYID, QYSBH, QYMC, LBDM) WITH RECURSIVE n(i) AS (SELECT 100 UNION ALL "
            "SELECT "
            "i + 1 FROM n WHERE i < 1299) SELECT i, 'S' || i, '公司' || i, " +
                std::to_string(c.category) + " FROM n",
        }));
        if (c.postHoldsThem) {
            ASSERT_TRUE(Db().ExecAll({
                "INSERT INTO QX_PRMSMAP (DYDM, DYMC, PARENT_DM, PRMS_TYPE, KZDM) SELECT CAST(QYID AS TEXT), "
                "QYMC, 0, '10', QYID FROM XT_QYXX WHERE QYID >= 100",
                "INSERT INTO QX_ROLEPRMS (JS_DM, PRMS_DM) SELECT 'GW00002', PRMS_DM FROM QX_PRMSMAP WHERE "
                "PRMS_TYPE='10' AND KZDM >= 100",
            }));
        }
        Open(kPost);
        QComboBox* roles = test::FindControl<QComboBox>(window_, "cbxRoles");
        QToolButton* save = test::FindControl<QToolButton>(window_, "tBtnSave");
        int seen = 0;
        bool quietWhileLoading = true;
        QTimer probe;
        QObject::connect(&probe, &QTimer::timeout, &probe, [&] {
            ++seen;
            quietWhileLoading = quietWhileLoading && !roles->isEnabled() && !save->isEnabled();
        });
        // Every time the drop-down is disabled or enabled again.
        int enabledChanges = 0;
        EventSpy spy(roles, [&](QEvent* event) {
            if (event->type() == QEvent::EnabledChange)
                ++enabledChanges;
        });
        probe.start(0);
        roles->setCurrentIndex(5); // GW00002
        probe.stop();
        if (c.postHoldsThem) {
            EXPECT_GT(seen, 0) << "the load let no event run";
            EXPECT_TRUE(quietWhileLoading);
            EXPECT_EQ(window_->Permissions().Count(), 1200);
        } else {
            EXPECT_EQ(enabledChanges, 0) << "a small load left the page alone";
            EXPECT_EQ(window_->Permissions().Count(), 0);
        }
        EXPECT_TRUE(roles->isEnabled());
        EXPECT_TRUE(save->isEnabled());
        EXPECT_TRUE(Companies()->isEnabled());
        window_->close();
        test::RunDeferredDeletes();
    }
}

TEST_F(AssignWindowTest, TheCodeCaptionSettingRenamesTheColumnOnly)
{
    ASSERT_TRUE(Host().WriteIniValueStr("Config/System.ini", "SysCofig", "DisplayCompanyCodeName",
                                        "统一社会信用代码"));
    Open(kPost);
    QAbstractItemModel* model = Companies()->model();
    EXPECT_EQ(model->headerData(1, Qt::Horizontal).toString(), QStringLiteral("统一社会信用代码"));
    EXPECT_EQ(model->headerData(2, Qt::Horizontal).toString(), QStringLiteral("单位名称"));
    EXPECT_EQ(Companies()->header()->sectionSize(0), 32);
    EXPECT_EQ(Companies()->header()->sectionSize(1), 140);
    EXPECT_EQ(Companies()->header()->sectionSize(2), 200);
    ClickRow(1);
    EXPECT_EQ(FunctionsCaption(), QStringLiteral("为所选单位[91110000000000002B]分配系统权限"));
}

TEST_F(AssignWindowTest, TheCheckAllBoxFollowsTheHorizontalScroll)
{
    Open(kPost);
    QTreeView* view = Companies();
    // The user widens the name column past the list's width.
    view->header()->resizeSection(2, 600);
    QApplication::processEvents();
    QCheckBox* all = test::FindControl<QCheckBox>(window_, "cbxCompList");
    const int before = all->x();
    ASSERT_GT(view->horizontalScrollBar()->maximum(), 20);
    view->horizontalScrollBar()->setValue(20);
    EXPECT_EQ(window_->ScrollLeft(), -20);
    EXPECT_EQ(all->x(), before - 20);
}

// What privhost's host lets the post's operator use in one company after the
// sign-in and the product filter: the enabled function codes.
Grants UsableFunctions(const std::string& databaseUrl, const std::string& company)
{
    QProcess privhost;
    const QStringList products = {"0100", "0200", "0300", "0400", "0500"};
    privhost.start(QStringLiteral(PRIV_PRIVHOST_PATH),
                   {"--db", Q(databaseUrl), "--apps", QStringLiteral(PRIV_SOURCE_DIR "/host/app/apps.json"),
                    "--company", Q(company), "call", "--dump-apps", "LoadLoginForm",
                    "pamCZY_DM=clerk;pamPWD=Pw#2024", "InitGlobalUserInfo", "CZY_DM=clerk",
                    "FilterUserAuthrz", "authedProdcList=" + products.join(QLatin1Char('\n'))});
    EXPECT_TRUE(privhost.waitForFinished(60000));
    const std::string out = privhost.readAllStandardOutput().toStdString();
    EXPECT_EQ(privhost.exitCode(), 0) << out << privhost.readAllStandardError().toStdString();
    Grants usable;
    std::istringstream lines(out);
    std::string kind, app, code, enabled, visible;
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        if (fields >> kind >> app >> code >> enabled >> visible && kind == "function" && enabled == "1")
            usable.insert(code);
    }
    return usable;
}

TEST_F(AssignWindowTest, TheOperatorMayUseExactlyWhatWasTicked)
{
    ASSERT_TRUE(test::AddOperator(
        Db(), {.code = "clerk", .name = "张三", .password = "Pw#2024", .category = "1", .post = "GW00001"}));
    Open(kPost);
    ClickRow(0);
    SetFunction("02001-01-01-00-00", false);
    SetFunction("03001-01-02-00-00", true);
    SetFunction(kUserManagement, true);
    const Grants first = CheckedFunctions();
    ClickBox(2);
    SetFunction("05", false);
    SetFunction("02001-01-05-00-00", false);
    const Grants third = CheckedFunctions();
    Save();
    ASSERT_EQ(Messages().back().kind, fennix::MessageKind::Info) << Messages().back().text;

    // The functions of the ticked lists, as the host's descriptors enable them.
    auto functionsOf = [](const Grants& ticked) {
        Grants codes;
        for (const std::string& code : ticked)
            if (code.find(':') == std::string::npos && code != "05001-01-06-00-00")
                codes.insert(code);
        return codes;
    };
    EXPECT_EQ(UsableFunctions(Db().Url(), "1"), functionsOf(first));
    EXPECT_EQ(UsableFunctions(Db().Url(), "3"), functionsOf(third));
}

TEST_F(AssignWindowTest, AReaderNamesEveryControlAndReadsBothLists)
{
    Open(kPost);
    const std::vector<std::string> problems = test::AccessibilityProblems(window_);
    EXPECT_TRUE(problems.empty()) << test::Joined(problems);
    // Both lists offer their rows, with their check states, to a reader.
    const std::vector<test::AccessibleItem> companies = test::AccessibleItems(Companies());
    EXPECT_FALSE(companies.empty());
    EXPECT_FALSE(test::AccessibleItems(Functions()).empty());

    // The chosen post is read out.
    EXPECT_EQ(test::ChosenEntry(test::FindControl<QComboBox>(window_, "cbxRoles")), "出纳岗");

    // The company list: every column and every tick is named, and the
    // check-all box is one of the list's controls.
    EXPECT_EQ(test::AccessibleColumnCaptions(Companies()),
              (std::vector<std::string>{"授权", "纳税人识别号", "单位名称"}));
    ASSERT_EQ(companies.size(), 4u * 3u);
    EXPECT_EQ(companies[0].name, "北京甲公司");
    EXPECT_EQ(companies[std::size_t{3} * 3].name, "北京丁公司");
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(Companies());
    QCheckBox* all = test::FindControl<QCheckBox>(window_, "cbxCompList");
    QAccessibleInterface* allRead = QAccessible::queryAccessibleInterface(all);
    ASSERT_NE(allRead, nullptr);
    const int allAt = list->indexOfChild(allRead);
    ASSERT_GE(allAt, 0) << "the check-all box is among the list's children";
    EXPECT_EQ(list->child(allAt)->object(), all);
    EXPECT_EQ(allRead->text(QAccessible::Name), QStringLiteral("全选单位"));
    EXPECT_EQ(allRead->parent()->object(), Companies());

    // The function tree: each row tells its level, and a row with a branch
    // opens and closes it through its action.
    ClickRow(0);
    QTreeView* functions = Functions();
    const QModelIndex application = functions->model()->index(0, 0);
    ASSERT_TRUE(functions->model()->hasChildren(application));
    functions->collapse(application);
    QAccessibleInterface* tree = QAccessible::queryAccessibleInterface(functions);
    QAccessibleInterface* top = nullptr;
    for (int i = 0; i < tree->childCount() && !top; ++i)
        if (QAccessibleInterface* cell = tree->child(i); cell && cell->role() == QAccessible::TreeItem)
            top = cell;
    ASSERT_NE(top, nullptr);
    EXPECT_EQ(test::ToldLevel(top), 1);
    ASSERT_TRUE(top->actionInterface()->actionNames().contains(QStringLiteral("expand")));
    top->actionInterface()->doAction(QStringLiteral("expand"));
    EXPECT_TRUE(functions->isExpanded(application));
    const std::vector<test::AccessibleItem> rows = test::AccessibleItems(functions);
    const int columns = functions->model()->columnCount();
    ASSERT_GT(rows.size(), static_cast<std::size_t>(columns));
    EXPECT_EQ(rows[0].level, 1);
    EXPECT_EQ(rows[static_cast<std::size_t>(columns)].level, 2) << "the first row beneath it";
    EXPECT_NE(std::find(rows[0].actions.begin(), rows[0].actions.end(), "collapse"), rows[0].actions.end());
    top->actionInterface()->doAction(QStringLiteral("collapse"));
    EXPECT_FALSE(functions->isExpanded(application));

    const std::vector<std::string> shown = test::AccessibilityProblems(window_);
    EXPECT_TRUE(shown.empty()) << test::Joined(shown);
}

} // namespace
} // namespace priv
