#include "privilege_document.h"

#include "boundary/text.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QString>

#include <algorithm>
#include <map>
#include <set>

namespace privhost {
namespace {

QString Q(const std::string& text)
{
    return QString::fromStdString(text);
}

std::string S(const QString& text)
{
    return text.toStdString();
}

// The operator fields as the document names them, with their place in the row.
struct OperatorField {
    const char* key;
    std::string priv::OperatorRow::*member;
};
const OperatorField kOperatorFields[] = {
    {"name", &priv::OperatorRow::Name},
    {"category", &priv::OperatorRow::Category},
    {"departmentText", &priv::OperatorRow::DepartmentText},
    {"description", &priv::OperatorRow::Description},
    {"phone", &priv::OperatorRow::Phone},
    {"email", &priv::OperatorRow::Email},
    {"address", &priv::OperatorRow::Address},
    {"valid", &priv::OperatorRow::ValidFlag},
    {"timeLimitFlag", &priv::OperatorRow::TimeLimitFlag},
    {"timeLimit", &priv::OperatorRow::TimeLimit},
    {"lastSignIn", &priv::OperatorRow::LastSignIn},
    {"department", &priv::OperatorRow::DepartmentCode},
    {"post", &priv::OperatorRow::PostCode},
};

QJsonArray GrantsJson(const std::vector<CompanyGrant>& grants)
{
    QJsonArray out;
    for (const CompanyGrant& company : grants) {
        QJsonObject entry;
        entry[QStringLiteral("company")] = static_cast<qint64>(std::stoll(company.companyId));
        if (!company.whole) {
            QJsonArray apps;
            for (const AppGrant& app : company.apps) {
                QJsonArray functions;
                for (const std::string& function : app.functions)
                    functions.append(Q(function));
                apps.append(QJsonObject{{QStringLiteral("code"), Q(app.code)},
                                        {QStringLiteral("functions"), functions}});
            }
            entry[QStringLiteral("applications")] = apps;
        }
        out.append(entry);
    }
    return out;
}

// Reads a document while noting every fault with the place it was found.
class Reader {
public:
    explicit Reader(std::vector<std::string>& faults) : faults_(faults) {}

    void Fault(const std::string& where, const std::string& what) { faults_.push_back(where + "：" + what); }

    bool Text(const QJsonObject& object, const char* key, const std::string& where, std::string& out,
              bool required)
    {
        const QJsonValue value = object.value(QLatin1String(key));
        if (value.isUndefined()) {
            if (required)
                Fault(where, std::string("缺少“") + key + "”");
            return false;
        }
        if (!value.isString()) {
            Fault(where + "." + key, "应为文本");
            return false;
        }
        out = S(value.toString());
        return true;
    }

    bool Array(const QJsonObject& object, const char* key, const std::string& where, QJsonArray& out)
    {
        const QJsonValue value = object.value(QLatin1String(key));
        if (value.isUndefined())
            return false;
        if (!value.isArray()) {
            Fault(where + "." + key, "应为数组");
            return false;
        }
        out = value.toArray();
        return true;
    }

    bool Object(const QJsonValue& value, const std::string& where, QJsonObject& out)
    {
        if (!value.isObject()) {
            Fault(where, "应为对象");
            return false;
        }
        out = value.toObject();
        return true;
    }

    // A code: present, not empty, and not given twice in its list by the
    // module's rule (letter case ignored).
    bool Code(const QJsonObject& object, const std::string& where, std::vector<std::string>& seen,
              std::string& code)
    {
        if (!Text(object, "code", where, code, true))
            return false;
        if (priv::TrimText(code).empty() || code != priv::TrimText(code)) {
            Fault(where + ".code", "代码不能为空，前后也不能有空格");
            return false;
        }
        if (code.size() > 20) {
            Fault(where + ".code", "代码“" + code + "”超过 20 个字符");
            return false;
        }
        if (priv::FindCode(seen.begin(), seen.end(), code, [](const std::string& c) { return c; }) !=
            seen.end()) {
            Fault(where + ".code", "代码“" + code + "”在文件中出现了两次");
            return false;
        }
        seen.push_back(code);
        return true;
    }

