// The operator edit dialog on the offscreen platform against a real SQLite
// database: adding an operator who can then sign in, the save checks in their
// order, editing (oneself included), change detection and store failures.
#include "operator_fixture.h"
#include "ui/accessibility_walk.h"
#include "window_test_support.h"

#include "admin/operator_add_dialog.h"
#include "cipher/crypt.h"
#include "models/word_book.h"
#include "ui/balloon_tool_tip.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace priv::test {
namespace {

class OperatorDialogTest : public OperatorTest {
protected:
    // Shown without a modal loop: the checks and the modal result are the
    // same, and the test drives it directly.
    std::unique_ptr<Tfrm_OperatorAdd> Open(bool editMode, const std::string& code = {})
    {
        auto dialog = std::make_unique<Tfrm_OperatorAdd>();
        dialog->SetEditMode(editMode);
        dialog->SetOperatorCode(code);
        dialog->show();
        // One that cannot load its operator closes before it is ever exposed.
        (void)QTest::qWaitForWindowExposed(dialog.get(), 1000);
        return dialog;
    }

    static QLineEdit* Edit(QWidget* dialog, const char* name) { return FindControl<QLineEdit>(dialog, name); }
    static QComboBox* Combo(QWidget* dialog, const char* name)
    {
        return FindControl<QComboBox>(dialog, name);
    }
    static void Type(QWidget* dialog, const char* name, const QString& text)
    {
        QLineEdit* box = Edit(dialog, name);
        box->clear();
        TypeText(box, text);
    }
    static void Pick(QWidget* dialog, const char* name, const QString& text)
    {
        QComboBox* box = Combo(dialog, name);
        const int index = box->findText(text);
        ASSERT_GE(index, 0) << text.toStdString();
        box->setCurrentIndex(index);
    }
    static void Save(QWidget* dialog)
    {
        QTest::mouseClick(FindControl<QPushButton>(dialog, "sBtnSave"), Qt::LeftButton);
    }

    // A new operator as a person types him in.
    static void FillNew(QWidget* dialog)
    {
        Type(dialog, "edtOpId", "wangli");
        Type(dialog, "edtOpName", "王丽");
        Type(dialog, "edtPassword", "Pa$$ 1");
        Type(dialog, "edtConfirmPassword", "Pa$$ 1");
    }

    std::string Row(const std::string& code)
    {
        return Db().Scalar(
                   "SELECT CZY_MC || '|' || PWD || '|' || YXBZ || '|' || COALESCE(BM_DM, '') || '|' || "
                   "DHHM || '|' || EMAIL || '|' || ZZ FROM QX_CZY WHERE CZY_DM=" +
                   SqlText(code)) +
               "|" + PostOf(code);
    }
};

TEST_F(OperatorDialogTest, AnOperatorAddedHereSignsInWithThePasswordTypedHere)
{
    SignInAs("admin", "0");
    auto dialog = Open(false);
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("用户新增"));
    EXPECT_TRUE(Edit(dialog.get(), "edtOpId")->hasFocus());
    EXPECT_EQ(Combo(dialog.get(), "cbOperatorLb")->currentText(), QStringLiteral("业务员"));
    EXPECT_EQ(Combo(dialog.get(), "cbxDeprt")->currentText(), QString::fromUtf8(kWordBookPlaceholder));
    EXPECT_TRUE(FindControl<QCheckBox>(dialog.get(), "ckbYxbz")->isChecked());
    EXPECT_EQ(Edit(dialog.get(), "edtPassword")->echoMode(), QLineEdit::Password);
    EXPECT_EQ(Edit(dialog.get(), "edtOpId")->maxLength(), 20);
    EXPECT_EQ(FindControl<QLabel>(dialog.get(), "lblOpId")->buddy(), Edit(dialog.get(), "edtOpId"));

    // The code box keeps only what a code may hold.
    TypeText(Edit(dialog.get(), "edtOpId"), QStringLiteral("wang-li_中"));
    EXPECT_EQ(Edit(dialog.get(), "edtOpId")->text(), QStringLiteral("wangli"));
    Type(dialog.get(), "edtOpName", "王丽");
    Type(dialog.get(), "edtPassword", "Pa$$ 1");
    Type(dialog.get(), "edtConfirmPassword", "Pa$$ 1");
    for (const char* box : {"edtPassword", "edtConfirmPassword"})
        EXPECT_EQ(Edit(dialog.get(), box)->displayText(), QStringLiteral("******")) << box;
    Pick(dialog.get(), "cbOperatorLb", "审核员");
    Pick(dialog.get(), "cbxDeprt", "财务部");
    Type(dialog.get(), "edtDhhm", "(010)8888-1234");
    Type(dialog.get(), "edtEmail", "wl@corp.cn");
    Type(dialog.get(), "edtZz", "上海市 ");
    SaveScreenshot(dialog.get(), "operator_dialog_add");
    Save(dialog.get());

