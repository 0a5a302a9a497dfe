// SPDX-License-Identifier: Apache-2.0
// The exported functions: check arguments, find the handle's monitor, call it, trace the call.
// One guard turns any exception into a status so none reaches a C caller.
#include <memory>
#include <new>

#include "api/BackendFromEnvironment.h"
#include "core/BackendRegistry.h"
#include "core/HandleTable.h"
#include "core/Trace.h"
#include "screenio/screenio.h"

using screenio::Access;
using screenio::Device;
using screenio::HandleTable;
using screenio::Trace;

namespace {

// The backend a test set, else the one the environment asks for.
std::shared_ptr<screenio::Backend> CurrentBackend() {
    return screenio::BackendRegistry::instance().backend(screenio::BackendFromEnvironment);
}

template <typename Body> KmError Guard(Body&& body) noexcept {
    try {
        return body();
    } catch (...) {
        return SCREENIO_ERROR_INTERNAL;
    }
}

// Runs one request against the handle's monitor and traces it.
template <typename Body>
KmError WithDevice(void* handle, Access access, uint16_t page, uint16_t usage, const uint8_t* data,
                   uint32_t length, const int64_t* value, Body&& body) noexcept {
    return Guard([&]() -> KmError {
        std::shared_ptr<Device> device = HandleTable::instance().lookup(handle);
        KmError status = device ? body(*device) : SCREENIO_ERROR_INVALID_HANDLE;
        if (Trace::enabled())
            Trace::request(device ? device->describe() : std::string("?"), access, page, usage,
                           data, length, status, value);
        return status;
    });
}

}  // namespace

extern "C" {

SCREENIO_EXPORT KmError KmRelease(void) {
    return Guard([] {
        HandleTable::instance().clear();
        if (auto backend = CurrentBackend()) backend->release();
        if (Trace::enabled()) Trace::call("KmRelease", 0, 0);
        return KmError(0);
    });
}

SCREENIO_EXPORT KmError KmFind(void) {
    return Guard([] {
        std::vector<std::shared_ptr<Device>> devices;
        if (auto backend = CurrentBackend()) devices = backend->find();
        HandleTable::instance().replace(std::move(devices));
        KmError count = KmError(HandleTable::instance().size());
        if (Trace::enabled()) Trace::call("KmFind", 0, count);
        return count;
    });
}

SCREENIO_EXPORT KmError KmRetrieve(int32_t index, void** handle) {
    return Guard([&] {
        KmError status = SCREENIO_ERROR_INVALID_ARGUMENT;
        if (handle && index >= 0) {
            std::shared_ptr<Device> device = HandleTable::instance().deviceAt(size_t(index));
            void* found = HandleTable::instance().handleFor(size_t(index));
            // The claim comes first: a monitor another program holds gives no handle.
            if (device && found) {
                status = device->acquire();
                if (status >= 0) {
                    *handle = found;
                    status = 0;
                }
            }
        }
        if (Trace::enabled()) Trace::call("KmRetrieve", index, status);
        return status;
    });
}

SCREENIO_EXPORT KmError KmGetFeatureValue(void* handle, uint16_t page, uint16_t usage,
                                          int64_t* value) {
    return WithDevice(
        handle, Access::GetValue, page, usage, nullptr, 0, value, [&](Device& device) {
            return value ? device.getValue(page, usage, value) : SCREENIO_ERROR_INVALID_ARGUMENT;
        });
}

SCREENIO_EXPORT KmError KmSetFeatureValue(void* handle, uint16_t page, uint16_t usage,
                                          int64_t value) {
    return WithDevice(handle, Access::SetValue, page, usage, nullptr, 0, &value,
                      [&](Device& device) { return device.setValue(page, usage, value); });
}

SCREENIO_EXPORT KmError KmGetFeatureArray(void* handle, uint16_t page, uint16_t usage,
                                          uint8_t* buffer, uint32_t length) {
    return WithDevice(
        handle, Access::GetArray, page, usage, buffer, length, nullptr, [&](Device& device) {
            return buffer || length == 0 ? device.getArray(page, usage, buffer, length)
                                         : SCREENIO_ERROR_INVALID_ARGUMENT;
        });
}

SCREENIO_EXPORT KmError KmSetFeatureArray(void* handle, uint16_t page, uint16_t usage,
                                          const uint8_t* buffer, uint32_t length) {
    return WithDevice(
        handle, Access::SetArray, page, usage, buffer, length, nullptr, [&](Device& device) {
            return buffer || length == 0 ? device.setArray(page, usage, buffer, length)
                                         : SCREENIO_ERROR_INVALID_ARGUMENT;
        });
}

SCREENIO_EXPORT KmError KmGetFixedData(void* handle, uint16_t page, uint16_t usage, void*, void*,
                                       void*, uint8_t* flag, uint32_t* count) {
    return WithDevice(handle, Access::FixedData, page, usage, nullptr, 0, nullptr,
                      [&](Device& device) {
                          if (!flag || !count) return SCREENIO_ERROR_INVALID_ARGUMENT;
                          bool offered = false;
                          uint32_t length = 0;
                          KmError status = device.getFixedData(page, usage, &offered, &length);
                          if (status >= 0) {
                              if (offered) *flag = 0;
                              *count = length;
                          }
                          return status;
                      });
}

}  // extern "C"
