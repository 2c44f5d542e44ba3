// `privhost import FILE`: merges a document written by `privhost export`
// into --db. Everything is checked before anything is written; the writes
// go through the module's own stores (the operator store's insert and
// update, the post store's save with its row lock and checks), all of them
// in one transaction, so that a refused or failed import leaves the
// database as it was. The import is recorded in the operation log of the
// database it writes, in the same transaction.
#include "commands.h"
#include "import_plan.h"
#include "joined_transaction_host.h"
#include "privilege_document.h"

#include "store/audit_record.h"

#include <fennix/fennix.h>

#include <QFile>

#include <iostream>

namespace privhost {

int RunImport(const AppOptions& options)
{
    std::string file, operatorsFile;
    bool dryRun = false;
    for (std::size_t i = 0; i < options.args.size(); ++i) {
        const std::string& arg = options.args[i];
        if (arg == "--dry-run") {
            dryRun = true;
        } else if (arg == "--operators" && i + 1 < options.args.size()) {
            operatorsFile = options.args[++i];
        } else if (file.empty() && operatorsFile.empty() && !arg.empty() && arg[0] != '-') {
            file = arg;
        } else {
            std::cerr << "privhost: import: unknown argument " << arg << '\n' << kImportUsage;
            return kExitSetup;
        }
    }
    if (file.empty() == operatorsFile.empty()) {
        std::cerr << "privhost: import needs a document FILE or --operators FILE.csv (one of them)\n"
                  << kImportUsage;
        return kExitSetup;
    }
    const std::string source = file.empty() ? operatorsFile : file;
    QFile input(QString::fromLocal8Bit(source.c_str()));
    if (!input.open(QIODevice::ReadOnly)) {
        std::cerr << "privhost: 无法读取文件 " << source << "：" << input.errorString().toStdString() << '\n';
        return kExitSetup;
    }
    const QByteArray bytes = input.readAll();

    PrivilegeDocument document;
    std::vector<std::string> faults;
    const bool read =
        file.empty() ? ReadOperatorsCsv(bytes, document, faults) : ReadDocument(bytes, document, faults);
    if (!read) {
        for (const std::string& fault : faults)
            std::cerr << "privhost: " << source << "：" << fault << '\n';
        std::cerr << "privhost: 文件被拒绝，未写入任何内容\n";
        return kExitFalse;
    }
    if (!OpenHost(options, true))
        return kExitSetup;

    // The stores' own transactions become savepoints of this one.
    JoinedTransactionHost joined(fennix::Services());
    priv::BindHost(&joined);
    struct Rebind {
        ~Rebind() { priv::BindHost(&fennix::Services()); }
    } rebind;
    std::string error;
    if (!joined.Begin(error)) {
        std::cerr << "privhost: 无法开始事务：" << error << '\n';
        return kExitSetup;
    }
    // The log's chain head is the transaction's first lock, before the plan
    // reads what is stored.
    priv::audit::RecordedChange record;
    if (!record.Begin()) {
        joined.Rollback();
        std::cerr << "privhost: 无法写入操作日志：" << record.Failure() << '\n';
        return kExitSetup;
    }
    ImportPlan plan;
    const PlanResult planned = MakeImportPlan(document, !file.empty(), plan, faults, error);
    if (planned != PlanResult::Ready) {
        joined.Rollback();
        if (planned == PlanResult::Unreadable) {
            std::cerr << "privhost: 无法读取数据库：" << error << '\n';
            return kExitSetup;
        }
        for (const std::string& fault : faults)
            std::cerr << "privhost: " << source << "：" << fault << '\n';
        std::cerr << "privhost: 文件被拒绝，未写入任何内容\n";
        return kExitFalse;
    }
    for (const std::string& line : plan.changes)
        std::cout << line << '\n';
    const std::string url = fennix::UrlForDisplay(fennix::CurrentSettings().databaseUrl);
    if (plan.changes.empty()) {
        joined.Rollback();
        std::cout << "没有需要更改的内容: " << url << '\n';
        return kExitOk;
    }
    if (dryRun) {
        joined.Rollback();
        std::cout << "试运行：共 " << plan.changes.size() << " 项更改，未写入任何内容\n";
        return kExitOk;
    }
    std::string detail = "文件：" + source + "；" + std::to_string(plan.changes.size()) + " 项更改";
    for (const std::string& line : plan.changes)
        detail += "；" + line;
    if (!ApplyImportPlan(plan, error) || joined.StoreRolledBack() ||
        !record.Record({priv::audit::kImport, priv::audit::kObjectDatabase, "", detail}) ||
        !joined.Commit(error)) {
        if (error.empty())
            error = record.Failure();
        joined.Rollback();
        if (error.empty())
            error = joined.StoreMessage();
        std::cerr << "privhost: 导入失败：" << error << "\nprivhost: 数据库未作任何更改\n";
        return kExitFalse;
    }
    std::cout << "共 " << plan.changes.size() << " 项更改，已写入: " << url << '\n';
    return kExitOk;
}

} // namespace privhost
