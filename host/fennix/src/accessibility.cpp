#include "accessibility.h"

#include "accessible_views.h"
#include "quillet/quillet.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPointer>
#include <QTreeView>
#include <QVersionNumber>

#include <string>

namespace fennix::detail {
namespace {

QString StripMnemonic(QString text)
{
    // "关闭(&X)" reads "关闭(X)"; a doubled "&&" is a plain ampersand.
    for (int i = 0; i < text.size(); ++i)
        if (text.at(i) == QLatin1Char('&'))
            text.remove(i, 1);
    return text;
}

QAccessibleInterface* AccessibleFactory(const QString& className, QObject* object)
{
    if (!object || !object->isWidgetType())
        return nullptr;
    if (className == QLatin1String("QTreeView")) {
        if (auto* tree = qobject_cast<QTreeView*>(object))
            return NewAccessibleItemView(tree, QAccessible::Tree);
    } else if (className == QLatin1String("QListView")) {
        if (auto* list = qobject_cast<QListView*>(object))
            return NewAccessibleItemView(list, QAccessible::List);
    } else if (className == QLatin1String("QComboBox")) {
        if (auto* combo = qobject_cast<QComboBox*>(object))
            return NewAccessibleComboBox(combo);
    }
    return nullptr;
}

// The label that names `control` (a label whose buddy it is), mnemonic
// removed; empty when none does.
QString LabelText(const QWidget* control)
{
    const QWidget* window = control->window();
    for (const QLabel* label : window->findChildren<QLabel*>())
        if (label->buddy() == control)
            return StripMnemonic(label->text());
    return {};
}

void PublishControl(QWidget* control)
{
    const QString name = control->objectName();
    // Qt's own inner parts (qt_scrollarea_viewport ...) are no controls of
    // the forms.
    if (!name.isEmpty() && !name.startsWith(QLatin1String("qt_")) &&
        control->accessibleDescription().isEmpty())
        control->setAccessibleDescription(name);
    if (auto* button = qobject_cast<QAbstractButton*>(control); button && button->text().isEmpty() &&
                                                                button->accessibleName().isEmpty() &&
                                                                !button->toolTip().isEmpty())
        button->setAccessibleName(button->toolTip());
    if (auto* combo = qobject_cast<QComboBox*>(control); combo && combo->lineEdit()) {
        QLineEdit* editor = combo->lineEdit();
        if (editor->accessibleName().isEmpty()) {
            const QString comboName =
                combo->accessibleName().isEmpty() ? LabelText(combo) : combo->accessibleName();
            if (!comboName.isEmpty())
                editor->setAccessibleName(comboName);
        }
    }
}

// Publishes every control as it is polished, before it is first shown, so
// that controls a window adds later are published too; and again each time
// it is shown, when the window has named it by then (a label made the buddy
// of a drop-down box after its editor was polished).
class TAccessibilityPublisher : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if ((event->type() == QEvent::Polish || event->type() == QEvent::Show) && watched->isWidgetType())
            PublishControl(static_cast<QWidget*>(watched));
        return false;
    }
};

// The Qt series (major and minor version) this library was built with is
// the one running.
bool RunsBuiltQtSeries()
{
    const QVersionNumber running = QVersionNumber::fromString(QString::fromLatin1(qVersion()));
    return running.majorVersion() == QT_VERSION_MAJOR && running.minorVersion() == QT_VERSION_MINOR;
}

} // namespace

void InstallAccessibility()
{
    // The publisher of the application it was installed into; it goes with
    // that application.
    static QPointer<QObject> publisher;
    auto* application = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (!application || publisher)
        return;
    if (!RunsBuiltQtSeries()) {
        static bool told = false;
        if (!told)
            quillet::Info("0", std::string("辅助功能接口按 Qt ") + QT_VERSION_STR + " 编写，当前运行 Qt " +
                                   qVersion() + "，未安装。");
        told = true;
        return;
    }
    static bool factoryInstalled = false;
    if (!factoryInstalled)
        QAccessible::installFactory(&AccessibleFactory);
    factoryInstalled = true;
    publisher = new TAccessibilityPublisher(application);
    publisher->setObjectName(QStringLiteral("fennixAccessibilityPublisher"));
    application->installEventFilter(publisher);
}

} // namespace fennix::detail
