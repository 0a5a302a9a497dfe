// SPDX-License-Identifier: Apache-2.0
// DOM parse and compact write throughput of pocketjson beside two general-purpose JSON
// libraries, on two generated documents: a package-like one (about 2 MB of objects with UUID
// strings, small integers, short strings and nested arrays) and a numbers-heavy one.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <random>
#include <string>

#include <nlohmann/json.hpp>
#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include "json/Parser.h"
#include "json/Serializer.h"

namespace {

std::string uuid(std::mt19937& random) {
    unsigned word[6];
    for (unsigned& w : word) w = static_cast<unsigned>(random());
    char text[37];
    std::snprintf(text, sizeof text, "%08x-%04x-%04x-%04x-%04x%08x", word[0], word[1] & 0xFFFF,
                  (word[2] & 0x0FFF) | 0x4000, (word[3] & 0x3FFF) | 0x8000, word[4] & 0xFFFF,
                  word[5]);
    return text;
}

// Built with pocketjson and written by it, so that every library reads the same bytes.
std::string packageDocument() {
    std::mt19937 random(7);
    pocketjson::Value root(pocketjson::Object);
    root["fileVersion"] = "2.0";
    root["products"].push_back("BENCH-1");
    const char* kinds[] = {"TransferData", "TransferMStarData", "TransferZVData"};
    std::string text;
    for (int i = 0; text.size() < 2'000'000; ++i) {
        pocketjson::Value blob(pocketjson::Object);
        blob["uuid"] = uuid(random);
        blob["name"] = "image-" + std::to_string(i) + ".bin";
        blob["size"] = static_cast<int64_t>(random() % 65536);
        blob["crc"] = static_cast<int64_t>(random());
        root["blobs"].push_back(blob);

        pocketjson::Value action(pocketjson::Object);
        action["uuid"] = uuid(random);
        action["kind"] = kinds[i % 3];
        action["blob"] = blob["uuid"];
        action["target"] = "fw/part" + std::to_string(i % 8);
        action["retries"] = static_cast<int64_t>(i % 5);
        action["verify"] = i % 2 == 0;
        pocketjson::Value versions(pocketjson::Array);
        for (int v = 0; v < 3; ++v) {
            pocketjson::Value pair(pocketjson::Array);
            pair.push_back(static_cast<int64_t>(v));
            pair.push_back(static_cast<int64_t>(random() % 1000));
            versions.push_back(pair);
        }
        action["versions"] = versions;
        root["actions"].push_back(action);
        if (i % 64 == 63) {
            text.clear();
            pocketjson::Serializer::serializeToString(root, text);
        }
    }
    return text;
}

std::string numbersDocument() {
    std::mt19937 random(11);
    std::uniform_real_distribution<double> real(-1000.0, 1000.0);
    pocketjson::Value root(pocketjson::Array);
    for (int row = 0; row < 4000; ++row) {
        pocketjson::Value values(pocketjson::Array);
        for (int i = 0; i < 16; ++i) values.push_back(real(random));
        for (int i = 0; i < 16; ++i) values.push_back(static_cast<int64_t>(random()) - 0x7FFFFFFF);
        root.push_back(values);
    }
    std::string text;
    pocketjson::Serializer::serializeToString(root, text);
    return text;
}

const std::string& document(int which) {
    static const std::string package = packageDocument();
    static const std::string numbers = numbersDocument();
    return which == 0 ? package : numbers;
}

void label(benchmark::State& state) { state.SetLabel(state.range(0) == 0 ? "package" : "numbers"); }

void ParsePocketJson(benchmark::State& state) {
    const std::string& text = document(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        pocketjson::Parser parser;
        pocketjson::Value value;
        if (!parser.parse(text, value)) state.SkipWithError(parser.error().c_str());
        benchmark::DoNotOptimize(value);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
    label(state);
}

void ParseRapidJson(benchmark::State& state) {
    const std::string& text = document(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        rapidjson::Document doc;
        doc.Parse(text.data(), text.size());
        if (doc.HasParseError()) state.SkipWithError("parse error");
        benchmark::DoNotOptimize(doc);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
    label(state);
}

void ParseNlohmann(benchmark::State& state) {
    const std::string& text = document(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        nlohmann::json doc = nlohmann::json::parse(text);
        benchmark::DoNotOptimize(doc);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
    label(state);
}

void WritePocketJson(benchmark::State& state) {
    const std::string& text = document(static_cast<int>(state.range(0)));
    pocketjson::Parser parser;
    pocketjson::Value value;
    parser.parse(text, value);
    size_t written = 0;
    for (auto _ : state) {
        std::string out;
        if (!pocketjson::Serializer::serializeToString(value, out)) state.SkipWithError("write");
        written = out.size();
        benchmark::DoNotOptimize(out);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * written));
    label(state);
}

void WriteRapidJson(benchmark::State& state) {
    const std::string& text = document(static_cast<int>(state.range(0)));
    rapidjson::Document doc;
    doc.Parse(text.data(), text.size());
    size_t written = 0;
    for (auto _ : state) {
        rapidjson::StringBuffer buffer;
        rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
        doc.Accept(writer);
        written = buffer.GetSize();
        benchmark::DoNotOptimize(buffer.GetString());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * written));
    label(state);
}

void WriteNlohmann(benchmark::State& state) {
    const std::string& text = document(static_cast<int>(state.range(0)));
    const nlohmann::json doc = nlohmann::json::parse(text);
    size_t written = 0;
    for (auto _ : state) {
        const std::string out = doc.dump();
        written = out.size();
        benchmark::DoNotOptimize(out);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * written));
    label(state);
}

BENCHMARK(ParsePocketJson)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(ParseRapidJson)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(ParseNlohmann)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(WritePocketJson)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(WriteRapidJson)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(WriteNlohmann)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
