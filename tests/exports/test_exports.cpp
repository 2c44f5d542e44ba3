// The seven exports, called exactly as a host calls them: the built module
// loaded with dlopen, a writable buffer in the host's code page.
#include "support/arrange.h"
#include "support/database_fixture.h"
#include "support/loaded_module.h"

#include "boundary/codepage.h"
#include "boundary/param_string.h"
#include "cipher/crypt.h"

#include <privilege/privilege.h>

#include <dlfcn.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace priv::test {
namespace {

class ExportTest : public DatabaseTest {
protected:
    void AdjustSettings(fennix::Settings& settings) override { settings.companyId = "1001"; }

    void SetUp() override
    {
        DatabaseTest::SetUp();
        if (HasFatalFailure())
            return;
        module_ = std::make_unique<LoadedModule>();
        ASSERT_NE(module_->Handle(), nullptr) << dlerror();
        ASSERT_TRUE(AddCompany(Db(), 1001, "S1001", "华东机械"));
        ASSERT_TRUE(AddPost(Db(), "GW00001", "税务会计"));
        AddOperator("admin", "0", "0", "Y");
        AddOperator("boss", "0", "0", "N");
        AddOperator("lina", "BUSINESS", "", "Y");
        AddOperator("zhoujie", "BUSINESS", "", "N");
        // The valid flag as an older administration tool wrote it.
        AddOperator("xiaoyu", "BUSINESS", "", "y");
        AddOperator("kuaiji", "GW00001", "", "Y");
        ASSERT_TRUE(test::AddOperator(Db(), {.code = "nopost", .name = "无岗位", .password = "pw"}));
    }

    void TearDown() override
    {
        module_.reset();
        DatabaseTest::TearDown();
    }

    void AddOperator(const std::string& code, const std::string& post, const std::string& category,
                     const std::string& valid)
    {
        ASSERT_TRUE(test::AddOperator(Db(), {.code = code,
                                             .name = "操作员",
                                             .password = "pw",
                                             .category = category,
                                             .valid = valid,
                                             .post = post}));
    }

    bool Call(const char* name, HostBuffer& buffer) { return module_->Call(name, buffer); }

