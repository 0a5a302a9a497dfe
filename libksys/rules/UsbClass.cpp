// SPDX-License-Identifier: Apache-2.0
#include "rules/UsbClass.h"

namespace ksys {

const char* UsbClassDescription(int classCode) {
    switch (classCode) {
    case 0x01: return "Audio";
    case 0x02: return "Communication and CDC Control";
    case 0x03: return "HID";
    case 0x05: return "Physical";
    case 0x06: return "Image";
    case 0x07: return "Printer";
    case 0x08: return "Mass Storage";
    case 0x09: return "Hub";
    case 0x0a: return "CDC-Data";
    case 0x0b: return "Smart Card";
    case 0x0d: return "Content Security";
    case 0x0e: return "Video";
    case 0x0f: return "Personal Healthcare";
    case 0x10: return "Audio/Video Devices";
    case 0x11: return "Billboard Device Class";
    case 0x12: return "USB Type-C Bridge Class";
    case 0xdc: return "Diagnostic Device";
    case 0xe0: return "Wireless Controller";
    case 0xef: return "Miscellaneous";
    case 0xfe: return "Application Specific";
    case 0xff: return "Vendor Specific";
    default: return "";
    }
}

}  // namespace ksys
