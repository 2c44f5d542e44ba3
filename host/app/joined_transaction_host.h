// The host as the module's stores see it while privhost merges a whole
// document: every store operation that opens a transaction of its own (an
// operator with its post, a post's grants) runs inside privhost's one
// transaction instead, as a savepoint, so that the merge is kept whole or
// not at all while the stores keep their own checks and row locks.
#pragma once

#include "boundary/host.h"

#include <string>

namespace privhost {

class JoinedTransactionHost final : public priv::Host {
public:
    explicit JoinedTransactionHost(priv::Host& inner) : inner_(inner) {}

    // The outer transaction on MainAppCon; the stores' own ones nest in it
    // from now on. False with the database's text.
    bool Begin(std::string& message);
    bool Commit(std::string& message);
    void Rollback();
    // Whether a store rolled its part back (the merge must not commit then),
    // and the message it gave.
    bool StoreRolledBack() const { return rolledBack_; }
    const std::string& StoreMessage() const { return storeMessage_; }

    bool DBBeginTrans(const std::string& connection, std::string& message) override;
    bool DBCommitTrans(const std::string& connection, std::string& message) override;
    bool DBRollbackTrans(const std::string& connection, std::string& message) override;
    bool ExecADOQueryMsg(const std::string& connection, const std::string& sql, priv::QueryResult& query,
                         std::string& message, bool open) override
    {
        return inner_.ExecADOQueryMsg(connection, sql, query, message, open);
    }

