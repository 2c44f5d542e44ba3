#include "settings.h"

#include "boundary/text.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <optional>
#include <string_view>
#include <vector>

namespace fennix::detail {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

struct IniFile {
    bool byteOrderMark = false;
    bool crlf = false;
    std::vector<std::string> lines;
};

std::optional<IniFile> Load(const std::string& path)
{
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.readAll();
    std::string text(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    IniFile ini;
    if (text.compare(0, kByteOrderMark.size(), kByteOrderMark) == 0) {
        ini.byteOrderMark = true;
        text.erase(0, kByteOrderMark.size());
    }
    ini.crlf = text.find("\r\n") != std::string::npos;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        ini.lines.push_back(std::move(line));
        start = end + 1;
    }
    return ini;
}

// "[name]" gives name.
std::optional<std::string> SectionOf(const std::string& line)
{
    const std::string trimmed = priv::TrimText(line);
    if (trimmed.size() < 2 || trimmed.front() != '[')
        return std::nullopt;
    const std::size_t close = trimmed.find(']');
    if (close == std::string::npos)
        return std::nullopt;
    return priv::TrimText(std::string_view(trimmed).substr(1, close - 1));
}

// "key=value" gives key and value; comments and other lines give nothing.
bool KeyValueOf(const std::string& line, std::string& key, std::string& value)
{
    const std::string trimmed = priv::TrimText(line);
    if (trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '#' || trimmed.front() == '[')
        return false;
    const std::size_t equals = trimmed.find('=');
    if (equals == std::string::npos)
        return false;
    key = priv::TrimText(std::string_view(trimmed).substr(0, equals));
    value = priv::TrimText(std::string_view(trimmed).substr(equals + 1));
    // The desktop's INI reader drops one pair of enclosing quotes.
    if (value.size() >= 2 &&
        ((value.front() == '"' && value.back() == '"') || (value.front() == '\'' && value.back() == '\'')))
        value = value.substr(1, value.size() - 2);
    return true;
}

bool HasLineBreak(const std::string& text)
{
    return text.find_first_of("\r\n") != std::string::npos;
}

} // namespace

std::string ResolveHostPath(const std::string& appDir, const std::string& path)
{
    std::string normal = path;
    for (char& c : normal)
        if (c == '\\')
            c = '/';
    if (!normal.empty() && normal.front() != '/' && !appDir.empty()) {
        std::string base = appDir;
        for (char& c : base)
            if (c == '\\')
                c = '/';
        if (base.back() != '/')
            base += '/';
        normal = base + normal;
    }
    return normal;
}

std::string ReadIniValue(const std::string& file, const std::string& section, const std::string& key,
                         const std::string& defaultValue)
{
    const std::optional<IniFile> ini = Load(file);
    if (!ini)
        return defaultValue;
    bool inSection = false;
    for (const std::string& line : ini->lines) {
        if (const auto name = SectionOf(line)) {
            inSection = priv::SameTextAscii(*name, section);
            continue;
        }
        std::string lineKey, value;
        if (inSection && KeyValueOf(line, lineKey, value) && priv::SameTextAscii(lineKey, key))
            return value;
    }
    return defaultValue;
}

bool WriteIniValue(const std::string& file, const std::string& section, const std::string& key,
                   const std::string& value)
{
    if (section.empty() || key.empty() || HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value) ||
        section.find(']') != std::string::npos || key.find('=') != std::string::npos ||
        priv::TrimText(key) != key || priv::TrimText(section) != section)
        return false;

    IniFile ini = Load(file).value_or(IniFile{});
    const std::string entry = key + "=" + value;

    // Where the section starts and where its last key line is.
    std::optional<std::size_t> sectionLine;
    std::optional<std::size_t> lastContent;
    std::optional<std::size_t> keyLine;
    bool inSection = false;
    for (std::size_t i = 0; i < ini.lines.size(); ++i) {
        if (const auto name = SectionOf(ini.lines[i])) {
            inSection = priv::SameTextAscii(*name, section);
            if (inSection && !sectionLine) {
                sectionLine = i;
                lastContent = i;
            } else if (inSection) {
                inSection = false; // a repeated section: the reader stops at the first
            }
            continue;
        }
        if (!inSection)
            continue;
        std::string lineKey, lineValue;
        if (KeyValueOf(ini.lines[i], lineKey, lineValue)) {
            lastContent = i;
            if (!keyLine && priv::SameTextAscii(lineKey, key))
                keyLine = i;
        }
    }
    if (keyLine)
        ini.lines[*keyLine] = entry;
    else if (sectionLine)
        ini.lines.insert(ini.lines.begin() + static_cast<std::ptrdiff_t>(*lastContent + 1), entry);
    else {
        if (!ini.lines.empty() && !priv::TrimText(ini.lines.back()).empty())
            ini.lines.emplace_back();
        ini.lines.push_back("[" + section + "]");
        ini.lines.push_back(entry);
    }

    const QString path = QString::fromStdString(file);
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    std::string text;
    if (ini.byteOrderMark)
        text += kByteOrderMark;
    const char* lineEnd = ini.crlf ? "\r\n" : "\n";
    for (const std::string& line : ini.lines)
        text += line + lineEnd;
    // Written whole to a temporary file and renamed: a crash never leaves half a file.
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    out.write(text.data(), static_cast<qint64>(text.size()));
    return out.commit();
}

} // namespace fennix::detail
