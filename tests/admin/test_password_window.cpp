// The password change page on the offscreen platform against a real SQLite
// database: the order of the checks, two changes in a row, the failures, and
// signing in afterwards through the built module's windowless sign-in.
#include "admin/operator_modify_pwd.h"
#include "ui/accessibility_walk.h"

#include "window_test_support.h"

#include "support/arrange.h"
#include "support/loaded_module.h"

#include "boundary/codepage.h"
#include "cipher/crypt.h"
#include "session/named_values.h"
#include "session/privilege_manager.h"
#include "ui/host_messages.h"

#include <privilege/privilege.h>

#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QTest>
#include <QToolButton>

#include <dlfcn.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

using priv::Tfrm_OperatorModifyPwdInner;
using priv::test::FindControl;
using priv::test::SaveScreenshot;

constexpr const char* kFailureText = "系统错误：[70018503]\r\n修改密码失败：数据库操作出错。";

// The windowless sign-in through the module's LoadLoginForm.
bool SignIn(const priv::test::LoadedModule& module, const std::string& code, const std::string& password)
{
    priv::test::HostBuffer buffer("pamCZY_DM=" + code + ";pamPWD=" + password);
    return module.Call("LoadLoginForm", buffer);
}

class PasswordWindowTest : public priv::test::WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        ASSERT_TRUE(priv::test::AddOperator(
            Db(),
            {.code = "lina", .name = "李娜", .password = "Old#pw1", .category = "1", .post = "BUSINESS"}));
        // Signed in: the host's user record holds her fields.
        priv::TPrivilegeMgr manager;
        ASSERT_TRUE(manager.LoadUserInfo("lina"));
        fennix::ClearShownMessages();
    }

    void Open()
    {
        page = new Tfrm_OperatorModifyPwdInner;
        OpenPage(page, "ModalFormMsg=密码修改", true);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(page));
        oldPwd = FindControl<QLineEdit>(page, "edtOldPwd");
        newPwd = FindControl<QLineEdit>(page, "edtNewPwd");
        reNewPwd = FindControl<QLineEdit>(page, "edtReNewPwd");
        save = FindControl<QToolButton>(page, "tbtnSave");
        ASSERT_TRUE(oldPwd && newPwd && reNewPwd && save);
        MainFrame().Clear();
    }

    void Change(const QString& oldText, const QString& newText, const QString& again)
    {
        fennix::ClearShownMessages();
        for (const auto& [box, text] : {std::pair{oldPwd, oldText}, {newPwd, newText}, {reNewPwd, again}}) {
            box->clear();
            priv::test::TypeText(box, text);
        }
        QTest::mouseClick(save, Qt::LeftButton);
    }

    std::string StoredPassword()
    {
        return priv::DecryptPassword(Db().Scalar("SELECT PWD FROM QX_CZY WHERE CZY_DM='lina'"));
    }
    std::string RecordPassword()
    {
        return priv::DecryptPassword(priv::GetTextValue(Host().GetUserInfoVO(), "PWD"));
    }

    // Catalogue numbers and plain texts of the messages shown.
    std::vector<std::string> Shown() const
    {
        std::vector<std::string> shown;
        for (const fennix::ShownMessage& message : fennix::ShownMessages())
            shown.push_back(message.number ? std::to_string(message.number) : message.text);
        return shown;
    }

    QPointer<Tfrm_OperatorModifyPwdInner> page;
    QLineEdit* oldPwd = nullptr;
    QLineEdit* newPwd = nullptr;
    QLineEdit* reNewPwd = nullptr;
    QToolButton* save = nullptr;
};

TEST_F(PasswordWindowTest, ShowsTheSignedInOperator)
{
    ASSERT_NO_FATAL_FAILURE(Open());
    EXPECT_EQ(page->windowTitle(), QStringLiteral("密码修改"));
    EXPECT_EQ(FindControl<QLabel>(page, "lblUserID")->text(), QStringLiteral("lina"));
    EXPECT_EQ(FindControl<QLabel>(page, "lblUserName")->text(), QStringLiteral("李娜"));
    for (QLineEdit* box : {oldPwd, newPwd, reNewPwd}) {
        EXPECT_EQ(box->echoMode(), QLineEdit::Password);
        EXPECT_EQ(box->maxLength(), 20);
        // Typed characters show as stars, whatever the style would draw.
        box->setText(QStringLiteral("pw密1"));
        EXPECT_EQ(box->displayText(), QStringLiteral("****")) << box->objectName().toStdString();
        box->clear();
    }
    auto* close = FindControl<QToolButton>(page, "tbtnClose");
    ASSERT_NE(close, nullptr);
    EXPECT_FALSE(close->isVisible());
    EXPECT_FALSE(close->isEnabled());
    EXPECT_EQ(save->text(), QStringLiteral("更改"));
    EXPECT_EQ(QApplication::focusWidget(), oldPwd);
    SaveScreenshot(page, "password_window");
}

