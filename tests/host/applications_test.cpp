// The host's application descriptors, read from the applications file.
#include "support/database_fixture.h"

#include "fennix/fennix.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

namespace {

using priv::test::Backend;
using priv::test::TestDatabase;

std::vector<std::string> FunctionCodes(const priv::SubAppDescriptor& app)
{
    std::vector<std::string> codes;
    for (const auto& function : app.functions)
        codes.push_back(function.code);
    return codes;
}

TEST(Applications, SampleFileGivesMainFrameAndSubApplicationsInOrder)
{
    TestDatabase db(Backend::SQLite);
    ASSERT_TRUE(db.Ok()) << db.Error();
    priv::Host& host = fennix::Services();

    priv::SubAppDescriptor* main = host.GetMainFrameInfo();
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(main->code, "01");
    EXPECT_EQ(main->product, "0100");
    EXPECT_EQ(main->name, "税务申报管理平台");
    const auto mainCodes = FunctionCodes(*main);
    for (const char* code : {"01003-01-07-00-00", "01003-01-19-00-00"})
        EXPECT_NE(std::find(mainCodes.begin(), mainCodes.end(), code), mainCodes.end()) << code;
    EXPECT_TRUE(std::any_of(main->functions.begin(), main->functions.end(),
                            [](const priv::FunctionRecord& f) { return f.name == "-"; }));

    // The main frame's own code and product lead to the main frame.
    EXPECT_EQ(host.GetpSubAppInfo("01"), main);
    EXPECT_EQ(host.GetSubAppCode("0100"), "01");

    priv::TextList all{"stale"}, enabled{"stale"};
    host.GetALLSubAppCodeList(all);
    host.GetEnabledSubAppCodeList(enabled);
    EXPECT_EQ(all, (priv::TextList{"02", "03", "04", "05"}));
    EXPECT_EQ(enabled, (priv::TextList{"02", "03", "05"}));

    struct Case {
        std::string product, code, name;
    };
    for (const Case& c : {Case{"0200", "02", "增值税申报"}, Case{"0300", "03", "企业所得税申报"},
                          Case{"0400", "04", "个人所得税代扣代缴"}, Case{"0500", "05", "发票管理"}}) {
        SCOPED_TRACE(c.code);
        EXPECT_EQ(host.GetSubAppCode(c.product), c.code);
        priv::SubAppDescriptor* app = host.GetpSubAppInfo(c.code);
        ASSERT_NE(app, nullptr);
        EXPECT_EQ(app->name, c.name);
        EXPECT_EQ(app->product, c.product);
        EXPECT_GE(app->functions.size(), 4u);
        EXPECT_LE(app->functions.size(), 8u);
        for (const auto& function : app->functions)
            EXPECT_LE(function.versions.size(), 20u) << function.code;
    }
    EXPECT_FALSE(host.GetpSubAppInfo("04")->enabled);
    EXPECT_EQ(host.GetpSubAppInfo("99"), nullptr);
    EXPECT_EQ(host.GetSubAppCode("9900"), "");
    EXPECT_EQ(host.GetSubAppCode(""), "");

    // A function's fields as written in the file.
    const priv::FunctionRecord& first = host.GetpSubAppInfo("02")->functions.at(1);
    EXPECT_EQ(first.code, "02001-01-02-00-00");
    EXPECT_EQ(first.name, "小规模纳税人申报表填写");
    EXPECT_EQ(first.posts, "BUSINESS");
    EXPECT_EQ(first.versions, "10,50");
    EXPECT_TRUE(first.enabled);
    EXPECT_TRUE(first.visible);

    const auto descriptors = fennix::AllDescriptors();
    ASSERT_EQ(descriptors.size(), 5u);
    EXPECT_EQ(descriptors.front(), main);
    EXPECT_EQ(descriptors.back(), host.GetpSubAppInfo("05"));
    EXPECT_EQ(host.gsAppVerTypeCode(), "50");
    EXPECT_FALSE(host.CheckAgencyExist());
}

TEST(Applications, FunctionUseFollowsTheEnabledFlag)
{
    TestDatabase db(Backend::SQLite);
    ASSERT_TRUE(db.Ok()) << db.Error();
    priv::Host& host = fennix::Services();
    EXPECT_TRUE(host.CheckFunctionCanUse("01003-01-19-00-00"));
    EXPECT_TRUE(host.CheckFunctionCanUse("02001-01-03-00-00"));
    EXPECT_FALSE(host.CheckFunctionCanUse("05001-01-06-00-00")); // disabled in the file
    EXPECT_FALSE(host.CheckFunctionCanUse("09999-00-00-00-00"));

    // The module's filter withdraws a function by clearing its flags.
    for (auto& function : host.GetMainFrameInfo()->functions)
        if (function.code == "01003-01-19-00-00")
            function.enabled = function.visible = false;
    EXPECT_FALSE(host.CheckFunctionCanUse("01003-01-19-00-00"));

    host.SetSubAppPerms("0300", true, 0);
    host.SetSubAppPerms("0200", false, 0);
    host.SetSubAppPerms("0500", true, 0);
    EXPECT_EQ(fennix::WithdrawnProducts(), (std::vector<std::string>{"0300", "0500"}));

    // Opening again reads the file afresh.
    ASSERT_TRUE(db.Reopen({}));
    EXPECT_TRUE(host.CheckFunctionCanUse("01003-01-19-00-00"));
    EXPECT_TRUE(fennix::WithdrawnProducts().empty());
}

TEST(Applications, SettingsOverrideVersionTypeAndAgency)
{
    TestDatabase db(Backend::SQLite, [](fennix::Settings& settings) {
        settings.versionType = "100";
        settings.agency = true;
    });
    ASSERT_TRUE(db.Ok()) << db.Error();
    EXPECT_EQ(fennix::Services().gsAppVerTypeCode(), "100");
    EXPECT_TRUE(fennix::Services().CheckAgencyExist());

    ASSERT_TRUE(db.Reopen([](fennix::Settings& settings) {
        settings.appsFile.clear();
        settings.versionType.clear();
    }));
    EXPECT_EQ(fennix::Services().GetMainFrameInfo(), nullptr);
    EXPECT_EQ(fennix::Services().gsAppVerTypeCode(), "");
    priv::TextList codes{"stale"};
    fennix::Services().GetALLSubAppCodeList(codes);
    EXPECT_TRUE(codes.empty());
}

TEST(Applications, MalformedFileIsRefusedAndNothingStaysOpen)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const std::string path = folder.filePath("apps.json").toStdString();
    struct Case {
        const char* what;
        std::string json;
        std::string errorHolds;
    };
    const Case cases[] = {
        {"not JSON", "{\"mainFrame\": ", "格式错误"},
        {"not an object", "[1, 2]", "的内容应为对象"},
        {"application without code", R"({"subApps": [{"name": "x"}]})", "子系统缺少“code”"},
        {"function without code",
         R"({"mainFrame": {"code": "01", "product": "0100", "functions": [{"name": "x"}]}})",
         "第 1 个功能缺少“code”"},
        {"version list too long",
         R"({"mainFrame": {"code": "01", "product": "0100", "functions": [{"code": "f", "versions": "10,50,100,200,500,1000"}]}})",
         "超过 20 个字符"},
        {"flag not Boolean", R"({"subApps": [{"code": "02", "product": "0200", "enabled": "yes"}]})",
         "“enabled”应为 true 或 false"},
        {"repeated code",
         R"({"mainFrame": {"code": "01", "product": "0100"}, "subApps": [{"code": "01", "product": "0200"}]})",
         "第 1 个子系统的代码“01”重复。"},
        // A descriptor the filter could not find by its product would stay
        // open to every post: each is refused, named by place, code and field.
        {"main frame without product", R"({"mainFrame": {"code": "01"}})",
         "主框架（代码“01”）缺少“product”。"},
        {"empty product",
         R"({"subApps": [{"code": "02", "product": "0200"}, {"code": "03", "product": ""}]})",
         "第 2 个子系统（代码“03”）的“product”为空。"},
        {"product as a number", R"({"subApps": [{"code": "02", "product": 200}]})",
         "第 1 个子系统（代码“02”）的“product”应为文本。"},
        {"product as an array", R"({"subApps": [{"code": "02", "product": ["0200"]}]})",
         "第 1 个子系统（代码“02”）的“product”应为文本。"},
        {"code as a number", R"({"subApps": [{"code": 2, "product": "0200"}]})",
         "第 1 个子系统的“code”应为文本。"},
        {"empty code", R"({"subApps": [{"code": "", "product": "0200"}]})", "第 1 个子系统的“code”为空。"},
        {"repeated product",
         R"({"mainFrame": {"code": "01", "product": "0100"}, "subApps": [{"code": "02", "product": "0100"}]})",
         "第 1 个子系统（代码“02”）的产品代码“0100”重复。"},
        {"function code as a number",
         R"({"mainFrame": {"code": "01", "product": "0100", "functions": [{"code": 1001}]}})",
         "主框架（代码“01”）的第 1 个功能的“code”应为文本。"},
        {"empty function code",
         R"({"subApps": [{"code": "02", "product": "0200", "functions": [{"code": "f"}, {"code": ""}]}]})",
         "第 1 个子系统（代码“02”）的第 2 个功能的“code”为空。"},
        {"version type as a number", R"({"versionType": 50})", "apps.json 的“versionType”应为文本。"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QFile file(QString::fromStdString(path));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(QByteArray::fromStdString(c.json));
        file.close();

        fennix::Settings settings;
        settings.databaseUrl = "sqlite:" + folder.filePath("db.sqlite").toStdString();
        settings.appDir = folder.path().toStdString();
        settings.appsFile = path;
        std::string error;
        EXPECT_FALSE(fennix::Open(settings, error));
        EXPECT_NE(error.find(c.errorHolds), std::string::npos) << error;
        EXPECT_FALSE(fennix::IsOpen());
        EXPECT_EQ(fennix::Services().GetMainFrameInfo(), nullptr);
    }

    fennix::Settings missing;
    missing.databaseUrl = "sqlite:" + folder.filePath("db.sqlite").toStdString();
    missing.appsFile = folder.filePath("none.json").toStdString();
    std::string error;
    EXPECT_FALSE(fennix::Open(missing, error));
    EXPECT_NE(error.find("none.json"), std::string::npos) << error;
}

} // namespace

