#include "store/permit.h"

#include "store_fixture.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace priv::test {
namespace {

// The tree lives in memory; the host is needed for its column splitter, its
// user record and its descriptors only.
class PermitModelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        db = std::make_unique<TestDatabase>(Backend::SQLite);
        ASSERT_TRUE(db->Ok()) << db->Error();
    }

    // Company 1 ("A": app "02" with functions F1, F2) and company 2 ("B":
    // app "03" with function F1), everything unchanged.
    void Build()
    {
        TCompPermit* a = post.AddCompany(kPermitUnchanged);
        a->SetTexts("1", "tax-1", "甲公司");
        TAppPermit* app = a->AddSubApp(kPermitUnchanged);
        app->SetCode("02");
        app->AddFunction(kPermitUnchanged)->SetCode("F1");
        app->AddFunction(kPermitUnchanged)->SetCode("F2");
        TCompPermit* b = post.AddCompany(kPermitUnchanged);
        b->SetTexts("2", "tax-2", "乙公司");
        TAppPermit* other = b->AddSubApp(kPermitUnchanged);
        other->SetCode("03");
        other->AddFunction(kPermitUnchanged)->SetCode("F1");
    }

    std::unique_ptr<TestDatabase> db;
    TRolePermissions post;
};

struct MarkCase {
    const char* name;
    int initialState; // -1: no such child
    bool granted;
    bool returned;
    int stateAfter; // -1: no such child afterwards
};

TEST_F(PermitModelTest, MarkMovesChildrenBetweenTheStates)
{
    const std::vector<MarkCase> cases = {
        {"absent, granted: added", -1, true, true, kPermitAdded},
        {"absent, withdrawn: stays absent", -1, false, false, -1},
        {"unchanged, granted: unchanged", kPermitUnchanged, true, true, kPermitUnchanged},
        {"unchanged, withdrawn: removed", kPermitUnchanged, false, true, kPermitRemoved},
        {"removed, granted: unchanged again", kPermitRemoved, true, true, kPermitUnchanged},
        {"removed, withdrawn: removed", kPermitRemoved, false, true, kPermitRemoved},
        {"added, granted: stays added and is handed back", kPermitAdded, true, true, kPermitAdded},
        {"added, withdrawn: dropped", kPermitAdded, false, false, -1},
    };
    for (const MarkCase& c : cases) {
        SCOPED_TRACE(c.name);
        TRolePermissions root;
        root.AddCompany(kPermitUnchanged)->SetCode("9");
        if (c.initialState >= 0) {
            TCompPermit* company = root.AddCompany(c.initialState);
            company->SetCode("7");
            company->SetName("七");
        }
        TCompPermit* marked = root.Mark("7", c.granted);
        EXPECT_EQ(marked != nullptr, c.returned);
        TCompPermit* found = root.FindCompany("7");
        if (c.stateAfter < 0) {
            EXPECT_EQ(found, nullptr);
            EXPECT_EQ(root.Count(), 1);
        } else {
            ASSERT_NE(found, nullptr);
            EXPECT_EQ(found, marked);
            EXPECT_EQ(found->PermitState(), c.stateAfter);
            EXPECT_EQ(root.Count(), 2);
        }
        EXPECT_EQ(root.Items(0)->PermitState(), kPermitUnchanged) << "other children are not touched";
    }
}

TEST_F(PermitModelTest, MarkAddsWithTheCodeAsFirstTextAndRecordsBeneathAnAddedNode)
{
    TCompPermit* company = post.Mark("42", true);
    ASSERT_NE(company, nullptr);
    EXPECT_EQ(company->CompanyId(), "42");
    EXPECT_EQ(company->TaxNumber(), "");
    EXPECT_EQ(company->GetName(), "");
    EXPECT_TRUE(company->AllGranted()) << "a new company grants everything until told otherwise";
    EXPECT_EQ(company->PermitType(), "10");

    company->SetAllGranted(false);
    TAppPermit* app = company->Mark("02", true);
    ASSERT_NE(app, nullptr);
    EXPECT_EQ(app->PermitType(), "20");
    EXPECT_FALSE(app->AllGranted());
    TAppFuncPermit* function = app->Mark("F1", true);
    ASSERT_NE(function, nullptr);
    EXPECT_EQ(function->PermitType(), "30");
    EXPECT_EQ(post.Mark("42", true), company) << "granting an added company again hands it back";
    EXPECT_EQ(company->Items(0)->Items(0), function);

    // Taking the grant back before saving drops the company with its subtree.
    EXPECT_EQ(post.Mark("42", false), nullptr);
    EXPECT_EQ(post.Count(), 0);
    EXPECT_EQ(post.Mark("", true), nullptr) << "an empty code marks nothing";
    EXPECT_EQ(post.Count(), 0);
}

