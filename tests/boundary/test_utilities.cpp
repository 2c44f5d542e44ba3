// The small helpers the module's layers share.
#include "support/database_fixture.h"

#include "boundary/utilities.h"
#include "session/privilege_manager.h"

#include <fennix/fennix.h>

#include <cstring>

namespace priv::test {
namespace {

class UtilitiesTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(db_.Ok()) << db_.Error(); }
    TestDatabase db_{Backend::SQLite};
};

TEST(PostNames, BuiltInPostsShowTheirOwnNames)
{
    const struct {
        const char* code;
        const char* stored;
        const char* shown;
    } cases[] = {
        {"0", "x", "超级管理员"},
        {"SYSTEM", "x", "系统管理员"},
        {"BUSINESS", "x", "业务员"},
        {"AUDITOR", "任意名称", "审核员"},
        {"auditor", "小写代码", "小写代码"},
        {"GW00001", "税务会计", "税务会计"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PostDisplayName(c.code, c.stored), c.shown) << c.code;
    EXPECT_TRUE(IsSuperAdmin("0"));
    EXPECT_FALSE(IsSuperAdmin("00"));
    EXPECT_TRUE(IsSystemPost("SYSTEM"));
    EXPECT_FALSE(IsSystemPost("system"));
    EXPECT_TRUE(IsBusinessPost("BUSINESS"));
}

TEST(TextChecks, PhoneNumbers)
{
    for (const char* good : {"", "(021)6283-1101", "13800138000", "---"})
        EXPECT_TRUE(IsValidPhone(good)) << good;
    for (const char* bad : {"021 6283", "+8613800138000", "电话", "12a"})
        EXPECT_FALSE(IsValidPhone(bad)) << bad;
}

TEST(TextChecks, EmailAddresses)
{
    for (const char* good : {"", "a@b.c", "a.@b.c", "a@b@c.d", "a b@c.d"})
        EXPECT_TRUE(IsValidEmail(good)) << good;
    for (const char* bad : {"@b.c", "a@.c", "a@b.", "a@bc", "abc"})
        EXPECT_FALSE(IsValidEmail(bad)) << bad;
}

TEST(TextChecks, TextFields)
{
    EXPECT_EQ(GetTextField("line one\r\nline two", 2, "\r\n"), "");
    EXPECT_EQ(GetTextField("line one\r\nline two", 1, "\r\n"), "line two");
    EXPECT_EQ(GetTextField("whole", 0, "|"), "whole");
    EXPECT_EQ(GetTextField("a||c", 1, "|"), "");
    EXPECT_EQ(GetTextField("a||c", 2, "|"), "c");
    EXPECT_EQ(GetTextField("a|b", -1, "|"), "");
}

TEST(PasswordComparison, ExactBytesWhateverTheLengths)
{
    const struct {
        const char* a;
        const char* b;
        bool equal;
    } cases[] = {
        {"", "", true},
        {"pw", "pw", true},
        {"pw", "PW", false},
        {"pw", "pw ", false},
        {" pw", "pw", false},
        {"pw", "", false},
        {"", "pw", false},
        {"密码", "密码", true},
        {"abcdef", "abcdeg", false},
        {"xbcdef", "abcdef", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(EqualInConstantTime(c.a, c.b), c.equal) << '"' << c.a << "\" vs \"" << c.b << '"';
    // A NUL inside the text counts like any other byte.
    EXPECT_FALSE(EqualInConstantTime(std::string("pw\0x", 4), "pw"));
}

TEST_F(UtilitiesTest, QuotesSqlTextThroughTheHost)
{
    EXPECT_EQ(QuoteSqlText("O'Brien"), "O''Brien");
    EXPECT_EQ(QuoteSqlText("'; DROP TABLE QX_CZY; --"), "''; DROP TABLE QX_CZY; --");
    EXPECT_EQ(QuoteSqlText("无引号"), "无引号");
}

TEST_F(UtilitiesTest, MainFrameCodesComeFromItsDescriptor)
{
    EXPECT_EQ(MainSubAppCode(), "01");
    EXPECT_EQ(MainProductCode(), "0100");
    ASSERT_TRUE(db_.Reopen([](fennix::Settings& settings) { settings.appsFile.clear(); }));
    EXPECT_EQ(MainSubAppCode(), "");
    EXPECT_EQ(MainProductCode(), "");
}

TEST_F(UtilitiesTest, PreviousOperatorLivesInThePerUserFile)
{
    EXPECT_EQ(ReadPrevOperator(), "admin");
    ASSERT_TRUE(WritePrevOperator("zhangwei"));
    EXPECT_EQ(ReadPrevOperator(), "zhangwei");
    EXPECT_EQ(UserConfigPath(), db_.AppDir() + "/AppComs\\Main\\UserConfig.ini");
}

TEST_F(UtilitiesTest, HostFunctionsGetAFiveHundredByteBuffer)
{
    std::string seen;
    fennix::RegisterFunction("01003-01-19-00-00", [&](void*, char** buffer) {
        seen = buffer[0];
        std::strcpy(buffer[0], "JS_DM=GW00001;CLOSEPREV=false");
        return true;
    });
    std::string params(600, 'p');
    EXPECT_TRUE(OpenHostFunction(nullptr, "01003-01-19-00-00", params));
    EXPECT_EQ(seen, std::string(499, 'p'));
    EXPECT_EQ(params, "JS_DM=GW00001;CLOSEPREV=false");

    std::string untouched = "a=1";
    EXPECT_FALSE(OpenHostFunction(nullptr, "99999", untouched));
    EXPECT_EQ(untouched, "a=1");
    fennix::RegisterFunction("01003-01-19-00-00", {});
}

} // namespace
} // namespace priv::test
