// SPDX-License-Identifier: Apache-2.0
#include "sim/SimStateStore.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "UniqueFd.h"
#include "sim/FileLock.h"

namespace screenio::sim {
namespace {

using nlohmann::json;

constexpr int kFormatVersion = 1;

json FreshDocument() { return json{{"version", kFormatVersion}, {"monitors", json::object()}}; }

int64_t Nanoseconds(const struct timespec& time) {
    return int64_t(time.tv_sec) * 1000000000 + time.tv_nsec;
}

bool WriteAll(int fd, const std::string& text) {
    const char* data = text.data();
    size_t left = text.size();
    while (left > 0) {
        ssize_t written = ::write(fd, data, left);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        data += written;
        left -= size_t(written);
    }
    return true;
}

std::string Folder(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

bool SimStateStore::FileId::operator==(const FileId& other) const {
    return exists == other.exists && device == other.device && inode == other.inode &&
           size == other.size && mtimeNs == other.mtimeNs && ctimeNs == other.ctimeNs;
}

SimStateStore::SimStateStore(std::string path, std::vector<std::shared_ptr<SimMonitor>> monitors)
    : m_path(std::move(path)), m_document(FreshDocument()) {
    for (auto& monitor : monitors) {
        Tracked tracked;
        tracked.writtenChange = monitor->changeCount();
        tracked.restarts = monitor->restartCount();
        tracked.monitor = std::move(monitor);
        m_monitors.push_back(std::move(tracked));
    }
    // Start from what earlier processes left.
    std::lock_guard<std::mutex> lock(m_mutex);
    sync(false);
}

SimStateStore::~SimStateStore() {
    try {
        flush();
    } catch (...) {
        // Nothing can be reported from here; the file keeps its last complete content.
    }
}

SimStateStore::FileId SimStateStore::stat() const {
    FileId id;
    struct stat info {};
    if (::stat(m_path.c_str(), &info) == 0) {
        id.exists = true;
        id.device = info.st_dev;
        id.inode = info.st_ino;
        id.size = info.st_size;
        id.mtimeNs = Nanoseconds(info.st_mtim);
        id.ctimeNs = Nanoseconds(info.st_ctim);
    }
    return id;
}

bool SimStateStore::dirty() const {
    for (const Tracked& tracked : m_monitors)
        if (tracked.monitor->changeCount() != tracked.writtenChange) return true;
    return false;
}

bool SimStateStore::restarted() const {
    for (const Tracked& tracked : m_monitors)
        if (tracked.monitor->restartCount() != tracked.restarts) return true;
    return false;
}

void SimStateStore::beforeRequest() {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (stat() == m_seen) return;
    sync(false);
}

void SimStateStore::afterRequest() {
    std::lock_guard<std::mutex> lock(m_mutex);
    bool restart = restarted();
    if (!restart && !dirty()) return;
    // Restarts are written at once: another process must see the monitor leave the bus.
    if (!restart && std::chrono::steady_clock::now() - m_lastWrite < kMinWriteInterval) return;
    sync(true);
}

void SimStateStore::flush() {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (dirty() || restarted()) sync(true);
}

void SimStateStore::sync(bool write) {
    try {
        FileLock lock(m_path + ".lock");
        m_reportedLock = false;
        syncLocked(write);
    } catch (const std::exception& error) {
        report(m_reportedLock, std::string("state file ") + m_path + ": " + error.what() +
                                   "; monitors keep their state in this process only");
    }
}

void SimStateStore::syncLocked(bool write) {
    if (!(stat() == m_seen)) loadFrom(readDocument());
    if (!write || (!dirty() && !restarted())) return;

    json document = m_document;
    json& entries = document["monitors"];
    struct Written {
        Tracked* tracked;
        uint64_t change;
        uint32_t restarts;
    };
    std::vector<Written> written;
    for (Tracked& tracked : m_monitors) {
        const std::string& serial = tracked.monitor->description().serial;
        uint64_t change = tracked.monitor->changeCount();
        uint32_t restarts = tracked.monitor->restartCount();
        bool mine = change != tracked.writtenChange || restarts != tracked.restarts;
        // Entries of monitors this process left alone stay as another process wrote them,
        // unless they did not fit the monitor.
        if (!mine && entries.contains(serial) && !tracked.reportedBadState) continue;
        // Counts first: a change made while saving is then written again next time.
        entries[serial] = tracked.monitor->saveState();
        written.push_back({&tracked, change, restarts});
    }
    m_lastWrite = std::chrono::steady_clock::now();
    if (!writeDocument(document)) return;
    for (Written& entry : written) {
        entry.tracked->writtenChange = entry.change;
        entry.tracked->restarts = entry.restarts;
        entry.tracked->known = document["monitors"][entry.tracked->monitor->description().serial];
        entry.tracked->reportedBadState = false;
    }
    m_document = std::move(document);
    m_seen = stat();
}

json SimStateStore::readDocument() {
    common::UniqueFd fd(::open(m_path.c_str(), O_RDONLY | O_CLOEXEC));
    m_seen = stat();
    if (!fd.valid()) {
        if (errno != ENOENT)
            report(m_reportedRead, "cannot read state file " + m_path + ": " +
                                       std::strerror(errno) + "; starting from fresh state");
        m_document = FreshDocument();
        return m_document;
    }
    // The identity of what is actually read, in case the file was replaced since stat().
    struct stat info {};
    if (::fstat(fd.get(), &info) == 0) {
        m_seen.exists = true;
        m_seen.device = info.st_dev;
        m_seen.inode = info.st_ino;
        m_seen.size = info.st_size;
        m_seen.mtimeNs = Nanoseconds(info.st_mtim);
        m_seen.ctimeNs = Nanoseconds(info.st_ctim);
    }
    std::string text;
    char buffer[65536];
    for (;;) {
        ssize_t count = ::read(fd.get(), buffer, sizeof buffer);
        if (count < 0 && errno == EINTR) continue;
        if (count < 0) {
            report(m_reportedRead, "cannot read state file " + m_path + ": " +
                                       std::strerror(errno) + "; starting from fresh state");
            m_document = FreshDocument();
            return m_document;
        }
        if (count == 0) break;
        text.append(buffer, size_t(count));
    }
    json document = json::parse(text, nullptr, false);
    if (document.is_discarded() || !document.is_object() ||
        document.value("version", json()) != json(kFormatVersion) ||
        !document.contains("monitors") || !document["monitors"].is_object()) {
        report(m_reportedRead,
               "state file " + m_path + " is not a valid monitor state; starting from fresh state");
        m_document = FreshDocument();
        return m_document;
    }
    m_reportedRead = false;
    m_document = std::move(document);
    return m_document;
}

void SimStateStore::loadFrom(const json& document) {
    const json& entries = document.at("monitors");
    for (Tracked& tracked : m_monitors) {
        const std::string& serial = tracked.monitor->description().serial;
        auto entry = entries.find(serial);
        if (entry == entries.end() || *entry == tracked.known) continue;
        // Unwritten changes of this process win over the file; they are written next.
        if (tracked.monitor->changeCount() != tracked.writtenChange) continue;
        try {
            tracked.monitor->loadState(*entry);
            tracked.reportedBadState = false;
        } catch (const std::exception& error) {
            if (!tracked.reportedBadState)
                std::fprintf(stderr,
                             "screenio: state file %s: the state of monitor %s does not fit it "
                             "(%s); it keeps its own state\n",
                             m_path.c_str(), serial.c_str(), error.what());
            tracked.reportedBadState = true;
        }
        tracked.known = *entry;
        tracked.writtenChange = tracked.monitor->changeCount();
        tracked.restarts = tracked.monitor->restartCount();
    }
}

bool SimStateStore::writeDocument(const json& document) {
    std::string text = document.dump();
    text += '\n';
    std::string temporary = m_path + ".XXXXXX";
    common::UniqueFd fd(::mkostemp(temporary.data(), O_CLOEXEC));
    if (!fd.valid()) {
        report(m_reportedWrite, "cannot create a temporary file beside state file " + m_path +
                                    ": " + std::strerror(errno) + "; changes stay in this process");
        return false;
    }
    const char* failed = nullptr;
    int error = 0;
    if (!WriteAll(fd.get(), text) || ::fsync(fd.get()) != 0 || !fd.close())
        failed = "cannot write";
    else if (::rename(temporary.c_str(), m_path.c_str()) != 0)
        failed = "cannot replace";
    if (failed) {
        error = errno;
        fd.close();
        ::unlink(temporary.c_str());
        report(m_reportedWrite, std::string(failed) + " state file " + m_path + ": " +
                                    std::strerror(error) + "; changes stay in this process");
        return false;
    }
    // The rename itself is durable only once the folder is.
    common::UniqueFd folder(::open(Folder(m_path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.valid()) ::fsync(folder.get());
    m_reportedWrite = false;
    return true;
}

void SimStateStore::report(bool& once, const std::string& message) {
    if (once) return;
    once = true;
    std::fprintf(stderr, "screenio: %s\n", message.c_str());
}

}  // namespace screenio::sim
