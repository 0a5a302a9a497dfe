// SPDX-License-Identifier: Apache-2.0
#include "HidrawNode.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <system_error>
#include <thread>

namespace kerneltest {
namespace {

const char kClass[] = "/sys/class/hidraw/";

std::vector<std::string> NodeNames() {
    std::vector<std::string> names;
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(kClass), ::closedir);
    if (!dir) return names;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string name = entry->d_name;
        if (name.rfind("hidraw", 0) == 0) names.push_back(name);
    }
    return names;
}

}  // namespace

std::string HidrawNode::uevent(const std::string& name) {
    std::ifstream in(kClass + name + "/device/uevent");
    std::ostringstream text;
    text << in.rdbuf();
    return in ? text.str() : std::string();
}

bool HidrawNode::exists(const std::string& name) {
    return ::access((kClass + name).c_str(), F_OK) == 0;
}

std::vector<uint8_t> HidrawNode::descriptor(const std::string& name) {
    std::ifstream in(kClass + name + "/device/report_descriptor", std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in),
                                std::istreambuf_iterator<char>());
}

std::optional<std::string> HidrawNode::find(uint16_t bus, uint16_t vendor, uint16_t product,
                                            const std::string& uniq, int timeoutMs) {
    // The kernel writes the ids as "bus:vendor:product" in 4, 8 and 8 upper-case hex digits.
    char id[64];
    std::snprintf(id, sizeof id, "HID_ID=%04X:%08X:%08X\n", bus, vendor, product);
    const std::string wantUniq = "HID_UNIQ=" + uniq + "\n";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        for (const std::string& name : NodeNames()) {
            const std::string text = uevent(name);
            // devtmpfs adds /dev/hidrawN shortly after the sysfs entry appears.
            if (text.find(id) != std::string::npos && text.find(wantUniq) != std::string::npos &&
                ::access(("/dev/" + name).c_str(), F_OK) == 0)
                return name;
        }
        if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

HidrawNode::HidrawNode(const std::string& name)
    : m_fd(::open(("/dev/" + name).c_str(), O_RDWR | O_CLOEXEC)) {
    if (!m_fd.valid()) throw std::system_error(errno, std::generic_category(), "/dev/" + name);
}

int HidrawNode::getFeature(std::vector<uint8_t>& report) {
    if (report.empty()) return -EINVAL;
    const int n = ::ioctl(m_fd.get(), HIDIOCGFEATURE(report.size()), report.data());
    return n < 0 ? -errno : n;
}

int HidrawNode::setFeature(const std::vector<uint8_t>& report) {
    if (report.empty()) return -EINVAL;
    // The ioctl's argument is not written to, but its type is not const.
    std::vector<uint8_t> copy = report;
    const int n = ::ioctl(m_fd.get(), HIDIOCSFEATURE(copy.size()), copy.data());
    return n < 0 ? -errno : n;
}

}  // namespace kerneltest
