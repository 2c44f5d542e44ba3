// `privhost passwd`: the way back in when the super administrator's password
// is lost on a workstation: a new password, enciphered and stored by the
// module's own operator store.
#include "commands.h"
#include "host_database.h"

#include "cipher/crypt.h"
#include "store/audit_record.h"
#include "store/audited_changes.h"
#include "store/operator_store.h"

#include <fennix/fennix.h>

#include <iostream>
#include <optional>

namespace privhost {

int RunPasswd(const AppOptions& options)
{
    if (options.args.empty()) {
        std::cerr << "privhost: passwd needs an operator code\n" << kUsage;
        return kExitSetup;
    }
    const std::string code = options.args[0];
    std::string password;
    bool havePassword = false;
    for (std::size_t i = 1; i < options.args.size(); ++i) {
        if (options.args[i] == "--password" && i + 1 < options.args.size()) {
            password = options.args[++i];
            havePassword = true;
        } else {
            std::cerr << "privhost: passwd: unknown argument " << options.args[i] << '\n';
            return kExitSetup;
        }
    }
    if (!OpenHost(options, true))
        return kExitSetup;

    // Asked directly rather than through the store's existence check, which
    // answers false for a database it cannot read as well: a damaged file
    // must not read as an unknown operator.
    priv::QueryResult found;
    std::string message;
    if (!fennix::Services().ExecADOQueryMsg(priv::kMainConnection,
                                            "SELECT CZY_DM FROM QX_CZY WHERE CZY_DM=" + Quoted(code), found,
                                            message, true)) {
        std::cerr << "privhost: 无法读取操作员表：" << message << '\n';
        return kExitSetup;
    }
    if (found.Eof()) {
        std::cerr << "privhost: no operator with code " << code << '\n';
        return kExitFalse;
    }
    if (!havePassword) {
        password = ReadPassword("操作员 " + code + " 的新密码: ");
        if (ReadPassword("再次输入新密码: ") != password) {
            std::cerr << "privhost: the two passwords differ\n";
            return kExitFalse;
        }
    }
    // A password the cipher would store cut or with "?" in place of a
    // character could never be typed again.
    std::string unstorable;
    if (!priv::PasswordStorable(password, &unstorable)) {
        std::cerr << "privhost: " << unstorable << '\n';
        return kExitFalse;
    }
    priv::TOperator store;
    if (!priv::audit::SetPasswordFromCommandLine(store, code, priv::EncryptPassword(password))) {
        if (const std::optional<std::string> reason = priv::audit::TakeRecordFailure())
            std::cerr << "privhost: 操作日志写入失败，密码未修改：" << *reason << '\n';
        else
            std::cerr << "privhost: the password could not be stored\n";
        return kExitFalse;
    }
    std::cout << "已为操作员 " << code << " 设置新密码\n";
    return kExitOk;
}

} // namespace privhost
