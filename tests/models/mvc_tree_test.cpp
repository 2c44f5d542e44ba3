// The model tree's check rules, alone and through the Qt item model a tree
// view shows: lazily made rows, program-set states that never re-enter the
// check handling, and the window told when nothing top-level is checked.
// Every model in use is watched by QAbstractItemModelTester.
#include "assign/mvc_item_model.h"
#include "models/mvc_tree.h"
#include "ui/window_utils.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QHelpEvent>
#include <QSignalSpy>
#include <QToolTip>
#include <QTreeView>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace priv {
namespace {

class CountingWindow : public TMVCWindow {
public:
    void UncheckShownCompany() override { ++told; }
    int told = 0;
};

// Applications A, B, C with 3, 2 and 0 functions ("A1".."A3", "B1", "B2").
void Fill(TMVCTree& tree)
{
    const std::vector<std::pair<std::string, int>> apps = {{"A", 3}, {"B", 2}, {"C", 0}};
    for (const auto& [code, functions] : apps) {
        TMVCNode* app = tree.Root().AddChild();
        app->SetCode(code);
        app->SetCaption("应用" + code);
        app->SetKind(0);
        for (int i = 1; i <= functions; ++i) {
            TMVCNode* function = app->AddChild();
            function->SetCode(code + std::to_string(i));
            function->SetCaption("功能" + code + std::to_string(i));
            function->SetKind(2);
        }
    }
}

// "A:1 A1:1 ..." for every node, depth first.
std::string States(const TMVCNode& node)
{
    std::string out;
    for (int i = 0; i < node.ChildCount(); ++i) {
        const TMVCNode& child = *node.ChildAt(i);
        out += child.Code() + ":" + (child.IsChecked() ? "1" : "0") + " ";
        out += States(child);
    }
    return out;
}

TEST(ModelTreeTest, LeafCountsAsAllCheckedAndNothingChecked)
{
    TMVCTree tree;
    EXPECT_TRUE(TMVCTree::AllChecked(tree.Root()));
    EXPECT_FALSE(TMVCTree::AnyChecked(tree.Root()));
    EXPECT_FALSE(tree.AnyTopLevelChecked());
    EXPECT_EQ(tree.Root().Kind(), TMVCNode::kRootKind);
    EXPECT_EQ(tree.Root().Code(), "00");

    Fill(tree);
    tree.Root().ChildAt(1)->ChildAt(0)->SetCheckState(TCheckState::Checked);
    EXPECT_TRUE(TMVCTree::AnyChecked(tree.Root()));
    EXPECT_FALSE(TMVCTree::AllChecked(tree.Root()));
    // Only the root's own children count as top level.
    EXPECT_FALSE(tree.AnyTopLevelChecked());
    tree.CheckAll(TCheckState::Checked);
    EXPECT_TRUE(TMVCTree::AllChecked(tree.Root()));
    EXPECT_TRUE(tree.AnyTopLevelChecked());
}

TEST(ModelTreeTest, CheckHandlingWithoutView)
{
    // Each step: the node the user changes, to which state, and the states
    // that follow (the window is told when nothing top-level is checked).
    struct Step {
        std::vector<int> path;
        TCheckState state;
        const char* expected;
        int told;
    };
    const std::vector<Step> steps = {
        // One function of an unchecked application: the application follows.
        {{0, 1}, TCheckState::Checked, "A:1 A1:0 A2:1 A3:0 B:0 B1:0 B2:0 C:0 ", 0},
        // An application: all of its functions follow.
        {{1}, TCheckState::Checked, "A:1 A1:0 A2:1 A3:0 B:1 B1:1 B2:1 C:0 ", 0},
        {{1}, TCheckState::Unchecked, "A:1 A1:0 A2:1 A3:0 B:0 B1:0 B2:0 C:0 ", 0},
        // The last checked function: the application goes, the window hears.
        {{0, 1}, TCheckState::Unchecked, "A:0 A1:0 A2:0 A3:0 B:0 B1:0 B2:0 C:0 ", 1},
        // An application without functions checks on its own.
        {{2}, TCheckState::Checked, "A:0 A1:0 A2:0 A3:0 B:0 B1:0 B2:0 C:1 ", 1},
        {{2}, TCheckState::Unchecked, "A:0 A1:0 A2:0 A3:0 B:0 B1:0 B2:0 C:0 ", 2},
    };
    TMVCTree tree;
    CountingWindow window;
    tree.SetWindow(&window);
    Fill(tree);
    for (const Step& step : steps) {
        TMVCNode* node = &tree.Root();
        for (int i : step.path)
            node = node->ChildAt(i);
        tree.UserChecked(node, step.state);
        EXPECT_EQ(States(tree.Root()), step.expected) << node->Code();
        EXPECT_EQ(window.told, step.told) << node->Code();
    }
}

TEST(ModelTreeTest, NodesOwnAndDetachChildren)
{
    TMVCTree tree;
    Fill(tree);
    TMVCNode* a = tree.Root().ChildAt(0);
    std::unique_ptr<TMVCNode> detached = a->DetachChild(1);
    ASSERT_NE(detached, nullptr);
    EXPECT_EQ(detached->Parent(), nullptr);
    EXPECT_EQ(detached->Code(), "A2");
    EXPECT_EQ(a->ChildCount(), 2);
    EXPECT_EQ(a->ChildAt(1)->Code(), "A3");
    EXPECT_EQ(a->ChildAt(1)->Index(), 1);
    a->FreeChild(0);
    EXPECT_EQ(a->ChildCount(), 1);
    EXPECT_EQ(a->DetachChild(5), nullptr);
    EXPECT_EQ(a->ChildAt(-1), nullptr);
}

// The tree as a tree view shows it.
class ModelTreeViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        InstallFontSubstitutions();
        view_ = std::make_unique<QTreeView>();
        view_->resize(300, 400);
        model_ = new TMVCItemModel(view_.get());
        tree_ = std::make_unique<TMVCTree>();
        tree_->BindView(model_);
        tree_->SetWindow(&window_);
        tree_->HookViewEvents();
        tester_ = std::make_unique<QAbstractItemModelTester>(
            model_, QAbstractItemModelTester::FailureReportingMode::Fatal);
        Fill(*tree_);
        tree_->RebuildView();
    }
    void TearDown() override
    {
        tester_.reset();
        tree_.reset();
        view_.reset();
    }

    QModelIndex Row(int top, int below = -1) const
    {
        const QModelIndex app = model_->index(top, 0);
        return below < 0 ? app : model_->index(below, 0, app);
    }
    // The user changes a row's box, as the view's delegate does.
    void UserSets(const QModelIndex& index, Qt::CheckState state)
    {
        ASSERT_TRUE(model_->flags(index) & Qt::ItemIsUserCheckable);
        ASSERT_TRUE(model_->setData(index, state, Qt::CheckStateRole));
    }
    Qt::CheckState Shown(const QModelIndex& index) const
    {
        return static_cast<Qt::CheckState>(model_->data(index, Qt::CheckStateRole).toInt());
    }

    std::unique_ptr<QTreeView> view_;
    TMVCItemModel* model_ = nullptr;
    std::unique_ptr<TMVCTree> tree_;
    CountingWindow window_;
    std::unique_ptr<QAbstractItemModelTester> tester_;
};

