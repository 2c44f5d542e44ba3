#include "boundary/host.h"

#include "boundary/datetime.h"
#include "boundary/text.h"

#include <cstdlib>

namespace priv {

void QueryResult::Reset(std::vector<std::string> columns)
{
    columns_ = std::move(columns);
    rows_.clear();
    current_ = 0;
}

void QueryResult::AddRow(std::vector<Cell> row)
{
    row.resize(columns_.size());
    rows_.push_back(std::move(row));
}

int QueryResult::ColumnIndex(std::string_view name) const
{
    for (std::size_t i = 0; i < columns_.size(); ++i)
        if (SameTextAscii(columns_[i], name))
            return static_cast<int>(i);
    return -1;
}

const QueryResult::Cell* QueryResult::CurrentCell(std::string_view name) const
{
    const int column = ColumnIndex(name);
    if (column < 0 || Eof())
        return nullptr;
    return &rows_[current_][static_cast<std::size_t>(column)];
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
