// The login window on the offscreen platform against a real SQLite database:
// the operator list and the proposed code, signing in with the password
// check, the tips, the key filters, the caps-lock balloon, the remembered
// operator and the run through the sign-in export.
#include "signin/login_window.h"

#include "cipher/crypt.h"
#include "session/current_operator.h"
#include "session/export_calls.h"
#include "session/privilege_manager.h"
#include "support/arrange.h"
#include "support/database_fixture.h"
#include "ui/accessibility_walk.h"
#include "ui/balloon_tool_tip.h"
#include "ui/window_test_support.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace priv {
namespace {

using test::Backend;
using test::TestDatabase;

constexpr const char* kOperatorListStatement =
    "SELECT t1.*, (SELECT t2.BM_MC FROM XT_BMXX t2 WHERE t2.BM_DM=t1.BM_DM) as BM_MC, t3.JS_DM, "
    "(SELECT t4.JS_MC FROM QX_ROLES t4 WHERE t4.JS_DM=t3.JS_DM) as JS_MC FROM QX_CZY t1, QX_CZYRROLE t3 "
    "WHERE t1.YXBZ='Y' AND t3.CZY_DM=t1.CZY_DM order by t1.CZY_DM";

QString Q(const std::string& text)
{
    return QString::fromStdString(text);
}

QString ScreenshotPath(const char* name)
{
    return QString::fromUtf8(PRIV_SCREENSHOT_DIR) + QStringLiteral("/login-%1.png").arg(QLatin1String(name));
}

// The window as a person sees it, balloon windows included: the balloon is a
// window of its own, so it is painted over the login window's picture.
QImage ComposedShot(QWidget& window, QWidget* balloon)
{
    QRect area = window.frameGeometry();
    if (balloon && balloon->isVisible())
        area = area.united(balloon->frameGeometry());
    QImage shot(area.size(), QImage::Format_ARGB32);
    shot.fill(QColor(236, 239, 244));
    QPainter painter(&shot);
    painter.drawPixmap(window.pos() - area.topLeft(), window.grab());
    if (balloon && balloon->isVisible())
        painter.drawPixmap(balloon->pos() - area.topLeft(), balloon->grab());
    return shot;
}

class LoginWindowTest : public ::testing::Test {
protected:
    void SetUp() override { Prepare({}); }

    void Prepare(const test::SettingsAdjust& adjust)
    {
        db_.reset(); // one substitute host at a time
        db_ = std::make_unique<TestDatabase>(Backend::SQLite, adjust);
        ASSERT_TRUE(db_->Ok()) << db_->Error();
        CurrentOperator() = OperatorInfo{};
        PrevOperatorText().clear();
        SetLoginWindowRunner(&RunLoginDialog);
        ASSERT_TRUE(test::AddDepartment(*db_, 1, "D01", "财务部"));
        ASSERT_TRUE(test::AddPost(*db_, "CASHIER", "出纳"));
        // The list's order is the codes' order; "aaron" comes before "admin".
        AddOperator("aaron", "艾伦", EncryptPassword("Audit#1"), "1", "Y", "AUDITOR");
        AddOperator("admin", "管理员", EncryptPassword("Secret1"), "0", "Y", "0", "办公室", "D01");
        AddOperator("clerk01", "张三", EncryptPassword(" pass word "), "1", "Y", "BUSINESS");
        AddOperator("nopwd", "李四", "", "1", "Y", "SYSTEM");
        // Stored text that does not decipher (too short for its prefix).
        AddOperator("badpwd", "王五", "x", "1", "Y", "CASHIER");
        AddOperator("root", "停用的超级管理员", EncryptPassword("Root9"), "0", "N", "0");
        AddOperator("nopost", "赵六", EncryptPassword("Nopost1"), "1", "Y", std::nullopt);
        ASSERT_EQ(DecryptPassword("x"), "");
        fennix::ClearShownMessages();
        fennix::ClearExecutedStatements();
    }

    void TearDown() override
    {
        SetLoginWindowRunner(nullptr);
        db_.reset();
    }

