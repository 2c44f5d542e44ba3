// Codes that differ only in the case of their letters, on every database:
// operators, posts and departments are found by one rule everywhere. A code
// names the row stored exactly so, else the one it names in another case;
// adding a code that exists in another case is refused; sign-in with and
// without the window picks the same operator; the department dialog changes
// and deletes the department whose code was typed.
#include "admin/department_dialog.h"
#include "admin/operator_add_dialog.h"
#include "cipher/crypt.h"
#include "session/current_operator.h"
#include "session/export_calls.h"
#include "session/privilege_manager.h"
#include "signin/login_window.h"
#include "store/department_store.h"
#include "store/operator_store.h"
#include "store/post_store.h"

#include "support/arrange.h"
#include "support/database_fixture.h"
#include "window_test_support.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include <algorithm>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace priv::test {
namespace {

class CodeCaseTest : public DatabaseTest {
protected:
    void SetUp() override
    {
        DatabaseTest::SetUp();
        if (HasFatalFailure())
            return;
        // Rows from before codes were kept unique whatever their case:
        // "lina" and "LINA", departments "abc" and "ABC", posts "gw00001"
        // and "GW00001"; "wang", "d01" and "gw00002" exist in small letters
        // only.
        ASSERT_TRUE(AddDepartment(Db(), 0, "abc", "小写部"));
        ASSERT_TRUE(AddDepartment(Db(), 0, "ABC", "大写部"));
        ASSERT_TRUE(AddDepartment(Db(), 0, "d01", "财务部"));
        ASSERT_TRUE(AddPost(Db(), "gw00001", "小写岗"));
        ASSERT_TRUE(AddPost(Db(), "GW00001", "大写岗"));
        ASSERT_TRUE(AddPost(Db(), "gw00002", "出纳"));
        for (const auto& [code, name, password, post] :
             std::vector<std::array<const char*, 4>>{{"lina", "李娜", "ln-lower", "BUSINESS"},
                                                     {"LINA", "李娜大写", "LN-UPPER", "AUDITOR"},
                                                     {"wang", "王芳", "wf-2024", "gw00002"}})
            ASSERT_TRUE(AddOperator(Db(), {.code = code,
                                           .name = name,
                                           .password = password,
                                           .category = "1",
                                           .department = "d01",
                                           .post = post}));
        CurrentOperator() = OperatorInfo{};
        PrevOperatorText().clear();
        fennix::ClearShownMessages();
    }

    void TearDown() override
    {
        SetLoginWindowRunner(nullptr);
        DatabaseTest::TearDown();
    }

