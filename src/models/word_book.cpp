#include "models/word_book.h"

#include "boundary/text.h"
#include "store/department_store.h"
#include "store/post_store.h"

#include <algorithm>

namespace priv {

namespace {

// Position of the first entry equal to `text` without regard to letter case.
std::ptrdiff_t FindIgnoringCase(const std::vector<std::string>& entries, const std::string& text)
{
    auto found = std::find_if(entries.begin(), entries.end(),
                              [&](const std::string& entry) { return SameTextAscii(entry, text); });
    return found == entries.end() ? -1 : found - entries.begin();
}

} // namespace

TBaseWordBook::TBaseWordBook() : FNames{kWordBookPlaceholder}, FCodes{kWordBookPlaceholder} {}

std::string TBaseWordBook::GetCodeByName(const std::string& name) const
{
    const auto position = FindIgnoringCase(FNames, name);
    return position < 0 ? std::string() : FCodes[static_cast<std::size_t>(position)];
}

std::string TBaseWordBook::GetNameByCode(const std::string& code) const
{
    const int position = GetPositionByCode(code);
    return position < 0 ? std::string() : FNames[static_cast<std::size_t>(position)];
}

int TBaseWordBook::GetPositionByCode(const std::string& code) const
{
    const auto found = FindCode(FCodes.begin(), FCodes.end(), code,
                                [](const std::string& c) -> const std::string& { return c; });
    return found == FCodes.end() ? -1 : static_cast<int>(found - FCodes.begin());
}

std::string TBaseWordBook::GetCodeByIndex(int position) const
{
    if (position <= 0 || static_cast<std::size_t>(position) >= FCodes.size())
        return {};
    return FCodes[static_cast<std::size_t>(position)];
}

void TBaseWordBook::FillStrings(std::vector<std::string>& items) const
{
    items = FNames;
}

void TBaseWordBook::AddCode(const std::string& code)
{
    FCodes.push_back(code);
}

void TBaseWordBook::AddName(const std::string& name)
{
    FNames.push_back(name);
}

TRolesWordBook::TRolesWordBook()
{
    TRolesMgr store;
    TUserPostList posts;
    if (!store.GetPostList(posts))
        return;
    for (const UserPostInfo& post : posts) {
        AddCode(post.Code);
        AddName(post.Name);
    }
}

TDepartmentsWordBook::TDepartmentsWordBook()
{
    TDepartmentMgr store;
    TDepartmentList departments;
    if (!store.GetDepartmentList(departments))
        return;
    for (const DepartmentInfo& department : departments) {
        AddCode(department.Code);
        AddName(department.Name);
    }
}

} // namespace priv
