#include "import_plan.h"

#include "boundary/builtin_posts.h"
#include "boundary/text.h"
#include "cipher/crypt.h"
#include "store/department_store.h"
#include "store/operator_store.h"
#include "store/post_store.h"
#include "store/transfer_store.h"

#include <fennix/fennix.h>

#include <algorithm>
#include <map>
#include <set>

namespace privhost {
namespace {

// The stored code a code means, by the module's rule (exactly so, else
// ignoring the case of letters); empty when none.
template <class Rows, class CodeOf>
std::string StoredCode(const Rows& rows, const std::string& code, CodeOf codeOf)
{
    const auto found = priv::FindCode(rows.begin(), rows.end(), code, codeOf);
    return found == rows.end() ? std::string() : std::string(codeOf(*found));
}

const std::string& CodeText(const std::string& code)
{
    return code;
}

// The code of the one entry with this name; empty when none or several.
std::string CodeByName(const std::map<std::string, std::string>& names, const std::string& name)
{
    std::string found;
    for (const auto& [code, held] : names)
        if (held == name) {
            if (!found.empty())
                return {};
            found = code;
        }
    return found;
}

const char* const kBuiltInPostCodes[] = {priv::kSuperAdminPost, priv::kSystemPost, priv::kBusinessPost,
                                         priv::kAuditorPost};

bool IsBuiltInPostCode(const std::string& code)
{
    return std::any_of(std::begin(kBuiltInPostCodes), std::end(kBuiltInPostCodes),
                       [&](const char* builtIn) { return priv::SameTextAscii(code, builtIn); });
}

// The operator fields the administrator reads in the list of changes.
struct FieldName {
    std::string priv::OperatorRow::*member;
    const char* name;
    const char* key; // as the document names it (see privilege_document.cpp); none for the password
};
const FieldName kFieldNames[] = {
    {&priv::OperatorRow::Name, "姓名", "name"},
    {&priv::OperatorRow::Password, "密码", nullptr},
    {&priv::OperatorRow::Category, "操作员类别", "category"},
    {&priv::OperatorRow::DepartmentText, "所属部门文字", "departmentText"},
    {&priv::OperatorRow::Description, "描述", "description"},
    {&priv::OperatorRow::Phone, "联系电话", "phone"},
    {&priv::OperatorRow::Email, "电子邮箱", "email"},
    {&priv::OperatorRow::Address, "住址", "address"},
    {&priv::OperatorRow::ValidFlag, "有效标志", "valid"},
    {&priv::OperatorRow::TimeLimitFlag, "限时标志", "timeLimitFlag"},
    {&priv::OperatorRow::TimeLimit, "限制时间", "timeLimit"},
    {&priv::OperatorRow::LastSignIn, "最后登录时间", "lastSignIn"},
    {&priv::OperatorRow::DepartmentCode, "部门", "department"},
    {&priv::OperatorRow::PostCode, "岗位", "post"},
};

bool ExtrasDiffer(const priv::OperatorRow& a, const priv::OperatorRow& b)
{
    return a.Category != b.Category || a.Description != b.Description || a.TimeLimitFlag != b.TimeLimitFlag ||
           a.TimeLimit != b.TimeLimit || a.LastSignIn != b.LastSignIn;
}

// The sub-applications and functions the host knows: the main frame first,
// then the others in the applications file's order.
struct KnownApps {
    std::vector<const priv::SubAppDescriptor*> apps;