    EXPECT_EQ(dialog->result(), mrOk);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(ShownNumbers(), (std::vector<int>{104024}));
    EXPECT_EQ(Column("wangli", "CZY_MC"), "王丽");
    EXPECT_EQ(Column("wangli", "BM_DM"), "D01");
    EXPECT_EQ(Column("wangli", "ZZ"), "上海市 ") << "contact data is stored untrimmed";
    EXPECT_EQ(Column("wangli", "YXBZ"), "Y");
    EXPECT_EQ(PostOf("wangli"), "AUDITOR");
    EXPECT_EQ(DecryptPassword(Column("wangli", "PWD")), "Pa$$ 1");
    const std::vector<std::string> log = Db().LogLines();
    ASSERT_FALSE(log.empty());
    EXPECT_NE(log.back().find("新增王丽用户。"), std::string::npos) << log.back();

    LoadedModule module;
    ASSERT_NE(module.Handle(), nullptr) << dlerror();
    auto signIn = module.Boolean("LoadLoginForm");
    ASSERT_NE(signIn, nullptr);
    HostBuffer right("pamCZY_DM=wangli;pamPWD=Pa$$ 1");
    EXPECT_EQ(signIn(1, right.argv), 1);
    EXPECT_EQ(right.Text(), "CZY_DM=wangli;CZY_LB=AUDITOR");
    HostBuffer wrong("pamCZY_DM=wangli;pamPWD=pa$$ 1");
    EXPECT_EQ(signIn(1, wrong.argv), 0);
}

TEST_F(OperatorDialogTest, TabWalksTheControlsAsTheyStandOnTheForm)
{
    auto dialog = Open(false);
    const std::vector<std::string> expected = {
        "edtOpName", "edtPassword", "edtConfirmPassword", "cbOperatorLb", "cbxDeprt", "edtDhhm", "edtEmail",
        "edtZz",     "ckbYxbz",     "sBtnSave",           "sBtnClose",    "edtOpId"};
    std::vector<std::string> visited;
    for (std::size_t step = 0; step < expected.size(); ++step) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited.push_back(QApplication::focusWidget()->objectName().toStdString());
    }
    EXPECT_EQ(visited, expected);
}

