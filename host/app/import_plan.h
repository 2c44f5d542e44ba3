// What an import changes, worked out against the database inside the
// import's transaction before anything is written, and the writes
// themselves through the module's stores.
#pragma once

#include "privilege_document.h"

#include <QByteArray>

#include <string>
#include <vector>

namespace privhost {

struct PlannedDepartment {
    priv::DepartmentRow row; // the stored code when it exists
    bool isNew = false;
};

struct PlannedPost {
    PostEntry entry; // the stored code when it exists
    bool isNew = false;
    bool writeRow = false;
    bool writeGrants = false;
};

struct PlannedOperator {
    priv::OperatorRow row; // merged: the document's fields over the stored ones
    bool isNew = false;
    bool writeExtras = false;
};

struct ImportPlan {
    std::vector<PlannedDepartment> departments;
    std::vector<PlannedPost> posts;
    std::vector<PlannedOperator> operators;
    std::vector<priv::CompanyRow> companies; // as the database holds them
    std::vector<std::string> changes;        // one line per change, for the administrator
};

enum class PlanResult { Ready, Refused, Unreadable };

// Checks the document against the database (MainAppCon, through the bound
// host) and lists the changes. Refused: `faults` says every reason;
// Unreadable: `error` has the database's text. `fromSpreadsheet`: the
// operators come from a spreadsheet, held to the operator dialog's rules.
PlanResult MakeImportPlan(const PrivilegeDocument& document, bool fromDocument, ImportPlan& plan,
                          std::vector<std::string>& faults, std::string& error);

// Writes the plan; false with the reason. The caller owns the transaction.
bool ApplyImportPlan(const ImportPlan& plan, std::string& error);

// Operators from a spreadsheet saved as CSV (UTF-8 or GBK); false with every
// fault found.
bool ReadOperatorsCsv(const QByteArray& bytes, PrivilegeDocument& document, std::vector<std::string>& faults);

} // namespace privhost
