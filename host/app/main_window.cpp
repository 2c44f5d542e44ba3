#include "main_window.h"

#include "desktop_setup.h"
#include "elided_label.h"
#include "function_tree.h"
#include "status_bar.h"
#include "ui_main_window.h"

#include "boundary/codepage.h"
#include "boundary/host.h"

#include <fennix/fennix.h>

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QStyle>
#include <QTabWidget>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <cstring>
#include <utility>

// The style sheet is compiled into the desktop library; a static library's
// resources are registered by hand (outside any namespace).
static void RegisterMainWindowResources()
{
    Q_INIT_RESOURCE(main_window);
}

namespace privhost {
namespace {

QString Text(const std::string& utf8)
{
    return QString::fromStdString(utf8);
}

// What a failed authorisation filter means to the operator, in plain words,
// with the module's numbered message beside it.
QString FilterFailureText(const std::string& message)
{
    const QString numbered = Text(message);
    QString reason = QStringLiteral("无法确定当前操作员在本企业可使用的功能，所有功能暂不可用。");
    const std::string company = DesktopSession::CompanyId();
    if (numbered.contains(QStringLiteral("[70018512]")) && company.empty()) {
        reason = QStringLiteral("尚未选择企业，所有功能暂不可用；请在工具栏选择企业。");
    } else if (numbered.contains(QStringLiteral("[70018512]"))) {
        reason = QStringLiteral("当前岗位未被授予企业 %1 %2，所有功能暂不可用；请切换到岗位已授权的企业。")
                     .arg(Text(company), Text(DesktopSession::CompanyName(company)));
    } else if (numbered.contains(QStringLiteral("[70018511]"))) {
        reason = QStringLiteral("尚未读取当前操作员的岗位权限，所有功能暂不可用；请重新登录。");
    }
    return numbered.isEmpty() ? reason : reason + QStringLiteral("（") + numbered + QStringLiteral("）");
}

// The host's skin colours are 0x00BBGGRR.
QColor SkinColor(priv::HostColor color)
{
    return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                  static_cast<int>((color >> 16) & 0xFF));
}

} // namespace

Tfrm_MainFrame::Tfrm_MainFrame(ModuleLoader& module, QWidget* parent)
    : QMainWindow(parent), session_(module), ui_(std::make_unique<Ui::Tfrm_MainFrame>())
{
    setObjectName(QString::fromLatin1(kMainFrameClass));
    ui_->setupUi(this);
    BuildHeader();
    BuildToolBarAndStatusBar();
    ConnectCommands();
    ui_->splMain->setSizes({260, 920});
    ShowWelcomeWhenEmpty();
    // Small enough for a thin client's screen, large enough that the tool
    // bar keeps the company switch in view and the navigation stays usable.
    setMinimumSize(kMinimumWidth, kMinimumHeight);
    ApplyLook();
    InstallHostChannel();
}

Tfrm_MainFrame::~Tfrm_MainFrame()
{
    // The pages die with this window; what they still send goes nowhere.
    fennix::SetMainFrameHandlers({}, {});
    fennix::RegisterFunction(kPrivilegeAssignFunction, {});
    fennix::RegisterWindowClass(kMainFrameClass, nullptr);
    fennix::SetMainFrame(nullptr);
    fennix::SetAppHandle(nullptr);
    fennix::SetCurrentParentForm(nullptr);
    fennix::SetMainFrameParentForm(nullptr);
}

QTabWidget* Tfrm_MainFrame::PageArea() const
{
    return ui_->pgcPages;
}

QTreeWidget* Tfrm_MainFrame::FunctionTree() const
{
    return ui_->tvFunctions;
}

// --- What the form cannot hold --------------------------------------------------

