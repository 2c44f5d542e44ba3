// The signed-in operator in the host's user-information record and the
// session object the host calls.
#include "session_fixture.h"

#include "boundary/datetime.h"
#include "cipher/crypt.h"
#include "session/named_values.h"
#include "session/privilege_manager.h"
#include "session/session.h"
#include "store/permit.h"
#include "store/post_store.h"

#include <algorithm>

namespace priv::test {
namespace {

class SessionTest : public SignedInTest {
protected:
    HostRecord& UserRecord() { return Host().GetUserInfoVO(); }

    TPSession* Session() { return static_cast<TPSession*>(GetObjectValue(UserRecord(), "TPSession")); }

    bool InitGlobalUserInfo(const std::string& code)
    {
        TPrivilegeMgr manager;
        return manager.LoadUserInfo(code);
    }

    int CountRows(const std::string& sql) { return std::stoi(Db().Scalar(sql)); }
};

TEST_P(SessionTest, PublishesTheOperatorUnderCaseInsensitiveNames)
{
    AddOperator("admin", "BUSINESS", "0");
    ASSERT_TRUE(InitGlobalUserInfo("admin"));
    // Category "0" makes a super administrator, whatever post row links him.
    EXPECT_EQ(GetTextValue(UserRecord(), "czy_dm"), "admin");
    EXPECT_EQ(GetTextValue(UserRecord(), "CZY_LB"), "0");
    EXPECT_EQ(GetTextValue(UserRecord(), "jsm_mc"), "超级管理员");
    EXPECT_EQ(GetTextValue(UserRecord(), "CZY_MC"), "操作员admin");
    EXPECT_EQ(GetTextValue(UserRecord(), "YXBZ"), "Y");
    EXPECT_FALSE(InitGlobalUserInfo("nobody"));
}

TEST_P(SessionTest, KeepsOneSessionObjectAcrossInitCalls)
{
    ArrangeCompaniesAndPosts();
    AddOperator("kuaiji", "GW00001");
    ASSERT_TRUE(InitGlobalUserInfo("kuaiji"));
    TPSession* first = Session();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->CompanyCount(), 2);

