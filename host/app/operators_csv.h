// The small CSV reader the spreadsheet import needs: fields separated by
// commas, a field in double quotes may hold commas, line breaks and quotes
// (written twice), records end with LF or CR LF.
#pragma once

#include <QByteArray>

#include <string>
#include <vector>

namespace privhost {

struct CsvRecord {
    int line = 1; // where the record begins, from 1
    std::vector<std::string> fields;
};

// The bytes as UTF-8: UTF-8 (with or without its byte-order mark) when they
// are valid UTF-8, else GBK; false when they are neither.
bool DecodeSpreadsheetText(const QByteArray& bytes, std::string& utf8, std::string& fault);

// False with the line of the first fault (an unclosed quote, text after a
// closing quote).
bool ParseCsv(const std::string& text, std::vector<CsvRecord>& records, std::string& fault);

} // namespace privhost
