#include "applications.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

#include <set>

namespace fennix::detail {
namespace {

// The host keeps a function's version-type list in a field of 20 characters.
constexpr qsizetype kMaxVersionsLength = 20;

std::string Utf8(const QString& text)
{
    return text.toUtf8().toStdString();
}

// Every text of the file is a JSON text: a number in its place (a product
// 0100 written as 100) would become another code without a word.
bool ReadText(const QJsonObject& object, const char* key, std::string& out, const QString& where,
              std::string& error)
{
    const QJsonValue value = object.value(QLatin1String(key));
    if (value.isUndefined() || value.isNull()) {
        out.clear();
        return true;
    }
    if (!value.isString()) {
        error = Utf8(where + QStringLiteral("的“%1”应为文本。").arg(QLatin1String(key)));
        return false;
    }
    out = Utf8(value.toString());
    return true;
}

// A code selects a descriptor or a function and a product is what the filter
// withdraws by: one that is missing or empty would leave its application
// beyond the filter's reach, so the file is refused instead.
bool ReadCode(const QJsonObject& object, const char* key, std::string& out, const QString& where,
              std::string& error)
{
    const QJsonValue value = object.value(QLatin1String(key));
    if (value.isUndefined() || value.isNull()) {
        error = Utf8(where + QStringLiteral("缺少“%1”。").arg(QLatin1String(key)));
        return false;
    }
    if (!ReadText(object, key, out, where, error))
        return false;
    if (out.empty()) {
        error = Utf8(where + QStringLiteral("的“%1”为空。").arg(QLatin1String(key)));
        return false;
    }
    return true;
}

// The place of a descriptor in the file, with its code once that is known.
QString Named(const QString& where, const std::string& code)
{
    return where + QStringLiteral("（代码“%1”）").arg(QString::fromStdString(code));
}

bool ReadFlag(const QJsonObject& object, const char* key, bool& out, const QString& where, std::string& error)
{
    const QJsonValue value = object.value(QLatin1String(key));
    if (value.isUndefined() || value.isNull()) {
        out = true;
        return true;
    }
    if (!value.isBool()) {
        error = Utf8(where + QStringLiteral("“%1”应为 true 或 false。").arg(QLatin1String(key)));
        return false;
    }
    out = value.toBool();
    return true;
}

bool ReadApplication(const QJsonValue& value, bool mainFrame, const QString& where,
                     priv::SubAppDescriptor& app, std::string& error)
{
    if (!value.isObject()) {
        error = Utf8(where + QStringLiteral("应为对象。"));
        return false;
    }
    const QJsonObject object = value.toObject();
    if (!ReadCode(object, "code", app.code, where, error))
        return false;
    const QString named = Named(where, app.code);
    if (!ReadCode(object, "product", app.product, named, error) ||
        !ReadText(object, "name", app.name, named, error))
        return false;
    if (mainFrame)
        app.enabled = true;
    else if (!ReadFlag(object, "enabled", app.enabled, named, error))
        return false;

    const QJsonValue functions = object.value(QLatin1String("functions"));
    if (functions.isUndefined() || functions.isNull())
        return true;
    if (!functions.isArray()) {
        error = Utf8(named + QStringLiteral("的“functions”应为数组。"));
        return false;
    }
    const QJsonArray list = functions.toArray();
    for (qsizetype i = 0; i < list.size(); ++i) {
        const QString at = named + QStringLiteral("的第 %1 个功能").arg(i + 1);
        if (!list[i].isObject()) {
            error = Utf8(at + QStringLiteral("应为对象。"));
            return false;
        }
        const QJsonObject item = list[i].toObject();
        priv::FunctionRecord function;
        if (!ReadCode(item, "code", function.code, at, error) ||
            !ReadText(item, "name", function.name, at, error) ||
            !ReadText(item, "posts", function.posts, at, error) ||
            !ReadText(item, "versions", function.versions, at, error) ||
            !ReadFlag(item, "enabled", function.enabled, at, error) ||
            !ReadFlag(item, "visible", function.visible, at, error))
            return false;
        if (QString::fromStdString(function.versions).size() > kMaxVersionsLength) {
            error = Utf8(at + QStringLiteral("的版本类型列表超过 %1 个字符。").arg(kMaxVersionsLength));
            return false;
        }
        app.functions.push_back(std::move(function));
    }
    return true;
}

} // namespace

void Applications::Clear()
{
    versionType_.clear();
    mainFrame_.reset();
    subApps_.clear();
}

bool Applications::Load(const std::string& path, std::string& error)
{
    if (path.empty()) {
        Clear();
        return true;
    }
    const QString fileName = QString::fromStdString(path);
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        error = Utf8(QStringLiteral("无法读取应用程序文件 %1：%2").arg(fileName, file.errorString()));
        return false;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        error = Utf8(QStringLiteral("应用程序文件 %1 格式错误（位置 %2）：%3")
                         .arg(fileName)
                         .arg(parseError.offset)
                         .arg(parseError.errorString()));
        return false;
    }
    if (!document.isObject()) {
        error = Utf8(QStringLiteral("应用程序文件 %1 的内容应为对象。").arg(fileName));
        return false;
    }
    const QJsonObject root = document.object();
    const QString where = QStringLiteral("应用程序文件 %1：").arg(fileName);

