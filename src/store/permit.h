// The permissions of one post held in memory: the post at the root, the
// companies granted to it, the sub-applications of each company and the
// functions of each sub-application. Every node remembers whether it was
// added or removed since it was read, so that saving writes only the changes.
//
// Memory: a built-in post over ten thousand companies holds the same few
// hundred functions under every company. A node therefore keeps its texts in
// one immutable block behind a shared pointer (PermitTexts); loads hand the
// same block to every node that stands for the same function or
// sub-application, and changing a text gives that one node a fresh block
// (copy on write). A function node is then a small fixed object whatever the
// length of its code and name.
#pragma once

#include "boundary/host.h"
#include "store/records.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace priv {

// PermitState values.
inline constexpr std::int32_t kPermitUnchanged = 0;
inline constexpr std::int32_t kPermitAdded = 1;
inline constexpr std::int32_t kPermitRemoved = 2;

// The texts of one node, at most 255 host code-page bytes each, shared
// between nodes that stand for the same thing.
template <std::size_t N> class PermitTexts {
public:
    using Values = std::array<std::string, N>;

    // Cuts every value to the record length.
    static std::shared_ptr<const Values> Make(Values values);

    const std::string& Get(std::size_t index) const { return values_ ? (*values_)[index] : EmptyText(); }
    // This node alone gets the new value; nodes sharing the old block keep it.
    void Set(std::size_t index, std::string_view value);
    void Share(std::shared_ptr<const Values> values) { values_ = std::move(values); }
    const std::shared_ptr<const Values>& Shared() const { return values_; }

private:
    static const std::string& EmptyText();
    std::shared_ptr<const Values> values_;
};

template <std::size_t N>
std::shared_ptr<const typename PermitTexts<N>::Values> PermitTexts<N>::Make(Values values)
{
    for (std::string& value : values)
        value = RecordText(value);
    return std::make_shared<const Values>(std::move(values));
}

template <std::size_t N> void PermitTexts<N>::Set(std::size_t index, std::string_view value)
{
    Values values = values_ ? *values_ : Values{};
    values[index] = std::string(value);
    values_ = Make(std::move(values));
}

template <std::size_t N> const std::string& PermitTexts<N>::EmptyText()
{
    static const std::string empty;
    return empty;
}

class TAbstractPermit {
public:
    TAbstractPermit(const TAbstractPermit&) = delete;
    TAbstractPermit& operator=(const TAbstractPermit&) = delete;

    // The six operations every node answers, in this order.
    // Frees every child and empties the list.
    virtual void Clear() = 0;
    // Post code, QYID, sub-application code or function code.
    virtual const std::string& GetCode() const = 0;
    // Post code, company name, sub-application name or function name.
    virtual const std::string& GetName() const = 0;
    virtual int Count() const = 0;
    // The child at `index`, or none outside 0 .. Count()-1.
    virtual TAbstractPermit* Items(int index) const = 0;
    // Records that the child with `code` is granted or not (see TPermitList).
    virtual TAbstractPermit* Mark(const std::string& code, bool granted) = 0;

    virtual ~TAbstractPermit() = default;

    // PRMS_DM; 0 for a node that is not stored.
    std::int32_t PermitCode() const { return FPermitCode; }
    void SetPermitCode(std::int32_t code) { FPermitCode = code; }
    // PARENT_DM as read; 0 when not read.
    std::int32_t ParentCode() const { return FParentCode; }
    void SetParentCode(std::int32_t code) { FParentCode = code; }
    // kPermitUnchanged, kPermitAdded or kPermitRemoved.
    std::int32_t PermitState() const { return FPermitState; }
    void SetPermitState(std::int32_t state) { FPermitState = static_cast<std::uint8_t>(state); }
    // "10", "20", "30"; empty for the post.
    const std::string& PermitType() const { return TypeText(FKind); }
    // The node grants everything beneath it; its stored children are not kept.
    bool AllGranted() const { return FAllGranted; }
    void SetAllGranted(bool allGranted) { FAllGranted = allGranted; }

protected:
    // What the node stands for; picks its permit type text.
    enum class Kind : std::uint8_t { Post, Company, SubApp, Function };

    TAbstractPermit(Kind kind, bool allGranted) : FKind(kind), FAllGranted(allGranted) {}

private:
    static const std::string& TypeText(Kind kind);

    // A post over ten thousand companies holds millions of nodes: the state,
    // the kind and the flag are bytes that share the padding after the two
    // codes, so that a function node is no more than this base and its texts.
    std::int32_t FPermitCode = 0;
    std::int32_t FParentCode = 0;
    std::uint8_t FPermitState = kPermitUnchanged;
    Kind FKind;
    bool FAllGranted;
};