// The state, the kind and the flag are bytes beside the codes: writing one
// field of a node leaves the others and its type as they were.
TEST_F(PermitModelTest, EveryNodeKeepsItsFieldsApart)
{
    TRolePermissions root;
    TCompPermit* company = root.AddCompany(kPermitAdded);
    TAppPermit* app = company->AddSubApp(kPermitRemoved);
    TAppFuncPermit* function = app->AddFunction(kPermitUnchanged);
    const struct {
        TAbstractPermit* node;
        const char* type;
        bool allGranted;
    } nodes[] = {{&root, "", false}, {company, "10", true}, {app, "20", false}, {function, "30", false}};
    for (const auto& n : nodes) {
        SCOPED_TRACE(n.type);
        EXPECT_EQ(n.node->AllGranted(), n.allGranted) << "as the class is made";
        for (const std::int32_t state : {kPermitRemoved, kPermitAdded, kPermitUnchanged}) {
            n.node->SetPermitCode(std::numeric_limits<std::int32_t>::max());
            n.node->SetParentCode(std::numeric_limits<std::int32_t>::min());
            n.node->SetAllGranted(!n.allGranted);
            n.node->SetPermitState(state);
            EXPECT_EQ(n.node->PermitState(), state);
            EXPECT_EQ(n.node->PermitCode(), std::numeric_limits<std::int32_t>::max());
            EXPECT_EQ(n.node->ParentCode(), std::numeric_limits<std::int32_t>::min());
            EXPECT_EQ(n.node->AllGranted(), !n.allGranted);
            EXPECT_EQ(n.node->PermitType(), n.type);
            n.node->SetPermitCode(-1);
            n.node->SetAllGranted(n.allGranted);
            EXPECT_EQ(n.node->PermitState(), state);
            EXPECT_EQ(n.node->ParentCode(), std::numeric_limits<std::int32_t>::min());
            EXPECT_EQ(n.node->PermitType(), n.type);
        }
    }
    EXPECT_EQ(root.Items(0), company);
    EXPECT_EQ(company->Items(0), app);
    EXPECT_EQ(app->Items(0), function);
}

TEST_F(PermitModelTest, ItemsAnswersNoneOutsideTheList)
{
    Build();
    EXPECT_EQ(post.Count(), 2);
    EXPECT_EQ(post.Items(-1), nullptr);
    EXPECT_EQ(post.Items(2), nullptr);
    EXPECT_NE(post.Items(1), nullptr);
    TAbstractPermit* function = post.Items(0)->Items(0)->Items(0);
    ASSERT_NE(function, nullptr);
    EXPECT_EQ(function->Count(), 0);
    EXPECT_EQ(function->Items(0), nullptr);
    EXPECT_EQ(function->Mark("F1", true), nullptr);
    function->Clear();
    EXPECT_EQ(function->GetCode(), "F1") << "clearing a function node does nothing";
    post.Items(0)->Clear();
    EXPECT_EQ(post.Items(0)->Count(), 0);
}

TEST_F(PermitModelTest, FindCompanyAndFunctionState)
{
    Build();
    post.Items(1)->SetPermitState(kPermitRemoved);
    EXPECT_EQ(post.FindCompany("2"), post.Items(1)) << "found whatever its state";
    EXPECT_EQ(post.FindCompany(""), nullptr);
    EXPECT_EQ(post.FindCompany("3"), nullptr);

    EXPECT_EQ(post.FunctionState(""), 0);
    EXPECT_EQ(post.FunctionState("F9"), 0);
    EXPECT_EQ(post.FunctionState("1"), 0) << "the companies' own codes are not compared";
    EXPECT_EQ(post.FunctionState("F2"), 1);
    EXPECT_EQ(post.FunctionState("03"), 1);

    // F1 is under both companies: the first company decides.
    post.Items(1)->Items(0)->Items(0)->SetPermitState(kPermitRemoved);
    EXPECT_EQ(post.FunctionState("F1"), 1);
    post.Items(0)->Items(0)->Items(0)->SetPermitState(kPermitRemoved);
    EXPECT_EQ(post.FunctionState("F1"), 2);
    post.Items(0)->Items(0)->Items(0)->SetPermitState(kPermitAdded);
    EXPECT_EQ(post.FunctionState("F1"), 1);
}

