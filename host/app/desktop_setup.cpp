#include "desktop_setup.h"

#include <QApplication>
#include <QFont>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace privhost {

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

} // namespace privhost
