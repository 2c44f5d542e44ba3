#include "demo_data.h"

#include "host_database.h"

#include "cipher/crypt.h"

#include <string>
#include <vector>

namespace privhost {
namespace {

struct DemoCompany {
    int id;
    const char* taxNumber;
    const char* name;
    int category; // 0 ordinary, 10 agency clients
};

const DemoCompany kCompanies[] = {
    {1001, "91310000MA1FL8XQ2A", "上海华东机械制造有限公司", 0},
    {1002, "91440300MA5DC2KJ7N", "深圳南粤电子科技有限公司", 0},
    {1003, "91110108MA01B3HQ5X", "北京京华商贸有限公司", 0},
    {1004, "91330100MA2H7TKL3C", "杭州西湖茶业股份有限公司", 0},
    {2001, "91320500MA1N9PQ46R", "苏州姑苏财税代理有限公司", 10},
    {2002, "91510100MA6C8RWD1E", "成都天府会计服务有限公司", 10},
};

struct DemoDepartment {
    const char* code;
    const char* name;
};

const DemoDepartment kDepartments[] = {
    {"BM01", "综合办公室"}, {"BM02", "财务部"}, {"BM03", "税务部"}, {"BM04", "审计部"}};

struct DemoOperator {
    const char* code;
    const char* name;
    const char* post;
    const char* department;
    const char* password;
    const char* phone;
    const char* email;
    bool active;
};

const DemoOperator kOperators[] = {
    {"zhangwei", "张伟", "SYSTEM", "BM01", "zw2024", "(021)6283-1101", "zhangwei@example.com", true},
    {"lina", "李娜", "BUSINESS", "BM03", "ln2024", "(021)6283-1102", "lina@example.com", true},
    {"wangfang", "王芳", "AUDITOR", "BM04", "wf2024", "(021)6283-1103", "wangfang@example.com", true},
    {"zhaomin", "赵敏", "GW00001", "BM02", "zm2024", "(021)6283-1104", "zhaomin@example.com", true},
    {"liuyang", "刘洋", "GW00002", "BM02", "ly2024", "(021)6283-1105", "liuyang@example.com", true},
    {"zhoujie", "周杰", "BUSINESS", "BM03", "zj2024", "(021)6283-1106", "zhoujie@example.com", false},
};

// Inserts one permission node and answers its new code.
std::string AddNode(const std::string& code, const std::string& name, const std::string& parent,
                    const std::string& type, const std::string& extension)
{
    if (!Execute("INSERT INTO QX_PRMSMAP(DYDM, DYMC, PARENT_DM, PRMS_TYPE, KZDM) VALUES(" + Quoted(code) +
                 ", " + Quoted(name) + ", " + parent + ", " + Quoted(type) + ", " + extension + ")"))
        return {};
    return ScalarText("SELECT MAX(PRMS_DM) FROM QX_PRMSMAP WHERE DYDM=" + Quoted(code));
}

bool GrantCompany(const std::string& post, const DemoCompany& company)
{
    const std::string id = std::to_string(company.id);
    const std::string node = AddNode(id, company.name, "0", "10", id);
    return !node.empty() &&
           Execute("INSERT INTO QX_ROLEPRMS(JS_DM, PRMS_DM) VALUES(" + Quoted(post) + ", " + node + ")");
}

// Grants a company with only some sub-applications: the main frame and the
// first sub-application, each with its first functions.
bool GrantCompanyInPart(const std::string& post, const DemoCompany& company, std::size_t functionsEach)
{
    const std::string id = std::to_string(company.id);
    const std::string companyNode = AddNode(id, company.name, "0", "10", id);
    if (companyNode.empty() ||
        !Execute("INSERT INTO QX_ROLEPRMS(JS_DM, PRMS_DM) VALUES(" + Quoted(post) + ", " + companyNode + ")"))
        return false;
    const std::vector<priv::SubAppDescriptor*> descriptors = fennix::AllDescriptors();
    for (std::size_t d = 0; d < descriptors.size() && d < 2; ++d) {
        const priv::SubAppDescriptor& app = *descriptors[d];
        const std::string appNode = AddNode(app.code, app.name, companyNode, "20", "0");
        if (appNode.empty())
            return false;
        std::size_t granted = 0;
        for (const priv::FunctionRecord& function : app.functions) {
            // Of the main frame's own functions a clerk-like post only gets
            // those the host offers to business operators.
            const bool mainFrame = d == 0;
            if (function.name == "-" || (mainFrame && function.posts.find("BUSINESS") == std::string::npos))
                continue;
            if (granted++ == functionsEach)
                break;
            if (AddNode(function.code, function.name, appNode, "30", "0").empty())
                return false;
        }
    }
    return true;
}

} // namespace

bool CreateDemoData(const fennix::Settings& /*settings*/)
{
    for (const DemoCompany& c : kCompanies)
        if (!Execute("INSERT INTO XT_QYXX(QYID, QYSBH, QYMC, LBDM) VALUES(" + std::to_string(c.id) + ", " +
                     Quoted(c.taxNumber) + ", " + Quoted(c.name) + ", " + std::to_string(c.category) + ")"))
            return false;
    for (const DemoDepartment& d : kDepartments)
        if (!Execute("INSERT INTO XT_BMXX(QYID, BM_DM, BM_MC) VALUES(0, " + Quoted(d.code) + ", " +
                     Quoted(d.name) + ")"))
            return false;
    if (!Execute("INSERT INTO QX_ROLES(JS_DM, JS_MC) VALUES('GW00001', '税务会计')") ||
        !Execute("INSERT INTO QX_ROLES(JS_DM, JS_MC) VALUES('GW00002', '出纳')"))
        return false;
    // 税务会计: two whole companies and a third in part; 出纳: one company in
    // part; 审核员: one whole company.
    if (!GrantCompany("GW00001", kCompanies[0]) || !GrantCompany("GW00001", kCompanies[1]) ||
        !GrantCompanyInPart("GW00001", kCompanies[2], 3) ||
        !GrantCompanyInPart("GW00002", kCompanies[0], 2) || !GrantCompany("AUDITOR", kCompanies[0]))
        return false;
    for (const DemoOperator& o : kOperators) {
        const std::string department =
            ScalarText(std::string("SELECT BM_MC FROM XT_BMXX WHERE BM_DM=") + Quoted(o.department));
        if (!Execute(
                "INSERT INTO QX_CZY(CZY_DM, CZY_MC, PWD, CZY_LB, SSBM, DESCRIPTION, DHHM, EMAIL, ZZ, YXBZ, "
                "BM_DM) VALUES(" +
                Quoted(o.code) + ", " + Quoted(o.name) + ", " + Quoted(priv::EncryptPassword(o.password)) +
                ", '', " + Quoted(department) + ", '演示操作员', " + Quoted(o.phone) + ", " +
                Quoted(o.email) + ", '上海市浦东新区世纪大道100号', " + Quoted(o.active ? "Y" : "N") + ", " +
                Quoted(o.department) + ")") ||
            !Execute("INSERT INTO QX_CZYRROLE(CZY_DM, JS_DM) VALUES(" + Quoted(o.code) + ", " +
                     Quoted(o.post) + ")"))
            return false;
    }
    return true;
}

void PrintDemoOperators(std::ostream& out)
{
    out << "演示数据已创建。演示操作员（代码 / 密码 / 岗位）:\n";
    for (const DemoOperator& o : kOperators)
        out << "  " << o.code << " / " << o.password << " / " << o.post << (o.active ? "" : " (已停用)")
            << '\n';
}

} // namespace privhost