TEST_F(PermitModelTest, FunctionStateComparesANodeBeforeItsChildren)
{
    // A sub-application whose code equals a function code further down:
    // the sub-application is met first.
    TCompPermit* company = post.AddCompany(kPermitUnchanged);
    TAppPermit* app = company->AddSubApp(kPermitRemoved);
    app->SetCode("X");
    app->AddFunction(kPermitUnchanged)->SetCode("Y");
    TAppPermit* later = company->AddSubApp(kPermitUnchanged);
    later->SetCode("Z");
    later->AddFunction(kPermitUnchanged)->SetCode("X");
    EXPECT_EQ(post.FunctionState("X"), 2);
}

TEST_F(PermitModelTest, ReadFunctionItemsReplacesTheFunctions)
{
    TAppPermit app;
    app.AddFunction(kPermitRemoved)->SetCode("old");
    ASSERT_TRUE(app.ReadFunctionItems({"12|5|F1=开票", "13|5|F2=a=b=c", "0|0|F3="}));
    ASSERT_EQ(app.Count(), 3);
    const TAppFuncPermit* first = app.Items(0);
    EXPECT_EQ(first->PermitCode(), 12);
    EXPECT_EQ(first->ParentCode(), 5);
    EXPECT_EQ(first->FunctionCode(), "F1");
    EXPECT_EQ(first->FunctionName(), "开票");
    EXPECT_EQ(first->PermitState(), kPermitUnchanged);
    EXPECT_EQ(app.Items(1)->FunctionName(), "a=b=c") << "everything after the first '=' is the name";
    EXPECT_EQ(app.Items(2)->FunctionCode(), "F3");
    EXPECT_EQ(app.Items(2)->FunctionName(), "");
}

TEST_F(PermitModelTest, TextsAreCutAndChangingOneNodeLeavesItsSharersAlone)
{
    TAppPermit app;
    TAppFuncPermit* a = app.AddFunction(kPermitUnchanged);
    TAppFuncPermit* b = app.AddFunction(kPermitUnchanged);
    PermitTextPool pool;
    a->ShareTexts(pool.Function("F1", "开票"));
    b->ShareTexts(pool.Function("F1", "开票"));
    b->SetName("改");
    EXPECT_EQ(a->FunctionName(), "开票");
    EXPECT_EQ(b->FunctionName(), "改");
    EXPECT_EQ(b->FunctionCode(), "F1");

    std::string longName;
    for (int i = 0; i < 130; ++i)
        longName += "票";
    a->SetName(longName);
    EXPECT_EQ(HostBytes(a->FunctionName()), 254u);
    EXPECT_EQ(pool.Function("F9", longName)->at(1), a->FunctionName());
}

TEST_F(PermitModelTest, IsSignedInPostReadsTheOperatorCategoryText)
{
    post.SetPostCode("GW00001");
    EXPECT_FALSE(post.IsSignedInPost()) << "no signed-in operator";
    RecordEntry& category = CurrentHost().GetUserInfoVO().Append("CZY_LB");
    category.kind = EntryKind::Text;
    category.text = "GW00001";
    EXPECT_TRUE(post.IsSignedInPost());
    category.text = "gw00001";
    EXPECT_FALSE(post.IsSignedInPost()) << "codes compare exactly";
    category.text = "";
    TRolePermissions empty;
    EXPECT_FALSE(empty.IsSignedInPost()) << "an empty post is no one's";
}

TEST_F(PermitModelTest, SubApplicationCodesEndWithTheMainFrame)
{
    TextList codes{"stale"};
    GetCompanySubAppCodes(codes);
    EXPECT_EQ(codes, (TextList{"02", "03", "04", "05", "01"}));
    ASSERT_NE(FindSubAppDescriptor("01"), nullptr);
    EXPECT_EQ(FindSubAppDescriptor("01"), CurrentHost().GetMainFrameInfo());
    EXPECT_EQ(FindSubAppDescriptor("99"), nullptr);
}

TEST_F(PermitModelTest, BuiltInFunctionItemsFollowThePostsOfEachFunction)
{
    TextList items{"stale"};
    ReadBuiltInFunctionItems("02", "SYSTEM", items, false);
    EXPECT_EQ(items, (TextList{"0|0|02001-01-03-00-00=申报表审核"}))
        << "in 'SYSTEM,BUSINESS'; empty posts left out";
    ReadBuiltInFunctionItems("02", "BUSINESS", items, false);
    EXPECT_EQ(items.size(), 6u);
    ReadBuiltInFunctionItems("02", "SYSTEM", items, true);
    EXPECT_EQ(items.size(), 7u) << "every function, the one without posts included";
    EXPECT_EQ(items[4], "0|0|02001-01-05-00-00=申报查询");
    ReadBuiltInFunctionItems("99", "SYSTEM", items, true);
    EXPECT_TRUE(items.empty());
}

} // namespace
} // namespace priv::test