    // A grant made meanwhile shows after the second call, in the same object.
    ASSERT_TRUE(Db().Exec(
        "DELETE FROM QX_ROLEPRMS WHERE PRMS_DM IN (SELECT PRMS_DM FROM QX_PRMSMAP WHERE DYDM='1002')"));
    ASSERT_TRUE(InitGlobalUserInfo("kuaiji"));
    EXPECT_EQ(Session(), first);
    EXPECT_EQ(first->CompanyCount(), 1);
    EXPECT_EQ(ModuleSession(), first);
}

namespace {
int liveObjects = 0;
struct Tracked {
    Tracked() { ++liveObjects; }
    ~Tracked() { --liveObjects; }
    static void Release(void* object) { delete static_cast<Tracked*>(object); }
};
} // namespace

TEST_P(SessionTest, OwnedObjectsAreFreedOnlyWhenReplacedByAnother)
{
    auto* first = new Tracked;
    SetOwnedObjectValue(UserRecord(), "TPSession", first, &Tracked::Release);
    SetOwnedObjectValue(UserRecord(), "tpsession", first, &Tracked::Release);
    EXPECT_EQ(liveObjects, 1);
    EXPECT_EQ(GetObjectValue(UserRecord(), "TPSession"), first);
    SetOwnedObjectValue(UserRecord(), "TPSession", new Tracked, &Tracked::Release);
    EXPECT_EQ(liveObjects, 1);
    SetTextValue(UserRecord(), "TPSession", "text now");
    EXPECT_EQ(liveObjects, 0);
    EXPECT_EQ(GetIntegerValue(UserRecord(), "TPSession", 0), 0);
    EXPECT_EQ(GetTextValue(UserRecord(), "missing", "fallback"), "fallback");
}

TEST_P(SessionTest, LastLoginTextAndItsUpdate)
{
    AddOperator("lina", "BUSINESS");
    ASSERT_TRUE(InitGlobalUserInfo("lina"));
    EXPECT_EQ(Session()->GetLastLoginText(), "——");

    const double moment = EncodeDateTime({2024, 3, 5, 14, 7, 59});
    fennix::SetNow(moment);
    Session()->UpdateLastLoginTime();
    ASSERT_TRUE(InitGlobalUserInfo("lina"));
    EXPECT_EQ(Session()->GetLastLoginText(), "2024-03-05 14:07");
    SetNumberValue(UserRecord(), "ZHDLSJ", moment);
    EXPECT_EQ(Session()->GetLastLoginText(), "2024-03-05 14:07");
    fennix::SetNow(std::nullopt);
}

TEST_P(SessionTest, CompanyListsFollowThePermissions)
{
    ArrangeCompaniesAndPosts();
    AddOperator("kuaiji", "GW00001");
    SwitchCompany("1001");
    ASSERT_TRUE(InitGlobalUserInfo("kuaiji"));
    std::vector<std::string> list = {"stale"};
    EXPECT_TRUE(Session()->ListCompanies(list));
    EXPECT_EQ(list, (std::vector<std::string>{"1001", "1002"}));

    // Always answers false; the list is what the host reads.
    EXPECT_FALSE(Session()->ListCompanyProducts("key", list));
    EXPECT_EQ(list, (std::vector<std::string>{"0200", "0100"}));
    EXPECT_FALSE(Session()->ListCompanyProducts("", list));
    EXPECT_TRUE(list.empty());
    std::string company;
    Session()->GetCompanyId(company);
    EXPECT_EQ(company, "1001");
}

// Every company with its sub-applications and functions, one line each.
std::string Outline(const TRolePermissions& permissions)
{
    std::string text;
    for (int c = 0; c < permissions.Count(); ++c) {
        const TCompPermit* company = permissions.Items(c);
        text +=
            company->CompanyId() + " " + company->CompanyName() + (company->AllGranted() ? " all" : "") + ":";
        for (int a = 0; a < company->Count(); ++a) {
            text += " " + company->Items(a)->ProductCode() + "[";
            for (int f = 0; f < company->Items(a)->Count(); ++f)
                text += " " + company->Items(a)->Items(f)->FunctionCode();
            text += " ]";
        }
        text += "\n";
    }
    return text;
}

std::size_t CountContaining(const std::vector<std::string>& statements, const std::string& fragment)
{
    return static_cast<std::size_t>(
        std::count_if(statements.begin(), statements.end(),
                      [&](const std::string& s) { return s.find(fragment) != std::string::npos; }));
}

// A sign-in works in one company: the session reads the post's companies and
// what a company grants only when that company is asked about; whoever asks
// for the whole tree gets what a full load gives.
TEST_P(SessionTest, ACompanysGrantsAreReadWhenFirstAskedFor)
{
    ArrangeCompaniesAndPosts();
    AddOperator("kuaiji", "GW00001");
    SwitchCompany("1001");
    fennix::ClearExecutedStatements();
    ASSERT_TRUE(InitGlobalUserInfo("kuaiji"));
    EXPECT_EQ(CountContaining(fennix::ExecutedStatements(), "XT_QYXX"), 0u) << "no company is read yet";
    EXPECT_EQ(CountContaining(fennix::ExecutedStatements(), "PRMS_TYPE='20'"), 0u);
    EXPECT_EQ(Session()->CompanyCount(), 2);

    std::vector<std::string> products;
    Session()->ListCompanyProducts("key", products);
    EXPECT_EQ(products, (std::vector<std::string>{"0200", "0100"}));
    const std::vector<std::string> read = fennix::ExecutedStatements();
    EXPECT_EQ(CountContaining(read, "PRMS_TYPE='20'"), 2u) << "the sub-applications and the functions";
    const auto node = [this](const char* companyId) {
        return "t1.PRMS_DM=" +
               Db().Scalar(std::string("SELECT PRMS_DM FROM QX_PRMSMAP WHERE DYDM='") + companyId + "'");
    };
    EXPECT_EQ(CountContaining(read, node("1001")), 3u) << "the post still holds it, and the two reads";
    EXPECT_EQ(CountContaining(read, node("1002")), 0u) << "the other company is not read";
    Session()->ListCompanyProducts("key", products);
    EXPECT_EQ(CountContaining(fennix::ExecutedStatements(), "PRMS_TYPE='20'"), 2u) << "read once";

    TRolePermissions loaded;
    ASSERT_TRUE(TRolesMgr().LoadPostPermissions("GW00001", &loaded));
    EXPECT_EQ(Outline(*Session()->GetPermissions()), Outline(loaded));
    EXPECT_EQ(Outline(loaded),
              "1001 华东机械: 0200[ 02001-01-01-00-00 02001-01-05-00-00 ] 0100[ 01003-01-20-00-00 ]\n"
              "1002 南粤电子 all:\n");
}

// Between the sign-in and the first question about a company, another
// workstation may withdraw it, or the database may fail: neither may leave
// the company looking wholly granted.
TEST_P(SessionTest, ACompanyWithdrawnOrUnreadableAfterTheSignInGrantsNothing)
{
    ArrangeCompaniesAndPosts();
    AddOperator("kuaiji", "GW00001");
    SwitchCompany("1001");
    ASSERT_TRUE(InitGlobalUserInfo("kuaiji"));
    auto* session = static_cast<TPSessionImpl*>(Session());

    fennix::FailStatementsContaining("PRMS_TYPE='30'", 0, 1);
    TCompPermit* company = nullptr;
    EXPECT_FALSE(session->FindCompanyWithGrants("1001", company));
    EXPECT_EQ(company, nullptr);
    const std::vector<std::string> lines = Db().LogLines();
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
        return line.find("[70018504]取用户权限范围出错。") != std::string::npos;
    }));
    fennix::ClearStatementFailures();
    ASSERT_TRUE(session->FindCompanyWithGrants("1001", company)) << "read again on the next question";
    ASSERT_NE(company, nullptr);
    EXPECT_EQ(company->Count(), 2);

    WithdrawElsewhere("1002");
    ASSERT_TRUE(session->FindCompanyWithGrants("1002", company));
    EXPECT_EQ(company, nullptr) << "no longer held by the post";
    std::vector<std::string> companies;
    Session()->ListCompanies(companies);
    EXPECT_EQ(companies, std::vector<std::string>{"1001"});
}

