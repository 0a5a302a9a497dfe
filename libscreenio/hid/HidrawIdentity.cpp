// SPDX-License-Identifier: Apache-2.0
#include "hid/HidrawIdentity.h"

#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <memory>
#include <system_error>

namespace screenio::hid {
namespace {

constexpr uint32_t kBusUsb = 0x0003;

int Ioctl(int fd, unsigned long request, void* argument) {
    int result;
    do {
        result = ::ioctl(fd, request, argument);
    } while (result < 0 && errno == EINTR);
    return result < 0 ? errno : 0;
}

// A character device that does not know the hidraw requests is no hidraw node.
int AsIdentityError(int error) { return error == ENOTTY || error == EINVAL ? ENODEV : error; }

}  // namespace

int HidrawIdentity::verify(int fd, const HidNodeInfo& node, const std::string& sysfsRoot) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) return errno;
    unsigned long long deviceNumber = node.deviceNumber;
    if (S_ISCHR(st.st_mode)) {
        if (deviceNumber != 0 && st.st_rdev != deviceNumber) return ENODEV;
        deviceNumber = st.st_rdev;
        if (const int error = verifyIds(fd, node)) return error;
        if (const int error = verifyDescriptor(fd, node)) return error;
    }
    return verifySysfsName(deviceNumber, node, sysfsRoot);
}

int HidrawIdentity::verifyIds(int fd, const HidNodeInfo& node) {
    hidraw_devinfo info{};
    if (const int error = Ioctl(fd, HIDIOCGRAWINFO, &info)) return AsIdentityError(error);
    const bool same = uint32_t(info.bustype) == kBusUsb && uint16_t(info.vendor) == node.vendorId &&
                      uint16_t(info.product) == node.productId;
    return same ? 0 : ENODEV;
}

int HidrawIdentity::verifyDescriptor(int fd, const HidNodeInfo& node) {
    if (node.descriptor.empty()) return 0;
    int size = 0;
    if (const int error = Ioctl(fd, HIDIOCGRDESCSIZE, &size)) return AsIdentityError(error);
    if (size < 0 || size_t(size) != node.descriptor.size()) return ENODEV;
    // The request takes at most HID_MAX_DESCRIPTOR_SIZE - 1 bytes; USB descriptors fit.
    auto read = std::make_unique<hidraw_report_descriptor>();
    read->size = uint32_t(std::min<size_t>(node.descriptor.size(), HID_MAX_DESCRIPTOR_SIZE - 1));
    if (const int error = Ioctl(fd, HIDIOCGRDESC, read.get())) return AsIdentityError(error);
    return std::equal(read->value, read->value + read->size, node.descriptor.begin()) ? 0 : ENODEV;
}

int HidrawIdentity::verifySysfsName(unsigned long long deviceNumber, const HidNodeInfo& node,
                                    const std::string& sysfsRoot) {
    if (node.hidDevice.empty() || deviceNumber == 0) return 0;
    const std::string link = sysfsRoot + "/dev/char/" + std::to_string(major(deviceNumber)) + ":" +
                             std::to_string(minor(deviceNumber)) + "/device";
    std::error_code ec;
    const std::filesystem::path parent = std::filesystem::canonical(link, ec);
    // No entry: the device has left, and the node only stays while it is open.
    if (ec) return ec == std::errc::no_such_file_or_directory ? ENODEV : ec.value();
    return parent.filename() == node.hidDevice ? 0 : ENODEV;
}

}  // namespace screenio::hid
