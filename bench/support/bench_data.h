// What the store and session benchmarks arrange alike: the larger
// application set (ten sub-applications of thirty functions each), companies
// and a stored grant written with set statements, on every backend here.
#pragma once

#include "fennix/fennix.h"
#include "support/database_fixture.h"

#include <QSqlDatabase>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <chrono>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>

namespace priv::bench {

using test::Backend;
using test::TestDatabase;

constexpr int kSubApps = 10;
constexpr int kFunctions = 30;

inline std::string SubAppCode(int app)
{
    const std::string code = std::to_string(app + 2);
    return code.size() < 2 ? "0" + code : code;
}

inline std::string FunctionCode(int app, int function)
{
    return SubAppCode(app) + "001-01-" + std::to_string(100 + function).substr(1) + "-00-00";
}

// The applications file, written into `folder`: a main frame of five
// functions and `subApps` sub-applications of `functions` functions each
// (for BUSINESS).
inline std::string WriteAppsFile(const QTemporaryDir& folder, int subApps = kSubApps,
                                 int functions = kFunctions)
{
    std::string path = folder.path().toStdString() + "/bench-apps.json";
    std::ofstream out(path);
    out << R"({"versionType": "50", "mainFrame": {"code": "01", "product": "0100", "name": "主框架", "functions": [)";
    for (int f = 0; f < 5; ++f)
        out << (f ? "," : "") << R"({"code": "01001-01-0)" << f << R"(-00-00", "name": "系统功能)" << f
            << R"(", "posts": "SYSTEM", "versions": ""})";
    out << "]}, \"subApps\": [";
    for (int a = 0; a < subApps; ++a) {
        out << (a ? "," : "") << R"({"code": ")" << SubAppCode(a) << R"(", "product": ")" << SubAppCode(a)
            << R"(00", "name": "子系统)" << a << R"(", "enabled": true, "functions": [)";
        for (int f = 0; f < functions; ++f)
            out << (f ? "," : "") << R"({"code": ")" << FunctionCode(a, f) << R"(", "name": "业务功能名称)"
                << a << "-" << f << R"(", "posts": "BUSINESS", "versions": ""})";
        out << "]}";
    }
    out << "]}";
    return path;
}

inline bool Arrange(TestDatabase& db, const std::string& sql)
{
    if (db.Exec(sql))
        return true;
    std::cerr << "arranging failed: " << sql << "\n";
    return false;
}

// Companies 1 .. count.
inline bool ArrangeCompanies(TestDatabase& db, int count)
{
    return Arrange(db,
                   "INSERT INTO XT_QYXX(QYID, QYSBH, QYMC, LBDM) WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL "
                   "SELECT i + 1 FROM n WHERE i < " +
                       std::to_string(count) +
                       ") SELECT i, '91110000' || i, '北京某某税务咨询有限公司' || i, 0 FROM n");
}

// What ArrangeStoredGrant stores for a post: the companies up to QYID
// `granted` (every company when 0), the first `detailed` of them with
// `subApps` sub-applications of `functions` functions each as rows, the
// others wholly (company node only).
struct StoredGrant {
    int detailed = 0;
    int granted = 0;
    int subApps = kSubApps;
    int functions = kFunctions;
};

// Written with set statements; the save benchmark writes the store's way.
inline bool ArrangeStoredGrant(TestDatabase& db, const std::string& post, const StoredGrant& grant)
{
    std::string apps = "WITH a(code, name) AS (VALUES ";
    for (int a = 0; a < grant.subApps; ++a)
        apps += std::string(a ? "," : "") + "('" + SubAppCode(a) + "', '子系统" + std::to_string(a) + "')";
    apps += ") ";
    std::string functions = "WITH f(app, code, name) AS (VALUES ";
    for (int a = 0; a < grant.subApps; ++a)
        for (int f = 0; f < grant.functions; ++f)
            functions += std::string(a || f ? "," : "") + "('" + SubAppCode(a) + "', '" + FunctionCode(a, f) +
                         "', '业务功能名称" + std::to_string(a) + "-" + std::to_string(f) + "')";
    functions += ") ";
    const std::string granted = grant.granted > 0 ? " WHERE QYID <= " + std::to_string(grant.granted) : "";
    return Arrange(db, "INSERT INTO QX_ROLES(JS_DM, JS_MC) VALUES('" + post + "', '全部业务')") &&
           Arrange(
               db,
               "INSERT INTO QX_PRMSMAP(DYDM, DYMC, PARENT_DM, PRMS_TYPE, KZDM) SELECT CAST(QYID AS TEXT), "
               "QYMC, 0, '10', QYID FROM XT_QYXX" +
                   granted) &&
           Arrange(db, "INSERT INTO QX_ROLEPRMS(JS_DM, PRMS_DM) SELECT '" + post +
                           "', PRMS_DM FROM QX_PRMSMAP WHERE PRMS_TYPE='10'") &&
           Arrange(
               db,
               "INSERT INTO QX_PRMSMAP(DYDM, DYMC, PARENT_DM, PRMS_TYPE, KZDM) " + apps +
                   "SELECT a.code, a.name, c.PRMS_DM, '20', 0 FROM QX_PRMSMAP c, a WHERE c.PRMS_TYPE='10' "
                   "AND c.KZDM <= " +
                   std::to_string(grant.detailed)) &&
           Arrange(db, "INSERT INTO QX_PRMSMAP(DYDM, DYMC, PARENT_DM, PRMS_TYPE, KZDM) " + functions +
                           "SELECT f.code, f.name, s.PRMS_DM, '30', 0 FROM QX_PRMSMAP s, f WHERE "
                           "s.PRMS_TYPE='20' AND s.DYDM=f.app");
}

// Fresh statistics, as a server that has run for a while has them.
inline bool Analyze(TestDatabase& db)
{
    return Arrange(db, "ANALYZE");
}

// A database on `backend` with the substitute host opened on it.
inline std::unique_ptr<TestDatabase> OpenDatabase(Backend backend, const std::string& appsFile,
                                                  const std::string& companyId = std::string())
{
    auto db = std::make_unique<TestDatabase>(backend, [&](fennix::Settings& settings) {
        if (!appsFile.empty())
            settings.appsFile = appsFile;
        if (!companyId.empty())
            settings.companyId = companyId;
    });
    if (!db->Ok())
        std::cerr << "benchmark database: " << db->Error() << "\n";
    return db;
}

// A Qt SQL connection of its own to the benchmark's database, for the raw
// baselines: the statement and the rows with nothing of the host between.
class RawConnection {
public:
    explicit RawConnection(const TestDatabase& db)
    {
        std::string error;
        ok_ = fennix::OpenConnection(kName, db.Url(), error);
        if (!ok_)
            std::cerr << "raw connection: " << error << "\n";
    }
    ~RawConnection() { fennix::CloseConnection(kName); }
    RawConnection(const RawConnection&) = delete;
    RawConnection& operator=(const RawConnection&) = delete;
    bool Ok() const { return ok_; }
    QSqlDatabase Get() const { return QSqlDatabase::database(QString::fromLatin1(kName)); }

private:
    static constexpr const char* kName = "bench_raw";
    bool ok_ = false;
};

// Milliseconds that `work` takes.
template <typename Work> double Milliseconds(Work&& work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

} // namespace priv::bench
