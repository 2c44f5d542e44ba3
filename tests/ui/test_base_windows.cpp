// The base page windows and dialogs against the substitute host: embedding,
// the messages and copy-data texts the host's main window receives, the page
// buttons, the input methods of edit boxes, keys, skin and closing.
#include "window_test_support.h"

#include "ui/accessibility_walk.h"

#include "boundary/codepage.h"
#include "ui/custom_dlg.h"
#include "ui/custom_dlg_ex.h"
#include "ui/custom_form_ex.h"
#include "ui/edit_ime.h"
#include "ui/host_messages.h"
#include "ui/main_frame_channel.h"
#include "ui/shape_line.h"
#include "ui/window_utils.h"

#include <QComboBox>
#include <QFocusEvent>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QWindow>

namespace {

using priv::test::FindControl;
using priv::test::MainFrameRecorder;
using priv::test::RunDeferredDeletes;
using priv::test::SaveScreenshot;

// A page window as the administration windows build theirs: commands in the
// tool bar, edit boxes of different input-method modes in the client area.
class DemoPage : public priv::Tfrm_CustomEx {
public:
    DemoPage()
    {
        setWindowTitle(QStringLiteral("用户管理"));
        AddToolButton(QStringLiteral("tbtQuery"), QStringLiteral("查找..."), priv::ModuleIcon("find"));
        AddToolButton(QStringLiteral("tbtOperAdd"), QStringLiteral("新增"), priv::ModuleIcon("add"));
        AddToolButton(QStringLiteral("tbtOperDel"), QStringLiteral("删除"), priv::ModuleIcon("delete"));
        AddToolButton(QStringLiteral("tbtOperEdit"), QStringLiteral("修改"), priv::ModuleIcon("edit"));
        AddToolSeparator();
        AddToolButton(QStringLiteral("ToolButton1"), QStringLiteral("岗位设置"), priv::ModuleIcon("post"));
        QToolButton* exit =
            AddToolButton(QStringLiteral("tbtExit"), QStringLiteral("关闭(&X)"), priv::ModuleIcon("close"));
        exit->setEnabled(false);
        SetToolButtonVisible(exit, false);

        auto* form = new QFormLayout(ClientArea());
        form->setContentsMargins(24, 20, 24, 20);
        form->setVerticalSpacing(10);
        edtCode = AddEdit(form, "edtCode", "用户代码：", priv::ImeMode::DontCare);
        edtName = AddEdit(form, "edtName", "用户名称：", priv::ImeMode::Open);
        edtAddress = AddEdit(form, "edtAddress", "住址：", priv::ImeMode::Chinese);
        edtOwn = AddEdit(form, "edtOwn", "备注：", priv::ImeMode::Open);
        priv::MarkOwnEnterHandler(edtOwn);
        cbxDept = new QComboBox;
        cbxDept->setObjectName(QStringLiteral("cbxDept"));
        cbxDept->setEditable(true);
        cbxDept->addItems({QStringLiteral("－请选择－"), QStringLiteral("财务部")});
        form->addRow(QStringLiteral("所属部门："), cbxDept);
    }

    void ApplySkinScheme() override
    {
        ++skinCount;
        Tfrm_CustomEx::ApplySkinScheme();
    }

    QLineEdit* AddEdit(QFormLayout* form, const char* name, const char* label, priv::ImeMode mode)
    {
        auto* edit = new QLineEdit;
        edit->setObjectName(QString::fromLatin1(name));
        priv::SetImeMode(edit, mode);
        form->addRow(QString::fromUtf8(label), edit);
        return edit;
    }

    QLineEdit* edtCode = nullptr;
    QLineEdit* edtName = nullptr;
    QLineEdit* edtAddress = nullptr;
    QLineEdit* edtOwn = nullptr;
    QComboBox* cbxDept = nullptr;
    int skinCount = 0;
};

class CountingDialog : public priv::Tfrm_CustomDlgEx {
public:
    void ApplySkinScheme() override
    {
        ++skinCount;
        Tfrm_CustomDlgEx::ApplySkinScheme();
    }
    int skinCount = 0;
};

// Entering a box: the event Qt sends to the control that gets the focus.
void Enter(QWidget* control)
{
    QFocusEvent focusIn(QEvent::FocusIn, Qt::TabFocusReason);
    QCoreApplication::sendEvent(control, &focusIn);
}

constexpr Qt::InputMethodHints kLatin = Qt::ImhLatinOnly | Qt::ImhPreferLatin;

class BaseWindowTest : public priv::test::WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        if (HasFatalFailure())
            return;
        fennix::SetCurrentFunction(kFunction);
    }

    // A page window opened in a host page; the page frees itself on close.
    QPointer<DemoPage> OpenDemoPage(const std::string& params, bool lastFlag = true)
    {
        auto* page = new DemoPage;
        OpenPage(page, params, lastFlag);
        return page;
    }

    static constexpr const char* kFunction = "01003-01-19-00-00";
};