    // `storedPassword` is PWD as stored (enciphered, empty or damaged).
    void AddOperator(const std::string& code, const std::string& name, const std::string& storedPassword,
                     const std::string& category, const std::string& valid, std::optional<std::string> post,
                     const std::string& departmentText = "", const std::string& departmentCode = "")
    {
        ASSERT_TRUE(test::AddOperator(*db_, {.code = code,
                                             .name = name,
                                             .storedPassword = storedPassword,
                                             .category = category,
                                             .departmentText = departmentText,
                                             .valid = valid,
                                             .department = departmentCode,
                                             .post = std::move(post)}));
    }

    std::string UserConfigFile() const { return db_->AppDir() + "/AppComs/Main/UserConfig.ini"; }

    void RememberOperator(const std::string& code)
    {
        ASSERT_TRUE(QDir().mkpath(Q(db_->AppDir() + "/AppComs/Main")));
        QFile file(Q(UserConfigFile()));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(("[SysCofig]\r\nPrevOperatorID=" + code + "\r\n").c_str());
    }

    // Shown and active, as after the host opened it (but not modal).
    std::unique_ptr<Tfrm_Login> OpenWindow()
    {
        auto window = std::make_unique<Tfrm_Login>();
        window->show();
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
        return window;
    }

    static QLineEdit* CodeBox(QWidget& w) { return w.findChild<QLineEdit*>("edtOperatorID"); }
    static QLineEdit* PasswordBox(QWidget& w) { return w.findChild<QLineEdit*>("edtOperatorPwd"); }
    static QLabel* Label(QWidget& w, const char* name) { return w.findChild<QLabel*>(name); }

    static void TypeAndSignIn(Tfrm_Login& window, const QString& code, const QString& password)
    {
        CodeBox(window)->clear();
        QTest::keyClicks(CodeBox(window), code);
        PasswordBox(window)->clear();
        QTest::keyClicks(PasswordBox(window), password);
        QTest::mouseClick(window.findChild<QToolButton*>("sBtnLogin"), Qt::LeftButton);
    }

