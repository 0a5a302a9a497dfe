// SPDX-License-Identifier: Apache-2.0
#include "hid/HidrawTransport.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <map>
#include <set>
#include <string_view>
#include <utility>

#include "hid/HidDescriptor.h"
#include "hid/HidrawConnection.h"
#include "hid/HidrawIdentity.h"
#include "hid/MonitorLock.h"
#include "hid/UeventText.h"

namespace screenio::hid {
namespace {

namespace fs = std::filesystem;

constexpr uint32_t kBusUsb = 0x0003;
// uevent and attribute files are a page at most; a larger one is not what we expect.
constexpr size_t kMaxTextBytes = 16 * 1024;

int OpenRetrying(const char* path, int flags, mode_t mode = 0) {
    int fd;
    do {
        fd = ::open(path, flags, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// Reads a whole file into `*out`: 0, an errno value, or EFBIG when it holds more than `cap`.
// Blocking reads on purpose: sysfs never blocks, and nothing else should be read at all.
int ReadCapped(const std::string& path, size_t cap, std::string* out) {
    common::UniqueFd fd(OpenRetrying(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
    if (!fd.valid()) return errno;
    out->clear();
    char chunk[4096];
    for (;;) {
        const ssize_t n = ::read(fd.get(), chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        if (n == 0) return 0;
        if (out->size() + size_t(n) > cap) return EFBIG;
        out->append(chunk, size_t(n));
    }
}

bool IsWithin(const fs::path& path, const fs::path& root) {
    return std::mismatch(root.begin(), root.end(), path.begin(), path.end()).first == root.end();
}

// The nearest ancestor of `device` (below the sysfs root) that is a USB interface: its number
// and folder. Number -1 when there is none (a virtual device), nullopt when it is garbled.
struct UsbInterface {
    int number = -1;
    fs::path folder;
};

std::optional<UsbInterface> FindUsbInterface(const fs::path& device, const fs::path& sysfsReal) {
    for (fs::path dir = device.parent_path(); dir != sysfsReal && IsWithin(dir, sysfsReal);
         dir = dir.parent_path()) {
        std::string text;
        const int error = ReadCapped((dir / "bInterfaceNumber").string(), kMaxTextBytes, &text);
        if (error == ENOENT) continue;
        uint32_t number = 0;
        if (error != 0 || !ParseNumber(WithoutNewline(text), 16, 2, &number)) return std::nullopt;
        return UsbInterface{int(number), dir};
    }
    return UsbInterface{};
}

// An exclusive lock that is never waited for: 0, EBUSY when held elsewhere, or an errno value.
int TryLock(int fd) {
    int result;
    do {
        result = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result == 0) return 0;
    return errno == EWOULDBLOCK ? EBUSY : errno;
}

// Lock names: the serial, unless another device found reports it too (firmware that gives every
// unit the same serial); then the device's place on the bus tells them apart.
void NameLocks(std::vector<HidNodeInfo>& nodes) {
    auto placeOf = [](const HidNodeInfo& node) {
        return node.usbDevice.empty() ? node.hidDevice : node.usbDevice;
    };
    std::map<std::string, std::set<std::string>> places;
    for (const HidNodeInfo& node : nodes)
        if (!node.serial.empty()) places[node.serial].insert(placeOf(node));
    for (HidNodeInfo& node : nodes) {
        if (node.serial.empty()) continue;
        node.lockName = node.serial;
        if (places[node.serial].size() > 1) node.lockName += "@" + placeOf(node);
    }
}

}  // namespace

HidrawTransport::HidrawTransport(std::string sysfsRoot, std::string devRoot)
    : m_sysfsRoot(std::move(sysfsRoot)), m_devRoot(std::move(devRoot)) {}

std::vector<HidNodeInfo> HidrawTransport::enumerate(uint16_t vendorId) {
    std::error_code ec;
    const fs::path sysfsReal = fs::canonical(m_sysfsRoot, ec);
    if (ec) return {};
    std::vector<std::pair<unsigned long, std::string>> entries;
    fs::directory_iterator it(sysfsReal / "class" / "hidraw", ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        const std::string name = it->path().filename().string();
        const std::string_view prefix = "hidraw";
        uint32_t number = 0;
        if (name.compare(0, prefix.size(), prefix) == 0 &&
            ParseNumber(std::string_view(name).substr(prefix.size()), 10, 9, &number))
            entries.emplace_back(number, name);
    }
    // Kernel order, so that indexes stay put while nothing is plugged: hidraw2 before hidraw10.
    std::sort(entries.begin(), entries.end());
    std::vector<HidNodeInfo> found;
    for (const auto& entry : entries) {
        if (std::optional<HidNodeInfo> info = describe(entry.second, vendorId, sysfsReal.string()))
            found.push_back(std::move(*info));
    }
    NameLocks(found);
    return found;
}

std::optional<HidNodeInfo> HidrawTransport::describe(const std::string& name, uint16_t vendorId,
                                                     const std::string& sysfsReal) const {
    const std::string entry = sysfsReal + "/class/hidraw/" + name;
    std::string uevent;
    if (ReadCapped(entry + "/device/uevent", kMaxTextBytes, &uevent) != 0) return std::nullopt;
    const std::optional<std::string> idText = UeventValue(uevent, "HID_ID");
    HidId id;
    if (!idText || !ParseHidId(*idText, &id)) return std::nullopt;
    // Another maker's device: its uevent is all we read of it.
    if (id.bus != kBusUsb || id.vendor != vendorId || id.product > 0xFFFF) return std::nullopt;

    HidNodeInfo info;
    info.name = name;
    info.vendorId = vendorId;
    info.productId = uint16_t(id.product);
    info.serial = UeventValue(uevent, "HID_UNIQ").value_or("");

    std::string descriptor;
    if (ReadCapped(entry + "/device/report_descriptor", HidDescriptor::kMaxDescriptorBytes,
                   &descriptor) != 0 ||
        descriptor.empty())
        return std::nullopt;
    info.descriptor.assign(descriptor.begin(), descriptor.end());

    std::string devName = name;
    std::string classUevent;
    const int classError = ReadCapped(entry + "/uevent", kMaxTextBytes, &classUevent);
    if (classError != 0 && classError != ENOENT) return std::nullopt;
    if (classError == 0) {
        if (std::optional<std::string> value = UeventValue(classUevent, "DEVNAME")) {
            if (!IsSafeDevName(*value)) return std::nullopt;
            devName = *value;
        }
    }
    info.node = m_devRoot + "/" + devName;

    std::string dev;
    const int devError = ReadCapped(entry + "/dev", kMaxTextBytes, &dev);
    if (devError != 0 && devError != ENOENT) return std::nullopt;
    if (devError == 0) {
        uint32_t major = 0;
        uint32_t minor = 0;
        if (!ParseDeviceNumbers(dev, &major, &minor)) return std::nullopt;
        info.deviceNumber = makedev(major, minor);
    }

    std::error_code ec;
    const fs::path device = fs::canonical(entry + "/device", ec);
    if (ec) return std::nullopt;
    info.hidDevice = device.filename().string();
    const std::optional<UsbInterface> interface = FindUsbInterface(device, sysfsReal);
    if (!interface) return std::nullopt;
    info.interfaceNumber = interface->number;
    if (interface->number >= 0)
        info.usbDevice = interface->folder.parent_path().filename().string();
    return info;
}

std::unique_ptr<HidConnection> HidrawTransport::open(const HidNodeInfo& node, int* error) {
    int ignored = 0;
    if (!error) error = &ignored;
    common::UniqueFd fd(OpenRetrying(node.node.c_str(), O_RDWR | O_CLOEXEC));
    if (!fd.valid()) {
        *error = errno;
        return nullptr;
    }
    // Node numbers are reused: after an unplug the path may lead to another device.
    if (const int identityError = HidrawIdentity::verify(fd.get(), node, m_sysfsRoot)) {
        *error = identityError;
        return nullptr;
    }
    if (const int lockError = TryLock(fd.get())) {
        *error = lockError;
        return nullptr;
    }
    // After a restart the same monitor can come back as another node, and another user's
    // program may reach it too, so the node's lock alone does not keep two programs apart.
    common::UniqueFd monitorLock;
    if (!node.lockName.empty()) {
        if (const int lockError = MonitorLock::take(node.lockName, &monitorLock)) {
            *error = lockError;
            return nullptr;
        }
    }
    *error = 0;
    return std::make_unique<HidrawConnection>(std::move(fd), std::move(monitorLock));
}

}  // namespace screenio::hid