// Until something lists or counts the post's companies, each is read on its
// own when it is asked about. The list then keeps those asked about as they
// were read, even one the post has let go of since, in the list's order.
TEST_P(SessionTest, CompaniesAreReadOneAtATimeUntilTheyAreListed)
{
    ArrangeCompaniesAndPosts();
    AddOperator("kuaiji", "GW00001");
    SwitchCompany("1002");
    ASSERT_TRUE(InitGlobalUserInfo("kuaiji"));
    auto* session = static_cast<TPSessionImpl*>(Session());

    fennix::ClearExecutedStatements();
    TCompPermit* company = nullptr;
    ASSERT_TRUE(session->FindCompanyWithGrants("1002", company));
    ASSERT_NE(company, nullptr);
    EXPECT_TRUE(company->AllGranted());
    ASSERT_TRUE(session->FindCompanyWithGrants("2001", company));
    EXPECT_EQ(company, nullptr) << "not the post's";
    ASSERT_TRUE(session->FindCompanyWithGrants("1002x", company));
    EXPECT_EQ(company, nullptr) << "no company's id";
    const std::vector<std::string> read = fennix::ExecutedStatements();
    EXPECT_EQ(CountContaining(read, "XT_QYXX"), 2u) << "1002 and 2001, each once";
    EXPECT_EQ(CountContaining(read, "t3.KZDM=1002"), 1u);
    EXPECT_EQ(CountContaining(read, "t3.KZDM=2001"), 1u);

    WithdrawElsewhere("1002");
    std::vector<std::string> companies;
    ASSERT_TRUE(Session()->ListCompanies(companies));
    EXPECT_EQ(companies, (std::vector<std::string>{"1001", "1002"}));
    ASSERT_TRUE(session->FindCompanyWithGrants("1002", company));
    ASSERT_NE(company, nullptr) << "as it was read";
    EXPECT_TRUE(company->AllGranted());
    ASSERT_TRUE(session->FindCompanyWithGrants("1001", company));
    ASSERT_NE(company, nullptr) << "read from the list";
    EXPECT_FALSE(company->AllGranted());
    EXPECT_EQ(company->Count(), 2);
}

// The products of a company entry, in order.
std::vector<std::string> Products(const TCompPermit* company)
{
    std::vector<std::string> products;
    for (int i = 0; company && i < company->Count(); ++i)
        products.push_back(company->Items(i)->ProductCode());
    return products;
}