namespace {

TEST(DatabaseAddress, RelativeSqlitePathIsTakenFromTheAppFolder)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    fennix::Settings settings;
    settings.databaseUrl = "sqlite:Data/host.db";
    settings.appDir = folder.path().toStdString();
    std::string error;
    ASSERT_TRUE(fennix::Open(settings, error)) << error;
    EXPECT_TRUE(fennix::IsOpen());
    EXPECT_TRUE(QFile::exists(folder.filePath("Data/host.db")));
    fennix::Close();
    EXPECT_FALSE(fennix::IsOpen());
}

TEST(DatabaseAddress, UnusableAddressesAreRefusedWithTheirReason)
{
    struct Case {
        std::string url;
        std::string errorHolds;
    };
    const Case cases[] = {
        {"", "未指定数据库地址"},
        {"mysql://root@localhost/db", "不支持的数据库地址"},
        {"sqlite:", "缺少 SQLite 文件路径"},
        {"postgresql://user@localhost:99999/db", "端口无效"},
        {"postgresql://user@[::1/db", "主机名不完整"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url);
        fennix::Settings settings;
        settings.databaseUrl = c.url;
        std::string error;
        EXPECT_FALSE(fennix::Open(settings, error));
        EXPECT_NE(error.find(c.errorHolds), std::string::npos) << error;
        EXPECT_FALSE(fennix::IsOpen());
    }
}

} // namespace
