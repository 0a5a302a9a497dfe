// SPDX-License-Identifier: Apache-2.0
#include "json/Value.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <utility>
#include <vector>

namespace pocketjson {
namespace {

using std::as_const;

Value makeObject(std::initializer_list<std::pair<const char*, Value>> members) {
    Value object(Object);
    for (const auto& member : members) object.insert(member.first, member.second);
    return object;
}

Value makeArray(std::initializer_list<Value> elements) {
    Value array(Array);
    for (const auto& element : elements) array.push_back(element);
    return array;
}

// ---- kinds and construction ----

TEST(ValueType, BitsFormMasks) {
    // Readers test kinds with `mask & type`, so every kind must be its own bit and the
    // container kinds exactly the bits of 0x70.
    const struct {
        Type type;
        uint32_t bits;
        bool container;
    } cases[] = {
        {Null, 0x00, false},  {Boolean, 0x01, false}, {Integer, 0x02, false}, {Real, 0x04, false},
        {String, 0x10, true}, {Object, 0x20, true},   {Array, 0x40, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bits);
        EXPECT_EQ(static_cast<uint32_t>(c.type), c.bits);
        EXPECT_EQ((c.bits & kContainerTypes) != 0, c.container);
        EXPECT_EQ(Value(c.type).isContainer(), c.container);
    }
    const Type numbers = Integer | Real;
    EXPECT_EQ(static_cast<uint32_t>(numbers), 0x06u);
    EXPECT_TRUE(numbers & Value(int64_t{3}).type());
    EXPECT_TRUE(numbers & Value(0.5).type());
    EXPECT_FALSE(numbers & Value("3").type());
}

TEST(ValueType, TagAndEightBytePayload) { EXPECT_EQ(sizeof(Value), 16u); }

TEST(ValueConstruct, EachSourceGivesItsKind) {
    const char* noText = nullptr;
    const struct {
        const char* name;
        Value value;
        Type type;
        std::string text;  // toString("-")
    } cases[] = {
        {"default", Value(), Null, "-"},
        {"true", Value(true), Boolean, "true"},
        {"false", Value(false), Boolean, "false"},
        {"int", Value(-7), Integer, "-7"},
        {"uint8", Value(uint8_t{200}), Integer, "200"},
        {"uint32 max", Value(uint32_t{4294967295u}), Integer, "4294967295"},
        {"int64 min", Value(std::numeric_limits<int64_t>::min()), Integer, "-9223372036854775808"},
        {"uint64 at int64 max", Value(uint64_t{9223372036854775807ull}), Integer,
         "9223372036854775807"},
        {"uint64 beyond int64", Value(uint64_t{9223372036854775808ull}), Real,
         "9.2233720368547758e+18"},
        {"double", Value(2.5), Real, "2.5"},
        {"float", Value(0.5f), Real, "0.5"},
        {"literal", Value("abc"), String, "abc"},
        {"std::string", Value(std::string("x\0y", 3)), String, std::string("x\0y", 3)},
        {"null pointer text", Value(noText), Null, "-"},
        {"empty object", Value(Object), Object, "-"},
        {"empty array", Value(Array), Array, "-"},
        {"empty string", Value(String), String, ""},
        {"empty boolean", Value(Boolean), Boolean, "false"},
        {"empty integer", Value(Integer), Integer, "0"},
        {"empty real", Value(Real), Real, "0.0"},
        {"several kinds", Value(Integer | Real), Null, "-"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.value.type(), c.type);
        EXPECT_EQ(c.value.toString("-"), c.text);
        EXPECT_FALSE(c.value.isShared());
    }
}

TEST(ValueConstruct, GettersDoNotConvert) {
    const Value integer(int64_t{5}), real(5.0), text("5"), boolean(true);
    EXPECT_EQ(integer.integerValue(), 5);
    EXPECT_EQ(integer.realValue(), 0.0);
    EXPECT_EQ(real.realValue(), 5.0);
    EXPECT_EQ(real.integerValue(), 0);
    EXPECT_EQ(text.stringValue(), "5");
    EXPECT_EQ(integer.stringValue(), "");
    EXPECT_TRUE(boolean.booleanValue());
    EXPECT_FALSE(integer.booleanValue());
    EXPECT_TRUE(text.objectValue().empty());
    EXPECT_TRUE(text.arrayValue().empty());
}

// ---- sharing, copies and moves ----

TEST(ValueSharing, CopySharesAndLastHolderFrees) {
    Value a("shared text");
    {
        const Value b = a;
        EXPECT_TRUE(a.isShared());
        EXPECT_TRUE(b.isShared());
        // One container: the very same bytes.
        EXPECT_EQ(&a.stringValue(), &b.stringValue());
        Value c;
        c = b;
        EXPECT_EQ(&c.stringValue(), &a.stringValue());
        c = Value(int64_t{1});  // overwriting releases c's hold
        EXPECT_TRUE(a.isShared());
    }
    EXPECT_FALSE(a.isShared());
    EXPECT_EQ(a.stringValue(), "shared text");
}

TEST(ValueSharing, CopiesOfObjectsShareMembers) {
    const Value a = makeObject({{"k", Value(1)}});
    const Value b = a;
    EXPECT_EQ(&a["k"], &b["k"]);
}

TEST(ValueSharing, MoveTransfersWithoutSharing) {
    Value a = makeArray({Value(1), Value(2)});
    const Value* firstElement = &a.at(0);
    Value b(std::move(a));
    EXPECT_TRUE(a.isNull());  // NOLINT: the moved-from state is part of the contract
    EXPECT_FALSE(b.isShared());
    EXPECT_EQ(&b.at(0), firstElement);

    Value c("old");
    c = std::move(b);
    EXPECT_TRUE(b.isNull());  // NOLINT
    EXPECT_EQ(&c.at(0), firstElement);
    EXPECT_FALSE(c.isShared());
}

TEST(ValueSharing, SelfAssignmentKeepsContent) {
    Value a = makeArray({Value("x")});
    Value& alias = a;
    a = alias;
    EXPECT_EQ(a.size(), 1u);
    EXPECT_FALSE(a.isShared());
    a = std::move(alias);
    EXPECT_EQ(a.size(), 1u);
    EXPECT_EQ(a.at(0).stringValue(), "x");
}

TEST(ValueSharing, AssigningAMemberToItsSoleHolder) {
    // The member lives in the container that the assignment releases.
    Value holder = makeObject({{"inner", makeArray({Value("deep")})}});
    holder = as_const(holder)["inner"];
    ASSERT_TRUE(holder.isArray());
    EXPECT_EQ(holder.at(0).stringValue(), "deep");
    EXPECT_FALSE(holder.isShared());

    Value other = makeObject({{"k", makeArray({Value(7)})}});
    other = std::move(other["k"]);
    EXPECT_EQ(other, makeArray({Value(7)}));
    EXPECT_FALSE(other.isShared());

    Value list = makeArray({makeArray({Value(1), Value(2)})});
    list = Value(list.at(0));
    EXPECT_EQ(list, makeArray({Value(1), Value(2)}));
}

TEST(ValueSharing, SwapExchangesContent) {
    Value a("a"), b(int64_t{2});
    swap(a, b);
    EXPECT_EQ(a.integerValue(), 2);
    EXPECT_EQ(b.stringValue(), "a");
}

// ---- member access ----

TEST(ValueConstAccess, MissingMembersGiveTheSharedNull) {
    const Value object = makeObject({{"present", Value(1)}, {"null", Value()}});
    const Value cases[] = {Value(),          Value(true),           Value(3),
                           Value("present"), makeArray({Value(1)}), object};
    for (const Value& value : cases) {
        SCOPED_TRACE(value.toString("container"));
        EXPECT_EQ(&value["absent"], &Value::s_null());
    }
    EXPECT_EQ(object["present"].integerValue(), 1);
    EXPECT_EQ(object.size(), 2u);  // lookups add nothing
    EXPECT_TRUE(Value::s_null().isNull());
}

TEST(ValueConstAccess, FindTellsMissingFromNull) {
    const Value object = makeObject({{"null", Value()}});
    ASSERT_NE(object.find("null"), nullptr);
    EXPECT_TRUE(object.find("null")->isNull());
    EXPECT_EQ(object.find("absent"), nullptr);
    EXPECT_TRUE(object.contains("null"));
    EXPECT_FALSE(object.contains("absent"));
    EXPECT_FALSE(Value("null").contains("null"));
}

TEST(ValueMutableAccess, TurnsAnyValueIntoAnObject) {
    const Value cases[] = {Value(),    Value(false),  Value(9),
                           Value(1.5), Value("text"), makeArray({Value(1)})};
    for (const Value& original : cases) {
        SCOPED_TRACE(original.toString("container"));
        const Type typeBefore = original.type();
        const size_t sizeBefore = original.size();
        Value value = original;
        Value& member = value["key"];
        EXPECT_TRUE(member.isNull());
        EXPECT_TRUE(value.isObject());
        EXPECT_EQ(value.size(), 1u);
        member = Value("set");
        EXPECT_EQ(as_const(value)["key"].stringValue(), "set");
        // The value it was copied from keeps its own content.
        EXPECT_EQ(original.type(), typeBefore);
        EXPECT_EQ(original.size(), sizeBefore);
    }
}

TEST(ValueMutableAccess, ExistingMemberIsReturnedNotReplaced) {
    Value object = makeObject({{"a", Value(1)}});
    const Value* before = &as_const(object)["a"];
    Value& member = object["a"];
    EXPECT_EQ(&member, before);
    EXPECT_EQ(member.integerValue(), 1);
    EXPECT_EQ(object.size(), 1u);
}

TEST(ValueMutableAccess, CopiesASharedObjectBeforeWriting) {
    Value a;
    a["x"] = 1;
    a["inner"]["k"] = "old";
    Value b = a;

    b["x"] = 2;
    b["y"] = true;
    b["inner"]["k"] = "new";

    EXPECT_EQ(as_const(a)["x"].integerValue(), 1);
    EXPECT_FALSE(a.contains("y"));
    EXPECT_EQ(as_const(a)["inner"]["k"].stringValue(), "old");
    EXPECT_EQ(as_const(b)["x"].integerValue(), 2);
    EXPECT_EQ(as_const(b)["inner"]["k"].stringValue(), "new");
    EXPECT_FALSE(a.isShared());
    EXPECT_FALSE(b.isShared());
}

TEST(ValueMutableAccess, UnsharedObjectIsWrittenInPlace) {
    Value a;
    a["x"] = 1;
    const Value* member = &as_const(a)["x"];
    Value& again = a["x"];
    EXPECT_EQ(&again, member);
}

TEST(ValueMutableAccess, KeyFromTheReleasedContent) {
    // The key refers to bytes inside the array that the conversion drops.
    Value value = makeArray({Value("a key long enough to live on the heap")});
    value[value.at(0).stringValue()] = 5;
    ASSERT_TRUE(value.isObject());
    EXPECT_EQ(as_const(value)["a key long enough to live on the heap"].integerValue(), 5);
}

TEST(ValueMutableAccess, KeysAreOrderedByteWise) {
    Value object;
    for (const char* key : {"b", "\xc3\xa9", "a", "B", "aa", ""}) object[key] = key;
    std::vector<std::string> keys;
    for (const auto& member : object.objectValue()) keys.push_back(member.first);
    // 0xC3 is above every ASCII byte: comparing signed chars would put it first.
    const std::vector<std::string> expected = {"", "B", "a", "aa", "b", "\xc3\xa9"};
    EXPECT_EQ(keys, expected);
}

// ---- push_back and insert ----

TEST(ValuePushBack, TurnsAnyValueIntoAnArrayAndAppendsACopy) {
    const Value item("item");
    const Value cases[] = {Value(),     Value(true),   Value(4),
                           Value(0.25), Value("text"), makeObject({{"a", Value(1)}})};
    for (const Value& original : cases) {
        SCOPED_TRACE(original.toString("container"));
        Value value = original;
        value.push_back(item);
        ASSERT_TRUE(value.isArray());
        ASSERT_EQ(value.size(), 1u);
        EXPECT_EQ(&value.at(0).stringValue(), &item.stringValue());  // a copy shares
    }
}

TEST(ValuePushBack, ChangesASharedArrayInPlace) {
    Value a = makeArray({Value(1)});
    const Value b = a;
    a.push_back(2);
    EXPECT_EQ(b.size(), 2u);
    EXPECT_EQ(b.at(1).integerValue(), 2);
    EXPECT_TRUE(a.isShared());
}

TEST(ValuePushBack, AppendingItselfDoesNothing) {
    Value array = makeArray({Value(1)});
    array.push_back(array);
    EXPECT_EQ(array, makeArray({Value(1)}));

    Value scalar(3);
    scalar.push_back(scalar);
    EXPECT_EQ(scalar, Value(3));

    // A copy holding the same container would make the array contain itself and never be
    // freed; the leak checker fails the run if that happens.
    const Value copy = array;
    array.push_back(copy);
    EXPECT_EQ(array.size(), 1u);
}

TEST(ValuePushBack, OwnElementSurvivesGrowth) {
    Value array = makeArray({Value("first element, long enough for the heap")});
    for (int i = 0; i < 40; ++i) array.push_back(array.at(0));
    ASSERT_EQ(array.size(), 41u);
    for (size_t i = 0; i < array.size(); ++i)
        EXPECT_EQ(array.at(i).stringValue(), "first element, long enough for the heap");
}

TEST(ValuePushBack, ItemFromTheReleasedContent) {
    Value value = makeObject({{"k", makeObject({{"deep", Value("v")}})}});
    value.push_back(as_const(value)["k"]);
    ASSERT_TRUE(value.isArray());
    ASSERT_EQ(value.size(), 1u);
    EXPECT_EQ(value.at(0)["deep"].stringValue(), "v");
}

TEST(ValueInsert, AddsOnlyNewKeys) {
    Value object;
    object.insert("a", 1);
    object.insert("a", 2);
    object.insert("b", Value());
    EXPECT_EQ(object, makeObject({{"a", Value(1)}, {"b", Value()}}));

    Value text("was text");
    text.insert("k", "v");
    EXPECT_EQ(text, makeObject({{"k", Value("v")}}));
}

TEST(ValueInsert, ChangesASharedObjectInPlace) {
    Value a = makeObject({{"a", Value(1)}});
    const Value b = a;
    a.insert("b", 2);
    EXPECT_EQ(b["b"].integerValue(), 2);
}

TEST(ValueInsert, InsertingItselfDoesNothing) {
    Value object = makeObject({{"a", Value(1)}});
    object.insert("self", object);
    EXPECT_EQ(object, makeObject({{"a", Value(1)}}));

    Value scalar("s");
    scalar.insert("self", scalar);
    EXPECT_EQ(scalar, Value("s"));

    const Value copy = object;
    object.insert("copy", copy);
    EXPECT_FALSE(object.contains("copy"));
}

TEST(ValueInsert, ItemAndKeyFromTheReleasedContent) {
    Value value = makeArray({Value("key that needs heap storage, surely"), Value(42)});
    value.insert(value.at(0).stringValue(), value.at(1));
    ASSERT_TRUE(value.isObject());
    EXPECT_EQ(as_const(value)["key that needs heap storage, surely"].integerValue(), 42);
}

// ---- size and elements ----

TEST(ValueSize, CountsWhatEachKindHolds) {
    const struct {
        const char* name;
        Value value;
        size_t size;
    } cases[] = {
        {"null", Value(), 0},
        {"boolean", Value(true), 0},
        {"integer", Value(12345), 0},
        {"real", Value(1.5), 0},
        {"string bytes", Value("\xc3\xa9t\xc3\xa9"), 5},
        {"empty string", Value(""), 0},
        {"object members", makeObject({{"a", Value()}, {"b", Value()}}), 2},
        {"array elements", makeArray({Value(), Value(), Value()}), 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.value.size(), c.size);
    }
}

TEST(ValueAt, OutOfRangeOrNotAnArrayGivesTheSharedNull) {
    const Value array = makeArray({Value(10), Value(20)});
    EXPECT_EQ(array.at(0).integerValue(), 10);
    EXPECT_EQ(array.at(1).integerValue(), 20);
    EXPECT_EQ(&array.at(2), &Value::s_null());
    EXPECT_EQ(&array.at(SIZE_MAX), &Value::s_null());
    EXPECT_EQ(&makeObject({{"0", Value(1)}}).at(0), &Value::s_null());
    EXPECT_EQ(&Value("ab").at(0), &Value::s_null());
}

// ---- conversions ----

TEST(ValueToString, EachKind) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        const char* name;
        Value value;
        std::string text;
    } cases[] = {
        {"true", Value(true), "true"},
        {"false", Value(false), "false"},
        {"zero", Value(0), "0"},
        {"negative", Value(-42), "-42"},
        {"int64 max", Value(std::numeric_limits<int64_t>::max()), "9223372036854775807"},
        {"int64 min", Value(std::numeric_limits<int64_t>::min()), "-9223372036854775808"},
        {"real one", Value(1.0), "1"},
        {"real tenth", Value(0.1), "0.10000000000000001"},
        {"real big", Value(1e300), "1.0000000000000001e+300"},
        {"real half negative", Value(-2.5), "-2.5"},
        {"real zero", Value(0.0), "0.0"},
        {"real negative zero", Value(-0.0), "0.0"},
        {"real nan", Value(nan), "nan"},
        {"real inf", Value(inf), "inf"},
        {"real -inf", Value(-inf), "-inf"},
        {"string", Value("text"), "text"},
        {"empty string", Value(""), ""},
        {"null", Value(), "fallback"},
        {"object", makeObject({{"a", Value(1)}}), "fallback"},
        {"array", makeArray({Value(1)}), "fallback"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.value.toString("fallback"), c.text);
    }
    EXPECT_EQ(Value().toString(), "");
}