TEST_F(OperatorDialogTest, TheCodeBoxKeepsWhatACodeMayHoldButLetsPastedTextThrough)
{
    auto dialog = Open(false);
    QLineEdit* code = Edit(dialog.get(), "edtOpId");
    TypeText(code, QStringLiteral("Ab-c_d 9#$.%中"));
    EXPECT_EQ(code->text(), QStringLiteral("Abcd 9#$."));
    QTest::keyClick(code, Qt::Key_Backspace);
    EXPECT_EQ(code->text(), QStringLiteral("Abcd 9#$"));
    QApplication::clipboard()->setText(QStringLiteral("x_y"));
    QTest::keyClick(code, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(code->text(), QStringLiteral("Abcd 9#$x_y")) << "pasted text is not filtered";
}

TEST_F(OperatorDialogTest, SaveRefusesInTheOrderOfItsChecksAndWritesNothing)
{
    struct Case {
        const char* what;
        std::function<void(QWidget*)> spoil;
        int number;        // catalogue message; 0 for a plain text
        const char* text;  // the plain text, when number is 0
        const char* focus; // the control that gets the focus
        std::vector<const char*> emptied;
    };
    // Refused with the same words as privhost's passwd and init.
    std::string unstorable;
    ASSERT_FALSE(PasswordStorable("pw\U0001F600", &unstorable));
    ASSERT_NE(unstorable.find("代码页"), std::string::npos) << unstorable;
    const Case cases[] = {
        {"no code", [](QWidget* d) { Type(d, "edtOpId", "   "); }, 104017, nullptr, "edtOpId", {}},
        {"no name, wrong phone too",
         [](QWidget* d) {
             Type(d, "edtOpName", "  ");
             Type(d, "edtDhhm", "12a");
         },
         104018,
         nullptr,
         "edtOpName",
         {}},
        {"passwords differ",
         [](QWidget* d) { Type(d, "edtConfirmPassword", "Pa$$ 2"); },
         104019,
         nullptr,
         "edtPassword",
         {"edtPassword", "edtConfirmPassword"}},
        {"passwords differ in case only",
         [](QWidget* d) { Type(d, "edtConfirmPassword", "pa$$ 1"); },
         104019,
         nullptr,
         "edtPassword",
         {"edtPassword", "edtConfirmPassword"}},
        {"password the code page cannot hold",
         [](QWidget* d) {
             Type(d, "edtPassword", QStringLiteral("pw\U0001F600"));
             Type(d, "edtConfirmPassword", QStringLiteral("pw\U0001F600"));
         },
         0,
         unstorable.c_str(),
         "edtPassword",
         {"edtPassword", "edtConfirmPassword"}},
        {"placeholder post",
         [](QWidget* d) { Combo(d, "cbOperatorLb")->setCurrentIndex(0); },
         0,
         "请先选择所属岗位。",
         "edtPassword",
         {"edtPassword", "edtConfirmPassword"}},
        {"phone with a letter",
         [](QWidget* d) { Type(d, "edtDhhm", "010-12a4"); },
         104020,
         nullptr,
         "edtDhhm",
         {"edtDhhm"}},
        {"e-mail without a dot after the at",
         [](QWidget* d) { Type(d, "edtEmail", "wl@corp"); },
         104021,
         nullptr,
         "edtEmail",
         {"edtEmail"}},
        {"e-mail starting with the at",
         [](QWidget* d) { Type(d, "edtEmail", "@corp.cn"); },
         104021,
         nullptr,
         "edtEmail",
         {"edtEmail"}},
        {"code in use",
         [](QWidget* d) { Type(d, "edtOpId", "clerk"); },
         104022,
         nullptr,
         "edtOpId",
         {"edtOpId"}},
    };
    const std::string operators = Db().Scalar("SELECT COUNT(*) FROM QX_CZY");
    const std::string links = Db().Scalar("SELECT COUNT(*) FROM QX_CZYRROLE");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fennix::ClearShownMessages();
        auto dialog = Open(false);
        FillNew(dialog.get());
        c.spoil(dialog.get());
        Save(dialog.get());
        ASSERT_EQ(fennix::ShownMessages().size(), 1u);
        EXPECT_EQ(fennix::ShownMessages()[0].number, c.number);
        if (c.text) {
            EXPECT_EQ(fennix::ShownMessages()[0].text, c.text);
        }
        EXPECT_TRUE(dialog->isVisible()) << "the dialog stays open";
        EXPECT_TRUE(FindControl<QWidget>(dialog.get(), c.focus)->hasFocus());
        for (const char* name : c.emptied)
            EXPECT_TRUE(Edit(dialog.get(), name)->text().isEmpty()) << name;
    }
    EXPECT_EQ(Db().Scalar("SELECT COUNT(*) FROM QX_CZY"), operators);
    EXPECT_EQ(Db().Scalar("SELECT COUNT(*) FROM QX_CZYRROLE"), links);
}

