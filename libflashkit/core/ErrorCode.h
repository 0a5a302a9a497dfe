// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>

namespace fwu {

// Error codes of fwu::Exception, grouped by their high half: 0x1xxxx I/O, 0x2xxxx monitor
// control, 0x3xxxx JSON shape, 0x4xxxx package content, 0x5xxxx legacy format, 0x6xxxx
// current format and image conversion. Several raise sites share one code.
enum ErrorCode : uint32_t {
    ErrorFileStat = 0x10000,
    ErrorFileOpen = 0x10001,
    ErrorFileRead = 0x10002,
    ErrorFileWrite = 0x10003,
    ErrorStreamPosition = 0x10004,
    ErrorStreamReadSize = 0x10005,

    ErrorMonitorControl = 0x20000,

    ErrorJsonKeyNotFound = 0x30000,
    ErrorJsonType = 0x30001,

    ErrorInvalidKfwFile = 0x40000,
    ErrorUnsupportedRequest = 0x40001,
    ErrorInvalidObject = 0x40002,
    ErrorInvalidAction = 0x40003,
    ErrorDataTooSmall = 0x40004,

    ErrorLegacyChecksum = 0x50000,
    ErrorLegacyTag = 0x50001,
    ErrorLegacyVersion = 0x50002,
    ErrorLegacyProduct = 0x50003,

    ErrorUnsupportedFileVersion = 0x60000,
    ErrorInvalidIv = 0x60001,
    ErrorInvalidHash = 0x60002,
    ErrorEncode = 0x60003,
    ErrorDecode = 0x60004,
    ErrorMsgpackType = 0x60005,
    ErrorMsgpackKey = 0x60006,
    ErrorSrecConversion = 0x60007,
    ErrorCyacdConversion = 0x60008,
};

}  // namespace fwu
