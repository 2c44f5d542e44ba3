// The function tree over the substitute host's application descriptors: which
// records get rows, how one company's grants show as ticks, and how ticks go
// back into the permission set.
#include "models/app_funcs_tree.h"
#include "store/permit.h"
#include "support/database_fixture.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace priv {
namespace {

using test::Backend;
using test::TestDatabase;

TEST(FunctionRecordFilterTest, SeparatorsAndVersionsAsOneTable)
{
    struct Case {
        const char* name;
        const char* versions;
        bool separator;
        bool passes50; // with the host's version-type code 50
    };
    const std::vector<Case> cases = {
        {"申报", "", false, true},       {"申报", "50", false, true},
        {"申报", "10,50", false, true},  {"申报", "50,100", false, true},
        {"申报", "100,50", false, true}, {"申报", "500", false, false},
        {"申报", "5", false, false},     {"申报", "150,500", false, false},
        {"申报", "5,0", false, false},   {"-", "", true, true},
        {"  -  ", "", true, true},       {"--", "", false, true},
        {"- -", "", false, true},        {" ", "", false, true},
        {"-申报", "", false, true},
    };
    for (const Case& c : cases) {
        FunctionRecord record;
        record.name = c.name;
        record.versions = c.versions;
        EXPECT_EQ(IsSeparatorRecord(record), c.separator) << '"' << c.name << '"';
        EXPECT_EQ(PassesVersionFilter(record, "50"), c.passes50) << c.versions;
    }
}

TEST(MarkCompaniesTest, MarksAsMarkDoesOneByOne)
{
    // Stored (unchanged), stored and removed, added in this pass.
    auto arrange = [](TRolePermissions& permissions) {
        permissions.AddCompany(kPermitUnchanged)->SetCode("1");
        permissions.AddCompany(kPermitRemoved)->SetCode("2");
        permissions.AddCompany(kPermitAdded)->SetCode("3");
        permissions.AddCompany(kPermitAdded)->SetCode("4");
        permissions.AddCompany(kPermitUnchanged)->SetCode("5");
    };
    auto listing = [](const TRolePermissions& permissions) {
        std::string out;
        for (int i = 0; i < permissions.Count(); ++i)
            out += permissions.Items(i)->GetCode() + ":" +
                   std::to_string(permissions.Items(i)->PermitState()) + " ";
        return out;
    };
    const std::vector<std::vector<std::pair<std::string, bool>>> cases = {
        {{"1", true}, {"2", true}, {"3", true}, {"4", true}, {"5", true}, {"6", true}, {"7", true}},
        {{"1", false}, {"2", false}, {"3", false}, {"4", false}, {"5", false}, {"6", false}},
        // Withdrawn and granted again, an empty code, a new one withdrawn.
        {{"3", false}, {"3", true}, {"", true}, {"8", true}, {"8", false}, {"1", false}, {"1", true}},
        {{"4", false}, {"9", true}, {"3", false}, {"9", true}},
    };
    for (const auto& marks : cases) {
        TRolePermissions oneByOne;
        arrange(oneByOne);
        for (const auto& [code, granted] : marks)
            oneByOne.Mark(code, granted);
        TRolePermissions atOnce;
        arrange(atOnce);
        MarkCompanies(atOnce, marks);
        EXPECT_EQ(listing(atOnce), listing(oneByOne));
    }
}

class AppFuncsTreeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder_.isValid());
        const std::string apps = folder_.path().toStdString() + "/apps.json";
        std::ofstream(apps) << R"({"versionType": "50",
  "mainFrame": {"code": "01", "product": "0100", "name": "主框架", "functions": [
    {"code": "M1", "name": "用户管理", "posts": "SYSTEM", "versions": ""},
    {"code": "M-", "name": " - ", "posts": "", "versions": ""},
    {"code": "M2", "name": "  权限 分配 ", "posts": "SYSTEM", "versions": "100,50"}]},
  "subApps": [
    {"code": "02", "product": "0200", "name": "增值税", "functions": [
      {"code": "F1", "name": "填写", "posts": "", "versions": ""},
      {"code": "F2", "name": "审核", "posts": "", "versions": "500"},
      {"code": "F3", "name": "申报", "posts": "", "versions": "10,50"},
      {"code": "F4", "name": "查询", "posts": "", "versions": "5"}]},
    {"code": "03", "product": "0300", "name": "所得税", "functions": [
      {"code": "G1", "name": "预缴", "posts": "", "versions": ""},
      {"code": "G2", "name": "汇算", "posts": "", "versions": ""}]}]})";
        db_ = std::make_unique<TestDatabase>(
            Backend::SQLite, [apps](fennix::Settings& settings) { settings.appsFile = apps; });
        ASSERT_TRUE(db_->Ok()) << db_->Error();
        tree_ = std::make_unique<TAppFuncsTree>(nullptr, nullptr);
        tree_->Build();
        ASSERT_NE(tree_->Model(), nullptr);
    }

    // "code:checked" of every node, depth first.
    std::string Ticks() const
    {
        std::string out;
        Walk(tree_->Model()->Root(), out);
        return out;
    }
    static void Walk(const TMVCNode& node, std::string& out)
    {
        for (int i = 0; i < node.ChildCount(); ++i) {
            const TMVCNode& child = *node.ChildAt(i);
            out += child.Code() + (child.IsChecked() ? ":1 " : ":0 ");
            Walk(child, out);
        }
    }
    TMVCNode& Node(const std::string& code) const
    {
        TMVCNode& root = tree_->Model()->Root();
        for (int i = 0; i < root.ChildCount(); ++i) {
            TMVCNode& app = *root.ChildAt(i);
            if (app.Code() == code)
                return app;
            for (int j = 0; j < app.ChildCount(); ++j)
                if (app.ChildAt(j)->Code() == code)
                    return *app.ChildAt(j);
        }
        ADD_FAILURE() << "no node " << code;
        return root;
    }

    QTemporaryDir folder_;
    std::unique_ptr<TestDatabase> db_;
    std::unique_ptr<TAppFuncsTree> tree_;
};