void Tfrm_MainFrame::BuildHeader()
{
    // The title band stands above the menu bar: the two share the window's
    // menu-widget place, which a form cannot describe. Taking the form's menu
    // bar into the header first frees that place, so that the menu bar is
    // not deleted when the header takes it.
    auto* header = new QWidget(this);
    header->setObjectName(QStringLiteral("pnlHeader"));
    auto* headerLayout = new QVBoxLayout(header);
    headerLayout->setContentsMargins(0, 0, 0, 0);
    headerLayout->setSpacing(0);
    topBar_ = new QWidget(header);
    headerLayout->addWidget(topBar_);
    headerLayout->addWidget(ui_->mnuMain);
    setMenuWidget(header);

    topBar_->setObjectName(QStringLiteral("pnlTopBar"));
    topBar_->setFixedHeight(48);
    auto* topLayout = new QHBoxLayout(topBar_);
    topLayout->setContentsMargins(18, 0, 18, 0);
    auto* topTitle = new QLabel(QStringLiteral("税务申报管理平台"), topBar_);
    topTitle->setObjectName(QStringLiteral("lblTopTitle"));
    auto* topSubtitle = new QLabel(QStringLiteral("权限模块宿主"), topBar_);
    topSubtitle->setObjectName(QStringLiteral("lblTopSubtitle"));
    topOperator_ = new TElidedLabel(topBar_);
    topOperator_->setObjectName(QStringLiteral("lblTopOperator"));
    topLayout->addWidget(topTitle);
    topLayout->addSpacing(10);
    topLayout->addWidget(topSubtitle, 0, Qt::AlignVCenter);
    topLayout->addStretch(1);
    topLayout->addWidget(topOperator_);
}

void Tfrm_MainFrame::BuildToolBarAndStatusBar()
{
    // The style's own pictures, as the desktop draws them.
    ui_->actChangeOperator->setIcon(style()->standardIcon(QStyle::SP_BrowserReload));
    ui_->actCloseAllPages->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
    ui_->actHelp->setIcon(style()->standardIcon(QStyle::SP_MessageBoxQuestion));

    // The company switch, between the operator's actions and the help button
    // at the far right.
    QToolBar* toolBar = ui_->tbrMain;
    auto* companyLabel = new QLabel(QStringLiteral("当前企业(&C)："), toolBar);
    companyLabel->setObjectName(QStringLiteral("lblCompany"));
    companyLabel->setContentsMargins(8, 0, 2, 0);
    toolBar->insertWidget(ui_->actHelp, companyLabel);
    companies_ = new QComboBox(toolBar);
    companies_->setObjectName(QStringLiteral("cbxCompany"));
    // The label names the company switch for screen readers; Alt+C reaches it.
    companyLabel->setBuddy(companies_);
    companies_->setMinimumWidth(300);
    toolBar->insertWidget(ui_->actHelp, companies_);
    auto* spacer = new QWidget(toolBar);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    toolBar->insertWidget(ui_->actHelp, spacer);

    // Status bar: notices on the left, the signed-in context on the right.
    statusOperator_ = new TElidedLabel(this);
    statusOperator_->setObjectName(QStringLiteral("lblStatusOperator"));
    statusPost_ = new TElidedLabel(this);
    statusPost_->setObjectName(QStringLiteral("lblStatusPost"));
    statusCompany_ = new TElidedLabel(this);
    statusCompany_->setObjectName(QStringLiteral("lblStatusCompany"));
    statusLastLogin_ = new TElidedLabel(this);
    statusLastLogin_->setObjectName(QStringLiteral("lblStatusLastLogin"));
    for (QLabel* label : {statusOperator_, statusPost_, statusCompany_, statusLastLogin_}) {
        label->setContentsMargins(8, 0, 8, 0);
        ui_->stbMain->addPermanentWidget(label);
    }
}

void Tfrm_MainFrame::ConnectCommands()
{
    connect(ui_->actChangeOperator, &QAction::triggered, this, [this] { ChangeOperator(); });
    connect(ui_->actCloseAllPages, &QAction::triggered, this, [this] { CloseAllPages(); });
    connect(ui_->actApplySkin, &QAction::triggered, this, [this] { ApplySkinToPages(); });
    connect(ui_->actOperationLog, &QAction::triggered, this, [this] { OpenOperationLog(); });
    connect(ui_->actHelp, &QAction::triggered, this, [this] { ShowHelp(); });
    connect(ui_->actAbout, &QAction::triggered, this,
            [this] { QMessageBox::about(this, QStringLiteral("关于"), AboutText()); });
    connect(companies_, &QComboBox::activated, this, &Tfrm_MainFrame::OnCompanyChosen);
    ui_->tvFunctions->setItemDelegate(new FunctionTreeDelegate(ui_->tvFunctions));
    connect(ui_->tvFunctions, &QTreeWidget::itemActivated, this,
            [this](QTreeWidgetItem* item, int) { OnItemActivated(item); });
    connect(ui_->pgcPages, &QTabWidget::tabCloseRequested, this, [this](int index) { ClosePage(index); });
}