    std::string versionType;
    if (!ReadText(root, "versionType", versionType, QStringLiteral("应用程序文件 %1 ").arg(fileName), error))
        return false;

    std::unique_ptr<priv::SubAppDescriptor> mainFrame;
    const QJsonValue mainValue = root.value(QLatin1String("mainFrame"));
    if (!mainValue.isUndefined() && !mainValue.isNull()) {
        mainFrame = std::make_unique<priv::SubAppDescriptor>();
        if (!ReadApplication(mainValue, true, where + QStringLiteral("主框架"), *mainFrame, error))
            return false;
    }

    std::vector<std::unique_ptr<priv::SubAppDescriptor>> subApps;
    const QJsonValue subValue = root.value(QLatin1String("subApps"));
    if (!subValue.isUndefined() && !subValue.isNull()) {
        if (!subValue.isArray()) {
            error = Utf8(where + QStringLiteral("“subApps”应为数组。"));
            return false;
        }
        const QJsonArray list = subValue.toArray();
        std::set<std::string> codes, products;
        if (mainFrame) {
            codes.insert(mainFrame->code);
            products.insert(mainFrame->product);
        }
        for (qsizetype i = 0; i < list.size(); ++i) {
            auto app = std::make_unique<priv::SubAppDescriptor>();
            if (!ReadApplication(list[i], false, where + QStringLiteral("第 %1 个子系统").arg(i + 1), *app,
                                 error))
                return false;
            // Codes select a descriptor; a repeated one would hide the later one.
            if (!codes.insert(app->code).second) {
                error = Utf8(where + QStringLiteral("第 %1 个子系统的代码“%2”重复。")
                                         .arg(i + 1)
                                         .arg(QString::fromStdString(app->code)));
                return false;
            }
            // The filter finds a descriptor by its product: a second one of the
            // same product would never be filtered.
            if (!products.insert(app->product).second) {
                error = Utf8(where + QStringLiteral("第 %1 个子系统（代码“%2”）的产品代码“%3”重复。")
                                         .arg(i + 1)
                                         .arg(QString::fromStdString(app->code),
                                              QString::fromStdString(app->product)));
                return false;
            }
            subApps.push_back(std::move(app));
        }
    }

    versionType_ = std::move(versionType);
    mainFrame_ = std::move(mainFrame);
    subApps_ = std::move(subApps);
    return true;
}

priv::SubAppDescriptor* Applications::FindByCode(const std::string& code) const
{
    if (mainFrame_ && mainFrame_->code == code)
        return mainFrame_.get();
    for (const auto& app : subApps_)
        if (app->code == code)
            return app.get();
    return nullptr;
}

std::string Applications::CodeOfProduct(const std::string& product) const
{
    if (product.empty())
        return {};
    if (mainFrame_ && mainFrame_->product == product)
        return mainFrame_->code;
    for (const auto& app : subApps_)
        if (app->product == product)
            return app->code;
    return {};
}

bool Applications::FunctionEnabled(const std::string& functionCode) const
{
    auto has = [&](const priv::SubAppDescriptor& app) {
        for (const priv::FunctionRecord& function : app.functions)
            if (function.code == functionCode && function.enabled)
                return true;
        return false;
    };
    if (mainFrame_ && has(*mainFrame_))
        return true;
    for (const auto& app : subApps_)
        if (has(*app))
            return true;
    return false;
}

} // namespace fennix::detail
