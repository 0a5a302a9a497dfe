// SPDX-License-Identifier: Apache-2.0
/* A C caller of the monitor functions: both public headers together in strict C11, the shared
 * libraries as installed, and the built-in simulated monitors (SCREENIO_SIM=demo). */
#include <stdio.h>
#include <string.h>

#include "flashkit/flashkit.h"
#include "screenio/screenio.h"

int main(void) {
    unsigned kinds = 0;
    KmError count;
    int i;
    KmRelease();
    count = KmFind();
    if (count < 4) return 1;
    for (i = 0; i < count; ++i) {
        void* monitor = NULL;
        char serial[9], product[17];
        FWDeviceProfile* profile = NULL;
        unsigned int shown = 0, ids[32], j;
        FWFirmwareUpdateType type;
        if (KmRetrieve(i, &monitor) < 0 || !monitor) return 2;
        if (FWMonitorGetSerialProduct(monitor, serial, product) < 0 || !serial[0] || !product[0])
            return 3;
        type = FWMonitorGetSupportedFirmwareUpdateType(monitor);
        kinds |= type == FWFirmwareUpdateTypeV4      ? 1u
                 : type == FWFirmwareUpdateTypeV3    ? 2u
                 : type == FWFirmwareUpdateTypeMStar ? 4u
                 : type == FWFirmwareUpdateTypeZV    ? 8u
                                                     : 0u;
        if (FWDeviceProfileCreateFromMonitor(monitor, &profile) < 0 || !profile) return 4;
        if (!FWDeviceProfileGetDeviceID(profile, FWDeviceVersionKindDisplayDevices, NULL, &shown) ||
            shown == 0 || shown > 32)
            return 5;
        if (!FWDeviceProfileGetDeviceID(profile, FWDeviceVersionKindDisplayDevices, ids, &shown))
            return 6;
        printf("%-16s %-8s type %#x:", product, serial, (unsigned)type);
        /* A monitor whose firmware does not start answers as its boot loader, without versions. */
        if (strcmp(product, "MCU ISP MODE") == 0) {
            FWDeviceVersion version;
            if (FWMonitorGetDeviceVersion(monitor, ids[0], &version) >= 0) return 11;
            shown = 0;
            printf(" needs recovery");
        }
        for (j = 0; j < shown; ++j) {
            FWDeviceVersion version;
            char text[16];
            unsigned int size = sizeof text;
            if (FWMonitorGetDeviceVersion(monitor, ids[j], &version) < 0) return 7;
            if (!FWDeviceProfileGetVersionString(profile, version, text, &size)) return 8;
            printf(" %s", text);
        }
        putchar('\n');
        FWDeviceProfileRelease(profile);
    }
    KmRelease();
    /* Every update kind is among the demo monitors. */
    if (kinds != 15u) return 9;
    {
        FWTransferState state;
        void* stale = NULL;
        KmFind();
        KmRetrieve(0, &stale);
        KmRelease();
        if (FWMonitorGetTransferState(stale, &state) >= 0) return 10;
    }
    puts("C monitor caller: ok");
    return 0;
}