void Tfrm_MainFrame::ApplyLook()
{
    RegisterMainWindowResources();
    priv::Host& host = fennix::Services();
    QFile file(QStringLiteral(":/privhost/main_window.qss"));
    QString sheet;
    if (file.open(QIODevice::ReadOnly | QIODevice::Text))
        sheet = QString::fromUtf8(file.readAll());
    const QColor topBar = SkinColor(host.gclTopBarColor());
    const std::pair<const char*, QColor> colours[] = {
        {"@FrameBack@", SkinColor(host.gclFrameBackColor())},
        {"@ToolBar@", SkinColor(host.gclModuleToolBarColor())},
        {"@TopBarLight@", topBar.lighter(125)},
        {"@TopBar@", topBar},
        {"@ModuleBack@", SkinColor(host.gclModuleBackColor())},
        {"@Font@", SkinColor(host.gclSysFontColor())},
    };
    for (const auto& [word, colour] : colours)
        sheet.replace(QLatin1String(word), colour.name());
    setStyleSheet(sheet);
}

void Tfrm_MainFrame::InstallHostChannel()
{
    void* self = static_cast<QWidget*>(this);
    fennix::SetAppHandle(self);
    fennix::SetMainFrame(self);
    fennix::RegisterWindowClass(kMainFrameClass, self);
    fennix::SetMainFrameParentForm(static_cast<QWidget*>(ui_->pgcPages));
    fennix::SetMainFrameHandlers(
        [this](void*, unsigned message, std::intptr_t wParam, std::intptr_t lParam) {
            HandleMessage(message, wParam, lParam);
        },
        [this](void*, void* sender, std::uintptr_t kind, const std::vector<char>& bytes) {
            HandleCopyData(sender, kind, bytes);
        });
    // The module's operator window opens privilege assignment through the host.
    fennix::RegisterFunction(kPrivilegeAssignFunction,
                             [this](void*, char** buffer) { return OpenPrivilegeAssignmentFor(buffer); });
}

// --- The signed-in operator ---------------------------------------------------------

bool Tfrm_MainFrame::StartSession(const std::string& operatorCode, std::string& error)
{
    if (!PublishAndFilter(operatorCode, error))
        return false;
    StampSignIn();
    return true;
}

void Tfrm_MainFrame::StampSignIn()
{
    // The time shown is the previous sign-in's; this one is stamped for the
    // next start. A company switch keeps both.
    lastLoginText_ = "——";
    if (TPSession* session = DesktopSession::Session()) {
        lastLoginText_ = session->GetLastLoginText();
        session->UpdateLastLoginTime();
    }
    RefreshStatus();
}

bool Tfrm_MainFrame::PublishAndFilter(const std::string& operatorCode, std::string& error)
{
    if (!session_.PublishOperator(operatorCode)) {
        error = "无法读取操作员“" + operatorCode + "”的信息。";
        return false;
    }
    operatorCode_ = operatorCode;
    std::string message;
    filterOk_ = session_.FilterAuthorisation(message);
    RebuildNavigation();
    RefreshCompanies();
    RefreshStatus();
    if (!filterOk_)
        Notice(FilterFailureText(message));
    return true;
}

bool Tfrm_MainFrame::ReopenAndPublish(const std::string& companyId, const std::string& operatorCode)
{
    std::string error;
    const bool reopened = session_.ReopenHost(companyId, error);
    // Reopened or not, the records started afresh: the operator is published
    // again so that the window never shows a stale session.
    std::string publishError;
    if (!PublishAndFilter(operatorCode, publishError)) {
        fennix::Services().ErrorMsgBox(publishError);
        close();
        return false;
    }
    if (!reopened) {
        fennix::Services().ErrorMsgBox("无法切换到企业 " + companyId + "：" + error);
        return false;
    }
    return true;
}

bool Tfrm_MainFrame::SwitchCompany(const std::string& companyId)
{
    if (!IsCompanyId(companyId)) {
        Notice(QStringLiteral("企业代码无效：%1").arg(Text(companyId)));
        RefreshCompanies();
        return false;
    }
    if (companyId == DesktopSession::CompanyId())
        return true;
    if (!ConfirmClosingPages(QStringLiteral("切换企业"))) {
        Notice(QStringLiteral("未切换企业。"));
        RefreshCompanies();
        return false;
    }
    if (!CloseAllPages()) {
        Notice(QStringLiteral("有页面未关闭，未切换企业。"));
        RefreshCompanies();
        return false;
    }
    if (!ReopenAndPublish(companyId, operatorCode_))
        return false;
    if (filterOk_)
        Notice(QStringLiteral("已切换到企业 %1 %2")
                   .arg(Text(companyId), Text(DesktopSession::CompanyName(companyId))));
    return true;
}