TEST_F(BaseWindowTest, EmbeddedPageFillsHostPageAndAnnouncesNothingWithoutModalFormMsg)
{
    for (const char* params : {"", "Other=1;ModalFormMsg="}) {
        QPointer<DemoPage> page = OpenDemoPage(params);
        QWidget* hostPage = hostPages_.back().get();
        ASSERT_TRUE(page);
        EXPECT_EQ(page->parentWidget(), hostPage);
        EXPECT_FALSE(page->isWindow());
        EXPECT_TRUE(page->isVisible());
        hostPage->layout()->activate();
        EXPECT_EQ(page->geometry(), hostPage->rect());
        EXPECT_TRUE(MainFrame().CopyDataTexts(priv::CD_PAGE_OPENED).empty()) << params;
    }
}

TEST_F(BaseWindowTest, EmbeddedPageAnnouncesItselfWithValueHandleAndLastFlag)
{
    struct Case {
        bool lastFlag;
        const char* ending;
    };
    for (const Case& c : {Case{true, "|0|1"}, Case{false, "|0|0"}}) {
        MainFrame().Clear();
        QPointer<DemoPage> page = OpenDemoPage("ModalFormMsg=用户管理页;X=2", c.lastFlag);
        ASSERT_TRUE(page);
        const std::string handle = std::to_string(reinterpret_cast<std::uintptr_t>(page.data()));
        const std::string expected = "用户管理页|" + handle + c.ending;
        ASSERT_EQ(MainFrame().CopyDataTexts(priv::CD_PAGE_OPENED), std::vector<std::string>{expected});

        // GBK with its terminating zero, from the module's application window.
        const priv::test::ReceivedByMainFrame& got = MainFrame().Received().back();
        const std::string gbk = priv::Utf8ToHost(expected);
        EXPECT_EQ(std::string(got.bytes.begin(), got.bytes.end()), gbk + '\0');
        EXPECT_TRUE(got.zeroTerminated);
        EXPECT_EQ(got.sender, appWindow_.get());
        EXPECT_EQ(got.target, MainFrame().Window());
    }
}

