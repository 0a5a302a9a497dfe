// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "device/FeatureAccess.h"
#include "device/ProfileReader.h"
#include "device/RecordFiles.h"
#include "device/ScalerBridge.h"
#include "device/Usage.h"
#include "flashkit/flashkit.h"

namespace fwu::dev {

class DeviceProfileList;

// The one way the library talks to a monitor: features, the record-file system on the
// monitor, device profile and versions, the scaler ISP bridge and the ZV flash commands. It
// wraps a handle of the monitor-control library for one call and keeps nothing else; each
// protocol is a class of its own that this facade hands the call to. Every operation blocks,
// never throws, and returns a KmError status (negative is failure).
class Monitor {
public:
    using FileProperty = RecordFiles::Property;
    using Crc32Result = RecordFiles::Crc32Result;
    using MStarFlashStatus = ScalerBridge::FlashStatus;

    explicit Monitor(void* handle) : m_handle(handle) {}
    // Polymorphic on purpose, with the destructor as its only virtual operation: callers may
    // derive a monitor of their own.
    virtual ~Monitor() = default;

    void* handle() const { return m_handle; }

    // Capabilities.
    bool supports(Usage usage);
    bool supportsFirmwareUpdateV3();
    bool supportsFirmwareUpdateV4();
    bool supports_kfw_fs(uint32_t* count);
    bool supportsFirmwareUpdateMStar();
    bool supportsFirmwareUpdateZV();

    // Generic feature access.
    uint32_t get_report_count(Usage usage);
    KmError get_data(Usage usage, std::vector<uint8_t>* bytes);  // reads bytes->size() bytes
    KmError set_data(Usage usage, const std::vector<uint8_t>& bytes);
    KmError get_value(Usage usage, uint64_t* value);
    KmError set_value(Usage usage, uint64_t value);

    // Identity and registers.
    KmError getSerialProduct(std::string* serial, std::string* product);
    KmError getSerialProduct(char (*serial)[9], char (*product)[17]);
    KmError getTransferState(uint32_t* state);
    KmError setTransferState(uint32_t state);
    KmError setOSDStatus(bool on);
    KmError restartMPU();

    // Record files.
    KmError getFileProperty(const char* name, FileProperty* property);
    KmError createTemporaryFile(const char* name, const FileProperty& property);
    KmError write_file_data_atomic_page(const char* name, uint16_t record, uint16_t page,
                                        const uint8_t* data, uint32_t length);
    KmError writeFileDataAtomic(const char* name, uint16_t record, const uint8_t* data,
                                uint32_t length, const FWTransferProgress& progress,
                                FWTransferProgressCallback callback, void* userData);
    KmError read_file_data_atomic_page(const char* name, uint16_t record, uint16_t page,
                                       uint8_t* buffer, uint32_t length);
    KmError read_file_data_atomic(const char* name, uint16_t record, std::vector<uint8_t>* bytes);
    KmError read_file_data_atomic(const char* name, uint16_t record, std::string* text);
    KmError read_file_data_atomic(const char* name, uint16_t record, uint32_t* value);
    KmError triggerCrc32Calculation(const char* name, uint32_t initial);
    KmError getCrc32Result(const char* name, Crc32Result* result);

    // Device profile and versions.
    KmError getDeviceProfile(DeviceProfileList* list);
    KmError get_device_profile_zv(DeviceProfileList* list);
    KmError getDeviceVersion(uint32_t device, FWDeviceVersion* version);
    KmError getDeviceVersionList(kfw::DeviceVersionList* versions,
                                 const DeviceProfileList* profiles);

    // Scaler ISP bridge and its serial flash.
    bool supports_scalar_update(uint32_t* count);
    KmError set_scalar_address(uint16_t target, uint16_t length);
    KmError write_scalar_data(uint16_t target, const std::vector<uint8_t>& data);
    KmError read_scalar_data(uint16_t target, uint16_t length, uint8_t* out);
    KmError mstarSetISPMode();
    KmError mstarQuitISPMode();
    KmError mstarReadFlashStatus(MStarFlashStatus* status);
    KmError mstarSetSWFlashWriteProtection(bool protect);
    KmError mstarBlockErase(uint32_t address);
    KmError mstarSectorErase(uint32_t address);
    KmError mstarWriteData(uint32_t address, const uint8_t* data, uint32_t length);
    KmError mstarReadData(uint32_t address, uint8_t* out, uint32_t length);
    // Ends the flash command the bridge holds open (none is fine).
    KmError mstarEndCommand();

    // ZV flash commands.
    KmError zvBlockErase(uint32_t address);
    KmError zvWriteData(uint32_t address, const uint8_t* data, uint32_t length);
    KmError zvCalcChecksum(uint32_t address, uint32_t length, uint32_t* checksum);
    KmError zvSetUpdateFlag(uint8_t index, bool value);

private:
    FeatureAccess features() const { return FeatureAccess(m_handle); }

    void* m_handle;
};

}  // namespace fwu::dev