// A node that owns a list of children of one class.
template <class TChild> class TPermitList : public TAbstractPermit {
public:
    void Clear() override { FChildren.clear(); }
    int Count() const override { return static_cast<int>(FChildren.size()); }
    TChild* Items(int index) const override
    {
        return index >= 0 && index < Count() ? FChildren[static_cast<std::size_t>(index)].get() : nullptr;
    }

    // Empty code: none. Otherwise the first child whose code equals `code`:
    // - unchanged or removed: becomes unchanged when granted, removed when
    //   not; returned.
    // - added in this editing pass (not stored yet): granted keeps it and
    //   returns it, so marks beneath it are recorded; withdrawn drops it with
    //   its subtree and returns none, so nothing of it is saved.
    // No such child: granted adds one (added, the code as its first text) and
    // returns it; withdrawn returns none.
    TChild* Mark(const std::string& code, bool granted) override
    {
        if (code.empty())
            return nullptr;
        for (int i = 0; i < Count(); ++i) {
            TChild* child = Items(i);
            if (child->GetCode() != code)
                continue;
            if (child->PermitState() == kPermitAdded) {
                if (granted)
                    return child;
                DeleteChild(i);
                return nullptr;
            }
            child->SetPermitState(granted ? kPermitUnchanged : kPermitRemoved);
            return child;
        }
        if (!granted)
            return nullptr;
        TChild* child = AddChild(kPermitAdded);
        child->SetCode(code);
        return child;
    }

    // A new child in `state`, appended.
    TChild* AddChild(std::int32_t state)
    {
        FChildren.push_back(std::make_unique<TChild>());
        FChildren.back()->SetPermitState(state);
        return FChildren.back().get();
    }
    // Frees the child at `index` with everything beneath it.
    void DeleteChild(int index)
    {
        if (index >= 0 && index < Count())
            FChildren.erase(FChildren.begin() + index);
    }
    void ReserveChildren(std::size_t count) { FChildren.reserve(count); }
    // Puts stored children in the order of their codes and keeps one child
    // of each code: children read in a set come in the database's order, and
    // a post's repeated grant rows repeat them.
    void OrderChildrenByCode()
    {
        const auto byCode = [](const std::unique_ptr<TChild>& a, const std::unique_ptr<TChild>& b) {
            return a->PermitCode() < b->PermitCode();
        };
        if (!std::is_sorted(FChildren.begin(), FChildren.end(), byCode))
            std::stable_sort(FChildren.begin(), FChildren.end(), byCode);
        FChildren.erase(std::unique(FChildren.begin(), FChildren.end(),
                                    [](const std::unique_ptr<TChild>& a, const std::unique_ptr<TChild>& b) {
                                        return a->PermitCode() == b->PermitCode();
                                    }),
                        FChildren.end());
    }
    // Exchanges every child with those of another node of the same class.
    void SwapChildren(TPermitList& other) noexcept { FChildren.swap(other.FChildren); }

protected:
    using TAbstractPermit::TAbstractPermit;

private:
    std::vector<std::unique_ptr<TChild>> FChildren;
};

// A function of a sub-application (type "30").
class TAppFuncPermit final : public TAbstractPermit {
public:
    enum : std::size_t { kCode, kName };
    using Texts = PermitTexts<2>::Values;

    TAppFuncPermit();

    void Clear() override {}
    const std::string& GetCode() const override { return FTexts.Get(kCode); }
    const std::string& GetName() const override { return FTexts.Get(kName); }
    int Count() const override { return 0; }
    TAbstractPermit* Items(int) const override { return nullptr; }
    TAbstractPermit* Mark(const std::string&, bool) override { return nullptr; }

    const std::string& FunctionCode() const { return FTexts.Get(kCode); }
    const std::string& FunctionName() const { return FTexts.Get(kName); }
    void SetCode(std::string_view code) { FTexts.Set(kCode, code); }
    void SetName(std::string_view name) { FTexts.Set(kName, name); }
    void ShareTexts(std::shared_ptr<const Texts> texts) { FTexts.Share(std::move(texts)); }

private:
    PermitTexts<2> FTexts;
};

// A sub-application within a company (type "20").
class TAppPermit final : public TPermitList<TAppFuncPermit> {
public:
    enum : std::size_t { kCode, kProduct, kName };
    using Texts = PermitTexts<3>::Values;

    TAppPermit();

    const std::string& GetCode() const override { return FTexts.Get(kCode); }
    const std::string& GetName() const override { return FTexts.Get(kName); }

    const std::string& SubAppCode() const { return FTexts.Get(kCode); }
    const std::string& ProductCode() const { return FTexts.Get(kProduct); }
    const std::string& SubAppName() const { return FTexts.Get(kName); }
    void SetCode(std::string_view code) { FTexts.Set(kCode, code); }
    void SetName(std::string_view name) { FTexts.Set(kName, name); }
    void ShareTexts(std::shared_ptr<const Texts> texts) { FTexts.Share(std::move(texts)); }

