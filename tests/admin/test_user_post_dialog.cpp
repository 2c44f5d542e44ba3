// The post settings dialog on the offscreen platform against a real SQLite
// database: the codes of new posts, the built-in posts, renaming and deleting,
// the refusals and the database failures, each checked through the rows.
#include "admin/user_post_dialog.h"
#include "ui/accessibility_walk.h"

#include "support/arrange.h"
#include "window_test_support.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <memory>
#include <string>

namespace {

using priv::TfrmUserPost;
using priv::TUserPostList;
using priv::UserPostInfo;
using priv::test::FindControl;
using priv::test::LastShownText;
using priv::test::PickFromList;
using priv::test::SaveScreenshot;

TEST(NewPostCode, TakesTheFirstFreeNumber)
{
    const auto list = [](std::initializer_list<const char*> codes) {
        TUserPostList posts;
        for (const char* code : {"SYSTEM", "BUSINESS", "AUDITOR"})
            posts.push_back({code, code, true});
        for (const char* code : codes)
            posts.push_back({code, "岗位", false});
        return posts;
    };
    struct Case {
        TUserPostList posts;
        std::string code;
    };
    const Case cases[] = {
        {list({}), "GW00001"},
        {list({"GW00001", "GW00003"}), "GW00002"},
        {list({"gw00001", "Gw00002"}), "GW00003"}, // letter case ignored
        {list({"GW00002", "CASHIER", "GW1"}), "GW00001"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TfrmUserPost::NewPostCode(c.posts), c.code);

    TUserPostList full = list({});
    for (int n = 1; n <= priv::kMaxCreatedPosts; ++n) {
        char code[16];
        std::snprintf(code, sizeof code, "GW%05d", n);
        full.push_back({code, "岗位", false});
    }
    EXPECT_EQ(TfrmUserPost::NewPostCode(full), "") << "every code taken";
    full.erase(full.begin() + 3 + 89999);
    EXPECT_EQ(TfrmUserPost::NewPostCode(full), "GW90000");
}

class UserPostDialogTest : public priv::test::WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        ASSERT_TRUE(priv::test::AddPost(Db(), "GW00001", "税务会计"));
        ASSERT_TRUE(priv::test::AddPost(Db(), "GW00003", "出纳"));
        ASSERT_TRUE(priv::test::AddPost(Db(), "CASHIER", "Cashier"));
        ASSERT_TRUE(priv::test::AddOperator(Db(), {.code = "clerk01", .name = "张三", .post = "GW00003"}));
        dialog = std::make_unique<TfrmUserPost>();
        dialog->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
        box = FindControl<QComboBox>(dialog.get(), "cbxPostName");
        codes = FindControl<QComboBox>(dialog.get(), "cbxPostCode");
        btnAdd = FindControl<QPushButton>(dialog.get(), "btnAdd");
        btnDel = FindControl<QPushButton>(dialog.get(), "btnDel");
        btnEdit = FindControl<QPushButton>(dialog.get(), "btnEdit");
        tip = FindControl<QLabel>(dialog.get(), "lblRoleTip");
        ASSERT_TRUE(box && codes && btnAdd && btnDel && btnEdit && tip);
        fennix::ClearShownMessages();
    }

    void TearDown() override
    {
        dialog.reset();
        WindowTest::TearDown();
    }

    void Type(const QString& text)
    {
        box->lineEdit()->clear();
        priv::test::TypeText(box, text);
    }

    std::string NameOf(const std::string& code)
    {
        return Db().Scalar("SELECT JS_MC FROM QX_ROLES WHERE JS_DM='" + code + "'");
    }
    std::string PostCount() { return Db().Scalar("SELECT COUNT(*) FROM QX_ROLES"); }

    // Enabled states of add, delete and modify.
    std::string Buttons() const
    {
        return std::string(btnAdd->isEnabled() ? "A" : "-") + (btnDel->isEnabled() ? "D" : "-") +
               (btnEdit->isEnabled() ? "E" : "-");
    }

