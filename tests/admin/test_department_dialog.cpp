// The department settings dialog on the offscreen platform against a real
// SQLite database: codes typed or picked fill in the name, adding, renaming
// and deleting with their refusals, each checked through the rows.
#include "admin/department_dialog.h"
#include "ui/accessibility_walk.h"

#include "support/arrange.h"
#include "window_test_support.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <memory>
#include <string>

namespace {

using priv::TfrmDepartmentMgr;
using priv::test::FindControl;
using priv::test::LastShownText;
using priv::test::PickFromList;
using priv::test::SaveScreenshot;

class DepartmentDialogTest : public priv::test::WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        ASSERT_TRUE(priv::test::AddDepartment(Db(), 1, "D01", "财务部"));
        ASSERT_TRUE(priv::test::AddDepartment(Db(), 1, "TAX", "税务部"));
        ASSERT_TRUE(priv::test::AddDepartment(Db(), 1, "E9", ""));
        ASSERT_TRUE(priv::test::AddOperator(Db(), {.code = "clerk01", .name = "张三", .department = "D01"}));
        dialog = std::make_unique<TfrmDepartmentMgr>();
        dialog->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
        code = FindControl<QComboBox>(dialog.get(), "cbxDeprtCode");
        name = FindControl<QLineEdit>(dialog.get(), "edtDeprtName");
        btnAdd = FindControl<QPushButton>(dialog.get(), "btnAdd");
        btnDel = FindControl<QPushButton>(dialog.get(), "btnDel");
        btnEdit = FindControl<QPushButton>(dialog.get(), "btnEdit");
        ASSERT_TRUE(code && name && btnAdd && btnDel && btnEdit);
        fennix::ClearShownMessages();
    }

    void TearDown() override
    {
        dialog.reset();
        WindowTest::TearDown();
    }

    void TypeCode(const QString& text)
    {
        code->lineEdit()->clear();
        priv::test::TypeText(code, text);
    }
    void TypeName(const QString& text)
    {
        name->clear();
        priv::test::TypeText(name, text);
    }
    void Click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

    std::string NameOf(const std::string& departmentCode)
    {
        return Db().Scalar("SELECT BM_MC FROM XT_BMXX WHERE BM_DM='" + departmentCode + "'");
    }
    std::string Count() { return Db().Scalar("SELECT COUNT(*) FROM XT_BMXX"); }

    std::string Buttons() const
    {
        return std::string(btnAdd->isEnabled() ? "A" : "-") + (btnDel->isEnabled() ? "D" : "-") +
               (btnEdit->isEnabled() ? "E" : "-");
    }

    std::unique_ptr<TfrmDepartmentMgr> dialog;
    QComboBox* code = nullptr;
    QLineEdit* name = nullptr;
    QPushButton* btnAdd = nullptr;
    QPushButton* btnDel = nullptr;
    QPushButton* btnEdit = nullptr;
};

TEST_F(DepartmentDialogTest, ACodeTypedOrPickedFillsInItsName)
{
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("部门设置"));
    EXPECT_EQ(code->count(), 3);
    EXPECT_EQ(code->currentText(), QString());
    EXPECT_EQ(Buttons(), "A--");
    EXPECT_EQ(code->lineEdit()->maxLength(), 20);
    EXPECT_EQ(name->maxLength(), 49);
    EXPECT_EQ(dialog->focusWidget(), code);
    SaveScreenshot(dialog.get(), "department_dialog");

    struct Case {
        const char* typed;
        const char* name;
        const char* buttons;
    };
    const Case cases[] = {
        {"tax", "税务部", "-DE"}, // letter case ignored
        {" D01 ", "财务部", "-DE"},
        {"D0", "", "A--"},   // each keystroke looks again
        {"E9", "——", "-DE"}, // an empty name shows as a dash
        {"", "", "A--"},
    };
    for (const Case& c : cases) {
        TypeCode(QString::fromUtf8(c.typed));
        EXPECT_EQ(name->text(), QString::fromUtf8(c.name)) << c.typed;
        EXPECT_EQ(Buttons(), c.buttons) << c.typed;
    }

    ASSERT_TRUE(PickFromList(code, QStringLiteral("TAX")));
    EXPECT_EQ(name->text(), QStringLiteral("税务部"));
    EXPECT_EQ(Buttons(), "-DE");
    SaveScreenshot(dialog.get(), "department_dialog_picked");
}

TEST_F(DepartmentDialogTest, AddsAndRenamesDepartments)
{
    TypeCode(QStringLiteral(" D02 "));
    TypeName(QStringLiteral(" 办公室 "));
    Click(btnAdd);
    EXPECT_EQ(LastShownText(), "新增部门成功。");
    EXPECT_EQ(NameOf("D02"), "办公室");
    EXPECT_EQ(code->findText(QStringLiteral("D02")), 3) << "listed after a reload";
    EXPECT_EQ(Buttons(), "-DE") << "the code still in the box is the new department";

    // Renaming to another department's name is allowed.
    TypeCode(QStringLiteral("d02"));
    TypeName(QStringLiteral("税务部"));
    Click(btnEdit);
    EXPECT_EQ(LastShownText(), "修改部门成功。");
    EXPECT_EQ(NameOf("D02"), "税务部");
    EXPECT_EQ(NameOf("TAX"), "税务部");

    fennix::FailStatementsContaining("UPDATE XT_BMXX");
    TypeCode(QStringLiteral("D02"));
    TypeName(QStringLiteral("后勤部"));
    Click(btnEdit);
    EXPECT_EQ(LastShownText(), "修改部门失败。");
    EXPECT_EQ(NameOf("D02"), "税务部");
}

