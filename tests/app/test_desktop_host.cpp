// The desktop host's main frame with the built module loaded through dlopen,
// an operator signed in without the login window, and the main-frame channel
// driven exactly as the module's page windows drive it.
#include "demo_data.h"
#include "desktop_session.h"
#include "desktop_setup.h"
#include "function_tree.h"
#include "host_database.h"
#include "main_window.h"
#include "module_loader.h"

#include "support/arrange.h"
#include "support/database_fixture.h"
#include "ui/accessibility_walk.h"

#include "boundary/codepage.h"
#include "boundary/datetime.h"
#include "boundary/utilities.h"
#include "cipher/crypt.h"

#include <fennix/fennix.h>
#include <fennix/testing.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QRegularExpression>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace privhost {
namespace {

using priv::test::AvailableBackends;
using priv::test::BackendName;

// Deferred deletions and queued checks run, as the event loop would run them.
void Settle()
{
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

void SaveScreenshot(QWidget* window, const char* name)
{
    window->grab().save(QStringLiteral(PRIV_SCREENSHOT_DIR "/%1.png").arg(QLatin1String(name)));
}

// What a module page window sends to the host's main window.
void SendPageData(std::uintptr_t kind, const std::string& utf8)
{
    const std::string host = priv::Utf8ToHost(utf8);
    std::vector<char> bytes(host.begin(), host.end());
    bytes.push_back('\0');
    priv::Host& services = fennix::Services();
    services.SendCopyData(services.FindWindowByClass(kMainFrameClass), services.GetAppHandle(), kind, bytes);
}

void SendPageMessage(unsigned message, std::intptr_t wParam = 0)
{
    fennix::Services().SendWindowMessage(fennix::Services().FindWindowByClass(kMainFrameClass), message,
                                         wParam, 0);
}

std::string HandleText(const QWidget* window)
{
    return std::to_string(reinterpret_cast<std::uintptr_t>(window));
}

QString LabelText(QWidget* frame, const char* name)
{
    const auto* label = frame->findChild<QLabel*>(QLatin1String(name));
    return label ? label->text() : QStringLiteral("<no %1>").arg(QLatin1String(name));
}

QString WithoutMnemonicText(const QString& text)
{
    return priv::test::WithoutMnemonic(text);
}

class DesktopHostTest : public priv::test::DatabaseTest {
protected:
    void AdjustSettings(fennix::Settings& settings) override { settings.companyId = "1001"; }

    void SetUp() override
    {
        DatabaseTest::SetUp();
        if (HasFatalFailure())
            return;
        // What `privhost init --demo` leaves: the super administrator and the demo set.
        ASSERT_TRUE(priv::test::AddOperator(Db(), {.code = "admin",
                                                   .name = "超级管理员",
                                                   .password = "admin123",
                                                   .category = "0",
                                                   .departmentText = "",
                                                   .department = "",
                                                   .post = "0",
                                                   .more = {{"DESCRIPTION", "系统内置超级管理员"}}}));
        ASSERT_TRUE(CreateDemoData(Db().Settings()));
        std::string error;
        ASSERT_TRUE(module_.LoadFrom(PRIV_MODULE_PATH, error)) << error;
        // The desktop's own fonts, so that the pictures show what a user sees.
        InstallDesktopFonts();
    }

    void TearDown() override
    {
        frame_.reset();
        Settle();
        fennix::ResetHostContext();
        DatabaseTest::TearDown();
    }

    // The main frame with an operator signed in through the silent road.
    Tfrm_MainFrame& SignIn(const std::string& code, const std::string& password)
    {
        frame_ = std::make_unique<Tfrm_MainFrame>(module_);
        DesktopSession session(module_);
        const std::optional<SignedInOperator> signedIn = session.SignIn(code, password);
        EXPECT_TRUE(signedIn.has_value()) << code;
        std::string error;
        EXPECT_TRUE(signedIn && frame_->StartSession(signedIn->code, error)) << error;
        frame_->show();
        Settle();
        return *frame_;
    }

    QTreeWidgetItem* Function(const char* code) { return FindFunctionItem(frame_->FunctionTree(), code); }
    QTreeWidgetItem* Product(const char* code) { return FindProductItem(frame_->FunctionTree(), code); }
    static bool Enabled(QTreeWidgetItem* item) { return item && (item->flags() & Qt::ItemIsEnabled); }

    ModuleLoader module_; // outlives the frame: the pages are the module's windows
    std::unique_ptr<Tfrm_MainFrame> frame_;
};

TEST_P(DesktopHostTest, TheTreeShowsWhatThePostMayNotUse)
{
    struct Case {
        const char* code;
        const char* password;
        std::vector<const char*> withdrawnProducts;
        std::vector<const char*> availableProducts;
        std::vector<const char*> disabledFunctions;
        std::vector<const char*> enabledFunctions;
    };
    const Case cases[] = {
        // A clerk: every product, but the administration and what the
        // version lacks are greyed.
        {"lina",
         "ln2024",
         {},
         {"0100", "0200", "0300", "0500"},
         {"01003-01-07-00-00", "01003-01-19-00-00", "02001-01-05-00-00", "02001-01-07-00-00"},
         {"01003-01-20-00-00", "02001-01-01-00-00", "03001-01-01-00-00"}},
        // A created post that holds only part of the company: of the main
        // frame just the password change.
        {"liuyang",
         "ly2024",
         {"0300", "0400", "0500"},
         {"0100", "0200"},
         {"01001-01-01-00-00", "01003-01-07-00-00", "02001-01-03-00-00", "03001-01-01-00-00"},
         {"01003-01-20-00-00", "02001-01-01-00-00", "02001-01-02-00-00"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        // Each operator starts the host afresh, as a new start of the program
        // would: the filters only ever clear flags.
        frame_.reset();
        Settle();
        ASSERT_TRUE(Db().Reopen([](fennix::Settings& settings) { settings.companyId = "1001"; }));
        SignIn(c.code, c.password);
        EXPECT_TRUE(frame_->FilterSucceeded());
        for (const char* product : c.withdrawnProducts) {
            QTreeWidgetItem* item = Product(product);
            ASSERT_NE(item, nullptr) << product;
            EXPECT_FALSE(Enabled(item)) << product;
            EXPECT_TRUE(item->text(0).endsWith(QStringLiteral("（无权限）"))) << item->text(0).toStdString();
        }
        for (const char* product : c.availableProducts) {
            EXPECT_TRUE(Enabled(Product(product))) << product;
            EXPECT_FALSE(Product(product)->text(0).contains(QStringLiteral("无权限"))) << product;
        }
        for (const char* function : c.disabledFunctions) {
            EXPECT_FALSE(Enabled(Function(function))) << function;
            // Not even asked for by code: nothing opens.
            EXPECT_FALSE(frame_->OpenFunction(function)) << function;
        }
        EXPECT_EQ(frame_->PageArea()->count(), 0);
        for (const char* function : c.enabledFunctions)
            EXPECT_TRUE(Enabled(Function(function))) << function;
        // The sub-application switched off in the applications file.
        ASSERT_NE(Product("0400"), nullptr);
        EXPECT_FALSE(Enabled(Product("0400")));
        // The "-" entry of the main frame is a line, not a function.
        QTreeWidgetItem* mainFrame = Product("0100");
        ASSERT_NE(mainFrame, nullptr);
        ASSERT_GT(mainFrame->childCount(), 2);
        EXPECT_EQ(mainFrame->child(2)->data(0, kItemKindRole).toInt(), static_cast<int>(ItemKind::Separator));
        EXPECT_EQ(mainFrame->child(2)->flags(), Qt::NoItemFlags);
        SaveScreenshot(frame_.get(), std::string(c.code) == "lina" ? "desktop-host-signed-in"
                                                                   : "desktop-host-withdrawn-products");
    }
}

TEST_P(DesktopHostTest, AReaderFindsEveryControlAndHearsWhichFunctionsAreGreyed)
{
    Tfrm_MainFrame& frame = SignIn("liuyang", "ly2024");
    const std::vector<std::string> problems = priv::test::AccessibilityProblems(&frame);
    EXPECT_TRUE(problems.empty()) << priv::test::Joined(problems);

    auto* companies = frame.findChild<QComboBox*>("cbxCompany");
    ASSERT_NE(companies, nullptr);
    QAccessibleInterface* company = QAccessible::queryAccessibleInterface(companies);
    EXPECT_EQ(company->text(QAccessible::Name), QStringLiteral("当前企业(C)："));
    EXPECT_EQ(company->text(QAccessible::Value), companies->currentText());
    EXPECT_EQ(company->text(QAccessible::Description), QStringLiteral("cbxCompany"));
    QAccessibleInterface* tree = QAccessible::queryAccessibleInterface(frame.FunctionTree());
    EXPECT_EQ(tree->text(QAccessible::Name), QStringLiteral("功能导航"));

    // The password change is open to the post, the operator management and
    // the withdrawn products are not.
    std::map<std::string, bool> disabledByName;
    for (const priv::test::AccessibleItem& item : priv::test::AccessibleItems(frame.FunctionTree()))
        disabledByName[item.name] = item.disabled;
    struct Expected {
        QTreeWidgetItem* item;
        bool disabled;
    };
    for (const Expected& e :
         {Expected{Function("01003-01-20-00-00"), false}, Expected{Function("01003-01-07-00-00"), true},
          Expected{Product("0300"), true}, Expected{Product("0100"), false}}) {
        ASSERT_NE(e.item, nullptr);
        const std::string name = e.item->text(0).toStdString();
        ASSERT_EQ(disabledByName.count(name), 1u) << name;
        EXPECT_EQ(disabledByName[name], e.disabled) << name;
    }
}

TEST_P(DesktopHostTest, TheMainFrameAnswersEveryMessageOfThePages)
{
    Tfrm_MainFrame& frame = SignIn("admin", "admin123");
    priv::Host& services = fennix::Services();
    QWidget* self = &frame;
    EXPECT_EQ(services.FindWindowByClass("Tfrm_MainFrame"), self);
    EXPECT_EQ(services.GetMainFrameHandle(), self);
    EXPECT_EQ(services.GetAppHandle(), self);
    EXPECT_EQ(frame.objectName(), QStringLiteral("Tfrm_MainFrame"));

    ASSERT_TRUE(frame.OpenFunction("02001-01-01-00-00"));
    EXPECT_EQ(services.GetCurFuncCode(), "02001-01-01-00-00");
    EXPECT_EQ(services.GetCurSubAppCode(), "02");
    QTabWidget* pages = frame.PageArea();
    ASSERT_EQ(pages->count(), 1);
    EXPECT_EQ(services.GetCurParentForm(), pages->widget(0));
    QWidget* page = frame.PageWindow(0);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(pages->tabText(0), QStringLiteral("一般纳税人申报表填写"));
    EXPECT_EQ(LabelText(page, "lblSampleTitle"), QStringLiteral("示例功能：一般纳税人申报表填写"));
    SaveScreenshot(&frame, "desktop-host-sample-page");

    // CD_PAGE_OPENED names the page by its window handle.
    SendPageData(kCdPageOpened, "增值税申报（一般纳税人）|" + HandleText(page) + "|0|1");
    EXPECT_EQ(pages->tabText(0), QStringLiteral("增值税申报（一般纳税人）"));
    SendPageData(kCdPageOpened, "别的页面|12345|0|1");
    SendPageData(kCdPageOpened, "没有句柄");
    EXPECT_EQ(pages->tabText(0), QStringLiteral("增值税申报（一般纳税人）"));

    // CD_PAGE_SIZE: the page area takes the whole window and gives it back.
    SendPageData(kCdPageSize, "max");
    EXPECT_TRUE(frame.IsPageAreaMaximised());
    EXPECT_FALSE(frame.FunctionTree()->isVisible());
    EXPECT_FALSE(frame.findChild<QToolBar*>("tbrMain")->isVisible());
    EXPECT_TRUE(pages->isVisible());
    SendPageData(kCdPageSize, "reset");
    EXPECT_FALSE(frame.IsPageAreaMaximised());
    EXPECT_TRUE(frame.FunctionTree()->isVisible());
    EXPECT_TRUE(frame.findChild<QToolBar*>("tbrMain")->isVisible());

    // F1 in a page: the help box names the current function.
    fennix::ClearShownMessages();
    SendPageMessage(kWmMainFrameHelp);
    const std::vector<fennix::ShownMessage> shown = fennix::ShownMessages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].kind, fennix::MessageKind::Info);
    EXPECT_EQ(shown[0].text.rfind("帮助", 0), 0u) << shown[0].text;
    EXPECT_NE(shown[0].text.find("一般纳税人申报表填写（02001-01-01-00-00）"), std::string::npos)
        << shown[0].text;

    SendPageMessage(kWmNcActivate, 1);
    SendPageMessage(kWmNcActivate, 1);
    EXPECT_EQ(frame.NcActivateCount(), 2);

    // Two pages of one function: CD_PAGE_CLOSED removes the one whose window
    // has closed, then the other.
    ASSERT_TRUE(frame.OpenFunction("02001-01-01-00-00"));
    ASSERT_EQ(pages->count(), 2);
    QWidget* second = frame.PageWindow(1);
    second->hide();
    SendPageData(kCdPageClosed, "02001-01-01-00-00");
    Settle();
    ASSERT_EQ(pages->count(), 1);
    EXPECT_EQ(frame.PageWindow(0), page);
    SendPageData(kCdPageClosed, "03001-01-01-00-00");
    EXPECT_EQ(pages->count(), 1);
    SendPageData(kCdPageClosed, "02001-01-01-00-00");
    Settle();
    EXPECT_EQ(pages->count(), 0);
    EXPECT_EQ(frame.findChild<QStackedWidget*>("stkPages")->currentWidget()->objectName(),
              QStringLiteral("pnlWelcome"));
}

// A page window that does not let WM_MODULE_CLOSE close it (unsaved work).
class RefusingPage : public QWidget {
public:
    using QWidget::QWidget;
    int closeMessages = 0;

protected:
    bool event(QEvent* event) override
    {
        if (event->type() == static_cast<QEvent::Type>(QEvent::User + static_cast<int>(kWmModuleClose)))
            ++closeMessages;
        return QWidget::event(event);
    }
};

TEST_P(DesktopHostTest, TheCloseButtonAsksThePageToCloseItself)
{
    Tfrm_MainFrame& frame = SignIn("admin", "admin123");
    QTabWidget* pages = frame.PageArea();
    ASSERT_TRUE(frame.OpenFunction("05001-01-01-00-00"));
    ASSERT_TRUE(frame.OpenFunction("05001-01-02-00-00"));
    ASSERT_EQ(pages->count(), 2);

    // The close button: the page gets WM_MODULE_CLOSE, closes, and its tab goes.
    const QPointer<QWidget> sample = frame.PageWindow(1);
    emit pages->tabCloseRequested(1);
    Settle();
    EXPECT_TRUE(sample.isNull());
    ASSERT_EQ(pages->count(), 1);
    EXPECT_EQ(frame.PageFunctionCode(0), QStringLiteral("05001-01-01-00-00"));

    // A page window that vanished without a word leaves no empty tab.
    delete frame.PageWindow(0);
    Settle();
    EXPECT_EQ(pages->count(), 0);

    // A page that refuses to close keeps its tab, and nothing that changes the
    // session happens while it stays.
    ASSERT_TRUE(frame.OpenFunction("05001-01-03-00-00"));
    delete frame.PageWindow(0);
    auto* refusing = new RefusingPage(pages->widget(0));
    pages->widget(0)->layout()->addWidget(refusing);
    Settle();
    ASSERT_EQ(pages->count(), 1);
    EXPECT_FALSE(frame.ClosePage(0));
    EXPECT_EQ(refusing->closeMessages, 1);
    EXPECT_EQ(pages->count(), 1);
    EXPECT_FALSE(frame.SwitchCompany("1002"));
    EXPECT_EQ(DesktopSession::CompanyId(), "1001");
    EXPECT_NE(frame.statusBar()->currentMessage().indexOf(QStringLiteral("未切换企业")), -1);
}

TEST_P(DesktopHostTest, TheStatusBarShowsTheSignedInContext)
{
    fennix::SetNow(priv::ParseDateTime("2024-03-05 14:07:59"));
    {
        Tfrm_MainFrame& frame = SignIn("zhangwei", "zw2024");
        EXPECT_EQ(LabelText(&frame, "lblStatusOperator"), QStringLiteral("操作员：zhangwei 张伟"));
        EXPECT_EQ(LabelText(&frame, "lblStatusPost"), QStringLiteral("岗位：系统管理员"));
        EXPECT_EQ(LabelText(&frame, "lblStatusCompany"),
                  QStringLiteral("企业：1001 上海华东机械制造有限公司"));
        EXPECT_EQ(LabelText(&frame, "lblStatusLastLogin"), QStringLiteral("上次登录：——"));
    }
    // This sign-in was stamped: the next start shows it.
    EXPECT_EQ(Db().Scalar("SELECT ZHDLSJ FROM QX_CZY WHERE CZY_DM='zhangwei'").substr(0, 16),
              "2024-03-05 14:07");
    frame_.reset();
    Settle();
    fennix::SetNow(priv::ParseDateTime("2024-03-06 09:30:00"));
    Tfrm_MainFrame& again = SignIn("zhangwei", "zw2024");
    EXPECT_EQ(LabelText(&again, "lblStatusLastLogin"), QStringLiteral("上次登录：2024-03-05 14:07"));
}

TEST_P(DesktopHostTest, ACompanySwitchFiltersAgain)
{
    // 税务会计 holds 1001 and 1002 whole, 1003 in part, and not 1004.
    Tfrm_MainFrame& frame = SignIn("zhaomin", "zm2024");
    EXPECT_TRUE(fennix::WithdrawnProducts().empty());
    EXPECT_TRUE(Enabled(Product("0300")));

    auto* companies = frame.findChild<QComboBox*>("cbxCompany");
    ASSERT_NE(companies, nullptr);
    QStringList listed;
    for (int i = 0; i < companies->count(); ++i)
        listed << companies->itemData(i).toString();
    // The companies the post holds, not every company of the category.
    EXPECT_EQ(listed, (QStringList{"1001", "1002", "1003"}));

    ASSERT_TRUE(frame.OpenFunction("02001-01-01-00-00"));
    ASSERT_TRUE(frame.SwitchCompany("1003"));
    Settle();
    EXPECT_EQ(frame.PageArea()->count(), 0); // pages close before the switch
    EXPECT_EQ(DesktopSession::CompanyId(), "1003");
    EXPECT_EQ(companies->currentData().toString(), QStringLiteral("1003"));
    EXPECT_EQ(fennix::WithdrawnProducts(), (std::vector<std::string>{"0300", "0400", "0500"}));
    EXPECT_FALSE(Enabled(Product("0300")));
    EXPECT_TRUE(Product("0300")->text(0).endsWith(QStringLiteral("（无权限）")));
    EXPECT_TRUE(Enabled(Function("02001-01-01-00-00")));
    EXPECT_FALSE(Enabled(Function("02001-01-04-00-00")));
    EXPECT_EQ(LabelText(&frame, "lblStatusCompany"), QStringLiteral("企业：1003 北京京华商贸有限公司"));
    // The operator was published again into the fresh records.
    EXPECT_EQ(DesktopSession::CurrentOperatorView().code, "zhaomin");
    EXPECT_NE(DesktopSession::Session(), nullptr);

    // A company the post is not granted (reached by code, the list does not
    // offer it): the reason in plain words beside the filter's message, and
    // nothing offered.
    ASSERT_TRUE(frame.SwitchCompany("1004"));
    EXPECT_FALSE(frame.FilterSucceeded());
    const QString notice = frame.statusBar()->currentMessage();
    EXPECT_TRUE(notice.startsWith(QStringLiteral("当前岗位未被授予企业 1004 杭州西湖茶业股份有限公司")))
        << notice.toStdString();
    EXPECT_NE(notice.indexOf(QStringLiteral("[70018512]")), -1) << notice.toStdString();
    EXPECT_EQ(companies->currentText(), QStringLiteral("1004  杭州西湖茶业股份有限公司（未授权）"));
    EXPECT_EQ(companies->count(), 4);
    EXPECT_FALSE(Enabled(Product("0200")));
    EXPECT_FALSE(frame.OpenFunction("02001-01-01-00-00"));

    // Back to a granted company: everything as at the start.
    ASSERT_TRUE(companies->findData(QStringLiteral("1001")) >= 0);
    ASSERT_TRUE(frame.SwitchCompany("1001"));
    EXPECT_TRUE(frame.FilterSucceeded());
    EXPECT_TRUE(fennix::WithdrawnProducts().empty());
    EXPECT_TRUE(Enabled(Product("0300")));
    EXPECT_FALSE(frame.SwitchCompany("1001; DROP TABLE QX_CZY"));
    EXPECT_EQ(DesktopSession::CompanyId(), "1001");
}

TEST_P(DesktopHostTest, TheCompanySwitchOffersTheCompaniesTheOperatorMayUse)
{
    struct Case {
        const char* code;
        const char* password;
        bool agency;
        QStringList companies;
    };
    const Case cases[] = {
        // The super administrator: every company of the version's category.
        {"admin", "admin123", false, {"1001", "1002", "1003", "1004"}},
        {"admin", "admin123", true, {"2001", "2002"}},
        // A created post granted part of one company.
        {"liuyang", "ly2024", false, {"1001"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.code) + (c.agency ? " agency" : ""));
        frame_.reset();
        Settle();
        ASSERT_TRUE(Db().Reopen([&c](fennix::Settings& settings) {
            settings.companyId = c.agency ? "2001" : "1001";
            settings.agency = c.agency;
        }));
        Tfrm_MainFrame& frame = SignIn(c.code, c.password);
        auto* companies = frame.findChild<QComboBox*>("cbxCompany");
        ASSERT_NE(companies, nullptr);
        QStringList listed;
        for (int i = 0; i < companies->count(); ++i)
            listed << companies->itemData(i).toString();
        EXPECT_EQ(listed, c.companies);
        EXPECT_EQ(companies->currentData().toString(), c.companies.front());
        EXPECT_TRUE(frame.FilterSucceeded());
    }
}

TEST_P(DesktopHostTest, AWindowThatDoesNotOpenLeavesNoEmptyPage)
{
    Tfrm_MainFrame& frame = SignIn("admin", "admin123");
    QTabWidget* pages = frame.PageArea();
    for (const char* function :
         {kOperatorManagementFunction, kPrivilegeAssignFunction, kPasswordChangeFunction}) {
        SCOPED_TRACE(function);
        const int before = pages->count();
        const bool opened = frame.OpenFunction(function);
        Settle();
        EXPECT_EQ(fennix::Services().GetCurFuncCode(), function);
        EXPECT_EQ(pages->count(), before + (opened ? 1 : 0));
        if (!opened) {
            EXPECT_NE(frame.statusBar()->currentMessage().indexOf(QStringLiteral("功能窗口未能打开")), -1);
        }
        for (int i = 0; i < pages->count(); ++i)
            EXPECT_NE(frame.PageWindow(i), nullptr) << i;
    }
    EXPECT_TRUE(frame.CloseAllPages());
    Settle();

    // The operator window opens privilege assignment through the host.
    ParamBuffer buffer("JS_DM=SYSTEM");
    const bool opened = fennix::Services().ExecuteFunc(&frame, kPrivilegeAssignFunction, buffer.Argv());
    Settle();
    EXPECT_EQ(pages->count(), opened ? 1 : 0);
    if (opened) {
        EXPECT_NE(frame.PageWindow(0), nullptr);
    }
}

TEST_P(DesktopHostTest, UserManagementOpensTheModulesOperatorWindowInAPage)
{
    Tfrm_MainFrame& frame = SignIn("admin", "admin123");
    ASSERT_TRUE(frame.OpenFunction(kOperatorManagementFunction));
    Settle();
    QWidget* page = frame.PageWindow(frame.PageArea()->currentIndex());
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->objectName(), QStringLiteral("frm_Operator"));
    EXPECT_EQ(frame.PageArea()->tabText(frame.PageArea()->currentIndex()), QStringLiteral("用户管理"));
    const auto* list = page->findChild<QAbstractItemView*>(QStringLiteral("cxTLOperator"));
    ASSERT_NE(list, nullptr);
    // The super administrator and the demo operators, every one with a post.
    EXPECT_EQ(std::to_string(list->model()->rowCount()), Db().Scalar("SELECT COUNT(*) FROM QX_CZYRROLE"));
    EXPECT_EQ(list->model()->rowCount(), 7);
    SaveScreenshot(&frame, "desktop_user_management");
    EXPECT_TRUE(frame.CloseAllPages());
    Settle();
}

TEST_P(DesktopHostTest, APostOperatorChangesHisPasswordInAPage)
{
    Tfrm_MainFrame& frame = SignIn("lina", "ln2024");
    ASSERT_TRUE(frame.OpenFunction(kPasswordChangeFunction));
    Settle();
    QWidget* page = frame.PageWindow(frame.PageArea()->currentIndex());
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(frame.PageFunctionCode(frame.PageArea()->currentIndex()),
              QString::fromUtf8(kPasswordChangeFunction));
    auto* code = page->findChild<QLabel*>(QStringLiteral("lblUserID"));
    ASSERT_NE(code, nullptr);
    EXPECT_EQ(code->text(), QStringLiteral("lina"));
    EXPECT_NE(page->findChild<QLineEdit*>(QStringLiteral("edtOldPwd")), nullptr);
    EXPECT_TRUE(frame.CloseAllPages());
    Settle();
}

// Answers the module's login window once it is up: signs in with a code and a
// password, or cancels it when no code is given.
class LoginWindowScript {
public:
    LoginWindowScript(std::string code, std::string password)
        : code_(std::move(code)), password_(std::move(password))
    {
        QObject::connect(&timer_, &QTimer::timeout, &timer_, [this] { Act(); });
        timer_.start(20);
    }
    bool Acted() const { return acted_; }

private:
    void Act()
    {
        QWidget* window = QApplication::activeModalWidget();
        if (!window || acted_)
            return;
        acted_ = true;
        auto* code = window->findChild<QLineEdit*>("edtOperatorID");
        auto* password = window->findChild<QLineEdit*>("edtOperatorPwd");
        auto* login = window->findChild<QAbstractButton*>("sBtnLogin");
        if (code_.empty() || !code || !password || !login) {
            window->close();
            return;
        }
        code->setText(QString::fromStdString(code_));
        password->setText(QString::fromStdString(password_));
        login->click();
    }

