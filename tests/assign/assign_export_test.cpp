// The privilege assignment export called as a host calls it: the built module
// loaded with dlopen, a host page as the container (or none), the post code
// in the parameter buffer in the host's code page.
#include "boundary/codepage.h"
#include "support/arrange.h"
#include "support/loaded_module.h"
#include "ui/host_messages.h"
#include "window_test_support.h"

#include <privilege/privilege.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QTreeView>

#include <dlfcn.h>

#include <cstring>
#include <vector>

namespace priv {
namespace {

using test::HostBuffer;
using WindowExport = test::LoadedModule::WindowExport;

// Loaded once and kept: the windows it opens live in its code.
WindowExport ShowPrivilegeAssign()
{
    const test::LoadedModule& module = test::ProcessModule();
    EXPECT_NE(module.Handle(), nullptr) << dlerror();
    return module.Window("ShowPrivilegeAssignInnerProc");
}

QWidget* OpenedWindow(QWidget* container)
{
    const QString name = QStringLiteral("frmPrivilegeAssignEx");
    if (container)
        return container->findChild<QWidget*>(name);
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->objectName() == name && window->isVisible())
            return window;
    return nullptr;
}

class AssignExportTest : public test::WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        if (HasFatalFailure())
            return;
        ASSERT_TRUE(test::AddCompany(Db(), 1, "91110000000000001A", "北京甲公司"));
        ASSERT_TRUE(test::AddPost(Db(), "GW00001", "出纳岗"));
        show_ = ShowPrivilegeAssign();
        ASSERT_NE(show_, nullptr);
    }
    void TearDown() override
    {
        for (QWidget* window : QApplication::topLevelWidgets())
            if (window->objectName() == QStringLiteral("frmPrivilegeAssignEx"))
                window->close();
        test::RunDeferredDeletes();
        WindowTest::TearDown();
    }

    WindowExport show_ = nullptr;
};

TEST_F(AssignExportTest, OpensThePostNamedByTheCallerInTheHostsPage)
{
    QWidget* page = HostPage();
    HostBuffer buffer("JS_DM=GW00001;ModalFormMsg=岗位权限分配;CLOSEPREV=false;TOVIEW=false");
    show_(appWindow_.get(), page, buffer.argv);
    QWidget* window = OpenedWindow(page);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->findChild<QComboBox*>(QStringLiteral("cbxRoles"))->currentText(),
              QStringLiteral("出纳岗"));
    EXPECT_EQ(window->findChild<QTreeView*>(QStringLiteral("vstCompList"))->model()->rowCount(), 1);
    // Announced to the host with the last flag false.
    const std::vector<std::string> opened = MainFrame().CopyDataTexts(CD_PAGE_OPENED);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].rfind("岗位权限分配|", 0), 0u);
    EXPECT_EQ(opened[0].substr(opened[0].size() - 2), "|0");
    window->close();
}

TEST_F(AssignExportTest, OpensFreeStandingWithoutAContainer)
{
    HostBuffer buffer("JS_DM=NOPE");
    show_(appWindow_.get(), nullptr, buffer.argv);
    QWidget* window = OpenedWindow(nullptr);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->findChild<QComboBox*>(QStringLiteral("cbxRoles"))->currentIndex(), 0);
    EXPECT_EQ(window->findChild<QLabel*>(QStringLiteral("lblRoleTip"))->text(),
              QStringLiteral("(请先选择岗位后再进行权限分配)"));
    EXPECT_TRUE(MainFrame().CopyDataTexts(CD_PAGE_OPENED).empty());
}

TEST_F(AssignExportTest, AFailedPreparationShowsNothingButTheError)
{
    fennix::FailStatementsContaining("from XT_QYXX");
    QWidget* page = HostPage();
    HostBuffer buffer("JS_DM=GW00001;ModalFormMsg=x");
    show_(appWindow_.get(), page, buffer.argv);
    EXPECT_EQ(OpenedWindow(page), nullptr);
    EXPECT_EQ(OpenedWindow(nullptr), nullptr);
    EXPECT_TRUE(MainFrame().CopyDataTexts(CD_PAGE_OPENED).empty());
    const auto shown = fennix::ShownMessages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "系统错误：[70018504]\r\n取用户权限范围出错。");

    // A null buffer is no post: the page opens on the placeholder.
    fennix::ClearStatementFailures();
    show_(appWindow_.get(), page, nullptr);
    ASSERT_NE(OpenedWindow(page), nullptr);
    EXPECT_EQ(OpenedWindow(page)->findChild<QComboBox*>(QStringLiteral("cbxRoles"))->currentIndex(), 0);
}

} // namespace
} // namespace priv
