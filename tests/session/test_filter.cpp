// The authorisation filter and the version step, on the host's own
// descriptors of the sample applications file.
#include "session_fixture.h"

#include "session/current_operator.h"
#include "session/export_calls.h"
#include "session/privilege_manager.h"

#include <map>
#include <set>
#include <stdexcept>

namespace priv::test {
namespace {

class FilterTest : public SignedInTest {
protected:
    void AdjustSettings(fennix::Settings& settings) override
    {
        settings.companyId = "1001";
        settings.versionType = "50";
    }

    void SignIn(const std::string& code)
    {
        TPrivilegeMgr manager;
        ASSERT_TRUE(manager.SignInWithoutWindow(code, "pw"));
        ASSERT_TRUE(manager.LoadUserInfo(code));
    }

    bool Filter(const std::string& products, std::string& message)
    {
        return CallFilterUserAuthrz("authedProdcList=" + products, message);
    }

    // The functions the filters left available, as "subapp/code".
    std::set<std::string> Available()
    {
        std::set<std::string> codes;
        for (const SubAppDescriptor* descriptor : fennix::AllDescriptors())
            for (const FunctionRecord& function : descriptor->functions)
                if (function.enabled)
                    codes.insert(descriptor->code + "/" + function.code);
        return codes;
    }

    // The functions the filters left unavailable, as "subapp/code".
    std::set<std::string> Unavailable()
    {
        std::set<std::string> codes;
        for (const SubAppDescriptor* descriptor : fennix::AllDescriptors())
            for (const FunctionRecord& function : descriptor->functions)
                if (!function.enabled)
                    codes.insert(descriptor->code + "/" + function.code);
        return codes;
    }

    static FunctionRecord& Function(const std::string& code)
    {
        for (SubAppDescriptor* descriptor : fennix::AllDescriptors())
            for (FunctionRecord& function : descriptor->functions)
                if (function.code == code)
                    return function;
        throw std::runtime_error("no function " + code);
    }

    std::set<std::string> Withdrawn()
    {
        const std::vector<std::string> products = fennix::WithdrawnProducts();
        return {products.begin(), products.end()};
    }

