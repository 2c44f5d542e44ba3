// A save of a post's grants in the operation log: one row per company whose
// grant the save changed, saying whether the company was granted or
// withdrawn whole and which sub-applications and functions were added and
// withdrawn. What was stored is read when the save begins and what is
// stored when it ends, both inside the save's own transaction, so the rows
// say what this save changed, whatever the window showed before. Only the
// companies the save may change are read: a company it adds is written
// from the tree alone (nothing else can be beneath a node made in this
// transaction), so it is taken from the tree rather than read back.
#pragma once

#include "store/audit_record.h"
#include "store/permit.h"

#include <map>
#include <set>
#include <string>
#include <vector>

namespace priv::audit {

// One company as a post holds it: whole, or just these sub-applications,
// each with exactly these functions.
struct CompanyGrant {
    bool whole = true;
    std::map<std::string, std::set<std::string>> applications;
    bool operator==(const CompanyGrant&) const = default;
};
// By company (QYID).
using PostGrants = std::map<std::string, CompanyGrant>;

// What the post holds in these companies (QYID), as stored: at most three
// statements, none for no company. False when one fails.
bool ReadPostGrants(const std::string& postCode, const std::set<std::string>& companyIds, PostGrants& grants);

// The rows for the companies whose grant differs, in company order.
std::vector<Event> GrantChanges(const std::string& postCode, const PostGrants& before,
                                const PostGrants& after);

// The log's part in a save of grants. Begin before the save's own
// transaction (the save joins the one it opens; the chain's head is its
// first lock), Finish once the save has written everything, then Commit.
// Without the log every step answers true and reads nothing.
class RecordedGrantSave {
public:
    // False, with the reason in `message`, when the log cannot be had or
    // what the post holds cannot be read: then nothing must be saved.
    bool Begin(const TRolePermissions& tree, std::string& message);
    // Takes what the save left and records the difference; the tree's
    // marks must still be those it saved.
    bool Finish(std::string& message);
    bool Commit(std::string& message);
    void Rollback() { change_.Rollback(); }

private:
    void ScopeOf(const TRolePermissions& tree);

    RecordedChange change_;
    std::string postCode_;
    PostGrants before_;
    // Read before and after the save: the companies it withdraws or may
    // write beneath (codes as the tree has them).
    std::set<std::string> readBack_;
    // Taken from the tree after the save, by the code the database hands
    // back.
    std::map<std::string, const TCompPermit*> added_;
};

} // namespace priv::audit
