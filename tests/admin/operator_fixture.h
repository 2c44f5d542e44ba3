// What the operator window and operator dialog tests share: a database with
// posts, a department and operators of every kind, the signed-in operator in
// the host's user record, driving a modal dialog from inside its own event
// loop, and the module loaded with dlopen as a host loads it.
#pragma once

#include "window_test_support.h"

#include "boundary/codepage.h"
#include "cipher/crypt.h"
#include "session/named_values.h"

#include <privilege/privilege.h>

#include <QApplication>
#include <QInputMethodEvent>
#include <QTest>
#include <QTimer>

#include <dlfcn.h>

#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// Readable failure messages for Qt texts.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace priv::test {

inline std::string Quoted(const std::string& text)
{
    std::string out = "'";
    for (const char c : text) {
        out += c;
        if (c == '\'')
            out += '\'';
    }
    return out + "'";
}

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
        ASSERT_TRUE(Db().ExecAll({
            "INSERT INTO XT_BMXX (QYID, BM_DM, BM_MC) VALUES (1, 'D01', '财务部')",
            "INSERT INTO XT_BMXX (QYID, BM_DM, BM_MC) VALUES (1, 'D02', '办公室')",
            "INSERT INTO QX_ROLES (JS_DM, JS_MC) VALUES ('GW00001', '税务会计')",
        }));
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
            Db().Exec("INSERT INTO QX_CZY (CZY_DM, CZY_MC, PWD, CZY_LB, SSBM, YXBZ, BM_DM, DHHM, EMAIL, ZZ) "
                      "VALUES (" +
                      Quoted(op.code) + ", " + Quoted(op.name) + ", " + Quoted(EncryptPassword(op.password)) +
                      ", " + Quoted(op.category) + ", '', " + Quoted(op.valid) + ", " +
                      Quoted(op.department) + ", '010-1234', 'a@b.cn', '北京市')"));
        if (op.post) {
            ASSERT_TRUE(Db().Exec("INSERT INTO QX_CZYRROLE (CZY_DM, JS_DM) VALUES (" + Quoted(op.code) +
                                  ", " + Quoted(*op.post) + ")"));
        }
    }

    // The signed-in operator as the host's user record holds him.
    void SignInAs(const std::string& code, const std::string& category)
    {
        SetTextValue(Host().GetUserInfoVO(), "CZY_DM", code);
        SetTextValue(Host().GetUserInfoVO(), "CZY_LB", category);
    }

    std::string Column(const std::string& code, const std::string& column)
    {
        return Db().Scalar("SELECT " + column + " FROM QX_CZY WHERE CZY_DM=" + Quoted(code));
    }
    std::string PostOf(const std::string& code)
    {
        return Db().Scalar("SELECT JS_DM FROM QX_CZYRROLE WHERE CZY_DM=" + Quoted(code));
    }

    // The numbers of the catalogue messages shown so far, in order; plain
    // texts count as 0.
    static std::vector<int> ShownNumbers()
    {
        std::vector<int> numbers;
        for (const fennix::ShownMessage& message : fennix::ShownMessages())
            numbers.push_back(message.number);
        return numbers;
    }
    static std::vector<std::string> ShownTexts()
    {
        std::vector<std::string> texts;
        for (const fennix::ShownMessage& message : fennix::ShownMessages())
            texts.push_back(message.text);
        return texts;
    }
    static bool AnyStatementStarts(const std::string& start)
    {
        for (const std::string& statement : fennix::ExecutedStatements())
            if (statement.rfind(start, 0) == 0)
                return true;
        return false;
    }
};

// Types text as a person does: plain characters key by key, everything else
// (Chinese, symbols beyond ASCII) committed by an input method, one character
// at a time.
inline void TypeInto(QWidget* box, const QString& text)
{
    for (const char32_t c : text.toStdU32String()) {
        const QString one = QString::fromUcs4(&c, 1);
        if (c >= 0x20 && c < 0x7F) {
            QTest::keyClicks(box, one);
        } else {
            QInputMethodEvent commit;
            commit.setCommitString(one);
            QCoreApplication::sendEvent(box, &commit);
        }
    }
}

// The built module, loaded as a host loads it.
class LoadedModule {
public:
    using BooleanExport = PrivBool (*)(int32_t, char**);
    using WindowExport = void (*)(void*, void*, char**);

    LoadedModule() : handle_(dlopen(PRIV_MODULE_PATH, RTLD_NOW | RTLD_LOCAL)) {}
    ~LoadedModule()
    {
        if (handle_)
            dlclose(handle_);
    }
    LoadedModule(const LoadedModule&) = delete;
    LoadedModule& operator=(const LoadedModule&) = delete;

    void* Handle() const { return handle_; }
    BooleanExport Boolean(const char* name) const
    {
        return reinterpret_cast<BooleanExport>(dlsym(handle_, name));
    }
    WindowExport Window(const char* name) const
    {
        return reinterpret_cast<WindowExport>(dlsym(handle_, name));
    }

private:
    void* handle_;
};

// A host buffer: the parameter string in the host's code page, with room.
struct HostBuffer {
    explicit HostBuffer(const std::string& utf8) : bytes(PRIV_PARAM_BUFFER_SIZE, '\0')
    {
        const std::string host = Utf8ToHost(utf8);
        std::memcpy(bytes.data(), host.c_str(), host.size() + 1);
        argv[0] = bytes.data();
    }
    std::string Text() const { return HostToUtf8(bytes.data()); }
    std::vector<char> bytes;
    char* argv[1] = {nullptr};
};

} // namespace priv::test
