// Operators of every kind of post in a fresh database, for the session and
// filter tests.
#pragma once

#include "support/database_fixture.h"

#include "cipher/crypt.h"

#include <string>

namespace priv::test {

class SignedInTest : public DatabaseTest {
protected:
    // Companies 1001 and 1002 (category 0) and 2001 (category 10); a created
    // post GW00001 holding 1001 in part (sub-application "02" with two
    // functions and the main frame with one) and 1002 whole.
    void ArrangeCompaniesAndPosts()
    {
        ASSERT_TRUE(Db().ExecAll({
            "INSERT INTO XT_QYXX(QYID, QYSBH, QYMC, LBDM) VALUES(1001, 'S1001', '华东机械', 0)",
            "INSERT INTO XT_QYXX(QYID, QYSBH, QYMC, LBDM) VALUES(1002, 'S1002', '南粤电子', 0)",
            "INSERT INTO XT_QYXX(QYID, QYSBH, QYMC, LBDM) VALUES(2001, 'S2001', '姑苏财税', 10)",
            "INSERT INTO QX_ROLES(JS_DM, JS_MC) VALUES('GW00001', '税务会计')",
        }));
        const std::string company = AddNode("1001", "华东机械", "0", "10", "1001");
        ASSERT_TRUE(Db().Exec("INSERT INTO QX_ROLEPRMS(JS_DM, PRMS_DM) VALUES('GW00001', " + company + ")"));
        const std::string vat = AddNode("02", "增值税申报", company, "20", "0");
        AddNode("02001-01-01-00-00", "一般纳税人申报表填写", vat, "30", "0");
        AddNode("02001-01-05-00-00", "申报查询", vat, "30", "0");
        const std::string frame = AddNode("01", "税务申报管理平台", company, "20", "0");
        AddNode("01003-01-20-00-00", "修改密码", frame, "30", "0");
        const std::string whole = AddNode("1002", "南粤电子", "0", "10", "1002");
        ASSERT_TRUE(Db().Exec("INSERT INTO QX_ROLEPRMS(JS_DM, PRMS_DM) VALUES('GW00001', " + whole + ")"));
    }

    std::string AddNode(const std::string& code, const std::string& name, const std::string& parent,
                        const std::string& type, const std::string& extension)
    {
        EXPECT_TRUE(Db().Exec("INSERT INTO QX_PRMSMAP(DYDM, DYMC, PARENT_DM, PRMS_TYPE, KZDM) VALUES('" +
                              code + "', '" + name + "', " + parent + ", '" + type + "', " + extension +
                              ")"));
        return Db().Scalar("SELECT MAX(PRMS_DM) FROM QX_PRMSMAP WHERE DYDM='" + code + "'");
    }

    void AddOperator(const std::string& code, const std::string& post, const std::string& category = "",
                     const std::string& valid = "Y", const std::string& password = "pw")
    {
        ASSERT_TRUE(Db().ExecAll({
            "INSERT INTO QX_CZY(CZY_DM, CZY_MC, PWD, CZY_LB, YXBZ, BM_DM) VALUES('" + code + "', '操作员" +
                code + "', '" + EncryptPassword(password) + "', '" + category + "', '" + valid + "', '')",
            "INSERT INTO QX_CZYRROLE(CZY_DM, JS_DM) VALUES('" + code + "', '" + post + "')",
        }));
    }

    // Opens the host again in another company (the rows stay).
    void SwitchCompany(const std::string& companyId)
    {
        ASSERT_TRUE(Db().Reopen([&](fennix::Settings& settings) { settings.companyId = companyId; }));
    }
};

} // namespace priv::test
