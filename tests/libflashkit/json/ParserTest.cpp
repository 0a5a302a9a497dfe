// SPDX-License-Identifier: Apache-2.0
#include "json/Parser.h"

#include <gtest/gtest.h>

#include "libflashkit/json/CommaLocale.h"

#include <clocale>
#include <cmath>
#include <cstring>
#include <locale.h>
#include <string>
#include <vector>

#include "json/Double.h"
#include "json/Serializer.h"

namespace pocketjson {
namespace {

using namespace std::string_literals;

// The message of a failed parse, or "" when it succeeded.
std::string errorOf(const std::string& text, const ParseOption& option = ParseOption()) {
    Parser parser;
    Value value;
    return parser.parse(text, value, option) ? std::string() : parser.error();
}

Value parsed(const std::string& text, const ParseOption& option = ParseOption()) {
    Parser parser;
    Value value;
    EXPECT_TRUE(parser.parse(text, value, option)) << text << ": " << parser.error();
    return value;
}

TEST(Parser, EachErrorHasItsMessage) {
    const struct {
        std::string text;
        const char* message;
    } cases[] = {
        {"{} x", "Gabage string exists after json string."},
        {"1 2", "Gabage string exists after json string."},
        {"truex", "Gabage string exists after json string."},
        {"", "Unexpected character exists while parsing."},
        {"   ", "Unexpected character exists while parsing."},
        {"x", "Unexpected character exists while parsing."},
        {"[+1]", "Unexpected character exists while parsing."},
        {"tru", "Invalid boolean type string exists."},
        {"fals", "Invalid boolean type string exists."},
        {"trUe", "Invalid boolean type string exists."},
        {"nul", "Invalid null type string exists."},
        {"nil", "Invalid null type string exists."},
        {R"("\x")", "Unexpected escape character is found while parsing string."},
        {"\"\\", "Unexpected escape character is found while parsing string."},
        {R"("abc)", "Expected string ending character '\"' is not found."},
        {R"(")", "Expected string ending character '\"' is not found."},
        {R"("\ud83d")", "Invalid unicode surrogate pair is found while parsing string."},
        {R"("\ud83d\n")", "Invalid unicode surrogate pair is found while parsing string."},
        {R"("\ud83d\u0041")", "Invalid unicode surrogate pair is found while parsing string."},
        {R"("\ude00")", "Invalid unicode surrogate pair is found while parsing string."},
        {R"("\ud83d\)", "Invalid unicode surrogate pair is found while parsing string."},
        {R"("\u12G4")", "Invalid unicode hex string is found while parsing string."},
        {R"("\u12)", "Invalid unicode hex string is found while parsing string."},
        {R"("\ud83d\uZZZZ")", "Invalid unicode hex string is found while parsing string."},
        {R"({"a" 1})", "Unexpected string exists while parsing object."},
        {R"({1:2})", "Unexpected string exists while parsing object."},
        {R"({"a":1 "b":2})", "Unexpected string exists while parsing object."},
        {R"({"a":1)", "Unexpected string exists while parsing object."},
        {"{ ", "Unexpected string exists while parsing object."},
        {R"({"a")", "Unexpected string exists while parsing object."},
        {R"({"a":1,})", "Unexpected comma exists while parsing object."},
        {"[1,]", "Unexpected comma exists while parsing array."},
        {"[1,2", "Unexpected string exists while parsing array."},
        {"[1 2]", "Unexpected string exists while parsing array."},
        {"[1}", "Unexpected string exists while parsing array."},
        {"01", "Unexpected '0' character is found while parsing number."},
        {"-00", "Unexpected '0' character is found while parsing number."},
        {"-", "Digit is not found while parsing number."},
        {"-a", "Digit is not found while parsing number."},
        {"1.", "Digit is not found after the decimal point while parsing number."},
        {"1.e3", "Digit is not found after the decimal point while parsing number."},
        {"1e", "Digit is not found after exponent keyword while parsing number."},
        {"1E+", "Digit is not found after exponent keyword while parsing number."},
        {"1e-x", "Digit is not found after exponent keyword while parsing number."},
        {"{\"a\":1}" + std::string(1, '\0') + "x", ""},  // the zero byte ends the text
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(errorOf(c.text), c.message);
    }
}

TEST(Parser, NumberKinds) {
    const struct {
        const char* text;
        Type type;
        int64_t integer;
        double real;
    } cases[] = {
        {"0", Integer, 0, 0},
        {"-0", Integer, 0, 0},
        {"1e0", Integer, 1, 0},
        {"12E-00", Integer, 12, 0},
        {"1E2", Real, 0, 100.0},
        {"1e+2", Real, 0, 100.0},
        {"0.5", Real, 0, 0.5},
        {"1.0", Real, 0, 1.0},
        {"-2.5e-3", Real, 0, -0.0025},
        {"1.5e0", Real, 0, 1.5},
        {"9223372036854775807", Integer, INT64_MAX, 0},
        {"-9223372036854775807", Integer, -INT64_MAX, 0},
        {"9223372036854775808", Real, 0, 9223372036854775808.0},
        {"-9223372036854775808", Real, 0, -9223372036854775808.0},
        {"9999999999999999991", Real, 0, 9999999999999999991.0},
        {"99999999999999999999", Real, 0, 99999999999999999999.0},
        {"1e999", Real, 0, HUGE_VAL},
        {"-1e999", Real, 0, -HUGE_VAL},
        {"1e-999", Real, 0, 0.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const Value value = parsed(c.text);
        ASSERT_EQ(value.type(), c.type);
        if (c.type == Integer)
            EXPECT_EQ(value.integerValue(), c.integer);
        else
            EXPECT_EQ(value.realValue(), c.real);
    }
}

TEST(Parser, NumberEndsAtFirstByteThatCannotContinueIt) {
    // Inside containers the next byte is the container's business, at top level the garbage
    // check's.
    EXPECT_EQ(parsed("[1.5,-2]"), parsed("[ 1.5 , -2 ]"));
    EXPECT_EQ(errorOf("[1.5x]"), "Unexpected string exists while parsing array.");
    EXPECT_EQ(errorOf("12a"), "Gabage string exists after json string.");
    EXPECT_EQ(errorOf("0x1"), "Gabage string exists after json string.");
}

TEST(Parser, StringEscapes) {
    const struct {
        const char* text;
        std::string bytes;
    } cases[] = {
        {R"("\"\\\/\b\f\n\r\t")", "\"\\/\b\f\n\r\t"},
        {R"("\u0041\u00e9\u20AC")", "A\xC3\xA9\xE2\x82\xAC"},
        {R"("\ud83d\ude00")", "\xF0\x9F\x98\x80"},
        {R"("\uDBFF\uDFFF")", "\xF4\x8F\xBF\xBF"},
        {R"("a\u0000b")", "a\0b"s},
        // Raw bytes, control bytes and invalid UTF-8 included, are kept as they are.
        {"\"\x01\t\xFF\xC3\"", "\x01\t\xFF\xC3"},
        {R"("")", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const Value value = parsed(c.text);
        ASSERT_TRUE(value.isString());
        EXPECT_EQ(value.stringValue(), c.bytes);
    }
}

TEST(Parser, ByteOrderMarkAndTrailingBytes) {
    EXPECT_TRUE(parsed("\xEF\xBB\xBF{}").isObject());
    // The mark's bytes are skipped one by one while they match, so a truncated mark vanishes
    // too; a byte beyond the mark is the value parser's.
    EXPECT_TRUE(parsed("\xEF\xBB{}").isObject());
    EXPECT_TRUE(parsed("\xEF[]").isArray());
    EXPECT_EQ(errorOf("\xEF\xBB\xBF\xBF{}"), "Unexpected character exists while parsing.");
    EXPECT_EQ(errorOf("\xBB\xBF{}"), "Unexpected character exists while parsing.");
    EXPECT_EQ(errorOf(" {} \r\n\t"), "");
    EXPECT_EQ(errorOf("{}"s + '\0'), "");
    EXPECT_EQ(errorOf("{} "s + '\0' + "garbage"), "");
    EXPECT_EQ(errorOf("{} x", ParseOption::AllowTrailingCharacters), "");
    EXPECT_EQ(errorOf("[1]]", ParseOption::AllowTrailingCharacters), "");
    // Whitespace other than the four JSON bytes is garbage.
    EXPECT_EQ(errorOf("{}\f"), "Gabage string exists after json string.");
}

TEST(Parser, TrailingCommaOption) {
    const ParseOption allow(ParseOption::AllowTrailingComma);
    EXPECT_EQ(parsed(R"({"a":1,})", allow), parsed(R"({"a":1})"));
    EXPECT_EQ(parsed("[1, 2 ,]", allow), parsed("[1,2]"));
    // An empty container never takes a comma.
    EXPECT_EQ(errorOf("[,]", allow), "Unexpected character exists while parsing.");
    EXPECT_EQ(errorOf("{,}", allow), "Unexpected string exists while parsing object.");
    EXPECT_EQ(errorOf("[1,,]", allow), "Unexpected character exists while parsing.");
}

TEST(Parser, ContainersLeftOpenAtTheEndSucceed) {
    EXPECT_EQ(parsed("[1,"), parsed("[1]"));
    EXPECT_EQ(parsed("["), parsed("[]"));
    EXPECT_EQ(parsed(R"({"a":1,)"), parsed(R"({"a":1})"));
    // Only the innermost container ends there: its parents then miss their closing bracket.
    EXPECT_EQ(errorOf(R"({"a":[{"b":[)"), "Unexpected string exists while parsing object.");
    EXPECT_EQ(errorOf("[[1,"), "Unexpected string exists while parsing array.");
    // Only right after the bracket or comma: whitespace there means a value must follow.
    EXPECT_EQ(errorOf("[1, "), "Unexpected character exists while parsing.");
}

TEST(Parser, DuplicateKeysKeepTheFirstValue) {
    const Value value = parsed(R"({"a":1,"b":2,"a":{"x":3}})");
    EXPECT_EQ(value.size(), 2u);
    EXPECT_EQ(value["a"], Value(1));
}

TEST(Parser, FailureLeavesThePartialTree) {
    const struct {
        const char* text;
        const char* partial;  // what the target holds, in JSON
    } cases[] = {
        {R"({"a": tru})", R"({"a":null})"},
        {R"({"a":1,"b":[2,"x)", R"({"a":1,"b":[2,null]})"},
        {"[1,[2,3,x]]", "[1,[2,3,null]]"},
        {R"({"a":1,"b" 2})", R"({"a":1})"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        Parser parser;
        Value value;
        EXPECT_FALSE(parser.parse(c.text, value));
        EXPECT_EQ(value, parsed(c.partial));
    }
}

TEST(Parser, TargetContentIsReplacedOrExtended) {
    Parser parser;
    Value value(Value("old"));
    ASSERT_TRUE(parser.parse("7", value));
    EXPECT_EQ(value, Value(7));

    // A string target that nobody shares is reused; a shared one is left to its other holder.
    Value text("first");
    const Value holder = text;
    ASSERT_TRUE(parser.parse(R"("second")", text));
    EXPECT_EQ(text, Value("second"));
    EXPECT_EQ(holder, Value("first"));

    // An existing array or object is appended to.
    Value array = parsed("[1]");
    ASSERT_TRUE(parser.parse("[2]", array));
    EXPECT_EQ(array, parsed("[1,2]"));
    Value object = parsed(R"({"a":1})");
    ASSERT_TRUE(parser.parse(R"({"a":2,"b":3})", object));
    EXPECT_EQ(object, parsed(R"({"a":1,"b":3})"));
}

TEST(Parser, NeverReadsPastTheEnd) {
    // Each text is copied into a buffer of exactly its size, so that a read past the end is
    // caught by the address sanitizer; the same text followed by more bytes must not change the
    // outcome of the part that was read.
    const char* texts[] = {"tru", "nul", "fals", "\"\\u12", "\"\\ud83d\\", "\"\\ud83d", "\"abc\\",
                           "-",   "1.",  "1e",   "1e+",     "[1,",         "{\"a\"",    "\xEF\xBB"};
    for (const char* text : texts) {
        SCOPED_TRACE(text);
        const size_t length = std::strlen(text);
        std::vector<char> exact(text, text + length);
        Parser parser;
        Value value;
        parser.parse(exact.data(), exact.data() + exact.size(), value);
        EXPECT_EQ(parser.error(), errorOf(text));
    }
    // Not zero-terminated: the bytes after the range are never looked at.
    const char buffer[] = "[1,2]xyz";
    Parser parser;
    Value value;
    EXPECT_TRUE(parser.parse(buffer, buffer + 5, value));
    EXPECT_EQ(value, parsed("[1,2]"));
}

TEST(Parser, DeepNestingIsLimited) {
    const int limit = Parser::kMaxDepth;
    EXPECT_EQ(errorOf(std::string(limit, '[') + std::string(limit, ']')), "");
    EXPECT_EQ(errorOf(std::string(limit + 1, '[') + std::string(limit + 1, ']')),
              "Nesting is too deep while parsing.");
    std::string objects;
    for (int i = 0; i <= limit; ++i) objects += "{\"a\":";
    EXPECT_EQ(errorOf(objects), "Nesting is too deep while parsing.");
    // Far beyond the limit: fails cleanly instead of exhausting the stack.
    EXPECT_EQ(errorOf(std::string(100000, '[')), "Nesting is too deep while parsing.");
    // The count goes down again when a container closes.
    std::string siblings = "[";
    for (int i = 0; i < 3; ++i)
        siblings += std::string(limit - 1, '[') + std::string(limit - 1, ']') + ",";
    siblings.back() = ']';
    EXPECT_EQ(errorOf(siblings), "");
}

// Records the events as text, and cancels at a chosen event.
class Recorder : public AbstractParseHandler {
public:
    explicit Recorder(int cancelAt = -1) : m_cancelAt(cancelAt) {}
    std::vector<std::string> events;

    bool onNull() override { return add("null"); }
    bool onBoolean(const bool& v) override { return add(v ? "true" : "false"); }
    bool onInteger(const int64_t& v) override { return add("int " + std::to_string(v)); }
    bool onReal(const double& v) override { return add("real " + std::to_string(v)); }
    bool onString(const std::string& v) override { return add("string " + v); }
    bool onBeginArray() override { return add("["); }
    bool onEndArray(const size_t& n) override { return add("] " + std::to_string(n)); }
    bool onBeginObject() override { return add("{"); }
    bool onKey(const std::string& k) override { return add("key " + k); }
    bool onEndObject(const size_t& n) override { return add("} " + std::to_string(n)); }

private:
    bool add(const std::string& event) {
        events.push_back(event);
        return static_cast<int>(events.size()) - 1 != m_cancelAt;
    }
    int m_cancelAt;
};

TEST(ParserHandler, ReceivesEveryEventInOrder) {
    Recorder recorder;
    Parser parser;
    ASSERT_TRUE(
        parser.parse(R"({"a":[1,2.5,"s",true,false,null,{}],"b":{"c":[]},"a":0})", recorder));
    const std::vector<std::string> expected = {
        "{", "key a", "[", "int 1", "real 2.500000", "string s", "true", "false", "null", "{",
        "} 0", "] 7", "key b", "{", "key c", "[", "] 0", "} 1",
        // The handler sees duplicate keys; only a tree keeps the first.
        "key a", "int 0", "} 3"};
    EXPECT_EQ(recorder.events, expected);
}

TEST(ParserHandler, FalseFromAnyEventCancels) {
    const std::string text = R"({"a":[1,2.5,"s",true,null]})";
    Recorder all;
    ASSERT_TRUE(Parser().parse(text, all));
    for (size_t at = 0; at < all.events.size(); ++at) {
        SCOPED_TRACE(all.events[at]);
        Recorder recorder(static_cast<int>(at));
        Parser parser;
        EXPECT_FALSE(parser.parse(text, recorder));
        EXPECT_EQ(parser.error(), "SAX handler cancels parsing.");
        EXPECT_EQ(recorder.events.size(), at + 1);  // nothing after the cancelling event
    }
}

TEST(ParserHandler, ReportsSyntaxErrorsLikeTheTreeParse) {
    for (const char* text : {"[1,]", "{\"a\" 1}", "[1] x", "\"\\ud83d\""}) {
        SCOPED_TRACE(text);
        Recorder recorder;
        Parser parser;
        EXPECT_FALSE(parser.parse(text, recorder));
        EXPECT_EQ(parser.error(), errorOf(text));
    }
}

TEST(ParserBuildingBlocks, WorkOnTheIteratorPosition) {
    Parser parser;
    const std::string text = "\"k\\u00e9y\" : 12";
    Parser::Iterator it(text);
    std::string key;
    ASSERT_TRUE(parser.parse_string(key, it));
    EXPECT_EQ(key, "k\xC3\xA9y");
    EXPECT_EQ(*it, ' ');  // just past the closing quote

    const std::string hex = "beEF!";
    Parser::Iterator hexIt(hex);
    uint16_t unit = 0;
    ASSERT_TRUE(parser.parse_hex(unit, hexIt));
    EXPECT_EQ(unit, 0xBEEF);
    EXPECT_EQ(*hexIt, '!');

    // A building block called where its value does not start fails instead of reading on.
    const std::string empty;
    for (int block = 0; block < 3; ++block) {
        SCOPED_TRACE(block);
        Parser::Iterator at(empty);
        Value target;
        const bool ok = block == 0   ? parser.parse_array(&target, nullptr, at, ParseOption())
                        : block == 1 ? parser.parse_object(&target, nullptr, at, ParseOption())
                                     : parser.parse_number(&target, nullptr, at);
        EXPECT_FALSE(ok);
        EXPECT_EQ(at.position(), empty.data());
    }

    // Without target or handler the value is read and dropped.
    const std::string array = "[1,{\"a\":2}]rest";
    Parser::Iterator arrayIt(array);
    ASSERT_TRUE(parser.parse_value(nullptr, nullptr, arrayIt, ParseOption()));
    EXPECT_EQ(std::string(arrayIt.position(), arrayIt.end()), "rest");
}

using pocketjson::test::CommaLocale;

TEST(StrToDouble, WholeTextOnly) {
    const struct {
        const char* text;
        bool ok;
        double value;
    } cases[] = {
        {"1.5", true, 1.5}, {"-2e3", true, -2000.0}, {"0.1", true, 0.1}, {"1.5x", false, 1.5},
        {"", false, 0.0},   {"1.2.3", false, 1.2},   {" 7", true, 7.0},  // strtod skips leading
                                                                         // space; the parser never
                                                                         // passes one
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        bool ok = !c.ok;
        EXPECT_EQ(Double::strToDouble(c.text, &ok), c.value);
        EXPECT_EQ(ok, c.ok);
    }
    bool ok = false;
    EXPECT_EQ(Double::strToDouble("2.25junk", 4, &ok), 2.25);  // a length-bounded text
    EXPECT_TRUE(ok);
    EXPECT_EQ(Double::strToDouble("1", nullptr), 1.0);
}

TEST(StrToDouble, IgnoresTheLocaleDecimalPoint) {
    CommaLocale locale;
    if (!locale.active()) GTEST_SKIP() << "no locale with another decimal point is installed";
    bool ok = false;
    EXPECT_EQ(Double::strToDouble("0.25", &ok), 0.25);
    EXPECT_TRUE(ok);
    const Value value = parsed("[3.75,1e-2]");
    EXPECT_EQ(value.at(0), Value(3.75));
    EXPECT_EQ(value.at(1), Value(0.01));
}

TEST(ParseSerializeRoundTrip, KeepsTheTree) {
    const std::string text =
        "\xEF\xBB\xBF { \"z\" : [ 1 , -0 , 1e0 , 2.5E+3 , -9223372036854775808 , "
        "\"\\u00e9\\ud83d\\ude00\\u007f\\u0001\\/\" ] , \"a\" : { \"\" : null , \"t\" : true , "
        "\"f\" : false , \"deep\" : [[[{}]]] } , \"r\" : 0.1 }";
    const Value first = parsed(text);
    std::string compact;
    ASSERT_TRUE(Serializer::serializeToString(first, compact));
    EXPECT_EQ(compact, "{\"a\":{\"\":null,\"deep\":[[[{}]]],\"f\":false,\"t\":true},\"r\":0."
                       "10000000000000001,\"z\":[1,0,1,2500,-9.2233720368547758e+18,"
                       "\"\xC3\xA9\xF0\x9F\x98\x80\\u007f\\u0001/\"]}");
    // A Real without fraction comes back as an Integer (2500), so the texts are compared, and
    // the trees only where no such number occurs.
    std::string again;
    ASSERT_TRUE(Serializer::serializeToString(parsed(compact), again));
    EXPECT_EQ(again, compact);
    EXPECT_EQ(parsed(compact)["a"], first["a"]);
    std::string pretty;
    ASSERT_TRUE(Serializer::serializeToString(first, pretty, SerializeOption::Pretty));
    std::string fromPretty;
    ASSERT_TRUE(Serializer::serializeToString(parsed(pretty), fromPretty));
    EXPECT_EQ(fromPretty, compact);
}

}  // namespace
}  // namespace pocketjson
