// Arranging the rows a test starts from: operators, posts, departments,
// companies, permission nodes and grants. Texts are quoted by the stores' own
// rule (store::Text), so an arranging statement never differs from what the
// module itself would write. Every call fails the test when its statement
// fails; wrap the AssertionResult ones in ASSERT_TRUE.
//
//     ASSERT_TRUE(AddPost(Db(), "GW00001", "税务会计"));
//     ASSERT_TRUE(AddOperator(Db(), {.code = "lina", .name = "李娜", .password = "pw",
//                                    .category = "1", .post = "BUSINESS"}));
//     const long long company = AddNode(Db(), {.code = "1001", .type = "10", .extension = 1001});
//     ASSERT_TRUE(Grant(Db(), "GW00001", company));
#pragma once

#include "support/database_fixture.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace priv::test {

// `text` between single quotes, its quotes doubled as the stores write them.
std::string SqlText(const std::string& text);

// One row of QX_CZY and its post link. Only the columns given are written;
// the others stay NULL, as a row another tool wrote may have them.
struct OperatorRow {
    std::string code;                          // CZY_DM
    std::optional<std::string> name;           // CZY_MC
    std::optional<std::string> password;       // plain text, stored enciphered (PWD)
    std::optional<std::string> storedPassword; // PWD exactly as given (text that does not decipher)
    std::optional<std::string> category;       // CZY_LB
    std::optional<std::string> departmentText; // SSBM
    std::optional<std::string> valid = "Y";    // YXBZ
    std::optional<std::string> department;     // BM_DM
    std::optional<std::string> post;           // QX_CZYRROLE.JS_DM; none: no post link
    // Further text columns (DHHM, EMAIL, ZZ, DESCRIPTION, ...), in order.
    std::vector<std::pair<std::string, std::string>> more;
};
::testing::AssertionResult AddOperator(TestDatabase& db, const OperatorRow& row);

// A created post (QX_ROLES).
::testing::AssertionResult AddPost(TestDatabase& db, const std::string& code, const std::string& name);

// A department of a company (XT_BMXX).
::testing::AssertionResult AddDepartment(TestDatabase& db, int company, const std::string& code,
                                         const std::string& name);

// A company record (XT_QYXX); category 0 for a tax payer, 10 for an agency.
::testing::AssertionResult AddCompany(TestDatabase& db, int id, const std::string& taxNumber,
                                      const std::string& name, int category = 0);

// One node of QX_PRMSMAP: a company ("10", extension the company's QYID,
// parent 0), a sub-application ("20") or a function ("30") below its parent.
struct NodeRow {
    std::string code; // DYDM
    std::string name; // DYMC
    long long parent = 0;
    std::string type = "10";
    long long extension = 0; // KZDM
};
// The new node's PRMS_DM; 0 (and a test failure) when it was not written.
long long AddNode(TestDatabase& db, const NodeRow& row);

// Grants the node (a company node, as the stores keep them) to the post.
::testing::AssertionResult Grant(TestDatabase& db, const std::string& post, long long node);

// A company node for `company` granted whole to the post; its PRMS_DM.
long long GrantCompany(TestDatabase& db, const std::string& post, int company);

} // namespace priv::test