TEST_F(OperatorDialogTest, TheAddressBoxHoldsWhatTheRecordKeepsHoweverTextArrivesAndSaysWhenFull)
{
    // The box takes 200 characters and no more than the record keeps, 255
    // code-page bytes, whatever the characters and however they come, or the
    // address would come back cut the next time it is edited.
    const QString road(QChar(0x8DEF)); // 路, two GBK bytes
    SignInAs("admin", "0");
    auto dialog = Open(true, "clerk");
    QLineEdit* address = Edit(dialog.get(), "edtZz");
    auto balloonShown = [&] {
        TToolTip* balloon = dialog->AddressBalloon();
        return balloon && balloon->Shown() && balloon->Target() == address &&
               balloon->Text() == Tfrm_OperatorAdd::AddressFullText() &&
               balloon->Title() == Tfrm_OperatorAdd::AddressFullTitle();
    };
    address->clear();
    TypeText(address, road.repeated(126));
    EXPECT_FALSE(balloonShown()) << "not full yet";
    TypeText(address, road.repeated(4));
    EXPECT_EQ(address->text(), road.repeated(127));
    EXPECT_TRUE(balloonShown());
    SaveScreenshotWithOverlay(dialog.get(), dialog->AddressBalloon()->Handle(),
                              "operator_dialog_address_full");

    // Typed in the middle of a full box: what follows the cursor stays.
    address->setText(QStringLiteral("AB") + road.repeated(126));
    address->setCursorPosition(1);
    QTest::keyClicks(address, QStringLiteral("xy"));
    EXPECT_EQ(address->text(), QStringLiteral("AxB") + road.repeated(126));
    EXPECT_EQ(address->cursorPosition(), 2);

    // Letters up to 200 characters, typed or pasted; a paste keeps what fits.
    address->clear();
    QTest::keyClicks(address, QString(300, QLatin1Char('a')));
    EXPECT_EQ(address->text(), QString(200, QLatin1Char('a')));
    address->setText(QString(120, QLatin1Char('a')));
    address->end(false);
    TypeText(address, road.repeated(80));
    EXPECT_EQ(address->text(), QString(120, QLatin1Char('a')) + road.repeated(67))
        << "bytes before characters";
    address->setText(QStringLiteral("上海"));
    address->end(false);
    QApplication::clipboard()->setText(road.repeated(200));
    QTest::keyClick(address, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(address->text(), QStringLiteral("上海") + road.repeated(125));

    // Set through the accessibility interface, as a screen reader or an
    // automation tool does.
    address->clear();
    QAccessibleInterface* reader = QAccessible::queryAccessibleInterface(address);
    ASSERT_NE(reader, nullptr);
    ASSERT_NE(reader->editableTextInterface(), nullptr);
    reader->editableTextInterface()->insertText(0, QString(300, QLatin1Char('b')));
    EXPECT_EQ(address->text(), QString(200, QLatin1Char('b')));
    reader->setText(QAccessible::Value, road.repeated(150));
    EXPECT_EQ(address->text(), road.repeated(127));
    EXPECT_TRUE(balloonShown());

    Save(dialog.get());
    EXPECT_EQ(Column("clerk", "ZZ"), road.repeated(127).toStdString());
    auto again = Open(true, "clerk");
    EXPECT_EQ(Edit(again.get(), "edtZz")->text(), road.repeated(127)) << "read back whole";
}

TEST_F(OperatorDialogTest, AnAddressLongerThanTheRecordSurvivesAnUnrelatedEdit)
{
    // 300 code-page bytes, written by another workstation: the record and
    // the box hold the first 255 of them.
    const std::string stored =
        std::string(21, 'x') + QString(QChar(0x8DEF)).repeated(139).toStdString() + "y";
    ASSERT_EQ(Utf8ToHost(stored).size(), 300u);
    ASSERT_TRUE(Db().Exec("UPDATE QX_CZY SET ZZ='" + stored + "' WHERE CZY_DM='clerk'"));
    SignInAs("admin", "0");

    auto unchanged = Open(true, "clerk");
    EXPECT_EQ(Utf8ToHost(Edit(unchanged.get(), "edtZz")->text().toStdString()).size(), 255u);
    fennix::ClearExecutedStatements();
    Save(unchanged.get());
    EXPECT_EQ(unchanged->result(), mrOk);
    EXPECT_FALSE(AnyStatementStarts("UPDATE")) << "nothing changed";

    auto phone = Open(true, "clerk");
    Type(phone.get(), "edtDhhm", "021-5555");
    Save(phone.get());
    EXPECT_EQ(phone->result(), mrOk);
    EXPECT_EQ(Column("clerk", "ZZ"), stored) << "byte for byte";
    EXPECT_EQ(Column("clerk", "DHHM"), "021-5555");

    // Edited, the address is what the box shows.
    auto edited = Open(true, "clerk");
    QLineEdit* address = Edit(edited.get(), "edtZz");
    address->end(false);
    QTest::keyClick(address, Qt::Key_Backspace);
    const std::string shown = address->text().toStdString();
    Save(edited.get());
    EXPECT_EQ(Column("clerk", "ZZ"), shown);
}

TEST_F(OperatorDialogTest, AnEmptyPasswordAndTheDepartmentPlaceholderAreStoredAsTheyAlwaysWere)
{
    auto dialog = Open(false);
    Type(dialog.get(), "edtOpId", "nopw");
    Type(dialog.get(), "edtOpName", "无密码");
    Save(dialog.get());
    EXPECT_EQ(dialog->result(), mrOk);
    EXPECT_FALSE(Column("nopw", "PWD").empty()) << "stored enciphered";
    EXPECT_EQ(DecryptPassword(Column("nopw", "PWD")), "");
    EXPECT_EQ(Column("nopw", "BM_DM"), kWordBookPlaceholder);
    EXPECT_EQ(PostOf("nopw"), "BUSINESS");
}

TEST_F(OperatorDialogTest, AFailedAddKeepsTheDialogOpenAndWritesNothing)
{
    fennix::FailStatementsContaining("INSERT INTO QX_CZYRROLE");
    auto dialog = Open(false);
    FillNew(dialog.get());
    Save(dialog.get());
    ASSERT_EQ(ShownNumbers(), (std::vector<int>{104016}));
    EXPECT_EQ(fennix::ShownMessages()[0].arguments, "70018509");
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(Db().Scalar("SELECT COUNT(*) FROM QX_CZY WHERE CZY_DM='wangli'"), "0");
}

TEST_F(OperatorDialogTest, EditLoadsTheOperatorWithHisPasswordInClear)
{
    SignInAs("admin", "0");
    auto dialog = Open(true, "kuaiji");
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("用户修改"));
    EXPECT_FALSE(Edit(dialog.get(), "edtOpId")->isEnabled());
    EXPECT_EQ(Edit(dialog.get(), "edtOpId")->text(), QStringLiteral("kuaiji"));
    EXPECT_TRUE(Edit(dialog.get(), "edtOpName")->hasFocus());
    EXPECT_EQ(Edit(dialog.get(), "edtOpName")->text(), QStringLiteral("王会计"));
    EXPECT_EQ(Edit(dialog.get(), "edtPassword")->text(), QStringLiteral("Kj#1"));
    EXPECT_EQ(Edit(dialog.get(), "edtConfirmPassword")->text(), QStringLiteral("Kj#1"));
    EXPECT_EQ(Combo(dialog.get(), "cbOperatorLb")->currentText(), QStringLiteral("税务会计"));
    EXPECT_TRUE(Combo(dialog.get(), "cbOperatorLb")->isEnabled());
    EXPECT_EQ(Combo(dialog.get(), "cbxDeprt")->currentText(), QStringLiteral("财务部"));
    EXPECT_EQ(Edit(dialog.get(), "edtDhhm")->text(), QStringLiteral("010-1234"));
    EXPECT_EQ(Edit(dialog.get(), "edtEmail")->text(), QStringLiteral("a@b.cn"));
    EXPECT_EQ(Edit(dialog.get(), "edtZz")->text(), QStringLiteral("北京市"));
    EXPECT_TRUE(FindControl<QCheckBox>(dialog.get(), "ckbYxbz")->isChecked());
    EXPECT_FALSE(dialog->SelfEdit());
    SaveScreenshot(dialog.get(), "operator_dialog_edit");

    // The super administrator's post box holds only his own post.
    auto super = Open(true, "root");
    QComboBox* post = Combo(super.get(), "cbOperatorLb");
    EXPECT_EQ(post->count(), 1);
    EXPECT_EQ(post->currentText(), QStringLiteral("超级管理员"));
    EXPECT_FALSE(post->isEnabled());
}

