/* Compiled with -std=c11 -pedantic -Werror: the public header must be plain C. */
#include "flashkit/flashkit.h"

uint32_t flashkit_header_check(void);

uint32_t flashkit_header_check(void) {
    FWUuid id = {0, 0, 0, {0}};
    FWDeviceVersion version = {0x100, 5};
    FWFirmwareVersion firmware = {0, 0, 0, 0, 0, {0, 0, 0}};
    FWDeviceVersionKind kind = FWDeviceVersionKindDisplayDevices;
    FWVersionRepresentation representation = FWVersionRepresentationHexadecimal;
    return id.data1 + version.version + firmware.mainVersion + (uint32_t)kind +
           (uint32_t)representation;
}
