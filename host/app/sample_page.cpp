#include "sample_page.h"

#include "main_window.h"

#include <fennix/host_message_event.h>

#include <QFont>
#include <QFrame>
#include <QLabel>
#include <QVBoxLayout>

namespace privhost {

TfrmSamplePage::TfrmSamplePage(const QString& name, const QString& functionCode, const QString& subAppName,
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

bool TfrmSamplePage::event(QEvent* event)
{
    if (event->type() == fennix::HostMessageEvent::TypeFor(kWmModuleClose)) {
        close();
        return true;
    }
    return QWidget::event(event);
}

} // namespace privhost