    std::unique_ptr<TestDatabase> db_;
};

TEST_F(LoginWindowTest, ListsActiveOperatorsWithAPostInCodeOrderAndHasEveryControl)
{
    auto window = OpenWindow();

    const std::vector<std::string> statements = fennix::ExecutedStatements();
    EXPECT_NE(std::find(statements.begin(), statements.end(), kOperatorListStatement), statements.end());

    std::vector<std::string> codes;
    for (const OperatorInfo& info : window->OperatorList())
        codes.push_back(info.Code);
    EXPECT_EQ(codes, (std::vector<std::string>{"aaron", "admin", "badpwd", "clerk01", "nopwd"}));
    auto* combo = window->findChild<QComboBox*>("cbxOperatorId");
    ASSERT_NE(combo, nullptr);
    ASSERT_EQ(combo->count(), 5);
    EXPECT_EQ(combo->itemText(3), "clerk01");

    const OperatorInfo& admin = window->OperatorList()[1];
    EXPECT_EQ(admin.PostCode, "0");
    EXPECT_EQ(admin.PostName, "超级管理员");
    // The department name is the operator's own text, not the department table's.
    EXPECT_EQ(admin.DepartmentName, "办公室");
    EXPECT_EQ(admin.DepartmentCode, "");
    EXPECT_EQ(window->OperatorList()[2].PostName, "出纳");

    // Form geometry and texts.
    EXPECT_EQ(window->size(), QSize(592, 322));
    EXPECT_TRUE(window->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(window->font().pixelSize(), 12);
    auto* image = window->findChild<TLoginImage*>("Image321");
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->geometry(), QRect(0, 0, 592, 322));
    EXPECT_TRUE(image->testAttribute(Qt::WA_OpaquePaintEvent));
    struct Control {
        const char* name;
        QPoint position;
        QSize size; // empty: not fixed by the form
        const char* text;
        bool visible;
    };
    const Control controls[] = {
        {"Label1", {200, 129}, {}, "用户代码：", true},
        {"Label3", {200, 167}, {}, "用户密码：", true},
        {"edtOperatorID", {270, 126}, {150, 18}, nullptr, true},
        {"edtOperatorPwd", {270, 164}, {150, 18}, nullptr, true},
        {"sBtnLogin", {263, 203}, {67, 22}, "登录", true},
        {"sBtnCancle", {353, 203}, {67, 22}, "取消", true},
        // Opening the window emptied the tips (the code box changed).
        {"lblValidInfo", {429, 129}, {}, "", false},
        {"lblTipInfo", {429, 186}, {}, "", false},
        {"lblTipInfo2", {428, 204}, {}, "", false},
        {"lblTipInfo3", {428, 222}, {}, "", false},
        {"cbxOperatorId", {270, 125}, {}, nullptr, false},
        {"lblCaps", {198, 86}, {}, "提醒：您的 CapsLock键是打开的！", false},
        {"Label2", {}, {}, "操作员姓名：", false},
        {"Label4", {}, {}, "操作员类别：", false},
    };
    for (const Control& c : controls) {
        SCOPED_TRACE(c.name);
        auto* widget = window->findChild<QWidget*>(c.name);
        ASSERT_NE(widget, nullptr);
        if (!c.position.isNull()) {
            EXPECT_EQ(widget->pos(), c.position);
        }
        if (!c.size.isEmpty()) {
            EXPECT_EQ(widget->size(), c.size);
        }
        EXPECT_EQ(widget->isVisible(), c.visible);
        if (c.text) {
            if (auto* label = qobject_cast<QLabel*>(widget)) {
                EXPECT_EQ(label->text(), QString::fromUtf8(c.text));
            } else if (auto* button = qobject_cast<QToolButton*>(widget)) {
                EXPECT_EQ(button->text(), QString::fromUtf8(c.text));
            }
        }
    }
    Tfrm_Login unopened;
    EXPECT_EQ(Label(unopened, "lblTipInfo")->text(), QStringLiteral("可能原因："));
    EXPECT_EQ(Label(unopened, "lblTipInfo2")->text(), QStringLiteral("·您记错密码"));
    EXPECT_EQ(Label(unopened, "lblTipInfo3")->text(), QStringLiteral("·未区分字母大小写"));
    EXPECT_EQ(CodeBox(*window)->maxLength(), 20);
    EXPECT_EQ(PasswordBox(*window)->maxLength(), 20);
    EXPECT_EQ(PasswordBox(*window)->echoMode(), QLineEdit::Password);
    EXPECT_FALSE(combo->isEnabled());
    // Tab goes from the password box to the code box and round again.
    EXPECT_EQ(PasswordBox(*window)->nextInFocusChain(), CodeBox(*window));
    EXPECT_TRUE(fennix::ShownMessages().empty());

    EXPECT_TRUE(window->grab().save(ScreenshotPath("opened")));
}

TEST_F(LoginWindowTest, ProposesTheRememberedOperatorOrTheFirstInCodeOrder)
{
    struct Case {
        const char* what;
        std::optional<std::string> remembered;
        const char* proposed;
        const char* name;
        const char* post;
    };
    const Case cases[] = {
        {"no per-user file", std::nullopt, "admin", "管理员", "超级管理员"},
        {"remembered in other letter case", "CLERK01", "clerk01", "张三", "业务员"},
        {"remembered operator no longer active", "root", "aaron", "艾伦", "审核员"},
        {"remembered operator unknown", "ghost", "aaron", "艾伦", "审核员"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QFile::remove(Q(UserConfigFile()));
        if (c.remembered)
            RememberOperator(*c.remembered);
        auto window = OpenWindow();
        EXPECT_EQ(PrevOperatorText(), c.remembered.value_or("admin"));
        EXPECT_EQ(CodeBox(*window)->text(), c.proposed);
        EXPECT_EQ(CodeBox(*window)->selectedText(), c.proposed); // typing replaces it
        EXPECT_TRUE(CodeBox(*window)->hasFocus());
        EXPECT_EQ(window->findChild<QComboBox*>("cbxOperatorId")->currentText(), c.proposed);
        EXPECT_EQ(Label(*window, "lbOperatorName")->text(), QString::fromUtf8(c.name));
        EXPECT_EQ(Label(*window, "lbOperatorType")->text(), QString::fromUtf8(c.post));
        EXPECT_EQ(PasswordBox(*window)->text(), "");
    }
}

TEST_F(LoginWindowTest, SignsInOrExplainsWhyNot)
{
    enum class Outcome { SignedIn, NoCode, Unknown, WrongPassword };
    struct Case {
        const char* what;
        const char* code;
        const char* password;
        Outcome outcome;
        const char* signedIn;
    };
    const Case cases[] = {
        {"code typed in capitals", "ADMIN", "Secret1", Outcome::SignedIn, "admin"},
        {"password in other letter case", "admin", "secret1", Outcome::WrongPassword, nullptr},
        {"spaces around the code", "  clerk01 ", " pass word ", Outcome::SignedIn, "clerk01"},
        {"password without its spaces", "clerk01", "pass word", Outcome::WrongPassword, nullptr},
        {"password with one space more", "clerk01", " pass word  ", Outcome::WrongPassword, nullptr},
        {"empty stored password", "nopwd", "", Outcome::SignedIn, "nopwd"},
        {"empty stored password, text typed", "nopwd", "x", Outcome::WrongPassword, nullptr},
        {"stored password that does not decipher", "badpwd", "", Outcome::SignedIn, "badpwd"},
        {"inactive super administrator", "root", "Root9", Outcome::Unknown, nullptr},
        {"operator without a post", "nopost", "Nopost1", Outcome::Unknown, nullptr},
        {"unknown code", "nobody", "x", Outcome::Unknown, nullptr},
        {"no code", "", "Secret1", Outcome::NoCode, nullptr},
    };
    const std::string reasons = fennix::CatalogueText(104006);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CurrentOperator() = OperatorInfo{};
        auto window = OpenWindow();
        TypeAndSignIn(*window, QString::fromUtf8(c.code), QString::fromUtf8(c.password));

        if (c.outcome == Outcome::SignedIn) {
            EXPECT_EQ(window->result(), QDialog::Accepted);
            EXPECT_FALSE(window->isVisible());
            EXPECT_EQ(CurrentOperator().Code, c.signedIn);
            EXPECT_EQ(PrevOperatorText(), c.signedIn);
            continue;
        }
        EXPECT_TRUE(window->isVisible());
        EXPECT_EQ(CurrentOperator().Code, "");
        // Only the password check counts as an attempt.
        EXPECT_EQ(window->FailedAttempts(), c.outcome == Outcome::WrongPassword ? 1 : 0);
        QLabel* message = Label(*window, "lblValidInfo");
        EXPECT_TRUE(message->isVisible());
        QLabel* const reasonLabels[] = {Label(*window, "lblTipInfo"), Label(*window, "lblTipInfo2"),
                                        Label(*window, "lblTipInfo3")};
        if (c.outcome == Outcome::WrongPassword) {
            EXPECT_EQ(message->text(), Q(fennix::CatalogueText(104003)));
            EXPECT_EQ(message->y(), 168);
            const int tops[] = {186, 204, 222};
            for (int i = 0; i < 3; ++i) {
                EXPECT_TRUE(reasonLabels[i]->isVisible());
                EXPECT_EQ(reasonLabels[i]->y(), tops[i]);
            }
            EXPECT_EQ(reasonLabels[0]->text(), Q(reasons.substr(0, reasons.find("\r\n"))));
            EXPECT_EQ(reasonLabels[2]->text(), Q(reasons.substr(reasons.rfind("\r\n") + 2)));
            EXPECT_EQ(PasswordBox(*window)->text(), "");
            EXPECT_TRUE(PasswordBox(*window)->hasFocus());
        } else {
            EXPECT_EQ(message->text(),
                      Q(fennix::CatalogueText(c.outcome == Outcome::NoCode ? 104001 : 104002)));
            EXPECT_EQ(message->y(), 129);
            for (QLabel* label : reasonLabels)
                EXPECT_FALSE(label->isVisible());
            EXPECT_EQ(PasswordBox(*window)->text(), QString::fromUtf8(c.password));
            EXPECT_TRUE(CodeBox(*window)->hasFocus());
        }
        EXPECT_TRUE(window->findChild<QToolButton*>("sBtnLogin")->isEnabled());

        // Any change in either box takes the tips away.
        QTest::keyClick(CodeBox(*window), Qt::Key_X);
        EXPECT_FALSE(message->isVisible());
        for (QLabel* label : reasonLabels)
            EXPECT_FALSE(label->isVisible());
    }
    EXPECT_TRUE(fennix::ShownMessages().empty());
}

TEST_F(LoginWindowTest, ScreenshotsOfTheTips)
{
    auto window = OpenWindow();
    TypeAndSignIn(*window, "admin", "wrong");
    EXPECT_TRUE(Label(*window, "lblTipInfo3")->isVisible());
    EXPECT_TRUE(window->grab().save(ScreenshotPath("wrong-password")));

    TypeAndSignIn(*window, "nobody", "x");
    EXPECT_TRUE(Label(*window, "lblValidInfo")->isVisible());
    // A long catalogue text wraps inside the window instead of running off it.
    EXPECT_LE(Label(*window, "lblValidInfo")->geometry().right(), 591);
    EXPECT_TRUE(window->grab().save(ScreenshotPath("unknown-operator")));
}

TEST_F(LoginWindowTest, ThirdWrongPasswordClosesTheWindowAndTheSignInFails)
{
    int attempts = 0;
    test::WhenDialogRuns<Tfrm_Login>([&](Tfrm_Login& window) {
        for (int i = 0; i < 3; ++i) {
            TypeAndSignIn(window, "admin", "wrong");
            ++attempts;
            if (i < 2) {
                EXPECT_TRUE(window.isVisible());
                EXPECT_TRUE(Label(window, "lblTipInfo")->isVisible());
                EXPECT_TRUE(fennix::ShownMessages().empty());
            }
        }
        EXPECT_FALSE(window.isVisible());
    });
    std::string params = "keep=me;CZY_DM=old";
    EXPECT_FALSE(CallLoadLoginForm(params));
    EXPECT_EQ(params, "keep=me;CZY_DM=old");
    EXPECT_EQ(attempts, 3);
    const std::vector<fennix::ShownMessage> shown = fennix::ShownMessages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].kind, fennix::MessageKind::Catalogue);
    EXPECT_EQ(shown[0].number, 104005);
    EXPECT_EQ(CurrentOperator().Code, "");
    EXPECT_FALSE(QFile::exists(Q(UserConfigFile())));

    // The count lives as long as the window: a new run starts again.
    test::WhenDialogRuns<Tfrm_Login>([&](Tfrm_Login& window) {
        EXPECT_EQ(window.FailedAttempts(), 0);
        TypeAndSignIn(window, "admin", "Secret1");
    });
    EXPECT_TRUE(CallLoadLoginForm(params));
}