bool Tfrm_MainFrame::ConfirmClosingPages(const QString& change)
{
    if (ui_->pgcPages->count() == 0)
        return true;
    const QString text =
        QStringLiteral("%1将关闭已打开的 %2 个页面，是否继续？").arg(change).arg(ui_->pgcPages->count());
    return fennix::Services().ConfirmMsgBoxA(text.toStdString());
}

bool Tfrm_MainFrame::ChangeOperator()
{
    if (!ConfirmClosingPages(QStringLiteral("更换操作员"))) {
        Notice(QStringLiteral("未更换操作员。"));
        return false;
    }
    // The pages stay until someone has signed in: a cancelled change of
    // operator leaves the work as it was.
    const std::optional<std::string> signedIn = session_.ChangeOperator(static_cast<QWidget*>(this));
    if (!signedIn) {
        Notice(QStringLiteral("未更换操作员。"));
        return false;
    }
    // The pages belong to the operator who has gone. One that keeps unsaved
    // work may refuse; it stays for him to save, the new operator takes over
    // the rest.
    const bool pagesClosed = CloseAllPages();
    const std::string companyId = DesktopSession::CompanyId();
    if (!ReopenAndPublish(companyId, *signedIn))
        return false;
    StampSignIn();
    if (!pagesClosed)
        Notice(QStringLiteral("操作员已更换为 %1；有页面未关闭，请保存后关闭。").arg(Text(*signedIn)));
    else if (filterOk_)
        Notice(QStringLiteral("操作员已更换为 %1").arg(Text(*signedIn)));
    return true;
}

void Tfrm_MainFrame::RebuildNavigation()
{
    std::vector<std::string> withdrawn = fennix::WithdrawnProducts();
    if (!filterOk_) {
        // The filter could not tell what the operator may use in this company:
        // nothing of it is offered until another company is chosen.
        withdrawn.clear();
        for (const priv::SubAppDescriptor* descriptor : fennix::AllDescriptors())
            withdrawn.push_back(descriptor->product);
    }
    FillFunctionTree(ui_->tvFunctions, fennix::AllDescriptors(), withdrawn,
                     fennix::Services().gsAppVerTypeCode());
}

void Tfrm_MainFrame::RefreshCompanies()
{
    const QSignalBlocker blocker(companies_);
    companies_->clear();
    const std::string current = DesktopSession::CompanyId();
    int currentIndex = -1;
    for (const Company& company : DesktopSession::CompaniesOfOperator()) {
        if (company.id == current)
            currentIndex = companies_->count();
        companies_->addItem(Text(company.id + "  " + company.name), Text(company.id));
        companies_->setItemData(companies_->count() - 1, Text(company.id + "  " + company.name),
                                Qt::ToolTipRole);
    }
    if (currentIndex < 0) {
        // The framework was opened on a company the operator may not use (or
        // on none): it is shown for what it is, and cannot be chosen again.
        const std::string name = DesktopSession::CompanyName(current);
        QString caption = QStringLiteral("（未选择企业）");
        if (!current.empty() && name.empty())
            caption = QStringLiteral("%1（未登记）").arg(Text(current));
        else if (!current.empty())
            caption = QStringLiteral("%1  %2（未授权）").arg(Text(current), Text(name));
        companies_->insertItem(0, caption, Text(current));
        currentIndex = 0;
    }
    companies_->setCurrentIndex(currentIndex);
}