    std::unique_ptr<LoadedModule> module_;
};

TEST_P(ExportTest, TheSevenExportsAreFoundByTheirPlainNames)
{
    for (const char* name :
         {"LoadLoginForm", "InitGlobalUserInfo", "FilterUserAuthrz", "ShowLogoutForm", "ShowOperatorMgrProc",
          "ShowOperatorModifyPwdProc", "ShowPrivilegeAssignInnerProc"})
        EXPECT_NE(dlsym(module_->Handle(), name), nullptr) << name;
}

struct SignInCase {
    const char* params;
    bool answer;
    const char* bufferAfter;
};

TEST_P(ExportTest, SignInWithoutAWindow)
{
    const SignInCase cases[] = {
        {"pamCZY_DM=admin;pamPWD=pw", true, "CZY_DM=admin;CZY_LB=0"},
        // Whatever else the buffer held, exactly two items come back.
        {"x=1;pamCZY_DM=lina;pamPWD=pw;y=2", true, "CZY_DM=lina;CZY_LB=BUSINESS"},
        {"pamCZY_DM=kuaiji;pamPWD=pw", true, "CZY_DM=kuaiji;CZY_LB=GW00001"},
        {"pamCZY_DM=xiaoyu;pamPWD=pw", true, "CZY_DM=xiaoyu;CZY_LB=BUSINESS"},
        // An inactive super administrator still signs in without the window.
        {"pamCZY_DM=boss;pamPWD=pw", true, "CZY_DM=boss;CZY_LB=0"},
        {"pamCZY_DM=admin;pamPWD=PW", false, nullptr},
        {"pamCZY_DM=admin;pamPWD=pw ", false, nullptr},
        {"pamCZY_DM=zhoujie;pamPWD=pw", false, nullptr},
        {"pamCZY_DM=nobody;pamPWD=pw", false, nullptr},
        {"pamCZY_DM=nopost;pamPWD=pw", false, nullptr},
    };
    for (const SignInCase& c : cases) {
        HostBuffer buffer(c.params);
        EXPECT_EQ(Call("LoadLoginForm", buffer), c.answer) << c.params;
        EXPECT_EQ(buffer.Text(), c.bufferAfter ? c.bufferAfter : c.params) << c.params;
    }
}

TEST_P(ExportTest, NullBuffersAreFailuresNotCrashes)
{
    for (const char* name : {"LoadLoginForm", "InitGlobalUserInfo", "FilterUserAuthrz"}) {
        EXPECT_EQ(module_->Boolean(name)(0, nullptr), 0) << name;
        char* argv[1] = {nullptr};
        EXPECT_EQ(module_->Boolean(name)(0, argv), 0) << name;
    }
}

TEST_P(ExportTest, TheSilentRoadThroughTheExports)
{
    HostBuffer login("pamCZY_DM=lina;pamPWD=pw");
    ASSERT_TRUE(Call("LoadLoginForm", login));

    // Filtering before the user information is published fails with its reason.
    HostBuffer early("a=1;authedProdcList=0200");
    EXPECT_FALSE(Call("FilterUserAuthrz", early));
    EXPECT_EQ(early.Text(), "a=1;authedProdcList=0200;ResultMsgStr=[70018511]过滤用户系统权限发生错误。");

    HostBuffer init("CZY_DM=lina");
    ASSERT_TRUE(Call("InitGlobalUserInfo", init));
    EXPECT_EQ(init.Text(), "CZY_DM=lina");
    EXPECT_FALSE(Call("InitGlobalUserInfo", *std::make_unique<HostBuffer>("CZY_DM=")));

    HostBuffer filter("authedProdcList=0200\r\n0300");
    EXPECT_TRUE(Call("FilterUserAuthrz", filter));
    EXPECT_EQ(filter.Text(), "authedProdcList=0200\r\n0300");

    HostBuffer nothing("a=1");
    EXPECT_TRUE(Call("FilterUserAuthrz", nothing));
    EXPECT_EQ(nothing.Text(), "a=1");
}

TEST_P(ExportTest, AListOfBlankLinesIsStillAListToFilter)
{
    // The post of kuaiji holds nothing in the current company.
    HostBuffer login("pamCZY_DM=kuaiji;pamPWD=pw");
    ASSERT_TRUE(Call("LoadLoginForm", login));
    HostBuffer init("CZY_DM=kuaiji");
    ASSERT_TRUE(Call("InitGlobalUserInfo", init));
    for (const char* list : {"authedProdcList=\r\n", "authedProdcList=\r\n\r\n\n"}) {
        HostBuffer blank(list);
        EXPECT_FALSE(Call("FilterUserAuthrz", blank)) << list;
        EXPECT_EQ(GetParamValue(blank.Text(), "ResultMsgStr"), "[70018512]过滤用户系统权限发生错误。")
            << list;
    }
    // Only an absent or empty value skips the company check.
    HostBuffer empty("authedProdcList=;a=1");
    EXPECT_TRUE(Call("FilterUserAuthrz", empty));
    EXPECT_EQ(empty.Text(), "authedProdcList=;a=1");

    // A clerk keeps only the main frame's functions of his post, blank list or not.
    HostBuffer clerk("pamCZY_DM=lina;pamPWD=pw");
    ASSERT_TRUE(Call("LoadLoginForm", clerk));
    HostBuffer clerkInit("CZY_DM=lina");
    ASSERT_TRUE(Call("InitGlobalUserInfo", clerkInit));
    HostBuffer blank("authedProdcList=\r\n");
    EXPECT_TRUE(Call("FilterUserAuthrz", blank));
    const SubAppDescriptor* mainFrame = fennix::AllDescriptors().front();
    for (const FunctionRecord& function : mainFrame->functions)
        EXPECT_EQ(function.enabled, function.posts.find("BUSINESS") != std::string::npos) << function.code;
}

TEST_P(ExportTest, TheHostsOtherItemsKeepEveryByte)
{
    // Bytes that are no character of the code page: a user-defined GBK
    // character, a lone byte above 0x7F, a lead byte without its trail.
    const std::string hostItems = std::string("u=\xAA\xA1\xFE\xFE;s=\x80x;l=\x81;") + "authedProdcList=0200";
    std::vector<char> bytes(PRIV_PARAM_BUFFER_SIZE, '\0');
    std::memcpy(bytes.data(), hostItems.c_str(), hostItems.size() + 1);
    char* argv[1] = {bytes.data()};
    // Filtering before the user information is published fails and says so.
    HostBuffer login("pamCZY_DM=kuaiji;pamPWD=pw");
    ASSERT_TRUE(Call("LoadLoginForm", login));
    ASSERT_EQ(module_->Boolean("FilterUserAuthrz")(0, argv), 0);
    EXPECT_EQ(std::string(bytes.data()),
              hostItems + ";ResultMsgStr=" + Utf8ToHost("[70018511]过滤用户系统权限发生错误。"));
}

// A block of exactly PRIV_PARAM_BUFFER_SIZE bytes: under the sanitizers a
// read or write past its end is caught.
struct BoundedBlock {
    // `text` and then `fill` up to the bound; NUL at `nulAt` unless it is past it.
    BoundedBlock(const std::string& text, char fill, std::size_t nulAt) : bytes(PRIV_PARAM_BUFFER_SIZE, fill)
    {
        std::memcpy(bytes.data(), text.data(), text.size());
        if (nulAt < bytes.size())
            bytes[nulAt] = '\0';
        argv[0] = bytes.data();
    }
    std::vector<char> bytes;
    char* argv[1] = {nullptr};
};

TEST_P(ExportTest, ABufferWithoutItsEndWithinTheBoundIsRefused)
{
    HostBuffer login("pamCZY_DM=lina;pamPWD=pw");
    ASSERT_TRUE(Call("LoadLoginForm", login));
    HostBuffer init("CZY_DM=lina");
    ASSERT_TRUE(Call("InitGlobalUserInfo", init));

    struct Case {
        const char* name;
        std::string text; // each would succeed as a parameter string
    };
    const Case cases[] = {
        {"LoadLoginForm", "pamCZY_DM=admin;pamPWD=pw;pad="},
        {"InitGlobalUserInfo", "CZY_DM=lina;pad="},
        {"FilterUserAuthrz", "authedProdcList=0200;pad="},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // Ended on the bound's last byte: read whole, as any parameter string.
        BoundedBlock ended(c.text, 'x', PRIV_PARAM_BUFFER_SIZE - 1);
        EXPECT_EQ(module_->Boolean(c.name)(0, ended.argv), 1);

        BoundedBlock endless(c.text, 'x', PRIV_PARAM_BUFFER_SIZE);
        const std::vector<char> before = endless.bytes;
        EXPECT_EQ(module_->Boolean(c.name)(0, endless.argv), 0);
        if (std::string(c.name) != "FilterUserAuthrz") {
            EXPECT_EQ(endless.bytes, before) << "nothing is written";
            continue;
        }
        // The filter says why, in a parameter string that ends in the buffer;
        // the host's items, whose end it never saw, are not kept.
        const std::string message =
            Utf8ToHost("ResultMsgStr=[70018501]过滤用户系统权限发生异常：参数串在 4096 字节内没有结束符。");
        ASSERT_EQ(std::string(endless.bytes.data(), message.size() + 1), message + '\0');
        EXPECT_TRUE(std::equal(endless.bytes.begin() + message.size() + 1, endless.bytes.end(),
                               before.begin() + message.size() + 1))
            << "nothing changed after its end";
    }
}

// A failure message that fits the buffer to its last byte is written whole.
TEST_P(ExportTest, AFailureMessageFillingTheBufferExactlyIsNotShortened)
{
    HostBuffer login("pamCZY_DM=kuaiji;pamPWD=pw");
    ASSERT_TRUE(Call("LoadLoginForm", login)); // no session: the filter fails
    const std::string tail = Utf8ToHost(";ResultMsgStr=[70018511]过滤用户系统权限发生错误。");
    const std::string head = "authedProdcList=0200;a=";
    for (std::size_t spare : {0u, 1u}) {
        SCOPED_TRACE(spare);
        // The result and its NUL take the whole buffer but `spare` bytes.
        const std::string items =
            head + std::string(PRIV_PARAM_BUFFER_SIZE - 1 - spare - head.size() - tail.size(), 'p');
        BoundedBlock block(items, 'x', items.size());
        EXPECT_EQ(module_->Boolean("FilterUserAuthrz")(0, block.argv), 0);
        EXPECT_EQ(std::string(block.bytes.data()), items + tail);
    }
}

TEST_P(ExportTest, QuotedCodesHoldWhateverTheServersDefaults)
{
    if (!Db().IsPostgres())
        GTEST_SKIP() << "the backslash setting is PostgreSQL's";
    // A server or database that reads a backslash as an escape by default.
    const std::string database = Db().Scalar("SELECT current_database()");
    ASSERT_TRUE(Db().Exec("ALTER DATABASE \"" + database + "\" SET standard_conforming_strings = off"));
    ASSERT_TRUE(Db().Reopen([](fennix::Settings& settings) { settings.companyId = "1001"; }));
    QueryResult setting;
    std::string message;
    ASSERT_TRUE(Host().ExecADOQueryMsg(
        kMainConnection,
        "SELECT setting, reset_val FROM pg_settings WHERE name='standard_conforming_strings'", setting,
        message, true))
        << message;
    EXPECT_EQ(setting.AsString("reset_val"), "off") << "the database's own default";
    EXPECT_EQ(setting.AsString("setting"), "on") << "what the host's connection runs with";

    const std::string operators = "SELECT COUNT(*) FROM QX_CZY WHERE YXBZ='Y'";
    const std::string active = Db().Scalar(operators);
    // Escaped as a host writes them: "=" as &eq%, ";" as &lim%.
    for (const char* attack : {
             // signs in as the first super administrator without knowing his code
             "pamCZY_DM=\\' OR t1.CZY_LB&eq%CHR(48) AND t3.CZY_DM&eq%t1.CZY_DM --;pamPWD=pw",
             // a statement of its own after the quote
             "pamCZY_DM=\\'&lim% UPDATE QX_CZY SET YXBZ&eq%CHR(78)&lim% --;pamPWD=pw",
         }) {
        HostBuffer buffer(attack);
        EXPECT_FALSE(Call("LoadLoginForm", buffer)) << attack;
        EXPECT_EQ(buffer.Text(), attack);
    }
    EXPECT_EQ(Db().Scalar(operators), active) << "no operator was disabled";
}

INSTANTIATE_TEST_SUITE_P(Backends, ExportTest, ::testing::ValuesIn(AvailableBackends()), BackendName);

} // namespace
} // namespace priv::test