    // Functions cleared by the version step alone in version type "50".
    static bool OutsideVersion50(const std::string& code)
    {
        static const std::set<std::string> outside = {"02/02001-01-06-00-00", "02/02001-01-07-00-00",
                                                      "03/03001-01-06-00-00", "05/05001-01-06-00-00"};
        return outside.count(code) > 0;
    }
};

TEST_P(FilterTest, SuperAdministratorLosesOnlyWhatTheVersionLacks)
{
    ArrangeCompaniesAndPosts();
    AddOperator("admin", "0", "0");
    SignIn("admin");
    std::string message;
    ASSERT_TRUE(Filter("0200\n0300\n0500", message));
    EXPECT_TRUE(Withdrawn().empty());
    const std::set<std::string> available = Available();
    EXPECT_EQ(available.count("02/02001-01-06-00-00"), 0u); // version "100" only
    EXPECT_EQ(available.count("02/02001-01-07-00-00"), 0u); // version "500": ",50," is no part of ",500,"
    EXPECT_EQ(available.count("02/02001-01-01-00-00"), 1u); // "50,100"
    EXPECT_EQ(available.count("01/01005-01-02-00-00"), 1u); // the main frame's "50"
    // The disabled sub-application "04" is outside the version step.
    EXPECT_EQ(available.count("04/04001-01-03-00-00"), 1u);
}

TEST_P(FilterTest, StoredPostKeepsExactlyItsGrants)
{
    ArrangeCompaniesAndPosts();
    AddOperator("kuaiji", "GW00001");
    SignIn("kuaiji");
    std::string message;
    // "0200" twice is examined once; the main frame's "0100" is added. A code
    // that only begins like a granted one ("020") is not granted by it.
    ASSERT_TRUE(Filter("0200\r\n0300\n0200\n0500\n020", message)) << message;
    EXPECT_EQ(Withdrawn(), (std::set<std::string>{"020", "0300", "0500"}));
    std::set<std::string> expected = {"01/01003-01-20-00-00", "02/02001-01-01-00-00", "02/02001-01-05-00-00",
                                      "04/04001-01-01-00-00", "04/04001-01-02-00-00", "04/04001-01-03-00-00",
                                      "04/04001-01-04-00-00"};
    EXPECT_EQ(Available(), expected);
}

TEST_P(FilterTest, WholeCompanyGrantWithdrawsNothing)
{
    ArrangeCompaniesAndPosts();
    AddOperator("kuaiji", "GW00001");
    SwitchCompany("1002");
    SignIn("kuaiji");
    std::set<std::string> expected;
    for (const std::string& code : Available())
        if (!OutsideVersion50(code))
            expected.insert(code);
    std::string message;
    ASSERT_TRUE(Filter("0200\n0300", message));
    EXPECT_TRUE(Withdrawn().empty());
    EXPECT_EQ(Available(), expected);
}

TEST_P(FilterTest, BuiltInPostsAreFilteredAgainstTheirOwnSets)
{
    ArrangeCompaniesAndPosts();
    AddOperator("lina", "BUSINESS");
    SignIn("lina");
    std::string message;
    // "9900" has no sub-application: it is still withdrawn.
    ASSERT_TRUE(Filter("0200\n9900", message)) << message;
    EXPECT_EQ(Withdrawn(), (std::set<std::string>{"9900"}));
    const std::set<std::string> available = Available();
    EXPECT_EQ(available.count("02/02001-01-01-00-00"), 1u); // BUSINESS
    EXPECT_EQ(available.count("02/02001-01-03-00-00"), 1u); // SYSTEM,BUSINESS
    EXPECT_EQ(available.count("02/02001-01-05-00-00"), 0u); // no post named
    EXPECT_EQ(available.count("01/01003-01-20-00-00"), 1u); // main frame, SYSTEM,BUSINESS
    EXPECT_EQ(available.count("01/01003-01-07-00-00"), 0u); // main frame, SYSTEM only
}

TEST_P(FilterTest, AFunctionAlreadyWithdrawnIsLeftAlone)
{
    ArrangeCompaniesAndPosts();
    AddOperator("lina", "BUSINESS");
    SignIn("lina");
    std::string message;
    ASSERT_TRUE(Filter("0500", message));
    // "发票验旧" came disabled and hidden from the host and stays as it came;
    // "发票开具" is BUSINESS's and stays available.
    for (const SubAppDescriptor* descriptor : fennix::AllDescriptors()) {
        for (const FunctionRecord& function : descriptor->functions) {
            if (function.code == "05001-01-06-00-00") {
                EXPECT_FALSE(function.visible);
            }
            if (function.code == "05001-01-02-00-00") {
                EXPECT_TRUE(function.enabled && function.visible);
            }
        }
    }
}

// Where the post grants a product, a function the host already withdrew keeps
// its flags as they came; the other flag is not cleared after it. A product
// the post does not hold loses both flags of every function.
TEST_P(FilterTest, FlagsAreClearedOnlyWhereTheFilterWithdraws)
{
    ArrangeCompaniesAndPosts();
    AddOperator("lina", "BUSINESS");
    AddOperator("kuaiji", "GW00001");
    struct Case {
        const char* op;
        const char* products;
        const char* function;
        bool enabledBefore, visibleBefore;
        bool enabledAfter, visibleAfter;
    };
    const Case cases[] = {
        {"lina", "0500", "05001-01-04-00-00", false, true, false, true},   // no post named
        {"lina", "0500", "05001-01-01-00-00", false, true, false, true},   // BUSINESS's
        {"lina", "0500", "05001-01-05-00-00", true, true, false, false},   // SYSTEM's
        {"lina", "0500", "05001-01-03-00-00", true, false, true, false},   // BUSINESS's, hidden by the host
        {"kuaiji", "0200", "02001-01-03-00-00", false, true, false, true}, // not granted
        {"kuaiji", "0200", "02001-01-04-00-00", true, true, false, false},
        {"kuaiji", "0200", "02001-01-05-00-00", true, true, true, true},          // granted
        {"kuaiji", "0200\n0300", "03001-01-01-00-00", false, true, false, false}, // 0300 not held at all
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.op) + " " + c.function);
        ASSERT_TRUE(Db().Reopen({})); // the descriptors as the file gives them
        SignIn(c.op);
        FunctionRecord& function = Function(c.function);
        function.enabled = c.enabledBefore;
        function.visible = c.visibleBefore;
        std::string message;
        ASSERT_TRUE(Filter(c.products, message)) << message;
        EXPECT_EQ(function.enabled, c.enabledAfter);
        EXPECT_EQ(function.visible, c.visibleAfter);
    }
}

