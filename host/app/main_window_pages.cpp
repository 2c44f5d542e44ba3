// Tfrm_MainFrame's page area: opening functions in pages (the module's
// window exports and the host's sample pages), closing them, and finding the
// page that a module window speaks of.
#include "main_window.h"

#include "function_tree.h"
#include "sample_page.h"
#include "ui_main_window.h"

#include "boundary/host.h"
#include "boundary/param_string.h"

#include <fennix/fennix.h>

#include <QPointer>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace privhost {
namespace {

constexpr const char* kFunctionCodeProperty = "privFunctionCode";
constexpr const char* kSubAppCodeProperty = "privSubAppCode";
constexpr const char* kFunctionNameProperty = "privFunctionName";

// A page window that closed itself is hidden on purpose; one whose first show
// is still queued is hidden too, but not closed.
bool WindowClosed(const QWidget* window)
{
    return !window || (window->isHidden() && window->testAttribute(Qt::WA_WState_ExplicitShowHide));
}

} // namespace

// --- Pages ---------------------------------------------------------------------------

void Tfrm_MainFrame::OnItemActivated(QTreeWidgetItem* item)
{
    if (item && item->data(0, kItemKindRole).toInt() == static_cast<int>(ItemKind::Function))
        OpenFunction(item->data(0, kFunctionCodeRole).toString().toStdString());
}

bool Tfrm_MainFrame::OpenFunction(const std::string& functionCode)
{
    QTreeWidgetItem* item = FindFunctionItem(ui_->tvFunctions, functionCode);
    if (!item) {
        Notice(QStringLiteral("没有此功能：%1").arg(QString::fromStdString(functionCode)));
        return false;
    }
    const std::string name = item->data(0, kFunctionNameRole).toString().toStdString();
    const std::string subAppCode = item->data(0, kSubAppCodeRole).toString().toStdString();
    if (!(item->flags() & Qt::ItemIsEnabled)) {
        Notice(GreyedReasonText(static_cast<GreyedReason>(item->data(0, kGreyedReasonRole).toInt()),
                                QString::fromStdString(name)));
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
    container->setProperty(kFunctionCodeProperty, QString::fromStdString(functionCode));
    container->setProperty(kSubAppCodeProperty, QString::fromStdString(subAppCode));
    container->setProperty(kFunctionNameProperty, QString::fromStdString(name));
    auto* layout = new QVBoxLayout(container);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    container->installEventFilter(this);
    const int index = ui_->pgcPages->addTab(container, QString::fromStdString(name));
    ui_->pgcPages->setTabToolTip(index, QString::fromStdString(functionCode));
    ui_->pgcPages->setCurrentIndex(index);
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
    Notice(QStringLiteral("功能窗口未能打开：%1").arg(QString::fromStdString(name)));
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
    auto* page = new TfrmSamplePage(QString::fromStdString(name), QString::fromStdString(functionCode),
                                    QString::fromStdString(subAppName), container);
    container->layout()->addWidget(page);
    page->show();
    return true;
}

bool Tfrm_MainFrame::OpenPrivilegeAssignmentFor(char** buffer)
{
    const char* name = "权限分配";
    std::string subAppCode;
    if (QTreeWidgetItem* item = FindFunctionItem(ui_->tvFunctions, kPrivilegeAssignFunction)) {
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
    QWidget* container = ui_->pgcPages->widget(index);
    return container ? container->findChild<QWidget*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
}

QString Tfrm_MainFrame::PageFunctionCode(int index) const
{
    QWidget* container = ui_->pgcPages->widget(index);
    return container ? container->property(kFunctionCodeProperty).toString() : QString();
}

bool Tfrm_MainFrame::ClosePage(int index)
{
    const QPointer<QWidget> container = ui_->pgcPages->widget(index);
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
    for (int index = ui_->pgcPages->count() - 1; index >= 0; --index)
        if (!ClosePage(index))
            return false;
    return true;
}

void Tfrm_MainFrame::ApplySkinToPages()
{
    for (int index = 0; index < ui_->pgcPages->count(); ++index)
        if (QWidget* page = PageWindow(index))
            fennix::Services().SendWindowMessage(page, kWmModuleSkin, 0, 0);
}

void Tfrm_MainFrame::RemovePage(QWidget* container)
{
    const int index = ui_->pgcPages->indexOf(container);
    if (index < 0)
        return;
    ui_->pgcPages->removeTab(index);
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
    ui_->stkPages->setCurrentWidget(ui_->pgcPages->count() ? ui_->pgcPages : ui_->pnlWelcome);
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
    for (int index = 0; index < ui_->pgcPages->count(); ++index)
        for (const QObject* child : ui_->pgcPages->widget(index)->children())
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
    for (int index = 0; index < ui_->pgcPages->count(); ++index) {
        if (PageFunctionCode(index) != functionCode)
            continue;
        if (WindowClosed(PageWindow(index)))
            return index;
        if (first < 0)
            first = index;
    }
    return first;
}

} // namespace privhost
