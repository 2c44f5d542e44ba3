// Operators from a spreadsheet saved as CSV: a header row naming the
// columns, then one operator a row, each held to the rules of the operator
// dialog with its own messages. Offices save such files from a spreadsheet
// program in UTF-8 or in the Chinese code page (GBK); both are read.
#include "operators_csv.h"
#include "import_plan.h"

#include "boundary/codepage.h"
#include "boundary/text.h"
#include "boundary/utilities.h"
#include "cipher/crypt.h"
#include "store/records.h"

#include <fennix/fennix.h>

#include <QStringDecoder>

#include <algorithm>
#include <map>

namespace privhost {
namespace {

// Column names a header may use, Chinese as the dialog labels them or English.
// Made on first use: loading the program runs no constructor of it.
const std::map<std::string, std::string>& Columns()
{
    static const std::map<std::string, std::string> columns = {
        {"代码", "code"},
        {"操作员代码", "code"},
        {"code", "code"},
        {"姓名", "name"},
        {"name", "name"},
        {"密码", "password"},
        {"password", "password"},
        {"岗位", "post"},
        {"所属岗位", "post"},
        {"post", "post"},
        {"部门", "department"},
        {"所属部门", "department"},
        {"department", "department"},
        {"联系电话", "phone"},
        {"phone", "phone"},
        {"电子邮箱", "email"},
        {"email", "email"},
        {"住址", "address"},
        {"address", "address"},
        {"有效", "valid"},
        {"valid", "valid"},
    };
    return columns;
}

// An operator code holds letters, digits, space, '#', '$' and '.', as the
// dialog's code box lets through.
bool IsCodeText(const std::string& code)
{
    for (const char c : code) {
        const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
        if (!letter && c != ' ' && c != '#' && c != '$' && c != '.')
            return false;
    }
    return true;
}

std::string Catalogue(int number)
{
    return fennix::CatalogueText(number);
}

} // namespace

bool DecodeSpreadsheetText(const QByteArray& bytes, std::string& utf8, std::string& fault)
{
    QByteArray body = bytes;
    if (body.startsWith("\xEF\xBB\xBF"))
        body.remove(0, 3);
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(body);
    if (!decoder.hasError()) {
        utf8 = text.toStdString();
        return true;
    }
    const std::string kMark = "\xEF\xBF\xBD";
    utf8 = priv::HostToUtf8(std::string_view(body.constData(), static_cast<std::size_t>(body.size())), kMark);
    if (utf8.find(kMark) != std::string::npos) {
        fault = "文件既不是 UTF-8 编码也不是 GBK 编码";
        return false;
    }
    return true;
}

bool ParseCsv(const std::string& text, std::vector<CsvRecord>& records, std::string& fault)
{
    CsvRecord record;
    std::string field;
    int line = 1;
    record.line = 1;
    bool quoted = false;      // inside a quoted field
    bool fieldQuoted = false; // the current field began with a quote
    bool pending = false;     // a record has begun
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"') {
                if (i + 1 < text.size() && text[i + 1] == '"') {
                    field += '"';
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                if (c == '\n')
                    ++line;
                field += c;
            }
            continue;
        }
        if (c == '"') {
            if (!field.empty() || fieldQuoted) {
                fault =
                    "第 " + std::to_string(line) + " 行：引号只能出现在字段开头，字段中的引号应写作两个引号";
                return false;
            }
            quoted = fieldQuoted = pending = true;
        } else if (c == ',') {
            record.fields.push_back(std::move(field));
            field.clear();
            fieldQuoted = false;
            pending = true;
        } else if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            if (pending || !field.empty()) {
                record.fields.push_back(std::move(field));
                records.push_back(std::move(record));
            }
            record = CsvRecord{};
            field.clear();
            fieldQuoted = pending = false;
            ++line;
            record.line = line;
        } else {
            if (fieldQuoted) {
                fault = "第 " + std::to_string(line) + " 行：引号结束后、逗号之前还有字符";
                return false;
            }
            field += c;
            pending = true;
        }
    }
    if (quoted) {
        fault = "第 " + std::to_string(record.line) + " 行开始的引号没有结束";
        return false;
    }
    if (pending || !field.empty()) {
        record.fields.push_back(std::move(field));
        records.push_back(std::move(record));
    }
    return true;
}