    std::unique_ptr<TfrmUserPost> dialog;
    QComboBox* box = nullptr;
    QComboBox* codes = nullptr;
    QPushButton* btnAdd = nullptr;
    QPushButton* btnDel = nullptr;
    QPushButton* btnEdit = nullptr;
    QLabel* tip = nullptr;
};

TEST_F(UserPostDialogTest, OpensOnTheGreyPromptWithThePostsListed)
{
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("岗位设置"));
    EXPECT_EQ(box->currentIndex(), 0);
    EXPECT_EQ(box->itemText(0), QString::fromUtf8(priv::kNewPostPrompt));
    EXPECT_EQ(box->lineEdit()->palette().color(QPalette::Text), QColor(128, 128, 128));
    QStringList names;
    QStringList postCodes;
    for (int i = 1; i < box->count(); ++i)
        names << box->itemText(i);
    for (int i = 0; i < codes->count(); ++i)
        postCodes << codes->itemText(i);
    EXPECT_EQ(names.mid(0, 3), (QStringList{"系统管理员", "业务员", "审核员"}));
    EXPECT_EQ(postCodes.mid(0, 3), (QStringList{"SYSTEM", "BUSINESS", "AUDITOR"}));
    EXPECT_EQ(names.size(), 6);
    EXPECT_EQ(postCodes.size(), 6);
    EXPECT_TRUE(names.contains("税务会计") && postCodes.contains("GW00001"));
    EXPECT_FALSE(codes->isVisible());
    EXPECT_EQ(Buttons(), "A--");
    EXPECT_EQ(box->lineEdit()->maxLength(), 30);
    EXPECT_EQ(box->maxVisibleItems(), 12);
    EXPECT_EQ(box->completer(), nullptr);
    SaveScreenshot(dialog.get(), "user_post_dialog");

    // Entering the box takes the prompt out and writes in the normal colour.
    dialog->activateWindow();
    box->setFocus(Qt::MouseFocusReason);
    QCoreApplication::processEvents();
    EXPECT_EQ(box->currentText(), QString());
    EXPECT_NE(box->lineEdit()->palette().color(QPalette::Text), QColor(128, 128, 128));
}

TEST_F(UserPostDialogTest, AddsATrimmedPostUnderTheNextFreeCode)
{
    Type(QStringLiteral("  稽核专员  "));
    QTest::mouseClick(btnAdd, Qt::LeftButton);
    EXPECT_EQ(LastShownText(), "新增岗位成功。");
    EXPECT_EQ(NameOf("GW00002"), "稽核专员") << "GW00001 and GW00003 are taken";
    // The new post is listed and, its name still in the box, picked.
    EXPECT_GE(box->findText(QStringLiteral("稽核专员")), 1);
    EXPECT_EQ(dialog->CurrentPost().Code, "GW00002");
    EXPECT_EQ(Buttons(), "-DE");

    Type(QStringLiteral("审计助理"));
    QTest::mouseClick(btnEdit, Qt::LeftButton); // renames GW00002, the post picked
    EXPECT_EQ(LastShownText(), "修改岗位成功。");
    EXPECT_EQ(NameOf("GW00002"), "审计助理");

    Type(QStringLiteral("统计员"));
    ASSERT_TRUE(PickFromList(box, QString::fromUtf8(priv::kNewPostPrompt)));
    Type(QStringLiteral("统计员"));
    QTest::mouseClick(btnAdd, Qt::LeftButton);
    EXPECT_EQ(NameOf("GW00004"), "统计员");
}