TEST_F(BaseWindowTest, FreeStandingPageStaysOnTopCentredOnMainFormAndAnnouncesNothing)
{
    QPointer<DemoPage> page = new DemoPage;
    priv::ShowModuleForm(nullptr, page, "ModalFormMsg=用户管理页", true);
    ASSERT_TRUE(page);
    EXPECT_TRUE(page->isWindow());
    EXPECT_TRUE(page->isVisible());
    EXPECT_TRUE(page->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    const QPoint offset = page->frameGeometry().center() - MainFrame().Window()->frameGeometry().center();
    EXPECT_LE(offset.manhattanLength(), 2);
    EXPECT_TRUE(MainFrame().CopyDataTexts(priv::CD_PAGE_OPENED).empty());
}

TEST(PageOuterSize, ClientAreaIsTheOuterSizeLessTheFrame)
{
    struct Case {
        QMargins frame;
        QSize client;
    };
    const QSize outer(583, 396);
    for (const Case& c : {
             Case{QMargins(), QSize(583, 396)},
             Case{QMargins(1, 23, 1, 1), QSize(581, 372)},   // title bar and thin border
             Case{QMargins(4, 28, 6, 5), QSize(573, 363)},   // uneven sides
             Case{QMargins(300, 250, 300, 200), QSize(1, 1)} // frame wider than the form
         })
        EXPECT_EQ(priv::ClientSizeForOuterSize(outer, c.frame), c.client)
            << c.frame.left() << "," << c.frame.top();
}

// The offscreen platform frames every window with a thin border, as a window
// manager would.
TEST_F(BaseWindowTest, FreeStandingPageComesOutAtItsOuterSizeCentredOnMainForm)
{
    struct Case {
        QSize outer; // empty: the default
    };
    for (const Case& c : {Case{QSize()}, Case{QSize(583, 396)}}) {
        QPointer<DemoPage> page = new DemoPage;
        if (c.outer.isValid())
            page->SetOuterSize(c.outer);
        const QSize outer = c.outer.isValid() ? c.outer : QSize(542, 373);
        EXPECT_EQ(page->OuterSize(), outer);
        priv::ShowModuleForm(nullptr, page, "", true);
        QCoreApplication::processEvents();
        ASSERT_TRUE(page);
        const QMargins frame = page->windowHandle()->frameMargins();
        ASSERT_FALSE(frame.isNull()) << "the platform puts no frame around the window";
        EXPECT_EQ(page->frameGeometry().size(), outer);
        EXPECT_EQ(page->size(), outer.shrunkBy(frame));
        const QPoint offset = page->frameGeometry().center() - MainFrame().Window()->frameGeometry().center();
        EXPECT_LE(offset.manhattanLength(), 2);
        EXPECT_TRUE(SaveScreenshot(page, QStringLiteral("free_standing_page_%1").arg(outer.width())));

        // The size is kept once; a user's own size stays.
        page->resize(700, 500);
        QCoreApplication::processEvents();
        EXPECT_EQ(page->size(), QSize(700, 500));
        page->close();
        RunDeferredDeletes();
    }
}

TEST_F(BaseWindowTest, PageSizedByItsClientAreaKeepsItFreeStanding)
{
    QPointer<DemoPage> page = new DemoPage;
    page->SetClientSize(QSize(680, 364));
    EXPECT_FALSE(page->OuterSize().isValid());
    priv::ShowModuleForm(nullptr, page, "", true);
    QCoreApplication::processEvents();
    ASSERT_TRUE(page);
    EXPECT_EQ(page->size(), QSize(680, 364));
    const QPoint offset = page->frameGeometry().center() - MainFrame().Window()->frameGeometry().center();
    EXPECT_LE(offset.manhattanLength(), 2);
}

TEST_F(BaseWindowTest, EmbeddedPageIsNotGivenItsOuterSize)
{
    QWidget* hostPage = HostPage(600, 420);
    QPointer<DemoPage> page = new DemoPage;
    page->SetOuterSize(QSize(583, 396));
    priv::ShowModuleForm(hostPage, page, "", true);
    QCoreApplication::processEvents();
    ASSERT_TRUE(page);
    EXPECT_EQ(page->geometry(), hostPage->rect());
    hostPage->resize(640, 450);
    QCoreApplication::processEvents();
    EXPECT_EQ(page->geometry(), QRect(0, 0, 640, 450));
}

TEST_F(BaseWindowTest, PageLooksFinishedWithToolBarAndPageButtons)
{
    QPointer<DemoPage> page = OpenDemoPage("");
    QWidget* hostPage = hostPages_.back().get();
    ASSERT_TRUE(page);
    QToolBar* toolbar = FindControl<QToolBar>(page, "ModuleToolbar");
    QWidget* panel = FindControl<QWidget>(page, "pnlToolResize");
    ASSERT_TRUE(toolbar && panel);
    QTest::qWait(0);

    // The page buttons sit at the right end of the tool bar row.
    EXPECT_EQ(panel->size(), QSize(47, 22));
    EXPECT_EQ(panel->geometry().right() + 1, toolbar->width());
    EXPECT_EQ(panel->y(), toolbar->y() + 2);
    auto* add = FindControl<QToolButton>(page, "tbtOperAdd");
    ASSERT_TRUE(add);
    EXPECT_EQ(add->size(), QSize(85, 30));
    EXPECT_EQ(add->iconSize(), QSize(24, 24));
    // The bar is as high as its buttons; the page's own controls start below.
    EXPECT_EQ(toolbar->height(), 30);
    EXPECT_EQ(add->y(), 0);
    EXPECT_EQ(page->ClientArea()->y(), 30);
    EXPECT_FALSE(FindControl<priv::TShapeLine>(page, "Shape1")->isVisibleTo(page));
    EXPECT_FALSE(FindControl<QToolButton>(page, "tbtExit")->isVisible());
    EXPECT_TRUE(FindControl<QToolButton>(page, "ToolButton1")->isVisible());

    // The host's skin: tool bar colour, and the page buttons take it too.
    const QColor toolbarColor = priv::HostColorToQColor(Host().gclModuleToolBarColor());
    EXPECT_EQ(toolbar->palette().color(QPalette::Window), toolbarColor);
    EXPECT_EQ(panel->palette().color(QPalette::Window), toolbarColor);
    EXPECT_EQ(page->palette().color(QPalette::Window), priv::HostColorToQColor(Host().gclModuleBackColor()));
    EXPECT_TRUE(SaveScreenshot(hostPage, QStringLiteral("page_window")));
}

TEST_F(BaseWindowTest, PageButtonsResizeTheHostPageAndCloseSendsResetFirst)
{
    QPointer<DemoPage> page = OpenDemoPage("");
    ASSERT_TRUE(page);
    auto* max = FindControl<QToolButton>(page, "spToolPageMax");
    auto* restore = FindControl<QToolButton>(page, "spToolPageForm");
    auto* close = FindControl<QToolButton>(page, "spToolPageClose");
    ASSERT_TRUE(max && restore && close);
    EXPECT_EQ(page->ToolPageState(), 1);
    EXPECT_TRUE(max->isVisible());
    EXPECT_FALSE(restore->isVisible());
    EXPECT_EQ(max->toolTip(), QStringLiteral("最大化窗口"));
    EXPECT_EQ(restore->toolTip(), QStringLiteral("恢复窗口"));
    EXPECT_EQ(close->toolTip(), QStringLiteral("关闭窗口"));

    QTest::mouseClick(max, Qt::LeftButton);
    EXPECT_EQ(page->ToolPageState(), 2);
    EXPECT_FALSE(max->isVisible());
    EXPECT_TRUE(restore->isVisible());
    QTest::mouseClick(restore, Qt::LeftButton);
    EXPECT_EQ(page->ToolPageState(), 1);
    EXPECT_TRUE(max->isVisible());
    QTest::mouseClick(max, Qt::LeftButton);
    MainFrame().Clear();

    QTest::mouseClick(close, Qt::LeftButton);
    RunDeferredDeletes();
    EXPECT_FALSE(page);
    EXPECT_EQ(MainFrame().CopyDataLog(),
              (std::vector<std::string>{"531:reset", std::string("516:") + kFunction}));
}

TEST_F(BaseWindowTest, ClosingANormalPageSendsOnlyPageClosed)
{
    QPointer<DemoPage> page = OpenDemoPage("");
    ASSERT_TRUE(page);
    QTest::mouseClick(FindControl<QToolButton>(page, "spToolPageClose"), Qt::LeftButton);
    RunDeferredDeletes();
    EXPECT_FALSE(page);
    EXPECT_EQ(MainFrame().CopyDataLog(), std::vector<std::string>{std::string("516:") + kFunction});
}

TEST_F(BaseWindowTest, SetToolPageStateSwitchesButtonsOnlyForOneAndTwo)
{
    QPointer<DemoPage> page = OpenDemoPage("");
    ASSERT_TRUE(page);
    auto* max = FindControl<QToolButton>(page, "spToolPageMax");
    page->SetToolPageState(2);
    page->SetToolPageState(7);
    EXPECT_EQ(page->ToolPageState(), 7);
    EXPECT_FALSE(max->isVisible());
    EXPECT_TRUE(MainFrame().CopyDataLog().empty());
}

TEST_F(BaseWindowTest, HostCloseMessageClosesAndFreesThePage)
{
    QPointer<DemoPage> page = OpenDemoPage("");
    ASSERT_TRUE(page);
    Host().SendWindowMessage(page.data(), priv::WM_MODULE_CLOSE, 0, 0);
    RunDeferredDeletes();
    EXPECT_FALSE(page);
    EXPECT_EQ(MainFrame().CopyDataTexts(priv::CD_PAGE_CLOSED), std::vector<std::string>{kFunction});
}

TEST_F(BaseWindowTest, PageReportsTheFunctionCurrentWhenItWasCreated)
{
    QPointer<DemoPage> page = OpenDemoPage("");
    ASSERT_TRUE(page);
    fennix::SetCurrentFunction("01003-01-07-00-00");
    EXPECT_EQ(page->FuncCode(), kFunction);
    EXPECT_EQ(page->Context().curFuncCode, kFunction);
    page->close();
    RunDeferredDeletes();
    EXPECT_EQ(MainFrame().CopyDataTexts(priv::CD_PAGE_CLOSED), std::vector<std::string>{kFunction});
}

TEST_F(BaseWindowTest, HostContextIsCapturedAtCreation)
{
    QWidget parentForm;
    fennix::SetCurrentParentForm(&parentForm);
    QPointer<DemoPage> page = OpenDemoPage("");
    ASSERT_TRUE(page);
    const priv::HostContext& context = page->Context();
    EXPECT_EQ(context.appHandle, appWindow_.get());
    EXPECT_EQ(context.mainFrameHandle, MainFrame().Window());
    EXPECT_EQ(context.appPath, Host().GetAppPath());
    EXPECT_EQ(context.userInfo, &Host().GetUserInfoVO());
    EXPECT_EQ(context.companyInfo, &Host().GetCompanyInfoVO());
    EXPECT_EQ(context.curParentForm, &parentForm);
    fennix::SetCurrentParentForm(nullptr);

    // Dialogs take no parent forms.
    priv::Tfrm_CustomDlg dialog;
    EXPECT_EQ(dialog.Context().curParentForm, nullptr);
    EXPECT_EQ(dialog.FuncCode(), kFunction);
}

TEST_F(BaseWindowTest, F1AnywhereInThePageAsksTheHostForHelp)
{
    QPointer<DemoPage> page = OpenDemoPage("");
    ASSERT_TRUE(page);
    QTest::keyClick(page->edtCode, Qt::Key_F1);
    QTest::keyClick(page->edtCode, Qt::Key_F2);
    const auto help = MainFrame().MessagesNumbered(priv::WM_MAINFRAME_HELP);
    ASSERT_EQ(help.size(), 1u);
    EXPECT_EQ(help[0].wParam, 0);
    EXPECT_EQ(help[0].lParam, 0);
    EXPECT_EQ(help[0].target, MainFrame().Window());
}

TEST_F(BaseWindowTest, ActivatedPageKeepsTheHostCaptionActiveOnlyThroughTheMainFrameHandle)
{
    for (auto reach : {MainFrameRecorder::Reach::HandleAndClass, MainFrameRecorder::Reach::ClassOnly}) {
        MainFrame().SetReach(reach);
        MainFrame().Clear();
        QPointer<DemoPage> page = new DemoPage;
        priv::ShowModuleForm(nullptr, page, "", true);
        page->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(page));
        const auto activations = MainFrame().MessagesNumbered(priv::WM_NCACTIVATE);
        if (reach == MainFrameRecorder::Reach::HandleAndClass) {
            ASSERT_FALSE(activations.empty());
            EXPECT_EQ(activations[0].wParam, 1);
            EXPECT_EQ(activations[0].lParam, 0);
            EXPECT_EQ(activations[0].target, MainFrame().Window());
        } else {
            EXPECT_TRUE(activations.empty());
        }
        page->close();
        RunDeferredDeletes();
    }
}