bool ReadOperatorsCsv(const QByteArray& bytes, PrivilegeDocument& document, std::vector<std::string>& faults)
{
    std::string text, fault;
    std::vector<CsvRecord> records;
    if (!DecodeSpreadsheetText(bytes, text, fault) || !ParseCsv(text, records, fault)) {
        faults.push_back(fault);
        return false;
    }
    if (records.empty()) {
        faults.emplace_back("文件是空的，第一行应为列名");
        return false;
    }
    std::vector<std::string> columns;
    for (const std::string& name : records.front().fields) {
        const auto known = Columns().find(priv::TrimText(name));
        if (known == Columns().end()) {
            faults.push_back("第 1 行：不认识的列名“" + name + "”");
            continue;
        }
        if (std::find(columns.begin(), columns.end(), known->second) != columns.end())
            faults.push_back("第 1 行：列“" + name + "”出现了两次");
        columns.push_back(known->second);
    }
    for (const char* required : {"code", "name", "post"})
        if (std::find(columns.begin(), columns.end(), required) == columns.end())
            faults.push_back(std::string("第 1 行：缺少列 ") + required + "（" +
                             (std::string(required) == "code"   ? "代码"
                              : std::string(required) == "name" ? "姓名"
                                                                : "岗位") +
                             "）");
    if (!faults.empty())
        return false;

    std::vector<std::string> seen;
    for (std::size_t r = 1; r < records.size(); ++r) {
        const CsvRecord& record = records[r];
        const std::string where = "第 " + std::to_string(record.line) + " 行：";
        if (record.fields.size() != columns.size()) {
            faults.push_back(where + "有 " + std::to_string(record.fields.size()) + " 列，列名行有 " +
                             std::to_string(columns.size()) + " 列");
            continue;
        }
        std::map<std::string, std::string> value;
        for (std::size_t c = 0; c < columns.size(); ++c)
            value[columns[c]] = record.fields[c];
        OperatorEntry entry;
        priv::OperatorRow& row = entry.row;
        // The dialog takes the code and name trimmed and refuses them empty.
        row.Code = priv::TrimText(value["code"]);
        row.Name = priv::TrimText(value["name"]);
        if (row.Code.empty()) {
            faults.push_back(where + Catalogue(104017));
            continue;
        }
        if (!IsCodeText(row.Code) || row.Code.size() > 20) {
            faults.push_back(where + "操作员代码“" + row.Code +
                             "”只能由字母、数字、空格、#、$ 和 . 组成，最多 20 个字符");
            continue;
        }
        if (priv::FindCode(seen.begin(), seen.end(), row.Code, [](const std::string& c) { return c; }) !=
            seen.end()) {
            faults.push_back(where + "操作员代码“" + row.Code + "”在文件中出现了两次");
            continue;
        }
        seen.push_back(row.Code);
        if (row.Name.empty())
            faults.push_back(where + Catalogue(104018));
        if (value.count("password")) {
            const std::string& password = value["password"];
            std::string reason;
            if (!priv::PasswordStorable(password, &reason))
                faults.push_back(where + reason);
            else
                row.Password = priv::EncryptPassword(password);
            entry.typedPassword = password;
            entry.hasPassword = true;
        }
        row.PostCode = priv::TrimText(value["post"]);
        if (row.PostCode.empty())
            faults.push_back(where + "请先选择所属岗位。");
        row.Phone = value["phone"];
        if (!priv::IsValidPhone(row.Phone))
            faults.push_back(where + Catalogue(104020));
        row.Email = value["email"];
        if (!priv::IsValidEmail(row.Email))
            faults.push_back(where + Catalogue(104021));
        row.Address = value["address"];
        if (QString::fromStdString(row.Address).size() > 200 ||
            priv::Utf8ToHost(row.Address).size() > priv::kRecordTextBytes)
            faults.push_back(where + "住址最多可录入200个字符、255个字节，一个汉字占2个字节。");
        row.DepartmentCode = priv::TrimText(value["department"]);
        entry.given = {"name", "post"};
        for (const char* field : {"phone", "email", "address", "department"})
            if (value.count(field))
                entry.given.emplace_back(field);
        if (value.count("valid")) {
            const std::string valid = priv::TrimText(value["valid"]);
            if (valid == "Y" || valid == "y" || valid == "是" || valid == "1")
                row.ValidFlag = "Y";
            else if (valid == "N" || valid == "n" || valid == "否" || valid == "0")
                row.ValidFlag = "N";
            else
                faults.push_back(where + "有效标志应为 Y（是）或 N（否），而不是“" + valid + "”");
            entry.given.emplace_back("valid");
        }
        document.operators.push_back(std::move(entry));
    }
    return faults.empty();
}

} // namespace privhost
