// SPDX-License-Identifier: Apache-2.0
#include <stdio.h>

#include <screenio/screenio.h>

/* Without SCREENIO_SIM no monitor is found, and handles are refused rather than followed. */
int main(void) {
    void* handle = NULL;
    const int ok = KmRelease() == 0 && KmFind() == 0 && KmRetrieve(0, &handle) < 0 &&
                   KmSetFeatureValue((void*)0x10001, 0xFF02, 0xFB, 0) < 0;
    puts(ok ? "screenio consumer: ok" : "screenio consumer: failed");
    return ok ? 0 : 1;
}
