// SPDX-License-Identifier: Apache-2.0
// The update engine's transfers against simulated monitors, through the exported functions.
//
// Cpu*: a 4 MiB image over a link without latency; the library's waits only move the
// simulator's clock, so the time is CPU: the engine's plus the simulator's. *SimOnly replays the
// requests of the same transfer straight into the monitor-control functions, which is the
// simulator's (and the monitor-control layer's) share of that CPU time.
//
// Link*: a 1 MiB image with 1 ms of real latency per request and real waits. `ratio` is the
// wall time over the least the link allows: requests times the latency plus the waits asked
// for. `ratio_to_link` is the wall time over what this machine makes of the link alone (the same
// requests replayed with the same latency, plus the waits as they really took), which leaves the
// overshoot of the simulator's and the waits' sleeps out of the engine's account.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "core/Backend.h"
#include "core/BackendRegistry.h"
#include "device/Sleep.h"
#include "engine/MStarUpdate.h"
#include "flashkit/flashkit.h"
#include "screenio/screenio.h"
#include "sim/MonitorDescription.h"
#include "sim/SimBackend.h"
#include "sim/SimClock.h"
#include "sim/SimConfig.h"
#include "sim/SimMonitor.h"

namespace {

using screenio::Access;
using screenio::sim::DeviceDescription;
using screenio::sim::MonitorDescription;
using screenio::sim::MonitorKind;

constexpr size_t kMiB = size_t(1) << 20;
constexpr uint32_t kTargetVersion = 0x0300;
constexpr uint32_t kLatencyUs = 1000;

// ---- Packages -----------------------------------------------------------------------------

std::string LastError() {
    const char* message = nullptr;
    FWGetLastError(&message);
    return message ? message : "";
}

// A package built as a firmware engineer's tool does: through the exported JSON editing
// functions, with the image written to a file first.
class Package {
public:
    Package() : m_file(FWKfwFileCreateEmpty(false)) {
        char pattern[] = "/tmp/transfer-bench-XXXXXX";
        if (!m_file || !mkdtemp(pattern)) throw std::runtime_error("cannot create a package");
        m_dir = pattern;
    }
    ~Package() {
        if (!m_blobPath.empty()) ::unlink(m_blobPath.c_str());
        ::rmdir(m_dir.c_str());
        FWKfwFileRelease(m_file);
    }
    Package(const Package&) = delete;
    Package& operator=(const Package&) = delete;

    FWKfwFile* get() const { return m_file; }

    // One image for one device, as a record-file transfer (`address` unused) or a ZV transfer;
    // with `markerAddress`, a scaler transfer.
    void build(const std::string& product, uint32_t device, const std::vector<uint8_t>& image,
               bool zv, const std::string& fileName, uint32_t address, int64_t markerAddress = -1) {
        check(FWKfwFileUpdateMonitorProducts(m_file, ("[\"" + product + "\"]").c_str()),
              "products");
        const std::string target = "[{\"device\":" + std::to_string(device) +
                                   ",\"version\":" + std::to_string(kTargetVersion) + "}]";
        check(FWKfwFileUpdateTargetVersion(m_file, target.c_str()), "target version");

        m_blobPath = m_dir + "/image.bin";
        std::ofstream(m_blobPath, std::ios::binary)
            .write(reinterpret_cast<const char*>(image.data()), std::streamsize(image.size()));
        FWUuid blob{};
        check(FWKfwFileRegisterBlob(
                  m_file, ("{\"name\":\"image\",\"path\":\"" + m_blobPath + "\"}").c_str(), &blob),
              "blob");

        const bool scaler = markerAddress >= 0;
        std::string action = std::string("{\"type\":\"") +
                             (scaler ? "TransferMStarData"
                              : zv   ? "TransferZVData"
                                     : "TransferData") +
                             "\",\"estimatedTime\":0,\"blob\":\"" + Text(blob) + "\"";
        if (scaler)
            action += ",\"address\":" + std::to_string(address) +
                      ",\"updateFlagAddress\":" + std::to_string(markerAddress) + "}";
        else
            action += zv ? ",\"address\":" + std::to_string(address) + "}"
                         : ",\"fileName\":\"" + fileName + "\"}";
        FWUuid actionId{};
        check(FWKfwFileRegisterAction(m_file, action.c_str(), &actionId), "action");
        FWUuid bundle{};
        const std::string json =
            "{\"actions\":[\"" + Text(actionId) + "\"],\"conditions\":[],\"estimatedTime\":0}";
        check(FWKfwFileRegisterBundle(m_file, json.c_str(), &bundle), "bundle");
    }