// GetPermissions reads every company not read yet in one go. A read that
// fails changes nothing: the companies stay, each read when it is asked about.
TEST_P(SessionTest, AWholeTreeReadThatFailsKeepsTheCompanies)
{
    ArrangeCompaniesAndPosts();
    AddOperator("kuaiji", "GW00001");
    SwitchCompany("1001");
    ASSERT_TRUE(InitGlobalUserInfo("kuaiji"));

    fennix::FailStatementsContaining("PRMS_TYPE='20'", 0, 1);
    Session()->GetPermissions();
    EXPECT_EQ(Session()->CompanyCount(), 2);
    const std::vector<std::string> lines = Db().LogLines();
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
        return line.find("[70018504]取用户权限范围出错。") != std::string::npos;
    }));
    std::vector<std::string> products;
    Session()->ListCompanyProducts("key", products);
    EXPECT_EQ(products, (std::vector<std::string>{"0200", "0100"})) << "the current company is still granted";

    TRolePermissions loaded;
    ASSERT_TRUE(TRolesMgr().LoadPostPermissions("GW00001", &loaded));
    EXPECT_EQ(Outline(*Session()->GetPermissions()), Outline(loaded)) << "read whole on the next call";
}

// Another workstation withdraws both companies after the sign-in and grants
// them again: each now stands under a new node. Whether the filter asks
// about a company or GetPermissions reads it, the session finds the new node.
TEST_P(SessionTest, ACompanyGrantedAgainElsewhereAfterTheSignInIsStillGranted)
{
    ArrangeCompaniesAndPosts();
    AddOperator("kuaiji", "GW00001");
    SwitchCompany("1001");
    ASSERT_TRUE(InitGlobalUserInfo("kuaiji"));
    const std::string nodesBefore = Db().Scalar("SELECT MAX(PRMS_DM) FROM QX_PRMSMAP WHERE PRMS_TYPE='10'");
    {
        TRolesMgr other;
        TRolePermissions theirs;
        std::string message;
        ASSERT_TRUE(other.LoadPostPermissions("GW00001", &theirs));
        theirs.Mark("1001", false);
        theirs.Mark("1002", false);
        ASSERT_TRUE(other.SavePostPermissions(&theirs, message)) << message;
        ASSERT_TRUE(other.LoadPostPermissions("GW00001", &theirs));
        TCompPermit* partly = theirs.Mark("1001", true);
        partly->SetAllGranted(false);
        partly->Mark("02", true)->Mark("02001-01-05-00-00", true);
        theirs.Mark("1002", true);
        ASSERT_TRUE(other.SavePostPermissions(&theirs, message)) << message;
    }
    ASSERT_EQ(Db().Scalar("SELECT COUNT(*) FROM QX_PRMSMAP WHERE PRMS_TYPE='10' AND PRMS_DM<=" + nodesBefore),
              "0");

    // The filter's road: the current company.
    std::vector<std::string> products;
    Session()->ListCompanyProducts("key", products);
    EXPECT_EQ(products, std::vector<std::string>{"0200"});
    // GetPermissions' road: the company not read yet.
    TRolePermissions loaded;
    ASSERT_TRUE(TRolesMgr().LoadPostPermissions("GW00001", &loaded));
    EXPECT_EQ(Outline(*Session()->GetPermissions()), Outline(loaded));
    EXPECT_EQ(Outline(loaded), "1001 华东机械: 0200[ 02001-01-05-00-00 ]\n1002 南粤电子 all:\n");
    EXPECT_EQ(Session()->CompanyCount(), 2);
}

// What a company grants is read the first time it is asked about and kept
// until the next sign-in: a change made elsewhere after that shows neither
// in the tree GetPermissions hands out nor in the filter, while a company
// not asked about yet is read as it is stored when GetPermissions reads it.
TEST_P(SessionTest, GetPermissionsAndTheFilterAgreeAboutACompanyAlreadyRead)
{
    ArrangeCompaniesAndPosts();
    AddOperator("kuaiji", "GW00001");
    SwitchCompany("1001");
    ASSERT_TRUE(InitGlobalUserInfo("kuaiji"));
    auto* session = static_cast<TPSessionImpl*>(Session());
    std::vector<std::string> products;
    session->ListCompanyProducts("key", products);
    ASSERT_EQ(products, (std::vector<std::string>{"0200", "0100"}));

    // Another workstation withdraws "02" in 1001 and narrows 1002 to "03".
    {
        TRolesMgr other;
        TRolePermissions theirs;
        std::string message;
        ASSERT_TRUE(other.LoadPostPermissions("GW00001", &theirs));
        theirs.FindCompany("1001")->Mark("02", false);
        TCompPermit* narrowed = theirs.FindCompany("1002");
        narrowed->SetAllGranted(false);
        narrowed->Mark("03", true)->Mark("03001-01-01-00-00", true);
        ASSERT_TRUE(other.SavePostPermissions(&theirs, message)) << message;
    }

    fennix::ClearExecutedStatements();
    TRolePermissions* tree = session->GetPermissions();
    EXPECT_EQ(CountContaining(fennix::ExecutedStatements(), "XT_QYXX"), 1u)
        << "the companies not listed yet are read with their grants in one load";
    TCompPermit* asked = nullptr;
    ASSERT_TRUE(session->FindCompanyWithGrants("1001", asked));
    EXPECT_EQ(asked, tree->FindCompany("1001"));
    EXPECT_EQ(Products(tree->FindCompany("1001")), (std::vector<std::string>{"0200", "0100"}))
        << "as the filter read it";
    session->ListCompanyProducts("key", products);
    EXPECT_EQ(products, Products(tree->FindCompany("1001")));
    EXPECT_EQ(Products(tree->FindCompany("1002")), std::vector<std::string>{"0300"}) << "read as stored now";

    // Signing in again shows the change on both roads.
    ASSERT_TRUE(InitGlobalUserInfo("kuaiji"));
    session->ListCompanyProducts("key", products);
    EXPECT_EQ(products, std::vector<std::string>{"0100"});
    EXPECT_EQ(Products(session->GetPermissions()->FindCompany("1001")), products);
}

