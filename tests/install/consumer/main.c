// SPDX-License-Identifier: Apache-2.0
#include <stdio.h>

#include <flashkit/flashkit.h>

int main(void) {
    FWKfwFile* file = FWKfwFileCreateEmpty(true);
    int version = -1;
    const int ok = file && FWKfwFileGetFileVersion(file, &version) &&
                   version == FWKfwFileVersion1 && FWLibraryVersion() == 0x04020101u;
    FWKfwFileRelease(file);
    puts(ok ? "consumer: ok" : "consumer: failed");
    return ok ? 0 : 1;
}
