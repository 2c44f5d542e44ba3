// Tfrm_MainFrame's own page "操作日志": who signed in and who changed what.
// Whoever may administer operators may read what administrators did; the
// page opens once and is brought to the front when asked for again.
#include "main_window.h"

#include "function_tree.h"
#include "operation_log_page.h"
#include "ui_main_window.h"

#include <fennix/fennix.h>

#include <QLayout>
#include <QTabWidget>
#include <QTreeWidget>

namespace privhost {

bool Tfrm_MainFrame::OpenOperationLog()
{
    const QString name = QStringLiteral("操作日志");
    QTreeWidgetItem* management = FindFunctionItem(ui_->tvFunctions, kOperatorManagementFunction);
    if (!management || !(management->flags() & Qt::ItemIsEnabled)) {
        Notice(QStringLiteral("只有可以使用“用户管理”的操作员才能查看操作日志。"));
        return false;
    }
    for (int index = 0; index < ui_->pgcPages->count(); ++index)
        if (PageFunctionCode(index) == QLatin1String(kOperationLogFunction) &&
            qobject_cast<TfrmOperationLog*>(PageWindow(index))) {
            ui_->pgcPages->setCurrentIndex(index);
            return true;
        }
    const std::string subAppCode = management->data(0, kSubAppCodeRole).toString().toStdString();
    QWidget* container = AddPageContainer(kOperationLogFunction, subAppCode, name.toStdString());
    fennix::SetCurrentFunction(kOperationLogFunction);
    fennix::SetCurrentSubApp(subAppCode);
    fennix::SetCurrentParentForm(container);
    auto* page = new TfrmOperationLog(container);
    container->layout()->addWidget(page);
    page->show();
    return true;
}

} // namespace privhost
