#include "main_frame.h"

#include "function_tree.h"

#include "boundary/codepage.h"
#include "boundary/host.h"
#include "boundary/param_string.h"
#include "ui/accessibility.h"

#include <fennix/fennix.h>
#include <fennix/host_message_event.h>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFont>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLibraryInfo>
#include <QLocale>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPointer>
#include <QSplitter>
#include <QStackedWidget>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOption>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QTranslator>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cstring>

namespace privhost {
namespace {

constexpr const char* kFunctionCodeProperty = "privFunctionCode";
constexpr const char* kSubAppCodeProperty = "privSubAppCode";
constexpr const char* kFunctionNameProperty = "privFunctionName";

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

// A one-line label that, when it is narrower than its text, ends the text
// with "…" instead of cutting a character in half; the whole text is then
// its tool tip. text() stays the whole text.
class TElidedLabel : public QLabel {
public:
    using QLabel::QLabel;
    QSize minimumSizeHint() const override
    {
        return QSize(fontMetrics().horizontalAdvance(QStringLiteral("…")) * 4,
                     QLabel::minimumSizeHint().height());
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        const QRect area = contentsRect();
        const QString shown = fontMetrics().elidedText(text(), Qt::ElideRight, area.width());
        if (toolTip() != (shown == text() ? QString() : text()))
            setToolTip(shown == text() ? QString() : text());
        style()->drawItemText(&painter, area, Qt::AlignLeft | Qt::AlignVCenter, palette(), isEnabled(), shown,
                              foregroundRole());
    }
};

// The status bar's notice ends with "…" where the signed-in context leaves
// it too little room, instead of being cut off mid-character.
class TStatusBar : public QStatusBar {
public:
    using QStatusBar::QStatusBar;

protected:
    void paintEvent(QPaintEvent* event) override
    {
        const QString message = currentMessage();
        if (message.isEmpty()) {
            QStatusBar::paintEvent(event);
            return;
        }
        QPainter painter(this);
        QStyleOption option;
        option.initFrom(this);
        style()->drawPrimitive(QStyle::PE_PanelStatusBar, &option, &painter, this);
        int right = width();
        for (const QLabel* label : findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly))
            if (label->isVisible())
                right = std::min(right, label->x());
        const QRect area(6, 0, std::max(0, right - 12), height());
        painter.setPen(palette().windowText().color());
        painter.drawText(area, Qt::AlignLeading | Qt::AlignVCenter | Qt::TextSingleLine,
                         fontMetrics().elidedText(message, Qt::ElideRight, area.width()));
    }
};

// A page window that closed itself is hidden on purpose; one whose first show
// is still queued is hidden too, but not closed.
bool WindowClosed(const QWidget* window)
{
    return !window || (window->isHidden() && window->testAttribute(Qt::WA_WState_ExplicitShowHide));
}

// The host's skin colours are 0x00BBGGRR.
QColor SkinColor(priv::HostColor color)
{
    return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                  static_cast<int>((color >> 16) & 0xFF));
}

// The host's own stand-in for a function of another sub-application: the
// page shows what was opened. Like a module page it closes itself when the
// host sends WM_MODULE_CLOSE.
class TfrmSamplePage : public QWidget {
public:
    TfrmSamplePage(const QString& name, const QString& functionCode, const QString& subAppName,
                   QWidget* parent)
        : QWidget(parent)
    {
        setObjectName(QStringLiteral("frmSamplePage"));
        setAttribute(Qt::WA_DeleteOnClose);
        QPalette background = palette();
        background.setColor(QPalette::Window, Qt::white);
        setPalette(background);
        setAutoFillBackground(true);
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(32, 28, 32, 28);
        layout->setSpacing(10);
        auto* title = new QLabel(QStringLiteral("示例功能：%1").arg(name), this);
        title->setObjectName(QStringLiteral("lblSampleTitle"));
        QFont titleFont = title->font();
        titleFont.setPixelSize(20);
        titleFont.setBold(true);
        title->setFont(titleFont);
        auto* line = new QFrame(this);
        line->setFrameShape(QFrame::HLine);
        line->setFrameShadow(QFrame::Sunken);
        auto* details = new QLabel(
            QStringLiteral(
                "所属子系统：%1\n功能代码：%2\n\n此功能由相应的业务子系统提供；本宿主只演示页面的打开、"
                "切换与关闭。\n按页签上的关闭按钮关闭本页面。")
                .arg(subAppName, functionCode),
            this);
        details->setObjectName(QStringLiteral("lblSampleDetails"));
        details->setWordWrap(true);
        layout->addWidget(title);
        layout->addWidget(line);
        layout->addWidget(details);
        layout->addStretch(1);
    }

protected:
    bool event(QEvent* event) override
    {
        if (event->type() == fennix::HostMessageEvent::TypeFor(kWmModuleClose)) {
            close();
            return true;
        }
        return QWidget::event(event);
    }
};

} // namespace