    std::string code_;
    std::string password_;
    QTimer timer_;
    bool acted_ = false;
};

TEST_P(DesktopHostTest, ACancelledChangeOfOperatorKeepsTheOperator)
{
    Tfrm_MainFrame& frame = SignIn("admin", "admin123");
    // An earlier sign-in through the window left another operator's code.
    ASSERT_TRUE(
        fennix::Services().WriteIniValueStr(priv::UserConfigPath(), "SysCofig", "PrevOperatorID", "lina"));
    LoginWindowScript cancel("", "");
    EXPECT_FALSE(frame.ChangeOperator());
    EXPECT_EQ(frame.OperatorCode(), "admin");
    EXPECT_EQ(DesktopSession::CurrentOperatorView().code, "admin");
    EXPECT_EQ(LabelText(&frame, "lblStatusOperator"), QStringLiteral("操作员：admin 超级管理员"));
    EXPECT_TRUE(Enabled(Function(kOperatorManagementFunction)));
}

TEST_P(DesktopHostTest, AChangeOfOperatorPublishesWhoSignedInThroughTheWindow)
{
    Tfrm_MainFrame& frame = SignIn("admin", "admin123");
    ASSERT_TRUE(frame.OpenFunction("02001-01-01-00-00"));
    {
        LoginWindowScript login("lina", "ln2024");
        const bool changed = frame.ChangeOperator();
        ASSERT_TRUE(login.Acted()) << "the module showed no login window";
        EXPECT_TRUE(changed);
    }
    Settle();
    EXPECT_EQ(frame.PageArea()->count(), 0);
    EXPECT_EQ(frame.OperatorCode(), "lina");
    EXPECT_EQ(DesktopSession::CurrentOperatorView().code, "lina");
    EXPECT_EQ(LabelText(&frame, "lblStatusOperator"), QStringLiteral("操作员：lina 李娜"));
    EXPECT_EQ(LabelText(&frame, "lblStatusPost"), QStringLiteral("岗位：业务员"));
    // Filtered afresh for the clerk: the administration is greyed again.
    EXPECT_FALSE(Enabled(Function(kOperatorManagementFunction)));
    EXPECT_TRUE(Enabled(Function(kPasswordChangeFunction)));

    // The same operator signing in again is a sign-in too, although the
    // remembered code does not change.
    LoginWindowScript again("lina", "ln2024");
    EXPECT_TRUE(frame.ChangeOperator());
    EXPECT_EQ(frame.OperatorCode(), "lina");
}

TEST_P(DesktopHostTest, OpenPagesCloseOnlyWhenTheOperatorOrTheCompanyReallyChanges)
{
    Tfrm_MainFrame& frame = SignIn("admin", "admin123");
    QTabWidget* pages = frame.PageArea();
    const auto questions = [] {
        int count = 0;
        for (const fennix::ShownMessage& shown : fennix::ShownMessages())
            count += shown.kind == fennix::MessageKind::Confirm;
        return count;
    };

    // Without a page nothing is asked.
    fennix::ClearShownMessages();
    ASSERT_TRUE(frame.SwitchCompany("1002"));
    EXPECT_EQ(questions(), 0);

    ASSERT_TRUE(frame.OpenFunction("02001-01-01-00-00"));
    ASSERT_EQ(pages->count(), 1);
    auto* companies = frame.findChild<QComboBox*>("cbxCompany");

    // The operator says no: nothing changes, the page stays.
    fennix::ClearShownMessages();
    fennix::QueueAnswer(0);
    EXPECT_FALSE(frame.SwitchCompany("1001"));
    EXPECT_EQ(questions(), 1);
    EXPECT_NE(fennix::ShownMessages().back().text.find("切换企业将关闭已打开的 1 个页面"), std::string::npos);
    EXPECT_EQ(DesktopSession::CompanyId(), "1002");
    EXPECT_EQ(companies->currentData().toString(), QStringLiteral("1002"));
    EXPECT_EQ(pages->count(), 1);
    fennix::QueueAnswer(0);
    {
        LoginWindowScript unused("lina", "ln2024");
        EXPECT_FALSE(frame.ChangeOperator());
        EXPECT_FALSE(unused.Acted()); // no login window was shown
    }
    EXPECT_EQ(pages->count(), 1);

    // Agreed, but the change of operator is cancelled in the login window:
    // the page stays too.
    fennix::QueueAnswer(1);
    {
        LoginWindowScript cancel("", "");
        EXPECT_FALSE(frame.ChangeOperator());
        EXPECT_TRUE(cancel.Acted());
    }
    Settle();
    EXPECT_EQ(pages->count(), 1);
    EXPECT_EQ(frame.OperatorCode(), "admin");

    // Agreed and done: the page goes with the old company.
    fennix::QueueAnswer(1);
    ASSERT_TRUE(frame.SwitchCompany("1001"));
    Settle();
    EXPECT_EQ(pages->count(), 0);
    EXPECT_EQ(DesktopSession::CompanyId(), "1001");
}

TEST_P(DesktopHostTest, AGreyedFunctionSaysWhetherTheVersionOrThePostGreysIt)
{
    struct Case {
        const char* code;
        const char* password;
        const char* function;
        const char* notice;
    };
    const Case cases[] = {
        // The super administrator may use everything his version has.
        {"admin", "admin123", "02001-01-06-00-00", "本版本不提供“减免税备案”。"},
        {"lina", "ln2024", "02001-01-06-00-00", "本版本不提供“减免税备案”。"},
        {"lina", "ln2024", "01003-01-07-00-00", "当前岗位无权使用“用户管理”。"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.code) + " " + c.function);
        frame_.reset();
        Settle();
        ASSERT_TRUE(Db().Reopen([](fennix::Settings& settings) { settings.companyId = "1001"; }));
        Tfrm_MainFrame& frame = SignIn(c.code, c.password);
        ASSERT_FALSE(Enabled(Function(c.function)));
        EXPECT_FALSE(frame.OpenFunction(c.function));
        EXPECT_EQ(frame.statusBar()->currentMessage(), QString::fromUtf8(c.notice));
        const QString welcome = LabelText(&frame, "lblWelcomeText");
        EXPECT_EQ(welcome.contains(QStringLiteral("无权使用")), std::string(c.code) != "admin");
        EXPECT_TRUE(welcome.contains(QStringLiteral("本版本不提供")));
    }