TEST_F(OperatorDialogTest, OkWithoutAChangeWritesNothing)
{
    ASSERT_TRUE(Db().Exec(std::string("UPDATE QX_CZY SET BM_DM='") + kWordBookPlaceholder +
                          "' WHERE CZY_DM='Brien'"));
    ASSERT_TRUE(Db().Exec("UPDATE QX_CZY SET BM_DM=NULL WHERE CZY_DM='sys2'"));
    SignInAs("admin", "0");
    // A department, none as empty text, none as the placeholder, none as
    // null, the super administrator edited by another one, and oneself.
    for (const char* code : {"clerk", "audit", "Brien", "sys2", "root", "admin"}) {
        SCOPED_TRACE(code);
        const std::string before = Row(code);
        fennix::ClearShownMessages();
        fennix::ClearExecutedStatements();
        auto dialog = Open(true, code);
        Save(dialog.get());
        EXPECT_EQ(dialog->result(), mrOk);
        EXPECT_FALSE(dialog->isVisible());
        EXPECT_TRUE(fennix::ShownMessages().empty());
        EXPECT_FALSE(AnyStatementStarts("UPDATE"));
        EXPECT_EQ(Row(code), before) << "the enciphered password would change with any write";
    }
}

TEST_F(OperatorDialogTest, SameNamedDepartmentsAndPostsKeepTheOneTheOperatorHas)
{
    // A second "财务部" and a second "税务会计"; two departments and two posts
    // without a name, all shown as "——".
    ASSERT_TRUE(Db().ExecAll({
        "INSERT INTO XT_BMXX (QYID, BM_DM, BM_MC) VALUES (1, 'D03', '财务部')",
        "INSERT INTO XT_BMXX (QYID, BM_DM, BM_MC) VALUES (1, 'E1', '')",
        "INSERT INTO XT_BMXX (QYID, BM_DM, BM_MC) VALUES (1, 'E2', '')",
        "INSERT INTO QX_ROLES (JS_DM, JS_MC) VALUES ('GW00002', '税务会计')",
        "INSERT INTO QX_ROLES (JS_DM, JS_MC) VALUES ('GW00003', '')",
        "INSERT INTO QX_ROLES (JS_DM, JS_MC) VALUES ('GW00004', ' ')",
    }));
    AddOperator({"second", "第二会计", "Sec#1", "1", std::string("GW00002"), "D03"});
    AddOperator({"blank", "无名", "Bl#1", "1", std::string("GW00004"), "E2"});
    SignInAs("admin", "0");
    struct Case {
        const char* code;
        const char* post;       // shown
        const char* department; // shown
    };
    for (const Case& c : {Case{"second", "税务会计", "财务部"}, Case{"blank", "——", "——"}}) {
        SCOPED_TRACE(c.code);
        const std::string department = Column(c.code, "BM_DM");
        const std::string post = PostOf(c.code);
        const std::string before = Row(c.code);

        auto untouched = Open(true, c.code);
        EXPECT_EQ(Combo(untouched.get(), "cbOperatorLb")->currentText(), QString::fromUtf8(c.post));
        EXPECT_EQ(Combo(untouched.get(), "cbxDeprt")->currentText(), QString::fromUtf8(c.department));
        fennix::ClearExecutedStatements();
        Save(untouched.get());
        EXPECT_EQ(untouched->result(), mrOk);
        EXPECT_FALSE(AnyStatementStarts("UPDATE"));
        EXPECT_EQ(Row(c.code), before);

        auto phone = Open(true, c.code);
        Type(phone.get(), "edtDhhm", "021-5555");
        Save(phone.get());
        EXPECT_EQ(phone->result(), mrOk);
        EXPECT_EQ(Column(c.code, "DHHM"), "021-5555");
        EXPECT_EQ(Column(c.code, "BM_DM"), department);
        EXPECT_EQ(PostOf(c.code), post);
    }

    // Picking the second of two entries of one name stores the second's code.
    auto dialog = Open(true, "kuaiji");
    for (const char* box : {"cbOperatorLb", "cbxDeprt"}) {
        QComboBox* combo = Combo(dialog.get(), box);
        const QString shown = combo->currentText();
        int last = -1;
        for (int i = 0; i < combo->count(); ++i)
            if (combo->itemText(i) == shown)
                last = i;
        ASSERT_GT(last, combo->currentIndex()) << box;
        ASSERT_TRUE(PickFromList(combo, last)) << box;
    }
    Save(dialog.get());
    EXPECT_EQ(Column("kuaiji", "BM_DM"), "D03");
    EXPECT_EQ(PostOf("kuaiji"), "GW00002");
}

