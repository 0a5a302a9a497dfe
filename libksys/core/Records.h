// SPDX-License-Identifier: Apache-2.0
// The items handed out through the opaque pointers of the exported interface. They are plain
// records: the snapshot that owns them fixes them at capture time.
#pragma once

#include <string>
#include <vector>

struct KSysProcess {
    std::string name;
    int pid = -1;
    std::string cmd;
};

struct KSysApplication {
    std::string name;
    std::string version;
};

struct KSysUSB {
    std::string name;
    int vendorId = -1;
    int productId = -1;
    int bcdDevice = -1;
    std::string location;  // bus number and device path; equal locations are one device
};

struct KSysKEXT {
    std::string name;
    std::string version;
};

struct KSysPrinter {
    std::string name;
    std::string driverName;
    std::string driverVersion;
    bool isDefault = false;
};

struct KSysApplicationWindow {
    std::string title;
    std::string processName;
    std::string localizedName;
    bool isActive = false;
    std::string className;
};

struct KSysVGA {
    std::string name;
    std::string vendor;
    std::string driverName;
    std::string driverVersion;
    unsigned long long vramSize = 0;  // MiB
    std::string deviceLocationID;
    std::vector<std::string> monitorPaths;
};

namespace ksys {

// One process as the enumeration finds it, before it becomes a snapshot item.
struct ProcessInfo {
    int pid = -1;
    std::string name;
    std::string commandLine;
};

}  // namespace ksys
