// SPDX-License-Identifier: Apache-2.0
#include "sim/SimMonitorImpl.h"

#include <algorithm>
#include <optional>
#include <stdexcept>
#include <string>

#include <nlohmann/json.hpp>

#include "LittleEndian.h"
#include "sim/SimClock.h"
#include "sim/StateNumber.h"

namespace screenio::sim {
namespace {

using namespace usages;

constexpr uint8_t kZvOpChecksum = 3;
// What a monitor whose firmware does not boot reports as its product: its boot loader.
constexpr const char* kIspProduct = "MCU ISP MODE";

bool IsSet(Access access) { return access == Access::SetValue || access == Access::SetArray; }

bool HasFiles(MonitorKind kind) {
    return kind == MonitorKind::Files || kind == MonitorKind::Legacy;
}

const char* KindName(MonitorKind kind) {
    switch (kind) {
    case MonitorKind::Files: return "Files";
    case MonitorKind::Legacy: return "Legacy";
    case MonitorKind::MStar: return "MStar";
    case MonitorKind::ZV: return "ZV";
    }
    return "?";
}

std::vector<DeviceDescription> LegacyDevices() {
    struct Row {
        const char* name;
        const char* fileName;
        uint32_t id;
        bool hex;
    };
    const Row rows[] = {
        {"Main/System", "PRG000", 0x100, false}, {"Sub/Controller", "PRG001", 0x101, false},
        {"DP/FrontEnd", "INP027", 0x500, false}, {"Font", "AIC653", 0x400, false},
        {"FPGA", "AIC904", 0x600, true},
    };
    std::vector<DeviceDescription> devices;
    for (const Row& row : rows) {
        DeviceDescription device;
        device.id = row.id;
        device.name = row.name;
        device.fileName = row.fileName;
        device.hexVersion = row.hex;
        devices.push_back(device);
    }
    return devices;
}

// The version text of the older version query: the number with a "." before its last two
// digits, so 105 reads "1.05" and 0x10A (hexadecimal devices) "1.0A".
std::string VersionText(const DeviceDescription& device) {
    if (!device.versionText.empty()) return device.versionText;
    std::string digits;
    uint32_t value = device.version;
    const uint32_t base = device.hexVersion ? 16 : 10;
    do {
        digits.insert(digits.begin(), "0123456789ABCDEF"[value % base]);
        value /= base;
    } while (value != 0);
    while (digits.size() < 3) digits.insert(digits.begin(), '0');
    digits.insert(digits.end() - 2, '.');
    return digits;
}

void PutText(uint8_t* out, size_t room, const std::string& text) {
    std::fill_n(out, room, 0);
    std::copy_n(text.begin(), std::min(room, text.size()), out);
}

bool SixPrintable(const std::string& name) {
    return name.size() == 6 &&
           std::all_of(name.begin(), name.end(), [](char c) { return c >= 0x20 && c <= 0x7E; });
}

void CheckDescription(const MonitorDescription& description,
                      const std::vector<DeviceDescription>& devices) {
    const bool hasFlash =
        description.kind == MonitorKind::MStar || description.kind == MonitorKind::ZV;
    for (const DeviceDescription& d : devices) {
        if (HasFiles(description.kind) && !SixPrintable(d.fileName))
            throw std::invalid_argument("device '" + d.name + "': file name '" + d.fileName +
                                        "' is not six printable characters");
        if (description.kind == MonitorKind::ZV && d.updateFlagIndex >= 32)
            throw std::invalid_argument("device '" + d.name + "': update flag index above 31");
        if (!d.boots && !hasFlash)
            throw std::invalid_argument("device '" + d.name +
                                        "': only flash monitors start without firmware");
    }
    for (const FileDescription& f : description.files)
        if (!SixPrintable(f.name))
            throw std::invalid_argument("file name '" + f.name +
                                        "' is not six printable characters");
    if (hasFlash && description.flashSize == 0) throw std::invalid_argument("flash size 0");
    if (description.kind == MonitorKind::Files && devices.size() > 0xFFFF)
        throw std::invalid_argument("more devices than the device files can hold");
}

}  // namespace

SimMonitor::Impl::Impl(MonitorDescription monitorDescription)
    : description(std::move(monitorDescription)), usages(description), files(description, state),
      bootLoader(description, state) {
    state.devices = description.devices;
    if (description.kind == MonitorKind::Legacy && state.devices.empty())
        state.devices = LegacyDevices();
    CheckDescription(description, state.devices);
    for (const DeviceDescription& d : state.devices)
        state.boot.push_back(SimDeviceBoot{d.boots, !d.boots});
    if (HasFiles(description.kind)) files.build();
    buildFlash();
    bootLoader.layout();
    for (const FaultRule& rule : description.faults) faults.add(rule);
    fresh = state;
}

void SimMonitor::Impl::buildFlash() {
    if (description.kind == MonitorKind::MStar) {
        SpiNorFlash::Timing timing;
        timing.pageProgramUs = description.pageProgramUs;
        timing.sectorEraseUs = description.sectorEraseMs * 1000;
        timing.blockEraseUs = description.blockEraseMs * 1000;
        timing.statusWriteUs = description.statusWriteMs * 1000;
        flash = std::make_unique<SpiNorFlash>(description.flashSize, timing);
        bridge = std::make_unique<MStarBridge>(*flash);
        flash->onChange(
            [this](uint32_t begin, uint32_t end) { bootLoader.noteChange(begin, end); });
        flash->onStatusWrite([this](uint8_t byte) { statusWritten(byte); });
    }
    if (description.kind == MonitorKind::ZV)
        zv = std::make_unique<ZvFlashEngine>(description.flashSize, description.zvEraseMs,
                                             description.zvChecksumMsPerBlock);
}

const DeviceDescription* SimMonitor::Impl::device(uint32_t id) const {
    for (const DeviceDescription& d : state.devices)
        if (d.id == id) return &d;
    return nullptr;
}

SimBootState SimMonitor::Impl::bootState() const {
    SimBootState result;
    result.boots = state.booting();
    result.product = result.boots ? description.product : kIspProduct;
    for (size_t i = 0; i < state.devices.size(); ++i)
        if (!state.boot[i].boots) result.notBooting.push_back(state.devices[i].id);
    return result;
}

bool SimMonitor::Impl::presentNow() const {
    return !state.absentForever && SimClock::wallMs() >= state.absentUntilWallMs;
}

void SimMonitor::Impl::tick() {
    if (state.powerCycleAtWallMs != 0 && SimClock::wallMs() >= state.powerCycleAtWallMs)
        powerCycle(state.powerCycleAtWallMs);
    if (state.restartOnReturn && presentNow()) {
        // The drop-off was the monitor rebooting: it comes back as after a restart, without
        // a second absence.
        state.restartOnReturn = false;
        resetVolatile();
        boot(false);
        ++state.restartCount;
        ++changes;
    }
}

// The scaler power-cycles by itself once the host's closing status write (the protection
// request; an unprotect writes 0) finds update markers set, whatever the byte protects.
void SimMonitor::Impl::statusWritten(uint8_t byte) {
    if (byte != 0 && description.mstarPowerCycleMs > 0 && state.powerCycleAtWallMs == 0 &&
        bootLoader.anyMarkerSet(flash->memory()))
        state.powerCycleAtWallMs = SimClock::wallMs() + description.mstarPowerCycleMs;
}

// The boot loader's decision. The scaler only boots anew when its power is cycled; the other
// kinds also at a restart of their main processor.
void SimMonitor::Impl::boot(bool powerCycled) {
    switch (description.kind) {
    case MonitorKind::Files:
    case MonitorKind::Legacy: files.install(); break;
    case MonitorKind::ZV:
        bootLoader.bootZv(*zv);
        state.transferState = 0;
        break;
    case MonitorKind::MStar:
        if (powerCycled) bootLoader.bootScaler(*flash);
        break;
    }
}

void SimMonitor::Impl::resetVolatile() {
    state.selection = SimSelection{};
    if (zv) zv->reset();
    if (bridge) bridge->reset();
}

void SimMonitor::Impl::leaveBus(int64_t untilWallMs) {
    ++state.connection;
    state.absentUntilWallMs = untilWallMs;
    ++changes;
}

void SimMonitor::Impl::restartMain() {
    resetVolatile();
    boot(false);
    ++state.restartCount;
    leaveBus(SimClock::wallMs() + description.restartMs);
}

void SimMonitor::Impl::powerCycle(int64_t atWallMs) {
    resetVolatile();
    boot(true);
    state.absentForever = false;
    state.restartOnReturn = false;
    state.powerCycleAtWallMs = 0;
    ++state.restartCount;
    leaveBus(atWallMs + description.restartMs);
}

void SimMonitor::Impl::dropOff(uint32_t absentMs) {
    state.absentForever = absentMs == 0;
    state.restartOnReturn = !state.absentForever;
    leaveBus(SimClock::wallMs() + absentMs);
}

KmError SimMonitor::Impl::request(uint64_t connectionId, SimCall& call) {
    const bool changesMonitor = changing(call);
    if (changesMonitor) {
        ++state.changingRequests;
        ++changes;
    }
    KmError status = serve(connectionId, call);
    if (recording) {
        SimRequest entry;
        entry.access = call.access;
        entry.page = call.page;
        entry.usage = call.usage;
        entry.status = status;
        entry.changing = changesMonitor;
        if (call.access == Access::SetArray && call.in)
            entry.data.assign(call.in, call.in + call.length);
        if (call.access == Access::GetArray && call.out && status >= 0)
            entry.data.assign(call.out, call.out + call.length);
        if (call.access == Access::SetValue) entry.value = call.value;
        if (call.access == Access::GetValue && call.valueOut && status >= 0)
            entry.value = *call.valueOut;
        if (call.access == Access::FixedData && call.count && status >= 0)
            entry.value = *call.count;
        history.push_back(std::move(entry));
    }
    return status;
}

bool SimMonitor::Impl::changing(const SimCall& call) const {
    if (call.access == Access::SetValue) return true;  // OSD, restart, transfer state
    if (call.access != Access::SetArray) return false;
    switch (Key(call.page, call.usage)) {
    case Key(kPageGeneral, kVersionQuery):
    case Key(kPageFiles, kPropertySelect):
    case Key(kPageFiles, kPageRead):
    case Key(kPageFiles, kCrc):
    case Key(kPageZv, kZvInfo):
    case Key(kPageScaler, kScalerAddress): return false;
    case Key(kPageZv, kZvCommand):
        return !(call.in && call.length >= 9 && call.in[8] == kZvOpChecksum);
    case Key(kPageZv, kZvData): return !zv || zv->dataChanges();
    case Key(kPageScaler, kScalerData): return !bridge || bridge->changes(call.in, call.length);
    default: return true;
    }
}

KmError SimMonitor::Impl::serve(uint64_t connectionId, SimCall& call) {
    if (connectionId != state.connection || !presentNow()) return SCREENIO_ERROR_GONE;

    bool counted = false;
    FaultInjector::Effects fx = faults.onRequest(call.page, call.usage, call.access, &counted);
    if (counted) ++changes;
    if (fx.powerCut) {
        powerCycle(SimClock::wallMs());
        return SCREENIO_ERROR_GONE;
    }
    if (fx.dropOff) {
        dropOff(fx.absentMs);
        return SCREENIO_ERROR_GONE;
    }
    if (fx.fail) return fx.failStatus;

    const bool offered = usages.offered(call.page, call.usage);
    if (call.access == Access::FixedData) {
        if (call.offered) *call.offered = offered;
        if (call.count) *call.count = usages.count(call.page, call.usage);
        return 0;
    }
    if (!offered) return SCREENIO_ERROR_NOT_OFFERED;
    if (!usages.answers(call.page, call.usage, call.access)) return SCREENIO_ERROR_REJECTED;
    if (call.access == Access::GetArray || call.access == Access::SetArray) {
        if (call.length != usages.count(call.page, call.usage)) return SCREENIO_ERROR_LENGTH;
        if (call.length > 0 && !call.in && !call.out) return SCREENIO_ERROR_INVALID_ARGUMENT;
    }
    if (call.access == Access::GetValue && !call.valueOut) return SCREENIO_ERROR_INVALID_ARGUMENT;

    KmError status = call.page == kPageScaler ? serveScaler(call, fx) : dispatch(call, fx);
    if (status >= 0 && IsSet(call.access)) ++changes;
    return status;
}

KmError SimMonitor::Impl::serveScaler(SimCall& call, const FaultInjector::Effects& fx) {
    flash->setStuckBusy(faults.active(kPageScaler, FaultEffect::StayBusy));
    if (fx.flipBit) flash->flipBitOnNextProgram();
    if (call.usage == kScalerAddress) return bridge->setAddress(call.in, call.length);
    if (call.access == Access::SetArray) return bridge->writeData(call.in, call.length);
    KmError status = bridge->readData(call.out, call.length);
    if (status >= 0 && fx.wrongEcho)
        common::le::Put16(call.out, static_cast<uint16_t>(common::le::Get16(call.out) + 1));
    return status;
}

KmError SimMonitor::Impl::serveFiles(SimCall& call, const FaultInjector::Effects& fx) {
    const bool get = call.access == Access::GetArray;
    switch (call.usage) {
    case kPropertySelect: files.selectProperty(call.in); return 0;
    case kProperty:
        return get ? files.property(call.out, fx.wrongEcho) : files.createTemporary(call.in);
    case kPageWrite: return files.writePage(call.in);
    case kPageRead:
        return get ? files.readPage(call.out, fx.wrongEcho) : files.requestPage(call.in);
    case kCrc:
        return get ? files.crc(call.out, fx.wrongEcho, fx.stayBusy, fx.corruptCrc)
                   : files.startCrc(call.in);
    default: return SCREENIO_ERROR_NOT_OFFERED;
    }
}

KmError SimMonitor::Impl::dispatch(SimCall& call, const FaultInjector::Effects& fx) {
    const bool get = call.access == Access::GetArray || call.access == Access::GetValue;
    switch (Key(call.page, call.usage)) {
    case Key(kPageGeneral, kOsd):
        if (get)
            *call.valueOut = state.osd;
        else
            state.osd = call.value;
        return 0;
    case Key(kPageGeneral, kSerialProduct): serialProduct(call.out, call.length); return 0;
    case Key(kPageGeneral, kVersionQuery): return versionQuery(call, fx.wrongEcho);
    case Key(kPageFiles, kPropertySelect):
    case Key(kPageFiles, kProperty):
    case Key(kPageFiles, kPageWrite):
    case Key(kPageFiles, kPageRead):
    case Key(kPageFiles, kCrc): return serveFiles(call, fx);
    case Key(kPageFiles, kTransferState): return transferState(call);
    case Key(kPageFiles, kRestart): restartMain(); return 0;
    case Key(kPageZv, kZvCommand): return zv->command(call.in);
    case Key(kPageZv, kZvData):
        if (get) {
            zv->status(call.out, fx.stayBusy, fx.corruptChecksum);
            return 0;
        }
        return zv->data(call.in, fx.flipBit);
    case Key(kPageZv, kZvInfo): return get ? zvInfoGet(call.out, fx.wrongEcho) : zvInfoSet(call.in);
    case Key(kPageFiles, kZvFlag): return zvFlagSet(call.in);
    default: return SCREENIO_ERROR_NOT_OFFERED;
    }
}

void SimMonitor::Impl::serialProduct(uint8_t* out, uint32_t length) const {
    std::fill_n(out, length, 0);
    PutText(out, std::min<uint32_t>(8, length), description.serial);
    if (length > 8)
        PutText(out + 8, length - 8, state.booting() ? description.product : kIspProduct);
}

// A boot loader knows no device versions: in MCU ISP MODE the query is refused.
KmError SimMonitor::Impl::versionQuery(SimCall& call, bool wrongEcho) {
    if (!state.booting()) return SCREENIO_ERROR_REJECTED;
    if (call.access == Access::SetArray) {
        state.selection.versionQuery = common::le::Get16(call.in);
        return 0;
    }
    const std::optional<uint16_t>& asked = state.selection.versionQuery;
    if (!asked) return SCREENIO_ERROR_REJECTED;
    std::fill_n(call.out, 18, 0);
    common::le::Put16(call.out, wrongEcho ? static_cast<uint16_t>(*asked ^ 1u) : *asked);
    if (const DeviceDescription* d = device(*asked)) PutText(call.out + 2, 16, VersionText(*d));
    return 0;
}

KmError SimMonitor::Impl::transferState(SimCall& call) {
    if (call.access == Access::GetValue) {
        *call.valueOut = state.transferState;
        return 0;
    }
    state.transferState = static_cast<uint32_t>(call.value);
    if (state.transferState == 2) state.armed = true;
    if (state.transferState == 1) state.armed = false;
    return 0;
}

KmError SimMonitor::Impl::zvInfoSet(const uint8_t* in) {
    if (in[1] >= state.devices.size()) return SCREENIO_ERROR_REJECTED;
    state.selection.zvInfoIndex = in[1];
    return 0;
}

KmError SimMonitor::Impl::zvInfoGet(uint8_t* out, bool wrongEcho) {
    const uint32_t length = description.zvInfoReportLength;
    const uint8_t index = state.selection.zvInfoIndex;
    std::fill_n(out, length, 0);
    out[0] = static_cast<uint8_t>(state.devices.size());
    if (index >= state.devices.size() || length < 11) return 0;
    const DeviceDescription& d = state.devices[index];
    out[1] = static_cast<uint8_t>(wrongEcho ? index + 1 : index);
    out[2] = d.updateFlagIndex;
    common::le::Put16(out + 3, static_cast<uint16_t>(d.id));
    out[5] = static_cast<uint8_t>(d.displayOrder);
    common::le::Put32(out + 6, d.address);
    PutText(out + 11, length - 11, d.name);
    return 0;
}

KmError SimMonitor::Impl::zvFlagSet(const uint8_t* in) {
    const uint8_t index = in[1];
    if (index >= 32 || in[2] > 1) return SCREENIO_ERROR_REJECTED;
    if (in[2])
        state.zvFlags |= 1u << index;
    else
        state.zvFlags &= ~(1u << index);
    return 0;
}

void SimMonitor::Impl::writeFlash(uint32_t address, const std::vector<uint8_t>& bytes) {
    if (flash) {
        flash->load(address, bytes.data(), bytes.size());
        bootLoader.noteChange(address, uint32_t(address + bytes.size()));
    } else if (zv) {
        if (address > zv->size() || zv->size() - address < bytes.size())
            throw std::out_of_range("bytes outside the ZV flash");
        zv->load(address, bytes);
    } else {
        throw std::logic_error("a monitor of kind " + std::string(KindName(description.kind)) +
                               " has no flash");
    }
    ++changes;
}

std::vector<uint8_t> SimMonitor::Impl::readFlash(uint32_t address, uint32_t length) const {
    if (zv) return zv->read(address, length);
    if (flash) return flash->contents(address, length);
    return {};
}

// ---- persistence ----

nlohmann::json SimMonitor::Impl::save() const {
    nlohmann::json saved = state.save(SimClock::nowUs());
    saved["kind"] = KindName(description.kind);
    if (zv) saved["zv"] = zv->save();
    if (flash) {
        saved["mstar"] = {{"size", flash->size()},
                          {"status", flash->protectionBits()},
                          {"protected", flash->writeProtected()},
                          {"sectors", flash->memory().save()}};
    }
    saved["faultCounters"] = faults.saveCounters();
    return saved;
}

// Everything is read and checked before anything changes, so a bad state leaves the monitor
// as it was.
void SimMonitor::Impl::load(const nlohmann::json& saved) {
    try {
        if (!saved.is_object()) throw std::runtime_error("not a JSON object");
        const std::string kind = saved.at("kind").get<std::string>();
        if (kind != KindName(description.kind))
            throw std::runtime_error("state of a " + kind + " monitor for a " +
                                     KindName(description.kind) + " monitor");
        SimMonitorState next = SimMonitorState::load(saved, fresh, SimClock::nowUs());

        std::unique_ptr<ZvFlashEngine> newZv;
        if (zv) {
            newZv = std::make_unique<ZvFlashEngine>(*zv);
            newZv->restore(saved.at("zv"));
        }
        SparseMemory image;
        uint8_t protection = 0;
        if (flash) {
            const nlohmann::json& mstar = saved.at("mstar");
            const uint32_t size = StateNumber<uint32_t>(mstar, "size");
            if (size != flash->size())
                throw std::runtime_error("flash size " + std::to_string(size) +
                                         " in the state differs from the monitor's " +
                                         std::to_string(flash->size()));
            image = SparseMemory::restore(size, mstar.at("sectors"));
            // States written before the status register was modelled say only on or off.
            protection = mstar.contains("status") ? StateNumber<uint8_t>(mstar, "status")
                                                  : (mstar.at("protected").get<bool>() ? 0x1C : 0);
        }
        FaultInjector newFaults = faults;
        newFaults.loadCounters(saved.at("faultCounters"));

        // Commit.
        state = std::move(next);
        files.regenerateDeviceFiles();
        if (zv) zv = std::move(newZv);
        if (flash) {
            bridge->reset();
            flash->replaceMemory(std::move(image));
            flash->setProtectionBits(protection);
        }
        faults = std::move(newFaults);
        ++changes;
    } catch (const nlohmann::json::exception& e) {
        throw std::runtime_error(std::string("monitor state is malformed: ") + e.what());
    } catch (const std::runtime_error& e) {
        throw std::runtime_error(std::string("monitor state does not fit monitor ") +
                                 description.serial + ": " + e.what());
    }
}

}  // namespace screenio::sim
