// Word books: small code/name dictionaries that fill a drop-down list with
// names and turn the picked name back into its code. Position 0 of both lists
// is the placeholder "－请选择－", so real entries start at 1. A word book is
// loaded once, when it is made; a window that wants fresh data makes a new one.
#pragma once

#include <string>
#include <vector>

namespace priv {

// The placeholder at position 0 of every word book (full-width dashes).
inline constexpr const char* kWordBookPlaceholder = "－请选择－";

class TBaseWordBook {
public:
    TBaseWordBook();
    virtual ~TBaseWordBook() = default;
    TBaseWordBook(const TBaseWordBook&) = delete;
    TBaseWordBook& operator=(const TBaseWordBook&) = delete;

    // Letter case is ignored; the first match in list order wins; empty when
    // absent. Names may repeat (every blank one reads "——"), so a name
    // does not tell which entry was meant: windows keep the position.
    std::string GetCodeByName(const std::string& name) const;
    // The name at GetPositionByCode; empty when absent.
    std::string GetNameByCode(const std::string& code) const;
    // The position of a code, found as every lookup of a code finds it (the
    // code stored exactly so, else the one it names in another letter case;
    // FindCode); -1 when absent.
    int GetPositionByCode(const std::string& code) const;
    // Empty for the placeholder (0), for no selection (negative) and past the end.
    std::string GetCodeByIndex(int position) const;
    // Replaces `items` with every name, the placeholder first. The drop-down
    // list takes them from there.
    void FillStrings(std::vector<std::string>& items) const;

    const std::vector<std::string>& Names() const { return FNames; }
    const std::vector<std::string>& Codes() const { return FCodes; }

protected:
    // Used in pairs by the loading step only (code first), which keeps both
    // lists in step by position.
    void AddCode(const std::string& code);
    void AddName(const std::string& name);

private:
    std::vector<std::string> FNames;
    std::vector<std::string> FCodes;
};

// Posts: "SYSTEM", "BUSINESS", "AUDITOR" at positions 1 to 3, then the
// created posts as the post store lists them. A failed read leaves only the
// placeholder.
class TRolesWordBook : public TBaseWordBook {
public:
    TRolesWordBook();
};

// Departments as the department store lists them.
class TDepartmentsWordBook : public TBaseWordBook {
public:
    TDepartmentsWordBook();
};

} // namespace priv