TEST_F(BaseWindowTest, AnEmbeddedPageDoesNotAnswerTheActivationOfTheHostsWindow)
{
    QPointer<DemoPage> page = OpenDemoPage("");
    ASSERT_TRUE(page);
    QWidget* hostPage = hostPages_.back().get();
    MainFrame().Clear();
    hostPage->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(hostPage));
    QTest::qWait(0);
    EXPECT_TRUE(page->isActiveWindow());
    EXPECT_TRUE(MainFrame().MessagesNumbered(priv::WM_NCACTIVATE).empty());
}

TEST_F(BaseWindowTest, MainWindowIsFoundByClassNameWhenTheHostHandsOutNoHandle)
{
    MainFrame().SetReach(MainFrameRecorder::Reach::ClassOnly);
    QPointer<DemoPage> page = OpenDemoPage("ModalFormMsg=ops");
    ASSERT_TRUE(page);
    QTest::mouseClick(FindControl<QToolButton>(page, "spToolPageMax"), Qt::LeftButton);
    ASSERT_EQ(MainFrame().CopyDataTexts(priv::CD_PAGE_SIZE), std::vector<std::string>{"max"});
    EXPECT_EQ(MainFrame().Received().back().target, MainFrame().Window());
    EXPECT_EQ(MainFrame().CopyDataTexts(priv::CD_PAGE_OPENED).size(), 1u);
}