    bool CompanyId(const QJsonValue& value, const std::string& where, std::string& out)
    {
        const double number = value.toDouble(-1);
        if (!value.isDouble() || number < 0 || number > 2147483647.0 ||
            number != static_cast<double>(static_cast<qint64>(number))) {
            Fault(where, "单位编号应为非负整数");
            return false;
        }
        out = std::to_string(static_cast<qint64>(number));
        return true;
    }

    void Grants(const QJsonArray& array, const std::string& where, std::vector<CompanyGrant>& grants)
    {
        std::set<std::string> companies;
        for (int i = 0; i < array.size(); ++i) {
            const std::string at = where + "[" + std::to_string(i) + "]";
            QJsonObject object;
            if (!Object(array[i], at, object))
                continue;
            CompanyGrant grant;
            if (!CompanyId(object.value(QStringLiteral("company")), at + ".company", grant.companyId))
                continue;
            if (!companies.insert(grant.companyId).second) {
                Fault(at + ".company", "单位 " + grant.companyId + " 出现了两次");
                continue;
            }
            QJsonArray apps;
            if (Array(object, "applications", at, apps)) {
                grant.whole = false;
                // A company node without any sub-application grants the whole
                // company: an empty list would grant more than it says.
                if (apps.isEmpty())
                    Fault(at + ".applications", "子系统列表为空；授予整个单位时请省略“applications”");
                std::vector<std::string> seenApps;
                for (int a = 0; a < apps.size(); ++a) {
                    const std::string appAt = at + ".applications[" + std::to_string(a) + "]";
                    QJsonObject appObject;
                    AppGrant app;
                    if (!Object(apps[a], appAt, appObject) || !Text(appObject, "code", appAt, app.code, true))
                        continue;
                    if (std::find(seenApps.begin(), seenApps.end(), app.code) != seenApps.end()) {
                        Fault(appAt + ".code", "子系统“" + app.code + "”出现了两次");
                        continue;
                    }
                    seenApps.push_back(app.code);
                    QJsonArray functions;
                    Array(appObject, "functions", appAt, functions);
                    for (int f = 0; f < functions.size(); ++f) {
                        if (!functions[f].isString()) {
                            Fault(appAt + ".functions[" + std::to_string(f) + "]", "应为文本");
                            continue;
                        }
                        app.functions.push_back(S(functions[f].toString()));
                    }
                    std::sort(app.functions.begin(), app.functions.end());
                    app.functions.erase(std::unique(app.functions.begin(), app.functions.end()),
                                        app.functions.end());
                    grant.apps.push_back(std::move(app));
                }
                std::sort(grant.apps.begin(), grant.apps.end(),
                          [](const AppGrant& a, const AppGrant& b) { return a.code < b.code; });
            }
            grants.push_back(std::move(grant));
        }
        std::sort(grants.begin(), grants.end(), [](const CompanyGrant& a, const CompanyGrant& b) {
            return std::stoll(a.companyId) < std::stoll(b.companyId);
        });
    }

private:
    std::vector<std::string>& faults_;
};

// Line and column (both from 1, the column in characters) of a byte offset.
std::pair<int, int> LineAndColumn(const QByteArray& bytes, int offset)
{
    int line = 1;
    int lineStart = 0;
    for (int i = 0; i < offset && i < bytes.size(); ++i)
        if (bytes[i] == '\n') {
            ++line;
            lineStart = i + 1;
        }
    const int column =
        static_cast<int>(QString::fromUtf8(bytes.mid(lineStart, offset - lineStart)).size()) + 1;
    return {line, column};
}

bool IsCompanyNumber(const std::string& text)
{
    return !text.empty() && text.size() <= 10 &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

} // namespace

bool OperatorEntry::Gives(const char* field) const
{
    return std::find(given.begin(), given.end(), field) != given.end();
}

std::vector<CompanyGrant> GrantsOf(const priv::TRolePermissions& permissions)
{
    std::map<long long, CompanyGrant> companies;
    for (int c = 0; c < permissions.Count(); ++c) {
        const priv::TCompPermit& company = *permissions.Items(c);
        if (company.PermitState() == priv::kPermitRemoved || !IsCompanyNumber(company.CompanyId()))
            continue;
        CompanyGrant& grant = companies[std::stoll(company.CompanyId())];
        grant.companyId = std::to_string(std::stoll(company.CompanyId()));
        grant.whole = grant.whole && company.AllGranted();
        std::map<std::string, std::set<std::string>> apps;
        for (const AppGrant& app : grant.apps)
            apps[app.code].insert(app.functions.begin(), app.functions.end());
        for (int a = 0; a < company.Count(); ++a) {
            const priv::TAppPermit& app = *company.Items(a);
            if (app.PermitState() == priv::kPermitRemoved)
                continue;
            std::set<std::string>& functions = apps[app.GetCode()];
            for (int f = 0; f < app.Count(); ++f)
                if (app.Items(f)->PermitState() != priv::kPermitRemoved)
                    functions.insert(app.Items(f)->GetCode());
        }
        grant.apps.clear();
        for (const auto& [code, functions] : apps)
            grant.apps.push_back({code, std::vector<std::string>(functions.begin(), functions.end())});
    }
    std::vector<CompanyGrant> out;
    for (auto& [id, grant] : companies) {
        if (grant.whole)
            grant.apps.clear();
        out.push_back(std::move(grant));
    }
    return out;
}

QByteArray WriteDocument(const PrivilegeDocument& document, bool withPasswords)
{
    QJsonArray departments;
    for (const priv::DepartmentRow& department : document.departments)
        departments.append(QJsonObject{{QStringLiteral("code"), Q(department.Code)},
                                       {QStringLiteral("name"), Q(department.Name)}});
    QJsonArray posts;
    for (const PostEntry& post : document.posts) {
        QJsonObject entry{{QStringLiteral("code"), Q(post.code)},
                          {QStringLiteral("grants"), GrantsJson(post.grants)}};
        if (post.builtIn)
            entry[QStringLiteral("builtIn")] = true;
        else
            entry[QStringLiteral("name")] = Q(post.name);
        posts.append(entry);
    }
    QJsonArray operators;
    for (const OperatorEntry& entry : document.operators) {
        QJsonObject object{{QStringLiteral("code"), Q(entry.row.Code)}};
        for (const OperatorField& field : kOperatorFields)
            object[QLatin1String(field.key)] = Q(entry.row.*field.member);
        if (withPasswords)
            object[QStringLiteral("password")] = Q(entry.row.Password);
        operators.append(object);
    }
    QJsonArray companies;
    for (const priv::CompanyRow& company : document.companies)
        companies.append(
            QJsonObject{{QStringLiteral("id"), static_cast<qint64>(std::stoll(company.Id))},
                        {QStringLiteral("taxNumber"), Q(company.TaxNumber)},
                        {QStringLiteral("name"), Q(company.Name)},
                        {QStringLiteral("category"), static_cast<qint64>(std::stoll(company.Category))}});
    const QJsonObject root{{QStringLiteral("format"), QLatin1String(kDocumentFormat)},
                           {QStringLiteral("version"), kDocumentVersion},
                           {QStringLiteral("departments"), departments},
                           {QStringLiteral("posts"), posts},
                           {QStringLiteral("operators"), operators},
                           {QStringLiteral("companies"), companies}};
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

bool ReadDocument(const QByteArray& bytes, PrivilegeDocument& document, std::vector<std::string>& faults)
{
    QJsonParseError error{};
    const QJsonDocument json = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError) {
        const auto [line, column] = LineAndColumn(bytes, error.offset);
        faults.push_back("不是有效的 JSON：第 " + std::to_string(line) + " 行第 " + std::to_string(column) +
                         " 列，" + S(error.errorString()));
        return false;
    }
    if (!json.isObject()) {
        faults.emplace_back("文件的顶层应为对象");
        return false;
    }
    const QJsonObject root = json.object();
    if (root.value(QStringLiteral("format")).toString() != QLatin1String(kDocumentFormat)) {
        faults.push_back(std::string("不是权限数据文件（“format”应为“") + kDocumentFormat + "”）");
        return false;
    }
    const QJsonValue version = root.value(QStringLiteral("version"));
    if (!version.isDouble() || version.toDouble() != kDocumentVersion) {
        faults.push_back("文件格式版本 " + S(version.toVariant().toString()) + " 无法读取，本程序读取版本 " +
                         std::to_string(kDocumentVersion));
        return false;
    }
    Reader read(faults);
    const std::size_t before = faults.size();

    QJsonArray array;
    std::vector<std::string> seen;
    if (read.Array(root, "departments", "departments", array))
        for (int i = 0; i < array.size(); ++i) {
            const std::string at = "departments[" + std::to_string(i) + "]";
            QJsonObject object;
            priv::DepartmentRow department;
            if (!read.Object(array[i], at, object) || !read.Code(object, at, seen, department.Code))
                continue;
            read.Text(object, "name", at, department.Name, true);
            document.departments.push_back(std::move(department));
        }

    seen.clear();
    array = {};
    if (read.Array(root, "posts", "posts", array))
        for (int i = 0; i < array.size(); ++i) {
            const std::string at = "posts[" + std::to_string(i) + "]";
            QJsonObject object;
            PostEntry post;
            if (!read.Object(array[i], at, object) || !read.Code(object, at, seen, post.code))
                continue;
            const QJsonValue builtIn = object.value(QStringLiteral("builtIn"));
            if (!builtIn.isUndefined() && !builtIn.isBool())
                read.Fault(at + ".builtIn", "应为 true 或 false");
            post.builtIn = builtIn.toBool(false);
            if (!post.builtIn)
                read.Text(object, "name", at, post.name, true);
            QJsonArray grants;
            post.hasGrants = read.Array(object, "grants", at, grants);
            read.Grants(grants, at + ".grants", post.grants);
            document.posts.push_back(std::move(post));
        }

    seen.clear();
    array = {};
    if (read.Array(root, "operators", "operators", array))
        for (int i = 0; i < array.size(); ++i) {
            const std::string at = "operators[" + std::to_string(i) + "]";
            QJsonObject object;
            OperatorEntry entry;
            if (!read.Object(array[i], at, object) || !read.Code(object, at, seen, entry.row.Code))
                continue;
            for (const OperatorField& field : kOperatorFields)
                if (read.Text(object, field.key, at, entry.row.*field.member, false))
                    entry.given.emplace_back(field.key);
            entry.hasPassword = read.Text(object, "password", at, entry.row.Password, false);
            document.operators.push_back(std::move(entry));
        }

    array = {};
    if (read.Array(root, "companies", "companies", array))
        for (int i = 0; i < array.size(); ++i) {
            const std::string at = "companies[" + std::to_string(i) + "]";
            QJsonObject object;
            priv::CompanyRow company;
            if (!read.Object(array[i], at, object) ||
                !read.CompanyId(object.value(QStringLiteral("id")), at + ".id", company.Id))
                continue;
            read.Text(object, "name", at, company.Name, false);
            read.Text(object, "taxNumber", at, company.TaxNumber, false);
            document.companies.push_back(std::move(company));
        }
    return faults.size() == before;
}

} // namespace privhost
