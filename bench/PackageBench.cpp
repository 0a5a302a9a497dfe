// SPDX-License-Identifier: Apache-2.0
// Save and load speed of a package with one 64 MiB image and a few small ones, beside the raw
// cost of the same bytes through AES-256-CBC and SHA-256 alone (the floor on one core).
#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <cstring>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "core/OutputByteStream.h"
#include "core/Sha256.h"
#include "flashkit/flashkit.h"
#include "package/KfwLoader.h"
#include "package/TransferDataAction.h"
#include "package/v2/KfwFile.h"
#include "package/v2/KfwSerializer.h"

namespace {

constexpr size_t kLargeImage = 64u << 20;

std::vector<uint8_t> randomBytes(size_t size, uint32_t seed) {
    std::vector<uint8_t> bytes(size);
    std::mt19937 random(seed);
    for (size_t i = 0; i + 4 <= size; i += 4) {
        const uint32_t word = random();
        std::memcpy(&bytes[i], &word, 4);
    }
    return bytes;
}

std::unique_ptr<fwu::kfw::v2::KfwFile> makePackage() {
    auto package = std::make_unique<fwu::kfw::v2::KfwFile>();
    package->products().push_back("BENCH-1");
    const size_t sizes[] = {kLargeImage, 4096, 16384, 700, 65536};
    uint32_t seed = 1;
    for (size_t size : sizes) {
        auto blob = std::make_unique<fwu::kfw::Blob>();
        blob->setBytes(randomBytes(size, seed++));
        const fwu::kfw::Blob* held = package->registerBlob(std::move(blob));
        auto action = std::make_unique<fwu::kfw::TransferDataAction>();
        action->setTransferData(held->id(), "PRG00" + std::to_string(seed));
        package->registerAction(std::move(action));
    }
    return package;
}

std::vector<uint8_t> savePackage(const fwu::kfw::KfwFile& package) {
    fwu::OutputByteStream out;
    fwu::kfw::v2::KfwSerializer(0).serialize(&package, &out);
    return std::move(out.bytes());
}

void BM_Save(benchmark::State& state) {
    const auto package = makePackage();
    size_t bytes = 0;
    for (auto _ : state) {
        std::vector<uint8_t> file = savePackage(*package);
        bytes = file.size();
        benchmark::DoNotOptimize(file.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(bytes) * state.iterations());
}

// The resident set of the process now and at its peak since the last reset, from /proc.
double residentMiB(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.compare(0, std::strlen(field), field) == 0)
            return std::stod(line.substr(std::strlen(field))) / 1024.0;
    return 0.0;
}

// Peak memory of one more load, beside the file: the peak counts the whole process (the file
// itself included), `load_extra` only what the load added to the resident set before it.
template <class Load>
void countPeakMemory(benchmark::State& state, const std::vector<uint8_t>& file, Load load) {
    std::ofstream("/proc/self/clear_refs") << "5";  // the peak starts again from here
    const double before = residentMiB("VmRSS:");
    load();
    const double peak = residentMiB("VmHWM:");
    const double fileMiB = static_cast<double>(file.size()) / (1 << 20);
    state.counters["file_MiB"] = fileMiB;
    state.counters["peak_x_file"] = peak / fileMiB;
    state.counters["load_extra_x_file"] = (peak - before) / fileMiB;
}

const std::vector<uint8_t>& savedPackage() {
    static const std::vector<uint8_t> file = savePackage(*makePackage());
    return file;
}

void BM_Load(benchmark::State& state) {
    const std::vector<uint8_t>& file = savedPackage();
    for (auto _ : state) {
        auto loaded = fwu::kfw::LoadKfwFileFromBytes(file.data(), file.size());
        benchmark::DoNotOptimize(loaded.get());
    }
    state.SetBytesProcessed(static_cast<int64_t>(file.size()) * state.iterations());
    countPeakMemory(state, file, [&] {
        auto loaded = fwu::kfw::LoadKfwFileFromBytes(file.data(), file.size());
        benchmark::DoNotOptimize(loaded.get());
    });
}

// A load followed by the first use of every image's own digest, which the load leaves until
// it is asked for (the package digest covers the images already).
void BM_LoadAndImageDigests(benchmark::State& state) {
    const std::vector<uint8_t>& file = savedPackage();
    for (auto _ : state) {
        auto loaded = fwu::kfw::LoadKfwFileFromBytes(file.data(), file.size());
        for (const auto& blob : loaded->blobs()) benchmark::DoNotOptimize(blob->hash().data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(file.size()) * state.iterations());
}

// The same through the exported interface, as a program using the library loads a package.
void BM_LoadThroughApi(benchmark::State& state) {
    const std::vector<uint8_t>& file = savedPackage();
    const auto load = [&] {
        FWKfwFile* loaded =
            FWKfwFileCreateWithBytes(file.data(), static_cast<unsigned>(file.size()));
        if (!loaded) state.SkipWithError("FWKfwFileCreateWithBytes failed");
        benchmark::DoNotOptimize(loaded);
        FWKfwFileRelease(loaded);
    };
    for (auto _ : state) load();
    state.SetBytesProcessed(static_cast<int64_t>(file.size()) * state.iterations());
    countPeakMemory(state, file, load);
}

// The floor: SHA-256 plus AES-256-CBC over the same number of bytes, in place, no allocation.
void cipherFloor(benchmark::State& state, bool encrypt) {
    std::vector<uint8_t> bytes = randomBytes(kLargeImage + (96u << 10), 9);
    bytes.resize(bytes.size() / 16 * 16);
    const uint8_t key[32] = {1}, iv[16] = {2};
    std::unique_ptr<EVP_CIPHER_CTX, void (*)(EVP_CIPHER_CTX*)> ctx(EVP_CIPHER_CTX_new(),
                                                                   EVP_CIPHER_CTX_free);
    for (auto _ : state) {
        EVP_CipherInit_ex(ctx.get(), EVP_aes_256_cbc(), nullptr, key, iv, encrypt ? 1 : 0);
        EVP_CIPHER_CTX_set_padding(ctx.get(), 0);
        int written = 0;
        EVP_CipherUpdate(ctx.get(), bytes.data(), &written, bytes.data(),
                         static_cast<int>(bytes.size()));
        const fwu::Sha256 digest = fwu::Sha256::calculate(bytes.data(), bytes.size());
        benchmark::DoNotOptimize(digest.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(bytes.size()) * state.iterations());
}

void BM_FloorEncryptAndHash(benchmark::State& state) { cipherFloor(state, true); }
void BM_FloorDecryptAndHash(benchmark::State& state) { cipherFloor(state, false); }

}  // namespace

BENCHMARK(BM_FloorDecryptAndHash)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Load)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LoadThroughApi)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LoadAndImageDigests)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FloorEncryptAndHash)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Save)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