TEST_F(DepartmentDialogTest, RefusesAddingIncompleteOrTakenDepartments)
{
    struct Case {
        const char* code;
        const char* name;
        const char* message;
    };
    const Case cases[] = {
        {"", "办公室", "请输入部门编码！"},
        {"D05", "  ", "请输入部门名称！"},
        {"DX", " 财务部", "新增部门失败：该部门名称已存在。"},
    };
    const std::string before = Count();
    for (const Case& c : cases) {
        fennix::ClearShownMessages();
        TypeCode(QString::fromUtf8(c.code));
        TypeName(QString::fromUtf8(c.name));
        Click(btnAdd);
        EXPECT_EQ(LastShownText(), c.message) << c.code;
        // The boxes keep what was typed, to be corrected.
        EXPECT_EQ(code->currentText(), QString::fromUtf8(c.code)) << c.code;
        EXPECT_EQ(name->text(), QString::fromUtf8(c.name)) << c.code;
    }
    EXPECT_EQ(Count(), before);

    // A code taken by another workstation meanwhile: both boxes are emptied.
    ASSERT_TRUE(Db().Exec("INSERT INTO XT_BMXX (QYID, BM_DM, BM_MC) VALUES (1, 'D07', '审计部')"));
    fennix::ClearShownMessages();
    TypeCode(QStringLiteral("D07"));
    TypeName(QStringLiteral("审计二部"));
    Click(btnAdd);
    EXPECT_EQ(LastShownText(), "新增部门失败：该部门编码已存在。");
    EXPECT_EQ(code->currentText(), QString());
    EXPECT_EQ(name->text(), QString());
    EXPECT_EQ(NameOf("D07"), "审计部");

    fennix::FailStatementsContaining("INSERT INTO XT_BMXX");
    TypeCode(QStringLiteral("D08"));
    TypeName(QStringLiteral("法务部"));
    Click(btnAdd);
    EXPECT_EQ(LastShownText(), "新增部门失败。");
    EXPECT_EQ(Count(), std::to_string(std::stoi(before) + 1));
}

TEST_F(DepartmentDialogTest, ADepartmentInUseCannotBeDeleted)
{
    TypeCode(QStringLiteral("d01"));
    Click(btnDel);
    // Typed in other letters, the code still names the listed department: the
    // database, which compares exactly, is asked about its stored code.
    EXPECT_EQ(LastShownText(), "删除部门[D01]失败：该部门已分配给用户。");
    EXPECT_EQ(NameOf("D01"), "财务部");

    // The name box must hold something, although only the code counts.
    TypeCode(QStringLiteral("TAX"));
    name->clear();
    Click(btnDel);
    EXPECT_EQ(LastShownText(), "请先选择部门。");
    EXPECT_EQ(NameOf("TAX"), "税务部");

    TypeCode(QStringLiteral("tax"));
    fennix::FailStatementsContaining("DELETE FROM XT_BMXX", 0, 1);
    Click(btnDel);
    EXPECT_EQ(LastShownText(), "系统错误：[70018510]删除部门[TAX]失败。");
    EXPECT_EQ(NameOf("TAX"), "税务部");

    Click(btnDel);
    EXPECT_EQ(LastShownText(), "删除部门[TAX]成功。");
    EXPECT_EQ(Db().Scalar("SELECT COUNT(*) FROM XT_BMXX WHERE BM_DM='TAX'"), "0");
    EXPECT_EQ(code->findText(QStringLiteral("TAX")), -1);
    EXPECT_EQ(code->currentText(), QString());
    EXPECT_EQ(name->text(), QString());
    EXPECT_EQ(Buttons(), "A--");
}

TEST_F(DepartmentDialogTest, DeletingTheLastDepartmentEmptiesTheList)
{
    ASSERT_TRUE(Db().ExecAll({"DELETE FROM QX_CZY", "DELETE FROM XT_BMXX WHERE BM_DM<>'TAX'"}));
    TypeCode(QStringLiteral("TAX"));
    Click(btnDel);
    EXPECT_EQ(LastShownText(), "删除部门[TAX]成功。");
    EXPECT_EQ(code->count(), 0) << "no department left to pick";

    // A list that cannot be read keeps what it showed.
    TypeCode(QStringLiteral("D09"));
    TypeName(QStringLiteral("法务部"));
    Click(btnAdd);
    ASSERT_EQ(LastShownText(), "新增部门成功。");
    fennix::FailStatementsContaining("select * from XT_BMXX");
    TypeCode(QStringLiteral("D10"));
    TypeName(QStringLiteral("后勤部"));
    Click(btnAdd);
    EXPECT_EQ(LastShownText(), "新增部门成功。");
    EXPECT_EQ(NameOf("D10"), "后勤部");
    EXPECT_EQ(code->count(), 1);
    EXPECT_EQ(code->itemText(0), QStringLiteral("D09"));
}

TEST_F(DepartmentDialogTest, ShowDepartmentMgrAnswersFalseWhenClosed)
{
    dialog.reset();
    bool ran = false;
    priv::test::WhenDialogRuns<TfrmDepartmentMgr>([&](TfrmDepartmentMgr& shown) {
        ran = true;
        QTest::mouseClick(FindControl<QPushButton>(&shown, "sBtnClose"), Qt::LeftButton);
    });
    EXPECT_FALSE(priv::ShowDepartmentMgr());
    EXPECT_TRUE(ran);
}

TEST_F(DepartmentDialogTest, AReaderNamesEveryControlByItsLabel)
{
    const std::vector<std::string> problems = priv::test::AccessibilityProblems(dialog.get());
    EXPECT_TRUE(problems.empty()) << priv::test::Joined(problems);
}

} // namespace
