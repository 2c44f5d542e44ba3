// The host's settings files: INI files read and written by the host's
// routines, paths written the desktop way.
#include "support/database_fixture.h"

#include "fennix/fennix.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

namespace {

using priv::test::Backend;
using priv::test::TestDatabase;

std::string ReadFile(const std::string& path)
{
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll().toStdString();
}

void WriteFile(const std::string& path, const std::string& text)
{
    QDir().mkpath(QFileInfo(QString::fromStdString(path)).absolutePath());
    QFile file(QString::fromStdString(path));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(QByteArray::fromStdString(text));
}

class Settings : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(db.Ok()) << db.Error(); }
    TestDatabase db{Backend::SQLite};
    priv::Host& host = fennix::Services();
};

TEST_F(Settings, AppPathEndsWithASeparator)
{
    EXPECT_EQ(host.GetAppPath(), db.AppDir() + "/");
}

TEST_F(Settings, BackslashRelativePathIsTakenFromTheAppFolderAndRoundTrips)
{
    const std::string file = "AppComs\\Main\\UserConfig.ini";
    EXPECT_EQ(host.ReadIniValueStr(file, "SysCofig", "PrevOperatorID", "admin"), "admin");
    ASSERT_TRUE(host.WriteIniValueStr(file, "SysCofig", "PrevOperatorID", "张三"));
    EXPECT_EQ(host.ReadIniValueStr(file, "SysCofig", "PrevOperatorID", "admin"), "张三");

    // The file sits where the desktop puts it, with the section spelled as given.
    const std::string written = ReadFile(db.AppDir() + "/AppComs/Main/UserConfig.ini");
    EXPECT_NE(written.find("[SysCofig]\n"), std::string::npos) << written;
    EXPECT_NE(written.find("PrevOperatorID=张三"), std::string::npos) << written;

    // The module joins GetAppPath() and the relative text: the same file.
    EXPECT_EQ(host.ReadIniValueStr(host.GetAppPath() + file, "SysCofig", "PrevOperatorID", ""), "张三");
    // Names are found without regard to ASCII case, as the desktop does.
    EXPECT_EQ(host.ReadIniValueStr(file, "syscofig", "prevoperatorid", ""), "张三");

    ASSERT_TRUE(host.WriteIniValueStr(file, "SysCofig", "PrevOperatorID", "李四"));
    ASSERT_TRUE(host.WriteIniValueStr(file, "其他设置", "键", "值 with = sign"));
    EXPECT_EQ(host.ReadIniValueStr(file, "SysCofig", "PrevOperatorID", ""), "李四");
    EXPECT_EQ(host.ReadIniValueStr(file, "其他设置", "键", ""), "值 with = sign");
    const std::string rewritten = ReadFile(db.AppDir() + "/AppComs/Main/UserConfig.ini");
    EXPECT_EQ(rewritten.find("张三"), std::string::npos) << rewritten;
}

TEST_F(Settings, WritingKeepsTheOtherLinesOfTheFile)
{
    const std::string path = db.AppDir() + "/Config/Edit.ini";
    WriteFile(path,
              "; written by hand\r\n[SysCofig]\r\nDisplayCompanyCodeName=1\r\n\r\n[RunParameter]\r\nSysIME="
              "搜狗拼音输入法\r\n");
    ASSERT_TRUE(host.WriteIniValueStr(path, "SysCofig", "PrevOperatorID", "admin"));
    EXPECT_EQ(ReadFile(path),
              "; written by hand\r\n[SysCofig]\r\nDisplayCompanyCodeName=1\r\nPrevOperatorID=admin\r\n"
              "\r\n[RunParameter]\r\nSysIME=搜狗拼音输入法\r\n");
}

TEST_F(Settings, MissingFileSectionOrKeyGivesTheDefault)
{
    WriteFile(db.AppDir() + "/a.ini", "[One]\nKey = \"quoted value\" \n[Two]\nOther=2\n");
    struct Case {
        const char* file;
        const char* section;
        const char* key;
        const char* expected;
    };
    const Case cases[] = {
        {"a.ini", "One", "Key", "quoted value"}, {"a.ini", "One", "Other", "default"},
        {"a.ini", "Three", "Key", "default"},    {"missing.ini", "One", "Key", "default"},
        {"a.ini", "Two", "Other", "2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.section) + "/" + c.key);
        EXPECT_EQ(host.ReadIniValueStr(c.file, c.section, c.key, "default"), c.expected);
    }
}

TEST_F(Settings, RefusesWhatAnIniLineCannotHold)
{
    const std::string file = "Config\\Bad.ini";
    EXPECT_FALSE(host.WriteIniValueStr(file, "SysCofig", "Key", "two\r\nlines"));
    EXPECT_FALSE(host.WriteIniValueStr(file, "SysCofig", "Key=", "x"));
    EXPECT_FALSE(host.WriteIniValueStr(file, "Sys]Cofig", "Key", "x"));
    EXPECT_FALSE(host.WriteIniValueStr(file, "", "Key", "x"));
    EXPECT_FALSE(host.WriteIniValueStr(file, "SysCofig", "", "x"));
    EXPECT_FALSE(QFile::exists(QString::fromStdString(db.AppDir() + "/Config/Bad.ini")));
}

TEST_F(Settings, UserAndSystemConfigurationComeFromTheirFiles)
{
    WriteFile(db.AppDir() + "/Config/User.ini", "[RunParameter]\nSysIME=微软拼音\n");
    WriteFile(db.AppDir() + "/Config/System.ini", "[SysCofig]\nDisplayCompanyCodeName=1\n");
    EXPECT_EQ(host.GetUserConfigParam("RunParameter", "SysIME", "-请选择-"), "微软拼音");
    EXPECT_EQ(host.GetUserConfigParam("SysCofig", "DisplayCompanyCodeName", "0"), "0");
    EXPECT_EQ(host.GetSysConfigParam("SysCofig", "DisplayCompanyCodeName", "0"), "1");
    EXPECT_EQ(host.GetSysConfigParam("RunParameter", "SysIME", "-请选择-"), "-请选择-");
}

} // namespace