void Tfrm_MainFrame::RefreshStatus()
{
    const OperatorView op = DesktopSession::CurrentOperatorView();
    const std::string companyId = DesktopSession::CompanyId();
    const std::string companyName = DesktopSession::CompanyName(companyId);
    statusOperator_->setText(QStringLiteral("操作员：%1 %2").arg(Text(op.code), Text(op.name)));
    statusPost_->setText(QStringLiteral("岗位：%1").arg(Text(op.postName)));
    statusCompany_->setText(companyId.empty()
                                ? QStringLiteral("企业：未选择")
                                : QStringLiteral("企业：%1 %2").arg(Text(companyId), Text(companyName)));
    statusLastLogin_->setText(
        QStringLiteral("上次登录：%1").arg(Text(lastLoginText_.empty() ? "——" : lastLoginText_)));
    topOperator_->setText(
        op.code.empty()
            ? QString()
            : QStringLiteral("%1（%2） · %3").arg(Text(op.name), Text(op.code), Text(op.postName)));
    ui_->lblWelcomeText->setText(
        QStringLiteral("<p>当前操作员：<b>%1</b>（%2），岗位：%3</p>"
                       "<p>当前企业：%4</p><p>上次登录：%5</p>"
                       "<p style='color:#5a6b7b'>在左侧“功能导航”中双击功能即可打开；%6"
                       "可在工具栏切换企业，或通过“更换操作员”让其他操作员登录。</p>")
            .arg(Text(op.name).toHtmlEscaped(), Text(op.code).toHtmlEscaped(),
                 Text(op.postName).toHtmlEscaped(),
                 (Text(companyId) + QLatin1Char(' ') + Text(companyName)).toHtmlEscaped(),
                 Text(lastLoginText_).toHtmlEscaped(),
                 // The super administrator's post may use everything: only
                 // the version greys anything for him.
                 op.post == "0" ? QStringLiteral("灰色的功能是本版本不提供的功能。")
                                : QStringLiteral("灰色的功能是本版本不提供、或当前岗位在本企业无权使用的功能"
                                                 "（鼠标停在功能上可看到原因）。")));
}

void Tfrm_MainFrame::Notice(const QString& text)
{
    statusBar()->showMessage(text);
}

void Tfrm_MainFrame::OnCompanyChosen(int index)
{
    const std::string companyId = companies_->itemData(index).toString().toStdString();
    SwitchCompany(companyId);
}

// --- The main-frame channel -------------------------------------------------------------

void Tfrm_MainFrame::HandleMessage(unsigned message, std::intptr_t /*wParam*/, std::intptr_t /*lParam*/)
{
    switch (message) {
    case kWmMainFrameHelp:
        ShowHelp();
        break;
    case kWmNcActivate:
        // A module page has the focus; the main window's caption stays active
        // by itself on this desktop, so there is nothing to draw.
        ++ncActivateCount_;
        break;
    default:
        break;
    }
}

void Tfrm_MainFrame::HandleCopyData(void* sender, std::uintptr_t kind, const std::vector<char>& bytes)
{
    // The text ends at its terminating zero (or at the end of the bytes).
    const std::size_t length = bytes.empty() ? 0 : strnlen(bytes.data(), bytes.size());
    const QString text = Text(priv::HostToUtf8(std::string(bytes.data(), length)));
    switch (kind) {
    case kCdPageOpened: {
        // "title|window handle|help page|last flag"
        const QStringList fields = text.split(QLatin1Char('|'));
        bool ok = false;
        const std::uintptr_t handle = fields.value(1).toULongLong(&ok);
        const int index = ok ? PageIndexOfWindow(handle) : -1;
        if (index >= 0 && !fields.value(0).isEmpty()) {
            ui_->pgcPages->setTabText(index, fields.value(0));
            ui_->pgcPages->setCurrentIndex(index);
        }
        break;
    }
    case kCdPageClosed: {
        const int index = PageIndexOfClosedWindow(sender, text);
        if (index >= 0)
            RemovePage(ui_->pgcPages->widget(index));
        break;
    }
    case kCdPageSize:
        if (text == QLatin1String("max"))
            SetPageAreaMaximised(true);
        else if (text == QLatin1String("reset"))
            SetPageAreaMaximised(false);
        break;
    default:
        break;
    }
}

void Tfrm_MainFrame::SetPageAreaMaximised(bool maximised)
{
    maximised_ = maximised;
    ui_->pnlNavigation->setVisible(!maximised);
    ui_->tbrMain->setVisible(!maximised);
    topBar_->setVisible(!maximised);
}

void Tfrm_MainFrame::ShowHelp()
{
    std::string code = PageFunctionCode(ui_->pgcPages->currentIndex()).toStdString();
    std::string name;
    if (code.empty())
        code = fennix::Services().GetCurFuncCode();
    if (QTreeWidgetItem* item = code.empty() ? nullptr : FindFunctionItem(ui_->tvFunctions, code))
        name = item->data(0, kFunctionNameRole).toString().toStdString();
    const std::string about = code.empty() ? std::string("当前没有打开的功能。")
                                           : "当前功能：" + (name.empty() ? code : name + "（" + code + "）");
    fennix::Services().InfoMsgBox("帮助\r\n" + about + "\r\n本演示宿主未附带帮助文档。");
}

void Tfrm_MainFrame::closeEvent(QCloseEvent* event)
{
    if (!CloseAllPages()) {
        Notice(QStringLiteral("有页面未关闭，程序未退出。"));
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

} // namespace privhost