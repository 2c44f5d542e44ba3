#include "boundary/host.h"

#include "boundary/datetime.h"
#include "boundary/text.h"

#include <cstdlib>
#include <iterator>

namespace priv {

void QueryResult::Reset(std::vector<std::string> columns)
{
    columns_ = std::move(columns);
    cells_.clear();
    rowCount_ = 0;
    current_ = 0;
    for (NameMemo& memo : memo_)
        memo = NameMemo{};
}

void QueryResult::AddRow(std::vector<Cell> row)
{
    row.resize(columns_.size());
    Cell* cells = AddEmptyRow();
    for (std::size_t i = 0; i < row.size(); ++i)
        cells[i] = std::move(row[i]);
}

QueryResult::Cell* QueryResult::AddEmptyRow()
{
    const std::size_t start = cells_.size();
    cells_.resize(start + columns_.size());
    ++rowCount_;
    return cells_.data() + start;
}

void QueryResult::ReserveRows(std::size_t rows)
{
    cells_.reserve(rows * columns_.size());
}

int QueryResult::ColumnIndex(std::string_view name) const
{
    // A remembered name is checked again by its text: the same address may
    // hold another name by now.
    for (const NameMemo& memo : memo_)
        if (memo.data == name.data() && memo.size == name.size() && memo.column >= 0 &&
            SameTextAscii(columns_[static_cast<std::size_t>(memo.column)], name))
            return memo.column;
    for (std::size_t i = 0; i < columns_.size(); ++i)
        if (SameTextAscii(columns_[i], name)) {
            memo_[memoNext_++ % std::size(memo_)] = NameMemo{name.data(), name.size(), static_cast<int>(i)};
            return static_cast<int>(i);
        }
    return -1;
}

const QueryResult::Cell* QueryResult::CurrentCell(std::string_view name) const
{
    const int column = ColumnIndex(name);
    if (column < 0 || Eof())
        return nullptr;
    return &cells_[current_ * columns_.size() + static_cast<std::size_t>(column)];
}

bool QueryResult::IsNull(std::string_view name) const
{
    const Cell* cell = CurrentCell(name);
    return !cell || cell->isNull;
}

std::string QueryResult::AsString(std::string_view name) const
{
    const Cell* cell = CurrentCell(name);
    return cell && !cell->isNull ? cell->text : std::string();
}

std::int64_t QueryResult::AsInteger(std::string_view name) const
{
    const Cell* cell = CurrentCell(name);
    if (!cell || cell->isNull)
        return 0;
    return std::strtoll(cell->text.c_str(), nullptr, 10);
}

double QueryResult::AsDateTime(std::string_view name) const
{
    const Cell* cell = CurrentCell(name);
    if (!cell || cell->isNull)
        return 0.0;
    return ParseDateTime(cell->text).value_or(0.0);
}

} // namespace priv
