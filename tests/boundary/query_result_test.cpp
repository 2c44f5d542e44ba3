// The result set the host's statement runners fill: rows kept in blocks,
// and a reader's sink that takes them a block at a time so that a large
// load never holds more than one block of rows.
#include "boundary/host.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace priv {
namespace {

constexpr int kBlock = 1024; // the rows a sink gets at a time

// Fills `rows` the way a runner does: row i has "i" as its code and a
// name that is empty text on even rows and null on odd ones.
void Fill(QueryResult& rows, int count)
{
    for (int i = 0; i < count; ++i) {
        rows.AddRow();
        rows.SetCell(0, std::to_string(i));
        if (i % 2 == 0)
            rows.SetCell(1, "");
    }
}

QueryResult CodesAndNames()
{
    QueryResult rows;
    rows.Reset({"DM", "MC"});
    return rows;
}

// Without a sink every row stays, in order, and keeps its cells when the
// result is moved (the cells point into the result's own text blocks).
TEST(QueryResult, KeepsEveryRowAcrossBlocksAndMoves)
{
    QueryResult filled = CodesAndNames();
    Fill(filled, 3 * kBlock + 7);
    QueryResult rows = std::move(filled);

    ASSERT_EQ(rows.RecordCount(), 3 * kBlock + 7);
    int expected = 0;
    for (rows.First(); !rows.Eof(); rows.Next(), ++expected) {
        ASSERT_EQ(rows.AsInteger("dm"), expected) << "column names match in any letter case";
        ASSERT_EQ(rows.IsNull("MC"), expected % 2 == 1) << "row " << expected;
        ASSERT_EQ(rows.AsString("MC"), "");
    }
    EXPECT_EQ(expected, 3 * kBlock + 7);
}

// A sink sees every row once, in order, a full block at a time and the rest
// at the flush; while it reads, the result holds that block alone.
TEST(QueryResult, HandsRowsToItsSinkABlockAtATime)
{
    QueryResult rows = CodesAndNames();
    std::vector<int> heldAtHandOver;
    std::vector<int> seen;
    rows.SetRowSink([&](QueryResult& block) {
        heldAtHandOver.push_back(block.RecordCount());
        for (; !block.Eof(); block.Next())
            seen.push_back(static_cast<int>(block.AsInteger("DM")));
    });

    Fill(rows, 2 * kBlock + 452);
    EXPECT_EQ(heldAtHandOver, (std::vector<int>{kBlock, kBlock}));
    EXPECT_EQ(rows.RecordCount(), 452) << "handed-over blocks are dropped";

    rows.FlushRowSink();
    EXPECT_EQ(heldAtHandOver, (std::vector<int>{kBlock, kBlock, 452}));
    EXPECT_EQ(rows.RecordCount(), 0);
    ASSERT_EQ(seen.size(), static_cast<std::size_t>(2 * kBlock + 452));
    for (std::size_t i = 0; i < seen.size(); ++i)
        ASSERT_EQ(seen[i], static_cast<int>(i));
    EXPECT_FALSE(rows.SinkFailed());

    rows.FlushRowSink();
    EXPECT_EQ(heldAtHandOver.size(), 3u) << "an empty flush hands nothing over";
}

// A sink that throws gets no further rows, the throw goes no further than
// the result (the runner filling it is the host's), the rows still go, and
// the reader learns of it; a new sink starts afresh.
TEST(QueryResult, ASinkThatThrowsFailsTheReadAndNothingElse)
{
    QueryResult rows = CodesAndNames();
    int handOvers = 0;
    rows.SetRowSink([&](QueryResult&) {
        ++handOvers;
        throw std::runtime_error("the reader could not build a node");
    });

    EXPECT_NO_THROW(Fill(rows, 3 * kBlock + 1));
    EXPECT_NO_THROW(rows.FlushRowSink());
    EXPECT_EQ(handOvers, 1);
    EXPECT_TRUE(rows.SinkFailed());
    EXPECT_EQ(rows.RecordCount(), 0) << "the rows are dropped whether or not the sink took them";

    int taken = 0;
    rows.SetRowSink([&](QueryResult& block) { taken += block.RecordCount(); });
    EXPECT_FALSE(rows.SinkFailed());
    Fill(rows, 10);
    rows.FlushRowSink();
    EXPECT_EQ(taken, 10);
}

// A reader that keeps some columns gets those, across blocks and moves;
// the others read as null whatever the runner hands over, until the
// columns are asked for again and a statement resets the result.
TEST(QueryResult, KeepsOnlyTheColumnsAReaderNames)
{
    QueryResult filled;
    filled.KeepColumns({"dm", "SM"});
    filled.Reset({"DM", "MC", "SM"});
    EXPECT_TRUE(filled.Keeps(0));
    EXPECT_FALSE(filled.Keeps(1));
    EXPECT_TRUE(filled.Keeps(2));
    EXPECT_FALSE(filled.Keeps(3)) << "no such column";
    for (int i = 0; i < kBlock + 3; ++i) {
        filled.AddRow();
        filled.SetCell(0, std::to_string(i));
        filled.SetCell(1, "dropped");
        filled.SetCell(2, "S" + std::to_string(i));
    }
    QueryResult rows = std::move(filled);
    int expected = 0;
    for (rows.First(); !rows.Eof(); rows.Next(), ++expected) {
        ASSERT_EQ(rows.AsInteger("DM"), expected);
        ASSERT_TRUE(rows.IsNull("MC"));
        ASSERT_EQ(rows.AsText("MC"), "");
        ASSERT_EQ(rows.AsString("SM"), "S" + std::to_string(expected));
    }
    EXPECT_EQ(expected, kBlock + 3);

    rows.KeepColumns({});
    rows.Reset({"DM", "MC"});
    Fill(rows, 2);
    EXPECT_EQ(rows.AsString("MC"), "") << "every column again";
    EXPECT_FALSE(rows.IsNull("MC"));
}

} // namespace
} // namespace priv
