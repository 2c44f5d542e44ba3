// What the operator window and operator dialog tests share: a database with
// posts, a department and operators of every kind, and the signed-in
// operator in the host's user record.
#pragma once

#include "window_test_support.h"

#include "session/named_values.h"
#include "support/arrange.h"
#include "support/loaded_module.h"

#include <QApplication>
#include <QTest>

#include <optional>
#include <string>
#include <vector>

namespace priv::test {

// One operator of the fixture.
struct FixtureOperator {
    std::string code;
    std::string name;
    std::string password;
    std::string category;            // CZY_LB
    std::optional<std::string> post; // QX_CZYRROLE.JS_DM; none: no post link
    std::string department;          // BM_DM
    std::string valid = "Y";
};

class OperatorTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        if (HasFatalFailure())
            return;
        ASSERT_TRUE(AddDepartment(Db(), 1, "D01", "财务部"));
        ASSERT_TRUE(AddDepartment(Db(), 1, "D02", "办公室"));
        ASSERT_TRUE(AddPost(Db(), "GW00001", "税务会计"));
        for (const FixtureOperator& op : FixtureOperators())
            AddOperator(op);
        fennix::ClearShownMessages();
        fennix::ClearExecutedStatements();
    }

    void TearDown() override
    {
        fennix::ClearStatementFailures();
        WindowTest::TearDown();
    }

    static const std::vector<FixtureOperator>& FixtureOperators()
    {
        static const std::vector<FixtureOperator> operators = {
            {"admin", "管理员", "Admin#1", "0", std::string("0"), "D02"},
            {"root", "备用超级管理员", "Root#1", "0", std::string("0"), ""},
            {"sysadm", "系统管理员甲", "Sys#1", "1", std::string("SYSTEM"), "D02"},
            {"sys2", "系统管理员乙", "Sys#2", "1", std::string("SYSTEM"), ""},
            {"clerk", "张三", "Clerk#1", "1", std::string("BUSINESS"), "D01"},
            {"Brien", "O'Brien", "", "1", std::string("BUSINESS"), ""},
            {"audit", "李审", "Audit#1", "1", std::string("AUDITOR"), ""},
            {"kuaiji", "王会计", "Kj#1", "1", std::string("GW00001"), "D01"},
            {"nopost", "赵无岗", "Np#1", "1", std::nullopt, ""},
        };
        return operators;
    }

    void AddOperator(const FixtureOperator& op)
    {
        ASSERT_TRUE(
            test::AddOperator(Db(), {.code = op.code,
                                     .name = op.name,
                                     .password = op.password,
                                     .category = op.category,
                                     .departmentText = "",
                                     .valid = op.valid,
                                     .department = op.department,
                                     .post = op.post,
                                     .more = {{"DHHM", "010-1234"}, {"EMAIL", "a@b.cn"}, {"ZZ", "北京市"}}}));
    }

    // The signed-in operator as the host's user record holds him.
    void SignInAs(const std::string& code, const std::string& category)
    {
        SetTextValue(Host().GetUserInfoVO(), "CZY_DM", code);
        SetTextValue(Host().GetUserInfoVO(), "CZY_LB", category);
    }

    std::string Column(const std::string& code, const std::string& column)
    {
        return Db().Scalar("SELECT " + column + " FROM QX_CZY WHERE CZY_DM=" + SqlText(code));
    }
    std::string PostOf(const std::string& code)
    {
        return Db().Scalar("SELECT JS_DM FROM QX_CZYRROLE WHERE CZY_DM=" + SqlText(code));
    }

    static bool AnyStatementStarts(const std::string& start)
    {
        for (const std::string& statement : fennix::ExecutedStatements())
            if (statement.rfind(start, 0) == 0)
                return true;
        return false;
    }
};

} // namespace priv::test
