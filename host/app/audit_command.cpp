// `privhost audit`: reads the operation log (who signed in where, who changed
// which operator, post, department or grant) and checks its chain.
//
//   privhost audit [--since DATE] [--until DATE] [--operator CODE] [--event NAME]
//                  [--format table|csv|json]
//   privhost audit verify
//   privhost audit purge --before DATE
#include "commands.h"

#include "store/audit_purge.h"
#include "store/audit_reader.h"
#include "store/audit_record.h"

#include <cstdint>
#include <cstdio>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

namespace privhost {
namespace {

namespace audit = priv::audit;

// Columns a terminal gives a character: two for the wide scripts (Chinese
// among them), one otherwise.
std::size_t DisplayWidth(std::string_view text)
{
    std::size_t width = 0;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 1;
        char32_t code = lead;
        if (lead >= 0xF0) {
            length = 4;
            code = lead & 0x07;
        } else if (lead >= 0xE0) {
            length = 3;
            code = lead & 0x0F;
        } else if (lead >= 0xC0) {
            length = 2;
            code = lead & 0x1F;
        }
        for (std::size_t k = 1; k < length && i + k < text.size(); ++k)
            code = (code << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        i += length;
        const bool wide = (code >= 0x1100 && code <= 0x115F) || (code >= 0x2E80 && code <= 0xA4CF) ||
                          (code >= 0xAC00 && code <= 0xD7A3) || (code >= 0xF900 && code <= 0xFAFF) ||
                          (code >= 0xFE30 && code <= 0xFE4F) || (code >= 0xFF00 && code <= 0xFF60) ||
                          (code >= 0xFFE0 && code <= 0xFFE6) || code >= 0x20000;
        width += wide ? 2 : 1;
    }
    return width;
}

std::string Padded(const std::string& text, std::size_t width)
{
    const std::size_t shown = DisplayWidth(text);
    return text + std::string(shown < width ? width - shown : 0, ' ');
}

std::string CsvField(const std::string& text)
{
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

std::string JsonString(const std::string& text)
{
    std::string out = "\"";
    for (const char c : text) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
                out += escaped;
            } else {
                out += c;
            }
        }
    }
    return out + '"';
}

std::string Caption(const std::string& event)
{
    const std::string_view caption = audit::EventCaption(event);
    return caption.empty() ? event : std::string(caption);
}

// The table: a header, then one line per row; the detail comes last and is
// not padded. Rows are gathered first, for the column widths.
void PrintTable(const std::vector<audit::Row>& rows)
{
    const std::vector<std::string> header = {"序号", "时间",     "工作站",   "系统用户", "操作员",
                                             "事件", "对象类型", "对象代码", "结果",     "详情"};
    std::vector<std::vector<std::string>> lines;
    lines.reserve(rows.size());
    for (const audit::Row& row : rows)
        lines.push_back({std::to_string(row.sequence), row.localTime, row.workstation, row.systemUser,
                         row.operatorCode, Caption(row.event), row.objectKind, row.objectCode, row.result,
                         row.detail});
    std::vector<std::size_t> widths(header.size());
    for (std::size_t c = 0; c < header.size(); ++c) {
        widths[c] = DisplayWidth(header[c]);
        for (const auto& line : lines)
            widths[c] = std::max(widths[c], DisplayWidth(line[c]));
    }
    const auto print = [&widths](const std::vector<std::string>& line) {
        std::string text;
        for (std::size_t c = 0; c + 1 < line.size(); ++c)
            text += Padded(line[c], widths[c]) + "  ";
        text += line.back();
        std::cout << text << '\n';
    };
    print(header);
    for (const auto& line : lines)
        print(line);
}

// Whether the database keeps a log that can be read; says why not on
// standard error.
bool LogIsReadable(std::string& message)
{
    switch (audit::InspectLog(message)) {
    case audit::LogState::Absent:
        std::cerr << "privhost: 数据库中没有操作日志表（QX_CZRZ）；运行 privhost init 可以补建。\n";
        return false;
    case audit::LogState::Unreadable:
        std::cerr << "privhost: 无法读取操作日志：" << message << '\n';
        return false;
    case audit::LogState::Present:
        break;
    }
    return true;
}

int RunVerify()
{
    const audit::ChainCheck check = audit::VerifyChain();
    using Finding = audit::ChainCheck::Finding;
    switch (check.finding) {
    case Finding::Intact:
        std::cout << check.text << '\n';
        return kExitOk;
    case Finding::NoLog:
    case Finding::Unreadable:
        std::cerr << "privhost: " << check.text << '\n';
        return kExitSetup;
    case Finding::Changed:
    case Finding::Removed:
    case Finding::Inserted:
    case Finding::HeadBroken:
        break;
    }
    std::cout << "操作日志已被篡改：" << check.text << '\n';
    return kExitFalse;
}

