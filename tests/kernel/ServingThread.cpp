// SPDX-License-Identifier: Apache-2.0
#include "ServingThread.h"

#include <cstdio>
#include <exception>
#include <utility>

namespace kerneltest {

ServingThread::ServingThread(UhidDevice& device, UhidDevice::Handler& handler, std::string name,
                             int tickMs)
    : m_device(device) {
    m_thread = std::thread([this, &handler, name = std::move(name), tickMs] {
        try {
            m_device.serve(handler, tickMs);
        } catch (const std::exception& error) {
            m_healthy = false;
            std::printf("[%s] uhid serving stopped: %s\n", name.c_str(), error.what());
            std::fflush(stdout);
        }
    });
}

ServingThread::~ServingThread() {
    m_device.stop();
    m_thread.join();
}

}  // namespace kerneltest
