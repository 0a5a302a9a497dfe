// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <atomic>
#include <string>
#include <thread>

#include "UhidDevice.h"

namespace kerneltest {

// Serves a uhid device's events on a thread of its own for the lifetime of the object, so the
// kernel's requests are answered while the owner's thread uses the device's hidraw node.
class ServingThread {
public:
    ServingThread(UhidDevice& device, UhidDevice::Handler& handler, std::string name,
                  int tickMs = 20);
    ~ServingThread();
    ServingThread(const ServingThread&) = delete;
    ServingThread& operator=(const ServingThread&) = delete;

    // False once serving stopped on an error (which was printed).
    bool healthy() const { return m_healthy; }

private:
    UhidDevice& m_device;
    std::atomic<bool> m_healthy{true};
    std::thread m_thread;
};

}  // namespace kerneltest