TEST_P(SessionTest, GrantAndRevokeACompany)
{
    ArrangeCompaniesAndPosts();
    AddOperator("wangfang", "AUDITOR");
    ASSERT_TRUE(InitGlobalUserInfo("wangfang"));
    TPSession* session = Session();
    EXPECT_EQ(session->CompanyCount(), 0);

    // The auditor's grants are stored like a created post's.
    ASSERT_TRUE(session->GrantCompany("1002"));
    EXPECT_EQ(session->CompanyCount(), 1);
    EXPECT_EQ(CountRows("SELECT COUNT(*) FROM QX_ROLEPRMS WHERE JS_DM='AUDITOR'"), 1);
    EXPECT_EQ(Db().Scalar("SELECT DYMC FROM QX_PRMSMAP t, QX_ROLEPRMS r WHERE r.PRMS_DM=t.PRMS_DM AND "
                          "r.JS_DM='AUDITOR'"),
              "1002");

    // A company already held is refused and nothing is written.
    fennix::ClearExecutedStatements();
    EXPECT_FALSE(session->GrantCompany("1002"));
    EXPECT_TRUE(fennix::ExecutedStatements().empty());

    ASSERT_TRUE(session->RevokeCompany("1002"));
    EXPECT_EQ(session->CompanyCount(), 0);
    EXPECT_EQ(CountRows("SELECT COUNT(*) FROM QX_ROLEPRMS WHERE JS_DM='AUDITOR'"), 0);
    EXPECT_FALSE(session->RevokeCompany("1002"));
}

TEST_P(SessionTest, SingleCompanyChangesJoinATransactionTheHostHasOpen)
{
    ArrangeCompaniesAndPosts();
    AddOperator("wangfang", "AUDITOR");
    ASSERT_TRUE(InitGlobalUserInfo("wangfang"));
    const std::string grants = "SELECT COUNT(*) FROM QX_ROLEPRMS WHERE JS_DM='AUDITOR'";
    const std::string nodes = "SELECT COUNT(*) FROM QX_PRMSMAP";
    const int nodesBefore = CountRows(nodes);
    std::string message;

    // The host rolls its transaction back: the grant made inside it goes too.
    ASSERT_TRUE(Host().DBBeginTrans(kMainConnection, message)) << message;
    EXPECT_TRUE(Session()->GrantCompany("1002"));
    EXPECT_TRUE(Host().DBInTransaction(kMainConnection)) << "the host's transaction stays the host's";
    ASSERT_TRUE(Host().DBRollbackTrans(kMainConnection, message)) << message;
    EXPECT_EQ(CountRows(grants), 0);

    // The host commits: grant and withdrawal are both its.
    ASSERT_TRUE(Host().DBBeginTrans(kMainConnection, message)) << message;
    Session()->ReloadPermissions();
    EXPECT_TRUE(Session()->GrantCompany("1002"));
    ASSERT_TRUE(Host().DBCommitTrans(kMainConnection, message)) << message;
    EXPECT_EQ(CountRows(grants), 1);
    ASSERT_TRUE(Host().DBBeginTrans(kMainConnection, message)) << message;
    EXPECT_TRUE(Session()->RevokeCompany("1002"));
    ASSERT_TRUE(Host().DBCommitTrans(kMainConnection, message)) << message;
    EXPECT_EQ(CountRows(grants), 0);
    EXPECT_EQ(CountRows(nodes), nodesBefore);
}

