// Windows, the main-frame channel, host functions, text routines, clock and log.
#include "support/database_fixture.h"

#include "boundary/datetime.h"
#include "fennix/fennix.h"
#include "fennix/host_message_event.h"
#include "fennix/testing.h"
#include "quillet/quillet.h"

#include <gtest/gtest.h>

#include <QWidget>

#include <cstring>

namespace {

using priv::test::Backend;
using priv::test::TestDatabase;

class HostContext : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(db.Ok()) << db.Error(); }
    TestDatabase db{Backend::SQLite};
    priv::Host& host = fennix::Services();
};

// A window that keeps the host messages it receives.
class Receiver : public QWidget {
public:
    struct Received {
        unsigned message;
        intptr_t wParam, lParam;
    };
    std::vector<Received> received;

protected:
    bool event(QEvent* event) override
    {
        if (event->type() >= QEvent::User) {
            auto* message = static_cast<fennix::HostMessageEvent*>(event);
            EXPECT_EQ(event->type(), fennix::HostMessageEvent::TypeFor(message->message()));
            received.push_back({message->message(), message->wParam(), message->lParam()});
            return true;
        }
        return QWidget::event(event);
    }
};

TEST_F(HostContext, MessagesForTheMainFrameGoToItsHandlerOthersToTheWindow)
{
    Receiver mainFrame, page, registered;
    std::vector<std::tuple<void*, unsigned, intptr_t, intptr_t>> handled;
    std::vector<std::tuple<void*, void*, uintptr_t, std::string>> copied;
    fennix::SetMainFrameHandlers(
        [&](void* target, unsigned message, intptr_t w, intptr_t l) {
            handled.emplace_back(target, message, w, l);
        },
        [&](void* target, void* sender, uintptr_t kind, const std::vector<char>& bytes) {
            copied.emplace_back(target, sender, kind, std::string(bytes.begin(), bytes.end()));
        });

    EXPECT_EQ(host.GetMainFrameHandle(), nullptr);
    EXPECT_EQ(host.FindWindowByClass("Tfrm_MainFrame"), nullptr);
    fennix::SetMainFrame(&mainFrame);
    fennix::RegisterWindowClass("Tfrm_MainFrame", &registered);
    EXPECT_EQ(host.GetMainFrameHandle(), &mainFrame);
    EXPECT_EQ(host.FindWindowByClass("Tfrm_MainFrame"), &registered);
    EXPECT_EQ(host.FindWindowByClass("TOther"), nullptr);

    host.SendWindowMessage(&mainFrame, 0x510, 0, 0);
    host.SendWindowMessage(&registered, 0x86, 1, 0);
    host.SendWindowMessage(&page, 0x517, 7, -3);
    host.SendWindowMessage(nullptr, 0x500, 0, 0);
    ASSERT_EQ(handled.size(), 2u);
    EXPECT_EQ(handled[0], std::make_tuple(static_cast<void*>(&mainFrame), 0x510u, intptr_t{0}, intptr_t{0}));
    EXPECT_EQ(handled[1], std::make_tuple(static_cast<void*>(&registered), 0x86u, intptr_t{1}, intptr_t{0}));
    ASSERT_EQ(page.received.size(), 1u);
    EXPECT_EQ(page.received[0].message, 0x517u);
    EXPECT_EQ(page.received[0].wParam, 7);
    EXPECT_EQ(page.received[0].lParam, -3);
    EXPECT_TRUE(mainFrame.received.empty());

    const char text[] = "01003-01-07-00-00";
    host.SendCopyData(&mainFrame, &page, 0x516, std::vector<char>(text, text + sizeof text));
    ASSERT_EQ(copied.size(), 1u);
    EXPECT_EQ(std::get<0>(copied[0]), &mainFrame);
    EXPECT_EQ(std::get<1>(copied[0]), &page);
    EXPECT_EQ(std::get<2>(copied[0]), 0x516u);
    EXPECT_EQ(std::get<3>(copied[0]), std::string(text, sizeof text)); // NUL included
    host.SendCopyData(&page, &mainFrame, 0x516, std::vector<char>(text, text + sizeof text));
    EXPECT_EQ(copied.size(), 1u); // a page window takes no copy-data

    // Without handlers the main frame gets the message as an event of its own.
    fennix::SetMainFrameHandlers({}, {});
    host.SendWindowMessage(&mainFrame, 0x510, 0, 0);
    ASSERT_EQ(mainFrame.received.size(), 1u);
    EXPECT_EQ(mainFrame.received[0].message, 0x510u);
    fennix::RegisterWindowClass("Tfrm_MainFrame", nullptr);
    EXPECT_EQ(host.FindWindowByClass("Tfrm_MainFrame"), nullptr);
}