    // What the simulated monitors install as `version`: a "SIMV" header, the version, a pattern.
    static std::vector<uint8_t> Image(uint32_t version, size_t size) {
        std::vector<uint8_t> bytes(size);
        for (size_t i = 0; i < size; ++i) bytes[i] = uint8_t(1 + i * 13 + (i >> 9));
        const uint8_t head[8] = {'S',
                                 'I',
                                 'M',
                                 'V',
                                 uint8_t(version),
                                 uint8_t(version >> 8),
                                 uint8_t(version >> 16),
                                 uint8_t(version >> 24)};
        for (size_t i = 0; i < 8 && i < size; ++i) bytes[i] = head[i];
        return bytes;
    }

private:
    static std::string Text(FWUuid id) {
        char text[37];
        FWUuidGetString(id, text);
        return text;
    }
    static void check(bool ok, const char* what) {
        if (!ok) throw std::runtime_error(std::string(what) + ": " + LastError());
    }

    FWKfwFile* m_file;
    std::string m_dir;
    std::string m_blobPath;
};

// ---- Simulated monitors -------------------------------------------------------------------

std::atomic<uint64_t> g_requests{0};

// Counts every request that reaches a monitor, at the cost of one atomic increment.
class CountingDevice : public screenio::Device {
public:
    explicit CountingDevice(std::shared_ptr<screenio::Device> inner) : m_inner(std::move(inner)) {}
    KmError getFixedData(uint16_t page, uint16_t usage, bool* offered, uint32_t* count) override {
        ++g_requests;
        return m_inner->getFixedData(page, usage, offered, count);
    }
    KmError getValue(uint16_t page, uint16_t usage, int64_t* value) override {
        ++g_requests;
        return m_inner->getValue(page, usage, value);
    }
    KmError setValue(uint16_t page, uint16_t usage, int64_t value) override {
        ++g_requests;
        return m_inner->setValue(page, usage, value);
    }
    KmError getArray(uint16_t page, uint16_t usage, uint8_t* buffer, uint32_t length) override {
        ++g_requests;
        return m_inner->getArray(page, usage, buffer, length);
    }
    KmError setArray(uint16_t page, uint16_t usage, const uint8_t* buffer,
                     uint32_t length) override {
        ++g_requests;
        return m_inner->setArray(page, usage, buffer, length);
    }
    std::string describe() const override { return m_inner->describe(); }

private:
    std::shared_ptr<screenio::Device> m_inner;
};

class CountingBackend : public screenio::Backend {
public:
    explicit CountingBackend(std::shared_ptr<screenio::sim::SimBackend> inner)
        : m_inner(std::move(inner)) {}
    std::vector<std::shared_ptr<screenio::Device>> find() override {
        std::vector<std::shared_ptr<screenio::Device>> found;
        for (auto& device : m_inner->find())
            found.push_back(std::make_shared<CountingDevice>(std::move(device)));
        return found;
    }
    void release() override { m_inner->release(); }

private:
    std::shared_ptr<screenio::sim::SimBackend> m_inner;
};

// One simulated monitor installed as the process's backend for as long as the rig lives.
class SimRig {
public:
    explicit SimRig(MonitorDescription description) {
        screenio::sim::SimConfig config;
        config.monitors.push_back(std::move(description));
        m_backend = std::make_shared<screenio::sim::SimBackend>(std::move(config));
        screenio::BackendRegistry::instance().set(std::make_shared<CountingBackend>(m_backend));
        KmRelease();
        if (KmFind() != 1 || KmRetrieve(0, &m_handle) != 0)
            throw std::runtime_error("the simulated monitor is not found");
    }
    ~SimRig() {
        KmRelease();
        screenio::BackendRegistry::instance().set(nullptr);
    }
    SimRig(const SimRig&) = delete;
    SimRig& operator=(const SimRig&) = delete;

