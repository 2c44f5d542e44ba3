// The tests' oracle for a created post's stored tree: read the plain way,
// one statement for the post's companies, one per company for its
// sub-applications and one per sub-application for its functions. The
// store reads the same tree in a few set statements; the two must agree
// node for node.
#pragma once

#include "store/post_store.h"

#include <string>

namespace priv::test {

// Loads `postCode` into `permissions` as TRolesMgr::LoadPostPermissions
// does (post code set, tree emptied, the post's row checked, one snapshot,
// the status window above kLargeLoadCompanies companies, an empty tree on
// any failure), reading a created post node by node. The built-in posts'
// trees are made, not read: for them the store's own load answers.
bool LoadPostPermissionsPerNode(TRolesMgr& store, const std::string& postCode, TRolePermissions* permissions);

} // namespace priv::test