void InstallDesktopFonts()
{
    const QString chinese = QStringLiteral("WenQuanYi Micro Hei");
    QFont::insertSubstitution(QStringLiteral("宋体"), chinese);
    QFont::insertSubstitution(QStringLiteral("黑体"), chinese);
    QFont font(chinese);
    font.setPixelSize(13);
    QApplication::setFont(font);
}

QString AboutText()
{
    return QStringLiteral("税务申报管理平台 — 权限模块宿主\n版本 %1（Qt %2）\n\n加载权限模块 libprivilege，"
                          "演示操作员登录、权限过滤与模块页面的嵌入。")
        .arg(QStringLiteral(PRIVHOST_VERSION), QString::fromLatin1(qVersion()));
}

bool InstallChineseTranslations()
{
    static QTranslator* installed = nullptr;
    if (installed)
        return true;
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"),
                          QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    installed = translator;
    return true;
}

Tfrm_MainFrame::Tfrm_MainFrame(ModuleLoader& module, QWidget* parent) : QMainWindow(parent), session_(module)
{
    setObjectName(QString::fromLatin1(kMainFrameClass));
    setWindowTitle(QStringLiteral("税务申报管理平台 — 权限模块宿主"));
    resize(1180, 760);
    priv::InstallAccessibility();
    BuildWindow();
    // Small enough for a thin client's screen, large enough that the tool
    // bar keeps the company switch in view and the navigation stays usable.
    setMinimumSize(kMinimumWidth, kMinimumHeight);
    ApplyLook();
    InstallHostChannel();
    priv::PublishAccessibility(this);
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

// --- Building the window ---------------------------------------------------------

void Tfrm_MainFrame::BuildWindow()
{
    // Title band and menu above the tool bar.
    auto* header = new QWidget(this);
    header->setObjectName(QStringLiteral("pnlHeader"));
    auto* headerLayout = new QVBoxLayout(header);
    headerLayout->setContentsMargins(0, 0, 0, 0);
    headerLayout->setSpacing(0);
    topBar_ = new QWidget(header);
    auto* menus = new QMenuBar(header);
    menus->setObjectName(QStringLiteral("mnuMain"));
    headerLayout->addWidget(topBar_);
    headerLayout->addWidget(menus);
    setMenuWidget(header);

    QMenu* systemMenu = menus->addMenu(QStringLiteral("系统(&S)"));
    QAction* changeOperator =
        systemMenu->addAction(style()->standardIcon(QStyle::SP_BrowserReload), QStringLiteral("更换操作员"));
    changeOperator->setObjectName(QStringLiteral("actChangeOperator"));
    QAction* closeAll = systemMenu->addAction(style()->standardIcon(QStyle::SP_DialogCloseButton),
                                              QStringLiteral("关闭全部页面"));
    closeAll->setObjectName(QStringLiteral("actCloseAllPages"));
    QAction* applySkin = systemMenu->addAction(QStringLiteral("重新应用界面风格"));
    applySkin->setObjectName(QStringLiteral("actApplySkin"));
    systemMenu->addSeparator();
    QAction* quit = systemMenu->addAction(QStringLiteral("退出(&X)"));
    quit->setObjectName(QStringLiteral("actQuit"));
    QMenu* helpMenu = menus->addMenu(QStringLiteral("帮助(&H)"));
    QAction* help =
        helpMenu->addAction(style()->standardIcon(QStyle::SP_MessageBoxQuestion), QStringLiteral("帮助"));
    help->setObjectName(QStringLiteral("actHelp"));
    help->setShortcut(QKeySequence(Qt::Key_F1));
    QAction* about = helpMenu->addAction(QStringLiteral("关于"));

    connect(changeOperator, &QAction::triggered, this, [this] { ChangeOperator(); });
    connect(closeAll, &QAction::triggered, this, [this] { CloseAllPages(); });
    connect(applySkin, &QAction::triggered, this, [this] { ApplySkinToPages(); });
    connect(quit, &QAction::triggered, this, &QWidget::close);
    connect(help, &QAction::triggered, this, [this] { ShowHelp(); });
    about->setObjectName(QStringLiteral("actAbout"));
    connect(about, &QAction::triggered, this,
            [this] { QMessageBox::about(this, QStringLiteral("关于"), AboutText()); });

    // Tool bar: the operator's actions and the company.
    toolBar_ = addToolBar(QStringLiteral("常用"));
    toolBar_->setObjectName(QStringLiteral("tbrMain"));
    toolBar_->setMovable(false);
    toolBar_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    toolBar_->setIconSize(QSize(18, 18));
    toolBar_->addAction(changeOperator);
    toolBar_->addAction(closeAll);
    toolBar_->addSeparator();
    auto* companyLabel = new QLabel(QStringLiteral("当前企业(&C)："), toolBar_);
    companyLabel->setObjectName(QStringLiteral("lblCompany"));
    companyLabel->setContentsMargins(8, 0, 2, 0);
    toolBar_->addWidget(companyLabel);
    companies_ = new QComboBox(toolBar_);
    companies_->setObjectName(QStringLiteral("cbxCompany"));
    // The label names the company switch for screen readers; Alt+C reaches it.
    companyLabel->setBuddy(companies_);
    companies_->setMinimumWidth(300);
    toolBar_->addWidget(companies_);
    connect(companies_, &QComboBox::activated, this, &Tfrm_MainFrame::OnCompanyChosen);
    auto* spacer = new QWidget(toolBar_);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    toolBar_->addWidget(spacer);
    toolBar_->addAction(help);

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
    topLayout->addWidget(topSubtitle, 0, Qt::AlignBottom);
    topLayout->addStretch(1);
    topLayout->addWidget(topOperator_);
    topLayout->setAlignment(topSubtitle, Qt::AlignVCenter);

    splitter_ = new QSplitter(Qt::Horizontal, this);
    splitter_->setObjectName(QStringLiteral("splMain"));
    splitter_->setChildrenCollapsible(false);

    navigation_ = new QWidget(splitter_);
    navigation_->setObjectName(QStringLiteral("pnlNavigation"));
    auto* navigationLayout = new QVBoxLayout(navigation_);
    navigationLayout->setContentsMargins(0, 0, 0, 0);
    navigationLayout->setSpacing(0);
    auto* navigationCaption = new QLabel(QStringLiteral("功能导航"), navigation_);
    navigationCaption->setObjectName(QStringLiteral("lblNavigation"));
    navigationCaption->setFixedHeight(30);
    navigationLayout->addWidget(navigationCaption);
    tree_ = new QTreeWidget(navigation_);
    tree_->setObjectName(QStringLiteral("tvFunctions"));
    tree_->setAccessibleName(navigationCaption->text());
    tree_->setHeaderHidden(true);
    tree_->setColumnCount(1);
    tree_->setIndentation(18);
    tree_->setItemDelegate(new FunctionTreeDelegate(tree_));
    tree_->setFrameShape(QFrame::NoFrame);
    navigationLayout->addWidget(tree_, 1);
    connect(tree_, &QTreeWidget::itemActivated, this,
            [this](QTreeWidgetItem* item, int) { OnItemActivated(item); });

    stack_ = new QStackedWidget(splitter_);
    stack_->setObjectName(QStringLiteral("stkPages"));
    welcome_ = new QWidget(stack_);
    welcome_->setObjectName(QStringLiteral("pnlWelcome"));
    auto* welcomeLayout = new QVBoxLayout(welcome_);
    welcomeLayout->setContentsMargins(48, 40, 48, 40);
    auto* welcomeTitle = new QLabel(QStringLiteral("欢迎使用税务申报管理平台"), welcome_);
    welcomeTitle->setObjectName(QStringLiteral("lblWelcomeTitle"));
    welcomeText_ = new QLabel(welcome_);
    welcomeText_->setObjectName(QStringLiteral("lblWelcomeText"));
    welcomeText_->setWordWrap(true);
    welcomeText_->setTextFormat(Qt::RichText);
    welcomeLayout->addWidget(welcomeTitle);
    welcomeLayout->addSpacing(14);
    welcomeLayout->addWidget(welcomeText_);
    welcomeLayout->addStretch(1);
    stack_->addWidget(welcome_);

    pages_ = new QTabWidget(stack_);
    pages_->setObjectName(QStringLiteral("pgcPages"));
    pages_->setTabsClosable(true);
    pages_->setMovable(true);
    pages_->setDocumentMode(true);
    connect(pages_, &QTabWidget::tabCloseRequested, this, [this](int index) { ClosePage(index); });
    stack_->addWidget(pages_);
    splitter_->addWidget(navigation_);
    splitter_->addWidget(stack_);
    splitter_->setStretchFactor(0, 0);
    splitter_->setStretchFactor(1, 1);
    splitter_->setSizes({260, 920});
    setCentralWidget(splitter_);

    // Status bar: notices on the left, the signed-in context on the right.
    statusOperator_ = new TElidedLabel(this);
    statusOperator_->setObjectName(QStringLiteral("lblStatusOperator"));
    statusPost_ = new TElidedLabel(this);
    statusPost_->setObjectName(QStringLiteral("lblStatusPost"));
    statusCompany_ = new TElidedLabel(this);
    statusCompany_->setObjectName(QStringLiteral("lblStatusCompany"));
    statusLastLogin_ = new TElidedLabel(this);
    statusLastLogin_->setObjectName(QStringLiteral("lblStatusLastLogin"));
    setStatusBar(new TStatusBar(this));
    statusBar()->setObjectName(QStringLiteral("stbMain"));
    for (QLabel* label : {statusOperator_, statusPost_, statusCompany_, statusLastLogin_}) {
        label->setContentsMargins(8, 0, 8, 0);
        statusBar()->addPermanentWidget(label);
    }
    ShowWelcomeWhenEmpty();
}

void Tfrm_MainFrame::ApplyLook()
{
    priv::Host& host = fennix::Services();
    const QString frame = SkinColor(host.gclFrameBackColor()).name();
    const QString toolBar = SkinColor(host.gclModuleToolBarColor()).name();
    const QString topBar = SkinColor(host.gclTopBarColor()).name();
    const QString topBarLight = SkinColor(host.gclTopBarColor()).lighter(125).name();
    const QString moduleBack = SkinColor(host.gclModuleBackColor()).name();
    const QString fontColor = SkinColor(host.gclSysFontColor()).name();
    // Every rule names its control: the module's pages inside the page area
    // keep their own look.
    setStyleSheet(QStringLiteral(R"(
        QMainWindow#Tfrm_MainFrame { background: %1; }
        QMenuBar#mnuMain { background: %2; }
        QToolBar#tbrMain { background: %2; border: none; border-bottom: 1px solid #b9cde3; spacing: 4px; padding: 3px; }
        QWidget#pnlTopBar { background: qlineargradient(x1:0, y1:0, x2:1, y2:0, stop:0 %3, stop:1 %4); }
        QLabel#lblTopTitle { color: white; font-size: 20px; font-weight: bold; }
        QLabel#lblTopSubtitle { color: #dce9f7; font-size: 13px; }
        QLabel#lblTopOperator { color: white; font-size: 13px; }
        QWidget#pnlNavigation { background: %5; border-right: 1px solid #c4d6ea; }
        QLabel#lblNavigation { background: %2; color: %6; font-weight: bold; padding-left: 12px;
                               border-bottom: 1px solid #c4d6ea; }
        QTreeWidget#tvFunctions { background: %5; color: %6; padding-top: 4px; }
        QTreeWidget#tvFunctions::item:hover { background: #e2ecf8; }
        QTreeWidget#tvFunctions::item:selected { background: #cfe0f3; color: %6; }
        QTreeWidget#tvFunctions::item:disabled { color: #a3adb8; }
        QWidget#pnlWelcome { background: white; }
        QLabel#lblWelcomeTitle { color: %3; font-size: 24px; font-weight: bold; }
        QLabel#lblWelcomeText { color: %6; font-size: 14px; }
        QTabWidget#pgcPages > QTabBar::tab { background: %2; color: %6; padding: 6px 14px; margin-right: 2px;
                                             border: 1px solid #c4d6ea; border-bottom: none; }
        QTabWidget#pgcPages > QTabBar::tab:selected { background: white; font-weight: bold; }
        QStatusBar#stbMain { background: %2; color: %6; border-top: 1px solid #b9cde3; }
        QStatusBar#stbMain QLabel { color: %6; border-left: 1px solid #b9cde3; }
    )")
                      .arg(frame, toolBar, topBar, topBarLight, moduleBack, fontColor));
}

void Tfrm_MainFrame::InstallHostChannel()
{
    void* self = static_cast<QWidget*>(this);
    fennix::SetAppHandle(self);
    fennix::SetMainFrame(self);
    fennix::RegisterWindowClass(kMainFrameClass, self);
    fennix::SetMainFrameParentForm(static_cast<QWidget*>(pages_));
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
    if (pages_->count() == 0)
        return true;
    const QString text =
        QStringLiteral("%1将关闭已打开的 %2 个页面，是否继续？").arg(change).arg(pages_->count());
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
    FillFunctionTree(tree_, fennix::AllDescriptors(), withdrawn, fennix::Services().gsAppVerTypeCode());
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
    welcomeText_->setText(
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

// --- Pages ---------------------------------------------------------------------------

void Tfrm_MainFrame::OnItemActivated(QTreeWidgetItem* item)
{
    if (item && item->data(0, kItemKindRole).toInt() == static_cast<int>(ItemKind::Function))
        OpenFunction(item->data(0, kFunctionCodeRole).toString().toStdString());
}

bool Tfrm_MainFrame::OpenFunction(const std::string& functionCode)
{
    QTreeWidgetItem* item = FindFunctionItem(tree_, functionCode);
    if (!item) {
        Notice(QStringLiteral("没有此功能：%1").arg(Text(functionCode)));
        return false;
    }
    const std::string name = item->data(0, kFunctionNameRole).toString().toStdString();
    const std::string subAppCode = item->data(0, kSubAppCodeRole).toString().toStdString();
    if (!(item->flags() & Qt::ItemIsEnabled)) {
        Notice(GreyedReasonText(static_cast<GreyedReason>(item->data(0, kGreyedReasonRole).toInt()),
                                Text(name)));
        return false;
    }
    std::string params = priv::SetParamValue("", PRIV_KEY_MODAL_FORM_MESSAGE, name);
    const char* exportName = nullptr;
    if (functionCode == kOperatorManagementFunction) {
        exportName = "ShowOperatorMgrProc";
    } else if (functionCode == kPasswordChangeFunction) {
        exportName = "ShowOperatorModifyPwdProc";
    } else if (functionCode == kPrivilegeAssignFunction) {
        exportName = "ShowPrivilegeAssignInnerProc";
        params = priv::SetParamValue(params, PRIV_KEY_POST_CODE, DesktopSession::CurrentOperatorView().post);
    }
    if (!exportName)
        return OpenSamplePage(functionCode, subAppCode, name);
    ParamBuffer buffer(params);
    return CallWindowExport(exportName, functionCode, subAppCode, name, buffer.Argv());
}

QWidget* Tfrm_MainFrame::AddPageContainer(const std::string& functionCode, const std::string& subAppCode,
                                          const std::string& name)
{
    auto* container = new QWidget;
    container->setObjectName(QStringLiteral("pnlPage"));
    container->setProperty(kFunctionCodeProperty, Text(functionCode));
    container->setProperty(kSubAppCodeProperty, Text(subAppCode));
    container->setProperty(kFunctionNameProperty, Text(name));
    auto* layout = new QVBoxLayout(container);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    container->installEventFilter(this);
    const int index = pages_->addTab(container, Text(name));
    pages_->setTabToolTip(index, Text(functionCode));
    pages_->setCurrentIndex(index);
    ShowWelcomeWhenEmpty();
    return container;
}

bool Tfrm_MainFrame::CallWindowExport(const char* exportName, const std::string& functionCode,
                                      const std::string& subAppCode, const std::string& name, char** argv)
{
    QWidget* container = AddPageContainer(functionCode, subAppCode, name);
    fennix::SetCurrentFunction(functionCode);
    fennix::SetCurrentSubApp(subAppCode);
    fennix::SetCurrentParentForm(container);
    const QPointer<QWidget> guard(container);
    session_.Module().CallWindowExport(exportName, static_cast<QWidget*>(this), container, argv);
    return guard && KeepPageIfOpened(container, name);
}

bool Tfrm_MainFrame::KeepPageIfOpened(QWidget* container, const std::string& name)
{
    if (container->findChild<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        return true;
    // The module put nothing into the page: the window could not be opened
    // (its preparation failed, or the module lacks it).
    RemovePage(container);
    Notice(QStringLiteral("功能窗口未能打开：%1").arg(Text(name)));
    return false;
}

bool Tfrm_MainFrame::OpenSamplePage(const std::string& functionCode, const std::string& subAppCode,
                                    const std::string& name)
{
    QWidget* container = AddPageContainer(functionCode, subAppCode, name);
    fennix::SetCurrentFunction(functionCode);
    fennix::SetCurrentSubApp(subAppCode);
    fennix::SetCurrentParentForm(container);
    std::string subAppName = subAppCode;
    if (const priv::SubAppDescriptor* descriptor = fennix::Services().GetpSubAppInfo(subAppCode))
        subAppName = descriptor->name;
    else if (const priv::SubAppDescriptor* mainFrame = fennix::Services().GetMainFrameInfo();
             mainFrame && mainFrame->code == subAppCode)
        subAppName = mainFrame->name;
    auto* page = new TfrmSamplePage(Text(name), Text(functionCode), Text(subAppName), container);
    container->layout()->addWidget(page);
    page->show();
    return true;
}

bool Tfrm_MainFrame::OpenPrivilegeAssignmentFor(char** buffer)
{
    const char* name = "权限分配";
    std::string subAppCode;
    if (QTreeWidgetItem* item = FindFunctionItem(tree_, kPrivilegeAssignFunction)) {
        subAppCode = item->data(0, kSubAppCodeRole).toString().toStdString();
        if (!(item->flags() & Qt::ItemIsEnabled)) {
            Notice(GreyedReasonText(static_cast<GreyedReason>(item->data(0, kGreyedReasonRole).toInt()),
                                    QStringLiteral("权限分配")));
            return false;
        }
    }
    if (!buffer || !buffer[0])
        return false;
    // The module's buffer goes on as it came: it names the post to show.
    return CallWindowExport("ShowPrivilegeAssignInnerProc", kPrivilegeAssignFunction, subAppCode, name,
                            buffer);
}

QWidget* Tfrm_MainFrame::PageWindow(int index) const
{
    QWidget* container = pages_->widget(index);
    return container ? container->findChild<QWidget*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
}

QString Tfrm_MainFrame::PageFunctionCode(int index) const
{
    QWidget* container = pages_->widget(index);
    return container ? container->property(kFunctionCodeProperty).toString() : QString();
}

bool Tfrm_MainFrame::ClosePage(int index)
{
    const QPointer<QWidget> container = pages_->widget(index);
    if (!container)
        return false;
    const QPointer<QWidget> page = PageWindow(index);
    if (page) {
        // The page closes itself; a page that keeps unsaved work may refuse.
        fennix::Services().SendWindowMessage(static_cast<QWidget*>(page), kWmModuleClose, 0, 0);
        if (!WindowClosed(page))
            return false;
    }
    if (container)
        RemovePage(container);
    return true;
}

bool Tfrm_MainFrame::CloseAllPages()
{
    for (int index = pages_->count() - 1; index >= 0; --index)
        if (!ClosePage(index))
            return false;
    return true;
}

void Tfrm_MainFrame::ApplySkinToPages()
{
    for (int index = 0; index < pages_->count(); ++index)
        if (QWidget* page = PageWindow(index))
            fennix::Services().SendWindowMessage(page, kWmModuleSkin, 0, 0);
}

void Tfrm_MainFrame::RemovePage(QWidget* container)
{
    const int index = pages_->indexOf(container);
    if (index < 0)
        return;
    pages_->removeTab(index);
    container->removeEventFilter(this);
    // The framework hands out no parent form that is about to go.
    if (fennix::Services().GetCurParentForm() == static_cast<void*>(container))
        fennix::SetCurrentParentForm(nullptr);
    // Later: the page that announced its end may still be inside its own
    // destructor.
    container->deleteLater();
    ShowWelcomeWhenEmpty();
}

void Tfrm_MainFrame::ShowWelcomeWhenEmpty()
{
    stack_->setCurrentWidget(pages_->count() ? pages_ : welcome_);
}

bool Tfrm_MainFrame::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::ChildRemoved) {
        // A page window that went away without a word leaves an empty page
        // behind; it is removed once the removal has settled.
        const QPointer<QWidget> container = qobject_cast<QWidget*>(watched);
        QTimer::singleShot(0, this, [this, container] {
            if (container && !container->findChild<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
                RemovePage(container);
        });
    }
    return QMainWindow::eventFilter(watched, event);
}

int Tfrm_MainFrame::PageIndexOfWindow(std::uintptr_t handle) const
{
    if (handle == 0)
        return -1;
    for (int index = 0; index < pages_->count(); ++index)
        for (const QObject* child : pages_->widget(index)->children())
            if (const auto* window = qobject_cast<const QWidget*>(child);
                window && reinterpret_cast<std::uintptr_t>(window) == handle)
                return index;
    return -1;
}

int Tfrm_MainFrame::PageIndexOfClosedWindow(void* sender, const QString& functionCode) const
{
    if (const int bySender = PageIndexOfWindow(reinterpret_cast<std::uintptr_t>(sender)); bySender >= 0)
        return bySender;
    // The module names the closing page by its function; with two pages of one
    // function the one whose window is already closed is meant.
    int first = -1;
    for (int index = 0; index < pages_->count(); ++index) {
        if (PageFunctionCode(index) != functionCode)
            continue;
        if (WindowClosed(PageWindow(index)))
            return index;
        if (first < 0)
            first = index;
    }
    return first;
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
            pages_->setTabText(index, fields.value(0));
            pages_->setCurrentIndex(index);
        }
        break;
    }
    case kCdPageClosed: {
        const int index = PageIndexOfClosedWindow(sender, text);
        if (index >= 0)
            RemovePage(pages_->widget(index));
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
    navigation_->setVisible(!maximised);
    toolBar_->setVisible(!maximised);
    topBar_->setVisible(!maximised);
}

void Tfrm_MainFrame::ShowHelp()
{
    std::string code = PageFunctionCode(pages_->currentIndex()).toStdString();
    std::string name;
    if (code.empty())
        code = fennix::Services().GetCurFuncCode();
    if (QTreeWidgetItem* item = code.empty() ? nullptr : FindFunctionItem(tree_, code))
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
