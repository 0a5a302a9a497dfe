// SPDX-License-Identifier: Apache-2.0
/* A C caller of the installed interface: builds as strict C11 and links the shared library,
 * so a missing export or a header that is not C fails here. */
#include <stdio.h>
#include <string.h>

#include "flashkit/flashkit.h"

int main(int argc, char** argv) {
    const char* path = argc > 1 ? argv[1] : "api-use.kfw2";
    const char* message = NULL;
    FWKfwFile* file = FWKfwFileCreateEmpty(false);
    FWKfwFile* loaded;
    int version = -1;
    char text[37];
    if (!file) return 1;
    if (!FWKfwFileUpdateMonitorProducts(file, "[\"MON-1\"]")) return 9;
    {
        FWUtf8String* json = FWUtf8StringCreateKfwFileJsonString(file);
        const int listed =
            json && strstr(FWUtf8StringGetCString(json), "\"products\":[\"MON-1\"]") != NULL;
        FWUtf8StringRelease(json);
        if (!listed) return 10;
    }
    if (!FWKfwFileSerializeToUtf8Path(file, path, 0)) return 2;
    FWKfwFileRelease(file);
    loaded = FWKfwFileCreateWithUtf8Path(path);
    if (!loaded) return 3;
    if (!FWKfwFileGetFileVersion(loaded, &version) || version != FWKfwFileVersion2_0) return 4;
    FWKfwFileRelease(loaded);
    remove(path);
    if (FWKfwFileCreateWithUtf8Path(path) != NULL) return 5;
    if (FWGetLastError(&message) != 0x10001u || strcmp(message, "open failed, 0x00010001") != 0)
        return 6;
    FWUuidGetString(FWUuidCreateFromString("03020100-0504-0706-0809-0a0b0c0d0e0f"), text);
    if (strcmp(text, "03020100-0504-0706-0809-0a0b0c0d0e0f") != 0) return 7;
    if (FWLibraryVersion() != 0x04020101u) return 8;
    puts("C caller: ok");
    return 0;
}
