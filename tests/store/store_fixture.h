// What the store tests share: texts that try to break statements, and small
// helpers over the statement log of the substitute host. Rows are arranged
// with support/arrange.h.
#pragma once

#include "boundary/codepage.h"
#include "fennix/fennix.h"
#include "fennix/testing.h"
#include "support/arrange.h"
#include "support/database_fixture.h"

#include <algorithm>
#include <string>
#include <vector>

namespace priv::test {

// Typed values that must reach the tables exactly as typed and never change
// a statement.
inline std::vector<std::string> HostileTexts()
{
    return {
        "'; DROP TABLE QX_CZY; --",
        "O'Neil",
        "''",
        "a\\b\\\\c\\'",
        "中文名称（测试）",
        "x' OR '1'='1",
        std::string(255, 'L'), // the longest text a record keeps
        [] {                   // 127 Chinese characters: 254 GBK bytes
            std::string text;
            for (int i = 0; i < 127; ++i)
                text += "税";
            return text;
        }(),
    };
}

// The statements run through the host since the last ClearExecutedStatements
// whose text contains `fragment`.
inline std::vector<std::string> StatementsContaining(const std::string& fragment)
{
    std::vector<std::string> found;
    for (const std::string& statement : fennix::ExecutedStatements())
        if (statement.find(fragment) != std::string::npos)
            found.push_back(statement);
    return found;
}

inline std::size_t HostBytes(const std::string& utf8)
{
    return Utf8ToHost(utf8).size();
}

} // namespace priv::test