TEST_F(OperatorDialogTest, ChangesAreWrittenAndTheSuperAdministratorKeepsHisPost)
{
    SignInAs("admin", "0");
    struct Case {
        const char* code;
        std::function<void(QWidget*)> change;
        const char* column;
        std::string expected;
    };
    const Case cases[] = {
        {"clerk", [](QWidget* d) { Type(d, "edtOpName", "Zhang"); }, "CZY_MC", "Zhang"},
        {"clerk", [](QWidget* d) { Type(d, "edtOpName", "zhang"); }, "CZY_MC", "zhang"},
        {"clerk", [](QWidget* d) { Pick(d, "cbxDeprt", "办公室"); }, "BM_DM", "D02"},
        {"clerk", [](QWidget* d) { FindControl<QCheckBox>(d, "ckbYxbz")->setChecked(false); }, "YXBZ", "N"},
        {"clerk", [](QWidget* d) { Type(d, "edtEmail", "zs@corp.cn"); }, "EMAIL", "zs@corp.cn"},
        {"root", [](QWidget* d) { Type(d, "edtZz", "天津市"); }, "ZZ", "天津市"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.code) + " " + c.column + " " + c.expected);
        fennix::ClearShownMessages();
        fennix::ClearExecutedStatements();
        auto dialog = Open(true, c.code);
        c.change(dialog.get());
        Save(dialog.get());
        EXPECT_EQ(dialog->result(), mrOk);
        EXPECT_EQ(ShownNumbers(), (std::vector<int>{104026}));
        EXPECT_EQ(Column(c.code, c.column), c.expected);
    }
    EXPECT_EQ(PostOf("root"), "0");
    EXPECT_EQ(Column("root", "CZY_LB"), "0");

    // A new post through the box; the password changed in both boxes.
    auto dialog = Open(true, "clerk");
    Pick(dialog.get(), "cbOperatorLb", "税务会计");
    Type(dialog.get(), "edtPassword", "Neu#2");
    Type(dialog.get(), "edtConfirmPassword", "Neu#2");
    Save(dialog.get());
    EXPECT_EQ(PostOf("clerk"), "GW00001");
    EXPECT_EQ(DecryptPassword(Column("clerk", "PWD")), "Neu#2");
}