TEST_F(LoginWindowTest, SignInThroughTheExportRemembersTheOperator)
{
    struct Case {
        const char* typed;
        const char* password;
        const char* code;
        const char* params;
    };
    const Case cases[] = {
        {"CLERK01", " pass word ", "clerk01", "CZY_DM=clerk01;CZY_LB=BUSINESS"},
        {"admin", "Secret1", "admin", "CZY_DM=admin;CZY_LB=0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        test::WhenDialogRuns<Tfrm_Login>(
            [&](Tfrm_Login& window) { TypeAndSignIn(window, c.typed, c.password); });
        std::string params = "other=1";
        ASSERT_TRUE(CallLoadLoginForm(params));
        EXPECT_EQ(params, c.params);
        QSettings ini(Q(UserConfigFile()), QSettings::IniFormat);
        EXPECT_EQ(ini.value("SysCofig/PrevOperatorID").toString(), c.code);

        // The next run proposes him.
        test::WhenDialogRuns<Tfrm_Login>([&](Tfrm_Login& window) {
            EXPECT_EQ(CodeBox(window)->text(), c.code);
            window.reject();
        });
        params.clear();
        EXPECT_FALSE(CallLoadLoginForm(params));
        EXPECT_EQ(params, "");
    }
}

TEST_F(LoginWindowTest, ChangeOfOperatorRunsWithItsOwnManager)
{
    ASSERT_EQ(ActivePrivilegeMgr(), nullptr);
    test::WhenDialogRuns<Tfrm_Login>(
        [&](Tfrm_Login& window) { TypeAndSignIn(window, "clerk01", " pass word "); });
    EXPECT_TRUE(RunLoginDialog());
    EXPECT_EQ(CurrentOperator().Code, "clerk01");
    EXPECT_EQ(ActivePrivilegeMgr(), nullptr);

    // Cancel leaves the previous operator signed in.
    test::WhenDialogRuns<Tfrm_Login>([&](Tfrm_Login& window) {
        TypeAndSignIn(window, "admin", "wrong");
        QTest::mouseClick(window.findChild<QToolButton*>("sBtnCancle"), Qt::LeftButton);
    });
    EXPECT_FALSE(RunLoginDialog());
    EXPECT_EQ(CurrentOperator().Code, "clerk01");
    QSettings ini(Q(UserConfigFile()), QSettings::IniFormat);
    EXPECT_EQ(ini.value("SysCofig/PrevOperatorID").toString(), "clerk01");
}