TEST(ValueToUInt32, EachKindAndTheRangeEdges) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        const char* name;
        Value value;
        uint32_t expected;
    } cases[] = {
        {"null", Value(), 0},
        {"true", Value(true), 1},
        {"false", Value(false), 0},
        {"integer", Value(int64_t{123}), 123},
        {"integer max", Value(int64_t{4294967295}), 4294967295u},
        {"integer above", Value(int64_t{4294967296}), 0},
        {"integer above, low bits set", Value(int64_t{4294967297}), 0},
        {"integer -1", Value(int64_t{-1}), 0},
        {"integer min", Value(std::numeric_limits<int64_t>::min()), 0},
        {"real 4294967295.4", Value(4294967295.4), 4294967295u},
        {"real 4294967295.5", Value(4294967295.5), 0},
        {"real -0.4", Value(-0.4), 0},
        {"real -0.5 rounds to -1", Value(-0.5), 0},
        {"real 0.5 rounds up", Value(0.5), 1},
        {"real 2.5 rounds away from zero", Value(2.5), 3},
        {"real 1.49", Value(1.49), 1},
        {"real 7.0", Value(7.0), 7},
        {"real nan", Value(nan), 0},
        {"real inf", Value(inf), 0},
        {"real 1e20", Value(1e20), 0},
        {"real above, low bits set", Value(4294967297.0), 0},
        {"string decimal", Value("123"), 123},
        {"string hexadecimal", Value("0x10"), 16},
        {"string hexadecimal max", Value("0xFFFFFFFF"), 4294967295u},
        {"string octal", Value("010"), 8},
        {"string bad octal digit", Value("08"), 0},
        {"string max", Value("4294967295"), 4294967295u},
        {"string above", Value("4294967296"), 0},
        {"string above, low bits set", Value("4294967297"), 0},
        {"string beyond int64", Value("99999999999999999999"), 0},
        {"string trailing letters", Value("12abc"), 0},
        {"string trailing space", Value("12 "), 0},
        {"string -1", Value("-1"), 0},
        {"string plus", Value("+5"), 5},
        {"string real", Value("1.5"), 0},
        {"string bare 0x", Value("0x"), 0},
        {"string zero byte inside",
         Value(std::string("12\0"
                           "3",
                           4)),
         0},
        {"object", makeObject({{"a", Value(1)}}), 0},
        {"array", makeArray({Value(1)}), 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.value.toUInt32(), c.expected);
    }
}