TEST_F(AppFuncsTreeTest, BuildsTheMainApplicationFirstWithoutSeparatorsOrOtherVersions)
{
    EXPECT_EQ(Ticks(), "01:0 M1:0 M2:0 02:0 F1:0 F3:0 03:0 G1:0 G2:0 ");
    const TMVCNode& main = Node("01");
    EXPECT_EQ(main.Caption(), "主框架");
    EXPECT_EQ(main.Kind(), kAppNodeKind);
    EXPECT_EQ(Node("M2").Caption(), "  权限 分配 "); // spaces kept
    EXPECT_EQ(Node("M2").Kind(), kFunctionNodeKind);
    EXPECT_EQ(Node("02").Caption(), "增值税");

    // A second build makes the model afresh.
    tree_->Build();
    EXPECT_EQ(Ticks(), "01:0 M1:0 M2:0 02:0 F1:0 F3:0 03:0 G1:0 G2:0 ");
}

TEST_F(AppFuncsTreeTest, ShowsACompanysGrants)
{
    TRolePermissions permissions;
    TCompPermit* all = permissions.AddCompany(kPermitUnchanged); // AllGranted from birth
    all->SetCode("1");
    TCompPermit* partial = permissions.AddCompany(kPermitUnchanged);
    partial->SetCode("2");
    partial->SetAllGranted(false);
    TAppPermit* vat = partial->AddSubApp(kPermitUnchanged);
    vat->SetCode("02");
    vat->AddFunction(kPermitUnchanged)->SetCode("F3");
    vat->AddFunction(kPermitRemoved)->SetCode("F1");
    // A removed application hides its functions with it.
    TAppPermit* income = partial->AddSubApp(kPermitRemoved);
    income->SetCode("03");
    income->AddFunction(kPermitUnchanged)->SetCode("G1");
    // An application entry of its own, without functions.
    partial->AddSubApp(kPermitAdded)->SetCode("01");

    struct Case {
        const TCompPermit* company;
        const char* ticks;
    };
    const std::vector<Case> cases = {
        {nullptr, "01:0 M1:0 M2:0 02:0 F1:0 F3:0 03:0 G1:0 G2:0 "},
        {all, "01:1 M1:1 M2:1 02:1 F1:1 F3:1 03:1 G1:1 G2:1 "},
        {partial, "01:1 M1:0 M2:0 02:1 F1:0 F3:1 03:0 G1:0 G2:0 "},
    };
    for (const Case& c : cases) {
        tree_->ResetChecks();
        tree_->ShowGrants(c.company);
        EXPECT_EQ(Ticks(), c.ticks);
    }
}

