// SPDX-License-Identifier: Apache-2.0
#include "core/Trace.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "UniqueFd.h"

namespace screenio {
namespace {

constexpr uint32_t kDataBytes = 16;  // enough to see a report's header without flooding the file

struct TraceFile {
    std::mutex mutex;
    std::atomic<bool> opened{false};  // SCREENIO_TRACE has been looked at
    std::atomic<bool> on{false};
    common::UniqueFd fd;
};

TraceFile& File() {
    static TraceFile file;
    return file;
}

void OpenLocked(TraceFile& file) {
    if (file.opened.load()) return;
    const char* path = std::getenv("SCREENIO_TRACE");
    if (path && *path) {
        file.fd = common::UniqueFd(::open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644));
        if (file.fd.valid())
            file.on = true;
        else
            std::fprintf(stderr, "screenio: cannot open trace file %s: %s; tracing is off\n", path,
                         std::strerror(errno));
    }
    file.opened = true;
}

std::string Timestamp() {
    auto now = std::chrono::steady_clock::now().time_since_epoch();
    int64_t us = std::chrono::duration_cast<std::chrono::microseconds>(now).count();
    char text[32];
    std::snprintf(text, sizeof text, "%" PRId64 ".%06" PRId64, us / 1000000, us % 1000000);
    return text;
}

void WriteLine(const std::string& line) {
    TraceFile& file = File();
    std::lock_guard<std::mutex> lock(file.mutex);
    if (!file.on) return;
    // One write per line: with O_APPEND the line lands whole even beside another process.
    const char* data = line.data();
    size_t left = line.size();
    while (left > 0) {
        ssize_t written = ::write(file.fd.get(), data, left);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return;
        data += written;
        left -= size_t(written);
    }
}

}  // namespace

bool Trace::enabled() {
    TraceFile& file = File();
    if (!file.opened.load()) {
        std::lock_guard<std::mutex> lock(file.mutex);
        OpenLocked(file);
    }
    return file.on.load();
}

void Trace::request(const std::string& monitor, Access access, uint16_t page, uint16_t usage,
                    const uint8_t* data, uint32_t length, KmError status, const int64_t* value) {
    if (!enabled()) return;
    char fields[96];
    std::snprintf(fields, sizeof fields, " %s %04X/%04X length=%" PRIu32 " status=%" PRId32,
                  AccessName(access), unsigned(page), unsigned(usage), length, status);
    std::string line = Timestamp() + " " + (monitor.empty() ? "?" : monitor) + fields;
    // A failed read leaves the buffer as it was, so only bytes that moved are shown.
    bool moved = access == Access::SetArray || (access == Access::GetArray && status >= 0);
    if (data && length > 0 && moved) {
        line += " data=";
        char hex[3];
        for (uint32_t i = 0; i < length && i < kDataBytes; ++i) {
            std::snprintf(hex, sizeof hex, "%02x", unsigned(data[i]));
            line += hex;
        }
        if (length > kDataBytes) line += "..";
    }
    // A value read is shown only when it arrived; a value written, always.
    if (value && (access == Access::SetValue || status >= 0)) {
        char text[40];
        std::snprintf(text, sizeof text, " value=0x%" PRIx64, uint64_t(*value));
        line += text;
    }
    WriteLine(line + "\n");
}

void Trace::call(const char* name, int64_t argument, KmError status) {
    if (!enabled()) return;
    char fields[96];
    std::snprintf(fields, sizeof fields, " - %s argument=%" PRId64 " status=%" PRId32, name,
                  argument, status);
    WriteLine(Timestamp() + fields + "\n");
}

void Trace::note(const std::string& text) {
    if (!enabled()) return;
    std::string line = Timestamp() + " - note " + text;
    // A note may quote a device's words; a line break would split the line.
    for (char& c : line)
        if (c == '\n' || c == '\r') c = ' ';
    WriteLine(line + "\n");
}

void Trace::reset() {
    TraceFile& file = File();
    std::lock_guard<std::mutex> lock(file.mutex);
    file.on = false;
    file.fd.close();
    file.opened = false;
}

}  // namespace screenio
