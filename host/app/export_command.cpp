// `privhost export`: the privilege data of --db as one JSON document (see
// privilege_document.h), read in one snapshot through the module's stores.
#include "commands.h"
#include "privilege_document.h"

#include "boundary/builtin_posts.h"
#include "store/post_store.h"
#include "store/transfer_store.h"

#include <fennix/fennix.h>

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <iostream>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace privhost {
namespace {

// Posts whose grants are made afresh each time they are read: nothing of
// them is stored, so nothing travels.
bool GrantsAreMade(const std::string& code)
{
    return code == priv::kSuperAdminPost || code == priv::kSystemPost || code == priv::kBusinessPost;
}

// The document goes to a file of its owner's alone (it holds passwords that
// can be turned back into the typed ones), written beside the target and
// renamed over it, so that a failed export leaves any earlier file as it was.
bool WriteOwnerOnly(const std::string& path, const QByteArray& bytes, std::string& error)
{
    const std::filesystem::path target = std::filesystem::absolute(path);
    std::string temp = (target.parent_path() / ("." + target.filename().string() + ".XXXXXX")).string();
    const int fd = mkstemp(temp.data()); // mode 0600
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    const char* data = bytes.constData();
    std::size_t left = static_cast<std::size_t>(bytes.size());
    bool ok = true;
    while (ok && left > 0) {
        const ssize_t written = write(fd, data, left);
        if (written < 0 && errno == EINTR)
            continue;
        ok = written > 0;
        if (ok) {
            data += written;
            left -= static_cast<std::size_t>(written);
        }
    }
    ok = ok && fchmod(fd, 0600) == 0 && fsync(fd) == 0;
    if (!ok)
        error = std::strerror(errno);
    if (close(fd) != 0 && ok) {
        error = std::strerror(errno);
        ok = false;
    }
    if (ok && rename(temp.c_str(), target.c_str()) != 0) {
        error = std::strerror(errno);
        ok = false;
    }
    if (!ok)
        unlink(temp.c_str());
    return ok;
}

} // namespace

bool ReadPrivilegeDocument(PrivilegeDocument& document, std::string& error)
{
    priv::TTransferStore store;
    auto departments = store.Departments();
    auto posts = departments ? store.Posts() : std::nullopt;
    auto operators = posts ? store.Operators() : std::nullopt;
    auto companies = operators ? store.Companies() : std::nullopt;
    if (!companies) {
        error = store.LastMessage();
        return false;
    }
    document.departments = std::move(*departments);
    for (const priv::OperatorRow& row : *operators)
        document.operators.push_back({row, true, {}});

    priv::TRolesMgr roles;
    std::set<std::string> named;
    for (const priv::PostRow& row : *posts) {
        if (GrantsAreMade(row.Code))
            continue;
        PostEntry post;
        post.code = row.Code;
        post.name = row.Name;
        post.builtIn = row.Code == priv::kAuditorPost;
        post.hasGrants = true;
        priv::TRolePermissions permissions;
        if (!roles.LoadPostPermissions(row.Code, &permissions)) {
            error = "无法读取岗位 " + row.Code + " 的授权";
            return false;
        }
        post.grants = GrantsOf(permissions);
        for (const CompanyGrant& grant : post.grants)
            named.insert(grant.companyId);
        document.posts.push_back(std::move(post));
    }
    for (const priv::CompanyRow& company : *companies)
        if (named.count(company.Id))
            document.companies.push_back(company);
    return true;
}

int RunExport(const AppOptions& options)
{
    std::string out;
    bool withPasswords = true;
    for (std::size_t i = 0; i < options.args.size(); ++i) {
        if (options.args[i] == "--out" && i + 1 < options.args.size() && !options.args[i + 1].empty()) {
            out = options.args[++i];
        } else if (options.args[i] == "--without-passwords") {
            withPasswords = false;
        } else {
            std::cerr << "privhost: export: unknown argument " << options.args[i] << '\n' << kExportUsage;
            return kExitSetup;
        }
    }
    if (!OpenHost(options, true))
        return kExitSetup;

    priv::Host& host = fennix::Services();
    std::string error;
    // One state of the database for every read, whatever other workstations
    // save meanwhile.
    if (!host.DBBeginRead(priv::kMainConnection, error)) {
        std::cerr << "privhost: 无法读取数据库：" << error << '\n';
        return kExitSetup;
    }
    PrivilegeDocument document;
    const bool read = ReadPrivilegeDocument(document, error);
    host.DBEndRead(priv::kMainConnection);
    if (!read) {
        std::cerr << "privhost: 无法读取数据库：" << error << '\n';
        return kExitSetup;
    }
    const QByteArray bytes = WriteDocument(document, withPasswords);
    if (out.empty()) {
        std::cout.write(bytes.constData(), bytes.size());
        std::cout.flush();
    } else if (!WriteOwnerOnly(out, bytes, error)) {
        std::cerr << "privhost: 无法写入文件 " << out << "：" << error << '\n';
        return kExitSetup;
    }
    std::cerr << "privhost: 已导出 " << document.departments.size() << " 个部门、" << document.posts.size()
              << " 个岗位、" << document.operators.size() << " 个操作员、" << document.companies.size()
              << " 个单位" << (out.empty() ? std::string() : "到 " + out) << '\n';
    if (withPasswords)
        std::cerr << "privhost: 导出内容含操作员的加密密码，可以还原为原密码，请妥善保管"
                  << (out.empty() ? "" : "（文件已设为仅所有者可读写）") << '\n';
    return kExitOk;
}

} // namespace privhost