TEST_F(HostContext, CurrentCodesFormsAndFunctions)
{
    QWidget app, parent, mainParent;
    fennix::SetAppHandle(&app);
    fennix::SetCurrentParentForm(&parent);
    fennix::SetMainFrameParentForm(&mainParent);
    EXPECT_EQ(host.GetAppHandle(), &app);
    EXPECT_EQ(host.GetCurParentForm(), &parent);
    EXPECT_EQ(host.GetgsMainFrameParentForm(), &mainParent);

    EXPECT_EQ(host.GetCurSubAppInfo(), nullptr);
    fennix::SetCurrentSubApp("02");
    fennix::SetCurrentFunction("02001-01-03-00-00");
    EXPECT_EQ(host.GetCurSubAppCode(), "02");
    EXPECT_EQ(host.GetCurFuncCode(), "02001-01-03-00-00");
    EXPECT_EQ(host.GetCurSubAppPath(), db.AppDir() + "/AppComs/02/");
    ASSERT_NE(host.GetCurSubAppInfo(), nullptr);
    EXPECT_EQ(host.GetCurSubAppInfo()->name, "增值税申报");
    EXPECT_EQ(host.GetCurSubAppVo(), nullptr);

    std::string received;
    void* owner = nullptr;
    fennix::RegisterFunction("01003-01-19-00-00", [&](void* o, char** buffer) {
        owner = o;
        received = *buffer;
        return true;
    });
    char buffer[500] = "CLOSEPREV=false;TOVIEW=false";
    char* argv = buffer;
    EXPECT_TRUE(host.ExecuteFunc(&parent, "01003-01-19-00-00", &argv));
    EXPECT_EQ(owner, &parent);
    EXPECT_EQ(received, "CLOSEPREV=false;TOVIEW=false");
    EXPECT_FALSE(host.ExecuteFunc(&parent, "01003-01-07-00-00", &argv));

    fennix::ResetHostContext();
    EXPECT_EQ(host.GetAppHandle(), nullptr);
    EXPECT_EQ(host.GetCurSubAppCode(), "");
    EXPECT_FALSE(host.ExecuteFunc(&parent, "01003-01-19-00-00", &argv));
}

TEST_F(HostContext, SkinAndFont)
{
    EXPECT_EQ(host.giSysFontCharSet(), 134);
    EXPECT_TRUE(host.giSysFontSize() == 9 || host.giSysFontSize() == 12);
    // Colours are 0x00BBGGRR: the top byte stays clear.
    for (priv::HostColor colour : {host.gclModuleBackColor(), host.gclModuleToolBarColor(),
                                   host.gclTopBarColor(), host.gclFrameBackColor(), host.gclSysFontColor()})
        EXPECT_EQ(colour >> 24, 0u);
    // The font colour stands out against the window colour.
    EXPECT_NE(host.gclSysFontColor(), host.gclModuleBackColor());
}

TEST_F(HostContext, ClockAndCapsLockCanBeFixed)
{
    const double before = host.Now();
    EXPECT_GT(before, priv::EncodeDateTime({2020, 1, 1}));
    const double moment = priv::EncodeDateTime({2024, 3, 5, 14, 7, 59});
    fennix::SetNow(moment);
    EXPECT_DOUBLE_EQ(host.Now(), moment);
    fennix::SetNow(std::nullopt);
    EXPECT_GE(host.Now(), before);

    EXPECT_FALSE(host.CapsLockStatus());
    fennix::SetCapsLock(true);
    EXPECT_TRUE(host.CapsLockStatus());
    fennix::SetCapsLock(false);
    EXPECT_FALSE(host.CapsLockStatus());
}

TEST_F(HostContext, LogLinesCarryTimeLevelFlagAndText)
{
    fennix::SetNow(priv::EncodeDateTime({2024, 3, 5, 14, 7, 59}));
    host.Error("0", "[70018504]取用户权限范围出错。");
    host.Info("1", "删除张三用户。");
    host.Info("1", "两行\r\n文字");
    EXPECT_EQ(db.LogFile(), quillet::LogFilePath());
    EXPECT_EQ(db.LogLines(), (std::vector<std::string>{
                                 "2024-03-05 14:07:59\tERROR\t0\t[70018504]取用户权限范围出错。",
                                 "2024-03-05 14:07:59\tINFO\t1\t删除张三用户。",
                                 "2024-03-05 14:07:59\tINFO\t1\t两行\\r\\n文字",
                             }));
    fennix::SetNow(std::nullopt);
    host.Info("1", "real time");
    const auto lines = db.LogLines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[3].size(), std::strlen("yyyy-mm-dd hh:nn:ss\tINFO\t1\treal time"));
    EXPECT_EQ(lines[3].substr(0, 2), "20");
}

TEST(HostText, ReplaceStrAndGetCol)
{
    priv::Host& host = fennix::Services();
    struct Replace {
        std::string text, oldText, newText, expected;
    };
    for (const Replace& c : {
             Replace{"O'Neil's", "'", "''", "O''Neil''s"},
             Replace{"''", "'", "''", "''''"},
             Replace{"aaa", "aa", "b", "ba"},
             Replace{"abc", "", "x", "abc"},
             Replace{"", "a", "b", ""},
             Replace{"税务税务", "税务", "发票", "发票发票"},
         }) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(host.ReplaceStr(c.text, c.oldText, c.newText), c.expected);
    }

    struct Column {
        std::string text;
        int index, separator;
        std::string expected;
    };
    for (const Column& c : {
             Column{"12|3|01003-01-19-00-00", 0, '|', "12"},
             Column{"12|3|01003-01-19-00-00", 2, '|', "01003-01-19-00-00"},
             Column{"12|3|01003-01-19-00-00", 3, '|', ""}, Column{"a||c", 1, '|', ""},
             Column{"a||c", 2, '|', "c"}, Column{"a|", 1, '|', ""},
             Column{"no separator", 0, '|', "no separator"}, Column{"no separator", 1, '|', ""},
             Column{"a|b", -1, '|', ""}, Column{"可能原因：\r\n·您记错了密码", 1, '\n', "·您记错了密码"},
             Column{"甲，乙，丙", 2, 0xFF0C, "丙"}, // a full-width comma as separator
         }) {
        SCOPED_TRACE(c.text + " #" + std::to_string(c.index));
        EXPECT_EQ(host.GetCol(c.text, c.index, c.separator), c.expected);
    }
}

} // namespace
