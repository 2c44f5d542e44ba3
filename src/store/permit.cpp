#include "store/permit.h"

#include "store/schema.h"
#include "store/store_common.h"

#include <algorithm>

namespace priv {
namespace {

// Depth first: a child is compared, then its own children are searched, then
// the next child.
const TAbstractPermit* FindByCode(const TAbstractPermit& parent, const std::string& code)
{
    for (int i = 0; i < parent.Count(); ++i) {
        const TAbstractPermit* child = parent.Items(i);
        if (child->GetCode() == code)
            return child;
        if (const TAbstractPermit* found = FindByCode(*child, code))
            return found;
    }
    return nullptr;
}

// Added nodes become unchanged under their new codes, removed ones leave.
// Mirrors the walk of the save: a stored node that grants everything had its
// stored descendants deleted, so its children go too; a node that was never
// stored (code 0) had nothing deleted and keeps them.
template <class TNode> void AcceptSaved(TNode& parent)
{
    for (int i = 0; i < parent.Count();) {
        auto* child = parent.Items(i);
        if (child->PermitState() == kPermitRemoved) {
            parent.DeleteChild(i);
            continue;
        }
        if (child->PermitState() == kPermitAdded) {
            child->SetPermitState(kPermitUnchanged);
            child->SetParentCode(parent.PermitCode());
        }
        if constexpr (!std::is_same_v<std::remove_pointer_t<decltype(child)>, TAppFuncPermit>) {
            if (child->AllGranted()) {
                if (child->PermitCode() != 0)
                    child->Clear();
            } else {
                AcceptSaved(*child);
            }
        }
        ++i;
    }
}

} // namespace

// The small fields pack into the base's padding: a function node adds only
// its texts to the base.
static_assert(sizeof(TAppFuncPermit) == sizeof(TAbstractPermit) + sizeof(PermitTexts<2>));

const std::string& TAbstractPermit::TypeText(Kind kind)
{
    // Indexed by Kind.
    static const std::array<std::string, 4> types{"", schema::kPermitTypeCompany, schema::kPermitTypeApp,
                                                  schema::kPermitTypeFunction};
    return types[static_cast<std::size_t>(kind)];
}

TAppFuncPermit::TAppFuncPermit() : TAbstractPermit(Kind::Function, false) {}

TAppPermit::TAppPermit() : TPermitList<TAppFuncPermit>(Kind::SubApp, false) {}

bool TAppPermit::ReadFunctionItems(const TextList& items)
{
    Clear();
    Host& host = CurrentHost();
    constexpr int kBar = 124;
    for (const std::string& item : items) {
        const std::size_t equals = item.find('=');
        const std::string name = item.substr(0, equals);
        const std::string value = equals == std::string::npos ? std::string() : item.substr(equals + 1);
        TAppFuncPermit* function = AddFunction(kPermitUnchanged);
        function->SetPermitCode(store::ParseInt32(host.GetCol(name, 0, kBar)).value_or(0));
        function->SetParentCode(store::ParseInt32(host.GetCol(name, 1, kBar)).value_or(0));
        function->ShareTexts(PermitTexts<2>::Make({host.GetCol(name, 2, kBar), value}));
    }
    return true;
}

TCompPermit::TCompPermit() : TPermitList<TAppPermit>(Kind::Company, true) {}

void TCompPermit::SetTexts(std::string_view companyId, std::string_view taxNumber, std::string_view name)
{
    FTexts.Share(PermitTexts<3>::Make({std::string(companyId), std::string(taxNumber), std::string(name)}));
}

TRolePermissions::TRolePermissions() : TPermitList<TCompPermit>(Kind::Post, false) {}

TCompPermit* TRolePermissions::FindCompany(const std::string& companyId) const
{
    if (companyId.empty())
        return nullptr;
    for (int i = 0; i < Count(); ++i)
        if (Items(i)->CompanyId() == companyId)
            return Items(i);
    return nullptr;
}

int TRolePermissions::FunctionState(const std::string& functionCode) const
{
    if (functionCode.empty())
        return 0;
    for (int i = 0; i < Count(); ++i)
        if (const TAbstractPermit* found = FindByCode(*Items(i), functionCode))
            return found->PermitState() == kPermitRemoved ? 2 : 1;
    return 0;
}

bool TRolePermissions::IsSignedInPost() const
{
    if (PostCode().empty())
        return false;
    const RecordEntry* category = CurrentHost().GetUserInfoVO().Find(schema::kOperatorCategory);
    return category && category->kind == EntryKind::Text && category->text == PostCode();
}

void TRolePermissions::AcceptSavedState()
{
    AcceptSaved(*this);
}

std::string CompanyListStatement()
{
    return std::string("select QYID,QYSBH,QYMC from XT_QYXX where 1=1") + " and LBDM=" +
           (CurrentHost().CheckAgencyExist() ? schema::kAgencyCompanyCategory
                                             : schema::kOrdinaryCompanyCategory);
}

void GetCompanySubAppCodes(TextList& codes)
{
    TextList hostCodes;
    CurrentHost().GetALLSubAppCodeList(hostCodes);
    if (std::find(hostCodes.begin(), hostCodes.end(), schema::kMainFrameSubAppCode) == hostCodes.end())
        hostCodes.emplace_back(schema::kMainFrameSubAppCode);
    codes = std::move(hostCodes);
}

SubAppDescriptor* FindSubAppDescriptor(const std::string& subAppCode)
{
    Host& host = CurrentHost();
    SubAppDescriptor* mainFrame = host.GetMainFrameInfo();
    if (mainFrame && mainFrame->code == subAppCode)
        return mainFrame;
    return host.GetpSubAppInfo(subAppCode);
}

bool BuiltInPostHasFunction(const FunctionRecord& function, std::string_view builtInPost, bool everyFunction)
{
    return everyFunction || function.posts.find(builtInPost) != std::string::npos;
}

void ReadBuiltInFunctionItems(const std::string& subAppCode, const std::string& builtInPost, TextList& items,
                              bool everyFunction)
{
    items.clear();
    const SubAppDescriptor* descriptor = FindSubAppDescriptor(subAppCode);
    if (!descriptor)
        return;
    for (const FunctionRecord& function : descriptor->functions)
        if (BuiltInPostHasFunction(function, builtInPost, everyFunction))
            items.push_back("0|0|" + function.code + "=" + function.name);
}

std::shared_ptr<const TAppFuncPermit::Texts> PermitTextPool::Function(std::string_view code,
                                                                      std::string_view name)
{
    key_.assign(code);
    key_.push_back('\0');
    key_.append(name);
    auto found = functions_.find(key_);
    if (found != functions_.end())
        return found->second;
    auto texts = PermitTexts<2>::Make({std::string(code), std::string(name)});
    functions_.emplace(key_, texts);
    return texts;
}

std::shared_ptr<const TAppPermit::Texts>
PermitTextPool::SubApp(std::string_view code, std::string_view product, std::string_view name)
{
    key_.assign(code);
    key_.push_back('\0');
    key_.append(product);
    key_.push_back('\0');
    key_.append(name);
    auto found = subApps_.find(key_);
    if (found != subApps_.end())
        return found->second;
    auto texts = PermitTexts<3>::Make({std::string(code), std::string(product), std::string(name)});
    subApps_.emplace(key_, texts);
    return texts;
}

} // namespace priv
