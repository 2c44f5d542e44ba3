#include "database_address.h"

#include "database.h"

#include <QDir>
#include <QUrl>

namespace fennix::detail {
namespace {

QString Decode(const QString& text)
{
    return QUrl::fromPercentEncoding(text.toUtf8());
}

bool StartsWithNoCase(const std::string& text, const char* prefix)
{
    return QString::fromStdString(text).startsWith(QLatin1String(prefix), Qt::CaseInsensitive);
}

} // namespace

std::string UrlForDisplay(const std::string& url)
{
    static const char* const kHidden = "***";
    std::string shown = url;
    const std::size_t scheme = shown.find("://");
    if (scheme != std::string::npos) {
        const std::size_t start = scheme + 3;
        std::size_t end = shown.find_first_of("/?", start);
        if (end == std::string::npos)
            end = shown.size();
        const std::size_t at = shown.rfind('@', end - 1);
        if (at != std::string::npos && at >= start) {
            const std::size_t colon = shown.find(':', start);
            if (colon != std::string::npos && colon < at)
                shown.replace(colon + 1, at - colon - 1, kHidden);
        }
    }
    // libpq's own form in the query part: password=...
    const std::size_t query = shown.find('?');
    for (std::size_t pos = query; pos != std::string::npos && pos < shown.size();) {
        const std::size_t itemStart = pos + 1;
        std::size_t itemEnd = shown.find('&', itemStart);
        if (itemEnd == std::string::npos)
            itemEnd = shown.size();
        static const std::string key = "password=";
        if (shown.compare(itemStart, key.size(), key) == 0) {
            shown.replace(itemStart + key.size(), itemEnd - itemStart - key.size(), kHidden);
            itemEnd = shown.find('&', itemStart);
        }
        pos = itemEnd;
    }
    return shown;
}

bool ParseDatabaseUrl(const std::string& givenUrl, const std::string& appDir, DatabaseAddress& address,
                      std::string& error)
{
    // Errors name the address without its password.
    const std::string url = UrlForDisplay(givenUrl);
    if (StartsWithNoCase(givenUrl, "sqlite:")) {
        QString path = QString::fromUtf8(givenUrl.substr(7));
        if (path.isEmpty()) {
            error = "数据库地址缺少 SQLite 文件路径：" + url;
            return false;
        }
        if (path != QLatin1String(":memory:") && QDir::isRelativePath(path) && !appDir.empty())
            path = QDir(QString::fromStdString(appDir)).filePath(path);
        address.driver = QStringLiteral("QSQLITE");
        address.databaseName = path;
        return true;
    }

    std::string rest;
    if (StartsWithNoCase(givenUrl, "postgresql://"))
        rest = givenUrl.substr(13);
    else if (StartsWithNoCase(givenUrl, "postgres://"))
        rest = givenUrl.substr(11);
    else {
        error = "不支持的数据库地址（应为 sqlite:路径 或 postgresql://用户@主机:端口/数据库）：" + url;
        return false;
    }
    address.driver = QStringLiteral("QPSQL");

    QString text = QString::fromUtf8(rest);
    QString query;
    if (const qsizetype mark = text.indexOf(QLatin1Char('?')); mark >= 0) {
        query = text.mid(mark + 1);
        text.truncate(mark);
    }
    QString authority = text;
    if (const qsizetype slash = text.indexOf(QLatin1Char('/')); slash >= 0) {
        authority = text.left(slash);
        address.databaseName = Decode(text.mid(slash + 1));
    }
    if (const qsizetype at = authority.lastIndexOf(QLatin1Char('@')); at >= 0) {
        const QString userInfo = authority.left(at);
        authority = authority.mid(at + 1);
        const qsizetype colon = userInfo.indexOf(QLatin1Char(':'));
        address.user = Decode(colon >= 0 ? userInfo.left(colon) : userInfo);
        if (colon >= 0)
            address.password = Decode(userInfo.mid(colon + 1));
    }
    QString portText;
    if (authority.startsWith(QLatin1Char('['))) { // [IPv6]:port
        const qsizetype close = authority.indexOf(QLatin1Char(']'));
        if (close < 0) {
            error = "数据库地址的主机名不完整：" + url;
            return false;
        }
        address.host = authority.mid(1, close - 1);
        if (QStringView(authority).mid(close + 1).startsWith(QLatin1Char(':')))
            portText = authority.mid(close + 2);
    } else if (const qsizetype colon = authority.lastIndexOf(QLatin1Char(':')); colon >= 0) {
        address.host = Decode(authority.left(colon));
        portText = authority.mid(colon + 1);
    } else {
        address.host = Decode(authority);
    }

    for (const QString& item : query.split(QLatin1Char('&'), Qt::SkipEmptyParts)) {
        const qsizetype equals = item.indexOf(QLatin1Char('='));
        const QString key = Decode(equals >= 0 ? item.left(equals) : item);
        const QString value = equals >= 0 ? Decode(item.mid(equals + 1)) : QString();
        if (key == QLatin1String("host"))
            address.host = value; // a folder here means the server's Unix socket
        else if (key == QLatin1String("port"))
            portText = value;
        else if (key == QLatin1String("user"))
            address.user = value;
        else if (key == QLatin1String("password"))
            address.password = value;
        else if (key == QLatin1String("dbname"))
            address.databaseName = value;
        else
            address.options << key + QLatin1Char('=') + value;
    }
    if (!portText.isEmpty()) {
        bool ok = false;
        address.port = portText.toInt(&ok);
        if (!ok || address.port <= 0 || address.port > 65535) {
            error = "数据库地址的端口无效：" + url;
            return false;
        }
    }
    return true;
}

} // namespace fennix::detail