    const priv::SubAppDescriptor* Find(const std::string& code) const
    {
        const auto found =
            priv::FindCode(apps.begin(), apps.end(), code,
                           [](const priv::SubAppDescriptor* d) -> const std::string& { return d->code; });
        return found == apps.end() ? nullptr : *found;
    }
};

std::string FunctionCode(const priv::SubAppDescriptor& app, const std::string& code)
{
    return StoredCode(app.functions, code, [](const priv::FunctionRecord& function) -> const std::string& {
        return function.code;
    });
}

std::string Join(const std::vector<std::string>& items, const char* separator)
{
    std::string out;
    for (const std::string& item : items)
        out += (out.empty() ? "" : separator) + item;
    return out;
}

// What differs between two sets of grants, in words.
std::string GrantChanges(const std::vector<CompanyGrant>& before, const std::vector<CompanyGrant>& after)
{
    std::map<std::string, const CompanyGrant*> old, now;
    for (const CompanyGrant& grant : before)
        old[grant.companyId] = &grant;
    for (const CompanyGrant& grant : after)
        now[grant.companyId] = &grant;
    std::vector<std::string> added, removed, changed;
    for (const CompanyGrant& grant : after) {
        const auto found = old.find(grant.companyId);
        if (found == old.end())
            added.push_back(grant.companyId + (grant.whole ? "（整个单位）" : ""));
        else if (!(*found->second == grant))
            changed.push_back(grant.companyId + (grant.whole ? "（改为整个单位）" : ""));
    }
    for (const CompanyGrant& grant : before)
        if (!now.count(grant.companyId))
            removed.push_back(grant.companyId);
    std::vector<std::string> parts;
    if (!added.empty())
        parts.push_back("新增单位 " + Join(added, "、"));
    if (!removed.empty())
        parts.push_back("撤销单位 " + Join(removed, "、"));
    if (!changed.empty())
        parts.push_back("改变单位 " + Join(changed, "、") + " 的子系统或功能");
    return Join(parts, "；");
}

// Marks the tree of a post so that saving it leaves exactly `grants`.
void MarkGrants(priv::TRolePermissions& tree, const std::vector<CompanyGrant>& grants,
                const std::vector<priv::CompanyRow>& companies)
{
    std::set<std::string> wanted;
    for (const CompanyGrant& grant : grants)
        wanted.insert(grant.companyId);
    for (int c = 0; c < tree.Count(); ++c)
        if (!wanted.count(tree.Items(c)->CompanyId()))
            tree.Items(c)->SetPermitState(priv::kPermitRemoved);
    for (const CompanyGrant& grant : grants) {
        priv::TCompPermit* company = tree.Mark(grant.companyId, true);
        if (company->PermitState() == priv::kPermitAdded) {
            const auto row = std::find_if(companies.begin(), companies.end(),
                                          [&](const priv::CompanyRow& r) { return r.Id == grant.companyId; });
            if (row != companies.end())
                company->SetTexts(row->Id, row->TaxNumber, row->Name);
        }
        company->SetAllGranted(grant.whole);
        if (grant.whole)
            continue;
        std::set<std::string> apps;
        for (const AppGrant& app : grant.apps)
            apps.insert(app.code);
        for (int a = 0; a < company->Count(); ++a)
            if (!apps.count(company->Items(a)->GetCode()))
                company->Items(a)->SetPermitState(priv::kPermitRemoved);
        for (const AppGrant& app : grant.apps) {
            priv::TAppPermit* node = company->Mark(app.code, true);
            const std::set<std::string> functions(app.functions.begin(), app.functions.end());
            for (int f = 0; f < node->Count(); ++f)
                if (!functions.count(node->Items(f)->GetCode()))
                    node->Items(f)->SetPermitState(priv::kPermitRemoved);
            for (const std::string& function : app.functions)
                node->Mark(function, true);
        }
    }
}

} // namespace

PlanResult MakeImportPlan(const PrivilegeDocument& document, bool fromDocument, ImportPlan& plan,
                          std::vector<std::string>& faults, std::string& error)
{
    priv::TTransferStore store;
    auto departments = store.Departments();
    auto posts = departments ? store.Posts() : std::nullopt;
    auto operators = posts ? store.Operators() : std::nullopt;
    auto companies = operators ? store.Companies() : std::nullopt;
    if (!companies) {
        error = store.LastMessage();
        return PlanResult::Unreadable;
    }
    plan.companies = *companies;
    const auto departmentCode = [](const priv::DepartmentRow& row) -> const std::string& { return row.Code; };
    const auto postCode = [](const priv::PostRow& row) -> const std::string& { return row.Code; };
    const auto operatorCode = [](const priv::OperatorRow& row) -> const std::string& { return row.Code; };

    // --- Departments -------------------------------------------------------------
    std::map<std::string, std::string> departmentNames; // stored or new code -> name after the import
    for (const priv::DepartmentRow& row : *departments)
        departmentNames[row.Code] = row.Name;
    std::vector<std::string> importedDepartments;
    for (const priv::DepartmentRow& given : document.departments) {
        PlannedDepartment planned{given, false};
        const std::string stored = StoredCode(*departments, given.Code, departmentCode);
        if (priv::TrimText(given.Name).empty()) {
            faults.push_back("部门 " + given.Code + " 的名称为空");
            continue;
        }
        if (stored.empty()) {
            planned.isNew = true;
            plan.changes.push_back("新增部门 " + given.Code + "（" + given.Name + "）");
        } else {
            planned.row.Code = stored;
            const std::string& before = departmentNames[stored];
            if (before == given.Name)
                continue;
            plan.changes.push_back("修改部门 " + stored + " 的名称：" + before + " → " + given.Name);
        }
        departmentNames[planned.row.Code] = given.Name;
        importedDepartments.push_back(planned.row.Code);
        plan.departments.push_back(std::move(planned));
    }
    // The department dialog refuses a name another department has.
    for (const std::string& code : importedDepartments)
        for (const auto& [other, name] : departmentNames)
            if (other != code && name == departmentNames[code])
                faults.push_back("部门名称“" + name + "”已被部门 " + other + " 使用（部门 " + code + "）");

    // --- Posts -------------------------------------------------------------------
    std::map<std::string, std::string> postNames;
    for (const priv::PostRow& row : *posts)
        postNames[row.Code] = row.Name;
    std::vector<std::string> importedPosts;
    std::vector<std::string> knownPosts; // codes after the import
    for (const priv::PostRow& row : *posts)
        knownPosts.push_back(row.Code);
    KnownApps known;
    for (const priv::SubAppDescriptor* app : fennix::AllDescriptors())
        known.apps.push_back(app);
    priv::TRolesMgr roles;
    for (const PostEntry& given : document.posts) {
        PlannedPost planned{given, false, false, false};
        const std::string where = "岗位 " + given.code;
        if (given.builtIn) {
            if (!priv::SameTextAscii(given.code, priv::kAuditorPost)) {
                faults.push_back(where + "：只有内置岗位 AUDITOR 的授权可以导入");
                continue;
            }
        } else if (IsBuiltInPostCode(given.code)) {
            faults.push_back(where + "：这是内置岗位的代码，不能作为新岗位导入");
            continue;
        } else if (priv::TrimText(given.name).empty()) {
            faults.push_back(where + " 的名称为空");
            continue;
        }
        const std::string stored = StoredCode(*posts, given.code, postCode);
        if (stored.empty() && given.builtIn) {
            faults.push_back(where + "：数据库中没有这个内置岗位（请先运行 privhost init）");
            continue;
        }
        planned.entry.code = stored.empty() ? given.code : stored;
        if (!given.builtIn) {
            if (stored.empty()) {
                planned.isNew = planned.writeRow = true;
                plan.changes.push_back("新增岗位 " + given.code + "（" + given.name + "）");
                knownPosts.push_back(given.code);
            } else if (postNames[stored] != given.name) {
                planned.writeRow = true;
                plan.changes.push_back("修改岗位 " + stored + " 的名称：" + postNames[stored] + " → " +
                                       given.name);
            }
            postNames[planned.entry.code] = given.name;
            importedPosts.push_back(planned.entry.code);
        }
        // Grants: companies the database lists, sub-applications and
        // functions the host knows, each written in the host's own code.
        std::vector<CompanyGrant> grants = given.grants;
        for (CompanyGrant& grant : grants) {
            if (std::none_of(companies->begin(), companies->end(),
                             [&](const priv::CompanyRow& row) { return row.Id == grant.companyId; }))
                faults.push_back(where + "：数据库中没有单位 " + grant.companyId);
            for (AppGrant& app : grant.apps) {
                const priv::SubAppDescriptor* descriptor = known.Find(app.code);
                if (!descriptor) {
                    faults.push_back(where + "，单位 " + grant.companyId + "：本机的应用程序中没有子系统 " +
                                     app.code);
                    continue;
                }
                app.code = descriptor->code;
                for (std::string& function : app.functions) {
                    const std::string code = FunctionCode(*descriptor, function);
                    if (code.empty())
                        faults.push_back(where + "，单位 " + grant.companyId + "：子系统 " + app.code +
                                         " 中没有功能 " + function);
                    else
                        function = code;
                }
                std::sort(app.functions.begin(), app.functions.end());
                app.functions.erase(std::unique(app.functions.begin(), app.functions.end()),
                                    app.functions.end());
            }
            std::sort(grant.apps.begin(), grant.apps.end(),
                      [](const AppGrant& a, const AppGrant& b) { return a.code < b.code; });
        }
        planned.entry.grants = grants;
        if (given.hasGrants) {
            std::vector<CompanyGrant> before;
            if (!planned.isNew) {
                priv::TRolePermissions tree;
                if (!roles.LoadPostPermissions(planned.entry.code, &tree)) {
                    error = "无法读取岗位 " + planned.entry.code + " 的授权";
                    return PlanResult::Unreadable;
                }
                before = GrantsOf(tree);
            }
            const std::string changes = GrantChanges(before, grants);
            if (!changes.empty()) {
                planned.writeGrants = true;
                plan.changes.push_back("岗位 " + planned.entry.code + " 的授权：" + changes);
            }
        }
        if (planned.writeRow || planned.writeGrants)
            plan.posts.push_back(std::move(planned));
    }
    for (const std::string& code : importedPosts)
        for (const auto& [other, name] : postNames)
            if (other != code && name == postNames[code])
                faults.push_back("岗位名称“" + name + "”已被岗位 " + other + " 使用（岗位 " + code + "）");

    // --- Operators -----------------------------------------------------------------
    std::vector<std::string> knownDepartments;
    knownDepartments.reserve(departmentNames.size());
    for (const auto& [code, name] : departmentNames)
        knownDepartments.push_back(code);
    for (const OperatorEntry& given : document.operators) {
        const std::string where = "操作员 " + given.row.Code;
        const std::string stored = StoredCode(*operators, given.row.Code, operatorCode);
        priv::OperatorRow before;
        PlannedOperator planned;
        if (stored.empty()) {
            planned.isNew = true;
            planned.row.Code = given.row.Code;
            planned.row.ValidFlag = "Y";
            if (!given.hasPassword) {
                faults.push_back(where + "：数据库中没有这个操作员，文件中也没有他的密码");
                continue;
            }
        } else {
            before = *std::find_if(operators->begin(), operators->end(),
                                   [&](const priv::OperatorRow& row) { return row.Code == stored; });
            planned.row = before;
        }
        for (const FieldName& field : kFieldNames)
            if (field.key && given.Gives(field.key))
                planned.row.*field.member = given.row.*field.member;
        // A typed password that is the stored one keeps its stored form: the
        // cipher may write one password in several ways.
        if (given.hasPassword &&
            (fromDocument || planned.isNew || priv::DecryptPassword(before.Password) != given.typedPassword))
            planned.row.Password = given.row.Password;
        // The post and department the operator is given: the file's or the
        // database's, written as stored.
        const std::string post = planned.row.PostCode;
        const auto builtIn = std::find_if(std::begin(kBuiltInPostCodes), std::end(kBuiltInPostCodes),
                                          [&](const char* code) { return priv::SameTextAscii(post, code); });
        std::string knownPost = builtIn != std::end(kBuiltInPostCodes)
                                    ? std::string(*builtIn)
                                    : StoredCode(knownPosts, post, CodeText);
        // A spreadsheet names the post as people do: by its name.
        if (knownPost.empty() && !fromDocument)
            knownPost = CodeByName(postNames, post);
        if (!fromDocument && knownPost == priv::kSuperAdminPost)
            faults.push_back(where + "：超级管理员的岗位不能从表格中导入");
        else if (post.empty())
            faults.push_back(where + "：没有岗位");
        else if (knownPost.empty())
            faults.push_back(where + "：岗位 " + post + " 在文件和数据库中都没有");
        else
            planned.row.PostCode = knownPost;
        if (!planned.row.DepartmentCode.empty()) {
            std::string department = StoredCode(knownDepartments, planned.row.DepartmentCode, CodeText);
            if (department.empty() && !fromDocument)
                department = CodeByName(departmentNames, planned.row.DepartmentCode);
            if (department.empty())
                faults.push_back(where + "：部门 " + planned.row.DepartmentCode + " 在文件和数据库中都没有");
            else
                planned.row.DepartmentCode = department;
        }
        if (planned.row.ValidFlag != "Y" && planned.row.ValidFlag != "N")
            faults.push_back(where + "：有效标志应为 Y 或 N，而不是“" + planned.row.ValidFlag + "”");
        for (const std::string* time : {&planned.row.TimeLimit, &planned.row.LastSignIn})
            if (!time->empty() && !priv::TTransferStore::IsDateTimeText(*time))
                faults.push_back(where + "：时间“" + *time + "”应写作 yyyy-mm-dd hh:nn");
        if (!fromDocument && planned.isNew)
            planned.row.Category.clear(); // a spreadsheet never makes a super administrator
        if (planned.isNew) {
            planned.writeExtras = true;
            plan.changes.push_back("新增操作员 " + planned.row.Code + "（" + planned.row.Name + "）");
        } else {
            std::vector<std::string> changed;
            for (const FieldName& field : kFieldNames)
                if (planned.row.*field.member != before.*field.member)
                    changed.emplace_back(field.name);
            if (changed.empty())
                continue;
            planned.writeExtras = ExtrasDiffer(planned.row, before);
            plan.changes.push_back("修改操作员 " + planned.row.Code + "：" + Join(changed, "、"));
        }
        plan.operators.push_back(std::move(planned));
    }
    return faults.empty() ? PlanResult::Ready : PlanResult::Refused;
}

bool ApplyImportPlan(const ImportPlan& plan, std::string& error)
{
    priv::TDepartmentMgr departments;
    for (const PlannedDepartment& planned : plan.departments) {
        const priv::DepartmentInfo info{planned.row.Code, planned.row.Name};
        if (!(planned.isNew ? departments.AddDepartment(info) : departments.ModifyDepartment(info))) {
            error = "无法写入部门 " + planned.row.Code;
            return false;
        }
    }
    priv::TRolesMgr roles;
    for (const PlannedPost& planned : plan.posts) {
        const priv::UserPostInfo info{planned.entry.code, planned.entry.name, false};
        if (planned.writeRow && !(planned.isNew ? roles.AddPost(info) : roles.ModifyPost(info))) {
            error = "无法写入岗位 " + planned.entry.code;
            return false;
        }
    }
    priv::TOperator operators;
    priv::TTransferStore extras;
    for (const PlannedOperator& planned : plan.operators) {
        const priv::OperatorRow& row = planned.row;
        priv::OperatorInfo info;
        info.Code = row.Code;
        info.Name = row.Name;
        info.Password = row.Password;
        info.PostCode = row.PostCode;
        info.DepartmentName = row.DepartmentText;
        info.Description = row.Description;
        info.Phone = row.Phone;
        info.Email = row.Email;
        info.Address = row.Address;
        info.ValidFlag = row.ValidFlag;
        info.DepartmentCode = row.DepartmentCode;
        if (!(planned.isNew ? operators.AddOperator(info) : operators.ModifyOperator(info))) {
            error = "无法写入操作员 " + row.Code;
            return false;
        }
        if (planned.writeExtras && !extras.WriteOperatorExtras(row)) {
            error = "无法写入操作员 " + row.Code + "：" + extras.LastMessage();
            return false;
        }
    }
    // Each post's grants through the post store's save, which locks the
    // post's row and checks what other workstations changed meanwhile.
    for (const PlannedPost& planned : plan.posts) {
        if (!planned.writeGrants)
            continue;
        priv::TRolePermissions tree;
        if (!roles.LoadPostPermissions(planned.entry.code, &tree)) {
            error = "无法读取岗位 " + planned.entry.code + " 的授权";
            return false;
        }
        MarkGrants(tree, planned.entry.grants, plan.companies);
        std::string message;
        if (!roles.SavePostPermissions(&tree, message)) {
            error = "岗位 " + planned.entry.code + "：" + message;
            return false;
        }
    }
    return true;
}

} // namespace privhost
