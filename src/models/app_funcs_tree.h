// The tree of what a post can be granted inside one company: the main
// application and every sub-application of the host, each with its functions,
// as a model tree with a check box per row. It shows one company's grants of
// a post's permission set and writes the ticks back into that set.
#pragma once

#include "boundary/host.h"
#include "models/mvc_tree.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace priv {

class TCompPermit;
class TRolePermissions;

// Node kinds of the function tree.
inline constexpr int kAppNodeKind = 0;
inline constexpr int kFunctionNodeKind = 2;

// Whether a function record belongs in this installation: its version list
// is empty, or holds the host's version-type code as one whole item.
bool PassesVersionFilter(const FunctionRecord& function, const std::string& versionTypeCode);
// A menu separator of the host ("-", spaces around it allowed).
bool IsSeparatorRecord(const FunctionRecord& function);

// Marks many companies of a post at once, each exactly as
// TRolePermissions::Mark(code, granted) would in list order, but finding
// every company once instead of scanning the list per company.
void MarkCompanies(TRolePermissions& permissions, const std::vector<std::pair<std::string, bool>>& marks);

class TAppFuncsTree {
public:
    TAppFuncsTree(TMVCView* view, TMVCWindow* window) : FView(view), FWindow(window) {}
    TAppFuncsTree(const TAppFuncsTree&) = delete;
    TAppFuncsTree& operator=(const TAppFuncsTree&) = delete;

    // Makes the model afresh from the host's descriptors and shows it.
    void Build();
    void CheckAll(TCheckState state);
    // Every node unchecked; existing rows follow, no check handling runs.
    void ResetChecks();
    // Checks what the company entry grants (none: nothing) and shows it.
    // The nodes are expected unchecked (ResetChecks).
    void ShowGrants(const TCompPermit* company);
    // Writes the ticks into the company `companyId` of the permission set,
    // ticked or not as `companyChecked` says.
    void StoreGrants(TRolePermissions& permissions, const std::string& companyId, bool companyChecked);

    TMVCTree* Model() const { return FTree.get(); }

private:
    TMVCView* FView;
    TMVCWindow* FWindow;
    std::unique_ptr<TMVCTree> FTree;
};

} // namespace priv