    bool DBInTransaction(const std::string& connection) override
    {
        return inner_.DBInTransaction(connection);
    }
    bool DBBeginRead(const std::string& connection, std::string& message) override
    {
        return inner_.DBBeginRead(connection, message);
    }
    void DBEndRead(const std::string& connection) override { inner_.DBEndRead(connection); }
    std::string DBProduct(const std::string& connection) override { return inner_.DBProduct(connection); }
    void InfoMsgBox(const std::string& text) override { inner_.InfoMsgBox(text); }
    void ErrorMsgBox(const std::string& text) override { inner_.ErrorMsgBox(text); }
    bool ConfirmMsgBoxA(const std::string& text) override { return inner_.ConfirmMsgBoxA(text); }
    int InforMsg(int number, const std::string& arguments) override
    {
        return inner_.InforMsg(number, arguments);
    }
    std::string GetMsg(int number, const std::string& arguments) override
    {
        return inner_.GetMsg(number, arguments);
    }
    void Info(const std::string& flag, const std::string& line) override { inner_.Info(flag, line); }
    void Error(const std::string& flag, const std::string& line) override { inner_.Error(flag, line); }
    priv::HostRecord& GetUserInfoVO() override { return inner_.GetUserInfoVO(); }
    priv::HostRecord& GetCompanyInfoVO() override { return inner_.GetCompanyInfoVO(); }
    priv::SubAppDescriptor* GetMainFrameInfo() override { return inner_.GetMainFrameInfo(); }
    priv::SubAppDescriptor* GetpSubAppInfo(const std::string& subAppCode) override
    {
        return inner_.GetpSubAppInfo(subAppCode);
    }
    std::string GetSubAppCode(const std::string& productCode) override
    {
        return inner_.GetSubAppCode(productCode);
    }
    void GetALLSubAppCodeList(priv::TextList& codes) override { inner_.GetALLSubAppCodeList(codes); }
    void GetEnabledSubAppCodeList(priv::TextList& codes) override { inner_.GetEnabledSubAppCodeList(codes); }
    void SetSubAppPerms(const std::string& productCode, bool withdrawn, int reserved) override
    {
        inner_.SetSubAppPerms(productCode, withdrawn, reserved);
    }
    bool CheckFunctionCanUse(const std::string& functionCode) override
    {
        return inner_.CheckFunctionCanUse(functionCode);
    }
    bool CheckAgencyExist() override { return inner_.CheckAgencyExist(); }
    std::string gsAppVerTypeCode() override { return inner_.gsAppVerTypeCode(); }
    std::string ReadIniValueStr(const std::string& file, const std::string& section, const std::string& key,
                                const std::string& defaultValue) override
    {
        return inner_.ReadIniValueStr(file, section, key, defaultValue);
    }
    bool WriteIniValueStr(const std::string& file, const std::string& section, const std::string& key,
                          const std::string& value) override
    {
        return inner_.WriteIniValueStr(file, section, key, value);
    }
    std::string GetUserConfigParam(const std::string& section, const std::string& key,
                                   const std::string& defaultValue) override
    {
        return inner_.GetUserConfigParam(section, key, defaultValue);
    }
    std::string GetSysConfigParam(const std::string& section, const std::string& key,
                                  const std::string& defaultValue) override
    {
        return inner_.GetSysConfigParam(section, key, defaultValue);
    }
    std::string GetAppPath() override { return inner_.GetAppPath(); }
    priv::HostHandle GetAppHandle() override { return inner_.GetAppHandle(); }
    priv::HostHandle GetMainFrameHandle() override { return inner_.GetMainFrameHandle(); }
    std::string GetCurFuncCode() override { return inner_.GetCurFuncCode(); }
    std::string GetCurSubAppCode() override { return inner_.GetCurSubAppCode(); }
    std::string GetCurSubAppPath() override { return inner_.GetCurSubAppPath(); }
    priv::SubAppDescriptor* GetCurSubAppInfo() override { return inner_.GetCurSubAppInfo(); }
    void* GetCurSubAppVo() override { return inner_.GetCurSubAppVo(); }
    priv::HostHandle GetCurParentForm() override { return inner_.GetCurParentForm(); }
    priv::HostHandle GetgsMainFrameParentForm() override { return inner_.GetgsMainFrameParentForm(); }
    bool ExecuteFunc(priv::HostHandle owner, const std::string& functionCode, char** buffer) override
    {
        return inner_.ExecuteFunc(owner, functionCode, buffer);
    }
    void SetSkinSchemeCtrls(priv::HostHandle window) override { inner_.SetSkinSchemeCtrls(window); }
    priv::HostColor gclModuleBackColor() override { return inner_.gclModuleBackColor(); }
    priv::HostColor gclModuleToolBarColor() override { return inner_.gclModuleToolBarColor(); }
    priv::HostColor gclTopBarColor() override { return inner_.gclTopBarColor(); }
    priv::HostColor gclFrameBackColor() override { return inner_.gclFrameBackColor(); }
    priv::HostColor gclSysFontColor() override { return inner_.gclSysFontColor(); }
    int giSysFontSize() override { return inner_.giSysFontSize(); }
    int giSysFontCharSet() override { return inner_.giSysFontCharSet(); }
    priv::HostHandle FindWindowByClass(const std::string& className) override
    {
        return inner_.FindWindowByClass(className);
    }
    void SendWindowMessage(priv::HostHandle target, unsigned message, std::intptr_t wParam,
                           std::intptr_t lParam) override
    {
        inner_.SendWindowMessage(target, message, wParam, lParam);
    }
    void SendCopyData(priv::HostHandle target, priv::HostHandle sender, std::uintptr_t kind,
                      const std::vector<char>& bytes) override
    {
        inner_.SendCopyData(target, sender, kind, bytes);
    }
    std::string ReplaceStr(const std::string& text, const std::string& oldText,
                           const std::string& newText) override
    {
        return inner_.ReplaceStr(text, oldText, newText);
    }
    std::string GetCol(const std::string& text, int index, int separator) override
    {
        return inner_.GetCol(text, index, separator);
    }
    bool CapsLockStatus() override { return inner_.CapsLockStatus(); }
    void ProcessMessages() override { inner_.ProcessMessages(); }
    double Now() override { return inner_.Now(); }

private:
    bool Joined(const std::string& connection) const;
    bool RunSavepointStatement(const std::string& sql, std::string& message);

    priv::Host& inner_;
    bool outerOpen_ = false;
    int depth_ = 0;
    bool rolledBack_ = false;
    std::string storeMessage_;
};

} // namespace privhost