TEST_F(PasswordWindowTest, RefusesAWrongOldPasswordOrDifferingNewOnes)
{
    ASSERT_NO_FATAL_FAILURE(Open());
    struct Case {
        const char* oldText;
        const char* newText;
        const char* again;
        const char* shown;
        const char* oldAfter; // what stays in the boxes
        const char* newAfter;
        bool focusOnOld; // else on the first new box
    };
    // Refused with the same words as privhost's passwd and init.
    std::string unstorable;
    ASSERT_FALSE(priv::PasswordStorable("密码😀", &unstorable));
    ASSERT_NE(unstorable.find("代码页"), std::string::npos) << unstorable;
    const Case cases[] = {
        {"old#pw1", "New#pw2", "New#pw2", "104028", "", "New#pw2", true},
        {"OLD#PW1", "New#pw2", "New#pw2", "104028", "", "New#pw2", true},
        {"Old#pw1 ", "New#pw2", "New#pw2", "104028", "", "New#pw2", true},
        {"", "New#pw2", "New#pw2", "104028", "", "New#pw2", true},
        // The old password is checked first, then the two new ones.
        {"Old#pw1", "New#pw2", "new#pw2", "104029", "Old#pw1", "", false},
        {"Old#pw1", "New#pw2", "", "104029", "Old#pw1", "", false},
        // A character the host's code page cannot hold would be stored as "?".
        {"Old#pw1", "密码😀", "密码😀", unstorable.c_str(), "Old#pw1", "", false},
    };
    page->activateWindow();
    for (const Case& c : cases) {
        Change(QString::fromUtf8(c.oldText), QString::fromUtf8(c.newText), QString::fromUtf8(c.again));
        EXPECT_EQ(Shown(), std::vector<std::string>{c.shown}) << c.oldText << " / " << c.again;
        EXPECT_EQ(oldPwd->text(), QString::fromUtf8(c.oldAfter)) << c.oldText;
        EXPECT_EQ(newPwd->text(), QString::fromUtf8(c.newAfter)) << c.oldText;
        EXPECT_EQ(reNewPwd->text().isEmpty(), std::string(c.shown) != "104028") << c.oldText;
        if (QApplication::activeWindow()) {
            EXPECT_EQ(QApplication::focusWidget(), c.focusOnOld ? oldPwd : newPwd) << c.oldText;
        }
    }
    EXPECT_EQ(StoredPassword(), "Old#pw1");
    EXPECT_TRUE(MainFrame().CopyDataLog().empty()) << "the page keeps its size";
}

TEST_F(PasswordWindowTest, TwoChangesInARowAndTheNewPasswordSignsIn)
{
    ASSERT_NO_FATAL_FAILURE(Open());
    Change(QStringLiteral("Old#pw1"), QStringLiteral("新密码pw2"), QStringLiteral("新密码pw2"));
    EXPECT_EQ(Shown(), std::vector<std::string>{"104030"});
    EXPECT_EQ(StoredPassword(), "新密码pw2");
    EXPECT_EQ(RecordPassword(), "新密码pw2") << "the user record was reloaded";
    EXPECT_EQ(MainFrame().CopyDataTexts(priv::CD_PAGE_SIZE), std::vector<std::string>{"reset"});
    EXPECT_EQ(page->ToolPageState(), priv::Tfrm_CustomEx::kPageNormal);
    EXPECT_EQ(oldPwd->text(), QStringLiteral("Old#pw1")) << "the boxes keep their text";
    EXPECT_EQ(newPwd->text(), QStringLiteral("新密码pw2"));
    const auto log = Db().LogLines();
    ASSERT_FALSE(log.empty());
    EXPECT_NE(log.back().find("李娜"), std::string::npos) << log.back();

    // The second change checks against the first one's password.
    Change(QStringLiteral("Old#pw1"), QStringLiteral("Third3"), QStringLiteral("Third3"));
    EXPECT_EQ(Shown(), std::vector<std::string>{"104028"});
    Change(QStringLiteral("新密码pw2"), QStringLiteral("Third3"), QStringLiteral("Third3"));
    EXPECT_EQ(Shown(), std::vector<std::string>{"104030"});
    EXPECT_EQ(StoredPassword(), "Third3");

    const priv::test::LoadedModule module;
    ASSERT_NE(module.Handle(), nullptr) << dlerror();
    EXPECT_TRUE(SignIn(module, "lina", "Third3"));
    EXPECT_FALSE(SignIn(module, "lina", "新密码pw2"));
    EXPECT_FALSE(SignIn(module, "lina", "Old#pw1"));

    // Both new boxes empty: the password becomes empty, as the hint allows.
    Change(QStringLiteral("Third3"), QString(), QString());
    EXPECT_EQ(Shown(), std::vector<std::string>{"104030"});
    EXPECT_EQ(Db().Scalar("SELECT COUNT(*) FROM QX_CZY WHERE CZY_DM='lina' AND PWD<>''"), "1")
        << "an empty password is stored enciphered";
    EXPECT_EQ(StoredPassword(), "");
    EXPECT_TRUE(SignIn(module, "lina", ""));
    EXPECT_FALSE(SignIn(module, "lina", "Third3"));
}

