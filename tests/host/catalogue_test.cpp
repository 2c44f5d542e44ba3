// The message catalogue and the message boxes as tests see them: recorded,
// answered from a queue.
#include "fennix/fennix.h"
#include "fennix/testing.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <memory>

namespace {

bool HasChinese(const std::string& text)
{
    const QString wide = QString::fromStdString(text);
    for (const QChar c : wide)
        if (c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF)
            return true;
    return false;
}

class Catalogue : public ::testing::Test {
protected:
    void SetUp() override
    {
        fennix::ResetHostContext();
        fennix::ClearShownMessages();
    }
    priv::Host& host = fennix::Services();
};

TEST_F(Catalogue, EveryNumberHasAChineseText)
{
    for (int number = 104001; number <= 104030; ++number) {
        SCOPED_TRACE(number);
        const std::string text = fennix::CatalogueText(number);
        EXPECT_TRUE(HasChinese(text)) << text;
        // Without arguments the shown text is the catalogue text less its placeholders.
        EXPECT_EQ(host.GetMsg(number, ""), host.ReplaceStr(text, "%s", ""));
    }
}

TEST_F(Catalogue, ReasonLinesAreThreeLinesSeparatedByCrLf)
{
    const std::string text = host.GetMsg(104006, "");
    EXPECT_EQ(host.GetCol(text, 3, '\n'), "");
    const std::string lines = host.ReplaceStr(text, "\r\n", "\x01");
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const std::string line = host.GetCol(lines, i, 1);
        EXPECT_TRUE(HasChinese(line));
        EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos);
    }
    EXPECT_EQ(host.GetCol(lines, 3, 1), "");
}

TEST_F(Catalogue, ArgumentsJoinedByCodeOneFillThePlaceholdersInOrder)
{
    const std::string deleteFailed = host.GetMsg(104015, std::string("70018508") + '\x01' + "zhang'san");
    const auto number = deleteFailed.find("[70018508]");
    const auto code = deleteFailed.find("zhang'san");
    ASSERT_NE(number, std::string::npos) << deleteFailed;
    ASSERT_NE(code, std::string::npos) << deleteFailed;
    EXPECT_LT(number, code);
    EXPECT_EQ(deleteFailed.find("%s"), std::string::npos);
    EXPECT_EQ(deleteFailed.find('\x01'), std::string::npos);

    struct Case {
        int number;
        std::string arguments;
        std::string mustHold;
        std::string mustNotHold;
    };
    const Case cases[] = {
        {104013, "admin", "admin", "%s"},
        // An argument that holds a placeholder is taken as it is, not filled again.
        {104014, "a%sb", "a%sb", "\x01"},
        // Missing arguments leave their places empty.
        {104015, "", "[]", "%s"},
        // Surplus arguments are dropped.
        {104014, std::string("first") + '\x01' + "second", "first", "second"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.number);
        const std::string text = host.GetMsg(c.number, c.arguments);
        EXPECT_NE(text.find(c.mustHold), std::string::npos) << text;
        EXPECT_EQ(text.find(c.mustNotHold), std::string::npos) << text;
    }
}

TEST_F(Catalogue, UnknownNumberNamesItself)
{
    const std::string text = host.GetMsg(999999, "x");
    EXPECT_NE(text.find("999999"), std::string::npos);
    EXPECT_EQ(fennix::CatalogueText(999999), "");
}

TEST_F(Catalogue, BoxesAreRecordedAndAnsweredFromTheQueue)
{
    fennix::QueueAnswer(0);
    fennix::QueueAnswer(1);
    fennix::QueueAnswer(0);
    EXPECT_EQ(host.InforMsg(104013, "wang"), 0);
    EXPECT_TRUE(host.ConfirmMsgBoxA("确定吗？"));
    EXPECT_FALSE(host.ConfirmMsgBoxA("还确定吗？"));
    // Nothing queued any more: yes.
    EXPECT_EQ(host.InforMsg(104030, ""), 1);
    EXPECT_TRUE(host.ConfirmMsgBoxA("再问一次"));
    host.InfoMsgBox("您没有权限使用本功能。");
    host.ErrorMsgBox("系统错误：[70018503]\r\n修改密码失败：数据库操作出错。");

    const auto shown = fennix::ShownMessages();
    ASSERT_EQ(shown.size(), 7u);
    EXPECT_EQ(shown[0].kind, fennix::MessageKind::Catalogue);
    EXPECT_EQ(shown[0].number, 104013);
    EXPECT_EQ(shown[0].arguments, "wang");
    EXPECT_EQ(shown[0].text, host.GetMsg(104013, "wang"));
    EXPECT_EQ(shown[1].kind, fennix::MessageKind::Confirm);
    EXPECT_EQ(shown[1].text, "确定吗？");
    EXPECT_EQ(shown[3].number, 104030);
    EXPECT_EQ(shown[5].kind, fennix::MessageKind::Info);
    EXPECT_EQ(shown[5].number, 0);
    EXPECT_EQ(shown[6].kind, fennix::MessageKind::Error);
    EXPECT_EQ(shown[6].text, "系统错误：[70018503]\r\n修改密码失败：数据库操作出错。");

    fennix::ClearShownMessages();
    EXPECT_TRUE(fennix::ShownMessages().empty());
}