    std::string Codes(const char* table, const char* column)
    {
        // Sorted here, byte by byte: a database's own order follows its
        // collation.
        QueryResult rows = Db().Query(std::string("SELECT ") + column + " FROM " + table);
        std::vector<std::string> sorted;
        for (; !rows.Eof(); rows.Next())
            sorted.push_back(rows.AsString(column));
        std::sort(sorted.begin(), sorted.end());
        std::string codes;
        for (const std::string& code : sorted)
            codes += (codes.empty() ? "" : ",") + code;
        return codes;
    }
};

// The three kinds of code through their stores: each existence check finds
// a code in any case, and a delete removes the row written exactly as asked
// or, when there is none, the one it names in another case.
TEST_P(CodeCaseTest, StoresFindEveryCodeWhateverItsCaseAndDeleteTheOneMeant)
{
    TOperator operators;
    TRolesMgr posts;
    TDepartmentMgr departments;
    struct Kind {
        const char* what;
        std::function<bool(const std::string&)> exists;
        std::function<bool(const std::string&)> remove;
        const char* table;
        const char* column;
        std::string mixed;     // a case nobody stored, of a code stored twice
        std::string onlySmall; // stored in small letters only, asked in capitals
        std::string exactOne;  // stored twice; deleted as written
        std::string before, afterExact, afterOther;
    };
    const Kind kinds[] = {
        {"operators", [&](const std::string& c) { return operators.OperatorExists(c); },
         [&](const std::string& c) { return operators.DeleteOperator(c); }, "QX_CZY", "CZY_DM", "Lina",
         "WANG", "lina", "LINA,lina,wang", "LINA,wang", "LINA"},
        {"posts", [&](const std::string& c) { return posts.PostCodeExists(c); },
         [&](const std::string& c) { return posts.DeletePost(c); }, "QX_ROLES", "JS_DM", "Gw00001", "GW00002",
         "GW00001", "0,AUDITOR,BUSINESS,GW00001,SYSTEM,gw00001,gw00002",
         "0,AUDITOR,BUSINESS,SYSTEM,gw00001,gw00002", "0,AUDITOR,BUSINESS,SYSTEM,gw00001"},
        {"departments", [&](const std::string& c) { return departments.DepartmentCodeExists(c); },
         [&](const std::string& c) { return departments.DeleteDepartment(c); }, "XT_BMXX", "BM_DM", "aBc",
         "D01", "abc", "ABC,abc,d01", "ABC,d01", "ABC"},
    };
    for (const Kind& kind : kinds) {
        SCOPED_TRACE(kind.what);
        ASSERT_EQ(Codes(kind.table, kind.column), kind.before);
        EXPECT_TRUE(kind.exists(kind.mixed));
        EXPECT_TRUE(kind.exists(kind.onlySmall));
        EXPECT_FALSE(kind.exists(kind.mixed + "X")) << "whole codes, not prefixes";
        EXPECT_TRUE(kind.remove(kind.exactOne));
        EXPECT_EQ(Codes(kind.table, kind.column), kind.afterExact);
        EXPECT_TRUE(kind.remove(kind.onlySmall));
        EXPECT_EQ(Codes(kind.table, kind.column), kind.afterOther);
        EXPECT_FALSE(kind.remove(kind.onlySmall)) << "gone now";
    }
    // The operators' links went with them, by the code as stored.
    EXPECT_EQ(Codes("QX_CZYRROLE", "CZY_DM"), "LINA");
}

// Who signs in, typed through the login window and handed over without it:
// the same operator both ways, with his own password only.
TEST_P(CodeCaseTest, TheLoginWindowAndTheSilentRoadSignInTheSameOperator)
{
    struct Case {
        const char* typed;
        const char* password;
        const char* signedIn; // empty: refused
        const char* post;
    };
    const Case cases[] = {
        {"lina", "ln-lower", "lina", "BUSINESS"},
        {"LINA", "LN-UPPER", "LINA", "AUDITOR"},
        {"lina", "LN-UPPER", "", ""},
        {"LINA", "ln-lower", "", ""},
        // Neither stored so: the first in byte order, on every database.
        {"Lina", "LN-UPPER", "LINA", "AUDITOR"},
        {"Lina", "ln-lower", "", ""},
        {"WANG", "wf-2024", "wang", "gw00002"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.typed) + " / " + c.password);
        // Without the window, through the export's own code.
        CurrentOperator() = OperatorInfo{};
        std::string params = std::string("pamCZY_DM=") + c.typed + ";pamPWD=" + c.password;
        EXPECT_EQ(CallLoadLoginForm(params), *c.signedIn != '\0');
        if (*c.signedIn) {
            EXPECT_EQ(params, std::string("CZY_DM=") + c.signedIn + ";CZY_LB=" + c.post);
        }

        // Through the window.
        CurrentOperator() = OperatorInfo{};
        TPrivilegeMgr manager;
        Tfrm_Login window;
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        auto* code = window.findChild<QLineEdit*>("edtOperatorID");
        auto* password = window.findChild<QLineEdit*>("edtOperatorPwd");
        ASSERT_TRUE(code && password);
        code->clear();
        QTest::keyClicks(code, QString::fromUtf8(c.typed));
        password->clear();
        QTest::keyClicks(password, QString::fromUtf8(c.password));
        QTest::mouseClick(window.findChild<QToolButton*>("sBtnLogin"), Qt::LeftButton);
        EXPECT_EQ(window.result() == QDialog::Accepted, *c.signedIn != '\0');
        EXPECT_EQ(CurrentOperator().Code, c.signedIn);
    }
}