TEST_F(ModelTreeViewTest, RowsAreMadeOnDemandWithCaptionsAndBoxes)
{
    EXPECT_EQ(model_->rowCount(), 3);
    EXPECT_EQ(model_->columnCount(), 1);
    EXPECT_EQ(model_->headerData(0, Qt::Horizontal).toString(), QStringLiteral("系统名称"));
    // No row of a function exists before its application is opened (the
    // tester walks every row, so it looks away for this).
    tester_.reset();
    tree_->RebuildView();
    TMVCNode* a2 = tree_->Root().ChildAt(0)->ChildAt(1);
    EXPECT_EQ(a2->ViewRow(), nullptr);
    EXPECT_TRUE(model_->hasChildren(Row(0)));
    EXPECT_FALSE(model_->hasChildren(Row(2)));
    EXPECT_EQ(Row(0, 1).data().toString(), QStringLiteral("功能A2"));
    EXPECT_NE(a2->ViewRow(), nullptr);
    EXPECT_EQ(Row(0, 1).parent(), Row(0));
    EXPECT_EQ(Shown(Row(0, 1)), Qt::Unchecked);
    EXPECT_EQ(model_->data(Row(0, 1), Qt::ForegroundRole).value<QColor>(), QColor(Qt::black));

    // Rebuilding ends every link; the rows are made again on demand.
    tree_->RebuildView();
    EXPECT_EQ(a2->ViewRow(), nullptr);
    EXPECT_EQ(model_->rowCount(), 3);
}

TEST_F(ModelTreeViewTest, CheckingAnUnopenedApplicationChecksItsFunctionsInTheModel)
{
    UserSets(Row(0), Qt::Checked);
    EXPECT_EQ(States(tree_->Root()), "A:1 A1:1 A2:1 A3:1 B:0 B1:0 B2:0 C:0 ");
    // Opening the application afterwards shows them checked and changes
    // nothing.
    view_->expandAll();
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(Shown(Row(0, i)), Qt::Checked);
    EXPECT_EQ(States(tree_->Root()), "A:1 A1:1 A2:1 A3:1 B:0 B1:0 B2:0 C:0 ");
    EXPECT_EQ(window_.told, 0);
}

TEST_F(ModelTreeViewTest, UncheckingTheLastFunctionUnchecksTheApplicationAndTellsTheWindowOnce)
{
    view_->expandAll();
    UserSets(Row(1, 0), Qt::Checked);
    EXPECT_EQ(Shown(Row(1)), Qt::Checked);
    EXPECT_EQ(Shown(Row(1, 1)), Qt::Unchecked);
    UserSets(Row(1, 0), Qt::Unchecked);
    EXPECT_EQ(Shown(Row(1)), Qt::Unchecked);
    EXPECT_EQ(States(tree_->Root()), "A:0 A1:0 A2:0 A3:0 B:0 B1:0 B2:0 C:0 ");
    EXPECT_EQ(window_.told, 1);

    // An opened application with several checked functions.
    UserSets(Row(0), Qt::Checked);
    UserSets(Row(0), Qt::Unchecked);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(Shown(Row(0, i)), Qt::Unchecked);
    EXPECT_EQ(window_.told, 2);
}

