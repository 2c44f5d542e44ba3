#include "models/app_funcs_tree.h"

#include "store/permit.h"

#include <algorithm>
#include <unordered_map>

namespace priv {

bool PassesVersionFilter(const FunctionRecord& function, const std::string& versionTypeCode)
{
    if (function.versions.empty())
        return true;
    return ("," + function.versions + ",").find("," + versionTypeCode + ",") != std::string::npos;
}

bool IsSeparatorRecord(const FunctionRecord& function)
{
    const std::string& name = function.name;
    const std::size_t first = name.find_first_not_of(' ');
    if (first == std::string::npos)
        return false;
    const std::size_t last = name.find_last_not_of(' ');
    return last == first && name[first] == '-';
}

void MarkCompanies(TRolePermissions& permissions, const std::vector<std::pair<std::string, bool>>& marks)
{
    // The first company of each code, as Mark finds it.
    std::unordered_map<std::string, int> positions;
    positions.reserve(static_cast<std::size_t>(permissions.Count()) + marks.size());
    for (int i = 0; i < permissions.Count(); ++i)
        positions.emplace(permissions.Items(i)->GetCode(), i);
    std::vector<int> dropped;
    for (const auto& [code, granted] : marks) {
        if (code.empty())
            continue;
        const auto found = positions.find(code);
        if (found == positions.end()) {
            if (granted) {
                TCompPermit* company = permissions.AddCompany(kPermitAdded);
                company->SetCode(code);
                positions.emplace(code, permissions.Count() - 1);
            }
            continue;
        }
        TCompPermit* company = permissions.Items(found->second);
        if (company->PermitState() == kPermitAdded) {
            // Added in this pass and withdrawn again: nothing of it is saved.
            if (!granted) {
                dropped.push_back(found->second);
                positions.erase(found);
            }
            continue;
        }
        company->SetPermitState(granted ? kPermitUnchanged : kPermitRemoved);
    }
    // Dropped from the back, so that the positions still to drop hold.
    std::sort(dropped.begin(), dropped.end());
    for (auto it = dropped.rbegin(); it != dropped.rend(); ++it)
        permissions.DeleteChild(*it);
}

void TAppFuncsTree::Build()
{
    // The old model goes before the control is told of the new one, so that
    // no row outlives the node it shows.
    if (FView)
        FView->ClearRows(0);
    FTree.reset();
    FTree = std::make_unique<TMVCTree>();
    FTree->BindView(FView);
    FTree->SetWindow(FWindow);
    FTree->HookViewEvents();

    Host& host = CurrentHost();
    SubAppDescriptor* mainFrame = host.GetMainFrameInfo();
    TextList codes;
    host.GetALLSubAppCodeList(codes);
    // A host without a main-frame descriptor has no main application: the
    // list then holds the sub-applications alone.
    const std::string versionType = host.gsAppVerTypeCode();
    auto addApplication = [&](const SubAppDescriptor& descriptor, const std::string& code) {
        TMVCNode* app = FTree->Root().AddChild();
        app->SetCaption(descriptor.name);
        app->SetCode(code);
        app->SetKind(kAppNodeKind);
        for (const FunctionRecord& function : descriptor.functions) {
            if (IsSeparatorRecord(function) || !PassesVersionFilter(function, versionType))
                continue;
            TMVCNode* node = app->AddChild();
            node->SetCaption(function.name);
            node->SetCode(function.code);
            node->SetKind(kFunctionNodeKind);
        }
    };
    if (mainFrame)
        addApplication(*mainFrame, mainFrame->code);
    for (const std::string& code : codes)
        if (SubAppDescriptor* descriptor = host.GetpSubAppInfo(code))
            addApplication(*descriptor, code);
    FTree->RebuildView();
}

void TAppFuncsTree::CheckAll(TCheckState state)
{
    if (FTree)
        FTree->CheckAll(state);
}

void TAppFuncsTree::ResetChecks()
{
    if (FTree)
        FTree->CheckAll(TCheckState::Unchecked);
}

namespace {

// Checks every child of `node` that has a live entry beneath `permit`, and
// goes on beneath it with that entry.
void ApplyEntries(TMVCNode& node, const TAbstractPermit& permit)
{
    for (int i = 0; i < node.ChildCount(); ++i) {
        TMVCNode& child = *node.ChildAt(i);
        for (int j = 0; j < permit.Count(); ++j) {
            const TAbstractPermit* entry = permit.Items(j);
            if (entry->GetCode() == child.Code() && entry->PermitState() != kPermitRemoved) {
                child.SetCheckState(TCheckState::Checked);
                ApplyEntries(child, *entry);
                break;
            }
        }
    }
}

// Marks every child of `node` on `permit` as its check says, and below it.
void StoreEntries(const TMVCNode& node, TAbstractPermit& permit)
{
    for (int i = 0; i < node.ChildCount(); ++i) {
        const TMVCNode& child = *node.ChildAt(i);
        if (TAbstractPermit* entry = permit.Mark(child.Code(), child.IsChecked())) {
            entry->SetAllGranted(false);
            StoreEntries(child, *entry);
        }
    }
}

} // namespace

void TAppFuncsTree::ShowGrants(const TCompPermit* company)
{
    if (!FTree)
        return;
    if (company) {
        if (company->AllGranted())
            FTree->CheckAll(TCheckState::Checked);
        else
            ApplyEntries(FTree->Root(), *company);
    }
    FTree->RebuildView();
}

void TAppFuncsTree::StoreGrants(TRolePermissions& permissions, const std::string& companyId,
                                bool companyChecked)
{
    if (!FTree)
        return;
    TAbstractPermit* company = permissions.Mark(companyId, companyChecked);
    if (!company || company->PermitState() == kPermitRemoved)
        return;
    if (TMVCTree::AllChecked(FTree->Root())) {
        company->SetAllGranted(true);
        return;
    }
    company->SetAllGranted(false);
    StoreEntries(FTree->Root(), *company);
}

} // namespace priv