// Adding a code that exists in another case is refused with the dialogs'
// own "already exists" answers. (Post codes are made by the post dialog,
// which skips a code taken in any case.)
TEST_P(CodeCaseTest, AddingACodeThatExistsInAnotherCaseIsRefused)
{
    const std::string operatorsBefore = Codes("QX_CZY", "CZY_DM");
    {
        Tfrm_OperatorAdd dialog;
        dialog.SetEditMode(false);
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        for (const auto& [box, text] : std::vector<std::pair<const char*, const char*>>{
                 {"edtOpId", "Wang"}, {"edtOpName", "另一个王芳"}}) {
            auto* edit = dialog.findChild<QLineEdit*>(box);
            ASSERT_NE(edit, nullptr) << box;
            edit->clear();
            TypeText(edit, QString::fromUtf8(text));
        }
        QTest::mouseClick(dialog.findChild<QPushButton*>("sBtnSave"), Qt::LeftButton);
        ASSERT_EQ(fennix::ShownMessages().size(), 1u);
        EXPECT_EQ(fennix::ShownMessages()[0].number, 104022);
        EXPECT_TRUE(dialog.isVisible());
    }
    EXPECT_EQ(Codes("QX_CZY", "CZY_DM"), operatorsBefore);

    fennix::ClearShownMessages();
    {
        TfrmDepartmentMgr dialog;
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        auto* code = dialog.findChild<QComboBox*>("cbxDeprtCode");
        auto* name = dialog.findChild<QLineEdit*>("edtDeprtName");
        ASSERT_TRUE(code && name);
        code->lineEdit()->clear();
        TypeText(code, QStringLiteral("D01"));
        EXPECT_EQ(name->text(), QStringLiteral("财务部")) << "found in another case, as the store finds it";
        EXPECT_FALSE(dialog.findChild<QPushButton*>("btnAdd")->isEnabled());
        // Added by another workstation after the list was read: the dialog
        // offers to add it, the store refuses.
        ASSERT_TRUE(AddDepartment(Db(), 0, "x01", "别处新增"));
        code->lineEdit()->clear();
        TypeText(code, QStringLiteral("X01"));
        TypeText(name, QStringLiteral("新部门"));
        QTest::mouseClick(dialog.findChild<QPushButton*>("btnAdd"), Qt::LeftButton);
        EXPECT_EQ(LastShownText(), "新增部门失败：该部门编码已存在。");
    }
    EXPECT_EQ(Codes("XT_BMXX", "BM_DM"), "ABC,abc,d01,x01");
}

// Modify and delete in the department dialog act on the code typed: exactly
// that one when it is stored so, the one it names otherwise.
TEST_P(CodeCaseTest, TheDepartmentDialogChangesTheDepartmentWhoseCodeWasTyped)
{
    TfrmDepartmentMgr dialog;
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    auto* code = dialog.findChild<QComboBox*>("cbxDeprtCode");
    auto* name = dialog.findChild<QLineEdit*>("edtDeprtName");
    ASSERT_TRUE(code && name);
    auto type = [&](const char* codeText, const char* nameText = nullptr) {
        code->lineEdit()->clear();
        TypeText(code, QString::fromUtf8(codeText));
        if (nameText) {
            name->clear();
            TypeText(name, QString::fromUtf8(nameText));
        }
    };
    auto click = [&](const char* button) {
        QTest::mouseClick(dialog.findChild<QPushButton*>(button), Qt::LeftButton);
    };
    auto nameOf = [&](const char* stored) {
        return Db().Scalar(std::string("SELECT BM_MC FROM XT_BMXX WHERE BM_DM='") + stored + "'");
    };

    type("ABC");
    EXPECT_EQ(name->text(), QStringLiteral("大写部"));
    type("abc");
    EXPECT_EQ(name->text(), QStringLiteral("小写部"));

    type("ABC", "大写部改");
    click("btnEdit");
    EXPECT_EQ(LastShownText(), "修改部门成功。");
    EXPECT_EQ(nameOf("ABC"), "大写部改");
    EXPECT_EQ(nameOf("abc"), "小写部");

    // Stored in small letters only: the change reaches it instead of
    // answering success over no row.
    type("D01", "财务处");
    click("btnEdit");
    EXPECT_EQ(LastShownText(), "修改部门成功。");
    EXPECT_EQ(nameOf("d01"), "财务处");

    type("abc");
    click("btnDel");
    EXPECT_EQ(LastShownText(), "删除部门[abc]成功。");
    EXPECT_EQ(Codes("XT_BMXX", "BM_DM"), "ABC,d01");

    // The operators' department is in use under its stored code, whatever
    // case it is typed in.
    type("D01");
    click("btnDel");
    EXPECT_EQ(LastShownText(), "删除部门[d01]失败：该部门已分配给用户。");
    EXPECT_EQ(Codes("XT_BMXX", "BM_DM"), "ABC,d01");
}

INSTANTIATE_TEST_SUITE_P(Backends, CodeCaseTest, ::testing::ValuesIn(AvailableBackends()), BackendName);

} // namespace
} // namespace priv::test