TEST_F(UserPostDialogTest, RefusesAddingWithoutAUsableNewName)
{
    struct Case {
        const char* typed;
        const char* message;
    };
    const Case cases[] = {
        {"", "请输入岗位名称！"},
        {"   ", "请输入岗位名称！"},
        {"输入新的岗位名称...", "请输入正确的岗位名称。"},
        {" 出纳 ", "新增岗位失败：该岗位名称已存在。"},
        {"系统管理员", "新增岗位失败：该岗位名称已存在。"},
        {"CASHIER", "新增岗位失败：该岗位名称已存在。"}, // "Cashier" in other letters
    };
    const std::string before = PostCount();
    for (const Case& c : cases) {
        fennix::ClearShownMessages();
        Type(QString::fromUtf8(c.typed));
        QTest::mouseClick(btnAdd, Qt::LeftButton);
        EXPECT_EQ(LastShownText(), c.message) << c.typed;
    }
    EXPECT_EQ(PostCount(), before);
}

TEST_F(UserPostDialogTest, ABuiltInPostCannotBeRenamedOrDeleted)
{
    ASSERT_TRUE(PickFromList(box, QStringLiteral("系统管理员")));
    EXPECT_EQ(Buttons(), "---");
    EXPECT_EQ(tip->text(), QStringLiteral("系统内置岗位，不能修改。"));
    EXPECT_EQ(dialog->CurrentPost().Code, "SYSTEM");
    // Disabled buttons show it: the host's font colour is not theirs.
    EXPECT_NE(btnDel->palette().color(QPalette::Disabled, QPalette::ButtonText),
              btnDel->palette().color(QPalette::Active, QPalette::ButtonText));
    SaveScreenshot(dialog.get(), "user_post_dialog_built_in");

    Type(QStringLiteral("管理员"));
    QTest::mouseClick(btnEdit, Qt::LeftButton);
    QTest::mouseClick(btnDel, Qt::LeftButton);
    EXPECT_TRUE(fennix::ShownMessages().empty());
    EXPECT_EQ(NameOf("SYSTEM"), "系统管理员");

    // A created post picked next takes the tip away and offers both commands.
    ASSERT_TRUE(PickFromList(box, QStringLiteral("税务会计")));
    EXPECT_EQ(Buttons(), "-DE");
    EXPECT_TRUE(tip->text().isEmpty());

    // The prompt empties the box and offers adding again.
    ASSERT_TRUE(PickFromList(box, QString::fromUtf8(priv::kNewPostPrompt)));
    EXPECT_EQ(box->currentText(), QString());
    EXPECT_EQ(Buttons(), "A--");
    EXPECT_EQ(box->lineEdit()->palette().color(QPalette::Text), QColor(128, 128, 128));
}

TEST_F(UserPostDialogTest, RenamingKeepsNamesUnique)
{
    ASSERT_TRUE(PickFromList(box, QStringLiteral("税务会计")));
    QTest::mouseClick(btnEdit, Qt::LeftButton);
    EXPECT_EQ(LastShownText(), "修改岗位失败：该岗位名称已存在。") << "the name was not changed";

    Type(QStringLiteral("出纳"));
    QTest::mouseClick(btnEdit, Qt::LeftButton);
    EXPECT_EQ(LastShownText(), "修改岗位失败：该岗位名称已存在。");
    EXPECT_EQ(NameOf("GW00001"), "税务会计");

    Type(QStringLiteral("  "));
    QTest::mouseClick(btnEdit, Qt::LeftButton);
    EXPECT_EQ(LastShownText(), "请输入岗位名称！");

    fennix::FailStatementsContaining("UPDATE QX_ROLES");
    Type(QStringLiteral("税务主管"));
    QTest::mouseClick(btnEdit, Qt::LeftButton);
    EXPECT_EQ(LastShownText(), "修改岗位失败。");
    EXPECT_EQ(NameOf("GW00001"), "税务会计");
}