TEST_F(BaseWindowTest, WithoutAMainWindowNothingIsSentAndNothingFails)
{
    MainFrame().SetReach(MainFrameRecorder::Reach::Nowhere);
    QPointer<DemoPage> page = OpenDemoPage("ModalFormMsg=ops");
    ASSERT_TRUE(page);
    EXPECT_EQ(priv::FindMainFrame(), nullptr);
    QTest::mouseClick(FindControl<QToolButton>(page, "spToolPageMax"), Qt::LeftButton);
    QTest::keyClick(page->edtCode, Qt::Key_F1);
    QTest::mouseClick(FindControl<QToolButton>(page, "spToolPageClose"), Qt::LeftButton);
    RunDeferredDeletes();
    EXPECT_FALSE(page);
    EXPECT_TRUE(MainFrame().Received().empty());
}

TEST_F(BaseWindowTest, EditBoxesTakeTheInputMethodOfTheirMode)
{
    QPointer<DemoPage> page = OpenDemoPage("");
    ASSERT_TRUE(page);

    // No "SysIME" in the user's configuration: the placeholder name.
    Enter(page->edtName);
    EXPECT_EQ(page->edtName->property("imeMode").toString(), QStringLiteral("imOpen"));
    EXPECT_EQ(page->edtName->property("imeName").toString(), QStringLiteral("-请选择-"));
    EXPECT_EQ(page->edtName->inputMethodHints() & kLatin, Qt::ImhNone);
    Enter(page->edtAddress);
    EXPECT_EQ(page->edtAddress->property("imeMode").toString(), QStringLiteral("imOpen"));
    EXPECT_EQ(page->edtAddress->property("imeName").toString(), QStringLiteral("-请选择-"));

    // Every other mode closes the input method.
    page->edtCode->setInputMethodHints(Qt::ImhNoAutoUppercase);
    Enter(page->edtCode);
    EXPECT_EQ(page->edtCode->property("imeMode").toString(), QStringLiteral("imClose"));
    EXPECT_EQ(page->edtCode->property("imeName").toString(), QStringLiteral("英语"));
    EXPECT_EQ(page->edtCode->inputMethodHints(), kLatin | Qt::ImhNoAutoUppercase);

    ASSERT_TRUE(Host().WriteIniValueStr("Config/User.ini", "RunParameter", "SysIME", "搜狗拼音输入法"));
    Enter(page->edtName);
    EXPECT_EQ(page->edtName->property("imeName").toString(), QStringLiteral("搜狗拼音输入法"));
}

