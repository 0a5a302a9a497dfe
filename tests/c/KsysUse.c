// SPDX-License-Identifier: Apache-2.0
/* A C caller of the system information library: the public header in strict C11 and the shared
 * library as installed. It finds itself among the running processes and reads every fact. */
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include "ksys/ksys.h"

int main(void) {
    KSysSnapshot* snapshot;
    KSysProcess* process;
    KSysMemoryInformation memory;
    int i, foundSelf = 0;
    if (KSysVersion() != 0x01080103u) return 1;
    if (KSysGetOSKind() != KSYS_OS_KIND_LINUX) return 2;
    snapshot = KSysCreateRunningProcessSnapshot();
    if (!snapshot) return 3;
    for (i = 0; (process = KSysEnumRunningProcess(snapshot, i)) != NULL; ++i) {
        if (KSysGetProcessPID(process) == (int)getpid()) {
            if (strcmp(KSysGetProcessName(process), "ksys_c_caller") != 0) return 4;
            foundSelf = 1;
        }
    }
    /* A process snapshot is not a USB snapshot. */
    if (KSysEnumUSBDevice(snapshot, 0) != NULL) return 5;
    KSysReleaseSnapshot(snapshot);
    if (!foundSelf) return 6;
    if (!KSysIsProcessRunning("ksys_c_caller", 0)) return 7;
    if (KSysGetMemoryInformation(&memory) != 1 || memory.totalPhysicalKiB == 0) return 8;
    if (strlen(KSysGetKernelVersion()) == 0 || strlen(KSysGetOSName()) == 0) return 9;
    printf("%s, kernel %s, %s, %lu KiB, zone %s (%d min), locale \"%s\"\n", KSysGetOSName(),
           KSysGetKernelVersion(), KSysGetCPUName(), (unsigned long)KSysGetMemorySize(),
           KSysGetTimezoneName(), KSysGetTimezoneOffset(), KSysGetLocaleName());
    for (i = 0; KSysEnumIPAddress(KSYS_IP_LOOPBACK, i)[0] != '\0'; ++i)
        printf("address %s\n", KSysEnumIPAddress(KSYS_IP_LOOPBACK, i));
    return 0;
}
