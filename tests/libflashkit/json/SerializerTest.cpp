// SPDX-License-Identifier: Apache-2.0
#include "json/Serializer.h"

#include <gtest/gtest.h>

#include <iterator>
#include <limits>
#include <string>

#include "json/Parser.h"

namespace pocketjson {
namespace {

using namespace std::string_literals;

Value fromText(const std::string& text) {
    Parser parser;
    Value value;
    EXPECT_TRUE(parser.parse(text, value)) << parser.error();
    return value;
}

std::string toText(const Value& value, const SerializeOption& option = SerializeOption()) {
    std::string text;
    std::string error;
    EXPECT_TRUE(Serializer::serializeToString(value, text, option, &error)) << error;
    return text;
}

TEST(Serializer, CompactWritesMembersInKeyOrder) {
    EXPECT_EQ(toText(fromText(R"({"b":[],"a":{"c":1.5}})")), R"({"a":{"c":1.5},"b":[]})");
    // Byte order: upper case before lower case, a prefix before its extensions, high bytes last.
    EXPECT_EQ(toText(fromText("{\"\xC3\xA9\":1,\"ab\":2,\"a\":3,\"B\":4}")),
              "{\"B\":4,\"a\":3,\"ab\":2,\"\xC3\xA9\":1}");
}

TEST(Serializer, Scalars) {
    const struct {
        Value value;
        const char* text;
    } cases[] = {
        {Value(), "null"},
        {Value(true), "true"},
        {Value(false), "false"},
        {Value(0), "0"},
        {Value(-1), "-1"},
        {Value(9), "9"},
        {Value(10), "10"},
        {Value(-99), "-99"},
        {Value(100), "100"},
        {Value(1234567), "1234567"},
        {Value(std::numeric_limits<int64_t>::max()), "9223372036854775807"},
        {Value(std::numeric_limits<int64_t>::min()), "-9223372036854775808"},
        {Value(0.0), "0.0"},
        {Value(-0.0), "0.0"},
        {Value(1.0), "1"},
        {Value(0.1), "0.10000000000000001"},
        {Value(-1e300), "-1.0000000000000001e+300"},
        {Value(""), "\"\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(toText(c.value), c.text);
    }
}

TEST(Serializer, StringEscapes) {
    const struct {
        std::string bytes;
        std::string text;
    } cases[] = {
        {"\x01/\xC3\xA9", "\"\\u0001/\xC3\xA9\""},
        {"\b\t\n\f\r", R"("\b\t\n\f\r")"},
        {"\"\\", R"("\"\\")"},
        {"\0\x1F\x7F"s, R"("\u0000\u001f\u007f")"},
        {"\x0B\x1B", R"("\u000b\u001b")"},
        {"\x80\xFF plain ~", "\"\x80\xFF plain ~\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        std::string out;
        auto it = std::back_inserter(out);
        Serializer::serialize_string(it, c.bytes);
        EXPECT_EQ(out, c.text);
        EXPECT_EQ(toText(Value(c.bytes)), c.text);  // the same through a value
    }
}

TEST(Serializer, PrettyLayouts) {
    const Value value = fromText(R"({"b":{"c":"x","d":{}},"a":[1,[]]})");
    // '|' stands for a line break and '>' for one indent unit.
    const std::string layout =
        "{|>\"a\": [|>>1,|>>[]|>],|>\"b\": {|>>\"c\": \"x\",|>>\"d\": {}|>}|}";
    const struct {
        uint32_t option;
        const char* lineBreak;
        const char* unit;
    } cases[] = {
        {SerializeOption::Pretty, "\n", "  "},
        {SerializeOption::Pretty | SerializeOption::IndentFourSpaces, "\n", "    "},
        {SerializeOption::Pretty | SerializeOption::IndentTab, "\n", "\t"},
        {SerializeOption::Pretty | 0x3, "\n", "  "},  // the unused unit falls back to two spaces
        {SerializeOption::Pretty | SerializeOption::CrLf, "\r\n", "  "},
        {SerializeOption::Pretty | SerializeOption::CrLf | SerializeOption::IndentTab, "\r\n",
         "\t"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.option);
        std::string expected;
        for (const char ch : layout) {
            if (ch == '|')
                expected += c.lineBreak;
            else if (ch == '>')
                expected += c.unit;
            else
                expected += ch;
        }
        EXPECT_EQ(toText(value, c.option), expected);
    }
    // Without Pretty the unit and line-break bits change nothing.
    EXPECT_EQ(toText(value, SerializeOption::CrLf | SerializeOption::IndentTab),
              R"({"a":[1,[]],"b":{"c":"x","d":{}}})");
    // A scalar or empty container at top level has no line break at all.
    EXPECT_EQ(toText(Value(Object), SerializeOption::Pretty), "{}");
    EXPECT_EQ(toText(Value(Array), SerializeOption::Pretty), "[]");
    EXPECT_EQ(toText(Value(3), SerializeOption::Pretty), "3");
}

TEST(Serializer, NanAndInfinityFail) {
    for (const double bad :
         {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
          -std::numeric_limits<double>::infinity()}) {
        SCOPED_TRACE(bad);
        Value value = fromText(R"({"a":1,"b":[true,0],"c":2})");
        Value array(Array);
        array.push_back(Value(true));
        array.push_back(Value(bad));
        array.push_back(Value(5));
        value["b"] = array;
        std::string out;
        std::string error;
        EXPECT_FALSE(Serializer::serializeToString(value, out, SerializeOption(), &error));
        EXPECT_EQ(error, "Floating point is nan or inf.");
        // What came before stays written; nothing after the failing element is.
        EXPECT_EQ(out, R"({"a":1,"b":[true,)");
        // Without an error string the failure is still reported.
        std::string quiet;
        EXPECT_FALSE(Serializer::serializeToString(Value(bad), quiet));
    }
}

TEST(Serializer, WritesThroughAnyOutputIterator) {
    char buffer[64] = {};
    char* out = buffer;
    ASSERT_TRUE(Serializer::serialize(out, fromText(R"({"k":[1,"v",null]})")));
    EXPECT_EQ(out - buffer, 18);
    EXPECT_STREQ(buffer, R"({"k":[1,"v",null]})");

    std::string text = "prefix:";
    auto it = std::back_inserter(text);
    ASSERT_TRUE(Serializer::serialize(it, fromText("[0.5]"), SerializeOption::Pretty));
    EXPECT_EQ(text, "prefix:[\n  0.5\n]");
}

// A chain of arrays `depth` levels deep, built in code.
Value nestedArrays(int depth) {
    Value value(Array);
    for (int i = 1; i < depth; ++i) {
        Value outer(Array);
        outer.push_back(value);
        value = outer;
    }
    return value;
}

TEST(Serializer, DeepNestingIsLimited) {
    const int limit = Serializer::kMaxDepth;
    std::string out;
    EXPECT_TRUE(Serializer::serializeToString(nestedArrays(limit), out));
    EXPECT_EQ(out, std::string(limit, '[') + std::string(limit, ']'));
    // Whatever the parser accepts can be written back.
    EXPECT_EQ(limit, Parser::kMaxDepth);

    std::string tooDeep;
    std::string error;
    EXPECT_FALSE(
        Serializer::serializeToString(nestedArrays(limit + 1), tooDeep, SerializeOption(), &error));
    EXPECT_EQ(error, "Nesting is too deep while serializing.");

    Value objects(Object);
    for (int i = 0; i < limit; ++i) {
        Value outer;
        outer.insert("k", objects);
        objects = outer;
    }
    EXPECT_FALSE(Serializer::serializeToString(objects, tooDeep, SerializeOption::Pretty, &error));
    EXPECT_EQ(error, "Nesting is too deep while serializing.");
}

}  // namespace
}  // namespace pocketjson
