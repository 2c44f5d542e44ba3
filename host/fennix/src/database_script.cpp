// Scripts of statements, and the statement failures tests ask for.
#include "database.h"

#include "state.h"

#include <QString>

namespace fennix::detail {
namespace {

std::string Utf8(const QString& text)
{
    return text.toUtf8().toStdString();
}

} // namespace

bool InjectedFailure(const std::string& sql, std::string& message)
{
    bool fail = false;
    for (StatementFailure& rule : State().failures) {
        if (rule.fragment.empty() || sql.find(rule.fragment) == std::string::npos)
            continue;
        ++rule.matches;
        const bool inRange =
            rule.matches > rule.skip && (rule.times < 0 || rule.matches <= rule.skip + rule.times);
        if (inRange && !fail) {
            fail = true;
            message = "模拟的数据库故障：语句含有“" + rule.fragment + "”，未执行。";
        }
    }
    return fail;
}

std::vector<std::string> SplitSqlScript(const std::string& script)
{
    std::vector<std::string> statements;
    std::string current;
    std::size_t start = 0;
    auto flush = [&] {
        const QString text = QString::fromStdString(current).trimmed();
        if (!text.isEmpty())
            statements.push_back(Utf8(text));
        current.clear();
    };
    while (start <= script.size()) {
        std::size_t end = script.find('\n', start);
        if (end == std::string::npos)
            end = script.size();
        QString line = QString::fromUtf8(script.data() + start, static_cast<qsizetype>(end - start));
        if (line.startsWith(QChar(0xFEFF)))
            line.remove(0, 1);
        const QString trimmed = line.trimmed();
        start = end + 1;
        if (trimmed.isEmpty() || trimmed.startsWith(QLatin1String("--")))
            continue;
        if (trimmed.endsWith(QLatin1Char(';'))) {
            current += Utf8(trimmed.chopped(1));
            flush();
        } else {
            current += Utf8(trimmed) + '\n';
        }
    }
    flush();
    return statements;
}

} // namespace fennix::detail