TEST_F(OperatorDialogTest, EditingOneselfKeepsCodePostAndEnabledFlag)
{
    SignInAs("clerk", "BUSINESS");
    SetTextValue(Host().GetUserInfoVO(), "CZY_MC", "张三");
    auto dialog = Open(true, "clerk");
    EXPECT_TRUE(dialog->SelfEdit());
    EXPECT_FALSE(Edit(dialog.get(), "edtOpId")->isEnabled());
    EXPECT_FALSE(Combo(dialog.get(), "cbOperatorLb")->isEnabled());
    EXPECT_FALSE(FindControl<QCheckBox>(dialog.get(), "ckbYxbz")->isEnabled());
    // Even with the disabled controls moved by a program, nothing of the
    // three changes.
    Edit(dialog.get(), "edtOpId")->setText(QStringLiteral("other"));
    Combo(dialog.get(), "cbOperatorLb")->setCurrentIndex(1);
    FindControl<QCheckBox>(dialog.get(), "ckbYxbz")->setChecked(false);
    Type(dialog.get(), "edtOpName", "张三丰");
    Save(dialog.get());
    EXPECT_EQ(dialog->result(), mrOk);
    EXPECT_EQ(ShownNumbers(), (std::vector<int>{104026}));
    EXPECT_EQ(Column("clerk", "CZY_MC"), "张三丰");
    EXPECT_EQ(Column("clerk", "YXBZ"), "Y");
    EXPECT_EQ(PostOf("clerk"), "BUSINESS");
    EXPECT_EQ(Db().Scalar("SELECT COUNT(*) FROM QX_CZY WHERE CZY_DM='other'"), "0");
    EXPECT_EQ(GetTextValue(Host().GetUserInfoVO(), "CZY_MC"), "张三丰") << "the host's record is reloaded";

    // The signed-in super administrator: his post box shows only his post.
    SignInAs("admin", "0");
    auto super = Open(true, "admin");
    EXPECT_TRUE(super->SelfEdit());
    Type(super.get(), "edtDhhm", "110");
    Save(super.get());
    EXPECT_EQ(super->result(), mrOk);
    EXPECT_EQ(PostOf("admin"), "0");
    EXPECT_EQ(Column("admin", "DHHM"), "110");
}

TEST_F(OperatorDialogTest, AnOperatorWhosePostIsGoneMustBeGivenOne)
{
    ASSERT_TRUE(Db().Exec("DELETE FROM QX_ROLES WHERE JS_DM='GW00001'"));
    SignInAs("admin", "0");
    auto dialog = Open(true, "kuaiji");
    EXPECT_EQ(Combo(dialog.get(), "cbOperatorLb")->currentIndex(), -1);
    Save(dialog.get());
    EXPECT_EQ(ShownTexts(), (std::vector<std::string>{"请先选择所属岗位。"}));
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(PostOf("kuaiji"), "GW00001") << "the post link is not overwritten with nothing";
}