    // A withdrawn product promises nothing to unfold.
    frame_.reset();
    Settle();
    ASSERT_TRUE(Db().Reopen([](fennix::Settings& settings) { settings.companyId = "1001"; }));
    SignIn("liuyang", "ly2024");
    QTreeWidgetItem* withdrawn = Product("0300");
    ASSERT_NE(withdrawn, nullptr);
    ASSERT_FALSE(Enabled(withdrawn));
    EXPECT_EQ(withdrawn->childIndicatorPolicy(), QTreeWidgetItem::DontShowIndicator);
    for (const priv::test::AccessibleItem& item : priv::test::AccessibleItems(frame_->FunctionTree()))
        if (item.name == withdrawn->text(0).toStdString()) {
            EXPECT_FALSE(item.expandable);
        }
    EXPECT_NE(Product("0100")->childIndicatorPolicy(), QTreeWidgetItem::DontShowIndicator);
}

TEST_P(DesktopHostTest, AtItsMinimumSizeTheMainFrameKeepsTheCompanySwitchInView)
{
    Tfrm_MainFrame& frame = SignIn("liuyang", "ly2024");
    frame.resize(400, 300);
    Settle();
    EXPECT_EQ(frame.size(), QSize(Tfrm_MainFrame::kMinimumWidth, Tfrm_MainFrame::kMinimumHeight));
    auto* toolBar = frame.findChild<QToolBar*>("tbrMain");
    auto* companies = frame.findChild<QComboBox*>("cbxCompany");
    ASSERT_TRUE(toolBar && companies);
    EXPECT_TRUE(companies->isVisible());
    EXPECT_TRUE(toolBar->rect().contains(companies->geometry()));
    // Nothing of the tool bar went into its overflow menu.
    const auto* overflow = toolBar->findChild<QWidget*>("qt_toolbar_ext_button");
    EXPECT_TRUE(!overflow || !overflow->isVisible());
    // A long notice ends with "…" before the signed-in context.
    frame.statusBar()->showMessage(QString(60, QChar(0x5B57)));
    SaveScreenshot(&frame, "desktop-host-minimum-size");
}