    TAppFuncPermit* AddFunction(std::int32_t state) { return AddChild(state); }

    // Replaces the functions with one per item line "PRMS_DM|PARENT_DM|code=name"
    // (unchanged; the fields split with the host's column splitter, the name
    // being everything after the first "="). Always true.
    bool ReadFunctionItems(const TextList& items);

private:
    PermitTexts<3> FTexts;
};

// A company granted to the post (type "10"); grants everything when
// AllGranted.
class TCompPermit final : public TPermitList<TAppPermit> {
public:
    enum : std::size_t { kCompanyId, kTaxNumber, kName };

    TCompPermit();

    const std::string& GetCode() const override { return FTexts.Get(kCompanyId); }
    const std::string& GetName() const override { return FTexts.Get(kName); }

    const std::string& CompanyId() const { return FTexts.Get(kCompanyId); } // QYID
    const std::string& TaxNumber() const { return FTexts.Get(kTaxNumber); } // QYSBH
    const std::string& CompanyName() const { return FTexts.Get(kName); }    // QYMC
    void SetCode(std::string_view companyId) { FTexts.Set(kCompanyId, companyId); }
    void SetName(std::string_view name) { FTexts.Set(kName, name); }
    void SetTexts(std::string_view companyId, std::string_view taxNumber, std::string_view name);

    TAppPermit* AddSubApp(std::int32_t state) { return AddChild(state); }

private:
    PermitTexts<3> FTexts;
};

// The post: the root of the tree.
class TRolePermissions final : public TPermitList<TCompPermit> {
public:
    TRolePermissions();

    const std::string& GetCode() const override { return FTexts.Get(0); }
    const std::string& GetName() const override { return FTexts.Get(0); }

    const std::string& PostCode() const { return FTexts.Get(0); }
    void SetPostCode(std::string_view postCode) { FTexts.Set(0, postCode); }
    void SetCode(std::string_view postCode) { SetPostCode(postCode); }

    TCompPermit* AddCompany(std::int32_t state) { return AddChild(state); }

    // The first company whose QYID equals `companyId`, whatever its state;
    // none for empty text.
    TCompPermit* FindCompany(const std::string& companyId) const;
    // 0 when the code is empty or nowhere in the tree; else for the first
    // node with that code (company by company, each depth first, companies'
    // own codes not compared) 2 when it is marked removed, 1 otherwise.
    int FunctionState(const std::string& functionCode) const;
    // The post is the signed-in operator's: its code equals the text entry
    // "CZY_LB" of the host's user information. An empty post is no one's.
    bool IsSignedInPost() const;

    // Brings the tree to what a committed save left in the tables: added
    // nodes become unchanged under their new codes, removed nodes leave the
    // tree, and a stored node that grants everything loses the children
    // whose rows the save deleted. Called by the post store after commit.
    void AcceptSavedState();

private:
    PermitTexts<1> FTexts;
};

// --- What feeds the tree ----------------------------------------------------------

// The companies a post can be granted: "select QYID,QYSBH,QYMC from XT_QYXX
// where 1=1 and LBDM=10" when the host reports an agency, "... LBDM=0" else.
std::string CompanyListStatement();

// The sub-application codes offered for a company: the host's list in its
// order, then the main frame's "01" when the list lacks it.
void GetCompanySubAppCodes(TextList& codes);

// The host's descriptor for a sub-application code: the main frame's own
// when the code is the main frame's, else the sub-application's; none when
// the host has none.
SubAppDescriptor* FindSubAppDescriptor(const std::string& subAppCode);

// Whether a built-in post may use a function: always with `everyFunction`,
// else when the post code occurs anywhere in the function's post list.
bool BuiltInPostHasFunction(const FunctionRecord& function, std::string_view builtInPost, bool everyFunction);

// Item lines "0|0|code=name" of the functions a built-in post has in a
// sub-application, in the host's order. The list is cleared first; a code
// without a descriptor leaves it empty.
void ReadBuiltInFunctionItems(const std::string& subAppCode, const std::string& builtInPost, TextList& items,
                              bool everyFunction);

// Shares the texts of nodes that stand for the same function or
// sub-application during one load; dropped with the load, while the nodes
// keep what they share.
class PermitTextPool {
public:
    std::shared_ptr<const TAppFuncPermit::Texts> Function(std::string_view code, std::string_view name);
    std::shared_ptr<const TAppPermit::Texts> SubApp(std::string_view code, std::string_view product,
                                                    std::string_view name);

private:
    std::string key_;
    std::unordered_map<std::string, std::shared_ptr<const TAppFuncPermit::Texts>> functions_;
    std::unordered_map<std::string, std::shared_ptr<const TAppPermit::Texts>> subApps_;
};

} // namespace priv