TEST_F(LoginWindowTest, EnterSignsInOnlyFromThePasswordBoxAndEscCancels)
{
    for (const Qt::Key enter : {Qt::Key_Return, Qt::Key_Enter}) {
        CurrentOperator() = OperatorInfo{};
        auto window = OpenWindow();
        CodeBox(*window)->setText("admin");
        QTest::keyClicks(PasswordBox(*window), "Secret1");
        QTest::keyClick(CodeBox(*window), enter);
        EXPECT_TRUE(window->isVisible());
        EXPECT_EQ(CurrentOperator().Code, "");
        EXPECT_FALSE(Label(*window, "lblValidInfo")->isVisible());
        QTest::keyClick(PasswordBox(*window), enter);
        EXPECT_EQ(window->result(), QDialog::Accepted);
        EXPECT_EQ(CurrentOperator().Code, "admin");
    }
    for (const char* box : {"edtOperatorID", "edtOperatorPwd"}) {
        SCOPED_TRACE(box);
        auto window = OpenWindow();
        QTest::keyClick(window->findChild<QLineEdit*>(box), Qt::Key_Escape);
        EXPECT_FALSE(window->isVisible());
        EXPECT_EQ(window->result(), QDialog::Rejected);
    }
}

TEST_F(LoginWindowTest, CodeBoxTakesOnlyTheCharactersOfACode)
{
    auto window = OpenWindow();
    QLineEdit* code = CodeBox(*window);
    code->setText("ab");
    code->end(false);

    QTest::keyClicks(code, "-_");
    QTest::keyClick(code, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(code->text(), "ab");
    EXPECT_EQ(code->selectedText(), ""); // Ctrl+A is not a code character either

    QInputMethodEvent chinese;
    chinese.setCommitString(QStringLiteral("中"));
    QApplication::sendEvent(code, &chinese);
    EXPECT_EQ(code->text(), "ab");
    QInputMethodEvent mixed;
    mixed.setCommitString(QStringLiteral("中c文"));
    QApplication::sendEvent(code, &mixed);
    EXPECT_EQ(code->text(), "abc");

    QTest::keyClicks(code, "#$. 9Z");
    EXPECT_EQ(code->text(), "abc#$. 9Z");
    QTest::keyClick(code, Qt::Key_Backspace);
    EXPECT_EQ(code->text(), "abc#$. 9");

    // The clipboard keys work in the code box.
    code->selectAll();
    QTest::keyClick(code, Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(code->text(), "");
    QTest::keyClick(code, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(code->text(), "abc#$. 9");

    // The password box takes anything.
    QTest::keyClicks(PasswordBox(*window), "-_");
    EXPECT_EQ(PasswordBox(*window)->text(), "-_");
}

TEST_F(LoginWindowTest, CapsLockBalloonPointsAtThePasswordBoxWhileCapsLockIsOn)
{
    fennix::SetCapsLock(true);
    auto window = OpenWindow();
    TToolTip* balloon = window->CapsLockBalloon();
    ASSERT_NE(balloon, nullptr);
    EXPECT_TRUE(balloon->Shown());
    EXPECT_EQ(balloon->Target(), PasswordBox(*window));
    EXPECT_EQ(balloon->ICON(), ttWarningIcon);
    EXPECT_EQ(balloon->Alignment(), taClosewithLeft);
    EXPECT_EQ(balloon->Interval(), 12000);
    EXPECT_EQ(balloon->Title(), QStringLiteral("大写锁定打开"));
    EXPECT_EQ(balloon->Text(), QStringLiteral("保持大写锁定打开可能会使您错误输入密码。\r\n\r\n"
                                              "在输入密码前，您应该按\"Caps Lock\"键来将其关闭。"));
    ASSERT_NE(balloon->Handle(), nullptr);
    EXPECT_TRUE(balloon->Handle()->isVisible());
    EXPECT_TRUE(ComposedShot(*window, balloon->Handle()).save(ScreenshotPath("caps-lock")));

    // Caps Lock pressed again: off now, the balloon goes.
    fennix::SetCapsLock(false);
    QTest::keyClick(CodeBox(*window), Qt::Key_CapsLock);
    EXPECT_EQ(window->CapsLockBalloon(), nullptr);

    // Entering the password box looks again.
    fennix::SetCapsLock(true);
    PasswordBox(*window)->setFocus();
    ASSERT_NE(window->CapsLockBalloon(), nullptr);
    EXPECT_TRUE(window->CapsLockBalloon()->Shown());
}

TEST_F(LoginWindowTest, AReaderNamesEveryBoxByItsLabelAndCannotReadThePassword)
{
    auto window = OpenWindow();
    QTest::keyClicks(PasswordBox(*window), "Secret 1");

    const std::vector<std::string> problems = test::AccessibilityProblems(window.get());
    EXPECT_TRUE(problems.empty()) << test::Joined(problems);

    struct Expected {
        const char* control;
        const char* name;
    };
    for (const Expected& e :
         {Expected{"edtOperatorID", "用户代码："}, Expected{"edtOperatorPwd", "用户密码："},
          Expected{"sBtnLogin", "登录"}, Expected{"sBtnCancle", "取消"}}) {
        QAccessibleInterface* control =
            QAccessible::queryAccessibleInterface(window->findChild<QWidget*>(e.control));
        ASSERT_NE(control, nullptr) << e.control;
        EXPECT_EQ(control->text(QAccessible::Name), QString::fromUtf8(e.name)) << e.control;
        // Automation finds the control by the name the form gives it.
        EXPECT_EQ(control->text(QAccessible::Description), QString::fromLatin1(e.control));
    }
    QAccessibleInterface* password = QAccessible::queryAccessibleInterface(PasswordBox(*window));
    EXPECT_EQ(password->role(), QAccessible::EditableText);
    EXPECT_TRUE(password->state().passwordEdit);
    EXPECT_FALSE(password->text(QAccessible::Value).contains(QStringLiteral("Secret")));
}

TEST_F(LoginWindowTest, CapsLockIsReadWhenTheKeyComesUpAndTheBalloonKeepsToItsWindow)
{
    fennix::SetCapsLock(true);
    auto window = OpenWindow();
    ASSERT_NE(window->CapsLockBalloon(), nullptr);

    // The lock changes when the key comes up: down, it still reads on.
    QTest::keyPress(PasswordBox(*window), Qt::Key_CapsLock);
    ASSERT_NE(window->CapsLockBalloon(), nullptr);
    EXPECT_TRUE(window->CapsLockBalloon()->Shown());
    fennix::SetCapsLock(false);
    QTest::keyRelease(PasswordBox(*window), Qt::Key_CapsLock);
    EXPECT_EQ(window->CapsLockBalloon(), nullptr);
    // And on again, in the code box this time.
    QTest::keyPress(CodeBox(*window), Qt::Key_CapsLock);
    EXPECT_EQ(window->CapsLockBalloon(), nullptr);
    fennix::SetCapsLock(true);
    QTest::keyRelease(CodeBox(*window), Qt::Key_CapsLock);
    ASSERT_NE(window->CapsLockBalloon(), nullptr);

    // Dragged, the window takes its balloon along.
    TBalloonWindow* balloon = window->CapsLockBalloon()->Handle();
    const QPoint tip = balloon->TipPosition();
    window->move(window->pos() + QPoint(40, -30));
    QCoreApplication::processEvents();
    EXPECT_EQ(balloon->TipPosition(), tip + QPoint(40, -30));
    EXPECT_TRUE(balloon->isVisible());

    // Shaped to its outline: the corners of its box are not part of it.
    const QRegion shape = balloon->mask();
    ASSERT_FALSE(shape.isEmpty());
    const QRect box = balloon->rect();
    EXPECT_TRUE(shape.contains(box.center()));
    for (const QPoint corner : {box.topLeft(), box.topRight(), box.bottomLeft(), box.bottomRight()})
        EXPECT_FALSE(shape.contains(corner)) << corner.x() << "," << corner.y();
    EXPECT_TRUE(shape.contains(balloon->mapFromGlobal(balloon->TipPosition())));

    // Hidden, it takes the balloon away.
    window->hide();
    EXPECT_FALSE(window->CapsLockBalloon()->Shown());
    EXPECT_FALSE(balloon->isVisible());
}

TEST_F(LoginWindowTest, UnreadableOperatorListLeavesTheWindowEmpty)
{
    fennix::FailStatementsContaining("FROM QX_CZY t1");
    auto window = OpenWindow();
    EXPECT_TRUE(window->OperatorList().empty());
    EXPECT_EQ(window->findChild<QComboBox*>("cbxOperatorId")->count(), 0);
    EXPECT_EQ(CodeBox(*window)->text(), "");
    TypeAndSignIn(*window, "admin", "Secret1");
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(Label(*window, "lblValidInfo")->text(), Q(fennix::CatalogueText(104002)));
    EXPECT_TRUE(fennix::ShownMessages().empty());
}

TEST_F(LoginWindowTest, DraggingTheBackgroundMovesTheWindow)
{
    auto window = OpenWindow();
    auto* image = window->findChild<TLoginImage*>("Image321");
    const QPoint start = window->pos();

    QTest::mousePress(image, Qt::RightButton, {}, QPoint(30, 290));
    QTest::mouseMove(image, QPoint(70, 320));
    QTest::mouseRelease(image, Qt::RightButton, {}, QPoint(70, 320));
    EXPECT_EQ(window->pos(), start);

    QTest::mousePress(image, Qt::LeftButton, {}, QPoint(30, 290));
    QTest::mouseMove(image, QPoint(70, 315));
    QTest::mouseRelease(image, Qt::LeftButton, {}, QPoint(70, 315));
    EXPECT_EQ(window->pos(), start + QPoint(40, 25));
}

TEST_F(LoginWindowTest, OpensCentredOnTheHostsMainWindow)
{
    QWidget mainFrame;
    mainFrame.setGeometry(140, 90, 1000, 700);
    mainFrame.show();
    fennix::SetMainFrame(&mainFrame);
    auto window = OpenWindow();
    EXPECT_LE((window->frameGeometry().center() - mainFrame.frameGeometry().center()).manhattanLength(), 1);
    fennix::SetMainFrame(nullptr);
}

class LoginBackgroundTest : public LoginWindowTest {
protected:
    void SetUp() override {}
};

TEST_F(LoginBackgroundTest, PictureFollowsTheVersionTypeAndFallsBackToTheBuiltInOne)
{
    struct Case {
        const char* versionType;
        const char* file;
        QColor colour;
    };
    const Case cases[] = {
        {"10", "login.jpg", QColor(200, 40, 40)},
        {"50", "login-mulcomp.jpg", QColor(40, 160, 60)},
        {"100", "login-agency.jpg", QColor(40, 60, 200)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.versionType);
        Prepare([&](fennix::Settings& settings) { settings.versionType = c.versionType; });
        if (HasFatalFailure())
            return;
        const std::string appPath = db_->AppDir() + "/";
        EXPECT_EQ(Tfrm_Login::BackgroundFileForVersion(appPath, c.versionType),
                  Q(appPath + "Image/Tradition/" + c.file));

        // Without the file the built-in picture stays.
        auto builtIn = OpenWindow();
        const QImage picture = builtIn->findChild<TLoginImage*>("Image321")->Picture().toImage();
        EXPECT_EQ(picture.size(), QSize(592, 322));
        EXPECT_EQ(picture.convertToFormat(QImage::Format_RGB32),
                  QImage(":/signin/images/login-background.png").convertToFormat(QImage::Format_RGB32));

        ASSERT_TRUE(QDir().mkpath(Q(appPath + "Image/Tradition")));
        for (const Case& other : cases) {
            QImage solid(592, 322, QImage::Format_RGB32);
            solid.fill(other.colour);
            ASSERT_TRUE(solid.save(Q(appPath + "Image/Tradition/" + other.file), "JPG"));
        }
        auto window = OpenWindow();
        const QColor shown =
            window->findChild<TLoginImage*>("Image321")->Picture().toImage().pixelColor(10, 10);
        EXPECT_NEAR(shown.red(), c.colour.red(), 8);
        EXPECT_NEAR(shown.green(), c.colour.green(), 8);
        EXPECT_NEAR(shown.blue(), c.colour.blue(), 8);
    }
}

} // namespace
} // namespace priv
