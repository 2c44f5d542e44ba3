/*
 * The privilege module's public interface: what a host loads, calls and reads.
 *
 * The host loads libprivilege (privilege.dll on Windows) and calls the seven
 * exports below on its user-interface thread, one at a time. Every argument
 * that matters is a parameter string: a NUL-terminated buffer in the host's
 * 8-bit code page (GBK) holding name=value items separated by ';', in which a
 * value's '=' is written "&eq%" and its ';' "&lim%".
 *
 * Buffer contract: an export that answers through argv[0] writes its whole
 * result followed by NUL and never more than PRIV_PARAM_BUFFER_SIZE bytes in
 * all, NUL included. A host must therefore pass a buffer of at least
 * PRIV_PARAM_BUFFER_SIZE bytes to LoadLoginForm and FilterUserAuthrz. Should a
 * result not fit (only a failure message can grow), the message is shortened
 * at a character boundary; a character is never cut in half. The module reads
 * no more than PRIV_PARAM_BUFFER_SIZE bytes either: a parameter string must
 * end (NUL) within them. One that does not is refused: the Boolean exports
 * answer 0, and FilterUserAuthrz replaces the buffer's start with
 * "ResultMsgStr=" and the reason, ended by NUL.
 */
#ifndef PRIVILEGE_PRIVILEGE_H
#define PRIVILEGE_PRIVILEGE_H

#include <stdint.h>

/* On Windows the module itself exports (PRIV_BUILDING_MODULE), a host that
   links against the import library imports. */
#if defined(_WIN32) && defined(PRIV_BUILDING_MODULE)
#define PRIV_EXPORT __declspec(dllexport)
#elif defined(_WIN32)
#define PRIV_EXPORT __declspec(dllimport)
#else
#define PRIV_EXPORT __attribute__((visibility("default")))
#endif

/* The original host calls the exports with stdcall on 32-bit Windows. */
#if defined(_WIN32) && !defined(_WIN64)
#define PRIV_CALL __stdcall
#else
#define PRIV_CALL
#endif

#define PRIV_PARAM_BUFFER_SIZE 4096

/* One byte: 1 for true, 0 for false. */
typedef unsigned char PrivBool;

/* Parameter keys. */
#define PRIV_KEY_LOGIN_CODE "pamCZY_DM"            /* in, LoadLoginForm: sign in without a window */
#define PRIV_KEY_LOGIN_PASSWORD "pamPWD"           /* in, LoadLoginForm: the plain password */
#define PRIV_KEY_OPERATOR_CODE "CZY_DM"            /* out LoadLoginForm; in InitGlobalUserInfo */
#define PRIV_KEY_OPERATOR_POST "CZY_LB"            /* out, LoadLoginForm: "0" or the post code */
#define PRIV_KEY_PRODUCT_LIST "authedProdcList"    /* in, FilterUserAuthrz: one product per line */
#define PRIV_KEY_RESULT_MESSAGE "ResultMsgStr"     /* out, FilterUserAuthrz: failure message */
#define PRIV_KEY_MODAL_FORM_MESSAGE "ModalFormMsg" /* in, window exports: page announcement */
#define PRIV_KEY_POST_CODE "JS_DM"                 /* in, ShowPrivilegeAssignInnerProc */

#ifdef __cplusplus
extern "C" {
#endif

PRIV_EXPORT PrivBool PRIV_CALL LoadLoginForm(int32_t argc, char** argv);
PRIV_EXPORT PrivBool PRIV_CALL InitGlobalUserInfo(int32_t argc, char** argv);
PRIV_EXPORT PrivBool PRIV_CALL FilterUserAuthrz(int32_t argc, char** argv);
PRIV_EXPORT void PRIV_CALL ShowLogoutForm(void* applicationWindow, int32_t unused1, int32_t unused2);
PRIV_EXPORT void PRIV_CALL ShowOperatorMgrProc(void* applicationWindow, void* container, char** argv);
PRIV_EXPORT void PRIV_CALL ShowOperatorModifyPwdProc(void* applicationWindow, void* container, char** argv);
PRIV_EXPORT void PRIV_CALL ShowPrivilegeAssignInnerProc(void* applicationWindow, void* container,
                                                        char** argv);

#ifdef __cplusplus
} /* extern "C" */

#include <string>
#include <vector>

namespace priv {
class HostRecord;
class TRolePermissions;
} // namespace priv

/*
 * The session object. InitGlobalUserInfo stores it in the host's user
 * information record under "TPSession" (an owned object); the host calls it
 * through these fifteen slots, whose order is fixed. The record frees it.
 *
 * Unlike the seven exports, these slots are a C++ interface: they pass
 * std::string and std::vector by reference, return bool and int, and are
 * reached through the compiler's virtual-table layout. A host can call them
 * safely only when it shares with the module
 *   - the compiler's C++ ABI (virtual-table layout, calling convention of
 *     member functions: thiscall on 32-bit Windows for GCC and MSVC alike,
 *     but vtable and name rules differ between compiler families),
 *   - the same C++ standard library, in the same version and configuration
 *     (the layout of std::string and std::vector; libstdc++'s pre-C++11
 *     string differs from its C++11 one, MSVC's from both), and
 *   - one heap for whatever crosses: a text a slot fills in is allocated by
 *     the module and freed by the host. The Windows build links libstdc++
 *     statically, but its allocations come from the system's msvcrt.dll, so
 *     a host built with the same MinGW GCC and libstdc++ version may call
 *     the slots.
 * A host built with another compiler (Delphi, MSVC against a MinGW module)
 * must not call the slots. For such hosts on Windows a C-compatible way
 * should exist: plain exported functions taking the session as an opaque
 * handle and filling caller-owned, NUL-terminated code-page buffers with a
 * given size, the same convention as the parameter strings of the exports.
 * The slots' order and meaning stay as they are for hosts that share the
 * toolchain.
 */
class TPSession {
public:
    virtual bool GetFlag() = 0;                            /* slot 0 */
    virtual void SetFlag(bool value) = 0;                  /* slot 1 */
    virtual std::string GetLastLoginText() = 0;            /* slot 2 */
    virtual void UpdateLastLoginTime() = 0;                /* slot 3 */
    virtual bool ReadFlag() = 0;                           /* slot 4 */
    virtual priv::HostRecord* GetUserInfo() = 0;           /* slot 5 */
    virtual void GetCompanyId(std::string& companyId) = 0; /* slot 6 */
    virtual priv::HostRecord* GetCompanyInfo() = 0;        /* slot 7 */
    virtual bool ListCompanyProducts(const std::string& key,
                                     std::vector<std::string>& products) = 0; /* slot 8 */
    virtual bool ListCompanies(std::vector<std::string>& companies) = 0;      /* slot 9 */
    virtual int CompanyCount() = 0;                                           /* slot 10 */
    virtual priv::TRolePermissions* GetPermissions() = 0;                     /* slot 11 */
    virtual void ReloadPermissions() = 0;                                     /* slot 12 */
    virtual bool GrantCompany(const std::string& companyId) = 0;              /* slot 13 */
    virtual bool RevokeCompany(const std::string& companyId) = 0;             /* slot 14 */

protected:
    /* Only the owning record frees a session, through the module. */
    ~TPSession() = default;
};

#endif /* __cplusplus */

#endif /* PRIVILEGE_PRIVILEGE_H */
