// SPDX-License-Identifier: Apache-2.0
// How loading, saving, validating and writing the JSON form grow with the number of objects:
// packages of n blobs, n actions and n bundles for n doubling from 1 to 4096. The time per
// element (the "per_element" counter, in seconds) should stay flat; a step that grows with n
// shows up as a per-element time that doubles with n.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/OutputByteStream.h"
#include "package/Bundle.h"
#include "package/KfwLoader.h"
#include "package/TransferDataAction.h"
#include "package/v2/KfwFile.h"
#include "package/v2/KfwSerializer.h"
#include "json/Serializer.h"
#include "json/Value.h"

namespace {

// n distinct small images, each with its own transfer action and a bundle of that action with
// one condition.
std::unique_ptr<fwu::kfw::v2::KfwFile> makePackage(size_t n) {
    auto package = std::make_unique<fwu::kfw::v2::KfwFile>();
    package->products().push_back("BENCH-1");
    for (size_t i = 0; i < n; ++i) {
        auto blob = std::make_unique<fwu::kfw::Blob>();
        std::vector<uint8_t> bytes(64 + i % 64, static_cast<uint8_t>(i));
        std::memcpy(bytes.data(), &i, sizeof i);
        blob->setBytes(std::move(bytes));
        blob->setName("image-" + std::to_string(i) + ".bin");
        const fwu::kfw::Blob* held = package->registerBlob(std::move(blob));
        auto action = std::make_unique<fwu::kfw::TransferDataAction>();
        action->setTransferData(held->id(), "KFW00" + std::to_string(i % 4));
        action->setEstimatedTime(static_cast<uint32_t>(i));
        const fwu::kfw::Action* registered = package->registerAction(std::move(action));
        auto bundle = std::make_unique<fwu::kfw::Bundle>();
        bundle->push(registered->id());
        fwu::kfw::DeviceVersion version;
        version.deviceID = static_cast<uint32_t>(i % 8);
        version.version = fwu::Version(static_cast<uint32_t>(i));
        bundle->addCondition(version, fwu::Version::OperatorLess);
        package->registerBundle(std::move(bundle));
    }
    return package;
}

std::vector<uint8_t> savePackage(const fwu::kfw::KfwFile& package) {
    fwu::OutputByteStream out;
    fwu::kfw::v2::KfwSerializer(0).serialize(&package, &out);
    return std::move(out.bytes());
}

// Seconds per element (blob, action and bundle count as one element each).
void perElement(benchmark::State& state, size_t n) {
    state.counters["per_element"] = benchmark::Counter(
        static_cast<double>(3 * n),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_ScaleLoad(benchmark::State& state) {
    const size_t n = static_cast<size_t>(state.range(0));
    const std::vector<uint8_t> file = savePackage(*makePackage(n));
    for (auto _ : state) {
        auto loaded = fwu::kfw::LoadKfwFileFromBytes(file.data(), file.size());
        benchmark::DoNotOptimize(loaded.get());
    }
    perElement(state, n);
}

void BM_ScaleSave(benchmark::State& state) {
    const size_t n = static_cast<size_t>(state.range(0));
    const auto package = makePackage(n);
    for (auto _ : state) {
        std::vector<uint8_t> file = savePackage(*package);
        benchmark::DoNotOptimize(file.data());
    }
    perElement(state, n);
}

void BM_ScaleValidate(benchmark::State& state) {
    const size_t n = static_cast<size_t>(state.range(0));
    const auto package = makePackage(n);
    for (auto _ : state) {
        // Everything is valid, so nothing is removed and every round does the same work.
        benchmark::DoNotOptimize(package->validate(nullptr));
    }
    perElement(state, n);
}

void BM_ScaleJsonForm(benchmark::State& state) {
    const size_t n = static_cast<size_t>(state.range(0));
    const auto package = makePackage(n);
    for (auto _ : state) {
        std::string text;
        pocketjson::Serializer::serializeToString(package->toJson(), text);
        benchmark::DoNotOptimize(text.data());
    }
    perElement(state, n);
}

}  // namespace

BENCHMARK(BM_ScaleLoad)->RangeMultiplier(2)->Range(1, 4096);
BENCHMARK(BM_ScaleSave)->RangeMultiplier(2)->Range(1, 4096);
BENCHMARK(BM_ScaleValidate)->RangeMultiplier(2)->Range(1, 4096);
BENCHMARK(BM_ScaleJsonForm)->RangeMultiplier(2)->Range(1, 4096);

BENCHMARK_MAIN();