TEST_F(BaseWindowTest, EditBoxWithItsOwnEnterHandlerKeepsItAndOthersAreLeftAlone)
{
    QPointer<DemoPage> page = OpenDemoPage("");
    ASSERT_TRUE(page);
    Enter(page->edtOwn);
    EXPECT_EQ(page->edtOwn->property("imeMode").toString(), QStringLiteral("imOpen"));
    EXPECT_FALSE(page->edtOwn->property("imeName").isValid());

    // The editor inside a drop-down box is part of that box, not a form edit box.
    QLineEdit* inner = page->cbxDept->lineEdit();
    ASSERT_NE(inner, nullptr);
    Enter(inner);
    EXPECT_FALSE(inner->property("imeName").isValid());
}

TEST_F(BaseWindowTest, SkinMessageReappliesTheSkinAndHooksNewEditBoxes)
{
    QPointer<DemoPage> page = OpenDemoPage("");
    ASSERT_TRUE(page);
    EXPECT_EQ(page->skinCount, 1);
    auto* late = new QLineEdit(page->ClientArea());
    Enter(late);
    EXPECT_FALSE(late->property("imeName").isValid());

    Host().SendWindowMessage(page.data(), priv::WM_MODULE_SKIN, 0, 0);
    EXPECT_EQ(page->skinCount, 2);
    Enter(late);
    EXPECT_EQ(late->property("imeName").toString(), QStringLiteral("英语"));

    // Hooking again gives no box a second handler: still one change per entry.
    page->HookEditIme();
    late->setProperty("imeName", QString());
    Enter(late);
    EXPECT_EQ(late->property("imeName").toString(), QStringLiteral("英语"));
}

TEST_F(BaseWindowTest, DialogShowsItsTitleBandAndClosesWithCancel)
{
    auto opened = std::make_unique<priv::Tfrm_CustomDlg>();
    QPointer<priv::Tfrm_CustomDlg> dialog = opened.get();
    dialog->SetDlgTitle(QStringLiteral("岗位设置"), QStringLiteral("增加，删除，修改用户岗位"));
    auto* form = new QFormLayout(dialog->ClientArea());
    form->setContentsMargins(30, 24, 30, 12);
    form->addRow(QStringLiteral("岗位名称："), new QLineEdit);
    auto* save = new QPushButton(QStringLiteral("确定"));
    save->setObjectName(QStringLiteral("sBtnSave"));
    save->setFixedSize(67, 22);
    dialog->AddDialogButton(save);
    dialog->show();
    QTest::qWait(0);

    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("岗位设置"));
    auto* title = FindControl<QLabel>(dialog, "lbBusinessName");
    auto* band = FindControl<QWidget>(dialog, "pnlTop");
    auto* close = FindControl<QPushButton>(dialog, "sBtnClose");
    ASSERT_TRUE(title && band && close);
    EXPECT_EQ(title->text(), QStringLiteral("增加，删除，修改用户岗位"));
    EXPECT_EQ(dialog->size(), QSize(491, 312));
    EXPECT_EQ(band->height(), 37);
    EXPECT_EQ(band->palette().color(QPalette::Window), priv::HostColorToQColor(Host().gclTopBarColor()));
    EXPECT_EQ(close->size(), QSize(67, 22));
    EXPECT_EQ(close->text(), QStringLiteral("关闭"));
    EXPECT_LT(save->x(), close->x());
    EXPECT_FALSE(FindControl<QLabel>(dialog, "ORVEK")->isVisibleTo(dialog));
    EXPECT_TRUE(SaveScreenshot(dialog, QStringLiteral("dialog")));

    // No key preview: F1 in the edit box is the box's key, F1 with no
    // control focused is the dialog's.
    auto* nameBox = dialog->ClientArea()->findChild<QLineEdit*>();
    nameBox->setFocus();
    QTest::keyClick(nameBox, Qt::Key_F1);
    EXPECT_TRUE(MainFrame().MessagesNumbered(priv::WM_MAINFRAME_HELP).empty());
    nameBox->clearFocus();
    dialog->setFocus();
    QTest::keyClick(dialog, Qt::Key_F1);
    EXPECT_EQ(MainFrame().MessagesNumbered(priv::WM_MAINFRAME_HELP).size(), 1u);
    dialog->hide();

    // Modal: "关闭" answers Cancel, and the opener still holds the dialog.
    QTimer::singleShot(0, close, [close] { QTest::mouseClick(close, Qt::LeftButton); });
    EXPECT_EQ(dialog->exec(), priv::mrCancel);
    RunDeferredDeletes();
    ASSERT_TRUE(dialog);
    opened.reset();
    // Dialogs tell the host nothing when they go.
    EXPECT_TRUE(MainFrame().CopyDataLog().empty());
}

