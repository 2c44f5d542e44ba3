// The windows on the offscreen platform: a change whose row in the operation
// log cannot be written is undone, and the window says why, in place of its
// usual failure; a change that goes through leaves its row.
#include "admin/department_dialog.h"
#include "admin/user_post_dialog.h"
#include "session/named_values.h"
#include "store/audit_reader.h"

#include "support/arrange.h"
#include "window_test_support.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <memory>
#include <string>

namespace priv::test {
namespace {

class AuditWindowsTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        if (HasFatalFailure())
            return;
        ASSERT_TRUE(AddPost(Db(), "GW00001", "税务会计"));
        ASSERT_TRUE(AddDepartment(Db(), 0, "D01", "财务部"));
        SetTextValue(Host().GetUserInfoVO(), "CZY_DM", "admin");
    }
    void TearDown() override
    {
        fennix::ClearStatementFailures();
        WindowTest::TearDown();
    }
    std::string Scalar(const std::string& sql) { return Db().Scalar(sql); }
};

constexpr const char* kRecordFailureStart = "系统错误：[70018513]\r\n操作日志写入失败，本次更改未保存：";

TEST_F(AuditWindowsTest, ThePostDialogSaysWhyAPostWasNotAdded)
{
    auto dialog = std::make_unique<TfrmUserPost>();
    dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    auto* box = FindControl<QComboBox>(dialog.get(), "cbxPostName");
    auto* add = FindControl<QPushButton>(dialog.get(), "btnAdd");
    ASSERT_TRUE(box && add);

    fennix::ClearShownMessages();
    fennix::FailStatementsContaining("INSERT INTO QX_CZRZ(");
    box->lineEdit()->clear();
    TypeText(box, QStringLiteral("稽核专员"));
    QTest::mouseClick(add, Qt::LeftButton);
    ASSERT_EQ(fennix::ShownMessages().size(), 1u);
    EXPECT_EQ(fennix::ShownMessages().front().kind, fennix::MessageKind::Error);
    EXPECT_EQ(LastShownText().rfind(kRecordFailureStart, 0), 0u) << LastShownText();
    EXPECT_EQ(Scalar("SELECT COUNT(*) FROM QX_ROLES WHERE JS_MC='稽核专员'"), "0");
    SaveScreenshot(dialog.get(), "audit_post_not_added");

    // The same click once the log can be written.
    fennix::ClearStatementFailures();
    QTest::mouseClick(add, Qt::LeftButton);
    EXPECT_EQ(LastShownText(), "新增岗位成功。");
    EXPECT_EQ(Scalar("SELECT DXDM FROM QX_CZRZ WHERE SJLX='post.add'"), "GW00002");
    EXPECT_EQ(Scalar("SELECT CZY_DM FROM QX_CZRZ WHERE SJLX='post.add'"), "admin");
}

TEST_F(AuditWindowsTest, TheDepartmentDialogSaysWhyADepartmentWasNotDeleted)
{
    auto dialog = std::make_unique<TfrmDepartmentMgr>();
    dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    auto* code = FindControl<QComboBox>(dialog.get(), "cbxDeprtCode");
    auto* remove = FindControl<QPushButton>(dialog.get(), "btnDel");
    ASSERT_TRUE(code && remove);
    ASSERT_TRUE(PickFromList(code, QStringLiteral("D01")));

    fennix::ClearShownMessages();
    fennix::FailStatementsContaining("UPDATE QX_CZRZLT");
    ASSERT_TRUE(Db().Exec("INSERT INTO QX_CZRZLT (LT_ID, XH, HXZ) VALUES (1, 0, 'x')"));
    QTest::mouseClick(remove, Qt::LeftButton);
    EXPECT_EQ(LastShownText().rfind(kRecordFailureStart, 0), 0u) << LastShownText();
    EXPECT_EQ(Scalar("SELECT COUNT(*) FROM XT_BMXX WHERE BM_DM='D01'"), "1");
    EXPECT_EQ(Scalar("SELECT COUNT(*) FROM QX_CZRZ"), "0");
}

} // namespace
} // namespace priv::test