TEST_F(OperatorDialogTest, StoreFailuresWhenEditing)
{
    SignInAs("admin", "0");
    // The operator vanished: the dialog says so and closes as cancelled.
    auto missing = Open(true, "ghost");
    EXPECT_EQ(ShownNumbers(), (std::vector<int>{104016}));
    EXPECT_EQ(fennix::ShownMessages()[0].arguments, "70018509");
    QTest::qWait(50);
    EXPECT_FALSE(missing->isVisible());
    EXPECT_EQ(missing->result(), mrCancel);

    fennix::ClearShownMessages();
    const std::string before = Column("clerk", "CZY_MC");
    fennix::FailStatementsContaining("UPDATE QX_CZYRROLE");
    auto dialog = Open(true, "clerk");
    Type(dialog.get(), "edtOpName", "李四");
    Save(dialog.get());
    EXPECT_EQ(ShownTexts(),
              (std::vector<std::string>{"系统错误：[70018502]\r\n修改用户信息操作失败：数据库操作出错。"}));
    EXPECT_EQ(fennix::ShownMessages()[0].kind, fennix::MessageKind::Error);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(Column("clerk", "CZY_MC"), before) << "rolled back";
    const std::vector<std::string> log = Db().LogLines();
    ASSERT_FALSE(log.empty());
    EXPECT_NE(log.back().find("[70018502]修改用户信息操作失败：数据库操作出错。"), std::string::npos);

    // Cancel closes without a word.
    fennix::ClearShownMessages();
    QTest::mouseClick(FindControl<QPushButton>(dialog.get(), "sBtnClose"), Qt::LeftButton);
    EXPECT_EQ(dialog->result(), mrCancel);
    EXPECT_TRUE(fennix::ShownMessages().empty());
}

TEST_F(OperatorDialogTest, TheRequiredMarksStandClearOfTheirBoxes)
{
    auto dialog = Open(false);
    const struct {
        const char* mark;
        const char* box;
    } marks[] = {
        {"lblOpIdStar", "edtOpId"}, {"lblOpNameStar", "edtOpName"}, {"lblOperatorLbStar", "cbOperatorLb"}};
    for (const auto& m : marks) {
        auto* mark = FindControl<QLabel>(dialog.get(), m.mark);
        auto* box = FindControl<QWidget>(dialog.get(), m.box);
        ASSERT_TRUE(mark && box);
        EXPECT_TRUE(mark->isVisible()) << m.mark;
        // The mark gets the room its "*" needs, beside the box, inside the dialog.
        EXPECT_GE(mark->width(), mark->sizeHint().width()) << m.mark;
        EXPECT_FALSE(mark->geometry().intersects(box->geometry())) << m.mark;
        // At least the layout's spacing between them: a squeezed layout
        // takes the spacing first.
        EXPECT_GE(mark->geometry().left() - box->geometry().right() - 1, 4) << m.mark;
        EXPECT_TRUE(mark->parentWidget()->rect().contains(mark->geometry())) << m.mark;
    }
}

TEST_F(OperatorDialogTest, AReaderNamesEveryBoxByItsLabelAndCannotReadThePasswords)
{
    auto dialog = Open(false);
    FillNew(dialog.get());
    const std::vector<std::string> problems = priv::test::AccessibilityProblems(dialog.get());
    EXPECT_TRUE(problems.empty()) << priv::test::Joined(problems);

    // Both drop-down boxes read out their chosen entry, and follow a change.
    auto* post = FindControl<QComboBox>(dialog.get(), "cbOperatorLb");
    auto* department = FindControl<QComboBox>(dialog.get(), "cbxDeprt");
    EXPECT_EQ(priv::test::ChosenEntry(post), "业务员");
    EXPECT_EQ(priv::test::SelectedEntries(post), std::vector<std::string>{"业务员"});
    EXPECT_EQ(priv::test::ChosenEntry(department), "－请选择－");
    post->setCurrentIndex(3);
    EXPECT_EQ(priv::test::ChosenEntry(post), "审核员");
    EXPECT_EQ(priv::test::SelectedEntries(post), std::vector<std::string>{"审核员"});
}

TEST_F(OperatorDialogTest, AFailedReloadAfterEditingOneselfIsShownWithoutALogLine)
{
    SignInAs("clerk", "BUSINESS");
    auto dialog = Open(true, "clerk");
    ASSERT_TRUE(dialog->SelfEdit());
    Type(dialog.get(), "edtOpName", "张三丰");
    // The change is written; reading the operator back for the host fails.
    fennix::FailStatementsContaining("SELECT t1.*");
    const std::size_t logLines = Db().LogLines().size();
    Save(dialog.get());
    EXPECT_EQ(ShownTexts(),
              (std::vector<std::string>{"系统错误：[70018502]\r\n修改用户信息操作失败：数据库操作出错。"}));
    EXPECT_EQ(fennix::ShownMessages()[0].kind, fennix::MessageKind::Error);
    EXPECT_TRUE(dialog->isVisible()) << "not reported as confirmed";
    EXPECT_EQ(Column("clerk", "CZY_MC"), "张三丰");
    EXPECT_EQ(Db().LogLines().size(), logLines) << "no log line for the reload";
}

} // namespace
} // namespace priv::test