TEST(ValueSetString, ReusesOnlyAnUnsharedString) {
    Value a("before");
    const Value b = a;
    a.setString("after");
    EXPECT_EQ(a.stringValue(), "after");
    EXPECT_EQ(b.stringValue(), "before");  // the other holder keeps its text
    EXPECT_FALSE(a.isShared());

    Value number(5);
    number.setString("now text");
    EXPECT_EQ(number, Value("now text"));

    // The source text belongs to the container being replaced.
    Value c = b;
    c.setString(c.stringValue() + "!");
    c.setString(c.stringValue());
    EXPECT_EQ(c.stringValue(), "before!");
    EXPECT_EQ(b.stringValue(), "before");
}

TEST(ValueEquality, ComparesKindAndContent) {
    const Value tree = makeObject({{"a", makeArray({Value(1), Value("x")})}, {"b", Value()}});
    const struct {
        const char* name;
        Value left;
        Value right;
        bool equal;
    } cases[] = {
        {"integer and real", Value(1), Value(1.0), false},
        {"null and false", Value(), Value(false), false},
        {"same text", Value("t"), Value(std::string("t")), true},
        {"shared tree", tree, tree, true},
        {"rebuilt tree", tree,
         makeObject({{"b", Value()}, {"a", makeArray({Value(1), Value("x")})}}), true},
        {"element order", makeArray({Value(1), Value(2)}), makeArray({Value(2), Value(1)}), false},
        {"nested difference", tree,
         makeObject({{"a", makeArray({Value(1), Value("y")})}, {"b", Value()}}), false},
        {"empty object and array", Value(Object), Value(Array), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.left == c.right, c.equal);
        EXPECT_EQ(c.left != c.right, !c.equal);
    }
}

}  // namespace
}  // namespace pocketjson
