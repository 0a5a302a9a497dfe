// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "sim/SimMonitor.h"

namespace screenio::sim {

// The state file that lets separate processes share simulated monitors. It holds
// { "version": 1, "monitors": { serial: state } }; each process keeps its monitors in memory,
// reloads them when another process has replaced the file, and writes back those it changed.
//
// Writes replace the whole file atomically (temporary file, fsync, rename) under an flock on
// "<path>.lock", and keep the entries of monitors this process did not change, so two processes
// driving different monitors never lose each other's work. Two processes changing the SAME
// monitor at the same moment are not merged: the later write wins.
//
// Problems with the file (unreadable, corrupt, a state that does not fit its monitor, a folder
// that cannot be written) are reported once on standard error and never stop the monitors.
class SimStateStore {
public:
    SimStateStore(std::string path, std::vector<std::shared_ptr<SimMonitor>> monitors);
    // Writes back what is still unwritten.
    ~SimStateStore();
    SimStateStore(const SimStateStore&) = delete;
    SimStateStore& operator=(const SimStateStore&) = delete;

    const std::string& path() const { return m_path; }

    // Before a request or a search: picks up what another process wrote since.
    void beforeRequest();
    // After a request: writes back changes, at most once per kMinWriteInterval unless a monitor
    // restarted (another process must see it leave the bus).
    void afterRequest();
    // Writes back every unwritten change now.
    void flush();

    static constexpr std::chrono::milliseconds kMinWriteInterval{200};

private:
    struct FileId {
        bool exists = false;
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = 0;
        int64_t mtimeNs = 0;
        int64_t ctimeNs = 0;
        bool operator==(const FileId& other) const;
    };
    // Its implicit moves do not throw; the check cannot see through the JSON member's move.
    // NOLINTNEXTLINE(bugprone-exception-escape)
    struct Tracked {
        std::shared_ptr<SimMonitor> monitor;
        uint64_t writtenChange = 0;  // changeCount() when last written or loaded
        uint32_t restarts = 0;       // restartCount() when last written or loaded
        nlohmann::json known;        // the state last written or loaded
        bool reportedBadState = false;
    };

    FileId stat() const;
    bool dirty() const;
    bool restarted() const;
    // Under the file lock: reads the file if it changed, loads monitors that this process did
    // not change, and when `write` writes back the ones it did.
    void syncLocked(bool write);
    nlohmann::json readDocument();
    void loadFrom(const nlohmann::json& document);
    bool writeDocument(const nlohmann::json& document);
    void sync(bool write);
    void report(bool& once, const std::string& message);

    const std::string m_path;
    std::mutex m_mutex;
    std::vector<Tracked> m_monitors;
    FileId m_seen;              // the file as last read or written
    nlohmann::json m_document;  // its content then
    std::chrono::steady_clock::time_point m_lastWrite{};
    bool m_reportedRead = false;
    bool m_reportedWrite = false;
    bool m_reportedLock = false;
};

}  // namespace screenio::sim