TEST_P(DesktopHostTest, TheMainFrameWearsTheHostsSkinUnderItsTitleBand)
{
    Tfrm_MainFrame& frame = SignIn("liuyang", "ly2024");
    // The style sheet came with the program, every skin colour filled in.
    const QString sheet = frame.styleSheet();
    EXPECT_TRUE(sheet.contains(QStringLiteral("QToolBar#tbrMain"))) << sheet.toStdString();
    EXPECT_FALSE(sheet.contains(QLatin1Char('@'))) << sheet.toStdString();
    const priv::HostColor bgr = fennix::Services().gclModuleToolBarColor();
    const QColor toolBarColour(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                               static_cast<int>((bgr >> 16) & 0xFF));
    auto* caption = frame.findChild<QLabel*>("lblNavigation");
    ASSERT_NE(caption, nullptr);
    EXPECT_EQ(caption->grab().toImage().pixelColor(caption->width() - 4, 3), toolBarColour);

    // From the top: the title band, the menu bar with both menus, the tool bar.
    auto* topBar = frame.findChild<QWidget*>("pnlTopBar");
    auto* menus = frame.findChild<QMenuBar*>("mnuMain");
    auto* toolBar = frame.findChild<QToolBar*>("tbrMain");
    ASSERT_TRUE(topBar && menus && toolBar);
    EXPECT_EQ(frame.menuWidget(), topBar->parentWidget());
    EXPECT_TRUE(menus->isVisible());
    const auto top = [&frame](const QWidget* widget) { return widget->mapTo(&frame, QPoint()).y(); };
    EXPECT_LT(top(topBar), top(menus));
    EXPECT_LT(top(menus), top(toolBar));
    QStringList titles;
    for (const QAction* menu : menus->actions())
        titles << menu->text();
    EXPECT_EQ(titles, QStringList({QStringLiteral("系统(&S)"), QStringLiteral("帮助(&H)")}));
}

