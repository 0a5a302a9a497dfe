// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>

#include "screenio/screenio.h"
#include "sim/MonitorDescription.h"
#include "sim/SimMonitorState.h"

namespace screenio::sim {

// The record-file protocol of the Files and Legacy monitors: property select and reply
// (FF02/C2, C3), temporary files (C3 set), page reads and writes (FD, FE), the CRC-32 (FC), the
// device files KFW000 to KFW003 (Files), and what a restart installs. Works on the monitor's
// state; the caller holds the monitor's lock and has checked the report lengths.
class RecordFileProtocol {
public:
    RecordFileProtocol(const MonitorDescription& description, SimMonitorState& state);

    // The files of a monitor as built from its description.
    void build();
    // The device files are a view of the devices, so they follow every version change.
    void regenerateDeviceFiles();

    void selectProperty(const uint8_t* in);
    KmError property(uint8_t* out, bool wrongEcho) const;
    KmError createTemporary(const uint8_t* in);
    KmError writePage(const uint8_t* in);
    KmError requestPage(const uint8_t* in);
    KmError readPage(uint8_t* out, bool wrongEcho) const;
    KmError startCrc(const uint8_t* in);
    KmError crc(uint8_t* out, bool wrongEcho, bool stayBusy, bool corrupt) const;

    // At a restart or power cycle: a temporary file that was completely written, CRC-checked
    // after its last write and armed by transfer state 2 replaces its firmware file, when its
    // image (if it carries the checked header) passes its check; the device then runs the
    // image's version. Anything else leaves the old firmware in use. Temporary files go.
    void install();

    static constexpr uint32_t kReportLength = 522;

private:
    void installOne(const RecordFile& temp);

    const MonitorDescription& m_description;
    SimMonitorState& m_state;
};

}  // namespace screenio::sim
