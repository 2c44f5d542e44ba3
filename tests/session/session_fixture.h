// Operators of every kind of post in a fresh database, for the session and
// filter tests.
#pragma once

#include "support/arrange.h"
#include "support/database_fixture.h"

#include <string>

namespace priv::test {

class SignedInTest : public DatabaseTest {
protected:
    // Companies 1001 and 1002 (category 0) and 2001 (category 10); a created
    // post GW00001 holding 1001 in part (sub-application "02" with two
    // functions and the main frame with one) and 1002 whole.
    void ArrangeCompaniesAndPosts()
    {
        ASSERT_TRUE(AddCompany(Db(), 1001, "S1001", "华东机械"));
        ASSERT_TRUE(AddCompany(Db(), 1002, "S1002", "南粤电子"));
        ASSERT_TRUE(AddCompany(Db(), 2001, "S2001", "姑苏财税", 10));
        ASSERT_TRUE(AddPost(Db(), "GW00001", "税务会计"));
        const long long company =
            AddNode(Db(), {.code = "1001", .name = "华东机械", .parent = 0, .type = "10", .extension = 1001});
        ASSERT_TRUE(Grant(Db(), "GW00001", company));
        const long long vat =
            AddNode(Db(), {.code = "02", .name = "增值税申报", .parent = company, .type = "20"});
        AddNode(Db(),
                {.code = "02001-01-01-00-00", .name = "一般纳税人申报表填写", .parent = vat, .type = "30"});
        AddNode(Db(), {.code = "02001-01-05-00-00", .name = "申报查询", .parent = vat, .type = "30"});
        const long long frame =
            AddNode(Db(), {.code = "01", .name = "税务申报管理平台", .parent = company, .type = "20"});
        AddNode(Db(), {.code = "01003-01-20-00-00", .name = "修改密码", .parent = frame, .type = "30"});
        const long long whole =
            AddNode(Db(), {.code = "1002", .name = "南粤电子", .parent = 0, .type = "10", .extension = 1002});
        ASSERT_TRUE(Grant(Db(), "GW00001", whole));
    }

    // An operator of `post` (CZY_LB `category`, no department).
    void AddOperator(const std::string& code, const std::string& post, const std::string& category = "",
                     const std::string& valid = "Y", const std::string& password = "pw")
    {
        ASSERT_TRUE(test::AddOperator(Db(), {.code = code,
                                             .name = "操作员" + code,
                                             .password = password,
                                             .category = category,
                                             .valid = valid,
                                             .department = "",
                                             .post = post}));
    }

    // Another workstation withdraws a company from GW00001: its grant row goes.
    void WithdrawElsewhere(const std::string& companyId)
    {
        ASSERT_TRUE(
            Db().Exec("DELETE FROM QX_ROLEPRMS WHERE PRMS_DM=(SELECT PRMS_DM FROM QX_PRMSMAP WHERE DYDM='" +
                      companyId + "')"));
    }

    // Opens the host again in another company (the rows stay).
    void SwitchCompany(const std::string& companyId)
    {
        ASSERT_TRUE(Db().Reopen([&](fennix::Settings& settings) { settings.companyId = companyId; }));
    }
};

} // namespace priv::test
