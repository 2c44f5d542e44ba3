// The substitute host's implementation of the module's host interface.
#pragma once

#include "boundary/host.h"

namespace fennix {

class FrameworkHost final : public priv::Host {
public:
    bool ExecADOQueryMsg(const std::string& connection, const std::string& sql, priv::QueryResult& query,
                         std::string& message, bool open) override;
    bool DBBeginTrans(const std::string& connection, std::string& message) override;
    bool DBCommitTrans(const std::string& connection, std::string& message) override;
    bool DBRollbackTrans(const std::string& connection, std::string& message) override;
    bool DBInTransaction(const std::string& connection) override;
    bool DBBeginRead(const std::string& connection, std::string& message) override;
    void DBEndRead(const std::string& connection) override;
    std::string DBProduct(const std::string& connection) override;

    void InfoMsgBox(const std::string& text) override;
    void ErrorMsgBox(const std::string& text) override;
    bool ConfirmMsgBoxA(const std::string& text) override;
    int InforMsg(int number, const std::string& arguments) override;
    std::string GetMsg(int number, const std::string& arguments) override;

    void Info(const std::string& flag, const std::string& line) override;
    void Error(const std::string& flag, const std::string& line) override;

    priv::HostRecord& GetUserInfoVO() override;
    priv::HostRecord& GetCompanyInfoVO() override;

    priv::SubAppDescriptor* GetMainFrameInfo() override;
    priv::SubAppDescriptor* GetpSubAppInfo(const std::string& subAppCode) override;
    std::string GetSubAppCode(const std::string& productCode) override;
    void GetALLSubAppCodeList(priv::TextList& codes) override;
    void GetEnabledSubAppCodeList(priv::TextList& codes) override;
    void SetSubAppPerms(const std::string& productCode, bool withdrawn, int reserved) override;
    bool CheckFunctionCanUse(const std::string& functionCode) override;
    bool CheckAgencyExist() override;
    std::string gsAppVerTypeCode() override;

    std::string ReadIniValueStr(const std::string& file, const std::string& section, const std::string& key,
                                const std::string& defaultValue) override;
    bool WriteIniValueStr(const std::string& file, const std::string& section, const std::string& key,
                          const std::string& value) override;
    std::string GetUserConfigParam(const std::string& section, const std::string& key,
                                   const std::string& defaultValue) override;
    std::string GetSysConfigParam(const std::string& section, const std::string& key,
                                  const std::string& defaultValue) override;

    std::string GetAppPath() override;
    priv::HostHandle GetAppHandle() override;
    priv::HostHandle GetMainFrameHandle() override;
    std::string GetCurFuncCode() override;
    std::string GetCurSubAppCode() override;
    std::string GetCurSubAppPath() override;
    priv::SubAppDescriptor* GetCurSubAppInfo() override;
    void* GetCurSubAppVo() override;
    priv::HostHandle GetCurParentForm() override;
    priv::HostHandle GetgsMainFrameParentForm() override;
    bool ExecuteFunc(priv::HostHandle owner, const std::string& functionCode, char** buffer) override;
    void SetSkinSchemeCtrls(priv::HostHandle window) override;
    priv::HostColor gclModuleBackColor() override;
    priv::HostColor gclModuleToolBarColor() override;
    priv::HostColor gclTopBarColor() override;
    priv::HostColor gclFrameBackColor() override;
    priv::HostColor gclSysFontColor() override;
    int giSysFontSize() override;
    int giSysFontCharSet() override;

    priv::HostHandle FindWindowByClass(const std::string& className) override;
    void SendWindowMessage(priv::HostHandle target, unsigned message, std::intptr_t wParam,
                           std::intptr_t lParam) override;
    void SendCopyData(priv::HostHandle target, priv::HostHandle sender, std::uintptr_t kind,
                      const std::vector<char>& bytes) override;

    std::string ReplaceStr(const std::string& text, const std::string& oldText,
                           const std::string& newText) override;
    std::string GetCol(const std::string& text, int index, int separator) override;
    bool CapsLockStatus() override;

    void ProcessMessages() override;
    double Now() override;
};

} // namespace fennix
