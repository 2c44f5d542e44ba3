// The host framework gives the host's application what its windows offer a
// reader beyond Qt's own, once, when the host opens it: a window made of
// plain Qt controls, with no module code in the program, reads as the
// module's windows do.
#include "support/database_fixture.h"
#include "ui/accessibility_walk.h"

#include "fennix/fennix.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QStandardItemModel>
#include <QTreeView>
#include <QWidget>

#include <memory>

namespace {

using priv::test::Backend;
using priv::test::TestDatabase;

TEST(HostAccessibility, OpeningTheFrameworkMakesPlainControlsReadable)
{
    TestDatabase db{Backend::SQLite};
    ASSERT_TRUE(db.Ok()) << db.Error();

    QWidget window;
    window.setObjectName(QStringLiteral("frmPlain"));
    auto* layout = new QFormLayout(&window);
    auto* code = new QLineEdit(&window);
    code->setObjectName(QStringLiteral("edtCode"));
    auto* codeLabel = new QLabel(QStringLiteral("代码(&C)："), &window);
    codeLabel->setBuddy(code);
    layout->addRow(codeLabel, code);
    auto* department = new QComboBox(&window);
    department->setObjectName(QStringLiteral("cbxDept"));
    department->setEditable(true);
    department->addItems({QStringLiteral("办公室"), QStringLiteral("财务部")});
    auto* departmentLabel = new QLabel(QStringLiteral("部门："), &window);
    layout->addRow(departmentLabel, department);
    // Named after the editor exists, as a form made in code often does.
    departmentLabel->setBuddy(department);
    QStandardItemModel model;
    auto* top = new QStandardItem(QStringLiteral("总公司"));
    auto* greyed = new QStandardItem(QStringLiteral("分公司"));
    greyed->setEnabled(false);
    top->appendRow(greyed);
    model.appendRow(top);
    auto* tree = new QTreeView(&window);
    tree->setObjectName(QStringLiteral("tvUnits"));
    tree->setAccessibleName(QStringLiteral("单位"));
    tree->setModel(&model);
    tree->expandAll();
    layout->addRow(tree);
    window.show();

    const std::vector<std::string> problems = priv::test::AccessibilityProblems(&window);
    EXPECT_TRUE(problems.empty()) << priv::test::Joined(problems);
    EXPECT_EQ(code->accessibleDescription(), QStringLiteral("edtCode"));
    EXPECT_EQ(department->lineEdit()->accessibleName(), QStringLiteral("部门："));
    const std::vector<priv::test::AccessibleItem> rows = priv::test::AccessibleItems(tree);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].level, 1);
    EXPECT_FALSE(rows[0].disabled);
    EXPECT_EQ(rows[1].name, "分公司");
    EXPECT_EQ(rows[1].level, 2);
    EXPECT_TRUE(rows[1].disabled);
}

TEST(HostAccessibility, OpeningAgainInstallsNothingTwice)
{
    TestDatabase db{Backend::SQLite};
    ASSERT_TRUE(db.Ok()) << db.Error();
    std::string error;
    // A copy: opening replaces the settings CurrentSettings refers to.
    // NOLINTNEXTLINE(performance-unnecessary-copy-initialization)
    const fennix::Settings settings = fennix::CurrentSettings();
    ASSERT_TRUE(fennix::Open(settings, error)) << error;
    ASSERT_TRUE(fennix::Open(settings, error)) << error;
    EXPECT_EQ(qApp->findChildren<QObject*>(QStringLiteral("fennixAccessibilityPublisher"),
                                           Qt::FindDirectChildrenOnly)
                  .size(),
              1);
}

} // namespace
