#include "sim/SimMonitor.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <map>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <thread>

#include <nlohmann/json.hpp>

#include "sim/Base64.h"
#include "sim/FaultInjector.h"
#include "sim/LittleEndian.h"
#include "sim/MStarBridge.h"
#include "sim/RecordFileSystem.h"
#include "sim/SimClock.h"
#include "sim/SpiNorFlash.h"
#include "sim/ZvFlashEngine.h"

namespace screenio::sim {
namespace {

constexpr uint16_t kPageGeneral = 0xFF00;
constexpr uint16_t kPageZv = 0xFF01;
constexpr uint16_t kPageFiles = 0xFF02;
constexpr uint16_t kPageScaler = 0xFF30;

constexpr uint16_t kOsd = 0x0F;
constexpr uint16_t kSerialProduct = 0x35;
constexpr uint16_t kVersionQuery = 0xD8;
constexpr uint16_t kPropertySelect = 0xC2;
constexpr uint16_t kProperty = 0xC3;
constexpr uint16_t kRestart = 0xF4;
constexpr uint16_t kTransferState = 0xFB;
constexpr uint16_t kCrc = 0xFC;
constexpr uint16_t kPageRead = 0xFD;
constexpr uint16_t kPageWrite = 0xFE;
constexpr uint16_t kScalerAddress = 0x10;
constexpr uint16_t kScalerData = 0x11;
constexpr uint16_t kZvCommand = 0x122;
constexpr uint16_t kZvData = 0x123;
constexpr uint16_t kZvInfo = 0x124;
constexpr uint16_t kZvFlag = 0x110;

constexpr uint32_t kFileReportLength = 522;
constexpr uint32_t kNameLength = 6;
constexpr uint32_t kSectorSize = 0x1000;
constexpr uint8_t kMarkerByte = 0xA5;
constexpr uint32_t kMarkerLength = 4;

// Which requests a usage answers.
enum AccessBits : unsigned {
    kGetValue = 1u << 0,
    kSetValue = 1u << 1,
    kGetArray = 1u << 2,
    kSetArray = 1u << 3,
};

struct UsageEntry {
    uint32_t count = 0; // array report length; 0 for value usages
    unsigned access = 0;
};

constexpr uint32_t usageKey(uint16_t page, uint16_t usage) { return uint32_t(page) << 16 | usage; }

unsigned accessBit(Access access) {
    switch (access) {
    case Access::GetValue: return kGetValue;
    case Access::SetValue: return kSetValue;
    case Access::GetArray: return kGetArray;
    case Access::SetArray: return kSetArray;
    case Access::FixedData: return 0;
    }
    return 0;
}

bool isSet(Access access) { return access == Access::SetValue || access == Access::SetArray; }

const char* kindName(MonitorKind kind) {
    switch (kind) {
    case MonitorKind::Files: return "Files";
    case MonitorKind::Legacy: return "Legacy";
    case MonitorKind::MStar: return "MStar";
    case MonitorKind::ZV: return "ZV";
    }
    return "?";
}

std::vector<DeviceSpec> legacyDevices() {
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
    std::vector<DeviceSpec> devices;
    for (const Row& row : rows) {
        DeviceSpec device;
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
std::string versionText(const DeviceSpec& device) {
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

// An image announces its version with "SIMV" and a little-endian 32-bit value.
bool imageVersion(const uint8_t* bytes, size_t length, uint32_t* version) {
    static const uint8_t kMagic[] = {'S', 'I', 'M', 'V'};
    if (length < 8 || !std::equal(kMagic, kMagic + 4, bytes)) return false;
    *version = le::get32(bytes + 4);
    return true;
}

std::string nameAt(const uint8_t* bytes) { return std::string(bytes, bytes + kNameLength); }

void putText(uint8_t* out, size_t room, const std::string& text) {
    std::fill_n(out, room, 0);
    std::copy_n(text.begin(), std::min(room, text.size()), out);
}

bool sixPrintable(const std::string& name) {
    return name.size() == kNameLength && std::all_of(name.begin(), name.end(), [](char c) {
               return c >= 0x20 && c <= 0x7E;
           });
}

std::string upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// A name that differs from `name` in its last character, for replies that must echo wrongly.
std::string otherName(std::string name) {
    name.back() = static_cast<char>(name.back() ^ 0x01);
    return name;
}

// One request as it reaches the monitor.
struct Call {
    Access access = Access::GetArray;
    uint16_t page = 0;
    uint16_t usage = 0;
    const uint8_t* in = nullptr;
    uint8_t* out = nullptr;
    uint32_t length = 0;
    int64_t value = 0;
    int64_t* valueOut = nullptr;
    bool* offered = nullptr;
    uint32_t* count = nullptr;
};

Call MakeCall(Access access, uint16_t page, uint16_t usage) {
    Call call;
    call.access = access;
    call.page = page;
    call.usage = usage;
    return call;
}

}  // namespace

class SimMonitor::Impl {
public:
    explicit Impl(MonitorSpec monitorSpec);

    // A request as it arrives: the link's time outside the lock, then the answer under it.
    KmError deliver(uint64_t connection, Call call);
    KmError request(uint64_t connection, Call& call);
    // Lets the clock-driven events happen: the automatic power cycle and a drop-off's return.
    void tick();
    bool presentNow() const;
    void powerCycle(int64_t atWallMs);

    nlohmann::json save() const;
    void load(const nlohmann::json& state);

    void writeFlash(uint32_t address, const std::vector<uint8_t>& bytes);
    std::vector<uint8_t> readFlash(uint32_t address, uint32_t length) const;
    const DeviceSpec* device(uint32_t id) const;

    mutable std::mutex mutex;
    MonitorSpec spec;
    std::vector<DeviceSpec> devices; // `version` is the live version
    std::vector<DeviceSpec> initialDevices;
    std::map<uint32_t, UsageEntry> usages;
    RecordFileSystem files;
    std::unique_ptr<SpiNorFlash> flash; // MStar
    std::unique_ptr<MStarBridge> bridge;
    std::unique_ptr<ZvFlashEngine> zv;
    FaultInjector faults;

    // What the host selected; forgotten at a restart.
    std::optional<std::string> selectedFile;
    std::optional<std::array<uint8_t, 10>> pendingRead;
    std::optional<uint16_t> versionQuery;
    std::optional<std::string> crcFile;
    uint8_t zvInfoIndex = 0;

    uint32_t transferState = 0;
    bool armed = false;
    int64_t osd = 0;
    uint32_t zvFlags = 0;
    bool lastProtected = true;

    uint64_t connection = 1;
    uint32_t restartCount = 0;
    int64_t absentUntilWallMs = 0;
    bool absentForever = false;
    bool restartOnReturn = false;     // a drop-off restarts the monitor when it comes back
    int64_t powerCycleAtWallMs = 0;   // 0: no automatic power cycle pending
    uint64_t changes = 0;

    bool recording = false;
    std::vector<SimRequest> history;

private:
    KmError serve(uint64_t connectionId, Call& call);
    KmError dispatch(Call& call, const FaultInjector::Effects& fx);
    KmError serveScaler(Call& call, const FaultInjector::Effects& fx);

    KmError versionQueryGet(uint8_t* out, bool wrongEcho);
    KmError propertyGet(uint8_t* out, bool wrongEcho);
    KmError createTemporary(const uint8_t* in);
    KmError pageWrite(const uint8_t* in);
    KmError pageReadSet(const uint8_t* in);
    KmError pageReadGet(uint8_t* out, bool wrongEcho);
    KmError crcSet(const uint8_t* in);
    KmError crcGet(uint8_t* out, const FaultInjector::Effects& fx);
    KmError zvInfoSet(const uint8_t* in);
    KmError zvInfoGet(uint8_t* out, bool wrongEcho);
    KmError zvFlagSet(const uint8_t* in);
    void serialProduct(uint8_t* out, uint32_t length) const;

    void buildFiles(RecordFileSystem& target) const;
    void regenerateDeviceFiles(RecordFileSystem& target) const;
    void installFiles();
    void installZv();
    void installMStar();
    bool anyMarkerSet() const;
    void resetVolatile();
    void restartMain();
    void dropOff(uint32_t absentMs);
    void leaveBus(int64_t untilWallMs);
    void checkProtection();
};

SimMonitor::Impl::Impl(MonitorSpec monitorSpec) : spec(std::move(monitorSpec)) {
    devices = spec.devices;
    if (spec.kind == MonitorKind::Legacy && devices.empty()) devices = legacyDevices();
    initialDevices = devices;

    const bool hasFiles = spec.kind == MonitorKind::Files || spec.kind == MonitorKind::Legacy;
    const bool hasFlash = spec.kind == MonitorKind::MStar || spec.kind == MonitorKind::ZV;
    for (const DeviceSpec& d : devices) {
        if (hasFiles && !sixPrintable(d.fileName))
            throw std::invalid_argument("device '" + d.name + "': file name '" + d.fileName +
                                        "' is not six printable characters");
        if (spec.kind == MonitorKind::ZV && d.updateFlagIndex >= 32)
            throw std::invalid_argument("device '" + d.name + "': update flag index above 31");
    }
    for (const FileSpec& f : spec.files)
        if (!sixPrintable(f.name))
            throw std::invalid_argument("file name '" + f.name + "' is not six printable characters");
    if (hasFlash && spec.flashSize == 0) throw std::invalid_argument("flash size 0");
    if (spec.kind == MonitorKind::Files && devices.size() > 0xFFFF)
        throw std::invalid_argument("more devices than the device files can hold");

    auto add = [this](uint16_t page, uint16_t usage, uint32_t count, unsigned access) {
        usages[usageKey(page, usage)] = UsageEntry{count, access};
    };
    add(kPageGeneral, kOsd, 0, kGetValue | kSetValue);
    add(kPageGeneral, kSerialProduct, spec.serialReportLength, kGetArray);
    if (spec.kind != MonitorKind::Files) add(kPageGeneral, kVersionQuery, 18, kGetArray | kSetArray);
    if (hasFiles) {
        add(kPageFiles, kPropertySelect, 10, kSetArray);
        add(kPageFiles, kProperty, 16, kGetArray | kSetArray);
        add(kPageFiles, kCrc, 15, kGetArray | kSetArray);
        add(kPageFiles, kPageRead, kFileReportLength, kGetArray | kSetArray);
        add(kPageFiles, kPageWrite, kFileReportLength, kSetArray);
    }
    if (spec.kind != MonitorKind::MStar) {
        add(kPageFiles, kRestart, 0, kSetValue);
        add(kPageFiles, kTransferState, 0, kGetValue | kSetValue);
    }
    if (spec.kind == MonitorKind::MStar) {
        add(kPageScaler, kScalerAddress, 4, kSetArray);
        add(kPageScaler, kScalerData, MStarBridge::kDataReportLength, kGetArray | kSetArray);
    }
    if (spec.kind == MonitorKind::ZV) {
        add(kPageZv, kZvCommand, 9, kSetArray);
        add(kPageZv, kZvData, ZvFlashEngine::kPageSize, kGetArray | kSetArray);
        add(kPageZv, kZvInfo, spec.zvInfoReportLength, kGetArray | kSetArray);
        add(kPageFiles, kZvFlag, 3, kSetArray);
    }
    for (const UsageId& removed : spec.withoutUsages) usages.erase(usageKey(removed.page, removed.usage));

    if (hasFiles) buildFiles(files);
    if (spec.kind == MonitorKind::MStar) {
        SpiNorFlash::Timing timing;
        timing.pageProgramUs = spec.pageProgramUs;
        timing.sectorEraseUs = spec.sectorEraseMs * 1000;
        timing.blockEraseUs = spec.blockEraseMs * 1000;
        timing.statusWriteUs = spec.statusWriteMs * 1000;
        flash = std::make_unique<SpiNorFlash>(spec.flashSize, timing);
        bridge = std::make_unique<MStarBridge>(*flash);
        lastProtected = flash->writeProtected();
    }
    if (spec.kind == MonitorKind::ZV)
        zv = std::make_unique<ZvFlashEngine>(spec.flashSize, spec.zvEraseMs, spec.zvChecksumMsPerBlock);
    for (const FaultRule& rule : spec.faults) faults.add(rule);
}

void SimMonitor::Impl::buildFiles(RecordFileSystem& target) const {
    target.clear();
    for (const DeviceSpec& d : devices)
        if (!target.find(d.fileName)) target.addPermanent(d.fileName, d.recordSize, d.recordCount, {}, false);
    for (const FileSpec& f : spec.files) target.addPermanent(f.name, f.recordSize, f.recordCount, f.content, false);
    regenerateDeviceFiles(target);
}

// The device files are a view of the devices, so they follow every version change.
void SimMonitor::Impl::regenerateDeviceFiles(RecordFileSystem& target) const {
    if (spec.kind != MonitorKind::Files) return;
    const size_t n = devices.size();
    const uint16_t count = static_cast<uint16_t>(n);
    const uint16_t nameSize = static_cast<uint16_t>(spec.deviceNameRecordSize);
    std::vector<uint8_t> names(n * nameSize, 0), fileNames(n * 8, 0), versions(n * 4, 0), orders(n * 4, 0);
    for (size_t i = 0; i < n; ++i) {
        putText(&names[i * nameSize], nameSize, devices[i].name);
        putText(&fileNames[i * 8], 8, devices[i].fileName);
        le::put32(&versions[i * 4], devices[i].version);
        le::put32(&orders[i * 4], devices[i].displayOrder);
    }
    target.addPermanent("KFW000", nameSize, count, names, true);
    target.addPermanent("KFW001", 8, count, fileNames, true);
    target.addPermanent("KFW002", 4, count, versions, true);
    target.addPermanent("KFW003", 4, count, orders, true);
}

const DeviceSpec* SimMonitor::Impl::device(uint32_t id) const {
    for (const DeviceSpec& d : devices)
        if (d.id == id) return &d;
    return nullptr;
}

bool SimMonitor::Impl::presentNow() const {
    return !absentForever && SimClock::wallMs() >= absentUntilWallMs;
}

void SimMonitor::Impl::tick() {
    if (flash) checkProtection();
    if (powerCycleAtWallMs != 0 && SimClock::wallMs() >= powerCycleAtWallMs) powerCycle(powerCycleAtWallMs);
    if (restartOnReturn && presentNow()) {
        // The drop-off was the monitor rebooting: it comes back as after a restart, without
        // a second absence.
        restartOnReturn = false;
        if (spec.kind == MonitorKind::Files || spec.kind == MonitorKind::Legacy) installFiles();
        if (spec.kind == MonitorKind::ZV) installZv();
        resetVolatile();
        ++restartCount;
        ++changes;
    }
}

// The automatic power cycle starts when the host switches the protection back on after
// setting a marker, whichever request made the status write take effect.
void SimMonitor::Impl::checkProtection() {
    bool now = flash->writeProtected();
    if (now && !lastProtected && spec.mstarPowerCycleMs > 0 && powerCycleAtWallMs == 0 && anyMarkerSet())
        powerCycleAtWallMs = SimClock::wallMs() + spec.mstarPowerCycleMs;
    lastProtected = now;
}

bool SimMonitor::Impl::anyMarkerSet() const {
    const std::vector<uint8_t>& memory = flash->contents();
    for (const DeviceSpec& d : devices) {
        if (d.flagAddress > memory.size() || memory.size() - d.flagAddress < kMarkerLength) continue;
        if (std::all_of(memory.begin() + d.flagAddress, memory.begin() + d.flagAddress + kMarkerLength,
                        [](uint8_t b) { return b == kMarkerByte; }))
            return true;
    }
    return false;
}

void SimMonitor::Impl::installFiles() {
    const int64_t now = SimClock::nowUs();
    if (armed) {
        for (const RecordFile* temp : files.files()) {
            if (!temp->temporary || !RecordFileSystem::completeAndVerified(*temp, now)) continue;
            const std::string target = upper(temp->name);
            const RecordFile* firmware = files.find(target);
            // An image larger than the device's firmware area cannot be taken.
            if (!firmware || firmware->temporary || temp->content.size() > firmware->content.size()) continue;
            bool matched = false;
            for (DeviceSpec& d : devices) {
                if (d.fileName != target) continue;
                matched = true;
                imageVersion(temp->content.data(), temp->content.size(), &d.version);
            }
            if (matched) files.setContent(target, temp->content);
        }
    }
    files.removeTemporaries();
    armed = false;
    transferState = 0;
    regenerateDeviceFiles(files);
}

void SimMonitor::Impl::installZv() {
    for (DeviceSpec& d : devices) {
        if (d.updateFlagIndex >= 32 || !(zvFlags >> d.updateFlagIndex & 1u)) continue;
        std::vector<uint8_t> head = zv->read(d.address, 8);
        imageVersion(head.data(), head.size(), &d.version);
    }
    zvFlags = 0;
    transferState = 0;
}

void SimMonitor::Impl::installMStar() {
    const std::vector<uint8_t>& memory = flash->contents();
    const std::vector<uint8_t> erased(kMarkerLength, 0xFF);
    for (DeviceSpec& d : devices) {
        if (d.flagAddress > memory.size() || memory.size() - d.flagAddress < kMarkerLength) continue;
        if (!std::all_of(memory.begin() + d.flagAddress, memory.begin() + d.flagAddress + kMarkerLength,
                         [](uint8_t b) { return b == kMarkerByte; }))
            continue;
        if (d.address < memory.size())
            imageVersion(memory.data() + d.address, memory.size() - d.address, &d.version);
        flash->load(d.flagAddress, erased.data(), erased.size());
    }
}

void SimMonitor::Impl::resetVolatile() {
    selectedFile.reset();
    pendingRead.reset();
    versionQuery.reset();
    crcFile.reset();
    zvInfoIndex = 0;
    if (zv) zv->reset();
    if (bridge) bridge->reset();
}

void SimMonitor::Impl::leaveBus(int64_t untilWallMs) {
    ++connection;
    absentUntilWallMs = untilWallMs;
    ++changes;
}

void SimMonitor::Impl::restartMain() {
    if (spec.kind == MonitorKind::Files || spec.kind == MonitorKind::Legacy) installFiles();
    if (spec.kind == MonitorKind::ZV) installZv();
    resetVolatile();
    ++restartCount;
    leaveBus(SimClock::wallMs() + spec.restartMs);
}

void SimMonitor::Impl::powerCycle(int64_t atWallMs) {
    switch (spec.kind) {
    case MonitorKind::Files:
    case MonitorKind::Legacy: installFiles(); break;
    case MonitorKind::ZV: installZv(); break;
    case MonitorKind::MStar: installMStar(); break;
    }
    resetVolatile();
    absentForever = false;
    restartOnReturn = false;
    powerCycleAtWallMs = 0;
    ++restartCount;
    leaveBus(atWallMs + spec.restartMs);
    if (flash) lastProtected = flash->writeProtected();
}

void SimMonitor::Impl::dropOff(uint32_t absentMs) {
    absentForever = absentMs == 0;
    restartOnReturn = !absentForever;
    leaveBus(SimClock::wallMs() + absentMs);
}

KmError SimMonitor::Impl::request(uint64_t connectionId, Call& call) {
    KmError status = serve(connectionId, call);
    if (recording) {
        SimRequest entry;
        entry.access = call.access;
        entry.page = call.page;
        entry.usage = call.usage;
        entry.status = status;
        if (call.access == Access::SetArray && call.in) entry.data.assign(call.in, call.in + call.length);
        if (call.access == Access::GetArray && call.out && status >= 0)
            entry.data.assign(call.out, call.out + call.length);
        if (call.access == Access::SetValue) entry.value = call.value;
        if (call.access == Access::GetValue && call.valueOut && status >= 0) entry.value = *call.valueOut;
        if (call.access == Access::FixedData && call.count && status >= 0) entry.value = *call.count;
        history.push_back(std::move(entry));
    }
    return status;
}

KmError SimMonitor::Impl::serve(uint64_t connectionId, Call& call) {
    if (connectionId != connection || !presentNow()) return SCREENIO_ERROR_GONE;

    bool counted = false;
    FaultInjector::Effects fx = faults.onRequest(call.page, call.usage, call.access, &counted);
    if (counted) ++changes;
    if (fx.dropOff) {
        dropOff(fx.absentMs);
        return SCREENIO_ERROR_GONE;
    }
    if (fx.fail) return fx.failStatus;

    auto it = usages.find(usageKey(call.page, call.usage));
    if (call.access == Access::FixedData) {
        if (call.offered) *call.offered = it != usages.end();
        if (call.count) *call.count = it != usages.end() ? it->second.count : 0;
        return 0;
    }
    if (it == usages.end()) return SCREENIO_ERROR_NOT_OFFERED;
    if (!(it->second.access & accessBit(call.access))) return SCREENIO_ERROR_REJECTED;
    if (call.access == Access::GetArray || call.access == Access::SetArray) {
        if (call.length != it->second.count) return SCREENIO_ERROR_LENGTH;
        if (call.length > 0 && !call.in && !call.out) return SCREENIO_ERROR_INVALID_ARGUMENT;
    }
    if (call.access == Access::GetValue && !call.valueOut) return SCREENIO_ERROR_INVALID_ARGUMENT;

    KmError status = call.page == kPageScaler ? serveScaler(call, fx) : dispatch(call, fx);
    if (status >= 0 && isSet(call.access)) ++changes;
    return status;
}

KmError SimMonitor::Impl::serveScaler(Call& call, const FaultInjector::Effects& fx) {
    flash->setStuckBusy(faults.active(kPageScaler, FaultEffect::StayBusy));
    if (fx.flipBit) flash->flipBitOnNextProgram();
    KmError status = SCREENIO_ERROR_REJECTED;
    if (call.usage == kScalerAddress) {
        status = bridge->setAddress(call.in, call.length);
    } else if (call.access == Access::SetArray) {
        status = bridge->writeData(call.in, call.length);
    } else {
        status = bridge->readData(call.out, call.length);
        if (status >= 0 && fx.wrongEcho) le::put16(call.out, static_cast<uint16_t>(le::get16(call.out) + 1));
    }
    checkProtection();
    return status;
}

KmError SimMonitor::Impl::dispatch(Call& call, const FaultInjector::Effects& fx) {
    const bool get = call.access == Access::GetArray || call.access == Access::GetValue;
    switch (usageKey(call.page, call.usage)) {
    case usageKey(kPageGeneral, kOsd):
        if (get) *call.valueOut = osd;
        else osd = call.value;
        return 0;
    case usageKey(kPageGeneral, kSerialProduct):
        serialProduct(call.out, call.length);
        return 0;
    case usageKey(kPageGeneral, kVersionQuery):
        if (get) return versionQueryGet(call.out, fx.wrongEcho);
        versionQuery = le::get16(call.in);
        return 0;
    case usageKey(kPageFiles, kPropertySelect):
        selectedFile = nameAt(call.in);
        return 0;
    case usageKey(kPageFiles, kProperty):
        return get ? propertyGet(call.out, fx.wrongEcho) : createTemporary(call.in);
    case usageKey(kPageFiles, kPageWrite): return pageWrite(call.in);
    case usageKey(kPageFiles, kPageRead): return get ? pageReadGet(call.out, fx.wrongEcho) : pageReadSet(call.in);
    case usageKey(kPageFiles, kCrc): return get ? crcGet(call.out, fx) : crcSet(call.in);
    case usageKey(kPageFiles, kTransferState):
        if (get) {
            *call.valueOut = transferState;
            return 0;
        }
        transferState = static_cast<uint32_t>(call.value);
        if (transferState == 2) armed = true;
        if (transferState == 1) armed = false;
        return 0;
    case usageKey(kPageFiles, kRestart):
        restartMain();
        return 0;
    case usageKey(kPageZv, kZvCommand): return zv->command(call.in);
    case usageKey(kPageZv, kZvData):
        if (get) {
            zv->status(call.out, fx.stayBusy, fx.corruptChecksum);
            return 0;
        }
        return zv->data(call.in, fx.flipBit);
    case usageKey(kPageZv, kZvInfo): return get ? zvInfoGet(call.out, fx.wrongEcho) : zvInfoSet(call.in);
    case usageKey(kPageFiles, kZvFlag): return zvFlagSet(call.in);
    default: return SCREENIO_ERROR_NOT_OFFERED;
    }
}

void SimMonitor::Impl::serialProduct(uint8_t* out, uint32_t length) const {
    std::fill_n(out, length, 0);
    putText(out, std::min<uint32_t>(8, length), spec.serial);
    if (length > 8) putText(out + 8, length - 8, spec.product);
}

KmError SimMonitor::Impl::versionQueryGet(uint8_t* out, bool wrongEcho) {
    if (!versionQuery) return SCREENIO_ERROR_REJECTED;
    std::fill_n(out, 18, 0);
    le::put16(out, wrongEcho ? static_cast<uint16_t>(*versionQuery ^ 1u) : *versionQuery);
    if (const DeviceSpec* d = device(*versionQuery)) putText(out + 2, 16, versionText(*d));
    return 0;
}

KmError SimMonitor::Impl::propertyGet(uint8_t* out, bool wrongEcho) {
    if (!selectedFile) return SCREENIO_ERROR_REJECTED;
    std::fill_n(out, 16, 0);
    const std::string& name = *selectedFile;
    putText(out, kNameLength, wrongEcho ? otherName(name) : name);
    if (const RecordFile* file = files.find(name)) {
        le::put16(out + 6, file->recordSize);
        le::put16(out + 8, file->recordCount);
    }
    return 0;
}

KmError SimMonitor::Impl::createTemporary(const uint8_t* in) {
    return files.createTemporary(nameAt(in), le::get16(in + 6), le::get16(in + 8));
}

KmError SimMonitor::Impl::pageWrite(const uint8_t* in) {
    return files.writePage(nameAt(in), le::get16(in + 6), le::get16(in + 8), in + 10);
}

KmError SimMonitor::Impl::pageReadSet(const uint8_t* in) {
    if (KmError status = files.checkPage(nameAt(in), le::get16(in + 6), le::get16(in + 8)); status < 0)
        return status;
    std::array<uint8_t, 10> head{};
    std::copy_n(in, head.size(), head.begin());
    pendingRead = head;
    return 0;
}

KmError SimMonitor::Impl::pageReadGet(uint8_t* out, bool wrongEcho) {
    if (!pendingRead) return SCREENIO_ERROR_REJECTED;
    const std::array<uint8_t, 10>& head = *pendingRead;
    std::fill_n(out, kFileReportLength, 0);
    KmError status = files.readPage(nameAt(head.data()), le::get16(&head[6]), le::get16(&head[8]), out + 10);
    if (status < 0) return status;
    std::copy(head.begin(), head.end(), out);
    if (wrongEcho) le::put16(out + 8, static_cast<uint16_t>(le::get16(&head[8]) + 1));
    return 0;
}

KmError SimMonitor::Impl::crcSet(const uint8_t* in) {
    const std::string name = nameAt(in);
    KmError status = files.startCrc(name, le::get32(in + 6), SimClock::nowUs(),
                                    static_cast<int64_t>(spec.crcBusyMs) * 1000);
    if (status >= 0) crcFile = name;
    return status;
}

KmError SimMonitor::Impl::crcGet(uint8_t* out, const FaultInjector::Effects& fx) {
    if (!crcFile) return SCREENIO_ERROR_REJECTED;
    const RecordFile* file = files.find(*crcFile);
    if (!file || !file->crcStarted) return SCREENIO_ERROR_REJECTED;
    std::fill_n(out, 15, 0);
    putText(out, kNameLength, fx.wrongEcho ? otherName(file->name) : file->name);
    le::put32(out + 6, file->byteSize());
    const bool busy = fx.stayBusy || RecordFileSystem::crcBusy(*file, SimClock::nowUs());
    out[10] = busy ? 1 : 0;
    if (!busy) le::put32(out + 11, fx.corruptCrc ? file->crcValue ^ 1u : file->crcValue);
    return 0;
}

KmError SimMonitor::Impl::zvInfoSet(const uint8_t* in) {
    if (in[1] >= devices.size()) return SCREENIO_ERROR_REJECTED;
    zvInfoIndex = in[1];
    return 0;
}

KmError SimMonitor::Impl::zvInfoGet(uint8_t* out, bool wrongEcho) {
    const uint32_t length = spec.zvInfoReportLength;
    std::fill_n(out, length, 0);
    out[0] = static_cast<uint8_t>(devices.size());
    if (zvInfoIndex >= devices.size() || length < 11) return 0;
    const DeviceSpec& d = devices[zvInfoIndex];
    out[1] = static_cast<uint8_t>(wrongEcho ? zvInfoIndex + 1 : zvInfoIndex);
    out[2] = d.updateFlagIndex;
    le::put16(out + 3, static_cast<uint16_t>(d.id));
    out[5] = static_cast<uint8_t>(d.displayOrder);
    le::put32(out + 6, d.address);
    putText(out + 11, length - 11, d.name);
    return 0;
}

KmError SimMonitor::Impl::zvFlagSet(const uint8_t* in) {
    const uint8_t index = in[1];
    if (index >= 32 || in[2] > 1) return SCREENIO_ERROR_REJECTED;
    if (in[2]) zvFlags |= 1u << index;
    else zvFlags &= ~(1u << index);
    return 0;
}

void SimMonitor::Impl::writeFlash(uint32_t address, const std::vector<uint8_t>& bytes) {
    if (flash) {
        flash->load(address, bytes.data(), bytes.size());
    } else if (zv) {
        if (address > zv->size() || zv->size() - address < bytes.size())
            throw std::out_of_range("bytes outside the ZV flash");
        zv->load(address, bytes);
    } else {
        throw std::logic_error("a monitor of kind " + std::string(kindName(spec.kind)) + " has no flash");
    }
    ++changes;
}

std::vector<uint8_t> SimMonitor::Impl::readFlash(uint32_t address, uint32_t length) const {
    if (zv) return zv->read(address, length);
    if (!flash) return {};
    std::vector<uint8_t> out(length, 0xFF);
    const std::vector<uint8_t>& memory = flash->contents();
    for (uint32_t i = 0; i < length && uint64_t(address) + i < memory.size(); ++i) out[i] = memory[address + i];
    return out;
}

// ---- persistence ----

namespace {

nlohmann::json optionalText(const std::optional<std::string>& text) {
    return text ? nlohmann::json(*text) : nlohmann::json(nullptr);
}

std::optional<std::string> readOptionalText(const nlohmann::json& value) {
    if (value.is_null()) return std::nullopt;
    std::string text = value.get<std::string>();
    if (text.size() != kNameLength) throw std::runtime_error("selected file name '" + text + "' is not six bytes");
    return text;
}

}  // namespace

nlohmann::json SimMonitor::Impl::save() const {
    nlohmann::json state;
    state["kind"] = kindName(spec.kind);
    state["connection"] = connection;
    state["restartCount"] = restartCount;
    state["absentUntilWallMs"] = absentUntilWallMs;
    state["absentForever"] = absentForever;
    state["restartOnReturn"] = restartOnReturn;
    state["powerCycleAtWallMs"] = powerCycleAtWallMs;
    state["transferState"] = transferState;
    state["armed"] = armed;
    state["osd"] = osd;
    state["zvFlags"] = zvFlags;
    nlohmann::json deviceList = nlohmann::json::array();
    for (const DeviceSpec& d : devices) deviceList.push_back({{"id", d.id}, {"version", d.version}});
    state["devices"] = deviceList;
    state["files"] = files.save(SimClock::nowUs());
    state["selection"] = {
        {"file", optionalText(selectedFile)},
        {"pageRead", pendingRead ? nlohmann::json(Base64::encode(pendingRead->data(), pendingRead->size()))
                                 : nlohmann::json(nullptr)},
        {"versionQuery", versionQuery ? nlohmann::json(*versionQuery) : nlohmann::json(nullptr)},
        {"crcFile", optionalText(crcFile)},
        {"zvInfoIndex", zvInfoIndex},
    };
    if (zv) state["zv"] = zv->save();
    if (flash) {
        nlohmann::json sectors = nlohmann::json::array();
        const std::vector<uint8_t>& memory = flash->contents();
        for (uint32_t at = 0; at < memory.size(); at += kSectorSize) {
            uint32_t length = std::min<uint32_t>(kSectorSize, static_cast<uint32_t>(memory.size()) - at);
            if (std::all_of(memory.begin() + at, memory.begin() + at + length, [](uint8_t b) { return b == 0xFF; }))
                continue;
            sectors.push_back({{"address", at}, {"data", Base64::encode(&memory[at], length)}});
        }
        state["mstar"] = {{"size", flash->size()}, {"protected", flash->writeProtected()}, {"sectors", sectors}};
    }
    state["faultCounters"] = faults.saveCounters();
    return state;
}

// Everything is read and checked before anything changes, so a bad state leaves the monitor
// as it was.
void SimMonitor::Impl::load(const nlohmann::json& state) {
    try {
        if (!state.is_object()) throw std::runtime_error("not a JSON object");
        const std::string kind = state.at("kind").get<std::string>();
        if (kind != kindName(spec.kind))
            throw std::runtime_error("state of a " + kind + " monitor for a " + kindName(spec.kind) + " monitor");

        // Devices the state does not mention keep the versions they started with.
        std::vector<DeviceSpec> newDevices = initialDevices;
        for (const nlohmann::json& entry : state.at("devices")) {
            uint32_t id = entry.at("id").get<uint32_t>();
            auto d = std::find_if(newDevices.begin(), newDevices.end(), [&](const DeviceSpec& s) { return s.id == id; });
            if (d == newDevices.end()) throw std::runtime_error("unknown device " + std::to_string(id));
            d->version = entry.at("version").get<uint32_t>();
        }

        RecordFileSystem newFiles;
        const bool hasFiles = spec.kind == MonitorKind::Files || spec.kind == MonitorKind::Legacy;
        if (hasFiles) buildFiles(newFiles);
        const int64_t nowUs = SimClock::nowUs();
        for (const nlohmann::json& entry : state.at("files")) {
            if (!hasFiles) throw std::runtime_error("files in the state of a monitor without files");
            RecordFile file = RecordFileSystem::fileFromJson(entry, nowUs);
            const RecordFile* known = newFiles.find(file.name);
            if (!file.temporary) {
                if (!known || known->readOnly)
                    throw std::runtime_error("unknown file " + file.name);
                if (known->recordSize != file.recordSize || known->recordCount != file.recordCount)
                    throw std::runtime_error("file " + file.name + " has another geometry than the monitor's");
            } else if (known && !known->temporary) {
                throw std::runtime_error("temporary file " + file.name + " has the name of a permanent file");
            }
            newFiles.put(std::move(file));
        }

        const nlohmann::json& selection = state.at("selection");
        std::optional<std::string> newSelected = readOptionalText(selection.at("file"));
        std::optional<std::string> newCrcFile = readOptionalText(selection.at("crcFile"));
        std::optional<std::array<uint8_t, 10>> newPendingRead;
        if (!selection.at("pageRead").is_null()) {
            std::vector<uint8_t> bytes = Base64::decode(selection.at("pageRead").get<std::string>());
            if (bytes.size() != 10) throw std::runtime_error("pending page read is not 10 bytes");
            std::array<uint8_t, 10> head{};
            std::copy(bytes.begin(), bytes.end(), head.begin());
            newPendingRead = head;
        }
        std::optional<uint16_t> newVersionQuery;
        if (!selection.at("versionQuery").is_null()) newVersionQuery = selection.at("versionQuery").get<uint16_t>();
        const uint8_t newInfoIndex = selection.at("zvInfoIndex").get<uint8_t>();

        std::unique_ptr<ZvFlashEngine> newZv;
        if (zv) {
            newZv = std::make_unique<ZvFlashEngine>(*zv);
            newZv->restore(state.at("zv"));
        }
        std::vector<uint8_t> image;
        bool newProtected = true;
        if (flash) {
            const nlohmann::json& mstar = state.at("mstar");
            uint32_t size = mstar.at("size").get<uint32_t>();
            if (size != flash->size())
                throw std::runtime_error("flash size " + std::to_string(size) + " in the state differs from the monitor's " +
                                         std::to_string(flash->size()));
            image.assign(size, 0xFF);
            for (const nlohmann::json& sector : mstar.at("sectors")) {
                uint32_t at = sector.at("address").get<uint32_t>();
                std::vector<uint8_t> bytes = Base64::decode(sector.at("data").get<std::string>());
                if (at > size || size - at < bytes.size())
                    throw std::runtime_error("flash sector at " + std::to_string(at) + " lies outside the flash");
                std::copy(bytes.begin(), bytes.end(), image.begin() + at);
            }
            newProtected = mstar.at("protected").get<bool>();
        }
        FaultInjector newFaults = faults;
        newFaults.loadCounters(state.at("faultCounters"));

        const uint64_t newConnection = state.at("connection").get<uint64_t>();
        const uint32_t newRestartCount = state.at("restartCount").get<uint32_t>();
        const int64_t newAbsentUntil = state.at("absentUntilWallMs").get<int64_t>();
        const bool newForever = state.at("absentForever").get<bool>();
        const bool newRestartOnReturn = state.at("restartOnReturn").get<bool>();
        const int64_t newPowerCycleAt = state.at("powerCycleAtWallMs").get<int64_t>();
        const uint32_t newTransferState = state.at("transferState").get<uint32_t>();
        const bool newArmed = state.at("armed").get<bool>();
        const int64_t newOsd = state.at("osd").get<int64_t>();
        const uint32_t newZvFlags = state.at("zvFlags").get<uint32_t>();

        // Commit.
        devices = std::move(newDevices);
        regenerateDeviceFiles(newFiles);
        files = std::move(newFiles);
        selectedFile = newSelected;
        crcFile = newCrcFile;
        pendingRead = newPendingRead;
        versionQuery = newVersionQuery;
        zvInfoIndex = newInfoIndex;
        if (zv) zv = std::move(newZv);
        if (flash) {
            bridge->reset();
            flash->load(0, image.data(), image.size());
            flash->setWriteProtected(newProtected);
            lastProtected = newProtected;
        }
        faults = std::move(newFaults);
        connection = newConnection;
        restartCount = newRestartCount;
        absentUntilWallMs = newAbsentUntil;
        absentForever = newForever;
        restartOnReturn = newRestartOnReturn;
        powerCycleAtWallMs = newPowerCycleAt;
        transferState = newTransferState;
        armed = newArmed;
        osd = newOsd;
        zvFlags = newZvFlags;
        ++changes;
    } catch (const nlohmann::json::exception& e) {
        throw std::runtime_error(std::string("monitor state is malformed: ") + e.what());
    } catch (const std::runtime_error& e) {
        throw std::runtime_error(std::string("monitor state does not fit monitor ") + spec.serial + ": " + e.what());
    }
}

// ---- SimMonitor ----

SimMonitor::SimMonitor(MonitorSpec spec) : m_impl(std::make_unique<Impl>(std::move(spec))) {}

SimMonitor::~SimMonitor() = default;

const MonitorSpec& SimMonitor::spec() const { return m_impl->spec; }

std::vector<SimUsage> SimMonitor::usages() const {
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    std::vector<SimUsage> listing;
    for (const auto& [key, entry] : m_impl->usages) {
        SimUsage u;
        u.page = static_cast<uint16_t>(key >> 16);
        u.usage = static_cast<uint16_t>(key & 0xFFFFu);
        u.count = entry.count;
        u.getValue = (entry.access & kGetValue) != 0;
        u.setValue = (entry.access & kSetValue) != 0;
        u.getArray = (entry.access & kGetArray) != 0;
        u.setArray = (entry.access & kSetArray) != 0;
        listing.push_back(u);
    }
    return listing;
}

bool SimMonitor::present() const {
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    m_impl->tick();
    return m_impl->presentNow();
}

uint64_t SimMonitor::connection() const {
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    m_impl->tick();
    return m_impl->connection;
}

namespace {

// The link's round trip, outside the monitor's lock so other requests are not held up: the
// simulated time every request takes, and optionally a real delay too.
void linkDelay(const MonitorSpec& spec) {
    SimClock::addLinkTime(spec.requestTimeUs);
    if (spec.latencyUs == 0) return;
    // A sleep alone overshoots by a tenth of a millisecond or more, which over thousands of
    // requests would make the link slower than asked: sleep most of it, then wait out the rest.
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::microseconds(spec.latencyUs);
    constexpr auto kFinish = std::chrono::microseconds(200);
    if (std::chrono::microseconds(spec.latencyUs) > kFinish)
        std::this_thread::sleep_until(deadline - kFinish);
    while (Clock::now() < deadline) std::this_thread::yield();
}

}  // namespace

KmError SimMonitor::Impl::deliver(uint64_t connection, Call call) {
    linkDelay(spec);
    std::lock_guard<std::mutex> lock(mutex);
    tick();
    return request(connection, call);
}

KmError SimMonitor::getFixedData(uint64_t connection, uint16_t page, uint16_t usage, bool* offered,
                                 uint32_t* count) {
    Call call = MakeCall(Access::FixedData, page, usage);
    call.offered = offered;
    call.count = count;
    return m_impl->deliver(connection, call);
}

KmError SimMonitor::getValue(uint64_t connection, uint16_t page, uint16_t usage, int64_t* value) {
    Call call = MakeCall(Access::GetValue, page, usage);
    call.valueOut = value;
    return m_impl->deliver(connection, call);
}

KmError SimMonitor::setValue(uint64_t connection, uint16_t page, uint16_t usage, int64_t value) {
    Call call = MakeCall(Access::SetValue, page, usage);
    call.value = value;
    return m_impl->deliver(connection, call);
}

KmError SimMonitor::getArray(uint64_t connection, uint16_t page, uint16_t usage, uint8_t* buffer,
                             uint32_t length) {
    Call call = MakeCall(Access::GetArray, page, usage);
    call.out = buffer;
    call.length = length;
    return m_impl->deliver(connection, call);
}

KmError SimMonitor::setArray(uint64_t connection, uint16_t page, uint16_t usage,
                             const uint8_t* buffer, uint32_t length) {
    Call call = MakeCall(Access::SetArray, page, usage);
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
    const DeviceSpec* d = m_impl->device(deviceId);
    return d ? d->version : 0;
}

uint32_t SimMonitor::transferState() const {
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    m_impl->tick();
    return m_impl->transferState;
}

int64_t SimMonitor::osdValue() const {
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    m_impl->tick();
    return m_impl->osd;
}

std::optional<std::vector<uint8_t>> SimMonitor::fileContent(const std::string& name) const {
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    m_impl->tick();
    const RecordFile* file = m_impl->files.find(name);
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

bool SimMonitor::ispMode() const {
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    m_impl->tick();
    return m_impl->bridge && m_impl->bridge->ispMode();
}

uint32_t SimMonitor::zvUpdateFlags() const {
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    m_impl->tick();
    return m_impl->zvFlags;
}

uint32_t SimMonitor::restartCount() const {
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    m_impl->tick();
    return m_impl->restartCount;
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