TEST(DesktopHostAboutTest, AboutNamesTheProgramsVersion)
{
    const QString about = AboutText();
    static const QRegularExpression version(QStringLiteral("版本 \\d+\\.\\d+"));
    EXPECT_TRUE(about.contains(version)) << about.toStdString();
    EXPECT_TRUE(about.contains(QString::fromLatin1(qVersion())));
}

TEST(DesktopHostTranslationTest, StandardButtonsReadInChinese)
{
    ASSERT_TRUE(InstallChineseTranslations()) << "Qt's Chinese translations are not installed";
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("提示"), QStringLiteral("是否继续？"),
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Ok | QMessageBox::Cancel);
    EXPECT_EQ(box.button(QMessageBox::Ok)->text(), QStringLiteral("确定"));
    EXPECT_EQ(box.button(QMessageBox::Cancel)->text(), QStringLiteral("取消"));
    EXPECT_EQ(WithoutMnemonicText(box.button(QMessageBox::Yes)->text()), QStringLiteral("是(Y)"));
    EXPECT_EQ(WithoutMnemonicText(box.button(QMessageBox::No)->text()), QStringLiteral("否(N)"));
}

TEST_P(DesktopHostTest, TheOperationLogOpensFromTheSystemMenuForWhoMayManageOperators)
{
    {
        Tfrm_MainFrame& frame = SignIn("admin", "admin123");
        frame.findChild<QAction*>(QStringLiteral("actOperationLog"))->trigger();
        Settle();
        ASSERT_EQ(frame.PageArea()->count(), 1) << frame.statusBar()->currentMessage().toStdString();
        EXPECT_EQ(frame.PageArea()->tabText(0), QStringLiteral("操作日志"));
        QWidget* page = frame.PageWindow(0);
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(page->objectName(), QStringLiteral("frmOperationLog"));
        // The newest row is the sign-in that opened this frame.
        const auto* grid = page->findChild<QAbstractItemView*>(QStringLiteral("grdLog"));
        ASSERT_NE(grid, nullptr);
        ASSERT_GT(grid->model()->rowCount(), 0);
        EXPECT_EQ(grid->model()->index(0, 5).data().toString(), QStringLiteral("登录"));
        EXPECT_EQ(grid->model()->index(0, 7).data().toString(), QStringLiteral("admin"));
        SaveScreenshot(&frame, "desktop-host-operation-log");
        // Asked for again, the open page comes to the front.
        frame.OpenOperationLog();
        EXPECT_EQ(frame.PageArea()->count(), 1);
        EXPECT_TRUE(frame.CloseAllPages());
        Settle();
        EXPECT_EQ(frame.PageArea()->count(), 0);
    }
    frame_.reset();
    Settle();
    // An operator whose post may not manage operators may not read the log.
    Tfrm_MainFrame& frame = SignIn("lina", "ln2024");
    auto* action = frame.findChild<QAction*>(QStringLiteral("actOperationLog"));
    ASSERT_NE(action, nullptr);
    action->trigger();
    EXPECT_EQ(frame.PageArea()->count(), 0);
    EXPECT_TRUE(frame.statusBar()->currentMessage().contains(QStringLiteral("用户管理")))
        << frame.statusBar()->currentMessage().toStdString();
}

INSTANTIATE_TEST_SUITE_P(Backends, DesktopHostTest, ::testing::ValuesIn(AvailableBackends()), BackendName);

} // namespace
} // namespace privhost
