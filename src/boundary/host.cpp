#include "boundary/host.h"

#include "boundary/datetime.h"
#include "boundary/text.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <utility>

namespace priv {

namespace {
// The first text block of a result; each next one is twice the last, up to
// the largest. A text longer than a quarter of the largest gets a block of
// its own, so that a few long texts do not leave blocks half empty.
constexpr std::size_t kFirstTextBlock = 256;
constexpr std::size_t kLargestTextBlock = std::size_t{64} * 1024;
} // namespace

QueryResult& QueryResult::operator=(QueryResult&& other) noexcept
{
    if (this == &other)
        return *this;
    columns_ = std::move(other.columns_);
    kept_ = std::move(other.kept_);
    slotOf_ = std::move(other.slotOf_);
    cellsPerRow_ = std::exchange(other.cellsPerRow_, 0);
    rows_ = std::move(other.rows_);
    texts_ = std::move(other.texts_);
    textFree_ = std::exchange(other.textFree_, nullptr);
    textLeft_ = std::exchange(other.textLeft_, 0);
    nextTextBlock_ = std::exchange(other.nextTextBlock_, 0);
    rowCount_ = std::exchange(other.rowCount_, 0);
    current_ = std::exchange(other.current_, 0);
    maxRecords_ = other.maxRecords_;
    sink_ = std::move(other.sink_);
    other.sink_ = nullptr;
    sinkFailed_ = std::exchange(other.sinkFailed_, false);
    other.columns_.clear();
    other.kept_.clear();
    other.slotOf_.clear();
    other.rows_.clear();
    other.texts_.clear();
    for (std::size_t i = 0; i < std::size(memo_); ++i) {
        memo_[i] = other.memo_[i];
        other.memo_[i] = NameMemo{};
    }
    return *this;
}

void QueryResult::Reset(std::vector<std::string> columns)
{
    columns_ = std::move(columns);
    DropRows();
    slotOf_.assign(columns_.size(), -1);
    cellsPerRow_ = 0;
    for (std::size_t i = 0; i < columns_.size(); ++i)
        if (kept_.empty() || std::any_of(kept_.begin(), kept_.end(), [&](const std::string& name) {
                return SameTextAscii(name, columns_[i]);
            }))
            slotOf_[i] = static_cast<int>(cellsPerRow_++);
    nextTextBlock_ = kFirstTextBlock;
    sinkFailed_ = false;
    for (NameMemo& memo : memo_)
        memo = NameMemo{};
}

void QueryResult::DropRows()
{
    // The first block of rows stays for the next statement: a query object
    // serves many small ones. Everything else goes now, not when the object
    // does.
    rows_.resize(rows_.empty() ? 0 : 1);
    if (!rows_.empty()) {
        rows_.front().clear();
        if (rows_.front().capacity() > kRowsPerBlock * 4)
            rows_.front().shrink_to_fit();
    }
    texts_.clear();
    textFree_ = nullptr;
    textLeft_ = 0;
    rowCount_ = 0;
    current_ = 0;
}

void QueryResult::KeepColumns(std::vector<std::string> names)
{
    kept_ = std::move(names);
}

void QueryResult::SetRowSink(RowSink sink)
{
    sink_ = std::move(sink);
    sinkFailed_ = false;
}

void QueryResult::HandOverRows()
{
    current_ = 0;
    if (!sinkFailed_) {
        try {
            sink_(*this);
        } catch (...) {
            // The runner that fills the result is the host's: nothing of the
            // reader's may pass through it.
            sinkFailed_ = true;
        }
    }
    DropRows();
}

void QueryResult::FlushRowSink()
{
    if (sink_ && rowCount_ > 0)
        HandOverRows();
}

void QueryResult::AddRow()
{
    if (sink_ && rowCount_ == kRowsPerBlock)
        HandOverRows();
    const std::size_t block = rowCount_ / kRowsPerBlock;
    if (block == rows_.size()) {
        rows_.emplace_back();
        if (block > 0)
            rows_.back().reserve(kRowsPerBlock * cellsPerRow_);
    }
    rows_[block].resize(rows_[block].size() + cellsPerRow_);
    ++rowCount_;
}

void QueryResult::SetCell(std::size_t column, std::string_view text)
{
    if (rowCount_ == 0 || !Keeps(column))
        return;
    const std::size_t row = rowCount_ - 1;
    Cell& cell = rows_[row / kRowsPerBlock]
                      [(row % kRowsPerBlock) * cellsPerRow_ + static_cast<std::size_t>(slotOf_[column])];
    cell.isNull = false;
    cell.size = static_cast<std::uint32_t>(text.size() < UINT32_MAX ? text.size() : UINT32_MAX);
    cell.text = cell.size > 0 ? KeepText(text.substr(0, cell.size)) : nullptr;
}

const char* QueryResult::KeepText(std::string_view text)
{
    if (text.size() > kLargestTextBlock / 4) {
        texts_.push_back(std::make_unique_for_overwrite<char[]>(text.size()));
        std::memcpy(texts_.back().get(), text.data(), text.size());
        return texts_.back().get();
    }
    if (text.size() > textLeft_) {
        // Texts up to a quarter of the largest block come here, so that the
        // next block is the larger of its turn and the text.
        const std::size_t size = std::max({nextTextBlock_, kFirstTextBlock, text.size()});
        texts_.push_back(std::make_unique_for_overwrite<char[]>(size));
        textFree_ = texts_.back().get();
        textLeft_ = size;
        nextTextBlock_ = std::min(size * 2, kLargestTextBlock);
    }
    char* kept = textFree_;
    std::memcpy(kept, text.data(), text.size());
    textFree_ += text.size();
    textLeft_ -= text.size();
    return kept;
}

void QueryResult::ReserveRows(std::size_t rows)
{
    if (rows_.empty())
        rows_.emplace_back();
    rows_.front().reserve(std::min(rows, kRowsPerBlock) * cellsPerRow_);
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
    if (column < 0 || Eof() || !Keeps(static_cast<std::size_t>(column)))
        return nullptr;
    return &rows_[current_ / kRowsPerBlock]
                 [(current_ % kRowsPerBlock) * cellsPerRow_ +
                  static_cast<std::size_t>(slotOf_[static_cast<std::size_t>(column)])];
}

bool QueryResult::IsNull(std::string_view name) const
{
    const Cell* cell = CurrentCell(name);
    return !cell || cell->isNull;
}

std::string QueryResult::AsString(std::string_view name) const
{
    const Cell* cell = CurrentCell(name);
    return cell && !cell->isNull && cell->size > 0 ? std::string(cell->text, cell->size) : std::string();
}

std::string_view QueryResult::AsText(std::string_view name) const
{
    const Cell* cell = CurrentCell(name);
    return cell && !cell->isNull && cell->size > 0 ? std::string_view(cell->text, cell->size)
                                                   : std::string_view();
}

std::int64_t QueryResult::AsInteger(std::string_view name) const
{
    const Cell* cell = CurrentCell(name);
    if (!cell || cell->isNull)
        return 0;
    // Digits are read up to the first that is none, as strtoll reads them;
    // the cell's text is not NUL-terminated.
    char digits[32];
    const std::size_t size = cell->size < sizeof digits - 1 ? cell->size : sizeof digits - 1;
    if (size > 0)
        std::memcpy(digits, cell->text, size);
    digits[size] = '\0';
    return std::strtoll(digits, nullptr, 10);
}

double QueryResult::AsDateTime(std::string_view name) const
{
    const Cell* cell = CurrentCell(name);
    if (!cell || cell->isNull)
        return 0.0;
    return ParseDateTime(std::string_view(cell->text, cell->size)).value_or(0.0);
}

} // namespace priv