TEST_F(PasswordWindowTest, DatabaseFailuresAreShownAndTheFirstIsLogged)
{
    ASSERT_NO_FATAL_FAILURE(Open());
    const std::size_t logBefore = Db().LogLines().size();

    fennix::FailStatementsContaining("UPDATE QX_CZY SET PWD", 0, 1);
    Change(QStringLiteral("Old#pw1"), QStringLiteral("New#pw2"), QStringLiteral("New#pw2"));
    EXPECT_EQ(Shown(), std::vector<std::string>{kFailureText});
    EXPECT_EQ(fennix::ShownMessages().back().kind, fennix::MessageKind::Error);
    EXPECT_EQ(StoredPassword(), "Old#pw1");
    auto log = Db().LogLines();
    ASSERT_EQ(log.size(), logBefore + 1);
    EXPECT_NE(log.back().find("[70018503]修改密码失败：数据库操作出错。"), std::string::npos) << log.back();
    EXPECT_TRUE(MainFrame().CopyDataLog().empty());

    // The password is stored but the user record cannot be read again.
    fennix::FailStatementsContaining("WHERE UPPER(t1.CZY_DM)=UPPER('lina')", 0, 1);
    Change(QStringLiteral("Old#pw1"), QStringLiteral("New#pw2"), QStringLiteral("New#pw2"));
    EXPECT_EQ(Shown(), std::vector<std::string>{kFailureText});
    EXPECT_EQ(StoredPassword(), "New#pw2");
    EXPECT_EQ(RecordPassword(), "Old#pw1");
    EXPECT_EQ(Db().LogLines().size(), logBefore + 1) << "no log line for the reload";
    EXPECT_TRUE(MainFrame().CopyDataLog().empty());
}

TEST_F(PasswordWindowTest, TheExportEmbedsThePageInTheHostsContainer)
{
    const priv::test::LoadedModule module;
    ASSERT_NE(module.Handle(), nullptr) << dlerror();
    QWidget* container = HostPage();
    const auto show = module.Window("ShowOperatorModifyPwdProc");
    ASSERT_NE(show, nullptr);
    priv::test::HostBuffer buffer("ModalFormMsg=密码修改");
    show(nullptr, container, buffer.argv);
    QWidget* shown = nullptr;
    for (QWidget* child : container->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        if (child->findChild<QLineEdit*>(QStringLiteral("edtOldPwd")))
            shown = child;
    ASSERT_NE(shown, nullptr);
    EXPECT_TRUE(shown->isVisible());
    EXPECT_EQ(shown->findChild<QLabel*>(QStringLiteral("lblUserID"))->text(), QStringLiteral("lina"));
    const auto opened = MainFrame().CopyDataTexts(priv::CD_PAGE_OPENED);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].rfind("密码修改|", 0), 0u) << opened[0];
    EXPECT_EQ(opened[0].substr(opened[0].size() - 4), "|0|1") << opened[0];
    shown->close();
    priv::test::RunDeferredDeletes();
}

TEST_F(PasswordWindowTest, AReaderNamesEveryBoxByItsLabelAndCannotReadThePasswords)
{
    ASSERT_NO_FATAL_FAILURE(Open());
    for (QLineEdit* box : {oldPwd, newPwd, reNewPwd})
        QTest::keyClicks(box, "Secret 9");
    const std::vector<std::string> problems = priv::test::AccessibilityProblems(page);
    EXPECT_TRUE(problems.empty()) << priv::test::Joined(problems);

    // The operator's code and name read as themselves, each labelled by its
    // caption.
    const struct {
        const char* value;
        const char* read;
        const char* caption;
    } labels[] = {{"lblUserID", "lina", "当前用户代码："}, {"lblUserName", "李娜", "用户名称："}};
    for (const auto& label : labels) {
        QAccessibleInterface* read =
            QAccessible::queryAccessibleInterface(page->findChild<QLabel*>(QString::fromUtf8(label.value)));
        ASSERT_NE(read, nullptr) << label.value;
        EXPECT_EQ(read->text(QAccessible::Name).toStdString(), label.read);
        const auto labelledBy = read->relations(QAccessible::Label);
        ASSERT_EQ(labelledBy.size(), 1) << label.value;
        EXPECT_EQ(labelledBy.first().first->text(QAccessible::Name).toStdString(), label.caption);
    }
}

} // namespace