TEST_F(AppFuncsTreeTest, StoresEveryNodeCheckedAsTheWholeCompany)
{
    TRolePermissions permissions;
    TCompPermit* company = permissions.AddCompany(kPermitUnchanged);
    company->SetCode("1");
    company->SetAllGranted(false);
    TAppPermit* vat = company->AddSubApp(kPermitUnchanged);
    vat->SetCode("02");
    vat->AddFunction(kPermitUnchanged)->SetCode("F1");

    tree_->CheckAll(TCheckState::Checked);
    tree_->StoreGrants(permissions, "1", true);
    EXPECT_TRUE(company->AllGranted());
    EXPECT_EQ(company->PermitState(), kPermitUnchanged);
    ASSERT_EQ(company->Count(), 1);
    EXPECT_EQ(vat->PermitState(), kPermitUnchanged);
    EXPECT_EQ(vat->Count(), 1);
}

TEST_F(AppFuncsTreeTest, StoresSomeChecksAsAddedAndRemovedEntries)
{
    TRolePermissions permissions;
    TCompPermit* company = permissions.AddCompany(kPermitUnchanged); // grants everything
    company->SetCode("1");
    TAppPermit* vat = company->AddSubApp(kPermitUnchanged);
    vat->SetCode("02");
    TAppFuncPermit* f1 = vat->AddFunction(kPermitUnchanged);
    f1->SetCode("F1");
    TAppPermit* income = company->AddSubApp(kPermitUnchanged);
    income->SetCode("03");
    income->AddFunction(kPermitUnchanged)->SetCode("G1");

    Node("02").SetCheckState(TCheckState::Checked);
    Node("F3").SetCheckState(TCheckState::Checked);
    tree_->StoreGrants(permissions, "1", true);

    EXPECT_FALSE(company->AllGranted());
    EXPECT_EQ(vat->PermitState(), kPermitUnchanged);
    EXPECT_FALSE(vat->AllGranted());
    EXPECT_EQ(f1->PermitState(), kPermitRemoved);
    ASSERT_EQ(vat->Count(), 2);
    EXPECT_EQ(vat->Items(1)->GetCode(), "F3");
    EXPECT_EQ(vat->Items(1)->PermitState(), kPermitAdded);
    // A stored application that is no longer checked goes with its functions.
    EXPECT_EQ(income->PermitState(), kPermitRemoved);
    // Unchecked nodes without an entry add nothing.
    ASSERT_EQ(company->Count(), 2);
    EXPECT_EQ(permissions.FunctionState("M1"), 0);
}

TEST_F(AppFuncsTreeTest, StoresNothingForACompanyThatIsNotHandedBack)
{
    TRolePermissions permissions;
    TCompPermit* removed = permissions.AddCompany(kPermitUnchanged);
    removed->SetCode("2");
    tree_->CheckAll(TCheckState::Checked);
    Node("F1").SetCheckState(TCheckState::Unchecked);

    // Not granted and unknown: Mark hands back nothing, nothing is added.
    tree_->StoreGrants(permissions, "9", false);
    EXPECT_EQ(permissions.Count(), 1);
    // An empty company code: nothing either.
    tree_->StoreGrants(permissions, "", true);
    EXPECT_EQ(permissions.Count(), 1);
    // Unticked: marked removed and left alone beneath.
    tree_->StoreGrants(permissions, "2", false);
    EXPECT_EQ(removed->PermitState(), kPermitRemoved);
    EXPECT_TRUE(removed->AllGranted());
    EXPECT_EQ(removed->Count(), 0);
}

} // namespace
} // namespace priv