TEST_F(ModelTreeViewTest, ProgramSetStatesReachRowsWithoutTheCheckHandling)
{
    view_->expandAll();
    QSignalSpy changed(model_, &QAbstractItemModel::dataChanged);
    TMVCNode* b1 = tree_->Root().ChildAt(1)->ChildAt(0);

    // The current state: nothing happens, not even to the row.
    b1->SetCheckState(TCheckState::Unchecked);
    EXPECT_EQ(changed.count(), 0);

    // A new state goes into the row; the application above is left alone,
    // as only the user's own change runs the rules.
    b1->SetCheckState(TCheckState::Checked);
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(Shown(Row(1, 0)), Qt::Checked);
    EXPECT_EQ(Shown(Row(1)), Qt::Unchecked);

    tree_->CheckAll(TCheckState::Unchecked);
    EXPECT_EQ(window_.told, 0);
    EXPECT_EQ(Shown(Row(1, 0)), Qt::Unchecked);
}

TEST_F(ModelTreeViewTest, MakingRowsAfterARebuildChangesNoState)
{
    tree_->Root().ChildAt(0)->SetCheckState(TCheckState::Checked);
    tree_->Root().ChildAt(0)->ChildAt(2)->SetCheckState(TCheckState::Checked);
    const std::string before = States(tree_->Root());
    tree_->RebuildView();
    view_->expandAll();
    view_->scrollToBottom();
    for (int app = 0; app < model_->rowCount(); ++app)
        for (int f = 0; f < model_->rowCount(Row(app)); ++f)
            (void)Shown(Row(app, f));
    EXPECT_EQ(States(tree_->Root()), before);
    EXPECT_EQ(Shown(Row(0, 2)), Qt::Checked);
    EXPECT_EQ(Shown(Row(0, 0)), Qt::Unchecked);
}

TEST_F(ModelTreeViewTest, ARowWithoutANodeShowsADashAndIgnoresClicksAndChecks)
{
    // The control keeps its three rows while the model loses one.
    tree_->Root().FreeChild(2);
    const QModelIndex orphan = Row(2);
    ASSERT_TRUE(orphan.isValid());
    EXPECT_EQ(orphan.data().toString(), QStringLiteral("——"));
    EXPECT_FALSE(model_->flags(orphan) & Qt::ItemIsUserCheckable);
    EXPECT_FALSE(model_->setData(orphan, Qt::Checked, Qt::CheckStateRole));
    EXPECT_EQ(window_.told, 0);
    tree_->RebuildView();
    EXPECT_EQ(model_->rowCount(), 2);
}

TEST_F(ModelTreeViewTest, ChildrenAddedAndRemovedUnderAnOpenedRowReachTheView)
{
    view_->expandAll();
    TMVCNode* c = tree_->Root().ChildAt(2);
    ASSERT_NE(c->ViewRow(), nullptr);
    TMVCNode* added = c->AddChild();
    added->SetCaption("功能C1");
    EXPECT_TRUE(model_->hasChildren(Row(2)));
    EXPECT_EQ(Row(2, 0).data().toString(), QStringLiteral("功能C1"));
    c->FreeChild(0);
    EXPECT_EQ(model_->rowCount(Row(2)), 0);
}

TEST_F(ModelTreeViewTest, OnlyATextThatDoesNotFitShowsInATip)
{
    tree_->Root().ChildAt(1)->SetCaption(std::string(40, 'W') + "很长的应用名称");
    view_->resize(160, 200);
    view_->show();
    QApplication::processEvents();
    auto tipAt = [this](int row) {
        QToolTip::hideText();
        const QPoint at = view_->visualRect(Row(row)).center();
        QHelpEvent help(QEvent::ToolTip, at, view_->viewport()->mapToGlobal(at));
        QApplication::sendEvent(view_->viewport(), &help);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    EXPECT_EQ(tipAt(0), QString());
    EXPECT_EQ(tipAt(1), QString::fromStdString(tree_->Root().ChildAt(1)->Caption()));
    EXPECT_EQ(view_->font().pointSize(), 9);
    EXPECT_FALSE(view_->font().bold());
    EXPECT_EQ(view_->sizeHintForRow(0), TMVCItemModel::kRowHeight);
    QToolTip::hideText();
}

TEST_F(ModelTreeViewTest, DestroyingTheTreeLeavesTheViewEmpty)
{
    view_->expandAll();
    tree_.reset();
    EXPECT_EQ(model_->rowCount(), 0);
    EXPECT_EQ(model_->Tree(), nullptr);
}

} // namespace
} // namespace priv