TEST_F(BaseWindowTest, DialogExShowsTheBrandLineInsteadOfTheTitleBand)
{
    CountingDialog dialog;
    dialog.setWindowTitle(QStringLiteral("用户新增"));
    dialog.SetClientSize(501, 245);
    auto* form = new QFormLayout(dialog.ClientArea());
    form->setContentsMargins(30, 20, 30, 8);
    form->setVerticalSpacing(8);
    for (const char* label : {"用户代码：", "姓名：", "联系电话：", "电子邮箱："})
        form->addRow(QString::fromUtf8(label), new QLineEdit);
    auto* save = new QPushButton(QStringLiteral("确定"));
    save->setFixedSize(67, 22);
    dialog.AddDialogButton(save);
    dialog.show();
    QTest::qWait(0);
    EXPECT_EQ(dialog.skinCount, 1);

    auto* band = FindControl<QWidget>(&dialog, "pnlTop");
    auto* brand = FindControl<QLabel>(&dialog, "ORVEK");
    auto* line = FindControl<priv::TShapeLine>(&dialog, "Shape1");
    ASSERT_TRUE(band && brand && line);
    EXPECT_FALSE(band->isVisible());
    EXPECT_FALSE(band->isEnabled());
    EXPECT_FALSE(FindControl<QWidget>(&dialog, "Bevel1")->isVisible());
    EXPECT_TRUE(brand->isVisible());
    EXPECT_TRUE(brand->isEnabled());
    EXPECT_EQ(brand->text(), QStringLiteral("TOLVANE"));
    EXPECT_EQ(brand->palette().color(QPalette::WindowText), QColor(127, 157, 185));
    EXPECT_TRUE(line->isVisible());
    EXPECT_EQ(line->PenStyle(), Qt::DotLine);
    EXPECT_EQ(line->PenColor(), QColor(127, 157, 185));
    EXPECT_EQ(line->BrushColor(), priv::HostColorToQColor(Host().gclModuleBackColor()));
    // The line runs from the label to the right edge at the label's middle.
    EXPECT_EQ(line->mapTo(&dialog, QPoint(line->width(), 0)).x(), dialog.width());
    EXPECT_EQ(line->mapTo(&dialog, line->rect().center()).y(),
              brand->mapTo(&dialog, brand->rect().center()).y());
    EXPECT_EQ(dialog.size(), QSize(501, 245));
    EXPECT_TRUE(SaveScreenshot(&dialog, QStringLiteral("dialog_ex")));

    Host().SendWindowMessage(&dialog, priv::WM_MODULE_SKIN, 0, 0);
    EXPECT_EQ(dialog.skinCount, 2);
}

} // namespace

namespace {

QAccessibleInterface* Accessible(QWidget* root, const char* name)
{
    QWidget* control = root->findChild<QWidget*>(QString::fromLatin1(name));
    EXPECT_NE(control, nullptr) << name;
    return control ? QAccessible::queryAccessibleInterface(control) : nullptr;
}

} // namespace

TEST_F(BaseWindowTest, AReaderNamesEveryControlOfAPageAndADialog)
{
    QPointer<DemoPage> page = OpenDemoPage("");
    ASSERT_TRUE(page);
    QTest::qWait(0);
    std::vector<std::string> problems = priv::test::AccessibilityProblems(page);
    EXPECT_TRUE(problems.empty()) << priv::test::Joined(problems);

    struct Expected {
        const char* control;
        const char* name;
    };
    const Expected pageControls[] = {
        {"edtCode", "用户代码："},       {"edtAddress", "住址："},        {"cbxDept", "所属部门："},
        {"spToolPageMax", "最大化窗口"}, {"spToolPageClose", "关闭窗口"}, {"tbtOperAdd", "新增"},
    };
    for (const Expected& e : pageControls) {
        QAccessibleInterface* control = Accessible(page, e.control);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(control->text(QAccessible::Name), QString::fromUtf8(e.name)) << e.control;
        EXPECT_EQ(control->text(QAccessible::Description), QString::fromLatin1(e.control));
    }
    // A combo box is named by its label and reads its entry as its value; the
    // editor inside it carries the same name.
    QAccessibleInterface* combo = Accessible(page, "cbxDept");
    EXPECT_EQ(combo->role(), QAccessible::ComboBox);
    EXPECT_EQ(combo->text(QAccessible::Value), QStringLiteral("－请选择－"));
    EXPECT_EQ(QAccessible::queryAccessibleInterface(page->cbxDept->lineEdit())->text(QAccessible::Name),
              QStringLiteral("所属部门："));
    // The page itself is found by its form's name.
    EXPECT_EQ(QAccessible::queryAccessibleInterface(page)->text(QAccessible::Description),
              page->objectName());

    auto dialog = std::make_unique<CountingDialog>();
    dialog->setObjectName(QStringLiteral("TfrmUserPost"));
    auto* form = new QFormLayout(dialog->ClientArea());
    auto* name = new QLineEdit;
    name->setObjectName(QStringLiteral("edtPostName"));
    form->addRow(QStringLiteral("岗位名称(&N)："), name);
    dialog->show();
    QTest::qWait(0);
    problems = priv::test::AccessibilityProblems(dialog.get());
    EXPECT_TRUE(problems.empty()) << priv::test::Joined(problems);
    EXPECT_EQ(Accessible(dialog.get(), "edtPostName")->text(QAccessible::Name),
              QStringLiteral("岗位名称(N)："));
    EXPECT_EQ(Accessible(dialog.get(), "sBtnClose")->text(QAccessible::Name), QStringLiteral("关闭"));
    EXPECT_EQ(QAccessible::queryAccessibleInterface(dialog.get())->text(QAccessible::Description),
              QStringLiteral("TfrmUserPost"));
}

