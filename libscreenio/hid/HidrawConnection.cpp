// SPDX-License-Identifier: Apache-2.0
#include "hid/HidrawConnection.h"

#include <linux/hidraw.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <cerrno>
#include <utility>
#include <vector>

namespace screenio::hid {
namespace {

int Ioctl(int fd, unsigned long request, uint8_t* buffer) {
    int result;
    do {
        result = ::ioctl(fd, request, buffer);
    } while (result < 0 && errno == EINTR);
    return result < 0 ? -errno : result;
}

}  // namespace

const size_t HidrawConnection::kMaxDataBytes = _IOC_SIZEMASK - 1;

HidrawConnection::HidrawConnection(common::UniqueFd node, common::UniqueFd monitorLock)
    : m_node(std::move(node)), m_monitorLock(std::move(monitorLock)) {}

// hidraw's feature ioctls carry the report ID in byte 0 of the buffer (0 when the device uses
// no IDs), and both the buffer length and the byte count they return include that byte. This
// is the only place that knows it: callers see the data alone.

int HidrawConnection::getFeature(uint8_t reportId, uint8_t* data, size_t length) {
    if (length > kMaxDataBytes) return -EMSGSIZE;
    if (length > 0 && !data) return -EINVAL;
    std::vector<uint8_t> buffer(length + 1, 0);
    buffer[0] = reportId;
    const int result = Ioctl(m_node.get(), HIDIOCGFEATURE(buffer.size()), buffer.data());
    if (result <= 0) return result;
    const size_t received = size_t(result);
    // The kernel cannot fill more than it was given; a reply for another report is not ours.
    if (received > buffer.size() || (reportId != 0 && buffer[0] != reportId)) return -EPROTO;
    std::copy_n(buffer.begin() + 1, received - 1, data);
    return int(received - 1);
}

int HidrawConnection::setFeature(uint8_t reportId, const uint8_t* data, size_t length) {
    if (length > kMaxDataBytes) return -EMSGSIZE;
    if (length > 0 && !data) return -EINVAL;
    std::vector<uint8_t> buffer;
    buffer.reserve(length + 1);
    buffer.push_back(reportId);
    buffer.insert(buffer.end(), data, data + length);
    const int result = Ioctl(m_node.get(), HIDIOCSFEATURE(buffer.size()), buffer.data());
    if (result <= 0) return result;
    if (size_t(result) > buffer.size()) return -EPROTO;
    return result - 1;
}

}  // namespace screenio::hid
