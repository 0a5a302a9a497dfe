// SPDX-License-Identifier: Apache-2.0
// How objects keep their members and where containers live: key order and lookups however the
// members arrive, repeated keys, sharing, and parsed values outliving their document.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "json/Parser.h"
#include "json/Serializer.h"
#include "json/Value.h"

namespace pocketjson {
namespace {

std::vector<std::string> keysOf(const Value& object) {
    std::vector<std::string> keys;
    for (const auto& member : object.objectValue()) keys.push_back(member.first);
    return keys;
}

void serializeKey(std::string& text, const std::string& key) {
    Serializer::serializeToString(Value(key), text);
}

// Keys with shared prefixes, bytes above 0x7F (which sort after ASCII) and embedded zeros.
std::vector<std::string> awkwardKeys(size_t count, std::mt19937& random) {
    std::vector<std::string> keys;
    for (size_t i = 0; i < count; ++i) {
        std::string key = "k" + std::to_string(random() % (count / 2 + 1));
        if (i % 7 == 0) key += '\xC3';
        if (i % 11 == 0) key += std::string(1, '\0') + "z";
        if (i % 13 == 0) key = std::string(i % 3, 'k');  // "", "k", "kk"
        keys.push_back(key);
    }
    return keys;
}

// Against a plain map that keeps the first value of each key, for every way of adding members.
TEST(ObjectStorage, OrderAndLookupsMatchAMapWhateverTheInsertionOrder) {
    std::mt19937 random(3);
    for (const size_t count : {size_t{1}, size_t{9}, size_t{100}, size_t{3000}}) {
        const std::vector<std::string> keys = awkwardKeys(count, random);
        std::map<std::string, int64_t> expected;
        Value viaInsert, viaIndex(Object);
        for (size_t i = 0; i < keys.size(); ++i) {
            expected.emplace(keys[i], int64_t(i));
            viaInsert.insert(keys[i], Value(int64_t(i)));
            Value& member = viaIndex[keys[i]];
            if (member.isNull()) member = Value(int64_t(i));
        }
        for (const Value* object : {&viaInsert, &viaIndex}) {
            ASSERT_EQ(object->size(), expected.size()) << count;
            auto want = expected.begin();
            for (const auto& member : object->objectValue()) {
                EXPECT_EQ(member.first, want->first);
                EXPECT_EQ(member.second.integerValue(), want->second);
                ++want;
            }
            for (const auto& entry : expected) {
                const Value* found = object->find(entry.first);
                ASSERT_NE(found, nullptr) << entry.first;
                EXPECT_EQ(found->integerValue(), entry.second);
            }
            EXPECT_EQ(object->find("absent"), nullptr);
            EXPECT_EQ(object->find("k" + std::to_string(count)), nullptr);
        }
        EXPECT_EQ(viaInsert, viaIndex);
    }
}

// The parser takes members in any order, repeated keys included, and hands back the same
// object as building it member by member: sorted, the first value of a key kept.
TEST(ObjectStorage, ParsedMembersAreSortedAndTheFirstOfARepeatedKeyStays) {
    std::mt19937 random(5);
    for (const size_t count : {size_t{2}, size_t{40}, size_t{5000}}) {
        std::vector<std::string> keys = awkwardKeys(count, random);
        std::shuffle(keys.begin(), keys.end(), random);
        Value expected(Object);
        std::string text = "{";
        for (size_t i = 0; i < keys.size(); ++i) {
            expected.insert(keys[i], Value(int64_t(i)));
            if (i) text += ',';
            serializeKey(text, keys[i]);
            text += ':' + std::to_string(i);
        }
        text += '}';
        Parser parser;
        Value parsed;
        ASSERT_TRUE(parser.parse(text, parsed)) << parser.error();
        EXPECT_EQ(parsed, expected) << count;
        const std::vector<std::string> parsedKeys = keysOf(parsed);
        EXPECT_TRUE(std::is_sorted(parsedKeys.begin(), parsedKeys.end()));
    }
}

TEST(ObjectStorage, ParsingIntoAnExistingObjectKeepsItsMembersFirst) {
    Value target;
    target["m"] = "kept";
    Parser parser;
    ASSERT_TRUE(parser.parse(R"({"z":1,"m":"dropped","a":2})", target));
    EXPECT_EQ(keysOf(target), (std::vector<std::string>{"a", "m", "z"}));
    EXPECT_EQ(target["m"].stringValue(), "kept");
}

// A failing member still leaves the object in order with lookups working.
TEST(ObjectStorage, PartialObjectAfterAFailureIsInOrder) {
    Parser parser;
    Value target;
    EXPECT_FALSE(parser.parse(R"({"b":1,"a":{"y":2,"x":[3,{"q":tru}]},"b":4)", target));
    EXPECT_EQ(parser.error(), "Invalid boolean type string exists.");
    EXPECT_EQ(keysOf(target), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(target["b"].integerValue(), 1);
    EXPECT_EQ(keysOf(target["a"]), (std::vector<std::string>{"x", "y"}));
    EXPECT_EQ(target["a"]["x"].size(), 2u);
    EXPECT_TRUE(target["a"]["x"].at(1).contains("q"));
}

TEST(ObjectStorage, SharedLargeObjectIsCopiedOnWriteAndChangedInPlaceByInsert) {
    Parser parser;
    std::string text = "{";
    for (int i = 0; i < 500; ++i)
        text += (i ? ",\"" : "\"") + std::to_string(i) + "\":" + std::to_string(i);
    text += '}';
    Value original;
    ASSERT_TRUE(parser.parse(text, original));
    Value copy = original;
    copy["250"] = "changed";  // copies first
    copy["new"] = true;
    EXPECT_EQ(original["250"].integerValue(), 250);
    EXPECT_FALSE(original.contains("new"));
    EXPECT_EQ(copy["250"].stringValue(), "changed");
    EXPECT_EQ(copy.size(), 501u);

    Value sharer = original;
    sharer.insert("0a", Value(1));  // in place: both see it, at its sorted place
    EXPECT_TRUE(original.contains("0a"));
    EXPECT_EQ(keysOf(original)[1], "0a");
    EXPECT_EQ(original.size(), 501u);
}

// Parsed containers come from an arena per document; each one must stay valid for as long as
// anything holds it, on any thread, whatever happens to the rest of its document.
TEST(ObjectStorage, ParsedValuesOutliveTheirDocument) {
    std::vector<Value> kept;
    for (int round = 0; round < 20; ++round) {
        std::string text = "[";
        for (int i = 0; i < 2000; ++i)
            text += std::string(i ? "," : "") + "{\"id\":\"" + std::string(40, char('a' + i % 26)) +
                    "\",\"n\":[" + std::to_string(round) + "]}";
        text += ']';
        Value document;
        Parser parser;
        ASSERT_TRUE(parser.parse(text, document));
        kept.push_back(document.at(size_t(round) * 97));
    }
    // Half are dropped on another thread while this one reads the rest.
    std::vector<Value> handedOver(kept.begin(), kept.begin() + 10);
    kept.erase(kept.begin(), kept.begin() + 10);
    std::thread other([values = std::move(handedOver)]() mutable { values.clear(); });
    for (size_t i = 0; i < kept.size(); ++i) {
        const int round = int(i) + 10;
        EXPECT_EQ(kept[i]["id"].stringValue(), std::string(40, char('a' + round * 97 % 26)));
        EXPECT_EQ(kept[i]["n"].at(0).integerValue(), round);
    }
    other.join();
}

}  // namespace
}  // namespace pocketjson
