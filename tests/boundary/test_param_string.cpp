// Parameter strings as hosts write and read them.
#include "boundary/codepage.h"
#include "boundary/param_buffer.h"
#include "boundary/param_string.h"

#include <privilege/privilege.h>

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <vector>

namespace priv {
namespace {

struct SetCase {
    const char* params;
    const char* name;
    const char* value;
    const char* expected;
};

TEST(ParamString, SetParamValueWorkedExamples)
{
    const SetCase cases[] = {
        {"", "CZY_DM", "admin", "CZY_DM=admin"},
        {"CZY_DM=admin", "CZY_LB", "0", "CZY_DM=admin;CZY_LB=0"},
        {"a=1;b=2", "a", "x=y;z", "a=x&eq%y&lim%z;b=2;"},
        {"a=1;", "c", "3", "a=1;c=3"},
        // A replacement rebuilds the string; empty pieces are no items.
        {"a=1;;b=2;", "b", "9", "a=1;b=9;"},
        // A piece without '=' keeps its text rather than gaining an empty value.
        {"flag;a=1", "a", "2", "flag;a=2;"},
        {"a=1;A=2", "A", "3", "a=1;A=3;"},
    };
    for (const SetCase& c : cases)
        EXPECT_EQ(SetParamValue(c.params, c.name, c.value), c.expected) << c.params << " set " << c.name;
}

struct GetCase {
    const char* params;
    const char* name;
    const char* expected;
};

TEST(ParamString, GetParamValueWorkedExamplesAndEdges)
{
    const GetCase cases[] = {
        {"a=;b=2;a=5", "a", "5"},
        {"k=x&eq%y", "k", "x=y"},
        {"CZY_DM=a;czy_dm=b", "czy_dm", "b"},
        {"CZY_DM=a;czy_dm=b", "CZY_DM", "a"},
        {"a=", "a", ""},
        {"b=1", "a", ""},
        {"", "a", ""},
        {"a", "a", ""},
        {"a=1=2", "a", "1=2"},
        {"list=p1\r\np2", "list", "p1\r\np2"},
        {"k=&lim%&eq%", "k", ";="},
    };
    for (const GetCase& c : cases)
        EXPECT_EQ(GetParamValue(c.params, c.name), c.expected) << c.params << " read " << c.name;
}

TEST(ParamString, ValuesHoldingSeparatorsSurviveAWriteAndARead)
{
    const std::vector<std::string> values = {"x=y;z", ";", "=", "a;b;c=d=e", "中文;值=", ""};
    for (const std::string& value : values) {
        for (const char* start : {"", "first=1", "first=1;", "a=0;first=1;last=2"}) {
            const std::string middle = SetParamValue(SetParamValue(start, "a", value), "z", "end");
            EXPECT_EQ(GetParamValue(middle, "a"), value) << start;
            const std::string last = SetParamValue(start, "a", value);
            EXPECT_EQ(GetParamValue(last, "a"), value) << start;
        }
    }
}

TEST(ParamString, EscapeMarkersBeforeEscapingDoNotSurvive)
{
    // The escape is plain text replacement: a value that already spells an
    // escape comes back with the separator in its place.
    EXPECT_EQ(GetParamValue(SetParamValue("", "k", "a&eq%b"), "k"), "a=b");
    EXPECT_EQ(GetParamValue(SetParamValue("", "k", "a&lim%b"), "k"), "a;b");
}

TEST(ParamString, SplitParamItemsKeepsTheLastPiece)
{
    EXPECT_EQ(SplitParamItems("a;b;", ';'), (std::vector<std::string>{"a", "b", ""}));
    EXPECT_EQ(SplitParamItems("", ';'), (std::vector<std::string>{""}));
    EXPECT_EQ(SplitParamItems("a", ';'), (std::vector<std::string>{"a"}));
}

TEST(ParamString, SplitLinesTakesEveryLineEnding)
{
    EXPECT_EQ(SplitLines("a\r\nb\nc\rd"), (std::vector<std::string>{"a", "b", "c", "d"}));
    EXPECT_EQ(SplitLines("a\n"), (std::vector<std::string>{"a"}));
    EXPECT_TRUE(SplitLines("").empty());
}

TEST(ParamBuffer, ResultMessageIsShortenedAtACharacterBoundaryToFitTheBuffer)
{
    const std::string params = "a=1";
    const std::string message = "[70018501]过滤用户系统权限发生异常：" + std::string(5000, 'x') + "中文结尾";
    const auto fitted = WithResultMessage(params, message, PRIV_PARAM_BUFFER_SIZE);
    ASSERT_TRUE(fitted.has_value());
    // Fits with its NUL, in the host's code page, and still reads back as a prefix.
    std::vector<char> buffer(PRIV_PARAM_BUFFER_SIZE, 'x');
    buffer[0] = '\0';
    std::strcpy(buffer.data(), "a=1");
    char* argv[1] = {buffer.data()};
    ASSERT_TRUE(WriteHostParamBuffer(argv, *fitted));
    const std::string readBack = *ReadParamBuffer(argv);
    const std::string value = GetParamValue(readBack, PRIV_KEY_RESULT_MESSAGE);
    EXPECT_GT(value.size(), 3000u);
    EXPECT_EQ(message.compare(0, value.size(), value), 0);
    EXPECT_EQ(GetParamValue(readBack, "a"), "1");

    const std::string shortMessage = "[70018511]过滤用户系统权限发生错误。";
    EXPECT_EQ(*WithResultMessage(params, shortMessage, PRIV_PARAM_BUFFER_SIZE),
              Utf8ToHost("a=1;ResultMsgStr=[70018511]过滤用户系统权限发生错误。"));
    EXPECT_FALSE(WithResultMessage(std::string(PRIV_PARAM_BUFFER_SIZE, 'p'), "m", PRIV_PARAM_BUFFER_SIZE));
}

TEST(ParamBuffer, AResultThatFitsToTheLastByteIsKeptWhole)
{
    const std::string message = "[70018511]过滤用户系统权限发生错误。";
    const std::string tail = Utf8ToHost(";ResultMsgStr=" + message);
    for (std::size_t capacity : {std::size_t{64}, std::size_t{PRIV_PARAM_BUFFER_SIZE}}) {
        SCOPED_TRACE(capacity);
        // The result and its NUL take exactly `capacity` bytes.
        const std::string params = "a=" + std::string(capacity - 1 - 2 - tail.size(), 'p');
        EXPECT_EQ(*WithResultMessage(params, message, capacity), params + tail);
        // One byte less and the message loses its last character (two bytes in
        // the code page), never half of one.
        EXPECT_EQ(*WithResultMessage(params, message, capacity - 1),
                  params + tail.substr(0, tail.size() - 2));
    }
}

// The module reads and writes no more than PRIV_PARAM_BUFFER_SIZE bytes of a
// host buffer, NUL included.
TEST(ParamBuffer, ReadsAndWritesStayWithinTheBound)
{
    struct Case {
        std::size_t nulAt; // PRIV_PARAM_BUFFER_SIZE: no NUL in the buffer
        bool read;
    };
    const Case cases[] = {{0, true}, {PRIV_PARAM_BUFFER_SIZE - 1, true}, {PRIV_PARAM_BUFFER_SIZE, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.nulAt);
        std::vector<char> buffer(PRIV_PARAM_BUFFER_SIZE, 'k');
        if (c.nulAt < buffer.size())
            buffer[c.nulAt] = '\0';
        char* argv[1] = {buffer.data()};
        const std::optional<std::string> bytes = ReadHostParamBytes(argv);
        EXPECT_EQ(bytes.has_value(), c.read);
        EXPECT_EQ(ReadParamBuffer(argv).has_value(), c.read);
        if (bytes) {
            EXPECT_EQ(*bytes, std::string(c.nulAt, 'k'));
        }
    }

    std::vector<char> buffer(PRIV_PARAM_BUFFER_SIZE, '\0');
    char* argv[1] = {buffer.data()};
    EXPECT_TRUE(WriteHostParamBuffer(argv, std::string(PRIV_PARAM_BUFFER_SIZE - 1, 'w')));
    EXPECT_EQ(std::strlen(buffer.data()), PRIV_PARAM_BUFFER_SIZE - 1u);
    EXPECT_FALSE(WriteHostParamBuffer(argv, std::string(PRIV_PARAM_BUFFER_SIZE, 'z')));
    EXPECT_FALSE(WriteParamBuffer(argv, std::string(PRIV_PARAM_BUFFER_SIZE, 'z')));
    EXPECT_EQ(buffer.front(), 'w') << "a result that does not fit writes nothing";
}

TEST(ParamBuffer, NullBuffersAreRefused)
{
    EXPECT_FALSE(ReadParamBuffer(nullptr).has_value());
    char* argv[1] = {nullptr};
    EXPECT_FALSE(ReadParamBuffer(argv).has_value());
    EXPECT_FALSE(WriteParamBuffer(argv, "a=1"));
}

TEST(ParamBuffer, BufferTextCrossesInTheHostCodePage)
{
    std::vector<char> buffer(PRIV_PARAM_BUFFER_SIZE, '\0');
    char* argv[1] = {buffer.data()};
    ASSERT_TRUE(WriteParamBuffer(argv, "CZY_MC=张三"));
    EXPECT_EQ(std::strlen(buffer.data()), std::strlen("CZY_MC=") + 4); // two GBK characters
    EXPECT_EQ(*ReadParamBuffer(argv), "CZY_MC=张三");
}

} // namespace
} // namespace priv