int RunPurge(const AppOptions& options)
{
    const std::vector<std::string>& args = options.args;
    if (args.size() != 3 || args[1] != "--before") {
        std::cerr << "privhost: audit purge needs --before DATE\n" << kUsage;
        return kExitSetup;
    }
    if (!OpenHost(options, true))
        return kExitSetup;
    std::string message;
    if (!LogIsReadable(message))
        return kExitSetup;
    audit::PurgeResult result;
    if (!audit::PurgeBefore(args[2], result, message)) {
        std::cerr << "privhost: 清除操作日志失败，未作任何更改：" << message << '\n';
        return kExitFalse;
    }
    if (result.count == 0)
        std::cout << "没有 " << args[2] << " 之前可清除的记录。\n";
    else
        std::cout << "已清除第 " << result.first << " 至 " << result.last << " 条记录，共 " << result.count
                  << " 条；第 " << result.last << " 条由检查点承接，操作日志仍可验证。\n";
    return kExitOk;
}

} // namespace

int RunAudit(const AppOptions& options)
{
    const std::vector<std::string>& args = options.args;
    if (!args.empty() && args.front() == "purge")
        return RunPurge(options);
    const bool verify = !args.empty() && args.front() == "verify";
    if (verify && args.size() > 1) {
        std::cerr << "privhost: audit verify takes no arguments\n" << kUsage;
        return kExitSetup;
    }
    audit::Filter filter;
    std::string format = "table";
    for (std::size_t i = verify ? 1 : 0; i < args.size(); ++i) {
        const std::string& option = args[i];
        std::string* target = option == "--since"      ? &filter.since
                              : option == "--until"    ? &filter.until
                              : option == "--operator" ? &filter.operatorCode
                              : option == "--event"    ? &filter.event
                              : option == "--format"   ? &format
                                                       : nullptr;
        if (!target || i + 1 >= args.size()) {
            std::cerr << "privhost: audit: unknown argument " << option << '\n' << kUsage;
            return kExitSetup;
        }
        *target = args[++i];
    }
    if (format != "table" && format != "csv" && format != "json") {
        std::cerr << "privhost: audit: --format is table, csv or json\n";
        return kExitSetup;
    }
    std::string message;
    if (!audit::CheckFilter(filter, message)) {
        std::cerr << "privhost: " << message << '\n';
        return kExitSetup;
    }
    if (!OpenHost(options, true))
        return kExitSetup;
    if (verify)
        return RunVerify();

    if (!LogIsReadable(message))
        return kExitSetup;

    std::vector<audit::Row> tableRows;
    bool first = true;
    if (format == "csv")
        std::cout << "XH,CZSJ_UTC,CZSJ,GZZ,XTYH,CZY_DM,SJLX,SJMC,DXLX,DXDM,XQ,JG,QHXZ,HXZ\n";
    else if (format == "json")
        std::cout << "[";
    const bool read = audit::ReadRows(
        filter,
        [&](const audit::Row& row) {
            if (format == "table") {
                tableRows.push_back(row);
            } else if (format == "csv") {
                std::cout << row.sequence;
                for (const std::string* field : {&row.utcTime, &row.localTime, &row.workstation,
                                                 &row.systemUser, &row.operatorCode, &row.event})
                    std::cout << ',' << CsvField(*field);
                std::cout << ',' << CsvField(Caption(row.event));
                for (const std::string* field : {&row.objectKind, &row.objectCode, &row.detail, &row.result,
                                                 &row.previousHash, &row.hash})
                    std::cout << ',' << CsvField(*field);
                std::cout << '\n';
            } else {
                std::cout << (first ? "\n" : ",\n") << "  {\"seq\": " << row.sequence
                          << ", \"timeUtc\": " << JsonString(row.utcTime)
                          << ", \"timeLocal\": " << JsonString(row.localTime)
                          << ", \"workstation\": " << JsonString(row.workstation)
                          << ", \"systemUser\": " << JsonString(row.systemUser)
                          << ", \"operator\": " << JsonString(row.operatorCode)
                          << ", \"event\": " << JsonString(row.event)
                          << ", \"eventCaption\": " << JsonString(Caption(row.event))
                          << ", \"objectKind\": " << JsonString(row.objectKind)
                          << ", \"objectCode\": " << JsonString(row.objectCode)
                          << ", \"detail\": " << JsonString(row.detail)
                          << ", \"result\": " << JsonString(row.result)
                          << ", \"previousHash\": " << JsonString(row.previousHash)
                          << ", \"hash\": " << JsonString(row.hash) << "}";
            }
            first = false;
            return true;
        },
        message);
    if (format == "json")
        std::cout << (first ? "]\n" : "\n]\n");
    if (!read) {
        std::cerr << "privhost: 无法读取操作日志：" << message << '\n';
        return kExitSetup;
    }
    if (format == "table")
        PrintTable(tableRows);
    return kExitOk;
}

} // namespace privhost