// The version step reaches the main frame and every enabled sub-application,
// and matches a version type only as a whole item of the list.
TEST_P(FilterTest, TheVersionStepWithdrawsWhatTheVersionLacks)
{
    const std::set<std::string> cameDisabled = {"05/05001-01-06-00-00"};
    struct Case {
        const char* versionType;
        std::set<std::string> withdrawn;
    };
    const Case cases[] = {
        {"50", {"02/02001-01-06-00-00", "02/02001-01-07-00-00", "03/03001-01-06-00-00"}},
        {"100",
         {"01/01005-01-02-00-00", "02/02001-01-02-00-00", "02/02001-01-07-00-00", "03/03001-01-02-00-00",
          "03/03001-01-04-00-00", "03/03001-01-06-00-00"}},
        {"10",
         {"01/01005-01-01-00-00", "01/01005-01-02-00-00", "02/02001-01-01-00-00", "02/02001-01-06-00-00",
          "02/02001-01-07-00-00", "03/03001-01-02-00-00", "03/03001-01-06-00-00", "05/05001-01-02-00-00"}},
        {"5",
         {"01/01005-01-01-00-00", "01/01005-01-02-00-00", "02/02001-01-01-00-00", "02/02001-01-02-00-00",
          "02/02001-01-06-00-00", "02/02001-01-07-00-00", "03/03001-01-02-00-00", "03/03001-01-04-00-00",
          "05/05001-01-02-00-00"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.versionType);
        ASSERT_TRUE(Db().Reopen([&](fennix::Settings& settings) { settings.versionType = c.versionType; }));
        std::string message;
        ASSERT_TRUE(CallFilterUserAuthrz("a=1", message)); // no list: the version step alone
        std::set<std::string> expected = c.withdrawn;
        expected.insert(cameDisabled.begin(), cameDisabled.end());
        EXPECT_EQ(Unavailable(), expected);
        for (const std::string& code : c.withdrawn)
            EXPECT_FALSE(Function(code.substr(3)).visible) << code;
    }
}

// A descriptor without a product is out of every product list's reach: the
// filter withdraws it whole instead of leaving it to every post.
TEST_P(FilterTest, ADescriptorWithoutAProductIsWithdrawnWhole)
{
    ArrangeCompaniesAndPosts();
    AddOperator("lina", "BUSINESS");
    AddOperator("admin", "0", "0");
    for (const char* op : {"lina", "admin"}) {
        SCOPED_TRACE(op);
        ASSERT_TRUE(Db().Reopen({}));
        SignIn(op);
        // The main frame without its product is not even added to the list.
        for (SubAppDescriptor* descriptor : fennix::AllDescriptors())
            if (descriptor->code == "01" || descriptor->code == "03")
                descriptor->product.clear();
        std::string message;
        ASSERT_TRUE(Filter("0200\n0500", message)) << message;
        const std::set<std::string> available = Available();
        const bool superAdministrator = std::string(op) == "admin";
        // The post filter leaves a super administrator everything.
        EXPECT_EQ(available.count("03/03001-01-01-00-00"), superAdministrator ? 1u : 0u);
        EXPECT_EQ(available.count("03/03001-01-03-00-00"), superAdministrator ? 1u : 0u);
        EXPECT_EQ(available.count("01/01003-01-20-00-00"), superAdministrator ? 1u : 0u);
        EXPECT_EQ(available.count("02/02001-01-01-00-00"), 1u);
        EXPECT_EQ(available.count("05/05001-01-01-00-00"), 1u);
        if (!superAdministrator) {
            for (const char* code : {"01", "03"})
                for (const FunctionRecord& function : fennix::Services().GetpSubAppInfo(code)->functions)
                    EXPECT_FALSE(function.enabled || function.visible) << function.code;
        }
    }
}

TEST_P(FilterTest, FailuresNameTheirReason)
{
    ArrangeCompaniesAndPosts();
    AddOperator("kuaiji", "GW00001");
    std::string message;
    // Signed in but no session published yet.
    {
        TPrivilegeMgr manager;
        ASSERT_TRUE(manager.SignInWithoutWindow("kuaiji", "pw"));
        manager.PublishCurrentOperator();
    }
    EXPECT_FALSE(Filter("0200", message));
    EXPECT_EQ(message, "[70018511]过滤用户系统权限发生错误。");

    SwitchCompany("2001");
    SignIn("kuaiji");
    message.clear();
    EXPECT_FALSE(Filter("0200", message));
    EXPECT_EQ(message, "[70018512]过滤用户系统权限发生错误。");
    EXPECT_TRUE(Withdrawn().empty());
    // The version step ran all the same.
    EXPECT_EQ(Available().count("02/02001-01-06-00-00"), 0u);
}

// What the current company grants is read when the filter first asks; when
// that read fails the filter says why and withdraws nothing, and the next
// filter reads it again.
TEST_P(FilterTest, GrantsThatCannotBeReadFailTheFilter)
{
    ArrangeCompaniesAndPosts();
    AddOperator("kuaiji", "GW00001");
    SignIn("kuaiji");
    std::string message;
    fennix::FailStatementsContaining("PRMS_TYPE='20'", 0, 1);
    EXPECT_FALSE(Filter("0200\n0300", message));
    EXPECT_EQ(message, "[70018501]过滤用户系统权限发生异常：[70018504]取用户权限范围出错。");
    EXPECT_TRUE(Withdrawn().empty());
    fennix::ClearStatementFailures();
    message.clear();
    ASSERT_TRUE(Filter("0200\n0300", message)) << message;
    EXPECT_EQ(Withdrawn(), (std::set<std::string>{"0300"}));
}

TEST_P(FilterTest, EmptyListRunsOnlyTheVersionStep)
{
    AddOperator("kuaiji", "GW00001");
    std::string message;
    EXPECT_TRUE(CallFilterUserAuthrz("a=1", message));
    EXPECT_TRUE(CallFilterUserAuthrz("authedProdcList=", message));
    EXPECT_TRUE(message.empty());
    for (const std::string& code : Available())
        EXPECT_FALSE(OutsideVersion50(code)) << code;
    // Blank lines are a list that names no product: the filter runs on it
    // (and finds no session for this operator yet).
    EXPECT_FALSE(CallFilterUserAuthrz("authedProdcList=\r\n", message));
    EXPECT_EQ(message, "[70018511]过滤用户系统权限发生错误。");
}

INSTANTIATE_TEST_SUITE_P(Backends, FilterTest, ::testing::ValuesIn(AvailableBackends()), BackendName);

} // namespace
} // namespace priv::test