TEST_F(UserPostDialogTest, DeletesOnlyAPostNoOperatorHolds)
{
    ASSERT_TRUE(PickFromList(box, QStringLiteral("出纳")));
    QTest::mouseClick(btnDel, Qt::LeftButton);
    EXPECT_EQ(LastShownText(), "删除岗位[出纳]失败：该岗位已分配给用户。");
    EXPECT_EQ(NameOf("GW00003"), "出纳");

    ASSERT_TRUE(PickFromList(box, QStringLiteral("Cashier")));
    fennix::FailStatementsContaining("DELETE FROM QX_ROLES", 0, 1);
    QTest::mouseClick(btnDel, Qt::LeftButton);
    EXPECT_EQ(LastShownText(), "系统错误：[70018510]删除岗位[Cashier]失败。");
    EXPECT_EQ(NameOf("CASHIER"), "Cashier");

    QTest::mouseClick(btnDel, Qt::LeftButton);
    EXPECT_EQ(LastShownText(), "删除岗位[Cashier]成功。");
    EXPECT_EQ(Db().Scalar("SELECT COUNT(*) FROM QX_ROLES WHERE JS_DM='CASHIER'"), "0");
    EXPECT_EQ(box->findText(QStringLiteral("Cashier")), -1);
    EXPECT_EQ(box->currentText(), QString());
    EXPECT_EQ(dialog->CurrentPost().Code, "");
    EXPECT_EQ(Buttons(), "A--");

    fennix::ClearShownMessages();
    QTest::mouseClick(btnDel, Qt::LeftButton); // disabled: nothing happens
    EXPECT_TRUE(fennix::ShownMessages().empty());
}

TEST_F(UserPostDialogTest, APickedPostIsThatPostWhateverOthersAreCalled)
{
    // Two posts without a name, both listed as "——": the one picked is the
    // one deleted.
    ASSERT_TRUE(Db().ExecAll({"INSERT INTO QX_ROLES (JS_DM, JS_MC) VALUES ('GW00004', '')",
                              "INSERT INTO QX_ROLES (JS_DM, JS_MC) VALUES ('GW00005', ' ')"}));
    dialog = std::make_unique<TfrmUserPost>();
    dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    box = FindControl<QComboBox>(dialog.get(), "cbxPostName");
    btnDel = FindControl<QPushButton>(dialog.get(), "btnDel");
    const int second = box->findText(QStringLiteral("——"), Qt::MatchExactly) + 1;
    ASSERT_EQ(box->itemText(second), QStringLiteral("——"));
    ASSERT_TRUE(PickFromList(box, second));
    EXPECT_EQ(dialog->CurrentPost().Code, "GW00005");
    QTest::mouseClick(btnDel, Qt::LeftButton);
    EXPECT_EQ(LastShownText(), "删除岗位[——]成功。");
    EXPECT_EQ(Db().Scalar("SELECT COUNT(*) FROM QX_ROLES WHERE JS_DM='GW00005'"), "0");
    EXPECT_EQ(Db().Scalar("SELECT COUNT(*) FROM QX_ROLES WHERE JS_DM='GW00004'"), "1");
}

TEST_F(UserPostDialogTest, AFailedInsertIsReported)
{
    fennix::FailStatementsContaining("INSERT INTO QX_ROLES");
    const std::string before = PostCount();
    Type(QStringLiteral("稽核专员"));
    QTest::mouseClick(btnAdd, Qt::LeftButton);
    EXPECT_EQ(LastShownText(), "新增岗位失败。");
    EXPECT_EQ(PostCount(), before);
    EXPECT_EQ(box->findText(QStringLiteral("稽核专员")), -1);
}

TEST_F(UserPostDialogTest, ShowUserPostAnswersFalseWhenClosed)
{
    dialog.reset();
    bool ran = false;
    priv::test::WhenDialogRuns<TfrmUserPost>([&](TfrmUserPost& shown) {
        ran = true;
        QTest::mouseClick(FindControl<QPushButton>(&shown, "sBtnClose"), Qt::LeftButton);
    });
    EXPECT_FALSE(priv::ShowUserPost());
    EXPECT_TRUE(ran);
}

TEST_F(UserPostDialogTest, AReaderNamesEveryControlByItsLabel)
{
    const std::vector<std::string> problems = priv::test::AccessibilityProblems(dialog.get());
    EXPECT_TRUE(problems.empty()) << priv::test::Joined(problems);
}

} // namespace
