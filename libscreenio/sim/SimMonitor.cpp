// SPDX-License-Identifier: Apache-2.0
#include "sim/SimMonitor.h"

#include <chrono>
#include <mutex>
#include <thread>

#include <nlohmann/json.hpp>

#include "sim/SimClock.h"
#include "sim/SimMonitorImpl.h"

namespace screenio::sim {

// ---- SimMonitor ----

SimMonitor::SimMonitor(MonitorDescription description)
    : m_impl(std::make_unique<Impl>(std::move(description))) {}

SimMonitor::~SimMonitor() = default;

const MonitorDescription& SimMonitor::description() const { return m_impl->description; }

std::vector<SimUsage> SimMonitor::usages() const {
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    return m_impl->usages.list();
}

bool SimMonitor::present() const {
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    m_impl->tick();
    return m_impl->presentNow();
}

uint64_t SimMonitor::connection() const {
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    m_impl->tick();
    return m_impl->state.connection;
}

namespace {

// The link's round trip, outside the monitor's lock so other requests are not held up: the
// simulated time every request takes, and optionally a real delay too.
void LinkDelay(const MonitorDescription& description) {
    SimClock::addLinkTime(description.requestTimeUs);
    if (description.latencyUs == 0) return;
    // A sleep alone overshoots by a tenth of a millisecond or more, which over thousands of
    // requests would make the link slower than asked: sleep most of it, then wait out the rest.
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::microseconds(description.latencyUs);
    constexpr auto kFinish = std::chrono::microseconds(200);
    if (std::chrono::microseconds(description.latencyUs) > kFinish)
        std::this_thread::sleep_until(deadline - kFinish);
    while (Clock::now() < deadline) std::this_thread::yield();
}

}  // namespace

KmError SimMonitor::Impl::deliver(uint64_t connection, SimCall call) {
    LinkDelay(description);
    std::lock_guard<std::mutex> lock(mutex);
    tick();
    return request(connection, call);
}

KmError SimMonitor::getFixedData(uint64_t connection, uint16_t page, uint16_t usage, bool* offered,
                                 uint32_t* count) {
    SimCall call = MakeCall(Access::FixedData, page, usage);
    call.offered = offered;
    call.count = count;
    return m_impl->deliver(connection, call);
}

KmError SimMonitor::getValue(uint64_t connection, uint16_t page, uint16_t usage, int64_t* value) {
    SimCall call = MakeCall(Access::GetValue, page, usage);
    call.valueOut = value;
    return m_impl->deliver(connection, call);
}

KmError SimMonitor::setValue(uint64_t connection, uint16_t page, uint16_t usage, int64_t value) {
    SimCall call = MakeCall(Access::SetValue, page, usage);
    call.value = value;
    return m_impl->deliver(connection, call);
}

KmError SimMonitor::getArray(uint64_t connection, uint16_t page, uint16_t usage, uint8_t* buffer,
                             uint32_t length) {
    SimCall call = MakeCall(Access::GetArray, page, usage);
    call.out = buffer;
    call.length = length;
    return m_impl->deliver(connection, call);
}

KmError SimMonitor::setArray(uint64_t connection, uint16_t page, uint16_t usage,
                             const uint8_t* buffer, uint32_t length) {
    SimCall call = MakeCall(Access::SetArray, page, usage);
    call.in = buffer;
    call.length = length;
    return m_impl->deliver(connection, call);
}

void SimMonitor::powerCycle() {
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    m_impl->tick();
    m_impl->powerCycle(SimClock::wallMs());
}

void SimMonitor::addFault(const FaultRule& rule) {
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    m_impl->tick();
    m_impl->faults.add(rule);
    ++m_impl->changes;
}

void SimMonitor::clearFaults() {
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    m_impl->tick();
    m_impl->faults.clear();
    if (m_impl->flash) m_impl->flash->setStuckBusy(false);
    ++m_impl->changes;
}

void SimMonitor::setRecording(bool on) {
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    m_impl->recording = on;
}

std::vector<SimRequest> SimMonitor::history() const {
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    return m_impl->history;
}

void SimMonitor::clearHistory() {
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    m_impl->history.clear();
}

uint32_t SimMonitor::deviceVersion(uint32_t deviceId) const {
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    m_impl->tick();
    const DeviceDescription* d = m_impl->device(deviceId);
    return d ? d->version : 0;
}

SimBootState SimMonitor::bootState() const {
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    m_impl->tick();
    return m_impl->bootState();
}

uint64_t SimMonitor::changingRequests() const {
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    m_impl->tick();
    return m_impl->state.changingRequests;
}

uint32_t SimMonitor::transferState() const {
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    m_impl->tick();
    return m_impl->state.transferState;
}

int64_t SimMonitor::osdValue() const {
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    m_impl->tick();
    return m_impl->state.osd;
}

std::optional<std::vector<uint8_t>> SimMonitor::fileContent(const std::string& name) const {
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    m_impl->tick();
    const RecordFile* file = m_impl->state.files.find(name);
    if (!file) return std::nullopt;
    return file->content;
}

std::vector<uint8_t> SimMonitor::readFlash(uint32_t address, uint32_t length) const {
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    m_impl->tick();
    return m_impl->readFlash(address, length);
}

void SimMonitor::writeFlash(uint32_t address, const std::vector<uint8_t>& bytes) {
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    m_impl->tick();
    m_impl->writeFlash(address, bytes);
}

bool SimMonitor::flashWriteProtected() const {
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    m_impl->tick();
    return m_impl->flash && m_impl->flash->writeProtected();
}

uint8_t SimMonitor::flashStatus() const {
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    m_impl->tick();
    return m_impl->flash ? m_impl->flash->status() : 0;
}

bool SimMonitor::ispMode() const {
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    m_impl->tick();
    return m_impl->bridge && m_impl->bridge->ispMode();
}

uint32_t SimMonitor::zvUpdateFlags() const {
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    m_impl->tick();
    return m_impl->state.zvFlags;
}

uint32_t SimMonitor::restartCount() const {
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    m_impl->tick();
    return m_impl->state.restartCount;
}

nlohmann::json SimMonitor::saveState() const {
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    m_impl->tick();
    return m_impl->save();
}

void SimMonitor::loadState(const nlohmann::json& state) {
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    m_impl->load(state);
}

uint64_t SimMonitor::changeCount() const {
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    m_impl->tick();
    return m_impl->changes;
}

}  // namespace screenio::sim