TEST_F(BaseWindowTest, ItemViewsReportDisabledItemsAsDisabled)
{
    QPointer<DemoPage> page = OpenDemoPage("");
    ASSERT_TRUE(page);
    auto* tree = new QTreeWidget(page->ClientArea());
    tree->setObjectName(QStringLiteral("vstPosts"));
    tree->setAccessibleName(QStringLiteral("岗位"));
    tree->setHeaderLabels({QStringLiteral("岗位名称"), QStringLiteral("说明")});
    const auto item = [](QTreeWidgetItem* parent, const char* name, bool enabled) {
        auto* node = new QTreeWidgetItem(parent, {QString::fromUtf8(name), QStringLiteral("-")});
        node->setDisabled(!enabled);
        return node;
    };
    auto* finance = new QTreeWidgetItem(tree, {QStringLiteral("财务"), QStringLiteral("-")});
    item(finance, "出纳", true);
    item(finance, "会计", false);
    auto* office = new QTreeWidgetItem(tree, {QStringLiteral("办公室"), QStringLiteral("-")});
    office->setDisabled(true);
    item(office, "文员", false);
    finance->setExpanded(true);
    tree->setGeometry(0, 0, 300, 200);
    tree->show();

    // The header's captions first, then both columns of every row shown; the
    // office's clerk is folded away.
    QAccessibleInterface* view = QAccessible::queryAccessibleInterface(tree);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->role(), QAccessible::Tree);
    EXPECT_EQ(view->childCount(), 2 * 5);
    EXPECT_EQ(view->child(0)->text(QAccessible::Name), QStringLiteral("岗位名称"));
    struct Row {
        const char* name;
        bool disabled;
    };
    const Row rows[] = {{"财务", false}, {"出纳", false}, {"会计", true}, {"办公室", true}};
    const std::vector<priv::test::AccessibleItem> read = priv::test::AccessibleItems(tree);
    ASSERT_EQ(read.size(), 8u);
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(read[2 * i].name, rows[i].name);
        EXPECT_EQ(read[2 * i].disabled, rows[i].disabled) << rows[i].name;
        EXPECT_EQ(read[2 * i + 1].disabled, rows[i].disabled) << rows[i].name;
        EXPECT_EQ(read[2 * i].role, QAccessible::TreeItem);
    }
    // Every cell knows its place; a disabled row offers nothing to do.
    for (int i = 0; i < view->childCount(); ++i)
        EXPECT_EQ(view->indexOfChild(view->child(i)), i);
    QAccessibleInterface* cashier = view->child(2 * 2);
    QAccessibleInterface* officeRow = view->child(2 * 4);
    EXPECT_TRUE(officeRow->actionInterface()->actionNames().isEmpty());
    QSignalSpy activated(tree, &QAbstractItemView::activated);
    cashier->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    officeRow->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    ASSERT_EQ(activated.size(), 1);
    EXPECT_EQ(activated[0][0].value<QModelIndex>().data().toString(), QStringLiteral("出纳"));

    // Rows that go take their cells with them.
    delete finance;
    EXPECT_EQ(view->childCount(), 2 * 2);
    EXPECT_EQ(priv::test::AccessibleItems(tree)[0].name, "办公室");
    EXPECT_TRUE(priv::test::AccessibleItems(tree)[0].disabled);

    auto* list = new QListWidget(page->ClientArea());
    list->setObjectName(QStringLiteral("lstCompanies"));
    list->setAccessibleName(QStringLiteral("企业"));
    list->addItems({QStringLiteral("甲企业"), QStringLiteral("乙企业")});
    list->item(1)->setFlags(list->item(1)->flags() & ~Qt::ItemIsEnabled);
    list->show();
    const std::vector<priv::test::AccessibleItem> companies = priv::test::AccessibleItems(list);
    ASSERT_EQ(companies.size(), 2u);
    EXPECT_FALSE(companies[0].disabled);
    EXPECT_TRUE(companies[1].disabled);
    EXPECT_EQ(companies[1].role, QAccessible::ListItem);

    const std::vector<std::string> problems = priv::test::AccessibilityProblems(page);
    EXPECT_TRUE(problems.empty()) << priv::test::Joined(problems);
}
