// SPDX-License-Identifier: Apache-2.0
// JSON text: parse the bytes (not zero-terminated), write the tree compactly, and check that
// the text reads back and writes out the same.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "json/Parser.h"
#include "json/Serializer.h"

namespace {

// True when the tree holds a Real that is NaN or infinite (a number like 1e999 reads as one).
bool hasNonFinite(const pocketjson::Value& value) {
    switch (value.type()) {
    case pocketjson::Real: return !std::isfinite(value.realValue());
    case pocketjson::Array:
        for (const auto& element : value.arrayValue())
            if (hasNonFinite(element)) return true;
        return false;
    case pocketjson::Object:
        for (const auto& member : value.objectValue())
            if (hasNonFinite(member.second)) return true;
        return false;
    default: return false;
    }
}

// Accepts every event and checks that containers open and close in pairs with their counts.
class CheckingHandler : public pocketjson::AbstractParseHandler {
public:
    bool onNull() override { return item(); }
    bool onBoolean(const bool&) override { return item(); }
    bool onInteger(const int64_t&) override { return item(); }
    bool onReal(const double&) override { return item(); }
    bool onString(const std::string&) override { return item(); }
    bool onBeginArray() override { return begin(); }
    bool onEndArray(const size_t& count) override { return end(count); }
    bool onBeginObject() override { return begin(); }
    bool onKey(const std::string&) override { return true; }
    bool onEndObject(const size_t& count) override { return end(count); }

private:
    bool item() {
        if (!m_counts.empty()) ++m_counts.back();
        return true;
    }
    bool begin() {
        item();
        m_counts.push_back(0);
        return true;
    }
    bool end(size_t count) {
        if (m_counts.empty() || m_counts.back() != count) std::abort();
        m_counts.pop_back();
        return true;
    }
    std::vector<size_t> m_counts;
};

[[noreturn]] void failWith(const char* what, const std::string& detail) {
    std::fprintf(stderr, "fuzz_json: %s: %s\n", what, detail.c_str());
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // An exact-size copy: the parser must never look past its end.
    const std::vector<char> bytes(data, data + size);
    const char* begin = bytes.data();
    for (const uint32_t flags : {0u, 1u, 3u}) {
        pocketjson::Parser parser;
        pocketjson::Value value;
        // A failed parse leaves a partial tree; it must still be safe to write and free.
        const bool parsed = parser.parse(begin, begin + bytes.size(), value, flags);
        if (!parsed && parser.error().empty()) failWith("failure without message", "");

        // Events give the same verdict as the tree.
        CheckingHandler handler;
        pocketjson::Parser eventParser;
        if (eventParser.parse(begin, begin + bytes.size(), handler, flags) != parsed ||
            eventParser.error() != parser.error())
            failWith("handler parse differs", eventParser.error() + " / " + parser.error());

        std::string first;
        std::string error;
        const bool written = pocketjson::Serializer::serializeToString(value, first, 0, &error);
        if (!written) {
            // Only a non-finite number may stop the writer: parsed trees stay within the depth
            // limit, which both sides share.
            if (error != "Floating point is nan or inf." || !hasNonFinite(value))
                failWith("serialisation failed", error);
            continue;
        }
        if (!parsed) continue;

        pocketjson::Parser again;
        pocketjson::Value reread;
        if (!again.parse(first, reread))
            failWith("re-parse failed", again.error() + " in " + first);
        std::string second;
        if (!pocketjson::Serializer::serializeToString(reread, second, 0, &error))
            failWith("re-serialisation failed", error);
        if (second != first) failWith("round trip changed the text", first + " -> " + second);

        std::string pretty;
        if (!pocketjson::Serializer::serializeToString(value, pretty, 0x80 | 0x4 | 0x2, &error))
            failWith("pretty serialisation failed", error);
        pocketjson::Value fromPretty;
        std::string third;
        if (!again.parse(pretty, fromPretty) ||
            !pocketjson::Serializer::serializeToString(fromPretty, third, 0, &error) ||
            third != first)
            failWith("pretty text reads back differently", pretty);
    }
    return 0;
}
