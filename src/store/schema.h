// Names of the privilege tables and their columns, the built-in post codes and
// the permission node types, in one place. Statements are written with these
// names exactly as they stand here (upper case).
#pragma once

#include "boundary/builtin_posts.h"

namespace priv::schema {

// --- Tables --------------------------------------------------------------------
inline constexpr const char* kOperators = "QX_CZY";           // 操作员
inline constexpr const char* kOperatorPosts = "QX_CZYRROLE";  // the post of each operator
inline constexpr const char* kPosts = "QX_ROLES";             // 岗位 (roles)
inline constexpr const char* kPostGrants = "QX_ROLEPRMS";     // company nodes granted to a post
inline constexpr const char* kPermissionTree = "QX_PRMSMAP";  // permission nodes
inline constexpr const char* kOperatorCompanies = "QX_CZYQY"; // companies of an operator
inline constexpr const char* kOperatorProducts = "QX_CZYZXT"; // products of an operator
inline constexpr const char* kDepartments = "XT_BMXX";        // 部门
inline constexpr const char* kCompanies = "XT_QYXX";          // 企业, read only

// --- Columns ---------------------------------------------------------------------
// QX_CZY
inline constexpr const char* kOperatorCode = "CZY_DM";
inline constexpr const char* kOperatorName = "CZY_MC";
inline constexpr const char* kPassword = "PWD";
inline constexpr const char* kOperatorCategory = "CZY_LB";
inline constexpr const char* kOperatorDepartmentText = "SSBM";
inline constexpr const char* kDescription = "DESCRIPTION";
inline constexpr const char* kPhone = "DHHM";
inline constexpr const char* kEmail = "EMAIL";
inline constexpr const char* kAddress = "ZZ";
inline constexpr const char* kValidFlag = "YXBZ";
inline constexpr const char* kTimeLimitFlag = "SFXZSJ";
inline constexpr const char* kTimeLimit = "XZSJ";
inline constexpr const char* kLastSignIn = "ZHDLSJ";
// QX_CZY, XT_BMXX
inline constexpr const char* kDepartmentCode = "BM_DM";
inline constexpr const char* kDepartmentName = "BM_MC";
// QX_CZYRROLE, QX_ROLES, QX_ROLEPRMS
inline constexpr const char* kPostCode = "JS_DM";
inline constexpr const char* kPostName = "JS_MC";
// QX_PRMSMAP, QX_ROLEPRMS
inline constexpr const char* kPermitCode = "PRMS_DM";
inline constexpr const char* kPermitTarget = "DYDM";
inline constexpr const char* kPermitTargetName = "DYMC";
inline constexpr const char* kPermitParent = "PARENT_DM";
inline constexpr const char* kPermitType = "PRMS_TYPE";
inline constexpr const char* kPermitExtension = "KZDM";
// XT_QYXX, XT_BMXX, QX_CZYQY, QX_CZYZXT
inline constexpr const char* kCompanyId = "QYID";
inline constexpr const char* kCompanyTaxNumber = "QYSBH";
inline constexpr const char* kCompanyName = "QYMC";
inline constexpr const char* kCompanyCategory = "LBDM";
inline constexpr const char* kProductCode = "CPBM";

// --- Codes held in the tables -----------------------------------------------------
// Built-in posts. "0" is also the operator category of a super administrator.
using priv::kAuditorPost;
using priv::kBusinessPost;
using priv::kSuperAdminCategory;
using priv::kSuperAdminPost;
using priv::kSystemPost;

// Valid flag of an enabled operator.
inline constexpr const char* kOperatorActive = "Y";

// Permission node types (PRMS_TYPE).
inline constexpr const char* kPermitTypeCompany = "10";
inline constexpr const char* kPermitTypeApp = "20";
inline constexpr const char* kPermitTypeFunction = "30";

// Company categories (LBDM): agencies list category 10, everyone else 0.
inline constexpr const char* kAgencyCompanyCategory = "10";
inline constexpr const char* kOrdinaryCompanyCategory = "0";

// The sub-application code of the host's main frame.
inline constexpr const char* kMainFrameSubAppCode = "01";

} // namespace priv::schema