    void* handle() const { return m_handle; }
    screenio::sim::SimMonitor& monitor() const { return *m_backend->monitors().at(0); }

private:
    std::shared_ptr<screenio::sim::SimBackend> m_backend;
    void* m_handle = nullptr;
};

// Replaces the library's sleeping function while alive.
class SleepOverride {
public:
    explicit SleepOverride(fwu::internal::SleepFunction function)
        : m_previous(fwu::internal::SetSleepFunction(function)) {}
    ~SleepOverride() { fwu::internal::SetSleepFunction(m_previous); }
    SleepOverride(const SleepOverride&) = delete;
    SleepOverride& operator=(const SleepOverride&) = delete;

private:
    fwu::internal::SleepFunction m_previous;
};

// Lets simulated time pass instead of sleeping.
void SimulatedSleep(uint32_t milliseconds) {
    screenio::sim::SimClock::advance(int64_t(milliseconds) * 1000);
}

std::atomic<uint64_t> g_waitedMs{0};
std::atomic<int64_t> g_sleptNs{0};

// Sleeps for real and adds up what the library asked for and what the sleeps really took.
void CountedSleep(uint32_t milliseconds) {
    g_waitedMs += milliseconds;
    const auto start = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    g_sleptNs += std::chrono::duration_cast<std::chrono::nanoseconds>(
                     std::chrono::steady_clock::now() - start)
                     .count();
}

// A record-file monitor whose one device's firmware file holds exactly `size` bytes.
MonitorDescription FilesMonitor(size_t size, uint32_t latencyUs) {
    MonitorDescription description;
    description.product = "BENCHPANEL 27";
    description.serial = "B0000001";
    description.kind = MonitorKind::Files;
    DeviceDescription device;
    device.id = 0;
    device.name = "Scaler";
    device.fileName = "PRG000";
    device.recordSize = 4096;
    device.recordCount = uint16_t(size / device.recordSize);
    device.version = 0x0102;
    device.displayOrder = 1;
    description.devices = {device};
    description.latencyUs = latencyUs;
    return description;
}

// A ZV monitor with one device at flash address 0 and room for the image.
MonitorDescription ZvMonitor(size_t size, uint32_t latencyUs) {
    MonitorDescription description;
    description.product = "BENCHZV 32";
    description.serial = "Z0000001";
    description.kind = MonitorKind::ZV;
    DeviceDescription device;
    device.id = 0x10;
    device.name = "Main";
    device.address = 0;
    device.updateFlagIndex = 0;
    device.displayOrder = 1;
    device.version = 0x0110;
    description.devices = {device};
    description.flashSize = uint32_t(2 * size);
    description.latencyUs = latencyUs;
    return description;
}

// A scaler monitor with one device at flash address 0 and its marker near the flash's end. Every
// request takes `requestTimeUs` of simulated link time, which the flash's busy periods see.
MonitorDescription ScalerMonitor(size_t size, uint32_t latencyUs) {
    MonitorDescription description;
    description.product = "BENCHSCALER";
    description.serial = "M0000001";
    description.kind = MonitorKind::MStar;
    DeviceDescription device;
    device.id = 0x100;
    device.name = "Scaler";
    device.address = 0;
    device.flagAddress = uint32_t(2 * size - 0x1000);
    device.version = 0x0110;
    description.devices = {device};
    description.flashSize = uint32_t(2 * size);
    description.latencyUs = latencyUs;
    description.requestTimeUs = kLatencyUs;
    return description;
}

struct Setup {
    MonitorDescription description;
    std::unique_ptr<Package> package;
};

Setup Make(bool zv, size_t size, uint32_t latencyUs) {
    Setup setup{zv ? ZvMonitor(size, latencyUs) : FilesMonitor(size, latencyUs),
                std::make_unique<Package>()};
    const DeviceDescription& device = setup.description.devices.at(0);
    setup.package->build(setup.description.product, device.id, Package::Image(kTargetVersion, size),
                         zv, device.fileName, device.address);
    return setup;
}

KmError Transfer(const SimRig& rig, const Package& package) {
    // Forced, so that every iteration sends the image again.
    return FWMonitorTransferFirmwareDataWithOptions(rig.handle(), package.get(), nullptr, nullptr,
                                                    FWTransferOptionForce);
}

std::string Failure(const char* what, KmError status) {
    return std::string(what) + " failed with " + std::to_string(status) + ": " + LastError();
}

// Sends recorded requests again through the monitor-control functions, without the engine.
// Every request first lets a second of simulated time pass, so the flash is never busy, as it is
// not for the engine after its waits.
void Replay(const SimRig& rig, const std::vector<screenio::sim::SimRequest>& requests) {
    std::vector<uint8_t> scratch(4096);
    for (const auto& request : requests) {
        screenio::sim::SimClock::advance(1000000);
        const uint32_t length = uint32_t(request.data.size());
        if (scratch.size() < length) scratch.resize(length);
        int64_t value = 0;
        uint8_t flag = 0;
        uint32_t count = 0;
        KmError result = 0;
        switch (request.access) {
        case Access::FixedData:
            result = KmGetFixedData(rig.handle(), request.page, request.usage, nullptr, nullptr,
                                    nullptr, &flag, &count);
            break;
        case Access::GetValue:
            result = KmGetFeatureValue(rig.handle(), request.page, request.usage, &value);
            break;
        case Access::SetValue:
            result = KmSetFeatureValue(rig.handle(), request.page, request.usage, request.value);
            break;
        case Access::GetArray:
            result = KmGetFeatureArray(rig.handle(), request.page, request.usage, scratch.data(),
                                       length);
            break;
        case Access::SetArray:
            result = KmSetFeatureArray(rig.handle(), request.page, request.usage,
                                       request.data.data(), length);
            break;
        }
        benchmark::DoNotOptimize(result);
    }
}

// The requests of one transfer, recorded on a monitor of the same description without latency.
std::vector<screenio::sim::SimRequest> Record(MonitorDescription description,
                                              const Package& package, KmError* status) {
    description.latencyUs = 0;
    SimRig rig(std::move(description));
    SleepOverride sleep(&SimulatedSleep);
    rig.monitor().setRecording(true);
    *status = Transfer(rig, package);
    return rig.monitor().history();
}

// ---- (a) CPU cost per MiB ------------------------------------------------------------------

void CpuCounters(benchmark::State& state, size_t size, uint64_t requests) {
    const double mib = double(size) / double(kMiB);
    // Seconds of CPU time per MiB (the run's time unit is CPU time).
    state.counters["cpu_per_MiB"] = benchmark::Counter(
        mib, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["requests"] = double(requests);
    state.SetBytesProcessed(int64_t(size) * int64_t(state.iterations()));
}

void BM_Cpu(benchmark::State& state, bool zv) {
    const size_t size = size_t(state.range(0)) * kMiB;
    Setup setup = Make(zv, size, 0);
    SimRig rig(setup.description);
    SleepOverride sleep(&SimulatedSleep);
    uint64_t requests = 0;
    for (auto _ : state) {
        const uint64_t before = g_requests.load();
        const KmError status = Transfer(rig, *setup.package);
        requests = g_requests.load() - before;
        if (status < 0) {
            state.SkipWithError(Failure("transfer", status).c_str());
            return;
        }
    }
    CpuCounters(state, size, requests);
}

// The same requests without the engine: the simulator's and the monitor-control layer's share.
void BM_SimOnly(benchmark::State& state, bool zv) {
    const size_t size = size_t(state.range(0)) * kMiB;
    Setup setup = Make(zv, size, 0);
    KmError status = 0;
    const std::vector<screenio::sim::SimRequest> requests =
        Record(setup.description, *setup.package, &status);
    if (status < 0) {
        state.SkipWithError(Failure("recording transfer", status).c_str());
        return;
    }
    SimRig rig(setup.description);
    for (auto _ : state) Replay(rig, requests);
    CpuCounters(state, size, requests.size());
}

// ---- (b) Wall time against the link's own cost -------------------------------------------

void BM_Link(benchmark::State& state, bool zv) {
    const size_t size = size_t(state.range(0)) * kMiB;
    Setup setup = Make(zv, size, kLatencyUs);
    // Recorded first: the recording rig replaces the process's backend while it lives.
    KmError status = 0;
    const auto recorded = Record(setup.description, *setup.package, &status);
    if (status < 0) {
        state.SkipWithError(Failure("recording transfer", status).c_str());
        return;
    }
    SimRig rig(setup.description);
    SleepOverride sleep(&CountedSleep);
    double wall = 0, minimum = 0, waits = 0, slept = 0, requests = 0, replay = 0;
    for (auto _ : state) {
        const uint64_t requestsBefore = g_requests.load();
        const uint64_t waitedBefore = g_waitedMs.load();
        const int64_t sleptBefore = g_sleptNs.load();
        const auto start = std::chrono::steady_clock::now();
        status = Transfer(rig, *setup.package);
        const auto stop = std::chrono::steady_clock::now();
        if (status < 0) {
            state.SkipWithError(Failure("transfer", status).c_str());
            return;
        }
        const uint64_t count = g_requests.load() - requestsBefore;
        const uint64_t waited = g_waitedMs.load() - waitedBefore;
        wall += std::chrono::duration<double>(stop - start).count();
        minimum += double(count) * kLatencyUs * 1e-6 + double(waited) * 1e-3;
        waits += double(waited) * 1e-3;
        slept += double(g_sleptNs.load() - sleptBefore) * 1e-9;
        requests += double(count);

        // What this machine makes of the link alone: the same requests replayed with the same
        // latency and no engine (plus, below, the waits as they really took). Sleeps overshoot,
        // more so on a loaded machine; `ratio_to_link` leaves that overshoot out of the
        // engine's account. Interleaved with the transfers so both see the same load.
        state.PauseTiming();
        const auto replayStart = std::chrono::steady_clock::now();
        Replay(rig, recorded);
        replay +=
            std::chrono::duration<double>(std::chrono::steady_clock::now() - replayStart).count();
        state.ResumeTiming();
    }
    const double n = double(state.iterations());
    state.counters["replay_s"] = replay / n;
    state.counters["replayed"] = double(recorded.size());
    state.counters["waits_taken_s"] = slept / n;
    state.counters["ratio_to_link"] = wall / (replay + slept);
    state.counters["requests"] = requests / n;
    state.counters["waits_s"] = waits / n;
    state.counters["minimum_s"] = minimum / n;
    state.counters["wall_s"] = wall / n;
    state.counters["ratio"] = wall / minimum;
    state.SetBytesProcessed(int64_t(size) * int64_t(state.iterations()));
}

// ---- (c) The scaler's readiness polls -----------------------------------------------------
//
// A 1 MiB scaler image with and without the flash-status read before each page program and
// erase (argument 1 and 0). ScalerModel* counts what the run costs at 1 ms per request in
// simulated time (requests times 1 ms plus the waits asked for), which is exact and quick;
// LinkScaler runs it for real with 1 ms of latency per request.
struct ScalerRun {
    uint64_t requests = 0;
    uint64_t waitedMs = 0;
};

ScalerRun UpdateScaler(benchmark::State& state, const SimRig& rig, const Package& package) {
    const uint64_t requestsBefore = g_requests.load();
    const uint64_t waitedBefore = g_waitedMs.load();
    const KmError status =
        FWMonitorUpdateFirmware(rig.handle(), package.get(), nullptr, nullptr, 0);
    if (status < 0) state.SkipWithError(Failure("scaler update", status).c_str());
    return {g_requests.load() - requestsBefore, g_waitedMs.load() - waitedBefore};
}

Setup MakeScaler(size_t size, uint32_t latencyUs) {
    Setup setup{ScalerMonitor(size, latencyUs), std::make_unique<Package>()};
    const DeviceDescription& device = setup.description.devices.at(0);
    setup.package->build(setup.description.product, device.id, Package::Image(kTargetVersion, size),
                         false, "", device.address, device.flagAddress);
    return setup;
}

// Counts what the library asks to wait and lets simulated time pass instead.
void CountedSimulatedSleep(uint32_t milliseconds) {
    g_waitedMs += milliseconds;
    SimulatedSleep(milliseconds);
}

void BM_ScalerModel(benchmark::State& state) {
    const size_t size = kMiB;
    Setup setup = MakeScaler(size, 0);
    fwu::internal::SetMStarReadinessPolls(state.range(0) != 0);
    SimRig rig(setup.description);
    SleepOverride sleep(&CountedSimulatedSleep);
    ScalerRun run;
    for (auto _ : state) run = UpdateScaler(state, rig, *setup.package);
    fwu::internal::SetMStarReadinessPolls(true);
    state.counters["requests"] = double(run.requests);
    state.counters["waits_s"] = double(run.waitedMs) * 1e-3;
    state.counters["link_s"] =
        double(run.requests) * kLatencyUs * 1e-6 + double(run.waitedMs) * 1e-3;
}

void BM_LinkScaler(benchmark::State& state) {
    const size_t size = kMiB;
    Setup setup = MakeScaler(size, kLatencyUs);
    fwu::internal::SetMStarReadinessPolls(state.range(0) != 0);
    SimRig rig(setup.description);
    SleepOverride sleep(&CountedSleep);
    ScalerRun run;
    double wall = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        run = UpdateScaler(state, rig, *setup.package);
        wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    fwu::internal::SetMStarReadinessPolls(true);
    state.counters["requests"] = double(run.requests);
    state.counters["wall_s"] = wall / double(state.iterations());
}

// What one 1 ms sleep of the simulator's kind really takes here: the part of the ratio that
// belongs to the machine's timers, not to the engine.
void BM_SleepOneMs(benchmark::State& state) {
    for (auto _ : state) std::this_thread::sleep_for(std::chrono::microseconds(kLatencyUs));
}

void BM_CpuGeneric(benchmark::State& state) { BM_Cpu(state, false); }
void BM_CpuZV(benchmark::State& state) { BM_Cpu(state, true); }
void BM_CpuGenericSimOnly(benchmark::State& state) { BM_SimOnly(state, false); }
void BM_CpuZVSimOnly(benchmark::State& state) { BM_SimOnly(state, true); }
void BM_LinkGeneric(benchmark::State& state) { BM_Link(state, false); }
void BM_LinkZV(benchmark::State& state) { BM_Link(state, true); }

}  // namespace

BENCHMARK(BM_CpuGeneric)->Arg(4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CpuGenericSimOnly)->Arg(4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CpuZV)->Arg(4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CpuZVSimOnly)->Arg(4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScalerModel)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LinkScaler)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SleepOneMs)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_LinkGeneric)->Arg(1)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LinkZV)->Arg(1)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
