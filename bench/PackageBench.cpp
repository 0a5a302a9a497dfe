// Save and load speed of a package with one 64 MiB image and a few small ones, beside the raw
// cost of the same bytes through AES-256-CBC and SHA-256 alone (the floor on one core).
#include <benchmark/benchmark.h>
#include <openssl/evp.h>
#include <sys/resource.h>

#include <cstring>
#include <memory>
#include <string>
#include <random>
#include <vector>

#include "core/OutputByteStream.h"
#include "core/Sha256.h"
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

void BM_Load(benchmark::State& state) {
    const std::vector<uint8_t> file = savePackage(*makePackage());
    for (auto _ : state) {
        auto loaded = fwu::kfw::LoadKfwFileFromBytes(file.data(), file.size());
        benchmark::DoNotOptimize(loaded.get());
    }
    state.SetBytesProcessed(static_cast<int64_t>(file.size()) * state.iterations());
    struct rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_rss_MiB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
    state.counters["file_MiB"] = static_cast<double>(file.size()) / (1 << 20);
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
        EVP_CipherUpdate(ctx.get(), bytes.data(), &written, bytes.data(), static_cast<int>(bytes.size()));
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
BENCHMARK(BM_FloorEncryptAndHash)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Save)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