TEST_P(SessionTest, ACompanyGrantedOrWithdrawnElsewhereIsNotChangedTwice)
{
    ArrangeCompaniesAndPosts();
    AddOperator("wangfang", "AUDITOR");
    ASSERT_TRUE(InitGlobalUserInfo("wangfang"));
    TPSession* session = Session();
    ASSERT_EQ(session->CompanyCount(), 0);
    const int nodesBefore = CountRows("SELECT COUNT(*) FROM QX_PRMSMAP");

    // Another workstation grants the company after this session loaded.
    TRolesMgr other;
    std::string code;
    ASSERT_TRUE(other.AddPermission("AUDITOR", "1002", "1002", "1002", "0", "10", code));
    EXPECT_FALSE(session->GrantCompany("1002"));
    EXPECT_EQ(CountRows("SELECT COUNT(*) FROM QX_ROLEPRMS WHERE JS_DM='AUDITOR'"), 1)
        << "the post holds the company once, so one withdrawal takes it away";
    EXPECT_EQ(session->CompanyCount(), 1) << "the session now sees what is stored";

    // And withdraws it again before this session does.
    ASSERT_TRUE(other.RemovePermission("AUDITOR", code));
    EXPECT_FALSE(session->RevokeCompany("1002"));
    EXPECT_EQ(session->CompanyCount(), 0);
    EXPECT_EQ(CountRows("SELECT COUNT(*) FROM QX_PRMSMAP"), nodesBefore);
}

TEST_P(SessionTest, TypedPasswordsAreComparedAsTheCodePageHoldsThem)
{
    struct Case {
        std::string storedBytes; // the host code-page bytes that were enciphered
        std::string typed;
        bool signsIn;
    };
    const std::vector<Case> cases = {
        {"abc", "abc", true},
        // Stored before such passwords were refused: an emoji became "?".
        {"?", "?", true},
        {"?", "\xF0\x9F\x98\x80", false},
        // A damaged stored text shows U+FFFD; pasting that character in is
        // no password either.
        {"a\xff"
         "b",
         "a\xEF\xBF\xBD"
         "b",
         false},
        {"\xc4\xe3", "你", true},
    };
    const TCrypt crypt;
    for (const Case& c : cases) {
        OperatorInfo record;
        record.Code = "cipher";
        record.PostCode = "BUSINESS";
        record.ValidFlag = "Y";
        record.Password = crypt.EncryptText(c.storedBytes);
        TPrivilegeMgr manager;
        PasswordCheckReason reason = PasswordCheckReason::Error;
        EXPECT_EQ(manager.CheckPassword(c.typed, record, reason), c.signsIn) << c.typed;
        if (!c.signsIn) {
            EXPECT_EQ(reason, PasswordCheckReason::WrongPassword) << c.typed;
        }
    }
}

TEST_P(SessionTest, BuiltInPostsRefuseSingleCompanyChanges)
{
    ArrangeCompaniesAndPosts();
    for (const char* post : {"SYSTEM", "BUSINESS"}) {
        const std::string code = std::string("op_") + post;
        AddOperator(code, post);
        ASSERT_TRUE(InitGlobalUserInfo(code));
        // Built-in sets list every company of the host's category.
        EXPECT_EQ(Session()->CompanyCount(), 2) << post;
        EXPECT_FALSE(Session()->GrantCompany("2001")) << post;
        EXPECT_FALSE(Session()->RevokeCompany("1001")) << post;
    }
    EXPECT_EQ(CountRows("SELECT COUNT(*) FROM QX_ROLEPRMS WHERE JS_DM IN ('SYSTEM','BUSINESS')"), 0);
}

TEST_P(SessionTest, PermissionsThatCannotBeLoadedAreLogged)
{
    AddOperator("orphan", "GW09999"); // a post without its QX_ROLES row
    ASSERT_TRUE(InitGlobalUserInfo("orphan"));
    EXPECT_EQ(Session()->CompanyCount(), 0);
    const std::vector<std::string> lines = Db().LogLines();
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
        return line.find("[70018504]取用户权限范围出错。") != std::string::npos;
    }));
}

INSTANTIATE_TEST_SUITE_P(Backends, SessionTest, ::testing::ValuesIn(AvailableBackends()), BackendName);

} // namespace
} // namespace priv::test
