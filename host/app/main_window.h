// Tfrm_MainFrame: the desktop host's main window. It shows the host's products
// and functions as the privilege module's filter left them, opens functions in
// closable pages (the module's window exports embed their windows there), and
// answers every window message and copy-data text the module's windows send
// to the host's main frame.
//
// Its layout is the form main_window.ui; its look is the style sheet
// main_window.qss, coloured with the host's skin.
#pragma once

#include "desktop_session.h"

#include <QMainWindow>
#include <QString>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class QComboBox;
class QLabel;
class QTabWidget;
class QTreeWidget;
class QTreeWidgetItem;

namespace Ui {
class Tfrm_MainFrame;
} // namespace Ui

namespace privhost {

// Host function codes the main frame knows by number.
inline constexpr const char* kOperatorManagementFunction = "01003-01-07-00-00";
inline constexpr const char* kPrivilegeAssignFunction = "01003-01-19-00-00";
inline constexpr const char* kPasswordChangeFunction = "01003-01-20-00-00";
// The host's own page, not in the applications file.
inline constexpr const char* kOperationLogFunction = "01003-01-21-00-00";

// Messages and copy-data kinds of the main-frame channel; the numbers are the
// ones the module's windows send and expect.
inline constexpr unsigned kWmModuleClose = 0x500;
inline constexpr unsigned kWmModuleSkin = 0x517;
inline constexpr unsigned kWmMainFrameHelp = 0x510;
inline constexpr unsigned kWmNcActivate = 0x0086;
inline constexpr std::uintptr_t kCdPageOpened = 0x502;
inline constexpr std::uintptr_t kCdPageClosed = 0x516;
inline constexpr std::uintptr_t kCdPageSize = 0x531;

inline constexpr const char* kMainFrameClass = "Tfrm_MainFrame";

class Tfrm_MainFrame : public QMainWindow {
    Q_OBJECT

public:
    static constexpr int kMinimumWidth = 800;
    static constexpr int kMinimumHeight = 540;

    // Registers itself with the framework as the application window and the
    // main frame (class "Tfrm_MainFrame"), takes the main-frame channel and
    // the privilege assignment host function. `module` must outlive it.
    explicit Tfrm_MainFrame(ModuleLoader& module, QWidget* parent = nullptr);
    ~Tfrm_MainFrame() override;

    // After LoadLoginForm: publishes the operator (InitGlobalUserInfo), filters
    // the products (a false answer is shown, not fatal), builds the navigation
    // and the status bar, and stamps this sign-in as the operator's last.
    // False when the operator could not be published.
    bool StartSession(const std::string& operatorCode, std::string& error);

    // What a double-click on a function does. False when nothing opened.
    bool OpenFunction(const std::string& functionCode);
    // The operation log page (System → 操作日志), for operators who may use
    // operator management; brings an open one to the front.
    bool OpenOperationLog();
    // Reopens the framework on another company of the list and filters again;
    // asks first when a page is open, as the pages close with the switch.
    bool SwitchCompany(const std::string& companyId);
    // ShowLogoutForm, then closes the open pages and publishes whoever signed
    // in there; asks first when a page is open, and closes nothing when the
    // change is refused or cancelled.
    bool ChangeOperator();
    // Asks every page to close (WM_MODULE_CLOSE); false when one stays open.
    bool CloseAllPages();
    bool ClosePage(int index);
    // Tells every open page that the skin changed.
    void ApplySkinToPages();

    // --- What the window shows --------------------------------------------------
    QTabWidget* PageArea() const;
    QTreeWidget* FunctionTree() const;
    // The module's (or the sample) window inside the page at `index`.
    QWidget* PageWindow(int index) const;
    QString PageFunctionCode(int index) const;
    bool IsPageAreaMaximised() const { return maximised_; }
    int NcActivateCount() const { return ncActivateCount_; }
    const std::string& OperatorCode() const { return operatorCode_; }
    bool FilterSucceeded() const { return filterOk_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildHeader();
    void BuildToolBarAndStatusBar();
    void ConnectCommands();
    void ApplyLook();
    void InstallHostChannel();
    void HandleMessage(unsigned message, std::intptr_t wParam, std::intptr_t lParam);
    void HandleCopyData(void* sender, std::uintptr_t kind, const std::vector<char>& bytes);

    bool PublishAndFilter(const std::string& operatorCode, std::string& error);
    void StampSignIn();
    bool ReopenAndPublish(const std::string& companyId, const std::string& operatorCode);
    void RebuildNavigation();
    void RefreshCompanies();
    void RefreshStatus();
    void Notice(const QString& text);
    // Whether the operator agrees to close the open pages for `change`; true
    // when none is open.
    bool ConfirmClosingPages(const QString& change);

    void OnItemActivated(QTreeWidgetItem* item);
    void OnCompanyChosen(int index);
    QWidget* AddPageContainer(const std::string& functionCode, const std::string& subAppCode,
                              const std::string& name);
    bool CallWindowExport(const char* exportName, const std::string& functionCode,
                          const std::string& subAppCode, const std::string& name, char** argv);
    bool KeepPageIfOpened(QWidget* container, const std::string& name);
    bool OpenSamplePage(const std::string& functionCode, const std::string& subAppCode,
                        const std::string& name);
    bool OpenPrivilegeAssignmentFor(char** buffer);
    void RemovePage(QWidget* container);
    int PageIndexOfWindow(std::uintptr_t handle) const;
    int PageIndexOfClosedWindow(void* sender, const QString& functionCode) const;
    void SetPageAreaMaximised(bool maximised);
    void ShowHelp();
    void ShowWelcomeWhenEmpty();

    DesktopSession session_;
    std::string operatorCode_;
    std::string lastLoginText_;
    bool filterOk_ = true;
    bool maximised_ = false;
    int ncActivateCount_ = 0;

    // The form's controls; the few that the form cannot hold follow.
    std::unique_ptr<Ui::Tfrm_MainFrame> ui_;
    // The title band above the menu bar.
    QWidget* topBar_ = nullptr;
    QLabel* topOperator_ = nullptr;
    // In the tool bar, before the help button.
    QComboBox* companies_ = nullptr;
    // The signed-in context on the status bar's right.
    QLabel* statusOperator_ = nullptr;
    QLabel* statusPost_ = nullptr;
    QLabel* statusCompany_ = nullptr;
    QLabel* statusLastLogin_ = nullptr;
};

} // namespace privhost