// A box shown while a dialog runs belongs to that dialog, not to the host's
// main window: it stands centred over the dialog, and when it closes the
// keyboard is back in the dialog, where the user was typing.
TEST_F(Catalogue, ABoxBelongsToTheDialogThatRaisedIt)
{
    // All inside the offscreen screen (800 x 600), which would push a box
    // back inside.
    QWidget mainWindow;
    mainWindow.setGeometry(0, 0, 800, 600);
    mainWindow.show();
    fennix::SetAppHandle(&mainWindow);
    fennix::SetInteractive(true);

    QDialog dialog(&mainWindow);
    dialog.setGeometry(430, 330, 320, 220);
    auto* box = new QLineEdit(&dialog);

    QWidget* owner = nullptr;
    QWindow* standsFor = nullptr;
    QRect boxGeometry;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &poll, [&] {
        auto* shown = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!shown)
            return;
        poll.stop();
        owner = shown->parentWidget();
        standsFor = shown->windowHandle() ? shown->windowHandle()->transientParent() : nullptr;
        boxGeometry = shown->geometry();
        shown->button(QMessageBox::Ok)->click();
    });
    QPointer<QWidget> activeAfter;
    QPointer<QWidget> focusAfter;
    QTimer::singleShot(0, &dialog, [&] {
        box->setFocus();
        poll.start(10);
        host.InfoMsgBox("请输入部门编码！");
        QApplication::processEvents();
        activeAfter = QApplication::activeWindow();
        focusAfter = QApplication::focusWidget();
        dialog.accept();
    });
    dialog.exec();
    fennix::SetInteractive(false);
    fennix::SetAppHandle(nullptr);

    EXPECT_EQ(owner, &dialog);
    EXPECT_EQ(standsFor, dialog.windowHandle());
    const QPoint offset = boxGeometry.center() - dialog.geometry().center();
    EXPECT_LE(offset.manhattanLength(), 2) << "the box stands centred on the dialog";
    EXPECT_EQ(activeAfter, &dialog);
    EXPECT_EQ(focusAfter, box);
}

// Without a dialog the box belongs to the active window, and with none at all
// to the host's main window.
TEST_F(Catalogue, ABoxWithoutADialogBelongsToTheActiveWindowOrTheMainWindow)
{
    QWidget mainWindow;
    mainWindow.setGeometry(0, 0, 1000, 700);
    fennix::SetAppHandle(&mainWindow);
    fennix::SetInteractive(true);

    QWidget* owner = nullptr;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &poll, [&] {
        auto* shown = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!shown)
            return;
        owner = shown->parentWidget();
        shown->button(QMessageBox::Ok)->click();
    });
    poll.start(10);

    // A free-standing page window of the module, active.
    auto page = std::make_unique<QWidget>(nullptr, Qt::Window);
    page->setGeometry(300, 200, 400, 300);
    page->show();
    page->activateWindow();
    QApplication::processEvents();
    ASSERT_EQ(QApplication::activeWindow(), page.get());
    host.InfoMsgBox("您没有权限使用本功能。");
    EXPECT_EQ(owner, page.get());

    page.reset();
    QApplication::processEvents();
    ASSERT_EQ(QApplication::activeWindow(), nullptr);
    owner = nullptr;
    host.ErrorMsgBox("系统错误：[70018504]\r\n取用户权限范围出错。");
    EXPECT_EQ(owner, &mainWindow);

    poll.stop();
    fennix::SetInteractive(false);
    fennix::SetAppHandle(nullptr);
}

} // namespace
